// The entity kinds' server halves: items and their caps, berserk, the crystal,
// grenades, decorations and the player's body.
#include <cmath>

#include "tests/game_sv/play_fixture.h"

namespace {

using Kinds = PlayFixture;

const vec3_t STILL = {0, 0, 0};

// The client picks up an item of the kind and amount.
void PickUp(sgClient_t *c, int32_t kind, int32_t amount) {
    sgEntity_t *item = SG_CreateItem(c->cs.origin, STILL, kind, amount, nullptr, 0);
    ASSERT_NE(item, nullptr);
    item->thinkTouch(item, c->entity);
    EXPECT_FALSE(item->s.inUse);
}

TEST_F(Kinds, ItemKindsOutsideTheTableAndDisabledWeaponsAreRefused) {
    for (int32_t kind : {-1, 8, 1000}) EXPECT_EQ(SG_CreateItem(STILL, STILL, kind, 5, nullptr, 0), nullptr) << kind;
    sg.world.weapons[WP_RAILGUN].present = 0;
    EXPECT_EQ(SG_CreateItem(STILL, STILL, IT_AMMO_RAILGUN, 5, nullptr, 0), nullptr);
    EXPECT_EQ(Count(ET_ITEM), 0);
    const sgEntity_t *box = SG_CreateItem(STILL, STILL, IT_AMMO_GRENGUN, 0, nullptr, 1);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->itemAmount, 16);  // the kind's default
    EXPECT_EQ(box->randomSpawned, 1);
}

TEST_F(Kinds, PickUpsAddInIntAndAreCapped) {
    struct {
        int32_t kind, amount;
        int weapon;  // -1: life and armour
        bool owned;
        int startClip, startReserve;
        int wantClip, wantReserve;
    } cases[] = {
        {IT_AMMO_GRENGUN, 16, WP_GRENGUN, false, 0, 0, 8, 8},        // the weapon with a clip of 8
        {IT_AMMO_GRENGUN, 16, WP_GRENGUN, true, 8, 40, 8, 48},       // reserve capped at 48
        {IT_AMMO_MINIGUN, 30000, WP_MINIGUN, true, 40, 200, 40, 240},  // no 16-bit wrap
        {IT_AMMO_DIRTGUN, 300, WP_DIRTGUN, true, 40, 0, 50, 0},      // the dirt gun's clip, at most 50
        // A world tag's amount rounds to anything an int holds: the sums must not overflow.
        {IT_AMMO_MINIGUN, INT32_MAX, WP_MINIGUN, true, 40, 200, 40, 240},
        {IT_AMMO_DIRTGUN, INT32_MAX, WP_DIRTGUN, true, 40, 0, 50, 0},
        {IT_AMMO_SHOTGUN, INT32_MIN, WP_SHOTGUN, false, 0, 0, 0, 0},
    };
    for (const auto &c : cases) {
        sgClient_t *p = Join(0, TEAM_BLUE);
        if (c.owned) p->cs.ownedWeapons |= static_cast<uint8_t>(1u << c.weapon);
        p->cs.clip[c.weapon] = static_cast<uint8_t>(c.startClip);
        p->cs.reserve[c.weapon] = static_cast<int16_t>(c.startReserve);
        PickUp(p, c.kind, c.amount);
        EXPECT_TRUE(p->cs.ownedWeapons & (1u << c.weapon));
        EXPECT_EQ(p->cs.clip[c.weapon], c.wantClip) << c.kind << " " << c.amount;
        EXPECT_EQ(p->cs.reserve[c.weapon], c.wantReserve) << c.kind << " " << c.amount;
        EXPECT_EQ(p->stats.pickups[c.weapon], 1);
    }
    sgClient_t *p = Join(0, TEAM_BLUE);
    p->cs.health = 120;
    p->cs.armor = 190;
    PickUp(p, IT_LIFE, 200);
    PickUp(p, IT_ARMOR, 0);  // the world's 75
    EXPECT_EQ(p->cs.health, 125);
    EXPECT_EQ(p->cs.armor, 200);
    EXPECT_TRUE(Told(p, "Picked up \xA4" "0875 Armor"));
    PickUp(p, IT_LIFE, INT32_MAX);
    PickUp(p, IT_ARMOR, INT32_MAX);
    EXPECT_EQ(p->cs.health, 125);
    EXPECT_EQ(p->cs.armor, 200);
}

