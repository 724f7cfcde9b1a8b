#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "common/com_geometry.h"

namespace {

mplane_t MakePlane(float x, float y, float z, float dist) {
    mplane_t p = {{x, y, z}, dist, 0};
    CM_SetupMPlaneSignBits(&p);
    return p;
}

// The six faces of [lo, hi]³ with outward normals: the inside is the negative side.
void CubePlanes(mplane_t out[6], float lo, float hi) {
    out[0] = MakePlane(1, 0, 0, -hi);
    out[1] = MakePlane(-1, 0, 0, lo);
    out[2] = MakePlane(0, 1, 0, -hi);
    out[3] = MakePlane(0, -1, 0, lo);
    out[4] = MakePlane(0, 0, 1, -hi);
    out[5] = MakePlane(0, 0, -1, lo);
}

obb_t MakeOBB(const vec3_t origin, const vec3_t half, const vec3_t angles) {
    obb_t b;
    _VectorCopy(b.origin, origin);
    _VectorCopy(b.halfSize, half);
    matrix3x3_t m;
    BuildRotationMatrix3x3(m, angles);
    for (int i = 0; i < 3; i++) _VectorCopy(b.axis[i], m + 3 * i);
    MatrixCopy3x3(b.axisT, m);
    MatrixTranspose3x3(b.axisT);
    return b;
}

TEST(Geometry, BoxesAndPointsTouchingCount) {
    const vec3_t a0 = {0, 0, 0}, a1 = {1, 1, 1};
    const vec3_t faceB0 = {1, 0, 0}, faceB1 = {2, 1, 1};
    const vec3_t apartB0 = {1.001f, 0, 0}, apartB1 = {2, 1, 1};
    EXPECT_EQ(CM_AABBToAABB(a0, a1, faceB0, faceB1), 1);
    EXPECT_EQ(CM_AABBToAABB(a0, a1, apartB0, apartB1), 0);
    const vec3_t onFace = {1, 0.5f, 0.5f}, corner = {0, 0, 0}, out = {0.5f, -0.001f, 0.5f};
    EXPECT_EQ(CM_PointToAABB(onFace, a0, a1), 1);
    EXPECT_EQ(CM_PointToAABB(corner, a0, a1), 1);
    EXPECT_EQ(CM_PointToAABB(out, a0, a1), 0);
}

TEST(Geometry, SignBitsCountZeroAsNonNegative) {
    const struct {
        vec3_t n;
        int bits;
    } cases[] = {{{1, 1, 1}, 7}, {{-1, -1, -1}, 0}, {{0, 0, 0}, 7}, {{-0.7f, 0, 0.7f}, 6}, {{1, -1, 0}, 5}};
    for (const auto &c : cases) {
        mplane_t p = MakePlane(c.n[0], c.n[1], c.n[2], 0);
        EXPECT_EQ(p.signbits, c.bits);
    }
}

TEST(Geometry, BoxAgainstPlanesTable) {
    const vec3_t mins = {0, 0, 0}, maxs = {1, 1, 1};
    const struct {
        mplane_t plane;
        int side;
    } cases[] = {
        {MakePlane(1, 0, 0, 1), 1},      // x + 1: all positive
        {MakePlane(1, 0, 0, -2), 2},     // x − 2: all negative
        {MakePlane(1, 0, 0, -0.5f), 3},  // crossing
        {MakePlane(1, 0, 0, -1), 3},     // touching at dmax = 0
        {MakePlane(-1, 0, 0, 0), 3},     // touching at dmax = 0, reversed normal
        {MakePlane(1, 1, 1, 0.001f), 1},
        {MakePlane(-1, -1, -1, -0.001f), 2},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(CM_AABBToMPlane(mins, maxs, &c.plane), c.side);
        EXPECT_EQ(CM_AABBToClipPlanes(mins, maxs, 1, &c.plane), c.side);
    }
    EXPECT_EQ(CM_AABBToClipPlanes(mins, maxs, 0, nullptr), 1);
    const mplane_t crossThenOutside[2] = {MakePlane(1, 0, 0, -0.5f), MakePlane(1, 0, 0, -2)};
    EXPECT_EQ(CM_AABBToClipPlanes(mins, maxs, 2, crossThenOutside), 2);
    const mplane_t insideThenCross[2] = {MakePlane(1, 0, 0, 1), MakePlane(0, 1, 0, -0.5f)};
    EXPECT_EQ(CM_AABBToClipPlanes(mins, maxs, 2, insideThenCross), 3);
}

TEST(Geometry, PointAndSphereAgainstClipPlanes) {
    const mplane_t planes[2] = {MakePlane(1, 0, 0, 0), MakePlane(0, 1, 0, 0)};
    const vec3_t onPlane = {0, 1, 0}, behind = {-0.5f, 1, 0};
    EXPECT_EQ(CM_PointToClipPlanes(onPlane, 2, planes), 1);
    EXPECT_EQ(CM_PointToClipPlanes(behind, 2, planes), 0);
    EXPECT_EQ(CM_SphereToClipPlanes(behind, 0.5f, 2, planes), 1);  // exactly −radius: kept
    EXPECT_EQ(CM_SphereToClipPlanes(behind, 0.4f, 2, planes), 0);
}

TEST(Geometry, SegmentToPlane) {
    const vec4_t plane = {0, 0, 1, -1};  // z = 1
    const vec3_t s = {0, 0, 0}, endOn = {0, 0, 1}, endPast = {0, 0, 4};
    float f = 2;
    vec3_t hit;
    EXPECT_EQ(CM_LineSegmentToPlane(s, endOn, plane, &f, hit), 1);
    EXPECT_EQ(f, 1);
    f = 0.25f;  // a hit exactly at the incoming fraction is refused
    EXPECT_EQ(CM_LineSegmentToPlane(s, endPast, plane, &f, hit), 0);
    f = 0.3f;
    EXPECT_EQ(CM_LineSegmentToPlane(s, endPast, plane, &f, hit), 1);
    EXPECT_EQ(f, 0.25f);
    EXPECT_EQ(hit[2], 1);
    const vec3_t inA = {0, 0, 1}, inB = {5, 0, 1};  // lying in the plane
    f = 2;
    EXPECT_EQ(CM_LineSegmentToPlane(inA, inB, plane, &f, hit), 0);
    double fd = 1, hitd[3];
    EXPECT_EQ(CM_LineSegmentToPlaneDouble(s, endPast, plane, &fd, hitd), 1);
    EXPECT_DOUBLE_EQ(fd, 0.25);
    EXPECT_DOUBLE_EQ(hitd[2], 1);
    EXPECT_EQ(CM_LineSegmentToPlaneDouble(inA, inB, plane, &fd, hitd), 0);
}

// Which tests accept a hit at exactly the incoming fraction.
TEST(Geometry, HitAtTheIncomingFraction) {
    vec3_t contact;
    // Moving sphere to plane: y = 0, from y = 5 to −5, radius 1 → t = 0.4.
    const vec4_t ground = {0, 1, 0, 0};
    const vec3_t c0 = {0, 5, 0}, c1 = {0, -5, 0};
    float f = 0.4f;
    EXPECT_EQ(CM_MovingSphereToPlane(c0, c1, 1, ground, &f, contact), 0);
    f = 1;
    EXPECT_EQ(CM_MovingSphereToPlane(c0, c1, 1, ground, &f, contact), 1);
    EXPECT_FLOAT_EQ(f, 0.4f);
    EXPECT_NEAR(contact[1], 0, 1e-6f);

    // Segment to sphere: 10 long, hits the unit sphere after 4.
    const vec3_t start = {-5, 0, 0}, dir = {1, 0, 0};
    f = 0.4f;
    EXPECT_EQ(CM_LineSegmentToSphere(start, dir, 0.1f, zerovector, 1, &f), 0);
    f = 1;
    EXPECT_EQ(CM_LineSegmentToSphere(start, dir, 0.1f, zerovector, 1, &f), 1);
    EXPECT_FLOAT_EQ(f, 0.4f);

    // Cylinder side: accepted at the fraction.
    const vec3_t p = {0, 0, 0}, q = {0, 0, 10};
    const vec3_t across0 = {-5, 0, 5}, across1 = {5, 0, 5};
    f = 0.4f;
    EXPECT_EQ(CM_LineSegmentToCylinderNoEndCaps(across0, across1, p, q, 1, &f), 1);
    EXPECT_FLOAT_EQ(f, 0.4f);
    // Parallel to the axis: refused at the fraction.
    const vec3_t along0 = {0.5f, 0, -5}, along1 = {0.5f, 0, 5};
    f = 0.5f;
    EXPECT_EQ(CM_LineSegmentToCylinderNoEndCaps(along0, along1, p, q, 1, &f), 0);
    f = 0.6f;
    EXPECT_EQ(CM_LineSegmentToCylinderNoEndCaps(along0, along1, p, q, 1, &f), 1);
    EXPECT_FLOAT_EQ(f, 0.5f);
    const vec3_t outside0 = {2, 0, -5}, outside1 = {2, 0, 5};
    f = 1;
    EXPECT_EQ(CM_LineSegmentToCylinderNoEndCaps(outside0, outside1, p, q, 1, &f), 0);
    const vec3_t beyond0 = {-5, 0, 11}, beyond1 = {5, 0, 12};
    EXPECT_EQ(CM_LineSegmentToCylinderNoEndCaps(beyond0, beyond1, p, q, 1, &f), 0);

    // Polyhedron: accepted at the fraction.
    mplane_t cube[6];
    CubePlanes(cube, 0, 1);
    const vec3_t s = {-1, 0.5f, 0.5f}, e = {2, 0.5f, 0.5f};
    f = 1.0f / 3.0f;
    const mplane_t *entered = nullptr;
    EXPECT_EQ(CM_LineSegmentToPolyhedron(s, e, 6, cube, &f, &entered), 1);
    EXPECT_EQ(entered, &cube[1]);
}

TEST(Geometry, OverlappingStartsGiveFractionZero) {
    const vec3_t a0 = {0, 0, 0}, a1 = {10, 0, 0}, b0 = {1.5f, 0, 0}, b1 = {1.5f, 0, 0};
    float f = 0.7f;
    EXPECT_EQ(CM_MovingSphereToMovingSphere(a0, a1, 1, b0, b1, 1, &f), 1);
    EXPECT_EQ(f, 0);
    const vec3_t far0 = {5, 0, 0};
    EXPECT_EQ(CM_MovingSphereToMovingSphere(a0, a1, 1, far0, far0, 1, &f), 1);
    EXPECT_FLOAT_EQ(f, 0.3f);
    EXPECT_EQ(CM_MovingSphereToMovingSphere(a0, a0, 1, far0, far0, 1, &f), 0);  // no motion
    EXPECT_EQ(CM_MovingSphereToMovingSphere(far0, a1, 1, a0, a0, 1, &f), 0);    // apart

    const vec4_t ground = {0, 1, 0, 0};
    const vec3_t c0 = {1, 0.5f, 2}, c1 = {1, 9, 2};
    vec3_t contact;
    f = 0.5f;
    EXPECT_EQ(CM_MovingSphereToPlane(c0, c1, 1, ground, &f, contact), 1);
    EXPECT_EQ(f, 0);
    EXPECT_TRUE(_VectorCmp(contact, c0));
}

TEST(Geometry, PolyhedronEntryAndParallelSegments) {
    mplane_t cube[6];
    CubePlanes(cube, 0, 1);
    const mplane_t *entered = &cube[0];
    float f = 1;
    const vec3_t inside = {0.5f, 0.5f, 0.5f}, far = {3, 0.5f, 0.5f};
    EXPECT_EQ(CM_LineSegmentToPolyhedron(inside, far, 6, cube, &f, &entered), 1);
    EXPECT_EQ(f, 0);
    EXPECT_EQ(entered, nullptr);
    // Parallel to the y faces: outside them it can never enter, inside it does.
    const vec3_t out0 = {-1, 2, 0.5f}, out1 = {2, 2, 0.5f};
    f = 1;
    EXPECT_EQ(CM_LineSegmentToPolyhedron(out0, out1, 6, cube, &f, nullptr), 0);
    const vec3_t in0 = {-1, 0.5f, 0.5f}, in1 = {2, 0.5f, 0.5f};
    EXPECT_EQ(CM_LineSegmentToPolyhedron(in0, in1, 6, cube, &f, nullptr), 1);
    EXPECT_FLOAT_EQ(f, 1.0f / 3.0f);
    const vec3_t miss0 = {-1, 0.5f, 0.5f}, miss1 = {0.5f, 3, 0.5f};  // passes the corner
    f = 1;
    EXPECT_EQ(CM_LineSegmentToPolyhedron(miss0, miss1, 6, cube, &f, nullptr), 0);
    const vec3_t short0 = {-1, 0.5f, 0.5f}, short1 = {-0.5f, 0.5f, 0.5f};  // stops short
    EXPECT_EQ(CM_LineSegmentToPolyhedron(short0, short1, 6, cube, &f, nullptr), 0);
}

TEST(Geometry, PointInsideTriangleTable) {
    const vec3_t a = {0, 0, 0}, b = {4, 0, 0}, c = {0, 4, 0}, n = {0, 0, 1};
    const vec4_t plane = {0, 0, 2, 0};  // unnormalised on purpose
    const vec4_t zeroPlane = {0, 0, 0, 0};
    const struct {
        vec3_t p;
        int inside;
    } cases[] = {
        {{1, 1, 0}, 1},     {{2, 0, 0}, 1},  // on edge ab
        {{2, 2, 0}, 1},                      // on edge bc
        {{0, 0, 0}, 1},                      // a vertex
        {{5, 0, 0}, 0},                      // in the plane beyond an edge
        {{3, 3, 0}, 0},     {{-0.1f, 1, 0}, 0},
        {{1, 1, 7}, 1},                      // above: only the projection counts
    };
    for (const auto &cs : cases) {
        EXPECT_EQ(CM_PointInsideTriangle(cs.p, a, b, c, n), cs.inside) << cs.p[0] << "," << cs.p[1];
        const double pd[3] = {cs.p[0], cs.p[1], cs.p[2]};
        EXPECT_EQ(CM_PointInsideTriangleDouble(pd, a, b, c, plane), cs.inside);
        EXPECT_EQ(CM_PointInsideTriangleDouble(pd, a, b, c, zeroPlane), 0);
    }
}

TEST(Geometry, ClosestPointOnTriangleMatchesADenseSearch) {
    const vec3_t a = {0, 0, 0}, b = {4, 0, 1}, c = {1, 3, -1};
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-6, 8);
    for (int k = 0; k < 50; k++) {
        const vec3_t p = {u(rng), u(rng), u(rng)};
        vec3_t got;
        CM_ClosestPointOnTriangle(got, a, b, c, p);
        float best = 1e30f;
        for (int i = 0; i <= 200; i++)
            for (int j = 0; i + j <= 200; j++) {
                const float s = i / 200.0f, t = j / 200.0f;
                vec3_t q;
                for (int x = 0; x < 3; x++) q[x] = a[x] + (b[x] - a[x]) * s + (c[x] - a[x]) * t;
                best = std::min(best, PointDistance(p, q));
            }
        EXPECT_LE(PointDistance(p, got), best + 1e-4f);
        EXPECT_GE(PointDistance(p, got), best - 0.05f);
    }
}

