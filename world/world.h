// The voxel world's contract with the rest of the engine: voxels in pages, their
// compact form, tessellation stages, traces, visibility, the world file, materials,
// altitudes, undo and the world console.  The pool, the faces and the world's own
// globals are its business alone (world/wo_local.h).
//
// The world is 128 x 128 x 128 voxels in 32 x 32 x 32 page cells of 4 x 4 x 4 voxels.
// A cell is empty, solid or holds a stored page; only stored pages cost memory, and
// every store is a fixed static array.  Everything runs on the engine's one thread.
//
// Voxel coordinate v stands at world position 0.8 * (v - 64) on each axis.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "base/cmd.h"
#include "common/common.h"

// ---- limits ----

constexpr int WO_WORLD_VOXELS = 128;    // voxels per axis
constexpr int WO_PAGE_VOXELS = 4;       // voxels per axis of one page
constexpr int WO_PAGE_SHIFT = 2;        // voxel coordinate >> this = page coordinate
constexpr int WO_GRID_PAGES = 32;       // page cells per axis
constexpr int WO_GRID_CELLS = WO_GRID_PAGES * WO_GRID_PAGES * WO_GRID_PAGES;
constexpr int WO_PAGE_SIZE = WO_PAGE_VOXELS * WO_PAGE_VOXELS * WO_PAGE_VOXELS;  // 64
constexpr int WO_VOXEL_ORIGIN = 64;     // voxel coordinate of the world's origin
constexpr float WO_VOXEL_SIZE = 0.8f;   // world units per voxel
constexpr int WO_SURFACE_DENSITY = 128; // matter at this density and above
constexpr int WO_MATTERS = 256;

constexpr int WO_MAX_PAGES = 10000;               // the page store
constexpr int WO_PAGE_INDEXES_MAX = 600;          // welded surface indexes per page
constexpr int WO_PAGE_SURFS_MAX = 300;            // collision triangles per page
constexpr int WO_PAGE_BATCH_INDEXES_MAX = 900;    // render batch indexes per page
constexpr int WO_PAGES_FACES_MAX = 300;           // pool faces per page
constexpr int WO_PAGE_SHADOW_INDEXES_MAX = 600;   // shadow triangles' indexes per page
constexpr int WO_PAGE_COMPRESSED_MAX = 328;       // room of both run-length streams

// ---- voxels and cells ----

// Density in the low byte (surface at 128), matter in the high byte.
typedef uint16_t voxel_t;
constexpr voxel_t wo_emptyVoxel = 0;
constexpr voxel_t wo_solidVoxel = 0x00FF;

inline int WO_Density(voxel_t v) { return v & 0xFF; }
inline int WO_Matter(voxel_t v) { return v >> 8; }

// Values of a page grid cell; WO_CELL_PAGE and above name a stored page.
enum woCell_t : int32_t {
    WO_CELL_EMPTY = 0,
    WO_CELL_SOLID = 1,
    WO_CELL_PAGE = 2,  // + the page's record number in wo_pages
};

constexpr uint32_t WO_PAGE_MAGIC = 0x66601A08;     // live
constexpr uint32_t WO_PAGE_UNLINKED = 666;         // unlinked by WO_FreePage
constexpr uint32_t WO_PAGE_FREED = 0xDEADBEEF;     // back in the store

// Cell index of page coordinates 0..31.
inline int WO_CellIndex(int x, int y, int z) { return (z * WO_GRID_PAGES + y) * WO_GRID_PAGES + x; }
// Index of a voxel inside its page: x fastest, then y, then z.
inline int WO_VoxelIndex(int x, int y, int z) { return (x & 3) + 4 * (y & 3) + 16 * (z & 3); }
// Cell index of the page cell that holds voxel coordinates 0..127.
inline int WO_VoxelCell(int x, int y, int z) {
    return WO_CellIndex(x >> WO_PAGE_SHIFT, y >> WO_PAGE_SHIFT, z >> WO_PAGE_SHIFT);
}
// World position of a voxel coordinate.
inline float WO_VoxelToWorld(int v) { return WO_VOXEL_SIZE * static_cast<float>(v - WO_VOXEL_ORIGIN); }
// The voxel coordinate of a world position: p / 0.8 + 64 rounded to the nearest; far or
// non-finite positions land far outside 0..127 instead of overflowing.
int WO_WorldToVoxel(float p);
// The page coordinate of a world position (may lie outside 0..31).
inline int WO_WorldToPage(float p) { return WO_WorldToVoxel(p) >> WO_PAGE_SHIFT; }

