// The client game's console commands and the client command they feed.
//
// The cc_* commands only leave one-frame requests in cg (actionFlags, the selected
// weapon and dirt-gun mode, chatMode, pendingText); CG_CCFrame turns them into the
// frame's client command and clears them once it is sent.
#pragma once

#include <cstdint>

// Index of each one-frame byte of cg.actionFlags: bytes 0-21 stand for the button
// bit of the same number, the last one asks for the weapon held before.
enum ccAction_t : int {
    CCA_FORWARD = 0,
    CCA_BACKWARD = 1,
    CCA_LEFT = 2,
    CCA_RIGHT = 3,
    CCA_CROUCH = 4,
    CCA_JUMP = 5,
    CCA_CREEP = 6,
    CCA_FIRE = 7,
    CCA_FIRE2 = 8,
    CCA_RELOAD = 9,
    CCA_SPAWN_BLUE = 10,
    CCA_SPAWN_RED = 11,
    CCA_SPAWN_SPECTATOR = 12,
    CCA_SCOREBOARD = 13,
    CCA_KILL = 14,
    CCA_ZOOM_IN = 15,
    CCA_ZOOM_OUT = 16,
    CCA_NEXT_DEFORM_MAT = 17,
    CCA_PREV_DEFORM_MAT = 18,
    CCA_NEXT_DEFORM_SIZE = 19,
    CCA_PREV_DEFORM_SIZE = 20,
    CCA_DROP = 21,
    CCA_BUTTONS = 22,  // bytes that stand for a button bit
    CCA_LAST_USED_WEAPON = 22,
};

// Engine key numbers the client game handles itself.
enum cgKey_t : int {
    CG_KEY_ESCAPE = 1,
    CG_KEY_CONTROL = 29,
    CG_KEY_CONSOLE = 41,
    CG_KEY_LEFT_SHIFT = 42,
    CG_KEY_RIGHT_SHIFT = 54,
};

// Registers the client game's 73 commands, in their fixed order.  Run once at module load.
void CG_RegisterCommands();

// The client game's own zoom request of a connected frame: the Railgun, not
// reloading, zooms in while the secondary-fire toggle is on and out otherwise;
// any other weapon, or reloading, zooms out and turns the toggle off.
void CG_RequestZoom();
