// Server-game services that the shared module code calls.
#include "game_sv/sg_services.h"

#include "game/g_move.h"
#include "game/g_utils.h"
#include "game/g_weapon.h"
#include "game_sv/sg_local.h"

clientState_t *SG_ClientState(sgClient_t *client) {
    // The record begins with the state the engine reads in place.
    return reinterpret_cast<clientState_t *>(client);
}

// Where the segment start + t·(end − start), t in 0..1, enters the box; -1 when it
// misses.  A start inside the box enters at 0.
static float RayEntersBox(const vec3_t start, const vec3_t end, const obb_t *box) {
    vec3_t rel, move;
    _VectorSub(rel, start, box->origin);
    _VectorSub(move, end, start);
    float enter = 0.0f, leave = 1.0f;
    for (int i = 0; i < 3; i++) {
        const float s = _DotProduct(box->axis[i], rel), d = _DotProduct(box->axis[i], move), h = box->halfSize[i];
        if (d == 0.0f) {
            if (s < -h || s > h) return -1.0f;
            continue;
        }
        float t0 = (-h - s) / d, t1 = (h - s) / d;
        if (t0 > t1) {
            const float t = t0;
            t0 = t1;
            t1 = t;
        }
        if (t0 > enter) enter = t0;
        if (t1 < leave) leave = t1;
        if (!(enter <= leave)) return -1.0f;
    }
    return enter;
}

gameTrace_t *SG_RayTrace(gameTrace_t *out, const vec3_t start, const vec3_t end, void *skip, int32_t mask,
                         uint8_t smallBoxes) {
    (void)smallBoxes;  // one hit box per entity here
    *out = g_emptyTrace;
    out->trace.fraction = 1.0f;
    _VectorCopy(out->trace.endpos, end);
    if (mask & CONTENTS_WORLD) G_WorldRayTrace(out, start, end);
    if (mask == CONTENTS_WORLD) return out;
    for (sgEntity_t &e : sg.entities) {
        if (!e.s.inUse || e.isEvent || &e == skip || !(e.contents & static_cast<uint32_t>(mask)) || !e.hasHitBox ||
            e.railPass)
            continue;
        SG_UpdateEntityHitBox(&e);
        const float f = RayEntersBox(start, end, &e.hitBox);
        if (f < 0.0f || !(f < out->trace.fraction)) continue;
        out->trace.fraction = f;
        VectorLerp(out->trace.endpos, start, end, f);
        _VectorSub(out->trace.plane, start, end);
        VectorNormalize(out->trace.plane);
        out->trace.plane[3] = 0.0f;
        out->entity = &e;
    }
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
