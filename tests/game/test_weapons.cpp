// The server halves of the weapons against the test engine: the dirt gun's trap
// sequences per mode and rules, and what each hitscan shot hits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "common/common.h"
#include "game/g_soup.h"
#include "game/g_weapon.h"
#include "game_sv/sg_local.h"
#include "tests/game/fake_engine.h"

namespace {

struct WeaponTest : testing::Test {
    sgClient_t *client = nullptr;

    void SetUp() override {
        fake::Install();
        fake::flatWorld = true;
        fake::floorY = 0.0f;
        memset(&sg, 0, sizeof sg);
        memset(&sgs, 0, sizeof sgs);
        sgs.running = 1;
        sg.flatGravity = 1;
        G_DefineWeapons();
        G_SetSG();
        // One cube shape serves every mode; each mode's pointer tells them apart.
        fake::files["cube.soup"] = fake::SoupBytes({-1, -1, -1, 1, -1, -1, -1, 1, -1, 1, 1, -1,
                                                    -1, -1, 1,  1, -1, 1,  -1, 1, 1,  1, 1, 1},
                                                   {0, 2, 3, 0, 3, 1, 4, 5, 7, 4, 7, 6, 0, 1, 5, 0, 5, 4,
                                                    2, 6, 7, 2, 7, 3, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5});
        for (int m = 0; m < DIRT_DEFORM_MODES; m++) g_dirtDeformSoups[m] = G_LoadSOUP("cube.soup", 1.0f);
        client = &sgs.clients[0];
        client->inUse = 1;
        client->number = 0;
        clientState_t &cs = client->cs;
        cs.origin[1] = 0.01f;
        cs.eyeHeight = 1.3f;
        cs.height = 1.65f;
        MatrixCopy3x3(G_StateEllipticAxis(&cs), identitymatrix3x3);
        cs.deformSize = 10;
        cs.deformMaterial = 9;
        Com_strncpyz(sg.world.materials[0].name, "dirt", WM_NAME_SIZE);
        sg.world.materials[0].subStrenght = 1.0f;
        Com_strncpyz(sg.world.materials[4].name, "rock", WM_NAME_SIZE);
        sg.world.materials[4].subStrenght = 0.0f;
        Com_strncpyz(sg.world.materials[7].name, "sand", WM_NAME_SIZE);
        sg.world.materials[7].subStrenght = 0.5f;
    }
    void TearDown() override {
        G_FreeAllSOUPS();
        G_SetUndefined();
        fake::Uninstall();
    }

    // Looks down at the floor ahead: the pitch that turns the view's forward downwards.
    void LookDown() { client->cs.viewAngles[1] = 60.0f; }

    // The deformation traps in the order they were called, the shapes by mode.
    std::vector<std::string> Deforms() const {
        std::vector<std::string> out;
        for (std::string d : fake::deforms) {
            for (int m = 0; m < DIRT_DEFORM_MODES; m++) {
                const std::string p = fake::PointerText(g_dirtDeformSoups[m]);
                const size_t at = d.find(p);
                if (at != std::string::npos) d.replace(at, p.size(), "mode" + std::to_string(m));
            }
            out.push_back(d);
        }
        return out;
    }

