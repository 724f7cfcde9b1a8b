// The module's wrappers over the engine's services.
//
// Each wrapper packs its parameters into an argument array and calls the
// engine's trap dispatcher with its fixed trap number: a pointer travels as
// itself, a 32-bit scalar as the address of the wrapper's own copy, a byte as
// the address of a one-byte copy.  No wrapper checks its arguments or converts
// the engine's result; none may be called before GetGameAPI stored `gi`.
#pragma once

#include <cstdint>
#include <cstdio>

#include "game/g_public.h"

// Records owned by engine subsystems; the module passes them through by address.
struct netadr_t;
struct obb_t;

// The import record received by GetGameAPI; every wrapper calls through its trap.
extern gameImport_t gi;

void Trap_GetQGame(qgame_t *qgame);                                  // 0
int32_t Trap_GetTime();                                              // 1
int32_t Trap_rand();                                                 // 2
float Trap_crand();                                                  // 3: -1..1
float Trap_frand();                                                  // 4: 0..1
void Trap_VectorAddNoise(float *v, float amount);                    // 5
int32_t Trap_Clipboard_GetStringLength();                            // 6
uint8_t Trap_Clipboard_GetString(int32_t size, char *buffer);        // 7
void Trap_Clipboard_SetString(const char *text);                     // 8
void Trap_Print(const char *text, uint8_t developer);                // 9
int32_t Trap_Error(int32_t level, const char *text);                 // 10
void Trap_RunSomething();                                            // 11
void Trap_Sleep(int32_t msec);                                       // 12
uint8_t Trap_SendOutOfBandPrint(int32_t fromClient, const netadr_t *to, const char *text);  // 13
int32_t Trap_Argc();                                                 // 14
const char *Trap_Argv(int32_t n);                                    // 15
void Trap_Add(const char *text);                                     // 16
void Trap_Flush();                                                   // 17
void Trap_CreateCVar(cmdVar_t *var, const char *name, const char *defaultText, uint32_t flags);  // 18
void Trap_CreateCVarEx(cmdVar_t *var, const char *name, const char *defaultText, uint32_t flags,
                       cmdCallback_t callback);                      // 19
void Trap_CreateFunction(const char *name, cmdCallback_t handler, uint32_t flags);  // 20
void Trap_SetCVar(cmdVar_t *var, const char *value);                 // 21
cmdVar_t *Trap_GetCVar(const char *name);                            // 22
uint8_t Trap_CompleteCmd(char *line);                                // 23
void *Trap_Mem_Alloc(uint32_t size);                                 // 24
void Trap_Mem_Free(void *block);                                     // 25
int32_t Trap_ReadFile(const char *path, void **buffer);              // 26
int32_t Trap_ReadFile25K(const char *path, void **buffer);           // 27
int32_t Trap_WriteFile(const char *path, int32_t size, const void *data);  // 28
void Trap_FreeFile(void *buffer);                                    // 29
FILE *Trap_FOpen(const char *path, const char *mode);                // 30
void Trap_FClose(FILE *stream);                                      // 31
int32_t Trap_FRead(void *dest, int32_t count, FILE *stream);         // 32
int32_t Trap_FWrite(const void *src, int32_t count, FILE *stream);   // 33
int32_t Trap_FWriteString(const char *text, FILE *stream);           // 34
void Trap_LoadMpk();                                                 // 35
int32_t Trap_FindFiles(void *out, const char *pattern, int32_t stride, int32_t max);  // 36
uint8_t Trap_GetFileMD5(uint8_t *digest, const char *path);          // 37
void Trap_Trace(trace_t *out, const obb_t *start, const obb_t *end); // 38
void Trap_ClipDecal(int32_t *vertexCount, int32_t *indexCount, void *vertexes, void *indexes,
                    const float *origin, const float *axes, const float *size, int32_t maxVertexes,
                    int32_t maxIndexes);                             // 39
void Trap_UploadWorldMaterials(const void *matters);                 // 40
void Trap_SetWorldAltitudes(float core, float space, const float *spaceBox, uint8_t linear);  // 41
void Trap_UndoSnapshot();                                            // 42
void Trap_SetupSoup(const void *soup, uint8_t convex, const float *origin, const float *axis,
                    float scale);                                    // 43
uint8_t Trap_CheckSoupConnect();                                     // 44
void Trap_SubSoup(int32_t matterFilter, float strength);             // 45
void Trap_AddSoup(int32_t matterFilter, int32_t matter);             // 46
void Trap_PaintSoup(int32_t matterFilter, int32_t matter);           // 47
void Trap_BlurSoup(int32_t matterFilter, int32_t size, int32_t mode);  // 48
void Trap_DamageMatter(const float *point, float radius, int32_t amount, int32_t matterFilter);  // 49
void Trap_SV_UploadWorldInfoString(const char *text);                // 50
void *Trap_GetViewPVS(const float *eye, const float *axis, float fovX, float fovY);  // 51
uint8_t Trap_WO_CheckPointPVS(const void *pvs, const float *point, float radius);    // 52
uint8_t Trap_WO_CheckBoundsPVS(const void *pvs, const float *a, const float *b, const float *axes,
                               const float *origin);                 // 53
