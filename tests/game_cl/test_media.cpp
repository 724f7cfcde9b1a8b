// Media registration against the stand-in engine: what the wrappers report when a
// file is missing, where the common handles land, the preload list, and that the
// checked-in data set holds every file that a world's registration asks for.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "game_cl/cg_actions.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_model.h"
#include "game_cl/cg_particle_class.h"
#include "tests/game/fake_engine.h"

namespace {

struct Media : testing::Test {
    void SetUp() override {
        fake::Install();
        fake::registerFromFiles = true;
        memset(&cg, 0, sizeof cg);
        CG_UnloadModel(0);
        CG_LoadDefaultModel();
        CG_LoadDefaultParticle();
        CG_ShutdownActionScripts();
    }
    void TearDown() override { fake::Uninstall(); }

    // The reports, without the empty one by which each loaded model shows what it collected.
    static std::vector<fake::error_t> Reports() {
        std::vector<fake::error_t> out;
        for (const fake::error_t &e : fake::errors)
            if (e.level != ER_SHOWSAVEOFF || !e.text.empty()) out.push_back(e);
        return out;
    }

    static std::vector<fake::error_t> ErrorsAt(int level) {
        std::vector<fake::error_t> out;
        for (const fake::error_t &e : fake::errors)
            if (e.level == level) out.push_back(e);
        return out;
    }
};

// Every file of the checked-in data set, by its path below data/.
void LoadDataSet() {
    const std::filesystem::path root = std::filesystem::path(HM_SOURCE_DIR) / "data";
    for (const auto &entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        fake::files[std::filesystem::relative(entry.path(), root).generic_string()] = bytes.str();
    }
}

TEST_F(Media, AMissingFileIsReportedByItsWrapperOrReturnsZeroQuietly) {
    struct wrapperCase_t {
        int32_t (*reg)(const char *);
        std::vector<fake::error_t> errors;  // for the path "missing"
    };
    const wrapperCase_t cases[] = {
        {CG_RegisterMaterial, {{ER_DROP, "CG_RegisterMaterial: Could not register material \"missing\""}}},
        {CG_RegisterTexture, {{ER_DROP, "CG_RegisterTexture: Could not register texture \"missing\""}}},
        {CG_RegisterTextureNoMip, {{ER_DROP, "CG_RegisterTextureNoMip: Could not register texture \"missing\""}}},
        {CG_RegisterTextureCube,
         {{ER_DROP, "CG_RegisterTextureCube: Could not register texture cube \"missing\""}}},
        {CG_RegisterLOD, {{ER_DROP, "CG_RegisterLOD: Could not register LOD \"missing\""}}},
        {CG_RegisterFont, {{ER_DROP, "CG_RegisterFont: Could not register font \"missing\""}}},
        {CG_RegisterModel,
         {{ER_SAVEOFF, "CG_RegisterModel: Couldn't open file \"missing\""},
          {ER_SHOWSAVEOFF, ""},
          {ER_DROP, "CG_RegisterModel: Could not register model \"missing\""}}},
        {CG_RegisterParticle,
         {{ER_ERROR, "CG_ReloadParticle: Could not open file \"missing\""},
          {ER_DROP, "CG_RegisterParticle: Could not register particle \"missing\""}}},
        {CG_RegisterActionScript, {{ER_ERROR, "RegisterActionScript: Could not open file \"missing\""}}},
        {CG_RegisterSafeTexture, {}},
        {CG_RegisterSound, {}},
    };
    for (const wrapperCase_t &c : cases) {
        fake::errors.clear();
        EXPECT_EQ(c.reg("missing"), 0);
        EXPECT_EQ(fake::errors, c.errors);
    }
    // A file that is there gives the same non-zero handle each time, quietly (a
    // text file read shows its collected messages: none; a model definition needs
    // one level of detail).
    fake::files["there"] = "";
    fake::files["there.model"] = "lod 0 there\n";
    fake::errors.clear();
    for (const wrapperCase_t &c : cases) {
        const char *path = c.reg == CG_RegisterModel ? "there.model" : "there";
        const int32_t first = c.reg(path);
        EXPECT_NE(first, 0);
        EXPECT_EQ(c.reg(path), first);
    }
    for (const fake::error_t &e : fake::errors) EXPECT_EQ(e, (fake::error_t{ER_SHOWSAVEOFF, ""}));
}

TEST_F(Media, CommonHandlesLandInTheirSlotsAndTheUnusedSlotsStayZero) {
    LoadDataSet();
    CG_RegisterMedia();
    EXPECT_EQ(fake::beganFrames, 7) << "a loading screen before each of the seven groups";
    ASSERT_TRUE(fake::errors.empty()) << fake::errors.size() << " errors, first: " << fake::errors[0].text;
    // The handle of a path as the stand-in renderer numbered it.
    auto handle = [](const char *kind, const std::string &path) -> int32_t {
        const std::vector<std::string> &names = fake::registeredByKind[kind];
        for (size_t i = 0; i < names.size(); i++)
            if (names[i] == path) return static_cast<int32_t>(i + 1);
        return -1;
    };
    struct slotCase_t {
        int32_t slot;
        const char *kind, *path;
    };
    const slotCase_t cases[] = {
        {CGM_SMALL_FONT, "font", "game/base/small.font"},
        {CGM_CENTER_FONT, "font", "game/base/center.font"},
        {CGM_WHITE, "material", "game/c_materials/white.material"},
        {CGM_BLOOD_STAIN + 7, "material", "game/c_materials/blood_stain_7.material"},
        {CGM_SLIME_STAIN + 2, "material", "game/c_materials/slime_stain_2.material"},
        {CGM_METEOR, "material", "game/c_materials/meteor.material"},
        {CGM_IMPACT_FLOWER, "material", "game/c_materials/railgun_impact_flower.material"},
        {CGM_ICON_CRYSTAL, "material", "game/hud/icon_crystal.material"},
        {CGM_HUD_LOGO_RED, "material", "game/hud/logo_red.material"},
        {CGM_ICON_HEALTH, "material", "game/hud/icon_health.material"},
        {CGM_ICON_WEAPON + 0, "material", "game/hud/icon_mini.material"},
        {CGM_ICON_WEAPON + 4, "material", "game/hud/icon_dirt.material"},
        {CGM_ROUNDS, "material", "game/hud/rounds.material"},
        {CGM_HIT_BACK, "material", "game/c_materials/hit_back.material"},
        {CGM_RADAR_DEAD, "material", "game/hud/radar_dead.material"},
        {CGM_BOTTOM_HUD, "material", "game/hud/bottom_hud.material"},
        {CGM_FLASH_COOKIE, "texture", "game/c_textures/flash_cookie.tga"},
        {CGM_DRONE_SPOT_RED, "texture", "game/e_drone/spot_team_red.tga"},
        {CGM_ANNOUNCER, "sound", "game/c_sounds/announcer/blue_lead.sound"},
        {CGM_ANNOUNCER + 9, "sound", "game/c_sounds/announcer/team_crystal.sound"},
        {CGM_NOT_ALONE, "sound", "game/c_sounds/not_alone.sound"},
    };
    for (const slotCase_t &c : cases) EXPECT_EQ(cgMedia.handles[c.slot], handle(c.kind, c.path)) << c.path;
    for (int32_t slot = 0; slot < CG_MEDIA_SLOTS; slot++) {
        const bool unused = slot == 42 || slot == 48 || slot == 72 || slot == 73;
        EXPECT_EQ(cgMedia.handles[slot] == 0, unused) << "slot " << slot;
    }
    EXPECT_TRUE(fake::Printed("\xA4" "08Register media..."));
    EXPECT_TRUE(fake::Printed("\xA4" "08Register all media in "));
}

TEST_F(Media, EveryPathAWorldRegistersHasItsFileInTheDataSet) {
    LoadDataSet();
    CG_RegisterMedia();
    CG_RegisterWeapons();
    CG_RegisterEntities();
    for (int32_t team = 0; team < 2; team++) {
        EXPECT_NE(CG_GetPlayerQModel(team), 0);
        EXPECT_NE(CG_GetArmQModel(team), 0);
    }
    // Failures of the checking wrappers are reported; the quiet ones (sounds) are
    // found among the requests.
    for (const fake::error_t &e : Reports()) {
        ADD_FAILURE() << e.level << ": " << e.text;
    }
    for (const std::string &r : fake::registrations) {
        const std::string path = r.substr(r.find(' ') + 1);
        EXPECT_TRUE(fake::files.count(path)) << "no file for " << r;
    }
    // Every path that a model definition names is there too.
    for (const auto &[path, text] : fake::files) {
        if (!path.ends_with(".model")) continue;
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream words(line);
            std::string keyword, a, b;
            words >> keyword >> a >> b;
            const std::string named = keyword == "model" ? a : keyword == "lod" || keyword == "material" ? b : "";
            if (!named.empty()) {
                EXPECT_TRUE(fake::files.count(named)) << path << " names " << named;
            }
        }
    }
}

