// The create-server screen (menu 5).
#pragma once

void UI_Create_Init();  // builds its atoms, once
void UI_Create_Draw();  // one frame of the screen
