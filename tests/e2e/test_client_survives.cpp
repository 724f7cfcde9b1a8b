// A client that no server breaks and that keeps playing for as long as it runs:
// snapshots crafted by a server of the test's own, both clocks restarting under a
// real server and a headless client, and the client stopped and started again
// beside its server.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/packages.h"
#include "base/snapshot.h"
#include "common/com_msg.h"
#include "tests/e2e/client_match.h"
#include "tests/e2e/engine_process.h"
#include "tests/e2e/udp_peer.h"
#include "tests/support/udp_peer.h"

namespace {

using e2e::Engine;
using e2e::TempDir;
using e2e::WaitAfter;

// A server of the test's own at 127.0.0.1: it answers a client's handshake and sends
// in-band packages that the test writes, each whole in one datagram.
struct CraftedServer {
    hm_test::UdpPeer peer;
    int clientPort = 0;
    int32_t sequence = 0;

    void SendText(const std::string &text) {
        peer.Send("127.0.0.1", clientPort,
                  e2e::Datagram(hm_test::PEER_MAGIC, 0, -1, static_cast<int32_t>(8 * (text.size() + 1)),
                                text + std::string(1, '\0')));
    }
    void SendPackage(const msg_t &m) {
        const std::string body(reinterpret_cast<const char *>(m.data), static_cast<size_t>((m.curBits + 7) / 8));
        peer.Send("127.0.0.1", clientPort, e2e::Datagram(hm_test::PEER_MAGIC, 0, ++sequence, m.curBits, body));
    }
    // The next out-of-band text from the client that begins with word, "" when none
    // came within seconds; the client is read on meanwhile.
    std::string AwaitText(Engine &client, const std::string &word, double seconds) {
        for (double waited = 0; waited < seconds; waited += 0.1) {
            const std::string d = peer.Receive(50);
            if (d.size() > hm_test::PEER_HEADER_SIZE && d.compare(16, word.size(), word) == 0)
                return std::string(d.c_str() + 16);
            client.waitFor("\x01", 0.05);
        }
        return "";
    }
};

// One crafted snapshot: a player standing on the ball, spoilt by the case; and what
// the client says when it drops it (null: nothing the test waits for).
struct craftedState_t {
    const char *name;
    void (*spoil)(snapshot_t &);
    const char *says;
};

TEST(ClientSurvives, CraftedSnapshotsFromAServerNeverEndTheClient) {
    TempDir dir;
    e2e::CopyData(dir);
    Engine client(dir.path(), {"+set", "client", "1", "+set", "cg_skipIntro", "1"},
                  "engine_headless");
    CraftedServer server;
    server.clientPort = e2e::EnginePort(client);
    ASSERT_GT(server.clientPort, 0) << client.output();
    ASSERT_TRUE(client.waitFor("CL_Init: Starting up client done", 30)) << client.output();
    client.send("connect localhost:" + std::to_string(server.peer.port()) + "\n");
    ASSERT_NE(server.AwaitText(client, "get_challenge", 10), "") << client.output();
    server.SendText("challenge 4242");
    ASSERT_NE(server.AwaitText(client, "connect", 10), "") << client.output();
    static msg_t m;
    Msg_WriteBegin(&m);
    Msg_WriteByte(SVP_WORLDINFO);
    Msg_WriteLong(1);
    Msg_WriteLong(1);
    Msg_WriteString("path \"game/c_maps/arena.world\";pure \"0\";cheat \"0\";eof \"1\";");
    server.SendPackage(m);
    ASSERT_TRUE(client.waitFor("We are connected to server", 20)) << client.output();
    ASSERT_TRUE(client.waitFor("Register all media in", 60)) << client.output();

    constexpr const char *CENTRE = "holds an origin too near the centre; its player state is dropped";
    constexpr const char *RANGE = "holds a number out of range; its player state is dropped";
    constexpr const char *BACKWARD = "CL_UpdateSimulation: Server time go's backward!";
    static const craftedState_t cases[] = {
        {"tiny origin", [](snapshot_t &s) { s.client.origin[0] = 1e-40f, s.client.origin[1] = 0; }, CENTRE},
        {"huge origin", [](snapshot_t &s) { s.client.origin[0] = s.client.origin[1] = s.client.origin[2] = 3e38f; },
         RANGE},
        {"origin not a number", [](snapshot_t &s) { s.client.origin[2] = std::nanf(""); }, RANGE},
        {"endless speed", [](snapshot_t &s) { s.client.velocity[0] = INFINITY; }, RANGE},
        {"heading not a number", [](snapshot_t &s) { s.client.viewAxis[0][1] = std::nanf(""); }, RANGE},
        {"heading huge", [](snapshot_t &s) { s.client.viewAxis[0][0] = 3e38f; }, nullptr},
        // Every other one: four snapshots in a row that all went back would be in order.
        {"server time backward", [](snapshot_t &s) { s.serverTime -= (s.number & 1) ? 100000 : 0; }, BACKWARD},
        {"server time at the top", [](snapshot_t &s) { s.serverTime = INT32_MAX; }, nullptr},
        {"entity far out", [](snapshot_t &s) {
             s.entities[40].inUse = 1;
             s.entities[40].type = 1;
             s.entities[40].origin[0] = 3e38f;
             s.entities[40].ellipticAxis[0][0] = std::nanf("");
         }, nullptr},
    };
    static snapshot_t s;
    int32_t number = 0, serverTime = 100000;
    const auto send = [&](const craftedState_t *spoil) {
        memset(&s, 0, sizeof s);
        s.number = ++number;
        s.serverTime = serverTime += 50;
        s.client.origin[1] = 30;
        s.client.viewAxis[0][0] = 1;
        s.client.height = 1.65f;
        s.client.eyeHeight = 1.3f;
        if (spoil) spoil->spoil(s);
        Msg_WriteBegin(&m);
        Msg_WriteByte(SVP_SNAPSHOT);
        Snap_WriteSnapshot(&s, nullptr, 0, 0);
        server.SendPackage(m);
        client.waitFor("\x01", 0.05);  // a few of the client's frames
    };
    for (int i = 0; i < 8; i++) send(nullptr);
    for (const craftedState_t &c : cases) {
        SCOPED_TRACE(c.name);
        const size_t from = client.output().size();
        // Until the client says why it drops the case (a loaded machine may take a
        // while), or three times when it drops it silently.
        bool said = false;
        for (int i = 0; i < 100 && !said; i++) {
            send(&c);
            said = c.says ? e2e::Plain(client.output().substr(from)).find(c.says) != std::string::npos : i >= 2;
        }
        EXPECT_TRUE(said) << e2e::Plain(client.output().substr(from));
        for (int i = 0; i < 5; i++) send(nullptr);
    }
    const std::string out = e2e::Plain(client.output());
    EXPECT_EQ(out.find("G_ClientMove elliptic"), std::string::npos) << out;
    // Still up and still connected: it answers, and quits in order.
    ASSERT_TRUE(e2e::Settle(client, "still_here", 10)) << out;
    EXPECT_EQ(out.find("Dropped server"), std::string::npos) << out;
    client.send("quit\n");
    EXPECT_EQ(client.finish(), 0) << client.output();
}

// The vertex lists the test renderer holds, from its re_counts line after offset from;
// -1 when the line did not come.  loaded: lists ever loaded; stray: uploads that
// named no live list.
struct vertexCounts_t {
    int lists = -1, loaded = -1, uploads = -1, stray = -1;
};
vertexCounts_t VertexCounts(Engine &engine) {
    const size_t from = engine.output().size();
    engine.send("re_counts\n");
    vertexCounts_t v;
    if (!WaitAfter(engine, " stray ", from, 10)) return v;
    const std::string out = engine.output().substr(from);
    const size_t at = out.find("re_counts: vertex lists ");
    if (at != std::string::npos)
        sscanf(out.c_str() + at, "re_counts: vertex lists %d loaded %d uploads %d stray %d", &v.lists, &v.loaded,
               &v.uploads, &v.stray);
    return v;
}

// A client started, stopped and started again beside a server whose world is loaded:
// every start gives the renderer a list of the world's vertexes and the whole pool.
TEST(ClientSurvives, ClientRestartedBesideItsServerRebuildsTheWorldsVertexList) {
    TempDir dir;
    e2e::CopyData(dir);
    Engine engine(dir.path(),
                  {"-dedicated", "+set", "sv_lanServer", "1", "+set", "sv_pure", "0", "+set", "map", "planet"},
                  "engine_headless");
    ASSERT_TRUE(engine.waitFor("Server is up and running", 60)) << engine.output();
    engine.send("cg_skipIntro 1\nclient 1\n");
    ASSERT_TRUE(engine.waitFor("CL_Init: Starting up client done", 30)) << engine.output();
    const vertexCounts_t first = VertexCounts(engine);
    EXPECT_EQ(first.lists, 1) << engine.output();
    EXPECT_GT(first.uploads, 0);
    EXPECT_EQ(first.stray, 0);

    size_t from = engine.output().size();
    engine.send("client 0\n");
    ASSERT_TRUE(WaitAfter(engine, "CL_Shutdown: Client shut downed", from, 20)) << engine.output().substr(from);
    from = engine.output().size();
    engine.send("client 1\n");
    ASSERT_TRUE(WaitAfter(engine, "CL_Init: Starting up client done", from, 30)) << engine.output().substr(from);
    ASSERT_TRUE(e2e::Settle(engine, "a_few_frames", 10));
    const vertexCounts_t second = VertexCounts(engine);
    EXPECT_EQ(second.lists, 1) << engine.output().substr(from);
    EXPECT_EQ(second.loaded, first.loaded + 1) << "a new list for the new client";
    EXPECT_GT(second.uploads, first.uploads) << "the whole pool went up again";
    EXPECT_EQ(second.stray, 0) << "nothing went to the list of the client before";
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
}

// Starts the clock and the game time of the next engine so that they restart that many
// seconds after its start (0: no restart within the test).
void ClocksRestartIn(double clockSeconds, double timeSeconds) {
    const auto ahead = [](uint32_t end, uint32_t start, double seconds) {
        return std::to_string(end - start - static_cast<uint32_t>(seconds * 1000));
    };
    setenv("HM_TEST_CLOCK_AHEAD", ahead(0x7FFFFFFFu, 65535u, clockSeconds).c_str(), 1);
    setenv("HM_TEST_TIME_AHEAD", ahead(0x7FFFFFFFu, 0x5FFFFu, timeSeconds).c_str(), 1);
}

// A dedicated server and a headless client, both of the test build, cross both their
// clocks' restarts: the server's game time restarts (and with it the server) before
// the client joins, its engine clock while the client plays; the client's game time
// and engine clock both restart while it plays.  It stays connected, snapshots keep
// coming, and a change of the world reaches it and is acknowledged.
TEST(ClientSurvives, ServerAndClientPlayOnAcrossTheClocksRestarts) {
    constexpr double SERVER_CLOCK = 75, SERVER_TIME = 4, CLIENT_CLOCK = 70, CLIENT_TIME = 65;
    const auto started = std::chrono::steady_clock::now();
    const auto since = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(); };
    const auto m = std::make_unique<e2e::Match>("planet", std::vector<std::string>{}, "engine_headless", [](bool server) {
        if (server)
            ClocksRestartIn(SERVER_CLOCK, SERVER_TIME);
        else
            ClocksRestartIn(CLIENT_CLOCK, CLIENT_TIME);
    });
    unsetenv("HM_TEST_CLOCK_AHEAD");
    unsetenv("HM_TEST_TIME_AHEAD");
    ASSERT_TRUE(m->ServerSays("Restarting server due to time wrapping", 0, 30)) << m->server->output();
    const size_t restarted = m->server->output().rfind("Restarting server due to time wrapping");
    ASSERT_TRUE(m->ServerSays("Server is up and running", restarted, 30)) << m->server->output();
    m->Join();
    ASSERT_LT(since(), CLIENT_TIME - 5) << "joined too late to play across the restarts";

