// Client-side effect entities (cEntities): gibs, dirt lumps, sparks, rain sparks,
// shell casings, meteors, grenade flashes and impact flowers, in cg.cEntities.
#pragma once

#include <cstdint>

#include "common/com_vector.h"

void CG_ClearCEntities();   // every cEntity out of use (world change, client event)
void CG_UpdateSparkRain();  // the world's rain of sparks, once per connected frame
// A shell casing thrown from origin along ejectDirection, on top of the shooter's velocity.
void CG_CreateShell(const vec3_t origin, const float axis[9], const vec3_t ejectDirection, const vec3_t baseVelocity);
void CG_CreateImpactFlower(int32_t number, const vec3_t origin, const vec3_t direction);
void CG_CreateGrenadeFlash(const vec3_t origin, const vec3_t direction);
