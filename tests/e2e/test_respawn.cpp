// A player killed by the operator on the shipped planet map: the obituary on the
// console, the dead state, and a new life once the death time has passed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "tests/e2e/engine_process.h"

namespace {

using e2e::Engine;
using e2e::TempDir;

// Asks for the client list until a line after `from` holds needle; the offset just past it, or npos.
size_t ListUntil(Engine &engine, const std::string &needle, size_t from, double seconds) {
    for (const e2e::Deadline deadline(seconds); !deadline.passed();) {
        engine.send("sg_clientList\n");
        engine.waitFor(std::string(1, '\x01'), 0.25);  // never printed: just reads on
        const size_t at = engine.output().find(needle, from);
        if (at != std::string::npos) return at + needle.size();
    }
    return std::string::npos;
}

TEST(Respawn, AKilledPlayerGetsAnObituaryAndLivesAgainAfterTheDeathTime) {
    TempDir dir;
    std::filesystem::copy(std::filesystem::path(HM_SOURCE_DIR) / "data", dir.path(),
                          std::filesystem::copy_options::recursive);
    Engine engine(dir.path(), {"-dedicated", "+set", "sv_lanServer", "1", "+set", "sg_deathTime", "2", "+set",
                               "map", "planet"});
    ASSERT_TRUE(engine.waitFor("Server is up and running", 60)) << engine.output();
    engine.send("spawnBot\n");
    ASSERT_TRUE(engine.waitFor("connects to server", 20)) << engine.output();
    const std::string playing = " PLYR f:";
    // A bot joins the blue team through the buttons of its first command, and the only
    // client on the server plays at once (sg_kill leaves spectators alone).
    ASSERT_TRUE(engine.waitFor("Mirel joins blue team", 10)) << engine.output();
    size_t at = ListUntil(engine, playing, 0, 5);
    ASSERT_NE(at, std::string::npos) << engine.output();

    engine.send("sg_kill 0\n");
    ASSERT_TRUE(engine.waitFor("was killed", 10)) << engine.output();
    const auto killed = std::chrono::steady_clock::now();
    at = engine.output().find("was killed");
    // Dead for the death time: the list shows no state and one death ...
    const size_t dead = ListUntil(engine, "    f:", at, 5);
    ASSERT_NE(dead, std::string::npos) << engine.output();
    EXPECT_NE(engine.output().find("d:1 ", dead), std::string::npos) << engine.output();
    // ... then playing again, once the two seconds have passed.
    EXPECT_NE(ListUntil(engine, playing, dead, 15), std::string::npos) << engine.output();
    const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - killed).count();
    EXPECT_GE(waited, 1.9);
    EXPECT_LT(waited, 5.0);

    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
}

}  // namespace
