// Vectors, planes, matrices and angles.
#include "common/com_vector.h"

#include <climits>
#include <cmath>
#include <cstring>

// ---- float wrappers ----

float Com_sin(float x) { return sinf(x); }
float Com_cos(float x) { return cosf(x); }
float Com_tan(float x) { return tanf(x); }
float Com_asin(float x) { return asinf(x); }
float Com_acos(float x) { return acosf(x); }
float Com_atan(float x) { return atanf(x); }
namespace {
// pi/2 split in three parts (Cody and Waite): k·hi and k·mid are exact for the
// small k left after the first reduction, so the reduced angle keeps its bits.
constexpr double PIO2_HI = 1.57079632673412561417e+00;
constexpr double PIO2_MID = 6.07710050650619224932e-11;
constexpr double PIO2_LO = 2.02226624879595063154e-21;
constexpr double TWO_OVER_PI = 6.36619772367581382433e-01;
constexpr double TWO_PI = 6.28318530717958647693e+00;

// sin and cos of r in [-pi/4, pi/4] by their series, to double precision.
double SinSeries(double r) {
    const double r2 = r * r;
    double p = -1.0 / 1307674368000.0;  // -1/15!
    p = p * r2 + 1.0 / 6227020800.0;
    p = p * r2 - 1.0 / 39916800.0;
    p = p * r2 + 1.0 / 362880.0;
    p = p * r2 - 1.0 / 5040.0;
    p = p * r2 + 1.0 / 120.0;
    p = p * r2 - 1.0 / 6.0;
    return r + r * r2 * p;
}
double CosSeries(double r) {
    const double r2 = r * r;
    double p = 1.0 / 20922789888000.0;  // 1/16!
    p = p * r2 - 1.0 / 87178291200.0;
    p = p * r2 + 1.0 / 479001600.0;
    p = p * r2 - 1.0 / 3628800.0;
    p = p * r2 + 1.0 / 40320.0;
    p = p * r2 - 1.0 / 720.0;
    p = p * r2 + 1.0 / 24.0;
    p = p * r2 - 0.5;
    return 1.0 + r2 * p;
}

// The angle as quadrant (0-3) and remainder in [-pi/4, pi/4].
double ReduceAngle(float radians, int *quadrant) {
    const double x = std::fmod(static_cast<double>(radians), TWO_PI);  // exact: |x| < 2 pi
    const double k = std::floor(x * TWO_OVER_PI + 0.5);                  // -4..4
    *quadrant = static_cast<int>(k) & 3;
    return ((x - k * PIO2_HI) - k * PIO2_MID) - k * PIO2_LO;
}
}  // namespace

float Com_sinPortable(float radians) {
    if (!std::isfinite(radians)) return radians - radians;  // no number
    int q;
    const double r = ReduceAngle(radians, &q);
    const double v = q == 0 ? SinSeries(r) : q == 1 ? CosSeries(r) : q == 2 ? -SinSeries(r) : -CosSeries(r);
    return static_cast<float>(v);
}

float Com_cosPortable(float radians) {
    if (!std::isfinite(radians)) return radians - radians;
    int q;
    const double r = ReduceAngle(radians, &q);
    const double v = q == 0 ? CosSeries(r) : q == 1 ? -SinSeries(r) : q == 2 ? -CosSeries(r) : SinSeries(r);
    return static_cast<float>(v);
}

float Com_sinh(float x) { return sinhf(x); }
float Com_cosh(float x) { return coshf(x); }
float Com_tanh(float x) { return tanhf(x); }
float Com_exp(float x) { return expf(x); }
float Com_log(float x) { return logf(x); }
float Com_log10(float x) { return log10f(x); }
float Com_atan2(float y, float x) { return static_cast<float>(atan2(double(y), double(x))); }
float Com_fmod(float a, float b) { return static_cast<float>(fmod(double(a), double(b))); }
float Com_powf(float base, float exponent) { return powf(base, exponent); }
float Com_pow(float base, int exponent) {
    return static_cast<float>(pow(double(base), double(exponent)));
}
// sqrtf compiles to the hardware instruction and leaves the library call for
// negative input only, so it is both paths at once.
float Com_fabs(float x) { return fabsf(x); }

