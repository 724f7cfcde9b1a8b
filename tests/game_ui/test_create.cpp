// The create-server screen: the worlds it lists, what marking one proposes, and the
// variables and the one "map" command that CREATE issues.
#include "game_ui/ui_create.h"
#include "tests/game_ui/menu_fixture.h"

namespace {

using namespace uitest;

constexpr int32_t CREATE_X = 540, CREATE_Y = 345 + UI_SCREEN_WINDOW_Y;

class CreateScreen : public MenuTest {
protected:
    void Prepare() override {
        fake::files["b.world"] = "name Beta\nrules DM\nmaxPlayers 1\n";
        fake::files["maps/a b.world"] = "name Alpha\ndescription first\nrules CC\nmaxPlayers 20\n";
        fake::files["maps/q\"uote.world"] = "name Quote\n";
        fake::files["maps/broken.world"] = "name Broken\n}\n";
        fake::files["game/c_maps/c.world"] = "name Gamma\n";
        fake::files["game/c_maps/zero.world"] = "name Zero\nrules F\nmaxPlayers 0\n";
        const std::pair<const char *, const char *> vars[] = {
            {"sv_pure", "1"},       {"sv_name", "Host"},    {"sv_maxPlayers", "12"}, {"sv_lanServer", "0"},
            {"sv_password", "old"}, {"sg_rules", "1"},      {"sg_timeLimit", "15"},  {"sg_roundLimit", "7"},
        };
        for (const auto &[name, value] : vars) fake::Set(name, value);
    }
    // Marks row r of the world list with one click (small font rows of 16 under a header row).
    static void Mark(int32_t row) { ClickAt(40, UI_SCREEN_WINDOW_Y + 35 + 5 + 16 * (row + 1) + 4); }
    static std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        const uiAtom_t *list = ui_create[CREATE_LIST];
        for (int32_t r = 0; r < UI_GetNumRecords(list); r++) rows.emplace_back(list->list.records[r].text);
        return rows;
    }
    static const char *Var(const char *name) { return fake::Var(name)->string; }
};

TEST_F(CreateScreen, ListsReadableWorldsOfTheThreeFoldersByName) {
    EXPECT_EQ(Text(ui_create[CREATE_SERVER_NAME]), "Host");
    EXPECT_EQ(Text(ui_create[CREATE_MAX_PLAYERS]), "12");
    EXPECT_EQ(Text(ui_create[CREATE_LIMIT_LABEL]), "Round Limit");
    EXPECT_EQ(Text(ui_create[CREATE_LIMIT]), "7");
    EXPECT_TRUE(UI_GetCheckBoxMarked(ui_create[CREATE_LAN_ONLY]));
    EXPECT_TRUE(UI_GetCheckBoxMarked(ui_create[CREATE_PURE]));
    Enter(CG_MENU_CREATE_SERVER);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Alpha", "Beta", "Gamma", "Zero"}));
    // Each search has the room the earlier ones left.
    const std::vector<std::pair<std::string, int32_t>> searches = {
        {"*.world", 256}, {"maps/*.world", 255}, {"game/c_maps/*.world", 252}};
    using searchList_t = std::vector<std::pair<std::string, int32_t>>;
    ASSERT_GE(fake::fileSearches.size(), 3u);
    EXPECT_EQ(searchList_t(fake::fileSearches.end() - 3, fake::fileSearches.end()), searches);
    EXPECT_TRUE(PicDrawn(uiMedia[UIMEDIA_BLACK]));
    EXPECT_FALSE(Drawn("first"));
    fake::files.erase("maps/a b.world");
    Frame();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Beta", "Gamma", "Zero"}));
}

TEST_F(CreateScreen, CreateWritesTheChoicesAndStartsTheMarkedWorldByItsQuotedPath) {
    Enter(CG_MENU_CREATE_SERVER);
    Mark(0);
    Frame();
    EXPECT_TRUE(Drawn("first"));  // the marked world's description in the info panel
    EXPECT_EQ(Text(ui_create[CREATE_LIMIT_LABEL]), "Time Limit");  // its own rules: capture the crystal
    EXPECT_EQ(Text(ui_create[CREATE_LIMIT]), "15");
    EXPECT_EQ(Text(ui_create[CREATE_MAX_PLAYERS]), "16");
    UI_SetCheckBoxMarked(ui_create[CREATE_DEDICATED], 1);
    UI_SetText(ui_create[CREATE_LIMIT], "25");
    UI_SetText(ui_create[CREATE_PASSWORD], "pw");
    ClickAt(CREATE_X, CREATE_Y);
    EXPECT_EQ(fake::added, (std::vector<std::string>{"client 0", "map \"maps/a b.world\" CC 16"}));
    EXPECT_EQ(fake::Words(fake::added[1])[1], "maps/a b.world");
    EXPECT_STREQ(Var("sv_lanServer"), "1");
    EXPECT_STREQ(Var("sv_pure"), "1");
    EXPECT_STREQ(Var("sg_timeLimit"), "25");
    EXPECT_STREQ(Var("sg_roundLimit"), "7");
    EXPECT_STREQ(Var("sv_password"), "pw");
    EXPECT_STREQ(Var("sv_name"), "Host");
    EXPECT_EQ(cg.menu, CG_MENU_NONE);
}

