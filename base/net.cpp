// The UDP socket and the datagram transport over it: pipes, out-of-band texts,
// the loop-back and received rings, statistics and the console commands.
#include "base/net.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "base/compress.h"
#include "base/files.h"
#include "base/sys.h"
#include "common/com_noise.h"
#include "common/com_string.h"

// ================================================================
// Socket layer
// ================================================================

static int qsocket = -1;
static netConf_t netConf;

static const char *SysErrorText() { return strerror(errno); }

static void CloseSocket() {
    if (qsocket >= 0) close(qsocket);
    qsocket = -1;
    memset(&netConf, 0, sizeof netConf);
}

netConf_t Sys_InitNet(int port) {
    CloseSocket();
    Com_Printf("Sys_InitNet: Initialize Network...");
    qsocket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (qsocket < 0) {
        Com_Error(ER_FATAL, "Sys_InitNet: socket() failed. %s", SysErrorText());
        return netConf;
    }
    int on = 1;
    if (ioctl(qsocket, FIONBIO, &on) < 0) {
        Com_Error(ER_FATAL, "Sys_InitNet: ioctlsocket() failed. %s", SysErrorText());
        CloseSocket();
        return netConf;
    }
    if (setsockopt(qsocket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) < 0) {
        Com_Error(ER_FATAL, "Sys_InitNet: setsockopt() failed. %s", SysErrorText());
        CloseSocket();
        return netConf;
    }
    char hostName[256];
    if (gethostname(hostName, sizeof hostName) < 0) {
        Com_Error(ER_FATAL, "Sys_InitNet: gethostname() failed. %s", SysErrorText());
        CloseSocket();
        return netConf;
    }
    hostName[sizeof hostName - 1] = 0;
    Com_Printf("My computer name: %s", hostName);

    netadr_t bound{NA_IP, {0, 0, 0, 0}, 0, 0};
    bool ok = false;
    for (int i = 0; i < NET_PORT_TRIES && !ok; i++) {
        if (port + i < 0 || port + i > 65535) continue;  // never a wrapped-around port
        bound.port = static_cast<uint16_t>(port + i);
        sockaddr_in sa;
        addr2sockaddr(&sa, &bound);
        if (bind(qsocket, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) == 0) {
            // Port 0 lets the system choose: report the port it chose.
            sockaddr_in got{};
            socklen_t len = sizeof got;
            if (getsockname(qsocket, reinterpret_cast<sockaddr *>(&got), &len) == 0) {
                bound.port = ntohs(got.sin_port);
            }
            Com_Printf("Sys_InitNet: bind() %s successful", Com_adrstr(&bound));
            ok = true;
        } else {
            Com_Printf("Sys_InitNet: bind() %s failed", Com_adrstr(&bound));
        }
    }
    if (!ok) {
        Com_Error(ER_FATAL, "Sys_InitNet: bind() failed. Error %s", SysErrorText());
        CloseSocket();
        NET_Shutdown();
        return netConf;
    }
    Com_Printf("My LAN Port: %d", bound.port);
    netConf.address = bound;
    netConf.initialised = 1;
    Com_Printf("Sys_InitNet: Initialized network successful");
    return netConf;
}

void Sys_ShutdownNet() {
    if (netConf.initialised) CloseSocket();
}

// Hands one datagram to the system; reports a failure only when asked, so the
// print path can send without raising an error from inside an error.
static int SendDatagram(const netadr_t *address, const void *data, int length, bool report) {
    if (!netConf.initialised) return 0;
    sockaddr_in sa;
    addr2sockaddr(&sa, address);
    const ssize_t sent = sendto(qsocket, data, static_cast<size_t>(length), 0,
                                reinterpret_cast<const sockaddr *>(&sa), sizeof sa);
    if (sent < 0) {
        if (report) {
            Com_Error(ER_ERROR, "Sys_SendNetData: Fail sending to %s. Size of data: %d bytes. %s",
                      Com_adrstr(address), length, SysErrorText());
        }
        return 0;
    }
    if (sent != length) {
        if (report) {
            Com_Error(ER_ERROR, "Sys_SendNetData: %d bytes was send (%d was expected)",
                      static_cast<int>(sent), length);
        }
        return 0;
    }
    return 1;
}

int Sys_SendNetData(const netadr_t *address, const void *data, int length) {
    return SendDatagram(address, data, length, true);
}

