// The game module's one exported symbol.
#include "common/common.h"

extern "C" __attribute__((visibility("default"))) void *GetGameAPI(void *import) {
    (void)import;
    return nullptr;  // the module entry record is not built yet
}
