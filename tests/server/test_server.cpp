// The server's state, slots, handshake and the reading of client packages, driven
// through the same entry points the frame and the module use.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/base.h"
#include "base/cmd.h"
#include "base/files.h"
#include "base/net.h"
#include "base/remote.h"
#include "base/sys.h"
#include "common/com_hash.h"
#include "common/common.h"
#include "server/server.h"
#include "tests/base/scratch_dir.h"
#include "tests/support/capture.h"
#include "tests/support/udp_peer.h"
#include "tests/world/world_build.h"

namespace {

using hm_test::captured;
using hm_test::Printed;
using hm_test::Reported;

int32_t Now() { return static_cast<int32_t>(Base_Time()); }

// The peer a remote player would be, with its address as the server sees it.
struct Peer : hm_test::UdpPeer {
    netadr_t address{NA_IP, {127, 0, 0, 1}, port(), 0};
};

struct Server : testing::Test {
    static void SetUpTestSuite() {
        hm_test::StartCapture();
        Cmd_Startup();
        NET_Imp();
        SV_Imp(1);
        Cmd_SetCVar(Cmd_GetCVar("net_port"), "0", 1);
        NET_Init();
    }
    void SetUp() override {
        qbase.serverRunning = 0;
        qbase.clientRunning = 0;
        Cmd_SetCVar(&sv_name, "Mere", 1);
        Cmd_SetCVar(&sv_password, "", 1);
        Cmd_SetCVar(&sv_privatePassword, "", 1);
        Cmd_SetCVar(&sv_maxPlayers, "8", 1);
        Cmd_SetCVar(&sv_pure, "0", 1);
        Cmd_SetCVar(&sv_lanServer, "1", 1);
        SV_Imp(0);
        FS_StartUp(nullptr);  // bans.txt lives in the test's own directory
        SV_StartServer("worlds/ring.vo2");
        SV_UploadClientStateReference(records, sizeof records[0]);
        package = std::make_unique<netPackage_t>();
        captured = {};
    }
    void TearDown() override {
        SV_ShutdownServer(0);
        dir.Leave();
        FS_StartUp(nullptr);  // no later test may find the file system in a removed directory
    }

    // Offers one out-of-band text as the frame does.
    void Text(const std::string &text, const netadr_t &from) {
        package->address = from;
        Msg_WriteBegin(&package->msg);
        Msg_WriteBytes(text.c_str(), static_cast<int>(text.size()) + 1);
        Msg_ReadBegin(&package->msg);
        Msg_ReadTokenize();
        SV_HandlePackage(package.get());
    }
    // Starts a client package of slot's challenge; records follow with Msg_Write*.
    void Begin(int32_t challenge = 4242) {
        Msg_WriteBegin(&package->msg);
        Msg_WriteLong(CLSV_MAGIC);
        Msg_WriteLong(challenge);
    }
    void Deliver(const netadr_t &from) {
        package->address = from;
        Msg_ReadBegin(&package->msg);
        Msg_ReadTokenize();
        SV_HandlePackage(package.get());
    }
    // Occupies slot for a peer at address with challenge 4242.
    svClient_t *Occupy(int slot, const netadr_t &address) {
        SV_AddClient(slot, &address, -1, 4242);
        return &sv_clients[slot];
    }

