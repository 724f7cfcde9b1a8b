// Server traces and entity physics against the stand-in's analytic world.
#include <cmath>
#include <string>

#include "game/g_soup.h"
#include "tests/game_sv/play_fixture.h"
#include "tests/game_sv/sg_test_server.h"

namespace {

struct PhysTest : ServerTest {
    // A box-shaped entity of half size h at a position, with contents.
    static sgEntity_t *Box(float x, float y, float z, uint32_t contents, float h = 0.5f) {
        sgEntity_t *e = SG_CreateEntity(ET_ITEM);
        e->s.origin[0] = x;
        e->s.origin[1] = y;
        e->s.origin[2] = z;
        e->contents = contents;
        e->hasHitBox = 1;
        e->hitHalfSize[0] = e->hitHalfSize[1] = e->hitHalfSize[2] = h;
        SG_FinishEntity(e);
        return e;
    }
    static gameTrace_t Ray(const vec3_t a, const vec3_t b, int32_t mask, void *skip = nullptr) {
        gameTrace_t tr;
        SG_RayTrace(&tr, a, b, skip, mask, 0);
        return tr;
    }
};

TEST_F(PhysTest, MasksSelectWorldAndEntities) {
    // Floor at y = 0; a box whose near face lies at x = 4.5, above the floor.
    sgEntity_t *box = Box(5, 1, 0, CONTENTS_ITEM);
    const vec3_t from = {0, 1, 0}, across = {10, 1, 0}, down = {0, -1, 0};
    struct row_t {
        const float *end;
        int32_t mask;
        float fraction;
        bool entity;
    };
    const row_t rows[] = {
        {across, CONTENTS_WORLD, 1.0f, false},    // the world only: the box is not seen
        {across, CONTENTS_ITEM, 0.45f, true},
        {across, MASK_ALL, 0.45f, true},
        {across, CONTENTS_PLAYER, 1.0f, false},   // contents share no bit
        {down, CONTENTS_ITEM, 1.0f, false},       // the world is not in the mask
        {down, MASK_ALL, 0.5f, false},
    };
    for (const row_t &r : rows) {
        const gameTrace_t tr = Ray(from, r.end, r.mask);
        EXPECT_NEAR(tr.trace.fraction, r.fraction, 1e-5f) << r.mask;
        EXPECT_EQ(tr.entity, r.entity ? box : nullptr) << r.mask;
    }
    const gameTrace_t hit = Ray(from, across, CONTENTS_ITEM);
    EXPECT_NEAR(hit.trace.endpos[0], 4.5f, 1e-5f);
    EXPECT_NEAR(hit.trace.plane[0], -1.0f, 1e-6f);  // against the ray
    EXPECT_EQ(Ray(from, across, MASK_ALL, box).entity, nullptr);  // skipped
}

TEST_F(PhysTest, EqualFractionsGoToTheWorldThenTheLowestSlot) {
    // A ray straight down meets the floor (y = 0) and the tops of two boxes at y = 0 at once.
    sgEntity_t *a = Box(0, -0.5f, 0, CONTENTS_PROP);
    sgEntity_t *b = Box(0, -0.5f, 0, CONTENTS_PROP);
    const vec3_t from = {0, 2, 0}, to = {0, -2, 0};
    EXPECT_EQ(Ray(from, to, MASK_ALL).entity, nullptr);
    const gameTrace_t tr = Ray(from, to, CONTENTS_PROP);
    EXPECT_EQ(tr.entity, a < b ? a : b);
    EXPECT_NEAR(tr.trace.fraction, 0.5f, 1e-5f);
}

TEST_F(PhysTest, DeadPlayersAndEventsAreNeverHit) {
    sgEntity_t *e = Box(5, 1, 0, 0);
    sgEntity_t *ev = Box(3, 1, 0, CONTENTS_ITEM);
    ev->isEvent = 1;
    const vec3_t from = {0, 1, 0}, to = {10, 1, 0};
    EXPECT_EQ(Ray(from, to, MASK_ALL).entity, nullptr);
    int touched = 0;
    static int *touchCount;
    touchCount = &touched;
    e->thinkTouch = [](sgEntity_t *, sgEntity_t *) { (*touchCount)++; };
    sgEntity_t *toucher = Box(5, 1, 0, CONTENTS_PLAYER);
    SG_TouchAllTriggers(toucher, MASK_TOUCH);
    EXPECT_EQ(touched, 0);
}

TEST_F(PhysTest, MovingBoxHitsAnEntityBox) {
    sgEntity_t *box = Box(5, 2, 0, CONTENTS_PLAYER);
    obb_t a = {}, b = {};
    for (obb_t *o : {&a, &b}) {
        o->halfSize[0] = o->halfSize[1] = o->halfSize[2] = 0.25f;
        memcpy(o->axis, identitymatrix3x3, sizeof(o->axis));
        MatrixCopy3x3(o->axisT, identitymatrix3x3);
        o->origin[1] = 2;
    }
    // Steps of a tenth of the smallest half size: 0.4 of this sweep, the second step overlaps.
    a.origin[0] = 3.5f;
    b.origin[0] = 4.5f;
    gameTrace_t tr;
    SG_Trace(&tr, &a, &b, nullptr, MASK_PLAYER_MOVE, 0);
    EXPECT_EQ(tr.entity, box);
    EXPECT_FLOAT_EQ(tr.trace.fraction, 0.4f);
    SG_Trace(&tr, &a, &b, box, MASK_PLAYER_MOVE, 0);
    EXPECT_EQ(tr.entity, nullptr);
    EXPECT_EQ(tr.trace.fraction, 1.0f);
}

TEST_F(PhysTest, TouchingCallsTheOverlappedEntityOfTheMask) {
    static std::vector<std::pair<sgEntity_t *, sgEntity_t *>> touches;
    touches.clear();
    auto touch = [](sgEntity_t *self, sgEntity_t *by) { touches.push_back({self, by}); };
    sgEntity_t *item = Box(0.3f, 1, 0, CONTENTS_ITEM);
    sgEntity_t *far = Box(5, 1, 0, CONTENTS_ITEM);
    sgEntity_t *prop = Box(0.2f, 1, 0, CONTENTS_PROP);
    item->thinkTouch = far->thinkTouch = prop->thinkTouch = touch;
    sgEntity_t *player = Box(0, 1, 0, CONTENTS_PLAYER);
    SG_TouchAllTriggers(player, MASK_TOUCH);
    ASSERT_EQ(touches.size(), 1u);
    EXPECT_EQ(touches[0].first, item);
    EXPECT_EQ(touches[0].second, player);
}

TEST_F(PhysTest, SeekingNearAPoint) {
    sgEntity_t *a = Box(1, 1, 0, 0);
    sgEntity_t *b = Box(3, 1, 0, 0);
    sgEntity_t *m = Box(1, 1, 0, 0);
    m->s.type = ET_MUSHROOM;
    const vec3_t p = {1, 1, 0};
    // Radius 0 returns every entity in turn.
    std::vector<int32_t> found;
    for (int32_t s = SG_SeekRadius(0, nullptr, SEEK_MUSHROOMS, p, 0); s >= 0;
         s = SG_SeekRadius(s + 1, nullptr, SEEK_MUSHROOMS, p, 0))
        found.push_back(s);
    EXPECT_EQ(found, (std::vector<int32_t>{a->number, b->number, m->number}));
    EXPECT_EQ(SG_SeekRadius(0, a, 0, p, 1.0f), -1);  // b too far, the mushroom filtered out
    EXPECT_EQ(SG_SeekRadius(SG_MAX_ENTITIES, nullptr, 0, p, 0), -1);
    EXPECT_EQ(SG_SeekClosest(nullptr, SEEK_MUSHROOMS, p, 0), a->number);  // exact, the lowest slot of two
    EXPECT_EQ(SG_SeekClosest(a, 0, p, 0), -1);
    EXPECT_EQ(SG_SeekClosest(a, 0, p, 5), b->number);
}

TEST_F(PhysTest, CountingKinds) {
    Box(1, 1, 0, 0)->kind = ET_STONE1;
    sgEntity_t *r = Box(2, 1, 0, 0);
    r->kind = ET_STONE1;
    r->randomSpawned = 1;
    Box(3, 1, 0, 0)->kind = ET_BARREL;
    EXPECT_EQ(SG_CountEntityType(ET_STONE1, 0), 2);
    EXPECT_EQ(SG_CountEntityType(ET_STONE1, 1), 1);
    EXPECT_EQ(SG_CountEntityType(ET_PROBE, 0), 0);
}

TEST_F(PhysTest, LooseEntityFallsAndRests) {
    sgEntity_t *e = Box(0, 3, 0, CONTENTS_ITEM);
    for (int i = 0; i < 200 && !e->r.resting; i++) {
        Advance(50);
        EXPECT_EQ(SG_EntityPhys(e, 0.4f, 9.0f), 0);
    }
    EXPECT_EQ(e->r.resting, 1);
    EXPECT_NEAR(e->s.origin[1], 0.4f, 1e-4f);
    EXPECT_EQ(e->velocity[1], 0.0f);
    const float y = e->s.origin[1];
    SG_EntityPhys(e, 0.4f, 9.0f);  // resting: nothing moves
    EXPECT_EQ(e->s.origin[1], y);
}

TEST_F(PhysTest, StuckEntityPopsUpToTheFirstFreeHeight) {
    sgEntity_t *e = Box(0, -0.04f, 0, CONTENTS_PROP);
    EXPECT_EQ(SG_EntityPhys(e, 0, 9.0f), 0);
    EXPECT_NEAR(e->s.origin[1], 0.01f, 0.002f);
    sgEntity_t *deep = Box(0, -3, 0, CONTENTS_PROP);
    EXPECT_EQ(SG_EntityPhys(deep, 0, 9.0f), 1);
    EXPECT_NEAR(deep->s.origin[1], -1.5f, 0.06f);
    fake::Set("sg_skipPhys", "1");
    EXPECT_EQ(SG_EntityPhys(deep, 0, 9.0f), 0);
}

TEST_F(PhysTest, DamageMatterCarvesEveryDiggableMaterial) {
    soup_t shape = {};
    shape.convex = 1;
    soup_t *const saved = g_dirtDeformSoups[0];
    g_dirtDeformSoups[0] = &shape;
    const vec3_t at = {1, 2, 3};
    SG_DamageMatter(at, 2.0f, 50);
    EXPECT_EQ(fake::deforms, (std::vector<std::string>{"undo"}));  // no material is named
    Com_strncpyz(sg.world.materials[4].name, "dirt", WM_NAME_SIZE);
    sg.world.materials[4].subStrenght = 1.0f;
    Com_strncpyz(sg.world.materials[9].name, "rock", WM_NAME_SIZE);
    sg.world.materials[9].subStrenght = 0;
    Com_strncpyz(sg.world.materials[12].name, "clay", WM_NAME_SIZE);
    sg.world.materials[12].subStrenght = 0.1f;
    fake::deforms.clear();
    SG_DamageMatter(at, 2.0f, 50);
    const std::string setup = "setup " + fake::PointerText(&shape);
    EXPECT_EQ(fake::deforms, (std::vector<std::string>{"undo", setup + " 2", "sub 4 0.5", setup + " 3", "blur 4 40 2",
                                                       setup + " 2", "sub 12 0.05", setup + " 3", "blur 12 76 2"}));
    g_dirtDeformSoups[0] = saved;
}

using PlayerPhysTest = PlayFixture;

// Moving into another player's box with no world in the way: the stop must hand
// movement a whole frame (a frame with a zero row ends the process) and keep the
// mover out of the other's box.
TEST_F(PlayerPhysTest, RunningIntoAnotherPlayerStopsThereAndKeepsTheFrame) {
    sgClient_t *runner = Join(0, TEAM_BLUE, 0, 0);
    const sgClient_t *standing = Join(1, TEAM_RED, 1.5f, 0);
    sgs.cmoveParams = {};
    cc_t cc = {};
    cc.aim[0] = 1;
    for (int i = 1; i <= 20; i++) {
        runner->cs.velocity[0] = 10;  // towards the other, along the floor
        runner->timeBank = SG_TIME_BANK_MSEC;  // the frame pays it; here the commands come directly
        cc.number = static_cast<uint32_t>(i);
        cc.time = qgame.time;
        SG_IssueCC(runner, &cc, 0);
        Advance(50);
    }
    for (const fake::error_t &e : fake::errors) EXPECT_GT(e.level, ER_BUG) << e.text;
    const float *body = &runner->cs.viewAxis[0][0];
    for (int row = 0; row < 3; row++) EXPECT_NEAR(VectorLength(body + 3 * row), 1.0f, 1e-4f) << row;
    EXPECT_LT(runner->cs.origin[0], standing->cs.origin[0] - 0.3f) << "stopped short of the other's body";
    const float stop = runner->cs.origin[0];
    for (int i = 21; i <= 25; i++) {
        runner->cs.velocity[0] = -10;  // and away again
        runner->timeBank = SG_TIME_BANK_MSEC;
        cc.number = static_cast<uint32_t>(i);
        cc.time = qgame.time;
        SG_IssueCC(runner, &cc, 0);
        Advance(50);
    }
    EXPECT_LT(runner->cs.origin[0], stop - 1.0f) << "not held by the other's body";
}

}  // namespace

