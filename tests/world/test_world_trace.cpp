#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "common/com_geometry.h"
#include "tests/world/world_build.h"
#include "world/wo_local.h"

namespace {

using namespace worldbuild;

constexpr float kRadius = 20.0f;

// A tessellated ball of radius 20 around the origin, built once for the whole suite.
class WorldTrace : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Build(Ball(kRadius));
        TessAll();
    }
    void SetUp() override { wo_lg = 0; }
};

// The nearest crossing over every collision triangle of the world, by brute force.
float NearestCrossing(const vec3_t a, const vec3_t b) {
    float best = 1;
    for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        for (int i = 0; i < p->numSurfs; i++) {
            const woSurf_t &s = p->surfs[i];
            float f = best;
            vec3_t hit;
            if (CM_LineSegmentToPlane(a, b, s.plane, &f, hit) && WO_PointOnSurf(&s, hit))
                best = f;
        }
    return best;
}

// Distance along the unit direction d from p to the analytic sphere, or -1.
float SphereDistance(const vec3_t p, const vec3_t d, float r) {
    const float b = _DotProduct(p, d), c = _DotProduct(p, p) - r * r;
    const float disc = b * b - c;
    return disc < 0 ? -1 : -b - std::sqrt(disc);
}

obb_t Box(float x, float y, float z, float half) {
    obb_t b = {};
    b.origin[0] = x, b.origin[1] = y, b.origin[2] = z;
    b.halfSize[0] = b.halfSize[1] = b.halfSize[2] = half;
    b.axis[0][0] = b.axis[1][1] = b.axis[2][2] = 1;
    return b;
}

TEST_F(WorldTrace, RayDownTheYAxisStopsOnTheBallFacingItsStart) {
    const vec3_t a = {0, 40, 0}, b = {0, -40, 0};
    trace_t tr;
    WO_RayTrace(&tr, a, b);
    ASSERT_LT(tr.fraction, 1);
    EXPECT_NEAR(tr.fraction, (40 - kRadius) / 80, 0.1 / 80);
    EXPECT_NEAR(tr.endpos[1], kRadius, 0.1);
    EXPECT_NEAR(tr.plane[1], 1, 0.02);
    EXPECT_NEAR(_DotProduct(tr.plane, tr.endpos) + tr.plane[3], 0, 1e-4) << "endpos lies on the plane";
}

TEST_F(WorldTrace, RayThatMeetsNothingKeepsItsEnd) {
    const vec3_t a = {-40, 30, 5}, b = {40, 30, -5};
    trace_t tr;
    WO_RayTrace(&tr, a, b);
    EXPECT_EQ(tr.fraction, 1);
    EXPECT_EQ(tr.endpos[0], 40);
    EXPECT_EQ(tr.endpos[1], 30);
    EXPECT_EQ(tr.endpos[2], -5);
    EXPECT_EQ(tr.plane[0], 0);
    EXPECT_EQ(tr.plane[3], 0);
}

// Random rays from outside the ball, short and far longer than the world: the walk must
// find the nearest triangle, and that lies on the analytic sphere.
TEST_F(WorldTrace, RandomRaysFindTheNearestTriangleOnTheAnalyticSphere) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-1, 1);
    int hits = 0;
    for (int n = 0; n < 600; n++) {
        vec3_t dir = {u(rng), u(rng), u(rng)};
        if (VectorNormalize(dir) < 0.1f)
            continue;
        // A start outside the ball (at least 36 - 14 from its centre), aimed near the centre.
        vec3_t start, end, aim = {u(rng) * 8, u(rng) * 8, u(rng) * 8};
        const float back = 36 + 10 * (u(rng) + 1), length = n % 3 == 0 ? 5000 : 70;
        for (int i = 0; i < 3; i++) {
            start[i] = aim[i] - dir[i] * back;
            end[i] = start[i] + dir[i] * length;
        }
        trace_t tr;
        WO_RayTrace(&tr, start, end);
        // The nearest triangle, or one that meets it on a shared edge.
        ASSERT_NEAR(tr.fraction * length, NearestCrossing(start, end) * length, 0.002) << "ray " << n;
        // Rays that pass the ball's rim by less than a voxel may meet the facets or not.
        vec3_t closest;
        _VectorAddMultiple(closest, start, dir, -_DotProduct(start, dir));
        const float miss = VectorLength(closest);
        if (miss > kRadius + 0.5f) {
            EXPECT_EQ(tr.fraction, 1) << "ray " << n;
            continue;
        }
        if (miss > kRadius - 0.5f)
            continue;
        const float analytic = SphereDistance(start, dir, kRadius);
        vec3_t onSphere;
        _VectorAddMultiple(onSphere, start, dir, analytic);
        VectorNormalize(onSphere);
        hits++;
        ASSERT_LT(tr.fraction, 1) << "ray " << n;
        EXPECT_NEAR(tr.fraction * length, analytic, 0.12) << "ray " << n;
        EXPECT_GT(_DotProduct(tr.plane, onSphere), 0.97f) << "ray " << n;
    }
    EXPECT_GT(hits, 150);
}

