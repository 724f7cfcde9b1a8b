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

// ---- one field at a time ----
// The random round trip changes every field at once, so a field whose change test
// looked at another field's bytes would still travel.  Here each field changes on
// its own: its bit alone is set, and it alone arrives.  The fields and their bits
// are listed from the records, not from the codec's tables.

constexpr int STAYS = -1;      // does not travel: the reader keeps the base's bytes
constexpr int UNMASKED = -2;   // travels after the mask, whatever changed (the radar)

struct fieldCase_t {
    const char *name;
    wireRun_t field;
    int bit;
};

// The offset of the first byte where a and b differ, -1 when none does.
int FirstDifference(const uint8_t *a, const uint8_t *b, size_t size) {
    for (size_t i = 0; i < size; i++)
        if (a[i] != b[i]) return static_cast<int>(i);
    return -1;
}

void FlipBytes(uint8_t *record, wireRun_t field) {
    for (int i = 0; i < field.size; i++) record[field.offset + i] ^= 0x05;  // keeps a radar kind below 16
}

#define CS(f) WIRE_FIELD(clientState_t, f)
const fieldCase_t CLIENT_FIELDS[] = {
    {"snapshotFlags", CS(snapshotFlags), STAYS},
    {"worldIncomplete", CS(worldIncomplete), STAYS},
    {"reserved5", CS(reserved5), STAYS},
    {"ccNumber", CS(ccNumber), 2},
    {"moveType", CS(moveType), 0},
    {"reserved13", CS(reserved13), STAYS},
    {"flags", CS(flags), 1},
    {"origin", CS(origin), 3},
    {"velocity", CS(velocity), 4},
    {"fireDir", CS(fireDir), 7},
    {"weaponTime", CS(weaponTime), 7},
    {"zoom", CS(zoom), 8},
    {"hitFlash", CS(hitFlash), 9},
    {"slowdown", CS(slowdown), 10},
    {"hitDir", CS(hitDir), 9},
    {"reserved73", CS(reserved73), STAYS},
    {"crouch", CS(crouch), 6},
    {"eyeHeight", CS(eyeHeight), 6},
    {"height", CS(height), 6},
    {"kickAngles", CS(kickAngles), 11},
    {"kickVelocity", CS(kickVelocity), 11},
    {"bobPhase", CS(bobPhase), 12},
    {"dip", CS(dip), 12},
    {"jolt", CS(jolt), 12},
    {"dipVelocity", CS(dipVelocity), 12},
    {"joltVelocity", CS(joltVelocity), 12},
    {"stepPhase", CS(stepPhase), 13},
    {"smoothOffset", CS(smoothOffset), 14},
    {"moveAnim", CS(moveAnim), 15},
    {"weaponState", CS(weaponState), 15},
    {"reserved150", CS(reserved150), STAYS},
    {"weaponTimeShown", CS(weaponTimeShown), 15},
    {"animTime2", CS(animTime2), 15},
    {"eventCount", CS(eventCount), 16},
    {"events", CS(events), 16},
    {"moveEventCount", CS(moveEventCount), 17},
    {"moveEvents", CS(moveEvents), 17},
    {"entitySerial", CS(entitySerial), 18},
    {"weapon", CS(weapon), 5},
    {"pendingWeapon", CS(pendingWeapon), 5},
    {"barrelHeat", CS(barrelHeat), 20},
    {"ownedWeapons", CS(ownedWeapons), 21},
    {"spawnByte", CS(spawnByte), 21},
    {"deformMaterial", CS(deformMaterial), 22},
    {"team", CS(team), 22},
    {"health", CS(health), 23},
    {"armor", CS(armor), 23},
    {"berserk", CS(berserk), 24},
    {"deformSize", CS(deformSize), 24},
    {"counters[0]", CS(counters[0]), 25},
    {"counters[1]", CS(counters[1]), 26},
    {"counters[2]", CS(counters[2]), 27},
    {"clip[0]", CS(clip[0]), 29},
    {"clip[1]", CS(clip[1]), 29},
    {"clip[2]", CS(clip[2]), 29},
    {"clip[3]", CS(clip[3]), 29},
    {"clip[4]", CS(clip[4]), 29},
    {"clip[5]", CS(clip[5]), 30},
    {"clip[6]", CS(clip[6]), 30},
    {"reserved243", CS(reserved243), 30},
    {"reserve", CS(reserve), 28},
    {"lastCcTime", CS(lastCcTime), 28},
    {"reserved264", CS(reserved264), 28},
    {"group266", CS(group266), 31},
    {"radarKinds", CS(radarKinds), UNMASKED},
    {"radarBlips", CS(radarBlips), UNMASKED},
    {"viewAngles", CS(viewAngles), 19},
    {"viewAxis[0]", CS(viewAxis[0]), 19},
    {"viewAxis[1]", CS(viewAxis[1]), STAYS},
    {"viewAxis[2]", CS(viewAxis[2]), STAYS},
};
#undef CS

