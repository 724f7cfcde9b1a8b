// Damage, splash, deaths, scores and obituaries.
#include <cmath>

#include "tests/game_sv/play_fixture.h"

namespace {

using Combat = PlayFixture;

// A point one unit from the victim's eye in a body direction (rows of bodyAxis).
void Beside(vec3_t out, const sgClient_t *c, const vec3_t dir) {
    out[0] = c->cs.origin[0] + dir[0];
    out[1] = c->cs.origin[1] + c->cs.eyeHeight + dir[1];
    out[2] = c->cs.origin[2] + dir[2];
}

TEST_F(Combat, ArmourTakesTwoThirdsAndSmallBlowsOnlyFlinch) {
    struct {
        int health, armor;
        float damage;
        int wantHealth, wantArmor;
        bool pain;
    } cases[] = {
        {100, 30, 90, 40, 0, true},    // armour part 60 exceeds 30: 100 - 30 - 30
        {100, 100, 90, 70, 40, true},
        {100, 0, 0.9f, 100, 0, false}, // below one point: nothing at all
        {100, 0, 1.5f, 100, 0, true},  // one point: both parts 0, the victim flinches
        {100, 50, NAN, 100, 50, false},
    };
    for (const auto &c : cases) {
        sgClient_t *a = Join(0, TEAM_BLUE), *v = Join(1, TEAM_RED, 3);
        v->cs.health = static_cast<uint8_t>(c.health);
        v->cs.armor = static_cast<uint8_t>(c.armor);
        const uint32_t events = v->cs.eventCount;
        const vec3_t front = {0, 0, 1};
        vec3_t at;
        Beside(at, v, front);
        SG_DamageClient(v, MOD_MINIGUN, c.damage, a, at);
        EXPECT_EQ(v->cs.health, c.wantHealth) << c.damage;
        EXPECT_EQ(v->cs.armor, c.wantArmor) << c.damage;
        EXPECT_EQ(v->cs.eventCount != events, c.pain) << c.damage;
        EXPECT_EQ(a->stats.hits[MOD_MINIGUN], c.pain ? 1 : 0) << c.damage;
    }
}

TEST_F(Combat, DeathAnimationFollowsTheSideHitAndTheWeight) {
    struct {
        vec3_t dir;
        float damage;
        int32_t means;
        int32_t anim;
    } cases[] = {
        {{0, 0, 1}, 200, MOD_RAILGUN, 6},   // front, heavy
        {{0, 0, 1}, 40, MOD_RAILGUN, 5},    // front, light
        {{0, 0, -1}, 200, MOD_RAILGUN, 8},  // back
        {{1, 0, 0}, 40, MOD_RAILGUN, 1},    // side row
        {{-1, 0, 0}, 200, MOD_RAILGUN, 4},  // the other side
        {{0, 0, 1}, 200, MOD_GRENGUN, 0},   // a grenade always plays 0
    };
    for (const auto &c : cases) {
        sgClient_t *a = Join(0, TEAM_BLUE), *v = Join(1, TEAM_RED, 3);
        v->cs.health = 30;
        vec3_t at;
        Beside(at, v, c.dir);
        SG_DamageClient(v, c.means, c.damage, a, at);
        EXPECT_EQ(v->cs.moveType, CS_DEAD);
        EXPECT_EQ(v->deathAnim, c.anim) << c.dir[0] << " " << c.dir[2] << " " << c.damage;
        EXPECT_EQ(a->stats.damageGiven, 30);
    }
}

TEST_F(Combat, SelfAndFriendlyDamageAreRefusedWithoutTrace) {
    sgClient_t *a = Join(0, TEAM_BLUE), *mate = Join(1, TEAM_BLUE, 3);
    const vec3_t at = {0, 1, 0};
    fake::Set("sg_selfDamage", "0");
    SG_DamageClient(a, MOD_OTHER, 40, a, at);  // a fall
    EXPECT_EQ(a->cs.health, 125);
    sg.rules = RULES_CRYSTAL_ROUNDS;
    SG_DamageClient(mate, MOD_MINIGUN, 40, a, at);
    EXPECT_EQ(mate->cs.health, 125);
    EXPECT_EQ(a->stats.hits[MOD_MINIGUN], 0);
    fake::Set("sg_friendlyFire", "1");
    SG_DamageClient(mate, MOD_MINIGUN, 40, a, at);
    EXPECT_LT(mate->cs.health, 125);
}

TEST_F(Combat, UnknownMeansIsReportedAndHurtsNobody) {
    sgClient_t *a = Join(0, TEAM_BLUE), *v = Join(1, TEAM_RED, 3);
    const vec3_t at = {3, 1, 0}, dir = {1, 0, 0};
    for (int32_t means : {7, -1, 1000}) {
        SG_DamageEntity(v->entity, a, means, at, dir, 500, 0, 1);
        EXPECT_EQ(v->cs.health, 125) << means;
    }
    EXPECT_TRUE(fake::Reported("bad means"));
    for (const fake::error_t &e : fake::errors) EXPECT_EQ(e.level, ER_WARNING);
    SG_DamageEntity(v->entity, a, MOD_DIRTGUN, at, dir, 500, 0, 1);  // the dirt gun hurts nobody
    EXPECT_EQ(v->cs.health, 125);
    EXPECT_EQ(Count(23 + 4 * MOD_RAILGUN + 1), 0);
    SG_DamageEntity(v->entity, a, MOD_RAILGUN, at, dir, 10, 0, 1);
    EXPECT_EQ(Count(23 + 4 * MOD_RAILGUN + 1), 1);  // a railgun impact on flesh
}

TEST_F(Combat, SplashReachesFourPointTwoAndTheThrowerTwoPointFive) {
    sgClient_t *thrower = Join(0, TEAM_BLUE, 0, 0);
    const vec3_t center = {0, 0, 2.5f};  // 2.5 from the thrower's feet
    sgClient_t *near = Join(1, TEAM_RED, 2, 2.5f), *edge = Join(2, TEAM_RED, 0, 2.5f + 4.2f);
    SG_SplatterDamage(center, 65, thrower, nullptr, CONTENTS_PLAYER, 0);
    EXPECT_EQ(thrower->cs.health, 125);
    EXPECT_LT(near->cs.health, 125);
    EXPECT_EQ(edge->cs.health, 125);
}

TEST_F(Combat, ObituariesAndScores) {
    struct {
        int32_t rules;
        int attacker;  // -1 none, 0 the victim itself, 1 a foe, 2 a team mate
        int32_t means;
        const char *line;
        int victimDeaths, attackerFrags, suicides;
    } cases[] = {
        {RULES_DEATH_MATCH, 1, MOD_RAILGUN, "was railed by", 1, 1, 0},
        {RULES_DEATH_MATCH, 0, MOD_GRENGUN, "committed suicide", 1, -1, 1},
        {RULES_DEATH_MATCH, -1, MOD_DIRTGUN, "got crushed", 1, 0, 0},
        {RULES_DEATH_MATCH, -1, MOD_OTHER, "was killed", 1, 0, 0},
        {RULES_CRYSTAL_ROUNDS, 2, MOD_SHOTGUN, "was shot by", 1, -1, 0},
    };
    for (const auto &c : cases) {
        fake::prints.clear();
        sg.rules = c.rules;
        sgClient_t *v = Join(0, TEAM_BLUE), *foe = Join(1, TEAM_RED, 3), *mate = Join(2, TEAM_BLUE, 6);
        sgClient_t *attacker = c.attacker == 0 ? v : c.attacker == 1 ? foe : c.attacker == 2 ? mate : nullptr;
        SG_KillClient(v, attacker, c.means, 1);
        EXPECT_TRUE(fake::Printed(c.line)) << c.line;
        EXPECT_EQ(v->stats.deaths, c.victimDeaths) << c.line;
        EXPECT_EQ(v->stats.suicides, c.suicides) << c.line;
        if (attacker) {
            EXPECT_EQ(attacker->stats.kills, c.attackerFrags) << c.line;
        }
        EXPECT_EQ(v->cs.moveType, CS_DEAD);
        EXPECT_EQ(v->entity->contents, 0u);
    }
}

TEST_F(Combat, KilledCarrierDropsTheCrystalAndAmmunition) {
    sg.rules = RULES_CAPTURE_CRYSTAL;
    sgClient_t *v = Join(0, TEAM_BLUE), *foe = Join(1, TEAM_RED, 3);
    v->cs.flags |= CSF_CRYSTAL;
    sg.teamCrystalCarrier[TEAM_RED] = v;
    v->cs.weapon = WP_SHOTGUN;
    v->cs.clip[WP_SHOTGUN] = 10;
    v->cs.reserve[WP_SHOTGUN] = 30;
    SG_KillClient(v, foe, MOD_MINIGUN, 1);
    EXPECT_EQ(v->cs.flags & CSF_CRYSTAL, 0u);
    EXPECT_EQ(sg.teamCrystalCarrier[TEAM_RED], nullptr);
    ASSERT_NE(sg.teamCrystal[TEAM_RED], nullptr);  // the red crystal he carried
    EXPECT_EQ(sg.teamCrystal[TEAM_RED]->team, TEAM_RED);
    const sgEntity_t *box = Find(ET_ITEM);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->itemKind, IT_AMMO_SHOTGUN);
    EXPECT_EQ(box->itemAmount, 20);
}

TEST_F(Combat, FeedbackCapsHeatAndHalvesRecoilWhenCrouched) {
    sgClient_t *c = Join(0, TEAM_BLUE);
    SG_AddPlayerBarrelHeat(c, 0.8f);
    SG_AddPlayerBarrelHeat(c, 0.8f);
    EXPECT_FLOAT_EQ(c->cs.barrelHeat, 1.0f);
    SG_AddPlayerWalkSlow(c, 3);
    EXPECT_FLOAT_EQ(c->cs.slowdown, 1.0f);
    fake::Set("sg_recoil", "1");
    c->cs.crouch = 1;
    fake::Seed(7);
    SG_AddPlayerRecoil(c, 100, 0);
    const float crouched = c->cs.kickVelocity[1];
    c->cs.kickVelocity[1] = 0;
    c->cs.crouch = 0;
    fake::Seed(7);
    SG_AddPlayerRecoil(c, 100, 0);
    EXPECT_FLOAT_EQ(c->cs.kickVelocity[1], 2 * crouched);
}

}  // namespace
