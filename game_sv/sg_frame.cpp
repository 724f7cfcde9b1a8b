// One frame of the server game: rules in step with their variable, due restarts
// and map changes, the world and rules logic, every client and every entity.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_sv/sg_local.h"
#include "game_sv/sg_services.h"

namespace {

constexpr int32_t SERVERINFO2_MS = 30000;
constexpr int SERVERINFO2_MAX = 523;       // longest text the client game reads
constexpr int32_t TIP_MS = 179999;
constexpr int32_t TICK_MS = 999;
constexpr int32_t AIM_TEXT_MS = 500;
constexpr float AIM_RANGE = 20.0f;
constexpr int32_t DEATH_FLOOR_ENTITY_MARGIN = 20;
constexpr float FAR_SIDE = -0.6f;
constexpr int RADAR_BLIPS = 8;

constexpr const char *FORGE_TIPS[6] = {
    "TIP: Use command 'callVote createBall <5 to 20>' to clear world",
    "TIP: Use command 'callVote blurWorld' to smooth the world",
    "TIP: F1 and F2 change the size of the dirt gun's deformation",
    "TIP: + and Num - change the material the dirt gun builds with",
    "TIP: Use command 'callVote noclip' to fly through the world",
    "TIP: Use command 'callVote restartMap' to start the world afresh",
};

enum radarKind_t : uint8_t {
    RADAR_PLAYER = 1,
    RADAR_CRYSTAL = 2,
    RADAR_DEAD = 3,
    RADAR_RED_CRYSTAL = 4,
    RADAR_BLUE_CRYSTAL = 5,
    RADAR_BLUE_HOME = 6,
    RADAR_RED_HOME = 7,
};


// The value of an engine variable, 0 when it does not exist.
float EngineValue(const char *name) {
    const cmdVar_t *v = Trap_GetCVar(name);
    return v ? v->value : 0.0f;
}

bool RestartOrShutdown(uint8_t reload) {
    if (SG_RestartServer(reload)) return true;
    SG_ShutdownServer(0);
    return false;
}

void QueueNextMap() {
    const char *next = SG_GetNextMap(sg.world.path, 1);
    const cmdVar_t *maxPlayers = Trap_GetCVar("sv_maxPlayers");
    if (maxPlayers) {
        int32_t n = maxPlayers->integer;
        if (n < 2) n = 2;
        if (n > SG_CLIENTS) n = SG_CLIENTS;
        Trap_Add(va("map %s %s %d\n", next, SG_RulesName(sg.rules), n));
    } else {
        Trap_Add(va("map %s %s\n", next, SG_RulesName(sg.rules)));
    }
}

// Step 5: the rules variable rules; a change restarts the match on the same world.
bool FollowRulesVariable() {
    const int32_t rules = G_GetRules(sg_rules.string);
    if (Com_strcmp(sg_rules.string, SG_RulesName(rules))) Trap_SetCVar(&sg_rules, SG_RulesName(rules));
    if (rules == sg.rules) return true;
    sg.rules = rules;
    if (!sg_skipRespawnOnRuleChange.integer)
        for (sgClient_t &c : sgs.clients)
            if (c.inUse) SG_SpawnClientAsSpectator(&c, 1);
    if (!RestartOrShutdown(0)) return false;
    sg.noSolidarity = 1;
    return true;
}

bool EmptyServerRestart() {
    if (!sg.hadClients) return true;
    const cmdVar_t *limit = nullptr;
    if (sg.rules == RULES_CRYSTAL_ROUNDS) limit = &sg_autoRestartCR;
    if (sg.rules == RULES_FORGE) limit = &sg_autoRestartF;
    if (!limit || limit->integer < 1) return true;
    // In 64 bits: an operator's limit of many thousand minutes must not wrap into the past.
    if (SG_Since(sg.lastClientTime) <= static_cast<int64_t>(limit->integer) * 60000) return true;
    sg.hadClients = 0;
    sg.lastClientTime = SG_Now();
    Com_Printf("%s: Restarting empty server after %d mins", limit->name, limit->integer);
    const bool noclip = sg.flags & SGF_NOCLIP;
    if (!RestartOrShutdown(1)) return false;
    if (sg.rules == RULES_FORGE && noclip) Trap_Add("noClip\n");
    return true;
}

void ForgeTips() {
    if (sg.rules != RULES_FORGE || sg_skipTips.integer) return;
    if (sg.tipTime && SG_Since(sg.tipTime) <= TIP_MS) return;
    sg.tipTime = SG_Now();
    sg.tipIndex = (sg.tipIndex + 1) % 6;
    SG_Printf(PRINT_ALL, "%s", FORGE_TIPS[sg.tipIndex]);
}

void RunClient(sgClient_t *c) {
    SG_HandleRespawn(c);
    SG_IssueClientCommands(c);
    SG_ClientInfo(c);
    SG_PrintClientAim(c);
    SG_TickLifeAndArmor(c);
    SG_TickAmmo(c);
    if (!c->infoTime || SG_Since(c->infoTime) >= SERVERINFO2_MS) {
        c->infoTime = SG_Now();
        if (!c->infoTime) c->infoTime = 1;
        SG_SendServerInfo2(c);
    }
    SG_Objective(c);
    SG_SetupRadar(c);
    c->stats.playTime += static_cast<int32_t>(qgame.frameMsec);
    const int64_t berserkLeft = int64_t{sg.world.itemBerserkAmount} - SG_Since(c->berserk.berserkStart);
    if (c->berserk.berserkStart && berserkLeft > 0) c->cs.berserk = SG_ClampByte(static_cast<int32_t>(berserkLeft / 1000));
    c->cs.entitySerial = c->entity ? c->entity->s.serial : 0;
    if (c->cs.moveType == CS_PLAYING && c->entity) SG_TouchAllTriggers(c->entity, MASK_TOUCH);
    if (sg.world.deathFloor && c->cs.moveType == CS_PLAYING && !(sg.flags & SGF_NOCLIP) &&
        c->cs.origin[1] <= sg.world.deathFloorHeight)
        SG_KillClient(c, c, MOD_OTHER, 0);
}

void RunEntity(sgEntity_t *e) {
    if (e->number < SG_CLIENTS && !sgs.clients[e->number].inUse) {
        Com_Error(ER_DEVWARNING, "SG_Frame: Removing entity with no client");
        SG_DeleteEntity(e);
        return;
    }
    if (e->thinkSG) e->thinkSG(e);
    if (!e->s.inUse) return;
    if (sg.world.deathFloor && e->s.origin[1] <= sg.world.deathFloorHeight - DEATH_FLOOR_ENTITY_MARGIN) {
        SG_DeleteEntity(e);
        return;
    }
    if (e->lifetime && SG_Since(e->createTime) > e->lifetime) {
        SG_DeleteEntity(e);
        return;
    }
    if (!SG_CheckEntity(e)) return;
    SG_FinishEntity(e);
}

// One radar blip: kind and the two position bytes; false when the target is on the far side.
bool AddBlip(sgClient_t *c, int &n, uint8_t kind, const vec3_t target) {
    if (n >= RADAR_BLIPS) return false;
    const float *upHere = G_GetUpVector(sg.flatGravity, c->cs.origin);
    vec3_t up;
    _VectorCopy(up, upHere);
    const float *upThere = G_GetUpVector(sg.flatGravity, target);
    const float cosine = _DotProduct(up, upThere);
    if (cosine <= FAR_SIDE) return false;
    vec3_t d;
    _VectorSub(d, target, c->cs.origin);
    float dx = _DotProduct(d, c->bodyAxis + 6), dy = _DotProduct(d, c->bodyAxis);
    const float len = std::sqrt(dx * dx + dy * dy);
    if (len > 0) {
        dx /= len;
        dy /= len;
    }
    float r;
    if (sg.flatGravity) {
        const float half = 0.5f * (sg.world.spaceBox[0] < sg.world.spaceBox[2] ? sg.world.spaceBox[0]
                                                                                : sg.world.spaceBox[2]);
        r = half > 0 ? VectorLength(d) / half : 1.0f;
    } else {
        r = Com_acos(_Clamp(cosine, -1.0f, 1.0f)) * RAD2DEG / 90.0f;
    }
    // Kept within the scope so that the bytes cannot wrap.
    r = _Clamp(r, 0.0f, 1.0f);
    c->cs.radarKinds[n] = kind;
    c->cs.radarBlips[n][0] = static_cast<uint8_t>(127.0f + 114.3f * r * dx);
    c->cs.radarBlips[n][1] = static_cast<uint8_t>(127.0f + 114.3f * r * dy);
    n++;
    return true;
}

}  // namespace

