// 2D drawing of the client game and the interface: pictures and text on numbered render
// destinations (0 the screen), in the virtual 640 x 480 screen whose origin is the
// top-left corner unless the flags say otherwise.
#pragma once

#include <cstdint>

#include "common/com_vector.h"
#include "game/g_public.h"

// Picture flags.
enum cgPicFlags_t : uint8_t {
    CG_PIC_CENTER = 1,     // x, y is the picture's centre
    CG_PIC_PIXELS = 8,     // destination pixels, not virtual units
    CG_PIC_BOTTOM_UP = 16, // y already counts from the bottom
};

constexpr int32_t CG_TEXT_CENTER = 1;  // text flag: its middle at x, y
constexpr int32_t CG_DRAW_SHADOW = 4;       // every client-game text carries its drop shadow

// Appends one quad to the caller's buffers and advances both counts (by 4 and 6).
void CG_DrawStretchPicBuf(drawVert_t *vertexes, int32_t *indexes, int32_t *vertexCount, int32_t *indexCount,
                          int32_t destination, float x, float y, float w, float h, const float *colour,
                          int32_t material, uint8_t flags);
// One quad drawn at once with the material over all of it.
void CG_DrawStretchPic(int32_t destination, float x, float y, float w, float h, const float *colour,
                       int32_t material, uint8_t flags);
// A quad in whole destination pixels (bottom-left origin) with explicit texture
// coordinates; flags go to the renderer as they are.
void CG_DrawQuadPic(int32_t destination, int32_t x0, int32_t y0, int32_t x1, int32_t y1, float s0, float t0, float s1,
                    float t1, const float *colour, int32_t material, uint8_t flags);
// The whole text with the font and its drop shadow; colour null is white.
void CG_DrawString(int32_t destination, float x, float y, float scale, const char *text, const float *colour,
                   int32_t font, int32_t flags);
// Renders model qmod alone into the rectangle x, y, w, h (virtual units) of the
// destination: seen from camera along the identity axis, the model at the scene
// origin turned by angles.  The placeholder model or one without a level of detail
// draws nothing.
void CG_Draw3DModel(int32_t destination, int32_t x, int32_t y, int32_t w, int32_t h, int32_t qmod,
                    const vec3_t camera, const vec3_t angles);