float ISqrtFast(float x) {
    int32_t i;
    memcpy(&i, &x, sizeof i);
    // Unsigned subtraction: the same bits without signed overflow for negative x.
    const uint32_t bits = 0x5F3759DFu - static_cast<uint32_t>(i >> 1);
    float y;
    memcpy(&y, &bits, sizeof y);
    return y * (1.5f - 0.5f * x * y * y);
}

int Com_ClampToInt(double x) {
    if (!(x == x)) return 0;
    if (x >= 2147483647.0) return INT_MAX;
    if (x <= -2147483648.0) return INT_MIN;
    return static_cast<int>(x);
}

// ---- vectors ----

float ScalarTriple(const vec3_t a, const vec3_t b, const vec3_t c) {
    vec3_t ab;
    _CrossProduct(ab, a, b);
    return _DotProduct(ab, c);
}

float PointDistance(const vec3_t a, const vec3_t b) {
    vec3_t d;
    _VectorSub(d, a, b);
    return VectorLength(d);
}

void VectorNormalizeFast(vec3_t v) {
    const float s = ISqrtFast(_DotProduct(v, v));
    v[0] *= s;
    v[1] *= s;
    v[2] *= s;
}

void VectorLerp(vec3_t out, const vec3_t a, const vec3_t b, float t) {
    const float u = 1.0f - t;
    out[0] = a[0] * u + b[0] * t;
    out[1] = a[1] * u + b[1] * t;
    out[2] = a[2] * u + b[2] * t;
}

void VectorOrthogonalize(vec3_t out, const vec3_t v, const vec3_t n) {
    _VectorSubMultiple(out, v, n, _DotProduct(v, n));
    VectorNormalize(out);
}

void VectorClampColor(vec3_t v) {
    const float largest = _Max(v[0], _Max(v[1], v[2]));
    const float denom = VectorLength(v) * largest;
    // A black colour has nothing to scale; dividing would make it not a number.
    if (denom == 0) return;
    const float s = 1.0f / denom;
    v[0] *= s;
    v[1] *= s;
    v[2] *= s;
}

void AddToMins(vec3_t mins, const vec3_t p) {
    for (int i = 0; i < 3; i++)
        if (p[i] < mins[i]) mins[i] = p[i];
}

void AddToMaxs(vec3_t maxs, const vec3_t p) {
    for (int i = 0; i < 3; i++)
        if (p[i] > maxs[i]) maxs[i] = p[i];
}

void AddToMinsi(int mins[3], const int p[3]) {
    for (int i = 0; i < 3; i++)
        if (p[i] < mins[i]) mins[i] = p[i];
}

void AddToMaxsi(int maxs[3], const int p[3]) {
    for (int i = 0; i < 3; i++)
        if (p[i] > maxs[i]) maxs[i] = p[i];
}

void CreatePolygonBB(vec3_t mins, vec3_t maxs, const vec3_t a, const vec3_t b, const vec3_t c) {
    mins[0] = mins[1] = mins[2] = 100000000.0f;
    maxs[0] = maxs[1] = maxs[2] = -100000000.0f;
    const float *pts[3] = {a, b, c};
    for (const float *p : pts) {
        AddToMins(mins, p);
        AddToMaxs(maxs, p);
    }
}

float AngleBetweenVectors(const vec3_t a, const vec3_t b) {
    const float lens = VectorLength(a) * VectorLength(b);
    if (lens == 0) return 0;
    // Rounding can push the cosine of (anti)parallel vectors just past ±1.
    return Com_acos(_Clamp(_DotProduct(a, b) / lens, -1.0f, 1.0f)) * RAD2DEG;
}

