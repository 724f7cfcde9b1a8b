// Minimal versions of the server game's client commands, votes, combat, spawning,
// entity boxes, player and crystal kinds and the bot brain: enough for a match to
// start, run and end.  Each is replaced by its full version as that lands.
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_sv/sg_local.h"

// ---- client commands ----

void SG_IssueClientCommands(sgClient_t *client) {
    if (client->isBot) {
        if (const cc_t *cc = SG_GetBotCC(client->number)) client->lastCC = *cc;
        return;
    }
    while (const cc_t *cc = Trap_SV_GetClientCommand(client->number)) {
        client->lastCC = *cc;
        client->cs.ccNumber = static_cast<int32_t>(cc->number);
    }
}

// ---- votes ----

void SG_CallVote(sgClient_t *caller, int32_t argc, const char *kind, const char *argument) {
    (void)caller;
    (void)argc;
    (void)kind;
    (void)argument;
}

void SG_CheckVote() {}

// ---- combat ----

void SG_KillClient(sgClient_t *client, sgClient_t *killer, int32_t means) {
    (void)means;
    if (!client || client->cs.moveType != CS_PLAYING) return;
    SG_DropCrystal(client);
    client->stats.deaths++;
    if (killer && killer != client) killer->stats.kills++;
    if (client->entity) client->entity->r.svFlags = 0;
    SG_SpawnClientAsDead(client, client->cs.team);
}

// ---- spawning ----

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

// ---- traces and boxes ----

void SG_TouchAllTriggers(sgEntity_t *entity, uint32_t mask) {
    (void)entity;
    (void)mask;
}

void SG_UpdateEntityBoundingBox(sgEntity_t *entity) {
    const float r = entity->r.visRadius;
    for (int i = 0; i < 3; i++) {
        entity->r.mins[i] = entity->s.origin[i] - r;
        entity->r.maxs[i] = entity->s.origin[i] + r;
    }
}

void SG_UpdateEntityHitBox(sgEntity_t *entity) { entity->hitBoxFrame = static_cast<int32_t>(qgame.frameCount); }

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

// ---- weapons and bots ----

void SG_WeaponFrame(sgClient_t *client) { (void)client; }

void Bot_Frame(cc_t *cc, int32_t slot) {
    (void)slot;
    const uint32_t number = cc->number + 1;
    memset(cc, 0, sizeof *cc);
    cc->number = number;
    cc->time = qgame.time;
}
