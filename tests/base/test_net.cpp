#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/cmd.h"
#include "base/files.h"
#include "base/net.h"
#include "tests/base/scratch_dir.h"
#include "tests/support/capture.h"
#include "tests/support/private_net.h"

namespace {

using hm_test::captured;
using hm_test::Reported;

// The pipes on both ends of one in-process connection.
netPipe_t *g_serverPipe;  // the server's slot for the client
netPipe_t *g_clientPipe;  // the client's connection to the server
netPipe_t *ServerSlotFor(const netadr_t *) { return g_serverPipe; }
netPipe_t *ClientPipeFor(const netadr_t *) { return g_clientPipe; }

class Net : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        Cmd_Startup();
        NET_Imp();
        hm_test::StartCapture();
        Cmd_SetCVar(Cmd_GetCVar("net_port"), "0", 1);
        NET_Init();
    }
    void SetUp() override {
        captured.errors.clear();
        captured.prints.clear();
        server = std::make_unique<netPipe_t>();
        client = std::make_unique<netPipe_t>();
        const netadr_t local{NA_LOCAL, {}, 0, 0};
        NET_SetupPipe(server.get(), NS_SERVER, &local);
        NET_SetupPipe(client.get(), NS_CLIENT, &local);
        g_serverPipe = server.get();
        g_clientPipe = client.get();
        NET_SetPipeFinders(ServerSlotFor, ClientPipeFor);
        package = std::make_unique<netPackage_t>();
        msg = std::make_unique<msg_t>();
        Drain();
    }
    void TearDown() override {
        // What the test sent and left on the loop-back is taken here, by its own pipes:
        // taken later it would move the next test's sequence numbers.
        Drain();
        NET_SetPipeFinders(nullptr, nullptr);
    }

    void Drain() {
        while (NET_GetPackage(0, package.get()) || NET_GetPackage(1, package.get())) {
        }
    }
    // A message of n bytes, byte i = i * 7.
    msg_t *Pattern(int n) {
        Msg_WriteBegin(msg.get());
        for (int i = 0; i < n; i++) Msg_WriteByte(static_cast<uint8_t>(i * 7));
        return msg.get();
    }
    static bool IsPattern(const msg_t &m, int n) {
        if (m.curBits != n * 8) return false;
        for (int i = 0; i < n; i++)
            if (m.data[i] != static_cast<byte>(i * 7)) return false;
        return true;
    }
    // Builds one datagram by hand.
    static std::vector<byte> Datagram(uint8_t flags, int32_t sequence, int bits, byte fill = 0x33,
                                      uint8_t magic = NET_MAGIC_VERSION) {
        std::vector<byte> d(NET_HEADER_SIZE + (bits + 7) / 8, fill);
        const netHeader_t h{magic, 4242, flags, sequence, 0, bits};
        NET_WriteHeader(d.data(), &h);
        return d;
    }
    int Parse(const std::vector<byte> &d, const byte **payload) {
        netadr_t from{NA_IP, {127, 0, 0, 5}, 5000, 0};
        return NET_ParseRawData(&from, d.data(), static_cast<int>(d.size()), payload);
    }

    std::unique_ptr<netPipe_t> server, client;
    std::unique_ptr<netPackage_t> package;
    std::unique_ptr<msg_t> msg;
};

TEST_F(Net, HeaderRoundTripsThroughItsSixteenBytes) {
    const netHeader_t in{NET_MAGIC_VERSION, 0xBEEF, NF_LAST | NET_FLAG_CLIENT, 0x7FFFFFFE, -1, 8 * 20};
    byte wire[NET_HEADER_SIZE + 20] = {};
    NET_WriteHeader(wire, &in);
    EXPECT_EQ(wire[0], 0x1E);
    EXPECT_EQ(wire[1], 0xEF);
    EXPECT_EQ(wire[2], 0xBE);
    EXPECT_EQ(wire[3], 0x07);
    netHeader_t out{};
    ASSERT_EQ(NET_ReadHeader(wire, sizeof wire, &out), NP_OK);
    EXPECT_EQ(out.qport, in.qport);
    EXPECT_EQ(out.flags, in.flags);
    EXPECT_EQ(out.sequence, in.sequence);
    EXPECT_EQ(out.ack, in.ack);
    EXPECT_EQ(out.bits, in.bits);
}

