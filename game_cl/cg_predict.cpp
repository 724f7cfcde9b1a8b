// The predicted player: the newest snapshot's client state with the commands the
// server has not executed yet replayed on it by the server's own movement.
#include "game_cl/cg_predict.h"

#include <cstddef>
#include <cstring>

#include "common/common.h"
#include "game/g_entity.h"
#include "game/g_move.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_utils.h"

constexpr int CG_RADAR_SLOTS = 8;
// A state the movement can take: every float within this (units, units per second,
// degrees, fractions all stay far below it), and an origin either at the centre or
// far enough from it that the ball's up can be taken from it.
constexpr float CG_STATE_FLOAT_MAX = 1.0e5f;
constexpr float CG_STATE_MIN_RADIUS = 1.0e-3f;
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

// The float runs of the client state that the movement reads and writes.
struct stateFloats_t {
    size_t offset;
    int count;
};
#define CG_FLOATS(first, last) \
    stateFloats_t{offsetof(clientState_t, first), \
                  static_cast<int>((offsetof(clientState_t, last) + sizeof(clientState_t::last) - \
                                    offsetof(clientState_t, first)) / sizeof(float))}
constexpr stateFloats_t CG_STATE_FLOATS[] = {
    CG_FLOATS(origin, slowdown),          // origin, velocity, fire direction, four scalars
    CG_FLOATS(crouch, smoothOffset),      // body sizes, view springs, bob and step phases
    CG_FLOATS(weaponTimeShown, animTime2),
    CG_FLOATS(barrelHeat, barrelHeat),
    CG_FLOATS(viewAngles, viewAxis),
};
#undef CG_FLOATS

// Why a snapshot's player state cannot be moved, or null when it can.  Numbers from
// a server are not trusted: one that the movement cannot use would end in its
// fatal checks (a frame with a row of zeros) or in undefined conversions.
static const char *UnusableState(const clientState_t &cs) {
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&cs);
    for (const stateFloats_t &run : CG_STATE_FLOATS) {
        for (int i = 0; i < run.count; i++) {
            float f;
            memcpy(&f, bytes + run.offset + sizeof(float) * static_cast<size_t>(i), sizeof f);
            // Written so that a value that is not a number fails too.
            if (!(f >= -CG_STATE_FLOAT_MAX && f <= CG_STATE_FLOAT_MAX)) return "a number out of range";
        }
    }
    const float radius2 = cs.origin[0] * cs.origin[0] + cs.origin[1] * cs.origin[1] + cs.origin[2] * cs.origin[2];
    const bool centre = cs.origin[0] == 0 && cs.origin[1] == 0 && cs.origin[2] == 0;
    if (!centre && !(radius2 >= CG_STATE_MIN_RADIUS * CG_STATE_MIN_RADIUS)) return "an origin too near the centre";
    return nullptr;
}

// Moves the predicted state by one command, as the server moves it.
static void ReplayCommand(const cc_t *cc) {
    clientState_t &cs = cg.predicted;
    G_TakeCommandView(&cs, cc);
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
    // A state that cannot be moved is refused whole: the last predicted one stays.
    if (const char *why = UnusableState(newer->client)) {
        static int32_t warned = -1;
        if (newer->number != warned) {
            Com_Error(ER_WARNING, "CG_PredictClientState: snapshot %d holds %s; its player state is dropped",
                      newer->number, why);
            warned = newer->number;
        }
        return;
    }
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
        // A move that ran the state out of the usable range (a server's movement values
        // can take it there) stops the replay before the next move would fail on it.
        if (const char *why = UnusableState(cg.predicted)) {
            static int32_t warned = -1;
            if (newer->number != warned) {
                Com_Error(ER_WARNING, "CG_PredictClientState: the replay reached %s; snapshot %d is shown unpredicted",
                          why, newer->number);
                warned = newer->number;
            }
            cg.predicted = newer->client;
            break;
        }
        if (n == cg.ccNumber) break;
    }
    // A view still held after the newest command keeps the server's angles, and the
    // mouse starts again from them.  One let go within the window keeps the mouse: the
    // commands before the release, replayed every frame for a round trip, must not
    // pull it back each time.
    if (cg.predicted.flags & CSF_VIEW_HELD) _VectorCopy(cg.inputAngles, cg.predicted.viewAngles);
    CG_UpdateForwardRightUp();
}
