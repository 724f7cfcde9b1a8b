// The engine as a process: start-up order, the standard-input console, quit,
// the configuration files against the command line's set groups, and journals.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

#include "tests/e2e/engine_process.h"
#include "tests/support/udp_peer.h"

namespace {

using e2e::Engine;
using e2e::Lines;
using e2e::TempDir;

// Index of the first line at or after from that begins with prefix; -1 when none.
int FindLine(const std::vector<std::string> &lines, const std::string &prefix, int from = 0) {
    for (int i = from; i < static_cast<int>(lines.size()); i++)
        if (lines[i].rfind(prefix, 0) == 0) return i;
    return -1;
}

TEST(EngineProcess, StartsInOrderAndQuitsWithZeroWritingTheConfiguration) {
    TempDir dir;
    Engine engine(dir.path(), {"-dedicated"});
    ASSERT_TRUE(engine.waitFor("Base_Init Done"));
    engine.send("quit\n");
    ASSERT_EQ(engine.finish(), 0) << engine.output();

    const std::vector<std::string> lines = Lines(engine.output());
    const char *order[] = {
        "***************** HM-Linux main() *****************",
        "-------- Hollowmere v1.10b --------",
        "Build: Linux-x86-64-RELEASE ",
        "Starting Hollowmere at: ",
        "Command line: \"",
        "Get system info...",
        "Startup File System...",
        "........... Base_Imp ...........",
        "Loading pack files...",
        "........... Base_Imp Done ...........",
        "........... Base_Init ...........",
        "........... Base_Init Done (",
        "Base_Shutdown: shutting down...",
        "Dumped cmds and bindings to \"config.cfg\"",
        "Shutting down Base modules...",
        "Base_Shutdown: Shut downed all subsystems in ",
        "-------- Quit Hollowmere at ",
    };
    int at = 0;
    for (const char *prefix : order) {
        const int found = FindLine(lines, prefix, at);
        ASSERT_GE(found, 0) << "missing or out of order: " << prefix << "\n" << engine.output();
        at = found + 1;
    }
    EXPECT_NE(engine.output().find("-dedicated"), std::string::npos);
    EXPECT_EQ(engine.output().find("\xA4"), std::string::npos) << "colour keys reach standard output";

    ASSERT_TRUE(dir.exists("config.cfg"));
    EXPECT_EQ(dir.read("config.cfg").rfind("\n// hollowmere config file\n// engine version 1.10b\n", 0), 0u);
    EXPECT_TRUE(dir.exists("autoexec.cfg"));
}

TEST(EngineProcess, SetGroupsRunAroundTheConfigurationFiles) {
    TempDir dir;
    // -set runs before config.cfg (which wins); +set runs after everything (and wins).
    dir.write("config.cfg", "base_maxFps \"10\"\nbase_skipMaster \"3\"\n");
    dir.write("autoexec.cfg", "base_timeStamp 0\n");
    Engine engine(dir.path(), {"-dedicated", "-set", "base_maxFps", "20", "+set", "base_skipMaster", "7"});
    ASSERT_TRUE(engine.waitFor("Base_Init Done"));
    engine.send("quit\n");
    ASSERT_EQ(engine.finish(), 0) << engine.output();
    const std::string config = dir.read("config.cfg");
    EXPECT_NE(config.find("base_maxFps \"10\""), std::string::npos) << config;
    EXPECT_NE(config.find("base_skipMaster \"7\""), std::string::npos) << config;
}

TEST(EngineProcess, SafeModeNeitherReadsNorWritesTheConfiguration) {
    TempDir dir;
    const std::string before = "printFps\nbase_maxFps \"10\"\n";
    dir.write("config.cfg", before);
    Engine engine(dir.path(), {"-dedicated", "-safe"});
    ASSERT_TRUE(engine.waitFor("Base_Init Done"));
    engine.send("quit\n");
    ASSERT_EQ(engine.finish(), 0) << engine.output();
    EXPECT_EQ(engine.output().find("FPS: "), std::string::npos) << engine.output();
    EXPECT_EQ(engine.output().find("Dumped cmds"), std::string::npos);
    EXPECT_EQ(dir.read("config.cfg"), before);
}

TEST(EngineProcess, LongCommandLineIsCutBetweenArgumentsAndKeepsQuotedGroups) {
    TempDir dir;
    // The engine keeps 1,023 characters of its command line.  Pad it so that the
    // value 12345 would straddle that limit: cut in the middle it would read 12.
    const std::string exe = std::string(HM_BUILD_DIR) + "/engine";
    const std::string head = exe + " -dedicated +set base_skipMaster \"two words\" ";
    const std::string tail = "+set base_maxFps ";
    const size_t pad = 1020 - head.size() - tail.size() - 1;  // the pad argument and its blank
    Engine engine(dir.path(), {"-dedicated", "+set", "base_skipMaster", "two words", std::string(pad, 'x'), "+set",
                               "base_maxFps", "12345"});
    ASSERT_TRUE(engine.waitFor("Base_Init Done"));
    engine.send("quit\n");
    ASSERT_EQ(engine.finish(), 0) << engine.output();
    const std::string config = dir.read("config.cfg");
    EXPECT_NE(config.find("base_skipMaster \"two words\""), std::string::npos) << config;
    EXPECT_EQ(config.find("base_maxFps"), std::string::npos) << config;
}

// Lines that legitimately differ between two runs: times, durations, the command line,
// the port found free and the connection number drawn before the journal starts.
std::vector<std::string> Comparable(const std::string &output) {
    std::vector<std::string> keep;
    for (const std::string &line : Lines(output)) {
        static const char *const varying[] = {"Starting Hollowmere at", "Command line:", "Base_Init Done (",
                                              "Base_Shutdown: Shut downed", "-------- Quit Hollowmere at",
                                              "Build: ", "Loaded 0 packs in", "my qport:",
                                              "Sys_InitNet: bind()", "My LAN Port"};
        if (std::none_of(std::begin(varying), std::end(varying),
                         [&](const char *p) { return line.find(p) != std::string::npos; }))
            keep.push_back(line);
    }
    return keep;
}

TEST(EngineProcess, ReplayedJournalGivesTheRecordedOutput) {
    TempDir dir;
    // Frame-by-frame work: each wait defers the rest to the next frame.  The random
    // quotation and the frame times must come back from the journal.
    dir.write("autoexec.cfg",
              "grumble;wait;printFps;wait;grumble;wait;printFps;wait;wait;printFps;grumble;wait;quit\n");
    dir.write("config.cfg", "");  // so that neither run has the module write one
    std::vector<std::string> recorded;
    {
        Engine engine(dir.path(), {"-dedicated", "-safe", "+set", "base_stressCpu", "3", "-record"});
        engine.closeInput();
        ASSERT_EQ(engine.finish(), 0) << engine.output();
        recorded = Comparable(engine.output());
    }
    ASSERT_TRUE(dir.exists("0000.jr2"));
    Engine engine(dir.path(), {"-dedicated", "-safe", "+set", "base_stressCpu", "3", "-play", "0000.jr2"});
    engine.closeInput();
    ASSERT_EQ(engine.finish(), 0) << engine.output();
    EXPECT_EQ(Comparable(engine.output()), recorded);
    EXPECT_GE(std::count_if(recorded.begin(), recorded.end(),
                            [](const std::string &l) { return l.rfind("FPS: ", 0) == 0; }),
              3);
}

TEST(EngineProcess, DamagedJournalStopsPlaybackWithAMessage) {
    TempDir dir;
    {
        Engine engine(dir.path(), {"-dedicated", "-safe", "-record"});
        ASSERT_TRUE(engine.waitFor("Base_Init Done"));
        engine.send("wait;wait;wait;quit\n");
        ASSERT_EQ(engine.finish(), 0) << engine.output();
    }
    std::string journal = dir.read("0000.jr2");
    ASSERT_GT(journal.size(), 40u);
    // Cut the last chunk in the middle of its records.
    std::ofstream(dir.file("cut.jr2"), std::ios::binary) << journal.substr(0, journal.size() - 3);
    Engine engine(dir.path(), {"-dedicated", "-safe", "-play", "cut.jr2"});
    ASSERT_TRUE(engine.waitFor("Damaged journal \"cut.jr2\"")) << engine.output();
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
}

TEST(EngineProcess, MissingJournalIsAFatalErrorWithNonZeroStatus) {
    TempDir dir;
    Engine engine(dir.path(), {"-dedicated", "-play", "none.jr2"});
    engine.closeInput();
    EXPECT_NE(engine.finish(), 0);
    EXPECT_NE(engine.output().find("IN_StartPlayJournal: Could not open file \"none.jr2\""), std::string::npos)
        << engine.output();
}

}  // namespace

