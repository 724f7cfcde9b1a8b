// Traces: rays, the inside test and box sweeps against the collision triangles that
// tessellation keeps per cube, so traces meet the surface players see.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/com_geometry.h"
#include "world/wo_local.h"

namespace {

// The trace being built.  Everything runs on the engine's one thread.
struct traceWork_t {
    trace_t result;
    vec3_t start, end;        // the segment tested against triangles
    bool countMode;           // inside test: count crossings instead of stopping
    int hits;                 // crossings counted
    int numKeys;
    uint32_t keys[WO_TRACE_KEYS];  // crossings already counted, by point
};

}  // namespace

static traceWork_t tw;
static int tw_rayTraces, tw_volumeTraces, tw_pointClips, tw_voxelChecks;

// A world coordinate in voxel space, where voxel cube c spans c..c+1.
static double VoxelSpace(float p) { return static_cast<double>(p) / WO_VOXEL_SIZE + WO_VOXEL_ORIGIN; }

// ---- the cell test ----

static uint32_t FloatBits(float f) {
    uint32_t u;
    memcpy(&u, &f, sizeof(u));
    return u;
}

// A crossing counts once: the same point met through a shared edge or a neighbouring
// cube is recognised by its coordinates' bit patterns while the key table has room.
static void CountCrossing(const vec3_t hit) {
    const uint32_t key = FloatBits(hit[0]) ^ FloatBits(hit[1]) ^ FloatBits(hit[2]);
    if (tw.numKeys < WO_TRACE_KEYS) {
        for (int i = 0; i < tw.numKeys; i++)
            if (tw.keys[i] == key)
                return;
        tw.keys[tw.numKeys++] = key;
    }
    tw.hits++;
}

bool WO_PointOnSurf(const woSurf_t *s, const float point[3]) {
    // A point that far outside the triangle's bounds is neither inside nor within the
    // tolerance, as the tests below would find at more cost: its projection onto the
    // plane moves by its distance from the plane at most.
    const float dist = _DotProduct(s->plane, point) + s->plane[3];
    const float reach = 1.5f * WO_TRACE_EDGE_TOLERANCE + std::fabs(dist);
    for (int i = 0; i < 3; i++) {
        const float a = s->points[0][i], b = s->points[1][i], c = s->points[2][i];
        if (point[i] < _Min(a, _Min(b, c)) - reach || point[i] > _Max(a, _Max(b, c)) + reach)
            return false;
    }
    if (CM_PointInsideTriangle(point, s->points[0], s->points[1], s->points[2], s->plane))
        return true;
    // Measured in the plane: a long segment's crossing point may lie off it a little.
    vec3_t onPlane, closest, off;
    _VectorSubMultiple(onPlane, point, s->plane, dist);
    CM_ClosestPointOnTriangle(closest, s->points[0], s->points[1], s->points[2], onPlane);
    _VectorSub(off, onPlane, closest);
    return _DotProduct(off, off) <= WO_TRACE_EDGE_TOLERANCE * WO_TRACE_EDGE_TOLERANCE;
}

// Tests the segment against the collision triangles of one voxel cube of a stored
// page.
static void CubeTest(const page_t *page, int x, int y, int z) {
    const woRun_t run = page->cubeSurfs[WO_VoxelIndex(x, y, z)];
    for (int i = run.first; i < run.first + run.count; i++) {
        const woSurf_t &s = page->surfs[i];
        float fraction = tw.countMode ? 1.0f : tw.result.fraction;
        vec3_t hit;
        if (!CM_LineSegmentToPlane(tw.start, tw.end, s.plane, &fraction, hit))
            continue;
        // Rays take crossings a hair outside the triangle: a ray through a shared
        // vertex or edge would otherwise slip between the triangles that meet there.
        // Counting keeps the exact test, or such crossings would count twice.
        if (tw.countMode ? !CM_PointInsideTriangle(hit, s.points[0], s.points[1], s.points[2], s.plane)
                         : !WO_PointOnSurf(&s, hit))
            continue;
        if (tw.countMode) {
            CountCrossing(hit);
        } else {
            tw.result.fraction = fraction;
            _VectorCopy(tw.result.endpos, hit);
            _PlaneCopy(tw.result.plane, s.plane);
        }
    }
}