int Sys_GetNetData(netadr_t *sender, int maxLength, void *buffer) {
    if (!netConf.initialised || maxLength < 1) return 0;
    // An empty datagram would read as "nothing waiting" and stop the caller's
    // reading for this pass, so a stream of them could hold back every real
    // datagram behind them: they are read past, as many as the received ring holds.
    for (int empty = 0; empty < NET_RECEIVE_SLOTS; empty++) {
        // poll rather than select: select cannot watch a descriptor above FD_SETSIZE.
        pollfd readable{qsocket, POLLIN, 0};
        if (poll(&readable, 1, 0) < 1 || !(readable.revents & POLLIN)) return 0;
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t got = recvfrom(qsocket, buffer, static_cast<size_t>(maxLength), 0,
                                     reinterpret_cast<sockaddr *>(&from), &fromLen);
        if (got < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK) Com_Error(ER_ERROR, "Sys_GetNetData: %s", SysErrorText());
            return 0;
        }
        if (got == 0) continue;
        sockaddr2addr(sender, &from);
        return static_cast<int>(got);
    }
    return 0;
}

static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "name[:port]": the longest run of letters, digits and dots is the name; a port
// follows a colon right after it.
static int LookupName(netadr_t *address, const char *text) {
    char name[1024];
    int n = 0;
    while (n < static_cast<int>(sizeof name) - 1 && (IsLetter(text[n]) || IsDigit(text[n]) || text[n] == '.')) {
        name[n] = text[n];
        n++;
    }
    name[n] = 0;
    if (strcmp(name, "local") == 0) {
        address->type = NA_LOCAL;
        return 1;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) return 0;
    memcpy(address->ip, &reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr.s_addr, 4);
    freeaddrinfo(found);
    const char *p = text + n;
    if (*p == ':') {
        p++;
        uint32_t port = 0;
        for (int digits = 0; IsDigit(*p) && digits < 1023; p++, digits++) {
            port = port * 10 + static_cast<uint32_t>(*p - '0');
            if (port > 65535) return 0;
        }
        address->port = static_cast<uint16_t>(port);
    }
    address->type = NA_IP;
    return 1;
}

// "a.b.c.d[:port]" with exactly three dots; an empty part counts 0, the port is
// taken modulo 65,536.
static int LookupDotted(netadr_t *address, const char *text) {
    uint32_t parts[4] = {0, 0, 0, 0};
    int part = 0, digits = 0;
    bool hasPort = false;
    uint32_t port = 0;
    for (const char *p = text; *p; p++) {
        if (*p == '.') {
            if (hasPort || ++part > 3) return 0;
            digits = 0;
        } else if (*p == ':') {
            if (hasPort || part < 3) return 0;
            hasPort = true;
            digits = 0;
        } else if (IsDigit(*p)) {
            digits++;
            if (hasPort) {
                if (digits > 6) return 0;
                port = port * 10 + static_cast<uint32_t>(*p - '0');
            } else {
                if (digits > 4) return 0;
                parts[part] = parts[part] * 10 + static_cast<uint32_t>(*p - '0');
            }
        } else {
            return 0;
        }
    }
    if (part < 3) return 0;
    for (int i = 0; i < 4; i++) {
        if (parts[i] > 255) return 0;
        address->ip[i] = static_cast<uint8_t>(parts[i]);
    }
    if (hasPort) address->port = static_cast<uint16_t>(port % 65536);
    if (parts[0] == 127 && parts[1] == 0 && parts[2] == 0 && parts[3] == 1) {
        memset(address, 0, sizeof *address);
        address->type = NA_LOCAL;
        return 1;
    }
    address->type = NA_IP;
    return 1;
}

int Sys_LookupDNS(netadr_t *address, const char *text) {
    memset(address, 0, sizeof *address);
    address->port = NET_DEFAULT_PORT;
    if (!text) return 0;
    while (*text == ' ') text++;
    const int ok = IsLetter(*text) ? LookupName(address, text) : LookupDotted(address, text);
    if (!ok) memset(address, 0, sizeof *address);
    return ok;
}

// ================================================================
// Transport
// ================================================================

qnet_t qnet;

static cmdVar_t net_port;
static cmdVar_t net_fakedrop;
static cmdVar_t net_countloop;
static cmdVar_t net_distribution;