float PointToLineDist(const vec3_t p, const vec3_t a, const vec3_t b) {
    vec3_t ab, ap, closest;
    _VectorSub(ab, b, a);
    _VectorSub(ap, p, a);
    const float len2 = _DotProduct(ab, ab);
    const float t = len2 == 0 ? 0.0f : _Saturate(_DotProduct(ap, ab) / len2);
    _VectorAddMultiple(closest, a, ab, t);
    return PointDistance(p, closest);
}

// ---- planes and points ----

float DistFromPointToPlane(const vec3_t p, const vec4_t plane) {
    return Com_fabs(_PointOnSideOfPlane(p, plane)) / VectorLength(plane);
}

float DistFromPointToNormalizedPlane(const vec3_t p, const vec4_t plane) {
    return Com_fabs(_PointOnSideOfPlane(p, plane));
}

// p − n̂·(scale·(n·p + d)/|n|): the shared body of projecting and mirroring.
static void OffsetAlongPlaneNormal(vec3_t out, const vec3_t p, const vec4_t plane, float scale) {
    const float len = VectorLength(plane);
    const float dist = _PointOnSideOfPlane(p, plane) / len;
    vec3_t n = {plane[0] / len, plane[1] / len, plane[2] / len};
    _VectorSubMultiple(out, p, n, scale * dist);
}

void ProjectPointOnPlane(vec3_t out, const vec3_t p, const vec4_t plane) {
    OffsetAlongPlaneNormal(out, p, plane, 1.0f);
}

void ProjectPointOnNormalizedPlane(vec3_t out, const vec3_t p, const vec4_t plane) {
    _VectorSubMultiple(out, p, plane, _PointOnSideOfPlane(p, plane));
}

void MirrorPoint(vec3_t out, const vec3_t p, const vec4_t plane) {
    OffsetAlongPlaneNormal(out, p, plane, 2.0f);
}

void NormalFrom3Points_normalized(vec3_t out, const vec3_t a, const vec3_t b, const vec3_t c) {
    NormalFrom3Points(out, a, b, c);
    VectorNormalize(out);
}

void NormalFrom3Points_normaized(vec3_t out, const vec3_t a, const vec3_t b, const vec3_t c) {
    NormalFrom3Points_normalized(out, a, b, c);
}

void PlaneFrom3Points(vec4_t out, const vec3_t a, const vec3_t b, const vec3_t c) {
    NormalFrom3Points(out, a, b, c);
    out[3] = -_DotProduct(out, a);
}

float PlaneFrom3Points_normalized(vec4_t out, const vec3_t a, const vec3_t b, const vec3_t c) {
    NormalFrom3Points(out, a, b, c);
    const float len = VectorNormalize(out);
    out[3] = -_DotProduct(out, a);
    return len;
}

// Normalised plane, reversed when p's side has the given sign.
static void PlaneFrom3PointsFacing(vec4_t out, const vec3_t a, const vec3_t b, const vec3_t c,
                                   const vec3_t p, float reverseSign) {
    PlaneFrom3Points_normalized(out, a, b, c);
    if (_PointOnSideOfPlane(p, out) * reverseSign > 0) {
        out[3] = _DotProduct(out, c);
        _VectorReverse(out);
    }
}

void PlaneFrom3Points_positiveSide(vec4_t out, const vec3_t a, const vec3_t b, const vec3_t c,
                                   const vec3_t p) {
    PlaneFrom3PointsFacing(out, a, b, c, p, -1.0f);
}

void PlaneFrom3Points_negativeSide(vec4_t out, const vec3_t a, const vec3_t b, const vec3_t c,
                                   const vec3_t p) {
    PlaneFrom3PointsFacing(out, a, b, c, p, 1.0f);
}

void PointOnPlane(vec3_t out, const vec4_t plane) {
    _VectorClear(out);
    if (plane[2] != 0)
        out[2] = -plane[3] / plane[2];
    else if (plane[1] != 0)
        out[1] = -plane[3] / plane[1];
    else if (plane[0] != 0)
        out[0] = -plane[3] / plane[0];
}

void TransformPoint(vec3_t out, const vec3_t p, const matrix3x3_t m, const vec3_t origin) {
    vec3_t r;
    VectorMatrixMultiply3x3(r, p, m);
    _VectorAdd(out, r, origin);
}