// How near the segment a cube must come for a ray to test it, in voxels: a crossing
// is taken within WO_TRACE_EDGE_TOLERANCE of its triangle, which lies in its cube, so
// such a crossing may lie just outside the cube; the margin covers the tolerance and
// the rounding of a crossing point on a long segment.
constexpr double WO_RAY_CUBE_MARGIN = 2.5 * WO_TRACE_EDGE_TOLERANCE / WO_VOXEL_SIZE;

// The segment in voxel space, a + d * t for the fractions t of the walk.
struct raySegment_t {
    double a[3], d[3];
    double inv[3];    // 1 / d, 0 where d is 0
    int step[3];
    double reach[3];  // the margin as a share of the segment along each axis
};

// The cube at voxel coordinates x, y, z, when it lies in the world and has collision
// triangles.
static void TestCube(int x, int y, int z) {
    if (static_cast<unsigned>(x | y | z) >= static_cast<unsigned>(WO_WORLD_VOXELS))
        return;
    const woCellSurfs_t &cell = wo_cellSurfs[WO_VoxelCell(x, y, z)];
    if ((cell.cubes >> WO_VoxelIndex(x, y, z)) & 1)
        CubeTest(cell.page, x, y, z);
}

// The cubes beside cube `cell` that come within the margin of the part of the segment
// in it, between fractions ta and tb, apart from the cube before it on the walk
// (entered through axis `entry`, -1 for none) and the cube after it (left through
// axis `exit`, -1 for none), which the walk tests itself.  On each axis the part comes
// near the face ahead from some fraction on and near the face behind up to some
// fraction; a cube beside it across several faces is near when those spans meet.
static void TestCubesBeside(const raySegment_t &r, const int cell[3], const double next[3], const double delta[3],
                            double ta, double tb, int entry, int exit) {
    double ahead[3], behind[3];  // near the face ahead from, near the face behind up to
    int options[3];              // bit 0: the cube ahead, bit 1: the cube behind
    for (int i = 0; i < 3; i++) {
        if (r.d[i] == 0) {
            // Along the axis's faces: near one of them all the way or never.
            const double p = r.a[i];
            ahead[i] = -HUGE_VAL, behind[i] = HUGE_VAL;
            options[i] = (cell[i] + 1 - p < WO_RAY_CUBE_MARGIN) | (p - cell[i] < WO_RAY_CUBE_MARGIN) << 1;
            continue;
        }
        ahead[i] = next[i] - r.reach[i];
        behind[i] = next[i] - delta[i] + r.reach[i];
        options[i] = (ahead[i] <= tb) | (behind[i] >= ta) << 1;
    }
    // The common case: only the cubes before and after on the walk are near.
    const int plain[3] = {(exit == 0) | (entry == 0) << 1, (exit == 1) | (entry == 1) << 1,
                          (exit == 2) | (entry == 2) << 1};
    if ((options[0] & ~plain[0]) == 0 && (options[1] & ~plain[1]) == 0 && (options[2] & ~plain[2]) == 0 &&
        (entry < 0 || exit < 0 || entry == exit || behind[entry] < ahead[exit]))
        return;
    for (int oz = 0; oz < 3; oz++)
        for (int oy = 0; oy < 3; oy++)
            for (int ox = 0; ox < 3; ox++) {
                const int o[3] = {ox, oy, oz};  // 0 none, 1 ahead, 2 behind
                double lo = ta, hi = tb;
                int sides = 0, offset[3];
                bool possible = true;
                for (int i = 0; i < 3 && possible; i++) {
                    const int dir = r.step[i] != 0 ? r.step[i] : 1;  // along the faces: 1 is "ahead"
                    offset[i] = o[i] == 0 ? 0 : o[i] == 1 ? dir : -dir;
                    if (o[i] == 0)
                        continue;
                    possible = (options[i] >> (o[i] - 1)) & 1;
                    sides++;
                    if (o[i] == 1)
                        lo = std::max(lo, ahead[i]);
                    else
                        hi = std::min(hi, behind[i]);
                }
                if (!possible || sides == 0 || lo > hi)
                    continue;
                if (sides == 1 && ((exit >= 0 && o[exit] == 1) || (entry >= 0 && o[entry] == 2)))
                    continue;
                TestCube(cell[0] + offset[0], cell[1] + offset[1], cell[2] + offset[2]);
            }
}