uint8_t SG_ClampByte(int32_t value) { return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value)); }
int16_t SG_ClampShort(int32_t value) { return static_cast<int16_t>(value < 0 ? 0 : (value > 32767 ? 32767 : value)); }

int32_t SG_MaxLife(const sgClient_t *client) { return static_cast<int32_t>(client->handicap * 125 / 100.0f); }
int32_t SG_MaxArmor(const sgClient_t *client) { return static_cast<int32_t>(client->handicap * 200 / 100.0f); }
int32_t SG_MaxNonTickLife(const sgClient_t *client) { return static_cast<int32_t>(client->handicap * 100 / 100.0f); }
int32_t SG_MaxNonTickArmor(const sgClient_t *client) { return static_cast<int32_t>(client->handicap * 100 / 100.0f); }

void SG_Frame() {
    if (sg_skipServer.integer) return;
    G_SetSG();
    G_RefreshQGame();
    if (!sgs.running) {
        G_SetUndefined();
        return;
    }
    sg.flatGravity = sg.world.linearGravity;
    if (SG_GetNumClients() > 0) {
        sg.hadClients = 1;
        sg.lastClientTime = SG_Now();
    }
    if (!FollowRulesVariable()) return G_SetUndefined();
    if (sg.restartPending && SG_Since(sg.restartTime) >= 0) {
        sg.restartPending = 0;
        SG_Printf(PRINT_ALL, "Restarting server...");
        if (!RestartOrShutdown(1)) return G_SetUndefined();
        sg.noSolidarity = 1;
    }
    if (!EmptyServerRestart()) return G_SetUndefined();
    if (sg.nextMapPending && SG_Since(sg.nextMapTime) >= 0) {
        sg.nextMapPending = 0;
        SG_Printf(PRINT_ALL, "Next map...");
        QueueNextMap();
    }
    if (sg_skipRadar.integer)
        sg.flags |= SGF_NO_RADAR;
    else
        sg.flags &= ~static_cast<uint32_t>(SGF_NO_RADAR);
    SG_AutoCallVote();
    SG_WorldThink();
    SG_RulesThink();
    SG_UpdateWorldInfoString(sg.world.infoString, &sg.world);
    SG_CheckVote();
    ForgeTips();
    SG_Solidarity();
    SG_UpdateCMoveParams();
    SG_PendingAnnounce();
    for (sgClient_t &c : sgs.clients)
        if (c.inUse) RunClient(&c);
    for (sgEntity_t &e : sg.entities)
        if (e.s.inUse) RunEntity(&e);
    G_SetUndefined();
}

