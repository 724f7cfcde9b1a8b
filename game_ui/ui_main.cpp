// The interface's entry points: registration, start and shutdown, the frame, the
// intro logo, the loading screen, the history replay commands and the media.
#include "game_ui/ui_main.h"

#include <cstring>
#include <iterator>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_move.h"
#include "game/g_traps.h"
#include "game_cl/cg_draw2d.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "game_ui/ui_atom.h"
#include "game_ui/ui_browser.h"
#include "game_ui/ui_local.h"
#include "game_ui/ui_menus.h"

ui_t ui;
cmdVar_t ui_skipUi, ui_skipHistoryDump;

constexpr int32_t UI_BLINK_MSEC = 400;       // the caret shows this long, then hides as long
constexpr float UI_INTRO_SPEED = 0.25f;      // the intro's progress per second: four seconds
constexpr float UI_INTRO_FADE = 0.15f;       // part of the intro spent fading in, and out
constexpr int UI_LOADING_DOTS = 256;         // dots of the loading row drawn at most

// ---- registration, start and shutdown ----

// Joins the command's words with single blanks into one history line.  An empty
// quoted word joins its neighbours without a blank: a line longer than one word is
// written in pieces that way (UI_WriteHistoryLine).
static void UI_AddGenericHistory(void (*save)(const char *, uint8_t)) {
    if (G_Argc() < 2) return;
    char line[UI_HISTORY_LINE] = "";
    bool joined = true;  // no blank before the first word, nor after an empty one
    for (int32_t i = 1; i < G_Argc(); i++) {
        const char *word = G_Argv(i);
        if (!word[0]) {
            joined = true;
            continue;
        }
        if (!joined) Com_strcat(line, sizeof line, " ");
        Com_strcat(line, sizeof line, word);
        joined = false;
    }
    save(line, 1);
}
static void UI_AddConsoleHistory_f() { UI_AddGenericHistory(UI_Console_SaveToHistory); }
static void UI_AddChatHistory_f() { UI_AddGenericHistory(UI_Chat_SaveToHistory); }

void UI_Imp(const char *consoleText) {
    ui = ui_t{};
    Trap_CreateFunction("addPublic", UI_AddPublic_f, 0);
    Trap_CreateFunction("addFavorite", UI_AddFavorite_f, 0);
    Trap_CreateFunction("addLan", UI_AddLan_f, 0);
    Trap_CreateFunction("getLanServers", UI_GetLanServers_f, 0);
    Trap_CreateFunction("addConsoleHistory", UI_AddConsoleHistory_f, 0);
    Trap_CreateFunction("addChatHistory", UI_AddChatHistory_f, 0);
    Trap_CreateCVar(&ui_skipUi, "ui_skipUi", "0", CMD_NOSAVE);
    Trap_CreateCVar(&ui_skipHistoryDump, "ui_skipHistoryDump", "0", CMD_CLIENT);
    UI_ImpConsole(consoleText);
    UI_ClearChatHistory();
}

void UI_Init() {
    UI_InitAtoms();
    UI_InitConsole();
    UI_InitMenu();
    UI_InitChat();
    ui.initialised = 1;
}

void UI_Shutdown() {
    if (!ui.initialised) return;
    UI_ShutdownChat();
    UI_ShutdownMenu();
    UI_ShutdownConsole();
    UI_ShutdownAtoms();
    // Nothing may point at the freed atoms when the interface starts again.
    ui.waitingKeyBox = nullptr;
    ui.initialised = 0;
}

uint8_t UI_AllowBinds() { return UI_ConsoleIsDown() == 0.0f && cg.menu == CG_MENU_NONE && cg.chatMode == 0; }

// ---- frame ----

void UI_MenuFadeUp() {
    ui.fadeState = UI_FADE_UP;
    ui.fadeAlpha = 1.0f;
}

uint8_t UI_IsSpectatorAimMode() { return ui.aimMode; }

static void UpdateSpectatorMenu() {
    const bool spectating = cg.ecl.state == ECL_CONNECTED && cg.predicted.moveType == MT_SPECTATOR &&
                            cg.menu == CG_MENU_NONE;
    if (!spectating) {
        ui.spectatorMenu = 0;
        return;
    }
    if (!ui.spectatorMenu) ui.aimMode = 0;  // each new spell as a spectator starts with the cursor
    ui.spectatorMenu = 1;
}

