#include "client/client.h"

#include <cstring>

#include "base/base.h"
#include "common/common.h"

// Connection states of the client.
enum clState_t : int32_t { CS_DISCONNECTED = 0, CS_CONNECTING = 1, CS_CONNECTED = 2 };

struct clientState_t {
    int32_t state;      // clState_t
    netadr_t server;    // the server's address while connected
};

static clientState_t cl;

void CL_Imp() { memset(&cl, 0, sizeof(cl)); }

void CL_Init() {
    Com_Printf("\xA4" "08CL_Init: Starting up client...");
    qbase.clientRunning = 1;
    Com_Printf("\xA4" "08CL_Init: Starting up client done");
}

void CL_Shutdown() {
    memset(&cl, 0, sizeof(cl));
    qbase.clientRunning = 0;
    Com_Printf("\xA4" "08CL_Shutdown: Client shut downed");
}

uint8_t CL_IsConnected(netadr_t *out) {
    if (!qbase.clientRunning || cl.state != CS_CONNECTED) return 0;
    if (out) *out = cl.server;
    return 1;
}

void CL_CCFrame() {}

void CL_Frame() {
    if (!qbase.clientRunning) return;
}
