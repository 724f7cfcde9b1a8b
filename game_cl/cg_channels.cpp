// Animation channels.  No model of this build has animations, so every name asked
// for is missing: a channel given one becomes empty and has nothing to advance.
#include "game_cl/cg_channels.h"

void CG_ClearChannel(channel_t *channel) { *channel = channel_t{}; }

void CG_UpdateChannel(channel_t *channel) { (void)channel; }

void CG_PutToChannel(channel_t *channel, const char *name, centity_t *owner, uint8_t keep) {
    (void)name;
    (void)owner;
    (void)keep;
    channel->state = CHANNEL_EMPTY;
}

void CG_PutFractionToChannel(channel_t *channel, const char *name, centity_t *owner, float fraction) {
    (void)name;
    (void)owner;
    (void)fraction;
    channel->state = CHANNEL_EMPTY;
}

void CG_ResumeChannel(channel_t *channel) {
    if (channel->state == CHANNEL_HELD) channel->state = CHANNEL_EMPTY;
}
