// The client game's pictures and text, through the stand-in engine's traps.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "game_cl/cg_draw2d.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_main.h"
#include "tests/game/fake_engine.h"

namespace {

// Across and up, the pixel rectangle a quad covers.
struct rect_t {
    float x0, x1, y0, y1;
};
rect_t Covered(const fake::trisPic_t &p) {
    rect_t r{1e9f, -1e9f, 1e9f, -1e9f};
    for (const drawVert_t &v : p.verts) {
        r.x0 = std::min(r.x0, v.xyz[0]);
        r.x1 = std::max(r.x1, v.xyz[0]);
        r.y0 = std::min(r.y0, v.xyz[1]);
        r.y1 = std::max(r.y1, v.xyz[1]);
    }
    return r;
}

class Draw2D : public testing::Test {
protected:
    void SetUp() override { fake::Install(); }
};

TEST_F(Draw2D, PicturesMapTheVirtualScreenOntoTheDestination) {
    struct picCase_t {
        float x, y, w, h;
        uint8_t flags;
        rect_t covered;
    };
    const picCase_t cases[] = {
        {320, 240, 64, 48, CG_PIC_CENTER, {576, 704, 432, 528}},
        {10, 20, 30, 40, CG_PIC_PIXELS | CG_PIC_BOTTOM_UP, {10, 40, 20, 60}},
        {0, 0, 640, 480, 0, {0, 1280, 0, 960}},
    };
    for (const picCase_t &c : cases) {
        fake::trisPics.clear();
        CG_DrawStretchPic(3, c.x, c.y, c.w, c.h, nullptr, 5, c.flags);
        ASSERT_EQ(fake::trisPics.size(), 1u);
        const fake::trisPic_t &p = fake::trisPics[0];
        const rect_t r = Covered(p);
        EXPECT_FLOAT_EQ(r.x0, c.covered.x0);
        EXPECT_FLOAT_EQ(r.x1, c.covered.x1);
        EXPECT_FLOAT_EQ(r.y0, c.covered.y0);
        EXPECT_FLOAT_EQ(r.y1, c.covered.y1);
        EXPECT_EQ(p.destination, 3);
        EXPECT_EQ(p.material, 5);
        EXPECT_EQ(p.option, c.flags);
        EXPECT_EQ(p.indexes, (std::vector<int32_t>{0, 1, 2, 0, 2, 3}));
        for (const drawVert_t &v : p.verts) EXPECT_EQ(std::vector<int>(v.rgba, v.rgba + 4), (std::vector<int>{255, 255, 255, 255}));
    }
    // The first corner carries the image's top-left: texture (0, 1).
    EXPECT_FLOAT_EQ(fake::trisPics[0].verts[0].st[1], 1.0f);
    EXPECT_FLOAT_EQ(fake::trisPics[0].verts[0].xyz[1], 960.0f);
}

// Colour components become bytes truncated into 0..255, whatever float they hold.
TEST_F(Draw2D, PictureColoursAreTruncatedIntoBytes) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float colour[4] = {0.5f, 2.0f, -1.0f, nan};
    CG_DrawStretchPic(0, 0, 0, 10, 10, colour, 1, 0);
    ASSERT_EQ(fake::trisPics.size(), 1u);
    for (const drawVert_t &v : fake::trisPics[0].verts)
        EXPECT_EQ(std::vector<int>(v.rgba, v.rgba + 4), (std::vector<int>{127, 255, 0, 0}));
}

TEST_F(Draw2D, LoadingFrameIsABlackScreenAndCentredText) {
    cg.ecl.state = ECL_DISCONNECTED;  // a fresh start: no map change draws loading screens after it
    CG_Init();
    ASSERT_EQ(fake::trisPics.size(), 1u);
    const rect_t r = Covered(fake::trisPics[0]);
    EXPECT_FLOAT_EQ(r.x1 - r.x0, 1280);
    EXPECT_FLOAT_EQ(r.y1 - r.y0, 960);
    EXPECT_EQ(std::vector<int>(fake::trisPics[0].verts[0].rgba, fake::trisPics[0].verts[0].rgba + 4),
              (std::vector<int>{0, 0, 0, 255}));
    ASSERT_EQ(fake::drawnStrings.size(), 1u);
    const fake::drawnString_t &s = fake::drawnStrings[0];
    EXPECT_EQ(s.text, "LOADING...");
    EXPECT_EQ(s.x, 320);
    EXPECT_EQ(s.y, 240);
    EXPECT_EQ(s.flags, CG_TEXT_CENTER | CG_DRAW_SHADOW);
    CG_Shutdown();
}

}  // namespace
