// Engine services whose subsystems are not built into this engine yet.
//
// Each reports the call as an error naming the service and hands back nothing
// (zero or null); none pretends to have done its work.  A subsystem that lands
// brings its own definitions, and the ones here go.
#include <dlfcn.h>

#include <cstring>

#include "base/module_services.h"
#include "common/common.h"

static void Pending(const char *service) { Com_Error(ER_ERROR, "%s: not built into this engine", service); }

// ---- system layer: loading the game module ----

// Longest file name of a module library.
constexpr size_t MAX_MODULE_PATH = 256;

void *Sys_LoadGameModule(void **handle, const char *name) {
    if (handle) *handle = nullptr;
    char file[MAX_MODULE_PATH];
    char path[MAX_MODULE_PATH + 2];
    const int n = snprintf(file, sizeof(file), "%s_linux.so", name);
    if (n < 0 || size_t(n) >= sizeof(file)) {
        Com_Error(ER_ERROR, "Sys_LoadGameModule: module name too long");
        return nullptr;
    }
    snprintf(path, sizeof(path), "./%s", file);
    Com_Printf("Trying dlopen( \"%s\", RTLD_LOCAL | RTLD_LAZY )", path);
    void *library = dlopen(path, RTLD_LOCAL | RTLD_LAZY);
    if (!library) {
        Com_Error(ER_ERROR, "Sys_LoadGameModule: Could not dlopen from \"%s\" (%s)", file, dlerror());
        return nullptr;
    }
    if (handle) *handle = library;
    return library;
}

getGameAPI_t Sys_GetGameAPI(void *handle) {
    return reinterpret_cast<getGameAPI_t>(dlsym(handle, GAME_API_SYMBOL));
}

void Sys_UnloadGameModule(void *handle) {
    if (handle) dlclose(handle);
}

// ---- clock and random numbers ----
int32_t Base_Time() {
    Pending("Base_Time");
    return 0;
}
int32_t Com_rand() {
    Pending("Com_rand");
    return 0;
}
float Com_crand() {
    Pending("Com_crand");
    return 0;
}
float Com_frand() {
    Pending("Com_frand");
    return 0;
}
void VectorAddNoise(float *, float) { Pending("VectorAddNoise"); }
uint8_t *Com_GetMD5(uint8_t *, const void *, int32_t) {
    Pending("Com_GetMD5");
    return nullptr;
}

// ---- system layer ----
int32_t Sys_Clipboard_GetStringLength() {
    Pending("Sys_Clipboard_GetStringLength");
    return 0;
}
uint8_t Sys_Clipboard_GetString(int32_t, char *) {
    Pending("Sys_Clipboard_GetString");
    return 0;
}
void Sys_Clipboard_SetString(const char *) { Pending("Sys_Clipboard_SetString"); }
void Sys_Sleep(int32_t) { Pending("Sys_Sleep"); }
uint8_t Sys_LookupDNS(netadr_t *, const char *) {
    Pending("Sys_LookupDNS");
    return 0;
}

// ---- transport ----
int32_t NET_SendOutOfBandPrintf(int32_t, const netadr_t *, const char *, ...) {
    Pending("NET_SendOutOfBandPrintf");
    return 0;
}

// ---- console ----
#if !__has_include("base/cmd.h")
int32_t Cmd_Argc() {
    Pending("Cmd_Argc");
    return 0;
}
const char *Cmd_Argv(int32_t) {
    Pending("Cmd_Argv");
    return nullptr;
}
void Cmd_Add(const char *) { Pending("Cmd_Add"); }
void Cmd_Flush() { Pending("Cmd_Flush"); }
void Cmd_CreateCVar(cmdVar_t *, const char *, const char *, uint32_t) { Pending("Cmd_CreateCVar"); }
void Cmd_CreateCVarEx(cmdVar_t *, const char *, const char *, uint32_t, void (*)()) {
    Pending("Cmd_CreateCVarEx");
}
void Cmd_CreateFunction(const char *, void (*)(), uint32_t) { Pending("Cmd_CreateFunction"); }
void Cmd_SetCVar(cmdVar_t *, const char *, uint8_t) { Pending("Cmd_SetCVar"); }
cmdVar_t *Cmd_GetCVar(const char *) {
    Pending("Cmd_GetCVar");
    return nullptr;
}
uint8_t Cmd_CompleteCmd(char *) {
    Pending("Cmd_CompleteCmd");
    return 0;
}
#endif