static huffTree_t net_hufftree;

struct loopSlot_t {
    int32_t length;
    byte data[NET_MAX_DATAGRAM];
};
struct loopRing_t {
    loopSlot_t slots[NET_LOOP_SLOTS];
    uint32_t head, tail;  // counters; slot = counter mod NET_LOOP_SLOTS
};
static loopRing_t loopRings[2];  // indexed by the sending pipe's side

struct receivedSlot_t {
    netadr_t sender;
    int32_t length;
    byte data[NET_MAX_DATAGRAM];
};
static receivedSlot_t receivedRing[NET_RECEIVE_SLOTS];
static uint32_t receivedHead, receivedTail;

// Payload of the last out-of-band package handed out.
static byte outOfBand_data[NET_MAX_DATAGRAM];

static netPipeFinder_t findClientSidePipe;  // the server's slots
static netPipeFinder_t findServerSidePipe;  // the client's connection

static uint32_t Now() { return Base_Time(); }

// The sender of everything that travels through the loop-back rings.
static netadr_t LoopAddress() {
    netadr_t a = qnet.localAddress;
    a.type = NA_LOCAL;
    return a;
}

// Traffic between this process and itself stays out of the statistics unless
// net_countloop asks for it.
static bool Counted(const netadr_t *peer) {
    return net_countloop.integer != 0 || (peer->type != NA_LOCAL && !Com_adrcmp(peer, &qnet.localAddress));
}

static void AddStats(netStats_t *s, int64_t packets, int64_t bytes, bool up) {
    if (up) {
        s->packetsUp += packets;
        s->bytesUp += bytes;
    } else {
        s->packetsDown += packets;
        s->bytesDown += bytes;
    }
}

// ---- sending ----

static int SendNetData(int side, const netadr_t *address, const byte *datagram, int length, bool report) {
    // The generator's largest value is exactly 1: a share of 1 or more drops all.
    if (net_fakedrop.value >= 1.0f || (net_fakedrop.value > 0.0f && Com_frand() < net_fakedrop.value)) return 1;
    if (net_distribution.integer) {
        for (int i = 0; i < length; i++) qnet.distribution[datagram[i]]++;
    }
    if (side == NS_CLIENT && Counted(address)) {
        AddStats(&qnet.window, 1, length, true);
        AddStats(&qnet.total, 1, length, true);
    }
    switch (address->type) {
    case NA_LOCAL: {
        loopRing_t *ring = &loopRings[side == NS_CLIENT];
        if (ring->head - ring->tail >= NET_LOOP_SLOTS) {
            if (report) Com_Error(ER_WARNING, "Net_SendLoopData: overflow");
            ring->tail++;
        }
        loopSlot_t *slot = &ring->slots[ring->head++ % NET_LOOP_SLOTS];
        slot->length = length;
        memcpy(slot->data, datagram, static_cast<size_t>(length));
        return 1;
    }
    case NA_IP:
    case NA_IP_ALT:
        return SendDatagram(address, datagram, length, report);
    default:
        if (report) Com_Error(ER_WARNING, "NET_SendNetData: Bad address");
        return 0;
    }
}

static uint8_t SideFlag(int side) { return side == NS_CLIENT ? NET_FLAG_CLIENT : 0; }

int NET_SendPackage(netPipe_t *pipe, const msg_t *msg) {
    if (msg->overflowed) {
        Com_Error(ER_DEVWARNING, "NET_SendPackage: package overflow");
        return 0;
    }
    if (msg->curBits > MAX_MSGBITS || msg->curBits < 0) {
        Com_Error(ER_FATAL, "NET_SendPackage: Try to send %d bytes of data (max: %d) data will be dropped",
                  (msg->curBits + 7) / 8, MAX_MSGLEN);
        return 0;
    }
    byte datagram[NET_MAX_DATAGRAM];
    int sent = 1;
    for (int offset = 0; offset < msg->curBits;) {
        const int left = msg->curBits - offset;
        const int chunk = left < NET_FRAGMENT_BITS ? left : NET_FRAGMENT_BITS;
        uint8_t kind;
        if (offset == 0) {
            kind = chunk == msg->curBits ? NF_WHOLE : NF_FIRST;
        } else {
            kind = offset + chunk >= msg->curBits ? NF_LAST : NF_MIDDLE;
        }
        const netHeader_t header{NET_MAGIC_VERSION, qnet.myQport,
                                 static_cast<uint8_t>(kind | SideFlag(pipe->side)),
                                 pipe->outgoingSequence, pipe->incomingSequence, chunk};
        NET_WriteHeader(datagram, &header);
        const int bytes = (chunk + 7) / 8;
        memcpy(datagram + NET_HEADER_SIZE, msg->data + offset / 8, static_cast<size_t>(bytes));
        sent &= SendNetData(pipe->side, &pipe->remote, datagram, NET_HEADER_SIZE + bytes, true);
        pipe->outgoingSequence++;
        offset += chunk;
    }
    return sent;
}

