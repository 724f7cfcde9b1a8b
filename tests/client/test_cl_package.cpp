// The packages the client writes: the command records bit for bit, the page
// acknowledgement pool, the info string's resend rule, and a round trip through the
// server's own reader.
#include <cmath>
#include <random>

#include "server/server.h"
#include "tests/client/client_fixture.h"
#include "world/world.h"

namespace {

using namespace hm_test;

struct Packages : ClientTest {
    void SetUp() override {
        ClientTest::SetUp();
        ConnectFully();
    }
    netPackage_t got;
    // Begins reading the single package sent since the last look, past its head.
    void One() {
        std::vector<netPackage_t> sent = Sent();
        EXPECT_EQ(sent.size(), 1u);
        got = sent.empty() ? netPackage_t{} : sent[0];
        Msg_ReadBegin(&got.msg);
        EXPECT_EQ(Msg_ReadLong(), CLSV_MAGIC);
        EXPECT_EQ(Msg_ReadLong(), cl.challenge);
    }
};

cc_t Command(uint32_t number) {
    cc_t c{};
    c.number = number;
    c.time = 1000 + number;
    return c;
}

TEST_F(Packages, CommandRecordsAreCodedAgainstTheRecordBefore) {
    // The first package after connecting: 1 against zeros sets the number flag; the
    // two never-filled slots code as all-zero records (number 0 written as a long).
    cc_t first = Command(1);
    CL_SendClientCommand(&first);
    One();
    EXPECT_EQ(Msg_ReadByte(), CLP_CC);
    EXPECT_EQ(Msg_ReadLong(), -1) << "no snapshot yet";
    EXPECT_EQ(Msg_ReadLong(), cl.worldInfoVersion);
    EXPECT_EQ(Msg_ReadByte(), 1) << "the world is still incomplete";
    EXPECT_EQ(Msg_ReadByte(), CCF_NUMBER_NEXT);
    EXPECT_EQ(Msg_ReadLong(), 1001);
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(Msg_ReadByte(), 0);
        EXPECT_EQ(Msg_ReadLong(), 0);
        EXPECT_EQ(Msg_ReadLong(), 0);
    }
    EXPECT_TRUE(Msg_IsEOF());

    // 7, 8, 9 in the ring, 9 newest: they go out as 9, 7, 8.
    for (uint32_t n : {7u, 8u}) {
        cc_t c = Command(n);
        CL_SendClientCommand(&c);
    }
    Drain();
    cc_t nine = Command(9);
    CL_SendClientCommand(&nine);
    One();
    Msg_ReadByte();
    Msg_ReadLong();
    Msg_ReadLong();
    Msg_ReadByte();
    struct record_t {
        uint8_t flags;
        int32_t number;  // -1: not written
    } want[] = {{0, 9}, {0, 7}, {CCF_NUMBER_NEXT, -1}};
    for (const record_t &w : want) {
        EXPECT_EQ(Msg_ReadByte(), w.flags);
        if (w.number >= 0) {
            EXPECT_EQ(Msg_ReadLong(), w.number);
        }
        Msg_ReadLong();  // time
    }
    EXPECT_TRUE(Msg_IsEOF());
}

