// World queries on a ball above a floor: rays (bullets, hologram aims), box sweeps
// (movement), and the occlusion set that the server builds for every client in every
// frame.  Where Embree is found the rays run against it too (never in the engine).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <vector>

#if HM_EMBREE
#include <embree3/rtcore.h>
#endif

#include "tests/world/plain_reference.h"
#include "common/com_geometry.h"
#include "tests/world/world_build.h"
#include "world/wo_local.h"

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

#if HM_EMBREE
// The same rays against the same collision triangles in Embree, one thread, its
// bounding volume hierarchy built once beforehand (the world needs no such step).
// Batches alternate with the world's, the order swapped every iteration; the world's
// time is the benchmark's, "x embree" the median ratio of the world's rate to
// Embree's in one iteration, "agree" the share of rays whose answers match (both miss,
// or both stop within a hundredth of a unit of each other).
void BM_RayTraceAgainstEmbree(benchmark::State &state) {
    BuildBallAndFloor();
    const std::vector<Ray> rays = MakeRays();
    std::vector<float> corners;
    for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        for (int i = 0; i < p->numSurfs; i++)
            corners.insert(corners.end(), &p->surfs[i].points[0][0], &p->surfs[i].points[0][0] + 9);
    const size_t numTris = corners.size() / 9;

    using Clock = std::chrono::steady_clock;
    RTCDevice device = rtcNewDevice("threads=1");
    RTCScene scene = rtcNewScene(device);
    const auto buildStart = Clock::now();
    RTCGeometry geometry = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
    auto *vertexes = static_cast<float *>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0,
                                                                  RTC_FORMAT_FLOAT3, 3 * sizeof(float), numTris * 3));
    auto *indexes = static_cast<unsigned *>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0,
                                                                    RTC_FORMAT_UINT3, 3 * sizeof(unsigned), numTris));
    std::copy(corners.begin(), corners.end(), vertexes);
    for (size_t i = 0; i < numTris * 3; i++)
        indexes[i] = static_cast<unsigned>(i);
    rtcCommitGeometry(geometry);
    rtcAttachGeometry(scene, geometry);
    rtcReleaseGeometry(geometry);
    rtcCommitScene(scene);
    const double buildTime = std::chrono::duration<double>(Clock::now() - buildStart).count();

    std::vector<float> world(rays.size()), embree(rays.size());
    std::vector<double> ratios;
    bool worldFirst = false;
    for (auto _ : state) {
        worldFirst = !worldFirst;
        double worldTime = 0, embreeTime = 0;
        for (int pass = 0; pass < 2; pass++) {
            const auto t0 = Clock::now();
            if ((pass == 0) == worldFirst) {
                for (size_t i = 0; i < rays.size(); i++) {
                    trace_t tr;
                    WO_RayTrace(&tr, rays[i].start, rays[i].end);
                    world[i] = tr.fraction;
                }
                worldTime = std::chrono::duration<double>(Clock::now() - t0).count();
            } else {
                RTCIntersectContext context;
                rtcInitIntersectContext(&context);
                for (size_t i = 0; i < rays.size(); i++) {
                    const Ray &r = rays[i];
                    RTCRayHit rh = {};
                    rh.ray.org_x = r.start[0], rh.ray.org_y = r.start[1], rh.ray.org_z = r.start[2];
                    rh.ray.dir_x = r.end[0] - r.start[0], rh.ray.dir_y = r.end[1] - r.start[1];
                    rh.ray.dir_z = r.end[2] - r.start[2];
                    rh.ray.tnear = 0;
                    rh.ray.tfar = 1;
                    rh.ray.mask = ~0u;
                    rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
                    rtcIntersect1(scene, &context, &rh);
                    embree[i] = rh.hit.geomID == RTC_INVALID_GEOMETRY_ID ? 1 : rh.ray.tfar;
                }
                embreeTime = std::chrono::duration<double>(Clock::now() - t0).count();
            }
        }
        state.SetIterationTime(worldTime);
        ratios.push_back(embreeTime / worldTime);
    }
    int agree = 0;
    for (size_t i = 0; i < rays.size(); i++) {
        const float length = PointDistance(rays[i].start, rays[i].end);
        agree += (world[i] == 1) == (embree[i] == 1) && std::fabs(world[i] - embree[i]) * length <= 0.01f;
    }
    rtcReleaseScene(scene);
    rtcReleaseDevice(device);
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * rays.size()));
    state.counters["x embree"] = ratios.empty() ? 0 : ratios[ratios.size() / 2];
    state.counters["agree"] = static_cast<double>(agree) / rays.size();
    state.counters["embree build ms"] = buildTime * 1000;
    state.counters["triangles"] = static_cast<double>(numTris);
}
BENCHMARK(BM_RayTraceAgainstEmbree)->UseManualTime();
#endif

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