static int NearestFace(const double next[3]) {
    // Without branches: which face comes first is unpredictable.
    const int notX = !((next[0] <= next[1]) & (next[0] <= next[2]));
    return notX * (1 + !(next[1] <= next[2]));
}

// One level of the walk: cells of `size` voxels, the one the walk is in, and the
// fractions at which the segment crosses the next face on each axis.
struct walkLevel_t {
    int cell[3];
    double next[3], delta[3];
};

// The level's cell at fraction t, among the `count` cells from `first` on each axis:
// a point on the face of a larger cell must not be rounded out of it.
static void StartLevel(const raySegment_t &r, walkLevel_t &l, double t, int size, const int first[3], int count) {
    for (int i = 0; i < 3; i++) {
        const int c = static_cast<int>(std::floor((r.a[i] + r.d[i] * t) * (1.0 / size)));
        l.cell[i] = std::clamp(c, first[i], first[i] + count - 1);
        l.delta[i] = r.d[i] != 0 ? std::fabs(size * r.inv[i]) : HUGE_VAL;
        l.next[i] = r.d[i] != 0 ? ((l.cell[i] + (r.step[i] > 0)) * size - r.a[i]) * r.inv[i] : HUGE_VAL;
    }
}

// Steps the level's walk across the face on axis i; false when that leaves the cells
// from first on (count of them on each axis), whose walk is then done.
static bool StepLevel(const raySegment_t &r, walkLevel_t &l, int i, const int first[3], int count) {
    l.cell[i] += r.step[i];
    l.next[i] += l.delta[i];
    return l.cell[i] >= first[i] && l.cell[i] < first[i] + count;
}

// The cubes of page cell pc (page coordinates) along the segment from fraction enter
// on, entered through axis `entry` (-1 at the segment's start), and those within the
// margin of it; true once the walk may stop.  It stops once the next cube begins
// beyond the nearest crossing, after testing that cube: a crossing taken within the
// tolerance may lie past the cube's exit, and a nearer one may wait there.
static bool RayWalkPage(const raySegment_t &r, const int pc[3], double enter, double t1, int entry) {
    const int first[3] = {pc[0] * WO_PAGE_VOXELS, pc[1] * WO_PAGE_VOXELS, pc[2] * WO_PAGE_VOXELS};
    // The page's runs of triangles are far apart in memory: fetched while the walk
    // finds its cubes.
    if (pc[0] >= 0 && pc[0] < WO_GRID_PAGES && pc[1] >= 0 && pc[1] < WO_GRID_PAGES && pc[2] >= 0 &&
        pc[2] < WO_GRID_PAGES) {
        const woCellSurfs_t &cell = wo_cellSurfs[WO_CellIndex(pc[0], pc[1], pc[2])];
        constexpr int runsPerLine = 64 / sizeof(woRun_t);
        for (int c = 0; c < WO_PAGE_SIZE; c += runsPerLine)
            if ((cell.cubes >> c) & ((uint64_t{1} << runsPerLine) - 1))
                __builtin_prefetch(&cell.page->cubeSurfs[c]);
    }
    walkLevel_t l;
    StartLevel(r, l, enter, 1, first, WO_PAGE_VOXELS);
    for (int n = 0; n < 4 * WO_PAGE_VOXELS; n++) {
        tw_voxelChecks++;
        const int i = NearestFace(l.next);
        const bool leaves = l.next[i] <= t1;
        const double tb = leaves ? l.next[i] : t1;
        TestCube(l.cell[0], l.cell[1], l.cell[2]);
        TestCubesBeside(r, l.cell, l.next, l.delta, enter, tb, entry, leaves ? i : -1);
        if (!leaves)
            return true;
        if (tb > tw.result.fraction) {
            // The next cube can hold a nearer crossing only when it lies within the
            // margin of the crossing's point.
            if (tb - tw.result.fraction < r.reach[i]) {
                l.cell[i] += r.step[i];
                TestCube(l.cell[0], l.cell[1], l.cell[2]);
            }
            return true;
        }
        enter = l.next[i];
        entry = i;
        if (!StepLevel(r, l, i, first, WO_PAGE_VOXELS))
            return false;
    }
    return false;
}

