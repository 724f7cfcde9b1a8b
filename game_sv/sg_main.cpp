// Server start, restart and shutdown; the answers to the engine's questions about
// the running server; server commands to one client.
#include "game_sv/sg_main.h"

#include <cstdarg>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"

sgGame_t sg;
sgState_t sgs;

namespace {

// Short rules names in upper case, by rules number.
constexpr const char *RULES_TEXT[] = {"DM", "CR", "F", "CC"};

}  // namespace

const char *SG_RulesName(int32_t rules) {
    return rules >= 0 && rules < 4 ? RULES_TEXT[rules] : RULES_TEXT[RULES_DEATH_MATCH];
}

void SG_ClearMatchState() {
    // Everything from the first match field up to the world data; the snapshot block stays.
    uint8_t *first = reinterpret_cast<uint8_t *>(&sg) + offsetof(sgGame_t, intermission);
    uint8_t *end = reinterpret_cast<uint8_t *>(&sg) + offsetof(sgGame_t, world);
    memset(first, 0, static_cast<size_t>(end - first));
}

void SG_StartServer(const char *path, int32_t rules, int32_t maxPlayers) {
    G_RefreshQGame();
    if (!qgame.initialized) return;
    if (!sgs.running) memset(&sgs, 0, sizeof sgs);
    const uint8_t wasRunning = sgs.running;
    // The path may point into `sg` (a restart of the same map): keep a copy.
    char scriptPath[SG_PATH_SIZE];
    Com_strncpyz(scriptPath, path ? path : "", sizeof scriptPath);
    SG_ShutdownServer(1);
    Com_Printf("Starting server...");
    memset(&sg, 0, sizeof sg);
    G_RefreshQGame();

    if (!SG_ParseWorldScript(scriptPath)) {
        // Clients kept from the previous map have no map to go to: end it all cleanly.
        if (wasRunning) SG_ShutdownServer(0);
        return;
    }

    if (rules < 0) {
        Com_Printf("Use default map rules");
        rules = sg.world.rules;
    }
    if (rules != RULES_FORGE && rules != RULES_CAPTURE_CRYSTAL && rules != RULES_CRYSTAL_ROUNDS)
        rules = RULES_DEATH_MATCH;
    Trap_SetCVar(&sg_rules, SG_RulesName(rules));
    sg.rules = rules;
    // Their change callbacks run only while a server runs: a value set on the command
    // line or before the first map is brought into range here.
    SG_TimeLimit_v();
    SG_RoundLimit_v();

    if (maxPlayers < 0) {
        Com_Printf("Use default max players");
        maxPlayers = sg.world.maxPlayers;
    }
    if (maxPlayers <= 0) maxPlayers = 1;
    if (maxPlayers > SG_CLIENTS) maxPlayers = SG_CLIENTS;
    cmdVar_t *svMaxPlayers = Trap_GetCVar("sv_maxPlayers");
    if (!svMaxPlayers) {
        Com_AssertFailed("../game_sv/sg_main", 197);
        if (wasRunning) SG_ShutdownServer(0);
        return;
    }
    Trap_SetCVar(svMaxPlayers, va("%d", maxPlayers));

    sgs.entitySerial = 1;
    sgs.startFrame = static_cast<int32_t>(qgame.frameCount);
    Trap_SV_StartServer(sg.world.path);
    G_UploadWorldMaterials(sg.world.materials);
    Trap_SetWorldAltitudes(sg.world.coreAltitude, sg.world.spaceAltitude, sg.world.spaceBox,
                           sg.world.linearGravity);
    Trap_SV_UploadClientStateReference(sgs.clients, static_cast<int32_t>(sizeof(sgClient_t)));
    Trap_SV_UploadEntityStateReference(sg.entities, static_cast<int32_t>(sizeof(sgEntity_t)));
    Trap_SV_UploadSnapshotGameDataReference(&sg, SG_GAME_DATA_SIZE);
    sg.flatGravity = sg.world.linearGravity;

    // Clients kept from the map before start this one afresh: its votes and its first spawn are ahead.
    for (sgClient_t &c : sgs.clients) {
        if (!c.inUse) continue;
        c.votesCalled = 0;
        c.spawnCount = 0;
        SG_SpawnClientAsSpectator(&c, 1);
    }

    sgs.running = 1;
    if (SG_RestartServer(1)) {
        Com_Printf("............ \"%s\" ............", sg.world.path);
        Com_Printf("Server is up and running");
    } else {
        SG_ShutdownServer(0);
    }
}

