// The snapshot codec: the server's writer and the client's reader walk the same
// tables of base/snapshot.h here, so the two ends cannot disagree on a bit.
#include "base/snapshot.h"

#include <cstring>

#include "common/com_msg.h"
#include "common/com_noise.h"
#include "common/com_print.h"
#include "common/com_vector.h"

static float GetFloat(const uint8_t *record, int offset) {
    float f;
    memcpy(&f, record + offset, sizeof f);
    return f;
}
static void PutFloat(uint8_t *record, int offset, float f) { memcpy(record + offset, &f, sizeof f); }
static int32_t GetLong(const uint8_t *record, int offset) {
    int32_t v;
    memcpy(&v, record + offset, sizeof v);
    return v;
}
static void PutLong(uint8_t *record, int offset, int32_t v) { memcpy(record + offset, &v, sizeof v); }
static void GetVec(const uint8_t *record, int offset, float out[3]) { memcpy(out, record + offset, 12); }

// The low 16 bits of trunc(v): values beyond what an int holds (and NaN) are
// clamped first, so no float the module stores can make the conversion undefined.
static int16_t ShortBits(float v) {
    if (!(v == v)) return 0;
    if (v >= 2147483520.0f) v = 2147483520.0f;
    if (v <= -2147483648.0f) v = -2147483648.0f;
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(static_cast<int32_t>(v))));
}

namespace {
constexpr uint8_t zeroRecord[sizeof(entityState_t) > sizeof(clientState_t) ? sizeof(entityState_t)
                                                                          : sizeof(clientState_t)] = {};
constexpr int RADAR_BLIP_SIZE = SNAP_RADAR_BLIPS.size / SNAP_RADAR_SLOTS;
constexpr uint8_t RADAR_NIBBLE = (1u << SNAP_RADAR_BITS) - 1;

bool Differs(const uint8_t *a, const uint8_t *b, const wireRun_t *runs) {
    for (int i = 0; i < 2 && runs[i].size; i++) {
        if (memcmp(a + runs[i].offset, b + runs[i].offset, static_cast<size_t>(runs[i].size))) return true;
    }
    return false;
}
}  // namespace

// ---- game data ----

// The record as its 32 words, or zeros.
static void GameWords(const snapshotGameData_t *data, uint32_t words[SNAPSHOT_GAME_WORDS]) {
    if (data) memcpy(words, data, sizeof(snapshotGameData_t));
    else memset(words, 0, sizeof(snapshotGameData_t));
}

void Snap_WriteGameData(const snapshotGameData_t *data, const snapshotGameData_t *base) {
    uint32_t words[SNAPSHOT_GAME_WORDS], from[SNAPSHOT_GAME_WORDS];
    GameWords(data, words);
    GameWords(base, from);
    uint32_t mask = 0;
    for (int i = 0; i < SNAPSHOT_GAME_WORDS; i++) {
        if (words[i] != from[i]) mask |= 1u << i;
    }
    Msg_WriteBits(&mask, 32);
    for (int i = 0; i < SNAPSHOT_GAME_WORDS; i++) {
        if (mask & (1u << i)) Msg_WriteLong(static_cast<int32_t>(words[i]));
    }
}

void Snap_ReadGameData(snapshotGameData_t *data, const snapshotGameData_t *base) {
    uint32_t words[SNAPSHOT_GAME_WORDS];
    GameWords(base, words);
    uint32_t mask = 0;
    Msg_ReadBits(&mask, 32);
    for (int i = 0; i < SNAPSHOT_GAME_WORDS; i++) {
        if (mask & (1u << i)) words[i] = static_cast<uint32_t>(Msg_ReadLong());
    }
    memcpy(data, words, sizeof words);
}

// ---- client state ----

