// The game-module host: loader, Call wrappers and the trap dispatcher.
#include "base/module.h"

#include <climits>
#include <cstdarg>
#include <cstring>
#include <iterator>

#include "base/module_services.h"
#include "common/common.h"

gameExport_t ge;

// ---- loading ----

bool Base_GameLoaded() { return qbase.module != nullptr; }

// Forgets the module: closes the library, clears the handle and the export record.
static void ForgetGame() {
    Sys_UnloadGameModule(qbase.module);
    qbase.module = nullptr;
    ge = gameExport_t{};
}

void Base_LoadGame(const char *name) {
    if (qbase.module) {
        Com_Error(ER_ERROR, "Game dll is all ready loaded");
        return;
    }
    Com_Printf("Loading Game Module: \"\xA4" "08%s\xA4" "00\"...", name);

    if (!Sys_LoadGameModule(&qbase.module, name)) {
        qbase.module = nullptr;
        Com_Error(ER_ERROR, "Could not load game module");
        return;
    }
    const getGameAPI_t getGameAPI = reinterpret_cast<getGameAPI_t>(Sys_GetGameAPI(qbase.module));
    if (!getGameAPI) {
        // Closed like every other refusal, so no half-loaded module counts as loaded.
        ForgetGame();
        Com_Error(ER_FATAL, "Could not load game module (no GetGameAPI)");
        return;
    }

    const gameImport_t import = {GAME_API_MAGIC, GAME_API_VERSION, sizeof(gameImport_t), Gi_Trap};
    const gameExport_t exported = getGameAPI(import);
    if (exported.magic != GAME_API_MAGIC) {
        ForgetGame();
        Com_Error(ER_FATAL, "Game API magic mismatch! (game dll corrupt)");
        return;
    }
    if (exported.apiVersion != GAME_API_VERSION) {
        ForgetGame();
        Com_Error(ER_FATAL, "Game API mismatch (engine API: %d game API: %d)", int(GAME_API_VERSION),
                  int(exported.apiVersion));
        return;
    }
    if (exported.size != sizeof(gameExport_t)) {
        ForgetGame();
        Com_Error(ER_FATAL, "Game API mismatch");
        return;
    }
    if (!exported.call) {
        ForgetGame();
        Com_Error(ER_FATAL, "Game API mismatch (no Call)");
        return;
    }
    ge = exported;
    // The texts come from the module: never trust them to be terminated.
    ge.name[GAME_NAME_SIZE - 1] = 0;
    ge.version[GAME_NAME_SIZE - 1] = 0;
    Com_Printf("\xA4" "08Loaded GAME \"%s\" version: %s", ge.name, ge.version);
}

void Base_UnloadGame() {
    if (!qbase.module) return;
    Call_Main_Shutdown();
    ForgetGame();
    Com_Printf("\xA4" "08Unloaded game DLL");
}

void Base_CloseGame() {
    if (qbase.module) ForgetGame();
}

// ---- Call wrappers ----

// Makes call `number` with the given words; 0 without a module.  A scalar
// travels as the address of the wrapper's own copy, so callers pass &param.
template <typename... T>
static int32_t CallGame(gameCallNum_t number, T... words) {
    if (!ge.call) return 0;
    gameArg_t args[GAME_MAX_ARGS];
    Arg_Pack(args, words...);
    return ge.call(number, args);
}
// The calls with a byte result hand back only the low byte.
template <typename... T>
static uint8_t CallGameByte(gameCallNum_t number, T... words) {
    return static_cast<uint8_t>(CallGame(number, words...));
}

