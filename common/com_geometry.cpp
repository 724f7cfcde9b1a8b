// Geometric tests: collision and culling.
#include "common/com_geometry.h"

#include <cmath>
#include <cstring>

int CM_AABBToAABB(const vec3_t minsA, const vec3_t maxsA, const vec3_t minsB, const vec3_t maxsB) {
    for (int i = 0; i < 3; i++)
        if (minsA[i] > maxsB[i] || maxsA[i] < minsB[i]) return 0;
    return 1;
}

int CM_PointToAABB(const vec3_t point, const vec3_t mins, const vec3_t maxs) {
    for (int i = 0; i < 3; i++)
        if (point[i] < mins[i] || point[i] > maxs[i]) return 0;
    return 1;
}

void CM_SetupMPlaneSignBits(mplane_t *plane) {
    int bits = 0;
    for (int i = 0; i < 3; i++)
        if (plane->normal[i] >= 0) bits |= 1 << i;
    plane->signbits = bits;
}

// Smallest and largest signed distance of the box's corners; the sign bits pick
// the two extreme corners without a loop over all eight.
static inline void BoxPlaneExtremes(const vec3_t mins, const vec3_t maxs, const mplane_t *plane,
                                    float *dmin, float *dmax) {
    vec3_t low, high;
    for (int i = 0; i < 3; i++) {
        const bool positive = (plane->signbits >> i) & 1;
        low[i] = positive ? mins[i] : maxs[i];
        high[i] = positive ? maxs[i] : mins[i];
    }
    *dmin = _DotProduct(plane->normal, low) + plane->dist;
    *dmax = _DotProduct(plane->normal, high) + plane->dist;
}

int CM_AABBToMPlane(const vec3_t mins, const vec3_t maxs, const mplane_t *plane) {
    float dmin, dmax;
    BoxPlaneExtremes(mins, maxs, plane, &dmin, &dmax);
    if (dmin * dmax <= 0) return 3;
    return dmin <= 0 ? 2 : 1;
}

int CM_AABBToClipPlanes(const vec3_t mins, const vec3_t maxs, int count, const mplane_t planes[]) {
    bool crossed = false;
    for (int i = 0; i < count; i++) {
        const int side = CM_AABBToMPlane(mins, maxs, &planes[i]);
        if (side == 2) return 2;
        if (side == 3) crossed = true;
    }
    return crossed ? 3 : 1;
}

int CM_PointToClipPlanes(const vec3_t point, int count, const mplane_t planes[]) {
    for (int i = 0; i < count; i++)
        if (_DotProduct(planes[i].normal, point) + planes[i].dist < 0) return 0;
    return 1;
}

int CM_SphereToClipPlanes(const vec3_t centre, float radius, int count, const mplane_t planes[]) {
    for (int i = 0; i < count; i++)
        if (_DotProduct(planes[i].normal, centre) + planes[i].dist < -radius) return 0;
    return 1;
}

// Segment against plane in the precision T; shared by the float and double forms.
template <typename T>
static int SegmentToPlane(const vec3_t start, const vec3_t end, const vec4_t plane, T *fraction,
                          T hit[3]) {
    T da = plane[3], db = plane[3];
    for (int i = 0; i < 3; i++) {
        da += T(plane[i]) * T(start[i]);
        db += T(plane[i]) * T(end[i]);
    }
    if (da * db > 0) return 0;
    const T denom = db - da;
    if (denom == 0) return 0;
    const T t = -da / denom;
    if (t < 0 || !(t < *fraction)) return 0;
    for (int i = 0; i < 3; i++) hit[i] = T(start[i]) + (T(end[i]) - T(start[i])) * t;
    *fraction = t;
    return 1;
}

int CM_LineSegmentToPlane(const vec3_t start, const vec3_t end, const vec4_t plane,
                          float *fraction, vec3_t hit) {
    return SegmentToPlane<float>(start, end, plane, fraction, hit);
}

int CM_LineSegmentToPlaneDouble(const vec3_t start, const vec3_t end, const vec4_t plane,
                                double *fraction, double hit[3]) {
    return SegmentToPlane<double>(start, end, plane, fraction, hit);
}

