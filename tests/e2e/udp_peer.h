// A UDP peer of the end-to-end tests: raw datagrams to the engine's port, as the
// wire has them, and the engine's own port as it reports it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/engine_process.h"
#include "tests/support/udp_peer.h"

namespace e2e {

// The engine's own port, as its ipconfig command prints it once start-up is done.
inline int EnginePort(Engine &engine) {
    if (!engine.waitFor("Base_Init Done")) return 0;
    engine.send("ipconfig\n");
    if (!engine.waitFor("My QPORT:")) return 0;
    const std::string &out = engine.output();
    const size_t at = out.rfind("My PORT:");
    return at == std::string::npos ? 0 : atoi(out.c_str() + at + strlen("My PORT:"));
}

// One datagram as the wire has it: the 16-byte header (little-endian), then the payload.
inline std::vector<uint8_t> Datagram(uint8_t magic, uint8_t flags, int32_t sequence, int32_t bits,
                              const std::string &payload) {
    const uint16_t qport = 777;
    std::vector<uint8_t> d = {magic, static_cast<uint8_t>(qport), static_cast<uint8_t>(qport >> 8), flags};
    for (const int32_t word : {sequence, 0, bits})
        for (int i = 0; i < 4; i++) d.push_back(static_cast<uint8_t>(static_cast<uint32_t>(word) >> (8 * i)));
    d.insert(d.end(), payload.begin(), payload.end());
    return d;
}

inline std::vector<uint8_t> OutOfBand(const std::string &text) {
    return Datagram(0x1E, 0x04, -1, static_cast<int32_t>(8 * (text.size() + 1)), text + std::string(1, '\0'));
}

// The test's UDP socket on the loop-back.  It speaks to the engine at 127.0.0.2
// (the engine binds every interface) and waits at most 100 ms for an answer.
class Peer {
public:
    void send(int port, const std::vector<uint8_t> &d) { peer_.Send("127.0.0.2", port, d); }
    // The text of the next out-of-band datagram, "" when none came in time.
    std::string receiveText() { return peer_.ReceiveText(PEER_WAIT_MSEC); }
    // The next datagram whole, empty when none came within waitMsec.
    std::vector<uint8_t> receive(int waitMsec = PEER_WAIT_MSEC) {
        const std::string d = peer_.Receive(waitMsec);
        return std::vector<uint8_t>(d.begin(), d.end());
    }

private:
    static constexpr int PEER_WAIT_MSEC = 100;
    hm_test::UdpPeer peer_;
};

// Asks for a challenge and connects with it under name; the challenge, which every
// in-band package of the slot carries, or nullopt when the engine did not answer
// within 5 seconds.
inline std::optional<int32_t> Join(Peer &peer, int port, const std::string &name) {
    std::string challenge;
    for (const Deadline deadline(5); !deadline.passed() && challenge.empty();) {
        peer.send(port, OutOfBand("get_challenge"));
        const std::string text = peer.receiveText();
        if (text.rfind("challenge ", 0) == 0) challenge = text.substr(10);
    }
    if (challenge.empty()) return std::nullopt;
    peer.send(port, OutOfBand("connect 110 none \"" + name + "\" -1 " + challenge + " 0 110"));
    return static_cast<int32_t>(atol(challenge.c_str()));
}

// The packages of a connection, joined from their datagrams: in-band datagrams
// carry a sequence, and the two low flag bits say whole, first, middle or last part.
struct Connection {
    std::vector<std::vector<uint8_t>> packages;
    std::vector<uint8_t> partial;
    int32_t lastSequence = 0;

    // True when d completed a package (it is packages.back() then).
    bool take(const std::vector<uint8_t> &d) {
        if (d.size() < 16 || d[0] != 0x1E) return false;
        int32_t sequence;
        memcpy(&sequence, &d[4], 4);
        if (sequence == -1 || sequence <= lastSequence) return false;  // out of band, or stale
        if (sequence != lastSequence + 1) partial.clear();             // a part was lost
        lastSequence = sequence;
        const int kind = d[3] & 3;
        if (kind == 0 || kind == 1) partial.clear();
        partial.insert(partial.end(), d.begin() + 16, d.end());
        if (kind == 0 || kind == 3) {
            packages.push_back(partial);
            partial.clear();
            return true;
        }
        return false;
    }
    bool has(uint8_t type) const {
        for (const auto &p : packages)
            if (!p.empty() && p[0] == type) return true;
        return false;
    }
};

}  // namespace e2e
