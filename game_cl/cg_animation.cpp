// Skeletal animations: the AM2 reader, the table of loaded animations and the
// sampling of a frame into local bone matrices.
//
// AM2, little-endian: ".AM2", version 1, frame count, bone count, one unused word,
// then per frame per bone a packed 25-byte record: present flag, position x y z,
// rotations about y, x and z in radians.
#include <cmath>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_model.h"
#include "game_cl/cg_skeleton.h"

namespace {

constexpr int AM2_HEAD_BYTES = 20;
constexpr int AM2_RECORD_BYTES = 25;
constexpr int32_t AM2_VERSION = 1;
constexpr byte AM2_MAGIC[4] = {'.', 'A', 'M', '2'};
constexpr float AM2_RAD2DEG = 57.295776f;
constexpr float CLAMP_TIME_MAX = 0.9999f;  // a clamped animation stops just short of its last frame
constexpr float LAST_FRAME_MARGIN = 0.0001f;

animation_t animations[ANIMATIONS_MAX];
int32_t numAnimations;

void FreeAnimation(animation_t *anim) {
    if (anim->frames) {
        if (anim->frames[0]) G_Free(anim->frames[0]);  // every frame's poses are one block
        G_Free(anim->frames);
    }
    memset(anim, 0, sizeof *anim);
}

// The frame array and one block of frames x bones poses behind it.
bool AllocFrames(animation_t *anim, int32_t numFrames, int32_t numBones) {
    anim->frames = static_cast<bonePose_t **>(G_Alloc(static_cast<uint32_t>(sizeof(bonePose_t *) * numFrames)));
    if (!anim->frames) return false;
    memset(anim->frames, 0, sizeof(bonePose_t *) * numFrames);
    if (numBones == 0) return true;
    const size_t bytes = sizeof(bonePose_t) * static_cast<size_t>(numFrames) * numBones;
    auto *poses = static_cast<bonePose_t *>(G_Alloc(static_cast<uint32_t>(bytes)));
    if (!poses) return false;
    for (int32_t f = 0; f < numFrames; f++) anim->frames[f] = poses + static_cast<size_t>(f) * numBones;
    return true;
}

// Fills anim from the file bytes; model (may be null) gives the bone count to
// match and the rest positions to take off.
bool ReadAM2(animation_t *anim, const model_t *model, const byte *data, int32_t size, const char *path) {
    if (size < AM2_HEAD_BYTES) {
        Com_Error(ER_ERROR, "CG_LoadAnimation2 \"%s\": File is %d bytes, shorter than its head", path, size);
        return false;
    }
    const byte *p = data;
    if (memcmp(p, AM2_MAGIC, sizeof AM2_MAGIC) != 0) {
        Com_Error(ER_ERROR, "CG_LoadAnimation2 \"%s\": Bad magic", path);
        return false;
    }
    p += sizeof AM2_MAGIC;
    const int32_t version = Com_GrabLittleLong(&p);
    if (version != AM2_VERSION) {
        Com_Error(ER_ERROR, "CG_LoadAnimation2 \"%s\": Bad version (%d should be %d)", path, version, AM2_VERSION);
        return false;
    }
    const int32_t numFrames = Com_GrabLittleLong(&p);
    const int32_t numBones = Com_GrabLittleLong(&p);
    Com_GrabLittleLong(&p);  // unused word
    if (model && numBones != model->numBones) {
        Com_Error(ER_ERROR,
                  "CG_LoadAnimation2 \"%s\": Total number of bones in AM2 does not match BO2 (%d should be %d)", path,
                  numBones, model->numBones);
        return false;
    }
    if (numBones < 0 || numBones > BO2_BONES_MAX) {
        Com_Error(ER_ERROR, "CG_LoadAnimation2 \"%s\": %d bones, we support 0 to %d", path, numBones, BO2_BONES_MAX);
        return false;
    }
    if (numFrames > AM2_FRAMES_MAX) {
        Com_Error(ER_ERROR, "CG_LoadAnimation2 \"%s\": %d frames, we support max %d", path, numFrames, AM2_FRAMES_MAX);
        return false;
    }
    // Sampling needs a frame to stand on.
    if (numFrames < 1) {
        Com_Error(ER_ERROR, "CG_LoadAnimation2 \"%s\": %d frames, we need at least 1", path, numFrames);
        return false;
    }
    // At most 256 x 128 x 25 bytes: no overflow.
    const int32_t needed = AM2_HEAD_BYTES + numFrames * numBones * AM2_RECORD_BYTES;
    if (size < needed) {
        Com_Error(ER_ERROR, "CG_LoadAnimation2 \"%s\": File is %d bytes, its head announces %d", path, size, needed);
        return false;
    }
    Com_strncpyz(anim->path, path, MODEL_PATH_SIZE);
    anim->numBones = numBones;
    anim->numFrames = numFrames;
    if (!AllocFrames(anim, numFrames, numBones)) {
        Com_Error(ER_ERROR, "CG_LoadAnimation2 \"%s\": Out of memory", path);
        return false;
    }
    for (int32_t f = 0; f < numFrames; f++) {
        for (int32_t b = 0; b < numBones; b++) {
            bonePose_t &pose = anim->frames[f][b];
            const int32_t present = Com_GrabByte(&p);
            vec3_t position;
            for (float &v : position) v = CG_GrabLittleFloat(&p);
            const float aroundY = CG_GrabLittleFloat(&p);
            const float aroundX = CG_GrabLittleFloat(&p);
            const float aroundZ = CG_GrabLittleFloat(&p);
            if (!present) {
                pose.present = 0;
                BuildIdentityMatrix3x4(pose.matrix);
                continue;
            }
            pose.present = 1;
            // Ry(y) x Rx(x) x Rz(z): the common three-angle rotation given z, x, y.
            const vec3_t angles = {aroundZ * AM2_RAD2DEG, aroundX * AM2_RAD2DEG, aroundY * AM2_RAD2DEG};
            matrix3x3_t rotation;
            BuildRotationMatrix3x3(rotation, angles);
            if (model && model->bones)
                for (int i = 0; i < 3; i++) position[i] -= model->bones[b].restLocal[i];
            BuildModelMatrix3x4(pose.matrix, rotation, position);
        }
    }
    return true;
}

}  // namespace

