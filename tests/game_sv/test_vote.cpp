// Votes: the kinds and their commands, refusals, counting and the automatic vote.
#include <string>

#include "tests/game_sv/sg_test_server.h"

namespace {

struct VoteTest : ServerTest {
    static bool Added(const std::string &line) {
        for (const std::string &a : fake::added)
            if (a == line) return true;
        return false;
    }
};

TEST_F(VoteTest, KindsBuildTheirCommands) {
    struct row_t {
        int32_t rules;
        int32_t argc;
        const char *kind, *arg, *maxPlayers;  // maxPlayers null: no such variable
        const char *command;                   // null: no vote
        const char *centre;
    };
    const row_t rows[] = {
        {RULES_FORGE, 3, "createball", "3", "8", "createball 5", "Vote for createball 5"},
        {RULES_FORGE, 3, "createball", "99", "8", "createball 25", "Vote for createball 25"},
        {RULES_CRYSTAL_ROUNDS, 3, "createball", "9", "8", nullptr, nullptr},
        {RULES_CRYSTAL_ROUNDS, 2, "blurworld", "", "8", "blurWorld", "Vote for blur world"},
        {RULES_FORGE, 2, "noclip", "", "8", "noClip", "Vote for no clip"},
        {RULES_DEATH_MATCH, 2, "noclip", "", "8", nullptr, nullptr},
        {RULES_CRYSTAL_ROUNDS, 3, "map", "maps/moon", "1", "map maps/moon cr 2", "Vote for map maps/moon"},
        {RULES_CRYSTAL_ROUNDS, 3, "map", "moon", "40", "map moon cr 16", "Vote for map moon"},
        {RULES_FORGE, 3, "map", "moon.world", nullptr, "map moon.world f", "Vote for map moon.world"},
        {RULES_CRYSTAL_ROUNDS, 2, "map", "", "8", nullptr, nullptr},
        {RULES_CRYSTAL_ROUNDS, 3, "rules", "DM", "8", "sg_rules dm", "Vote for rules dm"},
        {RULES_CRYSTAL_ROUNDS, 2, "restartmap", "", "8", "restartMap", "Vote for restart map"},
        {RULES_CRYSTAL_ROUNDS, 3, "kick", "1", "8", "kick 1", "Vote for kick player P1"},
        {RULES_CRYSTAL_ROUNDS, 3, "kick", "16", "8", nullptr, nullptr},
        {RULES_CRYSTAL_ROUNDS, 3, "kicks", "1", "8", nullptr, nullptr},
    };
    for (const row_t &r : rows) {
        SCOPED_TRACE(testing::Message() << r.kind << " " << r.arg);
        sg.rules = r.rules;
        sg.voteStart = 0;
        sg.voteCommand[0] = 0;
        fake::engineVars.clear();
        fake::vars.erase("sv_maxplayers");
        if (r.maxPlayers) fake::Set("sv_maxPlayers", r.maxPlayers);
        sgClient_t *caller = Client(0, TEAM_BLUE, CS_DEAD);
        Client(1, TEAM_RED, CS_DEAD);
        fake::commands.clear();
        SG_CallVote(caller, r.argc, r.kind, r.arg);
        if (r.command) {
            EXPECT_STREQ(sg.voteCommand, r.command);
            EXPECT_NE(sg.voteStart, 0);
            EXPECT_EQ(Received(1, std::string("cg_print_center \"") + r.centre + "\""), 1);
            EXPECT_EQ(Received(1, std::string("cg_print \"") + r.centre + " (yes/no in console)\""), 
                      strcmp(r.kind, "restartmap") ? 1 : 0);
        } else {
            EXPECT_EQ(sg.voteStart, 0);
            EXPECT_EQ(Received(0, "We only allow"), 1);
        }
    }
}

TEST_F(VoteTest, ArgumentsThatCouldReachTheConsoleAreRefused) {
    sgClient_t *caller = Client(0, TEAM_BLUE, CS_DEAD);
    for (const char *arg : {"x;quit", "x quit", "a\nquit", "\"x\"", "x$y", "x\\y", "m;", ";"}) {
        sg.voteStart = 0;
        fake::commands.clear();
        SG_CallVote(caller, 3, "map", arg);
        EXPECT_EQ(sg.voteStart, 0) << arg;
        EXPECT_EQ(Received(0, "We only allow"), 1) << arg;
    }
    // Through the text command as a client sends it: the vote never starts and nothing reaches the buffer.
    cc_t cc = Command("call_vote map x;quit");
    SG_IssueCC(caller, &cc, 0);
    EXPECT_EQ(sg.voteStart, 0);
    EXPECT_TRUE(fake::added.empty());
    SG_CallVote(caller, 3, "map", "game/c_maps/moon-2_b.world");
    EXPECT_NE(sg.voteStart, 0);
}

TEST_F(VoteTest, DisabledKindsAreRefused) {
    sgClient_t *caller = Client(0, TEAM_BLUE, CS_DEAD);
    fake::Set("sg_voteDisableKick", "1");
    SG_CallVote(caller, 3, "kick", "0");
    EXPECT_EQ(sg.voteStart, 0);
    EXPECT_EQ(Received(0, "Server has disabled this vote"), 1);
}

TEST_F(VoteTest, KickOfAFreeSlotStartsNothingAndSaysNothing) {
    sgClient_t *caller = Client(0, TEAM_BLUE, CS_DEAD);
    SG_CallVote(caller, 3, "kick", "5");
    EXPECT_EQ(sg.voteStart, 0);
    EXPECT_TRUE(fake::commands.empty());
}

TEST_F(VoteTest, NextMapNamesTheFollowingMapWithoutExtension) {
    fake::files["mapcycle.txt"] = "alpha.world beta.world";
    Com_strncpyz(sg.world.path, "game/c_maps/alpha.world", sizeof(sg.world.path));
    sgClient_t *caller = Client(0, TEAM_BLUE, CS_DEAD);
    SG_CallVote(caller, 2, "nextmap", "");
    EXPECT_STREQ(sg.voteCommand, "nextMap");
    EXPECT_EQ(Received(0, "Vote for next map beta (yes/no in console)"), 1);
}

TEST_F(VoteTest, LoneVoterPassesInTheNextFrame) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_DEAD);
    Client(1, TEAM_RED, CS_SPECTATOR);  // spectators hold nothing open
    cc_t cc = Command("call_vote restartmap");
    SG_IssueCC(a, &cc, 0);
    ASSERT_NE(sg.voteStart, 0);
    Advance(50);
    SG_CheckVote();
    EXPECT_EQ(sg.voteStart, 0);
    EXPECT_EQ(a->voted, 0);
    EXPECT_TRUE(fake::Printed("Voting finished 1 - 0, vote passed") || Received(0, "Voting finished 1 - 0, vote passed"));
    EXPECT_TRUE(Added("restartMap"));
}

