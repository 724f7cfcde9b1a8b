#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/base.h"
#include "base/cmd.h"
#include "base/net.h"
#include "base/remote.h"
#include "common/com_hash.h"
#include "server/server.h"
#include "tests/e2e/master_process.h"
#include "tests/support/capture.h"

namespace {

using hm_test::captured;
using hm_test::Printed;

std::string Md5Text(const char *text) {
    return Com_MD52String(Com_GetMD5(nullptr, text, static_cast<int>(strlen(text))));
}

class Remote : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        hm_test::StartCapture();
        Cmd_Startup();
        NET_Imp();
        Cmd_CreateCVar(&base_rcon, "base_rcon", "0", CMD_NOSAVE);
        Cmd_CreateCVar(&base_rconPassword, "base_rconPassword", "tidewell", CMD_SECRET | CMD_NOSAVE);
        Cmd_CreateCVar(&base_master, "master", "", CMD_READONLY);
        Base_RemoteImp();
        Cmd_CreateCVar(&sv_rconEchoClearTime, "sv_rconEchoClearTime", "30", 0);
        Cmd_SetCVar(Cmd_GetCVar("net_port"), "0", 1);
        NET_Init();
    }
    void SetUp() override {
        memset(&qbase, 0, sizeof qbase);
        qbase.instanceNumber = 0x9ABCDEF1u;  // above 2^31: travels as a negative %d
        qbase.time = 123456;
        Base_RemoteFrame(RCON_WRONG_BURST * RCON_WRONG_WAIT_MSEC);  // no debt left from an earlier test
        Cmd_SetCVar(&base_rcon, "1", 1);
        Cmd_SetCVar(&base_rconPassword, "swordfish", 1);
        package = std::make_unique<netPackage_t>();
        while (NET_GetPackage(0, package.get()) || NET_GetPackage(1, package.get())) {
        }
        qcmd.length = 0;
        qcmd.buffer[0] = 0;
        captured.prints.clear();
        captured.errors.clear();
    }

    // Offers one out-of-band text from sender to the handler, as the frames do.
    uint8_t Deliver(const std::string &text, const netadr_t &sender) {
        package->address = sender;
        Msg_WriteBegin(&package->msg);
        Msg_WriteBytes(text.c_str(), static_cast<int>(text.size()) + 1);
        Msg_ReadBegin(&package->msg);
        Msg_ReadTokenize();
        return Base_HandlePackage(package.get());
    }
    std::string Queued() const { return std::string(qcmd.buffer, static_cast<size_t>(qcmd.length)); }

    std::unique_ptr<netPackage_t> package;
    const netadr_t op{NA_IP, {127, 0, 0, 3}, 27960, 99};
};

TEST_F(Remote, RightPasswordQueuesTheLineAndTurnsTheEchoOn) {
    EXPECT_EQ(Deliver("rcon " + Md5Text("swordfish") + " \"kick all\"", op), 1);
    EXPECT_NE(Queued().find("kick all"), std::string::npos);
    EXPECT_TRUE(Printed("\"\xA4" "02kick all\xA4" "00\""));
    EXPECT_EQ(qbase.rconEcho, 1);
    EXPECT_EQ(qbase.rconEchoStart, 123456u);
    EXPECT_TRUE(Com_adrcmp(&qbase.rconEchoAddress, &op));

    // An empty line is queued as such and restarts the echo.
    qbase.rconEcho = 0;
    qcmd.length = 0;
    EXPECT_EQ(Deliver("rcon " + Md5Text("swordfish") + " \"\"", op), 1);
    EXPECT_EQ(qbase.rconEcho, 1);
    EXPECT_EQ(Queued().find("kick"), std::string::npos);
}

