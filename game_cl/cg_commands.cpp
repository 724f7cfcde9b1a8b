// The client game's console commands: the cc_* requests of the next client
// command, the texts for the server game, the engine's raw input (in_*), the
// connection commands and the developer tools.
#include "game_cl/cg_commands.h"

#include <cmath>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_materials.h"
#include "game/g_move.h"
#include "game/g_traps.h"
#include "game/g_weapon.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_main.h"
#include "game_cl/cg_marks.h"
#include "game_cl/cg_model.h"
#include "game_cl/cg_particles.h"
#include "game_cl/cg_screen.h"
#include "game_cl/cg_world.h"
#include "game_ui/ui_main.h"

constexpr int CG_BENCHMARK_FRAMES = 256;    // screens drawn by a benchmark without a count
constexpr float CG_ZOOMED_TURN = 0.4f;      // mouse turns are slowed by this while zoomed
constexpr float CG_CONSOLE_UP = 0.01f;      // a console dropped no further than this counts as up

// ---- one-frame requests ----

template <int A>
static void CG_Request_f() {
    cg.actionFlags[A] = 1;
}

// Walking requests are dropped while the interface owns the mouse.
template <int A>
static void CG_MoveRequest_f() {
    if (cg.cursorMode != 1) cg.actionFlags[A] = 1;
}

// Secondary fire; the first frame of each press also flips the zoom toggle.
static void CG_Fire2_f() {
    cg.actionFlags[CCA_FIRE2] = 1;
    if (cg.fire2Latch == 0) {
        cg.zoomToggle = !cg.zoomToggle;
        cg.fire2Latch = 1;
    }
}

static void CG_Scoreboard_f() {
    cg.actionFlags[CCA_SCOREBOARD] = 1;
    cg.scoreboardRequested = 1;
}

// What each cc_weaponN selects: a weapon, and for the dirt gun a mode (-1 keeps it).
namespace {
struct cgWeaponKey_t {
    uint32_t weapon;
    int32_t deformMode;
    bool forgeOnly;  // the dirt gun's building modes need the forge rules
};
}  // namespace
static constexpr cgWeaponKey_t cg_weaponKeys[] = {
    {WP_NONEGUN, -1, false}, {WP_MEELGUN, -1, false}, {WP_MINIGUN, -1, false}, {WP_SHOTGUN, -1, false},
    {WP_GRENGUN, -1, false}, {WP_RAILGUN, -1, false}, {WP_DIRTGUN, 0, false},  {WP_DIRTGUN, 1, true},
    {WP_DIRTGUN, 2, true},   {WP_DIRTGUN, 4, true},   {WP_DIRTGUN, 3, true},
};

template <int N>
static void CG_Weapon_f() {
    const cgWeaponKey_t &key = cg_weaponKeys[N];
    if (key.forgeOnly && cg.gameData.rules != RULES_FORGE) return;
    cg.selectedWeapon = key.weapon;
    if (key.deformMode >= 0) cg.selectedDeformMode = static_cast<uint32_t>(key.deformMode);
}

// Steps through the weapons 0-5 from the one in hand and takes the first owned;
// the one in hand again when it is the only one, nothing when none is owned.
static void CycleWeapon(int step) {
    const int32_t held = cg.predicted.weapon;
    // A number outside 0-5 (the Nonegun, or anything the server sent) starts the
    // walk before the first weapon of the direction.
    int32_t w = held >= WP_MEELGUN && held < WP_NONEGUN ? held : (step > 0 ? WP_DIRTGUN : WP_MEELGUN);
    for (int tries = 0; tries < WP_NONEGUN; tries++) {
        w += step;
        if (w > WP_DIRTGUN) w = WP_MEELGUN;
        if (w < WP_MEELGUN) w = WP_DIRTGUN;
        if (cg.predicted.ownedWeapons & (1u << w)) {
            cg.selectedWeapon = static_cast<uint32_t>(w);
            return;
        }
    }
}
static void CG_NextWeapon_f() { CycleWeapon(1); }
static void CG_PrevWeapon_f() { CycleWeapon(-1); }

static void CG_ChatSay_f() { cg.chatMode = 1; }
static void CG_ChatSayTeam_f() {
    if (cg.gameData.rules == RULES_CRYSTAL_ROUNDS || cg.gameData.rules == RULES_CAPTURE_CRYSTAL) cg.chatMode = 2;
}
static void CG_Screenshot_f() { Trap_Add("screenshot"); }

