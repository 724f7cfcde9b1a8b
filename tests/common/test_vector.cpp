#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "common/com_vector.h"

namespace {

void ExpectVec(const float *got, float x, float y, float z, float eps = 1e-5f) {
    EXPECT_NEAR(got[0], x, eps);
    EXPECT_NEAR(got[1], y, eps);
    EXPECT_NEAR(got[2], z, eps);
}

void ExpectMatrix(const float *a, const float *b, int n, float eps = 1e-5f) {
    for (int i = 0; i < n; i++) EXPECT_NEAR(a[i], b[i], eps) << "element " << i;
}

// Extends a 3x3 matrix to 4x4 with a unit bottom-right corner.
void To4x4(matrix4x4_t out, const matrix3x3_t m) {
    matrix3x4_t t;
    MatrixCopy3x3To3x4(t, m);
    MatrixCopy3x4To4x4(out, t);
}

// Row-major storage, element [r][c] at (columns)·r + c; the 3x4 and 4x4
// translations in elements 3, 7 and 11.  Pinned element by element: callers on
// both sides of the wire index these arrays directly.
TEST(Vector, MatrixLayoutIsRowMajorWithTranslationInColumnThree) {
    const vec3_t t = {5, 6, 7};
    matrix3x4_t t34;
    BuildTranslationMatrix3x4(t34, t);
    const matrix3x4_t want34 = {1, 0, 0, 5, 0, 1, 0, 6, 0, 0, 1, 7};
    ExpectMatrix(t34, want34, 12, 0);
    matrix4x4_t t4;
    BuildTranslationMatrix4x4(t4, t);
    const matrix4x4_t want4 = {1, 0, 0, 5, 0, 1, 0, 6, 0, 0, 1, 7, 0, 0, 0, 1};
    ExpectMatrix(t4, want4, 16, 0);

    const float c = Com_cos(0.5f), s = Com_sin(0.5f);
    matrix3x3_t r;
    BuildRotationMatrix3x3_x(r, 0.5f);
    const matrix3x3_t rx = {1, 0, 0, 0, c, -s, 0, s, c};
    ExpectMatrix(r, rx, 9, 0);
    BuildRotationMatrix3x3_y(r, 0.5f);
    const matrix3x3_t ry = {c, 0, s, 0, 1, 0, -s, 0, c};
    ExpectMatrix(r, ry, 9, 0);
    BuildRotationMatrix3x3_z(r, 0.5f);
    const matrix3x3_t rz = {c, -s, 0, s, c, 0, 0, 0, 1};
    ExpectMatrix(r, rz, 9, 0);

    // T·R keeps the translation as it is; R·T turns it: rz·(5, 6, 7) in 3, 7, 11.
    matrix3x4_t r34, tr;
    MatrixCopy3x3To3x4(r34, rz);
    MatrixMultiply3x4(tr, t34, r34);
    const matrix3x4_t wantTR = {c, -s, 0, 5, s, c, 0, 6, 0, 0, 1, 7};
    ExpectMatrix(tr, wantTR, 12, 0);
    matrix4x4_t model;
    BuildModelMatrix4x4(model, rz, t);
    const matrix4x4_t wantModel = {c, -s, 0, c * 5 - s * 6, s, c, 0, s * 5 + c * 6, 0, 0, 1, 7,
                                   0, 0, 0, 1};
    ExpectMatrix(model, wantModel, 16, 1e-6f);

    matrix4x4_t p;
    BuildProjectionMatrix4x4(p, -1, 3, -2, 2, 1, 5);
    const matrix4x4_t wantP = {0.5f, 0, 0.5f, 0, 0, 0.5f, 0, 0, 0, 0, -1.5f, -2.5f, 0, 0, -1, 0};
    ExpectMatrix(p, wantP, 16, 0);
    BuildProj2DMatrix4x4(p, 0, 640, 0, 480);
    const matrix4x4_t want2D = {2.0f / 640, 0, 0, -1, 0, 2.0f / 480, 0, -1, 0, 0, -1, 0, 0, 0, 0, 1};
    ExpectMatrix(p, want2D, 16, 0);

    // P·F·R·T(origin) with F flipping z.
    matrix4x4_t mvp, flip, pft;
    BuildModelViewProjMatrix4x4(mvp, -1, 3, -2, 2, 1, 5, identitymatrix3x3, t);
    BuildProjectionMatrix4x4(p, -1, 3, -2, 2, 1, 5);
    BuildIdentityMatrix4x4(flip);
    flip[10] = -1;
    MatrixMultiply4x4(pft, flip, t4);
    MatrixMultiply4x4(pft, p, pft);
    ExpectMatrix(mvp, pft, 16, 0);
}

TEST(Vector, Multiply3x3UsesTheReverseOrderOf4x4) {
    const vec3_t angA = {10, 20, 30}, angB = {-40, 5, 70};
    matrix3x3_t a, b, ab;
    BuildRotationMatrix3x3(a, angA);
    BuildRotationMatrix3x3(b, angB);
    a[1] += 0.5f;  // not a rotation: the order must matter
    MatrixMultiply3x3(ab, a, b);
    matrix4x4_t a4, b4, ba4;
    To4x4(a4, a);
    To4x4(b4, b);
    MatrixMultiply4x4(ba4, b4, a4);
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) EXPECT_NEAR(ab[r * 3 + c], ba4[r * 4 + c], 1e-5f);
}

