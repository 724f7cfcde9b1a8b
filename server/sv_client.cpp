// Client slots, the connection handshake, server commands, and the reading of
// client packages.
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "base/module.h"
#include "client/client.h"
#include "common/com_hash.h"
#include "common/common.h"
#include "server/server.h"

static int32_t Now() { return static_cast<int32_t>(Base_Time()); }

static bool SlotNumberValid(int32_t slot) { return slot >= 0 && slot < SV_MAX_CLIENTS; }

// ---- handshake ----

void SV_GetChallenge(const netadr_t *address) {
    const uint32_t used = svs.challengeCounter < SV_MAX_CHALLENGES ? svs.challengeCounter : SV_MAX_CHALLENGES;
    for (uint32_t i = 0; i < used; i++) {
        if (Com_adrcmp(&svs.challenges[i].address, address)) {
            NET_SendOutOfBandPrintf(NS_SERVER, address, "challenge %d", svs.challenges[i].challenge);
            return;
        }
    }
    svChallenge_t *entry = &svs.challenges[svs.challengeCounter % SV_MAX_CHALLENGES];
    svs.challengeCounter++;
    memset(entry, 0, sizeof *entry);
    entry->address = *address;
    // Unpredictable, so that nobody can connect in the name of an address whose
    // answers they do not see.
    entry->challenge = static_cast<int32_t>(Base_UnpredictableRandom());
    NET_SendOutOfBandPrintf(NS_SERVER, address, "challenge %d", entry->challenge);
}

void SV_SendDisconnect(const netadr_t *address, int32_t challenge, const char *reason) {
    NET_SendOutOfBandPrintf(NS_SERVER, address, "disconnect %d \"%s\"", challenge, reason);
}

static bool KnownChallenge(const netadr_t *address, int32_t challenge) {
    const uint32_t used = svs.challengeCounter < SV_MAX_CHALLENGES ? svs.challengeCounter : SV_MAX_CHALLENGES;
    for (uint32_t i = 0; i < used; i++) {
        if (svs.challenges[i].challenge == challenge && Com_adrcmp(&svs.challenges[i].address, address)) return true;
    }
    return false;
}

// The digest text a client sent matches the password's digest.  A text that is
// not a digest at all matches nothing.
static bool DigestMatches(const char *password, const char *digestText) {
    if (strlen(digestText) != 2 * MD5_DIGEST_SIZE) return false;
    byte wanted[MD5_DIGEST_SIZE];
    Com_GetMD5(wanted, password, static_cast<int>(strlen(password)));
    const byte *sent = Com_String2MD5(digestText);
    return sent && Com_CmpMD5(wanted, sent);
}

void SV_ClientConnect(const netadr_t *address, int32_t gameVersion, const char *passwordDigest,
                      const char *sentName, int32_t reserved, int32_t challenge, int32_t packChecksum,
                      int32_t engineVersion) {
    (void)reserved;
    const char *from = Com_adrstr(address);
    // The name is printed on the server's terminal below: without control bytes.
    char plainName[SV_PRINT_SIZE];
    Com_strncpyz(plainName, sentName, sizeof plainName);
    Com_StripControlBytes(plainName);
    const char *const name = plainName;
    if (!KnownChallenge(address, challenge)) {
        Com_Printf("%s (%s) tries to connect with unknown challenge num", name, from);
        return;
    }
    const char *reason = nullptr;
    const int32_t protocol = static_cast<int32_t>(GAME_PROTOCOL);
    int used = SV_GetNumClients();
    if (gameVersion != protocol) {
        Com_Printf("%s (%s) tries to connect with bad game version (%d != %d)", name, from, gameVersion, protocol);
        reason = "Bad game version";
    } else if (engineVersion != SV_ENGINE_VERSION) {
        Com_Printf("%s (%s) tries to connect with bad engine version (%d != %d)", name, from, engineVersion,
                   SV_ENGINE_VERSION);
        reason = "Bad engine version";
    } else if (sv_lanServer.integer && !Com_IsLAN(address)) {
        Com_Printf("%s (%s) tries to connect but we are LAN server", name, from);
        reason = "This is a LAN only server";
    } else if (SV_IsBanned(address)) {
        Com_Printf("%s (%s) tries to connect but is IP banned", name, from);
        reason = "You are banned from this server";
    } else if (svs.password[0] && address->type != NA_LOCAL && !DigestMatches(svs.password, passwordDigest)) {
        Com_Printf("%s (%s) tries to connect with bad password", name, from);
        reason = "Bad password";
    } else if (sv_pure.integer && static_cast<uint32_t>(packChecksum) != qbase.packChecksum) {
        Com_Printf("%s (%s) tries to connect with bad pack CRC", name, from);
        reason = "Server and client game.pack don't match";
    } else if (used >= sv_maxPlayers.integer &&
               !(used < SV_MAX_CLIENTS && svs.privatePassword[0] &&
                 DigestMatches(svs.privatePassword, passwordDigest))) {
        Com_Printf("%s (%s) tries to connect, but server is full", name, from);
        reason = "Server full";
    }
    if (reason) {
        SV_SendDisconnect(address, challenge, reason);
        return;
    }
    svs.lastHeartbeat = 0;
    Call_SG_ClientConnect(address, name, -1, challenge);
}

