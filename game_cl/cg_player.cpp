// The player entity on the client: its models and its client think.
#include <cstring>

#include "common/common.h"
#include "game_cl/cg_media.h"

namespace {

constexpr int32_t PLAYER_MODELS = 2;  // model numbers: 0 "swat", 1 "vanti"
constexpr int32_t BODY_SLOT = 0;      // the record's models: bodies, then arms
constexpr int32_t ARM_SLOT = PLAYER_MODELS;
constexpr const char *BODY_PATHS[PLAYER_MODELS] = {"game/p_swat/swat.model", "game/p_vanti/vanti.model"};
constexpr const char *ARM_PATHS[PLAYER_MODELS] = {"game/p_swat/arm.model", "game/p_vanti/arm.model"};

// A player model by number, registered into its slot on first use.
int32_t PlayerModel(int32_t n, int32_t firstSlot, const char *const *paths, const char *warning) {
    if (n < 0 || n >= PLAYER_MODELS) {
        Com_Error(ER_WARNING, warning, n);
        return 0;
    }
    int32_t &handle = g_entityMedia[ET_PLAYER].models[firstSlot + n];
    if (!handle) handle = CG_RegisterModel(paths[n]);
    return handle;
}

}  // namespace

int32_t CG_GetPlayerQModel(int32_t team) {
    return PlayerModel(team, BODY_SLOT, BODY_PATHS, "CG_GetPlayerQModel: Bad playerQMod %d");
}

int32_t CG_GetArmQModel(int32_t team) {
    return PlayerModel(team, ARM_SLOT, ARM_PATHS, "CG_GetArmQModel: Bad armQMod %d");
}

void CG_RegisterPlayer() {
    entityMedia_t &m = g_entityMedia[ET_PLAYER];
    memset(&m, 0, sizeof m);
    m.drawingType = DT_PLAYER;
    m.flags = 1;
    m.numModels = 2 * PLAYER_MODELS;
    for (int32_t n = 0; n < PLAYER_MODELS; n++) {
        CG_GetPlayerQModel(n);
        CG_GetArmQModel(n);
    }
}