TEST(Vector, RotationFormsAgreeOnOneAngleAndDifferInGeneral) {
    const vec3_t single[3] = {{33, 0, 0}, {0, -47, 0}, {0, 0, 120}};
    for (const auto &ang : single) {
        matrix3x3_t m3;
        matrix3x4_t m34;
        BuildRotationMatrix3x3(m3, ang);
        BuildRotationMatrix3x4(m34, ang);
        for (int r = 0; r < 3; r++)
            for (int c = 0; c < 3; c++) EXPECT_NEAR(m3[r * 3 + c], m34[r * 4 + c], 1e-6f);
        EXPECT_EQ(m34[3], 0);
        EXPECT_EQ(m34[7], 0);
        EXPECT_EQ(m34[11], 0);
    }
    const vec3_t general = {30, 40, 50};
    matrix3x3_t m3;
    matrix3x4_t m34;
    BuildRotationMatrix3x3(m3, general);
    BuildRotationMatrix3x4(m34, general);
    EXPECT_GT(std::fabs(m3[1] - m34[1]), 1e-3f);
}

// The portable trigonometry is checked against the exact value (the double
// library's, rounded once): within one float step over a sweep of angles and at
// the points where a reduction fault would show (quadrant edges, large angles).
TEST(Vector, PortableSineAndCosineAreWithinOneStepOfTheExactValue) {
    auto within = [](float got, double exact) {
        const float e = static_cast<float>(exact);
        return got == e || got == std::nextafter(e, INFINITY) || got == std::nextafter(e, -INFINITY);
    };
    std::vector<float> angles = {0.0f, -0.0f, 1e-30f, 0.7853982f, 1.5707964f, 3.1415927f, 4.712389f, 6.2831855f,
                                 -1.5707964f, 100.0f, -1234.5f, 1e6f, 1e20f, -3e38f};
    for (int i = -20000; i <= 20000; i++) angles.push_back(static_cast<float>(i) * 0.000731f * 7.0f);
    for (float a : angles) {
        // Beyond 2 pi the reduction works with a rounded 2 pi; compare with the same.
        const double reduced = std::fmod(static_cast<double>(a), 6.28318530717958647693);
        ASSERT_TRUE(within(Com_sinPortable(a), std::sin(reduced))) << a;
        ASSERT_TRUE(within(Com_cosPortable(a), std::cos(reduced))) << a;
    }
    EXPECT_EQ(Com_sinPortable(0), 0.0f);
    EXPECT_EQ(Com_cosPortable(0), 1.0f);
    EXPECT_TRUE(std::isnan(Com_sinPortable(NAN)));
    EXPECT_TRUE(std::isnan(Com_cosPortable(INFINITY)));
    // The portable rotation is the library's within rounding.
    const vec3_t ang = {30, -40, 250};
    matrix3x3_t portable;
    matrix3x4_t library;
    BuildRotationMatrix3x3Portable(portable, ang);
    BuildRotationMatrix3x4(library, ang);
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) EXPECT_NEAR(portable[r * 3 + c], library[r * 4 + c], 1e-6f);
}

TEST(Vector, ZeroAnglesGiveTheAxisVectors) {
    const vec3_t zero = {0, 0, 0};
    vec3_t r, u, f, fwd;
    AnglesToVectors(r, u, f, zero);
    AnglesToForward(fwd, zero);
    ExpectVec(r, 1, 0, 0);
    ExpectVec(u, 0, 1, 0);
    ExpectVec(f, 0, 0, 1);
    ExpectVec(fwd, 0, 0, 1);
}