namespace {

TEST(EngineProcess, BaseConsoleCommandsAnswerAsDocumented) {
    TempDir dir;
    dir.write("game.map", "Address Publics\n 0001:00001000 main\n 0001:00002000 Base_Frame done\n");
    Engine engine(dir.path(), {"-dedicated", "-safe"});
    ASSERT_TRUE(engine.waitFor("Base_Init Done"));
    engine.send(
        "md5 abc\n"
        "evaluate 1+2*3\n"
        "evaluate \"2 *\"\n"
        "evaluate\n"
        "beginTime;endTime\n"
        "crash no\n"
        "crash\n"
        "dumpConfig\n"
        "md5\n"
        "bind esc down quit\n"
        "bind nokey down quit\n"
        "bind esc sideways quit\n"
        "bind ESC pressed \"say hi\"\n"
        "listBindings\n"
        "mapLink game.map\n"
        "mapLink missing.map\n"
        "dumpConfig dumped.cfg\n"
        "quit\n");
    ASSERT_EQ(engine.finish(), 0) << engine.output();
    const std::string out = engine.output();
    for (const char *expected : {
             "900150983cd24fb0d6963f7d28e17f72\n",
             "\n    7.000000\n",
             "ERROR: ",
             "USAGE: evaluate <expression>\n",
             "*** End Time *** 0 frames in ",
             "USAGE: crash <yes>\n",
             "USAGE: dumpconfig <filename>\n",
             "USAGE: md5 <string>\n",
             "Unknown key \"nokey\"",
             "The second parameter must be down, up, pressed or released",
             "Esc <pressed> \"say hi\"\n",
             "------ 1 key bindings ------\n",
             "Could not open \"missing.map\"\n",
             "Dumped cmds and bindings to \"dumped.cfg\"\n",
         })
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
    EXPECT_NE(out.find("msec is 0.0000 fps"), std::string::npos) << out;
    EXPECT_EQ(out.find("Crashed on purpose"), std::string::npos);
    EXPECT_EQ(dir.read("out.map"), "Address Publics \nS4\tmain \nS4\tBase_Frame done \n");
    EXPECT_NE(dir.read("dumped.cfg").find("\nunbindall\nbind \"esc\" pressed \"say hi\"\n"), std::string::npos);
}

// An engine whose files may grow to 64 bytes only: opening succeeds and writing
// more fails, as on a full disk.
class SmallDiskEngine {
public:
    SmallDiskEngine(const std::string &dir, const std::vector<std::string> &args) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        const rlimit small{64, previous_.rlim_max};
        signal(SIGXFSZ, SIG_IGN);  // a refused write fails instead of ending the process
        setrlimit(RLIMIT_FSIZE, &small);
        engine_ = std::make_unique<Engine>(dir, args);  // the limit is inherited at the start
        setrlimit(RLIMIT_FSIZE, &previous_);
        signal(SIGXFSZ, SIG_DFL);
    }
    Engine &operator*() { return *engine_; }
    Engine *operator->() { return engine_.get(); }

private:
    rlimit previous_{};
    std::unique_ptr<Engine> engine_;
};

