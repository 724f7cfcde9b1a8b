// The user interface's entry points.  No console, chat, browser or menu exists in
// this build: nothing ever holds the keyboard and nothing is drawn, shown or saved;
// input goes to the widget toolkit's atoms (ui_atom.h).
#include "game_ui/ui_main.h"

ui_t ui;

void UI_ConsolePrint(const char *text) { (void)text; }
uint8_t UI_AllowBinds() { return 1; }
void UI_Imp(const char *consoleText) {
    (void)consoleText;
    ui = ui_t{};
}
void UI_Init() {}
void UI_Shutdown() {}
void UI_ShowDisconnectWindow(const char *text) { (void)text; }

void UI_Frame() {}
void UI_RegisterMedia() {}
int32_t UI_GetUserMapImage() { return 0; }
void UI_BeginCinematic(const char *path) { (void)path; }
void UI_EndCinematic() {}
uint8_t UI_IsSpectatorAimMode() { return 0; }

void UI_ConsoleForceUp() {}
void UI_ConsoleClearNotify() {}
void UI_Chat_ClearBuffer() {}

void UI_DrawCinematic() {}
void UI_DrawMenu() {}
void UI_DrawNotifyConsole() {}
void UI_DrawChat() {}
void UI_DrawConsole() {}
void UI_DrawLoadingMap(int32_t mode, const char *text, int32_t done, int32_t total) {
    (void)mode;
    (void)text;
    (void)done;
    (void)total;
}
