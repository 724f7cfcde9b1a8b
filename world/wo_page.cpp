// Voxels, the page grid, the sequence grid and the fixed page store.
#include <sys/mman.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "world/wo_local.h"

int32_t wo_pageGrid[WO_GRID_CELLS];
woCellSurfs_t wo_cellSurfs[WO_GRID_CELLS];
uint32_t wo_seqGrid[WO_GRID_CELLS];
page_t wo_pages[WO_MAX_PAGES];
byte wo_pageAcitve[WO_MAX_PAGES];
page_t wo_pageDummy;
// The live list starts empty: its head linked to itself.
[[maybe_unused]] static const bool wo_pageDummyLinked = (wo_pageDummy.prev = wo_pageDummy.next = &wo_pageDummy, true);
uint8_t wo_surfNear[WO_NEAR_GRID * WO_NEAR_GRID * WO_NEAR_GRID];
uint8_t wo_blockNear[WO_NEAR_BLOCKS * WO_NEAR_BLOCKS * WO_NEAR_BLOCKS];

// The cubes of a page that touch its neighbour at offset (dx, dy, dz), each -1..1.
static constexpr uint64_t TouchingCubes(int dx, int dy, int dz) {
    uint64_t m = 0;
    for (int c = 0; c < WO_PAGE_SIZE; c++) {
        const int o[3] = {dx, dy, dz}, v[3] = {c & 3, c >> 2 & 3, c >> 4};
        bool touches = true;
        for (int i = 0; i < 3; i++)
            touches = touches && (o[i] == 0 || v[i] == (o[i] > 0 ? WO_PAGE_VOXELS - 1 : 0));
        if (touches)
            m |= uint64_t{1} << c;
    }
    return m;
}

struct touchingCubes_t {
    uint64_t m[27];
};

static constexpr touchingCubes_t MakeTouchingCubes() {
    touchingCubes_t t = {};
    for (int n = 0; n < 27; n++)
        t.m[n] = TouchingCubes(n % 3 - 1, n / 3 % 3 - 1, n / 9 - 1);
    return t;
}

static constexpr touchingCubes_t wo_touchingCubes = MakeTouchingCubes();

void WO_CountSurfNear(int x, int y, int z, uint64_t before, uint64_t after) {
    for (int n = 0; n < 27; n++) {
        const uint64_t touching = wo_touchingCubes.m[n];
        const int change = ((after & touching) != 0) - ((before & touching) != 0);
        if (!change)
            continue;
        const int nx = x + n % 3 - 1, ny = y + n / 3 % 3 - 1, nz = z + n / 9 - 1;
        uint8_t &count = wo_surfNear[WO_NearIndex(nx, ny, nz)];
        const bool was = count != 0;
        count = static_cast<uint8_t>(count + change);
        if (was != (count != 0))
            wo_blockNear[WO_BlockIndex(nx >> 2, ny >> 2, nz >> 2)] += static_cast<uint8_t>(change);
    }
}

int32_t wo_pagedMins[3], wo_pagedMaxs[3];
// Per row of cells (index y + 32z), bit x set where the cell holds a stored page: the
// paged bounds are found from these 4 kB instead of the grid's 128 kB.
static_assert(WO_GRID_PAGES == 32, "a row of cells is one 32-bit word");
static uint32_t wo_pageRows[WO_GRID_PAGES * WO_GRID_PAGES];
// Record numbers of the pages marked dirty since the cleaning passes last found them
// clean, each listed once, so that a pass after a small change visits a few pages
// instead of every live one.  The spawn stamps give the live list's order back.
static int32_t wo_dirtyList[WO_MAX_PAGES];
static int wo_numDirtyList;
static byte wo_pageListed[WO_MAX_PAGES];
static uint64_t wo_pageStamp[WO_MAX_PAGES];
static uint64_t wo_spawnCount;
int32_t wo_dirtyVoxelCount;
int32_t wo_dirtySurfaceOrNormalCount;
int32_t wm_min, wm_max;
byte wo_initialized;
worldMatter_t wo_wms[WO_MATTERS];

static bool CellInGrid(int x, int y, int z) {
    return x >= 0 && x < WO_GRID_PAGES && y >= 0 && y < WO_GRID_PAGES && z >= 0 && z < WO_GRID_PAGES;
}

