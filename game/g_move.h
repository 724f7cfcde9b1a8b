// Character movement: one player moved by one client command.
//
// The server runs it once for every command it receives; the client game replays
// its unacknowledged commands over the last snapshot's state to predict the local
// player.  Both must reach the same bytes, so the result is a pure function of the
// state, the command, the parameters and the world as the context's trace
// function sees it: no clock, no random numbers, and the whole build keeps the
// compiler from fusing multiplications into additions.
#pragma once

#include <cstdint>

#include "common/com_geometry.h"
#include "game/g_public.h"
#include "game/g_utils.h"

constexpr uint32_t CMOVE_MAX_MSEC = 200;  // longest time one command moves
constexpr uint32_t CMOVE_STEP_MSEC = 33;  // longest sub-step

// Bits of cc_t::buttons: movement reads the first ten, the server game the rest.
enum ccButton_t : uint32_t {
    BT_FORWARD = 0x1,
    BT_BACK = 0x2,
    BT_LEFT = 0x4,
    BT_RIGHT = 0x8,
    BT_CROUCH = 0x10,  // also down in free flight
    BT_JUMP = 0x20,    // also up in free flight
    BT_CREEP = 0x40,   // also doubles the spectator speed
    BT_FIRE = 0x80,
    BT_FIRE2 = 0x100,
    BT_RELOAD = 0x200,
    BT_JOIN_BLUE = 0x400,
    BT_JOIN_RED = 0x800,
    BT_JOIN_SPECTATOR = 0x1000,
    BT_SCOREBOARD = 0x2000,
    BT_SUICIDE = 0x4000,
    BT_ZOOM_IN = 0x8000,
    BT_ZOOM_OUT = 0x10000,
    BT_NEXT_DEFORM_MATERIAL = 0x20000,  // forge
    BT_PREV_DEFORM_MATERIAL = 0x40000,
    BT_DEFORM_SIZE_UP = 0x80000,
    BT_DEFORM_SIZE_DOWN = 0x100000,
    BT_DROP = 0x200000,          // drop the carried crystal
    BT_SPECTATOR_AIM = 0x400000,  // the view follows the commands again
};

// Bits of clientState_t::flags.
enum clientStateFlag_t : uint32_t {
    CSF_ONGROUND = 0x8,
    CSF_FORWARD = 0x10,
    CSF_BACK = 0x20,
    CSF_LEFT = 0x40,
    CSF_RIGHT = 0x80,
    CSF_JUMP_HELD = 0x100,
    CSF_CROUCHING = 0x200,
    CSF_FIRING = 0x400,  // refire running
    CSF_FIRE_HELD = 0x800,
    CSF_FAST_REFIRE = 0x1000,
    CSF_RELOADING = 0x2000,
    CSF_SWITCHING = 0x4000,
    CSF_VIEW_HELD = 0x20000,  // the server set the view angles; commands leave them until BT_SPECTATOR_AIM
};

// clientState_t::moveType
enum moveType_t : uint8_t { MT_NORMAL = 0, MT_DEAD = 1, MT_SPECTATOR = 2, MT_INTERMISSION = 3 };

// clientState_t::moveAnim
enum moveAnim_t : uint8_t {
    MA_IDLE = 0,
    MA_CROUCH_IDLE = 1,
    MA_FORWARD = 2,
    MA_BACK = 3,
    MA_RIGHT = 4,
    MA_LEFT = 5,
    MA_CROUCH_FORWARD = 6,
    MA_CROUCH_BACK = 7,
    MA_CROUCH_RIGHT = 8,
    MA_CROUCH_LEFT = 9,
    MA_AIR = 10,
    MA_JUMP = 11,
    MA_LANDED = 12,
};

// clientState_t::weaponState
enum weaponState_t : uint8_t { WS_IDLE = 0, WS_FIRING = 1, WS_SWITCHING = 2, WS_RELOADING = 3 };

// Movement events: the client event (moveEvents ring) and the entity event raised with it.
enum moveEvent_t : uint8_t {
    CSE_JUMP = 50,
    CSE_LAND = 51,
    CSE_CRASH_LAND = 52,
    CSE_FOOTSTEP = 53,
    ESE_JUMP = 22,
    ESE_LAND = 23,
    ESE_CRASH_LAND = 24,
    ESE_FOOTSTEP = 25,
};

