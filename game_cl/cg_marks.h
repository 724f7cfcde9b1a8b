// Marks: decals clipped onto the world (bullet holes, stains).
#pragma once

#include <cstdint>

#include "common/com_vector.h"

void CG_InitMarks();   // every mark free (client game start)
void CG_ClearMarks();  // every mark free (world change, client event)
// A mark of a material on the world at origin, facing direction, turned at random;
// it lasts lifeMs and fades from fadeStartMs.
void CG_Mark(int32_t material, const vec3_t origin, const vec3_t direction, float size, int32_t lifeMs,
             int32_t fadeStartMs);
// A weapon's bullet mark where a shot hit, facing direction.
void CG_BulletMark(int32_t weapon, const vec3_t origin, const vec3_t direction);
