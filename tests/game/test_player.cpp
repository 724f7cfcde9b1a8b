// The shared placing of a player's eye and boxes.
#include <gtest/gtest.h>

#include <cmath>

#include "game/g_player.h"

namespace {

TEST(PlayerEye, RisesAlongTheLocalUpOfFlatAndBallWorlds) {
    struct {
        uint8_t flat;
        vec3_t pos;
        vec3_t want;
    } cases[] = {
        {1, {3, 4, 5}, {3, 5.5f, 5}},                   // flat: always +Y
        {0, {0, 10, 0}, {0, 11.5f, 0}},                 // ball: away from the centre
        {0, {3, 0, 4}, {3 + 0.9f, 0, 4 + 1.2f}},        // normalize(3, 0, 4) = (0.6, 0, 0.8)
    };
    for (const auto &c : cases) {
        vec3_t eye;
        G_GetPlayerEye(c.flat, eye, c.pos, 1.5f);
        for (int i = 0; i < 3; i++) EXPECT_NEAR(eye[i], c.want[i], 1e-5f) << int(c.flat) << " axis " << i;
    }
}

TEST(PlayerEye, SmoothEyeAddsOffsetJoltAndDip) {
    clientState_t cs{};
    cs.origin[1] = 10;
    cs.eyeHeight = 1.5f;
    cs.smoothOffset[0] = 0.25f;
    cs.jolt = 2;
    cs.dip = -0.5f;
    const vec3_t forward = {0, 0, 1};
    vec3_t eye;
    G_GetPlayerSmoothEye(0, eye, &cs, forward);
    EXPECT_FLOAT_EQ(eye[0], 0.25f);
    EXPECT_FLOAT_EQ(eye[1], 11.0f);
    EXPECT_FLOAT_EQ(eye[2], 2.0f);
}

TEST(PlayerBoxes, FollowTheBodyHeight) {
    clientState_t cs{};
    cs.height = 1.65f;
    vec3_t centre, outer, inner;
    G_GetPlayerHitBox(centre, outer, inner, &cs);
    EXPECT_FLOAT_EQ(centre[1], 0.825f);
    EXPECT_FLOAT_EQ(outer[0], 0.2f);
    EXPECT_FLOAT_EQ(outer[1], 0.825f);
    EXPECT_FLOAT_EQ(inner[2], 0.15f);
    EXPECT_FLOAT_EQ(inner[1], 0.825f);
}

}  // namespace
