// The first-person weapon view: where the gun is held, the grenade drum's count from
// the server's numbers, the gun camera, the muzzle light and the player's flashlight.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "game/g_main.h"
#include "game/g_soup.h"
#include "game/g_weapon.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_drawents.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_utils.h"
#include "game_cl/cg_weapon_view.h"
#include "tests/game/fake_engine.h"
#include "tests/game_cl/model_files.h"

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

// The arms holding the gun before the eye.  Every tag is fixed to the model (no
// bone), so where a part lands can be worked out by hand: the view looks along -x
// with its right along +z and its up along +y.
struct ViewWeapon : model_files::ModelTable {
    static constexpr float VIEW[9] = {0, 0, 1, 0, 1, 0, -1, 0, 0};
    const model_files::boneSpec_t ROOT = {-1, {0, 0, 0}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}};

    static model_files::tagSpec_t Tag(const std::string &name, float x, float y, float z) {
        return {name, -1, {x, y, z}, {1, 0, 0, 0, 1, 0, 0, 0, 1}};
    }
    int32_t Model(const std::string &name, const std::vector<model_files::tagSpec_t> &tags) {
        fake::files[name + ".bo2"] = model_files::BO2({ROOT}, tags);
        fake::files[name + ".model"] = "model " + name + ".bo2\nlod 0 " + name + ".lo2\n";
        return CG_LoadModel((name + ".model").c_str());
    }
    void SetUp() override {
        ModelTable::SetUp();
        fake::flatWorld = true;
        qgame = fake::qg;
        qgame.frameCount = 40;
        memset(&cg, 0, sizeof cg);
        G_DefineWeapons();
        CG_RegisterVariables();
        fake::surfaceEntityBytes = sizeof(surfaceEntity_t);
        for (weaponMedia_t &m : g_weaponMedia) m = weaponMedia_t{};
        for (int32_t &m : g_entityMedia[ET_PLAYER].models) m = 0;
        fake::files["game/p_swat/arm.bo2"] = model_files::BO2({ROOT}, {Tag("TAG_hand_r", 0.1f, 0.2f, 0.3f),
                                                                       Tag("TAG_hand_l", -0.1f, 0.2f, 0.3f)});
        fake::files["game/p_swat/arm.model"] = "model game/p_swat/arm.bo2\nlod 0 arm.lo2\n";
        std::vector<model_files::tagSpec_t> gunTags = {Tag("TAG_ammo", 0, -0.1f, 0.2f), Tag("TAG_shell", 0, 0.5f, 0)};
        for (int k = 1; k <= CG_DRUM_PLACES; k++) {
            char name[16];
            snprintf(name, sizeof name, "TAG_shell%.2d", k);
            gunTags.push_back(Tag(name, static_cast<float>(k), 0, 0));
        }
        weaponMedia_t &gren = g_weaponMedia[WP_GRENGUN];
        gren.model = Model("gun", gunTags);
        gren.ammoModel = Model("magazine", {});
        gren.projectileModel = Model("grenade", {});
        ASSERT_TRUE(gren.model && gren.ammoModel && gren.projectileModel);
        cg.predicted.weapon = WP_GRENGUN;
        cg.predicted.clip[WP_GRENGUN] = 3;
        memcpy(cg.playerAxes.viewAxisT, VIEW, sizeof VIEW);
        memcpy(cg.playerAxes.levelAxisT, VIEW, sizeof VIEW);
        cg.view.fovY = 50;
        fake::Set("cg_gunX", "0.2");
        fake::Set("cg_gunY", "0");
        fake::Set("cg_gunZ", "0.5");
        fake::Set("cg_muzzleFadeTime", "0");
        ASSERT_NE(CG_GetArmQModel(0), 0);
        fake::errors.clear();
    }
    void TearDown() override {
        for (weaponMedia_t &m : g_weaponMedia) m = weaponMedia_t{};
        for (int32_t &m : g_entityMedia[ET_PLAYER].models) m = 0;
        ModelTable::TearDown();
    }
    static std::vector<surfaceEntity_t> Instances() {
        std::vector<surfaceEntity_t> out(fake::surfaceEntities.size());
        for (size_t i = 0; i < out.size(); i++) memcpy(&out[i], fake::surfaceEntities[i].data(), sizeof out[i]);
        return out;
    }
    static void ExpectAt(const surfaceEntity_t &e, float x, float y, float z) {
        EXPECT_NEAR(e.origin[0], x, 1e-5f) << e.name;
        EXPECT_NEAR(e.origin[1], y, 1e-5f) << e.name;
        EXPECT_NEAR(e.origin[2], z, 1e-5f) << e.name;
    }
};

TEST_F(ViewWeapon, GunRidesTheRightHandAndTheMagazineMovesToTheLeftHand) {
    CG_AddViewWeaponToScene();
    std::vector<surfaceEntity_t> parts = Instances();
    ASSERT_EQ(parts.size(), 6u);  // arms, gun, magazine and three grenades
    EXPECT_STREQ(parts[0].name, "Arm");
    ExpectAt(parts[0], -0.5f, 0, 0.2f);                 // eye + 0.2 right + 0.5 forward
    EXPECT_EQ(parts[0].flags, CG_INSTANCE_VIEW_WEAPON);
    EXPECT_EQ(parts[0].lod, CG_GetModel(CG_GetArmQModel(0))->lods[0]);
    ExpectAt(parts[1], -0.8f, 0.2f, 0.3f);              // TAG_hand_r
    for (int i = 0; i < 9; i++) EXPECT_NEAR(parts[1].axis[i], VIEW[i], 1e-6f) << i;
    EXPECT_STREQ(parts[2].name, "Ammo");
    ExpectAt(parts[2], -1.0f, 0.1f, 0.3f);              // the gun's TAG_ammo
    // Spent shells leave at the gun's port along its up row, fresh this frame.
    EXPECT_EQ(cg.shellEject.frame, 40u);
    EXPECT_NEAR(cg.shellEject.origin[1], 0.7f, 1e-5f);
    EXPECT_NEAR(cg.shellEject.direction[1], 1.0f, 1e-6f);

    fake::surfaceEntities.clear();
    cg.magazineInHand = 1;
    CG_AddViewWeaponToScene();
    parts = Instances();
    ASSERT_GE(parts.size(), 3u);
    ExpectAt(parts[2], -0.8f, 0.2f, 0.1f);              // the arms' TAG_hand_l
    EXPECT_TRUE(fake::errors.empty()) << testing::PrintToString(fake::errors);
}

