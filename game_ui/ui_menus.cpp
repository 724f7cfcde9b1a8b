// The menu frame: the top menu, the spectator bar, the modal windows and the download
// window, and the dispatch that draws the screen of cg.menu.  Every atom is made once
// by UI_InitMenu; the interface frame hides them all, so whatever is drawn here in a
// frame is exactly what takes input.
#include "game_ui/ui_menus.h"

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_main.h"
#include "game_cl/cg_screen.h"
#include "game_ui/ui_browser.h"
#include "game_ui/ui_create.h"
#include "game_ui/ui_local.h"
#include "game_ui/ui_lobby.h"
#include "game_ui/ui_main.h"
#include "game_ui/ui_options.h"

static constexpr const char *UI_MENU_MUSIC = "game/c_sounds/music/menu.ogg";
constexpr int32_t UI_MUSIC_FULL_VOLUME = 255;  // the music trap's scale
static constexpr const char *UI_WEB_ADDRESS = "http://www.hollowmere.net/";
constexpr int32_t UI_CREDITS_FOR_LOGO = 25;  // presses of CREDITS after which the logo stays replaced

// The top menu's buttons after its anchor.
enum uiTopButton_t : int32_t { TOP_CONNECT = 1, TOP_CREATE, TOP_OPTIONS, TOP_CREDITS, TOP_QUIT, TOP_ATOMS };
enum uiSpectatorAtom_t : int32_t { SPEC_WINDOW, SPEC_HINT, SPEC_BLUE, SPEC_RED, SPEC_JOIN, SPEC_ATOMS };
enum uiPasswordAtom_t : int32_t { PASS_WINDOW, PASS_TEXT, PASS_BOX, PASS_OK, PASS_CANCEL, PASS_ATOMS };
constexpr int32_t UI_WINDOW_SECOND_TEXT = 2;  // a window's second line, where it has one

static uiAtom_t *ui_topMenu[TOP_ATOMS];
static uiAtom_t *ui_spectator[SPEC_ATOMS];
static uiAtom_t *ui_quit[4];
static uiAtom_t *ui_leave[4];
static uiAtom_t *ui_maperror[3];
static uiAtom_t *ui_cerror[3];
static uiAtom_t *ui_version[4];
static uiAtom_t *ui_password[PASS_ATOMS];
static uiAtom_t *ui_connecting[4];
static uiAtom_t *ui_disconnect[4];
static uiAtom_t *ui_download[2];

static bool menu_built;            // between UI_InitMenu and UI_ShutdownMenu: the atoms exist
static int32_t click_count;        // presses of CREDITS since start
static uint32_t last_pass_frame;   // frame of the password window's last draw

// The atoms of each modal window, by its number.
struct uiModalWindow_t {
    uiAtom_t **atoms;
    int32_t count;
};
static const uiModalWindow_t ui_modalWindows[] = {
    {nullptr, 0},      {ui_quit, 4},      {ui_leave, 4},   {ui_maperror, 3}, {ui_cerror, 3},
    {ui_version, 4},   {ui_password, 5},  {ui_connecting, 4}, {ui_disconnect, 4},
};

// ---- pieces the screens share ----

void UI_DrawAtoms(uiAtom_t *const *atoms, int32_t count) {
    for (int32_t i = 0; i < count; i++) {
        UI_SetVisible(atoms[i], 1);
        UI_Message(atoms[i], UIM_DRAW, 0, 0);
    }
}

bool UI_EnteringScreen(uint32_t *lastDraw) {
    const uint32_t frame = qgame.frameCount;
    const bool entering = *lastDraw == 0 || frame - *lastDraw > 1;
    *lastDraw = frame;
    return entering;
}

uiAtom_t *UI_CreateScreenWindow() {
    return UI_CreatePic(nullptr, 0, UI_SCREEN_WINDOW_Y, 640, 400, uiMedia[UIMEDIA_WINDOW], color_white, 0);
}

uiAtom_t *UI_CreateMenuButton(uiAtom_t *parent, int32_t x, int32_t y, int32_t w, int32_t h, const char *text,
                              uiAtomCallback_t action) {
    uiAtom_t *button = UI_CreateButton(parent, x, y, w, h, uiMedia[UIMEDIA_BUTTON], uiMedia[UIMEDIA_BUTTON_OVER],
                                       uiMedia[UIMEDIA_BUTTON_DOWN], 0, text, UI_ALIGN_CENTER);
    UI_SetButtonFunctions(button, nullptr, nullptr, nullptr, action);
    return button;
}

