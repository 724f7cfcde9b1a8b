// The engine_headless test build: the test renderer and sound system take the place
// of the null ones before anything starts.  They are compiled into this one unit so
// that their records are initialised before the installer below runs (the order of
// initialisation holds within a unit, not across units).
#include "tests/headless/re_headless.cpp"

#include <cstdlib>

#include "base/base.h"

static const bool re_headlessInstalled = (RE_InstallHeadless(), true);

// The clocks' restarts lie weeks after a start; a test brings them within reach.
// HM_TEST_CLOCK_AHEAD and HM_TEST_TIME_AHEAD (ms, decimal) start the engine clock
// and the game time that far ahead.
static uint32_t AheadFromEnvironment(const char *name) {
    const char *text = getenv(name);
    return text ? static_cast<uint32_t>(strtoul(text, nullptr, 10)) : 0u;
}
static const bool base_testClocksSet = (base_testClockAhead = AheadFromEnvironment("HM_TEST_CLOCK_AHEAD"),
                                        base_testTimeAhead = AheadFromEnvironment("HM_TEST_TIME_AHEAD"), true);
