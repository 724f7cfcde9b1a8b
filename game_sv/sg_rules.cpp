// The four rule sets: their starts, the per-frame rules step, the time limit,
// crystal-rounds scoring, dropping crystals, the end of a match and the scoreboard.
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_sv/sg_local.h"

namespace {

constexpr int32_t ROUND_CHECK_MS = 5000;
constexpr int32_t SCOREBOARD_MS = 1000;
constexpr float LOST_IN_SPACE = 200.0f;
constexpr int32_t NO_KILLS = -999999;  // a kill count at or below this counts as none
constexpr int SCOREBOARD_ROWS = 20;
// Room for the rows: the engine sends server commands of at most 1,000 bytes.
constexpr size_t SCOREBOARD_ROW_SPACE = 1000 - 40;
constexpr float DROP_SPEED = 3.0f;
constexpr int32_t FORGE_LIFE = 200, FORGE_ARMOR = 200;

int32_t Minutes(uint32_t time) { return static_cast<int32_t>(time - static_cast<uint32_t>(sg.matchStart)) / 60000; }

bool IsTeamRules() { return sg.rules == RULES_CRYSTAL_ROUNDS || sg.rules == RULES_CAPTURE_CRYSTAL; }

// Creates a crystal at rest at home.
sgEntity_t *HomeCrystal(const vec3_t position, int32_t team, sgEntity_t **reference) {
    sgEntity_t *crystal = SG_CreateCrystal(position, zerovector, team, 1);
    if (!crystal) return nullptr;
    crystal->crystalTeam = team;
    *reference = crystal;
    crystal->crystalLink = reference;
    return crystal;
}

// Creates a crystal at a world tag (or the centre's spectator side when the tag is missing).
sgEntity_t *CrystalAt(const char *tagName, int32_t team, sgEntity_t **reference, uint8_t &warned) {
    const worldTag_t *tag = SG_GetWorldTag(tagName);
    if (!tag) {
        // A map without crystal tags runs without crystals; the operator hears it once.
        if (!warned) Com_Error(ER_WARNING, "No world tag \"%s\": the match runs without this crystal", tagName);
        warned = 1;
        return nullptr;
    }
    return HomeCrystal(tag->pos, team, reference);
}

void AddScore(int32_t team, int32_t points) {
    int16_t &score = team == TEAM_RED ? sg.redScore : sg.blueScore;
    const int32_t v = score + points;
    score = static_cast<int16_t>(v > INT16_MAX ? INT16_MAX : v);
}

// Grows a byte field by amount, but not above limit; a field already above it stays.
uint8_t GrowByte(uint8_t value, int32_t amount, int32_t limit) {
    if (value >= limit) return value;
    const int32_t v = value + amount;
    return SG_ClampByte(v > limit ? limit : v);
}

}  // namespace

bool SG_HasCrystal(const sgClient_t *client) { return client && (client->cs.flags & CSF_CRYSTAL); }

void SG_InitDM() {
    sg.matchStart = SG_Now();
    Com_Printf("Started Death Match");
}

void SG_InitCR() { Com_Printf("Started Crystal Rounds"); }

void SG_InitF() {}

void SG_InitCC() {
    sg.matchStart = SG_Now();
    Com_Printf("Started Capture the Crystal");
}

int32_t SG_TeamLead() {
    if (sg.redScore > sg.blueScore) return TEAM_RED;
    if (sg.blueScore > sg.redScore) return TEAM_BLUE;
    return -1;
}

bool CheckTime() {
    const int32_t limit = sg_timeLimit.integer;
    if (limit == 0) return true;
    const int32_t now = Minutes(qgame.time), before = Minutes(qgame.previousTime);
    if (now >= limit) {
        SG_SetIntermissionState();
        return false;
    }
    if (limit - before > 5 && limit - now <= 5) SG_AnnounceAll(CE_FIVE_MINUTES);
    if (limit - before >= 2 && limit - now <= 1) SG_AnnounceAll(CE_ONE_MINUTE);
    return true;
}

