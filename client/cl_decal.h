// Decal clipping: an oriented box pressed onto the voxel world cuts the world's
// triangles under it into a ready vertex and index list that maps the decal image
// across the box.
#pragma once

#include <cstdint>

#include "base/cmd.h"

constexpr int CL_DECAL_VERTS_ROOM = 10;    // vertex room one more triangle needs at most
constexpr int CL_DECAL_INDEXES_ROOM = 30;  // index room one more triangle needs at most
constexpr float CL_DECAL_EPSILON = 0.001f;    // a corner this far outside a plane still counts as on it
constexpr float CL_DECAL_MIN_NORMAL = 0.005f; // triangles with a smaller cross product are skipped
constexpr float CL_DECAL_LIFT = 0.01f;        // output vertexes stand this far off the surface
constexpr float CL_DECAL_SEARCH_MARGIN = 0.05f;

extern cmdVar_t cl_minDecalZ;  // least depth of a decal box (cheat; made with the client's variables)

// Cuts the world's triangles under the box (origin, axes[3][3] with axis 2 the pressing
// direction, size = width, height, depth) into vertexes (poolVertex_t records) and
// 32-bit fan indexes, within the two limits; the counts come back through the out
// arguments.  A box of no width or height clips nothing.
void CL_ClipDecal(int32_t *vertexCount, int32_t *indexCount, void *vertexes, void *indexes, const float *origin,
                  const float *axes, const float *size, int32_t maxVertexes, int32_t maxIndexes);
