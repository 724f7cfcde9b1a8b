// The view set-up and the scene, through the stand-in engine: fields of view, near
// plane, the third-person camera against a wall, the locked camera and the copy of
// the rendered image to the screen.
#include <gtest/gtest.h>

#include <cstring>

#include "game/g_main.h"
#include "game/g_weapon.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_view.h"
#include "tests/game/fake_engine.h"

namespace {

class View : public testing::Test {
protected:
    void SetUp() override {
        fake::Install();
        memset(&cg, 0, sizeof cg);
        memset(&cgw, 0, sizeof cgw);
        CG_RegisterVariables();
        G_DefineWeapons();
        for (weaponMedia_t &m : g_weaponMedia) m = weaponMedia_t{};  // no view weapon but the test's own
        Trap_GetQGame(&qgame);
        cg.ecl.state = ECL_CONNECTED;
        // Standing at the origin of a flat world (floor y = 0), eye 1 up, looking along +z.
        fake::flatWorld = true;
        cg.flatGravity = 1;
        cg.predicted.eyeHeight = 1;
        memcpy(cg.playerAxes.ellipticAxis, identitymatrix3x3, sizeof cg.playerAxes.ellipticAxis);
        memcpy(cg.playerAxes.viewAxisT, identitymatrix3x3, sizeof cg.playerAxes.viewAxisT);
    }
    void TearDown() override { fake::Uninstall(); }
};

TEST_F(View, FieldsOfViewAndNearPlaneFollowTheVariables) {
    struct fovCase_t {
        const char *aspect, *fov, *zNear;
        float zoom;
        float fovX, fovY, near;
    };
    const fovCase_t cases[] = {
        {"1", "95", "0.1", 0, 126.66667f, 71.25f, 0.1f},
        {"0", "90", "0", 0, 90.0f, 67.5f, 0.001f},  // 4/3; no near plane becomes the smallest
        {"2", "100", "-5", 0, 120.0f, 75.0f, 0.001f},
        {"1", "140", "nan", 1, 46.666668f, 26.25f, 0.001f},  // fully zoomed: from 35 whatever cg_fov is
        {"0", "10", "2", 0.5f, 22.5f, 16.875f, 2.0f},
    };
    for (const fovCase_t &c : cases) {
        SCOPED_TRACE(c.fov);
        fake::Set("cg_aspectRatio", c.aspect);
        fake::Set("cg_fov", c.fov);
        fake::Set("cg_zNear", c.zNear);
        cg.predicted.zoom = c.zoom;
        fake::viewPVSRequests.clear();
        CG_SetupView();
        EXPECT_FLOAT_EQ(cg.view.fovX, c.fovX);
        EXPECT_FLOAT_EQ(cg.view.fovY, c.fovY);
        EXPECT_FLOAT_EQ(cg.view.zNear, c.near);
        // The visible set is asked for with the same camera and angles.
        ASSERT_EQ(fake::viewPVSRequests.size(), 1u);
        EXPECT_FLOAT_EQ(fake::viewPVSRequests[0].fovX, c.fovX);
        EXPECT_EQ(cg.view.pvs, fake::viewPVS);
    }
}

TEST_F(View, FirstPersonCameraIsAtTheSmoothedEye) {
    cg.predicted.origin[0] = 3;
    cg.predicted.smoothOffset[2] = 0.5f;
    CG_SetupView();
    EXPECT_FLOAT_EQ(cg.view.origin[0], 3);
    EXPECT_FLOAT_EQ(cg.view.origin[1], 1);
    EXPECT_FLOAT_EQ(cg.view.origin[2], 0.5f);
    EXPECT_EQ(memcmp(cg.view.axis, cg.playerAxes.viewAxisT, sizeof cg.view.axis), 0);
    EXPECT_FLOAT_EQ(cg.viewOrigin[0], 3);  // the listener follows the camera
}

TEST_F(View, ThirdPersonCameraIsPulledInFrontOfAWall) {
    fake::Set("cg_thirdPerson", "1");
    fake::Set("cg_thirdPersonRadius", "4");
    // Looking straight up: the camera would sit 4 below the eye, 3 under the floor.
    const float up[9] = {1, 0, 0, 0, 0, -1, 0, 1, 0};
    memcpy(cg.playerAxes.viewAxisT, up, sizeof up);
    CG_SetupView();
    // The floor is a quarter of the way: the camera stops at 0.25 - 0.05 of it.
    EXPECT_NEAR(cg.view.origin[1], 1 - 0.2f * 4, 1e-5f);
    EXPECT_FLOAT_EQ(cg.view.origin[0], 0);

    // A wall right at the eye still leaves the camera a tenth of the way out.
    fake::floorY = 0.99f;
    CG_SetupView();
    EXPECT_NEAR(cg.view.origin[1], 1 - 0.1f * 4, 1e-5f);

    // Dead players are seen from their eye.
    cg.predicted.moveType = 1;
    CG_SetupView();
    EXPECT_FLOAT_EQ(cg.view.origin[1], 1);
}

TEST_F(View, ThirdPersonCameraWithNothingBehindStaysAtTheRadius) {
    fake::Set("cg_thirdPerson", "1");
    fake::Set("cg_thirdPersonRadius", "4");
    CG_SetupView();
    EXPECT_FLOAT_EQ(cg.view.origin[2], -4);
    EXPECT_FLOAT_EQ(cg.view.origin[1], 1);
}

TEST_F(View, OrbitTurnsAroundTheEyeAndRestartsWhenOff) {
    fake::Set("cg_thirdPerson", "1");
    fake::Set("cg_thirdPersonRadius", "2");
    CG_SetupView();  // the orbit starts from 0
    fake::Set("cg_thirdPersonOrbit", "1.8");  // 90 degrees a second
    qgame.frameSeconds = 1.0f;
    CG_SetupView();
    EXPECT_NEAR(cg.view.origin[0], 0, 1e-5f);
    EXPECT_NEAR(cg.view.origin[2], 2, 1e-5f);
    fake::Set("cg_thirdPersonOrbit", "0");
    CG_SetupView();
    fake::Set("cg_thirdPersonOrbit", "1.8");
    CG_SetupView();
    EXPECT_NEAR(cg.view.origin[2], 2, 1e-5f);  // from angle 0 again, not 180
}

TEST_F(View, LockedCameraHoldsTheLastRenderedView) {
    CG_SetupView();
    CG_DrawScene();
    fake::Set("cg_lockCam", "1");
    cg.predicted.origin[0] = 10;
    CG_SetupView();
    EXPECT_FLOAT_EQ(cg.view.origin[0], 0);
    fake::Set("cg_lockCam", "0");
    CG_SetupView();
    EXPECT_FLOAT_EQ(cg.view.origin[0], 10);
}

TEST_F(View, SceneIsRenderedIntoItsDestinationAndCopiedToTheScreen) {
    cgw.sky = 12;
    cgw.fogRadius = 100;
    cgw.fogLod = 4;
    fake::Set("cg_fogRed", "0.5");
    fake::Set("cg_fogSight", "30");
    fake::Set("cg_skipSky", "1");
    fake::rendererConfig = rendererConfig_t{0, 640, 480};  // half of the 1280 x 960 image
    CG_SetupView();
    CG_DrawScene();
    EXPECT_EQ(fake::sceneClears, std::vector<int32_t>{0x7FFFFFFF});
    ASSERT_EQ(fake::renderedScenes.size(), 1u);
    EXPECT_EQ(fake::renderedScenes[0].refdef, &cg.refdef);
    EXPECT_EQ(fake::renderedScenes[0].view, &cg.view);
    EXPECT_EQ(cg.refdef.destination, 1);
    EXPECT_EQ(cg.refdef.width, 640);
    EXPECT_EQ(cg.refdef.sky, 12);
    EXPECT_EQ(cg.refdef.skipSky, 1);
    EXPECT_EQ(cg.refdef.skipWorld, 0);
    EXPECT_EQ(cg.refdef.fogModel, 4);
    EXPECT_FLOAT_EQ(cg.refdef.fogFactor, 1);
    EXPECT_FLOAT_EQ(cg.refdef.fogColor[0], 0.5f);
    EXPECT_FLOAT_EQ(cg.refdef.fogSight, 30);

    ASSERT_EQ(fake::trisPics.size(), 1u);
    const fake::trisPic_t &copy = fake::trisPics[0];
    EXPECT_EQ(copy.destination, 0);
    EXPECT_EQ(copy.material, 1000001);
    EXPECT_EQ(copy.option, 1);
    EXPECT_FLOAT_EQ(copy.verts[2].xyz[0], 640);
    EXPECT_FLOAT_EQ(copy.verts[2].xyz[1], 480);
    EXPECT_FLOAT_EQ(copy.verts[2].st[0], 0.5f);
    EXPECT_FLOAT_EQ(copy.verts[2].st[1], 0.5f);

    // Without a fog model there is no fog, whatever the radius.
    cgw.fogLod = 0;
    CG_DrawScene();
    EXPECT_EQ(cg.refdef.fogModel, 0);
    EXPECT_FLOAT_EQ(cg.refdef.fogFactor, 0);
}

TEST_F(View, GunCameraMagnifiesTheCentreOfTheScene) {
    cg.predicted.weapon = WP_RAILGUN;
    g_weaponMedia[WP_RAILGUN].gunCamera = 1;
    CG_DrawScene();
    g_weaponMedia[WP_RAILGUN].gunCamera = 0;
    ASSERT_EQ(fake::trisPics.size(), 2u);
    const fake::trisPic_t &gun = fake::trisPics[1];
    EXPECT_EQ(gun.destination, 7);
    EXPECT_FLOAT_EQ(gun.verts[0].st[0], 0.4f);
    EXPECT_FLOAT_EQ(gun.verts[2].st[1], 0.6f);
    EXPECT_FLOAT_EQ(gun.verts[2].xyz[0], fake::FAKE_DEST_WIDTH);
}

TEST_F(View, NothingIsRenderedUnlessConnectedOrWithTheSceneSkipped) {
    cg.ecl.state = ECL_CONNECTING;
    CG_DrawScene();
    fake::Set("cg_skipScene", "1");
    cg.ecl.state = ECL_CONNECTED;
    CG_DrawScene();
    EXPECT_TRUE(fake::renderedScenes.empty());
    EXPECT_TRUE(fake::sceneClears.empty());
    EXPECT_TRUE(fake::trisPics.empty());
}

}  // namespace
