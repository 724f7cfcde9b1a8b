#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "common/com_print.h"
#include "world/frustum.h"
#include "tests/support/capture.h"

namespace {

// An eye at (1, 2, 3) looking along +x (yaw −90), up along +y.
void LookAlongX(frustum_t *f, float fovX, float fovY, float zNear = 0.01f, float zFar = 10000) {
    const vec3_t origin = {1, 2, 3}, angles = {0, 0, -90};
    matrix3x3_t axis;
    BuildRotationMatrix3x3(axis, angles);
    R_SetupFrustum(f, origin, axis, identitymatrix3x3, fovX, fovY, zNear, zFar);
}

TEST(Frustum, RightAngleFieldsMakeFortyFiveDegreePlanes) {
    frustum_t f;
    LookAlongX(&f, 90, 90);
    const vec3_t view = {1, 0, 0};
    for (int i = 0; i < 4; i++) {
        EXPECT_NEAR(VectorLength(f.planes[i].normal), 1, 1e-6f);
        // Equal weight on the view axis and one side axis.
        EXPECT_NEAR(_DotProduct(f.planes[i].normal, view), std::sqrt(0.5f), 1e-5f) << i;
        int zeros = 0;
        for (float c : f.planes[i].normal) zeros += std::fabs(c) < 1e-6f;
        EXPECT_EQ(zeros, 1);
        // The planes pass through the eye.
        EXPECT_NEAR(_DotProduct(f.planes[i].normal, f.origin) + f.planes[i].dist, 0, 1e-5f);
    }
    EXPECT_NEAR(_DotProduct(f.planes[4].normal, view), 1, 1e-6f);
    EXPECT_NEAR(_DotProduct(f.planes[5].normal, view), -1, 1e-6f);
    for (int i = 0; i < FRUSTUM_PLANES; i++) {
        mplane_t copy = f.planes[i];
        CM_SetupMPlaneSignBits(&copy);
        EXPECT_EQ(f.planes[i].signbits, copy.signbits);
        EXPECT_EQ(f.planeCopies[i][3], f.planes[i].dist);
    }
    mplane_t p = {{-0.7f, 0, 0.7f}, 0, 0};
    CM_SetupMPlaneSignBits(&p);
    EXPECT_EQ(p.signbits, 6);
}

TEST(Frustum, CornersLieOnTheNearAndFarPlanes) {
    frustum_t f;
    LookAlongX(&f, 90, 60, 2, 50);
    for (int i = 0; i < FRUSTUM_CORNERS; i++) {
        const float along = f.corners[i][0] - f.origin[0];
        EXPECT_NEAR(along, (i % 2) ? 50.0f : 2.0f, 1e-3f) << i;
    }
    // Corner 0 (left, plane 2, near) projects to a corner of the unit cube, as
    // the projection matrix and the planes describe the same frustum.
    for (int i = 0; i < FRUSTUM_CORNERS; i++) {
        const vec4_t p = {f.corners[i][0], f.corners[i][1], f.corners[i][2], 1};
        vec4_t clip;
        Vector4MatrixMultiply4x4(clip, p, f.viewProjection);
        for (int k = 0; k < 3; k++) EXPECT_NEAR(std::fabs(clip[k] / clip[3]), 1, 1e-3f) << i;
        vec4_t tex;
        Vector4MatrixMultiply4x4(tex, p, f.textureProjection);
        EXPECT_NEAR(tex[0] / tex[3], clip[0] / clip[3] * 0.5f + 0.5f, 1e-3f);
    }
}

TEST(Frustum, ContainsCutsAndMissesBoxes) {
    frustum_t f;
    LookAlongX(&f, 90, 90);
    const struct {
        vec3_t mins, maxs;
        int side;
    } cases[] = {
        {{10, 1, 2}, {12, 3, 4}, 1},     // straight ahead
        {{0, 1, 2}, {2, 3, 4}, 3},       // around the eye
        {{-10, 1, 2}, {-8, 3, 4}, 2},    // behind
        {{5, 20, 2}, {6, 21, 4}, 2},     // far above the view
        {{9, 11.5f, 2}, {11, 13, 4}, 3}, // on the upper bound
    };
    for (const auto &c : cases)
        EXPECT_EQ(CM_AABBToClipPlanes(c.mins, c.maxs, FRUSTUM_PLANES, f.planes), c.side)
            << c.mins[0] << "," << c.mins[1];
}

TEST(Frustum, PointLightCube) {
    frustum_t f;
    const vec3_t c = {10, 0, 0};
    R_SetupPointLightFrustum(&f, c, 2);
    EXPECT_EQ(f.planes[0].normal[0], 1);
    EXPECT_EQ(f.planes[0].dist, -8);
    EXPECT_EQ(f.planes[1].normal[0], -1);
    EXPECT_EQ(f.planes[1].dist, 12);
    EXPECT_EQ(f.fovX, 0);
    EXPECT_EQ(f.viewProjection[0], 0);
    for (const auto &corner : f.corners) {
        EXPECT_NEAR(std::fabs(corner[0] - 10), 2, 1e-5f);
        EXPECT_NEAR(std::fabs(corner[1]), 2, 1e-5f);
        EXPECT_NEAR(std::fabs(corner[2]), 2, 1e-5f);
    }
    const vec3_t inside = {11, 1, -1}, outside = {7, 0, 0};
    EXPECT_EQ(CM_PointToClipPlanes(inside, FRUSTUM_PLANES, f.planes), 1);
    EXPECT_EQ(CM_PointToClipPlanes(outside, FRUSTUM_PLANES, f.planes), 0);
}

TEST(Frustum, ModelViewProjMatchesTheRecord) {
    frustum_t f;
    LookAlongX(&f, 75, 50, 0.5f, 300);
    const vec3_t angles = {0, 0, -90}, eyeTerm = {-1, -2, -3};
    matrix3x3_t axis;
    BuildRotationMatrix3x3(axis, angles);
    matrix4x4_t m;
    R_SetupModelViewProj(m, eyeTerm, axis, 75, 50, 0.5f, 300);
    for (int i = 0; i < 16; i++) EXPECT_EQ(m[i], f.viewProjection[i]);
}

TEST(Frustum, PoissonDiskKeepsItsDistance) {
    hm_test::StartCapture();
    srand(11);
    Com_GeneratePoissonDisk(0.3f);
    hm_test::StopCapture();
    const std::string printed = hm_test::PrintedText();
    std::vector<std::pair<float, float>> pts;
    float x, y;
    int used;
    for (const char *s = printed.c_str(); sscanf(s, "%f %f\n%n", &x, &y, &used) == 2; s += used)
        pts.push_back({x, y});
    ASSERT_GT(pts.size(), 10u);
    ASSERT_LT(pts.size(), 100u);
    for (size_t i = 0; i < pts.size(); i++) {
        EXPECT_LE(std::hypot(pts[i].first, pts[i].second), 1.0001f);
        for (size_t j = 0; j < i; j++)
            EXPECT_GE(std::hypot(pts[i].first - pts[j].first, pts[i].second - pts[j].second), 0.2995f);
    }
}

}  // namespace
