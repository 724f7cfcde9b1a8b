// The client game's life cycle and frame against the stand-in engine: start,
// connecting, loading a world from the server's world info, and the frame's
// own work (clamps, the info string, pain, the local connection).
#include <gtest/gtest.h>

#include <string>

#include "common/com_info.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_main.h"
#include "game_sv/sg_local.h"
#include "tests/game/fake_engine.h"

namespace {

class Lifecycle : public testing::Test {
protected:
    void SetUp() override {
        fake::Install();
        sgs.running = 0;
        CG_Imp();
    }
    void TearDown() override {
        sgs.running = 0;
        fake::Uninstall();
    }

    // One client frame on a clock that moved ms.
    static void Frame(uint32_t ms = 50) {
        fake::Advance(ms);
        CG_Frame();
    }
};

TEST_F(Lifecycle, InitRunsOnceAndRegistersTheConnectionRecord) {
    CG_Init();
    ASSERT_EQ(fake::ecl, &cg.ecl);
    EXPECT_EQ(CG_IsInitialized(), 1);
    EXPECT_EQ(cg.loadingBlocked, 0);
    const size_t drawn = fake::trisPics.size();
    fake::prints.clear();
    CG_Init();
    EXPECT_EQ(fake::trisPics.size(), drawn);
    EXPECT_EQ(fake::prints, (std::vector<std::string>{"CG_Init: Already initialized!!"}));
    CG_Shutdown();
    EXPECT_EQ(CG_IsInitialized(), 0);
}

TEST_F(Lifecycle, ConnectingStartsFromTheDefaultMovementAndCountersAtZero) {
    cg.ccNumber = 40;
    cg.issuedEvents = cg.issuedMoveEvents = 3;
    cg.menu = CG_MENU_LOBBY;
    EXPECT_EQ(CG_ConnectedToServer(), 1);
    EXPECT_EQ(cg.ccNumber, 0u);
    EXPECT_EQ(cg.issuedEvents + cg.issuedMoveEvents, 0u);
    EXPECT_EQ(cg.menu, CG_MENU_NONE);
    EXPECT_FLOAT_EQ(cg.moveParams.gravity, 15.5f);
    EXPECT_FLOAT_EQ(cg.moveParams.jumpSpeed, 6.1f);
    EXPECT_FLOAT_EQ(cg.moveParams.groundFriction, 20.1f);
    EXPECT_FLOAT_EQ(cg.moveParams.crouchAcceleration, 15.0f);
}

TEST_F(Lifecycle, FieldOfViewIsHeldWithinTenToOneHundredForty) {
    const struct {
        const char *set, *after;
    } cases[] = {{"5", "10"}, {"200", "140"}, {"95", "95"}, {"10", "10"}, {"140", "140"}};
    for (const auto &c : cases) {
        fake::Set("cg_fov", c.set);
        Frame();
        EXPECT_STREQ(fake::Var("cg_fov")->string, c.after) << c.set;
    }
}

TEST_F(Lifecycle, ConnectedFramesSendNameTeamAndAClampedHandicap) {
    cg.ecl.state = ECL_CONNECTED;
    Com_strncpyz(cg.playerName, "Ann", sizeof cg.playerName);
    const struct {
        const char *set, *sent;
    } cases[] = {{"0", "10"}, {"150", "100"}, {"55", "55"}, {"-3", "10"}};
    for (const auto &c : cases) {
        fake::Set("cg_handicap", c.set);
        Frame();
        ASSERT_FALSE(fake::infoStrings.empty());
        const std::string &is = fake::infoStrings.back();
        EXPECT_STREQ(Com_IS_GetValue(is.c_str(), "handicap"), c.sent) << c.set;
        EXPECT_STREQ(Com_IS_GetValue(is.c_str(), "name"), "Ann");
        EXPECT_STREQ(Com_IS_GetValue(is.c_str(), "team"), "0");
    }
}

TEST_F(Lifecycle, PainFollowsLifeAndHurtAtFourPerSecondAndIsCapped) {
    cg.ecl.state = ECL_CONNECTED;
    const struct {
        uint8_t life;
        float hurt, start;
        int frames;  // of 50 ms: 0.2 of movement each
        float pain;
    } cases[] = {
        {5, 0.0f, 0.0f, 1, 0.2f},   {5, 0.0f, 0.0f, 5, 0.6f},  {45, 0.0f, 0.0f, 3, 0.1f},
        {100, 0.0f, 0.5f, 1, 0.3f}, {100, 0.0f, 0.5f, 9, 0.0f}, {5, 1.0f, 0.0f, 9, 1.0f},
    };
    for (const auto &c : cases) {
        cg.predicted.health = c.life;
        cg.predicted.hitFlash = c.hurt;
        cg.pain = c.start;
        for (int i = 0; i < c.frames; i++) Frame();
        EXPECT_NEAR(cg.pain, c.pain, 1e-5f) << int(c.life) << " " << c.hurt << " " << c.frames;
    }
    cg.pain = 0.7f;
    CG_AddPain(0.5f);
    EXPECT_FLOAT_EQ(cg.pain, 1.0f);
}

// A frame asks for the local server only while the client is disconnected: asking
// again during the handshake would disconnect first and stop that very server.
TEST_F(Lifecycle, LocalServerIsJoinedOnlyFromTheDisconnectedState) {
    const struct {
        int32_t state;
        uint8_t running;
        const char *skip;
        bool asks;
    } cases[] = {
        {ECL_DISCONNECTED, 1, "0", true},  {ECL_CONNECTING, 1, "0", false}, {ECL_CONNECTED, 1, "0", false},
        {ECL_DISCONNECTED, 0, "0", false}, {ECL_DISCONNECTED, 1, "1", false},
    };
    for (const auto &c : cases) {
        fake::added.clear();
        fake::calls.clear();
        cg.ecl.state = c.state;
        sgs.running = c.running;
        fake::Set("cg_skipForceLocal", c.skip);
        Frame();
        Frame();
        const std::vector<std::string> expected =
            c.asks ? std::vector<std::string>{"connect 127.0.0.1", "connect 127.0.0.1"} : std::vector<std::string>{};
        EXPECT_EQ(fake::added, expected) << c.state << " " << int(c.running) << " " << c.skip;
        EXPECT_TRUE(fake::calls.empty()) << c.state;  // the server was never stopped
    }
}

}  // namespace
