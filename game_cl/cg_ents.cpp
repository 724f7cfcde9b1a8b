// The snapshot entities: interpolation between the snapshot pair, the entities'
// events, and the hand-over of every entity to its drawer.
#include "game_cl/cg_ents.h"

#include <cmath>
#include <cstring>

#include "common/common.h"
#include "game/g_entity.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_weapon.h"
#include "game_cl/cg_actions.h"
#include "game_cl/cg_centities.h"
#include "game_cl/cg_drawents.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_marks.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_utils.h"

constexpr int32_t CG_LAST_ENTITY_EVENT = 25;  // higher numbers in an entity's ring are not presented
constexpr int32_t CG_EVENT_PLAYER_SPAWN = 1;
constexpr int32_t CG_DRAWING_TYPE_WITHOUT_DRAWER = 4;

// ---- interpolation ----

// Every continuous field between a and b; the origin is done by the caller.
static void LerpFields(entityState_t *out, const entityState_t *a, const entityState_t *b, float f) {
    VectorLerp(out->origin2, a->origin2, b->origin2, f);
    VectorLerp(out->dir, a->dir, b->dir, f);
    for (int row = 0; row < 3; row++) VectorLerp(out->ellipticAxis[row], a->ellipticAxis[row], b->ellipticAxis[row], f);
    out->param = a->param + (b->param - a->param) * f;
    out->animTime1 = a->animTime1 + (b->animTime1 - a->animTime1) * f;
    out->animTime2 = a->animTime2 + (b->animTime2 - a->animTime2) * f;
    for (int i = 0; i < 3; i++) {
        out->angles[i] = AngleLerp(a->angles[i], b->angles[i], f);
        out->angles2[i] = AngleLerp(a->angles2[i], b->angles2[i], f);
    }
}

// The origin between a and b, with the frame's error against last frame's origin;
// a sudden growth of the error is halved once so that a correction does not jerk.
static void LerpOrigin(centity_t *ent, int32_t slot, const entityState_t *a, const entityState_t *b, float f) {
    vec3_t last;
    _VectorCopy(last, ent->s.origin);
    _VectorCopy(ent->lastOrigin, last);
    ent->s = *b;
    VectorLerp(ent->s.origin, a->origin, b->origin, f);

    const float error = VectorIsZero(last) ? 0.0f : PointDistance(last, ent->s.origin);
    ent->previousLerpError = ent->lerpError;
    ent->lerpError = error;
    const float printAbove = CG_VarValue("cg_printLerpError", 0);
    if (printAbove != 0 && error > printAbove)
        Com_Printf("entity: \xA4" "08%d\xA4" "00 error: \xA4" "08%.4f\xA4" "00", static_cast<int>(slot),
                   static_cast<double>(error));
    if (error - ent->previousLerpError > CG_LERP_ERROR_JUMP && !ent->smoothed) {
        vec3_t back;
        _VectorSub(back, last, ent->s.origin);
        _VectorAddMultiple(ent->s.origin, ent->s.origin, back, 0.5f);
        ent->smoothed = 1;
    } else {
        ent->smoothed = 0;
    }
}

// Whether the numbers the drawers and think functions look tables up with are in
// their tables' ranges: the weapon, the team (an item's kind for items) and a
// player's animations.
static bool NumbersInRange(const entityState_t &s) {
    if (s.weapon < 0 || s.weapon >= WEAPON_COUNT) return false;
    const int32_t teams = s.type == ET_ITEM ? ITEM_KIND_COUNT : CG_TEAMS;
    if (s.team < 0 || s.team >= teams) return false;
    if (s.type == ET_PLAYER && (s.anim1 >= CG_PLAYER_LEG_ANIMS || s.anim2 >= CG_PLAYER_ARM_ANIMS)) return false;
    return true;
}

