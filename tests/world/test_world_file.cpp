// The world file writer, materials, altitudes, undo and the world console.
#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/base.h"
#include "base/cmd.h"
#include "base/files.h"
#include "common/com_vector.h"
#include "tests/base/small_disk.h"
#include "tests/world/world_build.h"
#include "tests/world/world_console.h"
#include "world/wo_local.h"

namespace {

using namespace worldbuild;

// ---- an independent reader of the world file ----

struct Vo2 {
    bool ok = false;
    std::string error;
    uint32_t count = 0;
    std::vector<voxel_t> voxels;  // 128^3, x fastest; solid cells read 0x00FF
};

uint32_t U32(const std::vector<uint8_t> &b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

Vo2 ReadVo2(const std::vector<uint8_t> &b) {
    Vo2 w;
    w.voxels.assign(128 * 128 * 128, 0);
    if (b.size() < 24)
        return w.error = "short header", w;
    if (U32(b, 0) != 0x671A9901 || U32(b, 4) != 2 || U32(b, 12) != 4 || U32(b, 16) != 4 || U32(b, 20) != 4)
        return w.error = "bad header", w;
    w.count = U32(b, 8);
    size_t at = 24;
    long previous = -1;
    for (uint32_t r = 0; r < w.count; r++) {
        if (at + 16 > b.size())
            return w.error = "short record", w;
        const uint32_t type = U32(b, at), x = U32(b, at + 4), y = U32(b, at + 8), z = U32(b, at + 12);
        at += 16;
        if (type > 1 || x % 4 || y % 4 || z % 4 || x > 124 || y > 124 || z > 124)
            return w.error = "bad record", w;
        const long order = (static_cast<long>(z) * 128 + y) * 128 + x;
        if (order <= previous)
            return w.error = "records out of z, y, x order", w;
        previous = order;
        for (int i = 0; i < 64; i++) {
            voxel_t v = 0x00FF;
            if (type == 0) {
                if (at + 2 > b.size())
                    return w.error = "short voxels", w;
                v = static_cast<voxel_t>(b[at] | b[at + 1] << 8);
                at += 2;
            }
            w.voxels[((z + (i >> 4)) * 128 + y + ((i >> 2) & 3)) * 128 + x + (i & 3)] = v;
        }
    }
    if (at != b.size())
        return w.error = "trailing bytes", w;
    w.ok = true;
    return w;
}

std::vector<uint8_t> WriteToMemory() {
    FILE *f = tmpfile();
    EXPECT_NE(f, nullptr);
    EXPECT_TRUE(WO_WriteVO2(f));
    std::vector<uint8_t> bytes;
    rewind(f);
    for (int c; (c = fgetc(f)) != EOF;)
        bytes.push_back(static_cast<uint8_t>(c));
    fclose(f);
    return bytes;
}

// ---- world file ----

TEST(WorldFile, BallWorldReadsBackVoxelForVoxel) {
    // A ball of matter 3 with a solid core and a few voxels of other matters.
    Build([](int x, int y, int z) {
        if (x == 70 && y == 64)
            return static_cast<voxel_t>(0x07D0);
        const voxel_t v = BallVoxel(x, y, z, 30, 3);
        return WO_Density(v) == 255 ? wo_solidVoxel : v;
    });
    ASSERT_GT(WO_CountSolidPages(), 0);
    ASSERT_GT(WO_CountPagedPages(), 0);
    const Vo2 w = ReadVo2(WriteToMemory());
    ASSERT_TRUE(w.ok) << w.error;
    EXPECT_EQ(w.count, static_cast<uint32_t>(WO_CountSolidPages() + WO_CountPagedPages()));
    int mismatches = 0;
    for (int z = 1; z <= 125; z++)
        for (int y = 1; y <= 125; y++)
            for (int x = 1; x <= 125; x++)
                mismatches += w.voxels[(z * 128 + y) * 128 + x] != WO_GetVoxel(x, y, z);
    EXPECT_EQ(mismatches, 0);
}

TEST(WorldFile, EmptyAndSolidWorldsHaveTheirExactSizes) {
    Reset();
    std::vector<uint8_t> bytes = WriteToMemory();
    ASSERT_EQ(bytes.size(), 24u);
    const uint8_t header[24] = {0x01, 0x99, 0x1A, 0x67, 2, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0};
    EXPECT_EQ(memcmp(bytes.data(), header, 24), 0);

    for (int32_t &cell : wo_pageGrid)
        cell = WO_CELL_SOLID;
    bytes = WriteToMemory();
    EXPECT_EQ(bytes.size(), 24u + 32768u * 16u);
    const Vo2 w = ReadVo2(bytes);
    ASSERT_TRUE(w.ok) << w.error;
    EXPECT_EQ(w.count, 32768u);
    EXPECT_EQ(U32(bytes, 24 + 16 * 32767 + 4), 124u);
    Reset();
}

TEST(WorldFile, PageInTheCornerCellIsWrittenByTheReadingRules) {
    Reset();
    page_t *p = WO_SpawnPage(0, 0, 0);
    for (voxel_t &v : p->voxels)
        v = 0x03C8;
    const Vo2 w = ReadVo2(WriteToMemory());
    ASSERT_TRUE(w.ok) << w.error;
    for (int i = 0; i < 64; i++) {
        const int x = i & 3, y = (i >> 2) & 3, z = i >> 4;
        EXPECT_EQ(w.voxels[(z * 128 + y) * 128 + x], x && y && z ? 0x03C8 : 0) << i;
    }
}

TEST(WorldFile, AFullDiskIsAFailure) {
    Build(Ball(20));
    FILE *f = fopen("/dev/full", "wb");
    if (!f)
        GTEST_SKIP() << "no /dev/full";
    EXPECT_FALSE(WO_WriteVO2(f));
    fclose(f);
}

// ---- the console ----


TEST_F(WorldConsole, VariablesAndCommandsAreRegisteredWithTheirDefaults) {
    const struct {
        const char *name, *value;
        uint32_t flags;
    } vars[] = {
        {"wo_printeye", "0", 0x804},       {"wo_printtrace", "0", 0x804},   {"wo_printRayTrace", "0", 0x804},
        {"wo_debug", "1000", 0x804},       {"wo_skippvs", "0", 0x804},      {"wo_skipovs", "0", 0x804},
        {"wo_skipfvs", "0", 0x804},        {"wo_debugtess", "0", 0x804},    {"wo_skipShadowOptimization", "0", 0x804},
        {"wo_traceAll", "0", 0x800},       {"wo_skipPvsOptimize", "0", 0x800},
        {"wo_uploadContinusely", "0", 0x800}, {"wo_printUpload", "0", 0x800}, {"wo_useUndo", "0", 0x400},
    };
    for (const auto &v : vars) {
        const cmdVar_t *var = Cmd_GetCVar(v.name);
        ASSERT_NE(var, nullptr) << v.name;
        EXPECT_STREQ(var->string, v.value) << v.name;
        EXPECT_EQ(var->flags, v.flags) << v.name;
    }
    for (const char *cmd : {"wo_stats", "wo_retess", "wo_dump", "wo_hashstats", "wo_upload", "wo_check", "wo_undo"}) {
        char line[CMD_MAX_COMPLETE + 8] = {};
        snprintf(line, sizeof line, "%s", cmd);
        EXPECT_TRUE(Cmd_CompleteCmd(line)) << cmd;
    }
}

// Extruded shadow-edge triangles over every page.
int ExtrudedShadowTriangles() {
    int n = 0;
    for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        for (int k = 0; k < p->numShadowIndexes; k += 3)
            n += p->shadowIndexes[k] == WO_SHADOW_VERTEX;
    return n;
}

// A dedicated server runs no client, and the console then calls no callback of a
// client-only variable: the world must still obey every switch set at its console.
TEST_F(WorldConsole, SwitchesSetAtTheConsoleTakeEffectWithoutAClient) {
    qbase.clientRunning = 0;
    // A block of matter off the origin: its faces towards the origin cast shadows.
    Build([](int x, int y, int z) {
        return x >= 80 && x < 90 && y >= 60 && y < 70 && z >= 60 && z < 70 ? wo_solidVoxel : wo_emptyVoxel;
    });
    TessAll();
    const int openEdges = ExtrudedShadowTriangles();
    Run("wo_skipShadowOptimization 1");
    TessAll();
    EXPECT_GT(ExtrudedShadowTriangles(), openEdges) << "every edge extruded";
    Run("wo_skipShadowOptimization 0");
    TessAll();
    EXPECT_EQ(ExtrudedShadowTriangles(), openEdges);

    // A vertex far out makes the pool debug speak; only wo_debugtess runs it.
    const poolVertex_t far = {{400, 0, 0}, {}, {}, {}, {}, 0, -1};
    WO_AddVertexToPool(&far, 1, 1, 1, 0, 0, -1);
    WO_TessPageStageFinal();
    EXPECT_FALSE(Printed("WO_PoolDebug: max_d"));
    Run("wo_debugtess 1");
    WO_TessPageStageFinal();
    EXPECT_TRUE(Printed("WO_PoolDebug: max_d 400.00 @ "));

    // With a renderer: the round-robin chunk goes out, and its timing is printed.
    qbase.rendererRunning = 1;
    memset(wo_poolChunks, 0, sizeof(wo_poolChunks));
    WO_UploadPool();
    EXPECT_FALSE(Printed("Uploaded"));
    Run("wo_uploadContinusely 1; wo_printUpload 1");
    WO_UploadPool();
    qbase.rendererRunning = 0;
    EXPECT_TRUE(Printed("Uploaded 1 chunks in "));
    Run("wo_debugtess 0; wo_uploadContinusely 0; wo_printUpload 0");
}

TEST_F(WorldConsole, DumpAddsTheExtensionAndWritesTheFile) {
    Build(Ball(10));
    std::filesystem::create_directories(std::filesystem::path(dir) / "maps");
    Run("wo_dump maps/test");
    EXPECT_TRUE(Exists("maps/test.vo2"));
    EXPECT_TRUE(Printed("WO_DumpVO2: Dumped \"maps/test.vo2\" in msec "));
    Run("wo_dump a.b");
    EXPECT_TRUE(Exists("a.b"));
    EXPECT_FALSE(Exists("a.b.vo2"));

    g_printed.clear();
    Run("wo_dump");
    Run("wo_dump x y");
    EXPECT_EQ(g_printed, std::vector<std::string>(2, "USAGE: wo_dump <filename>"));
    EXPECT_FALSE(Exists("x.vo2"));

    // A directory cannot be opened for writing.
    std::filesystem::create_directories(std::filesystem::path(dir) / "taken.vo2");
    Run("wo_dump taken");
    EXPECT_TRUE(log->Has(ER_ERROR, "WO_DumpVO2: Could not open file \"taken.vo2\""));
    EXPECT_FALSE(WO_DumpVO2("maps"));
}

// A disk that fills up half-way leaves an error and no file, never a short one.
TEST_F(WorldConsole, DumpThatCannotBeWrittenWholeLeavesNoFile) {
    Build(Ball(20));
    bool ok;
    {
        SmallDisk disk(4096);
        ASSERT_TRUE(disk.ok());
        ok = WO_DumpVO2("full.vo2");
    }
    EXPECT_FALSE(ok);
    EXPECT_TRUE(log->Has(ER_ERROR, "WO_DumpVO2: Could not write file \"full.vo2\""));
    EXPECT_FALSE(Exists("full.vo2"));
    EXPECT_FALSE(Printed("Dumped"));
}

TEST_F(WorldConsole, UndoRestoresTheCopyOfEveryLivePageOnlyWhenEnabled) {
    Build(Ball(10));
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next) {
        for (int i = 0; i < 64; i++)
            p->undoVoxels[i] = static_cast<voxel_t>(p->voxels[i] ^ 0x0100);
        p->voxelDirty = p->surfaceDirty = 0;
    }
    WO_Undo_f();
    EXPECT_TRUE(Printed("wo_useUndo must be 1 to use undo"));
    const page_t *first = wo_pageDummy.next;
    EXPECT_EQ(first->voxels[5] ^ 0x0100, first->undoVoxels[5]);
    EXPECT_FALSE(first->voxelDirty);

    Run("wo_useUndo 1");
    Run("wo_undo");
    for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next) {
        ASSERT_EQ(memcmp(p->voxels, p->undoVoxels, sizeof(p->voxels)), 0);
        ASSERT_TRUE(p->voxelDirty && p->surfaceDirty);
    }
    EXPECT_TRUE(wo_recalcChecksum);
}

