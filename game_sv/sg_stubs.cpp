// The held weapon's per-frame server work: none until the weapon classes bring theirs.
#include "common/common.h"
#include "game_sv/sg_local.h"

void SG_WeaponFrame(sgClient_t *client) { (void)client; }
