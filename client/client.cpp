#include "client/client.h"

#include <cstring>

#include "base/base.h"
#include "client/cl_local.h"
#include "base/module.h"
#include "base/net.h"
#include "base/renderer.h"
#include "client/cl_cin.h"
#include "client/cl_decal.h"
#include "client/cl_font.h"
#include "common/common.h"
#include "world/world.h"

clientStatic_t cl;
clServerCommands_t cl_serverCommands;

void CL_Imp() {
    memset(&cl, 0, sizeof(cl));
    CL_DecalImp();
    CIN_Imp();
    RE_Imp();
    SND_Imp();
}

void CL_InitWorld() {
    WO_InitPages();
    WO_ClearAllPages();
    WO_InitPool();
    for (uint32_t &seq : wo_seqGrid) seq = UINT32_MAX;  // no page received yet
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
    Call_CG_Init();
    Call_UI_Init();
    Com_Printf("\xA4" "08CL_Init: Starting up client done");
}

void CL_Shutdown() {
    Call_UI_Shutdown();
    Call_CG_Shutdown();
    CL_UnregisterFont(0);
    CIN_EndCinematic();
    CIN_Shutdown();
    snd.Shutdown();
    re.Shutdown();
    qbase.rendererRunning = 0;
    memset(&cl, 0, sizeof(cl));
    qbase.clientRunning = 0;
    Com_Printf("\xA4" "08CL_Shutdown: Client shut downed");
}

uint8_t CL_IsConnected(netadr_t *out) {
    if (!qbase.clientRunning || cl.state != ECL_CONNECTED) return 0;
    if (out) *out = cl.pipe.remote;
    return 1;
}

void CL_CCFrame() {
    if (qbase.clientRunning) Call_CG_CCFrame();
}

void CL_Frame() {
    if (!qbase.clientRunning) return;
    // With no connection to a server yet, every package is offered to the engine's
    // out-of-band handling first, and nothing else here takes the rest.
    Base_OfferPackages(NS_CLIENT);
}