TEST(Vector, InvertedVectorsAreColumns) {
    const vec3_t ang = {15, -25, 80};
    matrix3x3_t m;
    BuildRotationMatrix3x3(m, ang);
    vec3_t c0, c1, c2, v;
    AnglesToVectorsInvert(c0, c1, c2, ang);
    AnglesToForwardInvert(v, ang);
    ExpectVec(c0, m[0], m[3], m[6], 0);
    ExpectVec(c1, m[1], m[4], m[7], 0);
    ExpectVec(c2, m[2], m[5], m[8], 0);
    ExpectVec(v, m[2], m[5], m[8], 0);
}

TEST(Vector, VectorToAnglesTable) {
    struct Case {
        vec3_t v;
        vec3_t angles;
    } cases[] = {
        {{1, 0, 0}, {0, 0, -90}},
        {{0, 1, 0}, {0, -90, 0}},
        {{0, -1, 0}, {0, 90, 0}},
        {{0, 0, 0}, {0, 90, 0}},
        {{0, 0, 1}, {0, 0, 0}},
        {{0, 0, -2}, {0, 0, -180}},
    };
    for (const Case &c : cases) {
        vec3_t a;
        VectorToAngles(a, c.v);
        ExpectVec(a, c.angles[0], c.angles[1], c.angles[2], 1e-4f);
    }
}

TEST(Vector, MatrixToAnglesInvertsTheRotation) {
    const vec3_t cases[] = {{0, 0, 0}, {179, 89, -179}, {-45, -60, 170}, {10, 20, 30}, {-170, 1, 2}};
    for (const auto &ang : cases) {
        matrix3x3_t m;
        vec3_t back;
        BuildRotationMatrix3x3(m, ang);
        MatrixToAngles(back, m);
        ExpectVec(back, ang[0], ang[1], ang[2], 2e-3f);
    }
}

TEST(Vector, SingularMatricesComeBackUnchanged) {
    matrix3x3_t m3 = {1, 2, 3, 2, 4, 6, 7, 8, 9};
    matrix3x4_t m34 = {1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 5};
    matrix4x4_t m4 = {1, 2, 3, 4, 5, 6, 7, 8, 2, 4, 6, 8, 1, 1, 1, 1};
    matrix3x3_t c3;
    matrix3x4_t c34;
    matrix4x4_t c4;
    memcpy(c3, m3, sizeof m3);
    memcpy(c34, m34, sizeof m34);
    memcpy(c4, m4, sizeof m4);
    MatrixInverse3x3(m3);
    MatrixInverse3x4(m34);
    MatrixInverse4x4(m4);
    EXPECT_EQ(memcmp(c3, m3, sizeof m3), 0);
    EXPECT_EQ(memcmp(c34, m34, sizeof m34), 0);
    EXPECT_EQ(memcmp(c4, m4, sizeof m4), 0);
}

TEST(Vector, InversesUndoTheirMatrix) {
    const vec3_t ang = {20, 30, 40}, org = {1, -2, 3}, scale = {2, 3, 0.5f};
    matrix3x3_t rot, sc, m3, inv3, prod3;
    BuildRotationMatrix3x3(rot, ang);
    BuildScaleMatrix3x3(sc, scale);
    MatrixMultiply3x3(m3, sc, rot);
    MatrixCopy3x3(inv3, m3);
    MatrixInverse3x3(inv3);
    MatrixMultiply3x3(prod3, m3, inv3);
    ExpectMatrix(prod3, identitymatrix3x3, 9);

    matrix3x4_t m34, inv34, prod34;
    BuildModelMatrix3x4(m34, m3, org);
    MatrixCopy3x4(inv34, m34);
    MatrixInverse3x4(inv34);
    MatrixMultiply3x4(prod34, m34, inv34);
    ExpectMatrix(prod34, identitymatrix3x4, 12);

    matrix4x4_t m4, inv4, prod4;
    BuildModelViewProjMatrix4x4(m4, -1, 1, -1, 1, 1, 100, rot, org);
    MatrixCopy4x4(inv4, m4);
    MatrixInverse4x4(inv4);
    MatrixMultiply4x4(prod4, inv4, m4);
    ExpectMatrix(prod4, identitymatrix4x4, 16, 1e-4f);
}

