// Random numbers, lattice noise, scalar rounding and wrapping, hue colours and
// the one-byte encoding of unit directions.
//
// The random numbers come from the platform's rand(); the noise is an integer
// hash of the lattice point and the seed, so it gives the same values on every
// host.  Angles are in degrees.
#pragma once

#include <cstdint>

#include "common/com_vector.h"

constexpr int NUM_BYTE_DIRS = 256;
// The 16-bit angle step: 65536/360 and 360/65536, used exactly as written.
constexpr float ANGLE_TO_SHORT = 182.04445f;
constexpr float SHORT_TO_ANGLE = 0.005493164f;

// Added to every lattice index before hashing; 0 at start.
extern int32_t noise_seed;

// The direction of each byte value: eight blocks of 32 by octant, the block of
// a direction starting at 128·(z ≥ 0) + 64·(y ≥ 0) + 32·(x ≥ 0).  Part of the
// wire format: entity directions travel as one of these bytes.
extern const vec3_t byte_dirs[NUM_BYTE_DIRS];

inline constexpr vec4_t color_white = {1, 1, 1, 1};
inline constexpr vec4_t color_black = {0, 0, 0, 1};
inline constexpr vec4_t color_red = {1, 0, 0, 1};
inline constexpr vec4_t color_green = {0, 1, 0, 1};
inline constexpr vec4_t color_blue = {0, 0, 1, 1};
inline constexpr vec4_t color_yellow = {1, 1, 0, 1};

// A float in [0, 1] in steps of about 1/32767.
float Com_frand();
// A float in [−1, 1]: twice Com_frand minus 1.
float Com_crand();
// In place: each component += Com_crand()·amount, drawn x, y, z in that order.
void VectorAddNoise(vec3_t v, float amount);

// Sets noise_seed.
void NoiseSeed(int32_t seed);
// Hash noise at an integer lattice point, in (−1, 1].
float Noise(int x);
float Noise2D(int x, int y);
float Noise3D(int x, int y, int z);
// Weighted averages of a lattice point and its neighbours.
float SmoothNoise(int x);
float SmoothNoise2D(int x, int y);
// 27-point weighted average; neighbours wrap by the periods (a period below 1
// does not wrap: the upper neighbour is 0 and the lower one x − 1).
float SmoothNoise3D(int x, int y, int z, int periodX, int periodY, int periodZ);
// Trilinear interpolation of SmoothNoise3D with wrapping.
float InterpolatedSmoothNoise3D(float fx, float fy, float fz, int periodX, int periodY,
                                int periodZ);
// Smoothstep interpolation of Noise3D with wrapping (period below 1: upper index 0).
float Noise3D_new(float fx, float fy, float fz, int periodX, int periodY, int periodZ);

// a + (b − a)·t
float Lerp(float a, float b, float t);
// a + (b − a)·(3t² − 2t³)
float Lerp3(float a, float b, float t);
// a + (b − a)·(6t⁵ − 15t⁴ + 10t³)
float Lerp5(float a, float b, float t);
// (a + b + c)/3
float Mean(float a, float b, float c);
// Exchanges the two 32-bit words at p and q.
void Swap(void *p, void *q);
float Floor(float x);
float Ceil(float x);
// x − Floor(x)
float Fract(float x);
// Halves go up, also for negatives (−2.5 gives −2).
float Round(float x);
// a − Floor(a/b)·b: the result takes the sign of b.
float Mod(float a, float b);
// 0 when −0.0001 < x < 0.0001, else x.
float Chop(float x);
// Truncation of x when x > 0, of x − 1 otherwise (0 gives −1); clamped to the int range.
int Q_RoundDown(float x);
// f to a multiple of 1/n, rounding up from 0.51 of a step; f itself when n < 1.
float QuantifyFraction(float f, int n);
// In place: each component to Round(c/grid)·grid.
void VectorSnap(vec3_t v, float grid);
// In place: the angle wrapped into [0, 360) on the 16-bit step, truncating toward
// zero first.  Any float is accepted; one that is not finite gives 0.
void AngleMod(float *angle);
// Interpolation from a to b the short way round.
float AngleLerp(float a, float b, float t);
// a − b brought into [−180, 180] for angles within one turn of each other.
float AngleDist(float a, float b);
// RGBA of a fully saturated, full-value hue in degrees; alpha 1.
void HueToColor(vec4_t out, float hue);
// The byte whose table direction is nearest to dir within dir's own octant block.
int Dir2Byte(const vec3_t dir);
// byte_dirs[b]; a value outside 0-255 gives the zero vector.
void Byte2Dir(vec3_t out, int b);