void Snap_WriteClientState(const uint8_t *state, const uint8_t *base, uint32_t force) {
    if (!base) base = zeroRecord;
    uint32_t mask = force;
    for (const csWireGroup_t &g : SNAP_CLIENT_GROUPS) {
        if (Differs(state, base, g.compare[0].size ? g.compare : g.write)) mask |= 1u << g.bit;
    }
    Msg_WriteBits(&mask, 32);
    for (const csWireGroup_t &g : SNAP_CLIENT_GROUPS) {
        if (!(mask & (1u << g.bit))) continue;
        if (g.coding == CSW_HEAT) {
            const int16_t scaled = ShortBits(GetFloat(state, g.write[0].offset) * WIRE_HEAT_UNITS);
            Msg_WriteByte(static_cast<uint8_t>(scaled & 255));
            continue;
        }
        for (int i = 0; i < 2 && g.write[i].size; i++) Msg_WriteBytes(state + g.write[i].offset, g.write[i].size);
    }
    // Only a kind's 4 bits travel, and the reader knows a blip by them alone: a blip
    // goes when those bits are not 0, whatever the byte's high bits hold.
    uint8_t nibbles[SNAP_RADAR_SLOTS];
    for (int i = 0; i < SNAP_RADAR_SLOTS; i++) {
        nibbles[i] = state[SNAP_RADAR_KINDS.offset + i] & RADAR_NIBBLE;
        Msg_WriteBits(&nibbles[i], SNAP_RADAR_BITS);
    }
    for (int i = 0; i < SNAP_RADAR_SLOTS; i++) {
        if (nibbles[i]) Msg_WriteBytes(state + SNAP_RADAR_BLIPS.offset + RADAR_BLIP_SIZE * i, RADAR_BLIP_SIZE);
    }
}

void Snap_ReadClientState(uint8_t *state, const uint8_t *base) {
    memcpy(state, base ? base : zeroRecord, sizeof(clientState_t));
    uint32_t mask = 0;
    Msg_ReadBits(&mask, 32);
    for (const csWireGroup_t &g : SNAP_CLIENT_GROUPS) {
        if (!(mask & (1u << g.bit))) continue;
        if (g.coding == CSW_HEAT) {
            PutFloat(state, g.write[0].offset, static_cast<float>(Msg_ReadByte()) / WIRE_HEAT_UNITS);
            continue;
        }
        for (int i = 0; i < 2 && g.write[i].size; i++) Msg_ReadBytes(state + g.write[i].offset, g.write[i].size);
    }
    for (int i = 0; i < SNAP_RADAR_SLOTS; i++) {
        uint8_t nibble = 0;
        Msg_ReadBits(&nibble, SNAP_RADAR_BITS);
        state[SNAP_RADAR_KINDS.offset + i] = nibble;
    }
    for (int i = 0; i < SNAP_RADAR_SLOTS; i++) {
        if (state[SNAP_RADAR_KINDS.offset + i])
            Msg_ReadBytes(state + SNAP_RADAR_BLIPS.offset + RADAR_BLIP_SIZE * i, RADAR_BLIP_SIZE);
    }
}

// ---- entity state ----

static bool SmallMove(const float now[3], const float base[3]) {
    for (int i = 0; i < 3; i++) {
        const float d = now[i] - base[i];
        if (!(d > -1.0f && d < 1.0f)) return false;
    }
    return true;
}

// Whether the field's bit is set: a changed vector is coded whole or as a small
// delta, never both; every other field is set when its compared bytes changed.
static bool EntityFieldChanged(const esWireField_t &f, const uint8_t *state, const uint8_t *base) {
    if (memcmp(state + f.compare.offset, base + f.compare.offset, static_cast<size_t>(f.compare.size))) {
        if (f.coding != ESW_VECTOR && f.coding != ESW_VECTOR_DELTA) return true;
        float a[3], b[3];
        GetVec(state, f.compare.offset, a);
        GetVec(base, f.compare.offset, b);
        return SmallMove(a, b) == (f.coding == ESW_VECTOR_DELTA);
    }
    return false;
}

static void WriteEntityField(const esWireField_t &f, const uint8_t *state, const uint8_t *base) {
    const int at = f.write.offset;
    switch (f.coding) {
    case ESW_TYPE: {
        const uint32_t type = static_cast<uint32_t>(GetLong(state, at)) & ((1u << SNAP_TYPE_BITS) - 1);
        Msg_WriteBits(&type, SNAP_TYPE_BITS);
        break;
    }
    case ESW_OWNER: {
        const int32_t v = GetLong(state, at);
        const uint8_t coded = static_cast<uint8_t>(v >= 0 && v <= SNAP_OWNER_MAX ? v : SNAP_OWNER_NONE);
        Msg_WriteBits(&coded, SNAP_OWNER_BITS);
        break;
    }
    case ESW_VECTOR_DELTA:
        for (int i = 0; i < 3; i++)
            Msg_WriteShort(ShortBits((GetFloat(state, at + 4 * i) - GetFloat(base, at + 4 * i)) * WIRE_DELTA_UNITS));
        break;
    case ESW_DIR: {
        float dir[3];
        GetVec(state, at, dir);
        VectorNormalize(dir);
        Msg_WriteByte(static_cast<uint8_t>(Dir2Byte(dir)));
        break;
    }
    case ESW_ANGLES:
        for (int i = 0; i < 3; i++)
            Msg_WriteShort(ShortBits(GetFloat(state, at + 4 * i) * WIRE_ANGLE_UNITS / WIRE_ANGLE_RANGE));
        break;
    case ESW_UNIT_SHORTS:
        for (int i = 0; i < 3; i++) Msg_WriteShort(ShortBits(GetFloat(state, at + 4 * i) * WIRE_DELTA_UNITS));
        break;
    case ESW_BYTES:
    case ESW_VECTOR: Msg_WriteBytes(state + at, f.write.size); break;
    }
}

