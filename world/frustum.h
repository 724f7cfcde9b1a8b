// View-frustum record: what the world's visibility needs to know of an eye.
//
// The filler takes an eye position, an orientation, two fields of view and two
// distances and produces the matrices for drawing and projecting, six clip
// planes in world space (inside is the positive side) and the eight corners.
#pragma once

#include <cstddef>

#include "common/com_geometry.h"
#include "common/com_vector.h"

constexpr int FRUSTUM_PLANES = 6;   // 0 left, 1 right, 2 and 3 the vertical bounds, 4 near, 5 far
constexpr int FRUSTUM_CORNERS = 8;  // triples (0,2,4) (0,2,5) (0,3,4) (0,3,5) (1,2,4) ... (1,3,5)
constexpr float FRUSTUM_SKY_FAR = 10000.0f;
constexpr int POISSON_MAX_POINTS = 1024;
constexpr int POISSON_MAX_FAILURES = 1000;  // candidates refused in a row before giving up

// 142 floats, all zero except what a filler writes.
struct frustum_t {
    vec3_t origin;  // the eye
    float fovX, fovY;  // full fields of view, degrees
    float zNear, zFar;
    matrix3x3_t axis;               // transpose of the orientation given to the filler
    matrix4x4_t viewProjection;
    matrix4x4_t skyProjection;      // the eye at the origin, far FRUSTUM_SKY_FAR
    matrix4x4_t textureProjection;  // view2blinn · viewProjection
    mplane_t planes[FRUSTUM_PLANES];
    vec4_t planeCopies[FRUSTUM_PLANES];  // the same planes without sign bits
    vec3_t corners[FRUSTUM_CORNERS];
};
static_assert(sizeof(frustum_t) == 568, "the frustum record is 142 floats");
static_assert(offsetof(frustum_t, planes) == 4 * 64, "planes follow the three 4x4 matrices");
static_assert(offsetof(frustum_t, corners) == 4 * 118, "corners are the last 24 floats");

// Maps projected x and y from −1..1 to 0..1.
inline constexpr matrix4x4_t view2blinn = {0.5f, 0, 0, 0.5f, 0, 0.5f, 0, 0.5f, 0, 0, 1, 0, 0, 0, 0, 1};

// Fills the record for an eye; the fourth argument is not read.
void R_SetupFrustum(frustum_t *frustum, const vec3_t origin, const matrix3x3_t axis,
                    const matrix3x3_t ignored, float fovX, float fovY, float zNear, float zFar);
// Fills origin, planes, sign bits, plane copies and corners for the cube of the
// given radius around a point light; the rest stays zero.
void R_SetupPointLightFrustum(frustum_t *frustum, const vec3_t center, float radius);
// The view-projection matrix alone, as R_SetupFrustum builds it.
void R_SetupModelViewProj(matrix4x4_t matrix, const vec3_t eyeTerm, const matrix3x3_t axis,
                          float fovX, float fovY, float zNear, float zFar);
// Development aid: prints up to 1,024 points of the unit disc, each at least the
// minimum distance from the others, as "%.4f %.4f" lines.
void Com_GeneratePoissonDisk(float minDistance);
