// A server game on the stand-in engine for the tests of its parts: variables
// registered, weapons defined, a running match with no world script, and clients
// put into slots by hand.  The world is the stand-in's analytic one.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_weapon.h"
#include "game_sv/sg_local.h"
#include "game_sv/sg_services.h"
#include "tests/game/fake_engine.h"

struct ServerTest : testing::Test {
    void SetUp() override {
        fake::Install();
        G_DefineWeapons();
        SG_Imp(1);
        sgs.running = 1;
        sgs.entitySerial = 1;
        fake::flatWorld = true;
        sg.flatGravity = 1;
        Refresh();
        G_SetSG();
    }
    void TearDown() override {
        G_SetUndefined();
        memset(&sg, 0, sizeof(sg));
        memset(&sgs, 0, sizeof(sgs));
        fake::Uninstall();
    }
    // The module's copy of the engine state follows the stand-in's clock.
    static void Refresh() { Trap_GetQGame(&qgame); }
    static void Advance(uint32_t ms) {
        fake::Advance(ms);
        Refresh();
    }
    // A client in a slot with a name, a team and a state; a playing one gets its entity.
    static sgClient_t *Client(int32_t slot, int32_t team, uint8_t state, bool bot = false) {
        sgClient_t *c = SG_CreateClient(slot, nullptr, bot ? 1 : 0);
        snprintf(c->name, sizeof(c->name), "P%d", slot);
        c->cs.team = static_cast<uint8_t>(team);
        c->cs.moveType = state;
        c->cs.origin[1] = 1;
        if (state == CS_PLAYING) {
            sgEntity_t *e = SG_CreateEntityClient(slot);
            e->s.origin[1] = 1;
            e->contents = CONTENTS_PLAYER;
            e->hasHitBox = 1;
            SG_FinishEntity(e);
        }
        return c;
    }
    // The server commands one client received that contain a text.
    static int Received(int32_t slot, const std::string &text) {
        int n = 0;
        for (const std::string &c : fake::CommandsTo(slot))
            if (c.find(text) != std::string::npos) n++;
        return n;
    }
    // A command record with a text.
    static cc_t Command(const char *text, uint32_t buttons = 0) {
        cc_t cc = {};
        cc.number = 1;
        cc.buttons = buttons;
        cc.aim[0] = 1;
        Com_strncpyz(cc.text, text, sizeof(cc.text));
        cc.textLength = static_cast<uint32_t>(strlen(cc.text));
        return cc;
    }
};
