// View-frustum record.
#include "world/frustum.h"

#include <cstring>

#include "common/com_noise.h"
#include "common/com_print.h"

// Projection bounds at the near plane from the fields of view.
static void FrustumSlopes(float fovX, float fovY, float *tx, float *ty) {
    *tx = Com_tan(fovX * DEG2RAD * 0.5f);
    *ty = Com_tan(fovY * DEG2RAD * 0.5f);
}

static void BuildViewProjection(matrix4x4_t out, const vec3_t eyeTerm, const matrix3x3_t axis,
                                float tx, float ty, float zNear, float zFar) {
    BuildModelViewProjMatrix4x4(out, -tx * zNear, tx * zNear, -ty * zNear, ty * zNear, zNear, zFar,
                                axis, eyeTerm);
}

// Sign bits, plane copies and corners from the six planes already in place.
static void FinishPlanes(frustum_t *f) {
    for (int i = 0; i < FRUSTUM_PLANES; i++) {
        CM_SetupMPlaneSignBits(&f->planes[i]);
        _VectorCopy(f->planeCopies[i], f->planes[i].normal);
        f->planeCopies[i][3] = f->planes[i].dist;
    }
    static const int triples[FRUSTUM_CORNERS][3] = {{0, 2, 4}, {0, 2, 5}, {0, 3, 4}, {0, 3, 5},
                                                    {1, 2, 4}, {1, 2, 5}, {1, 3, 4}, {1, 3, 5}};
    for (int i = 0; i < FRUSTUM_CORNERS; i++)
        CM_IntersectionPlanes(f->corners[i], f->planeCopies[triples[i][0]],
                              f->planeCopies[triples[i][1]], f->planeCopies[triples[i][2]]);
}

void R_SetupFrustum(frustum_t *f, const vec3_t origin, const matrix3x3_t axis,
                    const matrix3x3_t ignored, float fovX, float fovY, float zNear, float zFar) {
    (void)ignored;
    memset(f, 0, sizeof *f);
    const vec3_t negOrigin = {-origin[0], -origin[1], -origin[2]};
    matrix3x3_t rot;
    MatrixCopy3x3(rot, axis);
    MatrixTranspose3x3(rot);

    _VectorCopy(f->origin, origin);
    MatrixCopy3x3(f->axis, rot);
    f->fovX = fovX;
    f->fovY = fovY;
    f->zNear = zNear;
    f->zFar = zFar;

    float tx, ty;
    FrustumSlopes(fovX, fovY, &tx, &ty);
    BuildViewProjection(f->viewProjection, negOrigin, axis, tx, ty, zNear, zFar);
    BuildViewProjection(f->skyProjection, zerovector, axis, tx, ty, zNear, FRUSTUM_SKY_FAR);
    MatrixMultiply4x4(f->textureProjection, view2blinn, f->viewProjection);

    // View space: x right, y up, z along the view; inside is the positive side.
    vec4_t view[FRUSTUM_PLANES] = {{-1, 0, tx, 0}, {1, 0, tx, 0}, {0, 1, ty, 0},
                                   {0, -1, ty, 0}, {0, 0, 1, 0},  {0, 0, -1, 0}};
    for (int i = 0; i < 4; i++) VectorNormalize(view[i]);
    vec3_t nearPoint, farPoint;
    _VectorAddMultiple(nearPoint, origin, axis + 6, zNear);
    _VectorAddMultiple(farPoint, origin, axis + 6, zFar);
    for (int i = 0; i < FRUSTUM_PLANES; i++) {
        const float *through = i < 4 ? origin : (i == 4 ? nearPoint : farPoint);
        vec4_t world;
        TransformPlane(world, view[i], rot, through);
        _VectorCopy(f->planes[i].normal, world);
        f->planes[i].dist = world[3];
    }
    FinishPlanes(f);
}

void R_SetupPointLightFrustum(frustum_t *f, const vec3_t c, float r) {
    memset(f, 0, sizeof *f);
    _VectorCopy(f->origin, c);
    for (int axis = 0; axis < 3; axis++) {
        mplane_t *low = &f->planes[axis * 2], *high = &f->planes[axis * 2 + 1];
        low->normal[axis] = 1;
        low->dist = -(c[axis] - r);
        high->normal[axis] = -1;
        high->dist = c[axis] + r;
    }
    FinishPlanes(f);
}

void R_SetupModelViewProj(matrix4x4_t matrix, const vec3_t eyeTerm, const matrix3x3_t axis,
                          float fovX, float fovY, float zNear, float zFar) {
    float tx, ty;
    FrustumSlopes(fovX, fovY, &tx, &ty);
    BuildViewProjection(matrix, eyeTerm, axis, tx, ty, zNear, zFar);
}

void Com_GeneratePoissonDisk(float minDistance) {
    static float points[POISSON_MAX_POINTS][2];
    int count = 0;
    for (int failures = 0; count < POISSON_MAX_POINTS && failures < POISSON_MAX_FAILURES;) {
        vec3_t dir = {Com_crand(), Com_crand(), 0};
        VectorNormalize(dir);
        const float scale = Com_frand();
        const float x = dir[0] * scale, y = dir[1] * scale;
        bool accepted = true;
        for (int i = 0; i < count && accepted; i++) {
            const float dx = points[i][0] - x, dy = points[i][1] - y;
            accepted = Com_sqrt(dx * dx + dy * dy) >= minDistance;
        }
        if (!accepted) {
            failures++;
            continue;
        }
        points[count][0] = x;
        points[count][1] = y;
        count++;
        failures = 0;
    }
    for (int i = 0; i < count; i++) Com_Printf("%.4f %.4f\n", points[i][0], points[i][1]);
}