void SG_RulesThink() {
    if (sg.intermission) return;
    if ((sg.rules == RULES_DEATH_MATCH || sg.rules == RULES_CAPTURE_CRYSTAL) && sg_timeLimit.integer)
        sg.timeLeft = static_cast<int32_t>(60 * static_cast<int64_t>(sg_timeLimit.integer) - SG_Since(sg.matchStart) / 1000);
    else
        sg.timeLeft = 0;
    sg.roundLimit = sg.rules == RULES_CRYSTAL_ROUNDS && sg_roundLimit.integer ? sg_roundLimit.integer : 0;

    switch (sg.rules) {
    case RULES_DEATH_MATCH: CheckTime(); break;
    case RULES_CRYSTAL_ROUNDS: {
        const int32_t top = sg.blueScore > sg.redScore ? sg.blueScore : sg.redScore;
        if (sg_roundLimit.integer && top >= sg_roundLimit.integer) {
            SG_SetIntermissionState();
            return;
        }
        vec3_t home;
        // Without any crystal tag the round runs without a crystal (the look-up warns once).
        if (!sg.crystal && !sg.crystalCarrier && SG_GetCrystalSpawnPoint(home, TEAM_BLUE, 1))
            HomeCrystal(home, TEAM_BLUE, &sg.crystal);
        if (sg.crystal && VectorLength(sg.crystal->s.origin) > LOST_IN_SPACE) {
            Com_Error(ER_DEVWARNING, "SG_RulesThink: Crystal lost in space, reset");
            SG_DeleteEntity(sg.crystal);
            return;
        }
        SG_NewCrystalRound();
        sg.flags &= ~static_cast<uint32_t>(SGF_BLUE_CRYSTAL | SGF_RED_CRYSTAL);
        for (const sgClient_t &c : sgs.clients) {
            if (!c.inUse || !SG_HasCrystal(&c)) continue;
            sg.flags |= c.cs.team == TEAM_RED ? SGF_RED_CRYSTAL : SGF_BLUE_CRYSTAL;
        }
        break;
    }
    case RULES_CAPTURE_CRYSTAL: {
        if (!CheckTime()) return;
        static const char *const LOST[2] = {"SG_RulesThink: Blue crystal lost in space, reset",
                                            "SG_RulesThink: Red crystal lost in space, reset"};
        static const char *const TAGS[2] = {"spawn_blue_crystal", "spawn_red_crystal"};
        for (int team = 0; team < 2; team++) {
            sgEntity_t *crystal = sg.teamCrystal[team];
            if (crystal && VectorLength(crystal->s.origin) > LOST_IN_SPACE) {
                Com_Error(ER_DEVWARNING, "%s", LOST[team]);
                SG_DeleteEntity(crystal);
            }
        }
        for (int team = 0; team < 2; team++)
            if (!sg.teamCrystal[team] && !sg.teamCrystalCarrier[team])
                CrystalAt(TAGS[team], team, &sg.teamCrystal[team], sg.crystalTagWarned[1 + team]);
        break;
    }
    case RULES_FORGE:
        for (sgClient_t &c : sgs.clients) {
            if (!c.inUse) continue;
            c.cs.ownedWeapons = (1u << WEAPON_COUNT) - 1;
            for (int w = 0; w < WEAPON_COUNT; w++) {
                const weaponClass_t *wc = G_WeaponClass(w);
                c.cs.clip[w] = SG_ClampByte(wc->spawnClip);
                c.cs.reserve[w] = SG_ClampShort(wc->spawnReserve);
            }
            c.cs.health = FORGE_LIFE;
            c.cs.armor = FORGE_ARMOR;
        }
        break;
    default: Com_Error(ER_ERROR, "SG_RulesInit: Bad rules %d", sg.rules); break;
    }
}

