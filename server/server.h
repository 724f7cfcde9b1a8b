// The engine's server: the authority over a running match.
//
// The server game in the module owns the rules and every entity's behaviour; the
// engine's server owns what the module cannot do from inside: 16 client slots with
// their pipes, the connection handshake, the reading of client packages, world
// changes and the transfer of the world to the players.  Three globals hold its
// state: svs lives while a server runs (across map changes), sv lives for one map,
// sv_clients are the slots.  Everything here runs in the engine's one thread.
//
// Every package a client sends is hostile until proven otherwise: each count,
// length and index read from it is checked, and a bad one ends the reading of that
// package with a warning; nothing a client sends can drop another client or make
// the server read or write outside its records.
#pragma once

#include <cstdint>

#include "base/base.h"
#include "base/net.h"
#include "base/packages.h"
#include "common/com_msg.h"
#include "game/g_public.h"
#include "world/world.h"

struct cmdVar_t;

// ---- limits ----

constexpr int SV_MAX_CLIENTS = 16;
constexpr int SV_MAX_ENTITIES = 512;
constexpr int SV_NAME_SIZE = 64;              // svs name and passwords, with room to spare
constexpr int SV_NAME_MAX = 24;               // validated names: 23 characters and the zero
constexpr int SV_MAP_PATH_SIZE = 256;
constexpr int SV_INFO_SIZE = 1350;            // info strings with their zero
constexpr int SV_MAX_CHALLENGES = 2048;
constexpr int SV_CC_RING = 32;                // received commands per slot
constexpr int SV_MAX_GAME_DATA = 128;         // bytes of the server game's snapshot block
constexpr int SV_ENTITY_STATE_SIZE = sizeof(entityState_t);  // its entityShared_t follows it
constexpr int SV_CLIENT_STATE_SIZE = sizeof(clientState_t);  // the head of a client record
constexpr int SV_MAX_SERVER_COMMAND = 1000;   // bytes of one server command text
constexpr int SV_PRINT_SIZE = 1024;           // formatted client prints, with their zero
constexpr int SV_MIN_RATE = 2500;             // bytes/s: no client is served slower
constexpr int SV_MIN_SNAPS = 5;               // sv_maxSnaps never goes below this
constexpr int SV_STARVED_SNAPS = 2;           // snapshots per second of a client whose rate cannot carry one
constexpr int SV_EMPTY_SNAPS = 100;           // snapshots per second while they hold no bytes at all
constexpr int SV_TIMEOUT_MSEC = 15000;        // a silent client is dropped after this
constexpr int SV_SERVERINFO_MSEC = 15000;     // "serverinfo" resent this often
constexpr int SV_WORLDINFO_RESEND_MSEC = 500;
constexpr int SV_PING_REQUEST_MSEC = 100;
constexpr int SV_PAGE_BUDGET = 1300;          // bytes of page records per client and frame
constexpr int SV_PAGE_MIN_INTERVAL = 75;      // ms before an unacknowledged page goes again
constexpr int SV_PAGE_MAX_INTERVAL = 1250;
constexpr int SV_SNAP_INTERVAL = 50;          // ms between snapshots of a new slot
constexpr int SV_MASTER_REFRESH_MSEC = 3600000;
constexpr int32_t SV_ENGINE_VERSION = 110;    // engine protocol, checked at connect
constexpr const char *SV_FALLBACK_NAME = "Tulbo Home Q";
constexpr int SV_HEARTBEAT_MSEC = 60000;      // the master hears from a server this often
constexpr int SV_HEARTBEAT_TRY_MSEC = 2000;   // and is never asked more often than this
constexpr int32_t SV_OS_LINUX = 3;            // operating system in the server info: the browser reads 3 as Linux
constexpr const char *SV_BANS_FILE = "bans.txt";

// ---- state ----

constexpr int SV_SNAPSHOTS = 16;              // kept per client, slot = number & 15
constexpr int SV_GAME_DATA_WORDS = SV_MAX_GAME_DATA / 4;
static_assert(SV_MAX_GAME_DATA == sizeof(snapshotGameData_t) && SV_MAX_ENTITIES == SNAPSHOT_MAX_ENTITIES,
              "the server builds snapshot_t (game/g_public.h), the record its clients decode");
constexpr float SV_NEAR_ENTITY = 6.0f;        // entities this close are always sent

struct svChallenge_t {
    netadr_t address;
    int32_t challenge;
};