int32_t Trap_RegisterFont(const char *name);                         // 54
int32_t Trap_RegisterTexture(const char *name);                      // 55
int32_t Trap_RegisterTextureNoMip(const char *name);                 // 56
int32_t Trap_RegisterTextureCube(const char *name);                  // 57
int32_t Trap_RegisterMaterial(const char *name);                     // 58
void Trap_ReloadMaterial(int32_t handle);                            // 59
int32_t Trap_RegisterSound(const char *name);                        // 60
int32_t Trap_RegisterLOD(const char *name, int32_t flags);           // 61
void Trap_GetLODInfo(int32_t handle, void *a, void *b);              // 62
void Trap_UnregisterFont(int32_t handle);                            // 63
void Trap_UnregisterTexture(int32_t handle);                         // 64
void Trap_UnregisterMaterial(int32_t handle);                        // 65
void Trap_UnregisterLOD(int32_t handle);                             // 66
void Trap_UnregisterSound(int32_t handle);                           // 67
void Trap_S_SetListener(const float *origin, const float *axes);     // 68
void Trap_S_StopPlayChannel(int32_t channel);                        // 69
void Trap_S_BeginMusic(const char *name, int32_t volume);            // 70
void Trap_S_EndMusic();                                              // 71
int32_t Trap_S_PlayLocalSound(int32_t handle);                       // 72
int32_t Trap_S_PlayPointSound(int32_t handle, const float *origin);  // 73
void Trap_S_ClearDMA();                                              // 74
void Trap_R_GetRendererConfig(void *config);                         // 75
void Trap_R_BeginFrame();                                            // 76
void Trap_R_ClearScene(int32_t dest);                                // 77
void Trap_R_AddSurfaces(void *surfaces, uint8_t flags);              // 78
void Trap_R_AddSurfaceEntity(void *entity);                          // 79
void Trap_R_AddLight(void *light);                                   // 80
void Trap_R_RenderScene(void *refdef, void *second);                 // 81
void Trap_R_EndFrame(void *arg);                                     // 82
void *Trap_R_AllocSurfaces(int32_t count, uint8_t flags);            // 83
void *Trap_R_AllocBones(int32_t count);                              // 84: count bone records of 48 bytes
void Trap_R_SetupSurfaceEntity(void *entity);                        // 85
void *Trap_R_AllocLight(int32_t a, void *b, int32_t c);              // 86
int32_t Trap_R_GetRenderDestWidth(int32_t dest);                     // 87
int32_t Trap_R_GetRenderDestHeight(int32_t dest);                    // 88
int32_t Trap_CL_GetFontCharWidth(int32_t font);                      // 89
int32_t Trap_CL_GetFontCharHeight(int32_t font);                     // 90
void Trap_CL_DrawString(int32_t dest, float x, float y, float scale, const char *text, int32_t length,
                        const float *colour, int32_t font, int32_t flags);  // 91
void Trap_CL_DrawTrisPic(int32_t dest, const void *vertexes, const void *indexes, int32_t vertexCount,
                         int32_t indexCount, int32_t material, uint8_t option);  // 92
uint8_t Trap_LookupDNS(netadr_t *out, const char *text);             // 93
void Trap_CL_UploadECL(void *ecl);                                   // 94
void Trap_CL_ConnectToServer(const char *address, const char *password, const char *name);  // 95
void Trap_CL_DisconnectFromServer(const char *reason);               // 96
void Trap_CL_GetSnapshot(void *older, void *newer, void *time);      // 97
void Trap_CL_SendClientCommand(cc_t *cc);                            // 98
void Trap_CL_GetNextServerCommand(char *buffer);                     // 99
int32_t Trap_CL_ServerCommandArgc();                                 // 100
const char *Trap_CL_ServerCommandArgv(int32_t n);                    // 101
void Trap_SetCursorMode();                                           // 102
void Trap_SetAimMode();                                              // 103
void Trap_CenterCursor();                                            // 104
int32_t Trap_GetBinding(const char *command);                        // 105
void Trap_ClearKeyBinding(int32_t key);                              // 106
void Trap_CL_SendKeepAlive();                                        // 107
void Trap_CL_GetStats(void *stats);                                  // 108
void Trap_CL_UpdateInfoString(const char *text);                     // 109
const char *Trap_CL_GetWorldInfoString();                            // 110
uint8_t Trap_CIN_BeginCinematic(const char *name);                   // 111
void Trap_CIN_EndCinematic();                                        // 112
uint8_t Trap_CIN_DrawCinematic(int32_t dest, int32_t x, int32_t y, int32_t w, int32_t h, void *a,
                               int32_t b);                           // 113
void Trap_SV_StartServer(const char *path);                          // 114
uint8_t Trap_SV_LoadVO2(const char *path, const uint8_t *usedMatters);  // 115
void Trap_SV_ShutdownServer(uint8_t keepClients);                    // 116
void Trap_SV_UploadClientStateReference(void *base, int32_t stride); // 117
void Trap_SV_UploadEntityStateReference(void *base, int32_t stride); // 118
void Trap_SV_UploadSnapshotGameDataReference(void *block, int32_t size);  // 119
cc_t *Trap_SV_GetClientCommand(int32_t client);                      // 120
const char *Trap_SV_GetClientInfo(int32_t client);                   // 121
void Trap_SV_AddClient(int32_t slot, const netadr_t *address, int32_t reserved, int32_t challenge);  // 122
void Trap_SV_DeleteClient(int32_t slot);                             // 123
int32_t Trap_SV_GetClientPing(int32_t client);                       // 124
void Trap_SV_SendServerCommand(int32_t client, const char *text);    // 126
void Trap_SV_LinkEntity(int32_t entity);                             // 127
void Trap_SV_UnlinkEntity(int32_t entity);                           // 128
