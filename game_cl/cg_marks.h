// Marks: decals clipped onto the world (bullet holes, stains).
#pragma once

#include <cstdint>

#include "common/com_vector.h"

void CG_InitMarks();   // every mark free (client game start)
void CG_ClearMarks();  // every mark free (world change, client event)
// A weapon's bullet mark where a shot hit, facing direction.
void CG_BulletMark(int32_t weapon, const vec3_t origin, const vec3_t direction);