TEST(Geometry, IntersectionOfThreePlanes) {
    const vec4_t x = {1, 0, 0, -1}, y = {0, 1, 0, -2}, z = {0, 0, 2, -6}, x2 = {2, 0, 0, 5};
    vec3_t p;
    EXPECT_EQ(CM_IntersectionPlanes(p, x, y, z), 1);
    EXPECT_FLOAT_EQ(p[0], 1);
    EXPECT_FLOAT_EQ(p[1], 2);
    EXPECT_FLOAT_EQ(p[2], 3);
    EXPECT_EQ(CM_IntersectionPlanes(p, x, y, x2), 0);
}

TEST(Geometry, ClipPolygon) {
    polygon_t sq = {4, {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}}};
    const vec4_t keepAll = {1, 0, 0, 1};
    polygon_t same = sq;
    Com_ClipPolygon(&same, 1, &keepAll);
    ASSERT_EQ(same.numPoints, 4);
    EXPECT_EQ(memcmp(same.points, sq.points, sizeof(vec3_t) * 4), 0);

    const vec4_t half[2] = {{-1, 0, 0, 1}, {0, 1, 0, 0}};  // x ≤ 1, then y ≥ 0 (no change)
    polygon_t cut = sq;
    Com_ClipPolygon(&cut, 2, half);
    ASSERT_EQ(cut.numPoints, 4);
    float area2 = 0;  // twice the signed area
    for (int i = 0; i < 4; i++) {
        const float *p = cut.points[i], *q = cut.points[(i + 1) % 4];
        area2 += p[0] * q[1] - q[0] * p[1];
        EXPECT_LE(p[0], 1);
    }
    EXPECT_FLOAT_EQ(area2, 4);

    // A vertex exactly on the plane is kept once.
    const vec4_t diag = {-1, -1, 0, 2};  // x + y ≤ 2
    polygon_t tri = sq;
    Com_ClipPolygon(&tri, 1, &diag);
    EXPECT_EQ(tri.numPoints, 3);

    const vec4_t none = {1, 0, 0, -10};
    polygon_t gone = sq;
    Com_ClipPolygon(&gone, 1, &none);
    EXPECT_EQ(gone.numPoints, 0);

    polygon_t untouched = sq;
    Com_ClipPolygon(&untouched, 0, nullptr);
    EXPECT_EQ(untouched.numPoints, 4);
}

