// The server's world: voxel changes and their marks, the cleaning passes, the world
// file reader, undo, automatic dumps, deformation by shapes and the shaping commands.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/base.h"
#include "base/cmd.h"
#include "base/files.h"
#include "base/module_services.h"
#include "game/g_public.h"
#include "server/server.h"
#include "server/sv_world.h"
#include "tests/world/world_build.h"
#include "tests/world/world_console.h"
#include "world/world.h"

namespace {

using namespace worldbuild;


std::vector<voxel_t> Snapshot() {
    std::vector<voxel_t> all(128 * 128 * 128);
    for (int z = 0; z < 128; z++)
        for (int y = 0; y < 128; y++)
            for (int x = 0; x < 128; x++)
                all[(z * 128 + y) * 128 + x] = WO_GetVoxel(x, y, z);
    return all;
}

void Clean() {
    SV_CleanDirtyVoxels();
    SV_CleanDirtySurfaces();
}

// A console with the world's and the server world's symbols, a base directory of its
// own, an empty world and sinks recording what is printed and raised.
class ServerWorld : public WorldConsole {
protected:
    void SetUp() override {
        WorldConsole::SetUp();
        qbase.clientRunning = 0;
        SV_Imp(1);
        WO_InitPool();
        Reset();
        SV_InitSeqGrid();
        wo_dirtyVoxelCount = wo_dirtySurfaceOrNormalCount = 0;  // clearing the pages leaves the counts
        wo_worldSpace = 0;
        wo_worldCore = 0;
        wo_lg = 0;
        wo_spaceBox[0] = wo_spaceBox[1] = wo_spaceBox[2] = 0;
        g_printed.clear();
    }
    void TearDown() override {
        Reset();
        WorldConsole::TearDown();
    }
    void WriteFile(const std::string &name, const std::vector<uint8_t> &bytes) const {
        std::ofstream(std::filesystem::path(dir) / name, std::ios::binary)
            .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
};

// ---- SV_SetVoxel ----

TEST_F(ServerWorld, SetVoxelWritesDensityAndMatterByMode) {
    struct {
        int mode, matter, value;
        voxel_t before, after;
    } const cases[] = {
        {SV_VOXEL_SET, 3, 200, 0x0000, 0x03C8},    {SV_VOXEL_SET, -1, 90, 0x0264, 0x025A},
        {SV_VOXEL_ADD, -1, 100, 0x01C8, 0x01FF},   {SV_VOXEL_SUBTRACT, -1, 100, 0x0132, 0x0100},
        {SV_VOXEL_SET, 7, -1, 0x0132, 0x0732},     {SV_VOXEL_ADD, 4, 10, 0x0110, 0x041A},
        {9, 4, 10, 0x0110, 0x0110},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " value " << c.value);
        Reset();
        page_t *p = WO_SpawnPage(10, 10, 10);
        for (voxel_t &v : p->voxels)
            v = 0x0080;
        p->voxels[WO_VoxelIndex(41, 41, 41)] = c.before;
        SV_SetVoxel(41, 41, 41, c.mode, c.matter, c.value);
        EXPECT_EQ(WO_GetVoxel(41, 41, 41), c.after);
    }
}

TEST_F(ServerWorld, SetVoxelLeavesTheOuterLayerAndUnchangedUniformCellsAlone) {
    for (int x : {0, 126, 127, -5, 1000})
        SV_SetVoxel(x, 40, 40, SV_VOXEL_SET, 1, 200);
    SV_SetVoxel(40, 40, 40, SV_VOXEL_SET, 0, 0);          // empty stays empty
    SV_SetVoxel(40, 40, 40, SV_VOXEL_SUBTRACT, -1, 30);   // nothing to take
    wo_pageGrid[WO_CellIndex(5, 5, 5)] = WO_CELL_SOLID;
    SV_SetVoxel(21, 21, 21, SV_VOXEL_SET, 0, 255);        // solid stays solid
    SV_SetVoxel(21, 21, 21, SV_VOXEL_ADD, -1, 30);
    EXPECT_EQ(WO_CountPagedPages(), 0);
    EXPECT_EQ(wo_dirtyVoxelCount, 0);
}

TEST_F(ServerWorld, CarvingASolidCellFullySpawnsItsPage) {
    // Subtracting 255 from a solid cell changes it even though the value is 255.
    wo_pageGrid[WO_CellIndex(5, 5, 5)] = WO_CELL_SOLID;
    const uint32_t seq = wo_seqGrid[WO_CellIndex(5, 5, 5)];
    SV_SetVoxel(21, 21, 21, SV_VOXEL_SUBTRACT, -1, 255);
    EXPECT_EQ(WO_GetVoxel(21, 21, 21), 0);
    EXPECT_EQ(WO_GetVoxel(22, 21, 21), wo_solidVoxel);
    page_t *p = WO_CellPage(WO_CellIndex(5, 5, 5));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->undoVoxels[0], wo_solidVoxel);
    EXPECT_GT(wo_seqGrid[WO_CellIndex(5, 5, 5)], seq);
}

TEST_F(ServerWorld, AVoxelInThePagesFirstCornerTouchesTheSevenCellsBelow) {
    wo_pageGrid[WO_CellIndex(4, 4, 4)] = WO_CELL_SOLID;
    SV_SetVoxel(20, 20, 20, SV_VOXEL_SET, 2, 200);
    for (int dz = 0; dz <= 1; dz++)
        for (int dy = 0; dy <= 1; dy++)
            for (int dx = 0; dx <= 1; dx++) {
                page_t *p = WO_CellPage(WO_CellIndex(5 - dx, 5 - dy, 5 - dz));
                ASSERT_NE(p, nullptr) << dx << dy << dz;
                EXPECT_TRUE(p->surfaceDirty);
            }
    EXPECT_EQ(WO_CountPagedPages(), 8);
    EXPECT_EQ(WO_GetVoxel(19, 19, 19), wo_solidVoxel) << "the solid cell below kept its voxels";
    EXPECT_EQ(wm_max, 2);
    // A voxel inside its page touches no other cell.
    Reset();
    SV_SetVoxel(21, 22, 23, SV_VOXEL_SET, 0, 200);
    EXPECT_EQ(WO_CountPagedPages(), 1);
}

