// Procedural surfaces the module builds and hands to the renderer each frame.
//
// The renderer allocates the record (Trap_R_AllocSurfaces) and reads it when the
// frame is rendered; the arrays it points at belong to the drawer and must stay
// valid until then.
#pragma once

#include <cstdint>

// Vertex layouts of Trap_R_AllocSurfaces.
enum surfaceLayout_t : int32_t {
    SURFACE_LAYOUT_COLOR = 25,  // drawVert_t
    SURFACE_LAYOUT_DECAL = 31,  // clipped decal vertexes
};

// Argument of Trap_R_AddSurfaces for procedural surfaces.
constexpr uint8_t SURFACE_ADD_PROCEDURAL = 1;

// A vertex of layout SURFACE_LAYOUT_COLOR: 28 bytes.
struct drawVert_t {
    float xyz[3];
    float unused;    // left 0
    float st[2];     // texture coordinates
    uint8_t rgba[4];
};
static_assert(sizeof(drawVert_t) == 28);

// One procedural surface; pointer-holding, so its size is the host's.
struct surface_t {
    const char *name;       // for the renderer's debugging
    uint32_t flags;
    float effect;
    int32_t numIndexes;
    int32_t numVerts;
    const int32_t *indexes;
    const void *verts;      // of the layout the surface was allocated with
    int32_t material;
};
