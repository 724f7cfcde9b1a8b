// The options hub and the four settings screens: what they load on entry and what
// Apply writes back.
#include "game_ui/ui_options.h"
#include "tests/game_ui/menu_fixture.h"

namespace {

using namespace uitest;

// Apply and Cancel of every settings screen, on the virtual screen.
constexpr int32_t APPLY_X = 380, CANCEL_X = 540, BUTTONS_Y = 345 + UI_SCREEN_WINDOW_Y;

class Options : public MenuTest {
protected:
    static int32_t Modifications(const char *name) { return fake::Var(name)->modificationCount; }
};

TEST_F(Options, HubButtonsOpenTheirScreensAndCancelReturnsWithoutWriting) {
    const std::pair<int32_t, int32_t> buttons[] = {{165, CG_MENU_GAME_OPTIONS},
                                                   {225, CG_MENU_CONTROLS},
                                                   {285, CG_MENU_FORGE_CONTROLS},
                                                   {345, CG_MENU_SYSTEM}};
    for (const auto &[y, menu] : buttons) {
        SCOPED_TRACE(menu);
        Enter(CG_MENU_OPTIONS);
        ClickAt(320, y);
        EXPECT_EQ(cg.menu, menu);
        Frame();
        fake::added.clear();
        ClickAt(CANCEL_X, BUTTONS_Y);
        EXPECT_EQ(cg.menu, CG_MENU_OPTIONS);
        EXPECT_TRUE(fake::added.empty());
    }
}

TEST_F(Options, GameOptionsApplyAlwaysSendsFovAndHandicapButOnlyChangedSwitches) {
    fake::Set("name", "Bob");
    fake::Set("cg_fov", "100");
    fake::Set("cg_handicap", "55");
    fake::Set("cg_autoChangeWeapon", "1");
    fake::Set("cg_autoReload", "0");
    fake::Set("cg_skipGun", "1");
    Enter(CG_MENU_GAME_OPTIONS);
    EXPECT_EQ(Text(ui_game[GOPT_NAME]), "Bob");
    EXPECT_EQ(ui_game[GOPT_NAME]->edit.caret, 3);
    EXPECT_TRUE(Drawn("100 Degrees"));
    EXPECT_TRUE(Drawn("55% Max Health/Armor"));
    EXPECT_TRUE(UI_GetCheckBoxMarked(ui_game[GOPT_AUTO_CHANGE]));
    EXPECT_FALSE(UI_GetCheckBoxMarked(ui_game[GOPT_AUTO_RELOAD]));
    EXPECT_FALSE(UI_GetCheckBoxMarked(ui_game[GOPT_SHOW_GUN]));

    const char *vars[] = {"name", "cg_autoChangeWeapon", "cg_autoReload", "cg_skipGun"};
    std::vector<int32_t> before;
    for (const char *v : vars) before.push_back(Modifications(v));
    ClickAt(APPLY_X, BUTTONS_Y);
    EXPECT_EQ(fake::added, (std::vector<std::string>{"cg_fov 100", "cg_handicap 55"}));
    for (size_t i = 0; i < std::size(vars); i++) EXPECT_EQ(Modifications(vars[i]), before[i]) << vars[i];
    EXPECT_EQ(cg.menu, CG_MENU_OPTIONS);

    Enter(CG_MENU_GAME_OPTIONS);
    UI_SetText(ui_game[GOPT_NAME], "Al");
    UI_SetCheckBoxMarked(ui_game[GOPT_SHOW_GUN], 1);
    UI_SetCheckBoxMarked(ui_game[GOPT_AUTO_CHANGE], 0);
    ClickAt(APPLY_X, BUTTONS_Y);
    EXPECT_STREQ(fake::Var("name")->string, "Al");
    EXPECT_STREQ(fake::Var("cg_skipGun")->string, "0");
    EXPECT_STREQ(fake::Var("cg_autoChangeWeapon")->string, "0");
    EXPECT_EQ(Modifications("cg_autoReload"), before[2]);
}

TEST_F(Options, GameOptionsBarTextsAndAppliedValues) {
    struct barCase_t {
        float fov, handicap;  // bar positions
        const char *fovText, *handicapText, *fovCommand, *handicapCommand;
    };
    const barCase_t cases[] = {
        {0.0f, 0.0f, "70 Degrees", "10% Max Health/Armor", "cg_fov 70", "cg_handicap 10"},
        {1.0f, 0.99f, "140 Degrees", "99% Max Health/Armor", "cg_fov 140", "cg_handicap 99"},
        {0.5f, 0.995f, "105 Degrees", "No Handicap", "cg_fov 105", "cg_handicap 100"},
    };
    for (const barCase_t &c : cases) {
        SCOPED_TRACE(c.handicapText);
        Enter(CG_MENU_GAME_OPTIONS);
        UI_SetScrollPosition(ui_game[GOPT_FOV], c.fov);
        UI_SetScrollPosition(ui_game[GOPT_HANDICAP], c.handicap);
        Frame();
        EXPECT_TRUE(Drawn(c.fovText));
        EXPECT_TRUE(Drawn(c.handicapText));
        fake::added.clear();
        ClickAt(APPLY_X, BUTTONS_Y);
        EXPECT_EQ(fake::added, (std::vector<std::string>{c.fovCommand, c.handicapCommand}));
    }
}

// The virtual position of the key box of the controls screen's action i.
static std::pair<int32_t, int32_t> ControlsBox(int32_t i) {
    const bool left = i < 14;
    return {(left ? 150 : 490) + 1, UI_SCREEN_WINDOW_Y + (left ? 65 + 20 * i : 145 + 20 * (i - 14)) + 1};
}

class ControlsScreen : public Options {
protected:
    // Forward W, Backward S, Reload R, every other action a key of its own from F1 on.
    void SetUp() override {
        Options::SetUp();
        const char *commands[] = {"cc_forward", "cc_backward", "cc_left", "cc_right", "cc_jump", "cc_crouch",
                                  "cc_fire", "cc_fire2", "cc_reload", "cc_drop", "cc_say", "cc_sayteam",
                                  "cc_scoreboard", "cc_screenshot", "cc_lastusedweapon", "cc_prevWeapon",
                                  "cc_nextWeapon", "cc_weapon1", "cc_weapon2", "cc_weapon3", "cc_weapon4",
                                  "cc_weapon5", "cc_weapon6"};
        for (int32_t i = 0; i < UI_CONTROL_ACTIONS; i++) {
            const int32_t key = i == 0 ? 17 : i == 1 ? 31 : i == 8 ? 19 : 59 + i;
            fake::keyBindings[commands[i]] = key;
            initial[key_names[key]] = commands[i];
        }
        fake::Set("m_sensitivity", "5");
        fake::Set("m_invert", "1");
    }
    static void Capture(int32_t action, int32_t key) {
        const auto [x, y] = ControlsBox(action);
        ClickAt(x, y);
        UI_Key(key, 1);
    }
    std::map<std::string, std::string> initial;  // key name -> command
};

TEST_F(ControlsScreen, ApplyUnbindsEveryActionBeforeBindingAndReloadsUnbindFollowsJump) {
    Enter(CG_MENU_CONTROLS);
    EXPECT_EQ(UI_GetKey(ui_controls[CONTROLS_FIRST_ROW + 1]), 17);
    EXPECT_TRUE(UI_GetCheckBoxMarked(ui_controls[CONTROLS_INVERT]));
    EXPECT_TRUE(Drawn("5.0"));
    ClickAt(APPLY_X, BUTTONS_Y);
    ASSERT_EQ(fake::added.size(), 2u * UI_CONTROL_ACTIONS + 2);
    const int32_t unbindOrder[] = {0, 1, 2, 3, 4, 8, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22};
    for (int32_t n = 0; n < UI_CONTROL_ACTIONS; n++) {
        const int32_t key = UI_GetKey(ui_controls[CONTROLS_FIRST_ROW + 2 * unbindOrder[n] + 1]);
        EXPECT_EQ(fake::added[n], std::string("unbind \"") + key_names[key] + "\"");
    }
    EXPECT_EQ(fake::added[UI_CONTROL_ACTIONS], "bind \"W\" down cc_forward");
    EXPECT_EQ(fake::added[UI_CONTROL_ACTIONS + 9], std::string("bind \"") + key_names[68] + "\" pressed cc_drop");
    EXPECT_EQ(fake::added[2 * UI_CONTROL_ACTIONS], "m_sensitivity 5.0");
    EXPECT_EQ(fake::added[2 * UI_CONTROL_ACTIONS + 1], "m_invert 1");
    EXPECT_EQ(RunBindings(initial), initial);
    EXPECT_EQ(cg.menu, CG_MENU_OPTIONS);
}

TEST_F(ControlsScreen, CapturedKeysEndBoundToTheirNewActionsOnly) {
    struct captureCase_t {
        const char *name;
        std::vector<std::pair<int32_t, int32_t>> captures;  // (action, key) in order
        std::map<std::string, std::string> changed;         // key name -> command, "" unbound
    };
    const captureCase_t cases[] = {
        {"swapping Forward and Backward", {{0, 31}, {1, 17}}, {{"W", "cc_backward"}, {"S", "cc_forward"}}},
        {"two captures on one box", {{0, 45}, {0, 21}}, {{"W", ""}, {"Y", "cc_forward"}}},
        {"a key taken from another action", {{2, 17}}, {{"W", "cc_left"}, {key_names[61], ""}}},
    };
    for (const captureCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        fake::added.clear();
        Enter(CG_MENU_CONTROLS);
        for (const auto &[action, key] : c.captures) Capture(action, key);
        ClickAt(APPLY_X, BUTTONS_Y);
        std::map<std::string, std::string> expected = initial;
        for (const auto &[key, command] : c.changed) {
            if (command.empty()) {
                expected.erase(key);
            } else {
                expected[key] = command;
            }
        }
        std::map<std::string, std::string> bound = RunBindings(initial);
        bound.erase("");  // an action left without a key binds the empty name
        EXPECT_EQ(bound, expected);
    }
}

TEST_F(Options, ForgeControlsBindEightActionsAsPressed) {
    fake::keyBindings["cc_weapon7"] = 2;
    fake::keyBindings["cc_prevdeformsize"] = 3;
    Enter(CG_MENU_FORGE_CONTROLS);
    EXPECT_TRUE(Drawn("Controls only used in Forge mode (create map)"));
    ClickAt(200 + 1, UI_SCREEN_WINDOW_Y + 80 + 1);  // Wall's box
    UI_Key(4, 1);
    ClickAt(APPLY_X, BUTTONS_Y);
    const std::vector<std::string> expected = {
        "unbind \"1\"", "unbind \"\"", "unbind \"\"", "unbind \"\"", "unbind \"\"", "unbind \"\"", "unbind \"\"",
        "unbind \"2\"", "bind \"3\" pressed cc_weapon7", "bind \"\" pressed cc_weapon8",
        "bind \"\" pressed cc_weapon9", "bind \"\" pressed cc_weapon10", "bind \"\" pressed cc_nextdeformmat",
        "bind \"\" pressed cc_prevdeformmat", "bind \"\" pressed cc_nextdeformsize",
        "bind \"2\" pressed cc_prevdeformsize",
    };
    EXPECT_EQ(fake::added, expected);
    EXPECT_EQ(cg.menu, CG_MENU_OPTIONS);
}

// The renderer's and sound system's variables as a running game has them.
static void SetVideoAndSound() {
    const std::pair<const char *, const char *> vars[] = {
        {"r_width", "640"},     {"r_height", "480"},         {"cg_aspectRatio", "0"},
        {"r_fullscreen", "1"},  {"r_skipDynamicLights", "0"}, {"r_skipDynamicShadows", "1"},
        {"r_skipFog", "0"},     {"r_picmip", "1"},            {"r_blurPoints", "5"},
        {"r_skipGlow", "0"},    {"r_gamma", "1.0"},           {"snd_reverseStereo", "0"},
        {"volume", "0.8"},      {"snd_music", "0.5"},         {"cl_rate", "8000"},
    };
    for (const auto &[name, value] : vars) fake::Set(name, value);
}

TEST_F(Options, SystemApplyWritesOnlyWhatChangedAndRestartsOnlyForVideo) {
    struct systemCase_t {
        const char *name;
        void (*change)();
        std::map<std::string, std::string> written;  // variables whose text changed
        bool restart;
    };
    const systemCase_t cases[] = {
        {"nothing changed", [] {}, {}, false},
        {"a wider screen",
         [] { UI_SetMarkedRecord(ui_system[SYSTEM_RESOLUTION], 9); },
         {{"r_width", "1280"}, {"r_height", "720"}, {"cg_aspectRatio", "1"}},
         true},
        {"the current resolution", [] { UI_SetMarkedRecord(ui_system[SYSTEM_RESOLUTION], 0); }, {}, false},
        {"windowed", [] { UI_SetCheckBoxMarked(ui_system[SYSTEM_FULLSCREEN], 0); }, {{"r_fullscreen", "0"}}, true},
        {"dynamic lights off",
         [] { UI_SetCheckBoxMarked(ui_system[SYSTEM_LIGHTS], 0); },
         {{"r_skipDynamicLights", "1"}},
         false},
        {"less texture detail", [] { UI_SetScrollPosition(ui_system[SYSTEM_DETAIL], 0.3f); }, {{"r_picmip", "3"}}, true},
        {"glow off", [] { UI_SetScrollPosition(ui_system[SYSTEM_GLOW], 0.05f); },
         {{"r_skipGlow", "1"}, {"r_blurPoints", "0"}}, true},
        {"more glow", [] { UI_SetScrollPosition(ui_system[SYSTEM_GLOW], 0.5f); }, {{"r_blurPoints", "8"}}, true},
        {"brightness nudged", [] { UI_SetScrollPosition(ui_system[SYSTEM_BRIGHTNESS], 0.7f); }, {}, false},
        {"brightness raised", [] { UI_SetScrollPosition(ui_system[SYSTEM_BRIGHTNESS], 1.0f); },
         {{"r_gamma", "0.8"}}, false},
        {"stereo reversed", [] { UI_SetCheckBoxMarked(ui_system[SYSTEM_REVERSE_STEREO], 1); },
         {{"snd_reverseStereo", "1"}}, false},
        {"louder", [] { UI_SetScrollPosition(ui_system[SYSTEM_VOLUME], 1.0f); }, {{"volume", "1.0"}}, false},
        {"music slightly louder", [] { UI_SetScrollPosition(ui_system[SYSTEM_MUSIC], 0.54f); }, {}, false},
        {"net rate", [] { UI_SetText(ui_system[SYSTEM_RATE], "25000"); }, {{"cl_rate", "25000"}}, false},
    };
    for (const systemCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        fake::vars.clear();
        SetVideoAndSound();
        std::map<std::string, std::string> before;
        for (const auto &[name, var] : fake::vars) before[name] = var->string;
        Enter(CG_MENU_SYSTEM);
        c.change();
        fake::added.clear();
        ClickAt(APPLY_X, BUTTONS_Y);
        std::map<std::string, std::string> written;
        for (const auto &[name, var] : fake::vars)
            if (before[name] != var->string) written[var->name] = var->string;
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(fake::added, c.restart ? std::vector<std::string>{"r_restart"} : std::vector<std::string>{});
        EXPECT_EQ(cg.menu, CG_MENU_OPTIONS);
    }
}

TEST_F(Options, SystemScreenWithoutRendererOrSoundVariablesWritesOnlyTheNetRate) {
    fake::Set("cl_rate", "8000");
    fake::Set("cg_aspectRatio", "0");
    Enter(CG_MENU_SYSTEM);
    EXPECT_EQ(Text(ui_system[SYSTEM_RATE]), "8000");
    EXPECT_TRUE(Drawn("Total Crap"));  // the bars keep their positions
    UI_SetMarkedRecord(ui_system[SYSTEM_RESOLUTION], 9);
    UI_SetText(ui_system[SYSTEM_RATE], "x");
    ClickAt(APPLY_X, BUTTONS_Y);
    EXPECT_STREQ(fake::Var("cl_rate")->string, "0");
    EXPECT_STREQ(fake::Var("cg_aspectRatio")->string, "0");
    EXPECT_TRUE(fake::added.empty());
}

TEST_F(Options, SystemScreenLoadsTheCurrentSettings) {
    SetVideoAndSound();
    fake::Set("r_width", "1920");
    fake::Set("r_height", "1080");
    Enter(CG_MENU_SYSTEM);
    EXPECT_EQ(UI_GetMarkedRecord(ui_system[SYSTEM_RESOLUTION]), 10);
    EXPECT_TRUE(UI_GetCheckBoxMarked(ui_system[SYSTEM_FULLSCREEN]));
    EXPECT_TRUE(UI_GetCheckBoxMarked(ui_system[SYSTEM_LIGHTS]));
    EXPECT_FALSE(UI_GetCheckBoxMarked(ui_system[SYSTEM_SHADOWS]));
    EXPECT_FLOAT_EQ(UI_GetScrollPosition(ui_system[SYSTEM_DETAIL]), 0.65f);
    EXPECT_TRUE(Drawn("Medium"));
    EXPECT_FLOAT_EQ(UI_GetScrollPosition(ui_system[SYSTEM_GLOW]), 5.0f / 17.0f);
    EXPECT_NEAR(UI_GetScrollPosition(ui_system[SYSTEM_BRIGHTNESS]), 0.6f, 1e-5f);
    EXPECT_FLOAT_EQ(UI_GetScrollPosition(ui_system[SYSTEM_VOLUME]), 0.8f);
    // A size of no row leaves the mark where it was.
    fake::Set("r_width", "1000");
    Enter(CG_MENU_SYSTEM);
    EXPECT_EQ(UI_GetMarkedRecord(ui_system[SYSTEM_RESOLUTION]), 10);
}

}  // namespace
