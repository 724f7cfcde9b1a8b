// Random numbers, lattice noise, scalar rounding, hue colours and byte directions.
#include "common/com_noise.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

int32_t noise_seed = 0;

// Produced offline from random vectors per octant block and normalised; carried as
// data, never regenerated (entry 180 is short of unit length, as it always was).
const vec3_t byte_dirs[NUM_BYTE_DIRS] = {
    // Bytes 0-31 (x < 0, y < 0, z < 0)
    {-0.7747f, -0.0032f, -0.6323f}, {-0.1850f, -0.6854f, -0.7043f},
    {-0.9594f, -0.2752f, -0.0623f}, {-0.0896f, -0.7824f, -0.6164f},
    {-0.9681f, -0.2506f, -0.0037f}, {-0.9827f, -0.1441f, -0.1164f},
    {-0.3112f, -0.2983f, -0.9023f}, {-0.7893f, -0.5322f, -0.3063f},
    {-0.7194f, -0.4114f, -0.5597f}, {-0.7013f, -0.1551f, -0.6958f},
    {-0.0848f, -0.7282f, -0.6801f}, {-0.4741f, -0.7843f, -0.4001f},
    {-0.7434f, -0.2458f, -0.6220f}, {-0.5461f, -0.3632f, -0.7549f},
    {-0.2073f, -0.6954f, -0.6880f}, {-0.5161f, -0.2079f, -0.8309f},
    {-0.3070f, -0.7418f, -0.5962f}, {-0.4583f, -0.8844f, -0.0885f},
    {-0.1444f, -0.6898f, -0.7095f}, {-0.0328f, -0.9891f, -0.1438f},
    {-0.8918f, -0.4170f, -0.1756f}, {-0.7759f, -0.6243f, -0.0915f},
    {-0.1326f, -0.9672f, -0.2166f}, {-0.7941f, -0.5784f, -0.1864f},
    {-0.6396f, -0.2086f, -0.7399f}, {-0.4162f, -0.8425f, -0.3420f},
    {-0.8678f, -0.3022f, -0.3944f}, {-0.7820f, -0.1026f, -0.6148f},
    {-0.6376f, -0.7509f, -0.1722f}, {-0.4377f, -0.2627f, -0.8599f},
    {-0.5331f, -0.6144f, -0.5817f}, {-0.7557f, -0.2761f, -0.5939f},
    // Bytes 32-63 (x ≥ 0, y < 0, z < 0)
    {0.2454f, -0.6242f, -0.7417f}, {0.2656f, -0.8327f, -0.4858f},
    {0.8740f, -0.3560f, -0.3307f}, {0.6207f, -0.2823f, -0.7315f},
    {0.0826f, -0.2435f, -0.9664f}, {0.0522f, -0.0632f, -0.9966f},
    {0.7998f, -0.2001f, -0.5659f}, {0.7157f, -0.4155f, -0.5613f},
    {0.5107f, -0.5229f, -0.6825f}, {0.5077f, -0.1875f, -0.8409f},
    {0.8032f, -0.1026f, -0.5868f}, {0.3707f, -0.9286f, -0.0180f},
    {0.9986f, -0.0088f, -0.0520f}, {0.3549f, -0.4725f, -0.8067f},
    {0.8942f, -0.4028f, -0.1954f}, {0.3202f, -0.6643f, -0.6754f},
    {0.4496f, -0.3591f, -0.8179f}, {0.0059f, -0.4572f, -0.8894f},
    {0.6717f, -0.6864f, -0.2788f}, {0.2235f, -0.2392f, -0.9449f},
    {0.8058f, -0.1581f, -0.5707f}, {0.2757f, -0.6499f, -0.7083f},
    {0.0702f, -0.9546f, -0.2894f}, {0.2494f, -0.3140f, -0.9161f},
    {0.6644f, -0.7277f, -0.1703f}, {0.3325f, -0.5533f, -0.7637f},
    {0.7434f, -0.6682f, -0.0300f}, {0.3561f, -0.8581f, -0.3699f},
    {0.7920f, -0.6007f, -0.1095f}, {0.0853f, -0.5819f, -0.8088f},
    {0.3398f, -0.7258f, -0.5981f}, {0.0006f, -0.4099f, -0.9121f},
    // Bytes 64-95 (x < 0, y ≥ 0, z < 0)
    {-0.0038f, 0.0722f, -0.9974f}, {-0.5477f, 0.5004f, -0.6706f},
    {-0.8256f, 0.5513f, -0.1204f}, {-0.8568f, 0.1676f, -0.4876f},
    {-0.4587f, 0.8722f, -0.1698f}, {-0.1518f, 0.0027f, -0.9884f},
    {-0.5904f, 0.5570f, -0.5841f}, {-0.5839f, 0.2150f, -0.7829f},
    {-0.1589f, 0.7145f, -0.6813f}, {-0.2382f, 0.9247f, -0.2971f},
    {-0.7055f, 0.6851f, -0.1816f}, {-0.2922f, 0.7475f, -0.5965f},
    {-0.7853f, 0.1942f, -0.5878f}, {-0.6140f, 0.7600f, -0.2131f},
    {-0.3755f, 0.7123f, -0.5930f}, {-0.7317f, 0.3526f, -0.5833f},
    {-0.0164f, 0.0968f, -0.9952f}, {-0.6405f, 0.5333f, -0.5525f},
    {-0.8785f, 0.4777f, -0.0054f}, {-0.3864f, 0.7082f, -0.5910f},
    {-0.8773f, 0.3144f, -0.3625f}, {-0.7282f, 0.5510f, -0.4076f},
    {-0.8902f, 0.4473f, -0.0867f}, {-0.3249f, 0.5437f, -0.7738f},
    {-0.0607f, 0.7799f, -0.6229f}, {-0.1801f, 0.7499f, -0.6366f},
    {-0.0678f, 0.5094f, -0.8578f}, {-0.4160f, 0.3276f, -0.8483f},
    {-0.7342f, 0.3822f, -0.5612f}, {-0.8400f, 0.5425f, -0.0012f},
    {-0.9918f, 0.1217f, -0.0396f}, {-0.6542f, 0.6624f, -0.3650f},
    // Bytes 96-127 (x ≥ 0, y ≥ 0, z < 0)
    {0.3816f, 0.6042f, -0.6995f}, {0.5943f, 0.6530f, -0.4695f},
    {0.4879f, 0.2472f, -0.8372f}, {0.1775f, 0.5188f, -0.8363f},
    {0.7003f, 0.6962f, -0.1579f}, {0.7784f, 0.2475f, -0.5770f},
    {0.5557f, 0.8262f, -0.0926f}, {0.7867f, 0.3842f, -0.4832f},
    {0.2730f, 0.9603f, -0.0580f}, {0.0857f, 0.9776f, -0.1922f},
    {0.6233f, 0.7668f, -0.1536f}, {0.0042f, 0.5965f, -0.8026f},
    {0.6520f, 0.5541f, -0.5176f}, {0.0277f, 0.5981f, -0.8009f},
    {0.2990f, 0.7410f, -0.6013f}, {0.1365f, 0.9181f, -0.3721f},
    {0.9806f, 0.0013f, -0.1961f}, {0.1141f, 0.8667f, -0.4857f},
    {0.1712f, 0.0844f, -0.9816f}, {0.6986f, 0.5785f, -0.4211f},
    {0.0105f, 0.7787f, -0.6274f}, {0.3460f, 0.5066f, -0.7897f},
    {0.7109f, 0.2319f, -0.6639f}, {0.6739f, 0.2853f, -0.6815f},
    {0.7696f, 0.1239f, -0.6264f}, {0.6850f, 0.7243f, -0.0783f},
    {0.7086f, 0.5590f, -0.4306f}, {0.8838f, 0.4543f, -0.1119f},
    {0.6661f, 0.7078f, -0.2351f}, {0.5458f, 0.7961f, -0.2612f},
    {0.0056f, 0.3435f, -0.9391f}, {0.0199f, 0.5129f, -0.8582f},
    // Bytes 128-159 (x < 0, y < 0, z ≥ 0)
    {-0.7095f, -0.4880f, 0.5084f}, {-0.1821f, -0.7530f, 0.6323f},
    {-0.5601f, -0.6106f, 0.5599f}, {-0.5920f, -0.6611f, 0.4609f},
    {-0.1853f, -0.6745f, 0.7146f}, {-0.8300f, -0.4866f, 0.2727f},
    {-0.0894f, -0.5496f, 0.8306f}, {-0.0076f, -0.3546f, 0.9350f},
    {-0.7284f, -0.2819f, 0.6244f}, {-0.3183f, -0.9469f, 0.0460f},
    {-0.7303f, -0.0701f, 0.6795f}, {-0.7404f, -0.2557f, 0.6217f},
    {-0.5627f, -0.6068f, 0.5614f}, {-0.1293f, -0.3518f, 0.9271f},
    {-0.3326f, -0.3849f, 0.8609f}, {-0.3808f, -0.0409f, 0.9237f},
    {-0.7502f, -0.6202f, 0.2292f}, {-0.4529f, -0.6435f, 0.6171f},
    {-0.5060f, -0.8231f, 0.2576f}, {-0.6852f, -0.4762f, 0.5511f},
    {-0.7233f, -0.3171f, 0.6134f}, {-0.2488f, -0.6259f, 0.7392f},
    {-0.1779f, -0.3493f, 0.9200f}, {-0.7059f, -0.1244f, 0.6973f},
    {-0.6071f, -0.4216f, 0.6735f}, {-0.1733f, -0.8769f, 0.4483f},
    {-0.2579f, -0.0142f, 0.9661f}, {-0.9998f, -0.0208f, 0.0065f},
    {-0.3838f, -0.2480f, 0.8895f}, {-0.1748f, -0.9014f, 0.3961f},
    {-0.7726f, -0.6240f, 0.1173f}, {-0.7017f, -0.3712f, 0.6082f},
    // Bytes 160-191 (x ≥ 0, y < 0, z ≥ 0)
    {0.4572f, -0.7657f, 0.4525f}, {0.2830f, -0.6279f, 0.7250f},
    {0.1083f, -0.6846f, 0.7208f}, {0.8728f, -0.3126f, 0.3748f},
    {0.5526f, -0.2035f, 0.8082f}, {0.2077f, -0.8837f, 0.4195f},
    {0.4485f, -0.2089f, 0.8690f}, {0.7131f, -0.6023f, 0.3589f},
    {0.3882f, -0.4426f, 0.8083f}, {0.2630f, -0.1867f, 0.9466f},
    {0.8440f, -0.5057f, 0.1785f}, {0.7542f, -0.1116f, 0.6472f},
    {0.7470f, -0.2039f, 0.6327f}, {0.3031f, -0.0628f, 0.9509f},
    {0.1005f, -0.5857f, 0.8043f}, {0.4386f, -0.6460f, 0.6248f},
    {0.0266f, -0.9996f, 0.0038f}, {0.5946f, -0.7917f, 0.1401f},
    {0.7191f, -0.6851f, 0.1162f}, {0.4946f, -0.6523f, 0.5743f},
    {0.9900f, -0.0028f, 0.0133f}, {0.3699f, -0.1912f, 0.9092f},
    {0.5906f, -0.7999f, 0.1070f}, {0.7082f, -0.1102f, 0.6974f},
    {0.5115f, -0.5465f, 0.6630f}, {0.6088f, -0.4278f, 0.6682f},
    {0.6232f, -0.4074f, 0.6676f}, {0.7929f, -0.0121f, 0.6092f},
    {0.0159f, -0.8476f, 0.5304f}, {0.6643f, -0.3937f, 0.6353f},
    {0.7100f, -0.4634f, 0.5302f}, {0.6075f, -0.6599f, 0.4422f},
    // Bytes 192-223 (x < 0, y ≥ 0, z ≥ 0)
    {-0.9877f, 0.1235f, 0.0963f}, {-0.2066f, 0.6382f, 0.7416f},
    {-0.7013f, 0.4555f, 0.5483f}, {-0.8944f, 0.0680f, 0.4421f},
    {-0.2698f, 0.9622f, 0.0374f}, {-0.0132f, 0.7495f, 0.6618f},
    {-0.9847f, 0.1555f, 0.0787f}, {-0.3303f, 0.9439f, 0.0002f},
    {-0.9466f, 0.1816f, 0.2665f}, {-0.3333f, 0.1063f, 0.9368f},
    {-0.9626f, 0.2537f, 0.0949f}, {-0.7411f, 0.5023f, 0.4455f},
    {-0.6883f, 0.7232f, 0.0568f}, {-0.6488f, 0.7589f, 0.0556f},
    {-0.3836f, 0.8276f, 0.4098f}, {-0.7375f, 0.6601f, 0.1426f},
    {-0.7313f, 0.6711f, 0.1215f}, {-0.8314f, 0.2631f, 0.4894f},
    {-0.8504f, 0.2528f, 0.4614f}, {-0.3556f, 0.5233f, 0.7744f},
    {-0.5158f, 0.5916f, 0.6196f}, {-0.7298f, 0.5837f, 0.3560f},
    {-0.9687f, 0.2476f, 0.0181f}, {-0.9803f, 0.1832f, 0.0731f},
    {-0.8019f, 0.5324f, 0.2710f}, {-0.4791f, 0.8777f, 0.0018f},
    {-0.6768f, 0.6903f, 0.2557f}, {-0.6530f, 0.4463f, 0.6118f},
    {-0.7852f, 0.1848f, 0.5911f}, {-0.5003f, 0.5944f, 0.6296f},
    {-0.6339f, 0.5539f, 0.5398f}, {-0.2712f, 0.7892f, 0.5511f},
    // Bytes 224-255 (x ≥ 0, y ≥ 0, z ≥ 0)
    {0.6843f, 0.6500f, 0.3306f}, {0.1826f, 0.6303f, 0.7545f},
    {0.8292f, 0.1550f, 0.5371f}, {0.3339f, 0.1388f, 0.9323f},
    {0.5947f, 0.3584f, 0.7197f}, {0.3288f, 0.7893f, 0.5185f},
    {0.8535f, 0.3435f, 0.3919f}, {0.5331f, 0.4421f, 0.7213f},
    {0.1556f, 0.5188f, 0.8406f}, {0.3514f, 0.0472f, 0.9350f},
    {0.4422f, 0.8961f, 0.0378f}, {0.3782f, 0.1386f, 0.9153f},
    {0.4084f, 0.6275f, 0.6629f}, {0.5200f, 0.8478f, 0.1038f},
    {0.0366f, 0.9008f, 0.4328f}, {0.3894f, 0.4021f, 0.8287f},
    {0.8969f, 0.4419f, 0.0179f}, {0.2308f, 0.8480f, 0.4770f},
    {0.7512f, 0.6598f, 0.0190f}, {0.5627f, 0.0482f, 0.8253f},
    {0.3808f, 0.9246f, 0.0084f}, {0.3675f, 0.6334f, 0.6810f},
    {0.4485f, 0.6828f, 0.5767f}, {0.5153f, 0.1079f, 0.8502f},
    {0.1283f, 0.4618f, 0.8776f}, {0.4906f, 0.5880f, 0.6431f},
    {0.5605f, 0.5965f, 0.5745f}, {0.3475f, 0.7992f, 0.4905f},
    {0.3319f, 0.8241f, 0.4591f}, {0.5299f, 0.7028f, 0.4746f},
    {0.7439f, 0.5028f, 0.4403f}, {0.2408f, 0.7425f, 0.6250f},
};

