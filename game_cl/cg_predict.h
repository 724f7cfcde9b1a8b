// The predicted player and the presentation of its own events.
//
// Each frame the newest snapshot's client state is taken and every command the
// server has not executed yet is replayed on it with the server's movement; the
// result drives the view, the HUD and the first-person weapon.  The two event
// rings of the client state are presented once per entry.
#pragma once

#include <cstdint>

constexpr uint32_t CG_CLIENT_EVENT_BACKLOG = 16;  // pending entries a ring can still hold
constexpr int32_t CG_ANNOUNCER_REPEAT_MS = 30000;  // the same announcement is not repeated sooner
constexpr uint32_t CG_GAME_FREE_FLIGHT = 0x1;      // snapshot game data flag: free flight for all
constexpr uint8_t CG_STATE_INTERMISSION = 3;       // client state: the match is over

// Client events: numbers in the server's and the movement's rings of the client state.
enum clientEvent_t : uint8_t {
    CGE_RESET_ANGLES = 1,
    CGE_LOOK_DOWN = 2,
    CGE_CLEAR_MARKS = 3,
    CGE_CLEAR_PARTICLES = 4,
    CGE_CLEAR_CENTITIES = 5,
    CGE_SPAWNED = 6,
    CGE_WEAPON_CHANGE = 7,
    CGE_WEAPON_SELECTED = 8,
    CGE_FIRE_FIRST = 9,  // 9-14: fired weapon 0-5
    CGE_FIRE_LAST = 14,
    CGE_NO_AMMO_FIRST = 15,  // 15-20: fired weapon 0-5 with no ammunition
    CGE_NO_AMMO_LAST = 20,
    CGE_RAIL_CHARGE = 21,
    CGE_RELOAD_FIRST = 22,  // 22-26: reloading weapon 1-5
    CGE_RELOAD_LAST = 26,
    CGE_PAIN = 27,
    CGE_HIT = 28,
    CGE_PICKUP_LIFE = 29,
    CGE_PICKUP_ARMOR = 30,
    CGE_PICKUP_BERSERK = 31,
    CGE_PICKUP_MINIGUN = 32,  // 32-35: ammunition of weapons 1-4
    CGE_PICKUP_RAILGUN = 35,
    CGE_PICKUP_DIRTGUN = 36,
    CGE_ANNOUNCER_FIRST = 38,  // 38-47: the announcer's ten sounds
    CGE_ANNOUNCER_LAST = 47,
    CGE_JUMP = 50,
    CGE_LAND = 51,
    CGE_CRASH_LAND = 52,
    CGE_FOOTSTEP = 53,
};

// Rebuilds the predicted client state from the newest snapshot and the unacknowledged commands.
void CG_PredictClientState();
// Presents every new entry of the server's ring, then of the movement's ring.
void CG_IssueClientEvents();
// Turns the predicted state's weapon flags into view-weapon animations.
void CG_IssueClientFlaggs();
// Presents one client event.
void IssueEvent(uint32_t number);
