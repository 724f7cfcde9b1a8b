// The server's commands to the client game and the screen it draws, through the
// stand-in engine: queued commands go in, prints, reports and recorded 2D calls come out.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "game/g_main.h"
#include "game/g_weapon.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_screen.h"
#include "tests/game/fake_engine.h"

namespace {

// Where a picture's centre lies in the virtual 640 x 480 screen.
struct point_t {
    float x, y;
};
point_t Centre(const fake::trisPic_t &p) {
    float x = 0, y = 0;
    for (const drawVert_t &v : p.verts) {
        x += v.xyz[0] / 4;
        y += v.xyz[1] / 4;
    }
    return {x * 640 / fake::FAKE_DEST_WIDTH, (fake::FAKE_DEST_HEIGHT - y) * 480 / fake::FAKE_DEST_HEIGHT};
}

// The pictures drawn with one material.
std::vector<fake::trisPic_t> DrawnWith(int32_t material) {
    std::vector<fake::trisPic_t> out;
    for (const fake::trisPic_t &p : fake::trisPics)
        if (p.material == material) out.push_back(p);
    return out;
}

const fake::drawnString_t *DrawnText(const std::string &text) {
    for (const fake::drawnString_t &s : fake::drawnStrings)
        if (s.text == text) return &s;
    return nullptr;
}

// A netadr_t of an IPv4 server, byte for byte.
struct address_t {
    uint8_t bytes[12];
};
address_t Address(uint8_t last, uint16_t port) {
    netadr_t a{};
    a.type = NA_IP;
    a.ip[0] = 10;
    a.ip[3] = last;
    a.port = port;
    address_t out;
    memcpy(out.bytes, &a, sizeof out.bytes);
    return out;
}
const address_t SERVER = Address(1, 27000), OTHER = Address(2, 27000);

class ClientScreen : public testing::Test {
protected:
    void SetUp() override {
        fake::Install();
        memset(&cg, 0, sizeof cg);
        memset(&cgw, 0, sizeof cgw);
        CG_ClearMeters();
        G_DefineWeapons();
        // No view weapon: the screen's own drawing is what these tests look at.
        for (weaponMedia_t &m : g_weaponMedia) m = weaponMedia_t{};
        fake::qg.instance = 7;
        Refresh();
        // The media the tests tell apart exist; the rest register as missing (handle 0).
        fake::registerFromFiles = true;
        for (const char *path :
             {"game/c_materials/white.material", "game/c_materials/scoreboard.material", "game/hud/radar.material",
              "game/hud/radar_spot_red.material", "game/c_materials/hit_right.material",
              "game/c_materials/hit_front.material", "game/hud/icon_health.material", "game/c_sounds/not_alone.sound"})
            fake::files[path] = "";
        CG_RegisterMedia();
        fake::errors.clear();
        fake::prints.clear();
        fake::beganFrames = fake::endedFrames = 0;  // the registration's loading steps
        cg.ecl.state = ECL_CONNECTED;
        memcpy(cg.ecl.serverAddress, SERVER.bytes, sizeof cg.ecl.serverAddress);
        cg.predicted.moveType = MT_NORMAL;
    }
    void TearDown() override { fake::Uninstall(); }

