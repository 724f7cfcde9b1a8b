// Bitmap fonts and 2D drawing of the client.
#include "client/cl_font.h"

#include <cmath>
#include <cstring>

#include "base/files.h"
#include "base/renderer.h"
#include "common/common.h"

static font_t q_fonts[CL_MAX_FONTS];
static int32_t q_numFonts;

// Quads of one string: the shadow pass and the text pass.
constexpr int CL_DRAW_QUADS = CL_MAX_DRAW_CHARS * 2;
// The renderer copies a surface's arrays when it is added, so one set serves every call.
static drawVert_t cl_textVerts[CL_DRAW_QUADS * 4];
static int32_t cl_textIndexes[CL_DRAW_QUADS * 6];

// ---- registry ----

int32_t CL_RegisterDummyFont() {
    if (q_numFonts >= CL_MAX_FONTS) {
        Com_Error(ER_FATAL, "CL_RegisterDummyFont: numFonts == %d", q_numFonts);
        return 0;
    }
    font_t *f = &q_fonts[q_numFonts];
    memset(f, 0, sizeof(*f));
    Com_strncpyz(f->name, "DUMMY", sizeof(f->name));
    f->dummy = 1;
    return q_numFonts++;
}

// The integer fields of the description file, by key.
struct fontKey_t {
    const char *key;
    int32_t font_t::*field;
};
static constexpr fontKey_t cl_fontKeys[] = {
    {"offsetX", &font_t::offsetX},         {"offsetY", &font_t::offsetY},
    {"charWidth", &font_t::charWidth},     {"charHeight", &font_t::charHeight},
    {"charsPerLine", &font_t::charsPerLine}, {"picWidth", &font_t::picWidth},
    {"picHeight", &font_t::picHeight},     {"dropShadowX", &font_t::dropShadowX},
    {"dropShadowY", &font_t::dropShadowY},
};

void CL_ParseFont(font_t *f, const char *file, const char *text) {
    const char *p = text;
    for (;;) {
        const char *token = Com_Parse(&p, true);
        if (!token[0]) break;
        char key[CMD_MAX_NAME];
        Com_strncpyz(key, token, sizeof(key));
        bool known = false;
        for (const fontKey_t &k : cl_fontKeys) {
            if (strcmp(key, k.key) != 0) continue;
            f->*k.field = Com_atoi(Com_Parse(&p, false));
            known = true;
        }
        if (known) continue;
        if (!strcmp(key, "material")) {
            const char *path = Com_Parse(&p, false);
            if (!path[0])
                Com_Error(ER_SAVEOFF, "%s: material <path>", f->name);
            else
                f->material = RE_RegisterMaterial(path);
            continue;
        }
        Com_Error(ER_SAVEOFF, "R_ParseFont \"%s\": Unknown token \"%s\"", file, key);
    }
}

int32_t CL_RegisterFont(const char *file) {
    if (!file) file = "";
    // A name the record cannot hold would never be found again: every registration
    // would read the file anew and take another slot.
    if (strlen(file) >= sizeof(font_t::name)) {
        Com_Error(ER_WARNING, "CL_RegisterFont: font name \"%s\" is too long", file);
        return 0;
    }
    for (int32_t i = 0; i < q_numFonts; i++) {
        if (strcmp(q_fonts[i].name, file) != 0) continue;
        // A font that gave no material the first time stays the dummy: its slot only
        // remembers the failure, so the file is not read again.
        return q_fonts[i].material ? i : 0;
    }
    if (q_numFonts >= CL_MAX_FONTS) {
        Com_Error(ER_FATAL, "CL_RegisterFont: numFonts == %d", q_numFonts);
        return 0;
    }
    const int32_t index = q_numFonts++;
    font_t *f = &q_fonts[index];
    void *buffer = nullptr;
    const int32_t length = FS_ReadFile(file, &buffer);
    memset(f, 0, sizeof(*f));
    Com_strncpyz(f->name, file, sizeof(f->name));
    if (length < 0 || !buffer) {
        Com_Error(ER_WARNING, "CL_RegisterFont: couldn't read font \"%s\"", file);
        return 0;
    }
    CL_ParseFont(f, file, static_cast<const char *>(buffer));
    FS_FreeFile(buffer);
    if (!f->material) return 0;
    Com_Printf("Font: \"%s\" ", file);
    return index;
}

