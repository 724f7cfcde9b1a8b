// The world's own business: the vertex and face pool, the page store's bookkeeping,
// the console variables it reads in place and the helpers its files share.  Only the
// world's files, its tests and its fuzz targets include this; everyone else sees
// world/world.h.
#pragma once

#include "world/world.h"

// A failed world assertion is reported at ER_BUG and leaves the function; the sink
// decides whether the process goes on.
#define WO_ASSERT_V(cond, ret)                          \
    do {                                                \
        if (!(cond)) {                                  \
            Com_AssertFailed(__FILE__, __LINE__);       \
            return ret;                                 \
        }                                               \
    } while (0)
#define WO_ASSERT(cond) WO_ASSERT_V(cond, )

// ---- limits ----

constexpr int WO_POOL_SIZE = 240000;              // pool vertexes
constexpr int WO_POOL_FACES = 480000;             // pool faces
constexpr int WO_POOL_FACE_SIZE = 24;             // faces remembered per vertex
constexpr int WO_POOL_BUCKETS = 20533;            // hash buckets wo_hashstats counts in
constexpr int WO_POOL_CHUNK = 240;                // vertexes per renderer upload
constexpr int WO_POOL_CHUNKS = WO_POOL_SIZE / WO_POOL_CHUNK;
constexpr int WO_SHADOW_VERTEX = WO_POOL_SIZE;    // extrusion point of shadow volumes
constexpr uint32_t WO_VERTEX_LAYOUT = 0x1F;       // the renderer's format mask of the five arrays

// ---- world state ----

extern byte wo_pageAcitve[WO_MAX_PAGES];     // in-use table of wo_pages
extern byte wo_initialized;
extern worldMatter_t wo_wms[WO_MATTERS];

// The world console's variables (registered by WO_Imp), read in place wherever the
// world consults them: the console calls no callback of a client-only variable while
// no client runs, so a copy kept by a callback could go stale on a dedicated server.
extern cmdVar_t wo_printeye;                 // WO_PrintPage prints
extern cmdVar_t wo_printtrace;               // WO_PrintTrace prints
extern cmdVar_t wo_skippvs;                  // no visibility: sets untouched, tests say visible
extern cmdVar_t wo_skipovs;                  // occlusion sets all ones
extern cmdVar_t wo_skipfvs;                  // frustum sets all ones
extern cmdVar_t wo_skipPvsOptimize;          // no page blocks sight
extern cmdVar_t wo_debugtess;                // pool debug after the final stage
extern cmdVar_t wo_skipShadowOptimization;   // extrude every shadow edge
extern cmdVar_t wo_uploadContinusely;        // one extra chunk per upload, round robin
extern cmdVar_t wo_printUpload;              // print upload timing

// ---- pages ----

// Per page cell, bit c of `cubes` set when cube c of the cell's stored page has
// collision triangles, and that page: traces test these bits and touch a page only
// where it has triangles, and find it beside them.
struct woCellSurfs_t {
    uint64_t cubes;
    const page_t *page;  // meaningful while cubes is not 0
};
extern woCellSurfs_t wo_cellSurfs[WO_GRID_CELLS];

// Per page cell, with a border of one cell around the grid, how many of the 27 cells
// around it (itself included) have collision triangles in cubes that touch it.  A ray
// passes a cell whose count is 0 in one step: every cube it could test from there
// touches the cell.
constexpr int WO_NEAR_GRID = WO_GRID_PAGES + 2;
extern uint8_t wo_surfNear[WO_NEAR_GRID * WO_NEAR_GRID * WO_NEAR_GRID];
// The wo_surfNear index of page coordinates -1..32.
inline int WO_NearIndex(int x, int y, int z) { return ((z + 1) * WO_NEAR_GRID + y + 1) * WO_NEAR_GRID + x + 1; }
// Per block of 4 x 4 x 4 page cells (block coordinates -1..8, the border included), how
// many of its cells have a wo_surfNear count: a ray passes a block without any in one
// step.
constexpr int WO_BLOCK_PAGES = 4;
constexpr int WO_NEAR_BLOCKS = WO_GRID_PAGES / WO_BLOCK_PAGES + 2;
extern uint8_t wo_blockNear[WO_NEAR_BLOCKS * WO_NEAR_BLOCKS * WO_NEAR_BLOCKS];
// The wo_blockNear index of block coordinates -1..8.
inline int WO_BlockIndex(int x, int y, int z) { return ((z + 1) * WO_NEAR_BLOCKS + y + 1) * WO_NEAR_BLOCKS + x + 1; }
// Page cell (x, y, z)'s cube mask changes from before to after: the counts around it follow.
void WO_CountSurfNear(int x, int y, int z, uint64_t before, uint64_t after);
inline void WO_SetCubeSurfMask(const page_t *page, uint64_t mask) {
    woCellSurfs_t &cell = wo_cellSurfs[WO_CellIndex(page->x, page->y, page->z)];
    if (cell.cubes != mask)
        WO_CountSurfNear(page->x, page->y, page->z, cell.cubes, mask);
    cell.cubes = mask;
    cell.page = page;
}

