// Deformation shapes: loading SOUP files, the convexity test, the preview drawing.
#include "game/g_soup.h"

#include <cmath>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_surface.h"
#include "game/g_traps.h"

soup_t g_soups[MAX_SOUPS];
int32_t g_numSoups;
soup_t *g_dirtDeformSoups[DIRT_DEFORM_MODES];
const void *g_soupViewPVS;

// Texture coordinates wrap once around the shape per this many radians.
constexpr float SOUP_ST_PERIOD = 6.2831855f;
// Bytes of one position in the file, and of one index.
constexpr size_t SOUP_FILE_VERT_SIZE = 12;
constexpr size_t SOUP_FILE_INDEX_SIZE = 4;
// Preview vertexes the renderer may still read this frame: a few shapes' worth.
constexpr int SOUP_DRAW_VERTS = 4 * SOUP_MAX_VERTS;

static bool SoupTableFull() {
    if (g_numSoups < MAX_SOUPS)
        return false;
    Com_Error(ER_FATAL, "G_LoadSOUP: MAX_SOUPS");
    return true;
}

// Prints why the file is refused, then raises the load error.  Always null.
static soup_t *RefuseSOUP(const char *path, const char *reason) {
    Com_Printf("G_LoadSOUP \"%s\": %s", path, reason);
    Com_Error(ER_FATAL, "G_LoadSOUP: Could not open \"%s\"", path);
    return nullptr;
}

static float GrabLittleFloat(const byte **cursor) {
    const int32_t bits = Com_GrabLittleLong(cursor);
    float f;
    memcpy(&f, &bits, sizeof(f));
    return f;
}

// 1 convex, 0 not: convex unless some vertex lies more than SOUP_CONVEX_EPSILON
// in front of some triangle's plane; the walk stops at the first such vertex.
// -1 when a plane is no number, since every comparison with it would pass.
static int SoupIsConvex(const soup_t *soup) {
    static vec4_t planes[SOUP_MAX_TRIANGLES];
    const int numTriangles = soup->numIndexes / 3;
    for (int t = 0; t < numTriangles; t++) {
        const int32_t *tri = soup->indexes + 3 * t;
        PlaneFrom3Points(planes[t], soup->verts + SOUP_VERT_FLOATS * tri[0], soup->verts + SOUP_VERT_FLOATS * tri[1],
                         soup->verts + SOUP_VERT_FLOATS * tri[2]);
        if (!std::isfinite(planes[t][0] + planes[t][1] + planes[t][2] + planes[t][3]))
            return -1;
    }
    for (int v = 0; v < soup->numVerts; v++) {
        const float *p = soup->verts + SOUP_VERT_FLOATS * v;
        for (int t = 0; t < numTriangles; t++) {
            if (_PointOnSideOfPlane(p, planes[t]) > SOUP_CONVEX_EPSILON)
                return 0;
        }
    }
    return 1;
}

