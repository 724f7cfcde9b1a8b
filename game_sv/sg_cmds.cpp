// Client commands on the server: each client's records run through movement,
// their one text command and their buttons; movement calls back here for the
// weapon actions.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_sv/sg_local.h"
#include "game_sv/sg_services.h"

// The weapon bits of the flags' second byte that every weapon action keeps.
constexpr uint32_t CSF_WEAPON_BYTE = 0xFF00;
constexpr uint32_t CSF_WEAPON_KEEP = CSF_JUMP_HELD | CSF_CROUCHING | 0x8000;

// The buttons a player presses once for one action (a key bound to act on going
// down, or a console command): one record carries each press.  Movement, fire, jump
// and the scoreboard key are held and come in every record while the key is down.
constexpr uint32_t ONE_PRESS_BUTTONS = BT_JOIN_BLUE | BT_JOIN_RED | BT_JOIN_SPECTATOR | BT_SUICIDE |
                                       BT_NEXT_DEFORM_MATERIAL | BT_PREV_DEFORM_MATERIAL | BT_DEFORM_SIZE_UP |
                                       BT_DEFORM_SIZE_DOWN | BT_DROP;

constexpr int32_t MAX_VOTES_PER_MAP = 3;
constexpr int32_t FORGE_DEFORM_MODES = 5;  // build, wall, platform, paint, blur
constexpr int32_t OTHER_DEFORM_MODES = 2;

// Events of the weapon actions: client event base + w, entity event base + w.
constexpr uint32_t CE_EMPTY_CLICK = 15, CE_FIRE = 9, CE_RAIL_CHARGE = 21, CE_RELOAD = 21;
constexpr uint8_t EE_EMPTY_CLICK = 9, EE_FIRE = 3, EE_RAIL_CHARGE = 15, EE_RELOAD = 15;
constexpr uint32_t CE_WEAPON_CHANGE = 7, CE_NOT_OWNED = 8;
constexpr uint8_t EE_WEAPON_CHANGE = 2;

static clientState_t *CS(sgClient_t *client) { return &client->cs; }

// The weapon action asks the engine for a snapshot now.
static void RequestSnapshot(sgClient_t *client) { client->cs.snapshotFlags |= 1; }

// Replaces the weapon byte of the flags: keeps what every action keeps (and keepAlso), adds set.
static void SetWeaponFlags(clientState_t *cs, uint32_t keepAlso, uint32_t set) {
    cs->flags = (cs->flags & ~CSF_WEAPON_BYTE) | (cs->flags & (CSF_WEAPON_KEEP | keepAlso)) | set;
}

// ---- weapon actions, called by movement ----

// The class of the weapon in hand when the client may act with it (not dead, not
// spectating); null otherwise, and for a weapon number outside the table.
static const weaponClass_t *WeaponInHand(const sgClient_t *client) {
    if (!client || client->cs.moveType == CS_DEAD || client->cs.moveType == CS_SPECTATOR) return nullptr;
    return G_WeaponClass(client->cs.weapon);
}

