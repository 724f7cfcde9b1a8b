// The predicted player: the newest snapshot's client state with the commands the
// server has not executed yet replayed on it by the server's own movement.
#include "game_cl/cg_predict.h"

#include <cstring>

#include "game/g_entity.h"
#include "game/g_move.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_utils.h"

constexpr int CG_RADAR_SLOTS = 8;
constexpr float CG_RADAR_MAX_STEP = 40.0f;  // a blip that moved farther between snapshots jumps

// The movement's trace: the client game's world trace.
static void PredictTrace(gameTrace_t *out, const obb_t *start, const obb_t *end, void *skipEntity, int32_t mask,
                         int32_t unused) {
    (void)unused;
    CG_Trace(out, start, end, skipEntity, mask);
}

// Radar blips seen in both snapshots glide between them; one that moved too far
// between the two jumps to the newer place, and one that would leave the radar's
// byte range is dropped.
static void InterpolateRadar(const snapshot_t *older, const snapshot_t *newer) {
    const float f = Snapshot_Fraction(older, newer, cg.simTime);
    clientState_t &cs = cg.predicted;
    for (int i = 0; i < CG_RADAR_SLOTS; i++) {
        if (!older->client.radarKinds[i] || !newer->client.radarKinds[i]) continue;
        cs.radarKinds[i] = newer->client.radarKinds[i];
        const uint8_t *a = older->client.radarBlips[i];
        const uint8_t *b = newer->client.radarBlips[i];
        const float dx = static_cast<float>(b[0]) - static_cast<float>(a[0]);
        const float dy = static_cast<float>(b[1]) - static_cast<float>(a[1]);
        if (dx * dx + dy * dy > CG_RADAR_MAX_STEP * CG_RADAR_MAX_STEP) {
            cs.radarBlips[i][0] = b[0];
            cs.radarBlips[i][1] = b[1];
            continue;
        }
        const float x = (1 - f) * static_cast<float>(a[0]) + f * static_cast<float>(b[0]);
        const float y = (1 - f) * static_cast<float>(a[1]) + f * static_cast<float>(b[1]);
        // Written so that a value that is not a number is dropped too.
        if (!(x >= 0 && x <= 255 && y >= 0 && y <= 255)) {
            cs.radarKinds[i] = 0;
            continue;
        }
        cs.radarBlips[i][0] = static_cast<uint8_t>(x);
        cs.radarBlips[i][1] = static_cast<uint8_t>(y);
    }
}

// Moves the predicted state by one command, as the server moves it.
static void ReplayCommand(const cc_t *cc) {
    clientState_t &cs = cg.predicted;
    // A held view keeps the server's angles, and the mouse starts again from them.
    if (!G_TakeCommandView(&cs, cc)) _VectorCopy(cg.inputAngles, cs.viewAngles);
    cmove_t cm;
    memset(&cm, 0, sizeof cm);
    cm.state = &cs;
    cm.cc = cc;
    cm.params = cg.moveParams;
    cm.contentMask = static_cast<int32_t>(CONTENTS_WORLD);
    cm.skipEntity = nullptr;
    cm.freeFly = (cg.gameData.flags & CG_GAME_FREE_FLIGHT) ? 1 : 0;
    cm.replay = 1;
    cm.flatGravity = cg.flatGravity;
    cm.trace = PredictTrace;
    G_ClientMove(&cm);
}

void CG_PredictClientState() {
    const snapshot_t *older = cg.older, *newer = cg.newer;
    if (!newer) return;
    cg.previousState = cg.predicted;
    cg.predicted = newer->client;
    memcpy(&cg.gameData, &newer->gameData, CG_GAME_DATA_COPY);

    if (!CG_VarInteger("cg_prediction", 1) || cg.ecl.stalled) {
        _VectorCopy(cg.predicted.viewAngles, cg.commandAngles);
        CG_UpdateForwardRightUp();
        return;
    }
    if (older) InterpolateRadar(older, newer);
    if (cg.predicted.moveType == CG_STATE_INTERMISSION) return;

    // Command numbers wrap like any sequence number: only differences count.
    uint32_t first = static_cast<uint32_t>(newer->lastCommand) + 1;
    const int32_t pending = static_cast<int32_t>(cg.ccNumber - first);
    if (pending < 0) {
        CG_UpdateForwardRightUp();
        return;
    }
    // The ring keeps the newest CG_CC_RING commands; older slots already hold newer
    // commands, so replaying them would move the player twice by the same input.
    if (pending >= CG_CC_RING) first = cg.ccNumber - (CG_CC_RING - 1);
    for (uint32_t n = first;; n++) {
        ReplayCommand(&cg.ccRing[n & (CG_CC_RING - 1)]);
        if (n == cg.ccNumber) break;
    }
    CG_UpdateForwardRightUp();
}
