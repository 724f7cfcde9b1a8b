// Marching-cubes tessellation of pages into render batches, a welded surface,
// collision triangles and shadow-volume triangles.
//
// Stage 0 releases a page's old triangles, stage 1 builds new ones, the final stage
// recomputes the normals of every vertex touched.  Releasing on every page before
// any rebuilds lets neighbouring pages find and share the vertexes of common edges.
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "world/wo_local.h"
#include "world/wo_tables.h"

constexpr int WINDOW = WO_PAGE_VOXELS + 1;            // 5: the page plus the next layer
constexpr int WINDOW_SIZE = WINDOW * WINDOW * WINDOW;  // 125
constexpr float DEGENERATE_DIST2 = 1e-5f;    // squared distance under which two corners are one
constexpr float BOUNDS_FAR = 999999.875f;    // empty shadow bounds start from +-this
constexpr float SHADOW_BOUNDS_GROWTH = 0.1f; // world units the shadow bounds grow on every side
constexpr float FACING_LEAN = 0.5f;          // a vertex's facing wins when the unit normal leans more
constexpr int OPAQUE_DENSITY = WO_SURFACE_DENSITY + 1;  // a surfaceless page this dense blocks sight

// Scratch of stage 1: one page at a time, one thread.
static voxel_t q_voxels[WINDOW_SIZE];                // index x + 5y + 25z
static byte q_cubeIndexes[WO_PAGE_SIZE];             // index x + 4y + 16z

static int WindowIndex(int x, int y, int z) { return x + WINDOW * y + WINDOW * WINDOW * z; }

static float Dist2(const float a[3], const float b[3]) {
    vec3_t d;
    _VectorSub(d, a, b);
    return _DotProduct(d, d);
}

static bool Degenerate(const int idx[3]) {
    const float *p0 = WO_GetVertexPosRefByIndex(idx[0]);
    const float *p1 = WO_GetVertexPosRefByIndex(idx[1]);
    const float *p2 = WO_GetVertexPosRefByIndex(idx[2]);
    return Dist2(p0, p1) < DEGENERATE_DIST2 || Dist2(p1, p2) < DEGENERATE_DIST2 ||
           Dist2(p2, p0) < DEGENERATE_DIST2;
}

// ---- limits ----

// One warning per page and product, led by the limit's own text: the page keeps what
// fitted and the process goes on.
static void ClampWarning(const page_t *page, bool *warned, const char *limitText, int limit, const char *what) {
    if (*warned)
        return;
    *warned = true;
    Com_Error(ER_WARNING, "%s: page (%d %d %d) clamped at %d %s", limitText, page->x, page->y, page->z, limit,
              what);
}

// ---- vertexes ----

// Window offset of each cube corner from the cube's lowest voxel.
static constexpr auto cornerDelta = [] {
    std::array<int, 8> d{};
    for (int n = 0; n < 8; n++)
        d[n] = wo_cornerOffsets[n][0] + WINDOW * wo_cornerOffsets[n][1] + WINDOW * WINDOW * wo_cornerOffsets[n][2];
    return d;
}();

// Corner n of cube (cx, cy, cz) as a window index.
static int CornerWindowIndex(int cx, int cy, int cz, int n) { return WindowIndex(cx, cy, cz) + cornerDelta[n]; }

static byte ColorByte(float c) {
    // Base colours are 0..255 per channel.
    const float r = std::round(c);
    return static_cast<byte>(r < 0 ? 0 : r > 255 ? 255 : r);
}

// The colour of the current matter pass's vertexes.
static byte q_passColor[4];

static void SetPassColor(int m) {
    for (int k = 0; k < 3; k++)
        q_passColor[k] = ColorByte(wo_wms[m].baseColor[k]);
    q_passColor[3] = 255;
}

// The vertex of an edge from corner voxel A at pa to corner voxel B at pb, in the pass
// of matter m.
static void VertexLerp(poolVertex_t *out, const float pa[3], const float pb[3], voxel_t va, voxel_t vb, int m) {
    const int dA = WO_Density(va), dB = WO_Density(vb);
    memcpy(out->rgba, q_passColor, sizeof(out->rgba));

    if (dA == WO_SURFACE_DENSITY) {
        memcpy(out->position, pa, sizeof(out->position));
    } else if (dB == WO_SURFACE_DENSITY) {
        memcpy(out->position, pb, sizeof(out->position));
    } else if (dA == dB) {
        memcpy(out->position, pa, sizeof(out->position));
    } else {
        const float t = static_cast<float>(WO_SURFACE_DENSITY - dA) / static_cast<float>(dB - dA);
        for (int k = 0; k < 3; k++)
            out->position[k] = pa[k] + (pb[k] - pa[k]) * t;
    }

    out->normal[0] = out->normal[1] = out->normal[2] = 0;
    memset(out->axisMask, 0, sizeof(out->axisMask));
    out->st[0] = out->st[1] = 0;
    out->matter = m;
    out->facing = -1;

    // A corner that is not matter of this pass darkens the vertex: the pass of another
    // matter draws that side of the edge.
    const int kA = dA < WO_SURFACE_DENSITY ? -1 : WO_Matter(va);
    const int kB = dB < WO_SURFACE_DENSITY ? -2 : WO_Matter(vb);
    if ((kA != m && kB != m) || (dA >= WO_SURFACE_DENSITY && dB >= WO_SURFACE_DENSITY && kA != kB))
        out->rgba[0] = out->rgba[1] = out->rgba[2] = 0;
}