// ---- slots ----

// Sends a package of its own on the slot's pipe, written by write into a side
// buffer; whatever message was being written stays the write buffer, untouched.
template <typename F> static void SendSidePackage(svClient_t *client, F write) {
    static msg_t side;
    msg_t *const current = Msg_WriteCurrent();
    Msg_WriteBegin(&side);
    write();
    NET_SendPackage(&client->pipe, &side);
    Msg_ContinueWrite(current);
}

static void ClearSlot(svClient_t *client) {
    uint8_t *state = client->state;
    memset(client, 0, sizeof *client);
    client->state = state;
}

void SV_AddClient(int32_t slot, const netadr_t *address, int32_t reserved, int32_t challenge) {
    (void)reserved;
    if (!SlotNumberValid(slot)) {
        Com_Error(ER_FATAL, "SV_AddClient: Bad client num %d", slot);
        return;
    }
    svClient_t *c = &sv_clients[slot];
    ClearSlot(c);
    if (!address) c->noPeer = 1;
    else NET_SetupPipe(&c->pipe, NS_SERVER, address);
    c->inUse = 1;
    c->number = slot;
    c->snapAcked = -1;
    c->snapInterval = SV_SNAP_INTERVAL;
    c->lastReceive = Now();
    c->challenge = challenge;
    for (int i = 0; i < WO_GRID_CELLS; i++) c->pageAck[i] = -1;
    // A delta acknowledgement before any accepted one names a page outside the grid.
    c->lastPageAck = {WO_GRID_PAGES - 1, 0, 0, 0};
    svs.lastHeartbeat = 0;
}

void SV_DeleteClient(int32_t slot) {
    if (!SlotNumberValid(slot) || !sv_clients[slot].inUse) return;
    svClient_t *c = &sv_clients[slot];
    if (!c->noPeer) SendSidePackage(c, [] { Msg_WriteByte(SVP_DROP); });
    NET_ShutdownPipe(&c->pipe);
    ClearSlot(c);
    svs.lastHeartbeat = 0;
}

// Only a real qport names a client behind a router: 0 is what any sender can put there.
static bool SameQport(const netadr_t *a, const netadr_t *b) { return a->qport != 0 && a->qport == b->qport; }

svClient_t *SV_GetClientByAddr(const netadr_t *address) {
    for (svClient_t &c : sv_clients) {
        if (c.inUse && !c.noPeer && Com_adrcmp(&c.pipe.remote, address)) return &c;
    }
    for (svClient_t &c : sv_clients) {
        if (c.inUse && !c.noPeer && Com_adrcmpip(&c.pipe.remote, address) && SameQport(&c.pipe.remote, address))
            return &c;
    }
    return nullptr;
}

int32_t SV_GetClientPing(int32_t slot) { return SlotNumberValid(slot) ? sv_clients[slot].ping : 0; }

const char *SV_GetClientInfo(int32_t slot) {
    if (!SlotNumberValid(slot) || !sv_clients[slot].inUse) return "";
    return sv_clients[slot].info;
}

// Sends text and its zero on the slot's pipe; the caller checked the slot.
static void SendCommandText(svClient_t *client, const char *text) {
    SendSidePackage(client, [text] { Msg_WriteBytes(text, static_cast<int>(strlen(text)) + 1); });
}