void SG_IssueFire(sgClient_t *client, uint8_t secondary) {
    const weaponClass_t *wc = WeaponInHand(client);
    if (!wc) return;
    clientState_t *cs = CS(client);
    const int32_t w = cs->weapon;
    if (secondary && w != WP_DIRTGUN) return;
    if (cs->flags & CSF_FIRING) return;
    if (w == WP_DIRTGUN && (cs->flags & CSF_FIRE_HELD) && !sg_dirtgunAutoFire.integer) return;
    if (cs->flags & (CSF_RELOADING | CSF_SWITCHING)) return;

    const bool giveDig = secondary && w == WP_DIRTGUN && sg_subGive.integer;
    if (!giveDig && w != WP_MEELGUN && cs->clip[w] == 0) {
        cs->flags |= CSF_FIRING | CSF_FIRE_HELD | CSF_EMPTY_CLICK;
        cs->weaponTime = 0;
        if (w >= WP_MINIGUN && w <= WP_DIRTGUN) {
            SG_AddClientEvent(client, CE_EMPTY_CLICK + static_cast<uint32_t>(w));
            SG_AddEntityEvent(client->entity, static_cast<uint8_t>(EE_EMPTY_CLICK + w));
        }
        RequestSnapshot(client);
        return;
    }
    if (!wc->fire || !wc->fire(client, secondary)) return;
    cs->weaponTime = 0;
    SetWeaponFlags(cs, 0, CSF_FIRING | CSF_FIRE_HELD);

    if (!sg_skipReload.integer) {
        if (giveDig) {
            if (cs->clip[WP_DIRTGUN] < g_weaponClass[WP_DIRTGUN].clipSize) cs->clip[WP_DIRTGUN]++;
        } else if (w != WP_MEELGUN && cs->clip[w] > 0) {
            cs->clip[w]--;
        }
    }
    if (w != WP_MEELGUN && w != WP_DIRTGUN && cs->clip[w] == 0 && cs->reserve[w] < 1)
        cs->ownedWeapons &= static_cast<uint8_t>(~(1u << w));

    if (w <= WP_DIRTGUN) {
        SG_AddClientEvent(client, CE_FIRE + static_cast<uint32_t>(w));
        SG_AddEntityEvent(client->entity, static_cast<uint8_t>(EE_FIRE + w));
        if (w == WP_RAILGUN && cs->clip[WP_RAILGUN] > 0) {
            SG_AddClientEvent(client, CE_RAIL_CHARGE);
            SG_AddEntityEvent(client->entity, EE_RAIL_CHARGE);
        }
    }
    RequestSnapshot(client);
}

void SG_IssueReload(sgClient_t *client) {
    const weaponClass_t *wc = WeaponInHand(client);
    if (!wc) return;
    clientState_t *cs = CS(client);
    const int32_t w = cs->weapon;
    if (cs->flags & (CSF_RELOADING | CSF_FIRING | CSF_SWITCHING)) return;
    if (cs->reserve[w] == 0 || cs->clip[w] == wc->clipSize) return;
    SetWeaponFlags(cs, CSF_FIRE_HELD, CSF_RELOADING);
    cs->weaponTime = 0;
    if (w >= WP_MINIGUN && w <= WP_DIRTGUN) {
        SG_AddClientEvent(client, CE_RELOAD + static_cast<uint32_t>(w));
        SG_AddEntityEvent(client->entity, static_cast<uint8_t>(EE_RELOAD + w));
    }
    if (wc->reload) wc->reload(client);
    RequestSnapshot(client);
}

void SG_WeaponChange(sgClient_t *client, int32_t weapon) {
    if (!client) return;
    // The number comes from the client's command: nothing is looked up with one outside the table.
    if (!G_WeaponClass(weapon)) return;
    clientState_t *cs = CS(client);
    if (cs->moveType != CS_PLAYING && cs->moveType != CS_INTERMISSION) return;
    if (cs->flags & (CSF_SWITCHING | CSF_FIRING)) return;
    if (!(cs->ownedWeapons & (1u << weapon))) {
        SG_AddClientEvent(client, CE_NOT_OWNED);
        return;
    }
    SetWeaponFlags(cs, CSF_FIRE_HELD, CSF_SWITCHING);
    SG_AddClientEvent(client, CE_WEAPON_CHANGE);
    SG_AddEntityEvent(client->entity, EE_WEAPON_CHANGE);
    SG_AddPlayerBarrelHeat(client, 0.5f);
    RequestSnapshot(client);
    cs->weaponTime = 0;
    cs->pendingWeapon = weapon;
}

void SG_IssueWeaponChange(sgClient_t *client, int32_t weapon) { SG_WeaponChange(client, weapon); }

// ---- text commands ----

// The colour-escaped texts of the command replies.
#define C08 "\xA4" "08"
#define C00 "\xA4" "00"

static const char *StatusWord(const sgClient_t *cl) {
    switch (cl->cs.moveType) {
        case CS_PLAYING: return "PLYR";
        case CS_SPECTATOR: return "SPEC";
        default: return "    ";
    }
}

static void ClientListCmd(sgClient_t *client) {
    for (const sgClient_t &cl : sgs.clients) {
        if (!cl.inUse) continue;
        SG_ClientPrintf(client,
                        "cg_print \"  " C08 "%2d" C00 ": " C08 "%-17s" C00 " " C08 "%s" C00 " f:" C08 "%d" C00
                        " d:" C08 "%d" C00 " t:" C08 "%d" C00 " p:" C08 "%d" C00 "\"",
                        cl.number, cl.name, StatusWord(&cl), cl.stats.kills, cl.stats.deaths,
                        cl.stats.playTime / 60000, Trap_SV_GetClientPing(cl.number));
    }
}

