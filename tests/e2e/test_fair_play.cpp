// A hostile player on the wire against the real engine and module: it lies about
// its commands' times, forges datagrams in another player's name, types control
// bytes and floods texts.  The server holds it to what an honest player can do.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/engine_process.h"
#include "tests/e2e/udp_peer.h"
#include "tests/e2e/wire_player.h"

namespace {

using e2e::Engine;
using e2e::Input;
using e2e::Player;
using e2e::ReadFor;
using e2e::TempDir;

// A dedicated server on one of the shipped maps, in a fresh copy of the data.
struct Server {
    TempDir dir;
    std::unique_ptr<Engine> engine;
    int port = 0;
    Server(const char *map, std::vector<std::string> extra = {}) {
        std::filesystem::copy(std::filesystem::path(HM_SOURCE_DIR) / "data", dir.path(),
                              std::filesystem::copy_options::recursive);
        std::vector<std::string> args = {"-dedicated", "+set", "sv_lanServer", "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {"+set", "map", map});
        engine = std::make_unique<Engine>(dir.path(), args);
    }
    // Waits for the map, then learns the port; false (with the reason printed) when either failed.
    bool Up() {
        if (!engine->waitFor("Server is up and running", 60)) return false;
        port = e2e::EnginePort(*engine);
        return port > 0;
    }
};

// Joins the game under name and stands still on the ground for a moment.
bool Enter(Engine &engine, Player &player, const std::string &name) {
    if (!player.joined() || !engine.waitFor(name + " connects to server", 10)) return false;
    Input in;
    in.buttons = e2e::JOIN_BLUE;
    player.hold(in, 0.5);
    if (!engine.waitFor(name + " joins", 5)) return false;
    player.hold(Input{}, 1);
    return true;
}

// A forge server with one player on the wire who has joined the game.
struct ForgeWithPlayer {
    Server server{"forge"};
    std::unique_ptr<Player> player;
    // False when the server did not come up or the player could not join.
    bool Ready(const std::string &name) {
        if (!server.Up()) return false;
        player = std::make_unique<Player>(*server.engine, server.port, name);
        return Enter(*server.engine, *player, name);
    }
};

struct Position {
    double x = NAN, y = NAN, z = NAN;
    double To(const Position &o) const { return std::sqrt((x - o.x) * (x - o.x) + (y - o.y) * (y - o.y) + (z - o.z) * (z - o.z)); }
};

// Where the server has client slot 0's body, read from the operator's entity list;
// the player keeps sending in while the engine answers.  NAN when no answer came
// within 10 s, or it named no such body.
Position BodyOfFirstClient(Engine &engine, Player &player, const Input &in) {
    const size_t asked = engine.output().size();
    engine.send("entityList\n");
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (engine.output().find("active entities", asked) == std::string::npos && std::chrono::steady_clock::now() < end) {
        player.command(in, 0);
        ReadFor(engine, 0.02);
    }
    Position p;
    // "      0: "Player" sp: 5 <1.00 2.00 3.00>", after the console's time stamp if it has one.
    for (const std::string &line : e2e::Lines(engine.output().substr(asked))) {
        const size_t at = line.find(": \"Player\" sp: ");
        const size_t number = at == std::string::npos ? at : line.find_last_of(' ', at);
        int serial;
        if (number != std::string::npos && line.substr(number + 1, at - number - 1) == "0" &&
            sscanf(line.c_str() + at, ": \"Player\" sp: %d <%lf %lf %lf>", &serial, &p.x, &p.y, &p.z) == 4)
            return p;
    }
    return Position{};
}

// Sends count commands at once every 50 ms for the given seconds, as a client that
// claims more commands than its clock makes.
void Burst(Player &player, const Input &in, int count, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        const auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
        for (int i = 0; i < count; i++) player.command(in, 0);
        std::this_thread::sleep_until(next);
    }
}

// The forge's plate has an edge a leg can walk off wherever the player spawned.  The
// way, forward or back, that leads from the spawn towards the plate's centre: a short
// step forward shows where forward goes.
uint32_t Inward(Engine &engine, Player &player) {
    const Position from = BodyOfFirstClient(engine, player, Input{});
    Input step;
    step.buttons = e2e::FORWARD;
    player.hold(step, 0.1);
    const Position to = BodyOfFirstClient(engine, player, Input{});
    const double forwardToCentre = -(to.x - from.x) * from.x - (to.z - from.z) * from.z;
    return forwardToCentre > 0 ? e2e::FORWARD : e2e::BACK;
}

// Runs back and forth in half-second legs, the first one inward; the length of the
// path, leg by leg.  sendLeg sends the leg's command for half a second.
template <typename SendLeg>
double RunLegs(Engine &engine, Player &player, uint32_t inward, int legs, SendLeg sendLeg) {
    const uint32_t outward = inward == e2e::FORWARD ? e2e::BACK : e2e::FORWARD;
    Position at = BodyOfFirstClient(engine, player, Input{});
    double path = 0;
    for (int leg = 0; leg < legs; leg++) {
        Input in;
        in.buttons = leg % 2 ? outward : inward;
        sendLeg(in);
        const Position next = BodyOfFirstClient(engine, player, Input{});
        path += next.To(at);
        at = next;
    }
    return path;
}

TEST(FairPlay, ClaimedCommandTimeMovesNoFasterThanRealTime) {
    ForgeWithPlayer forge;
    ASSERT_TRUE(forge.Ready("Runner")) << forge.server.engine->output();
    Engine &engine = *forge.server.engine;
    Player &player = *forge.player;

    const uint32_t inward = Inward(engine, player);
    const double honest = RunLegs(engine, player, inward, 6, [&](const Input &in) { player.hold(in, 0.5); });
    // Four commands every 50 ms, each claiming 200 ms: sixteen times the clock.
    // The first second spends whatever the server allows a client ahead of its clock,
    // in and out again.
    player.claim(200);
    for (const uint32_t way : {inward, inward == e2e::FORWARD ? e2e::BACK : e2e::FORWARD}) {
        Input lead;
        lead.buttons = way;
        Burst(player, lead, 4, 0.5);
    }
    const double cheat = RunLegs(engine, player, inward, 6, [&](const Input &in) { Burst(player, in, 4, 0.5); });
    printf("path in 3 s: honest %.2f, claiming 200 ms x 4 per 50 ms %.2f\n", honest, cheat);
    ASSERT_FALSE(std::isnan(honest) || std::isnan(cheat)) << "no entity list with the player's body:\n" << engine.output();
    ASSERT_GT(honest, 1.0) << engine.output();
    EXPECT_LT(cheat, 1.3 * honest);
}

// The statistics line of a weapon, as advanced_stats sends it: "Railgun 0.0% 0/3 ...".
int Shots(Player &player, const std::string &weapon) {
    const size_t before = player.texts().size();
    Input ask;
    ask.weapon = e2e::RAILGUN;
    ask.text = "advanced_stats";
    player.command(ask);
    for (int i = 0; i < 50; i++) {
        for (size_t t = before; t < player.texts().size(); t++) {
            const std::string line = e2e::Plain(player.texts()[t]);
            const size_t at = line.find(weapon);
            int hits, shots;
            if (at != std::string::npos && sscanf(line.c_str() + line.find('%', at) + 1, " %d/%d", &hits, &shots) == 2)
                return shots;
        }
        Input idle;
        idle.weapon = e2e::RAILGUN;
        player.command(idle);
    }
    return -1;
}

TEST(FairPlay, RailgunFiresNoMoreShotsThanItsRefireTimeAllows) {
    ForgeWithPlayer forge;
    ASSERT_TRUE(forge.Ready("Gunner")) << forge.server.engine->output();
    Engine &engine = *forge.server.engine;
    Player &player = *forge.player;
    Input in;
    in.weapon = e2e::RAILGUN;
    in.angles = {0, 20, 0};
    player.hold(in, 1.5);  // the switch to the railgun
    ASSERT_EQ(Shots(player, "Railgun"), 0) << engine.output();

    // Eight commands every 50 ms, each claiming 200 ms: first a second that spends
    // whatever the server allows a client ahead of its clock, then the trigger held for 3 s.
    player.claim(200);
    Burst(player, in, 8, 1);
    in.buttons = e2e::FIRE;
    const auto start = std::chrono::steady_clock::now();
    Burst(player, in, 8, 3);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    player.claim(0);
    in.buttons = 0;
    player.hold(in, 0.3);
    const int shots = Shots(player, "Railgun");
    // A shot at once, then one per 1,400 ms of real time.
    const int allowed = 1 + static_cast<int>(ms / 1400);
    printf("%d railgun shots in %.0f ms, %d allowed\n", shots, ms, allowed);
    EXPECT_GE(shots, 1);
    EXPECT_LE(shots, allowed);
}

TEST(FairPlay, ForgedDatagramInAPlayersNameLeavesItConnected) {
    ForgeWithPlayer forge;
    ASSERT_TRUE(forge.Ready("Target")) << forge.server.engine->output();
    Engine &engine = *forge.server.engine;
    Player &player = *forge.player;

    // From the player's address, another port, with its qport, a sequence far
    // ahead and a challenge that is not its own.
    std::string payload;
    e2e::PutLong(payload, e2e::CLIENT_MAGIC);
    e2e::PutLong(payload, 12345);
    payload.push_back(2);  // a keep-alive
    e2e::Peer forger;
    forger.send(forge.server.port, e2e::Datagram(0x1E, 0x04, 0x7FFFFF00, static_cast<int32_t>(8 * payload.size()), payload));

    player.hold(Input{}, 15);
    const int before = player.snapshots();
    player.hold(Input{}, 5);
    EXPECT_GT(player.snapshots(), before + 10) << "snapshots still come 15 to 20 s after the forgery";
    EXPECT_EQ(engine.output().find("Timeout"), std::string::npos) << engine.output();
}

TEST(FairPlay, ChatLineArrivesWithoutControlBytes) {
    ForgeWithPlayer forge;
    ASSERT_TRUE(forge.Ready("Talker")) << forge.server.engine->output();
    Engine &engine = *forge.server.engine;
    Player &player = *forge.player;

    Input in;
    in.text = "say \"hi\nSERVER: forged\x1b[2J\x07\"";
    player.command(in);
    in.text.clear();
    ASSERT_TRUE(engine.waitFor("Talker: hi", 5)) << engine.output();
    player.hold(in, 0.5);

    std::string said;
    for (const std::string &t : player.texts())
        if (t.find("Talker") != std::string::npos && t.find("forged") != std::string::npos) said = t;
    EXPECT_NE(e2e::Plain(said).find("Talker: hiSERVER: forged[2J"), std::string::npos) << said;
    for (const std::string &t : player.texts())
        for (const char c : t) EXPECT_GE(static_cast<unsigned char>(c), 32u) << t;
    EXPECT_EQ(engine.output().find('\x1b'), std::string::npos);
    for (const std::string &line : e2e::Lines(engine.output())) {
        if (line.find("SERVER: forged") != std::string::npos) {
            EXPECT_NE(line.find("Talker: hi"), std::string::npos) << line;
        }
    }
}

TEST(FairPlay, FloodOfJoinsAndChatIsCutAfterTheBurst) {
    ForgeWithPlayer forge;
    ASSERT_TRUE(forge.Ready("Flooder")) << forge.server.engine->output();
    Engine &engine = *forge.server.engine;
    Player &player = *forge.player;
    player.hold(Input{}, 5);  // a quiet while: the whole burst is there

    const size_t from = engine.output().size();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 40; i++) {
        Input in;
        if (i % 2) in.buttons = i % 4 == 1 ? e2e::JOIN_RED : e2e::JOIN_BLUE;
        else in.text = "say \"flood " + std::to_string(i) + "\"";
        player.command(in, 5);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    player.hold(Input{}, 0.5);
    ReadFor(engine, 1);

    // Every line the others read of the flooder names it.
    int lines = 0;
    for (const std::string &line : e2e::Lines(engine.output().substr(from))) lines += line.find("Flooder") != std::string::npos;
    const int allowed = 5 + static_cast<int>(std::ceil(seconds + 0.5)) + 1;  // a join in play costs two lines
    printf("%d lines broadcast in %.2f s, %d allowed\n", lines, seconds, allowed);
    EXPECT_GE(lines, 5) << engine.output().substr(from);
    EXPECT_LE(lines, allowed);
    bool told = false;
    for (const std::string &t : player.texts()) told |= t.find("Too many messages") != std::string::npos;
    EXPECT_TRUE(told) << "the flooder hears why";
}

TEST(FairPlay, HugeEmptyServerRestartTimeNeverRestartsTheMap) {
    Server server("planet", {"+set", "sg_autoRestartCR", "40000"});
    ASSERT_TRUE(server.Up()) << server.engine->output();
    Engine &engine = *server.engine;
    engine.send("spawnBot\nspawnBot Zed\n");
    ASSERT_TRUE(engine.waitFor("Zed connects to server", 10)) << engine.output();
    ReadFor(engine, 3);
    EXPECT_EQ(engine.output().find("Restarting empty server"), std::string::npos) << engine.output();
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0);
}

TEST(FairPlay, TimeLimitSetBeforeTheServerRunsIsClamped) {
    Server server("arena", {"+set", "sg_timeLimit", "5000"});
    ASSERT_TRUE(server.Up()) << server.engine->output();
    Engine &engine = *server.engine;
    const size_t asked = engine.output().size();
    engine.send("sg_timeLimit\n");
    ASSERT_TRUE(engine.waitFor("default is", 10)) << engine.output();
    EXPECT_NE(engine.output().find("sg_timeLimit = \"999\"", asked), std::string::npos) << engine.output().substr(asked);
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0);
}

}  // namespace
