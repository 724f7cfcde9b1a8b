// Game utilities: event rings, up vectors and body frames, the context-dispatched
// ray trace, the swept box test, shot spread and the rules' names.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "tests/support/capture.h"

namespace {

// A stand-in engine: frand gives 0.25, a trace stops half way; every trap is counted.
std::vector<int> trapsCalled;
intptr_t StubTrap(int number, gameArg_t *args) {
    static float frandResult = 0.25f;
    trapsCalled.push_back(number);
    if (number == GTRAP_FRAND) args[0] = reinterpret_cast<gameArg_t>(&frandResult);
    if (number == GTRAP_TRACE) Arg_Ptr<trace_t>(args, 0)->fraction = 0.5f;
    return 0;
}

struct UtilsTest : testing::Test {
    void SetUp() override {
        hm_test::captured.errors.clear();
        trapsCalled.clear();
        Com_SetupError(hm_test::CaptureError);
        gi.trap = StubTrap;
    }
    void TearDown() override {
        Com_SetupError(nullptr);
        G_SetUndefined();
    }
};

bool Near(const float *a, const float *b, int n, float eps = 1e-5f) {
    for (int i = 0; i < n; i++)
        if (std::fabs(a[i] - b[i]) > eps) return false;
    return true;
}

bool Orthonormal(const float m[9]) {
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            if (std::fabs(_DotProduct(m + 3 * i, m + 3 * j) - (i == j ? 1.0f : 0.0f)) > 1e-5f) return false;
    return true;
}

TEST_F(UtilsTest, EntityEventRingWrapsAfterThirtyTwo) {
    entityState_t es = {};
    for (int i = 1; i <= 33; i++) G_AddEntityStateEvent(&es, static_cast<uint8_t>(i));
    EXPECT_EQ(es.eventCount, 33u);
    EXPECT_EQ(es.events[0], 33);
    EXPECT_EQ(es.events[31], 32);
    G_AddEntityStateEvent(nullptr, 1);  // no record: nothing happens
}

TEST_F(UtilsTest, ClientEventAboveFortyEightIsReportedAsABugAndStillPushed) {
    clientState_t cs = {};
    G_AddClientStateEvent(&cs, 48);
    EXPECT_TRUE(hm_test::captured.errors.empty());
    G_AddClientStateEvent(&cs, 49);
    ASSERT_EQ(hm_test::captured.errors.size(), 1u);
    EXPECT_EQ(hm_test::captured.errors[0].level, ER_BUG);
    EXPECT_NE(hm_test::captured.errors[0].text.find(" @ ../game/g_utils @ 362"), std::string::npos) << hm_test::captured.errors[0].text;
    EXPECT_EQ(cs.eventCount, 2u);
    EXPECT_EQ(cs.events[1], 49);
    G_AddClientStateEvent(nullptr, 1);  // no record: nothing happens
}

TEST_F(UtilsTest, UpAndDownVectors) {
    const vec3_t pos = {0, 0, -4};
    const vec3_t up = {0, 0, -1}, down = {0, 0, 1}, flatUp = {0, 1, 0}, flatDown = {0, -1, 0};
    EXPECT_TRUE(Near(G_GetUpVector(0, pos), up, 3));
    EXPECT_TRUE(Near(G_GetDownVector(0, pos), down, 3));
    EXPECT_TRUE(Near(G_GetUpVector(1, pos), flatUp, 3));
    EXPECT_TRUE(Near(G_GetDownVector(1, pos), flatDown, 3));
    // The world centre has no up: the zero vector stays zero.
    EXPECT_TRUE(VectorIsZero(G_GetUpVector(0, zerovector)));
}

TEST_F(UtilsTest, EllipticAxisIsIdentityAtTheCentreAndUprightElsewhere) {
    float m[9];
    G_CreateEllipticAxis(0, m, zerovector);
    EXPECT_TRUE(Near(m, identitymatrix3x3, 9));
    const vec3_t pos = {3, 4, 0};
    G_CreateEllipticAxis(0, m, pos);
    const vec3_t up = {0.6f, 0.8f, 0};
    EXPECT_TRUE(Near(m + 3, up, 3));
    EXPECT_TRUE(Orthonormal(m));
}

TEST_F(UtilsTest, UpdateEllipticAxisKeepsTheHeadingOverTheBall) {
    float m[9];
    MatrixCopy3x3(m, identitymatrix3x3);
    const vec3_t pos = {0, 10, 1};  // a little forward of the top
    G_UpdateEllipticAxis(0, m, pos);
    EXPECT_TRUE(Orthonormal(m));
    vec3_t up;
    _VectorCopy(up, pos);
    VectorNormalize(up);
    EXPECT_TRUE(Near(m + 3, up, 3));
    EXPECT_TRUE(Near(m, rightvector, 3));  // right was already level: it stays
    // A frame without row 0 is built anew.
    float broken[9] = {};
    G_UpdateEllipticAxis(0, broken, pos);
    EXPECT_TRUE(Orthonormal(broken));
    // Row 0 alone (as a frame arrives in a snapshot) keeps its heading.
    const vec3_t heading = {0.6f, 0, -0.8f};
    float travelled[9] = {heading[0], heading[1], heading[2]};
    const vec3_t top = {0, 10, 0};
    G_UpdateEllipticAxis(0, travelled, top);
    EXPECT_TRUE(Orthonormal(travelled));
    EXPECT_TRUE(Near(travelled, heading, 3));
}

// Row 0 is a client's aim as sent: a row that leaves no usable heading still gives
// a whole frame, never one with a row of zero (movement refuses those fatally).
TEST_F(UtilsTest, UpdateEllipticAxisBuildsAFrameFromAnyRowZero) {
    const float rows[][3] = {
        {1e-30f, 0, 0},  {1e-45f, 1, 0},  {0, 1, 0},          {0, -3, 0},
        {1e30f, 1e30f, 1e30f}, {3e38f, 3e38f, 3e38f}, {NAN, 0, 1}, {INFINITY, 0, 0},
    };
    for (uint8_t flat : {uint8_t{1}, uint8_t{0}}) {
        const vec3_t pos = {0, 10, 0};
        for (const auto &row : rows) {
            float m[9] = {row[0], row[1], row[2]};
            G_UpdateEllipticAxis(flat, m, pos);
            EXPECT_TRUE(Orthonormal(m)) << int(flat) << " " << row[0] << " " << row[1] << " " << row[2];
            EXPECT_TRUE(Near(m + 3, upvector, 3));
        }
    }
}

TEST_F(UtilsTest, EllipticAxis2AxisTurnsAboutTheUpRow) {
    float out[9];
    G_EllipticAxis2Axis(out, identitymatrix3x3, zerovector, 1);
    EXPECT_TRUE(Near(out, identitymatrix3x3, 9));
    const vec3_t yaw = {0, 0, 90};
    G_EllipticAxis2Axis(out, identitymatrix3x3, yaw, 1);
    EXPECT_TRUE(Orthonormal(out));
    EXPECT_TRUE(Near(out + 3, upvector, 3));      // a turn about the up axis keeps up
    EXPECT_NEAR(std::fabs(out[6]), 1.0f, 1e-5f);  // forward now lies along x
    entityAxes_t ent = {};
    MatrixCopy3x3(ent.ellipticAxis, identitymatrix3x3);
    const vec3_t look = {0, 30, 90};
    G_SetupEntityAxis(&ent, look);
    matrix3x3_t t;
    MatrixCopy3x3(t, ent.viewAxis);
    MatrixTranspose3x3(t);
    EXPECT_TRUE(Near(t, ent.viewAxisT, 9));
    EXPECT_TRUE(Near(ent.levelAxisT + 3, upvector, 3));  // no pitch in the level frame
}

TEST_F(UtilsTest, EllipticAxis2AxisTurnsInTheBodysFrameOnARoundWorld) {
    // A body on the +x side of a round world: right +z, up +x, forward +y.
    const float body[9] = {0, 0, 1, 1, 0, 0, 0, 1, 0};
    const float *right = body, *up = body + 3, *forward = body + 6;
    const float s = std::sin(0.5f), c = std::cos(0.5f);  // 0.5 rad = 28.6479 degrees
    constexpr float DEG = 28.647890f;
    struct turnCase_t {
        const char *what;
        vec3_t angles;
        vec3_t forward;  // expected, as mixtures of the body's rows
    } const cases[] = {
        {"none", {0, 0, 0}, {forward[0], forward[1], forward[2]}},
        {"pitch down", {0, DEG, 0}, {c * forward[0] - s * up[0], c * forward[1] - s * up[1], c * forward[2] - s * up[2]}},
        {"yaw", {0, 0, DEG}, {c * forward[0] + s * right[0], c * forward[1] + s * right[1], c * forward[2] + s * right[2]}},
        {"roll", {DEG, 0, 0}, {forward[0], forward[1], forward[2]}},
    };
    for (const turnCase_t &t : cases) {
        float out[9];
        G_EllipticAxis2Axis(out, body, t.angles, 1);
        EXPECT_TRUE(Orthonormal(out)) << t.what;
        EXPECT_TRUE(Near(out + 6, t.forward, 3, 1e-4f)) << t.what << ": " << out[6] << " " << out[7] << " " << out[8];
        if (t.angles[1] == 0) {
            EXPECT_NEAR(_DotProduct(out + 6, up), 0.0f, 1e-5f) << t.what << " stays level";
        }
    }
}

TEST_F(UtilsTest, RayTraceDispatchesOnTheGameContext) {
    gameTrace_t tr;
    const vec3_t a = {0, 0, 0}, b = {0, 0, 5};
    tr.trace.fraction = 0.7f;
    EXPECT_EQ(G_RayTrace(&tr, a, b, nullptr, 1), &tr);
    ASSERT_EQ(hm_test::captured.errors.size(), 1u);
    EXPECT_EQ(hm_test::captured.errors[0].level, ER_FATAL);
    EXPECT_EQ(hm_test::captured.errors[0].text, "G_RayTrace: Called undefined SG");
    EXPECT_EQ(tr.trace.fraction, 0.0f);
    EXPECT_TRUE(trapsCalled.empty());
    for (auto side : {G_SetSG, G_SetCG}) {
        trapsCalled.clear();
        side();
        G_RayTrace(&tr, a, b, nullptr, 1);
        EXPECT_EQ(trapsCalled, std::vector<int>{GTRAP_TRACE});
        EXPECT_EQ(tr.trace.fraction, 0.5f);
        EXPECT_EQ(tr.entity, nullptr);
    }
}

TEST_F(UtilsTest, FireEndPosScattersAcrossTheAim) {
    const vec3_t start = {1, 2, 3};
    vec3_t out;
    G_CalcFireEndPos(out, start, identitymatrix3x3, 10, 0, 1);
    const vec3_t straight = {1, 2, 13};
    EXPECT_TRUE(Near(out, straight, 3));
    EXPECT_EQ(trapsCalled, (std::vector<int>{GTRAP_FRAND, GTRAP_FRAND}));
    // frand 0.25 twice: a quarter turn, a quarter of the spread (0.5² = 0.25 with power 2).
    G_CalcFireEndPos(out, start, identitymatrix3x3, 10, 0.5f, 2);
    const vec3_t scattered = {1, 2 + 0.0625f, 13};
    EXPECT_TRUE(Near(out, scattered, 3));
}

obb_t Box(float x, float half) {
    obb_t b = {};
    b.origin[0] = x;
    b.halfSize[0] = b.halfSize[1] = b.halfSize[2] = half;
    memcpy(b.axis, identitymatrix3x3, sizeof(b.axis));
    MatrixCopy3x3(b.axisT, identitymatrix3x3);
    return b;
}

TEST_F(UtilsTest, SweptBoxIsTestedInStepsOfItsSmallestHalfExtent) {
    struct sweepCase_t {
        float half, targetX, fraction;
        int hit;
    } cases[] = {
        {0.2f, 3, 1, 0},     // steps 0.5 and 1 pass over a target met only near 0.3
        {0.2f, 5, 1, 1},     // met at 0.5: the fraction is where the step began
        {0.2f, 5, 0.4f, 0},  // not earlier than what the trace already holds
        {0.05f, 5, 1, 0},    // one step, at the end
        {0.05f, 10, 1, 1},
    };
    for (const auto &c : cases) {
        const obb_t start = Box(0, c.half), end = Box(10, c.half), target = Box(c.targetX, 0.1f);
        trace_t tr = {};
        tr.fraction = c.fraction;
        EXPECT_EQ(G_SweapOBBToOBB(&tr, &start, &end, &target), c.hit) << c.half << " " << c.targetX;
        if (c.hit) {
            EXPECT_EQ(tr.fraction, 0.0f);
            EXPECT_TRUE(Near(tr.endpos, zerovector, 3));
            EXPECT_TRUE(Near(tr.plane, rightvector, 3));
            EXPECT_TRUE(Near(&tr.endAxes[0][0], identitymatrix3x3, 9)) << "the axes at the stop, never zero";
        }
    }
    // Boxes without width end the loop after one test instead of stepping forever.
    const obb_t start = Box(0, 0), end = Box(10, 0), target = Box(4, 0.1f);
    trace_t tr = {};
    tr.fraction = 1;
    EXPECT_EQ(G_SweapOBBToOBB(&tr, &start, &end, &target), 0);
    // Boxes so wide that a tenth of their extent is below a float's step of t still
    // advance, and meet the target where the motion reaches it.
    const obb_t wideStart = Box(0, 1e7f), wideEnd = Box(1e8f, 1e7f), far = Box(3e7f, 0.1f);
    tr.fraction = 1;
    EXPECT_EQ(G_SweapOBBToOBB(&tr, &wideStart, &wideEnd, &far), 1);
    EXPECT_NEAR(tr.fraction, 0.2f, 1.0f / SWEEP_MAX_STEPS);
}

TEST_F(UtilsTest, RulesNamesAndSphereOffsets) {
    EXPECT_STREQ(G_GetRulesString(0), "dm");
    EXPECT_STREQ(G_GetRulesString(1), "cr");
    EXPECT_STREQ(G_GetRulesString(2), "f");
    EXPECT_STREQ(G_GetRulesString(3), "cc");
    EXPECT_TRUE(hm_test::captured.errors.empty());
    EXPECT_STREQ(G_GetRulesString(4), "dm");
    EXPECT_STREQ(G_GetRulesString(-1), "dm");
    ASSERT_EQ(hm_test::captured.errors.size(), 2u);
    EXPECT_NE(hm_test::captured.errors[0].text.find("../game/g_utils @ 406"), std::string::npos);
    EXPECT_FLOAT_EQ(G_PlayerSphereOffset(0.5f, 3), 0.66f * 0.5f + 0.66f);
    EXPECT_EQ(G_PlayerSphereOffset(0, 4), 0.0f);
    EXPECT_NE(hm_test::captured.errors.back().text.find("../game/g_utils @ 396"), std::string::npos);
}

TEST_F(UtilsTest, HitPolyhedronEnclosesItsBox) {
    vec4_t planes[6];
    const vec3_t centre = {5, 0, 0}, mins = {-1, -2, -3}, maxs = {1, 2, 3};
    G_SetupHitPolyhedron(planes, centre, identitymatrix3x3, mins, maxs);
    const vec3_t inside = {5.5f, 1, -2}, outside = {5, 2.5f, 0};
    for (const auto &p : planes) EXPECT_LT(_PointOnSideOfPlane(inside, p), 0);
    int outsideOf = 0;
    for (const auto &p : planes) outsideOf += _PointOnSideOfPlane(outside, p) > 0;
    EXPECT_EQ(outsideOf, 1);
}

}  // namespace
