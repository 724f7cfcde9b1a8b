// The engine on the network: hostile datagrams from a real UDP socket, the remote
// console between two engines, and the master challenge from the stand-in master.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/com_hash.h"
#include "tests/e2e/engine_process.h"
#include "tests/e2e/master_process.h"
#include "tests/e2e/udp_peer.h"

namespace {

using e2e::Engine;
using e2e::MasterProcess;
using e2e::TempDir;
using e2e::Datagram;
using e2e::EnginePort;
using e2e::OutOfBand;
using e2e::Peer;

std::string Md5Text(const std::string &text) {
    return Com_MD52String(Com_GetMD5(nullptr, text.data(), static_cast<int>(text.size())));
}

std::vector<std::string> RConServerArgs(const char *rcon) {
    return {"-dedicated", "-developer", "+set", "net_port", "0", "+set", "base_rcon", rcon,
            "+set", "base_rconPassword", "opensesame"};
}

TEST(EngineNet, MalformedDatagramsAreDroppedAndTheEngineStillAnswersRCon) {
    TempDir dir;
    Engine engine(dir.path(), RConServerArgs("1"));
    const int port = EnginePort(engine);
    ASSERT_GT(port, 0) << engine.output();

    auto withBits = [](int32_t bits) { return Datagram(0x1E, 0x04, -1, bits, "abcd"); };
    struct Case {
        const char *name;
        std::vector<uint8_t> datagram;
        const char *warning;
    } const cases[] = {
        {"too short", std::vector<uint8_t>(15, 0x1E), "NET_ParseRawData: Undersized package (15)"},
        {"wrong magic", Datagram(0x1F, 0x04, -1, 32, "abcd"), "NET_ParseRawData: Bad net magic"},
        {"wrong version", Datagram(0x2E, 0x04, -1, 32, "abcd"), "NET_ParseRawData: Bad net version"},
        {"negative bit count", withBits(-32), "NET_ParseRawData: Bad size in head"},
        {"bit count beyond the datagram", withBits(33), "NET_ParseRawData: Bad size in head"},
        {"bit count that wraps", withBits(0x7FFFFFFF), "NET_ParseRawData: Bad size in head"},
        {"longer than a datagram (cut on receipt)", Datagram(0x1E, 0x04, -1, 8 * 1500, std::string(1500, 'x')),
         "NET_ParseRawData: Bad size in head"},
        {"fragment without a first part", Datagram(0x1E, 0x04 | 0x02, 0, 32, "abcd"),
         "sends us band data but he is not connected"},
        {"unterminated text", Datagram(0x1E, 0x04, -1, 32, "rcon"), "but bad password"},
    };
    // Each case is followed by a correct line whose print marks the case's end, so
    // every warning is looked for in its own stretch of the output.
    Peer peer;
    const std::string password = Md5Text("opensesame");
    size_t from = engine.output().size();
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        peer.send(port, c.datagram);
        const std::string marker = "marker_" + std::to_string(n++);
        peer.send(port, OutOfBand("rcon " + password + " \"" + marker + "\""));
        ASSERT_TRUE(engine.waitFor("\"" + marker + "\"", 10)) << engine.output();
        const size_t to = engine.output().find("\"" + marker + "\"");
        EXPECT_NE(engine.output().substr(from, to - from).find(c.warning), std::string::npos) << engine.output();
        from = to;
    }

    // The engine still runs a correct remote-console line and echoes its output.
    peer.send(port, OutOfBand("rcon " + Md5Text("opensesame") + " \"ipconfig\""));
    std::string echoed;
    for (const e2e::Deadline deadline(10); !deadline.passed() && echoed.find("My PORT:") == std::string::npos;) {
        const std::string text = peer.receiveText();
        if (text.rfind("rcon_echo ", 0) == 0) echoed += text + "\n";
    }
    EXPECT_NE(echoed.find(std::to_string(port)), std::string::npos)
        << "the echo of ipconfig naming the port, within 10 s\n" << echoed << engine.output();
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
}

TEST(EngineNet, TwoEnginesExchangeRemoteConsoleCommands) {
    TempDir serverDir, operatorDir;
    Engine server(serverDir.path(), RConServerArgs("1"));
    const int port = EnginePort(server);
    ASSERT_GT(port, 0) << server.output();

    Engine op(operatorDir.path(), {"-dedicated", "+set", "net_port", "0", "+set", "base_rconPassword", "opensesame"});
    ASSERT_GT(EnginePort(op), 0) << op.output();
    // A name, not 127.0.0.1, which means this very process.
    op.send("rconIp localhost:" + std::to_string(port) + " ipconfig\n");
    EXPECT_TRUE(server.waitFor("\"ipconfig \"", 10)) << server.output();
    EXPECT_TRUE(op.waitFor("SV:     My PORT:  " + std::to_string(port), 10)) << op.output();

    // A wrong password and a disabled console run nothing.
    op.send("base_rconPassword guess\nrconIp localhost:" + std::to_string(port) + " quit\n");
    EXPECT_TRUE(server.waitFor("sends rcon package, but bad password", 10)) << server.output();

    TempDir closedDir;
    Engine closed(closedDir.path(), RConServerArgs("0"));
    const int closedPort = EnginePort(closed);
    ASSERT_GT(closedPort, 0);
    op.send("base_rconPassword opensesame\nrconIp localhost:" + std::to_string(closedPort) + " quit\n");
    EXPECT_TRUE(closed.waitFor("sends rcon package, but rcon is disabled", 10)) << closed.output();

    for (Engine *e : {&server, &op, &closed}) {
        e->send("quit\n");
        EXPECT_EQ(e->finish(), 0) << e->output();
    }
}

TEST(EngineNet, EngineGetsItsMasterChallengeFromTheStandInMaster) {
    MasterProcess master("8");
    ASSERT_NE(master.port(), 0);
    TempDir dir;
    // The port chosen on the command line reopens the socket after start-up asked
    // the master: the engine asks again, so the answer finds the socket it has.
    Engine engine(dir.path(), {"-dedicated", "-set", "base_masterServer", master.address(), "+set", "net_port", "0"});
    EXPECT_TRUE(engine.waitFor("Resolved master address " + master.address(), 10)) << engine.output();
    EXPECT_TRUE(engine.waitFor("New master challenge: ", 10)) << engine.output();
    engine.send("master\n");
    EXPECT_TRUE(engine.waitFor(master.address() + " challenge: ", 10)) << engine.output();
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
}

TEST(EngineNet, OfflineEngineCannotResolveItsMasterAndGoesOn) {
    TempDir dir;
    Engine engine(dir.path(), {"-dedicated", "+set", "net_port", "0"});
    EXPECT_TRUE(engine.waitFor("Could not resolve master DNS", 10)) << engine.output();
    ASSERT_TRUE(engine.waitFor("Base_Init Done"));
    engine.send("quit\n");
    EXPECT_EQ(engine.finish(), 0) << engine.output();
}

}  // namespace
