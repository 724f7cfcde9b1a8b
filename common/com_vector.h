// Vectors, planes, matrices and angles.
//
// Pure functions on caller-owned arrays of 32-bit floats: nothing is allocated
// and no state is held.  Output arguments come first unless a comment says
// otherwise.  Several look-alike operations differ in argument or product
// order; those orders are part of the contract and callers rely on them.
//
// Axis convention: +x right, +y up, +z forward.
// Matrices are row-major; vectors are transformed as columns (out = M·v).
// A 3x4 matrix keeps its translation in elements 3, 7 and 11 and has an
// implicit bottom row (0, 0, 0, 1).
#pragma once

#include <cmath>
#include <cstdint>

typedef float vec_t;
typedef vec_t vec3_t[3];
typedef vec_t vec4_t[4];  // also a plane (a, b, c, d): signed distance a·x + b·y + c·z + d
typedef vec_t matrix3x3_t[9];   // element [r][c] at 3r + c
typedef vec_t matrix3x4_t[12];  // element [r][c] at 4r + c, translation in column 3
typedef vec_t matrix4x4_t[16];  // element [r][c] at 4r + c

// Degrees to radians and back, as every caller multiplies them.
constexpr float DEG2RAD = 0.017453292f;
constexpr float RAD2DEG = 57.295776f;
// The factor MatrixToAngles uses.
constexpr float MATRIX_RAD2DEG = 57.2957763671875f;

inline constexpr vec3_t zerovector = {0, 0, 0};
inline constexpr vec3_t onevector = {1, 1, 1};
inline constexpr vec3_t rightvector = {1, 0, 0};
inline constexpr vec3_t upvector = {0, 1, 0};
inline constexpr vec3_t forwardvector = {0, 0, 1};

inline constexpr matrix3x3_t identitymatrix3x3 = {1, 0, 0, 0, 1, 0, 0, 0, 1};
inline constexpr matrix3x4_t identitymatrix3x4 = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
inline constexpr matrix4x4_t identitymatrix4x4 = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// ---- float wrappers over the math library ----

float Com_sin(float x);    // sinf
float Com_cos(float x);    // cosf
float Com_tan(float x);    // tanf
float Com_asin(float x);   // asinf
float Com_acos(float x);   // acosf
float Com_atan(float x);   // atanf
// The same bits on every machine, whatever its maths library: built from IEEE
// basic operations alone (and fmod and floor, which are exact), so that a
// client's prediction and the server agree.  Within one unit in the last place.
float Com_sinPortable(float radians);
float Com_cosPortable(float radians);
float Com_sinh(float x);   // sinhf
float Com_cosh(float x);   // coshf
float Com_tanh(float x);   // tanhf
float Com_exp(float x);    // expf
float Com_log(float x);    // logf
float Com_log10(float x);  // log10f
float Com_atan2(float y, float x);       // computed in double, narrowed
float Com_fmod(float a, float b);        // computed in double, narrowed
float Com_powf(float base, float exponent);  // powf
float Com_pow(float base, int exponent);     // computed in double, narrowed
inline float Com_sqrt(float x) { return std::sqrt(x); }  // not a number for negative input
float Com_fabs(float x);   // |x|
// Inverse square root by the bit trick and one Newton step (about 0.2 per cent).
float ISqrtFast(float x);

// Truncates toward zero into an int; out-of-range values clamp to the int range
// and a value that is not a number gives 0.  Every float-to-int conversion of an
// unbounded value goes through here.
int Com_ClampToInt(double x);

// ---- scalars ----

inline float _Min(float a, float b) { return a < b ? a : b; }
inline float _Max(float a, float b) { return a > b ? a : b; }
// lo wins when lo > hi.
inline float _Clamp(float x, float lo, float hi) { return _Max(lo, _Min(x, hi)); }
inline float _Saturate(float x) { return _Clamp(x, 0.0f, 1.0f); }
inline float _Abs(float x) { return x < 0 ? -x : x; }
// −1, 0 or 1 (0 for 0).
inline float _Sgn(float x) { return x < 0 ? -1.0f : (x > 0 ? 1.0f : 0.0f); }

// ---- vector primitives (function versions of the vector macros) ----

