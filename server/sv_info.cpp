// What the server says about itself (the "serverinfo" reply to polls, to the master
// server and to its own clients), the heartbeats, and the IPv4 ban list kept in
// "bans.txt".
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/base.h"
#include "base/cmd.h"
#include "base/files.h"
#include "base/module.h"
#include "common/common.h"
#include "server/server.h"

static int32_t Now() { return static_cast<int32_t>(Base_Time()); }

// ---- server info ----

void SV_SendServerInfo(const netadr_t *address, int32_t first, int32_t second) {
    char rules[256] = "", gameName[256] = "", version[256] = "";
    int32_t protocol = 0;
    Call_SG_GetServerInfo(rules, gameName, &protocol, version);
    // The module's buffers are its own: make sure each ends inside them.
    rules[255] = gameName[255] = version[255] = 0;
    char map[SV_MAP_PATH_SIZE];
    Com_StripPathAndExtension(map, sizeof map, sv.mapPath);
    const bool password = svs.password[0] != 0;
    char text[NET_MAX_OOB_TEXT + 1];
    Com_sprintf(text, sizeof text, "serverinfo %d %d %s \"%s\" \"%s\" %s %d %d \"%s\" %d %d %d %d \"%s\"", first, second,
                password ? "P" : "N", svs.name, map, rules, SV_GetNumClients(), sv_maxPlayers.integer, gameName,
                protocol, password ? 1 : 0, SV_OS_LINUX, qnet.localAddress.port, version);
    for (int i = 0; i < 2; i++) {  // twice, against loss
        NET_SendOutOfBandPrintf(NS_SERVER, address, "%s", text);
        if (sv_printPoll.integer) Com_Printf("%s: %s", Com_adrstr(address), text);
    }
}

void SV_Heartbeat() {
    if (sv_lanServer.integer || sv_skipHeartbeat.integer || !qbase.masterChallenge) return;
    if (SV_Age(svs.lastHeartbeatTry) < SV_HEARTBEAT_TRY_MSEC) return;
    svs.lastHeartbeatTry = Now();
    // A few ms of jitter on every interval, so that servers started together spread out.
    if (svs.lastHeartbeat && SV_Age(svs.lastHeartbeat) < SV_HEARTBEAT_MSEC + svs.heartbeatJitter) return;
    svs.lastHeartbeat = Now();
    svs.heartbeatJitter = Com_rand() % 100;
    SV_SendServerInfo(&qbase.masterAddress, static_cast<int32_t>(qbase.masterChallenge), 0);
}

void SV_Heartbeat_f() {
    svs.lastHeartbeat = 0;
    SV_Heartbeat();
}

// ---- bans ----

namespace {
constexpr int BAN_BLOCK_SIZE = 256;
constexpr uint8_t BAN_IPV4 = 1;

struct banBlock_t {
    banBlock_t *next, *prev;
    int32_t count;
    uint8_t kind[BAN_BLOCK_SIZE];
    uint8_t address[BAN_BLOCK_SIZE][4];
};

banBlock_t ban_dummy = {&ban_dummy, &ban_dummy, 0, {}, {}};

bool FreeEntry(const uint8_t *a) { return !a[0] && !a[1] && !a[2] && !a[3]; }

// Calls visit(block, entry) for every IPv4 entry in list order until it answers true.
template <typename F> bool EachBan(F visit) {
    for (banBlock_t *b = ban_dummy.next; b != &ban_dummy; b = b->next) {
        for (int i = 0; i < b->count; i++) {
            if (b->kind[i] == BAN_IPV4 && visit(b, i)) return true;
        }
    }
    return false;
}
}  // namespace

