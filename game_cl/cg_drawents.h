// The drawers of entities: each hands one entity's models or surfaces to the scene.
#pragma once

#include <cstdint>

#include "common/com_vector.h"

struct centity_t;

void CG_DrawItemModel(centity_t *entity);
void CG_DrawGenericModel(centity_t *entity);  // also the crystal's model
void CG_DrawPlayerModel(centity_t *entity, uint8_t self);
void CG_DrawBulletTrail(centity_t *entity);
void CG_DrawMeteor(centity_t *entity);
void CG_DrawFlag(centity_t *entity);
void CG_DrawSmoothTrail(centity_t *entity);
void CG_DrawFlower(centity_t *entity);
void CG_DrawDrone(centity_t *entity);
// A model at origin along axis (rows); ownBody: the viewer's own body, detail: a detail model.
void CG_DrawStaticModel(int32_t model, const vec3_t origin, const float axis[9], uint8_t ownBody, uint8_t detail);
