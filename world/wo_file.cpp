// The world file writer, the world matter records, the altitudes, the undo of a whole
// world and the world's console commands and variables.
#include <algorithm>
#include <cstring>

#include "base/base.h"
#include "base/files.h"
#include "common/com_vector.h"
#include "world/wo_local.h"

float wo_worldCore = 4.0f;
float wo_worldSpace = 80.0f;
vec3_t wo_spaceBox;
byte wo_lg;

cmdVar_t wo_printeye, wo_printtrace, wo_skippvs, wo_skipovs, wo_skipfvs, wo_skipPvsOptimize, wo_debugtess,
    wo_skipShadowOptimization, wo_uploadContinusely, wo_printUpload, wo_useUndo;
// Registered for the operator; the engine does not read them.
static cmdVar_t wo_printRayTrace, wo_debug, wo_traceAll;

// The console's colour escapes: colour 8 and back to colour 0.
#define C8 "\xA4" "08"
#define C0 "\xA4" "00"

// ---- cells in file order ----

// Calls fn for every cell in z, y, x order (z outermost), which is cell index order.
template <typename Fn>
static void ForEachCell(Fn fn) {
    for (int cell = 0; cell < WO_GRID_CELLS; cell++)
        fn(cell, cell % WO_GRID_PAGES, cell / WO_GRID_PAGES % WO_GRID_PAGES, cell / (WO_GRID_PAGES * WO_GRID_PAGES));
}

template <typename Fn>
static void ForEachPageInCellOrder(Fn fn) {
    ForEachCell([&](int cell, int, int, int) {
        if (page_t *page = WO_CellPage(cell))
            fn(page);
    });
}

// ---- world file ----

static void PutU32(byte *out, uint32_t v) {
    out[0] = static_cast<byte>(v);
    out[1] = static_cast<byte>(v >> 8);
    out[2] = static_cast<byte>(v >> 16);
    out[3] = static_cast<byte>(v >> 24);
}

static bool WriteAll(FILE *stream, const void *data, size_t size) {
    return fwrite(data, 1, size, stream) == size;
}

bool WO_WriteVO2(FILE *stream) {
    if (!stream || fseek(stream, 0, SEEK_SET) != 0)
        return false;
    byte header[WO_VO2_HEADER_SIZE] = {};
    if (!WriteAll(stream, header, sizeof(header)))
        return false;

    uint32_t count = 0;
    bool ok = true;
    ForEachCell([&](int cell, int x, int y, int z) {
        const int32_t v = wo_pageGrid[cell];
        if (!ok || v == WO_CELL_EMPTY)
            return;
        byte record[WO_VO2_RECORD_SIZE + WO_VO2_VOXELS_SIZE];
        const int vx = x * WO_PAGE_VOXELS, vy = y * WO_PAGE_VOXELS, vz = z * WO_PAGE_VOXELS;
        PutU32(record, v == WO_CELL_SOLID ? VO2_SOLID : VO2_PAGE);
        PutU32(record + 4, static_cast<uint32_t>(vx));
        PutU32(record + 8, static_cast<uint32_t>(vy));
        PutU32(record + 12, static_cast<uint32_t>(vz));
        size_t size = WO_VO2_RECORD_SIZE;
        if (v != WO_CELL_SOLID) {
            // Read by the world's rules: layers 0, 126 and 127 go out empty.
            for (int i = 0; i < WO_PAGE_SIZE; i++) {
                const voxel_t vox = WO_GetVoxel(vx + (i & 3), vy + ((i >> 2) & 3), vz + (i >> 4));
                record[size++] = static_cast<byte>(vox);
                record[size++] = static_cast<byte>(vox >> 8);
            }
        }
        ok = WriteAll(stream, record, size);
        count++;
    });
    if (!ok)
        return false;

    PutU32(header, WO_VO2_MAGIC);
    PutU32(header + 4, WO_VO2_VERSION);
    PutU32(header + 8, count);
    PutU32(header + 12, WO_PAGE_VOXELS);
    PutU32(header + 16, WO_PAGE_VOXELS);
    PutU32(header + 20, WO_PAGE_VOXELS);
    return fseek(stream, 0, SEEK_SET) == 0 && WriteAll(stream, header, sizeof(header)) && fflush(stream) == 0 &&
           !ferror(stream);
}