// ---- texts for the server game ----

static bool Connected() { return cg.ecl.state == ECL_CONNECTED; }

// The words after the command, joined by single blanks and wrapped for the server
// game as `verb "words"`; both the words and the wrapped text are cut to fit.
static void Say(const char *verb, const char *usage) {
    const int32_t argc = G_Argc();
    if (argc < 2) {
        Com_Printf("%s", usage);
        return;
    }
    char words[CG_PENDING_TEXT] = "";
    for (int32_t i = 1; i < argc; i++) {
        if (i > 1) Com_strcat(words, sizeof words, " ");
        Com_strcat(words, sizeof words, G_Argv(i));
    }
    Com_sprintf(cg.pendingText, sizeof cg.pendingText, "%s \"%s\"", verb, words);
}
static void CG_Say_f() { Say("say", "USAGE: say <message>"); }
static void CG_SayTeam_f() { Say("say_team", "USAGE: sayteam <message>"); }

static void SetPendingText(const char *text) { Com_strncpyz(cg.pendingText, text, sizeof cg.pendingText); }
static void CG_VoteYes_f() { SetPendingText("vote yes"); }
static void CG_VoteNo_f() { SetPendingText("vote no"); }
static void CG_ClientList_f() { SetPendingText("client_list"); }
static void CG_AdvancedStats_f() {
    if (Connected()) SetPendingText("advanced_stats");
}

static void CG_CallVote_f() {
    if (G_Argc() < 2) {
        Com_Printf("%s", "USAGE: callVote <vote command>");
        return;
    }
    if (!Connected()) return;
    Com_sprintf(cg.pendingText, sizeof cg.pendingText, "call_vote %s %s %s", G_Argv(1), G_Argv(2), G_Argv(3));
}

// ---- connection ----

static void CG_Connect_f() {
    if (!Trap_GetCVar("net_port")) {
        Com_Error(ER_FATAL, "CG_Connect_f: Could not get net_port");
        return;
    }
    const int32_t argc = G_Argc();
    if (argc != 2 && argc != 3) {
        Com_Printf("%s", "USAGE: connect <ip address> <password>");
        return;
    }
    netadr_t address;
    if (!Trap_LookupDNS(&address, G_Argv(1))) return;
    CG_Connect(&address, argc == 3 ? G_Argv(2) : "");
}

static void CG_Disconnect_f() { CG_Disconnect(0); }

// ---- raw input ----

enum cgAngle_t : int { CG_ROLL = 0, CG_PITCH = 1, CG_YAW = 2 };

// Adds degrees to one of the input angles, unless the player cannot look around.
static void Turn(int angle, const char *usage) {
    if (G_Argc() != 2) {
        Com_Printf("%s", usage);
        return;
    }
    if (cg.predicted.moveType == MT_DEAD || cg.predicted.moveType == MT_INTERMISSION) return;
    float degrees = Com_atof(G_Argv(1));
    if (!std::isfinite(degrees)) return;
    if (angle != CG_ROLL && cg.predicted.zoom > 0.0f) degrees *= CG_ZOOMED_TURN;
    float &a = cg.inputAngles[angle];
    if (!std::isfinite(a + degrees)) return;  // roll is unclamped: it must not run off to infinity
    a += degrees;
    if (angle == CG_PITCH) a = a < -90.0f ? -90.0f : (a > 90.0f ? 90.0f : a);
    if (angle == CG_YAW) AngleMod(&a);
}
static void CG_Roll_f() { Turn(CG_ROLL, "USAGE: in_roll <degrees>"); }
static void CG_Pitch_f() { Turn(CG_PITCH, "USAGE: in_pitch <degrees>"); }
static void CG_Yaw_f() { Turn(CG_YAW, "USAGE: in_yaw <degrees>"); }

static void CG_Mouse_f() { UI_Mouse(Com_atoi(G_Argv(1)), Com_atoi(G_Argv(2))); }
static void CG_Char_f() { UI_Char(Com_atoi(G_Argv(1))); }

