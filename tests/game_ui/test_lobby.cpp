// The lobby's buttons and the commands they issue, the title screen, the server
// information screen filled from "serverinfo2", and the credits' scroll and fades.
#include <cstring>

#include "game/g_materials.h"
#include "game/g_move.h"
#include "game_cl/cg_drawents.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_model.h"
#include "game_cl/cg_screen.h"
#include "game_cl/cg_view.h"
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

class TitleLogo : public Lobby {
protected:
    void SetUp() override {
        Lobby::SetUp();
        CG_UnloadModel(0);
        CG_LoadDefaultModel();
        fake::registerFromFiles = true;
        fake::files["logo.lo2"] = "lod";
        fake::files["logo.model"] = "lod 0 logo.lo2\n";
        uiMedia[UIMEDIA_LOBBY_LOGO] = CG_LoadModel("logo.model");
        uiMedia[UIMEDIA_LOGO] = 12;
        fake::sceneRecordBytes[0] = sizeof(refdef_t);
        fake::sceneRecordBytes[1] = sizeof(viewParams_t);
        fake::surfaceEntityBytes = sizeof(surfaceEntity_t);
        cg.ecl.state = ECL_DISCONNECTED;
    }
    void TearDown() override {
        CG_UnloadModel(0);
        Lobby::TearDown();
    }
    // The logo's axis as the last frame drew it.
    static std::vector<float> LastAxis() {
        const auto e = fake::Record<surfaceEntity_t>(fake::surfaceEntities.back());
        return {e.axis, e.axis + 9};
    }
};

TEST_F(TitleLogo, TheLogoModelTurnsSlowlyAboveTheVersion) {
    ASSERT_NE(uiMedia[UIMEDIA_LOBBY_LOGO], 0);
    qgame.frameSeconds = 0;
    DrawLobby();
    ASSERT_EQ(fake::renderedScenes.size(), 1u);
    const auto r = fake::Record<refdef_t>(fake::renderedScenes[0].refdefCopy);
    const auto v = fake::Record<viewParams_t>(fake::renderedScenes[0].viewCopy);
    EXPECT_EQ(r.destination, 0);
    EXPECT_EQ((std::vector<int32_t>{r.x, r.y, r.width, r.height}), (std::vector<int32_t>{80, 60, 1120, 840}));
    EXPECT_EQ((std::vector<float>{v.origin, v.origin + 3}), (std::vector<float>{0, 0, -7}));
    ASSERT_EQ(fake::surfaceEntities.size(), 1u);
    const std::vector<std::string> texts = Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Hollowmere 1.10b"), texts.end());
    const std::vector<float> before = LastAxis();

    // Two seconds later it has turned 10 degrees further about its third angle's axis.
    qgame.frameSeconds = 2;
    DrawLobby();
    ASSERT_EQ(fake::renderedScenes.size(), 2u);
    const std::vector<float> after = LastAxis();
    matrix3x3_t step, expected;
    const vec3_t tenDegrees = {0, 0, 10};
    BuildRotationMatrix3x3(step, tenDegrees);
    for (int row = 0; row < 3; row++)
        for (int col = 0; col < 3; col++) {
            expected[3 * row + col] = 0;
            for (int k = 0; k < 3; k++) expected[3 * row + col] += before[3 * row + k] * step[3 * k + col];
        }
    for (int i = 0; i < 9; i++) EXPECT_NEAR(after[i], expected[i], 1e-4f) << i;
}

TEST_F(TitleLogo, AReplacedLogoIsAStillPicture) {
    ui.logoReplaced = 1;
    fake::trisPics.clear();
    DrawLobby();
    EXPECT_TRUE(fake::renderedScenes.empty());
    EXPECT_TRUE(fake::surfaceEntities.empty());
    const std::vector<pic_t> pics = Pics();
    ASSERT_EQ(pics.size(), 1u);
    EXPECT_EQ(pics[0].material, 12);
    EXPECT_FLOAT_EQ(pics[0].x, 180);
    EXPECT_FLOAT_EQ(pics[0].y, 135);
    EXPECT_FLOAT_EQ(pics[0].w, 280);
    EXPECT_FLOAT_EQ(pics[0].h, 210);
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
