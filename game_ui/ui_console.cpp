// The console as the rest of the interface asks about it.
#include "game_ui/ui_local.h"

uiConsole_t qc;

float UI_ConsoleIsDown() { return qc.dropFraction <= UI_CONSOLE_UP_FRACTION ? 0.0f : qc.dropFraction; }