// The state's decoded fields start from the base's, which state already holds.
static void ReadEntityField(const esWireField_t &f, uint8_t *state) {
    const int at = f.write.offset;
    switch (f.coding) {
    case ESW_TYPE: {
        uint32_t type = 0;
        Msg_ReadBits(&type, SNAP_TYPE_BITS);
        PutLong(state, at, static_cast<int32_t>(type));
        break;
    }
    case ESW_OWNER: {
        uint8_t coded = 0;
        Msg_ReadBits(&coded, SNAP_OWNER_BITS);
        PutLong(state, at, coded <= SNAP_OWNER_MAX ? coded : -1);
        break;
    }
    case ESW_VECTOR_DELTA:
        for (int i = 0; i < 3; i++)
            PutFloat(state, at + 4 * i, GetFloat(state, at + 4 * i) + Msg_ReadShort() / WIRE_DELTA_UNITS);
        break;
    case ESW_DIR: {
        float dir[3];
        Byte2Dir(dir, Msg_ReadByte());
        memcpy(state + at, dir, sizeof dir);
        break;
    }
    case ESW_ANGLES:
        // The writer's angles lie in [0, 360): their shorts are read unsigned.
        for (int i = 0; i < 3; i++)
            PutFloat(state, at + 4 * i,
                     static_cast<uint16_t>(Msg_ReadShort()) * WIRE_ANGLE_RANGE / WIRE_ANGLE_UNITS);
        break;
    case ESW_UNIT_SHORTS:
        for (int i = 0; i < 3; i++) PutFloat(state, at + 4 * i, Msg_ReadShort() / WIRE_DELTA_UNITS);
        break;
    case ESW_BYTES:
    case ESW_VECTOR: Msg_ReadBytes(state + at, f.write.size); break;
    }
}

void Snap_WriteEntityState(uint8_t *state, const uint8_t *base) {
    if (!base) base = zeroRecord;
    for (int offset = SNAP_ENTITY_ANGLES.offset; offset < SNAP_ENTITY_ANGLES.offset + SNAP_ENTITY_ANGLES.size;
         offset += 4) {
        float a = GetFloat(state, offset);
        AngleMod(&a);
        PutFloat(state, offset, a);
    }
    uint32_t mask = 0;
    for (const esWireField_t &f : SNAP_ENTITY_FIELDS) {
        if (EntityFieldChanged(f, state, base)) mask |= 1u << f.bit;
    }
    const uint8_t changed = mask != 0;
    Msg_WriteBits(&changed, 1);
    if (!changed) return;
    Msg_WriteBits(&mask, SNAP_ENTITY_MASK_BITS);
    for (const esWireField_t &f : SNAP_ENTITY_FIELDS) {
        if (mask & (1u << f.bit)) WriteEntityField(f, state, base);
    }
}

void Snap_ReadEntityState(uint8_t *state, const uint8_t *base) {
    memcpy(state, base ? base : zeroRecord, sizeof(entityState_t));
    uint8_t changed = 0;
    Msg_ReadBits(&changed, 1);
    if (changed) {
        uint32_t mask = 0;
        Msg_ReadBits(&mask, SNAP_ENTITY_MASK_BITS);
        for (const esWireField_t &f : SNAP_ENTITY_FIELDS) {
            if (mask & (1u << f.bit)) ReadEntityField(f, state);
        }
    }
    PutLong(state, 0, 1);
}

// ---- whole snapshots ----

// Most bits one entity can take: its number, the changed bit, the mask and every field.
static constexpr int EntityMaxBits() {
    int bits = SNAP_ENTITY_NUMBER_BITS + 1 + SNAP_ENTITY_MASK_BITS;
    for (const esWireField_t &f : SNAP_ENTITY_FIELDS) {
        switch (f.coding) {
        case ESW_TYPE: bits += SNAP_TYPE_BITS; break;
        case ESW_OWNER: bits += SNAP_OWNER_BITS; break;
        case ESW_DIR: bits += 8; break;
        case ESW_VECTOR_DELTA:
        case ESW_ANGLES:
        case ESW_UNIT_SHORTS: bits += 3 * 16; break;
        case ESW_BYTES:
        case ESW_VECTOR: bits += 8 * f.write.size; break;
        }
    }
    return bits;
}
constexpr int ENTITY_MAX_BITS = EntityMaxBits();
static_assert(SNAPSHOT_MAX_ENTITIES <= 1 << SNAP_ENTITY_NUMBER_BITS, "every entity number fits its bits");

