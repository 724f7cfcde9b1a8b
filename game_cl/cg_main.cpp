// The client game's entry points.  It cannot present a game in this build yet:
// joining a server or loading a world is refused with an error, never faked.
#include "game_cl/cg_main.h"

#include "common/common.h"
#include "game/g_main.h"

static uint8_t cg_initialized;

void CG_Imp() {}
void CG_Init() { cg_initialized = 1; }
void CG_Shutdown() { cg_initialized = 0; }
uint8_t CG_IsInitialized() { return cg_initialized; }

uint8_t CG_ConnectedToServer() {
    Com_Error(ER_WARNING, "CG_ConnectedToServer: the client game cannot play in this build");
    return 0;
}

uint8_t CG_MapChange(const char *worldInfo) {
    (void)worldInfo;
    Com_Error(ER_WARNING, "CG_MapChange: the client game cannot load a world in this build");
    return 0;
}

void CG_RestartRenderer() {}
void CG_CCFrame() {}

void CG_Frame() {
    G_SetCG();
    G_SetUndefined();
}

void CG_RetesselateMark(const float *mins, const float *maxs) {
    (void)mins;
    (void)maxs;
}

void CG_Disconnect(uint8_t flag) { (void)flag; }
