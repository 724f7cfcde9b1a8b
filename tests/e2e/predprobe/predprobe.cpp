// The real game module with a watch on the client game's prediction, for the
// end-to-end tests (loaded with -mod hm_predprobe).  It keeps the state the
// prediction gives for each command and, when a snapshot shows the server has run
// that command, compares it with the server's state byte for byte.  One console
// line per comparison:
//   "predprobe: command N same"
//   "predprobe: command N same but for the server's ticks"
//   "predprobe: command N differs at bytes A-B C-D ..." (each range inclusive)
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "common/com_print.h"
#include "game/g_main.h"
#include "game_cl/cg_local.h"

namespace {

// The bytes of the player's state that the server game alone changes as time goes
// by, command or not: life and armour above their maximum run down, rounds come
// back.  No prediction can know those ticks.
struct byteRange_t {
    size_t first, last;
};
constexpr byteRange_t SERVER_TICKS[] = {
    {offsetof(clientState_t, health), offsetof(clientState_t, armor)},
    {offsetof(clientState_t, clip), offsetof(clientState_t, clip) + sizeof(clientState_t::clip) - 1},
    {offsetof(clientState_t, reserve), offsetof(clientState_t, reserve) + sizeof(clientState_t::reserve) - 1},
};
bool InServerTicks(size_t first, size_t last) {
    for (const byteRange_t &t : SERVER_TICKS)
        if (first >= t.first && last <= t.last) return true;
    return false;
}

gameCall_t realCall;

struct kept_t {
    uint32_t number = 0;  // 0: nothing kept
    clientState_t state;
};
kept_t kept[CG_CC_RING];
int32_t compared;  // the last snapshot's command compared

void Watch() {
    const snapshot_t *newer = cg.newer;
    if (!newer) return;
    // A new connection numbers its commands from 1 again.
    if (cg.ccNumber == 0) {
        for (kept_t &k : kept) k.number = 0;
        compared = 0;
        return;
    }
    if (newer->lastCommand != compared) {
        compared = newer->lastCommand;
        const kept_t &k = kept[static_cast<uint32_t>(compared) & (CG_CC_RING - 1)];
        if (compared > 0 && k.number == static_cast<uint32_t>(compared)) {
            const uint8_t *p = reinterpret_cast<const uint8_t *>(&k.state);
            const uint8_t *s = reinterpret_cast<const uint8_t *>(&newer->client);
            char ranges[1024] = "";
            size_t used = 0;
            bool ticksOnly = true;
            for (size_t at = 0; at < sizeof(clientState_t) && used < sizeof ranges - 16;) {
                if (p[at] == s[at]) {
                    at++;
                    continue;
                }
                const size_t first = at;
                while (at < sizeof(clientState_t) && p[at] != s[at]) at++;
                ticksOnly = ticksOnly && InServerTicks(first, at - 1);
                used += static_cast<size_t>(snprintf(ranges + used, sizeof ranges - used, " %zu-%zu", first, at - 1));
            }
            if (!ranges[0])
                Com_Printf("predprobe: command %d same", compared);
            else if (ticksOnly)
                Com_Printf("predprobe: command %d same but for the server's ticks", compared);
            else
                Com_Printf("predprobe: command %d differs at bytes%s", compared, ranges);
        }
    }
    // Kept only while the command is still to be run by the server: the prediction
    // then is a replay, not the snapshot's own state.
    if (static_cast<int32_t>(cg.ccNumber - static_cast<uint32_t>(newer->lastCommand)) > 0)
        kept[cg.ccNumber & (CG_CC_RING - 1)] = {cg.ccNumber, cg.predicted};
}

int32_t Call(int number, gameArg_t *args) {
    const int32_t result = realCall(number, args);
    if (number == GCALL_CG_FRAME) Watch();
    return result;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) gameExport_t GetGameAPI(gameImport_t import) {
    gameExport_t ge = G_GetGameAPI(import);
    realCall = ge.call;
    if (ge.call) ge.call = Call;
    return ge;
}
