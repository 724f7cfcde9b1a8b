// The client's bitmap fonts and its 2D drawing of text and triangle lists.
//
// A font is a grid of equally sized glyphs in one renderer material, described by a
// small keyword file.  Fonts are indexes into one fixed table; index 0 is the dummy
// font after every client start and renderer restart, and draws nothing.  Text is laid
// out on the virtual 640 x 480 screen and handed to the renderer as one 2D surface.
#pragma once

#include <cstdint>

constexpr int CL_MAX_FONTS = 16;
constexpr int CL_FONT_NAME = 64;        // bytes of a font's name, with its zero
constexpr int CL_MAX_DRAW_CHARS = 200;  // bytes of one string drawn at most
constexpr float CL_VIRTUAL_WIDTH = 640.0f;
constexpr float CL_VIRTUAL_HEIGHT = 480.0f;

// Flags of CL_DrawString.
enum clDrawFlags_t : int32_t {
    CL_DRAW_CENTER = 0x01,   // the text's middle at x, its middle height at y
    CL_DRAW_RAW = 0x02,      // colour escapes drawn as glyphs and counted for centring
    CL_DRAW_SHADOW = 0x04,   // a black drop shadow under the text
    CL_DRAW_PIXELS = 0x08,   // real pixels: no scaling from the virtual screen, scale ignored
    CL_DRAW_BOTTOM_UP = 0x10,  // y is the renderer's bottom-up coordinate already
};

struct font_t {
    char name[CL_FONT_NAME];  // the file it was read from, or "DUMMY"
    uint8_t dummy;            // draws nothing
    int32_t offsetX, offsetY;        // texels: the first glyph cell in the image
    int32_t charWidth, charHeight;   // virtual units of one drawn character
    int32_t picWidth, picHeight;     // texels of one glyph cell
    int32_t charsPerLine;            // glyph cells per image row
    int32_t dropShadowX, dropShadowY;  // virtual units
    int32_t material;                // renderer handle, 0 = none
};

// Registers the dummy font (fatal when the table is full); its index.
int32_t CL_RegisterDummyFont();
// The font of the file: an earlier registration of the same name, or a new record read
// from the file; 0 (the dummy font) when the file gives no usable material.
int32_t CL_RegisterFont(const char *file);
// Reads the description's key and value pairs into the record (a value stands on its
// key's line); unknown keys and an empty material are reported and skipped.
void CL_ParseFont(font_t *f, const char *file, const char *text);
// Forgets every font from first on (0: all); out of range is reported and ignored.
void CL_UnregisterFont(int32_t first);
// The record of a registered font; a bad index is a reported bug and yields null.
const font_t *CL_GetFont(int32_t index);
int32_t CL_GetNumFonts();
// charWidth and charHeight of a registered font; 0 for a bad index (reported).
int32_t CL_GetFontCharWidth(int32_t font);
int32_t CL_GetFontCharHeight(int32_t font);
// Draws length bytes of text (at most CL_MAX_DRAW_CHARS) with the font into the
// destination as one 2D surface; colour null means white; flags are clDrawFlags_t.
void CL_DrawString(int32_t destination, float x, float y, float scale, const char *text, int32_t length,
                   const float *colour, int32_t font, int32_t flags);
// Hands a ready 2D triangle list (drawVert_t vertexes, 32-bit indexes) to the renderer
// as one surface; option set gives it SURFACE_FLAG_OPTION.
void CL_DrawTrisPic(int32_t destination, const void *vertexes, const void *indexes, int32_t vertexCount,
                    int32_t indexCount, int32_t material, uint8_t option);