// Marks every store record free; returns the store's size.
int WO_InitMalloc();
// Bit i & 255 of a 256-bit set.
inline void WO_SetBit256(byte bits[32], int i, int on) {
    if (on)
        WO_SetBit(bits, i & 255);
    else
        WO_ClearBit(bits, i & 255);
}
inline int WO_GetBit256(const byte bits[32], int i) { return WO_TestBit(bits, i & 255); }
// Kept for callers of the page interface; does nothing.
void WO_SetPage();

// ---- vertex and face pool ----

// Links of one circular doubly linked list, by index.
struct woLink_t {
    int32_t prev, next;
};

// A vertex's list nodes.  The dirty list's head lives behind the vertexes.
//
// The weld ring of an edge runs from the edge's oldest vertex (the one wo_edgeVertex
// names) to its newest, then back by age: a vertex joins directly after the oldest.
// So walking `prev` from the oldest visits the edge's vertexes from the oldest to the
// newest, and when the oldest goes, its `prev` is the next oldest.
struct woVertexNode_t {
    woLink_t weld;    // ring of the vertexes of one edge
    woLink_t dirty;   // dirty list
};

constexpr int WO_VERTEX_DIRTY_HEAD = WO_POOL_SIZE;
constexpr int WO_VERTEX_NODES = WO_POOL_SIZE + 1;

// Edges are found by their owner voxel 0..128 per axis (a cube of the last page cell
// reaches one voxel past the world) and axis: one slot per edge, the edge's oldest
// vertex plus one, 0 when it has none.
constexpr int WO_EDGE_SPAN = WO_WORLD_VOXELS + 1;
constexpr int WO_EDGE_SLOTS = WO_EDGE_SPAN * WO_EDGE_SPAN * WO_EDGE_SPAN * 3;

// The pool as arrays: the five renderer arrays are uploaded chunk by chunk as they stand.
// Free entries are handed out lowest index first, so the live ones stay packed at the
// front whatever order they were freed in.
struct woPool_t {
    byte active[WO_POOL_SIZE / 8];
    byte dirty[WO_POOL_SIZE / 8];
    float position[WO_POOL_SIZE][4];  // fourth stays 0
    float normal[WO_POOL_SIZE][4];    // fourth stays 0
    float axisMask[WO_POOL_SIZE][4];
    float st[WO_POOL_SIZE][2];
    byte rgba[WO_POOL_SIZE][4];
    woVertexNode_t nodes[WO_VERTEX_NODES];
    uint32_t key[WO_POOL_SIZE];
    int32_t matter[WO_POOL_SIZE];
    int32_t facing[WO_POOL_SIZE];
    int32_t references[WO_POOL_SIZE];     // triangles using the vertex
    int32_t numVertexFaces[WO_POOL_SIZE];
    int32_t vertexFaces[WO_POOL_SIZE][WO_POOL_FACE_SIZE];
    uint32_t staleFaces[WO_POOL_SIZE];    // bit n: vertexFaces[n] was removed
};

struct woFaces_t {
    byte active[WO_POOL_FACES / 8];
    float normal[WO_POOL_FACES][3];   // unit normal / area-ish length, see WO_AddFace
    int32_t vertexes[WO_POOL_FACES][3];
};

extern woPool_t wo_pool;
extern int32_t wo_edgeVertex[WO_EDGE_SLOTS];  // per edge its oldest vertex + 1, 0 none
extern woFaces_t wo_faces;
extern byte wo_poolChunks[WO_POOL_CHUNKS];  // chunks to upload
extern int32_t wo_poolLoop;                 // round-robin chunk of continuous upload
extern int32_t wo_qvert;                    // renderer vertex list, -1 when none

// The pool's key of an edge vertex: owner voxel and axis.
inline uint32_t WO_VertexKey(int x, int y, int z, int axis) {
    return static_cast<uint32_t>(axis) << 30 | (static_cast<uint32_t>(z) & 1023) << 20 |
           (static_cast<uint32_t>(y) & 1023) << 10 | (static_cast<uint32_t>(x) & 1023);
}
// The edge's slot of wo_edgeVertex, or -1 for an owner voxel outside 0..128.
inline int WO_EdgeSlot(int x, int y, int z, int axis) {
    if (static_cast<unsigned>(x) >= WO_EDGE_SPAN || static_cast<unsigned>(y) >= WO_EDGE_SPAN ||
        static_cast<unsigned>(z) >= WO_EDGE_SPAN || static_cast<unsigned>(axis) >= 3)
        return -1;
    return ((z * WO_EDGE_SPAN + y) * WO_EDGE_SPAN + x) * 3 + axis;
}
// The hash bucket of an edge vertex (inputs are non-negative): what wo_hashstats
// reports the spread of keys by.
inline int WO_VertexBucket(int x, int y, int z, int axis) {
    return ((x << 12) ^ (y << 7) ^ (z * 4) ^ axis ^ 0x64F80267) % WO_POOL_BUCKETS;
}