    static void Refresh() { Trap_GetQGame(&qgame); }
    static void Advance(uint32_t ms) {
        fake::Advance(ms);
        Refresh();
    }
    static void Queue(const std::string &text, const address_t &from = SERVER) {
        fake::serverCommand_t c{text, {}};
        memcpy(c.from, from.bytes, sizeof c.from);
        fake::serverCommands.push_back(c);
    }
    static void Screen() {
        fake::trisPics.clear();
        fake::drawnStrings.clear();
        CG_UpdateScreen();
    }
};

// ---- server commands ----

TEST_F(ClientScreen, ScoreboardChecksEveryCountBeforeWritingRows) {
    const std::string player = " \"a\" 0 0 0 0 1 2 3 4 5 6";
    struct scoreCase_t {
        std::string command;
        const char *warning;  // null: parsed
    };
    const scoreCase_t cases[] = {
        {"cg_scoreboard 0 0 5", nullptr},
        {"cg_scoreboard 1", "CG_ParseScoreboard argc: 2: Bad scoreboard command (1)"},
        {"cg_scoreboard 26 0 0", "CG_ParseScoreboard argc: 4: Bad scoreboard command (2)"},
        {"cg_scoreboard 0 -1 0", "CG_ParseScoreboard argc: 4: Bad scoreboard command (2)"},
        {"cg_scoreboard 1 0 0 \"a\" 0 0 0 0 1 2 3 4 5", "CG_ParseScoreboard argc: 14: Bad scoreboard command (3)"},
        {"cg_scoreboard 0 1 0" + player, "CG_ParseScoreboard argc: 15: Bad scoreboard command (3)"},
    };
    for (const scoreCase_t &c : cases) {
        SCOPED_TRACE(c.command);
        fake::errors.clear();
        cg.scorePlayers = 3;
        cg.scoreSpectators = 2;
        cg.scoreTime = 0;
        Queue(c.command);
        CG_RunServerCommands();
        if (!c.warning) {
            EXPECT_TRUE(fake::errors.empty());
            EXPECT_EQ(cg.scorePlayers, 0);
            EXPECT_EQ(cg.scoreSpectators, 0);
            EXPECT_EQ(cg.scoreMinutes, 5);
            EXPECT_EQ(cg.scoreTime, static_cast<int32_t>(qgame.time));
        } else {
            EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{{ER_DEVWARNING, c.warning}}));
            EXPECT_EQ(cg.scorePlayers, 3);  // a bad scoreboard changes nothing
            EXPECT_EQ(cg.scoreTime, 0);
        }
    }
}

TEST_F(ClientScreen, ScoreboardRowsKeepShortNamesFlagsAndNumbers) {
    Queue("cg_scoreboard 2 1 12 \"Abcdefghijklmnopqrstuvwxyz\" 1 1 1 0 10 3 250 2 600000 48 "
          "\"null\" 0 0 0 1 0 0 0 0 0 0 \"watcher\" 80 1");
    CG_RunServerCommands();
    ASSERT_EQ(cg.scorePlayers, 2);
    ASSERT_EQ(cg.scoreSpectators, 1);
    const cgScoreRow_t &a = cg.scoreRows[0];
    EXPECT_STREQ(a.name, "Abcdefghijklmnopqrstuvw");  // 23 characters
    EXPECT_EQ(std::vector<int>({a.dead, a.red, a.carrier, a.self}), (std::vector<int>{1, 1, 1, 0}));
    EXPECT_EQ(std::vector<int>({a.frags, a.deaths, a.damage, a.captures, a.playTime, a.ping}),
              (std::vector<int>{10, 3, 250, 2, 600000, 48}));
    EXPECT_EQ(cg.scoreRows[1].self, 1);
    EXPECT_STREQ(cg.spectatorRows[0].name, "watcher");
    EXPECT_EQ(cg.spectatorRows[0].ping, 80);
    EXPECT_EQ(cg.spectatorRows[0].loading, 1);
}

TEST_F(ClientScreen, QueuedCommandsRunInOrderAndUnknownWordsAreDropped) {
    Queue("cg_print \"first \xA3quoted\xA3 %s%n\"");
    Queue("cg_teleport 1 2");
    Queue("cg_print second");
    CG_RunServerCommands();
    EXPECT_EQ(fake::prints, (std::vector<std::string>{"first \"quoted\" %s%n", "second"}));
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{
                                {ER_DEVWARNING, "CG_RunServerCommands: Unknown server command \"cg_teleport\""}}));
    EXPECT_TRUE(fake::serverCommands.empty());
}

