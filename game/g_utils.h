// Small services shared by the server game and the client game: the event rings
// of the network states, the local up and down of the ball world, the body frames
// that keep an entity upright on it, the game trace and its context dispatch, a
// swept box test, the spread of hitscan shots and the rules' short names.
#pragma once

#include <cstdint>

#include "common/com_geometry.h"
#include "game/g_public.h"

constexpr int ENTITY_EVENT_RING = 32;  // events[] of entityState_t
constexpr int CLIENT_EVENT_RING = 16;  // events[] and moveEvents[] of clientState_t
constexpr uint32_t CLIENT_EVENT_MAX_ADDED = 48;  // highest client event G_AddClientStateEvent takes
constexpr int SWEEP_MAX_STEPS = 4096;  // most boxes one swept box test tries

// An engine trace and the entity record hit (null for the world or no hit).
struct gameTrace_t {
    trace_t trace;
    void *entity;
};
extern const gameTrace_t g_emptyTrace;  // all zero: the result of a trace that could not run

// Pushes an entity event (1-25) into the 32-slot ring; a null record does nothing.
void G_AddEntityStateEvent(entityState_t *es, uint8_t event);
// Pushes a client event into the 16-slot ring; a number above 48 is reported as a
// bug (and still pushed); a null record takes nothing.
void G_AddClientStateEvent(clientState_t *cs, uint32_t event);

// Local up and down at a position: +Y and -Y on a flat world, else along the
// position from the world centre.  The result stays valid until the next call.
const float *G_GetUpVector(uint8_t flat, const vec3_t pos);
const float *G_GetDownVector(uint8_t flat, const vec3_t pos);

// A body frame (rows right, up, forward) with the up row at pos; identity at the origin.
void G_CreateEllipticAxis(uint8_t flat, float axis[9], const vec3_t pos);
// Re-orients a body frame to the up at pos, keeping the heading of its row 0 (a
// zero row 0 starts a new frame); rows 1 and 2 are rebuilt and may come in zero.
void G_UpdateEllipticAxis(uint8_t flat, float axis[9], const vec3_t pos);
// A frame whose up row is the given normal.
void G_CreateAxisForNormal(float axis[9], const vec3_t normal);
// out = Rz(angles[0])·Rx(angles[1])·Ry(angles[2])·ellipticᵀ, angles in degrees;
// transposed when transpose is 1, which gives rows right, up, forward in the world.
void G_EllipticAxis2Axis(float out[9], const float elliptic[9], const vec3_t angles, uint8_t transpose);

// The client game's entity frame fields that G_SetupEntityAxis fills.
struct entityAxes_t {
    float ellipticAxis[9];  // read
    float viewAxis[9];      // the view frame and its transpose
    float viewAxisT[9];
    float levelAxis[9];     // the same with no pitch, and its transpose
    float levelAxisT[9];
};
void G_SetupEntityAxis(entityAxes_t *ent, const vec3_t angles);

// The ray trace of the side whose frame runs (server game or client game); with
// no side running it reports the fault and yields the empty trace.  Returns out.
gameTrace_t *G_RayTrace(gameTrace_t *out, const vec3_t start, const vec3_t end, void *skip, int32_t mask);

// A shot's end point: range along row 2 of axis, scattered by up to spread
// (spread^power when power > 1) across rows 0 and 1.  Draws two random numbers.
void G_CalcFireEndPos(vec3_t out, const vec3_t start, const float axis[9], float range, float spread,
                      float power);

// 1 and tr filled when the box moving from start to end touches target earlier
// than tr's fraction, else 0.  Tested at fraction steps of 1 / (10 × the smallest
// half extent), never more than SWEEP_MAX_STEPS of them.
int G_SweapOBBToOBB(trace_t *tr, const obb_t *start, const obb_t *end, const obb_t *target);

// "dm", "cr", "f" or "cc" for rules 0-3; another number is reported and yields "dm".
const char *G_GetRulesString(int rules);

// Height of collision sphere i (0-3) of a player crouched by crouch.
float G_PlayerSphereOffset(float crouch, int i);
// A box at pos + offset with the given half sizes and axes.
void G_SetupCollideOBB(obb_t *obb, const vec3_t pos, const float axis[9], const vec3_t offset,
                       const vec3_t half);
// The six planes (normal, value) of the box mins..maxs in the frame axis at centre.
void G_SetupHitPolyhedron(vec4_t planes[6], const vec3_t centre, const float axis[9], const vec3_t mins,
                          const vec3_t maxs);

// A box of no size at a point, with the identity axes: a ray's end for the box traces.
void G_PointOBB(obb_t *out, const vec3_t point);
// A ray through the engine's world (trap 38) as a box of no size; no entity is hit.
void G_WorldRayTrace(gameTrace_t *out, const vec3_t start, const vec3_t end);
