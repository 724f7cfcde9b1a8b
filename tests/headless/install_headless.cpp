// The engine_headless test build: the test renderer and sound system take the place
// of the null ones before anything starts.  They are compiled into this one unit so
// that their records are initialised before the installer below runs (the order of
// initialisation holds within a unit, not across units).
#include "tests/headless/re_headless.cpp"

static const bool re_headlessInstalled = (RE_InstallHeadless(), true);
