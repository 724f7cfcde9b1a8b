// Character movement, shared by the server and the client game's prediction.
#include "game/g_move.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_weapon.h"

// ---- working values of one call ----

static cmove_t *cmv;            // the running call's context
static clientState_t *cst;      // its state
static float cmDt;              // seconds of the running sub-step
static uint8_t cmFlat;          // flat gravity
static matrix3x3_t axis;        // view frame, rows right, up, forward
static matrix3x3_t axisNoPitch; // the same without pitch
static vec3_t wishDir;
static vec3_t stepVelocity;     // velocity at the start of the sub-step
static vec3_t clipOffset;       // box centre from the feet, in the body frame
static vec3_t clipHalfSize;
static const char *groundLabel;
static const char *stuckLabel;

// Body box sizes: standing and crouched heights and eye heights, box half width.
constexpr float HEIGHT_STAND = 1.65f, HEIGHT_CROUCH = 1.2f;
constexpr float EYE_STAND = 1.3f, EYE_CROUCH = 0.9f;
constexpr float BODY_HALF_WIDTH = 0.2f;
constexpr float SPECTATOR_HALF = 0.25f;
constexpr float GROUND_PROBE = 0.05f;   // how far below the feet ground is looked for
constexpr float PUSH_OFF = 0.005f;      // distance kept from a surface hit while sliding
constexpr int SLIDE_PASSES = 4;
constexpr float NO_RATE = 999999.9f;    // a timer with no duration ends at once
constexpr float STEP_STILL = 0.9999f;   // the footstep phase that sounds on the next step
constexpr uint32_t DEBUG_PRINT_FRAMES = 6;  // the debug line comes every this many frames

// Rates per second of the state's timers and springs.
constexpr float AIR_BOB_FADE = 0.8f;         // bob phase lost in the air
constexpr float SLOWDOWN_FADE = 1.2f;        // landing penalty wearing off
constexpr float CROUCH_RATE = 4, STAND_RATE = 6;
constexpr float STAND_LIFT = 0.1f;           // units the body rises per second while standing up
constexpr float ZOOM_RATE = 10;
constexpr float HIT_FLASH_FADE = 2;
constexpr float KICK_DAMPING = 7, JOLT_DAMPING = 15, DIP_DAMPING = 7;
constexpr float SMOOTH_RATE = 5, SMOOTH_MIN = 0.1f;  // view catch-up: rate times (distance + minimum)

// Ground and walking.
constexpr float UP_SPEED_AIRBORNE = 3;       // faster than this upwards: not on the ground
constexpr float MIN_GROUND_UP = 0.5f;        // a surface is ground when its normal's up part reaches this
constexpr float BOB_RATE_CROUCH = 4, BOB_RATE_CREEP = 2, BOB_RATE_WALK = 3, STEP_RATE_WALK = 3;
constexpr float SLOWDOWN_HEAVY = 0.75f, SLOWDOWN_HEAVY_FACTOR = 0.25f;  // a heavy penalty quarters the speed
constexpr float JUMP_FORWARD_LEAN = 0.25f;   // share of the wish direction in the jump direction
constexpr float SLIDE_STOP = 0.001f;         // a remaining move this small ends the slide

// Stuck recovery.
constexpr float STUCK_NUDGE = 0.005f;        // the first, smallest tries
constexpr float STUCK_FREE_SLACK = 0.15f;    // pushes shorter than this give no push back

// Landing: the vertical speed lost in one sub-step.
constexpr float LAND_CRASH = 15;             // more: a crash landing that hurts
constexpr float LAND_AUDIBLE = 4;            // more: a landing sound; also where the slowdown starts
constexpr float LAND_SLOWDOWN_RANGE = 11;    // from LAND_AUDIBLE to LAND_CRASH the slowdown grows to 1
constexpr float LAND_RISING = -13;           // below: the body rose faster, a fixed dip
constexpr float CRASH_DIP = 9, RISING_DIP = 7.8f, DIP_PER_SPEED = 0.6f;

// Weapon timers: fractions of the running action per second.
constexpr float FAST_REFIRE_RATE = 4;
constexpr float SWITCH_RATE_DIRTGUN = 7.142857f, SWITCH_RATE = 3.3333333f;
constexpr float SWITCH_SWAP_AT = 0.5f;       // the weapon in hand changes halfway through a switch
constexpr float MS_PER_SECOND = 1000;

