// libFuzzer target: the module's action-script reader, fed with hostile text.
//
// Every input is loaded as an action script (which may start itself) and played
// until it ends or for a bounded number of frames, and is also run as one frame
// action.  Playing must end, keep every slot's cursor inside its script's text and
// leave no slot behind once the scripts are shut down.
//
// Built and run by scripts/fuzz.sh.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "game_cl/cg_actions.h"
#include "game_cl/cg_centities.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_model.h"
#include "game_cl/cg_particle_class.h"
#include "tests/game/fake_engine.h"

namespace {

constexpr int FRAMES = 64;

void CheckCursors() {
    for (const actionPlaying_t &p : g_actionPlayings) {
        if (!p.script) continue;
        const size_t length = strlen(p.script->text);
        if (p.cursor < p.script->text || p.cursor > p.script->text + length) abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fake::Install();
    const std::string text(reinterpret_cast<const char *>(data), size);
    fake::files["fuzz.action"] = text;
    fake::files["s.wav"] = "x";
    fake::registerFromFiles = true;
    qgame = fake::qg;
    CG_LoadDefaultParticle();
    CG_InitActionScripts();
    CG_ClearCEntities();

    const vec3_t origin = {1, 2, 3};
    const float axis[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    CG_RunActionScript("fuzz.action", origin, axis, 2.5f, -1.0f);
    for (int f = 0; f < FRAMES; f++) {
        CheckCursors();
        fake::Advance(16);
        qgame = fake::qg;
        CG_UpdateActionScripts();
    }
    CG_RunAction(text.c_str(), origin, axis, 0.5f, 7.0f);

    CG_ShutdownActionScripts();
    for (const actionPlaying_t &p : g_actionPlayings)
        if (p.script) abort();
    CG_UnloadParticle(0);
    fake::Uninstall();
    return 0;
}
