// A running server on the test engine's flat world (the plane y = 0) with clients
// placed by hand: the stage for combat, spawning and the entity kinds.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_weapon.h"
#include "game_sv/sg_local.h"
#include "tests/game/fake_engine.h"

struct PlayFixture : ::testing::Test {
    void SetUp() override {
        fake::Install();
        fake::flatWorld = true;
        G_DefineWeapons();
        SG_Imp(1);
        Refresh();
        sgs.running = 1;
        sgs.entitySerial = 1;
        sg.flatGravity = 1;
        sg.rules = RULES_DEATH_MATCH;
        sg.world.spaceBox[0] = sg.world.spaceBox[1] = sg.world.spaceBox[2] = 20;
        sg.world.itemBerserkAmount = 20000;
        sg.world.itemLifeAmount = 50;
        sg.world.itemArmorAmount = 75;
        for (sgWeaponSettings_t &w : sg.world.weapons) w.present = 1;
    }
    void TearDown() override {
        memset(&sg, 0, sizeof sg);
        memset(&sgs, 0, sizeof sgs);
        fake::Uninstall();
    }
    static void Refresh() { Trap_GetQGame(&qgame); }
    // The clock moves on by ms and the module sees it.
    static void Advance(uint32_t ms) {
        fake::Advance(ms);
        Refresh();
    }
    // A human client playing in a team, standing at (x, 0, z), looking along +Z.
    static sgClient_t *Join(int32_t slot, int32_t team, float x = 0, float z = 0) {
        netadr_t address{};
        address.type = 2;
        address.port = static_cast<uint16_t>(1000 + slot);
        sgClient_t *c = SG_CreateClient(slot, &address, 0);
        const vec3_t at = {x, 0, z};
        SG_SpawnClientAsPlayer(c, team, at);
        c->cs.height = 1.65f;
        c->cs.eyeHeight = 1.5f;
        const float body[9] = {0, 0, 1, 0, 1, 0, 1, 0, 0};  // forward +Z, up +Y, side +X
        memcpy(c->bodyAxis, body, sizeof body);
        return c;
    }
    // Entities in use of a type.
    static int Count(int32_t type) {
        int n = 0;
        for (const sgEntity_t &e : sg.entities)
            if (e.s.inUse && e.s.type == type) n++;
        return n;
    }
    // The first entity in use of a type, or null.
    static sgEntity_t *Find(int32_t type) {
        for (sgEntity_t &e : sg.entities)
            if (e.s.inUse && e.s.type == type) return &e;
        return nullptr;
    }
    // True when some server command to the client contains the text.
    static bool Told(const sgClient_t *c, const std::string &text) {
        for (const std::string &t : fake::CommandsTo(c->number))
            if (t.find(text) != std::string::npos) return true;
        return false;
    }
};
