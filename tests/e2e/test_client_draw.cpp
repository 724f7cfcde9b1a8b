// The headless client in a match with bots on the planet map draws every kind of
// entity it is sent: posed bodies with their guns and magazines, items, the crystal
// with its beacon, the decorations, the drones with their team flags, and the
// balloons over its team-mates; and its model list names every model it drew.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/client_match.h"

namespace {

using namespace e2e;

// One line of the test renderer's re_scene: an instance's level of detail (or a
// surface's material), its drawer (or "surface"), and its bone (or index) count.
struct drawnItem_t {
    std::string name, drawer;
    int count = 0;
};

// What the client's last frame drew, asked for once the frame after it has settled.
std::vector<drawnItem_t> Scene(Match &m) {
    const size_t asked = m.client->output().size();
    m.client->send("re_scene\n");
    Settle(*m.client, "scene_read", 5, m.server.get());
    std::vector<drawnItem_t> items;
    for (const std::string &line : Lines(m.client->output().substr(asked))) {
        char name[256], drawer[64];
        int count;
        if (sscanf(line.c_str(), "re_instance: %255s %63s bones %d", name, drawer, &count) == 3)
            items.push_back({name, drawer, count});
        else if (sscanf(line.c_str(), "re_surface: %255s layout %*d indexes %d", name, &count) == 2)
            items.push_back({name, "surface", count});
    }
    return items;
}

// A kind of entity as the frame shows it: a model whose level of detail starts with
// one of the prefixes drawn by drawer, or a surface of a material with a number of
// indexes.
struct kind_t {
    const char *what;
    std::vector<std::string> prefixes;
    const char *drawer;
    int count;  // bones or indexes
};

bool Shows(const std::vector<drawnItem_t> &scene, const kind_t &k) {
    for (const drawnItem_t &d : scene)
        for (const std::string &prefix : k.prefixes)
            if (d.name.rfind(prefix, 0) == 0 && d.drawer == k.drawer && d.count == k.count) return true;
    return false;
}

TEST(ClientDraw, AMatchWithBotsShowsEveryKindOfEntityAndTheModelListNamesTheModels) {
    Match m;
    ASSERT_NO_FATAL_FAILURE(m.Join());
    ASSERT_NO_FATAL_FAILURE(m.Play());
    const size_t from = m.server->output().size();
    m.server->send("spawnBot\nspawnBot Zed\n");
    ASSERT_TRUE(m.ServerSays("Zed joins", from, 20)) << m.server->output().substr(from);

    constexpr const char *ANIM = "CG_DrawAnimModel", *STATIC = "CG_DrawStaticModel";
    const std::vector<kind_t> kinds = {
        {"a bot's body, posed on the whole humanoid skeleton", {"game/p_"}, ANIM, 17},
        {"the gun in its hand", {"game/w_minigun/minigun.lo2"}, STATIC, 0},
        {"the gun's magazine", {"game/w_minigun/ammo.lo2"}, STATIC, 0},
        {"an item", {"game/e_health/", "game/e_armor/", "game/e_berserker/", "game/e_box/"}, STATIC, 0},
        {"the crystal", {"game/e_crystal/crystal.lo2"}, STATIC, 0},
        {"the crystal's beacon", {"game/c_materials/beacon_green.material"}, "surface", 192},
        // Which of the decorations the server sends depends on where the player stands.
        {"a decoration",
         {"game/e_mush/", "game/e_stone/", "game/e_candycane/", "game/e_foammush/", "game/e_barrel/", "game/e_probe/"},
         STATIC, 0},
        {"a drone in its rest pose", {"game/e_drone/drone.lo2"}, ANIM, 1},
        {"the blue drone's flag", {"game/e_drone/flag_blue.lo2"}, STATIC, 0},
        {"the red drone's flag", {"game/e_drone/flag_red.lo2"}, STATIC, 0},
        {"the balloon over a team-mate", {"game/hud/logo_blue.material"}, "surface", 6},
    };
    // The bots' bodies come in once their snapshots do.
    std::vector<drawnItem_t> scene;
    std::vector<std::string> missing;
    for (const Deadline deadline(60); !deadline.passed();) {
        scene = Scene(m);
        missing.clear();
        for (const kind_t &k : kinds)
            if (!Shows(scene, k)) missing.emplace_back(k.what);
        if (missing.empty()) break;
    }
    EXPECT_EQ(missing, std::vector<std::string>{}) << "drawn within 60 s\n"
                                                   << m.client->output().substr(m.client->output().size() / 2);

    // The model list: a line per loaded model between two rules, then the count; every
    // model the frame drew is among them.
    const size_t asked = m.client->output().size();
    m.client->send("modelList\n");
    ASSERT_TRUE(m.ClientSays(" models", asked)) << m.client->output().substr(asked);
    std::set<std::string> listed;
    int slots = 0, total = -1;
    for (const std::string &line : Lines(Plain(m.client->output().substr(asked)))) {
        int slot;
        char path[256];
        if (sscanf(line.c_str(), "%d \"%255[^\"]\" lods:", &slot, path) == 2 && slot == slots) {
            listed.insert(path);
            slots++;
        }
        sscanf(line.c_str(), "%d models", &total);
    }
    EXPECT_EQ(total, slots);
    EXPECT_TRUE(listed.count("DUMMY"));
    for (const drawnItem_t &d : scene) {
        if (d.drawer == "surface") continue;
        const std::string model = d.name.substr(0, d.name.size() - 4) + ".model";  // the .lo2 beside its .model
        EXPECT_TRUE(listed.count(model)) << model;
    }
    // No drawer met a model it could not draw.
    for (const char *fault : {"CG_DrawPlayerModel:", "CG_DrawDrone:", "CG_DrawGenericModel:", "animated drawing holds"})
        EXPECT_EQ(m.client->output().find(fault), std::string::npos) << fault;
    EXPECT_EQ(m.QuitClient(), 0) << m.client->output().substr(asked);
}

}  // namespace
