// World pages on the client: the sequence grid of what the client holds, the checks
// on an arriving page, its acknowledgement, installing it, the dirty marks its change
// spreads to its neighbours, and rebuilding the dirty surfaces once per frame.
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "base/module.h"
#include "base/renderer.h"
#include "client/cl_local.h"
#include "common/com_hash.h"
#include "common/common.h"
#include "world/world.h"

constexpr int32_t CL_SEQ_NONE = -1;  // a sequence grid entry never received

// The previous page piece; the compact form continues from it.  Lives for the whole run.
struct clPreviousPage_t {
    int32_t x, y, z, sequence, worldId;
};
static clPreviousPage_t cl_previousPage;

static bool InGrid(int32_t x, int32_t y, int32_t z) {
    return x >= 0 && x < WO_GRID_PAGES && y >= 0 && y < WO_GRID_PAGES && z >= 0 && z < WO_GRID_PAGES;
}

static bool LoopBack() { return cl.pipe.remote.type == NA_LOCAL; }

void CL_InitSeqGrid() {
    for (uint32_t &seq : wo_seqGrid) seq = static_cast<uint32_t>(CL_SEQ_NONE);
}

void CL_ShutdownWorld() {
    WO_ShutdownPages();
    WO_ShutdownPool();
}

// ---- installing ----

// The voxels a cell stands for: a page's own, or all empty or all solid.
static void CellVoxels(int cell, voxel_t out[WO_PAGE_SIZE]) {
    if (const page_t *p = WO_CellPage(cell)) {
        memcpy(out, p->voxels, sizeof p->voxels);
        return;
    }
    const voxel_t fill = wo_pageGrid[cell] == WO_CELL_SOLID ? wo_solidVoxel : wo_emptyVoxel;
    for (int i = 0; i < WO_PAGE_SIZE; i++) out[i] = fill;
}

static int VoxelIndex(int vx, int vy, int vz) { return (vz * WO_PAGE_VOXELS + vy) * WO_PAGE_VOXELS + vx; }

// The low-side neighbours whose surfaces read this page's voxels: the direction, and
// which axes are pinned to 0 among the voxels compared (1: x, 2: y, 4: z).
struct clLowSide_t {
    int8_t dx, dy, dz;
    uint8_t pinned;
};
constexpr clLowSide_t CL_LOW_SIDES[] = {
    {-1, 0, 0, 1}, {0, -1, 0, 2}, {0, 0, -1, 4},                  // faces
    {0, -1, -1, 2 | 4}, {-1, 0, -1, 1 | 4}, {-1, -1, 0, 1 | 2},  // edges
    {-1, -1, -1, 1 | 2 | 4},                                      // the corner
};

static bool LowSideChanged(const clLowSide_t &side, const voxel_t *before, const voxel_t *after) {
    for (int vz = 0; vz < WO_PAGE_VOXELS; vz++)
        for (int vy = 0; vy < WO_PAGE_VOXELS; vy++)
            for (int vx = 0; vx < WO_PAGE_VOXELS; vx++) {
                if (((side.pinned & 1) && vx) || ((side.pinned & 2) && vy) || ((side.pinned & 4) && vz)) continue;
                const int i = VoxelIndex(vx, vy, vz);
                if (before[i] != after[i]) return true;
            }
    return false;
}

static void MarkNeighbours(int x, int y, int z, const voxel_t *before, const voxel_t *after) {
    for (int dz = -1; dz <= 1; dz++)
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++) {
                if (InGrid(x + dx, y + dy, z + dz)) WO_MakePageNormalDirty(WO_CellPage(WO_CellIndex(x + dx, y + dy, z + dz)));
            }
    for (const clLowSide_t &side : CL_LOW_SIDES) {
        const int nx = x + side.dx, ny = y + side.dy, nz = z + side.dz;
        if (InGrid(nx, ny, nz) && LowSideChanged(side, before, after))
            WO_MakePageSurfaceDirty(WO_CellPage(WO_CellIndex(nx, ny, nz)));
    }
}

// A page went back to a plain cell since the paged bounds were last computed: with no
// stored neighbour nothing else is marked, and cleaning must still shrink the bounds.
static bool cl_pageFreed;

// An empty or solid cell: its page (when it has one) released and returned.
static void SetPlainCell(int x, int y, int z, uint8_t solid) {
    const int cell = WO_CellIndex(x, y, z);
    if (page_t *p = WO_CellPage(cell)) {
        WO_TessPageStage0(p);
        WO_FreePage(x, y, z, solid);
        cl_pageFreed = true;
    }
    wo_pageGrid[cell] = solid ? WO_CELL_SOLID : WO_CELL_EMPTY;
}

uint8_t CL_SetCompressedPage(int32_t x, int32_t y, int32_t z, int32_t size1, int32_t size2, const uint8_t *data) {
    if (!InGrid(x, y, z)) return 0;
    // The streams are unpacked before anything changes: a damaged page leaves the cell as it was.
    static page_t unpacked;
    if (size1 > 0) {
        if (size2 < 0 || size2 > WO_PAGE_COMPRESSED_MAX - size1) return 0;
        unpacked.compressedMatterSize = size1;
        unpacked.compressedDensitySize = size2;
        memcpy(unpacked.compressed, data, static_cast<size_t>(size1 + size2));
        if (!WO_UncompressPage(&unpacked)) return 0;
    } else if (size1 != 0 && size1 != -1) {
        return 0;
    }

    const int cell = WO_CellIndex(x, y, z);
    voxel_t before[WO_PAGE_SIZE], after[WO_PAGE_SIZE];
    CellVoxels(cell, before);
    wo_recalcChecksum = 1;
    if (size1 <= 0) {
        SetPlainCell(x, y, z, size1 == -1);
    } else {
        page_t *p = WO_CellPage(cell);
        if (!p) p = WO_SpawnPage(x, y, z);
        if (!p) return 0;  // the store is full: reported by the store, the cell unchanged
        p->compressedMatterSize = size1;
        p->compressedDensitySize = size2;
        memcpy(p->compressed, unpacked.compressed, sizeof p->compressed);
        memcpy(p->voxels, unpacked.voxels, sizeof p->voxels);
        WO_WidenMatterRange(p->voxels, WO_PAGE_SIZE);
        p->voxelCrc = Com_GetCRC(p->voxels, sizeof p->voxels);
        WO_MakePageSurfaceDirty(p);
    }
    CellVoxels(cell, after);
    MarkNeighbours(x, y, z, before, after);
    return 1;
}