TEST_F(ClientScreen, ServerInfo2SetsTheServersValuesAndMovement) {
    std::string command = "serverinfo2 1 2 3 4 5 6 7 8 9 10 \"next_map\"";
    for (int i = 0; i < 19; i++) command += " " + std::to_string(100 + i);
    Queue(command);
    Queue("serverinfo2 1 2 3");
    CG_RunServerCommands();
    EXPECT_EQ(cg.serverCoreAlt, 1);
    EXPECT_EQ(cg.serverPure, 10);
    EXPECT_STREQ(cg.nextMap, "next_map");
    EXPECT_EQ(cg.moveParams.gravity, 100);
    EXPECT_EQ(cg.moveParams.crouchAcceleration, 118);
    EXPECT_EQ(fake::errors,
              (std::vector<fake::error_t>{{ER_ERROR, "CG_ParseServerInfo2: Bad number of arguments (4 != 31)"}}));
}

// Movement values the prediction cannot use are refused with the whole message: the
// client keeps what it had and says why, instead of ending in the movement's checks.
TEST_F(ClientScreen, ServerInfo2WithAnUnusableMovementValueIsDroppedWhole) {
    std::string good = "serverinfo2 1 2 3 4 5 6 7 8 9 10 \"next_map\"";
    for (int i = 0; i < 19; i++) good += " " + std::to_string(100 + i);
    Queue(good);
    CG_RunServerCommands();
    for (const char *bad : {"nan", "inf", "-inf", "1e30", "-20000"}) {
        SCOPED_TRACE(bad);
        fake::errors.clear();
        std::string command = "serverinfo2 9 9 9 9 9 9 9 9 9 9 \"other\"";
        for (int i = 0; i < 19; i++) command += " " + (i == 7 ? std::string(bad) : std::to_string(200 + i));
        Queue(command);
        CG_RunServerCommands();
        EXPECT_EQ(cg.serverCoreAlt, 1);
        EXPECT_STREQ(cg.nextMap, "next_map");
        EXPECT_EQ(cg.moveParams.gravity, 100);
        EXPECT_EQ(cg.moveParams.jumpSpeed, 107);
        ASSERT_EQ(fake::errors.size(), 1u);
        EXPECT_EQ(fake::errors[0].level, ER_WARNING);
    }
}

TEST_F(ClientScreen, ServerInfoNamesOnlyTheConnectedServer) {
    Queue("serverinfo 5 100 P \"Other\" \"m2\" CR 1 8 \"Game\" 110 0 3 0", OTHER);
    CG_RunServerCommands();
    EXPECT_STREQ(cg.serverName, "");

    Queue("serverinfo 5 100 - \"Here\" \"m1\" DM 1 8 \"Game\" 105 0 3 0", SERVER);
    CG_RunServerCommands();
    EXPECT_STREQ(cg.serverName, "Here");
    EXPECT_STREQ(cg.serverMap, "m1");
    EXPECT_STREQ(cg.serverRules, "DM");
    EXPECT_STREQ(cg.serverVersion, "1. 5");
    EXPECT_EQ(cg.serverOs, 3);
    EXPECT_EQ(std::vector<int>(cg.serverIp, cg.serverIp + 4), (std::vector<int>{10, 0, 0, 1}));
    EXPECT_EQ(cg.serverPort, 27000);

    Queue("serverinfo 5 100 - \"Here\" \"m1\" DM 1 8 \"Game\" 110 0 3 0 \"1.10b\"", SERVER);
    CG_RunServerCommands();
    EXPECT_STREQ(cg.serverVersion, "1.10b");

    // A server in this process is shown at the loop-back address and the standard port.
    netadr_t local{};
    local.type = NA_LOCAL;
    address_t loop;
    memcpy(loop.bytes, &local, sizeof loop.bytes);
    memcpy(cg.ecl.serverAddress, loop.bytes, sizeof loop.bytes);
    Queue("serverinfo 5 100 - \"Local\" \"m1\" DM 1 8 \"Game\" 110 0 3 0", loop);
    CG_RunServerCommands();
    EXPECT_STREQ(cg.serverName, "Local");
    EXPECT_EQ(std::vector<int>(cg.serverIp, cg.serverIp + 4), (std::vector<int>{127, 0, 0, 1}));
    EXPECT_EQ(cg.serverPort, 14666);
}

