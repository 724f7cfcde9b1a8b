// Snapshots on the client: the ring they are decoded into, bases that left it,
// refused snapshots that leave nothing behind, and the simulation clock.
#include <gtest/gtest.h>

#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "base/snapshot.h"
#include "client/cl_local.h"
#include "common/common.h"
#include "tests/support/capture.h"
#include "tests/support/snapshot_fill.h"

namespace {

using namespace hm_test;

struct SnapshotRing : testing::Test {
    static inline msg_t msg;
    static inline snapshot_t sent[CL_SNAPSHOTS];  // the server's copies, by slot

    void SetUp() override {
        StartCapture();
        memset(&cl, 0, sizeof cl);
        cl.snapNewest = -1;
        qbase.time = 100000;
        qbase.frameMsec = 10;
        cl_pushTime.integer = 50;
        cl_printDeltaTime.integer = 0;
    }
    void TearDown() override { StopCapture(); }

    // The server's snapshot number n at serverTime, with entity 7 at x and entity 9
    // when withNine; written against base (-1: whole) and decoded by the client.
    snapshot_t *Send(int32_t n, int32_t base, int32_t serverTime, float x = 1, bool withNine = true) {
        snapshot_t &s = sent[n % CL_SNAPSHOTS];
        memset(&s, 0, sizeof s);
        s.number = n;
        s.serverTime = serverTime;
        s.client.health = 90;
        s.entities[7].inUse = 1;
        s.entities[7].origin[0] = x;
        s.entities[9].inUse = withNine;
        Msg_WriteBegin(&msg);
        Snap_WriteSnapshot(&s, base >= 0 ? &sent[base % CL_SNAPSHOTS] : nullptr, 0, 0);
        if (base >= 0) {  // the base number as the server names it, whatever its copy holds
            const int end = Msg_WriteGetBits();
            Msg_WriteSetBits(32);
            Msg_WriteLong(base);
            Msg_WriteSetBits(end);
        }
        Msg_ReadBegin(&msg);
        return CL_DecodeSnapshot();
    }
    // Steady snapshots 0..last, every 50 ms of server time, each received at its time.
    void Steady(int32_t last, uint32_t firstTime = 5000) {
        for (int32_t n = 0; n <= last; n++) {
            qbase.time = firstTime + 50u * static_cast<uint32_t>(n);
            ASSERT_NE(Send(n, n - 1, static_cast<int32_t>(qbase.time)), nullptr);
        }
    }
};

TEST_F(SnapshotRing, SnapshotsAreStoredInTheirSlotAndDeltasBuildOnThem) {
    snapshot_t *s = Send(40, -1, 1000, 3.5f);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s, &cl.snaps[40 % CL_SNAPSHOTS]);
    EXPECT_EQ(s->number, 40);
    EXPECT_EQ(s->receiveTime, 100000);
    EXPECT_EQ(s->client.health, 90);
    EXPECT_EQ(s->entities[7].origin[0], 3.5f);
    EXPECT_EQ(cl.snapNewest, 40);
    EXPECT_EQ(cl.snapCount, 1);

    // Against 40: entity 7 moves a little, entity 9 is gone though the base held it.
    s = Send(41, 40, 1050, 3.75f, false);
    ASSERT_NE(s, nullptr);
    EXPECT_NEAR(s->entities[7].origin[0], 3.75f, 1e-4f);
    EXPECT_EQ(s->entities[9].inUse, 0);
    EXPECT_EQ(s->client.health, 90);
    EXPECT_EQ(cl.snapCount, 2);
    // The number is taken as it comes, even when older than the newest.
    ASSERT_NE(Send(35, -1, 900), nullptr);
    EXPECT_EQ(cl.snapNewest, 35);
}

TEST_F(SnapshotRing, ABaseThatLeftTheRingDropsTheSnapshotUntilAWholeOneComes) {
    ASSERT_NE(Send(8, -1, 1000), nullptr);
    ASSERT_NE(Send(41, 8, 2000), nullptr);   // slot 9
    ASSERT_NE(Send(42, -1, 2050), nullptr);  // slot 10
    struct {
        int32_t number, base;
    } tooOld[] = {
        {45, 9},   // slot 9 holds 41 now
        {40, 8},   // a base 32 older shares the new snapshot's slot
        {46, 42 + 32},  // a base the client never had
    };
    for (const auto &k : tooOld) {
        StartCapture();
        EXPECT_EQ(Send(k.number, k.base, 3000), nullptr) << k.number << " on " << k.base;
        EXPECT_TRUE(Reported(ER_WARNING, "Our delta snapshot is to old, dropping snapshot")) << AllErrors();
        EXPECT_NE(cl.snaps[k.number % CL_SNAPSHOTS].number, k.number) << "the slot stays invalid";
    }
    EXPECT_EQ(cl.snapNewest, 42);
    ASSERT_NE(Send(45, -1, 3000), nullptr);
    EXPECT_EQ(cl.snapNewest, 45);
}

