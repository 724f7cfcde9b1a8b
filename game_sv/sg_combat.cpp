// Combat: damage to entities and players, splash, deaths with their scores and
// obituaries, and the small feedback of firing (recoil, heat, bob, slow, push).
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_player.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_sv/sg_local.h"
#include "game_sv/sg_services.h"

// Splash reach: around a foreign entity, and around the thrower's own body.
static constexpr float SPLASH_RADIUS = 4.2f;
static constexpr float SPLASH_RADIUS_SQ = 17.639997f;
static constexpr float SPLASH_OWN_RADIUS = 2.5f;
static constexpr float SPLASH_OWN_RADIUS_SQ = 6.25f;

static constexpr int BLOOD_TRIES = 25;
static constexpr float BLOOD_REACH = 5.0f;
static constexpr float CRYSTAL_THROW_SPEED = 6.0f;
static constexpr int32_t DROP_SHOTGUN_MAX = 20;  // most rounds a dropped ammunition box holds
static constexpr int32_t DROP_OTHER_MAX = 16;
static constexpr int32_t HEAVY_HIT = 50;          // above this a death plays the second animation

// Client events of combat.
enum combatClientEvent_t : uint32_t { CE_PAIN = 27, CE_HIT_CONFIRMED = 28 };
enum combatEntityEvent_t : uint8_t { EE_PAIN = 21 };
// Event entities of combat.
enum combatEventEntity_t : int32_t {
    EV_IMPACT_FIRST = 23,  // 4 per weapon 0-4: dirt, flesh, metal, slime
    EV_BLOOD = 48,
    EV_GIB_LARGE = 50,
    EV_GIB_SMALL = 51,
};

static bool TeamRules() { return sg.rules == RULES_CRYSTAL_ROUNDS || sg.rules == RULES_CAPTURE_CRYSTAL; }

static bool SameTeam(const sgClient_t *a, const sgClient_t *b) { return a->cs.team == b->cs.team; }

// ---- weapon feedback ----

void SG_AddPlayerBobDepth(sgClient_t *client, float amount) { client->cs.joltVelocity -= amount * sg_bobDepth.value; }

void SG_AddPlayerBarrelHeat(sgClient_t *client, float amount) {
    client->cs.barrelHeat = _Min(client->cs.barrelHeat + amount, 1.0f);
}

void SG_AddPlayerWalkSlow(sgClient_t *client, float factor) { client->cs.slowdown = _Min(factor, 1.0f); }

void SG_KnockBackClient(sgClient_t *client, const vec3_t direction, float amount) {
    _VectorAddMultiple(client->cs.velocity, client->cs.velocity, direction, amount * sg_knockBack.value);
}

void SG_AddPlayerRecoil(sgClient_t *client, float pitchAmount, float yawAmount) {
    if (client->cs.crouch >= 1.0f) {
        pitchAmount *= 0.5f;
        yawAmount *= 0.5f;
    }
    // angleOffset is roll, pitch, yaw.
    client->cs.kickVelocity[1] += (Trap_crand() - 0.6f) * pitchAmount * sg_recoil.value;
    client->cs.kickVelocity[2] += Trap_crand() * yawAmount * sg_recoil.value;
}

// ---- damage ----

// The impact event entity of a weapon on a surface; 0 for the dirt gun, which
// damages nothing, and -1 for a means outside the table.
static int32_t ImpactEvent(int32_t means, int32_t surface) {
    if (means == MOD_DIRTGUN) return 0;
    if (means < MOD_MEELGUN || means > MOD_RAILGUN) return -1;
    int32_t offset;
    switch (surface) {
    case IMPACT_DIRT: offset = 0; break;
    case IMPACT_FLESH: offset = 1; break;
    case IMPACT_SLIME: offset = 3; break;
    default: offset = 2; break;  // metal
    }
    return EV_IMPACT_FIRST + 4 * means + offset;
}

