// The datagram transport and the socket layer under it.
//
// One non-blocking UDP socket serves the whole process.  A package (a msg_t) goes
// out as one or more datagrams, each a 16-byte header and a payload; a package
// larger than one datagram is cut into numbered fragments and joined again by the
// receiving pipe.  Traffic inside the process never touches the socket: it runs
// through two loop-back rings, one per sending side.  There is no retransmission
// here; what must arrive is acknowledged by the protocols above.
//
// Every datagram that arrives is untrusted.  A malformed or stale one is dropped
// with a warning before it reaches the server or the client, and nothing a header
// says can make the transport read or write outside its buffers.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "common/com_msg.h"

// ---- wire limits ----

constexpr uint8_t NET_MAGIC_VERSION = 0x1E;   // low nibble magic 0xE, high nibble version 1
constexpr int NET_HEADER_SIZE = 16;
constexpr int NET_MAX_DATAGRAM = 1400;        // header and payload
constexpr int NET_MAX_PAYLOAD = NET_MAX_DATAGRAM - NET_HEADER_SIZE;  // 1,384 bytes
constexpr int NET_FRAGMENT_BITS = NET_MAX_PAYLOAD * 8;                // 11,072 bits
constexpr int NET_MAX_OOB_BITS = 11200;       // out-of-band packages above this are a bug
constexpr int NET_MAX_OOB_TEXT = 1019;        // characters of one out-of-band printf
constexpr int32_t NET_OOB_SEQUENCE = -1;      // sequence of an out-of-band datagram

constexpr uint16_t NET_DEFAULT_PORT = 14666;  // game port
constexpr uint16_t NET_MASTER_PORT = 15666;   // master server
constexpr int NET_PORT_TRIES = 10;            // ports tried from net_port upwards

constexpr int NET_LOOP_SLOTS = 128;           // each loop-back ring
constexpr int NET_RECEIVE_SLOTS = 256;        // the received ring
constexpr int NET_GET_GUARD = 1000;           // datagrams one NET_GetPackage may walk
constexpr int NET_STATS_INTERVAL = 500;       // ms of one statistics window
constexpr int NET_DIST_SIZE = 256;            // byte-value counters

// Fragment kinds: bits 0-1 of the header flags.
enum netFragment_t : uint8_t {
    NF_WHOLE = 0,
    NF_FIRST = 1,
    NF_MIDDLE = 2,
    NF_LAST = 3,
};
constexpr uint8_t NET_FLAG_KIND_MASK = 0x3;
constexpr uint8_t NET_FLAG_CLIENT = 0x4;      // sent by a client-side pipe

enum netSide_t : int32_t {
    NS_SERVER = 0,
    NS_CLIENT = 1,
};

// The header of one datagram, decoded.  On the wire: byte 0 magic and version,
// 1-2 qport, 3 flags, 4-7 sequence, 8-11 ack, 12-15 payload bits; little-endian.
struct netHeader_t {
    uint8_t magicVersion;
    uint16_t qport;
    uint8_t flags;
    int32_t sequence;  // NET_OOB_SEQUENCE for an out-of-band datagram
    int32_t ack;       // the sender's incoming sequence; never read by receivers
    int32_t bits;      // payload length in bits
};

// Why a datagram was refused; NP_OK when it was taken.
enum netParse_t : int {
    NP_OK = 0,
    NP_UNDERSIZED,     // shorter than a header
    NP_OVERSIZED,      // longer than a datagram can be
    NP_BAD_MAGIC,
    NP_BAD_VERSION,
    NP_BAD_SIZE,       // bit count negative or not the datagram's length
    NP_STALE,          // sequence not above the last accepted one
    NP_NO_FIRST,       // middle or last fragment without its first
    NP_BAD_FRAGMENT,   // a first or middle fragment that does not end on a byte
    NP_OVERFRAGMENTED, // the joined package would exceed MAX_MSGLEN
};

// One end of a connection.  Plain data: no pointers, the same size everywhere.
struct netPipe_t {
    netadr_t remote;
    int32_t side;            // netSide_t: header flag bit 2 and the loop-back ring
    int32_t lastReceiveTime; // engine ms of the last datagram for this pipe, valid or not
    uint8_t complete;        // a whole package is ready in buffer
    uint8_t inFragment;      // a fragment series is being joined
    int32_t fragBits;        // bits joined so far
    byte buffer[MAX_MSGLEN];
    int32_t outgoingSequence;  // sequence of the next datagram sent
    // Sequence of the last datagram of the last package its owner accepted, -1 at
    // start.  Only an accepted package moves it (NET_AcceptPackage): a forged
    // datagram from the peer's address cannot push it ahead of the peer.
    int32_t incomingSequence;
    int32_t joinedSequence;    // sequence of the last datagram joined into buffer, -1 at start
};
static_assert(sizeof(netPipe_t) == 14040, "netPipe_t is printed by size");

// A received or outgoing package: its peer and its message.
struct netPackage_t {
    netadr_t address;
    msg_t msg;
    int32_t sequence;  // of its last datagram on its pipe; NET_OOB_SEQUENCE out of band
};

// ---- datagram wire format: pure functions, no state ----

