// Hot geometric routines: the triangle–box overlap test (tessellation and
// deformation), the grid walks (traces and occlusion) and the byte-direction
// encoder (every snapshot direction).
#include <benchmark/benchmark.h>

#include <array>
#include <random>
#include <vector>

#include "common/com_geometry.h"
#include "common/com_grid.h"
#include "common/com_noise.h"

namespace {

struct TriBoxCase {
    vec3_t a, b, c;
    obb_t box;
};

std::vector<TriBoxCase> MakeTriBoxCases() {
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> pos(-3, 3), ang(-180, 180), size(0.2f, 1.5f);
    std::vector<TriBoxCase> cases(1024);
    for (TriBoxCase &c : cases) {
        for (int i = 0; i < 3; i++) {
            c.a[i] = pos(rng);
            c.b[i] = pos(rng);
            c.c[i] = pos(rng);
            c.box.origin[i] = pos(rng) * 0.3f;
            c.box.halfSize[i] = size(rng);
        }
        const vec3_t angles = {ang(rng), ang(rng), ang(rng)};
        matrix3x3_t m;
        BuildRotationMatrix3x3(m, angles);
        for (int i = 0; i < 3; i++) _VectorCopy(c.box.axis[i], m + 3 * i);
        MatrixCopy3x3(c.box.axisT, m);
        MatrixTranspose3x3(c.box.axisT);
    }
    return cases;
}

void BM_TriangleToOBB(benchmark::State &state) {
    const auto cases = MakeTriBoxCases();
    size_t i = 0;
    for (auto _ : state) {
        const TriBoxCase &c = cases[i++ & 1023];
        benchmark::DoNotOptimize(CM_TriangleToOBB(c.a, c.b, c.c, &c.box));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TriangleToOBB);

int g_cellCount;
int CountCell(const int cell[3]) {
    g_cellCount += cell[0] & 1;
    return 1;
}

// A walk across the 32-page grid of the world, diagonally.
void BM_Bresenham3D(benchmark::State &state) {
    const int start[3] = {0, 3, 7}, end[3] = {31, 27, 20};
    for (auto _ : state) benchmark::DoNotOptimize(Com_Bresenham3D(start, end, CountCell));
    state.SetItemsProcessed(state.iterations() * 32);
}
BENCHMARK(BM_Bresenham3D);

// A ray trace through the 128-voxel world: about 300 cells per walk.
void BM_VarekLine3D(benchmark::State &state) {
    const vec3_t start = {0.3f, 5.7f, 1.1f}, end = {127.2f, 90.4f, 100.9f};
    const int offset[3] = {0, 0, 0};
    for (auto _ : state) {
        Com_VarekLine3D(start, end, offset, CountCell);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VarekLine3D);

void BM_Dir2Byte(benchmark::State &state) {
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> u(-1, 1);
    std::vector<std::array<float, 3>> dirs(1024);
    for (auto &d : dirs) {
        d = {u(rng), u(rng), u(rng)};
        VectorNormalize(d.data());
    }
    size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(Dir2Byte(dirs[i++ & 1023].data()));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Dir2Byte);

}  // namespace