// A crossing taken within the edge tolerance can lie past its cube's exit; an exact
// crossing nearer along the ray waits in the next cube and must win.
TEST_F(WorldTrace, ARayTakesTheNearestCrossingEvenWhenAnEarlierCubeHasALaterOne) {
    const vec3_t a = {-0x1.a949e2p+4f, -0x1.850deep+5f, 0x1.6c1ed8p+3f};
    const vec3_t b = {0x1.bf0bfp+3f, 0x1.98d8cp+4f, -0x1.25399ep+5f};
    trace_t tr;
    WO_RayTrace(&tr, a, b);
    EXPECT_EQ(tr.fraction, NearestCrossing(a, b));
}

TEST_F(WorldTrace, PointsInsideMatterHaveFractionZero) {
    const struct {
        vec3_t p;
        bool inside;
    } cases[] = {
        {{0.3f, 0.2f, 0.1f}, true}, {{10, -5, 3}, true},   {{0, 19.2f, 0}, true},
        {{-13, 13, 7}, true},       {{0, 20.8f, 0}, false}, {{30, 0, 0}, false},
        {{-14, 14, 14}, false},     {{45, -45, 45}, false}, {{0, 0, 60}, false},
    };
    for (byte lg : {0, 1}) {
        // With wo_lg the reference point lies above the space box and counts as outside.
        const vec3_t spaceBox = {0, 30, 0};
        WO_SetWorldAltitude(4, 80, spaceBox, lg);
        for (const auto &c : cases) {
            trace_t tr;
            WO_RayTrace(&tr, c.p, c.p);
            EXPECT_EQ(tr.fraction, c.inside ? 0 : 1)
                << "lg " << int(lg) << " point " << c.p[0] << " " << c.p[1] << " " << c.p[2];
        }
    }
    WO_SetWorldAltitude(4, 80, nullptr, 0);
}

// Points anywhere in the world away from the surface: the crossing count's parity must
// agree with the analytic ball, with either reference point.
TEST_F(WorldTrace, InsideTestAgreesWithTheBallEverywhere) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-50, 50);
    const vec3_t spaceBox = {0, 45, 0};
    int wrong[2] = {0, 0}, tested = 0;
    for (int n = 0; n < 3000; n++) {
        const vec3_t p = {u(rng), u(rng), u(rng)};
        const float r = VectorLength(p);
        if (std::fabs(r - kRadius) < 0.5f)
            continue;
        tested++;
        for (byte lg : {0, 1}) {
            WO_SetWorldAltitude(4, 80, spaceBox, lg);
            trace_t tr;
            WO_RayTrace(&tr, p, p);
            wrong[lg] += (tr.fraction == 0) != (r < kRadius);
        }
    }
    WO_SetWorldAltitude(4, 80, nullptr, 0);
    EXPECT_GT(tested, 2500);
    EXPECT_EQ(wrong[0], 0);
    EXPECT_EQ(wrong[1], 0);
}

TEST_F(WorldTrace, ZeroExtentTraceIsARay) {
    obb_t a = Box(0, 40, 0, 0), b = Box(0, -40, 0, 0);
    trace_t tr;
    WO_Trace(&tr, &a, &b);
    EXPECT_NEAR(tr.endpos[1], kRadius, 0.1);
}

