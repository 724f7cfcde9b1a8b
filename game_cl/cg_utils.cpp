// Small services of the client game.
#include "game_cl/cg_utils.h"

#include <cstring>

#include "game/g_entity.h"
#include "game/g_move.h"
#include "game/g_traps.h"
#include "game/g_weapon.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_marks.h"
#include "game_cl/cg_media.h"

int32_t CG_VarInteger(const char *name, int32_t fallback) {
    const cmdVar_t *v = Trap_GetCVar(name);
    return v ? v->integer : fallback;
}

float CG_VarValue(const char *name, float fallback) {
    const cmdVar_t *v = Trap_GetCVar(name);
    return v ? v->value : fallback;
}

void CG_Trace(gameTrace_t *result, const obb_t *start, const obb_t *end, void *skipEntity, int32_t mask) {
    (void)skipEntity;  // the client holds no entity records that a trace could hit
    *result = g_emptyTrace;
    result->trace.fraction = 1;
    _VectorCopy(result->trace.endpos, end->origin);
    memcpy(result->trace.endAxes, end->axis, sizeof result->trace.endAxes);
    if (!(static_cast<uint32_t>(mask) & CONTENTS_WORLD) || cg_skipTrace.integer) return;

    trace_t world;
    memset(&world, 0, sizeof world);
    world.fraction = 1;
    Trap_Trace(&world, start, end);
    // Written as "below 1" so that a fraction that is not a number counts as no hit.
    if (world.fraction < 1) result->trace = world;
}

void CG_UpdateForwardRightUp() {
    memcpy(cg.playerAxes.ellipticAxis, G_StateEllipticAxis(&cg.predicted), sizeof cg.playerAxes.ellipticAxis);
    G_SetupEntityAxis(&cg.playerAxes, cg.predicted.viewAngles);
    memcpy(cg.predictedAxis, cg.playerAxes.viewAxisT, sizeof cg.predictedAxis);
}

void CG_AddLight(cgLight_t *light) { Trap_R_AddLight(light); }

void CG_AddPointLight(const vec3_t origin, float radius, float intensity, const float colour[3]) {
    vec3_t at;
    _VectorCopy(at, origin);
    auto *light = static_cast<cgLight_t *>(Trap_R_AllocLight(CG_LIGHT_POINT, at, static_cast<int32_t>(radius)));
    if (!light) return;
    light->kind = CG_LIGHT_POINT;
    light->flag = 1;
    _VectorCopy(light->origin, origin);
    light->range = radius;
    light->color[0] = colour[0];
    light->color[1] = colour[1];
    light->color[2] = colour[2];
    light->color[3] = 0;
    light->intensity[0] = light->intensity[1] = intensity;
    CG_AddLight(light);
}

void CG_SetupPlayerFlash(cgLight_t *light, const vec3_t position, const float axis[9], uint8_t otherPlayer) {
    light->kind = CG_LIGHT_FLASH;
    light->flag = otherPlayer ? 0 : 1;
    _VectorCopy(light->origin, position);
    memcpy(light->axis, axis, sizeof light->axis);
    light->fov = cg_flashFov.value;
    light->range = 10;
    light->color[0] = light->color[1] = light->color[2] = light->color[3] = 1;
    light->intensity[0] = light->intensity[1] = 1.5f;
    light->projected = 1;
    light->texture = cgMedia.handles[CGM_FLASH_COOKIE];
}

constexpr float CG_STAIN_SIZE = 1.5f;
constexpr int32_t CG_STAIN_LIFE_MS = 120000;
constexpr int32_t CG_STAIN_FADE_MS = 119000;

// A stain of one of count materials from the media slot first on.
static void Stain(int32_t first, int32_t count, const vec3_t origin, const vec3_t direction) {
    const uint32_t pick = static_cast<uint32_t>(Trap_rand()) % static_cast<uint32_t>(count);
    const int32_t material = cgMedia.handles[first + static_cast<int32_t>(pick)];
    CG_Mark(material, origin, direction, CG_STAIN_SIZE, CG_STAIN_LIFE_MS, CG_STAIN_FADE_MS);
}

void CG_BloodStain(const vec3_t origin, const vec3_t direction) {
    Stain(CGM_BLOOD_STAIN, CG_BLOOD_STAINS, origin, direction);
}

void CG_SlimeStain(const vec3_t origin, const vec3_t direction) {
    Stain(CGM_SLIME_STAIN, CG_SLIME_STAINS, origin, direction);
}

void CG_AutoChangeWeapon(int32_t weapon) {
    if (!cg_autoChangeWeapon.integer) return;
    const int32_t held = cg.predicted.weapon;
    if (held < weapon && held != WP_DIRTGUN) cg.selectedWeapon = static_cast<uint32_t>(weapon);
}

namespace {

template <typename Vert, float (Vert::*Position)[3]>
void SetupBounds(surface_t *surface) {
    if (!surface) return;
    for (int k = 0; k < 3; k++) {
        surface->mins[k] = 1e8f;
        surface->maxs[k] = -1e8f;
    }
    const auto *verts = static_cast<const Vert *>(surface->verts);
    for (int32_t i = 0; verts && i < surface->numVerts; i++) {
        const float *p = verts[i].*Position;
        for (int k = 0; k < 3; k++) {
            if (p[k] < surface->mins[k]) surface->mins[k] = p[k];
            if (p[k] > surface->maxs[k]) surface->maxs[k] = p[k];
        }
    }
}

}  // namespace

void CG_SetupSurfacesXNTSRBounds(surface_t *surface) { SetupBounds<decalVert_t, &decalVert_t::position>(surface); }

void CG_SetupSurfacesXSRBounds(surface_t *surface) { SetupBounds<drawVert_t, &drawVert_t::xyz>(surface); }