soup_t *G_LoadSOUPFromMemory(const void *data, size_t size, const char *path, float scale) {
    if (SoupTableFull())
        return nullptr;
    if (!data || size < static_cast<size_t>(SOUP_HEADER_SIZE))
        return RefuseSOUP(path, "File is too short");

    const byte *cursor = static_cast<const byte *>(data);
    const uint32_t magic = static_cast<uint32_t>(Com_GrabLittleLong(&cursor));
    const int32_t version = Com_GrabLittleLong(&cursor);
    const int32_t numVerts = Com_GrabLittleLong(&cursor);
    const int32_t numIndexes = Com_GrabLittleLong(&cursor);
    if (magic != SOUP_MAGIC)
        return RefuseSOUP(path, "Bad magic");
    if (version != SOUP_VERSION)
        return RefuseSOUP(path, va("Bad version number (%d should be %d)", version, SOUP_VERSION));
    if (numVerts > SOUP_MAX_VERTS)
        return RefuseSOUP(path, va("Max verts is %d", SOUP_MAX_VERTS));
    if (numVerts < 0)
        return RefuseSOUP(path, va("Bad vertex count %d", numVerts));
    if (numIndexes < 0 || numIndexes % 3)
        return RefuseSOUP(path, va("Bad index count %d", numIndexes));
    if (numIndexes / 3 > SOUP_MAX_TRIANGLES)
        return RefuseSOUP(path, va("Max triangles is %d", SOUP_MAX_TRIANGLES));
    // Both counts are bounded above, so the sizes cannot wrap.
    const size_t vertBytes = SOUP_FILE_VERT_SIZE * static_cast<size_t>(numVerts);
    const size_t indexBytes = SOUP_FILE_INDEX_SIZE * static_cast<size_t>(numIndexes);
    if (size - SOUP_HEADER_SIZE < vertBytes + indexBytes)
        return RefuseSOUP(path, "File is too short");

    // Every index must name a vertex: the engine and the renderer follow them blindly.
    const byte *indexCursor = cursor + vertBytes;
    for (int32_t i = 0; i < numIndexes; i++) {
        const int32_t index = Com_GrabLittleLong(&indexCursor);
        if (index < 0 || index >= numVerts)
            return RefuseSOUP(path, va("Bad vertex index %d", index));
    }

    soup_t loaded = {};
    loaded.numVerts = numVerts;
    loaded.numIndexes = numIndexes;
    loaded.indexes = static_cast<int32_t *>(G_Alloc(static_cast<uint32_t>(indexBytes)));
    loaded.verts = static_cast<float *>(G_Alloc(static_cast<uint32_t>(sizeof(float) * SOUP_VERT_FLOATS * numVerts)));
    if (!loaded.indexes || !loaded.verts) {
        G_Free(loaded.indexes);
        G_Free(loaded.verts);
        return RefuseSOUP(path, "Out of memory");
    }

    for (int32_t v = 0; v < numVerts; v++) {
        vec3_t p;
        for (int k = 0; k < 3; k++) p[k] = GrabLittleFloat(&cursor);
        float *out = loaded.verts + SOUP_VERT_FLOATS * v;
        for (int k = 0; k < 3; k++) out[k] = scale * p[k];
        if (!(std::fabs(out[0]) <= SOUP_MAX_COORD && std::fabs(out[1]) <= SOUP_MAX_COORD &&
              std::fabs(out[2]) <= SOUP_MAX_COORD)) {
            // The engine turns positions into voxel indexes and face planes: a value
            // that is no number, or so far out that its products overflow, has none.
            G_Free(loaded.indexes);
            G_Free(loaded.verts);
            return RefuseSOUP(path, va("Bad vertex %d", v));
        }
        VectorNormalize(p);
        // Rounding may leave a unit component a hair above 1, where acos has no value.
        const float z = p[2] > 1.0f ? 1.0f : p[2] < -1.0f ? -1.0f : p[2];
        out[3] = 0.0f;
        out[4] = atan2f(p[1], p[0]) / SOUP_ST_PERIOD + 0.5f;
        out[5] = acosf(z) / SOUP_ST_PERIOD + 0.5f;
        out[6] = 0.0f;
    }
    for (int32_t i = 0; i < numIndexes; i++) loaded.indexes[i] = Com_GrabLittleLong(&cursor);
    const int convex = SoupIsConvex(&loaded);
    if (convex < 0) {
        G_Free(loaded.indexes);
        G_Free(loaded.verts);
        return RefuseSOUP(path, "Bad face plane");
    }
    loaded.convex = static_cast<uint8_t>(convex);

    soup_t *soup = &g_soups[g_numSoups++];
    *soup = loaded;
    return soup;
}

soup_t *G_LoadSOUP(const char *path, float scale) {
    if (SoupTableFull())
        return nullptr;
    void *data = nullptr;
    const int32_t size = Trap_ReadFile(path, &data);
    if (size < 0 || !data) {
        Com_Error(ER_DROP, "G_LoadSOUP: Could not open file \"%s\"", path);
        return nullptr;
    }
    soup_t *soup = G_LoadSOUPFromMemory(data, static_cast<size_t>(size), path, scale);
    Trap_FreeFile(data);
    return soup;
}

void G_FreeAllSOUPS() {
    for (int32_t i = 0; i < g_numSoups; i++) {
        G_Free(g_soups[i].indexes);
        G_Free(g_soups[i].verts);
        g_soups[i] = soup_t{};
    }
    g_numSoups = 0;
    for (soup_t *&shape : g_dirtDeformSoups) shape = nullptr;
}

// ---- preview drawing ----

// The renderer reads a surface's vertexes when the frame is rendered, after the
// drawer returned: they live here until the next frame begins.
static drawVert_t soupDrawVerts[SOUP_DRAW_VERTS];
static int32_t soupDrawUsed;
static uint32_t soupDrawFrame;

void G_DrawSOUP(const soup_t *soup, int32_t material, const float origin[3], const float axis[9], uint8_t alpha,
                float scale) {
    if (!soup || !g_soupViewPVS || !Trap_WO_CheckPointPVS(g_soupViewPVS, origin, scale + 1.0f))
        return;
    if (soupDrawFrame != qgame.frameCount) {
        soupDrawFrame = qgame.frameCount;
        soupDrawUsed = 0;
    }
    if (soup->numVerts > SOUP_DRAW_VERTS - soupDrawUsed) {
        Com_DPrintf("G_DrawSOUP: too many shapes in one frame");
        return;
    }
    drawVert_t *verts = soupDrawVerts + soupDrawUsed;
    for (int32_t v = 0; v < soup->numVerts; v++) {
        const float *p = soup->verts + SOUP_VERT_FLOATS * v;
        drawVert_t &out = verts[v];
        for (int k = 0; k < 3; k++) out.xyz[k] = origin[k] + scale * _DotProduct(axis + 3 * k, p);
        out.unused = 0.0f;
        out.st[0] = p[4];
        out.st[1] = p[5];
        out.rgba[0] = out.rgba[1] = out.rgba[2] = 255;
        out.rgba[3] = alpha;
    }
    // A renderer that draws nothing hands out no surfaces: the vertexes stay free.
    if (AddLayoutSurface(SURFACE_LAYOUT_COLOR, nullptr, verts, soup->numVerts, soup->indexes, soup->numIndexes,
                         material, 0, 0.0f))
        soupDrawUsed += soup->numVerts;
}