bool WO_DumpVO2(const char *path) {
    const uint32_t start = Base_Time();
    FILE *stream = FS_fopen(path, "wb");
    if (!stream) {
        Com_Error(ER_ERROR, "WO_DumpVO2: Could not open file \"%s\"", path);
        return false;
    }
    const bool ok = WO_WriteVO2(stream);
    FS_fclose(stream);
    if (!ok) {
        // A short world file would be read as a different world: none is better.
        char full[FS_MAX_FULL_PATH];
        if (Com_sprintf(full, sizeof(full), "%s%s", fs.basePath, path) < static_cast<int>(sizeof(full)))
            FS_DeleteFile(full);
        Com_Error(ER_ERROR, "WO_DumpVO2: Could not write file \"%s\"", path);
        return false;
    }
    Com_Printf("WO_DumpVO2: Dumped \"%s\" in msec %d", path, static_cast<int>(Base_Time() - start));
    return true;
}

void WO_Dump_f() {
    if (Cmd_Argc() != 2) {
        Com_Printf("USAGE: wo_dump <filename>");
        return;
    }
    const char *name = Cmd_Argv(1);
    char path[CMD_MAX_ARG_LEN + 4];
    if (!Com_CheckExtension(name))
        name = Com_AddExtension(path, sizeof(path), name, "vo2");
    WO_DumpVO2(name);
}

// ---- materials and altitude ----

void WO_UploadWorldMaterials(const void *records) {
    if (records)
        memcpy(wo_wms, records, sizeof(wo_wms));
}

// x within lo..hi; a value that is not a number gives lo.
static float ClampAltitude(float x, float lo, float hi) {
    if (!(x >= lo))
        return lo;
    return x > hi ? hi : x;
}

void WO_SetWorldAltitude(float core, float space, const float *spaceBox, uint8_t lg) {
    wo_worldCore = ClampAltitude(core, 2.0f, 100.0f);
    wo_worldSpace = ClampAltitude(space, 4.0f, 99999.0f);
    if (spaceBox)
        _VectorCopy(wo_spaceBox, spaceBox);
    else
        _VectorClear(wo_spaceBox);
    wo_lg = lg;
}

// ---- undo ----

void WO_Undo_f() {
    if (!wo_useUndo.integer) {
        Com_Printf("wo_useUndo must be 1 to use undo");
        return;
    }
    // Pages spawned below a restored one join the list's tail already holding their
    // undo copy; restoring them changes nothing.
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next) {
        for (int i = 0; i < WO_PAGE_SIZE; i++)
            if (p->voxels[i] != p->undoVoxels[i]) {
                p->voxels[i] = p->undoVoxels[i];
                // A cell below may have become a plain cell while its window read this voxel.
                WO_MarkCellsBelow(p->voxelMins[0] + (i & 3), p->voxelMins[1] + (i >> 2 & 3),
                                  p->voxelMins[2] + (i >> 4));
            }
        // A clear may have narrowed the matter range below the restored matters.
        WO_WidenMatterRange(p->voxels, WO_PAGE_SIZE);
        WO_MakePageVoxelDirty(p);
        WO_MakePageSurfaceDirty(p);
    }
    wo_recalcChecksum = 1;
}

// ---- console commands ----

