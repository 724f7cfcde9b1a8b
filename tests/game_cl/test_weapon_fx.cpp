// The weapons' client halves: muzzle flashes by weapon, tag and age, and the dirt
// gun's beam, with the mode number from the server checked before it is used.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "game/g_main.h"
#include "game/g_soup.h"
#include "game/g_weapon.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_weapon_view.h"
#include "tests/game/fake_engine.h"

namespace {

struct WeaponFx : testing::Test {
    void SetUp() override {
        fake::Install();
        fake::flatWorld = true;
        qgame = fake::qg;
        G_DefineWeapons();
        G_SetCG();
        CG_RegisterVariables();
        fake::Set("cg_muzzleFadeTime", "100");
        fake::Set("cg_muzzleScale", "1");
        static int visible;
        g_soupViewPVS = &visible;
        for (weaponMedia_t &m : g_weaponMedia) {
            m = weaponMedia_t{};
            m.flowerMaterial = 11, m.stickMaterial = 12, m.flowerViewMaterial = 13, m.stickViewMaterial = 14;
        }
        g_weaponMedia[WP_RAILGUN].stickMaterial = g_weaponMedia[WP_RAILGUN].stickViewMaterial = 0;
    }
    void TearDown() override {
        g_soupViewPVS = nullptr;
        G_SetUndefined();
        fake::Uninstall();
    }

    static tagState_t Tag(const char *name) {
        tagState_t t{};
        Com_strncpyz(t.name, name, sizeof t.name);
        t.axis[0] = t.axis[4] = t.axis[8] = 1.0f;
        return t;
    }
    static surface_t Added(size_t i) {
        surface_t s;
        memcpy(&s, fake::surfaces[i].data(), sizeof s);
        return s;
    }
};

TEST_F(WeaponFx, MuzzleFlashesDrawTheWeaponsMaterialsAtTheirTagsWhileTheShotIsFresh) {
    struct flashCase_t {
        weaponMuzzleFlash_t flash;
        std::vector<const char *> tags;
        uint32_t age;  // ms since the shot
        uint8_t firstPerson;
        std::vector<int32_t> materials;  // of the surfaces added, in order
        std::vector<fake::error_t> errors;
    };
    const flashCase_t cases[] = {
        {Minigun_DrawMuzzleFlash, {"TAG_muzzle"}, 10, 0, {11, 12}, {}},
        {Minigun_DrawMuzzleFlash, {"TAG_muzzle"}, 10, 1, {13, 14}, {}},
        {Minigun_DrawMuzzleFlash, {"TAG_muzzle"}, 50, 0, {}, {}},  // the minigun fades in half the time
        {Grengun_DrawMuzzleFlash, {"TAG_muzzle"}, 99, 0, {11, 12}, {}},
        {Grengun_DrawMuzzleFlash, {"TAG_muzzle"}, 100, 0, {}, {}},
        {Grengun_DrawMuzzleFlash, {"TAG_ammo"}, 10, 0, {}, {{ER_DEVWARNING, "Grengun_DrawMuzzleFlash: No TAG_muzzle"}}},
        {Minigun_DrawMuzzleFlash, {}, 10, 0, {}, {{ER_DEVWARNING, "Minigun_DrawMuzzleFlash: No TAG_muzzle"}}},
        {Railgun_DrawMuzzleFlash, {"TAG_muzzle"}, 10, 0, {11}, {}},
        {Shotgun_DrawMuzzleFlash, {"TAG_muzzle1", "TAG_muzzle2"}, 10, 0, {11, 12, 11, 12}, {}},
        {Meelgun_DrawMuzzleFlash, {"TAG_muzzle"}, 10, 0, {}, {}},
    };
    for (const flashCase_t &c : cases) {
        fake::surfaces.clear();
        fake::errors.clear();
        std::vector<tagState_t> tags;
        for (const char *t : c.tags) tags.push_back(Tag(t));
        c.flash(1, tags.data(), static_cast<int32_t>(tags.size()), static_cast<int32_t>(qgame.time - c.age), 0.0f,
                c.firstPerson);
        std::vector<int32_t> materials;
        for (size_t i = 0; i < fake::surfaces.size(); i++) materials.push_back(Added(i).material);
        EXPECT_EQ(materials, c.materials) << "age " << c.age;
        EXPECT_EQ(fake::errors, c.errors);
    }
}

TEST_F(WeaponFx, TheDirtGunDrawsItsBeamForAKnownModeAndReportsAnUnknownOne) {
    g_beamMat = 21;
    float view[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const float origin[3] = {0, 1, 0};
    weaponFrame_t frame{};
    frame.origin = origin;
    frame.eyeHeight = 1.3f;
    frame.viewAxes = view;
    frame.hologramAxes = view;
    frame.size = 10;
    for (int32_t mode : {-1, DIRT_DEFORM_MODES, 255}) {
        frame.mode = mode;
        fake::errors.clear();
        Dirtgun_DrawFrame(&frame);
        EXPECT_TRUE(fake::surfaces.empty());
        EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{
                                    {ER_DEVWARNING, "Dirtgun_DrawFrame: Unknown deform num " + std::to_string(mode)}}));
    }
    frame.mode = DIRT_BUILD;
    fake::errors.clear();
    Dirtgun_DrawFrame(&frame);
    ASSERT_EQ(fake::surfaces.size(), 1u) << "the beam (the mode's shape is not loaded here)";
    const surface_t beam = Added(0);
    EXPECT_EQ(beam.material, 21);
    EXPECT_EQ(beam.numVerts, 27);
    EXPECT_EQ(beam.numIndexes, 96);
    const auto *verts = static_cast<const drawVert_t *>(beam.verts);
    EXPECT_EQ(verts[0].rgba[3], 255);
    EXPECT_EQ(verts[2].rgba[3], 0) << "the ring at the hologram fades out";
    for (int i = 0; i < 96; i++) {
        const int32_t index = static_cast<const int32_t *>(beam.indexes)[i];
        EXPECT_TRUE(index >= 0 && index < 27);
    }
    EXPECT_TRUE(fake::errors.empty());
}

}  // namespace