TEST(EngineProcess, ConfigurationThatCannotBeWrittenOutIsNotReportedAsDumped) {
    TempDir dir;
    dir.write("config.cfg", "");
    SmallDiskEngine engine(dir.path(), {"-dedicated", "-safe"});
    ASSERT_TRUE(engine->waitFor("Base_Init Done")) << engine->output();
    engine->send("dumpConfig small.cfg\nquit\n");
    ASSERT_EQ(engine->finish(), 0) << engine->output();
    EXPECT_NE(engine->output().find("Couldn't write file \"small.cfg\""), std::string::npos) << engine->output();
    EXPECT_EQ(engine->output().find("Dumped cmds and bindings to \"small.cfg\""), std::string::npos)
        << engine->output();
}

TEST(EngineProcess, JournalThatCannotBeWrittenStopsRecordingAndTheEngineGoesOn) {
    TempDir dir;
    dir.write("config.cfg", "");
    SmallDiskEngine engine(dir.path(), {"-dedicated", "-safe", "-record"});
    // The header and two chunks fit; the third does not, and recording ends there.
    ASSERT_TRUE(engine->waitFor("Could not write journal file \"0000.jr2\", recording stops")) << engine->output();
    engine->send("printFps\nquit\n");
    ASSERT_EQ(engine->finish(), 0) << engine->output();
    EXPECT_NE(engine->output().find("FPS: "), std::string::npos) << engine->output();
    // What was written plays back up to the chunk the disk cut short.
    Engine replay(dir.path(), {"-dedicated", "-safe", "-play", "0000.jr2"});
    ASSERT_TRUE(replay.waitFor("Damaged journal \"0000.jr2\"")) << replay.output();
    replay.send("quit\n");
    EXPECT_EQ(replay.finish(), 0) << replay.output();
}

