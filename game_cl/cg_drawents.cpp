// The drawers of entities.
#include "game_cl/cg_drawents.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/common.h"
#include "game/g_entity.h"
#include "game/g_main.h"
#include "game/g_surface.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game/g_weapon.h"
#include "game_cl/cg_actions.h"
#include "game_cl/cg_channels.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_ents.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_services.h"
#include "game_cl/cg_utils.h"
#include "game_cl/cg_weapon_view.h"

namespace {

constexpr int FRAME_VERTEXES = 16384;     // layout-25 vertexes all procedural drawers of one frame share
constexpr int FRAME_DECAL_BYTES = 1 << 19;  // clipped drop-shadow vertexes and indexes of one frame
constexpr int DECAL_VERTEX_BYTES = 60;    // one clipped-decal vertex (layout 31)
constexpr int COLUMNS = 17;               // of a cylinder and a beacon
constexpr float COLUMN_DEGREES = 22.5f;
constexpr float COLUMN_S = 0.0625f;
constexpr uint32_t SURFACE_VIEW_FACING = 64;   // bullet trails, flowers
constexpr uint32_t SURFACE_METEOR = 96;
constexpr int32_t CRYSTAL_RULES = 3;      // Capture the Crystal
constexpr int32_t ROUNDS_RULES = 1;       // Crystal Rounds
constexpr uint32_t CARRIES_CRYSTAL = 2;   // entity flag
constexpr int32_t SPAWN_CYLINDER_MS = 1200;

drawVert_t frameVerts[FRAME_VERTEXES];
int32_t frameVertsUsed;
alignas(16) uint8_t frameDecals[FRAME_DECAL_BYTES];
int32_t frameDecalsUsed;
uint32_t poolFrame = ~0u;

}  // namespace

void CG_ClearFramePools() {
    poolFrame = ~0u;
    frameVertsUsed = frameDecalsUsed = 0;
}

namespace {

void NewFrame() {
    if (poolFrame == qgame.frameCount) return;
    poolFrame = qgame.frameCount;
    frameVertsUsed = 0;
    frameDecalsUsed = 0;
}

// n vertexes of this frame's pool, cleared; null when the frame has used it up.
drawVert_t *FrameVerts(int32_t n) {
    NewFrame();
    if (n > FRAME_VERTEXES - frameVertsUsed) return nullptr;
    drawVert_t *v = frameVerts + frameVertsUsed;
    frameVertsUsed += n;
    memset(v, 0, sizeof *v * static_cast<size_t>(n));
    return v;
}

void SetVert(drawVert_t *v, const vec3_t xyz, float s, float t, const uint8_t rgba[4]) {
    _VectorCopy(v->xyz, xyz);
    v->unused = 0;
    v->st[0] = s;
    v->st[1] = t;
    memcpy(v->rgba, rgba, 4);
}

void AddSurface(const char *name, const drawVert_t *verts, int32_t numVerts, const int32_t *indexes,
                int32_t numIndexes, int32_t material, uint32_t flags, float effect) {
    AddLayoutSurface(SURFACE_LAYOUT_COLOR, name, verts, numVerts, indexes, numIndexes, material, flags, effect);
}

float ViewDistance(const vec3_t point) { return PointDistance(point, cg.view.origin); }

// Across a segment from a to b as the view sees it.
void ViewSide(vec3_t side, const vec3_t a, const vec3_t b) {
    vec3_t da, db;
    _VectorSub(da, a, cg.view.origin);
    _VectorSub(db, b, cg.view.origin);
    VectorNormalize(da);
    VectorNormalize(db);
    _CrossProduct(side, da, db);
    VectorNormalize(side);
}

uint8_t AlphaByte(float alpha) {
    const float a = 255.0f * alpha;
    return static_cast<uint8_t>(!(a > 0) ? 0 : (a > 255 ? 255 : a));
}

bool BoundsVisible(const vec3_t mins, const vec3_t maxs, const float axis[9], const vec3_t origin) {
    return Trap_WO_CheckBoundsPVS(cg.view.pvs, mins, maxs, axis, origin) != 0;
}

bool PointVisible(const vec3_t point, float radius) {
    return Trap_WO_CheckPointPVS(cg.view.pvs, point, radius) != 0;
}



// Constant index lists.
struct indexTables_t {
    int32_t cylinder[96];
    int32_t beacon[192];
    int32_t trail[6 * (CG_TRAIL_POINTS - 1)];
};
constexpr indexTables_t MakeIndexTables() {
    indexTables_t t{};
    for (int i = 0; i < COLUMNS - 1; i++) {
        const int32_t c[6] = {2 * i, 2 * i + 1, 2 * i + 2, 2 * i + 2, 2 * i + 1, 2 * i + 3};
        for (int k = 0; k < 6; k++) t.cylinder[6 * i + k] = c[k];
        const int32_t b[12] = {3 * i,     3 * i + 1, 3 * i + 4, 3 * i,     3 * i + 4, 3 * i + 3,
                               3 * i + 1, 3 * i + 2, 3 * i + 5, 3 * i + 1, 3 * i + 5, 3 * i + 4};
        for (int k = 0; k < 12; k++) t.beacon[12 * i + k] = b[k];
    }
    for (int i = 0; i < CG_TRAIL_POINTS - 1; i++) {
        const int32_t s[6] = {2 * i, 2 * i + 2, 2 * i + 1, 2 * i + 1, 2 * i + 2, 2 * i + 3};
        for (int k = 0; k < 6; k++) t.trail[6 * i + k] = s[k];
    }
    return t;
}
constexpr indexTables_t INDEXES = MakeIndexTables();
constexpr int32_t QUAD_FACING[6] = {0, 2, 1, 0, 3, 2};
constexpr int32_t QUAD_ROUND[6] = {0, 1, 2, 0, 2, 3};
constexpr int32_t FLOWER_INDEXES[12] = {0, 4, 1, 0, 3, 4, 3, 2, 4, 4, 2, 1};
constexpr uint8_t WHITE[4] = {255, 255, 255, 255};

}  // namespace