// Lives while a server runs, across map changes.
struct svStatic_t {
    char name[SV_NAME_SIZE];
    char password[SV_NAME_SIZE];         // empty: none
    char privatePassword[SV_NAME_SIZE];  // empty: none
    int32_t worldId;                     // +1 at every start
    int32_t lastHeartbeat;               // 0: send one as soon as allowed
    int32_t heartbeatJitter;             // ms added to the next heartbeat's wait
    int32_t lastHeartbeatTry;
    int32_t lastMasterRefresh;
    int32_t worldInfoVersion;            // +1 at every start and world-info change
    char worldInfo[SV_INFO_SIZE];
    uint32_t challengeCounter;
    svChallenge_t challenges[SV_MAX_CHALLENGES];
    int32_t lastAutoDump;
};

// One entity number: where the server game keeps it, and its place in the linked list.
struct svEntity_t {
    uint8_t *state;   // the entityState_t; byte 0 is the in-use byte
    uint8_t *shared;  // the entityShared_t right behind it
    svEntity_t *next, *prev;  // both null: not linked
    uint8_t visible;  // scratch of the snapshot builder
};

// Lives for one map.
struct svMap_t {
    uint8_t gameDataSize;
    void *gameData;
    char mapPath[SV_MAP_PATH_SIZE];
    int32_t matterChecksum;
    uint8_t cheats;
    svEntity_t entityList;  // head of the circular list of linked entities
    svEntity_t entities[SV_MAX_ENTITIES];
};

// A page acknowledgement as the client package reader accepted it.
struct svPageAck_t {
    int32_t x, y, z, sequence;
};

struct svClient_t {
    uint8_t *state;           // the slot's clientState_t; survives clearing the slot
    uint8_t inUse;
    int32_t number;
    int32_t lastReceive;      // ms: the last client package read to its end
    int32_t ping;
    int32_t smoothedPing;
    int32_t challenge;
    netPipe_t pipe;
    uint8_t noPeer;           // a bot: no pipe, no packages
    int32_t lastServerInfo;
    int32_t worldInfoAck;
    int32_t lastWorldInfoSent;
    int32_t infoVersion;
    char info[SV_INFO_SIZE];
    int32_t ccNewest;         // highest command number received
    int32_t ccExecuted;       // last command handed to the server game
    cc_t ccRing[SV_CC_RING];  // slot = number & 31
    int32_t snapNext;
    int32_t snapAcked;        // -1: none
    int32_t lastSnapshot;
    int32_t snapInterval;
    snapshot_t snaps[SV_SNAPSHOTS];
    int32_t pageAck[WO_GRID_CELLS];   // per page: acknowledged sequence number, -1 never
    int32_t pageSent[WO_GRID_CELLS];  // per page: ms it was last sent
    int32_t pageCursor;
    int32_t lastPingRequest;
    pagePVS_t pvs;
    int32_t reserved[2];
    int32_t rate;             // bytes/s
    svPageAck_t lastPageAck;  // what the next delta acknowledgement refers to
    int32_t pvsCell;          // the eye cell pvs was built for ...
    uint64_t pvsStamp;        // ... at this WO_OVSStamp; 0: not known
};

extern svStatic_t svs;
extern svMap_t sv;
extern svClient_t sv_clients[SV_MAX_CLIENTS];
extern msg_t sv_msg;  // the one outgoing message: begin, write, send

extern cmdVar_t sv_printSnapshot, sv_printPage, sv_printClean, sv_noDeform, sv_skipPageDelta,
    sv_skipPvs, sv_skipSnapDelta, sv_flag, sv_lanServer, sv_rconEchoClearTime, sv_cheats,
    sv_password, sv_printPoll, sv_pure, sv_minRate, sv_maxRate, sv_maxSnaps, sv_autoDump, sv_name,
    sv_maxPlayers, sv_skipHeartbeat, sv_worldDebugBump, sv_privatePassword;

// ---- state, start and shutdown ----

// Clears svs and frees every slot; with create set, declares the variables and
// commands (engine start; 0 when the server restarts after a game-time wrap).
void SV_Imp(uint8_t create);
// Starts or restarts the server on a map; connected clients stay and get the whole
// world again.
void SV_StartServer(const char *path);
// Ends the map; keepRunning keeps the slots for the next map.
void SV_ShutdownServer(uint8_t keepRunning);
uint8_t SV_Running();
// The server stamps its clients and its own sends with Base_Time.  Their ages are
// taken through these, so that they hold across the clock's restart at 2^31 ms:
// ms from stamp to now, and from stamp to the present.
inline int32_t SV_AgeAt(int32_t now, int32_t stamp) {
    return Com_AgeOn(qbase.clockRestart, static_cast<uint32_t>(now), static_cast<uint32_t>(stamp));
}
inline int32_t SV_Age(int32_t stamp) { return Base_ClockAge(static_cast<uint32_t>(stamp)); }
void SV_UploadClientStateReference(void *base, int32_t stride);
void SV_UploadEntityStateReference(void *base, int32_t stride);
void SV_UploadSnapshotGameDataReference(void *block, int32_t size);
void SV_LinkEntity(int32_t entity);
void SV_UnlinkEntity(int32_t entity);
const char *SV_GetMapPath();
int SV_GetNumClients();

