// Animation channels, skeleton resolution and tag placement.
#include "game_cl/cg_channels.h"

#include <cmath>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game_cl/cg_actions.h"

namespace {

constexpr vec3_t ZERO = {0, 0, 0};

float FrameOf(const channel_t *channel, float time) {
    return CG_GetFrame(channel->modelAnim->endAction, time, channel->animation->numFrames);
}

// Runs, in list order, every frame action of the channel's animation whose frame
// lies in (lo, hi].
void RunFrameRange(const channel_t *channel, float lo, float hi) {
    const modelAnim_t *ma = channel->modelAnim;
    for (int32_t i = 0; i < ma->numFrameActions; i++) {
        const frameAction_t &fa = ma->frameActions[i];
        if (fa.frame > lo && fa.frame <= hi && fa.action) CG_RunAction(fa.action, ZERO, identitymatrix3x3, 0, 0);
    }
}

// The frame actions passed between two frames, whichever way the channel went.
void RunFrameActions(const channel_t *channel, float oldFrame, float newFrame) {
    RunFrameRange(channel, oldFrame < newFrame ? oldFrame : newFrame, oldFrame < newFrame ? newFrame : oldFrame);
}

// The model's animation of that name and the animation behind it; false when
// either is missing.
bool FindAnimation(const channel_t *channel, const char *name, modelAnim_t **ma, animation_t **anim) {
    if (!channel->model || !name) return false;
    *ma = CG_GetModelAnimByName(channel->model, name);
    // Animations released down to a mark below the model's leave it naming handles
    // that are gone: the animation is missing, not a reason to stop the client.
    if (!*ma || (*ma)->qam < 1 || (*ma)->qam >= CG_GetNumAnimations()) return false;
    *anim = CG_GetAnimation((*ma)->qam);
    return (*anim)->numFrames >= 1;
}

void Empty(channel_t *channel) {
    channel->state = CHANNEL_EMPTY;
    channel->animation = nullptr;
    channel->modelAnim = nullptr;
}

// A time that is not a number (a hostile fraction or speed) would make every
// frame lookup fail; it counts as the start.
float SaneTime(float time) { return std::isfinite(time) ? time : 0.0f; }

}  // namespace

void CG_ClearChannel(channel_t *channel) { *channel = channel_t{}; }

void CG_SetupChannel(channel_t *channel, model_t *model, intptr_t word) {
    *channel = channel_t{};
    channel->model = model;
    channel->word = word;
}

void CG_PutToChannel(channel_t *channel, const char *name, centity_t *owner, uint8_t keep) {
    if (!channel || !channel->model) return;
    modelAnim_t *ma;
    animation_t *anim;
    if (!FindAnimation(channel, name, &ma, &anim)) {
        Empty(channel);
        return;
    }
    // The animation record too: after the tables were loaded again the same model
    // animation may name another record, and the one kept would be stale.
    if (keep && channel->state == CHANNEL_PLAYING && channel->modelAnim == ma && channel->animation == anim) return;
    channel->state = CHANNEL_PLAYING;
    channel->owner = owner;
    channel->time = ma->speed < 0.0f ? 1.0f : 0.0f;
    channel->animation = anim;
    channel->modelAnim = ma;
}

void CG_PutTimeToChannel(channel_t *channel, const char *name, centity_t *owner, float time) {
    if (!channel) return;
    modelAnim_t *ma;
    animation_t *anim;
    if (!FindAnimation(channel, name, &ma, &anim)) {
        Empty(channel);
        return;
    }
    time = SaneTime(time);
    const bool sameHold = channel->state == CHANNEL_HELD && channel->modelAnim == ma && channel->animation == anim;
    const float oldFrame = sameHold ? FrameOf(channel, channel->time) : 0.0f;
    channel->state = CHANNEL_HELD;
    channel->time = ma->speed < 0.0f ? 1.0f - time : time;
    channel->animation = anim;
    channel->modelAnim = ma;
    channel->owner = owner;
    RunFrameActions(channel, oldFrame, FrameOf(channel, channel->time));
}

void CG_PutFractionToChannel(channel_t *channel, const char *name, centity_t *owner, float fraction) {
    // The fraction often comes from the server: keep it a number within the animation.
    fraction = std::isfinite(fraction) ? (fraction < 0.0f ? 0.0f : fraction > 1.0f ? 1.0f : fraction) : 0.0f;
    CG_PutTimeToChannel(channel, name, owner, fraction);
}

void CG_PutPendingToChannel(channel_t *channel) { (void)channel; }

void CG_ResumeChannel(channel_t *channel) {
    if (!channel || channel->state != CHANNEL_HELD) return;
    if (channel->modelAnim && channel->modelAnim->endAction == EA_GOTO) {
        char next[MODEL_ANIM_NAME_SIZE];
        Com_strncpyz(next, channel->modelAnim->gotoName, sizeof next);
        CG_PutToChannel(channel, next, channel->owner, 0);
    } else {
        Empty(channel);
    }
}

bool CG_IsChannelFinished(const channel_t *channel) {
    if (!channel || !channel->animation || !channel->modelAnim) return true;
    switch (channel->modelAnim->endAction) {
    case EA_REPEAT:
    case EA_MIRROR: return false;
    default: return channel->time > 1.0f;
    }
}