// Escape backs out of one thing: the console, the intro, a window (the notice of
// a newer version stays), a key box waiting for its key, the chat line, or one
// menu screen.
static void Escape() {
    UI_Chat_ClearBuffer();
    if (UI_ConsoleIsDown() > CG_CONSOLE_UP) {
        Trap_Add("con_toggle");
    } else if (cg.menu == CG_MENU_INTRO) {
        UI_EndCinematic();
    } else if (ui.modal != MODAL_NONE && ui.modal != MODAL_NEW_VERSION) {
        ui.modal = MODAL_NONE;
    } else if (ui.waitingKeyBox) {
        ui.waitingKeyBox = nullptr;
        UI_SetFocus(nullptr);
    } else if (cg.chatMode != 0) {
        cg.chatMode = 0;
    } else {
        switch (cg.menu) {
        case CG_MENU_SERVER_INFO: cg.menu = CG_MENU_LOBBY; break;
        case CG_MENU_GAME_OPTIONS:
        case CG_MENU_CONTROLS:
        case CG_MENU_FORGE_CONTROLS:
        case CG_MENU_SYSTEM: cg.menu = CG_MENU_OPTIONS; break;
        case CG_MENU_NONE: cg.menu = CG_MENU_LOBBY; break;
        default: cg.menu = CG_MENU_NONE; break;
        }
    }
}

static bool IsShift(int key) { return key == CG_KEY_LEFT_SHIFT || key == CG_KEY_RIGHT_SHIFT; }

static void CG_KeyDown_f() {
    const int key = Com_atoi(G_Argv(1));
    if (IsShift(key)) cg.shiftHeld = 1;
    if (key == CG_KEY_CONTROL) cg.controlHeld = 1;
    if (key == CG_KEY_CONSOLE) {
        if (!cg.consoleKeyHeld)
            Trap_Add(cg.controlHeld ? "con_toggle 1.0" : (cg.shiftHeld ? "con_toggle 0.11" : "con_toggle"));
        cg.consoleKeyHeld = 1;
        return;
    }
    if (key == CG_KEY_ESCAPE) {
        if (!cg.escapeHeld) Escape();
        cg.escapeHeld = 1;
        return;
    }
    UI_Key(key, 1);
}

static void CG_KeyUp_f() {
    const int key = Com_atoi(G_Argv(1));
    if (IsShift(key)) cg.shiftHeld = 0;
    if (key == CG_KEY_CONTROL) cg.controlHeld = 0;
    if (key == CG_KEY_CONSOLE) {
        cg.consoleKeyHeld = 0;
        return;
    }
    if (key == CG_KEY_ESCAPE) {
        cg.escapeHeld = 0;
        return;
    }
    UI_Key(key, 0);
}

// ---- tools ----

static void CG_Benchmark_f() {
    int32_t frames = G_Argc() >= 2 ? Com_atoi(G_Argv(1)) : CG_BENCHMARK_FRAMES;
    if (frames < 1) frames = 1;
    const int32_t start = Trap_GetTime();
    for (int32_t i = 0; i < frames; i++) CG_UpdateScreen();
    const int32_t msec = Trap_GetTime() - start;
    const double perFrame = static_cast<double>(msec) / frames;
    const double fps = msec > 0 ? 1000.0 * frames / msec : 999999.0;
    Com_Printf("%d frames in %d msec. %.4f msec per frame (%.4f fps)", frames, msec, perFrame, fps);
}

// A screenshot of the bare world: everything drawn over it is switched off for one
// frame and back on after.
static constexpr const char *cg_levelShotLines[] = {
    "ui_skipUi 1",       "cg_skipHud 1",           "con_toggle 0.5 fast",    "con_skipNotify 1",
    "cg_skipGun 1",      "cg_skipCenterPrint 1",   "r_skipDynamicShadows 1", "wait",
    "screenshot silent", "ui_skipUi 0",            "cg_skipHud 0",           "con_skipNotify 0",
    "cg_skipGun 0",      "cg_skipCenterPrint 0",   "r_skipDynamicShadows 0", "con_toggle",
};
static void CG_LevelShot_f() {
    for (const char *line : cg_levelShotLines) Trap_Add(line);
}

static void CG_PlayCin_f() {
    if (G_Argc() != 2) {
        Com_Printf("%s", "USAGE: playcin <cinematic path>");
        return;
    }
    UI_BeginCinematic(G_Argv(1));
}

static void CG_SkipScreen_f() { cg.skipScreen = !cg.skipScreen; }

static void CG_WMList_f() { CG_ListWorldMaterials(cgw.materials); }

