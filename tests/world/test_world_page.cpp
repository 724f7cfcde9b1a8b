#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/world/world_build.h"
#include "world/wo_local.h"

namespace {

using namespace worldbuild;

TEST(WorldPage, VoxelReadsFollowTheCellAndCloseTheWorld) {
    Reset();
    wo_pageGrid[WO_CellIndex(0, 1, 1)] = WO_CELL_SOLID;   // holds voxel (0..3, 5, 5)
    wo_pageGrid[WO_CellIndex(31, 1, 1)] = WO_CELL_SOLID;  // holds (124..127, 5, 5)
    wo_pageGrid[WO_CellIndex(1, 1, 31)] = WO_CELL_SOLID;  // holds (5, 5, 124..127)
    wo_pageGrid[WO_CellIndex(0, 0, 0)] = WO_CELL_SOLID;
    struct Case {
        int x, y, z;
        voxel_t v;
    };
    const Case cases[] = {
        {0, 5, 5, wo_emptyVoxel},   {126, 5, 5, wo_emptyVoxel}, {5, 5, 127, wo_emptyVoxel},
        {1, 1, 1, wo_solidVoxel},   {1, 5, 5, wo_solidVoxel},   {125, 5, 5, wo_solidVoxel},
        {-1, 5, 5, wo_emptyVoxel},  {9, 9, 9, wo_emptyVoxel},   {5, 5, 125, wo_solidVoxel},
    };
    for (const Case &c : cases)
        EXPECT_EQ(WO_GetVoxel(c.x, c.y, c.z), c.v) << c.x << " " << c.y << " " << c.z;

    page_t *p = WO_SpawnPage(2, 2, 2);
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < WO_PAGE_SIZE; i++)
        p->voxels[i] = static_cast<voxel_t>(i << 8 | 200);
    EXPECT_EQ(WO_GetVoxel(9, 10, 11), static_cast<voxel_t>(WO_VoxelIndex(9, 10, 11) << 8 | 200));
    EXPECT_EQ(WO_VoxelIndex(9, 10, 11), 1 + 4 * 2 + 16 * 3);
}

TEST(WorldPage, SpawnFillsBoundsAndLinksTheLiveList) {
    Reset();
    page_t *hi = WO_SpawnPage(31, 31, 31);
    page_t *lo = WO_SpawnPage(0, 0, 0);
    ASSERT_TRUE(hi && lo);
    EXPECT_EQ(hi->magic, WO_PAGE_MAGIC);
    for (int a = 0; a < 3; a++) {
        EXPECT_EQ(hi->voxelMins[a], 124);
        EXPECT_EQ(hi->voxelMaxs[a], 128);
        EXPECT_FLOAT_EQ(hi->mins[a], 48.0f);
        EXPECT_FLOAT_EQ(hi->maxs[a], 51.2f);
        EXPECT_FLOAT_EQ(hi->center[a], 49.6f);
        EXPECT_FLOAT_EQ(lo->mins[a], -51.2f);
        EXPECT_FLOAT_EQ(lo->maxs[a], -48.0f);
    }
    EXPECT_TRUE(hi->voxelDirty && hi->surfaceDirty);
    EXPECT_EQ(wo_pageDummy.next, hi);
    EXPECT_EQ(hi->next, lo);
    EXPECT_EQ(lo->next, &wo_pageDummy);
    EXPECT_EQ(wo_pageDummy.prev, lo);
    EXPECT_EQ(WO_CellPage(WO_CellIndex(31, 31, 31)), hi);
    WO_CalcPagedBounds();
    for (int a = 0; a < 3; a++) {
        EXPECT_EQ(wo_pagedMins[a], 0);
        EXPECT_EQ(wo_pagedMaxs[a], 31);
    }
    EXPECT_EQ(WO_CountPagedPages(), 2);

    WO_FreePage(31, 31, 31, 1);
    EXPECT_EQ(hi->magic, WO_PAGE_FREED);
    EXPECT_EQ(wo_pageGrid[WO_CellIndex(31, 31, 31)], WO_CELL_SOLID);
    EXPECT_EQ(WO_CountSolidPages(), 1);
    EXPECT_EQ(wo_pageDummy.next, lo);
    EXPECT_EQ(lo->prev, &wo_pageDummy);
}

TEST(WorldPage, ClearAllPagesEmptiesEveryCellAndBumpsEverySequence) {
    Reset();
    WO_SpawnPage(3, 4, 5);
    wo_pageGrid[WO_CellIndex(7, 7, 7)] = WO_CELL_SOLID;
    const std::vector<uint32_t> before(wo_seqGrid, wo_seqGrid + WO_GRID_CELLS);
    WO_ClearAllPages();
    for (int c = 0; c < WO_GRID_CELLS; c++) {
        ASSERT_EQ(wo_pageGrid[c], WO_CELL_EMPTY);
        ASSERT_EQ(wo_seqGrid[c], before[c] + 1);
    }
    EXPECT_EQ(wo_pageDummy.next, &wo_pageDummy);
    WO_CalcPagedBounds();
    for (int a = 0; a < 3; a++)
        EXPECT_TRUE(wo_pagedMins[a] == 0 && wo_pagedMaxs[a] == 0);
    EXPECT_EQ(WO_CountVertexesInPool(), 0);
}

