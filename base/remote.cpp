#include "base/remote.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "client/client.h"
#include "common/com_hash.h"
#include "common/com_string.h"
#include "server/server.h"

cmdVar_t base_masterServer;

// Addresses whose rcon packages were refused (a wrong password, or none may be right),
// each with its debt: RCON_WRONG_WAIT_MSEC per refusal, paid off as game time passes.  The debt counts down by frames,
// not from a stored time, so no clock restart can stretch it.
namespace {
struct rconGuard_t {
    uint8_t ip[4];
    int32_t debtMsec;  // 0: the slot is free
};
rconGuard_t rconGuards[RCON_GUARD_SLOTS];
// Shared by every address that finds all slots taken: guessing from many addresses
// at once gains nothing over guessing from one.
rconGuard_t rconOverflow;
}  // namespace

static rconGuard_t *GuardOf(const netadr_t *address) {
    for (rconGuard_t &g : rconGuards)
        if (g.debtMsec > 0 && !memcmp(g.ip, address->ip, sizeof g.ip)) return &g;
    return nullptr;
}

// The guard an address pays into: its own slot, a free one it may take, or, with
// every slot taken by others, the shared one.  Slots in debt are never taken away.
static rconGuard_t *GuardFor(const netadr_t *address) {
    if (rconGuard_t *g = GuardOf(address)) return g;
    for (rconGuard_t &g : rconGuards)
        if (g.debtMsec <= 0) return &g;
    return &rconOverflow;
}

// An address with a full burst of refusals not yet paid off is not heard.
static bool RConWaits(const netadr_t *address) {
    const rconGuard_t *g = GuardFor(address);
    return g->debtMsec > (RCON_WRONG_BURST - 1) * RCON_WRONG_WAIT_MSEC;
}

static void RConRefused(const netadr_t *address) {
    rconGuard_t *slot = GuardFor(address);
    if (slot != &rconOverflow && slot->debtMsec <= 0) memcpy(slot->ip, address->ip, sizeof slot->ip);
    slot->debtMsec += RCON_WRONG_WAIT_MSEC;
}

static void PayGuard(rconGuard_t &g, uint32_t msec) {
    g.debtMsec = static_cast<uint32_t>(g.debtMsec) > msec ? g.debtMsec - static_cast<int32_t>(msec) : 0;
}

void Base_RemoteFrame(uint32_t msec) {
    for (rconGuard_t &g : rconGuards) PayGuard(g, msec);
    PayGuard(rconOverflow, msec);
    // The engine's own frame ends the echo: with no map running, the server frame never runs.
    const int64_t clearMsec = static_cast<int64_t>(std::max(sv_rconEchoClearTime.integer, 0)) * 1000;
    if (qbase.rconEcho && Base_TimeAge(qbase.rconEchoStart) > clearMsec) qbase.rconEcho = 0;
}

// The MD5 text of the current remote-console password.
static const char *PasswordDigest() {
    return Com_MD52String(Com_GetMD5(nullptr, base_rconPassword.string,
                                     static_cast<int>(strlen(base_rconPassword.string))));
}

// Joins the words first.. of a word list, each followed by one blank, while the
// text stays within RCON_MAX_LINE characters.
static void JoinWords(char (&out)[RCON_MAX_LINE + 1], int first, int count, const char *(*word)(int)) {
    int len = 0;
    out[0] = 0;
    for (int i = first; i < count; i++) {
        const char *w = word(i);
        const int n = static_cast<int>(strlen(w));
        if (len + n + 1 > RCON_MAX_LINE) break;
        memcpy(out + len, w, static_cast<size_t>(n));
        len += n;
        out[len++] = ' ';
        out[len] = 0;
    }
}

static const char *CmdWord(int i) { return Cmd_Argv(i); }
static const char *MsgWord(int i) { return Msg_Argv(i); }

// A number word of the master's texts; written with %d, so it may be negative.
static uint32_t WordNumber(const char *text) { return static_cast<uint32_t>(strtoll(text, nullptr, 10)); }

static void SetMasterVariable() {
    char text[MAX_ADRSTR + 32];
    snprintf(text, sizeof text, "%s challenge: %d", Com_adrstr(&qbase.masterAddress),
             static_cast<int32_t>(qbase.masterChallenge));
    Cmd_SetCVar(&base_master, text, 1);
}

// ---- sending ----

void Base_RCon(const netadr_t *address, const char *line) {
    qbase.rconTarget = *address;
    NET_SendOutOfBandPrintf(NS_CLIENT, address, "rcon %s \"%s\"", PasswordDigest(), line);
}

static void Base_RCon_f() {
    if (Cmd_Argc() < 2) {
        Com_Printf("USAGE: rcon <command string>");
        return;
    }
    netadr_t server;
    if (!CL_IsConnected(&server)) {
        Com_Printf("Must be connected to a server to use rcon");
        return;
    }
    char line[RCON_MAX_LINE + 1];
    JoinWords(line, 1, Cmd_Argc(), CmdWord);
    Base_RCon(&server, line);
}

static void Base_RConIp_f() {
    if (Cmd_Argc() < 2) {
        Com_Printf("USAGE: rcon <server ip> <command string>");
        return;
    }
    netadr_t server;
    Sys_LookupDNS(&server, Cmd_Argv(1));
    char line[RCON_MAX_LINE + 1];
    JoinWords(line, 2, Cmd_Argc(), CmdWord);
    Base_RCon(&server, line);
}

// Set while a print must not be echoed: the echo's own send (a warning it raises
// would echo again), and a line that is itself an echo from another engine (two
// engines echoing to each other would pass one line back and forth for ever).
static bool echoHeld;

