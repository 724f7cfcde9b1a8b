// The game module's one exported symbol: the engine looks it up by name.
#include "game/g_main.h"

extern "C" __attribute__((visibility("default"))) gameExport_t GetGameAPI(gameImport_t import) {
    return G_GetGameAPI(import);
}
