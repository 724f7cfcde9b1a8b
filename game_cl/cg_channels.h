// Animation channels: one skeletal animation playing on one model, advanced each
// frame.  The view weapon and the players' bodies each keep channels.
#pragma once

#include <cstdint>

// One channel.  All zero is a channel with nothing to play.
struct channel_t {
    int32_t model;      // model handle; 0 none
    int32_t animation;  // animation handle; 0 none
    float time;         // seconds into the animation
};

void CG_ClearChannel(channel_t *channel);    // forgets model, animation and time
void CG_AdvanceChannel(channel_t *channel);  // moves the channel on by this frame
