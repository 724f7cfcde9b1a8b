// Weak, so that the start-up code's own definitions take their place when linked.
#include "base/base_shim.h"

#include <cstdlib>

__attribute__((weak)) qbase_t qbase;
__attribute__((weak)) void Base_PanicShutdown() { exit(1); }
__attribute__((weak)) void Base_Shutdown() { exit(0); }
__attribute__((weak)) int Base_GetParam(const char *) { return 0; }
