// Character movement against worlds of the test's own: an empty one, a flat floor,
// a ball, and solid matter everywhere.  Each side of the game puts its own trace
// function into the movement context; these stand in for the engine's.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_move.h"
#include "game/g_weapon.h"
#include "game_sv/sg_local.h"
#include "game_sv/sg_services.h"
#include "tests/support/capture.h"

namespace {

// ---- worlds ----

constexpr float GAP = 0.001f;   // how far a stopped box stays from the surface
constexpr float BALL_RADIUS = 20;

// How far the box reaches along the unit direction n from its centre.
float Support(const obb_t *box, const vec3_t n) {
    float r = 0;
    for (int i = 0; i < 3; i++) r += box->halfSize[i] * std::fabs(_DotProduct(box->axis[i], n));
    return r;
}

// Distance of a box from the floor y = 0 (solid below).
float FloorDistance(const obb_t *box) { return box->origin[1] - Support(box, upvector); }

// Distance of a box from the surface of a solid ball around the origin.
float BallDistance(const obb_t *box) {
    vec3_t n;
    _VectorCopy(n, box->origin);
    const float r = VectorNormalize(n);
    return r - BALL_RADIUS - Support(box, n);
}

float (*worldDistance)(const obb_t *box) = FloorDistance;
std::vector<std::pair<obb_t, obb_t>> traced;  // every sweep asked for

// Sweeps through the world of worldDistance: stops GAP short of the first contact.
void WorldTrace(gameTrace_t *out, const obb_t *start, const obb_t *end, void *, int32_t, int32_t) {
    traced.push_back({*start, *end});
    trace_t &tr = out->trace;
    obb_t at;
    auto stopAt = [&](float f) {
        CM_LerpOBB(&at, start, end, f);
        tr.fraction = f;
        _VectorCopy(tr.endpos, at.origin);
        memcpy(tr.endAxes, at.axis, sizeof(tr.endAxes));
    };
    if (worldDistance(start) < 0) {  // starts inside matter
        stopAt(0);
        _VectorCopy(tr.plane, worldDistance == FloorDistance ? upvector : start->origin);
        VectorNormalize(tr.plane);
        return;
    }
    stopAt(1);
    if (worldDistance(&at) >= GAP) return;
    float lo = 0, hi = 1;  // lo stays free, hi touches
    for (int i = 0; i < 30; i++) {
        const float mid = (lo + hi) / 2;
        CM_LerpOBB(&at, start, end, mid);
        (worldDistance(&at) >= GAP ? lo : hi) = mid;
    }
    stopAt(lo);
    _VectorCopy(tr.plane, worldDistance == FloorDistance ? upvector : at.origin);
    VectorNormalize(tr.plane);
}

void EmptyTrace(gameTrace_t *out, const obb_t *start, const obb_t *end, void *, int32_t, int32_t) {
    traced.push_back({*start, *end});
    out->trace.fraction = 1;
    _VectorCopy(out->trace.endpos, end->origin);
    memcpy(out->trace.endAxes, end->axis, sizeof(out->trace.endAxes));
}

void SolidTrace(gameTrace_t *out, const obb_t *start, const obb_t *, void *, int32_t, int32_t) {
    out->trace.fraction = 0;
    _VectorCopy(out->trace.endpos, start->origin);
    memcpy(out->trace.endAxes, start->axis, sizeof(out->trace.endAxes));
    _VectorCopy(out->trace.plane, upvector);
}

// The movement parameters a client game starts with.
constexpr cmoveParams_t DEFAULT_PARAMS = {15.5f, 6,   5,    2.2f, 3.5f, 1.75f, 1.4f, 6.1f, 8,   1000,
                                          16,    1.1f, 20.1f, 10,  10,   2.75f, 15,   15,   15};

// One player, its command and its movement context.
struct mover_t {
    sgClient_t client = {};  // the server's record: its head is the state moved
    clientState_t &state = client.cs;
    cc_t cc = {};
    cmove_t cm = {};
    entityState_t entity = {};

