// The client game's life cycle and frame against the stand-in engine: start,
// connecting, loading a world from the server's world info, and the frame's
// own work (clamps, the info string, pain, the local connection).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/com_info.h"
#include "game/g_main.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_main.h"
#include "game_cl/cg_model.h"
#include "game_cl/cg_particle_class.h"
#include "game_sv/sg_local.h"
#include "tests/game/fake_engine.h"

namespace {

class Lifecycle : public testing::Test {
protected:
    void SetUp() override {
        fake::Install();
        sgs.running = 0;
        CG_Imp();
    }
    void TearDown() override {
        sgs.running = 0;
        // A change that failed blocks loading: the next test starts from a client game
        // that was never started.
        memset(&cg, 0, sizeof cg);
        memset(&cgw, 0, sizeof cgw);
        fake::Uninstall();
    }

    // One client frame on a clock that moved ms.
    static void Frame(uint32_t ms = 50) {
        fake::Advance(ms);
        CG_Frame();
    }
};

TEST_F(Lifecycle, InitRunsOnceAndRegistersTheConnectionRecord) {
    CG_Init();
    ASSERT_EQ(fake::ecl, &cg.ecl);
    EXPECT_EQ(CG_IsInitialized(), 1);
    EXPECT_EQ(cg.loadingBlocked, 0);
    const size_t drawn = fake::trisPics.size();
    fake::prints.clear();
    CG_Init();
    EXPECT_EQ(fake::trisPics.size(), drawn);
    EXPECT_EQ(fake::prints, (std::vector<std::string>{"CG_Init: Already initialized!!"}));
    CG_Shutdown();
    EXPECT_EQ(CG_IsInitialized(), 0);
}

TEST_F(Lifecycle, ConnectingStartsFromTheDefaultMovementAndCountersAtZero) {
    cg.ccNumber = 40;
    cg.issuedEvents = cg.issuedMoveEvents = 3;
    cg.menu = CG_MENU_LOBBY;
    EXPECT_EQ(CG_ConnectedToServer(), 1);
    EXPECT_EQ(cg.ccNumber, 0u);
    EXPECT_EQ(cg.issuedEvents + cg.issuedMoveEvents, 0u);
    EXPECT_EQ(cg.menu, CG_MENU_NONE);
    EXPECT_FLOAT_EQ(cg.moveParams.gravity, 15.5f);
    EXPECT_FLOAT_EQ(cg.moveParams.jumpSpeed, 6.1f);
    EXPECT_FLOAT_EQ(cg.moveParams.groundFriction, 20.1f);
    EXPECT_FLOAT_EQ(cg.moveParams.crouchAcceleration, 15.0f);
}

TEST_F(Lifecycle, FieldOfViewIsHeldWithinTenToOneHundredForty) {
    const struct {
        const char *set, *after;
    } cases[] = {{"5", "10"}, {"200", "140"}, {"95", "95"}, {"10", "10"}, {"140", "140"}, {"nan", "10"}};
    for (const auto &c : cases) {
        fake::Set("cg_fov", c.set);
        Frame();
        EXPECT_STREQ(fake::Var("cg_fov")->string, c.after) << c.set;
    }
}

TEST_F(Lifecycle, TestTimeRunsAtTmSpeedAndStandsStillAtZero) {
    cg.tmTime = 0;
    fake::Set("tm_speed", "2");
    Frame(250);
    EXPECT_FLOAT_EQ(cg.tmTime, 0.5f);
    fake::Set("tm_speed", "0");
    Frame(250);
    EXPECT_FLOAT_EQ(cg.tmTime, 0.5f);
}

// The module learns of the game time's restart from the time it is given falling
// from near 2^31 ms back to its start; a small step back is no restart.
TEST_F(Lifecycle, OnlyTheGameTimesFallToItsStartIsARestart) {
    fake::qg.time = 0x7FFFFFFFu - 150;
    Frame();
    fake::qg.time -= 1000;
    Frame();
    EXPECT_EQ(g_timeRestart.count, 0u);
    const uint32_t last = qgame.time;
    fake::RestartGameTime();
    Frame(70);
    EXPECT_EQ(g_timeRestart.count, 1u);
    EXPECT_EQ(g_timeRestart.from, last);
    EXPECT_EQ(g_timeRestart.to, COM_TIME_START);
    EXPECT_EQ(G_TimeAge(last - 20), 90);
}

TEST_F(Lifecycle, ConnectedFramesSendNameTeamAndAClampedHandicap) {
    cg.ecl.state = ECL_CONNECTED;
    Com_strncpyz(cg.playerName, "Ann", sizeof cg.playerName);
    const struct {
        const char *set, *sent;
    } cases[] = {{"0", "10"}, {"150", "100"}, {"55", "55"}, {"-3", "10"}};
    for (const auto &c : cases) {
        fake::Set("cg_handicap", c.set);
        Frame();
        ASSERT_FALSE(fake::infoStrings.empty());
        const std::string &is = fake::infoStrings.back();
        EXPECT_STREQ(Com_IS_GetValue(is.c_str(), "handicap"), c.sent) << c.set;
        EXPECT_STREQ(Com_IS_GetValue(is.c_str(), "name"), "Ann");
        EXPECT_STREQ(Com_IS_GetValue(is.c_str(), "team"), "0");
    }
}

TEST_F(Lifecycle, PainFollowsLifeAndHurtAtFourPerSecondAndIsCapped) {
    cg.ecl.state = ECL_CONNECTED;
    const struct {
        uint8_t life;
        float hurt, start;
        int frames;  // of 50 ms: 0.2 of movement each
        float pain;
    } cases[] = {
        {5, 0.0f, 0.0f, 1, 0.2f},   {5, 0.0f, 0.0f, 5, 0.6f},  {45, 0.0f, 0.0f, 3, 0.1f},
        {100, 0.0f, 0.5f, 1, 0.3f}, {100, 0.0f, 0.5f, 9, 0.0f}, {5, 1.0f, 0.0f, 9, 1.0f},
    };
    for (const auto &c : cases) {
        cg.predicted.health = c.life;
        cg.predicted.hitFlash = c.hurt;
        cg.pain = c.start;
        for (int i = 0; i < c.frames; i++) Frame();
        EXPECT_NEAR(cg.pain, c.pain, 1e-5f) << int(c.life) << " " << c.hurt << " " << c.frames;
    }
    cg.pain = 0.7f;
    CG_AddPain(0.5f);
    EXPECT_FLOAT_EQ(cg.pain, 1.0f);
}

// A frame asks for the local server only while the client is disconnected: asking
// again during the handshake would disconnect first and stop that very server.
TEST_F(Lifecycle, LocalServerIsJoinedOnlyFromTheDisconnectedState) {
    const struct {
        int32_t state;
        uint8_t running;
        const char *skip;
        bool asks;
    } cases[] = {
        {ECL_DISCONNECTED, 1, "0", true},  {ECL_CONNECTING, 1, "0", false}, {ECL_CONNECTED, 1, "0", false},
        {ECL_DISCONNECTED, 0, "0", false}, {ECL_DISCONNECTED, 1, "1", false},
    };
    for (const auto &c : cases) {
        fake::added.clear();
        fake::calls.clear();
        cg.ecl.state = c.state;
        sgs.running = c.running;
        fake::Set("cg_skipForceLocal", c.skip);
        Frame();
        Frame();
        const std::vector<std::string> expected =
            c.asks ? std::vector<std::string>{"connect 127.0.0.1", "connect 127.0.0.1"} : std::vector<std::string>{};
        EXPECT_EQ(fake::added, expected) << c.state << " " << int(c.running) << " " << c.skip;
        EXPECT_TRUE(fake::calls.empty()) << c.state;  // the server was never stopped
    }
}

// A world info string of the given keys, as the engine client hands it out.
std::string WorldInfo(const std::vector<std::pair<const char *, const char *>> &keys) {
    char is[MAX_INFO_STRING];
    Com_IS_ClearAllKeys(is);
    for (const auto &k : keys) Com_IS_AddKey(is, k.first, k.second);
    return is;
}

bool Registered(const std::string &path) {
    return std::find(fake::registered.begin(), fake::registered.end(), path) != fake::registered.end();
}

// The errors reported at ER_ERROR: the world change's own (media wrappers report at ER_DROP).
std::vector<fake::error_t> ChangeErrors() {
    std::vector<fake::error_t> out;
    for (const fake::error_t &e : fake::errors)
        if (e.level == ER_ERROR) out.push_back(e);
    return out;
}

constexpr const char *PURE_CHECK = "game/base/sv_pure_check.material";

class WorldChange : public Lifecycle {
protected:
    void SetUp() override {
        Lifecycle::SetUp();
        // Only the materials that are "there" register; the stand-in has no fog models.
        fake::materialHandle = 0;
        fake::materialHandles[PURE_CHECK] = 1;
        cg.ecl.state = ECL_CONNECTED;
        sgs.running = 1;  // a failed change disconnects, which stops this server
    }
    void TearDown() override {
        fake::materialHandle = kept;
        Lifecycle::TearDown();
    }
    const int32_t kept = fake::materialHandle;
};

// What the server's world info names is loaded, or the change fails with the
// system's message; paths that leave the game's tree are never asked for.
TEST_F(WorldChange, WorldInfoKeysLoadTheirMediaOrFailTheChange) {
    const struct {
        const char *what;
        std::vector<std::pair<const char *, const char *>> keys;
        std::vector<const char *> files;
        const char *error;  // null: the change succeeds
    } cases[] = {
        {"no keys at all", {}, {}, nullptr},
        {"no sky key", {{"name", "Ball"}}, {}, nullptr},
        {"an empty sky", {{"sky_path", ""}}, {}, nullptr},
        {"a sky", {{"sky_path", "game/sky/a.material"}}, {"game/sky/a.material"}, nullptr},
        {"a sky that is not there", {{"sky_path", "game/sky/b.material"}}, {},
         "Could not load sky media \"game/sky/b.material\""},
        {"an absolute sky", {{"sky_path", "/etc/sky.material"}}, {"/etc/sky.material"},
         "Could not load sky media \"/etc/sky.material\""},
        {"a sky outside the tree", {{"sky_path", "game/../../sky.material"}}, {"game/../../sky.material"},
         "Could not load sky media \"game/../../sky.material\""},
        {"no fog radius", {{"fog_radius", "0"}, {"fog_lod_path", "game/fog.lo3"}}, {}, nullptr},
        {"fog without a path", {{"fog_radius", "3"}}, {}, nullptr},
        {"fog that is not there", {{"fog_radius", "3"}, {"fog_lod_path", "game/fog.lo3"}}, {},
         "Could not load fog media \"game/fog.lo3\""},
        {"fog outside the tree", {{"fog_radius", "3"}, {"fog_lod_path", "../fog.lo3"}}, {"../fog.lo3"},
         "Could not load fog media \"../fog.lo3\""},
        {"a material", {{"wm3", "game/wm/rock.wm"}}, {"game/wm/rock.wm"}, nullptr},
        {"a material that is not there", {{"wm3", "game/wm/none.wm"}}, {},
         "Could not load material \"game/wm/none.wm\" (1)"},
        {"an absolute material", {{"wm7", "C:/wm/rock.wm"}}, {"C:/wm/rock.wm"},
         "Could not load material \"C:/wm/rock.wm\" (1)"},
        {"a material outside the tree", {{"wm7", "..\\rock.wm"}}, {"..\\rock.wm"},
         "Could not load material \"..\\rock.wm\" (1)"},
    };
    for (const auto &c : cases) {
        SetUp();
        for (const char *f : c.files) {
            fake::files[f] = "wm_name Rock";
            fake::materialHandles[f] = 5;
        }
        fake::clientWorldInfo = WorldInfo(c.keys);
        const uint8_t ok = CG_MapChange("worlds/ball.world");
        EXPECT_EQ(ok, c.error ? 0 : 1) << c.what;
        const std::vector<fake::error_t> errors = ChangeErrors();
        if (c.error) {
            ASSERT_EQ(errors.size(), 1u) << c.what;
            EXPECT_EQ(errors[0].text, c.error) << c.what;
            EXPECT_EQ(fake::calls, (std::vector<std::string>{"shutdown 0"})) << c.what;
            EXPECT_STRNE(cg.mapPath, "worlds/ball.world") << c.what;
        } else {
            EXPECT_TRUE(errors.empty()) << c.what << ": " << errors[0].text;
            EXPECT_STREQ(cg.mapPath, "worlds/ball.world") << c.what;
            EXPECT_EQ(fake::uploaded.size(), 256u * 36u) << c.what;
        }
    }
}

TEST_F(WorldChange, WorldWithoutSkyFogOrMaterialsKeepsTheDefaults) {
    fake::clientWorldInfo = WorldInfo({{"name", "Ball"}, {"fog_radius", "0"}, {"fog_lod_path", "game/fog.lo3"}});
    ASSERT_EQ(CG_MapChange("worlds/ball.world"), 1);
    EXPECT_STREQ(cgw.name, "Ball");
    EXPECT_EQ(cgw.sky, 0);
    EXPECT_EQ(cgw.fogRadius, 0.0f);

    for (const worldMaterial_t &wm : cgw.materials) {
        EXPECT_EQ(wm.stScale[0], 1.0f);
        EXPECT_EQ(wm.baseColor[2], 255.0f);
        EXPECT_EQ(wm.subStrenght, 1.0f);
    }
    EXPECT_EQ(cg.predicted.moveType, MT_SPECTATOR);
}

TEST_F(WorldChange, AFailedPureCheckLeavesTheServer) {
    fake::materialHandles.clear();
    EXPECT_EQ(CG_MapChange("worlds/ball.world"), 0);
    ASSERT_EQ(ChangeErrors().size(), 1u);
    EXPECT_EQ(ChangeErrors()[0].text, "Could not load map media (sv_pure 1?)");
    EXPECT_EQ(fake::calls, (std::vector<std::string>{"shutdown 0"}));
}

// Music plays only from inside the game's tree, and a world change ends what the
// world before began.
TEST_F(WorldChange, MusicOfAWorldEndsWithTheNextWorld) {
    fake::clientWorldInfo = WorldInfo({{"music_path", "game/music/a.ogg"}, {"music_volume", "1"}});
    ASSERT_EQ(CG_MapChange("worlds/a.world"), 1);
    fake::clientWorldInfo = WorldInfo({{"music_path", "/home/b.ogg"}, {"music_volume", "1"}});
    ASSERT_EQ(CG_MapChange("worlds/b.world"), 1);
    fake::clientWorldInfo = WorldInfo({{"music_path", "game/music/c.ogg"}, {"music_volume", "0"}});
    ASSERT_EQ(CG_MapChange("worlds/c.world"), 1);
    std::vector<std::string> music;
    for (const std::string &c : fake::clientCalls)
        if (c.rfind("music", 0) == 0 || c == "endmusic") music.push_back(c);
    EXPECT_EQ(music, (std::vector<std::string>{"music game/music/a.ogg 255", "endmusic"}));
}

// Numbers in the world info that are not numbers, or far too large, neither play
// music nor make fog out of nothing.
TEST_F(WorldChange, WorldNumbersOutOfRangeAreTamed) {
    const struct {
        const char *volume;
        const char *music;  // null: no music starts
    } music[] = {
        {"nan", nullptr}, {"-inf", nullptr}, {"inf", "music game/music/a.ogg 255"},
        {"1e30", "music game/music/a.ogg 255"}, {"0.5", "music game/music/a.ogg 127"},
    };
    for (const auto &c : music) {
        fake::clientCalls.clear();
        cg.musicPlaying = 0;
        fake::clientWorldInfo = WorldInfo({{"music_path", "game/music/a.ogg"}, {"music_volume", c.volume}});
        ASSERT_EQ(CG_MapChange("worlds/a.world"), 1) << c.volume;
        std::vector<std::string> started;
        for (const std::string &call : fake::clientCalls)
            if (call.rfind("music", 0) == 0) started.push_back(call);
        EXPECT_EQ(started, c.music ? std::vector<std::string>{c.music} : std::vector<std::string>{}) << c.volume;
    }
    for (const char *radius : {"nan", "inf", "-inf"}) {
        fake::clientWorldInfo = WorldInfo({{"fog_radius", radius}, {"fog_lod_path", "game/fog.lo3"}});
        ASSERT_EQ(CG_MapChange("worlds/a.world"), 1) << radius;
        EXPECT_EQ(cgw.fogRadius, 0.0f) << radius;
    }
}

TEST_F(WorldChange, AnImageOutsideTheTreeIsNeverAskedFor) {
    fake::files["/tmp/shot.tga"] = "";
    fake::clientWorldInfo = WorldInfo({{"image_path", "/tmp/shot.tga"}});
    ASSERT_EQ(CG_MapChange("worlds/a.world"), 1);
    EXPECT_EQ(cgw.loadingImage, 0);
}

TEST_F(WorldChange, RendererRestartLoadsTheWorldAgainAboveTheWatermarks) {
    fake::materialHandles["game/base/watermark.material"] = 3;
    fake::clientWorldInfo = WorldInfo({{"name", "Ball"}});
    CG_Init();
    ASSERT_EQ(CG_MapChange("worlds/ball.world"), 1);
    fake::clientCalls.clear();
    fake::registered.clear();
    CG_RestartRenderer();
    EXPECT_STREQ(cg.mapPath, "worlds/ball.world");
    EXPECT_TRUE(Registered(PURE_CHECK));
    const std::string mark = std::to_string(cg.watermarks.material + 1);
    EXPECT_NE(std::find(fake::clientCalls.begin(), fake::clientCalls.end(), "unregister material " + mark),
              fake::clientCalls.end());
}

TEST_F(Lifecycle, DisconnectReleasesEachKindAboveItsWatermarkAndKeepsTheMarks) {
    const std::filesystem::path root = std::filesystem::path(HM_SOURCE_DIR) / "data";
    for (const char *path : {"game/base/watermark.material", "game/base/watermark.tga", "game/base/watermark.model",
                             "game/base/watermark.lo3", "game/base/watermark.wav", "game/base/watermark.particle",
                             "game/base/watermark.am2", "game/base/watermark.bo3", "game/p_swat/swat.model"}) {
        std::ifstream in(root / path, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        fake::files[path] = bytes.str();
    }
    // The model templates the definitions include: skeletons and animations.
    for (const auto &entry : std::filesystem::recursive_directory_iterator(root / "game/base/models")) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        fake::files[std::filesystem::relative(entry.path(), root).generic_string()] = bytes.str();
    }
    fake::registerFromFiles = true;
    CG_Init();
    const cgWatermarks_t w = cg.watermarks;
    ASSERT_NE(w.model, 0);
    // Registration order: material, texture, model (own table, with its own level of
    // detail), level of detail, sound, and the material the watermark particle class names.
    std::vector<std::string> marks;
    for (const std::string &r : fake::registrations)
        if (r.find("watermark") != std::string::npos) marks.push_back(r.substr(0, r.find(' ')));
    EXPECT_EQ(marks, (std::vector<std::string>{"material", "texture", "lod", "lod", "sound", "material"}));
    // A world's model goes above the mark and with the connection.
    ASSERT_EQ(CG_LoadModel("game/p_swat/swat.model"), w.model + 1);
    cg.ecl.state = ECL_CONNECTED;
    fake::clientCalls.clear();
    CG_Disconnect(0);
    for (const std::string &call :
         {"unregister material " + std::to_string(w.material + 1), "unregister texture " + std::to_string(w.texture + 1),
          "unregister lod " + std::to_string(w.lod + 1), "unregister sound " + std::to_string(w.sound + 1)})
        EXPECT_NE(std::find(fake::clientCalls.begin(), fake::clientCalls.end(), call), fake::clientCalls.end()) << call;
    EXPECT_EQ(CG_GetNumModels(), w.model + 1);
    EXPECT_EQ(CG_GetNumParticles(), w.particle + 1);
    EXPECT_EQ(CG_GetNumAnimations(), w.animation + 1);
    EXPECT_STREQ(CG_GetModelPath(w.model), "game/base/watermark.model");
    EXPECT_EQ(CG_LoadModel("game/p_swat/swat.model"), w.model + 1);  // loaded anew next time
}

TEST_F(Lifecycle, DisconnectingStopsTheServerInThisProcessOnlyWhenConnected) {
    sgs.running = 1;
    CG_Disconnect(1);
    EXPECT_TRUE(fake::calls.empty());
    cg.ecl.state = ECL_CONNECTED;
    CG_Disconnect(1);
    EXPECT_EQ(fake::calls, (std::vector<std::string>{"shutdown 1"}));
}

}  // namespace
