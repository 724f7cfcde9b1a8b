// World changes on the server, the cleaning passes, the world file reader, undo,
// clearing and automatic dumps.
#include "server/sv_world.h"

#include <algorithm>
#include <cstring>

#include "base/base.h"
#include "base/files.h"
#include "base/module.h"
#include "base/sys.h"
#include "common/common.h"

void SV_WorldImp() {
    Cmd_CreateFunction("createBall", SV_CreateBall_f, CMD_SERVER);
    Cmd_CreateFunction("createPlane", SV_CreatePlane_f, CMD_SERVER);
    Cmd_CreateFunction("swapMatter", SV_SwapMatter_f, CMD_SERVER);
    Cmd_CreateFunction("paintCore", SV_PaintCore_f, CMD_SERVER);
    Cmd_CreateFunction("blurWorld", SV_BlurWorld_f, CMD_SERVER);
}

// ---- changes ----

static voxel_t UniformVoxel(int32_t cell) { return cell == WO_CELL_SOLID ? wo_solidVoxel : wo_emptyVoxel; }

// The voxel after a change; unknown modes change nothing.
static voxel_t ChangedVoxel(voxel_t old, int mode, int matter, int value) {
    const int oldMatter = WO_Matter(old);
    const int newMatter = matter >= 0 && matter <= 255 ? matter : oldMatter;
    if (value == -1)
        return static_cast<voxel_t>(newMatter << 8 | WO_Density(old));
    int density;
    switch (mode) {
    case SV_VOXEL_SET:
        density = value;
        break;
    case SV_VOXEL_ADD:
        density = WO_Density(old) + (value > 0 ? value : 0);
        break;
    case SV_VOXEL_SUBTRACT:
        density = WO_Density(old) - (value > 0 ? value : 0);
        break;
    default:
        return old;
    }
    density = density < 0 ? 0 : density > 255 ? 255 : density;
    return static_cast<voxel_t>(newMatter << 8 | density);
}

// A stored page in place of an empty or solid cell, due for compression.  Null when
// the store is full (the store reports it).
static page_t *SpawnUniformPage(int px, int py, int pz) {
    page_t *page = WO_SpawnUniformPage(px, py, pz);
    WO_MakePageVoxelDirty(page);
    return page;
}

void SV_SetVoxel(int x, int y, int z, int mode, int matter, int value) {
    if (x < 1 || x > 125 || y < 1 || y > 125 || z < 1 || z > 125)
        return;
    const int px = x >> WO_PAGE_SHIFT, py = y >> WO_PAGE_SHIFT, pz = z >> WO_PAGE_SHIFT;
    const int cell = WO_CellIndex(px, py, pz);
    wo_recalcChecksum = 1;
    if (matter >= 0 && matter <= 255) {
        if (matter < wm_min)
            wm_min = matter;
        if (matter > wm_max)
            wm_max = matter;
    }

    page_t *page = WO_CellPage(cell);
    if (!page) {
        // A write that leaves the uniform voxel as it is needs no page.
        const voxel_t fill = UniformVoxel(wo_pageGrid[cell]);
        if (ChangedVoxel(fill, mode, matter, value) == fill)
            return;
        page = SpawnUniformPage(px, py, pz);
        if (!page)
            return;
    }
    voxel_t &v = page->voxels[WO_VoxelIndex(x, y, z)];
    v = ChangedVoxel(v, mode, matter, value);
    WO_MakePageVoxelDirty(page);
    WO_MakePageSurfaceDirty(page);

    for (int dz = -1; dz <= 1; dz++)
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++) {
                const int nx = px + dx, ny = py + dy, nz = pz + dz;
                if (nx < 0 || ny < 0 || nz < 0 || nx >= WO_GRID_PAGES || ny >= WO_GRID_PAGES || nz >= WO_GRID_PAGES)
                    continue;
                WO_MakePageNormalDirty(WO_CellPage(WO_CellIndex(nx, ny, nz)));
            }

    // The cubes of the cells below reach into this page's first layer on each axis.
    WO_MarkCellsBelow(x, y, z);
}

// Uniformly empty (every density 0) or solid (every voxel density 255, matter 0); the
// first voxel decides which.  With undo in use the undo copy must match as well, so
// that undo can still bring the page back.
static bool PageUniform(const page_t *page, bool *solid) {
    *solid = page->voxels[0] == wo_solidVoxel;
    for (voxel_t v : page->voxels)
        if (*solid ? v != wo_solidVoxel : WO_Density(v) != 0)
            return false;
    if (wo_useUndo.integer && memcmp(page->voxels, page->undoVoxels, sizeof(page->voxels)) != 0)
        return false;
    return true;
}