TEST_F(ViewWeapon, GrenadesFillTheLastPlacesOfTheDrum) {
    struct drumCase_t {
        int clip;
        std::vector<float> places;
    } cases[] = {{3, {6, 7, 8}}, {0, {}}, {8, {1, 2, 3, 4, 5, 6, 7, 8}}};
    for (const drumCase_t &c : cases) {
        fake::surfaceEntities.clear();
        cg.predicted.clip[WP_GRENGUN] = static_cast<uint8_t>(c.clip);
        CG_AddViewWeaponToScene();
        std::vector<float> places;
        for (const surfaceEntity_t &e : Instances())
            if (!strcmp(e.name, "Shell")) places.push_back(std::round(e.origin[2] - 0.3f));
        EXPECT_EQ(places, c.places) << c.clip;
    }
}

TEST_F(ViewWeapon, WideViewLockedCameraAndGunCameraMarkTheParts) {
    fake::Set("cg_fov", "90");
    fake::Set("cg_gunY", "0.05");
    fake::Set("cg_lockCam", "1");
    cg.view.fovY = 70;
    g_weaponMedia[WP_GRENGUN].gunCamera = 1;
    CG_AddViewWeaponToScene();
    const std::vector<surfaceEntity_t> parts = Instances();
    ASSERT_GE(parts.size(), 2u);
    ExpectAt(parts[0], -0.5f, 0.005f, 0.2f);            // cg_gunY less 0.045
    EXPECT_EQ(parts[0].flags, CG_INSTANCE_VIEW_WEAPON | CG_INSTANCE_LOCKED_CAMERA);
    EXPECT_EQ(parts[0].layer, 0);
    EXPECT_EQ(parts[1].layer, CG_GUN_CAMERA_DESTINATION);
}

TEST_F(ViewWeapon, MissingTagsAreReportedAndWhatHangsOnThemIsLeftOut) {
    // A gun with no tags at all: no magazine, no grenades, shells from the hand.
    g_weaponMedia[WP_GRENGUN].model = Model("bare", {});
    fake::errors.clear();
    CG_AddViewWeaponToScene();
    EXPECT_EQ(fake::surfaceEntities.size(), 2u);
    const std::vector<hm_test::errorRecord_t> expected = {
        {ER_RENDERER, "CG_AddViewWeaponToScene: Found no TAG_ammo in gun"},
        {ER_RENDERER, "CG_AddViewWeaponToScene: Found no TAG_shell06 in gun"},
        {ER_RENDERER, "CG_AddViewWeaponToScene: Found no TAG_shell07 in gun"},
        {ER_RENDERER, "CG_AddViewWeaponToScene: Found no TAG_shell08 in gun"}};
    EXPECT_EQ(fake::errors, expected);
    EXPECT_NEAR(cg.shellEject.origin[0], -0.8f, 1e-5f);
    EXPECT_NEAR(cg.shellEject.direction[1], 1.0f, 1e-6f) << "the view's up row";

    // Arms without a right hand: the arms alone.
    g_entityMedia[ET_PLAYER].models[2] = Model("handless", {});
    fake::errors.clear();
    fake::surfaceEntities.clear();
    CG_AddViewWeaponToScene();
    EXPECT_EQ(fake::surfaceEntities.size(), 1u);
    ASSERT_EQ(fake::errors.size(), 1u);
    EXPECT_EQ(fake::errors[0].level, ER_RENDERER);
    EXPECT_EQ(fake::errors[0].text, "CG_AddViewWeaponToScene: Found no TAG_hand_r in arm");
}

TEST_F(ViewWeapon, NothingWhileZoomingDeadSpectatingInThirdPersonOrUnarmed) {
    struct hiddenCase_t {
        const char *why;
        float zoom;
        uint8_t moveType;
        int32_t weapon;
        const char *thirdPerson;
    } cases[] = {
        {"zooming", 0.01f, MT_NORMAL, WP_GRENGUN, "0"}, {"dead", 0, MT_DEAD, WP_GRENGUN, "0"},
        {"spectator", 0, MT_SPECTATOR, WP_GRENGUN, "0"}, {"third person", 0, MT_NORMAL, WP_GRENGUN, "1"},
        {"no weapon", 0, MT_NORMAL, WP_NONEGUN, "0"},    {"no such weapon", 0, MT_NORMAL, 99, "0"},
    };
    for (const hiddenCase_t &c : cases) {
        cg.predicted.zoom = c.zoom;
        cg.predicted.moveType = c.moveType;
        cg.predicted.weapon = c.weapon;
        fake::Set("cg_thirdPerson", c.thirdPerson);
        CG_AddViewWeaponToScene();
        EXPECT_TRUE(fake::surfaceEntities.empty()) << c.why;
    }
}

}  // namespace
