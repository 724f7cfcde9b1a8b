// The server browser (menu 4): public, LAN and favourite server lists, polls and the
// configuration lines that keep the favourites.
#pragma once

void UI_Connect_Init();  // builds its atoms, once
void UI_Connect_Draw();  // one frame of the screen
// Handlers of "addPublic", "addLan", "addFavorite" (one address each) and "getLanServers".
void UI_AddPublic_f();
void UI_AddLan_f();
void UI_AddFavorite_f();
void UI_GetLanServers_f();
// UI_AddIp, UI_ServerInfo and UI_DumpServers are entry points (ui_main.h).