static void AdvancedStatsCmd(sgClient_t *client) {
    const sgStats_t &st = client->stats;
    SG_ClientPrintf(client, "cg_print \"Weapon     Acc  Hits/Shts Klls Dths PkUp\"");
    SG_ClientPrintf(client, "cg_print \"------------------------------------------------\"");
    for (int w = WP_MEELGUN; w <= WP_DIRTGUN; w++) {
        const float a = st.shots[w] > 0 ? static_cast<float>(st.hits[w]) * 100.0f / static_cast<float>(st.shots[w]) : 0;
        const float whole = std::floor(a);
        SG_ClientPrintf(client,
                        "cg_print \"%7s  " C08 "%3d.%1d" C00 "%% " C08 "%4d" C00 "/" C08 "%-4d  %3d  %3d  %3d\"",
                        g_weaponClass[w].shortName ? g_weaponClass[w].shortName : "", static_cast<int>(whole),
                        static_cast<int>(std::floor((a - whole) * 10)), st.hits[w], st.shots[w], st.meansKills[w],
                        st.meansDeaths[w], st.pickups[w]);
    }
    SG_ClientPrintf(client, "cg_print \"Healths: " C08 "%4d" C00 "    Armors:     " C08 "%4d" C00
                            "    Berserks: " C08 "%4d" C00 "\"",
                    st.pickupLife, st.pickupArmor, st.pickupBerserk);
    const float kd = st.deaths > 0 ? static_cast<float>(st.kills) / static_cast<float>(st.deaths)
                                   : static_cast<float>(st.kills);
    SG_ClientPrintf(client, "cg_print \"Frags:   " C08 "%4d" C00 "    Dmg Given:" C08 "%6d" C00
                            "    K/D:      " C08 "%.2f" C00 "\"",
                    st.kills, st.damageGiven, kd);
    SG_ClientPrintf(client, "cg_print \"Deaths:  " C08 "%4d" C00 "    Dmg Recvd:" C08 "%6d" C00
                            "    Suicides: " C08 "%4d" C00 "\"",
                    st.deaths, st.damageTaken, st.suicides);
}

static void VoteCmd(sgClient_t *client, const char *answer) {
    if (!sg.voteStart) {
        SG_ClientPrintf(client, "cg_print \"No vote in progress\"");
    } else if (client->cs.moveType == CS_SPECTATOR) {
        SG_ClientPrintf(client, "cg_print \"Spectators are not allowed to vote\"");
    } else if (client->voted) {
        SG_ClientPrintf(client, "cg_print \"Vote already cast\"");
    } else {
        client->voted = 1;
        SG_ClientPrintf(client, "cg_print \"Vote cast\"");
        if (!strcmp(answer, "yes"))
            sg.voteYes++;
        else
            sg.voteNo++;
    }
}

static void CallVoteCmd(sgClient_t *client, int32_t argc, const char *kindWord, const char *argument) {
    if (!sg_allowVote.integer) {
        SG_ClientPrintf(client, "cg_print \"Voting not allowed on server\"");
    } else if (client->cs.moveType == CS_SPECTATOR) {
        SG_ClientPrintf(client, "cg_print \"Spectators are not allowed to vote\"");
    } else if (sg.voteStart) {
        SG_ClientPrintf(client, "cg_print \"Vote already in progress\"");
    } else if (client->votesCalled >= MAX_VOTES_PER_MAP) {
        SG_ClientPrintf(client, "cg_print \"Max %d votes per map per client\"", MAX_VOTES_PER_MAP);
    } else {
        char kind[CC_TEXT_SIZE];
        Com_strncpyz(kind, kindWord, sizeof(kind));
        Com_StringToLower(kind);
        SG_CallVote(client, argc, kind, argument);
        // A refused call still counts against the caller's calls, but answers no
        // vote: marked as answered, the caller could not answer the next one.
        client->votesCalled++;
        if (sg.voteStart) {
            sg.voteYes++;
            client->voted = 1;
        }
    }
}