void WO_Retess_f() {
    const uint32_t start = Base_Time();
    ForEachPageInCellOrder(WO_TessPageStage0);
    ForEachPageInCellOrder(WO_TessPageStage1);
    ForEachPageInCellOrder([](page_t *p) { p->surfaceDirty = p->normalDirty = 0; });
    WO_TessPageStageFinal();
    WO_CalcPagedBounds();
    wo_dirtySurfaceOrNormalCount = 0;
    Com_Printf("Retesselation in %d msec", static_cast<int>(Base_Time() - start));
}

void WO_Stats_f() {
    int empty = 0, solid = 0, paged = 0, optimized = 0;
    int voxelBytes = 0, compressedBytes = 0, surfs = 0;
    int maxIndexes = 0, maxBatchIndexes = 0, maxShadowIndexes = 0, maxFaces = 0;
    for (int32_t v : wo_pageGrid) {
        if (v == WO_CELL_EMPTY) {
            empty++;
        } else if (v == WO_CELL_SOLID) {
            solid++;
        } else {
            const page_t &p = wo_pages[v - WO_CELL_PAGE];
            paged++;
            optimized += p.pvsOptimized != 0;
            voxelBytes += static_cast<int>(sizeof(p.voxels));
            compressedBytes += p.compressedMatterSize + p.compressedDensitySize;
            surfs += p.numIndexes / 3;
            maxIndexes = std::max(maxIndexes, static_cast<int>(p.numIndexes));
            maxBatchIndexes = std::max(maxBatchIndexes, static_cast<int>(p.numBatchIndexes));
            maxShadowIndexes = std::max(maxShadowIndexes, static_cast<int>(p.numShadowIndexes));
            maxFaces = std::max(maxFaces, static_cast<int>(p.numFaces));
        }
    }
    const auto share = [](int n) { return n * 100.0 / WO_GRID_CELLS; };
    Com_Printf("    " C8 "%8d" C0 " empty pages of " C8 "%d" C0 " (" C8 "%.2f%%" C0 ")", empty, WO_GRID_CELLS,
               share(empty));
    Com_Printf("    " C8 "%8d" C0 " solid pages of " C8 "%d" C0 " (" C8 "%.2f%%" C0 ")", solid, WO_GRID_CELLS,
               share(solid));
    Com_Printf("    " C8 "%8d" C0 " paged pages of " C8 "%d" C0 " (" C8 "%.2f%%" C0 ")", paged, WO_GRID_CELLS,
               share(paged));
    Com_Printf("    " C8 "%8d" C0 " PVS optimized pages", optimized);
    Com_Printf("    " C8 "%8d" C0 " KB voxels. " C8 "%d" C0 " KB compressed (" C8 "%.2f%%" C0 ")", voxelBytes / 1000,
               compressedBytes / 1000, compressedBytes * 100.0 / std::max(voxelBytes, 1));
    Com_Printf("    " C8 "%8d" C0 " vertexes in pool", WO_CountVertexesInPool());
    Com_Printf("    " C8 "%8d" C0 " faces in pool", WO_CountFacesInPool());
    Com_Printf("    " C8 "%8d" C0 " world surfs", surfs);
    Com_Printf("    " C8 "%8d" C0 " brush sides", 0);
    Com_Printf("    " C8 "%8d" C0 " brushes", 0);
    Com_Printf("    " C8 "%8d" C0 " Max Indexes (%d)", maxIndexes, WO_PAGE_INDEXES_MAX);
    Com_Printf("    " C8 "%8d" C0 " Max Batch Indexes (%d)", maxBatchIndexes, WO_PAGE_BATCH_INDEXES_MAX);
    Com_Printf("    " C8 "%8d" C0 " Max Shadow Indexes (%d)", maxShadowIndexes, WO_PAGE_SHADOW_INDEXES_MAX);
    Com_Printf("    " C8 "%8d" C0 " Max Faces (%d)", maxFaces, WO_PAGES_FACES_MAX);
    Com_Printf("    " C8 "%8d" C0 " Max Brushes (%d)", 0, 150);
    Com_Printf("    " C8 "%8d" C0 " Max Sides (%d)", 0, 800);
}

