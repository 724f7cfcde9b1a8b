// Votes: a player calls one of eight kinds, everybody answers, and a vote that
// passed hands its console command to the engine's command buffer.
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_materials.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_sv/sg_local.h"

constexpr int32_t VOTE_DURATION_MSEC = 30000;        // a vote ends once more time than this less 1 ms passed
constexpr int32_t AUTO_VOTE_MATCH_MSEC = 5400000;    // a match this old gets a next-map vote ...
constexpr int32_t AUTO_VOTE_INTERVAL_MSEC = 1200000; // ... at most this often

static const char VOTE_REFUSAL[] =
    "cg_print \"We only allow: createball (in forge), noClip (in forge), kick, blur, map, rules, nextmap and "
    "restartmap\"";

// A vote's argument ends up inside a console line: only words that cannot end the
// statement or open another are let through.
static bool VoteArgumentIsSafe(const char *arg) {
    for (const char *p = arg; *p; p++) {
        const char c = *p;
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                        c == '-' || c == '.' || c == '/';
        if (!ok) return false;
    }
    return true;
}

static void VoteRefuse(sgClient_t *caller, const char *text) {
    if (caller) SG_ClientPrintf(caller, "%s", text);
}

// The player limit a map vote or a next map passes on: sv_maxPlayers within 2..16.
static int32_t VoteMaxPlayers(const cmdVar_t *var) { return var->integer < 2 ? 2 : var->integer > 16 ? 16 : var->integer; }

// One accepted kind: its command, its console line and its centre text.
static void VoteBegin(const char *command, const char *line, const char *centre) {
    Com_strncpyz(sg.voteCommand, command, sizeof(sg.voteCommand));
    SG_Printf(0, "%s", line);
    SG_Printf(1, "%s", centre);
    sg.voteYes = 0;
    sg.voteNo = 0;
    // Nobody has answered the new vote, also when the server's vote replaces a
    // running one whose answers are thrown away.
    for (sgClient_t &cl : sgs.clients) cl.voted = 0;
    // A vote is in progress while its start is not 0, so a start at time 0 counts as 1.
    sg.voteStart = qgame.time ? static_cast<int32_t>(qgame.time) : 1;
}

// The usual announcements: "Vote for <what> (yes/no in console)" and "Vote for <what>".
static void VoteStart(const char *command, const char *what) {
    char line[SG_TEXT_SIZE], centre[SG_TEXT_SIZE];
    Com_sprintf(line, sizeof(line), "Vote for %s (yes/no in console)", what);
    Com_sprintf(centre, sizeof(centre), "Vote for %s", what);
    VoteBegin(command, line, centre);
}

