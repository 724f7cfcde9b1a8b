// Decorations that the world script scatters (mushrooms, stones, candy canes, foam
// mushrooms, barrels, probes) and the bullet trails that the weapons leave.
#include <cstring>

#include "common/common.h"
#include "game/g_entity.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_sv/sg_local.h"
#include "game_sv/sg_services.h"

static constexpr float DECOR_BOX_OFFSET = 0.35f;
static constexpr float DECOR_VIS_OFFSET = 0.3f;
static constexpr float DECOR_VIS_RADIUS = 0.5f;
static constexpr float DECOR_GRAVITY = 9.0f;
static constexpr float STAIN_LIFT = 0.3f;
static constexpr float STAIN_REACH = 3.0f;
static constexpr int32_t EV_STAIN = 49;
static constexpr int32_t TRAIL_LIFETIME_MS = 1000;

static void Decor_ThinkSG(sgEntity_t *self) { SG_EntityPhys(self, 0.0f, DECOR_GRAVITY); }

// A hit that only wears the decoration down.
static void Decor_ThinkHit(sgEntity_t *self, sgEntity_t *, float damage) {
    self->health -= Com_ClampToInt(damage);
    if (self->health < 1) SG_DeleteEntity(self);
}

// A hit that also stains the ground nearby each time a hundred of health is crossed.
static void Decor_ThinkHitStain(sgEntity_t *self, sgEntity_t *attacker, float damage) {
    const int32_t old = self->health;
    Decor_ThinkHit(self, attacker, damage);
    if (old / 100 == self->health / 100) return;
    vec3_t dir = {0, 0, 0}, start, end;
    Trap_VectorAddNoise(dir, 1.0f);
    VectorNormalize(dir);
    _VectorAddMultiple(start, self->s.origin, G_GetUpVector(sg.flatGravity, self->s.origin), STAIN_LIFT);
    _VectorAddMultiple(end, start, dir, STAIN_REACH);
    gameTrace_t tr;
    SG_RayTrace(&tr, start, end, nullptr, CONTENTS_WORLD, 0);
    if (tr.trace.fraction >= 1.0f) return;
    vec3_t normal;
    _VectorCopy(normal, tr.trace.plane);
    VectorNormalize(normal);
    SG_CreateEventEntity(EV_STAIN, tr.trace.endpos, normal);
}

struct decorKind_t {
    const char *className;
    int32_t health;
    int32_t surface;
    float half[3];
    bool stains;
};

static sgEntity_t *CreateDecoration(const vec3_t position, int32_t type, const decorKind_t &k, uint8_t randomSpawned) {
    sgEntity_t *e = SG_CreateEntity(type);
    if (!e) return nullptr;  // no entity to be had: no server runs
    e->className = k.className;
    e->thinkSG = Decor_ThinkSG;
    e->thinkHit = k.stains ? Decor_ThinkHitStain : Decor_ThinkHit;
    // The spawners count decorations by kind and by the random flag.
    e->kind = type;
    e->randomSpawned = randomSpawned ? 1 : 0;
    e->contents = CONTENTS_PROP;
    e->hasHitBox = 1;
    e->boxFlag = 1;
    e->boxOffset = DECOR_BOX_OFFSET;
    e->hitOffset[1] = DECOR_BOX_OFFSET;
    _VectorCopy(e->hitHalfSize, k.half);
    e->health = k.health;
    e->impactSurface = k.surface;
    e->r.visOffset = DECOR_VIS_OFFSET;
    e->r.visRadius = DECOR_VIS_RADIUS;
    _VectorCopy(e->s.origin, position);
    SG_FinishEntity(e);
    return e;
}

static constexpr decorKind_t MUSHROOM = {"Mushroom", 500, IMPACT_SLIME, {0.4f, 0.4f, 0.4f}, true};
static constexpr decorKind_t STONE = {"Stone", 1000, IMPACT_DIRT, {0.3f, 0.15f, 0.3f}, false};
static constexpr decorKind_t CANDYCANE = {"CandyCane", 200, IMPACT_DIRT, {0.3f, 0.15f, 0.3f}, false};
static constexpr decorKind_t FOAMMUSH = {"FoamMush", 200, IMPACT_DIRT, {0.3f, 0.15f, 0.3f}, false};
static constexpr decorKind_t BARREL = {"Barrel", 1000, IMPACT_METAL, {0.3f, 0.2f, 0.3f}, true};
static constexpr decorKind_t PROBE = {"Probe", 1500, IMPACT_METAL, {0.3f, 0.25f, 0.3f}, false};

// A variant type outside the kind's range falls back to its first variant.
static int32_t Variant(int32_t type, int32_t first, int32_t count) {
    return type >= first && type < first + count ? type : first;
}

sgEntity_t *SG_CreateMushroom(const vec3_t position, uint8_t randomSpawned) {
    return CreateDecoration(position, ET_MUSHROOM, MUSHROOM, randomSpawned);
}
sgEntity_t *SG_CreateStone(const vec3_t position, int32_t type, uint8_t randomSpawned) {
    return CreateDecoration(position, Variant(type, ET_STONE1, 3), STONE, randomSpawned);
}
sgEntity_t *SG_CreateCandyCane(const vec3_t position, int32_t type, uint8_t randomSpawned) {
    return CreateDecoration(position, Variant(type, ET_CANDYCANE1, 2), CANDYCANE, randomSpawned);
}
sgEntity_t *SG_CreateFoamMush(const vec3_t position, int32_t type, uint8_t randomSpawned) {
    return CreateDecoration(position, Variant(type, ET_FOAMMUSH1, 2), FOAMMUSH, randomSpawned);
}
sgEntity_t *SG_CreateBarrel(const vec3_t position, uint8_t randomSpawned) {
    return CreateDecoration(position, ET_BARREL, BARREL, randomSpawned);
}
sgEntity_t *SG_CreateProbe(const vec3_t position, uint8_t randomSpawned) {
    return CreateDecoration(position, ET_PROBE, PROBE, randomSpawned);
}

// ---- bullet trails ----

static void BT_ThinkSG(sgEntity_t *self) {
    self->s.param = static_cast<float>(SG_Since(self->s.spawnTime)) / 1000.0f;
}

sgEntity_t *SG_CreateBulletTrail(const vec3_t start, const vec3_t end, int32_t kind) {
    sgEntity_t *e = SG_CreateEntity(kind);
    if (!e) return nullptr;  // no entity to be had: no server runs
    e->className = "Bullet Trail";
    e->thinkSG = BT_ThinkSG;
    e->r.svFlags |= SVF_ALWAYS_SEND;
    e->lifetime = TRAIL_LIFETIME_MS;
    _VectorCopy(e->s.origin, start);
    _VectorCopy(e->s.origin2, end);
    SG_FinishEntity(e);
    return e;
}
