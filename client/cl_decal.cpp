// Decal clipping against the collision triangles of the pages under the box.
#include "client/cl_decal.h"

#include <cmath>
#include <cstring>

#include "common/common.h"
#include "world/world.h"

namespace {

constexpr int DECAL_PLANES = 6;
constexpr int DECAL_POLY_MAX = 3 + DECAL_PLANES;  // each plane adds at most one corner

struct decalPlane_t {
    float normal[3];
    float dist;  // inside when normal . p + dist >= 0
};

float Dot(const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

float Distance(const decalPlane_t &p, const float point[3]) { return Dot(p.normal, point) + p.dist; }

// The box's six planes: +axis 0, -axis 0, +axis 1, -axis 1, +axis 2, -axis 2.
void BuildPlanes(decalPlane_t planes[DECAL_PLANES], const float origin[3], const float axes[3][3],
                 const float half[3]) {
    for (int a = 0; a < 3; a++) {
        const float along = Dot(axes[a], origin);
        for (int k = 0; k < 3; k++) {
            planes[2 * a].normal[k] = axes[a][k];
            planes[2 * a + 1].normal[k] = -axes[a][k];
        }
        planes[2 * a].dist = half[a] - along;
        planes[2 * a + 1].dist = half[a] + along;
    }
}

// The vertex at t from a to b: every attribute linear, the normal made unit again.
void Interpolate(poolVertex_t *out, const poolVertex_t &a, const poolVertex_t &b, float t) {
    *out = a;
    for (int k = 0; k < 3; k++) {
        out->position[k] = a.position[k] + t * (b.position[k] - a.position[k]);
        out->normal[k] = a.normal[k] + t * (b.normal[k] - a.normal[k]);
    }
    for (int k = 0; k < 4; k++) out->axisMask[k] = a.axisMask[k] + t * (b.axisMask[k] - a.axisMask[k]);
    for (int k = 0; k < 2; k++) out->st[k] = a.st[k] + t * (b.st[k] - a.st[k]);
    VectorNormalize(out->normal);
}

// Sutherland-Hodgman against one plane; the new corner count.
int ClipPolygon(poolVertex_t *out, const poolVertex_t *in, int n, const decalPlane_t &plane) {
    float d[DECAL_POLY_MAX];
    for (int i = 0; i < n; i++) d[i] = Distance(plane, in[i].position);
    int count = 0;
    for (int i = 0; i < n; i++) {
        const int j = (i + 1) % n;
        const bool frontI = d[i] >= -CL_DECAL_EPSILON, frontJ = d[j] >= -CL_DECAL_EPSILON;
        if (frontI && count < DECAL_POLY_MAX) out[count++] = in[i];
        if (frontI != frontJ && count < DECAL_POLY_MAX) Interpolate(&out[count++], in[i], in[j], -d[i] / (d[j] - d[i]));
    }
    return count;
}

// True when all three corners lie outside one plane by more than the tolerance.
bool OutsideAnyPlane(const decalPlane_t planes[DECAL_PLANES], const float points[3][3]) {
    for (int p = 0; p < DECAL_PLANES; p++) {
        int outside = 0;
        for (int k = 0; k < 3; k++) outside += Distance(planes[p], points[k]) < -CL_DECAL_EPSILON;
        if (outside == 3) return true;
    }
    return false;
}

// Facing away from the pressing direction, or too small to carry a decal.
bool SkipTriangle(const float points[3][3], const float pressing[3]) {
    float e1[3], e2[3], n[3];
    for (int k = 0; k < 3; k++) {
        e1[k] = points[2][k] - points[0][k];
        e2[k] = points[1][k] - points[0][k];
    }
    n[0] = e1[1] * e2[2] - e1[2] * e2[1];
    n[1] = e1[2] * e2[0] - e1[0] * e2[2];
    n[2] = e1[0] * e2[1] - e1[1] * e2[0];
    return std::sqrt(Dot(n, n)) <= CL_DECAL_MIN_NORMAL || Dot(n, pressing) > 0.0f;
}

}  // namespace

void CL_ClipDecal(int32_t *vertexCount, int32_t *indexCount, void *vertexes, void *indexes, const float *origin,
                  const float *axes, const float *size, int32_t maxVertexes, int32_t maxIndexes) {
    if (vertexCount) *vertexCount = 0;
    if (indexCount) *indexCount = 0;
    if (!vertexCount || !indexCount || !vertexes || !indexes || !origin || !axes || !size) return;
    const float width = size[0], height = size[1];
    // The texture spreads across width and height: a flat box has no image to lay.
    if (!(width > 0.0f) || !(height > 0.0f) || !std::isfinite(width) || !std::isfinite(height)) return;
    const float depth = std::fmax(size[2], cl_minDecalZ.value);
    const float(*axis)[3] = reinterpret_cast<const float(*)[3]>(axes);
    const float half[3] = {width / 2.0f, height / 2.0f, depth / 2.0f};
    decalPlane_t planes[DECAL_PLANES];
    BuildPlanes(planes, origin, axis, half);

    // Every page cell the box can touch: -size..+size along its axes.
    int mins[3], maxs[3];
    const float up[3] = {width, height, depth}, down[3] = {width, height, -depth};
    WO_CalcBounds(mins, maxs, up, down, axis, origin, CL_DECAL_SEARCH_MARGIN, true);

    auto *outVerts = static_cast<poolVertex_t *>(vertexes);
    auto *outIndexes = static_cast<int32_t *>(indexes);
    int32_t numVerts = 0, numIndexes = 0;
    bool full = false;
    for (int z = mins[2]; z <= maxs[2] && !full; z++)
        for (int y = mins[1]; y <= maxs[1] && !full; y++)
            for (int x = mins[0]; x <= maxs[0] && !full; x++) {
                const page_t *page = WO_CellPage(WO_CellIndex(x, y, z));
                if (!page || page->magic != WO_PAGE_MAGIC) continue;
                for (int s = 0; s < page->numSurfs && 3 * s + 2 < page->numIndexes; s++) {
                    const woSurf_t &surf = page->surfs[s];
                    if (OutsideAnyPlane(planes, surf.points) || SkipTriangle(surf.points, axis[2])) continue;
                    if (numVerts + CL_DECAL_VERTS_ROOM > maxVertexes ||
                        numIndexes + CL_DECAL_INDEXES_ROOM > maxIndexes) {
                        full = true;
                        break;
                    }
                    poolVertex_t a[DECAL_POLY_MAX], b[DECAL_POLY_MAX];
                    for (int k = 0; k < 3; k++) WO_GetVertexByIndex(&a[k], page->indexes[3 * s + k]);
                    int n = 3;
                    poolVertex_t *in = a, *out = b;
                    for (int p = 0; p < DECAL_PLANES && n >= 3; p++) {
                        n = ClipPolygon(out, in, n, planes[p]);
                        poolVertex_t *swap = in;
                        in = out;
                        out = swap;
                    }
                    if (n < 3) continue;
                    memcpy(&outVerts[numVerts], in, sizeof(poolVertex_t) * static_cast<size_t>(n));
                    for (int k = 2; k < n; k++) {
                        outIndexes[numIndexes++] = numVerts;
                        outIndexes[numIndexes++] = numVerts + k - 1;
                        outIndexes[numIndexes++] = numVerts + k;
                    }
                    numVerts += n;
                }
            }

    for (int32_t i = 0; i < numVerts; i++) {
        poolVertex_t &v = outVerts[i];
        float rel[3];
        for (int k = 0; k < 3; k++) {
            v.position[k] += CL_DECAL_LIFT * v.normal[k];
            rel[k] = v.position[k] - origin[k];
        }
        v.st[0] = Dot(axis[0], rel) / width + 0.5f;
        v.st[1] = Dot(axis[1], rel) / height + 0.5f;
        memset(v.rgba, 0xFF, sizeof(v.rgba));
    }
    *vertexCount = numVerts;
    *indexCount = numIndexes;
}
