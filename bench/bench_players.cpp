// Sixteen animated players in the client game, against the stand-in engine: each
// frame every player's client think plays and advances its animation channels, and
// its drawer samples them into bone matrices, resolves the skeleton and hands the
// body, the gun at the hand tag and the magazine at the gun's tag to the renderer.
// The models are the shipped ones (humanoid skeleton, gun template).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "game/g_entity.h"
#include "game/g_main.h"
#include "game/g_weapon.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_drawents.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_model.h"
#include "tests/game/fake_engine.h"

namespace {

constexpr int PLAYERS = 16;
constexpr uint8_t LEGS_RUN = 2;

// The shipped files below folder, by their paths under data/.
void AddDataFiles(const char *folder) {
    const std::filesystem::path data = std::filesystem::path(HM_SOURCE_DIR) / "data";
    for (const auto &entry : std::filesystem::recursive_directory_iterator(data / folder)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream f(entry.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << f.rdbuf();
        fake::files[std::filesystem::relative(entry.path(), data).generic_string()] = bytes.str();
    }
}

void BM_SixteenPlayersSampledAndDrawn(benchmark::State &state) {
    fake::Install();
    qgame = fake::qg;
    G_SetCG();
    CG_RegisterVariables();
    G_DefineWeapons();
    for (const char *folder : {"game/base/models", "game/p_swat", "game/w_minigun"}) AddDataFiles(folder);
    cg.loadingBlocked = 0;
    CG_UnloadModel(0);
    CG_LoadDefaultModel();
    g_entityMedia[ET_PLAYER].models[0] = CG_LoadModel("game/p_swat/swat.model");
    g_weaponMedia[WP_MINIGUN].model = CG_LoadModel("game/w_minigun/minigun.model");
    g_weaponMedia[WP_MINIGUN].ammoModel = CG_LoadModel("game/w_minigun/ammo.model");
    if (!g_entityMedia[ET_PLAYER].models[0] || !g_weaponMedia[WP_MINIGUN].model) {
        state.SkipWithError("the shipped player or gun model did not load");
        return;
    }
    // A ring of running players around the view, each turned its own way.
    static centity_t players[PLAYERS];
    for (int i = 0; i < PLAYERS; i++) {
        centity_t &p = players[i];
        p = centity_t{};
        p.s.inUse = 1;
        p.s.type = ET_PLAYER;
        p.s.serial = 100 + i;
        p.s.weapon = WP_MINIGUN;
        p.s.anim1 = LEGS_RUN;
        p.s.angles[2] = 22.5f * static_cast<float>(i);
        p.s.origin[0] = static_cast<float>(i % 4) * 2.0f;
        p.s.origin[2] = 5.0f + static_cast<float>(i / 4) * 2.0f;
        memcpy(&p.s.ellipticAxis[0][0], identitymatrix3x3, sizeof p.s.ellipticAxis);
    }
    int64_t bones = 0, instances = 0;
    for (auto _ : state) {
        fake::bonesAllocated = 0;
        fake::surfaceEntities.clear();
        qgame.frameCount++;
        qgame.time += 16;
        qgame.frameSeconds = 0.016f;
        for (centity_t &p : players) {
            CG_PlayerThink(&p);
            CG_DrawPlayerModel(&p, 0);
        }
        bones += fake::bonesAllocated;
        instances += static_cast<int64_t>(fake::surfaceEntities.size());
        benchmark::DoNotOptimize(cg.lastBones[0][3]);
    }
    const double frames = static_cast<double>(state.iterations());
    state.counters["bones/frame"] = static_cast<double>(bones) / frames;
    state.counters["instances/frame"] = static_cast<double>(instances) / frames;
    state.SetItemsProcessed(state.iterations() * PLAYERS);
    memset(g_entityMedia, 0, sizeof g_entityMedia);
    memset(g_weaponMedia, 0, sizeof g_weaponMedia);
    CG_UnloadAnimation(0);
    CG_UnloadModel(0);
    fake::Uninstall();
}
BENCHMARK(BM_SixteenPlayersSampledAndDrawn)->Unit(benchmark::kMicrosecond);

}  // namespace