void SG_NewCrystalRound() {
    if (sg.lastCrystalCheck && SG_Since(sg.lastCrystalCheck) < ROUND_CHECK_MS) return;
    sg.lastCrystalCheck = SG_Now();
    if (sg_debugCr.integer) SG_Printf(PRINT_ALL, "SG_NewCrystalRound: New round...");
    bool scored = false;
    for (sgClient_t &c : sgs.clients) {
        if (!c.inUse || !SG_HasCrystal(&c)) continue;
        const bool red = c.cs.team == TEAM_RED;
        const float *zone = red ? sg.world.zoneRedPos : sg.world.zoneBluePos;
        const float radius = red ? sg.world.zoneRedRadius : sg.world.zoneBlueRadius;
        if (PointDistance(c.cs.origin, zone) >= radius) continue;
        if (sg_debugCr.integer) SG_Printf(PRINT_ALL, "SG_NewCrystalRound: Carrier inside capture zone");
        c.stats.captures++;
        scored = true;
    }
    if (!scored || !sg.crystalCarrier) return;
    const int32_t team = sg.crystalCarrier->cs.team == TEAM_RED ? TEAM_RED : TEAM_BLUE;
    const int32_t leadBefore = SG_TeamLead();
    AddScore(team, 1);
    const int32_t leadAfter = SG_TeamLead();
    if (leadAfter != leadBefore && leadAfter >= 0)
        SG_AnnounceAll(leadAfter == TEAM_BLUE ? CE_BLUE_LEADS : CE_RED_LEADS);

    for (sgClient_t &c : sgs.clients) {
        if (!c.inUse) continue;
        SG_SendScoreboard(&c);
        if (c.cs.team != team || c.cs.moveType == CS_SPECTATOR) continue;
        const bool carrier = &c == sg.crystalCarrier;
        const int32_t dirt = carrier ? 2 : 1, lifeArmor = carrier ? 8 : 4, ammo = carrier ? 10 : 5;
        const int32_t lifeCap = SG_MaxLife(&c) < 100 ? SG_MaxLife(&c) : 100;
        const int32_t armorCap = SG_MaxArmor(&c) < 100 ? SG_MaxArmor(&c) : 100;
        if (c.cs.health <= 100) c.cs.health = GrowByte(c.cs.health, lifeArmor, lifeCap);
        if (c.cs.armor <= 100) c.cs.armor = GrowByte(c.cs.armor, lifeArmor, armorCap);
        for (int w = WP_MINIGUN; w <= WP_RAILGUN; w++) {
            if (!(c.cs.ownedWeapons & (1u << w))) continue;
            const int32_t max = G_WeaponClass(w)->maxReserve;
            if (c.cs.reserve[w] >= max) continue;
            const int32_t v = c.cs.reserve[w] + ammo;
            c.cs.reserve[w] = SG_ClampShort(v > max ? max : v);
        }
        if (c.cs.ownedWeapons & (1u << WP_DIRTGUN)) {
            const int32_t clip = G_WeaponClass(WP_DIRTGUN)->clipSize;
            c.cs.clip[WP_DIRTGUN] = GrowByte(c.cs.clip[WP_DIRTGUN], dirt, clip < 25 ? clip : 25);
        }
    }
}

void SG_DropCrystal(sgClient_t *client) {
    if (!IsTeamRules() || !SG_HasCrystal(client)) return;
    client->cs.flags &= ~static_cast<uint32_t>(CSF_CRYSTAL);
    const int32_t team = client->cs.team == TEAM_RED ? TEAM_RED : TEAM_BLUE;
    const float *side = client->viewAxis + 6;
    const float *up = G_GetUpVector(sg.flatGravity, client->cs.origin);
    vec3_t position, velocity;
    _VectorAdd(position, client->cs.origin, side);
    _VectorAdd(velocity, up, side);
    VectorNormalize(velocity);
    _VectorScale(velocity, DROP_SPEED, velocity);
    if (sg.rules == RULES_CRYSTAL_ROUNDS) {
        sg.crystalCarrier = nullptr;
        sgEntity_t *crystal = SG_CreateCrystal(position, velocity, team, 0);
        if (!crystal) return;
        sg.crystal = crystal;
        crystal->crystalLink = &sg.crystal;
    } else {
        const int32_t other = 1 - team;
        sg.teamCrystalCarrier[other] = nullptr;
        sgEntity_t *crystal = SG_CreateCrystal(position, velocity, other, 0);
        if (!crystal) return;
        crystal->crystalTeam = other;
        sg.teamCrystal[other] = crystal;
        crystal->crystalLink = &sg.teamCrystal[other];
    }
}

void SG_SetIntermissionState() {
    sg.intermission = 1;
    if (IsTeamRules()) {
        switch (SG_TeamLead()) {
        case TEAM_BLUE:
            SG_AnnounceAll(CE_BLUE_WINS);
            SG_Printf(PRINT_ALL, "Blue team wins");
            break;
        case TEAM_RED:
            SG_AnnounceAll(CE_RED_WINS);
            SG_Printf(PRINT_ALL, "Red team wins");
            break;
        default: SG_Printf(PRINT_ALL, "Game over"); break;
        }
    } else if (sg.rules == RULES_DEATH_MATCH) {
        const sgClient_t *winner = nullptr;
        for (const sgClient_t &c : sgs.clients) {
            if (!c.inUse || c.stats.kills <= NO_KILLS) continue;
            if (!winner || c.stats.kills > winner->stats.kills) winner = &c;
        }
        if (winner)
            SG_Printf(PRINT_ALL, "%s won", SG_ClientColorName(winner));
        else
            SG_Printf(PRINT_ALL, "Game over");
    } else {
        SG_Printf(PRINT_ALL, "Game over");
    }
    for (sgClient_t &c : sgs.clients) {
        if (!c.inUse) continue;
        c.cs.moveType = CS_INTERMISSION;
        SG_SendScoreboard(&c);
    }
    if (sg_autoNextMap.integer) Trap_Add(va("nextMap %d\n", sg_autoNextMap.integer > 2 ? sg_autoNextMap.integer : 2));
}

