#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <cstring>
#include <set>
#include <vector>

#include "base/base.h"
#include "base/renderer.h"
#include "tests/world/world_build.h"
#include "world/wo_local.h"

namespace {

using namespace worldbuild;

poolVertex_t VertexAt(float x, float y, float z) {
    poolVertex_t v = {};
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    v.facing = -1;
    return v;
}

// Members of i's weld ring, i included.
std::set<int> WeldRing(int i) {
    std::set<int> ring;
    int w = i;
    do {
        ring.insert(w);
        w = wo_pool.nodes[w].weld.next;
    } while (w != i && ring.size() <= WO_POOL_SIZE);
    return ring;
}

// The dirty list in order; stops at a repeat, which would mean a corrupt list.
std::vector<int> DirtyList() {
    std::vector<int> list;
    std::set<int> seen;
    for (int i = wo_pool.nodes[WO_VERTEX_DIRTY_HEAD].dirty.next; i != WO_VERTEX_DIRTY_HEAD;
         i = wo_pool.nodes[i].dirty.next) {
        list.push_back(i);
        if (!seen.insert(i).second)
            break;
    }
    return list;
}

TEST(WorldPool, KeysMattersAndFacingsFindOrWeldVertexes) {
    Reset();
    const poolVertex_t v = VertexAt(1, 2, 3);
    const int a = WO_AddVertexToPool(&v, 10, 20, 30, 1, 5, -1);
    EXPECT_EQ(a, 0);  // a cleared pool hands out indexes in order
    EXPECT_EQ(WO_AddVertexToPool(&v, 10, 20, 30, 1, 5, -1), a);
    const int b = WO_AddVertexToPool(&v, 10, 20, 30, 1, 6, -1);
    EXPECT_EQ(b, 1);
    const int c = WO_AddVertexToPool(&v, 10, 20, 31, 1, 5, -1);  // another edge
    EXPECT_EQ(WeldRing(a), (std::set<int>{a, b}));
    EXPECT_EQ(WeldRing(c), (std::set<int>{c}));

    EXPECT_EQ(WO_GetIndexFromPool(10, 20, 30, 1, 6, -1), b);
    EXPECT_EQ(WO_GetIndexFromPool(10, 20, 30, 1, -1, -1), a);
    EXPECT_EQ(WO_GetIndexFromPool(10, 20, 30, 1, 7, -1), -1);
    EXPECT_EQ(WO_GetIndexFromPool(10, 20, 30, 2, -1, -1), -1);  // empty bucket
    EXPECT_EQ(WO_CountVertexesInPool(), 3);
    EXPECT_EQ(WO_VertexKey(10, 20, 30, 1), (1u << 30) | (30u << 20) | (20u << 10) | 10u);
    EXPECT_EQ(WO_VertexBucket(10, 20, 30, 1), ((10 << 12) ^ (20 << 7) ^ 120 ^ 1 ^ 0x64F80267) % 20533);

    poolVertex_t out;
    WO_GetVertexByIndex(&out, b);
    EXPECT_EQ(out.matter, 6);
    EXPECT_EQ(out.position[2], 3.0f);
}

TEST(WorldPool, ReferencesDecideWhenAVertexIsFreed) {
    Reset();
    const poolVertex_t v = VertexAt(0, 0, 0);
    const int a = WO_AddVertexToPool(&v, 1, 1, 1, 0, 0, -1);
    const int b = WO_AddVertexToPool(&v, 2, 1, 1, 0, 0, -1);
    WO_BumpGarbageCount(b);
    WO_BumpGarbageCount(b);
    WO_SinkGarbageCount(b);
    EXPECT_TRUE(WO_TestBit(wo_pool.active, b));
    EXPECT_EQ(wo_pool.references[b], 1);
    WO_HarvestVertex(b);  // still referenced
    EXPECT_TRUE(WO_TestBit(wo_pool.active, b));

    WO_SinkGarbageCount(a);  // nothing references it: freed at once
    EXPECT_FALSE(WO_TestBit(wo_pool.active, a));
    EXPECT_EQ(WO_GetIndexFromPool(1, 1, 1, 0, -1, -1), -1);
    EXPECT_EQ(WO_CountVertexesInPool(), 1);
    // The lowest free entry is taken first, so the live ones stay packed.
    EXPECT_EQ(WO_AddVertexToPool(&v, 3, 1, 1, 0, 0, -1), a);
    EXPECT_EQ(WO_AddVertexToPool(&v, 4, 1, 1, 0, 0, -1), 2);
}

TEST(WorldPool, AReusedVertexIsOnTheDirtyListOnce) {
    Reset();
    const poolVertex_t v = VertexAt(0, 0, 0);
    // Fill the pool so that the freed vertex is the only free one and must be reused.
    for (int i = 0; i < WO_POOL_SIZE; i++)
        ASSERT_EQ(WO_AddVertexToPool(&v, i % 128, i / 128 % 128, i / (128 * 128), 0, 0, -1), i);
    WO_TessPageStageFinal();
    ASSERT_TRUE(DirtyList().empty());

    WO_AddVertexToPool(&v, 7, 0, 0, 0, 0, -1);  // reuse: dirty again
    WO_SinkGarbageCount(7);                      // freed while on the dirty list
    EXPECT_EQ(WO_AddVertexToPool(&v, 5, 5, 5, 1, 0, -1), 7);
    EXPECT_EQ(DirtyList(), std::vector<int>{7});
    WO_TessPageStageFinal();
    EXPECT_TRUE(DirtyList().empty());
    EXPECT_FALSE(WO_TestBit(wo_pool.dirty, 7));

    // A full pool refuses with a warning instead of ending the process.
    ErrorLog log;
    EXPECT_EQ(WO_AddVertexToPool(&v, 9, 9, 9, 2, 0, -1), -1);
    EXPECT_EQ(WO_AddVertexToPool(&v, 9, 9, 8, 2, 0, -1), -1);
    EXPECT_EQ(log.Count(ER_WARNING), 1);  // once, not for every vertex refused
    EXPECT_TRUE(log.Has(ER_WARNING, "pool vertexes in use"));
    WO_ClearPool();
}

TEST(WorldPool, VertexFaceListsCompactWhenFullAndRefuseWhenStillFull) {
    Reset();
    ErrorLog log;
    const poolVertex_t a = VertexAt(0, 0, 0), b = VertexAt(1, 0, 0), c = VertexAt(0, 1, 0);
    const int ia = WO_AddVertexToPool(&a, 1, 1, 1, 0, 0, -1);
    const int ib = WO_AddVertexToPool(&b, 2, 1, 1, 0, 0, -1);
    const int ic = WO_AddVertexToPool(&c, 1, 2, 1, 0, 0, -1);
    int faces[WO_POOL_FACE_SIZE];
    for (int &f : faces) {
        f = WO_AddFace(ia, ib, ic);
        ASSERT_EQ(WO_AddFaceToVertex(ia, f), 1);
    }
    for (int k = 0; k < 3; k++)
        WO_RemoveFace(faces[k]);
    EXPECT_EQ(WO_CountFacesInPool(), WO_POOL_FACE_SIZE - 3);
    const int extra = WO_AddFace(ia, ib, ic);
    EXPECT_EQ(WO_AddFaceToVertex(ia, extra), 1);
    EXPECT_EQ(wo_pool.numVertexFaces[ia], 22);

    while (wo_pool.numVertexFaces[ia] < WO_POOL_FACE_SIZE)
        WO_AddFaceToVertex(ia, WO_AddFace(ia, ib, ic));
    EXPECT_EQ(WO_AddFaceToVertex(ia, WO_AddFace(ia, ib, ic)), 0);
    EXPECT_TRUE(log.Has(ER_WARNING, "WO_POOL_FACE_SIZE"));

    // A face's normal is the unit normal divided by the cross product's length.
    const float *n = wo_faces.normal[extra];
    EXPECT_FLOAT_EQ(n[2], 1.0f);
}

TEST(WorldPool, NormalPassesGiveAWeldRingOneUnitNormal) {
    Reset();
    // Two matters on one edge: two vertexes in one ring, each with its own face.
    const poolVertex_t e = VertexAt(0, 0, 0), p = VertexAt(1, 0, 0), q = VertexAt(0, 1, 0), r = VertexAt(0, 0, 1);
    const int e0 = WO_AddVertexToPool(&e, 5, 5, 5, 0, 0, -1);
    const int e1 = WO_AddVertexToPool(&e, 5, 5, 5, 0, 1, -1);
    const int ip = WO_AddVertexToPool(&p, 6, 5, 5, 0, 0, -1);
    const int iq = WO_AddVertexToPool(&q, 5, 6, 5, 0, 0, -1);
    const int ir = WO_AddVertexToPool(&r, 5, 5, 6, 0, 1, -1);
    const int f0 = WO_AddFace(e0, ip, iq);  // normal +z
    const int f1 = WO_AddFace(e1, iq, ir);  // normal +x
    for (int i : {e0, ip, iq})
        WO_AddFaceToVertex(i, f0);
    for (int i : {e1, iq, ir})
        WO_AddFaceToVertex(i, f1);
    WO_TessPageStageFinal();
    const float s = 1.0f / std::sqrt(2.0f);
    for (int i : {e0, e1}) {
        EXPECT_NEAR(wo_pool.normal[i][0], s, 1e-6);
        EXPECT_NEAR(wo_pool.normal[i][1], 0, 1e-6);
        EXPECT_NEAR(wo_pool.normal[i][2], s, 1e-6);
    }
    EXPECT_NEAR(wo_pool.normal[ip][2], 1.0f, 1e-6);

    // Removing a face redoes the normals of its vertexes and their rings.
    WO_RemoveFace(f1);
    WO_TessPageStageFinal();
    EXPECT_NEAR(wo_pool.normal[e1][2], 1.0f, 1e-6);
    EXPECT_NEAR(wo_pool.normal[e1][0], 0.0f, 1e-6);
}

TEST(WorldPool, HashStatsListEveryBucketSixteenToALine) {
    Reset();
    static std::vector<std::string> lines;
    lines.clear();
    Com_SetupPrintf(PRF_SINKS, [](const char *text) { lines.emplace_back(text); }, nullptr);
    const poolVertex_t v = VertexAt(0, 0, 0);
    WO_AddVertexToPool(&v, 1, 2, 3, 0, 0, -1);
    WO_AddVertexToPool(&v, 1, 2, 3, 0, 1, -1);  // same bucket
    WO_HashStats_f();
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    ASSERT_EQ(lines.size(), 1283u + 1 + 1);
    EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), ' '), 15);
    EXPECT_EQ(std::count(lines[1283].begin(), lines[1283].end(), ' '), 4);
    const int bucket = WO_VertexBucket(1, 2, 3, 0);
    std::string row = lines[bucket / 16];
    int field = bucket % 16, at = 0;
    for (int k = 0; k < field; k++)
        at = static_cast<int>(row.find(' ', at)) + 1;
    EXPECT_EQ(row.substr(at, 1), "2");
    EXPECT_EQ(lines.back(), "Zeros: 99.9951%");  // the console ends every line
}

