// World pages on the client: the sequence checks and their acknowledgements, bad
// page pieces that install and acknowledge nothing, and the dirty marks a change
// spreads to the neighbours whose surfaces read its voxels.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/base.h"
#include "base/cmd.h"
#include "client/cl_local.h"
#include "common/common.h"
#include "tests/support/capture.h"
#include "world/world.h"

namespace {

using namespace hm_test;

constexpr int32_t WORLD = 7;

struct pagePiece_t {
    int32_t x, y, z, sequence, worldId, size1, size2;
    std::vector<uint8_t> data;
};

struct ClientPages : testing::Test {
    static inline msg_t msg;

    static void SetUpTestSuite() {
        WO_InitPages();
        WO_InitPool();
    }
    void SetUp() override {
        StartCapture();
        WO_ClearAllPages();
        memset(&cl, 0, sizeof cl);
        cl.worldId = WORLD;
        cl.pipe.remote = netadr_t{NA_IP, {10, 0, 0, 1}, 14666, 0};
        CL_InitSeqGrid();
        wo_dirtySurfaceOrNormalCount = 0;
        wm_min = wm_max = 0;
    }
    void TearDown() override { StopCapture(); }

    // One package of full pieces, then compact ones; returns whether the parser would drop the rest.
    bool Receive(const std::vector<pagePiece_t> &full, int compact = 0, int cutBits = 0) {
        Msg_WriteBegin(&msg);
        for (const pagePiece_t &p : full) {
            Msg_WriteByte(static_cast<uint8_t>(p.x)), Msg_WriteByte(static_cast<uint8_t>(p.y));
            Msg_WriteByte(static_cast<uint8_t>(p.z));
            Msg_WriteLong(p.sequence), Msg_WriteLong(p.worldId), Msg_WriteLong(p.size1), Msg_WriteLong(p.size2);
            Msg_WriteBytes(p.data.data(), static_cast<int>(p.data.size()));
        }
        if (cutBits) msg.curBits = cutBits;
        Msg_ReadBegin(&msg);
        cl_dropPackage = 0;
        for (size_t i = 0; i < full.size() && !cl_dropPackage; i++) CL_HandlePackagePage(0);
        for (int i = 0; i < compact && !cl_dropPackage; i++) CL_HandlePackagePage(1);
        return cl_dropPackage;
    }
    static int32_t Seq(int x, int y, int z) { return static_cast<int32_t>(wo_seqGrid[WO_CellIndex(x, y, z)]); }
    static clPageAck_t LastAck() { return cl.pageAckCount ? cl.pageAcks[cl.pageAckCount - 1] : clPageAck_t{-9, -9, -9, -9}; }
    // The two streams of a page whose voxels are all v.
    static std::vector<uint8_t> Streams(voxel_t v, int32_t *size1, int32_t *size2) {
        static page_t page;
        for (voxel_t &p : page.voxels) p = v;
        WO_CompressPage(&page);
        *size1 = page.compressedMatterSize, *size2 = page.compressedDensitySize;
        return std::vector<uint8_t>(page.compressed, page.compressed + *size1 + *size2);
    }
};

TEST_F(ClientPages, NewPagesInstallOldOnesAreAnsweredWithWhatTheClientHolds) {
    int32_t m, d;
    const std::vector<uint8_t> streams = Streams(0x0380, &m, &d);
    EXPECT_FALSE(Receive({{3, 4, 5, 10, WORLD, m, d, streams}}));
    const page_t *p = WO_CellPage(WO_CellIndex(3, 4, 5));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->voxels[17], 0x0380);
    EXPECT_EQ(p->voxelCrc, Com_GetCRC(p->voxels, sizeof p->voxels));
    EXPECT_EQ(wm_max, 3);
    EXPECT_EQ(Seq(3, 4, 5), 10);
    EXPECT_EQ(LastAck().sequence, 10);

