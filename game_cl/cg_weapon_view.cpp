// Tags, muzzle flashes and muzzle lights.
#include "game_cl/cg_weapon_view.h"

#include <cmath>
#include <cstring>

#include "game/g_main.h"
#include "game/g_public.h"
#include "game/g_soup.h"
#include "game/g_surface.h"
#include "game/g_traps.h"

const tagState_t *CG_GetTagState(int32_t count, const tagState_t *states, const char *name) {
    for (int32_t i = 0; states && i < count; i++)
        if (!strcmp(states[i].name, name)) return &states[i];
    return nullptr;
}

namespace {

constexpr int FLASH_PARTS_PER_FRAME = 64;  // flowers and flames of every gun in one frame
constexpr int FLOWER_VERTS = 5, FLAME_VERTS = 8;
constexpr int32_t FLOWER_INDEXES[12] = {0, 4, 1, 0, 3, 4, 3, 2, 4, 4, 2, 1};
constexpr int32_t FLAME_INDEXES[12] = {0, 2, 1, 0, 3, 2, 4, 6, 5, 4, 7, 6};

drawVert_t flashVerts[FLASH_PARTS_PER_FRAME][FLAME_VERTS];
int32_t flashUsed;
uint32_t flashFrame = ~0u;

int32_t VarInteger(const char *name, int32_t fallback) {
    const cmdVar_t *v = Trap_GetCVar(name);
    return v ? v->integer : fallback;
}

// Hands one part of a flash to the renderer: positions with texture coordinates.
void AddPart(const float (*xyz)[3], const float (*st)[2], int n, const int32_t *indexes, int32_t material,
             uint8_t grey) {
    if (flashFrame != qgame.frameCount) {
        flashFrame = qgame.frameCount;
        flashUsed = 0;
    }
    if (flashUsed >= FLASH_PARTS_PER_FRAME) return;
    auto *surface = static_cast<surface_t *>(Trap_R_AllocSurfaces(SURFACE_LAYOUT_COLOR, 0));
    if (!surface) return;
    drawVert_t *verts = flashVerts[flashUsed++];
    for (int i = 0; i < n; i++) {
        memcpy(verts[i].xyz, xyz[i], sizeof verts[i].xyz);
        verts[i].unused = 0.0f;
        verts[i].st[0] = st[i][0];
        verts[i].st[1] = st[i][1];
        verts[i].rgba[0] = verts[i].rgba[1] = verts[i].rgba[2] = grey;
        verts[i].rgba[3] = 255;
    }
    memset(surface, 0, sizeof *surface);
    surface->name = "Muzzle flash";
    surface->material = material;
    surface->numVerts = n;
    surface->numIndexes = 12;
    surface->indexes = indexes;
    surface->verts = verts;
    Trap_R_AddSurfaces(surface, SURFACE_ADD_PROCEDURAL);
}

}  // namespace

void CG_DrawMuzzleFlash(const vec3_t origin, const float axis[9], float flowerSize, float length, float width,
                        int32_t flowerMaterial, int32_t muzzleMaterial, float brightness, float angle) {
    if (!VarInteger("cg_drawMuzzle", 1)) return;
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
    // The renderer's light record is not laid out in this build: a muzzle light has
    // nothing to be drawn with yet, so the flash goes without one.
    (void)origin, (void)radius, (void)intensity, (void)colour;
}