TEST(Vector, ModelMatricesDifferInWhereTheTranslationApplies) {
    const vec3_t ang = {0, 0, 90}, org = {1, 2, 3}, p = {1, 0, 0};
    matrix3x3_t rot;
    BuildRotationMatrix3x3(rot, ang);
    matrix3x4_t m34;
    matrix4x4_t m4;
    BuildModelMatrix3x4(m34, rot, org);
    BuildModelMatrix4x4(m4, rot, org);
    vec3_t a, b, expectA, expectB, rp, ro;
    VectorMatrixMultiply3x4(a, p, m34);
    Vector3MatrixMultiply4x4(b, p, m4);
    VectorMatrixMultiply3x3(rp, p, rot);
    _VectorAdd(expectA, rp, org);  // R·p + origin
    vec3_t po;
    _VectorAdd(po, p, org);
    VectorMatrixMultiply3x3(ro, po, rot);  // R·(p + origin)
    _VectorCopy(expectB, ro);
    ExpectVec(a, expectA[0], expectA[1], expectA[2]);
    ExpectVec(b, expectB[0], expectB[1], expectB[2]);
}

TEST(Vector, RotationAroundPointKeepsTheCentre) {
    const vec3_t centre = {5, 6, 7}, ang = {30, 40, 50}, p = {6, 6, 7};
    matrix3x4_t m;
    BuildRotationAroundPointMatrix3x4(m, centre, ang);
    vec3_t c, q, q2;
    VectorMatrixMultiply3x4(c, centre, m);
    ExpectVec(c, 5, 6, 7);
    VectorMatrixMultiply3x4(q, p, m);
    RotationPointAroundPoint(q2, p, centre, ang);
    ExpectVec(q, q2[0], q2[1], q2[2]);
    EXPECT_NEAR(PointDistance(q, centre), 1.0f, 1e-5f);
}

TEST(Vector, RotatePointAroundVectorIsRightHanded) {
    const vec3_t p = {1, 0, 0};
    vec3_t out;
    RotatePointAroundVector(out, upvector, p, 90);  // about +y, x turns to −z
    ExpectVec(out, 0, 0, -1);
    RotatePointAroundVector(out, forwardvector, p, 90);  // about +z, x turns to +y
    ExpectVec(out, 0, 1, 0);
}

TEST(Vector, NormalizeEdgeCases) {
    vec3_t z = {0, 0, 0};
    EXPECT_EQ(VectorNormalize(z), 0);
    EXPECT_TRUE(VectorIsZero(z));
    _VectorReverse(z);
    for (float c : z) EXPECT_TRUE(std::signbit(c));
    vec3_t v = {3, 0, 4};
    EXPECT_FLOAT_EQ(VectorNormalize(v), 5);
    ExpectVec(v, 0.6f, 0, 0.8f);
    EXPECT_NEAR(ISqrtFast(4), 0.5f, 0.5f * 0.002f);
    vec3_t f = {0, 10, 0};
    VectorNormalizeFast(f);
    EXPECT_NEAR(f[1], 1.0f, 0.002f);
    vec3_t o;
    const vec3_t n = {0, 1, 0}, par = {0, 2, 0};
    VectorOrthogonalize(o, par, n);
    EXPECT_TRUE(VectorIsZero(o));
}

TEST(Vector, ScalarTable) {
    EXPECT_EQ(_Clamp(5, 3, 1), 3);
    EXPECT_EQ(_Clamp(-1, 0, 2), 0);
    EXPECT_EQ(_Sgn(0), 0);
    EXPECT_EQ(_Sgn(-0.0f), 0);
    EXPECT_EQ(_Sgn(-3), -1);
    EXPECT_EQ(_Sgn(7), 1);
    EXPECT_EQ(_Saturate(1.5f), 1);
    EXPECT_EQ(_Min(2, 1), 1);
    EXPECT_EQ(_Max(2, 1), 2);
}

TEST(Vector, PointToLineDistMeasuresToTheNearestEnd) {
    const vec3_t a = {0, 0, 0}, b = {10, 0, 0};
    const vec3_t before = {-3, 4, 0}, beyond = {13, 0, 4}, mid = {5, 2, 0};
    EXPECT_FLOAT_EQ(PointToLineDist(before, a, b), 5);
    EXPECT_FLOAT_EQ(PointToLineDist(beyond, a, b), 5);
    EXPECT_FLOAT_EQ(PointToLineDist(mid, a, b), 2);
    EXPECT_FLOAT_EQ(PointToLineDist(mid, a, a), PointDistance(mid, a));  // no length: no NaN
}