constexpr int32_t CMOVE_FALL_DAMAGE = 10;  // fallDamage of a crash landing

// Sweeps the box from start to end through the caller's world; fraction 0 when
// the start box is already inside matter.
typedef void (*cmoveTrace_t)(gameTrace_t *out, const obb_t *start, const obb_t *end, void *skipEntity,
                             int32_t contentMask, int32_t zero);

// What the server does with the weapon buttons of a command it moves, on the
// player record it names as owner.  Prediction passes none: the client never acts
// on its own commands.
struct cmoveWeaponActions_t {
    void (*change)(void *owner, int32_t weapon);  // the command names another weapon
    void (*reload)(void *owner);                  // the reload button is down
    void (*fire)(void *owner, uint8_t secondary); // a fire button is down; secondary: the second one
};

// The movement parameters; distances in world units, times in seconds.
struct cmoveParams_t {
    float gravity;
    float noclipSpeed;
    float spectatorSpeed;
    float airSpeed;
    float walkSpeed;
    float creepSpeed;
    float crouchSpeed;
    float jumpSpeed;
    float dirtSpeed;  // push given by a stuck recovery along the fire direction
    float noclipFriction;  // not read by movement
    float spectatorFriction;
    float airFriction;
    float groundFriction;
    float noclipAcceleration;  // not read by movement
    float spectatorAcceleration;
    float airAcceleration;
    float walkAcceleration;
    float creepAcceleration;
    float crouchAcceleration;
};
static_assert(sizeof(cmoveParams_t) == 19 * sizeof(float));

// The movement context, filled by the caller.
struct cmove_t {
    clientState_t *state;   // moved in place
    const cc_t *cc;         // the command
    uint8_t crushed;        // out: 1 when the body could not be freed from the world
    int32_t fallDamage;     // out: CMOVE_FALL_DAMAGE on a crash landing; the caller clears it
    entityState_t *entity;  // receives the entity events; null: none
    cmoveParams_t params;
    int32_t contentMask;    // handed to every trace
    void *skipEntity;       // handed to every trace: the entity the traces ignore
    void *owner;            // handed to the weapon actions: the caller's player record
    const cmoveWeaponActions_t *weaponActions;  // null: none (prediction)
    uint8_t freeFly;        // 1: fly through everything at the no-clip speed
    uint8_t replay;         // 1: prediction; no weapon actions, no debug output
    uint8_t flatGravity;    // 1: up is +Y everywhere; 0: up points away from the world centre
    uint8_t printDebug;     // 1: a debug line every sixth frame (never in prediction)
    cmoveTrace_t trace;
    // Most ms the command may move, 0: its whole time.  The server gives a client no
    // more time than its clock allows; the command's time is taken as used either way.
    uint32_t maxMsec;
};

// Moves the context's player by its command.  Non-reentrant: works on statics.
void G_ClientMove(cmove_t *cm);
// The ms a command claims to move the state: the time since the state's last
// command, at most CMOVE_MAX_MSEC, and 1 for a command not newer than that.
uint32_t G_CommandMsec(const clientState_t *state, const cc_t *cc);
// Takes a command's view into the state before it is moved, as the server and the
// prediction both do: BT_SPECTATOR_AIM lets go of a view the server held; a view
// not held becomes the command's angles, and row 0 of the body frame its aim.
// False when the view stays held.
bool G_TakeCommandView(clientState_t *cs, const cc_t *cc);

// The body frame of a state: rows right, up, forward, the up row the local up.
float *G_StateEllipticAxis(clientState_t *cs);

// The steps of G_ClientMove, on the context of the running call.
void G_AirMove();
void G_SlideMove();
float TraceGround(const obb_t *box, float a, float b);
void G_CalcWishDir(int level);
bool G_SetupOBB(uint8_t flat, obb_t *start, obb_t *end, const cmove_t *cm, const vec3_t endPos);
bool G_CheckStuck();
void G_TracePosToClientPos(vec3_t origin, const cmove_t *cm, const vec3_t centre, const float axes[9]);