void SV_SendServerCommand(int32_t slot, const char *text) {
    if (!SlotNumberValid(slot) || !sv_clients[slot].inUse || !text || !text[0]) return;
    const size_t length = strlen(text);
    if (length > static_cast<size_t>(SV_MAX_SERVER_COMMAND)) {
        // Texts often carry what players typed: one that is too long is dropped, the server goes on.
        Com_Error(ER_WARNING, "SV_SendServerCommand: Server command was %d bytes (max is %d), dropped",
                  static_cast<int>(length), SV_MAX_SERVER_COMMAND);
        return;
    }
    if (sv_clients[slot].noPeer) return;
    SendCommandText(&sv_clients[slot], text);
}

// The print as a command of the client game; a text that would not fit into one
// server command is cut rather than made fatal, since it may come from a player.
static void SendPrint(svClient_t *client, const char *text) {
    char line[SV_MAX_SERVER_COMMAND + 1];
    Com_sprintf(line, sizeof line, "cg_print \"%s\"", text);
    SendCommandText(client, line);
}

void SV_ClientPrintf(svClient_t *client, const char *fmt, ...) {
    if (!client || !client->inUse || client->noPeer) return;
    char text[SV_PRINT_SIZE];
    va_list ap;
    va_start(ap, fmt);
    Com_vsprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    SendPrint(client, text);
}

void SV_Printf(const char *text) {
    for (svClient_t &c : sv_clients) {
        if (c.inUse && !c.noPeer) SendPrint(&c, text);
    }
    if (!qbase.clientRunning) Com_Printf("%s", text);
}

void SV_Kick_f() {
    if (Cmd_Argc() != 2) {
        Com_Printf("HELP kick <client num>");
        return;
    }
    const char *arg = Cmd_Argv(1);
    if (!arg[0] || strspn(arg, "0123456789") != strlen(arg) || strlen(arg) > 2) return;
    const int slot = atoi(arg);
    if (!SlotNumberValid(slot) || !sv_clients[slot].inUse) return;
    Call_SG_ClientDrop(slot, "kicked");
}

// ---- client packages ----

namespace {
// What the reader of the current package keeps between its records.
struct packageReader_t {
    svClient_t *client;
    const msg_t *msg;  // the package: a record read past its end changes nothing
    bool drop;         // ends the reading of the current package
};
packageReader_t reader;
}  // namespace

// Reads one command coded against previous into out; the result is out's number.
static void ReadCommand(const cc_t *previous, cc_t *out) {
    *out = *previous;
    const uint8_t flags = Msg_ReadByte();
    out->number = (flags & CCF_NUMBER_NEXT) ? previous->number + 1 : static_cast<uint32_t>(Msg_ReadLong());
    out->time = static_cast<uint32_t>(Msg_ReadLong());
    static const uint8_t angleFlags[3] = {CCF_ANGLE_0, CCF_ANGLE_1, CCF_ANGLE_2};
    for (int i = 2; i >= 0; i--) {
        if (flags & angleFlags[i]) out->angles[i] = CC_AngleFromWire(Msg_ReadShort());
    }
    if (flags & CCF_AIM) {
        for (int i = 0; i < 3; i++) out->aim[i] = CC_AimFromWire(Msg_ReadChar());
    }
    if (flags & CCF_BYTES) {
        out->weapon = Msg_ReadByte();
        out->deformMode = Msg_ReadByte();
    }
    if (flags & CCF_BUTTONS) out->buttons = static_cast<uint32_t>(Msg_ReadLong());
    if (flags & CCF_TEXT) {
        const int sent = Msg_ReadByte();
        const int length = sent < CC_TEXT_MAX ? sent : CC_TEXT_MAX;
        memset(out->text, 0, sizeof out->text);
        if (!Msg_ReadBytes(out->text, length)) memset(out->text, 0, sizeof out->text);
        out->text[length] = 0;
        out->textLength = static_cast<uint32_t>(strlen(out->text));
    } else {
        out->textLength = 0;
        out->text[0] = 0;
    }
}

