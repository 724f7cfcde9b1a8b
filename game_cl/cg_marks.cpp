// Marks.  This build makes none, so there is nothing to free.
#include "game_cl/cg_marks.h"

void CG_InitMarks() {}
void CG_ClearMarks() {}

void CG_BulletMark(int32_t weapon, const vec3_t origin, const vec3_t direction) {
    (void)weapon, (void)origin, (void)direction;
}

void CG_Mark(int32_t material, const vec3_t origin, const vec3_t direction, float size, int32_t lifeMs,
             int32_t fadeStartMs) {
    (void)material, (void)origin, (void)direction, (void)size, (void)lifeMs, (void)fadeStartMs;
}
