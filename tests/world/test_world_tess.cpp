#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/world/world_build.h"
#include "world/wo_local.h"
#include "world/wo_tables.h"

namespace {

using namespace worldbuild;

struct Vec {
    double x, y, z;
};
Vec Pos(int i) {
    const float *p = WO_GetVertexPosRefByIndex(i);
    return {p[0], p[1], p[2]};
}
Vec Sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The welded surface of every live page, three pool indexes per triangle.
std::vector<std::array<int, 3>> WeldedSurface() {
    std::vector<std::array<int, 3>> tris;
    for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        for (int k = 0; k < p->numIndexes; k += 3)
            tris.push_back({p->indexes[k], p->indexes[k + 1], p->indexes[k + 2]});
    return tris;
}

TEST(WorldTess, TriangleTableHasThePublishedRowsAndCutsExactlyTheChangingEdges) {
    const std::vector<std::vector<int>> samples = {
        {1, 0, 8, 3}, {3, 1, 8, 3, 9, 8, 1}, {128, 7, 6, 11}};
    for (const auto &s : samples)
        for (size_t k = 1; k < s.size(); k++)
            EXPECT_EQ(wo_triTable[s[0]][k - 1], s[k]) << "row " << s[0];
    for (int c = 0; c < 256; c++) {
        std::set<int> used, changing;
        int k = 0;
        for (; k < 16 && wo_triTable[c][k] >= 0; k++)
            used.insert(wo_triTable[c][k]);
        EXPECT_EQ(k % 3, 0) << "row " << c;
        for (; k < 16; k++)
            EXPECT_EQ(wo_triTable[c][k], -1) << "row " << c;
        for (int e = 0; e < 12; e++) {
            const bool a = (c >> wo_cubeEdges[e].first) & 1, b = (c >> wo_cubeEdges[e].second) & 1;
            if (a != b)
                changing.insert(e);
        }
        EXPECT_EQ(used, changing) << "row " << c;
    }
}

TEST(WorldTess, BallsAreWatertightOutwardWithTrueAreaAndVolume) {
    ErrorLog log;
    for (float radius : {10.0f, 20.0f, 40.0f}) {
        SCOPED_TRACE(radius);
        Build(Ball(radius));
        TessAll();
        const auto tris = WeldedSurface();
        ASSERT_GT(tris.size(), 100u);

        // Each directed edge once and its reverse once: closed and consistently wound.
        std::map<std::pair<int, int>, int> directed;
        for (const auto &t : tris)
            for (int k = 0; k < 3; k++)
                directed[{t[k], t[(k + 1) % 3]}]++;
        int bad = 0;
        for (const auto &[e, n] : directed)
            if (n != 1 || directed.count({e.second, e.first}) != 1 || directed.at({e.second, e.first}) != 1)
                bad++;
        EXPECT_EQ(bad, 0);

        double area = 0, volume = 0;
        int inward = 0;
        for (const auto &t : tris) {
            const Vec a = Pos(t[0]), b = Pos(t[1]), c = Pos(t[2]);
            const Vec n = Cross(Sub(b, a), Sub(c, a));
            area += std::sqrt(Dot(n, n)) / 2;
            volume += Dot(a, Cross(b, c)) / 6;
            const Vec centroid = {(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
            inward += Dot(n, centroid) <= 0;
        }
        EXPECT_EQ(inward, 0);
        int inwardPlanes = 0;
        for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
            for (int s = 0; s < p->numSurfs; s++) {
                const woSurf_t &surf = p->surfs[s];
                // The origin lies inside the ball: behind every outward plane.
                inwardPlanes += !(surf.plane[3] < 0);
                EXPECT_NEAR(surf.plane[0] * surf.plane[0] + surf.plane[1] * surf.plane[1] +
                                surf.plane[2] * surf.plane[2], 1.0, 1e-5);
            }
        EXPECT_EQ(inwardPlanes, 0);

        const double r = radius;
        const double trueArea = 4 * M_PI * r * r, trueVolume = 4 * M_PI * r * r * r / 3;
        if (radius >= 20) {
            EXPECT_NEAR(area / trueArea, 1.0, 0.005);
            EXPECT_NEAR(volume / trueVolume, 1.0, 0.005);
        } else {
            EXPECT_NEAR(volume / trueVolume, 1.0, 0.02);
        }
    }
    EXPECT_TRUE(log.entries.empty()) << log.entries.front().text;
}

// Random densities (never exactly 128) in a box of voxels, empty around it; a voxel
// is matter with the given chance.  Dense noise needs more triangles than a page
// holds, so the chance stays low enough for every page to fit.
Field RandomBox(unsigned seed, int lo, int hi, double matterChance) {
    auto values = std::make_shared<std::vector<byte>>(WO_WORLD_VOXELS * WO_WORLD_VOXELS * WO_WORLD_VOXELS);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> chance(0, 1);
    std::uniform_int_distribution<int> empty(0, 127), matter(129, 255);
    for (byte &b : *values)
        b = static_cast<byte>(chance(rng) < matterChance ? matter(rng) : empty(rng));
    return [values, lo, hi](int x, int y, int z) -> voxel_t {
        if (x < lo || x >= hi || y < lo || y >= hi || z < lo || z >= hi)
            return wo_emptyVoxel;
        return (*values)[(x * WO_WORLD_VOXELS + y) * WO_WORLD_VOXELS + z];
    };
}

// Writes the densities the tessellation reads and the welded surface's vertexes, and
// has scikit-image's marching cubes judge them.
int CompareWithScikitImage(const std::string &dir) {
    const std::string fieldPath = dir + "/field.u8", vertexPath = dir + "/vertexes.f32";
    std::vector<byte> field(WO_WORLD_VOXELS * WO_WORLD_VOXELS * WO_WORLD_VOXELS);
    for (int x = 0; x < WO_WORLD_VOXELS; x++)
        for (int y = 0; y < WO_WORLD_VOXELS; y++)
            for (int z = 0; z < WO_WORLD_VOXELS; z++)
                field[(x * WO_WORLD_VOXELS + y) * WO_WORLD_VOXELS + z] =
                    static_cast<byte>(WO_Density(WO_GetVoxel(x, y, z)));
    std::set<int> used;
    for (const auto &t : WeldedSurface())
        used.insert(t.begin(), t.end());
    std::vector<float> positions;
    for (int i : used)
        positions.insert(positions.end(), WO_GetVertexPosRefByIndex(i), WO_GetVertexPosRefByIndex(i) + 3);

    FILE *f = fopen(fieldPath.c_str(), "wb");
    if (!f)
        return -1;
    fwrite(field.data(), 1, field.size(), f);
    fclose(f);
    f = fopen(vertexPath.c_str(), "wb");
    if (!f)
        return -1;
    fwrite(positions.data(), sizeof(float), positions.size(), f);
    fclose(f);
    // Debian's interpreter: scikit-image is its python3-skimage package.
    const std::string cmd = std::string("/usr/bin/python3 ") + HM_SOURCE_DIR + "/tests/world/mc_compare.py " +
                            fieldPath + " " + vertexPath;
    return std::system(cmd.c_str());
}

TEST(WorldTess, VertexesAgreeWithScikitImageMarchingCubes) {
    char dir[] = "/tmp/hm_world_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    ErrorLog log;
    const std::vector<std::pair<const char *, Field>> fields = {
        {"ball 20", Ball(20)}, {"random box", RandomBox(9, 37, 83, 0.12)}};
    for (const auto &[name, field] : fields) {
        SCOPED_TRACE(name);
        Build(field);
        TessAll();
        EXPECT_TRUE(log.entries.empty()) << log.entries.front().text;
        EXPECT_EQ(CompareWithScikitImage(dir), 0);
    }
    std::system((std::string("rm -rf ") + dir).c_str());
}

// Everything tessellation leaves in the pages, by position rather than pool index
// (indexes depend on the order vertexes were freed and taken).  Texture facings are
// left out: a vertex keeps the facing of the first triangle that used it, so they
// follow the order in which pages were tessellated, not only the voxels.
struct PageProducts {
    std::vector<float> surface, batches, normals, planes, shadow;
    std::vector<int> batchInfo;
    std::vector<byte> cases;
    int pvsOptimized;
};

void AppendVertex(PageProducts &out, int i) {
    poolVertex_t v;
    WO_GetVertexByIndex(&v, i);
    out.batches.insert(out.batches.end(), v.position, v.position + 3);
    out.normals.insert(out.normals.end(), v.normal, v.normal + 3);
    out.batchInfo.push_back(v.matter);
    out.batchInfo.push_back(v.rgba[0] | v.rgba[1] << 8 | v.rgba[2] << 16 | v.rgba[3] << 24);
}

std::map<int, PageProducts> Snapshot() {
    std::map<int, PageProducts> all;
    for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next) {
        PageProducts &out = all[WO_CellIndex(p->x, p->y, p->z)];
        for (int k = 0; k < p->numIndexes; k++) {
            const float *pos = WO_GetVertexPosRefByIndex(p->indexes[k]);
            out.surface.insert(out.surface.end(), pos, pos + 3);
        }
        for (int m = 0; m < WO_MATTERS; m++) {
            out.batchInfo.push_back(p->batches[m].count);
            for (int k = 0; k < p->batches[m].count; k++)
                AppendVertex(out, p->batchIndexes[p->batches[m].first + k]);
        }
        for (int s = 0; s < p->numSurfs; s++)
            out.planes.insert(out.planes.end(), p->surfs[s].plane, p->surfs[s].plane + 4);
        for (int k = 0; k < p->numShadowIndexes; k++) {
            const int i = p->shadowIndexes[k];
            const float *pos = i == WO_SHADOW_VERTEX ? nullptr : WO_GetVertexPosRefByIndex(i);
            for (int a = 0; a < 3; a++)
                out.shadow.push_back(pos ? pos[a] : 1e9f);
        }
        out.cases.assign(p->cubeCases, p->cubeCases + WO_PAGE_SIZE);
        out.pvsOptimized = p->pvsOptimized;
    }
    return all;
}

void ExpectSameProducts(const std::map<int, PageProducts> &a, const std::map<int, PageProducts> &b) {
    ASSERT_EQ(a.size(), b.size());
    for (const auto &[cell, pa] : a) {
        SCOPED_TRACE(cell);
        ASSERT_EQ(b.count(cell), 1u);
        const PageProducts &pb = b.at(cell);
        EXPECT_EQ(pa.surface, pb.surface);
        EXPECT_EQ(pa.batches, pb.batches);
        EXPECT_EQ(pa.batchInfo, pb.batchInfo);
        EXPECT_EQ(pa.planes, pb.planes);
        EXPECT_EQ(pa.shadow, pb.shadow);
        EXPECT_EQ(pa.cases, pb.cases);
        EXPECT_EQ(pa.pvsOptimized, pb.pvsOptimized);
        ASSERT_EQ(pa.normals.size(), pb.normals.size());
        for (size_t k = 0; k < pa.normals.size(); k++)
            ASSERT_NEAR(pa.normals[k], pb.normals[k], 1e-5) << k;
    }
}

TEST(WorldTess, OneVoxelChangeRetessellatesItsPagesToTheFullResult) {
    ErrorLog log;
    struct Change {
        int x, y, z;
        voxel_t v;
        int pages;  // pages the change makes surface-dirty
    };
    const Change changes[] = {
        {88, 65, 66, 0, 2},             // dig in a page's first x layer: and the page below in x
        {88, 68, 65, 0, 4},             // first layer in x and y: 3 pages below
        {88, 88, 88, 0x0100 | 255, 8},  // matter 1 in empty cells at a page corner: 7 below
        {69, 65, 87, 0x0200 | 200, 1},  // matter 2 inside a page: only its own
    };
    for (const Change &c : changes) {
        SCOPED_TRACE(c.x);
        Build(Ball(20));
        TessAll();
        const int poolBefore = WO_CountVertexesInPool();
        EXPECT_GT(poolBefore, 0);
        SetVoxel(c.x, c.y, c.z, c.v);
        EXPECT_EQ(TessDirty(), c.pages);
        const auto incremental = Snapshot();
        TessAll();
        ExpectSameProducts(incremental, Snapshot());
        // The same vertexes are live either way.
        const int live = WO_CountVertexesInPool();
        TessAll();
        EXPECT_EQ(WO_CountVertexesInPool(), live);
    }
    EXPECT_TRUE(log.entries.empty());
}

// A box of voxels [lo, hi) on every axis holding one voxel value, empty around it.
Field Box(int lo, int hi, voxel_t v) {
    return [=](int x, int y, int z) {
        return x >= lo && x < hi && y >= lo && y < hi && z >= lo && z < hi ? v : wo_emptyVoxel;
    };
}

page_t *PageAt(int cx, int cy, int cz) { return WO_CellPage(WO_CellIndex(cx, cy, cz)); }

// Stage 0 on every page: afterwards nothing may hold a vertex or a face.
void ReleaseAll() {
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        WO_TessPageStage0(p);
    WO_TessPageStageFinal();
}

TEST(WorldTess, WindowsWithoutSurfaceYieldNothingAndBlockSightWhenDense) {
    struct Case {
        voxel_t v;
        int pvsOptimized;
    };
    for (const Case c : {Case{129, 1}, Case{0x0300 | 255, 1}, Case{128, 0}, Case{60, 0}}) {
        SCOPED_TRACE(c.v);
        Build(Box(30, 60, c.v));
        TessAll();
        const page_t *p = PageAt(10, 10, 10);  // window 40..44: inside the box
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->numIndexes, 0);
        EXPECT_EQ(p->numBatchIndexes, 0);
        EXPECT_EQ(p->pvsOptimized, c.pvsOptimized);
    }
}

TEST(WorldTess, SurfaceDensityPutsTheVertexOnTheVoxel) {
    // A slab of density exactly 128 up to x = 40, then space of density 30: the
    // surface lies on the layer x = 40.
    Build([](int x, int y, int z) {
        if (y < 36 || y > 48 || z < 36 || z > 48 || x < 30 || x > 50)
            return wo_emptyVoxel;
        return x <= 40 ? voxel_t{128} : voxel_t{30};
    });
    TessAll();
    const page_t *p = PageAt(10, 10, 10);
    ASSERT_GT(p->numIndexes, 0);
    for (int k = 0; k < p->numIndexes; k++)
        EXPECT_EQ(WO_GetVertexPosRefByIndex(p->indexes[k])[0], WO_VoxelToWorld(40));

    // A lone voxel at the surface density collapses into one point: nothing is kept.
    Build([](int x, int y, int z) { return x == 41 && y == 41 && z == 41 ? voxel_t{128} : wo_emptyVoxel; });
    TessAll();
    EXPECT_EQ(WO_CountVertexesInPool(), 0);
    EXPECT_EQ(PageAt(10, 10, 10)->numIndexes, 0);
}

TEST(WorldTess, CubesOfTwoMattersAreDrawnInBothPassesDarkOnTheOtherSide) {
    Build([](int x, int y, int z) -> voxel_t {
        if (y == 41 && z == 41 && (x == 41 || x == 42))
            return static_cast<voxel_t>((x == 41 ? 1 : 2) << 8 | 255);
        return wo_emptyVoxel;
    });
    wo_wms[1].baseColor[0] = 10.4f, wo_wms[1].baseColor[1] = 20, wo_wms[1].baseColor[2] = 30;
    wo_wms[2].baseColor[0] = 200, wo_wms[2].baseColor[1] = 100, wo_wms[2].baseColor[2] = 300;
    TessAll();
    const page_t *p = PageAt(10, 10, 10);
    for (int m : {1, 2}) {
        SCOPED_TRACE(m);
        const woRun_t &b = p->batches[m];
        ASSERT_GT(b.count, 0);
        int black = 0, own = 0;
        for (int k = 0; k < b.count; k++) {
            poolVertex_t v;
            WO_GetVertexByIndex(&v, p->batchIndexes[b.first + k]);
            EXPECT_EQ(v.matter, m);
            EXPECT_EQ(v.rgba[3], 255);
            if (v.rgba[0] == 0 && v.rgba[1] == 0 && v.rgba[2] == 0)
                black++;
            else if (m == 1)
                own += v.rgba[0] == 10 && v.rgba[1] == 20 && v.rgba[2] == 30;
            else
                own += v.rgba[0] == 200 && v.rgba[1] == 100 && v.rgba[2] == 255;
        }
        EXPECT_GT(black, 0);
        EXPECT_EQ(black + own, b.count);
    }
    EXPECT_EQ(p->batches[0].count, 0);
    EXPECT_TRUE(WO_GetBit256(p->matterBits, 1) && WO_GetBit256(p->matterBits, 2));
    EXPECT_FALSE(WO_GetBit256(p->matterBits, 0));
}

// A 45-degree slope along x + y: every normal is (1, 1, 0), a tie of x and y.
voxel_t SlopeVoxel(int x, int y, int z) {
    if (x < 30 || x > 50 || y < 30 || y > 50 || z < 30 || z > 50)
        return wo_emptyVoxel;
    const int d = 128 + 8 + 16 * (80 - x - y);
    return static_cast<voxel_t>(d < 0 ? 0 : d > 255 ? 255 : d);
}

TEST(WorldTess, FacingTiesGoToTheLowerAxisWithItsProjection) {
    Build(SlopeVoxel);
    wo_wms[0].stScale[0] = 2;
    wo_wms[0].stScale[1] = 3;
    TessAll();
    const page_t *p = PageAt(10, 10, 10);
    ASSERT_GT(p->numBatchIndexes, 0);
    for (int k = 0; k < p->numBatchIndexes; k++) {
        poolVertex_t v;
        WO_GetVertexByIndex(&v, p->batchIndexes[k]);
        ASSERT_EQ(v.facing, 0);
        EXPECT_EQ(v.st[0], 2 * v.position[1]);
        EXPECT_EQ(v.st[1], 3 * v.position[2]);
        EXPECT_TRUE(v.axisMask[0] == 0 && v.axisMask[1] == 1 && v.axisMask[2] == 0 && v.axisMask[3] == 1);
    }
}

// A vertex that already has a facing imposes it on a triangle whose unit normal leans
// more than 0.5 towards that axis; otherwise the triangle uses a copy of the vertex
// with its own facing.
TEST(WorldTess, AFacingAlreadyOnTheEdgeWinsWhenTheNormalLeansEnoughTowardsIt) {
    const struct {
        int preset, want;
        bool copies;
    } cases[] = {
        {1, 1, false},  // |n.y| = 0.707: the vertexes keep facing 1
        {2, 0, true},   // |n.z| = 0: facing 2 is passed over, copies of facing 0 serve
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.preset);
        Build(SlopeVoxel);
        TessAll();
        page_t *p = PageAt(10, 10, 10);
        ASSERT_GT(p->numBatchIndexes, 0);
        // Every live vertex takes the preset facing and a reference that outlives the
        // page's stage 0, as a neighbouring page's would.
        std::set<int> preset;
        for (int i = 0; i < WO_POOL_SIZE; i++)
            if (WO_TestBit(wo_pool.active, i)) {
                poolVertex_t v;
                WO_GetVertexByIndex(&v, i);
                v.facing = c.preset;
                WO_UpdateVertexByIndex(&v, i);
                WO_BumpGarbageCount(i);
                preset.insert(i);
            }
        WO_TessPageStage0(p);
        WO_TessPageStage1(p);
        WO_TessPageStageFinal();
        ASSERT_GT(p->numBatchIndexes, 0);
        for (int k = 0; k < p->numBatchIndexes; k++) {
            const int i = p->batchIndexes[k];
            EXPECT_EQ(wo_pool.facing[i], c.want) << k;
            EXPECT_EQ(preset.count(i), c.copies ? 0u : 1u) << k;
        }
    }
}

