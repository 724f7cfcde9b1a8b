// The headless client's shots draw their effects: the particles and the marks reach
// the test renderer as surfaces of their vertex layouts, and the client game's
// statistics commands count them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/e2e/client_match.h"

namespace {

using namespace e2e;

struct effects_t {
    int layout25 = -1, layout31 = -1;  // surfaces handed to the renderer since the start
    int activeParticles = -1, drawnParticles = -1, marks = -1;
};

// The renderer's totals and the client game's own counts, asked for together.
effects_t Effects(Match &m) {
    const size_t asked = m.client->output().size();
    m.client->send("re_counts\nparticleStats\nmarkStats\n");
    Settle(*m.client, "effects_read", 5, m.server.get());
    effects_t e;
    for (const std::string &line : Lines(Plain(m.client->output().substr(asked)))) {
        int n;
        sscanf(line.c_str(), "re_counts: layout25 %d layout31 %d", &e.layout25, &e.layout31);
        if (sscanf(line.c_str(), " %d active particles", &n) == 1) e.activeParticles = n;
        if (sscanf(line.c_str(), " %d drawn particles", &n) == 1) e.drawnParticles = n;
        if (sscanf(line.c_str(), " %d Total marks", &n) == 1) e.marks = n;
    }
    return e;
}

TEST(ClientEffects, ShotsIntoTheGroundLeaveParticlesAndMarksThatTheRendererGetsAndTheStatisticsCount) {
    Match m;
    ASSERT_NO_FATAL_FAILURE(m.Join());
    ASSERT_NO_FATAL_FAILURE(m.Play());
    const effects_t before = Effects(m);
    ASSERT_GE(before.layout31, 0) << "the renderer's counts are printed";
    ASSERT_GE(before.marks, 0) << "markStats prints its count";
    ASSERT_GE(before.activeParticles, 0) << "particleStats prints its counts";

    // The player looks at the ground at its feet and fires the railgun into it.
    const size_t from = m.server->output().size();
    m.server->send("give all\n");
    m.client->send("cc_weapon4\nin_pitch 80\n");
    effects_t e;
    bool drawnParticles = false, marks = false;
    for (int attempt = 0; attempt < 120 && !(drawnParticles && marks); attempt++) {
        m.client->send("cc_fire\n");
        e = Effects(m);
        drawnParticles = drawnParticles || (e.drawnParticles > 0 && e.layout25 > before.layout25);
        marks = marks || (e.marks > 0 && e.layout31 > before.layout31);
        WaitAfter(*m.client, "\x01", m.client->output().size(), 0.25, m.server.get());
    }
    EXPECT_TRUE(drawnParticles) << "active " << e.activeParticles << m.server->output().substr(from);
    EXPECT_GE(e.activeParticles, e.drawnParticles);
    EXPECT_TRUE(marks) << "marks " << e.marks << " layout31 " << e.layout31;
    EXPECT_EQ(m.QuitClient(), 0);
}

}  // namespace
