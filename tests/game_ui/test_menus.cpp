// The menu frame: which screen, bar and window a frame shows for each connection
// state and menu, the top menu's buttons, the modal windows and the spectator bar.
#include "common/com_msg.h"
#include "game_cl/cg_screen.h"
#include "game_ui/ui_local.h"
#include "tests/game_ui/menu_fixture.h"

namespace {

using namespace uitest;

class Menus : public MenuTest {
protected:
    // The x of the lit top-menu button's left edge; -1 when none is lit.
    static float LitButton() {
        for (const pic_t &p : Pics())
            if (p.material == uiMedia[UIMEDIA_BUTTON_HIGHLIGHT]) return p.x;
        return -1;
    }
    static netadr_t Address() {
        netadr_t a{};
        a.type = NA_IP;
        a.ip[0] = 10, a.ip[1] = 0, a.ip[2] = 0, a.ip[3] = 7;
        a.port = 14600;
        return a;
    }
};

TEST_F(Menus, EachFrameShowsTheScreenBarAndWindowOfTheStateAndMenu) {
    struct dispatchCase_t {
        const char *name;
        int32_t state, menu;
        uint8_t spectator;
        int32_t modal;
        int32_t menuAfter;
        int32_t background;  // uiMedia slot drawn over the whole screen first; -1 nothing drawn at all
        float lit;           // left edge of the lit top-menu button, -1 none
        std::vector<std::string> shown, hidden;
    };
    const std::string quit = "Really want to quit Hollowmere?";
    const dispatchCase_t cases[] = {
        {"disconnected without a menu: the title screen comes back", ECL_DISCONNECTED, CG_MENU_NONE, 0, 0,
         CG_MENU_LOBBY, UIMEDIA_CODE_BLACK, -1, {"CONNECT", "QUIT"}, {}},
        {"connecting without a menu", ECL_CONNECTING, CG_MENU_NONE, 0, 0, CG_MENU_LOBBY, UIMEDIA_CODE_BLACK, -1,
         {"CONNECT"}, {}},
        {"playing: nothing, not even the fade", ECL_CONNECTED, CG_MENU_NONE, 0, 0, CG_MENU_NONE, -1, -1, {}, {}},
        {"the intro logo", ECL_DISCONNECTED, CG_MENU_INTRO, 0, 0, CG_MENU_INTRO, -1, -1, {}, {}},
        {"options hub over the game", ECL_CONNECTED, CG_MENU_OPTIONS, 0, 0, CG_MENU_OPTIONS, UIMEDIA_CODE_GRAY, 245,
         {"CONNECT", "Game Options"}, {}},
        {"system screen lights OPTIONS", ECL_DISCONNECTED, CG_MENU_SYSTEM, 0, 0, CG_MENU_SYSTEM, UIMEDIA_CODE_BLACK,
         245, {"System", "Texture Detail"}, {"Game Options"}},
        {"browser lights CONNECT", ECL_DISCONNECTED, CG_MENU_BROWSER, 0, 0, CG_MENU_BROWSER, UIMEDIA_CODE_BLACK, 5,
         {"CONNECT"}, {}},
        {"credits light CREDITS", ECL_CONNECTED, CG_MENU_CREDITS, 0, 0, CG_MENU_CREDITS, UIMEDIA_CODE_GRAY, 365,
         {"CREDITS"}, {}},
        {"spectator bar over the game", ECL_CONNECTED, CG_MENU_NONE, 1, 0, CG_MENU_NONE, UIMEDIA_BUTTON, -1,
         {"Use Left Mouse Button To Toggle Cursor/Aim", "Join Game"}, {"CONNECT"}},
        {"an unknown menu draws no screen", ECL_CONNECTED, 42, 0, 0, 42, UIMEDIA_CODE_GRAY, -1, {"CONNECT"},
         {"Game Options"}},
        {"quit window", ECL_DISCONNECTED, CG_MENU_LOBBY, 0, MODAL_QUIT, CG_MENU_LOBBY, UIMEDIA_CODE_BLACK, -1,
         {quit, "YES", "NO"}, {}},
        {"leave window", ECL_CONNECTED, CG_MENU_LOBBY, 0, MODAL_LEAVE, CG_MENU_LOBBY, UIMEDIA_CODE_GRAY, -1,
         {"Really want to leave game?"}, {quit}},
        {"map error", ECL_DISCONNECTED, CG_MENU_CREATE_SERVER, 0, MODAL_MAP_ERROR, CG_MENU_CREATE_SERVER,
         UIMEDIA_CODE_BLACK, 125, {"Please select a map first", "OK"}, {}},
        {"server error", ECL_DISCONNECTED, CG_MENU_LOBBY, 0, MODAL_SERVER_ERROR, CG_MENU_LOBBY, UIMEDIA_CODE_BLACK,
         -1, {"Please select a server first"}, {}},
        {"new version", ECL_DISCONNECTED, CG_MENU_LOBBY, 0, MODAL_NEW_VERSION, CG_MENU_LOBBY, UIMEDIA_CODE_BLACK, -1,
         {"There is a new version online at"}, {}},
        {"server password", ECL_DISCONNECTED, CG_MENU_LOBBY, 0, MODAL_SERVER_PASSWORD, CG_MENU_LOBBY,
         UIMEDIA_CODE_BLACK, -1, {"Enter Server Password:", "Cancel"}, {}},
        {"connecting window", ECL_CONNECTING, CG_MENU_LOBBY, 0, MODAL_CONNECTING, CG_MENU_LOBBY, UIMEDIA_CODE_BLACK,
         -1, {"Connecting to server"}, {}},
        {"disconnected window", ECL_DISCONNECTED, CG_MENU_LOBBY, 0, MODAL_DISCONNECTED, CG_MENU_LOBBY,
         UIMEDIA_CODE_BLACK, -1, {"Disconnected from server"}, {}},
        {"an unknown window shows nothing", ECL_DISCONNECTED, CG_MENU_LOBBY, 0, 9, CG_MENU_LOBBY, UIMEDIA_CODE_BLACK,
         -1, {"CONNECT"}, {"OK", "YES", "Cancel"}},
    };
    for (const dispatchCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        cg.ecl.state = c.state;
        cg.menu = c.menu;
        ui.spectatorMenu = c.spectator;
        ui.modal = c.modal;
        ui.fadeAlpha = 0.5f;
        Frame();
        EXPECT_EQ(cg.menu, c.menuAfter);
        const std::vector<pic_t> pics = Pics();
        if (c.background < 0) {
            EXPECT_TRUE(pics.empty());
            EXPECT_TRUE(fake::drawnStrings.empty());
            continue;
        }
        ASSERT_GE(pics.size(), 2u);
        if (c.spectator) {
            EXPECT_EQ(pics[0].material, uiMedia[UIMEDIA_WINDOW_JOIN]);  // no grey over the game
        } else {
            EXPECT_EQ(pics[0].material, uiMedia[c.background]);
            EXPECT_FLOAT_EQ(pics[0].w, 640);
        }
        EXPECT_EQ(pics.back().material, WHITE_MATERIAL);
        EXPECT_EQ(pics.back().rgba, (std::vector<int>{0, 0, 0, 127}));
        EXPECT_FLOAT_EQ(LitButton(), c.lit);
        for (const std::string &s : c.shown) EXPECT_TRUE(Drawn(s)) << s;
        for (const std::string &s : c.hidden) EXPECT_FALSE(Drawn(s)) << s;
    }
}

TEST_F(Menus, TopMenuButtonsOpenTheirScreenAndASecondPressReturnsToTheTitle) {
    struct topCase_t {
        int32_t x;
        int32_t from, to;
    };
    const topCase_t cases[] = {
        {60, CG_MENU_LOBBY, CG_MENU_BROWSER},          {60, CG_MENU_BROWSER, CG_MENU_LOBBY},
        {180, CG_MENU_OPTIONS, CG_MENU_CREATE_SERVER}, {180, CG_MENU_CREATE_SERVER, CG_MENU_LOBBY},
        {300, CG_MENU_SYSTEM, CG_MENU_OPTIONS},        {300, CG_MENU_OPTIONS, CG_MENU_LOBBY},
        {420, CG_MENU_SERVER_INFO, CG_MENU_CREDITS},   {420, CG_MENU_CREDITS, CG_MENU_LOBBY},
    };
    for (const topCase_t &c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << " from " << c.from);
        cg.menu = c.from;
        Frame();
        ClickAt(c.x, 25);
        EXPECT_EQ(cg.menu, c.to);
        EXPECT_EQ(ui.modal, MODAL_NONE);
    }
    ClickAt(585, 25);
    EXPECT_EQ(ui.modal, MODAL_QUIT);
}