TEST_F(Remote, WrongPasswordOrDisabledConsoleRunsNothing) {
    struct Case {
        const char *rcon;      // base_rcon on the server
        const char *password;  // base_rconPassword on the server
        std::string sent;      // the digest in the package
        const char *message;
    } const cases[] = {
        {"1", "swordfish", Md5Text("guess"),
         "Base_HandlePackage: 127.0.0.3:27960 sends rcon package, but bad password"},
        {"1", "swordfish", "swordfish", "but bad password"},  // the password itself is not accepted
        {"1", "swordfish", "", "but bad password"},
        {"0", "swordfish", Md5Text("swordfish"),
         "Base_HandlePackage: 127.0.0.3:27960 sends rcon package, but rcon is disabled"},
        {"1", "tidewell", Md5Text("tidewell"), "sends rcon package, but the rcon password is not set"},
        {"1", "", Md5Text(""), "sends rcon package, but the rcon password is not set"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        captured.prints.clear();
        Cmd_SetCVar(&base_rcon, c.rcon, 1);
        Cmd_SetCVar(&base_rconPassword, c.password, 1);
        Base_RemoteFrame(RCON_WRONG_BURST * RCON_WRONG_WAIT_MSEC);  // the earlier cases' debt
        EXPECT_EQ(Deliver("rcon " + c.sent + " \"quit\"", op), 1);
        EXPECT_TRUE(Printed(c.message));
        EXPECT_EQ(Queued(), "");
        EXPECT_EQ(qbase.rconEcho, 0);

        // A flood of such packages prints no more than a guesser's burst.
        for (int i = 0; i < 1000; i++) Deliver("rcon " + c.sent + " \"quit\"", op);
        size_t lines = 0;
        for (const std::string &p : captured.prints) lines += p.find(c.message) != std::string::npos;
        EXPECT_EQ(lines, static_cast<size_t>(RCON_WRONG_BURST));
    }
}

// A mistyped password costs nothing; guessing from one address is heard once a
// second after a short burst, and nobody else is slowed down.
TEST_F(Remote, WrongPasswordsSlowTheirAddressButNoOtherOne) {
    const std::string right = "rcon " + Md5Text("swordfish") + " \"status\"";
    Deliver("rcon " + Md5Text("swordfsh") + " \"status\"", op);
    Deliver(right, op);
    EXPECT_NE(Queued().find("status"), std::string::npos) << "right after a typing error";

    qcmd.length = 0;
    for (int i = 0; i < 1000; i++) Deliver("rcon " + Md5Text(std::to_string(i).c_str()) + " \"quit\"", op);
    size_t lines = 0;
    for (const std::string &p : captured.prints) lines += p.find("but bad password") != std::string::npos;
    EXPECT_EQ(lines, static_cast<size_t>(RCON_WRONG_BURST)) << "the typing error and the burst are heard";
    Deliver(right, op);
    EXPECT_EQ(Queued(), "") << "the guesser's address is not heard, even with the right password";

    const netadr_t other{NA_IP, {127, 0, 0, 4}, 27960, 5};
    Deliver(right, other);
    EXPECT_NE(Queued().find("status"), std::string::npos) << "another address gets in at once";

    qcmd.length = 0;
    Base_RemoteFrame(RCON_WRONG_WAIT_MSEC - 1);
    Deliver(right, op);
    EXPECT_EQ(Queued(), "");
    Base_RemoteFrame(1);
    Deliver(right, op);
    EXPECT_NE(Queued().find("status"), std::string::npos) << "one try a second";
}

// Guessing from many addresses gains nothing: a slot in debt is never taken away, and
// the addresses that find every slot taken share one allowance.
TEST_F(Remote, GuessingFromManyAddressesSharesOneAllowanceOnceTheSlotsAreFull) {
    for (int a = 0; a < RCON_GUARD_SLOTS + 10; a++) {
        const netadr_t from{NA_IP, {127, 1, static_cast<uint8_t>(a / 256), static_cast<uint8_t>(a % 256)}, 27960, 0};
        for (int i = 0; i < 2 * RCON_WRONG_BURST; i++) Deliver("rcon " + Md5Text("guess") + " \"quit\"", from);
    }
    size_t lines = 0;
    for (const std::string &p : captured.prints) lines += p.find("but bad password") != std::string::npos;
    EXPECT_EQ(lines, static_cast<size_t>((RCON_GUARD_SLOTS + 1) * RCON_WRONG_BURST));
    EXPECT_EQ(Queued(), "");
}

TEST_F(Remote, EchoesAreTakenOnlyFromTheTarget) {
    qbase.rconTarget = op;
    EXPECT_EQ(Deliver("rcon_echo \"map loaded\"", op), 1);
    EXPECT_TRUE(Printed("\xA4" "09SV:\xA4" "00 map loaded "));
    const netadr_t stranger{NA_IP, {127, 0, 0, 4}, 27960, 0};
    captured.prints.clear();
    EXPECT_EQ(Deliver("rcon_echo \"forged\"", stranger), 0);
    EXPECT_TRUE(captured.prints.empty());
    // A server of this very process prints on this console already.
    const netadr_t local{NA_LOCAL, {}, 0, 0};
    qbase.rconTarget = local;
    EXPECT_EQ(Deliver("rcon_echo \"twice\"", local), 1);
    EXPECT_TRUE(captured.prints.empty());
    EXPECT_EQ(Deliver("someone_elses_text 1 2", op), 0);
}

TEST_F(Remote, RConSendsTheDigestAndTheLineToTheTarget) {
    const netadr_t local{NA_LOCAL, {}, 0, 0};
    Base_RCon(&local, "status");
    EXPECT_EQ(qbase.rconTarget.type, static_cast<uint32_t>(NA_LOCAL));
    ASSERT_EQ(NET_GetPackage(NS_CLIENT, package.get()), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(package->msg.data)),
              "rcon " + Md5Text("swordfish") + " \"status\"");

    // rconIp joins the words after the address; the server takes the line.
    Cmd_Add("rconIp 127.0.0.1 say hello world");
    Cmd_Flush();
    ASSERT_EQ(NET_GetPackage(NS_CLIENT, package.get()), 1);
    Msg_ReadBegin(&package->msg);
    Msg_ReadTokenize();
    qcmd.length = 0;
    EXPECT_EQ(Base_HandlePackage(package.get()), 1);
    EXPECT_NE(Queued().find("say hello world "), std::string::npos);

    captured.prints.clear();
    Cmd_Add("rcon status");
    Cmd_Flush();
    EXPECT_TRUE(Printed("Must be connected to a server to use rcon"));
    Cmd_Add("rcon");
    Cmd_Add("rconIp");
    Cmd_Flush();
    EXPECT_TRUE(Printed("USAGE: rcon <command string>"));
    EXPECT_TRUE(Printed("USAGE: rcon <server ip> <command string>"));
}