// ((next − v) × (p − v))·n in the precision T.
template <typename T>
static T EdgeSide(const T v[3], const T next[3], const T p[3], const T n[3]) {
    const T e[3] = {next[0] - v[0], next[1] - v[1], next[2] - v[2]};
    const T d[3] = {p[0] - v[0], p[1] - v[1], p[2] - v[2]};
    return (e[1] * d[2] - e[2] * d[1]) * n[0] + (e[2] * d[0] - e[0] * d[2]) * n[1] +
           (e[0] * d[1] - e[1] * d[0]) * n[2];
}

template <typename T>
static int InsideTriangle(const T p[3], const T a[3], const T b[3], const T c[3], const T n[3]) {
    // The reference side comes from edge a→b, or from edge c→a when p lies on the
    // line of a→b; both walk the triangle the same way round, so a point on edge
    // a→b is not mistaken for one outside b→c.
    T s = EdgeSide(a, b, p, n);
    if (s == 0) s = EdgeSide(c, a, p, n);
    const T *v[4] = {a, b, c, a};
    for (int i = 0; i < 3; i++)
        if (EdgeSide(v[i], v[i + 1], p, n) * s < 0) return 0;
    return 1;
}

int CM_PointInsideTriangle(const vec3_t point, const vec3_t a, const vec3_t b, const vec3_t c,
                           const vec3_t normal) {
    return InsideTriangle<float>(point, a, b, c, normal);
}

int CM_PointInsideTriangleDouble(const double point[3], const vec3_t a, const vec3_t b,
                                 const vec3_t c, const vec4_t plane) {
    double n[3] = {plane[0], plane[1], plane[2]};
    const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (len == 0) return 0;
    for (double &x : n) x /= len;
    const double da[3] = {a[0], a[1], a[2]}, db[3] = {b[0], b[1], b[2]}, dc[3] = {c[0], c[1], c[2]};
    return InsideTriangle<double>(point, da, db, dc, n);
}

void CM_ClosestPointOnTriangle(vec3_t out, const vec3_t a, const vec3_t b, const vec3_t c,
                               const vec3_t p) {
    vec3_t ab, ac, ap, bp, cp;
    _VectorSub(ab, b, a);
    _VectorSub(ac, c, a);
    _VectorSub(ap, p, a);
    const float d1 = _DotProduct(ab, ap), d2 = _DotProduct(ac, ap);
    if (d1 <= 0 && d2 <= 0) {
        _VectorCopy(out, a);
        return;
    }
    _VectorSub(bp, p, b);
    const float d3 = _DotProduct(ab, bp), d4 = _DotProduct(ac, bp);
    if (d3 >= 0 && d4 <= d3) {
        _VectorCopy(out, b);
        return;
    }
    const float vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) {
        _VectorAddMultiple(out, a, ab, d1 / (d1 - d3));
        return;
    }
    _VectorSub(cp, p, c);
    const float d5 = _DotProduct(ab, cp), d6 = _DotProduct(ac, cp);
    if (d6 >= 0 && d5 <= d6) {
        _VectorCopy(out, c);
        return;
    }
    const float vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) {
        _VectorAddMultiple(out, a, ac, d2 / (d2 - d6));
        return;
    }
    const float va = d3 * d6 - d5 * d4;
    if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0) {
        vec3_t bc;
        _VectorSub(bc, c, b);
        _VectorAddMultiple(out, b, bc, (d4 - d3) / ((d4 - d3) + (d5 - d6)));
        return;
    }
    const float k = 1.0f / (va + vb + vc);
    vec3_t t;
    _VectorAddMultiple(t, a, ab, vb * k);
    _VectorAddMultiple(out, t, ac, vc * k);
}

int CM_IntersectionPlanes(vec3_t out, const vec4_t p1, const vec4_t p2, const vec4_t p3) {
    vec3_t c23, c31, c12;
    _CrossProduct(c23, p2, p3);
    _CrossProduct(c31, p3, p1);
    _CrossProduct(c12, p1, p2);
    const float det = _DotProduct(p1, c23);
    if (Com_fabs(det) < 0.00001f) return 0;
    const float inv = -1.0f / det;
    for (int i = 0; i < 3; i++) out[i] = (p1[3] * c23[i] + p2[3] * c31[i] + p3[3] * c12[i]) * inv;
    return 1;
}