TEST_F(Menus, MoreThan25PressesOfCreditsReplaceTheLogo) {
    for (int i = 0; i < 25; i++) {
        Frame();
        ClickAt(420, 25);
    }
    EXPECT_FALSE(ui.logoReplaced);
    ClickAt(420, 25);
    EXPECT_TRUE(ui.logoReplaced);
}

TEST_F(Menus, ModalButtonsActCloseAndShowPlainAgain) {
    struct buttonCase_t {
        const char *name;
        int32_t modal;
        int32_t x, y;
        std::vector<std::string> added;
    };
    const buttonCase_t cases[] = {
        {"quit YES", MODAL_QUIT, 70 + 70 + 1, 140 + 130 + 1, {"quit"}},
        {"quit NO", MODAL_QUIT, 70 + 255 + 1, 140 + 130 + 1, {}},
        {"leave YES", MODAL_LEAVE, 70 + 70 + 1, 140 + 130 + 1, {"disconnect"}},
        {"leave NO", MODAL_LEAVE, 70 + 255 + 1, 140 + 130 + 1, {}},
        {"map error OK", MODAL_MAP_ERROR, 95 + 225, 140 + 150, {}},
        {"server error OK", MODAL_SERVER_ERROR, 95 + 225, 140 + 150, {}},
        {"new version OK", MODAL_NEW_VERSION, 95 + 225, 140 + 150, {}},
        {"password Cancel", MODAL_SERVER_PASSWORD, 95 + 300, 140 + 150, {}},
        {"connecting Cancel", MODAL_CONNECTING, 95 + 225, 140 + 150, {}},
        {"disconnected OK", MODAL_DISCONNECTED, 20 + 300, 140 + 150, {}},
    };
    for (const buttonCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        cg.menu = CG_MENU_LOBBY;
        ui.modal = c.modal;
        fake::added.clear();
        Frame();
        MoveTo(c.x, c.y);
        UI_Key(UI_KEY_MOUSE1, 1);
        UI_Key(UI_KEY_MOUSE1, 0);
        EXPECT_EQ(ui.modal, MODAL_NONE);
        EXPECT_EQ(fake::added, c.added);
        ui.modal = c.modal;
        Frame();
        for (const pic_t &p : Pics()) {
            EXPECT_NE(p.material, uiMedia[UIMEDIA_BUTTON_DOWN]);
            EXPECT_NE(p.material, uiMedia[UIMEDIA_BUTTON_OVER]);
        }
        ui.modal = MODAL_NONE;
    }
}