TEST_F(Net, MalformedDatagramsAreDroppedWithTheirWarning) {
    struct Case {
        const char *name;
        std::vector<byte> datagram;
        const char *warning;
    };
    std::vector<Case> cases = {
        {"15 bytes", std::vector<byte>(15, 0x1E), "Undersized package (15)"},
        {"empty", {}, "Undersized package (0)"},
        {"1401 bytes", Datagram(NF_WHOLE, -1, 8 * 1385), "Oversized package (1401)"},
        {"magic", Datagram(NF_WHOLE, -1, 8, 0, 0x1F), "Bad net magic"},
        {"version 2", Datagram(NF_WHOLE, -1, 8, 0, 0x2E), "Bad net version"},
        {"bits one byte short", Datagram(NF_WHOLE, -1, 8), "Bad size in head"},
        {"negative bits", Datagram(NF_WHOLE, -1, 8), "Bad size in head"},
        {"huge bits", Datagram(NF_WHOLE, -1, 8), "Bad size in head"},
        {"bits that wrap when rounded", Datagram(NF_WHOLE, -1, 8), "Bad size in head"},
    };
    auto setBits = [](std::vector<byte> &d, int32_t bits) { memcpy(&d[12], &bits, 4); };
    setBits(cases[5].datagram, 16);
    setBits(cases[6].datagram, -8);
    setBits(cases[7].datagram, 1 << 30);
    setBits(cases[8].datagram, 0x7FFFFFFF);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        captured.errors.clear();
        const byte *payload = nullptr;
        EXPECT_EQ(Parse(c.datagram, &payload), 0);
        EXPECT_EQ(payload, nullptr);
        ASSERT_EQ(captured.errors.size(), 1u);
        EXPECT_NE(captured.errors[0].text.find(c.warning), std::string::npos) << captured.errors[0].text;
        EXPECT_EQ(captured.errors[0].level, ER_DEVWARNING);
        EXPECT_EQ(captured.errors[0].text.rfind("NET_ParseRawData", 0), 0u);
    }
}

TEST_F(Net, OutOfBandTextBecomesOnePayloadWithSequenceMinusOne) {
    const netadr_t local{NA_LOCAL, {}, 0, 0};
    ASSERT_EQ(NET_SendOutOfBandPrintf(NS_SERVER, &local, "%s", "poll"), 1);
    ASSERT_EQ(NET_GetPackage(0, package.get()), 1);
    EXPECT_EQ(package->msg.curBits, 40);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(package->msg.data)), "poll");
    EXPECT_EQ(package->address.type, static_cast<uint32_t>(NA_LOCAL));
    EXPECT_EQ(package->address.qport, qnet.myQport);
    // The other ring holds nothing: rings are kept apart by the sending side.
    EXPECT_EQ(NET_GetPackage(1, package.get()), 0);
}

TEST_F(Net, OutOfBandTextIsCutAt1019Characters) {
    const netadr_t local{NA_LOCAL, {}, 0, 0};
    const std::string big(3000, 'w');
    ASSERT_EQ(NET_SendOutOfBandPrintf(NS_CLIENT, &local, "%s", big.c_str()), 1);
    ASSERT_EQ(NET_GetPackage(1, package.get()), 1);
    EXPECT_EQ(package->msg.curBits, 8 * 1020);
    EXPECT_EQ(package->msg.data[1019], 0);
}

TEST_F(Net, OutOfBandPackagesTooBigForOneDatagramAreRefused) {
    package->address = netadr_t{NA_LOCAL, {}, 0, 0};
    Msg_WriteBegin(&package->msg);
    static byte bytes[1400];
    Msg_WriteBits(bytes, NET_FRAGMENT_BITS + 1);
    EXPECT_EQ(NET_SendOutOfBandPackage(NS_SERVER, package.get()), 0);
    EXPECT_TRUE(Reported(ER_WARNING, "NET_SendOutOfBandPackage"));
    Msg_WriteBegin(&package->msg);
    Msg_WriteBits(bytes, NET_FRAGMENT_BITS);
    EXPECT_EQ(NET_SendOutOfBandPackage(NS_SERVER, package.get()), 1);
    EXPECT_EQ(NET_GetPackage(0, package.get()), 1);
    EXPECT_EQ(package->msg.curBits, NET_FRAGMENT_BITS);

    const netadr_t nowhere{NA_IP, {0, 0, 0, 0}, 14666, 0};
    EXPECT_EQ(NET_SendOutOfBandPrintf(NS_CLIENT, &nowhere, "x"), 0);
    EXPECT_TRUE(Reported("Try to send data to 0.0.0.0"));
    const netadr_t cleared{};
    captured.errors.clear();
    EXPECT_EQ(NET_SendOutOfBandPrintf(NS_CLIENT, &cleared, "x"), 0);
    EXPECT_TRUE(Reported("NET_SendNetData: Bad address"));
    // A send the system refuses (port 0) is reported and not counted as sent.
    captured.errors.clear();
    const netadr_t portZero{NA_IP, {127, 0, 0, 2}, 0, 0};
    EXPECT_EQ(NET_SendOutOfBandPrintf(NS_CLIENT, &portZero, "x"), 0);
    EXPECT_TRUE(Reported(ER_ERROR, "Sys_SendNetData: Fail sending to 127.0.0.2:0"));
}