uiAtom_t *UI_CreateMenuCheckBox(uiAtom_t *parent, int32_t x, int32_t y, uint8_t marked) {
    uiAtom_t *box = UI_CreateCheckBox(parent, x, y, 15, 15, uiMedia[UIMEDIA_CHECK], uiMedia[UIMEDIA_CHECK_MARKED],
                                      uiMedia[UIMEDIA_CHECK_DOWN], 0);
    UI_SetCheckBoxMarked(box, marked);
    return box;
}

// ---- top menu ----

// A second press of a screen's button goes back to the title screen.
static void ToggleMenu(int32_t menu) { cg.menu = cg.menu == menu ? CG_MENU_LOBBY : menu; }
static void TopConnect(uiAtom_t *) { ToggleMenu(CG_MENU_BROWSER); }
static void TopCreate(uiAtom_t *) { ToggleMenu(CG_MENU_CREATE_SERVER); }
static void TopOptions(uiAtom_t *) { ToggleMenu(CG_MENU_OPTIONS); }
static void TopCredits(uiAtom_t *) {
    ToggleMenu(CG_MENU_CREDITS);
    if (++click_count > UI_CREDITS_FOR_LOGO) ui.logoReplaced = 1;
}
static void TopQuit(uiAtom_t *) { ui.modal = MODAL_QUIT; }

static void CreateTopMenu() {
    uiAtom_t *anchor = ui_topMenu[0] = UI_CreatePic(nullptr, 0, 0, 0, 0, 0, color_white, 0);
    struct topButton_t {
        const char *text;
        int32_t x;
        uiAtomCallback_t action;
    };
    static constexpr topButton_t buttons[] = {{"CONNECT", 60, TopConnect},  {"CREATE", 180, TopCreate},
                                              {"OPTIONS", 300, TopOptions}, {"CREDITS", 420, TopCredits},
                                              {"QUIT", 585, TopQuit}};
    for (int32_t i = 0; i < TOP_ATOMS - 1; i++) {
        uiAtom_t *b = UI_CreateButton(anchor, buttons[i].x, 25, 110, 40, uiMedia[UIMEDIA_BUTTON],
                                      uiMedia[UIMEDIA_BUTTON_OVER], uiMedia[UIMEDIA_BUTTON_DOWN],
                                      uiMedia[UIMEDIA_BUTTON_HIGHLIGHT], buttons[i].text, UI_ALIGN_CENTER);
        UI_SetButtonFunctions(b, nullptr, nullptr, nullptr, buttons[i].action);
        ui_topMenu[i + 1] = b;
    }
}

// The top-menu button lit for a menu: the screen's own, the options hub's for its screens.
static int32_t HighlightedButton(int32_t menu) {
    switch (menu) {
    case CG_MENU_BROWSER: return TOP_CONNECT;
    case CG_MENU_CREATE_SERVER: return TOP_CREATE;
    case CG_MENU_OPTIONS:
    case CG_MENU_GAME_OPTIONS:
    case CG_MENU_CONTROLS:
    case CG_MENU_FORGE_CONTROLS:
    case CG_MENU_SYSTEM: return TOP_OPTIONS;
    case CG_MENU_CREDITS: return TOP_CREDITS;
    default: return 0;
    }
}

// ---- spectator bar ----

static void Join(const char *command) {
    if (cg.gameData.flags & GDF_SOLIDARITY) return;  // nobody joins while the count-down runs
    cg.menu = CG_MENU_NONE;
    Trap_Add(command);
    Trap_CenterCursor();
}
static void JoinBlue(uiAtom_t *) { Join("cc_spawn_blue"); }
static void JoinRed(uiAtom_t *) { Join("cc_spawn_red"); }

static void MessageSpectatorHint(uiAtom_t *atom, uint32_t message, int32_t a, int32_t b) {
    if (message == UIM_KEYUP && a == UI_KEY_MOUSE1) ui.aimMode = !ui.aimMode;
    UI_DefaultMessageProc(atom, message, a, b);
}

