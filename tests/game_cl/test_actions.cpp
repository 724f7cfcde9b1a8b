// Action scripts against the stand-in engine: when each step runs (frame and time
// delays, random ends, a closing brace glued to an argument), the errors that end
// a slot, the tables' limits, and the action words' effects.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "game/g_entity.h"
#include "game/g_main.h"
#include "game_cl/cg_actions.h"
#include "game_cl/cg_centities.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_model.h"
#include "game_cl/cg_particle_class.h"
#include "tests/game/fake_engine.h"

namespace {

constexpr float IDENTITY[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
const vec3_t PLACE = {1, 2, 3};

struct Actions : testing::Test {
    void SetUp() override {
        fake::Install();
        fake::registerFromFiles = true;
        fake::files["s.wav"] = "x";
        qgame = fake::qg;
        CG_LoadDefaultParticle();
        CG_InitActionScripts();
        CG_ClearCEntities();
        memset(g_entityMedia, 0, sizeof g_entityMedia);
        cg_skipActionScript.integer = 0;
    }
    void TearDown() override {
        CG_ShutdownActionScripts();
        fake::Uninstall();
    }

    static void Start(const char *path, float arg0 = 0, const float *axis = IDENTITY) {
        CG_RunActionScript(path, PLACE, axis, arg0, 0);
    }
    // One client frame of ms milliseconds.
    static void Frame(uint32_t ms) {
        fake::Advance(ms);
        qgame = fake::qg;
        CG_UpdateActionScripts();
    }
    static int Playing() {
        int n = 0;
        for (const actionPlaying_t &p : g_actionPlayings) n += p.script != nullptr;
        return n;
    }
    static int SparksInUse() {
        int n = 0;
        for (const centity_t &e : cg.cEntities) n += e.s.inUse && e.s.type == ET_SPARK;
        return n;
    }
};

TEST_F(Actions, StepsRunWhenTheirDelaysHaveRunOut) {
    struct timingCase_t {
        const char *name;
        const char *script;
        float arg0;
        uint32_t frameMs;
        std::vector<int> soundFrames;  // 0 is the start call
        int endFrame;                  // first frame after which the slot is free
        std::string error;             // reported at ER_ERROR, "" none
    };
    const timingCase_t cases[] = {
        {"one step plays at once, ends next frame", "{ playSound s.wav }", 0, 50, {0}, 1, ""},
        {"frameDelay 3 waits three frames", "{ frameDelay 3 }\n{ playSound s.wav }", 0, 50, {3}, 4, ""},
        {"frameDelay arg0 truncates 2.9 to 2", "{ frameDelay arg0 }\n{ playSound s.wav }", 2.9f, 50, {2}, 3, ""},
        {"the last frameDelay of a block wins", "{ frameDelay 5 frameDelay 1 }\n{ playSound s.wav }", 0, 50, {1}, 2,
         ""},
        {"timeDelay sums frame time", "{ timeDelay 0.25 }\n{ playSound s.wav }", 0, 125, {2}, 3, ""},
        {"frame and time delay both must pass", "{ frameDelay 1 timeDelay 0.375 }\n{ playSound s.wav }", 0, 125,
         {3}, 4, ""},
        {"time delay waits for the frame delay", "{ timeDelay 0.125 frameDelay 3 }\n{ playSound s.wav }", 0, 125,
         {3}, 4, ""},
        {"a negative delay does not wait", "{ frameDelay -5 }\n{ playSound s.wav }", 0, 50, {1}, 2, ""},
        {"randTerminate 1 skips the rest of its block", "{ randTerminate 1 playSound s.wav }", 0, 50, {}, 0, ""},
        {"earlier words of the block have run", "{ playSound s.wav\nrandTerminate 1\nplaySound s.wav }\n{ playSound s.wav }",
         0, 50, {0}, 0, ""},
        {"comments are skipped", "// a step\n{ /* wait */ frameDelay 1 }\n{ playSound s.wav // now\n}", 0, 50, {1}, 2,
         ""},
        // An argument glued to its block's closing brace takes the brace with it.
        {"glued brace runs into the next block", "{ frameDelay 1}\n{ playSound s.wav }", 0, 50, {}, 0,
         "RunActionPlaying: Unknown token \"{\""},
        {"glued brace on the last block ends at the end of the text", "{ playSound s.wav}", 0, 50, {}, 0, ""},
        {"text outside blocks ends the slot", "playSound s.wav", 0, 50, {}, 0,
         "RunActionPlaying \"a.action\": Actions must be inside { }"},
        {"an unknown word ends the slot", "{ playSound s.wav\nexplode }\n{ playSound s.wav }", 0, 50, {0}, 0,
         "RunActionPlaying: Unknown token \"explode\""},
        {"a block left open ends the slot", "{ frameDelay 1 }\n{ playSound s.wav", 0, 50, {1}, 1, ""},
    };
    for (const timingCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        CG_InitActionScripts();
        fake::files["a.action"] = c.script;
        fake::pointSounds.clear();
        fake::errors.clear();
        std::vector<int> frames;
        int endFrame = -1;
        Start("a.action", c.arg0);
        for (int f = 0; f <= 8; f++) {
            if (f > 0) Frame(c.frameMs);
            for (size_t i = frames.size(); i < fake::pointSounds.size(); i++) frames.push_back(f);
            if (endFrame < 0 && Playing() == 0) endFrame = f;
        }
        EXPECT_EQ(frames, c.soundFrames);
        EXPECT_EQ(endFrame, c.endFrame);
        std::vector<fake::error_t> expected;
        if (!c.error.empty()) expected.push_back({ER_ERROR, c.error});
        EXPECT_EQ(fake::errors, expected);
    }
}

TEST_F(Actions, SoundsPlayAtTheStepPlaceOrWithoutOne) {
    fake::files["a.action"] = "{ playSound s.wav\nplayLocalSound s.wav\nplaySound missing.wav }";
    Start("a.action");
    ASSERT_EQ(fake::pointSounds.size(), 1u);
    EXPECT_EQ(std::vector<float>(fake::pointSounds[0].origin, fake::pointSounds[0].origin + 3),
              std::vector<float>(PLACE, PLACE + 3));
    EXPECT_EQ(fake::localSounds, std::vector<int32_t>{fake::pointSounds[0].handle});
}

TEST_F(Actions, AScriptIsLoadedOnceAndEachStartPlaysItsOwnSlot) {
    fake::files["a.action"] = "{ frameDelay 1 }\n{ playSound s.wav }";
    Start("a.action");
    Start("a.action");
    EXPECT_EQ(g_numActionScripts, 1);
    EXPECT_EQ(Playing(), 2);
    EXPECT_EQ(g_actionPlayings[0].script, g_actionPlayings[1].script);
    Frame(50);
    EXPECT_EQ(fake::pointSounds.size(), 2u);
}

TEST_F(Actions, AMissingScriptTakesNoSlotAndIsNotRemembered) {
    Start("missing.action");
    EXPECT_EQ(Playing(), 0);
    EXPECT_EQ(g_numActionScripts, 0);
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{
                                {ER_ERROR, "RegisterActionScript: Could not open file \"missing.action\""}}));
}

