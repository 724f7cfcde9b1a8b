#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "common/com_noise.h"

namespace {

TEST(Noise, ByteDirectionsRoundTrip) {
    for (int b = 0; b < NUM_BYTE_DIRS; b++) {
        vec3_t dir;
        Byte2Dir(dir, b);
        // Entry 140 lies inside the pull of entry 130, which the search meets first.
        EXPECT_EQ(Dir2Byte(dir), b == 140 ? 130 : b) << "byte " << b;
    }
    vec3_t dir = {1, 1, 1};
    Byte2Dir(dir, 256);
    EXPECT_TRUE(VectorIsZero(dir));
    _VectorCopy(dir, onevector);
    Byte2Dir(dir, -1);
    EXPECT_TRUE(VectorIsZero(dir));
}

TEST(Noise, ByteDirectionTableKeepsItsOctantBlocks) {
    for (int b = 0; b < NUM_BYTE_DIRS; b++) {
        const float *d = byte_dirs[b];
        const int block = 128 * (d[2] >= 0) + 64 * (d[1] >= 0) + 32 * (d[0] >= 0);
        EXPECT_EQ(block, b & ~31) << "byte " << b;
        EXPECT_NEAR(VectorLength(d), 1.0f, b == 180 ? 0.011f : 0.001f) << "byte " << b;
    }
}

TEST(Noise, Dir2ByteSearchesOnlyItsOwnBlock) {
    const struct {
        vec3_t dir;
        int lo;
    } cases[] = {{{0, 0, 1}, 224}, {{-1, 0, 0}, 192}, {{0, 0, -1}, 96}, {{0, -1, 0}, 160}, {{0, 0, 0}, 224}};
    for (const auto &c : cases) {
        const int b = Dir2Byte(c.dir);
        EXPECT_GE(b, c.lo);
        EXPECT_LT(b, c.lo + 32);
    }
    const vec3_t notANumber = {NAN, NAN, NAN};
    const int b = Dir2Byte(notANumber);
    EXPECT_GE(b, 0);
    EXPECT_LT(b, NUM_BYTE_DIRS);
    const vec3_t longer = {0, 0, 25};  // only the direction matters
    EXPECT_EQ(Dir2Byte(longer), Dir2Byte(forwardvector));
}

TEST(Noise, LatticeHashIsFixed) {
    NoiseSeed(0);
    EXPECT_NEAR(Noise3D(0, 0, 0), 1.0f - 1376312589.0f / 1073741824.0f, 1e-6f);
    EXPECT_NEAR(Noise3D(0, 0, 0), -0.2818f, 1e-4f);
    EXPECT_EQ(Noise(0), Noise3D(0, 0, 0));
    EXPECT_EQ(Noise2D(57, 0), Noise2D(0, 1));  // x + 57·y
    EXPECT_EQ(Noise3D(3347, 0, 0), Noise3D(0, 0, 1));
    NoiseSeed(5);
    const float seeded = Noise(0);
    NoiseSeed(0);
    EXPECT_EQ(seeded, Noise(5));
    // Wrapping indices are defined and stay in (−1, 1].
    for (int x : {2147483647, -2147483647 - 1, -1, 12345}) {
        for (float v : {Noise(x), Noise2D(x, x), Noise3D(x, x, x), SmoothNoise(x), SmoothNoise2D(x, ~x)}) {
            EXPECT_GT(v, -1.0f);
            EXPECT_LE(v, 1.0f);
        }
    }
}

TEST(Noise, SmoothNoiseWrapsByItsPeriod) {
    NoiseSeed(17);
    // With period 4, x = 3's upper neighbour is 0 and x = 0's lower one is 3, so
    // the smoothed lattice repeats.
    EXPECT_EQ(SmoothNoise3D(0, 1, 2, 4, 4, 4), SmoothNoise3D(0, 1, 2, 4, 4, 4));
    EXPECT_EQ(InterpolatedSmoothNoise3D(3.5f, 1.25f, 0.5f, 4, 4, 4),
              InterpolatedSmoothNoise3D(3.5f, 1.25f, 0.5f, 4, 4, 4));
    EXPECT_EQ(InterpolatedSmoothNoise3D(1, 2, 3, 4, 4, 4), SmoothNoise3D(1, 2, 3, 4, 4, 4));
    EXPECT_EQ(Noise3D_new(1, 2, 3, 4, 4, 4), Noise3D(1, 2, 3));
    // The interpolated value at x = 3.999 approaches the wrapped corner x = 0.
    EXPECT_NEAR(InterpolatedSmoothNoise3D(3.9999f, 1, 1, 4, 4, 4), SmoothNoise3D(0, 1, 1, 4, 4, 4), 1e-3f);
    EXPECT_NEAR(Noise3D_new(3.9999f, 1, 1, 4, 4, 4), Noise3D(0, 1, 1), 1e-3f);
    // Periods below 1 and coordinates beyond the int range do not fault.
    EXPECT_TRUE(std::isfinite(SmoothNoise3D(5, 5, 5, 0, -3, 0)));
    EXPECT_TRUE(std::isfinite(InterpolatedSmoothNoise3D(1e20f, -1e20f, 0.5f, 0, 0, 0)));
    const float v = Noise3D_new(1e20f, 2, NAN, 0, 4, 4);  // no fault; the value is not a number
    (void)v;
    NoiseSeed(0);
}

TEST(Noise, RandomNumbersStayInRange) {
    srand(3);
    for (int i = 0; i < 2000; i++) {
        const float f = Com_frand(), c = Com_crand();
        EXPECT_GE(f, 0);
        EXPECT_LE(f, 1.0001f);
        EXPECT_GE(c, -1);
        EXPECT_LE(c, 1.0001f);
    }
    vec3_t v = {0, 0, 0};
    VectorAddNoise(v, 0.5f);
    for (float x : v) EXPECT_LE(std::fabs(x), 0.5001f);
}

TEST(Noise, AngleModTable) {
    const struct {
        float in, out;
    } cases[] = {
        {-90, 270}, {360, 0}, {359.999f, 359.9945f}, {0, 0}, {720.5f, 0.4998779f}, {-360, 0},
        {1e30f, 0}, {-1e30f, 0}, {INFINITY, 0}, {NAN, 0},
    };
    for (const auto &c : cases) {
        float a = c.in;
        AngleMod(&a);
        EXPECT_NEAR(a, c.out, 1e-3f) << c.in;
        EXPECT_GE(a, 0);
        EXPECT_LT(a, 360);
    }
    // Beyond the int range the 16-bit step wraps as it does within it: 2^40
    // steps is a whole number of turns.
    float big = 1099511627776.0f * SHORT_TO_ANGLE;
    AngleMod(&big);
    EXPECT_GE(big, 0);
    EXPECT_LT(big, 360);
}

TEST(Noise, AngleDistanceAndLerp) {
    EXPECT_FLOAT_EQ(AngleDist(350, 10), -20);
    EXPECT_FLOAT_EQ(AngleDist(10, 350), 20);
    EXPECT_FLOAT_EQ(AngleDist(30, 10), 20);
    EXPECT_FLOAT_EQ(AngleLerp(350, 10, 0.5f), 0);
    EXPECT_FLOAT_EQ(AngleLerp(10, 350, 0.5f), 360);  // the same direction, not wrapped
    EXPECT_FLOAT_EQ(AngleLerp(10, 30, 0.25f), 15);
}

TEST(Noise, RoundingTable) {
    EXPECT_EQ(Round(-0.5f), 0);
    EXPECT_TRUE(std::signbit(Round(-0.5f)));
    EXPECT_EQ(Round(-2.5f), -2);
    EXPECT_EQ(Round(2.5f), 3);
    EXPECT_EQ(Round(2.49f), 2);
    EXPECT_EQ(Chop(0.0001f), 0.0001f);
    EXPECT_EQ(Chop(0.00009f), 0);
    EXPECT_EQ(Chop(-0.00009f), 0);
    EXPECT_EQ(Q_RoundDown(0), -1);
    EXPECT_EQ(Q_RoundDown(-2), -3);
    EXPECT_EQ(Q_RoundDown(2.7f), 2);
    EXPECT_EQ(Q_RoundDown(1e20f), 2147483647);
    EXPECT_EQ(Q_RoundDown(-1e20f), -2147483647 - 1);
    EXPECT_FLOAT_EQ(Mod(-1, 3), 2);
    EXPECT_FLOAT_EQ(Mod(1, -3), -2);
    EXPECT_FLOAT_EQ(Fract(-0.25f), 0.75f);
    EXPECT_FLOAT_EQ(QuantifyFraction(0.26f, 4), 0.25f);
    EXPECT_FLOAT_EQ(QuantifyFraction(0.13f, 4), 0.25f);  // from 0.51 of a step up
    EXPECT_FLOAT_EQ(QuantifyFraction(0.12f, 4), 0);
    EXPECT_FLOAT_EQ(QuantifyFraction(0.3f, 0), 0.3f);
    EXPECT_FLOAT_EQ(Lerp3(0, 1, 0.5f), 0.5f);
    EXPECT_FLOAT_EQ(Lerp5(0, 1, 0.5f), 0.5f);
    EXPECT_FLOAT_EQ(Lerp5(2, 4, 1), 4);
    EXPECT_FLOAT_EQ(Mean(1, 2, 6), 3);
    vec3_t v = {0.26f, -0.26f, 0.05f};
    VectorSnap(v, 0.1f);
    EXPECT_NEAR(v[0], 0.3f, 1e-6f);
    EXPECT_NEAR(v[1], -0.3f, 1e-6f);
    EXPECT_NEAR(v[2], 0.1f, 1e-6f);
    float p = 1.5f, q = -2.0f;
    Swap(&p, &q);
    EXPECT_EQ(p, -2.0f);
    EXPECT_EQ(q, 1.5f);
}

TEST(Noise, HueToColorTable) {
    const struct {
        float hue;
        vec4_t rgba;
    } cases[] = {
        {0, {1, 0, 0, 1}},   {60, {1, 1, 0, 1}},  {120, {0, 1, 0, 1}},      {180, {0, 1, 1, 1}},
        {240, {0, 0, 1, 1}}, {300, {1, 0, 1, 1}}, {30, {1, 0.5f, 0, 1}}, {-60, {1, 0, 1, 1}},
    };
    for (const auto &c : cases) {
        vec4_t out;
        HueToColor(out, c.hue);
        for (int i = 0; i < 4; i++) EXPECT_NEAR(out[i], c.rgba[i], 2e-4f) << "hue " << c.hue;
    }
}

}  // namespace
