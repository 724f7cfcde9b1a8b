// Client world logic: the quick reader of world script headers, the turning sky,
// and the world-material tools behind wmList and wmReload.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "common/com_info.h"
#include "game/g_entity.h"
#include "game/g_main.h"
#include "game_cl/cg_commands.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_world.h"
#include "tests/game/fake_engine.h"

namespace {

struct World : testing::Test {
    void SetUp() override {
        fake::Install();
        memset(&cg, 0, sizeof cg);
        memset(&cgw, 0, sizeof cgw);
        qgame = fake::qg;
    }
    void TearDown() override { fake::Uninstall(); }
};

TEST_F(World, HeaderReaderTakesItsKeysSkipsTheRestAndFailsOnAStrayBrace) {
    struct headerCase_t {
        const char *label;
        std::string text;
        bool ok;
        std::string name, description;
        int32_t rules, maxPlayers;
    };
    const std::string longText(200, 'd');
    const headerCase_t cases[] = {
        {"defaults", "worldFile w.vo2\n", true, "", "", 1, 8},
        {"keys", "name \"Deep Pit\"\nrules cc\nmaxPlayers 12\ndescription \"dig down\"\n", true, "Deep Pit",
         "dig down", 3, 12},
        {"long description is cut", "description " + longText + "\n", true, "", longText.substr(0, 127), 1, 8},
        {"block is skipped whole", "tags\n{\nname Inner\nrules f\n}\nname Outer\n", true, "Outer", "", 1, 8},
        {"other keys skip their line", "spawn name Wrong\nname Right\n", true, "Right", "", 1, 8},
        {"brace on the key's line ends in failure", "tags {\nname Inner\n}\nname Late\n", false, "Inner", "", 1, 8},
    };
    for (const headerCase_t &c : cases) {
        SCOPED_TRACE(c.label);
        fake::files["game/worlds/pit.world"] = c.text;
        worldScriptHeader_t h;
        memset(&h, 0x55, sizeof h);
        EXPECT_EQ(CG_TurboParseWorldScript(&h, "game/worlds/pit.world"), c.ok);
        EXPECT_STREQ(h.path, "game/worlds/pit.world");
        EXPECT_EQ(h.name, c.name);
        EXPECT_EQ(h.description, c.description);
        EXPECT_EQ(h.rules, c.rules);
        EXPECT_EQ(h.maxPlayers, c.maxPlayers);
        EXPECT_EQ(h.loadingMiniImage, 0);
    }
    EXPECT_TRUE(fake::errors.empty());
}

TEST_F(World, HeaderReaderReportsAMissingScriptAndRegistersTheMiniImageQuietly) {
    worldScriptHeader_t h;
    EXPECT_FALSE(CG_TurboParseWorldScript(&h, "game/worlds/none.world"));
    EXPECT_EQ(fake::errors,
              (std::vector<fake::error_t>{{ER_ERROR, "G_TurboParseWorldScript: Could not open file \"game/worlds/none.world\""}}));
    EXPECT_STREQ(h.path, "game/worlds/none.world");
    EXPECT_EQ(h.rules, 1);

    fake::errors.clear();
    fake::registerFromFiles = true;
    fake::files["game/worlds/pic.tga"] = "x";
    fake::files["game/worlds/a.world"] = "loadingMiniImage game/worlds/pic.tga\n";
    fake::files["game/worlds/b.world"] = "loadingMiniImage game/worlds/gone.tga\n";
    ASSERT_TRUE(CG_TurboParseWorldScript(&h, "game/worlds/a.world"));
    EXPECT_NE(h.loadingMiniImage, 0);
    ASSERT_TRUE(CG_TurboParseWorldScript(&h, "game/worlds/b.world"));
    EXPECT_EQ(h.loadingMiniImage, 0);
    EXPECT_TRUE(fake::errors.empty());
}

TEST_F(World, SkyTurnsByItsSpeedAndWraps) {
    cgw.skySpeed[1] = 10;
    cg.skyAngles[1] = 355;
    qgame.frameSeconds = 1;
    CG_WorldThink();
    EXPECT_FLOAT_EQ(cg.skyAngles[0], 0);
    EXPECT_FLOAT_EQ(cg.skyAngles[1], 5);
    cgw.skySpeed[2] = -90;
    CG_WorldThink();
    EXPECT_FLOAT_EQ(cg.skyAngles[1], 15);
    EXPECT_FLOAT_EQ(cg.skyAngles[2], 270);
    // A speed that is no number stops that angle at 0 instead of spoiling it.
    cgw.skySpeed[0] = NAN;
    CG_WorldThink();
    EXPECT_FLOAT_EQ(cg.skyAngles[0], 0);
}

// A world info string of the keys.
std::string WorldInfo(const std::vector<std::pair<const char *, const char *>> &keys) {
    char is[MAX_INFO_STRING];
    Com_IS_ClearAllKeys(is);
    for (const auto &k : keys) Com_IS_AddKey(is, k.first, k.second);
    return is;
}

// The meteors of the effect entities, with their heads.
std::vector<const centity_t *> Meteors() {
    std::vector<const centity_t *> out;
    for (const centity_t &e : cg.cEntities)
        if (e.s.inUse && e.s.type == ET_METEOR) out.push_back(&e);
    return out;
}

TEST_F(World, MeteorsRainAlongTheWorldsDirectionEvery150MsAtMostOncePerFrame) {
    cgw.spaceAlt = 40;
    const std::string none = WorldInfo({{"name", "Ball"}});
    cg.worldInfo = none.c_str();
    for (int i = 0; i < 10; i++) {
        fake::Advance(200);
        qgame = fake::qg;
        CG_WorldThink();
    }
    EXPECT_TRUE(Meteors().empty());

    const std::string rain = WorldInfo({{"name", "Ball"}, {"meteor_dir", "0 0 -2"}});
    cg.worldInfo = rain.c_str();
    // Frames of 50 ms: one meteor each 150 ms; frames of 400 ms: still one per frame.
    const struct {
        uint32_t frameMs;
        int frames;
        size_t meteors;
    } steps[] = {{50, 12, 4}, {400, 3, 3}};
    size_t total = 0;
    fake::Advance(1000);
    qgame = fake::qg;
    CG_WorldThink();
    total = Meteors().size();
    ASSERT_EQ(total, 1u);
    for (const auto &s : steps) {
        for (int i = 0; i < s.frames; i++) {
            fake::Advance(s.frameMs);
            qgame = fake::qg;
            CG_WorldThink();
        }
        EXPECT_EQ(Meteors().size() - total, s.meteors) << s.frameMs;
        total = Meteors().size();
    }
    for (const centity_t *m : Meteors()) {
        // Tail 120 further along the direction; the head beside the line through the
        // centre at 75 + space altitude to 1075 + space altitude, 3000 up the line.
        EXPECT_NEAR(m->meteorTail[2] - m->meteorHead[2], -120, 1e-3f);
        EXPECT_NEAR(m->meteorHead[2], 3000, 1e-2f);
        const float side = std::hypot(m->meteorHead[0], m->meteorHead[1]);
        EXPECT_GE(side, 115 - 1e-3f);
        EXPECT_LE(side, 1115 + 1e-3f);
    }
}

struct WorldMaterials : World {
    void SetUp() override {
        World::SetUp();
        CG_RegisterVariables();
        CG_RegisterCommands();
        fake::materialHandles["game/wm/rock.material"] = 41;
        G_ParseWorldMaterial(&cgw.materials[3], "", "game/wm/rock.material", 0);
        G_ParseWorldMaterial(&cgw.materials[255], "", "game/wm/void.material", 1);
        fake::prints.clear();
    }
};

TEST_F(WorldMaterials, ListNamesEachMaterialButTheLast) {
    fake::Run("wmList");
    EXPECT_EQ(fake::prints,
              (std::vector<std::string>{"\xA4" "08  3\xA4" "00: \"\xA4" "08game/wm/rock.material\xA4" "00\""}));
}

TEST_F(WorldMaterials, ReloadParsesTheFileAgainAndRetessellates) {
    static std::vector<std::string> ran;
    ran.clear();
    fake::functions["matreload"] = [] { ran.push_back("matreload " + fake::args.at(1)); };
    fake::functions["wo_retess"] = [] { ran.push_back("wo_retess"); };
    fake::files["game/wm/rock.material"] = "wm_name Granite\nwm_subStrenght 0.25\n";
    fake::Run("wmReload 3");
    EXPECT_EQ(ran, (std::vector<std::string>{"matreload 41", "wo_retess"}));
    EXPECT_STREQ(cgw.materials[3].name, "Granite");
    EXPECT_FLOAT_EQ(cgw.materials[3].subStrenght, 0.25f);
    EXPECT_EQ(fake::uploaded.size(), static_cast<size_t>(WORLD_MATTERS_BLOCK_SIZE));
    EXPECT_TRUE(fake::added.empty());  // run at once, not left in the buffer
    EXPECT_TRUE(fake::errors.empty());

    fake::files.erase("game/wm/rock.material");
    fake::Run("wmReload 3");
    EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{{ER_ERROR, "Could not open file \"game/wm/rock.material\""}}));
}

TEST_F(WorldMaterials, ReloadRefusesANumberOutsideTheTable) {
    for (const char *index : {"-1", "256", "2147483647", "-2147483648"}) {
        SCOPED_TRACE(index);
        fake::prints.clear();
        fake::uploaded.clear();
        fake::Run(std::string("wmReload ") + index);
        EXPECT_TRUE(fake::uploaded.empty());
        ASSERT_EQ(fake::prints.size(), 1u);
        EXPECT_NE(fake::prints[0].find("no world material"), std::string::npos);
    }
    EXPECT_TRUE(fake::errors.empty());
}

}  // namespace
