// The drawers of entities.  This build draws no entity models or surfaces yet.
#include "game_cl/cg_drawents.h"

void CG_DrawItemModel(centity_t *entity) { (void)entity; }
void CG_DrawGenericModel(centity_t *entity) { (void)entity; }
void CG_DrawPlayerModel(centity_t *entity, uint8_t self) { (void)entity, (void)self; }
void CG_DrawBulletTrail(centity_t *entity) { (void)entity; }
void CG_DrawMeteor(centity_t *entity) { (void)entity; }
void CG_DrawFlag(centity_t *entity) { (void)entity; }
void CG_DrawSmoothTrail(centity_t *entity) { (void)entity; }
void CG_DrawFlower(centity_t *entity) { (void)entity; }
void CG_DrawDrone(centity_t *entity) { (void)entity; }
void CG_DrawStaticModel(int32_t model, const vec3_t origin, const float axis[9], uint8_t ownBody, uint8_t detail) {
    (void)model, (void)origin, (void)axis, (void)ownBody, (void)detail;
}
