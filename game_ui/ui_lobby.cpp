// The lobby and title screen, the server information screen and the credits.
#include "game_ui/ui_lobby.h"

#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_cl/cg_draw2d.h"
#include "game_cl/cg_local.h"
#include "game_ui/ui_atom.h"
#include "game_ui/ui_browser.h"
#include "game_ui/ui_local.h"

static const char *const UI_WEB_ADDRESS = "www.hollowmere.example";

static uiAtom_t *ui_lobby[UI_LOBBY_BUTTONS];
static float spin;        // degrees the title logo has turned; kept for the whole run
static uiAtom_t *ui_serverinfo[2 * UI_SERVERINFO_ROWS + 1];  // labels, values, Back
static float yp = UI_CREDITS_START;  // the credits' scroll offset; kept for the whole run

enum uiLobbyButton_t : int32_t {
    LOBBY_CHANGE_TEAM = 0,
    LOBBY_SPECTATE = 1,
    LOBBY_SERVER_INFO = 2,
    LOBBY_RESUME = 3,
    LOBBY_LEAVE = 4,
};

// ---- lobby ----

static void ChangeTeam(uiAtom_t *) {
    // The team the server gave the player arrives in the predicted client state.
    Trap_Add(cg.predicted.team == 1 ? "cc_spawn_blue" : "cc_spawn_red");
    cg.menu = CG_MENU_NONE;
}
static void Spectate(uiAtom_t *) {
    Trap_Add("cc_spawn_spectator");
    cg.menu = CG_MENU_NONE;
}
static void ShowServerInfo(uiAtom_t *) { cg.menu = CG_MENU_SERVER_INFO; }
static void Resume(uiAtom_t *) { cg.menu = CG_MENU_NONE; }
static void Leave(uiAtom_t *) { ui.modal = MODAL_LEAVE; }

static uiAtom_t *CenteredButton(int32_t y, int32_t w, const char *text, uiAtomCallback_t action) {
    uiAtom_t *b = UI_CreateButton(nullptr, 320, y, w, 40, uiMedia[UIMEDIA_BUTTON], uiMedia[UIMEDIA_BUTTON_OVER],
                                  uiMedia[UIMEDIA_BUTTON_DOWN], uiMedia[UIMEDIA_BUTTON_HIGHLIGHT], text,
                                  UI_ALIGN_CENTER);
    UI_SetButtonFunctions(b, nullptr, nullptr, nullptr, action);
    return b;
}

void UI_Lobby_Init() {
    ui_lobby[LOBBY_CHANGE_TEAM] = CenteredButton(130, 160, "Change Team", ChangeTeam);
    ui_lobby[LOBBY_SPECTATE] = CenteredButton(190, 160, "Spectate", Spectate);
    ui_lobby[LOBBY_SERVER_INFO] = CenteredButton(250, 160, "Server Info", ShowServerInfo);
    ui_lobby[LOBBY_RESUME] = CenteredButton(310, 160, "Resume Game", Resume);
    ui_lobby[LOBBY_LEAVE] = CenteredButton(370, 160, "Leave Game", Leave);
}

static void ShowAndDraw(uiAtom_t *atom) {
    UI_SetVisible(atom, 1);
    UI_Message(atom, UIM_DRAW, 0, 0);
}

// The version line and the web address at the foot of the title screen and the credits.
static void DrawVersion() {
    const int32_t font = uiMedia[UIMEDIA_NORMAL_FONT];
    UI_DrawText(320, 445, va("Hollowmere %s", GAME_VERSION), color_white, font, UI_TEXT_CENTER);
    UI_DrawText(320, 465, UI_WEB_ADDRESS, color_white, font, UI_TEXT_CENTER);
}

