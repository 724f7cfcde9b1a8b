// libFuzzer target for the client's snapshot and page readers: the input is the body
// of an in-band package, pieces of a one-byte kind (0 snapshot, 1 page, 2 compact
// page) and what follows it, read against a ring primed with whole snapshots and a
// world of a few pages.  Afterwards every slot that claims a number holds an entity
// array whose slots are in or out, and the clock runs over whatever was stored.
// Run by scripts/fuzz.sh.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "base/snapshot.h"
#include "client/cl_local.h"
#include "common/common.h"
#include "world/world.h"

static int IgnoreError(int, const char *) { return 0; }

static msg_t msg;
static snapshot_t primed[CL_SNAPSHOTS];  // the ring after priming
static int32_t primedNewest;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    Com_SetupError(IgnoreError);
    WO_InitPages();
    WO_InitPool();
    memset(&cl, 0, sizeof cl);
    cl.snapNewest = -1;
    cl.worldId = 1;
    cl.pipe.remote = netadr_t{NA_IP, {10, 0, 0, 1}, 14666, 0};
    qbase.frameMsec = 10;
    // Snapshots 0..5, every one with a few entities, so deltas find their bases.
    static snapshot_t s;
    for (int32_t n = 0; n < 6; n++) {
        memset(&s, 0, sizeof s);
        s.number = n;
        s.serverTime = 1000 + 50 * n;
        s.client.origin[1] = 30;
        for (int e = 0; e < 20; e++) {
            s.entities[e * 13].inUse = 1;
            s.entities[e * 13].type = e;
            s.entities[e * 13].origin[0] = static_cast<float>(e + n);
        }
        Msg_WriteBegin(&msg);
        Snap_WriteSnapshot(&s, nullptr, 0, 0);
        Msg_ReadBegin(&msg);
        if (!CL_DecodeSnapshot()) abort();
    }
    memcpy(primed, cl.snaps, sizeof primed);
    primedNewest = cl.snapNewest;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > MAX_MSGLEN) return 0;
    memcpy(cl.snaps, primed, sizeof primed);
    cl.snapNewest = primedNewest;
    cl.pageAckCount = 0;
    WO_ClearAllPages();
    CL_InitSeqGrid();

    memcpy(msg.data, data, size);
    msg.curBits = static_cast<int32_t>(size * 8);
    Msg_ReadBegin(&msg);
    cl_dropPackage = 0;
    while (!Msg_IsEOF() && !cl_dropPackage) {
        const uint8_t kind = Msg_ReadByte() % 3;
        if (kind == 0) {
            const snapshot_t *s = CL_DecodeSnapshot();
            if (!s) break;
            // A stored snapshot sits in its own slot and its entities are in or out.
            if (s != &cl.snaps[static_cast<uint32_t>(s->number) % CL_SNAPSHOTS]) abort();
            for (const entityState_t &e : s->entities) {
                int32_t first;
                memcpy(&first, &e, sizeof first);
                if (first != 0 && first != 1) abort();
            }
        } else {
            CL_HandlePackagePage(kind == 2);
        }
        if (cl_dropPackage) break;
        if (cl.pageAckCount >= CL_PAGE_ACKS) cl.pageAckCount = 0;
    }
    qbase.time += 10;
    CL_UpdateSimulation();
    if (cl.newer && (cl.newer < cl.snaps || cl.newer >= cl.snaps + CL_SNAPSHOTS)) abort();
    CL_CleanDirtySurfaces();
    return 0;
}
