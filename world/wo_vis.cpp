// Visibility: which page cells an eye may see.  A frustum set from an octree walk over
// the paged bounds, an occlusion set from grid lines out of the eye's cell, and the
// point and box tests the module and the snapshots ask.
#include <algorithm>
#include <bit>
#include <cstring>

#include "common/com_geometry.h"
#include "world/frustum.h"
#include "world/wo_local.h"

static_assert(std::endian::native == std::endian::little,
              "the sets are combined as words whose bit x is the byte layout's bit x");

pagePVS_t wo_view_pvs;

// The set being built and the planes of the frustum walk.  Single thread.
static pagePVS_t *vis_set;
static int vis_numPlanes;
static mplane_t vis_planes[WO_MAX_CLIP_PLANES];

// ---- cells ----

static void SetAll(pagePVS_t *set) { memset(set->bits, 0xFF, sizeof(set->bits)); }

static int ClampCell(int c) { return c < 0 ? 0 : c > WO_GRID_PAGES - 1 ? WO_GRID_PAGES - 1 : c; }

static bool OutsidePaged(const int mins[3], const int maxs[3]) {
    for (int i = 0; i < 3; i++)
        if (mins[i] < wo_pagedMins[i] || maxs[i] > wo_pagedMaxs[i])
            return true;
    return false;
}

// Visible when the cell box reaches outside the paged bounds or any of its cells is set.
static bool CheckCellBox(const pagePVS_t *set, const int mins[3], const int maxs[3]) {
    if (OutsidePaged(mins, maxs))
        return true;
    for (int z = mins[2]; z <= maxs[2]; z++)
        for (int y = mins[1]; y <= maxs[1]; y++)
            for (int x = mins[0]; x <= maxs[0]; x++)
                if (WO_PVSBit(set, x, y, z))
                    return true;
    return false;
}

// Starts a build into a cleared set; false when the switches settle the set instead:
// left as it is without visibility, all ones when this kind of set is switched off.
static bool BeginBuild(pagePVS_t *set, const cmdVar_t &skipThis) {
    if (wo_skippvs.integer)
        return false;
    if (skipThis.integer) {
        SetAll(set);
        return false;
    }
    memset(set->bits, 0, sizeof(set->bits));
    vis_set = set;
    return true;
}

// ---- frustum set ----

// Sets every cell of an inside node, eight aligned cells a byte at a time.
static void SetNode(int x, int y, int z, int size) {
    uint32_t mask = size >= 32 ? 0xFFFFFFFFu : ((1u << size) - 1) << x;
    for (int k = z; k < z + size; k++)
        for (int j = y; j < y + size; j++) {
            byte *row = &vis_set->bits[(k * WO_GRID_PAGES + j) * 4];
            uint32_t word;
            memcpy(&word, row, sizeof(word));
            word |= mask;
            memcpy(row, &word, sizeof(word));
        }
}

constexpr float VIS_NODE_MARGIN = 0.025f;  // world units a node's box grows on every side
constexpr float VIS_BOUNDS_MARGIN = 0.2f;  // world units the module's box tests grow

// What CM_AABBToClipPlanes answers for a node's box.
enum visClip_t : int {
    VIS_NODE_INSIDE = 1,
    VIS_NODE_OUTSIDE = 2,
    VIS_NODE_CROSSING = 3,
};

static void FrustumNode(int x, int y, int z, int size) {
    const int c[3] = {x, y, z};
    vec3_t mins, maxs;
    for (int i = 0; i < 3; i++) {
        mins[i] = WO_VoxelToWorld(WO_PAGE_VOXELS * c[i]) - VIS_NODE_MARGIN;
        maxs[i] = WO_VoxelToWorld(WO_PAGE_VOXELS * (c[i] + size)) + VIS_NODE_MARGIN;
    }
    switch (CM_AABBToClipPlanes(mins, maxs, vis_numPlanes, vis_planes)) {
    case VIS_NODE_INSIDE:
        SetNode(x, y, z, size);
        return;
    case VIS_NODE_CROSSING:
        if (size == 1) {
            WO_SetBit(vis_set->bits, WO_CellIndex(x, y, z));
            return;
        }
        {
            const int h = size / 2;
            for (int k = 0; k < 8; k++)
                FrustumNode(x + (k & 1) * h, y + ((k >> 1) & 1) * h, z + (k >> 2) * h, h);
        }
        return;
    default:  // VIS_NODE_OUTSIDE
        return;
    }
}