void SG_HandleRespawn(sgClient_t *client) {
    if (client->cs.moveType != CS_DEAD) return;
    int32_t delay = sg_deathTime.integer;
    delay = (delay < 0 ? 0 : (delay > 100 ? 100 : delay)) * 1000;
    const int32_t since = SG_Since(client->deathTime);
    if (since > delay) {
        vec3_t spot;
        SG_GetPlayerSpawnPoint(spot, client->cs.team);
        SG_SpawnClientAsPlayer(client, client->cs.team, spot);
        SG_SendServerCommand(client, "cg_print_center2 \"\"");
    } else {
        SG_SendServerCommand(client, "cg_print_center2 \"Spawn in %d sec\"", (delay - since) / 1000 + 1);
    }
}

void SG_Objective(sgClient_t *client) {
    if (sg.rules != RULES_CRYSTAL_ROUNDS || !client->objectiveTime) return;
    client->objectiveTime -= static_cast<int32_t>(qgame.frameMsec);
    // Reaching zero ends the timer too: otherwise a timer that runs out exactly never fires.
    if (client->objectiveTime <= 0) {
        client->objectiveTime = 0;
        SG_AddClientEvent(client, CE_OBJECTIVE);
    }
}

void SG_Solidarity() {
    sg.flags &= ~static_cast<uint32_t>(SGF_SOLIDARITY);
    if (!sg_solidarity.integer || sg.noSolidarity || SG_GetNumClients() < 2) return;
    const int64_t span = (sg_solidarity.integer < 0 ? 0 : static_cast<int64_t>(sg_solidarity.integer)) * 1000;
    const int64_t left = std::min<int64_t>(span, INT32_MAX) - SG_Since(sg.matchStart);
    if (left < 0) return;
    sg.flags |= SGF_SOLIDARITY;
    for (sgClient_t &c : sgs.clients) {
        if (!c.inUse) continue;
        if (c.cs.moveType != CS_SPECTATOR) break;
        SG_SendServerCommand(&c, "cg_print_center_short \"Solidarity Count: %d sec\"", static_cast<int32_t>(left / 1000 + 1));
    }
}