// ---- frame ----

void SV_Frame();
// 1 when the slot timed out (the server game dropped it), else 0.
int SV_CheckClientConnection(svClient_t *client);
// Builds the slot's visible set from its eye, one unit above its origin (nothing with
// sv_skipPvs or without the server game's record).
void SV_UpdateClientPVS(svClient_t *client);
// The same set for a frame, given the world's WO_OVSStamp taken after its last change:
// kept while the eye cell and the stamp stay, else taken from the world's kept sets.
void SV_UpdateFrameVisibleSet(svClient_t *client, uint64_t sightStamp);
// Takes the rate from the slot's info string.
void SV_ClientInfo(svClient_t *client);
// Forces every server variable that has a range back into it (the bound is set as if typed).
void SV_ClampVars();

// ---- slots and handshake ----

void SV_GetChallenge(const netadr_t *address);
void SV_ClientConnect(const netadr_t *address, int32_t gameVersion, const char *passwordDigest,
                      const char *name, int32_t reserved, int32_t challenge, int32_t packChecksum,
                      int32_t engineVersion);
void SV_SendDisconnect(const netadr_t *address, int32_t challenge, const char *reason);
// A null address occupies the slot for a client without a network peer (a bot).
void SV_AddClient(int32_t slot, const netadr_t *address, int32_t reserved, int32_t challenge);
void SV_DeleteClient(int32_t slot);
// The occupied slot a sender belongs to: the same address, or the same IP and the
// same non-zero qport (a client whose router changed its port).  Changes nothing.
svClient_t *SV_GetClientByAddr(const netadr_t *address);
int32_t SV_GetClientPing(int32_t slot);
const char *SV_GetClientInfo(int32_t slot);
void SV_SendServerCommand(int32_t slot, const char *text);
void SV_ClientPrintf(svClient_t *client, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
// To every client game, and to the console when no client runs in this process.
void SV_Printf(const char *text);

// ---- server info, heartbeats and bans ----

// The "serverinfo" reply with the two echoed numbers, sent twice.
void SV_SendServerInfo(const netadr_t *address, int32_t first, int32_t second);
// The heartbeat step: the master hears of the server once a minute, or soon after a change.
void SV_Heartbeat();
void SV_Heartbeat_f();
// Reads and writes "bans.txt" (server start, and every shutdown).
void SV_InitBans();
void SV_ShutdownBans();
void SV_AddBan(const netadr_t *address);
void SV_RemoveBan(const netadr_t *address);
bool SV_IsBanned(const netadr_t *address);
void SV_ListBans();
void SV_BanIp_f();
void SV_UnbanIp_f();
void SV_BanList_f();

// ---- page transfer and world info ----

// Completes the server game's world info with the engine's keys; a change raises
// the version, and every client gets the new text.
void SV_UploadWorldInfoString(const char *text);
// Sends the world info on its own when the client has not acknowledged this version.
void SV_WriteWorldInfoString(svClient_t *client);
// Sends the pages due for the client; 1 when it stopped for the byte budget.
int SV_WritePages(svClient_t *client);

// ---- snapshots ----

// Writes a snapshot into sv_msg when one is due; 1 when it did.
int SV_WriteSnapshot(svClient_t *client);
snapshot_t *SV_CreateSnapshot(svClient_t *client);
// The writers of the wire format; a null base codes against all zeros.  The
// snapshot's entity angles are wrapped in place.  Returns the entities written.
int SV_EncodeSnapshot(snapshot_t *s, const snapshot_t *base);
void SV_EncodeGameData(const snapshot_t *s, const snapshot_t *base);
void SV_EncodeClientState(const uint8_t *state, const uint8_t *base);
void SV_EncodeEntityState(uint8_t *state, const uint8_t *base);

// ---- client packages ----

// Reads one received package, already begun and split into words.
void SV_HandlePackage(netPackage_t *package);
// The next command of the slot for the server game, null when none is due.
cc_t *SV_GetClientCommand(int32_t slot);
