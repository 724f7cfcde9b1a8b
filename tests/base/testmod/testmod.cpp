// A stand-in game module; built once with GetGameAPI and once without it.
#include "tests/base/testmod/testmod.h"

#include <cstring>

static testModState_t state = {GAME_API_MAGIC, GAME_API_VERSION, sizeof(gameExport_t), 0, {}, "", 0, -1, {}, 0};

extern "C" __attribute__((visibility("default"))) testModState_t *TestMod_State() { return &state; }

[[maybe_unused]] static int32_t Call(int number, gameArg_t *args) {
    state.calls++;
    state.number = number;
    for (int i = 0; state.kinds[i]; i++) {
        switch (state.kinds[i]) {
        case 'P': state.values[i] = args[i]; break;
        case 'W': state.values[i] = Arg_Int(args, i); break;
        case 'B': state.values[i] = Arg_Byte(args, i); break;
        default: state.values[i] = -1; break;
        }
    }
    return state.result;
}

#ifndef TESTMOD_NO_API
extern "C" __attribute__((visibility("default"))) gameExport_t GetGameAPI(gameImport_t import) {
    state.import = import;
    gameExport_t ge = {};
    ge.magic = state.magic;
    strcpy(ge.name, "TestMod");
    strcpy(ge.version, "0.1");
    ge.protocol = GAME_PROTOCOL;
    ge.apiVersion = state.apiVersion;
    ge.size = state.size;
    ge.call = state.noCall ? nullptr : Call;
    return ge;
}
#endif
