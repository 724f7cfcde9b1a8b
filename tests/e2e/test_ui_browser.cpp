// The interface's server browser in the test build with the headless renderer, against
// dedicated servers of the shipped engine: the public list from the stand-in master,
// the favourites kept in config.cfg across a restart, and the LAN query.  Each test
// runs in a network of its own (loop-back only), so nothing it sends leaves the machine.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "tests/e2e/engine_process.h"
#include "tests/e2e/master_process.h"
#include "tests/e2e/udp_peer.h"
#include "tests/support/private_net.h"

namespace {

using e2e::CopyData;
using e2e::Engine;
using e2e::MasterProcess;
using e2e::Plain;
using e2e::TempDir;

constexpr const char *SERVER_NAME = "Browse Probe";
constexpr int LAN_PORT = 14667;  // one of the ports the LAN query reaches

// Waits until the engine has run every line sent before: a word it does not know comes
// back as its complaint.
bool Settle(Engine &engine, const std::string &word) {
    engine.send(word + "\n");
    return engine.waitFor("Unknown command \"" + word + "\"", 20);
}

// A dedicated server of the shipped engine on a map under a known name, printing its
// answers to polls; extra arguments go before the map.
std::unique_ptr<Engine> StartServer(const TempDir &dir, std::vector<std::string> extra) {
    std::vector<std::string> args{"-dedicated", "+set",    "sv_pure", "0", "+set", "sv_name", SERVER_NAME,
                                  "+set",       "sv_printPoll", "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"+set", "map", "planet"});
    return std::make_unique<Engine>(dir.path(), args);
}

// A client of the test build without a server, its console kept out of the way.
std::unique_ptr<Engine> StartClient(const TempDir &dir, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"+set", "client", "1", "+set", "cg_skipIntro", "1", "+set", "con_skipConsole", "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    auto client = std::make_unique<Engine>(dir.path(), args, "engine_headless");
    if (client->waitFor("CL_Init: Starting up client done")) client->send("con_toggle\n");  // up, and it stays up
    return client;
}

// What the client's last frame wrote, one text per line, colours stripped.
std::string ShownText(Engine &client) {
    static int reads;
    const size_t from = client.output().size();
    client.send("re_text\n");
    Settle(client, "text_read_" + std::to_string(++reads));
    return Plain(client.output().substr(from));
}

// A click of the first mouse button at a point of the virtual 640 x 480 screen (the
// headless screen has twice as many pixels each way).  One line: the engine places the
// pointer anew every frame, and all three must run before it does.
void Click(Engine &client, int x, int y) {
    client.send("in_mouse " + std::to_string(2 * x) + " " + std::to_string(2 * y) + ";in_key_down 200;in_key_up 200\n");
}

// Waits until the screen shows text; the shown text then.
std::string WaitToShow(Engine &client, const std::string &text, double seconds = 20) {
    std::string shown;
    for (const e2e::Deadline deadline(seconds); !deadline.passed();) {
        shown = ShownText(client);
        if (shown.find(text) != std::string::npos) return shown;
        client.waitFor("\x01", 0.25);  // never printed: only waits
    }
    return shown;
}

// Opens the browser from the title screen (its CONNECT button) and, unless public,
// shows the list of the tab whose left edge is at tabX.
void OpenBrowser(Engine &client, int tabX = -1) {
    ASSERT_NE(WaitToShow(client, "CONNECT").find("CONNECT"), std::string::npos) << client.output();
    Click(client, 110, 40);
    ASSERT_NE(WaitToShow(client, "Public Servers").find("Public Servers"), std::string::npos) << client.output();
    if (tabX >= 0) Click(client, tabX + 50, 80 + 30 + 15);
}

struct row_t {
    std::string rules, map;
    int players = -1, maxPlayers = -1, ping = -1;
};

// The server's row in the shown text: its name, then rules, map, players/slots and ping.
row_t FindRow(const std::string &shown) {
    static const std::regex ROW(std::string(SERVER_NAME) + R"(\s+(\S+)\s+(\S+)\s+(\d+)/(\d+)\s+(\d+))");
    std::smatch m;
    row_t row;
    if (std::regex_search(shown, m, ROW)) {
        row.rules = m[1];
        row.map = m[2];
        row.players = std::stoi(m[3]);
        row.maxPlayers = std::stoi(m[4]);
        row.ping = std::stoi(m[5]);
    }
    return row;
}

// Waits until the list shows the server's row (asking again with command every few
// seconds, unless empty); the row, its fields unset when it did not come.
row_t WaitForRow(Engine &client, const std::string &command = "", double seconds = 30) {
    constexpr double ASK_AGAIN = 3;
    e2e::Deadline askAgain(ASK_AGAIN);
    for (const e2e::Deadline deadline(seconds); !deadline.passed();) {
        const row_t row = FindRow(ShownText(client));
        if (row.players >= 0) return row;
        if (!command.empty() && askAgain.passed()) {
            client.send(command + "\n");
            askAgain = e2e::Deadline(ASK_AGAIN);
        }
        client.waitFor("\x01", 0.5);
    }
    return {};
}

// The row holds what the server says of itself in the "serverinfo" answers it printed
// (sv_printPoll): map, rules, players and slots; and a ping.
void ExpectServerRow(const row_t &row, Engine &server, Engine &client) {
    static const std::regex ANSWER(std::string("serverinfo -?\\d+ -?\\d+ [NP] \"") + SERVER_NAME +
                                   R"re(" "([^"]*)" (\S+) (\d+) (\d+))re");
    ASSERT_GE(row.players, 0) << "the server's row in the browser's list, within its wait\n" << client.output();
    ASSERT_TRUE(server.waitFor(": serverinfo ", 10)) << server.output();
    std::smatch m;
    const std::string &said = server.output();
    ASSERT_TRUE(std::regex_search(said, m, ANSWER)) << said;
    EXPECT_EQ(row.map, m[1]) << client.output();
    EXPECT_EQ(row.rules, m[2]);
    EXPECT_EQ(row.players, std::stoi(m[3]));
    EXPECT_EQ(row.maxPlayers, std::stoi(m[4]));
    EXPECT_EQ(row.map, "planet");
    EXPECT_GE(row.ping, 0);
    EXPECT_LT(row.ping, 5000);
}

