// The drawers of entities: each hands one entity's models or procedural surfaces
// to the scene of the current frame.  Nothing persists but a few history fields of
// the entity and the last-bones store of the animated drawer.
#pragma once

#include <cstdint>

#include "common/com_vector.h"

struct centity_t;
struct channel_t;
struct model_t;

constexpr int CG_MODEL_MATERIALS = 8;
constexpr int CG_DECAL_VERTEXES = 256;      // a drop shadow's clipped decal
constexpr int CG_DECAL_INDEXES = 1536;

// Flags of a model instance.
constexpr uint32_t CG_INSTANCE_DETAIL = 4;    // a detail model
constexpr uint32_t CG_INSTANCE_OWN_BODY = 16; // the viewer's own body, or a model attached to it
constexpr uint32_t CG_INSTANCE_VIEW_WEAPON = 12;  // the first-person arms, gun, magazine and grenades
constexpr uint32_t CG_INSTANCE_LOCKED_CAMERA = 2; // drawn for a camera held in place (cg_lockCam)

// A model instance as the renderer takes it (its layout: keep the field order).
// The model drawers fill it once the model records are in.
struct surfaceEntity_t {
    const char *name;        // the drawer's, for the renderer's debugging
    uint32_t flags;          // CG_INSTANCE_*
    vec3_t origin;
    float axis[9];           // rows right, up, forward
    int32_t numBones;
    matrix3x4_t *bones;      // renderer frame memory, numBones of them
    int32_t lod;             // renderer model handle of the level of detail
    int32_t materials[CG_MODEL_MATERIALS];
    int32_t layer;           // render destination it is drawn into; 0 the scene's own
};

// The frame a drawn entity stands in: effect entities keep their own (axis),
// snapshot entities the drawing axis from their frame and angles (axes.viewAxisT).
const float *CG_EntityAxis(const centity_t *ent);

// Fills a cleared instance of the model for the renderer: name, flags, origin, axis,
// the level of detail at its distance from the view and the model's materials (or
// overrideMaterial in every slot unless 0).
void CG_SetupModelInstance(surfaceEntity_t *instance, const char *name, const model_t *model, const vec3_t origin,
                           const float axis[9], uint32_t flags, int32_t overrideMaterial);
// Poses the instance's model by its channels: bone matrices from the renderer, the
// local matrices cleared, the channels bound to this model sampled in order (later
// ones win on the bones they hold), the skeleton resolved, the absolute matrices
// kept in cg's last-bones store.  False (the store emptied, nothing to add) when the
// skeleton is larger than the store or the renderer has no bone memory left.
bool CG_PoseModel(surfaceEntity_t *instance, const model_t *model, channel_t *channels, int32_t numChannels);

// An item's bob (units along its up) and spin (degrees, 0 to 360) at a game time, ms.
void CG_ItemMotion(uint32_t time, float *bob, float *spin);
void CG_DrawItemModel(centity_t *entity);
void CG_DrawGenericModel(centity_t *entity);  // also the crystal's model
void CG_DrawPlayerModel(centity_t *entity, uint8_t self);
void CG_DrawBulletTrail(centity_t *entity);
void CG_DrawMeteor(centity_t *entity);
void CG_DrawFlag(centity_t *entity);
void CG_DrawSmoothTrail(centity_t *entity);
void CG_DrawFlower(centity_t *entity);
void CG_DrawDrone(centity_t *entity);
// Drawing type 5: the body, beacon, shadows, balloon and spawn cylinder of a player.
void CG_DrawPlayer(centity_t *entity, uint8_t self);
// Drawing type 9: the crystal's model, beacon and shadow.
void CG_DrawCrystal(centity_t *entity);
// A model at origin along axis (rows); ownBody: the viewer's own body, detail: a detail model.
void CG_DrawStaticModel(int32_t model, const vec3_t origin, const float axis[9], uint8_t ownBody, uint8_t detail);
// Empties the per-frame vertex and decal pools of the drawers (for tests: a new frame
// number empties them otherwise, and a test's stand-in engine starts its count anew).
void CG_ClearFramePools();
// A model posed by its 8 channels, all materials replaced by overrideMaterial unless
// 0.  The absolute bone matrices are kept in cg's last-bones store for the caller's
// tags.  A skeleton of more bones than the store holds is refused.
void CG_DrawAnimModel(int32_t model, const vec3_t origin, const float axis[9], channel_t *channels,
                      int32_t overrideMaterial, uint8_t ownBody);
// A vertical light column over a player (playerFlag) or the crystal.
void CG_DrawBeacon(centity_t *entity, uint8_t playerFlag);
// The team logo over a team-mate.
void CG_DrawBalloon(centity_t *entity);
// An open cylinder of 17 columns standing on origin along axis row 1; alpha 0..1.
void CG_DrawCylinder(const vec3_t origin, const float axis[9], float radius, float height, int32_t material,
                     float alpha);
// A decal of the material on the ground under point.
void CG_DrawDropShadow(const vec3_t point, const float axis[9], float radius, int32_t material);
