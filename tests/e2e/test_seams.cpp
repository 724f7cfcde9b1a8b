// The client game and the server game playing together, checked by what a player
// sees: the heading a walk keeps across shots of every hitscan weapon, the predicted
// state against the server's, the dirt gun's mode another player is shown, and votes
// on the map that follows a vote.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/client_match.h"
#include "tests/e2e/engine_process.h"

namespace {

using namespace e2e;

// The walk from a to b as seen across the ground at a point: the part along the
// local up there taken away (on a ball world the up is the direction from the centre).
// Seen so, a straight walk over a ball keeps its direction.
Vec3 Across(const Vec3 &at, const Vec3 &a, const Vec3 &b, bool flat) {
    Vec3 up = flat ? Vec3{0, 1, 0} : at;
    const double length = std::sqrt(up.x * up.x + up.y * up.y + up.z * up.z);
    up = {up.x / length, up.y / length, up.z / length};
    Vec3 d = {b.x - a.x, b.y - a.y, b.z - a.z};
    const double along = d.x * up.x + d.y * up.y + d.z * up.z;
    return {d.x - along * up.x, d.y - along * up.y, d.z - along * up.z};
}

// Degrees between two directions.
double DegreesBetween(const Vec3 &a, const Vec3 &b) {
    const double dot = a.x * b.x + a.y * b.y + a.z * b.z;
    const double c = dot / (std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z) * std::sqrt(b.x * b.x + b.y * b.y + b.z * b.z));
    return std::acos(std::fmax(-1.0, std::fmin(1.0, c))) * 180.0 / M_PI;
}

// Holds a walking key for a number of frames and waits until the server has the last
// of them; the server's positions before and after.
struct walk_t {
    Vec3 from, to;
};
walk_t Walk(Match &m, const char *key, int frames) {
    walk_t w;
    w.from = ServerPosition(*m.server, m.client.get());
    Hold(*m.client, key, frames);
    const size_t asked = m.client->output().size();
    EXPECT_TRUE(Settle(*m.client, "walked", 30, m.server.get())) << m.client->output().substr(asked);
    WaitAfter(*m.client, "\x01", asked, 1.0, m.server.get());
    w.to = ServerPosition(*m.server, m.client.get());
    return w;
}

// The player's heading is the first row of its body frame, which every command's aim
// carries: a shot along another line must not turn it, nor may walking over a ball.
void KeepsTheHeadingAcrossShots(const std::string &map, bool flat) {
    // A walk is a number of client frames: on an idle machine an uncapped client makes
    // them a millisecond each, too short a walk to measure a heading by.
    Match m(map, {"+set", "base_maxFps", "250"});
    ASSERT_NO_FATAL_FAILURE(m.Join());
    ASSERT_NO_FATAL_FAILURE(m.Play());
    m.server->send("give all\n");
    // Stand still a moment: the spawn's fall ends on the ground.
    WaitAfter(*m.client, "\x01", m.client->output().size(), 1.5, m.server.get());
    // Every walk there is followed by a walk back to about where it began, so the player
    // never reaches an edge.  On the flat plate, "there" is whichever way a short step
    // shows leads towards the plate's centre.
    const char *there = "cc_forward", *back = "cc_backward";
    if (flat) {
        const walk_t step = Walk(m, there, 20);
        ASSERT_TRUE(step.from.Valid() && step.to.Valid()) << m.server->output();
        if ((step.to.x - step.from.x) * step.from.x + (step.to.z - step.from.z) * step.from.z > 0) std::swap(there, back);
    }
    auto walkThereAndBack = [&m, there, back] {
        const walk_t w = Walk(m, there, 80);
        Walk(m, back, 80);
        return w;
    };
    const walk_t first = walkThereAndBack();
    ASSERT_TRUE(first.from.Valid() && first.to.Valid()) << m.server->output();
    ASSERT_GT(first.from.DistanceTo(first.to), 0.2) << "the walk moves the player";
    // The hitscan weapons by their keys: the minigun, the shotgun and the railgun.
    for (const char *weapon : {"cc_weapon2", "cc_weapon3", "cc_weapon5"}) {
        SCOPED_TRACE(weapon);
        Hold(*m.client, weapon, 60);  // the switch takes a while
        Hold(*m.client, "cc_fire", 20);
        // The recoil turns the view for a moment; then the walk goes on.
        ASSERT_TRUE(Settle(*m.client, "fired", 30, m.server.get()));
        WaitAfter(*m.client, "\x01", m.client->output().size(), 1.5, m.server.get());
        const walk_t after = walkThereAndBack();
        ASSERT_TRUE(after.to.Valid()) << m.server->output();
        ASSERT_GT(after.from.DistanceTo(after.to), 0.2) << "the walk moves the player";
        // Both walks as seen across the ground where the later one begins.
        const double turned = DegreesBetween(Across(after.from, first.from, first.to, flat),
                                             Across(after.from, after.from, after.to, flat));
        EXPECT_LT(turned, 5.0) << map << ": the heading turned between " << first.from.x << " " << first.from.y
                               << " " << first.from.z << " -> " << first.to.x << " " << first.to.y << " "
                               << first.to.z << " and " << after.from.x << " " << after.from.y << " "
                               << after.from.z << " -> " << after.to.x << " " << after.to.y << " " << after.to.z;
    }
    EXPECT_EQ(m.QuitClient(), 0) << m.client->output();
}