    int CountEvents(int32_t type) const {
        int n = 0;
        for (const sgEntity_t &e : sg.entities)
            if (e.s.inUse && e.s.type == type) n++;
        return n;
    }
};

TEST_F(WeaponTest, DigBlurSizeFollowsTheMattersStrength) {
    const struct {
        float strength;
        int32_t size;
    } cases[] = {{0.95f, 6}, {0.5f, 25}, {0.01f, 49}, {1.0f, 6}, {-3.0f, 50}, {NAN, 50}};
    for (const auto &c : cases) EXPECT_EQ(G_DirtDigBlurSize(c.strength), c.size) << c.strength;
}

TEST_F(WeaponTest, DirtGunTrapSequencesByRulesModeAndButton) {
    const struct {
        const char *what;
        int32_t rules;
        uint8_t mode, secondary;
        std::vector<std::string> traps;
        int32_t event;  // 0: none
    } cases[] = {
        {"build outside the forge, in every matter in use",
         RULES_DEATH_MATCH, DIRT_BUILD, 0,
         {"undo", "setup mode0 1", "connect",
          "setup mode0 0.8", "add 0 9", "setup mode0 1.4", "blur 0 6 1",
          "setup mode0 0.8", "add 4 9", "setup mode0 1.4", "blur 4 6 1",
          "setup mode0 0.8", "add 7 9", "setup mode0 1.4", "blur 7 6 1"},
         WPE_DIRT_ADD},
        {"dig outside the forge: by strength, the undiggable skipped",
         RULES_CRYSTAL_ROUNDS, DIRT_BUILD, 1,
         {"undo", "setup mode0 1", "connect",
          "setup mode0 0.8", "sub 0 1", "setup mode0 1.6", "blur 0 6 2",
          "setup mode0 0.8", "sub 7 0.5", "setup mode0 1.6", "blur 7 25 2"},
         WPE_DIRT_SUB},
        {"a wall mode outside the forge builds a sphere",
         RULES_DEATH_MATCH, DIRT_WALL, 0,
         {"undo", "setup mode0 1", "connect",
          "setup mode0 0.8", "add 0 9", "setup mode0 1.4", "blur 0 6 1",
          "setup mode0 0.8", "add 4 9", "setup mode0 1.4", "blur 4 6 1",
          "setup mode0 0.8", "add 7 9", "setup mode0 1.4", "blur 7 6 1"},
         WPE_DIRT_ADD},
        {"forge dig takes every matter at full strength",
         RULES_FORGE, DIRT_WALL, 1,
         {"undo", "setup mode1 1", "connect",
          "setup mode1 0.8", "sub 0 1", "setup mode1 1.6", "blur 0 6 2",
          "setup mode1 0.8", "sub 4 1", "setup mode1 1.6", "blur 4 6 2",
          "setup mode1 0.8", "sub 7 1", "setup mode1 1.6", "blur 7 6 2"},
         WPE_DIRT_SUB},
        {"forge paint, either button", RULES_FORGE, DIRT_PAINT, 1,
         {"undo", "setup mode3 1", "setup mode3 1", "paint -1 9"}, 0},
        {"forge blur", RULES_FORGE, DIRT_BLUR, 0, {"undo", "setup mode4 1", "setup mode4 1", "blur -1 4 0"}, 0},
    };
    for (const auto &c : cases) {
        fake::deforms.clear();
        sg.rules = c.rules;
        client->deformMode = c.mode;
        client->stats.shots[MOD_DIRTGUN] = 0;
        LookDown();
        const int before = c.event ? CountEvents(c.event) : 0;
        EXPECT_EQ(Dirtgun_Fire(client, c.secondary), 1) << c.what;
        EXPECT_EQ(Deforms(), c.traps) << c.what;
        EXPECT_EQ(client->stats.shots[MOD_DIRTGUN], 1) << c.what;
        if (c.event) {
            EXPECT_EQ(CountEvents(c.event), before + 1) << c.what;
        }
    }
}

TEST_F(WeaponTest, DirtGunSizeScalesTheShapes) {
    sg.rules = RULES_FORGE;
    client->cs.deformSize = 25;
    client->deformMode = DIRT_PAINT;
    LookDown();
    Dirtgun_Fire(client, 0);
    EXPECT_EQ(Deforms(), (std::vector<std::string>{"undo", "setup mode3 1", "setup mode3 2.5", "paint -1 9"}));
    fake::deforms.clear();
    client->deformMode = DIRT_BUILD;
    Dirtgun_Fire(client, 0);
    const std::vector<std::string> got = Deforms();
    ASSERT_GE(got.size(), 7u);
    EXPECT_EQ(got[3], "setup mode0 2");
    EXPECT_EQ(got[5], "setup mode0 3.5");
}

TEST_F(WeaponTest, DirtGunFiresNothingAwayFromTerrainOrInAnUnknownMode) {
    sg.rules = RULES_FORGE;
    fake::soupConnect = 0;
    LookDown();
    EXPECT_EQ(Dirtgun_Fire(client, 0), 0);
    EXPECT_EQ(Deforms(), (std::vector<std::string>{"undo", "setup mode0 1", "connect"}));
    EXPECT_EQ(client->stats.shots[MOD_DIRTGUN], 0);
    EXPECT_EQ(CountEvents(WPE_DIRT_ADD), 0);

    fake::deforms.clear();
    client->deformMode = 7;
    EXPECT_EQ(Dirtgun_Fire(client, 0), 0);
    EXPECT_TRUE(fake::deforms.empty());
    EXPECT_EQ(client->deformMode, 0);
    ASSERT_FALSE(fake::errors.empty());
    EXPECT_EQ(fake::errors.back().level, ER_DEVWARNING);
}

TEST_F(WeaponTest, HologramLiesOnTheFirstSurfaceOrTwelveUnitsAhead) {
    float view[9], level[9], axis[9];
    vec3_t eye = {0, 1.31f, 0}, origin;
    // Level view: nothing within reach, the shape goes 12 units ahead.
    SG_ClientViewAxes(client, view, level);
    EXPECT_EQ(CalcDirtHologram(1, origin, axis, eye, view, level, DIRT_BUILD), 1.0f);
    vec3_t ahead;
    _VectorAddMultiple(ahead, eye, view + 6, 12.0f);
    EXPECT_LT(PointDistance(origin, ahead), 1e-4f);
    // Looking down: on the floor.
    LookDown();
    SG_ClientViewAxes(client, view, level);
    const float f = CalcDirtHologram(1, origin, axis, eye, view, level, DIRT_BUILD);
    EXPECT_LT(f, 1.0f);
    EXPECT_NEAR(origin[1], 0.0f, 1e-4f);
    // The wall stands one level unit further and upright.
    vec3_t wall;
    CalcDirtHologram(1, wall, axis, eye, view, level, DIRT_WALL);
    EXPECT_NEAR(wall[1], 0.0f, 1e-4f);
    EXPECT_NEAR(PointDistance(wall, origin), 1.0f, 1e-4f);
    EXPECT_NEAR(axis[4], 1.0f, 1e-5f) << "the wall's up is the world's up";
    // The platform sinks by one unit when looking down steeply.
    vec3_t platform;
    CalcDirtHologram(1, platform, axis, eye, view, level, DIRT_PLATFORM);
    EXPECT_NEAR(platform[1], -1.0f, 1e-4f);
}

}  // namespace