void TransformPlane(vec4_t out, const vec4_t plane, const matrix3x3_t m, const vec3_t point) {
    vec3_t n;
    VectorMatrixMultiply3x3(n, plane, m);
    _VectorCopy(out, n);
    out[3] = -_DotProduct(n, point);
}

void PerpendicularVector(vec3_t out, const vec3_t v) {
    const float ax = Com_fabs(v[0]), ay = Com_fabs(v[1]), az = Com_fabs(v[2]);
    if (!(ay < ax) && !(az < ax)) {
        out[0] = 0;
        out[1] = -v[2];
        out[2] = v[1];
    } else if (!(ax < ay) && !(az < ay)) {
        out[0] = -v[2];
        out[1] = 0;
        out[2] = v[0];
    } else {
        out[0] = -v[1];
        out[1] = v[0];
        out[2] = 0;
    }
    VectorNormalize(out);
}

void RotatePointAroundVector(vec3_t out, const vec3_t axis, const vec3_t p, float degrees) {
    // Frame F with rows axis, a perpendicular and their cross product; the
    // rotation about the frame's first axis, brought back: Fᵀ·Rx·F·p.
    matrix3x3_t frame, rot, tmp;
    _VectorCopy(frame, axis);
    PerpendicularVector(frame + 3, axis);
    _CrossProduct(frame + 6, axis, frame + 3);
    vec3_t local, turned;
    VectorMatrixMultiply3x3(local, p, frame);
    BuildRotationMatrix3x3_x(rot, degrees * DEG2RAD);
    VectorMatrixMultiply3x3(turned, local, rot);
    MatrixCopy3x3(tmp, frame);
    MatrixTranspose3x3(tmp);
    VectorMatrixMultiply3x3(out, turned, tmp);
}

void TangentsFrom3Points_normalized(vec3_t tangent, vec3_t bitangent, const vec3_t p0,
                                    const vec3_t p1, const vec3_t p2, const float uv0[2],
                                    const float uv1[2], const float uv2[2]) {
    vec3_t e1, e2;
    _VectorSub(e1, p1, p0);
    _VectorSub(e2, p2, p0);
    const float du1 = uv1[0] - uv0[0], dv1 = uv1[1] - uv0[1];
    const float du2 = uv2[0] - uv0[0], dv2 = uv2[1] - uv0[1];
    const float area = (du1 * dv2 - dv1 * du2) * 0.5f;
    if (area == 0) {
        _VectorClear(tangent);
        if (bitangent) _VectorClear(bitangent);
        return;
    }
    const float r = 2.0f / area;
    vec3_t t;
    _VectorScale(t, dv2 * r, e1);
    _VectorAddMultiple(tangent, t, e2, -dv1 * r);
    VectorNormalize(tangent);
    if (bitangent) {
        _VectorScale(t, -du2 * r, e1);
        _VectorAddMultiple(bitangent, t, e2, du1 * r);
        VectorNormalize(bitangent);
    }
}

// ---- matrices ----

void MatrixCopy3x3(matrix3x3_t out, const matrix3x3_t in) { memmove(out, in, sizeof(matrix3x3_t)); }
void MatrixCopy3x4(matrix3x4_t out, const matrix3x4_t in) { memmove(out, in, sizeof(matrix3x4_t)); }
void MatrixCopy4x4(matrix4x4_t out, const matrix4x4_t in) { memmove(out, in, sizeof(matrix4x4_t)); }

void MatrixCopy3x3To3x4(matrix3x4_t out, const matrix3x3_t m) {
    matrix3x4_t r;
    for (int i = 0; i < 3; i++) {
        r[i * 4 + 0] = m[i * 3 + 0];
        r[i * 4 + 1] = m[i * 3 + 1];
        r[i * 4 + 2] = m[i * 3 + 2];
        r[i * 4 + 3] = 0;
    }
    MatrixCopy3x4(out, r);
}