// The page cells of block bc (block coordinates) along the segment from fraction enter
// on; only those with collision triangles in or around them are walked cube by cube.
// True once the walk may stop.
static bool RayWalkBlock(const raySegment_t &r, const int bc[3], double enter, double t1, int entry) {
    const int first[3] = {bc[0] * WO_BLOCK_PAGES, bc[1] * WO_BLOCK_PAGES, bc[2] * WO_BLOCK_PAGES};
    walkLevel_t l;
    StartLevel(r, l, enter, WO_PAGE_VOXELS, first, WO_BLOCK_PAGES);
    for (int n = 0; n < 4 * WO_BLOCK_PAGES; n++) {
        if (enter > tw.result.fraction)
            return true;
        const int i = NearestFace(l.next);
        const int *pc = l.cell;
        const bool inGrid = pc[0] >= -1 && pc[0] <= WO_GRID_PAGES && pc[1] >= -1 && pc[1] <= WO_GRID_PAGES &&
                            pc[2] >= -1 && pc[2] <= WO_GRID_PAGES;
        if (inGrid && wo_surfNear[WO_NearIndex(pc[0], pc[1], pc[2])] && RayWalkPage(r, pc, enter, t1, entry))
            return true;
        if (l.next[i] > t1)
            return true;
        enter = l.next[i];
        entry = i;
        if (!StepLevel(r, l, i, first, WO_BLOCK_PAGES))
            return false;
    }
    return false;
}

// The ray's walk: blocks of page cells, then page cells, then cubes, each level
// entered only where collision triangles lie in or around it.
static void RayWalk(raySegment_t &r, double t0, double t1) {
    for (int i = 0; i < 3; i++) {
        r.step[i] = r.d[i] > 0 ? 1 : r.d[i] < 0 ? -1 : 0;
        r.inv[i] = r.d[i] != 0 ? 1 / r.d[i] : 0;
        r.reach[i] = r.d[i] != 0 ? WO_RAY_CUBE_MARGIN / std::fabs(r.d[i]) : HUGE_VAL;
    }
    constexpr int blockVoxels = WO_BLOCK_PAGES * WO_PAGE_VOXELS;
    const int first[3] = {-1, -1, -1};
    walkLevel_t l;
    StartLevel(r, l, t0, blockVoxels, first, WO_NEAR_BLOCKS);
    double enter = t0;
    int entry = -1;
    for (int n = 0; n < 3 * WO_NEAR_BLOCKS; n++) {
        if (enter > tw.result.fraction)
            return;
        const int i = NearestFace(l.next);
        if (wo_blockNear[WO_BlockIndex(l.cell[0], l.cell[1], l.cell[2])] && RayWalkBlock(r, l.cell, enter, t1, entry))
            return;
        if (l.next[i] > t1)
            return;
        enter = l.next[i];
        entry = i;
        if (!StepLevel(r, l, i, first, WO_NEAR_BLOCKS))
            return;
    }
}

