// Server-game services that the shared module code calls.
#include "game_sv/sg_services.h"

#include "game/g_move.h"
#include "game/g_utils.h"
#include "game/g_weapon.h"

clientState_t *SG_ClientState(sgClient_t *client) {
    // The record begins with the state the engine reads in place.
    return reinterpret_cast<clientState_t *>(client);
}

gameTrace_t *SG_RayTrace(gameTrace_t *out, const vec3_t start, const vec3_t end, void *skip, int32_t mask,
                         uint8_t smallBoxes) {
    (void)skip;  // no entity records can be hit yet: the world alone stops the ray
    (void)mask;
    (void)smallBoxes;
    G_WorldRayTrace(out, start, end);
    return out;
}

void SG_IssueWeaponChange(sgClient_t *client, int32_t weapon) {
    if (!client || !G_WeaponClass(weapon)) return;
    clientState_t *cs = SG_ClientState(client);
    cs->flags |= CSF_SWITCHING;
    cs->pendingWeapon = weapon;
}

void SG_IssueReload(sgClient_t *client) {
    if (!client) return;
    clientState_t *cs = SG_ClientState(client);
    const weaponClass_t *wc = G_WeaponClass(cs->weapon);
    if (!wc || cs->reserve[cs->weapon] <= 0 || cs->clip[cs->weapon] >= wc->clipSize) return;
    cs->flags |= CSF_RELOADING;
    if (wc->reload) wc->reload(client);
}

void SG_IssueFire(sgClient_t *client, uint8_t secondary) {
    if (!client) return;
    clientState_t *cs = SG_ClientState(client);
    const weaponClass_t *wc = G_WeaponClass(cs->weapon);
    if (!wc || !wc->fire || (cs->flags & (CSF_FIRING | CSF_RELOADING | CSF_SWITCHING))) return;
    if (!wc->fire(client, cs->weapon == WP_DIRTGUN ? secondary : 0)) return;
    cs->weaponTime = 0;
    cs->flags |= CSF_FIRING | CSF_FIRE_HELD;
    if (cs->weapon != WP_MEELGUN && cs->clip[cs->weapon] > 0) cs->clip[cs->weapon]--;
}

const cmoveWeaponActions_t sg_weaponActions = {
    [](void *owner, int32_t weapon) { SG_IssueWeaponChange(static_cast<sgClient_t *>(owner), weapon); },
    [](void *owner) { SG_IssueReload(static_cast<sgClient_t *>(owner)); },
    [](void *owner, uint8_t secondary) { SG_IssueFire(static_cast<sgClient_t *>(owner), secondary); },
};
