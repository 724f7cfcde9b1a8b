// libFuzzer target: player states from a hostile server, decoded by the snapshot
// codec the client reads them with and run through the client game's prediction.
//
// The first byte picks the world (ball or flat) and whether the snapshot is coded
// against a primed base; the rest is the body of a snapshot after its two numbers.
// A body the codec refuses is dropped as the client drops it.  A decoded state is
// framed as the client frames it and predicted with a few commands pending: the
// prediction must end without a fatal error, whatever the numbers.
//
// Built and run by scripts/fuzz.sh.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/snapshot.h"
#include "common/com_msg.h"
#include "game/g_move.h"
#include "game/g_weapon.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_main.h"
#include "game_cl/cg_predict.h"
#include "tests/game/fake_engine.h"

namespace {

msg_t msg;

// A player standing on the ground of either world, and the commands the server has
// not run yet: walking, jumping, crouching and turning.
void Prime(snapshot_t *base, bool flat) {
    memset(base, 0, sizeof *base);
    base->number = 7;
    base->client.origin[1] = flat ? 0.01f : 30.0f;
    base->client.height = 1.65f;
    base->client.eyeHeight = 1.3f;
    base->client.viewAxis[0][0] = 1;
    base->client.weapon = base->client.pendingWeapon = WP_MINIGUN;
    Snap_RebuildAxes(base->client.viewAxis, base->client.origin, flat);
    for (uint32_t n = 1; n <= 4; n++) {
        cc_t &cc = cg.ccRing[n & (CG_CC_RING - 1)];
        memset(&cc, 0, sizeof cc);
        cc.number = n;
        cc.time = 1000 + 33 * n;
        cc.angles[2] = static_cast<float>(20 * n);
        cc.aim[2] = 1;
        cc.weapon = WP_MINIGUN;
        cc.buttons = BT_FORWARD | (n == 2 ? BT_JUMP : 0u) | (n == 3 ? BT_CROUCH : 0u);
    }
    cg.ccNumber = 4;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > MAX_MSGLEN) return 0;
    const uint8_t mode = data[0];
    const bool flat = mode & 1, delta = mode & 2;
    data++, size--;

    fake::Install();
    fake::flatWorld = flat;
    G_DefineWeapons();
    memset(&cg, 0, sizeof cg);
    CG_RegisterVariables();
    fake::Set("cg_prediction", "1");
    CG_ConnectedToServer();  // the movement's defaults, as at every connection
    cg.flatGravity = flat;

    static const std::unique_ptr<snapshot_t> base = std::make_unique<snapshot_t>();
    static const std::unique_ptr<snapshot_t> older = std::make_unique<snapshot_t>();
    static const std::unique_ptr<snapshot_t> newer = std::make_unique<snapshot_t>();
    Prime(base.get(), flat);

    memcpy(msg.data, data, size);
    msg.curBits = static_cast<int32_t>(size * 8);
    Msg_ReadBegin(&msg);
    memset(newer.get(), 0, sizeof *newer);
    if (Snap_ReadSnapshotBody(newer.get(), delta ? base.get() : nullptr) == SNAP_OK) {
        Snap_RebuildAxes(newer->client.viewAxis, newer->client.origin, flat);
        newer->number = 8;
        *older = *base;
        cg.older = older.get();
        cg.newer = newer.get();
        cg.simTime = newer->serverTime;
        CG_PredictClientState();
        CG_PredictClientState();  // again over the same snapshot, as frames do
    }
    for (const hm_test::errorRecord_t &e : fake::errors)
        if (e.level == ER_FATAL) abort();
    fake::Uninstall();
    return 0;
}