void SG_TickLifeAndArmor(sgClient_t *client) {
    if (client->cs.moveType != CS_PLAYING || SG_Since(client->berserk.tickTime) <= TICK_MS) return;
    client->berserk.tickTime = SG_Now();
    if (client->cs.health > SG_MaxNonTickLife(client)) client->cs.health--;
    if (client->cs.armor > SG_MaxNonTickArmor(client)) client->cs.armor--;
}

void SG_TickAmmo(sgClient_t *client) {
    for (int w = WP_MINIGUN; w <= WP_DIRTGUN; w++) {
        const sgWeaponSettings_t &ws = sg.world.weapons[w];
        if (!(client->cs.ownedWeapons & (1u << w)) || !ws.tickRate) continue;
        if (SG_Since(client->berserk.ammoTick[w]) < ws.tickRate) continue;
        client->berserk.ammoTick[w] = SG_Now();
        if (w == WP_DIRTGUN) {
            if (client->cs.clip[w] < ws.tickMax) client->cs.clip[w] = SG_ClampByte(client->cs.clip[w] + 1);
        } else if (client->cs.reserve[w] < ws.tickMax) {
            client->cs.reserve[w] = SG_ClampShort(client->cs.reserve[w] + 1);
        }
    }
}

void SG_ClientInfo(sgClient_t *client) {
    const char *info = Trap_SV_GetClientInfo(client->number);
    if (!info || !info[0]) return;
    const char *name = Com_IS_GetValue(info, "name");
    // A change that the client's text allowance cannot pay for waits for a later frame.
    if (name && Com_strcmp(name, client->name) && Com_ValidateName(name, SG_NAME_SIZE, "name", 0) &&
        SG_TakeTextAllowance(client, 1)) {
        char newName[SG_NAME_SIZE];
        Com_strncpyz(newName, name, sizeof newName);
        SG_Printf(PRINT_ALL, "%s changed name to %s", SG_ClientColorName(client), newName);
        Com_strncpyz(client->name, newName, sizeof client->name);
    }
    const char *handicap = Com_IS_GetValue(info, "handicap");
    if (handicap && handicap[0]) {
        const int32_t h = Com_atoi(handicap);
        client->handicap = h <= 9 ? 10 : (h > 100 ? 100 : h);
    }
}

void SG_PrintClientAim(sgClient_t *client) {
    const uint8_t state = client->cs.moveType;
    if (state != CS_PLAYING && state != CS_SPECTATOR) return;
    if (client->aimTime && SG_Since(client->aimTime) < AIM_TEXT_MS) return;
    vec3_t eye, end;
    const float *up = G_GetUpVector(sg.flatGravity, client->cs.origin);
    _VectorAddMultiple(eye, client->cs.origin, up, client->cs.eyeHeight);
    // Where the player looks: the forward row of the view axis.  A command's aim is a
    // heading (cc_t::aim), not a line of sight.
    const float *aim = client->viewAxis + 6;
    _VectorAddMultiple(end, eye, aim, AIM_RANGE);
    gameTrace_t tr;
    SG_RayTrace(&tr, eye, end, client->entity, static_cast<int32_t>(MASK_ALL), 0);
    const sgEntity_t *hit = static_cast<const sgEntity_t *>(tr.entity);
    sgClient_t *aimed = hit && hit->s.inUse && hit->number < SG_CLIENTS && hit->client && hit->client->inUse
                            ? hit->client
                            : nullptr;
    if (!aimed || aimed == client) {
        client->aimedClient = nullptr;
        client->aimCount = 0;
        return;
    }
    if (aimed != client->aimedClient) {
        client->aimedClient = aimed;
        client->aimCount = 0;
    }
    if (++client->aimCount <= 2) return;
    const char *colour = "\xA4" "00";
    if (sg.rules == RULES_CRYSTAL_ROUNDS || sg.rules == RULES_CAPTURE_CRYSTAL)
        colour = aimed->cs.team == TEAM_RED ? "\xA4" "06" : "\xA4" "05";
    SG_SendServerCommand(client, "cg_print_center_short \"%s%s\xA4" "00\"", colour, aimed->name);
    client->aimTime = SG_Now();
}