void WO_SetupFVSFromClipPlanes(pagePVS_t *set, int numPlanes, const mplane_t planes[]) {
    if (!BeginBuild(set, wo_skipfvs))
        return;
    vis_numPlanes = !planes || numPlanes < 0 ? 0 : std::min(numPlanes, WO_MAX_CLIP_PLANES);
    for (int i = 0; i < vis_numPlanes; i++)
        vis_planes[i] = planes[i];

    // The root: the smallest power-of-two cube over the paged bounds, kept in the grid.
    int lo = std::min({wo_pagedMins[0], wo_pagedMins[1], wo_pagedMins[2]});
    const int hi = std::max({wo_pagedMaxs[0], wo_pagedMaxs[1], wo_pagedMaxs[2]});
    int size = 2;
    while (size < WO_GRID_PAGES && hi - lo >= size)
        size *= 2;
    if (lo + size > WO_GRID_PAGES)
        lo = WO_GRID_PAGES - size;
    FrustumNode(lo, lo, lo, size);
}

void WO_SetupFVS(pagePVS_t *set, const vec3_t eye, const matrix3x3_t axis, float fovX, float fovY,
                 int numPlanes) {
    if (wo_skippvs.integer)
        return;
    frustum_t frustum;
    R_SetupFrustum(&frustum, eye, axis, identitymatrix3x3, fovX, fovY, 0.01f, 10000.0f);
    WO_SetupFVSFromClipPlanes(set, numPlanes, frustum.planes);
}

// ---- occlusion set ----

// Which cells stop a line of sight: solid cells, and pages without surface whose
// densities all lie above the surface.  A set built on its own learns a cell's sight
// on the cell's first visit, so that the many lines through a cell read one byte and
// no page record; a set built at a stamp reads the table the stamp took.
enum visSight_t : byte {
    VIS_UNKNOWN = 0,
    VIS_CLEAR = 1,
    VIS_OPAQUE = 2,
};
static byte vis_sight[WO_GRID_CELLS];
static const byte *vis_lineSight;  // what the lines read: vis_sight or a stamp's table
static bool vis_pagesBlock;

static byte CellSight(int cell, bool pagesBlock) {
    const int32_t v = wo_pageGrid[cell];
    const bool opaque =
        v == WO_CELL_SOLID || (v >= WO_CELL_PAGE && pagesBlock && wo_pages[v - WO_CELL_PAGE].pvsOptimized);
    return opaque ? VIS_OPAQUE : VIS_CLEAR;
}

static byte LearnSight(int cell) { return vis_sight[cell] = CellSight(cell, vis_pagesBlock); }

// Marks the cells of the integer line from the eye's cell to the target until an
// opaque cell, which is marked too.  The same walk as Com_Bresenham3D, cell for cell,
// with the marking inlined: the server runs it for every client in every frame.
static void OcclusionLine(const int eye[3], const int target[3]) {
    int a[3], step[3];
    for (int i = 0; i < 3; i++) {
        const int d = target[i] - eye[i];
        step[i] = d < 0 ? -1 : 1;
        a[i] = d < 0 ? -d : d;
    }
    const int drive = a[0] >= a[1] && a[0] >= a[2] ? 0 : a[1] >= a[2] ? 1 : 2;
    const int u = drive == 0 ? 1 : 0, w = drive == 2 ? 1 : 2;
    const int m = a[drive];
    int eu = -m, ew = -m;
    // The cell index (z * 32 + y) * 32 + x is also the cell's bit number in the set.
    const int cellStep[3] = {step[0], step[1] * WO_GRID_PAGES, step[2] * WO_GRID_PAGES * WO_GRID_PAGES};
    int c = WO_CellIndex(eye[0], eye[1], eye[2]);
    const byte *const table = vis_lineSight;
    for (int n = 0;; n++) {
        WO_SetBit(vis_set->bits, c);
        const byte sight = table[c];
        if ((sight == VIS_UNKNOWN ? LearnSight(c) : sight) != VIS_CLEAR || n == m)
            return;
        // Without branches: which minor axes step follows no pattern a predictor learns.
        eu += 2 * a[u];
        ew += 2 * a[w];
        const int stepU = -(eu > 0), stepW = -(ew > 0);  // all ones when the axis steps
        c += (cellStep[u] & stepU) + (cellStep[w] & stepW) + cellStep[drive];
        eu -= 2 * m & stepU;
        ew -= 2 * m & stepW;
    }
}

