// Particles and marks in the client game, against the stand-in engine: a full pool
// of 10,000 particles updated and drawn every frame, and the re-clipping of 256
// marks after one explosion (the module's side: the engine's clipper here answers
// every box at once with a mesh of typical size).
#include <benchmark/benchmark.h>

#include <string>

#include "tests/game_cl/effects_setup.h"

namespace {

constexpr float IDENTITY[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

// Ten classes over three materials, long-lived, slow, some rotating and fading:
// the pool stays full while it is measured.
void FillPool() {
    for (int i = 0; i < 10; i++) {
        const std::string material = "m" + std::to_string(i % 3) + ".material";
        fake::materialHandles[material] = 10 + i % 3;
        const std::string path = "c" + std::to_string(i) + ".particle";
        fake::files[path] = "material " + material +
                            "\nmaxTime 100000\nspawnRect 20 5 20\nspawnMinSpeed 0.1\nspawnMaxSpeed 0.5\n"
                            "gravityFactor 0.01\nbeginFade 0.5\nendFade 1\nspawnMaxRotation 90\n"
                            "minRotationSpeed -10\nmaxRotationSpeed 10\nspawnMinAspectRatio 0.5\n";
        const int32_t h = CG_LoadParticle(path.c_str());
        const float origin[3] = {0, 30, 40};
        for (int k = 0; k < MAX_PARTICLES / 10; k++) CG_CreateParticle(h, origin, IDENTITY);
    }
}

void BM_ParticlesUpdateAndDraw(benchmark::State &state) {
    StartClientEffects();
    FillPool();
    const float eye[3] = {0, 30, 0};
    for (auto _ : state) {
        fake::surfaces.clear();
        fake::allocLayouts.clear();
        qgame.frameCount++;
        qgame.frameSeconds = 0.016f;
        CG_UpdateParticles();
        CG_AddParticlesToSceneFrom({eye, IDENTITY, 90.0f, nullptr});
        benchmark::DoNotOptimize(g_numDrawnParticles);
    }
    state.counters["active"] = g_numActiveParticles;
    state.counters["drawn"] = g_numDrawnParticles;
    state.SetItemsProcessed(state.iterations() * g_numActiveParticles);
    CG_ClearParticles();
    fake::Uninstall();
}
BENCHMARK(BM_ParticlesUpdateAndDraw)->Unit(benchmark::kMicrosecond);

// 256 marks on a floor; one explosion's box covers them all, and each frame of the
// benchmark is one such change.
void BM_ReclipMarksAfterExplosion(benchmark::State &state) {
    StartClientEffects();
    fake::decalVertexes = 48;
    fake::decalIndexes = 72;
    const float up[3] = {0, 1, 0};
    for (int i = 0; i < 256; i++) {
        const float origin[3] = {static_cast<float>(i % 16), 0, static_cast<float>(i / 16)};
        CG_Mark(5, origin, up, 0.5f, 1000000, 0);
    }
    const float mins[3] = {-2, -2, -2}, maxs[3] = {18, 2, 18};
    for (auto _ : state) {
        fake::decalCalls.clear();
        qgame.frameCount++;
        CG_RetesselateMark(mins, maxs);
        benchmark::DoNotOptimize(q_marks[0].numVerts);
    }
    state.counters["reclipped"] = static_cast<double>(fake::decalCalls.size());
    CG_ClearMarks();
    fake::Uninstall();
}
BENCHMARK(BM_ReclipMarksAfterExplosion)->Unit(benchmark::kMicrosecond);

}  // namespace