const float *CG_EntityAxis(const centity_t *ent) {
    return ent->s.type >= ET_FIRST_EFFECT ? ent->axis : ent->axes.viewAxisT;
}

// ---- models ----

void CG_SetupModelInstance(surfaceEntity_t *instance, const char *name, const model_t *model, const vec3_t origin,
                           const float axis[9], uint32_t flags, int32_t overrideMaterial) {
    static_assert(CG_MODEL_MATERIALS <= MODEL_MATERIALS_MAX, "the instance reads every material slot of the model");
    memset(instance, 0, sizeof *instance);
    instance->name = name;
    instance->flags = flags;
    _VectorCopy(instance->origin, origin);
    memcpy(instance->axis, axis, sizeof instance->axis);
    instance->lod = CG_GetLOD(model, PointDistance(origin, cg.view.origin));
    for (int i = 0; i < CG_MODEL_MATERIALS; i++)
        instance->materials[i] = overrideMaterial ? overrideMaterial : model->materials[i];
}

bool CG_PoseModel(surfaceEntity_t *instance, const model_t *model, channel_t *channels, int32_t numChannels) {
    cg.numLastBones = 0;
    if (!CG_CheckAnimBones(model)) return false;
    const int32_t count = model->numBones;
    matrix3x4_t *bones = count > 0 ? static_cast<matrix3x4_t *>(Trap_R_AllocBones(count)) : nullptr;
    if (count > 0 && !bones) return false;
    matrix3x4_t locals[CG_ANIM_BONES_MAX];
    CG_ClearBoneStates(count, locals);
    // A channel bound to another model would sample that model's bone count.
    for (int32_t i = 0; channels && i < numChannels; i++)
        if (channels[i].model == model) CG_ExtractChannel(locals, &channels[i]);
    // Bones the root does not reach (a second root) stay at rest rather than keep
    // the pose of whatever model was drawn before.
    CG_ClearBoneStates(count, cg.lastBones);
    CG_LocalsToAbsolutes_r(cg.lastBones, locals, model->rootBone, model);
    for (int32_t b = 0; b < count; b++) MatrixCopy3x4(bones[b], cg.lastBones[b]);
    cg.numLastBones = count;
    instance->numBones = count;
    instance->bones = bones;
    return true;
}

void CG_DrawStaticModel(int32_t model, const vec3_t origin, const float axis[9], uint8_t ownBody, uint8_t detail) {
    if (cg_skipModels.integer || !model) return;
    const model_t *m = CG_GetModel(model);
    surfaceEntity_t instance;
    CG_SetupModelInstance(&instance, "CG_DrawStaticModel", m, origin, axis,
                          (ownBody ? CG_INSTANCE_OWN_BODY : 0) | (detail ? CG_INSTANCE_DETAIL : 0), 0);
    Trap_R_AddSurfaceEntity(&instance);
}

void CG_DrawAnimModel(int32_t model, const vec3_t origin, const float axis[9], channel_t *channels,
                      int32_t overrideMaterial, uint8_t ownBody) {
    if (cg_skipModels.integer) {
        cg.numLastBones = 0;  // the caller's tags must not take another model's bones
        return;
    }
    const model_t *m = CG_GetModel(model);
    surfaceEntity_t instance;
    CG_SetupModelInstance(&instance, "CG_DrawAnimModel", m, origin, axis, ownBody ? CG_INSTANCE_OWN_BODY : 0,
                          overrideMaterial);
    if (!CG_PoseModel(&instance, m, channels, CG_ENTITY_CHANNELS)) return;
    Trap_R_AddSurfaceEntity(&instance);
}