TEST(Vector, PlaneFromPointsSides) {
    const vec3_t a = {0, 0, 0}, b = {1, 0, 0}, c = {0, 1, 0};
    const vec3_t above = {0, 0, 5}, below = {0, 0, -5}, on = {3, 3, 0};
    vec4_t pl;
    PlaneFrom3Points_positiveSide(pl, a, b, c, below);
    EXPECT_GT(_PointOnSideOfPlane(below, pl), 0);
    ExpectVec(pl, 0, 0, -1);
    PlaneFrom3Points_negativeSide(pl, a, b, c, above);
    EXPECT_LT(_PointOnSideOfPlane(above, pl), 0);
    PlaneFrom3Points_positiveSide(pl, a, b, c, on);  // on the plane: orientation kept
    ExpectVec(pl, 0, 0, 1);
    const vec3_t a2 = {0, 0, 2}, b2 = {2, 0, 2}, c2 = {0, 2, 2};
    EXPECT_FLOAT_EQ(PlaneFrom3Points_normalized(pl, a2, b2, c2), 4);
    EXPECT_FLOAT_EQ(pl[3], -2);
}

TEST(Vector, PlaneDistancesAndProjections) {
    const vec4_t plane = {0, 2, 0, -4};  // y = 2, unnormalised
    const vec3_t p = {1, 5, 1};
    EXPECT_FLOAT_EQ(_PointOnSideOfPlane(p, plane), 6);
    EXPECT_FLOAT_EQ(DistFromPointToPlane(p, plane), 3);
    vec3_t out;
    ProjectPointOnPlane(out, p, plane);
    ExpectVec(out, 1, 2, 1);
    MirrorPoint(out, p, plane);
    ExpectVec(out, 1, -1, 1);
    PointOnPlane(out, plane);
    ExpectVec(out, 0, 2, 0);
}

TEST(Vector, PerpendicularVectorIsUnitAndPerpendicular) {
    const vec3_t cases[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}, {-3, 0.5f, 2}, {0, 0, 0}};
    for (const auto &v : cases) {
        vec3_t p;
        PerpendicularVector(p, v);
        EXPECT_NEAR(_DotProduct(p, v), 0, 1e-5f);
        if (!VectorIsZero(v)) {
            EXPECT_NEAR(VectorLength(p), 1, 1e-5f);
        }
    }
}

TEST(Vector, TangentsOfATexturedTriangle) {
    const vec3_t p0 = {0, 0, 0}, p1 = {2, 0, 0}, p2 = {0, 3, 0};
    const float uv0[2] = {0, 0}, uv1[2] = {1, 0}, uv2[2] = {0, 1};
    vec3_t t, b;
    TangentsFrom3Points_normalized(t, b, p0, p1, p2, uv0, uv1, uv2);
    ExpectVec(t, 1, 0, 0);
    ExpectVec(b, 0, 1, 0);
    TangentsFrom3Points_normalized(t, nullptr, p0, p1, p2, uv0, uv1, uv1);  // zero area
    EXPECT_TRUE(VectorIsZero(t));
}

TEST(Vector, ProjectionMatrices) {
    matrix4x4_t p;
    BuildProjectionMatrix4x4(p, -1, 1, -1, 1, 1, 3);
    const vec4_t nearPt = {0, 0, -1, 1}, farPt = {0, 0, -3, 1};
    vec4_t out;
    Vector4MatrixMultiply4x4(out, nearPt, p);
    EXPECT_NEAR(out[2] / out[3], -1, 1e-6f);
    Vector4MatrixMultiply4x4(out, farPt, p);
    EXPECT_NEAR(out[2] / out[3], 1, 1e-6f);
    BuildProj2DMatrix4x4(p, 0, 640, 0, 480);
    const vec3_t corner = {640, 480, 0};
    vec3_t c;
    Vector3MatrixMultiply4x4(c, corner, p);
    ExpectVec(c, 1, 1, 0);
}

TEST(Vector, MathWrappers) {
    EXPECT_FLOAT_EQ(Com_pow(2, 10), 1024);
    EXPECT_FLOAT_EQ(Com_fmod(-7, 3), -1);
    EXPECT_TRUE(std::isnan(Com_sqrt(-1)));
    EXPECT_EQ(Com_ClampToInt(1e30), 2147483647);
    EXPECT_EQ(Com_ClampToInt(-1e30), -2147483647 - 1);
    EXPECT_EQ(Com_ClampToInt(NAN), 0);
    EXPECT_EQ(Com_ClampToInt(-2.9), -2);
    EXPECT_NEAR(AngleBetweenVectors(rightvector, upvector), 90, 1e-4f);
    const vec3_t same = {1e-3f, 1e-3f, 1e-3f};
    EXPECT_FALSE(std::isnan(AngleBetweenVectors(same, same)));
}

}  // namespace
