// Server-game services that the shared module code calls.
#include "game_sv/sg_services.h"

#include "game/g_public.h"

clientState_t *SG_ClientState(sgClient_t *client) {
    // The record begins with the state the engine reads in place.
    return reinterpret_cast<clientState_t *>(client);
}
