// The client's state, start and shutdown, its frame, and the connection: the
// handshake texts, time-outs, disconnecting and the client game's connection record.
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "base/files.h"
#include "base/module.h"
#include "base/net.h"
#include "base/remote.h"
#include "base/renderer.h"
#include "client/cl_cin.h"
#include "client/cl_font.h"
#include "client/cl_local.h"
#include "client/client.h"
#include "common/com_hash.h"
#include "common/common.h"
#include "world/world.h"

clientStatic_t cl;
clServerCommands_t cl_serverCommands, cl_outsideCommands;

cmdVar_t cl_pushTime, cl_printDeltaTime, cl_printPage, cl_printClean, cl_printNet, cl_rate, cl_minDecalZ;

// Everything behind the client game's record and the reserved bytes: what a new
// connection and a disconnect start from.
static void ClearConnection() {
    constexpr size_t kept = offsetof(clientStatic_t, state);
    memset(reinterpret_cast<uint8_t *>(&cl) + kept, 0, sizeof cl - kept);
    CL_ClearSnapshots();
}

static bool IsLoopback() { return cl.pipe.remote.type == NA_LOCAL; }

// ---- start and shutdown ----

static void CL_GetGlobalServers_f() { CL_GetGlobalServers(); }

void CL_Imp() {
    memset(&cl, 0, sizeof cl);
    CL_ClearSnapshots();
    Cmd_CreateCVar(&cl_pushTime, "cl_pushTime", "50", 0);
    Cmd_CreateCVar(&cl_printDeltaTime, "cl_printDeltaTime", "0", 0);
    Cmd_CreateCVar(&cl_printPage, "cl_printPage", "0", 0);
    Cmd_CreateCVar(&cl_printClean, "cl_printClean", "0", CMD_CHEAT);
    Cmd_CreateCVar(&cl_printNet, "cl_printNet", "0", CMD_CHEAT);
    Cmd_CreateCVar(&cl_rate, "cl_rate", "25000", 0);
    Cmd_CreateCVar(&cl_minDecalZ, "cl_minDecalZ", "0.3", CMD_CHEAT);
    Cmd_CreateFunction("getGlobalServers", CL_GetGlobalServers_f, CMD_CLIENT);
    CIN_Imp();
    RE_Imp();
    SND_Imp();
    // Datagrams that a server's pipe sent belong to the client's connection.
    NET_SetPipeFinder(NS_SERVER, CL_GetServerNetPipe);
}

void CL_InitWorld() {
    WO_InitPages();
    WO_ClearAllPages();
    WO_InitPool();
    CL_InitSeqGrid();
    wm_min = wm_max = 0;
}

// A renderer that reports no render size cannot give the client its media: the null
// renderer of a dedicated engine.  The client then does not start, and whatever else
// the engine runs (a server and its players) goes on.
static bool CL_RendererCanDraw() {
    rendererConfig_t config{};
    RE_GetRendererConfig(&config);
    return config.width > 0 && config.height > 0;
}

void CL_Init() {
    if (qbase.clientRunning) return;
    Com_Printf("\xA4" "08CL_Init: Starting up client...");
    re.Init();
    if (!CL_RendererCanDraw()) {
        re.Shutdown();
        Com_Error(ER_ERROR, "CL_Init: this engine has no renderer to draw with; the client cannot start");
        Cmd_SetCVar(&base_client, "0", 1);  // "client" tells the truth: no client runs
        return;
    }
    qbase.clientRunning = 1;
    qbase.rendererRunning = 1;
    snd.Init();
    CIN_Init();
    CL_UnregisterFont(0);
    CL_RegisterDummyFont();
    if (!qbase.serverRunning) CL_InitWorld();
    // The world may be built already (by a server in this process): this renderer
    // gets its list and the whole pool.
    WO_InitGPUVertexList();
    WO_UploadEntirePool();
    Call_CG_Init();
    Call_UI_Init();
    Com_Printf("\xA4" "08CL_Init: Starting up client done");
}

void CL_Shutdown() {
    Com_Printf("\xA4" "08CL_Shutdown: Shutting down client...");
    Call_UI_Shutdown();
    Call_CG_Shutdown();
    snd.UnregisterSound(0);
    CL_UnregisterFont(0);
    re.UnregisterTexture(0);
    re.UnregisterMaterial(0);
    re.UnregisterLOD(0);
    CIN_EndCinematic();
    CIN_Shutdown();
    // The renderer's vertex list goes with the renderer; a server in this process
    // keeps its world, a client's own world goes too.
    if (qbase.serverRunning)
        WO_ShutdownGPUVertexList();
    else
        CL_ShutdownWorld();
    snd.Shutdown();
    re.Shutdown();
    qbase.rendererRunning = 0;
    memset(&cl, 0, sizeof cl);
    CL_ClearSnapshots();
    qbase.clientRunning = 0;
    Com_Printf("\xA4" "08CL_Shutdown: Client shut downed");
}

