// The title screen, the server-info screen and the credits.
#include "game_ui/ui_lobby.h"

void UI_Lobby_Init() {}
void UI_Lobby_Draw() {}
void UI_ServerInfo_Init() {}
void UI_ServerInfo_Draw() {}
void UI_Credits_Draw() {}
