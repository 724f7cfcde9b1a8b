// Ground, random places, start points and the spawners, with a seeded generator
// on the test engine's analytic worlds.
#include <cmath>

#include "tests/game_sv/play_fixture.h"

namespace {

using Spawn = PlayFixture;

TEST_F(Spawn, GroundLiesBelowThePointOnFlatAndBallWorlds) {
    vec3_t out;
    const vec3_t above = {3, 7, -2};
    EXPECT_FLOAT_EQ(SG_GetGroundPosition(out, above, 0.5f), 1.0f);
    EXPECT_NEAR(out[0], 3, 1e-4);
    EXPECT_NEAR(out[1], 0.5f, 1e-4);

    fake::flatWorld = false;  // a ball of radius 50
    sg.flatGravity = 0;
    sg.world.spaceAltitude = 80;
    const vec3_t high = {0, 0, 70};
    EXPECT_NEAR(SG_GetGroundPosition(out, high, 1.0f), 1.0f, 1e-4);
    EXPECT_NEAR(out[2], 51, 1e-3);

    fake::worldRadius = 0;  // nothing to stand on: the snapped point, result 0
    fake::flatWorld = true;
    fake::floorY = -1000;
    sg.flatGravity = 1;
    const vec3_t odd = {1.04f, 2.06f, 0};
    EXPECT_EQ(SG_GetGroundPosition(out, odd, 0), 0.0f);
    EXPECT_NEAR(out[0], 1.0f, 1e-5);
    EXPECT_NEAR(out[1], 2.1f, 1e-5);
}

TEST_F(Spawn, RandomPlacesOfAFlatWorldStayInsideItsBox) {
    sg.world.spaceBox[0] = 6;
    sg.world.spaceBox[2] = 3;
    for (int i = 0; i < 50; i++) {
        vec3_t p;
        SG_RandomNoneSteepSurfaceSpawn(p, 0, 0.7f, nullptr, 0);
        EXPECT_LE(std::fabs(p[0]), 6.0f);
        EXPECT_LE(std::fabs(p[2]), 3.0f);
        EXPECT_NEAR(p[1], 0.0f, 1e-4);
    }
}

TEST_F(Spawn, CrystalRoundsPlayersStartAroundTheirTeamCentre) {
    sg.rules = RULES_CRYSTAL_ROUNDS;
    sg.world.spawnRedPos[0] = 10;
    sg.world.spawnRedRadius = 2;
    for (int i = 0; i < 20; i++) {
        vec3_t p;
        SG_GetPlayerSpawnPoint(p, TEAM_RED);
        EXPECT_LE(std::fabs(p[0] - 10), 2.0f);
        EXPECT_LE(std::fabs(p[2]), 2.0f);
    }
}

TEST_F(Spawn, CrystalPointWithoutTagsWarnsOnceAndLeavesTheOutputAlone) {
    sg.rules = RULES_CRYSTAL_ROUNDS;
    vec3_t p = {1, 2, 3};
    for (int i = 0; i < 3; i++) SG_GetCrystalSpawnPoint(p, TEAM_BLUE, 1);
    // A map without crystal tags keeps the server running: one warning, nothing that ends it.
    ASSERT_EQ(fake::errors.size(), 1u);
    EXPECT_EQ(fake::errors[0].level, ER_WARNING);
    EXPECT_NE(fake::errors[0].text.find("Could not find crystal spawn point"), std::string::npos);
    EXPECT_EQ(p[0], 1);

    sg.world.numTags = 1;  // one numbered tag: the draw finds it
    Com_strncpyz(sg.world.tags[0].name, "spawn_crystal7", SG_TAG_NAME_SIZE);
    sg.world.tags[0].hash = Com_GetNoobHash(sg.world.tags[0].name);
    sg.world.tags[0].pos[1] = 9;
    SG_GetCrystalSpawnPoint(p, TEAM_BLUE, 1);
    EXPECT_NEAR(p[1], 9, 0.011f);
    EXPECT_NEAR(p[0], 0, 0.011f);
}

TEST_F(Spawn, RandomItemKindsFollowTheWeights) {
    struct {
        float r;
        int32_t kind;
    } cases[] = {{0.0f, IT_LIFE}, {0.2303f, IT_LIFE}, {0.2305f, IT_ARMOR}, {0.5f, IT_BERSERK},
                 {0.99f, IT_AMMO_DIRTGUN}, {1.0f, IT_AMMO_DIRTGUN}};
    for (const auto &c : cases) EXPECT_EQ(SG_RandomItemKind(c.r), c.kind) << c.r;
}

TEST_F(Spawn, RandomItemsStopAtTheWorldsMaximumButTheClockRestarts) {
    sg.world.maxItems = 2;
    sg.world.itemSpawnTime = 1000;
    for (int i = 0; i < 40; i++) {
        Advance(1000);
        SG_SpawnRandomItem();
    }
    EXPECT_EQ(Count(ET_ITEM), 2);
    EXPECT_EQ(sg.lastRandomItem, static_cast<int32_t>(qgame.time));
    for (const sgEntity_t &e : sg.entities) {
        if (e.s.inUse && e.s.type == ET_ITEM) {
            EXPECT_EQ(e.randomSpawned, 1);
        }
    }
}

TEST_F(Spawn, ItemTimersHoldAcrossTheClockWrap) {
    sg.world.maxItems = 10;
    sg.world.itemSpawnTime = 1000;
    sg.world.numTags = 1;
    worldTag_t &tag = sg.world.tags[0];
    Com_strncpyz(tag.name, "item_armor0", SG_TAG_NAME_SIZE);
    tag.hash = Com_GetNoobHash(tag.name);
    tag.params[1] = 2;  // again every 2 s
    fake::qg.time = 0x7FFFFFFFu - 500;
    Refresh();
    SG_SpawnRandomItem();
    SG_SpawnStaticItem();
    ASSERT_EQ(Count(ET_ITEM), 2);
    SG_DeleteEntity(tag.item);
    Advance(999);  // across the wrap: not yet
    SG_SpawnRandomItem();
    SG_SpawnStaticItem();
    EXPECT_EQ(Count(ET_ITEM), 1);
    Advance(1001);
    SG_SpawnRandomItem();
    SG_SpawnStaticItem();
    EXPECT_EQ(Count(ET_ITEM), 3);
}

TEST_F(Spawn, DecorationSpawnersKeepTheirCountsInAnyMix) {
    sg.world.numStones = 3;
    sg.world.numBarrels = 1;
    for (int i = 0; i < 20; i++) {
        SG_SpawnStone();
        SG_SpawnBarrel();
    }
    EXPECT_EQ(Count(ET_STONE1) + Count(ET_STONE2) + Count(ET_STONE3), 3);
    EXPECT_EQ(Count(ET_BARREL), 1);
    sg.rules = RULES_FORGE;  // never in forge
    sg.world.numMushrooms = 2;
    SG_SpawnMushroom();
    EXPECT_EQ(Count(ET_MUSHROOM), 0);
}

TEST_F(Spawn, StaticItemTagsSpawnOnceOrAgainAfterTheirTime) {
    sg.world.numTags = 2;
    const char *names[2] = {"item_life0", "item_armor3"};
    for (int i = 0; i < 2; i++) {
        worldTag_t &t = sg.world.tags[i];
        Com_strncpyz(t.name, names[i], SG_TAG_NAME_SIZE);
        t.hash = Com_GetNoobHash(t.name);
        t.pos[0] = static_cast<float>(4 * i);
    }
    sg.world.tags[1].params[1] = 30;  // armour every 30 s
    SG_SpawnStaticItem();
    ASSERT_EQ(Count(ET_ITEM), 2);
    EXPECT_EQ(sg.world.tags[0].item->itemAmount, 10);  // a of 0 gives 10
    SG_DeleteEntity(sg.world.tags[0].item);
    SG_DeleteEntity(sg.world.tags[1].item);
    Advance(29000);
    SG_SpawnStaticItem();
    EXPECT_EQ(Count(ET_ITEM), 0);
    Advance(1000);
    SG_SpawnStaticItem();
    ASSERT_EQ(Count(ET_ITEM), 1);  // the life tag spawns once per map
    EXPECT_EQ(Find(ET_ITEM)->itemKind, IT_ARMOR);
}

}  // namespace