// The print path calls the echo for every line; a send that fails inside it must
// neither raise an error (the error path prints, which echoes again) nor recurse.
int g_depth, g_deepest, g_echoErrors;
void EchoingPrint(const char *text) {
    g_depth++;
    g_deepest = std::max(g_deepest, g_depth);
    Base_RConEcho(text);
    g_depth--;
}
int EchoingError(int, const char *text) {
    g_echoErrors++;
    Com_Printf("ERROR: %s", text);
    return 0;
}

TEST_F(Remote, EchoThatCannotBeSentStaysQuietAndNeverRecurses) {
    Com_SetupPrintf(PRF_SINKS, EchoingPrint, EchoingPrint);
    Com_SetupError(EchoingError);
    qbase.rconEcho = 1;
    const netadr_t unreachable[] = {
        {NA_IP, {127, 0, 0, 3}, 0, 0},   // port 0: the system refuses the send
        {NA_IP, {0, 0, 0, 0}, 5, 0},     // the transport refuses 0.0.0.0
        {0, {}, 0, 0},                   // a cleared address
    };
    for (const netadr_t &a : unreachable) {
        qbase.rconEchoAddress = a;
        g_depth = g_deepest = g_echoErrors = 0;
        Com_Printf("status line");
        EXPECT_EQ(g_echoErrors, 0);
        EXPECT_EQ(g_deepest, 1);
    }
    Com_SetupPrintf(PRF_SINKS, hm_test::CapturePrint, hm_test::CapturePrint);
    Com_SetupError(hm_test::CaptureError);
}

