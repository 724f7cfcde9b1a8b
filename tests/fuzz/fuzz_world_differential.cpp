// libFuzzer target of the world's differential check (tests/world/world_differential.h):
// the first eight bytes seed a random world, every following five bytes are one edit
// (a voxel or a crater) in its region, and a set top bit of an edit's first byte
// re-tessellates the dirty pages there, as a server frame would.  Then rays and boxes
// are checked against every triangle and the world against a fresh build of its
// voxels; any difference aborts with what differed.  Run by scripts/fuzz.sh.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/world/world_differential.h"

using namespace worlddiff;

static int IgnoreError(int, const char *) { return 0; }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    Com_SetupError(IgnoreError);
    WO_InitPool();
    return 0;
}

static void Fail(const std::string &what) {
    fprintf(stderr, "world differential: %s\n", what.c_str());
    abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 8)
        return 0;
    uint64_t seed = 0;
    for (int k = 0; k < 8; k++)
        seed = seed << 8 | data[k];
    Rng rng{seed};
    const Region r = RandomWorld(rng);
    for (size_t at = 8; at + 5 <= size; at += 5) {
        const uint8_t *e = data + at;
        int c[3];
        for (int a = 0; a < 3; a++) {
            const int v = r.lo[a] - 2 + e[1 + a] % (r.hi[a] - r.lo[a] + 5);
            c[a] = v < 1 ? 1 : v > 125 ? 125 : v;
        }
        if ((e[0] & 0x7F) < 8) {
            for (const VoxelChange &ch : Crater(c[0], c[1], c[2], 1 + (e[4] & 3)))
                if (ch.x >= 1 && ch.x <= 125 && ch.y >= 1 && ch.y <= 125 && ch.z >= 1 && ch.z <= 125)
                    SetVoxel(ch.x, ch.y, ch.z, ch.after);
        } else {
            const int matter = e[4] >= WO_SURFACE_DENSITY ? (e[0] >> 3) % 6 : 0;
            SetVoxel(c[0], c[1], c[2], static_cast<voxel_t>(matter << 8 | e[4]));
        }
        if (e[0] & 0x80)
            TessDirty();
    }
    TessDirty();
    std::string why = CheckRays(rng, r, 300);
    if (why.empty())
        why = CheckBoxes(rng, r, 100);
    if (why.empty())
        why = CompareWithFreshBuild();
    if (!why.empty())
        Fail(why);
    return 0;
}
