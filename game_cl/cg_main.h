// The client game as the module's call dispatcher reaches it.
#pragma once

#include <cstdint>

struct netadr_t;

// Call 10: clears the client game, blocks model loading until CG_Init, registers
// the client game's commands and variables and takes the player's name.
void CG_Imp();
// Call 11: once; draws the loading frame, starts the media and registers cg with
// the engine client.  A second call only says so (developer).
void CG_Init();
void CG_Shutdown();                            // call 12: disconnects, forgets the loaded media
uint8_t CG_IsInitialized();                    // 1 between CG_Init and CG_Shutdown
// Call 13: a new connection: movement defaults, command and event counters from 0.
uint8_t CG_ConnectedToServer();
// Call 14: loads the client side of the world the server's world info describes;
// 1 on success, else 0 after reporting, showing the disconnect window and disconnecting.
uint8_t CG_MapChange(const char *path);
// Call 15: media again from the defaults; the world again when connected.
void CG_RestartRenderer();
void CG_CCFrame();                             // call 16: builds and sends this frame's command
void CG_Frame();                               // call 17: one frame, inside the client-game context
void CG_RetesselateMark(const float *mins, const float *maxs);  // call 20: the world changed in that box
// Call 26 (flag 0) and the disconnect command: leaves the server, releases the
// world's media and stops a server running in this process, passing flag on.
void CG_Disconnect(uint8_t flag);
// Leaves any server, then asks the engine client to join the one at address.
void CG_Connect(const netadr_t *address, const char *password);
void CG_AddPain(float amount);                 // pain grows by amount, at most to 1