// ---- hitscan ----

namespace {

std::vector<std::pair<int32_t, float>> hits;  // (entity slot, damage) of every damage callback

void CountHit(sgEntity_t *self, sgEntity_t *, float damage) { hits.push_back({self->number, damage}); }

// Gives a target box the half sizes, both the box itself and what it is rebuilt from.
void SizeTarget(sgEntity_t *e, float x, float y, float z) {
    const vec3_t half = {x, y, z};
    _VectorCopy(e->hitHalfSize, half);
    _VectorCopy(e->hitBox.halfSize, half);
    e->hitBoxFrame = -1;  // rebuilt at the next trace
}

// A box-shaped target of half size 0.3 in the given slot, standing at x along the shooter's view.
sgEntity_t *Target(int slot, float x) {
    sgEntity_t *e = &sg.entities[slot];
    memset(e, 0, sizeof *e);
    e->s.inUse = 1;
    e->s.type = ET_BARREL;
    e->number = slot;
    e->contents = CONTENTS_PROP;
    e->hasHitBox = 1;
    e->thinkHit = CountHit;
    const vec3_t origin = {x, 2.0f, 0.0f};
    _VectorCopy(e->s.origin, origin);
    _VectorCopy(e->hitBox.origin, origin);
    memcpy(e->s.ellipticAxis, identitymatrix3x3, sizeof e->s.ellipticAxis);
    memcpy(e->hitBox.axis, identitymatrix3x3, sizeof e->hitBox.axis);
    MatrixCopy3x3(e->hitBox.axisT, identitymatrix3x3);
    SizeTarget(e, 0.3f, 0.3f, 0.3f);
    return e;
}

}  // namespace