int CM_MovingSphereToPlane(const vec3_t c0, const vec3_t c1, float radius, const vec4_t plane,
                           float *fraction, vec3_t contact) {
    const float dist = _PointOnSideOfPlane(c0, plane);
    if (Com_fabs(dist) <= radius) {
        *fraction = 0;
        _VectorCopy(contact, c0);
        return 1;
    }
    vec3_t move;
    _VectorSub(move, c1, c0);
    const float denom = _DotProduct(plane, move);
    if (denom * dist >= 0) return 0;
    const float r = dist > 0 ? radius : -radius;
    const float t = (r - dist) / denom;
    if (!(t < *fraction)) return 0;
    *fraction = t;
    vec3_t at;
    _VectorAddMultiple(at, c0, move, t);
    _VectorSubMultiple(contact, at, plane, r);
    return 1;
}

int CM_MovingSphereToMovingSphere(const vec3_t a0, const vec3_t a1, float radiusA,
                                  const vec3_t b0, const vec3_t b1, float radiusB,
                                  float *fraction) {
    vec3_t s, va, vb, v;
    _VectorSub(s, b0, a0);
    const float rsum = radiusA + radiusB;
    const float c = _DotProduct(s, s) - rsum * rsum;
    if (c < 0) {
        *fraction = 0;
        return 1;
    }
    _VectorSub(va, a1, a0);
    _VectorSub(vb, b1, b0);
    _VectorSub(v, vb, va);
    const float a = _DotProduct(v, v);
    if (a < 0.0001f) return 0;
    const float b = _DotProduct(v, s);
    if (b >= 0) return 0;
    const float disc = b * b - a * c;
    if (disc < 0) return 0;
    *fraction = (-b - Com_sqrt(disc)) / a;
    return 1;
}

int CM_LineSegmentToSphere(const vec3_t start, const vec3_t dir, float scale, const vec3_t centre,
                           float radius, float *fraction) {
    vec3_t m;
    _VectorSub(m, start, centre);
    const float c = _DotProduct(m, m) - radius * radius;
    const float b = _DotProduct(m, dir);
    if (c > 0 && b > 0) return 0;
    const float disc = b * b - c;
    if (disc < 0) return 0;
    const float t = _Max(0.0f, -b - Com_sqrt(disc));
    if (!(t * scale < *fraction)) return 0;
    *fraction = t * scale;
    return 1;
}

int CM_LineSegmentToCylinderNoEndCaps(const vec3_t start, const vec3_t end, const vec3_t p,
                                      const vec3_t q, float radius, float *fraction) {
    vec3_t d, m, n;
    _VectorSub(d, q, p);
    _VectorSub(m, start, p);
    _VectorSub(n, end, start);
    const float md = _DotProduct(m, d), nd = _DotProduct(n, d), dd = _DotProduct(d, d);
    if (md < 0 && md + nd < 0) return 0;
    if (md > dd && md + nd > dd) return 0;
    const float nn = _DotProduct(n, n), mn = _DotProduct(m, n);
    const float a = dd * nn - nd * nd;
    const float k = _DotProduct(m, m) - radius * radius;
    const float c = dd * k - md * md;
    float t;
    if (Com_fabs(a) < 0.00001f) {
        // Parallel to the axis: only the radius decides.
        if (c > 0) return 0;
        if (md < 0)
            t = -mn / nn;
        else if (md > dd)
            t = (nd - mn) / nn;
        else
            t = 0;
        if (!(t < *fraction)) return 0;
    } else {
        const float b = dd * mn - nd * md;
        const float disc = b * b - a * c;
        if (disc < 0) return 0;
        t = (-b - Com_sqrt(disc)) / a;
        if (t < 0 || t > *fraction) return 0;
    }
    *fraction = t;
    return 1;
}

