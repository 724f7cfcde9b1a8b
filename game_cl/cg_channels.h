// Animation channels: one animation of a model's list playing on its skeleton.
// Several channels layer onto one skeleton (each writes the bones its animation
// holds), the skeleton is then resolved into absolute bone matrices and the model's
// tags are placed in the world from them.
#pragma once

#include <cstdint>

#include "common/com_vector.h"
#include "game_cl/cg_model.h"

struct centity_t;

enum channelState_t : int32_t {
    CHANNEL_EMPTY = 0,
    CHANNEL_HELD = 1,     // held at a fraction of the animation
    CHANNEL_PLAYING = 2,
};

// One channel.  All zero is a channel with nothing to play.
struct channel_t {
    int32_t state;              // channelState_t
    model_t *model;             // whose animation list names the animations
    intptr_t word;              // given at set-up
    centity_t *owner;           // passed on by a GOTO end action to the next animation
    float time;                 // 0 start .. 1 end of the animation
    animation_t *animation;
    modelAnim_t *modelAnim;
};

// A tag placed in the world.
struct tagState_t {
    char name[MODEL_TAG_NAME_SIZE];
    vec3_t origin;
    matrix3x3_t axis;           // rows right, up, forward
};

void CG_ClearChannel(channel_t *channel);  // forgets everything, the model too
void CG_SetupChannel(channel_t *channel, model_t *model, intptr_t word);
// Plays the named animation of the channel's model from its start (from its end
// when it runs backwards); with keep, the same animation already playing goes on.
// A name the model does not have empties the channel.
void CG_PutToChannel(channel_t *channel, const char *name, centity_t *owner, uint8_t keep);
// Holds the named animation at a fraction 0..1, running the frame actions passed
// since the last hold.
void CG_PutFractionToChannel(channel_t *channel, const char *name, centity_t *owner, float fraction);
// The same at a time that may run past 1 (the test model's): a REPEAT or MIRROR
// animation wraps by its end action, CLAMP and GOTO stay on their last frame.
void CG_PutTimeToChannel(channel_t *channel, const char *name, centity_t *owner, float time);
void CG_PutPendingToChannel(channel_t *channel);
// A held channel whose animation ends in GOTO plays the next one; another held
// channel becomes empty.
void CG_ResumeChannel(channel_t *channel);
bool CG_IsChannelFinished(const channel_t *channel);
void CG_UpdateChannel(channel_t *channel);  // moves a playing channel on by this frame

// Samples the channel into the model's local bone matrices (locals holds at least
// the model's bone count).
void CG_ExtractChannel(matrix3x4_t *locals, channel_t *channel);
void CG_ClearBoneStates(int32_t count, matrix3x4_t *matrices);
// Resolves the skeleton from bone down; absolutes and locals hold the model's bones.
void CG_LocalsToAbsolutes_r(matrix3x4_t *absolutes, const matrix3x4_t *locals, int32_t bone, const model_t *model);
// One state per tag of the model (states holds model->numTags) placed by the bone
// matrices (none when boneCount is 0) and then by the entity's axis and origin; the
// tag count.
int32_t CG_SetupTagStates(tagState_t *states, int32_t boneCount, const matrix3x4_t *absolutes, const model_t *model,
                          const float axis[9], const vec3_t origin);
// The first of count states with that exact name; null when none (or no states).
const tagState_t *CG_GetTagState(int32_t count, const tagState_t *states, const char *name);