// The dirty pages of one cleaning pass, in the live list's order.
static page_t *sv_dirtyPages[WO_MAX_PAGES];

void SV_CleanDirtyVoxels() {
    if (wo_dirtyVoxelCount <= 0)
        return;
    const uint32_t start = Base_Time();
    int count = 0;
    page_t **dirty = sv_dirtyPages;
    const int numDirty = WO_CollectDirtyPages(dirty);
    for (int k = 0; k < numDirty; k++) {
        page_t *p = dirty[k];
        if (!p->voxelDirty)
            continue;
        const int cell = WO_CellIndex(p->x, p->y, p->z);
        bool solid;
        if (PageUniform(p, &solid)) {
            p->freeable = 1;
            p->freeAsSolid = solid ? 1 : 0;
            wo_seqGrid[cell]++;
        } else {
            p->freeable = 0;
        }
        WO_CompressPage(p);
        p->voxelCrc = Com_GetCRC(p->voxels, sizeof(p->voxels));
        wo_seqGrid[cell]++;
        p->voxelDirty = 0;
        count++;
    }
    wo_dirtyVoxelCount = 0;
    if (sv_printClean.integer && count > 0)
        Com_Printf("VoxelClean count: %d time: %d msec", count, static_cast<int>(Base_Time() - start));
}

// A linked entity's world box, read out of its shared record (which need not be aligned).
struct restingBox_t {
    float mins[3], maxs[3];
    uint8_t *resting;
};

static bool RestingBox(const svEntity_t *e, restingBox_t *out) {
    if (!e->shared)
        return false;
    memcpy(out->mins, e->shared + offsetof(entityShared_t, mins), sizeof(out->mins));
    memcpy(out->maxs, e->shared + offsetof(entityShared_t, maxs), sizeof(out->maxs));
    out->resting = e->shared + offsetof(entityShared_t, resting);
    return *out->resting != 0;
}

// Calls f with the box of every linked entity that rests.
template <typename F> static void ForEachRestingEntity(F f) {
    if (!sv.entityList.next)
        return;
    for (svEntity_t *e = sv.entityList.next; e && e != &sv.entityList; e = e->next) {
        restingBox_t box;
        if (RestingBox(e, &box))
            f(box);
    }
}

static bool BoxesOverlap(const float *amins, const float *amaxs, const float *bmins, const float *bmaxs) {
    for (int i = 0; i < 3; i++)
        if (amins[i] > bmaxs[i] || amaxs[i] < bmins[i])
            return false;
    return true;
}

static bool PageHasSurface(const page_t *p) { return p->numSurfs > 0 || p->numIndexes > 0 || p->numBatchIndexes > 0; }

static int EntityPageBound(float v) {
    const int c = WO_WorldToVoxel(v) >> WO_PAGE_SHIFT;
    return c < 0 ? 0 : c >= WO_GRID_PAGES ? WO_GRID_PAGES - 1 : c;
}

static bool StoredPageInRange(const float *mins, const float *maxs) {
    const int x0 = EntityPageBound(mins[0]), x1 = EntityPageBound(maxs[0]);
    const int y0 = EntityPageBound(mins[1]), y1 = EntityPageBound(maxs[1]);
    const int z0 = EntityPageBound(mins[2]), z1 = EntityPageBound(maxs[2]);
    for (int z = z0; z <= z1; z++)
        for (int y = y0; y <= y1; y++)
            for (int x = x0; x <= x1; x++)
                if (WO_CellPage(WO_CellIndex(x, y, z)))
                    return true;
    return false;
}

