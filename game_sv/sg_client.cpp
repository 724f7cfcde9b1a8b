// The server game's clients: admitting humans and bots, dropping them, and moving
// them between playing, dead, spectating and intermission.
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_bots.h"
#include "game/g_utils.h"
#include "game_sv/sg_local.h"

namespace {

constexpr int32_t FIRST_SPAWN_OBJECTIVE_MS = 3000;
constexpr float SPECTATOR_RAISE = 1.3f;

// Forgets every reference the match holds to a client that leaves play.
void ForgetClient(const sgClient_t *client) {
    if (sg.crystalCarrier == client) sg.crystalCarrier = nullptr;
    for (sgClient_t *&carrier : sg.teamCrystalCarrier)
        if (carrier == client) carrier = nullptr;
    for (sgClient_t &c : sgs.clients)
        if (c.aimedClient == client) c.aimedClient = nullptr;
}

// The statistics start over when the client plays for another team, or was not in the match.
bool KeepsStatistics(const sgClient_t *client, int32_t team) {
    return client->cs.team == team && client->cs.moveType != CS_SPECTATOR;
}

int32_t ValidTeam(int32_t team) { return team == TEAM_RED ? TEAM_RED : TEAM_BLUE; }

}  // namespace

void SG_CleanName(char *out, const char *name, const char *fallback) {
    char cut[SG_NAME_SIZE];
    Com_strncpyz(cut, name ? name : "", sizeof cut);
    Com_strncpyz(out, Com_ValidateName(cut, SG_NAME_SIZE, "name", 0) ? cut : fallback, SG_NAME_SIZE);
}

void SG_ClearClientState(sgClient_t *client) {
    clientState_t &cs = client->cs;
    // The command clock is the client's, not the body's: a spawn that zeroed it would
    // make the first command after it claim a whole step of time.
    const uint32_t events = cs.eventCount, moveEvents = cs.moveEventCount, lastCcTime = cs.lastCcTime;
    uint8_t ring[CLIENT_EVENT_RING], moveRing[CLIENT_EVENT_RING];
    memcpy(ring, cs.events, sizeof ring);
    memcpy(moveRing, cs.moveEvents, sizeof moveRing);
    memset(&cs, 0, sizeof cs);
    cs.eventCount = events;
    cs.moveEventCount = moveEvents;
    cs.lastCcTime = lastCcTime;
    memcpy(cs.events, ring, sizeof ring);
    memcpy(cs.moveEvents, moveRing, sizeof moveRing);
}

sgClient_t *SG_ClientRecord(int32_t number) {
    return number >= 0 && number < SG_CLIENTS ? &sgs.clients[number] : nullptr;
}

sgClient_t *SG_ConnectedClient(int32_t number) {
    sgClient_t *c = SG_ClientRecord(number);
    return c && c->inUse ? c : nullptr;
}

int32_t SG_FindFreeClient() {
    for (int i = 0; i < SG_CLIENTS; i++)
        if (!sgs.clients[i].inUse) return i;
    return -1;
}

int32_t SG_GetNumClients() {
    int32_t n = 0;
    for (const sgClient_t &c : sgs.clients) n += c.inUse;
    return n;
}

sgClient_t *SG_CreateClient(int32_t slot, const netadr_t *address, uint8_t isBot) {
    sgClient_t *c = SG_ClientRecord(slot);
    if (!c) return nullptr;
    memset(c, 0, sizeof *c);
    c->inUse = 1;
    c->isBot = isBot;
    c->number = slot;
    c->connectTime = Trap_GetTime();
    c->handicap = 100;
    c->timeBank = SG_TIME_BANK_MSEC;
    c->textAllowance = SG_TEXT_BURST * SG_TEXT_MSEC;
    if (address) Com_adrcpy(&c->address, address);
    c->cs.moveType = CS_SPECTATOR;
    return c;
}

// Tells the only client so far that somebody joins.
static void GreetLonelyClient() {
    if (SG_GetNumClients() != 1) return;
    for (const sgClient_t &c : sgs.clients)
        if (c.inUse) SG_SendServerCommand(&c, "cg_not_alone");
}