TEST_F(Media, APreloadListRegistersItsEntriesAndReportsAnUnknownWordOnce) {
    fake::files["reg.txt"] =
        "// preload\nmaterial m.material\nsound s.sound\nbogus\n"
        "actionScript a.action\n\n  particle p.particle\n";
    for (const char *f : {"m.material", "s.sound", "a.action"}) fake::files[f] = "x";
    fake::files["p.particle"] = "maxTime 1";
    CG_RegisterRegTXT("reg.txt");
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{{ER_ERROR, "\"reg.txt\": Unknown token \"bogus\""},
                                                         {ER_SHOWSAVEOFF, ""}}));
    EXPECT_EQ(fake::registrations, (std::vector<std::string>{"material m.material", "sound s.sound"}));
    EXPECT_EQ(CG_GetNumParticles(), 2) << "the placeholder class and p.particle";
    fake::errors.clear();
    EXPECT_EQ(CG_RegisterActionScript("a.action"), CG_RegisterActionScript("a.action"));
    EXPECT_TRUE(fake::errors.empty());
}

TEST_F(Media, AMissingPreloadListIsOnlyADeveloperWarning) {
    CG_RegisterRegTXT("game/reg/reg.txt");
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{
                                {ER_DEVWARNING, "G_RegisterRegTXT: Could not open \"game/reg/reg.txt\""}}));
    EXPECT_TRUE(fake::registrations.empty());
}

