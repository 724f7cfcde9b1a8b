// The server's commands to the client game: scoreboards, prints, centre texts,
// the server's settings and movement values, browser answers and the master list.
// Every word comes from the network: counts are checked against the tables before
// a row is written, and every text is copied into its own field by size.
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_screen.h"
#include "game_cl/cg_utils.h"
#include "game_ui/ui_main.h"

constexpr int32_t SCORE_PLAYER_ARGS = 11;    // words of one player row
constexpr int32_t SCORE_SPECTATOR_ARGS = 3;  // words of one spectator row
constexpr int32_t SCORE_HEAD_ARGS = 4;       // the command word, the two counts and the minutes
constexpr int32_t SERVERINFO_ARGS = 14;      // the command word and 13 values; a 14th is the version text
constexpr int32_t CG_PRINT_SIZE = 1024;      // the longest printed text, with its zero
constexpr uint8_t PRINT_QUOTE = 0xA3;        // stands for a double quote inside a quoted word
constexpr float CG_MOVE_PARAM_MAX = 1.0e4f;  // a server's movement value beyond this is refused
constexpr int32_t LOOPBACK_PORT = 14666;     // shown for a server in this process

static int32_t cg_scoreboardParses;  // only printed

static const char *Arg(int32_t n) { return Trap_CL_ServerCommandArgv(n); }
static int32_t ArgInt(int32_t n) { return Com_atoi(Arg(n)); }

static void ParseScoreboard() {
    const int32_t argc = Trap_CL_ServerCommandArgc();
    const bool printParse = CG_VarInteger("cg_printScorboardParse", 0) != 0;
    if (printParse) Com_Printf("CG_ParseScoreboard: Incoming %d...", ++cg_scoreboardParses);
    if (argc < 3) {
        Com_Error(ER_DEVWARNING, "CG_ParseScoreboard argc: %d: Bad scoreboard command (1)", argc);
        return;
    }
    const int32_t players = ArgInt(1), spectators = ArgInt(2);
    if (players < 0 || players > CG_SCOREBOARD_ROWS || spectators < 0 || spectators > CG_SCOREBOARD_ROWS) {
        Com_Error(ER_DEVWARNING, "CG_ParseScoreboard argc: %d: Bad scoreboard command (2)", argc);
        return;
    }
    if (argc != spectators * SCORE_SPECTATOR_ARGS + players * SCORE_PLAYER_ARGS + SCORE_HEAD_ARGS) {
        Com_Error(ER_DEVWARNING, "CG_ParseScoreboard argc: %d: Bad scoreboard command (3)", argc);
        return;
    }
    cg.scorePlayers = cg.scoreSpectators = 0;
    cg.scoreMinutes = ArgInt(3);
    cg.scoreTime = static_cast<int32_t>(qgame.time);
    int32_t n = SCORE_HEAD_ARGS;
    for (int32_t i = 0; i < players; i++, n += SCORE_PLAYER_ARGS) {
        cgScoreRow_t &row = cg.scoreRows[i];
        Com_strncpyz(row.name, Arg(n), sizeof row.name);
        row.dead = ArgInt(n + 1) != 0;
        row.red = ArgInt(n + 2) != 0;
        row.carrier = ArgInt(n + 3) != 0;
        row.self = ArgInt(n + 4) != 0;
        row.frags = ArgInt(n + 5);
        row.deaths = ArgInt(n + 6);
        row.damage = ArgInt(n + 7);
        row.captures = ArgInt(n + 8);
        row.playTime = ArgInt(n + 9);
        row.ping = ArgInt(n + 10);
    }
    for (int32_t i = 0; i < spectators; i++, n += SCORE_SPECTATOR_ARGS) {
        cgSpectatorRow_t &row = cg.spectatorRows[i];
        Com_strncpyz(row.name, Arg(n), sizeof row.name);
        row.ping = ArgInt(n + 1);
        row.loading = ArgInt(n + 2) != 0;
    }
    cg.scorePlayers = players;
    cg.scoreSpectators = spectators;
    if (printParse) Com_Printf("CG_ParseScoreboard: Parsed finished %d...", cg_scoreboardParses);
}

static void Print() {
    char text[CG_PRINT_SIZE];
    Com_strncpyz(text, Arg(1), sizeof text);
    for (char *c = text; *c; c++)
        if (static_cast<uint8_t>(*c) == PRINT_QUOTE) *c = '"';
    Com_Printf("%s", text);
}

static void ParseServerInfo2() {
    const int32_t argc = Trap_CL_ServerCommandArgc();
    if (argc != CG_SERVERINFO2_ARGS) {
        Com_Error(ER_ERROR, "CG_ParseServerInfo2: Bad number of arguments (%d != %d)", argc, CG_SERVERINFO2_ARGS);
        return;
    }
    float *const settings[] = {&cg.serverCoreAlt,   &cg.serverSpaceAlt,     &cg.serverKnockback,
                               &cg.serverSkipReload, &cg.serverWorldDamage, &cg.serverRecoil,
                               &cg.serverSelfDamage, &cg.serverFriendlyFire, &cg.serverCheats,
                               &cg.serverPure};
    constexpr int32_t settingCount = static_cast<int32_t>(sizeof settings / sizeof settings[0]);
    // The movement values travel in the record's own order, after the next map.
    constexpr int32_t moveValues = static_cast<int32_t>(sizeof(cmoveParams_t) / sizeof(float));
    constexpr int32_t firstMove = 1 + settingCount + 1;
    static_assert(firstMove + moveValues == CG_SERVERINFO2_ARGS);
    float values[moveValues];
    for (int32_t i = 0; i < moveValues; i++) {
        values[i] = Com_atof(Arg(firstMove + i));
        // Written so that a value that is not a number fails too: the prediction would
        // carry it into the player's state and on into the movement's fatal checks.
        if (!(values[i] >= -CG_MOVE_PARAM_MAX && values[i] <= CG_MOVE_PARAM_MAX)) {
            Com_Error(ER_WARNING, "CG_ParseServerInfo2: movement value %d (\"%s\") cannot be used; the message is dropped",
                      i, Arg(firstMove + i));
            return;
        }
    }
    for (int32_t i = 0; i < settingCount; i++) *settings[i] = Com_atof(Arg(1 + i));
    Com_strncpyz(cg.nextMap, Arg(1 + settingCount), sizeof cg.nextMap);
    memcpy(&cg.moveParams, values, sizeof values);
}