// What a drawing renderer was asked to do with the world's vertex list.
struct RendererLog {
    static inline std::vector<std::vector<intptr_t>> calls;
};

TEST(WorldPool, FlaggedChunksGoToARunningRendererInOrderThenClear) {
    Reset();
    RendererLog::calls.clear();
    renderer_t drawing = re_null;
    drawing.LoadVertexes = [](uint32_t layout, int32_t count, int32_t a, int32_t b) -> rhandle_t {
        RendererLog::calls.push_back({1, layout, count, a, b});
        return 7;
    };
    drawing.UpdateVertexes = [](rhandle_t h, uint32_t layout, int32_t count, int32_t a, const void *update) {
        const auto *v = static_cast<const poolVertex_t *>(update);
        RendererLog::calls.push_back({2, h, layout, count, a, v->position[0] == 0 && v->normal[2] == 0});
    };
    drawing.UpdateVertexesDirect = [](rhandle_t h, int32_t first, int32_t count, const void *positions,
                                      const void *texture, const void *, const void *, const void *colours) {
        RendererLog::calls.push_back({3, h, first, count, positions == wo_pool.position[first],
                                      texture == wo_pool.st[first], colours == wo_pool.rgba[first]});
    };
    const renderer_t saved = re;
    re = drawing;
    qbase.rendererRunning = 1;

    WO_InitGPUVertexList();
    EXPECT_EQ(wo_qvert, 7);
    memset(wo_poolChunks, 0, sizeof(wo_poolChunks));
    wo_poolChunks[5] = wo_poolChunks[2] = 1;
    wo_uploadContinusely.integer = 1;
    wo_poolLoop = WO_POOL_CHUNKS - 1;
    WO_UploadPool();
    const std::vector<std::vector<intptr_t>> expect = {
        {1, 0x1F, 240001, 0, 1},
        {2, 7, 0x1F, 240000, 1, 1},
        {3, 7, 2 * 240, 240, 1, 1, 1},
        {3, 7, 5 * 240, 240, 1, 1, 1},
        {3, 7, 999 * 240, 240, 1, 1, 1},  // the round-robin chunk
    };
    EXPECT_EQ(RendererLog::calls, expect);
    EXPECT_EQ(wo_poolLoop, 0);
    for (byte flag : wo_poolChunks)
        ASSERT_EQ(flag, 0);

    qbase.rendererRunning = 0;
    re = saved;
    wo_uploadContinusely.integer = 0;
    wo_qvert = -1;
}

}  // namespace