// A path longer than an entry holds would be stored cut and never found again, so
// each start loaded it anew until the table was full.
TEST_F(Actions, APathTooLongForAnEntryIsRefusedAndTakesNoEntry) {
    const std::string path = std::string(ACTION_PATH_SIZE, 'a') + ".action";
    fake::files[path] = "{ }";
    for (int i = 0; i < 3; i++) EXPECT_EQ(CG_LoadActionScript(path.c_str()), 0);
    EXPECT_EQ(g_numActionScripts, 0);
    ASSERT_FALSE(fake::errors.empty());
    EXPECT_EQ(fake::errors[0], (fake::error_t{ER_ERROR, "RegisterActionScript: Could not open file \"" + path + "\""}));

    const std::string particlePath = std::string(256, 'p') + ".particle";
    fake::files[particlePath] = "maxTime 1";
    fake::errors.clear();
    const int32_t before = CG_GetNumParticles();
    for (int i = 0; i < 3; i++) EXPECT_EQ(CG_LoadParticle(particlePath.c_str()), 0);
    EXPECT_EQ(CG_GetNumParticles(), before > 0 ? before : 1);
    ASSERT_FALSE(fake::errors.empty());
    EXPECT_EQ(fake::errors[0], (fake::error_t{ER_ERROR, "CG_ReloadParticle: Could not open file \"" + particlePath + "\""}));
}