// Walks, in order, every voxel cube the segment passes through, each once, with the
// cell test.  The walk is exact: a walk that steps past faces by a share of the
// segment's length skips the corner cubes of long segments, and a bullet would pass
// through the surface there.  Only the part of the segment within one cube of the
// world is walked; the triangle tests use the whole segment.  Counting walks the plain
// cubes (a crossing met in two cubes must not count twice); rays walk as RayWalk.
static void WalkSegment(const vec3_t start, const vec3_t end) {
    _VectorCopy(tw.start, start);
    _VectorCopy(tw.end, end);

    raySegment_t r;
    double *a = r.a, *d = r.d, t0 = 0, t1 = 1;
    for (int i = 0; i < 3; i++) {
        a[i] = VoxelSpace(start[i]);
        d[i] = VoxelSpace(end[i]) - a[i];
        const double lo = -1, hi = WO_WORLD_VOXELS + 1;
        if (d[i] == 0) {
            if (a[i] < lo || a[i] > hi)
                return;
            continue;
        }
        double ta = (lo - a[i]) / d[i], tb = (hi - a[i]) / d[i];
        if (ta > tb)
            std::swap(ta, tb);
        t0 = std::max(t0, ta);
        t1 = std::min(t1, tb);
    }
    if (t0 > t1)
        return;
    if (!tw.countMode) {
        RayWalk(r, t0, t1);
        return;
    }

    int cell[3], step[3];
    double next[3], delta[3];  // segment fraction of the next face, and between faces
    for (int i = 0; i < 3; i++) {
        cell[i] = static_cast<int>(std::floor(a[i] + d[i] * t0));
        step[i] = d[i] > 0 ? 1 : d[i] < 0 ? -1 : 0;
        delta[i] = d[i] != 0 ? std::fabs(1 / d[i]) : HUGE_VAL;
        next[i] = d[i] != 0 ? (cell[i] + (step[i] > 0) - a[i]) / d[i] : HUGE_VAL;
    }
    // The clipped segment crosses at most this many faces; the bound only guards rounding.
    // Only cubes whose bit says they hold triangles touch their page.
    int checks = 0;
    for (int n = 0; n < 3 * (WO_WORLD_VOXELS + 4); n++) {
        const int x = cell[0], y = cell[1], z = cell[2];
        if (x >= 0 && x < WO_WORLD_VOXELS && y >= 0 && y < WO_WORLD_VOXELS && z >= 0 && z < WO_WORLD_VOXELS) {
            checks++;
            const woCellSurfs_t &cell = wo_cellSurfs[WO_VoxelCell(x, y, z)];
            if ((cell.cubes >> WO_VoxelIndex(x, y, z)) & 1)
                CubeTest(cell.page, x, y, z);
        }
        const int i = NearestFace(next);
        if (next[i] > t1)
            break;
        cell[i] += step[i];
        next[i] += delta[i];
    }
    tw_voxelChecks += checks;
}

static bool Finite3(const vec3_t v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }

// Whether p lies inside matter, by the parity of the surface crossings between p and a
// reference point of known state.  Sets fraction 0 in tw.result when inside.
static void InsideTest(const vec3_t p) {
    tw_pointClips++;
    // The odd offsets keep the segment off the grid's edges and corners.
    vec3_t reference = {0.001f, -0.0001f, 0.00016f};
    if (wo_lg)
        reference[1] = wo_spaceBox[1] + 1 - 0.0001f;
    tw.countMode = true;
    tw.hits = 0;
    tw.numKeys = 0;
    WalkSegment(p, reference);
    tw.countMode = false;
    // Without wo_lg the reference lies in the world's core, inside matter.
    const bool inside = wo_lg ? (tw.hits & 1) != 0 : (tw.hits & 1) == 0;
    if (inside)
        tw.result.fraction = 0;
}

static void ResetResult(const vec3_t endpos) {
    memset(&tw.result, 0, sizeof(tw.result));
    tw.result.fraction = 1;
    _VectorCopy(tw.result.endpos, endpos);
}

void WO_RayTrace(trace_t *out, const vec3_t start, const vec3_t end) {
    ResetResult(end);
    if (!Finite3(start) || !Finite3(end)) {
        // Nothing meets a point that is nowhere.
    } else if (start[0] == end[0] && start[1] == end[1] && start[2] == end[2]) {
        InsideTest(start);
    } else {
        tw_rayTraces++;
        tw.countMode = false;
        WalkSegment(start, end);
    }
    *out = tw.result;
}

// ---- boxes ----

// The working form of a box's axes: their transpose.
static void RebuildAxisT(obb_t *box) {
    _AxisCopy(box->axisT, box->axis[0]);
    MatrixTranspose3x3(box->axisT);
}

// The voxel cubes within reach of a world span: every cube whose extent meets it, the
// cube that only touches its low end included.
static void CubeRange(float lo, float hi, int *first, int *last) {
    const double a = std::ceil(VoxelSpace(lo)) - 1;
    const double b = std::floor(VoxelSpace(hi));
    *first = Com_ClampToInt(a < 0 ? 0 : a);
    *last = Com_ClampToInt(b > WO_WORLD_VOXELS - 1 ? WO_WORLD_VOXELS - 1 : b);
}

