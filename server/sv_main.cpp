// The server's state, its start and shutdown, the entity links and the server frame.
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "base/module.h"
#include "base/remote.h"
#include "base/sys.h"
#include "common/common.h"
#include "server/server.h"
#include "server/sv_world.h"

svStatic_t svs;
svMap_t sv;
svClient_t sv_clients[SV_MAX_CLIENTS];
msg_t sv_msg;

cmdVar_t sv_printSnapshot, sv_printPage, sv_printClean, sv_noDeform, sv_skipPageDelta, sv_skipPvs,
    sv_skipSnapDelta, sv_flag, sv_lanServer, sv_rconEchoClearTime, sv_cheats, sv_password,
    sv_printPoll, sv_pure, sv_minRate, sv_maxRate, sv_maxSnaps, sv_autoDump, sv_name, sv_maxPlayers,
    sv_skipHeartbeat, sv_worldDebugBump, sv_privatePassword;

static int32_t Now() { return static_cast<int32_t>(Base_Time()); }

// Frees every slot; the state pointers of the server game's records stay.
static void ClearSlots() {
    for (int i = 0; i < SV_MAX_CLIENTS; i++) {
        uint8_t *state = sv_clients[i].state;
        memset(&sv_clients[i], 0, sizeof sv_clients[i]);
        sv_clients[i].state = state;
    }
}

// Copies a validated name or password into dst; 0 (dst untouched) when invalid.
static int TakeName(char *dst, const char *value, const char *label, int flags) {
    if (!Com_ValidateName(value, SV_NAME_MAX, label, VN_PRINT | flags)) return 0;
    Com_strncpyz(dst, value, SV_NAME_SIZE);
    return 1;
}

// ---- variable callbacks ----

static void SetCaption();

static void SV_Name_v() {
    TakeName(svs.name, sv_name.string, "name", 0);
    if (qbase.serverRunning) SetCaption();
}

static void SV_Password_v() {
    if (!TakeName(svs.password, sv_password.string, "password", VN_EMPTY_OK)) Com_Printf("Invalid password");
}

static void SV_PrivatePassword_v() {
    if (!TakeName(svs.privatePassword, sv_privatePassword.string, "private password", VN_EMPTY_OK))
        Com_Printf("Invalid password");
}

// The server variables with a range; a value outside it is forced to the bound it passed.
namespace {
struct svRangedVar_t {
    cmdVar_t *var;
    int32_t min, max;
};
const svRangedVar_t rangedVars[] = {
    {&sv_minRate, SV_MIN_RATE, INT32_MAX},
    {&sv_maxRate, SV_MIN_RATE, INT32_MAX},
    {&sv_maxSnaps, SV_MIN_SNAPS, INT32_MAX},
    {&sv_maxPlayers, 0, SV_MAX_CLIENTS},
};
}  // namespace

static void ClampVar(const svRangedVar_t &r) {
    const int32_t v = r.var->integer;
    if (v < r.min) Cmd_SetCVar(r.var, va("%d", r.min), 1);
    else if (v > r.max) Cmd_SetCVar(r.var, va("%d", r.max), 1);
}

void SV_ClampVars() {
    for (const svRangedVar_t &r : rangedVars) ClampVar(r);
}

// The callback of one ranged variable: it clamps only itself, so it can run while
// the others are still being created.
template <cmdVar_t *V> static void SV_Ranged_v() {
    for (const svRangedVar_t &r : rangedVars)
        if (r.var == V) ClampVar(r);
}

static uint8_t RoundedCheats() { return static_cast<uint8_t>(lroundf(sv_cheats.value) != 0 ? lroundf(sv_cheats.value) : 0); }

static void SV_Cheats_f() {
    const uint8_t rounded = RoundedCheats();
    if (strcmp(Cmd_Argv(2), "silent") != 0 && rounded != sv.cheats)
        SV_Printf(rounded ? "Cheats is now ON" : "Cheats is now OFF");
    sv.cheats = rounded;
}


static void SV_ClearRConEcho_f() { qbase.rconEcho = 0; }

void SV_Kick_f();  // sv_client.cpp

// ---- state ----

// The finder of the transport: datagrams sent by clients belong to the slot of their sender.
static netPipe_t *FindSlotPipe(const netadr_t *address) {
    svClient_t *client = SV_GetClientByAddr(address);
    return client && !client->noPeer ? &client->pipe : nullptr;
}