TEST_F(WorldConsole, RetessRebuildsEveryPageAndClearsTheDirtyMarks) {
    Build(Ball(12));
    TessAll();
    std::vector<int> before;
    for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        before.push_back(p->numSurfs);
    const int vertexes = WO_CountVertexesInPool();
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        WO_MakePageSurfaceDirty(p);
    Run("wo_retess");
    std::vector<int> after;
    for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next) {
        after.push_back(p->numSurfs);
        EXPECT_FALSE(p->surfaceDirty || p->normalDirty);
    }
    EXPECT_EQ(after, before);
    EXPECT_EQ(WO_CountVertexesInPool(), vertexes);
    EXPECT_EQ(wo_dirtySurfaceOrNormalCount, 0);
    EXPECT_TRUE(Printed("Retesselation in "));
}

TEST_F(WorldConsole, StatsCountTheCells) {
    Build(Ball(20));
    TessAll();
    Run("wo_stats");
    ASSERT_EQ(g_printed.size(), 16u);
    char line[256];
    snprintf(line, sizeof line, "    \xA4" "08%8d\xA4" "00 paged pages of \xA4" "08%d\xA4" "00 (", WO_CountPagedPages(),
             32768);
    EXPECT_EQ(g_printed[2].rfind(line, 0), 0u) << g_printed[2];
    snprintf(line, sizeof line, "    \xA4" "08%8d\xA4" "00 vertexes in pool", WO_CountVertexesInPool());
    EXPECT_EQ(g_printed[5], line);
    EXPECT_EQ(g_printed[15], "    \xA4" "08       0\xA4" "00 Max Sides (800)");
}

