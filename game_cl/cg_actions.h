// Action scripts: small effect scripts (sounds, particles, lights, marks) played
// at a place over a few frames.
#pragma once

#include <cstdint>

#include "common/com_vector.h"

void CG_InitActionScripts();     // frees every playing slot (renderer start)
void CG_StopAllActionScripts();  // frees every playing slot (world change)
void CG_UpdateActionScripts();   // plays every slot one frame on (connected frames)
// Starts a script at a place with an axis (rows; a zero row stands for the identity).
void CG_RunActionScript(const char *path, const vec3_t origin, const float axis[9], float arg0, float arg1);