void SV_CleanDirtySurfaces() {
    if (wo_dirtySurfaceOrNormalCount <= 0)
        return;
    const uint32_t start = Base_Time();

    // Only the pages with a dirty mark, in the live list's order.
    page_t **dirty = sv_dirtyPages;
    const int numDirty = WO_CollectDirtyPages(dirty);
    int tessellated = 0;
    for (int k = 0; k < numDirty; k++)
        if (dirty[k]->surfaceDirty) {
            WO_TessPageStage0(dirty[k]);
            tessellated++;
        }
    for (int k = 0; k < numDirty; k++)
        if (dirty[k]->surfaceDirty)
            WO_TessPageStage1(dirty[k]);
    const uint32_t tessTime = Base_Time();

    int checked = 0;
    for (int k = 0; k < numDirty; k++) {
        page_t *p = dirty[k];
        if (!p->surfaceDirty && !p->normalDirty)
            continue;
        checked++;
        if (p->freeable && !PageHasSurface(p))
            WO_FreePage(p->x, p->y, p->z, p->freeAsSolid);
    }
    const uint32_t checkTime = Base_Time();
    WO_TessPageStageFinal();

    for (int k = 0; k < numDirty; k++) {
        page_t *p = dirty[k];
        if (p->magic != WO_PAGE_MAGIC)  // freed by the check above
            continue;
        if (p->surfaceDirty) {
            if (qbase.clientRunning)
                Call_CG_WorldDeform(p->mins, p->maxs);
            ForEachRestingEntity([p](const restingBox_t &e) {
                if (BoxesOverlap(e.mins, e.maxs, p->mins, p->maxs))
                    *e.resting = 0;
            });
        }
        p->surfaceDirty = p->normalDirty = 0;
    }
    ForEachRestingEntity([](const restingBox_t &e) {
        if (!StoredPageInRange(e.mins, e.maxs))
            *e.resting = 0;
    });

    wo_dirtySurfaceOrNormalCount = 0;
    WO_CalcPagedBounds();
    if (sv_printClean.integer) {
        const uint32_t end = Base_Time();
        Com_Printf("SurfClean tess: %d (%d msec) norm: %d (%d msec) (%d msec)", tessellated,
                   static_cast<int>(tessTime - start), checked, static_cast<int>(checkTime - tessTime),
                   static_cast<int>(end - start));
    }
}

// The debug traffic's calls so far and the next cell it renumbers.
static int debugBumpCalls, debugBumpCursor;

void SV_ClearWorldDebugBump() { debugBumpCalls = debugBumpCursor = 0; }

void SV_WorldDebugBump() {
    if (!sv_worldDebugBump.integer)
        return;
    if (++debugBumpCalls % 50)
        return;
    for (int i = 0; i < 700; i++)
        wo_seqGrid[(debugBumpCursor + i) % WO_GRID_CELLS]++;
    debugBumpCursor = (debugBumpCursor + 700) % WO_GRID_CELLS;
}

// ---- life cycle ----

void SV_InitWorld() {
    WO_InitPages();
    WO_InitPool();
    if (qbase.serverRunning) SV_RaiseSeqGrid();
    else SV_InitSeqGrid();
}

void SV_InitSeqGrid() { memset(wo_seqGrid, 0, sizeof(wo_seqGrid)); }

void SV_RaiseSeqGrid() {
    uint32_t top = 0;
    for (const uint32_t seq : wo_seqGrid) top = seq > top ? seq : top;
    const uint32_t floor = top ? top + 1 : 0;
    for (uint32_t &seq : wo_seqGrid) seq = floor;
}

// ---- world files ----

static uint32_t GetU32(const byte *p) {
    const byte *cursor = p;
    return static_cast<uint32_t>(Com_GrabLittleLong(&cursor));
}

// Voxels the blocks of one file may set, overlaps counted each time: blocks may lie
// over each other, but a few hundred bytes of whole-world solid blocks must not keep
// the server busy for minutes.  A world dump sets each voxel once.
constexpr uint64_t VO2_MAX_APPLIED = 32ull * 125 * 125 * 125;

// The loader's scratch copy of the voxel space, index (z * 128 + y) * 128 + x.  It is
// all zero between loads: a load marks the page cells its blocks reach and clears
// only those afterwards, so a small file costs little however large the world.
constexpr size_t VO2_SPACE_VOXELS = static_cast<size_t>(WO_WORLD_VOXELS) * WO_WORLD_VOXELS * WO_WORLD_VOXELS;
static voxel_t vo2_space[VO2_SPACE_VOXELS];
static byte vo2_touched[WO_GRID_CELLS / 8];  // cells the blocks reach
static byte vo2_windowed[WO_GRID_CELLS / 8]; // cells whose window reads a touched cell
static int32_t vo2_window[WO_GRID_CELLS];    // valid for windowed cells

static voxel_t *SpaceRow(int y, int z) { return vo2_space + (static_cast<size_t>(z) * WO_WORLD_VOXELS + y) * WO_WORLD_VOXELS; }

// Calls f(cell) for every set bit of a cell set, in ascending cell order.
template <typename F> static void ForEachCell(const byte *bits, F f) {
    for (int b = 0; b < WO_GRID_CELLS / 8; b++)
        for (int k = 0; k < 8; k++)
            if (bits[b] >> k & 1)
                f(b * 8 + k);
}

