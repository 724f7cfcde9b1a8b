// The server game's console variables and the operator's commands.
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_sv/sg_local.h"

cmdVar_t sg_skipReload, sg_printProcessCc, sg_printTrace, sg_printCmove, sg_friendlyFire, sg_skipPhys,
    sg_skipTrace, sg_printPhys, sg_debugCr, sg_skipServer, sg_subGive, sg_dirtgunAutoFire, sg_skipRadar,
    sg_printExplosion, sg_skipTips, sg_skipRespawnOnRuleChange, sg_skipRandomItems, sg_skipStaticItems,
    sg_debugSpawnItmes, sg_skipAutoCallVote, sg_fallDamage, sg_skipPlayerDropItem, sg_skipSmallRailBox,
    sg_voteDisableCreateball, sg_voteDisableBlur, sg_voteDisableNoclip, sg_voteDisableMap, sg_voteDisableRules,
    sg_voteDisableNextmap, sg_voteDisableRestartmap, sg_voteDisableKick;
cmdVar_t sg_knockBack, sg_banListPath, sg_worldDamage, sg_recoil, sg_bobDepth, sg_selfDamage, sg_dirtFireTime,
    sg_timeLimit, sg_roundLimit, sg_berserkFactor, sg_rules, sg_autoNextMap, sg_allowVote, sg_mapCycle,
    sg_maxDeformSize, sg_solidarity, sg_deathTime, sg_autoRestartCR, sg_autoRestartF;
cmdVar_t sg_moveVars[SG_MOVE_VARS];