static void EyeCell(const vec3_t eye, int cell[3]) {
    for (int i = 0; i < 3; i++)
        cell[i] = ClampCell(WO_WorldToPage(eye[i]));
}

int WO_OVSEyeCell(const vec3_t eye) {
    int c[3];
    EyeCell(eye, c);
    return WO_CellIndex(c[0], c[1], c[2]);
}

// Lines to every cell of the six faces of the paged bounds, reading sight from table.
static void BuildOVS(pagePVS_t *set, const vec3_t eye, const byte *table) {
    if (!BeginBuild(set, wo_skipovs))
        return;
    int eyeCell[3];
    EyeCell(eye, eyeCell);
    vis_lineSight = table;

    // The faces z = min, z = max, y = min, y = max, x = min, x = max.  A cell on an
    // edge of the box, or on both faces of a flat box, gets its line once: the same
    // line marks the same cells.
    const int *lo = wo_pagedMins, *hi = wo_pagedMaxs;
    const auto done = [&](int axis, int v) { return v == lo[axis] || v == hi[axis]; };
    for (int axis = 2; axis >= 0; axis--) {
        const int outer = axis == 2 ? 1 : 2;  // faces of z and y: the other axis outer
        const int inner = axis == 0 ? 1 : 0;
        for (int side = 0; side < (lo[axis] == hi[axis] ? 1 : 2); side++) {
            int target[3];
            target[axis] = side ? hi[axis] : lo[axis];
            for (int o = lo[outer]; o <= hi[outer]; o++) {
                if (outer > axis && done(outer, o))
                    continue;
                for (int n = lo[inner]; n <= hi[inner]; n++) {
                    if (inner > axis && done(inner, n))
                        continue;
                    target[outer] = o;
                    target[inner] = n;
                    OcclusionLine(eyeCell, target);
                }
            }
        }
    }
}

void WO_SetupOVS(pagePVS_t *set, const vec3_t eye) {
    memset(vis_sight, VIS_UNKNOWN, sizeof(vis_sight));
    vis_pagesBlock = !wo_skipPvsOptimize.integer;
    BuildOVS(set, eye, vis_sight);
}

// Everything an occlusion set is made of besides its eye cell, as of the last stamp.
namespace {
struct visSightState_t {
    uint64_t stamp;
    int32_t mins[3], maxs[3];
    int32_t skipOvs;
    bool pagesBlock;
    byte sight[WO_GRID_CELLS];  // no VIS_UNKNOWN: every cell's sight
};
}  // namespace
static visSightState_t vis_seen;

uint64_t WO_OVSStamp() {
    if (wo_skippvs.integer)
        return 0;
    visSightState_t &s = vis_seen;
    const bool pagesBlock = !wo_skipPvsOptimize.integer;
    const bool changed = s.stamp == 0 || s.skipOvs != wo_skipovs.integer || s.pagesBlock != pagesBlock ||
                         memcmp(s.mins, wo_pagedMins, sizeof(s.mins)) != 0 ||
                         memcmp(s.maxs, wo_pagedMaxs, sizeof(s.maxs)) != 0;
    s.skipOvs = wo_skipovs.integer;
    s.pagesBlock = pagesBlock;
    memcpy(s.mins, wo_pagedMins, sizeof(s.mins));
    memcpy(s.maxs, wo_pagedMaxs, sizeof(s.maxs));
    byte differs = 0;
    for (int c = 0; c < WO_GRID_CELLS; c++) {
        const byte sight = CellSight(c, pagesBlock);
        differs |= sight ^ s.sight[c];
        s.sight[c] = sight;
    }
    if (changed || differs)
        s.stamp++;
    return s.stamp;
}

// The sets built at the newest stamp, for the eye cells asked most recently: players
// keep coming back to the cells they crossed, and several stand in one cell.
constexpr int VIS_KEPT_SETS = 32;
namespace {
struct visKeptSet_t {
    uint64_t stamp;  // 0: empty
    int32_t cell;
    uint32_t used;   // vis_useClock at the last use
    pagePVS_t set;
};
}  // namespace
static visKeptSet_t vis_kept[VIS_KEPT_SETS];
static uint32_t vis_useClock;

