// The operator's console commands: starting maps, restarts, listings, bots,
// gifts and announcements.
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_cl/cg_main.h"
#include "game_sv/sg_local.h"

namespace {

constexpr int32_t MAX_DELAY_SECONDS = 99;
constexpr int SAY_SIZE = 128;  // a said text of at most 127 characters

// True when the file can be read under that path.
bool Exists(const char *path) { return Trap_ReadFile(path, nullptr) > 0; }

// Sets a pending restart or map change: due now and silent, or after the given seconds.
void Schedule(uint8_t &pending, int32_t &due, const char *announcement) {
    pending = 1;
    due = SG_Now();
    if (G_Argc() < 2) return;
    int32_t seconds = Com_atoi(G_Argv(1));
    seconds = seconds < 0 ? 0 : (seconds > MAX_DELAY_SECONDS ? MAX_DELAY_SECONDS : seconds);
    SG_Printf(PRINT_ALL, announcement, seconds);
    due = SG_Later(seconds * 1000);
}

// The command's words 1.. joined with single blanks.
void JoinArgs(char *out, int size) {
    out[0] = 0;
    for (int i = 1; i < G_Argc(); i++) {
        if (i > 1) Com_strcat(out, static_cast<size_t>(size), " ");
        Com_strcat(out, static_cast<size_t>(size), G_Argv(i));
    }
}

void Say(int32_t mode, const char *usage) {
    if (G_Argc() < 2) {
        Com_Printf("%s", usage);
        return;
    }
    char text[SAY_SIZE];
    JoinArgs(text, sizeof text);
    SG_Printf(mode, "%s", text);
}

void GiveWeapons(sgClient_t &c) {
    for (int w = 0; w < SG_WORLD_WEAPONS; w++)
        if (sg.world.weapons[w].present) c.cs.ownedWeapons |= static_cast<uint8_t>(1u << w);
}

void GiveAmmo(sgClient_t &c) {
    for (int w = 0; w < WEAPON_COUNT; w++) {
        const weaponClass_t *wc = G_WeaponClass(w);
        if (!(c.cs.ownedWeapons & (1u << w)) || !wc) continue;
        c.cs.clip[w] = SG_ClampByte(wc->clipSize);
        if (w != WP_DIRTGUN) c.cs.reserve[w] = SG_ClampShort(wc->maxReserve);
    }
}

}  // namespace

void SG_Map_f() {
    const int32_t argc = G_Argc();
    if (argc < 2 || argc > 4) {
        Com_Printf("USAGE: map <map filepath> [<rules> <max players>]");
        return;
    }
    char path[SG_PATH_SIZE];
    Com_strncpyz(path, G_Argv(1), sizeof path);
    if (!path[0]) return;
    if (!Com_CheckExtension(path)) {
        if (!Com_AddFileExtIfNeeded(path, sizeof path, ".world")) {
            Com_Error(ER_ERROR, "\"%s\": path too long", path);
            return;
        }
    } else if (!Com_IsExtension(path, ".world")) {
        Com_Error(ER_ERROR, "\"%s\": file must have extension .world", path);
        return;
    }
    if (!Exists(path)) {
        for (const char *dir : {"game/c_maps/%s", "maps/%s"}) {
            const char *candidate = va(dir, path);
            if (strlen(candidate) < sizeof path && Exists(candidate)) {
                Com_strncpyz(path, candidate, sizeof path);
                break;
            }
        }
    }
    if (!Exists(path)) {
        Com_Error(ER_ERROR, "Could not find file \"%s\"", path);
        return;
    }
    if (CG_IsInitialized()) CG_Disconnect(1);

    int32_t rules = -1, limit = -1;
    if (argc > 2)
        rules = G_GetRules(G_Argv(2));
    else if (sgs.running)
        rules = G_GetRules(sg_rules.string);
    if (argc > 3) {
        limit = Com_atoi(G_Argv(3));
    } else if (sgs.running) {
        const cmdVar_t *maxPlayers = Trap_GetCVar("sv_maxPlayers");
        if (!maxPlayers) {
            Com_AssertFailed("../game_sv/sg_init", 328);
            return;
        }
        limit = maxPlayers->integer;
    }
    SG_StartServer(path, rules, limit);
}