void SG_SetupRadar(sgClient_t *c) {
    memset(c->cs.radarKinds, 0, sizeof c->cs.radarKinds);
    if (c->cs.moveType != CS_PLAYING || sg.rules == RULES_DEATH_MATCH) return;
    int n = 0;
    const int32_t team = c->cs.team;
    for (sgClient_t &o : sgs.clients) {
        if (!o.inUse || &o == c || n >= RADAR_BLIPS) continue;
        const bool dead = o.cs.moveType == CS_DEAD;
        if (o.cs.moveType != CS_PLAYING && !(dead && o.entity && o.entity->s.inUse)) continue;
        uint8_t kind = dead ? RADAR_DEAD : RADAR_PLAYER;
        if (!dead && SG_HasCrystal(&o)) {
            if (sg.rules == RULES_CAPTURE_CRYSTAL)
                kind = team == TEAM_RED ? RADAR_BLUE_CRYSTAL : RADAR_RED_CRYSTAL;
            else if (sg.rules == RULES_CRYSTAL_ROUNDS)
                kind = RADAR_CRYSTAL;
        }
        if (o.cs.team != team && !(sg.rules == RULES_CRYSTAL_ROUNDS && kind == RADAR_CRYSTAL)) continue;
        AddBlip(c, n, kind, dead ? o.entity->s.origin : o.cs.origin);
    }
    if (sg.rules == RULES_CAPTURE_CRYSTAL) {
        const worldTag_t *home = SG_GetWorldTag(team == TEAM_RED ? "spawn_red_crystal" : "spawn_blue_crystal");
        if (home) AddBlip(c, n, team == TEAM_RED ? RADAR_RED_HOME : RADAR_BLUE_HOME, home->pos);
        const sgEntity_t *own = sg.teamCrystal[team == TEAM_RED ? TEAM_RED : TEAM_BLUE];
        if (own && own->s.inUse)
            AddBlip(c, n, team == TEAM_RED ? RADAR_RED_CRYSTAL : RADAR_BLUE_CRYSTAL, own->s.origin);
    } else if (sg.rules == RULES_CRYSTAL_ROUNDS && sg.crystal && sg.crystal->s.inUse) {
        AddBlip(c, n, RADAR_CRYSTAL, sg.crystal->s.origin);
    }
}

void SG_SendServerInfo2(sgClient_t *client) {
    char text[SG_TEXT_SIZE];
    int used = 0;
    auto put = [&](const char *format, auto... values) {
        if (used < static_cast<int>(sizeof text))
            used += Com_sprintf(text + used, sizeof text - static_cast<size_t>(used), format, values...);
    };
    if (sg.world.linearGravity)
        put(" 0 0");
    else
        put(" %.4f %.4f", sg.world.coreAltitude, sg.world.spaceAltitude);
    for (const cmdVar_t *v : {&sg_knockBack, &sg_skipReload, &sg_worldDamage, &sg_recoil, &sg_selfDamage,
                              &sg_friendlyFire})
        put(" %.4f", v->value);
    put(" %.4f %.4f", EngineValue("sv_cheats"), EngineValue("sv_pure"));
    char next[SG_WORLD_NAME_SIZE];
    Com_strncpyz(next, SG_GetNextMap(sg.world.path, 0), sizeof next);
    if (strlen(next) > 6 && Com_IsExtension(next, ".world")) next[strlen(next) - 6] = 0;
    put("\"%s\"", next);
    const float *params = &sgs.cmoveParams.gravity;
    for (int i = 0; i < SG_MOVE_VARS; i++) put(" %.4f", params[i]);
    // Values this long only come from absurd variable settings: the client would refuse them.
    if (used > SERVERINFO2_MAX) {
        Com_Error(ER_WARNING, "SG_SendServerInfo2: text of %d characters not sent", used);
        return;
    }
    SG_SendServerCommand(client, "serverinfo2 %s", text);
}