void SG_DamageEntity(sgEntity_t *entity, sgClient_t *attacker, int32_t means, const vec3_t hitPosition,
                     const vec3_t direction, float damage, float knockBack, uint8_t makeEvent) {
    sgClient_t *victim = entity->client;
    if (TeamRules() && !sg_friendlyFire.integer && victim && attacker && attacker != victim &&
        SameTeam(attacker, victim))
        return;
    const int32_t impact = ImpactEvent(means, entity->impactSurface);
    if (impact == 0) return;
    if (impact < 0) {
        // A caller's fault must not end a running match: report it and drop the damage.
        Com_Error(ER_WARNING, "%s %s @ %s @ %d: bad means %d", __DATE__, __TIME__, "../game_sv/sg_combat.c",
                  __LINE__, means);
        return;
    }
    if (victim) {
        if (knockBack == 0)
            SG_AddPlayerWalkSlow(victim, damage / 100);
        else
            SG_KnockBackClient(victim, direction, knockBack);
        SG_DamageClient(victim, means, damage, attacker, hitPosition);
    }
    if (makeEvent) SG_CreateEventEntity(impact, hitPosition, direction);
    if (entity->thinkHit) entity->thinkHit(entity, attacker ? attacker->entity : nullptr, damage);
}

// Side of the body the hit came from: 1 front, 2 back, 3 and 4 the two flanks.
static uint8_t HitDirection(const sgClient_t *victim, const vec3_t hitPosition) {
    vec3_t eye, v;
    G_GetPlayerEye(sg.flatGravity, eye, victim->cs.origin, victim->cs.eyeHeight);
    _VectorSub(v, hitPosition, eye);
    VectorNormalize(v);
    const float f = _DotProduct(v, victim->bodyAxis);
    const float s = _DotProduct(v, victim->bodyAxis + 6);
    uint8_t dir;
    float best;
    if (f > 0) {
        dir = 1;
        best = f;
    } else if (f < 0) {
        dir = 2;
        best = -f;
    } else {
        dir = 3;
        best = 0;
    }
    if (s > best) {
        dir = 3;
        best = s;
    }
    if (-s > best) dir = 4;
    return dir;
}

// Death animation by the side hit and a light or heavy blow.
static constexpr int32_t DEATH_ANIM[5][2] = {{0, 0}, {5, 6}, {7, 8}, {1, 2}, {3, 4}};

int32_t SG_DeathAnimation(int32_t means, uint8_t hitDir, int32_t damage) {
    if (means == MOD_GRENGUN || hitDir < 1 || hitDir > 4) return 0;
    return DEATH_ANIM[hitDir][damage > HEAVY_HIT ? 1 : 0];
}

void SG_DamageClient(sgClient_t *victim, int32_t means, float damage, sgClient_t *attacker,
                     const vec3_t hitPosition) {
    const bool other = attacker && attacker != victim;
    if (!sg_selfDamage.integer && attacker == victim) return;
    if (TeamRules() && !sg_friendlyFire.integer && other && SameTeam(attacker, victim)) return;
    if (!(damage >= 1.0f)) return;  // also refuses not-a-number
    const int32_t d = Com_ClampToInt(damage);
    if (other && means >= 0 && means <= MOD_DIRTGUN) attacker->stats.hits[means]++;

    victim->cs.hitDir = HitDirection(victim, hitPosition);
    victim->cs.hitFlash = 1.0f;

    // Armour takes two thirds of the blow while it lasts.
    const int32_t health = victim->cs.health, armor = victim->cs.armor;
    const int32_t a = (2 * (d / 3)) + ((2 * (d % 3)) / 3);  // (2·d)/3 without overflow
    const int32_t t = d / 3;
    int32_t newArmor, newHealth;
    if (armor >= a) {
        newArmor = armor - a;
        newHealth = health - t;
    } else {
        newArmor = 0;
        newHealth = health - t - (a - armor);
    }

    const bool foe = other && (sg.rules == RULES_DEATH_MATCH || !SameTeam(attacker, victim));
    if (foe) SG_AddClientEvent(attacker, CE_HIT_CONFIRMED);
    if (newHealth < 1) {
        newHealth = 0;
        SG_KillClient(victim, attacker, means, SG_DeathAnimation(means, victim->cs.hitDir, d));
    }
    if (foe) {
        attacker->stats.damageGiven += health - newHealth;
        victim->stats.damageTaken += health - newHealth;
    }
    if (newHealth > 0) {
        SG_AddClientEvent(victim, CE_PAIN);
        SG_AddEntityEvent(victim->entity, EE_PAIN);
        victim->cs.health = SG_ClampByte(newHealth);
        victim->cs.armor = SG_ClampByte(newArmor);
    }
}

