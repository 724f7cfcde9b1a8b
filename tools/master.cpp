// hm_master: a stand-in master server for tests and local play.
//
// It speaks the engine's datagram format (out-of-band texts only) and answers:
//   get_master_challenge <instance>       -> master_challenge <instance> <challenge>
//   master_version_check <instance>       -> master_version <instance> <newest release>
//   serverinfo <challenge> ...            heartbeat: lists the sender while its challenge is right
//   server_shutdown <challenge>           removes the sender from the list
//   getservers <challenge> <session> <n>  -> cg_server_list <session> <address> ...
// A challenge belongs to the address it was handed to.  Listed servers that stop
// sending heartbeats are forgotten after MASTER_SERVER_TIMEOUT seconds.
//
// Usage: hm_master [-ip A.B.C.D] [-port N] [-newest N]
// Port 0 lets the system choose; the first line printed names the address bound.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "base/net.h"
#include "base/remote.h"
#include "common/com_msg.h"

namespace {

constexpr int MASTER_MAX_PEERS = 4096;         // challenges and servers remembered
constexpr int MASTER_SERVER_TIMEOUT = 600;     // seconds a listed server lasts without a heartbeat
constexpr int MASTER_LIST_TEXT = NET_MAX_OOB_TEXT;  // one reply datagram's text

struct peer_t {
    netadr_t address;   // ip and port; qport ignored
    uint32_t challenge; // handed out to this address, 0 for none
    bool listed;        // a game server that sent a valid heartbeat
    time_t lastHeard;
};

int sock = -1;
std::vector<peer_t> peers;
volatile sig_atomic_t stop;
int newestRelease = MASTER_LATEST_RELEASE;  // what master_version reports

bool SameAddress(const netadr_t &a, const netadr_t &b) {
    return memcmp(a.ip, b.ip, 4) == 0 && a.port == b.port;
}

peer_t *FindPeer(const netadr_t &a) {
    for (peer_t &p : peers)
        if (SameAddress(p.address, a)) return &p;
    return nullptr;
}

peer_t *AddPeer(const netadr_t &a) {
    if (peer_t *p = FindPeer(a)) return p;
    if (static_cast<int>(peers.size()) >= MASTER_MAX_PEERS) {
        // Forget the longest silent peer that is not a listed server, else the oldest.
        size_t victim = 0;
        for (size_t i = 1; i < peers.size(); i++) {
            const bool better = (!peers[i].listed && peers[victim].listed) ||
                                (peers[i].listed == peers[victim].listed && peers[i].lastHeard < peers[victim].lastHeard);
            if (better) victim = i;
        }
        peers.erase(peers.begin() + static_cast<long>(victim));
    }
    peers.push_back(peer_t{a, 0, false, time(nullptr)});
    return &peers.back();
}

void Send(const netadr_t &to, const char *text) {
    const int len = static_cast<int>(strnlen(text, MASTER_LIST_TEXT));
    byte datagram[NET_MAX_DATAGRAM];
    const netHeader_t header{NET_MAGIC_VERSION, 0, NF_WHOLE, NET_OOB_SEQUENCE, 0, 8 * (len + 1)};
    NET_WriteHeader(datagram, &header);
    memcpy(datagram + NET_HEADER_SIZE, text, static_cast<size_t>(len));
    datagram[NET_HEADER_SIZE + len] = 0;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    memcpy(&sa.sin_addr.s_addr, to.ip, 4);
    sa.sin_port = htons(to.port);
    if (sendto(sock, datagram, static_cast<size_t>(NET_HEADER_SIZE + len + 1), 0, reinterpret_cast<sockaddr *>(&sa),
               sizeof sa) < 0) {
        printf("hm_master: send to %s failed: %s\n", Com_adrstr(&to), strerror(errno));
    }
}

// A challenge nobody can foresee: from the system's random source, as the engine's own.
uint32_t UnpredictableNumber() {
    uint32_t n = 0;
    for (size_t got = 0; got < sizeof n;) {
        const ssize_t r = getrandom(reinterpret_cast<char *>(&n) + got, sizeof n - got, 0);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            fprintf(stderr, "hm_master: no random source: %s\n", strerror(errno));
            exit(1);
        }
        got += static_cast<size_t>(r);
    }
    return n;
}

uint32_t Number(const char *text) { return static_cast<uint32_t>(strtoll(text, nullptr, 10)); }

