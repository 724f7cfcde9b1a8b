// The module's entry record, its call dispatcher and its main operations.
#include "game/g_main.h"

#include <cstdio>
#include <cstring>

#include "common/common.h"
#include "game/g_soup.h"
#include "game/g_traps.h"
#include "game/g_weapon.h"
#include "game_cl/cg_main.h"
#include "game_sv/sg_main.h"
#include "game_ui/ui_main.h"

qgame_t qgame;
comRestart_t g_timeRestart;
int32_t g_isSG = GAME_CONTEXT_UNDEFINED;

cmdVar_t g_printStuck;
cmdVar_t g_skipStuck;
cmdVar_t g_flag;
cmdVar_t g_maxSlide;
cmdVar_t g_gravity;

void G_SetUndefined() { g_isSG = GAME_CONTEXT_UNDEFINED; }
void G_SetSG() { g_isSG = GAME_CONTEXT_SG; }
void G_SetCG() { g_isSG = GAME_CONTEXT_CG; }

gameExport_t G_GetGameAPI(gameImport_t import) {
    gameExport_t ge = {};
    // No sink is installed yet, so this error reaches nobody; the all-zero record
    // makes the engine refuse the module instead of trusting a foreign trap.
    if (import.magic != GAME_API_MAGIC || import.apiVersion != GAME_API_VERSION ||
        import.size != sizeof(gameImport_t)) {
        Com_Error(ER_FATAL, "GetGameAPI: API mismatch");
        return ge;
    }
    gi = import;

    ge.magic = GAME_API_MAGIC;
    snprintf(ge.name, sizeof(ge.name), "%s", GAME_NAME);
    snprintf(ge.version, sizeof(ge.version), "%s", GAME_VERSION);
    ge.protocol = GAME_PROTOCOL;
    ge.apiVersion = GAME_API_VERSION;
    ge.size = sizeof(gameExport_t);
    ge.call = G_Call;
    return ge;
}

// ---- call dispatcher ----

int32_t G_Call(int number, gameArg_t *args) {
    switch (static_cast<unsigned>(number)) {
    case GCALL_MAIN_IMP: G_Imp(); return 0;
    case GCALL_MAIN_INIT: G_Init(); return 0;
    case GCALL_MAIN_SHUTDOWN: G_Shutdown(); return 0;
    case GCALL_MAIN_FRAME: G_Frame(); return 0;
    case GCALL_SG_IMP: SG_Imp(Arg_Byte(args, 0)); return 0;
    case GCALL_SG_CLIENT_CONNECT:
        SG_ClientConnect(Arg_Ptr<const netadr_t>(args, 0), Arg_Ptr<const char>(args, 1), Arg_Int(args, 2),
                         Arg_Int(args, 3));
        return 0;
    case GCALL_SG_CLIENT_DROP: GE_DropClient(Arg_Int(args, 0), Arg_Ptr<const char>(args, 1)); return 0;
    case GCALL_SG_FRAME: SG_Frame(); return 0;
    case GCALL_SG_SHUTDOWN: GE_ShutdownServer(); return 0;
    case GCALL_SG_GET_SERVER_INFO:
        SG_GetServerInfo(Arg_Ptr<char>(args, 0), Arg_Ptr<char>(args, 1), Arg_Ptr<int32_t>(args, 2),
                         Arg_Ptr<char>(args, 3));
        return 0;
    case GCALL_CG_IMP: CG_Imp(); return 0;
    case GCALL_CG_INIT: CG_Init(); return 0;
    case GCALL_CG_SHUTDOWN: CG_Shutdown(); return 0;
    case GCALL_CG_CONNECTED_TO_SERVER: return CG_ConnectedToServer();
    case GCALL_CG_MAP_CHANGE: return CG_MapChange(Arg_Ptr<const char>(args, 0));
    case GCALL_CG_RESTART_RENDERER: CG_RestartRenderer(); return 0;
    case GCALL_CG_CC_FRAME: CG_CCFrame(); return 0;
    case GCALL_CG_FRAME: CG_Frame(); return 0;
    case GCALL_CG_PRINT: UI_ConsolePrint(Arg_Ptr<const char>(args, 0)); return 0;
    case GCALL_CG_ALLOW_BIND: return UI_AllowBinds();
    case GCALL_CG_WORLD_DEFORM:
        CG_RetesselateMark(Arg_Ptr<const float>(args, 0), Arg_Ptr<const float>(args, 1));
        return 0;
    case GCALL_CG_DUMP_SERVERS: UI_DumpServers(Arg_Ptr<FILE>(args, 0)); return 0;
    case GCALL_UI_IMP: UI_Imp(Arg_Ptr<const char>(args, 0)); return 0;
    case GCALL_UI_INIT: UI_Init(); return 0;
    case GCALL_UI_SHUTDOWN: UI_Shutdown(); return 0;
    case GCALL_WRITE_STANDARD_CONFIG: G_WriteStandardConfig(); return 0;
    case GCALL_DISCONNECT: CG_Disconnect(0); return 0;
    case GCALL_DISCONNECT_SCREEN: UI_ShowDisconnectWindow(Arg_Ptr<const char>(args, 0)); return 0;
    default: Com_Error(ER_FATAL, "Call: Bad call %d", number); return 0;
    }
}

// ---- main operations ----