// Any pick-up brings the spare rounds of every weapon back within their caps (and
// the dirt gun's clip), not only those of the weapon picked up; one that gives a
// weapon leaves the others as they were.
TEST_F(Kinds, APickUpCapsTheRoundsOfEveryWeaponUnlessItGivesOne) {
    sgClient_t *p = Join(0, TEAM_BLUE);
    const auto overfill = [p] {
        for (int w = WP_MINIGUN; w <= WP_RAILGUN; w++)
            p->cs.reserve[w] = static_cast<int16_t>(G_WeaponClass(w)->maxReserve + 50);
        p->cs.clip[WP_DIRTGUN] = 60;
    };
    p->cs.ownedWeapons |= 1u << WP_MINIGUN;
    for (int32_t kind : {IT_LIFE, IT_ARMOR, IT_BERSERK, IT_AMMO_MINIGUN}) {
        overfill();
        PickUp(p, kind, 1);
        for (int w = WP_MINIGUN; w <= WP_RAILGUN; w++)
            EXPECT_EQ(p->cs.reserve[w], G_WeaponClass(w)->maxReserve) << "item " << kind << " weapon " << w;
        EXPECT_EQ(p->cs.clip[WP_DIRTGUN], 50) << "item " << kind;
    }
    p->cs.ownedWeapons &= static_cast<uint8_t>(~(1u << WP_RAILGUN));
    overfill();
    PickUp(p, IT_AMMO_RAILGUN, 5);
    EXPECT_EQ(p->cs.reserve[WP_MINIGUN], G_WeaponClass(WP_MINIGUN)->maxReserve + 50);
    EXPECT_EQ(p->cs.clip[WP_DIRTGUN], 60);
}

TEST_F(Kinds, BerserkNeverOutlastsTheFullTimeFromNow) {
    sgClient_t *p = Join(0, TEAM_BLUE);
    const int32_t full = sg.world.itemBerserkAmount;
    auto endsIn = [&] { return p->berserk.berserkStart + full - static_cast<int32_t>(qgame.time); };
    SG_GiveBerserk(p, 0);
    EXPECT_EQ(endsIn(), full);
    Advance(15000);  // 5 s left
    SG_GiveBerserk(p, 3);
    EXPECT_EQ(endsIn(), 8000);
    SG_GiveBerserk(p, 60);
    EXPECT_EQ(endsIn(), full);
    SG_GiveBerserk(p, 0);
    EXPECT_EQ(endsIn(), full);
}

TEST_F(Kinds, CrystalRoundsPickUpMakesTheCarrier) {
    sg.rules = RULES_CRYSTAL_ROUNDS;
    sgClient_t *p = Join(0, TEAM_RED);
    sgEntity_t *crystal = SG_CreateCrystal(STILL, STILL, TEAM_BLUE, 1);
    EXPECT_EQ(sg.crystal, crystal);
    crystal->thinkTouch(crystal, p->entity);
    EXPECT_FALSE(crystal->s.inUse);
    EXPECT_EQ(sg.crystal, nullptr);
    EXPECT_EQ(sg.crystalCarrier, p);
    EXPECT_TRUE(p->cs.flags & CSF_CRYSTAL);
}

TEST_F(Kinds, CaptureTheCrystalCapturesAndReturns) {
    sg.rules = RULES_CAPTURE_CRYSTAL;
    sgClient_t *blue = Join(0, TEAM_BLUE);
    sgEntity_t *red = SG_CreateCrystal(STILL, STILL, TEAM_RED, 1);
    red->thinkTouch(red, blue->entity);  // takes the red crystal
    EXPECT_EQ(sg.teamCrystalCarrier[TEAM_RED], blue);
    EXPECT_EQ(sg.teamCrystal[TEAM_RED], nullptr);
    sgEntity_t *home = SG_CreateCrystal(STILL, STILL, TEAM_BLUE, 1);
    home->thinkTouch(home, blue->entity);  // brings it to his own crystal at home
    EXPECT_EQ(sg.blueScore, 1);
    EXPECT_EQ(blue->stats.captures, 1);
    EXPECT_FALSE(blue->cs.flags & CSF_CRYSTAL);
    EXPECT_TRUE(home->s.inUse);

    const vec3_t away = {5, 0, 0};
    sgEntity_t *lost = SG_CreateCrystal(away, STILL, TEAM_BLUE, 0);
    lost->thinkTouch(lost, blue->entity);  // his own crystal away from home goes back
    EXPECT_FALSE(lost->s.inUse);
    EXPECT_EQ(sg.teamCrystal[TEAM_BLUE], nullptr);
    EXPECT_EQ(sg.blueScore, 1);
}

TEST_F(Kinds, UntouchedGrenadeBurstsInTheAirAfterTenSeconds) {
    sgClient_t *p = Join(0, TEAM_BLUE);
    const vec3_t high = {0, 500, 0}, up = {0, 1, 0};
    sgEntity_t *g = SG_CreateGrenade(high, up, 25.0f, p);
    for (int i = 0; i < 200; i++) {
        Advance(50);
        g->thinkSG(g);
        ASSERT_TRUE(g->s.inUse) << i;
    }
    Advance(1);  // 10,001 ms after its spawn
    g->thinkSG(g);
    EXPECT_FALSE(g->s.inUse);
    EXPECT_EQ(Count(43), 1);  // the air explosion
}

