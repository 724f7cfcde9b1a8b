// Animation channels: one skeletal animation playing on one model, advanced each
// frame.  The view weapon and the players' bodies each keep channels.
#pragma once

#include <cstdint>

struct centity_t;

enum channelState_t : int32_t {
    CHANNEL_EMPTY = 0,
    CHANNEL_HELD = 1,     // held at a fraction of the animation
    CHANNEL_PLAYING = 2,
};

// One channel.  All zero is a channel with nothing to play.
struct channel_t {
    int32_t model;      // model handle; 0 none
    int32_t animation;  // animation handle; 0 none
    int32_t state;      // channelState_t
    centity_t *owner;   // whose action words the animation's frames run; null the viewer
    float time;         // 0..1 through the animation
};

void CG_ClearChannel(channel_t *channel);   // forgets model, animation, owner and time
void CG_UpdateChannel(channel_t *channel);  // moves a playing channel on by this frame
// Plays the named animation of the channel's model from its start; with keep, an
// animation already playing goes on.  A name the model does not have empties the channel.
void CG_PutToChannel(channel_t *channel, const char *name, centity_t *owner, uint8_t keep);
// Holds the named animation at a fraction 0..1.
void CG_PutFractionToChannel(channel_t *channel, const char *name, centity_t *owner, float fraction);
// A held channel plays on from where its animation leads.
void CG_ResumeChannel(channel_t *channel);
