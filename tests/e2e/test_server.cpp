// The server inside the real engine, as its start-up sets it up.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/e2e/engine_process.h"

namespace {

using e2e::Engine;
using e2e::TempDir;

TEST(EngineServer, ADedicatedEngineIsNoLanOnlyServerUnlessTheOperatorSaysSo) {
    struct {
        std::vector<std::string> args;
        const char *lan;
    } const cases[] = {
        {{"-dedicated", "-safe"}, "0"},
        {{"-dedicated", "-safe", "+set", "sv_lanServer", "1"}, "1"},  // the operator's word wins
    };
    for (const auto &c : cases) {
        TempDir dir;
        Engine engine(dir.path(), c.args);
        ASSERT_TRUE(engine.waitFor("Base_Init Done")) << engine.output();
        engine.send("sv_lanServer\n");
        EXPECT_TRUE(engine.waitFor(std::string("sv_lanServer = \"") + c.lan + "\"", 10)) << engine.output();
        engine.send("quit\n");
        EXPECT_EQ(engine.finish(), 0) << engine.output();
    }
}

// A material file the world names holds a key this build does not know: the operator of
// a dedicated server, which has no client game to show such messages, reads why.
TEST(EngineServer, ADedicatedServerPrintsWhyAMaterialFileWasNotReadWhole) {
    TempDir dir;
    e2e::CopyData(dir);
    std::ofstream(dir.path() + "/game/c_materials/world/rock.material", std::ios::app) << "\nwm_shine 1\n";
    Engine engine(dir.path(), {"-dedicated", "+set", "sv_lanServer", "1", "+set", "map", "planet"});
    ASSERT_TRUE(engine.waitFor("Server is up and running", 60)) << engine.output();
    const std::string shown = "ERROR: game/c_materials/world/rock.material(8): Unknown token \"wm_shine\"";
    EXPECT_NE(e2e::Plain(engine.output()).find(shown), std::string::npos) << engine.output();
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
}

}  // namespace