namespace {

// An animated model whose attachments are placed by its tags next: false when it
// was not posed (skipped, refused, or no bone memory left), so that its last bones
// must not be read.
bool DrawPosedModel(int32_t qmod, const vec3_t origin, const float axis[9], channel_t *channels,
                    int32_t overrideMaterial, uint8_t ownBody) {
    CG_DrawAnimModel(qmod, origin, axis, channels, overrideMaterial, ownBody);
    return cg.numLastBones == CG_GetModel(qmod)->numBones;
}

// The flag model of a team from a kind's two team slots; 0 (nothing drawn) for a
// team number that names neither.
int32_t TeamModel(const entityMedia_t *media, int32_t team) {
    if (team < 0 || team >= CG_TEAMS || team >= media->numModels) return 0;
    return media->models[team];
}

// The item kind's slot in the item media: the slots are registered armour first.
constexpr int32_t ITEM_MEDIA_SLOT[ITEM_KIND_COUNT] = {1, 0, 2, 3, 4, 5, 6, 7};
constexpr int32_t ITEM_KIND_WEAPON_OFFSET = 2;  // ammunition kinds 3-7 belong to weapons 1-5
constexpr float ITEM_BOB = 0.125f;
constexpr float ITEM_BOB_RATE = 2.5f;            // radians per second
constexpr float ITEM_SPIN = 70.0f;               // degrees per second
constexpr int32_t DRONE_ENGINE_MS = 100;
constexpr float DRONE_LIGHT_RANGE = 10.0f;
constexpr float DRONE_LIGHT_INTENSITY = 3.0f;
constexpr float DRONE_LIGHT_FOV = 60.0f;
constexpr uint32_t MUZZLE_FRAMES = 7;            // frames after a shot that others see its flash
constexpr float HOLDER_EYE_HEIGHT = 1.3f;        // of a player seen from outside

}  // namespace

// The phases are taken in double: a float holds the game time's seconds only to a
// quarter second once it has run for weeks, and the items would move in jumps.
void CG_ItemMotion(uint32_t time, float *bob, float *spin) {
    const double t = static_cast<double>(time) / 1000.0;
    *bob = ITEM_BOB * static_cast<float>(std::sin(std::fmod(ITEM_BOB_RATE * t, 2.0 * M_PI)));
    *spin = static_cast<float>(std::fmod(ITEM_SPIN * t, 360.0));
    if (*spin >= 360.0f) *spin = 0.0f;  // a phase just short of a turn rounds up to it
}

void CG_DrawItemModel(centity_t *ent) {
    const int32_t kind = ent->s.team;  // the item kind travels in the team word
    if (kind < 0 || kind >= ITEM_KIND_COUNT) return;
    const entityMedia_t *media = ent->media;
    const int32_t slot = ITEM_MEDIA_SLOT[kind];
    if (slot >= media->numModels) return;
    float bob = 0, spin = 0;
    if (!cg_skipItemSpin.integer) CG_ItemMotion(qgame.time, &bob, &spin);
    vec3_t origin;
    _VectorAddMultiple(origin, ent->s.origin, CG_EntityAxis(ent) + 3, bob);
    const vec3_t angles = {ent->s.angles[0], ent->s.angles[1], ent->s.angles[2] + spin};
    G_SetupEntityAxis(&ent->axes, angles);
    const float *axis = ent->axes.viewAxisT;
    CG_DrawStaticModel(media->models[slot], origin, axis, 0, 0);
    if (kind < IT_AMMO_MINIGUN) return;
    const weaponMedia_t *weapon = CG_WeaponMedia(kind - ITEM_KIND_WEAPON_OFFSET);
    const float cutOff = cg_itemModelCutOff.value;
    if (weapon && (cutOff < 1 || ViewDistance(origin) <= cutOff))
        CG_DrawStaticModel(weapon->miniModel, origin, axis, 0, 1);
}