TEST(EngineProcess, CrashOnPurposeEndsWithNonZeroStatus) {
    TempDir dir;
    Engine engine(dir.path(), {"-dedicated"});
    ASSERT_TRUE(engine.waitFor("Base_Init Done"));
    engine.send("crash yes\n");
    EXPECT_NE(engine.finish(), 0);
    EXPECT_NE(engine.output().find("Crashed on purpose"), std::string::npos) << engine.output();
    EXPECT_EQ(engine.output().find("Dumped cmds"), std::string::npos) << "a crash saves no configuration";
}

}  // namespace

namespace {

using hm_test::FreeUdpPort;

// Counts the lines that report a successful bind.
size_t SuccessfulBinds(const std::string &out) {
    const std::vector<std::string> lines = Lines(out);
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [](const std::string &l) {
        return l.rfind("Sys_InitNet: bind() ", 0) == 0 && l.find(" successful") != std::string::npos;
    }));
}

TEST(EngineProcess, PortGivenOnTheCommandLineIsTheOnlyOneBound) {
    TempDir dir;
    const std::string port = std::to_string(FreeUdpPort());
    Engine engine(dir.path(), {"-dedicated", "-safe", "+set", "net_port", port});
    ASSERT_TRUE(engine.waitFor("Base_Init Done"));
    engine.send("quit\n");
    ASSERT_EQ(engine.finish(), 0) << engine.output();
    const std::string out = engine.output();
    EXPECT_NE(out.find("bind() 0.0.0.0:" + port + " successful"), std::string::npos) << out;
    EXPECT_EQ(SuccessfulBinds(out), 1u) << out;
}

TEST(EngineProcess, PortChangedByTheConfigurationReopensTheSocketAfterStartUp) {
    TempDir dir;
    const std::string port = std::to_string(FreeUdpPort());
    dir.write("autoexec.cfg", "net_port " + port + "\n");
    Engine engine(dir.path(), {"-dedicated", "-safe", "-set", "net_port", "0"});
    ASSERT_TRUE(engine.waitFor("Base_Init Done"));
    engine.send("quit\n");
    ASSERT_EQ(engine.finish(), 0) << engine.output();
    const std::string out = engine.output();
    const size_t bound = out.find("bind() 0.0.0.0:" + port + " successful");
    ASSERT_NE(bound, std::string::npos) << out;
    EXPECT_GT(bound, out.find("Base_Init Done")) << out;
}

}  // namespace

namespace {

TEST(EngineProcess, StartUpAsksTheMasterServerForTheLatestVersion) {
    TempDir dir;
    // 127.0.0.1 names the in-process loop-back; another loop-back address reaches the socket.
    hm_test::UdpPeer master("127.0.0.2");
    ASSERT_NE(master.port(), 0);
    const std::string address = "127.0.0.2:" + std::to_string(master.port());

    Engine engine(dir.path(), {"-dedicated", "-safe", "-set", "base_masterServer", address});
    ASSERT_TRUE(engine.waitFor("Base_Init Done"));
    std::string received;
    for (const e2e::Deadline deadline(20); !deadline.passed() && received.find("master_version_check ") == std::string::npos;) {
        const std::string got = master.Receive(static_cast<int>(std::min(2.0, deadline.left()) * 1000));
        if (got.empty()) break;
        received += got;
    }
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
    EXPECT_NE(received.find("master_version_check "), std::string::npos)
        << "a version check at the master server within 20 s\n" << engine.output();
}

}  // namespace

namespace {

TEST(EngineProcess, ModWithoutANameCannotLoadAGameModule) {
    TempDir dir;
    Engine engine(dir.path(), {"-dedicated", "-mod"});
    engine.closeInput();
    EXPECT_NE(engine.finish(), 0);
    EXPECT_NE(engine.output().find("Could not load a game DLL"), std::string::npos) << engine.output();
}

}  // namespace

