// Deformation by shapes: the module prepares a triangle mesh placed in the world and
// carves, fills, repaints or smooths the voxels inside it; a radial damage needs no
// mesh.  The module's input is checked here: indexes against the mesh, every box
// against the voxel space, every number that feeds an integer against its range.
#include <cmath>
#include <cstring>

#include "base/module_services.h"
#include "common/common.h"
#include "game/g_public.h"
#include "server/sv_world.h"

namespace {

constexpr float SV_INSIDE_MARGIN = 0.4f;  // the convex test's surface lies this far inside
constexpr float SV_CONVEX_RAMP = 1.6f;    // ... and reaches full density this much deeper
constexpr float SV_CONCAVE_RAMP = 0.4f;   // the general test's half ramp across the surface
constexpr float SV_PROFILE_RAMP = 2.0f;   // the core and outer profiles fall over this width

struct svSurf_t {
    float v[3][3];
    float plane[4];
};

struct svShape_t {
    uint8_t convex;
    float scale;
    int32_t numSurfs;
    svSurf_t surfs[SV_SOUP_MAX_SURFS];
    float mins[3], maxs[3];
    int32_t voxelMins[3], voxelMaxs[3];
};

svShape_t md;

// The smoothing weights of the shape blur; a sized blur leaves its centre weight here.
int32_t kernel0[27] = {2, 3, 2, 3, 5, 3, 2, 3, 2,  //
                       3, 5, 3, 5, 50, 5, 3, 5, 3,  //
                       2, 3, 2, 3, 5, 3, 2, 3, 2};
constexpr int KERNEL_CENTRE = 13;

// trunc(c / 0.8 + 64) for any float, kept just outside 0..127 when far or not a number.
int32_t VoxelIndex(float c) {
    const float f = c / WO_VOXEL_SIZE + WO_VOXEL_ORIGIN;
    if (!(f > -1.0f))
        return -1;
    if (f > 128.0f)
        return 128;
    return static_cast<int32_t>(f);
}

float Length(const float p[3]) { return std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]); }

int InsideConvex(const float p[3], bool connect) {
    float m = 1e30f;
    for (int i = 0; i < md.numSurfs; i++) {
        const float *pl = md.surfs[i].plane;
        const float s = pl[0] * p[0] + pl[1] * p[1] + pl[2] * p[2] + pl[3] - SV_INSIDE_MARGIN;
        if (connect ? s > 0.01f : s >= 0.01f)
            return 0;
        if (-s < m)
            m = -s;
    }
    if (!(m > 0.0f))
        return 0;
    if (m >= SV_CONVEX_RAMP)
        return 255;
    return static_cast<int>(m * 255.0f / SV_CONVEX_RAMP);
}

}  // namespace

// Odd crossings of the segment to a point outside the shape mean inside; the distance
// to the nearest triangle makes a ramp of 0.4 on each side of the surface.
uint8_t PointInsideConcave(const float p[3]) {
    const float outside[3] = {md.mins[0] - 100.0f, md.mins[1] - 100.0f, md.mins[2] - 100.0f};
    int crossings = 0;
    double nearest = 1e7;
    for (int i = 0; i < md.numSurfs; i++) {
        const svSurf_t &s = md.surfs[i];
        double fraction = 1.0, hit[3];
        if (CM_LineSegmentToPlaneDouble(p, outside, s.plane, &fraction, hit) &&
            CM_PointInsideTriangleDouble(hit, s.v[0], s.v[1], s.v[2], s.plane))
            crossings++;
        float closest[3];
        CM_ClosestPointOnTriangle(closest, s.v[0], s.v[1], s.v[2], p);
        const float d[3] = {closest[0] - p[0], closest[1] - p[1], closest[2] - p[2]};
        const double e = Length(d);
        if (e < nearest)
            nearest = e;
    }
    const bool inside = crossings & 1;
    if (!(nearest > 0.0))
        return 128;
    if (nearest >= SV_CONCAVE_RAMP)
        return inside ? 255 : 0;
    const int t = static_cast<int>(nearest * 128.0 / SV_CONCAVE_RAMP);
    return static_cast<uint8_t>(inside ? (127 + t > 255 ? 255 : 127 + t) : (128 - t < 0 ? 0 : 128 - t));
}

