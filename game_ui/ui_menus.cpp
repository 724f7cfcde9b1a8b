// The menu frame: one screen per cg.menu value.
#include "game_ui/ui_menus.h"

#include "game_cl/cg_local.h"
#include "game_ui/ui_browser.h"
#include "game_ui/ui_create.h"
#include "game_ui/ui_lobby.h"
#include "game_ui/ui_main.h"
#include "game_ui/ui_options.h"

void UI_InitMenu() {
    UI_Lobby_Init();
    UI_ServerInfo_Init();
    UI_Connect_Init();
    UI_Create_Init();
    UI_Options_Init();
    UI_Game_Init();
    UI_Controls_Init();
    UI_Forge_Init();
    UI_System_Init();
}

void UI_ShutdownMenu() {}

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

void UI_DrawMenu() { DrawScreen(cg.menu); }

void UI_ShowDisconnectWindow(const char *text) { (void)text; }
void UI_ShowConnectingWindow(const netadr_t *address) { (void)address; }
void UI_Download_Show() {}