TEST_F(ClientScreen, ServerListFromAnOlderMasterSessionIsIgnored) {
    Queue("cg_server_list 3 10.0.0.5:27000");
    CG_RunServerCommands();
    EXPECT_TRUE(fake::Printed("CG_ServerList: with 3 != 7"));
}

TEST_F(ClientScreen, ServerListTakesOnlyNumericAddresses) {
    fake::calls.clear();
    Queue("cg_server_list 7 master.example 10.0.0.5:27000 x1.2.3.4 1.2.3.4 localhost:1");
    CG_RunServerCommands();
    std::vector<std::string> lookups;
    for (const std::string &c : fake::calls)
        if (c.rfind("lookup ", 0) == 0) lookups.push_back(c);
    EXPECT_EQ(lookups, (std::vector<std::string>{"lookup 10.0.0.5:27000", "lookup 1.2.3.4"}));
}

TEST_F(ClientScreen, NotAloneSoundOnlyWhenWanted) {
    fake::Set("cg_notAloneSound", "0");
    Queue("cg_not_alone");
    CG_RunServerCommands();
    EXPECT_TRUE(fake::localSounds.empty());
    fake::Set("cg_notAloneSound", "1");
    Queue("cg_not_alone");
    CG_RunServerCommands();
    EXPECT_EQ(fake::localSounds, (std::vector<int32_t>{CG_ScreenMedia(CGM_NOT_ALONE)}));
    EXPECT_NE(CG_ScreenMedia(CGM_NOT_ALONE), 0);
}

// ---- screen ----

TEST_F(ClientScreen, SkipScreenDrawsOnlyTheConsole) {
    CG_CenterText("hello", 0, 3500);
    cg.skipScreen = 1;
    Screen();
    EXPECT_TRUE(fake::trisPics.empty());
    EXPECT_TRUE(fake::drawnStrings.empty());
    EXPECT_EQ(fake::beganFrames, 1);
    EXPECT_EQ(fake::endedFrames, 1);
}

TEST_F(ClientScreen, CentreTextIsOpaqueThenFadesOverItsLastHalfSecond) {
    Queue("cg_print_center \"Spawned\"");
    CG_RunServerCommands();
    struct fadeCase_t {
        uint32_t at;  // ms after the command
        float alpha;  // -1: not drawn
    };
    const fadeCase_t cases[] = {{0, 1}, {3000, 1}, {3250, 0.5f}, {3500, -1}};
    uint32_t now = 0;
    for (const fadeCase_t &c : cases) {
        SCOPED_TRACE(c.at);
        Advance(c.at - now);
        now = c.at;
        Screen();
        const fake::drawnString_t *s = DrawnText("Spawned");
        if (c.alpha < 0) {
            EXPECT_EQ(s, nullptr);
            continue;
        }
        ASSERT_NE(s, nullptr);
        EXPECT_FLOAT_EQ(s->colour[3], c.alpha);
        EXPECT_EQ(s->x, 320);
        EXPECT_EQ(s->y, 150);
    }
    // The second slot stands lower.
    CG_CenterText("Spawn in 3 sec", 1, 3500);
    Screen();
    ASSERT_NE(DrawnText("Spawn in 3 sec"), nullptr);
    EXPECT_EQ(DrawnText("Spawn in 3 sec")->y, 360);
}