float Com_frand() { return float(rand() & 0x7FFF) * 3.051851e-5f; }

float Com_crand() { return float(rand() & 0x7FFF) * 6.103702e-5f - 1.0f; }

void VectorAddNoise(vec3_t v, float amount) {
    v[0] += Com_crand() * amount;
    v[1] += Com_crand() * amount;
    v[2] += Com_crand() * amount;
}

void NoiseSeed(int32_t seed) { noise_seed = seed; }

// The lattice hash of an index that already holds the seed; all arithmetic wraps.
static float LatticeHash(uint32_t n) {
    n = (n << 13) ^ n;
    const uint32_t h = (n * (n * n * 15731u + 789221u) + 1376312589u) & 0x7FFFFFFFu;
    return static_cast<float>(1.0 - double(h) * 9.313226e-10);
}

static float Lattice3(uint32_t x, uint32_t y, uint32_t z) {
    return LatticeHash(x + 57u * y + 3347u * z + uint32_t(noise_seed));
}

float Noise(int x) { return LatticeHash(uint32_t(x) + uint32_t(noise_seed)); }

float Noise2D(int x, int y) { return LatticeHash(uint32_t(x) + 57u * uint32_t(y) + uint32_t(noise_seed)); }

float Noise3D(int x, int y, int z) { return Lattice3(uint32_t(x), uint32_t(y), uint32_t(z)); }