void SG_PrintCrystal_f() {
    auto carrierLine = [](const char *label, const sgClient_t *c) {
        Com_Printf("%sCrystalCarrier: clNum: %d (%.2f %.2f %.2f)", label, c->number, c->cs.origin[0], c->cs.origin[1],
                   c->cs.origin[2]);
    };
    if (sg.rules == RULES_CRYSTAL_ROUNDS) {
        if (sg.crystal)
            Com_Printf("Crystal: %.2f %.2f %.2f", sg.crystal->s.origin[0], sg.crystal->s.origin[1],
                       sg.crystal->s.origin[2]);
        else if (sg.crystalCarrier)
            carrierLine("", sg.crystalCarrier);
        else
            Com_Printf("Found no crystal");
    } else if (sg.rules == RULES_CAPTURE_CRYSTAL) {
        static const char *const NAMES[2] = {"Blue", "Red"};
        for (int team = 0; team < 2; team++)
            if (const sgEntity_t *e = sg.teamCrystal[team])
                Com_Printf("%s Crystal: %.2f %.2f %.2f", NAMES[team], e->s.origin[0], e->s.origin[1], e->s.origin[2]);
        for (int team = 0; team < 2; team++)
            if (const sgClient_t *c = sg.teamCrystalCarrier[team]) carrierLine(va("%s ", NAMES[team]), c);
    }
}

void SG_CaptureCrystal_f() {}

void SG_ClientList_f() {
    int count = 0;
    for (const sgClient_t &c : sgs.clients) {
        if (!c.inUse) continue;
        count++;
        const char *state = c.cs.moveType == CS_PLAYING ? "PLYR" : (c.cs.moveType == CS_SPECTATOR ? "SPEC" : "    ");
        const uint8_t *ip = c.address.ip;
        Com_Printf("\xA4" "08%2d\xA4" "00 \xA4" "08%-17s\xA4" "00 \xA4" "08%d.%d.%d.%d\xA4" "00 %s f:\xA4" "08%d\xA4"
                   "00 d:\xA4" "08%d\xA4" "00 t:\xA4" "08%d\xA4" "00 p:\xA4" "08%d\xA4" "00",
                   c.number, c.name, ip[0], ip[1], ip[2], ip[3], state, c.stats.kills, c.stats.deaths,
                   c.stats.playTime / 60000, Trap_SV_GetClientPing(c.number));
    }
    Com_Printf("%d clients connected to server", count);
}

void SG_Kill_f() {
    if (G_Argc() != 2) {
        Com_Printf("HELP kill <client num>");
        return;
    }
    sgClient_t *c = SG_ConnectedClient(Com_atoi(G_Argv(1)));
    if (c && c->cs.moveType == CS_PLAYING) SG_KillClient(c, nullptr, MOD_OTHER, 0);
}

void SG_NoClip_f() {
    sg.flags ^= SGF_NOCLIP;
    Com_Printf("%s", sg.flags & SGF_NOCLIP ? "Noclip ON" : "Noclip OFF");
}

void SG_RestartMap_f() { Schedule(sg.restartPending, sg.restartTime, "Server will restart in %d seconds..."); }

void SG_NextMap_f() { Schedule(sg.nextMapPending, sg.nextMapTime, "Next map in %d seconds..."); }

void SG_EntityList_f() {
    int count = 0;
    for (const sgEntity_t &e : sg.entities) {
        if (!e.s.inUse) continue;
        count++;
        Com_Printf("    \xA4" "08%3d\xA4" "00: \"\xA4" "08%s\xA4" "00\" sp: \xA4" "08%d\xA4" "00 <\xA4"
                   "08%.2f %.2f %.2f\xA4" "00>",
                   e.number, e.className ? e.className : "", e.s.serial, e.s.origin[0], e.s.origin[1], e.s.origin[2]);
    }
    Com_Printf("\xA4" "08%8d\xA4" "00 active entities", count);
}

void SG_SpawnBot_f() { SG_BotConnect(G_Argc() > 1 ? G_Argv(1) : SG_DEFAULT_BOT_NAME); }

void SG_ShutdownServer_f() { SG_ShutdownServer(0); }

void SG_Give_f() {
    if (G_Argc() != 2) {
        Com_Printf("HELP give <all, ammo, weapons, life, armor>");
        return;
    }
    const char *what = G_Argv(1);
    const bool all = !Com_strcmp(what, "all");
    const bool weapons = all || !Com_strcmp(what, "weapons"), ammo = all || !Com_strcmp(what, "ammo");
    const bool life = all || !Com_strcmp(what, "life"), armor = all || !Com_strcmp(what, "armor");
    const bool berserk = !Com_strcmp(what, "berserk");
    if (!weapons && !ammo && !life && !armor && !berserk) {
        Com_Printf("Unknown param \"%s\"", what);
        return;
    }
    for (sgClient_t &c : sgs.clients) {
        if (!c.inUse) continue;
        // Weapons before ammunition, so that "all" fills the weapons it gives.
        if (weapons) GiveWeapons(c);
        if (ammo) GiveAmmo(c);
        if (life) c.cs.health = SG_ClampByte(SG_MaxLife(&c));
        if (armor) c.cs.armor = SG_ClampByte(SG_MaxArmor(&c));
        if (berserk) c.berserk.berserkStart = SG_Now();
    }
}

void SG_Say_f() { Say(PRINT_ALL, "USAGE: sg_say <message>"); }

void SG_CenterSay_f() { Say(PRINT_CENTER, "USAGE: sg_centersay <message>"); }
