// The create-server screen.
#include "game_ui/ui_create.h"

void UI_Create_Init() {}
void UI_Create_Draw() {}