float *G_StateEllipticAxis(clientState_t *cs) { return &cs->viewAxis[0][0]; }

static bool HasZeroRow(const float m[9]) { return VectorIsZero(m) || VectorIsZero(m + 3) || VectorIsZero(m + 6); }

static void AxisToOBB(obb_t *box, const float m[9]) {
    memcpy(box->axis, m, sizeof(box->axis));
    MatrixCopy3x3(box->axisT, m);
    MatrixTranspose3x3(box->axisT);
}

// pos + the box offset expressed in the frame m.
static void OffsetInFrame(vec3_t out, const vec3_t pos, const float m[9]) {
    _VectorAddMultiple(out, pos, m, clipOffset[0]);
    _VectorAddMultiple(out, out, m + 3, clipOffset[1]);
    _VectorAddMultiple(out, out, m + 6, clipOffset[2]);
}

static void MoveEvent(uint8_t clientEvent, uint8_t entityEvent) {
    cst->moveEvents[cst->moveEventCount & (CLIENT_EVENT_RING - 1)] = clientEvent;
    cst->moveEventCount++;
    G_AddEntityStateEvent(cmv->entity, entityEvent);
}

// ---- boxes and traces ----

bool G_SetupOBB(uint8_t flat, obb_t *start, obb_t *end, const cmove_t *cm, const vec3_t endPos) {
    const float *body = &cm->state->viewAxis[0][0];
    if (HasZeroRow(body)) {
        Com_Error(ER_FATAL, "G_SetupOBB");
        return false;
    }
    OffsetInFrame(start->origin, cm->state->origin, body);
    _VectorCopy(start->halfSize, clipHalfSize);
    AxisToOBB(start, body);
    if (end) {
        matrix3x3_t m;
        MatrixCopy3x3(m, body);
        G_UpdateEllipticAxis(flat, m, endPos);
        OffsetInFrame(end->origin, endPos, m);
        _VectorCopy(end->halfSize, clipHalfSize);
        AxisToOBB(end, m);
    }
    return true;
}

void G_TracePosToClientPos(vec3_t origin, const cmove_t *cm, const vec3_t centre, const float axes[9]) {
    (void)cm;
    vec3_t offset;
    OffsetInFrame(offset, zerovector, axes);
    _VectorSub(origin, centre, offset);
}

static void Trace(gameTrace_t *out, const obb_t *start, const obb_t *end) {
    *out = g_emptyTrace;
    cmv->trace(out, start, end, cmv->skipEntity, cmv->contentMask, 0);
}

bool G_CheckStuck() {
    obb_t box;
    if (!G_SetupOBB(cmFlat, &box, nullptr, cmv, nullptr)) return true;
    gameTrace_t tr;
    Trace(&tr, &box, &box);
    return tr.trace.fraction == 0;
}

float TraceGround(const obb_t *box, float a, float b) {
    obb_t from = *box, to;
    _VectorClear(from.halfSize);
    _VectorAddMultiple(from.origin, box->origin, box->axis[0], a * box->halfSize[0]);
    _VectorSubMultiple(from.origin, from.origin, box->axis[1], box->halfSize[1]);
    _VectorAddMultiple(from.origin, from.origin, box->axis[2], b * box->halfSize[0]);
    to = from;
    _VectorSubMultiple(to.origin, from.origin, G_GetUpVector(cmFlat, cst->origin), GROUND_PROBE);
    gameTrace_t tr;
    Trace(&tr, &from, &to);
    if (tr.trace.fraction == 1) return 0;
    vec3_t n;
    _VectorCopy(n, tr.trace.plane);
    VectorNormalize(n);
    return _DotProduct(G_GetUpVector(cmFlat, cst->origin), n);
}

// ---- motion ----

void G_CalcWishDir(int level) {
    const float *m = level ? axisNoPitch : axis;
    const uint32_t b = cmv->cc->buttons;
    _VectorClear(wishDir);
    if (b & BT_FORWARD) _VectorAdd(wishDir, wishDir, m + 6);
    if (b & BT_BACK) _VectorSub(wishDir, wishDir, m + 6);
    if (b & BT_LEFT) _VectorSub(wishDir, wishDir, m);
    if (b & BT_RIGHT) _VectorAdd(wishDir, wishDir, m);
    if (!level) {
        if (b & BT_CROUCH) _VectorSub(wishDir, wishDir, m + 3);
        if (b & BT_JUMP) _VectorAdd(wishDir, wishDir, m + 3);
    }
    VectorNormalize(wishDir);
}