namespace {

constexpr uint32_t SERVER_ONLY = CMD_SERVER;

struct varRow_t {
    cmdVar_t *var;
    const char *name;
    const char *value;
    uint32_t flags;
    cmdCallback_t callback;
};

const varRow_t VAR_ROWS[] = {
    {&sg_skipReload, "sg_skipReload", "0", SERVER_ONLY, nullptr},
    {&sg_printProcessCc, "sg_printProcessCc", "0", SERVER_ONLY, nullptr},
    {&sg_printTrace, "sg_printTrace", "0", SERVER_ONLY, nullptr},
    {&sg_printCmove, "sg_printCmove", "0", SERVER_ONLY, nullptr},
    {&sg_friendlyFire, "sg_friendlyFire", "0", SERVER_ONLY, nullptr},
    {&sg_skipPhys, "sg_skipPhys", "0", SERVER_ONLY, nullptr},
    {&sg_skipTrace, "sg_skipTrace", "0", SERVER_ONLY, nullptr},
    {&sg_printPhys, "sg_printPhys", "0", SERVER_ONLY, nullptr},
    {&sg_debugCr, "sg_debugCr", "0", SERVER_ONLY, nullptr},
    {&sg_skipServer, "sg_skipServer", "0", SERVER_ONLY, nullptr},
    {&sg_subGive, "sg_subGive", "0", SERVER_ONLY, nullptr},
    {&sg_dirtgunAutoFire, "sg_dirtgunAutoFire", "0", SERVER_ONLY, nullptr},
    {&sg_skipRadar, "sg_skipRadar", "0", SERVER_ONLY, nullptr},
    {&sg_printExplosion, "sg_printExplosion", "0", SERVER_ONLY, nullptr},
    {&sg_skipTips, "sg_skipTips", "0", SERVER_ONLY, nullptr},
    {&sg_skipRespawnOnRuleChange, "sg_skipRespawnOnRuleChange", "0", SERVER_ONLY, nullptr},
    {&sg_skipRandomItems, "sg_skipRandomItems", "0", SERVER_ONLY, nullptr},
    {&sg_skipStaticItems, "sg_skipStaticItems", "0", SERVER_ONLY, nullptr},
    {&sg_debugSpawnItmes, "sg_debugSpawnItmes", "0", SERVER_ONLY, nullptr},
    {&sg_skipAutoCallVote, "sg_skipAutoCallVote", "0", SERVER_ONLY, nullptr},
    {&sg_fallDamage, "sg_fallDamage", "0", SERVER_ONLY, nullptr},
    {&sg_skipPlayerDropItem, "sg_skipPlayerDropItem", "0", SERVER_ONLY, nullptr},
    {&sg_skipSmallRailBox, "sg_skipSmallRailBox", "0", SERVER_ONLY, nullptr},
    {&sg_voteDisableCreateball, "sg_voteDisableCreateball", "0", SERVER_ONLY, nullptr},
    {&sg_voteDisableBlur, "sg_voteDisableBlur", "0", SERVER_ONLY, nullptr},
    {&sg_voteDisableNoclip, "sg_voteDisableNoclip", "0", SERVER_ONLY, nullptr},
    {&sg_voteDisableMap, "sg_voteDisableMap", "0", SERVER_ONLY, nullptr},
    {&sg_voteDisableRules, "sg_voteDisableRules", "0", SERVER_ONLY, nullptr},
    {&sg_voteDisableNextmap, "sg_voteDisableNextmap", "0", SERVER_ONLY, nullptr},
    {&sg_voteDisableRestartmap, "sg_voteDisableRestartmap", "0", SERVER_ONLY, nullptr},
    {&sg_voteDisableKick, "sg_voteDisableKick", "0", SERVER_ONLY, nullptr},
    {&sg_knockBack, "sg_knockBack", "0.1", SERVER_ONLY, nullptr},
    {&sg_banListPath, "sg_banListPath", "banlist.txt", SERVER_ONLY, nullptr},
    {&sg_worldDamage, "sg_worldDamage", "0.065", SERVER_ONLY, nullptr},
    {&sg_recoil, "sg_recoil", "1", SERVER_ONLY, nullptr},
    {&sg_bobDepth, "sg_bobDepth", "1", SERVER_ONLY, nullptr},
    {&sg_selfDamage, "sg_selfDamage", "1", SERVER_ONLY, nullptr},
    {&sg_dirtFireTime, "sg_dirtFireTime", "500", SERVER_ONLY, nullptr},
    {&sg_timeLimit, "sg_timeLimit", "15", SERVER_ONLY, SG_TimeLimit_v},
    {&sg_roundLimit, "sg_roundLimit", "75", SERVER_ONLY, SG_RoundLimit_v},
    {&sg_berserkFactor, "sg_berserkFactor", "2", SERVER_ONLY, nullptr},
    {&sg_rules, "sg_rules", "CR", SERVER_ONLY | CMD_NOSAVE, nullptr},
    {&sg_autoNextMap, "sg_autoNextMap", "6", SERVER_ONLY, nullptr},
    {&sg_allowVote, "sg_allowVote", "1", SERVER_ONLY, nullptr},
    {&sg_mapCycle, "sg_mapCycle", "mapcycle.txt", SERVER_ONLY, nullptr},
    {&sg_maxDeformSize, "sg_maxDeformSize", "250", SERVER_ONLY, nullptr},
    {&sg_solidarity, "sg_solidarity", "7", SERVER_ONLY, nullptr},
    {&sg_deathTime, "sg_deathTime", "5", SERVER_ONLY, nullptr},
    {&sg_autoRestartCR, "sg_autoRestartCR", "3", SERVER_ONLY, nullptr},
    {&sg_autoRestartF, "sg_autoRestartF", "30", SERVER_ONLY, nullptr},
};

struct moveRow_t {
    const char *name;
    float value;
};
// In cmoveParams_t order.
constexpr moveRow_t MOVE_ROWS[SG_MOVE_VARS] = {
    {"c_gravity", 15.5f},           {"c_noclipSpeed", 6.0f},         {"c_spectatorSpeed", 5.0f},
    {"c_airSpeed", 2.2f},           {"c_walkSpeed", 3.5f},           {"c_creepSpeed", 1.75f},
    {"c_crouchSpeed", 1.4f},        {"c_jumpSpeed", 6.1f},           {"c_dirtSpeed", 8.0f},
    {"c_noclipFriction", 1000.0f},  {"c_spectatorFriction", 16.0f},  {"c_airFriction", 1.1f},
    {"c_groundFriction", 20.1f},    {"c_noclipAcceleration", 10.0f}, {"c_spectatorAcceleration", 10.0f},
    {"c_airAcceleration", 2.75f},   {"c_walkAcceleration", 15.0f},   {"c_creepAcceleration", 15.0f},
    {"c_crouchAcceleration", 15.0f},
};

struct commandRow_t {
    const char *name;
    cmdCallback_t handler;
    uint32_t flags;
};
const commandRow_t COMMAND_ROWS[] = {
    {"sg_printCrystal", SG_PrintCrystal_f, SERVER_ONLY},
    {"sg_captureCrystal", SG_CaptureCrystal_f, SERVER_ONLY},
    {"sg_clientList", SG_ClientList_f, SERVER_ONLY},
    {"sg_kill", SG_Kill_f, SERVER_ONLY},
    {"noClip", SG_NoClip_f, SERVER_ONLY},
    {"map", SG_Map_f, 0},
    {"restartMap", SG_RestartMap_f, SERVER_ONLY},
    {"nextMap", SG_NextMap_f, SERVER_ONLY},
    {"entityList", SG_EntityList_f, SERVER_ONLY},
    {"spawnBot", SG_SpawnBot_f, SERVER_ONLY},
    {"shutdownServer", SG_ShutdownServer_f, SERVER_ONLY},
    {"shutdownMap", SG_ShutdownServer_f, SERVER_ONLY},
    {"give", SG_Give_f, SERVER_ONLY},
    {"sg_say", SG_Say_f, SERVER_ONLY},
    {"sg_centerSay", SG_CenterSay_f, SERVER_ONLY},
};

// Sets a variable back into 0..999 when a change took it outside.
void ClampLimit(cmdVar_t *var) {
    if (var->integer > 999)
        Trap_SetCVar(var, "999");
    else if (var->integer < 0)
        Trap_SetCVar(var, "0");
}

}  // namespace