void CL_UnregisterFont(int32_t first) {
    if (first < 0 || first > q_numFonts) {
        Com_Printf("CL_UnregisterFont: out of range");
        return;
    }
    q_numFonts = first;
}

const font_t *CL_GetFont(int32_t index) {
    if (index < 0 || index >= q_numFonts) {
        Com_Assert(false);
        return nullptr;
    }
    return &q_fonts[index];
}

int32_t CL_GetNumFonts() { return q_numFonts; }

int32_t CL_GetFontCharWidth(int32_t font) {
    const font_t *f = CL_GetFont(font);
    return f ? f->charWidth : 0;
}

int32_t CL_GetFontCharHeight(int32_t font) {
    const font_t *f = CL_GetFont(font);
    return f ? f->charHeight : 0;
}

// ---- drawing ----

// A colour escape at i: the key with two more bytes within the length, unless raw.
static bool IsColorEscape(const byte *text, int32_t i, int32_t length, int32_t flags) {
    return !(flags & CL_DRAW_RAW) && text[i] == COLOR_KEY && i + 2 < length;
}

// Glyphs the walk draws of the length bytes: what centring counts.
static int32_t CountGlyphs(const byte *text, int32_t length, int32_t flags) {
    int32_t n = 0;
    for (int32_t i = 0; i < length; i++) {
        if (IsColorEscape(text, i, length, flags))
            i += 2;
        else
            n++;
    }
    return n;
}

static byte ColorByte(float c) {
    const float v = std::round(c * 255.0f);
    return static_cast<byte>(v <= 0.0f ? 0.0f : (v >= 255.0f ? 255.0f : v));  // NaN lands on 255
}

static void SetRGBA(byte out[4], const float c[4]) {
    for (int k = 0; k < 4; k++) out[k] = ColorByte(c[k]);
}

// Where a string's quads go and how one glyph maps onto the image.
struct textLayout_t {
    const font_t *font;
    float cw, ch;            // size of one drawn character
    float imageW, imageH;    // texels of the material's image
    float cellW, cellH;      // one glyph cell in texture units
    int32_t numVerts, numIndexes;
};

static void AddGlyph(textLayout_t *l, byte c, float x, float y, const byte rgba[4]) {
    const font_t *f = l->font;
    const int g = static_cast<int>(c) - 32;
    const int column = g % f->charsPerLine, row = g / f->charsPerLine;
    // The cell's corner in texels, worked out in float: the sizes come from a file and
    // their products would overflow an int.
    const float cornerS = static_cast<float>(column) * static_cast<float>(f->picWidth) + static_cast<float>(f->offsetX);
    const float cornerT = static_cast<float>(row) * static_cast<float>(f->picHeight) + static_cast<float>(f->offsetY);
    const float s0 = cornerS / l->imageW;
    const float t0 = 1.0f - cornerT / l->imageH - l->cellH;
    const float s1 = s0 + l->cellW, t1 = t0 + l->cellH;
    const float corners[4][4] = {
        {x, y, s0, t0}, {x + l->cw, y, s1, t0}, {x + l->cw, y + l->ch, s1, t1}, {x, y + l->ch, s0, t1}};
    drawVert_t *v = &cl_textVerts[l->numVerts];
    for (int k = 0; k < 4; k++) {
        v[k] = drawVert_t{};
        v[k].xyz[0] = corners[k][0];
        v[k].xyz[1] = corners[k][1];
        v[k].st[0] = corners[k][2];
        v[k].st[1] = corners[k][3];
        memcpy(v[k].rgba, rgba, 4);
    }
    constexpr int32_t quad[6] = {0, 1, 2, 0, 2, 3};
    for (int32_t q : quad) cl_textIndexes[l->numIndexes++] = l->numVerts + q;
    l->numVerts += 4;
}

// One pass over the text from (x, y); the shadow pass keeps its colour through escapes.
static void AddPass(textLayout_t *l, const byte *text, int32_t length, int32_t flags, float x, float y,
                    const float colour[4], bool shadow) {
    float current[4];
    memcpy(current, shadow ? color_black : colour, sizeof(current));
    current[3] = colour[3];
    byte rgba[4];
    SetRGBA(rgba, current);
    for (int32_t i = 0; i < length; i++) {
        if (IsColorEscape(text, i, length, flags)) {
            if (!shadow) {
                int index = 10 * (text[i + 1] - '0') + (text[i + 2] - '0');
                index = index < 0 ? 0 : (index >= TEXT_COLORS ? TEXT_COLORS - 1 : index);
                memcpy(current, index == 0 ? colour : text_colors[index], sizeof(current));
                current[3] = colour[3];
                SetRGBA(rgba, current);
            }
            i += 2;
            continue;
        }
        AddGlyph(l, text[i], x, y, rgba);
        x += l->cw;
    }
}

