// The predicted player, its own events and the client game's small services,
// against the stand-in engine's flat world.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "game/g_move.h"
#include "game/g_weapon.h"
#include "game_cl/cg_actions.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_marks.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_predict.h"
#include "game_cl/cg_utils.h"
#include "tests/game/fake_engine.h"

namespace {

constexpr cmoveParams_t PARAMS = {15.5f, 6,   5,    2.2f, 3.5f, 1.75f, 1.4f, 6.1f, 8,   1000,
                                  16,    1.1f, 20.1f, 10,  10,   2.75f, 15,   15,   15};

// A player standing on the stand-in engine's floor y = 0.
clientState_t Standing() {
    clientState_t cs;
    memset(&cs, 0, sizeof cs);
    cs.origin[1] = 0.01f;
    MatrixCopy3x3(G_StateEllipticAxis(&cs), identitymatrix3x3);
    cs.height = 1.65f;
    cs.eyeHeight = 1.3f;
    cs.weapon = cs.pendingWeapon = WP_MINIGUN;
    cs.lastCcTime = 1000;
    return cs;
}

// Command n: 33 ms after the one before, walking forward and turning a little.
cc_t Command(uint32_t n) {
    cc_t cc;
    memset(&cc, 0, sizeof cc);
    cc.number = n;
    cc.time = 1000 + 33 * n;
    cc.angles[2] = static_cast<float>(n % 90);
    cc.aim[2] = 1;
    cc.weapon = WP_MINIGUN;
    cc.buttons = BT_FORWARD | (n % 7 == 3 ? BT_JUMP : 0u);
    return cc;
}

// The server's movement of the commands first..last over state, with the world
// trace the client game uses: what prediction must reach bit for bit.
void WorldTrace(gameTrace_t *out, const obb_t *start, const obb_t *end, void *, int32_t, int32_t) {
    *out = g_emptyTrace;
    out->trace.fraction = 1;
    _VectorCopy(out->trace.endpos, end->origin);
    memcpy(out->trace.endAxes, end->axis, sizeof out->trace.endAxes);
    trace_t world;
    fake::Trace(&world, start, end);
    if (world.fraction < 1) out->trace = world;
}
clientState_t MovedDirectly(clientState_t cs, uint32_t first, uint32_t last) {
    for (uint32_t n = first; n <= last; n++) {
        const cc_t cc = Command(n);
        G_TakeCommandView(&cs, &cc);
        cmove_t cm;
        memset(&cm, 0, sizeof cm);
        cm.state = &cs;
        cm.cc = &cc;
        cm.params = PARAMS;
        cm.contentMask = 1;
        cm.replay = 1;
        cm.flatGravity = 1;
        cm.trace = WorldTrace;
        G_ClientMove(&cm);
    }
    return cs;
}

class Predict : public testing::Test {
protected:
    std::unique_ptr<snapshot_t> older = std::make_unique<snapshot_t>();
    std::unique_ptr<snapshot_t> newer = std::make_unique<snapshot_t>();

    void SetUp() override {
        fake::Install();
        fake::flatWorld = true;
        G_DefineWeapons();
        memset(&cg, 0, sizeof cg);
        CG_RegisterVariables();  // the module's own records, which the Sets below change
        memset(older.get(), 0, sizeof *older);
        memset(newer.get(), 0, sizeof *newer);
        for (const char *name : {"cg_prediction", "cg_autoChangeWeapon"}) fake::Set(name, "1");
        for (const char *name : {"cg_thirdPerson", "cg_printEvents"}) fake::Set(name, "0");
        cg.moveParams = PARAMS;
        cg.flatGravity = 1;
        older->number = 10;
        older->serverTime = 2000;
        newer->number = 11;
        newer->serverTime = 2050;
        older->client = newer->client = Standing();
        cg.older = older.get();
        cg.newer = newer.get();
        cg.simTime = 2025;
    }
    void TearDown() override { fake::Uninstall(); }