int CM_LineSegmentToPolyhedron(const vec3_t start, const vec3_t end, int count,
                               const mplane_t planes[], float *fraction,
                               const mplane_t **entered) {
    float tfirst = 0, tlast = 1;
    const mplane_t *enteredPlane = nullptr;
    vec3_t d;
    _VectorSub(d, end, start);
    for (int i = 0; i < count; i++) {
        const mplane_t *pl = &planes[i];
        const float denom = _DotProduct(pl->normal, d);
        const float dist = -pl->dist - _DotProduct(pl->normal, start);
        if (denom == 0) {
            // Parallel: a segment that runs outside this plane (on its positive
            // side, dist < 0) can never enter the polyhedron.
            if (dist < 0) return 0;
            continue;
        }
        const float t = dist / denom;
        if (denom < 0) {
            if (t > tfirst) {
                tfirst = t;
                enteredPlane = pl;
            }
        } else if (t < tlast) {
            tlast = t;
        }
        if (tfirst > tlast) return 0;
    }
    if (tfirst > *fraction) return 0;
    *fraction = tfirst;
    if (entered) *entered = enteredPlane;
    return 1;
}

int planeBoxOverlap(const vec3_t normal, float d, const vec3_t half) {
    vec3_t low, high;
    for (int q = 0; q < 3; q++) {
        if (normal[q] > 0) {
            low[q] = -half[q];
            high[q] = half[q];
        } else {
            low[q] = half[q];
            high[q] = -half[q];
        }
    }
    return _DotProduct(normal, low) + d <= 0 && _DotProduct(normal, high) + d >= 0;
}

// One separating-axis test of the triangle–box overlap: the triangle projects
// to [min(pa, pb), max(pa, pb)] and the box to [−rad, rad].
static inline bool Separated(float pa, float pb, float rad) {
    const float lo = pa < pb ? pa : pb;
    const float hi = pa < pb ? pb : pa;
    return lo > rad || hi < -rad;
}

int triBoxOverlap(const vec3_t centre, const vec3_t half, const vec3_t a, const vec3_t b,
                  const vec3_t c, const vec3_t axes[3]) {
    // Move the vertexes into the box frame; the box is then axis-aligned at the origin.
    vec3_t v0, v1, v2, t;
    _VectorSub(t, a, centre);
    v0[0] = _DotProduct(axes[0], t), v0[1] = _DotProduct(axes[1], t), v0[2] = _DotProduct(axes[2], t);
    _VectorSub(t, b, centre);
    v1[0] = _DotProduct(axes[0], t), v1[1] = _DotProduct(axes[1], t), v1[2] = _DotProduct(axes[2], t);
    _VectorSub(t, c, centre);
    v2[0] = _DotProduct(axes[0], t), v2[1] = _DotProduct(axes[1], t), v2[2] = _DotProduct(axes[2], t);

    vec3_t e0, e1, e2;
    _VectorSub(e0, v1, v0);
    _VectorSub(e1, v2, v1);
    _VectorSub(e2, v0, v2);

    // The nine cross products of the box axes with the edges.  For each edge the
    // two vertexes that can differ on that axis are the ones projected.
    float fx = Com_fabs(e0[0]), fy = Com_fabs(e0[1]), fz = Com_fabs(e0[2]);
    if (Separated(e0[2] * v0[1] - e0[1] * v0[2], e0[2] * v2[1] - e0[1] * v2[2], fz * half[1] + fy * half[2]) ||
        Separated(-e0[2] * v0[0] + e0[0] * v0[2], -e0[2] * v2[0] + e0[0] * v2[2], fz * half[0] + fx * half[2]) ||
        Separated(e0[1] * v1[0] - e0[0] * v1[1], e0[1] * v2[0] - e0[0] * v2[1], fy * half[0] + fx * half[1]))
        return 0;
    fx = Com_fabs(e1[0]), fy = Com_fabs(e1[1]), fz = Com_fabs(e1[2]);
    if (Separated(e1[2] * v0[1] - e1[1] * v0[2], e1[2] * v2[1] - e1[1] * v2[2], fz * half[1] + fy * half[2]) ||
        Separated(-e1[2] * v0[0] + e1[0] * v0[2], -e1[2] * v2[0] + e1[0] * v2[2], fz * half[0] + fx * half[2]) ||
        Separated(e1[1] * v0[0] - e1[0] * v0[1], e1[1] * v1[0] - e1[0] * v1[1], fy * half[0] + fx * half[1]))
        return 0;
    fx = Com_fabs(e2[0]), fy = Com_fabs(e2[1]), fz = Com_fabs(e2[2]);
    if (Separated(e2[2] * v0[1] - e2[1] * v0[2], e2[2] * v1[1] - e2[1] * v1[2], fz * half[1] + fy * half[2]) ||
        Separated(-e2[2] * v0[0] + e2[0] * v0[2], -e2[2] * v1[0] + e2[0] * v1[2], fz * half[0] + fx * half[2]) ||
        Separated(e2[1] * v1[0] - e2[0] * v1[1], e2[1] * v2[0] - e2[0] * v2[1], fy * half[0] + fx * half[1]))
        return 0;

    // The box's face normals: the triangle's extent against ±half.
    for (int i = 0; i < 3; i++) {
        const float lo = _Min(v0[i], _Min(v1[i], v2[i]));
        const float hi = _Max(v0[i], _Max(v1[i], v2[i]));
        if (lo > half[i] || hi < -half[i]) return 0;
    }

    // The triangle's plane.
    vec3_t normal;
    _CrossProduct(normal, e0, e1);
    return planeBoxOverlap(normal, -_DotProduct(normal, v0), half);
}