void SG_ClientConnect(const netadr_t *address, const char *name, int32_t a, int32_t b) {
    if (!address) return;
    for (const sgClient_t &c : sgs.clients) {
        if (c.inUse && !c.isBot && Com_adrcmp(&c.address, address)) {
            Com_DPrintf("SG_ClientConnect: Try to add already connected client");
            return;
        }
    }
    GreetLonelyClient();
    const int32_t slot = SG_FindFreeClient();
    if (slot < 0) {
        Com_Printf("SG_ClientConnect: %s tries to connect but we are full", Com_adrstr(address));
        return;
    }
    sgClient_t *c = SG_CreateClient(slot, address, 0);
    SG_CleanName(c->name, name, SG_DEFAULT_NAME);
    Trap_SV_AddClient(slot, address, a, b);
    if (qgame.developer)
        SG_Printf(PRINT_ALL, "\xA4" "08%s\xA4" "00 connects to server (cl_num: %d)", c->name, SG_GetNumClients());
    else
        SG_Printf(PRINT_ALL, "\xA4" "08%s\xA4" "00 connects to server", c->name);
    SG_SpawnClientAsSpectator(c, 1);
}

sgClient_t *SG_BotConnect(const char *name) {
    GreetLonelyClient();
    const int32_t slot = SG_FindFreeClient();
    if (slot < 0) {
        Com_Printf("SG_BotConnect: Bot tries to connect but we are full");
        return nullptr;
    }
    sgClient_t *c = SG_CreateClient(slot, nullptr, 1);
    SG_CleanName(c->name, name, SG_DEFAULT_BOT_NAME);
    Trap_SV_AddClient(slot, nullptr, -1, 0);
    SG_Printf(PRINT_ALL, "\xA4" "08%s\xA4" "00 connects to server", c->name);
    SG_SpawnClientAsSpectator(c, 0);
    return c;
}

void SG_DropClient(sgClient_t *client, const char *reason) {
    if (!client || !client->inUse) return;
    // The engine's clock wraps too: the difference is taken as unsigned.
    const int32_t minutes =
        static_cast<int32_t>(static_cast<uint32_t>(Trap_GetTime()) - static_cast<uint32_t>(client->connectTime)) / 60000;
    if (reason && reason[0])
        SG_Printf(PRINT_ALL, "%s left server after %d mins (%s)", SG_ClientColorName(client), minutes, reason);
    else
        SG_Printf(PRINT_ALL, "%s left server after %d mins", SG_ClientColorName(client), minutes);
    if (client->cs.moveType == CS_PLAYING) SG_KillClient(client, nullptr, MOD_OTHER, 0);
    ForgetClient(client);
    SG_ClearEntityOwner(client);
    const int32_t number = client->number;
    // The body goes with its client: nothing may point at a free client record.
    sgEntity_t *body = SG_EntityNum(number);
    if (body && body->s.inUse) SG_DeleteEntity(body);
    Trap_SV_DeleteClient(number);
    SG_VoteClientLeft(number);
    memset(client, 0, sizeof *client);
}

void SG_UpdateClientOrientation(sgClient_t *client) {
    float *elliptic = G_StateEllipticAxis(&client->cs);
    G_EllipticAxis2Axis(client->viewAxis, elliptic, client->cs.viewAngles, 1);
    const vec3_t yawOnly = {0.0f, 0.0f, client->cs.viewAngles[2]};
    G_EllipticAxis2Axis(client->bodyAxis, elliptic, yawOnly, 1);
}

