// libFuzzer target for the client's package parser: the input is a package that
// reached a connected client, from its server or from a stranger, as text or as
// in-band pieces.  Whatever it holds, the parser must stay inside its records: the
// world info stays a terminated info string, the server-command queue keeps its
// counters, and the connection state stays one of its three values.  Run by
// scripts/fuzz.sh.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "base/module.h"
#include "base/net.h"
#include "client/cl_local.h"
#include "common/common.h"

static int IgnoreError(int, const char *) { return 0; }
static int32_t Accept(int, gameArg_t *) { return 1; }

static const netadr_t server{NA_LOCAL, {}, 0, 0};
static const netadr_t stranger{NA_IP, {10, 1, 2, 3}, 14666, 0};
static netPackage_t package;
static ecl_t ecl;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    Com_SetupError(IgnoreError);
    Cmd_Startup();
    NET_Imp();
    CL_Imp();
    CL_InitWorld();
    ge.call = Accept;
    qbase.clientRunning = 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > MAX_MSGLEN - 1) return 0;
    // The first byte picks the sender and whether the client is still connecting.
    const uint8_t mode = data[0];
    data++, size--;
    memset(&cl, 0, sizeof cl);
    cl.snapNewest = -1;
    CL_UploadECL(&ecl);
    NET_SetupPipe(&cl.pipe, NS_CLIENT, &server);
    cl.state = (mode & 2) ? ECL_CONNECTING : ECL_CONNECTED;
    cl.challenge = 4242;
    Msg_WriteBegin(&package.msg);
    Msg_WriteBytes(data, static_cast<int>(size));
    package.address = (mode & 1) ? stranger : server;
    Msg_ReadBegin(&package.msg);
    Msg_ReadTokenize();
    CL_HandlePackage(&package);

    if (memchr(cl.worldInfo, 0, sizeof cl.worldInfo) == nullptr) abort();
    if (memchr(cl.worldPath, 0, sizeof cl.worldPath) == nullptr) abort();
    if (cl.state < ECL_DISCONNECTED || cl.state > ECL_CONNECTED) abort();
    for (const clServerCommands_t *q : {&cl_serverCommands, &cl_outsideCommands})
        if (q->head - q->tail > CL_SERVER_COMMANDS) abort();
    // Empty the queue and whatever the client answered.
    for (int i = 0; i < CL_SERVER_COMMANDS; i++) CL_GetNextServerCommand(nullptr);
    netPackage_t drain;
    while (NET_GetPackage(NS_CLIENT, &drain)) {}
    return 0;
}
