// What the weapons' client halves draw with: tags placed in the world, muzzle
// flashes and muzzle lights.
#pragma once

#include <cstdint>

#include "common/com_vector.h"

constexpr int TAG_NAME_SIZE = 64;

// A model's tag placed in the world.
struct tagState_t {
    char name[TAG_NAME_SIZE];
    vec3_t origin;
    float axis[9];  // rows right, up, forward
};

// The first of count states with that exact name; null when none (or no states).
const tagState_t *CG_GetTagState(int32_t count, const tagState_t *states, const char *name);

// The flash at a muzzle: a flower of flowerSize facing along the axis's third row
// (the barrel) and, with a muzzle material, two crossed flames of length and width;
// brightness 0..1 greys the colour, angle turns the flash about the barrel.  Nothing
// outside the view's visible set or with cg_drawMuzzle 0.
void CG_DrawMuzzleFlash(const vec3_t origin, const float axis[9], float flowerSize, float length, float width,
                        int32_t flowerMaterial, int32_t muzzleMaterial, float brightness, float angle);
// A light at a muzzle; nothing with cg_skipMuzzleLight set or no intensity.
void CG_DrawMuzzleLight(const vec3_t origin, float radius, float intensity, const float colour[3]);