voxel_t WO_GetVoxel(int x, int y, int z) {
    if (!WO_VoxelInWorld(x, y, z))
        return wo_emptyVoxel;
    const int32_t cell = wo_pageGrid[WO_VoxelCell(x, y, z)];
    if (cell == WO_CELL_EMPTY)
        return wo_emptyVoxel;
    if (cell == WO_CELL_SOLID)
        return wo_solidVoxel;
    return wo_pages[cell - WO_CELL_PAGE].voxels[WO_VoxelIndex(x, y, z)];
}

int WO_WorldToVoxel(float p) { return Com_ClampToInt(std::round(p / WO_VOXEL_SIZE + WO_VOXEL_ORIGIN)); }

int WO_InitMalloc() {
    memset(wo_pageAcitve, 0, sizeof(wo_pageAcitve));
    memset(wo_pageListed, 0, sizeof(wo_pageListed));
    wo_numDirtyList = 0;
    return WO_MAX_PAGES;
}

// The lowest-numbered free record, or -1 when the store is full.
static int PageMalloc() {
    const void *freeRecord = memchr(wo_pageAcitve, 0, sizeof(wo_pageAcitve));
    if (!freeRecord)
        return -1;
    const int n = static_cast<int>(static_cast<const byte *>(freeRecord) - wo_pageAcitve);
    wo_pageAcitve[n] = 1;
    return n;
}

static void PageFree(page_t *page) {
    const ptrdiff_t n = page - wo_pages;
    if (n < 0 || n >= WO_MAX_PAGES) {
        Com_Error(ER_FATAL, "WO_free: bad free");
        return;
    }
    wo_pageAcitve[n] = 0;
    page->magic = WO_PAGE_FREED;
}

page_t *WO_SpawnPage(int x, int y, int z) {
    WO_ASSERT_V(CellInGrid(x, y, z), nullptr);
    const int cell = WO_CellIndex(x, y, z);
    WO_ASSERT_V(wo_pageGrid[cell] < WO_CELL_PAGE, nullptr);
    const int n = PageMalloc();
    if (n < 0) {
        // The change that wanted this page stops here; the cell keeps its plain state.
        Com_Error(ER_ERROR, "WO_malloc: out of memory: all %d pages in use, cell (%d %d %d) stays %s",
                  WO_MAX_PAGES, x, y, z, wo_pageGrid[cell] == WO_CELL_SOLID ? "solid" : "empty");
        return nullptr;
    }
    page_t *page = &wo_pages[n];
    wo_pageStamp[n] = ++wo_spawnCount;  // pages join the live list at its tail

    page->prev = wo_pageDummy.prev;
    page->next = &wo_pageDummy;
    wo_pageDummy.prev->next = page;
    wo_pageDummy.prev = page;

    page->magic = WO_PAGE_MAGIC;
    page->x = x;
    page->y = y;
    page->z = z;
    const int cellXyz[3] = {x, y, z};
    for (int i = 0; i < 3; i++) {
        page->voxelMins[i] = cellXyz[i] * WO_PAGE_VOXELS;
        page->voxelMaxs[i] = cellXyz[i] * WO_PAGE_VOXELS + WO_PAGE_VOXELS;
        page->mins[i] = WO_VoxelToWorld(page->voxelMins[i]);
        page->maxs[i] = WO_VoxelToWorld(page->voxelMaxs[i]);
        page->center[i] = (page->mins[i] + page->maxs[i]) * 0.5f;
    }
    page->voxelDirty = 0;
    page->surfaceDirty = 0;
    page->normalDirty = 0;
    page->freeable = 0;
    page->freeAsSolid = 0;
    WO_MakePageVoxelDirty(page);
    WO_MakePageSurfaceDirty(page);
    page->pvsOptimized = 0;

    page->compressedMatterSize = 0;
    page->compressedDensitySize = 0;
    page->voxelCrc = 0;
    memset(page->batches, 0, sizeof(page->batches));
    memset(page->cubeSurfs, 0, sizeof(page->cubeSurfs));
    WO_SetCubeSurfMask(page, 0);
    memset(page->matterBits, 0, sizeof(page->matterBits));
    WO_ForgetPageProducts(page);

    wo_pageGrid[cell] = WO_CELL_PAGE + n;
    wo_pageRows[y + WO_GRID_PAGES * z] |= 1u << x;
    return page;
}

page_t *WO_SpawnUniformPage(int x, int y, int z) {
    const int cell = WO_CellIndex(x, y, z);
    const voxel_t fill = wo_pageGrid[cell] == WO_CELL_SOLID ? wo_solidVoxel : wo_emptyVoxel;
    page_t *page = WO_SpawnPage(x, y, z);
    if (!page)
        return nullptr;
    for (int i = 0; i < WO_PAGE_SIZE; i++)
        page->voxels[i] = page->undoVoxels[i] = fill;
    wo_seqGrid[cell]++;
    return page;
}

