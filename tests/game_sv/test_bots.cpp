// The bots' brain: the command each client state gets, and the probe rays.
#include "game/g_bots.h"

#include "game/g_move.h"
#include "tests/game_sv/sg_test_server.h"

namespace {

struct BotTest : ServerTest {};

TEST_F(BotTest, CommandFollowsStateAndMagazine) {
    struct row_t {
        uint8_t state;
        uint8_t clip;
        uint32_t buttons;
        uint8_t weapon;
        bool stamped;  // time and the first view float set
    };
    const row_t rows[] = {
        {CS_PLAYING, 5, BT_FIRE, WP_MINIGUN, true},
        {CS_PLAYING, 0, BT_RELOAD, WP_MINIGUN, true},
        {CS_DEAD, 5, BT_FIRE, WP_MINIGUN, false},
        {CS_DEAD, 0, BT_FIRE | BT_RELOAD, 0, false},
        {CS_SPECTATOR, 5, BT_JOIN_BLUE | BT_FIRE, WP_MINIGUN, false},
        {CS_SPECTATOR, 0, BT_JOIN_BLUE | BT_RELOAD, 0, false},
        {CS_INTERMISSION, 5, BT_FIRE, WP_MINIGUN, false},
    };
    for (const row_t &r : rows) {
        SCOPED_TRACE(testing::Message() << "state " << int(r.state) << " clip " << int(r.clip));
        sgClient_t *c = Client(3, TEAM_BLUE, r.state, true);
        c->cs.clip[WP_MINIGUN] = r.clip;
        cc_t cc;
        memset(&cc, 0xAB, sizeof(cc));
        Bot_Frame(&cc, 3);
        EXPECT_EQ(cc.buttons, r.buttons);
        EXPECT_EQ(cc.weapon, r.weapon);
        EXPECT_EQ(cc.time, r.stamped ? qgame.time : 0u);
        EXPECT_EQ(cc.angles[0], r.stamped ? 1.0f : 0.0f);
        EXPECT_EQ(cc.number, 0u);
        EXPECT_EQ(cc.textLength, 0u);
        EXPECT_EQ(cc.text[0], 0);
        if (c->entity) SG_DeleteEntity(c->entity);
        memset(c, 0, sizeof(*c));
    }
}

TEST_F(BotTest, ProbesTwentySevenWorldRaysAlongWorldAxes) {
    sgClient_t *c = Client(0, TEAM_BLUE, CS_SPECTATOR, true);
    c->cs.origin[0] = 0;
    c->cs.origin[1] = 0.5f;  // half a unit above the floor y = 0
    c->cs.origin[2] = 0;
    cc_t cc;
    const int before = fake::traces;
    Bot_Frame(&cc, 0);
    EXPECT_EQ(fake::traces - before, BOT_PROBES);
    // dz outer, dy middle, dx inner: only the rays one unit down (dy = -1) reach the floor, half way.
    for (int i = 0; i < BOT_PROBES; i++) {
        const int dy = (i / 3) % 3;
        EXPECT_FLOAT_EQ(sg_bots[0].probes[i], dy == 0 ? 0.5f : 1.0f) << i;
    }
    EXPECT_EQ(sg_bots[0].client, c);
    EXPECT_EQ(sg_bots[0].cc, &cc);
}

TEST_F(BotTest, NumberWithoutRecordLeavesCommandCleared) {
    for (int32_t n : {-1, 16, 1000}) {
        cc_t cc;
        memset(&cc, 0xAB, sizeof(cc));
        Bot_Frame(&cc, n);
        const cc_t zero = {};
        EXPECT_EQ(memcmp(&cc, &zero, sizeof(cc)), 0) << n;
    }
    Bot_NewBot(2);
    Bot_NewBot(99);  // ignored
    EXPECT_EQ(sg_bots[2].client, nullptr);
}

}  // namespace
