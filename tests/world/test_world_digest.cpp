// Digests of everything the world builds and answers on a few fixed worlds: every
// page's products, every live pool vertex and face, and the answers of rays, inside
// tests and box sweeps.  Faster code must leave every digest as it stands.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/com_geometry.h"
#include "tests/world/world_build.h"
#include "world/wo_local.h"

namespace {

using namespace worldbuild;

struct Digest {
    uint64_t h = 1469598103934665603ull;
    void Add(const void *data, size_t size) {
        const auto *b = static_cast<const unsigned char *>(data);
        for (size_t i = 0; i < size; i++)
            h = (h ^ b[i]) * 1099511628211ull;
    }
    template <typename T>
    void Add(const T &v) {
        Add(&v, sizeof(v));
    }
};

// Pool vertexes and faces are hashed by the order in which the pages first name
// them, not by their pool indexes: which free entry the pool hands out is its own
// business, while the triangles' geometry, what they share and how they weld are the
// world's answers.
struct Canonical {
    std::vector<int32_t> vertexId = std::vector<int32_t>(WO_POOL_SIZE, -1);
    std::vector<int32_t> faceId = std::vector<int32_t>(WO_POOL_FACES, -1);
    std::vector<int32_t> vertexes;  // pool index by canonical id
    int faces = 0;

    // A vertex's canonical id; its data goes into the digest where it is first named.
    int32_t Vertex(Digest &d, int32_t i) {
        if (i == WO_SHADOW_VERTEX)
            return -2;
        if (i < 0 || i >= WO_POOL_SIZE || !WO_TestBit(wo_pool.active, i))
            return -1;
        if (vertexId[i] >= 0)
            return vertexId[i];
        vertexId[i] = static_cast<int32_t>(vertexes.size());
        vertexes.push_back(i);
        d.Add(wo_pool.position[i]), d.Add(wo_pool.normal[i]), d.Add(wo_pool.axisMask[i]);
        d.Add(wo_pool.st[i]), d.Add(wo_pool.rgba[i]);
        d.Add(wo_pool.matter[i]), d.Add(wo_pool.facing[i]), d.Add(wo_pool.references[i]);
        return vertexId[i];
    }
    void Indexes(Digest &d, const int32_t *indexes, int count) {
        for (int k = 0; k < count; k++)
            d.Add(Vertex(d, indexes[k]));
    }
    // A face's canonical id; its vertexes and normal go in where it is first named.
    int32_t Face(Digest &d, int32_t f) {
        if (f < 0 || f >= WO_POOL_FACES || !WO_TestBit(wo_faces.active, f))
            return -1;
        if (faceId[f] >= 0)
            return faceId[f];
        faceId[f] = faces++;
        Indexes(d, wo_faces.vertexes[f], 3);
        d.Add(wo_faces.normal[f]);
        return faceId[f];
    }
};

uint64_t TessellationDigest() {
    Digest d;
    Canonical c;
    for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next) {
        d.Add(p->x), d.Add(p->y), d.Add(p->z);
        d.Add(p->cubeCases);
        d.Add(p->pvsOptimized);
        d.Add(p->cubeSurfs);
        d.Add(p->surfs, sizeof(woSurf_t) * p->numSurfs);
        c.Indexes(d, p->indexes, p->numIndexes);
        d.Add(p->shadowMins), d.Add(p->shadowMaxs);
        c.Indexes(d, p->shadowIndexes, p->numShadowIndexes);
        d.Add(p->matterBits);
        d.Add(p->batches);
        c.Indexes(d, p->batchIndexes, p->numBatchIndexes);
        for (int k = 0; k < p->numFaces; k++)
            d.Add(c.Face(d, p->faces[k]));
        d.Add(p->numSurfs), d.Add(p->numIndexes), d.Add(p->numShadowIndexes);
        d.Add(p->numBatchIndexes), d.Add(p->numFaces);
    }
    // Every live entry is named by some page, and the copies of one edge vertex are
    // welded into one ring.
    d.Add(WO_CountVertexesInPool()), d.Add(WO_CountFacesInPool());
    d.Add(c.vertexes.size()), d.Add(c.faces);
    for (const int32_t i : c.vertexes) {
        std::vector<int32_t> ring;
        for (int w = wo_pool.nodes[i].weld.next; w != i; w = wo_pool.nodes[w].weld.next)
            ring.push_back(c.vertexId[w]);
        std::sort(ring.begin(), ring.end());
        d.Add(ring.size());
        d.Add(ring.data(), ring.size() * sizeof(int32_t));
    }
    return d.h;
}

