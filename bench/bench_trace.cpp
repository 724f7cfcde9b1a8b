// World queries on a ball above a floor: rays (bullets, hologram aims), box sweeps
// (movement), and the occlusion set that the server builds for every client in every
// frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <vector>

#include "tests/world/plain_reference.h"
#include "common/com_geometry.h"
#include "tests/world/world_build.h"
#include "world/world.h"

namespace {

using namespace worldbuild;

// A ball of radius 20 at the origin resting above a floor whose top lies at y = -30.
void BuildBallAndFloor() {
    static bool built;
    if (built)
        return;
    built = true;
    Build([](int x, int y, int z) {
        const voxel_t ball = BallVoxel(x, y, z, 20);
        const float below = -30 - WO_VoxelToWorld(y);
        int floor = static_cast<int>(128 + 24 * below / WO_VOXEL_SIZE);
        floor = floor < 0 ? 0 : floor > 255 ? 255 : floor == 128 ? 129 : floor;
        return static_cast<voxel_t>(std::max<int>(WO_Density(ball), floor));
    });
    TessAll();
}

struct Ray {
    vec3_t start, end;
};

// Rays from the space above the scene to points of the ball and the floor, and a few
// that pass the ball and run out of the world.
std::vector<Ray> MakeRays() {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-1, 1);
    std::vector<Ray> rays(4096);
    for (Ray &r : rays) {
        const vec3_t from = {u(rng) * 45, 35 + u(rng) * 10, u(rng) * 45};
        const vec3_t to = {u(rng) * 50, -40 + u(rng) * 30, u(rng) * 50};
        _VectorCopy(r.start, from);
        _VectorCopy(r.end, to);
    }
    return rays;
}

// Batches of the same rays through the world's traces and through a plain voxel walk
// over the same densities, alternately (the order swapped every iteration); the
// world's time is the benchmark's, and "x plain" the median ratio of the world's rate
// to the walk's in one iteration.
void BM_RayTrace(benchmark::State &state) {
    BuildBallAndFloor();
    const std::vector<Ray> rays = MakeRays();
    const std::vector<uint8_t> field = benchref::DensityField();
    using Clock = std::chrono::steady_clock;
    std::vector<double> ratios;
    int hits = 0, plainHits = 0;
    bool worldFirst = false;
    for (auto _ : state) {
        worldFirst = !worldFirst;
        double world = 0, plain = 0;
        hits = plainHits = 0;
        for (int pass = 0; pass < 2; pass++) {
            const auto t0 = Clock::now();
            if ((pass == 0) == worldFirst) {
                for (const Ray &r : rays) {
                    trace_t tr;
                    WO_RayTrace(&tr, r.start, r.end);
                    hits += tr.fraction < 1;
                    benchmark::DoNotOptimize(tr);
                }
                world = std::chrono::duration<double>(Clock::now() - t0).count();
            } else {
                for (const Ray &r : rays)
                    plainHits += benchref::VoxelWalk(field, r.start, r.end) < 1;
                benchmark::DoNotOptimize(plainHits);
                plain = std::chrono::duration<double>(Clock::now() - t0).count();
            }
        }
        state.SetIterationTime(world);
        ratios.push_back(plain / world);
    }
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * rays.size()));
    state.counters["x plain"] = ratios.empty() ? 0 : ratios[ratios.size() / 2];
    state.counters["hit share"] = static_cast<double>(hits) / rays.size();
    state.counters["plain hit share"] = static_cast<double>(plainHits) / rays.size();
}
BENCHMARK(BM_RayTrace)->UseManualTime();

// The inside test of points around the ball's surface.
void BM_PointInside(benchmark::State &state) {
    BuildBallAndFloor();
    std::mt19937 rng(4);
    std::uniform_real_distribution<float> u(-25, 25);
    std::vector<Ray> points(4096);
    for (Ray &p : points)
        for (int k = 0; k < 3; k++)
            p.start[k] = u(rng);
    size_t i = 0;
    for (auto _ : state) {
        const Ray &p = points[i++ & (points.size() - 1)];
        trace_t tr;
        WO_RayTrace(&tr, p.start, p.start);
        benchmark::DoNotOptimize(tr);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_PointInside);

// A player-sized box falling 10 units onto the ball.
void BM_VolumeTrace(benchmark::State &state) {
    BuildBallAndFloor();
    obb_t a = {}, b = {};
    for (obb_t *box : {&a, &b}) {
        box->halfSize[0] = box->halfSize[2] = 0.6f;
        box->halfSize[1] = 1.4f;
        box->axis[0][0] = box->axis[1][1] = box->axis[2][2] = 1;
    }
    a.origin[1] = 32;
    b.origin[1] = 22;
    for (auto _ : state) {
        trace_t tr;
        WO_VolumeTrace(&tr, &a, &b);
        benchmark::DoNotOptimize(tr);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_VolumeTrace);

// The occlusion set of one eye above the floor, beside the ball.
void BM_OcclusionSet(benchmark::State &state) {
    BuildBallAndFloor();
    const vec3_t eye = {30, -20, 30};
    static pagePVS_t set;
    for (auto _ : state) {
        WO_SetupOVS(&set, eye);
        benchmark::DoNotOptimize(set.bits[0]);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_OcclusionSet);

}  // namespace
