// Marks against the stand-in engine's decal clipper: life and fade, the pool's
// limits, drawing, and re-clipping when the world changes under a mark.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/com_mem.h"
#include "game/g_main.h"
#include "game/g_weapon.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_main.h"
#include "game_cl/cg_marks.h"
#include "game_cl/cg_media.h"
#include "tests/game/fake_engine.h"

namespace {

constexpr float IDENTITY[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
constexpr float UP[3] = {0, 1, 0};

struct Marks : testing::Test {
    void SetUp() override {
        fake::Install();
        qgame = fake::qg;
        G_SetCG();
        CG_RegisterVariables();
        CG_InitMarks();
        fake::decalVertexes = 4;  // two triangles under every box
        fake::decalIndexes = 6;
    }
    void TearDown() override {
        CG_ClearMarks();
        for (weaponMedia_t &m : g_weaponMedia) m = weaponMedia_t{};
        G_SetUndefined();
        fake::Uninstall();
    }

    static int InUse() {
        int n = 0;
        for (const mark_t &m : q_marks) n += m.inUse;
        return n;
    }
    static void Later(uint32_t ms) {
        qgame.time += ms;
        qgame.frameCount++;
    }
    // The alpha the marks are drawn with now, or -1 when none is drawn.
    static int DrawnAlpha() {
        fake::surfaces.clear();
        CG_AddMarksToSceneFrom(nullptr);
        if (fake::surfaces.empty()) return -1;
        surface_t s;
        memcpy(&s, fake::surfaces[0].data(), sizeof s);
        return static_cast<const decalVert_t *>(s.verts)[s.numVerts - 1].rgba[3];
    }
    static void MarkAt(float x, int32_t lifeMs, uint8_t priority = 0) {
        const vec3_t origin = {x, 0, 0}, size = {1, 1, 1};
        CG_CreateMark(3, origin, IDENTITY, size, lifeMs, 0, priority);
    }
};

TEST_F(Marks, ABulletMarkIsOpaqueFor13SecondsFadesOver2AndGoesAfter15) {
    g_weaponMedia[WP_MINIGUN].numBulletMarks = 1;
    g_weaponMedia[WP_MINIGUN].bulletMarks[0] = {42, 0.5f};
    const vec3_t origin = {0, 50, 0};
    struct lifeCase_t {
        uint32_t at;  // ms after the shot
        int alpha;    // -1 gone
    };
    const lifeCase_t cases[] = {{0, 255}, {13000, 255}, {14000, 128}, {14990, 2}, {15000, 0}, {15001, -1}};
    // The game clock runs on through the sign bit and round through zero: a fade and
    // an end that lie beyond either come at their time, neither early nor never.
    for (const uint32_t shot : {qgame.time, 0x7FFFFFFFu - 14000, 0xFFFFFFFFu - 14000}) {
        qgame.time = shot;
        CG_BulletMark(WP_MINIGUN, origin, UP);
        ASSERT_EQ(InUse(), 1);
        for (const lifeCase_t &lc : cases) {
            qgame.time = shot + lc.at;
            EXPECT_EQ(DrawnAlpha(), lc.alpha) << "shot at " << shot << ", " << lc.at << " ms later";
        }
        EXPECT_EQ(InUse(), 0) << shot;
    }
    ASSERT_EQ(fake::decalCalls.size(), 3u);
    const fake::decalCall_t &call = fake::decalCalls[0];
    EXPECT_FLOAT_EQ(call.axis[7], 1.0f) << "row 2 is the direction";
    EXPECT_NEAR(call.axis[0] * call.axis[6] + call.axis[1] * call.axis[7] + call.axis[2] * call.axis[8], 0.0f, 1e-6f);
    EXPECT_EQ(call.size[0], 0.5f);
    EXPECT_EQ(call.maxVerts, MARK_CLIP_VERTS);
    EXPECT_EQ(call.maxIndexes, MARK_CLIP_INDEXES);

    CG_BulletMark(WP_MEELGUN, origin, UP);
    CG_BulletMark(-1, origin, UP);
    CG_BulletMark(99, origin, UP);
    EXPECT_EQ(InUse(), 0) << "no table, no mark";
}

// The fade formula is meant for 0 to 1 of the fade; a kept mark stays transparent.
TEST_F(Marks, AMarkKeptPastItsEndStaysAtAlphaZero) {
    fake::Set("cg_keepMarks", "1");
    const vec3_t origin = {0, 50, 0};
    CG_Mark(3, origin, UP, 1.0f, 1000, 500);
    Later(600);
    EXPECT_EQ(DrawnAlpha(), 204);
    Later(100000);
    EXPECT_EQ(DrawnAlpha(), 0);
    EXPECT_EQ(InUse(), 1);
}

// A mark made just before the game time restarts fades and ends on time after it.
TEST_F(Marks, AMarkFromBeforeTheGameTimeRestartFadesAndEndsOnTime) {
    fake::qg.time = 0x7FFFFFFFu - 100;
    G_Frame();
    const vec3_t origin = {0, 50, 0};
    CG_Mark(3, origin, UP, 1.0f, 1000, 500);
    fake::RestartGameTime();  // straight after the frame that made it
    fake::Advance(600);  // a fifth into the fade
    G_Frame();
    EXPECT_EQ(DrawnAlpha(), 204);
    fake::Advance(401);
    G_Frame();
    EXPECT_EQ(DrawnAlpha(), -1);
    EXPECT_EQ(InUse(), 0);
}

TEST_F(Marks, TooLittleSurfaceOrCountsPastTheScratchArraysMakeNoMark) {
    struct clipCase_t {
        int32_t verts, indexes;
        int made;
    };
    const clipCase_t cases[] = {{3, 5, 0}, {4, 6, 1}, {0, 6, 0}, {MARK_CLIP_VERTS + 1, 6, 0},
                                {4, MARK_CLIP_INDEXES + 1, 0}, {-1, -1, 0}};
    for (const clipCase_t &cc : cases) {
        CG_ClearMarks();
        fake::decalVertexes = cc.verts;
        fake::decalIndexes = cc.indexes;
        MarkAt(0, 1000);
        EXPECT_EQ(InUse(), cc.made) << cc.verts << " " << cc.indexes;
    }
}

TEST_F(Marks, AFullPoolGivesUpTheMarkEndingFirstButNeverAPriorityMark) {
    for (int i = 0; i < MAX_MARKS; i++) MarkAt(static_cast<float>(i), i == 700 || i == 900 ? 500 : 5000 + i);
    ASSERT_EQ(InUse(), MAX_MARKS);
    const vec3_t origin = {0, 50, 0};
    CG_Mark(8, origin, UP, 1.5f, 120000, 119000);
    EXPECT_EQ(q_marks[700].material, 8) << "the earliest end, lowest index among equals";
    EXPECT_EQ(q_marks[900].material, 3);

    for (mark_t &m : q_marks) m.priority = 1;
    fake::errors.clear();
    CG_Mark(9, origin, UP, 1.5f, 120000, 119000);
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{{ER_DEVWARNING, "GetFreeMark: Found no free mark at all"}}));
    for (const mark_t &m : q_marks) EXPECT_NE(m.material, 9);

