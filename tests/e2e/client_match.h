// A client game playing on a dedicated server, for the end-to-end tests: the test
// build of the engine with the headless renderer joins the shipped engine's server,
// each in its own copy of the default data.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/engine_process.h"
#include "tests/e2e/udp_peer.h"

namespace e2e {

constexpr const char *PLAYER = "Probe";

// Reads until the output, colours stripped, holds needle after offset from; false when
// it did not come within seconds.  The other engine is read meanwhile, so that neither
// stops on a full pipe.
inline bool WaitAfter(Engine &engine, const std::string &needle, size_t from, double seconds, Engine *other = nullptr) {
    const auto holds = [&] { return Plain(engine.output().substr(std::min(from, engine.output().size()))).find(needle) != std::string::npos; };
    for (const Deadline deadline(seconds); !deadline.passed();) {
        if (holds()) return true;
        engine.waitFor("\x01", 0.05);  // never printed: just reads on
        if (other) other->waitFor("\x01", 0.05);
    }
    return holds();
}

struct Vec3 {
    double x = NAN, y = NAN, z = NAN;
    bool Valid() const { return !std::isnan(x) && !std::isnan(y) && !std::isnan(z); }
    double DistanceTo(const Vec3 &o) const { return std::sqrt((x - o.x) * (x - o.x) + (y - o.y) * (y - o.y) + (z - o.z) * (z - o.z)); }
};

// Waits until the engine has run every line sent before: a word it does not know, sent
// after them, comes back as its complaint.  False when it did not within seconds.
inline bool Settle(Engine &engine, const std::string &word, double seconds, Engine *other = nullptr) {
    const size_t asked = engine.output().size();
    engine.send(word + "\n");
    return WaitAfter(engine, "Unknown command \"" + word + "\"", asked, seconds, other);
}

// Where the client game shows its predicted player: the coordinates overlay read back
// from the test renderer's last frame.  Invalid when it was not drawn within seconds.
inline Vec3 PredictedPosition(Engine &client, double seconds, Engine *other = nullptr) {
    for (const Deadline deadline(seconds); !deadline.passed();) {
        const size_t asked = client.output().size();
        client.send("re_text\n");
        Settle(client, "text_read", std::min(2.0, deadline.left()), other);
        const std::string out = client.output().substr(asked);
        const size_t at = out.rfind("xyz: ");
        Vec3 v;
        if (at != std::string::npos && sscanf(out.c_str() + at, "xyz: %lf %lf %lf", &v.x, &v.y, &v.z) == 3) return v;
        WaitAfter(client, "\x01", asked, 0.2, other);
    }
    return {};
}

// Where the server has the player's entity: its entity list.
inline Vec3 ServerPosition(Engine &server, Engine *other = nullptr) {
    const size_t asked = server.output().size();
    server.send("entityList\n");
    if (!WaitAfter(server, "active entities", asked, 5, other)) return {};
    for (const std::string &line : e2e::Lines(Plain(server.output().substr(asked)))) {
        const size_t at = line.find("\"Player\"");
        const size_t open = line.find('<', at == std::string::npos ? line.size() : at);
        Vec3 v;
        if (open != std::string::npos && sscanf(line.c_str() + open, "<%lf %lf %lf>", &v.x, &v.y, &v.z) == 3) return v;
    }
    return {};
}

// The client's key held for a number of frames: its command issued once in each.
inline void Hold(Engine &client, const std::string &command, int frames) {
    std::string line;
    for (int i = 0; i < frames; i++) line += command + ";wait;";
    // One standard-input line holds up to 1023 characters: the rest follows on more lines,
    // each queued behind the waits of the one before.
    const size_t room = (1000 / (command.size() + 6)) * (command.size() + 6);
    for (size_t at = 0; at < line.size(); at += room) client.send(line.substr(at, room) + "\n");
}

// A dedicated server of the shipped engine on a map, cheats on (the coordinates overlay is
// a cheat) and not pure (the default data are loose files, no packs), and the test build
// as a client; each in its own copy of the default data.
struct Match {
    TempDir serverDir, clientDir;
    std::unique_ptr<Engine> server, client;
    int port = 0;

    // clientArgs: more words for the client's command line, ahead of the fixture's own.
    // serverProgram: the server's build; beforeStart, when given, runs before each
    // engine starts (true: the server's).
    explicit Match(const std::string &map = "planet", const std::vector<std::string> &clientArgs = {},
                   const std::string &serverProgram = "engine", void (*beforeStart)(bool server) = nullptr) {
        CopyData(serverDir);
        CopyData(clientDir);
        if (beforeStart) beforeStart(true);
        server = std::make_unique<Engine>(serverDir.path(),
                                          std::vector<std::string>{"-dedicated", "+set", "sv_lanServer", "1", "+set",
                                                                   "sv_cheats", "1", "+set", "sv_pure", "0", "+set", "sg_deathTime", "1",
                                                                   "+set", "map", map},
                                          serverProgram);
        port = EnginePort(*server);
        if (beforeStart) beforeStart(false);
        std::vector<std::string> args = clientArgs;
        args.insert(args.end(), {"+set", "client", "1", "+set", "name", PLAYER, "+set", "cg_skipIntro", "1"});
        client = std::make_unique<Engine>(clientDir.path(), args, "engine_headless");
    }

    bool ServerSays(const std::string &needle, size_t from, double seconds = 10) {
        return WaitAfter(*server, needle, from, seconds, client.get());
    }
    bool ClientSays(const std::string &needle, size_t from, double seconds = 10) {
        return WaitAfter(*client, needle, from, seconds, server.get());
    }

    // Connects through the client game's own command, and waits until the world is in
    // (the coordinates overlay is drawn only then) and the player is on the server.
    void Join() {
        ASSERT_GT(port, 0) << server->output();
        ASSERT_TRUE(ServerSays("Server is up and running", 0, 60)) << server->output();
        ASSERT_TRUE(ClientSays("CL_Init: Starting up client done", 0, 30)) << client->output();
        const size_t from = server->output().size();
        client->send("connect localhost:" + std::to_string(port) + "\n");
        ASSERT_TRUE(ClientSays("We are connected to server", 0, 20)) << client->output();
        ASSERT_TRUE(ServerSays(std::string(PLAYER) + " connects to server", from)) << server->output().substr(from);
        ASSERT_TRUE(ClientSays("Register all media in", 0, 30)) << client->output();
        client->send("cg_drawCoords 1\n");
        ASSERT_TRUE(PredictedPosition(*client, 60, server.get()).Valid()) << client->output();
    }

    // Joins the blue team and waits until the server has the player on it.
    void Play() {
        const size_t from = server->output().size();
        client->send("cc_spawn_blue\n");
        ASSERT_TRUE(ServerSays(std::string(PLAYER) + " joins", from)) << server->output().substr(from);
    }

    // Ends the client with a quit; its status.
    int QuitClient() {
        client->send("quit\n");
        return client->finish();
    }
};

}  // namespace e2e