class UiBrowser : public testing::Test {
protected:
    void SetUp() override {
        const std::string why = hm_test::EnterPrivateNetwork();
        if (!why.empty()) GTEST_SKIP() << "no network of the test's own: " << why;
        CopyData(serverDir);
        CopyData(clientDir);
    }
    TempDir serverDir, clientDir;
};

TEST_F(UiBrowser, PublicListShowsAServerThatHeartbeatsToTheMaster) {
    MasterProcess master;
    ASSERT_NE(master.port(), 0);
    auto server = StartServer(serverDir, {"-set", "base_masterServer", master.address(), "+set", "sv_lanServer", "0"});
    ASSERT_TRUE(server->waitFor("Server is up and running")) << server->output();
    // The heartbeat: the server's information sent to the master.
    ASSERT_TRUE(server->waitFor(master.address() + ": serverinfo ", 20)) << server->output();

    auto client = StartClient(clientDir, {"-set", "base_masterServer", master.address()});
    ASSERT_TRUE(client->waitFor("New master challenge: ", 20)) << client->output();
    ASSERT_NO_FATAL_FAILURE(OpenBrowser(*client));  // the first showing of the public list asks the master
    const row_t row = WaitForRow(*client, "getGlobalServers");
    ExpectServerRow(row, *server, *client);
    // The browser polled the server itself (the public list's polls count from 2000).
    EXPECT_TRUE(server->waitFor(": serverinfo 2000 ", 10)) << server->output();
    client->send("quit\n");
    EXPECT_EQ(client->finish(), 0) << client->output();
}

TEST_F(UiBrowser, FavouriteIsPolledAndSurvivesARestart) {
    auto server = StartServer(serverDir, {"+set", "sv_lanServer", "1"});
    ASSERT_TRUE(server->waitFor("Server is up and running")) << server->output();
    const int port = e2e::EnginePort(*server);
    ASSERT_GT(port, 0) << server->output();
    const std::string address = "127.0.0.1:" + std::to_string(port);
    {
        auto client = StartClient(clientDir);
        client->send("addFavorite " + address + "\n");
        ASSERT_NO_FATAL_FAILURE(OpenBrowser(*client, 365));  // the Favorites tab polls its servers
        ExpectServerRow(WaitForRow(*client), *server, *client);
        client->send("quit\n");
        ASSERT_EQ(client->finish(), 0) << client->output();
    }
    const std::string config = clientDir.read("config.cfg");
    EXPECT_NE(config.find("addfavorite " + address + "\n"), std::string::npos) << config;

    auto client = StartClient(clientDir);
    ASSERT_NO_FATAL_FAILURE(OpenBrowser(*client, 365));
    ExpectServerRow(WaitForRow(*client), *server, *client);
    client->send("quit\n");
    EXPECT_EQ(client->finish(), 0) << client->output();
}

// The server binds a fixed port that the LAN query reaches.
TEST_F(UiBrowser, FixedPortsLanQueryFindsAServerOnTheLoopBack) {
    auto server = StartServer(serverDir, {"+set", "sv_lanServer", "1", "+set", "net_port", std::to_string(LAN_PORT)});
    ASSERT_TRUE(server->waitFor("Server is up and running")) << server->output();
    ASSERT_EQ(e2e::EnginePort(*server), LAN_PORT) << server->output();
    auto client = StartClient(clientDir);
    ASSERT_NO_FATAL_FAILURE(OpenBrowser(*client, 195));  // the first showing of the LAN tab searches the network
    ExpectServerRow(WaitForRow(*client, "getLanServers"), *server, *client);
    EXPECT_TRUE(server->waitFor(": serverinfo 3000 ", 10)) << server->output();
    client->send("quit\n");
    EXPECT_EQ(client->finish(), 0) << client->output();
}

}  // namespace
