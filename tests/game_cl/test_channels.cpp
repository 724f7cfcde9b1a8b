// Animation channels: playing, holding, chaining, frame actions, sampling, skeleton
// resolution and tag placement.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "game_cl/cg_channels.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_drawents.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_model.h"
#include "tests/game/fake_engine.h"
#include "tests/game_cl/model_files.h"

namespace {

using namespace model_files;

// Bone 0 moves frame-number units along x; bone 1 is present in frame 0 only, 2
// units along x.
am2Record_t Counting(int32_t frame, int32_t bone) {
    if (bone == 0) return {1, {static_cast<float>(frame), 0, 0, 0, 0, 0}};
    if (bone == 1) return {static_cast<uint8_t>(frame == 0), {2, 0, 0, 0, 0, 0}};
    return {0, {}};
}

struct Channels : ModelTable {
    model_t *model = nullptr;
    channel_t ch{};

    void SetUp() override {
        ModelTable::SetUp();
        qgame.frameSeconds = 0.1f;
        fake::files["ten.am2"] = AM2(10, 3, Counting);
        fake::files["five.am2"] = AM2(5, 3, Counting);
        fake::files["m.model"] =
            "model chain.bo2\nlod 0 a.lo2\n"
            "animation loop ten.am2 {\n endAction REPEAT\n}\n"
            "animation swing five.am2 {\n endAction MIRROR\n}\n"
            "animation once ten.am2 {\n speed 2\n frame 0 bogus at0\n frame 1 bogus at1\n frame 5 bogus at5\n}\n"
            "animation lead ten.am2 {\n goto loop\n}\n"
            "animation back ten.am2 {\n speed -1\n}\n"
            "animation dead ten.am2 {\n goto missing\n}\n";
        const int32_t qmod = CG_LoadModel("m.model");
        ASSERT_NE(qmod, 0);
        model = CG_GetModel(qmod);
        CG_SetupChannel(&ch, model, 0);
        fake::errors.clear();
    }
    // The frame actions that ran, by their marks.
    static std::vector<std::string> Ran() {
        std::vector<std::string> out;
        for (const fake::error_t &e : fake::errors) {
            const size_t at = e.text.find("\" at");
            if (at == std::string::npos) {
                const size_t open = e.text.find(" at");
                if (open != std::string::npos) out.push_back(e.text.substr(open + 1, 3));
            } else {
                out.push_back(e.text.substr(at + 2, 3));
            }
        }
        return out;
    }
    // Samples the channel into identity locals; bone 0's and bone 1's x.
    std::pair<float, float> Sample() {
        matrix3x4_t locals[3];
        CG_ClearBoneStates(3, locals);
        CG_ExtractChannel(locals, &ch);
        return {locals[0][3], locals[1][3]};
    }
};

TEST_F(Channels, SamplingFollowsTheEndActionsAndBlendsNeighbourFrames) {
    struct sampleCase_t {
        const char *anim;
        float time;
        float bone0, bone1;
    };
    const sampleCase_t cases[] = {
        {"loop", 0.95f, 4.5f, 1.0f},  // frame 9.5: the last frame blends into the first
        {"loop", 0.0f, 0.0f, 2.0f},
        {"loop", 0.05f, 0.5f, 1.0f},  // bone 1 only in frame 0: half way toward identity
        {"swing", 1.25f, 3.0f, 0.0f}, // the second pass runs backwards
        {"once", 2.0f, 0.9999f * 9, 0.0f},
        {"once", -1.0f, 0.0f, 2.0f},
    };
    for (const sampleCase_t &c : cases) {
        CG_PutToChannel(&ch, c.anim, nullptr, 0);
        ASSERT_EQ(ch.state, CHANNEL_PLAYING) << c.anim;
        ch.time = c.time;
        const auto [b0, b1] = Sample();
        EXPECT_NEAR(b0, c.bone0, 1e-3f) << c.anim << " at " << c.time;
        EXPECT_NEAR(b1, c.bone1, 1e-3f) << c.anim << " at " << c.time;
    }
    EXPECT_TRUE(fake::errors.empty());
}

TEST_F(Channels, FinishingKeepingAndMissingAnimations) {
    CG_PutToChannel(&ch, "once", nullptr, 0);
    ch.time = 1.0f;
    EXPECT_FALSE(CG_IsChannelFinished(&ch));
    ch.time = 2.0f;
    EXPECT_TRUE(CG_IsChannelFinished(&ch));
    CG_PutToChannel(&ch, "loop", nullptr, 0);
    ch.time = 7.0f;
    EXPECT_FALSE(CG_IsChannelFinished(&ch)) << "a repeating animation never finishes";
    EXPECT_TRUE(CG_IsChannelFinished(nullptr));

    ch.time = 0.4f;
    CG_PutToChannel(&ch, "loop", nullptr, 1);
    EXPECT_FLOAT_EQ(ch.time, 0.4f) << "keep goes on with the animation already playing";
    CG_PutToChannel(&ch, "loop", nullptr, 0);
    EXPECT_FLOAT_EQ(ch.time, 0.0f);
    CG_PutToChannel(&ch, "back", nullptr, 0);
    EXPECT_FLOAT_EQ(ch.time, 1.0f) << "a backwards animation starts at its end";

    CG_PutToChannel(&ch, "nothing", nullptr, 0);
    EXPECT_EQ(ch.state, CHANNEL_EMPTY);
    EXPECT_TRUE(CG_IsChannelFinished(&ch));
    channel_t bare{};
    CG_PutToChannel(&bare, "loop", nullptr, 0);
    EXPECT_EQ(bare.state, CHANNEL_EMPTY) << "a channel without a model is left alone";
    EXPECT_EQ(Sample().first, 0.0f) << "an empty channel writes nothing";
}

TEST_F(Channels, GotoChainsIntoTheNextAnimationWithinOneUpdate) {
    centity_t *owner = reinterpret_cast<centity_t *>(&ch);  // any word passes on
    CG_PutToChannel(&ch, "lead", owner, 0);
    ch.time = 1.05f;
    CG_UpdateChannel(&ch);
    ASSERT_EQ(ch.state, CHANNEL_PLAYING);
    EXPECT_STREQ(ch.modelAnim->name, "loop");
    EXPECT_NEAR(ch.time, 0.1f, 1e-6f) << "started at 0 and advanced in the same update";
    EXPECT_EQ(ch.owner, owner);

    CG_PutToChannel(&ch, "dead", owner, 0);
    ch.time = 1.5f;
    CG_UpdateChannel(&ch);
    EXPECT_EQ(ch.state, CHANNEL_EMPTY) << "a goto naming no animation ends the channel";
}

TEST_F(Channels, FrameActionsRunOnceWhenTheirFrameIsPassed) {
    CG_PutToChannel(&ch, "once", nullptr, 0);
    CG_UpdateChannel(&ch);  // time 0.2: frame 0 to 1.8
    EXPECT_EQ(Ran(), (std::vector<std::string>{"at1"})) << "the lower bound is exclusive";
    fake::errors.clear();
    CG_UpdateChannel(&ch);  // frame 1.8 to 3.6
    EXPECT_TRUE(Ran().empty());
    CG_UpdateChannel(&ch);  // frame 3.6 to 5.4
    EXPECT_EQ(Ran(), (std::vector<std::string>{"at5"}));

    // Holding runs the actions between the last hold and this one, either way.
    fake::errors.clear();
    CG_PutFractionToChannel(&ch, "once", nullptr, 0.7f);  // a new hold counts from frame 0
    EXPECT_EQ(Ran(), (std::vector<std::string>{"at1", "at5"}));
    fake::errors.clear();
    CG_PutFractionToChannel(&ch, "once", nullptr, 0.05f);
    EXPECT_EQ(Ran(), (std::vector<std::string>{"at1", "at5"}));
    fake::errors.clear();
    CG_PutFractionToChannel(&ch, "once", nullptr, 0.06f);
    EXPECT_TRUE(Ran().empty());
}

TEST_F(Channels, HoldingAndResuming) {
    CG_PutFractionToChannel(&ch, "back", nullptr, 0.25f);
    EXPECT_EQ(ch.state, CHANNEL_HELD);
    EXPECT_FLOAT_EQ(ch.time, 0.75f) << "a backwards animation is held from its end";
    CG_UpdateChannel(&ch);
    EXPECT_FLOAT_EQ(ch.time, 0.75f) << "a held channel does not advance";
    CG_ResumeChannel(&ch);
    EXPECT_EQ(ch.state, CHANNEL_EMPTY);

    CG_PutFractionToChannel(&ch, "lead", nullptr, 0.5f);
    CG_ResumeChannel(&ch);
    EXPECT_EQ(ch.state, CHANNEL_PLAYING);
    EXPECT_STREQ(ch.modelAnim->name, "loop");

    // Fractions come from the server: anything that is not a number within 0..1 is
    // brought into it rather than stopping the client when sampled.
    for (float f : {NAN, INFINITY, -3.0f, 7.0f}) {
        CG_PutFractionToChannel(&ch, "once", nullptr, f);
        EXPECT_GE(ch.time, 0.0f);
        EXPECT_LE(ch.time, 1.0f);
        Sample();
    }
    for (const fake::error_t &e : fake::errors) EXPECT_NE(e.level, ER_FATAL) << e.text;
}

TEST_F(Channels, ReleasedOrReloadedAnimationsNeverStopTheClient) {
    auto noFatal = [] {
        for (const fake::error_t &e : fake::errors) EXPECT_NE(e.level, ER_FATAL) << e.text;
        fake::errors.clear();
    };
    // Animations released below the model: its names point at handles that are gone.
    CG_PutToChannel(&ch, "swing", nullptr, 0);
    CG_UnloadAnimation(1);
    CG_PutToChannel(&ch, "loop", nullptr, 0);
    EXPECT_EQ(ch.state, CHANNEL_EMPTY);
    CG_PutFractionToChannel(&ch, "loop", nullptr, 0.5f);
    EXPECT_EQ(ch.state, CHANNEL_EMPTY);
    Sample();
    noFatal();

    // Loaded again from a definition that needs fewer animation records: the model
    // animation kept playing is the same, its old record is now past the table.
    CG_UnloadModel(1);
    ASSERT_EQ(CG_LoadModel("m.model"), 1);
    CG_PutToChannel(&ch, "swing", nullptr, 0);  // record 2
    CG_UnloadModel(1);
    CG_UnloadAnimation(1);
    fake::files["m.model"] = "model chain.bo2\nlod 0 a.lo2\n"
                             "animation loop five.am2 {\n endAction REPEAT\n}\n"
                             "animation swing five.am2 {\n endAction MIRROR\n}\n";
    ASSERT_EQ(CG_LoadModel("m.model"), 1);
    ASSERT_EQ(CG_GetNumAnimations(), 2);
    noFatal();
    CG_PutToChannel(&ch, "swing", nullptr, 1);  // what a player's think does every frame
    EXPECT_EQ(ch.animation, CG_GetAnimation(1));
    ch.time = 0.5f;
    EXPECT_NEAR(Sample().first, 2.0f, 1e-4f);
    noFatal();
}

TEST_F(Channels, SkeletonResolutionAndTagsMatchHandComputedMatrices) {
    struct tagCase_t {
        const char *what;
        int32_t bone;
        matrix3x4_t local;
        float axis[9];
        vec3_t origin;
        vec3_t hand, handRight, handUp;
        vec3_t flag;
    };
    const tagCase_t cases[] = {
        // The root turned a quarter about z carries the hand with it.
        {"root turned", 0, {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0},
         {-0.2f, 0.1f, 0.3f}, {0, 1, 0}, {-1, 0, 0}, {0, 2, 0}},
        // A bone moved along its own x, which its rest pose turns onto y.
        {"hand moved", 2, {1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0},
         {0.1f, 1.2f, 0.3f}, {1, 0, 0}, {0, 1, 0}, {0, 2, 0}},
        // The entity's frame and origin place everything in the world.
        {"entity turned", 0, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}, {0, 1, 0, -1, 0, 0, 0, 0, 1}, {10, 20, 30},
         {9.8f, 20.1f, 30.3f}, {0, 1, 0}, {-1, 0, 0}, {8, 20, 30}},
    };
    for (const tagCase_t &c : cases) {
        matrix3x4_t locals[3], absolutes[3];
        CG_ClearBoneStates(3, locals);
        MatrixCopy3x4(locals[c.bone], c.local);
        CG_LocalsToAbsolutes_r(absolutes, locals, model->rootBone, model);
        tagState_t states[2];
        ASSERT_EQ(CG_SetupTagStates(states, 3, absolutes, model, c.axis, c.origin), 2);
        const tagState_t *hand = CG_GetTagState(2, states, "TAG_hand_r");
        const tagState_t *flag = CG_GetTagState(2, states, "TAG_flag");
        ASSERT_TRUE(hand && flag);
        for (int k = 0; k < 3; k++) {
            EXPECT_NEAR(hand->origin[k], c.hand[k], 1e-5f) << c.what << " hand " << k;
            EXPECT_NEAR(hand->axis[k], c.handRight[k], 1e-5f) << c.what << " right " << k;
            EXPECT_NEAR(hand->axis[3 + k], c.handUp[k], 1e-5f) << c.what << " up " << k;
            EXPECT_NEAR(flag->origin[k], c.flag[k], 1e-5f) << c.what << " flag " << k;
        }
    }
    // Without bones the tags are the model's own, placed by the entity.
    tagState_t states[2];
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const vec3_t zero = {0, 0, 0};
    CG_SetupTagStates(states, 0, nullptr, model, identity, zero);
    EXPECT_FLOAT_EQ(states[0].origin[1], 0.2f);
    EXPECT_FLOAT_EQ(states[1].axis[2], 1.0f) << "the flag tag's own axis";
    EXPECT_EQ(CG_GetTagState(2, states, "TAG_hand"), nullptr) << "names compare exactly";
    EXPECT_EQ(CG_GetTagState(2, nullptr, "TAG_flag"), nullptr);
}

}  // namespace

