// A UDP peer of the end-to-end tests: raw datagrams to the engine's port, as the
// wire has them, and the engine's own port as it reports it.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/engine_process.h"

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

// A UDP socket of the test on 127.0.0.1 at a port the system chooses.
class Peer {
public:
    Peer() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr *>(&sa), sizeof sa);
        timeval tv{0, 100000};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    ~Peer() { close(fd_); }
    void send(int port, const std::vector<uint8_t> &d) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, "127.0.0.2", &to.sin_addr);
        sendto(fd_, d.data(), d.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    }
    // The text of the next out-of-band datagram, "" when none came in time.
    std::string receiveText() {
        uint8_t buf[1500];
        const ssize_t n = recv(fd_, buf, sizeof buf, 0);
        if (n <= 16 || buf[0] != 0x1E) return "";
        return std::string(reinterpret_cast<const char *>(buf + 16), strnlen(reinterpret_cast<const char *>(buf + 16), n - 16));
    }

    // The next datagram whole, empty when none came in time.
    std::vector<uint8_t> receive() {
        uint8_t buf[1500];
        const ssize_t n = recv(fd_, buf, sizeof buf, 0);
        return n > 0 ? std::vector<uint8_t>(buf, buf + n) : std::vector<uint8_t>();
    }

private:
    int fd_ = -1;
};

}  // namespace e2e
