// Client commands as a hostile client may send them: any bytes, in any order, in
// any state and under every rule set, through whole server frames.
#include <cmath>
#include <random>

#include "game/g_soup.h"
#include "tests/game_sv/sg_fixture.h"

namespace sgtest {
namespace {

// Words a record's text is made of half of the time; the other half is raw bytes.
constexpr const char *WORDS[] = {"say", "say_team", "call_vote", "vote", "client_list", "advanced_stats",
                                 "yes", "no", "map", "kick", "rules", "createball", "nextmap", "restartmap",
                                 "blur", "noclip", "15", "-1", "99999999999", "\"", ";quit", "x\ny", ""};

cc_t HostileRecord(std::mt19937 &rng, uint32_t time) {
    cc_t cc;
    uint8_t *bytes = reinterpret_cast<uint8_t *>(&cc);
    for (size_t i = 0; i < sizeof cc; i++) bytes[i] = static_cast<uint8_t>(rng());
    if (rng() & 1) {
        // Plausible fields around the hostile ones, so that the deeper paths run too.
        cc.time = time + (rng() % 3 == 0 ? rng() : rng() % 400);
        cc.buttons &= (rng() & 1) ? 0x7FFFFFu : 0x3FFu;
        cc.weapon = static_cast<uint8_t>(rng() % 9);
        cc.deformMode = static_cast<uint8_t>(rng() % 7);
        const float special[] = {0.0f, 1.0f, -1.0f, 1e30f, -1e-30f, NAN, INFINITY, 3.4e38f};
        for (int i = 0; i < 3; i++) {
            cc.angles[i] = (rng() & 3) ? static_cast<float>(static_cast<int32_t>(rng() % 720) - 360)
                                       : special[rng() % 8];
            cc.aim[i] = (rng() & 3) ? static_cast<float>(rng() % 2001) / 1000.0f - 1.0f : special[rng() % 8];
        }
        std::string text;
        for (int n = static_cast<int>(rng() % 4); n >= 0; n--) {
            text += WORDS[rng() % (sizeof WORDS / sizeof *WORDS)];
            text += ' ';
        }
        Com_strncpyz(cc.text, text.c_str(), sizeof cc.text);
        cc.textLength = static_cast<uint32_t>(rng() % 3 ? text.size() : rng());
    }
    return cc;
}

bool Finite(const float *v, int n = 3) {
    for (int i = 0; i < n; i++)
        if (!std::isfinite(v[i])) return false;
    return true;
}

TEST_F(SgTest, HostileRecordsBreakNothingInAnyStateOrRules) {
    static constexpr const char *RULES[] = {"DM", "CR", "F", "CC"};
    std::mt19937 rng(20261210);
    // A cube for every dirt-gun mode, so that its shots reach the deformation traps.
    const std::string cube = fake::SoupBytes({-1, -1, -1, 1, -1, -1, -1, 1, -1, 1, 1, -1,
                                              -1, -1, 1,  1, -1, 1,  -1, 1, 1,  1, 1, 1},
                                             {0, 2, 3, 0, 3, 1, 4, 5, 7, 4, 7, 6, 0, 1, 5, 0, 5, 4,
                                              2, 6, 7, 2, 7, 3, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5});
    for (const char *shape : {"sphere", "wall", "platform"}) fake::files[std::string("game/c_soups/") + shape + ".soup"] = cube;
    G_LoadDirtgunShapes();
    for (const char *rules : RULES) {
        ASSERT_TRUE(Start(MINIMAL_SCRIPT, rules)) << rules;
        fake::Set("sg_allowVote", "1");
        sgClient_t *clients[3];
        for (int n = 0; n < 3; n++) {
            clients[n] = Connect(n + 1, "Ann");
            ASSERT_NE(clients[n], nullptr);
        }
        Play(clients[0], TEAM_BLUE);
        Play(clients[1], TEAM_RED);
        Com_strncpyz(sg.world.materials[1].name, "dirt", WM_NAME_SIZE);
        sg.world.materials[1].subStrenght = 0.5f;
        for (sgClient_t *c : clients) {
            c->cs.ownedWeapons = 0x7F;  // every weapon, loaded
            for (int w = 0; w < WEAPON_COUNT; w++) {
                c->cs.clip[w] = static_cast<uint8_t>(g_weaponClass[w].clipSize);
                c->cs.reserve[w] = static_cast<int16_t>(g_weaponClass[w].maxReserve);
            }
        }
        for (int frame = 0; frame < 300; frame++) {
            for (sgClient_t *c : clients) {
                if (!c->inUse) continue;
                for (int k = static_cast<int>(rng() % 3); k > 0; k--)
                    fake::slots[c->number].commands.push_back(HostileRecord(rng, qgame.time));
            }
            Frame(50);
            ASSERT_TRUE(sgs.running) << rules << " frame " << frame;
            for (const sgClient_t *c : clients) {
                if (!c->inUse) continue;
                const clientState_t &cs = c->cs;
                ASSERT_TRUE(Finite(cs.origin) && Finite(cs.velocity)) << rules << " frame " << frame;
                ASSERT_TRUE(Finite(&cs.viewAxis[0][0], 9)) << rules << " frame " << frame;
                ASSERT_LT(c->deformMode, DIRT_DEFORM_MODES);
                ASSERT_LE(cs.deformSize, 100);
                ASSERT_TRUE(G_WeaponClass(cs.weapon)) << cs.weapon;
            }
            for (const fake::error_t &e : fake::errors)
                ASSERT_GT(e.level, ER_BUG) << rules << " frame " << frame << ": " << e.text;
        }
        SG_ShutdownServer(0);
    }
}

}  // namespace
}  // namespace sgtest