    struct {
        const char *what;
        int32_t sequence;
        int32_t acked;  // what the acknowledgement names
    } cases[] = {
        {"a resend", 10, 10},
        {"an older copy", 8, 10},
    };
    for (const auto &k : cases) {
        cl.pageAckCount = 0;
        wo_dirtySurfaceOrNormalCount = 0;
        // Solid content: it would show if the copy were installed.
        EXPECT_FALSE(Receive({{3, 4, 5, k.sequence, WORLD, -1, -1, {}}})) << k.what;
        EXPECT_EQ(LastAck().sequence, k.acked) << k.what;
        EXPECT_EQ(Seq(3, 4, 5), 10) << k.what;
        EXPECT_EQ(WO_CellPage(WO_CellIndex(3, 4, 5)), p) << k.what << " is not installed";
        EXPECT_EQ(wo_dirtySurfaceOrNormalCount, 0) << k.what;
    }
}

TEST_F(ClientPages, ALoopBackClientAcknowledgesButInstallsNothing) {
    cl.pipe.remote = netadr_t{NA_LOCAL, {}, 0, 0};
    EXPECT_FALSE(Receive({{3, 4, 5, 2, WORLD, -1, -1, {}}}));
    EXPECT_EQ(Seq(3, 4, 5), 2);
    EXPECT_EQ(LastAck().sequence, 2);
    EXPECT_EQ(wo_pageGrid[WO_CellIndex(3, 4, 5)], WO_CELL_EMPTY);
}

// Bad pieces drop the rest of the package: nothing installed, stored or acknowledged.
TEST_F(ClientPages, BadPiecesInstallAndAcknowledgeNothing) {
    int32_t m, d;
    const std::vector<uint8_t> streams = Streams(0x0280, &m, &d);
    // The density stream without its last byte: it no longer makes 64 voxels.
    const std::vector<uint8_t> damaged(streams.begin(), streams.end() - 1);
    struct {
        const char *what;
        pagePiece_t piece;
        int cutBits;
        bool warned;
    } cases[] = {
        {"x outside the grid", {32, 0, 0, 1, WORLD, 0, 0, {}}, 0, true},
        {"matter size with a negative density size", {1, 1, 1, 1, WORLD, 5, -1, {1, 2, 3, 4}}, 0, true},
        {"size below -1", {1, 1, 1, 1, WORLD, -2, 0, {}}, 0, true},
        {"sizes beyond a page's room", {1, 1, 1, 1, WORLD, 200, 129, {}}, 0, true},
        {"streams cut short by the package's end", {1, 1, 1, 1, WORLD, m, d, streams}, 8 * (19 + m), true},
        {"the numbers cut short", {1, 1, 1, 1, WORLD, 0, 0, {}}, 8 * 10, true},
        {"damaged streams", {1, 1, 1, 1, WORLD, m, d - 1, damaged}, 0, true},
        {"another world", {1, 1, 1, 1, WORLD + 1, -1, -1, {}}, 0, false},
    };
    for (const auto &k : cases) {
        SetUp();
        EXPECT_TRUE(Receive({k.piece}, 0, k.cutBits)) << k.what;
        EXPECT_EQ(Reported(ER_WARNING, "CL_HandlePackagePage: Bad page"), k.warned) << k.what << "\n" << AllErrors();
        EXPECT_EQ(cl.pageAckCount, 0) << k.what;
        EXPECT_EQ(Seq(1, 1, 1), -1) << k.what;
        EXPECT_EQ(wo_pageGrid[WO_CellIndex(1, 1, 1)], WO_CELL_EMPTY) << k.what;
    }
}

TEST_F(ClientPages, CompactPiecesContinueAlongXAndStopAtTheEdge) {
    EXPECT_FALSE(Receive({{28, 2, 3, 6, WORLD, -1, -1, {}}}, 3));
    for (int x = 29; x <= 31; x++) {
        EXPECT_EQ(Seq(x, 2, 3), 6) << x;
        EXPECT_EQ(wo_pageGrid[WO_CellIndex(x, 2, 3)], WO_CELL_EMPTY) << x;
    }
    EXPECT_EQ(wo_pageGrid[WO_CellIndex(28, 2, 3)], WO_CELL_SOLID);
    EXPECT_EQ(cl.pageAckCount, 4);
    // The next compact piece would be x = 32.
    EXPECT_TRUE(Receive({}, 1));
    EXPECT_TRUE(Reported(ER_WARNING, "CL_HandlePackagePage: Bad page"));
    EXPECT_EQ(cl.pageAckCount, 4);
}

