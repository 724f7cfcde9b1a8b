// The in-game menu: the top menu bar, the spectator bar, the modal windows and the
// download window, the dispatch that draws one screen per cg.menu, and the pieces
// every screen is built from.
#pragma once

#include <cstdint>

#include "common/com_msg.h"
#include "game_ui/ui_atom.h"

constexpr int32_t UI_SCREEN_WINDOW_Y = 80;  // every settings screen's window sits this far down

void UI_InitMenu();      // builds every screen's and window's atoms once
void UI_ShutdownMenu();  // the atoms go with the atom list: nothing is drawn until the next UI_InitMenu
// UI_DrawMenu and UI_ShowDisconnectWindow are entry points (ui_main.h).
void UI_ShowConnectingWindow(const netadr_t *address);  // window 7 with "<address>..."
void UI_Download_Show();                                // the download window, shown and drawn

// ---- for the screens ----
// Shows and draws the atoms in the order given.
void UI_DrawAtoms(uiAtom_t *const *atoms, int32_t count);
// True when the screen was not drawn in the frame before this one; notes this frame.
bool UI_EnteringScreen(uint32_t *lastDraw);
// The 640 x 400 window a settings screen's atoms are placed in.
uiAtom_t *UI_CreateScreenWindow();
// A button of the menus' look, centred on (x, y), that runs action when clicked.
uiAtom_t *UI_CreateMenuButton(uiAtom_t *parent, int32_t x, int32_t y, int32_t w, int32_t h, const char *text,
                              uiAtomCallback_t action);
// A 15 x 15 check box of the menus' look.
uiAtom_t *UI_CreateMenuCheckBox(uiAtom_t *parent, int32_t x, int32_t y, uint8_t marked);
