// The engine services that the trap dispatcher serves to the game module, as
// the dispatcher calls them.  Each belongs to its subsystem's header; a service
// whose subsystem is not built into this engine yet is defined in
// module_pending.cpp, where it reports the call with an error and returns no data.
#pragma once

#include <cstdint>
#include <cstdio>

#include "game/g_public.h"

struct cmdVar_t;
struct netadr_t;
struct obb_t;

// ---- clock and random numbers ----
int32_t Base_Time();  // clock in milliseconds
int32_t Com_rand();
float Com_crand();  // -1..1
float Com_frand();  // 0..1
void VectorAddNoise(float *v, float amount);
uint8_t *Com_GetMD5(uint8_t *out, const void *data, int32_t length);

// ---- system layer ----
int32_t Sys_Clipboard_GetStringLength();
uint8_t Sys_Clipboard_GetString(int32_t size, char *buffer);
void Sys_Clipboard_SetString(const char *text);
void Sys_Sleep(int32_t msec);
uint8_t Sys_LookupDNS(netadr_t *out, const char *text);
// Opens "./<name>_linux.so"; stores the handle (or null) in *handle and returns it.
void *Sys_LoadGameModule(void **handle, const char *name);
// The module's GetGameAPI, or null.
getGameAPI_t Sys_GetGameAPI(void *handle);
// Closes the library; null does nothing.
void Sys_UnloadGameModule(void *handle);

