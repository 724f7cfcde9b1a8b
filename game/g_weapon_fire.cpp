// The server halves of the weapon classes: what a shot of each weapon does.
#include <cstring>

#include "common/common.h"
#include "game/g_entity.h"
#include "game/g_player.h"
#include "game/g_soup.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game/g_weapon.h"
#include "game_sv/sg_local.h"
#include "game_sv/sg_services.h"

namespace {

constexpr float HITSCAN_RANGE = 100.0f;
constexpr float MEELGUN_RANGE = 1.3f;
constexpr float MEELGUN_DAMAGE = 17.0f;
constexpr int32_t MEELGUN_DIG_EVERY = 7;     // every seventh world hit digs
constexpr float MEELGUN_DIG_RADIUS = 1.0f;
constexpr float MEELGUN_DIG_STRENGTH = 135.0f;  // times sg_worldDamage
constexpr float MINIGUN_SPREAD = 2.4f;       // at full heat, before the power
constexpr float MINIGUN_SPREAD_POWER = 3.0f;
constexpr float MINIGUN_DAMAGE = 10.0f;
constexpr int SHOTGUN_PELLETS = 11;
constexpr float SHOTGUN_NOISE = 9.0f;
constexpr float SHOTGUN_DAMAGE = 9.0f;
constexpr float GRENADE_NOISE = 0.025f;
constexpr float GRENADE_SPEED = 25.0f;
constexpr float RAILGUN_DAMAGE = 95.0f;
constexpr float IMPACT_LIFT = 0.01f;         // an impact event sits this far off the surface

// Where bullet trails start: right, up and forward of the eye.
constexpr float MUZZLE_RIGHT = 0.18f, MUZZLE_UP = -0.14f, MUZZLE_FORWARD = 0.8f;

// The firing player's view of one shot.
struct shot_t {
    sgClient_t *client;
    vec3_t eye;
    vec3_t muzzle;
    float axes[9];   // rows right, up, forward
    float damageFactor;
    bool berserk;
};

void SetupShot(shot_t *shot, sgClient_t *client) {
    shot->client = client;
    const clientState_t &cs = client->cs;
    G_GetPlayerEye(sg.flatGravity, shot->eye, cs.origin, cs.eyeHeight);
    float level[9];
    SG_ClientViewAxes(client, shot->axes, level);
    _VectorAddMultiple(shot->muzzle, shot->eye, shot->axes, MUZZLE_RIGHT);
    _VectorAddMultiple(shot->muzzle, shot->muzzle, shot->axes + 3, MUZZLE_UP);
    _VectorAddMultiple(shot->muzzle, shot->muzzle, shot->axes + 6, MUZZLE_FORWARD);
    shot->berserk = cs.berserk != 0;
    shot->damageFactor = shot->berserk ? sg_berserkFactor.value : 1.0f;
}

// The shooter's own entity: every weapon trace passes through it.
void *Shooter(const shot_t *shot) { return shot->client->entity; }

// A weapon's ray from start to end against the world and every entity.
void WeaponTrace(gameTrace_t *tr, const shot_t *shot, const vec3_t start, const vec3_t end, uint8_t smallBoxes = 0) {
    *tr = g_emptyTrace;
    SG_RayTrace(tr, start, end, Shooter(shot), static_cast<int32_t>(MASK_ALL), smallBoxes);
    if (!(tr->trace.fraction < 1.0f)) {
        tr->trace.fraction = 1.0f;
        tr->entity = nullptr;
        _VectorCopy(tr->trace.endpos, end);
    }
}

// An impact on the world: an event entity just off the surface, facing out of it.
void WorldImpact(const gameTrace_t &tr, int32_t kind) {
    vec3_t normal, at;
    _VectorCopy(normal, tr.trace.plane);
    VectorNormalize(normal);
    _VectorAddMultiple(at, tr.trace.endpos, normal, IMPACT_LIFT);
    SG_CreateEventEntity(kind, at, normal);
}

// Damage to the entity hit, at the trace's end along its surface's normal.
void EntityHit(const shot_t *shot, const gameTrace_t &tr, int32_t means, float damage, float knockBack) {
    vec3_t normal;
    _VectorCopy(normal, tr.trace.plane);
    VectorNormalize(normal);
    SG_DamageEntity(static_cast<sgEntity_t *>(tr.entity), shot->client, means, tr.trace.endpos, normal, damage,
                    knockBack, 1);
}

void Feedback(sgClient_t *client, float recoilPitch, float recoilYaw, float bobDepth, float heat) {
    SG_AddPlayerRecoil(client, recoilPitch, recoilYaw);
    SG_AddPlayerBobDepth(client, bobDepth);
    SG_AddPlayerBarrelHeat(client, heat);
}

}  // namespace