// One out-of-band datagram of bits payload bits.
static int SendOutOfBand(int side, const netadr_t *address, const byte *payload, int bits, bool report) {
    if (bits > NET_MAX_OOB_BITS) {
        if (report) {
            Com_Error(ER_FATAL,
                      "NET_SendOutOfBandPackage: Try to send %d bytes of data (max: %d) data will be dropped",
                      (bits + 7) / 8, NET_MAX_DATAGRAM);
        }
        return 0;
    }
    // Between 11,073 and 11,200 bits the datagram would outgrow every receiving
    // buffer: such a package is refused rather than cut.
    if (bits > NET_FRAGMENT_BITS || bits < 0) {
        if (report) {
            Com_Error(ER_WARNING, "NET_SendOutOfBandPackage: %d bits do not fit one datagram (max: %d)", bits,
                      NET_FRAGMENT_BITS);
        }
        return 0;
    }
    static const uint8_t zero[4] = {0, 0, 0, 0};
    if (address->type == NA_IP && memcmp(address->ip, zero, 4) == 0) {
        if (report) Com_Error(ER_WARNING, "NET_SendOutOfBandPackage: Try to send data to 0.0.0.0");
        return 0;
    }
    byte datagram[NET_MAX_DATAGRAM];
    const netHeader_t header{NET_MAGIC_VERSION, qnet.myQport, static_cast<uint8_t>(NF_WHOLE | SideFlag(side)),
                             NET_OOB_SEQUENCE, 0, bits};
    NET_WriteHeader(datagram, &header);
    const int bytes = (bits + 7) / 8;
    memcpy(datagram + NET_HEADER_SIZE, payload, static_cast<size_t>(bytes));
    return SendNetData(side, address, datagram, NET_HEADER_SIZE + bytes, report);
}

int NET_SendOutOfBandPackage(int side, const netPackage_t *package) {
    if (package->msg.overflowed) {
        Com_Error(ER_DEVWARNING, "NET_SendOutOfBandPackage: package overflow");
        return 0;
    }
    return SendOutOfBand(side, &package->address, package->msg.data, package->msg.curBits, true);
}

int NET_SendOutOfBandPrintf(int side, const netadr_t *address, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int sent = NET_SendOutOfBandVPrintf(side, address, fmt, ap);
    va_end(ap);
    return sent;
}

int NET_SendOutOfBandVPrintf(int side, const netadr_t *address, const char *fmt, va_list ap) {
    char text[NET_MAX_OOB_TEXT + 1];
    const int n = vsnprintf(text, sizeof text, fmt, ap);
    if (n < 0) return 0;
    const int len = n < NET_MAX_OOB_TEXT ? n : NET_MAX_OOB_TEXT;
    text[len] = 0;
    return SendOutOfBand(side, address, reinterpret_cast<const byte *>(text), 8 * (len + 1), true);
}

int NET_SendOutOfBandQuiet(int side, const netadr_t *address, const char *text) {
    const size_t len = strnlen(text, NET_MAX_OOB_TEXT);
    char copy[NET_MAX_OOB_TEXT + 1];
    memcpy(copy, text, len);
    copy[len] = 0;
    return SendOutOfBand(side, address, reinterpret_cast<const byte *>(copy), 8 * static_cast<int>(len + 1), false);
}

// ---- receiving ----

