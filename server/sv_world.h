// The server's side of the voxel world: the one way voxels change (SV_SetVoxel), the
// cleaning passes that turn changes into compressed, checksummed, re-tessellated and
// resent pages, the world file reader, the undo copy, periodic dumps, deformation by
// the module's shapes and the world shaping commands.
#pragma once

#include <cstddef>
#include <cstdint>

#include "server/server.h"
#include "world/world.h"

// The variables read here are the server's: sv_noDeform (the module's deformation
// traps change nothing), sv_printClean (the cleaning passes print counts and times),
// sv_worldDebugBump (pages resent continuously), sv_autoDump (minutes between dumps).

// Registers the world shaping commands.
void SV_WorldImp();

// ---- changes ----

enum svVoxelMode_t : int {
    SV_VOXEL_SET = 0,       // density = value
    SV_VOXEL_ADD = 1,       // density + value, at most 255
    SV_VOXEL_SUBTRACT = 2,  // density - value, at least 0
};

// Changes one voxel at 1..125 on every axis and marks what must be redone; matter -1
// keeps the voxel's matter, value -1 changes only the matter.
void SV_SetVoxel(int x, int y, int z, int mode, int matter, int value);
// Compresses, checksums and renumbers every voxel-dirty page; marks uniform ones freeable.
void SV_CleanDirtyVoxels();
// Re-tessellates dirty pages, frees the freeable ones left without surface, wakes
// entities whose ground changed.
void SV_CleanDirtySurfaces();
// Debug traffic: while sv_worldDebugBump is set, every 50th call renumbers 700 cells.
void SV_WorldDebugBump();
// Starts the debug traffic's count and cursor again (for tests: nothing else does).
void SV_ClearWorldDebugBump();

// ---- life cycle ----

// World pages and vertex pool ready, every sequence number 0.
void SV_InitWorld();
// Every sequence number 0: no server runs, so no acknowledgement of an earlier
// world can still arrive.  A start while one runs raises them instead.
void SV_InitSeqGrid();
// Every sequence number above every one used so far, so that an acknowledgement
// sent for the world before a map change never matches a page of the new one.
void SV_RaiseSeqGrid();

// ---- world files ----

// Loads a world file; filter is null or 256 bytes by matter (a 0 byte turns that
// matter into 0).  1 on success; 0 with an error naming the file, the world untouched.
uint8_t SV_LoadVO2(const char *path, const uint8_t *filter);
// The same from bytes in memory; name only names the file in messages.
uint8_t SV_LoadVO2FromMemory(const void *data, size_t size, const char *name, const uint8_t *filter);

// ---- undo and clearing ----

// With wo_useUndo set: every live page's voxels become its undo copy.
void SV_PrepareUndoWorld();
// With wo_useUndo set: every live page back to its undo copy.
void SV_UndoWorld();
// Every voxel of every stored page emptied (matter 0), every sequence number raised.
void SV_ClearAllMatter();

// ---- automatic dumps ----

// Frame step: with sv_autoDump > 0, every sv_autoDump minutes since svs.lastAutoDump
// (now in Base_Time ms) writes the world to the first free autodump/NNN.vo2.
void SV_AutoDump(int32_t now);

// ---- entities resting on the world ----

// ---- deformation ----

constexpr int SV_SOUP_MAX_SURFS = 10000;  // triangles of one prepared shape
constexpr float SV_SHAPE_PADDING = 2.0f;  // the shape's bounds are widened this much

// The world point of a voxel coordinate triple.
void SV_VoxelPoint(float out[3], int x, int y, int z);
// The protective profiles at a world point (0..255).
int SV_CoreProfile(const float p[3]);
int SV_OuterProfile(const float p[3]);
int SV_BoxProfile(const float p[3]);
// Smooths a voxel box in two passes (sums first, then writes); size sets the centre weight.
void SV_FastBlur(const int32_t mins[3], const int32_t maxs[3], int size);

// The module's deformation traps 42-49 are declared in base/module_services.h.

// ---- world shaping commands ----

void SV_CreateBall_f();
void SV_CreatePlane_f();
void SV_SwapMatter_f();
void SV_PaintCore_f();
void SV_BlurWorld_f();