// A page's surface is built from its voxels and its high-side neighbours', so a
// change on this page's low faces, edges and corner dirties the pages on that side.
TEST_F(ClientPages, AChangeMarksTheLowSideNeighboursItTouchesAndNormalsAround) {
    int32_t m, d;
    const std::vector<uint8_t> half = Streams(0x0180, &m, &d);
    // A block of live pages around (5, 5, 5), then (5, 5, 5) solid.
    int32_t seq = 1;
    for (int z = 4; z <= 6; z++)
        for (int y = 4; y <= 6; y++)
            for (int x = 4; x <= 6; x++) {
                if (x == 5 && y == 5 && z == 5) continue;
                ASSERT_FALSE(Receive({{x, y, z, seq, WORLD, m, d, half}}));
            }
    ASSERT_FALSE(Receive({{5, 5, 5, ++seq, WORLD, -1, -1, {}}}));
    const auto clearMarks = [] {
        for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next) p->surfaceDirty = p->normalDirty = 0;
        wo_dirtySurfaceOrNormalCount = 0;
    };
    const auto surfaceMarked = [](int x, int y, int z) { return WO_CellPage(WO_CellIndex(x, y, z))->surfaceDirty != 0; };

    // Empty over solid: every low-side voxel changes.
    clearMarks();
    ASSERT_FALSE(Receive({{5, 5, 5, ++seq, WORLD, 0, 0, {}}}));
    int surfaces = 0, normals = 0;
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next) surfaces += p->surfaceDirty, normals += p->normalDirty;
    EXPECT_EQ(surfaces, 7);
    EXPECT_EQ(normals, 26);  // the cell itself holds no page now
    constexpr int lowSides[7][3] = {{4, 5, 5}, {5, 4, 5}, {5, 5, 4}, {5, 4, 4}, {4, 5, 4}, {4, 4, 5}, {4, 4, 4}};
    for (const auto &n : lowSides) EXPECT_TRUE(surfaceMarked(n[0], n[1], n[2])) << n[0] << n[1] << n[2];
    EXPECT_FALSE(surfaceMarked(6, 5, 5));

    // The same content again: no surface, but the normals all the same.
    clearMarks();
    ASSERT_FALSE(Receive({{5, 5, 5, ++seq, WORLD, 0, 0, {}}}));
    surfaces = normals = 0;
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next) surfaces += p->surfaceDirty, normals += p->normalDirty;
    EXPECT_EQ(surfaces, 0);
    EXPECT_EQ(normals, 26);

    // Cleaning rebuilds what was marked and clears every mark.
    CL_CleanDirtySurfaces();
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next) EXPECT_FALSE(p->surfaceDirty || p->normalDirty);
    EXPECT_EQ(wo_dirtySurfaceOrNormalCount, 0);
}

// A page that becomes a plain cell with no stored neighbour marks nothing dirty, yet
// the paged bounds that visible sets are built over must shrink all the same.
TEST_F(ClientPages, FreeingALonePageShrinksThePagedBounds) {
    int32_t m, d;
    const std::vector<uint8_t> streams = Streams(0x0180, &m, &d);
    ASSERT_FALSE(Receive({{5, 6, 7, 1, WORLD, m, d, streams}, {20, 21, 22, 1, WORLD, m, d, streams}}));
    CL_CleanDirtySurfaces();
    EXPECT_EQ(wo_pagedMaxs[0], 20);
    ASSERT_FALSE(Receive({{20, 21, 22, 2, WORLD, 0, 0, {}}}));
    CL_CleanDirtySurfaces();
    EXPECT_EQ(wo_pagedMins[0], 5);
    EXPECT_EQ(wo_pagedMaxs[0], 5);
    EXPECT_EQ(wo_pagedMaxs[1], 6);
    EXPECT_EQ(wo_pagedMaxs[2], 7);
}

}  // namespace
