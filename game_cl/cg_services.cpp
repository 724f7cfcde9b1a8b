// Client-game services that the shared module code calls.
#include "game_cl/cg_services.h"

#include "game/g_utils.h"

gameTrace_t *CG_RayTrace(gameTrace_t *out, const vec3_t start, const vec3_t end, void *skip, int32_t mask) {
    (void)skip;  // the client's world holds no entity records to skip or hit yet
    (void)mask;
    G_WorldRayTrace(out, start, end);
    return out;
}
