// Marks: the pool, clipping through the engine, drawing with the fade, re-clipping
// after the terrain changed, and the bullet marks and mark tools.
#include "game_cl/cg_marks.h"

#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_public.h"
#include "game/g_surface.h"
#include "game/g_traps.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"

mark_t q_marks[MAX_MARKS];

namespace {

constexpr float MARK_RADIUS_SQRT3 = 1.73205f;
constexpr float MARK_RADIUS_MARGIN = 0.1f;

decalVert_t clipVerts[MARK_CLIP_VERTS];
int32_t clipIndexes[MARK_CLIP_INDEXES];

// ms until the mark ends; below 0 once it has ended.
int64_t Left(const mark_t &m) { return static_cast<int64_t>(m.lifeMs) - G_TimeAge(m.startTime); }

void Release(mark_t *m) {
    if (m->verts) G_Free(m->verts);
    if (m->indexes) G_Free(m->indexes);
    memset(m, 0, sizeof *m);
}

// The first free mark; with none, the non-priority mark that ends first (the
// lowest index among equals) is released and taken.  Null when all are priority.
mark_t *GetFreeMark() {
    for (mark_t &m : q_marks)
        if (!m.inUse) return &m;
    mark_t *victim = nullptr;
    for (mark_t &m : q_marks)
        if (!m.priority && (!victim || Left(m) < Left(*victim))) victim = &m;
    if (!victim) {
        Com_Error(ER_DEVWARNING, "GetFreeMark: Found no free mark at all");
        return nullptr;
    }
    Release(victim);
    return victim;
}

// A mark made at startTime that lives lifeMs and fades from fadeStartMs on (0: no fade).
void NewMark(int32_t material, const vec3_t origin, const float axis[9], const vec3_t size, uint32_t startTime,
             int32_t lifeMs, int32_t fadeStartMs, uint8_t priority) {
    mark_t *m = GetFreeMark();
    if (!m) return;
    vec3_t scaled;
    _VectorScale(scaled, cg_markScale.value, size);
    int32_t numVerts = 0, numIndexes = 0;
    Trap_ClipDecal(&numVerts, &numIndexes, clipVerts, clipIndexes, origin, axis, scaled, MARK_CLIP_VERTS,
                   MARK_CLIP_INDEXES);
    // Counts beyond the scratch arrays would copy past them.
    if (numIndexes < MARK_MIN_INDEXES || numIndexes > MARK_CLIP_INDEXES || numVerts <= 0 ||
        numVerts > MARK_CLIP_VERTS)
        return;
    auto *verts = static_cast<decalVert_t *>(G_Alloc(static_cast<uint32_t>(numVerts) * sizeof(decalVert_t)));
    auto *indexes = static_cast<int32_t *>(G_Alloc(static_cast<uint32_t>(numIndexes) * sizeof(int32_t)));
    if (!verts || !indexes) {
        if (verts) G_Free(verts);
        if (indexes) G_Free(indexes);
        return;
    }
    memcpy(verts, clipVerts, static_cast<size_t>(numVerts) * sizeof(decalVert_t));
    memcpy(indexes, clipIndexes, static_cast<size_t>(numIndexes) * sizeof(int32_t));

    m->material = material;
    _VectorCopy(m->origin, origin);
    _AxisCopy(m->axis, axis);
    _VectorCopy(m->size, size);
    m->priority = priority;
    m->creationFrame = qgame.frameCount;
    m->inUse = 1;
    m->startTime = startTime;
    m->lifeMs = lifeMs;
    m->fadeStartMs = fadeStartMs;
    float largest = scaled[0];
    if (scaled[1] > largest) largest = scaled[1];
    if (scaled[2] > largest) largest = scaled[2];
    m->radius = MARK_RADIUS_SQRT3 * largest + MARK_RADIUS_MARGIN;
    m->numVerts = numVerts;
    m->numIndexes = numIndexes;
    m->verts = verts;
    m->indexes = indexes;
}

// Row 2 the direction, rows 0 and 1 turned about it at random.
void RandomMarkAxis(float axis[9], const float direction[3]) {
    float *row0 = axis, *row1 = axis + 3, *row2 = axis + 6;
    _VectorCopy(row2, direction);
    VectorNormalize(row2);
    vec3_t perpendicular;
    PerpendicularVector(perpendicular, row2);
    RotatePointAroundVector(row0, row2, perpendicular, 360.0f * Trap_frand());
    _CrossProduct(row1, row0, row2);
}

// The opacity of a mark at age ms: 255 until the fade starts, down to 0 at the end;
// a mark kept past its end stays at 0.
uint8_t MarkAlpha(const mark_t &m, int32_t age) {
    if (!m.fadeStartMs || age <= m.fadeStartMs) return 255;
    const float span = static_cast<float>(static_cast<int64_t>(m.lifeMs) - m.fadeStartMs);
    const float into = static_cast<float>(static_cast<int64_t>(age) - m.fadeStartMs);
    const int32_t fade = span > 0.0f ? static_cast<int32_t>(255.0f * (into >= span ? 1.0f : into / span)) : 255;
    const int32_t alpha = 255 - fade;
    return static_cast<uint8_t>(alpha < 0 ? 0 : alpha > 255 ? 255 : alpha);
}

}  // namespace