    ScratchDir dir{true};
    uint8_t records[SV_MAX_CLIENTS][920] = {};
    std::unique_ptr<netPackage_t> package;
    const netadr_t player{NA_IP, {127, 0, 0, 9}, 30001, 77};
};

// ---- state, start and shutdown ----

TEST_F(Server, VariablesAreForcedIntoTheirRanges) {
    struct {
        cmdVar_t *var;
        const char *set, *reads;
    } const cases[] = {
        {&sv_maxPlayers, "20", "16"}, {&sv_maxPlayers, "-3", "0"}, {&sv_maxPlayers, "12", "12"},
        {&sv_minRate, "100", "2500"}, {&sv_maxRate, "2000", "2500"}, {&sv_maxSnaps, "2", "5"},
    };
    for (const auto &c : cases) {
        Cmd_SetCVar(c.var, c.set, 0);
        EXPECT_STREQ(c.var->string, c.reads) << c.var->name << " " << c.set;
    }
}

TEST_F(Server, NamesAndPasswordsOnlyReachTheStateWhenValid) {
    Cmd_SetCVar(&sv_password, "open sesame", 1);
    EXPECT_STREQ(svs.password, "open sesame");
    Cmd_SetCVar(&sv_password, "semi;colon", 1);
    EXPECT_STREQ(svs.password, "open sesame");
    EXPECT_TRUE(Printed("Invalid password"));

    Cmd_SetCVar(&sv_name, "a name that is far too long for the list", 1);
    EXPECT_STREQ(svs.name, "Mere");
    SV_StartServer("worlds/ring.vo2");  // a restart with an invalid name falls back
    EXPECT_STREQ(svs.name, SV_FALLBACK_NAME);
}

TEST_F(Server, NewMapKeepsClientsAndMakesTheWholeWorldDueAgain) {
    svClient_t *c = Occupy(3, player);
    c->pageAck[100] = 7;
    c->pageSent[100] = 1234;
    c->snapAcked = 5;
    const int32_t world = svs.worldId, info = svs.worldInfoVersion;
    SV_StartServer("worlds/next.vo2");
    EXPECT_EQ(c->inUse, 1);
    EXPECT_EQ(c->challenge, 4242);
    EXPECT_EQ(c->snapAcked, 5);
    EXPECT_EQ(c->pageAck[100], -1);
    EXPECT_EQ(c->pageSent[100], 0);
    EXPECT_EQ(svs.worldId, world + 1);
    EXPECT_EQ(svs.worldInfoVersion, info + 1);
    EXPECT_STREQ(SV_GetMapPath(), "worlds/next.vo2");

    SV_ShutdownServer(1);  // keeps running with its slots
    EXPECT_EQ(qbase.serverRunning, 1);
    EXPECT_EQ(c->inUse, 1);
    SV_ShutdownServer(0);
    EXPECT_EQ(qbase.serverRunning, 0);
    EXPECT_EQ(c->inUse, 0);
    EXPECT_EQ(c->state, records[3]);  // the server game's record stays attached
}

TEST_F(Server, OverlongMapPathIsRefusedNotCut) {
    SV_StartServer(std::string(300, 'w').c_str());
    EXPECT_STREQ(SV_GetMapPath(), "");
    EXPECT_TRUE(Reported(ER_WARNING, "map path too long"));
}

TEST_F(Server, GameDataReferenceAcceptsUpTo128Bytes) {
    uint8_t block[256];
    SV_UploadSnapshotGameDataReference(block, 128);
    EXPECT_EQ(sv.gameDataSize, 128);
    EXPECT_TRUE(captured.errors.empty());
    SV_UploadSnapshotGameDataReference(block, 129);
    EXPECT_TRUE(Reported(ER_FATAL, "SV_UploadSnapshotGameDataReference: size max 128"));
    EXPECT_EQ(sv.gameDataSize, 128);
}

TEST_F(Server, LinkingMovesToTheTailAndBadNumbersAreRefused) {
    static uint8_t entities[SV_MAX_ENTITIES][764];
    memset(entities, 0, sizeof entities);
    SV_UploadEntityStateReference(entities, 764);
    EXPECT_EQ(sv.entities[2].shared, entities[2] + 204);
    entities[1][0] = entities[2][0] = entities[3][0] = 1;
    SV_LinkEntity(1);
    SV_LinkEntity(2);
    SV_LinkEntity(3);
    SV_LinkEntity(1);  // already linked: to the tail
    std::vector<long> order;
    for (svEntity_t *e = sv.entityList.next; e != &sv.entityList; e = e->next) order.push_back(e - sv.entities);
    EXPECT_EQ(order, (std::vector<long>{2, 3, 1}));

    SV_UnlinkEntity(3);
    EXPECT_EQ(sv.entities[3].next, nullptr);
    SV_UnlinkEntity(3);
    EXPECT_TRUE(Reported(ER_DEVWARNING, "SV_UnlinkEntity: Entity num 3 is not linked"));
    SV_LinkEntity(4);
    EXPECT_TRUE(Reported(ER_FATAL, "SV_LinkEntity: Entity num 4 not active"));
    SV_LinkEntity(512);
    EXPECT_TRUE(Reported(ER_FATAL, "SV_LinkEntity: Bad entity num 512"));
    SV_UnlinkEntity(-1);
    EXPECT_TRUE(Reported(ER_FATAL, "SV_UnlinkEntity: Bad entity num -1"));
}

TEST_F(Server, CheatsAreAnnouncedUnlessSilent) {
    Cmd_SetCVar(&sv_cheats, "1", 1);
    EXPECT_TRUE(Printed("Cheats is now ON"));
    EXPECT_EQ(sv.cheats, 1);
    captured.prints.clear();
    Cmd_Add("sv_cheats 0 silent");
    Cmd_Flush();
    EXPECT_FALSE(Printed("Cheats is now"));
    EXPECT_EQ(sv.cheats, 0);
}

// ---- frame helpers ----

TEST_F(Server, TimeOutAfterFifteenSilentSeconds) {
    svClient_t *c = Occupy(0, player);
    c->lastReceive = Now() - SV_TIMEOUT_MSEC + 50;
    EXPECT_EQ(SV_CheckClientConnection(c), 0);
    c->lastReceive = Now() - SV_TIMEOUT_MSEC - 1;
    EXPECT_EQ(SV_CheckClientConnection(c), 1);
}

TEST_F(Server, RateComesFromTheInfoStringAndNeverBelowTheFloor) {
    svClient_t *c = Occupy(0, player);
    c->rate = 9000;
    SV_ClientInfo(c);  // empty info: kept
    EXPECT_EQ(c->rate, 9000);
    strcpy(c->info, "name \"Ada\";");
    SV_ClientInfo(c);  // no rate key: kept
    EXPECT_EQ(c->rate, 9000);
    strcpy(c->info, "name \"Ada\";rate \"1000\";");
    SV_ClientInfo(c);
    EXPECT_EQ(c->rate, 2500);
    strcpy(c->info, "rate \"20000\";");
    SV_ClientInfo(c);
    EXPECT_EQ(c->rate, 20000);
    strcpy(c->info, "rate \"99999999999999999999\";");
    SV_ClientInfo(c);
    EXPECT_EQ(c->rate, INT32_MAX);
}

// ---- handshake ----

TEST_F(Server, ChallengesAreStablePerAddressAndTheTableWraps) {
    Peer peer;
    Text("get_challenge", peer.address);
    const std::string first = peer.ReceiveText();
    ASSERT_EQ(first.rfind("challenge ", 0), 0u) << first;
    Text("get_challenge 12", peer.address);
    EXPECT_EQ(peer.ReceiveText(), first);
    EXPECT_EQ(svs.challengeCounter, 1u);

    // 2,048 more addresses, told apart by their qports: the 2,049th entry
    // overwrites the peer's.  The answers go to the privileged discard port, where
    // no test of ours listens.
    for (int i = 0; i < SV_MAX_CHALLENGES; i++) {
        netadr_t a{NA_IP, {127, 0, 0, 1}, 9, static_cast<uint16_t>(1 + i)};
        SV_GetChallenge(&a);
    }
    EXPECT_EQ(svs.challengeCounter, 2049u);
    EXPECT_EQ(svs.challenges[0].address.qport, SV_MAX_CHALLENGES);
    EXPECT_FALSE(Com_adrcmp(&svs.challenges[0].address, &peer.address));
}

TEST_F(Server, ConnectRefusalsNameTheirReason) {
    Peer peer;
    Text("get_challenge", peer.address);
    const int challenge = atoi(peer.ReceiveText().c_str() + 10);
    const std::string digest = Com_MD52String(Com_GetMD5(nullptr, "pw", 2));
    Cmd_SetCVar(&sv_password, "pw", 1);
    Cmd_SetCVar(&sv_pure, "1", 1);
    qbase.packChecksum = 5555;
    auto connect = [&](int game, const std::string &pass, int pack, int engine) {
        char line[512];
        snprintf(line, sizeof line, "connect %d %s \"Ada\" -1 %d %d %d", game, pass.c_str(), challenge, pack, engine);
        Text(line, peer.address);
        return peer.ReceiveText();
    };
    const std::string expect = "disconnect " + std::to_string(challenge) + " ";
    EXPECT_EQ(connect(109, digest, 5555, 110), expect + "\"Bad game version\"");
    EXPECT_TRUE(Printed("Ada (127.0.0.1:" + std::to_string(peer.address.port) +
                        ") tries to connect with bad game version (109 != 110)"));
    EXPECT_EQ(connect(110, digest, 5555, 111), expect + "\"Bad engine version\"");
    EXPECT_EQ(connect(110, "nonsense", 5555, 110), expect + "\"Bad password\"");
    EXPECT_EQ(connect(110, digest, 5556, 110), expect + "\"Server and client game.pack don't match\"");

    Cmd_SetCVar(&sv_maxPlayers, "0", 1);
    EXPECT_EQ(connect(110, digest, 5555, 110), expect + "\"Server full\"");

    // An unknown challenge gets no answer at all.
    captured.prints.clear();
    Text("connect 110 " + digest + " \"Ada\" -1 12345 5555 110", peer.address);
    EXPECT_EQ(peer.ReceiveText(100), "");
    EXPECT_TRUE(Printed("tries to connect with unknown challenge num"));

    // The name reaches the server's terminal without its control bytes.
    captured.prints.clear();
    Text("connect 110 " + digest + " \"\x1b[2JEve\x07\x7f\" -1 12345 5555 110", peer.address);
    EXPECT_TRUE(Printed("[2JEve (127.0.0.1:" + std::to_string(peer.address.port) +
                        ") tries to connect with unknown challenge num"));
    for (const std::string &p : captured.prints) EXPECT_EQ(p.find_first_of("\x1b\x07\x7f"), std::string::npos) << p;
}

TEST_F(Server, PrivatePasswordOpensSlotsBeyondTheLimitButNeverBeyondSixteen) {
    Peer peer;
    Text("get_challenge", peer.address);
    const int challenge = atoi(peer.ReceiveText().c_str() + 10);
    Cmd_SetCVar(&sv_privatePassword, "vip", 1);
    const std::string vip = Com_MD52String(Com_GetMD5(nullptr, "vip", 3));
    for (int i = 0; i < 8; i++) SV_AddClient(i, nullptr, -1, 0);
    const std::string line = "connect 110 " + vip + " \"Ada\" -1 " + std::to_string(challenge) + " 0 110";
    Text(line, peer.address);
    EXPECT_EQ(peer.ReceiveText(100), "");  // admitted: handed to the server game, no refusal
    for (int i = 8; i < 16; i++) SV_AddClient(i, nullptr, -1, 0);
    Text(line, peer.address);
    EXPECT_EQ(peer.ReceiveText(), "disconnect " + std::to_string(challenge) + " \"Server full\"");
}

TEST_F(Server, LoopBackPassesThePasswordCheck) {
    const netadr_t local{NA_LOCAL, {}, 0, 0};
    Cmd_SetCVar(&sv_password, "pw", 1);
    Text("get_challenge", local);
    netPackage_t answer;
    ASSERT_TRUE(NET_GetPackage(NS_SERVER, &answer));
    Msg_ReadBegin(&answer.msg);
    Msg_ReadTokenize();
    const std::string challenge = Msg_Argv(1);
    Text("connect 110 whatever \"Ada\" -1 " + challenge + " 0 110", local);
    EXPECT_FALSE(Printed("bad password"));
    EXPECT_FALSE(NET_GetPackage(NS_SERVER, &answer));  // no refusal
}

TEST_F(Server, SlotsServeTheModule) {
    svClient_t *c = Occupy(2, player);
    EXPECT_EQ(c->snapAcked, -1);
    EXPECT_EQ(c->snapInterval, 50);
    EXPECT_EQ(c->pageAck[0], -1);
    EXPECT_EQ(SV_GetNumClients(), 1);
    EXPECT_STREQ(SV_GetClientInfo(2), "");
    strcpy(c->info, "name \"Ada\";");
    EXPECT_STREQ(SV_GetClientInfo(2), "name \"Ada\";");
    EXPECT_STREQ(SV_GetClientInfo(3), "");
    EXPECT_STREQ(SV_GetClientInfo(16), "");
    EXPECT_EQ(SV_GetClientCommand(99), nullptr);

    SV_SendServerCommand(2, std::string(1001, 'x').c_str());
    EXPECT_TRUE(Reported(ER_WARNING, "SV_SendServerCommand: Server command was 1001 bytes (max is 1000), dropped"));

    SV_DeleteClient(2);
    EXPECT_EQ(c->inUse, 0);
    EXPECT_EQ(SV_GetNumClients(), 0);
}

netPipe_t *SlotPipe(const netadr_t *a) {
    svClient_t *c = SV_GetClientByAddr(a);
    return c ? &c->pipe : nullptr;
}
// The player's end of the loop-back connection; each test opens it anew.
netPipe_t playerPipe;
netPipe_t *PlayerPipe(const netadr_t *) { return &playerPipe; }
void OpenPlayerPipe() {
    const netadr_t local{NA_LOCAL, {}, 0, 0};
    NET_SetupPipe(&playerPipe, NS_CLIENT, &local);
    NET_SetPipeFinders(SlotPipe, PlayerPipe);
}

TEST_F(Server, OnlyAProvenPackageFromTheSameIpAndQportMovesASlotToANewPort) {
    svClient_t *c = Occupy(2, player);
    netadr_t moved = player;
    moved.port = 30999;
    struct lookup_t {
        uint16_t qport;
        bool found;
    } lookups[] = {{77, true}, {78, false}, {0, false}};  // a qport of 0 matches nobody
    for (const lookup_t &l : lookups) {
        moved.qport = l.qport;
        EXPECT_EQ(SV_GetClientByAddr(&moved), l.found ? c : nullptr) << l.qport;
    }
    EXPECT_EQ(c->pipe.remote.port, player.port) << "a look-up changes nothing";

    // A spoofed package from the new port, with the wrong challenge, moves nothing.
    moved.qport = 77;
    Begin(999);
    Msg_WriteByte(CLP_KEEPALIVE);
    Deliver(moved);
    EXPECT_EQ(c->pipe.remote.port, player.port);
    // The client's own package does.
    Begin();
    Msg_WriteByte(CLP_KEEPALIVE);
    Deliver(moved);
    EXPECT_EQ(c->pipe.remote.port, 30999);
}

TEST_F(Server, DeletingAPeerSendsTheDropAndABotSendsNothing) {
    const netadr_t local{NA_LOCAL, {}, 0, 0};
    OpenPlayerPipe();
    Occupy(1, local);
    SV_AddClient(5, nullptr, -1, 0);
    EXPECT_EQ(sv_clients[5].noPeer, 1);
    SV_DeleteClient(5);
    netPackage_t answer;
    EXPECT_FALSE(NET_GetPackage(NS_SERVER, &answer));
    SV_DeleteClient(1);
    ASSERT_TRUE(NET_GetPackage(NS_SERVER, &answer));
    Msg_ReadBegin(&answer.msg);
    EXPECT_EQ(Msg_ReadByte(), SVP_DROP);
    EXPECT_TRUE(Msg_IsEOF());
}

TEST_F(Server, AServerCommandSentWhileAnotherMessageIsWrittenLeavesThatMessageAlone) {
    const netadr_t local{NA_LOCAL, {}, 0, 0};
    OpenPlayerPipe();
    Occupy(1, local);
    static msg_t other;
    Msg_WriteBegin(&other);
    Msg_WriteByte(42);
    SV_SendServerCommand(1, "cg_print hi");
    Msg_WriteByte(43);
    EXPECT_EQ(Msg_WriteCurrent(), &other);
    EXPECT_EQ(other.curBits, 16);
    EXPECT_EQ(other.data[1], 43);
    netPackage_t answer;
    ASSERT_TRUE(NET_GetPackage(NS_SERVER, &answer));
    EXPECT_EQ(answer.msg.curBits, 8 * 12);
    EXPECT_STREQ(reinterpret_cast<const char *>(answer.msg.data), "cg_print hi");
}

// ---- client packages ----

// Writes a command against previous (zero for the first) with every field explicit.
void WriteCommand(uint32_t number, uint32_t time, const char *text, int sentLength = -1) {
    Msg_WriteByte(CCF_ANGLE_0 | CCF_BUTTONS | CCF_BYTES | CCF_AIM | (text ? CCF_TEXT : 0));
    Msg_WriteLong(static_cast<int32_t>(number));
    Msg_WriteLong(static_cast<int32_t>(time));
    Msg_WriteShort(16384);  // 90 degrees
    Msg_WriteChar(120);
    Msg_WriteChar(-60);
    Msg_WriteChar(0);
    Msg_WriteByte(3);
    Msg_WriteByte(1);
    Msg_WriteLong(0x11);
    if (text) {
        // The length byte says what the client had; at most 127 bytes follow it.
        const int n = static_cast<int>(strlen(text));
        Msg_WriteByte(static_cast<uint8_t>(sentLength < 0 ? n : sentLength));
        Msg_WriteBytes(text, n < CC_TEXT_SIZE - 1 ? n : CC_TEXT_SIZE - 1);
    }
}

TEST_F(Server, CommandRecordsAreDecodedAndQueued) {
    svClient_t *c = Occupy(0, player);
    c->snapNext = 10;
    c->lastReceive = 0;
    Begin();
    Msg_WriteByte(CLP_CC);
    Msg_WriteLong(4);   // snapshot acknowledged
    Msg_WriteLong(2);   // world info acknowledged
    Msg_WriteByte(1);   // world incomplete
    WriteCommand(1, 500, "say hi");
    Msg_WriteByte(CCF_NUMBER_NEXT);  // number 2, everything else as before
    Msg_WriteLong(510);
    const std::string longText(200, 'q');
    WriteCommand(3, 520, longText.c_str());
    Deliver(player);

    EXPECT_TRUE(captured.errors.empty()) << captured.errors[0].text;
    EXPECT_NE(c->lastReceive, 0);
    EXPECT_EQ(c->snapAcked, 4);
    EXPECT_EQ(c->worldInfoAck, 2);
    EXPECT_EQ(records[0][4], 1);
    EXPECT_EQ(c->ccNewest, 3);
    const cc_t &one = c->ccRing[1], &two = c->ccRing[2], &three = c->ccRing[3];
    EXPECT_FLOAT_EQ(one.angles[0], 90.0f);
    EXPECT_FLOAT_EQ(one.aim[0], 1.0f);
    EXPECT_FLOAT_EQ(one.aim[1], -0.5f);
    EXPECT_EQ(one.weapon, 3);
    EXPECT_EQ(one.buttons, 0x11u);
    EXPECT_STREQ(one.text, "say hi");
    EXPECT_EQ(two.number, 2u);
    EXPECT_EQ(two.time, 510u);
    EXPECT_EQ(two.buttons, 0x11u);
    EXPECT_EQ(two.textLength, 0u);  // no text flag: no text
    EXPECT_EQ(strlen(three.text), 127u);  // a length byte of 200 reads 127 bytes
}

TEST_F(Server, HostilePackagesAreDroppedWithTheirWarning) {
    svClient_t *c = Occupy(0, player);
    struct Case {
        const char *name;
        void (*write)();
        int level;
        const char *warning;
    } const cases[] = {
        {"bad pack type", [] { Msg_WriteByte(9); }, ER_WARNING, "SV_HandlePackage: Bad pack type dropping package"},
        {"pack type 0", [] { Msg_WriteByte(0); }, ER_WARNING, "Bad pack type"},
        {"negative command", [] {
             Msg_WriteByte(CLP_CC);
             Msg_WriteLong(0), Msg_WriteLong(0), Msg_WriteByte(0);
             WriteCommand(0x80000000u, 1, nullptr);
             WriteCommand(5, 1, nullptr);
             WriteCommand(6, 1, nullptr);
         }, ER_WARNING, "SV_HandlePackageCC: Bad package from 127.0.0.9:30001"},
        {"cut command", [] {
             Msg_WriteByte(CLP_CC);
             Msg_WriteLong(0), Msg_WriteLong(0), Msg_WriteByte(0);
             WriteCommand(5, 1, nullptr);
         }, ER_WARNING, "SV_HandlePackageCC: Bad package from"},
        // Each axis's bound on its own: one past the last cell, the others inside.
        {"page outside the grid in x", [] {
             Msg_WriteByte(CLP_PAGEACK);
             Msg_WriteByte(32), Msg_WriteByte(0), Msg_WriteByte(0), Msg_WriteLong(0);
         }, ER_DEVWARNING, "SV_HandlePageAck: Bad xyz: 32 0 0"},
        {"page outside the grid in y", [] {
             Msg_WriteByte(CLP_PAGEACK);
             Msg_WriteByte(0), Msg_WriteByte(32), Msg_WriteByte(0), Msg_WriteLong(0);
         }, ER_DEVWARNING, "SV_HandlePageAck: Bad xyz: 0 32 0"},
        {"page outside the grid in z", [] {
             Msg_WriteByte(CLP_PAGEACK);
             Msg_WriteByte(0), Msg_WriteByte(0), Msg_WriteByte(32), Msg_WriteLong(0);
         }, ER_DEVWARNING, "SV_HandlePageAck: Bad xyz: 0 0 32"},
        {"ack ahead of the page", [] {
             Msg_WriteByte(CLP_PAGEACK);
             Msg_WriteByte(1), Msg_WriteByte(2), Msg_WriteByte(3), Msg_WriteLong(0x7FFFFFFF);
         }, ER_DEVWARNING, "SV_HandlePageAck: (1,2,3) Bad Ack: 2147483647"},
        {"huge info", [] {
             Msg_WriteByte(CLP_INFO);
             Msg_WriteLong(1), Msg_WriteLong(-1);
         }, ER_DEVWARNING, "SV_HandleClientInfo: Bad info string size -1"},
        {"info longer than the package", [] {
             Msg_WriteByte(CLP_INFO);
             Msg_WriteLong(1), Msg_WriteLong(1000);
             Msg_WriteBytes("rate", 4);
         }, ER_DEVWARNING, "SV_HandleClientInfo: Bad info string size 1000"},
        {"cut ping", [] {
             Msg_WriteByte(CLP_PING);
             Msg_WriteShort(3);
         }, ER_WARNING, "Truncated record"},
        {"cut page ack", [] {
             Msg_WriteByte(CLP_PAGEACK);
             Msg_WriteByte(1), Msg_WriteByte(2), Msg_WriteByte(3), Msg_WriteShort(0);
         }, ER_WARNING, "Truncated record"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        captured.errors.clear();
        c->lastReceive = 1;
        c->ping = c->smoothedPing = 7;
        strcpy(c->info, "keep \"me\";");
        Begin();
        k.write();
        Msg_WriteByte(CLP_KEEPALIVE);
        Deliver(player);
        EXPECT_TRUE(Reported(k.level, k.warning));
        EXPECT_EQ(c->lastReceive, 1);  // not read to its end
        EXPECT_STREQ(c->info, "keep \"me\";");
        EXPECT_EQ(c->ping, 7);  // a cut record changes nothing
        EXPECT_EQ(c->smoothedPing, 7);
        EXPECT_EQ(c->inUse, 1);
    }

    captured.errors.clear();
    Begin(999);
    Deliver(player);
    EXPECT_TRUE(Reported(ER_DEVWARNING, "SV_HandlePackage: Bad challenge num from 127.0.0.9:30001 (999 != 4242)"));
    Msg_WriteBegin(&package->msg);
    Msg_WriteLong(0x1234);
    Deliver(player);
    EXPECT_TRUE(Reported(ER_DEVWARNING, "SV_HandlePackage: Bad CLSV_MAGIC from 127.0.0.9:30001"));
}

TEST_F(Server, ACommandRecordWithOneBadNumberQueuesNone) {
    svClient_t *c = Occupy(0, player);
    Begin();
    Msg_WriteByte(CLP_CC);
    Msg_WriteLong(0), Msg_WriteLong(0), Msg_WriteByte(0);
    WriteCommand(5, 1, "first");
    WriteCommand(6, 2, nullptr);
    WriteCommand(0x80000000u, 3, nullptr);
    Deliver(player);
    EXPECT_TRUE(Reported(ER_WARNING, "SV_HandlePackageCC: Bad package from"));
    EXPECT_EQ(c->ccNewest, 0);
    EXPECT_EQ(c->ccRing[5].number, 0u);
    EXPECT_EQ(c->ccRing[6].number, 0u);
    EXPECT_EQ(SV_GetClientCommand(0), nullptr);
}

TEST_F(Server, PageAcksAndDeltasReferToTheLastAcceptedAck) {
    svClient_t *c = Occupy(0, player);
    auto index = [](int x, int y, int z) { return (z * WO_GRID_PAGES + y) * WO_GRID_PAGES + x; };
    wo_seqGrid[index(4, 5, 6)] = 3;
    wo_seqGrid[index(5, 5, 6)] = 3;
    Begin();
    Msg_WriteByte(CLP_PAGEACK);
    Msg_WriteByte(4), Msg_WriteByte(5), Msg_WriteByte(6), Msg_WriteLong(3);
    Msg_WriteByte(CLP_KEEPALIVE);
    Deliver(player);
    EXPECT_EQ(c->pageAck[index(4, 5, 6)], 3);

    Begin();
    Msg_WriteByte(CLP_PAGEACK);
    Msg_WriteByte(40), Msg_WriteByte(5), Msg_WriteByte(6), Msg_WriteLong(3);  // refused
    Deliver(player);
    Begin();
    Msg_WriteByte(CLP_PAGEACK_DELTA);
    Deliver(player);
    EXPECT_EQ(c->pageAck[index(5, 5, 6)], 3);

    // Another player's delta does not follow this one's acknowledgements; before
    // any of its own it names no page at all.
    const netadr_t other{NA_IP, {127, 0, 0, 10}, 30002, 78};
    svClient_t *o = Occupy(1, other);
    wo_seqGrid[index(6, 5, 6)] = 3;
    captured.errors.clear();
    Begin();
    Msg_WriteByte(CLP_PAGEACK_DELTA);
    Deliver(other);
    EXPECT_EQ(o->pageAck[index(6, 5, 6)], -1);
    EXPECT_EQ(o->pageAck[index(0, 0, 0)], -1);
    EXPECT_TRUE(Reported(ER_DEVWARNING, "SV_HandlePageAck: Bad xyz: 32 0 0"));
    wo_seqGrid[index(6, 5, 6)] = 0;
    wo_seqGrid[index(4, 5, 6)] = 0;
    wo_seqGrid[index(5, 5, 6)] = 0;
}

TEST_F(Server, PingInfoAndDisconnectRecords) {
    svClient_t *c = Occupy(0, player);
    c->smoothedPing = 80;
    Begin();
    Msg_WriteByte(CLP_PING);
    Msg_WriteLong(Now() - 40);
    Msg_WriteByte(CLP_INFO);
    Msg_WriteLong(3);
    Msg_WriteLong(10);
    Msg_WriteBytes("rate \"9\";", 10);
    Deliver(player);
    EXPECT_GE(c->ping, 40);
    EXPECT_LT(c->ping, 100);
    EXPECT_EQ(c->smoothedPing, (80 * 7 + c->ping) >> 3);
    EXPECT_EQ(c->infoVersion, 3);
    EXPECT_EQ(std::string(c->info, 10), std::string("rate \"9\";\0", 10));

    Begin();  // any echo gives a defined ping
    Msg_WriteByte(CLP_PING);
    Msg_WriteLong(INT32_MIN);
    Msg_WriteByte(CLP_PING);
    Msg_WriteLong(INT32_MAX);
    Deliver(player);
    EXPECT_TRUE(captured.errors.empty());

    Begin();  // a shorter info string replaces the old one whole
    Msg_WriteByte(CLP_INFO);
    Msg_WriteLong(4), Msg_WriteLong(2);
    Msg_WriteBytes("ab", 2);
    Deliver(player);
    EXPECT_STREQ(c->info, "ab");

    c->lastReceive = 1;
    Begin();
    Msg_WriteByte(CLP_DISCONNECT);
    Msg_WriteByte(CLP_INFO);  // never read: the disconnect ends the package
    Deliver(player);
    EXPECT_STREQ(c->info, "ab");
    EXPECT_EQ(c->lastReceive, 1);
}

TEST_F(Server, UnknownSendersAreOnlyNoted) {
    Begin();
    Msg_WriteByte(CLP_KEEPALIVE);
    Deliver(player);
    EXPECT_TRUE(captured.errors.empty());
}

TEST_F(Server, CommandsAreHandedOutInOrderAndGapsAreSkippedLate) {
    svClient_t *c = Occupy(0, player);
    c->ccExecuted = 9;
    for (uint32_t n : {10u, 13u}) c->ccRing[n & 31].number = n;
    c->ccNewest = 13;
    cc_t *cmd = SV_GetClientCommand(0);
    ASSERT_NE(cmd, nullptr);
    EXPECT_EQ(cmd->number, 10u);
    EXPECT_EQ(SV_GetClientCommand(0), nullptr);
    EXPECT_EQ(c->ccExecuted, 11);
    EXPECT_TRUE(Reported(ER_DEVWARNING, "SV_GetClientCommand: \xA4" "03DROPED\xA4" "00 CCs (13 != 11)"));
    EXPECT_EQ(SV_GetClientCommand(0), nullptr);  // 12 may still come

    c->ccRing[14 & 31].number = 14;
    c->ccNewest = 14;
    cmd = SV_GetClientCommand(0);  // 12 is given up now
    ASSERT_NE(cmd, nullptr);
    EXPECT_EQ(cmd->number, 13u);

    // Far behind: only the newest 31 are kept.
    c->ccNewest = 100;
    captured.errors.clear();
    SV_GetClientCommand(0);
    EXPECT_TRUE(Reported(ER_DEVWARNING, "CCS Overflow, dropping CCs (in: 100 out: 13)"));
    EXPECT_GE(c->ccExecuted, 69);
}

// ---- server info, heartbeats and bans ----

TEST_F(Server, BansComeFromTheFileAndGoBackToIt) {
    SV_ShutdownServer(0);
    dir.Write("bans.txt", "// operators' list\nbanIp 10.0.0.7\nbanIp 10.0.0.7\nsomething else\nbanIp 127.0.0.9\n");
    SV_StartServer("worlds/ring.vo2");
    EXPECT_TRUE(Printed("SV_InitBans: Read bans.txt (3 bans)"));

    Peer peer;
    netadr_t banned = peer.address;
    banned.ip[3] = 9;  // 127.0.0.9: the reply goes nowhere
    EXPECT_TRUE(SV_IsBanned(&banned));
    Cmd_Add("unbanIp 10.0.0.7");
    Cmd_Flush();
    captured.prints.clear();
    Cmd_Add("banList");
    Cmd_Flush();
    EXPECT_EQ(captured.prints, (std::vector<std::string>{"    0: IP 10.0.0.7", "    1: IP 127.0.0.9", "\xA4" "082\xA4" "00 bans"}));
    Cmd_Add("unbanIp 10.9.9.9");
    Cmd_Flush();
    EXPECT_TRUE(Printed("Could not found ban"));
    Cmd_Add("banIp");
    Cmd_Flush();
    EXPECT_TRUE(Printed("USAGE: banIp <ip>"));

    SV_ShutdownServer(0);
    EXPECT_EQ(dir.Read("bans.txt"), "\nbanIp 10.0.0.7\nbanIp 127.0.0.9\n");
    SV_StartServer("worlds/ring.vo2");
}

TEST_F(Server, BanLinesThatNameNoAddressBanNobody) {
    SV_ShutdownServer(0);
    dir.Write("bans.txt", "banIp 300.1.2.3\nbanIp \"\"\nbanIp 1.2.3.4.5.6.7.8.9\nbanIp " + std::string(5000, '7') +
                              "\n/* never closed\nbanIp 10.0.0.8");
    SV_StartServer("worlds/ring.vo2");
    EXPECT_TRUE(Printed("SV_InitBans: Read bans.txt (4 bans)"));
    captured.prints.clear();
    Cmd_Add("banList");
    Cmd_Flush();
    EXPECT_EQ(captured.prints, (std::vector<std::string>{"\xA4" "080\xA4" "00 bans"}));
    SV_ShutdownServer(0);
    EXPECT_EQ(dir.Read("bans.txt"), "\n");
    SV_StartServer("worlds/ring.vo2");
}

TEST_F(Server, NoBanBlockWritesNoFileAndAnEmptiedListWritesALineBreak) {
    SV_ShutdownServer(0);
    EXPECT_FALSE(std::filesystem::exists(dir / "bans.txt"));
    SV_StartServer("worlds/ring.vo2");
    Cmd_Add("banIp 127.0.0.5");
    Cmd_Flush();
    Cmd_Add("unbanIp 127.0.0.5");
    Cmd_Flush();
    SV_ShutdownServer(0);
    EXPECT_EQ(dir.Read("bans.txt"), "\n");
    SV_StartServer("worlds/ring.vo2");

    // A new map straight away, without a shutdown: the new ban is kept.
    Cmd_Add("banIp 127.0.0.6");
    Cmd_Flush();
    SV_StartServer("worlds/next.vo2");
    EXPECT_EQ(dir.Read("bans.txt"), "\nbanIp 127.0.0.6\n");
    EXPECT_TRUE(Printed("SV_InitBans: Read bans.txt (1 bans)"));
}

TEST_F(Server, BannedPlayersAreRefused) {
    Peer peer;
    netadr_t address = peer.address;
    SV_AddBan(&address);
    Text("get_challenge", address);
    const std::string challenge = peer.ReceiveText().substr(10);
    Text("connect 110 x \"Ada\" -1 " + challenge + " 0 110", address);
    EXPECT_EQ(peer.ReceiveText(), "disconnect " + challenge + " \"You are banned from this server\"");
}

TEST_F(Server, PollsAreAnsweredTwice) {
    Peer peer;
    Cmd_SetCVar(&sv_password, "pw", 1);
    Text("poll 7 9", peer.address);
    const std::string expect = "serverinfo 7 9 P \"Mere\" \"ring\"  0 8 \"\" 0 1 3 " +
                               std::to_string(qnet.localAddress.port) + " \"\"";
    EXPECT_EQ(peer.ReceiveText(), expect);
    EXPECT_EQ(peer.ReceiveText(), expect);
    EXPECT_EQ(peer.ReceiveText(100), "");
}

TEST_F(Server, ALanServerNeverBeatsToTheMaster) {
    Peer master;
    qbase.masterAddress = master.address;
    qbase.masterChallenge = 31;
    SV_Heartbeat_f();
    EXPECT_EQ(master.ReceiveText(100), "");
    Cmd_SetCVar(&sv_lanServer, "0", 1);
    SV_Heartbeat_f();
    EXPECT_EQ(master.ReceiveText(), "serverinfo 31 0 N \"Mere\" \"ring\"  0 8 \"\" 0 0 3 " +
                                 std::to_string(qnet.localAddress.port) + " \"\"");
    master.ReceiveText();
    SV_Heartbeat();  // too soon after the last try
    EXPECT_EQ(master.ReceiveText(100), "");
    SV_ShutdownServer(0);
    EXPECT_EQ(master.ReceiveText(), "server_shutdown 31");
    Cmd_SetCVar(&sv_lanServer, "1", 1);
    qbase.masterChallenge = 0;
    memset(&qbase.masterAddress, 0, sizeof qbase.masterAddress);
    SV_StartServer("worlds/ring.vo2");
}

// ---- page transfer and world info ----

struct Pages : Server {
    void SetUp() override {
        Server::SetUp();
        OpenPlayerPipe();
        c = Occupy(0, local);
        for (int i = 0; i < WO_GRID_CELLS; i++) c->pageAck[i] = static_cast<int32_t>(wo_seqGrid[i]);
        Drain();
    }
    void TearDown() override {
        for (int i : touched) wo_seqGrid[i] = 0, wo_pageGrid[i] = WO_CELL_EMPTY;
        Server::TearDown();
    }
    static int Cell(int x, int y, int z) { return (z * WO_GRID_PAGES + y) * WO_GRID_PAGES + x; }
    // Makes a page due: its sequence one above the client's acknowledgement.
    void Due(int x, int y, int z, uint32_t seq = 5) {
        const int i = Cell(x, y, z);
        wo_seqGrid[i] = seq;
        c->pageAck[i] = static_cast<int32_t>(seq) - 1;
        touched.push_back(i);
    }
    void Drain() {
        netPackage_t p;
        while (NET_GetPackage(NS_SERVER, &p)) {
        }
    }
    // The page records of the next package as text: "x,y,z:seq:a" for full ones, "+" for compact ones.
    std::string Records() {
        netPackage_t p;
        if (!NET_GetPackage(NS_SERVER, &p)) return "none";
        Msg_ReadBegin(&p.msg);
        std::string out;
        while (!Msg_IsEOF()) {
            const int type = Msg_ReadByte();
            if (type == SVP_PAGE_DELTA) {
                out += "+";
                continue;
            }
            if (type != SVP_PAGE) return out + "?" + std::to_string(type);
            const int x = Msg_ReadByte(), y = Msg_ReadByte(), z = Msg_ReadByte();
            const int32_t seq = Msg_ReadLong(), world = Msg_ReadLong(), a = Msg_ReadLong(), b = Msg_ReadLong();
            EXPECT_EQ(world, svs.worldId);
            EXPECT_EQ(a, b);
            out += " " + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(z) + ":" +
                   std::to_string(seq) + ":" + std::to_string(a);
        }
        return out;
    }
    const netadr_t local{NA_LOCAL, {}, 0, 0};
    svClient_t *c = nullptr;
    std::vector<int> touched;
};

TEST_F(Pages, RunsOfEmptyPagesGoAsOneRecordAndCompactOnes) {
    for (int x = 2; x < 12; x++) Due(x, 3, 0);
    EXPECT_EQ(SV_WritePages(c), 0);
    EXPECT_EQ(Records(), " 2,3,0:5:0+++++++++");
    EXPECT_EQ(c->pageAck[Cell(2, 3, 0)], 4);  // still due until acknowledged
}

TEST_F(Pages, CompactRecordsNeedTheSameRowAndSequence) {
    Due(31, 3, 0);
    Due(0, 4, 0);
    Due(5, 5, 0);
    Due(6, 6, 0);
    Due(7, 6, 0, 9);
    Due(8, 6, 0, 9);
    wo_pageGrid[Cell(8, 6, 0)] = WO_CELL_SOLID;
    SV_WritePages(c);
    EXPECT_EQ(Records(), " 31,3,0:5:0 0,4,0:5:0 5,5,0:5:0 6,6,0:5:0 7,6,0:9:0 8,6,0:9:-1");
}

// Due pages go out in order from the cell after the cursor round to it, wherever they
// lie: in the cursor's own run of cells, at the ends of the grid, or alone among
// pages the client holds.
TEST_F(Pages, DuePagesGoOutFromTheCursorRoundTheWholeGrid) {
    for (const int *xyz : {(const int[]){21, 0, 0}, (const int[]){31, 0, 0}, (const int[]){0, 1, 0},
                           (const int[]){16, 4, 0}, (const int[]){15, 5, 3}, (const int[]){31, 31, 31},
                           (const int[]){0, 0, 0}, (const int[]){19, 0, 0}})
        Due(xyz[0], xyz[1], xyz[2]);
    c->pageAck[Cell(7, 7, 7)] = -7;  // never acknowledged, whatever the negative number
    Due(9, 9, 9, 0xFFFFFFFFu);
    c->pageAck[Cell(9, 9, 9)] = -1;  // ... even where its bits equal the sequence number
    c->pageCursor = Cell(19, 0, 0);
    EXPECT_EQ(SV_WritePages(c), 0);
    EXPECT_EQ(Records(), " 21,0,0:5:0 31,0,0:5:0 0,1,0:5:0 16,4,0:5:0 15,5,3:5:0 7,7,7:0:0 9,9,9:-1:0 31,31,31:5:0"
                         " 0,0,0:5:0 19,0,0:5:0");
    c->pageAck[Cell(7, 7, 7)] = 0;
}

TEST_F(Pages, ResendsFollowTwiceTheSmoothedPingWithinBounds) {
    Due(1, 1, 1);
    struct {
        int smoothedPing, age;
        bool sent;
    } const cases[] = {
        {10, 60, false}, {10, 90, true},      // 20 ms would be too soon: 75 at least
        {450, 880, false}, {450, 920, true},  // twice the ping
        {900, 1200, false}, {900, 1270, true},  // 1,250 at most
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(testing::Message() << k.smoothedPing << " " << k.age);
        c->smoothedPing = k.smoothedPing;
        c->pageSent[Cell(1, 1, 1)] = Now() - k.age;
        SV_WritePages(c);
        EXPECT_EQ(Records(), k.sent ? " 1,1,1:5:0" : "none");
    }
}

TEST_F(Pages, TooHighAcknowledgementIsNotedAndSkipped) {
    Due(4, 4, 4);
    c->pageAck[Cell(4, 4, 4)] = 6;
    SV_WritePages(c);
    EXPECT_EQ(Records(), "none");
    EXPECT_TRUE(Printed("SV_WritePages: LOCAL has too high seqNumber"));
}

TEST_F(Pages, ANewClientGetsTheWorldInBudgetSizedPackages) {
    for (int i = 0; i < WO_GRID_CELLS; i++) c->pageAck[i] = -1;
    int packages = 0;
    while (SV_WritePages(c) && packages < 1000) {
        netPackage_t p;
        ASSERT_TRUE(NET_GetPackage(NS_SERVER, &p));
        EXPECT_LE(p.msg.curBits / 8, SV_PAGE_BUDGET);
        packages++;
    }
    Drain();
    EXPECT_GT(packages, 20);
    EXPECT_LT(packages, 1000);
    for (int i = 0; i < WO_GRID_CELLS; i++) ASSERT_EQ(c->pageSent[i] != 0, true) << i;
}

TEST_F(Pages, AnAcknowledgementFromBeforeAMapChangeLeavesThePageDueInTheNewWorld) {
    const int i = Cell(4, 5, 6);
    touched.push_back(i);
    wo_pageGrid[i] = WO_CELL_SOLID;
    wo_seqGrid[i] = 1;  // a uniform cell, changed once while the world loaded
    // The map changes during the download; in the new world the cell is again solid and changed once.
    SV_ShutdownServer(1);
    SV_StartServer("worlds/other.vo2");
    wo_pageGrid[i] = WO_CELL_SOLID;
    wo_seqGrid[i]++;
    // Only now the acknowledgement the client sent for the old world arrives.
    Begin();
    Msg_WriteByte(CLP_PAGEACK);
    for (const uint8_t xyz : {4, 5, 6}) Msg_WriteByte(xyz);
    Msg_WriteLong(1);
    Deliver(local);
    EXPECT_FALSE(Reported(ER_DEVWARNING, "Bad Ack"));
    EXPECT_LT(c->pageAck[i], static_cast<int32_t>(wo_seqGrid[i])) << "the page of the new world is still due";
}

TEST_F(Pages, WorldInfoIsCompletedVersionedAndResentUntilAcknowledged) {
    const int32_t version = svs.worldInfoVersion;
    SV_UploadWorldInfoString("world \"ring\";");
    EXPECT_STREQ(svs.worldInfo, "world \"ring\";cheat \"0\";pure \"0\";eof \"\";");
    EXPECT_EQ(svs.worldInfoVersion, version + 1);
    SV_UploadWorldInfoString("world \"ring\";");
    EXPECT_EQ(svs.worldInfoVersion, version + 1);

    SV_WriteWorldInfoString(c);
    netPackage_t p;
    ASSERT_TRUE(NET_GetPackage(NS_SERVER, &p));
    Msg_ReadBegin(&p.msg);
    EXPECT_EQ(Msg_ReadByte(), SVP_WORLDINFO);
    EXPECT_EQ(Msg_ReadLong(), svs.worldId);
    EXPECT_EQ(Msg_ReadLong(), version + 1);
    char text[SV_INFO_SIZE];
    Msg_ReadString(text, sizeof text);
    EXPECT_STREQ(text, svs.worldInfo);
    SV_WriteWorldInfoString(c);  // within 500 ms: not again
    EXPECT_FALSE(NET_GetPackage(NS_SERVER, &p));
    c->lastWorldInfoSent = Now() - 600;
    c->worldInfoAck = version + 1;  // acknowledged: never again
    SV_WriteWorldInfoString(c);
    EXPECT_FALSE(NET_GetPackage(NS_SERVER, &p));

    // A text that leaves no room for the engine's keys changes nothing and ends nothing.
    const std::string before = svs.worldInfo;
    SV_UploadWorldInfoString(std::string(1345, 'k').c_str());
    EXPECT_TRUE(Reported(ER_WARNING, "SV_UploadWorldInfoString: MAX_INFO_STRING"));
    EXPECT_FALSE(Reported(ER_DROP, ""));
    EXPECT_EQ(svs.worldInfo, before);
    EXPECT_EQ(svs.worldInfoVersion, version + 1);
}

// ---- snapshots ----

struct Snapshots : Server {
    static uint8_t entities[SV_MAX_ENTITIES][764];
    void SetUp() override {
        Server::SetUp();
        memset(entities, 0, sizeof entities);
        SV_UploadEntityStateReference(entities, 764);
        c = Occupy(0, player);
        SetOrigin(records[0], 10, 20, 30);
        c->rate = 25000;
    }
    static void SetOrigin(uint8_t *record, float x, float y, float z) {
        const float v[3] = {x, y, z};
        memcpy(record + 20, v, sizeof v);
    }
    uint8_t *Entity(int n, float x, float y, float z) {
        entities[n][0] = 1;
        SetOrigin(entities[n], x, y, z);
        return entities[n];
    }
    // Writes one snapshot now; the header's fields and its size in bits.
    struct header_t {
        int type, number, base, executed, bits, entities;
    };
    header_t Snap() {
        c->lastSnapshot = 0;
        Msg_WriteBegin(&sv_msg);
        header_t h{};
        if (!SV_WriteSnapshot(c)) return h;
        h.bits = sv_msg.curBits;
        Msg_ReadBegin(&sv_msg);
        h.type = Msg_ReadByte();
        h.number = Msg_ReadLong();
        h.base = Msg_ReadLong();
        h.executed = Msg_ReadLong();
        const snapshot_t &s = c->snaps[h.number & 15];
        h.entities = 0;
        for (int n = 0; n < SV_MAX_ENTITIES; n++) h.entities += s.entities[n].inUse;
        return h;
    }
    svClient_t *c = nullptr;
};
uint8_t Snapshots::entities[SV_MAX_ENTITIES][764];

TEST_F(Snapshots, NewClientsGetWholeSnapshotsAndAcknowledgedOnesDeltas) {
    header_t h = Snap();
    EXPECT_EQ(h.type, SVP_SNAPSHOT);
    EXPECT_EQ(h.number, 0);
    EXPECT_EQ(h.base, -1);
    c->snapAcked = 0;
    c->ccExecuted = 7;
    h = Snap();
    EXPECT_EQ(h.number, 1);
    EXPECT_EQ(h.base, 0);
    EXPECT_EQ(h.executed, 7);

    Cmd_SetCVar(&sv_skipSnapDelta, "1", 1);
    EXPECT_EQ(Snap().base, -1);
    Cmd_SetCVar(&sv_skipSnapDelta, "0", 1);

    // An acknowledgement older than the ring holds: whole again.
    for (int i = 0; i < 16; i++) Snap();
    EXPECT_EQ(Snap().base, -1);
}

TEST_F(Snapshots, EntitiesAreSentWhenNearOrFlaggedAndUnchangedOnesCostTenBits) {
    Entity(20, 10, 20, 35.9f);  // 5.9 from the client
    Entity(21, 10, 20, 36.1f);  // 6.1: no visible page holds it
    uint8_t *far = Entity(22, -40, -40, -40);
    int32_t always = 1;
    memcpy(far + SV_ENTITY_STATE_SIZE, &always, 4);
    // Pages everywhere, none of them visible to the client.
    int32_t mins[3], maxs[3];
    memcpy(mins, wo_pagedMins, sizeof mins), memcpy(maxs, wo_pagedMaxs, sizeof maxs);
    for (int i = 0; i < 3; i++) wo_pagedMins[i] = 0, wo_pagedMaxs[i] = WO_GRID_PAGES - 1;
    Snap();
    memcpy(wo_pagedMins, mins, sizeof mins), memcpy(wo_pagedMaxs, maxs, sizeof maxs);
    const snapshot_t &s = c->snaps[0];
    EXPECT_EQ(s.entities[20].inUse, 1);
    EXPECT_EQ(s.entities[21].inUse, 0);
    EXPECT_EQ(s.entities[22].inUse, 1);

    entities[21][0] = 0;
    c->snapAcked = 0;
    const int withEntities = Snap().bits;
    entities[20][0] = entities[22][0] = 0;
    c->snapAcked = 1;
    const int without = Snap().bits;
    EXPECT_EQ(withEntities - without, 2 * 10);
}

TEST_F(Snapshots, SmallMovesTravelAsShortDeltas) {
    uint8_t *e = Entity(30, 10, 20, 31);
    Snap();
    c->snapAcked = 0;
    const int still = Snap().bits;
    SetOrigin(e, 10.5f, 20, 31);
    c->snapAcked = 1;
    const int small = Snap().bits;
    SetOrigin(e, 14, 20, 31);
    c->snapAcked = 2;
    const int large = Snap().bits;
    EXPECT_EQ(small - still, 24 + 48);  // a change mask and three shorts
    EXPECT_EQ(large - still, 24 + 96);  // a change mask and three floats
}

TEST_F(Snapshots, TheIntervalFollowsTheRateAndTheCap) {
    Cmd_SetCVar(&sv_maxSnaps, "3", 1);
    Snap();
    EXPECT_STREQ(sv_maxSnaps.string, "5");
    EXPECT_EQ(c->snapInterval, 200);  // small snapshot: the cap
    Cmd_SetCVar(&sv_maxSnaps, "20", 1);

    // Dozens of busy entities at the lowest rate: two per second, however large.
    for (int n = 40; n < 80; n++) {
        uint8_t *e = Entity(n, 10, 20, 31);
        for (int b = 44; b < SV_ENTITY_STATE_SIZE; b++) e[b] = static_cast<uint8_t>(n * 7 + b);
        memset(e + 56, 0, 24);  // angles stay finite
    }
    c->rate = 1000;
    const header_t h = Snap();
    ASSERT_GT(h.bits / 8, 2500);
    EXPECT_EQ(c->snapInterval, 500);
}

TEST_F(Snapshots, AFullMessageStopsAddingEntitiesAndTheSnapshotStaysConsistent) {
    // 300 busy entities sent to everybody: far more than one message holds.
    const int32_t always = SVF_ALWAYS_SEND;
    for (int n = 100; n < 400; n++) {
        uint8_t *e = Entity(n, 10, 20, 31);
        for (int b = 44; b < SV_ENTITY_STATE_SIZE; b++) e[b] = static_cast<uint8_t>(n * 7 + b);
        memset(e + 56, 0, 24);  // angles stay finite
        memcpy(e + SV_ENTITY_STATE_SIZE, &always, sizeof always);
    }
    Msg_WriteBegin(&sv_msg);
    snapshot_t *s = SV_CreateSnapshot(c);
    const int written = SV_EncodeSnapshot(s, nullptr);
    EXPECT_FALSE(sv_msg.overflowed);
    EXPECT_TRUE(Msg_WriteIsRoom(8 + 32)) << "room for the ping request";
    EXPECT_GT(written, 50);
    EXPECT_LT(written, 300);
    // What later snapshots are coded against holds exactly what the client got.
    int kept = 0;
    for (int n = 0; n < SV_MAX_ENTITIES; n++) kept += s->entities[n].inUse;
    EXPECT_EQ(kept, written);
    // Through the writer, a joining client gets its snapshot.
    EXPECT_EQ(Snap().type, SVP_SNAPSHOT);
    EXPECT_FALSE(sv_msg.overflowed);
}

// The engine clock restarts at 2^31 ms; stamps taken before it keep their ages:
// snapshots stay due, and a silent client still times out.
TEST_F(Snapshots, ClientsAreServedAndTimedOutAcrossTheClockRestart) {
    qbase.timeBase = static_cast<uint32_t>(Sys_Milliseconds()) + BASE_CLOCK_START - (BASE_CLOCK_WRAP - 200);
    c->snapInterval = 50;
    c->lastSnapshot = Now();
    c->lastReceive = Now() - SV_TIMEOUT_MSEC + 300;
    Base_RestartClock();
    qbase.timeBase -= 60;  // 60 ms into the new run
    Msg_WriteBegin(&sv_msg);
    EXPECT_EQ(SV_WriteSnapshot(c), 1) << "the last snapshot is older than its interval";
    EXPECT_EQ(SV_WriteSnapshot(c), 0) << "and the new one is not";
    EXPECT_EQ(SV_CheckClientConnection(c), 0);
    qbase.timeBase -= 500;
    EXPECT_EQ(SV_CheckClientConnection(c), 1);
    qbase.timeBase = 0;
    qbase.wrapCount = qbase.wrapLength = 0;
    qbase.clockRestart = comRestart_t{};
}

TEST_F(Snapshots, TheServerGameCanAskForASnapshotAtOnce) {
    c->lastSnapshot = Now();
    c->snapInterval = 50;
    Msg_WriteBegin(&sv_msg);
    EXPECT_EQ(SV_WriteSnapshot(c), 0);
    records[0][0] |= 1;
    EXPECT_EQ(SV_WriteSnapshot(c), 1);
    EXPECT_EQ(records[0][0] & 1, 0);
}

// ---- frame ----

struct Frame : Pages {
    void SetUp() override {
        Pages::SetUp();
        qbase.module = this;  // any module: the calls into it find no entry and do nothing
    }
    void TearDown() override {
        qbase.module = nullptr;
        Pages::TearDown();
    }
    // The kinds of what the frame sent the player: "text:<first word>" or the record types.
    std::vector<std::string> Sent() {
        std::vector<std::string> out;
        netPackage_t p;
        while (NET_GetPackage(NS_SERVER, &p)) {
            Msg_ReadBegin(&p.msg);
            const char first = static_cast<char>(p.msg.data[0]);
            if (first >= 'a' && first <= 'z') {
                Msg_ReadTokenize();
                out.push_back(std::string("text:") + Msg_Argv(0));
                continue;
            }
            out.push_back("type:" + std::to_string(Msg_ReadByte()));
        }
        return out;
    }
};

TEST_F(Frame, AFirstFrameServesInfoWorldInfoPagesSnapshotAndPing) {
    Due(1, 2, 3);
    c->lastPingRequest = 0;
    SV_Frame();
    EXPECT_EQ(Sent(), (std::vector<std::string>{"text:serverinfo", "text:serverinfo", "type:4", "type:2", "type:1"}));
    EXPECT_NE(c->lastServerInfo, 0);
    EXPECT_NE(c->lastPingRequest, 0);

    // Nothing due, no snapshot: nothing at all, whatever the time since the last ping.
    c->worldInfoAck = svs.worldInfoVersion;
    c->pageAck[Cell(1, 2, 3)] = 5;
    c->lastPingRequest = 1;
    c->snapInterval = 100000;
    SV_Frame();
    EXPECT_EQ(Sent(), std::vector<std::string>{});
    EXPECT_EQ(c->lastPingRequest, 1);
}

TEST_F(Frame, TheServerInfoIsResentEveryFifteenSecondsAlsoNearTheClocksEnd) {
    const uint32_t timeBase = qbase.timeBase;
    qbase.timeBase -= 0x7FFFF000u - Base_Time();  // four seconds before the clock wraps
    struct infoCase_t {
        int32_t ago;
        bool resent;
    } cases[] = {{1000, false}, {14000, false}, {16000, true}};
    for (const infoCase_t &k : cases) {
        c->lastReceive = Now();
        c->lastServerInfo = Now() - k.ago;
        SV_Frame();
        const std::vector<std::string> sent = Sent();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "text:serverinfo") > 0, k.resent) << k.ago;
    }
    qbase.timeBase = timeBase;
}

