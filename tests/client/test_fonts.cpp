// Fonts and 2D drawing, read back through the test renderer's recorded surfaces; and
// the test renderer itself.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "client/cl_font.h"
#include "client/cl_local.h"
#include "common/common.h"
#include "world/world.h"
#include "tests/headless/re_headless.h"
#include "tests/support/capture.h"
#include "tests/support/fs_dir.h"

namespace {

using hm_test::captured;
using hm_test::Reported;

// 8 x 16 virtual units a character, 16 x 16 texel cells, 16 to a row, shadow (1, 2).
constexpr char FONT_TEXT[] =
    "// a test font\n"
    "offsetX 0\noffsetY 0\ncharWidth 8\ncharHeight 16\ncharsPerLine 16\n"
    "picWidth 16\npicHeight 16\ndropShadowX 1 dropShadowY 2\nmaterial fonts/glyphs.material\n";

class Fonts : public testing::Test {
protected:
    void SetUp() override {
        hm_test::StartCapture();
        RE_InstallHeadless();
        Write("fonts/glyphs.material", "// glyph sheet\n");
        Write("fonts/test.font", FONT_TEXT);
        CL_UnregisterFont(0);
        CL_RegisterDummyFont();
        font = CL_RegisterFont("fonts/test.font");
        ASSERT_EQ(font, 1);
    }
    void TearDown() override {
        CL_UnregisterFont(0);
        re = re_null;
        snd = snd_null;
        hm_test::StopCapture();
    }
    void Write(const std::string &name, const std::string &text) const {
        const std::filesystem::path path = std::filesystem::path(dir.path()) / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    // Draws and returns the one surface the string made.
    const reHeadlessSurface_t &Draw(const std::string &text, int32_t flags, const float *colour = nullptr,
                                    float x = 10, float y = 20) {
        RE_BeginFrame();
        CL_DrawString(0, x, y, 1.0f, text.data(), static_cast<int32_t>(text.size()), colour, font, flags);
        EXPECT_EQ(re_headless.surfaces.size(), 1u);
        static const reHeadlessSurface_t none{};
        return re_headless.surfaces.empty() ? none : re_headless.surfaces[0];
    }

    hm_test::FsDir dir;
    int32_t font = 0;
};

// ---- description files ----

TEST(FontParser, ReadsKeysAndReportsWhatItRefuses) {
    struct fontCase_t {
        const char *text;
        int32_t charWidth, charHeight, charsPerLine;
        const char *report;  // saved-off report, or null for none
    };
    const fontCase_t cases[] = {
        {"charWidth 8 charHeight 16 charsPerLine 16", 8, 16, 16, nullptr},
        {"charWidth 8\ncharWidth 12", 12, 0, 0, nullptr},  // the last wins; missing keys stay 0
        {"/* block */ charWidth \"9\" // comment\n", 9, 0, 0, nullptr},
        {"charWidth\n7", 0, 0, 0, "Unknown token \"7\""},  // a value stands on its key's line
        {"bogus 3 charHeight 5", 0, 5, 0, "R_ParseFont \"f.font\": Unknown token \"bogus\""},
        {"charsPerLine 4 material\n", 0, 0, 4, "f.font: material <path>"},
    };
    for (const fontCase_t &c : cases) {
        hm_test::StartCapture();
        font_t f{};
        Com_strncpyz(f.name, "f.font", sizeof(f.name));
        CL_ParseFont(&f, "f.font", c.text);
        EXPECT_EQ(f.charWidth, c.charWidth) << c.text;
        EXPECT_EQ(f.charHeight, c.charHeight) << c.text;
        EXPECT_EQ(f.charsPerLine, c.charsPerLine) << c.text;
        EXPECT_EQ(f.material, 0) << c.text;
        if (c.report)
            EXPECT_TRUE(Reported(ER_SAVEOFF, c.report)) << c.text << "\n" << hm_test::AllErrors();
        else
            EXPECT_TRUE(captured.errors.empty()) << c.text << "\n" << hm_test::AllErrors();
    }
    hm_test::StopCapture();
}

// ---- registry ----

TEST_F(Fonts, SameFileTwiceIsOneFontWithoutReadingAgain) {
    std::filesystem::remove(std::filesystem::path(dir.path()) / "fonts/test.font");
    EXPECT_EQ(CL_RegisterFont("fonts/test.font"), font);
    EXPECT_EQ(CL_GetNumFonts(), 2);
    EXPECT_EQ(CL_GetFontCharWidth(font), 8);
    EXPECT_EQ(CL_GetFontCharHeight(font), 16);
    EXPECT_TRUE(hm_test::Printed("Font: \"fonts/test.font\""));
}

TEST_F(Fonts, FontWithoutUsableMaterialIsTheDummyEveryTime) {
    Write("fonts/nomat.font", "charWidth 8 material fonts/missing.material\n");
    EXPECT_EQ(CL_RegisterFont("fonts/nomat.font"), 0);
    // The failed record keeps its slot, but is never handed out as a good font.
    EXPECT_EQ(CL_RegisterFont("fonts/nomat.font"), 0);
    EXPECT_EQ(CL_RegisterFont("fonts/absent.font"), 0);
    EXPECT_TRUE(Reported(ER_WARNING, "couldn't read font \"fonts/absent.font\""));
    const std::string longName = "fonts/" + std::string(CL_FONT_NAME, 'x') + ".font";
    EXPECT_EQ(CL_RegisterFont(longName.c_str()), 0);
    EXPECT_TRUE(Reported(ER_WARNING, "is too long"));
    EXPECT_EQ(CL_GetNumFonts(), 4);  // the long name took no slot
    EXPECT_EQ(CL_RegisterFont("fonts/test.font"), font);
}

// A renderer restart takes every material the fonts named: all fonts but the dummy
// are forgotten, and a font registered again is read anew with a live material.
TEST_F(Fonts, ARendererRestartLeavesOnlyTheDummyFont) {
    CL_RestartRenderer();
    ASSERT_EQ(CL_GetNumFonts(), 1);
    EXPECT_TRUE(CL_GetFont(0)->dummy);
    captured = {};
    EXPECT_EQ(CL_RegisterFont("fonts/test.font"), 1);
    EXPECT_TRUE(hm_test::Printed("Font: \"fonts/test.font\"")) << "read again";
    EXPECT_EQ(Draw("A", 0).verts.size(), 4u);
}

// The world's vertex list lives in the renderer: a restarted renderer gets a new
// list before the pool goes up, and nothing is sent to the list that went with the
// old one.
TEST_F(Fonts, ARendererRestartRebuildsTheWorldsVertexListBeforeUploading) {
    qbase.rendererRunning = 1;
    WO_ShutdownPool();
    WO_InitPool();
    ASSERT_EQ(re_headless.vertexLists.size(), 1u);
    const rhandle_t old = re_headless.vertexLists[0];
    re_headless.vertexUploads = re_headless.strayVertexUploads = 0;
    CL_RestartRenderer();
    ASSERT_EQ(re_headless.vertexLists.size(), 1u);
    EXPECT_NE(re_headless.vertexLists[0], old);
    EXPECT_GT(re_headless.vertexUploads, 0);
    EXPECT_EQ(re_headless.strayVertexUploads, 0);
    WO_ShutdownPool();
    qbase.rendererRunning = 0;
}

TEST_F(Fonts, TableLimitsAndBadIndexesAreReported) {
    for (int i = CL_GetNumFonts(); i < CL_MAX_FONTS; i++) CL_RegisterFont(("fonts/none" + std::to_string(i)).c_str());
    EXPECT_EQ(CL_RegisterFont("fonts/seventeenth.font"), 0);
    EXPECT_TRUE(Reported(ER_FATAL, "CL_RegisterFont: numFonts == 16"));
    CL_RegisterDummyFont();
    EXPECT_TRUE(Reported(ER_FATAL, "CL_RegisterDummyFont: numFonts == 16"));
    EXPECT_EQ(CL_RegisterFont("fonts/test.font"), font);  // the known name still answers

    CL_UnregisterFont(17);
    EXPECT_TRUE(hm_test::Printed("CL_UnregisterFont: out of range"));
    CL_UnregisterFont(2);
    EXPECT_EQ(CL_GetNumFonts(), 2);
    captured.errors.clear();
    EXPECT_EQ(CL_GetFont(2), nullptr);
    EXPECT_EQ(CL_GetFontCharWidth(-1), 0);
    ASSERT_EQ(captured.errors.size(), 2u);
    EXPECT_EQ(captured.errors[0].level, ER_BUG);
    EXPECT_NE(captured.errors[0].text.find("cl_font"), std::string::npos);
}

// ---- drawing ----

TEST_F(Fonts, GlyphQuadsAreLaidOutOnTheDestination) {
    const reHeadlessSurface_t &s = Draw("A!", 0);
    EXPECT_EQ(s.layout, SURFACE_LAYOUT_COLOR);
    EXPECT_EQ(s.flags, static_cast<uint32_t>(SURFACE_FLAG_2D));
    EXPECT_EQ(s.material, 1);
    ASSERT_EQ(s.verts.size(), 8u);
    EXPECT_EQ(s.indexes, (std::vector<int32_t>{0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7}));
    // 1280 x 960 is twice the virtual screen: (10, 20) -> (20, 40), characters 16 x 32,
    // and y from the top becomes 960 - 40 - 1 - 32 from the bottom.
    const float x0 = 20, y0 = 887, cw = 16, ch = 32;
    const float expect[4][2] = {{x0, y0}, {x0 + cw, y0}, {x0 + cw, y0 + ch}, {x0, y0 + ch}};
    for (int k = 0; k < 4; k++) {
        EXPECT_FLOAT_EQ(s.verts[k].xyz[0], expect[k][0]) << k;
        EXPECT_FLOAT_EQ(s.verts[k].xyz[1], expect[k][1]) << k;
        EXPECT_FLOAT_EQ(s.verts[4 + k].xyz[0], expect[k][0] + cw) << k;
    }
    // 'A' is glyph 33: column 1, row 2 of 16 x 16 cells in a 256 x 256 image.
    EXPECT_FLOAT_EQ(s.verts[0].st[0], 16.0f / 256);
    EXPECT_FLOAT_EQ(s.verts[0].st[1], 1.0f - 32.0f / 256 - 16.0f / 256);
    EXPECT_FLOAT_EQ(s.verts[2].st[0], 32.0f / 256);
    EXPECT_FLOAT_EQ(s.verts[2].st[1], 1.0f - 32.0f / 256);
    // '!' is glyph 1: column 1, row 0.
    EXPECT_FLOAT_EQ(s.verts[4].st[0], 16.0f / 256);
    EXPECT_FLOAT_EQ(s.verts[4].st[1], 1.0f - 16.0f / 256);
    for (const drawVert_t &v : s.verts) EXPECT_EQ(std::vector<int>(v.rgba, v.rgba + 4), (std::vector<int>{255, 255, 255, 255}));
}

// A font file's cell sizes and offsets can be anything: the cell's corner is found
// without overflowing, at the texture position the numbers give.
TEST_F(Fonts, HugeGlyphCellsMapWithoutOverflow) {
    struct cellCase_t {
        int32_t offsetX, offsetY, charsPerLine, picWidth, picHeight;
    } cases[] = {
        {0, 0, 16, INT32_MAX, INT32_MAX},
        {INT32_MAX, INT32_MAX, 1, INT32_MAX, INT32_MAX},  // 'A' is row 33 of a one-column sheet
        {INT32_MIN, INT32_MIN, 2, INT32_MIN, INT32_MIN},
        {1 << 30, -(1 << 30), 16, 1 << 30, 1 << 30},
    };
    for (const cellCase_t &c : cases) {
        const std::string name = "fonts/huge" + std::to_string(&c - cases) + ".font";
        Write(name, "charWidth 8 charHeight 16 material fonts/glyphs.material offsetX " + std::to_string(c.offsetX) +
                        "\noffsetY " + std::to_string(c.offsetY) + "\ncharsPerLine " + std::to_string(c.charsPerLine) +
                        "\npicWidth " + std::to_string(c.picWidth) + "\npicHeight " + std::to_string(c.picHeight) + "\n");
        font = CL_RegisterFont(name.c_str());
        ASSERT_GT(font, 0) << name;
        const reHeadlessSurface_t &s = Draw("A", 0);
        ASSERT_EQ(s.verts.size(), 4u) << name;
        const int glyph = 'A' - 32, column = glyph % c.charsPerLine, row = glyph / c.charsPerLine;
        const double image = 256;  // the test sheet's image
        const double s0 = (double(column) * c.picWidth + c.offsetX) / image;
        const double t0 = 1.0 - (double(row) * c.picHeight + c.offsetY) / image - c.picHeight / image;
        EXPECT_FLOAT_EQ(s.verts[0].st[0], static_cast<float>(s0)) << name;
        EXPECT_FLOAT_EQ(s.verts[0].st[1], static_cast<float>(t0)) << name;
        EXPECT_FLOAT_EQ(s.verts[2].st[0], static_cast<float>(s0 + c.picWidth / image)) << name;
    }
}

TEST_F(Fonts, PixelAndBottomUpFlagsKeepCoordinates) {
    const reHeadlessSurface_t &s = Draw("A", CL_DRAW_PIXELS | CL_DRAW_BOTTOM_UP, nullptr, 100, 50);
    ASSERT_EQ(s.verts.size(), 4u);
    EXPECT_FLOAT_EQ(s.verts[0].xyz[0], 100);
    EXPECT_FLOAT_EQ(s.verts[0].xyz[1], 50);
    EXPECT_FLOAT_EQ(s.verts[2].xyz[0], 108);
    EXPECT_FLOAT_EQ(s.verts[2].xyz[1], 66);
}

// The colour of each drawn glyph, as bytes.
std::vector<std::vector<int>> GlyphColours(const reHeadlessSurface_t &s) {
    std::vector<std::vector<int>> out;
    for (size_t q = 0; q + 3 < s.verts.size(); q += 4) out.emplace_back(s.verts[q].rgba, s.verts[q].rgba + 4);
    return out;
}

TEST_F(Fonts, ColourEscapesSelectTableColoursWithTheCallersAlpha) {
    const float caller[4] = {0.2f, 0.4f, 0.6f, 0.5f};
    const std::vector<int> callerBytes = {51, 102, 153, 128}, red = {255, 0, 0, 128}, nine = {160, 0, 160, 128};
    struct colourCase_t {
        std::string text;
        std::vector<std::vector<int>> glyphs;
    };
    const colourCase_t cases[] = {
        {"a\xA4" "03b", {callerBytes, red}},
        {"\xA4" "03a\xA4" "00b", {red, callerBytes}},
        {"\xA4" "12a", {nine}},                                    // clamped to the last colour
        {"ab\xA4" "0", {callerBytes, callerBytes, callerBytes, callerBytes}},  // no room: drawn as glyphs
    };
    for (const colourCase_t &c : cases) EXPECT_EQ(GlyphColours(Draw(c.text, 0, caller)), c.glyphs) << c.text;
    // Raw text draws the escape's three bytes as glyphs in the caller's colour.
    EXPECT_EQ(GlyphColours(Draw("\xA4" "03a", CL_DRAW_RAW, caller)).size(), 4u);
}

TEST_F(Fonts, ShadowQuadsComeFirstInBlackAndIgnoreEscapes) {
    const float caller[4] = {1, 1, 1, 0.25f};
    const reHeadlessSurface_t &s = Draw("\xA4" "03ab", CL_DRAW_SHADOW, caller);
    const std::vector<int> shadow = {0, 0, 0, 64}, red = {255, 0, 0, 64};
    EXPECT_EQ(GlyphColours(s), (std::vector<std::vector<int>>{shadow, shadow, red, red}));
    ASSERT_EQ(s.verts.size(), 16u);
    // Shadow offset (1, 2) virtual units: (2, 4) pixels.
    EXPECT_FLOAT_EQ(s.verts[0].xyz[0] - s.verts[8].xyz[0], 2);
    EXPECT_FLOAT_EQ(s.verts[0].xyz[1] - s.verts[8].xyz[1], 4);
}

TEST_F(Fonts, CentringCountsOnlyVisibleGlyphs) {
    // Centred at (320, 240): two glyphs of 16 pixels centre on x 640; escapes do not widen it.
    const reHeadlessSurface_t &plain = Draw("ab", CL_DRAW_CENTER, nullptr, 320, 240);
    const float plainX = plain.verts.empty() ? 0 : plain.verts[0].xyz[0];
    EXPECT_FLOAT_EQ(plainX, 640 - 16);
    const reHeadlessSurface_t &escaped = Draw("\xA4" "03ab", CL_DRAW_CENTER, nullptr, 320, 240);
    ASSERT_FALSE(escaped.verts.empty());
    EXPECT_FLOAT_EQ(escaped.verts[0].xyz[0], plainX);
    EXPECT_FLOAT_EQ(escaped.verts[0].xyz[1], 960 - 480 - 1 - 32 + 16);
}

TEST_F(Fonts, LongStringsDrawTheirFirst200Bytes) {
    const std::string text(300, 'x');
    EXPECT_EQ(Draw(text, 0).verts.size(), 4u * CL_MAX_DRAW_CHARS);
    // A zero byte inside the length is drawn like any other byte.
    EXPECT_EQ(Draw(std::string("a\0b", 3), 0).verts.size(), 12u);
}

TEST_F(Fonts, NothingIsDrawnWithoutAGlyphGrid) {
    Write("fonts/nogrid.font", "charWidth 8 charHeight 8 picWidth 16 picHeight 16 material fonts/glyphs.material\n");
    const int32_t noGrid = CL_RegisterFont("fonts/nogrid.font");
    ASSERT_GT(noGrid, 0);
    RE_BeginFrame();
    CL_DrawString(0, 0, 0, 1, "abc", 3, nullptr, noGrid, 0);  // charsPerLine 0
    CL_DrawString(0, 0, 0, 1, "abc", 3, nullptr, 0, 0);       // the dummy font
    CL_DrawString(0, 0, 0, 1, "abc", 0, nullptr, font, 0);    // nothing to draw
    RE_UnregisterMaterial(0);                                 // the image is gone: size 0
    CL_DrawString(0, 0, 0, 1, "abc", 3, nullptr, font, 0);
    EXPECT_EQ(re_headless.frame.surfaces, 0);
}

TEST_F(Fonts, DrawersSkipWhenTheRendererHasNoSurface) {
    RE_BeginFrame();
    for (int i = 0; i < RE_HEADLESS_SURFACES; i++) ASSERT_NE(RE_AllocSurfaces(SURFACE_LAYOUT_COLOR, 0), nullptr);
    const drawVert_t verts[3] = {};
    const int32_t indexes[3] = {0, 1, 2};
    CL_DrawString(0, 0, 0, 1, "abc", 3, nullptr, font, 0);
    CL_DrawTrisPic(0, verts, indexes, 3, 3, 1, 0);
    EXPECT_EQ(re_headless.frame.surfaces, 0);
    re = re_null;  // the null renderer hands out nothing at all
    CL_DrawString(0, 0, 0, 1, "abc", 3, nullptr, font, 0);
    CL_DrawTrisPic(0, verts, indexes, 3, 3, 1, 1);
}

TEST_F(Fonts, TrianglePicturesAreOne2DSurface) {
    drawVert_t verts[3] = {};
    verts[1].xyz[0] = 5;
    const int32_t indexes[3] = {0, 1, 2};
    RE_BeginFrame();
    CL_DrawTrisPic(2, verts, indexes, 3, 3, -7, 0);
    CL_DrawTrisPic(2, verts, indexes, 3, 3, -7, 1);
    ASSERT_EQ(re_headless.surfaces.size(), 2u);
    const reHeadlessSurface_t &s = re_headless.surfaces[0];
    EXPECT_EQ(s.flags, static_cast<uint32_t>(SURFACE_FLAG_2D));
    EXPECT_EQ(re_headless.surfaces[1].flags, static_cast<uint32_t>(SURFACE_FLAG_2D | SURFACE_FLAG_OPTION));
    EXPECT_EQ(s.destination, 2);
    EXPECT_EQ(s.material, -7);
    ASSERT_EQ(s.verts.size(), 3u);
    EXPECT_EQ(s.verts[1].xyz[0], 5);
    EXPECT_EQ(s.indexes, (std::vector<int32_t>{0, 1, 2}));
}

TEST(ShippedFonts, EveryFontTheGameNamesHasAGlyphGridAndAMaterial) {
    hm_test::FsDir dir;
    hm_test::StartCapture();
    RE_InstallHeadless();
    std::filesystem::copy(std::string(HM_SOURCE_DIR) + "/data/game", dir.path() + "/game",
                          std::filesystem::copy_options::recursive);
    CL_UnregisterFont(0);
    CL_RegisterDummyFont();
    for (const char *name : {"small", "normal", "big", "huge", "pretty_big", "center", "console", "console_notify",
                             "chat"}) {
        const std::string file = std::string("game/base/") + name + ".font";
        const int32_t font = CL_RegisterFont(file.c_str());
        ASSERT_GT(font, 0) << file;
        const font_t *f = CL_GetFont(font);
        EXPECT_GT(f->charWidth, 0) << file;
        EXPECT_GT(f->charHeight, 0) << file;
        EXPECT_GT(f->charsPerLine, 0) << file;
        EXPECT_GT(f->picWidth, 0) << file;
    }
    EXPECT_TRUE(hm_test::captured.errors.empty()) << hm_test::AllErrors();
    CL_UnregisterFont(0);
    re = re_null;
    snd = snd_null;
    hm_test::StopCapture();
}

// ---- the test renderer ----

TEST(HeadlessRenderer, GivesHandlesForExistingFilesAndCountsEachFrame) {
    hm_test::FsDir dir;
    RE_InstallHeadless();
    for (const char *name : {"a.material", "b.material", "s.wav"}) std::ofstream(dir.path() + "/" + name) << "x";
    EXPECT_EQ(RE_RegisterMaterial("a.material"), 1);
    EXPECT_EQ(RE_RegisterMaterial("b.material"), 2);
    EXPECT_EQ(RE_RegisterMaterial("a.material"), 1);
    EXPECT_EQ(RE_RegisterMaterial("missing.material"), 0);
    EXPECT_EQ(RE_GetMaterialWidth(2), RE_HEADLESS_IMAGE_SIZE);
    RE_UnregisterMaterial(2);
    EXPECT_EQ(RE_GetMaterialWidth(2), 0);
    EXPECT_EQ(RE_RegisterMaterial("b.material"), 2);
    EXPECT_EQ(SND_RegisterSound("s.wav"), 1);
    EXPECT_EQ(SND_RegisterSound("none.wav"), 0);

    rendererConfig_t config{};
    RE_GetRendererConfig(&config);
    EXPECT_EQ(config.width, RE_HEADLESS_WIDTH);
    EXPECT_EQ(config.height, RE_HEADLESS_HEIGHT);
    EXPECT_EQ(RE_GetRenderDestHeight(3), RE_HEADLESS_HEIGHT);

    RE_BeginFrame();
    auto *bones = static_cast<float *>(RE_Alloc(10 * 48));
    ASSERT_NE(bones, nullptr);
    bones[10 * 12 - 1] = 1.0f;  // the whole block is the caller's
    EXPECT_NE(RE_AllocLight(3, nullptr, 0), nullptr);
    surface_t *s = RE_AllocSurfaces(SURFACE_LAYOUT_COLOR, 0);
    ASSERT_NE(s, nullptr);
    s->numVerts = 4;
    s->numIndexes = 6;
    RE_AddSurfaces(s, 1);
    RE_AddLight(nullptr);
    RE_AddSurfaceEntity(nullptr);
    RE_RenderScene(nullptr, nullptr);
    EXPECT_EQ(re_headless.frame.surfaces, 1);
    EXPECT_EQ(re_headless.frame.vertexes, 4);
    EXPECT_EQ(re_headless.frame.indexes, 6);
    EXPECT_EQ(re_headless.frame.lights, 1);
    EXPECT_EQ(re_headless.frame.instances, 1);
    EXPECT_EQ(re_headless.frame.scenes, 1);
    RE_BeginFrame();
    EXPECT_EQ(re_headless.frame.surfaces, 0);
    EXPECT_EQ(re_headless.total.surfaces, 1);
    EXPECT_EQ(re_headless.total.frames, 2);
    re = re_null;
    snd = snd_null;
}

}  // namespace