struct HitscanTest : WeaponTest {
    void SetUp() override {
        WeaponTest::SetUp();
        hits.clear();
        fake::flatWorld = true;
        fake::floorY = -100.0f;  // out of reach
        // The shooter looks along +x with its eye at height 2.
        clientState_t &cs = client->cs;
        cs.origin[1] = 2.0f - cs.eyeHeight;
        cs.viewAngles[2] = 90.0f;
        float view[9], level[9];
        SG_ClientViewAxes(client, view, level);
        ASSERT_NEAR(view[6], 1.0f, 1e-5f) << "the test's view looks along +x";
        sgEntity_t *self = &sg.entities[0];
        self->s.inUse = 1;
        self->number = 0;
        self->contents = CONTENTS_PLAYER;
        self->hasHitBox = 1;
        self->client = client;
        _VectorCopy(self->hitBox.origin, cs.origin);
        self->hitBox.halfSize[0] = self->hitBox.halfSize[1] = self->hitBox.halfSize[2] = 2.0f;  // the eye is inside
        memcpy(self->hitBox.axis, identitymatrix3x3, sizeof self->hitBox.axis);
        MatrixCopy3x3(self->hitBox.axisT, identitymatrix3x3);
        client->entity = self;
    }
};

TEST_F(HitscanTest, RailgunPiercesEachEntityOnceAndAtMostSix) {
    for (const int targets : {1, 3, 6, 8}) {
        hits.clear();
        for (int i = 0; i < targets; i++) Target(20 + i, 5.0f + 3.0f * i);
        EXPECT_EQ(Railgun_Fire(client, 0), 1);
        const size_t expected = targets < RAILGUN_MAX_PIERCED ? targets : RAILGUN_MAX_PIERCED;
        ASSERT_EQ(hits.size(), expected) << targets << " targets";
        for (size_t i = 0; i < hits.size(); i++) {
            EXPECT_EQ(hits[i].first, 20 + static_cast<int>(i)) << "in the order the rail meets them";
            EXPECT_EQ(hits[i].second, 95.0f);
        }
        for (const sgEntity_t &e : sg.entities) EXPECT_EQ(e.railPass, 0) << "every mark is cleared";
        for (int i = 0; i < targets; i++) sg.entities[20 + i] = sgEntity_t{};
    }
}

TEST_F(HitscanTest, BerserkMultipliesTheDamageAndMissesStillCount) {
    Target(30, 4.0f);
    client->cs.berserk = 5;
    sg_berserkFactor.value = 2.0f;
    EXPECT_EQ(Meelgun_Fire(client, 0), 1);
    EXPECT_TRUE(hits.empty()) << "the saw reaches 1.3 units";
    EXPECT_EQ(Minigun_Fire(client, 0), 1);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].second, 20.0f);
    client->cs.berserk = 0;
    Target(30, 1.0f);
    EXPECT_EQ(Meelgun_Fire(client, 0), 1);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[1].second, 17.0f);
    EXPECT_EQ(client->stats.shots[MOD_MEELGUN], 2);
    EXPECT_EQ(client->stats.shots[MOD_MINIGUN], 1);
}