inline void _VectorCopy(vec3_t out, const vec3_t in) {
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
}
inline void _PlaneCopy(vec4_t out, const vec4_t in) {
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
    out[3] = in[3];
}
inline void _ColorCopy(vec4_t out, const vec4_t in) { _PlaneCopy(out, in); }
inline void _AxisCopy(float out[9], const float in[9]) {
    for (int i = 0; i < 9; i++) out[i] = in[i];
}
// out = a + b
inline void _VectorAdd(vec3_t out, const vec3_t a, const vec3_t b) {
    out[0] = a[0] + b[0];
    out[1] = a[1] + b[1];
    out[2] = a[2] + b[2];
}
// out = a − b
inline void _VectorSub(vec3_t out, const vec3_t a, const vec3_t b) {
    out[0] = a[0] - b[0];
    out[1] = a[1] - b[1];
    out[2] = a[2] - b[2];
}
// out = a·b componentwise
inline void _VectorMult(vec3_t out, const vec3_t a, const vec3_t b) {
    out[0] = a[0] * b[0];
    out[1] = a[1] * b[1];
    out[2] = a[2] * b[2];
}
// out = a + b·s
inline void _VectorAddMultiple(vec3_t out, const vec3_t a, const vec3_t b, float s) {
    out[0] = a[0] + b[0] * s;
    out[1] = a[1] + b[1] * s;
    out[2] = a[2] + b[2] * s;
}
// out = a − b·s
inline void _VectorSubMultiple(vec3_t out, const vec3_t a, const vec3_t b, float s) {
    out[0] = a[0] - b[0] * s;
    out[1] = a[1] - b[1] * s;
    out[2] = a[2] - b[2] * s;
}
// out = v·s (the scale is the second argument)
inline void _VectorScale(vec3_t out, float s, const vec3_t v) {
    out[0] = v[0] * s;
    out[1] = v[1] * s;
    out[2] = v[2] * s;
}
// out = v + k on each component
inline void VectorAddConstant(vec3_t out, const vec3_t v, float k) {
    out[0] = v[0] + k;
    out[1] = v[1] + k;
    out[2] = v[2] + k;
}
// In place: flips the sign of each component (0 becomes −0).
inline void _VectorReverse(vec3_t v) {
    v[0] = -v[0];
    v[1] = -v[1];
    v[2] = -v[2];
}
inline void _VectorClear(vec3_t v) { v[0] = v[1] = v[2] = 0; }
// 1 when all three components are equal.
inline int _VectorCmp(const vec3_t a, const vec3_t b) {
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}
// 1 when all three components are 0.
inline int VectorIsZero(const vec3_t v) { return v[0] == 0 && v[1] == 0 && v[2] == 0; }
inline float _DotProduct(const vec3_t a, const vec3_t b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
inline float _DP3(const vec3_t a, const vec3_t b) { return _DotProduct(a, b); }
inline float _DP4(const vec4_t a, const vec4_t b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
}
// out = a × b; out may be a or b.
inline void _CrossProduct(vec3_t out, const vec3_t a, const vec3_t b) {
    const float x = a[1] * b[2] - a[2] * b[1];
    const float y = a[2] * b[0] - a[0] * b[2];
    const float z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}
// In place: each component clamped to [0, 1].
inline void _VectorClamp(vec3_t v) {
    v[0] = _Saturate(v[0]);
    v[1] = _Saturate(v[1]);
    v[2] = _Saturate(v[2]);
}
// n·p + d: signed, unnormalised.
inline float _PointOnSideOfPlane(const vec3_t p, const vec4_t plane) {
    return _DotProduct(plane, p) + plane[3];
}

// (a × b)·c
float ScalarTriple(const vec3_t a, const vec3_t b, const vec3_t c);
// Square root of the sum of squares: the length of v, the distance from a to b.
// Inline, with the other helpers the world's tessellation calls for every triangle.
inline float VectorLength(const vec3_t v) { return Com_sqrt(_DotProduct(v, v)); }
float PointDistance(const vec3_t a, const vec3_t b);
// In place; returns the former length.  A zero vector stays unchanged, result 0.
inline float VectorNormalize(vec3_t v) {
    const float len = VectorLength(v);
    if (len == 0)
        return 0;
    const float inv = 1.0f / len;
    v[0] *= inv;
    v[1] *= inv;
    v[2] *= inv;
    return len;
}
// In place, v·ISqrtFast(v·v).
void VectorNormalizeFast(vec3_t v);
// out = a·(1 − t) + b·t
void VectorLerp(vec3_t out, const vec3_t a, const vec3_t b, float t);
// out = v − n·(v·n), normalised (a zero result stays zero).
void VectorOrthogonalize(vec3_t out, const vec3_t v, const vec3_t n);
// In place, v·1/(|v| × largest component); left unchanged when that product is 0.
void VectorClampColor(vec3_t v);
// Componentwise minimum / maximum of p into the first argument.
void AddToMins(vec3_t mins, const vec3_t p);
void AddToMaxs(vec3_t maxs, const vec3_t p);
void AddToMinsi(int mins[3], const int p[3]);
void AddToMaxsi(int maxs[3], const int p[3]);
// Bounds of a triangle (starting from ±100,000,000).
void CreatePolygonBB(vec3_t mins, vec3_t maxs, const vec3_t a, const vec3_t b, const vec3_t c);
// Degrees between two directions; 0 when either is the zero vector.
float AngleBetweenVectors(const vec3_t a, const vec3_t b);
// Distance from p to the segment a–b (to a when the segment has no length).
float PointToLineDist(const vec3_t p, const vec3_t a, const vec3_t b);

// ---- planes and points ----

// |n·p + d| / |n|
float DistFromPointToPlane(const vec3_t p, const vec4_t plane);
// |n·p + d|
float DistFromPointToNormalizedPlane(const vec3_t p, const vec4_t plane);
// p − n̂·((n·p + d)/|n|)
void ProjectPointOnPlane(vec3_t out, const vec3_t p, const vec4_t plane);
// p − n·(n·p + d)
void ProjectPointOnNormalizedPlane(vec3_t out, const vec3_t p, const vec4_t plane);
// p − 2·n̂·((n·p + d)/|n|)
void MirrorPoint(vec3_t out, const vec3_t p, const vec4_t plane);
// (b − a) × (c − a), not normalised.
inline void NormalFrom3Points(vec3_t out, const vec3_t a, const vec3_t b, const vec3_t c) {
    vec3_t ab, ac;
    _VectorSub(ab, b, a);
    _VectorSub(ac, c, a);
    _CrossProduct(out, ab, ac);
}
// The same, normalised (a zero normal stays zero).
void NormalFrom3Points_normalized(vec3_t out, const vec3_t a, const vec3_t b, const vec3_t c);
void NormalFrom3Points_normaized(vec3_t out, const vec3_t a, const vec3_t b, const vec3_t c);
// Normal (b − a) × (c − a) unnormalised, d = −normal·a.
void PlaneFrom3Points(vec4_t out, const vec3_t a, const vec3_t b, const vec3_t c);
// Unit normal, d = −normal·a; returns the normal's former length.
float PlaneFrom3Points_normalized(vec4_t out, const vec3_t a, const vec3_t b, const vec3_t c);
// Normalised plane reversed, when needed, so that p is on its positive side.
void PlaneFrom3Points_positiveSide(vec4_t out, const vec3_t a, const vec3_t b, const vec3_t c,
                                   const vec3_t p);
// Normalised plane reversed, when needed, so that p is on its negative side.
void PlaneFrom3Points_negativeSide(vec4_t out, const vec3_t a, const vec3_t b, const vec3_t c,
                                   const vec3_t p);
// A point of the plane on the last axis whose normal component is not 0.
void PointOnPlane(vec3_t out, const vec4_t plane);
// m·p + origin
void TransformPoint(vec3_t out, const vec3_t p, const matrix3x3_t m, const vec3_t origin);
// normal' = m·n, d' = −normal'·point
void TransformPlane(vec4_t out, const vec4_t plane, const matrix3x3_t m, const vec3_t point);
// A unit vector perpendicular to v.
void PerpendicularVector(vec3_t out, const vec3_t v);
// p rotated right-handedly about the unit axis through the origin.
void RotatePointAroundVector(vec3_t out, const vec3_t axis, const vec3_t p, float degrees);
// Unit tangent and bitangent (may be null) of a textured triangle; zero when the
// texture area is 0.
void TangentsFrom3Points_normalized(vec3_t tangent, vec3_t bitangent, const vec3_t p0,
                                    const vec3_t p1, const vec3_t p2, const float uv0[2],
                                    const float uv1[2], const float uv2[2]);

// ---- matrices (out may alias an input) ----

// Copies; out may be in.
void MatrixCopy3x3(matrix3x3_t out, const matrix3x3_t in);
void MatrixCopy3x4(matrix3x4_t out, const matrix3x4_t in);
void MatrixCopy4x4(matrix4x4_t out, const matrix4x4_t in);
// Rotation from m, translation 0.
void MatrixCopy3x3To3x4(matrix3x4_t out, const matrix3x3_t m);
// Rows 0-2 from m, bottom row (0, 0, 0, 1).
void MatrixCopy3x4To4x4(matrix4x4_t out, const matrix3x4_t m);
// The identity.
void BuildIdentityMatrix3x3(matrix3x3_t out);
void BuildIdentityMatrix3x4(matrix3x4_t out);
void BuildIdentityMatrix4x4(matrix4x4_t out);
// Diagonal s.x, s.y, s.z (and 1 in [3][3] of the 4x4 form).
void BuildScaleMatrix3x3(matrix3x3_t out, const vec3_t s);
void BuildScaleMatrix3x4(matrix3x4_t out, const vec3_t s);
void BuildScaleMatrix4x4(matrix4x4_t out, const vec3_t s);
// Identity with translation t.
void BuildTranslationMatrix3x4(matrix3x4_t out, const vec3_t t);
void BuildTranslationMatrix4x4(matrix4x4_t out, const vec3_t t);
// out = b·a (note the order).
void MatrixMultiply3x3(matrix3x3_t out, const matrix3x3_t a, const matrix3x3_t b);
// out = a·b with the implicit bottom rows.
void MatrixMultiply3x4(matrix3x4_t out, const matrix3x4_t a, const matrix3x4_t b);
// out = a·b
void MatrixMultiply4x4(matrix4x4_t out, const matrix4x4_t a, const matrix4x4_t b);
// out = m·v
void VectorMatrixMultiply3x3(vec3_t out, const vec3_t v, const matrix3x3_t m);
// out = m.R·p + m.t
void VectorMatrixMultiply3x4(vec3_t out, const vec3_t p, const matrix3x4_t m);
// Rows 0-2 of m applied to (p, 1).
void Vector3MatrixMultiply4x4(vec3_t out, const vec3_t p, const matrix4x4_t m);
// out = m·v
void Vector4MatrixMultiply4x4(vec4_t out, const vec4_t v, const matrix4x4_t m);
// In place.
void MatrixTranspose3x3(matrix3x3_t m);
void MatrixTranspose4x4(matrix4x4_t m);
// In place; left unchanged when the determinant is exactly 0.
void MatrixInverse3x3(matrix3x3_t m);
void MatrixInverse3x4(matrix3x4_t m);
void MatrixInverse4x4(matrix4x4_t m);
// T(origin)·R: rotation R, translation origin.
void BuildModelMatrix3x4(matrix3x4_t out, const matrix3x3_t rot, const vec3_t origin);
// R·T(origin): rotation R, translation R·origin.
void BuildModelMatrix4x4(matrix4x4_t out, const matrix3x3_t rot, const vec3_t origin);
// T(centre)·R·T(−centre) with R = BuildRotationMatrix3x4(angles).
void BuildRotationAroundPointMatrix3x4(matrix3x4_t out, const vec3_t centre, const vec3_t angles);
// R·(p − centre) + centre with R = BuildRotationMatrix3x4(angles).
void RotationPointAroundPoint(vec3_t out, const vec3_t p, const vec3_t centre, const vec3_t angles);
// Perspective frustum matrix.
void BuildProjectionMatrix4x4(matrix4x4_t out, float left, float right, float bottom, float top,
                              float zNear, float zFar);
// P·F·R·T(origin), F = identity with [2][2] = −1.
void BuildModelViewProjMatrix4x4(matrix4x4_t out, float left, float right, float bottom,
                                 float top, float zNear, float zFar, const matrix3x3_t rot,
                                 const vec3_t origin);
// Orthographic 2D matrix.
void BuildProj2DMatrix4x4(matrix4x4_t out, int x0, int x1, int y0, int y1);

// ---- angles (degrees) ----

// Elementary rotations from an angle in radians.
void BuildRotationMatrix3x3_x(matrix3x3_t out, float radians);
void BuildRotationMatrix3x3_y(matrix3x3_t out, float radians);
void BuildRotationMatrix3x3_z(matrix3x3_t out, float radians);
// Ry(angles[2])·Rx(angles[1])·Rz(angles[0]).
void BuildRotationMatrix3x3(matrix3x3_t out, const vec3_t angles);
// Rz(angles[0])·Rx(angles[1])·Ry(angles[2]) — the reverse order of the 3x3 form.
void BuildRotationMatrix3x4(matrix3x4_t out, const vec3_t angles);
// The same rotation from Com_sinPortable and Com_cosPortable: the same bits on every machine.
void BuildRotationMatrix3x3Portable(matrix3x3_t out, const vec3_t angles);
void BuildRotationMatrix4x4(matrix4x4_t out, const vec3_t angles);
// frame·R·frameᵀ with R = BuildRotationMatrix3x3(angles).
void BuildArbitraryRotation(matrix3x3_t out, const matrix3x3_t frame, const vec3_t angles);
// Rows 0, 1, 2 of BuildRotationMatrix3x3(angles).
void AnglesToVectors(vec3_t right, vec3_t up, vec3_t forward, const vec3_t angles);
// Row 2 of BuildRotationMatrix3x3(angles).
void AnglesToForward(vec3_t forward, const vec3_t angles);
// Columns 0, 1, 2 of BuildRotationMatrix3x3(angles).
void AnglesToVectorsInvert(vec3_t c0, vec3_t c1, vec3_t c2, const vec3_t angles);
// Column 2 of BuildRotationMatrix3x3(angles).
void AnglesToForwardInvert(vec3_t v, const vec3_t angles);
// The inverse of BuildRotationMatrix3x3 (exact for pitch within ±90 degrees).
void MatrixToAngles(vec3_t angles, const matrix3x3_t m);
// Angles of a direction; angles[0] is 0.
void VectorToAngles(vec3_t angles, const vec3_t v);