namespace {

int InsideValue(const float p[3], bool connect) { return md.convex ? InsideConvex(p, connect) : PointInsideConcave(p); }

int Ramp(float r, float radius) {
    if (r <= radius)
        return 255;
    if (r <= radius + SV_PROFILE_RAMP)
        return 255 - static_cast<int>((r - radius) * 255.0f * 0.5f);
    return 0;
}

bool FilterPasses(int filter, voxel_t v) {
    return filter < 0 || WO_Matter(v) == filter || WO_Density(v) < WO_SURFACE_DENSITY;
}

// The density of (x, y, z) lowered to limit when above it, or raised when below.
void CapDensity(int x, int y, int z, int limit) {
    if (WO_Density(WO_GetVoxel(x, y, z)) > limit)
        SV_SetVoxel(x, y, z, SV_VOXEL_SET, -1, limit);
}
void RaiseDensity(int x, int y, int z, int floor) {
    if (WO_Density(WO_GetVoxel(x, y, z)) < floor)
        SV_SetVoxel(x, y, z, SV_VOXEL_SET, -1, floor);
}

enum deformMode_t { DEFORM_SUB = 0, DEFORM_ADD = 1, DEFORM_PAINT = 2, DEFORM_BLUR = 3 };

void BlurVoxel(int x, int y, int z, int blurMode, const float p[3]) {
    const voxel_t self = WO_GetVoxel(x, y, z);
    int sum = 0, weights = 0, matter = WO_Matter(self);
    for (int dz = -1, k = 0; dz <= 1; dz++)
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++, k++) {
                const voxel_t n = WO_GetVoxel(x + dx, y + dy, z + dz);
                sum += WO_Density(n) * kernel0[k];
                weights += kernel0[k];
                if (WO_Density(n) >= WO_SURFACE_DENSITY)
                    matter = WO_Matter(n);
            }
    const int avg = sum / weights;
    const int old = WO_Density(self);
    const int newMatter = old < WO_SURFACE_DENSITY && avg >= WO_SURFACE_DENSITY ? matter : -1;
    const int density = blurMode == 1 ? (old > avg ? old : avg) : blurMode == 2 ? (old < avg ? old : avg) : avg;
    SV_SetVoxel(x, y, z, SV_VOXEL_SET, newMatter, density);
    if (!wo_lg) {
        RaiseDensity(x, y, z, SV_CoreProfile(p));
        CapDensity(x, y, z, SV_OuterProfile(p));
    } else {
        CapDensity(x, y, z, SV_BoxProfile(p));
    }
}