// ---- cleaning ----

TEST_F(ServerWorld, CleaningSendsAnEmptiedPageOnceMoreAndThenFreesIt) {
    const int cell = WO_CellIndex(10, 10, 10);
    SV_SetVoxel(41, 41, 41, SV_VOXEL_SET, 5, 200);
    Clean();
    page_t *p = WO_CellPage(cell);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->voxelCrc, Com_GetCRC(p->voxels, sizeof(p->voxels)));
    const uint32_t seq = wo_seqGrid[cell];
    EXPECT_GT(seq, 0u);

    // Empty densities with differing matters count as uniformly empty.
    SV_SetVoxel(41, 41, 41, SV_VOXEL_SET, 9, 0);
    SV_CleanDirtyVoxels();
    EXPECT_TRUE(p->freeable);
    EXPECT_FALSE(p->freeAsSolid);
    EXPECT_GT(wo_seqGrid[cell], seq);
    SV_CleanDirtySurfaces();
    EXPECT_EQ(wo_pageGrid[cell], WO_CELL_EMPTY);
    EXPECT_EQ(WO_CountPagedPages(), 0);
    EXPECT_EQ(wo_dirtySurfaceOrNormalCount, 0);
}

TEST_F(ServerWorld, CleaningWakesEntitiesWhoseGroundChanged) {
    // Three linked entities: on a changed page, over a solid cell, and on an untouched page.
    const float boxes[3][2][3] = {{{32.0f, 32.0f, 32.0f}, {33.0f, 33.0f, 33.0f}},
                                  {{-40.0f, -40.0f, -40.0f}, {-39.0f, -39.0f, -39.0f}},
                                  {{0.0f, 15.5f, 0.0f}, {0.5f, 16.5f, 0.5f}}};
    uint8_t state[3] = {1, 1, 1};
    entityShared_t shared[3] = {};
    memset(&sv, 0, sizeof sv);
    sv.entityList.next = sv.entityList.prev = &sv.entityList;
    for (int i = 0; i < 3; i++) {
        memcpy(shared[i].mins, boxes[i][0], 12);
        memcpy(shared[i].maxs, boxes[i][1], 12);
        shared[i].resting = 1;
        sv.entities[i].state = &state[i];
        sv.entities[i].shared = reinterpret_cast<uint8_t *>(&shared[i]);
        SV_LinkEntity(i);
    }
    Build(Ball(16));
    TessAll();
    wo_pageGrid[WO_CellIndex(2, 2, 2)] = WO_CELL_SOLID;  // the far one's ground is solid, not a page
    const int v = WO_WorldToVoxel(32.5f);
    SV_SetVoxel(v, v, v, SV_VOXEL_SET, 0, 200);
    Clean();
    EXPECT_EQ(shared[0].resting, 0) << "its page changed";
    EXPECT_EQ(shared[1].resting, 0) << "no stored page under it";
    EXPECT_EQ(shared[2].resting, 1) << "its ground stayed as it was";
    memset(&sv, 0, sizeof sv);
}

TEST_F(ServerWorld, DebugBumpRenumbersSevenHundredCellsEveryFiftiethCall) {
    sv_worldDebugBump.integer = 1;
    for (int i = 0; i < 49; i++)
        SV_WorldDebugBump();
    EXPECT_EQ(wo_seqGrid[0], 0u);
    SV_WorldDebugBump();
    EXPECT_EQ(wo_seqGrid[0], 1u);
    EXPECT_EQ(wo_seqGrid[699], 1u);
    EXPECT_EQ(wo_seqGrid[700], 0u);
    sv_worldDebugBump.integer = 0;
}

// ---- world files ----

TEST_F(ServerWorld, AWorldWrittenAndReadBackIsTheSameVoxelForVoxel) {
    Build([](int x, int y, int z) -> voxel_t {
        const voxel_t v = BallVoxel(x, y, z, 25.0f, (x / 7 + z) % 5);
        return y > 90 && y < 100 ? static_cast<voxel_t>(0x0300 | (x * 3 + z) % 256) : v;
    });
    Clean();
    const std::vector<voxel_t> before = Snapshot();
    const uint32_t checksum = WO_GetMatterChecksum();
    ASSERT_TRUE(WO_DumpVO2("world.vo2"));
    Reset();
    ASSERT_EQ(SV_LoadVO2("world.vo2", nullptr), 1);
    EXPECT_TRUE(Printed("Loaded \"world.vo2\" in"));
    EXPECT_TRUE(Snapshot() == before);
    EXPECT_EQ(WO_GetMatterChecksum(), checksum);
    EXPECT_EQ(wo_dirtyVoxelCount, 0);
    EXPECT_GT(WO_CountFacesInPool(), 0);
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        ASSERT_EQ(p->voxelCrc, Com_GetCRC(p->voxels, sizeof(p->voxels)));
}

TEST_F(ServerWorld, TheMatterFilterTurnsUnlistedMattersIntoMatterZero) {
    Build(Ball(10, 6));
    ASSERT_TRUE(WO_DumpVO2("six.vo2"));
    uint8_t filter[256] = {};
    ASSERT_EQ(SV_LoadVO2("six.vo2", filter), 1);
    EXPECT_EQ(WO_GetVoxel(64, 64, 64), wo_solidVoxel);
    filter[6] = 1;
    ASSERT_EQ(SV_LoadVO2("six.vo2", filter), 1);
    EXPECT_EQ(WO_GetVoxel(64, 64, 64), 0x06FF);
}

