// What the model-reading fuzz targets share: a fresh model table beside the
// fake engine, a small sound skeleton and animation to name, and the checks that
// a model the readers accepted is sound.
#pragma once

#include <cstdlib>
#include <string>

#include "game_cl/cg_local.h"
#include "game_cl/cg_model.h"
#include "tests/game/fake_engine.h"

namespace fuzz_model {

// Two bones (0 the root, 1 on it) and one tag on bone 1, as BO3 text.
inline const char *const SKELETON_BO3 =
    "bo3_magic BO3M\nbo3_version 1\nnum_bones 2\nnum_tags 1\nbone_parent 0 -1\nbone_parent 1 0\n"
    "bone_rest_local_xyz 1 0 1 0\ntag_name 0 TAG_hand_r\ntag_bone 0 1\n";

// An AM2 of frames frames for the two bones, every record present.
inline std::string Animation(int32_t frames) {
    std::string out = ".AM2";
    for (uint32_t w : {1u, static_cast<uint32_t>(frames), 2u, 0u})
        for (int i = 0; i < 4; i++) out += static_cast<char>(w >> (8 * i));
    out += std::string(static_cast<size_t>(frames) * 2 * 25, '\0');
    for (size_t r = 20; r < out.size(); r += 25) out[r] = 1;
    return out;
}

inline void Begin() {
    fake::Install();
    cg.loadingBlocked = 0;
    CG_UnloadAnimation(0);
    CG_UnloadModel(0);
    CG_LoadDefaultModel();
    fake::files["s.bo3"] = SKELETON_BO3;
    fake::files["a.am2"] = Animation(3);
}

// Aborts unless the model's skeleton and animations are what the drawers may rely on.
inline void Check(int32_t qmod) {
    if (!qmod) return;
    model_t *m = CG_GetModel(qmod);
    if (m->numBones < 0 || m->numBones > BO2_BONES_MAX || m->numTags < 0 || m->numTags > BO2_TAGS_MAX) abort();
    if (m->numLods < 1 || m->numLods > MODEL_LODS_MAX || m->numAnimations > MODEL_ANIMATIONS_MAX) abort();
    for (int32_t b = 0; b < m->numBones; b++) {
        int32_t steps = 0;
        for (int32_t p = m->bones[b].parent; p != -1; p = m->bones[p].parent)
            if (p < 0 || p >= m->numBones || ++steps > m->numBones) abort();
    }
    if (m->numBones > 0 && (m->rootBone < 0 || m->bones[m->rootBone].parent != -1)) abort();
    for (int32_t t = 0; t < m->numTags; t++)
        if (m->tags[t].bone < -1 || m->tags[t].bone >= m->numBones || !memchr(m->tags[t].name, 0, 32)) abort();
    matrix3x4_t locals[CG_ANIM_BONES_MAX];
    for (int32_t a = 0; a < m->numAnimations; a++) {
        const modelAnim_t &anim = m->animations[a];
        if (!memchr(anim.name, 0, sizeof anim.name) || !memchr(anim.gotoName, 0, sizeof anim.gotoName)) abort();
        if (anim.numFrameActions < 0 || anim.numFrameActions > MODEL_FRAME_ACTIONS_MAX) abort();
        const animation_t *sampled = CG_GetAnimation(anim.qam);
        if (sampled->numBones != m->numBones) abort();
        for (float time : {0.0f, 0.5f, 1.0f})
            CG_SampleAnimation(locals, CG_ANIM_BONES_MAX, sampled, CG_GetFrame(anim.endAction, time, sampled->numFrames));
    }
}

// Releases everything, so that the leak checker sees what a reader kept.
inline void End() {
    CG_UnloadAnimation(0);
    CG_UnloadModel(0);
    fake::Uninstall();
}

}  // namespace fuzz_model