// Whether the triangle's bounds meet the box's; a cheap test before the exact one.
static bool BoundsMeet(const woSurf_t &s, const vec3_t mins, const vec3_t maxs) {
    for (int i = 0; i < 3; i++) {
        const float a = s.points[0][i], b = s.points[1][i], c = s.points[2][i];
        if (_Max(a, _Max(b, c)) < mins[i] || _Min(a, _Min(b, c)) > maxs[i])
            return false;
    }
    return true;
}

// Half the extent, per world axis, of what the box test takes as the box: the points
// whose offset from the origin projects onto each axis within its half size.  Rows of
// unit axes that are not orthogonal (a sweep's blend of two orientations) span a
// skewed box reaching further than the rows themselves; its corners are the columns of
// the inverse of the axes, scaled by the half sizes.  The extent of the rows is kept as
// well, so a box with orthogonal axes keeps the bounds it had to the last rounding.
static void BoxExtent(const obb_t *box, float extent[3]) {
    const float(*m)[3] = box->axis;
    double inv[3][3];
    inv[0][0] = double(m[1][1]) * m[2][2] - double(m[1][2]) * m[2][1];
    inv[0][1] = double(m[0][2]) * m[2][1] - double(m[0][1]) * m[2][2];
    inv[0][2] = double(m[0][1]) * m[1][2] - double(m[0][2]) * m[1][1];
    inv[1][0] = double(m[1][2]) * m[2][0] - double(m[1][0]) * m[2][2];
    inv[1][1] = double(m[0][0]) * m[2][2] - double(m[0][2]) * m[2][0];
    inv[1][2] = double(m[0][2]) * m[1][0] - double(m[0][0]) * m[1][2];
    inv[2][0] = double(m[1][0]) * m[2][1] - double(m[1][1]) * m[2][0];
    inv[2][1] = double(m[0][1]) * m[2][0] - double(m[0][0]) * m[2][1];
    inv[2][2] = double(m[0][0]) * m[1][1] - double(m[0][1]) * m[1][0];
    const double det = m[0][0] * inv[0][0] + m[0][1] * inv[1][0] + m[0][2] * inv[2][0];
    for (int i = 0; i < 3; i++) {
        float rows = 0;
        double skewed = 0;
        for (int k = 0; k < 3; k++) {
            rows += std::fabs(m[k][i]) * std::fabs(box->halfSize[k]);
            skewed += std::fabs(inv[i][k]) * std::fabs(box->halfSize[k]);
        }
        // Flat axes leave the box unbounded across them: the whole world is in reach.
        skewed = std::fabs(det) > 1e-12 ? skewed / std::fabs(det) : 1e9;
        // Rounded outward, so that no point of the box falls outside.
        extent[i] = std::max(rows, static_cast<float>(skewed * (1 + 1e-6)));
    }
}

bool WO_ClipObbToWorld(const obb_t *box, vec4_t plane) {
    // The box's axis-aligned bounds; a triangle lies within its cube, so only the cubes
    // that meet these bounds can hold one that overlaps the box.
    vec3_t mins, maxs;
    int first[3], last[3];
    float extent[3];
    BoxExtent(box, extent);
    for (int i = 0; i < 3; i++) {
        mins[i] = box->origin[i] - extent[i];
        maxs[i] = box->origin[i] + extent[i];
        CubeRange(mins[i], maxs[i], &first[i], &last[i]);
    }
    for (int z = first[2]; z <= last[2]; z++)
        for (int y = first[1]; y <= last[1]; y++)
            for (int x = first[0]; x <= last[0]; x++) {
                const page_t *page = WO_CellPage(WO_VoxelCell(x, y, z));
                if (!page) {
                    x |= WO_PAGE_VOXELS - 1;  // the rest of this cell's row has no triangle
                    continue;
                }
                const woRun_t run = page->cubeSurfs[WO_VoxelIndex(x, y, z)];
                for (int i = run.first; i < run.first + run.count; i++) {
                    const woSurf_t &s = page->surfs[i];
                    if (BoundsMeet(s, mins, maxs) && CM_TriangleToOBB(s.points[0], s.points[1], s.points[2], box)) {
                        if (plane)
                            _PlaneCopy(plane, s.plane);
                        return true;
                    }
                }
            }
    return false;
}

