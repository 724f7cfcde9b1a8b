// The client game's entry points.  It cannot present a game in this build yet:
// joining a server or loading a world is refused with an error, never faked.
#include "game_cl/cg_main.h"

#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_cl/cg_commands.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_draw2d.h"
#include "game_cl/cg_local.h"

cg_t cg;
cgWorld_t cgw;

void CG_Imp() {
    memset(&cg, 0, sizeof cg);
    cg.loadingBlocked = 1;
    CG_RegisterCommands();
    CG_RegisterVariables();
    CG_Name_v();
}

// One frame while the client game loads: a black screen and "LOADING..." in its middle.
static void CG_DrawLoadingFrame() {
    const int32_t white = Trap_RegisterTexture("game/c_textures/white.tga");
    const int32_t font = Trap_RegisterFont("game/base/normal.font");
    Trap_R_BeginFrame();
    CG_DrawStretchPic(0, 0, 0, 640, 480, color_black, -white, 0);
    CG_DrawString(0, 320, 240, 1.0f, "LOADING...", color_white, font, CG_TEXT_CENTER);
    Trap_R_EndFrame(nullptr);
}

void CG_Init() {
    if (cg.initialized) return;
    CG_DrawLoadingFrame();
    cg.initialized = 1;
}
void CG_Shutdown() { cg.initialized = 0; }
uint8_t CG_IsInitialized() { return cg.initialized; }

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

void CG_Frame() {
    G_SetCG();
    G_SetUndefined();
}

void CG_RetesselateMark(const float *mins, const float *maxs) {
    (void)mins;
    (void)maxs;
}

void CG_Disconnect(uint8_t flag) { (void)flag; }
