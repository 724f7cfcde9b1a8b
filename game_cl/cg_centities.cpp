// Client-side effect entities.  This build makes none; clearing still empties the
// pool, so a world change leaves nothing behind.
#include "game_cl/cg_centities.h"

#include "game_cl/cg_local.h"

void CG_ClearCEntities() {
    for (centity_t &e : cg.cEntities) e = centity_t{};
}

void CG_UpdateSparkRain() {}

void CG_CreateShell(const vec3_t origin, const float axis[9], const vec3_t ejectDirection, const vec3_t baseVelocity) {
    (void)origin, (void)axis, (void)ejectDirection, (void)baseVelocity;
}

void CG_CreateImpactFlower(int32_t number, const vec3_t origin, const vec3_t direction) {
    (void)number, (void)origin, (void)direction;
}

void CG_CreateGrenadeFlash(const vec3_t origin, const vec3_t direction) { (void)origin, (void)direction; }