TEST(WorldPage, FullStoreRefusesTheNextPageAndKeepsTheWorld) {
    Reset();
    ErrorLog log;
    for (int n = 0; n < WO_MAX_PAGES; n++)
        ASSERT_NE(WO_SpawnPage(n % 32, (n / 32) % 32, n / 1024), nullptr);
    wo_pageGrid[WO_CellIndex(0, 0, 20)] = WO_CELL_SOLID;
    EXPECT_EQ(WO_SpawnPage(0, 0, 20), nullptr);
    EXPECT_TRUE(log.Has(ER_ERROR, "WO_malloc: out of memory: all 10000 pages in use, cell (0 0 20) stays solid"));
    EXPECT_EQ(wo_pageGrid[WO_CellIndex(0, 0, 20)], WO_CELL_SOLID);
    EXPECT_EQ(WO_CountPagedPages(), WO_MAX_PAGES);

    // A freed record is the lowest free one and is taken again first.
    WO_FreePage(5, 0, 0, 0);
    page_t *again = WO_SpawnPage(0, 0, 20);
    EXPECT_EQ(again, &wo_pages[5]);
    WO_ClearAllPages();
}

TEST(WorldPage, MisuseOfCellsIsReportedAndChangesNothing) {
    Reset();
    ErrorLog log;
    page_t *p = WO_SpawnPage(1, 2, 3);
    EXPECT_EQ(WO_SpawnPage(1, 2, 3), nullptr);  // cell taken
    EXPECT_EQ(WO_SpawnPage(32, 0, 0), nullptr);
    EXPECT_EQ(WO_SpawnPage(0, -1, 0), nullptr);
    WO_FreePage(4, 4, 4, 0);  // no page there
    WO_FreePage(0, 0, 99, 0);
    EXPECT_EQ(log.Count(ER_BUG), 5);
    EXPECT_EQ(WO_CellPage(WO_CellIndex(1, 2, 3)), p);
    EXPECT_EQ(WO_CountPagedPages(), 1);
    EXPECT_EQ(wo_pageDummy.next->next, &wo_pageDummy);
}

TEST(WorldPage, DirtyMarksCountAndIgnoreNull) {
    Reset();
    page_t *p = WO_SpawnPage(1, 1, 1);
    wo_dirtyVoxelCount = wo_dirtySurfaceOrNormalCount = 0;
    WO_MakePageVoxelDirty(p);
    WO_MakePageSurfaceDirty(p);
    WO_MakePageNormalDirty(p);
    WO_MakePageNormalDirty(nullptr);
    EXPECT_EQ(wo_dirtyVoxelCount, 1);
    EXPECT_EQ(wo_dirtySurfaceOrNormalCount, 2);
    EXPECT_TRUE(p->normalDirty);

    int32_t mins[3] = {-5, 64, 200}, maxs[3] = {127, 128, -1};
    WO_ClampVoxelMinsMaxs(mins, maxs);
    EXPECT_TRUE(mins[0] == 0 && mins[1] == 64 && mins[2] == 127);
    EXPECT_TRUE(maxs[0] == 127 && maxs[1] == 127 && maxs[2] == 0);

    byte bits[32] = {};
    WO_SetBit256(bits, 255, 1);
    WO_SetBit256(bits, 9, 1);
    WO_SetBit256(bits, 9, 0);
    EXPECT_EQ(bits[31], 0x80);
    EXPECT_EQ(WO_GetBit256(bits, 255), 1);
    EXPECT_EQ(WO_GetBit256(bits, 9), 0);
}


// The cleaning passes see only marked pages, yet in the live list's order (the order
// the pool hands out vertexes in depends on it), and never miss a page spawned into
// a record whose former page was marked and freed.
TEST(WorldPage, DirtyPagesComeBackInLiveOrderUntilFoundClean) {
    Reset();
    page_t *a = WO_SpawnPage(1, 1, 1), *b = WO_SpawnPage(2, 1, 1), *c = WO_SpawnPage(3, 1, 1);
    static page_t *out[WO_MAX_PAGES];
    auto collect = [] {
        std::vector<page_t *> v(out, out + WO_CollectDirtyPages(out));
        return v;
    };
    EXPECT_EQ(collect(), (std::vector<page_t *>{a, b, c}));  // a spawn marks its page
    for (page_t *p : {a, b, c})
        p->voxelDirty = p->surfaceDirty = p->normalDirty = 0;
    EXPECT_TRUE(collect().empty());

    WO_MakePageNormalDirty(c);
    WO_MakePageSurfaceDirty(a);
    WO_MakePageVoxelDirty(c);
    EXPECT_EQ(collect(), (std::vector<page_t *>{a, c}));

    // b's record freed while marked, then taken by a new page: still listed once.
    WO_MakePageSurfaceDirty(b);
    WO_FreePage(2, 1, 1, 0);
    page_t *d = WO_SpawnPage(5, 5, 5);
    ASSERT_EQ(d, b);
    EXPECT_EQ(collect(), (std::vector<page_t *>{a, c, d}));
    WO_FreePage(1, 1, 1, 0);
    EXPECT_EQ(collect(), (std::vector<page_t *>{c, d}));
    WO_ClearAllPages();
    EXPECT_TRUE(collect().empty());
}
// ---- compact form and checksum ----

