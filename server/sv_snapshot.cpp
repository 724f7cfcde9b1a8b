// Snapshots: what each client sees of the game, built straight from the server
// game's records and coded against the newest snapshot the client acknowledged.
#include <cmath>
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "common/com_noise.h"
#include "common/com_vector.h"
#include "common/common.h"
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
// One group of a clientState_t's change mask: the bytes compared and the bytes
// written, each up to two runs of the record, written in order.
struct segment_t {
    int16_t offset, size;
};
struct csGroup_t {
    int bit;
    segment_t write[2];
    segment_t compare[2];  // empty: the same as write
};
// In wire order: bits 12, 13 and 14 travel before bit 11.  Bit 20 is a float
// written as one byte and is coded apart.
const csGroup_t csGroups[] = {
    {0, {{12, 1}}, {}},
    {1, {{16, 4}}, {}},
    {2, {{8, 4}}, {}},
    {3, {{20, 12}}, {}},
    {4, {{32, 12}}, {}},
    {5, {{204, 8}}, {}},
    {6, {{76, 12}}, {}},
    {7, {{56, 4}, {44, 12}}, {}},
    {8, {{60, 4}}, {}},
    {9, {{64, 4}, {72, 1}}, {}},
    {10, {{68, 4}}, {}},
    {12, {{112, 20}}, {}},
    {13, {{132, 4}}, {}},
    {14, {{136, 12}}, {}},
    {11, {{88, 24}}, {}},
    {15, {{148, 2}, {152, 8}}, {}},
    {16, {{160, 20}}, {}},
    {17, {{180, 20}}, {}},
    {18, {{200, 4}}, {}},
    {19, {{300, 24}}, {}},
    {20, {{212, 4}}, {}},
    {21, {{216, 2}}, {}},
    {22, {{218, 2}}, {}},
    {23, {{220, 2}}, {}},
    {24, {{222, 2}}, {}},
    {25, {{224, 4}}, {}},
    {26, {{228, 4}}, {}},
    {27, {{232, 8}}, {{232, 4}}},
    {28, {{246, 20}}, {}},
    {29, {{236, 5}}, {}},
    {30, {{241, 5}}, {}},
    {31, {{266, 10}}, {}},
};
constexpr int CS_NIBBLES = 276;  // 8 bytes whose low 4 bits always travel
constexpr int CS_NIBBLE_DATA = 284;

bool Differs(const uint8_t *a, const uint8_t *b, const segment_t *runs) {
    for (int i = 0; i < 2 && runs[i].size; i++) {
        if (memcmp(a + runs[i].offset, b + runs[i].offset, static_cast<size_t>(runs[i].size))) return true;
    }
    return false;
}

const uint8_t zeroRecord[SV_ENTITY_STATE_SIZE > SV_CLIENT_STATE_SIZE ? SV_ENTITY_STATE_SIZE : SV_CLIENT_STATE_SIZE] = {};
}  // namespace