// The forge is a plate without a slope, so no walk slides sideways down one: what
// turns a walk there is the heading alone.
TEST(Seams, AWalkKeepsItsHeadingAcrossShotsOfEveryHitscanWeaponOnTheForge) { KeepsTheHeadingAcrossShots("forge", true); }

TEST(Seams, AWalkKeepsItsHeadingAcrossShotsOfEveryHitscanWeaponOnThePlanet) {
    KeepsTheHeadingAcrossShots("planet", false);
}

// The prediction probe's comparisons printed after offset from: for each command the
// server ran, whether the state the client game predicted for it is the server's,
// apart from the server's own ticks.
struct comparisons_t {
    int same = 0;
    std::vector<std::string> differing;
};
comparisons_t Comparisons(const Engine &client, size_t from) {
    comparisons_t c;
    for (const std::string &line : Lines(Plain(client.output().substr(from)))) {
        if (line.find("predprobe: command") == std::string::npos) continue;
        if (line.find("differs") == std::string::npos) c.same++;
        else c.differing.push_back(line);
    }
    return c;
}

// The client game replays the commands the server has not run yet on the newest
// snapshot's state; once the server has run them, its state is what was predicted,
// byte for byte: while the player walks and while it stands still, with server frames
// between that bring no command.  The shot's own effects on the state are the
// server's (the replay fires nothing): the walk that is checked starts after they end.
TEST(Seams, ThePredictedStateIsTheServersByteForByteAfterWalkingAndFiring) {
    Match m("arena", {"-mod", "hm_predprobe"});
    ASSERT_NO_FATAL_FAILURE(m.Join());
    ASSERT_NO_FATAL_FAILURE(m.Play());
    m.server->send("give all\n");
    WaitAfter(*m.client, "\x01", m.client->output().size(), 1.5, m.server.get());
    // Each walk goes there and back: the player stays near the spawn, away from edges.
    Hold(*m.client, "cc_forward", 40);
    Hold(*m.client, "cc_backward", 40);
    Hold(*m.client, "cc_weapon5", 60);  // the railgun; the switch takes a while
    Hold(*m.client, "cc_fire", 20);
    ASSERT_TRUE(Settle(*m.client, "fired", 30, m.server.get()));
    // The railgun's refire, its barrel's cooling and the recoil run out.
    WaitAfter(*m.client, "\x01", m.client->output().size(), 3.0, m.server.get());
    const size_t from = m.client->output().size();
    Hold(*m.client, "cc_forward", 40);
    Hold(*m.client, "cc_backward", 40);
    ASSERT_TRUE(Settle(*m.client, "walked", 30, m.server.get())) << m.client->output().substr(from);
    WaitAfter(*m.client, "\x01", m.client->output().size(), 3.0, m.server.get());
    const comparisons_t c = Comparisons(*m.client, from);
    EXPECT_GT(c.same + static_cast<int>(c.differing.size()), 20) << "the prediction probe compared the commands\n"
                                                                   << m.client->output().substr(from);
    std::string shown;
    for (size_t i = 0; i < c.differing.size() && i < 10; i++) shown += c.differing[i] + "\n";
    EXPECT_TRUE(c.differing.empty()) << c.differing.size() << " of " << c.same + c.differing.size()
                                     << " commands predicted otherwise than the server ran them:\n" << shown;
    EXPECT_EQ(m.QuitClient(), 0) << m.client->output();
}

