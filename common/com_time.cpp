// Ages on clocks that restart.
#include "common/com_time.h"

int32_t Com_AgeOn(const comRestart_t &r, uint32_t now, uint32_t stamp) {
    const uint32_t d = now - stamp;
    if (static_cast<int32_t>(d) >= 0) return static_cast<int32_t>(d);
    if (!r.count) return 0;
    // Taken before the restart: up to the restart, then on from where it began again.
    const uint32_t before = static_cast<int32_t>(r.from - stamp) > 0 ? r.from - stamp : 0;
    const uint32_t after = static_cast<int32_t>(now - r.to) > 0 ? now - r.to : 0;
    const uint64_t age = static_cast<uint64_t>(before) + after;
    return age > static_cast<uint64_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(age);
}