// The pool key of an edge of cube (cx, cy, cz): owner voxel and axis.
static void EdgeOwner(const page_t *page, int cx, int cy, int cz, int edge, int owner[4]) {
    const woCubeEdge_t &e = wo_cubeEdges[edge];
    owner[0] = page->voxelMins[0] + cx + e.ownerX;
    owner[1] = page->voxelMins[1] + cy + e.ownerY;
    owner[2] = page->voxelMins[2] + cz + e.ownerZ;
    owner[3] = e.axis;
}

// The edge's vertex of matter m: the pool's when it has one, else a new one.
static int WO_SpawnVertex(const page_t *page, int cx, int cy, int cz, int edge, int m, bool *firstOfEdge) {
    int o[4];
    EdgeOwner(page, cx, cy, cz, edge, o);
    const int found = WO_FindEdgeVertex(o[0], o[1], o[2], o[3], m, firstOfEdge);
    if (found >= 0)
        return found;
    const woCubeEdge_t &e = wo_cubeEdges[edge];
    const int a = CornerWindowIndex(cx, cy, cz, e.first);
    const int b = CornerWindowIndex(cx, cy, cz, e.second);
    float pa[3], pb[3];
    const int cube[3] = {page->voxelMins[0] + cx, page->voxelMins[1] + cy, page->voxelMins[2] + cz};
    for (int k = 0; k < 3; k++) {
        pa[k] = WO_VoxelToWorld(cube[k] + wo_cornerOffsets[e.first][k]);
        pb[k] = WO_VoxelToWorld(cube[k] + wo_cornerOffsets[e.second][k]);
    }
    poolVertex_t v;
    VertexLerp(&v, pa, pb, q_voxels[a], q_voxels[b], m);
    return WO_AddEdgeVertex(&v, o[0], o[1], o[2], o[3], m);
}

// Texture projection of a facing: s, t from two position axes and the axis mask.
static constexpr float facingMasks[3][4] = {{0, 1, 0, 1}, {0, 0, 1, 1}, {1, 0, 0, 1}};
static void FacingST(float st[2], const float position[3], int facing, int m) {
    static constexpr int8_t sAxis[3] = {1, 2, 0};
    static constexpr int8_t tAxis[3] = {2, 0, 1};
    const worldMatter_t &wm = wo_wms[m];
    st[0] = wm.stScale[0] * position[sAxis[facing]];
    st[1] = wm.stScale[1] * position[tAxis[facing]];
}

// Pool look-ups by edge of the window: every edge vertex serves up to six triangles,
// and the hash walk is the costliest step of a page.  A slot is valid while its stamp
// is the cache's current one.
constexpr int EDGE_SLOTS = WINDOW_SIZE * 3;
struct edgeCache_t {
    int32_t index[EDGE_SLOTS];
    uint32_t stamp[EDGE_SLOTS];
    uint32_t current = 1;
};
static edgeCache_t q_matterEdges;  // the vertex of the current matter pass, per edge
static edgeCache_t q_firstEdges;   // the edge's oldest vertex, any matter

static void Forget(edgeCache_t &c) { c.current++; }

static int Recall(const edgeCache_t &c, int slot) { return c.stamp[slot] == c.current ? c.index[slot] : -1; }

static void Remember(edgeCache_t &c, int slot, int i) {
    c.stamp[slot] = c.current;
    c.index[slot] = i;
}

// Slot offset of each cube edge from the slots of the cube's lowest voxel.
static constexpr auto edgeSlotDelta = [] {
    std::array<int, 12> d{};
    for (int n = 0; n < 12; n++) {
        const woCubeEdge_t &e = wo_cubeEdges[n];
        d[n] = (e.ownerX + WINDOW * e.ownerY + WINDOW * WINDOW * e.ownerZ) * 3 + e.axis;
    }
    return d;
}();

static int EdgeSlot(int cx, int cy, int cz, int edge) { return WindowIndex(cx, cy, cz) * 3 + edgeSlotDelta[edge]; }

// The first vertex of cube (cx, cy, cz)'s edge, any matter, or -1.
static int FirstEdgeVertex(const page_t *page, int cx, int cy, int cz, int edge) {
    const int slot = EdgeSlot(cx, cy, cz, edge);
    int i = Recall(q_firstEdges, slot);
    if (i >= 0)
        return i;
    int o[4];
    EdgeOwner(page, cx, cy, cz, edge, o);
    i = WO_GetIndexFromPool(o[0], o[1], o[2], o[3], -1, -1);
    if (i >= 0)
        Remember(q_firstEdges, slot, i);
    return i;
}