// ---- files ----
#if !__has_include("base/files.h")
int32_t FS_ReadFile(const char *, void **) {
    Pending("FS_ReadFile");
    return -1;  // the failure of every file operation
}
int32_t FS_ReadFile25K(const char *, void **) {
    Pending("FS_ReadFile25K");
    return -1;  // the failure of every file operation
}
int32_t FS_WriteFile(const char *, int32_t, const void *) {
    Pending("FS_WriteFile");
    return -1;  // the failure of every file operation
}
void FS_FreeFile(void *) { Pending("FS_FreeFile"); }
FILE *FS_fopen(const char *, const char *) {
    Pending("FS_fopen");
    return nullptr;
}
void FS_fclose(FILE *) { Pending("FS_fclose"); }
int32_t FS_Read(void *, int32_t, FILE *) {
    Pending("FS_Read");
    return 0;
}
int32_t FS_Write(const void *, int32_t, FILE *) {
    Pending("FS_Write");
    return 0;
}
int32_t FS_WriteString(const char *, FILE *) {
    Pending("FS_WriteString");
    return 0;
}
int32_t FS_FindFiles(void *, const char *, int32_t, int32_t) {
    Pending("FS_FindFiles");
    return 0;
}
#endif

// ---- voxel world ----
void WO_Trace(trace_t *, const obb_t *, const obb_t *) { Pending("WO_Trace"); }
void WO_UploadWorldMaterials(const void *) { Pending("WO_UploadWorldMaterials"); }
void WO_SetWorldAltitude(float, float, const float *, uint8_t) { Pending("WO_SetWorldAltitude"); }
uint8_t WO_CheckPointPVS(const void *, const float *, float) {
    Pending("WO_CheckPointPVS");
    return 0;
}
uint8_t WO_CheckBoundsPVS(const void *, const float *, const float *, const float *, const float *) {
    Pending("WO_CheckBoundsPVS");
    return 0;
}

// ---- server ----
void SV_UndoSnapshot() { Pending("SV_UndoSnapshot"); }
void SV_SetupSoup(const void *, uint8_t, const float *, const float *, float) { Pending("SV_SetupSoup"); }
uint8_t SV_CheckSoupConnect() {
    Pending("SV_CheckSoupConnect");
    return 0;
}
void SV_SubSoup(int32_t, float) { Pending("SV_SubSoup"); }
void SV_AddSoup(int32_t, int32_t) { Pending("SV_AddSoup"); }
void SV_PaintSoup(int32_t, int32_t) { Pending("SV_PaintSoup"); }
void SV_BlurSoup(int32_t, int32_t, int32_t) { Pending("SV_BlurSoup"); }
void SV_DamageMatter(const float *, float, int32_t, int32_t) { Pending("SV_DamageMatter"); }
void SV_UploadWorldInfoString(const char *) { Pending("SV_UploadWorldInfoString"); }
void SV_StartServer(const char *) { Pending("SV_StartServer"); }
uint8_t SV_LoadVO2(const char *, const uint8_t *) {
    Pending("SV_LoadVO2");
    return 0;
}
void SV_ShutdownServer(uint8_t) { Pending("SV_ShutdownServer"); }
void SV_UploadClientStateReference(void *, int32_t) { Pending("SV_UploadClientStateReference"); }
void SV_UploadEntityStateReference(void *, int32_t) { Pending("SV_UploadEntityStateReference"); }
void SV_UploadSnapshotGameDataReference(void *, int32_t) { Pending("SV_UploadSnapshotGameDataReference"); }
cc_t *SV_GetClientCommand(int32_t) {
    Pending("SV_GetClientCommand");
    return nullptr;
}
const char *SV_GetClientInfo(int32_t) {
    Pending("SV_GetClientInfo");
    return nullptr;
}
void SV_AddClient(int32_t, const netadr_t *, int32_t, int32_t) { Pending("SV_AddClient"); }
void SV_DeleteClient(int32_t) { Pending("SV_DeleteClient"); }
int32_t SV_GetClientPing(int32_t) {
    Pending("SV_GetClientPing");
    return 0;
}
void SV_SendServerCommand(int32_t, const char *) { Pending("SV_SendServerCommand"); }
void SV_LinkEntity(int32_t) { Pending("SV_LinkEntity"); }
void SV_UnlinkEntity(int32_t) { Pending("SV_UnlinkEntity"); }

