// The create-server screen (menu 5): the worlds found on disk and in packs, their
// summaries, the rules and limits, and CREATE, which writes the server variables and
// starts the server with one "map" command.
#pragma once

#include <cstdint>

#include "game_cl/cg_world.h"
#include "game_ui/ui_atom.h"

constexpr int UI_MAX_WORLDS = 1024;       // summaries kept
constexpr int UI_MAX_WORLD_FILES = 256;   // world files looked at, the root first, then maps/, then game/c_maps/

enum uiCreateAtom_t : int32_t {
    CREATE_WINDOW, CREATE_LIST, CREATE_SCROLL, CREATE_BUTTON, CREATE_PANEL, CREATE_NAME, CREATE_DESCRIPTION,
    CREATE_PICTURE, CREATE_LAN_ADDRESS, CREATE_DEDICATED, CREATE_DEDICATED_LABEL, CREATE_LAN_ONLY,
    CREATE_LAN_ONLY_LABEL, CREATE_PURE, CREATE_PURE_LABEL, CREATE_RULES_LABEL, CREATE_DEATH_MATCH,
    CREATE_DEATH_MATCH_LABEL, CREATE_CRYSTAL_ROUNDS, CREATE_CRYSTAL_ROUNDS_LABEL, CREATE_CAPTURE,
    CREATE_CAPTURE_LABEL, CREATE_FORGE, CREATE_FORGE_LABEL, CREATE_SERVER_NAME_LABEL, CREATE_SERVER_NAME,
    CREATE_PASSWORD_LABEL, CREATE_PASSWORD, CREATE_MAX_PLAYERS_LABEL, CREATE_MAX_PLAYERS, CREATE_LIMIT_LABEL,
    CREATE_LIMIT, UI_CREATE_ATOMS,
};

extern worldScriptHeader_t q_worlds[UI_MAX_WORLDS];  // the worlds listed, sorted by name
extern int32_t q_numWorlds;
extern uiAtom_t *ui_create[UI_CREATE_ATOMS];

void UI_Create_Init();  // builds its atoms, once
void UI_Create_Draw();  // one frame of the screen
// Marks exactly one rules box (0 death match, 1 crystal rounds, 2 forge, 3 capture the
// crystal, anything else death match) and sets the limit box to match.
void UI_SetRules(int32_t rules);