float SmoothNoise(int x) {
    const uint32_t ux = uint32_t(x);
    return (Noise(int(ux - 1)) + 2.0f * Noise(x) + Noise(int(ux + 1))) * 0.25f;
}

float SmoothNoise2D(int x, int y) {
    const int xm = int(uint32_t(x) - 1), xp = int(uint32_t(x) + 1);
    const int ym = int(uint32_t(y) - 1), yp = int(uint32_t(y) + 1);
    const float corners = Noise2D(xm, ym) + Noise2D(xp, ym) + Noise2D(xm, yp) + Noise2D(xp, yp);
    const float sides = Noise2D(xm, y) + Noise2D(xp, y) + Noise2D(x, ym) + Noise2D(x, yp);
    return Noise2D(x, y) * 0.25f + corners * 0.0625f + sides * 0.125f;
}

// (x + 1) mod period with the sign of the dividend; 0 for a period below 1.
static int WrapUp(int x, int period) {
    if (period < 1) return 0;
    return int((int64_t(x) + 1) % period);
}

// x − 1, plus the period when negative.
static int WrapDown(int x, int period) {
    int64_t v = int64_t(x) - 1;
    if (v < 0 && period >= 1) v += period;
    return int(uint32_t(v));
}

float SmoothNoise3D(int x, int y, int z, int periodX, int periodY, int periodZ) {
    const int xs[3] = {WrapDown(x, periodX), x, WrapUp(x, periodX)};
    const int ys[3] = {WrapDown(y, periodY), y, WrapUp(y, periodY)};
    const int zs[3] = {WrapDown(z, periodZ), z, WrapUp(z, periodZ)};
    float groups[4] = {0, 0, 0, 0};  // centre, faces, edges, corners
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            for (int k = 0; k < 3; k++) {
                const int away = (i != 1) + (j != 1) + (k != 1);
                groups[away] += Noise3D(xs[i], ys[j], zs[k]);
            }
    return (groups[0] + groups[1] * 0.25f + groups[2] * 0.3535535f + groups[3] * 0.4330125f) /
           10.2067f;
}