// The command's one text: split into words, the first selects.
static void ExecuteText(sgClient_t *client, const char *text) {
    Com_TokenizeString(text);
    const int32_t argc = Com_Argc();
    if (argc < 1) return;
    // Copies: the replies below format through buffers the tokenizer's words might share.
    char cmd[CC_TEXT_SIZE], word1[CC_TEXT_SIZE], word2[CC_TEXT_SIZE];
    Com_strncpyz(cmd, Com_Argv(0), sizeof(cmd));
    Com_strncpyz(word1, Com_Argv(1), sizeof(word1));
    Com_strncpyz(word2, Com_Argv(2), sizeof(word2));

    if (!strcmp(cmd, "say")) {
        if (SG_TakeTextAllowance(client, 1)) SG_Printf(PRINT_ALL, "%s: %s", SG_ClientColorName(client), word1);
    } else if (!strcmp(cmd, "say_team")) {
        if (!SG_TakeTextAllowance(client, 1)) return;
        const char *name = SG_ClientColorName(client);
        for (const sgClient_t &cl : sgs.clients) {
            if (cl.inUse && cl.cs.team == client->cs.team && cl.cs.moveType == CS_PLAYING)
                SG_ClientPrintf(&cl, "cg_print \"(team) %s: %s\"", name, word1);
        }
    } else if (!strcmp(cmd, "call_vote")) {
        CallVoteCmd(client, argc, word1, word2);
    } else if (!strcmp(cmd, "client_list")) {
        ClientListCmd(client);
    } else if (!strcmp(cmd, "advanced_stats")) {
        AdvancedStatsCmd(client);
    } else if (!strcmp(cmd, "vote")) {
        VoteCmd(client, word1);
    }
}

// ---- buttons ----

void SG_JoinTeam(sgClient_t *client, const cc_t *cc) {
    clientState_t *cs = CS(client);
    const bool blue = (cc->buttons & BT_JOIN_BLUE) != 0;
    const int32_t team = blue ? TEAM_BLUE : TEAM_RED;
    // Everybody reads of a join, and of the death it takes while playing.
    const bool playing = cs->moveType == CS_PLAYING;
    const bool stays = team == cs->team && (playing || cs->moveType == CS_DEAD);
    if (!(stays && !playing) && !SG_TakeTextAllowance(client, playing && !stays ? 2 : 1)) return;
    if (playing) SG_KillClient(client, nullptr, MOD_OTHER, 0);
    if (team == cs->team && (cs->moveType == CS_PLAYING || cs->moveType == CS_DEAD)) return;
    if (SG_GetNumClients() == 1) {
        vec3_t point;
        SG_GetPlayerSpawnPoint(point, team);
        SG_SpawnClientAsPlayer(client, team, point);
    } else {
        SG_SpawnClientAsDead(client, team);
    }
    const char *name = SG_ClientColorName(client);
    if (sg.rules == RULES_CRYSTAL_ROUNDS || sg.rules == RULES_CAPTURE_CRYSTAL)
        SG_Printf(PRINT_ALL, blue ? "%s joins blue team" : "%s joins red team", name);
    else
        SG_Printf(PRINT_ALL, "%s joins the game", name);
    static const char *const RULES_TITLE[] = {"Death Match", "Crystal Rounds", "Forge Mode", "Capture the Crystal"};
    if (sg.rules >= RULES_DEATH_MATCH && sg.rules <= RULES_CAPTURE_CRYSTAL)
        SG_ClientPrintf(client, "cg_print_center \"%s\"", RULES_TITLE[sg.rules]);
}

// The next world material with a name from m in steps of dir (+1 or -1), wrapping;
// 0 when none has one.
static uint8_t StepDeformMaterial(uint8_t m, int dir) {
    for (int i = 0; i < WORLD_MATERIALS + 2; i++) {
        m = static_cast<uint8_t>(m + dir);
        if (sg.world.materials[m].name[0]) return m;
    }
    return 0;
}