// The vertex of cube (cx, cy, cz)'s edge in the pass of matter m, spawned when the
// pool has none; -1 when the pool is full.
static int MatterEdgeVertex(const page_t *page, int cx, int cy, int cz, int edge, int m) {
    const int slot = EdgeSlot(cx, cy, cz, edge);
    int i = Recall(q_matterEdges, slot);
    if (i >= 0)
        return i;
    bool first;
    i = WO_SpawnVertex(page, cx, cy, cz, edge, m, &first);
    if (i >= 0) {
        Remember(q_matterEdges, slot, i);
        if (first)
            Remember(q_firstEdges, slot, i);
    }
    return i;
}

static void HarvestAll(const int idx[3]) {
    for (int k = 0; k < 3; k++)
        if (idx[k] >= 0 && WO_TestBit(wo_pool.active, idx[k]) && wo_pool.references[idx[k]] == 0) {
            WO_HarvestVertex(idx[k]);
            Forget(q_matterEdges);  // a remembered index may have been freed
            Forget(q_firstEdges);
        }
}

// ---- stage 0 ----

void WO_TessPageStage0(page_t *page) {
    if (!page)
        return;
    WO_ASSERT(page->magic == WO_PAGE_MAGIC);
    // The matters' batches are consecutive runs that together fill batchIndexes.
    for (int k = 0; k < page->numBatchIndexes; k++)
        WO_SinkGarbageCount(page->batchIndexes[k]);
    for (int k = 0; k < page->numIndexes; k++)
        WO_SinkGarbageCount(page->indexes[k]);
    for (int k = 0; k < page->numFaces; k++)
        WO_RemoveFace(page->faces[k]);
    // Nothing released stays counted, so a second stage 0 cannot release it again.
    WO_ForgetPageProducts(page);
}

// ---- stage 1 ----

// Asks the cache for the voxels the window of the page after this one will read:
// callers walk pages in list order, and the neighbours' voxels lie far apart.
static void PrefetchWindow(const page_t *next) {
    if (next == &wo_pageDummy || next->magic != WO_PAGE_MAGIC)
        return;
    // The page's own fields that stage 1 writes lie far apart in its record.
    for (const void *field : {static_cast<const void *>(next->cubeCases), static_cast<const void *>(&next->numSurfs),
                              static_cast<const void *>(&next->numIndexes), static_cast<const void *>(next->shadowMins),
                              static_cast<const void *>(next->matterBits), static_cast<const void *>(&next->batches[wm_min]),
                              static_cast<const void *>(&next->numFaces)})
        __builtin_prefetch(field, 1);
    for (int d = 0; d < 8; d++) {
        const int x = next->x + (d & 1), y = next->y + ((d >> 1) & 1), z = next->z + (d >> 2);
        if (x >= WO_GRID_PAGES || y >= WO_GRID_PAGES || z >= WO_GRID_PAGES)
            continue;
        if (const page_t *p = WO_CellPage(WO_CellIndex(x, y, z))) {
            __builtin_prefetch(p->voxels);
            __builtin_prefetch(p->voxels + 32);
        }
    }
    // The pool's edge slots of the window: a run of five voxels' slots per window row,
    // the rows far apart in the table.
    const int *base = next->voxelMins;
    for (int z = 0; z < WINDOW; z++)
        for (int y = 0; y < WINDOW; y++) {
            const int32_t *row = wo_edgeVertex + WO_EdgeSlot(base[0], base[1] + y, base[2] + z, 0);
            __builtin_prefetch(row);
            __builtin_prefetch(row + 3 * WINDOW - 1);
        }
}

// The low nibbles of the cases of the four cubes along a pair of window rows, one byte
// a cube, indexed by the rows' empty masks (32 * near + far).  The near row holds
// corners 0 and 1 (4 and 5 a row higher), the far row, one voxel up z, corners 3 and
// 2 (7 and 6): the high nibbles are the same table a row higher, shifted by four.
static constexpr auto rowPairCases = [] {
    static_assert(wo_cornerOffsets[1][0] == 1 && wo_cornerOffsets[2][0] == 1 && wo_cornerOffsets[2][2] == 1 &&
                      wo_cornerOffsets[3][2] == 1 && wo_cornerOffsets[4][1] == 1 && wo_cornerOffsets[5][0] == 1 &&
                      wo_cornerOffsets[6][0] == 1 && wo_cornerOffsets[7][1] == 1 && wo_cornerOffsets[7][2] == 1,
                  "the corner order the rows are read in");
    std::array<uint32_t, 32 * 32> table{};
    for (uint32_t nearRow = 0; nearRow < 32; nearRow++)
        for (uint32_t farRow = 0; farRow < 32; farRow++) {
            uint32_t cases = 0;
            for (int cx = 0; cx < WO_PAGE_VOXELS; cx++) {
                const uint32_t corners = (nearRow >> cx & 1) | (nearRow >> (cx + 1) & 1) << 1 |
                                         (farRow >> (cx + 1) & 1) << 2 | (farRow >> cx & 1) << 3;
                cases |= corners << (8 * cx);
            }
            table[nearRow * 32 + farRow] = cases;
        }
    return table;
}();

