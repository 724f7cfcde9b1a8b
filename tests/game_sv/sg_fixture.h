// A server game on the test engine: one world script, a started map, frames that
// move the clock, and clients that connect from made-up addresses.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "game/g_weapon.h"
#include "game_sv/sg_local.h"
#include "tests/game/fake_engine.h"

namespace sgtest {

constexpr const char *MINIMAL_SCRIPT = "matter test.vo2\n";

struct SgTest : testing::Test {
    void SetUp() override {
        fake::Install();
        G_DefineWeapons();
        fake::Set("sv_maxPlayers", "8");
        fake::Set("sv_cheats", "0");
        fake::Set("sv_pure", "0");
        SG_Imp(1);
        fake::files["test.world"] = MINIMAL_SCRIPT;
    }
    void TearDown() override {
        SG_ShutdownServer(0);
        SG_Imp(0);
        fake::Uninstall();
    }
    // Runs a console line and then what it queued.
    static void Run(const std::string &line) {
        fake::Run(line);
        fake::Flush();
    }
    // Starts a map on the given script text (as test.world) and rules.
    static bool Start(const std::string &script = MINIMAL_SCRIPT, const std::string &args = "") {
        fake::files["test.world"] = script;
        Run("map test" + (args.empty() ? "" : " " + args));
        return sgs.running != 0;
    }
    // One server frame ms after the last.
    static void Frame(uint32_t ms = 50) {
        fake::Advance(ms);
        SG_Frame();
        fake::Flush();
    }
    static void Frames(int n, uint32_t ms = 50) {
        for (int i = 0; i < n; i++) Frame(ms);
    }
    static netadr_t Address(int n) {
        netadr_t a{};
        a.type = 2;
        a.ip[0] = 10;
        a.ip[3] = static_cast<uint8_t>(n);
        a.port = static_cast<uint16_t>(20000 + n);
        return a;
    }
    // Connects a human from address n; the new record, or null when refused.
    static sgClient_t *Connect(int n, const char *name = "Ann") {
        const int before = SG_GetNumClients();
        const netadr_t a = Address(n);
        SG_ClientConnect(&a, name, -1, 7);
        if (SG_GetNumClients() == before) return nullptr;
        for (sgClient_t &c : sgs.clients)
            if (c.inUse && Com_adrcmp(&c.address, &a)) return &c;
        return nullptr;
    }
    // Puts a client into play at the origin of its team's spawn.  Its last command
    // holds the weapon in hand, as a connected client's would: an idle client
    // repeats it every frame.
    static void Play(sgClient_t *c, int team) {
        vec3_t spot = {0, 51, 0};
        SG_SpawnClientAsPlayer(c, team, spot);
        c->lastCC.number = 1;
        c->lastCC.aim[0] = 1;
        c->lastCC.weapon = static_cast<uint8_t>(c->cs.weapon);
    }
    static size_t CountCommands(int client, const std::string &prefix) {
        size_t n = 0;
        for (const std::string &t : fake::CommandsTo(client)) n += t.rfind(prefix, 0) == 0;
        return n;
    }
    static size_t CountPrints(const std::string &text) {
        size_t n = 0;
        for (const std::string &p : fake::prints) n += p.find(text) != std::string::npos;
        return n;
    }
};

}  // namespace sgtest
