// Model definitions, skeletons, animations and the model table.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_model.h"
#include "tests/game/fake_engine.h"
#include "tests/game_cl/model_files.h"

namespace {

using namespace model_files;

struct Model : ModelTable {
    void SetUp() override {
        ModelTable::SetUp();
        cg_fov.value = 90.0f;
        cg.predicted.zoom = 0.0f;
        cg_lodBias.value = 0.0f;
        cg_printLod.integer = 0;
    }

    // The saved-off and error texts, in order.
    static std::vector<std::string> Reports() {
        std::vector<std::string> out;
        for (const fake::error_t &e : fake::errors)
            if (!e.text.empty()) out.push_back(e.text);
        return out;
    }
    static bool Reported(const std::string &part) {
        for (const std::string &r : Reports())
            if (r.find(part) != std::string::npos) return true;
        return false;
    }
    static int32_t Load(const std::string &path, const std::string &text) {
        fake::files[path] = text;
        return CG_LoadModel(path.c_str());
    }
};

TEST_F(Model, DefinitionKeywordsAndRefusals) {
    fake::files["walk.am2"] = AM2(2, 3);
    fake::files["small.inc"] = "lod 0 inc.lo2";
    fake::files["big.inc"] = std::string(10001, ' ');
    fake::materialHandles["none.material"] = 0;
    std::string seventeen;
    for (int i = 0; i < 17; i++) seventeen += "lod " + std::to_string(i) + " l.lo2\n";
    struct defCase_t {
        std::string text;
        bool loads;
        std::string report;  // a part of the report; "" none expected
    };
    const defCase_t cases[] = {
        {"model chain.bo2\nlod 0 a.lo2\nscale 2\nmaterial skin s.material\n", true, ""},
        {"model chain.bo2\n", false, "m.model(2): m.model: Found no LODs"},
        {seventeen, false, "We only support max 16 LODs"},
        {"lod 0\n", false, "lod <lod level> <LO2 path>"},
        {"bogus\nlod 0 a.lo2\n", false, "m.model(1): m.model: Unknown token \"bogus\""},
        {"model chain.bo2\nmodel chain.bo3\nlod 0 a.lo2\n", false, "We only support max 1 BO2 file"},
        {"model\nlod 0 a.lo2\n", false, "model <BO2 path>"},
        {"lod 0 a.lo2\nmaterial skin\n", false, "material <name> <material path>"},
        {"lod 0 a.lo2\nmaterial skin none.material\n", false, ""},
        {"lod 0 a.lo2\nanimation walk\n", false, "animatoin <name> <am2 path> [{...}]"},
        {"model chain.bo2\nlod 0 a.lo2\nanimation walk walk.am2 {\nspeed 2\n", false, "Animation must end with }"},
        {"model chain.bo2\nlod 0 a.lo2\nanimation name_of_sixteen_c walk.am2\n", false, "longer than 15 characters"},
        {"model chain.bo2\nlod 0 a.lo2\nanimation walk missing.am2\n", false,
         "CG_RegisterModel \"m.model\": Could not load file \"missing.am2\""},
        {"include small.inc\n", true, ""},
        {"include none.inc\nlod 0 a.lo2\n", false, "m.model: Could not open file \"none.inc\""},
        {"include big.inc\nlod 0 a.lo2\n", false, "Max include file size is 10000 bytes"},
        {"model chain.txt\nlod 0 a.lo2\n", true, "We only support .BO2 or .BO3 files"},
        {"model missing.bo2\nlod 0 a.lo2\n", false, "LoadBO2\"missing.bo2\": Could not open file"},
    };
    for (const defCase_t &c : cases) {
        CG_UnloadAnimation(0);
        CG_UnloadModel(1);
        fake::errors.clear();
        const int32_t handle = Load("m.model", c.text);
        EXPECT_EQ(handle != 0, c.loads) << c.text;
        if (!c.report.empty()) {
            EXPECT_TRUE(Reported(c.report)) << c.text;
        } else if (c.loads) {
            EXPECT_TRUE(Reports().empty()) << c.text;
        }
    }
}

TEST_F(Model, ALoadedModelCarriesItsLevelsMaterialsSkeletonAndAnimations) {
    fake::files["walk.am2"] = AM2(4, 3);
    fake::files["inc.model"] = "lod 10 b.lo2\n";
    fake::materialHandles["s.material"] = 42;
    const int32_t h = Load("m.model",
                           "model CHAIN.bo2\n"  // an upper-case name with a lower-case extension: still BO2
                           "include inc.model\nlod 0 a.lo2\nmaterial skin s.material\n"
                           "animation walk walk.am2\nlod 30 c.lo2\n");
    ASSERT_EQ(h, 0) << "the file names are case-sensitive";
    fake::files["CHAIN.bo2"] = fake::files["chain.bo2"];
    CG_UnloadModel(1);
    const int32_t qmod = Load("m.model", fake::files["m.model"]);
    ASSERT_NE(qmod, 0);
    EXPECT_EQ(CG_LoadModel("m.model"), qmod) << "a loaded path gives its slot";
    const model_t *m = CG_GetModel(qmod);
    EXPECT_EQ(m->numLods, 3);
    EXPECT_FLOAT_EQ(m->lodLevels[0], 10.0f) << "the included text comes first";
    EXPECT_EQ(m->numMaterials, 1);
    EXPECT_EQ(m->materials[0], 42);
    EXPECT_EQ(m->numBones, 3);
    EXPECT_EQ(m->rootBone, 0);
    EXPECT_EQ(m->numAnimations, 1);
    const modelAnim_t *walk = CG_GetModelAnimByName(CG_GetModel(qmod), "walk");
    ASSERT_NE(walk, nullptr);
    EXPECT_FLOAT_EQ(walk->speed, 1.0f) << "an animation line without a block";
    EXPECT_EQ(walk->endAction, EA_CLAMP);
    EXPECT_EQ(walk->numFrameActions, 0);
    EXPECT_EQ(CG_GetAnimationByName(CG_GetModel(qmod), "walk")->numFrames, 4);
    EXPECT_EQ(CG_GetModelAnimByName(CG_GetModel(qmod), "run"), nullptr);
    EXPECT_EQ(CG_GetModelAnimByName(nullptr, "walk"), nullptr);
    EXPECT_TRUE(fake::Printed("Model: \"m.model\" ("));
}

TEST_F(Model, AnimationBlocksSetSpeedEndActionsSyncFramesAndFrameActions) {
    fake::files["a.am2"] = AM2(2, 3);
    std::string longLine = "frame 3";
    for (int i = 0; i < 30; i++) longLine += " word_number_" + std::to_string(i);
    std::string manyFrames;
    for (int i = 0; i < 65; i++) manyFrames += "frame " + std::to_string(i) + " act\n";
    const int32_t qmod = Load("m.model",
                              "model chain.bo2\nlod 0 a.lo2\n"
                              "animation g a.am2 {\n goto next\n speed -0.5\n sync 300\n sync -4\n sync 7\n"
                              " frame 2.5 play \"a sound\"\n unknownWord\n}\n"
                              "animation u a.am2 {\n endAction SIDEWAYS\n}\n"
                              "animation r a.am2 {\n endAction REPEAT\n" +
                                  longLine + "\n}\n"
                                  "animation many a.am2 {\n" +
                                  manyFrames + "lod 5 b.lo2\n");
    ASSERT_NE(qmod, 0) << testing::PrintToString(Reports());
    model_t *m = CG_GetModel(qmod);
    const modelAnim_t *g = CG_GetModelAnimByName(m, "g");
    EXPECT_EQ(g->endAction, EA_GOTO) << "goto alone sets the end action";
    EXPECT_STREQ(g->gotoName, "next");
    EXPECT_FLOAT_EQ(g->speed, -0.5f);
    EXPECT_EQ(CG_GetFirstSync(qmod, "g", 0, 255), 0);
    EXPECT_EQ(CG_GetFirstSync(qmod, "g", 1, 254), 7);
    EXPECT_EQ(CG_GetFirstSync(qmod, "g", 8, 255), 255);
    EXPECT_EQ(CG_GetFirstSync(qmod, "g", 8, 254), -1);
    EXPECT_EQ(CG_GetFirstSync(qmod, "g", 5, 4), -1);
    ASSERT_EQ(g->numFrameActions, 1);
    EXPECT_FLOAT_EQ(g->frameActions[0].frame, 2.5f);
    EXPECT_STREQ(g->frameActions[0].action, "play a sound ");
    EXPECT_EQ(CG_GetEndAction(qmod, "u"), EA_CLAMP);
    EXPECT_TRUE(Reported("m.model: Unknown endAction \"SIDEWAYS\""));
    const modelAnim_t *r = CG_GetModelAnimByName(m, "r");
    EXPECT_EQ(r->endAction, EA_REPEAT);
    EXPECT_TRUE(Reported("m.model: frame action line too long"));
    EXPECT_LE(strlen(r->frameActions[0].action), 254u);
    EXPECT_EQ(r->numFrameActions, 1) << "the rest of the line is read as block words";
    const modelAnim_t *many = CG_GetModelAnimByName(m, "many");
    EXPECT_EQ(many->numFrameActions, 64);
    EXPECT_TRUE(Reported("m.model: Max frame action is 64"));
    EXPECT_EQ(m->numLods, 2) << "after a 65th frame action the text is read at the top level";
}

TEST_F(Model, SkeletonRefusals) {
    std::vector<boneSpec_t> selfParent = CHAIN;
    selfParent[1].parent = 1;
    std::vector<boneSpec_t> loop = CHAIN;
    loop[1].parent = 2;
    std::vector<boneSpec_t> parentOut = CHAIN;
    parentOut[2].parent = 3;
    std::vector<boneSpec_t> noRoot = {CHAIN[1], CHAIN[1]};
    noRoot[0].parent = 1;
    noRoot[1].parent = 0;
    std::vector<tagSpec_t> tagOut = CHAIN_TAGS;
    tagOut[0].bone = 3;
    std::string negative = BO2(CHAIN, CHAIN_TAGS);
    fake::PatchWord(negative, 12, static_cast<uint32_t>(-1));
    std::string tooMany = BO2({}, {});
    fake::PatchWord(tooMany, 12, 129);
    const std::string whole = BO2(CHAIN, CHAIN_TAGS);
    struct skelCase_t {
        std::string file, data, report;
    };
    const skelCase_t cases[] = {
        {"s.bo2", "", "shorter than its head"},
        {"s.bo2", ".BO3" + whole.substr(4), "LoadBO2 \"s.bo2\": Bad magic"},
        {"s.bo2", BO2(CHAIN, CHAIN_TAGS, 2), "LoadBO2 \"s.bo2\": Bad version, 2 should be 1"},
        {"s.bo2", negative, "LoadBO2 \"s.bo2\": BO2_BONES_MAX: 128"},
        {"s.bo2", tooMany, "LoadBO2 \"s.bo2\": BO2_BONES_MAX: 128"},
        {"s.bo2", whole.substr(0, whole.size() - 1), "its head announces"},
        {"s.bo2", BO2(selfParent, {}), "is its own ancestor"},
        {"s.bo2", BO2(loop, {}), "is its own ancestor"},
        {"s.bo2", BO2(parentOut, {}), "outside -1..2"},
        {"s.bo2", BO2(noRoot, {}), "RegBO2 \"m.model\": Found no mother bone"},
        {"s.bo2", BO2(CHAIN, tagOut), "Tag 0 is on bone 3"},
        {"s.bo3", "bo3_version 1\n", "RegBO3 \"s.bo3\": Expected bo3_magic first in file"},
        {"s.bo3", "bo3_magic XXXX\n", "RegBO3 \"s.bo3\": Bad magic"},
        {"s.bo3", "bo3_magic BO3M\nnum_bones 1\n", "Expected bo3_version after lo3_magic"},
        {"s.bo3", "bo3_magic BO3M\nbo3_version 2\n", "RegBO3 \"s.bo3\": Bad version number (2 should be 1)"},
        {"s.bo3", "bo3_magic BO3M\nbo3_version 1\nbone_rest_m1 0 1 2 3 4\n",
         "RegBO3 \"s.bo3\": Using bone_rest_m1 command before num_bones"},
        {"s.bo3", "bo3_magic BO3M\nbo3_version 1\ntag_xyz 0 1 2 3\n",
         "RegBO3 \"s.bo3\": Using tag_xyz command before num_tags"},
        {"s.bo3", "bo3_magic BO3M\nbo3_version 1\nnum_bones 1\nbone_parent 1 -1\n", "bone_parent index 1"},
        {"s.bo3", "bo3_magic BO3M\nbo3_version 1\nnum_bones 1\nnum_tags 1\nbone_parent 0 -1\ntag_name -1 x\n",
         "tag_name index -1"},
        {"s.bo3", "bo3_magic BO3M\nbo3_version 1\nnum_bones -2\n", "num_bones -2"},
        {"s.bo3", "bo3_magic BO3M\nbo3_version 1\nnum_bones 2\nbone_parent 0 -1\nbone_parent 1 1\n",
         "is its own ancestor"},
        {"s.bo3", "bo3_magic BO3M\nbo3_version 1\nnum_bones 1\nbone_parent 0 7\n", "outside -1..0"},
        {"s.bo3", "bo3_magic BO3M\nbo3_version 1\nnum_bones 1\nbone_parent 0 0\n",
         "RegBO3 \"s.bo3\": Found no mother bone"},
    };
    for (const skelCase_t &c : cases) {
        fake::errors.clear();
        CG_UnloadModel(1);
        fake::files[c.file] = c.data;
        EXPECT_EQ(Load("m.model", "model " + c.file + "\nlod 0 a.lo2\n"), 0) << c.report;
        EXPECT_TRUE(Reported(c.report)) << c.report << "\n" << testing::PrintToString(Reports());
    }
}

TEST_F(Model, AModelWhoseSkeletonOrAnimationFailsLeavesNoHandleBehind) {
    fake::files["bad.bo2"] = "garbage";
    fake::files["walk.am2"] = AM2(2, 5);  // the skeleton has 3 bones
    for (const char *text : {"model bad.bo2\nlod 0 a.lo2\n", "model chain.bo2\nlod 0 a.lo2\nanimation w walk.am2\n"}) {
        CG_UnloadModel(1);
        CG_UnloadAnimation(0);
        EXPECT_EQ(Load("m.model", text), 0);
        EXPECT_EQ(CG_GetNumModels(), 2) << "the failed slot stays taken";
        const model_t *failed = CG_GetModel(1);
        EXPECT_STREQ(failed->path, "");
        EXPECT_EQ(failed->bones, nullptr);
        EXPECT_EQ(failed->tags, nullptr);
        EXPECT_EQ(failed->numBones, 0);
        EXPECT_EQ(failed->numAnimations, 0);
        EXPECT_EQ(CG_LoadModel("m.model"), 0) << "the path is not found in the failed slot";
        EXPECT_EQ(CG_GetNumModels(), 3);
    }
    EXPECT_TRUE(Reported("Total number of bones in AM2 does not match BO2 (5 should be 3)"));
}

TEST_F(Model, BO2AndBO3OfTheSameSkeletonLoadAlike) {
    const int32_t a = Load("a.model", "model chain.bo2\nlod 0 a.lo2\n");
    const int32_t b = Load("b.model", "model chain.bo3\nlod 0 a.lo2\n");
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    const model_t *ma = CG_GetModel(a), *mb = CG_GetModel(b);
    ASSERT_EQ(ma->numBones, 3);
    ASSERT_EQ(mb->numBones, 3);
    ASSERT_EQ(ma->numTags, 2);
    ASSERT_EQ(mb->numTags, 2);
    EXPECT_EQ(ma->rootBone, mb->rootBone);
    for (int32_t i = 0; i < 3; i++) {
        EXPECT_EQ(ma->bones[i].index, i);
        EXPECT_EQ(mb->bones[i].index, 0) << "BO3 keeps no index";
        EXPECT_EQ(ma->bones[i].parent, mb->bones[i].parent);
        for (int k = 0; k < 3; k++) EXPECT_NEAR(ma->bones[i].restLocal[k], mb->bones[i].restLocal[k], 1e-6f);
        for (int k = 0; k < 12; k++) EXPECT_NEAR(ma->bones[i].rest[k], mb->bones[i].rest[k], 1e-6f);
    }
    for (int32_t t = 0; t < 2; t++) {
        EXPECT_STREQ(ma->tags[t].name, mb->tags[t].name);
        EXPECT_EQ(ma->tags[t].bone, mb->tags[t].bone);
        for (int k = 0; k < 3; k++) EXPECT_NEAR(ma->tags[t].origin[k], mb->tags[t].origin[k], 1e-6f);
        for (int k = 0; k < 9; k++) EXPECT_NEAR(ma->tags[t].axis[k], mb->tags[t].axis[k], 1e-6f);
    }
    EXPECT_STREQ(ma->tags[0].name, "TAG_hand_r");
    EXPECT_NEAR(ma->bones[2].rest[7], 1.25f, 1e-6f);
}

TEST_F(Model, AnimationsLoadFromTheirFilesOrAreRefused) {
    ASSERT_NE(Load("m.model", "model chain.bo2\nlod 0 a.lo2\n"), 0);
    fake::files["first.am2"] = AM2(3, 3, [](int32_t f, int32_t b) {
        // Bone 1 has no transform in frame 1; bone 2 turns a quarter about z in frame 2.
        if (f == 1 && b == 1) return am2Record_t{0, {9, 9, 9, 9, 9, 9}};
        if (f == 2 && b == 2) return am2Record_t{1, {1, 2, 3, 0, 0, 1.5707964f}};
        return am2Record_t{1, {0, 1, 0, 0, 0, 0}};
    });
    EXPECT_EQ(CG_LoadAnimation(1, "first.am2"), 1) << "the first animation gets handle 1";
    const animation_t *anim = CG_GetAnimation(1);
    EXPECT_EQ(anim->numFrames, 3);
    EXPECT_EQ(anim->numBones, 3);
    EXPECT_EQ(anim->frames[1][1].present, 0);
    const float *m = anim->frames[2][2].matrix;
    // Rz(90 degrees), the rest position (0.5, 0.25, 0) taken off the stored position.
    const float expected[12] = {0, -1, 0, 0.5f, 1, 0, 0, 1.75f, 0, 0, 1, 3};
    for (int i = 0; i < 12; i++) EXPECT_NEAR(m[i], expected[i], 1e-5f) << i;
    EXPECT_NEAR(anim->frames[0][1].matrix[7], 0.0f, 1e-6f) << "bone 1 rests at y 1";
    // The same path for another model is the first handle, whatever its bones.
    EXPECT_EQ(CG_LoadAnimation(0, "first.am2"), 1);

    std::string negativeBones = AM2(1, 3);
    fake::PatchWord(negativeBones, 12, static_cast<uint32_t>(-3));
    std::string badMagic = AM2(1, 3);
    badMagic[3] = '3';
    std::string badVersion = AM2(1, 3);
    fake::PatchWord(badVersion, 4, 2);
    struct am2Case_t {
        int32_t qmod;
        std::string data, report;
    };
    const am2Case_t cases[] = {
        {1, AM2(1, 2), "Total number of bones in AM2 does not match BO2 (2 should be 3)"},
        {1, AM2(257, 3), "257 frames, we support max 256"},
        {1, AM2(0, 3), "0 frames"},
        {0, negativeBones, "-3 bones"},
        {0, AM2(1, 129), "129 bones"},
        {1, AM2(2, 3).substr(0, 20 + 25 * 6 - 1), "its head announces 170"},
        {1, "", "shorter than its head"},
        {1, badMagic, "CG_LoadAnimation2 \"x.am2\": Bad magic"},
        {1, badVersion, "CG_LoadAnimation2 \"x.am2\": Bad version (2 should be 1)"},
    };
    for (const am2Case_t &c : cases) {
        fake::errors.clear();
        fake::files["x.am2"] = c.data;
        const int32_t before = CG_GetNumAnimations();
        EXPECT_EQ(CG_LoadAnimation(c.qmod, "x.am2"), 0) << c.report;
        EXPECT_EQ(CG_GetNumAnimations(), before + 1) << "a failed load keeps its record";
        EXPECT_TRUE(Reported(c.report)) << c.report << "\n" << testing::PrintToString(Reports());
    }
    fake::files["max.am2"] = AM2(256, 3);
    EXPECT_NE(CG_LoadAnimation(1, "max.am2"), 0);
    EXPECT_NE(CG_LoadAnimation(0, "free.am2"), 1);
    EXPECT_TRUE(Reported("Could not open file \"free.am2\""));
}

TEST_F(Model, FramesFollowTheEndActions) {
    struct frameCase_t {
        int32_t endAction;
        float time;
        int32_t frames;
        float frame;
    };
    const frameCase_t cases[] = {
        {EA_REPEAT, 0.95f, 10, 9.5f},   {EA_REPEAT, 1.25f, 4, 1.0f},    {EA_REPEAT, -0.25f, 4, 3.0f},
        {EA_MIRROR, 1.25f, 5, 3.0f},    {EA_MIRROR, 0.25f, 5, 1.0f},    {EA_MIRROR, 2.5f, 5, 2.0f},
        {EA_CLAMP, 2.0f, 5, 0.9999f * 4}, {EA_CLAMP, -1.0f, 5, 0.0f},  {EA_CLAMP, 0.5f, 5, 2.0f},
        {EA_GOTO, 1.5f, 11, 0.9999f * 10}, {EA_REPEAT, 0.99999f, 1, 0.9999f},
    };
    for (const frameCase_t &c : cases)
        EXPECT_NEAR(CG_GetFrame(c.endAction, c.time, c.frames), c.frame, 1e-4f)
            << c.endAction << " " << c.time << " " << c.frames;
    fake::errors.clear();
    EXPECT_EQ(CG_GetFrame(7, 0.5f, 4), 0.0f);
    EXPECT_TRUE(Reported("CG_GetFrame: Unknown endAction 7"));
}

TEST_F(Model, SamplingBlendsNeighbourFramesAndStaysInsideTheAnimation) {
    // Bone 0 moves x by the frame number; bone 1 is present only in frame 0.
    fake::files["s.am2"] = AM2(10, 2, [](int32_t f, int32_t b) {
        if (b == 1) return am2Record_t{static_cast<uint8_t>(f == 0), {2, 0, 0, 0, 0, 0}};
        return am2Record_t{1, {static_cast<float>(f), 0, 0, 0, 0, 0}};
    });
    const int32_t qam = CG_LoadAnimation(0, "s.am2");
    ASSERT_NE(qam, 0);
    const animation_t *anim = CG_GetAnimation(qam);
    matrix3x4_t locals[CG_ANIM_BONES_MAX];
    for (matrix3x4_t &l : locals) std::fill(std::begin(l), std::end(l), 7.0f);
    // A repeating animation at time 0.95: half way from frame 9 back to frame 0.
    ASSERT_TRUE(CG_SampleAnimation(locals, CG_ANIM_BONES_MAX, anim, CG_GetFrame(EA_REPEAT, 0.95f, 10)));
    EXPECT_NEAR(locals[0][3], 4.5f, 1e-5f);
    EXPECT_NEAR(locals[0][0], 1.0f, 1e-6f);
    // Present in frame 0, absent in frame 9: blended toward identity.
    EXPECT_NEAR(locals[1][3], 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(locals[2][0], 7.0f) << "a bone the animation does not have is left alone";
    // Absent in frames 3 and 4: the bone keeps what it had.
    locals[1][3] = 5.0f;
    ASSERT_TRUE(CG_SampleAnimation(locals, 1, anim, 3.5f));
    EXPECT_FLOAT_EQ(locals[1][3], 5.0f);
    for (float bad : {-0.5f, 10.0f, std::nanf("")}) EXPECT_FALSE(CG_SampleAnimation(locals, 2, anim, bad)) << bad;
}

TEST_F(Model, UnloadingToAMarkKeepsWhatCameBefore) {
    fake::files["a.am2"] = AM2(2, 3);
    fake::files["b.am2"] = AM2(3, 3);
    const int32_t first = Load("first.model", "model chain.bo2\nlod 0 a.lo2\nanimation a a.am2 {\nframe 1 x\n}\n");
    const int32_t markModel = CG_GetNumModels();
    const int32_t markAnim = CG_GetNumAnimations();
    const int32_t second = Load("second.model", "model chain.bo3\nlod 0 a.lo2\nanimation b b.am2\n");
    ASSERT_EQ(first, 1);
    ASSERT_EQ(second, 2);
    CG_UnloadModel(markModel);
    CG_UnloadAnimation(markAnim);
    EXPECT_EQ(CG_GetNumModels(), markModel);
    EXPECT_EQ(CG_GetNumAnimations(), markAnim);
    EXPECT_STREQ(CG_GetModel(first)->path, "first.model");
    EXPECT_EQ(CG_GetAnimationByName(CG_GetModel(first), "a")->numFrames, 2);
    EXPECT_STREQ(CG_GetModel(second)->path, "DUMMY") << "a released handle resolves to the placeholder";
    EXPECT_EQ(Load("second.model", fake::files["second.model"]), second) << "loaded again into the same slot";
    // While loading is blocked nothing loads or goes.
    cg.loadingBlocked = 1;
    CG_UnloadModel(1);
    EXPECT_EQ(CG_GetNumModels(), 3);
    EXPECT_EQ(CG_LoadModel("third.model"), 0);
    EXPECT_EQ(CG_LoadAnimation(0, "a.am2"), 0);
    cg.loadingBlocked = 0;
    CG_UnloadModel(-1);
    CG_UnloadModel(3);
    EXPECT_EQ(CG_GetNumModels(), 3) << "a mark outside the table does nothing";
}

TEST_F(Model, TheTableHoldsSixtyFourModels) {
    for (int32_t i = 1; i < MODELS_MAX; i++)
        ASSERT_EQ(Load("m" + std::to_string(i) + ".model", "lod 0 a.lo2\n"), i);
    fake::errors.clear();
    EXPECT_EQ(Load("last.model", "lod 0 a.lo2\n"), 0);
    EXPECT_TRUE(Reported("CG_RegisterModel: MODELS_MAX"));
    EXPECT_EQ(CG_LoadModel("m5.model"), 5);
}

TEST_F(Model, TheNearestLevelOfDetailIsDrawn) {
    fake::registerFromFiles = true;
    for (const char *l : {"l0.lo2", "l10.lo2", "l30.lo2"}) fake::files[l] = "x";
    const int32_t qmod = Load("m.model", "lod 0 l0.lo2\nlod 10 l10.lo2\nlod 30 l30.lo2\n");
    const model_t *m = CG_GetModel(qmod);
    ASSERT_EQ(m->numLods, 3);
    struct lodCase_t {
        float fov, bias, distance;
        int32_t level;
    };
    const lodCase_t cases[] = {
        {90, 0, 20, 1},   // 10 and 30 equally near: the first
        {90, 0, 21, 2}, {90, 0, 4, 0}, {45, 0, 40, 1}, {90, -50, 100, 2}, {90, -50, 10, 0},
        {35, 0, 30, 1},  // fully zoomed to 35 degrees: 30 units away count as 11.7
    };
    for (const lodCase_t &c : cases) {
        // The field of view is the zoomed one: cg_fov drawn toward 35 degrees.
        cg_fov.value = c.fov == 35 ? 90.0f : c.fov;
        cg.predicted.zoom = c.fov == 35 ? 1.0f : 0.0f;
        cg_lodBias.value = c.bias;
        EXPECT_EQ(CG_GetLOD(m, c.distance), m->lods[c.level]) << c.distance;
    }
    cg_printLod.integer = 1;
    cg_lodBias.value = 0.0f;
    CG_GetLOD(m, 20.0f);
    EXPECT_TRUE(fake::Printed("LOD 1 dist: 20.0000"));
    const int32_t single = Load("one.model", "lod 5 l10.lo2\n");
    EXPECT_EQ(CG_GetLOD(CG_GetModel(single), 1000.0f), CG_GetModel(single)->lods[0]);
}

TEST_F(Model, ASkeletonLargerThanTheDrawersBoneArraysIsRefusedForAnimationOnce) {
    std::vector<boneSpec_t> big(CG_ANIM_BONES_MAX + 1, CHAIN[1]);
    big[0] = CHAIN[0];
    for (size_t i = 1; i < big.size(); i++) big[i].parent = static_cast<int32_t>(i - 1);
    fake::files["big.bo2"] = BO2(big, {});
    big.pop_back();
    fake::files["fits.bo2"] = BO2(big, {});
    const int32_t tooBig = Load("big.model", "model big.bo2\nlod 0 a.lo2\n");
    const int32_t fits = Load("fits.model", "model fits.bo2\nlod 0 a.lo2\n");
    ASSERT_NE(tooBig, 0);
    fake::errors.clear();
    EXPECT_FALSE(CG_CheckAnimBones(CG_GetModel(tooBig)));
    EXPECT_FALSE(CG_CheckAnimBones(CG_GetModel(tooBig)));
    EXPECT_TRUE(CG_CheckAnimBones(CG_GetModel(fits)));
    EXPECT_EQ(Reports(), (std::vector<std::string>{"\"big.model\": 41 bones, animated drawing holds at most 40"}));
}

TEST_F(Model, ConsoleCommandsListInspectAndReload) {
    fake::files["a.am2"] = AM2(4, 3);
    fake::materialHandles["s.material"] = 9;
    const int32_t qmod = Load("m.model", "model chain.bo2\nlod 0 a.lo2\nmaterial s s.material\nanimation walk a.am2\n");
    ASSERT_EQ(qmod, 1);
    fake::prints.clear();
    CG_ModelList_f();
    EXPECT_EQ(fake::prints.front(), "-----------");
    EXPECT_TRUE(fake::Printed(" 1 \"m.model\" lods: 1 bones: 3 tags: 2 anims: 1"));
    EXPECT_TRUE(fake::Printed("2 models"));
    fake::args = {"modelInfo", "1"};
    fake::prints.clear();
    CG_ModelInfo_f();
    EXPECT_TRUE(fake::Printed("0 \"TAG_hand_r\" 2 (0.1000 0.2000 0.3000) (1.00 0.00 0.00)"));
    EXPECT_TRUE(fake::Printed("ANIM \xA4" "080\xA4" "00 \xA4" "08\"walk\"\xA4" "00 frames: \xA4" "084\xA4" "00"));
    fake::args = {"modelInfo", "2"};
    fake::errors.clear();
    CG_ModelInfo_f();
    EXPECT_EQ(Reports(), std::vector<std::string>{"qmod out of range"});
    fake::args = {"modelInfo"};
    CG_ModelInfo_f();
    EXPECT_TRUE(fake::Printed("USAGE: modelinfo <qmod>"));
    fake::prints.clear();
    fake::args = {"modelReload", "0"};
    CG_ModelReload_f();
    EXPECT_TRUE(fake::prints.empty()) << "the placeholder is never reloaded";
    fake::args = {"modelReload", "1"};
    CG_ModelReload_f();
    EXPECT_TRUE(fake::Printed("CG_ReloadModel: Reloaded \"m.model\" in"));
    EXPECT_EQ(CG_GetModel(1)->numBones, 3);
    fake::args = {"modelReload"};
    CG_ModelReload_f();
    EXPECT_TRUE(fake::Printed("USAGE: modelreload <model number>"));
}

TEST_F(Model, TheShippedModelsLoadQuietlyWithTheTagsTheDrawersAskFor) {
    const std::filesystem::path root = std::filesystem::path(HM_SOURCE_DIR) / "data";
    std::vector<std::string> models;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        const std::string path = std::filesystem::relative(entry.path(), root).generic_string();
        fake::files[path] = bytes.str();
        if (entry.path().extension() == ".model") models.push_back(path);
    }
    ASSERT_GT(models.size(), 50u);
    fake::errors.clear();
    for (const std::string &path : models) EXPECT_NE(CG_LoadModel(path.c_str()), 0) << path;
    EXPECT_TRUE(Reports().empty()) << testing::PrintToString(Reports());
    struct tagsCase_t {
        const char *model;
        std::vector<std::string> tags;
    };
    const tagsCase_t cases[] = {
        {"game/p_swat/swat.model", {"TAG_hand_r", "TAG_hand_l"}},
        {"game/p_vanti/arm.model", {"TAG_hand_r", "TAG_hand_l"}},
        {"game/w_grengun/grengun.model", {"TAG_muzzle", "TAG_ammo", "TAG_shell", "TAG_shell01", "TAG_shell08"}},
        {"game/w_shotgun/shotgun_mini.model", {"TAG_muzzle1", "TAG_muzzle2", "TAG_ammo"}},
        {"game/e_drone/drone.model", {"TAG_flag", "TAG_engine_r", "TAG_engine_l", "TAG_light"}},
    };
    for (const tagsCase_t &c : cases) {
        const model_t *m = CG_GetModel(CG_LoadModel(c.model));
        EXPECT_TRUE(CG_CheckAnimBones(m)) << c.model;
        for (const std::string &tag : c.tags) {
            bool found = false;
            for (int32_t t = 0; t < m->numTags; t++) found = found || tag == m->tags[t].name;
            EXPECT_TRUE(found) << c.model << " " << tag;
        }
    }
    // One team's body is read from BO2, the other's from the same skeleton in BO3.
    const model_t *swat = CG_GetModel(CG_LoadModel("game/p_swat/swat.model"));
    const model_t *vanti = CG_GetModel(CG_LoadModel("game/p_vanti/vanti.model"));
    ASSERT_EQ(swat->numBones, vanti->numBones);
    for (int32_t b = 0; b < swat->numBones; b++)
        for (int k = 0; k < 12; k++) EXPECT_NEAR(swat->bones[b].rest[k], vanti->bones[b].rest[k], 1e-5f);
    for (const char *anim : {"idle_legs", "run", "death_back_2", "fire_rail", "away_dirt", "rot_pitch", "rotate_left"})
        EXPECT_NE(CG_GetAnimationByName(CG_GetModel(CG_LoadModel("game/p_vanti/vanti.model")), anim), nullptr) << anim;
    EXPECT_EQ(CG_GetEndAction(CG_LoadModel("game/p_swat/swat.model"), "jump"), EA_GOTO);
    EXPECT_NE(CG_GetAnimationByName(CG_GetModel(CG_LoadModel("game/w_grengun/grengun.model")), "rot"), nullptr);
}

}  // namespace
