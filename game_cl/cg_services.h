// Client-game services that the shared module code calls.
#pragma once

#include <cstdint>

#include "common/com_vector.h"

struct gameTrace_t;

// A ray from start to end through the client's world; fraction 1 when nothing was hit.
gameTrace_t *CG_RayTrace(gameTrace_t *out, const vec3_t start, const vec3_t end, void *skip, int32_t mask);