static void FrictionAndAccelerate(float friction, float wishSpeed, float acceleration) {
    float *v = cst->velocity;
    const float speed = VectorNormalize(v);
    _VectorScale(v, _Max(0.0f, speed - friction * cmDt), v);
    if (VectorIsZero(wishDir)) return;
    float add = wishSpeed - _DotProduct(v, wishDir);
    if (add > 0) {
        add = _Min(add, acceleration * cmDt * wishSpeed);
        _VectorAddMultiple(v, v, wishDir, add);
    }
}

void G_SlideMove() {
    vec3_t move;
    _VectorScale(move, cmDt, cst->velocity);
    float *body = G_StateEllipticAxis(cst);
    for (int pass = 0; pass < SLIDE_PASSES; pass++) {
        vec3_t endPos;
        _VectorAdd(endPos, cst->origin, move);
        obb_t start, end;
        if (!G_SetupOBB(cmFlat, &start, &end, cmv, endPos)) return;
        gameTrace_t tr;
        Trace(&tr, &start, &end);
        if (tr.trace.fraction == 1) {
            _VectorCopy(cst->origin, endPos);
            memcpy(body, end.axis, sizeof(end.axis));
            return;
        }
        vec3_t n;
        _VectorCopy(n, tr.trace.plane);
        VectorNormalize(n);
        const float *endAxes = &tr.trace.endAxes[0][0];
        G_TracePosToClientPos(cst->origin, cmv, tr.trace.endpos, endAxes);
        memcpy(body, endAxes, 9 * sizeof(float));
        _VectorAddMultiple(cst->origin, cst->origin, n, PUSH_OFF);
        _VectorSubMultiple(cst->velocity, cst->velocity, n, _DotProduct(cst->velocity, n));
        _VectorScale(move, 1 - tr.trace.fraction, move);
        _VectorSubMultiple(move, move, n, _DotProduct(move, n));
        if (_Abs(move[0]) <= SLIDE_STOP && _Abs(move[1]) < SLIDE_STOP && _Abs(move[2]) < SLIDE_STOP) return;
    }
}

void G_AirMove() {
    const cmoveParams_t &p = cmv->params;
    cst->bobPhase = _Max(0.0f, cst->bobPhase - AIR_BOB_FADE * cmDt);
    if (cst->moveAnim != MA_JUMP) cst->moveAnim = MA_AIR;
    G_CalcWishDir(1);
    _VectorAddMultiple(cst->velocity, cst->velocity, G_GetDownVector(cmFlat, cst->origin), p.gravity * cmDt);
    FrictionAndAccelerate(p.airFriction, p.airSpeed, p.airAcceleration);
    G_SlideMove();
}

// Step 4: crouching changes the body's height unless the taller body would be stuck.
static void CrouchAndBox() {
    cst->slowdown = _Max(0.0f, cst->slowdown - SLOWDOWN_FADE * cmDt);
    // A state cleared for a new life holds no body: it gets the one its crouch gives at
    // once, or every trace of the body would sweep a box without height.
    if (!(cst->height > 0)) {
        cst->height = Lerp(HEIGHT_STAND, HEIGHT_CROUCH, cst->crouch);
        cst->eyeHeight = Lerp(EYE_STAND, EYE_CROUCH, cst->crouch);
    }
    const float old = cst->crouch, oldHeight = cst->height, oldEye = cst->eyeHeight;
    vec3_t oldOrigin;
    _VectorCopy(oldOrigin, cst->origin);
    const bool crouching = cst->flags & CSF_CROUCHING;
    const float target = _Saturate(crouching ? old + CROUCH_RATE * cmDt : old - STAND_RATE * cmDt);
    if (target != old) {
        if (target < old) _VectorAddMultiple(cst->origin, cst->origin, G_GetUpVector(cmFlat, cst->origin), STAND_LIFT * cmDt);
        cst->crouch = target;
        cst->height = Lerp(HEIGHT_STAND, HEIGHT_CROUCH, target);
        cst->eyeHeight = Lerp(EYE_STAND, EYE_CROUCH, target);
        clipOffset[0] = clipOffset[2] = 0;
        clipOffset[1] = cst->height / 2;
        clipHalfSize[0] = clipHalfSize[2] = BODY_HALF_WIDTH;
        clipHalfSize[1] = cst->height / 2;
        if (G_CheckStuck()) {
            cst->crouch = old;
            _VectorCopy(cst->origin, oldOrigin);
            cst->height = oldHeight;
            cst->eyeHeight = oldEye;
        }
    }
    clipOffset[0] = clipOffset[2] = 0;
    clipOffset[1] = cst->height / 2;
    clipHalfSize[0] = clipHalfSize[2] = BODY_HALF_WIDTH;
    clipHalfSize[1] = cst->height / 2;
}

