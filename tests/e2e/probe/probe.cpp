// The real game module with a probe for the end-to-end tests (loaded with -mod
// hm_probe).  After every client frame it keeps the client game's prediction of its
// player for the newest command, and when a snapshot later says the server has run
// that command, compares the two byte for byte.  "probe_report" prints the counts and
// starts them again.
#include <cstddef>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_cl/cg_local.h"

namespace {

constexpr int KEPT = 64;

struct kept_t {
    uint32_t number;
    bool valid;
    clientState_t state;
};
kept_t kept[KEPT];
int32_t lastSnapshot = -1;
int compared, differed, firstOffset = -1;
gameCall_t realCall;

// What the server alone writes, what the snapshot does not carry exactly, and what
// only the server has: taken from the snapshot, so that the rest must agree.
void TakeServerOnly(clientState_t &predicted, const clientState_t &server) {
    memcpy(&predicted, &server, offsetof(clientState_t, moveType));  // snapshot flags, world state, command number
    predicted.barrelHeat = server.barrelHeat;                        // a byte on the wire
    memcpy(predicted.radarKinds, server.radarKinds, sizeof predicted.radarKinds);
    memcpy(predicted.radarBlips, server.radarBlips, sizeof predicted.radarBlips);
    memcpy(predicted.viewAxis[1], server.viewAxis[1], 2 * sizeof predicted.viewAxis[1]);  // not on the wire
}

void AfterFrame() {
    const snapshot_t *newer = cg.newer;
    if (!newer || cg.ecl.state != ECL_CONNECTED) return;
    if (newer->number != lastSnapshot) {
        lastSnapshot = newer->number;
        kept_t &k = kept[static_cast<uint32_t>(newer->lastCommand) % KEPT];
        if (k.valid && k.number == static_cast<uint32_t>(newer->lastCommand)) {
            TakeServerOnly(k.state, newer->client);
            compared++;
            const auto *a = reinterpret_cast<const uint8_t *>(&k.state);
            const auto *b = reinterpret_cast<const uint8_t *>(&newer->client);
            for (size_t i = 0; i < sizeof(clientState_t); i++)
                if (a[i] != b[i]) {
                    differed++;
                    if (firstOffset < 0) firstOffset = static_cast<int>(i);
                    break;
                }
        }
        k.valid = false;
    }
    // Only a prediction that replayed commands says anything.
    if (static_cast<uint32_t>(newer->lastCommand) != cg.ccNumber) {
        kept_t &k = kept[cg.ccNumber % KEPT];
        k.number = cg.ccNumber;
        k.valid = true;
        k.state = cg.predicted;
    }
}

void Report_f() {
    Com_Printf("probe: compared %d differed %d first %d", compared, differed, firstOffset);
    compared = differed = 0;
    firstOffset = -1;
}

int32_t ProbeCall(int number, gameArg_t *args) {
    const int32_t result = realCall(number, args);
    if (number == GCALL_CG_IMP) Trap_CreateFunction("probe_report", Report_f, 0);
    if (number == GCALL_CG_FRAME) AfterFrame();
    return result;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) gameExport_t GetGameAPI(gameImport_t import) {
    gameExport_t ge = G_GetGameAPI(import);
    realCall = ge.call;
    if (ge.call) ge.call = ProbeCall;
    return ge;
}