void DeformSurfs(int matter, int filter, int mode, int blurSize, float strength, int blurMode) {
    if (!(md.scale > 0.0f) || md.numSurfs <= 0)
        return;
    if (filter >= 0 && (filter < wm_min || filter > wm_max))
        return;
    if (mode == DEFORM_BLUR && blurSize != 0) {
        // A size below 1 would leave no weight to divide by; a huge one overflows the sums.
        const int size = blurSize < 1 ? 1 : blurSize > 10000 ? 10000 : blurSize;
        kernel0[KERNEL_CENTRE] = size * 10;
    }
    // strength * 1000 as an integer in 0..1e6: nothing carves more than all of a voxel.
    const float s = strength * 1000.0f;
    const int64_t strength1000 = !(s > 0.0f) ? 0 : s > 1e6f ? 1000000 : static_cast<int64_t>(s);

    for (int z = md.voxelMins[2]; z <= md.voxelMaxs[2]; z++)
        for (int y = md.voxelMins[1]; y <= md.voxelMaxs[1]; y++)
            for (int x = md.voxelMins[0]; x <= md.voxelMaxs[0]; x++) {
                const voxel_t v = WO_GetVoxel(x, y, z);
                if (!FilterPasses(filter, v))
                    continue;
                float p[3];
                SV_VoxelPoint(p, x, y, z);
                const int d = InsideValue(p, false);
                if (d == 0)
                    continue;
                switch (mode) {
                case DEFORM_ADD:
                    SV_SetVoxel(x, y, z, SV_VOXEL_ADD, WO_Density(v) >= WO_SURFACE_DENSITY ? -1 : matter, d);
                    CapDensity(x, y, z, wo_lg ? SV_BoxProfile(p) : SV_OuterProfile(p));
                    break;
                case DEFORM_SUB: {
                    int64_t amount = strength1000 * d / 1000;
                    amount = amount < 0 ? 0 : amount > 255 ? 255 : amount;
                    SV_SetVoxel(x, y, z, SV_VOXEL_SUBTRACT, -1, static_cast<int>(amount));
                    if (!wo_lg)
                        RaiseDensity(x, y, z, SV_CoreProfile(p));
                    break;
                }
                case DEFORM_PAINT:
                    SV_SetVoxel(x, y, z, SV_VOXEL_SET, matter, -1);
                    break;
                case DEFORM_BLUR:
                    BlurVoxel(x, y, z, blurMode, p);
                    break;
                }
            }
}

}  // namespace

// ---- profiles ----

void SV_VoxelPoint(float out[3], int x, int y, int z) {
    out[0] = WO_VoxelToWorld(x);
    out[1] = WO_VoxelToWorld(y);
    out[2] = WO_VoxelToWorld(z);
}

int SV_CoreProfile(const float p[3]) { return wo_worldSpace != 0.0f ? Ramp(Length(p), wo_worldCore) : 0; }

int SV_OuterProfile(const float p[3]) { return wo_worldSpace == 0.0f ? 255 : Ramp(Length(p), wo_worldSpace); }

int SV_BoxProfile(const float p[3]) {
    if (wo_spaceBox[0] == 0.0f || wo_spaceBox[1] == 0.0f || wo_spaceBox[2] == 0.0f)
        return 255;
    for (int i = 0; i < 3; i++)
        if (p[i] < -wo_spaceBox[i] || p[i] > wo_spaceBox[i])
            return 0;
    return 255;
}

// ---- fast blur ----

void SV_FastBlur(const int32_t inMins[3], const int32_t inMaxs[3], int size) {
    int32_t mins[3] = {inMins[0], inMins[1], inMins[2]}, maxs[3] = {inMaxs[0], inMaxs[1], inMaxs[2]};
    WO_ClampVoxelMinsMaxs(mins, maxs);
    if (mins[0] > maxs[0] || mins[1] > maxs[1] || mins[2] > maxs[2])
        return;
    int32_t kernel[27] = {1, 2, 1, 2, 4, 2, 1, 2, 1,  //
                          2, 4, 2, 2, 70, 2, 2, 4, 2,  //
                          1, 2, 1, 2, 4, 2, 1, 2, 1};
    if (size != 0)
        kernel[KERNEL_CENTRE] = (size < 1 ? 1 : size > 10000 ? 10000 : size) * 10;
    int32_t total = 0;
    for (int32_t w : kernel)
        total += w;

    // No undo copy here: it would replace the one taken before the change that called
    // the blur (an explosion's carving), and undo could no longer bring that back.
    const int nx = maxs[0] - mins[0] + 1, ny = maxs[1] - mins[1] + 1, nz = maxs[2] - mins[2] + 1;
    int32_t *sums = static_cast<int32_t *>(Com_malloc(sizeof(int32_t) * static_cast<size_t>(nx) * ny * nz));
    int32_t *out = sums;
    for (int z = mins[2]; z <= maxs[2]; z++)
        for (int y = mins[1]; y <= maxs[1]; y++)
            for (int x = mins[0]; x <= maxs[0]; x++) {
                int32_t sum = 0;
                for (int dz = -1, k = 0; dz <= 1; dz++)
                    for (int dy = -1; dy <= 1; dy++)
                        for (int dx = -1; dx <= 1; dx++, k++)
                            sum += WO_Density(WO_GetVoxel(x + dx, y + dy, z + dz)) * kernel[k];
                *out++ = sum;
            }
    const int32_t *in = sums;
    for (int z = mins[2]; z <= maxs[2]; z++)
        for (int y = mins[1]; y <= maxs[1]; y++)
            for (int x = mins[0]; x <= maxs[0]; x++) {
                SV_SetVoxel(x, y, z, SV_VOXEL_SET, -1, *in++ / total);
                if (wo_worldSpace != 0.0f) {
                    float p[3];
                    SV_VoxelPoint(p, x, y, z);
                    RaiseDensity(x, y, z, SV_CoreProfile(p));
                }
            }
    Com_free(sums);
}