// Marks the cells of voxels lo..hi (inclusive, per axis) touched.
static void TouchCells(const int lo[3], const int hi[3]) {
    for (int z = lo[2] >> WO_PAGE_SHIFT; z <= hi[2] >> WO_PAGE_SHIFT; z++)
        for (int y = lo[1] >> WO_PAGE_SHIFT; y <= hi[1] >> WO_PAGE_SHIFT; y++)
            for (int x = lo[0] >> WO_PAGE_SHIFT; x <= hi[0] >> WO_PAGE_SHIFT; x++)
                WO_SetBit(vo2_touched, WO_CellIndex(x, y, z));
}

// Zeroes the voxels of every touched cell and forgets both cell sets.
static void ClearScratchSpace() {
    ForEachCell(vo2_touched, [](int cell) {
        const int x = cell % WO_GRID_PAGES, y = cell / WO_GRID_PAGES % WO_GRID_PAGES, z = cell / (WO_GRID_PAGES * WO_GRID_PAGES);
        for (int vz = z * WO_PAGE_VOXELS; vz < (z + 1) * WO_PAGE_VOXELS; vz++)
            for (int vy = y * WO_PAGE_VOXELS; vy < (y + 1) * WO_PAGE_VOXELS; vy++)
                memset(SpaceRow(vy, vz) + x * WO_PAGE_VOXELS, 0, WO_PAGE_VOXELS * sizeof(voxel_t));
    });
    memset(vo2_touched, 0, sizeof(vo2_touched));
    memset(vo2_windowed, 0, sizeof(vo2_windowed));
}

// The file's records laid out over the scratch space (0 outside 1..125, as the world
// would keep it), the cells they reach marked touched; without apply only checks the
// file.  False with the reason in *why.
static bool ReadVO2Into(bool apply, const byte *data, size_t size, const uint8_t *filter, const char **why) {
    if (size < static_cast<size_t>(WO_VO2_HEADER_SIZE)) {
        *why = "shorter than its header";
        return false;
    }
    const uint32_t count = GetU32(data + 8);
    const uint32_t sx = GetU32(data + 12), sy = GetU32(data + 16), sz = GetU32(data + 20);
    if (sx < 1 || sy < 1 || sz < 1 || sx > WO_WORLD_VOXELS || sy > WO_WORLD_VOXELS || sz > WO_WORLD_VOXELS) {
        *why = "block size outside 1..128";
        return false;
    }
    const size_t voxelBytes = static_cast<size_t>(sx) * sy * sz * 2;
    size_t at = WO_VO2_HEADER_SIZE;
    uint64_t applied = 0;
    for (uint32_t r = 0; r < count; r++) {
        if (size - at < static_cast<size_t>(WO_VO2_RECORD_SIZE)) {
            *why = "fewer blocks than its count";
            return false;
        }
        const uint32_t type = GetU32(data + at);
        const int32_t o[3] = {static_cast<int32_t>(GetU32(data + at + 4)), static_cast<int32_t>(GetU32(data + at + 8)),
                              static_cast<int32_t>(GetU32(data + at + 12))};
        const int32_t s[3] = {static_cast<int32_t>(sx), static_cast<int32_t>(sy), static_cast<int32_t>(sz)};
        at += WO_VO2_RECORD_SIZE;
        if (type != VO2_PAGE && type != VO2_SOLID) {
            *why = "unknown block type";
            return false;
        }
        for (int i = 0; i < 3; i++)
            if (o[i] < 1 - s[i] || o[i] >= WO_WORLD_VOXELS) {
                *why = "block outside the world";
                return false;
            }
        const byte *voxels = data + at;
        if (type == VO2_PAGE) {
            if (size - at < voxelBytes) {
                *why = "block cut short";
                return false;
            }
            at += voxelBytes;
        }
        // Voxels outside 1..125 are not applied, as the world never changes them.
        int lo[3], hi[3];
        uint64_t volume = 1;
        for (int a = 0; a < 3; a++) {
            lo[a] = o[a] > 1 ? o[a] : 1;
            hi[a] = o[a] + s[a] - 1 < 125 ? o[a] + s[a] - 1 : 125;
            volume *= hi[a] >= lo[a] ? static_cast<uint64_t>(hi[a] - lo[a] + 1) : 0;
        }
        applied += volume;
        if (applied > VO2_MAX_APPLIED) {
            *why = "blocks laid over each other too often";
            return false;
        }
        if (!apply || !volume)
            continue;
        TouchCells(lo, hi);
        for (int z = lo[2]; z <= hi[2]; z++)
            for (int y = lo[1]; y <= hi[1]; y++) {
                voxel_t *row = SpaceRow(y, z);
                if (type == VO2_SOLID) {
                    std::fill(row + lo[0], row + hi[0] + 1, wo_solidVoxel);
                    continue;
                }
                const byte *from = voxels + 2 * (((z - o[2]) * s[1] + (y - o[1])) * s[0] + (lo[0] - o[0]));
                for (int x = lo[0]; x <= hi[0]; x++, from += 2) {
                    voxel_t v = static_cast<voxel_t>(from[0] | from[1] << 8);
                    if (filter && !filter[WO_Matter(v)])
                        v = static_cast<voxel_t>(WO_Density(v));
                    row[x] = v;
                }
            }
    }
    if (at != size) {
        *why = "bytes behind its last block";
        return false;
    }
    return true;
}