TEST(SnapshotCodec, EachClientFieldChangedAloneSetsItsBitAndArrivesAlone) {
    static clientState_t base, sent, got;
    snapFill_t fill{33};
    fill.Client(Record(&base));
    for (int i = 0; i < SNAP_RADAR_SLOTS; i++) base.radarKinds[i] = static_cast<uint8_t>(1 + i);  // every blip travels
    static msg_t msg;
    for (const fieldCase_t &k : CLIENT_FIELDS) {
        SCOPED_TRACE(k.name);
        sent = base;
        // The heat travels in steps of 1/255, and 1.0 is one of them.
        if (k.field.offset == offsetof(clientState_t, barrelHeat)) sent.barrelHeat = base.barrelHeat == 1.0f ? 0.0f : 1.0f;
        else FlipBytes(Record(&sent), k.field);
        Msg_WriteBegin(&msg);
        Snap_WriteClientState(Record(&sent), Record(&base), 0);
        ASSERT_FALSE(msg.overflowed);
        Msg_ReadBegin(&msg);
        uint32_t mask = 0;
        Msg_ReadBits(&mask, 32);
        EXPECT_EQ(mask, k.bit >= 0 ? 1u << k.bit : 0u);
        Msg_ReadBegin(&msg);
        Snap_ReadClientState(Record(&got), Record(&base));
        EXPECT_FALSE(msg.overflowed);
        EXPECT_TRUE(Msg_IsEOF()) << "everything written was read";
        const clientState_t &want = k.bit == STAYS ? base : sent;
        EXPECT_EQ(FirstDifference(Record(&got), Record(&want), sizeof got), -1) << "the first byte that differs";
    }
}

struct entityFieldCase_t {
    const char *name;
    wireRun_t field;
    int bit;
    void (*change)(entityState_t &e);  // null: every byte of the field changes
};