static void DeformSizeButtons(sgClient_t *client, uint32_t buttons) {
    clientState_t *cs = CS(client);
    // Tenths of a per cent of the variable, in 64 bits: any setting gives a size.
    const int64_t tenths = int64_t{sg_maxDeformSize.integer} * 10 / 100;
    const int32_t largest = tenths < 10 ? 10 : tenths > 100 ? 100 : static_cast<int32_t>(tenths);
    const int32_t step = cs->deformSize <= 4 ? 1 : cs->deformSize / 5;
    auto show = [client, cs]() {
        SG_ClientPrintf(client, "cg_print_center \"Deform Size %.0f%%\"",
                        static_cast<double>(cs->deformSize) / 10.0 * 100.0);
    };
    if (buttons & BT_DEFORM_SIZE_UP) {
        const int32_t s = cs->deformSize + step;
        cs->deformSize = static_cast<uint8_t>(s < largest ? s : largest);
        show();
    }
    if (buttons & BT_DEFORM_SIZE_DOWN) {
        const int32_t s = cs->deformSize - step;
        cs->deformSize = static_cast<uint8_t>(s > 1 ? s : 1);
        show();
    }
}

static void PlayingButtons(sgClient_t *client, const cc_t *cc) {
    clientState_t *cs = CS(client);
    const uint32_t b = cc->buttons;
    if (b & BT_SUICIDE) {
        if (SG_TakeTextAllowance(client, 1)) SG_KillClient(client, nullptr, MOD_OTHER, 0);
        return;
    }
    if (b & BT_SCOREBOARD) SG_SendScoreboard(client);
    if (b & BT_JOIN_SPECTATOR) SG_SpawnClientAsSpectator(client, 0);
    if (((b & BT_JOIN_BLUE) && cs->team != TEAM_BLUE) || ((b & BT_JOIN_RED) && cs->team != TEAM_RED)) {
        SG_JoinTeam(client, cc);
        return;
    }
    if ((b & BT_JUMP) && !(cs->flags & CSF_JUMP_HELD)) RequestSnapshot(client);
    if ((b & BT_DROP) && (sg.rules == RULES_CRYSTAL_ROUNDS || sg.rules == RULES_CAPTURE_CRYSTAL))
        SG_DropCrystal(client);
    if (cc->deformMode != client->deformMode) {
        const int32_t limit = sg.rules == RULES_FORGE ? FORGE_DEFORM_MODES : OTHER_DEFORM_MODES;
        client->deformMode = static_cast<uint8_t>(cc->deformMode < limit ? cc->deformMode : limit - 1);
    }
    if (sg.rules != RULES_FORGE) return;
    if (b & BT_NEXT_DEFORM_MATERIAL) cs->deformMaterial = StepDeformMaterial(cs->deformMaterial, 1);
    if (b & BT_PREV_DEFORM_MATERIAL) cs->deformMaterial = StepDeformMaterial(cs->deformMaterial, -1);
    DeformSizeButtons(client, b);
}

static void Buttons(sgClient_t *client, const cc_t *cc) {
    const uint32_t b = cc->buttons;
    switch (client->cs.moveType) {
        case CS_PLAYING:
            PlayingButtons(client, cc);
            break;
        case CS_DEAD:
            if (b & BT_SCOREBOARD) SG_SendScoreboard(client);
            if (b & BT_JOIN_SPECTATOR) SG_SpawnClientAsSpectator(client, 0);
            if (b & (BT_JOIN_BLUE | BT_JOIN_RED)) SG_JoinTeam(client, cc);
            break;
        case CS_SPECTATOR:
            if (b & BT_SCOREBOARD) SG_SendScoreboard(client);
            if ((b & (BT_JOIN_BLUE | BT_JOIN_RED)) && !(sg.flags & SGF_SOLIDARITY)) SG_JoinTeam(client, cc);
            break;
        case CS_INTERMISSION:
            SG_SendScoreboard(client);
            break;
        default:
            break;
    }
}

// ---- one record ----

