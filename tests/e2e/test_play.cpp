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

namespace {

using e2e::Engine;
using e2e::TempDir;

// Wire values of the engine and the game that a player's packages use.
constexpr int32_t CLIENT_MAGIC = 0x56FC9A05;
constexpr uint8_t CL_COMMANDS = 1, CL_PAGE_ACK = 3, CL_PAGE_ACK_NEXT = 4;
constexpr size_t ACK_ROOM = 1300;  // bytes of a package, below a datagram's payload
constexpr uint8_t SV_SNAPSHOT = 1, SV_PAGE = 2, SV_PAGE_DELTA = 3, SV_WORLD_INFO = 4;
constexpr uint8_t CC_ANGLES = 0x02 | 0x04 | 0x08, CC_BYTES = 0x10, CC_BUTTONS = 0x80;
constexpr uint32_t FIRE = 0x80, FIRE2 = 0x100, JOIN_BLUE = 0x400;
constexpr uint8_t MINIGUN = 1, GRENGUN = 3, DIRTGUN = 5;
constexpr uint8_t DIRT_BUILD = 0;
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

// Reads the engine's output for the given seconds.
void ReadFor(Engine &engine, double seconds) { engine.waitFor(std::string(1, '\x01'), seconds); }

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

// ---- a player on the wire ----

void PutLong(std::string &out, int32_t v) {
    for (int i = 0; i < 4; i++) out.push_back(static_cast<char>(static_cast<uint32_t>(v) >> (8 * i)));
}
void PutShort(std::string &out, int16_t v) {
    for (int i = 0; i < 2; i++) out.push_back(static_cast<char>(static_cast<uint16_t>(v) >> (8 * i)));
}
int32_t GetLong(const std::vector<uint8_t> &p, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; i++) v |= static_cast<uint32_t>(p[at + i]) << (8 * i);
    return static_cast<int32_t>(v);
}

// What a player holds and presses in one command.
struct Input {
    uint8_t weapon = MINIGUN;
    uint8_t deformMode = DIRT_BUILD;
    uint32_t buttons = 0;
    std::array<float, 3> angles = {0, 0, 0};  // the view angles, degrees
};

// A client made of raw packages: it joins, sends its commands like the client does,
// acknowledges snapshots, world info and pages, and keeps what the server said of
// the world: the matter checksum of the newest snapshot and each page's sequence.
class Player {
public:
    // engine: whose output is read on while the player plays, so that it never waits on a full pipe.
    Player(Engine &engine, int port, const std::string &name) : engine_(engine), port_(port) {
        const std::optional<int32_t> challenge = e2e::Join(peer_, port, name);
        joined_ = challenge.has_value();
        challenge_ = challenge.value_or(0);
    }
    bool joined() const { return joined_; }

    // Sends one package with this command and the two before it, then reads what came.
    void command(const Input &in) {
        const uint32_t time = static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count());
        std::string p;
        PutLong(p, CLIENT_MAGIC);
        PutLong(p, challenge_);
        p.push_back(static_cast<char>(CL_COMMANDS));
        PutLong(p, snapshot_);
        PutLong(p, worldInfo_);
        p.push_back(0);  // the world is complete
        recent_[0] = recent_[1];
        recent_[1] = recent_[2];
        recent_[2] = {++number_, time, in};
        for (const auto &[number, stamp, c] : recent_) {
            p.push_back(static_cast<char>(CC_ANGLES | CC_BYTES | CC_BUTTONS));
            PutLong(p, static_cast<int32_t>(number));
            PutLong(p, static_cast<int32_t>(stamp));
            for (int i = 2; i >= 0; i--) PutShort(p, static_cast<int16_t>(c.angles[i] * 65536.0f / 360.0f));
            p.push_back(static_cast<char>(c.weapon));
            p.push_back(static_cast<char>(c.deformMode));
            PutLong(p, static_cast<int32_t>(c.buttons));
        }
        // Acknowledgements in the order the pages came (a short one names the page after
        // the one before), as many as fit beside the commands in one datagram.
        size_t acked = 0;
        while (acked < acks_.size() && p.size() + acks_[acked].size() < ACK_ROOM) p += acks_[acked++];
        acks_.erase(acks_.begin(), acks_.begin() + static_cast<std::ptrdiff_t>(acked));
        send(p);
        read();
        ReadFor(engine_, 0.001);
    }
    // Sends the same command again and again (about every 30 ms) for the given seconds.
    void hold(const Input &in, double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) command(in);
    }
    // Presses fire (or fire2) and lets go in turn, for weapons that fire once per press.
    void tap(Input in, uint32_t button, double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        for (int i = 0; std::chrono::steady_clock::now() < end; i++) {
            in.buttons = (i / 3) % 2 ? button : 0;
            command(in);
        }
    }

    bool hasChecksum() const { return snapshots_ > 0; }
    int32_t checksum() const { return checksum_; }
    // Each page's newest sequence number, by its grid index.
    const std::map<int, int32_t> &pages() const { return pages_; }