void UI_Frame() {
    UI_SetAllAtomsNonVisible();
    ui.caretBlink += static_cast<int32_t>(qgame.frameMsec);
    if (ui.caretBlink > UI_BLINK_MSEC) ui.caretBlink = -UI_BLINK_MSEC;
    if (ui.fadeState == UI_FADE_UP) {
        ui.fadeAlpha -= qgame.frameSeconds;
        if (ui.fadeAlpha < 0.0f) {
            ui.fadeAlpha = 0.0f;
            ui.fadeState = UI_FADE_NONE;
        }
    }
    UpdateSpectatorMenu();
    if (qgame.newerVersion && !ui.versionShown) {
        ui.modal = MODAL_NEW_VERSION;
        ui.versionShown = 1;
    }
    const bool connecting = cg.ecl.state == ECL_CONNECTING;
    if (!connecting && ui.modal == MODAL_CONNECTING) ui.modal = MODAL_NONE;
    if (connecting) {
        netadr_t address;
        memcpy(&address, cg.ecl.serverAddress, sizeof address);
        UI_ShowConnectingWindow(&address);
    }
    if (UI_ConsoleIsDown() == 0.0f && cg.menu == CG_MENU_NONE && (!ui.spectatorMenu || ui.aimMode)) {
        cg.cursorMode = 0;
        Trap_SetAimMode();
    } else {
        cg.cursorMode = 1;
        Trap_SetCursorMode();
    }
    UI_ConsoleFrame();
}

// ---- intro logo ----

void UI_BeginCinematic(const char *path) {
    (void)path;  // every cinematic of the client game is the logo
    cg.menu = CG_MENU_INTRO;
    cg.cinematicTime = 0.0f;
}

void UI_EndCinematic() {
    cg.menu = CG_MENU_LOBBY;
    UI_MenuFadeUp();
    Trap_CIN_EndCinematic();
}

void UI_DrawCinematic() {
    if (cg.menu != CG_MENU_INTRO) return;
    const float t = cg.cinematicTime;
    if (t > 1.0f) {
        UI_EndCinematic();
        return;
    }
    float b = 1.0f;
    if (t < UI_INTRO_FADE) {
        b = t / UI_INTRO_FADE;
    } else if (t > 1.0f - UI_INTRO_FADE) {
        b = 1.0f - (t - (1.0f - UI_INTRO_FADE)) / UI_INTRO_FADE;
    }
    const float colour[4] = {b, b, b, 1.0f};
    CG_DrawStretchPic(0, 0, 0, UI_SCREEN_WIDTH, UI_SCREEN_HEIGHT, colour, uiMedia[UIMEDIA_LOGO], 0);
    cg.cinematicTime += UI_INTRO_SPEED * qgame.frameSeconds;
}

// ---- loading screen ----

static void LoadingText(float y, float scale, const char *text) {
    CG_DrawString(0, UI_SCREEN_WIDTH / 2, y, scale, text, color_white, uiMedia[UIMEDIA_NORMAL_FONT], CG_TEXT_CENTER);
}

void UI_DrawLoadingMap(int32_t downloading, const char *stepText, int32_t currentStep, int32_t stepCount) {
    if (cgw.loadingImage) {
        // Textures are handed to the 2D drawing as negated handles.
        CG_DrawStretchPic(0, 0, 0, UI_SCREEN_WIDTH, UI_SCREEN_HEIGHT, color_white, -cgw.loadingImage, 0);
    } else {
        CG_DrawStretchPic(0, 0, 0, UI_SCREEN_WIDTH, UI_SCREEN_HEIGHT, color_black, uiMedia[UIMEDIA_WHITE], 0);
    }
    netadr_t server;
    memcpy(&server, cg.ecl.serverAddress, sizeof server);
    char line[UI_HISTORY_LINE];
    Com_sprintf(line, sizeof line, "Map %s @ %s", cgw.name, Com_adrstr(&server));
    LoadingText(230, 1.2f, line);
    if (downloading) {
        LoadingText(253, 0.6f, "DOWNLOADING MAP...");
        UI_Download_Show();
        return;
    }
    Com_sprintf(line, sizeof line, "LOADING MEDIA... %s", stepText ? stepText : "");
    LoadingText(253, 0.6f, line);
    if (stepCount == 0) return;
    if (stepCount < 0) {
        LoadingText(270, 1.0f, "");
        return;
    }
    // The finished steps' dots are white; a colour key before the current one turns it and the rest blue.
    char dots[UI_LOADING_DOTS + COLOR_KEY_LEN + 1];
    int n = 0;
    for (int32_t i = 0; i < stepCount && i < UI_LOADING_DOTS; i++) {
        if (i == currentStep) {
            dots[n++] = static_cast<char>(COLOR_KEY);
            dots[n++] = '0';
            dots[n++] = '8';
        }
        dots[n++] = '.';
    }
    dots[n] = 0;
    LoadingText(270, 1.0f, dots);
}

