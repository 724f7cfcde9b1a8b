// The player's own events: the two event rings of the predicted client state,
// each entry presented once, and the weapon flags as view-weapon animations.
#include <cstdio>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_move.h"
#include "game/g_traps.h"
#include "game/g_weapon.h"
#include "game_cl/cg_actions.h"
#include "game_cl/cg_centities.h"
#include "game_cl/cg_channels.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_marks.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_particles.h"
#include "game_cl/cg_predict.h"
#include "game_cl/cg_utils.h"

constexpr int CG_EVENT_PATH = 128;
constexpr float CG_DRUM_TURN = 0.125f;  // one shot turns the grenade drum by one of its eight places
constexpr float CG_FIRE_ROLL = 15.0f;   // degrees either way of a shot's random roll

// The tag of the weapon in hand, naming its scripts and animations; null when
// the number from the server names no weapon.
static const char *HeldTag() {
    const weaponClass_t *wc = G_WeaponClass(cg.predicted.weapon);
    return wc && wc->tag ? wc->tag : nullptr;
}

static bool FirstPerson() { return CG_VarInteger("cg_thirdPerson", 0) == 0; }

// Runs an action script at the predicted player.
static void RunLocal(const char *path) {
    CG_RunActionScript(path, cg.predicted.origin, cg.predictedAxis, 0, 0);
}

// Runs the script whose path names the held weapon's tag in place of %s.
static void RunLocalForWeapon(const char *format) {
    const char *tag = HeldTag();
    if (!tag) return;
    char path[CG_EVENT_PATH];
    snprintf(path, sizeof path, format, tag);
    RunLocal(path);
}

// "<prefix>_<tag>" of the held weapon: its animation of that kind; false when the
// weapon number names no weapon.
static bool WeaponAnimation(char (&name)[CG_EVENT_PATH], const char *prefix) {
    const char *tag = HeldTag();
    if (!tag) return false;
    snprintf(name, sizeof name, "%s_%s", prefix, tag);
    return true;
}

// Plays the held weapon's animation of a kind; keep leaves the same animation running.
static void PlayWeaponAnimation(channel_t *channel, const char *prefix, uint8_t keep) {
    char name[CG_EVENT_PATH];
    if (WeaponAnimation(name, prefix)) CG_PutToChannel(channel, name, nullptr, keep);
}

// Holds the held weapon's animation of a kind at a fraction.
static void HoldWeaponAnimation(channel_t *channel, const char *prefix, float fraction) {
    char name[CG_EVENT_PATH];
    if (WeaponAnimation(name, prefix)) CG_PutFractionToChannel(channel, name, nullptr, fraction);
}

static void WeaponFired(uint32_t number) {
    if (FirstPerson()) RunLocalForWeapon("game/c_actions/fire/%s_local.action");
    PlayWeaponAnimation(&cg.weaponChannel, "fire", number == CGE_FIRE_FIRST ? 1 : 0);
    // A shell leaves the gun only where the view weapon last placed its ejection
    // port, and only while that place is fresh.
    if (number == static_cast<uint32_t>(CGE_FIRE_FIRST) + WP_MINIGUN && cg.shellEject.frame &&
        qgame.frameCount - cg.shellEject.frame <= 1)
        CG_CreateShell(cg.shellEject.origin, cg.shellEject.axis, cg.shellEject.direction, cg.predicted.velocity);
    cg.lastShotWeapon = cg.predicted.weapon;
    cg.lastShotTime = static_cast<int32_t>(qgame.time);
    cg.lastShotFrame = qgame.frameCount;
    cg.lastShotRoll = Trap_crand() * CG_FIRE_ROLL;
}

// The announcer: the same announcement is heard at most once in its repeat time.
static void Announce(uint32_t number) {
    if (number == cg.lastAnnouncement &&
        G_TimeAge(static_cast<uint32_t>(cg.lastAnnouncementTime)) < CG_ANNOUNCER_REPEAT_MS)
        return;
    cg.lastAnnouncement = number;
    cg.lastAnnouncementTime = static_cast<int32_t>(qgame.time);
    Trap_S_PlayLocalSound(cgMedia.handles[CGM_ANNOUNCER + (number - CGE_ANNOUNCER_FIRST)]);
}