void Base_RConEcho(const char *text) {
    if (!qbase.rconEcho || echoHeld) return;
    echoHeld = true;
    char line[NET_MAX_OOB_TEXT + 1];
    snprintf(line, sizeof line, "rcon_echo \"%s\"", text);
    NET_SendOutOfBandQuiet(NS_SERVER, &qbase.rconEchoAddress, line);
    echoHeld = false;
}

void Base_UpdateMaster(uint8_t force) {
    if (qbase.masterChallenge && !force) return;
    const netadr_t remembered = qbase.masterAddress;
    memset(&qbase.masterAddress, 0, sizeof qbase.masterAddress);

    netadr_t address{};
    if (qbase.localMaster) {
        memcpy(address.ip, MASTER_LAN_NET, sizeof MASTER_LAN_NET);
        address.ip[3] = static_cast<uint8_t>(qbase.localMaster);
        address.port = NET_MASTER_PORT;
    } else {
        if (!Sys_LookupDNS(&address, base_masterServer.string)) {
            Com_Printf("Could not resolve master DNS");
            SetMasterVariable();
            return;
        }
        // "local" and 127.0.0.1 name this process's own loop-back rings, which have no
        // network address: the master's texts would go to 0.0.0.0.
        if (address.type == NA_LOCAL) {
            Com_Printf("Master server \"%s\" is this process's loop-back: give the master's network address",
                       base_masterServer.string);
            memset(&address, 0, sizeof address);
            SetMasterVariable();
            return;
        }
        if (!strchr(base_masterServer.string, ':')) address.port = NET_MASTER_PORT;
    }
    address.type = NA_IP;
    address.qport = 0;
    qbase.masterAddress = address;
    if (!Com_adrcmpip(&address, &remembered)) {
        Com_Printf("Resolved master address \xA4" "08%s\xA4" "00", Com_adrstr(&address));
    }
    SetMasterVariable();
    NET_SendOutOfBandPrintf(NS_CLIENT, &qbase.masterAddress, "get_master_challenge %d",
                            static_cast<int32_t>(qbase.instanceNumber));
}

// ---- receiving ----

static uint8_t HandleEcho(const netPackage_t *package) {
    if (!Com_adrcmp(&package->address, &qbase.rconTarget)) return 0;
    // A server in this process prints on this very console already.
    if (package->address.type == NA_LOCAL) return 1;
    char line[RCON_MAX_LINE + 1];
    JoinWords(line, 1, Msg_Argc(), MsgWord);
    const bool held = echoHeld;
    echoHeld = true;
    Com_Printf("\xA4" "09SV:\xA4" "00 %s", line);
    echoHeld = held;
    return 1;
}

// A master answer counts only from the master's own address and port, carrying
// this process's instance number; anything else is taken and ignored.
static bool FromMaster(const netPackage_t *package) {
    return qbase.masterAddress.type == NA_IP && Com_adrcmp(&package->address, &qbase.masterAddress) &&
           WordNumber(Msg_Argv(1)) == qbase.instanceNumber;
}

static uint8_t HandleMasterVersion(const netPackage_t *package) {
    if (!FromMaster(package)) return 1;
    if (atoi(Msg_Argv(2)) > MASTER_LATEST_RELEASE) qbase.newerVersion = 1;
    return 1;
}

static uint8_t HandleMasterChallenge(const netPackage_t *package) {
    if (!FromMaster(package)) return 1;
    const uint32_t challenge = WordNumber(Msg_Argv(2));
    if (challenge != qbase.masterChallenge) {
        Com_Printf("New master challenge: \xA4" "08%u\xA4" "00", challenge);
    }
    qbase.masterChallenge = challenge;
    SetMasterVariable();
    return 1;
}

static uint8_t HandleRCon(const netPackage_t *package) {
    // An address still paying for its refused packages is not heard: not checked, not
    // printed.  Every refusal below costs the same, so no reason for one floods the log.
    if (RConWaits(&package->address)) return 1;
    const char *refusal = nullptr;
    // The default password is known to everyone who has the engine, and an empty
    // one to everyone: with either, nobody may run lines remotely.
    if (!base_rcon.integer)
        refusal = "rcon is disabled";
    else if (!base_rconPassword.string[0] || !strcmp(base_rconPassword.string, base_rconPassword.defaultString))
        refusal = "the rcon password is not set";
    else if (strcmp(Msg_Argv(1), PasswordDigest()) != 0)
        refusal = "bad password";
    if (refusal) {
        Com_Printf("Base_HandlePackage: %s sends rcon package, but %s", Com_adrstr(&package->address), refusal);
        RConRefused(&package->address);
        return 1;
    }
    Com_Printf("\"\xA4" "02%s\xA4" "00\"", Msg_Argv(2));
    Cmd_Add(Msg_Argv(2));
    qbase.rconEcho = 1;
    qbase.rconEchoStart = qbase.time;
    qbase.rconEchoAddress = package->address;
    return 1;
}

uint8_t Base_HandlePackage(netPackage_t *package) {
    const char *word = Msg_Argv(0);
    if (!strcmp(word, "rcon_echo")) return HandleEcho(package);
    if (!strcmp(word, "master_version")) return HandleMasterVersion(package);
    if (!strcmp(word, "master_challenge")) return HandleMasterChallenge(package);
    if (!strcmp(word, "rcon")) return HandleRCon(package);
    return 0;
}

void Base_RemoteImp() {
    Cmd_CreateCVar(&base_masterServer, "base_masterServer", MASTER_DEFAULT_HOST, 0);
    Cmd_CreateFunction("rcon", Base_RCon_f, 0);
    Cmd_CreateFunction("rconIp", Base_RConIp_f, 0);
}