// ---- media ----

static constexpr const char *ui_mediaFonts[] = {
    "game/base/normal.font", "game/base/console.font", "game/base/console_notify.font",
    "game/base/chat.font",   "game/base/small.font",   "game/base/pretty_big.font",
};
// Materials of slots UIMEDIA_WHITE..UIMEDIA_EDIT512, then of UIMEDIA_TRANSPARENT..UIMEDIA_RESERVED.
static constexpr const char *ui_mediaMaterialsA[] = {
    "game/c_materials/white.material", "game/c_materials/black.material", "game/ui/console.material",
    "game/ui/console_border.material", "game/ui/code_black.material",     "game/ui/code_gray.material",
    "game/ui/hm_logo.material",
};
static constexpr const char *ui_mediaMaterialsB[] = {
    "game/ui/window.material",       "game/ui/button.material",        "game/ui/button_over.material",
    "game/ui/button_down.material",  "game/ui/button_highlight.material", "game/ui/list.material",
    "game/ui/vscroll_bg.material",   "game/ui/vscroll_caret.material", "game/ui/hscroll_bg.material",
    "game/ui/hscroll_caret.material", "game/ui/filled.material",       "game/ui/check.material",
    "game/ui/check_marked.material", "game/ui/check_down.material",    "game/ui/edit128.material",
    "game/ui/edit256.material",      "game/ui/edit512.material",
};
static constexpr const char *ui_mediaMaterialsC[] = {
    "game/c_materials/transparent.material", "game/ui/win.material", "game/ui/freebsd.material",
    "game/ui/linux.material", "game/ui/password.material",
    "game/c_materials/transparent.material",  // the reserved slot: any handle does
};
static_assert(std::size(ui_mediaFonts) == UIMEDIA_WHITE);
static_assert(UIMEDIA_WHITE + std::size(ui_mediaMaterialsA) == UIMEDIA_USER_MAP);
static_assert(UIMEDIA_WINDOW + std::size(ui_mediaMaterialsB) == UIMEDIA_PORTRAIT_FIRST);
static_assert(UIMEDIA_TRANSPARENT + std::size(ui_mediaMaterialsC) == UIMEDIA_LOBBY_LOGO);

void UI_RegisterMedia() {
    const int32_t start = Trap_GetTime();
    int32_t slot = 0;
    for (const char *path : ui_mediaFonts) uiMedia[slot++] = CG_RegisterFont(path);
    for (const char *path : ui_mediaMaterialsA) uiMedia[slot++] = CG_RegisterMaterial(path);
    uiMedia[slot++] = CG_RegisterTextureNoMip("game/c_textures/user.tga");
    for (const char *path : ui_mediaMaterialsB) uiMedia[slot++] = CG_RegisterMaterial(path);
    for (int32_t i = 0; i < UIMEDIA_PORTRAITS; i++) {
        char path[MAX_OSPATH];
        Com_sprintf(path, sizeof path, "game/ui/credits/portrait_%d.material", static_cast<int>(i + 1));
        uiMedia[slot++] = CG_RegisterMaterial(path);
    }
    for (const char *path : ui_mediaMaterialsC) uiMedia[slot++] = CG_RegisterMaterial(path);
    uiMedia[slot++] = CG_RegisterModel("game/ui/lobby/logo.model");
    uiMedia[slot++] = CG_RegisterMaterial("game/ui/window_join.material");
    uiMedia[slot++] = CG_RegisterMaterial("game/ui/quit/window.material");
    uiMedia[slot++] = CG_RegisterSound("game/c_sounds/menu_click.sound");
    Com_Printf("Loaded UI media in \xA4" "08%d\xA4" "00 msec", static_cast<int>(Trap_GetTime() - start));
}

int32_t UI_GetUserMapImage() { return uiMedia[UIMEDIA_USER_MAP]; }