// Set by LoadWindow: every non-empty voxel of the window is of one matter, so every
// cube with surface has a corner of it.
static bool q_oneMatter;

// Reads the page's 5^3 window, its cube cases and the matters present; returns
// whether any cube holds surface.
static bool LoadWindow(page_t *page) {
    PrefetchWindow(page->next);
    const int *base = page->voxelMins;
    // The window as stored: the page's own voxels and the first layer of the seven
    // cells above it, each cell looked up once (past the grid's end: empty).
    const voxel_t *cells[8];
    voxel_t uniform[8];
    for (int d = 0; d < 8; d++) {
        const int x = page->x + (d & 1), y = page->y + ((d >> 1) & 1), z = page->z + (d >> 2);
        cells[d] = nullptr;
        uniform[d] = wo_emptyVoxel;
        if (x >= WO_GRID_PAGES || y >= WO_GRID_PAGES || z >= WO_GRID_PAGES)
            continue;
        const int cell = WO_CellIndex(x, y, z);
        const page_t *p = WO_CellPage(cell);
        uniform[d] = wo_pageGrid[cell] == WO_CELL_SOLID ? wo_solidVoxel : wo_emptyVoxel;
        cells[d] = p ? p->voxels : nullptr;
    }
    // Row by row: four voxels of the row's own cell, the fifth from the cell beyond.
    for (int z = 0; z < WINDOW; z++)
        for (int y = 0; y < WINDOW; y++) {
            const int d = (y >> 2) << 1 | (z >> 2) << 2;
            const int v = WO_VoxelIndex(0, y, z);
            voxel_t *row = q_voxels + WindowIndex(0, y, z);
            if (cells[d])
                memcpy(row, cells[d] + v, WO_PAGE_VOXELS * sizeof(voxel_t));
            else
                row[0] = row[1] = row[2] = row[3] = uniform[d];
            row[WO_PAGE_VOXELS] = cells[d | 1] ? cells[d | 1][v] : uniform[d | 1];
        }
    // At the world's faces the voxels outside 1..125 read empty, as WO_GetVoxel has it,
    // so every surface closes inside the world.
    const bool inner = page->x > 0 && page->y > 0 && page->z > 0 && page->x < WO_GRID_PAGES - 1 &&
                       page->y < WO_GRID_PAGES - 1 && page->z < WO_GRID_PAGES - 1;
    if (!inner)
        for (int z = 0; z < WINDOW; z++)
            for (int y = 0; y < WINDOW; y++)
                for (int x = 0; x < WINDOW; x++)
                    if (!WO_VoxelInWorld(base[0] + x, base[1] + y, base[2] + z))
                        q_voxels[WindowIndex(x, y, z)] = wo_emptyVoxel;

    // Per row of the window (index y + 5z), bit x set where the voxel is empty.  Which
    // corners are empty is the least predictable thing in a page, so nothing branches
    // on it: the row's first four voxels are tested together as the four 16-bit lanes
    // of one word (bit 7 of a lane is the density's top bit), the fifth alone.  The
    // matters of the non-empty voxels are gathered as an OR and an AND: when both
    // agree, one matter is present.
    constexpr uint64_t LANES = 0x0001000100010001;
    constexpr uint64_t GATHER = 0x0000200040008001;  // lane k's bit 0 to bit 45 + k
    byte emptyRows[WINDOW * WINDOW];
    uint64_t laneEmpty = 0, laneOr = 0, laneAnd = ~uint64_t{0};
    uint32_t numEmpty = 0, matterOr = 0, matterAnd = 0xFF;
    for (int r = 0; r < WINDOW * WINDOW; r++) {
        const voxel_t *row = q_voxels + r * WINDOW;
        uint64_t four;
        memcpy(&four, row, sizeof(four));
        const uint64_t solid = (four >> 7) & LANES;
        const uint64_t empty = solid ^ LANES;
        const uint64_t keep = solid * 0xFFFF;  // a whole lane of ones where non-empty
        laneEmpty += empty;
        laneOr |= four & keep;
        laneAnd &= four | ~keep;

        const uint32_t fifthEmpty = WO_Density(row[4]) < WO_SURFACE_DENSITY;
        const uint32_t fifthKeep = fifthEmpty - 1;
        numEmpty += fifthEmpty;
        matterOr |= WO_Matter(row[4]) & fifthKeep;
        matterAnd &= (WO_Matter(row[4]) | ~fifthKeep) & 0xFF;
        emptyRows[r] = static_cast<byte>((empty * GATHER) >> 45 | fifthEmpty << 4);
    }
    numEmpty += static_cast<uint32_t>((laneEmpty * LANES) >> 48);  // the four lanes summed
    matterOr |= static_cast<uint32_t>((laneOr >> 8 | laneOr >> 24 | laneOr >> 40 | laneOr >> 56) & 0xFF);
    matterAnd &= static_cast<uint32_t>(laneAnd >> 8 & laneAnd >> 24 & laneAnd >> 40 & laneAnd >> 56 & 0xFF);

    memset(page->matterBits, 0, sizeof(page->matterBits));
    q_oneMatter = matterOr == matterAnd;
    if (numEmpty != WINDOW_SIZE) {
        if (q_oneMatter) {
            WO_SetBit(page->matterBits, static_cast<int>(matterOr));
        } else {
            for (voxel_t v : q_voxels)
                if (WO_Density(v) >= WO_SURFACE_DENSITY)
                    WO_SetBit(page->matterBits, WO_Matter(v));
        }
    }

    const bool surface = numEmpty != 0 && numEmpty != WINDOW_SIZE;
    if (!surface) {
        memset(q_cubeIndexes, numEmpty ? 255 : 0, sizeof(q_cubeIndexes));
    } else {
        // The four cases of a row of cubes at once, from the masks of the four window
        // rows around it (the cases' byte order is the host's, little-endian).
        static_assert(std::endian::native == std::endian::little, "cases are stored four at a time");
        for (int cz = 0; cz < WO_PAGE_VOXELS; cz++)
            for (int cy = 0; cy < WO_PAGE_VOXELS; cy++) {
                const int r = cy + WINDOW * cz;
                const uint32_t cases = rowPairCases[emptyRows[r] * 32 + emptyRows[r + WINDOW]] |
                                       rowPairCases[emptyRows[r + 1] * 32 + emptyRows[r + 1 + WINDOW]] << 4;
                memcpy(q_cubeIndexes + 4 * cy + 16 * cz, &cases, sizeof(cases));
            }
    }
    return surface;
}

