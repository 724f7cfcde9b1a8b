// Server-game services that the shared module code calls: the ray trace and the
// weapon requests that movement hands over for the player it moves.
#pragma once

#include <cstdint>

#include "common/com_vector.h"
#include "game/g_move.h"

struct gameTrace_t;
struct sgClient_t;
struct clientState_t;

// The state at the head of a server-game client record.
clientState_t *SG_ClientState(sgClient_t *client);

// A ray from start to end through the world (mask bit 1) and the hit boxes of the
// entities whose contents share a bit with mask; fraction 1 when nothing was hit,
// else the nearest hit and its entity (null for the world); smallBoxes takes the
// entities' inner hit boxes.  The skip entity, event entities and entities marked
// railPass are passed through.
gameTrace_t *SG_RayTrace(gameTrace_t *out, const vec3_t start, const vec3_t end, void *skip, int32_t mask,
                         uint8_t smallBoxes);

// Starts a switch to weapon 0-6 (other numbers are refused); movement runs it.
void SG_IssueWeaponChange(sgClient_t *client, int32_t weapon);
// Starts a reload when the held weapon has spare rounds and a clip that is not full.
void SG_IssueReload(sgClient_t *client);
// Fires the held weapon when its timers allow and its class can fire.
void SG_IssueFire(sgClient_t *client, uint8_t secondary);

// The three requests above as movement takes them, for a cmove_t whose owner is
// the sgClient_t of the state it moves.
extern const cmoveWeaponActions_t sg_weaponActions;