    // Past every restart: the client's game time restarts by frames, so it may come late.
    while (since() < SERVER_CLOCK + 3) m->ClientSays("\x01", 0, 0.5);
    ASSERT_TRUE(m->ClientSays("! ! ! Time wrapping ! ! !", 0, 30)) << m->client->output();
    m->ClientSays("\x01", 0, 2);

    size_t clientFrom = m->client->output().size();
    m->client->send("cl_printNet 1\n");
    ASSERT_TRUE(m->ClientSays(" Snapshot", clientFrom, 5)) << "snapshots stopped\n" << m->client->output().substr(clientFrom);
    m->client->send("cl_printNet 0\n");

    // A change of the world: its pages go out, are acknowledged, and stop going.
    size_t serverFrom = m->server->output().size();
    m->server->send("sv_printPage 1\npaintCore 9\n");
    ASSERT_TRUE(m->ServerSays("SV_WritePages: Sending", serverFrom, 10)) << m->server->output().substr(serverFrom);
    bool quiet = false;
    for (int round = 0; round < 20 && !quiet; round++) {
        const size_t before = m->server->output().size();
        m->ServerSays("\x01", before, 3);
        quiet = m->server->output().find("SV_WritePages: Sending", before) == std::string::npos;
    }
    EXPECT_TRUE(quiet) << "pages kept going out: never acknowledged";
    m->server->send("sv_printPage 0\n");

    // Longer than both time-outs after the restarts, still connected.
    while (since() < SERVER_CLOCK + 20) m->ClientSays("\x01", 0, 0.5);
    clientFrom = m->client->output().size();
    m->client->send("cl_printNet 1\n");
    EXPECT_TRUE(m->ClientSays(" Snapshot", clientFrom, 5)) << m->client->output().substr(clientFrom);
    EXPECT_EQ(m->client->output().find("Dropped server"), std::string::npos) << m->client->output();
    EXPECT_EQ(m->server->output().find("Timeout"), std::string::npos) << m->server->output();
    EXPECT_EQ(m->QuitClient(), 0) << m->client->output();
    m->server->send("quit\n");
    EXPECT_EQ(m->server->finish(), 0) << m->server->output();
}

}  // namespace