// A vertex of the edge, matter and facing (-1: any); reuses and overwrites a match,
// else takes a free one and welds it to its edge's ring.  -1 with an error when full
// or when the owner voxel lies outside 0..128.
int WO_AddVertexToPool(const poolVertex_t *v, int x, int y, int z, int axis, int matter, int facing);
// The oldest vertex of the edge with the matter (any facing) as it stands, or -1;
// firstOfEdge tells whether it is the edge's oldest vertex of all (with -1: whether
// the edge has none, so a vertex added now would be).
int WO_FindEdgeVertex(int x, int y, int z, int axis, int matter, bool *firstOfEdge);
// v added to the edge with the matter and no facing, as WO_AddVertexToPool adds a
// vertex it did not find: for a caller whose WO_FindEdgeVertex has just found none.
// -1 with an error when full.
int WO_AddEdgeVertex(const poolVertex_t *v, int x, int y, int z, int axis, int matter);
// The oldest vertex of the edge with the matter and facing (-1: any), or -1.
int WO_GetIndexFromPool(int x, int y, int z, int axis, int matter, int facing);
// A vertex's position in place (three floats).
inline const float *WO_GetVertexPosRefByIndex(int i) { return wo_pool.position[i]; }
// Overwrites the vertex's data (not its key or links) and flags its chunk.
void WO_UpdateVertexByIndex(const poolVertex_t *in, int i);
// Overwrites only the vertex's facing and its texture projection, and flags its chunk.
void WO_SetVertexFacing(int i, int facing, const float st[2], const float axisMask[4]);
// One more triangle uses the vertex.
inline void WO_BumpGarbageCount(int i) {
    WO_ASSERT(i >= 0 && i < WO_POOL_SIZE && WO_TestBit(wo_pool.active, i));
    wo_pool.references[i]++;
}
// Drops one reference; frees the vertex when none is left.
void WO_SinkGarbageCount(int i);
// Frees the vertex only when nothing references it.
void WO_HarvestVertex(int i);
// A face over three vertexes; -1 with an error when the face pool is full.
int WO_AddFace(int a, int b, int c);
// The same, for a caller that has the unit normal of the vertexes' positions and the
// length VectorNormalize returned for it.
int WO_AddFaceWithNormal(int a, int b, int c, const float unitNormal[3], float length);
// Frees a face; its vertexes' lists mark it stale and their normals are redone.
void WO_RemoveFace(int f);
// Remembers that face f uses vertex i; 0 with a warning when the vertex's list is full.
int WO_AddFaceToVertex(int i, int f);
// A render triangle's face joins its three vertexes, each one reference more, in order.
void WO_AttachFace(int f, const int idx[3]);
// The normal passes of the final stage, in this order.
void WO_AddMakeWeldedVertexesDirty();  // the weld rings of dirty vertexes become dirty
void WO_ClearDirtyNormals();           // dirty vertexes: face lists compacted, normals zero
void WO_RecalcDirtyNormals();          // each dirty vertex's face normals summed into its ring
void WO_NormalizeDirtyNormals();       // the dirty list emptied, live normals made unit
// The first two passes in one walk of the dirty list.
void WO_ClearWeldedDirtyNormals();
// Marks the other members of i's weld ring dirty.
void WO_MakeWeldedDirty(int i);
// Adds n to the normals of i and every other member of its weld ring.
void WO_AddNormalToWeldedVertexes(const float n[3], int i);
// Prints positions far out, in the pool and in the renderer's copy, and bad batch indexes.
void WO_PoolDebug();
// Prints how many live vertexes fall in every hash bucket and the share of empty ones.
void WO_HashStats_f();

// ---- tessellation ----

// pvsOptimized = no surface and all 64 densities >= 129.
void WO_SetupPVSOptimize(page_t *page);
// Checks nothing; 1.
int WO_Check(page_t *page);

// ---- traces ----

constexpr int WO_TRACE_KEYS = 256;        // crossings the inside test can tell apart
constexpr float WO_TRACE_EDGE_TOLERANCE = 0.001f;  // rays take crossings this near a triangle
constexpr float WO_VOLUME_MIN_DIM = 0.001f;        // thinner boxes are refused by sweeps
constexpr int WO_VOLUME_MAX_SAMPLES = 65536;       // a sweep tests at most this many boxes

// Whether a point of the triangle's plane lies on it for a ray: inside, or within
// WO_TRACE_EDGE_TOLERANCE of it.
bool WO_PointOnSurf(const woSurf_t *s, const float point[3]);
// Prints and clears the trace counters every tenth call while wo_printtrace is set.
void WO_PrintTrace();

// ---- world console ----

// wo_dump <filename>: the world file, "vo2" added to a name without an extension.
void WO_Dump_f();
// wo_retess: every stored page re-tessellated in the stage order.
void WO_Retess_f();
// wo_stats: counts of cells, bytes, pool entries and the fullest page's products.
void WO_Stats_f();
// wo_check: the pool debug.
void WO_Check_f();
