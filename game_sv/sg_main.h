// The server game as the module's call dispatcher reaches it: the operations of
// calls 4 to 9 and the client records the engine names by number.
#pragma once

#include "game_sv/sg_local.h"

constexpr int SG_MAX_CLIENTS = SG_CLIENTS;