    // Commands up to last made, the server having executed those up to acked.
    void Commands(uint32_t acked, uint32_t last) {
        for (uint32_t n = 1; n <= last; n++) cg.ccRing[n & (CG_CC_RING - 1)] = Command(n);
        cg.ccNumber = last;
        newer->lastCommand = static_cast<int32_t>(acked);
    }
};

TEST_F(Predict, ReplayReachesTheServersMovementBitForBit) {
    struct replayCase_t {
        uint32_t acked, last;
        uint32_t first;  // the first command that reaches the state
    } cases[] = {
        {0, 5, 1},
        {7, 20, 8},
        {0, 64, 1},
        {0, 100, 37},   // more than the ring holds: only the newest 64 are still there
        {10, 300, 237},
    };
    for (const replayCase_t &c : cases) {
        SCOPED_TRACE(c.last);
        Commands(c.acked, c.last);
        CG_PredictClientState();
        const clientState_t expected = MovedDirectly(newer->client, c.first, c.last);
        EXPECT_EQ(memcmp(&cg.predicted, &expected, sizeof expected), 0);
        EXPECT_EQ(cg.predicted.lastCcTime, Command(c.last).time);
        EXPECT_GT(std::fabs(cg.predicted.origin[0]) + std::fabs(cg.predicted.origin[2]), 0.01f);
    }
}

TEST_F(Predict, WithNothingToReplayTheSnapshotStateStands) {
    struct standCase_t {
        const char *name;
        uint32_t acked, last;
        const char *prediction;
        uint8_t stalled, state;
    } cases[] = {
        {"all executed", 9, 9, "1", 0, 0},
        {"server ahead", 12, 9, "1", 0, 0},
        {"prediction off", 0, 9, "0", 0, 0},
        {"stalled", 0, 9, "1", 1, 0},
        {"intermission", 0, 9, "1", 0, 3},
    };
    for (const standCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        fake::Set("cg_prediction", c.prediction);
        cg.ecl.stalled = c.stalled;
        newer->client.moveType = c.state;
        newer->client.viewAngles[2] = 33;
        cg.commandAngles[2] = 77;
        Commands(c.acked, c.last);
        CG_PredictClientState();
        clientState_t expected = newer->client;
        // Without prediction the view still follows the mouse at once.
        if (!strcmp(c.prediction, "0") || c.stalled) expected.viewAngles[2] = 77;
        EXPECT_EQ(memcmp(&cg.predicted, &expected, sizeof expected), 0);
    }
}

// A server's numbers that the movement cannot use are refused with a warning: the
// player stays where it was last predicted, and nothing reaches a fatal error.
TEST_F(Predict, AStateTheMovementCannotUseIsRefusedWithAWarning) {
    const float nan = std::nanf(""), inf = INFINITY;
    struct badCase_t {
        const char *name;
        void (*spoil)(clientState_t &, float, float);
        const char *why;
    } cases[] = {
        {"tiny origin", [](clientState_t &cs, float, float) { cs.origin[0] = 1e-40f, cs.origin[1] = cs.origin[2] = 0; },
         "an origin too near the centre"},
        {"huge origin", [](clientState_t &cs, float, float) { cs.origin[0] = cs.origin[1] = cs.origin[2] = 3e38f; },
         "a number out of range"},
        {"origin not a number", [](clientState_t &cs, float n, float) { cs.origin[1] = n; }, "a number out of range"},
        {"endless speed", [](clientState_t &cs, float, float i) { cs.velocity[2] = -i; }, "a number out of range"},
        {"heading not a number", [](clientState_t &cs, float n, float) { cs.viewAxis[0][0] = n; }, "a number out of range"},
        {"giant body", [](clientState_t &cs, float, float) { cs.height = 1e30f; }, "a number out of range"},
    };
    Commands(0, 5);
    CG_PredictClientState();
    const clientState_t good = cg.predicted;
    for (const badCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        fake::errors.clear();
        newer->number++;
        newer->client = Standing();
        c.spoil(newer->client, nan, inf);
        CG_PredictClientState();
        EXPECT_EQ(memcmp(&cg.predicted, &good, sizeof good), 0);
        ASSERT_EQ(fake::errors.size(), 1u);
        EXPECT_EQ(fake::errors[0].level, ER_WARNING);
        EXPECT_NE(fake::errors[0].text.find(c.why), std::string::npos) << fake::errors[0].text;
        CG_PredictClientState();
        EXPECT_EQ(fake::errors.size(), 1u) << "one warning for each snapshot";
    }
    // The centre itself and a state far out in the world are moved as ever.
    for (const float x : {0.0f, 5000.0f}) {
        newer->number++;
        newer->client = Standing();
        newer->client.origin[0] = x;
        newer->client.origin[1] = 0;
        fake::errors.clear();
        CG_PredictClientState();
        EXPECT_TRUE(fake::errors.empty()) << x;
    }
}

TEST_F(Predict, TheStateBeforeBecomesThePreviousAndTheGameDataIsCopied) {
    newer->gameData.flags = 0x21;
    newer->gameData.blueScore = 4;
    newer->gameData.unused[0] = 99;  // beyond what the client game keeps
    cg.predicted.weaponTime = 0.25f;
    Commands(3, 3);
    CG_PredictClientState();
    EXPECT_EQ(cg.previousState.weaponTime, 0.25f);
    EXPECT_EQ(cg.gameData.flags, 0x21u);
    EXPECT_EQ(cg.gameData.blueScore, 4);
    EXPECT_EQ(cg.gameData.unused[0], 0u);
    cg.newer = nullptr;  // no snapshot: nothing moves
    cg.predicted.weaponTime = 0.5f;
    CG_PredictClientState();
    EXPECT_EQ(cg.predicted.weaponTime, 0.5f);
    EXPECT_EQ(cg.previousState.weaponTime, 0.25f);
}

TEST_F(Predict, AHeldViewKeepsTheServersAnglesAndTurnsTheInput) {
    newer->client.flags |= CSF_VIEW_HELD;
    newer->client.viewAngles[1] = 45;
    Commands(0, 3);
    CG_PredictClientState();
    EXPECT_EQ(cg.predicted.viewAngles[1], 45);
    EXPECT_EQ(cg.inputAngles[1], 45);
}

// The server lets go of a held view in the command that starts the spectator's aim
// mode; the replay must too, or the mouse is lost for a round trip and the view
// snaps back to where the server held it.
TEST_F(Predict, TheSpectatorAimModeLetsGoOfAHeldViewInTheReplayAsOnTheServer) {
    newer->client.flags |= CSF_VIEW_HELD;
    newer->client.viewAngles[1] = 45;
    Commands(0, 3);
    cg.ccRing[2].buttons |= BT_SPECTATOR_AIM;
    cg.inputAngles[1] = 70;  // where the mouse has turned since aim mode began
    for (int pass = 0; pass < 2; pass++) {  // every frame of the round trip replays the window
        CG_PredictClientState();
        EXPECT_EQ(cg.predicted.flags & CSF_VIEW_HELD, 0u);
        EXPECT_EQ(cg.predicted.viewAngles[2], cg.ccRing[3].angles[2]) << "the newest command turns the view";
        EXPECT_EQ(cg.inputAngles[1], 70) << "the held commands before the release do not pull the mouse back";
    }
}

TEST_F(Predict, RadarBlipsGlideBetweenSnapshots) {
    struct blip_t {
        uint8_t kind, x, y;
    };
    struct radarCase_t {
        const char *name;
        int32_t time, olderTime, newerTime;
        blip_t a, b, expected;
    } cases[] = {
        {"half way", 2025, 2000, 2050, {1, 100, 100}, {1, 110, 120}, {1, 105, 110}},
        {"a quarter", 2010, 2000, 2040, {2, 100, 100}, {2, 120, 100}, {2, 105, 100}},
        {"moved too far: jumps", 2025, 2000, 2050, {1, 10, 10}, {1, 60, 10}, {1, 60, 10}},
        {"new in the newer", 2025, 2000, 2050, {0, 0, 0}, {3, 50, 60}, {3, 50, 60}},
        {"gone in the newer", 2025, 2000, 2050, {1, 50, 60}, {0, 0, 0}, {0, 0, 0}},
        {"beyond the edge", 2150, 2000, 2050, {1, 250, 20}, {1, 254, 20}, {0, 254, 20}},
        {"below zero", 2150, 2000, 2050, {1, 4, 20}, {1, 1, 20}, {0, 1, 20}},
        {"same server time", 2000, 2000, 2000, {1, 100, 100}, {1, 110, 120}, {1, 110, 120}},
    };
    for (const radarCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        cg.simTime = c.time;
        older->serverTime = c.olderTime;
        newer->serverTime = c.newerTime;
        for (int i = 0; i < 8; i++) {
            older->client.radarKinds[i] = c.a.kind;
            older->client.radarBlips[i][0] = c.a.x;
            older->client.radarBlips[i][1] = c.a.y;
            newer->client.radarKinds[i] = c.b.kind;
            newer->client.radarBlips[i][0] = c.b.x;
            newer->client.radarBlips[i][1] = c.b.y;
        }
        Commands(0, 0);
        CG_PredictClientState();
        for (int i = 0; i < 8; i++) {
            EXPECT_EQ(cg.predicted.radarKinds[i], c.expected.kind);
            EXPECT_EQ(cg.predicted.radarBlips[i][0], c.expected.x);
            EXPECT_EQ(cg.predicted.radarBlips[i][1], c.expected.y);
        }
    }
}

TEST_F(Predict, RadarStaysAsSentWithoutAnOlderSnapshot) {
    newer->client.radarKinds[2] = 1;
    newer->client.radarBlips[2][0] = 77;
    cg.older = nullptr;
    CG_PredictClientState();
    EXPECT_EQ(cg.predicted.radarKinds[2], 1);
    EXPECT_EQ(cg.predicted.radarBlips[2][0], 77);
}

// ---- client events ----

class ClientEvents : public Predict {
protected:
    void SetUp() override {
        Predict::SetUp();
        fake::Set("cg_printEvents", "1");
        fake::prints.clear();
    }
    // The entry numbers presented, from the printed lines.
    std::vector<std::string> Presented() {
        std::vector<std::string> out;
        for (const std::string &p : fake::prints)
            if (p.rfind("EventIndex:", 0) == 0 || p.rfind("CMoveEventIndex:", 0) == 0) out.push_back(p);
        return out;
    }
    static void Fill(uint32_t *count, uint8_t *events, uint32_t newCount, uint8_t event) {
        *count = newCount;
        for (int i = 0; i < 16; i++) events[i] = event;
    }
};

TEST_F(ClientEvents, PendingEntriesArePlayedOnceAndABacklogIsDropped) {
    struct ringCase_t {
        const char *name;
        uint32_t issued, count;
        size_t presented;
        const char *firstLine;  // the first entry presented, when any
        bool mucking;
    } cases[] = {
        {"none", 5, 5, 0, nullptr, false},
        {"two", 5, 7, 2, "EventIndex: 5 Type: 28", false},
        {"sixteen", 0, 16, 16, "EventIndex: 0 Type: 28", false},
        {"seventeen", 0, 17, 0, nullptr, true},
        {"counter went back", 40, 3, 0, nullptr, false},
        {"wrapped", 0xFFFFFFFFu, 1, 2, "EventIndex: -1 Type: 28", false},
    };
    for (const ringCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        fake::prints.clear();
        cg.issuedEvents = c.issued;
        Fill(&cg.predicted.eventCount, cg.predicted.events, c.count, CGE_HIT);
        CG_IssueClientEvents();
        const std::vector<std::string> presented = Presented();
        ASSERT_EQ(presented.size(), c.presented);
        if (c.firstLine) {
            EXPECT_EQ(presented[0], c.firstLine);
        }
        EXPECT_EQ(cg.issuedEvents, c.count);
        EXPECT_EQ(fake::Printed("CG_IssueClientEvents: Mucking event index ( 17 issued: 0 )"), c.mucking);
        // Played entries stay played.
        fake::prints.clear();
        CG_IssueClientEvents();
        EXPECT_TRUE(Presented().empty());
    }
}

TEST_F(ClientEvents, TheMovementRingFollowsTheServerRing) {
    Fill(&cg.predicted.eventCount, cg.predicted.events, 1, CGE_HIT);
    Fill(&cg.predicted.moveEventCount, cg.predicted.moveEvents, 2, CGE_FOOTSTEP);
    cg.predicted.moveEvents[1] = CGE_JUMP;
    CG_IssueClientEvents();
    EXPECT_EQ(Presented(), (std::vector<std::string>{"EventIndex: 0 Type: 28", "CMoveEventIndex: 0 Type: 53",
                                                     "CMoveEventIndex: 1 Type: 50"}));
    cg.issuedMoveEvents = 0;
    Fill(&cg.predicted.moveEventCount, cg.predicted.moveEvents, 20, CGE_FOOTSTEP);
    CG_IssueClientEvents();
    EXPECT_TRUE(fake::Printed("CG_IssueClientEvents: Mucking event cmove index ( 20 issued: 0 )"));
    EXPECT_EQ(cg.issuedMoveEvents, 20u);
}

TEST_F(ClientEvents, EventsSetTheViewAndTheWeaponChoice) {
    cg.inputAngles[1] = 30;
    IssueEvent(CGE_LOOK_DOWN);
    EXPECT_EQ(cg.inputAngles[1], 90);
    IssueEvent(CGE_RESET_ANGLES);
    EXPECT_TRUE(VectorIsZero(cg.inputAngles));

    cg.predicted.weapon = WP_RAILGUN;
    cg.selectedDeformMode = 3;
    IssueEvent(CGE_WEAPON_SELECTED);
    EXPECT_EQ(cg.selectedWeapon, static_cast<uint32_t>(WP_RAILGUN));
    EXPECT_EQ(cg.selectedDeformMode, 0u);
    IssueEvent(CGE_SPAWNED);
    EXPECT_EQ(cg.selectedWeapon, static_cast<uint32_t>(WP_MINIGUN));

    cg.drumFraction = 0.75f;
    cg.predicted.weapon = WP_GRENGUN;
    IssueEvent(CGE_RELOAD_FIRST + 2);
    EXPECT_EQ(cg.drumFraction, 0);
}

TEST_F(ClientEvents, AShotIsRecordedForTheMuzzleFlash) {
    cg.predicted.weapon = WP_SHOTGUN;
    fake::qg.time = 123456;
    fake::qg.frameCount = 77;
    Trap_GetQGame(&qgame);
    IssueEvent(static_cast<uint32_t>(CGE_FIRE_FIRST) + WP_SHOTGUN);
    EXPECT_EQ(cg.lastShotWeapon, WP_SHOTGUN);
    EXPECT_EQ(cg.lastShotTime, 123456);
    EXPECT_EQ(cg.lastShotFrame, 77u);
    EXPECT_GE(cg.lastShotRoll, -15.0f);
    EXPECT_LE(cg.lastShotRoll, 15.0f);
}

TEST_F(ClientEvents, UnknownEventsAreReported) {
    for (uint32_t e : {0u, 37u, 48u, 49u, 54u, 255u}) {
        fake::prints.clear();
        IssueEvent(e);
        EXPECT_TRUE(fake::Printed("WARNING CG_IssueClientEvents: Unknown SE: " + std::to_string(e))) << e;
    }
}

TEST_F(ClientEvents, AWeaponNumberFromTheServerOutsideTheTableIsIgnored) {
    fake::Set("cg_autoChangeWeapon", "0");
    for (int32_t weapon : {-1, 7, 1000}) {
        SCOPED_TRACE(weapon);
        cg.predicted.weapon = weapon;
        cg.selectedWeapon = WP_SHOTGUN;
        for (uint32_t e = 1; e < 60; e++)
            if (e != CGE_SPAWNED && e != CGE_RESET_ANGLES) IssueEvent(e);
        EXPECT_EQ(cg.selectedWeapon, static_cast<uint32_t>(WP_SHOTGUN));
        cg.predicted.flags = CSF_SWITCHING;
        CG_IssueClientFlaggs();
        cg.predicted.flags = CSF_RELOADING;
        CG_IssueClientFlaggs();
    }
}

TEST_F(ClientEvents, TheMagazineIsBackInTheGunOnceTheReloadIsOver) {
    const vec3_t origin = {0, 0, 0};
    const float axis[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    cg.predicted.weapon = WP_SHOTGUN;
    cg.predicted.flags = CSF_RELOADING;
    cg.predicted.weaponTime = 0.3f;
    ASSERT_TRUE(CG_RunAction("tagAmmoHand", origin, axis, 0, 0));  // as the reload animation's script does
    ASSERT_EQ(cg.magazineInHand, 1);
    CG_IssueClientFlaggs();
    EXPECT_EQ(cg.magazineInHand, 1) << "held while the reload runs";
    for (uint32_t after : {0u, static_cast<uint32_t>(CSF_SWITCHING)}) {
        cg.magazineInHand = 1;
        cg.predicted.flags = after;
        CG_IssueClientFlaggs();
        EXPECT_EQ(cg.magazineInHand, 0) << "flags after the reload " << after;
    }
}

TEST_F(ClientEvents, TheSameAnnouncementIsNotRepeatedWithinHalfAMinute) {
    struct announceCase_t {
        uint32_t at;  // ms after the start
        uint32_t event;
        bool heard;
    } cases[] = {
        {0, 45, true},       // one minute
        {10000, 45, false},  // again too soon
        {29999, 45, false},
        {30000, 45, true},
        {31000, 44, true},   // five minutes
        {32000, 45, true},   // another announcement came between
        {33000, 38, true},
    };
    const uint32_t start = fake::qg.time;
    for (const announceCase_t &c : cases) {
        SCOPED_TRACE(c.at);
        fake::qg.time = start + c.at;
        Trap_GetQGame(&qgame);
        fake::localSounds.clear();
        IssueEvent(c.event);
        EXPECT_EQ(fake::localSounds.size(), c.heard ? 1u : 0u);
    }
}

// ---- utilities ----

TEST_F(Predict, PickingUpAHigherWeaponSwitchesToIt) {
    struct autoCase_t {
        int32_t held, picked;
        const char *enabled;
        uint32_t selected;
    } cases[] = {
        {WP_MINIGUN, WP_GRENGUN, "1", WP_GRENGUN},
        {WP_DIRTGUN, WP_RAILGUN, "1", WP_MEELGUN},  // the dirt gun is never put away
        {WP_RAILGUN, WP_SHOTGUN, "1", WP_MEELGUN},
        {WP_MINIGUN, WP_GRENGUN, "0", WP_MEELGUN},
    };
    for (const autoCase_t &c : cases) {
        cg.selectedWeapon = WP_MEELGUN;
        cg.predicted.weapon = c.held;
        fake::Set("cg_autoChangeWeapon", c.enabled);
        CG_AutoChangeWeapon(c.picked);
        EXPECT_EQ(cg.selectedWeapon, c.selected) << c.held << " " << c.picked;
    }
    // The ammunition pick-up events ask for it.
    fake::Set("cg_autoChangeWeapon", "1");
    cg.predicted.weapon = WP_MINIGUN;
    IssueEvent(CGE_PICKUP_RAILGUN);
    EXPECT_EQ(cg.selectedWeapon, static_cast<uint32_t>(WP_RAILGUN));
}

TEST_F(Predict, TheClientTraceSeesOnlyTheWorld) {
    obb_t start, end;
    const vec3_t above = {0, 5, 0}, below = {0, -5, 0};
    G_PointOBB(&start, above);
    G_PointOBB(&end, below);
    end.axis[0][0] = 0.5f;  // an end placement of its own, handed back when nothing is hit
    struct traceCase_t {
        int32_t mask;
        float fraction, endY;
        const char *skipTrace = "0";
    } cases[] = {
        {1, 0.5f, 0},
        {0x7FFFFFFF, 0.5f, 0},
        {0, 1, -5},
        {2, 1, -5},
        {1, 1, -5, "1"},  // tracing switched off: nothing is hit
    };
    for (const traceCase_t &c : cases) {
        fake::Set("cg_skipTrace", c.skipTrace);
        gameTrace_t tr;
        memset(&tr, 0xCD, sizeof tr);
        CG_Trace(&tr, &start, &end, &cg, c.mask);
        EXPECT_EQ(tr.trace.fraction, c.fraction) << c.mask;
        EXPECT_EQ(tr.trace.endpos[1], c.endY) << c.mask;
        EXPECT_EQ(tr.entity, nullptr);
        if (c.fraction == 1) {
            EXPECT_EQ(tr.trace.endAxes[0][0], 0.5f);
            EXPECT_EQ(tr.trace.plane[1], 0);
        } else {
            EXPECT_EQ(tr.trace.plane[1], 1);
        }
    }
}

TEST_F(Predict, TheLevelViewAxisStaysLevelWhenLookingUpOrDown) {
    cg.predicted = Standing();
    cg.predicted.viewAngles[2] = 30;
    CG_UpdateForwardRightUp();
    float straight[9];
    memcpy(straight, cg.playerAxes.viewAxisT, sizeof straight);
    EXPECT_NEAR(straight[4], 1, 1e-6f);  // looking straight ahead, up is the body's up
    EXPECT_EQ(memcmp(cg.predictedAxis, straight, sizeof straight), 0);
    for (float pitch : {-80.0f, -30.0f, 45.0f, 89.0f}) {
        cg.predicted.viewAngles[1] = pitch;
        CG_UpdateForwardRightUp();
        for (int i = 0; i < 9; i++) EXPECT_NEAR(cg.playerAxes.levelAxisT[i], straight[i], 1e-6f) << pitch;
        EXPECT_GT(std::fabs(cg.playerAxes.viewAxisT[7]), 0.4f) << pitch;  // the view itself tilts
    }
}

TEST_F(Predict, APlayersFlashlightIsAWhiteProjectedLight) {
    fake::Set("cg_flashFov", "55");
    const vec3_t at = {1, 2, 3};
    for (uint8_t other : {0, 1}) {
        cgLight_t light;
        memset(&light, 0xCD, sizeof light);
        CG_SetupPlayerFlash(&light, at, identitymatrix3x3, other);
        EXPECT_EQ(light.kind, 1);
        EXPECT_EQ(light.flag, other ? 0 : 1);
        EXPECT_EQ(light.origin[2], 3);
        EXPECT_EQ(light.axis[4], 1);
        EXPECT_EQ(light.fov, 55);
        EXPECT_EQ(light.range, 10);
        EXPECT_EQ(light.color[0] + light.color[1] + light.color[2], 3);
        EXPECT_EQ(light.intensity[0], 1.5f);
        EXPECT_EQ(light.intensity[1], 1.5f);
        EXPECT_EQ(light.projected, 1);
        EXPECT_EQ(light.texture, cgMedia.handles[CGM_FLASH_COOKIE]);
    }
}

TEST(SurfaceBounds, TheBoxHoldsEveryVertexOfTheLayout) {
    // Every field but the position is far outside the box, so a wrong stride or offset shows.
    drawVert_t colour[3] = {};
    decalVert_t decal[2] = {};
    const float points[3][3] = {{1, -2, 3}, {-4, 5, 0.5f}, {2, 2, -6}};
    for (int i = 0; i < 3; i++) {
        memcpy(colour[i].xyz, points[i], sizeof colour[i].xyz);
        colour[i].unused = colour[i].st[0] = colour[i].st[1] = 900.0f;
    }
    for (int i = 0; i < 2; i++) {
        memcpy(decal[i].position, points[i], sizeof decal[i].position);
        for (int k = 0; k < 3; k++) decal[i].normal[k] = -900.0f;
        for (float &a : decal[i].axisMask) a = 900.0f;
    }
    struct boundsCase_t {
        void (*setup)(surface_t *);
        const void *verts;
        int32_t numVerts;
        vec3_t mins, maxs;
    } cases[] = {
        {CG_SetupSurfacesXSRBounds, colour, 3, {-4, -2, -6}, {2, 5, 3}},
        {CG_SetupSurfacesXSRBounds, colour, 1, {1, -2, 3}, {1, -2, 3}},
        {CG_SetupSurfacesXNTSRBounds, decal, 2, {-4, -2, 0.5f}, {1, 5, 3}},
        {CG_SetupSurfacesXSRBounds, colour, 0, {1e8f, 1e8f, 1e8f}, {-1e8f, -1e8f, -1e8f}},
        {CG_SetupSurfacesXNTSRBounds, nullptr, 4, {1e8f, 1e8f, 1e8f}, {-1e8f, -1e8f, -1e8f}},
    };
    for (const boundsCase_t &c : cases) {
        surface_t s{};
        s.verts = c.verts;
        s.numVerts = c.numVerts;
        c.setup(&s);
        for (int k = 0; k < 3; k++) {
            EXPECT_EQ(s.mins[k], c.mins[k]) << "case " << &c - cases << " axis " << k;
            EXPECT_EQ(s.maxs[k], c.maxs[k]) << "case " << &c - cases << " axis " << k;
        }
    }
    CG_SetupSurfacesXSRBounds(nullptr);  // no surface: nothing to write
}

}  // namespace