bool SG_RestartServer(uint8_t reload) {
    G_RefreshQGame();
    if (reload) {
        uint8_t used[WORLD_MATERIALS];
        for (int i = 0; i < WORLD_MATERIALS; i++) used[i] = sg.world.materials[i].name[0] != 0;
        if (!Trap_SV_LoadVO2(sg.world.matter, used)) return false;
    }
    SG_ClearMatchState();
    sg.matchStart = static_cast<int32_t>(qgame.time);
    sg.restartPending = 0;
    sg.nextMapPending = 0;

    for (int i = 0; i < SG_MAX_ENTITIES; i++)
        if (sg.entities[i].s.inUse) SG_DeleteEntity(&sg.entities[i]);

    for (sgClient_t &c : sgs.clients) {
        if (!c.inUse) continue;
        c.cs.flags &= ~static_cast<uint32_t>(CSF_CRYSTAL);
        memset(&c.stats, 0, sizeof c.stats);
        c.infoTime = 0;
        c.reserved0 = 0;
        memset(&c.berserk, 0, sizeof c.berserk);
        SG_AddClientEvent(&c, CE_RESTART_3);
        SG_AddClientEvent(&c, CE_RESTART_4);
        SG_AddClientEvent(&c, CE_RESTART_5);
        if (sg_skipRespawnOnRuleChange.integer) continue;
        if (c.cs.moveType == CS_PLAYING || c.cs.moveType == CS_DEAD) {
            vec3_t spot;
            SG_GetPlayerSpawnPoint(spot, c.cs.team);
            SG_SpawnClientAsPlayer(&c, c.cs.team, spot);
        } else if (c.cs.moveType == CS_INTERMISSION) {
            SG_SpawnClientAsSpectator(&c, 1);
        }
    }

    sg.blueScore = 0;
    sg.redScore = 0;
    switch (sg.rules) {
    case RULES_CRYSTAL_ROUNDS: SG_InitCR(); break;
    case RULES_DEATH_MATCH: SG_InitDM(); break;
    case RULES_FORGE: SG_InitF(); break;
    case RULES_CAPTURE_CRYSTAL: SG_InitCC(); break;
    default:
        // The rules word is only ever set from the rules parser; a foreign value is a fault here.
        Com_Error(ER_ERROR, "SG_RulesInit: Bad rules %d", sg.rules);
        return false;
    }
    return true;
}

void SG_ShutdownServer(uint8_t keepState) {
    if (!sgs.running) return;
    Com_Printf("Shutting down server...");
    if (!keepState)
        for (sgClient_t &c : sgs.clients)
            if (c.inUse) SG_DropClient(&c, "Shutdown server");
    SG_DeleteAllEntities();
    Trap_SV_ShutdownServer(keepState);
    memset(&sg, 0, sizeof sg);
    if (!keepState) memset(&sgs, 0, sizeof sgs);
    Com_Printf("Server shutdowned");
}

void SG_GetServerInfo(char *rules, char *gameName, int32_t *protocol, char *version) {
    rules[0] = 0;
    gameName[0] = 0;
    *protocol = 0;
    version[0] = 0;
    if (!sgs.running) return;
    if (sg.rules < 0 || sg.rules > 3) {
        Com_Error(ER_WARNING, "SG_GetServerInfo: Bad rules");
        return;
    }
    Com_strncpyz(rules, SG_RulesName(sg.rules), 3);
    Com_strncpyz(gameName, GAME_NAME, GAME_NAME_SIZE);
    *protocol = static_cast<int32_t>(GAME_PROTOCOL);
    Com_strncpyz(version, GAME_VERSION, GAME_NAME_SIZE);
}

uint8_t SG_IsRunning() { return sgs.running; }

void SG_VSendServerCommand(const sgClient_t *client, const char *format, va_list ap) {
    if (!client || !client->inUse || client->isBot) return;
    char text[SG_TEXT_SIZE];
    Com_vsnprintf(text, sizeof text, format, ap);
    Trap_SV_SendServerCommand(client->number, text);
}

void SG_SendServerCommand(const sgClient_t *client, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    SG_VSendServerCommand(client, format, ap);
    va_end(ap);
}