// The cubes with surface that have a corner of each matter, ascending per matter:
// matter m's are cubes[first[m]] up to cubes[first[m + 1]].
struct matterCubes_t {
    uint16_t first[WO_MATTERS + 1];
    uint8_t cubes[WO_PAGE_SIZE * 8];
};
static matterCubes_t q_matterCubes;

// Fills q_matterCubes from the window: one walk over the cubes, then a counting sort
// by matter that keeps the cubes' order.
static void SortCubesByMatter() {
    uint16_t count[WO_MATTERS] = {};
    uint8_t pairMatter[WO_PAGE_SIZE * 8], pairCube[WO_PAGE_SIZE * 8];
    int pairs = 0;
    for (int c = 0; c < WO_PAGE_SIZE; c++) {
        if (wo_triTable[q_cubeIndexes[c]][0] < 0)
            continue;
        const int first = pairs;
        const int base = WindowIndex(c & 3, (c >> 2) & 3, c >> 4);
        for (int n = 0; n < 8; n++) {
            const voxel_t v = q_voxels[base + cornerDelta[n]];
            if (WO_Density(v) < WO_SURFACE_DENSITY)
                continue;
            const int m = WO_Matter(v);
            bool seen = false;
            for (int k = first; k < pairs && !seen; k++)
                seen = pairMatter[k] == m;
            if (seen)
                continue;
            pairMatter[pairs] = static_cast<uint8_t>(m);
            pairCube[pairs++] = static_cast<uint8_t>(c);
            count[m]++;
        }
    }
    uint16_t *first = q_matterCubes.first;
    first[0] = 0;
    for (int m = 0; m < WO_MATTERS; m++)
        first[m + 1] = static_cast<uint16_t>(first[m] + count[m]);
    uint16_t at[WO_MATTERS];
    memcpy(at, first, sizeof(at));
    for (int k = 0; k < pairs; k++)
        q_matterCubes.cubes[at[pairMatter[k]]++] = pairCube[k];
}

// The unit normal of each triangle the batches emitted, by cube and place in the
// cube's row, with the points it was computed from: the collision triangle over the
// same points has the same plane, and is not computed twice.  A record is valid while
// its stamp is the current page's.
struct batchTriangle_t {
    float points[3][3];
    float normal[3];
    uint32_t stamp;
};
static batchTriangle_t q_batchTriangles[WO_PAGE_SIZE * 5];
static uint32_t q_batchStamp;