    fake::prints.clear();
    CG_MarkStats_f();
    EXPECT_EQ(fake::prints, (std::vector<std::string>{"    \xA4" "08    1024\xA4" "00 Priority marks",
                                                       "    \xA4" "08    1024\xA4" "00 Total marks"}));
    CG_MarkClear_f();
    EXPECT_EQ(InUse(), 0);
}

TEST_F(Marks, DrawingHandsTheMeshOverAndSkipsWhatIsNotVisibleOrHasNoSurface) {
    MarkAt(0, 1000);
    fake::pvsAnswer = 0;
    EXPECT_EQ(DrawnAlpha(), -1);
    fake::pvsAnswer = 1;
    fake::refuseSurfaces = true;
    EXPECT_EQ(DrawnAlpha(), -1);
    fake::refuseSurfaces = false;
    fake::Set("cg_drawMarks", "0");
    EXPECT_EQ(DrawnAlpha(), -1);
    fake::Set("cg_drawMarks", "1");
    fake::allocLayouts.clear();
    EXPECT_EQ(DrawnAlpha(), 255);
    EXPECT_EQ(fake::allocLayouts, std::vector<int32_t>{SURFACE_LAYOUT_DECAL});
    surface_t s;
    memcpy(&s, fake::surfaces[0].data(), sizeof s);
    EXPECT_EQ(s.material, 3);
    EXPECT_EQ(s.numVerts, 4);
    EXPECT_EQ(s.numIndexes, 6);
    EXPECT_EQ(s.indexes, q_marks[0].indexes);
}