// ---- page pieces ----

static void BadPage() {
    Com_Error(ER_WARNING, "CL_HandlePackagePage: Bad page");
    cl_dropPackage = 1;
}

void CL_HandlePackagePage(uint8_t compact) {
    const msg_t *msg = Msg_ReadCurrent();
    int32_t x, y, z;
    if (compact) {
        x = cl_previousPage.x + 1, y = cl_previousPage.y, z = cl_previousPage.z;
    } else {
        x = Msg_ReadByte(), y = Msg_ReadByte(), z = Msg_ReadByte();
    }
    if (msg->overflowed || !InGrid(x, y, z)) return BadPage();

    int32_t sequence = cl_previousPage.sequence, worldId = cl_previousPage.worldId, size1 = 0, size2 = 0;
    if (!compact) {
        sequence = Msg_ReadLong();
        worldId = Msg_ReadLong();
        size1 = Msg_ReadLong();
        size2 = Msg_ReadLong();
        if (msg->overflowed) return BadPage();
    }
    if (worldId != cl.worldId) {
        cl_dropPackage = 1;  // a page of an old world: silently, with the rest of the package
        return;
    }
    // Sizes: (0, 0) empty, (-1, -1) solid, else two streams that fit a page's room.
    // A stream size below -1, or a negative density size after matter, is a bad page.
    const int64_t total = static_cast<int64_t>(size1) + size2;
    if (size1 < -1 || size2 < -1 || total > WO_PAGE_COMPRESSED_MAX || (size1 > 0 && size2 < 0)) return BadPage();
    uint8_t data[WO_PAGE_COMPRESSED_MAX];
    if (size1 > 0 && !Msg_ReadBytes(data, static_cast<int>(total))) return BadPage();

    const int cell = WO_CellIndex(x, y, z);
    const int32_t current = static_cast<int32_t>(wo_seqGrid[cell]);
    if (sequence < current) {
        if (cl_printPage.integer)
            Com_Printf("PAGE \xA4" "08%2d %2d %2d\xA4" "00 Bad seqNumber %4d <= %d", x, y, z, sequence, current);
        CL_AddPageAck(x, y, z, current);
    } else if (sequence == current) {
        if (cl_printPage.integer)
            Com_Printf("PAGE \xA4" "08%2d %2d %2d\xA4" "00 Resend seqNumber %4d == %d", x, y, z, sequence, current);
        CL_AddPageAck(x, y, z, sequence);
    } else {
        if (cl_printPage.integer)
            Com_Printf("PAGE \xA4" "08%2d %2d %2d\xA4" "00 seq: \xA4" "08%4d\xA4" "00 > \xA4" "08%4d\xA4"
                       "00 mSize: \xA4" "08%d\xA4" "00 sSize: \xA4" "08%d\xA4" "00",
                       x, y, z, sequence, current, size1, size2);
        // A server in this process has this world already; a page that does not
        // install is neither taken nor acknowledged, so it comes again.
        if (!LoopBack() && !CL_SetCompressedPage(x, y, z, size1, size2, data)) return BadPage();
        wo_seqGrid[cell] = static_cast<uint32_t>(sequence);
        CL_AddPageAck(x, y, z, sequence);
    }
    cl_previousPage = {x, y, z, sequence, worldId};
}

// ---- cleaning ----

void CL_CleanDirtySurfaces() {
    if (wo_dirtySurfaceOrNormalCount <= 0) {
        if (cl_pageFreed) WO_CalcPagedBounds();
        cl_pageFreed = false;
        return;
    }
    cl_pageFreed = false;
    const uint32_t start = Base_Time();
    int tessellated = 0;
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next) {
        if (p->surfaceDirty) {
            WO_TessPageStage0(p);
            tessellated++;
        }
    }
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next) {
        if (p->surfaceDirty) WO_TessPageStage1(p);
    }
    const uint32_t tessTime = Base_Time();
    int normals = 0;
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next) normals += p->surfaceDirty || p->normalDirty;
    WO_TessPageStageFinal();
    const uint32_t normalTime = Base_Time();
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next) {
        if (p->surfaceDirty) Call_CG_WorldDeform(p->mins, p->maxs);  // the client game re-clips its marks
        p->surfaceDirty = p->normalDirty = 0;
    }
    WO_CalcPagedBounds();
    wo_dirtySurfaceOrNormalCount = 0;
    if (cl_printClean.integer && normals > 0)
        Com_Printf("SurfClean tess: %d (%d msec) norm: %d (%d msec) (%d msec)", tessellated,
                   static_cast<int>(tessTime - start), normals, static_cast<int>(normalTime - tessTime),
                   static_cast<int>(Base_Time() - start));
}
