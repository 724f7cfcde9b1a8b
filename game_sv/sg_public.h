// What the rest of the module may ask of the server game: whether a server runs in
// this engine, and to end it.  The client game stops the server beside it through
// these when its player disconnects.
#pragma once

#include <cstdint>

// 1 while a server runs in this engine.
uint8_t SG_IsRunning();
// Call 8 (keepState 0: every client is dropped) and the start of a new server (keepState 1: clients stay).
void SG_ShutdownServer(uint8_t keepState);