// The words of the text are in Msg_Argc/Msg_Argv.
void Handle(const netadr_t &from) {
    const std::string word = Msg_Argv(0);
    char reply[MASTER_LIST_TEXT + 1];
    const time_t now = time(nullptr);
    if (word == "get_master_challenge") {
        peer_t *p = AddPeer(from);
        if (!p->challenge) {
            do p->challenge = UnpredictableNumber() & 0x7FFFFFFFu;
            while (!p->challenge);
        }
        p->lastHeard = now;
        snprintf(reply, sizeof reply, "master_challenge %s %u", Msg_Argv(1), p->challenge);
        Send(from, reply);
    } else if (word == "master_version_check") {
        snprintf(reply, sizeof reply, "master_version %s %d", Msg_Argv(1), newestRelease);
        Send(from, reply);
    } else if (word == "serverinfo") {
        peer_t *p = FindPeer(from);
        if (!p || !p->challenge || Number(Msg_Argv(1)) != p->challenge) {
            printf("hm_master: heartbeat from %s without its challenge\n", Com_adrstr(&from));
            return;
        }
        if (!p->listed) printf("hm_master: listing %s\n", Com_adrstr(&from));
        p->listed = true;
        p->lastHeard = now;
    } else if (word == "server_shutdown") {
        // Only the server itself may take itself off the list: anyone can put its
        // address on a datagram, but only it has heard its challenge.
        peer_t *p = FindPeer(from);
        if (!p || !p->challenge || Number(Msg_Argv(1)) != p->challenge) {
            printf("hm_master: shutdown from %s without its challenge\n", Com_adrstr(&from));
            return;
        }
        if (p->listed) {
            p->listed = false;
            printf("hm_master: %s shut down\n", Com_adrstr(&from));
        }
    } else if (word == "getservers") {
        const peer_t *p = FindPeer(from);
        if (!p || !p->challenge || Number(Msg_Argv(1)) != p->challenge) {
            printf("hm_master: server list asked by %s without its challenge\n", Com_adrstr(&from));
            return;
        }
        // As many addresses per datagram as fit; at least one datagram, even empty.
        const std::string head = std::string("cg_server_list ") + Msg_Argv(2);
        std::string text = head;
        bool any = false;
        for (const peer_t &s : peers) {
            if (!s.listed || now - s.lastHeard > MASTER_SERVER_TIMEOUT) continue;
            const std::string address = Com_adrstr(&s.address);
            if (text.size() + 1 + address.size() > static_cast<size_t>(MASTER_LIST_TEXT)) {
                Send(from, text.c_str());
                text = head;
            }
            text += " " + address;
            any = true;
        }
        if (text != head || !any) Send(from, text.c_str());
    } else {
        printf("hm_master: unknown text \"%s\" from %s\n", Msg_Argv(0), Com_adrstr(&from));
    }
}

void OnSignal(int) { stop = 1; }

}  // namespace

int main(int argc, char **argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    const char *ip = "127.0.0.2";
    int port = NET_MASTER_PORT;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "-ip")) {
            ip = argv[i + 1];
        } else if (!strcmp(argv[i], "-port")) {
            port = atoi(argv[i + 1]);
        } else if (!strcmp(argv[i], "-newest")) {
            newestRelease = atoi(argv[i + 1]);
        } else {
            fprintf(stderr, "usage: hm_master [-ip A.B.C.D] [-port N] [-newest N]\n");
            return 1;
        }
    }

    sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    if (sock < 0 || inet_pton(AF_INET, ip, &sa.sin_addr) != 1 ||
        bind(sock, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        fprintf(stderr, "hm_master: cannot listen on %s:%d: %s\n", ip, port, strerror(errno));
        return 1;
    }
    socklen_t len = sizeof sa;
    getsockname(sock, reinterpret_cast<sockaddr *>(&sa), &len);
    printf("hm_master: listening on %s:%d\n", ip, ntohs(sa.sin_port));

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    auto msg = std::make_unique<msg_t>();
    byte datagram[NET_MAX_DATAGRAM + 1];
    while (!stop) {
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t got = recvfrom(sock, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr *>(&from), &fromLen);
        if (got < 0) continue;  // a signal: the loop checks stop
        netadr_t sender{NA_IP, {}, ntohs(from.sin_port), 0};
        memcpy(sender.ip, &from.sin_addr.s_addr, 4);
        netHeader_t header;
        const netParse_t parsed = NET_ReadHeader(datagram, static_cast<int>(got), &header);
        if (parsed != NP_OK || header.sequence != NET_OOB_SEQUENCE) {
            printf("hm_master: dropped a datagram of %d bytes from %s\n", static_cast<int>(got), Com_adrstr(&sender));
            continue;
        }
        Msg_WriteBegin(msg.get());
        Msg_WriteBits(datagram + NET_HEADER_SIZE, header.bits);
        Msg_ReadBegin(msg.get());
        Msg_ReadTokenize();
        Handle(sender);
    }
    close(sock);
    return 0;
}