// One triangle of the pass of matter m into the page's batch and faces.  False when the
// page's batch or faces are full (the pass stops).
static bool EmitBatchTriangle(page_t *page, int c, int t, const int8_t *tri, int m, bool *warned) {
    const int cx = c & 3, cy = (c >> 2) & 3, cz = c >> 4;
    if (page->numBatchIndexes + 3 > WO_PAGE_BATCH_INDEXES_MAX) {
        ClampWarning(page, warned, "W_SetupBatches: WO_PAGE_INDEXES_MAX", WO_PAGE_BATCH_INDEXES_MAX, "batch indexes");
        return false;
    }
    if (page->numFaces >= WO_PAGES_FACES_MAX) {
        ClampWarning(page, warned, "W_SetupBatches: WO_PAGES_FACES_MAX", WO_PAGES_FACES_MAX, "faces");
        return false;
    }

    int idx[3] = {-1, -1, -1};
    int edges[3];
    for (int k = 0; k < 3; k++) {
        edges[k] = tri[qt_lookup[k]];
        idx[k] = MatterEdgeVertex(page, cx, cy, cz, edges[k], m);
        if (idx[k] < 0) {  // the pool is full: reported there
            HarvestAll(idx);
            return true;
        }
    }
    if (Degenerate(idx)) {
        HarvestAll(idx);
        return true;
    }

    vec3_t n;
    NormalFrom3Points(n, WO_GetVertexPosRefByIndex(idx[0]), WO_GetVertexPosRefByIndex(idx[1]),
                      WO_GetVertexPosRefByIndex(idx[2]));
    int facing = 0;
    for (int a = 1; a < 3; a++)
        if (std::fabs(n[a]) > std::fabs(n[facing]))
            facing = a;
    const float normalLength = VectorNormalize(n);
    batchTriangle_t &record = q_batchTriangles[c * 5 + t / 3];
    for (int k = 0; k < 3; k++)
        memcpy(record.points[k], WO_GetVertexPosRefByIndex(idx[k]), sizeof(record.points[k]));
    _VectorCopy(record.normal, n);
    record.stamp = q_batchStamp;
    for (int k = 0; k < 3; k++) {
        const int f = wo_pool.facing[idx[k]];
        if (f >= 0 && std::fabs(n[f]) > FACING_LEAN) {
            facing = f;
            break;
        }
    }

    for (int k = 0; k < 3; k++) {
        const int f = wo_pool.facing[idx[k]];
        if (f == facing)
            continue;
        float st[2];
        FacingST(st, WO_GetVertexPosRefByIndex(idx[k]), facing, m);
        if (f < 0) {
            WO_SetVertexFacing(idx[k], facing, st, facingMasks[facing]);
            continue;
        }
        poolVertex_t v;
        WO_GetVertexByIndex(&v, idx[k]);
        v.facing = facing;
        memcpy(v.st, st, sizeof(v.st));
        memcpy(v.axisMask, facingMasks[facing], sizeof(v.axisMask));
        int o[4];
        EdgeOwner(page, cx, cy, cz, edges[k], o);
        const int copy = WO_AddVertexToPool(&v, o[0], o[1], o[2], o[3], m, facing);
        if (copy < 0) {
            HarvestAll(idx);
            return true;
        }
        idx[k] = copy;
    }

    // Copies made for the facing keep their edge's position: the normal stands.
    const int face = WO_AddFaceWithNormal(idx[0], idx[1], idx[2], n, normalLength);
    if (face < 0) {
        HarvestAll(idx);
        return true;
    }
    for (int k = 0; k < 3; k++)
        page->batchIndexes[page->numBatchIndexes++] = idx[k];
    WO_AttachFace(face, idx);
    page->batches[m].count += 3;
    page->faces[page->numFaces++] = face;
    return true;
}

// The triangles of the cubes of matter m's pass, cube by cube; false once the page
// is full.
static bool EmitMatterCube(page_t *page, int c, int m, bool *warned) {
    const int8_t *row = wo_triTable[q_cubeIndexes[c]];
    for (int t = 0; t < 15 && row[t] >= 0; t += 3)
        if (!EmitBatchTriangle(page, c, t, row + t, m, warned))
            return false;
    return !*warned;
}

static void SetupBatches(page_t *page) {
    bool warned = false;
    Forget(q_firstEdges);
    q_batchStamp++;
    page->numBatchIndexes = 0;
    page->numFaces = 0;
    // With one matter every cube with surface is in its pass; else the cubes are
    // sorted by matter once, instead of testing every cube's corners in every pass.
    if (!q_oneMatter)
        SortCubesByMatter();
    for (int m = wm_min; m <= wm_max; m++) {
        page->batches[m] = {page->numBatchIndexes, 0};
        if (!WO_GetBit256(page->matterBits, m) || warned)
            continue;
        Forget(q_matterEdges);
        SetPassColor(m);
        if (q_oneMatter) {
            for (int c = 0; c < WO_PAGE_SIZE; c++)
                if (wo_triTable[q_cubeIndexes[c]][0] >= 0 && !EmitMatterCube(page, c, m, &warned))
                    break;
        } else {
            for (int k = q_matterCubes.first[m]; k < q_matterCubes.first[m + 1]; k++)
                if (!EmitMatterCube(page, q_matterCubes.cubes[k], m, &warned))
                    break;
        }
    }
}