void UI_Lobby_Draw() {
    if (cg.ecl.state == ECL_CONNECTED) {
        const uint8_t teamRules = cg.gameData.rules == RULES_CRYSTAL_ROUNDS || cg.gameData.rules == RULES_CAPTURE_CRYSTAL;
        if (teamRules && cg.predicted.moveType < MT_SPECTATOR) ShowAndDraw(ui_lobby[LOBBY_CHANGE_TEAM]);
        for (int32_t b = LOBBY_SPECTATE; b < UI_LOBBY_BUTTONS; b++) ShowAndDraw(ui_lobby[b]);
    } else if (!ui.logoReplaced) {
        spin += UI_LOGO_DEGREES_PER_SECOND * qgame.frameSeconds;
        AngleMod(&spin);
        const vec3_t camera = {0, 0, -7}, angles = {0, 0, spin};
        CG_Draw3DModel(0, 40, 30, 560, 420, uiMedia[UIMEDIA_LOBBY_LOGO], camera, angles);
    } else {
        UI_DrawPic(180, 135, 280, 210, color_white, uiMedia[UIMEDIA_LOGO]);
    }
    DrawVersion();
}

// ---- server information ----

static const char *const UI_SERVERINFO_LABELS[UI_SERVERINFO_ROWS] = {
    "Server Name: ",   "IP: ",           "Port: ",           "OS: ",
    "Game: ",          "Version: ",      "Rules: ",          "Map: ",
    "Next Map: ",      "Core Altitude: ", "Space Altitude: ", "sg_knockback: ",
    "sg_skipreload: ", "sg_worlddamage: ", "sg_recoil: ",     "sg_selfdamage: ",
    "sg_friendlyfire: ", "sv_cheats: ",    "sv_pure: ",
};
constexpr int32_t UI_SERVERINFO_CORE_ROW = 9;       // "Core Altitude: " and ...
constexpr int32_t UI_SERVERINFO_KNOCKBACK_ROW = 11;  // ... "sg_knockback: " stand 10 lower

static void BackToLobby(uiAtom_t *) { cg.menu = CG_MENU_LOBBY; }

void UI_ServerInfo_Init() {
    const int32_t small = uiMedia[UIMEDIA_SMALL_FONT];
    const int32_t step = Trap_CL_GetFontCharHeight(small) + 5;
    int32_t y = 75;
    for (int32_t row = 0; row < UI_SERVERINFO_ROWS; row++) {
        if (row == UI_SERVERINFO_CORE_ROW || row == UI_SERVERINFO_KNOCKBACK_ROW) y += 10;
        ui_serverinfo[row] = UI_CreateText(nullptr, 320, y, UI_SERVERINFO_LABELS[row], color_white, small,
                                           UI_ALIGN_RIGHT);
        ui_serverinfo[UI_SERVERINFO_ROWS + row] = UI_CreateText(nullptr, 320, y, "", color_white, small, 0);
        if (row + 1 < UI_SERVERINFO_ROWS) y += step;
    }
    uiAtom_t *back = UI_CreateButton(nullptr, 320, y + Trap_CL_GetFontCharHeight(small) + 45, 150, 40,
                                     uiMedia[UIMEDIA_BUTTON], uiMedia[UIMEDIA_BUTTON_OVER],
                                     uiMedia[UIMEDIA_BUTTON_DOWN], uiMedia[UIMEDIA_BUTTON_HIGHLIGHT], "Back",
                                     UI_ALIGN_CENTER);
    UI_SetButtonFunctions(back, nullptr, nullptr, nullptr, BackToLobby);
    ui_serverinfo[2 * UI_SERVERINFO_ROWS] = back;
}

static const char *RulesText(const char *tag) {
    static constexpr struct {
        const char *tag, *text;
    } texts[] = {{"DM", "DM (Death Match)"},
                 {"CR", "CR (Crystal Rounds)"},
                 {"CC", "CC (Capture the Crystal)"},
                 {"F", "F (Forge)"}};
    for (const auto &t : texts)
        if (!strcmp(tag, t.tag)) return t.text;
    return tag;
}