TEST_F(Actions, TheTablesRefuseBeyondTheirLimitsAndKeepWhatTheyHold) {
    for (int i = 0; i < MAX_ACTION_SCRIPTS; i++) fake::files["s" + std::to_string(i) + ".action"] = "{ }";
    fake::files["one_more.action"] = "{ }";
    for (int i = 0; i < MAX_ACTION_SCRIPTS; i++)
        ASSERT_NE(CG_LoadActionScript(("s" + std::to_string(i) + ".action").c_str()), 0);
    EXPECT_EQ(CG_LoadActionScript("one_more.action"), 0);
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{{ER_FATAL, "RegisterActionScript: MAX_ACTION_SCRIPTS"}}));
    EXPECT_EQ(g_numActionScripts, MAX_ACTION_SCRIPTS);
    EXPECT_EQ(CG_LoadActionScript("s7.action"), 8);

    fake::errors.clear();
    fake::files["wait.action"] = "{ frameDelay 100 }";
    CG_InitActionScripts();
    for (int i = 0; i < MAX_ACTION_PLAYINGS; i++) Start("wait.action");
    fake::pointSounds.clear();
    fake::files["a.action"] = "{ playSound s.wav }";
    Start("a.action");
    EXPECT_TRUE(fake::pointSounds.empty());
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{{ER_DEVWARNING, "BeginPlayingActionScript: No free slots"}}));
}

TEST_F(Actions, ShuttingDownHandsBackTheTextsAndFreesEverySlot) {
    fake::files["a.action"] = "{ frameDelay 2 }\n{ playSound s.wav }";
    Start("a.action");
    CG_ShutdownActionScripts();
    EXPECT_EQ(Playing(), 0);
    EXPECT_EQ(g_numActionScripts, 0);
    Frame(50);
    Frame(50);
    EXPECT_TRUE(fake::pointSounds.empty());
    // Loaded anew afterwards.
    Start("a.action");
    EXPECT_EQ(Playing(), 1);
}

TEST_F(Actions, NestedRunStartsAnotherScriptAndTheStepGoesOn) {
    // The nested script reads more words than the tokenizer keeps; the outer step's
    // words must not change under it.
    fake::files["inner.action"] = "{ playLocalSound s.wav playLocalSound s.wav playLocalSound s.wav }";
    fake::files["a.action"] = "{ run inner.action\nplaySound s.wav\nrun inner.action }";
    Start("a.action");
    EXPECT_EQ(fake::localSounds.size(), 6u);
    ASSERT_EQ(fake::pointSounds.size(), 1u);
    EXPECT_EQ(fake::pointSounds[0].origin[2], PLACE[2]);
    EXPECT_TRUE(fake::errors.empty());
    EXPECT_EQ(g_numActionScripts, 2);
}

TEST_F(Actions, AScriptThatRunsItselfTwicePerStepEndsWithinABoundedNumberOfStarts) {
    // Unbounded, every level would double the starts: 2^256 before the slots run out.
    fake::files["a.action"] = "{ playLocalSound s.wav\nrun a.action\nrun a.action\nfail }";
    Start("a.action");
    EXPECT_GT(fake::localSounds.size(), 1u);
    EXPECT_LE(fake::localSounds.size(), static_cast<size_t>(MAX_ACTION_PLAYINGS) + 1);
    EXPECT_EQ(Playing(), 0);
    EXPECT_EQ(fake::errors.back(), (fake::error_t{ER_ERROR, "RunActionPlaying: Unknown token \"fail\""}));
    int refused = 0;
    for (const fake::error_t &e : fake::errors)
        refused += e.text == "CG_RunActionScript: Too many scripts started at once, \"a.action\" not started";
    EXPECT_GT(refused, 0);
}

TEST_F(Actions, SkippedScriptsDoNothing) {
    fake::files["a.action"] = "{ playSound s.wav }";
    cg_skipActionScript.integer = 1;
    Start("a.action");
    EXPECT_EQ(g_numActionScripts, 0);
    EXPECT_TRUE(fake::pointSounds.empty());
}