// ---- client ----
void CL_ClipDecal(int32_t *, int32_t *, void *, void *, const float *, const float *, const float *, int32_t,
                  int32_t) {
    Pending("CL_ClipDecal");
}
void *CL_GetViewPVS(const float *, const float *, float, float) {
    Pending("CL_GetViewPVS");
    return nullptr;
}
int32_t CL_RegisterFont(const char *) {
    Pending("CL_RegisterFont");
    return 0;
}
void CL_UnregisterFont(int32_t) { Pending("CL_UnregisterFont"); }
int32_t CL_GetFontCharWidth(int32_t) {
    Pending("CL_GetFontCharWidth");
    return 0;
}
int32_t CL_GetFontCharHeight(int32_t) {
    Pending("CL_GetFontCharHeight");
    return 0;
}
void CL_DrawString(int32_t, float, float, float, const char *, int32_t, const float *, int32_t, int32_t) {
    Pending("CL_DrawString");
}
void CL_DrawTrisPic(int32_t, const void *, const void *, int32_t, int32_t, int32_t, uint8_t) {
    Pending("CL_DrawTrisPic");
}
void CL_UploadECL(void *) { Pending("CL_UploadECL"); }
void CL_ConnectToServer(const char *, const char *, const char *) { Pending("CL_ConnectToServer"); }
void CL_DisconnectFromServer(const char *) { Pending("CL_DisconnectFromServer"); }
void CL_GetSnapshot(void *, void *, void *) { Pending("CL_GetSnapshot"); }
void CL_SendClientCommand(cc_t *) { Pending("CL_SendClientCommand"); }
void CL_GetNextServerCommand(char *) { Pending("CL_GetNextServerCommand"); }
int32_t CL_ServerCommandArgc() {
    Pending("CL_ServerCommandArgc");
    return 0;
}
const char *CL_ServerCommandArgv(int32_t) {
    Pending("CL_ServerCommandArgv");
    return nullptr;
}
void CL_SendKeepAlive() { Pending("CL_SendKeepAlive"); }
void CL_GetStats(void *) { Pending("CL_GetStats"); }
void CL_UpdateInfoString(const char *) { Pending("CL_UpdateInfoString"); }
const char *CL_GetWorldInfoString() {
    Pending("CL_GetWorldInfoString");
    return nullptr;
}
uint8_t CIN_BeginCinematic(const char *) {
    Pending("CIN_BeginCinematic");
    return 0;
}
void CIN_EndCinematic() { Pending("CIN_EndCinematic"); }
uint8_t CIN_DrawCinematic(int32_t, int32_t, int32_t, int32_t, int32_t, void *, int32_t) {
    Pending("CIN_DrawCinematic");
    return 0;
}

// ---- input ----
void IN_SetCursorMode() { Pending("IN_SetCursorMode"); }
void IN_SetAimMode() { Pending("IN_SetAimMode"); }
void IN_CenterCursor() { Pending("IN_CenterCursor"); }
int32_t IN_GetBinding(const char *) {
    Pending("IN_GetBinding");
    return 0;
}
void IN_ClearKeyBinding(int32_t) { Pending("IN_ClearKeyBinding"); }

// ---- renderer and sound ----
int32_t RE_RegisterTexture(const char *, int32_t) {
    Pending("RE_RegisterTexture");
    return 0;
}
int32_t RE_RegisterMaterial(const char *) {
    Pending("RE_RegisterMaterial");
    return 0;
}
void RE_ReloadMaterial(int32_t) { Pending("RE_ReloadMaterial"); }
int32_t RE_RegisterLOD(const char *, int32_t) {
    Pending("RE_RegisterLOD");
    return 0;
}
void RE_GetLODInfo(int32_t, void *, void *) { Pending("RE_GetLODInfo"); }
void RE_UnregisterTexture(int32_t) { Pending("RE_UnregisterTexture"); }
void RE_UnregisterMaterial(int32_t) { Pending("RE_UnregisterMaterial"); }
void RE_UnregisterLOD(int32_t) { Pending("RE_UnregisterLOD"); }
void RE_GetRendererConfig(void *) { Pending("RE_GetRendererConfig"); }
void RE_BeginFrame() { Pending("RE_BeginFrame"); }
void RE_ClearScene(int32_t) { Pending("RE_ClearScene"); }
void RE_AddSurfaces(void *, uint8_t) { Pending("RE_AddSurfaces"); }
void RE_AddSurfaceEntity(void *) { Pending("RE_AddSurfaceEntity"); }
void RE_AddLight(void *) { Pending("RE_AddLight"); }
void RE_RenderScene(void *, void *) { Pending("RE_RenderScene"); }
void RE_EndFrame(void *) { Pending("RE_EndFrame"); }
void *RE_AllocSurfaces(int32_t, uint8_t) {
    Pending("RE_AllocSurfaces");
    return nullptr;
}
void *RE_Alloc(int32_t) {
    Pending("RE_Alloc");
    return nullptr;
}
void RE_SetupSurfaceEntity(void *) { Pending("RE_SetupSurfaceEntity"); }
void *RE_AllocLight(int32_t, void *, int32_t) {
    Pending("RE_AllocLight");
    return nullptr;
}
int32_t RE_GetRenderDestWidth(int32_t) {
    Pending("RE_GetRenderDestWidth");
    return 0;
}
int32_t RE_GetRenderDestHeight(int32_t) {
    Pending("RE_GetRenderDestHeight");
    return 0;
}
int32_t SND_RegisterSound(const char *) {
    Pending("SND_RegisterSound");
    return 0;
}
void SND_UnregisterSound(int32_t) { Pending("SND_UnregisterSound"); }
void SND_SetListener(const float *, const float *) { Pending("SND_SetListener"); }
void SND_StopPlayChannel(int32_t) { Pending("SND_StopPlayChannel"); }
void SND_BeginMusic(const char *, int32_t) { Pending("SND_BeginMusic"); }
void SND_EndMusic() { Pending("SND_EndMusic"); }
int32_t SND_PlayLocalSound(int32_t) {
    Pending("SND_PlayLocalSound");
    return 0;
}
int32_t SND_PlayPointSound(int32_t, const float *) {
    Pending("SND_PlayPointSound");
    return 0;
}
void SND_ClearDMA() { Pending("SND_ClearDMA"); }