void WO_Check_f() { WO_PoolDebug(); }

void WO_PrintPage(const vec3_t eye) {
    if (!wo_printeye.integer)
        return;
    int v[3], c[3];
    for (int i = 0; i < 3; i++) {
        v[i] = WO_WorldToVoxel(eye[i]);
        c[i] = v[i] >> WO_PAGE_SHIFT;
        if (c[i] < 0 || c[i] >= WO_GRID_PAGES) {
            Com_Printf("Eye outside world");
            return;
        }
    }
    // Every field printed is read from the world; nothing comes from unset memory.
    char where[64];
    Com_sprintf(where, sizeof(where), "(%.1f %.1f %.1f)", eye[0], eye[1], eye[2]);
    const int cell = WO_CellIndex(c[0], c[1], c[2]);
    const voxel_t vox = WO_GetVoxel(v[0], v[1], v[2]);
    const int wm = WO_Matter(vox), ws = WO_Density(vox);
    if (const page_t *p = WO_CellPage(cell))
        Com_Printf("%s wm:%d ws:%3d c:%3d %d-%d-%d PAGED surfs: %d", where, wm, ws,
                   p->cubeCases[WO_VoxelIndex(v[0], v[1], v[2])], c[0], c[1], c[2], p->numSurfs);
    else if (wo_pageGrid[cell] == WO_CELL_SOLID)
        Com_Printf("%d wm:%3d ws:%3d P(%d %d %d) SOLID", cell, wm, ws, c[0], c[1], c[2]);
    else
        Com_Printf("%s wm:%3d ws:%3d P(%d %d %d) EMPTY", where, wm, ws, c[0], c[1], c[2]);
}

// ---- registration ----

void WO_Imp() {
    static const struct {
        const char *name;
        cmdCallback_t handler;
        uint32_t flags;
    } commands[] = {
        {"wo_stats", WO_Stats_f, 0},
        {"wo_retess", WO_Retess_f, 0},
        {"wo_dump", WO_Dump_f, 0},
        {"wo_hashstats", WO_HashStats_f, 0},
        {"wo_upload", WO_UploadEntirePool, 0},
        {"wo_check", WO_Check_f, 0},
        {"wo_undo", WO_Undo_f, CMD_SERVER},
    };
    for (const auto &c : commands)
        Cmd_CreateFunction(c.name, c.handler, c.flags);

    constexpr uint32_t DEBUG = CMD_CHEAT | CMD_CLIENT;
    static const struct {
        cmdVar_t *var;
        const char *name;
        const char *value;
        uint32_t flags;
    } variables[] = {
        {&wo_printeye, "wo_printeye", "0", DEBUG},
        {&wo_printtrace, "wo_printtrace", "0", DEBUG},
        {&wo_printRayTrace, "wo_printRayTrace", "0", DEBUG},
        {&wo_debug, "wo_debug", "1000", DEBUG},
        {&wo_skippvs, "wo_skippvs", "0", DEBUG},
        {&wo_skipovs, "wo_skipovs", "0", DEBUG},
        {&wo_skipfvs, "wo_skipfvs", "0", DEBUG},
        {&wo_debugtess, "wo_debugtess", "0", DEBUG},
        {&wo_skipShadowOptimization, "wo_skipShadowOptimization", "0", DEBUG},
        {&wo_traceAll, "wo_traceAll", "0", CMD_CLIENT},
        {&wo_skipPvsOptimize, "wo_skipPvsOptimize", "0", CMD_CLIENT},
        {&wo_uploadContinusely, "wo_uploadContinusely", "0", CMD_CLIENT},
        {&wo_printUpload, "wo_printUpload", "0", CMD_CLIENT},
        {&wo_useUndo, "wo_useUndo", "0", CMD_SERVER},
    };
    for (const auto &v : variables)
        Cmd_CreateCVar(v.var, v.name, v.value, v.flags);
}