// The address of the command being run, as the engine client handed it over.
static void ParseServerInfo(const netadr_t &from) {
    const int32_t argc = Trap_CL_ServerCommandArgc();
    if (argc < SERVERINFO_ARGS) return;  // a short answer names no server
    const int32_t id = ArgInt(1), sentTime = ArgInt(2);
    const uint8_t password = !strcmp(Arg(3), "P");
    const char *name = Arg(4), *map = Arg(5), *rules = Arg(6);
    const int32_t players = ArgInt(7), maxPlayers = ArgInt(8);
    const char *game = Arg(9);
    const int32_t version = ArgInt(10), flags = ArgInt(11), os = ArgInt(12);
    const char *versionText = argc > SERVERINFO_ARGS ? Arg(14) : nullptr;

    netadr_t server;
    static_assert(sizeof server == sizeof cg.ecl.serverAddress);
    memcpy(&server, cg.ecl.serverAddress, sizeof server);
    if (cg.ecl.state == ECL_CONNECTED && Com_adrcmp(&from, &server)) {
        Com_strncpyz(cg.serverName, name, sizeof cg.serverName);
        Com_strncpyz(cg.serverMap, map, sizeof cg.serverMap);
        Com_strncpyz(cg.serverRules, rules, sizeof cg.serverRules);
        Com_strncpyz(cg.serverGame, game, sizeof cg.serverGame);
        if (versionText)
            Com_strncpyz(cg.serverVersion, versionText, sizeof cg.serverVersion);
        else
            Com_sprintf(cg.serverVersion, sizeof cg.serverVersion, "%d.%2d", version / 100, version % 100);
        cg.serverOs = os;
        if (server.type == NA_LOCAL) {
            constexpr uint8_t loopback[4] = {127, 0, 0, 1};
            memcpy(cg.serverIp, loopback, sizeof cg.serverIp);
            cg.serverPort = LOOPBACK_PORT;
        } else {
            memcpy(cg.serverIp, server.ip, sizeof cg.serverIp);
            cg.serverPort = server.port;
        }
    }
    UI_ServerInfo(&from, id, sentTime, password, name, map, rules, players, maxPlayers, game, version, flags, os,
                  versionText);
}

// A master's list names servers by number: a word of anything else (a host name)
// would cost a blocking name look-up on the main thread for every one of them.
static bool NumericAddress(const char *text) {
    if (!text[0]) return false;
    for (const char *p = text; *p; p++)
        if (!((*p >= '0' && *p <= '9') || *p == '.' || *p == ':')) return false;
    return true;
}

static void ServerList() {
    const int32_t session = ArgInt(1);
    if (session != static_cast<int32_t>(qgame.instance)) {
        Com_DPrintf("CG_ServerList: with %d != %d", session, static_cast<int32_t>(qgame.instance));
        return;
    }
    const int32_t argc = Trap_CL_ServerCommandArgc();
    for (int32_t i = 2; i < argc; i++) {
        if (NumericAddress(Arg(i)))
            UI_AddIp(0, Arg(i));
        else
            Com_DPrintf("CG_ServerList: %s is not a numeric address", Arg(i));
    }
}

static void NotAlone() {
    const int32_t sound = CG_ScreenMedia(CGM_NOT_ALONE);  // 0: the sound is missing and never played
    if (CG_VarInteger("cg_notAloneSound", 0) && sound) Trap_S_PlayLocalSound(sound);
}

void CG_RunServerCommands() {
    netadr_t from{};
    Trap_CL_GetNextServerCommand(reinterpret_cast<char *>(&from));
    while (Trap_CL_ServerCommandArgc() >= 1) {
        const char *word = Arg(0);
        if (!strcmp(word, "cg_scoreboard")) ParseScoreboard();
        else if (!strcmp(word, "cg_print")) Print();
        else if (!strcmp(word, "cg_print_center")) CG_CenterText(Arg(1), 0, CG_CENTER_TEXT_MS);
        else if (!strcmp(word, "cg_print_center_short")) CG_CenterText(Arg(1), 0, CG_CENTER_SHORT_MS);
        else if (!strcmp(word, "cg_print_center2")) CG_CenterText(Arg(1), 1, CG_CENTER_TEXT_MS);
        else if (!strcmp(word, "serverinfo2")) ParseServerInfo2();
        else if (!strcmp(word, "serverinfo")) ParseServerInfo(from);
        else if (!strcmp(word, "cg_server_list")) ServerList();
        else if (!strcmp(word, "cg_not_alone")) NotAlone();
        else Com_Error(ER_DEVWARNING, "CG_RunServerCommands: Unknown server command \"%s\"", word);
        from = netadr_t{};
        Trap_CL_GetNextServerCommand(reinterpret_cast<char *>(&from));
    }
}
