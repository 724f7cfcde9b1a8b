// The test's own end of a datagram exchange with the engine: a UDP socket bound to a
// loop-back address at a port the system chooses, so that tests never share a port.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace hm_test {

constexpr int PEER_HEADER_SIZE = 16;   // the transport's datagram header before the payload
constexpr uint8_t PEER_MAGIC = 0x1E;   // its first byte
constexpr int PEER_MAX_DATAGRAM = 1500;

class UdpPeer {
public:
    // ip: the loop-back address to bind, "127.0.0.1" or another of 127.0.0.0/8.
    explicit UdpPeer(const char *ip = "127.0.0.1") {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        inet_pton(AF_INET, ip, &a.sin_addr);
        bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a);
        socklen_t n = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &n);
        port_ = ntohs(a.sin_port);
    }
    ~UdpPeer() { close(fd_); }
    UdpPeer(const UdpPeer &) = delete;
    UdpPeer &operator=(const UdpPeer &) = delete;

    uint16_t port() const { return port_; }  // 0 when the socket could not be bound

    // Sends the bytes to ip:port.
    void Send(const char *ip, int port, const void *data, size_t size) const {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, ip, &to.sin_addr);
        sendto(fd_, data, size, 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    }
    void Send(const char *ip, int port, const std::vector<uint8_t> &d) const { Send(ip, port, d.data(), d.size()); }

    // The next datagram's bytes, empty when none comes within waitMsec.
    std::string Receive(int waitMsec = 500) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, waitMsec) != 1) return "";
        char data[PEER_MAX_DATAGRAM];
        const ssize_t n = recv(fd_, data, sizeof data, 0);
        return n > 0 ? std::string(data, static_cast<size_t>(n)) : "";
    }
    // The text of the next out-of-band datagram (its payload up to the first zero),
    // "" when none comes within waitMsec or what came is no such datagram.
    std::string ReceiveText(int waitMsec = 500) {
        const std::string d = Receive(waitMsec);
        if (d.size() <= static_cast<size_t>(PEER_HEADER_SIZE) || static_cast<uint8_t>(d[0]) != PEER_MAGIC) return "";
        return std::string(d.c_str() + PEER_HEADER_SIZE);
    }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

// A UDP port on 127.0.0.1 that nobody holds right now.
inline int FreeUdpPort() { return UdpPeer().port(); }

}  // namespace hm_test