TEST_F(WorldTrace, FallingBoxesStopOnTheBallAtTheirLowestPoint) {
    const struct {
        float degrees;  // turn about z
        float reach;    // centre above the lowest point
    } cases[] = {{0, 0.5f}, {45, 0.5f * std::sqrt(2.0f)}};
    for (const auto &c : cases) {
        obb_t a = Box(0, 30, 0, 0.5f), b = Box(0, 10, 0, 0.5f);
        const float r = c.degrees * DEG2RAD;
        for (obb_t *box : {&a, &b}) {
            box->axis[0][0] = std::cos(r), box->axis[0][1] = std::sin(r);
            box->axis[1][0] = -std::sin(r), box->axis[1][1] = std::cos(r);
        }
        trace_t tr;
        WO_Trace(&tr, &a, &b);
        ASSERT_LT(tr.fraction, 1) << c.degrees;
        // Samples lie 0.5 / (10 * 20) of the way (0.05 units) apart.
        EXPECT_GE(tr.endpos[1], kRadius + c.reach - 0.1) << c.degrees;
        EXPECT_LE(tr.endpos[1], kRadius + c.reach + 0.1) << c.degrees;
        EXPECT_NEAR(tr.fraction, (30 - tr.endpos[1]) / 20, 1e-5) << c.degrees;
        // The stop is a sample: a whole number of steps of a tenth of the thinnest extent.
        const float steps = tr.fraction / (0.5f / (10 * 20));
        EXPECT_NEAR(steps, std::round(steps), 0.01) << c.degrees;
        EXPECT_GT(tr.plane[1], 0.9f) << c.degrees;
        EXPECT_NEAR(tr.endAxes[0][0], std::cos(r), 1e-5) << c.degrees;
        EXPECT_FALSE(WO_ClipObbToWorld(&a, nullptr));
    }
}

// A box around a point of a triangle overlaps it, however small the box and wherever the
// point lies in its cube.
TEST_F(WorldTrace, TinyBoxesOnTheSurfaceTouchIt) {
    int tested = 0, missed = 0;
    for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        for (int i = 0; i < p->numSurfs; i++, tested++) {
            const woSurf_t &s = p->surfs[i];
            obb_t box = Box(0, 0, 0, 0.05f);
            for (int k = 0; k < 3; k++)
                box.origin[k] = (s.points[0][k] + s.points[1][k] + s.points[2][k]) / 3;
            missed += !WO_ClipObbToWorld(&box, nullptr);
        }
    EXPECT_GT(tested, 1000);
    EXPECT_EQ(missed, 0);
}

// A sweep between two orientations tests boxes whose axes are not orthogonal: the box
// the test takes reaches along the skew far beyond what its rows alone span.
TEST_F(WorldTrace, ASkewedBoxReachesAsFarAsItsAxesSpan) {
    obb_t box = Box(0, 28, 0, 0.5f);
    const float angle = 0.1f;
    box.axis[1][0] = std::cos(angle);
    box.axis[1][1] = std::sin(angle);
    // |x| <= 0.5 and |x cos + (y - 28) sin| <= 0.5 reach y = 28 - 10 at x = 0.5, into the ball.
    for (int i = 0; i < 3; i++)
        for (int k = 0; k < 3; k++)
            box.axisT[i * 3 + k] = box.axis[k][i];
    const vec3_t probe = {0.5f, 19.5f, 0};
    vec3_t local;
    for (int i = 0; i < 3; i++)
        local[i] = _DotProduct(box.axis[i], probe) - _DotProduct(box.axis[i], box.origin);
    ASSERT_LE(std::fabs(local[0]), 0.5f);
    ASSERT_LE(std::fabs(local[1]), 0.5f);
    EXPECT_TRUE(WO_ClipObbToWorld(&box, nullptr));
}

TEST_F(WorldTrace, BoxesAtRestAreTestedInPlace) {
    const struct {
        obb_t box;
        float fraction;
        bool plane;
    } cases[] = {
        {Box(0, 0, 0, 2), 0, false},      // wholly inside matter: the inside test
        {Box(0, 35, 0, 2), 1, false},     // open space
        {Box(0, 20, 0, 1), 0, true},      // across the surface
    };
    for (const auto &c : cases) {
        trace_t tr;
        WO_Trace(&tr, &c.box, &c.box);
        EXPECT_EQ(tr.fraction, c.fraction) << c.box.origin[1];
        EXPECT_EQ(tr.plane[1] != 0, c.plane) << c.box.origin[1];
    }
}

