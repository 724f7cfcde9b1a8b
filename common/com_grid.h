// Grid walks: visit, in order, the unit cells of a 3D grid along a line.
//
// Both walks run on the caller's stack, keep no state between calls and hand
// each cell to a callback, which may stop the walk.  The world's occlusion walk
// uses the integer line; its point and ray traces use the float walk.
#pragma once

#include "common/com_vector.h"

// The float walk gives up after this many steps (at most one more cell each).
constexpr int GRID_WALK_MAX_STEPS = 1000001;
// Fraction of the whole segment by which the float walk steps past each face.
constexpr float GRID_WALK_PUSH = 0.001f;

// Receives one cell; the pointer is valid only during the call.  Non-zero goes
// on, 0 stops the walk at once.
typedef int (*gridCallback_t)(const int cell[3]);

// Visits every cell of the 3D integer line from start to end, both included,
// each once; returns the last callback's result (0 when it stopped the walk).
int Com_Bresenham3D(const int start[3], const int end[3], gridCallback_t callback);

// Visits the unit cells that the segment from start to end passes through, in
// order, each cell being the truncation toward zero of offset + point (clamped to
// the int range).  A cell is not reported twice in a row.
void Com_VarekLine3D(const vec3_t start, const vec3_t end, const int offset[3],
                     gridCallback_t callback);