// Every bit set of the world (pool flags, matter sets, page-cell sets) keeps bit i as
// bit i & 7 of byte i >> 3.
inline bool WO_TestBit(const byte *bits, int i) { return (bits[i >> 3] >> (i & 7)) & 1; }
inline void WO_SetBit(byte *bits, int i) { bits[i >> 3] |= static_cast<byte>(1u << (i & 7)); }
inline void WO_ClearBit(byte *bits, int i) { bits[i >> 3] &= static_cast<byte>(~(1u << (i & 7))); }

// One run of a page's array.
struct woRun_t {
    int32_t first;
    int32_t count;
};

// A collision triangle: unit-normal plane (signed distance = n.p + plane[3]) and corners.
struct woSurf_t {
    float plane[4];
    float points[3][3];
};

// A stored page: its voxels, their compact form and every product of tessellating it.
// It holds pointers and pool indexes, so its size is the host's.
struct page_t {
    uint32_t magic;                 // WO_PAGE_MAGIC while live
    page_t *prev, *next;            // live list through wo_pageDummy
    int32_t x, y, z;                // page cell
    float mins[3], maxs[3], center[3];
    int32_t voxelMins[3], voxelMaxs[3];  // 4 * cell and 4 * cell + 4
    byte voxelDirty;                // changed since last compressed
    byte surfaceDirty;              // needs re-tessellation
    byte normalDirty;               // vertex normals need recalculation
    byte freeable;                  // set by the server's cleaning: may become a plain cell
    byte freeAsSolid;               // ... and then the cell is solid (else empty)
    byte pvsOptimized;              // no surface and all densities >= 129: blocks sight
    voxel_t undoVoxels[WO_PAGE_SIZE];
    voxel_t voxels[WO_PAGE_SIZE];
    byte cubeCases[WO_PAGE_SIZE];   // marching-cubes case of each cube
    int32_t compressedMatterSize;
    int32_t compressedDensitySize;
    byte compressed[WO_PAGE_COMPRESSED_MAX];  // matter stream, then density stream
    uint32_t voxelCrc;              // Com_GetCRC of the 128 bytes of voxels
    int32_t numSurfs;
    woRun_t cubeSurfs[WO_PAGE_SIZE];          // per cube, its run of surfs
    woSurf_t surfs[WO_PAGE_SURFS_MAX];
    int32_t numIndexes;
    int32_t indexes[WO_PAGE_INDEXES_MAX];     // welded surface, pool indexes
    float shadowMins[3], shadowMaxs[3];
    int32_t numShadowIndexes;
    int32_t shadowIndexes[WO_PAGE_SHADOW_INDEXES_MAX];
    byte matterBits[WO_MATTERS / 8];          // matters present in the 5^3 window
    int32_t numBatchIndexes;
    woRun_t batches[WO_MATTERS];              // per matter, its run of batchIndexes
    int32_t batchIndexes[WO_PAGE_BATCH_INDEXES_MAX];
    int32_t numFaces;
    int32_t faces[WO_PAGES_FACES_MAX];        // pool faces of the render triangles
};

// The packed per-matter drawing record the module uploads.
struct worldMatter_t {
    int32_t material;
    float stScale[2];
    float colorNoiseScale[3];
    float baseColor[3];  // 0..255 per channel
};
static_assert(sizeof(worldMatter_t) == 36, "worldMatter_t is uploaded as 36 bytes");

// ---- world state ----