TEST(WorldTess, NeighbouringPagesShareTheirEdgeVertexes) {
    Build(Ball(20));
    TessAll();
    const int vertexes = WO_CountVertexesInPool(), faces = WO_CountFacesInPool();
    // Two neighbouring surface pages on the ball's +x side.
    page_t *a = PageAt(22, 16, 16), *b = PageAt(22, 17, 16);
    ASSERT_TRUE(a && b && a->numIndexes > 0 && b->numIndexes > 0);
    WO_TessPageStage0(a);
    WO_TessPageStage0(b);
    WO_TessPageStage1(a);
    WO_TessPageStage1(b);
    WO_TessPageStageFinal();
    EXPECT_EQ(WO_CountVertexesInPool(), vertexes);
    EXPECT_EQ(WO_CountFacesInPool(), faces);
    // Stage 0 twice releases once.
    WO_TessPageStage0(a);
    WO_TessPageStage0(a);
    ReleaseAll();
    EXPECT_EQ(WO_CountVertexesInPool(), 0);
    EXPECT_EQ(WO_CountFacesInPool(), 0);
}

TEST(WorldTess, ShadowVolumesExtrudeOnlyOpenEdgesUnlessAskedForAll) {
    // A shell: its inner surface faces the origin and casts the shadows.
    Build([](int x, int y, int z) {
        const voxel_t outer = BallVoxel(x, y, z, 25), inner = BallVoxel(x, y, z, 15);
        return static_cast<voxel_t>(std::min(outer & 0xFF, 255 - (inner & 0xFF)));
    });
    for (int skip : {0, 1}) {
        SCOPED_TRACE(skip);
        wo_skipShadowOptimization.integer = skip;
        TessAll();
        int pages = 0;
        for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next) {
            if (p->numShadowIndexes == 0)
                continue;
            pages++;
            int facing = 0, extruded = 0;
            std::map<std::pair<int, int>, int> edges;
            for (int k = 0; k < p->numShadowIndexes; k += 3) {
                const int *t = p->shadowIndexes + k;
                if (t[0] == WO_SHADOW_VERTEX) {
                    extruded++;
                    continue;
                }
                facing++;
                for (int e = 0; e < 3; e++) {
                    const int i = t[e], j = t[(e + 1) % 3];
                    edges[{std::min(i, j), std::max(i, j)}]++;
                    const float *pos = WO_GetVertexPosRefByIndex(i);
                    for (int a = 0; a < 3; a++)
                        EXPECT_TRUE(pos[a] > p->shadowMins[a] && pos[a] < p->shadowMaxs[a]);
                }
            }
            int open = 0;
            for (const auto &[e, n] : edges)
                open += n != 2 ? n : 0;
            // Extruding every edge overfills some pages: they keep what fits.
            const int room = (WO_PAGE_SHADOW_INDEXES_MAX - 3 * facing) / 3;
            EXPECT_EQ(extruded, skip ? std::min(3 * facing, room) : open);
            for (int a = 0; a < 3; a++)
                EXPECT_TRUE(p->shadowMins[a] <= -0.1f && p->shadowMaxs[a] >= 0.1f);  // origin inside
        }
        EXPECT_GT(pages, 0);
    }
}

