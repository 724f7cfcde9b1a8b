// A dedicated server running matches: start lines, poll answers, bots, rule
// changes, a match that ends on its time limit and moves on to the next map, and
// maps that cannot start.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/e2e/engine_process.h"
#include "tests/e2e/udp_peer.h"

namespace {

using e2e::Engine;
using e2e::EnginePort;
using e2e::OutOfBand;
using e2e::Peer;
using e2e::TempDir;

// A world file: a solid block of 2 x 2 x 2 cells around the centre.
std::string TinyWorld() {
    std::string b;
    auto put = [&b](uint32_t w) {
        for (int i = 0; i < 4; i++) b.push_back(static_cast<char>(w >> (8 * i)));
    };
    for (uint32_t w : {0x671A9901u, 2u, 8u, 4u, 4u, 4u}) put(w);
    for (int z : {60, 64})
        for (int y : {60, 64})
            for (int x : {60, 64})
                for (uint32_t w : {1u, static_cast<uint32_t>(x), static_cast<uint32_t>(y), static_cast<uint32_t>(z)})
                    put(w);
    return b;
}

void Write(const TempDir &dir, const std::string &name, const std::string &bytes) {
    std::filesystem::create_directories(std::filesystem::path(dir.file(name)).parent_path());
    std::ofstream(dir.file(name), std::ios::binary) << bytes;
}

// Two maps of the cycle, a broken script and the cycle file.
void WriteMaps(const TempDir &dir) {
    Write(dir, "game/c_maps/tiny.vo2", TinyWorld());
    Write(dir, "game/c_maps/tiny.world", "name Tiny\nmatter game/c_maps/tiny.vo2\nspaceAltitude 20\nrules dm\n");
    Write(dir, "game/c_maps/other.world", "name Other\nmatter game/c_maps/tiny.vo2\nrules dm\n");
    Write(dir, "game/c_maps/broken.world", "matter game/c_maps/tiny.vo2\nworldTags {\n");
    Write(dir, "game/c_maps/nofile.world", "matter game/c_maps/none.vo2\n");
    Write(dir, "mapcycle.txt", "tiny.world\nother.world\n");
}

// The words of a text; double quotes group.
std::vector<std::string> Words(const std::string &text) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') i++;
        if (i >= text.size()) break;
        std::string w;
        if (text[i] == '"') {
            for (i++; i < text.size() && text[i] != '"'; i++) w += text[i];
            i++;
        } else {
            for (; i < text.size() && text[i] != ' '; i++) w += text[i];
        }
        out.push_back(w);
    }
    return out;
}

// The words of the server's answer to a poll; empty when none came within seconds.
std::vector<std::string> Poll(Peer &peer, int port, double seconds = 10) {
    const e2e::Deadline deadline(seconds);
    // Every answer comes twice, against loss: what is left of earlier ones goes first.
    while (!deadline.passed() && !peer.receiveText().empty()) {
    }
    while (!deadline.passed()) {
        peer.send(port, OutOfBand("poll 5 6"));
        for (int i = 0; i < 5; i++) {
            const std::string text = peer.receiveText();
            if (text.rfind("serverinfo", 0) == 0) return Words(text);
        }
    }
    return {};
}

// Reads output until needle stands in it n times; false when that took longer than seconds.
bool WaitForCount(Engine &engine, const std::string &needle, size_t n, double seconds = 30) {
    for (const e2e::Deadline deadline(seconds); !deadline.passed();) {
        size_t count = 0;
        for (size_t at = engine.output().find(needle); at != std::string::npos;
             at = engine.output().find(needle, at + 1))
            count++;
        if (count >= n) return true;
        engine.waitFor(std::string(1, '\x01'), 0.1);  // never printed: just reads on
    }
    return false;
}

struct Match : testing::Test {
    TempDir dir;
    void SetUp() override { WriteMaps(dir); }
    std::vector<std::string> Args(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"-dedicated", "+set", "sv_lanServer", "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {"+set", "map", "tiny"});
        return args;
    }
};

