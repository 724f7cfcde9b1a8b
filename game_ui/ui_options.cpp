// The option screens.
#include "game_ui/ui_options.h"

void UI_Options_Init() {}
void UI_Options_Draw() {}
void UI_Game_Init() {}
void UI_Game_Draw() {}
void UI_Controls_Init() {}
void UI_Controls_Draw() {}
void UI_Forge_Init() {}
void UI_Forge_Draw() {}
void UI_System_Init() {}
void UI_System_Draw() {}