std::vector<uint8_t> Header(uint32_t magic, uint32_t version, uint32_t count, uint32_t size = 4) {
    std::vector<uint8_t> b;
    for (uint32_t w : {magic, version, count, size, size, size})
        for (int i = 0; i < 4; i++)
            b.push_back(static_cast<uint8_t>(w >> (8 * i)));
    return b;
}

void Record(std::vector<uint8_t> &b, uint32_t type, int32_t x, int32_t y, int32_t z, int voxels = 64) {
    for (uint32_t w : {type, static_cast<uint32_t>(x), static_cast<uint32_t>(y), static_cast<uint32_t>(z)})
        for (int i = 0; i < 4; i++)
            b.push_back(static_cast<uint8_t>(w >> (8 * i)));
    if (type == VO2_PAGE)
        for (int i = 0; i < voxels; i++) {
            b.push_back(200);
            b.push_back(1);
        }
}

TEST_F(ServerWorld, ADamagedWorldFileIsRefusedAndTheWorldStaysAsItWas) {
    std::vector<uint8_t> badMagic = Header(0x12345678, 2, 0);
    std::vector<uint8_t> version1 = Header(WO_VO2_MAGIC, 1, 0);
    std::vector<uint8_t> shortHeader = Header(WO_VO2_MAGIC, 2, 0);
    shortHeader.resize(20);
    std::vector<uint8_t> countTooHigh = Header(WO_VO2_MAGIC, 2, 3);
    Record(countTooHigh, VO2_SOLID, 8, 8, 8);
    std::vector<uint8_t> hugeCount = Header(WO_VO2_MAGIC, 2, 0xFFFFFFFF);
    std::vector<uint8_t> cutVoxels = Header(WO_VO2_MAGIC, 2, 1);
    Record(cutVoxels, VO2_PAGE, 8, 8, 8, 63);
    std::vector<uint8_t> badType = Header(WO_VO2_MAGIC, 2, 1);
    Record(badType, 7, 8, 8, 8);
    std::vector<uint8_t> outside = Header(WO_VO2_MAGIC, 2, 1);
    Record(outside, VO2_SOLID, 8, 128, 8);
    std::vector<uint8_t> negative = Header(WO_VO2_MAGIC, 2, 1);
    Record(negative, VO2_SOLID, 8, 8, -0x7FFFFFF0);
    std::vector<uint8_t> trailing = Header(WO_VO2_MAGIC, 2, 1);
    Record(trailing, VO2_SOLID, 8, 8, 8);
    trailing.push_back(0);
    std::vector<uint8_t> badSize = Header(WO_VO2_MAGIC, 2, 0, 0);
    std::vector<uint8_t> hugeSize = Header(WO_VO2_MAGIC, 2, 0, 0x40000000);
    // Whole-world solid blocks, one over the other: cheap to write, slow to apply.
    std::vector<uint8_t> overdrawn = Header(WO_VO2_MAGIC, 2, 33, 128);
    for (int i = 0; i < 33; i++)
        Record(overdrawn, VO2_SOLID, 0, 0, 0);
    // 10,001 pages of differing voxels: more than the page store holds.
    std::vector<uint8_t> tooManyPages = Header(WO_VO2_MAGIC, 2, 10001);
    for (int i = 0; i < 10001; i++)
        Record(tooManyPages, VO2_PAGE, 4 + 4 * (i % 30), 4 + 4 * (i / 30 % 30), 4 + 4 * (i / 900));

    struct {
        const char *name;
        const std::vector<uint8_t> *bytes;
        const char *message;
    } const cases[] = {
        {"magic.vo2", &badMagic, "SV_LoadVO2: Bad magic in file \"magic.vo2\""},
        {"v1.vo2", &version1, "SV_LoadVO2: Bad version in file \"v1.vo2\" 1 should be 2"},
        {"short.vo2", &shortHeader, "SV_LoadVO2: Damaged file \"short.vo2\""},
        {"count.vo2", &countTooHigh, "SV_LoadVO2: Damaged file \"count.vo2\""},
        {"huge.vo2", &hugeCount, "SV_LoadVO2: Damaged file \"huge.vo2\""},
        {"cut.vo2", &cutVoxels, "SV_LoadVO2: Damaged file \"cut.vo2\""},
        {"type.vo2", &badType, "SV_LoadVO2: Damaged file \"type.vo2\""},
        {"outside.vo2", &outside, "SV_LoadVO2: Damaged file \"outside.vo2\""},
        {"negative.vo2", &negative, "SV_LoadVO2: Damaged file \"negative.vo2\""},
        {"trailing.vo2", &trailing, "SV_LoadVO2: Damaged file \"trailing.vo2\""},
        {"size0.vo2", &badSize, "SV_LoadVO2: Damaged file \"size0.vo2\""},
        {"sizehuge.vo2", &hugeSize, "SV_LoadVO2: Damaged file \"sizehuge.vo2\""},
        {"overdrawn.vo2", &overdrawn, "SV_LoadVO2: Damaged file \"overdrawn.vo2\": blocks laid over each other"},
        {"pages.vo2", &tooManyPages, "SV_LoadVO2: Damaged file \"pages.vo2\": more pages than the world holds"},
    };
    Build(Ball(15, 2));
    TessAll();
    const std::vector<voxel_t> before = Snapshot();
    const int pages = WO_CountPagedPages();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(c.name, *c.bytes);
        ErrorLog::entries.clear();
        EXPECT_EQ(SV_LoadVO2(c.name, nullptr), 0);
        ASSERT_EQ(ErrorLog::entries.size(), 1u);
        EXPECT_EQ(ErrorLog::entries[0].level, ER_ERROR);
        EXPECT_EQ(ErrorLog::entries[0].text.rfind(c.message, 0), 0u) << ErrorLog::entries[0].text;
        EXPECT_EQ(WO_CountPagedPages(), pages);
    }
    EXPECT_TRUE(Snapshot() == before);

    ErrorLog::entries.clear();
    EXPECT_EQ(SV_LoadVO2("missing.vo2", nullptr), 0);
    ASSERT_EQ(ErrorLog::entries.size(), 1u);
    EXPECT_EQ(ErrorLog::entries[0].text, "SV_LoadVO2: Could not find file \"missing.vo2\"");
}

