// Procedural surfaces handed to the renderer.
#include "game/g_surface.h"

#include <cstring>

#include "game/g_traps.h"

surface_t *AllocLayoutSurface(int32_t layout, const char *name, const void *verts, int32_t numVerts,
                              const int32_t *indexes, int32_t numIndexes, int32_t material, uint32_t flags,
                              float effect) {
    auto *surface = static_cast<surface_t *>(Trap_R_AllocSurfaces(layout, 0));
    if (!surface) return nullptr;
    memset(surface, 0, sizeof *surface);
    surface->name = name;
    surface->flags = flags;
    surface->effect = effect;
    surface->numIndexes = numIndexes;
    surface->numVerts = numVerts;
    surface->indexes = indexes;
    surface->verts = verts;
    surface->material = material;
    return surface;
}

bool AddLayoutSurface(int32_t layout, const char *name, const void *verts, int32_t numVerts, const int32_t *indexes,
                      int32_t numIndexes, int32_t material, uint32_t flags, float effect) {
    surface_t *surface = AllocLayoutSurface(layout, name, verts, numVerts, indexes, numIndexes, material, flags, effect);
    if (!surface) return false;
    Trap_R_AddSurfaces(surface, SURFACE_ADD_PROCEDURAL);
    return true;
}