TEST(Geometry, ClipPolygonNeverOverrunsItsCapacity) {
    // A 16-point zigzag crossed by a plane through every tooth: each edge makes a
    // crossing, so one stage would need 24 points.
    polygon_t zig;
    zig.numPoints = POLYGON_MAX_POINTS;
    for (int i = 0; i < POLYGON_MAX_POINTS; i++) {
        zig.points[i][0] = float(i);
        zig.points[i][1] = (i % 2) ? 1.0f : -1.0f;
        zig.points[i][2] = 0;
    }
    const vec4_t cutY = {0, 1, 0, 0};
    Com_ClipPolygon(&zig, 1, &cutY);
    EXPECT_EQ(zig.numPoints, 0);

    polygon_t bad = {};
    bad.numPoints = POLYGON_MAX_POINTS + 1;
    Com_ClipPolygon(&bad, 1, &cutY);
    EXPECT_EQ(bad.numPoints, 0);
}

// Overlap by another road: clip the triangle by the box's six faces.
int TriBoxByClipping(const vec3_t a, const vec3_t b, const vec3_t c, const obb_t &box) {
    polygon_t poly = {3, {}};
    _VectorCopy(poly.points[0], a);
    _VectorCopy(poly.points[1], b);
    _VectorCopy(poly.points[2], c);
    vec4_t planes[6];
    for (int i = 0; i < 3; i++) {
        const float d = _DotProduct(box.axis[i], box.origin);
        for (int s = 0; s < 2; s++) {
            float *pl = planes[i * 2 + s];
            const float sign = s ? -1.0f : 1.0f;
            _VectorScale(pl, sign, box.axis[i]);
            pl[3] = -sign * d + box.halfSize[i];
        }
    }
    Com_ClipPolygon(&poly, 6, planes);
    return poly.numPoints > 0;
}

