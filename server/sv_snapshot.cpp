// Snapshots: what each client sees of the game, built straight from the server
// game's records and coded against the newest snapshot the client acknowledged.
#include <cmath>
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "common/com_noise.h"
#include "common/com_vector.h"
#include "common/common.h"
#include "base/snapshot.h"
#include "server/server.h"

static int32_t Now() { return static_cast<int32_t>(Base_Time()); }

static float GetFloat(const uint8_t *record, int offset) {
    float f;
    memcpy(&f, record + offset, sizeof f);
    return f;
}
static int32_t GetLong(const uint8_t *record, int offset) {
    int32_t v;
    memcpy(&v, record + offset, sizeof v);
    return v;
}
static void GetVec(const uint8_t *record, int offset, float out[3]) { memcpy(out, record + offset, 12); }

// The low 16 bits of trunc(v): values beyond what an int holds (and NaN) are
// clamped first, so no float the module stores can make the conversion undefined.
static int16_t ShortBits(float v) {
    if (!(v == v)) return 0;
    if (v >= 2147483520.0f) v = 2147483520.0f;
    if (v <= -2147483648.0f) v = -2147483648.0f;
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(static_cast<int32_t>(v))));
}

// ---- client state ----

namespace {
bool Differs(const uint8_t *a, const uint8_t *b, const wireRun_t *runs) {
    for (int i = 0; i < 2 && runs[i].size; i++) {
        if (memcmp(a + runs[i].offset, b + runs[i].offset, static_cast<size_t>(runs[i].size))) return true;
    }
    return false;
}

const uint8_t zeroRecord[sizeof(entityState_t) > sizeof(clientState_t) ? sizeof(entityState_t)
                                                                        : sizeof(clientState_t)] = {};
}  // namespace

