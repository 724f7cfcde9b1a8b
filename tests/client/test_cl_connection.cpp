// The client's connection: handshake texts and retries on a fake clock, time-outs,
// the stalled flag, disconnecting, and the parser's answers to what arrives.
#include "base/snapshot.h"
#include "common/com_hash.h"
#include "tests/client/client_fixture.h"
#include "world/world.h"

namespace {

using namespace hm_test;

using Connection = ClientTest;

std::string EmptyPasswordDigest() {
    byte digest[MD5_DIGEST_SIZE];
    Com_GetMD5(digest, "", 0);
    return Com_MD52String(digest);
}

TEST_F(Connection, HandshakeRetriesAndGivesUpOnTheClock) {
    CL_ConnectToServer("127.0.0.1", "", "Ann");
    EXPECT_EQ(cl.state, ECL_CONNECTING);
    EXPECT_EQ(ecl.state, ECL_CONNECTING);
    EXPECT_EQ(SentTexts(), std::vector<std::string>{"get_challenge"});

    Advance(2000);
    CL_CheckServerConnection();
    EXPECT_TRUE(SentTexts().empty()) << "exactly 2,000 ms after the last try nothing is resent";
    Advance(1);
    CL_CheckServerConnection();
    EXPECT_EQ(SentTexts(), std::vector<std::string>{"get_challenge"}) << "no challenge yet: no connect text";

    Text("challenge 55", STRANGER);
    EXPECT_EQ(cl.challenge, 0) << "a challenge from another address is ignored";
    EXPECT_TRUE(SentTexts().empty());

    Text("challenge 55");
    EXPECT_EQ(cl.challenge, 55);
    EXPECT_TRUE(Printed("New server challenge: \xA4" "0855\xA4" "00"));
    const std::string connect =
        "connect 110 " + EmptyPasswordDigest() + " \"Ann\" 0 55 " + std::to_string(qbase.packChecksum) + " 110";
    EXPECT_EQ(SentTexts(), std::vector<std::string>{connect});
    captured = {};
    Text("challenge 55");
    EXPECT_FALSE(Printed("New server challenge")) << "the same challenge again is stored silently";
    EXPECT_EQ(SentTexts(), std::vector<std::string>{connect});

    Advance(2001);
    CL_CheckServerConnection();
    EXPECT_EQ(SentTexts(), (std::vector<std::string>{"get_challenge", connect}));
    EXPECT_TRUE(Printed("Retry connection LOCAL..."));

    // 10,000 ms after the attempt began it still waits; one more and it gives up.
    Advance(10000 - 2001 - 2001);
    CL_CheckServerConnection();
    EXPECT_EQ(cl.state, ECL_CONNECTING);
    Advance(1);
    captured = {};
    CL_CheckServerConnection();
    EXPECT_EQ(cl.state, ECL_DISCONNECTED);
    EXPECT_EQ(ecl.state, ECL_DISCONNECTED);
    EXPECT_TRUE(Printed("Dropped server (Found no connection)"));
}

// The game clock passes the top of a signed and of an unsigned 32-bit value: the
// retry and the give-up still come after the same waits.
TEST_F(Connection, TheHandshakeClockKeepsItsWaitsAcrossTheWrap) {
    for (const uint32_t start : {0x7FFFFFFFu - 3000u, 0xFFFFFFFFu - 3000u}) {
        qbase.time = start;
        CL_ConnectToServer("127.0.0.1", "", "Ann");
        Drain();
        Advance(2001);
        CL_CheckServerConnection();
        EXPECT_EQ(SentTexts(), std::vector<std::string>{"get_challenge"}) << start;
        Advance(7999);
        CL_CheckServerConnection();
        EXPECT_EQ(cl.state, ECL_CONNECTING) << start;
        Advance(1);
        CL_CheckServerConnection();
        EXPECT_EQ(cl.state, ECL_DISCONNECTED) << start;
    }
}

// The game time restarts before it reaches 2^31 ms.  What the client stamped before
// keeps its age: the silence stalls and ends the connection on time, and pooled page
// acknowledgements go after their 50 ms.
TEST_F(Connection, StampsKeepTheirAgesAcrossTheGameTimeRestart) {
    qbase.time = 0x7FFFFFFFu - 300;
    ConnectFully();
    CL_AddPageAck(1, 2, 3, 4);
    Base_RestartGameTime();
    Advance(600);
    CL_SendPageAcks(0);
    EXPECT_EQ(Sent().size(), 1u) << "the pooled acknowledgement went";
    CL_CheckServerConnection();
    EXPECT_EQ(cl.stalled, 1);
    Advance(9500);
    CL_CheckServerConnection();
    EXPECT_EQ(cl.state, ECL_DISCONNECTED);
    EXPECT_TRUE(Printed("Dropped server (No response in 10 seconds)"));
    qbase.timeRestart = comRestart_t{};
}

TEST_F(Connection, AWorldInfoConnectsAndSilenceStallsThenDrops) {
    CL_ConnectToServer("127.0.0.1", "pw", "Ann");
    Text("challenge 9");
    WorldInfo(3, 7, "path \"worlds/planet\";cheat \"1\";eof \"1\";");
    EXPECT_EQ(cl.state, ECL_CONNECTED);
    EXPECT_EQ(cl.worldInfoVersion, 7);
    EXPECT_EQ(cl.worldId, 3);
    EXPECT_STREQ(cl.worldPath, "worlds/planet");
    EXPECT_TRUE(Called(GCALL_CG_CONNECTED_TO_SERVER));
    ASSERT_TRUE(Called(GCALL_CG_MAP_CHANGE));
    EXPECT_EQ(fakeModule.calls.back().text, "worlds/planet");
    CL_UpdateECL();
    EXPECT_EQ(ecl.state, ECL_CONNECTED);
    EXPECT_EQ(ecl.worldIncomplete, 1);
    Drain();

    Advance(500);
    CL_CheckServerConnection();
    EXPECT_EQ(cl.stalled, 0);
    Advance(1);
    CL_CheckServerConnection();
    EXPECT_EQ(cl.stalled, 1);
    // Any in-band piece clears it and stamps the time.
    static msg_t ping;
    Msg_WriteBegin(&ping);
    Msg_WriteByte(SVP_PING);
    Msg_WriteLong(1234);
    Deliver(ping, LOOPBACK);
    EXPECT_EQ(cl.stalled, 0);
    const std::vector<netPackage_t> sent = Sent();
    ASSERT_EQ(sent.size(), 1u) << "the ping is answered at once";
    netPackage_t answer = sent[0];
    Msg_ReadBegin(&answer.msg);
    EXPECT_EQ(Msg_ReadLong(), CLSV_MAGIC);
    EXPECT_EQ(Msg_ReadLong(), 9);
    EXPECT_EQ(Msg_ReadByte(), CLP_PING);
    EXPECT_EQ(Msg_ReadLong(), 1234);
    EXPECT_TRUE(Msg_IsEOF());

    Advance(10000);
    CL_CheckServerConnection();
    EXPECT_EQ(cl.state, ECL_CONNECTED);
    Advance(1);
    CL_CheckServerConnection();
    EXPECT_EQ(cl.state, ECL_DISCONNECTED);
    EXPECT_TRUE(Printed("Dropped server (No response in 10 seconds)"));
    ASSERT_TRUE(Called(GCALL_DISCONNECT_SCREEN));
    EXPECT_EQ(fakeModule.calls.back().text, "Server connection lost");
}

TEST_F(Connection, ConnectAndDisconnectKeepTheirPromises) {
    CL_ConnectToServer("127.0.0.1", "", "Ann");
    const int32_t began = cl.connectTime;
    Advance(100);
    CL_ConnectToServer("127.0.0.1", "", "Bob");
    EXPECT_EQ(cl.connectTime, began) << "a connect while connecting is ignored";
    EXPECT_STREQ(cl.name, "Ann");
    CL_DisconnectFromServer("");
    EXPECT_TRUE(Printed("Dropped server"));
    EXPECT_EQ(cl.snapNewest, -1);

    // Connected elsewhere: the old server hears nothing, the state starts afresh.
    ConnectFully();
    cl.ccNewest = 5;
    CL_ConnectToServer("127.0.0.1", "", "Ann");
    EXPECT_EQ(cl.state, ECL_CONNECTING);
    EXPECT_EQ(cl.ccNewest, 0);
    EXPECT_EQ(SentTexts(), std::vector<std::string>{"get_challenge"});

    // A disconnect while connected tells the server, once.
    ConnectFully();
    CL_DisconnectFromServer("bye");
    const std::vector<netPackage_t> sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    netPackage_t notice = sent[0];
    Msg_ReadBegin(&notice.msg);
    Msg_ReadLong();
    Msg_ReadLong();
    EXPECT_EQ(Msg_ReadByte(), CLP_DISCONNECT);
    EXPECT_TRUE(Printed("Dropped server (bye)"));
    EXPECT_EQ(cl.ecl, &ecl) << "the client game's record survives";
}

TEST_F(Connection, WorldCountsCompleteAfterFiveSnapshotsAndAMatchingChecksum) {
    ConnectFully();
    snapshot_t &newest = cl.snaps[6 % CL_SNAPSHOTS];
    newest.matterChecksum = 4321;
    newest.number = 6;
    cl.snapNewest = 6;
    struct step_t {
        int32_t count, checksum;
        uint8_t incomplete;
    } steps[] = {{4, 4321, 1}, {5, 1111, 1}, {5, 4321, 0}, {5, 1111, 0}};  // latched once complete
    for (const step_t &s : steps) {
        cl.snapCount = s.count;
        cl.matterChecksum = s.checksum;
        CL_UpdateECL();
        EXPECT_EQ(ecl.worldIncomplete, s.incomplete) << s.count << " " << s.checksum;
    }
    // A new world clears the latch.
    WorldInfo(2, 2, "path \"worlds/ridge\";cheat \"0\";eof \"1\";");
    CL_UpdateECL();
    EXPECT_EQ(ecl.worldIncomplete, 1);
    EXPECT_EQ(cl.snapCount, 0);
    // The newest slot cleared by a refused snapshot: its zero checksum matches nothing.
    cl.snapCount = 5;
    cl.matterChecksum = 0;
    memset(&newest, 0, sizeof newest);
    newest.number = -1;
    CL_UpdateECL();
    EXPECT_EQ(ecl.worldIncomplete, 1);
    EXPECT_EQ(cl.worldComplete, 0);
}

TEST_F(Connection, WorldInfoIsCheckedAndOnlyANewWorldRestartsIt) {
    ConnectFully("worlds/planet");
    WorldInfo(1, 2, "path \"worlds/planet\";cheat \"1\";eof \"1\";pure \"0\";");
    EXPECT_FALSE(Called(GCALL_CG_MAP_CHANGE)) << "the same world id and path only refresh";
    EXPECT_EQ(cl.worldInfoVersion, 2);
    WorldInfo(1, 3, "path \"worlds/ridge\";cheat \"0\";eof \"1\";");
    EXPECT_TRUE(Called(GCALL_CG_MAP_CHANGE));

    struct bad_t {
        const char *info;
        const char *error;
    } bad[] = {
        {"path \"p\";cheat \"0\";", "Bad world info string from server (1)"},
        {"cheat \"0\";eof \"1\";", "Bad world info string from server (2)"},
        {"path \"p\";eof \"1\";", "Bad world info string from server (3)"},
    };
    for (const bad_t &b : bad) {
        ConnectFully();
        WorldInfo(1, 9, b.info);
        EXPECT_TRUE(Reported(ER_ERROR, b.error)) << b.info;
        EXPECT_EQ(cl.state, ECL_DISCONNECTED);
        EXPECT_FALSE(Called(GCALL_DISCONNECT)) << "the client game is not told";
    }

    // A text that does not fit an info string is refused whole.
    ConnectFully();
    const std::string filler(MAX_INFO_STRING, 'a');
    WorldInfo(1, 9, "path \"p\";cheat \"0\";eof \"1\";x \"" + filler + "\";");
    EXPECT_TRUE(Reported(ER_ERROR, "Bad world info string from server"));
    EXPECT_EQ(cl.state, ECL_DISCONNECTED);
    EXPECT_STREQ(cl.worldPath, "worlds/planet") << "nothing of the refused text was taken";

    // The client game refusing the connection leaves the client disconnected.
    CL_ConnectToServer("127.0.0.1", "", "Ann");
    fakeModule.connectedAnswer = 0;
    WorldInfo(1, 1, "path \"p\";cheat \"0\";eof \"1\";");
    EXPECT_EQ(cl.state, ECL_DISCONNECTED);
}

TEST_F(Connection, APieceCutShortStopsThePackage) {
    ConnectFully();
    static msg_t m;
    // A ping whose long runs past the end, then nothing: no answer goes out.
    Msg_WriteBegin(&m);
    Msg_WriteByte(SVP_PING);
    Msg_WriteShort(7);
    Deliver(m, LOOPBACK);
    EXPECT_TRUE(Sent().empty());
    // A bad type stops the package: the ping behind it is not answered.
    Msg_WriteBegin(&m);
    Msg_WriteByte(9);
    Msg_WriteByte(SVP_PING);
    Msg_WriteLong(1);
    Deliver(m, LOOPBACK);
    EXPECT_TRUE(Reported(ER_WARNING, "CL_HandlePackage: Bad package from LOCAL"));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(cl.state, ECL_CONNECTED) << "the connection stays";
    // While connecting, anything before the world info is ignored.
    CL_ConnectToServer("127.0.0.1", "", "Ann");
    Drain();
    Msg_WriteBegin(&m);
    Msg_WriteByte(SVP_PING);
    Msg_WriteLong(1);
    Deliver(m, LOOPBACK);
    EXPECT_TRUE(Sent().empty());
}

// Whatever ends the reading of a package, the pieces behind it are not acted on:
// no ping behind it is answered and no world info behind it is taken.
TEST_F(Connection, NothingBehindAPieceThatEndsThePackageIsActedOn) {
    struct case_t {
        const char *what;
        bool disconnects;  // the client game ends the connection when the server drops it
        void (*first)();
    } cases[] = {
        {"the server drops us", false, [] { Msg_WriteByte(SVP_DROP); }},
        {"the server drops us and the client game disconnects", true, [] { Msg_WriteByte(SVP_DROP); }},
        {"a bad pack type", false, [] { Msg_WriteByte(9); }},
        {"a page outside the grid", false,
         [] {
             Msg_WriteByte(SVP_PAGE);
             Msg_WriteByte(40), Msg_WriteByte(0), Msg_WriteByte(0);
         }},
        {"a page of another world", false,
         [] {
             Msg_WriteByte(SVP_PAGE);
             Msg_WriteByte(1), Msg_WriteByte(2), Msg_WriteByte(3);
             Msg_WriteLong(5), Msg_WriteLong(99), Msg_WriteLong(0), Msg_WriteLong(0);
         }},
        {"a snapshot against a base the client lacks", false,
         [] {
             Msg_WriteByte(SVP_SNAPSHOT);
             Msg_WriteLong(8), Msg_WriteLong(7);
         }},
    };
    for (const case_t &c : cases) {
        ConnectFully();
        fakeModule.disconnects = c.disconnects;
        static msg_t m;
        Msg_WriteBegin(&m);
        c.first();
        Msg_WriteByte(SVP_WORLDINFO);
        Msg_WriteLong(2), Msg_WriteLong(5);
        Msg_WriteString("path \"worlds/ridge\";cheat \"0\";eof \"1\";");
        Msg_WriteByte(SVP_PING);
        Msg_WriteLong(1234);
        Deliver(m, LOOPBACK);
        for (netPackage_t &p : Sent()) {
            Msg_ReadBegin(&p.msg);
            Msg_ReadLong(), Msg_ReadLong();
            EXPECT_NE(Msg_ReadByte(), CLP_PING) << c.what << ": the ping behind it is not answered";
        }
        EXPECT_FALSE(Called(GCALL_CG_MAP_CHANGE)) << c.what;
        EXPECT_FALSE(Called(GCALL_CG_CONNECTED_TO_SERVER)) << c.what;
        EXPECT_NE(cl.worldInfoVersion, 5) << c.what;
        EXPECT_STRNE(cl.worldPath, "worlds/ridge") << c.what;
    }
}

// What the parser does with each first word, by state and sender.
TEST_F(Connection, ParserDispatchesByWordStateAndSender) {
    enum effect_t { IGNORED, QUEUED, DISCONNECT_CALLED };
    struct case_t {
        const char *text;
        int32_t state;
        bool fromServer;
        effect_t effect;
    } cases[] = {
        {"serverinfo 1 2", ECL_DISCONNECTED, false, QUEUED},
        {"cg_server_list 1", ECL_DISCONNECTED, false, QUEUED},
        {"serverinfo2 x", ECL_CONNECTED, true, QUEUED},
        {"serverinfo2 x", ECL_CONNECTED, false, IGNORED},
        {"cg_print hi", ECL_CONNECTED, true, QUEUED},
        {"cg_print hi", ECL_CONNECTED, false, IGNORED},
        {"cg_print hi", ECL_DISCONNECTED, true, IGNORED},
        {"cl_print hi", ECL_CONNECTED, true, IGNORED},
        {"poll 1 2", ECL_CONNECTED, true, IGNORED},
        {"master_poll", ECL_CONNECTED, true, IGNORED},
        {"disconnect 77 \"go away\"", ECL_CONNECTED, true, DISCONNECT_CALLED},
        {"disconnect 78 \"go away\"", ECL_CONNECTED, true, IGNORED},
        {"disconnect 77 \"go away\"", ECL_CONNECTED, false, IGNORED},
    };
    for (const case_t &c : cases) {
        ConnectFully();
        cl.challenge = 77;
        cl.state = c.state;
        cl.pipe.remote = c.fromServer ? LOOPBACK : netadr_t{NA_IP, {10, 0, 0, 1}, 1, 0};
        const netadr_t from = c.fromServer ? cl.pipe.remote : STRANGER;
        const uint32_t queued = cl_serverCommands.head + cl_outsideCommands.head;
        Text(c.text, from);
        EXPECT_EQ(cl_serverCommands.head + cl_outsideCommands.head - queued, c.effect == QUEUED ? 1u : 0u)
            << c.text << " " << c.state;
        EXPECT_EQ(Called(GCALL_DISCONNECT), c.effect == DISCONNECT_CALLED) << c.text;
        if (c.effect == DISCONNECT_CALLED) {
            EXPECT_EQ(fakeModule.calls.back().text, "go away");
        }
        cl_serverCommands = {};
        cl_outsideCommands = {};
    }
    // A disconnected client only notes stray in-band data.
    ConnectFully();
    cl.state = ECL_DISCONNECTED;
    captured = {};
    Text("whatever");
    EXPECT_TRUE(captured.errors.empty());
    EXPECT_TRUE(Printed("CL_HandlePackage: Get packaged from LOCAL but we are disconnected"));
}

TEST_F(Connection, TheServerCommandQueueHoldsThirtyTwo) {
    for (int i = 0; i < 33; i++) Text("serverinfo " + std::to_string(i));
    EXPECT_TRUE(Reported(ER_DEVWARNING, "CL_HandleCGServerCommand: Buffer full dropping server cmds"));
    netadr_t from{};
    for (int i = 0; i < 32; i++) {
        CL_GetNextServerCommand(&from);
        ASSERT_EQ(CL_ServerCommandArgc(), 2);
        EXPECT_EQ(std::string(CL_ServerCommandArgv(1)), std::to_string(i)) << "oldest first, the 33rd lost";
    }
    EXPECT_EQ(from.type, NA_LOCAL);
    CL_GetNextServerCommand(nullptr);
    EXPECT_EQ(CL_ServerCommandArgc(), 0) << "an empty queue shows no words";
    Text("serverinfo a b");
    CL_GetNextServerCommand(nullptr);
    EXPECT_STREQ(CL_ServerCommandArgv(-1), "");
    EXPECT_STREQ(CL_ServerCommandArgv(3), "");
    EXPECT_STREQ(CL_ServerCommandArgv(2), "b");
}

// Anyone may send "serverinfo" and "cg_server_list", and may send many: the
// server's own texts still find room, and are read first.
TEST_F(Connection, StrangersTextsNeverCrowdOutTheServers) {
    ConnectFully();
    for (int i = 0; i < 40; i++) Text("serverinfo " + std::to_string(i), STRANGER);
    for (int i = 0; i < 10; i++) Text("cg_server_list 1 10.0.0." + std::to_string(i), STRANGER);
    captured = {};
    for (const char *text : {"cg_print hi", "cg_scoreboard 1", "serverinfo2 x"}) Text(text, LOOPBACK);
    EXPECT_FALSE(Reported(ER_DEVWARNING, "CL_HandleCGServerCommand: Buffer full dropping server cmds"));
    netadr_t from{};
    for (const char *word : {"cg_print", "cg_scoreboard", "serverinfo2"}) {
        CL_GetNextServerCommand(&from);
        EXPECT_STREQ(CL_ServerCommandArgv(0), word);
        EXPECT_EQ(from.type, NA_LOCAL);
    }
    for (int i = 0; i < 32; i++) {
        CL_GetNextServerCommand(&from);
        ASSERT_STREQ(CL_ServerCommandArgv(0), "serverinfo");
        EXPECT_EQ(std::string(CL_ServerCommandArgv(1)), std::to_string(i)) << "the strangers' room holds 32";
        EXPECT_TRUE(Com_adrcmp(&from, &STRANGER));
    }
    CL_GetNextServerCommand(nullptr);
    EXPECT_EQ(CL_ServerCommandArgc(), 0);
}

// A fresh connection holds no snapshot: a delta against number 0 before 0 ever came
// has no base, however the ring was cleared.
TEST_F(Connection, NoSnapshotSlotIsValidBeforeItArrives) {
    static snapshot_t zero, first;
    first.number = 1;
    first.client.health = 50;
    for (int pass = 0; pass < 2; pass++) {
        SCOPED_TRACE(pass);
        if (pass == 1) {  // a disconnect clears the ring the same way
            CL_DisconnectFromServer("");
        }
        ConnectFully();
        static msg_t m;
        Msg_WriteBegin(&m);
        Msg_WriteByte(SVP_SNAPSHOT);
        Snap_WriteSnapshot(&first, &zero, 0, 0);
        Deliver(m, LOOPBACK);
        EXPECT_TRUE(Reported(ER_WARNING, "CL_DecodeSnapshot: Our delta snapshot is to old, dropping snapshot (-1 != 0)"))
            << AllErrors();
        EXPECT_EQ(CL_NewestSnapshot(), nullptr);
        EXPECT_NE(cl.snaps[1].number, 1);
    }
}

// The in-process server owns the world its local client shares: a disconnect
// leaves its pages and their sequence numbers as they are.
TEST_F(Connection, DisconnectingFromTheServerInThisProcessKeepsItsWorld) {
    ConnectFully();
    constexpr int32_t x = 3, y = 4, z = 5;
    const int cell = (z * WO_GRID_PAGES + y) * WO_GRID_PAGES + x;
    ASSERT_TRUE(CL_SetCompressedPage(x, y, z, -1, 0, nullptr));
    wo_seqGrid[cell] = 12;
    for (const char *reason : {"No response in 10 seconds", ""}) {
        CL_DisconnectFromServer(reason);
        EXPECT_EQ(wo_pageGrid[cell], WO_CELL_SOLID);
        EXPECT_EQ(wo_seqGrid[cell], 12u);
        ConnectFully();
    }
    CL_SetCompressedPage(x, y, z, 0, 0, nullptr);
}

}  // namespace