TEST(Geometry, TriangleBoxOverlapAgreesWithClipping) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> pos(-3, 3), ang(-180, 180), size(0.2f, 1.5f);
    int hits = 0, misses = 0;
    for (int k = 0; k < 4000; k++) {
        const vec3_t origin = {pos(rng) * 0.3f, pos(rng) * 0.3f, pos(rng) * 0.3f};
        const vec3_t half = {size(rng), size(rng), size(rng)};
        const vec3_t angles = {ang(rng), ang(rng), ang(rng)};
        const obb_t box = MakeOBB(origin, half, angles);
        const vec3_t a = {pos(rng), pos(rng), pos(rng)}, b = {pos(rng), pos(rng), pos(rng)},
                     c = {pos(rng), pos(rng), pos(rng)};
        const int expect = TriBoxByClipping(a, b, c, box);
        EXPECT_EQ(CM_TriangleToOBB(a, b, c, &box), expect) << "case " << k;
        (expect ? hits : misses)++;
    }
    EXPECT_GT(hits, 400);
    EXPECT_GT(misses, 400);
}

TEST(Geometry, OBBToOBBTable) {
    const vec3_t half = {1, 1, 1}, noTurn = {0, 0, 0}, turn45 = {0, 0, 45}, turnZ = {45, 0, 0};
    const vec3_t turnAll = {45, 45, 0};
    const obb_t unit = MakeOBB(zerovector, half, noTurn);
    const struct {
        vec3_t origin;
        const float *angles;
        int overlap;
    } cases[] = {
        {{2, 0, 0}, noTurn, 1},      // sharing a face
        {{2.01f, 0, 0}, noTurn, 0},  // a's axis separates
        {{2.3f, 0, 0}, turn45, 1},   // a corner reaches in (1 + √2 > 2.3)
        {{2.5f, 0, 0}, turn45, 0},   // b's axis separates
        {{1.9f, 1.9f, 0}, turnZ, 0},   // diagonal gap: b's axis separates
        {{0.5f, 0.5f, 0.5f}, turnAll, 1},
    };
    for (const auto &c : cases) {
        const obb_t other = MakeOBB(c.origin, half, c.angles);
        EXPECT_EQ(CM_OBBToOBB(&unit, &other), c.overlap) << c.origin[0] << "," << c.origin[1];
        EXPECT_EQ(CM_OBBToOBB(&other, &unit), c.overlap);
    }
}