// ---- the client game's record ----

void CL_UploadECL(void *ecl) { cl.ecl = static_cast<ecl_t *>(ecl); }

void CL_UpdateECL() {
    if (!cl.ecl) {
        Com_Error(ER_FATAL, "CL_UpdateECL: null");
        return;
    }
    ecl_t *e = cl.ecl;
    e->state = cl.state;
    static_assert(sizeof e->serverAddress == sizeof cl.pipe.remote);
    memcpy(e->serverAddress, &cl.pipe.remote, sizeof e->serverAddress);
    e->stalled = cl.stalled;
    // Complete once five snapshots of this world came and the world's matter
    // matched the server's; the latch holds until the next world change.
    bool complete = false;
    if (cl.snapNewest > 0 && cl.snapCount > 4) {
        const snapshot_t *newest = CL_NewestSnapshot();
        if (cl.worldComplete || (newest && cl.matterChecksum == newest->matterChecksum)) {
            cl.worldComplete = 1;
            complete = true;
        }
    }
    e->worldIncomplete = complete ? 0 : 1;
}

uint8_t CL_IsConnected(netadr_t *out) {
    if (!qbase.clientRunning || !cl.ecl || cl.ecl->state != ECL_CONNECTED) return 0;
    if (out) memcpy(out, cl.ecl->serverAddress, sizeof *out);
    return 1;
}

netPipe_t *CL_GetServerNetPipe(const netadr_t *address) {
    return Com_adrcmp(&cl.pipe.remote, address) ? &cl.pipe : nullptr;
}

// ---- connecting ----

void CL_SendConnect() {
    byte digest[MD5_DIGEST_SIZE];
    Com_GetMD5(digest, cl.password, static_cast<int>(strlen(cl.password)));
    NET_SendOutOfBandPrintf(NS_CLIENT, &cl.pipe.remote, "connect %d %s \"%s\" %d %d %d %d",
                            static_cast<int32_t>(ge.protocol), Com_MD52String(digest), cl.name, 0, cl.challenge,
                            static_cast<int32_t>(qbase.packChecksum), CL_ENGINE_VERSION);
}

void CL_ConnectToServer(const char *addressText, const char *password, const char *name) {
    if (cl.state == ECL_CONNECTING) return;
    netadr_t address;
    if (!Sys_LookupDNS(&address, addressText)) {
        Com_Printf("Bad server address %s", addressText ? addressText : "");
        return;
    }
    snd.ClearSounds();
    NET_SendOutOfBandPrintf(NS_CLIENT, &address, "get_challenge");
    ClearConnection();
    cl.state = ECL_CONNECTING;
    cl.connectTime = cl.lastRetryTime = CL_Now();
    Com_strncpyz(cl.name, name ? name : "", sizeof cl.name);
    Com_strncpyz(cl.password, password ? password : "", sizeof cl.password);
    NET_SetupPipe(&cl.pipe, NS_CLIENT, &address);
    CL_UpdateECL();
    // A server in this process shares its world with us: its pages stay.
    if (!IsLoopback()) CL_InitSeqGrid();
}

void CL_DisconnectFromServer(const char *reason) {
    if (cl.state == ECL_DISCONNECTED) return;
    // A server in this process owns the world we shared: it runs on with it.
    const bool loopback = IsLoopback();
    CL_SendDisconnect();
    snd.ClearSounds();
    ClearConnection();
    CL_UpdateECL();
    if (!loopback) {
        WO_ClearAllPages();
        CL_InitSeqGrid();
    }
    if (!reason || !reason[0]) Com_Printf("Dropped server");
    else Com_Printf("Dropped server (%s)", reason);
}

void CL_CheckServerConnection() {
    const int32_t now = CL_Now();
    if (cl.state == ECL_CONNECTING) {
        if (CL_Age(cl.connectTime) > CL_CONNECT_TIMEOUT) {
            CL_DisconnectFromServer("Found no connection");
            return;
        }
        if (CL_Age(cl.lastRetryTime) > CL_RETRY_INTERVAL) {
            cl.lastRetryTime = now;
            NET_SendOutOfBandPrintf(NS_CLIENT, &cl.pipe.remote, "get_challenge");
            if (cl.challenge) {
                Com_Printf("Retry connection %s...", Com_adrstr(&cl.pipe.remote));
                CL_SendConnect();
            }
        }
    } else if (cl.state == ECL_CONNECTED) {
        const int32_t silence = CL_Age(cl.lastReceiveTime);
        if (silence > CL_SILENCE_TIMEOUT) {
            CL_DisconnectFromServer("No response in 10 seconds");
            Call_DisconnectScreen2("Server connection lost");
        } else if (silence > CL_STALL_TIME) {
            cl.stalled = 1;
        }
    }
}