void SV_Imp(uint8_t create) {
    memset(&svs, 0, sizeof svs);
    ClearSlots();
    if (!create) return;
    NET_SetPipeFinder(NS_CLIENT, FindSlotPipe);

    const uint32_t S = CMD_SERVER;
    Cmd_CreateCVar(&sv_printSnapshot, "sv_printSnapshot", "0", S);
    Cmd_CreateCVar(&sv_printPage, "sv_printPage", "0", S);
    Cmd_CreateCVar(&sv_printClean, "sv_printClean", "0", S);
    Cmd_CreateCVar(&sv_noDeform, "sv_noDeform", "0", S);
    Cmd_CreateCVar(&sv_skipPageDelta, "sv_skipPageDelta", "0", S);
    Cmd_CreateCVar(&sv_skipPvs, "sv_skipPvs", "0", S);
    Cmd_CreateCVar(&sv_skipSnapDelta, "sv_skipSnapDelta", "0", S);
    Cmd_CreateCVar(&sv_flag, "sv_flag", "0", S);
    Cmd_CreateCVar(&sv_lanServer, "sv_lanServer", "1", S | CMD_NOSAVE);
    Cmd_CreateCVar(&sv_rconEchoClearTime, "sv_rconEchoClearTime", "30", S);
    Cmd_CreateCVarEx(&sv_cheats, "sv_cheats", "0", S, SV_Cheats_f);
    Cmd_CreateCVarEx(&sv_password, "sv_password", "", S | CMD_NOSAVE | CMD_SECRET, SV_Password_v);
    Cmd_CreateCVar(&sv_printPoll, "sv_printPoll", "0", S);
    Cmd_CreateCVar(&sv_pure, "sv_pure", "1", S);
    Cmd_CreateCVarEx(&sv_minRate, "sv_minRate", "2500", S, SV_Ranged_v<&sv_minRate>);
    Cmd_CreateCVarEx(&sv_maxRate, "sv_maxRate", "25000", S, SV_Ranged_v<&sv_maxRate>);
    Cmd_CreateCVarEx(&sv_maxSnaps, "sv_maxSnaps", "20", S, SV_Ranged_v<&sv_maxSnaps>);
    Cmd_CreateCVar(&sv_autoDump, "sv_autoDump", "0", S);
    Cmd_CreateCVarEx(&sv_name, "sv_name", va("Tulbo Home %d", Com_rand() % 1000), S | CMD_ALWAYSSAVE, SV_Name_v);
    Cmd_CreateCVarEx(&sv_maxPlayers, "sv_maxPlayers", "8", S, SV_Ranged_v<&sv_maxPlayers>);
    Cmd_CreateCVar(&sv_skipHeartbeat, "sv_skipHeartbeat", "0", S);
    Cmd_CreateCVar(&sv_worldDebugBump, "sv_worldDebugBump", "0", S);
    Cmd_CreateCVarEx(&sv_privatePassword, "sv_privatePassword", "", S, SV_PrivatePassword_v);

    SV_WorldImp();  // createBall, blurWorld, createPlane, swapMatter, paintCore
    Cmd_CreateFunction("clearRConEcho", SV_ClearRConEcho_f, S);
    Cmd_CreateFunction("kick", SV_Kick_f, S);
    Cmd_CreateFunction("heartbeat", SV_Heartbeat_f, S);
    Cmd_CreateFunction("banIp", SV_BanIp_f, S);
    Cmd_CreateFunction("banList", SV_BanList_f, S);
    Cmd_CreateFunction("unbanIp", SV_UnbanIp_f, S);
}

uint8_t SV_Running() { return qbase.serverRunning; }

void SV_StartServer(const char *path) {
    if (!path) path = "";
    if (!qbase.serverRunning) memset(&svs, 0, sizeof svs);
    svs.worldId++;
    svs.worldInfoVersion++;
    if (!TakeName(svs.name, sv_name.string, "name", 0)) Com_strncpyz(svs.name, SV_FALLBACK_NAME, SV_NAME_SIZE);
    if (!TakeName(svs.password, sv_password.string, "password", VN_EMPTY_OK)) svs.password[0] = 0;
    if (!TakeName(svs.privatePassword, sv_privatePassword.string, "password", VN_EMPTY_OK))
        svs.privatePassword[0] = 0;

    memset(&sv, 0, sizeof sv);
    for (svClient_t &c : sv_clients) {
        if (!c.inUse) continue;
        for (int i = 0; i < WO_GRID_CELLS; i++) c.pageAck[i] = -1;
        memset(c.pageSent, 0, sizeof c.pageSent);
    }
    sv.entityList.next = sv.entityList.prev = &sv.entityList;
    // A path that does not fit would restart the server on another map after a
    // clock wrap: it is refused rather than cut.
    if (strlen(path) >= sizeof sv.mapPath) {
        Com_Error(ER_WARNING, "SV_StartServer: map path too long (%d characters)", static_cast<int>(strlen(path)));
        sv.mapPath[0] = 0;
    } else {
        Com_strncpyz(sv.mapPath, path, sizeof sv.mapPath);
    }
    SV_InitWorld();
    SV_InitBans();
    qbase.serverRunning = 1;
}

