// World shaping commands: a ball, a slab, a matter swap, a painted core and a smoothing
// of the whole world.  Each takes the undo copy first and works whatever sv_noDeform says.
#include <cmath>

#include "base/base.h"
#include "common/common.h"
#include "server/sv_world.h"

static float ClampF(float v, float lo, float hi) {
    if (!(v >= lo))
        return lo;
    return v > hi ? hi : v;
}

static int ClampMatter(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

static float PointLength(const float p[3]) { return std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]); }

// Undo copy, then an empty world with its counts refreshed.
static void ClearWorld() {
    SV_PrepareUndoWorld();
    SV_ClearAllMatter();
    SV_CleanDirtyVoxels();
    SV_CleanDirtySurfaces();
    WO_CountPagedPages();
    WO_CountSolidPages();
    WO_CountVertexesInPool();
}

// Every voxel, z outermost.  A command over the whole world can spawn a page in every
// cell it touches; once the store is half full the world is cleaned after each layer
// of pages, so that the pages that became uniform and lost their surface go back to
// plain cells before the next layer spawns more.
template <typename F> static void ForEachVoxel(F f) {
    for (int z = 0; z < WO_WORLD_VOXELS; z++) {
        for (int y = 0; y < WO_WORLD_VOXELS; y++)
            for (int x = 0; x < WO_WORLD_VOXELS; x++) {
                float p[3];
                SV_VoxelPoint(p, x, y, z);
                f(x, y, z, p);
            }
        if ((z & (WO_PAGE_VOXELS - 1)) == WO_PAGE_VOXELS - 1 && WO_CountPagedPages() > WO_MAX_PAGES / 2) {
            SV_CleanDirtyVoxels();
            SV_CleanDirtySurfaces();
        }
    }
}

void SV_CreateBall_f() {
    float r = 10.0f;
    if (Cmd_Argc() > 1) {
        const float top = wo_worldSpace > 5.0f ? wo_worldSpace : 5.0f;
        r = ClampF(Com_atof(Cmd_Argv(1)), 1.0f, top);
    }
    const float inner = r - 1.5f, outer = r + 1.5f;
    ClearWorld();
    ForEachVoxel([&](int x, int y, int z, const float p[3]) {
        const float e = PointLength(p);
        if (e > outer)
            return;
        if (e < inner) {
            SV_SetVoxel(x, y, z, SV_VOXEL_SET, 0, 255);
            return;
        }
        int density = static_cast<int>((1.0f - (e - inner) / (outer - inner)) * 255.0f);
        const int box = SV_BoxProfile(p);
        if (density > box)
            density = box;
        SV_SetVoxel(x, y, z, SV_VOXEL_SET, 0, density);
    });
}

void SV_CreatePlane_f() {
    const float h = Cmd_Argc() > 1 ? ClampF(Com_atof(Cmd_Argv(1)), -20.0f, 20.0f) : 0.0f;
    ClearWorld();
    ForEachVoxel([&](int x, int y, int z, const float p[3]) {
        if (p[1] < h - 2.0f || p[1] > h + 2.0f)
            return;
        SV_SetVoxel(x, y, z, SV_VOXEL_SET, 0, SV_BoxProfile(p) == 0 ? 0 : 255);
    });
}

void SV_SwapMatter_f() {
    if (Cmd_Argc() != 3) {
        Com_Printf("USAGE: swapMatter <from> <to>");
        return;
    }
    const int from = ClampMatter(Com_atoi(Cmd_Argv(1))), to = ClampMatter(Com_atoi(Cmd_Argv(2)));
    SV_PrepareUndoWorld();
    ForEachVoxel([&](int x, int y, int z, const float *) {
        const voxel_t v = WO_GetVoxel(x, y, z);
        if (WO_Density(v) != 0 && WO_Matter(v) == from)
            SV_SetVoxel(x, y, z, SV_VOXEL_SET, to, -1);
    });
}

void SV_PaintCore_f() {
    const int matter = ClampMatter(Cmd_Argc() == 2 ? Com_atoi(Cmd_Argv(1)) : 0);
    const float reach = wo_worldCore + 1.38564f;
    SV_PrepareUndoWorld();
    ForEachVoxel([&](int x, int y, int z, const float p[3]) {
        if (PointLength(p) <= reach)
            SV_SetVoxel(x, y, z, SV_VOXEL_SET, matter, -1);
    });
}

void SV_BlurWorld_f() {
    const uint32_t start = Base_Time();
    SV_PrepareUndoWorld();
    int32_t mins[3], maxs[3];
    for (int i = 0; i < 3; i++) {
        mins[i] = wo_pagedMins[i] * WO_PAGE_VOXELS - 1;
        maxs[i] = wo_pagedMaxs[i] * WO_PAGE_VOXELS + 1;
    }
    WO_ClampVoxelMinsMaxs(mins, maxs);
    SV_FastBlur(mins, maxs, 4);
    Com_Printf("Blured world in %d ms", static_cast<int>(Base_Time() - start));
}