void SG_ClientViewAxes(const sgClient_t *client, float view[9], float level[9]) {
    clientState_t cs = client->cs;  // the body frame is re-oriented on a copy
    float *body = G_StateEllipticAxis(&cs);
    G_UpdateEllipticAxis(sg.flatGravity, body, cs.origin);
    G_EllipticAxis2Axis(view, body, cs.viewAngles, 1);
    const vec3_t noPitch = {cs.viewAngles[0], 0.0f, cs.viewAngles[2]};
    G_EllipticAxis2Axis(level, body, noPitch, 1);
}

uint8_t Meelgun_Fire(sgClient_t *client, uint8_t) {
    shot_t shot;
    SetupShot(&shot, client);
    vec3_t end;
    G_CalcFireEndPos(end, shot.eye, shot.axes, MEELGUN_RANGE, 0.0f, 0.0f);
    client->stats.shots[MOD_MEELGUN]++;
    gameTrace_t tr;
    WeaponTrace(&tr, &shot, shot.eye, end);
    if (tr.trace.fraction >= 1.0f) return 1;
    if (tr.entity) {
        EntityHit(&shot, tr, MOD_MEELGUN, MEELGUN_DAMAGE * shot.damageFactor, 0.2f);
        return 1;
    }
    WorldImpact(tr, WPE_MEELGUN_IMPACT);
    if (++client->meelgunWorldHits % MEELGUN_DIG_EVERY == 0)
        SG_DamageMatter(tr.trace.endpos, MEELGUN_DIG_RADIUS,
                        Com_ClampToInt(MEELGUN_DIG_STRENGTH * sg_worldDamage.value));
    return 1;
}

uint8_t Minigun_Fire(sgClient_t *client, uint8_t) {
    shot_t shot;
    SetupShot(&shot, client);
    vec3_t end;
    G_CalcFireEndPos(end, shot.eye, shot.axes, HITSCAN_RANGE, MINIGUN_SPREAD * client->cs.barrelHeat,
                     MINIGUN_SPREAD_POWER);
    Feedback(client, 30.0f, 15.0f, 3.0f, g_weaponClass[WP_MINIGUN].heatPerShot);
    client->stats.shots[MOD_MINIGUN]++;
    gameTrace_t tr;
    WeaponTrace(&tr, &shot, shot.eye, end);
    if (tr.trace.fraction < 1.0f) {
        if (tr.entity)
            EntityHit(&shot, tr, MOD_MINIGUN, MINIGUN_DAMAGE * shot.damageFactor, 0.2f);
        else
            WorldImpact(tr, WPE_MINIGUN_IMPACT);
    }
    SG_CreateBulletTrail(shot.muzzle, tr.trace.endpos, shot.berserk ? ET_TRAIL_BERSERK : ET_TRAIL_MINIGUN);
    return 1;
}

