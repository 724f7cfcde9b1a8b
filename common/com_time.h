// Ages on clocks that restart.  The engine clock restarts at 2^31 ms and the game
// time just before it; neither is a wrap, so a difference of two readings across a
// restart means nothing without knowing where the clock began again.
#pragma once

#include <cstdint>

constexpr uint32_t COM_TIME_START = 0x5FFFF;  // game time at start and after its restart, ms

// Where a restarting clock last began again.
struct comRestart_t {
    uint32_t count;  // restarts so far
    uint32_t from;   // the reading at which it restarted
    uint32_t to;     // the reading it began again at
};

// ms from stamp to now on a clock that restarts (r: its last restart).  A stamp ahead
// of now was taken before the restart (the clock hands out no later one while it
// runs), so its age runs up to where the clock stood then and on from where it began
// again.  With no restart yet, a stamp ahead of now is 0 ms old.  A stamp older than
// a whole run of the clock (24.8 days) reads as younger by that run.  At most INT32_MAX.
int32_t Com_AgeOn(const comRestart_t &r, uint32_t now, uint32_t stamp);
