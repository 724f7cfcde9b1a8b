// The engine's side of re-clipping marks after one explosion: 256 decal boxes on the
// top of a ball world, each cut by the decal clipper into the caller's arrays of the
// client game's size (1024 vertexes, 6144 indexes).
#include <benchmark/benchmark.h>

#include <vector>

#include "client/cl_decal.h"
#include "tests/world/world_build.h"

namespace {

constexpr int MARKS = 256;
constexpr float BALL_RADIUS = 40.0f;

void BM_ClipDecalsAfterExplosion(benchmark::State &state) {
    hm_test::StartCapture();
    worldbuild::Build(worldbuild::Ball(BALL_RADIUS));
    worldbuild::TessAll();
    cl_minDecalZ.value = 0.3f;
    std::vector<poolVertex_t> verts(1024);
    std::vector<int32_t> indexes(6144);
    // Boxes on the top of the ball, 16 by 16 half a unit apart, row 2 the surface's
    // normal as the client game gives it for a mark.
    const float axes[9] = {1, 0, 0, 0, 0, 1, 0, 1, 0};
    const float size[3] = {1.0f, 1.0f, 1.0f};
    int64_t clippedIndexes = 0;
    for (auto _ : state) {
        clippedIndexes = 0;
        for (int i = 0; i < MARKS; i++) {
            const float origin[3] = {0.5f * static_cast<float>(i % 16 - 8), BALL_RADIUS,
                                     0.5f * static_cast<float>(i / 16 - 8)};
            int32_t numVerts = 0, numIndexes = 0;
            CL_ClipDecal(&numVerts, &numIndexes, verts.data(), indexes.data(), origin, axes, size, 1024, 6144);
            clippedIndexes += numIndexes;
        }
        benchmark::DoNotOptimize(clippedIndexes);
    }
    state.counters["indexes per mark"] = static_cast<double>(clippedIndexes) / MARKS;
    hm_test::StopCapture();
}
BENCHMARK(BM_ClipDecalsAfterExplosion)->Unit(benchmark::kMicrosecond);

}  // namespace
