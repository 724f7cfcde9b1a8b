// The server game's collision: one trace against the voxel world and the
// entities' boxes, the boxes themselves, touching, loose-entity physics, searches
// near a point and the deformation of the world by damage.
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_player.h"
#include "game/g_soup.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_sv/sg_local.h"

// Heights above a stuck entity tried in turn for a free place.
static constexpr float UNSTICK_STEPS[] = {0.05f, 0.2f, 0.5f, 1.0f, 1.5f};
constexpr float REST_DISTANCE = 0.1f;  // a falling prop this close to the ground lands

static int32_t sg_traceNumber;  // counts traces for the debug line

static bool IsZero(const vec3_t v) { return v[0] == 0 && v[1] == 0 && v[2] == 0; }

uint8_t SG_CheckClipMask(const sgEntity_t *entity, const void *skipEntity, uint32_t mask) {
    return entity != skipEntity && (entity->contents & mask) ? 1 : 0;
}

uint8_t SG_RayToEntity(gameTrace_t *result, sgEntity_t *entity, const vec3_t start, const vec3_t end,
                       uint8_t useHitPlanes) {
    if (!entity->hasHitBox) return 0;
    SG_UpdateEntityHitBox(entity);
    float f = result->trace.fraction;
    const mplane_t *planes = useHitPlanes ? entity->hitPlanes : entity->boundPlanes;
    if (!CM_LineSegmentToPolyhedron(start, end, 6, planes, &f, nullptr) || !(f < result->trace.fraction)) return 0;
    trace_t &tr = result->trace;
    tr.fraction = f;
    for (int i = 0; i < 3; i++) tr.endpos[i] = start[i] + (end[i] - start[i]) * f;
    _VectorSub(tr.plane, start, end);
    VectorNormalize(tr.plane);
    tr.plane[3] = 0;
    result->entity = entity;
    return 1;
}

uint8_t SG_VolumeToEntity(gameTrace_t *result, sgEntity_t *entity, const obb_t *start, const obb_t *end) {
    if (!entity->hasHitBox) return 0;
    SG_UpdateEntityHitBox(entity);
    const float before = result->trace.fraction;
    G_SweapOBBToOBB(&result->trace, start, end, &entity->hitBox);
    if (!(result->trace.fraction < before)) return 0;
    result->entity = entity;
    return 1;
}

void SG_Trace(gameTrace_t *result, const obb_t *start, const obb_t *end, void *skipEntity, int32_t mask,
              int32_t useHitPlanes) {
    *result = g_emptyTrace;
    result->trace.fraction = 1;
    _VectorCopy(result->trace.endpos, end->origin);
    sg_traceNumber++;
    if (sg_skipTrace.integer) return;

    const uint32_t bits = static_cast<uint32_t>(mask);
    if (bits & CONTENTS_WORLD) {
        trace_t world;
        memset(&world, 0, sizeof(world));
        world.fraction = 1;
        Trap_Trace(&world, start, end);
        if (world.fraction < result->trace.fraction) result->trace = world;
    }
    if (bits != CONTENTS_WORLD) {
        const bool ray = IsZero(start->halfSize) && IsZero(end->halfSize);
        for (sgEntity_t &e : sg.entities) {
            if (!e.s.inUse || e.isEvent || !SG_CheckClipMask(&e, skipEntity, bits)) continue;
            if (ray)
                SG_RayToEntity(result, &e, start->origin, end->origin, useHitPlanes ? 1 : 0);
            else
                SG_VolumeToEntity(result, &e, start, end);
        }
    }
    if (sg_printTrace.integer && result->trace.fraction < 1) {
        const sgEntity_t *hit = static_cast<const sgEntity_t *>(result->entity);
        if (hit)
            Com_Printf("Trace %d: hit %.4f entity: %d", sg_traceNumber, result->trace.fraction, hit->number);
        else
            Com_Printf("Trace %d: hit %.4f world", sg_traceNumber, result->trace.fraction);
    }
}

gameTrace_t *SG_RayTrace(gameTrace_t *out, const vec3_t start, const vec3_t end, void *skip, int32_t mask,
                         uint8_t useHitPlanes) {
    obb_t from, to;
    G_PointOBB(&from, start);
    G_PointOBB(&to, end);
    SG_Trace(out, &from, &to, skip, mask, useHitPlanes);
    return out;
}

