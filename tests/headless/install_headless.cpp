// The engine_headless test build: the test renderer and sound system take the place
// of the null ones before anything starts.
#include "tests/headless/re_headless.h"

static const bool re_headlessInstalled = (RE_InstallHeadless(), true);