// The lattice cell of a point: truncated corner, wrapped upper corner, fractions.
struct noiseCell_t {
    int lo[3], hi[3];
    float t[3];
};

static noiseCell_t NoiseCell(float fx, float fy, float fz, const int period[3]) {
    noiseCell_t c;
    const float f[3] = {fx, fy, fz};
    for (int i = 0; i < 3; i++) {
        c.lo[i] = Com_ClampToInt(f[i]);
        c.hi[i] = WrapUp(c.lo[i], period[i]);
        c.t[i] = f[i] - float(c.lo[i]);
    }
    return c;
}

// Samples the eight corners of the cell and blends them along x, then y, then z.
template <typename Sample>
static float BlendCell(const noiseCell_t &c, Sample sample, float (*lerp)(float, float, float)) {
    float v[2][2][2];
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 2; j++)
            for (int k = 0; k < 2; k++)
                v[i][j][k] = sample(i ? c.hi[0] : c.lo[0], j ? c.hi[1] : c.lo[1], k ? c.hi[2] : c.lo[2]);
    const float *t = c.t;
    const float y0 = lerp(lerp(v[0][0][0], v[1][0][0], t[0]), lerp(v[0][1][0], v[1][1][0], t[0]), t[1]);
    const float y1 = lerp(lerp(v[0][0][1], v[1][0][1], t[0]), lerp(v[0][1][1], v[1][1][1], t[0]), t[1]);
    return lerp(y0, y1, t[2]);
}

