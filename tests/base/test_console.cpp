// The print path, the error levels, the console ring, the log and the error dump.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "base/base.h"
#include "base/cmd.h"
#include "base/console.h"
#include "base/files.h"
#include "base/sys.h"
#include "common/common.h"
#include "tests/base/scratch_dir.h"

namespace {

// The engine's sinks installed, the base variables the print path reads declared,
// an empty ring, and a working directory of the test's own for the log and dumps.
class Console : public testing::Test {
protected:
    ScratchDir dir{true};
    void SetUp() override {
        Cmd_Startup();
        FS_StartUp(nullptr);  // the log is opened through the file system
        Cmd_CreateCVar(&base_timeStamp, "base_timeStamp", "0", 0);
        Cmd_CreateCVar(&base_log, "base_log", "0", 0);
        Cmd_CreateCVar(&base_skipWarning, "base_skipWarning", "0", 0);
        memset(&con_ring, 0, sizeof con_ring);
        er_saveoff[0] = 0;
        er_recursive = 0;
        con_hooks = {};
        qbase.developer = 0;
        qbase.quietConsole = 0;
        Com_SetupPrintf(PRF_SINKS, Base_Print, Base_DPrint);
        Com_SetupError(Base_Error);
    }
    void TearDown() override {
        Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
        Com_SetupError(nullptr);
        con_hooks = {};
        qbase.developer = 0;
        dir.Leave();
        FS_StartUp(nullptr);  // no later test may find the file system in a removed directory
    }
    static std::string Ring() { return reinterpret_cast<const char *>(con_ring.ring); }
    // What the calls of f write on standard output.
    template <typename F> static std::string Stdout(F f) {
        testing::internal::CaptureStdout();
        f();
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(Console, PrintGoesToTheRingAndStandardOutputWithoutColourKeysThere) {
    const std::string out = Stdout([] { Com_Printf("\xA4" "03red\xA4" "00 text"); });
    EXPECT_EQ(out, "red text\n");
    EXPECT_EQ(Ring(), "\xA4" "03red\xA4" "00 text\n");
    EXPECT_EQ(con_ring.count, 15u);

    qbase.quietConsole = 1;
    EXPECT_EQ(Stdout([] { Com_Printf("quiet"); }), "");
    EXPECT_EQ(Ring(), "\xA4" "03red\xA4" "00 text\nquiet\n");
}

TEST_F(Console, TextsLongerThan992CharactersAreDroppedWhole) {
    const std::string fits(992, 'a'), dropped(993, 'b');
    EXPECT_EQ(Stdout([&] { Base_Print(dropped.c_str()); }), "");
    EXPECT_EQ(con_ring.count, 0u);
    EXPECT_EQ(Stdout([&] { Base_Print(fits.c_str()); }), fits + "\n");
    EXPECT_EQ(con_ring.count, 993u);
}

TEST_F(Console, TimeStampAndLogFollowTheirVariables) {
    Cmd_SetCVar(&base_timeStamp, "1", 0);
    Cmd_SetCVar(&base_log, "1", 0);
    const std::string out = Stdout([] { Com_Printf("\xA4" "08hello"); });
    EXPECT_TRUE(std::regex_match(out, std::regex("[0-3][0-9] [0-2][0-9]:[0-5][0-9] hello\n"))) << out;
    EXPECT_TRUE(std::regex_match(dir.Read("log.txt"), std::regex("[0-3][0-9] [0-2][0-9]:[0-5][0-9] hello\n")));

    Cmd_SetCVar(&base_timeStamp, "0", 0);
    Sys_ClearLog();
    Stdout([] { Com_Printf("second"); });
    EXPECT_EQ(dir.Read("log.txt"), "\nsecond\n");
}

TEST_F(Console, DeveloperTextShowsOnlyInDeveloperMode) {
    EXPECT_EQ(Stdout([] { Com_DPrintf("hidden"); }), "");
    qbase.developer = 1;
    EXPECT_EQ(Stdout([] { Com_DPrintf("shown"); }), "(dev) shown\n");
    EXPECT_EQ(Ring(), "\xA4" "08(dev)\xA4" "00 shown\n");
}

TEST_F(Console, ShortConWritesTheRingOnly) {
    EXPECT_EQ(Stdout([] { Base_ShortCon("quiet line"); }), "");
    EXPECT_EQ(Ring(), "quiet line\n");
}

TEST_F(Console, PrintedLinesReachTheEchoAndTheModuleConsole) {
    static std::string echoed, shown;
    con_hooks.rconEcho = [](const char *t) { echoed = t; };
    con_hooks.moduleConsole = [](const char *t) { shown = t; };
    Cmd_SetCVar(&base_timeStamp, "1", 0);
    Stdout([] { Com_Printf("%s", "100% \"quoted\""); });
    EXPECT_EQ(echoed, "100% \"quoted\"");  // unstamped, verbatim
    EXPECT_TRUE(std::regex_match(shown, std::regex("\\d\\d \\d\\d:\\d\\d 100% \"quoted\"")));
}

TEST_F(Console, ReportingLevelsPrintAndGoOn) {
    struct Case {
        int level;
        bool developer, skipWarning;
        const char *out;
    } cases[] = {
        {ER_ERROR, false, false, "ERROR: x\n"},
        {12, false, false, "ERROR: x\n"},
        {-3, false, false, "ERROR: x\n"},
        {ER_ERROR, false, true, "ERROR: x\n"},
        {ER_WARNING, false, false, "WARNING: x\n"},
        {ER_WARNING, false, true, ""},
        {ER_DEVWARNING, false, false, ""},
        {ER_DEVWARNING, true, false, "DEV WARNING: x\n"},
        {ER_DEVWARNING, true, true, ""},
        {ER_NOTIFY, false, false,
         "********************************************\nHollowmere Notify: x\n"
         "********************************************\n"},
        {ER_SAVEOFF, false, false, ""},
        {ER_SHOWSAVEOFF, false, false, "ERROR: x\n"},  // the text saved off just before
    };
    for (const Case &c : cases) {
        qbase.developer = c.developer;
        Cmd_SetCVar(&base_skipWarning, c.skipWarning ? "1" : "0", 0);
        int result = -1;
        EXPECT_EQ(Stdout([&] { result = Com_Error(c.level, "x"); }), c.out) << "level " << c.level;
        EXPECT_EQ(result, 0);
        EXPECT_STREQ(er_lasterror, "x");
        EXPECT_EQ(er_recursive, 0);
    }
    EXPECT_EQ(Ring().substr(0, 15), "\xA4" "03ERROR: \xA4" "00x\n");
}

TEST_F(Console, SavedOffTextsCollectOneALineUpToTheirLimit) {
    Com_Error(ER_SAVEOFF, "a");
    Com_Error(ER_SAVEOFF, "b");
    EXPECT_STREQ(er_saveoff, "a\nb\n");
    // No box shows them on this host: they are printed, and the store starts again.
    EXPECT_EQ(Stdout([] { Com_Error(ER_SHOWSAVEOFF, "%s", ""); }), "ERROR: a\nERROR: b\n");
    EXPECT_STREQ(er_saveoff, "");
    EXPECT_STREQ(er_lasterror, "");
    EXPECT_EQ(Stdout([] { Com_Error(ER_SHOWSAVEOFF, "%s", ""); }), "");
    const std::string longest(ER_TEXT_SIZE - 1, 'l');
    Com_Error(ER_SAVEOFF, "%s", longest.c_str());
    EXPECT_EQ(Stdout([] { Com_Error(ER_SHOWSAVEOFF, "%s", ""); }), "ERROR: " + longest.substr(0, 979) + "\n")
        << "a line too long for the print path is cut, not dropped";

    // Texts are kept while at most 9,000 characters are; the last one is cut to fit.
    er_saveoff[0] = 0;
    const std::string chunk(999, 'c'), big(1020, 'd');
    for (int i = 0; i < 9; i++) Com_Error(ER_SAVEOFF, "%s", chunk.c_str());
    ASSERT_EQ(strlen(er_saveoff), 9000u);
    Com_Error(ER_SAVEOFF, "%s", big.c_str());
    EXPECT_EQ(strlen(er_saveoff), sizeof er_saveoff - 1);
    Com_Error(ER_SAVEOFF, "more");
    EXPECT_EQ(strlen(er_saveoff), sizeof er_saveoff - 1);
}

// The console section of an error dump.
std::string ConsoleSection(const std::string &dump) {
    const std::string begin = std::string(27, '=') + " CONSOLE " + std::string(27, '=') + "\n";
    const std::string end = std::string(25, '=') + " CONSOLE END " + std::string(25, '=') + "\n\n";
    const size_t b = dump.find(begin), e = dump.rfind(end);
    if (b == std::string::npos || e == std::string::npos || e + end.size() != dump.size()) return "<malformed>";
    return dump.substr(b + begin.size(), e - b - begin.size());
}

TEST_F(Console, ErrorDumpHoldsTheErrorAndTheConsoleWithoutColourKeys) {
    static int port = 14667;
    con_hooks.boundPort = [] { return port; };
    Stdout([] {
        Com_Printf("first \xA4" "03line");
        Com_Printf("second");
    });
    Base_DumpErrorLog("it broke");
    const std::string dump = dir.Read("errorlog14667.txt");
    const std::string dashes(35, '-');
    const std::regex head("\n" + dashes + "\n --------- HM ERROR DUMP --------- \n" + dashes +
                          "\nError time: \\d{4}-\\d\\d-\\d\\d  \\d\\d:\\d\\d:\\d\\d\n"
                          "Error Msg: it broke\n\n"
                          "Engine Version: 1\\.10b\n\n"
                          "OpenGL Extensions:\n\n" +
                          dashes + "\n\n[=]{27} CONSOLE [=]{27}\n[^]*");
    EXPECT_TRUE(std::regex_match(dump, head)) << dump;
    EXPECT_EQ(ConsoleSection(dump), "first line\nsecond\n");

    Base_DumpErrorLog("again");  // an earlier dump is replaced
    EXPECT_NE(dir.Read("errorlog14667.txt").find("Error Msg: again\n"), std::string::npos);
    EXPECT_EQ(dir.Read("errorlog14667.txt").find("it broke"), std::string::npos);
}

TEST_F(Console, AfterTheRingWrapsTheDumpHoldsItsNewestText) {
    std::string all;
    qbase.quietConsole = 1;
    for (int i = 0; all.size() < 70000; i++) {
        char line[128];
        snprintf(line, sizeof line, "line %06d of the wrap test, long enough to fill the ring quickly....", i);
        Com_Printf("%s", line);
        all += line;
        all += '\n';
    }
    ASSERT_EQ(con_ring.count, all.size());
    Base_DumpErrorLog("wrapped");
    // The zero after the newest text stands where the oldest byte was.
    EXPECT_EQ(ConsoleSection(dir.Read("errorlog0.txt")), all.substr(all.size() - (CON_RING_SIZE - 1)));
}

using ConsoleDeath = Console;

TEST_F(ConsoleDeath, FatalErrorsEndTheProcessWithFailure) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(Com_Error(ER_FATAL, "disk on fire"), testing::ExitedWithCode(1),
                "");
    EXPECT_TRUE(dir.Exists("errorlog0.txt"));
    EXPECT_NE(dir.Read("errorlog0.txt").find("Error Msg: disk on fire\n"), std::string::npos);
    std::filesystem::remove(dir / "errorlog0.txt");

    EXPECT_EXIT(Com_Error(ER_BUG, "assertion"), testing::ExitedWithCode(1), "");
    EXPECT_TRUE(dir.Exists("errorlog0.txt"));
    std::filesystem::remove(dir / "errorlog0.txt");

    EXPECT_EXIT(Com_Error(ER_DROP, "no module"), testing::ExitedWithCode(1), "");
    EXPECT_FALSE(dir.Exists("errorlog0.txt"));  // a drop writes no dump

    qbase.developer = 1;  // the box answers abort: the end all the same
    EXPECT_EXIT(Com_Error(ER_FATAL, "dev"), testing::ExitedWithCode(1), "");
}

TEST_F(ConsoleDeath, FatalBoxIsPrintedBetweenAsteriskLines) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Standard output of the dying child is sent to its standard error to be matched.
    EXPECT_EXIT(
        {
            dup2(2, 1);
            Com_Error(ER_FATAL, "disk on fire");
        },
        testing::ExitedWithCode(1), "\\*{44}\nHollowmere FATAL ERROR: disk on fire\n\\*{44}\n");
    EXPECT_EXIT(
        {
            dup2(2, 1);
            Com_Error(ER_DROP, "gone");
        },
        testing::ExitedWithCode(1), "Hollowmere Drop: gone \n\nYou will not be able to run Hollowmere\n");
}

TEST_F(ConsoleDeath, RendererErrorShutsDownInOrderAndStillReportsFailure) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            dup2(2, 1);
            Com_Error(ER_RENDERER, "no GL");
        },
        testing::ExitedWithCode(1),
        "Hollowmere Renderer Error: no GL \n\nYou will not be able to run Hollowmere in client mode\n.*"
        "Base_Shutdown: shutting down");
    EXPECT_NE(dir.Read("errorlog0.txt").find("Error Msg: no GL \n\nYou will not be able to run Hollowmere in client mode\n"),
              std::string::npos);
}

TEST_F(ConsoleDeath, AnErrorWhileOneIsHandledEndsTheProcessWithFailure) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    con_hooks.moduleConsole = [](const char *) { Com_Error(ER_WARNING, "inner"); };
    EXPECT_EXIT(
        {
            dup2(2, 1);
            Com_Error(ER_ERROR, "outer");
        },
        testing::ExitedWithCode(1), "Hollowmere Recursive Error: inner\n\nPress Retry to debug\n");
}

}  // namespace