TEST(WorldPool, AClearAfterPartialUseStartsTheStoresAndEdgesAfresh) {
    Reset();
    const poolVertex_t v = VertexAt(0, 0, 0);
    // Twice: after a first use, and after a second one that freed and reused entries.
    for (int round = 0; round < 2; round++) {
        int a = -1, b = -1;
        for (int i = 0; i < 50; i++) {
            b = WO_AddVertexToPool(&v, i, 3, 3, 0, 0, -1);
            WO_AddVertexToPool(&v, i, 3, 3, 0, 1, -1);  // a second vertex on the edge's ring
            a = a < 0 ? b : a;
            WO_AddFaceToVertex(b, WO_AddFace(b, b, b));
        }
        WO_SinkGarbageCount(a);
        WO_RemoveFace(0);
        WO_AddVertexToPool(&v, 9, 9, 9, 1, 0, -1);
        WO_ClearPool();
        EXPECT_EQ(WO_CountVertexesInPool(), 0);
        EXPECT_EQ(WO_CountFacesInPool(), 0);
        for (int i = 0; i < 50; i++)
            ASSERT_EQ(WO_GetIndexFromPool(i, 3, 3, 0, -1, -1), -1);
        EXPECT_EQ(WO_GetIndexFromPool(9, 9, 9, 1, -1, -1), -1);
        for (int i : {0, 49, 50, WO_POOL_SIZE - 1})
            EXPECT_EQ(wo_pool.nodes[i].weld.next, i);
        // Both stores hand out their entries from index 0 again.
        EXPECT_EQ(WO_AddVertexToPool(&v, 1, 1, 1, 0, 0, -1), 0);
        EXPECT_EQ(WO_AddVertexToPool(&v, 2, 1, 1, 0, 0, -1), 1);
        EXPECT_EQ(WO_AddFace(0, 1, 1), 0);
        EXPECT_EQ(WO_AddFace(0, 1, 1), 1);
        WO_ClearPool();
    }
}
