// The engine with the real game module: loading, the module's greeting through
// its print trap, the default key script and unloading at quit.
#include <gtest/gtest.h>

#include "tests/e2e/engine_process.h"

namespace {

TEST(EngineWithModule, LoadsTheRealModuleAndUnloadsItAtQuit) {
    e2e::TempDir dir;
    e2e::Engine engine(dir.path(), {"-dedicated"});
    ASSERT_TRUE(engine.waitFor("Base_Init Done")) << engine.output();
    // The default key script is written while config.cfg does not exist yet.
    ASSERT_TRUE(dir.exists("config.cfg"));
    EXPECT_EQ(dir.read("config.cfg").size(), 1100u);
    engine.send("quit\n");
    ASSERT_EQ(engine.finish(), 0) << engine.output();

    const std::string out = engine.output();
    const char *const order[] = {
        "Loading Game Module: \"game\"...",
        "Loaded GAME \"Hollowmere\" version: 1.10b",
        "Wrote standard config to config.cfg",
        "Game Module says HELLO!",
        "Unloaded game DLL",
    };
    size_t at = 0;
    for (const char *line : order) {
        const size_t found = out.find(std::string(line) + "\n", at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << out;
        at = found;
    }
}

TEST(EngineWithModule, ExistingConfigurationIsNotReplacedByTheKeyScript) {
    e2e::TempDir dir;
    dir.write("config.cfg", "bind x pressed cc_fire\n");
    e2e::Engine engine(dir.path(), {"-dedicated", "-safe"});
    ASSERT_TRUE(engine.waitFor("Base_Init Done")) << engine.output();
    engine.send("quit\n");
    ASSERT_EQ(engine.finish(), 0) << engine.output();
    EXPECT_EQ(engine.output().find("Wrote standard config"), std::string::npos) << engine.output();
    EXPECT_EQ(dir.read("config.cfg"), "bind x pressed cc_fire\n");
}

TEST(EngineWithModule, KeyScriptLandsInTheBaseDirectoryAndItsBindingsAreKept) {
    e2e::TempDir work, base;
    e2e::Engine engine(work.path(), {"-dedicated", "-basedir", base.path()});
    ASSERT_TRUE(engine.waitFor("Base_Init Done")) << engine.output();
    engine.send("quit\n");
    ASSERT_EQ(engine.finish(), 0) << engine.output();
    EXPECT_FALSE(work.exists("config.cfg"));
    // The script ran from the base directory, so its bindings are in the dump.
    EXPECT_NE(base.read("config.cfg").find("cc_scoreboard"), std::string::npos) << base.read("config.cfg");
}

}  // namespace