uint8_t Shotgun_Fire(sgClient_t *client, uint8_t) {
    shot_t shot;
    SetupShot(&shot, client);
    Feedback(client, 100.0f, 50.0f, 15.0f, g_weaponClass[WP_SHOTGUN].heatPerShot);
    const int32_t trail = shot.berserk ? ET_TRAIL_BERSERK : ET_TRAIL_SHOTGUN;
    for (int i = 0; i < SHOTGUN_PELLETS; i++) {
        vec3_t end;
        _VectorAddMultiple(end, shot.eye, shot.axes + 6, HITSCAN_RANGE);
        Trap_VectorAddNoise(end, SHOTGUN_NOISE);
        client->stats.shots[MOD_SHOTGUN]++;
        gameTrace_t tr;
        WeaponTrace(&tr, &shot, shot.eye, end);
        if (tr.trace.fraction < 1.0f) {
            if (tr.entity)
                EntityHit(&shot, tr, MOD_SHOTGUN, SHOTGUN_DAMAGE * shot.damageFactor, 0.5f);
            else
                WorldImpact(tr, WPE_SHOTGUN_IMPACT);
        }
        SG_CreateBulletTrail(shot.muzzle, tr.trace.endpos, trail);
    }
    return 1;
}

uint8_t Grengun_Fire(sgClient_t *client, uint8_t) {
    shot_t shot;
    SetupShot(&shot, client);
    vec3_t dir;
    _VectorCopy(dir, shot.axes + 6);
    Trap_VectorAddNoise(dir, GRENADE_NOISE);
    VectorNormalize(dir);
    client->stats.shots[MOD_GRENGUN]++;
    SG_CreateGrenade(shot.eye, dir, GRENADE_SPEED, client);
    Feedback(client, 80.0f, 20.0f, 25.0f, g_weaponClass[WP_GRENGUN].heatPerShot);
    return 1;
}

// The rail pierces: every entity it damages is marked so that the next trace,
// which starts at that hit, passes through it; the shooter is skipped by every
// trace.  So no entity is hit twice by one shot, and never more than six.
uint8_t Railgun_Fire(sgClient_t *client, uint8_t) {
    shot_t shot;
    SetupShot(&shot, client);
    Feedback(client, 50.0f, 10.0f, 15.0f, g_weaponClass[WP_RAILGUN].heatPerShot);
    client->stats.shots[MOD_RAILGUN]++;
    const uint8_t smallBoxes = sg_skipSmallRailBox.integer ? 0 : 1;
    vec3_t end, start;
    _VectorAddMultiple(end, shot.eye, shot.axes + 6, HITSCAN_RANGE);
    _VectorCopy(start, shot.eye);

    sgEntity_t *pierced[RAILGUN_MAX_PIERCED];
    int count = 0;
    gameTrace_t tr;
    WeaponTrace(&tr, &shot, start, end, smallBoxes);
    while (tr.trace.fraction < 1.0f && tr.entity && count < RAILGUN_MAX_PIERCED) {
        sgEntity_t *hit = static_cast<sgEntity_t *>(tr.entity);
        EntityHit(&shot, tr, MOD_RAILGUN, RAILGUN_DAMAGE * shot.damageFactor, 1.0f);
        hit->railPass = 1;
        pierced[count++] = hit;
        if (count == RAILGUN_MAX_PIERCED) break;
        _VectorCopy(start, tr.trace.endpos);
        WeaponTrace(&tr, &shot, start, end, smallBoxes);
    }
    if (tr.trace.fraction < 1.0f && !tr.entity) WorldImpact(tr, WPE_RAILGUN_IMPACT);
    for (int i = 0; i < count; i++) pierced[i]->railPass = 0;
    SG_CreateBulletTrail(shot.muzzle, tr.trace.endpos, ET_TRAIL_RAILGUN);
    return 1;
}

// Reloading needs nothing of the weapons themselves: the movement's timers move the rounds.
void Meelgun_Reload(sgClient_t *) {}
void Minigun_Reload(sgClient_t *) {}
void Shotgun_Reload(sgClient_t *) {}
void Grengun_Reload(sgClient_t *) {}
void Railgun_Reload(sgClient_t *) {}