// Tries origin = p0 + offset; true when the body is free there.
static bool TryOrigin(const vec3_t p0, const vec3_t offset) {
    _VectorAdd(cst->origin, p0, offset);
    return !G_CheckStuck();
}

static bool TryUp(const vec3_t p0, float distance) {
    vec3_t offset;
    _VectorScale(offset, distance, G_GetUpVector(cmFlat, p0));
    return TryOrigin(p0, offset);
}

// The 27 points of a cube of the given spacing around p0, z outermost, x innermost.
static bool TryCube(const vec3_t p0, float spacing) {
    for (int dz = -1; dz <= 1; dz++)
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++) {
                const vec3_t offset = {dx * spacing, dy * spacing, dz * spacing};
                if (TryOrigin(p0, offset)) return true;
            }
    return false;
}

// Stage B of the recovery: ever larger moves, up first.
static bool TryStageB(const vec3_t p0) {
    static const float ups1[] = {0.1f, 0.2f, 0.3f, 0.4f}, ups2[] = {0.5f, 0.75f, 1.0f}, ups3[] = {1.5f, 2.0f};
    for (const float u : ups1)
        if (TryUp(p0, u)) return true;
    if (TryCube(p0, 0.1f)) return true;
    for (const float u : ups2)
        if (TryUp(p0, u)) return true;
    if (TryCube(p0, 0.5f)) return true;
    for (const float u : ups3)
        if (TryUp(p0, u)) return true;
    return TryCube(p0, 2.0f);
}

// Step 5: frees a body that starts inside matter; false when it cannot be freed.
static bool StuckRecovery() {
    if (!G_CheckStuck()) return true;
    vec3_t p0;
    _VectorCopy(p0, cst->origin);
    if (TryUp(p0, STUCK_NUDGE) || TryCube(p0, STUCK_NUDGE)) return true;
    if (g_printStuck.integer) Com_Printf("STUCK: %.2f %.2f %.2f", cst->origin[0], cst->origin[1], cst->origin[2]);
    if (!cmv->replay) stuckLabel = "stuck";
    if (!TryStageB(p0)) {
        _VectorCopy(cst->origin, p0);
        cmv->crushed = 1;
        groundLabel = "MEGA STUCK";
        return false;
    }
    const float d = _Saturate(PointDistance(p0, cst->origin) - STUCK_FREE_SLACK);
    vec3_t pushed;
    _VectorSub(pushed, p0, cst->origin);
    _VectorAdd(cst->smoothOffset, cst->smoothOffset, pushed);
    _VectorSubMultiple(cst->velocity, cst->velocity, cst->fireDir, cmv->params.dirtSpeed * d);
    return true;
}