TEST_F(Menus, AnOpenWindowKeepsTheScreenBehindFromTakingClicks) {
    cg.menu = CG_MENU_LOBBY;
    ui.modal = MODAL_MAP_ERROR;
    Frame();
    ClickAt(60, 25);  // CONNECT
    EXPECT_EQ(cg.menu, CG_MENU_LOBBY);
    EXPECT_EQ(ui.modal, MODAL_MAP_ERROR);
}

TEST_F(Menus, ThePasswordWindowStartsEmptyAndFocusedEachTimeAndSendsWithEnter) {
    ui.passwordServer = Address();
    cg.menu = CG_MENU_LOBBY;
    for (int opening = 0; opening < 2; opening++) {
        SCOPED_TRACE(opening);
        ui.modal = MODAL_SERVER_PASSWORD;
        Frame();
        Frame();
        fake::added.clear();
        for (const char c : std::string("se cret")) UI_Char(c);
        if (opening == 0) {
            ClickAt(95 + 300, 140 + 150);  // Cancel
            EXPECT_TRUE(fake::added.empty());
            Frame();
            continue;
        }
        UI_Key(UI_KEY_ENTER, 1);
        EXPECT_EQ(ui.modal, MODAL_NONE);
        ASSERT_FALSE(fake::added.empty());
        EXPECT_EQ(fake::added,
                  std::vector<std::string>{std::string("connect ") + Com_adrstr(&ui.passwordServer) + " \"se cret\""});
    }
}

TEST_F(Menus, APasswordTheConnectCommandCannotCarryKeepsTheWindowOpen) {
    ui.passwordServer = Address();
    cg.menu = CG_MENU_LOBBY;
    ui.modal = MODAL_SERVER_PASSWORD;
    Frame();
    for (const char c : std::string("a\"b")) UI_Char(c);
    fake::added.clear();
    ClickAt(95 + 150, 140 + 150);  // OK
    EXPECT_EQ(ui.modal, MODAL_SERVER_PASSWORD);
    EXPECT_TRUE(fake::added.empty());
}

