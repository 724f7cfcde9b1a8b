// Decal clipping on triangles placed by hand in one page.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "client/cl_decal.h"
#include "common/common.h"
#include "tests/support/capture.h"
#include "world/wo_local.h"  // the fixture puts its own vertexes into the pool
#include "world/world.h"

namespace {

typedef std::array<float, 3> point_t;
struct triangle_t {
    point_t p[3];
    point_t normal;
};

// A floor triangle whose corners wind so that (p2 - p0) x (p1 - p0) points up.
triangle_t Floor(float x, float y, float size, float z = 0) {
    return {{point_t{x, y, z}, point_t{x, y + size, z}, point_t{x + size, y, z}}, {0, 0, 1}};
}

class Decal : public testing::Test {
protected:
    void SetUp() override {
        hm_test::StartCapture();
        cl_minDecalZ.value = 0.3f;  // its default
        WO_InitPages();
        WO_ClearAllPages();
        WO_InitPool();
        page = WO_SpawnPage(16, 16, 16);  // world 0..3.2 on each axis
        ASSERT_NE(page, nullptr);
        page->numSurfs = page->numIndexes = 0;
    }
    void TearDown() override {
        WO_ClearAllPages();
        hm_test::StopCapture();
    }
    void Add(const triangle_t &t) {
        woSurf_t &s = page->surfs[page->numSurfs++];
        for (int k = 0; k < 3; k++) {
            poolVertex_t v{};
            for (int i = 0; i < 3; i++) {
                v.position[i] = t.p[k][i];
                v.normal[i] = t.normal[i];
                s.points[k][i] = t.p[k][i];
            }
            v.axisMask[2] = 1;
            v.facing = 2;
            const int index = WO_AddVertexToPool(&v, 64 + nextKey++, 64, 64, 0, 0, 2);
            ASSERT_GE(index, 0);
            page->indexes[page->numIndexes++] = index;
        }
    }
    // Clips a box at origin (1, 1, 0) pressed downwards.
    void Clip(float width, float height, float depth, int32_t maxVerts = 64, int32_t maxIndexes = 192) {
        const float origin[3] = {1, 1, 0};
        const float axes[9] = {1, 0, 0, 0, 1, 0, 0, 0, -1};
        const float size[3] = {width, height, depth};
        verts.assign(64, poolVertex_t{});
        indexes.assign(192, -1);
        CL_ClipDecal(&numVerts, &numIndexes, verts.data(), indexes.data(), origin, axes, size, maxVerts, maxIndexes);
    }