void SV_EncodeClientState(const uint8_t *state, const uint8_t *base) {
    if (!base) base = zeroRecord;
    uint32_t mask = 0;
    for (const csWireGroup_t &g : SNAP_CLIENT_GROUPS) {
        if (Differs(state, base, g.compare[0].size ? g.compare : g.write)) mask |= 1u << g.bit;
    }
    if (sv_flag.integer) mask |= 1u << SNAP_CLIENT_GROUPS[3].bit;  // the origin
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
    for (int i = 0; i < SNAP_RADAR_SLOTS; i++) {
        const uint8_t nibble = state[SNAP_RADAR_KINDS.offset + i] & ((1u << SNAP_RADAR_BITS) - 1);
        Msg_WriteBits(&nibble, SNAP_RADAR_BITS);
    }
    constexpr int blipSize = SNAP_RADAR_BLIPS.size / SNAP_RADAR_SLOTS;
    for (int i = 0; i < SNAP_RADAR_SLOTS; i++) {
        if (state[SNAP_RADAR_KINDS.offset + i]) Msg_WriteBytes(state + SNAP_RADAR_BLIPS.offset + blipSize * i, blipSize);
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

static void WriteVectorDelta(const uint8_t *state, const uint8_t *base, int offset) {
    float a[3], b[3];
    GetVec(state, offset, a);
    GetVec(base, offset, b);
    for (int i = 0; i < 3; i++) Msg_WriteShort(ShortBits((a[i] - b[i]) * WIRE_DELTA_UNITS));
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
    case ESW_VECTOR_DELTA: WriteVectorDelta(state, base, at); break;
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

// state's angles are wrapped in place first, so the stored snapshot keeps them wrapped.
void SV_EncodeEntityState(uint8_t *state, const uint8_t *base) {
    if (!base) base = zeroRecord;
    for (int offset = SNAP_ENTITY_ANGLES.offset; offset < SNAP_ENTITY_ANGLES.offset + SNAP_ENTITY_ANGLES.size;
         offset += 4) {
        float a = GetFloat(state, offset);
        AngleMod(&a);
        memcpy(state + offset, &a, 4);
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
constexpr int SV_ENTITY_MAX_BITS = EntityMaxBits();
// Kept free behind the entities for the ping request that may follow the snapshot.
constexpr int SV_SNAPSHOT_TAIL_BITS = 8 + 32;

// ---- snapshots ----

void SV_EncodeGameData(const svSnapshot_t *s, const svSnapshot_t *base) {
    uint32_t mask = 0;
    for (int i = 0; i < SV_GAME_DATA_WORDS; i++) {
        if (s->gameData[i] != (base ? base->gameData[i] : 0)) mask |= 1u << i;
    }
    Msg_WriteBits(&mask, 32);
    for (int i = 0; i < SV_GAME_DATA_WORDS; i++) {
        if (mask & (1u << i)) Msg_WriteLong(s->gameData[i]);
    }
}

int SV_EncodeSnapshot(svSnapshot_t *s, const svSnapshot_t *base) {
    Msg_WriteByte(SVP_SNAPSHOT);
    Msg_WriteLong(s->number);
    Msg_WriteLong(base ? base->number : -1);
    Msg_WriteLong(s->executed);
    Msg_WriteLong(s->serverTime);
    SV_EncodeGameData(s, base);
    Msg_WriteLong(s->matterChecksum);
    Msg_WriteLong(s->infoAck);
    SV_EncodeClientState(s->client, base ? base->client : nullptr);
    const int countAt = Msg_WriteGetBits();
    Msg_WriteLong(0);
    int32_t count = 0;
    for (int n = 0; n < SV_MAX_ENTITIES; n++) {
        uint8_t *e = s->entities[n];
        if (!e[0]) continue;
        if (!Msg_WriteIsRoom(SV_ENTITY_MAX_BITS + SV_SNAPSHOT_TAIL_BITS)) {
            // The message is full: the rest stay out of this snapshot, and out of the
            // copy that later snapshots are coded against, since the client never got them.
            Com_DPrintf("SV_EncodeSnapshot: no room for entities from %d on", n);
            for (int m = n; m < SV_MAX_ENTITIES; m++) memset(s->entities[m], 0, sizeof s->entities[m]);
            break;
        }
        const uint32_t number = static_cast<uint32_t>(n);
        Msg_WriteBits(&number, SNAP_ENTITY_NUMBER_BITS);
        SV_EncodeEntityState(e, base && base->entities[n][0] ? base->entities[n] : nullptr);
        count++;
    }
    const int end = Msg_WriteGetBits();
    Msg_WriteSetBits(countAt);
    Msg_WriteLong(count);
    Msg_WriteSetBits(end);
    return count;
}

// An entity the client may see: sent everywhere, close by, or in a visible page.
static bool EntityVisible(const svClient_t *client, const svEntity_t *e) {
    if (GetLong(e->shared, offsetof(entityShared_t, svFlags)) & SVF_ALWAYS_SEND) return true;
    float eye[3], origin[3];
    GetVec(client->state, offsetof(clientState_t, origin), eye);
    GetVec(e->state, offsetof(entityState_t, origin), origin);
    if (PointDistance(eye, origin) <= SV_NEAR_ENTITY) return true;
    float up[3] = {origin[0], origin[1], origin[2]};
    VectorNormalize(up);
    const float offset = GetFloat(e->shared, offsetof(entityShared_t, visOffset));
    const float point[3] = {origin[0] + up[0] * offset, origin[1] + up[1] * offset, origin[2] + up[2] * offset};
    return WO_CheckPointPVS(&client->pvs, point, GetFloat(e->shared, offsetof(entityShared_t, visRadius)) + 1.0f) != 0;
}

svSnapshot_t *SV_CreateSnapshot(svClient_t *client) {
    svSnapshot_t *s = &client->snaps[client->snapNext & (SV_SNAPSHOTS - 1)];
    memset(s, 0, sizeof *s);
    s->number = client->snapNext;
    s->executed = client->ccExecuted;
    s->serverTime = Now();
    if (sv.gameData && sv.gameDataSize) memcpy(s->gameData, sv.gameData, sv.gameDataSize);
    memcpy(s->client, client->state, SV_CLIENT_STATE_SIZE);
    s->matterChecksum = sv.matterChecksum;
    s->infoAck = client->infoVersion;
    for (int n = 0; n < SV_MAX_ENTITIES; n++) {
        const svEntity_t *e = &sv.entities[n];
        if (!e->state || !e->state[0] || !EntityVisible(client, e)) continue;
        memcpy(s->entities[n], e->state, SV_ENTITY_STATE_SIZE);
    }
    client->snapNext++;
    return s;
}

int SV_WriteSnapshot(svClient_t *client) {
    if (!client->state) return 0;  // the server game has not handed over its records
    uint32_t flags;
    uint8_t *const flagsAt = client->state + offsetof(clientState_t, snapshotFlags);
    memcpy(&flags, flagsAt, sizeof flags);
    if (flags & CSS_SNAPSHOT_NOW) {
        flags &= ~CSS_SNAPSHOT_NOW;
        memcpy(flagsAt, &flags, sizeof flags);
        client->lastSnapshot = 0;
    }
    const int32_t now = Now();
    if (now - client->lastSnapshot < client->snapInterval) return 0;
    client->lastSnapshot = now;

    svSnapshot_t *s = SV_CreateSnapshot(client);
    const svSnapshot_t *base = nullptr;
    if (client->snapAcked != -1 && !sv_skipSnapDelta.integer) {
        const svSnapshot_t *acked = &client->snaps[client->snapAcked & (SV_SNAPSHOTS - 1)];
        if (acked->number == client->snapAcked && acked != s) base = acked;
    }
    const int startBits = Msg_WriteGetBits();
    const int entities = SV_EncodeSnapshot(s, base);
    const int size = (Msg_WriteGetBits() - startBits + 7) >> 3;

    SV_ClampVars();
    int rate = client->rate;
    if (rate < sv_minRate.integer) rate = sv_minRate.integer;
    else if (rate > sv_maxRate.integer) rate = sv_maxRate.integer;
    int snaps;
    if (size == 0) {
        snaps = SV_EMPTY_SNAPS < sv_maxSnaps.integer ? SV_EMPTY_SNAPS : sv_maxSnaps.integer;
    } else {
        snaps = rate / size;
        if (snaps <= 1) snaps = SV_STARVED_SNAPS;
        else if (snaps > sv_maxSnaps.integer) snaps = sv_maxSnaps.integer;
    }
    client->snapInterval = 1000 / snaps;

    if (sv_printSnapshot.integer)
        Com_Printf("SNAP \xA4" "08%s\xA4" "00: \xA4" "08%s\xA4" "00 seq: \xA4" "08%d\xA4" "00 cc: \xA4" "08%d\xA4"
                   "00 ents: \xA4" "08%d\xA4" "00 size: \xA4" "08%d\xA4" "00",
                   base ? "D" : " ", Com_adrstr(&client->pipe.remote), s->number, s->executed, entities, size);
    return 1;
}