TEST_F(ClientScreen, ScoreboardShowsWhenAskedOrInIntermissionUnlessStale) {
    const int32_t board = CG_ScreenMedia(CGM_SCOREBOARD);
    Queue("cg_scoreboard 0 0 1");
    CG_RunServerCommands();
    struct boardCase_t {
        uint32_t age;     // ms since the scoreboard arrived
        bool requested;
        uint8_t state;
        float top;        // -1: not drawn
    };
    const boardCase_t cases[] = {
        {1000, true, MT_NORMAL, 45},
        {1000, false, MT_NORMAL, -1},
        {1000, false, CS_INTERMISSION, 105},
        {6000, true, MT_NORMAL, -1},
        {6000, false, CS_INTERMISSION, -1},
    };
    for (const boardCase_t &c : cases) {
        SCOPED_TRACE(testing::Message() << c.age << " " << c.requested << " " << int(c.state));
        qgame.time = static_cast<uint32_t>(cg.scoreTime) + c.age;
        cg.scoreboardRequested = c.requested;
        cg.predicted.moveType = c.state;
        Screen();
        const auto drawn = DrawnWith(board);
        if (c.top < 0) {
            EXPECT_TRUE(drawn.empty());
        } else {
            ASSERT_EQ(drawn.size(), 1u);
            EXPECT_FLOAT_EQ(Centre(drawn[0]).y, c.top + 330 / 2.0f);
        }
        EXPECT_EQ(cg.scoreboardRequested, 0);  // a request lasts one frame
    }
}

// The game time passes the top of a signed 32-bit value while the screen counts
// ages: the scoreboard stays fresh for its few milliseconds and the frame counter
// goes on, with no overflow on the way.
TEST_F(ClientScreen, ScreenAgesHoldAcrossTheSignedTopOfTheGameTime) {
    const int32_t board = CG_ScreenMedia(CGM_SCOREBOARD);
    fake::Set("cg_drawFps", "1");
    qgame.time = 0x7FFFFF00u;
    Screen();
    Queue("cg_scoreboard 0 0 1");
    CG_RunServerCommands();
    qgame.time = 0x80000300u;  // 1.5 s later, past the top
    cg.scoreboardRequested = 1;
    cg.predicted.moveType = MT_NORMAL;
    Screen();
    EXPECT_EQ(DrawnWith(board).size(), 1u);
    fake::Set("cg_drawFps", "0");
}

// The game time restarts from just below 2^31 ms to its start: a centre text and a
// scoreboard that came just before keep ageing across it, and end on time.
TEST_F(ClientScreen, CentreTextAndScoreboardAgeAcrossTheGameTimeRestart) {
    const int32_t board = CG_ScreenMedia(CGM_SCOREBOARD);
    fake::qg.time = 0x7FFFFFFFu - 150;
    G_Frame();
    CG_CenterText("Spawned", 0, 3500);
    Queue("cg_scoreboard 0 0 1");
    CG_RunServerCommands();
    fake::Advance(100);  // the module's last frame before the restart
    G_Frame();
    fake::RestartGameTime();
    struct restartCase_t {
        uint32_t at;  // ms since the text and the scoreboard came
        float alpha;  // of the text; -1: not drawn
        bool board;
    };
    const restartCase_t cases[] = {
        {1000, 1, true}, {3250, 0.5f, true}, {3500, -1, true}, {5000, -1, true}, {5001, -1, false},
    };
    uint32_t now = 100;
    for (const restartCase_t &c : cases) {
        SCOPED_TRACE(c.at);
        fake::Advance(c.at - now);
        now = c.at;
        G_Frame();
        cg.scoreboardRequested = 1;
        Screen();
        const fake::drawnString_t *s = DrawnText("Spawned");
        if (c.alpha < 0) {
            EXPECT_EQ(s, nullptr);
        } else {
            ASSERT_NE(s, nullptr);
            EXPECT_FLOAT_EQ(s->colour[3], c.alpha);
        }
        EXPECT_EQ(DrawnWith(board).size(), c.board ? 1u : 0u);
    }
}

