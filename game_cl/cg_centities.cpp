// Client-side effect entities: the pool, the makers, the bouncing physics and the
// kinds' thinks.  The frame turns every survivor without a kept axis to stand on
// the world after its think (cg_main.cpp).
#include "game_cl/cg_centities.h"

#include <cmath>
#include <cstring>

#include "common/common.h"
#include "game/g_entity.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_cl/cg_actions.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_services.h"

namespace {

// Physics of the kinds: gravity (units/s²), push-off from a surface, bounce, friction.
struct ceBounce_t {
    float gravity, pushOff, bounce, friction;
};
constexpr ceBounce_t SPARK_BOUNCE = {5.0f, 0.01f, 0.4f, 0.9f};
constexpr ceBounce_t SHELL_BOUNCE = {4.0f, 0.01f, 0.35f, 0.75f};
constexpr ceBounce_t GIB_BOUNCE = {5.0f, 0.01f, 0.3f, 0.85f};
constexpr ceBounce_t DIRT_BOUNCE = {5.0f, 0.005f, 0.4f, 0.85f};

constexpr float GIB_REST_SPEED = 0.1f;  // a gib slower than this lies still
constexpr float GIB_TRAIL_STEP = 0.35f;
constexpr float DIRT_TRAIL_STEP = 0.25f;
constexpr float GIB_START_NOISE = 0.3f;
constexpr float SHELL_AXIS_NOISE = 0.3f;
constexpr float SHELL_EJECT_NOISE = 0.025f;
constexpr float METEOR_CLOCK_RATE = 4.0f;
constexpr float FLASH_RATE = 2.0f;      // life fraction per second: half a second of light
constexpr float RAIN_SPEED = 1.0f;

uint32_t lastRainTime;  // game time (ms) of the last rain spark

// Milliseconds of game time since the record was made.
int32_t Age(const centity_t *e) { return G_TimeAge(static_cast<uint32_t>(e->spawnTime)); }

float Move(centity_t *e, const ceBounce_t &b) { return CG_CEntityMove(e, b.gravity, b.pushOff, b.bounce, b.friction, nullptr); }

// A random unit vector: each component in -1..1, normalised.
void RandomSpinAxis(vec3_t out) {
    out[0] = Trap_crand();
    out[1] = Trap_crand();
    out[2] = Trap_crand();
    VectorNormalize(out);
}

// Adds degrees to an angle, kept in 0..360.
float TurnAngle(float angle, float degrees) {
    float a = std::fmod(angle + degrees, 360.0f);
    if (a < 0.0f) a += 360.0f;
    return a == a ? a : 0.0f;  // an angle that is no number starts again from 0
}

// normalise(direction + noise of amount spread) × speed.
void ThrowVelocity(vec3_t out, const vec3_t direction, float spread, float speed) {
    _VectorCopy(out, direction);
    Trap_VectorAddNoise(out, spread);
    VectorNormalize(out);
    _VectorScale(out, speed, out);
}

// Starts the kind's trail script once the record has moved far enough from the last.
void Trail(centity_t *e, float step, const char *script) {
    if (PointDistance(e->s.origin, e->lastTrailPoint) <= step) return;
    CG_RunActionScript(script, e->s.origin, e->axis, 0.0f, 0.0f);
    _VectorCopy(e->lastTrailPoint, e->s.origin);
}

void ColourBytes(uint8_t out[3], const vec3_t colour) {
    for (int i = 0; i < 3; i++) {
        const float v = colour[i] * 255.0f;
        // Truncated, kept within a byte (and not-a-number as 0).
        out[i] = v >= 255.0f ? 255 : (v > 0.0f ? static_cast<uint8_t>(v) : 0);
    }
}

void MakeSpark(int32_t type, const vec3_t origin, const vec3_t velocity, const vec3_t colour) {
    centity_t *e = CG_CreateCEntity(type);
    _VectorCopy(e->s.origin, origin);
    _VectorCopy(e->velocity, velocity);
    ColourBytes(e->color, colour);
}

}  // namespace

// ---- the pool ----

centity_t *CG_CreateCEntity(int32_t type) {
    centity_t *e = nullptr;
    for (centity_t &c : cg.cEntities)
        if (!c.s.inUse) {
            e = &c;
            break;
        }
    if (!e) {
        e = &cg.cEntities[0];
        for (centity_t &c : cg.cEntities)
            if (Age(&c) > Age(e)) e = &c;
    }
    memset(e, 0, sizeof *e);
    e->s.inUse = 1;
    e->s.type = type;
    e->s.owner = -1;
    e->s.serial = -1;
    e->media = CG_EntityMedia(type);
    e->spawnTime = static_cast<int32_t>(qgame.time);
    e->spawnFrame = qgame.frameCount;
    return e;
}

void CG_DeleteCEntity(centity_t *record) {
    if (record) record->s.inUse = 0;
}

void CG_ClearCEntities() {
    for (centity_t &e : cg.cEntities) e.s.inUse = 0;
}

