// The console of the real engine: lines on standard input, scripts, aliases, the
// end of standard input, and the daemon's questions and fork.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "tests/e2e/engine_process.h"

namespace {

using e2e::Engine;
using e2e::TempDir;

// A UDP port on the loop-back that nobody holds right now.
std::string FreePort() {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t n = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr *>(&a), &n);
    close(s);
    return std::to_string(ntohs(a.sin_port));
}

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
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<uint16_t>(std::stoi(port)));
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 30 && !ended; i++) {
        usleep(100 * 1000);
        sendto(s, "quit\n", 5, 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
        ended = waitpid(pid, &status, WNOHANG);
    }
    close(s);
    EXPECT_EQ(ended, 0) << "the engine ended with status " << status;
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
}

TEST(EngineConsole, DaemonAsksItsQuestionsThenItsParentEndsWithZero) {
    TempDir dir;
    Engine engine(dir.path(), {"-dedicated", "-safe", "-D", "+set", "net_port", FreePort()});
    ASSERT_TRUE(engine.waitFor("Please set rcon password: \n")) << engine.output();
    engine.send("secret\n");
    ASSERT_TRUE(engine.waitFor("Please enter map: \n")) << engine.output();
    engine.send("\n");
    ASSERT_TRUE(engine.waitFor("Daemon up and running at PID ")) << engine.output();
    ASSERT_TRUE(engine.waitFor("\n", 5));
    const std::string out = engine.output();
    const size_t at = out.find("Daemon up and running at PID ") + 29;
    const pid_t child = static_cast<pid_t>(std::stol(out.substr(at)));
    ASSERT_GT(child, 1);
    // The child runs on, quiet, holding the output pipe: end it before reading to the end.
    kill(child, SIGKILL);
    EXPECT_EQ(engine.finish(), 0) << out;
    EXPECT_NE(out.find("New rcon password \"secret\" set"), std::string::npos) << out;
}

}  // namespace