// Ages are differences of the wrapping clock: right across the signed and the
// unsigned wrap alike (and free of signed overflow, which the sanitizer stops).
TEST_F(Kinds, FuseBerserkAndTrailAgesHoldAcrossTheClockWrap) {
    for (const uint32_t before : {0x7FFFFFFFu - 5000, 0xFFFFFFFFu - 5000}) {
        fake::qg.time = before;
        Refresh();
        sgClient_t *p = Join(0, TEAM_BLUE);
        const vec3_t high = {0, 500, 0}, up = {0, 1, 0}, far = {0, 500, 9};
        sgEntity_t *g = SG_CreateGrenade(high, up, 25.0f, p);
        sgEntity_t *trail = SG_CreateBulletTrail(high, far, ET_TRAIL_MINIGUN);
        SG_GiveBerserk(p, 0);
        Advance(9000);  // across the wrap
        g->thinkSG(g);
        EXPECT_TRUE(g->s.inUse) << before;
        trail->thinkSG(trail);
        EXPECT_FLOAT_EQ(trail->s.param, 9.0f) << before;
        SG_GiveBerserk(p, 3);  // 11 s of the 20 were left: 14 s now
        EXPECT_EQ(SG_Since(p->berserk.berserkStart), 6000) << before;
        Advance(1001);
        g->thinkSG(g);
        EXPECT_FALSE(g->s.inUse) << before;
        SG_DropClient(p, "");
        memset(sg.entities, 0, sizeof sg.entities);
    }
}

TEST_F(Kinds, GrenadeOfALeavingClientHasNoOwner) {
    sgClient_t *p = Join(3, TEAM_BLUE);
    const vec3_t high = {0, 500, 0}, up = {0, 1, 0};
    sgEntity_t *g = SG_CreateGrenade(high, up, 25.0f, p);
    EXPECT_EQ(g->s.owner, 3);
    SG_DropClient(p, "Disconnected");
    EXPECT_EQ(g->s.owner, -1);
    Join(3, TEAM_RED);  // the newcomer in that slot is not its owner
    EXPECT_EQ(g->s.owner, -1);
}

TEST_F(Kinds, DecorationsWearDownAndStainWhenAHundredIsCrossed) {
    struct {
        int32_t health;
        float damage;
        int stains;  // stain rays cast
    } cases[] = {{1000, 250, 1}, {1000, 50, 1}, {990, 50, 0}};
    for (const auto &c : cases) {
        sgEntity_t *barrel = SG_CreateBarrel(STILL, 0);
        barrel->health = c.health;
        const int before = fake::traces;
        barrel->thinkHit(barrel, nullptr, c.damage);
        EXPECT_EQ(fake::traces - before, c.stains) << c.health << " " << c.damage;
        EXPECT_EQ(barrel->health, c.health - static_cast<int32_t>(c.damage));
    }
    sgEntity_t *stone = SG_CreateStone(STILL, ET_STONE2, 1);
    EXPECT_EQ(stone->kind, ET_STONE2);
    EXPECT_EQ(stone->randomSpawned, 1);
    stone->thinkHit(stone, nullptr, 999);
    EXPECT_TRUE(stone->s.inUse);
    stone->thinkHit(stone, nullptr, 1);
    EXPECT_FALSE(stone->s.inUse);
}

// Other players draw the dirt gun's hologram from the body's word: the mode the
// player's commands chose, and the size.
TEST_F(Kinds, TheBodyShowsTheDirtGunModeTheCommandsChose) {
    sg.rules = RULES_FORGE;
    sgClient_t *p = Join(0, TEAM_BLUE);
    cc_t cc = {};
    cc.number = 1;
    cc.weapon = WP_DIRTGUN;
    cc.deformMode = 2;
    SG_IssueCC(p, &cc, 0);
    p->cs.deformSize = 15;
    p->entity->thinkSG(p->entity);
    EXPECT_EQ(p->entity->s.packed, 2 * 256 + 15);
}

TEST_F(Kinds, DeadBodyShowsItsDeathOrGoes) {
    struct {
        int32_t deathAnim;
        bool stays;
        uint8_t arms, legs;
    } cases[] = {{0, false, 0, 0}, {3, true, 6, 15}, {5, true, 10, 19}, {9, true, 77, 78}};
    for (const auto &c : cases) {
        sgClient_t *p = Join(0, TEAM_BLUE);
        sgEntity_t *body = p->entity;
        body->thinkSG(body);
        body->s.anim2 = 77;  // what a kind above 8 leaves
        body->s.anim1 = 78;
        body->s.animTime1 = 0.5f;
        p->cs.moveType = CS_DEAD;
        p->deathAnim = c.deathAnim;
        body->thinkSG(body);
        EXPECT_EQ(body->s.inUse != 0, c.stays) << c.deathAnim;
        if (!c.stays) continue;
        EXPECT_EQ(body->s.weapon, WP_NONEGUN);
        EXPECT_EQ(body->s.anim2, c.arms) << c.deathAnim;
        EXPECT_EQ(body->s.anim1, c.legs) << c.deathAnim;
        EXPECT_EQ(body->s.animTime1, 0.0f);
    }
}

}  // namespace
