// A player made of raw packages for the end-to-end tests: it joins a dedicated
// server over UDP, sends its commands as the client does and reads what comes back.
#pragma once

#include <array>
#include <chrono>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/engine_process.h"
#include "tests/e2e/udp_peer.h"

namespace e2e {

// Wire values of the engine and the game that a player's packages use.
constexpr int32_t CLIENT_MAGIC = 0x56FC9A05;
constexpr uint8_t CL_COMMANDS = 1, CL_PAGE_ACK = 3, CL_PAGE_ACK_NEXT = 4;
constexpr size_t ACK_ROOM = 1300;  // bytes of a package, below a datagram's payload
constexpr uint8_t SV_SNAPSHOT = 1, SV_PAGE = 2, SV_PAGE_DELTA = 3, SV_WORLD_INFO = 4;
constexpr uint8_t CC_ANGLES = 0x02 | 0x04 | 0x08, CC_BYTES = 0x10, CC_BUTTONS = 0x80;
constexpr uint32_t FIRE = 0x80, FIRE2 = 0x100, JOIN_BLUE = 0x400;
constexpr uint8_t MINIGUN = 1, GRENGUN = 3, DIRTGUN = 5;
constexpr uint8_t DIRT_BUILD = 0;
constexpr uint8_t CC_TEXT = 0x20;
constexpr uint32_t FORWARD = 0x1, BACK = 0x2, SUICIDE = 0x4000, JOIN_RED = 0x800;
constexpr uint8_t RAILGUN = 4;

// Reads the engine's output for the given seconds.
inline void ReadFor(Engine &engine, double seconds) { engine.waitFor(std::string(1, '\x01'), seconds); }

inline void PutLong(std::string &out, int32_t v) {
    for (int i = 0; i < 4; i++) out.push_back(static_cast<char>(static_cast<uint32_t>(v) >> (8 * i)));
}
inline void PutShort(std::string &out, int16_t v) {
    for (int i = 0; i < 2; i++) out.push_back(static_cast<char>(static_cast<uint16_t>(v) >> (8 * i)));
}
inline int32_t GetLong(const std::vector<uint8_t> &p, size_t at) {
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
    std::string text;                         // the command's text line, "" for none
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

    // From now on each command claims msec more than the one before, whatever the
    // clock says (0: each command carries the real time, as a client's does).
    void claim(uint32_t msec) {
        claim_ = msec;
        claimedTime_ = RealTime();
    }

    // Sends one package with this command and the two before it, then reads what
    // came within waitMsec.
    void command(const Input &in, int waitMsec = 30) {
        const uint32_t time = claim_ ? (claimedTime_ += claim_) : RealTime();
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
            p.push_back(static_cast<char>(CC_ANGLES | CC_BYTES | CC_BUTTONS | (c.text.empty() ? 0 : CC_TEXT)));
            PutLong(p, static_cast<int32_t>(number));
            PutLong(p, static_cast<int32_t>(stamp));
            for (int i = 2; i >= 0; i--) PutShort(p, static_cast<int16_t>(c.angles[i] * 65536.0f / 360.0f));
            p.push_back(static_cast<char>(c.weapon));
            p.push_back(static_cast<char>(c.deformMode));
            PutLong(p, static_cast<int32_t>(c.buttons));
            if (!c.text.empty()) {
                p.push_back(static_cast<char>(c.text.size()));
                p += c.text;
            }
        }
        // Acknowledgements in the order the pages came (a short one names the page after
        // the one before), as many as fit beside the commands in one datagram.
        size_t acked = 0;
        while (acked < acks_.size() && p.size() + acks_[acked].size() < ACK_ROOM) p += acks_[acked++];
        acks_.erase(acks_.begin(), acks_.begin() + static_cast<std::ptrdiff_t>(acked));
        send(p);
        read(waitMsec);
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
    int snapshots() const { return snapshots_; }
    // The server's text commands to this player (cg_print ...), oldest first.
    const std::vector<std::string> &texts() const { return texts_; }
    // Sends a datagram of the player's own connection, numbered in its sequence.
    void send(const std::string &payload) {
        peer_.send(port_, e2e::Datagram(0x1E, 0x04, ++sequence_, static_cast<int32_t>(8 * payload.size()), payload));
    }
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

    uint32_t RealTime() const {
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count());
    }
    // Takes the datagrams that came within waitMsec.
    void read(int waitMsec) {
        for (int i = 0; i < 64; i++) {
            const std::vector<uint8_t> datagram = peer_.receive(i == 0 ? waitMsec : 0);
            if (datagram.empty()) return;
            if (connection_.take(datagram)) parse(connection_.packages.back());
            connection_.packages.clear();
        }
    }
    void parse(const std::vector<uint8_t> &p) {
        if (p.empty()) return;
        if (p[0] >= 'a' && p[0] <= 'z') {  // a text command: its bytes up to the zero
            texts_.emplace_back(reinterpret_cast<const char *>(p.data()), strnlen(reinterpret_cast<const char *>(p.data()), p.size()));
            return;
        }
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
    std::vector<std::string> texts_;
    uint32_t claim_ = 0, claimedTime_ = 0;
    e2e::Connection connection_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace e2e