void IssueEvent(uint32_t number) {
    static const char *const PICKUP_AMMO[] = {
        "game/c_actions/pick_up/mini_local.action",
        "game/c_actions/pick_up/shot_local.action",
        "game/c_actions/pick_up/gren_local.action",
        "game/c_actions/pick_up/rail_local.action",
    };
    if (number >= CGE_FIRE_FIRST && number <= CGE_FIRE_LAST) {
        WeaponFired(number);
        return;
    }
    if (number >= CGE_NO_AMMO_FIRST && number <= CGE_NO_AMMO_LAST) {
        if (FirstPerson()) RunLocalForWeapon("game/c_actions/fire/%s_noammo_local.action");
        return;
    }
    if (number >= CGE_RELOAD_FIRST && number <= CGE_RELOAD_LAST) {
        if (FirstPerson()) RunLocalForWeapon("game/c_actions/reload/%s_local.action");
        if (cg.predicted.weapon == WP_GRENGUN) cg.drumFraction = 0;
        return;
    }
    if (number >= CGE_PICKUP_MINIGUN && number <= CGE_PICKUP_RAILGUN) {
        const uint32_t i = number - CGE_PICKUP_MINIGUN;
        RunLocal(PICKUP_AMMO[i]);
        CG_AutoChangeWeapon(static_cast<int32_t>(WP_MINIGUN + i));
        return;
    }
    if (number >= CGE_ANNOUNCER_FIRST && number <= CGE_ANNOUNCER_LAST) {
        Announce(number);
        return;
    }
    switch (number) {
        case CGE_RESET_ANGLES: _VectorClear(cg.inputAngles); break;
        case CGE_LOOK_DOWN:
            cg.inputAngles[0] = 0;
            cg.inputAngles[1] = 90;
            cg.inputAngles[2] = 0;
            break;
        case CGE_CLEAR_MARKS: CG_ClearMarks(); break;
        case CGE_CLEAR_PARTICLES: CG_ClearParticles(); break;
        case CGE_CLEAR_CENTITIES: CG_ClearCEntities(); break;
        case CGE_SPAWNED:
            if (FirstPerson()) RunLocal("game/c_actions/player_spawn_local.action");
            cg.selectedWeapon = WP_MINIGUN;
            if (cg.weaponChannel.model) PlayWeaponAnimation(&cg.weaponChannel, "idle", 0);
            break;
        case CGE_WEAPON_CHANGE:
            if (FirstPerson()) RunLocal("game/c_actions/change_weapon_local.action");
            break;
        case CGE_WEAPON_SELECTED:
            // The HUD and the next command look the selection up: only a weapon that exists.
            if (G_WeaponClass(cg.predicted.weapon)) cg.selectedWeapon = static_cast<uint32_t>(cg.predicted.weapon);
            cg.selectedDeformMode = 0;
            break;
        case CGE_RAIL_CHARGE:
            if (FirstPerson()) RunLocal("game/c_actions/fire/rail_build_up_local.action");
            break;
        case CGE_PAIN:
            if (FirstPerson()) RunLocal("game/c_actions/pain_local.action");
            break;
        case CGE_HIT: RunLocal("game/c_actions/hit_local.action"); break;
        case CGE_PICKUP_LIFE: RunLocal("game/c_actions/pick_up/life_local.action"); break;
        case CGE_PICKUP_ARMOR: RunLocal("game/c_actions/pick_up/armor_local.action"); break;
        case CGE_PICKUP_BERSERK: RunLocal("game/c_actions/pick_up/berserk_local.action"); break;
        case CGE_PICKUP_DIRTGUN: RunLocal("game/c_actions/pick_up/dirt_local.action"); break;
        case CGE_JUMP:
            if (FirstPerson()) RunLocal("game/c_actions/jump_local.action");
            break;
        case CGE_LAND:
            if (FirstPerson()) RunLocal("game/c_actions/land_local.action");
            break;
        case CGE_CRASH_LAND:
            if (FirstPerson()) RunLocal("game/c_actions/crash_land_local.action");
            break;
        case CGE_FOOTSTEP:
            if (FirstPerson()) RunLocal("game/c_actions/footstep_local.action");
            break;
        default: Com_DPrintf("WARNING CG_IssueClientEvents: Unknown SE: %d", static_cast<int>(number)); break;
    }
}

// Presents the new entries of one ring once each.
static void IssueRing(uint32_t count, const uint8_t events[CLIENT_EVENT_RING], uint32_t *issued, bool movement) {
    // A counter that went back (a new connection) must not replay old entries.
    if (static_cast<int32_t>(*issued - count) > 0) *issued = count;
    if (count - *issued > CG_CLIENT_EVENT_BACKLOG) {
        Com_DPrintf(movement ? "CG_IssueClientEvents: Mucking event cmove index ( %d issued: %d )"
                             : "CG_IssueClientEvents: Mucking event index ( %d issued: %d )",
                    static_cast<int>(count), static_cast<int>(*issued));
        *issued = count;
    }
    while (*issued != count) {
        const uint8_t event = events[*issued & (CLIENT_EVENT_RING - 1)];
        if (CG_VarInteger("cg_printEvents", 0))
            Com_Printf(movement ? "CMoveEventIndex: %d Type: %d" : "EventIndex: %d Type: %d",
                       static_cast<int>(*issued), static_cast<int>(event));
        IssueEvent(event);
        (*issued)++;
    }
}

void CG_IssueClientEvents() {
    IssueRing(cg.predicted.eventCount, cg.predicted.events, &cg.issuedEvents, false);
    IssueRing(cg.predicted.moveEventCount, cg.predicted.moveEvents, &cg.issuedMoveEvents, true);
}

void CG_IssueClientFlaggs() {
    const clientState_t &cs = cg.predicted;
    if (cs.weapon == WP_GRENGUN && (cs.flags & CSF_FIRING) && !(cs.flags & CSF_FAST_REFIRE)) {
        const float growth = cs.weaponTime - cg.previousState.weaponTime;
        if (growth > 0) cg.drumFraction += growth * CG_DRUM_TURN;
        CG_PutFractionToChannel(&cg.drumChannel, "rot", nullptr, cg.drumFraction);
    }
    if (cs.flags & CSF_RELOADING) {
        HoldWeaponAnimation(&cg.weaponChannel, "reload", cs.weaponTime);
    } else if (cs.flags & CSF_SWITCHING) {
        // The old weapon goes down in the first half, the new one comes up in the second.
        const float p = cs.weaponTime;
        if (p >= 0.5f)
            HoldWeaponAnimation(&cg.weaponChannel, "to", 2 * p - 1);
        else
            HoldWeaponAnimation(&cg.weaponChannel, "away", 2 * p);
    } else {
        CG_ResumeChannel(&cg.weaponChannel);
    }
    if (!(cs.flags & CSF_RELOADING)) {
        // A reload script may take the magazine into the hand; once the reload is
        // over (finished or broken off) it is back in the gun.
        cg.weaponFrameFlag = 0;
        cg.magazineInHand = 0;
    }
}