static void HandleCC(netPackage_t *package) {
    svClient_t *c = reader.client;
    const int32_t snapAck = Msg_ReadLong();
    const int32_t worldInfoAck = Msg_ReadLong();
    const uint8_t incomplete = Msg_ReadByte();
    cc_t commands[3];
    static const cc_t zero = {};
    for (int i = 0; i < 3; i++) ReadCommand(i ? &commands[i - 1] : &zero, &commands[i]);
    if (package->msg.overflowed) {
        Com_Error(ER_WARNING, "SV_HandlePackageCC: Bad package from %s", Com_adrstr(&c->pipe.remote));
        reader.drop = true;
        return;
    }
    // All three are checked before any is queued: a refused record leaves the queue
    // as it was, not with the commands that happened to come before the bad one.
    for (const cc_t &cmd : commands) {
        if (static_cast<int32_t>(cmd.number) < 0) {
            Com_Error(ER_WARNING, "SV_HandlePackageCC: Bad package from %s", Com_adrstr(&c->pipe.remote));
            reader.drop = true;
            return;
        }
    }
    for (const cc_t &cmd : commands) {
        cc_t *slot = &c->ccRing[cmd.number & (SV_CC_RING - 1)];
        if (static_cast<int32_t>(cmd.number) <= static_cast<int32_t>(slot->number)) continue;
        *slot = cmd;
        if (static_cast<int32_t>(cmd.number) > c->ccNewest) c->ccNewest = static_cast<int32_t>(cmd.number);
    }
    if (snapAck >= c->snapAcked && snapAck <= c->snapNext) c->snapAcked = snapAck;
    else Com_Error(ER_DEVWARNING, "SV_HandlePackageCC: Bad ackSnap: %d", snapAck);
    c->worldInfoAck = worldInfoAck;
    if (c->state) c->state[offsetof(clientState_t, worldIncomplete)] = incomplete;
}

// The last accepted acknowledgement is the slot's own: one player's records never
// decide what another player's delta acknowledges.
static void HandlePageAck(bool isDelta) {
    svPageAck_t &lastAck = reader.client->lastPageAck;
    int32_t x, y, z, sequence;
    if (isDelta) {
        x = lastAck.x + 1;
        y = lastAck.y;
        z = lastAck.z;
        sequence = lastAck.sequence;
    } else {
        x = Msg_ReadByte();
        y = Msg_ReadByte();
        z = Msg_ReadByte();
        sequence = Msg_ReadLong();
        if (reader.msg->overflowed) return;  // cut short: the reader drops the package
    }
    if (x < 0 || x >= WO_GRID_PAGES || y < 0 || y >= WO_GRID_PAGES || z < 0 || z >= WO_GRID_PAGES) {
        Com_Error(ER_DEVWARNING, "SV_HandlePageAck: Bad xyz: %d %d %d", x, y, z);
        reader.drop = true;
        return;
    }
    const int index = (z * WO_GRID_PAGES + y) * WO_GRID_PAGES + x;
    const int32_t current = static_cast<int32_t>(wo_seqGrid[index]);
    if (sequence < 0 || sequence > current) {
        Com_Error(ER_DEVWARNING, "SV_HandlePageAck: (%d,%d,%d) Bad Ack: %d Seq: %d", x, y, z, sequence, current);
        reader.drop = true;
        return;
    }
    reader.client->pageAck[index] = sequence;
    lastAck = {x, y, z, sequence};
}

static void HandleClientInfo() {
    svClient_t *c = reader.client;
    const int32_t version = Msg_ReadLong();
    const uint32_t length = static_cast<uint32_t>(Msg_ReadLong());
    if (length > static_cast<uint32_t>(SV_INFO_SIZE - 1)) {
        Com_Error(ER_DEVWARNING, "SV_HandleClientInfo: Bad info string size %d", static_cast<int32_t>(length));
        reader.drop = true;
        return;
    }
    char text[SV_INFO_SIZE];
    if (!Msg_ReadBytes(text, static_cast<int>(length))) {
        Com_Error(ER_DEVWARNING, "SV_HandleClientInfo: Bad info string size %d", static_cast<int32_t>(length));
        reader.drop = true;
        return;
    }
    text[length] = 0;
    c->infoVersion = version;
    memcpy(c->info, text, length + 1);
}