TEST_F(Menus, ConnectingAndDisconnectedWindowsShowTheirSecondLine) {
    cg.menu = CG_MENU_LOBBY;
    const netadr_t address = Address();
    UI_ShowConnectingWindow(&address);
    EXPECT_EQ(ui.modal, MODAL_CONNECTING);
    Frame();
    EXPECT_TRUE(Drawn(std::string(Com_adrstr(&address)) + "..."));
    UI_ShowDisconnectWindow("Server quit");
    EXPECT_EQ(ui.modal, MODAL_DISCONNECTED);
    Frame();
    EXPECT_TRUE(Drawn("Server quit"));
    EXPECT_FALSE(Drawn("Connecting to server"));
}

TEST_F(Menus, TheDownloadWindowsCancelLeavesTheServer) {
    cg.ecl.state = ECL_CONNECTED;
    ui.modal = MODAL_CONNECTING;
    UI_SetAllAtomsNonVisible();
    UI_Download_Show();
    EXPECT_TRUE(Drawn("CANCEL"));
    ClickAt(320, 367);
    EXPECT_EQ(fake::added, std::vector<std::string>{"disconnect"});
    EXPECT_EQ(ui.modal, MODAL_NONE);
}

TEST_F(Menus, TheSpectatorBarOffersTheTeamsOfTheRulesAndJoinsUnlessSolidarityRuns) {
    struct joinCase_t {
        const char *name;
        int32_t rules;
        uint32_t flags;
        int32_t x;  // the button clicked, relative to the bar
        std::vector<std::string> shown, hidden, added;
    };
    const joinCase_t cases[] = {
        {"death match joins blue", RULES_DEATH_MATCH, 0, 300, {"Join Game"}, {"Join Blue Team"}, {"cc_spawn_blue"}},
        {"forge joins blue", RULES_FORGE, 0, 300, {"Join Game"}, {"Join Red Team"}, {"cc_spawn_blue"}},
        {"crystal rounds red", RULES_CRYSTAL_ROUNDS, 0, 400, {"Join Blue Team", "Join Red Team"}, {"Join Game"},
         {"cc_spawn_red"}},
        {"capture the crystal blue", RULES_CAPTURE_CRYSTAL, 0, 200, {"Join Blue Team"}, {"Join Game"},
         {"cc_spawn_blue"}},
        {"solidarity count-down", RULES_CRYSTAL_ROUNDS, GDF_SOLIDARITY, 400, {"Join Red Team"}, {}, {}},
    };
    for (const joinCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        cg.ecl.state = ECL_CONNECTED;
        cg.menu = CG_MENU_NONE;
        cg.gameData.rules = c.rules;
        cg.gameData.flags = c.flags;
        ui.spectatorMenu = 1;
        fake::added.clear();
        fake::centeredCursors = 0;
        Frame();
        for (const std::string &s : c.shown) EXPECT_TRUE(Drawn(s)) << s;
        for (const std::string &s : c.hidden) EXPECT_FALSE(Drawn(s)) << s;
        cg.menu = 7;  // so that a join is seen to close it
        ClickAt(10 + c.x, 370 + 60);
        EXPECT_EQ(fake::added, c.added);
        EXPECT_EQ(fake::centeredCursors, c.added.empty() ? 0 : 1);
        EXPECT_EQ(cg.menu, c.added.empty() ? 7 : CG_MENU_NONE);
    }
}

TEST_F(Menus, ReleasingMouse1TogglesTheSpectatorsAimMode) {
    cg.ecl.state = ECL_CONNECTED;
    ui.spectatorMenu = 1;
    Frame();
    UI_Key(UI_KEY_MOUSE1, 1);
    EXPECT_FALSE(ui.aimMode);
    UI_Key(UI_KEY_MOUSE1, 0);
    EXPECT_TRUE(ui.aimMode);
    UI_Key(UI_KEY_MOUSE1, 0);
    EXPECT_FALSE(ui.aimMode);
}

TEST_F(Menus, MenuMusicStartsOnceEvenWithTheMenuSkipped) {
    fake::Set("ui_skipUi", "1");
    Frame();
    Frame();
    EXPECT_EQ(fake::clientCalls.size(), 1u);
    EXPECT_EQ(fake::clientCalls[0].rfind("music ", 0), 0u);
    EXPECT_TRUE(cg.musicPlaying);
    EXPECT_TRUE(Pics().empty());
    EXPECT_TRUE(fake::drawnStrings.empty());
    cg.ecl.state = ECL_CONNECTED;
    cg.musicPlaying = 0;
    cg.menu = CG_MENU_LOBBY;
    Frame();
    EXPECT_EQ(fake::clientCalls.size(), 1u);  // a connected game plays its own
}

}  // namespace
