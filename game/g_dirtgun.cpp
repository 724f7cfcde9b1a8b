// The dirt gun: where its shape goes, and the server's build, dig, paint and blur.
#include <cstring>

#include "common/common.h"
#include "game/g_entity.h"
#include "game/g_player.h"
#include "game/g_soup.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game/g_weapon.h"
#include "game_sv/sg_local.h"

namespace {

// Shapes of the modes, loaded at this scale; the sphere serves three modes, each
// load taking a slot of its own.
constexpr float DIRT_SOUP_SCALE = 2.0f;
constexpr const char *DIRT_SOUP_PATHS[DIRT_DEFORM_MODES] = {
    "game/c_soups/sphere.soup", "game/c_soups/wall.soup", "game/c_soups/platform.soup",
    "game/c_soups/sphere.soup", "game/c_soups/sphere.soup",
};

constexpr float DIRT_REACH = 12.0f;        // the probe finds a surface this far ahead
constexpr float DIRT_CORE_SCALE = 0.8f;    // the shape that adds or removes matter
constexpr float DIRT_BUILD_BLUR = 1.4f;    // ... and the shapes that smooth around it
constexpr float DIRT_DIG_BLUR = 1.6f;
constexpr int32_t DIRT_EDGE_BLUR = 6;      // smoothing passes of a build and a forge dig
constexpr int32_t DIRT_SOFT_BLUR = 50;     // passes for the softest matter outside the forge
constexpr int32_t FORGE_BLUR_SIZE = 4;
constexpr int32_t ANY_MATTER = -1;

enum blurMode_t : int32_t { BLUR_BOTH = 0, BLUR_RAISE = 1, BLUR_LOWER = 2 };

void Transpose(float out[9], const float in[9]) {
    MatrixCopy3x3(out, in);
    MatrixTranspose3x3(out);
}

// The shape of a mode at the placement, at scale.
void SetupShape(int32_t mode, const vec3_t origin, const float axis[9], float scale) {
    const soup_t *soup = g_dirtDeformSoups[mode];
    Trap_SetupSoup(soup, soup ? soup->convex : 0, origin, axis, scale);
}

}  // namespace

void G_LoadDirtgunShapes() {
    // Without the game's data the module still runs (a bare engine, a test): a
    // missing shape leaves its mode unable to shape the world instead of ending it.
    for (int mode = 0; mode < DIRT_DEFORM_MODES; mode++) {
        const char *path = DIRT_SOUP_PATHS[mode];
        if (Trap_ReadFile(path, nullptr) <= 0) {
            Com_DPrintf("G_LoadDirtgunShapes: no \"%s\": the dirt gun's mode %d shapes nothing", path, mode);
            g_dirtDeformSoups[mode] = nullptr;
            continue;
        }
        g_dirtDeformSoups[mode] = G_LoadSOUP(path, DIRT_SOUP_SCALE);
    }
}

int32_t G_DirtDigBlurSize(float strength) {
    const float n = (1.0f - strength) * DIRT_SOFT_BLUR;
    if (!(n <= DIRT_SOFT_BLUR)) return DIRT_SOFT_BLUR;
    if (n < DIRT_EDGE_BLUR) return DIRT_EDGE_BLUR;
    return static_cast<int32_t>(n);
}

float CalcDirtHologram(uint8_t flatGravity, vec3_t origin, float axis[9], const vec3_t eye, const float viewAxes[9],
                       const float hologramAxes[9], int32_t mode) {
    vec3_t up, end;
    _VectorCopy(up, G_GetUpVector(flatGravity, eye));
    _VectorAddMultiple(end, eye, viewAxes + 6, DIRT_REACH);
    gameTrace_t tr;
    G_RayTrace(&tr, eye, end, nullptr, CONTENTS_WORLD);
    _VectorCopy(origin, tr.trace.fraction < 1.0f ? tr.trace.endpos : end);

    float view[9], holo[9];
    MatrixCopy3x3(view, viewAxes);
    MatrixCopy3x3(holo, hologramAxes);
    G_UpdateEllipticAxis(flatGravity, view, origin);
    G_UpdateEllipticAxis(flatGravity, holo, origin);
    switch (mode) {
    case DIRT_WALL:
        Transpose(axis, holo);
        _VectorAdd(origin, origin, view + 6);
        break;
    case DIRT_PLATFORM: {
        // The platform rises or sinks with the view's pitch: the levelled forward
        // has none left, so the pitch is read from the view's own forward.
        Transpose(axis, holo);
        float k = 2.0f * _DotProduct(up, viewAxes + 6);
        k = k < -1.0f ? -1.0f : k > 1.0f ? 1.0f : k;
        _VectorAddMultiple(origin, origin, up, k);
        break;
    }
    default:
        Transpose(axis, viewAxes);
        break;
    }
    return tr.trace.fraction;
}

