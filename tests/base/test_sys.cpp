// The Linux system layer and the null renderer and sound tables.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/base.h"
#include "base/cmd.h"
#include "base/files.h"
#include "base/renderer.h"
#include "base/sys.h"
#include "common/common.h"
#include "tests/base/scratch_dir.h"
#include "tests/support/capture.h"

namespace {

using hm_test::captured;

template <typename F> std::string Stdout(F f) {
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

TEST(Sys, ClockStartsWithinItsFirstSecondAndAdvances) {
    // The first call of a fresh process counts only the milliseconds of its second.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exit(Sys_Milliseconds() < 1000 ? 0 : 1), testing::ExitedWithCode(0), "");
    const int32_t first = Sys_Milliseconds();
    Sys_Sleep(20);
    EXPECT_GE(Sys_Milliseconds() - first, 20);
}

TEST(Sys, ConsolePrintStripsColourKeysAndDropsOverlongTexts) {
    qbase.quietConsole = 0;
    const std::string longest(4000, 'x'), tooLong(4001, 'y');
    EXPECT_EQ(Stdout([] { Sys_ConsolePrint("\xA4" "03red\xA4" "00!"); }), "red!\n");
    EXPECT_EQ(Stdout([&] { Sys_ConsolePrint(tooLong.c_str()); }), "");
    EXPECT_EQ(Stdout([&] { Sys_ConsolePrint(longest.c_str()); }), longest + "\n");
    qbase.quietConsole = 1;
    EXPECT_EQ(Stdout([] { Sys_ConsolePrint("quiet"); }), "");
    EXPECT_EQ(Stdout([] { Sys_SafePrint("panic"); }), "panic\n");
    qbase.quietConsole = 0;
}

TEST(Sys, MessageBoxesArePrintedBetweenAsteriskLines) {
    const std::string stars(44, '*');
    int answer = -1;
    EXPECT_EQ(Stdout([&] { answer = Sys_MessageBoxARI("text", "Title"); }),
              stars + "\nTitle: text\n" + stars + "\n");
    EXPECT_EQ(answer, SYS_BOX_ABORT);
}

TEST(Sys, LogKeepsPlainLinesAndSkipsOverlongTexts) {
    ScratchDir dir(true);
    FS_StartUp(nullptr);
    Sys_Log("\xA4" "05one");
    Sys_Log(std::string(1024, 'z').c_str());
    Sys_Log(std::string(1023, 'w').c_str());
    EXPECT_EQ(dir.Read("log.txt"), "one\n" + std::string(1023, 'w') + "\n");
    Sys_ClearLog();
    EXPECT_EQ(dir.Read("log.txt"), "\n");
    dir.Leave();
    FS_StartUp(nullptr);
}

TEST(Sys, HostFacts) {
    EXPECT_EQ(Sys_IsDedicatedOnly(), 1);
    EXPECT_NE(std::string(Sys_GetSystemString()).find(" @ Linux "), std::string::npos);
    sysTime_t t;
    Sys_GetLocalTime(&t);
    EXPECT_GE(t.year, 2000);
    EXPECT_TRUE(t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31);
    EXPECT_EQ(t.milliseconds, 0);

    ScratchDir dir;
    EXPECT_EQ(Sys_mkdir((dir / "made").c_str()), 0);
    char previous[4096];
    ASSERT_NE(Sys_getdcwd(previous, sizeof previous), nullptr);
    EXPECT_EQ(Sys_chdir((dir / "made").c_str()), 0);
    char now[4096];
    EXPECT_EQ(std::string(Sys_getdcwd(now, sizeof now)), dir / "made");
    EXPECT_EQ(Sys_chdir((dir / "missing").c_str()), -1);
    EXPECT_EQ(Sys_chdir(previous), 0);
    EXPECT_EQ(Sys_getdcwd(now, 1), nullptr);  // too small: no partial path
}

// Standard input replaced by a pipe the test writes into.
TEST(Sys, StandardInputLinesReachTheBufferWholeAndEndOfInputIsNoInput) {
    Cmd_Startup();
    Sys_ClearConsoleInput();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const int savedStdin = dup(STDIN_FILENO);
    dup2(fds[0], STDIN_FILENO);
    close(fds[0]);
    auto feed = [&](const char *text) { ASSERT_EQ(write(fds[1], text, strlen(text)), ssize_t(strlen(text))); };

    Sys_GetMessages();  // nothing waiting: nothing queued, no wait
    EXPECT_EQ(qcmd.length, 0);
    feed("status\nsay \"hi there\"\r\npart");
    Sys_GetMessages();
    EXPECT_STREQ(qcmd.buffer, "status;say \"hi there\";");
    feed("ial\n");
    Sys_GetMessages();
    EXPECT_STREQ(qcmd.buffer, "status;say \"hi there\";partial;");

    // An overlong line runs cut; no part of its rest runs as a line of its own.
    qcmd.length = 0;
    qcmd.buffer[0] = 0;
    const std::string longLine = "say " + std::string(1500, 'x') + ";quit\n";
    feed(longLine.c_str());
    feed("next\n");
    for (int i = 0; i < 4; i++) Sys_GetMessages();
    EXPECT_EQ(std::string(qcmd.buffer), longLine.substr(0, SYS_CONSOLE_INPUT - 1) + ";next;");

    qcmd.length = 0;
    qcmd.buffer[0] = 0;
    feed("last words");
    close(fds[1]);
    Sys_GetMessages();  // the bytes; the end of input shows on the next read
    Sys_GetMessages();
    EXPECT_STREQ(qcmd.buffer, "last words;");
    for (int i = 0; i < 3; i++) Sys_GetMessages();  // end of input: nothing more, ever
    EXPECT_STREQ(qcmd.buffer, "last words;");

    dup2(savedStdin, STDIN_FILENO);
    close(savedStdin);
}

// The daemon's parent ends with 0 after naming the child; the child goes on, quiet,
// in a session of its own, and knows its own process number.  The child reports through a file.
TEST(Sys, DaemonParentEndsWithZeroAndTheChildKnowsItsNumber) {
    ScratchDir dir;
    const std::string report = dir / "child.txt";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            dup2(2, 1);
            Com_SetupPrintf(PRF_STDOUT_LF, nullptr, nullptr);
            Cmd_Startup();
            Cmd_CreateCVar(&base_pid, "base_pid", "0", CMD_READONLY);
            char line[] = "engine -D ";
            Base_ParseCommandLine(line);
            int fds[2];
            if (pipe(fds) || write(fds[1], "pw\n\nstatus\n", 11) != 11) _exit(3);
            close(fds[1]);
            dup2(fds[0], STDIN_FILENO);
            // A file with text still in its buffer when the process forks.
            FILE *open = fopen((dir / "open.txt").c_str(), "w");
            fputs("once", open);
            Sys_Daemon();
            fclose(open);
            Sys_GetMessages();  // a pipe on standard input stays the console
            FILE *f = fopen((report + ".part").c_str(), "w");
            fprintf(f, "%s %d %d %d %s\n", base_pid.string, static_cast<int>(getpid()), qbase.quietConsole,
                    static_cast<int>(getsid(0)), qcmd.buffer);
            fclose(f);
            rename((report + ".part").c_str(), report.c_str());  // seen whole or not at all
            _exit(0);
        },
        testing::ExitedWithCode(0), "Please set rcon password: \nNew rcon password \"pw\" set\n\n"
                                    "Please enter map: \nDaemon up and running at PID [0-9]+\n");
    std::string text;
    for (int i = 0; i < 100 && text.empty(); i++) {
        usleep(20 * 1000);
        text = dir.Read("child.txt");
    }
    int pid = 0, self = -1, quiet = 0, session = 0;
    char console[32] = "";
    ASSERT_EQ(sscanf(text.c_str(), "%d %d %d %d %31s", &pid, &self, &quiet, &session, console), 5) << text;
    EXPECT_STREQ(console, "status;");
    EXPECT_EQ(pid, self);
    EXPECT_EQ(session, self);  // detached from the terminal's session
    EXPECT_EQ(quiet, 1);
    EXPECT_EQ(dir.Read("open.txt"), "once");  // neither process writes it a second time
}

