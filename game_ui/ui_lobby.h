// The title screen or lobby (menu 2), the server-info screen (3) and the credits (11).
#pragma once

void UI_Lobby_Init();
void UI_Lobby_Draw();
void UI_ServerInfo_Init();
void UI_ServerInfo_Draw();
void UI_Credits_Draw();
