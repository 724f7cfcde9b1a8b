// Procedural surfaces the module builds and hands to the renderer each frame.
//
// The renderer allocates the record (Trap_R_AllocSurfaces) and reads it when the
// frame is rendered; the records themselves are the boundary's (game/g_public.h).
#pragma once

#include <cstdint>

#include "game/g_public.h"

// Argument of Trap_R_AddSurfaces for procedural surfaces.
constexpr uint8_t SURFACE_ADD_PROCEDURAL = 1;

// A frame surface of a vertex layout, cleared and filled in but not yet in the scene;
// null when the renderer has no surface left this frame.  The arrays stay the caller's
// and must outlive the frame.
surface_t *AllocLayoutSurface(int32_t layout, const char *name, const void *verts, int32_t numVerts,
                              const int32_t *indexes, int32_t numIndexes, int32_t material, uint32_t flags = 0,
                              float effect = 0.0f);
// The same, handed to the scene at once; false when the renderer had no surface left.
bool AddLayoutSurface(int32_t layout, const char *name, const void *verts, int32_t numVerts, const int32_t *indexes,
                      int32_t numIndexes, int32_t material, uint32_t flags = 0, float effect = 0.0f);