#define ES(f) WIRE_FIELD(entityState_t, f)
// Coded fields change to values their coding carries exactly.
const entityFieldCase_t ENTITY_FIELDS[] = {
    {"reserved1", ES(reserved1), STAYS, nullptr},
    {"type", ES(type), 0, [](entityState_t &e) { e.type ^= 5; }},
    {"owner", ES(owner), 1, [](entityState_t &e) { e.owner = e.owner == 2 ? 3 : 2; }},
    {"serial", ES(serial), 2, nullptr},
    {"spawnTime", ES(spawnTime), 3, nullptr},
    {"origin moved far", ES(origin), 4, [](entityState_t &e) { e.origin[1] += 30; }},
    {"origin moved a little", ES(origin), 5, [](entityState_t &e) { e.origin[1] += 0.5f; }},
    {"origin2 moved far", ES(origin2), 6, [](entityState_t &e) { e.origin2[2] -= 30; }},
    {"origin2 moved a little", ES(origin2), 7, [](entityState_t &e) { e.origin2[2] -= 0.25f; }},
    {"dir", ES(dir), 8, [](entityState_t &e) { Byte2Dir(e.dir, 40); }},
    {"angles", ES(angles), 9, [](entityState_t &e) { e.angles[1] = 135; }},
    {"angles2", ES(angles2), 10, [](entityState_t &e) { e.angles2[0] = 225; }},
    {"ellipticAxis[0]", ES(ellipticAxis[0]), 11, [](entityState_t &e) { e.ellipticAxis[0][1] = 0.75f; }},
    {"ellipticAxis[1]", ES(ellipticAxis[1]), STAYS, nullptr},
    {"ellipticAxis[2]", ES(ellipticAxis[2]), STAYS, nullptr},
    {"param", ES(param), 12, nullptr},
    {"anim1", ES(anim1), 13, nullptr},
    {"anim2", ES(anim2), 14, nullptr},
    {"reserved122", ES(reserved122), STAYS, nullptr},
    {"animTime1", ES(animTime1), 15, nullptr},
    {"animTime2", ES(animTime2), 16, nullptr},
    {"team", ES(team), 17, nullptr},
    {"weapon", ES(weapon), 17, nullptr},
    {"packed", ES(packed), 17, nullptr},
    {"berserk", ES(berserk), 17, nullptr},
    {"eFlags", ES(eFlags), 18, nullptr},
    {"eventCount", ES(eventCount), 19, nullptr},
    {"events without their counter", ES(events), STAYS, nullptr},
    {"words[0]", ES(words[0]), 20, nullptr},
    {"words[1]", ES(words[1]), 21, nullptr},
    {"words[2]", ES(words[2]), 22, nullptr},
    {"words[3]", ES(words[3]), 23, nullptr},
};
#undef ES

TEST(SnapshotCodec, EachEntityFieldChangedAloneSetsItsBitAndArrivesAlone) {
    static entityState_t base, sent, got;
    snapFill_t fill{34};
    fill.Entity(Record(&base));
    // The reader marks the entity present in its first word.
    memset(base.reserved1, 0, sizeof base.reserved1);
    // Coded fields at values their coding carries exactly; angles as the writer wraps them.
    base.owner = 1;
    const float origin[3] = {10, 20, 30}, origin2[3] = {-5, 6, 7.5f}, angles[3] = {45, 90, 180},
                angles2[3] = {0, 270, 315}, up[3] = {0.25f, 0.5f, -0.75f};
    memcpy(base.origin, origin, sizeof origin);
    memcpy(base.origin2, origin2, sizeof origin2);
    Byte2Dir(base.dir, 3);
    memcpy(base.angles, angles, sizeof angles);
    memcpy(base.angles2, angles2, sizeof angles2);
    memcpy(base.ellipticAxis[0], up, sizeof up);
    static msg_t msg;
    for (const entityFieldCase_t &k : ENTITY_FIELDS) {
        SCOPED_TRACE(k.name);
        sent = base;
        if (k.change) k.change(sent);
        else FlipBytes(Record(&sent), k.field);
        ASSERT_NE(FirstDifference(Record(&sent), Record(&base), sizeof sent), -1) << "the case changes something";
        Msg_WriteBegin(&msg);
        Snap_WriteEntityState(Record(&sent), Record(&base));
        ASSERT_FALSE(msg.overflowed);
        Msg_ReadBegin(&msg);
        uint32_t changed = 0, mask = 0;
        Msg_ReadBits(&changed, 1);
        if (changed) Msg_ReadBits(&mask, SNAP_ENTITY_MASK_BITS);
        EXPECT_EQ(mask, k.bit >= 0 ? 1u << k.bit : 0u);
        Msg_ReadBegin(&msg);
        Snap_ReadEntityState(Record(&got), Record(&base));
        EXPECT_FALSE(msg.overflowed);
        EXPECT_TRUE(Msg_IsEOF()) << "everything written was read";
        const entityState_t &want = k.bit == STAYS ? base : sent;
        EXPECT_EQ(FirstDifference(Record(&got), Record(&want), sizeof got), -1) << "the first byte that differs";
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