// Step 6: does the body stand?  Snaps it onto the ground it finds.
static void Ground(uint32_t oldFlags) {
    const float *up = G_GetUpVector(cmFlat, cst->origin);
    vec3_t upHere;
    _VectorCopy(upHere, up);
    bool stands = false;
    if (_DotProduct(upHere, cst->velocity) > UP_SPEED_AIRBORNE) {
        groundLabel = "UpSpeed";
    } else {
        groundLabel = "NoGround";
        vec3_t endPos;
        _VectorSubMultiple(endPos, cst->origin, upHere, GROUND_PROBE);
        obb_t start, end;
        if (!G_SetupOBB(cmFlat, &start, &end, cmv, endPos)) return;
        gameTrace_t tr;
        Trace(&tr, &start, &end);
        if (tr.trace.fraction != 1) {
            const float *endAxes = &tr.trace.endAxes[0][0];
            G_TracePosToClientPos(cst->origin, cmv, tr.trace.endpos, endAxes);
            memcpy(G_StateEllipticAxis(cst), endAxes, 9 * sizeof(float));
            vec3_t n;
            _VectorCopy(n, tr.trace.plane);
            VectorNormalize(n);
            if (_DotProduct(upHere, n) >= MIN_GROUND_UP) {
                stands = true;
            } else {
                static const float probes[9][2] = {{0, 0},       {-1, -1},     {1, -1},     {-1, 1}, {1, 1},
                                                   {-1.5f, -1.5f}, {1.5f, -1.5f}, {-1.5f, 1.5f}, {1.5f, 1.5f}};
                obb_t box;
                if (!G_SetupOBB(cmFlat, &box, nullptr, cmv, nullptr)) return;
                for (const auto &p : probes)
                    if (TraceGround(&box, p[0], p[1]) > MIN_GROUND_UP) {
                        stands = true;
                        break;
                    }
                if (!stands) groundLabel = "Steep";
            }
        }
    }
    if (stands) {
        groundLabel = "OnGround";
        cst->flags |= CSF_ONGROUND;
        if (!(oldFlags & CSF_ONGROUND)) cst->moveAnim = MA_LANDED;
    }
}

// Step 7b: walking.
static void GroundMove() {
    const cmoveParams_t &p = cmv->params;
    const uint32_t b = cmv->cc->buttons;
    const bool crouching = cst->flags & CSF_CROUCHING;
    const uint32_t fb = b & (BT_FORWARD | BT_BACK), lr = b & (BT_LEFT | BT_RIGHT);
    bool idle = false;
    if (fb == BT_FORWARD) {
        cst->flags |= CSF_FORWARD;
        cst->moveAnim = crouching ? MA_CROUCH_FORWARD : MA_FORWARD;
    } else if (fb == BT_BACK) {
        cst->flags |= CSF_BACK;
        cst->moveAnim = crouching ? MA_CROUCH_BACK : MA_BACK;
    } else if (lr == BT_LEFT) {
        cst->flags |= CSF_LEFT;
        cst->moveAnim = crouching ? MA_CROUCH_LEFT : MA_LEFT;
    } else if (lr == BT_RIGHT) {
        cst->flags |= CSF_RIGHT;
        cst->moveAnim = crouching ? MA_CROUCH_RIGHT : MA_RIGHT;
    } else {
        idle = true;
        cst->moveAnim = crouching ? MA_CROUCH_IDLE : MA_IDLE;
    }

    float speed, acceleration, bobRate, stepRate = 0;
    if (b & BT_CROUCH) {
        speed = p.crouchSpeed, acceleration = p.crouchAcceleration, bobRate = BOB_RATE_CROUCH;
    } else if (b & BT_CREEP) {
        speed = p.creepSpeed, acceleration = p.creepAcceleration, bobRate = BOB_RATE_CREEP;
    } else {
        speed = p.walkSpeed, acceleration = p.walkAcceleration, bobRate = BOB_RATE_WALK, stepRate = STEP_RATE_WALK;
    }
    if (cst->slowdown > 0) speed *= cst->slowdown > SLOWDOWN_HEAVY ? SLOWDOWN_HEAVY_FACTOR : 1 - cst->slowdown;
    if (idle) {
        cst->stepPhase = STEP_STILL;
        bobRate = stepRate = 0;
    }

    G_CalcWishDir(1);
    FrictionAndAccelerate(p.groundFriction, speed, acceleration);

    if ((b & BT_JUMP) && !(cst->flags & CSF_JUMP_HELD)) {
        cst->flags |= CSF_JUMP_HELD;
        cst->flags &= ~CSF_ONGROUND;
        cst->moveAnim = MA_JUMP;
        vec3_t dir;
        _VectorAddMultiple(dir, G_GetUpVector(cmFlat, cst->origin), wishDir, JUMP_FORWARD_LEAN);
        VectorNormalize(dir);
        _VectorSubMultiple(cst->velocity, cst->velocity, dir, _DotProduct(cst->velocity, dir));
        _VectorAddMultiple(cst->velocity, cst->velocity, dir, p.jumpSpeed);
        MoveEvent(CSE_JUMP, ESE_JUMP);
    }

    if (b & (BT_CROUCH | BT_CREEP)) {
        stepRate = 0;
        cst->stepPhase = STEP_STILL;
    }
    cst->bobPhase = Fract(cst->bobPhase + bobRate * cmDt);
    const float s = cst->stepPhase;
    cst->stepPhase = Fract(s + stepRate * cmDt);
    if (cst->stepPhase < s) MoveEvent(CSE_FOOTSTEP, ESE_FOOTSTEP);

    G_SlideMove();
}