TEST_F(VoteTest, AllAnsweredVoteIsCountedEvenEarlyOnTheClock) {
    // Ending a vote must not depend on the clock being past 30 seconds.
    fake::qg.time = 1000;
    Refresh();
    sgClient_t *a = Client(0, TEAM_BLUE, CS_DEAD);
    SG_CallVote(a, 2, "blur", "");
    sg.voteYes = 1;
    a->voted = 1;
    SG_CheckVote();
    EXPECT_EQ(sg.voteStart, 0);
    EXPECT_EQ(a->voted, 0);
    EXPECT_TRUE(Added("blurWorld"));
}

TEST_F(VoteTest, KickVoteOfAPlayerWhoLeftKicksNobody) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_DEAD);
    Client(1, TEAM_RED, CS_DEAD);
    SG_CallVote(a, 3, "kick", "1");
    ASSERT_STREQ(sg.voteCommand, "kick 1");
    SG_DropClient(&sgs.clients[1], "");
    sgClient_t *newcomer = Client(1, TEAM_RED, CS_DEAD);  // takes the slot before the vote ends
    sg.voteYes = 2;
    a->voted = newcomer->voted = 1;
    SG_CheckVote();
    EXPECT_EQ(sg.voteStart, 0);
    EXPECT_FALSE(Added("kick 1"));
}

TEST_F(VoteTest, OpenVoteEndsAfterThirtySecondsAndATieFails) {
    sgClient_t *a = Client(0, TEAM_BLUE, CS_DEAD);
    Client(1, TEAM_RED, CS_DEAD);  // never answers
    SG_CallVote(a, 2, "blur", "");
    a->voted = 1;
    sg.voteYes = 0;
    sg.voteNo = 0;
    Advance(29999);
    SG_CheckVote();
    EXPECT_NE(sg.voteStart, 0);
    Advance(1);
    SG_CheckVote();
    EXPECT_EQ(sg.voteStart, 0);
    EXPECT_EQ(a->voted, 0);
    EXPECT_TRUE(fake::added.empty());
    EXPECT_EQ(Received(1, "Voting finished 0 - 0, vote not passed"), 1);
}

TEST_F(VoteTest, ServerCallsANextMapVoteAfterNinetyMinutes) {
    sg.matchStart = static_cast<int32_t>(qgame.time);
    sg.lastAutoVote = sg.matchStart;
    sgClient_t *c = Client(0, TEAM_BLUE, CS_DEAD);
    Advance(5400000);
    SG_AutoCallVote();
    EXPECT_EQ(sg.voteStart, 0);  // not yet longer than 90 minutes
    sg.voteStart = SG_Now();     // a player's vote runs and was answered
    sg.voteYes = 1;
    c->voted = 1;
    Advance(1);
    SG_AutoCallVote();
    EXPECT_NE(sg.voteStart, 0);
    EXPECT_STREQ(sg.voteCommand, "nextMap");
    EXPECT_EQ(sg.voteYes, 0);
    EXPECT_EQ(c->voted, 0) << "the replaced vote's answer does not stand for the new one";
    sg.voteStart = 0;
    Advance(1200000);
    SG_AutoCallVote();
    EXPECT_EQ(sg.voteStart, 0);  // 20 minutes between automatic votes
    fake::Set("sg_skipAutoCallVote", "1");
    Advance(1000);
    SG_AutoCallVote();
    EXPECT_EQ(sg.voteStart, 0);
}

}  // namespace
