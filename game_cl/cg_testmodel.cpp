// The test models and the test light.
#include "game_cl/cg_testmodel.h"

#include <cstring>

#include "game/g_player.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_cl/cg_channels.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_drawents.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_model.h"
#include "game_cl/cg_utils.h"

namespace {

constexpr int TEST_CHANNELS = 4;  // tm_anim0 .. tm_anim3

// Where a slot stands by the offsets and angles: in the local frame at its base point.
void PlaceByOffsets(vec3_t origin, float axis[9], const vec3_t base) {
    float frame[9];
    G_CreateEllipticAxis(cg.flatGravity, frame, base);
    _VectorAddMultiple(origin, base, frame, tm_x.value);
    _VectorAddMultiple(origin, origin, frame + 3, tm_y.value);
    _VectorAddMultiple(origin, origin, frame + 6, tm_z.value);
    const vec3_t angles = {tm_roll.value, tm_pitch.value, tm_yaw.value};
    G_EllipticAxis2Axis(axis, frame, angles, 1);
}

}  // namespace

void CG_AddTestModelToScene() {
    // Each slot's tags, for the slots after it that hang on them.
    static tagState_t tags[CG_TEST_MODELS][BO2_TAGS_MAX];
    int32_t numTags[CG_TEST_MODELS] = {};
    const cmdVar_t *const anims[TEST_CHANNELS] = {&tm_anim0, &tm_anim1, &tm_anim2, &tm_anim3};
    for (int32_t slot = 0; slot < CG_TEST_MODELS && cg.tmModels[slot]; slot++) {
        model_t *model = CG_GetModel(cg.tmModels[slot]);
        if (model->numTags > BO2_TAGS_MAX) continue;
        const int32_t parent = cg.tmTagSlots[slot];
        const tagState_t *tag = nullptr;
        if (cg.tmTagNames[slot][0] && parent >= 0 && parent < CG_TEST_MODELS)
            tag = CG_GetTagState(numTags[parent], tags[parent], cg.tmTagNames[slot]);
        vec3_t origin;
        float axis[9];
        if (tag) {
            _VectorCopy(origin, tag->origin);
            memcpy(axis, tag->axis, sizeof axis);
        } else {
            PlaceByOffsets(origin, axis, cg.tmPositions[slot]);
        }
        surfaceEntity_t instance;
        CG_SetupModelInstance(&instance, "CG_AddTestModelToScene", model, origin, axis, 0, 0);
        instance.lod = CG_GetLOD(model, PointDistance(origin, cg.predicted.origin));
        Trap_R_SetupSurfaceEntity(&instance);
        // Fresh channels every frame: the frame actions up to the test time run each time.
        channel_t channels[TEST_CHANNELS]{};
        for (int32_t i = 0; i < TEST_CHANNELS; i++) {
            CG_SetupChannel(&channels[i], model, 0);
            CG_PutTimeToChannel(&channels[i], anims[i]->string, nullptr, cg.tmTime);
        }
        if (!CG_PoseModel(&instance, model, channels, TEST_CHANNELS)) continue;
        numTags[slot] = CG_SetupTagStates(tags[slot], cg.numLastBones, cg.lastBones, model, axis, origin);
        Trap_R_AddSurfaceEntity(&instance);
    }
}

void CG_AddTestLightToScene() {
    if (!tm_light.integer) return;
    vec3_t eye;
    G_GetPlayerEye(cg.flatGravity, eye, cg.predicted.origin, cg.predicted.eyeHeight);
    const float colour[3] = {tm_light_red.value, tm_light_green.value, tm_light_blue.value};
    CG_AddPointLight(eye, tm_light_radius.value, tm_light_intensity.value, colour);
}