// Votes are counted per map: three on one map, the last of them moving on to the next
// map, leave the player free to call one there.
TEST(Seams, AVoteCalledOnTheNextMapIsAccepted) {
    Match m("arena");
    ASSERT_NO_FATAL_FAILURE(m.Join());
    ASSERT_NO_FATAL_FAILURE(m.Play());
    // A lone player's vote counts as answered and passes in the next frame.
    size_t voted = 0;
    const size_t from = m.client->output().size();
    for (const char *vote : {"rules DM", "rules DM", "nextmap"}) {
        voted = m.server->output().size();
        m.client->send(std::string("callVote ") + vote + "\n");
        ASSERT_TRUE(m.ServerSays("vote passed", voted)) << vote << "\n" << m.server->output().substr(voted);
    }
    ASSERT_TRUE(m.ServerSays("Server is up and running", voted, 30)) << m.server->output().substr(voted);
    ASSERT_TRUE(m.ClientSays("Register all media in", from, 30)) << m.client->output().substr(from);
    ASSERT_TRUE(PredictedPosition(*m.client, 60, m.server.get()).Valid()) << m.client->output().substr(from);
    ASSERT_NO_FATAL_FAILURE(m.Play());

    const size_t asked = m.client->output().size(), serverAsked = m.server->output().size();
    m.client->send("callVote rules DM\n");
    EXPECT_TRUE(m.ServerSays("Vote for rules", serverAsked)) << m.server->output().substr(serverAsked);
    EXPECT_EQ(Plain(m.client->output().substr(asked)).find("votes per map"), std::string::npos)
        << m.client->output().substr(asked);
    EXPECT_EQ(m.QuitClient(), 0) << m.client->output();
}

// The indexes of the dirt gun's holograms in the watcher's last frame, one entry per
// hologram surface.
std::vector<int> Holograms(Engine &watcher, Engine *other) {
    const size_t asked = watcher.output().size();
    watcher.send("re_scene\n");
    Settle(watcher, "scene_read", 5, other);
    std::vector<int> counts;
    for (const std::string &line : Lines(watcher.output().substr(asked))) {
        int indexes;
        if (sscanf(line.c_str(), "re_surface: game/c_materials/dirt_hologram.material layout %*d indexes %d", &indexes) == 1)
            counts.push_back(indexes);
    }
    return counts;
}

// Another player is shown the dirt gun's hologram in the mode the player chose: the
// shapes of the forge's modes differ in their index counts.
TEST(Seams, ASecondPlayerSeesTheFirstPlayersDirtGunMode) {
    Match m("forge");
    ASSERT_NO_FATAL_FAILURE(m.Join());
    ASSERT_NO_FATAL_FAILURE(m.Play());
    TempDir watcherDir;
    CopyData(watcherDir);
    Engine watcher(watcherDir.path(), {"+set", "client", "1", "+set", "name", "Watcher", "+set", "cg_skipIntro", "1"},
                   "engine_headless");
    ASSERT_TRUE(WaitAfter(watcher, "CL_Init: Starting up client done", 0, 30, m.server.get())) << watcher.output();
    size_t from = m.server->output().size();
    watcher.send("connect localhost:" + std::to_string(m.port) + "\n");
    ASSERT_TRUE(m.ServerSays("Watcher connects to server", from)) << m.server->output().substr(from);
    ASSERT_TRUE(WaitAfter(watcher, "Register all media in", 0, 30, m.server.get())) << watcher.output();
    watcher.send("cg_drawCoords 1\n");
    ASSERT_TRUE(PredictedPosition(watcher, 60, m.server.get()).Valid()) << watcher.output();
    from = m.server->output().size();
    // A spectator may not join while the count-down the first player's join started
    // runs: asked again every second.  Three engines: each is read on while the server
    // is waited for, so none stops on a full pipe.
    bool joined = false;
    Deadline askAgain(0);
    for (const Deadline deadline(30); !deadline.passed() && !joined;) {
        if (askAgain.passed()) {
            watcher.send("cc_spawn_red\n");
            askAgain = Deadline(1);
        }
        joined = WaitAfter(*m.server, "Watcher joins", from, 0.2, &watcher);
        m.client->waitFor("\x01", 0.02);
    }
    ASSERT_TRUE(joined) << "the watcher joins red within 30 s\n" << m.server->output().substr(from);

    // Each mode held until the watcher is shown a hologram of it: the build sphere, then the wall.
    std::vector<int> shown[2];
    for (int mode = 0; mode < 2; mode++) {
        m.client->send(mode == 0 ? "cc_weapon6\n" : "cc_weapon7\n");
        for (const Deadline deadline(30); !deadline.passed() && shown[mode].empty();) {
            WaitAfter(watcher, "\x01", watcher.output().size(), 0.3, m.client.get());
            const std::vector<int> now = Holograms(watcher, m.server.get());
            // The first mode's shape may still be shown for a snapshot or two.
            if (!now.empty() && (mode == 0 || now != shown[0])) shown[mode] = now;
        }
    }
    ASSERT_FALSE(shown[0].empty()) << "the watcher is shown the first player's dirt gun within 30 s\n"
                                   << watcher.output();
    EXPECT_FALSE(shown[1].empty()) << "the wall's hologram, differing from the sphere's, within 30 s";
    EXPECT_NE(shown[0], shown[1]);
    EXPECT_EQ(m.QuitClient(), 0) << m.client->output();
    watcher.send("quit\n");
    EXPECT_EQ(watcher.finish(), 0) << watcher.output();
}

}  // namespace