static void CreateSpectatorBar() {
    uiAtom_t *w = ui_spectator[SPEC_WINDOW] =
        UI_CreatePic(nullptr, 10, 370, 620, 100, uiMedia[UIMEDIA_WINDOW_JOIN], color_white, 0);
    ui_spectator[SPEC_HINT] = UI_CreateText(w, 300, 20, "Use Left Mouse Button To Toggle Cursor/Aim", color_white,
                                            uiMedia[UIMEDIA_NORMAL_FONT], UI_ALIGN_CENTER);
    UI_SetCustomMessageProc(ui_spectator[SPEC_HINT], MessageSpectatorHint);
    ui_spectator[SPEC_BLUE] = UI_CreateMenuButton(w, 200, 60, 200, 40, "Join Blue Team", JoinBlue);
    ui_spectator[SPEC_RED] = UI_CreateMenuButton(w, 400, 60, 200, 40, "Join Red Team", JoinRed);
    ui_spectator[SPEC_JOIN] = UI_CreateMenuButton(w, 300, 60, 200, 40, "Join Game", JoinBlue);
}

static void DrawSpectatorBar() {
    UI_DrawAtoms(ui_spectator, SPEC_BLUE);
    const int32_t rules = cg.gameData.rules;
    if (rules == RULES_CRYSTAL_ROUNDS || rules == RULES_CAPTURE_CRYSTAL) {
        UI_DrawAtoms(&ui_spectator[SPEC_BLUE], 2);
    } else {
        UI_DrawAtoms(&ui_spectator[SPEC_JOIN], 1);
    }
}

// ---- modal windows ----

static uiAtom_t *ModalWindow(int32_t x, int32_t y, int32_t w) {
    return UI_CreatePic(nullptr, x, y, w, 200, uiMedia[UIMEDIA_QUIT_WINDOW], color_white, 0);
}

static uiAtom_t *WindowText(uiAtom_t *window, int32_t x, int32_t y, const char *text) {
    return UI_CreateText(window, x, y, text, color_green, uiMedia[UIMEDIA_NORMAL_FONT], UI_ALIGN_CENTER);
}

// A modal button takes input while its window is open; its action runs on release.
static uiAtom_t *ModalButton(uiAtom_t *window, int32_t x, int32_t y, int32_t w, const char *text, uint32_t align,
                             uiAtomCallback_t action) {
    uiAtom_t *b = UI_CreateButton(window, x, y, w, 40, uiMedia[UIMEDIA_BUTTON], uiMedia[UIMEDIA_BUTTON_OVER],
                                  uiMedia[UIMEDIA_BUTTON_DOWN], 0, text, align);
    UI_SetColor(b, color_green);
    UI_SetMessageBox(b, 1);
    UI_SetButtonFunctions(b, nullptr, nullptr, nullptr, action);
    return b;
}

// Every modal action first shows the button plain again, so that it does not keep
// its pressed look for the next time its window opens.
static void Plain(uiAtom_t *button) { UI_SetQMat(button, button->button.normalMaterial); }
static void CloseWindow(uiAtom_t *button) {
    Plain(button);
    ui.modal = MODAL_NONE;
}
static void QuitYes(uiAtom_t *button) {
    CloseWindow(button);
    Trap_Add("quit");
}
static void LeaveYes(uiAtom_t *button) {
    CloseWindow(button);
    Trap_Add("disconnect");
}
static void CancelConnecting(uiAtom_t *button) {
    Plain(button);
    CG_Disconnect(0);
    ui.modal = MODAL_NONE;
}

static void SendPassword() {
    char password[UI_ATOM_TEXT];
    UI_GetText(ui_password[PASS_BOX], password);
    // A password the connect command cannot carry keeps the window open to be mended.
    if (UI_ConnectWithPassword(password)) ui.modal = MODAL_NONE;
}
static void PasswordOk(uiAtom_t *button) {
    Plain(button);
    SendPassword();
}
static void MessagePasswordBox(uiAtom_t *atom, uint32_t message, int32_t a, int32_t b) {
    if (message == UIM_KEYDOWN && a == UI_KEY_ENTER) SendPassword();
    UI_DefaultMessageProc(atom, message, a, b);
}