// The welded surface and the collision triangles, over the vertexes of the batches.
static void SetupSurfs(page_t *page) {
    bool warned = false;
    page->numIndexes = 0;
    page->numSurfs = 0;
    uint64_t mask = 0;
    for (int c = 0; c < WO_PAGE_SIZE; c++) {
        page->cubeSurfs[c] = {page->numSurfs, 0};
        page->cubeCases[c] = q_cubeIndexes[c];
        const int8_t *row = wo_triTable[q_cubeIndexes[c]];
        const int cx = c & 3, cy = (c >> 2) & 3, cz = c >> 4;
        for (int t = 0; t < 15 && row[t] >= 0 && !warned; t += 3) {
            int idx[3];
            bool found = true;
            for (int k = 0; k < 3; k++) {
                idx[k] = FirstEdgeVertex(page, cx, cy, cz, row[t + qt_lookup[k]]);
                found = found && idx[k] >= 0;
            }
            if (!found)
                continue;
            float points[3][3];
            for (int k = 0; k < 3; k++)
                memcpy(points[k], WO_GetVertexPosRefByIndex(idx[k]), sizeof(points[k]));
            const batchTriangle_t &batch = q_batchTriangles[c * 5 + t / 3];
            const bool asBatch = batch.stamp == q_batchStamp && memcmp(points, batch.points, sizeof(points)) == 0;
            if (!asBatch && Degenerate(idx))
                continue;
            if (page->numIndexes + 3 > WO_PAGE_INDEXES_MAX) {
                ClampWarning(page, &warned, "W_SetupBatches: WO_PAGE_INDEXES_MAX (2)", WO_PAGE_INDEXES_MAX,
                             "surface indexes");
                break;
            }
            if (page->numSurfs >= WO_PAGE_SURFS_MAX) {
                ClampWarning(page, &warned, "WO_SetupBatchesAndSurfs: WO_PAGE_SURFS_MAX", WO_PAGE_SURFS_MAX,
                             "collision triangles");
                break;
            }
            woSurf_t &s = page->surfs[page->numSurfs++];
            for (int k = 0; k < 3; k++) {
                page->indexes[page->numIndexes++] = idx[k];
                memcpy(s.points[k], points[k], sizeof(s.points[k]));
                WO_BumpGarbageCount(idx[k]);
            }
            if (asBatch) {
                _VectorCopy(s.plane, batch.normal);
                s.plane[3] = -_DotProduct(s.plane, s.points[0]);
            } else {
                PlaneFrom3Points_normalized(s.plane, s.points[0], s.points[1], s.points[2]);
            }
            page->cubeSurfs[c].count++;
            mask |= uint64_t{1} << c;
        }
    }
    WO_SetCubeSurfMask(page, mask);
}

// An undirected edge of the shadow triangles and how many of them share it.
struct shadowEdge_t {
    int32_t a, b;   // a < b
    int32_t count;
    int32_t next;   // chain of the bucket, -1 ends
};

constexpr int SHADOW_EDGE_BUCKETS = 1024;

static auto q_edgeHeads = [] {
    std::array<int, SHADOW_EDGE_BUCKETS> heads{};
    heads.fill(-1);
    return heads;
}();
static shadowEdge_t q_edges[WO_PAGE_SHADOW_INDEXES_MAX];
static int q_numEdges;

// The record of the undirected edge {i, j}, made when it is new.
static shadowEdge_t *ShadowEdge(int i, int j) {
    const int a = i < j ? i : j, b = i < j ? j : i;
    const int bucket = (a + b) & (SHADOW_EDGE_BUCKETS - 1);
    for (int e = q_edgeHeads[bucket]; e >= 0; e = q_edges[e].next)
        if (q_edges[e].a == a && q_edges[e].b == b)
            return &q_edges[e];
    shadowEdge_t *e = &q_edges[q_numEdges];
    *e = {a, b, 0, q_edgeHeads[bucket]};
    q_edgeHeads[bucket] = q_numEdges++;
    return e;
}

