// Texts to players: the repeat filter, announcements, coloured names, the map
// cycle and the operator's announcements.
#include "tests/game_sv/sg_fixture.h"

namespace sgtest {
namespace {

TEST_F(SgTest, RepeatedTextsAreDroppedForFiveSecondsPerMode) {
    ASSERT_TRUE(Start());
    const int n = Connect(1)->number;
    fake::commands.clear();
    SG_Printf(PRINT_ALL, "%s: %s", "Ann", "hello");
    SG_Printf(PRINT_ALL, "%s: %s", "Ann", "hello");
    SG_Printf(PRINT_ALL, "%s: %s", "Bo", "hello");
    SG_Printf(PRINT_CENTER, "%s: %s", "Bo", "hello");
    const std::vector<std::string> expected = {"cg_print \"Ann: hello\"", "cg_print \"Bo: hello\"",
                                               "cg_print_center \"Bo: hello\""};
    EXPECT_EQ(fake::CommandsTo(n), expected);
    EXPECT_TRUE(fake::Printed("CENTER: Bo: hello"));
    fake::Advance(5000);
    Trap_GetQGame(&qgame);
    SG_Printf(PRINT_ALL, "\xA4" "08Bo\xA4" "00: hello");  // colour keys do not make it new, time does
    EXPECT_EQ(fake::CommandsTo(n).size(), 4u);
    fake::prints.clear();
    SG_Printf(PRINT_CONSOLE, "only %d", 1);
    SG_Printf(7, "nowhere");
    EXPECT_EQ(fake::CommandsTo(n).size(), 4u);
    EXPECT_EQ(fake::prints, std::vector<std::string>{"only 1"});
}

TEST_F(SgTest, SayPassesPercentSignsAsText) {
    ASSERT_TRUE(Start());
    const int n = Connect(1)->number;
    fake::commands.clear();
    Run("sg_say 100% sure %s %n");
    Run("sg_centerSay look");
    Run("sg_say");
    const std::vector<std::string> expected = {"cg_print \"100% sure %s %n\"", "cg_print_center \"look\""};
    EXPECT_EQ(fake::CommandsTo(n), expected);
    EXPECT_TRUE(fake::Printed("USAGE: sg_say <message>"));
}

TEST_F(SgTest, AnnouncementsWaitTheirTurnAndTheNewestWins) {
    ASSERT_TRUE(Start(MINIMAL_SCRIPT, "dm"));
    sgClient_t *c = Connect(1);
    auto last = [c] { return c->cs.events[(c->cs.eventCount - 1) & 15]; };
    SG_AnnounceAll(CE_BLUE_LEADS);
    EXPECT_EQ(last(), CE_BLUE_LEADS);
    const uint32_t count = c->cs.eventCount;
    Frame(500);
    SG_AnnounceAll(CE_RED_LEADS);
    EXPECT_EQ(c->cs.eventCount, count) << "kept for later";
    Frame(500);
    SG_AnnounceAll(CE_BLUE_WINS);
    Frame(900);
    EXPECT_EQ(c->cs.eventCount, count);
    Frame(100);  // two seconds after the first
    EXPECT_EQ(c->cs.eventCount, count + 1);
    EXPECT_EQ(last(), CE_BLUE_WINS);
    Frames(60);
    EXPECT_EQ(c->cs.eventCount, count + 1) << "only one waited";
}

TEST_F(SgTest, TeamAnnouncementsReachPlayingMembersOnly) {
    ASSERT_TRUE(Start(MINIMAL_SCRIPT, "cc"));
    sgClient_t *blue = Connect(1), *red = Connect(2), *watcher = Connect(3);
    Play(blue, TEAM_BLUE);
    Play(red, TEAM_RED);
    const uint32_t b = blue->cs.eventCount, r = red->cs.eventCount, w = watcher->cs.eventCount;
    SG_AnnounceTeam(TEAM_RED, CE_RED_WINS);
    EXPECT_EQ(blue->cs.eventCount, b);
    EXPECT_EQ(red->cs.eventCount, r + 1);
    EXPECT_EQ(watcher->cs.eventCount, w);
    EXPECT_EQ(sg.lastTeamAnnounce, CE_RED_WINS);
}

TEST_F(SgTest, NamesInTeamColours) {
    ASSERT_TRUE(Start(MINIMAL_SCRIPT, "cr"));
    sgClient_t *c = Connect(1, "Somebody Longer Than 16");
    c->cs.team = TEAM_RED;
    EXPECT_STREQ(SG_ClientColorName(c), "\xA4" "06Somebody Longer \xA4" "00");
    c->cs.team = TEAM_BLUE;
    EXPECT_STREQ(SG_ClientColorName(c), "\xA4" "05Somebody Longer \xA4" "00");
    sg.rules = RULES_FORGE;
    EXPECT_STREQ(SG_ClientColorName(c), "\xA4" "08Somebody Longer \xA4" "00");
}

TEST_F(SgTest, TheMapCycleGoesRoundAndStartsOverWhenLost) {
    const struct {
        const char *file;  // null: no cycle file
        const char *current;
        const char *next;
    } rows[] = {
        {"a.world b.world c.world", "maps/a.world", "b.world"},
        {"a.world b.world c.world", "c.world", "a.world"},
        {"a.world b.world c.world", "elsewhere.world", "a.world"},
        {"game/c_maps/A.WORLD\n// note\nmaps/b.world", "a.world", "b.world"},
        {"a.world b.world", "A.world", "a.world"},
        {"", "x/here.world", "here.world"},
        {nullptr, "x/here.world", "here.world"},
    };
    for (const auto &r : rows) {
        fake::files.erase("mapcycle.txt");
        if (r.file) fake::files["mapcycle.txt"] = r.file;
        fake::prints.clear();
        EXPECT_STREQ(SG_GetNextMap(r.current, 1), r.next) << r.current;
        EXPECT_EQ(fake::Printed("Could not find mapcycle.txt"), r.file == nullptr);
    }
}

}  // namespace
}  // namespace sgtest