// Reads one datagram from our own socket, waiting a little for it.
int ReadOwnSocket(netadr_t *from, byte *buffer) {
    for (int i = 0; i < 500; i++) {
        const int got = Sys_GetNetData(from, NET_MAX_DATAGRAM, buffer);
        if (got) return got;
        usleep(1000);
    }
    return 0;
}

TEST_F(Net, LargePackageTravelsAsWholeByteFragmentsAndArrivesAfterTheLast) {
    // The client pipe talks to our own socket over the loopback network.
    client->remote = netadr_t{NA_IP, {127, 0, 0, 2}, qnet.localAddress.port, 0};
    client->outgoingSequence = 40;
    ASSERT_EQ(NET_SendPackage(client.get(), Pattern(3000)), 1);
    EXPECT_EQ(client->outgoingSequence, 43);
    const int expectBytes[] = {1384, 1384, 232};
    const uint8_t expectKind[] = {NF_FIRST, NF_MIDDLE, NF_LAST};
    server->incomingSequence = 39;
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        netadr_t from{};
        byte d[NET_MAX_DATAGRAM];
        const int length = ReadOwnSocket(&from, d);
        ASSERT_EQ(length, NET_HEADER_SIZE + expectBytes[i]);
        netHeader_t h;
        ASSERT_EQ(NET_ReadHeader(d, length, &h), NP_OK);
        EXPECT_EQ(h.flags, expectKind[i] | NET_FLAG_CLIENT);
        EXPECT_EQ(h.sequence, 40 + i);
        EXPECT_EQ(h.qport, qnet.myQport);
        NET_EnqueueFragment(&from, d, length);
        if (i < 2) {
            EXPECT_EQ(NET_GetPackage(NS_CLIENT, package.get()), 0);
        }
    }
    ASSERT_EQ(NET_GetPackage(NS_CLIENT, package.get()), 1);
    EXPECT_TRUE(IsPattern(package->msg, 3000));
    EXPECT_EQ(package->address.qport, qnet.myQport);
    EXPECT_EQ(package->sequence, 42);
    EXPECT_EQ(server->incomingSequence, 39) << "moved only when the owner accepts the package";
    NET_AcceptPackage(server.get(), package.get());
    EXPECT_EQ(server->incomingSequence, 42);
}

TEST_F(Net, EmptyPackageSendsNothing) {
    Msg_WriteBegin(msg.get());
    EXPECT_EQ(NET_SendPackage(client.get(), msg.get()), 1);
    EXPECT_EQ(client->outgoingSequence, 0);
    Msg_WriteBegin(msg.get());
    msg->overflowed = 1;
    EXPECT_EQ(NET_SendPackage(client.get(), msg.get()), 0);
    EXPECT_TRUE(Reported(ER_DEVWARNING, "NET_SendPackage: package overflow"));
}

