// Client-side effect entities against the stand-in engine's analytic world: how
// long each kind lives, the bouncing physics, the full pool, spark rain, meteors
// and the makers' shapes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "game/g_entity.h"
#include "game/g_main.h"
#include "game_cl/cg_actions.h"
#include "game_cl/cg_centities.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "tests/game/fake_engine.h"

namespace {

struct CEntities : testing::Test {
    void SetUp() override {
        fake::Install();
        qgame = fake::qg;
        memset(&cgw, 0, sizeof cgw);
        memset(g_entityMedia, 0, sizeof g_entityMedia);
        cg.flatGravity = 0;
        cg_skipSparkRain.integer = 0;
        cg_skipActionScript.integer = 0;
        CG_InitActionScripts();
        CG_ClearCEntities();
    }
    void TearDown() override {
        CG_ShutdownActionScripts();
        fake::Uninstall();
    }
    static void Tick(uint32_t ms) {
        fake::Advance(ms);
        qgame = fake::qg;
    }
    static int InUse(int32_t type) {
        int n = 0;
        for (const centity_t &e : cg.cEntities) n += e.s.inUse && e.s.type == type;
        return n;
    }
    static centity_t *Newest() {
        centity_t *best = nullptr;
        for (centity_t &e : cg.cEntities)
            if (e.s.inUse && (!best || e.spawnTime - best->spawnTime >= 0)) best = &e;
        return best;
    }
};

const vec3_t ZERO = {0, 0, 0};
const vec3_t FAR_OUT = {0, 1000, 0};  // far above the stand-in world's ball of radius 50
const vec3_t WHITE = {1, 1, 1};
const float IDENTITY[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

TEST_F(CEntities, EachKindLivesItsTimeThenDeletesItself) {
    struct lifeCase_t {
        const char *name;
        void (*make)();
        void (*think)(centity_t *);
        uint32_t frameMs;
        int32_t lastAliveMs;  // the last frame (ms after creation) that still has it
    };
    const lifeCase_t cases[] = {
        {"spark", [] { CG_CreateSpark(FAR_OUT, ZERO, WHITE); }, Spark_Think, 100, 2500},
        {"rain spark", [] { CG_CreateRainSpark(FAR_OUT, ZERO, WHITE); }, Spark_Rain_Think, 100, 3000},
        {"shell", [] { CG_CreateShell(FAR_OUT, IDENTITY, ZERO, ZERO); }, Shell_Think, 100, 2500},
        {"impact flower", [] { CG_CreateImpactFlower(2, FAR_OUT, ZERO); }, ImpactFlower_Think, 100, 1000},
        {"gib", [] { CG_CreateGib(FAR_OUT, ZERO, 1); }, Gib_Think, 100, 4000},
        {"dirt", [] { CG_CreateDirt(FAR_OUT, ZERO); }, Dirt_Think, 100, 4000},
        // Half a second of frame time, whatever the frame rate.
        {"grenade flash, 8 fps", [] { CG_CreateGrenadeFlash(FAR_OUT, ZERO); }, GrenadeFlash_Think, 125, 500},
        {"grenade flash, 4 fps", [] { CG_CreateGrenadeFlash(FAR_OUT, ZERO); }, GrenadeFlash_Think, 250, 500},
    };
    for (const lifeCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        CG_ClearCEntities();
        c.make();
        centity_t *e = Newest();
        ASSERT_NE(e, nullptr);
        int32_t lastAlive = -1;
        for (uint32_t t = c.frameMs; t <= 6000; t += c.frameMs) {
            Tick(c.frameMs);
            c.think(e);
            if (!e->s.inUse) break;
            lastAlive = static_cast<int32_t>(t);
        }
        EXPECT_EQ(lastAlive, c.lastAliveMs);
    }
}

// A spark made just before the game time restarts still lives only its time.
TEST_F(CEntities, ASparkFromBeforeTheGameTimeRestartLivesItsTime) {
    fake::qg.time = 0x7FFFFFFFu - 100;
    G_Frame();
    CG_CreateSpark(FAR_OUT, ZERO, WHITE);
    centity_t *e = Newest();
    ASSERT_NE(e, nullptr);
    fake::RestartGameTime();  // straight after the frame that made it
    fake::Advance(2500);
    G_Frame();
    Spark_Think(e);
    EXPECT_TRUE(e->s.inUse);
    fake::Advance(100);
    G_Frame();
    Spark_Think(e);
    EXPECT_FALSE(e->s.inUse);
}

TEST_F(CEntities, ASparkInTheOpenFallsAlongTheLocalUpWithGravityFive) {
    fake::flatWorld = true;
    fake::floorY = -1000;
    cg.flatGravity = 1;
    CG_CreateSpark(ZERO, ZERO, WHITE);
    centity_t *e = Newest();
    for (int n = 1; n <= 10; n++) {
        Tick(125);
        Spark_Think(e);
    }
    // Velocity first, then the move: the drop is 5 t² (1 + 2 + ... + 10).
    EXPECT_FLOAT_EQ(e->velocity[1], -5.0f * 1.25f);
    EXPECT_FLOAT_EQ(e->s.origin[1], -5.0f * 0.125f * 0.125f * 55.0f);
    EXPECT_EQ(e->s.origin[0], 0.0f);
    EXPECT_EQ(e->s.origin[2], 0.0f);
    EXPECT_FLOAT_EQ(e->lifeFraction, 1250.0f / 2500.0f);
}

TEST_F(CEntities, ABounceReflectsTheNormalSpeedAndKeepsTheFrictionShareAlongTheFloor) {
    fake::flatWorld = true;
    fake::floorY = 0;
    cg.flatGravity = 1;
    Tick(100);
    centity_t *e = CG_CreateCEntity(ET_SPARK);
    e->s.origin[1] = 0.5f;
    e->velocity[0] = 2;
    e->velocity[1] = -10;
    vec3_t normal = {0, 0, 0};
    EXPECT_FLOAT_EQ(CG_CEntityMove(e, 0, 0.01f, 0.4f, 0.9f, normal), 10.0f);
    EXPECT_FLOAT_EQ(e->velocity[1], 3.6f);
    EXPECT_FLOAT_EQ(e->velocity[0], 1.8f);
    EXPECT_NEAR(e->s.origin[1], 0.01f, 1e-6f);
    EXPECT_EQ(normal[1], 1.0f);
    // Nothing in the way: the full move and no impact.
    e->velocity[1] = 1;
    EXPECT_EQ(CG_CEntityMove(e, 0, 0.01f, 0.4f, 0.9f, nullptr), 0.0f);
}

TEST_F(CEntities, AGibTooSlowToMoveLiesStillUntilItsLifeEnds) {
    const vec3_t slow = {0.05f, 0, 0};
    CG_CreateGib(FAR_OUT, slow, 0);
    centity_t *e = Newest();
    for (int n = 0; n < 39; n++) {
        Tick(100);
        Gib_Think(e);
    }
    EXPECT_TRUE(e->s.inUse);
    EXPECT_EQ(e->s.origin[1], FAR_OUT[1]);
    EXPECT_EQ(fake::traces, 0);
    Tick(101);
    Gib_Think(e);
    EXPECT_FALSE(e->s.inUse);
}

TEST_F(CEntities, AMovingGibSpinsAndLeavesItsTrailEveryFewSteps) {
    fake::files["game/c_actions/gib_trail.action"] = "{ }";
    const vec3_t fast = {10, 0, 0};
    CG_CreateGib(FAR_OUT, fast, 0);
    centity_t *e = Newest();
    Tick(50);
    Gib_Think(e);
    EXPECT_EQ(e->spinSpeed, 600.0f);
    EXPECT_FLOAT_EQ(e->spinAngle, 30.0f);
    EXPECT_EQ(g_numActionScripts, 1);
    EXPECT_FLOAT_EQ(e->lastTrailPoint[0], e->s.origin[0]);
    // Half a unit further: not yet far enough from the trail point... then far enough.
    const float trailX = e->lastTrailPoint[0];
    Tick(30);
    Gib_Think(e);
    EXPECT_EQ(e->lastTrailPoint[0], trailX);
    Tick(30);
    Gib_Think(e);
    EXPECT_GT(e->lastTrailPoint[0], trailX);
}

TEST_F(CEntities, AFullPoolGivesUpTheRecordSpawnedLongestAgo) {
    for (int i = 0; i < CG_ENTITIES; i++) {
        CG_CreateCEntity(ET_SPARK)->spawnTime = 1000 + (i == 300 || i == 301 ? 0 : 10 + i);
    }
    centity_t *e = CG_CreateCEntity(ET_GIB);
    EXPECT_EQ(e - cg.cEntities, 300);
    EXPECT_EQ(e->s.type, ET_GIB);
    EXPECT_EQ(e->s.owner, -1);
    EXPECT_EQ(e->spawnTime, static_cast<int32_t>(qgame.time));
    EXPECT_EQ(InUse(ET_SPARK), CG_ENTITIES - 1);
}

TEST_F(CEntities, SparkRainFallsAtMostOncePerPeriod) {
    cgw.spaceAlt = 80;
    cg_fogRed.value = 0.5f;
    struct rainCase_t {
        int32_t period;
        int32_t skip;
        int made;  // over 33 frames of 30 ms
    };
    // With 100 ms: at 30, 150, 270, ... 990 ms.
    const rainCase_t cases[] = {{0, 0, 0}, {100, 1, 0}, {100, 0, 9}};
    for (const rainCase_t &c : cases) {
        CG_ClearCEntities();
        cgw.sparkRain = c.period;
        cg_skipSparkRain.integer = c.skip;
        for (int f = 0; f < 33; f++) {
            Tick(30);
            CG_UpdateSparkRain();
        }
        EXPECT_EQ(InUse(ET_RAIN_SPARK), c.made);
    }
    const centity_t *e = Newest();
    EXPECT_FLOAT_EQ(VectorLength(e->s.origin), 80.0f);
    EXPECT_FLOAT_EQ(_DotProduct(e->s.origin, e->velocity), -80.0f);  // straight down at 1 unit/s
}

TEST_F(CEntities, AMeteorGoesOnlyWhenBothFarAndOld) {
    struct meteorCase_t {
        const char *name;
        vec3_t head, tail;
        int32_t lastAliveMs;  // -1: still there after 6 s
    };
    const meteorCase_t cases[] = {
        {"far out, goes once 2 s old", {2990, 0, 0}, {3000, 0, 0}, 2000},
        {"flying inward stays", {-2990, 0, 0}, {3000, 0, 0}, -1},
    };
    for (const meteorCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        CG_ClearCEntities();
        CG_CreateMeteor(c.head, c.tail);
        centity_t *e = Newest();
        ASSERT_GE(e->meteorSpeed, 200.0f);
        ASSERT_LE(e->meteorSpeed, 600.0f);
        int32_t lastAlive = -1;
        for (uint32_t t = 100; t <= 6000; t += 100) {
            Tick(100);
            Meteor_Think(e);
            if (!e->s.inUse) break;
            lastAlive = static_cast<int32_t>(t);
        }
        if (c.lastAliveMs >= 0) {
            EXPECT_EQ(lastAlive, c.lastAliveMs);
        } else {
            EXPECT_TRUE(e->s.inUse);
            EXPECT_NEAR(e->meteorClock, 4.0f * 6.0f, 1e-3f);
            // It keeps its length, head first toward the tail.
            EXPECT_NEAR(e->meteorTail[0] - e->meteorHead[0], 5990.0f, 0.01f);
            EXPECT_NEAR(e->meteorHead[0], -2990.0f + e->meteorSpeed * 6.0f, 0.05f);
        }
    }
    // The points drawn are turned with the sky: here a quarter turn taking x to y.
    const float quarter[9] = {0, 0, 1, 1, 0, 0, 0, 1, 0};
    memcpy(cg.view.skyAxis, quarter, sizeof quarter);
    CG_ClearCEntities();
    const vec3_t head = {10, 0, 0}, tail = {20, 0, 0};
    CG_CreateMeteor(head, tail);
    centity_t *e = Newest();
    Tick(100);
    Meteor_Think(e);
    EXPECT_EQ(e->s.origin[0], 0.0f);
    EXPECT_FLOAT_EQ(e->s.origin[1], e->meteorHead[0]);
    EXPECT_FLOAT_EQ(e->s.origin2[1], e->meteorTail[0]);
}

TEST_F(CEntities, ExplosionsThrowTheirCountFromAboveTheGround) {
    fake::flatWorld = true;
    fake::floorY = -1000;
    cg.flatGravity = 1;
    const vec3_t up = {0, 1, 0};
    CG_CreateGibExplosion(ZERO, up, 4, 0, 20);
    CG_CreateDirtExplosion(ZERO, up, 4, 0, 3);
    EXPECT_EQ(InUse(ET_GIB), 20);
    EXPECT_EQ(InUse(ET_DIRT), 3);
    bool models[4] = {};
    for (const centity_t &e : cg.cEntities) {
        if (!e.s.inUse) continue;
        EXPECT_FLOAT_EQ(e.velocity[1], 4.0f);
        EXPECT_NEAR(VectorLength(e.spinAxis), 1.0f, 1e-5f);
        if (e.s.type == ET_DIRT) {
            EXPECT_EQ(e.s.origin[1], 0.5f);
        } else {
            EXPECT_NEAR(e.s.origin[1], 1.0f, 0.3f);
            ASSERT_GE(e.modelIndex, 0);
            ASSERT_LT(e.modelIndex, 4);
            models[e.modelIndex] = true;
        }
    }
    EXPECT_TRUE(models[0] && models[1] && models[2] && models[3]);
}

TEST_F(CEntities, AShellKeepsAnUprightFrameAndLeavesOnTopOfTheShootersVelocity) {
    const float *axis = IDENTITY;
    const vec3_t eject = {1, 0, 0};
    const vec3_t base = {0, 0, 5};
    CG_CreateShell(FAR_OUT, axis, eject, base);
    const centity_t *e = Newest();
    EXPECT_EQ(e->keepAxis, 1);
    EXPECT_NEAR(VectorLength(&e->axis[3]), 1.0f, 1e-5f);
    EXPECT_NEAR(_DotProduct(&e->axis[0], &e->axis[3]), 0.0f, 1e-5f);
    EXPECT_NEAR(_DotProduct(&e->axis[6], &e->axis[3]), 0.0f, 1e-5f);
    EXPECT_GE(e->velocity[0], 1.5f * 0.99f);
    EXPECT_LE(e->velocity[0], 1.8f);
    EXPECT_NEAR(e->velocity[2], 5.0f, 0.1f);
}

}  // namespace