// Two engines that each run the other's remote lines: an echo printed here must
// not be echoed back, or one line would travel between them for ever.
TEST_F(Remote, EchoesFromElsewhereAreNotEchoedBack) {
    Com_SetupPrintf(PRF_SINKS, EchoingPrint, EchoingPrint);
    const netadr_t local{NA_LOCAL, {}, 0, 0};
    qbase.rconEcho = 1;
    qbase.rconEchoAddress = local;
    qbase.rconTarget = op;
    EXPECT_EQ(Deliver("rcon_echo \"ping\"", op), 1);
    EXPECT_EQ(NET_GetPackage(NS_SERVER, package.get()), 0);
    Com_Printf("own line");
    EXPECT_EQ(NET_GetPackage(NS_SERVER, package.get()), 1);
    Com_SetupPrintf(PRF_SINKS, hm_test::CapturePrint, hm_test::CapturePrint);
}

TEST_F(Remote, EchoCarriesPrintedLinesToTheOperator) {
    qbase.rconEcho = 1;
    qbase.rconEchoAddress = netadr_t{NA_LOCAL, {}, 0, 0};
    Base_RConEcho("hello");
    ASSERT_EQ(NET_GetPackage(NS_CLIENT, package.get()), 0);  // servers send on side 0
    ASSERT_EQ(NET_GetPackage(NS_SERVER, package.get()), 1);
    EXPECT_STREQ(reinterpret_cast<const char *>(package->msg.data), "rcon_echo \"hello\"");
    qbase.rconEcho = 0;
    Base_RConEcho("silent");
    EXPECT_EQ(NET_GetPackage(NS_SERVER, package.get()), 0);
}

TEST_F(Remote, MasterAnswersAreTiedToTheInstanceNumber) {
    const netadr_t master{NA_IP, {127, 0, 0, 2}, 15666, 0};
    qbase.masterAddress = master;
    const std::string me = std::to_string(static_cast<int32_t>(qbase.instanceNumber));
    EXPECT_EQ(Deliver("master_challenge 12345 777", master), 1);
    EXPECT_EQ(qbase.masterChallenge, 0u);
    EXPECT_EQ(Deliver("master_challenge " + me + " 777", master), 1);
    EXPECT_EQ(qbase.masterChallenge, 777u);
    EXPECT_TRUE(Printed("New master challenge: \xA4" "08777\xA4" "00"));
    EXPECT_STREQ(base_master.string, "127.0.0.2:15666 challenge: 777");
    captured.prints.clear();
    EXPECT_EQ(Deliver("master_challenge " + me + " 777", master), 1);
    EXPECT_FALSE(Printed("New master challenge"));

    EXPECT_EQ(Deliver("master_version " + me + " 7", master), 1);
    EXPECT_EQ(qbase.newerVersion, 0);
    EXPECT_EQ(Deliver("master_version 5 8", master), 1);
    EXPECT_EQ(qbase.newerVersion, 0);
    EXPECT_EQ(Deliver("master_version " + me + " 8", master), 1);
    EXPECT_EQ(qbase.newerVersion, 1);
}