TEST_F(Media, WeaponAndEntityMediaFillTheirRecordsAndRefuseNumbersOutOfRange) {
    LoadDataSet();
    CG_RegisterWeapons();
    CG_RegisterEntities();
    // What each weapon has and lacks.
    const weaponMedia_t &rail = *CG_WeaponMedia(WP_RAILGUN);
    EXPECT_NE(rail.flowerViewMaterial, 0);
    EXPECT_EQ(rail.stickViewMaterial, 0);
    EXPECT_EQ(rail.gunCamera, 1);
    EXPECT_EQ(rail.numBulletMarks, 1);
    EXPECT_FLOAT_EQ(rail.bulletMarks[0].size, 0.5f);
    EXPECT_NE(CG_WeaponMedia(WP_GRENGUN)->projectileModel, 0);
    EXPECT_EQ(CG_WeaponMedia(WP_DIRTGUN)->numBulletMarks, 0);
    EXPECT_NE(g_dirtMat, 0);
    EXPECT_STREQ(g_dirtDeformNames[DIRT_PLATFORM], "BUILD PLATFORM");
    const weaponMedia_t none{};
    EXPECT_EQ(memcmp(CG_WeaponMedia(WP_NONEGUN), &none, sizeof none), 0);
    EXPECT_EQ(CG_EntityMedia(ET_ITEM)->numModels, ITEM_KIND_COUNT);
    EXPECT_EQ(CG_EntityMedia(ET_GIB)->drawingType, DT_STATIC);
    EXPECT_NE(CG_EntityMedia(ET_RAIN_SPARK)->trailMaterial, 0);
    EXPECT_EQ(CG_EntityMedia(ET_TRAIL_RAILGUN_BLUE)->drawingType, DT_TRAIL);
    EXPECT_FLOAT_EQ(CG_EntityMedia(ET_MUSHROOM)->offset[1], -0.02f);
    ASSERT_TRUE(Reports().empty());
    // Numbers from the server index nothing outside the tables.
    for (int32_t weapon : {-1, int32_t{WEAPON_COUNT}, 255}) EXPECT_EQ(CG_WeaponMedia(weapon), nullptr);
    for (int32_t type : {-1, int32_t{ET_COUNT}, 1023}) EXPECT_EQ(CG_EntityMedia(type), nullptr);
    EXPECT_EQ(CG_GetPlayerQModel(2), 0);
    EXPECT_EQ(CG_GetArmQModel(-1), 0);
    EXPECT_EQ(Reports(), (std::vector<fake::error_t>{{ER_WARNING, "CG_GetPlayerQModel: Bad playerQMod 2"},
                                                    {ER_WARNING, "CG_GetArmQModel: Bad armQMod -1"}}));
}

TEST_F(Media, ABulletMarkPastTheTableIsReportedAndLeavesItAsItWas) {
    fake::files["mark.material"] = "x";
    weaponMedia_t media{};
    for (int i = 0; i < MAX_BULLET_MARKS; i++) CG_RegisterBulletMark(&media, "mark.material", 0.1f * i);
    ASSERT_TRUE(fake::errors.empty());
    CG_RegisterBulletMark(&media, "mark.material", 9.0f);
    EXPECT_EQ(media.numBulletMarks, MAX_BULLET_MARKS);
    EXPECT_FLOAT_EQ(media.bulletMarks[MAX_BULLET_MARKS - 1].size, 0.1f * (MAX_BULLET_MARKS - 1));
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{{ER_FATAL, "G_RegisterBulletMark: MAX_BULLET_MARKS"}}));
}

}  // namespace
