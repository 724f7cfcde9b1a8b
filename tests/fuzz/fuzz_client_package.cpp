// libFuzzer target for client packages: the input is the body of a package from a
// connected player, read by the server as a datagram's payload.  Whatever it holds,
// the reader must stay inside its buffers, keep the slot's records consistent, and
// the command queue must hand out commands in rising order.  Run by scripts/fuzz.sh.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "base/net.h"
#include "common/common.h"
#include "server/server.h"

static int IgnoreError(int, const char *) { return 0; }

static const netadr_t player{NA_LOCAL, {}, 0, 0};
static uint8_t records[SV_MAX_CLIENTS][920];
static netPackage_t package;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    Com_SetupError(IgnoreError);
    Cmd_Startup();
    NET_Imp();
    SV_Imp(1);
    SV_StartServer("fuzz.vo2");
    SV_UploadClientStateReference(records, sizeof records[0]);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > MAX_MSGLEN - 8) return 0;
    SV_AddClient(0, &player, -1, 4242);
    svClient_t *c = &sv_clients[0];
    // Half the inputs get the right header so that the records are reached.
    Msg_WriteBegin(&package.msg);
    if (size && (data[0] & 1)) {
        Msg_WriteLong(CLSV_MAGIC);
        Msg_WriteLong(4242);
        data++, size--;
    }
    Msg_WriteBytes(data, static_cast<int>(size));
    package.address = player;
    Msg_ReadBegin(&package.msg);
    Msg_ReadTokenize();
    SV_HandlePackage(&package);

    if (c->info[SV_INFO_SIZE - 1] != 0 || c->ccNewest < 0) abort();
    int32_t last = c->ccExecuted;
    for (int i = 0; i < 64; i++) {
        const cc_t *cmd = SV_GetClientCommand(0);
        if (!cmd) break;
        if (static_cast<int32_t>(cmd->number) <= last || cmd->textLength >= CC_TEXT_SIZE ||
            cmd->text[cmd->textLength] != 0)
            abort();
        last = static_cast<int32_t>(cmd->number);
    }
    SV_DeleteClient(0);
    netPackage_t drain;
    while (NET_GetPackage(NS_SERVER, &drain) || NET_GetPackage(NS_CLIENT, &drain)) {
    }
    return 0;
}