void SG_SplatterDamage(const vec3_t center, float damage, sgClient_t *attacker, sgClient_t *sparedClient,
                       uint32_t contentsMask, uint8_t makeEvent) {
    const sgEntity_t *spared = sparedClient ? sparedClient->entity : nullptr;
    const sgEntity_t *own = attacker ? attacker->entity : nullptr;
    for (int i = 0; i < SG_MAX_ENTITIES; i++) {
        sgEntity_t *e = &sg.entities[i];
        if (!e->s.inUse || e == spared || !(e->contents & contentsMask)) continue;
        const float radius = e == own ? SPLASH_OWN_RADIUS : SPLASH_RADIUS;
        const float radiusSq = e == own ? SPLASH_OWN_RADIUS_SQ : SPLASH_RADIUS_SQ;
        vec3_t v;
        _VectorSub(v, e->s.origin, center);
        if (_DotProduct(v, v) > radiusSq) continue;
        const float distance = VectorNormalize(v);
        float amount = (1.0f - distance / radius) * damage;
        if (!(amount >= 1.0f)) continue;
        if (e->client) {
            // Cover between the blast and the body halves the blow.
            vec3_t start, body;
            _VectorAddMultiple(start, center, G_GetUpVector(sg.flatGravity, center), 0.3f);
            G_GetPlayerEye(sg.flatGravity, body, e->client->cs.origin, e->client->cs.eyeHeight * 0.5f);
            gameTrace_t tr;
            SG_RayTrace(&tr, start, body, nullptr, CONTENTS_WORLD, 0);
            if (tr.trace.fraction < 1.0f) amount = _Max(0.0f, amount * 0.5f - 10.0f);
        }
        SG_DamageEntity(e, attacker, MOD_GRENGUN, center, v, amount, amount, makeEvent);
    }
}

// ---- deaths ----

void SG_PlayerBloodSplat(sgClient_t *client, int32_t count) {
    vec3_t start;
    _VectorAddMultiple(start, client->cs.origin, G_GetUpVector(sg.flatGravity, client->cs.origin), 1.3f);
    int32_t made = 0;
    for (int i = 0; i < BLOOD_TRIES; i++) {
        vec3_t dir = {0, 0, 0}, end;
        Trap_VectorAddNoise(dir, 1.0f);
        VectorNormalize(dir);
        _VectorAddMultiple(end, start, dir, BLOOD_REACH);
        gameTrace_t tr;
        SG_RayTrace(&tr, start, end, nullptr, CONTENTS_WORLD, 0);
        if (tr.trace.fraction == 1.0f || made > count) continue;
        vec3_t normal;
        _VectorCopy(normal, tr.trace.plane);
        VectorNormalize(normal);
        SG_CreateEventEntity(EV_BLOOD, tr.trace.endpos, normal);
        made++;
    }
}

void SG_GibExplosion(sgClient_t *client, uint8_t large) {
    vec3_t up;
    _VectorCopy(up, G_GetUpVector(sg.flatGravity, client->cs.origin));
    SG_CreateEventEntity(large ? EV_GIB_LARGE : EV_GIB_SMALL, client->cs.origin, up);
}

// Obituary verbs by means, in a line and capitalised at the head of a centre text.
static const char *const DEATH_VERB[MEANS_COUNT] = {"drilled", "gunned down", "shot", "gibbed",
                                                    "railed",  "killed",      "killed"};
static const char *const DEATH_VERB_CAP[MEANS_COUNT] = {"Drilled", "Gunned down", "Shot", "Gibbed",
                                                        "Railed",  "Killed",      "Killed"};

static bool MeansIndex(int32_t means) { return means >= 0 && means < MEANS_COUNT; }