TEST(WorldTess, OverfullPagesAreClampedWithAWarningAndReleaseCleanly) {
    // A checkerboard cuts every corner of every cube: four triangles per cube, 256 in the
    // page, more than its welded surface holds.  With two matters in every cube each
    // cube is drawn in both passes, more than its batches hold too.
    const struct {
        int matters;
        const char *warning;
    } cases[] = {
        {1, "W_SetupBatches: WO_PAGE_INDEXES_MAX (2): page (10 10 10) clamped at 600 surface indexes"},
        {2, "W_SetupBatches: WO_PAGE_INDEXES_MAX: page (10 10 10) clamped at 900 batch indexes"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.matters);
        ErrorLog log;
        Build([&c](int x, int y, int z) {
            const bool in = x >= 40 && x < 48 && y >= 40 && y < 48 && z >= 40 && z < 48;
            return in && (x + y + z) % 2 ? static_cast<voxel_t>((x % c.matters) << 8 | 255) : wo_emptyVoxel;
        });
        TessAll();
        const page_t *p = PageAt(10, 10, 10);
        EXPECT_EQ(p->numIndexes, WO_PAGE_INDEXES_MAX);
        EXPECT_LE(p->numSurfs, WO_PAGE_SURFS_MAX);
        EXPECT_LE(p->numShadowIndexes, WO_PAGE_SHADOW_INDEXES_MAX);
        EXPECT_EQ(p->numBatchIndexes, c.matters == 1 ? 4 * 3 * 64 : WO_PAGE_BATCH_INDEXES_MAX);
        EXPECT_EQ(p->numFaces, p->numBatchIndexes / 3);
        EXPECT_EQ(p->batches[0].count + p->batches[1].count, p->numBatchIndexes);
        EXPECT_TRUE(log.Has(ER_WARNING, c.warning));
        ReleaseAll();
        EXPECT_EQ(WO_CountVertexesInPool(), 0);
        EXPECT_EQ(WO_CountFacesInPool(), 0);
    }
}