void SG_TouchAllTriggers(sgEntity_t *entity, uint32_t mask) {
    SG_UpdateEntityHitBox(entity);
    for (sgEntity_t &other : sg.entities) {
        if (!entity->s.inUse) return;
        if (!other.s.inUse || !SG_CheckClipMask(&other, entity, mask)) continue;
        SG_UpdateEntityHitBox(&other);
        // The toucher's own box as start and end: an overlap test.
        trace_t tr;
        memset(&tr, 0, sizeof(tr));
        tr.fraction = 1;
        if (G_SweapOBBToOBB(&tr, &entity->hitBox, &entity->hitBox, &other.hitBox) && other.thinkTouch)
            other.thinkTouch(&other, entity);
    }
}

void SG_UpdateEntityBoundingBox(sgEntity_t *entity) {
    const float *up = G_GetUpVector(sg.flatGravity, entity->s.origin);
    vec3_t centre;
    _VectorAddMultiple(centre, entity->s.origin, up, entity->r.visOffset);
    for (int i = 0; i < 3; i++) {
        entity->r.mins[i] = centre[i] - entity->r.visRadius;
        entity->r.maxs[i] = centre[i] + entity->r.visRadius;
    }
}

// The six faces of the box of half sizes half around centre along the rows of
// axis; the inside lies on the planes' negative side.
static void BoxPlanes(mplane_t planes[6], const vec3_t centre, const float axis[3][3], const vec3_t half) {
    for (int i = 0; i < 3; i++) {
        const float c = _DotProduct(axis[i], centre);
        mplane_t &pos = planes[2 * i], &neg = planes[2 * i + 1];
        _VectorCopy(pos.normal, axis[i]);
        pos.dist = -(c + half[i]);
        _VectorCopy(neg.normal, axis[i]);
        _VectorReverse(neg.normal);
        neg.dist = c - half[i];
        CM_SetupMPlaneSignBits(&pos);
        CM_SetupMPlaneSignBits(&neg);
    }
}

void SG_UpdateEntityHitBox(sgEntity_t *entity) {
    const int32_t frame = static_cast<int32_t>(qgame.frameCount);
    if (entity->hitBoxFrame == frame) return;
    entity->hitBoxFrame = frame;

    vec3_t offset, outer, inner;
    if (entity->s.type == ET_PLAYER && entity->client) {
        G_GetPlayerHitBox(offset, outer, inner, &entity->client->cs);
    } else {
        _VectorCopy(offset, entity->hitOffset);
        _VectorCopy(outer, entity->hitHalfSize);
        _VectorCopy(inner, entity->hitHalfSize);
    }
    const float(*axis)[3] = entity->s.ellipticAxis;
    vec3_t centre;
    _VectorCopy(centre, entity->s.origin);
    for (int i = 0; i < 3; i++) _VectorAddMultiple(centre, centre, axis[i], offset[i]);

    obb_t &box = entity->hitBox;
    _VectorCopy(box.origin, centre);
    _VectorCopy(box.halfSize, outer);
    memcpy(box.axis, axis, sizeof(box.axis));
    MatrixCopy3x3(box.axisT, &axis[0][0]);
    MatrixTranspose3x3(box.axisT);
    BoxPlanes(entity->boundPlanes, centre, axis, outer);
    BoxPlanes(entity->hitPlanes, centre, axis, inner);
}

// A point trace of the world at p, skipping the entity: true when p lies in free space.
static bool PointIsFree(const vec3_t p, sgEntity_t *skip) {
    gameTrace_t tr;
    SG_RayTrace(&tr, p, p, skip, CONTENTS_WORLD, 0);
    return tr.trace.fraction >= 1;
}

uint8_t SG_EntityPhys(sgEntity_t *entity, float radius, float gravity) {
    if (sg_skipPhys.integer || entity->r.resting) return 0;
    float *origin = entity->s.origin;
    vec3_t up;
    _VectorCopy(up, G_GetUpVector(sg.flatGravity, origin));
    const float dt = qgame.frameSeconds;

    if (PointIsFree(origin, entity)) {
        _VectorAddMultiple(entity->velocity, entity->velocity, up, -gravity * dt);
        vec3_t target;
        _VectorAddMultiple(target, origin, entity->velocity, dt);
        _VectorAddMultiple(target, target, up, -radius);
        gameTrace_t tr;
        SG_RayTrace(&tr, origin, target, entity, CONTENTS_WORLD, 0);
        if (tr.trace.fraction >= 1) {
            _VectorAddMultiple(origin, target, up, radius);
        } else {
            _VectorClear(entity->velocity);
            _VectorAddMultiple(origin, tr.trace.endpos, up, radius);
            entity->r.resting = 1;
        }
        return 0;
    }
    // Stuck in matter: the first free place straight above, else a jump up.
    Trap_VectorAddNoise(origin, 0.001f);
    for (float h : UNSTICK_STEPS) {
        vec3_t p;
        _VectorAddMultiple(p, origin, up, h);
        if (PointIsFree(p, entity)) {
            _VectorCopy(origin, p);
            return 0;
        }
    }
    _VectorAddMultiple(origin, origin, up, UNSTICK_STEPS[4]);
    Trap_VectorAddNoise(origin, 0.05f);
    return 1;
}