bool CentreInside(const obb_t &box, const vec3_t p) {
    vec3_t d;
    _VectorSub(d, p, box.origin);
    for (int i = 0; i < 3; i++)
        if (Com_fabs(_DotProduct(d, box.axis[i])) > box.halfSize[i]) return false;
    return true;
}

// Overlap by another road: some face triangle of b meets a, or one box holds the
// other's centre (one inside the other).
int OBBByTriangles(const obb_t &a, const obb_t &b) {
    if (CentreInside(a, b.origin) || CentreInside(b, a.origin)) return 1;
    for (int i = 0; i < 3; i++)
        for (float s : {-1.0f, 1.0f}) {
            const int j = (i + 1) % 3, k = (i + 2) % 3;
            vec3_t corner[4];
            const float sj[4] = {-1, 1, 1, -1}, sk[4] = {-1, -1, 1, 1};
            for (int n = 0; n < 4; n++) {
                _VectorAddMultiple(corner[n], b.origin, b.axis[i], s * b.halfSize[i]);
                _VectorAddMultiple(corner[n], corner[n], b.axis[j], sj[n] * b.halfSize[j]);
                _VectorAddMultiple(corner[n], corner[n], b.axis[k], sk[n] * b.halfSize[k]);
            }
            if (CM_TriangleToOBB(corner[0], corner[1], corner[2], &a) ||
                CM_TriangleToOBB(corner[0], corner[2], corner[3], &a))
                return 1;
        }
    return 0;
}

