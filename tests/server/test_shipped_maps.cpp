// The maps shipped in data/game/c_maps: every world file loads through the server's
// reader, every world script names files that exist, and the places its tags mark lie
// in the open just above the ground of the world it loads.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/base.h"
#include "base/cmd.h"
#include "base/files.h"
#include "world/world.h"
#include "common/com_string.h"
#include "server/server.h"
#include "server/sv_world.h"
#include "tests/world/world_build.h"

namespace {

using namespace worldbuild;

const std::filesystem::path kData = std::filesystem::path(HM_SOURCE_DIR) / "data";

std::string ReadAll(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Tag {
    std::string name;
    float pos[3];
};

// What these tests need of a world script, read with the engine's tokenizer.
struct Script {
    std::string matter;
    std::vector<std::pair<int, std::string>> materials;
    std::vector<Tag> tags;
    bool linearGravity = false;
};

Script ReadScript(const std::string &text) {
    Script s;
    const char *p = text.c_str();
    for (;;) {
        const std::string key = Com_ParseCurly(&p, true);
        if (key.empty())
            break;
        if (key == "matter") {
            s.matter = Com_ParseCurly(&p, false);
        } else if (key == "linearGravity") {
            s.linearGravity = true;
        } else if (key == "worldMaterials" || key == "worldTags") {
            EXPECT_STREQ(Com_ParseCurly(&p, true), "{") << key;
            for (std::string word = Com_ParseCurly(&p, true); !word.empty() && word != "}";
                 word = Com_ParseCurly(&p, true)) {
                if (key == "worldMaterials") {
                    s.materials.emplace_back(atoi(word.c_str()), Com_ParseCurly(&p, false));
                    continue;
                }
                Tag t{word, {}};
                for (float &c : t.pos)
                    c = static_cast<float>(atof(Com_ParseCurly(&p, false)));
                for (int i = 0; i < 6; i++)
                    EXPECT_STRNE(Com_ParseCurly(&p, false), "") << word << ": fewer than nine numbers";
                s.tags.push_back(t);
            }
        }
    }
    return s;
}

std::vector<std::filesystem::path> Scripts() {
    std::vector<std::filesystem::path> all;
    for (const auto &entry : std::filesystem::directory_iterator(kData / "game" / "c_maps"))
        if (entry.path().extension() == ".world")
            all.push_back(entry.path());
    std::sort(all.begin(), all.end());
    return all;
}

float Density(const float p[3]) {
    const int x = WO_WorldToVoxel(p[0]), y = WO_WorldToVoxel(p[1]), z = WO_WorldToVoxel(p[2]);
    return static_cast<float>(WO_Density(WO_GetVoxel(x, y, z)));
}

class ShippedMaps : public ::testing::Test {
protected:
    void SetUp() override {
        Cmd_Startup();
        qbase.serverRunning = 1;
        Com_SetupPrintf(PRF_SINKS, CapturePrint, CapturePrint);
        WO_Imp();
        SV_Imp(1);
        WO_InitPool();
        Reset();
        SV_InitSeqGrid();
        g_printed.clear();
    }
    void TearDown() override {
        Reset();
        Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
        qbase.serverRunning = 0;
    }
};

TEST_F(ShippedMaps, EveryMapLoadsItsWorldAndPlacesItsTagsOnTheGround) {
    const std::vector<std::filesystem::path> scripts = Scripts();
    ASSERT_FALSE(scripts.empty());
    std::set<std::string> names;
    for (const std::filesystem::path &path : scripts) {
        SCOPED_TRACE(path.filename().string());
        names.insert(path.filename().string());
        const Script s = ReadScript(ReadAll(path));

        // The world file: accepted whole by the reader, without a page that overflows.
        ASSERT_FALSE(s.matter.empty());
        const std::string world = ReadAll(kData / s.matter);
        ASSERT_FALSE(world.empty()) << s.matter;
        {
            ErrorLog log;
            ASSERT_EQ(SV_LoadVO2FromMemory(world.data(), world.size(), s.matter.c_str(), nullptr), 1);
            EXPECT_TRUE(log.entries.empty()) << log.entries.front().text;
        }
        EXPECT_GT(WO_CountFacesInPool(), 0);

        // Every matter of the world is drawn by a material the script names, and the
        // material files exist: the server turns unnamed matters into matter 0.
        std::set<int> named;
        for (const auto &[number, file] : s.materials) {
            named.insert(number);
            EXPECT_TRUE(std::filesystem::is_regular_file(kData / file)) << file;
        }
        for (int z = 0; z < WO_WORLD_VOXELS; z++)
            for (int y = 0; y < WO_WORLD_VOXELS; y++)
                for (int x = 0; x < WO_WORLD_VOXELS; x++) {
                    const voxel_t v = WO_GetVoxel(x, y, z);
                    if (WO_Density(v)) {
                        ASSERT_TRUE(named.count(WO_Matter(v))) << "matter " << WO_Matter(v);
                    }
                }

        // Each tag in the open with ground at most 5 units below it: towards the
        // centre on a ball, along -Y on a flat world.
        for (const Tag &t : s.tags) {
            SCOPED_TRACE(t.name);
            EXPECT_LT(Density(t.pos), WO_SURFACE_DENSITY);
            float down[3] = {0, -1, 0};
            if (!s.linearGravity) {
                const float r = std::sqrt(t.pos[0] * t.pos[0] + t.pos[1] * t.pos[1] + t.pos[2] * t.pos[2]);
                for (int a = 0; a < 3; a++)
                    down[a] = -t.pos[a] / r;
            }
            bool ground = false;
            for (float step = 0.1f; step <= 5.0f && !ground; step += 0.1f) {
                const float q[3] = {t.pos[0] + down[0] * step, t.pos[1] + down[1] * step, t.pos[2] + down[2] * step};
                ground = Density(q) >= WO_SURFACE_DENSITY;
            }
            EXPECT_TRUE(ground) << "no ground below";
        }
    }

    // The map cycle names shipped scripts only.
    std::istringstream cycle(ReadAll(kData / "mapcycle.txt"));
    int words = 0;
    for (std::string word; cycle >> word; words++)
        EXPECT_TRUE(names.count(word)) << word << " in mapcycle.txt";
    EXPECT_GT(words, 0);
}

}  // namespace
