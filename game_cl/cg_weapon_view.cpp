// Tags, muzzle flashes and muzzle lights.
#include "game_cl/cg_weapon_view.h"

#include <cmath>
#include <cstring>

#include "game/g_main.h"
#include "game/g_move.h"
#include "game/g_player.h"
#include "game/g_public.h"
#include "game/g_soup.h"
#include "game/g_surface.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game/g_weapon.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_draw2d.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_utils.h"

namespace {

constexpr int FLASH_PARTS_PER_FRAME = 64;  // flowers and flames of every gun in one frame
constexpr int FLOWER_VERTS = 5, FLAME_VERTS = 8;
constexpr int32_t FLOWER_INDEXES[12] = {0, 4, 1, 0, 3, 4, 3, 2, 4, 4, 2, 1};
constexpr int32_t FLAME_INDEXES[12] = {0, 2, 1, 0, 3, 2, 4, 6, 5, 4, 7, 6};

drawVert_t flashVerts[FLASH_PARTS_PER_FRAME][FLAME_VERTS];
int32_t flashUsed;
uint32_t flashFrame = ~0u;

// Hands one part of a flash to the renderer: positions with texture coordinates.
void AddPart(const float (*xyz)[3], const float (*st)[2], int n, const int32_t *indexes, int32_t material,
             uint8_t grey) {
    if (flashFrame != qgame.frameCount) {
        flashFrame = qgame.frameCount;
        flashUsed = 0;
    }
    if (flashUsed >= FLASH_PARTS_PER_FRAME) return;
    drawVert_t *verts = flashVerts[flashUsed];
    for (int i = 0; i < n; i++) {
        memcpy(verts[i].xyz, xyz[i], sizeof verts[i].xyz);
        verts[i].unused = 0.0f;
        verts[i].st[0] = st[i][0];
        verts[i].st[1] = st[i][1];
        verts[i].rgba[0] = verts[i].rgba[1] = verts[i].rgba[2] = grey;
        verts[i].rgba[3] = 255;
    }
    // The slot is the part's only once the renderer took the surface.
    if (AddLayoutSurface(SURFACE_LAYOUT_COLOR, "Muzzle flash", verts, n, indexes, 12, material)) flashUsed++;
}

}  // namespace

void CG_DrawMuzzleFlash(const vec3_t origin, const float axis[9], float flowerSize, float length, float width,
                        int32_t flowerMaterial, int32_t muzzleMaterial, float brightness, float angle) {
    if (!cg_drawMuzzle.integer) return;
    if (!g_soupViewPVS || !Trap_WO_CheckPointPVS(g_soupViewPVS, origin, 1.0f)) return;
    const float b = brightness < 0.0f ? 0.0f : brightness > 1.0f ? 1.0f : brightness;
    const uint8_t grey = static_cast<uint8_t>(b * 255.0f);
    const float c = cosf(DEG2RAD * angle), s = sinf(DEG2RAD * angle);
    vec3_t A, B;
    const float *F = axis + 6;
    for (int k = 0; k < 3; k++) {
        A[k] = c * axis[k] + s * axis[3 + k];
        B[k] = -s * axis[k] + c * axis[3 + k];
    }
    float xyz[FLAME_VERTS][3];
    const float fs = flowerSize;
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    const float flowerSt[FLOWER_VERTS][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0.5f, 0.5f}};
    for (int i = 0; i < 4; i++)
        for (int k = 0; k < 3; k++)
            xyz[i][k] = origin[k] + corners[i][0] * fs * A[k] + corners[i][1] * fs * B[k] + 0.2f * F[k];
    memcpy(xyz[4], origin, sizeof xyz[4]);
    AddPart(xyz, flowerSt, FLOWER_VERTS, FLOWER_INDEXES, flowerMaterial, grey);
    if (!muzzleMaterial) return;
    // Two crossed quads along the barrel: (along, across) per vertex, first across B then A.
    const float flame[4][2] = {{1, -1}, {1, 1}, {0, 1}, {0, -1}};
    const float flameSt[FLAME_VERTS][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}, {0, 1}, {1, 1}, {1, 0}, {0, 0}};
    for (int q = 0; q < 2; q++) {
        const float *side = q == 0 ? B : A;
        for (int i = 0; i < 4; i++)
            for (int k = 0; k < 3; k++)
                xyz[4 * q + i][k] = origin[k] + flame[i][0] * length * F[k] + flame[i][1] * width * side[k];
    }
    AddPart(xyz, flameSt, FLAME_VERTS, FLAME_INDEXES, muzzleMaterial, grey);
}

