// The client command: once per client frame the player's intentions, gathered
// from the one-frame requests of the cc_* commands, go to the engine's client.
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_move.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game/g_weapon.h"
#include "game_cl/cg_commands.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_main.h"
#include "game_ui/ui_main.h"

static_assert(CCA_BUTTONS <= CG_ACTION_FLAGS && CCA_LAST_USED_WEAPON < CG_ACTION_FLAGS);

// The weapons that carry a clip and a reserve and can run dry.
static bool HasAmmunition(int32_t weapon) { return weapon >= WP_MINIGUN && weapon <= WP_RAILGUN; }

// The weapon to change to when the one in hand is dry: the first with rounds in
// its clip, else the first with spare rounds, else the Meelgun.
static uint8_t LoadedWeapon(const clientState_t &ps) {
    for (int32_t w = WP_MINIGUN; w <= WP_RAILGUN; w++)
        if (ps.clip[w] != 0) return static_cast<uint8_t>(w);
    for (int32_t w = WP_MINIGUN; w <= WP_RAILGUN; w++)
        if (ps.reserve[w] > 0) return static_cast<uint8_t>(w);
    return WP_MEELGUN;
}

// The command as the server will have it: its angles and aim in the steps they
// travel in.  The ring keeps this, so the prediction replays what the server runs.
static void AsReceived(cc_t *cc) {
    for (float &a : cc->angles) {
        AngleMod(&a);
        a = CC_AngleFromWire(CC_AngleToWire(a));
    }
    for (float &c : cc->aim) c = CC_AimFromWire(CC_AimToWire(c));
}

void CG_CCFrame() {
    if (cg.ecl.state != ECL_CONNECTED) return;
    const clientState_t &ps = cg.predicted;

    cg.ccNumber++;
    cc_t *cc = &cg.ccRing[cg.ccNumber & (CG_CC_RING - 1)];
    memset(cc, 0, sizeof *cc);
    cc->number = cg.ccNumber;
    cc->time = qgame.time;

    // The view: what the mouse turned, plus the offset (recoil) the game adds.
    for (int i = 0; i < 3; i++) cg.commandAngles[i] = cg.inputAngles[i] + ps.kickVelocity[i];
    _VectorCopy(cc->angles, cg.commandAngles);

    // The aim is the predicted heading (cc_t::aim); before there is one, the frame the
    // movement would build where the player stands.
    if (VectorIsZero(ps.viewAxis[0])) {
        float axis[9];
        G_CreateEllipticAxis(cg.flatGravity, axis, ps.origin);
        _VectorCopy(cc->aim, axis);
    } else {
        _VectorCopy(cc->aim, ps.viewAxis[0]);
    }

    // Empty-handed: take the weapon just picked up, the lowest number first.
    if (cg.selectedWeapon == WP_NONEGUN) {
        const uint32_t gained = ps.ownedWeapons & ~cg.previousState.ownedWeapons;
        for (uint32_t w = WP_MEELGUN; w < WP_NONEGUN; w++) {
            if (gained & (1u << w)) {
                cg.selectedWeapon = w;
                break;
            }
        }
    }
    if (cg.actionFlags[CCA_LAST_USED_WEAPON]) cg.selectedWeapon = cg.lastUsedWeapon;
    cc->weapon = static_cast<uint8_t>(cg.selectedWeapon);
    cc->deformMode = static_cast<uint8_t>(cg.selectedDeformMode);

    // A held secondary-fire key flips the zoom toggle once per press.
    if (!cg.actionFlags[CCA_FIRE2]) cg.fire2Latch = 0;

    for (int i = 0; i < CCA_BUTTONS; i++)
        if (cg.actionFlags[i]) cc->buttons |= 1u << i;
    if (UI_IsSpectatorAimMode()) cc->buttons |= BT_SPECTATOR_AIM;

    const size_t textLength = strnlen(cg.pendingText, sizeof cg.pendingText);
    if (textLength) {
        cc->textLength = static_cast<uint32_t>(textLength);
        Com_strncpyz(cc->text, cg.pendingText, sizeof cc->text);
    }

    // The weapon in hand is judged as the prediction has it; a number from the
    // server outside the weapons is left alone.
    const int32_t held = ps.weapon;
    const bool firing = cc->buttons & (BT_FIRE | BT_FIRE2);
    if (cg_autoReload.value != 0.0f && HasAmmunition(held) && ps.clip[held] == 0 && ps.reserve[held] > 0 && !firing)
        cc->buttons |= BT_RELOAD;
    // The selection goes along: a dry weapon still owned (given without rounds) would
    // otherwise be asked for again once the change is done, and back and forth.
    if (HasAmmunition(held) && cc->weapon == held && ps.clip[held] == 0 && ps.reserve[held] <= 0 && !firing)
        cg.selectedWeapon = cc->weapon = LoadedWeapon(ps);

    AsReceived(cc);
    Trap_CL_SendClientCommand(cc);
    memset(cg.actionFlags, 0, sizeof cg.actionFlags);
    memset(cg.pendingText, 0, sizeof cg.pendingText);
}

void CG_RequestZoom() {
    if (cg.predicted.weapon == WP_RAILGUN && !(cg.predicted.flags & CSF_RELOADING)) {
        cg.actionFlags[cg.zoomToggle == 1 ? CCA_ZOOM_IN : CCA_ZOOM_OUT] = 1;
    } else {
        cg.actionFlags[CCA_ZOOM_OUT] = 1;
        cg.zoomToggle = 0;
    }
}