TEST_F(WorldConsole, PrintPageNamesTheEyesCell) {
    Build(Ball(20));
    TessAll();
    const vec3_t outside = {0, 60, 0}, solid = {0, 0, 0}, empty = {0, 40, 0}, paged = {0, 19.5f, 0};
    WO_PrintPage(solid);
    EXPECT_TRUE(g_printed.empty()) << "silent while wo_printeye is 0";
    Run("wo_printeye 1");
    for (const float *eye : {outside, solid, empty, paged})
        WO_PrintPage(eye);
    ASSERT_EQ(g_printed.size(), 4u);
    EXPECT_EQ(g_printed[0], "Eye outside world");
    EXPECT_EQ(g_printed[1], "16912 wm:  0 ws:255 P(16 16 16) SOLID");
    EXPECT_EQ(g_printed[2], "(0.0 40.0 0.0) wm:  0 ws:  0 P(16 28 16) EMPTY");
    EXPECT_EQ(g_printed[3].rfind("(0.0 19.5 0.0) wm:0 ws:", 0), 0u) << g_printed[3];
    EXPECT_NE(g_printed[3].find(" 16-22-16 PAGED surfs: "), std::string::npos) << g_printed[3];
}

TEST_F(WorldConsole, TraceCountersPrintEveryTenthCall) {
    Run("wo_printtrace 1");
    Build(Ball(10));
    TessAll();
    const vec3_t a = {0, 30, 0}, b = {0, -30, 0};
    trace_t tr;
    for (int n = 0; n < 10; n++) {
        WO_RayTrace(&tr, a, b);
        WO_RayTrace(&tr, a, a);
        WO_PrintTrace();
    }
    ASSERT_EQ(g_printed.size(), 1u);
    EXPECT_EQ(g_printed[0].rfind("RayTrace:   1 VolumeTrace:   0 PointClips:   1 VoxelChecks: ", 0), 0u)
        << g_printed[0];
}