void SV_ShutdownServer(uint8_t keepRunning) {
    if (!qbase.serverRunning) return;
    if (!keepRunning && !sv_lanServer.integer && qbase.masterAddress.type != NA_BAD)
        // With the master's challenge: the master believes no shutdown without it.
        NET_SendOutOfBandPrintf(NS_CLIENT, &qbase.masterAddress, "server_shutdown %d",
                                static_cast<int32_t>(qbase.masterChallenge));
    memset(&sv, 0, sizeof sv);
    sv.entityList.next = sv.entityList.prev = &sv.entityList;
    WO_ClearAllPages();
    SV_ShutdownBans();
    if (keepRunning) {
        SV_RaiseSeqGrid();  // the slots stay, and acknowledgements of this world may still come
        return;
    }
    SV_InitSeqGrid();
    memset(&svs, 0, sizeof svs);
    ClearSlots();
    qbase.serverRunning = 0;
}

void SV_UploadClientStateReference(void *base, int32_t stride) {
    for (int i = 0; i < SV_MAX_CLIENTS; i++)
        sv_clients[i].state = base ? static_cast<uint8_t *>(base) + static_cast<ptrdiff_t>(i) * stride : nullptr;
}

void SV_UploadEntityStateReference(void *base, int32_t stride) {
    for (int i = 0; i < SV_MAX_ENTITIES; i++) {
        uint8_t *state = base ? static_cast<uint8_t *>(base) + static_cast<ptrdiff_t>(i) * stride : nullptr;
        sv.entities[i].state = state;
        sv.entities[i].shared = state ? state + SV_ENTITY_STATE_SIZE : nullptr;
    }
}

void SV_UploadSnapshotGameDataReference(void *block, int32_t size) {
    if (size < 0 || size > SV_MAX_GAME_DATA) {
        Com_Error(ER_FATAL, "SV_UploadSnapshotGameDataReference: size max %d", SV_MAX_GAME_DATA);
        return;
    }
    sv.gameData = block;
    sv.gameDataSize = static_cast<uint8_t>(size);
}

static void Unlink(svEntity_t *e) {
    e->prev->next = e->next;
    e->next->prev = e->prev;
    e->next = e->prev = nullptr;
}

void SV_LinkEntity(int32_t entity) {
    if (entity < 0 || entity >= SV_MAX_ENTITIES) {
        Com_Error(ER_FATAL, "SV_LinkEntity: Bad entity num %d", entity);
        return;
    }
    svEntity_t *e = &sv.entities[entity];
    if (!e->state || !e->state[0]) {
        Com_Error(ER_FATAL, "SV_LinkEntity: Entity num %d not active", entity);
        return;
    }
    if (sv.entityList.next == nullptr) sv.entityList.next = sv.entityList.prev = &sv.entityList;
    if (e->next) Unlink(e);
    e->prev = sv.entityList.prev;
    e->next = &sv.entityList;
    sv.entityList.prev->next = e;
    sv.entityList.prev = e;
}

void SV_UnlinkEntity(int32_t entity) {
    if (entity < 0 || entity >= SV_MAX_ENTITIES) {
        Com_Error(ER_FATAL, "SV_UnlinkEntity: Bad entity num %d", entity);
        return;
    }
    svEntity_t *e = &sv.entities[entity];
    if (!e->state || !e->state[0]) Com_Error(ER_DEVWARNING, "SV_UnlinkEntity: Entity num %d not active", entity);
    if (!e->next) {
        Com_Error(ER_DEVWARNING, "SV_UnlinkEntity: Entity num %d is not linked", entity);
        return;
    }
    Unlink(e);
}

const char *SV_GetMapPath() { return sv.mapPath; }

int SV_GetNumClients() {
    int n = 0;
    for (const svClient_t &c : sv_clients) n += c.inUse;
    return n;
}

// ---- frame ----

int SV_CheckClientConnection(svClient_t *client) {
    if (SV_Age(client->lastReceive) <= SV_TIMEOUT_MSEC) return 0;
    Call_SG_ClientDrop(client->number, "Timeout");
    return 1;
}

// The eye of a client: one unit above its origin, along the world's up there.
static void ClientEye(const svClient_t *client, float eye[3]) {
    float origin[3];
    memcpy(origin, client->state + offsetof(clientState_t, origin), sizeof origin);
    float up[3] = {0.0f, 1.0f, 0.0f};
    if (!wo_lg) {
        const float length = sqrtf(origin[0] * origin[0] + origin[1] * origin[1] + origin[2] * origin[2]);
        if (length > 0.0f) {
            for (int i = 0; i < 3; i++) up[i] = origin[i] / length;
        }
    }
    for (int i = 0; i < 3; i++) eye[i] = origin[i] + up[i];
}