// Refused snapshots leave their slot invalid, with nothing of what was read kept.
TEST_F(SnapshotRing, RefusedSnapshotsLeaveNothingBehind) {
    ASSERT_NE(Send(3, -1, 1000), nullptr);
    struct {
        const char *what;
        int32_t number, base, lastCommand, cutBits;
        const char *warning;
        bool clearsSlot;  // refused once its slot was taken
    } cases[] = {
        {"negative number", -1, -1, 0, 0, "Bad snapshot (1)", false},
        {"base below -1", 35, -2, 0, 0, "Bad snapshot (1)", false},
        {"cut inside the numbers", 35, -1, 0, 40, "Bad snapshot (5)", false},
        {"negative last command", 35, -1, -4, 0, "Bad snapshot (2)", true},
        {"cut inside the client state", 35, -1, 0, 200, "Bad snapshot (5)", true},
    };
    for (const auto &k : cases) {
        snapshot_t s{};
        s.number = k.number;
        s.lastCommand = k.lastCommand;
        s.client.health = 50;
        s.entities[4].inUse = 1;
        Msg_WriteBegin(&msg);
        Snap_WriteSnapshot(&s, nullptr, 0, 0);
        const int end = Msg_WriteGetBits();
        Msg_WriteSetBits(32);
        Msg_WriteLong(k.base);
        msg.curBits = k.cutBits ? k.cutBits : end;
        Msg_ReadBegin(&msg);
        StartCapture();
        EXPECT_EQ(CL_DecodeSnapshot(), nullptr) << k.what;
        EXPECT_TRUE(Reported(ER_WARNING, k.warning)) << k.what << "\n" << AllErrors();
        const snapshot_t &slot = cl.snaps[3];
        EXPECT_NE(slot.number, k.number) << k.what;
        EXPECT_EQ(slot.client.health, k.clearsSlot ? 0 : 90) << k.what;
        if (k.clearsSlot) {
            ASSERT_NE(Send(3, -1, 1000), nullptr);
        }
        EXPECT_EQ(cl.snapNewest, 3) << k.what;
    }
}

TEST_F(SnapshotRing, DecodedFramesPointUpAwayFromTheCentre) {
    snapshot_t s{};
    s.number = 1;
    s.client.origin[1] = -20;
    s.client.viewAxis[0][0] = 3;  // the travelling row, not yet unit length
    s.entities[5].inUse = 1;
    s.entities[5].origin[2] = 7;
    s.entities[5].ellipticAxis[0][1] = 1;
    Msg_WriteBegin(&msg);
    Snap_WriteSnapshot(&s, nullptr, 0, 0);
    Msg_ReadBegin(&msg);
    const snapshot_t *got = CL_DecodeSnapshot();
    ASSERT_NE(got, nullptr);
    const float (*a)[3] = got->client.viewAxis;
    EXPECT_EQ(a[0][0], 1.0f);
    EXPECT_EQ(a[1][1], -1.0f);
    EXPECT_EQ(a[2][2], -1.0f);  // (1, 0, 0) x (0, -1, 0)
    const float (*e)[3] = got->entities[5].ellipticAxis;
    EXPECT_EQ(e[1][2], 1.0f);
    EXPECT_EQ(e[2][0], 1.0f);  // (0, 1, 0) x (0, 0, 1)
}

// ---- the simulation clock ----

TEST_F(SnapshotRing, NoPairBeforeFourSnapshotsOrWithoutThreeBehindTheNewest) {
    Steady(3);
    CL_UpdateSimulation();
    EXPECT_EQ(cl.newer, nullptr);
    EXPECT_EQ(cl.simTime, 0);
    Steady(5);
    CL_UpdateSimulation();
    EXPECT_NE(cl.newer, nullptr);
    // Snapshots 3 and 4 lost: 5's followers are 2, 1 and 0.
    cl.snaps[3].number = cl.snaps[4].number = -1;
    CL_UpdateSimulation();
    EXPECT_NE(cl.newer, nullptr);
    cl.snaps[1].number = -1;  // now only two stand behind it
    CL_UpdateSimulation();
    EXPECT_EQ(cl.newer, nullptr);
    EXPECT_EQ(cl.simTime, 0);
}