void CG_UpdateChannel(channel_t *channel) {
    if (!channel || channel->state != CHANNEL_PLAYING) return;
    if (!channel->animation || !channel->modelAnim) {
        Com_Error(ER_FATAL, "CG_UpdateChannel: Bad anim or modAnim");
        Empty(channel);
        return;
    }
    const modelAnim_t *ma = channel->modelAnim;
    if (ma->endAction == EA_GOTO &&
        ((ma->speed < 0.0f && channel->time < 0.0f) || (ma->speed > 0.0f && channel->time > 1.0f))) {
        char next[MODEL_ANIM_NAME_SIZE];
        Com_strncpyz(next, ma->gotoName, sizeof next);
        CG_PutToChannel(channel, next, channel->owner, 0);
        if (channel->state != CHANNEL_PLAYING) return;
    }
    const float oldTime = channel->time;
    const float oldFrame = FrameOf(channel, oldTime);
    channel->time = SaneTime(oldTime + channel->modelAnim->speed * qgame.frameSeconds);
    const float newFrame = FrameOf(channel, channel->time);
    if (channel->modelAnim->endAction == EA_REPEAT && floorf(channel->time) != floorf(oldTime)) {
        // The loop came round: the frames passed are those to the end and those from
        // the start (frame 0 included), not the ones between the two frames.
        const float end = static_cast<float>(channel->animation->numFrames);
        if (channel->time > oldTime) {
            RunFrameRange(channel, oldFrame, end);
            RunFrameRange(channel, -1.0f, newFrame);
        } else {
            RunFrameRange(channel, -1.0f, oldFrame);
            RunFrameRange(channel, newFrame, end);
        }
        return;
    }
    RunFrameActions(channel, oldFrame, newFrame);
}

void CG_ExtractChannel(matrix3x4_t *locals, channel_t *channel) {
    if (!channel) return;
    if (!channel->animation || !channel->modelAnim || !channel->model) {
        channel->state = CHANNEL_EMPTY;
        return;
    }
    if (channel->state == CHANNEL_EMPTY) return;
    if (channel->state != CHANNEL_HELD && channel->state != CHANNEL_PLAYING) {
        Com_Error(ER_FATAL, "CG_ExtractChannel: Unknown channel op %d", channel->state);
        return;
    }
    const animation_t *anim = channel->animation;
    if (anim->numFrames < 1) {
        Com_Error(ER_FATAL, "CG_ExtractChannel: Num frames: %d", anim->numFrames);
        return;
    }
    const float frame = FrameOf(channel, SaneTime(channel->time));
    if (!CG_SampleAnimation(locals, channel->model->numBones, anim, frame))
        Com_Error(ER_FATAL, "CG_ExtractChannel: Bad fn0");
}

void CG_ClearBoneStates(int32_t count, matrix3x4_t *matrices) {
    for (int32_t i = 0; i < count; i++) MatrixCopy3x4(matrices[i], identitymatrix3x4);
}

void CG_LocalsToAbsolutes_r(matrix3x4_t *absolutes, const matrix3x4_t *locals, int32_t bone, const model_t *model) {
    if (!model || bone < 0 || bone >= model->numBones) return;
    const bone_t &b = model->bones[bone];
    // The local matrix moves the bone about its rest place: T = R·L·R⁻¹.
    matrix3x4_t restInverse, localRest, t;
    MatrixCopy3x4(restInverse, b.rest);
    MatrixInverse3x4(restInverse);
    MatrixMultiply3x4(localRest, locals[bone], restInverse);
    MatrixMultiply3x4(t, b.rest, localRest);
    if (b.parent < 0 || b.parent >= model->numBones)
        MatrixCopy3x4(absolutes[bone], t);
    else
        MatrixMultiply3x4(absolutes[bone], absolutes[b.parent], t);
    for (int32_t child = 0; child < model->numBones; child++)
        if (child != bone && model->bones[child].parent == bone) CG_LocalsToAbsolutes_r(absolutes, locals, child, model);
}

int32_t CG_SetupTagStates(tagState_t *states, int32_t boneCount, const matrix3x4_t *absolutes, const model_t *model,
                          const float axis[9], const vec3_t origin) {
    if (!model || !states) return 0;
    // Axes are directions: they turn by the inverse transpose of a matrix, which for
    // the rotations here is the rotation itself.
    matrix3x3_t toWorld;
    MatrixCopy3x3(toWorld, axis);
    MatrixInverse3x3(toWorld);
    for (int32_t i = 0; i < model->numTags; i++) {
        const tag_t &tag = model->tags[i];
        tagState_t &s = states[i];
        Com_strncpyz(s.name, tag.name, sizeof s.name);
        vec3_t local;
        matrix3x3_t localAxis;
        if (boneCount >= 1 && absolutes && tag.bone >= 0 && tag.bone < boneCount && tag.bone < model->numBones) {
            const float *m = absolutes[tag.bone];
            VectorMatrixMultiply3x4(local, tag.origin, m);
            matrix3x3_t n = {m[0], m[1], m[2], m[4], m[5], m[6], m[8], m[9], m[10]};
            MatrixInverse3x3(n);
            MatrixTranspose3x3(n);
            for (int r = 0; r < 3; r++) VectorMatrixMultiply3x3(localAxis + 3 * r, tag.axis + 3 * r, n);
        } else {
            _VectorCopy(local, tag.origin);
            MatrixCopy3x3(localAxis, tag.axis);
        }
        // Into the world: the entity's rows are its right, up and forward there.
        for (int k = 0; k < 3; k++)
            s.origin[k] = origin[k] + local[0] * axis[k] + local[1] * axis[3 + k] + local[2] * axis[6 + k];
        for (int r = 0; r < 3; r++) VectorMatrixMultiply3x3(s.axis + 3 * r, localAxis + 3 * r, toWorld);
    }
    return model->numTags;
}

const tagState_t *CG_GetTagState(int32_t count, const tagState_t *states, const char *name) {
    if (!states || !name) return nullptr;
    for (int32_t i = 0; i < count; i++)
        if (strcmp(states[i].name, name) == 0) return &states[i];
    return nullptr;
}