float InterpolatedSmoothNoise3D(float fx, float fy, float fz, int periodX, int periodY,
                                int periodZ) {
    const int period[3] = {periodX, periodY, periodZ};
    auto sample = [&](int x, int y, int z) { return SmoothNoise3D(x, y, z, periodX, periodY, periodZ); };
    return BlendCell(NoiseCell(fx, fy, fz, period), sample, Lerp);
}

float Noise3D_new(float fx, float fy, float fz, int periodX, int periodY, int periodZ) {
    const int period[3] = {periodX, periodY, periodZ};
    return BlendCell(NoiseCell(fx, fy, fz, period), Noise3D, Lerp3);
}

float Lerp(float a, float b, float t) { return a + (b - a) * t; }

float Lerp3(float a, float b, float t) { return a + (b - a) * (3 * t * t - 2 * t * t * t); }

float Lerp5(float a, float b, float t) {
    const float t3 = t * t * t;
    return a + (b - a) * (6 * t3 * t * t - 15 * t3 * t + 10 * t3);
}

float Mean(float a, float b, float c) { return (a + b + c) / 3.0f; }

void Swap(void *p, void *q) {
    uint32_t a, b;
    memcpy(&a, p, 4);
    memcpy(&b, q, 4);
    memcpy(p, &b, 4);
    memcpy(q, &a, 4);
}

