// World materials: the keyword parser, the packed upload block, rules names.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "game/g_materials.h"
#include "tests/game/fake_engine.h"

namespace {

struct MaterialTest : testing::Test {
    void SetUp() override { fake::Install(); }
    void TearDown() override { fake::Uninstall(); }
};

void ExpectVec(const float *v, std::initializer_list<float> expected, const char *what) {
    int i = 0;
    for (float e : expected) EXPECT_EQ(v[i++], e) << what << " [" << i - 1 << "]";
}

TEST_F(MaterialTest, BaseColourAloneKeepsEveryOtherDefault) {
    worldMaterial_t wm;
    EXPECT_EQ(G_ParseWorldMaterial(&wm, "wm_baseColor 10 20 30\n", "game/c_materials/world/red.material", 0), 1);
    ExpectVec(wm.baseColor, {10, 20, 30}, "baseColor");
    ExpectVec(wm.stScale, {1, 1}, "stScale");
    ExpectVec(wm.colorNoiseScale, {0, 0, 0}, "colorNoiseScale");
    EXPECT_EQ(wm.subStrenght, 1.0f);
    EXPECT_EQ(wm.material, fake::materialHandle);
    ASSERT_EQ(fake::registered.size(), 1u);
    EXPECT_EQ(fake::registered[0], "game/c_materials/world/red.material") << "the file is the renderer material";
    EXPECT_STREQ(wm.name, "game/c_materials/world/red.material");
    EXPECT_STREQ(wm.file, "game/c_materials/world/red.material");
    EXPECT_TRUE(fake::errors.empty());
}

TEST_F(MaterialTest, NonFiniteValuesKeepTheirDefaultsAndColoursStayInAByte) {
    worldMaterial_t wm;
    G_ParseWorldMaterial(&wm,
                         "wm_stScale nan 2\n"
                         "wm_baseColor 1e999 -40 300\n"
                         "wm_colorNoiseScale inf -inf 0.5\n"
                         "wm_subStrenght nan\n",
                         "m.material", 1);
    ExpectVec(wm.stScale, {1, 2}, "stScale");
    ExpectVec(wm.baseColor, {255, 0, 255}, "baseColor");
    ExpectVec(wm.colorNoiseScale, {0, 0, 0.5f}, "colorNoiseScale");
    EXPECT_EQ(wm.subStrenght, 1.0f);
    EXPECT_TRUE(fake::errors.empty());
}

TEST_F(MaterialTest, EveryKeyAndTheRendererKeysAroundThem) {
    const char *text =
        "// a renderer material with the world keys among its own\n"
        "texture game/c_textures/dirt.tga wm_name Skipped\n"
        "  wm_name \"Wet Dirt\" trailing words\n"
        "wm_stScale 0.5 0.25\n"
        "wm_colorNoiseScale 1 2 3 wm_subStrenght 9\n"
        "wm_subStrenght\n"
        "2.5\n"
        "wm_baseColor 7\n";
    worldMaterial_t wm;
    G_ParseWorldMaterial(&wm, text, "wet.material", 1);
    EXPECT_STREQ(wm.name, "Wet Dirt");
    ExpectVec(wm.stScale, {0.5f, 0.25f}, "stScale");
    ExpectVec(wm.colorNoiseScale, {1, 2, 3}, "colorNoiseScale");
    // Values never cross a line end: a missing one reads 0, and what stands on the
    // next line is a key again (2.5 is not one, so its line is skipped).
    EXPECT_EQ(wm.subStrenght, 0.0f);
    ExpectVec(wm.baseColor, {7, 0, 0}, "baseColor");
    EXPECT_EQ(wm.material, 0) << "not registered";
    EXPECT_TRUE(fake::registered.empty());
}

TEST_F(MaterialTest, UnknownKeyIsSavedOffWithFileAndLineAndParsingGoesOn) {
    const char *text = "wm_name Rock\n\n// comment\n\n\n\n  wm_shininess 4\nwm_subStrenght 0.5\n";
    worldMaterial_t wm;
    G_ParseWorldMaterial(&wm, text, "rock.material", 1);
    ASSERT_EQ(fake::errors.size(), 1u);
    EXPECT_EQ(fake::errors[0].level, ER_SAVEOFF);
    EXPECT_EQ(fake::errors[0].text, "rock.material(7): Unknown token \"wm_shininess\"");
    EXPECT_STREQ(wm.name, "Rock");
    EXPECT_EQ(wm.subStrenght, 0.5f);
}

TEST_F(MaterialTest, LongNamesAreCutAndHostileBytesEndTheParse) {
    const std::string longName(600, 'n');
    worldMaterial_t wm;
    G_ParseWorldMaterial(&wm, ("wm_name " + longName + "\n\x01\x02 wm_name x\n\"").c_str(), longName.c_str(), 1);
    EXPECT_EQ(strlen(wm.file), 255u);
    EXPECT_EQ(std::string(wm.name), longName.substr(0, 255));
    G_ParseWorldMaterial(&wm, nullptr, "none.material", 1);
    EXPECT_STREQ(wm.name, "none.material");
}

TEST_F(MaterialTest, ShippedMaterialsParseCleanly) {
    const std::filesystem::path dir = std::filesystem::path(HM_SOURCE_DIR) / "data" / "game" / "c_materials" / "world";
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        const std::string path = "game/c_materials/world/" + entry.path().filename().string();
        count++;
        std::ifstream in(entry.path());
        ASSERT_TRUE(in) << path;
        std::stringstream text;
        text << in.rdbuf();
        worldMaterial_t wm;
        G_ParseWorldMaterial(&wm, text.str().c_str(), path.c_str(), 0);
        EXPECT_TRUE(fake::errors.empty()) << path;
        EXPECT_STRNE(wm.name, path.c_str()) << path << ": names itself";
        EXPECT_GT(wm.subStrenght, 0.0f) << path;
    }
    EXPECT_GT(count, 0);
}