TEST(Geometry, OBBToOBBAgreesWithFaceTriangles) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> pos(-2.5f, 2.5f), ang(-180, 180), size(0.05f, 1.5f);
    int hits = 0, misses = 0;
    for (int k = 0; k < 3000; k++) {
        const vec3_t o = {pos(rng), pos(rng), pos(rng)}, h1 = {size(rng), size(rng), size(rng)},
                     h2 = {size(rng), size(rng), size(rng)};
        const vec3_t a1 = {ang(rng), ang(rng), ang(rng)}, a2 = {ang(rng), ang(rng), ang(rng)};
        const obb_t a = MakeOBB(zerovector, h1, a1), b = MakeOBB(o, h2, a2);
        const int expect = OBBByTriangles(a, b);
        // The test's epsilon may call boxes that nearly touch overlapping: skip
        // cases that a change of half size by 0.1 per cent decides.
        vec3_t grown, shrunk;
        _VectorScale(grown, 1.001f, h2);
        _VectorScale(shrunk, 0.999f, h2);
        if (OBBByTriangles(a, MakeOBB(o, grown, a2)) != OBBByTriangles(a, MakeOBB(o, shrunk, a2)))
            continue;
        EXPECT_EQ(CM_OBBToOBB(&a, &b), expect) << "case " << k;
        (expect ? hits : misses)++;
    }
    EXPECT_GT(hits, 300);
    EXPECT_GT(misses, 300);
}