// Fragment series delivered in other orders straight to the joiner.
TEST_F(Net, FragmentReassemblyRefusesWhatItCannotJoin) {
    auto part = [](int kind, int32_t seq, int bits) {
        return netHeader_t{NET_MAGIC_VERSION, 1, static_cast<uint8_t>(kind), seq, 0, bits};
    };
    static byte payload[NET_MAX_PAYLOAD];
    auto pipe = std::make_unique<netPipe_t>();
    const netadr_t a{NA_LOCAL, {}, 0, 0};
    int ready;
    uint32_t lost;
    struct Step {
        netHeader_t h;
        netParse_t result;
        int ready;
        uint32_t lost;
        bool refused = false;  // the owner does not accept the package it completes
    };
    struct Case {
        const char *name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"in order",
         {{part(NF_FIRST, 0, 8000), NP_OK, 0, 0},
          {part(NF_MIDDLE, 1, 8000), NP_OK, 0, 0},
          {part(NF_LAST, 2, 13), NP_OK, 16013, 0}}},
        {"a repeated first part starts the series again",
         {{part(NF_FIRST, 0, 8000), NP_OK, 0, 0},
          {part(NF_FIRST, 0, 8000), NP_OK, 0, 0},
          {part(NF_LAST, 1, 8), NP_OK, 8008, 0},
          {part(NF_LAST, 1, 8), NP_STALE, 0, 0}}},
        {"a repeated middle part is stale",
         {{part(NF_FIRST, 0, 8000), NP_OK, 0, 0},
          {part(NF_MIDDLE, 1, 8000), NP_OK, 0, 0},
          {part(NF_MIDDLE, 1, 8000), NP_STALE, 0, 0},
          {part(NF_LAST, 2, 8), NP_OK, 16008, 0}}},
        {"out of order: the series is lost",
         {{part(NF_FIRST, 0, 8000), NP_OK, 0, 0},
          {part(NF_LAST, 2, 8), NP_NO_FIRST, 0, 1},
          {part(NF_MIDDLE, 1, 8000), NP_NO_FIRST, 0, 0},
          {part(NF_WHOLE, 3, 8), NP_OK, 8, 2}}},
        {"missing middle",
         {{part(NF_FIRST, 0, 8000), NP_OK, 0, 0},
          {part(NF_LAST, 2, 8), NP_NO_FIRST, 0, 1},
          {part(NF_WHOLE, 3, 16), NP_OK, 16, 2}}},
        {"no first part",
         {{part(NF_MIDDLE, 0, 8), NP_NO_FIRST, 0, 0}, {part(NF_LAST, 1, 8), NP_NO_FIRST, 0, 1}}},
        {"first part ending inside a byte",
         {{part(NF_FIRST, 0, 8001), NP_BAD_FRAGMENT, 0, 0}, {part(NF_LAST, 1, 8), NP_NO_FIRST, 0, 1}}},
        {"sequence jump far ahead counts without wrapping",
         {{part(NF_WHOLE, 0x7FFFFFFF, 8), NP_OK, 8, 0x7FFFFFFFu}, {part(NF_WHOLE, 5, 8), NP_STALE, 0, 0}}},
        // A forgery from the peer's address: joined, but its owner refuses it, so the
        // peer's own packages still follow the last accepted one.
        {"a refused package leaves the sequence where it was",
         {{part(NF_WHOLE, 4, 8), NP_OK, 8, 4},
          {part(NF_WHOLE, 0x7FFFFFFF, 8), NP_OK, 8, 0x7FFFFFFAu, true},
          {part(NF_WHOLE, 5, 8), NP_OK, 8, 0},
          {part(NF_WHOLE, 5, 8), NP_STALE, 0, 0}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        NET_SetupPipe(pipe.get(), NS_SERVER, &a);
        int i = 0;
        for (const Step &s : c.steps) {
            SCOPED_TRACE(i++);
            EXPECT_EQ(NET_JoinDatagram(pipe.get(), &s.h, payload, &ready, &lost), s.result);
            EXPECT_EQ(ready, s.ready);
            EXPECT_EQ(lost, s.lost);
            if (ready > 0 && !s.refused) {
                const auto accepted = std::make_unique<netPackage_t>();
                accepted->sequence = s.h.sequence;
                NET_AcceptPackage(pipe.get(), accepted.get());
            }
        }
    }
}

// A series long enough to pass the package limit is dropped, never copied past
// the buffer, whatever the bit counts.
TEST_F(Net, OverlongSeriesNeverWritesPastTheBuffer) {
    static byte payload[NET_MAX_PAYLOAD];
    memset(payload, 0xAB, sizeof payload);
    auto pipe = std::make_unique<netPipe_t>();
    const netadr_t a{NA_LOCAL, {}, 0, 0};
    NET_SetupPipe(pipe.get(), NS_SERVER, &a);
    int ready;
    uint32_t lost;
    netHeader_t h{NET_MAGIC_VERSION, 1, NF_FIRST, 0, 0, NET_FRAGMENT_BITS};
    EXPECT_EQ(NET_JoinDatagram(pipe.get(), &h, payload, &ready, &lost), NP_OK);
    // The first and nine middle parts fill 110,720 bits; one more full part would
    // pass 112,000 and drops the series.
    for (int32_t seq = 1; seq <= 9; seq++) {
        h = netHeader_t{NET_MAGIC_VERSION, 1, NF_MIDDLE, seq, 0, NET_FRAGMENT_BITS};
        ASSERT_EQ(NET_JoinDatagram(pipe.get(), &h, payload, &ready, &lost), NP_OK);
    }
    h = netHeader_t{NET_MAGIC_VERSION, 1, NF_MIDDLE, 10, 0, NET_FRAGMENT_BITS};
    EXPECT_EQ(NET_JoinDatagram(pipe.get(), &h, payload, &ready, &lost), NP_OVERFRAGMENTED);
    EXPECT_EQ(pipe->inFragment, 0);
    EXPECT_EQ(pipe->joinedSequence, 9);
    EXPECT_EQ(pipe->incomingSequence, -1);  // nothing was accepted

    // The same series closed by a last part that ends exactly at the limit.
    NET_SetupPipe(pipe.get(), NS_SERVER, &a);
    for (int32_t seq = 0; seq <= 9; seq++) {
        h = netHeader_t{NET_MAGIC_VERSION, 1, seq ? NF_MIDDLE : NF_FIRST, seq, 0, NET_FRAGMENT_BITS};
        ASSERT_EQ(NET_JoinDatagram(pipe.get(), &h, payload, &ready, &lost), NP_OK);
    }
    h = netHeader_t{NET_MAGIC_VERSION, 1, NF_LAST, 10, 0, MAX_MSGBITS - 10 * NET_FRAGMENT_BITS};
    EXPECT_EQ(NET_JoinDatagram(pipe.get(), &h, payload, &ready, &lost), NP_OK);
    EXPECT_EQ(ready, MAX_MSGBITS);
}

TEST_F(Net, DatagramsFromStrangersAndStaleSequencesAreRefused) {
    NET_SetPipeFinders(nullptr, nullptr);
    const byte *payload = nullptr;
    EXPECT_EQ(Parse(Datagram(NF_WHOLE | NET_FLAG_CLIENT, 0, 8), &payload), 0);
    EXPECT_TRUE(captured.prints.back().find("sends us band data but he is not connected") != std::string::npos);

    NET_SetPipeFinders(ServerSlotFor, ClientPipeFor);
    EXPECT_EQ(Parse(Datagram(NF_WHOLE | NET_FLAG_CLIENT, 0, 8), &payload), 8);
    EXPECT_EQ(payload, server->buffer);
    package->sequence = 0;
    NET_AcceptPackage(server.get(), package.get());  // as the server does once the challenge is right
    EXPECT_EQ(Parse(Datagram(NF_WHOLE | NET_FLAG_CLIENT, 0, 8), &payload), 0);
    EXPECT_TRUE(Reported("packSequence (0) <= incomingSequence (0)"));
    // Datagrams of a server-side sender go to the client's pipe.
    EXPECT_EQ(Parse(Datagram(NF_WHOLE, 0, 8), &payload), 8);
    EXPECT_EQ(payload, client->buffer);
}

TEST_F(Net, LoopBackRingDropsItsOldestWhenFull) {
    const netadr_t local{NA_LOCAL, {}, 0, 0};
    for (int i = 0; i <= NET_LOOP_SLOTS; i++) NET_SendOutOfBandPrintf(NS_SERVER, &local, "n %d", i);
    EXPECT_TRUE(Reported(ER_WARNING, "Net_SendLoopData: overflow"));
    ASSERT_EQ(NET_GetPackage(0, package.get()), 1);
    EXPECT_STREQ(reinterpret_cast<const char *>(package->msg.data), "n 1");
    int n = 1;
    while (NET_GetPackage(0, package.get())) n++;
    EXPECT_EQ(n, NET_LOOP_SLOTS);
}

TEST_F(Net, ReceivedRingKeepsOrderAndDropsItsOldestWhenFull) {
    const netadr_t from{NA_IP, {127, 0, 0, 9}, 700, 0};
    for (int i = 0; i <= NET_RECEIVE_SLOTS; i++) {
        const auto d = Datagram(NF_WHOLE, -1, 8, static_cast<byte>(i));
        NET_EnqueueFragment(&from, d.data(), static_cast<int>(d.size()));
    }
    EXPECT_TRUE(Reported("Net_EnqueueReadyPackage: Net queue overflow"));
    ASSERT_EQ(NET_GetPackage(0, package.get()), 1);
    EXPECT_EQ(package->msg.data[0], 1);
    EXPECT_EQ(package->address.port, 700);
    EXPECT_EQ(package->address.qport, 4242);
    int n = 1;
    while (NET_GetPackage(0, package.get())) n++;
    EXPECT_EQ(n, NET_RECEIVE_SLOTS);
    // A length beyond a datagram never reaches the ring.
    static byte big[2000];
    NET_EnqueueFragment(&from, big, 2000);
    EXPECT_EQ(NET_GetPackage(0, package.get()), 0);
}

TEST_F(Net, FakeDropOfOneSendsNothing) {
    const netadr_t local{NA_LOCAL, {}, 0, 0};
    Cmd_SetCVar(Cmd_GetCVar("net_fakedrop"), "1", 1);
    NET_SendOutOfBandPrintf(NS_SERVER, &local, "lost");
    NET_SendPackage(client.get(), Pattern(10));
    EXPECT_EQ(NET_GetPackage(0, package.get()), 0);
    EXPECT_EQ(NET_GetPackage(1, package.get()), 0);
    // Even when the generator's next value is its largest, exactly 1.
    unsigned seed = 0;
    for (bool found = false; !found && seed < 10000000u;) {
        Com_seedrand(++seed);
        found = Com_frand() >= 1.0f;
    }
    Com_seedrand(seed);
    NET_SendOutOfBandPrintf(NS_SERVER, &local, "lost");
    EXPECT_EQ(NET_GetPackage(0, package.get()), 0);
    Cmd_SetCVar(Cmd_GetCVar("net_fakedrop"), "0", 1);
    for (int i = 0; i < 50; i++) NET_SendOutOfBandPrintf(NS_SERVER, &local, "kept");
    int n = 0;
    while (NET_GetPackage(0, package.get())) n++;
    EXPECT_EQ(n, 50);
}

TEST_F(Net, StatisticsCountRealTrafficAndLeaveLoopBackOutUnlessAsked) {
    const netStats_t before = qnet.total;
    NET_SendPackage(client.get(), Pattern(100));
    NET_GetPackage(1, package.get());
    EXPECT_EQ(qnet.total.packetsUp, before.packetsUp);
    Cmd_SetCVar(Cmd_GetCVar("net_countloop"), "1", 1);
    NET_SendPackage(client.get(), Pattern(100));
    NET_GetPackage(1, package.get());
    EXPECT_EQ(qnet.total.packetsUp, before.packetsUp + 1);
    EXPECT_EQ(qnet.total.bytesUp, before.bytesUp + 116);
    Cmd_SetCVar(Cmd_GetCVar("net_countloop"), "0", 1);
    captured.prints.clear();
    Cmd_Add("netstats");
    Cmd_Flush();
    ASSERT_EQ(captured.prints.size(), 2u);
    EXPECT_EQ(captured.prints[0].rfind("Per Second - DOWN: \xA4" "08", 0), 0u);
    EXPECT_NE(captured.prints[1].find("UP: \xA4" "08" + std::to_string(qnet.total.packetsUp) + "\xA4" "00pks"), std::string::npos)
        << captured.prints[1];
}

TEST_F(Net, DistributionCountsEveryByteSentAndPrintsWithoutTraffic) {
    memset(qnet.distribution, 0, sizeof qnet.distribution);
    Cmd_SetCVar(Cmd_GetCVar("net_distribution"), "0", 1);
    // Nothing counted: the percentages are 0, not a division by zero.
    captured.prints.clear();
    Cmd_Add("printdistribution");
    Cmd_Flush();
    ASSERT_EQ(captured.prints.size(), 32u);
    EXPECT_EQ(captured.prints[0], "0.0 0.0 0.0 0.0 | 0.0 0.0 0.0 0.0");
    Cmd_SetCVar(Cmd_GetCVar("net_distribution"), "1", 1);
    NET_SendPackage(client.get(), Pattern(4));
    Cmd_SetCVar(Cmd_GetCVar("net_distribution"), "0", 1);
    int64_t sum = 0;
    for (const int64_t c : qnet.distribution) sum += c;
    EXPECT_EQ(sum, NET_HEADER_SIZE + 4);
    EXPECT_GE(qnet.distribution[0x1E], 1);

    // dumpdistribution writes the counters, four to a line, into net.txt.
    ScratchDir scratch(true);
    FS_StartUp(nullptr);  // the file system writes where the test stands, whatever ran before
    Cmd_Add("dumpdistribution");
    Cmd_Flush();
    FILE *f = fopen("net.txt", "r");
    ASSERT_NE(f, nullptr);
    int lines = 0;
    int64_t total = 0;
    for (long long a, b, c, d; fscanf(f, "%lld, %lld, %lld, %lld,\n", &a, &b, &c, &d) == 4; lines++)
        total += a + b + c + d;
    fclose(f);
    EXPECT_EQ(lines, 64);
    EXPECT_EQ(total, sum);

    // A server that counts for months passes 2^31 of one byte value: the counter
    // goes on, and the shares and the file stay right.
    for (int64_t &c : qnet.distribution) c = int64_t{1} << 40;
    Cmd_SetCVar(Cmd_GetCVar("net_distribution"), "1", 1);
    NET_SendPackage(client.get(), Pattern(4));
    Cmd_SetCVar(Cmd_GetCVar("net_distribution"), "0", 1);
    EXPECT_GT(qnet.distribution[0x1E], int64_t{1} << 40);
    captured.prints.clear();
    Cmd_Add("printdistribution");
    Cmd_Add("dumpdistribution");
    Cmd_Flush();
    ASSERT_EQ(captured.prints.size(), 32u);
    EXPECT_EQ(captured.prints[0].rfind("0.4 0.4 0.4 0.4 | ", 0), 0u) << captured.prints[0];
    f = fopen("net.txt", "r");
    ASSERT_NE(f, nullptr);
    lines = 0;
    for (long long a, b, c, d; fscanf(f, "%lld, %lld, %lld, %lld,\n", &a, &b, &c, &d) == 4; lines++)
        EXPECT_GE(a, 1LL << 40);
    fclose(f);
    EXPECT_EQ(lines, 64);
    memset(qnet.distribution, 0, sizeof qnet.distribution);
}

TEST(SysLookupDNS, AddressTexts) {
    struct Case {
        const char *text;
        int ok;
        uint32_t type;
        uint8_t ip[4];
        uint16_t port;
    } const cases[] = {
        {"192.168.0.10:27000", 1, NA_IP, {192, 168, 0, 10}, 27000},
        {"192.168.0.10", 1, NA_IP, {192, 168, 0, 10}, 14666},
        {"  10.0.0.1", 1, NA_IP, {10, 0, 0, 1}, 14666},
        {"127.0.0.1:5000", 1, NA_LOCAL, {0, 0, 0, 0}, 0},
        {"local", 1, NA_LOCAL, {0, 0, 0, 0}, 14666},
        {"1..2.3", 1, NA_IP, {1, 0, 2, 3}, 14666},
        {"1.2.3.4:70000", 1, NA_IP, {1, 2, 3, 4}, 70000 % 65536},
        {"1.2.3", 0, 0, {}, 0},
        {"1.2.3.4.5", 0, 0, {}, 0},
        {"1.2.3.256", 0, 0, {}, 0},
        {"1.2:3.4", 0, 0, {}, 0},
        {"1.2.3.00004", 0, 0, {}, 0},
        {"1.2.3.4:1234567", 0, 0, {}, 0},
        {"1.2.3.4x", 0, 0, {}, 0},
        {"", 0, 0, {}, 0},
        {"localhost:99999", 0, 0, {}, 0},
        {"no-such-host.invalid", 0, 0, {}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        netadr_t a;
        memset(&a, 0x5A, sizeof a);
        EXPECT_EQ(Sys_LookupDNS(&a, c.text), c.ok);
        EXPECT_EQ(a.type, c.type);
        EXPECT_EQ(memcmp(a.ip, c.ip, 4), 0);
        EXPECT_EQ(a.port, c.port);
        EXPECT_EQ(a.qport, 0);
    }
    netadr_t a;
    ASSERT_EQ(Sys_LookupDNS(&a, "localhost:4000"), 1);
    EXPECT_EQ(a.type, static_cast<uint32_t>(NA_IP));
    EXPECT_EQ(a.ip[0], 127);
    EXPECT_EQ(a.port, 4000);
}

// Binds a UDP socket on 0.0.0.0:port; -1 when taken.
int BindUdp(uint16_t port) {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    if (bind(s, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        close(s);
        return -1;
    }
    return s;
}

uint16_t PortOf(int s) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    getsockname(s, reinterpret_cast<sockaddr *>(&sa), &len);
    return ntohs(sa.sin_port);
}

TEST_F(Net, SocketSkipsTakenPortsAndCarriesDatagrams) {
    // Find three free consecutive ports, then take the first two.
    int a = -1, b = -1;
    uint16_t base = 0;
    for (int tries = 0; tries < 50 && b < 0; tries++) {
        const int probe = BindUdp(0);
        base = PortOf(probe);
        close(probe);
        if (base > 65000) continue;
        a = BindUdp(base);
        b = a >= 0 ? BindUdp(static_cast<uint16_t>(base + 1)) : -1;
        if (b < 0 && a >= 0) close(a);
    }
    ASSERT_GE(b, 0);
    captured.prints.clear();
    const netConf_t conf = Sys_InitNet(base);
    close(a);
    close(b);
    ASSERT_TRUE(conf.initialised);
    EXPECT_EQ(conf.address.port, base + 2);
    int failed = 0, succeeded = 0;
    for (const std::string &p : captured.prints) {
        failed += p.find("bind()") != std::string::npos && p.find("failed") != std::string::npos;
        succeeded += p.find("bind()") != std::string::npos && p.find("successful") != std::string::npos;
    }
    EXPECT_EQ(failed, 2);
    EXPECT_EQ(succeeded, 1);

    // A datagram to ourselves over 127.0.0.2 arrives with its sender.
    const netadr_t self{NA_IP, {127, 0, 0, 2}, conf.address.port, 0};
    ASSERT_EQ(Sys_SendNetData(&self, "hello", 5), 1);
    netadr_t from{};
    char buffer[NET_MAX_DATAGRAM];
    int got = 0;
    for (int i = 0; i < 200 && !got; i++) {
        got = Sys_GetNetData(&from, sizeof buffer, buffer);
        if (!got) usleep(1000);
    }
    EXPECT_EQ(got, 5);
    EXPECT_EQ(from.type, static_cast<uint32_t>(NA_IP));
    EXPECT_EQ(from.port, conf.address.port);
    EXPECT_EQ(Sys_GetNetData(&from, sizeof buffer, buffer), 0);

    // Empty datagrams do not hide the one behind them: the first read finds it.
    for (int i = 0; i < 3; i++) ASSERT_EQ(Sys_SendNetData(&self, "", 0), 1);
    ASSERT_EQ(Sys_SendNetData(&self, "after", 5), 1);
    usleep(20000);  // all four are in the socket's queue
    EXPECT_EQ(Sys_GetNetData(&from, sizeof buffer, buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), "after");
    EXPECT_EQ(Sys_GetNetData(&from, sizeof buffer, buffer), 0);

    // Ports beyond 65,535 are not tried, rather than wrapping to low ones.
    captured.errors.clear();
    EXPECT_FALSE(Sys_InitNet(65536).initialised);
    EXPECT_TRUE(Reported(ER_FATAL, "Sys_InitNet: bind() failed"));

    // Back to a socket of the system's choosing for the other tests.
    NET_Init();
    EXPECT_TRUE(qnet.initialised);
    EXPECT_GE(qnet.myQport, 1);
    EXPECT_LE(qnet.myQport, 65534);
}

// The engine's socket sends a datagram to the limited broadcast address at the port of
// a socket bound to every address of this host; what the test heard, "skip: " and
// why when broadcasting cannot be tried here (no network of its own).  Runs in a network of its own.
std::string BroadcastToSelf() {
    const std::string why = hm_test::EnterPrivateNetwork();
    if (!why.empty()) return "skip: no network of the test's own to broadcast in: " + why;
    const int listener = BindUdp(0);
    if (listener < 0) return "no listening socket";
    if (!Sys_InitNet(0).initialised) return "no engine socket";
    const netadr_t broadcast{NA_IP_ALT, {255, 255, 255, 255}, PortOf(listener), 0};
    // Here only a socket not allowed to broadcast fails to send.
    if (Sys_SendNetData(&broadcast, "hello", 5) != 1)
        return "not sent: " + (captured.errors.empty() ? std::string() : captured.errors.back().text);
    pollfd p{listener, POLLIN, 0};
    if (poll(&p, 1, 5000) != 1) return "nothing heard";
    char buffer[16];
    const ssize_t got = recv(listener, buffer, sizeof buffer, 0);
    return got > 0 ? std::string(buffer, static_cast<size_t>(got)) : "nothing heard";
}

// In a child process, which alone leaves the host's network: the broadcast never goes
// beyond this machine.
TEST_F(Net, BroadcastIsHeardByASocketOfThisHost) {
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(report[0]);
        const std::string heard = BroadcastToSelf();
        const ssize_t written = write(report[1], heard.data(), heard.size());
        _exit(written == static_cast<ssize_t>(heard.size()) ? 0 : 1);
    }
    close(report[1]);
    std::string heard;
    char buffer[512];
    for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;) heard.append(buffer, static_cast<size_t>(n));
    close(report[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << heard;
    if (heard.rfind("skip: ", 0) == 0) GTEST_SKIP() << heard.substr(6);
    EXPECT_EQ(heard, "hello");
}

}  // namespace
