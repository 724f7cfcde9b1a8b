// Tessellation speed: whole worlds against a plain marching cubes and OpenVDB's mesher
// over the same field, measured in the same iterations; the steady re-tessellation of
// a long-running server; the re-tessellation after one explosion.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "anchors/openvdb_mesh.h"
#include "server/sv_world.h"
#include "tests/world/plain_reference.h"
#include "tests/world/world_build.h"
#include "world/wo_local.h"

namespace {

using namespace worldbuild;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

// The fields: 0 a ball of radius 20, 1 a ball of radius 40, 2 the noisy terrain.
void BuildField(int which) {
    if (which == 2)
        Build(TerrainVoxel);
    else
        Build(Ball(which == 0 ? 20.0f : 40.0f));
}
const char *FieldName(int which) { return which == 0 ? "ball r=20" : which == 1 ? "ball r=40" : "terrain"; }

int SurfaceTriangles() {
    int n = 0;
    for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        n += p->numIndexes / 3;
    return n;
}

// What loading a world pays for its surfaces: the pool cleared, every stored page
// tessellated from nothing, the final stage.
void TessellateFromNothing() {
    WO_ClearPool();
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        WO_ForgetPageProducts(p);
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        WO_TessPageStage1(p);
    WO_TessPageStageFinal();
    WO_CalcPagedBounds();
}

// Runs the world's work and its anchors alternately, the order turned every
// iteration so that a loaded machine slows all alike: the plain loop, and OpenVDB's
// mesher where it was found (withOpenVdb).  The world's time is the benchmark's; "x
// plain" and "x openvdb" are the medians of the ratios within one iteration.
template <typename Work>
void AgainstAnchors(benchmark::State &state, Work work, bool withOpenVdb) {
    const std::vector<uint8_t> field = benchref::DensityField();
#if HM_OPENVDB
    if (withOpenVdb)
        anchor::OpenVdbLoad(field);
#else
    withOpenVdb = false;
#endif
    std::vector<float> triangles;
    triangles.reserve(1 << 22);
    std::vector<double> plainRatios, vdbRatios, worldTimes, plainTimes, vdbTimes;
    size_t plainTriangles = 0, vdbTriangles = 0;
    const int works = withOpenVdb ? 3 : 2;
    int first = 0;
    for (auto _ : state) {
        first = (first + 1) % works;
        double world = 0, plain = 0, vdb = 0;
        for (int pass = 0; pass < works; pass++) {
            const int which = (first + pass) % works;
            const auto t0 = Clock::now();
            if (which == 0) {
                work();
                world = Seconds(t0, Clock::now());
            } else if (which == 1) {
                plainTriangles = benchref::MarchingCubes(field, triangles);
                benchmark::DoNotOptimize(triangles.data());
                plain = Seconds(t0, Clock::now());
            } else {
#if HM_OPENVDB
                vdbTriangles = anchor::OpenVdbMesh();
#endif
                vdb = Seconds(t0, Clock::now());
            }
        }
        state.SetIterationTime(world);
        worldTimes.push_back(world);
        plainTimes.push_back(plain);
        plainRatios.push_back(world / plain);
        if (withOpenVdb) {
            vdbTimes.push_back(vdb);
            vdbRatios.push_back(world / vdb);
        }
    }
    const int pages = WO_CountPagedPages();
    state.SetLabel(FieldName(static_cast<int>(state.range(0))));
    state.counters["x plain"] = Median(plainRatios);
    state.counters["world ms"] = Median(worldTimes) * 1e3;
    state.counters["plain ms"] = Median(plainTimes) * 1e3;
    if (withOpenVdb) {
        state.counters["x openvdb"] = Median(vdbRatios);
        state.counters["openvdb ms"] = Median(vdbTimes) * 1e3;
        state.counters["openvdb triangles"] = static_cast<double>(vdbTriangles);
    }
    state.counters["pages"] = pages;
    state.counters["pages/s"] = benchmark::Counter(pages, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["triangles"] = SurfaceTriangles();
    state.counters["plain triangles"] = static_cast<double>(plainTriangles);
    state.counters["vertexes"] = WO_CountVertexesInPool();
}

// A world tessellated from nothing, as after loading it.
void BM_FullWorld(benchmark::State &state) {
    BuildField(static_cast<int>(state.range(0)));
    AgainstAnchors(state, TessellateFromNothing, true);
}
BENCHMARK(BM_FullWorld)->DenseRange(0, 2)->UseManualTime()->Unit(benchmark::kMillisecond);

// Stage 0 and stage 1 on every page and the final stage, what wo_retess does, on a
// pool that has been through many such rounds already: the state a long-running
// server reaches, so that no iteration depends on how many ran before it.
void BM_Retess(benchmark::State &state) {
    BuildField(static_cast<int>(state.range(0)));
    for (int round = 0; round < 80; round++)
        TessAll();
    AgainstAnchors(state, TessAll, false);
}
BENCHMARK(BM_Retess)->DenseRange(0, 2)->UseManualTime()->Unit(benchmark::kMillisecond);

// A crater of radius 3 voxels (2.4 world units) in the surface of the ball of radius
// 40, as one explosion digs it, and the re-tessellation of the pages it dirtied.
// Iterations alternate between digging it and filling it back, two changes of the
// same size, so every iteration starts from the same kind of world.
void BM_Explosion(benchmark::State &state) {
    Build(Ball(40));
    TessAll();
    const std::vector<VoxelChange> crater = Crater(64 + 50, 66, 67, 3);
    bool dig = false;
    int pages = 0;
    for (auto _ : state) {
        dig = !dig;
        for (const VoxelChange &c : crater)
            SetVoxel(c.x, c.y, c.z, dig ? c.after : c.before);
        pages = TessDirty();
    }
    state.counters["voxels changed"] = static_cast<double>(crater.size());
    state.counters["pages"] = pages;
    state.counters["changed voxels/s"] =
        benchmark::Counter(static_cast<double>(crater.size()), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["pages/s"] = benchmark::Counter(pages, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Explosion)->Unit(benchmark::kMicrosecond);

// The same crater as the server makes it: its voxel writes, then both cleaning passes
// (compression and checksums, re-tessellation, the freeing check), in a world of
// 8,000 stored pages of which the explosion touches a few dozen.
void BM_ExplosionOnServer(benchmark::State &state) {
    Build(Ball(40));
    TessAll();
    SV_CleanDirtyVoxels();
    const std::vector<VoxelChange> crater = Crater(64 + 50, 66, 67, 3);
    bool dig = false;
    for (auto _ : state) {
        dig = !dig;
        for (const VoxelChange &c : crater) {
            const voxel_t v = dig ? c.after : c.before;
            SV_SetVoxel(c.x, c.y, c.z, SV_VOXEL_SET, WO_Matter(v), WO_Density(v));
        }
        SV_CleanDirtyVoxels();
        SV_CleanDirtySurfaces();
    }
    state.counters["voxels changed"] = static_cast<double>(crater.size());
    state.counters["live pages"] = WO_CountPagedPages();
}
BENCHMARK(BM_ExplosionOnServer)->Unit(benchmark::kMicrosecond);

}  // namespace