// ---- the module's traps ----

void SV_UndoSnapshot() { SV_PrepareUndoWorld(); }

void SV_SetupSoup(const void *shape, uint8_t convex, const float *origin, const float *axis, float scale) {
    if (sv_noDeform.integer)
        return;
    const soup_t *soup = static_cast<const soup_t *>(shape);
    if (!soup || !origin || !axis) {
        Com_Error(ER_ERROR, "SV_SetupSoup: No shape");
        return;
    }
    const int numSurfs = soup->numIndexes > 0 ? soup->numIndexes / 3 : 0;
    if (numSurfs > SV_SOUP_MAX_SURFS) {
        Com_Error(ER_ERROR, "MA_ForgeMatter: Max surfaces is %d", SV_SOUP_MAX_SURFS);
        return;
    }
    if (numSurfs > 0 && (!soup->indexes || !soup->verts)) {
        Com_Error(ER_ERROR, "SV_SetupSoup: No shape");
        return;
    }
    for (int i = 0; i < numSurfs * 3; i++)
        if (soup->indexes[i] < 0 || soup->indexes[i] >= soup->numVerts) {
            Com_Error(ER_ERROR, "SV_SetupSoup: Vertex index %d outside the shape's %d vertexes",
                      soup->indexes[i], soup->numVerts);
            return;
        }

    md.convex = convex;
    md.scale = scale;
    md.numSurfs = numSurfs;
    float m[9];
    for (int i = 0; i < 9; i++)
        m[i] = axis[i] * scale;
    for (int i = 0; i < 3; i++) {
        md.mins[i] = 1e8f;
        md.maxs[i] = -1e8f;
    }
    bool planesFinite = true;
    for (int t = 0; t < numSurfs; t++) {
        svSurf_t &s = md.surfs[t];
        for (int k = 0; k < 3; k++) {
            const float *v = soup->verts + static_cast<size_t>(soup->indexes[t * 3 + k]) * SOUP_VERT_FLOATS;
            for (int i = 0; i < 3; i++) {
                s.v[k][i] = m[i * 3] * v[0] + m[i * 3 + 1] * v[1] + m[i * 3 + 2] * v[2] + origin[i];
                if (s.v[k][i] < md.mins[i])
                    md.mins[i] = s.v[k][i];
                if (s.v[k][i] > md.maxs[i])
                    md.maxs[i] = s.v[k][i];
            }
        }
        PlaneFrom3Points_normalized(s.plane, s.v[0], s.v[1], s.v[2]);
        if (!std::isfinite(s.plane[0] + s.plane[1] + s.plane[2] + s.plane[3]))
            planesFinite = false;
    }
    // A corner far outside the world overflows the plane products even while it is
    // finite, and a plane that is no number compares as "inside" everywhere.
    bool nearWorld = true;
    for (int i = 0; i < 3; i++)
        if (!(md.mins[i] >= -SOUP_MAX_COORD && md.maxs[i] <= SOUP_MAX_COORD))
            nearWorld = false;
    if (!planesFinite || !nearWorld || md.mins[0] > md.maxs[0]) {
        md.numSurfs = 0;
        md.scale = 0.0f;
        if (numSurfs > 0)
            Com_Error(ER_ERROR, "SV_SetupSoup: Shape placed outside the world");
        return;
    }
    for (int i = 0; i < 3; i++) {
        md.mins[i] -= SV_SHAPE_PADDING;
        md.maxs[i] += SV_SHAPE_PADDING;
        md.voxelMins[i] = VoxelIndex(md.mins[i]);
        md.voxelMaxs[i] = VoxelIndex(md.maxs[i]);
    }
    WO_ClampVoxelMinsMaxs(md.voxelMins, md.voxelMaxs);
}

