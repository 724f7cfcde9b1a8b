// Minimal versions of the server game's client commands, votes, entity boxes and
// physics, the world's damage and the bot brain: enough for a match to start, run
// and end.  Each is replaced by its full version as that lands.
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

// Loose entities stay where they were made.
uint8_t SG_EntityPhys(sgEntity_t *entity, float radius, float gravity) {
    (void)entity;
    (void)radius;
    (void)gravity;
    return 0;
}

int32_t SG_CountEntityType(int32_t kind, uint8_t randomOnly) {
    int32_t n = 0;
    for (const sgEntity_t &e : sg.entities)
        if (e.s.inUse && e.kind == kind && (!randomOnly || e.randomSpawned)) n++;
    return n;
}

// The world takes no damage yet.
void SG_DamageMatter(const vec3_t center, float radius, float strength) {
    (void)center;
    (void)radius;
    (void)strength;
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