// Step 8: the vertical speed lost in this sub-step dips the view and may hurt.
static void Landing() {
    const float *up = G_GetUpVector(cmFlat, cst->origin);
    const float vOld = _DotProduct(up, stepVelocity), vNew = _DotProduct(up, cst->velocity);
    if (!(_Abs(vOld) > _Abs(vNew))) return;
    const float d = vNew - vOld;
    if (d > LAND_CRASH) {
        cst->dipVelocity -= CRASH_DIP;
        MoveEvent(CSE_CRASH_LAND, ESE_CRASH_LAND);
        cmv->fallDamage = CMOVE_FALL_DAMAGE;
    } else if (d >= LAND_RISING) {
        cst->dipVelocity += -DIP_PER_SPEED * d;
        if (d > LAND_AUDIBLE) MoveEvent(CSE_LAND, ESE_LAND);
    } else {
        cst->dipVelocity += RISING_DIP;
    }
    const float s = d > LAND_CRASH ? 1.0f : _Saturate((d - LAND_AUDIBLE) / LAND_SLOWDOWN_RANGE);
    if (s > cst->slowdown) cst->slowdown = s;
}

// Step 9: the server acts on the weapon buttons of a command it moves.
static void WeaponActions() {
    const cmoveWeaponActions_t *act = cmv->weaponActions;
    if (cmv->replay || !act) return;
    const cc_t *cc = cmv->cc;
    if (cc->weapon != cst->weapon) act->change(cmv->owner, cc->weapon);
    if (cc->buttons & BT_RELOAD) act->reload(cmv->owner);
    if (cc->buttons & (BT_FIRE | BT_FIRE2))
        act->fire(cmv->owner, (cc->buttons & BT_FIRE2) ? 1 : 0);
    else
        cst->flags &= ~CSF_FIRE_HELD;
}

// Advances the shared weapon timer; true when it ran out.
static bool RunWeaponTime(float rate) {
    cst->weaponTime += rate * cmDt;
    cst->weaponTimeShown = cst->weaponTime;
    return cst->weaponTime >= 1;
}

static void EndWeaponTime(uint32_t flags) {
    cst->weaponState = WS_IDLE;
    cst->flags &= ~flags;
    cst->weaponTime = cst->weaponTimeShown = 0;
}

// Step 10: refire, reload and switch timers, then the barrel cools.
static void WeaponTimers() {
    // A weapon number outside the table (only a faulty server state holds one)
    // times like the empty hand and owns no clip.
    const int32_t w = cst->weapon;
    const weaponClass_t *wc = G_WeaponClass(w);
    const weaponClass_t &cls = wc ? *wc : g_weaponClass[WP_NONEGUN];
    if (cst->flags & CSF_FIRING) {
        cst->weaponState = WS_FIRING;
        const float rate = (cst->flags & CSF_FAST_REFIRE) ? FAST_REFIRE_RATE
                           : cls.refireMs < 1                ? NO_RATE
                                                             : MS_PER_SECOND / cls.refireMs;
        if (RunWeaponTime(rate)) EndWeaponTime(CSF_FIRING | CSF_FAST_REFIRE);
    }
    if (cst->flags & CSF_RELOADING) {
        cst->weaponState = WS_RELOADING;
        const float rate = cls.reloadMs <= 0 ? NO_RATE : MS_PER_SECOND / cls.reloadMs;
        if (RunWeaponTime(rate)) {
            EndWeaponTime(CSF_RELOADING);
            if (wc) {
                const int32_t clip = cst->clip[w], reserve = cst->reserve[w];
                int32_t take = std::min({cls.clipSize - clip, cls.clipSize, reserve});
                take = std::max(take, -clip);  // a clip never goes below empty
                cst->reserve[w] = static_cast<int16_t>(std::clamp(reserve - take, -32768, 32767));
                cst->clip[w] = static_cast<uint8_t>(std::min(clip + take, 255));
            }
        }
    }
    if (cst->flags & CSF_SWITCHING) {
        cst->weaponState = WS_SWITCHING;
        if (!G_WeaponClass(cst->pendingWeapon)) {
            EndWeaponTime(CSF_SWITCHING);  // nothing to switch to
        } else {
            const float rate = cst->pendingWeapon == WP_DIRTGUN ? SWITCH_RATE_DIRTGUN : SWITCH_RATE;
            const bool done = RunWeaponTime(rate);
            if (cst->weaponTime >= SWITCH_SWAP_AT) cst->weapon = cst->pendingWeapon;
            if (done) EndWeaponTime(CSF_SWITCHING);
        }
    }
    const weaponClass_t *now = G_WeaponClass(cst->weapon);
    const float cooling = now ? now->coolingPerSecond : 0;
    cst->barrelHeat = _Max(0.0f, cst->barrelHeat - cmDt * cooling);
}