    mover_t(cmoveTrace_t trace, uint8_t flat, const vec3_t origin) {
        _VectorCopy(state.origin, origin);
        MatrixCopy3x3(G_StateEllipticAxis(&state), identitymatrix3x3);
        state.height = 1.65f;
        state.eyeHeight = 1.3f;
        state.weapon = state.pendingWeapon = WP_NONEGUN;
        cc.weapon = WP_NONEGUN;
        cm.state = &state;
        cm.cc = &cc;
        cm.entity = &entity;
        cm.params = DEFAULT_PARAMS;
        cm.contentMask = 1;
        cm.flatGravity = flat;
        cm.replay = 1;
        cm.trace = trace;
    }
    // One command msec after the last, with these buttons.
    void Move(uint32_t buttons, uint32_t msec = 33) {
        cc.time += msec;
        cc.buttons = buttons;
        cm.fallDamage = 0;
        G_ClientMove(&cm);
    }
    // The server's weapon actions, on a player record whose head is this state.
    void GiveWeaponActions() {
        cm.owner = &client;
        cm.weaponActions = &sg_weaponActions;
    }
    void MoveFor(uint32_t buttons, uint32_t totalMsec, uint32_t msec = 33) {
        for (uint32_t t = 0; t < totalMsec; t += msec) Move(buttons, msec);
    }
};

struct MoveTest : testing::Test {
    void SetUp() override {
        worldDistance = FloorDistance;
        traced.clear();
        hm_test::captured.errors.clear();
        Com_SetupError(hm_test::CaptureError);
        G_DefineWeapons();
        // Movement is tested without the weapons' effects: every shot is made and does nothing.
        for (weaponClass_t &wc : g_weaponClass)
            if (wc.fire) wc.fire = [](sgClient_t *, uint8_t) -> uint8_t { return 1; };
    }
    void TearDown() override { Com_SetupError(nullptr); }
};

const vec3_t ON_FLOOR = {0, 0.01f, 0};

// ---- time ----

TEST_F(MoveTest, CommandTimeIsCutIntoSubStepsOfAtMost33Ms) {
    struct timeCase_t {
        uint32_t last, now;
        std::vector<float> steps;  // seconds of each sub-step
    } cases[] = {
        {1000, 1000, {0.001f}},                                      // same time: one millisecond
        {1000, 900, {0.001f}},                                       // older: one millisecond
        {1000, 1250, {0.033f, 0.033f, 0.033f, 0.033f, 0.033f, 0.033f, 0.002f}},  // 250 ms: cut to 200
        {0xFFFFFFF0u, 0x10, {0.032f}},                               // the clock wrapped
    };
    for (const auto &c : cases) {
        const vec3_t high = {0, 10, 0};
        mover_t m(EmptyTrace, 1, high);
        m.cm.params.gravity = m.cm.params.airFriction = 0;
        m.state.velocity[0] = 10;  // keeps its speed: every slide moves 10 × dt along x
        m.state.lastCcTime = c.last;
        m.cc.time = c.now;
        traced.clear();
        G_ClientMove(&m.cm);
        std::vector<float> steps;
        for (const auto &t : traced)
            if (t.second.origin[0] != t.first.origin[0]) steps.push_back((t.second.origin[0] - t.first.origin[0]) / 10);
        ASSERT_EQ(steps.size(), c.steps.size()) << c.now;
        for (size_t i = 0; i < steps.size(); i++) EXPECT_NEAR(steps[i], c.steps[i], 1e-5f);
        EXPECT_EQ(m.state.lastCcTime, c.now);
    }
}

// ---- walking ----

TEST_F(MoveTest, WalkingForwardOnAFloorReachesTheWalkSpeed) {
    mover_t m(WorldTrace, 1, ON_FLOOR);
    m.MoveFor(BT_FORWARD, 1000);
    EXPECT_TRUE(m.state.flags & CSF_ONGROUND);
    EXPECT_TRUE(m.state.flags & CSF_FORWARD);
    EXPECT_EQ(m.state.moveAnim, MA_FORWARD);
    EXPECT_NEAR(m.state.velocity[2], 3.5f, 1e-3f);
    EXPECT_NEAR(m.state.origin[1], 0.0f, 0.01f);
    EXPECT_GT(m.state.origin[2], 2.5f);
    EXPECT_GT(m.state.moveEventCount, 0u);  // footsteps
    EXPECT_EQ(m.state.moveEvents[0], CSE_FOOTSTEP);
    EXPECT_EQ(m.entity.events[0], ESE_FOOTSTEP);
    // Standing still stops the body and silences the steps.
    m.MoveFor(0, 500);
    EXPECT_EQ(m.state.moveAnim, MA_IDLE);
    EXPECT_NEAR(VectorLength(m.state.velocity), 0.0f, 1e-6f);
    EXPECT_EQ(m.state.stepPhase, 0.9999f);
}

// Each button against the way it must move the body, read in the body's own frame
// (rows right, up, forward), turned away from the world's axes so that a sign
// mistaken on one axis cannot hide behind another.  Walking moves level; free
// flight also goes up and down.
TEST_F(MoveTest, EachMovementButtonMovesTheBodyItsWayInTheBodyFrame) {
    const float c = std::cos(0.5f), s = std::sin(0.5f);
    const float frame[9] = {c, 0, -s, 0, 1, 0, s, 0, c};
    struct directionCase_t {
        const char *name;
        uint32_t button;
        float right, up, forward;  // the expected direction in the body frame
        bool flightOnly;
    } const cases[] = {
        {"forward", BT_FORWARD, 0, 0, 1, false},  {"back", BT_BACK, 0, 0, -1, false},
        {"left", BT_LEFT, -1, 0, 0, false},       {"right", BT_RIGHT, 1, 0, 0, false},
        {"jump: up", BT_JUMP, 0, 1, 0, true},     {"crouch: down", BT_CROUCH, 0, -1, 0, true},
    };
    const vec3_t high = {0, 5, 0};
    for (const directionCase_t &k : cases) {
        for (const bool flying : {false, true}) {
            if (k.flightOnly && !flying) continue;
            SCOPED_TRACE(std::string(k.name) + (flying ? " in free flight" : " walking"));
            mover_t m(WorldTrace, 1, flying ? high : ON_FLOOR);
            memcpy(G_StateEllipticAxis(&m.state), frame, sizeof frame);
            m.cm.freeFly = flying;
            vec3_t start, moved;
            _VectorCopy(start, m.state.origin);
            m.MoveFor(k.button, 330);
            _VectorSub(moved, m.state.origin, start);
            ASSERT_GT(VectorNormalize(moved), 0.1f);
            const float *row = G_StateEllipticAxis(&m.state);
            EXPECT_NEAR(_DotProduct(moved, row), k.right, 0.01f) << "along the right row";
            EXPECT_NEAR(_DotProduct(moved, row + 3), k.up, 0.01f) << "along the up row";
            EXPECT_NEAR(_DotProduct(moved, row + 6), k.forward, 0.01f) << "along the forward row";
        }
    }
}

TEST_F(MoveTest, JumpLeavesTheGroundAndLandsWithALandEvent) {
    mover_t m(WorldTrace, 1, ON_FLOOR);
    m.Move(0);
    m.Move(BT_JUMP);
    EXPECT_FALSE(m.state.flags & CSF_ONGROUND);
    EXPECT_EQ(m.state.moveAnim, MA_JUMP);
    EXPECT_EQ(m.state.moveEvents[0], CSE_JUMP);
    EXPECT_EQ(m.entity.events[0], ESE_JUMP);
    EXPECT_GT(m.state.velocity[1], 5.0f);
    // Holding jump does not jump again; the body comes down with a land event.
    m.MoveFor(BT_JUMP, 1200);
    EXPECT_TRUE(m.state.flags & CSF_ONGROUND);
    EXPECT_EQ(m.state.moveEventCount, 2u);
    EXPECT_EQ(m.state.moveEvents[1], CSE_LAND);
    EXPECT_EQ(m.entity.events[1], ESE_LAND);
}

TEST_F(MoveTest, AStateClearedForANewLifeGetsAStandingBodyAtOnce) {
    // A spawn clears the whole state: no height and no eye height.
    mover_t m(WorldTrace, 1, ON_FLOOR);
    m.state.height = m.state.eyeHeight = 0;
    traced.clear();
    m.Move(0);
    EXPECT_FLOAT_EQ(m.state.height, 1.65f);
    EXPECT_FLOAT_EQ(m.state.eyeHeight, 1.3f);
    EXPECT_TRUE(m.state.flags & CSF_ONGROUND);
    ASSERT_FALSE(traced.empty());
    for (const auto &t : traced) {
        if (t.first.halfSize[0] == 0) continue;  // a ray
        EXPECT_FLOAT_EQ(t.first.halfSize[1], 0.825f) << "every box swept has the body's height";
    }
}

TEST_F(MoveTest, CrouchingOneStepLowersTheBody) {
    mover_t m(WorldTrace, 1, ON_FLOOR);
    m.Move(BT_CROUCH);
    EXPECT_FLOAT_EQ(m.state.crouch, 0.132f);
    EXPECT_FLOAT_EQ(m.state.height, Lerp(1.65f, 1.2f, 0.132f));
    EXPECT_FLOAT_EQ(m.state.eyeHeight, Lerp(1.3f, 0.9f, 0.132f));
    EXPECT_TRUE(m.state.flags & CSF_CROUCHING);
    EXPECT_EQ(m.state.moveAnim, MA_CROUCH_IDLE);
}

TEST_F(MoveTest, LandingDipsTheViewSlowsAndACrashHurts) {
    struct landCase_t {
        float fallSpeed;
        uint8_t clientEvent, entityEvent;
        float dipPush, slowdown;
        int32_t damage;
    } cases[] = {
        {10, CSE_LAND, ESE_LAND, -6, 6.0f / 11, 0},
        {20, CSE_CRASH_LAND, ESE_CRASH_LAND, -9, 1, CMOVE_FALL_DAMAGE},
    };
    for (const auto &c : cases) {
        const vec3_t above = {0, 0.2f, 0};
        mover_t m(WorldTrace, 1, above);
        m.cm.params.gravity = m.cm.params.airFriction = 0;
        m.state.velocity[1] = -c.fallSpeed;
        m.Move(0);
        EXPECT_EQ(m.state.moveEventCount, 1u) << c.fallSpeed;
        EXPECT_EQ(m.state.moveEvents[0], c.clientEvent);
        EXPECT_EQ(m.entity.events[0], c.entityEvent);
        EXPECT_FLOAT_EQ(m.state.slowdown, c.slowdown);
        EXPECT_EQ(m.cm.fallDamage, c.damage);
        // The push, then one step of the spring's decay.
        EXPECT_NEAR(m.state.dipVelocity, c.dipPush * (1 - 7 * 0.033f), 1e-4f);
        EXPECT_NEAR(m.state.velocity[1], 0.0f, 1e-6f);
    }
}

TEST_F(MoveTest, WalkingOverTheBallKeepsTheBodyUprightOnItsSurface) {
    worldDistance = BallDistance;
    const vec3_t top = {0, BALL_RADIUS + 0.01f, 0};
    mover_t m(WorldTrace, 0, top);
    m.MoveFor(BT_FORWARD, 4000);
    EXPECT_TRUE(m.state.flags & CSF_ONGROUND);
    EXPECT_NEAR(VectorLength(m.state.origin), BALL_RADIUS, 0.02f);
    EXPECT_GT(m.state.origin[2], 8.0f);  // a good way round: the flat distance would be 14
    vec3_t up;
    _VectorCopy(up, m.state.origin);
    VectorNormalize(up);
    EXPECT_GT(_DotProduct(G_StateEllipticAxis(&m.state) + 3, up), 0.9999f);
    // The velocity follows the surface; what the last step's tangent leaves outward is small.
    EXPECT_NEAR(_DotProduct(m.state.velocity, up), 0.0f, 0.25f);
}

TEST_F(MoveTest, SpectatorAndFreeFlightFlyWhereTheyLook) {
    const vec3_t high = {0, 5, 0};
    mover_t spectator(WorldTrace, 1, high);
    spectator.state.moveType = MT_SPECTATOR;
    spectator.MoveFor(BT_JUMP, 1000);
    EXPECT_GT(spectator.state.origin[1], 7.0f);
    EXPECT_EQ(spectator.state.height, 0.5f);
    EXPECT_EQ(spectator.state.eyeHeight, 0.25f);
    spectator.MoveFor(BT_CROUCH, 3000);  // down to the floor, and no further
    EXPECT_NEAR(spectator.state.origin[1], 0.25f, 0.01f);

    mover_t ghost(SolidTrace, 1, high);  // free flight ignores the world
    ghost.cm.freeFly = 1;
    ghost.MoveFor(BT_FORWARD, 990);
    EXPECT_NEAR(ghost.state.origin[2], 6 * 0.99f, 1e-4f);
    EXPECT_TRUE(VectorIsZero(ghost.state.velocity));
}

// ---- stuck ----

TEST_F(MoveTest, ABodyInsideMatterIsLiftedOutAndTheViewFollowsSmoothly) {
    const vec3_t sunk = {0, -0.05f, 0};
    mover_t m(WorldTrace, 1, sunk);
    m.Move(0);
    EXPECT_FALSE(m.cm.crushed);
    EXPECT_NEAR(m.state.origin[1], 0.0f, 0.06f);
    EXPECT_GE(m.state.origin[1], 0.0f);
    EXPECT_LT(m.state.smoothOffset[1], 0.0f);  // the view starts where the body was
}

TEST_F(MoveTest, ABodyEnclosedInMatterStaysAndIsCrushedWhileTimersRun) {
    const vec3_t inside = {1, 2, 3};
    mover_t m(SolidTrace, 1, inside);
    m.state.hitDir = 1;
    m.state.hitFlash = 1;
    m.state.velocity[0] = 5;
    m.Move(BT_FORWARD | BT_JUMP, 100);
    EXPECT_EQ(m.cm.crushed, 1);
    EXPECT_TRUE(_VectorCmp(m.state.origin, inside));
    EXPECT_NEAR(m.state.hitFlash, 0.8f, 1e-5f);
}

TEST_F(MoveTest, StuckAndDebugLinesArePrintedOnlyWhenAskedAndNotInPrediction) {
    Com_SetupPrintf(PRF_SINKS, hm_test::CapturePrint, hm_test::CapturePrint);
    hm_test::captured.prints.clear();
    const vec3_t deep = {0, -1.5f, 0};  // stage A cannot free it, stage B lifts it out
    for (const uint8_t replay : {0, 1}) {
        mover_t m(WorldTrace, 1, deep);
        m.cm.replay = replay;
        m.Move(0);
        EXPECT_FALSE(m.cm.crushed);
        EXPECT_GE(m.state.origin[1], 0.0f);
    }
    EXPECT_TRUE(hm_test::captured.prints.empty());

    g_printStuck.integer = 1;
    qgame.frameCount = 12;
    for (const uint8_t replay : {0, 1}) {
        mover_t m(WorldTrace, 1, deep);
        m.cm.replay = replay;
        m.cm.printDebug = 1;
        m.Move(0);
    }
    g_printStuck.integer = 0;
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    // The stuck line in both runs, with the last point stage A tried; the debug line
    // only for the server, labelled stuck.
    ASSERT_EQ(hm_test::captured.prints.size(), 3u);
    EXPECT_EQ(hm_test::captured.prints[0], "STUCK: 0.00 -1.50 0.00");
    EXPECT_EQ(hm_test::captured.prints[1].rfind("CMove NoGround stuck (", 0), 0u) << hm_test::captured.prints[1];
    EXPECT_EQ(hm_test::captured.prints[2], "STUCK: 0.00 -1.50 0.00");
}

// ---- weapon timers ----

TEST_F(MoveTest, WeaponSwitchTakesLessTimeToTheDirtGun) {
    struct switchCase_t {
        int32_t to;
        uint32_t swapMs, doneMs;  // the weapon changes halfway, the switch ends at 1
    } cases[] = {{WP_DIRTGUN, 70, 140}, {WP_SHOTGUN, 150, 300}};
    for (const auto &c : cases) {
        mover_t m(EmptyTrace, 1, ON_FLOOR);
        m.state.moveType = MT_DEAD;  // timers only
        m.state.weapon = WP_MINIGUN;
        m.state.pendingWeapon = c.to;
        m.state.flags |= CSF_SWITCHING;
        uint32_t swapped = 0, done = 0;
        for (uint32_t t = 10; t <= 400 && !done; t += 10) {
            m.Move(0, 10);
            if (!swapped && m.state.weapon == c.to) swapped = t;
            if (!(m.state.flags & CSF_SWITCHING)) done = t;
            if (!done) {
                EXPECT_EQ(m.state.weaponState, WS_SWITCHING);
            }
        }
        EXPECT_GE(swapped, c.swapMs);
        EXPECT_LE(swapped, c.swapMs + 10);
        EXPECT_GE(done, c.doneMs);
        EXPECT_LE(done, c.doneMs + 10);
        EXPECT_EQ(m.state.weaponState, WS_IDLE);
        EXPECT_EQ(m.state.weaponTime, 0.0f);
    }
}

TEST_F(MoveTest, ReloadFillsTheClipFromTheReserve) {
    struct reloadCase_t {
        uint8_t clip;
        int16_t reserve;
        uint8_t clipAfter;
        int16_t reserveAfter;
    } cases[] = {{3, 4, 7, 0}, {3, 40, 10, 33}, {0, 0, 0, 0}};
    for (const auto &c : cases) {
        mover_t m(EmptyTrace, 1, ON_FLOOR);
        m.state.moveType = MT_DEAD;
        m.state.weapon = WP_SHOTGUN;  // clip 10, reload 2 s
        m.state.clip[WP_SHOTGUN] = c.clip;
        m.state.reserve[WP_SHOTGUN] = c.reserve;
        m.state.flags |= CSF_RELOADING;
        m.MoveFor(0, 1980, 30);
        EXPECT_TRUE(m.state.flags & CSF_RELOADING);
        EXPECT_EQ(m.state.clip[WP_SHOTGUN], c.clip);
        m.MoveFor(0, 60, 30);
        EXPECT_FALSE(m.state.flags & CSF_RELOADING);
        EXPECT_EQ(m.state.clip[WP_SHOTGUN], c.clipAfter);
        EXPECT_EQ(m.state.reserve[WP_SHOTGUN], c.reserveAfter);
    }
}

TEST_F(MoveTest, TheServerIssuesWeaponChangesAndReloadsOfItsCommands) {
    mover_t m(WorldTrace, 1, ON_FLOOR);
    m.cm.replay = 0;
    m.GiveWeaponActions();
    m.state.weapon = WP_SHOTGUN;
    m.state.clip[WP_SHOTGUN] = 2;
    m.state.reserve[WP_SHOTGUN] = 5;
    m.state.ownedWeapons = (1 << WP_SHOTGUN) | (1 << WP_RAILGUN);
    m.cc.weapon = WP_SHOTGUN;
    m.state.flags |= CSF_FIRE_HELD;
    m.Move(BT_RELOAD);
    EXPECT_TRUE(m.state.flags & CSF_RELOADING);
    EXPECT_FALSE(m.state.flags & CSF_FIRE_HELD);  // fire is not held
    m.cc.weapon = WP_RAILGUN;
    m.Move(0);
    EXPECT_TRUE(m.state.flags & CSF_SWITCHING);
    EXPECT_EQ(m.state.pendingWeapon, WP_RAILGUN);
    // In prediction the client does not act on its own commands.
    mover_t p(WorldTrace, 1, ON_FLOOR);
    p.GiveWeaponActions();
    p.cc.weapon = WP_RAILGUN;
    p.Move(BT_RELOAD);
    EXPECT_FALSE(p.state.flags & (CSF_SWITCHING | CSF_RELOADING));
}

TEST_F(MoveTest, RailgunZoomFollowsTheZoomButtons) {
    mover_t m(EmptyTrace, 1, ON_FLOOR);
    m.cc.weapon = WP_RAILGUN;
    m.Move(BT_ZOOM_IN, 50);
    EXPECT_FLOAT_EQ(m.state.zoom, 0.5f);
    m.Move(BT_ZOOM_IN, 100);
    EXPECT_FLOAT_EQ(m.state.zoom, 1.0f);
    m.Move(0, 20);
    EXPECT_FLOAT_EQ(m.state.zoom, 1.0f);
    m.cc.weapon = WP_MINIGUN;
    m.Move(BT_ZOOM_IN, 30);
    EXPECT_FLOAT_EQ(m.state.zoom, 0.7f);
}

// ---- determinism ----

// A walk with every kind of motion: turns, strafes, jumps, crouches, a fall and weapons.
void RunScript(mover_t &m, int first, int last) {
    static const uint32_t buttons[] = {BT_FORWARD, BT_FORWARD | BT_LEFT, BT_FORWARD | BT_JUMP, BT_RIGHT,
                                       BT_BACK | BT_CROUCH, BT_FORWARD | BT_CREEP, BT_JUMP, 0,
                                       BT_LEFT | BT_FIRE, BT_FORWARD | BT_RELOAD | BT_ZOOM_IN};
    for (int i = first; i < last; i++) {
        m.state.viewAngles[2] = static_cast<float>(i * 7 % 360);  // the command step turns the view
        m.state.viewAngles[1] = static_cast<float>(i % 50 - 25);
        m.cc.weapon = static_cast<uint8_t>(i / 40 % WEAPON_COUNT);
        m.Move(buttons[i / 4 % 10], 20 + i % 30);
    }
}

// The state as a client receives it: the byte runs that travel in a snapshot, the
// rest zero (among them rows 1 and 2 of the body frame); the barrel heat travels
// as one byte of heat x 255.
clientState_t AsReceived(const clientState_t &sent) {
    static const struct {
        int offset, size;
    } travelling[] = {{8, 5},    {16, 57},  {76, 74},  {152, 60}, {216, 8},
                      {224, 16}, {240, 26}, {266, 34}, {300, 24}};
    const auto *from = reinterpret_cast<const uint8_t *>(&sent);
    clientState_t got = {};
    auto *to = reinterpret_cast<uint8_t *>(&got);
    for (const auto &run : travelling) memcpy(to + run.offset, from + run.offset, run.size);
    got.barrelHeat = static_cast<float>(static_cast<int>(sent.barrelHeat * 255.0f) & 255) / 255.0f;
    return got;
}

TEST_F(MoveTest, PredictionFromASnapshotReproducesTheServerByteForByte) {
    worldDistance = BallDistance;
    const vec3_t start = {0.3f, BALL_RADIUS + 2, -0.2f};
    mover_t server(WorldTrace, 0, start);
    server.cm.replay = 0;
    server.state.weapon = WP_SHOTGUN;
    server.state.reserve[WP_SHOTGUN] = 30;
    RunScript(server, 0, 150);
    const clientState_t snapshot = server.state;
    const cc_t acked = server.cc;
    const entityState_t snapshotEntity = server.entity;
    RunScript(server, 150, 300);

    // The client replays the commands after the snapshot on a copy of it.
    mover_t client(WorldTrace, 0, start);
    client.state = AsReceived(snapshot);
    client.cc = acked;
    client.entity = snapshotEntity;
    RunScript(client, 150, 300);
    // Everything but the heat, which came with less precision and is only cooled.
    EXPECT_NEAR(client.state.barrelHeat, server.state.barrelHeat, 1.0f / 255);
    client.state.barrelHeat = server.state.barrelHeat;
    EXPECT_EQ(memcmp(&client.state, &server.state, sizeof(clientState_t)), 0);
    EXPECT_EQ(PointDistance(client.state.origin, server.state.origin), 0.0f);
    EXPECT_EQ(memcmp(&client.entity.events, &server.entity.events, sizeof(server.entity.events)), 0);

    // The same run again from the start gives the same bytes, and it did move.
    mover_t again(WorldTrace, 0, start);
    again.cm.replay = 0;
    again.state.weapon = WP_SHOTGUN;
    again.state.reserve[WP_SHOTGUN] = 30;
    RunScript(again, 0, 300);
    EXPECT_EQ(memcmp(&again.state, &server.state, sizeof(clientState_t)), 0);
    EXPECT_GT(PointDistance(start, server.state.origin), 3.0f);
    EXPECT_GT(server.state.moveEventCount, 10u);
}

// ---- hostile commands ----

bool AllFinite(const clientState_t &cs) {
    const float *groups[] = {cs.origin, cs.velocity, cs.fireDir, cs.kickAngles, cs.kickVelocity, cs.smoothOffset,
                             cs.viewAngles};
    for (const float *g : groups)
        for (int i = 0; i < 3; i++)
            if (!std::isfinite(g[i])) return false;
    const float scalars[] = {cs.weaponTime, cs.zoom,      cs.hitFlash,     cs.slowdown,   cs.crouch,
                             cs.eyeHeight,  cs.height,    cs.bobPhase,     cs.dip,        cs.jolt,
                             cs.dipVelocity, cs.joltVelocity, cs.stepPhase, cs.weaponTimeShown, cs.barrelHeat};
    for (const float f : scalars)
        if (!std::isfinite(f)) return false;
    for (const auto &row : cs.viewAxis)
        for (const float f : row)
            if (!std::isfinite(f)) return false;
    return true;
}

TEST_F(MoveTest, HostileCommandsLeaveAFiniteStateAndAValidWeapon) {
    const float nan = std::nanf(""), inf = INFINITY;
    struct hostileCase_t {
        const char *what;
        float angles[3];
        uint32_t timeStep;
        uint8_t weapon;
        uint32_t buttons;
    } cases[] = {
        {"not-a-number angles", {nan, nan, nan}, 33, WP_SHOTGUN, BT_FORWARD | BT_JUMP},
        {"infinite angles", {inf, -inf, inf}, 33, WP_SHOTGUN, BT_FORWARD},
        {"huge angles", {1e30f, -1e30f, 3e38f}, 33, WP_SHOTGUN, BT_FORWARD | BT_LEFT},
        {"clock far ahead", {0, 0, 0}, 0x7FFFFFFF, WP_SHOTGUN, BT_FORWARD},
        {"clock running back", {0, 0, 0}, 0x80000000u, WP_SHOTGUN, BT_FORWARD},
        {"weapon beyond the table", {0, 10, 20}, 33, 255, BT_FIRE | BT_RELOAD},
        {"every button", {0, 10, 20}, 33, 7, 0xFFFFFFFFu},
    };
    for (const auto &c : cases) {
        mover_t m(WorldTrace, 1, ON_FLOOR);
        m.cm.replay = 0;
        m.GiveWeaponActions();
        m.state.weapon = WP_SHOTGUN;
        for (int i = 0; i < 40; i++) {
            memcpy(m.state.viewAngles, c.angles, sizeof(c.angles));  // as the command step copies them
            m.cc.weapon = c.weapon;
            m.Move(c.buttons, c.timeStep);
        }
        EXPECT_TRUE(AllFinite(m.state)) << c.what;
        EXPECT_GE(m.state.weapon, 0) << c.what;
        EXPECT_LT(m.state.weapon, WEAPON_COUNT) << c.what;
        EXPECT_GE(m.state.origin[1], 0.0f) << c.what;
        EXPECT_TRUE(hm_test::captured.errors.empty()) << c.what;
    }
}

TEST_F(MoveTest, AStormOfRandomCommandsOverTheBallStaysFinite) {
    worldDistance = BallDistance;
    const vec3_t top = {0, BALL_RADIUS + 0.01f, 0};
    mover_t m(WorldTrace, 0, top);
    m.cm.replay = 0;
    m.GiveWeaponActions();
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    const float specials[] = {std::nanf(""), INFINITY, -INFINITY, 1e30f, -1e-30f, 0};
    for (int i = 0; i < 3000; i++) {
        for (float &a : m.state.viewAngles) {
            const uint32_t r = next();
            a = (r & 7) == 0 ? specials[(r >> 3) % 6] : static_cast<float>(static_cast<int32_t>(r >> 8) % 720);
        }
        m.cc.weapon = static_cast<uint8_t>(next() >> 24);
        m.cc.buttons = next();
        m.Move(m.cc.buttons, next() % 64 == 0 ? next() : next() % 250);
        ASSERT_TRUE(AllFinite(m.state)) << i;
        ASSERT_LT(static_cast<uint32_t>(m.state.weapon), static_cast<uint32_t>(WEAPON_COUNT)) << i;
        ASSERT_GT(VectorLength(m.state.origin), BALL_RADIUS - 0.01f) << i;
    }
    EXPECT_TRUE(hm_test::captured.errors.empty());
}

}  // namespace