TEST_F(WorldTrace, BoxBlockedAtItsFirstSampleStopsAtTheStart) {
    obb_t a = Box(0, 20.45f, 0, 0.5f), b = Box(0, 0, 0, 0.5f);
    a.axis[0][0] = b.axis[0][0] = 1;
    trace_t tr;
    WO_Trace(&tr, &a, &b);
    EXPECT_EQ(tr.fraction, 0);
    EXPECT_EQ(tr.endpos[1], 20.45f);
}

TEST_F(WorldTrace, ThinBoxesAreRefusedWithAWarning) {
    ErrorLog log;
    obb_t a = Box(0, 30, 0, 0.5f), b = Box(0, 10, 0, 0.5f);
    b.halfSize[2] = 0.0005f;
    trace_t tr;
    WO_Trace(&tr, &a, &b);
    EXPECT_EQ(tr.fraction, 1);
    EXPECT_TRUE(log.Has(ER_WARNING, "WO_VolumeTrace: volume dim < 0.001"));
}

// Sweeps of any length end, and never pass through the ball unnoticed.
TEST_F(WorldTrace, HugeAndNonFiniteMovesEnd) {
    ErrorLog log;
    {
        obb_t a = Box(0, 1e30f, 0, 0.5f), b = Box(0, -1e30f, 0, 0.5f);
        trace_t tr;
        WO_Trace(&tr, &a, &b);
        EXPECT_GE(tr.fraction, 0);
        EXPECT_LE(tr.fraction, 1);
    }
    {
        obb_t a = Box(0, 3000, 0, 0.5f), b = Box(0, -3000, 0, 0.5f);
        trace_t tr;
        WO_Trace(&tr, &a, &b);
        EXPECT_LT(tr.fraction, 0.5f) << "a long sweep still stops at the ball";
    }
    for (float bad : {NAN, INFINITY}) {
        obb_t a = Box(0, 30, 0, 0.5f), b = Box(0, bad, 0, 0.5f);
        trace_t tr;
        WO_Trace(&tr, &a, &b);
        EXPECT_EQ(tr.fraction, 0) << "a box sent nowhere does not move";
        EXPECT_EQ(tr.endpos[1], 30);
    }
    EXPECT_TRUE(log.Has(ER_WARNING, "WO_VolumeTrace: box is not finite"));
    {
        const vec3_t a = {0, 1e6f, 0}, b = {0, -1e6f, 0};
        trace_t tr;
        WO_RayTrace(&tr, a, b);
        EXPECT_NEAR(tr.endpos[1], kRadius, 0.2) << "a ray far longer than the world";
        const vec3_t n = {NAN, 0, 0};
        WO_RayTrace(&tr, n, b);
        EXPECT_EQ(tr.fraction, 1);
        WO_RayTrace(&tr, n, n);
        EXPECT_EQ(tr.fraction, 1);
    }
}

// Ground whose top layer has density 128 exactly: the surface lies on the grid plane
// y = 61 (voxels), and its triangles in the cubes above that plane.
class WorldTraceOnTheGrid : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Build([](int, int y, int) -> voxel_t { return y < 61 ? 200 : y == 61 ? 128 : 0; });
        TessAll();
    }
};

// A ray that starts on the surface must not slip into the ground because its start
// rounds into the cube below the plane.
TEST_F(WorldTraceOnTheGrid, RaysFromTheSurfaceIntoTheGroundStopAtOnce) {
    const float ground = WO_VoxelToWorld(61);
    const struct {
        const char *what;
        vec3_t a, b;
    } cases[] = {
        {"straight down", {3.3f, ground, 1.1f}, {3.3f, ground - 5, 1.1f}},
        {"slanting down", {3.3f, ground, 1.1f}, {5.3f, ground - 4, -0.9f}},
        {"down a grid line", {WO_VoxelToWorld(70), ground, WO_VoxelToWorld(60)},
         {WO_VoxelToWorld(70), ground - 4, WO_VoxelToWorld(60)}},
    };
    for (const auto &c : cases) {
        trace_t tr;
        WO_RayTrace(&tr, c.a, c.b);
        EXPECT_EQ(tr.fraction, 0) << c.what;
        EXPECT_EQ(tr.fraction, NearestCrossing(c.a, c.b)) << c.what;
    }
}

}  // namespace