TEST_F(Remote, MasterAnswersFromAnyOtherSenderAreIgnored) {
    const netadr_t master{NA_IP, {127, 0, 0, 2}, 15666, 0};
    const std::string me = std::to_string(static_cast<int32_t>(qbase.instanceNumber));
    const netadr_t others[] = {{NA_IP, {127, 0, 0, 2}, 15667, 0}, {NA_IP, {127, 0, 0, 3}, 15666, 0},
                               {NA_LOCAL, {}, 0, 0}};
    qbase.masterAddress = master;
    for (const netadr_t &from : others) {
        SCOPED_TRACE(Com_adrstr(&from));
        EXPECT_EQ(Deliver("master_challenge " + me + " 777", from), 1);
        EXPECT_EQ(Deliver("master_version " + me + " 8", from), 1);
    }
    // Before the master is known, nobody is.
    memset(&qbase.masterAddress, 0, sizeof qbase.masterAddress);
    EXPECT_EQ(Deliver("master_challenge " + me + " 777", master), 1);
    EXPECT_EQ(qbase.masterChallenge, 0u);
    EXPECT_EQ(qbase.newerVersion, 0);
}

TEST_F(Remote, LoopBackMasterIsRefusedAndNothingIsSent) {
    for (const char *host : {"local", "127.0.0.1", "127.0.0.1:15666"}) {
        SCOPED_TRACE(host);
        captured.prints.clear();
        Cmd_SetCVar(&base_masterServer, host, 1);
        Base_UpdateMaster(1);
        EXPECT_TRUE(Printed(std::string("Master server \"") + host + "\" is this process's loop-back"));
        EXPECT_EQ(qbase.masterAddress.type, 0u);
        EXPECT_STREQ(base_master.string, "BAD challenge: 0");
        EXPECT_EQ(NET_GetPackage(NS_CLIENT, package.get()), 0);
        EXPECT_EQ(NET_GetPackage(NS_SERVER, package.get()), 0);
    }
}

TEST_F(Remote, UnresolvableMasterIsReportedAndNothingIsSent) {
    Cmd_SetCVar(&base_masterServer, MASTER_DEFAULT_HOST, 1);
    Base_UpdateMaster(0);
    EXPECT_TRUE(Printed("Could not resolve master DNS"));
    EXPECT_EQ(qbase.masterAddress.type, 0u);
    EXPECT_STREQ(base_master.string, "BAD challenge: 0");
    // The version check that start-up sends next goes to the cleared address.
    NET_SendOutOfBandPrintf(NS_CLIENT, &qbase.masterAddress, "master_version_check %d", 1);
    EXPECT_TRUE(hm_test::Reported("NET_SendNetData: Bad address"));
}

TEST_F(Remote, LocalMasterIsOnTheLanWithoutALookup) {
    Cmd_SetCVar(&base_masterServer, "never-looked-up.invalid", 1);
    Cmd_SetCVar(Cmd_GetCVar("net_fakedrop"), "1", 1);  // nothing leaves for the LAN
    qbase.localMaster = 7;
    Base_UpdateMaster(0);
    Cmd_SetCVar(Cmd_GetCVar("net_fakedrop"), "0", 1);
    EXPECT_STREQ(Com_adrstr(&qbase.masterAddress), "192.168.1.7:15666");
    EXPECT_FALSE(Printed("Could not resolve master DNS"));
    EXPECT_TRUE(Printed("Resolved master address \xA4" "08192.168.1.7:15666\xA4" "00"));
    // A known challenge stops later unforced refreshes.
    qbase.masterChallenge = 5;
    qbase.localMaster = 8;
    Base_UpdateMaster(0);
    EXPECT_EQ(qbase.masterAddress.ip[3], 7);
}

// ---- against the stand-in master server ----

// Moves datagrams from the socket through the transport to the handler until
// done() holds or about ms milliseconds passed.  Texts the handler does not take are kept.
template <typename Done>
bool Pump(netPackage_t *package, Done done, std::vector<std::string> *others = nullptr, int ms = 2000) {
    byte datagram[NET_MAX_DATAGRAM];
    for (int i = 0; i < ms && !done(); i++) {
        netadr_t from;
        while (const int n = Sys_GetNetData(&from, sizeof datagram, datagram)) NET_EnqueueFragment(&from, datagram, n);
        while (NET_GetPackage(NS_SERVER, package)) {
            Msg_ReadBegin(&package->msg);
            Msg_ReadTokenize();
            if (!Base_HandlePackage(package) && others) {
                others->push_back(reinterpret_cast<const char *>(package->msg.data));
            }
        }
        usleep(1000);
    }
    return done();
}

