// The player's entity and the shared placing of a player's eye and boxes.
#include "game/g_player.h"

#include "game/g_utils.h"

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
