// Procedural surfaces the module builds and hands to the renderer each frame.
//
// The renderer allocates the record (Trap_R_AllocSurfaces) and reads it when the
// frame is rendered; the records themselves are the boundary's (game/g_public.h).
#pragma once

#include <cstdint>

#include "game/g_public.h"

// Argument of Trap_R_AddSurfaces for procedural surfaces.
constexpr uint8_t SURFACE_ADD_PROCEDURAL = 1;