TEST(WorldCompress, PagesRoundTripAndUniformPagesShrinkToTwoRuns) {
    Reset();
    page_t *p = WO_SpawnPage(0, 0, 0);
    for (voxel_t &v : p->voxels)
        v = 0x0380;
    EXPECT_EQ(WO_CompressPage(p), 2);
    EXPECT_EQ(p->compressedMatterSize, 2);
    EXPECT_EQ(p->compressed[0], 128 + 64);
    EXPECT_EQ(p->compressed[1], 3);
    EXPECT_EQ(p->compressed[3], 0x80);

    std::mt19937 rng(4);
    for (int trial = 0; trial < 200; trial++) {
        voxel_t original[WO_PAGE_SIZE];
        for (voxel_t &v : original)  // runs and literals both: few distinct values
            v = static_cast<voxel_t>((rng() % (trial % 7 + 1)) * 0x0101 + (trial & 1 ? rng() % 3 : 0));
        memcpy(p->voxels, original, sizeof(original));
        WO_CompressPage(p);
        memset(p->voxels, 0xEE, sizeof(p->voxels));
        ASSERT_EQ(WO_UncompressPage(p), 1);
        ASSERT_EQ(memcmp(p->voxels, original, sizeof(original)), 0) << trial;
    }
}

TEST(WorldCompress, DamagedStreamsAreRefusedWithoutDecodingPastTheirBuffer) {
    Reset();
    ErrorLog log;
    page_t *p = WO_SpawnPage(0, 0, 0);
    struct Case {
        const char *name;
        int32_t matterSize, densitySize;
        std::vector<byte> bytes;
        const char *warning;
    };
    const std::vector<Case> cases = {
        {"negative size", -1, 2, {}, "Bad stream sizes"},
        {"sizes past the room", 300, 29, {}, "Bad stream sizes"},
        {"huge size", 0x7FFFFFFF, 0x7FFFFFFF, {}, "Bad stream sizes"},
        {"short stream", 2, 2, {128 + 63, 1, 128 + 64, 2}, "Bad page size: 63 != 64"},
        {"long stream", 4, 2, {128 + 64, 1, 128 + 5, 1, 128 + 64, 2}, "Bad page size: more than 64"},
        {"run control last", 3, 2, {128 + 63, 1, 130, 128 + 64, 2}, "Bad page size: 63 != 64"},
        {"literal past the end", 2, 2, {127, 1, 128 + 64, 2}, "Bad page size: 1 != 64"},
        {"every run maximal", 8, 2, {255, 1, 255, 1, 255, 1, 255, 1, 128 + 64, 2}, "more than 64"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (voxel_t &v : p->voxels)
            v = 0x1234;
        p->compressedMatterSize = c.matterSize;
        p->compressedDensitySize = c.densitySize;
        if (!c.bytes.empty())
            memcpy(p->compressed, c.bytes.data(), c.bytes.size());
        log.entries.clear();
        EXPECT_EQ(WO_UncompressPage(p), 0);
        EXPECT_TRUE(log.Has(ER_WARNING, c.warning));
        for (voxel_t v : p->voxels)
            ASSERT_EQ(v, 0x1234);
    }
}

TEST(WorldCompress, ChecksumOfPlainWorldsAndOneChangedCell) {
    Reset();
    wo_recalcChecksum = 1;
    EXPECT_EQ(WO_GetMatterChecksum(), 0u);
    for (int32_t &c : wo_pageGrid)
        c = WO_CELL_SOLID;
    wo_recalcChecksum = 1;
    EXPECT_EQ(WO_GetMatterChecksum(), 0u);

    for (int32_t &c : wo_pageGrid)
        c = WO_CELL_EMPTY;
    const uint32_t x = 3, y = 17, z = 30;
    wo_pageGrid[WO_CellIndex(x, y, z)] = WO_CELL_SOLID;
    wo_recalcChecksum = 1;
    const uint32_t expect = (x << 16) ^ (z << 8) ^ y ^ 0x90F5F712u ^ (z << 16) ^ (y << 8) ^ x ^ 0x67A20109u;
    EXPECT_EQ(WO_GetMatterChecksum(), expect);
    EXPECT_EQ(wo_recalcChecksum, 0);

    // Without the flag the cached sum stands, whatever the grid says now.
    page_t *p = WO_SpawnPage(0, 0, 0);
    p->voxelCrc = 0xABCD1234;
    EXPECT_EQ(WO_GetMatterChecksum(), expect);
    wo_recalcChecksum = 1;
    EXPECT_EQ(WO_GetMatterChecksum(), expect ^ 0xABCD1234 ^ 0x90F5F712u);
}

}  // namespace