void SV_HandlePackage(netPackage_t *package) {
    const netadr_t *from = &package->address;
    const char *word = Msg_Argv(0);
    if (qbase.clientRunning && (!strcmp(word, "cg_server_list") || !strcmp(word, "serverinfo"))) {
        // Answers to this process's client (a server list, a polled server): its queue.
        CL_HandleCGServerCommand(&package->msg, from);
        return;
    }
    if (!strcmp(word, "get_challenge")) {
        SV_GetChallenge(from);
        return;
    }
    if (!strcmp(word, "connect")) {
        SV_ClientConnect(from, atoi(Msg_Argv(1)), Msg_Argv(2), Msg_Argv(3), atoi(Msg_Argv(4)), atoi(Msg_Argv(5)),
                         atoi(Msg_Argv(6)), atoi(Msg_Argv(7)));
        return;
    }
    if (!strcmp(word, "poll")) {
        if (sv_printPoll.integer) Com_Printf("POLL from %s ", Com_adrstr(from));
        SV_SendServerInfo(from, atoi(Msg_Argv(1)), atoi(Msg_Argv(2)));
        return;
    }
    if (!strcmp(word, "master_poll")) {
        if (sv_printPoll.integer) Com_Printf("MASTER_POLL from %s ", Com_adrstr(from));
        SV_SendServerInfo(&qbase.masterAddress, static_cast<int32_t>(qbase.masterChallenge), 0);
        return;
    }
    svClient_t *c = SV_GetClientByAddr(from);
    if (!c) {
        Com_DPrintf("SV_HandlePackage: Unknown token/client %s: \"%s\"", Com_adrstr(from), word);
        return;
    }
    if (Msg_ReadLong() != CLSV_MAGIC) {
        Com_Error(ER_DEVWARNING, "SV_HandlePackage: Bad CLSV_MAGIC from %s", Com_adrstr(from));
        return;
    }
    const int32_t challenge = Msg_ReadLong();
    if (challenge != c->challenge || package->msg.overflowed) {
        Com_Error(ER_DEVWARNING, "SV_HandlePackage: Bad challenge num from %s (%d != %d)", Com_adrstr(from), challenge,
                  c->challenge);
        return;
    }
    // Only now, with its challenge right, does the package count as the client's:
    // a forged one from the same address must not move the pipe's sequence.
    NET_AcceptPackage(&c->pipe, package);
    if (c->pipe.remote.port != from->port) {
        // A router between them gave the client a new port: the package came in
        // sequence and proved itself, so the slot answers there from now on.
        c->pipe.remote.port = from->port;
    }
    reader = {c, &package->msg, false};
    while (!Msg_IsEOF() && !reader.drop) {
        const uint8_t type = Msg_ReadByte();
        switch (type) {
        case CLP_CC: HandleCC(package); break;
        case CLP_KEEPALIVE: break;
        case CLP_PAGEACK: HandlePageAck(false); break;
        case CLP_PAGEACK_DELTA: HandlePageAck(true); break;
        case CLP_DISCONNECT:
            Call_SG_ClientDrop(c->number, "Disconnected");
            reader.drop = true;
            break;
        case CLP_PING: {
            // The echo is the client's word: any value must give a defined ping.
            const int32_t stamp = Msg_ReadLong();
            if (package->msg.overflowed) break;  // cut short: dropped below, nothing measured
            c->ping = SV_Age(stamp);
            c->smoothedPing = static_cast<int32_t>((static_cast<int64_t>(c->smoothedPing) * 7 + c->ping) >> 3);
            break;
        }
        case CLP_INFO: HandleClientInfo(); break;
        default:
            Com_Error(ER_WARNING, "SV_HandlePackage: Bad pack type dropping package");
            reader.drop = true;
            break;
        }
        if (package->msg.overflowed && !reader.drop) {
            // A record that runs past the package's end is as bad as a wrong type.
            Com_Error(ER_WARNING, "SV_HandlePackage: Truncated record dropping package");
            reader.drop = true;
        }
    }
    if (!reader.drop) c->lastReceive = Now();
}

cc_t *SV_GetClientCommand(int32_t slot) {
    if (!SlotNumberValid(slot) || !sv_clients[slot].inUse) return nullptr;
    svClient_t *c = &sv_clients[slot];
    const int32_t in = c->ccNewest;
    int32_t out = c->ccExecuted;
    if (in - out > SV_CC_RING) {
        Com_Error(ER_DEVWARNING, "SV_GetClientCommand: CCS Overflow, dropping CCs (in: %d out: %d)", in, out);
        c->ccExecuted = out = in - (SV_CC_RING - 1);
    }
    if (out >= in) return nullptr;
    bool skipped = false;
    while (in - out > 2 && static_cast<int32_t>(c->ccRing[(out + 1) & (SV_CC_RING - 1)].number) < out + 1) {
        c->ccExecuted = ++out;
        skipped = true;
    }
    if (skipped) Com_Error(ER_DEVWARNING, "SV_GetClientCommand: \xA4" "03DROPED\xA4" "00 CCs (%d != %d)", in, out);
    const int32_t n = out + 1;
    cc_t *cmd = &c->ccRing[n & (SV_CC_RING - 1)];
    if (static_cast<int32_t>(cmd->number) < n) return nullptr;
    c->ccExecuted = n;
    return cmd;
}