void SG_Imp(uint8_t registerVars) {
    memset(&sg, 0, sizeof sg);
    memset(&sgs, 0, sizeof sgs);
    if (!registerVars) return;
    for (const varRow_t &row : VAR_ROWS) {
        if (row.callback)
            Trap_CreateCVarEx(row.var, row.name, row.value, row.flags, row.callback);
        else
            Trap_CreateCVar(row.var, row.name, row.value, row.flags);
    }
    for (int i = 0; i < SG_MOVE_VARS; i++)
        Trap_CreateCVar(&sg_moveVars[i], MOVE_ROWS[i].name, va("%.2f", MOVE_ROWS[i].value), SERVER_ONLY);
    for (const commandRow_t &row : COMMAND_ROWS) Trap_CreateFunction(row.name, row.handler, row.flags);
}

void SG_TimeLimit_v() { ClampLimit(&sg_timeLimit); }
void SG_RoundLimit_v() { ClampLimit(&sg_roundLimit); }

void SG_UpdateCMoveParams() {
    float values[SG_MOVE_VARS];
    for (int i = 0; i < SG_MOVE_VARS; i++) values[i] = sg_moveVars[i].value;
    static_assert(sizeof values == sizeof(cmoveParams_t));
    memcpy(&sgs.cmoveParams, values, sizeof values);
    if (!memcmp(&sgs.cmoveParams, &sgs.sentCMoveParams, sizeof(cmoveParams_t))) return;
    sgs.sentCMoveParams = sgs.cmoveParams;
    for (sgClient_t &c : sgs.clients)
        if (c.inUse) c.infoTime = 0;
}