void CG_DrawGenericModel(centity_t *ent) {
    const entityMedia_t *media = ent->media;
    if (CG_GetModel(media->model)->dummy) {
        char kind[16];
        snprintf(kind, sizeof kind, "%d", static_cast<int>(ent->s.type));
        Com_Error(ER_DEVWARNING, "CG_DrawGenericModel: Drawing dummy model from \"%s\"", kind);
        return;
    }
    const float *frame = &ent->s.ellipticAxis[0][0];
    vec3_t origin;
    _VectorCopy(origin, ent->s.origin);
    for (int row = 0; row < 3; row++) _VectorAddMultiple(origin, origin, frame + 3 * row, media->offset[row]);
    float axis[9];
    memcpy(axis, media->secondAxis ? ent->axes.levelAxisT : CG_EntityAxis(ent), sizeof axis);
    if (ent->spinAngle != 0)
        for (int row = 0; row < 3; row++) {
            vec3_t turned;
            RotatePointAroundVector(turned, ent->spinAxis, axis + 3 * row, ent->spinAngle);
            _VectorCopy(axis + 3 * row, turned);
        }
    CG_DrawStaticModel(media->model, origin, axis, 0, 0);
}

void CG_DrawFlag(centity_t *ent) {
    const entityMedia_t *media = ent->media;
    const model_t *pole = CG_GetModel(media->model);
    const float *axis = CG_EntityAxis(ent);
    tagState_t tags[BO2_TAGS_MAX];
    const int32_t numTags = CG_SetupTagStates(tags, 0, nullptr, pole, axis, ent->s.origin);
    const tagState_t *flag = CG_GetTagState(numTags, tags, "TAG_flag");
    if (!flag) return;
    CG_DrawStaticModel(media->model, ent->s.origin, axis, 0, 0);
    CG_DrawStaticModel(TeamModel(media, ent->s.team), flag->origin, flag->axis, 0, 0);
}

void CG_DrawDrone(centity_t *ent) {
    const entityMedia_t *media = ent->media;
    const model_t *body = CG_GetModel(media->model);
    const float *axis = CG_EntityAxis(ent);
    // The drone is drawn in its rest pose.
    for (channel_t &ch : ent->channels) CG_ClearChannel(&ch);
    if (!DrawPosedModel(media->model, ent->s.origin, axis, ent->channels, 0, 0)) return;
    tagState_t tags[BO2_TAGS_MAX];
    const int32_t numTags = CG_SetupTagStates(tags, cg.numLastBones, cg.lastBones, body, axis, ent->s.origin);
    const tagState_t *flag = CG_GetTagState(numTags, tags, "TAG_flag");
    if (!flag) {
        Com_Error(ER_DEVWARNING, "CG_DrawDrone: Found not TAG_flag in \"%s\"", body->path);
        return;
    }
    CG_DrawStaticModel(TeamModel(media, ent->s.team), flag->origin, flag->axis, 0, 0);
    if (G_TimeAge(static_cast<uint32_t>(ent->lastThinkTime)) >= DRONE_ENGINE_MS) {
        ent->lastThinkTime = static_cast<int32_t>(qgame.time);
        const tagState_t *right = CG_GetTagState(numTags, tags, "TAG_engine_r");
        const tagState_t *left = CG_GetTagState(numTags, tags, "TAG_engine_l");
        if (!right || !left) {
            Com_Error(ER_DEVWARNING, "CG_DrawDrone: Found not engine tags in \"%s\"", body->path);
            return;
        }
        CG_RunActionScript("game/c_actions/drone_engine.action", right->origin, right->axis, 0, 0);
        CG_RunActionScript("game/c_actions/drone_engine.action", left->origin, left->axis, 0, 0);
    }
    if (cg_skipDroneLight.integer) return;
    const tagState_t *spot = CG_GetTagState(numTags, tags, "TAG_light");
    if (!spot) {
        Com_Error(ER_DEVWARNING, "CG_DrawDrone: Found not light tags in \"%s\"", body->path);
        return;
    }
    vec3_t at;
    _VectorCopy(at, spot->origin);
    auto *light = static_cast<cgLight_t *>(Trap_R_AllocLight(CG_LIGHT_FLASH, at, static_cast<int32_t>(DRONE_LIGHT_RANGE)));
    if (!light) return;
    memset(light, 0, sizeof *light);
    light->kind = CG_LIGHT_FLASH;
    light->flag = 1;
    _VectorCopy(light->origin, at);
    // Pointing toward the world centre.
    float *forward = light->axis + 6;
    _VectorScale(forward, -1.0f, spot->origin);
    VectorNormalize(forward);
    PerpendicularVector(light->axis, forward);
    _CrossProduct(light->axis + 3, forward, light->axis);
    light->fov = DRONE_LIGHT_FOV;
    light->range = DRONE_LIGHT_RANGE;
    light->color[0] = light->color[1] = light->color[2] = light->color[3] = 1;
    light->intensity[0] = light->intensity[1] = DRONE_LIGHT_INTENSITY;
    light->projected = 1;
    light->texture = cgMedia.handles[ent->s.team == 1 ? CGM_DRONE_SPOT_RED : CGM_DRONE_SPOT_BLUE];
    CG_AddLight(light);
}

