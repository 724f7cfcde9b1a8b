// The lobby's buttons and the commands they issue, the title screen, the server
// information screen filled from "serverinfo2", and the credits' scroll and fades.
#include <cstring>

#include "game/g_materials.h"
#include "game/g_move.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_screen.h"
#include "game_ui/ui_lobby.h"
#include "tests/game_ui/ui_fixture.h"

namespace {

using namespace uitest;

class Lobby : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        cg = cg_t{};
        UI_Lobby_Init();
        UI_ServerInfo_Init();
    }
    uiAtom_t *Find(const char *text) {
        for (uiAtom_t *a = UI_FirstAtom(); a; a = UI_NextAtom(a))
            if (!strcmp(a->text, text)) return a;
        return nullptr;
    }
    std::vector<std::string> VisibleButtons() {
        std::vector<std::string> out;
        for (uiAtom_t *a = UI_FirstAtom(); a; a = UI_NextAtom(a))
            if (a->kind == UIA_BUTTON && a->visible) out.insert(out.begin(), a->text);
        return out;
    }
    void DrawLobby() {
        fake::drawnStrings.clear();
        UI_SetAllAtomsNonVisible();
        UI_Lobby_Draw();
    }
};

TEST_F(Lobby, ChangeTeamShowsOnlyToPlayersOfTeamRules) {
    struct buttonCase_t {
        int32_t rules;
        uint8_t moveType;
        bool changeTeam;
    };
    const buttonCase_t cases[] = {
        {RULES_DEATH_MATCH, MT_NORMAL, false},     {RULES_FORGE, MT_NORMAL, false},
        {RULES_CRYSTAL_ROUNDS, MT_NORMAL, true},   {RULES_CRYSTAL_ROUNDS, MT_DEAD, true},
        {RULES_CRYSTAL_ROUNDS, MT_SPECTATOR, false}, {RULES_CAPTURE_CRYSTAL, MT_NORMAL, true},
        {RULES_CAPTURE_CRYSTAL, MT_INTERMISSION, false},
    };
    cg.ecl.state = ECL_CONNECTED;
    for (const buttonCase_t &c : cases) {
        cg.gameData.rules = c.rules;
        cg.predicted.moveType = c.moveType;
        DrawLobby();
        std::vector<std::string> expected{"Spectate", "Server Info", "Resume Game", "Leave Game"};
        if (c.changeTeam) expected.insert(expected.begin(), "Change Team");
        EXPECT_EQ(VisibleButtons(), expected) << c.rules << " " << int(c.moveType);
    }
}

TEST_F(Lobby, ButtonsIssueTheirCommands) {
    struct pressCase_t {
        const char *button;
        uint8_t team;
        std::vector<std::string> added;
        int32_t menu;
        int32_t modal;
    };
    const pressCase_t cases[] = {
        {"Change Team", 0, {"cc_spawn_red"}, CG_MENU_NONE, MODAL_NONE},
        {"Change Team", 1, {"cc_spawn_blue"}, CG_MENU_NONE, MODAL_NONE},
        {"Spectate", 0, {"cc_spawn_spectator"}, CG_MENU_NONE, MODAL_NONE},
        {"Server Info", 0, {}, CG_MENU_SERVER_INFO, MODAL_NONE},
        {"Resume Game", 0, {}, CG_MENU_NONE, MODAL_NONE},
        {"Leave Game", 0, {}, CG_MENU_LOBBY, MODAL_LEAVE},
    };
    for (const pressCase_t &c : cases) {
        fake::added.clear();
        cg.menu = CG_MENU_LOBBY;
        ui.modal = MODAL_NONE;
        cg.team = 1 - c.team;  // the record's own team field is never set: the predicted state counts
        cg.predicted.team = c.team;
        uiAtom_t *b = Find(c.button);
        ASSERT_NE(b, nullptr);
        b->button.release(b);
        EXPECT_EQ(fake::added, c.added) << c.button;
        EXPECT_EQ(cg.menu, c.menu) << c.button;
        EXPECT_EQ(ui.modal, c.modal) << c.button;
    }
}