extern int32_t wo_pageGrid[WO_GRID_CELLS];   // woCell_t values
extern uint32_t wo_seqGrid[WO_GRID_CELLS];   // change sequence number per cell
extern page_t wo_pages[WO_MAX_PAGES];
extern page_t wo_pageDummy;                  // head of the live list
extern int32_t wo_pagedMins[3], wo_pagedMaxs[3];  // page coordinate bounds of live pages
extern int32_t wo_dirtyVoxelCount;
extern int32_t wo_dirtySurfaceOrNormalCount;
extern int32_t wm_min, wm_max;               // range of matters in use
extern byte wo_recalcChecksum;               // set by whoever changes voxels

extern cmdVar_t wo_useUndo;                  // wo_undo and the server's undo copies

// ---- pages ----

// The page stored in a cell, or null for an empty or solid cell.
inline page_t *WO_CellPage(int cell) {
    const int32_t v = wo_pageGrid[cell];
    return v >= WO_CELL_PAGE ? &wo_pages[v - WO_CELL_PAGE] : nullptr;
}
// Whether a voxel is read as stored: layers 0, 126 and 127 (and everything outside)
// always read empty, so every surface closes inside the world.
inline bool WO_VoxelInWorld(int x, int y, int z) {
    return x >= 1 && x <= 125 && y >= 1 && y <= 125 && z >= 1 && z <= 125;
}
// A voxel by the world's reading rules: layers 0, 126 and 127 and cells outside read empty.
voxel_t WO_GetVoxel(int x, int y, int z);
// A new page in an empty or solid cell, voxels uninitialised; null with an error when
// the cell is bad or taken or the store is full (nothing changes then).
page_t *WO_SpawnPage(int x, int y, int z);
// A new page in a plain cell holding the cell's voxel everywhere, its undo copy too,
// the cell renumbered; null when the store is full (reported, nothing changes).
page_t *WO_SpawnUniformPage(int x, int y, int z);
// The cells below whose windows read voxel (x, y, z) (when it lies in its page's first
// layer on an axis) become surface-dirty, spawned from their plain state when needed.
void WO_MarkCellsBelow(int x, int y, int z);
// Widens wm_min/wm_max to every voxel's matter.
void WO_WidenMatterRange(const voxel_t *voxels, int count);
// Zeroes a page's counts of triangles and faces and its non-empty runs; releases nothing.
void WO_ForgetPageProducts(page_t *page);
// Returns a cell's page to the store; the cell becomes solid or empty.
void WO_FreePage(int x, int y, int z, byte solid);
// Frees every page as empty, bumps every sequence number, clears the pool.
void WO_ClearAllPages();
// Dirty marks; a null page is ignored.
void WO_MakePageVoxelDirty(page_t *page);    // voxelDirty, counted in wo_dirtyVoxelCount
void WO_MakePageSurfaceDirty(page_t *page);  // surfaceDirty, counted in wo_dirtySurfaceOrNormalCount
void WO_MakePageNormalDirty(page_t *page);   // normalDirty, counted in wo_dirtySurfaceOrNormalCount
// The live pages with any dirty mark, in the live list's order, into out (room for
// WO_MAX_PAGES); returns how many.  Visits only pages marked since they were last
// found clean.
int WO_CollectDirtyPages(page_t **out);
// Clamps every component of both to 0..127.
void WO_ClampVoxelMinsMaxs(int32_t mins[3], int32_t maxs[3]);
// Recomputes wo_pagedMins/Maxs over the live pages; all zero with no live page.
void WO_CalcPagedBounds();
// Cells that hold a stored page.
int WO_CountPagedPages();
// Solid cells.
int WO_CountSolidPages();
// Sets up the store once per world; WO_ShutdownPages allows it again.
void WO_InitPages();
// Lets the next WO_InitPages set the store up again.
void WO_ShutdownPages();

// ---- compact form and checksum ----