int CM_TriangleToOBB(const vec3_t a, const vec3_t b, const vec3_t c, const obb_t *box) {
    return triBoxOverlap(box->origin, box->halfSize, a, b, c, box->axis);
}

int CM_OBBToOBB(const obb_t *a, const obb_t *b) {
    float R[3][3], AbsR[3][3], t[3];
    vec3_t d;
    _VectorSub(d, b->origin, a->origin);
    for (int i = 0; i < 3; i++) {
        t[i] = _DotProduct(d, a->axis[i]);
        for (int j = 0; j < 3; j++) {
            R[i][j] = _DotProduct(a->axis[i], b->axis[j]);
            // The epsilon keeps near-parallel edges from producing a null cross axis.
            AbsR[i][j] = Com_fabs(R[i][j]) + 0.00001f;
        }
    }
    const float *ha = a->halfSize, *hb = b->halfSize;
    for (int i = 0; i < 3; i++) {
        const float rb = hb[0] * AbsR[i][0] + hb[1] * AbsR[i][1] + hb[2] * AbsR[i][2];
        if (Com_fabs(t[i]) > ha[i] + rb) return 0;
    }
    for (int j = 0; j < 3; j++) {
        const float s = t[0] * R[0][j] + t[1] * R[1][j] + t[2] * R[2][j];
        const float ra = ha[0] * AbsR[0][j] + ha[1] * AbsR[1][j] + ha[2] * AbsR[2][j];
        if (Com_fabs(s) > ra + hb[j]) return 0;
    }
    for (int i = 0; i < 3; i++) {
        const int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
        for (int j = 0; j < 3; j++) {
            const int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            const float s = t[i2] * R[i1][j] - t[i1] * R[i2][j];
            const float ra = ha[i1] * AbsR[i2][j] + ha[i2] * AbsR[i1][j];
            const float rb = hb[j1] * AbsR[i][j2] + hb[j2] * AbsR[i][j1];
            if (Com_fabs(s) > ra + rb) return 0;
        }
    }
    return 1;
}

void CM_LerpOBB(obb_t *out, const obb_t *a, const obb_t *b, float t) {
    VectorLerp(out->origin, a->origin, b->origin, t);
    VectorLerp(out->halfSize, a->halfSize, b->halfSize, t);
    for (int i = 0; i < 3; i++) {
        VectorLerp(out->axis[i], a->axis[i], b->axis[i], t);
        VectorNormalize(out->axis[i]);
    }
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) out->axisT[r * 3 + c] = out->axis[c][r];
}

