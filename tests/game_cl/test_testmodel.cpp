// The test models and the test light: slots, attachment to a parent's tag, the
// pose at the test time and the console command that loads them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "game_cl/cg_commands.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_drawents.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_testmodel.h"
#include "game_cl/cg_utils.h"
#include "tests/game/fake_engine.h"
#include "tests/game_cl/model_files.h"

namespace {

// Bone 0 moves frame-number units along x.
model_files::am2Record_t Counting(int32_t frame, int32_t bone) {
    return {static_cast<uint8_t>(bone == 0), {static_cast<float>(frame), 0, 0, 0, 0, 0}};
}

struct TestModels : model_files::ModelTable {
    int32_t qmod = 0;
    void SetUp() override {
        ModelTable::SetUp();
        fake::flatWorld = true;
        memset(&cg, 0, sizeof cg);
        cg.flatGravity = 1;
        CG_RegisterVariables();
        CG_RegisterCommands();
        fake::surfaceEntityBytes = sizeof(surfaceEntity_t);
        fake::files["ten.am2"] = model_files::AM2(10, 3, Counting);
        // The chain skeleton: TAG_flag 2 up from the model, on no bone.
        fake::files["t.model"] = "model chain.bo2\nlod 0 t.lo2\nanimation walk ten.am2\n";
        qmod = CG_LoadModel("t.model");
        ASSERT_NE(qmod, 0);
        fake::Set("tm_x", "1");
    }
    void TearDown() override {
        memset(cg.tmModels, 0, sizeof cg.tmModels);
        ModelTable::TearDown();
    }
    static std::vector<surfaceEntity_t> Instances() {
        std::vector<surfaceEntity_t> out(fake::surfaceEntities.size());
        for (size_t i = 0; i < out.size(); i++) memcpy(&out[i], fake::surfaceEntities[i].data(), sizeof out[i]);
        return out;
    }
    void Load(int32_t slot, float baseX, int32_t parent, const char *tag) {
        cg.tmModels[slot] = qmod;
        cg.tmPositions[slot][0] = baseX;
        cg.tmTagSlots[slot] = parent;
        strcpy(cg.tmTagNames[slot], tag);
    }
};

TEST_F(TestModels, SlotsAreDrawnInOrderUpToTheFirstEmptyOne) {
    Load(2, 0, 0, "");
    CG_AddTestModelToScene();
    EXPECT_TRUE(fake::surfaceEntities.empty()) << "slots 0 and 1 are empty";
    Load(0, 0, 0, "");
    CG_AddTestModelToScene();
    EXPECT_EQ(fake::surfaceEntities.size(), 1u) << "slot 1 is empty";
}

TEST_F(TestModels, AttachedSlotsHangOnTheParentsTagOrStandByTheOffsets) {
    Load(0, 0, 0, "");
    Load(1, 5, 0, "TAG_flag");
    Load(2, 5, 0, "TAG_none");   // the parent has no such tag
    Load(3, 5, 3, "TAG_flag");   // its own tags are not placed yet
    CG_AddTestModelToScene();
    const std::vector<surfaceEntity_t> parts = Instances();
    ASSERT_EQ(parts.size(), 4u);
    // tm_x runs along the right row of the local frame at the base point: +x at the
    // world's origin, +z at (5, 0, 0).
    const float expected[4][3] = {{1, 0, 0}, {1, 2, 0}, {5, 0, 1}, {5, 0, 1}};
    for (int i = 0; i < 4; i++)
        for (int k = 0; k < 3; k++) EXPECT_NEAR(parts[i].origin[k], expected[i][k], 1e-5f) << i << " " << k;
}

TEST_F(TestModels, PoseIsHeldAtTheTestTime) {
    Load(0, 0, 0, "");
    fake::Set("tm_anim1", "walk");
    fake::Set("tm_anim2", "no such animation");
    cg.tmTime = 0.5f;
    CG_AddTestModelToScene();
    CG_AddTestModelToScene();  // nothing moves on between frames
    const std::vector<surfaceEntity_t> parts = Instances();
    ASSERT_EQ(parts.size(), 2u);
    for (const surfaceEntity_t &e : parts) {
        ASSERT_EQ(e.numBones, 3);
        EXPECT_NEAR(e.bones[0][3], 4.5f, 1e-4f);  // half way through ten frames
    }
    ASSERT_TRUE(fake::Run("tm_clearTime"));
    EXPECT_EQ(cg.tmTime, 0.0f);
}

TEST_F(TestModels, LoopingAnimationsWrapOnceTheTestTimePassesOne) {
    fake::files["w.model"] = "model chain.bo2\nlod 0 t.lo2\nanimation walk ten.am2\n"
                             "animation loop ten.am2 {\n endAction REPEAT\n}\n"
                             "animation swing ten.am2 {\n endAction MIRROR\n}\n";
    qmod = CG_LoadModel("w.model");
    ASSERT_NE(qmod, 0);
    Load(0, 0, 0, "");
    const struct {
        const char *anim;
        float time, frame;
    } cases[] = {
        {"loop", 1.5f, 5.0f},       // the second pass, half way
        {"loop", 3.25f, 2.5f},
        {"swing", 1.25f, 6.75f},    // the second pass runs backwards
        {"swing", 2.25f, 2.25f},
        {"walk", 1.5f, 8.9991f},    // CLAMP stays on its last frame
    };
    for (const auto &c : cases) {
        fake::Set("tm_anim0", c.anim);
        cg.tmTime = c.time;
        fake::surfaceEntities.clear();
        CG_AddTestModelToScene();
        const std::vector<surfaceEntity_t> parts = Instances();
        ASSERT_EQ(parts.size(), 1u);
        EXPECT_NEAR(parts[0].bones[0][3], c.frame, 1e-3f) << c.anim << " at " << c.time;
    }
}

TEST_F(TestModels, LoadCommandClampsSlotsAndAttachesOnlyWithATag) {
    struct loadCase_t {
        const char *line;
        int slot, parent;
        const char *tag;
    } cases[] = {
        {"tm_loadModel t.model", 0, 0, ""},
        {"tm_loadModel t.model 9", 3, 0, ""},
        {"tm_loadModel t.model -2", 0, 0, ""},
        {"tm_loadModel t.model 2 7", 2, 0, ""},
        {"tm_loadModel t.model 1 -4 TAG_a_very_long_tag_name", 1, 0, "TAG_a_very_long"},
        {"tm_loadModel t.model 2 3 TAG_flag", 2, 3, "TAG_flag"},
    };
    for (const loadCase_t &c : cases) {
        memset(cg.tmModels, 0, sizeof cg.tmModels);
        cg.predicted.origin[1] = 7;
        ASSERT_TRUE(fake::Run(c.line));
        EXPECT_EQ(cg.tmModels[c.slot], qmod) << c.line;
        EXPECT_EQ(cg.tmTagSlots[c.slot], c.parent) << c.line;
        EXPECT_STREQ(cg.tmTagNames[c.slot], c.tag) << c.line;
        EXPECT_EQ(cg.tmPositions[c.slot][1], 7) << c.line;
    }
    fake::prints.clear();
    memset(cg.tmModels, 0, sizeof cg.tmModels);
    ASSERT_TRUE(fake::Run("tm_loadModel"));
    ASSERT_TRUE(fake::Run("tm_loadModel a b c d e"));
    EXPECT_EQ(fake::prints, std::vector<std::string>(2, "USAGE: tm_loadmodel <model path> [<slot> <tag slot> <tag name>]"));
    fake::prints.clear();
    ASSERT_TRUE(fake::Run("tm_loadModel missing.model 1"));
    EXPECT_EQ(cg.tmModels[1], 0);
    EXPECT_EQ(fake::prints, std::vector<std::string>{"Could not load \"missing.model\""});
}

TEST_F(TestModels, TestLightShinesFromTheEyeOnlyWhenSwitchedOn) {
    cg.predicted.eyeHeight = 1.5f;
    CG_AddTestLightToScene();
    EXPECT_TRUE(fake::lights.empty());
    fake::Set("tm_light", "1");
    fake::Set("tm_light_radius", "12");
    fake::Set("tm_light_green", "0.5");
    fake::Set("tm_light_intensity", "2");
    CG_AddTestLightToScene();
    ASSERT_EQ(fake::lights.size(), 1u);
    cgLight_t l;
    memcpy(&l, fake::lights[0].data(), sizeof l);
    EXPECT_EQ(l.kind, CG_LIGHT_POINT);
    EXPECT_EQ(l.flag, 1);
    EXPECT_EQ(l.origin[1], 1.5f);
    EXPECT_EQ(l.range, 12);
    EXPECT_EQ(l.color[1], 0.5f);
    EXPECT_EQ(l.intensity[0], 2);
    EXPECT_EQ(l.intensity[1], 2);
}

}  // namespace
