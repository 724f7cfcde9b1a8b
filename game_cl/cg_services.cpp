// Client-game services that the shared module code calls.
#include "game_cl/cg_services.h"

#include "game/g_utils.h"
#include "game_cl/cg_utils.h"

gameTrace_t *CG_RayTrace(gameTrace_t *out, const vec3_t start, const vec3_t end, void *skip, int32_t mask) {
    obb_t from, to;
    G_PointOBB(&from, start);
    G_PointOBB(&to, end);
    CG_Trace(out, &from, &to, skip, mask);
    return out;
}
