// The interface's console in the test build with the headless renderer: the engine's
// printed lines, from before the module loaded and after, reach it (the reasons of a
// failed load too) and con_dump writes them to a file; a line typed at its prompt runs,
// also after the client restarted; and the console and chat histories written into
// config.cfg at quit are back after a restart, with the favourites and bindings,
// however large the file grows.
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
    // The reason a load failed, collected while it ran, is printed with the failure.
    engine->send("tm_loadModel nonexist.model\n");
    ASSERT_TRUE(engine->waitFor("Could not load \"nonexist.model\"", 10)) << engine->output();
    EXPECT_NE(e2e::Plain(engine->output()).find("ERROR: CG_RegisterModel: Couldn't open file \"nonexist.model\"\n"
                                                "Could not load \"nonexist.model\""),
              std::string::npos)
        << engine->output();

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

// What the player added, quit, started, quit and started again: config.cfg grows far
// past the command buffer and still runs whole at every start.
TEST(UiConsole, AConfigurationLargerThanTheCommandBufferKeepsEverythingOverRestarts) {
    TempDir dir;
    CopyData(dir);
    std::vector<std::string> favourites, history;
    for (int i = 0; i < 300; i++)
        favourites.push_back("10.0." + std::to_string(i / 200) + "." + std::to_string(i % 200 + 1) + ":" +
                             std::to_string(20000 + i));
    for (int i = 0; i < 30; i++) {
        std::string line = "echo history line " + std::to_string(i) + " ";
        while (line.size() < 240) line += static_cast<char>('a' + line.size() % 26);
        history.push_back(line);
    }
    // A chat line of 1,000 characters, given as four words: the engine keeps 255
    // characters of one word.
    std::string chat;
    for (int i = 0; chat.size() < 1000; i++) chat += (i && i % 250 == 0) ? ' ' : static_cast<char>('A' + i % 26);
    {
        auto engine = StartClient(dir);
        ASSERT_TRUE(engine->waitFor("CL_Init: Starting up client done")) << engine->output();
        // In batches, so that no frame's standard input overfills the command buffer.
        for (size_t i = 0; i < favourites.size(); i += 50) {
            std::string lines;
            for (size_t k = i; k < i + 50 && k < favourites.size(); k++) lines += "addFavorite " + favourites[k] + "\n";
            engine->send(lines);
            ASSERT_TRUE(Settle(*engine, "favourites" + std::to_string(i))) << engine->output();
        }
        for (size_t i = 0; i < history.size(); i += 10) {
            std::string lines;
            for (size_t k = i; k < i + 10; k++) lines += "addConsoleHistory \"" + history[k] + "\"\n";
            engine->send(lines);
            ASSERT_TRUE(Settle(*engine, "history" + std::to_string(i))) << engine->output();
        }
        engine->send("addChatHistory " + chat + "\nbind F7 pressed \"say bound\"\n");
        ASSERT_TRUE(Settle(*engine, "added")) << engine->output();
        engine->send("quit\n");
        ASSERT_EQ(engine->finish(), 0) << engine->output();
    }
    const std::string first = dir.read("config.cfg");
    ASSERT_GT(first.size(), 16384u);
    auto holdsEverything = [&](const std::string &config) {
        for (const std::string &f : favourites)
            if (config.find("addfavorite " + f + "\n") == std::string::npos) return "favourite " + f;
        for (const std::string &h : history)
            if (config.find("addConsoleHistory \"" + h + "\"\n") == std::string::npos) return "history " + h;
        const std::string pieces = "addChatHistory \"" + chat.substr(0, 255) + "\" \"\" \"" + chat.substr(255, 255) +
                                   "\" \"\" \"" + chat.substr(510, 255) + "\" \"\" \"" + chat.substr(765) + "\"\n";
        if (config.find(pieces) == std::string::npos) return std::string("the chat line");
        if (config.find("bind \"f7\" pressed \"say bound\"\n") == std::string::npos) return std::string("the binding");
        if (config.find("bind \"w\" down \"cc_forward\"\n") == std::string::npos) return std::string("a standard binding");
        return std::string();
    };
    ASSERT_EQ(holdsEverything(first), "") << first;

    std::string outputs;
    for (int start = 0; start < 2; start++) {
        auto engine = StartClient(dir);
        ASSERT_TRUE(engine->waitFor("CL_Init: Starting up client done")) << engine->output();
        engine->send("listKeys\n");
        EXPECT_TRUE(engine->waitFor("say bound", 20)) << engine->output();
        engine->send("quit\n");
        ASSERT_EQ(engine->finish(), 0) << engine->output();
        outputs += engine->output();
        const std::string config = dir.read("config.cfg");
        EXPECT_EQ(holdsEverything(config), "") << "after start " << start << ":\n" << config;
    }
    EXPECT_EQ(outputs.find("too long"), std::string::npos) << outputs;
    EXPECT_EQ(outputs.find("Dropping"), std::string::npos) << outputs;
}

}  // namespace
