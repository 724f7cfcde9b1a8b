// The snapshot codec: what the server's writer puts on the wire, the client's reader
// gets back, field by field, whole and against a base; and a cut or hostile body is
// refused instead of being half-read.
#include <gtest/gtest.h>

#include <cstring>

#include "base/snapshot.h"
#include "common/com_msg.h"
#include "common/com_noise.h"
#include "common/com_vector.h"
#include "tests/support/snapshot_fill.h"

namespace {

float FloatAt(const uint8_t *record, int offset) {
    float f;
    memcpy(&f, record + offset, 4);
    return f;
}
int32_t LongAt(const uint8_t *record, int offset) {
    int32_t v;
    memcpy(&v, record + offset, 4);
    return v;
}
bool SameBytes(const uint8_t *a, const uint8_t *b, wireRun_t run) {
    return memcmp(a + run.offset, b + run.offset, static_cast<size_t>(run.size)) == 0;
}

// Every client-state byte that travels arrives as sent (the heat within one step),
// every other byte is the base's.
void ExpectClientState(const uint8_t *got, const uint8_t *sent, const uint8_t *base) {
    bool travels[sizeof(clientState_t)] = {};
    for (const csWireGroup_t &g : SNAP_CLIENT_GROUPS) {
        for (const wireRun_t &r : g.write) {
            for (int i = 0; i < r.size; i++) travels[r.offset + i] = true;
            if (!r.size) continue;
            if (g.coding == CSW_HEAT)
                EXPECT_NEAR(FloatAt(got, r.offset), FloatAt(sent, r.offset), 1.0f / WIRE_HEAT_UNITS);
            else
                EXPECT_TRUE(SameBytes(got, sent, r)) << "client bytes at " << r.offset;
        }
    }
    for (int i = 0; i < SNAP_RADAR_SLOTS; i++) {
        const int kind = SNAP_RADAR_KINDS.offset + i, blip = SNAP_RADAR_BLIPS.offset + 2 * i;
        EXPECT_EQ(got[kind], sent[kind] & 15);
        const uint8_t *from = sent[kind] & 15 ? sent : base;
        EXPECT_EQ(memcmp(got + blip, from + blip, 2), 0) << "blip " << i;
        travels[kind] = travels[blip] = travels[blip + 1] = true;
    }
    for (size_t i = 0; i < sizeof(clientState_t); i++) {
        if (!travels[i]) {
            EXPECT_EQ(got[i], base[i]) << "client byte " << i << " stays the base's";
        }
    }
}

void ExpectNearFloats(const uint8_t *got, const uint8_t *want, int offset, float tolerance, const char *what) {
    for (int i = 0; i < 3; i++)
        EXPECT_NEAR(FloatAt(got, offset + 4 * i), FloatAt(want, offset + 4 * i), tolerance) << what;
}

// Each entity field by its coding; sent holds the writer's wrapped angles.
void ExpectEntityState(const uint8_t *got, const uint8_t *sent, const uint8_t *base) {
    EXPECT_EQ(LongAt(got, 0), 1) << "in this snapshot";
    bool travels[sizeof(entityState_t)] = {true, true, true, true};
    for (const esWireField_t &f : SNAP_ENTITY_FIELDS) {
        for (int i = 0; i < f.write.size; i++) travels[f.write.offset + i] = true;
        const bool same = SameBytes(sent, base, f.compare);
        const int at = f.write.offset;
        if (same) {
            EXPECT_TRUE(SameBytes(got, base, f.write)) << "unchanged field " << int(f.bit);
            continue;
        }
        switch (f.coding) {
        case ESW_TYPE: EXPECT_EQ(LongAt(got, at), LongAt(sent, at) & 1023); break;
        case ESW_OWNER: {
            const int32_t owner = LongAt(sent, at);
            EXPECT_EQ(LongAt(got, at), owner >= 0 && owner <= SNAP_OWNER_MAX ? owner : -1);
            break;
        }
        case ESW_VECTOR:
        case ESW_VECTOR_DELTA: ExpectNearFloats(got, sent, at, 1.5f / WIRE_DELTA_UNITS, "vector"); break;
        case ESW_DIR: {
            float dir[3], want[3];
            memcpy(dir, sent + at, sizeof dir);
            VectorNormalize(dir);
            Byte2Dir(want, Dir2Byte(dir));
            EXPECT_EQ(memcmp(got + at, want, sizeof want), 0);
            break;
        }
        case ESW_ANGLES: ExpectNearFloats(got, sent, at, 2 * WIRE_ANGLE_RANGE / WIRE_ANGLE_UNITS, "angles"); break;
        case ESW_UNIT_SHORTS: ExpectNearFloats(got, sent, at, 1.5f / WIRE_DELTA_UNITS, "unit row"); break;
        case ESW_BYTES: EXPECT_TRUE(SameBytes(got, sent, f.write)) << "field " << int(f.bit); break;
        }
    }
    for (size_t i = 0; i < sizeof(entityState_t); i++) {
        if (!travels[i]) {
            EXPECT_EQ(got[i], base[i]) << "entity byte " << i << " stays the base's";
        }
    }
}

struct codec_t {
    msg_t msg;
    snapshot_t sent, base, got;
    int entities;