int NET_ParseRawData(netadr_t *sender, const byte *datagram, int length, const byte **payload,
                     int32_t *sequence) {
    netHeader_t header;
    switch (NET_ReadHeader(datagram, length, &header)) {
    case NP_OK: break;
    case NP_UNDERSIZED:
        Com_Error(ER_DEVWARNING, "NET_ParseRawData: Undersized package (%d) from %s", length, Com_adrstr(sender));
        return 0;
    case NP_OVERSIZED:
        Com_Error(ER_DEVWARNING, "NET_ParseRawData: Oversized package (%d) from %s", length, Com_adrstr(sender));
        return 0;
    case NP_BAD_MAGIC:
        Com_Error(ER_DEVWARNING, "NET_ParseRawData: Bad net magic from %s", Com_adrstr(sender));
        return 0;
    case NP_BAD_VERSION:
        Com_Error(ER_DEVWARNING, "NET_ParseRawData: Bad net version from %s", Com_adrstr(sender));
        return 0;
    default:
        Com_Error(ER_DEVWARNING, "NET_ParseRawData: Bad size in head from %s", Com_adrstr(sender));
        return 0;
    }
    sender->qport = header.qport;
    if (!(header.flags & NET_FLAG_CLIENT) && Counted(sender)) {
        AddStats(&qnet.window, 1, length, false);
        AddStats(&qnet.total, 1, length, false);
    }
    const byte *body = datagram + NET_HEADER_SIZE;
    if (sequence) *sequence = header.sequence;
    if (header.sequence == NET_OOB_SEQUENCE) {
        memcpy(outOfBand_data, body, static_cast<size_t>(length - NET_HEADER_SIZE));
        *payload = outOfBand_data;
        return header.bits;
    }

    const netPipeFinder_t find = (header.flags & NET_FLAG_CLIENT) ? findClientSidePipe : findServerSidePipe;
    netPipe_t *pipe = find ? find(sender) : nullptr;
    if (!pipe) {
        Com_DPrintf("NET_ParseRawData: %s sends us band data but he is not connected!", Com_adrstr(sender));
        return 0;
    }
    pipe->lastReceiveTime = static_cast<int32_t>(Now());
    const int32_t incoming = pipe->incomingSequence;
    int ready = 0;
    uint32_t lost = 0;
    const netParse_t result = NET_JoinDatagram(pipe, &header, body, &ready, &lost);
    qnet.window.packetsLost += lost;
    qnet.total.packetsLost += lost;
    switch (result) {
    case NP_OK: break;
    case NP_STALE:
        Com_Error(ER_DEVWARNING, "NET_ParseRawData: packSequence (%d) <= incomingSequence (%d) from %s",
                  header.sequence, incoming, Com_adrstr(sender));
        return 0;
    case NP_OVERFRAGMENTED:
        Com_Error(ER_ERROR, "NET_ParseRawData: Over fragmented data from %s dropping data", Com_adrstr(sender));
        return 0;
    case NP_BAD_FRAGMENT:
        Com_Error(ER_DEVWARNING, "NET_ParseRawData: Bad fragment size (%d bits) from %s", header.bits,
                  Com_adrstr(sender));
        return 0;
    default:  // a middle or last part whose first never came: the package is lost
        return 0;
    }
    if (ready > 0) *payload = pipe->buffer;
    return ready;
}

static void FillPackage(netPackage_t *package, const netadr_t *sender, const byte *payload, int bits,
                        int32_t sequence) {
    package->address = *sender;
    package->sequence = sequence;
    memcpy(package->msg.data, payload, static_cast<size_t>((bits + 7) / 8));
    package->msg.curBits = bits;
    package->msg.readBits = 0;
    package->msg.overflowed = 0;
}

int NET_GetPackage(int ringSide, netPackage_t *package) {
    loopRing_t *ring = &loopRings[ringSide == NS_CLIENT];
    int walked = 0;
    while (ring->head != ring->tail) {
        const loopSlot_t *slot = &ring->slots[ring->tail++ % NET_LOOP_SLOTS];
        if (slot->length < 1) break;
        netadr_t sender = LoopAddress();
        const byte *payload = nullptr;
        int32_t sequence = NET_OOB_SEQUENCE;
        const int bits = NET_ParseRawData(&sender, slot->data, slot->length, &payload, &sequence);
        if (bits > 0) {
            FillPackage(package, &sender, payload, bits, sequence);
            return 1;
        }
        if (++walked > NET_GET_GUARD) Com_Error(ER_FATAL, "NET_GetNetPackage: loop > 1000 (1)");
    }
    walked = 0;
    static byte datagram[NET_MAX_DATAGRAM];
    for (;;) {
        netadr_t sender;
        const int length = NET_DequeueFragment(&sender, datagram);
        if (length < 1) return 0;
        const byte *payload = nullptr;
        int32_t sequence = NET_OOB_SEQUENCE;
        const int bits = NET_ParseRawData(&sender, datagram, length, &payload, &sequence);
        if (bits > 0) {
            FillPackage(package, &sender, payload, bits, sequence);
            return 1;
        }
        if (++walked > NET_GET_GUARD) Com_Error(ER_FATAL, "NET_GetNetPackage: loop > 1000 (2)");
    }
}