TEST_F(ServerWorld, BlocksReachingOutOfTheVoxelSpaceApplyOnlyTheirVoxelsInside) {
    std::vector<uint8_t> b = Header(WO_VO2_MAGIC, 2, 2, 8);
    Record(b, VO2_SOLID, -4, 60, 60);   // x -4..3: only 1..3 apply
    Record(b, VO2_PAGE, 122, 60, 60, 512);  // x 122..129: only 122..125 apply
    WriteFile("edge.vo2", b);
    ASSERT_EQ(SV_LoadVO2("edge.vo2", nullptr), 1);
    EXPECT_EQ(WO_GetVoxel(0, 60, 60), 0);
    EXPECT_EQ(WO_GetVoxel(1, 60, 60), wo_solidVoxel);
    EXPECT_EQ(WO_GetVoxel(3, 67, 67), wo_solidVoxel);
    EXPECT_EQ(WO_GetVoxel(4, 60, 60), 0);
    EXPECT_EQ(WO_GetVoxel(125, 60, 60), 0x01C8);
    EXPECT_EQ(WO_GetVoxel(126, 60, 60), 0);
}

// The loader reuses one scratch space: nothing of a file, loaded or refused after its
// blocks were laid out, may show through in the next one.
TEST_F(ServerWorld, NoVoxelOfAnEarlierFileShowsInTheNext) {
    std::vector<uint8_t> solid = Header(WO_VO2_MAGIC, 2, 1, 8);
    Record(solid, VO2_SOLID, 60, 60, 60);
    std::vector<uint8_t> tooManyPages = Header(WO_VO2_MAGIC, 2, 10001);
    for (int i = 0; i < 10001; i++)
        Record(tooManyPages, VO2_PAGE, 4 + 4 * (i % 30), 4 + 4 * (i / 30 % 30), 4 + 4 * (i / 900));
    std::vector<uint8_t> page = Header(WO_VO2_MAGIC, 2, 1);
    Record(page, VO2_PAGE, 21, 22, 23);
    WriteFile("solid.vo2", solid);
    WriteFile("pages.vo2", tooManyPages);
    WriteFile("page.vo2", page);

    ASSERT_EQ(SV_LoadVO2("page.vo2", nullptr), 1);
    const std::vector<voxel_t> alone = Snapshot();
    ASSERT_EQ(SV_LoadVO2("solid.vo2", nullptr), 1);
    EXPECT_EQ(WO_GetVoxel(64, 64, 64), wo_solidVoxel);
    EXPECT_EQ(SV_LoadVO2("pages.vo2", nullptr), 0);
    ASSERT_EQ(SV_LoadVO2("page.vo2", nullptr), 1);
    EXPECT_TRUE(Snapshot() == alone);
    EXPECT_EQ(WO_GetVoxel(21, 22, 23), 0x01C8);
    EXPECT_EQ(WO_CountPagedPages(), 8);  // the block's cell and the seven below whose windows reach it
}

// ---- undo and clearing ----

TEST_F(ServerWorld, UndoRestoresTheWorldFromBeforeTheCopy) {
    wo_useUndo.integer = 1;
    Build(Ball(20));
    TessAll();
    const std::vector<voxel_t> before = Snapshot();
    SV_PrepareUndoWorld();
    for (int x = 30; x < 60; x++)
        SV_SetVoxel(x, 64, 64, SV_VOXEL_SET, 4, x & 1 ? 0 : 255);
    Clean();
    EXPECT_FALSE(Snapshot() == before);
    SV_UndoWorld();
    Clean();
    EXPECT_TRUE(Snapshot() == before);

    wo_useUndo.integer = 0;
    SV_UndoWorld();
    EXPECT_TRUE(Printed("wo_useUndo must be 1 to use undo"));
}

// A ray up the world's y axis at (x, z), from y0 to y1 (world units).
trace_t RayUp(float x, float z, float y0, float y1) {
    const float a[3] = {x, y0, z}, b[3] = {x, y1, z};
    trace_t tr;
    WO_RayTrace(&tr, a, b);
    return tr;
}

// The cells below a restored page read its first layer: undo must give them their
// surface back even after cleaning turned them into plain cells.
TEST_F(ServerWorld, UndoGivesTheCellsBelowARestoredVoxelTheirSurfaceAgain) {
    wo_useUndo.integer = 1;
    SV_SetVoxel(16, 16, 16, SV_VOXEL_SET, 0, 255);
    Clean();
    SV_PrepareUndoWorld();
    SV_SetVoxel(16, 16, 16, SV_VOXEL_SET, 0, 0);
    Clean();
    EXPECT_EQ(WO_CellPage(WO_CellIndex(4, 3, 4)), nullptr) << "the emptied cell below went back to a plain cell";
    SV_UndoWorld();
    Clean();
    wo_useUndo.integer = 0;
    ASSERT_EQ(WO_GetVoxel(16, 16, 16), wo_solidVoxel);
    const page_t *below = WO_CellPage(WO_CellIndex(4, 3, 4));
    ASSERT_NE(below, nullptr);
    EXPECT_GT(below->numSurfs, 0);
    // From below, the ray meets the voxel's lower face, not its upper one from inside.
    const float x = WO_VoxelToWorld(16) + 0.1f, y = WO_VoxelToWorld(16);
    const trace_t tr = RayUp(x, x, y - 4, y + 4);
    ASSERT_LT(tr.fraction, 1);
    EXPECT_LT(tr.endpos[1], y);
    EXPECT_LT(tr.plane[1], 0);
}

