// The headless client's shots draw their effects: the particles and the marks reach
// the test renderer as surfaces of their vertex layouts, the client game's statistics
// commands count them, and digging away the ground under a mark clips it again.
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

// The marks of the last frame as the test renderer got them: material and index
// count of every decal-layout surface, one line each in drawing order.
std::vector<std::string> MarkSurfaces(Match &m) {
    const size_t asked = m.client->output().size();
    m.client->send("re_scene\n");
    Settle(*m.client, "scene_read", 5, m.server.get());
    std::vector<std::string> out;
    for (const std::string &line : Lines(Plain(m.client->output().substr(asked))))
        if (line.find("re_surface:") != std::string::npos && line.find(" layout 31 ") != std::string::npos)
            out.push_back(line);
    return out;
}

std::string Joined(const std::vector<std::string> &lines) {
    std::string out;
    for (const std::string &l : lines) out += l + "\n";
    return out;
}

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

TEST(ClientEffects, ShotsLeaveParticlesAndMarksTheRendererGetsAndDiggingUnderAMarkClipsItAgain) {
    Match m;
    ASSERT_NO_FATAL_FAILURE(m.Join());
    ASSERT_NO_FATAL_FAILURE(m.Play());
    const effects_t before = Effects(m);
    ASSERT_GE(before.layout31, 0) << "the renderer's counts are printed";
    ASSERT_GE(before.marks, 0) << "markStats prints its count";
    ASSERT_GE(before.activeParticles, 0) << "particleStats prints its counts";

    // The player looks at the ground at its feet and fires the railgun into it (hurting
    // itself would add blood stains to the marks).
    const size_t from = m.server->output().size();
    m.server->send("sg_selfdamage 0\ngive all\n");
    m.client->send("cc_weapon5\nin_pitch 80\n");
    effects_t e;
    bool drawnParticles = false, marks = false;
    for (const Deadline deadline(60); !deadline.passed() && !(drawnParticles && marks);) {
        m.client->send("cc_fire\n");
        e = Effects(m);
        drawnParticles = drawnParticles || (e.drawnParticles > 0 && e.layout25 > before.layout25);
        marks = marks || (e.marks > 0 && e.layout31 > before.layout31);
        WaitAfter(*m.client, "\x01", m.client->output().size(), 0.25, m.server.get());
    }
    EXPECT_TRUE(drawnParticles) << "drawn particles within 60 s of firing; active " << e.activeParticles
                                << m.server->output().substr(from);
    EXPECT_GE(e.activeParticles, e.drawnParticles);
    ASSERT_TRUE(marks) << "marks drawn within 60 s of firing: marks " << e.marks << " layout31 " << e.layout31;

    // Digging where the marks lie clips them again onto what is left of the ground:
    // other triangles, or none where the ground has gone.  No mark is made meanwhile,
    // and none runs out so soon.
    std::vector<std::string> settled = MarkSurfaces(m);
    m.client->send("cc_weapon6\n");
    bool reclipped = false;
    std::vector<std::string> after;
    for (const Deadline deadline(30); !deadline.passed() && !reclipped;) {
        m.client->send("cc_fire\n");
        WaitAfter(*m.client, "\x01", m.client->output().size(), 0.25, m.server.get());
        after = MarkSurfaces(m);
        reclipped = !settled.empty() && after.size() <= settled.size() && after != settled;
    }
    EXPECT_TRUE(reclipped) << "marks clipped again within 30 s of digging; before digging:\n" << Joined(settled) << "after:\n" << Joined(after);
    EXPECT_LE(Effects(m).marks, e.marks);
    EXPECT_EQ(m.QuitClient(), 0);
}

}  // namespace