// Triangles facing the world's origin, and the extrusion of their open edges to the
// shadow vertex.
static void SetupShadowVolumes(page_t *page) {
    bool warned = false;
    for (int k = 0; k < 3; k++) {
        page->shadowMins[k] = BOUNDS_FAR;
        page->shadowMaxs[k] = -BOUNDS_FAR;
    }
    page->numShadowIndexes = 0;
    if (page->numIndexes <= 0)
        return;

    for (int t = 0; t < page->numIndexes; t += 3) {
        const int *tri = page->indexes + t;
        const float *pa = WO_GetVertexPosRefByIndex(tri[0]);
        vec3_t n;
        NormalFrom3Points(n, pa, WO_GetVertexPosRefByIndex(tri[1]), WO_GetVertexPosRefByIndex(tri[2]));
        if (_DotProduct(n, pa) > 0)
            continue;
        if (page->numShadowIndexes + 3 > WO_PAGE_SHADOW_INDEXES_MAX) {
            ClampWarning(page, &warned, "WO_SetupShadowVolumes: WO_PAGE_INDEXES_MAX", WO_PAGE_SHADOW_INDEXES_MAX,
                         "shadow indexes");
            break;
        }
        for (int k = 0; k < 3; k++) {
            page->shadowIndexes[page->numShadowIndexes++] = tri[k];
            const float *p = WO_GetVertexPosRefByIndex(tri[k]);
            AddToMins(page->shadowMins, p);
            AddToMaxs(page->shadowMaxs, p);
        }
    }

    // Edge k of a triangle joins its corners k and k + 1; each triangle keeps its
    // three records for the extrusion below.
    const int numFacing = page->numShadowIndexes;
    static const shadowEdge_t *triangleEdges[WO_PAGE_SHADOW_INDEXES_MAX];
    q_numEdges = 0;
    for (int t = 0; t < numFacing; t += 3)
        for (int k = 0; k < 3; k++) {
            shadowEdge_t *e = ShadowEdge(page->shadowIndexes[t + k], page->shadowIndexes[t + (k + 1) % 3]);
            e->count++;
            triangleEdges[t + k] = e;
        }

    for (int t = 0; t < numFacing && !warned; t += 3) {
        const int s0 = page->shadowIndexes[t], s1 = page->shadowIndexes[t + 1], s2 = page->shadowIndexes[t + 2];
        const struct {
            int from, to;
            const shadowEdge_t *edge;
        } edges[3] = {{s0, s2, triangleEdges[t + 2]}, {s2, s1, triangleEdges[t + 1]}, {s1, s0, triangleEdges[t]}};
        for (const auto &e : edges) {
            if (e.edge->count == 2 && !wo_skipShadowOptimization.integer)
                continue;
            if (page->numShadowIndexes + 3 > WO_PAGE_SHADOW_INDEXES_MAX) {
                ClampWarning(page, &warned, "WO_SetupShadowVolumes: WO_PAGE_INDEXES_MAX", WO_PAGE_SHADOW_INDEXES_MAX,
                         "shadow indexes");
                break;
            }
            page->shadowIndexes[page->numShadowIndexes++] = WO_SHADOW_VERTEX;
            page->shadowIndexes[page->numShadowIndexes++] = e.from;
            page->shadowIndexes[page->numShadowIndexes++] = e.to;
        }
    }

    // Every bucket is left empty for the next page: only the used ones need it.
    for (int e = 0; e < q_numEdges; e++)
        q_edgeHeads[(q_edges[e].a + q_edges[e].b) & (SHADOW_EDGE_BUCKETS - 1)] = -1;

    AddToMins(page->shadowMins, zerovector);
    AddToMaxs(page->shadowMaxs, zerovector);
    for (int k = 0; k < 3; k++) {
        page->shadowMins[k] -= SHADOW_BOUNDS_GROWTH;
        page->shadowMaxs[k] += SHADOW_BOUNDS_GROWTH;
    }
}

void WO_SetupPVSOptimize(page_t *page) {
    page->pvsOptimized = 0;
    if (page->numIndexes >= 1)
        return;
    for (voxel_t v : page->voxels)
        if (WO_Density(v) < OPAQUE_DENSITY)
            return;
    page->pvsOptimized = 1;
}

void WO_TessPageStage1(page_t *page) {
    if (!page)
        return;
    WO_ASSERT(page->magic == WO_PAGE_MAGIC);
    WO_ASSERT(wm_min >= 0 && wm_min < WO_MATTERS && wm_max >= 0 && wm_max < WO_MATTERS);
    if (LoadWindow(page)) {
        SetupBatches(page);
        SetupSurfs(page);
    } else {  // every cube is case 0 or 255: no triangle, only the per-cube records
        // Per-cube runs are all {0, 0} already unless the last tessellation kept surfs.
        if (page->numSurfs != 0)
            memset(page->cubeSurfs, 0, sizeof(page->cubeSurfs));
        WO_SetCubeSurfMask(page, 0);
        for (int m = wm_min; m <= wm_max; m++)
            page->batches[m] = {0, 0};
        page->numBatchIndexes = page->numFaces = page->numIndexes = page->numSurfs = 0;
        memcpy(page->cubeCases, q_cubeIndexes, sizeof(page->cubeCases));
    }
    SetupShadowVolumes(page);
    WO_SetupPVSOptimize(page);
}

void WO_TessPageStageFinal() {
    WO_ClearWeldedDirtyNormals();
    WO_RecalcDirtyNormals();
    WO_NormalizeDirtyNormals();
    if (wo_debugtess.integer)
        WO_PoolDebug();
}

void WO_TessDebug(int force) {
    if (wo_debugtess.integer || force)
        WO_PoolDebug();
}

int WO_Check(page_t *) { return 1; }
