// Matches played on the shipped planet map: bots playing crystal rounds, a player
// on the wire who digs, builds and throws grenades, and a full server of bots.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/engine_process.h"
#include "tests/e2e/udp_peer.h"
#include "tests/e2e/wire_player.h"

namespace {

using e2e::Engine;
using e2e::TempDir;

using e2e::DIRT_BUILD;
using e2e::DIRTGUN;
using e2e::FIRE;
using e2e::FIRE2;
using e2e::GRENGUN;
using e2e::Input;
using e2e::JOIN_BLUE;
using e2e::Player;
using e2e::ReadFor;

// View angles (roll, pitch, yaw): the ground at the feet, and a few steps ahead.
constexpr std::array<float, 3> LOOK_DOWN = {0, 70, 0}, LOOK_AHEAD = {0, 20, 0};

// The game on the planet map, in a fresh copy of the shipped data.
struct Planet {
    TempDir dir;
    Planet() {
        std::filesystem::copy(std::filesystem::path(HM_SOURCE_DIR) / "data", dir.path(),
                              std::filesystem::copy_options::recursive);
    }
    std::vector<std::string> Args(std::vector<std::string> extra = {}) const {
        std::vector<std::string> args = {"-dedicated", "+set", "sv_lanServer", "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {"+set", "map", "planet"});
        return args;
    }
};

// Checks that no line so far reports a fault (a warning or an error), then ends the engine.
void QuitWithoutFaults(Engine &engine) {
    std::vector<std::string> faults;
    for (const std::string &line : e2e::Lines(engine.output()))
        if (line.find("WARNING") != std::string::npos || line.find("rror") != std::string::npos) faults.push_back(line);
    std::string first;
    for (size_t i = 0; i < faults.size() && i < 20; i++) first += faults[i] + "\n";
    EXPECT_TRUE(faults.empty()) << faults.size() << " lines, the first:\n" << first;
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
}

// One client's row of sg_clientList: its state word and its frags and deaths.
struct Row {
    std::string state;
    int frags = -1, deaths = -1, minutes = -1;
};

// The rows of the newest full client list in the output, by client name; none when
// the list did not come within 5 seconds.
std::map<std::string, Row> ClientList(Engine &engine) {
    const std::string mark = "clients connected to server";
    const size_t before = engine.output().size();
    engine.send("sg_clientList\n");
    for (const e2e::Deadline deadline(5); !deadline.passed() && engine.output().find(mark, before) == std::string::npos;)
        ReadFor(engine, 0.1);
    std::map<std::string, Row> rows;
    for (const std::string &line : e2e::Lines(engine.output().substr(before))) {
        // " 0 Mirel             0.0.0.0 PLYR f:0 d:0 t:0 p:0", colour escapes stripped.
        std::string plain;
        for (size_t i = 0; i < line.size(); i++) {
            if (static_cast<unsigned char>(line[i]) == 0xA4) i += 2;
            else plain += line[i];
        }
        char name[64], state[8] = "";
        int number, f, d, t;
        const size_t at = plain.find(" f:");
        if (at == std::string::npos || sscanf(plain.c_str(), "%d %63s", &number, name) != 2) continue;
        if (sscanf(plain.c_str() + at, " f:%d d:%d t:%d", &f, &d, &t) != 3) continue;
        const std::string head = plain.substr(0, at);
        if (head.size() >= 4) snprintf(state, sizeof state, "%s", head.substr(head.size() - 4).c_str());
        rows[name] = {state, f, d, t};
    }
    return rows;
}

size_t Count(const std::string &text, const std::string &needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) n++;
    return n;
}

TEST(Play, TwoBotsPlayCrystalRoundsForAMinuteWithObituariesAndScores) {
    Planet planet;
    // No count-down before the bots may join: the minute of play starts at once.
    Engine engine(planet.dir.path(), planet.Args({"+set", "sg_deathTime", "1", "+set", "sg_solidarity", "0"}));
    ASSERT_TRUE(engine.waitFor("Server is up and running", 60)) << engine.output();
    EXPECT_NE(engine.output().find("Started Crystal Rounds"), std::string::npos);
    engine.send("spawnBot\nspawnBot Zed\n");
    ASSERT_TRUE(engine.waitFor("Mirel joins blue team", 20)) << engine.output();
    ASSERT_TRUE(engine.waitFor("Zed joins blue team", 20)) << engine.output();
    const auto start = std::chrono::steady_clock::now();  // play time counts from joining a team

    // A minute of play; the operator takes a life from each bot in turn now and then.
    const char *const names[2] = {"Mirel", "Zed"};
    int kills[2] = {0, 0};
    for (int round = 0; round < 4; round++) {
        ReadFor(engine, 10);
        const int slot = round % 2;
        const size_t before = engine.output().size();
        engine.send("sg_kill " + std::to_string(slot) + "\n");
        ASSERT_TRUE(engine.waitFor(std::string(names[slot]) + " was killed", 5)) << engine.output().substr(before);
        kills[slot]++;
    }
    // The minute is the server's: play time adds up game frames, which a loaded machine
    // can stall, so it comes when the server's list says so, never before the wall
    // clock's minute.
    std::map<std::string, Row> rows;
    const auto playedAMinute = [&] {
        for (const char *name : names)
            if (!rows.count(name) || rows.at(name).minutes < 1) return false;
        return true;
    };
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(58)) ReadFor(engine, 0.5);
    for (const e2e::Deadline deadline(60); !deadline.passed() && !playedAMinute();) {
        rows = ClientList(engine);
        if (!playedAMinute()) ReadFor(engine, 0.5);
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(playedAMinute()) << "a minute of play for both bots in the server's list, " << wall
                                 << " s after they joined\n" << engine.output();
    EXPECT_GE(wall, 59.0) << "play time never runs ahead of real time";
    ASSERT_EQ(rows.size(), 2u) << engine.output();
    for (int slot = 0; slot < 2; slot++) {
        const Row &row = rows.at(names[slot]);
        EXPECT_EQ(row.state, "PLYR") << names[slot] << " lives again after each death";
        EXPECT_EQ(row.deaths, kills[slot]) << names[slot];
        // The operator's kills credit nobody, and bots, who all join blue and stand
        // firing along their view, never hurt a team mate while friendly fire is off.
        EXPECT_EQ(row.frags, 0) << names[slot];
        EXPECT_EQ(row.minutes, 1) << names[slot] << " played the whole minute";
    }
    EXPECT_EQ(Count(engine.output(), " was killed"), 4u);
    QuitWithoutFaults(engine);
}

TEST(Play, APlayersDirtGunAndGrenadesChangeTheWorldAndItsPages) {
    Planet planet;
    Engine engine(planet.dir.path(), planet.Args());
    ASSERT_TRUE(engine.waitFor("Server is up and running", 60)) << engine.output();
    const int port = e2e::EnginePort(engine);
    ASSERT_GT(port, 0) << engine.output();
    Player player(engine, port, "Digger");
    ASSERT_TRUE(player.joined()) << engine.output();
    ASSERT_TRUE(engine.waitFor("Digger connects to server", 10)) << engine.output();

    // Join the game, then stand still until the world has arrived.
    Input in;
    in.buttons = JOIN_BLUE;
    player.hold(in, 0.5);
    ASSERT_TRUE(engine.waitFor("Digger joins blue team", 5)) << engine.output();
    in.buttons = 0;
    in.angles = LOOK_DOWN;
    bool settled = false;
    for (const e2e::Deadline deadline(60); !settled && !deadline.passed();) {
        const size_t pages = player.pages().size();
        player.hold(in, 1);
        settled = pages > 0 && pages == player.pages().size();
    }
    ASSERT_TRUE(settled) << "the world's pages, until a second brings no new one, within 60 s";
    ASSERT_TRUE(player.hasChecksum());
    ASSERT_GT(player.pages().size(), 0u);

    // Each way of changing the world: the matter checksum moves, and a page comes
    // again under a newer sequence number.
    struct Change {
        const char *what;
        uint8_t weapon;
        uint32_t button;
        std::array<float, 3> look;  // matter built at the feet would bury the player
        double seconds;
    } const changes[] = {
        {"dirt gun build", DIRTGUN, FIRE, LOOK_AHEAD, 1},
        {"grenades", GRENGUN, FIRE, LOOK_AHEAD, 2},
        {"dirt gun dig", DIRTGUN, FIRE2, LOOK_DOWN, 1},
    };
    for (const Change &c : changes) {
        if (c.weapon == GRENGUN) engine.send("give all\n");  // the grenade gun lies about as an item only
        const int32_t checksum = player.checksum();
        const std::map<int, int32_t> pages = player.pages();
        in.weapon = c.weapon;
        in.angles = c.look;
        player.hold(in, 1);  // the switch to the weapon
        player.tap(in, c.button, c.seconds);
        in.buttons = 0;
        player.hold(in, 2);  // grenades burst, the world's pages come
        EXPECT_NE(player.checksum(), checksum) << c.what;
        int renewed = 0;
        for (const auto &[index, sequence] : player.pages()) {
            const auto old = pages.find(index);
            if (old != pages.end() && sequence > old->second) renewed++;
        }
        EXPECT_GT(renewed, 0) << c.what;
        printf("%s: checksum %08x -> %08x, %d pages renewed\n", c.what, static_cast<unsigned>(checksum),
               static_cast<unsigned>(player.checksum()), renewed);
    }
    QuitWithoutFaults(engine);
}

TEST(Play, SixteenBotsPlayForAWhileWithoutFaults) {
    Planet planet;
    Engine engine(planet.dir.path(), planet.Args());
    ASSERT_TRUE(engine.waitFor("Server is up and running", 60)) << engine.output();
    for (int i = 0; i < 16; i++) engine.send("spawnBot Bot" + std::to_string(i) + "\n");
    ASSERT_TRUE(engine.waitFor("Bot15 joins blue team", 30)) << engine.output();
    ReadFor(engine, 25);

    const std::map<std::string, Row> rows = ClientList(engine);
    EXPECT_EQ(rows.size(), 16u) << engine.output();
    for (const auto &[name, row] : rows) EXPECT_EQ(row.state, "PLYR") << name;
    QuitWithoutFaults(engine);
}

}  // namespace
