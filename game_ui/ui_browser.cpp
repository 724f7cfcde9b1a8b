// The server browser.
#include "game_ui/ui_browser.h"

void UI_Connect_Init() {}
void UI_Connect_Draw() {}
void UI_AddPublic_f() {}
void UI_AddLan_f() {}
void UI_AddFavorite_f() {}
void UI_GetLanServers_f() {}
