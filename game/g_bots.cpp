// The bots' brain.
#include "game/g_bots.h"

#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_move.h"
#include "game/g_utils.h"
#include "game/g_weapon.h"
#include "game_sv/sg_local.h"
#include "game_sv/sg_services.h"

bot_t sg_bots[BOT_MAX];

void Bot_Init() {}

void Bot_NewBot(int32_t n) {
    if (n < 0 || n >= BOT_MAX) return;
    memset(&sg_bots[n], 0, sizeof(sg_bots[n]));
}

void Bot_SetupAAS(bot_t *bot) {
    clientState_t *cs = SG_ClientState(bot->client);
    static constexpr float STEPS[3] = {-1, 1, 3};
    int i = 0;
    for (float dz : STEPS) {
        for (float dy : STEPS) {
            for (float dx : STEPS) {
                const vec3_t to = {cs->origin[0] + dx, cs->origin[1] + dy, cs->origin[2] + dz};
                gameTrace_t tr;
                SG_RayTrace(&tr, cs->origin, to, bot->client->entity, CONTENTS_WORLD, 0);
                bot->probes[i++] = tr.trace.fraction;
            }
        }
    }
}

void Bot_Frame(cc_t *cc, int32_t clientNum) {
    memset(cc, 0, sizeof(*cc));
    if (clientNum < 0 || clientNum >= BOT_MAX) return;
    bot_t *bot = &sg_bots[clientNum];
    bot->cc = cc;
    bot->client = SG_ClientRecord(clientNum);
    if (!bot->client) return;
    Bot_SetupAAS(bot);
    memset(cc, 0, sizeof(*cc));

    const clientState_t *cs = SG_ClientState(bot->client);
    switch (cs->moveType) {
        case MT_NORMAL:
            // Only a playing bot stamps its command; a zero time moves the others
            // by movement's shortest step.
            cc->time = qgame.time;
            cc->angles[0] = 1.0f;  // the first float of the view triple, as the brain has always sent it
            cc->weapon = WP_MINIGUN;
            break;
        case MT_DEAD:
            cc->buttons |= BT_FIRE;
            break;
        case MT_SPECTATOR:
            cc->buttons |= BT_JOIN_BLUE;
            break;
        default:
            break;
    }
    // Stand and fire the minigun until its clip is empty, then reload.
    if (cs->clip[WP_MINIGUN] == 0) {
        cc->buttons |= BT_RELOAD;
        return;
    }
    cc->weapon = WP_MINIGUN;
    cc->buttons |= BT_FIRE;
}
