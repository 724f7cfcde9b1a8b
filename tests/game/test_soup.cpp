// Deformation shapes: loading SOUP files, refusing bad ones, convexity, drawing.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "game/g_main.h"
#include "game/g_soup.h"
#include "game/g_surface.h"
#include "tests/game/fake_engine.h"

namespace {

struct SoupTest : testing::Test {
    void SetUp() override { fake::Install(); }
    void TearDown() override {
        G_FreeAllSOUPS();
        fake::Uninstall();
    }
    // Every error raised so far, as "level text" lines.
    static std::string Errors() {
        std::string all;
        for (const auto &e : fake::errors) all += std::to_string(e.level) + " " + e.text + "\n";
        return all;
    }
};

// A cube of side 1 around the origin, every triangle wound outwards.
void UnitCube(std::vector<float> &positions, std::vector<int32_t> &indexes) {
    positions.clear();
    for (int i = 0; i < 8; i++) {
        positions.push_back((i & 4) ? 0.5f : -0.5f);
        positions.push_back((i & 2) ? 0.5f : -0.5f);
        positions.push_back((i & 1) ? 0.5f : -0.5f);
    }
    // Each face as four corners counter-clockwise seen from outside.
    const int faces[6][4] = {{4, 6, 7, 5}, {0, 1, 3, 2}, {2, 3, 7, 6}, {0, 4, 5, 1}, {1, 5, 7, 3}, {0, 2, 6, 4}};
    indexes.clear();
    for (const auto &f : faces) {
        for (int k : {f[0], f[1], f[2], f[0], f[2], f[3]}) indexes.push_back(k);
    }
}

soup_t *Load(const std::string &bytes, float scale = 1.0f) {
    fake::files["shape.soup"] = bytes;
    return G_LoadSOUP("shape.soup", scale);
}

TEST_F(SoupTest, CubeLoadsConvexWithScaledPositionsAndIndexes) {
    std::vector<float> positions;
    std::vector<int32_t> indexes;
    UnitCube(positions, indexes);
    soup_t *soup = Load(fake::SoupBytes(positions, indexes), 2.0f);
    ASSERT_NE(soup, nullptr) << Errors();
    EXPECT_EQ(soup, &g_soups[0]);
    EXPECT_EQ(g_numSoups, 1);
    EXPECT_EQ(soup->convex, 1);
    EXPECT_EQ(soup->numVerts, 8);
    EXPECT_EQ(soup->numIndexes, 36);
    for (int v = 0; v < 8; v++) {
        for (int k = 0; k < 3; k++) EXPECT_EQ(soup->verts[7 * v + k], 2.0f * positions[3 * v + k]);
    }
    EXPECT_EQ(std::vector<int32_t>(soup->indexes, soup->indexes + 36), indexes);
    EXPECT_TRUE(fake::errors.empty()) << Errors();
}

TEST_F(SoupTest, ACornerPushedInwardMakesTheCubeConcave) {
    std::vector<float> positions;
    std::vector<int32_t> indexes;
    UnitCube(positions, indexes);
    for (int k = 0; k < 3; k++) positions[3 * 7 + k] -= 0.01f;  // corner (+,+,+) towards the centre
    soup_t *soup = Load(fake::SoupBytes(positions, indexes));
    ASSERT_NE(soup, nullptr) << Errors();
    EXPECT_EQ(soup->convex, 0);
}

TEST_F(SoupTest, TextureCoordinatesComeFromTheDirection) {
    // +x: s = atan2(0, 1) / 2pi + 0.5, t = acos(0) / 2pi + 0.5.  The scale does not change them.
    soup_t *soup = Load(fake::SoupBytes({3, 0, 0, 0, 0, 1, 0, 0, -1}, {}), 5.0f);
    ASSERT_NE(soup, nullptr) << Errors();
    EXPECT_FLOAT_EQ(soup->verts[4], 0.5f);
    EXPECT_FLOAT_EQ(soup->verts[5], 0.75f);
    EXPECT_FLOAT_EQ(soup->verts[7 + 5], 0.5f);   // +z: acos(1) = 0
    EXPECT_FLOAT_EQ(soup->verts[14 + 5], 1.0f);  // -z: acos(-1) = pi
    EXPECT_EQ(soup->convex, 1) << "no triangles: nothing to be in front of";
}

TEST_F(SoupTest, ExactlyMaxVertsLoads) {
    std::vector<float> positions(3 * SOUP_MAX_VERTS, 0.0f);
    EXPECT_NE(Load(fake::SoupBytes(positions, {0, 1, 1023})), nullptr) << Errors();
}

TEST_F(SoupTest, BadFilesAreRefusedWithTheReasonAndTakeNoSlot) {
    std::vector<float> cubePositions;
    std::vector<int32_t> cubeIndexes;
    UnitCube(cubePositions, cubeIndexes);
    const std::string cube = fake::SoupBytes(cubePositions, cubeIndexes);
    auto patched = [&cube](size_t offset, uint32_t word) {
        std::string b = cube;
        fake::PatchWord(b, offset, word);
        return b;
    };
    struct {
        const char *what;
        std::string bytes;
        const char *reason;
    } const cases[] = {
        {"empty", "", "File is too short"},
        {"header cut", cube.substr(0, 15), "File is too short"},
        {"magic", patched(0, 0xABCD9877), "Bad magic"},
        {"version", patched(4, 2), "Bad version number (2 should be 1)"},
        {"1025 vertices", fake::SoupBytes(std::vector<float>(3 * 1025, 0.0f), {}), "Max verts is 1024"},
        {"negative vertices", patched(8, 0xFFFFFFFF), "Bad vertex count -1"},
        {"huge vertices", patched(8, 0x7FFFFFFF), "Max verts is 1024"},
        {"negative indexes", patched(12, 0x80000000), "Bad index count -2147483648"},
        {"indexes not in threes", patched(12, 35), "Bad index count 35"},
        {"too many triangles", patched(12, 3 * 2049), "Max triangles is 2048"},
        {"indexes cut", cube.substr(0, cube.size() - 1), "File is too short"},
        {"vertexes cut", cube.substr(0, 16 + 12 * 8 - 4), "File is too short"},
        {"index past the vertices", patched(16 + 12 * 8 + 4 * 35, 8), "Bad vertex index 8"},
        {"negative index", patched(16 + 12 * 8, 0xFFFFFFFF), "Bad vertex index -1"},
        {"position overflows", fake::SoupBytes({0, 0, 1e30f}, {}), "Bad vertex 0"},
        {"position far outside the world", fake::SoupBytes({0, 0, 0, 1e19f, 1e19f, 0}, {}), "Bad vertex 1"},
        {"position not a number", patched(16 + 12 * 3, 0x7FC00000), "Bad vertex 3"},
    };
    const int blocks = Com_GetMemBlocks();
    for (const auto &c : cases) {
        fake::errors.clear();
        fake::prints.clear();
        EXPECT_EQ(Load(c.bytes, 1.0f), nullptr) << c.what;
        EXPECT_EQ(g_numSoups, 0) << c.what;
        ASSERT_EQ(fake::prints.size(), 1u) << c.what;
        EXPECT_EQ(fake::prints[0], std::string("G_LoadSOUP \"shape.soup\": ") + c.reason) << c.what;
        ASSERT_EQ(fake::errors.size(), 1u) << c.what;
        EXPECT_EQ(fake::errors[0].level, ER_FATAL) << c.what;
        EXPECT_EQ(fake::errors[0].text, "G_LoadSOUP: Could not open \"shape.soup\"") << c.what;
    }
    EXPECT_EQ(Com_GetMemBlocks(), blocks) << "a refused file leaves no block behind";
}

// The bound applies to the position times the scale: a shape too big for its
// scale is refused even though every number in its file is small.
TEST_F(SoupTest, ScaledPositionsBeyondTheWorldBoundAreRefused) {
    const std::string edge = fake::SoupBytes({SOUP_MAX_COORD, -SOUP_MAX_COORD, 0}, {});
    EXPECT_NE(Load(edge, 1.0f), nullptr);
    EXPECT_EQ(Load(edge, 1.001f), nullptr);
    EXPECT_EQ(Load(fake::SoupBytes({1000, 0, 0}, {}), 5.0f), nullptr);
    EXPECT_EQ(g_numSoups, 1);
}

TEST_F(SoupTest, MissingFileIsADropErrorNamingIt) {
    EXPECT_EQ(G_LoadSOUP("game/c_soups/none.soup", 1.0f), nullptr);
    ASSERT_EQ(fake::errors.size(), 1u);
    EXPECT_EQ(fake::errors[0].level, ER_DROP);
    EXPECT_EQ(fake::errors[0].text, "G_LoadSOUP: Could not open file \"game/c_soups/none.soup\"");
    EXPECT_EQ(g_numSoups, 0);
}

TEST_F(SoupTest, AFullTableRefusesAndFreeingStartsAgainAtSlotZero) {
    fake::files["tiny.soup"] = fake::SoupBytes({0, 0, 1}, {0, 0, 0});
    for (int i = 0; i < MAX_SOUPS; i++) ASSERT_EQ(G_LoadSOUP("tiny.soup", 1.0f), &g_soups[i]);
    EXPECT_EQ(G_LoadSOUP("tiny.soup", 1.0f), nullptr);
    ASSERT_EQ(fake::errors.size(), 1u);
    EXPECT_EQ(fake::errors[0].level, ER_FATAL);
    EXPECT_EQ(fake::errors[0].text, "G_LoadSOUP: MAX_SOUPS");
    EXPECT_EQ(g_numSoups, MAX_SOUPS);

    G_FreeAllSOUPS();
    EXPECT_EQ(g_numSoups, 0);
    EXPECT_EQ(g_soups[0].verts, nullptr);
    EXPECT_EQ(G_LoadSOUP("tiny.soup", 1.0f), &g_soups[0]);
}

TEST_F(SoupTest, ShippedShapesAreClosedAndConvex) {
    for (const char *name : {"game/c_soups/sphere.soup", "game/c_soups/wall.soup", "game/c_soups/platform.soup"}) {
        std::ifstream in(std::string(HM_SOURCE_DIR) + "/data/" + name, std::ios::binary);
        ASSERT_TRUE(in) << name;
        std::stringstream bytes;
        bytes << in.rdbuf();
        fake::files[name] = bytes.str();
        const soup_t *soup = G_LoadSOUP(name, 2.0f);
        ASSERT_NE(soup, nullptr) << name << Errors();
        EXPECT_EQ(soup->convex, 1) << name;
        EXPECT_GT(soup->numIndexes, 0) << name;
        // Closed: every edge is met once in each direction.
        std::map<std::pair<int, int>, int> edges;
        for (int i = 0; i < soup->numIndexes; i += 3) {
            for (int k = 0; k < 3; k++) edges[{soup->indexes[i + k], soup->indexes[i + (k + 1) % 3]}]++;
        }
        for (const auto &[edge, count] : edges) {
            EXPECT_EQ(count, 1) << name;
            EXPECT_EQ(edges.count({edge.second, edge.first}), 1u) << name << ": open edge";
        }
    }
}

TEST_F(SoupTest, ModuleShutdownFreesTheShapes) {
    fake::files["tiny.soup"] = fake::SoupBytes({0, 0, 1}, {0, 0, 0});
    ASSERT_NE(G_LoadSOUP("tiny.soup", 1.0f), nullptr);
    const int blocks = Com_GetMemBlocks();
    G_Call(GCALL_MAIN_SHUTDOWN, nullptr);
    EXPECT_EQ(g_numSoups, 0);
    EXPECT_EQ(Com_GetMemBlocks(), blocks - 2) << "the index and the vertex array";
}

// ---- drawing ----

TEST_F(SoupTest, DrawTurnsScalesAndMovesTheShapeIntoOneSurface) {
    soup_t *soup = Load(fake::SoupBytes({1, 0, 0, 0, 2, 0, 0, 0, 3}, {0, 1, 2}));
    ASSERT_NE(soup, nullptr);
    int viewSet = 0;
    g_soupViewPVS = &viewSet;
    const float origin[3] = {10, 20, 30};
    const float axis[9] = {0, 1, 0, -1, 0, 0, 0, 0, 1};  // a quarter turn about z
    G_DrawSOUP(soup, 42, origin, axis, 100, 2.0f);
    ASSERT_EQ(fake::surfaces.size(), 1u);
    surface_t s;
    memcpy(&s, fake::surfaces[0].data(), sizeof s);
    EXPECT_EQ(s.material, 42);
    EXPECT_EQ(s.numVerts, 3);
    EXPECT_EQ(s.numIndexes, 3);
    EXPECT_EQ(s.indexes, soup->indexes);
    const auto *v = static_cast<const drawVert_t *>(s.verts);
    const float expected[3][3] = {{10, 18, 30}, {14, 20, 30}, {10, 20, 36}};
    for (int i = 0; i < 3; i++) {
        for (int k = 0; k < 3; k++) EXPECT_FLOAT_EQ(v[i].xyz[k], expected[i][k]) << i << " " << k;
        EXPECT_EQ(v[i].st[0], soup->verts[7 * i + 4]);
        EXPECT_EQ(v[i].st[1], soup->verts[7 * i + 5]);
        EXPECT_EQ(v[i].rgba[0], 255);
        EXPECT_EQ(v[i].rgba[3], 100);
    }

    fake::surfaces.clear();
    fake::pvsAnswer = 0;
    G_DrawSOUP(soup, 42, origin, axis, 100, 2.0f);
    EXPECT_TRUE(fake::surfaces.empty()) << "outside the visible set";
    g_soupViewPVS = nullptr;
}

TEST_F(SoupTest, DrawnVertexesStayUntilTheFrameEndsAndTheirStoreNeverOverruns) {
    soup_t *soup = Load(fake::SoupBytes(std::vector<float>(3 * SOUP_MAX_VERTS, 0.0f), {0, 1, 2}));
    ASSERT_NE(soup, nullptr);
    int viewSet = 0;
    g_soupViewPVS = &viewSet;
    const float axis[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    qgame.frameCount = 100;
    for (int i = 0; i < 5; i++) {
        const float origin[3] = {static_cast<float>(i), 0, 0};
        G_DrawSOUP(soup, 1, origin, axis, 255, 1.0f);
    }
    ASSERT_EQ(fake::surfaces.size(), 4u) << "four full shapes fill the frame's store";
    for (int i = 0; i < 4; i++) {
        surface_t s;
        memcpy(&s, fake::surfaces[i].data(), sizeof s);
        const auto *v = static_cast<const drawVert_t *>(s.verts);
        EXPECT_EQ(v[0].xyz[0], static_cast<float>(i)) << "the renderer reads shape " << i << " later";
        EXPECT_EQ(v[SOUP_MAX_VERTS - 1].xyz[0], static_cast<float>(i));
    }
    qgame.frameCount = 101;
    const float origin[3] = {};
    G_DrawSOUP(soup, 1, origin, axis, 255, 1.0f);
    EXPECT_EQ(fake::surfaces.size(), 5u) << "a new frame starts the store again";
    g_soupViewPVS = nullptr;
}

}  // namespace