// The one voxel of a cell's tessellation window (its 4^3 voxels and the layer above on
// each axis), or -1 when they differ: such a cell needs a stored page.
static int WindowVoxel(int px, int py, int pz) {
    const int x0 = px * 4, y0 = py * 4, z0 = pz * 4;
    const voxel_t first = SpaceRow(y0, z0)[x0];
    for (int z = z0; z <= z0 + 4 && z < WO_WORLD_VOXELS; z++)
        for (int y = y0; y <= y0 + 4 && y < WO_WORLD_VOXELS; y++) {
            const voxel_t *row = SpaceRow(y, z);
            for (int x = x0; x <= x0 + 4 && x < WO_WORLD_VOXELS; x++)
                if (row[x] != first)
                    return -1;
        }
    return first;
}

// The window of every cell that reads a touched cell (the touched cell and the seven
// below it); every other window reads only zeros and is empty.  Returns the number of
// cells that need a stored page.
static int FindWindows() {
    ForEachCell(vo2_touched, [](int cell) {
        const int x = cell % WO_GRID_PAGES, y = cell / WO_GRID_PAGES % WO_GRID_PAGES, z = cell / (WO_GRID_PAGES * WO_GRID_PAGES);
        for (int n = 0; n < 8; n++) {
            const int nx = x - (n & 1), ny = y - (n >> 1 & 1), nz = z - (n >> 2);
            if (nx >= 0 && ny >= 0 && nz >= 0)
                WO_SetBit(vo2_windowed, WO_CellIndex(nx, ny, nz));
        }
    });
    int pages = 0;
    ForEachCell(vo2_windowed, [&pages](int cell) {
        const int w = WindowVoxel(cell % WO_GRID_PAGES, cell / WO_GRID_PAGES % WO_GRID_PAGES, cell / (WO_GRID_PAGES * WO_GRID_PAGES));
        vo2_window[cell] = w;
        pages += w != wo_emptyVoxel && w != wo_solidVoxel;
    });
    return pages;
}