// Checks what the server sent before any table is indexed with it, and derives
// the kind's media and the drawing axis.
static void FinishEntity(centity_t *ent, int32_t slot) {
    if (ent->s.type < 0 || ent->s.type >= ET_COUNT) {
        Com_Error(ER_DEVWARNING, "CG_InterpolateEntityState: Bad entity type from server");
        ent->s.inUse = 0;
    }
    if (!ent->s.inUse) return;
    if (!NumbersInRange(ent->s)) {
        Com_Error(ER_DEVWARNING, "CG_InterpolateEntityState: Bad entity %d (type: %d) numbers",
                  static_cast<int>(slot), static_cast<int>(ent->s.type));
        ent->s.inUse = 0;
        return;
    }
    ent->media = &g_entityMedia[ent->s.type];
    memcpy(ent->axes.ellipticAxis, ent->s.ellipticAxis, sizeof ent->axes.ellipticAxis);
    G_SetupEntityAxis(&ent->axes, ent->s.angles);
    // Written so that a position that is not a number is refused too.
    if (!(_DotProduct(ent->s.origin, ent->s.origin) <= CG_MAX_ENTITY_DISTANCE2)) {
        Com_Error(ER_DEVWARNING, "CG_InterpolateEntityState: Bad entity %d (type: %d) pos", static_cast<int>(slot),
                  static_cast<int>(ent->s.type));
        ent->s.inUse = 0;
    }
}

void CG_InterpolateEntityState(centity_t *ent, int32_t slot) {
    const snapshot_t *older = cg.older, *newer = cg.newer;
    if (!older || !newer || slot < 0 || slot >= SNAPSHOT_MAX_ENTITIES) return;
    const entityState_t *a = &older->entities[slot], *b = &newer->entities[slot];
    if (!a->inUse || !b->inUse || a->serial != b->serial) {
        ent->s.inUse = 0;
        return;
    }
    if (a->serial != ent->s.serial) {
        // Another entity took the slot: nothing of the former one carries over, and
        // the events of an entity first seen old are history, not news.
        memset(ent, 0, sizeof *ent);
        ent->eventsIssued = CG_Since(older->serverTime, a->spawnTime) >= CG_YOUNG_ENTITY_MS
                                ? static_cast<int32_t>(a->eventCount)
                                : 0;
    }
    if (CG_Since(newer->number, ent->newestSnapshot) > 0) {
        ent->newestSnapshot = newer->number;
        ent->previousMoved = ent->moved;
        ent->moved = PointDistance(a->origin, b->origin);
    }
    const float f = Snapshot_Fraction(older, newer, cg.simTime);
    if (!CG_VarInteger("cg_interpolate", 1)) {
        _VectorCopy(ent->lastOrigin, ent->s.origin);
        ent->s = f >= 0.5f ? *b : *a;
    } else if (_Abs(ent->moved - ent->previousMoved) > CG_SHARP_SPEED_CHANGE) {
        // A bounce or a sudden stop: the pair's straight line is not where it went.
        _VectorCopy(ent->lastOrigin, ent->s.origin);
        ent->s = *b;
    } else {
        LerpOrigin(ent, slot, a, b, f);
        LerpFields(&ent->s, a, b, f);
    }
    FinishEntity(ent, slot);
}

void CG_ClearEntities() {
    for (centity_t &e : cg.entities) {
        e.s.inUse = 0;
        e.s.serial = 0;
    }
}

// ---- events ----