static uint8_t *Bytes(clientState_t *r) { return reinterpret_cast<uint8_t *>(r); }
static uint8_t *Bytes(entityState_t *r) { return reinterpret_cast<uint8_t *>(r); }
static const uint8_t *Bytes(const clientState_t *r) { return reinterpret_cast<const uint8_t *>(r); }
static const uint8_t *Bytes(const entityState_t *r) { return reinterpret_cast<const uint8_t *>(r); }

// The base's slot of an entity, when the base holds it.
static const uint8_t *EntityBase(const snapshot_t *base, int n) {
    return base && base->entities[n].inUse ? Bytes(&base->entities[n]) : nullptr;
}

int Snap_WriteSnapshot(snapshot_t *s, const snapshot_t *base, uint32_t clientForce, int tailBits) {
    Msg_WriteLong(s->number);
    Msg_WriteLong(base ? base->number : -1);
    Msg_WriteLong(s->lastCommand);
    Msg_WriteLong(s->serverTime);
    Snap_WriteGameData(&s->gameData, base ? &base->gameData : nullptr);
    Msg_WriteLong(s->matterChecksum);
    Msg_WriteLong(s->infoAck);
    Snap_WriteClientState(Bytes(&s->client), base ? Bytes(&base->client) : nullptr, clientForce);
    const int countAt = Msg_WriteGetBits();
    Msg_WriteLong(0);
    int32_t count = 0;
    for (int n = 0; n < SNAPSHOT_MAX_ENTITIES; n++) {
        if (!s->entities[n].inUse) continue;
        if (!Msg_WriteIsRoom(ENTITY_MAX_BITS + tailBits)) {
            Com_DPrintf("Snap_WriteSnapshot: no room for entities from %d on", n);
            memset(&s->entities[n], 0, sizeof(entityState_t) * (SNAPSHOT_MAX_ENTITIES - n));
            break;
        }
        const uint32_t number = static_cast<uint32_t>(n);
        Msg_WriteBits(&number, SNAP_ENTITY_NUMBER_BITS);
        Snap_WriteEntityState(Bytes(&s->entities[n]), EntityBase(base, n));
        count++;
    }
    const int end = Msg_WriteGetBits();
    Msg_WriteSetBits(countAt);
    Msg_WriteLong(count);
    Msg_WriteSetBits(end);
    return count;
}

snapError_t Snap_ReadSnapshotBody(snapshot_t *s, const snapshot_t *base) {
    const msg_t *msg = Msg_ReadCurrent();
    s->lastCommand = Msg_ReadLong();
    s->serverTime = Msg_ReadLong();
    if (msg->overflowed) return SNAP_PAST_END;
    if (s->lastCommand < 0) return SNAP_BAD_COMMAND;
    Snap_ReadGameData(&s->gameData, base ? &base->gameData : nullptr);
    s->matterChecksum = Msg_ReadLong();
    s->infoAck = Msg_ReadLong();
    Snap_ReadClientState(Bytes(&s->client), base ? Bytes(&base->client) : nullptr);
    const uint32_t count = static_cast<uint32_t>(Msg_ReadLong());
    if (msg->overflowed) return SNAP_PAST_END;
    // Every entity may be in a snapshot at once: a count of all of them is sound.
    if (count > SNAPSHOT_MAX_ENTITIES) return SNAP_BAD_COUNT;
    for (uint32_t i = 0; i < count; i++) {
        uint32_t n = 0;
        Msg_ReadBits(&n, SNAP_ENTITY_NUMBER_BITS);
        if (msg->overflowed) return SNAP_PAST_END;
        if (n >= SNAPSHOT_MAX_ENTITIES) return SNAP_BAD_ENTITY;
        Snap_ReadEntityState(Bytes(&s->entities[n]), EntityBase(base, static_cast<int>(n)));
        if (msg->overflowed) return SNAP_PAST_END;
    }
    return SNAP_OK;
}

void Snap_RebuildAxes(float axis[3][3], const float origin[3], bool flat) {
    if (flat) {
        _VectorCopy(axis[1], upvector);
    } else {
        _VectorCopy(axis[1], origin);
        VectorNormalize(axis[1]);
    }
    VectorNormalize(axis[0]);
    _CrossProduct(axis[2], axis[0], axis[1]);
}
