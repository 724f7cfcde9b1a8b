// The snapshot wire format, pinned byte for byte: the client's reader decodes
// exactly these bits, so no change to the writer may alter them unnoticed.
#include <gtest/gtest.h>

#include <cstring>

#include "common/com_hash.h"
#include "common/common.h"
#include "server/server.h"

namespace {

struct lcg_t {
    uint32_t seed;
    uint32_t Next() { return seed = seed * 1664525u + 1013904223u; }
};

// A record of random words, some of them plausible floats, and a base that keeps
// some words, moves some a little and replaces the rest: every coding is reached.
void FillPair(lcg_t &r, uint8_t *record, uint8_t *base, int size) {
    for (int at = 0; at + 4 <= size; at += 4) {
        uint32_t word = r.Next();
        if (word & 1) {
            const float f = static_cast<float>(static_cast<int32_t>(r.Next() % 20000) - 10000) / 100.0f;
            memcpy(&word, &f, 4);
        }
        memcpy(record + at, &word, 4);
        const uint32_t pick = r.Next() % 4;
        uint32_t other = word;
        if (pick == 1) {
            other = r.Next();
        } else if (pick == 2) {
            float f;
            memcpy(&f, &word, 4);
            f += static_cast<float>(r.Next() % 100) / 200.0f;
            memcpy(&other, &f, 4);
        }
        memcpy(base + at, &other, 4);
    }
    record[0] = base[0] = 1;  // the in-use byte of an entity
}

// The CRC of everything written for 64 random pairs, whole and against the base.
uint32_t EncodedCrc(bool entity) {
    static msg_t msg;
    lcg_t r{entity ? 77u : 11u};
    uint32_t crc = 0;
    for (int i = 0; i < 64; i++) {
        uint8_t record[SV_CLIENT_STATE_SIZE + SV_ENTITY_STATE_SIZE], base[sizeof record];
        const int size = entity ? SV_ENTITY_STATE_SIZE : SV_CLIENT_STATE_SIZE;
        FillPair(r, record, base, size);
        Msg_WriteBegin(&msg);
        if (entity) {
            SV_EncodeEntityState(record, nullptr);
            SV_EncodeEntityState(record, base);
        } else {
            SV_EncodeClientState(record, nullptr);
            SV_EncodeClientState(record, base);
        }
        EXPECT_FALSE(msg.overflowed);
        const uint32_t bytes = static_cast<uint32_t>((msg.curBits + 7) / 8);
        crc = crc * 31u + Com_GetCRC(msg.data, static_cast<int>(bytes)) + bytes;
    }
    return crc;
}

TEST(SnapshotWire, ClientAndEntityStatesAreWrittenByteForByteAsDefined) {
    EXPECT_EQ(EncodedCrc(false), 949392981u) << "client state";
    EXPECT_EQ(EncodedCrc(true), 1993611759u) << "entity state";
}

}  // namespace
