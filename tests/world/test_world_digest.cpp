// Digests of everything the world builds and answers on a few fixed worlds: every
// page's products by value, its compact form and the matter checksum, and the answers
// of rays, inside tests, box tests and box sweeps.  Faster code must leave every
// digest as it stands; how the pool numbers its vertexes and faces is free.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

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

// A pool vertex by value: where it lies in the pool is the pool's own business.
void AddVertex(Digest &d, int i) {
    if (i == WO_SHADOW_VERTEX) {
        d.Add(i);
        return;
    }
    d.Add(wo_pool.position[i]), d.Add(wo_pool.normal[i]), d.Add(wo_pool.axisMask[i]);
    d.Add(wo_pool.st[i]), d.Add(wo_pool.rgba[i]);
    d.Add(wo_pool.matter[i]), d.Add(wo_pool.facing[i]);
}

// Every page's products: the triangles of its surface, batches and shadow as geometry,
// its collision triangles, and the page as it travels (its compact form and the matter
// checksum over all cells).
uint64_t TessellationDigest() {
    Digest d;
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next) {
        d.Add(p->x), d.Add(p->y), d.Add(p->z);
        d.Add(p->cubeCases);
        d.Add(p->pvsOptimized);
        d.Add(p->numSurfs);
        d.Add(p->cubeSurfs);
        d.Add(p->surfs, sizeof(woSurf_t) * p->numSurfs);
        d.Add(p->numIndexes);
        for (int k = 0; k < p->numIndexes; k++)
            AddVertex(d, p->indexes[k]);
        d.Add(p->shadowMins), d.Add(p->shadowMaxs);
        d.Add(p->numShadowIndexes);
        for (int k = 0; k < p->numShadowIndexes; k++)
            AddVertex(d, p->shadowIndexes[k]);
        d.Add(p->matterBits);
        d.Add(p->batches);
        d.Add(p->numBatchIndexes);
        for (int k = 0; k < p->numBatchIndexes; k++)
            AddVertex(d, p->batchIndexes[k]);
        d.Add(p->numFaces);
        WO_CompressPage(p);
        d.Add(p->compressedMatterSize), d.Add(p->compressedDensitySize);
        d.Add(p->compressed, static_cast<size_t>(p->compressedMatterSize + p->compressedDensitySize));
        p->voxelCrc = Com_GetCRC(p->voxels, sizeof(p->voxels));
    }
    d.Add(WO_CountVertexesInPool()), d.Add(WO_CountFacesInPool());
    wo_recalcChecksum = 1;
    d.Add(WO_GetMatterChecksum());
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
        // The box test alone, with the sweep's end box turned about two axes.
        const float turn = u(rng) * 0.05f;
        b.axis[0][1] = std::sin(turn), b.axis[0][0] = std::cos(turn);
        b.axis[2][1] = -std::sin(turn * 0.5f), b.axis[2][2] = std::cos(turn * 0.5f);
        obb_t blend;
        CM_LerpOBB(&blend, &a, &b, 0.5f);
        vec4_t plane = {};
        d.Add(WO_ClipObbToWorld(&blend, plane));
        d.Add(plane);
    }
    return d.h;
}

struct Expected {
    const char *world;
    uint64_t tessellation, traces;
};

TEST(WorldDigest, TessellationAndTracesMatchTheRecordedDigests) {
    const Expected expected[] = {
        {"ball 20", 0xf7ed3f77ab3f6275ull, 0x913892001a2c1787ull},
        {"ball 40", 0x3e5723b0d07a764cull, 0xb877473392547f2aull},
        {"terrain", 0x3b94b59cf1175c28ull, 0xecc63a7078b5d0b2ull},
        {"ball 40 after explosions", 0x29b185ae6f0941a2ull, 0xeac1c99facda9455ull},
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