TEST_F(Marks, AChangeTouchingAMarksCubeReclipsItKeepingItsTimesAtTheScaleInForce) {
    const vec3_t origin = {10, 0, 0}, size = {1, 1, 1};
    CG_CreateMark(3, origin, IDENTITY, size, 10000, 8000, 0);
    const float radius = q_marks[0].radius;
    EXPECT_FLOAT_EQ(radius, 1.73205f + 0.1f);
    const uint32_t start = q_marks[0].startTime;
    EXPECT_EQ(q_marks[0].lifeMs, 10000);
    EXPECT_EQ(q_marks[0].fadeStartMs, 8000);

    const float sameFrameMins[3] = {9, -1, -1}, sameFrameMaxs[3] = {11, 1, 1};
    CG_RetesselateMark(sameFrameMins, sameFrameMaxs);
    EXPECT_EQ(fake::decalCalls.size(), 1u) << "a mark of this frame is not clipped again";

    Later(3000);
    const float apartMins[3] = {10 + radius + 0.01f, -5, -5}, apartMaxs[3] = {20, 5, 5};
    CG_RetesselateMark(apartMins, apartMaxs);
    EXPECT_EQ(fake::decalCalls.size(), 1u) << "a box short of the cube leaves the mark";

    fake::Set("cg_markScale", "2");
    const float touchMins[3] = {10 + radius - 0.01f, -5, -5};
    CG_RetesselateMark(touchMins, apartMaxs);
    ASSERT_EQ(fake::decalCalls.size(), 2u);
    EXPECT_EQ(fake::decalCalls[1].size[0], 2.0f);
    EXPECT_EQ(InUse(), 1);
    EXPECT_EQ(q_marks[0].startTime, start);
    EXPECT_EQ(q_marks[0].lifeMs, 10000);
    EXPECT_EQ(q_marks[0].fadeStartMs, 8000);
    EXPECT_EQ(q_marks[0].size[0], 1.0f) << "the unscaled size is kept";
    EXPECT_EQ(q_marks[0].creationFrame, qgame.frameCount);

    // A change at the very moment the fade starts keeps the fade.
    qgame.time = start + 8000;
    Later(0);
    CG_RetesselateMark(touchMins, apartMaxs);
    EXPECT_EQ(q_marks[0].startTime, start);
    EXPECT_EQ(q_marks[0].fadeStartMs, 8000);

    // A surface that vanished removes the mark; so does nothing when switched off.
    Later(10);
    fake::Set("cg_retessMark", "0");
    fake::decalIndexes = 0;
    CG_RetesselateMark(touchMins, apartMaxs);
    EXPECT_EQ(InUse(), 1);
    fake::Set("cg_retessMark", "1");
    CG_RetesselateMark(touchMins, apartMaxs);
    EXPECT_EQ(InUse(), 0);
}

// With every slot taken, the copy must not push out an unrelated mark nor be made
// from a slot that was already reused.
TEST_F(Marks, ReclippingInAFullPoolKeepsEveryOtherMark) {
    for (int i = 0; i < MAX_MARKS; i++) MarkAt(static_cast<float>(100 * i), 5000 + i);
    // The mark that would be given up first is the one the deformation touches.
    const uint32_t start0 = q_marks[0].startTime;
    Later(100);
    const float mins[3] = {-1, -1, -1}, maxs[3] = {1, 1, 1};
    CG_RetesselateMark(mins, maxs);
    EXPECT_EQ(InUse(), MAX_MARKS);
    int found = 0;
    for (const mark_t &m : q_marks)
        if (m.origin[0] == 0.0f) {
            found++;
            EXPECT_EQ(m.startTime, start0);
            EXPECT_EQ(m.lifeMs, 5000);
            EXPECT_EQ(m.material, 3);
        }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(fake::decalCalls.size(), static_cast<size_t>(MAX_MARKS + 1));
    EXPECT_EQ(fake::decalCalls.back().origin[0], 0.0f);
}

// Every way the client game lets go of its marks frees their buffers: leaving the
// server, stopping, and starting again over the marks of a run before.
TEST_F(Marks, StoppingDisconnectingAndRestartingReleaseEveryMarksBuffers) {
    struct way_t {
        const char *name;
        void (*run)();
    } ways[] = {
        {"disconnect", [] {
             cg.ecl.state = ECL_CONNECTED;
             CG_Disconnect(0);
         }},
        {"shutdown", [] {
             cg.initialized = 1;
             CG_Shutdown();
         }},
        {"init over old marks", [] { CG_InitMarks(); }},
    };
    for (const way_t &w : ways) {
        SCOPED_TRACE(w.name);
        // Whatever else the way lets go of (left by tests run earlier) goes first, so
        // that the count after it is the marks' alone.
        w.run();
        const int blocks = Com_GetMemBlocks();
        for (int i = 0; i < 5; i++) MarkAt(static_cast<float>(i), 15000);
        ASSERT_EQ(InUse(), 5);
        ASSERT_GT(Com_GetMemBlocks(), blocks);
        w.run();
        EXPECT_EQ(InUse(), 0);
        EXPECT_EQ(Com_GetMemBlocks(), blocks);
    }
}

}  // namespace