TEST_F(ClientScreen, ScoreboardRowsUseTheirRulesLayout) {
    Queue("cg_scoreboard 2 1 1 \"Blue Player Long Name\" 1 0 0 1 12 3 456 2 180000 50 "
          "\"Red\" 0 1 1 0 1 2 3 4 60000 9 \"Spec\" 33 1");
    CG_RunServerCommands();
    cg.scoreboardRequested = 1;
    cg.gameData.rules = RULES_CAPTURE_CRYSTAL;
    Screen();
    EXPECT_NE(DrawnText(" Name                 Frags Deaths Damage Caps Time Ping"), nullptr);
    EXPECT_NE(DrawnText("\xA4" "05Blue Player Long DEAD   12      3    456    2    3   50"), nullptr);
    EXPECT_NE(DrawnText("\xA4" "06Red                      1      2      3    4    1    9"), nullptr);
    EXPECT_NE(DrawnText("Spec                            WORLD-LOADING    0   33"), nullptr);
    // The carrier's row moves right by one character for the crystal icon.
    EXPECT_EQ(DrawnText("\xA4" "06Red                      1      2      3    4    1    9")->x, 92.5f + 8);

    cg.scoreboardRequested = 1;
    cg.gameData.rules = RULES_FORGE;
    Screen();
    EXPECT_NE(DrawnText("\xA4" "00Blue Player Long DEAD                            3   50"), nullptr);
}

TEST_F(ClientScreen, RadarOnlyUnderTeamRulesAndWhenNotOff) {
    const int32_t radar = CG_ScreenMedia(CGM_RADAR);
    const int32_t red = CG_ScreenMedia(CGM_RADAR_SPOT_RED);
    cg.predicted.team = 1;
    cg.predicted.radarKinds[0] = 1;
    cg.predicted.radarBlips[0][0] = 255;
    cg.predicted.radarBlips[0][1] = 0;
    struct radarCase_t {
        int32_t rules;
        uint32_t flags;
        const char *skip;
        bool drawn;
    };
    const radarCase_t cases[] = {
        {RULES_CRYSTAL_ROUNDS, 0, "0", true},   {RULES_CAPTURE_CRYSTAL, 0, "0", true},
        {RULES_DEATH_MATCH, 0, "0", false},     {RULES_FORGE, 0, "0", false},
        {RULES_CRYSTAL_ROUNDS, GDF_RADAR_OFF, "0", false}, {RULES_CRYSTAL_ROUNDS, 0, "1", false},
    };
    for (const radarCase_t &c : cases) {
        SCOPED_TRACE(testing::Message() << c.rules << " " << c.flags << " " << c.skip);
        cg.gameData.rules = c.rules;
        cg.gameData.flags = c.flags;
        fake::Set("cg_skipRadar", c.skip);
        Screen();
        EXPECT_EQ(DrawnWith(radar).size(), c.drawn ? 1u : 0u);
        const auto spots = DrawnWith(red);
        ASSERT_EQ(spots.size(), c.drawn ? 1u : 0u);
        if (c.drawn) {
            EXPECT_FLOAT_EQ(Centre(spots[0]).x, 540 + 5 + 90);
            EXPECT_FLOAT_EQ(Centre(spots[0]).y, 10 + 5);
        }
    }
}

TEST_F(ClientScreen, HitDirectionsOutsideTheTableWarnAndDrawNothing) {
    const int32_t right = CG_ScreenMedia(CGM_HIT_RIGHT);
    const int32_t front = CG_ScreenMedia(CGM_HIT_FRONT);
    cg.predicted.hitFlash = 0.5f;
    cg.predicted.hitDir = 1;
    Screen();
    ASSERT_EQ(DrawnWith(right).size(), 1u);
    EXPECT_FLOAT_EQ(Centre(DrawnWith(right)[0]).x, 565);
    EXPECT_EQ(DrawnWith(right)[0].verts[0].rgba[3], 127);
    cg.predicted.hitDir = 6;
    Screen();
    EXPECT_EQ(DrawnWith(front).size(), 1u);

    fake::errors.clear();
    cg.predicted.hitDir = 7;
    Screen();
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{{ER_DEVWARNING, "CG_DrawHit: Unknown HITDIR 7"}}));
    EXPECT_TRUE(DrawnWith(right).empty());
    EXPECT_TRUE(DrawnWith(front).empty());
}