// Hands the arrays to the renderer as one 2D surface; nothing when it gives no surface.
static void AddSurface2D(int32_t destination, const void *verts, const int32_t *indexes, int32_t numVerts,
                         int32_t numIndexes, int32_t material, uint32_t flags) {
    surface_t *s = RE_AllocSurfaces(SURFACE_LAYOUT_COLOR, 0);
    if (!s) return;
    s->name = "2D";
    s->flags = SURFACE_FLAG_2D | flags;
    s->effect = 0.0f;
    s->numIndexes = numIndexes;
    s->numVerts = numVerts;
    s->indexes = indexes;
    s->verts = verts;
    s->material = material;
    s->destination = destination;
    RE_AddSurfaces(s, 1);
}

void CL_DrawString(int32_t destination, float x, float y, float scale, const char *text, int32_t length,
                   const float *colour, int32_t font, int32_t flags) {
    if (!colour) colour = color_white;
    if (length <= 0 || !text) return;
    const font_t *f = CL_GetFont(font);
    if (!f || f->dummy) return;
    const byte *bytes = reinterpret_cast<const byte *>(text);
    if (length > CL_MAX_DRAW_CHARS) length = CL_MAX_DRAW_CHARS;
    const int32_t counted = (flags & CL_DRAW_RAW) ? length : CountGlyphs(bytes, length, flags);

    textLayout_t l{};
    l.font = f;
    l.imageW = static_cast<float>(RE_GetMaterialWidth(f->material));
    l.imageH = static_cast<float>(RE_GetMaterialHeight(f->material));
    // Without an image or a grid there is no glyph to find: nothing is drawn.
    if (l.imageW <= 0.0f || l.imageH <= 0.0f || f->charsPerLine <= 0) return;
    l.cellW = static_cast<float>(f->picWidth) / l.imageW;
    l.cellH = static_cast<float>(f->picHeight) / l.imageH;

    const float W = static_cast<float>(RE_GetRenderDestWidth(destination));
    const float H = static_cast<float>(RE_GetRenderDestHeight(destination));
    float shadowX, shadowY;
    if (flags & CL_DRAW_PIXELS) {
        l.cw = static_cast<float>(f->charWidth);
        l.ch = static_cast<float>(f->charHeight);
        shadowX = static_cast<float>(f->dropShadowX);
        shadowY = static_cast<float>(f->dropShadowY);
    } else {
        x = x * W / CL_VIRTUAL_WIDTH;
        y = y * H / CL_VIRTUAL_HEIGHT;
        l.cw = scale * static_cast<float>(f->charWidth) * W / CL_VIRTUAL_WIDTH;
        l.ch = scale * static_cast<float>(f->charHeight) * H / CL_VIRTUAL_HEIGHT;
        shadowX = static_cast<float>(f->dropShadowX) * W / CL_VIRTUAL_WIDTH;
        shadowY = static_cast<float>(f->dropShadowY) * H / CL_VIRTUAL_HEIGHT;
    }
    if (!(flags & CL_DRAW_BOTTOM_UP)) y = H - y - 1.0f - l.ch;
    if (flags & CL_DRAW_CENTER) {
        x -= l.cw * static_cast<float>(counted) / 2.0f;
        y += l.ch / 2.0f;
    }

    if (flags & CL_DRAW_SHADOW) AddPass(&l, bytes, length, flags, x + shadowX, y + shadowY, colour, true);
    AddPass(&l, bytes, length, flags, x, y, colour, false);
    if (l.numVerts == 0) return;
    AddSurface2D(destination, cl_textVerts, cl_textIndexes, l.numVerts, l.numIndexes, f->material, 0);
}

void CL_DrawTrisPic(int32_t destination, const void *vertexes, const void *indexes, int32_t vertexCount,
                    int32_t indexCount, int32_t material, uint8_t option) {
    if (!vertexes || !indexes || vertexCount <= 0 || indexCount <= 0) return;
    AddSurface2D(destination, vertexes, static_cast<const int32_t *>(indexes), vertexCount, indexCount, material,
                 option ? SURFACE_FLAG_OPTION : 0u);
}
