// Client world logic: the current world's effects each frame, and the tools that
// list and reload its materials.
#pragma once

#include <cstdint>

#include "game/g_materials.h"

void CG_InitWorld();   // a new world begins
void CG_WorldThink();  // the world's effects, once per connected frame
// Prints each named material of 0..254 with its number (wmList).
void CG_ListWorldMaterials(const worldMaterial_t materials[WORLD_MATERIALS]);
// Reads material index's own file again, parses it and hands all 256 to the engine
// once more (wmReload).  An index outside 0..255 is refused with a message.
void CG_ReloadWorldMaterial(worldMaterial_t materials[WORLD_MATERIALS], int32_t index);