// A daemon with a password set and a server running asks nothing.  Started from a
// terminal, it leaves it to the shell: a line typed there after the fork is not read
// as a console line (a pipe stays the console, tested above).
TEST(Sys, DaemonWithItsAnswersKnownAsksNothingAndLeavesATerminalAlone) {
    ScratchDir dir;
    const std::string report = dir / "child.txt";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            static std::string asked;  // what it printed before the fork
            Com_SetupPrintf(PRF_SINKS, [](const char *t) { asked += std::string(t) + "\n"; }, nullptr);
            Cmd_Startup();
            Cmd_CreateCVar(&base_pid, "base_pid", "0", CMD_READONLY);
            Cmd_CreateCVar(&base_rcon, "base_rcon", "0", 0);
            Cmd_CreateCVar(&base_rconPassword, "base_rconPassword", "", CMD_SECRET);
            Cmd_SetCVar(&base_rcon, "1", 0);
            Cmd_SetCVar(&base_rconPassword, "hunter2", 0);
            qbase.serverRunning = 1;
            char line[] = "engine -D ";
            Base_ParseCommandLine(line);
            const int master = posix_openpt(O_RDWR | O_NOCTTY);
            if (master < 0 || grantpt(master) || unlockpt(master)) _exit(3);
            const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
            if (terminal < 0 || write(master, "pw\n\n", 4) != 4) _exit(4);
            dup2(terminal, STDIN_FILENO);
            Sys_Daemon();
            if (write(master, "status\n", 7) != 7) _exit(5);
            usleep(50 * 1000);
            Sys_GetMessages();
            FILE *f = fopen((report + ".part").c_str(), "w");
            fprintf(f, "%d %s", static_cast<int>(qcmd.length), asked.c_str());
            fclose(f);
            rename((report + ".part").c_str(), report.c_str());
            _exit(0);
        },
        testing::ExitedWithCode(0), "");
    std::string text;
    for (int i = 0; i < 100 && text.empty(); i++) {
        usleep(20 * 1000);
        text = dir.Read("child.txt");
    }
    EXPECT_EQ(text, "0 ");  // nothing queued from the terminal, nothing asked
}