void MatrixCopy3x4To4x4(matrix4x4_t out, const matrix3x4_t m) {
    memmove(out, m, sizeof(matrix3x4_t));
    out[12] = out[13] = out[14] = 0;
    out[15] = 1;
}

void BuildIdentityMatrix3x3(matrix3x3_t out) { MatrixCopy3x3(out, identitymatrix3x3); }
void BuildIdentityMatrix3x4(matrix3x4_t out) { MatrixCopy3x4(out, identitymatrix3x4); }
void BuildIdentityMatrix4x4(matrix4x4_t out) { MatrixCopy4x4(out, identitymatrix4x4); }

void BuildScaleMatrix3x3(matrix3x3_t out, const vec3_t s) {
    memset(out, 0, sizeof(matrix3x3_t));
    out[0] = s[0];
    out[4] = s[1];
    out[8] = s[2];
}

void BuildScaleMatrix3x4(matrix3x4_t out, const vec3_t s) {
    memset(out, 0, sizeof(matrix3x4_t));
    out[0] = s[0];
    out[5] = s[1];
    out[10] = s[2];
}

void BuildScaleMatrix4x4(matrix4x4_t out, const vec3_t s) {
    memset(out, 0, sizeof(matrix4x4_t));
    out[0] = s[0];
    out[5] = s[1];
    out[10] = s[2];
    out[15] = 1;
}

void BuildTranslationMatrix3x4(matrix3x4_t out, const vec3_t t) {
    BuildIdentityMatrix3x4(out);
    out[3] = t[0];
    out[7] = t[1];
    out[11] = t[2];
}

void BuildTranslationMatrix4x4(matrix4x4_t out, const vec3_t t) {
    BuildIdentityMatrix4x4(out);
    out[3] = t[0];
    out[7] = t[1];
    out[11] = t[2];
}

// out = a·b for n×n row-major matrices; out may alias a or b.
static void MultiplySquare(float *out, const float *a, const float *b, int n) {
    float r[16];
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) {
            float s = 0;
            for (int k = 0; k < n; k++) s += a[i * n + k] * b[k * n + j];
            r[i * n + j] = s;
        }
    memcpy(out, r, sizeof(float) * n * n);
}

void MatrixMultiply3x3(matrix3x3_t out, const matrix3x3_t a, const matrix3x3_t b) {
    MultiplySquare(out, b, a, 3);
}

void MatrixMultiply3x4(matrix3x4_t out, const matrix3x4_t a, const matrix3x4_t b) {
    matrix3x4_t r;
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 4; j++) {
            float s = 0;
            for (int k = 0; k < 3; k++) s += a[i * 4 + k] * b[k * 4 + j];
            r[i * 4 + j] = s;
        }
        r[i * 4 + 3] += a[i * 4 + 3];
    }
    MatrixCopy3x4(out, r);
}

void MatrixMultiply4x4(matrix4x4_t out, const matrix4x4_t a, const matrix4x4_t b) {
    MultiplySquare(out, a, b, 4);
}

void VectorMatrixMultiply3x3(vec3_t out, const vec3_t v, const matrix3x3_t m) {
    vec3_t r;
    for (int i = 0; i < 3; i++) r[i] = m[i * 3 + 0] * v[0] + m[i * 3 + 1] * v[1] + m[i * 3 + 2] * v[2];
    _VectorCopy(out, r);
}

void VectorMatrixMultiply3x4(vec3_t out, const vec3_t p, const matrix3x4_t m) {
    vec3_t r;
    for (int i = 0; i < 3; i++)
        r[i] = m[i * 4 + 0] * p[0] + m[i * 4 + 1] * p[1] + m[i * 4 + 2] * p[2] + m[i * 4 + 3];
    _VectorCopy(out, r);
}

void Vector3MatrixMultiply4x4(vec3_t out, const vec3_t p, const matrix4x4_t m) {
    VectorMatrixMultiply3x4(out, p, m);
}

void Vector4MatrixMultiply4x4(vec4_t out, const vec4_t v, const matrix4x4_t m) {
    vec4_t r;
    for (int i = 0; i < 4; i++) r[i] = _DP4(m + i * 4, v);
    _PlaneCopy(out, r);
}

