// The interface's console in the test build with the headless renderer: the engine's
// printed lines, from before the module loaded and after, reach it and con_dump writes
// them to a file; a line typed at its prompt runs, also after the client restarted; and
// the console and chat histories written into config.cfg at quit are back after a restart.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/engine_process.h"

namespace {

using e2e::CopyData;
using e2e::Engine;
using e2e::TempDir;

// A client of the test build alone, without a server and without the intro.
std::unique_ptr<Engine> StartClient(const TempDir &dir) {
    auto engine = std::make_unique<Engine>(
        dir.path(), std::vector<std::string>{"+set", "client", "1", "+set", "cg_skipIntro", "1"}, "engine_headless");
    return engine;
}

// Waits until the engine has run every line sent before: a word it does not know comes
// back as its complaint.
bool Settle(Engine &engine, const std::string &word) {
    engine.send(word + "\n");
    return engine.waitFor("Unknown command \"" + word + "\"", 20);
}

// Types text at the lowered console's prompt, one character command each, then Enter.
void TypeLine(Engine &engine, const std::string &text) {
    std::string lines;
    for (unsigned char c : text) lines += "in_char " + std::to_string(c) + "\n";
    engine.send(lines + "in_char 13\n");
}

TEST(UiConsole, PrintedLinesReachTheConsoleAndConDumpWritesThem) {
    TempDir dir;
    CopyData(dir);
    auto engine = StartClient(dir);
    ASSERT_TRUE(engine->waitFor("CL_Init: Starting up client done")) << engine->output();
    ASSERT_TRUE(Settle(*engine, "printed_after_start")) << engine->output();
    engine->send("con_dump console\n");
    ASSERT_TRUE(engine->waitFor("lines to", 10)) << engine->output();
    const std::string dump = dir.read("console.txt");
    // A line of the engine's start, printed before the module was loaded, and lines after.
    EXPECT_NE(dump.find("Base_Init"), std::string::npos) << dump;
    EXPECT_NE(dump.find("CL_Init: Starting up client done"), std::string::npos) << dump;
    EXPECT_NE(dump.find("Unknown command \"printed_after_start\""), std::string::npos) << dump;
    engine->send("con_dump\n");
    EXPECT_TRUE(engine->waitFor("con_dump <file name>", 10)) << engine->output();

    // A client stopped and started again types into the console's new atoms.
    engine->send("con_toggle 1 fast\n");
    ASSERT_TRUE(Settle(*engine, "lowered")) << engine->output();
    engine->send("client 0\n");
    ASSERT_TRUE(engine->waitFor("CL_Shutdown: Client shut downed", 10)) << engine->output();
    engine->send("client 1\n");
    ASSERT_TRUE(Settle(*engine, "restarted")) << engine->output();
    TypeLine(*engine, "con_dump again");
    EXPECT_TRUE(engine->waitFor("again.txt", 10)) << engine->output();
    engine->send("quit\n");
    EXPECT_EQ(engine->finish(), 0) << engine->output();
}

TEST(UiConsole, HistoriesWrittenAtQuitAreBackAfterARestart) {
    TempDir dir;
    CopyData(dir);
    {
        auto engine = StartClient(dir);
        ASSERT_TRUE(engine->waitFor("CL_Init: Starting up client done")) << engine->output();
        engine->send("con_toggle 1 fast\n");
        ASSERT_TRUE(Settle(*engine, "lowered")) << engine->output();
        TypeLine(*engine, "con_dump typed");
        ASSERT_TRUE(engine->waitFor("typed.txt", 10)) << engine->output();
        // A chat line that would end the engine if its ';' split it when the file runs again.
        engine->send("addChatHistory \"gg;quit\"\n");
        ASSERT_TRUE(Settle(*engine, "chatted")) << engine->output();
        engine->send("quit\n");
        ASSERT_EQ(engine->finish(), 0) << engine->output();
    }
    const std::string config = dir.read("config.cfg");
    EXPECT_NE(config.find("addConsoleHistory \"con_dump typed\"\n"), std::string::npos) << config;
    EXPECT_NE(config.find("addChatHistory \"gg;quit\"\n"), std::string::npos) << config;
    std::filesystem::remove(dir.file("typed.txt"));

    auto engine = StartClient(dir);
    ASSERT_TRUE(engine->waitFor("CL_Init: Starting up client done")) << engine->output();
    ASSERT_TRUE(Settle(*engine, "restarted")) << engine->output();
    // Up at the prompt brings the typed line back; Enter runs it again.
    engine->send("con_toggle 1 fast\n");
    ASSERT_TRUE(Settle(*engine, "lowered")) << engine->output();
    engine->send("in_key_down 72\nin_key_up 72\nin_char 13\n");
    EXPECT_TRUE(engine->waitFor("typed.txt", 10)) << engine->output();
    EXPECT_TRUE(dir.exists("typed.txt"));
    engine->send("quit\n");
    ASSERT_EQ(engine->finish(), 0) << engine->output();
    const std::string again = dir.read("config.cfg");
    EXPECT_NE(again.find("addConsoleHistory \"con_dump typed\"\n"), std::string::npos) << again;
    EXPECT_NE(again.find("addChatHistory \"gg;quit\"\n"), std::string::npos) << again;
}

}  // namespace
