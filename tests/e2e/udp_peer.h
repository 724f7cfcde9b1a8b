// A UDP peer of the end-to-end tests: raw datagrams to the engine's port, as the
// wire has them, and the engine's own port as it reports it.
#pragma once

#include <cstdint>
#include <cstring>
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
    std::vector<uint8_t> d(16 + payload.size());
    const uint16_t qport = 777;
    d[0] = magic;
    memcpy(&d[1], &qport, 2);
    d[3] = flags;
    memcpy(&d[4], &sequence, 4);
    memset(&d[8], 0, 4);
    memcpy(&d[12], &bits, 4);
    if (!payload.empty()) memcpy(&d[16], payload.data(), payload.size());
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
    // The next datagram whole, empty when none came in time.
    std::vector<uint8_t> receive() {
        const std::string d = peer_.Receive(PEER_WAIT_MSEC);
        return std::vector<uint8_t>(d.begin(), d.end());
    }

private:
    static constexpr int PEER_WAIT_MSEC = 100;
    hm_test::UdpPeer peer_;
};

}  // namespace e2e
