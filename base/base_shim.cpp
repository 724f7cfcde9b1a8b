#include "base/base_shim.h"

#include <cstdlib>

qbase_t qbase;
void Base_PanicShutdown() { exit(1); }
void Base_Shutdown() { exit(0); }
int Base_GetParam(const char *) { return 0; }