void SG_CallVote(sgClient_t *caller, int32_t argc, const char *kind, const char *argument) {
    if (!kind) kind = "";
    if (!argument) argument = "";
    if (!VoteArgumentIsSafe(argument)) {
        VoteRefuse(caller, VOTE_REFUSAL);
        return;
    }
    auto disabled = [caller](const cmdVar_t &var) {
        if (!var.integer) return false;
        VoteRefuse(caller, "cg_print \"Server has disabled this vote\"");
        return true;
    };
    char what[SG_TEXT_SIZE];
    char command[SG_TEXT_SIZE];
    const bool forge = sg.rules == RULES_FORGE;

    if (!strcmp(kind, "createball") && forge) {
        if (disabled(sg_voteDisableCreateball)) return;
        int32_t n = Com_atoi(argument);
        n = n < 5 ? 5 : n > 25 ? 25 : n;
        Com_sprintf(command, sizeof(command), "createball %d", n);
        Com_sprintf(what, sizeof(what), "createball %d", n);
        VoteStart(command, what);
        return;
    }
    if (!strcmp(kind, "blur") || !strcmp(kind, "blurworld")) {
        if (disabled(sg_voteDisableBlur)) return;
        VoteStart("blurWorld", "blur world");
        return;
    }
    if (!strcmp(kind, "noclip") && forge) {
        if (disabled(sg_voteDisableNoclip)) return;
        VoteStart("noClip", "no clip");
        return;
    }
    if (!strcmp(kind, "map") && argc > 2) {
        if (disabled(sg_voteDisableMap)) return;
        const char *rules = G_GetRulesString(sg.rules);
        if (const cmdVar_t *mp = Trap_GetCVar("sv_maxPlayers"))
            Com_sprintf(command, sizeof(command), "map %s %s %d", argument, rules, VoteMaxPlayers(mp));
        else
            Com_sprintf(command, sizeof(command), "map %s %s", argument, rules);
        Com_sprintf(what, sizeof(what), "map %s", argument);
        VoteStart(command, what);
        return;
    }
    if (!strcmp(kind, "rules") && argc > 2) {
        if (disabled(sg_voteDisableRules)) return;
        const char *rules = G_GetRulesString(G_GetRules(argument));
        Com_sprintf(command, sizeof(command), "sg_rules %s", rules);
        Com_sprintf(what, sizeof(what), "rules %s", rules);
        VoteStart(command, what);
        return;
    }
    if (!strcmp(kind, "nextmap")) {
        if (disabled(sg_voteDisableNextmap)) return;
        char next[SG_TEXT_SIZE];
        Com_strncpyz(next, SG_GetNextMap(sg.world.path, 0), sizeof(next));
        Com_StripExtension(next);
        Com_sprintf(what, sizeof(what), "next map %s", next);
        VoteStart("nextMap", what);
        return;
    }
    if (!strcmp(kind, "restartmap")) {
        if (disabled(sg_voteDisableRestartmap)) return;
        VoteBegin("restartMap", "Vote for next restart map (yes/no in console)", "Vote for restart map");
        return;
    }
    const int32_t slot = Com_atoi(argument);
    if (!strcmp(kind, "kick") && slot >= 0 && slot < SG_CLIENTS) {
        if (disabled(sg_voteDisableKick)) return;
        const sgClient_t *target = &sgs.clients[slot];
        if (!target->inUse) return;
        Com_sprintf(command, sizeof(command), "kick %d", slot);
        Com_sprintf(what, sizeof(what), "kick player %s", target->name);
        VoteStart(command, what);
        return;
    }
    VoteRefuse(caller, VOTE_REFUSAL);
}

void SG_VoteClientLeft(int32_t slot) {
    // A kick vote names a slot: a newcomer there is not whom the vote is about.
    char kick[SG_TEXT_SIZE];
    Com_sprintf(kick, sizeof(kick), "kick %d", slot);
    if (sg.voteStart && !strcmp(sg.voteCommand, kick)) sg.voteCommand[0] = 0;
}

void SG_AutoCallVote() {
    if (sg_skipAutoCallVote.integer) return;
    if (SG_Since(sg.matchStart) <= AUTO_VOTE_MATCH_MSEC || SG_Since(sg.lastAutoVote) <= AUTO_VOTE_INTERVAL_MSEC)
        return;
    sg.lastAutoVote = SG_Now();
    if (SG_GetNumClients() > 0) SG_CallVote(nullptr, 2, "nextmap", "");
}

void SG_CheckVote() {
    if (!sg.voteStart) return;
    bool answered = true;
    for (const sgClient_t &cl : sgs.clients) {
        if (cl.inUse && cl.cs.moveType != CS_SPECTATOR && !cl.voted) answered = false;
    }
    // Counted once everybody answered or the time ran out.
    if (!answered && SG_Since(sg.voteStart) < VOTE_DURATION_MSEC) return;
    sg.voteStart = 0;
    for (sgClient_t &cl : sgs.clients) {
        if (cl.inUse) cl.voted = 0;
    }
    if (sg.voteYes > sg.voteNo) {
        SG_Printf(0, "Voting finished %d - %d, vote passed", sg.voteYes, sg.voteNo);
        if (sg.voteCommand[0]) Trap_Add(sg.voteCommand);
    } else {
        SG_Printf(0, "Voting finished %d - %d, vote not passed", sg.voteYes, sg.voteNo);
    }
}