void WO_MarkCellsBelow(int x, int y, int z) {
    const int px = x >> WO_PAGE_SHIFT, py = y >> WO_PAGE_SHIFT, pz = z >> WO_PAGE_SHIFT;
    const int lowX = (x & 3) == 0, lowY = (y & 3) == 0, lowZ = (z & 3) == 0;
    for (int n = 1; n < 8; n++) {
        const int sx = n & 1, sy = n >> 1 & 1, sz = n >> 2 & 1;
        if ((sx && !lowX) || (sy && !lowY) || (sz && !lowZ))
            continue;
        const int nx = px - sx, ny = py - sy, nz = pz - sz;
        if (nx < 0 || ny < 0 || nz < 0)
            continue;
        page_t *below = WO_CellPage(WO_CellIndex(nx, ny, nz));
        if (!below)
            below = WO_SpawnUniformPage(nx, ny, nz);
        WO_MakePageSurfaceDirty(below);
    }
}

void WO_WidenMatterRange(const voxel_t *voxels, int count) {
    for (int i = 0; i < count; i++) {
        const int m = WO_Matter(voxels[i]);
        if (m < wm_min)
            wm_min = m;
        if (m > wm_max)
            wm_max = m;
    }
}

void WO_ForgetPageProducts(page_t *page) {
    // Only runs that can be non-empty are cleared: per-cube runs when there were
    // surfs, batches of the matters the last tessellation saw.
    if (page->numSurfs > 0)
        memset(page->cubeSurfs, 0, sizeof(page->cubeSurfs));
    WO_SetCubeSurfMask(page, 0);
    if (page->numBatchIndexes > 0)
        for (int b = 0; b < WO_MATTERS / 8; b++)
            for (int bits = page->matterBits[b], k = 0; bits; bits >>= 1, k++)
                if (bits & 1)
                    page->batches[b * 8 + k] = {0, 0};
    page->numFaces = 0;
    page->numIndexes = 0;
    page->numBatchIndexes = 0;
    page->numSurfs = 0;
    page->numShadowIndexes = 0;
}

// Takes a live page off the list and back to the store; its cell keeps its value.
static void UnlinkPage(page_t *page) {
    page->prev->next = page->next;
    page->next->prev = page->prev;
    page->magic = WO_PAGE_UNLINKED;
    PageFree(page);
    WO_SetCubeSurfMask(page, 0);
    wo_pageRows[page->y + WO_GRID_PAGES * page->z] &= ~(1u << page->x);
}

void WO_FreePage(int x, int y, int z, byte solid) {
    WO_ASSERT(CellInGrid(x, y, z));
    const int cell = WO_CellIndex(x, y, z);
    page_t *page = WO_CellPage(cell);
    WO_ASSERT(page != nullptr);
    WO_ASSERT(page->magic == WO_PAGE_MAGIC);
    UnlinkPage(page);
    wo_pageGrid[cell] = solid ? WO_CELL_SOLID : WO_CELL_EMPTY;
}

void WO_ClearAllPages() {
    // Only the live pages are visited; the grids are rewritten whole.
    for (page_t *p = wo_pageDummy.next, *next; p != &wo_pageDummy; p = next) {
        next = p->next;
        UnlinkPage(p);
    }
    static_assert(WO_CELL_EMPTY == 0, "the grid is emptied by zeroing");
    memset(wo_pageGrid, 0, sizeof(wo_pageGrid));
    memset(wo_pageRows, 0, sizeof(wo_pageRows));
    memset(wo_pageListed, 0, sizeof(wo_pageListed));
    wo_numDirtyList = 0;
    for (uint32_t &seq : wo_seqGrid)
        seq++;
    wo_pageDummy.prev = wo_pageDummy.next = &wo_pageDummy;
    WO_ClearPool();
}

static void ListDirty(const page_t *page) {
    const int n = static_cast<int>(page - wo_pages);
    if (wo_pageListed[n])
        return;
    wo_pageListed[n] = 1;
    wo_dirtyList[wo_numDirtyList++] = n;
}

