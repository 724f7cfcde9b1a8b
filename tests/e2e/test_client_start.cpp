// A client starting in a running engine: on the test build with the headless renderer
// it registers its fonts and draws its loading text; on the shipped engine, whose
// renderer draws nothing, it refuses to start and the server goes on serving.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/engine_process.h"
#include "tests/e2e/udp_peer.h"

namespace {

using e2e::Engine;
using e2e::TempDir;

// The default data, as a player's installation has it.
void CopyDefaultData(const TempDir &dir) {
    std::filesystem::copy(std::string(HM_SOURCE_DIR) + "/data", dir.path(),
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
}

std::vector<std::string> Args(const TempDir &dir) {
    return {"-dedicated", "-basedir", dir.path(), "+set", "sv_lanServer", "1", "+set", "map", "planet"};
}

TEST(ClientStart, HeadlessClientRegistersFontsAndDrawsItsLoadingText) {
    TempDir dir;
    CopyDefaultData(dir);
    Engine engine(dir.path(), Args(dir), "engine_headless");
    ASSERT_TRUE(engine.waitFor("Server is up and running")) << engine.output();
    // The client stays away from the server here, and shows no intro, notify rows or
    // menus, so that its screens draw nothing more.
    engine.send("cg_skipForceLocal 1\ncg_skipIntro 1\ncon_skipNotify 1\nui_skipUi 1\n");
    engine.send("client 1\n");
    ASSERT_TRUE(engine.waitFor("CL_Init: Starting up client done")) << engine.output();
    EXPECT_NE(engine.output().find("Font: \"game/base/normal.font\""), std::string::npos) << engine.output();
    engine.send("re_counts\n");
    // The loading frame: the black screen (4 vertexes) and "LOADING..." with its shadow
    // (10 glyphs in two passes, 4 vertexes and 6 indexes each); the frames after it
    // draw nothing while the client has no server.
    EXPECT_TRUE(engine.waitFor(" surfaces 2 vertexes 84 indexes 126", 10)) << engine.output();
    engine.send("client 0\n");
    EXPECT_TRUE(engine.waitFor("CL_Shutdown: Client shut downed", 10)) << engine.output();
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
}

TEST(ClientStart, ShippedEngineRefusesAClientAndKeepsServing) {
    TempDir dir;
    CopyDefaultData(dir);
    Engine engine(dir.path(), Args(dir));
    ASSERT_TRUE(engine.waitFor("Server is up and running")) << engine.output();
    const int port = e2e::EnginePort(engine);
    ASSERT_GT(port, 0) << engine.output();
    engine.send("client 1\n");
    ASSERT_TRUE(engine.waitFor("CL_Init: this engine has no renderer to draw with; the client cannot start"))
        << engine.output();
    engine.send("client\n");
    EXPECT_TRUE(engine.waitFor("client = \"0\"", 10)) << engine.output();

    e2e::Peer peer;
    std::string answer;
    for (const e2e::Deadline deadline(5); !deadline.passed() && answer.rfind("serverinfo", 0) != 0;) {
        peer.send(port, e2e::OutOfBand("poll 5 6"));
        answer = peer.receiveText();
    }
    EXPECT_EQ(answer.rfind("serverinfo", 0), 0u) << "no serverinfo answer to a poll within 5 s: the server stopped answering\n" << engine.output();
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
}

}  // namespace