namespace {

TEST(EngineProcess, DeveloperModeRunsDeveloperCfgAfterAutoexec) {
    TempDir dir;
    dir.write("config.cfg", "");
    dir.write("autoexec.cfg", "base_maxFps 11\n");
    dir.write("developer.cfg", "base_maxFps 22\nbase_skipMaster 5\n");
    Engine engine(dir.path(), {"-dedicated", "-developer"});
    ASSERT_TRUE(engine.waitFor("Base_Init Done"));
    engine.send("quit\n");
    ASSERT_EQ(engine.finish(), 0) << engine.output();
    EXPECT_NE(engine.output().find("HM will run in Developer Mode\nsizeof( page_t ) == "), std::string::npos)
        << engine.output();
    const std::string config = dir.read("config.cfg");
    EXPECT_NE(config.find("base_maxFps \"22\""), std::string::npos) << config;
    EXPECT_NE(config.find("base_skipMaster \"5\""), std::string::npos) << config;
}

}  // namespace

namespace {

// The last line of out that begins with prefix, "" when none.
std::string LastLine(const std::string &out, const std::string &prefix) {
    std::string found;
    for (const std::string &line : Lines(out))
        if (line.rfind(prefix, 0) == 0) found = line;
    return found;
}

// The UDP port an engine holds, asked of its ipconfig command; 0 when unknown.
int AskPort(Engine &engine) {
    engine.send("ipconfig\n");
    if (!engine.waitFor("My QPORT:")) return 0;
    const std::string &out = engine.output();
    const size_t at = out.rfind("My PORT:");
    return at == std::string::npos ? 0 : atoi(out.c_str() + at + strlen("My PORT:"));
}

// Another engine sends one console line to the engine at port over the remote console.
void SendRemoteLine(const TempDir &dir, int port, const std::string &line) {
    Engine op(dir.path(), {"-dedicated", "-safe", "+set", "net_port", "0", "+set", "base_rconPassword", "opensesame"});
    ASSERT_TRUE(op.waitFor("Base_Init Done"));
    op.send("rconIp localhost:" + std::to_string(port) + " " + line + "\nquit\n");
    EXPECT_EQ(op.finish(), 0) << op.output();
}

TEST(EngineProcess, RemoteConsoleReachesAnEngineWhoseClientRuns) {
    TempDir hostDir, operatorDir;
    hostDir.write("config.cfg", "");
    // A client cannot start without the interface's fonts: give it the shipped data.
    std::filesystem::copy(std::filesystem::path(HM_SOURCE_DIR) / "data", hostDir.path(),
                          std::filesystem::copy_options::recursive);
    // The client's frame drains the transport in place of the engine's own.  A client
    // runs only with a renderer that can draw: the test build's.
    Engine host(hostDir.path(), {"-dedicated", "-safe", "+set", "net_port", "0", "+set", "base_rcon", "1", "+set",
                                 "base_rconPassword", "opensesame", "+set", "client", "1"},
                "engine_headless");
    ASSERT_TRUE(host.waitFor("CL_Init: Starting up client done")) << host.output();
    const int port = AskPort(host);
    ASSERT_GT(port, 0) << host.output();
    SendRemoteLine(operatorDir, port, "md5 abc");
    EXPECT_TRUE(host.waitFor("900150983cd24fb0d6963f7d28e17f72", 10)) << host.output();
    host.send("quit\n");
    EXPECT_EQ(host.finish(), 0) << host.output();
}

TEST(EngineProcess, ReplayedJournalRepeatsWhatDatagramsDid) {
    TempDir serverDir, operatorDir;
    serverDir.write("config.cfg", "");
    const std::vector<std::string> server{"-dedicated", "-safe", "+set", "net_port", "0", "+set", "base_rcon", "1",
                                          "+set", "base_rconPassword", "opensesame"};
    std::vector<std::string> record = server;
    record.push_back("-record");
    std::string quotation;
    {
        Engine recorded(serverDir.path(), record);
        ASSERT_TRUE(recorded.waitFor("Base_Init Done"));
        const int port = AskPort(recorded);
        ASSERT_GT(port, 0) << recorded.output();
        // Another engine sends the console line grumble over the remote console.
        SendRemoteLine(operatorDir, port, "grumble");
        ASSERT_TRUE(recorded.waitFor("\n\"", 10)) << recorded.output();
        recorded.send("quit\n");
        ASSERT_EQ(recorded.finish(), 0) << recorded.output();
        quotation = LastLine(recorded.output(), "\"");
    }
    ASSERT_FALSE(quotation.empty());

    std::vector<std::string> play = server;
    play.insert(play.end(), {"-play", "0000.jr2"});
    Engine replayed(serverDir.path(), play);
    ASSERT_TRUE(replayed.waitFor(quotation + "\n", 10)) << replayed.output();
    replayed.send("quit\n");
    EXPECT_EQ(replayed.finish(), 0) << replayed.output();
}

}  // namespace