TEST_F(ClientScreen, AmmunitionTextsMarkEmptyClipsAndReserves) {
    cg.predicted.ownedWeapons = 0x7F;
    cg.predicted.weapon = WP_GRENGUN;
    cg.selectedWeapon = WP_GRENGUN;
    cg.predicted.clip[WP_MINIGUN] = 0;
    cg.predicted.reserve[WP_MINIGUN] = 50;  // empty clip, rounds to reload
    cg.predicted.clip[WP_SHOTGUN] = 4;
    cg.predicted.reserve[WP_SHOTGUN] = 0;   // empty reserve
    cg.predicted.clip[WP_GRENGUN] = 5;
    cg.predicted.reserve[WP_GRENGUN] = 10;
    Screen();
    EXPECT_NE(DrawnText("\xA4" "03  0\xA4" "00|\xA4" "00" "50 \xA4" "00"), nullptr);
    EXPECT_NE(DrawnText("\xA4" "00  4\xA4" "00|\xA4" "03" "0  \xA4" "00"), nullptr);
    const fake::drawnString_t *selected = DrawnText("\xA4" "00  5\xA4" "00|\xA4" "00" "10 \xA4" "00");
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->x, 320);
}

TEST_F(ClientScreen, NumbersOutsideTheirTablesPickNoEntry) {
    // A confused server: weapon, rules and radar kind beyond every table.
    const int32_t white = CG_ScreenMedia(CGM_WHITE);
    Queue("cg_scoreboard 0 0 1");
    CG_RunServerCommands();
    cg.scoreboardRequested = 1;
    cg.predicted.weapon = 99;
    cg.selectedWeapon = 200;
    cg.predicted.ownedWeapons = 0xFF;
    cg.gameData.rules = 1;
    cg.predicted.radarKinds[3] = 9;
    Screen();
    EXPECT_EQ(DrawnWith(white).size(), 1u);  // the unknown radar kind is a plain spot
    cg.gameData.rules = 9;
    cg.scoreboardRequested = 1;
    Screen();
    EXPECT_NE(DrawnText(" Name                 Frags Deaths Damage      Time Ping"), nullptr);
}

// Bars of the lagometer drawn in one colour with some height.
int LagBars(const uint8_t (&rgba)[4]) {
    fake::trisPics.clear();
    CG_DrawLagometer(0, 0, 150, 100);
    EXPECT_EQ(fake::trisPics.size(), 1u);  // one batch
    int bars = 0;
    const std::vector<drawVert_t> &v = fake::trisPics[0].verts;
    for (size_t q = 0; q + 3 < v.size(); q += 4)
        if (!memcmp(v[q].rgba, rgba, 4) && v[q].xyz[1] != v[q + 2].xyz[1]) bars++;
    return bars;
}

// The client between two snapshots 50 ms apart, the newer one of 800 bytes.
void PairSnapshots(snapshot_t *older, snapshot_t *newer) {
    older->serverTime = 1000;
    newer->serverTime = 1050;
    newer->packageSize = 800;
    cg.older = older;
    cg.newer = newer;
}