void SV_AddBan(const netadr_t *address) {
    banBlock_t *b = ban_dummy.next;
    if (b == &ban_dummy || b->count >= BAN_BLOCK_SIZE) {
        b = static_cast<banBlock_t *>(Com_malloc(sizeof(banBlock_t)));
        memset(b, 0, sizeof *b);
        b->next = ban_dummy.next;
        b->prev = &ban_dummy;
        ban_dummy.next->prev = b;
        ban_dummy.next = b;
    }
    b->kind[b->count] = BAN_IPV4;
    memcpy(b->address[b->count], address->ip, 4);
    b->count++;
}

void SV_RemoveBan(const netadr_t *address) {
    const bool found = EachBan([&](banBlock_t *b, int i) {
        if (FreeEntry(b->address[i]) || memcmp(b->address[i], address->ip, 4) != 0) return false;
        memset(b->address[i], 0, 4);
        return true;
    });
    if (!found) Com_Printf("Could not found ban");
}

bool SV_IsBanned(const netadr_t *address) {
    return EachBan([&](banBlock_t *b, int i) {
        return !FreeEntry(b->address[i]) && memcmp(b->address[i], address->ip, 4) == 0;
    });
}

void SV_ListBans() {
    int n = 0;
    EachBan([&](banBlock_t *b, int i) {
        const uint8_t *a = b->address[i];
        if (!FreeEntry(a)) Com_Printf("    %d: IP %d.%d.%d.%d", n++, a[0], a[1], a[2], a[3]);
        return false;
    });
    Com_Printf("\xA4" "08%d\xA4" "00 bans", n);
}

static void FreeBans() {
    while (ban_dummy.next != &ban_dummy) {
        banBlock_t *b = ban_dummy.next;
        ban_dummy.next = b->next;
        Com_free(b);
    }
    ban_dummy.prev = &ban_dummy;
}

void SV_InitBans() {
    // A map started without a shutdown first must not lose the bans made since.
    SV_ShutdownBans();
    void *buffer = nullptr;
    if (FS_ReadFile(SV_BANS_FILE, &buffer) < 0 || !buffer) {
        Com_Printf("SV_InitBans: Did not find bans.txt");
        return;
    }
    int count = 0;
    const char *p = static_cast<const char *>(buffer);
    for (;;) {
        const char *token = Com_Parse(&p, true);
        if (!token[0] && !com_isNullString) break;
        if (strcmp(token, "banIp") != 0) continue;
        netadr_t address;
        const char *host = Com_Parse(&p, true);
        if (!Sys_LookupDNS(&address, host)) memset(&address, 0, sizeof address);
        SV_AddBan(&address);
        count++;
    }
    FS_FreeFile(buffer);
    Com_Printf("SV_InitBans: Read bans.txt (%d bans)", count);
}

void SV_ShutdownBans() {
    if (ban_dummy.next == &ban_dummy) return;
    std::string text = "\n";
    EachBan([&](banBlock_t *b, int i) {
        const uint8_t *a = b->address[i];
        if (!FreeEntry(a)) text += va("banIp %u.%u.%u.%u\n", a[0], a[1], a[2], a[3]);
        return false;
    });
    FreeBans();
    // A ban list that cannot reach the disk is said so, not lost in silence.
    if (FS_WriteFile(SV_BANS_FILE, static_cast<int32_t>(text.size()), text.data()) != static_cast<int32_t>(text.size()))
        Com_Error(ER_WARNING, "SV_ShutdownBans: Could not write bans.txt");
}

static void BanCommand(const char *usage, void (*apply)(const netadr_t *)) {
    if (Cmd_Argc() != 2) {
        Com_Printf("USAGE: %s", usage);
        return;
    }
    netadr_t address;
    if (!Sys_LookupDNS(&address, Cmd_Argv(1))) memset(&address, 0, sizeof address);
    apply(&address);
}

void SV_BanIp_f() { BanCommand("banIp <ip>", SV_AddBan); }
void SV_UnbanIp_f() { BanCommand("unbanIp <ip>", SV_RemoveBan); }
void SV_BanList_f() { SV_ListBans(); }
