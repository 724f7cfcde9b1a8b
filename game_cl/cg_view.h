// The view and the 3D scene: where the camera is each frame, its fields of view
// and visible set, and the rendering of the scene into destination 1 and onto the
// screen.
#pragma once

#include <cstdint>

#include "common/com_vector.h"

constexpr int32_t CG_SCENE_DESTINATION = 1;     // the 3D scene's render destination
constexpr int32_t CG_SCREEN_DESTINATION = 0;
constexpr int32_t CG_GUN_CAMERA_DESTINATION = 7;  // the weapon's own screen
constexpr int32_t CG_SCENE_IMAGE = 1000001;     // material standing for destination 1's image
constexpr int32_t CG_CLEAR_SCENE_ALL = 0x7FFFFFFF;
constexpr float CG_ZOOM_FOV = 35.0f;            // degrees, fully zoomed
constexpr float CG_MIN_Z_NEAR = 0.001f;

// What the renderer draws a scene with; cleared for every render.  Its layout is the
// renderer's: keep the field order.
struct refdef_t {
    int32_t destination;
    int32_t x, y;             // viewport, pixels
    int32_t width, height;
    float fogColor[3];
    float fogFactor;          // 1 with fog
    float fogSight;
    uint8_t skipWorld;
    uint8_t skipSky;
    uint8_t flatGravity;
    uint8_t unused;
    int32_t sky;              // the world's sky material
    int32_t fogModel;         // 0: no fog
};
static_assert(sizeof(refdef_t) == 13 * 4);

// The camera of one frame; cleared at every set-up.  Also the renderer's layout.
struct viewParams_t {
    vec3_t origin;
    float axis[9];            // rows right, up, forward
    float fovX, fovY;         // degrees
    float zNear;
    const void *pvs;          // the engine's visible set of the view
    float skyAxis[9];
};

// 16/9 for cg_aspectRatio 1, 1.6 for 2, else 4/3.
float CG_GetAspectRatioFraction();
// Both linear in the angle (degrees): vertical 0.75 × fov, horizontal the aspect times that.
float CG_GetFovVertical(float fov);
float CG_GetFovHorizontal(float fov);
// cg_fov drawn toward 35 degrees by the view weapon's zoom fraction.
float CG_GetZoomFov();

void CG_SetupFirstPersonView();  // eye and view axis of the predicted player
void CG_SetupView();             // the camera of this frame (connected frames)
void CG_DrawScene();             // renders the scene from the camera and copies it to the screen
