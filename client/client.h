// The engine's client: what the engine base calls of it.
//
// This build is a dedicated host; the client's connection, snapshots, pages and
// drawing come with the client itself.  Until then these are the entry points the
// start-up, the frame and the base console call, each doing only what it can do.
#pragma once

#include <cstdint>

#include "common/com_msg.h"

// Registers the client's variables and commands and clears the client state.
void CL_Imp();
// Starts the client: sets the client-running flag between its two banner lines.
void CL_Init();
// Stops the client and clears the client-running flag.
void CL_Shutdown();
// 1 when the client runs and is connected to a server (its address copied to out
// when out is not null); 0 otherwise.
uint8_t CL_IsConnected(netadr_t *out);
// The client game's command frame; nothing while the client does not run.
void CL_CCFrame();
// The client frame; returns at once while the client does not run.
void CL_Frame();
