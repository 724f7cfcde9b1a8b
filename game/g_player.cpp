// The player's entity and the shared placing of a player's eye and boxes.
#include "game/g_player.h"

#include <cstring>

#include "common/common.h"
#include "game/g_move.h"
#include "game/g_utils.h"
#include "game_sv/sg_local.h"

void G_GetPlayerEye(uint8_t flatGravity, vec3_t eye, const vec3_t position, float eyeHeight) {
    const float *up = G_GetUpVector(flatGravity, position);
    _VectorAddMultiple(eye, position, up, eyeHeight);
}

void G_GetPlayerSmoothEye(uint8_t flatGravity, vec3_t eye, const clientState_t *cs, const vec3_t forward) {
    G_GetPlayerEye(flatGravity, eye, cs->origin, cs->eyeHeight);
    _VectorAdd(eye, eye, cs->smoothOffset);
    _VectorAddMultiple(eye, eye, forward, cs->jolt);
    const float *up = G_GetUpVector(flatGravity, cs->origin);
    _VectorAddMultiple(eye, eye, up, cs->dip);
}

void G_GetPlayerEntityPos(vec3_t out, const clientState_t *cs) { _VectorAdd(out, cs->origin, cs->smoothOffset); }

void G_GetPlayerClipBox(vec3_t centre, vec3_t halfExtents, const clientState_t *cs) {
    const float half = cs->height / 2;
    centre[0] = 0;
    centre[1] = half;
    centre[2] = 0;
    halfExtents[0] = PLAYER_HALF_WIDTH;
    halfExtents[1] = half;
    halfExtents[2] = PLAYER_HALF_WIDTH;
}

void G_GetPlayerHitBox(vec3_t centre, vec3_t outerHalf, vec3_t innerHalf, const clientState_t *cs) {
    G_GetPlayerClipBox(centre, outerHalf, cs);
    innerHalf[0] = PLAYER_INNER_HALF_WIDTH;
    innerHalf[1] = outerHalf[1];
    innerHalf[2] = PLAYER_INNER_HALF_WIDTH;
}

// ---- the player's server entity ----

static constexpr float PLAYER_VIS_OFFSET = 1.0f;
static constexpr float PLAYER_VIS_RADIUS = 1.3f;
static constexpr float PLAYER_BOX_HALF_HEIGHT = 0.825f;
static constexpr int32_t MAX_DEATH_KIND = 8;

// Death kind 1-8 → (arms, legs) animation numbers of the dead body.
static constexpr uint8_t DEATH_ANIMS[MAX_DEATH_KIND + 1][2] = {
    {0, 0}, {4, 13}, {5, 14}, {6, 15}, {7, 16}, {10, 19}, {11, 20}, {8, 17}, {9, 18}};

static void Player_ThinkHit(sgEntity_t *, sgEntity_t *, float) {}

static void Player_ThinkSG(sgEntity_t *self) {
    sgClient_t *client = self->client;
    if (!client) {
        Com_Error(ER_FATAL, "ThinkSG: index: %d", self->number);
        return;
    }
    clientState_t &cs = client->cs;
    const bool dead = cs.moveType == CS_DEAD;
    if (dead && client->deathAnim == 0) {
        SG_DeleteEntity(self);
        return;
    }
    if (cs.flags & CSF_CRYSTAL)
        self->s.eFlags |= EF_CRYSTAL;
    else
        self->s.eFlags &= ~EF_CRYSTAL;
    if (!dead) {
        memcpy(self->s.ellipticAxis, G_StateEllipticAxis(&cs), sizeof(self->s.ellipticAxis));
        for (int i = 0; i < 3; i++) {
            self->s.angles[i] = cs.viewAngles[i];
            AngleMod(&self->s.angles[i]);
        }
        G_GetPlayerEntityPos(self->s.origin, &cs);
    }
    self->modelByte = cs.team;
    self->s.team = cs.team;
    self->s.weapon = cs.weapon;
    self->s.packed = (client->deformMode << 8) | cs.deformSize;  // dirt-gun mode and size
    self->s.berserk = cs.berserk;
    if (!dead) {
        self->s.anim1 = cs.moveAnim;
        self->s.anim2 = cs.weaponState;
        self->s.animTime1 = cs.weaponTimeShown;
        self->s.animTime2 = cs.animTime2;
        return;
    }
    self->s.weapon = WP_NONEGUN;
    if (client->deathAnim >= 1 && client->deathAnim <= MAX_DEATH_KIND) {
        self->s.anim2 = DEATH_ANIMS[client->deathAnim][0];
        self->s.anim1 = DEATH_ANIMS[client->deathAnim][1];
    }
    self->s.animTime1 = 0;
    self->s.animTime2 = 0;
}

sgEntity_t *SG_CreatePlayer(sgClient_t *client) {
    sgEntity_t *e = SG_CreateEntityClient(client->number);
    if (!e) return nullptr;  // no entity to be had: no server runs
    e->className = "Player";
    e->thinkSG = Player_ThinkSG;
    e->thinkHit = Player_ThinkHit;
    e->client = client;
    e->kind = ET_PLAYER;
    e->contents = CONTENTS_PLAYER;
    e->impactSurface = IMPACT_FLESH;
    _VectorCopy(e->s.origin, client->cs.origin);
    _VectorCopy(e->s.angles, client->cs.viewAngles);
    if (client->cs.team == 1) e->s.eFlags |= 0x1;
    G_CreateEllipticAxis(sg.flatGravity, &e->s.ellipticAxis[0][0], e->s.origin);
    e->hasHitBox = 1;
    e->boxFlag = 1;
    e->hitHalfSize[0] = e->hitHalfSize[2] = PLAYER_HALF_WIDTH;
    e->hitHalfSize[1] = PLAYER_BOX_HALF_HEIGHT;
    e->r.visOffset = PLAYER_VIS_OFFSET;
    e->r.visRadius = PLAYER_VIS_RADIUS;
    SG_FinishEntity(e);
    return e;
}