TEST_F(Packages, FieldsTravelOnlyWhenTheyDiffer) {
    struct case_t {
        const char *what;
        void (*change)(cc_t *);
        uint8_t flags;
        int bytes;         // written after the time
        int32_t textSent;  // the clamped length in the caller's record
    } cases[] = {
        {"nothing", [](cc_t *) {}, 0, 0, 0},
        {"yaw", [](cc_t *c) { c->angles[2] = 90.0f; }, CCF_ANGLE_2, 2, 0},
        {"a full turn is no change", [](cc_t *c) { c->angles[0] = 360.0f; }, 0, 0, 0},
        {"aim", [](cc_t *c) { c->aim[1] = 0.5f; }, CCF_AIM, 3, 0},
        {"deform mode", [](cc_t *c) { c->deformMode = 2; }, CCF_BYTES, 2, 0},
        {"buttons", [](cc_t *c) { c->buttons = 0x10; }, CCF_BUTTONS, 4, 0},
        {"text", [](cc_t *c) { c->textLength = 3; memcpy(c->text, "say", 3); }, CCF_TEXT, 4, 3},
        {"long text", [](cc_t *c) { c->textLength = 200; memset(c->text, 'x', sizeof c->text); }, CCF_TEXT,
         1 + CC_TEXT_MAX, CC_TEXT_MAX},
        {"negative text", [](cc_t *c) { c->textLength = static_cast<uint32_t>(-5); }, 0, 0, 0},
    };
    uint32_t number = 10;
    for (const case_t &c : cases) {
        for (int i = 0; i < 3; i++) {
            cc_t plain = Command(number++);
            CL_SendClientCommand(&plain);
        }
        Drain();
        cc_t changed = Command(number++);
        c.change(&changed);
        CL_SendClientCommand(&changed);
        EXPECT_EQ(static_cast<int32_t>(changed.textLength), c.textSent) << c.what;
        One();
        Msg_ReadByte();
        Msg_ReadLong();
        Msg_ReadLong();
        Msg_ReadByte();
        // The newest record goes first, coded against zeros.
        EXPECT_EQ(Msg_ReadByte(), c.flags) << c.what;
        EXPECT_EQ(Msg_ReadLong(), static_cast<int32_t>(changed.number));
        Msg_ReadLong();  // time
        for (int i = 0; i < c.bytes; i++) Msg_ReadByte();
        // Right behind it the oldest record begins, with its number written out.
        EXPECT_EQ(Msg_ReadByte() & CCF_NUMBER_NEXT, 0) << c.what;
        EXPECT_EQ(Msg_ReadLong(), static_cast<int32_t>(changed.number - 2)) << c.what;
    }
}

TEST_F(Packages, PageAcknowledgementsArePooledAndCompacted) {
    CL_AddPageAck(4, 5, 6, 10);
    CL_AddPageAck(5, 5, 6, 10);   // the page after the previous: one byte
    CL_AddPageAck(5, 5, 6, 9);    // already pooled with a higher number: nothing
    CL_AddPageAck(5, 5, 6, 10);   // or the same: nothing
    CL_AddPageAck(9, 9, 9, 3);
    CL_AddPageAck(9, 9, 9, 4);    // a higher number for a pooled page goes in
    EXPECT_EQ(cl.pageAckCount, 4);
    Advance(49);
    CL_SendPageAcks(0);
    EXPECT_TRUE(Sent().empty()) << "the first entry waited 49 ms";
    Advance(1);
    CL_SendPageAcks(0);
    One();
    EXPECT_EQ(Msg_ReadByte(), CLP_PAGEACK);
    EXPECT_EQ(Msg_ReadByte(), 4);
    EXPECT_EQ(Msg_ReadByte(), 5);
    EXPECT_EQ(Msg_ReadByte(), 6);
    EXPECT_EQ(Msg_ReadLong(), 10);
    EXPECT_EQ(Msg_ReadByte(), CLP_PAGEACK_DELTA);
    for (int32_t seq : {3, 4}) {
        EXPECT_EQ(Msg_ReadByte(), CLP_PAGEACK);
        Msg_ReadByte();
        Msg_ReadByte();
        Msg_ReadByte();
        EXPECT_EQ(Msg_ReadLong(), seq);
    }
    EXPECT_TRUE(Msg_IsEOF());
    EXPECT_EQ(cl.pageAckCount, 0);

    // A full pool goes at once; a full pool with nobody to send to is forgotten.
    for (int i = 0; i < CL_PAGE_ACKS; i++) CL_AddPageAck(i % 32, i / 32 % 32, 0, 1 + i / 1024);
    EXPECT_EQ(Sent().size(), 1u);
    cl.state = ECL_DISCONNECTED;
    for (int i = 0; i < CL_PAGE_ACKS + 5; i++) CL_AddPageAck(i % 32, i / 32 % 32, 1, 1);
    EXPECT_LT(cl.pageAckCount, CL_PAGE_ACKS);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Packages, TheInfoStringGoesUntilASnapshotAcknowledgesIt) {
    cl.snapNewest = 4;
    snapshot_t &newest = cl.snaps[4];
    newest.number = 4;
    Cmd_SetCVar(&cl_rate, "9000", 1);
    CL_UpdateInfoString("name \"Ann\";");
    EXPECT_EQ(cl.infoVersion, 1);
    EXPECT_STREQ(cl.info, "name \"Ann\";rate \"9000\";");
    CL_UpdateInfoString("name \"Ann\";");
    EXPECT_EQ(cl.infoVersion, 1) << "the same text changes nothing";

    CL_SendInfoString();
    One();
    EXPECT_EQ(Msg_ReadByte(), CLP_INFO);
    EXPECT_EQ(Msg_ReadLong(), 1);
    const int32_t length = Msg_ReadLong();
    EXPECT_EQ(length, static_cast<int32_t>(strlen(cl.info)));
    char text[MAX_INFO_STRING] = {};
    Msg_ReadBytes(text, length);
    EXPECT_STREQ(text, cl.info);
    EXPECT_TRUE(Msg_IsEOF());

    Advance(199);
    CL_SendInfoString();
    EXPECT_TRUE(Sent().empty());
    Advance(1);
    CL_SendInfoString();
    EXPECT_EQ(Sent().size(), 1u) << "unacknowledged: again after 200 ms";
    newest.infoAck = 1;
    Advance(500);
    CL_SendInfoString();
    EXPECT_TRUE(Sent().empty()) << "acknowledged";
    // A later snapshot refused into the newest one's slot leaves it cleared: its
    // zeros are no acknowledgement of version 0.
    newest.infoAck = 0;
    newest.number = -1;
    CL_SendInfoString();
    EXPECT_TRUE(Sent().empty()) << "no newest snapshot to read";
    newest.number = 4;
    cl.snapNewest = 3;
    newest.infoAck = 0;
    CL_SendInfoString();
    EXPECT_TRUE(Sent().empty()) << "not before the fourth snapshot";
}

