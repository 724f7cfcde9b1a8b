// The engine's client: what the engine base and the server call of it.  The
// client's own records are in client/cl_local.h.
#pragma once

#include <cstdint>

#include "base/net.h"
#include "common/com_msg.h"

// Registers the client's variables and commands and clears the client state.
void CL_Imp();
// Starts the client: the client-running flag, the renderer and sound, and the
// client's world when no server runs in this process.
void CL_Init();
// Stops the client: sound and renderer down, client state and flag cleared.
void CL_Shutdown();
// The client's empty world: pages, pool and every page cell's sequence unknown.
void CL_InitWorld();
// 1 when the client runs and is connected to a server (its address copied to out
// when out is not null); 0 otherwise.
uint8_t CL_IsConnected(netadr_t *out);
// The client game's command frame; nothing while the client does not run.
void CL_CCFrame();
// The client frame; returns at once while the client does not run.  It drains the
// client's packages, offering each to the engine's out-of-band handling first.
void CL_Frame();
// The client's pipe when address is its server's, else null; the transport routes
// datagrams sent by a server's pipe with it.
netPipe_t *CL_GetServerNetPipe(const netadr_t *address);
// Queues the message's bytes and a zero, with their sender, for the client game;
// the server hands it the texts for a client in its own process.
void CL_HandleCGServerCommand(const msg_t *msg, const netadr_t *address);