// ---- makers ----

void CG_CreateGib(const vec3_t origin, const vec3_t velocity, int32_t modelIndex) {
    centity_t *e = CG_CreateCEntity(ET_GIB);
    _VectorCopy(e->s.origin, origin);
    _VectorCopy(e->velocity, velocity);
    e->modelIndex = modelIndex;
    RandomSpinAxis(e->spinAxis);
}

void CG_CreateDirt(const vec3_t origin, const vec3_t velocity) {
    centity_t *e = CG_CreateCEntity(ET_DIRT);
    _VectorCopy(e->s.origin, origin);
    _VectorCopy(e->velocity, velocity);
    RandomSpinAxis(e->spinAxis);
}

void CG_CreateSpark(const vec3_t origin, const vec3_t velocity, const vec3_t colour) {
    MakeSpark(ET_SPARK, origin, velocity, colour);
}

void CG_CreateRainSpark(const vec3_t origin, const vec3_t velocity, const vec3_t colour) {
    MakeSpark(ET_RAIN_SPARK, origin, velocity, colour);
}

void CG_CreateImpactFlower(int32_t number, const vec3_t origin, const vec3_t direction) {
    centity_t *e = CG_CreateCEntity(ET_IMPACT_FLOWER);
    e->subKind = number;
    _VectorCopy(e->s.origin, origin);
    _VectorCopy(e->s.dir, direction);
}

void CG_CreateGrenadeFlash(const vec3_t origin, const vec3_t direction) {
    centity_t *e = CG_CreateCEntity(ET_GRENADE_FLASH);
    _VectorAddMultiple(e->s.origin, origin, direction, 0.5f);
    e->lifeFraction = 0.0f;
}

void CG_CreateShell(const vec3_t origin, const float axis[9], const vec3_t ejectDirection, const vec3_t baseVelocity) {
    centity_t *e = CG_CreateCEntity(ET_SHELL);
    _VectorCopy(e->s.origin, origin);
    _AxisCopy(e->axis, axis);
    float *up = &e->axis[3];
    Trap_VectorAddNoise(up, SHELL_AXIS_NOISE);
    VectorNormalize(up);
    VectorOrthogonalize(&e->axis[0], &e->axis[0], up);
    VectorOrthogonalize(&e->axis[6], &e->axis[6], up);
    e->keepAxis = 1;
    vec3_t eject;
    _VectorCopy(eject, ejectDirection);
    Trap_VectorAddNoise(eject, SHELL_EJECT_NOISE);
    VectorNormalize(eject);
    for (int i = 0; i < 3; i++) e->velocity[i] = baseVelocity[i] + eject[i] * (1.5f + 0.3f * Trap_frand());
}

void CG_CreateMeteor(const vec3_t head, const vec3_t tail) {
    centity_t *e = CG_CreateCEntity(ET_METEOR);
    _VectorCopy(e->meteorHead, head);
    _VectorCopy(e->meteorTail, tail);
    e->meteorSpeed = 200.0f + 400.0f * Trap_frand();
}

void CG_CreateSparkExplosion(const vec3_t origin, const vec3_t direction, float speed, float spread, int32_t count,
                             const vec3_t colour) {
    for (int32_t i = 0; i < count; i++) {
        vec3_t velocity;
        ThrowVelocity(velocity, direction, spread, speed);
        CG_CreateSpark(origin, velocity, colour);
    }
}

void CG_CreateGibExplosion(const vec3_t origin, const vec3_t direction, float speed, float spread, int32_t count) {
    vec3_t base;
    _VectorAdd(base, origin, G_GetUpVector(cg.flatGravity, origin));
    for (int32_t i = 0; i < count; i++) {
        vec3_t start, velocity;
        _VectorCopy(start, base);
        Trap_VectorAddNoise(start, GIB_START_NOISE);
        ThrowVelocity(velocity, direction, spread, speed);
        const int32_t model = static_cast<int32_t>(static_cast<uint32_t>(Trap_rand()) % 4u);
        CG_CreateGib(start, velocity, model);
    }
}

void CG_CreateDirtExplosion(const vec3_t origin, const vec3_t direction, float speed, float spread, int32_t count) {
    vec3_t base;
    _VectorAddMultiple(base, origin, G_GetUpVector(cg.flatGravity, origin), 0.5f);
    for (int32_t i = 0; i < count; i++) {
        vec3_t velocity;
        ThrowVelocity(velocity, direction, spread, speed);
        CG_CreateDirt(base, velocity);
    }
}

void CG_UpdateSparkRain() {
    if (cg_skipSparkRain.integer || cgw.sparkRain <= 0) return;
    if (G_TimeAge(lastRainTime) < cgw.sparkRain) return;
    lastRainTime = qgame.time;
    vec3_t d = {0, 0, 0};
    Trap_VectorAddNoise(d, 1.0f);
    VectorNormalize(d);
    vec3_t origin, velocity;
    _VectorScale(origin, cgw.spaceAlt, d);
    _VectorScale(velocity, -RAIN_SPEED, d);
    const vec3_t colour = {cg_fogRed.value, cg_fogGreen.value, cg_fogBlue.value};
    CG_CreateRainSpark(origin, velocity, colour);
}

