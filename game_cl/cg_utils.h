// Small services of the client game: its world trace, the view axes of the frame,
// the flashlight record, stains on the terrain and the weapon change on pick-up.
#pragma once

#include <cstdint>

#include "common/com_geometry.h"
#include "game/g_utils.h"

struct surface_t;

// A renderer light as the client game fills it (the renderer's own record, one
// per frame from Trap_R_AllocLight); its field order is the renderer's.
// Light kinds.
constexpr int32_t CG_LIGHT_FLASH = 1;  // a projected flashlight
constexpr int32_t CG_LIGHT_POINT = 3;

struct cgLight_t {
    int32_t kind;          // 1 flashlight, 3 point light
    int32_t flag;          // a flashlight: 1 the viewer's own; other lights: 1 on
    vec3_t origin;
    float axis[9];         // rows: the light's right, up and forward
    float fov;             // degrees
    float range;
    float color[4];
    float intensity[2];
    int32_t projected;     // 1: casts the projected texture
    int32_t texture;       // projected texture handle
};
static_assert(sizeof(cgLight_t) == 96);

// later - earlier for two server times or counters, taken in unsigned arithmetic: the
// same elapsed time whatever wrap lies between.  The ages of the client game's own
// stamps of the game time go through G_TimeAge, which holds across its restart.
inline int32_t CG_Since(int32_t later, int32_t earlier) {
    return static_cast<int32_t>(static_cast<uint32_t>(later) - static_cast<uint32_t>(earlier));
}

// Sweeps the box from start to end through the client's world (mask bit 1).  Entities
// are never traced here, so the result's entity is null.
void CG_Trace(gameTrace_t *result, const obb_t *start, const obb_t *end, void *skipEntity, int32_t mask);
// The predicted player's view axis and level view axis (pitch 0) for this frame,
// from the predicted state's body frame and view angles.
void CG_UpdateForwardRightUp();
// Hands a light to the scene.
void CG_AddLight(cgLight_t *light);
// A point light switched on at origin: colour red, green, blue (alpha 0), intensity in
// both fields.  Nothing when the renderer has no light left this frame.
void CG_AddPointLight(const vec3_t origin, float radius, float intensity, const float colour[3]);
// Fills a light as a flashlight at position along axis; otherPlayer 0 for the viewer's own.
void CG_SetupPlayerFlash(cgLight_t *light, const vec3_t position, const float axis[9], uint8_t otherPlayer);
// Stains on the terrain at origin, facing direction: one of the blood or slime materials at random.
void CG_BloodStain(const vec3_t origin, const vec3_t direction);
void CG_SlimeStain(const vec3_t origin, const vec3_t direction);
// A variable's integer and float readings by name; fallback (its default) while
// no such variable exists.
int32_t CG_VarInteger(const char *name, int32_t fallback);
float CG_VarValue(const char *name, float fallback);
// A picked-up weapon becomes the one asked for next when it ranks above the held
// one, unless the dirt gun is held or cg_autoChangeWeapon is 0.
void CG_AutoChangeWeapon(int32_t weapon);
// A surface's bounds: the smallest box around its vertexes, of the 60-byte decal
// layout (XNTSR) or the 28-byte position, texture and colour layout (XSR).  A
// surface without vertexes gets the empty box, mins 1e8 and maxs -1e8.
void CG_SetupSurfacesXNTSRBounds(surface_t *surface);
void CG_SetupSurfacesXSRBounds(surface_t *surface);