// Writes the 16 header bytes.
void NET_WriteHeader(byte out[NET_HEADER_SIZE], const netHeader_t *header);
// Decodes and checks a datagram of length bytes: magic, version, and a bit count
// that is not negative and matches the length exactly.  NP_OK or the reason.
netParse_t NET_ReadHeader(const byte *datagram, int length, netHeader_t *header);
// Joins one datagram (already checked by NET_ReadHeader) into pipe: one not
// newer than the last accepted package is stale; a middle or last part must follow
// the part before it.  Returns NP_OK and sets *readyBits to the package's bits when
// it completed one (0 while fragments are pending).  incomingSequence is left to
// the owner, who accepts the package.  *lost receives the number of sequence
// numbers skipped.
netParse_t NET_JoinDatagram(netPipe_t *pipe, const netHeader_t *header, const byte *payload,
                            int *readyBits, uint32_t *lost);

// ---- socket layer ----

struct netConf_t {
    uint8_t initialised;
    netadr_t address;  // NA_IP, 0.0.0.0, the bound port, qport 0
};

// Opens the socket on the first free port of port .. port + 9 (closing one left open).
netConf_t Sys_InitNet(int port);
// Closes the socket when it is open.
void Sys_ShutdownNet();
// 1 when the whole datagram was handed to the system.
int Sys_SendNetData(const netadr_t *address, const void *data, int length);
// Bytes of one waiting datagram (at most maxLength), 0 when none is waiting; empty
// datagrams are read past.
int Sys_GetNetData(netadr_t *sender, int maxLength, void *buffer);
// Resolves "name[:port]", "a.b.c.d[:port]" or "local"; 1 on success, 0 with a cleared address.
int Sys_LookupDNS(netadr_t *address, const char *text);

// ---- transport ----

// Finds the pipe that a datagram from address belongs to, or null.  The server
// registers the finder for its client slots, the client the one for its server.
typedef netPipe_t *(*netPipeFinder_t)(const netadr_t *address);

// Traffic counts; 64-bit so that the totals of a server running for months stay right.
struct netStats_t {
    int64_t packetsUp, bytesUp, packetsDown, packetsLost, bytesDown;
};

struct qnet_t {
    uint8_t initialised;
    netadr_t localAddress;  // the bound socket's address with this process's qport
    uint16_t myQport;       // 1 .. 65,534, drawn at NET_Init
    uint32_t lastStatsTime;
    netStats_t total;
    netStats_t perSecond;
    netStats_t window;      // the current half-second
    int64_t distribution[NET_DIST_SIZE];  // 64-bit: a counter never overflows
};

extern qnet_t qnet;

// Clears qnet and declares the variables and commands.
void NET_Imp();
// Opens the socket (fatal when it can't), draws the qport and marks the transport up.
void NET_Init();
// Marks the transport down; the socket stays open until the next Sys_InitNet.
void NET_Shutdown();
// Statistics turn, every engine frame.
void NET_Frame();

// Pipe finders for datagrams sent by client-side pipes (the server's slots) and by
// server-side pipes (the client's connection).  Null: nobody is connected.
void NET_SetPipeFinders(netPipeFinder_t clientSidePipes, netPipeFinder_t serverSidePipes);
// Replaces only the finder for datagrams sent by pipes of senderSide (netSide_t), so
// the server and the client of one process each register their own.
void NET_SetPipeFinder(int senderSide, netPipeFinder_t find);

// Clears the pipe and opens it towards remote: outgoing 0, incoming -1.
void NET_SetupPipe(netPipe_t *pipe, int side, const netadr_t *remote);
// Clears the pipe.
void NET_ShutdownPipe(netPipe_t *pipe);
// The owner of the pipe took package as the peer's (its credentials checked): the
// pipe's incoming sequence moves up to the package's.  Older packages change nothing.
void NET_AcceptPackage(netPipe_t *pipe, const netPackage_t *package);

// 1 when sent (or nothing to send), 0 when refused or a datagram could not be
// handed to the system.  A datagram dropped by net_fakedrop counts as sent.
int NET_SendPackage(netPipe_t *pipe, const msg_t *msg);
// 1 when sent, 0 when refused or not handed to the system.
int NET_SendOutOfBandPackage(int side, const netPackage_t *package);
// The formatted text (cut at 1,019 characters) and a 0 byte, out of band; the
// result as NET_SendOutOfBandPackage's, 0 also when the text cannot be formatted.
int NET_SendOutOfBandPrintf(int side, const netadr_t *address, const char *fmt, ...)
    __attribute__((format(printf, 3, 4)));
// The same with the arguments already gathered.
int NET_SendOutOfBandVPrintf(int side, const netadr_t *address, const char *fmt, va_list ap);
// Sends one verbatim text the same way; reports nothing at all, not even a failed send,
// so it may be called from inside the print and error path.
int NET_SendOutOfBandQuiet(int side, const netadr_t *address, const char *text);

// The next ready package of loop-back ring ringSide, then of the received ring.
// Packages from a loop-back ring come from NA_LOCAL with this process's port and qport.
int NET_GetPackage(int ringSide, netPackage_t *package);
// Parses one datagram from sender (its qport is filled in); payload bits when a
// whole package or an out-of-band package is ready, with *payload pointing at it
// and, when sequence is given, *sequence holding the package's sequence.
int NET_ParseRawData(netadr_t *sender, const byte *datagram, int length, const byte **payload,
                     int32_t *sequence = nullptr);
// Queues one datagram read from the socket; the oldest is dropped when the ring is full.
void NET_EnqueueFragment(const netadr_t *sender, const byte *data, int length);
// Takes the oldest queued datagram: its length, 0 when the ring is empty.
int NET_DequeueFragment(netadr_t *sender, byte buffer[NET_MAX_DATAGRAM]);

// Hooks for per-pipe statistics; nothing is kept per pipe yet.
void NET_UpdatePipeStatistics();
void Net_PrintPipe();
