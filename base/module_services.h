// The engine services that the trap dispatcher serves to the game module.
// Most come with their subsystems' headers; the ones declared here are defined by
// their subsystems without a header of their own that the dispatcher could include.
#pragma once

#include <cstdint>
#include <cstdio>

#include "game/g_public.h"

#include "base/base.h"
#include "base/cmd.h"
#include "base/files.h"
#include "base/input.h"
#include "base/net.h"
#include "base/renderer.h"
#include "base/sys.h"
#include "client/cl_cin.h"
#include "client/cl_decal.h"
#include "client/cl_font.h"
#include "common/com_geometry.h"
#include "common/com_hash.h"
#include "common/com_noise.h"
#include "common/com_string.h"
#include "server/server.h"

constexpr int32_t RE_TEXTURE_MIPMAPS = 5;
constexpr int32_t RE_TEXTURE_NO_MIPMAPS = 0;
constexpr int32_t RE_TEXTURE_CUBE = 32;
constexpr int32_t RE_BONE_SIZE = 48;  // bytes of one bone record

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
uint8_t SV_LoadVO2(const char *path, const uint8_t *usedMatters);

// ---- client ----
void *CL_GetViewPVS(const float *eye, const float *axis, float fovX, float fovY);
void CL_UploadECL(void *ecl);
void CL_ConnectToServer(const char *address, const char *password, const char *name);
void CL_DisconnectFromServer(const char *reason);
void CL_GetSnapshot(void *older, void *newer, void *time);
void CL_SendClientCommand(cc_t *cc);
void CL_GetNextServerCommand(netadr_t *address);
int32_t CL_ServerCommandArgc();
const char *CL_ServerCommandArgv(int32_t n);
void CL_SendKeepAlive();
void CL_GetStats(void *stats);
void CL_UpdateInfoString(const char *text);
const char *CL_GetWorldInfoString();
