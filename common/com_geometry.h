// Geometric tests: collision and culling.
//
// Planes against boxes, points, spheres and segments; boxes against boxes;
// triangles against oriented boxes; moving spheres; segments against convex
// polyhedra and cylinders; the meeting point of three planes; convex polygon
// clipping; the occlusion cone of a sphere.  Every routine is a pure function:
// no state, no allocation, no messages.
//
// Hit tests take an in/out fraction: they report a hit only when it is nearer
// than the fraction passed in, and then lower it.  Whether a hit at exactly
// that fraction counts differs per test and is stated on each.
#pragma once

#include <cstdint>

#include "common/com_vector.h"

constexpr int POLYGON_MAX_POINTS = 16;  // points of a polygon_t, also per clipping stage
constexpr int OCC_CONE_PLANES = 16;     // 15 side planes and the plane of the tangent circle

// A plane with the sign bits that let box tests pick extreme corners directly.
struct mplane_t {
    vec3_t normal;
    float dist;        // constant term: signed distance = normal·p + dist
    int32_t signbits;  // bit 0: normal.x ≥ 0, bit 1: y, bit 2: z
};
static_assert(sizeof(mplane_t) == 20, "five words: the frustum record stores planes in place");

// Oriented box.  Callers fill the first fifteen floats; axisT is working form.
struct obb_t {
    vec3_t origin;    // centre
    vec3_t halfSize;  // half extents along the box's own axes
    vec3_t axis[3];   // unit axes, the rows of the rotation from world to box frame
    matrix3x3_t axisT;
};
static_assert(sizeof(obb_t) == 24 * sizeof(float), "obb_t is 24 floats");

struct polygon_t {
    int numPoints;
    vec3_t points[POLYGON_MAX_POINTS];
};

struct occCone_t {
    int numPlanes;
    mplane_t planes[OCC_CONE_PLANES];
};

// 1 when the boxes overlap on all three axes; touching counts.
int CM_AABBToAABB(const vec3_t minsA, const vec3_t maxsA, const vec3_t minsB, const vec3_t maxsB);
// 1 when mins ≤ point ≤ maxs on every axis.
int CM_PointToAABB(const vec3_t point, const vec3_t mins, const vec3_t maxs);
// Sets signbits from the normal (zero counts as non-negative).
void CM_SetupMPlaneSignBits(mplane_t *plane);
// 1 wholly on the positive side, 2 wholly on the negative side, 3 crossing or touching.
int CM_AABBToMPlane(const vec3_t mins, const vec3_t maxs, const mplane_t *plane);
// 1 inside all planes, 2 wholly outside one, 3 crossing at least one and outside none.
int CM_AABBToClipPlanes(const vec3_t mins, const vec3_t maxs, int count, const mplane_t planes[]);
// 0 when the point is strictly on the negative side of any plane, else 1.
int CM_PointToClipPlanes(const vec3_t point, int count, const mplane_t planes[]);
// 0 when normal·centre + dist < −radius for any plane, else 1.
int CM_SphereToClipPlanes(const vec3_t centre, float radius, int count, const mplane_t planes[]);
// 1 when the segment crosses the plane strictly nearer than *fraction; updates
// *fraction and hit.
int CM_LineSegmentToPlane(const vec3_t start, const vec3_t end, const vec4_t plane,
                          float *fraction, vec3_t hit);
// The same computed in double precision.
int CM_LineSegmentToPlaneDouble(const vec3_t start, const vec3_t end, const vec4_t plane,
                                double *fraction, double hit[3]);
// 1 when the point's projection lies inside the triangle or on its edges.
int CM_PointInsideTriangle(const vec3_t point, const vec3_t a, const vec3_t b, const vec3_t c,
                           const vec3_t normal);
// The same in double, normal taken from the plane and normalised; 0 for a zero normal.
int CM_PointInsideTriangleDouble(const double point[3], const vec3_t a, const vec3_t b,
                                 const vec3_t c, const vec4_t plane);
// The triangle's point closest to p.
void CM_ClosestPointOnTriangle(vec3_t out, const vec3_t a, const vec3_t b, const vec3_t c,
                               const vec3_t p);
// 1 and the common point, or 0 when the planes do not meet in one point.
int CM_IntersectionPlanes(vec3_t out, const vec4_t p1, const vec4_t p2, const vec4_t p3);
// 1 on first contact strictly nearer than *fraction (or at once, fraction 0,
// when the sphere starts within its radius of the plane).
int CM_MovingSphereToPlane(const vec3_t c0, const vec3_t c1, float radius, const vec4_t plane,
                           float *fraction, vec3_t contact);
// 1 and the fraction of first contact (0 when they already overlap); the
// fraction is written without comparing and is not limited to 1.
int CM_MovingSphereToMovingSphere(const vec3_t a0, const vec3_t a1, float radiusA,
                                  const vec3_t b0, const vec3_t b1, float radiusB,
                                  float *fraction);
// 1 on a hit strictly nearer than *fraction; scale turns distance along the unit
// direction into the caller's fraction.
int CM_LineSegmentToSphere(const vec3_t start, const vec3_t dir, float scale, const vec3_t centre,
                           float radius, float *fraction);
// 1 on a hit of the cylinder's side at or before *fraction (strictly before for a
// segment parallel to the axis); the end caps are not tested.
int CM_LineSegmentToCylinderNoEndCaps(const vec3_t start, const vec3_t end, const vec3_t p,
                                      const vec3_t q, float radius, float *fraction);
// Planes whose negative side is the inside.  1 on entry at or before *fraction;
// *entered (may be null) gets the plane entered, null when the start is inside.
int CM_LineSegmentToPolyhedron(const vec3_t start, const vec3_t end, int count,
                               const mplane_t planes[], float *fraction,
                               const mplane_t **entered);
// 1 when the plane normal·x + d = 0 cuts the box of the given half extents at the origin.
int planeBoxOverlap(const vec3_t normal, float d, const vec3_t half);
// 1 when triangle abc overlaps the box with the given centre, half extents and axes.
int triBoxOverlap(const vec3_t centre, const vec3_t half, const vec3_t a, const vec3_t b,
                  const vec3_t c, const vec3_t axes[3]);
// triBoxOverlap with the box's origin, halfSize and axis.
int CM_TriangleToOBB(const vec3_t a, const vec3_t b, const vec3_t c, const obb_t *box);
// 1 when the oriented boxes overlap.
int CM_OBBToOBB(const obb_t *a, const obb_t *b);
// Linear blend of two boxes, axes normalised one by one; axisT rebuilt.
void CM_LerpOBB(obb_t *out, const obb_t *a, const obb_t *b, float t);
// Replaces the polygon by its part on the positive side of every plane.  A stage
// that would need more than POLYGON_MAX_POINTS points (only possible for a
// non-convex or oversized input) leaves the polygon empty.
void Com_ClipPolygon(polygon_t *poly, int count, const vec4_t planes[]);
// Planes bounding what the sphere of the given radius at the origin hides from
// apex; no planes when apex lies inside the sphere.
void CM_GetOccCone(occCone_t *out, const vec3_t apex, float radius);