TEST_F(ClientScreen, LagometerMarksLostSnapshotsAndCatchesUp) {
    static constexpr uint8_t red[4] = {255, 0, 0, 255}, green[4] = {0, 255, 0, 255}, yellow[4] = {255, 255, 0, 255};
    auto older = std::make_unique<snapshot_t>(), newer = std::make_unique<snapshot_t>();
    PairSnapshots(older.get(), newer.get());
    cg.simTime = 1050;  // exactly on the newer snapshot: no lag bar
    const int redBefore = LagBars(red), greenBefore = LagBars(green), yellowBefore = LagBars(yellow);
    struct step_t {
        int32_t number;
        int red, green;  // new bars after the step
    };
    // From 0: one step, a jump of 3 (lost snapshots), a jump of 20 and one step after it.
    const step_t steps[] = {{1, 0, 1}, {4, 1, 1}, {24, 2, 1}, {25, 2, 2}};
    for (const step_t &s : steps) {
        SCOPED_TRACE(s.number);
        newer->number = s.number;
        CG_UpdateLagometer();
        EXPECT_EQ(LagBars(red) - redBefore, s.red);
        EXPECT_EQ(LagBars(green) - greenBefore, s.green);
        EXPECT_EQ(LagBars(yellow), yellowBefore);
    }
}

TEST_F(ClientScreen, LagometerFollowsRestartedNumbersAndSkipsSnapshotsOfOneMoment) {
    static constexpr uint8_t red[4] = {255, 0, 0, 255}, green[4] = {0, 255, 0, 255}, yellow[4] = {255, 255, 0, 255};
    auto older = std::make_unique<snapshot_t>(), newer = std::make_unique<snapshot_t>();
    PairSnapshots(older.get(), newer.get());
    cg.simTime = 1075;  // half a snapshot past the newer one: every lag bar is yellow
    newer->number = 5000;
    CG_UpdateLagometer();
    const int redBefore = LagBars(red), greenBefore = LagBars(green);
    // A new connection counts from 1 again: each new snapshot is plotted as it comes,
    // not held back until the old numbers are passed, and nothing counts as lost.
    for (int32_t number : {1, 2, 3}) {
        newer->number = number;
        CG_UpdateLagometer();
    }
    EXPECT_EQ(LagBars(green) - greenBefore, 3);
    EXPECT_EQ(LagBars(red), redBefore);

    for (int i = 0; i < 150; i++) CG_UpdateLagometer();
    ASSERT_EQ(LagBars(yellow), 150);
    // Two snapshots of one server moment leave the lag ring as it was.
    older->serverTime = newer->serverTime;
    CG_UpdateLagometer();
    EXPECT_EQ(LagBars(yellow), 150);
}

TEST_F(ClientScreen, LifeIconBouncesOnAJumpAndLowLifeTurnsRed) {
    const int32_t health = CG_ScreenMedia(CGM_ICON_HEALTH);
    const float iconAtRest = 2 * fake::FAKE_FONT_CHAR_WIDTH;  // two characters of the big font
    auto iconWidth = [&] {
        Screen();
        const auto icons = DrawnWith(health);
        EXPECT_EQ(icons.size(), 1u);
        return icons.empty() ? 0.0f : (icons[0].verts[1].xyz[0] - icons[0].verts[0].xyz[0]) * 640 / fake::FAKE_DEST_WIDTH;
    };
    cg.predicted.health = 100;
    for (int frame = 0; frame < 10; frame++) iconWidth();  // whatever bounce an earlier value started ends
    cg.predicted.health = 99;  // a step of one does not bounce
    EXPECT_FLOAT_EQ(iconWidth(), iconAtRest);
    cg.predicted.health = 25;
    // 120 units a second at 50 ms a frame: up by 6 to at most 15, then down to rest.
    for (float offset : {6.0f, 12.0f, 15.0f, 9.0f, 3.0f, 0.0f, 0.0f}) {
        SCOPED_TRACE(offset);
        EXPECT_FLOAT_EQ(iconWidth(), iconAtRest + offset);
    }
    const fake::drawnString_t *life = DrawnText(" 25");
    ASSERT_NE(life, nullptr);
    EXPECT_EQ(std::vector<float>(life->colour, life->colour + 4), (std::vector<float>{1, 0.5f, 0.5f, 1}));
}

}  // namespace