TEST_F(Lobby, TheTitleScreenShowsNoButtonsButTheVersion) {
    cg.ecl.state = ECL_DISCONNECTED;
    DrawLobby();
    EXPECT_TRUE(VisibleButtons().empty());
    const std::vector<std::string> texts = Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Hollowmere 1.10b"), texts.end());
}

TEST_F(Lobby, TheServerInfoScreenShowsTheServerAndTheLastServerinfo2) {
    std::string command = "serverinfo2 1.25 2 3.5 1 0.5 1 0 1 0 1 \"next_map\"";
    for (int32_t i = 12; i < CG_SERVERINFO2_ARGS; i++) command += " 1";
    fake::serverCommands.push_back({command, {}});
    CG_RunServerCommands();
    Com_strncpyz(cg.serverName, "Box", sizeof cg.serverName);
    Com_strncpyz(cg.serverRules, "XY", sizeof cg.serverRules);
    cg.serverOs = 3;
    cg.serverPort = 14667;
    const uint8_t ip[4] = {192, 0, 2, 5};
    memcpy(cg.serverIp, ip, 4);
    fake::drawnStrings.clear();
    UI_SetAllAtomsNonVisible();
    UI_ServerInfo_Draw();
    std::vector<std::string> values;
    for (uiAtom_t *a = UI_FirstAtom(); a; a = UI_NextAtom(a))
        if (a->kind == UIA_TEXT && !(a->align & UI_ALIGN_RIGHT)) values.insert(values.begin(), a->text);
    const std::string c = "\xA4" "08";
    EXPECT_EQ(values, (std::vector<std::string>{c + "Box", c + "192.0.2.5", c + "14667", c + "Linux", c, c,
                                                 c + "XY", c, c + "next_map", c + "1.2", c + "2.0", c + "3.5",
                                                 c + "1", c + "0.5", c + "1.0", c + "0", c + "1", c + "0",
                                                 c + "1"}));
    cg.menu = CG_MENU_SERVER_INFO;
    uiAtom_t *back = Find("Back");
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->visible);
    back->button.release(back);
    EXPECT_EQ(cg.menu, CG_MENU_LOBBY);
}

TEST_F(Lobby, CreditsFadeInFromSeventyAndOutFromThreeThirty) {
    const std::pair<float, float> cases[] = {{69, 0},   {70, 0},   {95, 0.5f}, {120, 1}, {329, 1},
                                             {355, 0.5f}, {380, 0}, {-5, 0}};
    for (const auto &[y, alpha] : cases) EXPECT_FLOAT_EQ(UI_CreditAlpha(y), alpha) << y;
}

// At one frame of one second the credits rise by 20 units: as far as a name line
// stands above its role line.
TEST_F(Lobby, CreditsRiseTwentyUnitsPerSecond) {
    qgame.frameSeconds = 0.0f;
    auto lineY = [](const char *text) {
        for (const fake::drawnString_t &s : fake::drawnStrings)
            if (s.text == text) return s.y;
        return -1e9f;
    };
    // Find a frame in which an entry with both lines is fully shown, then move one second.
    for (int frame = 0; frame < 200; frame++) {
        fake::drawnStrings.clear();
        UI_Credits_Draw();
        const float name = lineY("Edda Pruitt"), role = lineY("User interface");
        if (name > -1e9f && role > -1e9f) {
            bool opaque = true;
            for (const fake::drawnString_t &s : fake::drawnStrings)
                if (s.text == "Edda Pruitt") opaque = s.colour[3] == 1.0f;
            if (opaque) {
                qgame.frameSeconds = 1.0f;
                fake::drawnStrings.clear();
                UI_Credits_Draw();
                EXPECT_NEAR(name - lineY("Edda Pruitt"), role - name, 0.01f);
                return;
            }
        }
        qgame.frameSeconds = 1.0f;
    }
    FAIL() << "the entry never came into view";
}

}  // namespace