    page_t *page = nullptr;
    int nextKey = 0;
    std::vector<poolVertex_t> verts;
    std::vector<int32_t> indexes;
    int32_t numVerts = -1, numIndexes = -1;
};

TEST_F(Decal, TrianglesAreKeptCutOrSkippedByTheirPlaceAndFacing) {
    struct decalCase_t {
        const char *what;
        triangle_t triangle;
        int32_t verts, indexes;
    };
    const decalCase_t cases[] = {
        {"inside", Floor(0.8f, 0.8f, 0.4f), 3, 3},
        {"one corner cut off", {{point_t{0.5f, 0.5f, 0}, point_t{0.5f, 1.0f, 0}, point_t{2.5f, 0.5f, 0}}, {0, 0, 1}}, 4, 6},
        {"two corners cut off", {{point_t{-1.5f, 1, 0}, point_t{1, 1.2f, 0}, point_t{3.5f, 1, 0}}, {0, 0, 1}}, 5, 9},
        {"facing away", {{point_t{0.8f, 0.8f, 0}, point_t{1.2f, 0.8f, 0}, point_t{0.8f, 1.2f, 0}}, {0, 0, -1}}, 0, 0},
        {"wall along the pressing direction",
         {{point_t{1, 0.8f, -0.1f}, point_t{1, 0.8f, 0.1f}, point_t{1, 1.2f, -0.1f}}, {1, 0, 0}}, 3, 3},
        {"beside the box", Floor(2.5f, 2.5f, 0.4f), 0, 0},
        {"below the box", Floor(0.8f, 0.8f, 0.4f, -1), 0, 0},
        {"too small", Floor(0.8f, 0.8f, 0.05f), 0, 0},
    };
    for (const decalCase_t &c : cases) {
        SetUp();
        Add(c.triangle);
        Clip(2, 2, 1);
        EXPECT_EQ(numVerts, c.verts) << c.what;
        EXPECT_EQ(numIndexes, c.indexes) << c.what;
        for (int32_t i = 0; i < numIndexes; i++) EXPECT_LT(indexes[i], numVerts) << c.what;
        for (int32_t i = 0; i < numVerts; i++)
            for (int k = 0; k < 2; k++) {
                // Everything kept lies within the box's sides.
                EXPECT_GE(verts[i].position[k], -0.001f) << c.what;
                EXPECT_LE(verts[i].position[k], 2.001f) << c.what;
            }
    }
}

TEST_F(Decal, OutputIsLiftedAndMappedAcrossTheBox) {
    Add(Floor(0.8f, 0.8f, 0.4f));
    Clip(2, 4, 1);
    ASSERT_EQ(numVerts, 3);
    EXPECT_EQ(indexes[0], 0);
    EXPECT_EQ(indexes[1], 1);
    EXPECT_EQ(indexes[2], 2);
    for (int i = 0; i < 3; i++) {
        const poolVertex_t &v = verts[i];
        EXPECT_FLOAT_EQ(v.position[2], CL_DECAL_LIFT);
        EXPECT_FLOAT_EQ(v.st[0], (v.position[0] - 1) / 2 + 0.5f);
        EXPECT_FLOAT_EQ(v.st[1], (v.position[1] - 1) / 4 + 0.5f);
        EXPECT_EQ(std::vector<int>(v.rgba, v.rgba + 4), (std::vector<int>{255, 255, 255, 255}));
        EXPECT_EQ(v.facing, 2);
    }
    EXPECT_FLOAT_EQ(verts[0].position[0], 0.8f);
    EXPECT_FLOAT_EQ(verts[1].position[1], 1.2f);
    // The box's centre maps to the middle of the image.
    EXPECT_FLOAT_EQ((1.0f - 1) / 2 + 0.5f, 0.5f);
}

TEST_F(Decal, CutCornersAreInterpolatedWithUnitNormals) {
    triangle_t t = {{point_t{0.5f, 0.5f, 0}, point_t{0.5f, 1.0f, 0}, point_t{2.5f, 0.5f, 0}}, {0, 0, 1}};
    Add(t);
    // Tilt the far corner's normal: the new corners between get a blend, made unit.
    poolVertex_t far{};
    WO_GetVertexByIndex(&far, page->indexes[2]);
    far.normal[0] = 1;
    far.normal[2] = 0;
    WO_UpdateVertexByIndex(&far, page->indexes[2]);
    Clip(2, 2, 1);
    ASSERT_EQ(numVerts, 4);
    for (int i = 0; i < numVerts; i++) {
        const float *n = verts[i].normal;
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5f) << i;
        EXPECT_LE(verts[i].position[0] - CL_DECAL_LIFT * n[0], 2.0f + 1e-5f) << i;
    }
}

TEST_F(Decal, ShallowBoxesArePressedWithTheLeastDepth) {
    Add(Floor(0.8f, 0.8f, 0.4f, -0.12f));  // 0.12 under the box's middle
    Clip(2, 2, 0.1f);
    EXPECT_EQ(numVerts, 3);  // within 0.3 / 2, though not within 0.1 / 2
}

TEST_F(Decal, FlatBoxesAndFullOutputsClipNothingMore) {
    Add(Floor(0.8f, 0.8f, 0.4f));
    Add(Floor(0.2f, 0.2f, 0.4f));
    for (const std::array<float, 2> &wh : {std::array<float, 2>{0, 2}, {2, 0}, {-1, 2}}) {
        Clip(wh[0], wh[1], 1);
        EXPECT_EQ(numVerts, 0);
        EXPECT_EQ(numIndexes, 0);
    }
    // Room for the first triangle (10 vertexes), but not 10 more after its 3.
    Clip(2, 2, 1, 12, 192);
    EXPECT_EQ(numVerts, 3);
    Clip(2, 2, 1, 64, 32);
    EXPECT_EQ(numIndexes, 3);
    Clip(2, 2, 1, 9, 192);
    EXPECT_EQ(numVerts, 0);
}

}  // namespace