static void TransposeSquare(float *m, int n) {
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            const float t = m[i * n + j];
            m[i * n + j] = m[j * n + i];
            m[j * n + i] = t;
        }
}

void MatrixTranspose3x3(matrix3x3_t m) { TransposeSquare(m, 3); }
void MatrixTranspose4x4(matrix4x4_t m) { TransposeSquare(m, 4); }

void MatrixInverse3x3(matrix3x3_t m) {
    matrix3x3_t c;  // cofactors, already transposed (the adjugate)
    c[0] = m[4] * m[8] - m[5] * m[7];
    c[1] = m[2] * m[7] - m[1] * m[8];
    c[2] = m[1] * m[5] - m[2] * m[4];
    c[3] = m[5] * m[6] - m[3] * m[8];
    c[4] = m[0] * m[8] - m[2] * m[6];
    c[5] = m[2] * m[3] - m[0] * m[5];
    c[6] = m[3] * m[7] - m[4] * m[6];
    c[7] = m[1] * m[6] - m[0] * m[7];
    c[8] = m[0] * m[4] - m[1] * m[3];
    const float det = m[0] * c[0] + m[1] * c[3] + m[2] * c[6];
    if (det == 0) return;
    const float inv = 1.0f / det;
    for (int i = 0; i < 9; i++) m[i] = c[i] * inv;
}

// General 4×4 inverse by cofactors into out; false (out untouched) when the
// determinant is exactly 0.  The formula does not depend on row or column order.
static bool Inverse4x4(float out[16], const float m[16]) {
    float c[16];
    c[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] +
           m[9] * m[7] * m[14] + m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    c[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] -
           m[8] * m[7] * m[14] - m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    c[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] +
           m[8] * m[7] * m[13] + m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    c[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] -
            m[8] * m[6] * m[13] - m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    c[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] -
           m[9] * m[3] * m[14] - m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    c[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] +
           m[8] * m[3] * m[14] + m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    c[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] -
           m[8] * m[3] * m[13] - m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    c[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] +
            m[8] * m[2] * m[13] + m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    c[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] +
           m[5] * m[3] * m[14] + m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    c[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] -
           m[4] * m[3] * m[14] - m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    c[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] +
            m[4] * m[3] * m[13] + m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    c[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] -
            m[4] * m[2] * m[13] - m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    c[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] -
           m[5] * m[3] * m[10] - m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    c[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] +
           m[4] * m[3] * m[10] + m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    c[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] -
            m[4] * m[3] * m[9] - m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    c[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] +
            m[4] * m[2] * m[9] + m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    const float det = m[0] * c[0] + m[1] * c[4] + m[2] * c[8] + m[3] * c[12];
    if (det == 0) return false;
    const float inv = 1.0f / det;
    for (int i = 0; i < 16; i++) out[i] = c[i] * inv;
    return true;
}

void MatrixInverse3x4(matrix3x4_t m) {
    matrix4x4_t full, inv;
    MatrixCopy3x4To4x4(full, m);
    if (Inverse4x4(inv, full)) memcpy(m, inv, sizeof(matrix3x4_t));
}

void MatrixInverse4x4(matrix4x4_t m) { Inverse4x4(m, m); }

void BuildModelMatrix3x4(matrix3x4_t out, const matrix3x3_t rot, const vec3_t origin) {
    MatrixCopy3x3To3x4(out, rot);
    out[3] = origin[0];
    out[7] = origin[1];
    out[11] = origin[2];
}

void BuildModelMatrix4x4(matrix4x4_t out, const matrix3x3_t rot, const vec3_t origin) {
    vec3_t t;
    VectorMatrixMultiply3x3(t, origin, rot);
    matrix3x4_t m;
    BuildModelMatrix3x4(m, rot, t);
    MatrixCopy3x4To4x4(out, m);
}