void NET_EnqueueFragment(const netadr_t *sender, const byte *data, int length) {
    if (length < 0 || length > NET_MAX_DATAGRAM) {
        Com_Error(ER_DEVWARNING, "NET_EnqueueFragment: Bad datagram length (%d) from %s", length, Com_adrstr(sender));
        return;
    }
    if (receivedHead - receivedTail >= NET_RECEIVE_SLOTS) {
        Com_Error(ER_WARNING, "Net_EnqueueReadyPackage: Net queue overflow");
        receivedTail++;
    }
    receivedSlot_t *slot = &receivedRing[receivedHead++ % NET_RECEIVE_SLOTS];
    slot->sender = *sender;
    slot->length = length;
    memcpy(slot->data, data, static_cast<size_t>(length));
}

int NET_DequeueFragment(netadr_t *sender, byte buffer[NET_MAX_DATAGRAM]) {
    if (receivedHead == receivedTail) return 0;
    const receivedSlot_t *slot = &receivedRing[receivedTail++ % NET_RECEIVE_SLOTS];
    *sender = slot->sender;
    memcpy(buffer, slot->data, static_cast<size_t>(slot->length));
    return slot->length;
}

// ---- pipes ----

void NET_SetPipeFinders(netPipeFinder_t clientSidePipes, netPipeFinder_t serverSidePipes) {
    findClientSidePipe = clientSidePipes;
    findServerSidePipe = serverSidePipes;
}

void NET_SetPipeFinder(int senderSide, netPipeFinder_t find) {
    if (senderSide == NS_CLIENT) findClientSidePipe = find;
    else findServerSidePipe = find;
}

void NET_SetupPipe(netPipe_t *pipe, int side, const netadr_t *remote) {
    memset(pipe, 0, sizeof *pipe);
    pipe->remote = *remote;
    pipe->side = side;
    pipe->lastReceiveTime = static_cast<int32_t>(Now());
    pipe->incomingSequence = -1;
    pipe->joinedSequence = -1;
}

void NET_ShutdownPipe(netPipe_t *pipe) { memset(pipe, 0, sizeof *pipe); }

void NET_AcceptPackage(netPipe_t *pipe, const netPackage_t *package) {
    if (package->sequence > pipe->incomingSequence) pipe->incomingSequence = package->sequence;
}

void NET_UpdatePipeStatistics() {}
void Net_PrintPipe() {}

// ---- life cycle ----

static void ClearState() {
    memset(&qnet, 0, sizeof qnet);
    memset(loopRings, 0, sizeof loopRings);
    receivedHead = receivedTail = 0;
}

static void NET_IpConfig_f() {
    const uint8_t *ip = qnet.localAddress.ip;
    Com_Printf("    My IP:    \xA4" "08%d.%d.%d.%d\xA4" "00", ip[0], ip[1], ip[2], ip[3]);
    Com_Printf("    My PORT:  \xA4" "08%d\xA4" "00", qnet.localAddress.port);
    Com_Printf("    My QPORT: \xA4" "08%d\xA4" "00", qnet.myQport);
}

static void NET_Stats_f() {
    const netStats_t &s = qnet.perSecond;
    const netStats_t &t = qnet.total;
    Com_Printf("Per Second - DOWN: \xA4" "08%" PRId64 "\xA4" "00pks @ \xA4" "08%.1f\xA4" "00KB UP: \xA4" "08%" PRId64
               "\xA4" "00pks @ \xA4" "08%.1f\xA4" "00KB",
               s.packetsDown, s.bytesDown / 1000.0, s.packetsUp, s.bytesUp / 1000.0);
    Com_Printf("Total      - DOWN: \xA4" "08%" PRId64 "\xA4" "00pks @ \xA4" "08%.1f\xA4" "00KB UP: \xA4" "08%" PRId64
               "\xA4" "00pks @ \xA4" "08%.1f\xA4" "00KB",
               t.packetsDown, t.bytesDown / 1000.0, t.packetsUp, t.bytesUp / 1000.0);
}