// Rays between random points of the world's middle, inside tests, and a few box sweeps.
uint64_t TraceDigest() {
    Digest d;
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-50, 50);
    for (int n = 0; n < 3000; n++) {
        const vec3_t a = {u(rng), u(rng), u(rng)};
        const vec3_t b = {u(rng), u(rng), u(rng)};
        trace_t tr;
        WO_RayTrace(&tr, a, n % 3 == 0 ? a : b);
        d.Add(tr);
    }
    for (int n = 0; n < 20; n++) {
        obb_t a = {}, b = {};
        for (obb_t *box : {&a, &b}) {
            box->halfSize[0] = box->halfSize[2] = 0.6f;
            box->halfSize[1] = 1.4f;
            box->axis[0][0] = box->axis[1][1] = box->axis[2][2] = 1;
            for (int k = 0; k < 3; k++)
                box->origin[k] = u(rng) * 0.8f;
        }
        trace_t tr;
        WO_VolumeTrace(&tr, &a, &b);
        d.Add(tr);
    }
    return d.h;
}

struct Expected {
    const char *world;
    uint64_t tessellation, traces;
};

TEST(WorldDigest, TessellationAndTracesMatchTheRecordedDigests) {
    const Expected expected[] = {
        {"ball 20", 0xecc1d1de4018ee9bull, 0xff93ceeeac0f39b3ull},
        {"ball 40", 0x74bf3b758d81217eull, 0x5f95e71d571ce1d5ull},
        {"terrain", 0xa4efc0281420fd88ull, 0x61c892f92849a79eull},
        {"ball 40 after explosions", 0x7edc624805d5b262ull, 0xd477ce3a73dd7efaull},
    };
    for (const Expected &e : expected) {
        SCOPED_TRACE(e.world);
        const std::string world = e.world;
        if (world == "ball 20")
            Build(Ball(20));
        else if (world == "terrain")
            Build(TerrainVoxel);
        else
            Build(Ball(40, 2));
        TessAll();
        if (world == "ball 40 after explosions") {
            // Two overlapping craters, the second across page borders, each
            // re-tessellated as the server does after its explosion.
            for (const auto &centre : {std::array<int, 3>{114, 66, 67}, std::array<int, 3>{112, 68, 64}}) {
                for (const VoxelChange &c : Crater(centre[0], centre[1], centre[2], 3))
                    SetVoxel(c.x, c.y, c.z, c.after);
                TessDirty();
            }
        }
        const uint64_t tess = TessellationDigest(), traces = TraceDigest();
        EXPECT_EQ(tess, e.tessellation) << std::hex << "0x" << tess;
        EXPECT_EQ(traces, e.traces) << std::hex << "0x" << traces;
    }
}


// A world re-tessellated many times, its pool handed out and taken back in every
// order a long-running server gets to, builds what the same world builds fresh.
TEST(WorldDigest, ALongRunningWorldBuildsWhatAFreshOneBuilds) {
    for (const bool terrain : {false, true}) {
        SCOPED_TRACE(terrain ? "terrain" : "ball 40");
        if (terrain)
            Build(TerrainVoxel);
        else
            Build(Ball(40, 1));
        TessAll();
        const uint64_t fresh = TessellationDigest();
        for (int round = 0; round < 6; round++)
            TessAll();
        EXPECT_EQ(TessellationDigest(), fresh);
    }
}

}  // namespace
