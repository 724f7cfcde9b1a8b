// Ages on clocks that restart: the engine clock at 2^31 ms begins again at 65,535,
// the game time just before it at COM_TIME_START.
#include <gtest/gtest.h>

#include "common/com_time.h"

namespace {

constexpr uint32_t CLOCK_START = 65535;  // where the engine clock begins again

// A stamp from before a restart is as old as the time up to the restart plus the
// time since; without a restart the plain difference.
TEST(Time, AgesOfStampsHoldAcrossAClockRestart) {
    const comRestart_t none{};
    const comRestart_t clock{1, 0x7FFFFFFFu + 3, CLOCK_START};
    const comRestart_t time{1, 0x7FFFFFF0u, COM_TIME_START};
    struct ageCase_t {
        const char *name;
        const comRestart_t *restart;
        uint32_t now, stamp;
        int32_t age;
    } cases[] = {
        {"plain", &none, 70000, 60000, 10000},
        {"same moment", &clock, 70000, 70000, 0},
        {"after the restart", &clock, 70000, 65535, 4465},
        {"ahead, no restart", &none, 70000, 70010, 0},
        {"clock: before the restart", &clock, CLOCK_START + 100, 0x7FFFFFFFu - 400, 503},
        {"clock: stamp 0 of a send never made", &clock, CLOCK_START + 100, 0, CLOCK_START + 100},
        {"time: before the restart", &time, COM_TIME_START + 50, 0x7FFFFFF0u - 10000, 10050},
        {"time: a whole run ago", &time, COM_TIME_START + 50, COM_TIME_START + 10, 40},
    };
    for (const ageCase_t &c : cases) EXPECT_EQ(Com_AgeOn(*c.restart, c.now, c.stamp), c.age) << c.name;
}

}  // namespace