namespace {

using TimeBankTest = PlayFixture;

// Commands held back by a stall arrive together: up to the bank's second they all
// play, as if they had come one per frame; beyond it, the rest does not move.
TEST_F(TimeBankTest, BurstAfterAStallPlaysInFullUpToTheBank) {
    sgClient_t *steady = Join(0, TEAM_BLUE, -8, 0);
    sgClient_t *stalled = Join(1, TEAM_BLUE, 8, 0);
    sgClient_t *longStalled = Join(2, TEAM_BLUE, 0, 8);
    SG_UpdateCMoveParams();  // the shipped walking speeds
    const uint32_t t0 = qgame.time;
    for (sgClient_t *c : {steady, stalled, longStalled}) c->cs.lastCcTime = t0;
    auto walk = [t0](sgClient_t *c, uint32_t n) {
        cc_t cc = {};
        cc.aim[0] = 1;
        cc.buttons = BT_FORWARD;
        cc.number = n;
        cc.time = t0 + 50 * n;
        SG_IssueCC(c, &cc, 0);
    };
    auto from = [](const sgClient_t *c, float x, float z) {
        return std::hypot(c->cs.origin[0] - x, c->cs.origin[2] - z);
    };
    float steadyPath = 0, stalledPath = 0;
    for (uint32_t frame = 1; frame <= 40; frame++) {
        Advance(50);
        for (sgClient_t *c : {steady, stalled, longStalled}) SG_IssueClientCommands(c);  // pays the bank
        walk(steady, frame);
        if (frame == 16) {
            for (uint32_t n = 1; n <= 16; n++) walk(stalled, n);  // 800 ms held back
            steadyPath = from(steady, -8, 0);
            stalledPath = from(stalled, 8, 0);
        }
    }
    for (uint32_t n = 1; n <= 40; n++) walk(longStalled, n);  // 2,000 ms held back
    const float longPath = from(longStalled, 0, 8), steadyLongPath = from(steady, -8, 0);
    ASSERT_GT(steadyPath, 1.0f);
    EXPECT_NEAR(stalledPath, steadyPath, 0.05f * steadyPath);
    EXPECT_GT(longPath, stalledPath) << "the bank's second plays";
    EXPECT_LT(longPath, 0.7f * steadyLongPath) << "no more than the bank's second";
}

// A spawn keeps the client's command clock: the first command after it claims only the
// time since the last one, so a player who dies often never drains the bank.
TEST_F(TimeBankTest, RespawnsLeaveAnHonestClientsBankFull) {
    sgClient_t *c = Join(0, TEAM_BLUE, -8, 0);
    const uint32_t t0 = qgame.time;
    c->cs.lastCcTime = t0;
    for (uint32_t n = 1; n <= 10; n++) {
        Advance(50);
        SG_IssueClientCommands(c);  // pays the bank
        const vec3_t at = {-8, 0, 0};
        SG_SpawnClientAsPlayer(c, TEAM_BLUE, at);
        cc_t cc = {};
        cc.aim[0] = 1;
        cc.number = n;
        cc.time = t0 + 50 * n;
        SG_IssueCC(c, &cc, 0);
    }
    // Each frame pays a little more than the 50 ms its command draws.
    EXPECT_GE(c->timeBank, SG_TIME_BANK_MSEC - 50) << "the spawns made the commands claim more than their time";
}

}  // namespace