void BuildRotationAroundPointMatrix3x4(matrix3x4_t out, const vec3_t centre, const vec3_t angles) {
    matrix3x4_t r, t, back;
    BuildRotationMatrix3x4(r, angles);
    const vec3_t negCentre = {-centre[0], -centre[1], -centre[2]};
    BuildTranslationMatrix3x4(back, negCentre);
    MatrixMultiply3x4(r, r, back);
    BuildTranslationMatrix3x4(t, centre);
    MatrixMultiply3x4(out, t, r);
}

void RotationPointAroundPoint(vec3_t out, const vec3_t p, const vec3_t centre, const vec3_t angles) {
    matrix3x4_t r;
    BuildRotationMatrix3x4(r, angles);
    vec3_t d;
    _VectorSub(d, p, centre);
    VectorMatrixMultiply3x4(d, d, r);
    _VectorAdd(out, d, centre);
}

void BuildProjectionMatrix4x4(matrix4x4_t out, float l, float r, float b, float t, float n,
                              float f) {
    memset(out, 0, sizeof(matrix4x4_t));
    out[0] = 2 * n / (r - l);
    out[2] = (r + l) / (r - l);
    out[5] = 2 * n / (t - b);
    out[6] = (t + b) / (t - b);
    out[10] = -(f + n) / (f - n);
    out[11] = -2 * f * n / (f - n);
    out[14] = -1;
}

void BuildModelViewProjMatrix4x4(matrix4x4_t out, float left, float right, float bottom,
                                 float top, float zNear, float zFar, const matrix3x3_t rot,
                                 const vec3_t origin) {
    matrix4x4_t model, proj, flip;
    BuildModelMatrix4x4(model, rot, origin);
    BuildProjectionMatrix4x4(proj, left, right, bottom, top, zNear, zFar);
    BuildIdentityMatrix4x4(flip);
    flip[10] = -1;
    MatrixMultiply4x4(flip, flip, model);
    MatrixMultiply4x4(out, proj, flip);
}

void BuildProj2DMatrix4x4(matrix4x4_t out, int x0, int x1, int y0, int y1) {
    const float fx0 = float(x0), fx1 = float(x1), fy0 = float(y0), fy1 = float(y1);
    memset(out, 0, sizeof(matrix4x4_t));
    out[0] = 2 / (fx1 - fx0);
    out[3] = -1 - 2 * fx0 / (fx1 - fx0);
    out[5] = 2 / (fy1 - fy0);
    out[7] = -1 - 2 * fy0 / (fy1 - fy0);
    out[10] = -1;
    out[15] = 1;
}

// ---- angles ----

void BuildRotationMatrix3x3_x(matrix3x3_t out, float radians) {
    const float c = Com_cos(radians), s = Com_sin(radians);
    const matrix3x3_t m = {1, 0, 0, 0, c, -s, 0, s, c};
    MatrixCopy3x3(out, m);
}

void BuildRotationMatrix3x3_y(matrix3x3_t out, float radians) {
    const float c = Com_cos(radians), s = Com_sin(radians);
    const matrix3x3_t m = {c, 0, s, 0, 1, 0, -s, 0, c};
    MatrixCopy3x3(out, m);
}

void BuildRotationMatrix3x3_z(matrix3x3_t out, float radians) {
    const float c = Com_cos(radians), s = Com_sin(radians);
    const matrix3x3_t m = {c, -s, 0, s, c, 0, 0, 0, 1};
    MatrixCopy3x3(out, m);
}

void BuildRotationMatrix3x3(matrix3x3_t out, const vec3_t angles) {
    matrix3x3_t rx, ry, rz;
    BuildRotationMatrix3x3_x(rx, angles[1] * DEG2RAD);
    BuildRotationMatrix3x3_y(ry, angles[2] * DEG2RAD);
    BuildRotationMatrix3x3_z(rz, angles[0] * DEG2RAD);
    MultiplySquare(rx, rx, rz, 3);
    MultiplySquare(out, ry, rx, 3);
}

