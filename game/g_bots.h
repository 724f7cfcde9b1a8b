// The bots' brain: a server client without a network peer whose command the
// module makes each frame instead of receiving it.  The brain is minimal: it
// probes its surroundings (the results are kept for a smarter brain, nothing
// reads them yet) and then issues a fixed command chosen by its client's state.
#pragma once

#include <cstdint>

#include "game/g_public.h"

struct sgClient_t;

constexpr int BOT_MAX = 16;     // one record per client number
constexpr int BOT_PROBES = 27;  // a 3 x 3 x 3 grid of rays around the body

struct bot_t {
    cc_t *cc;                   // the command being filled this frame
    sgClient_t *client;         // the server game's record of the same number
    float probes[BOT_PROBES];   // fractions of the last probe rays, dz outer, dx inner
};

extern bot_t sg_bots[BOT_MAX];

// Fills cc for the bot of client number clientNum (0-15): cleared, then the
// command of its state.  Another number, or a number with no client record,
// leaves cc cleared.
void Bot_Frame(cc_t *cc, int32_t clientNum);
// The probe rays from the bot's origin, along world axes, against the world only.
void Bot_SetupAAS(bot_t *bot);
void Bot_NewBot(int32_t n);  // clears record n; another number does nothing
void Bot_Init();             // nothing to prepare
