// The client game's entry points.  It cannot present a game in this build yet:
// joining a server or loading a world is refused with an error, never faked.
#include "game_cl/cg_main.h"

#include <cmath>
#include <cstdlib>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_cl/cg_draw2d.h"
#include "game_cl/cg_local.h"

// Key codes the client game watches itself (set-1 scan codes).
constexpr int CG_KEY_CONTROL = 29;
constexpr int CG_KEY_CONSOLE = 41;
constexpr int CG_KEY_LEFT_SHIFT = 42;
constexpr int CG_KEY_RIGHT_SHIFT = 54;

cg_t cg;
cgWorld_t cgw;
cgInput_t cg_input;

// The held-state byte of a key the client game watches itself; null for the keys
// of the user interface, which no widget takes in this build.
static uint8_t *HeldState(int key) {
    switch (key) {
    case CG_KEY_LEFT_SHIFT:
    case CG_KEY_RIGHT_SHIFT: return &cg_input.shift;
    case CG_KEY_CONTROL: return &cg_input.control;
    case CG_KEY_CONSOLE: return &cg_input.consoleKey;
    default: return nullptr;
    }
}

// in_key_down <key>: the key is held; the console key opens or closes the
// console, small with control held, full height with shift held.
static void CG_KeyDown_f() {
    if (G_Argc() != 2) return;
    const int key = atoi(G_Argv(1));
    if (uint8_t *held = HeldState(key)) *held = 1;
    if (key == CG_KEY_CONSOLE)
        Trap_Add(cg_input.control ? "con_toggle 0.11" : (cg_input.shift ? "con_toggle 1.0" : "con_toggle"));
}

// in_key_up <key>: the key is no longer held.
static void CG_KeyUp_f() {
    if (G_Argc() != 2) return;
    if (uint8_t *held = HeldState(atoi(G_Argv(1)))) *held = 0;
}

// in_char <code> and in_mouse <x> <y> go to the user interface's text input and
// cursor; no widget takes them in this build.
static void CG_Char_f() {}
static void CG_Mouse_f() {}

// in_yaw <degrees>: turns the view, the yaw kept in 0..360.
static void CG_Yaw_f() {
    if (G_Argc() != 2) {
        Com_Printf("USAGE: in_yaw <degrees>");
        return;
    }
    float yaw = fmodf(cg_input.yaw + static_cast<float>(atof(G_Argv(1))), 360.0f);
    if (yaw < 0.0f) yaw += 360.0f;
    cg_input.yaw = yaw;
}

// in_pitch <degrees>: tilts the view, the pitch kept in -90..90.
static void CG_Pitch_f() {
    if (G_Argc() != 2) {
        Com_Printf("USAGE: in_pitch <degrees>");
        return;
    }
    const float pitch = cg_input.pitch + static_cast<float>(atof(G_Argv(1)));
    cg_input.pitch = pitch < -90.0f ? -90.0f : (pitch > 90.0f ? 90.0f : pitch);
}

void CG_Imp() {
    cg_input = cgInput_t{};
    Trap_CreateFunction("in_key_down", CG_KeyDown_f, CMD_CLIENT);
    Trap_CreateFunction("in_key_up", CG_KeyUp_f, CMD_CLIENT);
    Trap_CreateFunction("in_char", CG_Char_f, CMD_CLIENT);
    Trap_CreateFunction("in_mouse", CG_Mouse_f, CMD_CLIENT);
    Trap_CreateFunction("in_yaw", CG_Yaw_f, CMD_CLIENT);
    Trap_CreateFunction("in_pitch", CG_Pitch_f, CMD_CLIENT);
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