namespace {

// The two model drawers every other one builds on: a model instance with its level,
// materials and flags, and the animated one posed by its channels.
struct ModelDrawers : model_files::ModelTable {
    void SetUp() override {
        ModelTable::SetUp();
        CG_RegisterVariables();
        fake::surfaceEntityBytes = sizeof(surfaceEntity_t);
        fake::files["ten.am2"] = model_files::AM2(10, 3, Counting);
        fake::materialHandles["skin.material"] = 7;
        fake::files["m.model"] = "model chain.bo2\nlod 0 a.lo2\nmaterial skin skin.material\n"
                                 "animation loop ten.am2 {\n endAction REPEAT\n}\n";
        qmod = CG_LoadModel("m.model");
        ASSERT_NE(qmod, 0);
    }
    int32_t qmod = 0;
    static surfaceEntity_t Instance(size_t i) {
        surfaceEntity_t e;
        memcpy(&e, fake::surfaceEntities.at(i).data(), sizeof e);
        return e;
    }
};

TEST_F(ModelDrawers, StaticAndAnimatedInstances) {
    const float axis[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const vec3_t origin = {1, 2, 3};
    CG_DrawStaticModel(qmod, origin, axis, 1, 1);
    ASSERT_EQ(fake::surfaceEntities.size(), 1u);
    surfaceEntity_t e = Instance(0);
    EXPECT_EQ(e.flags, CG_INSTANCE_OWN_BODY | CG_INSTANCE_DETAIL);
    EXPECT_EQ(e.numBones, 0);
    EXPECT_EQ(e.materials[0], 7);
    EXPECT_EQ(e.lod, CG_GetModel(qmod)->lods[0]);

    channel_t channels[CG_ENTITY_CHANNELS]{};
    CG_SetupChannel(&channels[0], CG_GetModel(qmod), 0);
    CG_PutFractionToChannel(&channels[0], "loop", nullptr, 0.3f);  // frame 3
    CG_DrawAnimModel(qmod, origin, axis, channels, 99, 0);
    ASSERT_EQ(fake::surfaceEntities.size(), 2u);
    e = Instance(1);
    EXPECT_STREQ(e.name, "CG_DrawAnimModel");
    EXPECT_EQ(e.flags, 0u);
    EXPECT_EQ(e.materials[7], 99) << "the override material fills every slot";
    ASSERT_EQ(e.numBones, 3);
    EXPECT_NEAR(e.bones[0][3], 3.0f, 1e-4f);
    EXPECT_EQ(cg.numLastBones, 3);
    EXPECT_NEAR(cg.lastBones[2][3], 3.0f, 1e-4f) << "the child moves with the root";

    cg_skipModels.integer = 1;
    CG_DrawStaticModel(qmod, origin, axis, 0, 0);
    CG_DrawAnimModel(qmod, origin, axis, channels, 0, 0);
    cg_skipModels.integer = 0;
    EXPECT_EQ(cg.numLastBones, 0) << "no bones of an earlier model for the caller's tags";
    fake::refuseBones = true;
    CG_DrawAnimModel(qmod, origin, axis, channels, 0, 0);
    fake::refuseBones = false;
    CG_DrawStaticModel(0, origin, axis, 0, 0);
    EXPECT_EQ(fake::surfaceEntities.size(), 2u) << "skipped, out of bone memory, or no model: nothing added";
}

TEST_F(ModelDrawers, AnotherModelsChannelsAndPoseStayOut) {
    // Two roots: the skeleton resolves from the last, bone 0 is never reached.
    fake::files["two.bo2"] = model_files::BO2({model_files::CHAIN[0], model_files::CHAIN[0]}, {});
    fake::files["two.am2"] = model_files::AM2(2, 2, Counting);
    fake::files["two.model"] = "model two.bo2\nlod 0 b.lo2\nanimation loop two.am2\n";
    const int32_t two = CG_LoadModel("two.model");
    ASSERT_NE(two, 0);
    const float axis[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const vec3_t origin = {0, 0, 0};
    channel_t channels[CG_ENTITY_CHANNELS]{};
    CG_SetupChannel(&channels[0], CG_GetModel(qmod), 0);
    CG_PutFractionToChannel(&channels[0], "loop", nullptr, 0.3f);
    CG_DrawAnimModel(qmod, origin, axis, channels, 0, 0);
    ASSERT_NEAR(cg.lastBones[0][3], 3.0f, 1e-4f);

    // The channels still belong to the first model: nothing of them is sampled.
    CG_DrawAnimModel(two, origin, axis, channels, 0, 0);
    ASSERT_EQ(fake::surfaceEntities.size(), 2u);
    const surfaceEntity_t e = Instance(1);
    ASSERT_EQ(e.numBones, 2);
    for (int i = 0; i < 12; i++) {
        EXPECT_FLOAT_EQ(e.bones[0][i], identitymatrix3x4[i]) << "the unreached bone is at rest, element " << i;
        EXPECT_FLOAT_EQ(e.bones[1][i], identitymatrix3x4[i]) << "no channel of its own, element " << i;
    }
}

}  // namespace