// ---- physics ----

float CG_CEntityMove(centity_t *record, float gravity, float pushOff, float bounce, float friction, vec3_t normalOut) {
    const float t = qgame.frameSeconds;
    vec3_t up;
    _VectorCopy(up, G_GetUpVector(cg.flatGravity, record->s.origin));
    _VectorSubMultiple(record->velocity, record->velocity, up, gravity * t);
    vec3_t end;
    _VectorAddMultiple(end, record->s.origin, record->velocity, t);
    gameTrace_t tr;
    CG_RayTrace(&tr, record->s.origin, end, nullptr, CONTENTS_WORLD);
    if (tr.trace.fraction == 1.0f) {
        _VectorCopy(record->s.origin, end);
        return 0.0f;
    }
    vec3_t n = {tr.trace.plane[0], tr.trace.plane[1], tr.trace.plane[2]};
    if (normalOut) _VectorCopy(normalOut, n);
    VectorNormalize(n);
    _VectorAddMultiple(record->s.origin, tr.trace.endpos, n, pushOff);
    const float d = _DotProduct(record->velocity, n);
    _VectorSubMultiple(record->velocity, record->velocity, n, d * (1.0f + bounce));
    _VectorScale(record->velocity, friction, record->velocity);
    return std::fabs(d);
}

// ---- thinks ----

namespace {

// Deletes the record once it is older than its life (ms).
bool Expired(centity_t *e, int32_t life) {
    if (Age(e) <= life) return false;
    CG_DeleteCEntity(e);
    return true;
}

// The same, and the share of its life it has lived.
bool AgedOut(centity_t *e, int32_t life) {
    if (Expired(e, life)) return true;
    e->lifeFraction = static_cast<float>(Age(e)) / static_cast<float>(life);
    return false;
}

}  // namespace

void Spark_Think(centity_t *e) {
    if (!AgedOut(e, CE_SPARK_LIFE)) Move(e, SPARK_BOUNCE);
}

void Spark_Rain_Think(centity_t *e) {
    if (!AgedOut(e, CE_RAIN_SPARK_LIFE)) Move(e, SPARK_BOUNCE);
}

void Shell_Think(centity_t *e) {
    if (!Expired(e, CE_SHELL_LIFE)) Move(e, SHELL_BOUNCE);
}

void GrenadeFlash_Think(centity_t *e) {
    if (e->lifeFraction >= 1.0f) {
        CG_DeleteCEntity(e);
        return;
    }
    e->lifeFraction += FLASH_RATE * qgame.frameSeconds;
}

void ImpactFlower_Think(centity_t *e) { AgedOut(e, CE_FLOWER_LIFE); }

void Gib_Think(centity_t *e) {
    if (Expired(e, CE_GIB_LIFE)) return;
    const float speed = VectorLength(e->velocity);
    if (!(speed >= GIB_REST_SPEED)) return;
    Move(e, GIB_BOUNCE);
    Trail(e, GIB_TRAIL_STEP, "game/c_actions/gib_trail.action");
    e->spinSpeed = speed > 5.0f ? 600.0f : 120.0f * speed;
    e->spinAngle = TurnAngle(e->spinAngle, e->spinSpeed * qgame.frameSeconds);
}

void Dirt_Think(centity_t *e) {
    if (Expired(e, CE_DIRT_LIFE)) return;
    const float speed = VectorLength(e->velocity);
    e->spinSpeed = speed > 7.0f ? 1400.0f : 200.0f * speed;
    e->spinAngle = TurnAngle(e->spinAngle, e->spinSpeed * qgame.frameSeconds);
    Move(e, DIRT_BOUNCE);
    Trail(e, DIRT_TRAIL_STEP, "game/c_actions/dirt_trail.action");
}

void Meteor_Think(centity_t *e) {
    if (VectorLength(e->meteorHead) > CE_METEOR_FAR && Age(e) > CE_METEOR_MIN_LIFE) {
        CG_DeleteCEntity(e);
        return;
    }
    vec3_t dir;
    _VectorSub(dir, e->meteorTail, e->meteorHead);
    VectorNormalize(dir);
    const float step = e->meteorSpeed * qgame.frameSeconds;
    _VectorAddMultiple(e->meteorHead, e->meteorHead, dir, step);
    _VectorAddMultiple(e->meteorTail, e->meteorTail, dir, step);
    e->meteorClock += METEOR_CLOCK_RATE * qgame.frameSeconds;
    // Meteors fly in the sky's frame, which turns with the sky.
    VectorMatrixMultiply3x3(e->s.origin, e->meteorHead, cg.view.skyAxis);
    VectorMatrixMultiply3x3(e->s.origin2, e->meteorTail, cg.view.skyAxis);
}
