// The in-band package formats between the engine's client and its server: the
// head of a client package, the record types on both directions and the flag bits
// of a coded client command.  The client's writers and the server's readers (and
// the other way round) take these from here, so the two sides cannot drift.
#pragma once

#include <cstdint>

#include "game/g_public.h"

constexpr int32_t CLSV_MAGIC = 0x56FC9A05;  // opens every client package, the challenge follows
// Text bytes of one client command: the writer sends at most this many and the
// reader keeps as many, ending them with the zero of cc_t's text field.
constexpr int CC_TEXT_MAX = CC_TEXT_SIZE - 1;

// Record types of a client package.
enum clientPack_t : uint8_t {
    CLP_CC = 1,             // acknowledgements and three client commands
    CLP_KEEPALIVE = 2,
    CLP_PAGEACK = 3,        // x, y, z bytes, sequence long
    CLP_PAGEACK_DELTA = 4,  // the page after the previous acknowledgement, same y, z, sequence
    CLP_DISCONNECT = 5,
    CLP_PING = 6,           // the server's ping value, echoed
    CLP_INFO = 7,           // version, length, the client info string
    CLP_COUNT
};

// Record types of a server package.
enum serverPack_t : uint8_t {
    SVP_SNAPSHOT = 1,
    SVP_PAGE = 2,        // one page: cell, sequence, world id, sizes, its streams
    SVP_PAGE_DELTA = 3,  // the empty page after the previous record's, same sequence
    SVP_WORLDINFO = 4,   // world id, version, the world info string
    SVP_PING = 5,        // a ping request: the server's time, to be echoed
    SVP_DROP = 6,        // the server freed the client's slot
};

// Bits of a client-command record's flag byte: which fields differ from the
// record before it (the first record is coded against zeros).
enum ccFlag_t : uint8_t {
    CCF_NUMBER_NEXT = 0x01,  // number is the reference's + 1 and is not written
    CCF_ANGLE_2 = 0x02,
    CCF_ANGLE_1 = 0x04,
    CCF_ANGLE_0 = 0x08,
    CCF_BYTES = 0x10,        // weapon and deform mode
    CCF_TEXT = 0x20,
    CCF_AIM = 0x40,
    CCF_BUTTONS = 0x80,
};