// Step 11: the railgun's zoom follows the zoom buttons; everything else zooms out.
static void Zoom() {
    const uint32_t b = cmv->cc->buttons;
    if (cmv->cc->weapon == WP_RAILGUN && !(cst->flags & CSF_RELOADING)) {
        if (b & BT_ZOOM_OUT)
            cst->zoom = _Max(0.0f, cst->zoom - ZOOM_RATE * cmDt);
        else if (b & BT_ZOOM_IN)
            cst->zoom = _Min(1.0f, cst->zoom + ZOOM_RATE * cmDt);
    } else {
        cst->zoom = _Max(0.0f, cst->zoom - ZOOM_RATE * cmDt);
    }
}

// x -= x·k·dt, or 0 when that step would overshoot.
static void Decay(float *x, float k) {
    const float d = *x * k * cmDt;
    *x = _Abs(d) > _Abs(*x) ? 0.0f : *x - d;
}

// Step 12: count-down and the view springs.
static void Springs() {
    if (cst->hitDir) {
        cst->hitFlash -= HIT_FLASH_FADE * cmDt;
        if (cst->hitFlash <= 0) {
            cst->hitFlash = 0;
            cst->hitDir = 0;
        }
    } else {
        cst->hitFlash = 0;
    }
    _VectorAddMultiple(cst->kickAngles, cst->kickAngles, cst->kickVelocity, cmDt);
    for (int i = 0; i < 3; i++) Decay(&cst->kickVelocity[i], KICK_DAMPING);
    for (int i = 0; i < 3; i++) Decay(&cst->kickAngles[i], KICK_DAMPING);
    cst->jolt += cst->joltVelocity * cmDt;
    Decay(&cst->joltVelocity, JOLT_DAMPING);
    Decay(&cst->jolt, JOLT_DAMPING);
    cst->dip += cst->dipVelocity * cmDt;
    Decay(&cst->dipVelocity, DIP_DAMPING);
    Decay(&cst->dip, DIP_DAMPING);
}

// Step 13: the view catches up with a body that was pushed out of matter.
static void Smoothing() {
    vec3_t n;
    _VectorCopy(n, cst->smoothOffset);
    const float l = VectorNormalize(n) + SMOOTH_MIN;
    for (int i = 0; i < 3; i++) {
        const float step = SMOOTH_RATE * l * _Abs(n[i]) * cmDt;
        float &x = cst->smoothOffset[i];
        x = x > 0 ? _Max(0.0f, x - step) : _Min(0.0f, x + step);
    }
}

static void SetFrames() {
    G_EllipticAxis2Axis(axis, G_StateEllipticAxis(cst), cst->viewAngles, 1);
    const vec3_t level = {cst->viewAngles[0], 0, cst->viewAngles[2]};
    G_EllipticAxis2Axis(axisNoPitch, G_StateEllipticAxis(cst), level, 1);
}

