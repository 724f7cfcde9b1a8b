// libFuzzer target: the client game's AM2 animation reader, fed with hostile bytes.
//
// The input is an animation loaded without a model and for a two-bone model; what
// loads is sampled at the start, middle and end under every end action.
//
// Built and run by scripts/fuzz.sh.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_g_model_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_model::Begin();
    fake::files["f.am2"] = std::string(reinterpret_cast<const char *>(data), size);
    fake::files["f.model"] = "model s.bo3\nlod 0 f.lo2\nanimation f f.am2\n";
    const int32_t alone = CG_LoadAnimation(0, "f.am2");
    if (alone) {
        matrix3x4_t locals[CG_ANIM_BONES_MAX];
        const animation_t *anim = CG_GetAnimation(alone);
        for (int32_t endAction = EA_CLAMP; endAction <= EA_GOTO; endAction++)
            for (float time : {-0.5f, 0.0f, 0.5f, 1.0f, 1.5f})
                CG_SampleAnimation(locals, CG_ANIM_BONES_MAX, anim, CG_GetFrame(endAction, time, anim->numFrames));
    }
    CG_UnloadAnimation(1);  // so that the model reads the file for its own bones
    fuzz_model::Check(CG_LoadModel("f.model"));
    fuzz_model::End();
    return 0;
}