uint8_t SV_CheckSoupConnect() {
    if (sv_noDeform.integer)
        return 1;
    if (md.numSurfs <= 0)
        return 0;
    for (int z = md.voxelMins[2]; z <= md.voxelMaxs[2]; z++)
        for (int y = md.voxelMins[1]; y <= md.voxelMaxs[1]; y++)
            for (int x = md.voxelMins[0]; x <= md.voxelMaxs[0]; x++) {
                if (WO_Density(WO_GetVoxel(x, y, z)) < WO_SURFACE_DENSITY)
                    continue;
                float p[3];
                SV_VoxelPoint(p, x, y, z);
                if (InsideValue(p, true))
                    return 1;
            }
    return 0;
}

void SV_SubSoup(int32_t filter, float strength) {
    if (!sv_noDeform.integer)
        DeformSurfs(0, filter, DEFORM_SUB, 0, strength, 0);
}

void SV_AddSoup(int32_t filter, int32_t matter) {
    if (!sv_noDeform.integer)
        DeformSurfs(matter, filter, DEFORM_ADD, 0, 0.0f, 0);
}

void SV_PaintSoup(int32_t filter, int32_t matter) {
    if (!sv_noDeform.integer)
        DeformSurfs(matter, filter, DEFORM_PAINT, 0, 0.0f, 0);
}

void SV_BlurSoup(int32_t filter, int32_t size, int32_t mode) {
    if (!sv_noDeform.integer)
        DeformSurfs(0, filter, DEFORM_BLUR, size, 0.0f, mode);
}

void SV_DamageMatter(const float *centre, float radius, int32_t amount, int32_t filter) {
    if (sv_noDeform.integer || !centre)
        return;
    if (!(radius >= 0.001f))
        radius = 0.001f;
    if (filter < wm_min || filter > wm_max)
        return;
    // Far beyond any density: keeps the products below within an int.
    amount = amount < -65536 ? -65536 : amount > 65536 ? 65536 : amount;
    int32_t mins[3], maxs[3];
    for (int i = 0; i < 3; i++) {
        mins[i] = VoxelIndex(centre[i] - radius - 0.3f);
        maxs[i] = VoxelIndex(centre[i] + radius + 0.3f);
    }
    WO_ClampVoxelMinsMaxs(mins, maxs);
    for (int z = mins[2]; z <= maxs[2]; z++)
        for (int y = mins[1]; y <= maxs[1]; y++)
            for (int x = mins[0]; x <= maxs[0]; x++) {
                float p[3];
                SV_VoxelPoint(p, x, y, z);
                if (!FilterPasses(filter, WO_GetVoxel(x, y, z)) || !(Length(p) > wo_worldCore))
                    continue;
                const float d[3] = {p[0] - centre[0], p[1] - centre[1], p[2] - centre[2]};
                const float e = Length(d);
                const float f = e < 0.001f ? static_cast<float>(amount) : (1.0f - e / radius) * amount;
                const int a = f > 0.0f ? static_cast<int>(f) : 0;
                if (a > 0)
                    SV_SetVoxel(x, y, z, SV_VOXEL_SUBTRACT, -1, a);
                RaiseDensity(x, y, z, SV_CoreProfile(p));
            }
    SV_FastBlur(mins, maxs, 30);
}
