// The options hub and the four settings screens (game options, controls, forge
// controls, system).  They keep no settings of their own: entering a screen loads
// its atoms from the variables and key bindings, Apply writes them back and Cancel
// drops the edits.
#pragma once

#include <cstdint>

#include "game_ui/ui_atom.h"

constexpr int UI_OPTIONS_ATOMS = 4;
constexpr int UI_GAME_ATOMS = 18;
constexpr int UI_CONTROLS_ATOMS = 55;
constexpr int UI_FORGE_ATOMS = 21;
constexpr int UI_SYSTEM_ATOMS = 31;
constexpr int UI_CONTROL_ACTIONS = 23;  // actions of the controls screen
constexpr int UI_FORGE_ACTIONS = 8;     // actions of the forge controls screen
constexpr int UI_RESOLUTIONS = 11;      // rows of the system screen's resolution list

// Where each screen keeps its atoms.
enum uiGameAtom_t : int32_t {
    GOPT_WINDOW, GOPT_TITLE, GOPT_NAME_LABEL, GOPT_NAME, GOPT_FOV_LABEL, GOPT_FOV, GOPT_FOV_TEXT,
    GOPT_HANDICAP_LABEL, GOPT_HANDICAP, GOPT_HANDICAP_TEXT, GOPT_AUTO_CHANGE, GOPT_AUTO_CHANGE_LABEL,
    GOPT_AUTO_RELOAD, GOPT_AUTO_RELOAD_LABEL, GOPT_SHOW_GUN, GOPT_SHOW_GUN_LABEL, GOPT_APPLY, GOPT_CANCEL,
};
enum uiControlsAtom_t : int32_t {
    CONTROLS_WINDOW, CONTROLS_TITLE,
    CONTROLS_FIRST_ROW,  // each action's label, then its key box
    CONTROLS_SENSITIVITY_LABEL = CONTROLS_FIRST_ROW + 2 * UI_CONTROL_ACTIONS, CONTROLS_SENSITIVITY,
    CONTROLS_SENSITIVITY_TEXT, CONTROLS_INVERT, CONTROLS_INVERT_LABEL, CONTROLS_APPLY, CONTROLS_CANCEL,
};
enum uiForgeAtom_t : int32_t {
    FORGE_WINDOW, FORGE_TITLE, FORGE_SUBTITLE,
    FORGE_FIRST_ROW,  // each action's label, then its key box
    FORGE_APPLY = FORGE_FIRST_ROW + 2 * UI_FORGE_ACTIONS, FORGE_CANCEL,
};
enum uiSystemAtom_t : int32_t {
    SYSTEM_WINDOW, SYSTEM_TITLE, SYSTEM_RESOLUTION, SYSTEM_RESOLUTION_SCROLL, SYSTEM_FULLSCREEN,
    SYSTEM_FULLSCREEN_LABEL, SYSTEM_LIGHTS, SYSTEM_LIGHTS_LABEL, SYSTEM_SHADOWS, SYSTEM_SHADOWS_LABEL, SYSTEM_FOG,
    SYSTEM_FOG_LABEL, SYSTEM_DETAIL_LABEL, SYSTEM_DETAIL, SYSTEM_DETAIL_TEXT, SYSTEM_GLOW_LABEL, SYSTEM_GLOW,
    SYSTEM_GLOW_TEXT, SYSTEM_BRIGHTNESS_LABEL, SYSTEM_BRIGHTNESS, SYSTEM_REVERSE_STEREO,
    SYSTEM_REVERSE_STEREO_LABEL, SYSTEM_VOLUME_LABEL, SYSTEM_VOLUME, SYSTEM_MUSIC_LABEL, SYSTEM_MUSIC,
    SYSTEM_RATE_LABEL, SYSTEM_RATE, SYSTEM_RATE_UNIT, SYSTEM_APPLY, SYSTEM_CANCEL,
};
static_assert(GOPT_CANCEL + 1 == UI_GAME_ATOMS);
static_assert(CONTROLS_CANCEL + 1 == UI_CONTROLS_ATOMS);
static_assert(FORGE_CANCEL + 1 == UI_FORGE_ATOMS);
static_assert(SYSTEM_CANCEL + 1 == UI_SYSTEM_ATOMS);

extern uiAtom_t *ui_options[UI_OPTIONS_ATOMS];  // Game Options, Controls, Forge Controls, System
extern uiAtom_t *ui_game[UI_GAME_ATOMS];
extern uiAtom_t *ui_controls[UI_CONTROLS_ATOMS];
extern uiAtom_t *ui_forge[UI_FORGE_ATOMS];
extern uiAtom_t *ui_system[UI_SYSTEM_ATOMS];

void UI_Options_Init();   // the hub's four buttons
void UI_Game_Init();
void UI_Controls_Init();
void UI_Forge_Init();
void UI_System_Init();
void UI_Options_Draw();   // cg.menu 6
void UI_Game_Draw();      // cg.menu 7
void UI_Controls_Draw();  // cg.menu 8
void UI_Forge_Draw();     // cg.menu 9
void UI_System_Draw();    // cg.menu 10
