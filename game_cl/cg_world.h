// Client world logic: the current world's effects each frame, the quick reader of a
// world script's header that the world lists use, and the tools that list and
// reload the world's materials.
#pragma once

#include <cstddef>
#include <cstdint>

#include "game/g_materials.h"

constexpr int WS_PATH_SIZE = 256;         // with its zero
constexpr int WS_NAME_SIZE = 64;
constexpr int WS_DESCRIPTION_SIZE = 128;
constexpr int32_t WS_DEFAULT_RULES = 1;   // crystal rounds
constexpr int32_t WS_DEFAULT_MAX_PLAYERS = 8;

// What a world list shows of a world script: its header only.
struct worldScriptHeader_t {
    char path[WS_PATH_SIZE];
    char name[WS_NAME_SIZE];
    int32_t loadingMiniImage;  // texture; 0 when the script names none or it is missing
    char description[WS_DESCRIPTION_SIZE];
    int32_t rules;             // 0 DM, 1 CR, 2 F, 3 CC
    int32_t maxPlayers;
};
static_assert(sizeof(worldScriptHeader_t) == 460);
static_assert(offsetof(worldScriptHeader_t, loadingMiniImage) == 320);
static_assert(offsetof(worldScriptHeader_t, rules) == 452);

void CG_InitWorld();   // a new world begins
// The world's effects, once per connected frame: meteor rain along the world's
// meteor direction and the turning sky.
void CG_WorldThink();
// Fills header from the script at path; false (reported) when it cannot be read or
// a stray "}" ends it.  Blocks are skipped whole, other keys to the end of their line.
bool CG_TurboParseWorldScript(worldScriptHeader_t *header, const char *path);
// Prints each named material of 0..254 with its number (wmList).
void CG_ListWorldMaterials(const worldMaterial_t materials[WORLD_MATERIALS]);
// Reads material index's own file again, parses it and hands all 256 to the engine
// once more (wmReload).  An index outside 0..255 is refused with a message.
void CG_ReloadWorldMaterial(worldMaterial_t materials[WORLD_MATERIALS], int32_t index);
