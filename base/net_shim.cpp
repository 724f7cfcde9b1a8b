// Weak, so that the common library's definition takes its place when it is linked.
#include "base/net_shim.h"

#include <cstdlib>

__attribute__((weak)) float Com_frand() { return static_cast<float>(rand() & 0x7FFF) * 3.051851e-5f; }
