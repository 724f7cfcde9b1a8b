// Builds voxel worlds for the world's tests and benchmark: whole fields, single voxel
// changes marked the way the server marks them, full and incremental re-tessellation.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/capture.h"
#include "world/wo_local.h"

namespace worldbuild {

// Pages made surface-dirty by SetVoxel since the last TessDirty.
inline std::vector<page_t *> &DirtyPages() {
    static std::vector<page_t *> pages;
    return pages;
}

// A voxel of the field at voxel coordinates 1..125 (the rest of the world reads empty).
using Field = std::function<voxel_t(int x, int y, int z)>;

inline void DefaultMatters() {
    for (worldMatter_t &wm : wo_wms) {
        wm = {};
        wm.stScale[0] = wm.stScale[1] = 1;
        wm.baseColor[0] = wm.baseColor[1] = wm.baseColor[2] = 255;
    }
}

// An empty world with a cleared pool.
inline void Reset() {
    DirtyPages().clear();
    WO_ShutdownPages();
    WO_InitPages();
    WO_ClearAllPages();
    wm_min = wm_max = 0;
    wo_skipShadowOptimization.integer = 0;
    DefaultMatters();
}

inline voxel_t FieldAt(const Field &f, int x, int y, int z) {
    if (x < 1 || x > 125 || y < 1 || y > 125 || z < 1 || z > 125)
        return wo_emptyVoxel;
    return f(x, y, z);
}

// Fills the world from a field: a cell whose 5^3 tessellation window is all one voxel
// stays a plain cell (empty or solid when that voxel is), every other cell is a page.
inline void Build(const Field &f) {
    Reset();
    static voxel_t vox[WO_WORLD_VOXELS + 1][WO_WORLD_VOXELS + 1][WO_WORLD_VOXELS + 1];
    for (int z = 0; z <= WO_WORLD_VOXELS; z++)
        for (int y = 0; y <= WO_WORLD_VOXELS; y++)
            for (int x = 0; x <= WO_WORLD_VOXELS; x++) {
                vox[z][y][x] = FieldAt(f, x, y, z);
                if (WO_Density(vox[z][y][x]) >= WO_SURFACE_DENSITY && WO_Matter(vox[z][y][x]) > wm_max)
                    wm_max = WO_Matter(vox[z][y][x]);
            }
    for (int cz = 0; cz < WO_GRID_PAGES; cz++)
        for (int cy = 0; cy < WO_GRID_PAGES; cy++)
            for (int cx = 0; cx < WO_GRID_PAGES; cx++) {
                const voxel_t first = vox[cz * 4][cy * 4][cx * 4];
                bool uniform = true;
                for (int z = 0; z < 5 && uniform; z++)
                    for (int y = 0; y < 5 && uniform; y++)
                        for (int x = 0; x < 5 && uniform; x++)
                            uniform = vox[cz * 4 + z][cy * 4 + y][cx * 4 + x] == first;
                const int cell = WO_CellIndex(cx, cy, cz);
                if (uniform && (first == wo_emptyVoxel || first == wo_solidVoxel)) {
                    wo_pageGrid[cell] = first == wo_solidVoxel ? WO_CELL_SOLID : WO_CELL_EMPTY;
                    continue;
                }
                page_t *p = WO_SpawnPage(cx, cy, cz);
                if (!p)  // the store is full: reported, the cell stays empty
                    continue;
                for (int i = 0; i < WO_PAGE_SIZE; i++)
                    p->voxels[i] = vox[cz * 4 + (i >> 4)][cy * 4 + ((i >> 2) & 3)][cx * 4 + (i & 3)];
            }
}

// Stage 0 on every page, stage 1 on every page, the final stage, the paged bounds.
inline void TessAll() {
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        WO_TessPageStage0(p);
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        WO_TessPageStage1(p);
    WO_TessPageStageFinal();
    WO_CalcPagedBounds();
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        p->surfaceDirty = p->normalDirty = 0;
    DirtyPages().clear();
}

inline void MarkSurfaceDirty(page_t *p) {
    std::vector<page_t *> &dirty = DirtyPages();
    if (std::find(dirty.begin(), dirty.end(), p) == dirty.end())
        dirty.push_back(p);
    WO_MakePageSurfaceDirty(p);
}

// Re-tessellates the pages SetVoxel made dirty, in the required stage order; returns
// how many.
inline int TessDirty() {
    std::vector<page_t *> &dirty = DirtyPages();
    for (page_t *p : dirty)
        WO_TessPageStage0(p);
    for (page_t *p : dirty)
        WO_TessPageStage1(p);
    WO_TessPageStageFinal();
    WO_CalcPagedBounds();
    for (page_t *p : dirty)
        p->surfaceDirty = p->normalDirty = 0;
    const int n = static_cast<int>(dirty.size());
    dirty.clear();
    return n;
}

// The page of a cell, spawned from the cell's plain state when it has none.
inline page_t *PageForEdit(int cx, int cy, int cz) {
    const int cell = WO_CellIndex(cx, cy, cz);
    if (page_t *p = WO_CellPage(cell))
        return p;
    const voxel_t fill = wo_pageGrid[cell] == WO_CELL_SOLID ? wo_solidVoxel : wo_emptyVoxel;
    page_t *p = WO_SpawnPage(cx, cy, cz);
    for (voxel_t &v : p->voxels)
        v = fill;
    return p;
}

// Writes one voxel (1..125) and marks what must be re-tessellated, as the server does:
// the voxel's page, and the pages below it on every axis where the voxel is the
// page's first layer (their windows read it).
inline void SetVoxel(int x, int y, int z, voxel_t v) {
    page_t *p = PageForEdit(x >> 2, y >> 2, z >> 2);
    p->voxels[WO_VoxelIndex(x, y, z)] = v;
    WO_MakePageVoxelDirty(p);
    MarkSurfaceDirty(p);
    const int c[3] = {x >> 2, y >> 2, z >> 2};
    const bool low[3] = {(x & 3) == 0, (y & 3) == 0, (z & 3) == 0};
    for (int n = 1; n < 8; n++) {
        int d[3];
        bool applies = true;
        for (int a = 0; a < 3; a++) {
            d[a] = (n >> a) & 1 ? c[a] - 1 : c[a];
            if (((n >> a) & 1) && (!low[a] || d[a] < 0))
                applies = false;
        }
        if (applies)
            MarkSurfaceDirty(PageForEdit(d[0], d[1], d[2]));
    }
    if (WO_Matter(v) > wm_max)
        wm_max = WO_Matter(v);
}

// A ball of matter m centred on the world's origin: densities fall 24 per voxel through
// the surface, never exactly 128, so no vertex sits on a voxel.
inline voxel_t BallVoxel(int x, int y, int z, float radius, int m = 0) {
    const float wx = WO_VoxelToWorld(x), wy = WO_VoxelToWorld(y), wz = WO_VoxelToWorld(z);
    const float d = std::sqrt(wx * wx + wy * wy + wz * wz);
    int density = static_cast<int>(std::lround(128.0f + 24.0f * (radius - d) / WO_VOXEL_SIZE));
    density = density < 0 ? 0 : density > 255 ? 255 : density;
    if (density == WO_SURFACE_DENSITY)
        density = radius > d ? 129 : 127;
    if (density < WO_SURFACE_DENSITY)
        return static_cast<voxel_t>(density);
    return static_cast<voxel_t>(m << 8 | density);
}

inline Field Ball(float radius, int m = 0) {
    return [radius, m](int x, int y, int z) { return BallVoxel(x, y, z, radius, m); };
}

// A rolling terrain of three matters whose densities near the surface carry a fixed
// per-voxel jitter of up to +-20, so that its triangles take every size and slant: the
// hard case of the tessellation.  Deep ground is plain solid, air plain empty.
inline voxel_t TerrainVoxel(int x, int y, int z) {
    const float h = 60.0f + 10.0f * std::sin(x * 0.15f) * std::cos(z * 0.11f) + 6.0f * std::sin((x + z) * 0.07f);
    int density = static_cast<int>(std::lround(128.0f + 24.0f * (h - static_cast<float>(y))));
    if (density <= 0)
        return wo_emptyVoxel;
    if (density >= 255)
        return wo_solidVoxel;
    uint32_t k = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u ^
                 static_cast<uint32_t>(z) * 83492791u;
    k ^= k >> 13;
    k *= 0x5bd1e995u;
    k ^= k >> 15;
    density += static_cast<int>(k % 41) - 20;
    density = density < 0 ? 0 : density > 255 ? 255 : density;
    if (density < WO_SURFACE_DENSITY)
        return static_cast<voxel_t>(density);
    return static_cast<voxel_t>((x / 16 + z / 16) % 3 << 8 | density);
}

// One voxel change: where, and the voxel before and after.
struct VoxelChange {
    int x, y, z;
    voxel_t before, after;
};

// The voxels a crater of radius r voxels around (cx, cy, cz) lowers, as one explosion
// digs: densities fall 24 per voxel towards the centre, and only lowered ones change.
inline std::vector<VoxelChange> Crater(int cx, int cy, int cz, float r) {
    std::vector<VoxelChange> crater;
    const int reach = static_cast<int>(r) + 1;
    for (int z = cz - reach; z <= cz + reach; z++)
        for (int y = cy - reach; y <= cy + reach; y++)
            for (int x = cx - reach; x <= cx + reach; x++) {
                const float d =
                    std::sqrt(float((x - cx) * (x - cx) + (y - cy) * (y - cy) + (z - cz) * (z - cz)));
                const voxel_t before = WO_GetVoxel(x, y, z);
                int density = static_cast<int>(std::lround(128 - 24 * (r - d)));
                density = density < 0 ? 0 : density;
                if (density < WO_Density(before))
                    crater.push_back({x, y, z, before, static_cast<voxel_t>(density)});
            }
    return crater;
}

// Records every error report (in the shared capture) while alive; the sink returns,
// as the non-fatal levels do.
struct ErrorLog {
    static inline std::vector<hm_test::errorRecord_t> &entries = hm_test::captured.errors;
    ErrorLog() {
        entries.clear();
        Com_SetupError(hm_test::CaptureError);
    }
    ~ErrorLog() { Com_SetupError(nullptr); }
    int Count(int level) const {
        int n = 0;
        for (const auto &e : entries)
            n += e.level == level;
        return n;
    }
    bool Has(int level, const std::string &part) const { return hm_test::Reported(level, part); }
};

// Console lines printed while a test runs, for the tests that read the world's prints.
inline std::vector<std::string> &g_printed = hm_test::captured.prints;
using hm_test::CapturePrint;
using hm_test::Printed;

}  // namespace worldbuild