static void NET_PrintDistribution_f() {
    double sum = 0;
    for (const int64_t c : qnet.distribution) sum += static_cast<double>(c);
    // Nothing counted yet: every share is 0, not a division by zero.
    const double scale = sum > 0 ? 100.0 / sum : 0.0;
    double d[NET_DIST_SIZE];
    for (int i = 0; i < NET_DIST_SIZE; i++) d[i] = static_cast<double>(qnet.distribution[i]) * scale;
    for (int i = 0; i < NET_DIST_SIZE; i += 8) {
        Com_Printf("%.1f %.1f %.1f %.1f | %.1f %.1f %.1f %.1f", d[i], d[i + 1], d[i + 2], d[i + 3], d[i + 4],
                   d[i + 5], d[i + 6], d[i + 7]);
    }
}

static void NET_DumpDistribution_f() {
    // Four counters to a line, each at most 20 characters and ", ".
    char text[NET_DIST_SIZE / 4 * (4 * 22 + 1) + 1];
    int len = 0;
    const int64_t *d = qnet.distribution;
    for (int i = 0; i < NET_DIST_SIZE; i += 4) {
        len += snprintf(text + len, sizeof text - static_cast<size_t>(len),
                        "%" PRId64 ", %" PRId64 ", %" PRId64 ", %" PRId64 ",\n", d[i], d[i + 1], d[i + 2], d[i + 3]);
    }
    if (FS_WriteFile("net.txt", len, text) < 0) Com_Printf("Could not write net.txt");
}

void NET_Imp() {
    ClearState();
    char port[16];
    snprintf(port, sizeof port, "%d", NET_DEFAULT_PORT);
    Cmd_CreateCVar(&net_port, "net_port", port, 0);
    Cmd_CreateCVar(&net_fakedrop, "net_fakedrop", "0", CMD_CHEAT);
    Cmd_CreateCVar(&net_countloop, "net_countloop", "0", 0);
    Cmd_CreateCVar(&net_distribution, "net_distribution", "0", 0);
    Cmd_CreateFunction("ipconfig", NET_IpConfig_f, 0);
    Cmd_CreateFunction("ifconfig", NET_IpConfig_f, 0);
    Cmd_CreateFunction("netstats", NET_Stats_f, 0);
    Cmd_CreateFunction("printdistribution", NET_PrintDistribution_f, 0);
    Cmd_CreateFunction("dumpdistribution", NET_DumpDistribution_f, 0);
}

void NET_Init() {
    ClearState();
    const netConf_t conf = Sys_InitNet(net_port.integer);
    if (!conf.initialised) {
        Com_Error(ER_FATAL, "Net_Init: Network could not initialize");
        return;
    }
    qnet.localAddress = conf.address;
    qnet.myQport = static_cast<uint16_t>(Base_UnpredictableRandom() % 65534u + 1u);
    qnet.localAddress.qport = qnet.myQport;
    qnet.lastStatsTime = Now();
    memset(&net_hufftree, 0, sizeof net_hufftree);
    Com_HuffTree(&net_hufftree, net_dist);
    qnet.initialised = 1;
    Com_Printf("Net_Init: sizeof( netPipe_t ) == \xA4" "08%d\xA4" "00", static_cast<int>(sizeof(netPipe_t)));
    Com_Printf("Net_Init: Network up and running (my qport: \xA4" "08%d\xA4" "00)", qnet.myQport);
}

void NET_Shutdown() {
    if (qnet.initialised) ClearState();
}

void NET_Frame() {
    const uint32_t now = Now();
    if (now - qnet.lastStatsTime < static_cast<uint32_t>(NET_STATS_INTERVAL)) return;
    qnet.lastStatsTime = now;
    const netStats_t &w = qnet.window;
    qnet.perSecond = netStats_t{2 * w.packetsUp, 2 * w.bytesUp, 2 * w.packetsDown, 2 * w.packetsLost, 2 * w.bytesDown};
    qnet.window = netStats_t{};
}