void CG_DrawPlayerModel(centity_t *ent, uint8_t self) {
    const int32_t body = CG_GetPlayerQModel(ent->s.team);  // 0 for a team that names no body
    const model_t *bodyModel = CG_GetModel(body);
    if (bodyModel->dummy) {
        Com_Error(ER_DEVWARNING, "CG_DrawPlayerModel: Drawing dummy model");
        return;
    }
    const weaponMedia_t *weapon = CG_WeaponMedia(ent->s.weapon);  // null for a number that names none
    const vec3_t turn = {0, 0, ent->s.angles[2] + 180.0f};
    float axis[9];
    G_EllipticAxis2Axis(axis, &ent->s.ellipticAxis[0][0], turn, 1);
    const float *origin = ent->s.origin;
    if (!DrawPosedModel(body, origin, axis, ent->channels, 0, self)) return;
    if (ent->s.berserk > 0 && !DrawPosedModel(body, origin, axis, ent->channels, cgMedia.handles[CGM_BERSERK_SUIT], self))
        return;
    if (!weapon || !weapon->model) return;
    tagState_t bodyTags[BO2_TAGS_MAX];
    const int32_t numBodyTags = CG_SetupTagStates(bodyTags, cg.numLastBones, cg.lastBones, bodyModel, axis, origin);
    const tagState_t *hand = CG_GetTagState(numBodyTags, bodyTags, "TAG_hand_r");
    if (!hand) {
        Com_Error(ER_DEVWARNING, "CG_DrawPlayerModel: Found not TAG_hand_r in \"%s\"", bodyModel->path);
        return;
    }
    memcpy(ent->weaponTagAxis, hand->axis, sizeof ent->weaponTagAxis);
    const model_t *gun = CG_GetModel(weapon->model);
    if (gun->dummy) {
        Com_Error(ER_DEVWARNING, "CG_DrawPlayerModel: Drawing dummy gun model");
        return;
    }
    CG_DrawStaticModel(weapon->model, hand->origin, hand->axis, self, 0);
    // The gun is drawn unposed: its tags are its own, placed at the hand.
    tagState_t gunTags[BO2_TAGS_MAX];
    const int32_t numGunTags = CG_SetupTagStates(gunTags, 0, nullptr, gun, hand->axis, hand->origin);
    const weaponClass_t *wc = G_WeaponClass(ent->s.weapon);
    const bool own = ent->s.serial == cg.predicted.entitySerial;
    if (wc && wc->drawMuzzleFlash && !own && ent->lastFireFrame &&
        qgame.frameCount - ent->lastFireFrame < MUZZLE_FRAMES)
        wc->drawMuzzleFlash(weapon->model, gunTags, numGunTags, ent->lastFireTime, ent->lastFireRoll, 0);
    if (wc && wc->drawFrame && !(own && !cg_thirdPerson.integer)) {
        weaponFrame_t frame{};
        frame.model = weapon->model;
        frame.tags = gunTags;
        frame.numTags = numGunTags;
        frame.origin = origin;
        frame.eyeHeight = HOLDER_EYE_HEIGHT;
        frame.viewAxes = ent->axes.viewAxisT;
        frame.hologramAxes = ent->axes.levelAxisT;
        frame.mode = ent->s.packed >> 8 & 0xFF;
        frame.size = ent->s.packed & 0xFF;
        frame.lastShotFrame = ent->lastFireFrame;
        wc->drawFrame(&frame);
    }
    if (!weapon->ammoModel) return;
    const tagState_t *ammo = CG_GetTagState(numGunTags, gunTags, "TAG_ammo");
    if (!ammo) {
        Com_Error(ER_DEVWARNING, "CG_DrawPlayerModel: Found not TAG_ammo in \"%s\"", gun->path);
        return;
    }
    if (CG_GetModel(weapon->ammoModel)->dummy) {
        Com_Error(ER_DEVWARNING, "CG_DrawPlayerModel: Drawing dummy ammo model");
        return;
    }
    CG_DrawStaticModel(weapon->ammoModel, ammo->origin, ammo->axis, self, 0);
}

