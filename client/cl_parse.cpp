// The reader of every package that reaches the client: the handshake answers, the
// server's disconnect, texts for the client game, and the pieces of an in-band
// server package.  And the queue of server commands the client game takes.
#include <cstdlib>
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "base/files.h"
#include "base/module.h"
#include "client/cl_local.h"
#include "common/common.h"

uint8_t cl_dropPackage;
static uint32_t cl_packageCount;  // only printed

static bool FromServer(const netadr_t *sender) { return Com_adrcmp(sender, &cl.pipe.remote); }

// Texts that steer the client game ("cg_*", "serverinfo2") are taken only from the
// server the client is connected to, or from a server in this process; anyone else
// on the network could otherwise speak in the server's name.
static bool TrustedSender(const netadr_t *sender) { return sender->type == NA_LOCAL || FromServer(sender); }

// ---- the server-command queue ----

// The server's texts and everyone else's wait in rings of their own: texts anyone
// may send ("serverinfo", "cg_server_list") can fill only theirs, never the room of
// the server's "cg_*" and "serverinfo2".
static clServerCommands_t &QueueOf(const netadr_t *sender) {
    return TrustedSender(sender) ? cl_serverCommands : cl_outsideCommands;
}

void CL_HandleCGServerCommand(const msg_t *msg, const netadr_t *address) {
    clServerCommands_t &q = QueueOf(address);
    if (q.head - q.tail >= CL_SERVER_COMMANDS) {
        Com_Error(ER_DEVWARNING, "CL_HandleCGServerCommand: Buffer full dropping server cmds");
        return;
    }
    clServerCommand_t &entry = q.entries[q.head % CL_SERVER_COMMANDS];
    entry.address = *address;
    int length = (msg->curBits + 7) / 8;
    if (length < 0) length = 0;
    if (length > MAX_MSGLEN) length = MAX_MSGLEN;
    memcpy(entry.text, msg->data, static_cast<size_t>(length));
    entry.text[length] = 0;
    q.head++;
}

void CL_GetNextServerCommand(netadr_t *address) {
    // The server's texts first; the others once the server's are read.
    clServerCommands_t &q = cl_serverCommands.head != cl_serverCommands.tail ? cl_serverCommands : cl_outsideCommands;
    if (q.head == q.tail) {
        Com_TokenizeString("");
        return;
    }
    const clServerCommand_t &entry = q.entries[q.tail % CL_SERVER_COMMANDS];
    if (address) *address = entry.address;
    Com_TokenizeString(entry.text);
    q.tail++;
}

int32_t CL_ServerCommandArgc() { return Com_Argc(); }

const char *CL_ServerCommandArgv(int32_t n) { return Com_Argv(n); }

const char *CL_GetWorldInfoString() { return cl.worldInfo; }

// ---- the world info ----

// Falls to disconnected without telling the client game, and drops the package.
static void RefuseWorldInfo(const char *why) {
    Com_Error(ER_ERROR, "Bad world info string from server (%s)", why);
    cl.state = ECL_DISCONNECTED;
    cl_dropPackage = 1;
}

static void ParseWorldInfo(const msg_t *msg) {
    const int32_t worldId = Msg_ReadLong();
    const int32_t version = Msg_ReadLong();
    // Read into room of its own: a text that does not fit an info string is
    // refused whole, never cut and never written past the stored string.
    char text[MAX_INFO_STRING + 1];
    const int length = Msg_ReadString(text, sizeof text);
    if (msg->overflowed) {
        cl_dropPackage = 1;
        return;
    }
    cl.worldInfoVersion = version;
    if (length >= MAX_INFO_STRING) {
        RefuseWorldInfo("too long");
        return;
    }
    memcpy(cl.worldInfo, text, static_cast<size_t>(length) + 1);
    static constexpr const char *required[3] = {"eof", "path", "cheat"};
    static constexpr const char *number[3] = {"1", "2", "3"};
    for (int i = 0; i < 3; i++) {
        if (!Com_IS_GetValue(cl.worldInfo, required[i])) {
            RefuseWorldInfo(number[i]);
            return;
        }
    }
    const char *pure = Com_IS_GetValue(cl.worldInfo, "pure");
    const uint8_t pureMode = static_cast<uint8_t>(atoi(pure ? pure : "1") != 0);
    char path[MAX_INFO_STRING];
    Com_strncpyz(path, Com_IS_GetValue(cl.worldInfo, "path"), sizeof path);
    const char *cheat = Com_IS_GetValue(cl.worldInfo, "cheat");
    const uint8_t allowCheat = static_cast<uint8_t>(atoi(cheat) != 0);

    if (cl.state == ECL_CONNECTING) {
        cl.state = ECL_CONNECTED;
        if (!Call_CG_ConnectedToServer()) {
            cl.state = ECL_DISCONNECTED;
            cl_dropPackage = 1;
            return;
        }
    }
    FS_SetPure(pureMode);
    if (strcmp(path, cl.worldPath) != 0 || worldId != cl.worldId) {
        if (!Call_CG_MapChange(path)) {
            cl.state = ECL_DISCONNECTED;
            cl_dropPackage = 1;
            return;
        }
        CL_MapChange();
        cl.worldComplete = 0;
        if (cl.ecl) cl.ecl->worldIncomplete = 1;
        cl.matterChecksum = 0;
        cl.snapCount = 0;
        Com_strncpyz(cl.worldPath, path, sizeof cl.worldPath);
    }
    cl.worldId = worldId;
    Cmd_SetAllowCheat(allowCheat);
}

