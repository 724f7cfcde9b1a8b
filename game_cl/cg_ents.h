// The snapshot entities: each of the 512 slots rebuilt every frame from the two
// snapshots around the simulation time, its events presented once, and every
// entity in use handed to the drawer of its kind.
#pragma once

#include <cstdint>

struct centity_t;

constexpr int32_t CG_YOUNG_ENTITY_MS = 500;       // an entity first seen younger than this presents its events
constexpr float CG_SHARP_SPEED_CHANGE = 0.8f;      // change of moved distance between pairs that stops interpolation
constexpr float CG_LERP_ERROR_JUMP = 0.8f;         // growth of the interpolation error that is smoothed
constexpr float CG_MAX_ENTITY_DISTANCE2 = 10000000.0f;  // squared distance from the centre beyond which a position is bad

// How many animation numbers a player's body knows: the movement's and the death
// poses' legs animations (anim1), the weapon states' and the death poses' arms (anim2).
constexpr int32_t CG_PLAYER_LEG_ANIMS = 21;
constexpr int32_t CG_PLAYER_ARM_ANIMS = 12;
constexpr int32_t CG_TEAMS = 2;


// Rebuilds slot's record from the snapshot pair (the record is cg.entities[slot]).
void CG_InterpolateEntityState(centity_t *entity, int32_t slot);
// Presents an event entity's impact once and every new entry of the entity's event ring.
void CG_RunEntityEvents(centity_t *entity);
// Hands every snapshot entity and cEntity in use to its drawer.
void CG_AddEntitiesToScene();
// Hands one entity to the drawer of its drawing type; ownFirstPerson: the viewer's
// own player seen from inside.
void CG_AddEntityToScene(centity_t *entity, uint8_t ownFirstPerson);
// Forgets every snapshot entity (in-use byte and serial), at a map change.
void CG_ClearEntities();
