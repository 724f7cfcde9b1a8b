// The user interface as the module's call dispatcher reaches it.
#pragma once

#include <cstdint>
#include <cstdio>

void UI_ConsolePrint(const char *text);          // call 18: appends to the interface's console
uint8_t UI_AllowBinds();                         // call 19: 1 when no part of the interface holds the keyboard
void UI_DumpServers(FILE *config);               // call 21: the server lists into the configuration being dumped
void UI_Imp(const char *consoleText);            // call 22: the console text printed before the module loaded
void UI_Init();                                  // call 23
void UI_Shutdown();                              // call 24
void UI_ShowDisconnectWindow(const char *text);  // call 27