void Call_Main_Imp() { CallGame(GCALL_MAIN_IMP); }
void Call_Main_Init() { CallGame(GCALL_MAIN_INIT); }
void Call_Main_Shutdown() { CallGame(GCALL_MAIN_SHUTDOWN); }
void Call_Main_Frame() { CallGame(GCALL_MAIN_FRAME); }
void Call_SG_Imp(uint8_t engineStart) { CallGame(GCALL_SG_IMP, &engineStart); }
void Call_SG_ClientConnect(const netadr_t *address, const char *name, int32_t reserved, int32_t challenge) {
    CallGame(GCALL_SG_CLIENT_CONNECT, address, name, &reserved, &challenge);
}
void Call_SG_ClientDrop(int32_t client, const char *reason) {
    CallGame(GCALL_SG_CLIENT_DROP, &client, reason);
}
void Call_SG_Frame() { CallGame(GCALL_SG_FRAME); }
void Call_SG_Shutdown() { CallGame(GCALL_SG_SHUTDOWN); }
void Call_SG_GetServerInfo(char *rules, char *gameName, int32_t *protocol, char *version) {
    CallGame(GCALL_SG_GET_SERVER_INFO, rules, gameName, protocol, version);
}
void Call_CG_Imp() { CallGame(GCALL_CG_IMP); }
void Call_CG_Init() { CallGame(GCALL_CG_INIT); }
void Call_CG_Shutdown() { CallGame(GCALL_CG_SHUTDOWN); }
uint8_t Call_CG_ConnectedToServer() { return CallGameByte(GCALL_CG_CONNECTED_TO_SERVER); }
uint8_t Call_CG_MapChange(const char *worldInfo) { return CallGameByte(GCALL_CG_MAP_CHANGE, worldInfo); }
void Call_CG_RestartRenderer() { CallGame(GCALL_CG_RESTART_RENDERER); }
void Call_CG_CCFrame() { CallGame(GCALL_CG_CC_FRAME); }
void Call_CG_Frame() { CallGame(GCALL_CG_FRAME); }
void Call_CG_Print(const char *text) { CallGame(GCALL_CG_PRINT, text); }
uint8_t Call_CG_AllowBind() { return CallGameByte(GCALL_CG_ALLOW_BIND); }
void Call_CG_WorldDeform(const float *mins, const float *maxs) { CallGame(GCALL_CG_WORLD_DEFORM, mins, maxs); }
void Call_CG_DumpServers(FILE *config) { CallGame(GCALL_CG_DUMP_SERVERS, config); }
void Call_UI_Imp(const char *consoleText) { CallGame(GCALL_UI_IMP, consoleText); }
void Call_UI_Init() { CallGame(GCALL_UI_INIT); }
void Call_UI_Shutdown() { CallGame(GCALL_UI_SHUTDOWN); }
void Call_WriteStandardConfig() { CallGame(GCALL_WRITE_STANDARD_CONFIG); }
void Call_Disconnect() { CallGame(GCALL_DISCONNECT); }
void Call_DisconnectScreen2(const char *reason) { CallGame(GCALL_DISCONNECT_SCREEN, reason); }

// ---- services of the engine base ----

void Gi_GetQGame(qgame_t *out) {
    if (!out) return;
    out->initialized = qbase.initialised;
    out->developer = qbase.developer;
    out->startTime = qbase.startClock;
    out->time = qbase.time;
    out->previousTime = qbase.previousTime;
    out->frameMsec = qbase.frameMsec;
    out->frameSeconds = qbase.frameSeconds;
    out->frameCount = qbase.frameCount;
    out->fps = qbase.fps;
    static_assert(sizeof(out->localAddress) == sizeof(qnet.localAddress), "the address travels whole");
    memcpy(out->localAddress, &qnet.localAddress, sizeof(out->localAddress));
    out->qport = qnet.myQport;
    out->instance = qbase.instanceNumber;
}

void Gi_GetQGame2(qgame_t *out) {
    if (!out) return;
    Gi_GetQGame(out);
    out->newerVersion = qbase.newerVersion;
}

void Gi_Print(const char *text, uint8_t developer) {
    // Through the engine's installed sinks: the developer sink decides whether
    // developer text shows.
    if (developer)
        Com_DPrintf("%s", text);
    else
        Com_Printf("%s", text);
}

uint32_t Gi_GetTime() { return Base_Time(); }

rhandle_t Gi_RegisterTexture(const char *name) { return RE_RegisterTexture(name, RE_TEXTURE_MIPMAPS); }
rhandle_t Gi_RegisterTextureNoMip(const char *name) { return RE_RegisterTexture(name, RE_TEXTURE_NO_MIPMAPS); }
rhandle_t Gi_RegisterTextureCube(const char *name) { return RE_RegisterTexture(name, RE_TEXTURE_CUBE); }

