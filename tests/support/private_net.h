// A network of the test's own: the calling process (and every process it starts
// afterwards) leaves the host's network for a new one that has only the loop-back,
// up, with a route for the limited broadcast address 255.255.255.255.  A broadcast
// sent there reaches the sockets of this host and nothing beyond it, and fixed ports
// are free whatever else runs on the machine.
#pragma once

#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace hm_test {

// Empty on success, else why the network could not be made (the process may then be
// left in a network without a usable loop-back: skip the test).
inline std::string EnterPrivateNetwork() {
    if (unshare(CLONE_NEWNET) != 0) return std::string("unshare(CLONE_NEWNET) failed: ") + strerror(errno);
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) return std::string("socket() failed: ") + strerror(errno);
    std::string why;
    ifreq loopback{};
    strncpy(loopback.ifr_name, "lo", IFNAMSIZ - 1);
    if (ioctl(s, SIOCGIFFLAGS, &loopback) != 0) {
        why = std::string("reading the loop-back's flags failed: ") + strerror(errno);
    } else {
        loopback.ifr_flags = static_cast<short>(loopback.ifr_flags | IFF_UP);
        if (ioctl(s, SIOCSIFFLAGS, &loopback) != 0) why = std::string("raising the loop-back failed: ") + strerror(errno);
    }
    if (why.empty()) {
        rtentry route{};
        auto *dst = reinterpret_cast<sockaddr_in *>(&route.rt_dst);
        auto *mask = reinterpret_cast<sockaddr_in *>(&route.rt_genmask);
        dst->sin_family = mask->sin_family = AF_INET;
        dst->sin_addr.s_addr = mask->sin_addr.s_addr = htonl(INADDR_BROADCAST);
        route.rt_flags = RTF_UP | RTF_HOST;
        char device[] = "lo";
        route.rt_dev = device;
        if (ioctl(s, SIOCADDRT, &route) != 0)
            why = std::string("adding the broadcast route failed: ") + strerror(errno);
    }
    close(s);
    return why;
}

}  // namespace hm_test