// Appends p to the stage's output unless it repeats the last point (a vertex
// lying on the plane is met as the end of one edge and the start of the next).
// False when the stage has no room left.
static bool EmitPoint(polygon_t *out, const vec3_t p) {
    if (out->numPoints > 0 && _VectorCmp(out->points[out->numPoints - 1], p)) return true;
    if (out->numPoints >= POLYGON_MAX_POINTS) return false;
    _VectorCopy(out->points[out->numPoints++], p);
    return true;
}

// One Sutherland–Hodgman stage: in clipped by plane into out.  False on overflow.
static bool ClipByPlane(polygon_t *out, const polygon_t *in, const vec4_t plane) {
    out->numPoints = 0;
    for (int i = 0; i < in->numPoints; i++) {
        const float *a = in->points[i];
        const float *b = in->points[(i + 1) % in->numPoints];
        const float da = _PointOnSideOfPlane(a, plane);
        const float db = _PointOnSideOfPlane(b, plane);
        vec3_t cross, ab;
        if (da < 0 && db < 0) continue;
        if (da > 0 && db > 0) {
            if (!EmitPoint(out, a)) return false;
        } else if (da <= 0) {
            // An edge lying in the plane (both 0) keeps its end point.
            _VectorSub(ab, a, b);
            const float denom = db - da;
            _VectorAddMultiple(cross, b, ab, denom == 0 ? 0.0f : db / denom);
            if (!EmitPoint(out, cross)) return false;
        } else {
            _VectorSub(ab, b, a);
            _VectorAddMultiple(cross, a, ab, da / (da - db));
            if (!EmitPoint(out, a) || !EmitPoint(out, cross)) return false;
        }
    }
    // The closing point may repeat the first one.
    if (out->numPoints > 1 && _VectorCmp(out->points[0], out->points[out->numPoints - 1]))
        out->numPoints--;
    return true;
}

void Com_ClipPolygon(polygon_t *poly, int count, const vec4_t planes[]) {
    if (count <= 0) return;
    if (poly->numPoints < 0 || poly->numPoints > POLYGON_MAX_POINTS) {
        poly->numPoints = 0;
        return;
    }
    polygon_t work;
    polygon_t *from = poly, *to = &work;
    for (int i = 0; i < count; i++) {
        if (!ClipByPlane(to, from, planes[i])) {
            poly->numPoints = 0;
            return;
        }
        polygon_t *swap = from;
        from = to;
        to = swap;
    }
    if (from != poly) {
        poly->numPoints = from->numPoints;
        memcpy(poly->points, from->points, sizeof(vec3_t) * from->numPoints);
    }
}

void CM_GetOccCone(occCone_t *out, const vec3_t apex, float radius) {
    const float len = VectorLength(apex);
    if (radius > len) {
        out->numPlanes = 0;
        return;
    }
    vec3_t dir, q, perp, p0;
    _VectorScale(dir, 1.0f / len, apex);
    _VectorScale(q, radius, dir);
    const float alpha = Com_asin(Com_sqrt(len * len - radius * radius) / len);
    PerpendicularVector(perp, dir);
    RotatePointAroundVector(p0, perp, q, alpha * RAD2DEG);

    vec3_t prev, cur, first, second;
    _VectorCopy(prev, p0);
    vec4_t pl;
    for (int i = 0; i < OCC_CONE_PLANES - 1; i++) {
        RotatePointAroundVector(cur, dir, p0, 24.0f * float(i + 1));
        if (i == 0) _VectorCopy(first, cur);
        if (i == 1) _VectorCopy(second, cur);
        PlaneFrom3Points_normalized(pl, apex, cur, prev);
        mplane_t *mp = &out->planes[i];
        _VectorCopy(mp->normal, pl);
        mp->dist = pl[3];
        CM_SetupMPlaneSignBits(mp);
        _VectorCopy(prev, cur);
    }
    PlaneFrom3Points_normalized(pl, first, p0, second);
    mplane_t *cap = &out->planes[OCC_CONE_PLANES - 1];
    _VectorCopy(cap->normal, pl);
    cap->dist = pl[3];
    CM_SetupMPlaneSignBits(cap);
    out->numPlanes = OCC_CONE_PLANES;
}
