// The client game as the module's call dispatcher reaches it.
#pragma once

#include <cstdint>

// What the engine's input commands leave in the client game.
struct cgInput_t {
    uint8_t shift, control, consoleKey;  // held now
    float yaw;    // degrees, 0..360
    float pitch;  // degrees, -90..90
};
extern cgInput_t cg_input;

struct netadr_t;

// Call 10: clears the client game and declares the input commands the engine
// queues: in_key_down, in_key_up, in_char, in_mouse, in_yaw and in_pitch.
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