void UI_ServerInfo_Draw() {
    char values[UI_SERVERINFO_ROWS][UI_ATOM_TEXT];
    int32_t row = 0;
    auto value = [&](const char *text) { Com_strncpyz(values[row++], text, UI_ATOM_TEXT); };
    value(cg.serverName);
    value(va("%d.%d.%d.%d", cg.serverIp[0], cg.serverIp[1], cg.serverIp[2], cg.serverIp[3]));
    value(va("%d", cg.serverPort));
    value(UI_OsName(static_cast<uint32_t>(cg.serverOs)));
    value(cg.serverGame);
    value(cg.serverVersion);
    value(RulesText(cg.serverRules));
    value(cg.serverMap);
    value(cg.nextMap);
    value(va("%.1f", cg.serverCoreAlt));
    value(va("%.1f", cg.serverSpaceAlt));
    value(va("%.1f", cg.serverKnockback));
    value(va("%.0f", cg.serverSkipReload));
    value(va("%.1f", cg.serverWorldDamage));
    value(va("%.1f", cg.serverRecoil));
    value(va("%.0f", cg.serverSelfDamage));
    value(va("%.0f", cg.serverFriendlyFire));
    value(va("%.0f", cg.serverCheats));
    value(va("%.0f", cg.serverPure));
    for (int32_t r = 0; r < UI_SERVERINFO_ROWS; r++)
        // The value colour is entry 8 of the client's text colours, chosen by escape.
        UI_SetText(ui_serverinfo[UI_SERVERINFO_ROWS + r], va("%c08%s", COLOR_KEY, values[r]));
    for (uiAtom_t *atom : ui_serverinfo) ShowAndDraw(atom);
}

// ---- credits ----

static constexpr uiCredit_t ui_credits[UI_CREDITS] = {
    {0, "Hollowmere", nullptr, 0},
    {60, "Ada Vantwell", "Engine and networking", UIMEDIA_PORTRAIT_FIRST},
    {120, "Brin Osterloh", "Voxel world", UIMEDIA_PORTRAIT_FIRST + 1},
    {180, "Cael Morrow", "Game rules and weapons", UIMEDIA_PORTRAIT_FIRST + 2},
    {240, "Dara Quill", "Client game and effects", UIMEDIA_PORTRAIT_FIRST + 3},
    {300, "Edda Pruitt", "User interface", UIMEDIA_PORTRAIT_FIRST + 4},
    {360, "Fenn Halvard", "Models and animation", UIMEDIA_PORTRAIT_FIRST + 5},
    {420, "Gale Ivers", "Sound", UIMEDIA_PORTRAIT_FIRST + 6},
    {480, "Hale Dunmore", "Worlds", UIMEDIA_PORTRAIT_FIRST + 7},
    {560, nullptr, "Testers", 0},
    {600, "Iris Penhallow", "Play testing", 0},
    {640, "Joss Rainer", "Play testing", 0},
    {720, nullptr, "Thanks for playing", 0},
    {870, "Hollowmere", nullptr, 0},
};

float UI_CreditAlpha(float y) {
    if (y < 70) return 0;
    if (y < 120) return (y - 70) / 50;
    if (y < 330) return 1;
    if (y < 380) return 1 - (y - 330) / 50;
    return 0;
}

void UI_Credits_Draw() {
    yp -= UI_CREDITS_SPEED * qgame.frameSeconds;
    if (yp < UI_CREDITS_WRAP_BELOW) yp += UI_CREDITS_WRAP;
    const float background[4] = {1, 1, 1, 0.3f};
    UI_DrawPic(320 - 100, 240 - 100, 200, 200, background, uiMedia[UIMEDIA_LOGO]);
    for (const uiCredit_t &c : ui_credits) {
        const float y = c.position + yp;
        const float colour[4] = {1, 1, 1, UI_CreditAlpha(y)};
        if (colour[3] <= 0) continue;
        if (c.name) UI_DrawText(50, y + 10, c.name, colour, uiMedia[UIMEDIA_NORMAL_FONT], 0);
        if (c.role) UI_DrawText(50, y + 30, c.role, colour, uiMedia[UIMEDIA_SMALL_FONT], 0);
        if (c.portrait) UI_DrawPic(470, y, 100, 100, colour, uiMedia[c.portrait]);
    }
    DrawVersion();
}