// A clear narrows the range of matters tessellation walks; the voxels undo brings back
// must widen it again, or the server keeps no surface of them.
TEST_F(ServerWorld, UndoAfterAClearRestoresTheSurfaceOfEveryMatter) {
    wo_useUndo.integer = 1;
    Build(Ball(20, 3));
    TessAll();
    SV_PrepareUndoWorld();
    SV_ClearAllMatter();
    Clean();
    EXPECT_EQ(RayUp(0.3f, 0.2f, -40, 40).fraction, 1);
    SV_UndoWorld();
    Clean();
    wo_useUndo.integer = 0;
    const trace_t tr = RayUp(0.3f, 0.2f, -40, 40);
    ASSERT_LT(tr.fraction, 1);
    EXPECT_NEAR(tr.endpos[1], -20, 0.1);
}

TEST_F(ServerWorld, ClearingEmptiesEveryVoxelAndRenumbersEveryCell) {
    Build(Ball(20, 3));
    wo_pageGrid[WO_CellIndex(1, 1, 1)] = WO_CELL_SOLID;
    SV_ClearAllMatter();
    Clean();
    EXPECT_EQ(WO_CountPagedPages(), 0);
    EXPECT_EQ(WO_CountSolidPages(), 0);
    EXPECT_EQ(wm_max, 0);
    for (uint32_t seq : wo_seqGrid)
        ASSERT_GE(seq, 1u);
}

// ---- automatic dumps ----

TEST_F(ServerWorld, AutoDumpWritesTheNextFreeNumberAfterItsInterval) {
    Build(Ball(10));
    sv_autoDump.integer = 2;
    svs.lastAutoDump = 1000;
    SV_AutoDump(1000 + 119999);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(dir) / "autodump"));
    std::filesystem::create_directories(std::filesystem::path(dir) / "autodump");
    WriteFile("autodump/000.vo2", {1});
    SV_AutoDump(1000 + 120000);
    EXPECT_TRUE(Printed("Auto dump world..."));
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(dir) / "autodump/001.vo2"));

    for (int n = 0; n < 1000; n++) {
        char name[32];
        snprintf(name, sizeof name, "autodump/%.3d.vo2", n);
        WriteFile(name, {1});
    }
    g_printed.clear();
    SV_AutoDump(1000 + 240000);
    EXPECT_TRUE(Printed("SV_AutoDump: Could't find valid file name for autodump"));
    sv_autoDump.integer = 0;
}

// ---- deformation ----

// An axis-aligned cube of half size h around the origin, faces wound to face outwards.
struct Cube {
    std::vector<int32_t> indexes;
    std::vector<float> verts;
    soup_t soup{};
    explicit Cube(float h) {
        for (int i = 0; i < 8; i++) {
            const float v[SOUP_VERT_FLOATS] = {i & 1 ? h : -h, i & 2 ? h : -h, i & 4 ? h : -h, 0, 0, 0, 0};
            verts.insert(verts.end(), v, v + SOUP_VERT_FLOATS);
        }
        const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
        for (const auto &q : quads)
            for (int t : {q[0], q[1], q[2], q[0], q[2], q[3]})
                indexes.push_back(t);
        soup.convex = 1;
        soup.numIndexes = static_cast<int32_t>(indexes.size());
        soup.numVerts = 8;
        soup.indexes = indexes.data();
        soup.verts = verts.data();
    }
};

const float kIdentity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

// The convex test's value of a point for a cube of half size h at c.
int CubeInside(const float p[3], const float c[3], float h) {
    float outside = -1e9f;
    for (int i = 0; i < 3; i++)
        outside = std::max(outside, std::fabs(p[i] - c[i]) - h);
    const float m = 0.4f - outside;
    if (outside - 0.4f >= 0.01f || m <= 0)
        return 0;
    return m >= 1.6f ? 255 : static_cast<int>(m * 255 / 1.6f);
}

TEST_F(ServerWorld, CarvingAndFillingAShapeChangeExactlyTheVoxelsInsideIt) {
    const float centre[3] = {4.0f, -3.2f, 8.0f};
    const float h = 3.0f;
    Cube cube(h);
    Build(Ball(30));
    Clean();
    const std::vector<voxel_t> before = Snapshot();
    SV_SetupSoup(&cube.soup, 1, centre, kIdentity, 1.0f);
    EXPECT_EQ(SV_CheckSoupConnect(), 1);
    SV_SubSoup(-1, 1.0f);

    int changed = 0;
    for (int z = 0; z < 128; z++)
        for (int y = 0; y < 128; y++)
            for (int x = 0; x < 128; x++) {
                float p[3];
                SV_VoxelPoint(p, x, y, z);
                const voxel_t old = before[(z * 128 + y) * 128 + x];
                const int d = CubeInside(p, centre, h);
                const voxel_t expect = static_cast<voxel_t>((old & 0xFF00) | std::max(0, WO_Density(old) - d));
                ASSERT_EQ(WO_GetVoxel(x, y, z), expect) << x << " " << y << " " << z;
                if (expect != old) {
                    changed++;
                    page_t *page = WO_CellPage(WO_VoxelCell(x, y, z));
                    ASSERT_NE(page, nullptr);
                    EXPECT_TRUE(page->voxelDirty && page->surfaceDirty);
                }
            }
    EXPECT_GT(changed, 500);
    // No page far from the shape was touched.
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        if (p->voxelDirty)
            for (int i = 0; i < 3; i++) {
                EXPECT_GE(p->voxelMaxs[i], WO_WorldToVoxel(centre[i] - h - 2.8f));
                EXPECT_LE(p->voxelMins[i], WO_WorldToVoxel(centre[i] + h + 2.8f));
            }
    Clean();

    // Fill it back with matter 5: what was carved empty takes the new matter.
    SV_AddSoup(-1, 5);
    float p[3];
    const int cx = WO_WorldToVoxel(centre[0]), cy = WO_WorldToVoxel(centre[1]), cz = WO_WorldToVoxel(centre[2]);
    SV_VoxelPoint(p, cx, cy, cz);
    EXPECT_EQ(WO_GetVoxel(cx, cy, cz), 0x05FF);
    // Paint leaves densities alone.
    const std::vector<voxel_t> filled = Snapshot();
    SV_PaintSoup(-1, 7);
    const std::vector<voxel_t> painted = Snapshot();
    for (size_t i = 0; i < painted.size(); i++)
        ASSERT_EQ(WO_Density(painted[i]), WO_Density(filled[i]));
    EXPECT_EQ(WO_GetVoxel(cx, cy, cz), 0x07FF);
}