TEST(Geometry, LerpOBBNormalisesAxesAndRebuildsTranspose) {
    const vec3_t half0 = {1, 1, 1}, half1 = {3, 1, 1}, o1 = {2, 0, 0};
    const vec3_t a0 = {0, 0, 0}, a1 = {0, 0, 90};
    const obb_t from = MakeOBB(zerovector, half0, a0), to = MakeOBB(o1, half1, a1);
    obb_t mid;
    CM_LerpOBB(&mid, &from, &to, 0.5f);
    EXPECT_FLOAT_EQ(mid.origin[0], 1);
    EXPECT_FLOAT_EQ(mid.halfSize[0], 2);
    for (int i = 0; i < 3; i++) {
        EXPECT_NEAR(VectorLength(mid.axis[i]), 1, 1e-6f);
        for (int j = 0; j < 3; j++) EXPECT_EQ(mid.axisT[j * 3 + i], mid.axis[i][j]);
    }
}

TEST(Geometry, OcclusionConeHidesWhatIsBehindTheSphere) {
    occCone_t cone;
    const vec3_t inside = {0.5f, 0, 0};
    CM_GetOccCone(&cone, inside, 1);
    EXPECT_EQ(cone.numPlanes, 0);

    const vec3_t apex = {10, 0, 0};
    CM_GetOccCone(&cone, apex, 2);
    ASSERT_EQ(cone.numPlanes, OCC_CONE_PLANES);
    auto sides = [&](const vec3_t p) {
        int pos = 0;
        for (int i = 0; i < cone.numPlanes; i++)
            pos += _DotProduct(cone.planes[i].normal, p) + cone.planes[i].dist > 0;
        return pos;
    };
    const vec3_t hidden = {-5, 0.5f, 0}, beside = {-5, 4, 0}, front = {5, 0, 0};
    const int h = sides(hidden);
    EXPECT_TRUE(h == 0 || h == OCC_CONE_PLANES);
    EXPECT_NE(sides(beside), h);
    EXPECT_NE(sides(front), h);
    for (int i = 0; i < cone.numPlanes; i++) {
        EXPECT_NEAR(VectorLength(cone.planes[i].normal), 1, 1e-5f);
        EXPECT_GE(cone.planes[i].signbits, 0);
        EXPECT_LE(cone.planes[i].signbits, 7);
    }
}

}  // namespace