// ---- transport ----
int32_t NET_SendOutOfBandPrintf(int32_t side, const netadr_t *to, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// ---- console ----
#if __has_include("base/cmd.h")
#include "base/cmd.h"
#else
int32_t Cmd_Argc();
const char *Cmd_Argv(int32_t n);
void Cmd_Add(const char *text);
void Cmd_Flush();
void Cmd_CreateCVar(cmdVar_t *var, const char *name, const char *defaultText, uint32_t flags);
void Cmd_CreateCVarEx(cmdVar_t *var, const char *name, const char *defaultText, uint32_t flags,
                      void (*callback)());
void Cmd_CreateFunction(const char *name, void (*handler)(), uint32_t flags);
void Cmd_SetCVar(cmdVar_t *var, const char *text, uint8_t force);
cmdVar_t *Cmd_GetCVar(const char *name);
uint8_t Cmd_CompleteCmd(char *line);
#endif

// ---- files ----
#if __has_include("base/files.h")
#include "base/files.h"
#else
int32_t FS_ReadFile(const char *path, void **buffer);
int32_t FS_ReadFile25K(const char *path, void **buffer);
int32_t FS_WriteFile(const char *path, int32_t size, const void *data);
void FS_FreeFile(void *buffer);
FILE *FS_fopen(const char *path, const char *mode);
void FS_fclose(FILE *stream);
int32_t FS_Read(void *dest, int32_t count, FILE *stream);
int32_t FS_Write(const void *src, int32_t count, FILE *stream);
int32_t FS_WriteString(const char *text, FILE *stream);
int32_t FS_FindFiles(void *out, const char *pattern, int32_t stride, int32_t max);
#endif

// ---- voxel world ----
void WO_Trace(trace_t *out, const obb_t *start, const obb_t *end);
void WO_UploadWorldMaterials(const void *matters);
void WO_SetWorldAltitude(float core, float space, const float *spaceBox, uint8_t linear);
uint8_t WO_CheckPointPVS(const void *pvs, const float *point, float radius);
uint8_t WO_CheckBoundsPVS(const void *pvs, const float *a, const float *b, const float *axes,
                          const float *origin);

// ---- server ----
void SV_UndoSnapshot();
void SV_SetupSoup(const void *soup, uint8_t convex, const float *origin, const float *axis, float scale);
uint8_t SV_CheckSoupConnect();
void SV_SubSoup(int32_t matterFilter, float strength);
void SV_AddSoup(int32_t matterFilter, int32_t matter);
void SV_PaintSoup(int32_t matterFilter, int32_t matter);
void SV_BlurSoup(int32_t matterFilter, int32_t size, int32_t mode);
void SV_DamageMatter(const float *point, float radius, int32_t amount, int32_t matterFilter);
void SV_UploadWorldInfoString(const char *text);
void SV_StartServer(const char *path);
uint8_t SV_LoadVO2(const char *path, const uint8_t *usedMatters);
void SV_ShutdownServer(uint8_t keepClients);
void SV_UploadClientStateReference(void *base, int32_t stride);
void SV_UploadEntityStateReference(void *base, int32_t stride);
void SV_UploadSnapshotGameDataReference(void *block, int32_t size);
cc_t *SV_GetClientCommand(int32_t client);
const char *SV_GetClientInfo(int32_t client);
void SV_AddClient(int32_t slot, const netadr_t *address, int32_t reserved, int32_t challenge);
void SV_DeleteClient(int32_t slot);
int32_t SV_GetClientPing(int32_t client);
void SV_SendServerCommand(int32_t client, const char *text);
void SV_LinkEntity(int32_t entity);
void SV_UnlinkEntity(int32_t entity);

// ---- client ----
void CL_ClipDecal(int32_t *vertexCount, int32_t *indexCount, void *vertexes, void *indexes,
                  const float *origin, const float *axes, const float *size, int32_t maxVertexes,
                  int32_t maxIndexes);
void *CL_GetViewPVS(const float *eye, const float *axis, float fovX, float fovY);
int32_t CL_RegisterFont(const char *name);
void CL_UnregisterFont(int32_t font);
int32_t CL_GetFontCharWidth(int32_t font);
int32_t CL_GetFontCharHeight(int32_t font);
void CL_DrawString(int32_t dest, float x, float y, float scale, const char *text, int32_t length,
                   const float *colour, int32_t font, int32_t flags);
void CL_DrawTrisPic(int32_t dest, const void *vertexes, const void *indexes, int32_t vertexCount,
                    int32_t indexCount, int32_t material, uint8_t option);
void CL_UploadECL(void *ecl);
void CL_ConnectToServer(const char *address, const char *password, const char *name);
void CL_DisconnectFromServer(const char *reason);
void CL_GetSnapshot(void *older, void *newer, void *time);
void CL_SendClientCommand(cc_t *cc);
void CL_GetNextServerCommand(char *buffer);
int32_t CL_ServerCommandArgc();
const char *CL_ServerCommandArgv(int32_t n);
void CL_SendKeepAlive();
void CL_GetStats(void *stats);
void CL_UpdateInfoString(const char *text);
const char *CL_GetWorldInfoString();
uint8_t CIN_BeginCinematic(const char *name);
void CIN_EndCinematic();
uint8_t CIN_DrawCinematic(int32_t dest, int32_t x, int32_t y, int32_t w, int32_t h, void *a, int32_t b);

// ---- input ----
void IN_SetCursorMode();
void IN_SetAimMode();
void IN_CenterCursor();
int32_t IN_GetBinding(const char *command);
void IN_ClearKeyBinding(int32_t key);

// ---- renderer and sound ----
constexpr int32_t RE_TEXTURE_MIPMAPS = 5;
constexpr int32_t RE_TEXTURE_NO_MIPMAPS = 0;
constexpr int32_t RE_TEXTURE_CUBE = 32;
constexpr int32_t RE_BONE_SIZE = 48;  // bytes of one bone record

int32_t RE_RegisterTexture(const char *name, int32_t flags);
int32_t RE_RegisterMaterial(const char *name);
void RE_ReloadMaterial(int32_t handle);
int32_t RE_RegisterLOD(const char *name, int32_t flags);
void RE_GetLODInfo(int32_t handle, void *a, void *b);
void RE_UnregisterTexture(int32_t handle);
void RE_UnregisterMaterial(int32_t handle);
void RE_UnregisterLOD(int32_t handle);
void RE_GetRendererConfig(void *config);
void RE_BeginFrame();
void RE_ClearScene(int32_t dest);
void RE_AddSurfaces(void *surfaces, uint8_t flags);
void RE_AddSurfaceEntity(void *entity);
void RE_AddLight(void *light);
void RE_RenderScene(void *refdef, void *second);
void RE_EndFrame(void *arg);
void *RE_AllocSurfaces(int32_t count, uint8_t flags);
void *RE_Alloc(int32_t bytes);
void RE_SetupSurfaceEntity(void *entity);
void *RE_AllocLight(int32_t a, void *b, int32_t c);
int32_t RE_GetRenderDestWidth(int32_t dest);
int32_t RE_GetRenderDestHeight(int32_t dest);
int32_t SND_RegisterSound(const char *name);
void SND_UnregisterSound(int32_t handle);
void SND_SetListener(const float *origin, const float *axes);
void SND_StopPlayChannel(int32_t channel);
void SND_BeginMusic(const char *name, int32_t volume);
void SND_EndMusic();
int32_t SND_PlayLocalSound(int32_t handle);
int32_t SND_PlayPointSound(int32_t handle, const float *origin);
void SND_ClearDMA();