// The engine's frame ends the echo, in game time, whether or not a map runs: with
// none, every later console line would go to the last sender for ever.
TEST_F(Frame, TheRemoteConsoleEchoRunsItsTimeInGameTimeWithOrWithoutAMap) {
    const uint32_t time = qbase.time;
    const uint8_t running = qbase.serverRunning;
    for (const uint8_t map : {1, 0}) {
        SCOPED_TRACE(map);
        qbase.serverRunning = map;
        qbase.time = 1000;  // game time far behind the engine clock
        qbase.rconEcho = 1;
        qbase.rconEchoStart = qbase.time;
        Base_RemoteFrame(1);
        EXPECT_EQ(qbase.rconEcho, 1);
        qbase.time += 30000;
        Base_RemoteFrame(1);
        EXPECT_EQ(qbase.rconEcho, 1);
        qbase.time += 1;
        Base_RemoteFrame(1);
        EXPECT_EQ(qbase.rconEcho, 0);
    }
    qbase.serverRunning = running;
    qbase.time = time;
}

TEST_F(Frame, PackagesFromClientsAreReadInTheFrame) {
    const netadr_t local{NA_LOCAL, {}, 0, 0};
    NET_SendOutOfBandPrintf(NS_CLIENT, &local, "get_challenge");
    SV_DeleteClient(0);
    Sent();
    SV_Frame();
    EXPECT_EQ(Sent(), std::vector<std::string>{"text:challenge"});
}

