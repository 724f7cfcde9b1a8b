// The first-person weapon view: where the gun is held, the grenade drum's count from
// the server's numbers, the gun camera, the muzzle light and the player's flashlight.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "game/g_main.h"
#include "game/g_soup.h"
#include "game/g_weapon.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_utils.h"
#include "game_cl/cg_weapon_view.h"
#include "tests/game/fake_engine.h"

namespace {

struct WeaponView : testing::Test {
    void SetUp() override {
        fake::Install();
        fake::flatWorld = true;
        qgame = fake::qg;
        memset(&cg, 0, sizeof cg);
        G_DefineWeapons();
        CG_RegisterVariables();
        for (weaponMedia_t &m : g_weaponMedia) m = weaponMedia_t{};
    }
    void TearDown() override { fake::Uninstall(); }

    static cgLight_t Light(size_t i) {
        cgLight_t l;
        memcpy(&l, fake::lights.at(i).data(), sizeof l);
        return l;
    }
};

TEST_F(WeaponView, WideViewsPullTheGunInAndBobbingIsBounded) {
    const vec3_t eye = {1, 2, 3};
    const float axis[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const float level[9] = {0, 0, 1, 1, 0, 0, 0, 1, 0};  // its second row along x
    fake::Set("cg_fov", "90");
    fake::Set("cg_gunX", "0.2");
    fake::Set("cg_gunY", "0.05");
    fake::Set("cg_gunZ", "0.3");
    struct placeCase_t {
        float fovY, bobDepth;
        vec3_t expected;
    } cases[] = {
        {60, 0, {1.2f, 2.05f, 3.3f}},            // narrow: cg_gunY as it is
        {70, 0, {1.2f, 2.005f, 3.3f}},           // wide: 0.045 pulled in
        {60, 0.5f, {1.2f + 0.075f, 2.05f, 3.3f}},
        {60, -4, {1.2f - 0.1f, 2.05f, 3.3f}},   // bob held to 0.1
    };
    for (const placeCase_t &c : cases) {
        vec3_t at;
        CG_ViewWeaponOrigin(at, eye, axis, level, c.fovY, c.bobDepth);
        for (int k = 0; k < 3; k++) EXPECT_NEAR(at[k], c.expected[k], 1e-5f) << c.fovY << " " << c.bobDepth << " " << k;
    }
}

TEST_F(WeaponView, DrumShowsTheClipOrTheReloadAndNeverMoreThanItsPlaces) {
    struct drumCase_t {
        int clip, reserve;
        bool reloading;
        float weaponTime;
        int32_t expected;
    } cases[] = {
        {3, 20, false, 0, 3},
        {3, 20, true, 0.4f, 3},     // first half of the reload: the old rounds
        {3, 20, true, 0.6f, 6},     // second half: the magazine's worth
        {3, 2, true, 0.6f, 2},      // ... or what the reserve still holds
        {200, 0, false, 0, 8},      // a clip from the server past the drum
        {0, -5, true, 0.9f, 0},     // a negative reserve
    };
    for (const drumCase_t &c : cases) {
        clientState_t cs{};
        cs.weapon = WP_GRENGUN;
        cs.clip[WP_GRENGUN] = static_cast<uint8_t>(c.clip);
        cs.reserve[WP_GRENGUN] = static_cast<int16_t>(c.reserve);
        cs.flags = c.reloading ? static_cast<uint32_t>(CSF_RELOADING) : 0u;
        cs.weaponTime = c.weaponTime;
        EXPECT_EQ(CG_DrumRounds(&cs, 6), c.expected) << c.clip << " " << c.reserve << " " << c.weaponTime;
    }
    clientState_t odd{};
    odd.weapon = 77;  // no weapon at all
    odd.flags = CSF_RELOADING;
    odd.weaponTime = 0.9f;
    EXPECT_EQ(CG_DrumRounds(&odd, 6), 0);
}

TEST_F(WeaponView, GunCameraDrawsOnlyWithTheRailgunWithTheChosenMaterial) {
    g_weaponMedia[WP_RAILGUN].cameraMaterials[0] = 31;
    g_weaponMedia[WP_RAILGUN].cameraMaterials[1] = 32;
    cg.predicted.weapon = WP_SHOTGUN;
    CG_DrawGunCam(0, 1, 1);
    EXPECT_TRUE(fake::trisPics.empty());
    cg.predicted.weapon = WP_RAILGUN;
    CG_DrawGunCam(0, 0.5f, 1);
    CG_DrawGunCam(7, 1, 0);
    ASSERT_EQ(fake::trisPics.size(), 2u);
    EXPECT_EQ(fake::trisPics[0].material, 31);
    EXPECT_EQ(fake::trisPics[0].destination, 0);
    EXPECT_EQ(fake::trisPics[0].verts[0].rgba[3], 127);
    EXPECT_EQ(fake::trisPics[1].material, 32);
    EXPECT_EQ(fake::trisPics[1].destination, 7);
}

TEST_F(WeaponView, MuzzleLightIsAPointLightUnlessSwitchedOffDarkOrOutOfLights) {
    const vec3_t at = {1, 2, 3};
    const float colour[3] = {1, 0.5f, 0.25f};
    CG_DrawMuzzleLight(at, 4, 0, colour);
    fake::Set("cg_skipMuzzleLight", "1");
    CG_DrawMuzzleLight(at, 4, 1, colour);
    EXPECT_TRUE(fake::lights.empty());
    fake::Set("cg_skipMuzzleLight", "0");
    CG_DrawMuzzleLight(at, 4, 0.8f, colour);
    ASSERT_EQ(fake::lights.size(), 1u);
    const cgLight_t l = Light(0);
    EXPECT_EQ(l.kind, CG_LIGHT_POINT);
    EXPECT_EQ(l.flag, 1);
    EXPECT_EQ(l.origin[2], 3);
    EXPECT_EQ(l.color[1], 0.5f);
    EXPECT_EQ(l.color[3], 0);
    EXPECT_EQ(l.intensity[0], 0.8f);
    EXPECT_EQ(l.intensity[1], 0.8f);
    // The renderer has no light left this frame: nothing is added, nothing breaks.
    fake::lightsAllocated = fake::FAKE_LIGHTS;
    CG_DrawMuzzleLight(at, 4, 0.8f, colour);
    EXPECT_EQ(fake::lights.size(), 1u);
}

TEST_F(WeaponView, MuzzleFlashWithoutASurfaceFromTheRendererDrawsNothingAndKeepsItsPlaces) {
    static int visible;
    g_soupViewPVS = &visible;
    const vec3_t at = {0, 0, 0};
    const float axis[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    fake::refuseSurfaces = true;
    for (int i = 0; i < 100; i++) CG_DrawMuzzleFlash(at, axis, 1, 2, 0.5f, 5, 6, 1, 0);
    EXPECT_TRUE(fake::surfaces.empty());
    // The refusals took none of the frame's vertex buffers: flower and flame still come.
    fake::refuseSurfaces = false;
    CG_DrawMuzzleFlash(at, axis, 1, 2, 0.5f, 5, 6, 1, 0);
    EXPECT_EQ(fake::surfaces.size(), 2u);
    g_soupViewPVS = nullptr;
}

TEST_F(WeaponView, FlashlightGoesWithAPlayingFirstPersonViewer) {
    struct flashCase_t {
        uint8_t moveType;
        const char *thirdPerson, *skipFlash;
        size_t lights;
    } cases[] = {
        {MT_NORMAL, "0", "0", 1}, {MT_DEAD, "0", "0", 0}, {MT_SPECTATOR, "0", "0", 0},
        {MT_NORMAL, "1", "0", 0}, {MT_NORMAL, "0", "1", 0},
    };
    for (const flashCase_t &c : cases) {
        fake::lights.clear();
        fake::lightsAllocated = 0;
        cg.predicted.moveType = c.moveType;
        fake::Set("cg_thirdPerson", c.thirdPerson);
        fake::Set("cg_skipFlash", c.skipFlash);
        CG_AddViewFlashToScene();
        ASSERT_EQ(fake::lights.size(), c.lights) << int(c.moveType) << c.thirdPerson << c.skipFlash;
        if (c.lights) {
            const cgLight_t l = Light(0);
            EXPECT_EQ(l.kind, CG_LIGHT_FLASH);
            EXPECT_EQ(l.flag, 1);  // the viewer's own
        }
    }
}

}  // namespace
