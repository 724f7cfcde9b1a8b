// Minimal versions of the server game's combat, spawning and player and crystal
// kinds: enough for a match to start, run and end.  Each is replaced by its full version as that lands.
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_sv/sg_local.h"
#include "game_sv/sg_services.h"

// ---- combat ----

void SG_KillClient(sgClient_t *client, sgClient_t *killer, int32_t means, int32_t deathAnim) {
    (void)means;
    (void)deathAnim;
    if (!client || client->cs.moveType != CS_PLAYING) return;
    SG_DropCrystal(client);
    client->stats.deaths++;
    if (killer && killer != client) killer->stats.kills++;
    if (client->entity) client->entity->r.svFlags = 0;
    SG_SpawnClientAsDead(client, client->cs.team);
}

void SG_DamageClient(sgClient_t *victim, int32_t means, float damage, sgClient_t *attacker, const vec3_t hitPosition) {
    (void)victim;
    (void)means;
    (void)damage;
    (void)attacker;
    (void)hitPosition;
}

void SG_AddPlayerBarrelHeat(sgClient_t *client, float amount) {
    client->cs.barrelHeat = client->cs.barrelHeat + amount > 1.0f ? 1.0f : client->cs.barrelHeat + amount;
}

// ---- spawning ----

void SG_GetPlayerSpawnPoint(vec3_t out, int32_t team) { SG_SelectSpawnPoint(nullptr, team, out); }

float SG_GetGroundPosition(vec3_t out, const vec3_t point, float height) {
    vec3_t up, below;
    _VectorCopy(up, G_GetUpVector(sg.flatGravity, point));
    _VectorAddMultiple(below, point, up, -1000.0f);
    gameTrace_t tr;
    SG_RayTrace(&tr, point, below, nullptr, CONTENTS_WORLD, 0);
    if (tr.trace.fraction >= 1) {
        _VectorCopy(out, point);
        return 0;
    }
    _VectorAddMultiple(out, tr.trace.endpos, up, height);
    return _DotProduct(up, tr.trace.plane);
}

void SG_SelectSpawnPoint(sgClient_t *client, int32_t team, vec3_t out) {
    (void)client;
    const sgWorld_t &w = sg.world;
    const float *centre = team == TEAM_RED ? w.spawnRedPos : w.spawnBluePos;
    _VectorCopy(out, VectorIsZero(centre) ? w.spectatorPos : centre);
}

void SG_SpawnRandomItem() {}
void SG_SpawnMushroom() {}
void SG_SpawnStone() {}
void SG_SpawnCandyCane() {}
void SG_SpawnFoamMush() {}
void SG_SpawnBarrel() {}
void SG_SpawnProbe() {}
void SG_SpawnDrone() {}
void SG_SpawnStaticItem() {}

// ---- entity kinds ----

// Mirrors the client into its entity every frame.
static void PlayerThink(sgEntity_t *self) {
    const sgClient_t *c = self->client;
    if (!c) return;
    _VectorCopy(self->s.origin, c->cs.origin);
    _VectorCopy(self->s.angles, c->cs.viewAngles);
    self->s.team = c->cs.team;
    self->s.weapon = c->cs.moveType == CS_DEAD ? WP_NONEGUN : c->cs.weapon;
}

sgEntity_t *SG_CreatePlayer(sgClient_t *client) {
    sgEntity_t *e = SG_CreateEntityClient(client->number);
    if (!e) return nullptr;
    e->className = "Player";
    e->thinkSG = PlayerThink;
    e->contents = CONTENTS_PLAYER;
    e->hasHitBox = 1;
    e->impactSurface = IMPACT_FLESH;
    e->r.visOffset = 1.0f;
    e->r.visRadius = 1.3f;
    PlayerThink(e);
    return e;
}

sgEntity_t *SG_CreateCrystal(const vec3_t position, const vec3_t velocity, int32_t team, uint8_t atHome) {
    if (VectorLength(velocity) > 10.0f) {
        Com_Error(ER_WARNING, "SG_CreateCrystal: velocity too large");
        return nullptr;
    }
    sgEntity_t *e = SG_CreateEntity(ET_CRYSTAL);
    if (!e) return nullptr;
    e->className = "Crystal";
    _VectorCopy(e->s.origin, position);
    _VectorCopy(e->velocity, velocity);
    e->team = team;
    e->crystalTeam = team;
    e->atHome = atHome;
    e->contents = CONTENTS_CRYSTAL;
    e->hasHitBox = 1;
    e->r.visOffset = 0.3f;
    e->r.visRadius = 0.5f;
    return e;
}

// ---- weapons ----

void SG_WeaponFrame(sgClient_t *client) { (void)client; }