int32_t CG_LoadAnimation(int32_t qmod, const char *path) {
    if (cg.loadingBlocked) return 0;
    if (numAnimations == 0) {
        FreeAnimation(&animations[0]);
        numAnimations = 1;
    }
    if (!path || !path[0]) return 0;
    for (int32_t i = 1; i < numAnimations; i++)
        if (!strcmp(animations[i].path, path)) return i;
    if (numAnimations < 0 || numAnimations >= ANIMATIONS_MAX) {
        Com_Error(ER_ERROR, "CG_RegisterAnimation: numAnimations == %d", numAnimations);
        return 0;
    }
    // The record stays taken even when the load fails; its path stays empty.
    const int32_t qam = numAnimations++;
    animation_t *anim = &animations[qam];
    FreeAnimation(anim);
    void *buffer = nullptr;
    const int32_t size = Trap_ReadFile(path, &buffer);
    if (size < 0 || !buffer) {
        Com_Error(ER_ERROR, "Could not open file \"%s\"", path);
        return 0;
    }
    const model_t *model = qmod ? CG_GetModel(qmod) : nullptr;
    const bool ok = ReadAM2(anim, model, static_cast<const byte *>(buffer), size, path);
    Trap_FreeFile(buffer);
    if (!ok) {
        FreeAnimation(anim);
        return 0;
    }
    Com_DPrintf("Animation: \"%s\" %d frames %d bones", path, anim->numFrames, anim->numBones);
    return qam;
}

animation_t *CG_GetAnimation(int32_t qam) {
    if (qam < 0 || qam >= numAnimations) {
        Com_Error(ER_FATAL, "CG_GetAnimation: qam == %d", qam);
        return &animations[0];
    }
    return &animations[qam];
}

animation_t *CG_GetAnimationByName(model_t *model, const char *name) {
    if (!model) {
        Com_Error(ER_FATAL, "CG_GetAnimationByName: model == NULL");
        return nullptr;
    }
    const modelAnim_t *modelAnim = CG_GetModelAnimByName(model, name);
    return modelAnim ? CG_GetAnimation(modelAnim->qam) : nullptr;
}

void CG_UnloadAnimation(int32_t first) {
    if (first < 0 || first >= numAnimations) return;
    for (int32_t i = first; i < numAnimations; i++) FreeAnimation(&animations[i]);
    numAnimations = first;
}

int32_t CG_GetNumAnimations() { return numAnimations; }

void CG_LoadDefaultAnimation() {}

float CG_GetFrame(int32_t endAction, float time, int32_t numFrames) {
    const float n = static_cast<float>(numFrames);
    float frame;
    switch (endAction) {
    case EA_REPEAT: frame = Fract(time) * n; break;
    case EA_MIRROR: {
        const float f = Fract(time) * (n - 1.0f);
        frame = fmodf(floorf(time), 2.0f) != 0.0f ? (n - 1.0f) - f : f;
        break;
    }
    case EA_CLAMP:
    case EA_GOTO: {
        const float t = time < 0.0f ? 0.0f : time > CLAMP_TIME_MAX ? CLAMP_TIME_MAX : time;
        frame = t * (n - 1.0f);
        break;
    }
    default: Com_Error(ER_FATAL, "CG_GetFrame: Unknown endAction %d", endAction); return 0.0f;
    }
    if (frame >= n) frame = n - LAST_FRAME_MARGIN;
    return frame;
}

bool CG_SampleAnimation(matrix3x4_t *locals, int32_t numLocals, const animation_t *anim, float frame) {
    if (!anim || anim->numFrames < 1 || !anim->frames) return false;
    // Also refuses NaN, which no comparison lets through.
    if (!(frame >= 0.0f && frame < static_cast<float>(anim->numFrames))) return false;
    const int32_t f0 = static_cast<int32_t>(frame);
    const int32_t f1 = (f0 + 1) % anim->numFrames;
    const float t = frame - static_cast<float>(f0);
    // An animation made for a smaller skeleton leaves the bones it does not have alone.
    const int32_t count = numLocals < anim->numBones ? numLocals : anim->numBones;
    for (int32_t b = 0; b < count; b++) {
        const bonePose_t &a = anim->frames[f0][b];
        const bonePose_t &c = anim->frames[f1][b];
        if (!a.present && !c.present) continue;
        const float *from = a.present ? a.matrix : identitymatrix3x4;
        const float *to = c.present ? c.matrix : identitymatrix3x4;
        for (int i = 0; i < 12; i++) locals[b][i] = from[i] + (to[i] - from[i]) * t;
    }
    return true;
}