TEST_F(ServerWorld, TheGeneralInsideTestFillsAClosedMesh) {
    // Off the diagonal, so that the way out does not run through the cube's corner.
    const float origin[3] = {0.0f, 0.2f, 0.1f};
    Cube cube(2.0f);
    cube.soup.convex = 0;
    SV_SetupSoup(&cube.soup, 0, origin, kIdentity, 1.0f);
    EXPECT_EQ(SV_CheckSoupConnect(), 0) << "nothing solid in an empty world";
    SV_AddSoup(-1, 2);
    EXPECT_EQ(WO_GetVoxel(64, 64, 64), 0x02FF);         // 2 inside
    EXPECT_EQ(WO_GetVoxel(65, 64, 64), 0x02FF);         // 1.2 inside
    EXPECT_EQ(WO_Density(WO_GetVoxel(70, 64, 64)), 0);  // 2.8 out
    // A voxel exactly on the surface reads 128.
    Reset();
    Cube small(1.6f);
    SV_SetupSoup(&small.soup, 0, origin, kIdentity, 1.0f);
    SV_AddSoup(-1, 2);
    EXPECT_EQ(WO_GetVoxel(66, 64, 64), 0x0280);
}

TEST_F(ServerWorld, TheProfilesKeepTheCoreAndTheOuterLimit) {
    wo_worldSpace = 12.0f;
    wo_worldCore = 4.0f;
    Build(Ball(20));
    const float centre[3] = {0, 0, 0};
    SV_DamageMatter(centre, 10.0f, 255, 0);
    for (int z = 50; z <= 78; z++)
        for (int y = 50; y <= 78; y++)
            for (int x = 50; x <= 78; x++) {
                float p[3];
                SV_VoxelPoint(p, x, y, z);
                const float r = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
                if (r <= 4.0f) {
                    ASSERT_EQ(WO_Density(WO_GetVoxel(x, y, z)), 255);
                } else if (r <= 6.0f) {
                    ASSERT_GE(WO_Density(WO_GetVoxel(x, y, z)), 255 - static_cast<int>((r - 4.0f) * 127.5f));
                }
            }
    EXPECT_LT(WO_Density(WO_GetVoxel(64 + 8, 64, 64)), 255) << "6.4 units out was carved";

    // A shape carving through the centre leaves the core and its ramp.
    Build(Ball(20));
    Cube carver(8.0f);
    SV_SetupSoup(&carver.soup, 1, centre, kIdentity, 1.0f);
    SV_SubSoup(-1, 1.0f);
    for (int x = 64; x < 72; x++) {  // out to 5.6, where the carving took all
        float p[3];
        SV_VoxelPoint(p, x, 64, 64);
        EXPECT_EQ(WO_Density(WO_GetVoxel(x, 64, 64)), SV_CoreProfile(p)) << x;
    }
    EXPECT_EQ(WO_Density(WO_GetVoxel(69, 64, 64)), 255);  // 4.0: the core, bounds included

    // Filling a big cube never grows beyond the space radius and its ramp.
    Reset();
    Cube cube(20.0f);
    SV_SetupSoup(&cube.soup, 1, centre, kIdentity, 1.0f);
    SV_AddSoup(-1, 1);
    for (int z = 30; z < 98; z++)
        for (int y = 30; y < 98; y++)
            for (int x = 30; x < 98; x++) {
                float p[3];
                SV_VoxelPoint(p, x, y, z);
                ASSERT_LE(WO_Density(WO_GetVoxel(x, y, z)), SV_OuterProfile(p));
            }
    EXPECT_EQ(SV_OuterProfile(centre), 255);
    EXPECT_EQ(WO_GetVoxel(64, 64, 64), 0x01FF);
}