void SV_UpdateClientPVS(svClient_t *client) {
    if (sv_skipPvs.integer || !client->state) return;
    float eye[3];
    ClientEye(client, eye);
    WO_SetupOVS(&client->pvs, eye);
    client->pvsStamp = 0;
}

// The frame's visible set of a client: the set SV_UpdateClientPVS would build, kept
// while the eye stays in its cell and the world's sight keeps its stamp, else taken
// from the sets the world keeps.  Most frames build no set at all.
void SV_UpdateFrameVisibleSet(svClient_t *client, uint64_t stamp) {
    if (sv_skipPvs.integer || !client->state) return;
    float eye[3];
    ClientEye(client, eye);
    const int32_t cell = WO_OVSEyeCell(eye);
    if (stamp && client->pvsStamp == stamp && client->pvsCell == cell) return;
    WO_SetupOVSAtStamp(&client->pvs, eye, stamp);
    client->pvsCell = cell;
    client->pvsStamp = stamp;
}

void SV_ClientInfo(svClient_t *client) {
    if (!client->info[0]) return;
    const char *rate = Com_IS_GetValue(client->info, "rate");
    if (!rate || !rate[0]) return;
    // The client's own text: a number of any size is read without overflow.
    const long value = strtol(rate, nullptr, 10);
    client->rate = value < SV_MIN_RATE ? SV_MIN_RATE : (value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value));
}

// Takes every package that clients sent to the server.
static void ReadPackages() {
    static netPackage_t package;
    while (NET_GetPackage(NS_CLIENT, &package)) {
        Msg_ReadBegin(&package.msg);
        Msg_ReadTokenize();
        if (Base_HandlePackage(&package)) continue;
        Msg_ReadBegin(&package.msg);
        Msg_ReadTokenize();
        SV_HandlePackage(&package);
    }
}

static void ServeClient(svClient_t *client, uint64_t sightStamp) {
    SV_UpdateFrameVisibleSet(client, sightStamp);
    SV_ClientInfo(client);
    NET_UpdatePipeStatistics();
    if (!client->lastServerInfo || SV_Age(client->lastServerInfo) > SV_SERVERINFO_MSEC) {
        client->lastServerInfo = Now();
        SV_SendServerInfo(&client->pipe.remote, 0, 0);
    }
    SV_WriteWorldInfoString(client);
    SV_WritePages(client);
    Msg_WriteBegin(&sv_msg);
    if (SV_WriteSnapshot(client) && SV_Age(client->lastPingRequest) >= SV_PING_REQUEST_MSEC) {
        client->lastPingRequest = Now();
        Msg_WriteByte(SVP_PING);
        Msg_WriteLong(static_cast<int32_t>(Base_Time()));
    }
    if (Msg_WriteGetBits() > 0) {
        NET_SendPackage(&client->pipe, &sv_msg);
        Msg_WriteBegin(&sv_msg);
    }
}

static void SetCaption() {
    const char *file = strrchr(sv.mapPath, '/');
    file = file ? file + 1 : sv.mapPath;
    Sys_SetConsoleCaption(va("%s %s %d clients", svs.name, file, SV_GetNumClients()));
}

void SV_Frame() {
    if (!qbase.serverRunning || !qbase.module) return;
    sv.cheats = RoundedCheats();

    ReadPackages();
    SV_CleanDirtyVoxels();
    SV_CleanDirtySurfaces();
    SV_WorldDebugBump();
    WO_UploadPool();
    Call_SG_Frame();
    SV_CleanDirtyVoxels();
    SV_CleanDirtySurfaces();
    WO_UploadPool();
    SV_AutoDump(Now());
    sv.matterChecksum = static_cast<int32_t>(WO_GetMatterChecksum());

    // Serving the clients leaves the world as it is: its sight is looked at once, and
    // again only after a drop, which runs the server game.
    uint64_t sightStamp = WO_OVSStamp();
    for (svClient_t &c : sv_clients) {
        if (!c.inUse || c.noPeer) continue;
        if (SV_CheckClientConnection(&c)) {
            sightStamp = WO_OVSStamp();
            continue;
        }
        ServeClient(&c, sightStamp);
    }
    SetCaption();
    if (!qbase.clientRunning && SV_Age(svs.lastMasterRefresh) > SV_MASTER_REFRESH_MSEC) {
        svs.lastMasterRefresh = Now();
        Base_UpdateMaster(1);
    }
    SV_Heartbeat();
}
