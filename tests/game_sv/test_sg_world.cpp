// World scripts: parsed fields and their defaults, refused scripts, world tags and
// the world info string handed to the engine.
#include "tests/game_sv/sg_fixture.h"

namespace sgtest {
namespace {

bool Parse(const std::string &text) {
    fake::files["w.world"] = text;
    return SG_ParseWorldScript("w.world");
}

TEST_F(SgTest, AScriptWithOnlyMatterTakesTheDefaults) {
    ASSERT_TRUE(Parse("matter planet.vo2\n"));
    const sgWorld_t &w = sg.world;
    EXPECT_STREQ(w.matter, "planet.vo2");
    EXPECT_STREQ(w.path, "w.world");
    EXPECT_EQ(w.rules, RULES_CRYSTAL_ROUNDS);
    EXPECT_EQ(w.maxPlayers, 8);
    EXPECT_EQ(w.spaceAltitude, 80.0f);
    EXPECT_EQ(w.coreAltitude, 5.0f);
    EXPECT_EQ(w.spectatorPos[0], 84.0f);
    EXPECT_EQ(w.spectatorPos[1], 0.0f);
    EXPECT_EQ(w.spectatorAngles[1], 90.0f);
    EXPECT_EQ(w.maxItems, 4);
    EXPECT_EQ(w.itemSpawnTime, 1000);
    EXPECT_EQ(w.itemBerserkAmount, 20000);
    EXPECT_EQ(w.ccSpawnRadius, 14.0f);
    EXPECT_TRUE(fake::errors.empty());
}

TEST_F(SgTest, ValuesAreReadAndBounded) {
    struct row_t {
        const char *line;
        float (*read)();
        float expected;
    } rows[] = {
        {"itemBerserkAmount 500", [] { return float(sg.world.itemBerserkAmount); }, 200000},
        {"itemBerserkAmount 3000000", [] { return float(sg.world.itemBerserkAmount); }, 200000},
        {"itemBerserkAmount 7", [] { return float(sg.world.itemBerserkAmount); }, 7000},
        {"spark_rain_interval 3", [] { return float(sg.world.sparkRainInterval); }, 10},
        {"spark_rain_interval 0", [] { return float(sg.world.sparkRainInterval); }, 0},
        {"musicVolume 2", [] { return sg.world.musicVolume; }, 1},
        {"musicVolume 0.5", [] { return sg.world.musicVolume; }, 0.5f},
        {"rules dm", [] { return float(sg.world.rules); }, RULES_DEATH_MATCH},
        {"maxPlayers", [] { return float(sg.world.maxPlayers); }, 0},  // a missing value reads 0
        {"spawnRedPos 1 2 3", [] { return sg.world.spawnRedPos[2]; }, 3},
        {"crSpawnBlueRadius 4", [] { return sg.world.spawnBlueRadius; }, 4},
        {"deathFloor -30", [] { return sg.world.deathFloor ? sg.world.deathFloorHeight : 1.0f; }, -30},
        {"fogColor 1 2 3 4", [] { return sg.world.fogColor[3]; }, 4},
        {"spectatorPos 0 0 0", [] { return sg.world.spectatorPos[0]; }, 84},
        {"linearGravity", [] { return float(sg.world.linearGravity); }, 1},
        {"minigun {\nitemAmmo 9999\ntickMax 9999\nspawnWeapon\n}",
         [] { return float(sg.world.weapons[WP_MINIGUN].itemAmmo + sg.world.weapons[WP_MINIGUN].tickMax); }, 480},
        {"dirtgun {\ntickMax 9999\n}", [] { return float(sg.world.weapons[WP_DIRTGUN].tickMax); }, 50},
        {"description a long text\nname Ball", [] { return float(strlen(sg.world.name)); }, 4},
    };
    for (const row_t &r : rows) {
        ASSERT_TRUE(Parse(std::string("matter m.vo2\n") + r.line + "\n")) << r.line;
        EXPECT_EQ(r.read(), r.expected) << r.line;
    }
}

TEST_F(SgTest, BadScriptsAreRefusedWithTheReason) {
    std::string manyTags = "worldTags {\n";
    for (int i = 0; i < 1025; i++) manyTags += "t" + std::to_string(i) + " 1 2 3 0 0 0 0 0 0\n";
    manyTags += "}\n";
    const struct {
        std::string text;
        const char *reason;
    } rows[] = {
        {manyTags, "Max 1024 world tags"},
        {"worldTags {\n" + std::string(64, 'x') + " 1 2 3\n}\n", "WorldTags can max be 63 chars"},
        {"worldTags {\na 1 2 3\na 4 5 6\n}\n", "worldTag \"a\" already taken"},
        {"worldTags\na 1 2 3\n", "Expected { not found after worldTags"},
        {"worldTags {\na 1 2 3\n", "File ended without closing worldTags with }"},
        {"worldMaterials {\n256 x.material\n}\n", "worldMaterials num must be in range 0 to 255"},
        {"worldMaterials {\n-1 x.material\n}\n", "worldMaterials num must be in range 0 to 255"},
        {"worldMaterials {\n3 none.material\n}\n", "Could not open file \"none.material\""},
        {"worldMaterials {\n", "File ended without closing worldMaterials with }"},
        {"shotgun\n", "Expected { not found after mini/shot/gren/rail/dirt-gun"},
        {"railgun {\nitemAmmo 3\n", "File ended without closing with }"},
        {"}\n", "Bad closing bracket"},
        // An ignored key's braces are top-level words: the closing one ends the parse.
        {"serverActions {\n say hello\n}\n", "Bad closing bracket"},
    };
    for (const auto &r : rows) {
        fake::errors.clear();
        EXPECT_FALSE(Parse("matter m.vo2\n" + r.text)) << r.reason;
        EXPECT_TRUE(fake::Reported(r.reason)) << r.reason;
    }
    fake::errors.clear();
    EXPECT_FALSE(SG_ParseWorldScript("none.world"));
    EXPECT_TRUE(fake::Reported("G_ParseWorldScript: Could not open file \"none.world\""));
}

TEST_F(SgTest, UnknownWordsAreReportedWithLineAndSkipped) {
    ASSERT_TRUE(Parse("matter m.vo2\n\nbogus 1\nname Ok\n"));
    EXPECT_TRUE(fake::Reported("\"w.world\"(3): Unknown token \"bogus\""));
    EXPECT_STREQ(sg.world.name, "Ok");
}

// A dedicated server has no client game to show what its material files' parse saved
// off: the world load shows it once its materials are read, whether they all loaded or not.
TEST_F(SgTest, MaterialMessagesAreShownOnceTheMaterialsAreRead) {
    fake::files["mat/odd.material"] = "wm_stScale 2 2\nwm_shine 1\n";
    const fake::error_t saved{ER_SAVEOFF, "mat/odd.material(2): Unknown token \"wm_shine\""};
    const fake::error_t show{ER_SHOWSAVEOFF, ""};
    const struct {
        const char *materials;
        bool loads;
        std::vector<fake::error_t> errors;
    } rows[] = {
        {"1 mat/odd.material\n}\n", true, {saved, show}},
        {"1 mat/odd.material\n2 none.material\n}\n", false,
         {saved, {ER_ERROR, "\"w.world\"(4): Could not open file \"none.material\""}, show}},
    };
    for (const auto &r : rows) {
        fake::errors.clear();
        EXPECT_EQ(Parse(std::string("matter m.vo2\nworldMaterials {\n") + r.materials), r.loads) << r.materials;
        EXPECT_EQ(fake::errors, r.errors) << r.materials;
    }
}

TEST_F(SgTest, TagsAreFoundByName) {
    ASSERT_TRUE(Parse("matter m.vo2\nworldTags {\n spawn_crystal 0 60 0 1 2 3 4 5 6\n item_life1 60 0 0\n}\n"));
    const worldTag_t *t = SG_GetWorldTag("spawn_crystal");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->pos[1], 60.0f);
    EXPECT_EQ(t->params[5], 6.0f);
    EXPECT_NEAR(t->ellipticAxis[4], 1.0f, 1e-6f) << "the frame's up row points away from the centre";
    EXPECT_NE(SG_GetWorldTag("item_life1"), nullptr);
    EXPECT_EQ(SG_GetWorldTag("item_life2"), nullptr);
}

TEST_F(SgTest, WorldInfoStringGolden) {
    fake::files["mat/dirt.material"] = "wm_baseColor 1 2 3\n";
    ASSERT_TRUE(Parse("matter m.vo2\nname \"Blue Ball\"\nskyBox sky/s\nfogColor 0.5 0.25 1 1\nspark_rain_interval 12\n"
                      "worldMaterials {\n 2 mat/dirt.material\n}\nworldTags {\n meteor_rain_dir 1 0 0\n}\n"));
    char buffer[MAX_INFO_STRING] = "";
    SG_UpdateWorldInfoString(buffer, &sg.world);
    const std::string expected =
        "path \"w.world\";name \"Blue Ball\";sky_path \"sky/s\";sky_speed \"1.0000 0.0000 0.0000\";image_path \"\";"
        "spec_pos \"84.0000 0.0000 0.0000\";space_alt \"80.0000\";core_alt \"5.0000\";"
        "space_box \"0.0000 0.0000 0.0000\";fog_color \"0.5000 0.2500 1.0000\";fog_radius \"0.0000\";"
        "fog_sight \"0.0000\";fog_lod_path \"\";music_path \"\";music_volume \"1.0000\";spark_rain \"12\";"
        "linear_gravity \"0\";meteor_dir \"1.0000 0.0000 0.0000\";wm2 \"mat/dirt.material\";";
    EXPECT_EQ(std::string(buffer), expected);
    ASSERT_FALSE(fake::worldInfo.empty());
    EXPECT_EQ(fake::worldInfo.back(), expected);
}

TEST_F(SgTest, WorldInfoStringStopsBeforeItsLimitAndWarnsOnce) {
    std::string script = "matter m.vo2\nworldMaterials {\n";
    for (int i = 0; i < 60; i++) {
        const std::string file = "materials/" + std::string(40, 'a') + std::to_string(i) + ".material";
        fake::files[file] = "wm_baseColor 1 1 1\n";
        script += std::to_string(i) + " " + file + "\n";
    }
    ASSERT_TRUE(Parse(script + "}\n"));
    char buffer[MAX_INFO_STRING] = "";
    SG_UpdateWorldInfoString(buffer, &sg.world);
    SG_UpdateWorldInfoString(buffer, &sg.world);
    EXPECT_LE(strlen(buffer), static_cast<size_t>(MAX_INFO_STRING - 200));
    EXPECT_NE(std::string(buffer).find("wm0 "), std::string::npos);
    EXPECT_EQ(std::string(buffer).find("wm59 "), std::string::npos);
    int warnings = 0;
    for (const auto &e : fake::errors) warnings += e.text.find("world info string full") != std::string::npos;
    EXPECT_EQ(warnings, 1);
}

}  // namespace
}  // namespace sgtest