void WO_SetupOVSAtStamp(pagePVS_t *set, const vec3_t eye, uint64_t stamp) {
    if (!stamp || stamp != vis_seen.stamp) {
        WO_SetupOVS(set, eye);
        return;
    }
    const int cell = WO_OVSEyeCell(eye);
    // The set kept for the cell, else the slot of a former stamp or the least recently used.
    const auto age = [stamp](const visKeptSet_t &k) { return k.stamp == stamp ? k.used : 0u; };
    visKeptSet_t *oldest = &vis_kept[0];
    for (visKeptSet_t &k : vis_kept) {
        if (k.stamp == stamp && k.cell == cell) {
            k.used = ++vis_useClock;
            *set = k.set;
            return;
        }
        if (age(k) < age(*oldest))
            oldest = &k;
    }
    BuildOVS(&oldest->set, eye, vis_seen.sight);
    oldest->stamp = stamp;
    oldest->cell = cell;
    oldest->used = ++vis_useClock;
    *set = oldest->set;
}

void WO_SetupPVS(pagePVS_t *out, const pagePVS_t *a, const pagePVS_t *b) {
    if (wo_skippvs.integer)
        return;
    for (size_t i = 0; i < sizeof(out->bits); i += sizeof(uint64_t)) {
        uint64_t wa, wb;
        memcpy(&wa, a->bits + i, sizeof(wa));
        memcpy(&wb, b->bits + i, sizeof(wb));
        wa &= wb;
        memcpy(out->bits + i, &wa, sizeof(wa));
    }
}

// ---- tests ----

bool WO_CheckPagePVS(const pagePVS_t *set, int x, int y, int z) {
    if (!set || wo_skippvs.integer)
        return true;
    const int c[3] = {x, y, z};
    if (OutsidePaged(c, c))
        return true;
    return WO_PVSBit(set, x, y, z);
}

uint8_t WO_CheckPointPVS(const void *pvs, const float *point, float radius) {
    const auto *set = static_cast<const pagePVS_t *>(pvs);
    if (!set || wo_skippvs.integer)
        return 1;
    int mins[3], maxs[3];
    const float r = radius > 0 ? radius : 0;
    for (int i = 0; i < 3; i++) {
        mins[i] = WO_WorldToPage(point[i] - r);
        maxs[i] = WO_WorldToPage(point[i] + r);
    }
    return CheckCellBox(set, mins, maxs);
}

void WO_CalcBounds(int outMins[3], int outMaxs[3], const vec3_t a, const vec3_t b, const vec3_t axes[3],
                   const vec3_t origin, float margin, bool clamp) {
    vec3_t lo = {10000000, 10000000, 10000000}, hi = {-10000000, -10000000, -10000000};
    const float *extents[2] = {a, b};
    for (const float *e : extents)
        for (int k = 0; k < 4; k++) {
            const float s0 = k & 1 ? -1.0f : 1.0f, s1 = k & 2 ? -1.0f : 1.0f;
            vec3_t p;
            for (int i = 0; i < 3; i++)
                p[i] = s0 * e[0] * axes[0][i] + s1 * e[1] * axes[1][i] + e[2] * axes[2][i];
            AddToMins(lo, p);
            AddToMaxs(hi, p);
        }
    for (int i = 0; i < 3; i++) {
        outMins[i] = WO_WorldToPage(origin[i] + lo[i] - margin);
        outMaxs[i] = WO_WorldToPage(origin[i] + hi[i] + margin);
        if (clamp) {
            outMins[i] = ClampCell(outMins[i]);
            outMaxs[i] = ClampCell(outMaxs[i]);
        }
    }
}

uint8_t WO_CheckBoundsPVS(const void *pvs, const float *a, const float *b, const float *axes,
                          const float *origin) {
    const auto *set = static_cast<const pagePVS_t *>(pvs);
    if (!set || wo_skippvs.integer)
        return 1;
    int mins[3], maxs[3];
    const float(*rows)[3] = reinterpret_cast<const float(*)[3]>(axes);
    WO_CalcBounds(mins, maxs, a, b, rows, origin, VIS_BOUNDS_MARGIN, false);
    return CheckCellBox(set, mins, maxs);
}