float Floor(float x) { return floorf(x); }
float Ceil(float x) { return ceilf(x); }
float Fract(float x) { return x - Floor(x); }
float Round(float x) { return Fract(x) >= 0.5f ? Ceil(x) : Floor(x); }
float Mod(float a, float b) { return a - Floor(a / b) * b; }
float Chop(float x) { return (x > -0.0001f && x < 0.0001f) ? 0.0f : x; }

int Q_RoundDown(float x) { return Com_ClampToInt(x > 0 ? x : x - 1.0f); }

float QuantifyFraction(float f, int n) {
    if (n < 1) return f;
    const float steps = float(n);
    return float(Com_ClampToInt((f + 0.49f / steps) * steps)) / steps;
}

void VectorSnap(vec3_t v, float grid) {
    for (int i = 0; i < 3; i++) v[i] = Round(v[i] / grid) * grid;
}

void AngleMod(float *angle) {
    // The 16-bit step of (int)(a·182.04445) & 0xFFFF, computed without the int:
    // the truncated value modulo 65536 is exact in double for every float, so huge
    // angles wrap the same way instead of overflowing.
    const double v = std::trunc(double(*angle * ANGLE_TO_SHORT));
    if (!std::isfinite(v)) {
        *angle = 0;
        return;
    }
    double s = std::fmod(v, 65536.0);
    if (s < 0) s += 65536.0;
    *angle = float(int(s)) * SHORT_TO_ANGLE;
}

float AngleLerp(float a, float b, float t) {
    if (a - b > 180) a -= 360;
    if (a - b < -180) a += 360;
    return a + (b - a) * t;
}

float AngleDist(float a, float b) {
    float d = a - b;
    if (d > 180) d = (a - 360) - b;
    if (d < -180) d = (a + 360) - b;
    return d;
}

void HueToColor(vec4_t out, float hue) {
    float h = hue;
    AngleMod(&h);
    const int sector = int(Floor(h / 60.0f));
    const float f = (h - 60.0f * float(sector)) / 60.0f, q = 1.0f - f;
    const float rgb[6][3] = {{1, f, 0}, {q, 1, 0}, {0, 1, f}, {0, q, 1}, {f, 0, 1}, {1, 0, q}};
    _VectorCopy(out, rgb[sector]);
    out[3] = 1;
}

int Dir2Byte(const vec3_t dir) {
    const int base = 128 * (dir[2] >= 0) + 64 * (dir[1] >= 0) + 32 * (dir[0] >= 0);
    float best = -999999.0f;
    int result = base;
    for (int i = base; i < base + 32; i++) {
        const float d = _DotProduct(dir, byte_dirs[i]);
        if (d > best) {
            best = d;
            result = i;
        }
    }
    return result;
}

void Byte2Dir(vec3_t out, int b) {
    if (b < 0 || b >= NUM_BYTE_DIRS) {
        _VectorClear(out);
        return;
    }
    _VectorCopy(out, byte_dirs[b]);
}