// ---- in-band pieces ----

static void ParseServerPackage(netPackage_t *package) {
    const msg_t *msg = &package->msg;
    cl_dropPackage = 0;
    while (!Msg_IsEOF() && !cl_dropPackage) {
        // A piece may have ended the connection (the client game disconnects when
        // the server drops it): what follows was meant for a connection that is gone.
        if (cl.state == ECL_DISCONNECTED) break;
        const uint8_t type = Msg_ReadByte();
        if (msg->overflowed) break;
        if (cl.state == ECL_CONNECTING && type != SVP_WORLDINFO) break;
        switch (type) {
        case SVP_SNAPSHOT: {
            if (cl_printNet.integer) Com_Printf("%u Snapshot", cl_packageCount);
            snapshot_t *s = CL_DecodeSnapshot();
            if (!s) cl_dropPackage = 1;
            else s->packageSize = msg->curBits / 8;
            break;
        }
        case SVP_PAGE:
            if (cl_printNet.integer) Com_Printf("%u Page", cl_packageCount);
            CL_HandlePackagePage(0);
            break;
        case SVP_PAGE_DELTA:
            if (cl_printNet.integer) Com_Printf("%u Page Delta", cl_packageCount);
            CL_HandlePackagePage(1);
            break;
        case SVP_WORLDINFO: ParseWorldInfo(msg); break;
        case SVP_PING: {
            const int32_t value = Msg_ReadLong();
            if (!msg->overflowed) CL_SendPingResponse(value);
            break;
        }
        case SVP_DROP:
            if (cl.state == ECL_CONNECTED) {
                Call_Disconnect();
                Call_DisconnectScreen2("Server dropped us");
            }
            // Nothing the server wrote after dropping us is acted on.
            cl_dropPackage = 1;
            break;
        default:
            Com_Error(ER_WARNING, "CL_HandlePackage: Bad package from %s", Com_adrstr(&package->address));
            cl_dropPackage = 1;
            break;
        }
        // A piece that ran past the package's end holds "past the end" values:
        // nothing after it can be trusted.
        if (msg->overflowed) cl_dropPackage = 1;
        if (cl_dropPackage) break;
        cl.lastReceiveTime = CL_Now();
        cl.stalled = 0;
    }
}

// ---- dispatch ----

static void HandleChallenge(const netadr_t *sender) {
    if (cl.state != ECL_CONNECTING || !FromServer(sender)) return;
    const int32_t challenge = static_cast<int32_t>(strtoul(Msg_Argv(1), nullptr, 10));
    if (challenge != cl.challenge) Com_Printf("New server challenge: \xA4" "08%u\xA4" "00", static_cast<uint32_t>(challenge));
    cl.challenge = challenge;
    CL_SendConnect();
}

static void HandleDisconnect(const netadr_t *sender) {
    if (!FromServer(sender) || atoi(Msg_Argv(1)) != cl.challenge) return;
    Call_Disconnect();
    Call_DisconnectScreen2(Msg_Argv(2));
}

void CL_HandlePackage(netPackage_t *package) {
    cl_packageCount++;
    const netadr_t *sender = &package->address;
    const char *word = Msg_Argv(0);
    if (!strcmp(word, "poll") || !strcmp(word, "master_poll")) return;
    if (!strcmp(word, "challenge")) {
        HandleChallenge(sender);
        return;
    }
    if (!strcmp(word, "serverinfo") || !strcmp(word, "cg_server_list")) {
        CL_HandleCGServerCommand(&package->msg, sender);
        return;
    }
    if (!strcmp(word, "serverinfo2")) {
        if (TrustedSender(sender)) CL_HandleCGServerCommand(&package->msg, sender);
        return;
    }
    if (!strcmp(word, "disconnect")) {
        HandleDisconnect(sender);
        return;
    }
    if (cl.state == ECL_DISCONNECTED) {
        Com_DPrintf("CL_HandlePackage: Get packaged from %s but we are disconnected", Com_adrstr(sender));
        return;
    }
    if (cl.state == ECL_CONNECTED && Msg_Argc() > 0 && !strncmp(word, "cg_", 3)) {
        if (!TrustedSender(sender)) return;
        if (cl_printNet.integer) Com_Printf("%u CG_", cl_packageCount);
        CL_HandleCGServerCommand(&package->msg, sender);
        return;
    }
    if (cl.state == ECL_CONNECTED && !strcmp(word, "cl_print")) {
        if (cl_printNet.integer) Com_Printf("%u print", cl_packageCount);
        return;
    }
    // In-band data is the server's alone: its pipe joined the datagrams, so the
    // sender is the server's address.
    if (!FromServer(sender)) return;
    Msg_ReadBegin(&package->msg);
    ParseServerPackage(package);
}