    // Writes sent against base (or whole), reads it back into got.
    snapError_t RoundTrip(bool delta) {
        Msg_WriteBegin(&msg);
        entities = Snap_WriteSnapshot(&sent, delta ? &base : nullptr, 0, 0);
        EXPECT_FALSE(msg.overflowed);
        Msg_ReadBegin(&msg);
        EXPECT_EQ(Msg_ReadLong(), sent.number);
        EXPECT_EQ(Msg_ReadLong(), delta ? base.number : -1);
        memset(&got, 0, sizeof got);
        return Snap_ReadSnapshotBody(&got, delta ? &base : nullptr);
    }
};

TEST(SnapshotCodec, RandomSnapshotsComeBackAsSentWholeAndAgainstABase) {
    static codec_t c;
    static const snapshot_t zero = {};
    snapFill_t fill{2024};
    for (int round = 0; round < 40; round++) {
        const bool delta = round % 2;
        fill.Snapshot(&c.sent, &c.base, 1 + round % 16, round * 3);
        ASSERT_EQ(c.RoundTrip(delta), SNAP_OK) << "round " << round;
        const snapshot_t &base = delta ? c.base : zero;
        EXPECT_EQ(c.got.lastCommand, c.sent.lastCommand);
        EXPECT_EQ(c.got.serverTime, c.sent.serverTime);
        EXPECT_EQ(memcmp(&c.got.gameData, &c.sent.gameData, sizeof c.got.gameData), 0);
        EXPECT_EQ(c.got.matterChecksum, c.sent.matterChecksum);
        EXPECT_EQ(c.got.infoAck, c.sent.infoAck);
        ExpectClientState(Record(&c.got.client), Record(&c.sent.client), Record(&base.client));
        int present = 0;
        for (int n = 0; n < SNAPSHOT_MAX_ENTITIES; n++) {
            if (!c.sent.entities[n].inUse) {
                EXPECT_EQ(LongAt(Record(&c.got.entities[n]), 0), 0) << "entity " << n << " is not in the snapshot";
                continue;
            }
            present++;
            const entityState_t &b = base.entities[n].inUse ? base.entities[n] : zero.entities[n];
            ExpectEntityState(Record(&c.got.entities[n]), Record(&c.sent.entities[n]), Record(&b));
        }
        EXPECT_EQ(present, c.entities);
        if (HasFailure()) break;
    }
}

// A radar slot's position travels by its kind's 4 bits alone: a kind whose low bits
// are 0 sends no position, even with high bits set, and the reader stays in step
// for every slot and entity behind it.
TEST(SnapshotCodec, RadarPositionsTravelOnlyForAKindThatIsNotZero) {
    static codec_t c;
    memset(&c.sent, 0, sizeof c.sent);
    memset(&c.base, 0, sizeof c.base);
    c.base.number = 1;
    c.sent.number = 2;
    const uint8_t kinds[SNAP_RADAR_SLOTS] = {0x00, 0x10, 0x03, 0xF0, 0xF5, 0x00, 0x80, 0x0F};
    for (int i = 0; i < SNAP_RADAR_SLOTS; i++) {
        c.sent.client.radarKinds[i] = kinds[i];
        c.sent.client.radarBlips[i][0] = static_cast<uint8_t>(40 + i);
        c.sent.client.radarBlips[i][1] = static_cast<uint8_t>(200 - i);
        c.base.client.radarBlips[i][0] = c.base.client.radarBlips[i][1] = 7;
    }
    c.sent.client.health = 77;
    c.sent.entities[12].inUse = 1;
    c.sent.entities[12].origin[2] = 5.0f;
    for (const bool delta : {false, true}) {
        ASSERT_EQ(c.RoundTrip(delta), SNAP_OK) << delta;
        const uint8_t fallback = delta ? 7 : 0;
        for (int i = 0; i < SNAP_RADAR_SLOTS; i++) {
            const uint8_t kind = kinds[i] & 15;
            EXPECT_EQ(c.got.client.radarKinds[i], kind) << i;
            EXPECT_EQ(c.got.client.radarBlips[i][0], kind ? 40 + i : fallback) << i << " delta " << delta;
            EXPECT_EQ(c.got.client.radarBlips[i][1], kind ? 200 - i : fallback) << i << " delta " << delta;
        }
        EXPECT_EQ(c.got.client.health, 77) << delta;
        EXPECT_EQ(c.got.entities[12].inUse, 1) << delta;
        EXPECT_EQ(c.got.entities[12].origin[2], 5.0f) << delta;
        EXPECT_TRUE(Msg_IsEOF()) << "everything written was read: " << delta;
    }
}

// A full message keeps out the entities it has no room for, from the writer's copy
// too, so what the reader gets is exactly what later snapshots are coded against.
TEST(SnapshotCodec, AFullMessageLeavesOutTheRestOfTheEntitiesOnBothSides) {
    static codec_t c;
    snapFill_t fill{99};
    fill.Snapshot(&c.sent, nullptr, 0, 0);
    for (int n = 0; n < SNAPSHOT_MAX_ENTITIES; n++) fill.Entity(Record(&c.sent.entities[n]));
    ASSERT_EQ(c.RoundTrip(false), SNAP_OK);
    EXPECT_GT(c.entities, 50);
    EXPECT_LT(c.entities, SNAPSHOT_MAX_ENTITIES);
    for (int n = 0; n < SNAPSHOT_MAX_ENTITIES; n++)
        EXPECT_EQ(c.sent.entities[n].inUse != 0, LongAt(Record(&c.got.entities[n]), 0) == 1) << n;
}

TEST(SnapshotCodec, ABodyCutShortAnywhereIsPastTheEnd) {
    static codec_t c;
    snapFill_t fill{5};
    fill.Snapshot(&c.sent, &c.base, 4, 20);
    ASSERT_EQ(c.RoundTrip(true), SNAP_OK);
    const int full = c.msg.curBits;
    for (int bits = 64; bits < full; bits += 7) {
        c.msg.curBits = bits;
        Msg_ReadBegin(&c.msg);
        Msg_ReadLong(), Msg_ReadLong();
        memset(&c.got, 0, sizeof c.got);
        ASSERT_EQ(Snap_ReadSnapshotBody(&c.got, &c.base), SNAP_PAST_END) << bits << " of " << full;
    }
}

// Hostile bodies, written by hand: each is refused with its reason.
TEST(SnapshotCodec, BadBodiesAreRefusedWithTheirReason) {
    struct case_t {
        int32_t executed;
        uint32_t count;
        snapError_t want;
    } cases[] = {
        {-1, 0, SNAP_BAD_COMMAND},
        {5, SNAPSHOT_MAX_ENTITIES + 1, SNAP_BAD_COUNT},
        {5, 0xFFFFFFFFu, SNAP_BAD_COUNT},
        {5, 1, SNAP_PAST_END},  // an entity announced, none there
        {5, 0, SNAP_OK},
    };
    static codec_t c;
    static const clientState_t zeroClient = {};
    for (const case_t &k : cases) {
        Msg_WriteBegin(&c.msg);
        Msg_WriteLong(k.executed);
        Msg_WriteLong(1000);
        Snap_WriteGameData(&c.base.gameData, &c.base.gameData);
        Msg_WriteLong(0), Msg_WriteLong(0);
        Snap_WriteClientState(Record(&zeroClient), nullptr, 0);
        Msg_WriteLong(static_cast<int32_t>(k.count));
        Msg_ReadBegin(&c.msg);
        memset(&c.got, 0, sizeof c.got);
        EXPECT_EQ(Snap_ReadSnapshotBody(&c.got, nullptr), k.want) << k.executed << " " << k.count;
    }
}

}  // namespace
