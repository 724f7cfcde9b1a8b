// The client command and the client game's console commands, through the
// stand-in engine: what the player's requests put into the command sent each frame.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "game/g_main.h"
#include "game/g_move.h"
#include "game/g_weapon.h"
#include "game_cl/cg_commands.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_main.h"
#include "game_ui/ui_main.h"
#include "tests/game/fake_engine.h"

namespace {

class ClientCommands : public testing::Test {
protected:
    void SetUp() override {
        fake::Install();
        memset(&cg, 0, sizeof cg);
        memset(&ui, 0, sizeof ui);
        CG_RegisterVariables();
        CG_RegisterCommands();
        cg.ecl.state = ECL_CONNECTED;
        cg.selectedWeapon = WP_MINIGUN;
        Trap_GetQGame(&qgame);
    }
    void TearDown() override { fake::Uninstall(); }

    // Runs console lines, then makes one command and returns what was sent.
    static cc_t Frame(const std::vector<std::string> &lines = {}) {
        for (const std::string &line : lines) EXPECT_TRUE(fake::Run(line)) << line;
        const size_t before = fake::sentCommands.size();
        CG_CCFrame();
        EXPECT_EQ(fake::sentCommands.size(), before + 1);
        return fake::sentCommands.empty() ? cc_t{} : fake::sentCommands.back();
    }
};

TEST_F(ClientCommands, EachRequestSetsItsButtonForOneCommand) {
    struct buttonCase_t {
        const char *line;
        uint8_t cursorMode;
        uint32_t buttons;
    };
    const buttonCase_t cases[] = {
        {"cc_forward", 0, BT_FORWARD},
        {"cc_backward", 0, BT_BACK},
        {"cc_left", 0, BT_LEFT},
        {"cc_right", 0, BT_RIGHT},
        {"cc_crouch", 0, BT_CROUCH},
        {"cc_jump", 0, BT_JUMP},
        {"cc_creep", 0, BT_CREEP},
        {"cc_fire", 0, BT_FIRE},
        {"cc_fire2", 0, BT_FIRE2},
        {"cc_reload", 0, BT_RELOAD},
        {"cc_spawn_blue", 0, BT_JOIN_BLUE},
        {"cc_spawn_red", 0, BT_JOIN_RED},
        {"cc_spawn_spectator", 0, BT_JOIN_SPECTATOR},
        {"cc_scoreboard", 0, BT_SCOREBOARD},
        {"cc_kill", 0, BT_SUICIDE},
        {"kill", 0, BT_SUICIDE},
        {"cc_zoomIn", 0, BT_ZOOM_IN},
        {"cc_zoomOut", 0, BT_ZOOM_OUT},
        {"cc_nextDeformMat", 0, BT_NEXT_DEFORM_MATERIAL},
        {"cc_prevDeformMat", 0, BT_PREV_DEFORM_MATERIAL},
        {"cc_nextDeformSize", 0, BT_DEFORM_SIZE_UP},
        {"cc_prevDeformSize", 0, BT_DEFORM_SIZE_DOWN},
        {"cc_drop", 0, BT_DROP},
        {"cc_lastUsedWeapon", 0, 0},
        // While the interface owns the mouse, walking is not asked for; the rest is.
        {"cc_forward", 1, 0},
        {"cc_backward", 1, 0},
        {"cc_left", 1, 0},
        {"cc_right", 1, 0},
        {"cc_crouch", 1, 0},
        {"cc_jump", 1, 0},
        {"cc_creep", 1, 0},
        {"cc_fire", 1, BT_FIRE},
    };
    for (const buttonCase_t &c : cases) {
        cg.cursorMode = c.cursorMode;
        EXPECT_EQ(Frame({c.line}).buttons, c.buttons) << c.line << " cursor " << int(c.cursorMode);
        EXPECT_EQ(Frame().buttons, 0u) << c.line << ": the request lasts one command";
    }
    cg.cursorMode = 0;
    EXPECT_EQ(Frame({"cc_forward", "cc_fire", "cc_drop"}).buttons, BT_FORWARD | BT_FIRE | BT_DROP);
}

// Whether the angles and the aim are what the server reads back from the wire: the
// engine's coding leaves them as they are.
void ExpectAsTheServerHasThem(const cc_t &cc) {
    for (int i = 0; i < 3; i++) {
        float a = cc.angles[i];
        AngleMod(&a);
        EXPECT_EQ(CC_AngleFromWire(CC_AngleToWire(a)), cc.angles[i]) << "angle " << i;
        EXPECT_EQ(CC_AimFromWire(CC_AimToWire(cc.aim[i])), cc.aim[i]) << "aim " << i;
    }
}

TEST_F(ClientCommands, TheRecordCarriesTimeViewWeaponAndNothingElse) {
    fake::qg.time = 123456;
    Trap_GetQGame(&qgame);
    cg.ccNumber = 63;
    cg.inputAngles[0] = 1;
    cg.inputAngles[1] = -20;
    cg.inputAngles[2] = 300;
    cg.predicted.kickVelocity[1] = 2.5f;
    const vec3_t origin = {10, 30, 5};  // on a ball world the up is slanted here
    _VectorCopy(cg.predicted.origin, origin);
    cg.selectedWeapon = WP_DIRTGUN;
    cg.selectedDeformMode = 3;

    const cc_t cc = Frame();
    EXPECT_EQ(cc.number, 64u);
    EXPECT_EQ(memcmp(&cg.ccRing[0], &cc, sizeof cc), 0) << "command n lives in slot n & 63, as it was sent";
    EXPECT_EQ(cc.time, 123456u);
    // The view as the wire carries it: the nearest of its steps, a whole turn aside.
    const float view[3] = {1.0f, -17.5f, -60.0f};
    const float angleStep = WIRE_ANGLE_RANGE / WIRE_ANGLE_UNITS;
    for (int i = 0; i < 3; i++) EXPECT_NEAR(cc.angles[i], view[i], angleStep) << i;
    EXPECT_FLOAT_EQ(cg.commandAngles[1], -17.5f);
    float axis[9];
    G_CreateEllipticAxis(0, axis, origin);
    for (int i = 0; i < 3; i++)
        EXPECT_NEAR(cc.aim[i], axis[i], 0.5f / WIRE_AIM_UNITS) << "no heading yet: the first row of the local frame";
    ExpectAsTheServerHasThem(cc);
    EXPECT_EQ(cc.weapon, WP_DIRTGUN);
    EXPECT_EQ(cc.deformMode, 3);
    EXPECT_EQ(cc.reserved[0] | cc.reserved[1], 0);
    EXPECT_EQ(cc.buttons, 0u);
    EXPECT_EQ(cc.textLength, 0u);
    EXPECT_EQ(cc.text[0], 0);
}

// The aim is the heading the prediction has, row 0 of its body frame: a shot the
// player made along another line does not turn it.
TEST_F(ClientCommands, TheAimIsThePredictedHeadingNotTheLastShot) {
    cg.predicted.origin[1] = 30;
    const vec3_t shot = {0, 0, 1}, heading = {0.28f, 0, -0.96f};
    _VectorCopy(cg.predicted.fireDir, shot);
    _VectorCopy(cg.predicted.viewAxis[0], heading);
    const cc_t cc = Frame();
    for (int i = 0; i < 3; i++) EXPECT_NEAR(cc.aim[i], heading[i], 0.5f / WIRE_AIM_UNITS) << i;
    ExpectAsTheServerHasThem(cc);
}

TEST_F(ClientCommands, NothingIsSentUntilConnectedAndEachConnectionCountsFromOne) {
    for (int32_t state : {ECL_DISCONNECTED, ECL_CONNECTING}) {
        cg.ecl.state = state;
        CG_CCFrame();
    }
    EXPECT_TRUE(fake::sentCommands.empty());

    cg.ecl.state = ECL_CONNECTED;
    cg.ccNumber = 500;  // the connection before
    EXPECT_EQ(CG_ConnectedToServer(), 1);
    EXPECT_EQ(Frame().number, 1u);
    EXPECT_EQ(Frame().number, 2u);
}

TEST_F(ClientCommands, TextCommandsGoOutOnceAndTheLaterOneWins) {
    const cc_t two = Frame({"yes", "say hello  there"});
    EXPECT_STREQ(two.text, "say \"hello there\"");
    EXPECT_EQ(two.textLength, strlen(two.text));
    EXPECT_EQ(Frame().textLength, 0u);

    struct textCase_t {
        const char *line;
        int32_t state;
        const char *text;
    };
    const textCase_t cases[] = {
        {"sayTeam go  go", ECL_CONNECTED, "say_team \"go go\""},
        {"no", ECL_CONNECTED, "vote no"},
        {"clientList", ECL_DISCONNECTED, "client_list"},
        {"advancedStats", ECL_CONNECTED, "advanced_stats"},
        {"advancedStats", ECL_CONNECTING, ""},
        {"callVote kick", ECL_CONNECTED, "call_vote kick  "},
        {"callVote map a.world F", ECL_CONNECTED, "call_vote map a.world F"},
        {"callVote kick", ECL_CONNECTING, ""},
        {"callVote", ECL_CONNECTED, ""},
        {"say", ECL_CONNECTED, ""},
        {"sayTeam", ECL_CONNECTED, ""},
    };
    for (const textCase_t &c : cases) {
        cg.ecl.state = c.state;
        ASSERT_TRUE(fake::Run(c.line));
        EXPECT_STREQ(cg.pendingText, c.text) << c.line;
        cg.ecl.state = ECL_CONNECTED;
        Frame();
    }
    EXPECT_EQ(fake::prints, (std::vector<std::string>{"USAGE: callVote <vote command>", "USAGE: say <message>",
                                                      "USAGE: sayteam <message>"}));
}

TEST_F(ClientCommands, ALongSayIsCutBeforeAndAfterQuoting) {
    const std::string words = std::string(100, 'a') + " " + std::string(100, 'b');
    const cc_t cc = Frame({"say " + words});
    const std::string expected = "say \"" + words.substr(0, 122);
    EXPECT_EQ(std::string(cc.text), expected);
    EXPECT_EQ(cc.textLength, 127u);
}

TEST_F(ClientCommands, AHeldSecondaryFireFlipsTheZoomToggleOncePerPress) {
    for (int frame = 0; frame < 3; frame++) {
        EXPECT_EQ(Frame({"cc_fire2"}).buttons, BT_FIRE2);
        EXPECT_EQ(cg.zoomToggle, 1) << "frame " << frame;
    }
    Frame();  // released
    Frame({"cc_fire2"});
    EXPECT_EQ(cg.zoomToggle, 0);
}

TEST_F(ClientCommands, TheFrameAsksForZoomFromTheToggle) {
    struct zoomCase_t {
        int32_t weapon;
        uint32_t flags;
        uint8_t toggle;
        uint32_t buttons;
        uint8_t toggleAfter;
    };
    const zoomCase_t cases[] = {
        {WP_RAILGUN, 0, 1, BT_ZOOM_IN, 1},
        {WP_RAILGUN, 0, 0, BT_ZOOM_OUT, 0},
        {WP_RAILGUN, CSF_RELOADING, 1, BT_ZOOM_OUT, 0},
        {WP_SHOTGUN, 0, 1, BT_ZOOM_OUT, 0},
    };
    for (const zoomCase_t &c : cases) {
        cg.predicted.weapon = c.weapon;
        cg.predicted.flags = c.flags;
        cg.zoomToggle = c.toggle;
        CG_RequestZoom();
        EXPECT_EQ(Frame().buttons, c.buttons) << c.weapon << " " << c.flags << " " << int(c.toggle);
        EXPECT_EQ(cg.zoomToggle, c.toggleAfter);
    }
}

TEST_F(ClientCommands, EmptyHandedThePickedUpWeaponIsSelectedAtOnce) {
    cg.selectedWeapon = WP_NONEGUN;
    cg.previousState.ownedWeapons = 1u << WP_NONEGUN | 1u << WP_MINIGUN;
    cg.predicted.ownedWeapons = cg.previousState.ownedWeapons | 1u << WP_RAILGUN | 1u << WP_SHOTGUN;
    EXPECT_EQ(Frame().weapon, WP_SHOTGUN);
    EXPECT_EQ(cg.selectedWeapon, static_cast<uint32_t>(WP_SHOTGUN));

    cg.selectedWeapon = WP_NONEGUN;
    cg.previousState.ownedWeapons = cg.predicted.ownedWeapons;
    EXPECT_EQ(Frame().weapon, WP_NONEGUN) << "nothing new: still empty-handed";

    cg.lastUsedWeapon = WP_GRENGUN;
    EXPECT_EQ(Frame({"cc_lastUsedWeapon"}).weapon, WP_GRENGUN);
}

TEST_F(ClientCommands, ADryWeaponIsReloadedOrChanged) {
    struct dryCase_t {
        const char *what;
        int32_t held;
        uint8_t clip[WEAPON_COUNT];
        int16_t reserve[WEAPON_COUNT];
        const char *line;      // a request of the frame, or null
        const char *autoReload;
        uint8_t weapon;        // sent
        uint32_t buttons;
    };
    const dryCase_t cases[] = {
        {"empty Minigun, Shotgun rounds in reserve only", WP_MINIGUN, {}, {0, 0, 8}, nullptr, "1", WP_SHOTGUN, 0},
        {"a loaded clip comes first", WP_MINIGUN, {0, 0, 0, 0, 2}, {0, 0, 8}, nullptr, "1", WP_RAILGUN, 0},
        {"nothing anywhere: Meelgun", WP_MINIGUN, {}, {}, nullptr, "1", WP_MEELGUN, 0},
        {"firing keeps the weapon", WP_MINIGUN, {}, {0, 0, 8}, "cc_fire", "1", WP_MINIGUN, BT_FIRE},
        {"reserve left: reload", WP_MINIGUN, {}, {0, 5}, nullptr, "1", WP_MINIGUN, BT_RELOAD},
        {"reload switched off", WP_MINIGUN, {}, {0, 5}, nullptr, "0", WP_MINIGUN, 0},
        {"no reload while firing", WP_MINIGUN, {}, {0, 5}, "cc_fire2", "1", WP_MINIGUN, BT_FIRE2},
        {"the Dirtgun is never changed", WP_DIRTGUN, {}, {}, nullptr, "1", WP_DIRTGUN, 0},
    };
    for (const dryCase_t &c : cases) {
        cg.predicted.weapon = c.held;
        cg.selectedWeapon = static_cast<uint32_t>(c.held);
        memcpy(cg.predicted.clip, c.clip, sizeof c.clip);
        memcpy(cg.predicted.reserve, c.reserve, sizeof c.reserve);
        fake::Set("cg_autoReload", c.autoReload);
        const cc_t cc = c.line ? Frame({c.line}) : Frame();
        EXPECT_EQ(cc.weapon, c.weapon) << c.what;
        EXPECT_EQ(cc.buttons, c.buttons) << c.what;
    }

    // A weapon number from the server outside the weapons is left alone.
    for (int32_t held : {-1, 7, 1000000}) {
        cg.predicted.weapon = held;
        cg.selectedWeapon = WP_MINIGUN;
        const cc_t cc = Frame();
        EXPECT_EQ(cc.weapon, WP_MINIGUN) << held;
        EXPECT_EQ(cc.buttons, 0u) << held;
    }
}

// A dry weapon that is still owned (given without rounds) is changed once: when the
// change is done the next command keeps the weapon it changed to.
TEST_F(ClientCommands, ADryWeaponChangedAwayIsNotAskedForAgain) {
    fake::Set("cg_autoReload", "1");
    cg.predicted.ownedWeapons = (1u << WP_MINIGUN) | (1u << WP_RAILGUN);
    cg.predicted.clip[WP_MINIGUN] = 20;
    cg.predicted.weapon = WP_RAILGUN;
    cg.selectedWeapon = WP_RAILGUN;
    EXPECT_EQ(Frame().weapon, WP_MINIGUN);
    cg.predicted.weapon = WP_MINIGUN;  // the change is done
    EXPECT_EQ(Frame().weapon, WP_MINIGUN);
    EXPECT_EQ(Frame().weapon, WP_MINIGUN);
}

TEST_F(ClientCommands, WeaponKeysSelectWeaponsAndTheForgeModesOnlyUnderForge) {
    struct keyCase_t {
        const char *line;
        int32_t rules;
        uint32_t weapon, mode;
    };
    const keyCase_t cases[] = {
        {"cc_weapon0", RULES_DEATH_MATCH, WP_NONEGUN, 4},  {"cc_weapon1", RULES_DEATH_MATCH, WP_MEELGUN, 4},
        {"cc_weapon5", RULES_DEATH_MATCH, WP_RAILGUN, 4},  {"cc_weapon6", RULES_DEATH_MATCH, WP_DIRTGUN, 0},
        {"cc_weapon8", RULES_DEATH_MATCH, WP_MINIGUN, 4},  {"cc_weapon8", RULES_CAPTURE_CRYSTAL, WP_MINIGUN, 4},
        {"cc_weapon7", RULES_FORGE, WP_DIRTGUN, 1},        {"cc_weapon8", RULES_FORGE, WP_DIRTGUN, 2},
        {"cc_weapon9", RULES_FORGE, WP_DIRTGUN, 4},        {"cc_weapon10", RULES_FORGE, WP_DIRTGUN, 3},
    };
    for (const keyCase_t &c : cases) {
        cg.selectedWeapon = WP_MINIGUN;
        cg.selectedDeformMode = 4;
        cg.gameData.rules = c.rules;
        ASSERT_TRUE(fake::Run(c.line));
        EXPECT_EQ(cg.selectedWeapon, c.weapon) << c.line << " rules " << c.rules;
        EXPECT_EQ(cg.selectedDeformMode, c.mode) << c.line << " rules " << c.rules;
    }
}

TEST_F(ClientCommands, NextAndPreviousWeaponWalkTheOwnedOnes) {
    struct cycleCase_t {
        const char *line;
        int32_t held;
        uint32_t owned;
        uint32_t selected;  // WEAPON_COUNT: unchanged
    };
    const cycleCase_t cases[] = {
        {"cc_nextWeapon", WP_MINIGUN, 0x7F, WP_SHOTGUN},
        {"cc_nextWeapon", WP_DIRTGUN, 0x7F, WP_MEELGUN},
        {"cc_prevWeapon", WP_MEELGUN, 0x7F, WP_DIRTGUN},
        {"cc_nextWeapon", WP_MINIGUN, 1u << WP_RAILGUN | 1u << WP_MINIGUN, WP_RAILGUN},
        {"cc_prevWeapon", WP_MINIGUN, 1u << WP_RAILGUN | 1u << WP_MINIGUN, WP_RAILGUN},
        {"cc_nextWeapon", WP_GRENGUN, 1u << WP_GRENGUN, WP_GRENGUN},
        {"cc_nextWeapon", WP_GRENGUN, 1u << WP_NONEGUN, WEAPON_COUNT},
        {"cc_nextWeapon", WP_NONEGUN, 0x7F, WP_MEELGUN},
        {"cc_prevWeapon", WP_NONEGUN, 0x7F, WP_DIRTGUN},
        {"cc_nextWeapon", -40, 1u << WP_SHOTGUN, WP_SHOTGUN},
        {"cc_prevWeapon", 99, 1u << WP_SHOTGUN, WP_SHOTGUN},
    };
    for (const cycleCase_t &c : cases) {
        cg.selectedWeapon = WEAPON_COUNT;
        cg.predicted.weapon = c.held;
        cg.predicted.ownedWeapons = static_cast<uint8_t>(c.owned);
        ASSERT_TRUE(fake::Run(c.line));
        EXPECT_EQ(cg.selectedWeapon, c.selected) << c.line << " from " << c.held << " owning " << c.owned;
    }
}

TEST_F(ClientCommands, ChatOpensForTeamsOnlyUnderTeamRules) {
    struct chatCase_t {
        const char *line;
        int32_t rules;
        uint8_t chatMode;
    };
    const chatCase_t cases[] = {
        {"cc_say", RULES_DEATH_MATCH, 1},         {"cc_sayTeam", RULES_DEATH_MATCH, 0},
        {"cc_sayTeam", RULES_FORGE, 0},           {"cc_sayTeam", RULES_CRYSTAL_ROUNDS, 2},
        {"cc_sayTeam", RULES_CAPTURE_CRYSTAL, 2},
    };
    for (const chatCase_t &c : cases) {
        cg.chatMode = 0;
        cg.gameData.rules = c.rules;
        ASSERT_TRUE(fake::Run(c.line));
        EXPECT_EQ(cg.chatMode, c.chatMode) << c.line << " rules " << c.rules;
    }
}

TEST_F(ClientCommands, MouseTurnsKeepPitchAndYawInRange) {
    constexpr float GRID = 360.0f / 65536.0f;
    struct turnCase_t {
        const char *line;
        uint8_t moveType;
        float zoom;
        vec3_t from, to;
    };
    const turnCase_t cases[] = {
        {"in_pitch 200", MT_NORMAL, 0, {0, 0, 0}, {0, 90, 0}},
        {"in_pitch -200", MT_SPECTATOR, 0, {0, 10, 0}, {0, -90, 0}},
        {"in_yaw -30", MT_NORMAL, 0, {0, 0, 10}, {0, 0, 340}},
        {"in_yaw 370", MT_NORMAL, 0, {0, 0, 0}, {0, 0, 10}},
        {"in_yaw 10", MT_NORMAL, 0.5f, {0, 0, 0}, {0, 0, 4}},
        {"in_pitch 10", MT_NORMAL, 0.5f, {0, 0, 0}, {0, 4, 0}},
        {"in_roll 500", MT_NORMAL, 0.5f, {10, 0, 0}, {510, 0, 0}},
        {"in_roll 3e38", MT_NORMAL, 0, {3e38f, 0, 0}, {3e38f, 0, 0}},  // would reach infinity
        {"in_roll nan", MT_NORMAL, 0, {10, 0, 0}, {10, 0, 0}},
        {"in_yaw 50", MT_DEAD, 0, {0, 5, 10}, {0, 5, 10}},
        {"in_pitch 50", MT_INTERMISSION, 0, {0, 5, 10}, {0, 5, 10}},
        {"in_yaw", MT_NORMAL, 0, {0, 5, 10}, {0, 5, 10}},
        {"in_pitch 1 2", MT_NORMAL, 0, {0, 5, 10}, {0, 5, 10}},
    };
    for (const turnCase_t &c : cases) {
        cg.predicted.moveType = c.moveType;
        cg.predicted.zoom = c.zoom;
        _VectorCopy(cg.inputAngles, c.from);
        ASSERT_TRUE(fake::Run(c.line));
        for (int i = 0; i < 3; i++) EXPECT_NEAR(cg.inputAngles[i], c.to[i], GRID) << c.line << " angle " << i;
    }
    EXPECT_EQ(fake::prints, (std::vector<std::string>{"USAGE: in_yaw <degrees>", "USAGE: in_pitch <degrees>"}));
}

TEST_F(ClientCommands, TheConsoleKeyTogglesTheConsoleOncePerPress) {
    struct consoleCase_t {
        std::vector<std::string> lines;
        std::vector<std::string> added;
    };
    const consoleCase_t cases[] = {
        {{"in_key_down 41", "in_key_down 41", "in_key_up 41"}, {"con_toggle"}},
        {{"in_key_down 29", "in_key_down 41", "in_key_up 41", "in_key_up 29"}, {"con_toggle 1.0"}},
        {{"in_key_down 54", "in_key_down 41", "in_key_up 41", "in_key_up 54"}, {"con_toggle 0.11"}},
        {{"in_key_down 41", "in_key_up 41", "in_key_down 41"}, {"con_toggle", "con_toggle"}},
    };
    for (const consoleCase_t &c : cases) {
        fake::added.clear();
        for (const std::string &line : c.lines) ASSERT_TRUE(fake::Run(line));
        EXPECT_EQ(fake::added, c.added) << c.lines[1];
        fake::Run("in_key_up 41");
    }
}

TEST_F(ClientCommands, EscapeBacksOutOfOneThingPerPress) {
    static int keyBox;  // any address stands for a key box waiting for its key
    uiAtom_t *const waiting = reinterpret_cast<uiAtom_t *>(&keyBox);
    struct escapeCase_t {
        int32_t menu, modal;
        uiAtom_t *keyBox;
        uint8_t chatMode;
        int32_t menuAfter, modalAfter;
        uint8_t chatAfter;
    };
    const escapeCase_t cases[] = {
        {CG_MENU_NONE, MODAL_NONE, nullptr, 0, CG_MENU_LOBBY, MODAL_NONE, 0},
        {CG_MENU_SERVER_INFO, MODAL_NONE, nullptr, 0, CG_MENU_LOBBY, MODAL_NONE, 0},
        {CG_MENU_GAME_OPTIONS, MODAL_NONE, nullptr, 0, CG_MENU_OPTIONS, MODAL_NONE, 0},
        {CG_MENU_CONTROLS, MODAL_NONE, nullptr, 0, CG_MENU_OPTIONS, MODAL_NONE, 0},
        {CG_MENU_FORGE_CONTROLS, MODAL_NONE, nullptr, 0, CG_MENU_OPTIONS, MODAL_NONE, 0},
        {CG_MENU_SYSTEM, MODAL_NONE, nullptr, 0, CG_MENU_OPTIONS, MODAL_NONE, 0},
        {CG_MENU_LOBBY, MODAL_NONE, nullptr, 0, CG_MENU_NONE, MODAL_NONE, 0},
        {CG_MENU_OPTIONS, MODAL_NONE, nullptr, 0, CG_MENU_NONE, MODAL_NONE, 0},
        {CG_MENU_CREDITS, MODAL_NONE, nullptr, 0, CG_MENU_NONE, MODAL_NONE, 0},
        // A window goes first, then a key box, then the chat line; the new-version notice stays.
        {CG_MENU_LOBBY, MODAL_MAP_ERROR, waiting, 1, CG_MENU_LOBBY, MODAL_NONE, 1},
        {CG_MENU_NONE, MODAL_NEW_VERSION, nullptr, 0, CG_MENU_LOBBY, MODAL_NEW_VERSION, 0},
        {CG_MENU_CONTROLS, MODAL_NONE, waiting, 1, CG_MENU_CONTROLS, MODAL_NONE, 1},
        {CG_MENU_NONE, MODAL_NONE, nullptr, 2, CG_MENU_NONE, MODAL_NONE, 0},
    };
    for (const escapeCase_t &c : cases) {
        cg.menu = c.menu;
        ui.modal = c.modal;
        ui.waitingKeyBox = c.keyBox;
        cg.chatMode = c.chatMode;
        ASSERT_TRUE(fake::Run("in_key_down 1"));
        const int32_t menu = cg.menu, modal = ui.modal;
        const uint8_t chatMode = cg.chatMode;
        ASSERT_TRUE(fake::Run("in_key_down 1"));  // held: nothing more
        EXPECT_EQ(cg.menu, c.menuAfter) << "from menu " << c.menu << " modal " << c.modal;
        EXPECT_EQ(ui.modal, c.modalAfter) << "from menu " << c.menu << " modal " << c.modal;
        EXPECT_EQ(cg.chatMode, c.chatAfter) << "from menu " << c.menu << " modal " << c.modal;
        EXPECT_EQ(cg.menu, menu);
        EXPECT_EQ(ui.modal, modal);
        EXPECT_EQ(cg.chatMode, chatMode);
        if (c.keyBox && c.modal == MODAL_NONE) {
            EXPECT_EQ(ui.waitingKeyBox, nullptr);
        }
        ASSERT_TRUE(fake::Run("in_key_up 1"));
    }
    EXPECT_TRUE(fake::added.empty()) << "the console is up: Escape never toggles it";
}

TEST_F(ClientCommands, ConnectNeedsTheTransportAndOneOrTwoWords) {
    fake::Run("connect 10.0.0.1");
    ASSERT_EQ(fake::errors.size(), 1u);
    EXPECT_EQ(fake::errors[0], (fake::error_t{ER_FATAL, "CG_Connect_f: Could not get net_port"}));
    EXPECT_TRUE(fake::calls.empty());

    fake::Set("net_port", "14666");
    fake::Run("connect a b c");
    EXPECT_EQ(fake::prints.back(), "USAGE: connect <ip address> <password>");
    EXPECT_TRUE(fake::calls.empty());

    fake::dnsAnswer = false;
    fake::Run("connect nowhere");
    EXPECT_EQ(fake::calls, (std::vector<std::string>{"lookup nowhere"})) << "a failed look-up ends quietly";

    fake::dnsAnswer = true;
    fake::calls.clear();
    fake::Run("connect local secret");
    ASSERT_GE(fake::calls.size(), 2u);
    EXPECT_EQ(fake::calls.front(), "lookup local");
    EXPECT_EQ(fake::calls.back().rfind("connectto ", 0), 0u) << fake::calls.back();
    EXPECT_NE(fake::calls.back().find(" secret "), std::string::npos) << fake::calls.back();
}

TEST_F(ClientCommands, ARefusedNameKeepsThePlayerName) {
    struct nameCase_t {
        const char *text;
        const char *playerName;
    };
    const nameCase_t cases[] = {
        {"Walker", "Walker"},
        {"bad;name", "Walker"},
        {"", "Walker"},
        {"abcdefghijklmnopqrstuvwxyz", "Walker"},
        {"abcdefghijklmnopqrstuvw", "abcdefghijklmnopqrstuvw"},
    };
    for (const nameCase_t &c : cases) {
        fake::Set("name", c.text);
        EXPECT_STREQ(cg.playerName, c.playerName) << c.text;
        EXPECT_STREQ(name.string, c.text) << "the variable shows what was typed";
    }
    EXPECT_EQ(name.flags, CMD_CLIENT | CMD_ALWAYSSAVE);
}

TEST_F(ClientCommands, TheDefaultNameIsTulboAndANumber) {
    const std::string text = name.defaultString;
    ASSERT_EQ(text.rfind("Tulbo", 0), 0u) << text;
    const int number = std::stoi(text.substr(5));
    EXPECT_GE(number, 0);
    EXPECT_LT(number, 1000);
}

TEST_F(ClientCommands, TestModelSlotsAreCheckedWhenUnloading) {
    struct unloadCase_t {
        const char *line;
        int slot;  // emptied, or -1 for none
    };
    const unloadCase_t cases[] = {
        {"tm_unloadModel", 0},
        {"tm_unloadModel a.model", 0},
        {"tm_unloadModel a.model 3", 3},
        {"tm_unloadModel a.model 4", -1},
        {"tm_unloadModel a.model -1", -1},
        {"tm_unloadModel a.model 2000000000", -1},
    };
    for (const unloadCase_t &c : cases) {
        for (int32_t &m : cg.tmModels) m = 9;
        fake::prints.clear();
        ASSERT_TRUE(fake::Run(c.line));
        for (int slot = 0; slot < CG_TEST_MODELS; slot++)
            EXPECT_EQ(cg.tmModels[slot], slot == c.slot ? 0 : 9) << c.line << " slot " << slot;
        EXPECT_EQ(fake::prints.size(), c.slot < 0 ? 1u : 0u) << c.line;
    }
}

TEST_F(ClientCommands, BenchmarkDrawsAtLeastOneScreenAndNeverDividesByNoTime) {
    struct benchCase_t {
        const char *line;
        const char *printed;
    };
    const benchCase_t cases[] = {
        {"benchmark", "256 frames in 0 msec. 0.0000 msec per frame (999999.0000 fps)"},
        {"benchmark 0", "1 frames in 0 msec. 0.0000 msec per frame (999999.0000 fps)"},
        {"benchmark -7", "1 frames in 0 msec. 0.0000 msec per frame (999999.0000 fps)"},
        {"benchmark 3", "3 frames in 0 msec. 0.0000 msec per frame (999999.0000 fps)"},
    };
    for (const benchCase_t &c : cases) {
        fake::prints.clear();
        ASSERT_TRUE(fake::Run(c.line));
        ASSERT_FALSE(fake::prints.empty()) << c.line;
        EXPECT_EQ(fake::prints.back(), c.printed) << c.line;
    }
}

}  // namespace
