// Two engines on the loop-back: a dedicated server on the shipped planet map with two
// bots, and a client engine whose stand-in client game (hm_clmod) connects to it.
// The client takes the whole world, decodes snapshots, answers pings, is dropped by
// the server's kick, and notices when the server's process dies.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/engine_process.h"
#include "tests/e2e/udp_peer.h"

namespace {

using e2e::CopyData;
using e2e::Engine;
using e2e::EnginePort;
using e2e::Plain;
using e2e::TempDir;

// The value after key in text from offset at on, as a number; -1 when absent.
long NumberAfter(const std::string &text, const std::string &key, size_t at) {
    const size_t k = text.find(key, at);
    return k == std::string::npos ? -1 : strtol(text.c_str() + k + key.size(), nullptr, 10);
}

// The lines of the output from offset at on that hold needle.
std::vector<std::string> LinesWith(const std::string &text, const std::string &needle, size_t at) {
    std::vector<std::string> out;
    for (const std::string &line : e2e::Lines(text.substr(at)))
        if (line.find(needle) != std::string::npos) out.push_back(line);
    return out;
}

// Reads until the output holds needle after offset from; false when it did not come
// within seconds.  The other engine's output is read meanwhile, so that it never
// stops on a full pipe.
bool WaitAfter(Engine &engine, const std::string &needle, size_t from, double seconds, Engine *other = nullptr) {
    for (const e2e::Deadline deadline(seconds); !deadline.passed();) {
        if (engine.output().find(needle, from) != std::string::npos) return true;
        engine.waitFor("\x01", 0.2);  // never printed: just reads on
        if (other) other->waitFor("\x01", 0.05);
    }
    return engine.output().find(needle, from) != std::string::npos;
}

// The server's client list line of the named player, after offset from; "" when none
// came within 20 seconds.
std::string ClientListLine(Engine &server, const std::string &name, size_t from) {
    for (const e2e::Deadline deadline(20); !deadline.passed();) {
        const size_t asked = server.output().size();
        server.send("sg_clientList\n");
        WaitAfter(server, "clients connected to server", asked, 1);
        for (const std::string &line : LinesWith(server.output(), name, from))
            if (line.find(" p:") != std::string::npos) return line;
    }
    return "";
}

TEST(ClientEngine, JoinsADedicatedServerTakesItsWorldAndNoticesItsEnd) {
    TempDir serverDir, clientDir;
    CopyData(serverDir);
    CopyData(clientDir);
    auto server = std::make_unique<Engine>(
        serverDir.path(), std::vector<std::string>{"-dedicated", "+set", "sv_lanServer", "1", "+set", "map", "planet"});
    const int port = EnginePort(*server);
    ASSERT_GT(port, 0) << server->output();
    ASSERT_TRUE(server->waitFor("Server is up and running", 60)) << server->output();
    server->send("spawnBot\nspawnBot\n");

    // No frame cap: a connected client's loop has nothing to sleep for, and its game
    // clock must still keep to real time (the time-out below measures it).
    Engine client(clientDir.path(), {"-mod", "hm_clmod", "+set", "client", "1"},
                  "engine_headless");  // a client runs only with a renderer that can draw
    ASSERT_TRUE(client.waitFor("clmod: up")) << client.output();
    client.send("clmod_connect localhost:" + std::to_string(port) + "\n");
    ASSERT_TRUE(WaitAfter(client, "clmod: connected", 0, 20, server.get())) << client.output();
    // Every page arrives and is installed: the client's matter checksum meets the server's.
    ASSERT_TRUE(WaitAfter(client, "clmod: world complete", 0, 90, server.get())) << client.output();

    // Several seconds of play: snapshots keep coming, with the two bots in them and moving.
    size_t from = client.output().size();
    std::vector<std::string> reports;
    for (const e2e::Deadline deadline(40); !deadline.passed() && reports.size() < 6;) {
        WaitAfter(client, "\x01", from, 1, server.get());
        reports.clear();
        for (const std::string &r : LinesWith(client.output(), "clmod: snapshot ", from)) {
            // Each player entity is reported with its origin in brackets; count from two on.
            if (reports.empty() && std::count(r.begin(), r.end(), '(') < 2) continue;
            reports.push_back(r);
        }
    }
    ASSERT_GE(reports.size(), 6u) << "snapshot reports with both bots in 40 s\n" << client.output().substr(from);
    EXPECT_GT(NumberAfter(reports.back(), "snapshot ", 0), NumberAfter(reports.front(), "snapshot ", 0));
    EXPECT_GE(NumberAfter(reports.back(), " server ", 0) - NumberAfter(reports.front(), " server ", 0), 4000);
    EXPECT_NE(reports.front().substr(reports.front().find(" players")),
              reports.back().substr(reports.back().find(" players")))
        << "the bots move";
    EXPECT_EQ(client.output().find("Bad snapshot"), std::string::npos) << client.output();
    // What a client receives in steady play, bytes per second: reported, not judged, since
    // it depends on how the machine paces both engines.
    long total = 0;
    for (const std::string &r : reports) total += NumberAfter(r, " down ", 0);
    const long perSecond = total / static_cast<long>(reports.size());
    std::cout << "steady play with two bots: " << perSecond << " bytes/s received\n";
    RecordProperty("bytes_per_second", static_cast<int>(perSecond));
    EXPECT_GT(perSecond, 0);

    // The server measures a ping from the client's answers.
    const std::string line = Plain(ClientListLine(*server, "Probe", server->output().size()));
    ASSERT_FALSE(line.empty()) << "Probe's line in sg_clientList\n" << server->output();
    EXPECT_GT(NumberAfter(line, " p:", 0), 0) << line;

    // The kick: the server says why, then drops the client.
    const long slot = strtol(line.c_str(), nullptr, 10);
    const size_t beforeKick = client.output().size();
    server->send("kick " + std::to_string(slot) + "\n");
    ASSERT_TRUE(WaitAfter(client, "clmod: disconnect screen Server dropped us", beforeKick, 10, server.get()))
        << client.output().substr(beforeKick);
    const std::string afterKick = client.output().substr(beforeKick);
    EXPECT_NE(afterKick.find("(kicked)"), std::string::npos) << afterKick;
    EXPECT_NE(afterKick.find("Dropped server"), std::string::npos) << afterKick;

    // Connected again, the server's process dies: stalled, then timed out.
    const size_t again = client.output().size();
    client.send("clmod_connect localhost:" + std::to_string(port) + "\n");
    ASSERT_TRUE(WaitAfter(client, "clmod: world complete", again, 60, server.get())) << client.output().substr(again);
    const size_t killed = client.output().size();
    server.reset();
    const auto deathTime = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitAfter(client, "clmod: stalled", killed, 5)) << client.output().substr(killed);
    ASSERT_TRUE(WaitAfter(client, "Dropped server (No response in 10 seconds)", killed, 15))
        << client.output().substr(killed);
    const auto silence = std::chrono::steady_clock::now() - deathTime;
    EXPECT_GE(silence, std::chrono::seconds(9)) << "the client's clock ran ahead of real time";
    EXPECT_NE(client.output().find("clmod: disconnect screen Server connection lost", killed), std::string::npos);

    client.send("quit\n");
    EXPECT_EQ(client.finish(), 0) << client.output();
}

}  // namespace
