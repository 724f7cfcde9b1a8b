// The client game as the module's call dispatcher reaches it.
#pragma once

#include <cstdint>

// Call 10: clears the client game, blocks model loading until CG_Init, registers
// the client game's commands and variables and takes the player's name.
void CG_Imp();
void CG_Init();                                // call 11: once; sets the initialised flag
void CG_Shutdown();                            // call 12: clears the initialised flag
uint8_t CG_IsInitialized();                    // 1 between CG_Init and CG_Shutdown
uint8_t CG_ConnectedToServer();                // call 13: 1 when the client game can play on
uint8_t CG_MapChange(const char *worldInfo);   // call 14: 1 when the world's client data loaded
void CG_RestartRenderer();                     // call 15
void CG_CCFrame();                             // call 16: builds and sends this frame's command
void CG_Frame();                               // call 17: one frame, inside the client-game context
void CG_RetesselateMark(const float *mins, const float *maxs);  // call 20: the world changed in that box
void CG_Disconnect(uint8_t flag);              // call 26