void G_Imp() {
    Com_SetupPrintf(PRF_SINKS, G_Print, G_DPrint);
    Com_SetupError(qG_Error);
    Trap_CreateCVar(&g_printStuck, "g_printStuck", "0", CMD_CHEAT);
    Trap_CreateCVar(&g_skipStuck, "g_skipStuck", "0", CMD_CHEAT);
    Trap_CreateCVar(&g_flag, "g_flag", "0", 0);
    Trap_CreateCVar(&g_maxSlide, "g_maxSlide", "4", CMD_CHEAT | CMD_NOSAVE);
    Trap_CreateCVar(&g_gravity, "g_gravity", "0", CMD_CHEAT);
}

void G_Init() {
    Com_Printf("\xA4" "09Game Module says HELLO!");
    Com_Printf("Game module build time: \xA4" "08%s \xA4" "08%s", __DATE__, __TIME__);
    Com_InitByteOrder();
    G_RefreshQGame();
    // The weapon table must be filled before any weapon is used.
    memset(g_weaponClass, 0, sizeof g_weaponClass);
    G_DefineWeapons();
    G_LoadDirtgunShapes();
}

void G_Shutdown() {
    SG_ShutdownServer(0);
    G_FreeAllSOUPS();
}

void G_Frame() { G_RefreshQGame(); }

void G_RefreshQGame() {
    const uint32_t last = qgame.time;
    Trap_GetQGame(&qgame);
    if (qgame.time < last && last - qgame.time > G_TIME_RESTART_FALL)
        g_timeRestart = comRestart_t{g_timeRestart.count + 1, last, COM_TIME_START};
}

int32_t G_TimeAge(uint32_t stamp) { return Com_AgeOn(g_timeRestart, qgame.time, stamp); }

// 40 lines, 1,100 bytes.  The wheel is bound twice in different letter case; key
// names match without regard to case, so the later lines win and it cycles weapons.
const char G_STANDARD_CONFIG[] =
    "unbindall\n"
    "m_invert 0\n"
    "bind F10 pressed cc_spawn_blue\n"
    "bind F11 pressed cc_spawn_red\n"
    "bind up down cc_forward\n"
    "bind down down cc_backward\n"
    "bind left down cc_left\n"
    "bind right down cc_right\n"
    "bind w down cc_forward\n"
    "bind s down cc_backward\n"
    "bind a down cc_left\n"
    "bind d down cc_right\n"
    "bind r pressed cc_reload\n"
    "bind home down cc_jump\n"
    "bind ctrl down cc_crouch\n"
    "bind t pressed \"cc_say\"\n"
    "bind y pressed \"cc_sayteam\"\n"
    "bind \"wheel down\" pressed cc_dirtbackward\n"
    "bind \"wheel up\" pressed cc_dirtforward\n"
    "bind \"space\" down cc_jump\n"
    "bind \"mouse2\" \"pressed\" cc_fire2\n"
    "bind + pressed cc_nextdeformmat\n"
    "bind \"num -\" pressed cc_prevdeformmat\n"
    "bind \"F1\" pressed cc_prevdeformsize\n"
    "bind \"F2\" pressed cc_nextdeformsize\n"
    "bind \"Left Shift\" down cc_creep\n"
    "bind mouse1 down cc_fire\n"
    "bind \"Wheel Up\" pressed cc_nextWeapon\n"
    "bind \"Wheel Down\" pressed cc_prevWeapon\n"
    "bind 1 pressed cc_weapon1\n"
    "bind 2 pressed cc_weapon2\n"
    "bind 3 pressed cc_weapon3\n"
    "bind 4 pressed cc_weapon4\n"
    "bind 5 pressed cc_weapon5\n"
    "bind 6 pressed cc_weapon6\n"
    "bind 7 pressed cc_weapon7\n"
    "bind 8 pressed cc_weapon8\n"
    "bind 9 pressed cc_weapon9\n"
    "bind 0 pressed cc_weapon10\n"
    "bind tab down cc_scoreboard\n";
static_assert(sizeof(G_STANDARD_CONFIG) - 1 == 1100);

void G_WriteStandardConfig() {
    // Through the engine's file system, so that the script lands in the base
    // directory where the engine looks for config.cfg right after this call; a
    // file in the working directory would leave a server started with -basedir
    // elsewhere without its key bindings.
    const int32_t length = static_cast<int32_t>(sizeof(G_STANDARD_CONFIG) - 1);
    if (Trap_WriteFile(STANDARD_CONFIG_NAME, length, G_STANDARD_CONFIG) != length) {
        Com_Error(ER_ERROR, "Could not write standard config");
        return;
    }
    Com_Printf("Wrote standard config to %s", STANDARD_CONFIG_NAME);
}

// ---- forwarding ----

void G_Print(const char *text) { Trap_Print(text, 0); }
void G_DPrint(const char *text) { Trap_Print(text, 1); }
int qG_Error(int level, const char *text) { return Trap_Error(level, text); }

void GE_ShutdownServer() { SG_ShutdownServer(0); }

void GE_DropClient(int32_t client, const char *reason) {
    // The number indexes the server game's client table: never trust it blindly.
    if (client < 0 || client >= SG_MAX_CLIENTS) {
        Com_Error(ER_WARNING, "GE_DropClient: Bad client number %d", client);
        return;
    }
    SG_DropClient(SG_ClientRecord(client), reason);
}

uint8_t G_IsClientInitilized() { return CG_IsInitialized(); }

void GE_WorldDeform() {}

int32_t G_Argc() { return Trap_Argc(); }
const char *G_Argv(int32_t n) { return Trap_Argv(n); }
void *G_Alloc(uint32_t size) { return Trap_Mem_Alloc(size); }
void G_Free(void *block) { Trap_Mem_Free(block); }