TEST_F(Match, ADedicatedServerStartsItsMapAndAnswersPolls) {
    Engine engine(dir.path(), Args());
    ASSERT_TRUE(engine.waitFor("Server is up and running")) << engine.output();
    EXPECT_NE(engine.output().find("Starting server..."), std::string::npos);
    EXPECT_NE(engine.output().find("............ \"game/c_maps/tiny.world\" ............"), std::string::npos);
    const int port = EnginePort(engine);
    ASSERT_GT(port, 0) << engine.output();
    Peer peer;
    const std::vector<std::string> words = Poll(peer, port);
    ASSERT_EQ(words.size(), 15u) << engine.output();
    EXPECT_EQ(words[1], "5");
    EXPECT_EQ(words[2], "6");
    EXPECT_EQ(words[5], "tiny");
    EXPECT_EQ(words[6], "DM");
    EXPECT_EQ(words[7], "0");
    EXPECT_EQ(words[9], "Hollowmere");
    EXPECT_EQ(words[10], "110");
    EXPECT_EQ(words[12], "3") << "Linux";
    EXPECT_EQ(words[14], "1.10b");

    engine.send("spawnBot\nspawnBot Zed\n");
    ASSERT_TRUE(engine.waitFor("Zed connects to server")) << engine.output();
    EXPECT_TRUE(engine.waitFor("Mirel connects to server"));
    const std::vector<std::string> two = Poll(peer, port);
    ASSERT_EQ(two.size(), 15u);
    EXPECT_EQ(two[7], "2");
    engine.send("sg_clientList\n");
    EXPECT_TRUE(engine.waitFor("2 clients connected to server")) << engine.output();

    for (const char *rules : {"CC", "F", "CR", "DM"}) {
        engine.send(std::string("sg_rules ") + rules + "\n");
        bool switched = false;
        for (const e2e::Deadline deadline(20); !deadline.passed() && !switched;) {
            const std::vector<std::string> w = Poll(peer, port, deadline.left());
            switched = w.size() == 15 && w[6] == rules;
        }
        EXPECT_TRUE(switched) << "a poll's answer naming the rules " << rules << " within 20 s";
    }
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
}

TEST_F(Match, MapsThatCannotStartLeaveTheEngineRunning) {
    Engine engine(dir.path(), Args());
    ASSERT_TRUE(engine.waitFor("Server is up and running")) << engine.output();
    engine.send("map missing\n");
    EXPECT_TRUE(engine.waitFor("Could not find file \"missing.world\"")) << engine.output();
    engine.send("sg_clientList\n");
    EXPECT_TRUE(engine.waitFor("0 clients connected to server")) << "the old map runs on";
    engine.send("map broken\n");
    EXPECT_TRUE(engine.waitFor("File ended without closing worldTags with }")) << engine.output();
    // No half-started server is left: server commands are refused until a map runs.
    engine.send("sg_clientList\n");
    EXPECT_TRUE(engine.waitFor("You must be server to use \"sg_clientList\"")) << engine.output();
    engine.send("map tiny\nmap nofile\nsg_clientList\n");
    EXPECT_TRUE(WaitForCount(engine, "You must be server to use \"sg_clientList\"", 2)) << engine.output();
    engine.send("map tiny\nspawnBot\nsg_clientList\n");
    EXPECT_TRUE(engine.waitFor("1 clients connected to server")) << engine.output();
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
}

TEST_F(Match, ADeathMatchEndsOnItsTimeLimitAndTheCycleMovesOn) {
    Engine engine(dir.path(), Args({"+set", "sg_timeLimit", "1", "+set", "sg_autoNextMap", "2"}));
    ASSERT_TRUE(engine.waitFor("Server is up and running")) << engine.output();
    engine.send("spawnBot\n");
    ASSERT_TRUE(engine.waitFor("connects to server", 10)) << engine.output();
    ASSERT_TRUE(engine.waitFor("Mirel won", 90)) << engine.output();
    EXPECT_TRUE(engine.waitFor("Next map in 2 seconds...", 10)) << engine.output();
    EXPECT_TRUE(engine.waitFor("Next map...", 10)) << engine.output();
    EXPECT_TRUE(engine.waitFor("............ \"game/c_maps/other.world\" ............", 20)) << engine.output();
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
}

TEST_F(Match, ARawPeerConnectsAndReceivesWorldInfoSnapshotsAndPages) {
    Engine engine(dir.path(), Args());
    ASSERT_TRUE(engine.waitFor("Server is up and running")) << engine.output();
    const int port = EnginePort(engine);
    ASSERT_GT(port, 0);
    Peer peer;
    ASSERT_TRUE(e2e::Join(peer, port, "Raw")) << engine.output();
    ASSERT_TRUE(engine.waitFor("Raw connects to server")) << engine.output();

    constexpr uint8_t SNAPSHOT = 1, PAGE = 2, WORLD_INFO = 4;
    e2e::Connection connection;
    for (const e2e::Deadline deadline(20);
         !deadline.passed() && !(connection.has(WORLD_INFO) && connection.has(SNAPSHOT) && connection.has(PAGE));)
        connection.take(peer.receive());
    EXPECT_TRUE(connection.has(WORLD_INFO)) << "a world info package within 20 s";
    EXPECT_TRUE(connection.has(SNAPSHOT)) << "a snapshot package within 20 s";
    EXPECT_TRUE(connection.has(PAGE)) << "a page package within 20 s";
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
}

}  // namespace
