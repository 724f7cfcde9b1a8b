// The option screens: the hub (menu 6), game options (7), controls (8), forge
// controls (9) and system (10).
#pragma once

void UI_Options_Init();
void UI_Options_Draw();
void UI_Game_Init();
void UI_Game_Draw();
void UI_Controls_Init();
void UI_Controls_Draw();
void UI_Forge_Init();
void UI_Forge_Draw();
void UI_System_Init();
void UI_System_Draw();