int PlayerSort(const void *a, const void *b) {
    const sgClient_t &ca = sgs.clients[*static_cast<const int32_t *>(a)];
    const sgClient_t &cb = sgs.clients[*static_cast<const int32_t *>(b)];
    if (IsTeamRules() && ca.cs.team != cb.cs.team) {
        const int32_t first = SG_TeamLead() == TEAM_RED ? TEAM_RED : TEAM_BLUE;
        return ca.cs.team == first ? -1 : 1;
    }
    if (ca.stats.kills != cb.stats.kills) return ca.stats.kills > cb.stats.kills ? -1 : 1;
    if (ca.stats.deaths != cb.stats.deaths) return ca.stats.deaths < cb.stats.deaths ? -1 : 1;
    if (ca.stats.suicides != cb.stats.suicides) return ca.stats.suicides > cb.stats.suicides ? -1 : 1;
    return 0;
}

void SG_SendScoreboard(sgClient_t *client) {
    if (!client || !client->inUse) return;
    if (client->stats.scoreboardTime && SG_Since(client->stats.scoreboardTime) < SCOREBOARD_MS) return;
    client->stats.scoreboardTime = SG_Now();

    int32_t players[SG_CLIENTS], spectators[SG_CLIENTS];
    int numPlayers = 0, numSpectators = 0;
    for (const sgClient_t &c : sgs.clients) {
        if (!c.inUse) continue;
        if (c.cs.moveType == CS_SPECTATOR)
            spectators[numSpectators++] = c.number;
        else
            players[numPlayers++] = c.number;
    }
    Com_qsort(players, static_cast<size_t>(numPlayers), sizeof players[0], PlayerSort);
    if (numPlayers > SCOREBOARD_ROWS) numPlayers = SCOREBOARD_ROWS;
    if (numSpectators > SCOREBOARD_ROWS - numPlayers) numSpectators = SCOREBOARD_ROWS - numPlayers;

    // Rows are added while the whole command stays within what the engine sends;
    // the counts in front name the rows that fit.
    char rows[SG_TEXT_SIZE];
    rows[0] = 0;
    size_t used = 0;
    bool cut = false;
    auto addRow = [&](const char *row) {
        const size_t len = strlen(row);
        if (cut || used + len >= SCOREBOARD_ROW_SPACE) {
            cut = true;
            return false;
        }
        memcpy(rows + used, row, len + 1);
        used += len;
        return true;
    };
    int sentPlayers = 0, sentSpectators = 0;
    for (int i = 0; i < numPlayers; i++) {
        const sgClient_t &c = sgs.clients[players[i]];
        const char *row = va(" \"%s\" %d %d %d %d %d %d %d %d %d %d", c.name[0] ? c.name : "null",
                             c.cs.moveType == CS_DEAD, c.cs.team == TEAM_RED, SG_HasCrystal(&c), &c == client,
                             c.stats.kills, c.stats.deaths, c.stats.suicides, c.stats.captures, c.stats.playTime,
                             Trap_SV_GetClientPing(c.number));
        sentPlayers += addRow(row);
    }
    for (int i = 0; i < numSpectators; i++) {
        const sgClient_t &c = sgs.clients[spectators[i]];
        // Quoted like the players' names, so that a name with blanks stays one word.
        const char *row = va(" \"%s\" %d %d", c.name[0] ? c.name : "null", Trap_SV_GetClientPing(c.number),
                             c.cs.worldIncomplete ? 1 : 0);
        sentSpectators += addRow(row);
    }
    if (cut) Com_Error(ER_WARNING, "SG_SendScoreboard: scoreboard cut to %d players and %d spectators", sentPlayers,
                       sentSpectators);
    char text[SG_TEXT_SIZE];
    Com_sprintf(text, sizeof text, "cg_scoreboard %d %d %d%s", sentPlayers, sentSpectators,
                SG_Since(sg.matchStart) / 60000, rows);
    SG_SendServerCommand(client, "%s", text);
}
