// What the parts of the interface share beside its record: the media handles they
// draw with and the console's drop (UI_ConsoleIsDown reports it, 0 while up).
#pragma once

#include <cstdint>

#include "game_ui/ui_main.h"

constexpr float UI_CONSOLE_UP_FRACTION = 0.01f;  // a console dropped no further than this counts as up

// Slots of uiMedia that the toolkit draws and sounds with; the table's order is fixed.
enum uiMediaIndex_t : int32_t {
    UIMEDIA_NORMAL_FONT = 0,
    UIMEDIA_WHITE = 6,
    UIMEDIA_CLICK_SOUND = 48,
    UIMEDIA_COUNT = 49,
};
extern int32_t uiMedia[UIMEDIA_COUNT];  // 0: not registered

// The console as the input routing sees it.
struct uiConsole_t {
    float dropFraction;  // how far the panel is down: 0 up, 1 the whole screen
};
extern uiConsole_t qc;

