// Server start, restart and shutdown through the console: paths, rules and player
// limits, what the engine is handed, and failures that leave no server behind.
#include "tests/game_sv/sg_fixture.h"

namespace sgtest {
namespace {

TEST_F(SgTest, MapStartsTheEngineServerAndHandsItTheRecords) {
    ASSERT_TRUE(Start());
    const std::vector<std::string> expected = {"start test.world", "materials", "altitudes", "loadvo2 test.vo2"};
    EXPECT_EQ(fake::calls, expected);
    EXPECT_TRUE(fake::Printed("Starting server..."));
    EXPECT_TRUE(fake::Printed("............ \"test.world\" ............"));
    EXPECT_TRUE(fake::Printed("Server is up and running"));
    // The records grow on this host: the engine always gets their real size.
    EXPECT_EQ(fake::clientBase, static_cast<void *>(sgs.clients));
    EXPECT_EQ(fake::clientStride, static_cast<int32_t>(sizeof(sgClient_t)));
    EXPECT_EQ(fake::entityBase, static_cast<void *>(sg.entities));
    EXPECT_EQ(fake::entityStride, static_cast<int32_t>(sizeof(sgEntity_t)));
    EXPECT_EQ(fake::gameData, static_cast<void *>(&sg));
    EXPECT_EQ(fake::gameDataSize, 20);
    EXPECT_EQ(sgs.entitySerial, 1u);
    EXPECT_STREQ(sg_rules.string, "CR");
    EXPECT_EQ(sg.rules, RULES_CRYSTAL_ROUNDS);
}

TEST_F(SgTest, MapResolvesItsPathOrRefusesIt) {
    struct row_t {
        const char *arg;
        const char *file;      // the only script there is
        const char *started;   // null: no server
        const char *complaint;
    };
    const row_t rows[] = {
        {"foo", "foo.world", "start foo.world", nullptr},
        {"foo.world", "foo.world", "start foo.world", nullptr},
        {"foo", "game/c_maps/foo.world", "start game/c_maps/foo.world", nullptr},
        {"foo", "maps/foo.world", "start maps/foo.world", nullptr},
        {"foo.txt", "foo.txt", nullptr, "\"foo.txt\": file must have extension .world"},
        {"missing", "foo.world", nullptr, "Could not find file \"missing.world\""},
    };
    for (const row_t &r : rows) {
        SCOPED_TRACE(r.arg);
        SG_ShutdownServer(0);
        fake::files.clear();
        fake::errors.clear();
        fake::calls.clear();
        fake::files[r.file] = MINIMAL_SCRIPT;
        Run(std::string("map ") + r.arg);
        if (r.started) {
            ASSERT_FALSE(fake::calls.empty());
            EXPECT_EQ(fake::calls[0], r.started);
        } else {
            EXPECT_FALSE(sgs.running);
            EXPECT_TRUE(fake::calls.empty());
            EXPECT_TRUE(fake::Reported(r.complaint));
        }
    }
    fake::prints.clear();
    Run("map");
    EXPECT_TRUE(fake::Printed("USAGE: map <map filepath> [<rules> <max players>]"));
}

TEST_F(SgTest, PlayerLimitAndRulesComeFromTheCommandOrTheScript) {
    struct row_t {
        const char *args;
        const char *maxPlayers;
        const char *rules;
    };
    const row_t rows[] = {
        {"", "6", "F"},          // both from the script
        {"dm 0", "1", "DM"},
        {"cc 40", "16", "CC"},
        {"crystal_rounds 3", "3", "CR"},
    };
    for (const row_t &r : rows) {
        SCOPED_TRACE(r.args);
        SG_ShutdownServer(0);
        fake::prints.clear();
        ASSERT_TRUE(Start("matter test.vo2\nrules forge\nmaxPlayers 6\n", r.args));
        EXPECT_STREQ(fake::Var("sv_maxPlayers")->string, r.maxPlayers);
        EXPECT_STREQ(sg_rules.string, r.rules);
        EXPECT_EQ(fake::Printed("Use default max players"), r.args[0] == 0);
    }
}

TEST_F(SgTest, AFailedStartLeavesNoServerAndNoClients) {
    ASSERT_TRUE(Start());
    const sgClient_t *c = Connect(1);
    ASSERT_NE(c, nullptr);
    const int slot = c->number;
    fake::calls.clear();
    fake::files["broken.world"] = "matter x.vo2\nworldTags\n";
    Run("map broken");
    EXPECT_FALSE(sgs.running);
    EXPECT_EQ(SG_GetNumClients(), 0);
    EXPECT_FALSE(fake::slots[slot].inUse);
    EXPECT_EQ(fake::calls.back(), "shutdown 0");

    // A world file that cannot be loaded ends the start the same way.
    fake::calls.clear();
    fake::loadVO2Answer = false;
    Run("map test");
    EXPECT_FALSE(sgs.running);
    EXPECT_EQ(fake::calls.back(), "shutdown 0");
}

TEST_F(SgTest, ANewMapKeepsItsClientsAsSpectatorsAtTheStart) {
    ASSERT_TRUE(Start("matter test.vo2\nspectatorPos 1 2 3\n"));
    sgClient_t *c = Connect(1);
    Play(c, TEAM_RED);
    ASSERT_TRUE(Start("matter test.vo2\nspectatorPos 4 5 6\n"));
    EXPECT_TRUE(c->inUse);
    EXPECT_TRUE(fake::slots[c->number].inUse) << "the engine slot stays";
    EXPECT_EQ(c->cs.moveType, CS_SPECTATOR);
    EXPECT_EQ(c->cs.origin[0], 4.0f);
    EXPECT_EQ(fake::calls.back(), "loadvo2 test.vo2");
}

// Votes are counted per map and the objective timer runs on a client's first spawn
// of each map: a client kept across a map change starts both again.
TEST_F(SgTest, ANewMapGivesItsClientsTheirVotesAndTheirFirstSpawnAgain) {
    ASSERT_TRUE(Start("matter test.vo2\n"));
    sgClient_t *c = Connect(1);
    Play(c, TEAM_RED);
    c->votesCalled = 3;
    c->objectiveTime = 0;
    ASSERT_TRUE(Start("matter test.vo2\n"));
    EXPECT_EQ(c->votesCalled, 0);
    Play(c, TEAM_RED);
    EXPECT_EQ(c->objectiveTime, 3000) << "the first spawn on this map";
    c->objectiveTime = 0;
    Play(c, TEAM_RED);
    EXPECT_EQ(c->objectiveTime, 0) << "a second spawn on the same map";
}

TEST_F(SgTest, ShutdownWithoutServerSaysNothing) {
    SG_ShutdownServer(0);
    EXPECT_TRUE(fake::prints.empty());
    EXPECT_TRUE(fake::calls.empty());
}

TEST_F(SgTest, ServerInfoNamesRulesGameAndVersion) {
    char rules[256], game[256], version[256];
    int32_t protocol = -1;
    SG_GetServerInfo(rules, game, &protocol, version);
    EXPECT_STREQ(rules, "");
    EXPECT_EQ(protocol, 0);
    ASSERT_TRUE(Start(MINIMAL_SCRIPT, "cc"));
    SG_GetServerInfo(rules, game, &protocol, version);
    EXPECT_STREQ(rules, "CC");
    EXPECT_STREQ(game, "Hollowmere");
    EXPECT_STREQ(version, "1.10b");
    EXPECT_EQ(protocol, 110);
}

TEST_F(SgTest, AMovementChangeReachesEveryClientInTheSameFrame) {
    ASSERT_TRUE(Start());
    Connect(1);
    Connect(2);
    Frame();
    fake::commands.clear();
    Frame();
    EXPECT_EQ(CountCommands(1, "serverinfo2"), 0u) << "sent at most every 30 s otherwise";
    Run("c_gravity 9");
    Frame();
    EXPECT_EQ(sgs.cmoveParams.gravity, 9.0f);
    for (int n : {0, 1}) {
        ASSERT_EQ(CountCommands(n, "serverinfo2"), 1u);
        std::string text;
        for (const std::string &t : fake::CommandsTo(n))
            if (t.rfind("serverinfo2", 0) == 0) text = t;
        EXPECT_NE(text.find(" 9.0000 6.0000 5.0000"), std::string::npos) << text;
    }
}

TEST_F(SgTest, LimitsOfTheTimeAndRoundVariables) {
    const struct {
        const char *line;
        cmdVar_t *var;
        const char *expected;
    } rows[] = {
        {"sg_timeLimit 2000", &sg_timeLimit, "999"},
        {"sg_timeLimit 20", &sg_timeLimit, "20"},
        {"sg_roundLimit -1", &sg_roundLimit, "0"},
    };
    for (const auto &r : rows) {
        Run(r.line);
        EXPECT_STREQ(r.var->string, r.expected) << r.line;
    }
}

TEST_F(SgTest, RulesVariableSwitchesTheRunningMatch) {
    ASSERT_TRUE(Start(MINIMAL_SCRIPT, "dm"));
    sgClient_t *c = Connect(1);
    Play(c, TEAM_BLUE);
    Frame();
    for (const char *rules : {"cc", "F", "capture_crystal", "dm", "cr"}) {
        Run(std::string("sg_rules ") + rules);
        Frame();
        EXPECT_EQ(sg.rules, G_GetRules(rules)) << rules;
        EXPECT_TRUE(sg.noSolidarity);
        EXPECT_EQ(c->cs.moveType, CS_SPECTATOR) << "players watch the new match start";
    }
    EXPECT_STREQ(sg_rules.string, "CR") << "written back in short form";
}

}  // namespace
}  // namespace sgtest