TEST(Sys, GameModuleIsFoundInTheWorkingDirectoryOrBesideTheProgram) {
    captured.errors.clear();
    static std::vector<std::string> printed;
    printed.clear();
    Com_SetupError(hm_test::CaptureError);
    Com_SetupPrintf(PRF_SINKS, [](const char *t) { printed.emplace_back(t); }, nullptr);
    ScratchDir dir(true);
    void *handle = reinterpret_cast<void *>(1);
    EXPECT_EQ(Sys_LoadGameModule(&handle, "nosuch"), nullptr);
    EXPECT_EQ(handle, nullptr);
    ASSERT_EQ(captured.errors.size(), 1u);
    EXPECT_EQ(captured.errors[0].level, ER_ERROR);
    EXPECT_EQ(captured.errors[0].text.rfind("Sys_LoadGameModule: Could not dlopen from \"nosuch_linux.so\" (", 0), 0u);
    EXPECT_EQ(printed, (std::vector<std::string>{"Trying dlopen( \"./nosuch_linux.so\", RTLD_LOCAL | RTLD_LAZY )"}));
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);

    // The test program stands beside the built module, as an installed engine does.
    if (!std::filesystem::exists(std::string(HM_BUILD_DIR) + "/game_linux.so")) GTEST_SKIP() << "module not built";
    void *module = Sys_LoadGameModule(&handle, "game");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(handle, module);
    EXPECT_NE(Sys_GetGameAPI(module), nullptr);
    Sys_UnloadGameModule(module);
    Com_SetupError(nullptr);
}

