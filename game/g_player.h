// The player: its eye and boxes, shared by the server game, the client game and movement.
#pragma once

#include <cstdint>

#include "common/com_vector.h"
#include "game/g_public.h"

// Player box: half width of the outer box (traces, clip) and of the inner hit box.
constexpr float PLAYER_HALF_WIDTH = 0.2f;
constexpr float PLAYER_INNER_HALF_WIDTH = 0.15f;

// eye = position + up·eyeHeight, up the local up at position.
void G_GetPlayerEye(uint8_t flatGravity, vec3_t eye, const vec3_t position, float eyeHeight);
// The first-person eye: the eye at the state's origin plus its smoothing offset,
// forward·jolt and up·dip.
void G_GetPlayerSmoothEye(uint8_t flatGravity, vec3_t eye, const clientState_t *cs, const vec3_t forward);
// Where the player's body is drawn: the origin plus the smoothing offset.
void G_GetPlayerEntityPos(vec3_t out, const clientState_t *cs);
// The clip box in the body's frame (up = +Y): centre (0, h/2, 0), half extents (0.2, h/2, 0.2).
void G_GetPlayerClipBox(vec3_t centre, vec3_t halfExtents, const clientState_t *cs);
// The hit boxes in the body's frame: the outer (0.2, h/2, 0.2) and the inner (0.15, h/2, 0.15).
void G_GetPlayerHitBox(vec3_t centre, vec3_t outerHalf, vec3_t innerHalf, const clientState_t *cs);
