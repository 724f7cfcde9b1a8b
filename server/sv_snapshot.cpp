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

// ---- encoders: the shared codec, with the server's own switches ----

// sv_flag sends the origin in every snapshot.
static uint32_t ClientForce() { return sv_flag.integer ? 1u << SNAP_CLIENT_GROUPS[3].bit : 0; }

void SV_EncodeClientState(const uint8_t *state, const uint8_t *base) {
    Snap_WriteClientState(state, base, ClientForce());
}

void SV_EncodeEntityState(uint8_t *state, const uint8_t *base) { Snap_WriteEntityState(state, base); }

void SV_EncodeGameData(const snapshot_t *s, const snapshot_t *base) {
    Snap_WriteGameData(&s->gameData, base ? &base->gameData : nullptr);
}

// Kept free behind the entities for the ping request that may follow the snapshot.
constexpr int SV_SNAPSHOT_TAIL_BITS = 8 + 32;

int SV_EncodeSnapshot(snapshot_t *s, const snapshot_t *base) {
    Msg_WriteByte(SVP_SNAPSHOT);
    return Snap_WriteSnapshot(s, base, ClientForce(), SV_SNAPSHOT_TAIL_BITS);
}

// The point an entity is seen at: visOffset up from its origin, along the world's up
// there.  The same for every client, so it is worked out once for each origin and
// offset an entity stands at and reused while neither changes.
namespace {
struct svSeenAt_t {
    float origin[3];
    float offset;
    float point[3];
    bool known;
};
}  // namespace
static svSeenAt_t sv_seenAt[SV_MAX_ENTITIES];

static const float *SeenAt(int n, const svEntity_t *e) {
    svSeenAt_t &k = sv_seenAt[n];
    float origin[3], offset;
    GetVec(e->state, offsetof(entityState_t, origin), origin);
    offset = GetFloat(e->shared, offsetof(entityShared_t, visOffset));
    // Bit for bit: the same bits give the same point, whatever they are.
    if (k.known && !memcmp(k.origin, origin, sizeof origin) && !memcmp(&k.offset, &offset, sizeof offset)) return k.point;
    float up[3] = {origin[0], origin[1], origin[2]};
    VectorNormalize(up);
    for (int i = 0; i < 3; i++) k.point[i] = origin[i] + up[i] * offset;
    memcpy(k.origin, origin, sizeof origin);
    k.offset = offset;
    k.known = true;
    return k.point;
}

// An entity the client may see: sent everywhere, close by, or in a visible page.
static bool EntityVisible(const svClient_t *client, const float eye[3], int n, const svEntity_t *e) {
    if (GetLong(e->shared, offsetof(entityShared_t, svFlags)) & SVF_ALWAYS_SEND) return true;
    float origin[3];
    GetVec(e->state, offsetof(entityState_t, origin), origin);
    if (PointDistance(eye, origin) <= SV_NEAR_ENTITY) return true;
    return WO_CheckPointPVS(&client->pvs, SeenAt(n, e), GetFloat(e->shared, offsetof(entityShared_t, visRadius)) + 1.0f) !=
           0;
}

snapshot_t *SV_CreateSnapshot(svClient_t *client) {
    snapshot_t *s = &client->snaps[client->snapNext & (SV_SNAPSHOTS - 1)];
    // The slot's former snapshot is cleared where it holds anything: its head, and the
    // records it sent, which are the ones whose in-use byte is set.
    memset(s, 0, offsetof(snapshot_t, entities));
    s->number = client->snapNext;
    s->lastCommand = client->ccExecuted;
    s->serverTime = Now();
    if (sv.gameData && sv.gameDataSize) memcpy(&s->gameData, sv.gameData, sv.gameDataSize);
    memcpy(&s->client, client->state, SV_CLIENT_STATE_SIZE);
    s->matterChecksum = sv.matterChecksum;
    s->infoAck = client->infoVersion;
    float eye[3];
    GetVec(client->state, offsetof(clientState_t, origin), eye);
    for (int n = 0; n < SV_MAX_ENTITIES; n++) {
        const svEntity_t *e = &sv.entities[n];
        if (e->state && e->state[0] && EntityVisible(client, eye, n, e))
            memcpy(&s->entities[n], e->state, SV_ENTITY_STATE_SIZE);
        else if (s->entities[n].inUse)
            memset(&s->entities[n], 0, sizeof s->entities[n]);
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
    if (SV_AgeAt(now, client->lastSnapshot) < client->snapInterval) return 0;
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
                   base ? "D" : " ", Com_adrstr(&client->pipe.remote), s->number, s->lastCommand, entities, size);
    return 1;
}