TEST(Sys, SocketAddressesKeepTheAddressBytesAndTurnThePort) {
    netadr_t address{};
    address.type = NA_IP;
    address.ip[0] = 127, address.ip[1] = 0, address.ip[2] = 0, address.ip[3] = 9;
    address.port = 0x1234;
    address.qport = 77;
    sockaddr_in sa;
    memset(&sa, 0x5A, sizeof sa);
    addr2sockaddr(&sa, &address);
    EXPECT_EQ(sa.sin_family, AF_INET);
    EXPECT_EQ(sa.sin_port, htons(0x1234));
    EXPECT_EQ(sa.sin_addr.s_addr, htonl(0x7F000009));
    for (unsigned char c : sa.sin_zero) EXPECT_EQ(c, 0);

    netadr_t back;
    memset(&back, 0x5A, sizeof back);
    sockaddr2addr(&back, &sa);
    EXPECT_EQ(back.type, uint32_t(NA_IP));
    EXPECT_EQ(back.port, 0x1234);
    EXPECT_EQ(back.qport, 0);  // a socket address carries no connection number
    EXPECT_EQ(memcmp(back.ip, address.ip, 4), 0);
}

TEST(Sys, StubsReportNothing) {
    int32_t x = 7, y = 8;
    Sys_GetCursorPos(&x, &y);
    EXPECT_EQ(x + y, 15);
    char out[4][16];
    EXPECT_EQ(Sys_FindFiles(out[0], "*.cfg", 16, 4), 0);
    EXPECT_EQ(Sys_GetScreenWidth() + Sys_GetScreenHeight() + Sys_Clipboard_GetStringLength(), 0);
    EXPECT_EQ(Sys_GLGetProcAddress("glBegin"), nullptr);
    EXPECT_EQ(Sys_InitOpenGL(), 1);
    EXPECT_EQ(Sys_InitSound(), 1);
    EXPECT_EQ(Sys_GetSIMDSupport(), 0);
}

TEST(Renderer, NullTablesRegisterNothingAndLeaveCallerRecordsAlone) {
    EXPECT_EQ(RE_RegisterTexture("textures/rock.tga", 5), 0);
    EXPECT_EQ(RE_RegisterMaterial("fonts/main"), 0);
    EXPECT_EQ(RE_RegisterLOD("models/player.model", 0), 0);
    EXPECT_EQ(RE_LoadVertexes(0x1F, 240001, 0, 1), 0);
    EXPECT_EQ(RE_Alloc(48 * 10), nullptr);
    EXPECT_EQ(RE_AllocSurfaces(4, 0), nullptr);
    EXPECT_EQ(RE_GetRenderDestWidth(0), 0);
    EXPECT_EQ(SND_RegisterSound("sound/shot.wav"), 0);
    EXPECT_EQ(SND_PlayLocalSound(0), 0);
    RE_UnregisterTexture(0);
    SND_ClearDMA();

    unsigned char config[64];
    memset(config, 0x5A, sizeof config);
    RE_GetRendererConfig(reinterpret_cast<rendererConfig_t *>(config));
    for (unsigned char c : config) ASSERT_EQ(c, 0x5A);
}

TEST(Renderer, AnotherImplementationTakesOverWithoutTouchingCallers) {
    re.RegisterTexture = [](const char *, int32_t mode) -> rhandle_t { return 100 + mode; };
    EXPECT_EQ(RE_RegisterTexture("x", 5), 105);
    re = re_null;
    EXPECT_EQ(RE_RegisterTexture("x", 5), 0);
}

}  // namespace