void SG_IssueCC(sgClient_t *client, const cc_t *in, uint8_t repeat) {
    // A copy the rest may trust: its text ends inside the record whatever the
    // sender put there, and an aim that is not a direction (a unit vector, give
    // or take rounding) counts as none: rays along it would reach no number.
    cc_t cc = *in;
    cc.text[CC_TEXT_SIZE - 1] = 0;
    // Its words reach every player and the server's terminal: no control bytes
    // (a line break, a terminal escape) survive into them.
    Com_StripControlBytes(cc.text);
    cc.textLength = static_cast<uint32_t>(strlen(cc.text));
    const float aimSquared = _DotProduct(cc.aim, cc.aim);
    if (!(aimSquared > 0.5f && aimSquared < 2.0f)) _VectorClear(cc.aim);

    clientState_t *cs = CS(client);
    // A repeat takes no view: the body frame stays as the last move left it, which is
    // what the client predicted.
    if (!repeat) G_TakeCommandView(cs, &cc);

    // What the client's time bank pays of the time the command claims.  Bots are not
    // drawn from it, nor are repeats, which do not move.
    const bool metered = !repeat && !client->isBot && cs->moveType != CS_INTERMISSION;
    uint32_t paid = 0;
    if (metered) {
        paid = std::min(G_CommandMsec(cs, &cc), static_cast<uint32_t>(std::max(client->timeBank, 0)));
        client->timeBank -= static_cast<int32_t>(paid);
    }
    if (metered && paid == 0) {
        // Nothing left: the command's time passes without moving, as if spent.
        cs->lastCcTime = cc.time;
    } else if (cs->moveType != CS_INTERMISSION && !repeat) {
        // A repeat brings no time of its own: the next command pays for all the time
        // since the last one.  Moving it would still run a step the client cannot know
        // of (a command without new time moves a millisecond), and the player's own
        // prediction, which replays only the commands it sent, would no longer be the
        // server's state.
        cmove_t cm = {};
        cm.state = cs;
        cm.cc = &cc;
        cm.entity = client->entity ? &client->entity->s : nullptr;
        cm.skipEntity = client->entity;
        cm.owner = client;
        cm.weaponActions = &sg_weaponActions;
        cm.params = sgs.cmoveParams;
        cm.contentMask = MASK_PLAYER_MOVE;
        cm.freeFly = (sg.flags & SGF_NOCLIP) ? 1 : 0;
        cm.replay = 0;
        cm.flatGravity = sg.flatGravity;
        cm.trace = SG_Trace;
        cm.maxMsec = paid;
        G_ClientMove(&cm);
        SG_UpdateClientOrientation(client);
        if (cm.crushed && cs->moveType == CS_PLAYING) SG_KillClient(client, nullptr, MOD_DIRTGUN, 0);
        if (cm.fallDamage > 0 && sg_fallDamage.value > 0)
            SG_DamageClient(client, MOD_OTHER, sg_fallDamage.value * static_cast<float>(cm.fallDamage), client,
                            cs->origin);
    }

    if (!repeat && cc.textLength >= 1) ExecuteText(client, cc.text);
    // A repeat is the last record again, not a second press of its one-press buttons.
    if (repeat) cc.buttons &= ~ONE_PRESS_BUTTONS;
    Buttons(client, &cc);
    client->lastCC = cc;
}

// Pays the frame's milliseconds into the client's time bank and text allowance.
// Counted by frames, not from stored times, so no restart of the clock can stretch them.
// The bank is paid a sixteenth over real time: an honest client spends exactly real
// time, so a bank emptied by a long stall fills again within seconds instead of
// staying empty and cutting every command that arrives a little early.
static void PayClient(sgClient_t *client) {
    const int32_t msec = static_cast<int32_t>(qgame.frameMsec);
    client->timeBank = std::min(client->timeBank + msec + msec / SG_TIME_BANK_REFILL_DIVISOR, SG_TIME_BANK_MSEC);
    client->textAllowance = std::min(client->textAllowance + msec, SG_TEXT_BURST * SG_TEXT_MSEC);
    client->floodNoticeWait -= std::min(client->floodNoticeWait, msec);
}

void SG_IssueClientCommands(sgClient_t *client) {
    PayClient(client);
    if (client->isBot) {
        if (const cc_t *cc = SG_GetBotCC(client->number)) {
            SG_IssueCC(client, cc, 0);
            return;
        }
    } else {
        bool any = false;
        while (const cc_t *cc = Trap_SV_GetClientCommand(client->number)) {
            SG_IssueCC(client, cc, 0);
            any = true;
            if (!client->inUse) return;
        }
        if (any) return;
    }
    // Nothing new: an idle client repeats its last movement, without its text.
    if (client->lastCC.number == 0) {
        cc_t idle = {};
        idle.aim[0] = 1;
        SG_IssueCC(client, &idle, 1);
    } else {
        const cc_t again = client->lastCC;
        SG_IssueCC(client, &again, 1);
    }
}
