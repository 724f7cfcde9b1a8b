// Texts, announcements, events and sounds the server game sends to players, and
// the map cycle.
#include <cstdarg>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_sv/sg_local.h"

namespace {

constexpr int32_t REPEAT_MS = 5000;    // the same text in the same mode is dropped within this
constexpr int32_t ANNOUNCE_MS = 2000;  // announcements at most this often
constexpr int COLOR_NAME_CHARS = 16;


void SendToAll(const char *text) {
    for (const sgClient_t &c : sgs.clients)
        if (c.inUse && !c.isBot) Trap_SV_SendServerCommand(c.number, text);
}

}  // namespace

void SG_Printf(int32_t mode, const char *format, ...) {
    char text[SG_TEXT_SIZE];
    va_list ap;
    va_start(ap, format);
    Com_vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    if (mode == PRINT_CONSOLE) {
        Com_Printf("%s", text);
        return;
    }
    if (mode != PRINT_ALL && mode != PRINT_CENTER) return;
    const uint32_t key = Com_GetStrippedMD5(text);
    if (sg.printTime[mode] && sg.printKey[mode] == key && SG_Since(sg.printTime[mode]) < REPEAT_MS) return;
    sg.printTime[mode] = SG_Now();
    sg.printKey[mode] = key;
    char command[SG_TEXT_SIZE + 32];
    Com_sprintf(command, sizeof command, mode == PRINT_ALL ? "cg_print \"%s\"" : "cg_print_center \"%s\"", text);
    SendToAll(command);
    if (!G_IsClientInitilized()) {
        if (mode == PRINT_ALL)
            Com_Printf("%s", text);
        else
            Com_Printf("CENTER: %s", text);
    }
}

bool SG_TakeTextAllowance(sgClient_t *client, int32_t count) {
    if (client->isBot) return true;
    const int32_t cost = count * SG_TEXT_MSEC;
    if (client->textAllowance >= cost) {
        client->textAllowance -= cost;
        return true;
    }
    if (client->floodNoticeWait <= 0) {
        client->floodNoticeWait = SG_TEXT_MSEC;
        SG_ClientPrintf(client, "cg_print \"Too many messages: wait a moment\"");
    }
    return false;
}

void SG_ClientPrintf(const sgClient_t *client, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    SG_VSendServerCommand(client, format, ap);
    va_end(ap);
}

const char *SG_ClientColorName(const sgClient_t *client) {
    static char buffers[2][SG_TEXT_SIZE];
    static int next;
    char *out = buffers[next];
    next ^= 1;
    char name[COLOR_NAME_CHARS + 1];
    Com_strncpyz(name, client ? client->name : "", sizeof name);
    const char *colour = "08";
    if (client && (sg.rules == RULES_CRYSTAL_ROUNDS || sg.rules == RULES_CAPTURE_CRYSTAL))
        colour = client->cs.team == TEAM_RED ? "06" : "05";
    Com_sprintf(out, SG_TEXT_SIZE, "\xA4%s%s\xA4" "00", colour, name);
    return out;
}

void SG_AnnounceAll(int32_t event) {
    if (sg.announceTime && SG_Since(sg.announceTime) < ANNOUNCE_MS) {
        sg.pendingAnnounce = event;
        sg.pendingAnnounceTeam = TEAM_ALL;
        return;
    }
    sg.announceTime = SG_Now();
    for (sgClient_t &c : sgs.clients)
        if (c.inUse) SG_AddClientEvent(&c, static_cast<uint32_t>(event));
    sg.pendingAnnounce = 0;
}

void SG_AnnounceTeam(int32_t team, int32_t event) {
    if (sg.announceTime && SG_Since(sg.announceTime) < ANNOUNCE_MS) {
        sg.pendingAnnounce = event;
        sg.pendingAnnounceTeam = team;
        return;
    }
    sg.announceTime = SG_Now();
    for (sgClient_t &c : sgs.clients)
        if (c.inUse && c.cs.moveType == CS_PLAYING && c.cs.team == team)
            SG_AddClientEvent(&c, static_cast<uint32_t>(event));
    sg.lastTeamAnnounce = event;
    sg.pendingAnnounce = 0;
}

void SG_PendingAnnounce() {
    if (!sg.pendingAnnounce || SG_Since(sg.announceTime) < ANNOUNCE_MS) return;
    if (sg.pendingAnnounceTeam == TEAM_BLUE || sg.pendingAnnounceTeam == TEAM_RED)
        SG_AnnounceTeam(sg.pendingAnnounceTeam, sg.pendingAnnounce);
    else
        SG_AnnounceAll(sg.pendingAnnounce);
}

void SG_AddEntityEvent(sgEntity_t *entity, uint8_t event) {
    if (entity) G_AddEntityStateEvent(&entity->s, event);
}

void SG_AddClientEvent(sgClient_t *client, uint32_t event) {
    if (client) G_AddClientStateEvent(&client->cs, event);
}

void SG_PlayEntitySound(sgEntity_t *entity, int32_t sound) {
    (void)entity;
    Trap_S_PlayLocalSound(sound);
}

void SG_PlayClientSound(sgClient_t *client, int32_t sound) {
    (void)client;
    Trap_S_PlayLocalSound(sound);
}

const char *SG_GetNextMap(const char *currentMap, uint8_t complain) {
    static char result[SG_PATH_SIZE];
    Com_StripPath(result, sizeof result, currentMap ? currentMap : "");
    void *buffer = nullptr;
    if (Trap_ReadFile(sg_mapCycle.string, &buffer) < 0 || !buffer) {
        if (complain) Com_Printf("Could not find %s", sg_mapCycle.string);
        return result;
    }
    char current[SG_PATH_SIZE];
    Com_strncpyz(current, result, sizeof current);
    char first[SG_PATH_SIZE] = "";
    bool takeNext = false, found = false;
    const char *cursor = static_cast<const char *>(buffer);
    for (;;) {
        const char *token = Com_Parse(&cursor, true);
        if (!token[0]) break;
        char word[SG_PATH_SIZE];
        Com_StripPath(word, sizeof word, token);
        Com_StringToLower(word);
        if (!first[0]) Com_strncpyz(first, word, sizeof first);
        if (takeNext) {
            Com_strncpyz(result, word, sizeof result);
            found = true;
            break;
        }
        if (!Com_strcmp(word, current)) takeNext = true;
    }
    Trap_FreeFile(buffer);
    // The current map last in the cycle, or not in it at all: the cycle starts over.
    if (!found && first[0]) Com_strncpyz(result, first, sizeof result);
    return result;
}
