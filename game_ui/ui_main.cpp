// The user interface's entry points.  No widget, console or menu exists in this
// build, so nothing ever holds the keyboard and there is nothing to show or save.
#include "game_ui/ui_main.h"

void UI_ConsolePrint(const char *text) { (void)text; }
uint8_t UI_AllowBinds() { return 1; }
void UI_DumpServers(FILE *config) { (void)config; }
void UI_Imp(const char *consoleText) { (void)consoleText; }
void UI_Init() {}
void UI_Shutdown() {}
void UI_ShowDisconnectWindow(const char *text) { (void)text; }