TEST_F(Packages, KeepAliveGoesTwiceAndNothingGoesWhileNotConnected) {
    CL_SendKeepAlive();
    EXPECT_EQ(Sent().size(), 2u);
    cl.state = ECL_CONNECTING;
    cc_t c = Command(1);
    CL_SendClientCommand(&c);
    CL_SendKeepAlive();
    CL_SendDisconnect();
    EXPECT_TRUE(Sent().empty());
}

// ---- round trip through the server's reader ----

float AngleOnWire(float a) {
    const int16_t s = static_cast<int16_t>(static_cast<int32_t>(nearbyintf(a * 65536.0f / 360.0f)) & 0xFFFF);
    return static_cast<float>(s) * 360.0f / 65536.0f;
}
float AimOnWire(float c) {
    const int8_t b = static_cast<int8_t>(static_cast<int32_t>(nearbyintf(c * 120.0f)) & 0xFF);
    return static_cast<float>(b) / 120.0f;
}

struct RoundTrip : Packages {
    static void SetUpTestSuite() {
        ClientTest::SetUpTestSuite();
        SV_Imp(1);
    }
    svClient_t *slot = nullptr;
    void SetUp() override {
        Packages::SetUp();
        SV_AddClient(0, &LOOPBACK, -1, cl.challenge);
        slot = &sv_clients[0];
        for (uint32_t &s : wo_seqGrid) s = 1000000;
        NET_SetPipeFinders(ServerEnd, CL_GetServerNetPipe);
    }
    void TearDown() override {
        for (uint32_t &s : wo_seqGrid) s = UINT32_MAX;
        sv_clients[0] = svClient_t{};
        Packages::TearDown();
    }
    // Hands everything the client sent to the server's reader.
    void ServerReads() {
        for (netPackage_t &p : Sent()) {
            Msg_ReadBegin(&p.msg);
            Msg_ReadTokenize();
            SV_HandlePackage(&p);
        }
    }
};