void CG_ClearMarks() {
    for (mark_t &m : q_marks)
        if (m.inUse) Release(&m);
}

// A restarted client game finds the marks of the last run: their buffers go first.
void CG_InitMarks() {
    CG_ClearMarks();
    memset(q_marks, 0, sizeof q_marks);
}

void CG_CreateMark(int32_t material, const vec3_t origin, const float axis[9], const vec3_t size, int32_t lifeMs,
                   int32_t fadeStartMs, uint8_t priority) {
    NewMark(material, origin, axis, size, qgame.time, lifeMs, lifeMs > fadeStartMs ? fadeStartMs : 0, priority);
}

void CG_Mark(int32_t material, const vec3_t origin, const float direction[3], float size, int32_t lifeMs,
             int32_t fadeStartMs) {
    float axis[9];
    RandomMarkAxis(axis, direction);
    const vec3_t sizes = {size, size, size};
    CG_CreateMark(material, origin, axis, sizes, lifeMs, fadeStartMs, 0);
}

void CG_BulletMark(int32_t weapon, const vec3_t origin, const float direction[3]) {
    const weaponMedia_t *media = CG_WeaponMedia(weapon);
    if (!media || media->numBulletMarks <= 0) return;
    const int32_t count = media->numBulletMarks < MAX_BULLET_MARKS ? media->numBulletMarks : MAX_BULLET_MARKS;
    float axis[9];
    RandomMarkAxis(axis, direction);
    const bulletMark_t &entry = media->bulletMarks[static_cast<uint32_t>(Trap_rand()) % static_cast<uint32_t>(count)];
    const vec3_t sizes = {entry.size, entry.size, entry.size};
    CG_CreateMark(entry.material, origin, axis, sizes, BULLET_MARK_LIFE_MS, BULLET_MARK_FADE_MS, 0);
}

void CG_AddMarksToSceneFrom(const void *pvs) {
    if (!cg_drawMarks.integer) return;
    for (mark_t &m : q_marks) {
        if (!m.inUse) continue;
        if (Left(m) < 0 && !cg_keepMarks.integer) {
            Release(&m);
            continue;
        }
        if (!Trap_WO_CheckPointPVS(pvs, m.origin, 0.0f)) continue;
        const uint8_t alpha = MarkAlpha(m, G_TimeAge(m.startTime));
        if (m.verts[0].rgba[3] != alpha)
            for (int32_t i = 0; i < m.numVerts; i++) m.verts[i].rgba[3] = alpha;
        // When the renderer's frame store is spent the mark is simply not drawn this frame.
        AddLayoutSurface(SURFACE_LAYOUT_DECAL, "mark", m.verts, m.numVerts, m.indexes, m.numIndexes, m.material);
    }
}

void CG_AddMarksToScene() { CG_AddMarksToSceneFrom(cg.view.pvs); }

void CG_RetesselateMark(const float *mins, const float *maxs) {
    if (!cg_retessMark.integer || !mins || !maxs) return;
    const uint32_t frame = qgame.frameCount;
    for (mark_t &m : q_marks) {
        if (!m.inUse || m.creationFrame == frame) continue;
        bool touches = true;
        for (int i = 0; i < 3; i++)
            if (!(mins[i] <= m.origin[i] + m.radius && m.origin[i] - m.radius <= maxs[i])) touches = false;
        if (!touches) continue;
        // The copy is taken before the old mark goes; freeing it first also means a
        // full pool never gives up an unrelated mark for the copy.
        const mark_t old = m;
        Release(&m);
        NewMark(old.material, old.origin, old.axis, old.size, old.startTime, old.lifeMs, old.fadeStartMs,
                old.priority);
    }
}

void CG_MarkStats_f() {
    int32_t priority = 0, total = 0;
    for (const mark_t &m : q_marks) {
        if (!m.inUse) continue;
        total++;
        if (m.priority) priority++;
    }
    Com_Printf("    \xA4" "08%8d\xA4" "00 Priority marks", priority);
    Com_Printf("    \xA4" "08%8d\xA4" "00 Total marks", total);
}

void CG_MarkClear_f() { CG_ClearMarks(); }