// A full vertex or face pool costs the pages their triangles, never the process or the
// pool's consistency: nothing is left referenced or half-made, and once there is room
// again the same world tessellates to the full result.
TEST(WorldTess, AFullPoolLeavesPagesEmptyAndConsistent) {
    const struct {
        const char *name, *warning;
        void (*fill)();
        void (*empty)();
    } cases[] = {
        {"vertexes", "all 240000 pool vertexes in use",
         [] {
             // Edges owned by a voxel of the last two layers, which read empty: no edge
             // of the world's surface has their keys.
             const poolVertex_t v = {};
             int added = 0;
             for (int z = 0; z < WO_EDGE_SPAN && added < WO_POOL_SIZE; z++)
                 for (int y = 0; y < WO_EDGE_SPAN && added < WO_POOL_SIZE; y++)
                     for (int x = 0; x < WO_EDGE_SPAN && added < WO_POOL_SIZE; x++)
                         for (int axis = 0; axis < 3 && std::max({x, y, z}) >= 127 && added < WO_POOL_SIZE; axis++)
                             added += WO_AddVertexToPool(&v, x, y, z, axis, 0, -1) >= 0;
         },
         [] {
             for (int i = 0; i < WO_POOL_SIZE; i++)
                 WO_SinkGarbageCount(i);
         }},
        {"faces", "all 480000 pool faces in use",
         [] {
             for (int f = 0; f < WO_POOL_FACES; f++)
                 WO_AddFace(0, 0, 0);
         },
         [] {
             for (int f = 0; f < WO_POOL_FACES; f++)
                 WO_RemoveFace(f);
         }},
    };
    Build(Ball(10));
    TessAll();
    const auto full = Snapshot();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ErrorLog log;
        Build(Ball(10));
        c.fill();
        const int vertexes = WO_CountVertexesInPool(), faces = WO_CountFacesInPool();
        TessAll();
        EXPECT_TRUE(log.Has(ER_WARNING, c.warning));
        EXPECT_EQ(log.entries.size(), 1u) << "reported once";
        EXPECT_EQ(WO_CountVertexesInPool(), vertexes);
        EXPECT_EQ(WO_CountFacesInPool(), faces);
        for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
            ASSERT_TRUE(p->numBatchIndexes == 0 && p->numFaces == 0 && p->numIndexes == 0 && p->numSurfs == 0);
        c.empty();
        TessAll();
        ExpectSameProducts(Snapshot(), full);
    }
}

}  // namespace
