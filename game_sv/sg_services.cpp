// Server-game services that the shared module code calls.
#include "game_sv/sg_services.h"

#include "game/g_public.h"

clientState_t *SG_ClientState(sgClient_t *client) {
    // The record begins with the state the engine reads in place.
    return reinterpret_cast<clientState_t *>(client);
}

const cmoveWeaponActions_t sg_weaponActions = {
    [](void *owner, int32_t weapon) { SG_IssueWeaponChange(static_cast<sgClient_t *>(owner), weapon); },
    [](void *owner) { SG_IssueReload(static_cast<sgClient_t *>(owner)); },
    [](void *owner, uint8_t secondary) { SG_IssueFire(static_cast<sgClient_t *>(owner), secondary); },
};