static void CG_WMReload_f() {
    if (G_Argc() != 2) {
        Com_Printf("%s", "USAGE: wmreload <wm num>");
        return;
    }
    CG_ReloadWorldMaterial(cgw.materials, Com_atoi(G_Argv(1)));
}

static int32_t TestSlot(const char *text) {
    const int32_t slot = Com_atoi(text);
    return slot < 0 ? 0 : (slot >= CG_TEST_MODELS ? CG_TEST_MODELS - 1 : slot);
}

static void CG_TMLoadModel_f() {
    const int32_t argc = G_Argc();
    if (argc < 2 || argc > 5) {
        Com_Printf("%s", "USAGE: tm_loadmodel <model path> [<slot> <tag slot> <tag name>]");
        return;
    }
    const int32_t slot = argc >= 3 ? TestSlot(G_Argv(2)) : 0;
    cg.tmTagSlots[slot] = argc == 5 ? TestSlot(G_Argv(3)) : 0;
    Com_strncpyz(cg.tmTagNames[slot], argc == 5 ? G_Argv(4) : "", sizeof cg.tmTagNames[slot]);
    cg.tmModels[slot] = 0;
    _VectorCopy(cg.tmPositions[slot], cg.predicted.origin);

    const int32_t start = Trap_GetTime();
    cg.tmModels[slot] = CG_LoadModel(G_Argv(1));
    if (cg.tmModels[slot]) {
        Com_Printf("Loaded test model in %.1f seconds", static_cast<double>(Trap_GetTime() - start) / 1000.0);
    } else {
        Com_Error(ER_SHOWSAVEOFF, "%s", "");
        Com_Printf("Could not load \"%s\"", G_Argv(1));
    }
}

// The slot stands after the model path, as for tm_loadModel; slot 0 without it.
static void CG_TMUnloadModel_f() {
    const int32_t slot = G_Argc() >= 3 ? Com_atoi(G_Argv(2)) : 0;
    if (slot < 0 || slot >= CG_TEST_MODELS) {
        Com_Printf("tm_unloadModel: no test-model slot %d (0 to %d)", slot, CG_TEST_MODELS - 1);
        return;
    }
    cg.tmModels[slot] = 0;
}

static void CG_TMClearTime_f() { cg.tmTime = 0.0f; }


// ---- registration ----

namespace {
struct cgCommandRow_t {
    const char *name;
    cmdCallback_t handler;
    uint32_t flags;
};
}  // namespace

