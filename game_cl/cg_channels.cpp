// Animation channels.  No animation is loaded in this build, so a channel only
// keeps what it was given and advancing one has nothing to move.
#include "game_cl/cg_channels.h"

void CG_ClearChannel(channel_t *channel) { *channel = channel_t{}; }

void CG_AdvanceChannel(channel_t *channel) { (void)channel; }
