// The client game of the real module, in the test build with the headless renderer,
// playing on a dedicated server of the shipped engine; both on the default data.  It
// joins and registers its media, walks with a held forward key and predicts where the
// server puts it, chats, kills itself and respawns, follows the server to another map,
// leaves and is kicked; and a listen server plays in one process.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/client_match.h"
#include "tests/e2e/engine_process.h"
#include "tests/e2e/udp_peer.h"

namespace {

using namespace e2e;

// The lines of the output after offset from that report a fault of the client game's
// data or its start: a medium, world material or map that did not load.
std::vector<std::string> MediaFaults(const std::string &output, size_t from = 0) {
    std::vector<std::string> faults;
    for (const std::string &line : e2e::Lines(Plain(output.substr(from))))
        for (const char *fault : {"Could not register", "Could not load", "ERROR"})
            if (line.find(fault) != std::string::npos) faults.push_back(line);
    return faults;
}

// The server's slot number of the player in its client list; -1 when it is not listed.
int ClientSlot(Engine &server, Engine *other = nullptr) {
    const size_t asked = server.output().size();
    server.send("sg_clientList\n");
    if (!WaitAfter(server, "clients connected to server", asked, 5, other)) return -1;
    for (const std::string &line : e2e::Lines(Plain(server.output().substr(asked))))
        if (line.find(PLAYER) != std::string::npos) return atoi(line.c_str());
    return -1;
}

TEST(ClientGame, JoinsWithAllMediaAndPredictsTheWalkTheServerMakes) {
    Match m;
    ASSERT_NO_FATAL_FAILURE(m.Join());
    EXPECT_EQ(MediaFaults(m.client->output()), std::vector<std::string>{});
    ASSERT_NO_FATAL_FAILURE(m.Play());

    const Vec3 start = ServerPosition(*m.server, m.client.get());
    ASSERT_TRUE(start.Valid()) << m.server->output();
    Hold(*m.client, "cc_forward", 400);
    // The walk is over when the client has issued its last wait; then the server has
    // acknowledged every command within a few snapshots.
    const size_t asked = m.client->output().size();
    ASSERT_TRUE(Settle(*m.client, "walked", 30, m.server.get())) << m.client->output().substr(asked);
    WaitAfter(*m.client, "\x01", asked, 1.0, m.server.get());

    const Vec3 server = ServerPosition(*m.server, m.client.get());
    const Vec3 predicted = PredictedPosition(*m.client, 5, m.server.get());
    ASSERT_TRUE(server.Valid() && predicted.Valid()) << m.client->output();
    EXPECT_GT(server.DistanceTo(start), 0.5) << "the held key walks the player";
    // The overlay shows tenths: the prediction and the server agree to its rounding.
    EXPECT_NEAR(predicted.x, server.x, 0.051);
    EXPECT_NEAR(predicted.y, server.y, 0.051);
    EXPECT_NEAR(predicted.z, server.z, 0.051);
    EXPECT_EQ(m.QuitClient(), 0) << m.client->output();
}

TEST(ClientGame, ChatReachesTheServerAndAKillGivesAnObituaryAndARespawn) {
    Match m;
    ASSERT_NO_FATAL_FAILURE(m.Join());
    ASSERT_NO_FATAL_FAILURE(m.Play());

    size_t from = m.server->output().size();
    m.client->send("say hello\n");
    EXPECT_TRUE(m.ServerSays(std::string(PLAYER) + ": hello", from)) << m.server->output().substr(from);

    // The client game presents its own events when asked to (a cheat, as the server allows).
    m.client->send("cg_printEvents 1\n");
    from = m.server->output().size();
    const size_t clientFrom = m.client->output().size();
    m.client->send("kill\n");
    // A suicide has no attacker: the obituary of a death without one.
    EXPECT_TRUE(m.ServerSays(std::string(PLAYER) + " was killed", from)) << m.server->output().substr(from);
    // The server's print reaches every player's console too.
    EXPECT_TRUE(m.ClientSays(std::string(PLAYER) + " was killed", clientFrom)) << m.client->output().substr(clientFrom);
    // One second dead, then the server spawns the player again, and the client game presents it.
    EXPECT_TRUE(m.ClientSays("Type: 6", clientFrom, 10)) << m.client->output().substr(clientFrom);
    EXPECT_EQ(m.QuitClient(), 0) << m.client->output();
}

TEST(ClientGame, FollowsTheServerToAnotherMap) {
    Match m;
    ASSERT_NO_FATAL_FAILURE(m.Join());
    const size_t from = m.client->output().size();
    m.server->send("map arena\n");
    ASSERT_TRUE(m.ServerSays("game/c_maps/arena.world", 0, 30)) << m.server->output();
    ASSERT_TRUE(m.ClientSays("Register all media in", from, 30)) << m.client->output().substr(from);
    EXPECT_EQ(MediaFaults(m.client->output(), from), std::vector<std::string>{});
    // On the new world: drawn, on the server's list, and able to play.
    EXPECT_TRUE(PredictedPosition(*m.client, 60, m.server.get()).Valid()) << m.client->output().substr(from);
    EXPECT_GE(ClientSlot(*m.server, m.client.get()), 0) << m.server->output();
    ASSERT_NO_FATAL_FAILURE(m.Play());
    EXPECT_EQ(m.QuitClient(), 0) << m.client->output();
}

TEST(ClientGame, LeavesWithDisconnectAndIsDroppedByAKick) {
    Match m;
    ASSERT_NO_FATAL_FAILURE(m.Join());
    size_t from = m.server->output().size();
    m.client->send("disconnect\n");
    EXPECT_TRUE(m.ServerSays(std::string(PLAYER) + " left server", from)) << m.server->output().substr(from);
    EXPECT_EQ(ClientSlot(*m.server, m.client.get()), -1) << m.server->output().substr(from);

    // Back again, then kicked: the server says why and the client takes it.
    size_t clientFrom = m.client->output().size();
    from = m.server->output().size();
    m.client->send("connect localhost:" + std::to_string(m.port) + "\n");
    ASSERT_TRUE(m.ClientSays("We are connected to server", clientFrom, 20)) << m.client->output().substr(clientFrom);
    ASSERT_TRUE(m.ServerSays(std::string(PLAYER) + " connects to server", from)) << m.server->output().substr(from);
    const int slot = ClientSlot(*m.server, m.client.get());
    ASSERT_GE(slot, 0) << m.server->output();
    clientFrom = m.client->output().size();
    m.server->send("kick " + std::to_string(slot) + "\n");
    EXPECT_TRUE(m.ClientSays("Dropped server", clientFrom)) << m.client->output().substr(clientFrom);
    EXPECT_NE(m.client->output().find("kicked", clientFrom), std::string::npos) << m.client->output().substr(clientFrom);
    EXPECT_EQ(m.QuitClient(), 0) << m.client->output();
    m.server->send("quit\n");
    EXPECT_EQ(m.server->finish(), 0) << m.server->output();
}

TEST(ClientGame, ListenServerConnectsItsOwnClientAndPlays) {
    TempDir dir;
    CopyData(dir);
    Engine engine(dir.path(), {"+set", "client", "1", "+set", "name", PLAYER, "+set", "cg_skipIntro", "1", "+set",
                               "sv_lanServer", "1", "+set", "sv_cheats", "1", "+set", "sv_pure", "0", "+set", "map", "planet"},
                  "engine_headless");
    ASSERT_TRUE(WaitAfter(engine, "Server is up and running", 0, 60)) << engine.output();
    // Nothing asks it to: the client game sees the server beside it and connects.
    ASSERT_TRUE(WaitAfter(engine, "Force local connection...", 0, 20)) << engine.output();
    ASSERT_TRUE(WaitAfter(engine, "We are connected to server", 0, 20)) << engine.output();
    ASSERT_TRUE(WaitAfter(engine, "Register all media in", 0, 30)) << engine.output();
    EXPECT_EQ(MediaFaults(engine.output()), std::vector<std::string>{});
    engine.send("cg_drawCoords 1\n");
    ASSERT_TRUE(PredictedPosition(engine, 30).Valid()) << engine.output();

    size_t from = engine.output().size();
    engine.send("cc_spawn_blue\n");
    ASSERT_TRUE(WaitAfter(engine, std::string(PLAYER) + " joins", from, 10)) << engine.output().substr(from);
    const Vec3 start = ServerPosition(engine);
    Hold(engine, "cc_forward", 400);
    from = engine.output().size();
    ASSERT_TRUE(Settle(engine, "walked", 30)) << engine.output().substr(from);
    WaitAfter(engine, "\x01", from, 1.0);
    const Vec3 server = ServerPosition(engine);
    const Vec3 predicted = PredictedPosition(engine, 5);
    ASSERT_TRUE(start.Valid() && server.Valid() && predicted.Valid()) << engine.output();
    EXPECT_GT(server.DistanceTo(start), 0.5) << "the held key walks the player";
    EXPECT_NEAR(predicted.x, server.x, 0.051);
    EXPECT_NEAR(predicted.y, server.y, 0.051);
    EXPECT_NEAR(predicted.z, server.z, 0.051);

    // The second frame of the handshake did not stop the server beside it: it still runs.
    EXPECT_EQ(engine.output().find("Shutting down server"), std::string::npos) << engine.output();
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
}

}  // namespace