void CG_DrawMuzzleLight(const vec3_t origin, float radius, float intensity, const float colour[3]) {
    if (cg_skipMuzzleLight.integer || !(intensity > 0)) return;
    vec3_t at;
    _VectorCopy(at, origin);
    auto *light = static_cast<cgLight_t *>(Trap_R_AllocLight(CG_LIGHT_POINT, at, static_cast<int32_t>(radius)));
    if (!light) return;  // the renderer's lights of this frame are all taken
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

// Dead players and spectators hold no gun and carry no light.
static bool ViewerPlays() {
    return cg.predicted.moveType != MT_DEAD && cg.predicted.moveType != MT_SPECTATOR;
}

// The predicted player's eye, where the view weapon and the flashlight start.
static void ViewerEye(vec3_t eye) {
    G_GetPlayerSmoothEye(cg.flatGravity, eye, &cg.predicted, cg.playerAxes.viewAxisT + 6);
}

void CG_AddViewFlashToScene() {
    if (!ViewerPlays() || cg_thirdPerson.integer || cg_skipFlash.integer) return;
    vec3_t eye, origin;
    ViewerEye(eye);
    float axis[9];
    G_EllipticAxis2Axis(axis, G_StateEllipticAxis(&cg.predicted), cg.predicted.viewAngles, 1);
    _VectorAddMultiple(origin, eye, axis, cg_flashX.value);
    _VectorAddMultiple(origin, origin, axis + 3, cg_flashY.value);
    _VectorAddMultiple(origin, origin, axis + 6, cg_flashZ.value);
    auto *light = static_cast<cgLight_t *>(Trap_R_AllocLight(CG_LIGHT_FLASH, origin, 10));
    if (!light) return;
    CG_SetupPlayerFlash(light, origin, axis, 0);
    CG_AddLight(light);
}

void CG_DrawGunCam(int32_t layer, float alpha, uint8_t second) {
    if (cg.predicted.weapon != WP_RAILGUN) return;
    const weaponMedia_t *media = CG_WeaponMedia(WP_RAILGUN);
    const vec4_t colour = {1, 1, 1, alpha};
    CG_DrawStretchPic(layer, 0, 0, 640, 480, colour, media->cameraMaterials[second ? 0 : 1], 0);
}

int32_t CG_DrumRounds(const clientState_t *cs, int32_t magazineSize) {
    const uint32_t weapon = cs->weapon;
    int32_t n = weapon < WEAPON_COUNT ? cs->clip[weapon] : 0;
    if ((cs->flags & CSF_RELOADING) && cs->weaponTime > 0.5f && weapon < WEAPON_COUNT) {
        const int32_t reserve = cs->reserve[weapon];
        n = reserve < magazineSize ? reserve : magazineSize;
    }
    return n < 0 ? 0 : n > CG_DRUM_PLACES ? CG_DRUM_PLACES : n;
}

constexpr float GUN_FOV_PULL_START = 67.5f;  // degrees of vertical field of view
constexpr float GUN_FOV_PULL = 0.002f;       // units along the up row per degree of cg_fov past it
constexpr float GUN_BOB = 0.15f;
constexpr float GUN_BOB_MAX = 0.1f;

void CG_ViewWeaponOrigin(vec3_t out, const vec3_t eye, const float viewAxis[9], const float levelAxis[9],
                         float fovY, float bobDepth) {
    const float fovOffset = fovY > GUN_FOV_PULL_START ? (cg_fov.value - GUN_FOV_PULL_START) * GUN_FOV_PULL : 0;
    _VectorAddMultiple(out, eye, viewAxis, cg_gunX.value);
    _VectorAddMultiple(out, out, viewAxis + 3, cg_gunY.value - fovOffset);
    _VectorAddMultiple(out, out, viewAxis + 6, cg_gunZ.value);
    float bob = GUN_BOB * bobDepth;
    bob = bob < -GUN_BOB_MAX ? -GUN_BOB_MAX : bob > GUN_BOB_MAX ? GUN_BOB_MAX : bob;
    _VectorAddMultiple(out, out, levelAxis + 3, bob);
}