private:
    struct pageRecord_t {
        int x, y, z;
        int32_t sequence;
    };
    struct sent_t {
        uint32_t number, time;
        Input input;
    };

    void send(const std::string &payload) {
        peer_.send(port_, e2e::Datagram(0x1E, 0x04, ++sequence_, static_cast<int32_t>(8 * payload.size()), payload));
    }
    // Takes the datagrams that came within 30 ms.
    void read() {
        for (int i = 0; i < 64; i++) {
            const std::vector<uint8_t> datagram = peer_.receive(i == 0 ? 30 : 0);
            if (datagram.empty()) return;
            if (connection_.take(datagram)) parse(connection_.packages.back());
            connection_.packages.clear();
        }
    }
    void parse(const std::vector<uint8_t> &p) {
        if (p.empty()) return;
        if (p[0] == SV_WORLD_INFO && p.size() >= 9) worldInfo_ = GetLong(p, 5);
        if (p[0] == SV_SNAPSHOT && p.size() >= 21) {
            // Type, number, base, executed, server time, then the game data's word mask and words.
            const int32_t number = GetLong(p, 1);
            const uint32_t mask = static_cast<uint32_t>(GetLong(p, 17));
            const size_t at = 21 + 4 * static_cast<size_t>(__builtin_popcount(mask));
            if (p.size() < at + 4 || number < snapshot_) return;
            snapshot_ = number;
            checksum_ = GetLong(p, at);
            snapshots_++;
        }
        if (p[0] == SV_PAGE || p[0] == SV_PAGE_DELTA) {
            pageRecord_t last = {-1, 0, 0, 0};
            for (size_t at = 0; at < p.size();) {
                std::string ack;
                if (p[at] == SV_PAGE_DELTA && last.x >= 0) {
                    last.x++;
                    at++;
                    ack = std::string(1, static_cast<char>(CL_PAGE_ACK_NEXT));
                } else if (p[at] == SV_PAGE && at + 20 <= p.size()) {
                    // Type, cell, sequence, world id, the sizes of the two streams, the streams.
                    last = {p[at + 1], p[at + 2], p[at + 3], GetLong(p, at + 4)};
                    const int32_t a = GetLong(p, at + 12), b = GetLong(p, at + 16);
                    at += 20 + (a > 0 && b > 0 ? static_cast<size_t>(a + b) : 0);
                    ack = {static_cast<char>(CL_PAGE_ACK), static_cast<char>(last.x), static_cast<char>(last.y),
                           static_cast<char>(last.z)};
                    PutLong(ack, last.sequence);
                } else {
                    return;  // not a page record: the rest cannot be read
                }
                const int index = (last.z * 32 + last.y) * 32 + last.x;
                int32_t &newest = pages_.try_emplace(index, -1).first->second;
                if (last.sequence > newest) newest = last.sequence;
                acks_.push_back(ack);
            }
        }
    }

    Engine &engine_;
    int port_;
    e2e::Peer peer_;
    int32_t challenge_ = 0;
    bool joined_ = false;
    int32_t sequence_ = 0;
    uint32_t number_ = 0;
    sent_t recent_[3] = {};
    int32_t snapshot_ = -1, worldInfo_ = 0, checksum_ = 0;
    int snapshots_ = 0;
    std::map<int, int32_t> pages_;
    std::vector<std::string> acks_;  // coded, oldest first
    e2e::Connection connection_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

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