// The ammunition a victim leaves for its killer: Shotgun, Grengun or Railgun rounds.
static void DropAmmunition(const sgClient_t *victim, const vec3_t velocity) {
    const int32_t w = victim->cs.weapon;
    if (w != WP_SHOTGUN && w != WP_GRENGUN && w != WP_RAILGUN) return;
    const int32_t rounds = victim->cs.clip[w] + victim->cs.reserve[w];
    if (rounds <= 0) return;
    const int32_t most = w == WP_SHOTGUN ? DROP_SHOTGUN_MAX : DROP_OTHER_MAX;
    SG_CreateItem(victim->cs.origin, velocity, w + 2, rounds < most ? rounds : most, nullptr, 0);
}

void SG_KillClient(sgClient_t *victim, sgClient_t *attacker, int32_t means, int32_t deathAnim) {
    clientState_t &cs = victim->cs;
    // What the body lets go of flies off upwards and to its side.
    vec3_t throwVelocity;
    _VectorAdd(throwVelocity, G_GetUpVector(sg.flatGravity, cs.origin), victim->bodyAxis + 6);
    VectorNormalize(throwVelocity);
    _VectorScale(throwVelocity, CRYSTAL_THROW_SPEED, throwVelocity);

    if (cs.flags & CSF_CRYSTAL) {
        cs.flags &= ~CSF_CRYSTAL;
        if (sg.rules == RULES_CRYSTAL_ROUNDS) {
            sg.crystalCarrier = nullptr;
            SG_CreateCrystal(cs.origin, throwVelocity, cs.team, 0);
        } else if (sg.rules == RULES_CAPTURE_CRYSTAL) {
            const int32_t enemy = cs.team == TEAM_BLUE ? TEAM_RED : TEAM_BLUE;
            sg.teamCrystalCarrier[enemy] = nullptr;
            SG_CreateCrystal(cs.origin, throwVelocity, enemy, 0);
        }
    }
    if (cs.berserk) SG_CreateItem(cs.origin, throwVelocity, IT_BERSERK, cs.berserk, nullptr, 0);
    const bool other = attacker && attacker != victim;
    if (!sg_skipPlayerDropItem.integer && other) DropAmmunition(victim, throwVelocity);
    cs.berserk = 0;
    victim->deathAnim = deathAnim;

    switch (means) {
    case MOD_MEELGUN: SG_PlayerBloodSplat(victim, 10); break;
    case MOD_MINIGUN: SG_PlayerBloodSplat(victim, 1); break;
    case MOD_SHOTGUN: SG_PlayerBloodSplat(victim, 4); break;
    case MOD_GRENGUN:
        SG_PlayerBloodSplat(victim, 4);
        SG_GibExplosion(victim, 0);
        break;
    case MOD_RAILGUN:
        SG_PlayerBloodSplat(victim, 3);
        SG_GibExplosion(victim, 1);
        break;
    default: break;
    }

    SG_SpawnClientAsDead(victim, cs.team);

    const int32_t m = MeansIndex(means) ? means : MOD_OTHER;
    if (attacker == victim) {
        victim->stats.kills--;
        victim->stats.deaths++;
        victim->stats.suicides++;
        SG_Printf(PRINT_ALL, "%s committed suicide", SG_ClientColorName(victim));
        SG_ClientPrintf(victim, "cg_print_center \"You committed suicide\"");
    } else if (means == MOD_DIRTGUN) {
        victim->stats.deaths++;
        SG_Printf(PRINT_ALL, "%s got crushed", SG_ClientColorName(victim));
    } else if (!attacker) {
        victim->stats.deaths++;
        SG_Printf(PRINT_ALL, "%s was killed", SG_ClientColorName(victim));
    } else {
        if (TeamRules() && SameTeam(attacker, victim)) {
            attacker->stats.kills--;
        } else {
            attacker->stats.kills++;
            attacker->stats.meansKills[m]++;
        }
        victim->stats.deaths++;
        victim->stats.meansDeaths[m]++;
        SG_Printf(PRINT_ALL, "%s was %s by %s", SG_ClientColorName(victim), DEATH_VERB[m],
                  SG_ClientColorName(attacker));
        SG_ClientPrintf(attacker, "cg_print_center \"You killed %s\"", SG_ClientColorName(victim));
        SG_ClientPrintf(victim, "cg_print_center \"%s by %s\"", DEATH_VERB_CAP[m], SG_ClientColorName(attacker));
    }
    if (victim->entity) victim->entity->contents = 0;
}