int WO_CollectDirtyPages(page_t **out) {
    int kept = 0;
    for (int k = 0; k < wo_numDirtyList; k++) {
        const int n = wo_dirtyList[k];
        const page_t *p = &wo_pages[n];
        if (p->magic == WO_PAGE_MAGIC && (p->voxelDirty || p->surfaceDirty || p->normalDirty))
            wo_dirtyList[kept++] = n;
        else
            wo_pageListed[n] = 0;
    }
    wo_numDirtyList = kept;
    std::sort(wo_dirtyList, wo_dirtyList + kept, [](int a, int b) { return wo_pageStamp[a] < wo_pageStamp[b]; });
    for (int k = 0; k < kept; k++)
        out[k] = &wo_pages[wo_dirtyList[k]];
    return kept;
}

void WO_MakePageVoxelDirty(page_t *page) {
    if (!page)
        return;
    ListDirty(page);
    page->voxelDirty = 1;
    wo_dirtyVoxelCount++;
}

void WO_MakePageSurfaceDirty(page_t *page) {
    if (!page)
        return;
    ListDirty(page);
    page->surfaceDirty = 1;
    wo_dirtySurfaceOrNormalCount++;
}

void WO_MakePageNormalDirty(page_t *page) {
    if (!page)
        return;
    ListDirty(page);
    page->normalDirty = 1;
    wo_dirtySurfaceOrNormalCount++;
}

void WO_ClampVoxelMinsMaxs(int32_t mins[3], int32_t maxs[3]) {
    for (int i = 0; i < 3; i++) {
        mins[i] = mins[i] < 0 ? 0 : mins[i] > WO_WORLD_VOXELS - 1 ? WO_WORLD_VOXELS - 1 : mins[i];
        maxs[i] = maxs[i] < 0 ? 0 : maxs[i] > WO_WORLD_VOXELS - 1 ? WO_WORLD_VOXELS - 1 : maxs[i];
    }
}

void WO_CalcPagedBounds() {
    for (int i = 0; i < 3; i++) {
        wo_pagedMins[i] = 999999;
        wo_pagedMaxs[i] = -999999;
    }
    bool any = false;
    for (int row = 0; row < WO_GRID_PAGES * WO_GRID_PAGES; row++) {
        const uint32_t bits = wo_pageRows[row];
        if (!bits)
            continue;
        const int y = row % WO_GRID_PAGES, z = row / WO_GRID_PAGES;
        const int32_t lo[3] = {std::countr_zero(bits), y, z};
        const int32_t hi[3] = {WO_GRID_PAGES - 1 - std::countl_zero(bits), y, z};
        for (int i = 0; i < 3; i++) {
            wo_pagedMins[i] = lo[i] < wo_pagedMins[i] ? lo[i] : wo_pagedMins[i];
            wo_pagedMaxs[i] = hi[i] > wo_pagedMaxs[i] ? hi[i] : wo_pagedMaxs[i];
        }
        any = true;
    }
    if (!any)
        for (int i = 0; i < 3; i++)
            wo_pagedMins[i] = wo_pagedMaxs[i] = 0;
}

int WO_CountPagedPages() {
    int n = 0;
    for (int32_t c : wo_pageGrid)
        n += c >= WO_CELL_PAGE;
    return n;
}

int WO_CountSolidPages() {
    int n = 0;
    for (int32_t c : wo_pageGrid)
        n += c == WO_CELL_SOLID;
    return n;
}

// Asks the kernel for huge pages behind a large store, before it is first touched:
// tessellating one page touches a dozen fields of its 28 kB record and the records of
// its neighbours, and with 4 kB pages nearly every one of those costs a page walk.
// Only the store's whole 2 MB stretches are advised; the advice is a hint, so a
// refusal changes nothing.
static void AdviseHugePages(void *store, size_t size) {
    constexpr uintptr_t HUGE_PAGE = uintptr_t{2} << 20;
    const uintptr_t start = (reinterpret_cast<uintptr_t>(store) + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(store) + size) & ~(HUGE_PAGE - 1);
    if (end > start)
        madvise(reinterpret_cast<void *>(start), end - start, MADV_HUGEPAGE);
}

void WO_InitPages() {
    if (wo_initialized)
        return;
    wo_initialized = 1;
    static bool advised = false;
    if (!advised) {
        advised = true;
        AdviseHugePages(wo_pages, sizeof(wo_pages));
        AdviseHugePages(&wo_pool, sizeof(wo_pool));
        AdviseHugePages(&wo_faces, sizeof(wo_faces));
    }
    WO_InitMalloc();
    wm_min = 0;
    wm_max = 0;
}

void WO_ShutdownPages() { wo_initialized = 0; }

void WO_SetPage() {}