TEST_F(Actions, SparksLeaveAlongTheSecondRowAndAZeroRowMeansTheIdentity) {
    // count 2..2, spread 0, speed 3..3, colour 1 0.5 0
    fake::files["a.action"] = "{ sparkExplosion 2 2 0 3 3 1 0.5 0 }";
    const float tilted[9] = {0, 0, 1, 1, 0, 0, 0, 1, 0};
    const float zeroRow[9] = {1, 0, 0, 0, 0, 0, 0, 0, 1};
    struct axisCase_t {
        const float *axis;
        vec3_t velocity;
    };
    const axisCase_t cases[] = {{tilted, {3, 0, 0}}, {zeroRow, {0, 3, 0}}};
    for (const axisCase_t &c : cases) {
        CG_ClearCEntities();
        Start("a.action", 0, c.axis);
        ASSERT_EQ(SparksInUse(), 2);
        const centity_t &e = cg.cEntities[0];
        for (int i = 0; i < 3; i++) EXPECT_FLOAT_EQ(e.velocity[i], c.velocity[i]);
        EXPECT_EQ(e.color[0], 255);
        EXPECT_EQ(e.color[1], 127);
        EXPECT_EQ(e.color[2], 0);
    }
}

TEST_F(Actions, ExplosionCountsRoundHalvesUpAndStayWithinThePool) {
    struct countCase_t {
        const char *counts;
        int sparks;
    };
    const countCase_t cases[] = {{"2.5 2.5", 3}, {"2.49 2.49", 2}, {"-4 -4", 0}, {"1e30 1e30", CG_ENTITIES}};
    for (const countCase_t &c : cases) {
        SCOPED_TRACE(c.counts);
        CG_InitActionScripts();
        CG_ClearCEntities();
        fake::files["a.action"] = std::string("{ sparkExplosion ") + c.counts + " 0 1 1 1 1 1 }";
        Start("a.action");
        EXPECT_EQ(SparksInUse(), c.sparks);
    }
}

TEST_F(Actions, ExplosionNumbersThatAreNoFiniteNumberReadZero) {
    // A speed of inf - inf or nan would make the spark's velocity, then its
    // position, no number at all.
    const char *speeds[] = {"1e999 1e999", "nan nan", "-1e999 1e999"};
    for (const char *speed : speeds) {
        SCOPED_TRACE(speed);
        CG_InitActionScripts();
        CG_ClearCEntities();
        fake::files["a.action"] = std::string("{ sparkExplosion 1 1 nan ") + speed + " nan 1 1 }";
        Start("a.action");
        ASSERT_EQ(SparksInUse(), 1);
        for (int i = 0; i < 3; i++) EXPECT_TRUE(std::isfinite(cg.cEntities[0].velocity[i]));
    }
}

TEST_F(Actions, MagazineWordsMoveTheMagazineBetweenGunAndHand) {
    EXPECT_TRUE(CG_RunAction("tagAmmoHand", PLACE, IDENTITY, 0, 0));
    EXPECT_EQ(cg.magazineInHand, 1);
    EXPECT_TRUE(CG_RunAction("\n tagAmmoGun", PLACE, IDENTITY, 0, 0));
    EXPECT_EQ(cg.magazineInHand, 0);
}

TEST_F(Actions, FrameActionsRunOneWordAndRefuseControlWords) {
    EXPECT_TRUE(CG_RunAction("playSound s.wav", PLACE, IDENTITY, 0, 0));
    EXPECT_EQ(fake::pointSounds.size(), 1u);
    EXPECT_TRUE(CG_RunAction("mark", PLACE, IDENTITY, 0, 0));
    EXPECT_TRUE(fake::errors.empty());
    struct refusedCase_t {
        const char *text, *error;
    };
    const refusedCase_t cases[] = {
        {"frameDelay 3", "CG_RunAction: Could not run action \" 3\""},
        {"{ playSound s.wav }", "CG_RunAction: Could not run action \" playSound s.wav }\""},
        {"", "CG_RunAction: Could not run action \"\""},
    };
    for (const refusedCase_t &c : cases) {
        fake::errors.clear();
        EXPECT_FALSE(CG_RunAction(c.text, PLACE, IDENTITY, 0, 0));
        EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{{ER_ERROR, c.error}}));
    }
}

TEST_F(Actions, AParticleClassThatCannotBeHadIsReportedWithItsPath) {
    fake::files["a.action"] = "{ spawnParticles 3 game/missing.particle }";
    Start("a.action");
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{
                                {ER_ERROR, "CG_ReloadParticle: Could not open file \"game/missing.particle\""},
                                {ER_DEVWARNING, "ParseSpawnParticles: Could not get particle \"game/missing.particle\""}}));
}

}  // namespace
