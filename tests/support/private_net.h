// A network of the test's own: the calling process (and every process it starts
// afterwards) leaves the host's network for a new one that has only the loop-back,
// up, with a route for the limited broadcast address 255.255.255.255 whose source is
// 127.0.0.1 (else a broadcast would leave from 0.0.0.0, an address no answer can
// reach).  A broadcast sent there reaches the sockets of this host and nothing beyond
// it, and fixed ports are free whatever else runs on the machine.
#pragma once

#include <arpa/inet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace hm_test {

// Adds the route 255.255.255.255/32 on the loop-back with the preferred source
// 127.0.0.1; empty on success, else why not.
inline std::string AddBroadcastRoute() {
    const int s = socket(AF_NETLINK, SOCK_RAW, NETLINK_ROUTE);
    if (s < 0) return std::string("netlink socket() failed: ") + strerror(errno);
    struct {
        nlmsghdr header;
        rtmsg route;
        char attributes[64];
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof request.route);
    request.header.nlmsg_type = RTM_NEWROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_CREATE | NLM_F_EXCL | NLM_F_ACK;
    request.route.rtm_family = AF_INET;
    request.route.rtm_dst_len = 32;
    request.route.rtm_table = RT_TABLE_MAIN;
    request.route.rtm_protocol = RTPROT_BOOT;
    request.route.rtm_scope = RT_SCOPE_LINK;
    request.route.rtm_type = RTN_UNICAST;
    const auto add = [&request](unsigned short type, const void *data, unsigned short length) {
        auto *attribute = reinterpret_cast<rtattr *>(reinterpret_cast<char *>(&request) +
                                                     NLMSG_ALIGN(request.header.nlmsg_len));
        attribute->rta_type = type;
        attribute->rta_len = static_cast<unsigned short>(RTA_LENGTH(length));
        memcpy(RTA_DATA(attribute), data, length);
        request.header.nlmsg_len = NLMSG_ALIGN(request.header.nlmsg_len) + RTA_ALIGN(attribute->rta_len);
    };
    const in_addr_t broadcast = htonl(INADDR_BROADCAST), source = htonl(INADDR_LOOPBACK);
    const int device = static_cast<int>(if_nametoindex("lo"));
    add(RTA_DST, &broadcast, sizeof broadcast);
    add(RTA_PREFSRC, &source, sizeof source);
    add(RTA_OIF, &device, sizeof device);
    std::string why;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(s, &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr *>(&kernel), sizeof kernel) < 0) {
        why = std::string("netlink sendto() failed: ") + strerror(errno);
    } else {
        alignas(nlmsghdr) char answer[512];
        const ssize_t n = recv(s, answer, sizeof answer, 0);
        const auto *reply = reinterpret_cast<const nlmsghdr *>(answer);
        if (n < static_cast<ssize_t>(NLMSG_LENGTH(sizeof(nlmsgerr))) || reply->nlmsg_type != NLMSG_ERROR) {
            why = "no answer from the kernel to the new route";
        } else if (const int error = static_cast<const nlmsgerr *>(NLMSG_DATA(reply))->error; error != 0) {
            why = std::string("adding the broadcast route failed: ") + strerror(-error);
        }
    }
    close(s);
    return why;
}

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
    if (why.empty()) why = AddBroadcastRoute();
    close(s);
    return why;
}

}  // namespace hm_test
