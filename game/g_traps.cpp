// The module's wrappers over the engine's services: one trap each.
#include "game/g_traps.h"

#include <cstring>

gameImport_t gi;

// Calls the engine with the given argument words; unused words stay zero.
template <typename... T>
static intptr_t Trap(gameTrapNum_t number, T... words) {
    gameArg_t args[GAME_MAX_ARGS];
    Arg_Pack(args, words...);
    return gi.trap(number, args);
}

// Traps 3 and 4 leave in word 0 the address of the engine's float result.
static float FloatTrap(gameTrapNum_t number) {
    gameArg_t args[GAME_MAX_ARGS] = {};
    gi.trap(number, args);
    float f = 0.0f;
    if (args[0]) memcpy(&f, reinterpret_cast<const void *>(args[0]), sizeof(f));
    return f;
}

void Trap_GetQGame(qgame_t *qgame) { Trap(GTRAP_GET_QGAME, qgame); }
int32_t Trap_GetTime() { return static_cast<int32_t>(Trap(GTRAP_GET_TIME)); }
int32_t Trap_rand() { return static_cast<int32_t>(Trap(GTRAP_RAND)); }
float Trap_crand() { return FloatTrap(GTRAP_CRAND); }
float Trap_frand() { return FloatTrap(GTRAP_FRAND); }
void Trap_VectorAddNoise(float *v, float amount) { Trap(GTRAP_VECTOR_ADD_NOISE, v, &amount); }
int32_t Trap_Clipboard_GetStringLength() {
    return static_cast<int32_t>(Trap(GTRAP_CLIPBOARD_GET_STRING_LENGTH));
}
uint8_t Trap_Clipboard_GetString(int32_t size, char *buffer) {
    return static_cast<uint8_t>(Trap(GTRAP_CLIPBOARD_GET_STRING, &size, buffer));
}
void Trap_Clipboard_SetString(const char *text) { Trap(GTRAP_CLIPBOARD_SET_STRING, text); }
void Trap_Print(const char *text, uint8_t developer) { Trap(GTRAP_PRINT, text, &developer); }
int32_t Trap_Error(int32_t level, const char *text) {
    return static_cast<int32_t>(Trap(GTRAP_ERROR, &level, text));
}
void Trap_RunSomething() { Trap(GTRAP_RUN_SOMETHING); }
void Trap_Sleep(int32_t msec) { Trap(GTRAP_SLEEP, &msec); }
uint8_t Trap_SendOutOfBandPrint(int32_t fromClient, const netadr_t *to, const char *text) {
    return static_cast<uint8_t>(Trap(GTRAP_SEND_OUT_OF_BAND_PRINT, &fromClient, to, text));
}
int32_t Trap_Argc() { return static_cast<int32_t>(Trap(GTRAP_ARGC)); }
const char *Trap_Argv(int32_t n) { return reinterpret_cast<const char *>(Trap(GTRAP_ARGV, &n)); }
void Trap_Add(const char *text) { Trap(GTRAP_ADD, text); }
void Trap_Flush() { Trap(GTRAP_FLUSH); }
void Trap_CreateCVar(cmdVar_t *var, const char *name, const char *defaultText, uint32_t flags) {
    Trap(GTRAP_CREATE_CVAR, var, name, defaultText, &flags);
}
void Trap_CreateCVarEx(cmdVar_t *var, const char *name, const char *defaultText, uint32_t flags,
                       cmdCallback_t callback) {
    Trap(GTRAP_CREATE_CVAR_EX, var, name, defaultText, &flags, callback);
}
void Trap_CreateFunction(const char *name, cmdCallback_t handler, uint32_t flags) {
    Trap(GTRAP_CREATE_FUNCTION, name, handler, &flags);
}
void Trap_SetCVar(cmdVar_t *var, const char *value) { Trap(GTRAP_SET_CVAR, var, value); }
cmdVar_t *Trap_GetCVar(const char *name) { return reinterpret_cast<cmdVar_t *>(Trap(GTRAP_GET_CVAR, name)); }
uint8_t Trap_CompleteCmd(char *line) { return static_cast<uint8_t>(Trap(GTRAP_COMPLETE_CMD, line)); }
void *Trap_Mem_Alloc(uint32_t size) { return reinterpret_cast<void *>(Trap(GTRAP_MEM_ALLOC, &size)); }
void Trap_Mem_Free(void *block) { Trap(GTRAP_MEM_FREE, block); }
int32_t Trap_ReadFile(const char *path, void **buffer) {
    return static_cast<int32_t>(Trap(GTRAP_READ_FILE, path, buffer));
}
int32_t Trap_ReadFile25K(const char *path, void **buffer) {
    return static_cast<int32_t>(Trap(GTRAP_READ_FILE_25K, path, buffer));
}
int32_t Trap_WriteFile(const char *path, int32_t size, const void *data) {
    return static_cast<int32_t>(Trap(GTRAP_WRITE_FILE, path, &size, data));
}
void Trap_FreeFile(void *buffer) { Trap(GTRAP_FREE_FILE, buffer); }
FILE *Trap_FOpen(const char *path, const char *mode) {
    return reinterpret_cast<FILE *>(Trap(GTRAP_FOPEN, path, mode));
}
void Trap_FClose(FILE *stream) { Trap(GTRAP_FCLOSE, stream); }
int32_t Trap_FRead(void *dest, int32_t count, FILE *stream) {
    return static_cast<int32_t>(Trap(GTRAP_FREAD, dest, &count, stream));
}
int32_t Trap_FWrite(const void *src, int32_t count, FILE *stream) {
    return static_cast<int32_t>(Trap(GTRAP_FWRITE, src, &count, stream));
}
int32_t Trap_FWriteString(const char *text, FILE *stream) {
    return static_cast<int32_t>(Trap(GTRAP_FWRITE_STRING, text, stream));
}
void Trap_LoadMpk() { Trap(GTRAP_LOAD_MPK); }
int32_t Trap_FindFiles(void *out, const char *pattern, int32_t stride, int32_t max) {
    return static_cast<int32_t>(Trap(GTRAP_FIND_FILES, out, pattern, &stride, &max));
}
uint8_t Trap_GetFileMD5(uint8_t *digest, const char *path) {
    return static_cast<uint8_t>(Trap(GTRAP_GET_FILE_MD5, digest, path));
}
void Trap_Trace(trace_t *out, const obb_t *start, const obb_t *end) { Trap(GTRAP_TRACE, out, start, end); }
void Trap_ClipDecal(int32_t *vertexCount, int32_t *indexCount, void *vertexes, void *indexes,
                    const float *origin, const float *axes, const float *size, int32_t maxVertexes,
                    int32_t maxIndexes) {
    Trap(GTRAP_CLIP_DECAL, vertexCount, indexCount, vertexes, indexes, origin, axes, size, &maxVertexes,
         &maxIndexes);
}
void Trap_UploadWorldMaterials(const void *matters) { Trap(GTRAP_UPLOAD_WORLD_MATERIALS, matters); }
void Trap_SetWorldAltitudes(float core, float space, const float *spaceBox, uint8_t linear) {
    Trap(GTRAP_SET_WORLD_ALTITUDES, &core, &space, spaceBox, &linear);
}
void Trap_UndoSnapshot() { Trap(GTRAP_UNDO_SNAPSHOT); }
void Trap_SetupSoup(const void *soup, uint8_t convex, const float *origin, const float *axis, float scale) {
    Trap(GTRAP_SETUP_SOUP, soup, &convex, origin, axis, &scale);
}
uint8_t Trap_CheckSoupConnect() { return static_cast<uint8_t>(Trap(GTRAP_CHECK_SOUP_CONNECT)); }
void Trap_SubSoup(int32_t matterFilter, float strength) { Trap(GTRAP_SUB_SOUP, &matterFilter, &strength); }
void Trap_AddSoup(int32_t matterFilter, int32_t matter) { Trap(GTRAP_ADD_SOUP, &matterFilter, &matter); }
void Trap_PaintSoup(int32_t matterFilter, int32_t matter) { Trap(GTRAP_PAINT_SOUP, &matterFilter, &matter); }
void Trap_BlurSoup(int32_t matterFilter, int32_t size, int32_t mode) {
    Trap(GTRAP_BLUR_SOUP, &matterFilter, &size, &mode);
}
void Trap_DamageMatter(const float *point, float radius, int32_t amount, int32_t matterFilter) {
    Trap(GTRAP_DAMAGE_MATTER, point, &radius, &amount, &matterFilter);
}
void Trap_SV_UploadWorldInfoString(const char *text) { Trap(GTRAP_SV_UPLOAD_WORLD_INFO_STRING, text); }
void *Trap_GetViewPVS(const float *eye, const float *axis, float fovX, float fovY) {
    return reinterpret_cast<void *>(Trap(GTRAP_GET_VIEW_PVS, eye, axis, &fovX, &fovY));
}
uint8_t Trap_WO_CheckPointPVS(const void *pvs, const float *point, float radius) {
    return static_cast<uint8_t>(Trap(GTRAP_WO_CHECK_POINT_PVS, pvs, point, &radius));
}
uint8_t Trap_WO_CheckBoundsPVS(const void *pvs, const float *a, const float *b, const float *axes,
                               const float *origin) {
    return static_cast<uint8_t>(Trap(GTRAP_WO_CHECK_BOUNDS_PVS, pvs, a, b, axes, origin));
}
int32_t Trap_RegisterFont(const char *name) { return static_cast<int32_t>(Trap(GTRAP_REGISTER_FONT, name)); }
int32_t Trap_RegisterTexture(const char *name) {
    return static_cast<int32_t>(Trap(GTRAP_REGISTER_TEXTURE, name));
}
int32_t Trap_RegisterTextureNoMip(const char *name) {
    return static_cast<int32_t>(Trap(GTRAP_REGISTER_TEXTURE_NO_MIP, name));
}
int32_t Trap_RegisterTextureCube(const char *name) {
    return static_cast<int32_t>(Trap(GTRAP_REGISTER_TEXTURE_CUBE, name));
}
int32_t Trap_RegisterMaterial(const char *name) {
    return static_cast<int32_t>(Trap(GTRAP_REGISTER_MATERIAL, name));
}
void Trap_ReloadMaterial(int32_t handle) { Trap(GTRAP_RELOAD_MATERIAL, &handle); }
int32_t Trap_RegisterSound(const char *name) {
    return static_cast<int32_t>(Trap(GTRAP_REGISTER_SOUND, name));
}
int32_t Trap_RegisterLOD(const char *name, int32_t flags) {
    return static_cast<int32_t>(Trap(GTRAP_REGISTER_LOD, name, &flags));
}
void Trap_GetLODInfo(int32_t handle, void *a, void *b) { Trap(GTRAP_GET_LOD_INFO, &handle, a, b); }
void Trap_UnregisterFont(int32_t handle) { Trap(GTRAP_UNREGISTER_FONT, &handle); }
void Trap_UnregisterTexture(int32_t handle) { Trap(GTRAP_UNREGISTER_TEXTURE, &handle); }
void Trap_UnregisterMaterial(int32_t handle) { Trap(GTRAP_UNREGISTER_MATERIAL, &handle); }
void Trap_UnregisterLOD(int32_t handle) { Trap(GTRAP_UNREGISTER_LOD, &handle); }
void Trap_UnregisterSound(int32_t handle) { Trap(GTRAP_UNREGISTER_SOUND, &handle); }
void Trap_S_SetListener(const float *origin, const float *axes) { Trap(GTRAP_S_SET_LISTENER, origin, axes); }
void Trap_S_StopPlayChannel(int32_t channel) { Trap(GTRAP_S_STOP_PLAY_CHANNEL, &channel); }
void Trap_S_BeginMusic(const char *name, int32_t volume) { Trap(GTRAP_S_BEGIN_MUSIC, name, &volume); }
void Trap_S_EndMusic() { Trap(GTRAP_S_END_MUSIC); }
int32_t Trap_S_PlayLocalSound(int32_t handle) {
    return static_cast<int32_t>(Trap(GTRAP_S_PLAY_LOCAL_SOUND, &handle));
}
int32_t Trap_S_PlayPointSound(int32_t handle, const float *origin) {
    return static_cast<int32_t>(Trap(GTRAP_S_PLAY_POINT_SOUND, &handle, origin));
}
void Trap_S_ClearDMA() { Trap(GTRAP_S_CLEAR_DMA); }
void Trap_R_GetRendererConfig(void *config) { Trap(GTRAP_R_GET_RENDERER_CONFIG, config); }
void Trap_R_BeginFrame() { Trap(GTRAP_R_BEGIN_FRAME); }
void Trap_R_ClearScene(int32_t dest) { Trap(GTRAP_R_CLEAR_SCENE, &dest); }
void Trap_R_AddSurfaces(void *surfaces, uint8_t flags) { Trap(GTRAP_R_ADD_SURFACES, surfaces, &flags); }
void Trap_R_AddSurfaceEntity(void *entity) { Trap(GTRAP_R_ADD_SURFACE_ENTITY, entity); }
void Trap_R_AddLight(void *light) { Trap(GTRAP_R_ADD_LIGHT, light); }
void Trap_R_RenderScene(void *refdef, void *second) { Trap(GTRAP_R_RENDER_SCENE, refdef, second); }
void Trap_R_EndFrame(void *arg) { Trap(GTRAP_R_END_FRAME, arg); }
void *Trap_R_AllocSurfaces(int32_t count, uint8_t flags) {
    return reinterpret_cast<void *>(Trap(GTRAP_R_ALLOC_SURFACES, &count, &flags));
}
void *Trap_R_AllocBones(int32_t count) { return reinterpret_cast<void *>(Trap(GTRAP_R_ALLOC_BONES, &count)); }
void Trap_R_SetupSurfaceEntity(void *entity) { Trap(GTRAP_R_SETUP_SURFACE_ENTITY, entity); }
void *Trap_R_AllocLight(int32_t a, void *b, int32_t c) {
    return reinterpret_cast<void *>(Trap(GTRAP_R_ALLOC_LIGHT, &a, b, &c));
}
int32_t Trap_R_GetRenderDestWidth(int32_t dest) {
    return static_cast<int32_t>(Trap(GTRAP_R_GET_RENDER_DEST_WIDTH, &dest));
}
int32_t Trap_R_GetRenderDestHeight(int32_t dest) {
    return static_cast<int32_t>(Trap(GTRAP_R_GET_RENDER_DEST_HEIGHT, &dest));
}
int32_t Trap_CL_GetFontCharWidth(int32_t font) {
    return static_cast<int32_t>(Trap(GTRAP_CL_GET_FONT_CHAR_WIDTH, &font));
}
int32_t Trap_CL_GetFontCharHeight(int32_t font) {
    return static_cast<int32_t>(Trap(GTRAP_CL_GET_FONT_CHAR_HEIGHT, &font));
}
void Trap_CL_DrawString(int32_t dest, float x, float y, float scale, const char *text, int32_t length,
                        const float *colour, int32_t font, int32_t flags) {
    Trap(GTRAP_CL_DRAW_STRING, &dest, &x, &y, &scale, text, &length, colour, &font, &flags);
}
void Trap_CL_DrawTrisPic(int32_t dest, const void *vertexes, const void *indexes, int32_t vertexCount,
                         int32_t indexCount, int32_t material, uint8_t option) {
    Trap(GTRAP_CL_DRAW_TRIS_PIC, &dest, vertexes, indexes, &vertexCount, &indexCount, &material, &option);
}
uint8_t Trap_LookupDNS(netadr_t *out, const char *text) {
    return static_cast<uint8_t>(Trap(GTRAP_LOOKUP_DNS, out, text));
}
void Trap_CL_UploadECL(void *ecl) { Trap(GTRAP_CL_UPLOAD_ECL, ecl); }
void Trap_CL_ConnectToServer(const char *address, const char *password, const char *name) {
    Trap(GTRAP_CL_CONNECT_TO_SERVER, address, password, name);
}
void Trap_CL_DisconnectFromServer(const char *reason) { Trap(GTRAP_CL_DISCONNECT_FROM_SERVER, reason); }
void Trap_CL_GetSnapshot(void *older, void *newer, void *time) {
    Trap(GTRAP_CL_GET_SNAPSHOT, older, newer, time);
}
void Trap_CL_SendClientCommand(cc_t *cc) { Trap(GTRAP_CL_SEND_CLIENT_COMMAND, cc); }
void Trap_CL_GetNextServerCommand(char *buffer) { Trap(GTRAP_CL_GET_NEXT_SERVER_COMMAND, buffer); }
int32_t Trap_CL_ServerCommandArgc() { return static_cast<int32_t>(Trap(GTRAP_CL_SERVER_COMMAND_ARGC)); }
const char *Trap_CL_ServerCommandArgv(int32_t n) {
    return reinterpret_cast<const char *>(Trap(GTRAP_CL_SERVER_COMMAND_ARGV, &n));
}
void Trap_SetCursorMode() { Trap(GTRAP_SET_CURSOR_MODE); }
void Trap_SetAimMode() { Trap(GTRAP_SET_AIM_MODE); }
void Trap_CenterCursor() { Trap(GTRAP_CENTER_CURSOR); }
int32_t Trap_GetBinding(const char *command) {
    return static_cast<int32_t>(Trap(GTRAP_GET_BINDING, command));
}
void Trap_ClearKeyBinding(int32_t key) { Trap(GTRAP_CLEAR_KEY_BINDING, &key); }
void Trap_CL_SendKeepAlive() { Trap(GTRAP_CL_SEND_KEEP_ALIVE); }
void Trap_CL_GetStats(void *stats) { Trap(GTRAP_CL_GET_STATS, stats); }
void Trap_CL_UpdateInfoString(const char *text) { Trap(GTRAP_CL_UPDATE_INFO_STRING, text); }
const char *Trap_CL_GetWorldInfoString() {
    return reinterpret_cast<const char *>(Trap(GTRAP_CL_GET_WORLD_INFO_STRING));
}
uint8_t Trap_CIN_BeginCinematic(const char *name) {
    return static_cast<uint8_t>(Trap(GTRAP_CIN_BEGIN_CINEMATIC, name));
}
void Trap_CIN_EndCinematic() { Trap(GTRAP_CIN_END_CINEMATIC); }
uint8_t Trap_CIN_DrawCinematic(int32_t dest, int32_t x, int32_t y, int32_t w, int32_t h, void *a, int32_t b) {
    return static_cast<uint8_t>(Trap(GTRAP_CIN_DRAW_CINEMATIC, &dest, &x, &y, &w, &h, a, &b));
}
void Trap_SV_StartServer(const char *path) { Trap(GTRAP_SV_START_SERVER, path); }
uint8_t Trap_SV_LoadVO2(const char *path, const uint8_t *usedMatters) {
    return static_cast<uint8_t>(Trap(GTRAP_SV_LOAD_VO2, path, usedMatters));
}
void Trap_SV_ShutdownServer(uint8_t keepClients) { Trap(GTRAP_SV_SHUTDOWN_SERVER, &keepClients); }
void Trap_SV_UploadClientStateReference(void *base, int32_t stride) {
    Trap(GTRAP_SV_UPLOAD_CLIENT_STATE_REFERENCE, base, &stride);
}
void Trap_SV_UploadEntityStateReference(void *base, int32_t stride) {
    Trap(GTRAP_SV_UPLOAD_ENTITY_STATE_REFERENCE, base, &stride);
}
void Trap_SV_UploadSnapshotGameDataReference(void *block, int32_t size) {
    Trap(GTRAP_SV_UPLOAD_SNAPSHOT_GAME_DATA_REFERENCE, block, &size);
}
cc_t *Trap_SV_GetClientCommand(int32_t client) {
    return reinterpret_cast<cc_t *>(Trap(GTRAP_SV_GET_CLIENT_COMMAND, &client));
}
const char *Trap_SV_GetClientInfo(int32_t client) {
    return reinterpret_cast<const char *>(Trap(GTRAP_SV_GET_CLIENT_INFO, &client));
}
void Trap_SV_AddClient(int32_t slot, const netadr_t *address, int32_t reserved, int32_t challenge) {
    Trap(GTRAP_SV_ADD_CLIENT, &slot, address, &reserved, &challenge);
}
void Trap_SV_DeleteClient(int32_t slot) { Trap(GTRAP_SV_DELETE_CLIENT, &slot); }
int32_t Trap_SV_GetClientPing(int32_t client) {
    return static_cast<int32_t>(Trap(GTRAP_SV_GET_CLIENT_PING, &client));
}
void Trap_SV_SendServerCommand(int32_t client, const char *text) {
    Trap(GTRAP_SV_SEND_SERVER_COMMAND, &client, text);
}
void Trap_SV_LinkEntity(int32_t entity) { Trap(GTRAP_SV_LINK_ENTITY, &entity); }
void Trap_SV_UnlinkEntity(int32_t entity) { Trap(GTRAP_SV_UNLINK_ENTITY, &entity); }