void SV_EncodeClientState(const uint8_t *state, const uint8_t *base) {
    if (!base) base = zeroRecord;
    uint32_t mask = 0;
    for (const csGroup_t &g : csGroups) {
        if (Differs(state, base, g.compare[0].size ? g.compare : g.write)) mask |= 1u << g.bit;
    }
    if (sv_flag.integer) mask |= 1u << 3;
    Msg_WriteBits(&mask, 32);
    for (const csGroup_t &g : csGroups) {
        if (!(mask & (1u << g.bit))) continue;
        if (g.bit == 20) {
            const int16_t scaled = ShortBits(GetFloat(state, 212) * 255.0f);
            Msg_WriteByte(static_cast<uint8_t>(scaled & 255));
            continue;
        }
        for (int i = 0; i < 2 && g.write[i].size; i++) Msg_WriteBytes(state + g.write[i].offset, g.write[i].size);
    }
    for (int i = 0; i < 8; i++) {
        const uint8_t nibble = state[CS_NIBBLES + i] & 15;
        Msg_WriteBits(&nibble, 4);
    }
    for (int i = 0; i < 8; i++) {
        if (state[CS_NIBBLES + i]) Msg_WriteBytes(state + CS_NIBBLE_DATA + 2 * i, 2);
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

// Bits 4 and 5 (or 6 and 7): a changed vector goes whole, or as small deltas.
static uint32_t VectorBits(const uint8_t *state, const uint8_t *base, int offset, int wholeBit) {
    if (!memcmp(state + offset, base + offset, 12)) return 0;
    float a[3], b[3];
    GetVec(state, offset, a);
    GetVec(base, offset, b);
    return 1u << (SmallMove(a, b) ? wholeBit + 1 : wholeBit);
}

static void WriteVectorDelta(const uint8_t *state, const uint8_t *base, int offset) {
    float a[3], b[3];
    GetVec(state, offset, a);
    GetVec(base, offset, b);
    for (int i = 0; i < 3; i++) Msg_WriteShort(ShortBits((a[i] - b[i]) * 32000.0f));
}

static void WriteAngles(const uint8_t *state, int offset) {
    for (int i = 0; i < 3; i++) Msg_WriteShort(ShortBits(GetFloat(state, offset + 4 * i) * 65536.0f / 360.0f));
}

// state's angles are wrapped in place first, so the stored snapshot keeps them wrapped.
void SV_EncodeEntityState(uint8_t *state, const uint8_t *base) {
    if (!base) base = zeroRecord;
    for (int offset = 56; offset < 80; offset += 4) {
        float a = GetFloat(state, offset);
        AngleMod(&a);
        memcpy(state + offset, &a, 4);
    }
    static const struct {
        int bit;
        segment_t compare;
    } plain[] = {
        {0, {4, 4}}, {1, {8, 4}}, {2, {12, 4}}, {3, {16, 4}}, {8, {44, 12}}, {9, {56, 12}}, {10, {68, 12}},
        {11, {80, 12}}, {12, {116, 4}}, {13, {120, 1}}, {14, {121, 1}}, {15, {124, 4}}, {16, {128, 4}},
        {17, {132, 16}}, {18, {148, 4}}, {19, {152, 4}}, {20, {188, 4}}, {21, {192, 4}}, {22, {196, 4}},
        {23, {200, 4}},
    };
    uint32_t mask = VectorBits(state, base, 20, 4) | VectorBits(state, base, 32, 6);
    for (const auto &p : plain) {
        if (memcmp(state + p.compare.offset, base + p.compare.offset, static_cast<size_t>(p.compare.size)))
            mask |= 1u << p.bit;
    }
    const uint8_t changed = mask != 0;
    Msg_WriteBits(&changed, 1);
    if (!changed) return;
    Msg_WriteBits(&mask, 24);
    for (int bit = 0; bit < 24; bit++) {
        if (!(mask & (1u << bit))) continue;
        switch (bit) {
        case 0: {
            const uint32_t type = static_cast<uint32_t>(GetLong(state, 4)) & 0x3FF;
            Msg_WriteBits(&type, 10);
            break;
        }
        case 1: {
            const int32_t v = GetLong(state, 8);
            const uint8_t coded = static_cast<uint8_t>(v >= 0 && v <= 3 ? v : 4);
            Msg_WriteBits(&coded, 5);
            break;
        }
        case 4: Msg_WriteBytes(state + 20, 12); break;
        case 5: WriteVectorDelta(state, base, 20); break;
        case 6: Msg_WriteBytes(state + 32, 12); break;
        case 7: WriteVectorDelta(state, base, 32); break;
        case 8: {
            float dir[3];
            GetVec(state, 44, dir);
            VectorNormalize(dir);
            Msg_WriteByte(static_cast<uint8_t>(Dir2Byte(dir)));
            break;
        }
        case 9: WriteAngles(state, 56); break;
        case 10: WriteAngles(state, 68); break;
        case 11:
            for (int i = 0; i < 3; i++) Msg_WriteShort(ShortBits(GetFloat(state, 80 + 4 * i) * 32000.0f));
            break;
        case 13: Msg_WriteByte(state[120]); break;
        case 14: Msg_WriteByte(state[121]); break;
        case 17: Msg_WriteBytes(state + 132, 16); break;
        case 19: Msg_WriteBytes(state + 152, 4 + 32); break;
        default: {
            // The rest are single words, at the place their bit names.
            static const int16_t offsets[24] = {0, 0, 12, 16, 0, 0, 0, 0, 0, 0, 0, 0,
                                                116, 0, 0, 124, 128, 0, 148, 0, 188, 192, 196, 200};
            Msg_WriteBytes(state + offsets[bit], 4);
            break;
        }
        }
    }
}

// ---- snapshots ----

void SV_EncodeGameData(const snapshot_t *s, const snapshot_t *base) {
    uint32_t mask = 0;
    for (int i = 0; i < SV_GAME_DATA_WORDS; i++) {
        if (s->gameData[i] != (base ? base->gameData[i] : 0)) mask |= 1u << i;
    }
    Msg_WriteBits(&mask, 32);
    for (int i = 0; i < SV_GAME_DATA_WORDS; i++) {
        if (mask & (1u << i)) Msg_WriteLong(s->gameData[i]);
    }
}

int SV_EncodeSnapshot(snapshot_t *s, const snapshot_t *base) {
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
        const uint32_t number = static_cast<uint32_t>(n);
        Msg_WriteBits(&number, 9);
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
    if (GetLong(e->shared, 0) & 1) return true;
    float eye[3], origin[3];
    GetVec(client->state, 20, eye);
    GetVec(e->state, 20, origin);
    if (PointDistance(eye, origin) <= SV_NEAR_ENTITY) return true;
    float up[3] = {origin[0], origin[1], origin[2]};
    VectorNormalize(up);
    const float offset = GetFloat(e->shared, 4);
    const float point[3] = {origin[0] + up[0] * offset, origin[1] + up[1] * offset, origin[2] + up[2] * offset};
    return WO_CheckPointPVS(&client->pvs, point, GetFloat(e->shared, 8) + 1.0f) != 0;
}

snapshot_t *SV_CreateSnapshot(svClient_t *client) {
    snapshot_t *s = &client->snaps[client->snapNext & (SV_SNAPSHOTS - 1)];
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

// Keeps a console variable at its floor, forced as the console would.
static void Floor(cmdVar_t *var, int floor, const char *text) {
    if (var->integer < floor) Cmd_SetCVar(var, text, 1);
}

int SV_WriteSnapshot(svClient_t *client) {
    if (!client->state) return 0;  // the server game has not handed over its records
    uint32_t flags;
    memcpy(&flags, client->state, sizeof flags);
    if (flags & 1) {
        flags &= ~1u;
        memcpy(client->state, &flags, sizeof flags);
        client->lastSnapshot = 0;
    }
    const int32_t now = Now();
    if (now - client->lastSnapshot < client->snapInterval) return 0;
    client->lastSnapshot = now;

    snapshot_t *s = SV_CreateSnapshot(client);
    const snapshot_t *base = nullptr;
    if (client->snapAcked != -1 && !sv_skipSnapDelta.integer) {
        const snapshot_t *acked = &client->snaps[client->snapAcked & (SV_SNAPSHOTS - 1)];
        if (acked->number == client->snapAcked && acked != s) base = acked;
    }
    const int startBits = Msg_WriteGetBits();
    const int entities = SV_EncodeSnapshot(s, base);
    const int size = (Msg_WriteGetBits() - startBits + 7) >> 3;

    Floor(&sv_minRate, SV_MIN_RATE, "2500");
    Floor(&sv_maxRate, SV_MIN_RATE, "2500");
    int rate = client->rate;
    if (rate < sv_minRate.integer) rate = sv_minRate.integer;
    else if (rate > sv_maxRate.integer) rate = sv_maxRate.integer;
    Floor(&sv_maxSnaps, 5, "5");
    int snaps;
    if (size == 0) {
        snaps = 100 < sv_maxSnaps.integer ? 100 : sv_maxSnaps.integer;
    } else {
        snaps = rate / size;
        if (snaps <= 1) snaps = 2;
        else if (snaps > sv_maxSnaps.integer) snaps = sv_maxSnaps.integer;
    }
    client->snapInterval = 1000 / snaps;

    if (sv_printSnapshot.integer)
        Com_Printf("SNAP \xA4" "08%s\xA4" "00: \xA4" "08%s\xA4" "00 seq: \xA4" "08%d\xA4" "00 cc: \xA4" "08%d\xA4"
                   "00 ents: \xA4" "08%d\xA4" "00 size: \xA4" "08%d\xA4" "00",
                   base ? "D" : " ", Com_adrstr(&client->pipe.remote), s->number, s->executed, entities, size);
    return 1;
}
