// Pictures and text of the client game.
#include "game_cl/cg_draw2d.h"

#include <cstring>

#include "common/common.h"
#include "game/g_traps.h"
#include "game_cl/cg_drawents.h"
#include "game_cl/cg_model.h"
#include "game_cl/cg_view.h"

constexpr float CG_VIRTUAL_WIDTH = 640.0f;
constexpr float CG_VIRTUAL_HEIGHT = 480.0f;
constexpr int32_t CG_VIRTUAL_WIDTH_UNITS = 640;
constexpr int32_t CG_VIRTUAL_HEIGHT_UNITS = 480;
constexpr float CG_MODEL_FOV = 30.0f;    // degrees
constexpr float CG_MODEL_Z_NEAR = 0.1f;
static constexpr int32_t quad_inds[6] = {0, 1, 2, 0, 2, 3};

// A colour component as a vertex byte: truncated, within 0..255; one that is not a
// number (a variable set to "nan") is 0 rather than a conversion with no defined result.
static uint8_t ColourByte(float component) {
    const float byteValue = component * 255.0f;
    return static_cast<uint8_t>(!(byteValue > 0.0f) ? 0.0f : (byteValue >= 255.0f ? 255.0f : byteValue));
}

static void SetVertex(drawVert_t *v, float x, float y, float s, float t, const float *colour) {
    *v = drawVert_t{};
    v->xyz[0] = x;
    v->xyz[1] = y;
    v->st[0] = s;
    v->st[1] = t;
    for (int i = 0; i < 4; i++) v->rgba[i] = ColourByte(colour[i]);
}

void CG_DrawStretchPicBuf(drawVert_t *vertexes, int32_t *indexes, int32_t *vertexCount, int32_t *indexCount,
                          int32_t destination, float x, float y, float w, float h, const float *colour,
                          int32_t material, uint8_t flags) {
    (void)material;
    if (!colour) colour = color_white;
    const float width = static_cast<float>(Trap_R_GetRenderDestWidth(destination));
    const float height = static_cast<float>(Trap_R_GetRenderDestHeight(destination));
    if (!(flags & CG_PIC_PIXELS)) {
        x = x * width / CG_VIRTUAL_WIDTH;
        w = w * width / CG_VIRTUAL_WIDTH;
        y = y * height / CG_VIRTUAL_HEIGHT;
        h = h * height / CG_VIRTUAL_HEIGHT;
    }
    if (!(flags & CG_PIC_BOTTOM_UP)) {
        y = height - y;
        h = -h;  // the quad grows downward on the screen
    }
    if (flags & CG_PIC_CENTER) {
        x -= w / 2;
        y -= h / 2;
    }
    const int32_t n = *vertexCount;
    for (int k = 0; k < 6; k++) indexes[(*indexCount)++] = n + quad_inds[k];
    const float corners[4][4] = {{x, y, 0, 1}, {x + w, y, 1, 1}, {x + w, y + h, 1, 0}, {x, y + h, 0, 0}};
    for (const auto &c : corners) SetVertex(&vertexes[(*vertexCount)++], c[0], c[1], c[2], c[3], colour);
}

void CG_DrawStretchPic(int32_t destination, float x, float y, float w, float h, const float *colour,
                       int32_t material, uint8_t flags) {
    drawVert_t vertexes[4];
    int32_t indexes[6];
    int32_t vertexCount = 0, indexCount = 0;
    CG_DrawStretchPicBuf(vertexes, indexes, &vertexCount, &indexCount, destination, x, y, w, h, colour, material,
                         flags);
    Trap_CL_DrawTrisPic(destination, vertexes, indexes, 4, 6, material, flags);
}

void CG_DrawQuadPic(int32_t destination, int32_t x0, int32_t y0, int32_t x1, int32_t y1, float s0, float t0, float s1,
                    float t1, const float *colour, int32_t material, uint8_t flags) {
    if (!colour) colour = color_white;
    const float fx0 = static_cast<float>(x0), fy0 = static_cast<float>(y0);
    const float fx1 = static_cast<float>(x1), fy1 = static_cast<float>(y1);
    drawVert_t vertexes[4];
    SetVertex(&vertexes[0], fx0, fy0, s0, t0, colour);
    SetVertex(&vertexes[1], fx1, fy0, s1, t0, colour);
    SetVertex(&vertexes[2], fx1, fy1, s1, t1, colour);
    SetVertex(&vertexes[3], fx0, fy1, s0, t1, colour);
    Trap_CL_DrawTrisPic(destination, vertexes, quad_inds, 4, 6, material, flags);
}

void CG_DrawString(int32_t destination, float x, float y, float scale, const char *text, const float *colour,
                   int32_t font, int32_t flags) {
    if (!text) return;
    Trap_CL_DrawString(destination, x, y, scale, text, static_cast<int32_t>(strlen(text)), colour, font,
                       flags | CG_DRAW_SHADOW);
}

void CG_Draw3DModel(int32_t destination, int32_t x, int32_t y, int32_t w, int32_t h, int32_t qmod,
                    const vec3_t camera, const vec3_t angles) {
    const model_t *model = CG_GetModel(qmod);
    const int32_t lod = CG_GetLOD(model, 0);
    if (model->dummy || lod == 0) return;

    Trap_R_ClearScene(CG_CLEAR_SCENE_ALL);
    const int32_t width = Trap_R_GetRenderDestWidth(destination);
    const int32_t height = Trap_R_GetRenderDestHeight(destination);
    // In 64 bits: a destination of many pixels times a large rectangle must not overflow.
    const auto scale = [](int32_t size, int32_t units, int32_t virtualSize) {
        return static_cast<int32_t>(static_cast<int64_t>(size) * units / virtualSize);
    };
    refdef_t r{};
    r.destination = destination;
    r.x = scale(width, x, CG_VIRTUAL_WIDTH_UNITS);
    r.y = height - scale(height, y, CG_VIRTUAL_HEIGHT_UNITS) - scale(height, h, CG_VIRTUAL_HEIGHT_UNITS);
    r.width = scale(width, w, CG_VIRTUAL_WIDTH_UNITS);
    r.height = scale(height, h, CG_VIRTUAL_HEIGHT_UNITS);
    r.skipWorld = 1;
    r.skipSky = 1;

    viewParams_t view{};
    _VectorCopy(view.origin, camera);
    memcpy(view.axis, identitymatrix3x3, sizeof view.axis);
    view.fovX = CG_GetFovHorizontal(CG_MODEL_FOV);
    view.fovY = CG_GetFovVertical(CG_MODEL_FOV);
    view.zNear = CG_MODEL_Z_NEAR;

    surfaceEntity_t instance{};
    Trap_R_SetupSurfaceEntity(&instance);
    instance.name = "CG_Draw3DModel";
    instance.flags = CG_INSTANCE_DETAIL;
    BuildRotationMatrix3x3(instance.axis, angles);
    instance.lod = lod;
    static_assert(CG_MODEL_MATERIALS == MODEL_MATERIALS_MAX);
    memcpy(instance.materials, model->materials, sizeof instance.materials);
    Trap_R_AddSurfaceEntity(&instance);
    Trap_R_RenderScene(&r, &view);
}