// "Really want to ...?" with YES and NO.
static void CreateQuestion(uiAtom_t **atoms, const char *question, uiAtomCallback_t yes) {
    atoms[0] = ModalWindow(70, 140, 500);
    atoms[1] = WindowText(atoms[0], 250, 80, question);
    atoms[2] = ModalButton(atoms[0], 70, 130, 165, "YES", 0, yes);
    atoms[3] = ModalButton(atoms[0], 255, 130, 165, "NO", 0, CloseWindow);
}

// A notice with one line and OK.
static void CreateNotice(uiAtom_t **atoms, const char *text) {
    atoms[0] = ModalWindow(95, 140, 450);
    atoms[1] = WindowText(atoms[0], 225, 80, text);
    atoms[2] = ModalButton(atoms[0], 225, 150, 165, "OK", UI_ALIGN_CENTER, CloseWindow);
}

static void CreateLateWindows() {
    CreateNotice(ui_maperror, "Please select a map first");
    CreateNotice(ui_cerror, "Please select a server first");

    ui_version[0] = ModalWindow(95, 140, 450);
    ui_version[1] = WindowText(ui_version[0], 225, 70, "There is a new version online at");
    ui_version[2] = WindowText(ui_version[0], 225, 97, UI_WEB_ADDRESS);
    ui_version[3] = ModalButton(ui_version[0], 225, 150, 165, "OK", UI_ALIGN_CENTER, CloseWindow);

    uiAtom_t *w = ui_password[PASS_WINDOW] = ModalWindow(95, 140, 450);
    ui_password[PASS_TEXT] = WindowText(w, 225, 70, "Enter Server Password:");
    const int32_t cw = Trap_CL_GetFontCharWidth(uiMedia[UIMEDIA_NORMAL_FONT]);
    uiAtom_t *box = ui_password[PASS_BOX] =
        UI_CreateEditBox(w, 225 - 8 * cw, 100, 16, "", uiMedia[UIMEDIA_EDIT256], UI_ALIGN_PASSWORD);
    UI_SetMessageBox(box, 1);
    UI_SetCustomMessageProc(box, MessagePasswordBox);
    ui_password[PASS_OK] = ModalButton(w, 150, 150, 150, "OK", UI_ALIGN_CENTER, PasswordOk);
    ui_password[PASS_CANCEL] = ModalButton(w, 300, 150, 150, "Cancel", UI_ALIGN_CENTER, CloseWindow);

    ui_connecting[0] = ModalWindow(95, 140, 450);
    ui_connecting[1] = WindowText(ui_connecting[0], 225, 70, "Connecting to server");
    ui_connecting[2] = WindowText(ui_connecting[0], 225, 100, "");
    ui_connecting[3] = ModalButton(ui_connecting[0], 225, 150, 165, "Cancel", UI_ALIGN_CENTER, CancelConnecting);

    ui_disconnect[0] = ModalWindow(20, 140, 600);
    ui_disconnect[1] = WindowText(ui_disconnect[0], 300, 70, "Disconnected from server");
    ui_disconnect[2] = WindowText(ui_disconnect[0], 300, 100, "");
    ui_disconnect[3] = ModalButton(ui_disconnect[0], 300, 150, 165, "OK", UI_ALIGN_CENTER, CloseWindow);
}

static void DrawModalWindow() {
    if (ui.modal <= MODAL_NONE || ui.modal > MODAL_DISCONNECTED) return;  // other numbers show no window
    if (ui.modal == MODAL_SERVER_PASSWORD && UI_EnteringScreen(&last_pass_frame)) {
        // Each opening starts with an empty box that takes the typing.
        UI_SetText(ui_password[PASS_BOX], "");
        UI_SetFocus(ui_password[PASS_BOX]);
    }
    const uiModalWindow_t &window = ui_modalWindows[ui.modal];
    UI_DrawAtoms(window.atoms, window.count);
}

void UI_ShowConnectingWindow(const netadr_t *address) {
    ui.modal = MODAL_CONNECTING;
    if (menu_built) UI_SetText(ui_connecting[UI_WINDOW_SECOND_TEXT], va("%s...", Com_adrstr(address)));
}

void UI_ShowDisconnectWindow(const char *text) {
    ui.modal = MODAL_DISCONNECTED;
    if (menu_built) UI_SetText(ui_disconnect[UI_WINDOW_SECOND_TEXT], text);
}

// ---- download window ----

static void CancelDownload(uiAtom_t *button) {
    CloseWindow(button);
    Trap_Add("disconnect");
}