TEST_F(MaterialTest, UploadPacksTheDrawingFieldsInMatterOrder) {
    auto wms = std::make_unique<worldMaterial_t[]>(WORLD_MATERIALS);
    for (int i = 0; i < WORLD_MATERIALS; i++) G_SetWorldMaterialDefaults(&wms[i]);
    G_UploadWorldMaterials(wms.get());
    ASSERT_EQ(fake::uploaded.size(), 9216u);
    for (int i = 0; i < WORLD_MATERIALS; i++) {
        int32_t handle;
        float f[8];
        memcpy(&handle, &fake::uploaded[36 * i], 4);
        memcpy(f, &fake::uploaded[36 * i + 4], 32);
        ASSERT_EQ(handle, 0) << i;
        const float defaults[8] = {1, 1, 0, 0, 0, 255, 255, 255};
        for (int k = 0; k < 8; k++) ASSERT_EQ(f[k], defaults[k]) << i << " " << k;
    }

    wms[255].material = 99;
    wms[255].baseColor[2] = 12;
    wms[255].subStrenght = 3;  // not drawn: stays in the module
    G_UploadWorldMaterials(wms.get());
    int32_t handle;
    float blue;
    memcpy(&handle, &fake::uploaded[36 * 255], 4);
    memcpy(&blue, &fake::uploaded[36 * 255 + 32], 4);
    EXPECT_EQ(handle, 99);
    EXPECT_EQ(blue, 12.0f);
}

TEST_F(MaterialTest, RulesNamesInAnyCase) {
    struct {
        const char *name;
        int32_t rules;
        bool error;
    } const cases[] = {
        {"dm", 0, false}, {"Death_Match", 0, false}, {"CR", 1, false},       {"crystal_rounds", 1, false},
        {"f", 2, false},  {"Forge", 2, false},       {"cc", 3, false},       {"CAPTURE_CRYSTAL", 3, false},
        {"ctf", 0, true}, {"", 0, true},             {"DM ", 0, true},       {nullptr, 0, true},
    };
    for (const auto &c : cases) {
        fake::errors.clear();
        EXPECT_EQ(G_GetRules(c.name), c.rules) << (c.name ? c.name : "null");
        ASSERT_EQ(fake::errors.size(), c.error ? 1u : 0u) << (c.name ? c.name : "null");
        if (c.error) {
            EXPECT_EQ(fake::errors[0].level, ER_ERROR);
            EXPECT_EQ(fake::errors[0].text, "Unknown rules, using Death Match");
        }
    }
}

}  // namespace
