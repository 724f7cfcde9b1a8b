// The player entity on the client: its models and its client think.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_cl/cg_local.h"
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
    m.think = CG_PlayerThink;
    m.drawingType = DT_PLAYER;
    m.flags = 1;
    m.numModels = 2 * PLAYER_MODELS;
    for (int32_t n = 0; n < PLAYER_MODELS; n++) {
        CG_GetPlayerQModel(n);
        CG_GetArmQModel(n);
    }
}

// ---- the player's client think ----

namespace {

enum playerChannel_t { PCH_PITCH = 0, PCH_WAIST = 1, PCH_ARMS = 2, PCH_LEGS = 3 };

constexpr float LEGS_TURN_LIMIT = 40.0f;  // degrees between legs and view before the legs follow
constexpr float LEGS_TURN_SPEED = 6.0f;   // turns per second
constexpr uint8_t TURN_RIGHT = 4, TURN_LEFT = 5;

// Arms numbers 4-11 and legs numbers 13-20: the death animations.
constexpr const char *DEATH_ANIMS[8] = {"death_front_1", "death_front_2", "death_back_1", "death_back_2",
                                        "death_left_1",  "death_left_2",  "death_right_1", "death_right_2"};
constexpr uint8_t ARMS_FIRST_DEATH = 4;
constexpr uint8_t LEGS_FIRST_DEATH = 13;
constexpr const char *LEGS_ANIMS[LEGS_FIRST_DEATH] = {"idle_legs", "idle_duck", "run",  "back", "step_right",
                                                      "step_left", "run_duck",  "back_duck", "step_right_duck",
                                                      "step_left_duck", "fly", "jump", "land"};
constexpr uint8_t LEGS_JUMP = 11;

void Debug(const char *channel, const char *name) {
    const cmdVar_t *v = Trap_GetCVar("cg_debugPlayerAnim");
    if (v && v->integer) Com_Printf("CG_PutToChannel %s %s", channel, name);
}

void Play(channel_t *ch, const char *channelName, const char *name, centity_t *owner) {
    Debug(channelName, name);
    CG_PutToChannel(ch, name, owner, 1);
}

void Hold(channel_t *ch, const char *channelName, const char *name, centity_t *owner, float fraction) {
    Debug(channelName, name);
    CG_PutFractionToChannel(ch, name, owner, fraction);
}

float Clamp01(float f) { return f < 0.0f ? 0.0f : f > 1.0f ? 1.0f : f; }

// The legs keep their own yaw and turn after the view when it runs away from them.
float TurnLegs(centity_t *cent) {
    const float viewYaw = cent->s.angles[2];
    float d = AngleDist(cent->legsYaw, viewYaw);
    if (fabsf(d) > LEGS_TURN_LIMIT || (!cent->legsTurn && cent->s.anim1 != 0)) {
        cent->legsTurnStart = cent->legsYaw;
        cent->legsTurnTime = 0.0f;
        cent->legsTurn = d >= 0.0f ? TURN_LEFT : TURN_RIGHT;
    }
    if (cent->legsTurn) {
        cent->legsTurnTime += LEGS_TURN_SPEED * qgame.frameSeconds;
        if (cent->legsTurnTime > 1.0f) {
            cent->legsTurn = 0;
        } else {
            cent->legsYaw = AngleLerp(cent->legsTurnStart, viewYaw, cent->legsTurnTime);
            AngleMod(&cent->legsYaw);
        }
    }
    d = AngleDist(cent->legsYaw, viewYaw);
    return Clamp01(1.0f - (d / (2.0f * LEGS_TURN_LIMIT) + 0.5f));
}

}  // namespace

void CG_PlayerThink(centity_t *cent) {
    const int32_t model = CG_GetPlayerQModel(cent->s.team);
    if (!model) return;
    model_t *body = CG_GetModel(model);
    channel_t *ch = cent->channels;
    for (int i = 0; i <= PCH_LEGS; i++)
        if (ch[i].model != body) CG_SetupChannel(&ch[i], body, 0);
    CG_PutFractionToChannel(&ch[PCH_PITCH], "rot_pitch", cent, Clamp01(cent->s.angles[1] / 120.0f + 0.5f));
    CG_PutFractionToChannel(&ch[PCH_WAIST], "rot_waist", cent, TurnLegs(cent));

    // The weapon's tag names the arms' animations; a number from outside that names
    // no weapon leaves the arms as they are.
    const weaponClass_t *wc = G_WeaponClass(cent->s.weapon);
    const uint8_t arms = cent->s.anim2;
    const float f = cent->s.animTime1;
    char name[32];
    if (arms >= ARMS_FIRST_DEATH && arms < ARMS_FIRST_DEATH + 8) {
        Play(&ch[PCH_ARMS], "CHANNEL_ARMS", DEATH_ANIMS[arms - ARMS_FIRST_DEATH], cent);
    } else if (wc && wc->tag) {
        switch (arms) {
        case 1:
            snprintf(name, sizeof name, "fire_%s", wc->tag);
            Hold(&ch[PCH_ARMS], "CHANNEL_ARMS", name, cent, f);
            break;
        case 2:
            snprintf(name, sizeof name, f < 0.5f ? "away_%s" : "to_%s", wc->tag);
            Hold(&ch[PCH_ARMS], "CHANNEL_ARMS", name, cent, f < 0.5f ? 2.0f * f : 2.0f * (f - 0.5f));
            break;
        case 3:
            snprintf(name, sizeof name, "reload_%s", wc->tag);
            Hold(&ch[PCH_ARMS], "CHANNEL_ARMS", name, cent, f);
            break;
        default:
            snprintf(name, sizeof name, "idle_%s", wc->tag);
            Play(&ch[PCH_ARMS], "CHANNEL_ARMS", name, cent);
            break;
        }
    }

    const uint8_t legs = cent->s.anim1;
    if (legs == 0 && cent->legsTurn) {
        Hold(&ch[PCH_LEGS], "CHANNEL_LEGS", cent->legsTurn == TURN_LEFT ? "rotate_left" : "rotate_right", cent,
             cent->legsTurnTime);
    } else if (legs < LEGS_FIRST_DEATH) {
        Play(&ch[PCH_LEGS], "CHANNEL_LEGS", LEGS_ANIMS[legs], cent);
    } else if (legs < LEGS_FIRST_DEATH + 8) {
        Play(&ch[PCH_LEGS], "CHANNEL_LEGS", DEATH_ANIMS[legs - LEGS_FIRST_DEATH], cent);
    }
    for (int i = 0; i <= PCH_LEGS; i++) CG_UpdateChannel(&ch[i]);
}