uint8_t Gi_SendOutOfBandPrint(int32_t fromClient, const netadr_t *address, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    const int sent = NET_SendOutOfBandVPrintf(fromClient, address, format, ap);
    va_end(ap);
    return sent ? 1 : 0;
}

uint8_t Base_GetFileMD5(uint8_t *digest, const char *path) {
    void *data = nullptr;
    const int32_t length = FS_ReadFile(path, &data);
    if (length < 0 || !data) return 0;
    Com_GetMD5(digest, data, length);
    FS_FreeFile(data);
    return 1;
}

// ---- trap dispatcher ----

// The result cell of the float-valued traps 3 and 4: the module reads it
// through the address left in word 0, before its next float trap.
static float ftemp;

typedef intptr_t (*trapHandler_t)(gameArg_t *args);

static intptr_t Ptr(const void *p) { return reinterpret_cast<intptr_t>(p); }
static intptr_t FloatResult(gameArg_t *args, float value) {
    ftemp = value;
    args[0] = reinterpret_cast<gameArg_t>(&ftemp);
    return 0;
}

// Bones are asked for by count; the byte size must not wrap.
static intptr_t AllocBones(int32_t count) {
    if (count < 0 || count > INT32_MAX / RE_BONE_SIZE) {
        Com_Error(ER_WARNING, "Trap: Bad bone count %d", count);
        return 0;
    }
    return Ptr(RE_Alloc(count * RE_BONE_SIZE));
}