// What an event entity's impact looks like, by its type from ET_FIRST_EVENT on.
struct impact_t {
    const char *script;  // null: none
    int32_t bulletMark;  // weapon whose bullet mark is left, -1 none
    uint8_t flower;      // an impact flower opens
    uint8_t grenadeFlash;
    uint8_t stain;       // 1 blood, 2 slime
};
constexpr impact_t IMPACTS[ET_LAST_EVENT - ET_FIRST_EVENT + 1] = {
    {"game/c_actions/impact/meel_dirt.action", -1, 0, 0, 0},
    {"game/c_actions/impact/meel_flesh.action", -1, 0, 0, 0},
    {"game/c_actions/impact/meel_metal.action", -1, 0, 0, 0},
    {"game/c_actions/impact/meel_slime.action", -1, 0, 0, 0},
    {"game/c_actions/impact/mini_dirt.action", WP_MINIGUN, 0, 0, 0},
    {"game/c_actions/impact/mini_flesh.action", -1, 0, 0, 0},
    {"game/c_actions/impact/mini_metal.action", -1, 0, 0, 0},
    {"game/c_actions/impact/mini_slime.action", -1, 0, 0, 0},
    {"game/c_actions/impact/shot_dirt.action", WP_SHOTGUN, 0, 0, 0},
    {"game/c_actions/impact/shot_flesh.action", -1, 0, 0, 0},
    {"game/c_actions/impact/shot_metal.action", -1, 0, 0, 0},
    {"game/c_actions/impact/shot_slime.action", -1, 0, 0, 0},
    {nullptr, -1, 0, 0, 0},
    {nullptr, -1, 0, 0, 0},
    {nullptr, -1, 0, 0, 0},
    {nullptr, -1, 0, 0, 0},
    {"game/c_actions/impact/rail_dirt.action", WP_RAILGUN, 1, 0, 0},
    {"game/c_actions/impact/rail_flesh.action", -1, 0, 0, 0},
    {"game/c_actions/impact/rail_metal.action", -1, 0, 0, 0},
    {"game/c_actions/impact/rail_slime.action", -1, 0, 0, 0},
    {"game/c_actions/impact/gren_air.action", -1, 0, 1, 0},
    {"game/c_actions/impact/gren_dirt.action", WP_GRENGUN, 0, 1, 0},
    {"game/c_actions/impact/gren_metal.action", -1, 0, 1, 0},
    {"game/c_actions/impact/gren_flesh.action", -1, 0, 1, 0},
    {"game/c_actions/impact/gren_slime.action", -1, 0, 1, 0},
    {nullptr, -1, 0, 0, 1},
    {nullptr, -1, 0, 0, 2},
    {"game/c_actions/gib_explosion_small.action", -1, 0, 0, 0},
    {"game/c_actions/gib_explosion_large.action", -1, 0, 0, 0},
    {"game/c_actions/dirt_add.action", -1, 0, 0, 0},
    {"game/c_actions/dirt_sub.action", -1, 0, 0, 0},
};

static void PresentImpact(const centity_t *ent, const float axis[9]) {
    if (ent->s.type < ET_FIRST_EVENT || ent->s.type > ET_LAST_EVENT) return;
    const impact_t &impact = IMPACTS[ent->s.type - ET_FIRST_EVENT];
    const float *origin = ent->s.origin, *dir = ent->s.dir;
    if (impact.script) CG_RunActionScript(impact.script, origin, axis, 0, 0);
    if (impact.bulletMark >= 0) CG_BulletMark(impact.bulletMark, origin, dir);
    if (impact.flower) CG_CreateImpactFlower(0, origin, dir);
    if (impact.grenadeFlash) CG_CreateGrenadeFlash(origin, dir);
    if (impact.stain == 1) CG_BloodStain(origin, dir);
    if (impact.stain == 2) CG_SlimeStain(origin, dir);
}

// The third-person versions of the player's events (the own ones come as client events).
constexpr const char *ENTITY_EVENT_SCRIPTS[CG_LAST_ENTITY_EVENT + 1] = {
    nullptr,
    "game/c_actions/player_spawn.action",
    "game/c_actions/change_weapon.action",
    "game/c_actions/fire/meel.action",
    "game/c_actions/fire/mini.action",
    "game/c_actions/fire/shot.action",
    "game/c_actions/fire/gren.action",
    "game/c_actions/fire/rail.action",
    "game/c_actions/fire/dirt.action",
    "game/c_actions/fire/meel_noammo.action",
    "game/c_actions/fire/mini_noammo.action",
    "game/c_actions/fire/shot_noammo.action",
    "game/c_actions/fire/gren_noammo.action",
    "game/c_actions/fire/rail_noammo.action",
    "game/c_actions/fire/dirt_noammo.action",
    "game/c_actions/fire/rail_build_up.action",
    "game/c_actions/reload/mini.action",
    "game/c_actions/reload/shot.action",
    "game/c_actions/reload/gren.action",
    "game/c_actions/reload/rail.action",
    "game/c_actions/reload/dirt.action",
    "game/c_actions/pain.action",
    "game/c_actions/jump.action",
    "game/c_actions/land.action",
    "game/c_actions/crash_land.action",
    "game/c_actions/footstep.action",
};
constexpr int32_t CG_EVENT_CHANGE_WEAPON = 2;
constexpr int32_t CG_EVENT_FIRE_FIRST = 3;  // 3-8: weapons 0-5 fired
constexpr int32_t CG_EVENT_FIRE_LAST = 8;