TEST_F(Remote, EngineGetsItsChallengeAndVersionFromTheStandInMaster) {
    e2e::MasterProcess master("9");
    ASSERT_NE(master.port(), 0) << "hm_master did not start";
    Cmd_SetCVar(&base_masterServer, master.address().c_str(), 1);
    Base_UpdateMaster(0);
    EXPECT_TRUE(Printed("Resolved master address"));
    NET_SendOutOfBandPrintf(NS_CLIENT, &qbase.masterAddress, "master_version_check %d",
                            static_cast<int32_t>(qbase.instanceNumber));
    EXPECT_TRUE(Pump(package.get(), [] { return qbase.masterChallenge != 0 && qbase.newerVersion; }));
    EXPECT_NE(qbase.masterChallenge, 0u);
    EXPECT_EQ(qbase.newerVersion, 1);

    // As a game server: a heartbeat with the challenge lists us; a server list
    // asked with the challenge names us, with the session number echoed.
    const uint32_t challenge = qbase.masterChallenge;
    NET_SendOutOfBandPrintf(NS_SERVER, &qbase.masterAddress, "serverinfo %d 0 N \"test\" \"map\" dm 0 16 \"hm\" 110 0 2 %d \"1\"",
                            static_cast<int32_t>(challenge), qnet.localAddress.port);
    std::vector<std::string> replies;
    const std::string ourPort = ":" + std::to_string(qnet.localAddress.port);
    auto listed = [&] {
        for (const std::string &r : replies)
            if (r.find(ourPort) != std::string::npos) return true;
        return false;
    };
    for (int attempt = 0; attempt < 20 && !listed(); attempt++) {
        NET_SendOutOfBandPrintf(NS_CLIENT, &qbase.masterAddress, "getservers %d %d 0", static_cast<int32_t>(challenge),
                                4321);
        Pump(package.get(), [&] { return !replies.empty(); }, &replies, 200);
    }
    ASSERT_TRUE(listed());
    EXPECT_EQ(replies.back().rfind("cg_server_list 4321 ", 0), 0u) << replies.back();

    // Anyone may send a shutdown in our name: only one with our challenge takes us off.
    auto stillListed = [&] {
        replies.clear();
        NET_SendOutOfBandPrintf(NS_CLIENT, &qbase.masterAddress, "getservers %d %d 0", static_cast<int32_t>(challenge),
                                4321);
        Pump(package.get(), [&] { return !replies.empty(); }, &replies, 500);
        return listed();
    };
    for (const char *forged : {"server_shutdown", "server_shutdown 1"}) {
        NET_SendOutOfBandPrintf(NS_SERVER, &qbase.masterAddress, "%s", forged);
        EXPECT_TRUE(stillListed()) << forged;
    }
    NET_SendOutOfBandPrintf(NS_SERVER, &qbase.masterAddress, "server_shutdown %d", static_cast<int32_t>(challenge));
    EXPECT_FALSE(stillListed());

    // A wrong challenge gets no list; a forced refresh asks again and keeps the challenge.
    replies.clear();
    NET_SendOutOfBandPrintf(NS_CLIENT, &qbase.masterAddress, "getservers %d %d 0", 1, 4321);
    Pump(package.get(), [] { return false; }, &replies, 200);
    EXPECT_TRUE(replies.empty());
    Base_UpdateMaster(1);
    qbase.masterChallenge = 0;
    EXPECT_TRUE(Pump(package.get(), [] { return qbase.masterChallenge != 0; }));
    EXPECT_EQ(qbase.masterChallenge, challenge);
}

}  // namespace