uint8_t SV_LoadVO2FromMemory(const void *data, size_t size, const char *name, const uint8_t *filter) {
    const uint32_t start = Base_Time();
    const byte *bytes = static_cast<const byte *>(data);
    if (size >= 8 && GetU32(bytes) != WO_VO2_MAGIC) {
        Com_Error(ER_ERROR, "SV_LoadVO2: Bad magic in file \"%s\"", name);
        return 0;
    }
    if (size >= 8 && GetU32(bytes + 4) != WO_VO2_VERSION) {
        Com_Error(ER_ERROR, "SV_LoadVO2: Bad version in file \"%s\" %d should be %d", name,
                  static_cast<int>(GetU32(bytes + 4)), static_cast<int>(WO_VO2_VERSION));
        return 0;
    }

    // The file is checked whole, then read into the scratch voxel space: a damaged file
    // or a world too large for the page store leaves the world as it was.
    const char *why = nullptr;
    if (!ReadVO2Into(false, bytes, size, filter, &why)) {
        Com_Error(ER_ERROR, "SV_LoadVO2: Damaged file \"%s\": %s", name, why);
        return 0;
    }
    bool ok = ReadVO2Into(true, bytes, size, filter, &why);
    if (ok && FindWindows() > WO_MAX_PAGES) {
        why = "more pages than the world holds";
        ok = false;
    }
    if (!ok) {
        ClearScratchSpace();
        Com_Error(ER_ERROR, "SV_LoadVO2: Damaged file \"%s\": %s", name, why);
        return 0;
    }

    // A cell whose window is one voxel becomes a plain cell, as the cleaning passes
    // would leave it; every other cell a page of the file's voxels.  Cells the file
    // does not reach stay empty.
    WO_ClearAllPages();
    wm_min = wm_max = 0;
    ForEachCell(vo2_windowed, [](int cell) {
        if (vo2_window[cell] == wo_emptyVoxel)
            return;
        if (vo2_window[cell] == wo_solidVoxel) {
            wo_pageGrid[cell] = WO_CELL_SOLID;
            return;
        }
        const int px = cell % WO_GRID_PAGES, py = cell / WO_GRID_PAGES % WO_GRID_PAGES, pz = cell / (WO_GRID_PAGES * WO_GRID_PAGES);
        page_t *page = WO_SpawnPage(px, py, pz);
        if (!page)
            return;  // counted above: cannot happen
        for (int i = 0; i < WO_PAGE_SIZE; i++) {
            const voxel_t v = SpaceRow(py * 4 + (i >> 2 & 3), pz * 4 + (i >> 4))[px * 4 + (i & 3)];
            page->voxels[i] = page->undoVoxels[i] = v;
            if (WO_Matter(v) > wm_max)
                wm_max = WO_Matter(v);
        }
        wo_seqGrid[cell]++;
        WO_MakePageVoxelDirty(page);
        WO_MakePageSurfaceDirty(page);
    });
    ClearScratchSpace();
    wo_recalcChecksum = 1;
    SV_CleanDirtyVoxels();
    SV_CleanDirtySurfaces();
    Com_Printf("Loaded \"%s\" in %d msec", name, static_cast<int>(Base_Time() - start));
    return 1;
}

uint8_t SV_LoadVO2(const char *path, const uint8_t *filter) {
    if (!path)
        path = "";
    void *data = nullptr;
    const int32_t size = FS_ReadFile(path, &data);
    if (size < 0 || !data) {
        Com_Error(ER_ERROR, "SV_LoadVO2: Could not find file \"%s\"", path);
        return 0;
    }
    const uint8_t ok = SV_LoadVO2FromMemory(data, static_cast<size_t>(size), path, filter);
    FS_FreeFile(data);
    return ok;
}

// ---- undo and clearing ----

void SV_PrepareUndoWorld() {
    if (!wo_useUndo.integer)
        return;
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        memcpy(p->undoVoxels, p->voxels, sizeof(p->voxels));
}

void SV_UndoWorld() { WO_Undo_f(); }

void SV_ClearAllMatter() {
    wm_min = wm_max = 0;
    for (int pz = 0; pz < WO_GRID_PAGES; pz++) {
        for (int py = 0; py < WO_GRID_PAGES; py++)
            for (int px = 0; px < WO_GRID_PAGES; px++) {
                const int cell = WO_CellIndex(px, py, pz);
                if (wo_pageGrid[cell] != WO_CELL_EMPTY)
                    for (int i = 0; i < WO_PAGE_SIZE; i++)
                        SV_SetVoxel(px * 4 + (i & 3), py * 4 + (i >> 2 & 3), pz * 4 + (i >> 4), SV_VOXEL_SET, 0, 0);
                wo_seqGrid[cell]++;
            }
        // Every solid cell emptied becomes a page first: cleaned layer by layer, the
        // emptied ones go back to plain cells before a big world fills the page store.
        SV_CleanDirtyVoxels();
        SV_CleanDirtySurfaces();
    }
}

// ---- automatic dumps ----

void SV_AutoDump(int32_t now) {
    if (sv_autoDump.integer <= 0 ||
        SV_AgeAt(now, svs.lastAutoDump) < static_cast<int64_t>(sv_autoDump.integer) * 60000)
        return;
    svs.lastAutoDump = now;
    char dir[FS_MAX_FULL_PATH];
    if (Com_sprintf(dir, sizeof(dir), "%sautodump", fs.basePath) < static_cast<int>(sizeof(dir)))
        Sys_mkdir(dir);
    char name[32];
    for (int n = 0; n < 1000; n++) {
        Com_sprintf(name, sizeof(name), "autodump/%.3d.vo2", n);
        if (FS_ReadFile2(name, nullptr, 0, FS_DISK) == 1)
            continue;
        Com_Printf("Auto dump world...");
        WO_DumpVO2(name);
        return;
    }
    Com_Printf("SV_AutoDump: Could't find valid file name for autodump");
}
