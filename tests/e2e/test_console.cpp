// The console of the real engine: lines on standard input, scripts, aliases, the
// end of standard input, and the daemon's questions and fork.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "tests/e2e/engine_process.h"
#include "tests/support/udp_peer.h"

namespace {

using e2e::Engine;
using e2e::TempDir;

std::string FreePort() { return std::to_string(hm_test::FreeUdpPort()); }

TEST(EngineConsole, StandardInputLinesRunAsConsoleCommands) {
    TempDir dir;
    dir.write("script.cfg", "cmd_showflipflop 1\r\nalias twice \"listAlias; cmd_showflipflop\"\r\n\r\nlistAlias\r\n");
    Engine engine(dir.path(), {"-dedicated", "-safe", "+set", "net_port", FreePort()});
    ASSERT_TRUE(engine.waitFor("Base_Init Done")) << engine.output();

    engine.send("cmd_showflipflop\n");
    EXPECT_TRUE(engine.waitFor("    cmd_showflipflop = \"0\" default is \"0\"\n", 10)) << engine.output();
    engine.send("nosuchcommand 1 2\r\n");
    EXPECT_TRUE(engine.waitFor("Unknown command \"nosuchcommand\"\n", 10)) << engine.output();
    // A script's lines run after what is queued with it: wait for them.
    engine.send("exec script.cfg\n");
    EXPECT_TRUE(engine.waitFor("twice = \"listAlias; cmd_showflipflop\"\n", 10)) << engine.output();
    engine.send("twice\n");
    EXPECT_TRUE(engine.waitFor("twice = \"listAlias; cmd_showflipflop\"\n"
                               "    cmd_showflipflop = \"1\" default is \"0\"\n",
                               10))
        << engine.output();
    engine.send("flipflop; add\n");
    EXPECT_TRUE(engine.waitFor("USAGE: flipflop <cmd var>\nUSAGE: add <cmd var> <add value>\n", 10))
        << engine.output();
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
    EXPECT_EQ(engine.output().find('\xA4'), std::string::npos) << "colour keys reach standard output";
}

TEST(EngineConsole, ClosedStandardInputKeepsTheEngineRunning) {
    TempDir dir;
    const std::string exe = std::string(HM_BUILD_DIR) + "/engine", port = FreePort();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        close(0);  // no standard input at all
        if (chdir(dir.path().c_str())) _exit(127);
        execl(exe.c_str(), exe.c_str(), "-dedicated", "-safe", "+set", "net_port", port.c_str(), nullptr);
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    // A datagram must never be read as a console line, even when the socket is the
    // first file the engine opens.
    const hm_test::UdpPeer sender;
    int status = 0;
    pid_t ended = 0;
    for (const e2e::Deadline deadline(3); !deadline.passed() && !ended;) {
        usleep(100 * 1000);
        sender.Send("127.0.0.1", std::stoi(port), "quit\n", 5);
        ended = waitpid(pid, &status, WNOHANG);
    }
    EXPECT_EQ(ended, 0) << "the engine ended with status " << status;
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
}

// Waits for the daemon's fork, ends the quiet child and returns the parent's status.
int FinishDaemon(Engine &engine) {
    if (!engine.waitFor("Daemon up and running at PID ") || !engine.waitFor("\n", 5)) return -2;
    const std::string &out = engine.output();
    const pid_t child = static_cast<pid_t>(std::stol(out.substr(out.find("Daemon up and running at PID ") + 29)));
    if (child <= 1) return -3;
    // The child runs on, quiet, holding the output pipe: end it before reading to the end.
    kill(child, SIGKILL);
    return engine.finish();
}

TEST(EngineConsole, DaemonAsksItsQuestionsThenItsParentEndsWithZero) {
    TempDir dir;
    Engine engine(dir.path(), {"-dedicated", "-safe", "-D", "+set", "net_port", FreePort()});
    ASSERT_TRUE(engine.waitFor("Please set rcon password: \n")) << engine.output();
    engine.send("secret\n");
    ASSERT_TRUE(engine.waitFor("Please enter map: \n")) << engine.output();
    engine.send("\n");
    EXPECT_EQ(FinishDaemon(engine), 0) << engine.output();
    EXPECT_NE(engine.output().find("New rcon password \"secret\" set"), std::string::npos) << engine.output();
}

TEST(EngineConsole, DaemonWithAPasswordSetAsksOnlyForTheMap) {
    TempDir dir;
    Engine engine(dir.path(), {"-dedicated", "-safe", "-D", "+set", "base_rcon", "1", "+set", "base_rconPassword",
                               "hunter2", "+set", "net_port", FreePort()});
    ASSERT_TRUE(engine.waitFor("Please enter map: \n")) << engine.output();
    engine.send("\n");
    EXPECT_EQ(FinishDaemon(engine), 0) << engine.output();
    EXPECT_EQ(engine.output().find("Please set rcon password"), std::string::npos) << engine.output();
}

TEST(EngineConsole, OnlyDAloneDetaches) {
    const std::vector<std::vector<std::string>> foreground = {{"-D", "-daemon"}, {"-D", "-deamon"}, {"-daemon"}, {}};
    for (const auto &switches : foreground) {
        TempDir dir;
        std::vector<std::string> args = {"-dedicated", "-safe", "+set", "net_port", FreePort()};
        args.insert(args.end(), switches.begin(), switches.end());
        Engine engine(dir.path(), args);
        ASSERT_TRUE(engine.waitFor("Base_Init Done")) << engine.output();
        engine.send("quit\n");
        EXPECT_EQ(engine.finish(), 0) << engine.output();
        EXPECT_EQ(engine.output().find("Please"), std::string::npos) << engine.output();
    }
}

}  // namespace
