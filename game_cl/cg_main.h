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

// Call 10: clears the client game and declares the input commands the engine
// queues: in_key_down, in_key_up, in_char, in_mouse, in_yaw and in_pitch.
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