// The server's times come from outside and run on through the sign bit and round
// through zero: time that passes over either goes forward, and only a step back is backward.
TEST_F(SnapshotRing, ServerTimeGoingBackwardStopsTheClock) {
    // Snapshots 3 to 6 are the clock's: the sign bit and zero fall between 3 and 4.
    for (const uint32_t first : {5000u, 0x80000000u - 200, 0u - 200}) {
        SetUp();
        Steady(6, first);
        cl.simTime = static_cast<int32_t>(first - 5000);  // far off: the clock jumps to its target
        CL_UpdateSimulation();
        EXPECT_FALSE(Reported(ER_ERROR, "Server time go's backward!")) << first << "\n" << AllErrors();
        ASSERT_NE(cl.newer, nullptr) << first;
        EXPECT_EQ(cl.simTime, static_cast<int32_t>(first + 6 * 50 - 50)) << first;

        cl.snaps[5].serverTime = cl.snaps[6].serverTime + 1;
        CL_UpdateSimulation();
        EXPECT_TRUE(Reported(ER_ERROR, "Server time go's backward!")) << first << "\n" << AllErrors();
        EXPECT_EQ(cl.newer, nullptr) << first;
    }
}

TEST_F(SnapshotRing, TheClockSettlesPushTimeBehindTheNewestAndJumpsWhenFarOff) {
    Steady(4);
    // Frames of 10 ms; a snapshot every 50 ms of server time, received at once.
    int32_t n = 4;
    for (int frame = 1; frame <= 200; frame++) {
        qbase.time += 10;
        if (frame % 5 == 0) {
            n++;
            ASSERT_NE(Send(n, n - 1, cl.snaps[(n - 1) % CL_SNAPSHOTS].serverTime + 50), nullptr);
        }
        CL_UpdateSimulation();
        if (frame > 100) {
            const int32_t behind = cl.snaps[n % CL_SNAPSHOTS].serverTime - cl.simTime;
            EXPECT_GE(behind, 50 - 50) << frame;
            EXPECT_LE(behind, 50 + 10) << frame;
        }
    }
    // The server's time jumps 400 ms ahead: more than 100 off, straight to the target.
    const int32_t newest = cl.snaps[n % CL_SNAPSHOTS].serverTime;
    ASSERT_NE(Send(n + 1, n, newest + 400), nullptr);
    CL_UpdateSimulation();
    EXPECT_EQ(cl.simTime, newest + 400 - 50);
}

TEST_F(SnapshotRing, PushTimeIsClampedAndThePairFramesTheTime) {
    Steady(10);
    const int32_t t0 = cl.snaps[10].serverTime;
    struct {
        int32_t push;
        int32_t wantTime;  // right after a jump, the target
        int32_t olderNumber, newerNumber;
    } cases[] = {
        {-5, t0, 9, 10},       // acts as 0
        {20, t0 - 20, 9, 10},
        {70, t0 - 70, 8, 9},
        {500, t0 - 100, 8, 9},  // acts as 100; a time on a snapshot's own takes it as the older
        {150, t0 - 100, 8, 9},
    };
    for (const auto &k : cases) {
        cl_pushTime.integer = k.push;
        cl.simTime = t0 - 5000;  // far off: the clock jumps to its target
        CL_UpdateSimulation();
        EXPECT_EQ(cl.simTime, k.wantTime) << k.push;
        ASSERT_NE(cl.older, nullptr);
        EXPECT_EQ(cl.older->number, k.olderNumber) << k.push;
        EXPECT_EQ(cl.newer->number, k.newerNumber) << k.push;
        const snapshot_t *older, *newer;
        int32_t time;
        CL_GetSnapshot(&older, &newer, &time);
        EXPECT_EQ(older, cl.older);
        EXPECT_EQ(time, cl.simTime);
    }
}

TEST(SnapshotFraction, EqualServerTimesGiveTheNewerInsteadOfADivisionByZero) {
    snapshot_t *a = new snapshot_t{}, *b = new snapshot_t{};
    a->serverTime = 1000, b->serverTime = 1100;
    EXPECT_FLOAT_EQ(Snapshot_Fraction(a, b, 1025), 0.25f);
    b->serverTime = 1000;
    EXPECT_EQ(Snapshot_Fraction(a, b, 1000), 1.0f);
    a->serverTime = INT32_MAX - 10, b->serverTime = INT32_MIN + 9;  // across the wrap
    EXPECT_FLOAT_EQ(Snapshot_Fraction(a, b, INT32_MAX), 0.5f);
    delete a;
    delete b;
}

}  // namespace
