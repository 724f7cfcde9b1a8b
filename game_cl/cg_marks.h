// Marks: decals clipped onto the world (bullet holes, stains).  Each keeps the mesh
// the engine's decal clipper cut for it and hands it to the renderer every frame;
// it fades out at its end and is clipped again when the terrain under it changes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/com_vector.h"

constexpr int MAX_MARKS = 1024;
constexpr int MARK_CLIP_VERTS = 1024;    // the clipper's scratch room per mark
constexpr int MARK_CLIP_INDEXES = 6144;
constexpr int MARK_MIN_INDEXES = 6;      // fewer than two triangles make no mark
constexpr int32_t BULLET_MARK_LIFE_MS = 15000;
constexpr int32_t BULLET_MARK_FADE_MS = 13000;

// A vertex as the decal clipper writes it (the world's 60-byte vertex record):
// surfaces of layout 31 carry these.
struct decalVert_t {
    float position[3];
    float normal[3];
    float axisMask[4];
    float st[2];
    uint8_t rgba[4];
    int32_t matter;
    int32_t facing;
};
static_assert(sizeof(decalVert_t) == 60);
static_assert(offsetof(decalVert_t, st) == 40);
static_assert(offsetof(decalVert_t, rgba) == 48);

struct mark_t {
    int32_t material;
    vec3_t origin;
    float axis[9];          // row 2 the pressing direction; rows 0 and 1 span the decal
    vec3_t size;            // half sizes along the rows, before cg_markScale
    uint8_t priority;       // never taken over when the pool is full
    uint32_t creationFrame; // qgame frame count
    uint8_t inUse;
    uint32_t startTime;     // qgame time, ms
    int32_t lifeMs;         // ends this long after startTime
    int32_t fadeStartMs;    // fades from this long after startTime to its end; 0 no fade
    float radius;           // of the bounding cube about the origin
    int32_t numIndexes, numVerts;
    int32_t *indexes;       // G_Alloc, owned by the mark
    decalVert_t *verts;     // G_Alloc, owned by the mark
};

extern mark_t q_marks[MAX_MARKS];

void CG_InitMarks();   // every mark free (client game start)
void CG_ClearMarks();  // every mark released and free (world change, client events)
// A mark of a material pressed onto the world: origin, axis (rows), half sizes;
// it ends lifeMs from now and fades from fadeStartMs (0 no fade).  Nothing when the
// world under it gives less than two triangles or every mark is a priority mark.
void CG_CreateMark(int32_t material, const vec3_t origin, const float axis[9], const vec3_t size, int32_t lifeMs,
                   int32_t fadeStartMs, uint8_t priority);
// A mark of a material on the world at origin, facing direction, turned at random;
// it lasts lifeMs and fades from fadeStartMs.
void CG_Mark(int32_t material, const vec3_t origin, const float direction[3], float size, int32_t lifeMs,
             int32_t fadeStartMs);
// A weapon's bullet mark where a shot hit, facing direction.
void CG_BulletMark(int32_t weapon, const vec3_t origin, const float direction[3]);
void CG_AddMarksToScene();  // hands every visible mark to the renderer; ends expired ones
// The same with a given visible set (null sees everything).
void CG_AddMarksToSceneFrom(const void *pvs);
// The world changed inside mins..maxs: every older mark whose bounding cube
// touches the box is clipped again onto the new surface.
void CG_RetesselateMark(const float *mins, const float *maxs);
void CG_MarkStats_f();  // markStats: priority and total marks in use
void CG_MarkClear_f();  // markClear
