// The view and the 3D scene.
#include "game_cl/cg_view.h"

#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_player.h"
#include "game/g_soup.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_draw2d.h"
#include "game_cl/cg_ents.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_marks.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_particles.h"
#include "game_cl/cg_services.h"
#include "game_cl/cg_testmodel.h"
#include "game_cl/cg_weapon_view.h"

constexpr float CG_ORBIT_SPEED = 50.0f;        // degrees per second per unit of cg_thirdPersonOrbit
constexpr float CG_CAMERA_WALL_GAP = 0.05f;    // of the ray, kept between a pulled-in camera and the wall
constexpr float CG_CAMERA_MIN_FRACTION = 0.1f;
constexpr float CG_GUN_CAMERA_LOW = 0.4f;      // the part of the scene the weapon's own screen magnifies
constexpr float CG_GUN_CAMERA_HIGH = 0.6f;

static float orbitAngle;  // degrees; 0 whenever the orbit is off

float CG_GetAspectRatioFraction() {
    switch (cg_aspectRatio.integer) {
    case 1: return 16.0f / 9.0f;
    case 2: return 1.6f;
    default: return 4.0f / 3.0f;
    }
}

float CG_GetFovVertical(float fov) { return 0.75f * fov; }

float CG_GetFovHorizontal(float fov) { return CG_GetAspectRatioFraction() * 0.75f * fov; }

float CG_GetZoomFov() { return cg_fov.value + (CG_ZOOM_FOV - cg_fov.value) * cg.predicted.zoom; }

static void SkyAxis(float out[9]) { BuildRotationMatrix3x3(out, cg.skyAngles); }

void CG_SetupFirstPersonView() {
    viewParams_t &v = cg.view;
    memcpy(v.axis, cg.playerAxes.viewAxisT, sizeof v.axis);
    G_GetPlayerSmoothEye(cg.flatGravity, v.origin, &cg.predicted, v.axis + 6);
    SkyAxis(v.skyAxis);
}

// Behind the eye or orbiting it, pulled in front of any wall between.
static void SetupThirdPersonView() {
    viewParams_t &v = cg.view;
    vec3_t eye, camera, angles;
    G_GetPlayerEye(cg.flatGravity, eye, cg.predicted.origin, cg.predicted.eyeHeight);
    const float r = cg_thirdPersonRadius.value;
    const float *frame = cg.playerAxes.ellipticAxis;
    if (cg_thirdPersonOrbit.value != 0) {
        orbitAngle += cg_thirdPersonOrbit.value * CG_ORBIT_SPEED * qgame.frameSeconds;
        const float a = orbitAngle * DEG2RAD;
        _VectorAddMultiple(camera, eye, frame, Com_cos(a) * r);
        _VectorAddMultiple(camera, camera, frame + 6, Com_sin(a) * r);
        angles[0] = angles[1] = 0;
        angles[2] = 270.0f - orbitAngle;
    } else {
        orbitAngle = 0;
        _VectorAddMultiple(camera, eye, cg.playerAxes.viewAxisT + 6, -r);
        _VectorCopy(angles, cg.predicted.viewAngles);
    }
    gameTrace_t tr;
    CG_RayTrace(&tr, eye, camera, nullptr, CONTENTS_WORLD);
    if (tr.trace.fraction < 1) {
        float f = tr.trace.fraction - CG_CAMERA_WALL_GAP;
        if (f < CG_CAMERA_MIN_FRACTION) f = CG_CAMERA_MIN_FRACTION;
        vec3_t ray;
        _VectorSub(ray, camera, eye);
        _VectorAddMultiple(camera, eye, ray, f);
    }
    _VectorCopy(v.origin, camera);
    G_EllipticAxis2Axis(v.axis, frame, angles, 1);
    SkyAxis(v.skyAxis);
}