void CG_DrawPlayer(centity_t *ent, uint8_t self) {
    const bool own = ent->s.serial == cg.predicted.entitySerial;
    CG_DrawPlayerModel(ent, self);
    const float *axis = CG_EntityAxis(ent);
    if (ent->s.eFlags & CARRIES_CRYSTAL) {
        if (!own) CG_DrawBeacon(ent, 1);
        CG_DrawDropShadow(ent->s.origin, axis, 1.5f, cgMedia.handles[CGM_CRYSTAL_SHADOW]);
    }
    if (ent->s.berserk > 0) CG_DrawDropShadow(ent->s.origin, axis, 1.5f, cgMedia.handles[CGM_BERSERK_SHADOW]);
    if (!own) CG_DrawBalloon(ent);
    const int32_t since = G_TimeAge(static_cast<uint32_t>(ent->spawnEffectTime));
    if (ent->spawnEffectTime && since < SPAWN_CYLINDER_MS)
        CG_DrawCylinder(ent->s.origin, axis, 0.6f, 2.0f, cgMedia.handles[CGM_PLAYER_SPAWN],
                        1.0f - static_cast<float>(since) / SPAWN_CYLINDER_MS);
}

void CG_DrawCrystal(centity_t *ent) {
    CG_DrawGenericModel(ent);
    CG_DrawBeacon(ent, 0);
    CG_DrawDropShadow(ent->s.origin, CG_EntityAxis(ent), 1.8f, cgMedia.handles[CGM_CRYSTAL_SHADOW]);
}

// ---- procedural surfaces ----

void CG_DrawCylinder(const vec3_t origin, const float axis[9], float radius, float height, int32_t material,
                     float alpha) {
    const vec3_t mins = {-radius, 0, -radius}, maxs = {radius, height, radius};
    if (!BoundsVisible(mins, maxs, axis, origin)) return;
    drawVert_t *v = FrameVerts(2 * COLUMNS);
    if (!v) return;
    const uint8_t rgba[4] = {255, 255, 255, AlphaByte(alpha)};
    const float *up = G_GetUpVector(cg.flatGravity, origin);
    vec3_t upStep;
    _VectorScale(upStep, height, up);
    for (int i = 0; i < COLUMNS; i++) {
        const float a = COLUMN_DEGREES * static_cast<float>(i) * DEG2RAD;
        vec3_t bottom, top;
        _VectorAddMultiple(bottom, origin, axis, radius * Com_cos(a));
        _VectorAddMultiple(bottom, bottom, axis + 6, radius * Com_sin(a));
        _VectorAdd(top, bottom, upStep);
        SetVert(&v[2 * i], bottom, static_cast<float>(i) * COLUMN_S, 0, rgba);
        SetVert(&v[2 * i + 1], top, static_cast<float>(i) * COLUMN_S, 1, rgba);
    }
    AddSurface("Cylinder", v, 2 * COLUMNS, INDEXES.cylinder, 96, material, 0, 0);
}

void CG_DrawBeacon(centity_t *ent, uint8_t playerFlag) {
    const float *axis = CG_EntityAxis(ent);
    const vec3_t mins = {-0.9f, 0, -0.9f}, maxs = {0.9f, 25, 0.9f};
    if (!BoundsVisible(mins, maxs, axis, ent->s.origin)) return;
    // The team of the player, or of the crystal: 1 red.
    const bool red = ent->s.team == 1;
    const bool captureRules = cg.gameData.rules == CRYSTAL_RULES;
    int32_t slot;
    if (playerFlag) slot = red != captureRules ? CGM_BEACON_RED : CGM_BEACON_BLUE;
    else slot = !captureRules ? CGM_BEACON_GREEN : (red ? CGM_BEACON_RED : CGM_BEACON_BLUE);
    drawVert_t *v = FrameVerts(3 * COLUMNS);
    if (!v) return;
    const float *up = axis + 3;
    for (int i = 0; i < COLUMNS; i++) {
        const float a = COLUMN_DEGREES * static_cast<float>(i) * DEG2RAD;
        vec3_t ring, p;
        _VectorAddMultiple(ring, ent->s.origin, axis, 0.9f * Com_cos(a));
        _VectorAddMultiple(ring, ring, axis + 6, 0.9f * Com_sin(a));
        const float s = static_cast<float>(i) * COLUMN_S;
        const uint8_t solid[4] = {255, 255, 255, 255}, clear[4] = {255, 255, 255, 0};
        SetVert(&v[3 * i], ring, s, 0, solid);
        _VectorAddMultiple(p, ring, up, 12.5f);
        SetVert(&v[3 * i + 1], p, s, 0.5f, clear);
        _VectorAddMultiple(p, ring, up, 25.0f);
        SetVert(&v[3 * i + 2], p, s, 1, clear);
    }
    AddSurface("Beacon", v, 3 * COLUMNS, INDEXES.beacon, 192, cgMedia.handles[slot], 0, 0);
}