uint8_t Dirtgun_Fire(sgClient_t *client, uint8_t secondary) {
    clientState_t *cs = &client->cs;
    if (client->deformMode >= DIRT_DEFORM_MODES) {
        Com_Error(ER_DEVWARNING, "Dirtgun_Fire: Unknown deform num %d", client->deformMode);
        client->deformMode = DIRT_BUILD;
        return 0;
    }
    const bool forge = sg.rules == RULES_FORGE;
    if (!forge) client->deformMode = DIRT_BUILD;
    const int32_t mode = client->deformMode;
    if (!g_dirtDeformSoups[mode]) return 0;  // its shape did not load

    vec3_t eye, origin, toShooter;
    float view[9], holo[9], axis[9];
    G_GetPlayerEye(sg.flatGravity, eye, cs->origin, cs->eyeHeight);
    SG_ClientViewAxes(client, view, holo);
    CalcDirtHologram(sg.flatGravity, origin, axis, eye, view, holo, mode);
    _VectorSub(toShooter, eye, origin);
    VectorNormalize(toShooter);
    const float s = cs->deformSize / 10.0f;

    if (forge && (mode == DIRT_PAINT || mode == DIRT_BLUR)) {
        Trap_UndoSnapshot();
        SetupShape(mode, origin, axis, 1.0f);
        SetupShape(mode, origin, axis, s);
        if (mode == DIRT_PAINT)
            Trap_PaintSoup(ANY_MATTER, cs->deformMaterial);
        else
            Trap_BlurSoup(ANY_MATTER, FORGE_BLUR_SIZE, BLUR_BOTH);
        client->stats.shots[MOD_DIRTGUN]++;
        return 1;
    }

    // Matter is built onto and dug out of existing terrain only.
    Trap_UndoSnapshot();
    SetupShape(mode, origin, axis, 1.0f);
    if (!Trap_CheckSoupConnect()) return 0;

    const worldMaterial_t *materials = sg.world.materials;
    for (int32_t i = 0; i < WORLD_MATERIALS; i++) {
        if (!materials[i].name[0]) continue;
        if (!secondary) {
            SetupShape(mode, origin, axis, DIRT_CORE_SCALE * s);
            Trap_AddSoup(i, cs->deformMaterial);
            SetupShape(mode, origin, axis, DIRT_BUILD_BLUR * s);
            Trap_BlurSoup(i, DIRT_EDGE_BLUR, BLUR_RAISE);
        } else if (forge) {
            SetupShape(mode, origin, axis, DIRT_CORE_SCALE * s);
            Trap_SubSoup(i, 1.0f);
            SetupShape(mode, origin, axis, DIRT_DIG_BLUR * s);
            Trap_BlurSoup(i, DIRT_EDGE_BLUR, BLUR_LOWER);
        } else {
            // Each matter gives way by its own strength; soft matter is smoothed more.
            const float f = materials[i].subStrenght;
            if (!(f > 0.0f)) continue;
            SetupShape(mode, origin, axis, DIRT_CORE_SCALE * s);
            Trap_SubSoup(i, f);
            SetupShape(mode, origin, axis, DIRT_DIG_BLUR * s);
            Trap_BlurSoup(i, G_DirtDigBlurSize(f), BLUR_LOWER);
        }
    }
    SG_CreateEventEntity(secondary ? WPE_DIRT_SUB : WPE_DIRT_ADD, origin, toShooter);
    client->stats.shots[MOD_DIRTGUN]++;
    return 1;
}

void Dirtgun_Reload(sgClient_t *) {}
