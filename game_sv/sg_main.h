// The server game as the module's call dispatcher reaches it.
#pragma once

#include <cstdint>

#include "base/cmd.h"

struct netadr_t;
struct sgClient_t;

constexpr int SG_MAX_CLIENTS = 16;

extern cmdVar_t sg_printCmove;  // not 0: movement prints its debug line

// Call 4: clears the server game's state (flag 1 at engine start, 0 after a
// game-time wrap); creates its variables at engine start only, since they live on.
void SG_Imp(uint8_t engineStart);
// Call 5: admits a player at that address, or refuses with a message.
void SG_ClientConnect(const netadr_t *address, const char *name, int32_t reserved, int32_t challenge);
// The client record of a number 0..15; null when the server game holds none.
sgClient_t *SG_ClientRecord(int32_t number);
// Call 6: lets a client go; a null record does nothing.
void SG_DropClient(sgClient_t *client, const char *reason);
// Call 7: one server-game frame, inside the server-game context.
void SG_Frame();
// Call 8 and the module's shutdown: ends the match when one runs.
void SG_ShutdownServer(uint8_t keepClients);
// Call 9: fills the four 256-byte answers; empty and zero when no server runs.
void SG_GetServerInfo(char *rules, char *gameName, int32_t *protocol, char *version);
