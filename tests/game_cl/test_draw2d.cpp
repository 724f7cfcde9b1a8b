// The client game's pictures and text, through the stand-in engine's traps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "game_cl/cg_cvars.h"
#include "game_cl/cg_draw2d.h"
#include "game_cl/cg_drawents.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_main.h"
#include "game_cl/cg_model.h"
#include "game_cl/cg_view.h"
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

class Draw3DModel : public testing::Test {
protected:
    void SetUp() override {
        fake::Install();
        CG_RegisterVariables();
        cg.loadingBlocked = 0;
        CG_UnloadModel(0);
        CG_LoadDefaultModel();
        fake::registerFromFiles = true;
        fake::files["a.lo2"] = "lod";
        fake::files["s.material"] = "material";
        fake::sceneRecordBytes[0] = sizeof(refdef_t);
        fake::sceneRecordBytes[1] = sizeof(viewParams_t);
        fake::surfaceEntityBytes = sizeof(surfaceEntity_t);
    }
    void TearDown() override {
        CG_UnloadModel(0);
        fake::Uninstall();
    }
    static int32_t Load(const char *text) {
        fake::files["m.model"] = text;
        return CG_LoadModel("m.model");
    }
};

TEST_F(Draw3DModel, ModelIsRenderedAloneIntoItsRectangle) {
    fake::Set("cg_aspectRatio", "1");
    const int32_t qmod = Load("lod 0 a.lo2\nmaterial skin s.material\n");
    ASSERT_NE(qmod, 0);
    const model_t *m = CG_GetModel(qmod);
    ASSERT_NE(m->lods[0], 0);
    const vec3_t camera = {0, 1, -40}, angles = {0, 90, 0};
    CG_Draw3DModel(0, 40, 30, 320, 240, qmod, camera, angles);

    EXPECT_EQ(fake::sceneClears, std::vector<int32_t>{0x7FFFFFFF});
    ASSERT_EQ(fake::renderedScenes.size(), 1u);
    const auto r = fake::Record<refdef_t>(fake::renderedScenes[0].refdefCopy);
    const auto v = fake::Record<viewParams_t>(fake::renderedScenes[0].viewCopy);
    // 1280 x 960 pixels, counted from the bottom-left corner.
    EXPECT_EQ(r.destination, 0);
    EXPECT_EQ(r.x, 80);
    EXPECT_EQ(r.y, 960 - 60 - 480);
    EXPECT_EQ(r.width, 640);
    EXPECT_EQ(r.height, 480);
    EXPECT_EQ(r.skipWorld, 1);
    EXPECT_EQ(r.skipSky, 1);
    EXPECT_EQ(r.fogModel, 0);
    EXPECT_FLOAT_EQ(r.fogFactor, 0);
    EXPECT_EQ(std::vector<float>(v.origin, v.origin + 3), std::vector<float>(camera, camera + 3));
    EXPECT_EQ(memcmp(v.axis, identitymatrix3x3, sizeof v.axis), 0);
    EXPECT_FLOAT_EQ(v.fovX, 16.0f / 9.0f * 22.5f);
    EXPECT_FLOAT_EQ(v.fovY, 22.5f);
    EXPECT_FLOAT_EQ(v.zNear, 0.1f);

    EXPECT_EQ(fake::surfaceEntitySetups, 1);
    ASSERT_EQ(fake::surfaceEntities.size(), 1u);
    const auto e = fake::Record<surfaceEntity_t>(fake::surfaceEntities[0]);
    EXPECT_EQ(e.flags, CG_INSTANCE_DETAIL);
    EXPECT_EQ(e.lod, m->lods[0]);
    EXPECT_EQ(e.materials[0], m->materials[0]);
    EXPECT_NE(e.materials[0], 0);
    EXPECT_EQ(std::vector<float>(e.origin, e.origin + 3), (std::vector<float>{0, 0, 0}));
    matrix3x3_t turned;
    BuildRotationMatrix3x3(turned, angles);
    EXPECT_EQ(memcmp(e.axis, turned, sizeof turned), 0);
    EXPECT_EQ(e.numBones, 0);
}

// The placeholder, a handle out of range and a model whose level of detail the
// renderer refused leave the scene alone.
TEST_F(Draw3DModel, ModelWithNothingToShowDrawsNothing) {
    const int32_t unregistered = Load("lod 0 gone.lo2\n");
    const vec3_t zero = {0, 0, 0};
    for (const int32_t qmod : {0, -3, 99, unregistered}) {
        SCOPED_TRACE(qmod);
        CG_Draw3DModel(0, 0, 0, 640, 480, qmod, zero, zero);
    }
    EXPECT_TRUE(fake::sceneClears.empty());
    EXPECT_TRUE(fake::renderedScenes.empty());
    EXPECT_TRUE(fake::surfaceEntities.empty());
}

}  // namespace
