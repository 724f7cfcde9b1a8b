// The entity kinds' client thinks: the player's animations from the numbers the
// server sends (and numbers that name nothing), the legs following the view, and
// the periodic effects of grenades and mushrooms.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "game/g_main.h"
#include "game/g_weapon.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_model.h"
#include "tests/game/fake_engine.h"

namespace {

struct Thinks : testing::Test {
    centity_t cent{};

    void SetUp() override {
        fake::Install();
        memset(&cg, 0, sizeof cg);
        fake::files["game/p_swat/swat.model"] = "lod 0 game/p_swat/swat.lo2\n";
        fake::files["game/p_vanti/vanti.model"] = "lod 0 game/p_vanti/vanti.lo2\n";
        CG_UnloadModel(0);
        CG_LoadDefaultModel();
        CG_LoadModel("game/p_swat/swat.model");  // loaded here, so the think prints only its puts
        CG_LoadModel("game/p_vanti/vanti.model");
        G_DefineWeapons();
        memset(&g_entityMedia, 0, sizeof g_entityMedia);
        qgame = fake::qg;
        fake::Set("cg_debugPlayerAnim", "1");
        cent.s.inUse = 1;
        cent.s.type = ET_PLAYER;
    }
    void TearDown() override { fake::Uninstall(); }

    // The animations the think put on the body, as its debug lines name them.
    std::vector<std::string> Puts() {
        fake::prints.clear();
        CG_PlayerThink(&cent);
        return fake::prints;
    }
};

TEST_F(Thinks, PlayerAnimationNumbersPickTheirAnimationsAndUnknownNumbersLeaveThemAlone) {
    struct animCase_t {
        int32_t team, weapon;
        uint8_t legs, arms;
        float armsFraction;
        std::vector<std::string> puts;
    };
    const std::string L = "CG_PutToChannel CHANNEL_LEGS ", A = "CG_PutToChannel CHANNEL_ARMS ";
    const animCase_t cases[] = {
        {0, WP_MINIGUN, 0, 0, 0.0f, {A + "idle_mini", L + "idle_legs"}},
        {1, WP_RAILGUN, 2, 1, 0.3f, {A + "fire_rail", L + "run"}},
        {0, WP_SHOTGUN, 11, 2, 0.25f, {A + "away_shot", L + "jump"}},
        {0, WP_SHOTGUN, 12, 2, 0.75f, {A + "to_shot", L + "land"}},
        {0, WP_GRENGUN, 1, 3, 0.5f, {A + "reload_gren", L + "idle_duck"}},
        {0, WP_NONEGUN, 13, 4, 0.0f, {A + "death_front_1", L + "death_front_1"}},
        {0, WP_NONEGUN, 20, 11, 0.0f, {A + "death_right_2", L + "death_right_2"}},
        {0, WP_DIRTGUN, 0, 12, 0.0f, {A + "idle_dirt", L + "idle_legs"}},
        // Numbers from the server that name nothing.
        {0, WEAPON_COUNT, 21, 1, 0.5f, {}},
        {0, -1, 255, 255, 0.0f, {}},
        {0, 1000000, 0, 0, 0.0f, {L + "idle_legs"}},
    };
    for (const animCase_t &c : cases) {
        cent = centity_t{};
        cent.s.team = c.team;
        cent.s.weapon = c.weapon;
        cent.s.anim1 = c.legs;
        cent.s.anim2 = c.arms;
        cent.s.animTime1 = c.armsFraction;
        EXPECT_EQ(Puts(), c.puts) << "weapon " << c.weapon << " legs " << int(c.legs) << " arms " << int(c.arms);
    }
    // A model number that names no player model is reported and nothing is put.
    fake::errors.clear();
    cent = centity_t{};
    cent.s.team = 2;
    EXPECT_TRUE(Puts().empty());
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{{ER_WARNING, "CG_GetPlayerQModel: Bad playerQMod 2"}}));
}

TEST_F(Thinks, LegsTurnAfterAViewThatRunsAwayAndStopWhenTheTurnIsDone) {
    cent.s.weapon = WP_MINIGUN;
    cent.s.angles[2] = 90.0f;  // the view's yaw; the legs face 0
    fake::prints.clear();
    CG_PlayerThink(&cent);
    EXPECT_EQ(cent.legsTurn, 4) << "turning right: the view is 90 degrees away";
    EXPECT_TRUE(fake::Printed("CG_PutToChannel CHANNEL_LEGS rotate_right"));
    // The turn restarts while the view is more than 40 degrees away, then runs out.
    int frames = 1;
    while (cent.legsTurn && frames < 20) {
        CG_PlayerThink(&cent);
        frames++;
    }
    EXPECT_EQ(cent.legsTurn, 0);
    EXPECT_LT(frames, 20);
    EXPECT_NEAR(cent.legsYaw, 90.0f, 10.0f);
    // Standing within 40 degrees of the view, the legs stay.
    const float yaw = cent.legsYaw;
    CG_PlayerThink(&cent);
    EXPECT_EQ(cent.legsTurn, 0);
    EXPECT_EQ(cent.legsYaw, yaw);
}

TEST_F(Thinks, AGrenadeLeavesATrailPointEveryQuarterUnitAndAMushroomRunsEveryQuarterSecond) {
    cent.s.type = ET_GRENADE;
    const float steps[][2] = {{0.1f, 0.0f}, {0.3f, 0.3f}, {0.5f, 0.3f}, {0.56f, 0.56f}};
    for (const auto &step : steps) {
        cent.s.origin[0] = step[0];
        CG_GrenadeThink(&cent);
        EXPECT_FLOAT_EQ(cent.lastTrailPoint[0], step[1]) << "at " << step[0];
    }
    cent = centity_t{};
    cent.s.type = ET_MUSHROOM;
    cent.lastThinkTime = static_cast<int32_t>(qgame.time);
    const uint32_t start = qgame.time;
    const uint32_t times[][2] = {{100, 0}, {249, 0}, {250, 250}, {400, 250}, {500, 500}};
    for (const auto &t : times) {
        qgame.time = start + t[0];
        CG_MushroomThink(&cent);
        EXPECT_EQ(static_cast<uint32_t>(cent.lastThinkTime), start + t[1]) << "at " << t[0];
    }
}

}  // namespace
