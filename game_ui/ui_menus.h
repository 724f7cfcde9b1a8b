// The menu frame: the top menu, the spectator bar, the modal windows and the download
// window, and the dispatch that draws the screen of cg.menu.
#pragma once

#include "common/com_msg.h"

void UI_InitMenu();      // builds the atoms of every screen and window, once
void UI_ShutdownMenu();  // nothing to release: the atoms go with the atom list
// UI_DrawMenu and UI_ShowDisconnectWindow are entry points (ui_main.h).
void UI_ShowConnectingWindow(const netadr_t *address);  // window 7 with "<address>..."
void UI_Download_Show();                                // the download window, shown and drawn