void SG_SpawnClientAsPlayer(sgClient_t *client, int32_t team, const vec3_t position) {
    if (!client) return;
    if (sg.intermission) {
        client->cs.moveType = CS_INTERMISSION;
        return;
    }
    team = ValidTeam(team);
    const bool keepStats = client->inUse && KeepsStatistics(client, team);
    SG_ClearClientState(client);
    memset(&client->berserk, 0, sizeof client->berserk);
    if (!keepStats) memset(&client->stats, 0, sizeof client->stats);

    clientState_t &cs = client->cs;
    cs.moveType = CS_PLAYING;
    _VectorCopy(cs.origin, position);
    const int32_t life = 125 < SG_MaxLife(client) ? 125 : SG_MaxLife(client);
    cs.health = SG_ClampByte(life);
    cs.armor = 0;
    cs.team = static_cast<uint8_t>(team);
    cs.deformMaterial = SG_ClampByte(team == TEAM_RED ? sg.world.redTeamWM : sg.world.blueTeamWM);
    cs.weapon = WP_MINIGUN;
    cs.ownedWeapons = 1u << WP_NONEGUN;
    cs.deformSize = 10;
    cs.spawnByte = 0;
    G_CreateEllipticAxis(sg.flatGravity, G_StateEllipticAxis(&cs), cs.origin);

    for (int w = 0; w < SG_WORLD_WEAPONS; w++) {
        const sgWeaponSettings_t &ws = sg.world.weapons[w];
        const weaponClass_t *wc = G_WeaponClass(w);
        if (!ws.present || !ws.spawnWeapon || !wc) continue;
        cs.ownedWeapons |= static_cast<uint8_t>(1u << w);
        cs.clip[w] = SG_ClampByte(ws.spawnAmmoMagGiven ? ws.spawnAmmoMag : wc->spawnClip);
        cs.reserve[w] = SG_ClampShort(ws.spawnAmmoTotalGiven ? ws.spawnAmmoTotal : wc->spawnReserve);
    }

    SG_AddClientEvent(client, CE_SPAWN_1);
    SG_AddClientEvent(client, CE_SPAWN_8);
    SG_CreatePlayer(client);
    SG_AddClientEvent(client, CE_SPAWN_6);
    SG_AddEntityEvent(client->entity, EE_SPAWN);
    SG_UpdateClientOrientation(client);

    if (client->spawnCount == 0) client->objectiveTime = FIRST_SPAWN_OBJECTIVE_MS;
    client->spawnCount++;
}

void SG_SpawnClientAsDead(sgClient_t *client, int32_t team) {
    if (!client) return;
    if (sg.intermission) {
        client->cs.moveType = CS_INTERMISSION;
        return;
    }
    team = ValidTeam(team);
    if (!KeepsStatistics(client, team)) memset(&client->stats, 0, sizeof client->stats);
    clientState_t &cs = client->cs;
    cs.moveType = CS_DEAD;
    client->deathTime = static_cast<int32_t>(qgame.time);
    cs.team = static_cast<uint8_t>(team);
    memset(&client->berserk, 0, sizeof client->berserk);
    cs.health = 0;
    cs.armor = 0;
}

void SG_SpawnClientAsSpectator(sgClient_t *client, uint8_t toStart) {
    if (!client) return;
    if (sg.intermission) {
        client->cs.moveType = CS_INTERMISSION;
        return;
    }
    vec3_t position;
    if (toStart) {
        _VectorCopy(position, sg.world.spectatorPos);
    } else {
        const float *up = G_GetUpVector(sg.flatGravity, client->cs.origin);
        _VectorAddMultiple(position, client->cs.origin, up, SPECTATOR_RAISE);
    }
    ForgetClient(client);
    SG_ClearClientState(client);
    memset(&client->berserk, 0, sizeof client->berserk);
    memset(&client->stats, 0, sizeof client->stats);
    clientState_t &cs = client->cs;
    cs.moveType = CS_SPECTATOR;
    _VectorCopy(cs.origin, position);
    if (toStart) {
        _VectorCopy(cs.viewAngles, sg.world.spectatorAngles);
        cs.flags |= CSF_VIEW_HELD;
    }
    G_CreateEllipticAxis(sg.flatGravity, G_StateEllipticAxis(&cs), cs.origin);
    SG_UpdateClientOrientation(client);

    if (client->entity) {
        SG_DeleteEntity(client->entity);
        client->entity = nullptr;
    }
    sgEntity_t *slot = SG_EntityNum(client->number);
    if (slot && slot->s.inUse) {
        Com_Error(ER_DEVWARNING, "SG_SpawnClientAsSpectator: entity not removed");
        SG_DeleteEntity(slot);
    }
}

cc_t *SG_GetBotCC(int32_t slot) {
    sgClient_t *c = SG_ConnectedClient(slot);
    if (!c) return nullptr;
    Bot_Frame(&c->botCC, slot);
    return &c->botCC;
}