// Encodes the page's voxels into its two streams; returns the density stream's length.
int WO_CompressPage(page_t *page);
// Rebuilds the voxels from the two streams; 0 and no change when a stream is damaged.
int WO_UncompressPage(page_t *page);
// XOR over all cells: a page's voxelCrc, or a fixed term of the cell for solid and empty.
uint32_t WO_GetMatterChecksum();

// ---- vertex and face pool (its records live in world/wo_local.h) ----

// Once until WO_ShutdownPool: the renderer's vertex list (when one runs) and a clear pool.
void WO_InitPool();
// Releases the renderer's vertex list; WO_InitPool may run again.
void WO_ShutdownPool();
// With a renderer and no list yet: a list of the pool's vertexes and the shadow
// extrusion point behind them (after the renderer restarted, or a client started).
void WO_InitGPUVertexList();
// Releases the renderer's vertex list, while the renderer that holds it still runs.
void WO_ShutdownGPUVertexList();
// Frees every vertex and face and forgets every edge; the stores hand out index 0 first again.
void WO_ClearPool();
// With a renderer: the flagged chunks (and, switched on, one round-robin chunk) go out.
void WO_UploadPool();
// Flags every chunk and uploads.
void WO_UploadEntirePool();
// Live vertexes and live faces.
int WO_CountVertexesInPool();
int WO_CountFacesInPool();

// The exchange record of one pool vertex (15 words); clipped decals are made of them.
struct poolVertex_t {
    float position[3];
    float normal[3];
    float axisMask[4];   // projection mask of the facing
    float st[2];
    byte rgba[4];
    int32_t matter;
    int32_t facing;      // 0, 1, 2 or -1 unset
};
static_assert(sizeof(poolVertex_t) == 60, "poolVertex_t is 15 words");

// Copies a vertex out into the exchange record.
void WO_GetVertexByIndex(poolVertex_t *out, int i);

// ---- tessellation ----

// Releases a page's triangles: references of its batches and surface, its faces.
void WO_TessPageStage0(page_t *page);
// Builds a page's batches, faces, welded surface, collision and shadow triangles.
void WO_TessPageStage1(page_t *page);
// Recomputes the normals of every vertex touched since the last final stage.
void WO_TessPageStageFinal();
// The pool debug, when wo_debugtess is set or forced.
void WO_TessDebug(int force);

// =====================================================================================
// ---- traces, visibility, world file, materials, altitude, undo and world console ----
// =====================================================================================

#include "game/g_public.h"  // trace_t: what a ray or a swept box met, read by the module as it stands

// Geometry records of the common library (common/com_geometry.h), only declared so that
// the world's header does not bring the vector library's names into every world file.
struct obb_t;
struct mplane_t;

// ---- traces ----

// A ray when the start box has no extent, else a box sweep.
void WO_Trace(trace_t *out, const obb_t *start, const obb_t *end);
// First surface on the segment; start == end is the inside test (fraction 0 inside matter).
void WO_RayTrace(trace_t *out, const float start[3], const float end[3]);
// Sampled sweep of the start box to the end box.
void WO_VolumeTrace(trace_t *out, const obb_t *start, const obb_t *end);
// True when a collision triangle overlaps the box; plane (may be null) gets the first one's.
bool WO_ClipObbToWorld(const obb_t *box, float plane[4]);

// ---- visibility ----

// One bit per page cell: bit x & 7 of byte (z * 32 + y) * 4 + (x >> 3).
struct pagePVS_t {
    alignas(8) byte bits[WO_GRID_CELLS / 8];
};
static_assert(sizeof(pagePVS_t) == 4096, "pagePVS_t is 4,096 bytes");

constexpr int WO_MAX_CLIP_PLANES = 6;

extern pagePVS_t wo_view_pvs;  // the client's view set of this frame

// A cell's bit: the cell index is the bit number.
inline bool WO_PVSBit(const pagePVS_t *set, int x, int y, int z) { return WO_TestBit(set->bits, WO_CellIndex(x, y, z)); }