static void PresentEntityEvent(centity_t *ent, uint8_t event) {
    if (event == CG_EVENT_PLAYER_SPAWN) ent->spawnEffectTime = static_cast<int32_t>(qgame.time);
    if (!CG_VarInteger("cg_thirdPerson", 0) && ent->s.serial == cg.predicted.entitySerial) return;
    if (event == 0 || event > CG_LAST_ENTITY_EVENT) return;
    CG_RunActionScript(ENTITY_EVENT_SCRIPTS[event], ent->s.origin, ent->axes.viewAxisT, 0, 0);
    if (event == CG_EVENT_CHANGE_WEAPON) {
        ent->lastFireWeapon = 0;
        ent->lastFireFrame = 0;
    } else if (event >= CG_EVENT_FIRE_FIRST && event <= CG_EVENT_FIRE_LAST) {
        ent->lastFireWeapon = event - CG_EVENT_FIRE_FIRST;
        ent->lastFireFrame = qgame.frameCount;
        ent->lastFireTime = static_cast<int32_t>(qgame.time);
        ent->lastFireRoll = Trap_crand() * 15.0f;
    }
}

void CG_RunEntityEvents(centity_t *ent) {
    float axis[9];
    G_CreateAxisForNormal(axis, ent->s.dir);
    if (!ent->played) {
        ent->played = 1;
        PresentImpact(ent, axis);
    }
    // The counter is the server's and runs on past the sign bit: counted unsigned,
    // so that neither the catching up nor the step ever overflows.
    const uint32_t count = ent->s.eventCount, ring = ENTITY_EVENT_RING;
    if (CG_Since(static_cast<int32_t>(count), ent->eventsIssued) > ENTITY_EVENT_RING) {
        Com_DPrintf("CG_RunEntityEvents: Mucking event index");
        ent->eventsIssued = static_cast<int32_t>(count > ring ? count - ring : 0);
    }
    while (CG_Since(static_cast<int32_t>(count), ent->eventsIssued) > 0) {
        const uint32_t index = static_cast<uint32_t>(ent->eventsIssued);
        PresentEntityEvent(ent, ent->s.events[index & (ENTITY_EVENT_RING - 1)]);
        ent->eventsIssued = static_cast<int32_t>(index + 1);
    }
}

// ---- hand-over to the drawers ----

constexpr float CG_FLASH_GROW = 0.3f;   // life fraction over which a grenade flash's light grows
constexpr float CG_FLASH_FADE = 0.7f;   // life fraction from which it fades
constexpr float CG_FLASH_RADIUS = 4.0f;
constexpr float CG_FLASH_MIN_LIFE = 0.01f;

// The light of a grenade flash: it grows, holds and fades over the flash's life.
static void AddGrenadeFlashLight(const centity_t *ent) {
    const float t = ent->lifeFraction;
    if (!(t >= CG_FLASH_MIN_LIFE)) return;
    const float radius = t <= CG_FLASH_GROW ? CG_FLASH_RADIUS * t / CG_FLASH_GROW : CG_FLASH_RADIUS;
    const float intensity = t < CG_FLASH_FADE ? 1.0f : (1 - t) / (1 - CG_FLASH_FADE);
    vec3_t origin;
    _VectorCopy(origin, ent->s.origin);
    auto *light = static_cast<cgLight_t *>(Trap_R_AllocLight(CG_LIGHT_POINT, origin, static_cast<int32_t>(radius)));
    if (!light) return;
    light->kind = CG_LIGHT_POINT;
    light->flag = 1;
    _VectorCopy(light->origin, origin);
    light->range = radius;
    light->color[0] = light->color[1] = 1;
    light->color[2] = 0;
    light->color[3] = 1;
    light->intensity[0] = light->intensity[1] = intensity;
    CG_AddLight(light);
}

