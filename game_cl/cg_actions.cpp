// Action scripts.  This build plays none: starting one does nothing, so no slot is
// ever taken and there is nothing to play on or free.
#include "game_cl/cg_actions.h"

void CG_InitActionScripts() {}
void CG_StopAllActionScripts() {}
void CG_UpdateActionScripts() {}

void CG_RunActionScript(const char *path, const vec3_t origin, const float axis[9], float arg0, float arg1) {
    (void)path, (void)origin, (void)axis, (void)arg0, (void)arg1;
}