// One handler per trap number, in number order.  P = Arg_Ptr, W = Arg_Int or
// Arg_Float (by the service's type), B = Arg_Byte.
static constexpr trapHandler_t trapTable[] = {
    /* 0 */ [](gameArg_t *a) -> intptr_t { Gi_GetQGame2(Arg_Ptr<qgame_t>(a, 0)); return 0; },
    /* 1 */ [](gameArg_t *) -> intptr_t { return static_cast<int32_t>(Gi_GetTime()); },
    /* 2 */ [](gameArg_t *) -> intptr_t { return Com_rand(); },
    /* 3 */ [](gameArg_t *a) -> intptr_t { return FloatResult(a, Com_crand()); },
    /* 4 */ [](gameArg_t *a) -> intptr_t { return FloatResult(a, Com_frand()); },
    /* 5 */ [](gameArg_t *a) -> intptr_t { VectorAddNoise(Arg_Ptr<float>(a, 0), Arg_Float(a, 1)); return 0; },
    /* 6 */ [](gameArg_t *) -> intptr_t { return Sys_Clipboard_GetStringLength(); },
    /* 7 */ [](gameArg_t *a) -> intptr_t { return Sys_Clipboard_GetString(Arg_Int(a, 0), Arg_Ptr<char>(a, 1)); },
    /* 8 */ [](gameArg_t *a) -> intptr_t { Sys_Clipboard_SetString(Arg_Ptr<const char>(a, 0)); return 0; },
    /* 9 */ [](gameArg_t *a) -> intptr_t { Gi_Print(Arg_Ptr<const char>(a, 0), Arg_Byte(a, 1)); return 0; },
    /* 10 */ [](gameArg_t *a) -> intptr_t { return Com_Error(Arg_Int(a, 0), "%s", Arg_Ptr<const char>(a, 1)); },
    /* 11 */ [](gameArg_t *) -> intptr_t { return 0; },
    /* 12 */ [](gameArg_t *a) -> intptr_t { Sys_Sleep(Arg_Int(a, 0)); return 0; },
    /* 13 */ [](gameArg_t *a) -> intptr_t {
        // The module's text is never used as a format.
        return Gi_SendOutOfBandPrint(Arg_Int(a, 0), Arg_Ptr<const netadr_t>(a, 1), "%s", Arg_Ptr<const char>(a, 2));
    },
    /* 14 */ [](gameArg_t *) -> intptr_t { return Cmd_Argc(); },
    /* 15 */ [](gameArg_t *a) -> intptr_t { return Ptr(Cmd_Argv(Arg_Int(a, 0))); },
    /* 16 */ [](gameArg_t *a) -> intptr_t { Cmd_Add(Arg_Ptr<const char>(a, 0)); return 0; },
    /* 17 */ [](gameArg_t *) -> intptr_t { Cmd_Flush(); return 0; },
    /* 18 */ [](gameArg_t *a) -> intptr_t {
        Cmd_CreateCVar(Arg_Ptr<cmdVar_t>(a, 0), Arg_Ptr<const char>(a, 1), Arg_Ptr<const char>(a, 2),
                       static_cast<uint32_t>(Arg_Int(a, 3)));
        return 0;
    },
    /* 19 */ [](gameArg_t *a) -> intptr_t {
        Cmd_CreateCVarEx(Arg_Ptr<cmdVar_t>(a, 0), Arg_Ptr<const char>(a, 1), Arg_Ptr<const char>(a, 2),
                         static_cast<uint32_t>(Arg_Int(a, 3)), Arg_Ptr<void()>(a, 4));
        return 0;
    },
    /* 20 */ [](gameArg_t *a) -> intptr_t {
        Cmd_CreateFunction(Arg_Ptr<const char>(a, 0), Arg_Ptr<void()>(a, 1), static_cast<uint32_t>(Arg_Int(a, 2)));
        return 0;
    },
    /* 21 */ [](gameArg_t *a) -> intptr_t { Cmd_SetCVar(Arg_Ptr<cmdVar_t>(a, 0), Arg_Ptr<const char>(a, 1), 1); return 0; },
    /* 22 */ [](gameArg_t *a) -> intptr_t { return Ptr(Cmd_GetCVar(Arg_Ptr<const char>(a, 0))); },
    /* 23 */ [](gameArg_t *a) -> intptr_t { return Cmd_CompleteCmd(Arg_Ptr<char>(a, 0)); },
    /* 24 */ [](gameArg_t *a) -> intptr_t { return Ptr(Com_malloc(static_cast<uint32_t>(Arg_Int(a, 0)))); },
    /* 25 */ [](gameArg_t *a) -> intptr_t { Com_free(Arg_Ptr<void>(a, 0)); return 0; },
    /* 26 */ [](gameArg_t *a) -> intptr_t { return FS_ReadFile(Arg_Ptr<const char>(a, 0), Arg_Ptr<void *>(a, 1)); },
    /* 27 */ [](gameArg_t *a) -> intptr_t { return FS_ReadFile25K(Arg_Ptr<const char>(a, 0), Arg_Ptr<void *>(a, 1)); },
    /* 28 */ [](gameArg_t *a) -> intptr_t {
        return FS_WriteFile(Arg_Ptr<const char>(a, 0), Arg_Int(a, 1), Arg_Ptr<const void>(a, 2));
    },
    /* 29 */ [](gameArg_t *a) -> intptr_t { FS_FreeFile(Arg_Ptr<void>(a, 0)); return 0; },
    /* 30 */ [](gameArg_t *a) -> intptr_t { return Ptr(FS_fopen(Arg_Ptr<const char>(a, 0), Arg_Ptr<const char>(a, 1))); },
    /* 31 */ [](gameArg_t *a) -> intptr_t { FS_fclose(Arg_Ptr<FILE>(a, 0)); return 0; },
    /* 32 */ [](gameArg_t *a) -> intptr_t { return FS_Read(Arg_Ptr<void>(a, 0), Arg_Int(a, 1), Arg_Ptr<FILE>(a, 2)); },
    /* 33 */ [](gameArg_t *a) -> intptr_t { return FS_Write(Arg_Ptr<const void>(a, 0), Arg_Int(a, 1), Arg_Ptr<FILE>(a, 2)); },
    /* 34 */ [](gameArg_t *a) -> intptr_t { return FS_WriteString(Arg_Ptr<const char>(a, 0), Arg_Ptr<FILE>(a, 1)); },
    /* 35 */ [](gameArg_t *) -> intptr_t { return 0; },
    /* 36 */ [](gameArg_t *a) -> intptr_t {
        return FS_FindFiles(Arg_Ptr<char>(a, 0), Arg_Ptr<const char>(a, 1), Arg_Int(a, 2), Arg_Int(a, 3));
    },
    /* 37 */ [](gameArg_t *a) -> intptr_t { return Base_GetFileMD5(Arg_Ptr<uint8_t>(a, 0), Arg_Ptr<const char>(a, 1)); },
    /* 38 */ [](gameArg_t *a) -> intptr_t {
        WO_Trace(Arg_Ptr<trace_t>(a, 0), Arg_Ptr<const obb_t>(a, 1), Arg_Ptr<const obb_t>(a, 2));
        return 0;
    },
    /* 39 */ [](gameArg_t *a) -> intptr_t {
        CL_ClipDecal(Arg_Ptr<int32_t>(a, 0), Arg_Ptr<int32_t>(a, 1), Arg_Ptr<void>(a, 2), Arg_Ptr<void>(a, 3),
                     Arg_Ptr<const float>(a, 4), Arg_Ptr<const float>(a, 5), Arg_Ptr<const float>(a, 6),
                     Arg_Int(a, 7), Arg_Int(a, 8));
        return 0;
    },
    /* 40 */ [](gameArg_t *a) -> intptr_t { WO_UploadWorldMaterials(Arg_Ptr<const void>(a, 0)); return 0; },
    /* 41 */ [](gameArg_t *a) -> intptr_t {
        WO_SetWorldAltitude(Arg_Float(a, 0), Arg_Float(a, 1), Arg_Ptr<const float>(a, 2), Arg_Byte(a, 3));
        return 0;
    },
    /* 42 */ [](gameArg_t *) -> intptr_t { SV_UndoSnapshot(); return 0; },
    /* 43 */ [](gameArg_t *a) -> intptr_t {
        SV_SetupSoup(Arg_Ptr<const void>(a, 0), Arg_Byte(a, 1), Arg_Ptr<const float>(a, 2),
                     Arg_Ptr<const float>(a, 3), Arg_Float(a, 4));
        return 0;
    },
    /* 44 */ [](gameArg_t *) -> intptr_t { return SV_CheckSoupConnect(); },
    /* 45 */ [](gameArg_t *a) -> intptr_t { SV_SubSoup(Arg_Int(a, 0), Arg_Float(a, 1)); return 0; },
    /* 46 */ [](gameArg_t *a) -> intptr_t { SV_AddSoup(Arg_Int(a, 0), Arg_Int(a, 1)); return 0; },
    /* 47 */ [](gameArg_t *a) -> intptr_t { SV_PaintSoup(Arg_Int(a, 0), Arg_Int(a, 1)); return 0; },
    /* 48 */ [](gameArg_t *a) -> intptr_t { SV_BlurSoup(Arg_Int(a, 0), Arg_Int(a, 1), Arg_Int(a, 2)); return 0; },
    /* 49 */ [](gameArg_t *a) -> intptr_t {
        SV_DamageMatter(Arg_Ptr<const float>(a, 0), Arg_Float(a, 1), Arg_Int(a, 2), Arg_Int(a, 3));
        return 0;
    },
    /* 50 */ [](gameArg_t *a) -> intptr_t { SV_UploadWorldInfoString(Arg_Ptr<const char>(a, 0)); return 0; },
    /* 51 */ [](gameArg_t *a) -> intptr_t {
        return Ptr(CL_GetViewPVS(Arg_Ptr<const float>(a, 0), Arg_Ptr<const float>(a, 1), Arg_Float(a, 2),
                                 Arg_Float(a, 3)));
    },
    /* 52 */ [](gameArg_t *a) -> intptr_t {
        return WO_CheckPointPVS(Arg_Ptr<const void>(a, 0), Arg_Ptr<const float>(a, 1), Arg_Float(a, 2));
    },
    /* 53 */ [](gameArg_t *a) -> intptr_t {
        return WO_CheckBoundsPVS(Arg_Ptr<const void>(a, 0), Arg_Ptr<const float>(a, 1), Arg_Ptr<const float>(a, 2),
                                 Arg_Ptr<const float>(a, 3), Arg_Ptr<const float>(a, 4));
    },
    /* 54 */ [](gameArg_t *a) -> intptr_t { return CL_RegisterFont(Arg_Ptr<const char>(a, 0)); },
    /* 55 */ [](gameArg_t *a) -> intptr_t { return Gi_RegisterTexture(Arg_Ptr<const char>(a, 0)); },
    /* 56 */ [](gameArg_t *a) -> intptr_t { return Gi_RegisterTextureNoMip(Arg_Ptr<const char>(a, 0)); },
    /* 57 */ [](gameArg_t *a) -> intptr_t { return Gi_RegisterTextureCube(Arg_Ptr<const char>(a, 0)); },
    /* 58 */ [](gameArg_t *a) -> intptr_t { return RE_RegisterMaterial(Arg_Ptr<const char>(a, 0)); },
    /* 59 */ [](gameArg_t *a) -> intptr_t { RE_ReloadMaterial(Arg_Int(a, 0)); return 0; },
    /* 60 */ [](gameArg_t *a) -> intptr_t { return SND_RegisterSound(Arg_Ptr<const char>(a, 0)); },
    /* 61 */ [](gameArg_t *a) -> intptr_t { return RE_RegisterLOD(Arg_Ptr<const char>(a, 0), Arg_Int(a, 1)); },
    /* 62 */ [](gameArg_t *a) -> intptr_t {
        RE_GetLODInfo(Arg_Int(a, 0), Arg_Ptr<void>(a, 1), Arg_Ptr<void>(a, 2));
        return 0;
    },
    /* 63 */ [](gameArg_t *a) -> intptr_t { CL_UnregisterFont(Arg_Int(a, 0)); return 0; },
    /* 64 */ [](gameArg_t *a) -> intptr_t { RE_UnregisterTexture(Arg_Int(a, 0)); return 0; },
    /* 65 */ [](gameArg_t *a) -> intptr_t { RE_UnregisterMaterial(Arg_Int(a, 0)); return 0; },
    /* 66 */ [](gameArg_t *a) -> intptr_t { RE_UnregisterLOD(Arg_Int(a, 0)); return 0; },
    /* 67 */ [](gameArg_t *a) -> intptr_t { SND_UnregisterSound(Arg_Int(a, 0)); return 0; },
    /* 68 */ [](gameArg_t *a) -> intptr_t {
        SND_SetListener(Arg_Ptr<const float>(a, 0), Arg_Ptr<const float>(a, 1));
        return 0;
    },
    /* 69 */ [](gameArg_t *a) -> intptr_t { SND_StopPlayChannel(Arg_Int(a, 0)); return 0; },
    /* 70 */ [](gameArg_t *a) -> intptr_t { SND_BeginMusic(Arg_Ptr<const char>(a, 0), Arg_Int(a, 1)); return 0; },
    /* 71 */ [](gameArg_t *) -> intptr_t { SND_EndMusic(); return 0; },
    /* 72 */ [](gameArg_t *a) -> intptr_t { return SND_PlayLocalSound(Arg_Int(a, 0)); },
    /* 73 */ [](gameArg_t *a) -> intptr_t { return SND_PlayPointSound(Arg_Int(a, 0), Arg_Ptr<const float>(a, 1)); },
    /* 74 */ [](gameArg_t *) -> intptr_t { SND_ClearDMA(); return 0; },
    /* 75 */ [](gameArg_t *a) -> intptr_t { RE_GetRendererConfig(Arg_Ptr<rendererConfig_t>(a, 0)); return 0; },
    /* 76 */ [](gameArg_t *) -> intptr_t { RE_BeginFrame(); return 0; },
    /* 77 */ [](gameArg_t *a) -> intptr_t { RE_ClearScene(Arg_Int(a, 0)); return 0; },
    /* 78 */ [](gameArg_t *a) -> intptr_t { RE_AddSurfaces(Arg_Ptr<surface_t>(a, 0), Arg_Byte(a, 1)); return 0; },
    /* 79 */ [](gameArg_t *a) -> intptr_t { RE_AddSurfaceEntity(Arg_Ptr<surfaceEntity_t>(a, 0)); return 0; },
    /* 80 */ [](gameArg_t *a) -> intptr_t { RE_AddLight(Arg_Ptr<light_t>(a, 0)); return 0; },
    /* 81 */ [](gameArg_t *a) -> intptr_t { RE_RenderScene(Arg_Ptr<refdef_t>(a, 0), Arg_Ptr<void>(a, 1)); return 0; },
    /* 82 */ [](gameArg_t *a) -> intptr_t { RE_EndFrame(Arg_Ptr<void>(a, 0)); return 0; },
    /* 83 */ [](gameArg_t *a) -> intptr_t { return Ptr(RE_AllocSurfaces(Arg_Int(a, 0), Arg_Byte(a, 1))); },
    /* 84 */ [](gameArg_t *a) -> intptr_t { return AllocBones(Arg_Int(a, 0)); },
    /* 85 */ [](gameArg_t *a) -> intptr_t { RE_SetupSurfaceEntity(Arg_Ptr<surfaceEntity_t>(a, 0)); return 0; },
    /* 86 */ [](gameArg_t *a) -> intptr_t {
        return Ptr(RE_AllocLight(Arg_Int(a, 0), Arg_Ptr<void>(a, 1), Arg_Int(a, 2)));
    },
    /* 87 */ [](gameArg_t *a) -> intptr_t { return RE_GetRenderDestWidth(Arg_Int(a, 0)); },
    /* 88 */ [](gameArg_t *a) -> intptr_t { return RE_GetRenderDestHeight(Arg_Int(a, 0)); },
    /* 89 */ [](gameArg_t *a) -> intptr_t { return CL_GetFontCharWidth(Arg_Int(a, 0)); },
    /* 90 */ [](gameArg_t *a) -> intptr_t { return CL_GetFontCharHeight(Arg_Int(a, 0)); },
    /* 91 */ [](gameArg_t *a) -> intptr_t {
        CL_DrawString(Arg_Int(a, 0), Arg_Float(a, 1), Arg_Float(a, 2), Arg_Float(a, 3), Arg_Ptr<const char>(a, 4),
                      Arg_Int(a, 5), Arg_Ptr<const float>(a, 6), Arg_Int(a, 7), Arg_Int(a, 8));
        return 0;
    },
    /* 92 */ [](gameArg_t *a) -> intptr_t {
        CL_DrawTrisPic(Arg_Int(a, 0), Arg_Ptr<const void>(a, 1), Arg_Ptr<const void>(a, 2), Arg_Int(a, 3),
                       Arg_Int(a, 4), Arg_Int(a, 5), Arg_Byte(a, 6));
        return 0;
    },
    /* 93 */ [](gameArg_t *a) -> intptr_t { return static_cast<uint8_t>(Sys_LookupDNS(Arg_Ptr<netadr_t>(a, 0), Arg_Ptr<const char>(a, 1))); },
    /* 94 */ [](gameArg_t *a) -> intptr_t { CL_UploadECL(Arg_Ptr<void>(a, 0)); return 0; },
    /* 95 */ [](gameArg_t *a) -> intptr_t {
        CL_ConnectToServer(Arg_Ptr<const char>(a, 0), Arg_Ptr<const char>(a, 1), Arg_Ptr<const char>(a, 2));
        return 0;
    },
    /* 96 */ [](gameArg_t *a) -> intptr_t { CL_DisconnectFromServer(Arg_Ptr<const char>(a, 0)); return 0; },
    /* 97 */ [](gameArg_t *a) -> intptr_t {
        CL_GetSnapshot(Arg_Ptr<void>(a, 0), Arg_Ptr<void>(a, 1), Arg_Ptr<void>(a, 2));
        return 0;
    },
    /* 98 */ [](gameArg_t *a) -> intptr_t { CL_SendClientCommand(Arg_Ptr<cc_t>(a, 0)); return 0; },
    /* 99 */ [](gameArg_t *a) -> intptr_t { CL_GetNextServerCommand(Arg_Ptr<netadr_t>(a, 0)); return 0; },
    /* 100 */ [](gameArg_t *) -> intptr_t { return CL_ServerCommandArgc(); },
    /* 101 */ [](gameArg_t *a) -> intptr_t { return Ptr(CL_ServerCommandArgv(Arg_Int(a, 0))); },
    /* 102 */ [](gameArg_t *) -> intptr_t { IN_SetCursorMode(); return 0; },
    /* 103 */ [](gameArg_t *) -> intptr_t { IN_SetAimMode(); return 0; },
    /* 104 */ [](gameArg_t *) -> intptr_t { IN_CenterCursor(); return 0; },
    /* 105 */ [](gameArg_t *a) -> intptr_t { return IN_GetBinding(Arg_Ptr<const char>(a, 0)); },
    /* 106 */ [](gameArg_t *a) -> intptr_t { IN_ClearKeyBinding(Arg_Int(a, 0)); return 0; },
    /* 107 */ [](gameArg_t *) -> intptr_t { CL_SendKeepAlive(); return 0; },
    /* 108 */ [](gameArg_t *a) -> intptr_t { CL_GetStats(Arg_Ptr<void>(a, 0)); return 0; },
    /* 109 */ [](gameArg_t *a) -> intptr_t { CL_UpdateInfoString(Arg_Ptr<const char>(a, 0)); return 0; },
    /* 110 */ [](gameArg_t *) -> intptr_t { return Ptr(CL_GetWorldInfoString()); },
    /* 111 */ [](gameArg_t *a) -> intptr_t { return CIN_BeginCinematic(Arg_Ptr<const char>(a, 0)); },
    /* 112 */ [](gameArg_t *) -> intptr_t { CIN_EndCinematic(); return 0; },
    /* 113 */ [](gameArg_t *a) -> intptr_t {
        return CIN_DrawCinematic(Arg_Int(a, 0), Arg_Int(a, 1), Arg_Int(a, 2), Arg_Int(a, 3), Arg_Int(a, 4),
                                 Arg_Ptr<void>(a, 5), Arg_Int(a, 6));
    },
    /* 114 */ [](gameArg_t *a) -> intptr_t { SV_StartServer(Arg_Ptr<const char>(a, 0)); return 0; },
    /* 115 */ [](gameArg_t *a) -> intptr_t { return SV_LoadVO2(Arg_Ptr<const char>(a, 0), Arg_Ptr<const uint8_t>(a, 1)); },
    /* 116 */ [](gameArg_t *a) -> intptr_t { SV_ShutdownServer(Arg_Byte(a, 0)); return 0; },
    /* 117 */ [](gameArg_t *a) -> intptr_t { SV_UploadClientStateReference(Arg_Ptr<void>(a, 0), Arg_Int(a, 1)); return 0; },
    /* 118 */ [](gameArg_t *a) -> intptr_t { SV_UploadEntityStateReference(Arg_Ptr<void>(a, 0), Arg_Int(a, 1)); return 0; },
    /* 119 */ [](gameArg_t *a) -> intptr_t {
        SV_UploadSnapshotGameDataReference(Arg_Ptr<void>(a, 0), Arg_Int(a, 1));
        return 0;
    },
    /* 120 */ [](gameArg_t *a) -> intptr_t { return Ptr(SV_GetClientCommand(Arg_Int(a, 0))); },
    /* 121 */ [](gameArg_t *a) -> intptr_t { return Ptr(SV_GetClientInfo(Arg_Int(a, 0))); },
    /* 122 */ [](gameArg_t *a) -> intptr_t {
        SV_AddClient(Arg_Int(a, 0), Arg_Ptr<const netadr_t>(a, 1), Arg_Int(a, 2), Arg_Int(a, 3));
        return 0;
    },
    /* 123 */ [](gameArg_t *a) -> intptr_t { SV_DeleteClient(Arg_Int(a, 0)); return 0; },
    /* 124 */ [](gameArg_t *a) -> intptr_t { return SV_GetClientPing(Arg_Int(a, 0)); },
    /* 125 */ [](gameArg_t *) -> intptr_t { return 0; },  // reserved: never to be given a meaning
    /* 126 */ [](gameArg_t *a) -> intptr_t { SV_SendServerCommand(Arg_Int(a, 0), Arg_Ptr<const char>(a, 1)); return 0; },
    /* 127 */ [](gameArg_t *a) -> intptr_t { SV_LinkEntity(Arg_Int(a, 0)); return 0; },
    /* 128 */ [](gameArg_t *a) -> intptr_t { SV_UnlinkEntity(Arg_Int(a, 0)); return 0; },
};
static_assert(std::size(trapTable) == GTRAP_COUNT, "one handler per trap number");

intptr_t Gi_Trap(int number, gameArg_t *args) {
    if (static_cast<unsigned>(number) >= static_cast<unsigned>(GTRAP_COUNT)) {
        Com_Error(ER_FATAL, "Trap: Bad trap %d", number);
        return 0;
    }
    return trapTable[number](args);
}