// The frame's visible sets are the sets the slots' eyes give: built, kept from the last
// frame, shared by two slots in one cell, and rebuilt when the world's sight changed.
TEST_F(Frame, FrameVisibleSetsAreTheSetsOfTheSlotsEyes) {
    // A closed room of solid walls around the origin (voxels 40..87, hollow 48..79).
    worldbuild::Build([](int x, int y, int z) {
        const auto in = [&](int lo, int hi) { return x >= lo && x < hi && y >= lo && y < hi && z >= lo && z < hi; };
        return in(40, 88) && !in(48, 80) ? wo_solidVoxel : wo_emptyVoxel;
    });
    worldbuild::TessAll();
    const netadr_t second{NA_IP, {127, 0, 0, 2}, 30002, 0}, third{NA_IP, {127, 0, 0, 3}, 30003, 0};
    svClient_t *d = Occupy(1, second), *reference = Occupy(2, third);
    const auto place = [](svClient_t *client, const float *origin) {
        memcpy(client->state + offsetof(clientState_t, origin), origin, 12);
    };
    const float inside[3] = {0.3f, 0.2f, 0.1f}, alsoInside[3] = {0.5f, 0.3f, 0.2f}, outside[3] = {28.8f, 32, 27.2f};
    struct frame_t {
        const float *c, *d;
        bool hole;  // a hole through the wall before this frame
    } const frames[] = {
        {inside, alsoInside, false}, {inside, outside, false}, {inside, outside, true},
        {outside, inside, false},    {inside, inside, false},
    };
    pagePVS_t before = {};
    for (const frame_t &f : frames) {
        if (f.hole) {
            before = c->pvs;
            for (int x = 9; x <= 11; x++) {
                if (WO_CellPage(Cell(x, 16, 16))) WO_FreePage(x, 16, 16, 0);
                wo_pageGrid[Cell(x, 16, 16)] = WO_CELL_EMPTY;
            }
        }
        place(c, f.c);
        place(d, f.d);
        const uint64_t stamp = WO_OVSStamp();
        SV_UpdateFrameVisibleSet(c, stamp);
        SV_UpdateFrameVisibleSet(d, stamp);
        for (svClient_t *client : {c, d}) {
            place(reference, client == c ? f.c : f.d);
            SV_UpdateClientPVS(reference);
            ASSERT_EQ(memcmp(&client->pvs, &reference->pvs, sizeof client->pvs), 0)
                << "frame " << &f - frames << " slot " << client->number;
        }
        if (f.hole) {
            EXPECT_NE(memcmp(&c->pvs, &before, sizeof before), 0) << "the hole shows";
        }
    }
    worldbuild::Reset();
}

TEST_F(Frame, TheVisibleSetIsKeptWhileSkipped) {
    Cmd_SetCVar(&sv_skipPvs, "1", 1);
    memset(&c->pvs, 0xA5, sizeof c->pvs);
    SV_UpdateClientPVS(c);
    EXPECT_EQ(c->pvs.bits[100], 0xA5);
    Cmd_SetCVar(&sv_skipPvs, "0", 1);
}

}  // namespace