void CG_SetupView() {
    viewParams_t &v = cg.view;
    v = viewParams_t{};
    const float fov = CG_GetZoomFov();
    v.fovX = CG_GetFovHorizontal(fov);
    v.fovY = CG_GetFovVertical(fov);
    // Also a near plane that is no number becomes the smallest.
    v.zNear = cg_zNear.value >= CG_MIN_Z_NEAR ? cg_zNear.value : CG_MIN_Z_NEAR;
    if (cg_thirdPerson.integer && cg.predicted.moveType == 0) SetupThirdPersonView();
    else CG_SetupFirstPersonView();
    if (cg_lockCam.integer) {
        _VectorCopy(v.origin, cg.lockedOrigin);
        memcpy(v.axis, cg.lockedAxis, sizeof v.axis);
    }
    v.pvs = Trap_GetViewPVS(v.origin, v.axis, v.fovX, v.fovY);
    g_soupViewPVS = v.pvs;
    _VectorCopy(cg.viewOrigin, v.origin);
    memcpy(cg.viewAxis, v.axis, sizeof cg.viewAxis);
}

// The image of destination 1, texture fractions s0..s1 and t0..t1 of it, over the
// whole of destination dest.
static void CopySceneImage(int32_t dest, float s0, float t0, float s1, float t1) {
    CG_DrawQuadPic(dest, 0, 0, Trap_R_GetRenderDestWidth(dest), Trap_R_GetRenderDestHeight(dest), s0, t0, s1, t1,
                   color_white, CG_SCENE_IMAGE, CG_PIC_CENTER);
}

void CG_DrawScene() {
    if (cg_skipScene.integer || cg.ecl.state != ECL_CONNECTED) return;
    Trap_R_GetRendererConfig(&cg.rendererConfig);
    refdef_t &r = cg.refdef;
    r = refdef_t{};
    r.destination = CG_SCENE_DESTINATION;
    r.width = cg.rendererConfig.width;
    r.height = cg.rendererConfig.height;
    r.sky = cgw.sky;
    r.flatGravity = cg.flatGravity;
    r.skipWorld = cg_skipWorld.integer ? 1 : 0;
    r.skipSky = cg_skipSky.integer ? 1 : 0;
    if (cgw.fogRadius != 0 && cgw.fogLod) {
        r.fogFactor = 1.0f;
        r.fogModel = cgw.fogLod;
        r.fogColor[0] = cg_fogRed.value;
        r.fogColor[1] = cg_fogGreen.value;
        r.fogColor[2] = cg_fogBlue.value;
        r.fogSight = cg_fogSight.value;
    }

    Trap_R_ClearScene(CG_CLEAR_SCENE_ALL);
    CG_AddViewWeaponToScene();
    CG_AddViewFlashToScene();
    CG_AddEntitiesToScene();
    CG_AddParticlesToScene();
    CG_AddMarksToScene();
    CG_AddTestModelToScene();
    CG_AddTestLightToScene();
    Trap_R_RenderScene(&r, &cg.view);
    _VectorCopy(cg.lockedOrigin, cg.view.origin);
    memcpy(cg.lockedAxis, cg.view.axis, sizeof cg.lockedAxis);

    // The render covers only the configured size of destination 1's image.
    const int32_t imageWidth = Trap_R_GetRenderDestWidth(CG_SCENE_DESTINATION);
    const int32_t imageHeight = Trap_R_GetRenderDestHeight(CG_SCENE_DESTINATION);
    if (imageWidth <= 0 || imageHeight <= 0) return;
    const float fs = static_cast<float>(r.width) / static_cast<float>(imageWidth);
    const float ft = static_cast<float>(r.height) / static_cast<float>(imageHeight);
    CG_DrawQuadPic(CG_SCREEN_DESTINATION, 0, 0, r.width, r.height, 0, 0, fs, ft, color_white, CG_SCENE_IMAGE,
                   CG_PIC_CENTER);
    const weaponMedia_t *media = CG_WeaponMedia(cg.predicted.weapon);
    if (media && media->gunCamera)
        CopySceneImage(CG_GUN_CAMERA_DESTINATION, CG_GUN_CAMERA_LOW * fs, CG_GUN_CAMERA_LOW * ft,
                       CG_GUN_CAMERA_HIGH * fs, CG_GUN_CAMERA_HIGH * ft);
}