#define C08 "\xA4" "08"
#define C00 "\xA4" "00"

void SG_EntityFall(sgEntity_t *entity, float height, float gravity) {
    if (sg_skipPhys.integer || entity->r.resting) return;
    float *origin = entity->s.origin;
    vec3_t ground, d, up;
    SG_GetGroundPosition(ground, origin, height);
    _VectorSub(d, ground, origin);
    _VectorCopy(up, G_GetUpVector(sg.flatGravity, origin));
    const bool close = _Abs(d[0]) < REST_DISTANCE && _Abs(d[1]) < REST_DISTANCE && _Abs(d[2]) < REST_DISTANCE;
    if (!close && _DotProduct(d, up) <= 0) {
        const float dt = qgame.frameSeconds;
        _VectorAddMultiple(entity->velocity, entity->velocity, up, -gravity * dt);
        _VectorAddMultiple(origin, origin, entity->velocity, dt);
        if (sg_printPhys.integer) Com_Printf("FALL " C08 "%d" C00 ": FALLING", entity->number);
        return;
    }
    // On the ground, or sunk into it: it lands on the ground point.
    _VectorCopy(origin, ground);
    _VectorClear(entity->velocity);
    entity->r.resting = 1;
    if (sg_printPhys.integer) Com_Printf("FALL " C08 "%d" C00 ": ONGROUND", entity->number);
}

// Filter bits of the searches: 0x1 admits players, 0x8 mushrooms; other kinds always pass.
static bool SeekAdmits(const sgEntity_t &e, uint32_t filter) {
    if (e.s.type == ET_PLAYER) return (filter & SEEK_PLAYERS) != 0;
    if (e.s.type == ET_MUSHROOM) return (filter & SEEK_MUSHROOMS) != 0;
    return true;
}

static float DistanceSquared(const vec3_t a, const vec3_t b) {
    vec3_t d;
    _VectorSub(d, a, b);
    return _DotProduct(d, d);
}

int32_t SG_SeekRadius(int32_t startSlot, const sgEntity_t *skipEntity, uint32_t filter, const vec3_t point,
                      float radius) {
    if (startSlot < 0) startSlot = 0;
    for (int32_t i = startSlot; i < SG_MAX_ENTITIES; i++) {
        const sgEntity_t &e = sg.entities[i];
        if (!e.s.inUse || &e == skipEntity || !SeekAdmits(e, filter)) continue;
        if (radius == 0 || DistanceSquared(e.s.origin, point) <= radius * radius) return i;
    }
    return -1;
}

int32_t SG_SeekClosest(const sgEntity_t *skipEntity, uint32_t filter, const vec3_t point, float radius) {
    int32_t best = -1;
    float bestD = radius * radius;
    for (int32_t i = 0; i < SG_MAX_ENTITIES; i++) {
        const sgEntity_t &e = sg.entities[i];
        if (!e.s.inUse || &e == skipEntity || !SeekAdmits(e, filter)) continue;
        const float d = DistanceSquared(e.s.origin, point);
        // Within the radius for the first find, strictly closer after it: the lowest slot wins a tie.
        if (best < 0 ? d <= bestD : d < bestD) {
            best = i;
            bestD = d;
        }
    }
    return best;
}

int32_t SG_CountEntityType(int32_t kind, uint8_t randomOnly) {
    int32_t n = 0;
    for (const sgEntity_t &e : sg.entities)
        if (e.s.inUse && e.kind == kind && (!randomOnly || e.randomSpawned)) n++;
    return n;
}

void SG_DamageMatter(const vec3_t center, float radius, float strength) {
    Trap_UndoSnapshot();
    const soup_t *shape = g_dirtDeformSoups[0];
    if (!shape) return;
    for (int32_t m = 0; m < WORLD_MATERIALS; m++) {
        const worldMaterial_t &wm = sg.world.materials[m];
        if (!wm.name[0]) continue;
        const float a = strength * wm.subStrenght / 100;
        if (!(a > 0)) continue;
        Trap_SetupSoup(shape, shape->convex, center, identitymatrix3x3, radius);
        Trap_SubSoup(m, a);
        Trap_SetupSoup(shape, shape->convex, center, identitymatrix3x3, 1.5f * radius);
        const float passes = (1 - a) * 80;
        Trap_BlurSoup(m, passes < 8 ? 8 : passes > 80 ? 80 : static_cast<int32_t>(passes), 2);
    }
}
