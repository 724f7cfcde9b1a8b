// Client-side effect entities (cEntities): gibs, dirt lumps, sparks, rain sparks,
// shell casings, meteors, grenade flashes and impact flowers, in cg.cEntities.
// The server knows nothing of them: they bounce off the world, age and delete
// themselves.  The pool is fixed; a full pool gives up its oldest record.
#pragma once

#include <cstdint>

#include "common/com_vector.h"

struct centity_t;

// Lives of the kinds, milliseconds of game time.
constexpr int32_t CE_SPARK_LIFE = 2500;
constexpr int32_t CE_RAIN_SPARK_LIFE = 3000;
constexpr int32_t CE_SHELL_LIFE = 2500;
constexpr int32_t CE_FLOWER_LIFE = 1000;
constexpr int32_t CE_GIB_LIFE = 4000;
constexpr int32_t CE_DIRT_LIFE = 4000;
constexpr int32_t CE_METEOR_MIN_LIFE = 2000;  // a meteor goes once also this old
constexpr float CE_METEOR_FAR = 3000.0f;      // and this far from the world centre

// A record for a new cEntity of a type: the first free one, else the one spawned
// longest ago; cleared, in use, with its kind's media and its spawn time and frame.
centity_t *CG_CreateCEntity(int32_t type);
void CG_DeleteCEntity(centity_t *record);
void CG_ClearCEntities();   // every cEntity out of use (world change, client event)

void CG_CreateGib(const vec3_t origin, const vec3_t velocity, int32_t modelIndex);
void CG_CreateDirt(const vec3_t origin, const vec3_t velocity);
// colour: red, green, blue 0..1, kept as bytes.
void CG_CreateSpark(const vec3_t origin, const vec3_t velocity, const vec3_t colour);
void CG_CreateRainSpark(const vec3_t origin, const vec3_t velocity, const vec3_t colour);
// A flower of a number at origin facing along direction (its normal).
void CG_CreateImpactFlower(int32_t number, const vec3_t origin, const vec3_t direction);
// A flash half a unit off origin along direction.
void CG_CreateGrenadeFlash(const vec3_t origin, const vec3_t direction);
// A shell casing thrown from origin along ejectDirection, on top of the shooter's
// velocity; it keeps the (slightly turned) axis it was made with.
void CG_CreateShell(const vec3_t origin, const float axis[9], const vec3_t ejectDirection, const vec3_t baseVelocity);
// A meteor between head and tail moving 200 to 600 units a second along the line
// from its head toward its tail.
void CG_CreateMeteor(const vec3_t head, const vec3_t tail);

// count effects thrown from origin along direction, spread by noise of that amount.
void CG_CreateSparkExplosion(const vec3_t origin, const vec3_t direction, float speed, float spread, int32_t count,
                             const vec3_t colour);
void CG_CreateGibExplosion(const vec3_t origin, const vec3_t direction, float speed, float spread, int32_t count);
void CG_CreateDirtExplosion(const vec3_t origin, const vec3_t direction, float speed, float spread, int32_t count);

void CG_UpdateSparkRain();  // the world's rain of sparks, once per connected frame

// One step of bouncing physics over this frame: gravity along the local down, then
// a ray through the world.  On a hit the record stands pushOff off the surface, its
// velocity reflected by bounce and scaled by friction; returns the speed along the
// surface normal at the hit (0 when nothing was hit) and the normal in normalOut.
float CG_CEntityMove(centity_t *record, float gravity, float pushOff, float bounce, float friction, vec3_t normalOut);

// The kinds' thinks, once per connected frame.
void Meteor_Think(centity_t *e);
void Gib_Think(centity_t *e);
void Shell_Think(centity_t *e);
void GrenadeFlash_Think(centity_t *e);
void Dirt_Think(centity_t *e);
void Spark_Think(centity_t *e);
void Spark_Rain_Think(centity_t *e);
void ImpactFlower_Think(centity_t *e);