void UI_Download_Show() {
    if (menu_built) UI_DrawAtoms(ui_download, 2);
}

// ---- life cycle and frame ----

void UI_InitMenu() {
    click_count = 0;
    last_pass_frame = 0;
    CreateTopMenu();
    UI_Lobby_Init();
    UI_ServerInfo_Init();
    UI_Connect_Init();
    UI_Create_Init();
    UI_Options_Init();
    CreateQuestion(ui_quit, "Really want to quit Hollowmere?", QuitYes);
    CreateQuestion(ui_leave, "Really want to leave game?", LeaveYes);
    UI_Game_Init();
    UI_Controls_Init();
    UI_Forge_Init();
    UI_System_Init();
    CreateSpectatorBar();
    CreateLateWindows();
    ui_download[0] = UI_CreatePic(nullptr, 320, 367, 225, 90, uiMedia[UIMEDIA_WINDOW], color_white, UI_ALIGN_CENTER);
    uiAtom_t *cancel = ui_download[1] = UI_CreateButton(nullptr, 320, 367, 165, 40, uiMedia[UIMEDIA_BUTTON],
                                                        uiMedia[UIMEDIA_BUTTON_OVER], uiMedia[UIMEDIA_BUTTON_DOWN],
                                                        0, "CANCEL", UI_ALIGN_CENTER);
    UI_SetColor(cancel, color_green);
    UI_SetMessageBox(cancel, 1);
    UI_SetButtonFunctions(cancel, nullptr, nullptr, nullptr, CancelDownload);
    menu_built = true;
}

void UI_ShutdownMenu() { menu_built = false; }

static void DrawScreen(int32_t menu) {
    switch (menu) {
    case CG_MENU_LOBBY: UI_Lobby_Draw(); break;
    case CG_MENU_SERVER_INFO: UI_ServerInfo_Draw(); break;
    case CG_MENU_BROWSER: UI_Connect_Draw(); break;
    case CG_MENU_CREATE_SERVER: UI_Create_Draw(); break;
    case CG_MENU_OPTIONS: UI_Options_Draw(); break;
    case CG_MENU_GAME_OPTIONS: UI_Game_Draw(); break;
    case CG_MENU_CONTROLS: UI_Controls_Draw(); break;
    case CG_MENU_FORGE_CONTROLS: UI_Forge_Draw(); break;
    case CG_MENU_SYSTEM: UI_System_Draw(); break;
    case CG_MENU_CREDITS: UI_Credits_Draw(); break;
    default: break;  // other values draw no screen
    }
}

void UI_DrawMenu() {
    if (!menu_built) return;  // the client game may run frames before the interface starts
    const bool connected = cg.ecl.state == ECL_CONNECTED;
    // The title screen cannot be closed while there is no game to go back to.
    if (!connected && cg.menu == CG_MENU_NONE) {
        cg.menu = CG_MENU_LOBBY;
    } else if (cg.menu < CG_MENU_LOBBY && !ui.spectatorMenu) {
        return;
    }
    if (!connected && !cg.musicPlaying) {
        cg.musicPlaying = 1;
        Trap_S_BeginMusic(UI_MENU_MUSIC, UI_MUSIC_FULL_VOLUME);
    }
    if (const cmdVar_t *skip = Trap_GetCVar("ui_skipUi"); skip && skip->integer != 0) return;

    if (!connected) {
        UI_DrawPic(0, 0, 640, 480, color_white, uiMedia[UIMEDIA_CODE_BLACK]);
    } else if (!ui.spectatorMenu) {
        UI_DrawPic(0, 0, 640, 480, color_white, uiMedia[UIMEDIA_CODE_GRAY]);
    }
    const int32_t lit = HighlightedButton(cg.menu);
    for (int32_t i = 1; i < TOP_ATOMS; i++) UI_SetHighLight(ui_topMenu[i], i == lit);
    if (!ui.spectatorMenu) {
        UI_DrawAtoms(ui_topMenu, TOP_ATOMS);
    } else {
        DrawSpectatorBar();
    }
    DrawScreen(cg.menu);
    DrawModalWindow();
    const float fade[4] = {0.0f, 0.0f, 0.0f, ui.fadeAlpha};
    UI_DrawPic(0, 0, 640, 480, fade, uiMedia[UIMEDIA_WHITE]);
}
