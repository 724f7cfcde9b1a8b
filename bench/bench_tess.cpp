// Tessellation speed: whole worlds, and the re-tessellation after one explosion.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "tests/world/world_build.h"
#include "world/world.h"

namespace {

using namespace worldbuild;

int SurfaceTriangles() {
    int n = 0;
    for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        n += p->numIndexes / 3;
    return n;
}

void WorldCounters(benchmark::State &state) {
    const double voxels = WO_WORLD_VOXELS * WO_WORLD_VOXELS * WO_WORLD_VOXELS;
    state.counters["voxels/s"] = benchmark::Counter(voxels, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["triangles/s"] =
        benchmark::Counter(SurfaceTriangles(), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["pages"] = WO_CountPagedPages();
    state.counters["triangles"] = SurfaceTriangles();
    state.counters["vertexes"] = WO_CountVertexesInPool();
}

// A world tessellated from nothing, as after loading it: an empty pool, stage 1 on
// every page, the final stage.
void BM_FullWorld(benchmark::State &state) {
    Build(Ball(static_cast<float>(state.range(0))));
    for (auto _ : state) {
        state.PauseTiming();
        WO_ClearPool();
        for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
            WO_ForgetPageProducts(p);
        state.ResumeTiming();
        for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
            WO_TessPageStage1(p);
        WO_TessPageStageFinal();
        WO_CalcPagedBounds();
    }
    WorldCounters(state);
}
BENCHMARK(BM_FullWorld)->Arg(20)->Arg(40)->Unit(benchmark::kMillisecond);

// Stage 0 and stage 1 on every page, and the final stage: what wo_retess does.
void BM_Retess(benchmark::State &state) {
    Build(Ball(static_cast<float>(state.range(0))));
    for (auto _ : state)
        TessAll();
    WorldCounters(state);
}
BENCHMARK(BM_Retess)->Arg(20)->Arg(40)->Unit(benchmark::kMillisecond);

// A crater of radius 3 voxels (2.4 world units) dug into the ball's surface, as one
// explosion does: the changed voxels are set, then the dirty pages re-tessellated.
void BM_Explosion(benchmark::State &state) {
    Build(Ball(40));
    TessAll();
    struct Change {
        int x, y, z;
        voxel_t before, after;
    };
    std::vector<Change> crater;
    const int cx = 64 + 50, cy = 66, cz = 67;
    const float r = 3;
    for (int z = cz - 4; z <= cz + 4; z++)
        for (int y = cy - 4; y <= cy + 4; y++)
            for (int x = cx - 4; x <= cx + 4; x++) {
                const float d = std::sqrt(float((x - cx) * (x - cx) + (y - cy) * (y - cy) + (z - cz) * (z - cz)));
                const voxel_t before = WO_GetVoxel(x, y, z);
                int density = static_cast<int>(std::lround(128 - 24 * (r - d)));
                density = density < 0 ? 0 : density;
                if (density < WO_Density(before))
                    crater.push_back({x, y, z, before, static_cast<voxel_t>(density)});
            }
    int pages = 0, triangles = 0;
    for (auto _ : state) {
        for (const Change &c : crater)
            SetVoxel(c.x, c.y, c.z, c.after);
        const std::vector<page_t *> retessellated = DirtyPages();
        pages = TessDirty();
        state.PauseTiming();
        triangles = 0;
        for (const page_t *p : retessellated)
            triangles += p->numIndexes / 3;
        for (const Change &c : crater)
            SetVoxel(c.x, c.y, c.z, c.before);
        TessDirty();
        state.ResumeTiming();
    }
    state.counters["voxels changed"] = static_cast<double>(crater.size());
    state.counters["pages"] = pages;
    state.counters["voxels/s"] =
        benchmark::Counter(pages * WO_PAGE_SIZE, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["triangles/s"] = benchmark::Counter(triangles, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Explosion)->Unit(benchmark::kMicrosecond);

}  // namespace