TEST_F(HitscanTest, OnlyEverySeventhMeelgunWorldHitDigs) {
    fake::floorY = 1.0f;  // a unit below the eye: the saw meets it when looking down
    client->cs.viewAngles[1] = 80.0f;
    client->cs.viewAngles[2] = 0.0f;
    for (int i = 1; i <= 14; i++) {
        fake::deforms.clear();
        Meelgun_Fire(client, 0);
        EXPECT_EQ(!fake::deforms.empty(), i % 7 == 0) << "swing " << i;
    }
    EXPECT_EQ(CountEvents(WPE_MEELGUN_IMPACT), 14) << "every world hit shows its impact";
    // An absurd setting digs as hard as an int allows, never with a wrapped strength.
    const float saved = sg_worldDamage.value;
    sg_worldDamage.value = 1e30f;  // the variable is not registered here
    Com_strncpyz(sg.world.materials[1].name, "dirt", WM_NAME_SIZE);
    sg.world.materials[1].subStrenght = 1.0f;
    for (int i = 1; i <= 7; i++) Meelgun_Fire(client, 0);
    bool dug = false;
    for (const std::string &d : fake::deforms) dug = dug || d.rfind("sub 1 ", 0) == 0;
    EXPECT_TRUE(dug);
    sg_worldDamage.value = saved;
}

namespace {

TEST_F(WeaponTest, ShapesLoadOnePerModeAndAMissingOneFiresNothing) {
    G_FreeAllSOUPS();
    const std::string cube = fake::files["cube.soup"];
    fake::files["game/c_soups/sphere.soup"] = cube;
    fake::files["game/c_soups/wall.soup"] = cube;
    G_LoadDirtgunShapes();
    EXPECT_EQ(g_numSoups, 4) << "the sphere thrice, the wall once";
    for (int m : {0, 1, 3, 4}) EXPECT_NE(g_dirtDeformSoups[m], nullptr) << m;
    EXPECT_EQ(g_dirtDeformSoups[0] == g_dirtDeformSoups[3], false) << "each load takes its own slot";
    EXPECT_EQ(g_dirtDeformSoups[DIRT_PLATFORM], nullptr);
    EXPECT_TRUE(fake::errors.empty()) << "a missing shape does not stop the module";

    sg.rules = RULES_FORGE;
    client->deformMode = DIRT_PLATFORM;
    LookDown();
    EXPECT_EQ(Dirtgun_Fire(client, 0), 0);
    EXPECT_TRUE(fake::deforms.empty());
}

}  // namespace

namespace {

TEST_F(HitscanTest, ShotgunFiresElevenPelletsAndCountsEach) {
    // The noise of 9 units at range 100 scatters a pellet at most about 1.6 units
    // off the line at this distance: a broad target takes every one ...
    sgEntity_t *t = Target(40, 20.0f);
    SizeTarget(t, 0.3f, 2.5f, 2.5f);
    EXPECT_EQ(Shotgun_Fire(client, 0), 1);
    ASSERT_EQ(hits.size(), 11u);
    for (const auto &h : hits) EXPECT_EQ(h.second, 9.0f);
    EXPECT_EQ(client->stats.shots[MOD_SHOTGUN], 11);
    // ... and a thin one only some: the pellets do scatter.
    hits.clear();
    SizeTarget(t, 0.3f, 0.6f, 0.6f);
    for (int i = 0; i < 10; i++) Shotgun_Fire(client, 0);
    EXPECT_GT(hits.size(), 0u);
    EXPECT_LT(hits.size(), 110u);
}

TEST_F(HitscanTest, MinigunSpreadGrowsWithTheHeatFromNoneWhenCold) {
    sgEntity_t *t = Target(40, 60.0f);
    SizeTarget(t, 0.02f, 0.02f, 0.02f);
    int cold = 0, hot = 0;
    for (int i = 0; i < 40; i++) {
        hits.clear();
        client->cs.barrelHeat = 0.0f;
        Minigun_Fire(client, 0);
        cold += static_cast<int>(hits.size());
        hits.clear();
        client->cs.barrelHeat = 1.0f;
        Minigun_Fire(client, 0);
        hot += static_cast<int>(hits.size());
    }
    EXPECT_EQ(cold, 40) << "no spread at zero heat";
    EXPECT_LT(hot, 10) << "a hot barrel scatters over units at this range";
}

}  // namespace