TEST_F(RoundTrip, TheServerReadsWhatTheClientWrote) {
    std::mt19937 rng(1234);
    auto uniform = [&rng](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    auto below = [&rng](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    cl.snapNewest = 4;
    cl.snaps[4].number = 4;
    uint32_t number = 0;
    cc_t previous{};
    for (int round = 0; round < 400; round++) {
        switch (below(3)) {
        case 0: {
            cc_t c = below(3) == 0 ? previous : cc_t{};
            number += 1 + below(2);
            c.number = number;
            c.time = rng();
            for (float &a : c.angles)
                if (below(2)) a = uniform(-720.0f, 720.0f);
            for (float &a : c.aim)
                if (below(2)) a = uniform(-1.0f, 1.0f);
            if (below(2)) c.weapon = static_cast<uint8_t>(rng());
            if (below(2)) c.deformMode = static_cast<uint8_t>(rng());
            if (below(2)) c.buttons = rng();
            c.textLength = below(3) ? 0 : below(200);
            memset(c.text, 0, sizeof c.text);
            for (uint32_t i = 0; i < c.textLength && i < sizeof c.text; i++) c.text[i] = static_cast<char>('!' + below(90));
            CL_SendClientCommand(&c);
            previous = c;
            ServerReads();
            // The three records of the package, each as the server keeps it.
            for (const cc_t &sent : cl.ccRing) {
                if (sent.number == 0) continue;
                const cc_t &got = slot->ccRing[sent.number & (SV_CC_RING - 1)];
                ASSERT_EQ(got.number, sent.number);
                EXPECT_EQ(got.time, sent.time);
                for (int i = 0; i < 3; i++) {
                    EXPECT_EQ(got.angles[i], AngleOnWire(sent.angles[i])) << round << " angle " << i;
                    EXPECT_EQ(got.aim[i], AimOnWire(sent.aim[i])) << round << " aim " << i;
                }
                EXPECT_EQ(got.weapon, sent.weapon);
                EXPECT_EQ(got.deformMode, sent.deformMode);
                EXPECT_EQ(got.buttons, sent.buttons);
                ASSERT_EQ(got.textLength, sent.textLength) << round;
                EXPECT_EQ(std::string(got.text, got.textLength), std::string(sent.text, sent.textLength));
            }
            EXPECT_EQ(slot->snapAcked, -1) << "the acknowledgement of a snapshot the server never sent is refused";
            break;
        }
        case 1: {
            struct ack_t {
                int32_t x, y, z, seq;
            };
            std::vector<ack_t> acks;
            const int runs = 1 + static_cast<int>(below(4));
            for (int r = 0; r < runs; r++) {
                const int32_t x0 = static_cast<int32_t>(below(28)), y = static_cast<int32_t>(below(32)),
                              z = static_cast<int32_t>(below(32)), seq = static_cast<int32_t>(below(100000));
                for (int32_t x = x0; x < x0 + 1 + static_cast<int32_t>(below(4)); x++) {
                    CL_AddPageAck(x, y, z, seq);
                    acks.push_back({x, y, z, seq});
                }
            }
            CL_SendPageAcks(1);
            ServerReads();
            for (const ack_t &a : acks) {
                // The latest acknowledgement of a page wins on both sides.
                int32_t want = -1;
                for (const ack_t &b : acks)
                    if (b.x == a.x && b.y == a.y && b.z == a.z) want = b.seq >= want ? b.seq : want;
                EXPECT_EQ(slot->pageAck[(a.z * 32 + a.y) * 32 + a.x], want) << round;
            }
            break;
        }
        default: {
            std::string info = "name \"p" + std::to_string(rng() % 1000) + "\";";
            for (uint32_t n = below(40); n > 0; n--) info += "k" + std::to_string(n) + " \"" + std::to_string(rng()) + "\";";
            CL_UpdateInfoString(info.c_str());
            cl.infoSentTime = 0;
            CL_SendInfoString();
            ServerReads();
            EXPECT_EQ(slot->infoVersion, cl.infoVersion);
            EXPECT_STREQ(slot->info, cl.info);
            break;
        }
        }
    }
    EXPECT_EQ(slot->ccNewest, static_cast<int32_t>(number)) << "every command package was read";
}

}  // namespace

namespace {

using namespace hm_test;

// A server in the same process hands list and info answers to its client's queue.
TEST_F(RoundTrip, TheServerPassesListAndInfoTextsToItsOwnClient) {
    static netPackage_t p;
    auto offer = [](const char *text) {
        p.address = STRANGER;
        Msg_WriteBegin(&p.msg);
        Msg_WriteBytes(text, static_cast<int>(strlen(text)) + 1);
        Msg_ReadBegin(&p.msg);
        Msg_ReadTokenize();
        SV_HandlePackage(&p);
    };
    offer("cg_server_list 1 2");
    offer("serverinfo 5 6 x");
    offer("cg_print not for the queue");
    ASSERT_EQ(cl_outsideCommands.head, 2u) << "a stranger's texts wait beside the server's";
    netadr_t from{};
    CL_GetNextServerCommand(&from);
    EXPECT_STREQ(CL_ServerCommandArgv(0), "cg_server_list");
    EXPECT_TRUE(Com_adrcmp(&from, &STRANGER));
    CL_GetNextServerCommand(&from);
    EXPECT_STREQ(CL_ServerCommandArgv(0), "serverinfo");
    qbase.clientRunning = 0;
    offer("cg_server_list 1 2");
    EXPECT_EQ(cl_outsideCommands.head, 2u) << "no client in this process: nothing is queued";
}

}  // namespace