void CG_DrawBulletTrail(centity_t *ent) {
    int32_t slot;
    float w = 0.1f;
    uint8_t rgba[4] = {255, 255, 255, 255};
    const float *fog = cg.refdef.fogColor;
    auto fogColour = [&](float divisor) {
        for (int k = 0; k < 3; k++) rgba[k] = AlphaByte(fog[k] / divisor);
    };
    switch (ent->s.type) {
    case ET_TRAIL_RAILGUN_BLUE: slot = CGM_RAIL_RAILGUN_BLUE; break;
    case ET_TRAIL_RAILGUN: slot = CGM_RAIL_RAILGUN_RED; break;
    case ET_TRAIL_MINIGUN: slot = CGM_RAIL_MINIGUN, fogColour(5.0f); break;
    case ET_TRAIL_SHOTGUN: slot = CGM_RAIL_SHOTGUN, fogColour(5.0f); break;
    case ET_TRAIL_BERSERK: slot = CGM_RAIL_BERSERK, w = 0.12f, fogColour(2.5f); break;
    default: return;
    }
    drawVert_t *v = FrameVerts(4);
    if (!v) return;
    vec3_t side, p;
    ViewSide(side, ent->s.origin, ent->s.origin2);
    _VectorAddMultiple(p, ent->s.origin, side, w);
    SetVert(&v[0], p, 0, 0, rgba);
    _VectorAddMultiple(p, ent->s.origin, side, -w);
    SetVert(&v[1], p, 1, 0, rgba);
    _VectorAddMultiple(p, ent->s.origin2, side, -w);
    SetVert(&v[2], p, 1, 1, rgba);
    _VectorAddMultiple(p, ent->s.origin2, side, w);
    SetVert(&v[3], p, 0, 1, rgba);
    AddSurface("Bullet trail", v, 4, QUAD_FACING, 6, cgMedia.handles[slot], SURFACE_VIEW_FACING, ent->s.param);
}

void CG_DrawMeteor(centity_t *ent) {
    if (cg_skipMeteor.integer) return;
    drawVert_t *v = FrameVerts(4);
    if (!v) return;
    vec3_t side, p;
    ViewSide(side, ent->s.origin, ent->s.origin2);
    _VectorAddMultiple(p, ent->s.origin, side, 5);
    SetVert(&v[0], p, 0, 0, WHITE);
    _VectorAddMultiple(p, ent->s.origin2, side, 5);
    SetVert(&v[1], p, 1, 0, WHITE);
    _VectorAddMultiple(p, ent->s.origin2, side, -5);
    SetVert(&v[2], p, 1, 1, WHITE);
    _VectorAddMultiple(p, ent->s.origin, side, -5);
    SetVert(&v[3], p, 0, 1, WHITE);
    AddSurface("Meteor", v, 4, QUAD_ROUND, 6, cgMedia.handles[CGM_METEOR], SURFACE_METEOR, ent->s.param);
}

void CG_DrawBalloon(centity_t *ent) {
    const int32_t rules = cg.gameData.rules;
    if ((rules != ROUNDS_RULES && rules != CRYSTAL_RULES) || cg_skipBalloons.integer) return;
    if (ent->s.team != cg.predicted.team || (ent->s.team != 0 && ent->s.team != 1)) return;
    float d = ViewDistance(ent->s.origin);
    d = d < 7 ? 7 : (d > 20 ? 20 : d);
    const float h = 0.22f * (d / 13.0f + 1.0f);
    drawVert_t *v = FrameVerts(4);
    if (!v) return;
    vec3_t centre;
    _VectorAddMultiple(centre, ent->s.origin, G_GetUpVector(cg.flatGravity, ent->s.origin), 2.1f);
    const float *right = cg.view.axis, *up = cg.view.axis + 3;
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    const float st[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; i++) {
        vec3_t p;
        _VectorAddMultiple(p, centre, right, corners[i][0] * h);
        _VectorAddMultiple(p, p, up, corners[i][1] * h);
        SetVert(&v[i], p, st[i][0], st[i][1], WHITE);
    }
    AddSurface("Balloon", v, 4, QUAD_FACING, 6, cgMedia.handles[ent->s.team == 1 ? CGM_TEAM_LOGO_RED : CGM_TEAM_LOGO_BLUE],
               0, 0);
}

