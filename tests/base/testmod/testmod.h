// A stand-in game module for the host's tests: it answers GetGameAPI with what
// the test configured and records every call it receives.
#pragma once

#include "game/g_public.h"

struct testModState_t {
    // What GetGameAPI answers.
    uint32_t magic;
    uint32_t apiVersion;
    uint32_t size;
    uint8_t noCall;  // answers without a call dispatcher
    // What GetGameAPI received.
    gameImport_t import;
    // The calls received: the test names the kind of each word before a call
    // (P pointer, W 32-bit word, B byte) and the module decodes them during it.
    const char *kinds;
    int calls;
    int number;
    int64_t values[GAME_MAX_ARGS];
    int32_t result;  // what every call returns
};

// The module's state, found by the test with dlsym.
extern "C" testModState_t *TestMod_State();