// Steps 3 to 8: the body's motion.
static void BodyMove() {
    const cmoveParams_t &p = cmv->params;
    if (cmv->freeFly) {
        cst->bobPhase = 0;
        cst->moveAnim = MA_AIR;
        G_CalcWishDir(0);
        _VectorClear(cst->velocity);
        _VectorAddMultiple(cst->origin, cst->origin, wishDir, p.noclipSpeed * cmDt);
        G_UpdateEllipticAxis(cmFlat, G_StateEllipticAxis(cst), cst->origin);
        return;
    }
    if (cst->moveType == MT_SPECTATOR) {
        _VectorClear(clipOffset);
        clipHalfSize[0] = clipHalfSize[1] = clipHalfSize[2] = SPECTATOR_HALF;
        cst->bobPhase = 0;
        cst->height = 0.5f;
        cst->eyeHeight = 0.25f;
        const float speed = (cmv->cc->buttons & BT_CREEP) ? 2 * p.spectatorSpeed : p.spectatorSpeed;
        G_CalcWishDir(0);
        FrictionAndAccelerate(p.spectatorFriction, speed, p.spectatorAcceleration);
        G_SlideMove();
        return;
    }
    if (cst->moveType != MT_NORMAL) return;

    CrouchAndBox();
    const uint32_t oldFlags = cst->flags;
    cst->flags &= ~CSF_ONGROUND;
    if (!StuckRecovery()) return;
    if (cmv->crushed) {
        groundLabel = "MEGA STUCK";
        return;
    }
    Ground(oldFlags);
    if (cst->flags & CSF_ONGROUND)
        GroundMove();
    else
        G_AirMove();
    Landing();
}

static void MoveStep() {
    _VectorCopy(stepVelocity, cst->velocity);
    float *body = G_StateEllipticAxis(cst);
    G_UpdateEllipticAxis(cmFlat, body, cst->origin);
    if (HasZeroRow(body)) {
        Com_Error(ER_FATAL, "G_ClientMove elliptic");
        return;
    }
    SetFrames();

    const uint32_t b = cmv->cc->buttons;
    cst->flags &= ~(CSF_FORWARD | CSF_BACK | CSF_LEFT | CSF_RIGHT | CSF_CROUCHING);
    if (!(b & BT_JUMP)) cst->flags &= ~CSF_JUMP_HELD;
    if (b & BT_CROUCH) cst->flags |= CSF_CROUCHING;
    if (cst->flags & CSF_FIRING) _VectorCopy(cst->fireDir, axis + 6);
    groundLabel = "NULL";
    stuckLabel = "";

    BodyMove();
    WeaponActions();
    WeaponTimers();
    if (cst->moveType == MT_NORMAL) Zoom();
    Springs();
    Smoothing();

    if (cmv->printDebug && !cmv->replay && qgame.frameCount % DEBUG_PRINT_FRAMES == 0)
        Com_Printf("CMove %s %s (%.2f) %.2f %.2f %.2f", groundLabel, stuckLabel, VectorLength(cst->velocity),
                   cst->velocity[0], cst->velocity[1], cst->velocity[2]);
}

// A command's view angles reach the state unchecked; one that is not a number
// would turn every vector of the body into one.  Such an angle counts as 0.
static void SanitizeAngles(vec3_t angles) {
    for (int i = 0; i < 3; i++)
        if (!std::isfinite(angles[i])) angles[i] = 0;
}

uint32_t G_CommandMsec(const clientState_t *state, const cc_t *cc) {
    // Signed difference of the two clocks, so that a wrap of the game time is a small step.
    const int32_t elapsed = static_cast<int32_t>(cc->time - state->lastCcTime);
    return elapsed > 0 ? std::min(static_cast<uint32_t>(elapsed), CMOVE_MAX_MSEC) : 1;
}

bool G_TakeCommandView(clientState_t *cs, const cc_t *cc) {
    if (cc->buttons & BT_SPECTATOR_AIM) cs->flags &= ~CSF_VIEW_HELD;
    if (cs->flags & CSF_VIEW_HELD) return false;
    _VectorCopy(cs->viewAngles, cc->angles);
    _VectorCopy(cs->viewAxis[0], cc->aim);
    return true;
}

void G_ClientMove(cmove_t *cm) {
    cmv = cm;
    cst = cm->state;
    cmFlat = cm->flatGravity;
    cm->crushed = 0;
    SanitizeAngles(cst->viewAngles);

    uint32_t msec = G_CommandMsec(cst, cm->cc);
    if (cm->maxMsec && msec > cm->maxMsec) msec = cm->maxMsec;
    cst->lastCcTime = cm->cc->time;
    while (msec > 0) {
        const uint32_t step = std::min(msec, CMOVE_STEP_MSEC);
        msec -= step;
        cmDt = static_cast<float>(step) / MS_PER_SECOND;
        MoveStep();
    }
}