TEST_F(ServerWorld, HostileShapesAndSwitchedOffDeformationChangeNothing) {
    Build(Ball(20));
    TessAll();
    const std::vector<voxel_t> before = Snapshot();
    const float origin[3] = {0, 0, 0};
    Cube cube(3.0f);

    // Scale 0 and not-a-number scales leave the world alone.
    SV_SetupSoup(&cube.soup, 1, origin, kIdentity, 0.0f);
    SV_SubSoup(-1, 1.0f);
    SV_SetupSoup(&cube.soup, 1, origin, kIdentity, NAN);
    SV_SubSoup(-1, 1.0f);
    // Far and non-finite positions clamp to the world or to nothing.
    const float far[3] = {1e30f, -1e30f, NAN};
    SV_SetupSoup(&cube.soup, 1, far, kIdentity, 1.0f);
    SV_SubSoup(-1, 1e30f);
    SV_DamageMatter(far, NAN, INT32_MAX, 0);
    EXPECT_TRUE(Snapshot() == before);
    EXPECT_EQ(SV_CheckSoupConnect(), 0) << "a shape that is not a number is no shape";

    // Indexes outside the mesh and too many triangles are refused.
    ErrorLog::entries.clear();
    Cube bad(3.0f);
    bad.indexes[5] = 8;
    SV_SetupSoup(&bad.soup, 1, origin, kIdentity, 1.0f);
    bad.indexes[5] = -1;
    SV_SetupSoup(&bad.soup, 1, origin, kIdentity, 1.0f);
    soup_t huge = cube.soup;
    huge.numIndexes = 30003;
    SV_SetupSoup(&huge, 1, origin, kIdentity, 1.0f);
    SV_SetupSoup(nullptr, 1, origin, kIdentity, 1.0f);
    ASSERT_EQ(ErrorLog::entries.size(), 4u);
    EXPECT_EQ(ErrorLog::entries[2].text, "MA_ForgeMatter: Max surfaces is 10000");
    SV_SubSoup(-1, 1.0f);  // the far shape is still the prepared one
    EXPECT_TRUE(Snapshot() == before);

    // While switched off nothing changes and the connect check answers 1.
    sv_noDeform.integer = 1;
    SV_SetupSoup(&cube.soup, 1, origin, kIdentity, 1.0f);
    EXPECT_EQ(SV_CheckSoupConnect(), 1);
    SV_SubSoup(-1, 1.0f);
    SV_AddSoup(-1, 1);
    SV_BlurSoup(-1, 4, 0);
    SV_DamageMatter(origin, 5.0f, 255, 0);
    EXPECT_TRUE(Snapshot() == before);
    sv_noDeform.integer = 0;

    // Blur sizes that would leave no weight are kept sane.
    SV_SetupSoup(&cube.soup, 1, origin, kIdentity, 1.0f);
    SV_BlurSoup(-1, -100, 0);
    SV_BlurSoup(-1, INT32_MAX, 0);
    SV_BlurSoup(-1, 0, 0);
}

// Corners far outside the world but finite overflow the face planes into values
// that are no number; such a shape must not read as "inside" over the whole world.
TEST_F(ServerWorld, AShapeWithCornersFarOutsideTheWorldIsRefused) {
    Build(Ball(20));
    TessAll();
    const std::vector<voxel_t> before = Snapshot();
    const float origin[3] = {0, 0, 0};
    Cube inside(3.0f);
    SV_SetupSoup(&inside.soup, 1, origin, kIdentity, 1.0f);
    ASSERT_EQ(SV_CheckSoupConnect(), 1);

    for (const float corner : {1e19f, SOUP_MAX_COORD + 1.0f}) {
        ErrorLog::entries.clear();
        Cube far(corner);
        for (const uint8_t convex : {1, 0}) {
            SV_SetupSoup(&far.soup, convex, origin, kIdentity, 1.0f);
            EXPECT_EQ(SV_CheckSoupConnect(), 0) << corner;
            SV_AddSoup(-1, 3);
            SV_SubSoup(-1, 1.0f);
        }
        EXPECT_TRUE(Snapshot() == before) << corner;
        ASSERT_EQ(ErrorLog::entries.size(), 2u) << corner;
        EXPECT_EQ(ErrorLog::entries[0].text, "SV_SetupSoup: Shape placed outside the world");
    }
    // A small shape scaled up past the bound is as far.
    SV_SetupSoup(&inside.soup, 1, origin, kIdentity, SOUP_MAX_COORD);
    EXPECT_EQ(SV_CheckSoupConnect(), 0);
}

TEST_F(ServerWorld, ABlurWithoutSizeKeepsTheLastSizesCentreWeight) {
    const auto world = [](int x, int y, int z) -> voxel_t {
        const bool near = std::abs(x - 64) < 8 && std::abs(y - 64) < 8 && std::abs(z - 64) < 8;
        return near ? static_cast<voxel_t>((x * 7 + y * 3 + z) % 5 * 60) : 0;
    };
    const float origin[3] = {0, 0, 0};
    Cube cube(2.0f);
    std::vector<voxel_t> results[3];
    const int sizes[3][2] = {{4, 0}, {4, 4}, {0, 0}};  // last: the weight of 40 left by the first
    for (int i = 0; i < 3; i++) {
        Build(world);
        SV_SetupSoup(&cube.soup, 1, origin, kIdentity, 1.0f);
        SV_BlurSoup(-1, sizes[i][0], 0);
        Build(world);
        SV_BlurSoup(-1, sizes[i][1], 0);
        results[i] = Snapshot();
    }
    EXPECT_TRUE(results[0] == results[1]);
    EXPECT_TRUE(results[2] == results[1]);
    Build(world);
    SV_BlurSoup(-1, 1, 0);
    EXPECT_FALSE(Snapshot() == results[0]) << "another size gives another result";
}

TEST_F(ServerWorld, AMatterFilterOutsideTheWorldsMattersChangesNothing) {
    Build(Ball(20, 2));
    wm_min = 0;
    wm_max = 2;
    const std::vector<voxel_t> before = Snapshot();
    const float origin[3] = {0, 0, 0};
    Cube cube(3.0f);
    SV_SetupSoup(&cube.soup, 1, origin, kIdentity, 1.0f);
    SV_SubSoup(9, 1.0f);
    SV_DamageMatter(origin, 5.0f, 255, -1);
    EXPECT_TRUE(Snapshot() == before);
    SV_SubSoup(1, 1.0f);  // inside the range, but no solid voxel of matter 1
    EXPECT_TRUE(Snapshot() == before);
    SV_SubSoup(2, 1.0f);
    EXPECT_EQ(WO_GetVoxel(64, 64, 64), 0x0200);
}