// Another player's flashlight, just ahead of its gun.
static void AddPlayerFlash(const centity_t *ent) {
    float axis[9];
    memcpy(axis, ent->weaponTagAxis, sizeof axis);
    MatrixInverse3x3(axis);
    vec3_t origin;
    _VectorAddMultiple(origin, ent->s.origin, axis + 3, 1.3f);
    _VectorAddMultiple(origin, origin, axis + 6, 0.3f);
    auto *light = static_cast<cgLight_t *>(Trap_R_AllocLight(CG_LIGHT_FLASH, origin, 10));
    if (!light) return;
    CG_SetupPlayerFlash(light, origin, axis, 1);
    CG_AddLight(light);
}

// A static model from the kind's list, turned about its spin axis.
static void DrawStaticEntity(const centity_t *ent) {
    const entityMedia_t *media = ent->media;
    // The index comes from the entity's own state: never trust it to fit the list.
    if (ent->modelIndex < 0 || ent->modelIndex >= media->numModels || ent->modelIndex >= ENTITY_MEDIA_MODELS) return;
    float axis[9];
    memcpy(axis, CG_EntityAxis(ent), sizeof axis);
    if (ent->spinAngle != 0)
        for (int row = 0; row < 3; row++) {
            vec3_t turned;
            RotatePointAroundVector(turned, ent->spinAxis, axis + 3 * row, ent->spinAngle);
            _VectorCopy(axis + 3 * row, turned);
        }
    CG_DrawStaticModel(media->models[ent->modelIndex], ent->s.origin, axis, 0, 0);
}

void CG_AddEntityToScene(centity_t *ent, uint8_t ownFirstPerson) {
    if (!ent->media) return;
    const int32_t type = ent->media->drawingType;
    switch (type) {
        case DT_NONE:
        case DT_LIGHT: break;
        case DT_ITEM: CG_DrawItemModel(ent); break;
        case DT_GENERIC: CG_DrawGenericModel(ent); break;
        case CG_DRAWING_TYPE_WITHOUT_DRAWER: Com_Error(ER_FATAL, "%s", ""); return;
        case DT_PLAYER: CG_DrawPlayer(ent, ownFirstPerson); break;
        case DT_TRAIL: CG_DrawBulletTrail(ent); break;
        case DT_METEOR: CG_DrawMeteor(ent); break;
        case DT_FLAG: CG_DrawFlag(ent); break;
        case DT_CRYSTAL: CG_DrawCrystal(ent); break;
        case DT_SMOOTH_TRAIL: CG_DrawSmoothTrail(ent); break;
        case DT_FLOWER: CG_DrawFlower(ent); break;
        case DT_STATIC: DrawStaticEntity(ent); break;
        case DT_DRONE: CG_DrawDrone(ent); break;
        default:
            Com_Error(ER_DROP, "CG_AddEntitiesToScene: Unknown drawing type %d", static_cast<int>(type));
            return;
    }
    if (ent->s.type == ET_GRENADE_FLASH) AddGrenadeFlashLight(ent);
    if (ent->s.type == ET_PLAYER && !ownFirstPerson && !CG_VarInteger("cg_skipThirdPersonFlash", 1)) AddPlayerFlash(ent);
}

void CG_AddEntitiesToScene() {
    for (centity_t &e : cg.entities) {
        if (!e.s.inUse) continue;
        const bool own = e.s.type == ET_PLAYER && e.s.serial == cg.predicted.entitySerial;
        if (own && CG_VarInteger("cg_skipSelf", 0)) continue;
        CG_AddEntityToScene(&e, own && !CG_VarInteger("cg_thirdPerson", 0) ? 1 : 0);
    }
    for (centity_t &e : cg.cEntities)
        if (e.s.inUse) CG_AddEntityToScene(&e, 0);
}
