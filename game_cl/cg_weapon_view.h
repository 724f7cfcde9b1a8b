// What the weapons' client halves draw with: tags placed in the world, muzzle
// flashes and muzzle lights.
#pragma once

#include <cstdint>

#include "common/com_vector.h"
#include "game/g_public.h"
#include "game_cl/cg_channels.h"

// The flash at a muzzle: a flower of flowerSize facing along the axis's third row
// (the barrel) and, with a muzzle material, two crossed flames of length and width;
// brightness 0..1 greys the colour, angle turns the flash about the barrel.  Nothing
// outside the view's visible set or with cg_drawMuzzle 0.
void CG_DrawMuzzleFlash(const vec3_t origin, const float axis[9], float flowerSize, float length, float width,
                        int32_t flowerMaterial, int32_t muzzleMaterial, float brightness, float angle);
// A light at a muzzle; nothing with cg_skipMuzzleLight set or no intensity.
void CG_DrawMuzzleLight(const vec3_t origin, float radius, float intensity, const float colour[3]);

// The places of the grenade gun's drum, TAG_shell01 to TAG_shell08.
constexpr int32_t CG_DRUM_PLACES = 8;

// The arms holding the current weapon before the eye, with its magazine (in the gun,
// or in the left hand during a reload), the grenade drum's rounds, the ejection port
// for spent shells, and the weapon's muzzle flash and extras.  Nothing for a dead
// player or a spectator, in third person, without a weapon or while zooming.
void CG_AddViewWeaponToScene();
// The player's own flashlight ahead of the eye, while alive, playing and in first person.
void CG_AddViewFlashToScene();
// The railgun's sight over the screen in layer: the first of its gun-camera materials,
// or the second with second 0; nothing while another weapon is held.
void CG_DrawGunCam(int32_t layer, float alpha, uint8_t second);
// How many of the drum's places hold a grenade: the clip's rounds, but past half of a
// reload the rounds it is being filled with.  The numbers come from the server: never
// more than the drum holds.
int32_t CG_DrumRounds(const clientState_t *cs, int32_t magazineSize);
// Where the view weapon is held: the eye moved along the view axis rows by cg_gunX,
// cg_gunY and cg_gunZ, pulled in for a wide vertical field of view (degrees), and
// bobbing along the level axis's second row with the player's bob depth.
void CG_ViewWeaponOrigin(vec3_t out, const vec3_t eye, const float viewAxis[9], const float levelAxis[9],
                         float fovY, float bobDepth);