// ---- trap dispatch ----

TEST_F(ServerWorld, TheDeformationTrapsReachTheServerWorld) {
    Build(Ball(20));
    wo_useUndo.integer = 1;
    SV_UndoSnapshot();
    const float origin[3] = {0, 0, 0};
    SV_DamageMatter(origin, 6.0f, 255, 0);
    EXPECT_LT(WO_Density(WO_GetVoxel(66, 64, 64)), 255);
    SV_UndoWorld();
    EXPECT_EQ(WO_GetVoxel(66, 64, 64), wo_solidVoxel) << "the blur after the damage took no copy of its own";
    wo_useUndo.integer = 0;
}

// ---- shaping commands ----

TEST_F(ServerWorld, CreateBallClampsItsRadius) {
    wo_worldSpace = 20.0f;
    Run("createBall 0.2");
    // Radius 1: the ramp runs from -0.5 to 2.5.
    EXPECT_EQ(WO_GetVoxel(64, 64, 64), 212);
    EXPECT_EQ(WO_GetVoxel(67, 64, 64), 8);   // 2.4
    EXPECT_EQ(WO_GetVoxel(68, 64, 64), 0);   // 3.2
    Run("createBall 1000");
    EXPECT_EQ(WO_GetVoxel(64 + 23, 64, 64), wo_solidVoxel);  // 18.4
    EXPECT_EQ(WO_Density(WO_GetVoxel(64 + 27, 64, 64)), 0);  // 21.6
    // A ball as big as the store allows only layer by layer.
    wo_worldSpace = 42.0f;
    ErrorLog::entries.clear();
    Run("createBall 42");
    EXPECT_EQ(ErrorLog::entries.size(), 0u);
    EXPECT_EQ(WO_GetVoxel(64 + 50, 64, 64), wo_solidVoxel);  // 40.0
    EXPECT_EQ(WO_GetVoxel(64, 64 - 50, 64), wo_solidVoxel);
    EXPECT_EQ(WO_Density(WO_GetVoxel(64, 64, 64 + 56)), 0);  // 44.8
    Run("createBall 42");  // clearing the big ball first
    EXPECT_EQ(ErrorLog::entries.size(), 0u);
    EXPECT_EQ(WO_GetVoxel(64 + 50, 64, 64), wo_solidVoxel);
    wo_worldSpace = 0;
    Run("createBall");
    EXPECT_EQ(WO_GetVoxel(64 + 10, 64, 64), wo_solidVoxel);  // 8.0
    EXPECT_EQ(WO_Density(WO_GetVoxel(64 + 15, 64, 64)), 0); // 12.0
    Clean();
    EXPECT_GT(WO_CountPagedPages(), 0);
}

TEST_F(ServerWorld, CreatePlaneClampsItsHeightAndHonoursTheSpaceBox) {
    Run("createPlane 50");
    EXPECT_EQ(WO_GetVoxel(64, 64 + 25, 64), wo_solidVoxel);  // 20.0
    EXPECT_EQ(WO_GetVoxel(64, 64 + 28, 64), 0);              // 22.4
    EXPECT_EQ(WO_GetVoxel(64, 64, 64), 0);
    wo_spaceBox[0] = wo_spaceBox[1] = wo_spaceBox[2] = 8.0f;
    Run("createPlane");
    EXPECT_EQ(WO_GetVoxel(64 + 10, 64, 64), wo_solidVoxel);  // 8.0: bounds included
    EXPECT_EQ(WO_GetVoxel(64 + 11, 64, 64), 0);
}

TEST_F(ServerWorld, SwapMatterAndPaintCore) {
    Build(Ball(10, 0));
    Run("swapMatter 3");
    EXPECT_TRUE(Printed("USAGE: swapMatter <from> <to>"));
    SV_SetVoxel(64, 64 + 20, 64, SV_VOXEL_SET, 0, 0);  // an empty voxel of matter 0
    Run("swapMatter -4 300");
    EXPECT_EQ(WO_GetVoxel(64, 64, 64), 0xFFFF);
    EXPECT_EQ(WO_GetVoxel(64, 64 + 20, 64), 0) << "empty voxels keep their matter";

    wo_worldCore = 4.0f;
    Run("paintCore 6");
    EXPECT_EQ(WO_GetVoxel(64, 64, 64), 0x06FF);
    EXPECT_EQ(WO_GetVoxel(64 + 6, 64, 64), 0x06FF);  // 4.8 <= 5.38564
    EXPECT_EQ(WO_GetVoxel(64 + 7, 64, 64), 0xFFFF);  // 5.6
    Reset();
    Run("paintCore 6");
    EXPECT_EQ(WO_GetVoxel(64, 64, 64), 0x0600) << "empty voxels take the matter";
    // A core reaching every cell paints without filling the page store.
    wo_worldCore = 100.0f;
    ErrorLog::entries.clear();
    Run("paintCore 6");
    EXPECT_EQ(ErrorLog::entries.size(), 0u);
}

TEST_F(ServerWorld, BlurWorldSmoothsThePagedRegion) {
    Build([](int x, int y, int z) -> voxel_t { return (x / 4 + y / 4 + z / 4) % 2 && y < 70 && y > 58 ? 0x00FF : 0; });
    TessAll();
    Run("blurWorld");
    EXPECT_TRUE(Printed("Blured world in "));
    const voxel_t v = WO_GetVoxel(64, 64, 64);
    EXPECT_GT(WO_Density(v), 0);
    EXPECT_LT(WO_Density(v), 255);
}

}  // namespace
