// Snapshots on the client: decoded in place into the ring of 32 through the codec
// the server writes them with, and the simulation clock that runs a little behind
// the newest of them and picks the pair the client game interpolates between.
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "base/module_services.h"
#include "base/snapshot.h"
#include "client/cl_local.h"
#include "common/com_vector.h"
#include "common/common.h"
#include "world/world.h"

constexpr int32_t CL_CLOCK_FOLLOWERS = 3;   // snapshots behind the newest that frame the clock
constexpr int32_t CL_MIN_NEWEST = 4;        // no clock before the newest number reaches this
constexpr int32_t CL_PUSH_MAX = 100;        // ms: cl_pushTime is clamped to 0..this
constexpr int32_t CL_CLOCK_SNAP = 100;      // ms: a clock further off jumps to its target
constexpr int32_t CL_CLOCK_EASE = 5;        // a nearer one eases in by 1/this of the difference per frame

// Server and client times wrap: they are compared and moved by their differences.
static int32_t Add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

static snapshot_t *Slot(int32_t number) { return &cl.snaps[static_cast<uint32_t>(number) % CL_SNAPSHOTS]; }

// A slot holds snapshot `number` only while its stored number says so.
static snapshot_t *Valid(int32_t number) {
    snapshot_t *s = Slot(number);
    return number >= 0 && s->number == number ? s : nullptr;
}

// A refused or cleared slot: no number matches it.
static void Invalidate(snapshot_t *s) {
    memset(s, 0, sizeof *s);
    s->number = -1;
}

snapshot_t *CL_DecodeSnapshot() {
    const msg_t *msg = Msg_ReadCurrent();
    const int32_t number = Msg_ReadLong();
    const int32_t baseNumber = Msg_ReadLong();
    if (msg->overflowed) {
        Com_Error(ER_WARNING, "CL_DecodeSnapshot: Bad snapshot (%d)", SNAP_PAST_END);
        return nullptr;
    }
    if (number < 0 || baseNumber < -1) {
        Com_Error(ER_WARNING, "CL_DecodeSnapshot: Bad snapshot (1)");
        return nullptr;
    }
    snapshot_t *s = Slot(number);
    Invalidate(s);
    const snapshot_t *base = nullptr;
    if (baseNumber != -1) {
        // A base that shares the new snapshot's slot was just cleared: always too old.
        base = Slot(baseNumber);
        if (base == s || base->number != baseNumber) {
            Com_Error(ER_WARNING, "CL_DecodeSnapshot: Our delta snapshot is to old, dropping snapshot (%d != %d)",
                      base->number, baseNumber);
            return nullptr;
        }
    }
    const snapError_t error = Snap_ReadSnapshotBody(s, base);
    if (error != SNAP_OK) {
        // Nothing half-decoded stays behind: the slot is left invalid.
        Invalidate(s);
        Com_Error(ER_WARNING, "CL_DecodeSnapshot: Bad snapshot (%d)", error);
        return nullptr;
    }
    Snap_RebuildAxes(s->client.viewAxis, s->client.origin, wo_lg != 0);
    for (entityState_t &e : s->entities) {
        if (e.inUse) Snap_RebuildAxes(e.ellipticAxis, e.origin, wo_lg != 0);
    }
    s->number = number;
    s->receiveTime = CL_Now();
    cl.snapNewest = number;
    cl.snapCount++;
    return s;
}

const snapshot_t *CL_NewestSnapshot() { return Valid(cl.snapNewest); }

void CL_ClearSnapshots() {
    for (snapshot_t &s : cl.snaps) Invalidate(&s);
    cl.snapNewest = -1;
    cl.snapCount = 0;
    cl.older = cl.newer = nullptr;
    cl.simTime = 0;
}

static void NoClock() {
    cl.simTime = 0;
    cl.older = cl.newer = nullptr;
}

void CL_UpdateSimulation() {
    if (cl.snapNewest < CL_MIN_NEWEST) return NoClock();
    const snapshot_t *s0 = CL_NewestSnapshot();
    if (!s0) return NoClock();
    // The three newest valid snapshots before the newest, within one turn of the ring.
    const snapshot_t *behind[CL_CLOCK_FOLLOWERS] = {};
    int found = 0;
    for (int32_t n = cl.snapNewest - 1; n >= 0 && n > cl.snapNewest - CL_SNAPSHOTS && found < CL_CLOCK_FOLLOWERS; n--) {
        if (const snapshot_t *s = Valid(n)) behind[found++] = s;
    }
    if (found < CL_CLOCK_FOLLOWERS) return NoClock();
    const snapshot_t *s1 = behind[0], *s2 = behind[1], *s3 = behind[2];
    if (CL_TimeDiff(s0->serverTime, s1->serverTime) < 0 || CL_TimeDiff(s1->serverTime, s2->serverTime) < 0 ||
        CL_TimeDiff(s2->serverTime, s3->serverTime) < 0) {
        Com_Error(ER_ERROR, "CL_UpdateSimulation: Server time go's backward!");
        return NoClock();
    }

    int32_t push = cl_pushTime.integer;
    push = push < 0 ? 0 : (push > CL_PUSH_MAX ? CL_PUSH_MAX : push);
    const int32_t age = CL_Age(s0->receiveTime);  // never below 0
    // The target, kept between the oldest and the newest of the four: an offset from
    // the newest of at most the span between them.
    int32_t behindNewest = push - age;
    if (behindNewest < 0) behindNewest = 0;
    const int32_t span = CL_TimeDiff(s0->serverTime, s3->serverTime);
    if (behindNewest > span) behindNewest = span;
    const int32_t target = Add(s0->serverTime, -behindNewest);

    const int32_t diff = CL_TimeDiff(cl.simTime, target);
    if (cl_printDeltaTime.integer) Com_Printf("DeltaTime: %8d msec", diff);
    if (diff >= -CL_CLOCK_SNAP && diff <= CL_CLOCK_SNAP) {
        cl.simTime = Add(cl.simTime, static_cast<int32_t>(qbase.frameMsec) - diff / CL_CLOCK_EASE);
    } else {
        cl.simTime = target;
        if (cl_printDeltaTime.integer)
            Com_Printf(diff < 0 ? "CL_UpdateSimulation: Simulation time low clamp"
                                : "CL_UpdateSimulation: Simulation time high clamp");
    }

    if (CL_TimeDiff(cl.simTime, s1->serverTime) >= 0) {
        cl.older = s1, cl.newer = s0;
    } else if (CL_TimeDiff(cl.simTime, s2->serverTime) >= 0) {
        cl.older = s2, cl.newer = s1;
    } else {
        cl.older = s3, cl.newer = s2;
    }
}

void CL_GetSnapshot(const snapshot_t **older, const snapshot_t **newer, int32_t *time) {
    *older = cl.older;
    *newer = cl.newer;
    *time = cl.simTime;
}

void CL_GetSnapshot(void *older, void *newer, void *time) {
    CL_GetSnapshot(static_cast<const snapshot_t **>(older), static_cast<const snapshot_t **>(newer),
                   static_cast<int32_t *>(time));
}