static bool FiniteBox(const obb_t *b) {
    return Finite3(b->origin) && Finite3(b->halfSize) && Finite3(b->axis[0]) && Finite3(b->axis[1]) &&
           Finite3(b->axis[2]);
}

static bool SameBox(const obb_t *a, const obb_t *b) {
    for (int i = 0; i < 3; i++)
        if (a->origin[i] != b->origin[i] || a->halfSize[i] != b->halfSize[i] || a->axis[0][i] != b->axis[0][i] ||
            a->axis[1][i] != b->axis[1][i] || a->axis[2][i] != b->axis[2][i])
            return false;
    return true;
}

static void SetStop(const obb_t *box) {
    _VectorCopy(tw.result.endpos, box->origin);
    for (int i = 0; i < 3; i++)
        _VectorCopy(tw.result.endAxes[i], box->axis[i]);
}

void WO_VolumeTrace(trace_t *out, const obb_t *start, const obb_t *end) {
    tw_volumeTraces++;
    ResetResult(end->origin);
    for (int i = 0; i < 3; i++)
        _VectorCopy(tw.result.endAxes[i], end->axis[i]);

    if (!FiniteBox(start) || !FiniteBox(end)) {
        // A box that is nowhere does not move.
        Com_Error(ER_WARNING, "WO_VolumeTrace: box is not finite");
        tw.result.fraction = 0;
        SetStop(start);
        *out = tw.result;
        return;
    }

    if (SameBox(start, end)) {
        obb_t box = *start;
        RebuildAxisT(&box);
        if (WO_ClipObbToWorld(&box, tw.result.plane))
            tw.result.fraction = 0;
        else
            InsideTest(start->origin);
        *out = tw.result;
        return;
    }

    float m = start->halfSize[0];
    for (int i = 0; i < 3; i++)
        m = _Min(m, _Min(start->halfSize[i], end->halfSize[i]));
    if (m < WO_VOLUME_MIN_DIM) {
        Com_Error(ER_WARNING, "WO_VolumeTrace: volume dim < 0.001");
        *out = tw.result;
        return;
    }

    // Samples a tenth of the thinnest extent apart; the floor on the step keeps a sweep
    // across any distance finite and every step a real advance of t.
    const float d = PointDistance(start->origin, end->origin);
    float step = d < 0.01f ? 1.0f : _Min(1.0f, m / (10.0f * d));
    step = _Max(step, 1.0f / WO_VOLUME_MAX_SAMPLES);

    float t = 0;
    do {
        float next = t + step;
        obb_t sample;
        if (next <= 0.9999f) {
            CM_LerpOBB(&sample, start, end, next);
        } else {
            next = 1;
            sample = *end;
            RebuildAxisT(&sample);
        }
        if (WO_ClipObbToWorld(&sample, tw.result.plane)) {
            if (t == 0) {
                tw.result.fraction = 0;
                SetStop(start);
            } else {
                obb_t free;
                CM_LerpOBB(&free, start, end, t);
                tw.result.fraction = t;
                SetStop(&free);
            }
            break;
        }
        t = next;
    } while (t < 1);
    *out = tw.result;
}

void WO_Trace(trace_t *out, const obb_t *start, const obb_t *end) {
    if (start->halfSize[0] == 0 && start->halfSize[1] == 0 && start->halfSize[2] == 0)
        WO_RayTrace(out, start->origin, end->origin);
    else
        WO_VolumeTrace(out, start, end);
}

void WO_PrintTrace() {
    static int calls;
    if (!wo_printtrace.integer)
        return;
    if (++calls % 10 == 0)
        Com_Printf("RayTrace:%4d VolumeTrace:%4d PointClips:%4d VoxelChecks: %8d", tw_rayTraces, tw_volumeTraces,
                   tw_pointClips, tw_voxelChecks);
    tw_rayTraces = tw_volumeTraces = tw_pointClips = tw_voxelChecks = 0;
}