// Frustum set of an eye and its 3 x 3 axis: full fields of view in degrees; the first
// numPlanes planes.
void WO_SetupFVS(pagePVS_t *set, const float eye[3], const float axis[9], float fovX, float fovY,
                 int numPlanes);
// Frustum set from the caller's planes (at most WO_MAX_CLIP_PLANES are used).
void WO_SetupFVSFromClipPlanes(pagePVS_t *set, int numPlanes, const mplane_t planes[]);
// Cells reached from the eye's cell by grid lines that no opaque cell stops.
void WO_SetupOVS(pagePVS_t *set, const float eye[3]);
// An occlusion set is made of its eye cell and of what this stamp covers: the sight of
// every cell, the paged bounds and the visibility switches.  Each call looks at all of
// them and answers a new number when any changed since the previous call, so two sets
// built at the same stamp from eyes in the same cell are the same set.  0 while
// visibility is off (wo_skippvs): WO_SetupOVS leaves a set as it is then.
uint64_t WO_OVSStamp();
// WO_SetupOVS's set, for a stamp the world has not changed since: built from the
// sight the stamp took, or copied from a set kept for the same eye cell at that stamp.
// With any other stamp (or 0) it builds as WO_SetupOVS.
void WO_SetupOVSAtStamp(pagePVS_t *set, const float eye[3], uint64_t stamp);
// The cell index of the eye's cell as WO_SetupOVS takes it.
int WO_OVSEyeCell(const float eye[3]);
// out = a AND b.
void WO_SetupPVS(pagePVS_t *out, const pagePVS_t *a, const pagePVS_t *b);
// Tests answer visible for a null set, with wo_skippvs, and outside the paged bounds.
bool WO_CheckPagePVS(const pagePVS_t *set, int x, int y, int z);
// The module's point and box tests take the set untyped (a pagePVS_t) and answer 0 or 1.
uint8_t WO_CheckPointPVS(const void *pvs, const float *point, float radius);
uint8_t WO_CheckBoundsPVS(const void *pvs, const float *a, const float *b, const float *axes,
                          const float *origin);
// Page-cell bounds of the box given by two extent vectors on axes around origin.
void WO_CalcBounds(int outMins[3], int outMaxs[3], const float a[3], const float b[3],
                   const float axes[3][3], const float origin[3], float margin, bool clamp);

// ---- world file ----

constexpr uint32_t WO_VO2_MAGIC = 0x671A9901;
constexpr uint32_t WO_VO2_VERSION = 2;
constexpr int WO_VO2_HEADER_SIZE = 24;   // magic, version, record count, page size x, y, z
constexpr int WO_VO2_RECORD_SIZE = 16;   // type, voxel x, y, z of the cell's lowest corner
constexpr int WO_VO2_VOXELS_SIZE = WO_PAGE_SIZE * 2;  // a page's voxels behind its record

enum vo2Record_t : uint32_t {
    VO2_PAGE = 0,   // its 64 voxels follow
    VO2_SOLID = 1,  // nothing follows
};

// Writes the world file; false with an error when the file cannot be written whole.
bool WO_DumpVO2(const char *path);
// Writes the world file to an open stream at its start; false when a write fails.
bool WO_WriteVO2(FILE *stream);

// ---- materials and altitude ----

extern float wo_worldCore;    // core radius, 2..100
extern float wo_worldSpace;   // space radius, 4..99,999
extern float wo_spaceBox[3];
extern byte wo_lg;            // the inside test's reference lies above the space box

// Copies the module's 256 packed matter records into wo_wms.
void WO_UploadWorldMaterials(const void *records);
// Clamps and stores the altitudes; a null spaceBox stores (0, 0, 0).
void WO_SetWorldAltitude(float core, float space, const float *spaceBox, uint8_t lg);

// ---- world console ----

// Registers the world's commands and variables.
void WO_Imp();
// wo_undo: every live page back to its undo copy, dirty; only with wo_useUndo set.
void WO_Undo_f();
// Prints the eye's page cell while wo_printeye is set.
void WO_PrintPage(const float eye[3]);