// Rz(angles[0])·Rx(angles[1])·Ry(angles[2]), from the library's or the portable trigonometry.
static void RotationZXY(matrix3x3_t out, const vec3_t angles, bool portable) {
    float s[3], c[3];
    for (int i = 0; i < 3; i++) {
        const float a = angles[i] * DEG2RAD;
        s[i] = portable ? Com_sinPortable(a) : Com_sin(a);
        c[i] = portable ? Com_cosPortable(a) : Com_cos(a);
    }
    const matrix3x3_t rz = {c[0], -s[0], 0, s[0], c[0], 0, 0, 0, 1};
    const matrix3x3_t rx = {1, 0, 0, 0, c[1], -s[1], 0, s[1], c[1]};
    const matrix3x3_t ry = {c[2], 0, s[2], 0, 1, 0, -s[2], 0, c[2]};
    matrix3x3_t xy;
    MultiplySquare(xy, rx, ry, 3);
    MultiplySquare(out, rz, xy, 3);
}

void BuildRotationMatrix3x3Portable(matrix3x3_t out, const vec3_t angles) { RotationZXY(out, angles, true); }

void BuildRotationMatrix3x4(matrix3x4_t out, const vec3_t angles) {
    matrix3x3_t r;
    RotationZXY(r, angles, false);
    MatrixCopy3x3To3x4(out, r);
}

void BuildRotationMatrix4x4(matrix4x4_t out, const vec3_t angles) {
    matrix3x4_t r;
    BuildRotationMatrix3x4(r, angles);
    MatrixCopy3x4To4x4(out, r);
}

void BuildArbitraryRotation(matrix3x3_t out, const matrix3x3_t frame, const vec3_t angles) {
    matrix3x3_t r, ft;
    BuildRotationMatrix3x3(r, angles);
    MatrixCopy3x3(ft, frame);
    MatrixTranspose3x3(ft);
    MultiplySquare(r, r, ft, 3);
    MultiplySquare(out, frame, r, 3);
}

void AnglesToVectors(vec3_t right, vec3_t up, vec3_t forward, const vec3_t angles) {
    matrix3x3_t m;
    BuildRotationMatrix3x3(m, angles);
    _VectorCopy(right, m);
    _VectorCopy(up, m + 3);
    _VectorCopy(forward, m + 6);
}

void AnglesToForward(vec3_t forward, const vec3_t angles) {
    matrix3x3_t m;
    BuildRotationMatrix3x3(m, angles);
    _VectorCopy(forward, m + 6);
}

void AnglesToVectorsInvert(vec3_t c0, vec3_t c1, vec3_t c2, const vec3_t angles) {
    matrix3x3_t m;
    BuildRotationMatrix3x3(m, angles);
    MatrixTranspose3x3(m);
    _VectorCopy(c0, m);
    _VectorCopy(c1, m + 3);
    _VectorCopy(c2, m + 6);
}

void AnglesToForwardInvert(vec3_t v, const vec3_t angles) {
    matrix3x3_t m;
    BuildRotationMatrix3x3(m, angles);
    v[0] = m[2];
    v[1] = m[5];
    v[2] = m[8];
}

void MatrixToAngles(vec3_t angles, const matrix3x3_t m) {
    // Rounding can leave the sine just past ±1; asin would then give not-a-number.
    angles[1] = -MATRIX_RAD2DEG * Com_asin(_Clamp(m[5], -1.0f, 1.0f));
    angles[0] = -MATRIX_RAD2DEG * Com_atan2(-m[3], m[4]);
    angles[2] = -MATRIX_RAD2DEG * Com_atan2(-m[2], m[8]);
}

void VectorToAngles(vec3_t angles, const vec3_t v) {
    angles[0] = 0;
    if (v[0] == 0 && v[2] == 0) {
        angles[2] = 0;
        angles[1] = v[1] > 0 ? -90.0f : 90.0f;
        return;
    }
    angles[2] = Com_atan2(v[2], v[0]) * RAD2DEG - 90.0f;
    angles[1] = -RAD2DEG * Com_asin(_Clamp(v[1] / VectorLength(v), -1.0f, 1.0f));
}
