// Seeded random worlds and edits checked against brute force (see world_differential.h);
// tests/fuzz/fuzz_world_differential.cpp runs the same checks for longer.
#include <gtest/gtest.h>

#include "tests/world/world_differential.h"

namespace {

using namespace worlddiff;

TEST(WorldDifferential, IncrementalWorldsMatchFreshBuildsAndTracesMatchBruteForce) {
    ErrorLog log;
    for (uint64_t seed = 1; seed <= 8; seed++) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Rng rng{seed};
        const Region r = RandomWorld(rng);
        const int batches = rng.Int(1, 4);
        for (int k = 0; k < batches; k++)
            RandomEdits(rng, r);
        ASSERT_EQ(CheckRays(rng, r, 400), "");
        ASSERT_EQ(CheckBoxes(rng, r, 150), "");
        ASSERT_EQ(CompareWithFreshBuild(), "");
    }
    EXPECT_EQ(log.entries.size(), 0u);
}

}  // namespace
