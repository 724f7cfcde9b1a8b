// The server inside the real engine, as its start-up sets it up.
#include <gtest/gtest.h>

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

}  // namespace