void CL_MapChange() {
    if (IsLoopback()) return;
    WO_ClearAllPages();
    CL_InitSeqGrid();
}

void CL_GetGlobalServers() {
    Base_UpdateMaster(0);
    if (!qbase.masterChallenge) return;
    for (int i = 0; i < 2; i++)
        NET_SendOutOfBandPrintf(NS_CLIENT, &qbase.masterAddress, "getservers %d %d %d",
                                static_cast<int32_t>(qbase.masterChallenge),
                                static_cast<int32_t>(qbase.instanceNumber), 0);
}

void CL_GetStats(void *out) {
    int32_t words[19];
    const netStats_t *groups[3] = {&qnet.total, &qnet.perSecond, &qnet.window};
    int n = 0;
    for (const netStats_t *s : groups) {
        words[n++] = static_cast<int32_t>(s->packetsUp);
        words[n++] = static_cast<int32_t>(s->bytesUp);
        words[n++] = static_cast<int32_t>(s->packetsDown);
        words[n++] = static_cast<int32_t>(s->packetsLost);
        words[n++] = static_cast<int32_t>(s->bytesDown);
    }
    words[n++] = static_cast<int32_t>(qbase.pacingTime);
    words[n++] = static_cast<int32_t>(qbase.passTime);
    words[n++] = Com_GetMemBlocks();
    words[n++] = Com_GetMemUsed();
    if (out) memcpy(out, words, sizeof words);
}

// The view set of an eye: what the grid lets it see, within its four side planes.
void *CL_GetViewPVS(const float *eye, const float *axis, float fovX, float fovY) {
    static pagePVS_t open, frustum;
    WO_SetupOVS(&open, eye);
    WO_SetupFVS(&frustum, eye, axis, fovX, fovY, 4);
    WO_SetupPVS(&wo_view_pvs, &open, &frustum);
    return &wo_view_pvs;
}

void CL_RestartRenderer() {
    Com_Printf("Restart Renderer Module....");
    snd.ClearDMA();
    snd.UnregisterSound(0);
    // Fonts hold material handles of the renderer that goes: a font registered again
    // must be read anew, not found with a handle that names nothing.
    CL_UnregisterFont(0);
    re.UnregisterTexture(0);
    re.UnregisterMaterial(0);
    re.UnregisterLOD(0);
    WO_ShutdownGPUVertexList();
    re.Shutdown();
    re.Init();
    CL_RegisterDummyFont();
    WO_InitGPUVertexList();
    WO_UploadEntirePool();
    Call_CG_RestartRenderer();
}

// ---- frame ----

void CL_CCFrame() {
    if (qbase.clientRunning && Base_GameLoaded()) Call_CG_CCFrame();
}

static void ReadPackages() {
    static netPackage_t package;
    while (NET_GetPackage(NS_SERVER, &package)) {
        // The server has no credentials on its packages: its pipe is found by its exact
        // address, and that is what the client checks.
        if (package.sequence != NET_OOB_SEQUENCE && Com_adrcmp(&package.address, &cl.pipe.remote))
            NET_AcceptPackage(&cl.pipe, &package);
        Msg_ReadBegin(&package.msg);
        Msg_ReadTokenize();
        if (Base_HandlePackage(&package)) continue;
        Msg_ReadBegin(&package.msg);
        Msg_ReadTokenize();
        CL_HandlePackage(&package);
    }
}

void CL_Frame() {
    if (!qbase.clientRunning) return;
    if (cl.state != ECL_CONNECTED) FS_SetPure(0);
    ReadPackages();
    CL_CheckServerConnection();
    cl.matterChecksum = static_cast<int32_t>(WO_GetMatterChecksum());
    if (cl.state == ECL_CONNECTED && !cl.stalled) {
        NET_UpdatePipeStatistics();
        CL_SendPageAcks(0);
        CL_SendInfoString();
        CL_UpdateSimulation();
    }
    // A client game that never connected may not have handed its record over yet:
    // with no connection there is nothing it could miss.
    if (cl.ecl || cl.state != ECL_DISCONNECTED) CL_UpdateECL();
    snd.Frame();
    if (!qbase.serverRunning && cl.ecl && !cl.ecl->worldIncomplete) {
        CL_CleanDirtySurfaces();
        WO_UploadPool();
    }
    Call_CG_Frame();
}