// ---- materials and altitude ----

TEST(WorldAltitude, ValuesAreClampedAndAMissingBoxIsZero) {
    const float box[3] = {1, 2, 3};
    const struct {
        float core, space;
        const float *box;
        float wantCore, wantSpace, wantBoxY;
    } cases[] = {
        {1, 200000, nullptr, 2, 99999, 0},
        {50, 500, box, 50, 500, 2},
        {500, 1, box, 100, 4, 2},
        {NAN, NAN, nullptr, 2, 4, 0},
    };
    for (const auto &c : cases) {
        WO_SetWorldAltitude(c.core, c.space, c.box, 1);
        EXPECT_EQ(wo_worldCore, c.wantCore) << c.core;
        EXPECT_EQ(wo_worldSpace, c.wantSpace) << c.space;
        EXPECT_EQ(wo_spaceBox[1], c.wantBoxY) << c.core;
        EXPECT_EQ(wo_lg, 1);
    }
    WO_SetWorldAltitude(4, 80, nullptr, 0);
}

TEST(WorldMaterials, UploadCopiesAll256PackedRecords) {
    std::vector<uint8_t> records(256 * 36);
    for (size_t i = 0; i < records.size(); i++)
        records[i] = static_cast<uint8_t>(i * 7);
    WO_UploadWorldMaterials(records.data());
    EXPECT_EQ(memcmp(wo_wms, records.data(), records.size()), 0);
    worldMatter_t last;
    memcpy(&last, records.data() + 255 * 36, 36);
    EXPECT_EQ(memcmp(&wo_wms[255].baseColor, &last.baseColor, 12), 0);
    DefaultMatters();
}

}  // namespace
