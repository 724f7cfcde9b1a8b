// The server game's entry points.  No match can run in this build yet: the
// engine's server cannot start one, so every answer here is "no server".
#include "game_sv/sg_main.h"

#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"

sgGame_t sg;
sgState_t sgs;
cmdVar_t sg_printCmove;

void SG_Imp(uint8_t engineStart) {
    memset(&sg, 0, sizeof sg);
    memset(&sgs, 0, sizeof sgs);
    if (engineStart) Trap_CreateCVar(&sg_printCmove, "sg_printCmove", "0", 0);
}

void SG_ClientConnect(const netadr_t *address, const char *name, int32_t reserved, int32_t challenge) {
    (void)address;
    (void)reserved;
    (void)challenge;
    Com_Error(ER_WARNING, "SG_ClientConnect: %s refused: no match runs", name ? name : "");
}

sgClient_t *SG_ClientRecord(int32_t number) {
    return number >= 0 && number < SG_CLIENTS ? &sgs.clients[number] : nullptr;
}

void SG_DropClient(sgClient_t *client, const char *reason) {
    (void)client;
    (void)reason;
}

void SG_Frame() {
    G_SetSG();
    G_SetUndefined();
}

void SG_ShutdownServer(uint8_t keepClients) { (void)keepClients; }

void SG_GetServerInfo(char *rules, char *gameName, int32_t *protocol, char *version) {
    rules[0] = 0;
    gameName[0] = 0;
    *protocol = 0;
    version[0] = 0;
}