static constexpr cgCommandRow_t cg_commandRows[] = {
    {"disconnect", CG_Disconnect_f, CG_VAR},
    {"connect", CG_Connect_f, CG_VAR},
    {"benchmark", CG_Benchmark_f, CG_VAR},
    {"modelList", CG_ModelList_f, CG_VAR},
    {"modelInfo", CG_ModelInfo_f, CG_VAR},
    {"modelReload", CG_ModelReload_f, CG_VAR},
    {"particleList", CG_ParticleList_f, CG_VAR},
    {"particleReload", CG_ParticleReload_f, CG_VAR},
    {"particleStats", CG_ParticleStats_f, CG_VAR},
    {"markStats", CG_MarkStats_f, CG_VAR},
    {"markClear", CG_MarkClear_f, CG_TOOL},
    {"wmList", CG_WMList_f, CG_VAR},
    {"wmReload", CG_WMReload_f, CG_VAR},
    {"playCin", CG_PlayCin_f, CG_VAR},
    {"cg_skipScreen", CG_SkipScreen_f, CG_VAR},
    {"callVote", CG_CallVote_f, CG_VAR},
    {"yes", CG_VoteYes_f, CG_VAR},
    {"no", CG_VoteNo_f, CG_VAR},
    {"levelShot", CG_LevelShot_f, CG_VAR},
    {"advancedStats", CG_AdvancedStats_f, CG_VAR},

    {"cc_forward", CG_MoveRequest_f<CCA_FORWARD>, CG_VAR},
    {"cc_backward", CG_MoveRequest_f<CCA_BACKWARD>, CG_VAR},
    {"cc_left", CG_MoveRequest_f<CCA_LEFT>, CG_VAR},
    {"cc_right", CG_MoveRequest_f<CCA_RIGHT>, CG_VAR},
    {"cc_creep", CG_MoveRequest_f<CCA_CREEP>, CG_VAR},
    {"cc_jump", CG_MoveRequest_f<CCA_JUMP>, CG_VAR},
    {"cc_crouch", CG_MoveRequest_f<CCA_CROUCH>, CG_VAR},
    {"cc_fire", CG_Request_f<CCA_FIRE>, CG_VAR},
    {"cc_reload", CG_Request_f<CCA_RELOAD>, CG_VAR},
    {"cc_spawn_blue", CG_Request_f<CCA_SPAWN_BLUE>, CG_VAR},
    {"cc_spawn_red", CG_Request_f<CCA_SPAWN_RED>, CG_VAR},
    {"cc_spawn_spectator", CG_Request_f<CCA_SPAWN_SPECTATOR>, CG_VAR},
    {"cc_weapon0", CG_Weapon_f<0>, CG_VAR},
    {"cc_weapon1", CG_Weapon_f<1>, CG_VAR},
    {"cc_weapon2", CG_Weapon_f<2>, CG_VAR},
    {"cc_weapon3", CG_Weapon_f<3>, CG_VAR},
    {"cc_weapon4", CG_Weapon_f<4>, CG_VAR},
    {"cc_weapon5", CG_Weapon_f<5>, CG_VAR},
    {"cc_weapon6", CG_Weapon_f<6>, CG_VAR},
    {"cc_weapon7", CG_Weapon_f<7>, CG_VAR},
    {"cc_weapon8", CG_Weapon_f<8>, CG_VAR},
    {"cc_weapon9", CG_Weapon_f<9>, CG_VAR},
    {"cc_weapon10", CG_Weapon_f<10>, CG_VAR},
    {"cc_nextWeapon", CG_NextWeapon_f, CG_VAR},
    {"cc_prevWeapon", CG_PrevWeapon_f, CG_VAR},
    {"cc_zoomIn", CG_Request_f<CCA_ZOOM_IN>, CG_VAR},
    {"cc_zoomOut", CG_Request_f<CCA_ZOOM_OUT>, CG_VAR},
    {"cc_fire2", CG_Fire2_f, CG_VAR},
    {"cc_scoreboard", CG_Scoreboard_f, CG_VAR},
    {"cc_screenshot", CG_Screenshot_f, CG_VAR},
    {"cc_kill", CG_Request_f<CCA_KILL>, CG_VAR},
    {"kill", CG_Request_f<CCA_KILL>, CG_VAR},
    {"cc_nextDeformMat", CG_Request_f<CCA_NEXT_DEFORM_MAT>, CG_VAR},
    {"cc_prevDeformMat", CG_Request_f<CCA_PREV_DEFORM_MAT>, CG_VAR},
    {"cc_nextDeformSize", CG_Request_f<CCA_NEXT_DEFORM_SIZE>, CG_VAR},
    {"cc_prevDeformSize", CG_Request_f<CCA_PREV_DEFORM_SIZE>, CG_VAR},
    {"cc_drop", CG_Request_f<CCA_DROP>, CG_VAR},
    {"cc_say", CG_ChatSay_f, CG_VAR},
    {"cc_sayTeam", CG_ChatSayTeam_f, CG_VAR},
    {"cc_lastUsedWeapon", CG_Request_f<CCA_LAST_USED_WEAPON>, CG_VAR},

    {"in_roll", CG_Roll_f, CG_VAR},
    {"in_pitch", CG_Pitch_f, CG_VAR},
    {"in_yaw", CG_Yaw_f, CG_VAR},
    {"in_char", CG_Char_f, CG_VAR},
    {"in_key_down", CG_KeyDown_f, CG_VAR},
    {"in_key_up", CG_KeyUp_f, CG_VAR},
    {"in_mouse", CG_Mouse_f, CG_VAR},

    {"say", CG_Say_f, CG_VAR},
    {"sayTeam", CG_SayTeam_f, CG_VAR},
    {"clientList", CG_ClientList_f, CG_VAR},

    {"tm_loadModel", CG_TMLoadModel_f, CG_TOOL},
    {"tm_unloadModel", CG_TMUnloadModel_f, CG_TOOL},
    {"tm_clearTime", CG_TMClearTime_f, CG_TOOL},
};

void CG_RegisterCommands() {
    for (const cgCommandRow_t &row : cg_commandRows) Trap_CreateFunction(row.name, row.handler, row.flags);
}