TEST_F(CreateScreen, MarkingAWorldProposesItsRulesAndPlayerLimitOnce) {
    struct proposalCase_t {
        int32_t row;
        const char *players;  // with "5" in the box before
        const char *limitLabel, *limit;
        const char *command;
    };
    const proposalCase_t cases[] = {
        {1, "2", "Time Limit", "15", "map \"b.world\" DM 2"},
        {2, "8", "Round Limit", "7", "map \"game/c_maps/c.world\" CR 8"},
        {3, "5", "Time Limit", "0", "map \"game/c_maps/zero.world\" F 5"},
    };
    for (const proposalCase_t &c : cases) {
        SCOPED_TRACE(c.command);
        Enter(CG_MENU_CREATE_SERVER);
        UI_SetText(ui_create[CREATE_MAX_PLAYERS], "5");
        Mark(c.row);
        EXPECT_EQ(Text(ui_create[CREATE_MAX_PLAYERS]), c.players);
        EXPECT_EQ(Text(ui_create[CREATE_LIMIT_LABEL]), c.limitLabel);
        EXPECT_EQ(Text(ui_create[CREATE_LIMIT]), c.limit);
        Frame();
        UI_SetText(ui_create[CREATE_LIMIT], "30");  // a forge game writes no time limit whatever the box says
        fake::Set("sg_timeLimit", "15");
        fake::added.clear();
        ClickAt(CREATE_X, CREATE_Y);
        EXPECT_EQ(fake::added, std::vector<std::string>{c.command});
        EXPECT_STREQ(Var("sg_timeLimit"), c.row == 3 ? "0" : c.row == 1 ? "30" : "15");
    }
}

TEST_F(CreateScreen, WithoutAListedWorldMarkedCreateOpensTheMapErrorAndWritesNothing) {
    const int32_t marks[] = {-1, -2, 4, 1000};
    for (const int32_t mark : marks) {
        SCOPED_TRACE(mark);
        Enter(CG_MENU_CREATE_SERVER);
        UI_SetMarkedRecord(ui_create[CREATE_LIST], mark);
        ui.modal = MODAL_NONE;
        const int32_t before = fake::Var("sv_pure")->modificationCount;
        ClickAt(CREATE_X, CREATE_Y);
        EXPECT_EQ(ui.modal, MODAL_MAP_ERROR);
        EXPECT_TRUE(fake::added.empty());
        EXPECT_EQ(fake::Var("sv_pure")->modificationCount, before);
        EXPECT_EQ(cg.menu, CG_MENU_CREATE_SERVER);
        Frame();  // the info panel shows no world
        EXPECT_TRUE(PicDrawn(uiMedia[UIMEDIA_BLACK]));
    }
}

TEST_F(CreateScreen, TheRulesBoxesActAsOneChoice) {
    Enter(CG_MENU_CREATE_SERVER);
    const auto box = [](int32_t y) { ClickAt(35 + 7, UI_SCREEN_WINDOW_Y + y + 7); };
    box(311);  // the marked Crystal Rounds
    EXPECT_TRUE(UI_GetCheckBoxMarked(ui_create[CREATE_CRYSTAL_ROUNDS]));
    EXPECT_EQ(Text(ui_create[CREATE_LIMIT_LABEL]), "Round Limit");
    box(293);  // Death Match
    EXPECT_TRUE(UI_GetCheckBoxMarked(ui_create[CREATE_DEATH_MATCH]));
    EXPECT_FALSE(UI_GetCheckBoxMarked(ui_create[CREATE_CRYSTAL_ROUNDS]));
    EXPECT_EQ(Text(ui_create[CREATE_LIMIT_LABEL]), "Time Limit");
    EXPECT_EQ(Text(ui_create[CREATE_LIMIT]), "15");
    box(347);  // Forge
    EXPECT_EQ(Text(ui_create[CREATE_LIMIT]), "0");
    EXPECT_FALSE(UI_GetCheckBoxMarked(ui_create[CREATE_DEATH_MATCH]));
}

TEST_F(CreateScreen, ADoubleClickOnAWorldCreatesAtOnce) {
    Enter(CG_MENU_CREATE_SERVER);
    Mark(1);
    Frame();
    Mark(1);
    EXPECT_EQ(fake::added, std::vector<std::string>{"map \"b.world\" DM 2"});
}

}  // namespace
