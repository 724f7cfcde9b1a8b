// What the parts of the interface share beside its record: the media handles they
// draw with and the console's drop (UI_ConsoleIsDown reports it, 0 while up).
#pragma once

#include <cstdint>

#include "game_ui/ui_main.h"

constexpr float UI_CONSOLE_UP_FRACTION = 0.01f;  // a console dropped no further than this counts as up

// Slots of uiMedia that the toolkit draws and sounds with; the table's order is fixed.
enum uiMediaIndex_t : int32_t {
    UIMEDIA_NORMAL_FONT = 0,
    UIMEDIA_SMALL_FONT = 4,
    UIMEDIA_WHITE = 6,
    UIMEDIA_LOGO = 12,
    UIMEDIA_WINDOW = 14,
    UIMEDIA_BUTTON = 15,
    UIMEDIA_BUTTON_OVER = 16,
    UIMEDIA_BUTTON_DOWN = 17,
    UIMEDIA_BUTTON_HIGHLIGHT = 18,
    UIMEDIA_LIST = 19,
    UIMEDIA_VSCROLL_BG = 20,
    UIMEDIA_VSCROLL_CARET = 21,
    UIMEDIA_FILLED = 24,
    UIMEDIA_CHECK = 25,
    UIMEDIA_CHECK_MARKED = 26,
    UIMEDIA_CHECK_DOWN = 27,
    UIMEDIA_EDIT512 = 30,
    UIMEDIA_PORTRAIT_FIRST = 31,  // eight portraits of the credits screen, 31..38
    UIMEDIA_TRANSPARENT = 39,
    UIMEDIA_OS_WIN = 40,
    UIMEDIA_OS_FREEBSD = 41,
    UIMEDIA_OS_LINUX = 42,
    UIMEDIA_PASSWORD = 43,
    UIMEDIA_LOBBY_LOGO = 45,  // a model
    UIMEDIA_CLICK_SOUND = 48,
    UIMEDIA_COUNT = 49,
};
extern int32_t uiMedia[UIMEDIA_COUNT];  // 0: not registered

// The console as the input routing sees it.
struct uiConsole_t {
    float dropFraction;  // how far the panel is down: 0 up, 1 the whole screen
};
extern uiConsole_t qc;