void CG_DrawFlower(centity_t *ent) {
    if (!PointVisible(ent->s.origin, 1.0f)) return;
    drawVert_t *v = FrameVerts(5);
    if (!v) return;
    vec3_t n, p, q;
    _VectorCopy(n, ent->s.dir);
    PerpendicularVector(p, n);
    _CrossProduct(q, n, p);
    const float life = ent->lifeFraction;
    const uint8_t rgba[4] = {255, 255, 255, AlphaByte(1.0f - life)};
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    const float st[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; i++) {
        vec3_t x;
        _VectorAddMultiple(x, ent->s.origin, p, 0.65f * corners[i][0]);
        _VectorAddMultiple(x, x, q, 0.65f * corners[i][1]);
        _VectorAddMultiple(x, x, n, 0.3f);
        SetVert(&v[i], x, st[i][0], st[i][1], rgba);
    }
    SetVert(&v[4], ent->s.origin, 0.5f, 0.5f, rgba);
    const float effect = !(1.0f - life > 0) ? 0 : (1.0f - life > 1 ? 1 : 1.0f - life);
    AddSurface("Impact flower", v, 5, FLOWER_INDEXES, 12, cgMedia.handles[CGM_IMPACT_FLOWER], SURFACE_VIEW_FACING,
               effect);
}

void CG_DrawSmoothTrail(centity_t *ent) {
    if (!PointVisible(ent->s.origin, 1.0f)) return;
    vec3_t *history = ent->trailPoints;
    int32_t count = ent->numTrailPoints < 1 ? 1 : ent->numTrailPoints;
    if (count > CG_TRAIL_POINTS) count = CG_TRAIL_POINTS;
    _VectorCopy(history[0], ent->s.origin);
    if (count < 2 || PointDistance(history[0], history[1]) > 0.1f) {
        const int32_t kept = count < CG_TRAIL_POINTS ? count : CG_TRAIL_POINTS - 1;
        for (int32_t i = kept; i > 0; i--) _VectorCopy(history[i], history[i - 1]);
        count = kept + 1;
    }
    ent->numTrailPoints = count;
    drawVert_t *v = FrameVerts(2 * count);
    if (!v) return;
    vec3_t side;
    ViewSide(side, ent->s.origin, ent->s.origin2);
    const float width = ent->media->trailSize;
    const float fade = 1.0f - ent->lifeFraction;
    for (int32_t i = 0; i < count; i++) {
        float alpha = fade;
        if (count > 1) {
            float ramp = 255.0f - static_cast<float>(i) * 255.0f / static_cast<float>(count - 1);
            ramp = ramp < 0 ? 0 : (ramp > 255 ? 255 : ramp);
            alpha = fade * ramp / 255.0f;
        }
        const uint8_t rgba[4] = {ent->color[0], ent->color[1], ent->color[2], AlphaByte(alpha)};
        vec3_t p;
        _VectorAddMultiple(p, history[i], side, width);
        SetVert(&v[2 * i], p, static_cast<float>(2 * i) * 0.5f, 0, rgba);
        _VectorAddMultiple(p, history[i], side, -width);
        SetVert(&v[2 * i + 1], p, static_cast<float>(2 * i + 1) * 0.5f, 1, rgba);
    }
    AddSurface("Spark", v, 2 * count, INDEXES.trail, 6 * (count - 1), ent->media->trailMaterial, 0, 0);
}

void CG_DrawDropShadow(const vec3_t point, const float axis[9], float radius, int32_t material) {
    if (ViewDistance(point) >= 12 || !PointVisible(point, radius)) return;
    vec3_t down;
    _VectorAddMultiple(down, point, G_GetUpVector(cg.flatGravity, point), -4);
    gameTrace_t tr;
    CG_RayTrace(&tr, point, down, nullptr, CONTENTS_WORLD);
    if (!(tr.trace.fraction < 1)) return;
    NewFrame();
    constexpr int32_t bytes = CG_DECAL_VERTEXES * DECAL_VERTEX_BYTES + CG_DECAL_INDEXES * 4;
    if (bytes > FRAME_DECAL_BYTES - frameDecalsUsed) return;
    uint8_t *verts = frameDecals + frameDecalsUsed;
    auto *indexes = reinterpret_cast<int32_t *>(verts + CG_DECAL_VERTEXES * DECAL_VERTEX_BYTES);
    const float axes[9] = {axis[0], axis[1], axis[2], axis[6], axis[7], axis[8], axis[3], axis[4], axis[5]};
    const float size[3] = {radius, radius, 4};
    int32_t numVerts = 0, numIndexes = 0;
    Trap_ClipDecal(&numVerts, &numIndexes, verts, indexes, tr.trace.endpos, axes, size, CG_DECAL_VERTEXES,
                   CG_DECAL_INDEXES);
    if (numVerts <= 0 || numIndexes <= 0 || numVerts > CG_DECAL_VERTEXES || numIndexes > CG_DECAL_INDEXES) return;
    frameDecalsUsed += bytes;
    AddLayoutSurface(SURFACE_LAYOUT_DECAL, "Drop shadow", verts, numVerts, indexes, numIndexes, material, 0, 0);
}
