// Small services shared by the server game and the client game.
#include "game/g_utils.h"

#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_cl/cg_services.h"
#include "game_sv/sg_services.h"

// Assertions of this file name it as the engine's error dumps have always shown it.
static const char UTILS_FILE[] = "../game/g_utils";
static void UtilsAssert(int line) { Com_Error(ER_BUG, "%s %s @ %s @ %d", __DATE__, __TIME__, UTILS_FILE, line); }

const gameTrace_t g_emptyTrace = {};

void G_AddEntityStateEvent(entityState_t *es, uint8_t event) {
    if (!es) return;
    es->events[es->eventCount & (ENTITY_EVENT_RING - 1)] = event;
    es->eventCount++;
}

void G_AddClientStateEvent(clientState_t *cs, uint32_t event) {
    if (event > CLIENT_EVENT_MAX_ADDED) UtilsAssert(362);
    if (!cs) return;
    cs->events[cs->eventCount & (CLIENT_EVENT_RING - 1)] = static_cast<uint8_t>(event);
    cs->eventCount++;
}

static vec3_t g_up, g_down;

const float *G_GetUpVector(uint8_t flat, const vec3_t pos) {
    if (flat) {
        _VectorCopy(g_up, upvector);
    } else {
        _VectorCopy(g_up, pos);
        VectorNormalize(g_up);
    }
    return g_up;
}

const float *G_GetDownVector(uint8_t flat, const vec3_t pos) {
    if (flat) {
        _VectorCopy(g_down, upvector);
    } else {
        _VectorCopy(g_down, pos);
        VectorNormalize(g_down);
    }
    _VectorReverse(g_down);
    return g_down;
}

void G_CreateEllipticAxis(uint8_t flat, float axis[9], const vec3_t pos) {
    if (VectorIsZero(pos)) {
        MatrixCopy3x3(axis, identitymatrix3x3);
        return;
    }
    _VectorCopy(axis + 3, G_GetUpVector(flat, pos));
    PerpendicularVector(axis, axis + 3);
    _CrossProduct(axis + 6, axis, axis + 3);
}

void G_UpdateEllipticAxis(uint8_t flat, float axis[9], const vec3_t pos) {
    if (VectorIsZero(pos)) {
        MatrixCopy3x3(axis, identitymatrix3x3);
        return;
    }
    // Only row 0 carries the heading: rows 1 and 2 are rebuilt below.  A frame that
    // came through a snapshot holds row 0 alone, and must keep the server's heading.
    if (VectorIsZero(axis)) {
        G_CreateEllipticAxis(flat, axis, pos);
        return;
    }
    _VectorCopy(axis + 3, G_GetUpVector(flat, pos));
    vec3_t right;
    VectorOrthogonalize(right, axis, axis + 3);
    // Row 0 comes from a client's command: along the up, too small or too large to
    // normalise, or not a number, it leaves no heading, and a frame built from it
    // would have rows of zero.  Any direction across the up serves then.
    const float length = VectorLength(right);
    if (!(length > 0.5f && length < 2.0f)) {
        PerpendicularVector(right, axis + 3);
        VectorNormalize(right);
    }
    _VectorCopy(axis, right);
    _CrossProduct(axis + 6, axis, axis + 3);
}

void G_CreateAxisForNormal(float axis[9], const vec3_t normal) {
    _VectorCopy(axis + 3, normal);
    PerpendicularVector(axis, axis + 3);
    _CrossProduct(axis + 6, axis, axis + 3);
}

void G_EllipticAxis2Axis(float out[9], const float elliptic[9], const vec3_t angles, uint8_t transpose) {
    // Rz·Rx·Ry of the three angles in degrees.  Movement builds its frames here and a
    // client's prediction must reach the server's bits, so the trigonometry is the
    // portable one rather than whatever each machine's maths library answers.
    matrix3x3_t r;
    BuildRotationMatrix3x3Portable(r, angles);
    matrix3x3_t et;
    MatrixCopy3x3(et, elliptic);
    MatrixTranspose3x3(et);
    // The turn is made in the body's own frame, eᵀ·r: its rows come out as mixtures of
    // the frame's rows, so pitch tilts towards the body's up and yaw turns about it
    // wherever on a round world the body stands.  (r·eᵀ would turn about the world's
    // axes, which only agree with the body's where the frame is the identity.)  The
    // library's product is the second times the first.
    MatrixMultiply3x3(out, r, et);
    if (transpose == 1) MatrixTranspose3x3(out);
}

void G_SetupEntityAxis(entityAxes_t *ent, const vec3_t angles) {
    G_EllipticAxis2Axis(ent->viewAxis, ent->ellipticAxis, angles, 0);
    G_EllipticAxis2Axis(ent->viewAxisT, ent->ellipticAxis, angles, 1);
    const vec3_t level = {angles[0], 0, angles[2]};
    G_EllipticAxis2Axis(ent->levelAxis, ent->ellipticAxis, level, 0);
    G_EllipticAxis2Axis(ent->levelAxisT, ent->ellipticAxis, level, 1);
}

gameTrace_t *G_RayTrace(gameTrace_t *out, const vec3_t start, const vec3_t end, void *skip, int32_t mask) {
    switch (g_isSG) {
        case GAME_CONTEXT_SG:
            SG_RayTrace(out, start, end, skip, mask, 0);
            break;
        case GAME_CONTEXT_CG:
            CG_RayTrace(out, start, end, skip, mask);
            break;
        default:
            Com_Error(ER_FATAL, "G_RayTrace: Called undefined SG");
            *out = g_emptyTrace;
            break;
    }
    return out;
}

void G_CalcFireEndPos(vec3_t out, const vec3_t start, const float axis[9], float range, float spread,
                      float power) {
    if (power > 1) spread = Com_powf(spread, power);
    const float a = 2.0f * 3.14159265f * Trap_frand();
    const float r = spread * Trap_frand();
    _VectorAddMultiple(out, start, axis + 6, range);
    _VectorAddMultiple(out, out, axis, Com_cos(a) * r);
    _VectorAddMultiple(out, out, axis + 3, Com_sin(a) * r);
}

static float SmallestHalfExtent(const obb_t *box) {
    return _Min(box->halfSize[0], _Min(box->halfSize[1], box->halfSize[2]));
}

int G_SweapOBBToOBB(trace_t *tr, const obb_t *start, const obb_t *end, const obb_t *target) {
    const float m = _Min(SmallestHalfExtent(start), SmallestHalfExtent(end));
    // A box of no width would need endless steps: it is tested once, at the end.
    // A very wide one would need so many that t stops advancing: the step has a floor.
    float step = m > 0 ? _Min(1.0f / (10.0f * m), 1.0f) : 1.0f;
    step = _Max(step, 1.0f / SWEEP_MAX_STEPS);
    if (PointDistance(start->origin, end->origin) < 0.01f) step = 1.0f;
    obb_t box;
    for (float t0 = 0;;) {
        const float t1 = _Min(t0 + step, 1.0f);
        if (tr->fraction < t1) return 0;
        CM_LerpOBB(&box, start, end, t1);
        if (CM_OBBToOBB(&box, target)) {
            CM_LerpOBB(&box, start, end, t0);
            tr->fraction = t0;
            _VectorCopy(tr->endpos, box.origin);
            // Movement takes the stop's axes as the body's frame: they must be the
            // box's, never what an earlier (or no) hit left in the record.
            memcpy(tr->endAxes, box.axis, sizeof(tr->endAxes));
            _VectorSub(tr->plane, end->origin, start->origin);
            VectorNormalize(tr->plane);
            tr->plane[3] = 0;
            return 1;
        }
        if (t1 >= 1) return 0;
        t0 = t1;
    }
}

const char *G_GetRulesString(int rules) {
    static const char *const names[] = {"dm", "cr", "f", "cc"};
    if (rules < 0 || rules > 3) {
        UtilsAssert(406);
        return names[0];
    }
    return names[rules];
}

float G_PlayerSphereOffset(float crouch, int i) {
    switch (i) {
        case 0:
            return 0.33f;
        case 1:
            return 0.66f;
        case 2:
            return 0.66f * (1 - crouch) + 0.33f;
        case 3:
            return 0.66f * (1 - crouch) + 0.66f;
        default:
            UtilsAssert(396);
            return 0;
    }
}

void G_SetupCollideOBB(obb_t *obb, const vec3_t pos, const float axis[9], const vec3_t offset,
                       const vec3_t half) {
    _VectorAdd(obb->origin, pos, offset);
    _VectorCopy(obb->halfSize, half);
    memcpy(obb->axis, axis, sizeof(obb->axis));
    MatrixCopy3x3(obb->axisT, axis);
    MatrixTranspose3x3(obb->axisT);
}

void G_SetupHitPolyhedron(vec4_t planes[6], const vec3_t centre, const float axis[9], const vec3_t mins,
                          const vec3_t maxs) {
    matrix3x3_t t;
    MatrixCopy3x3(t, axis);
    MatrixTranspose3x3(t);
    vec3_t low, high;
    TransformPoint(low, mins, t, centre);
    TransformPoint(high, maxs, t, centre);
    for (int i = 0; i < 3; i++) {
        vec4_t &neg = planes[2 * i], &pos = planes[2 * i + 1];
        _VectorCopy(neg, axis + 3 * i);
        _VectorReverse(neg);
        neg[3] = -_DotProduct(neg, low);
        _VectorCopy(pos, axis + 3 * i);
        pos[3] = -_DotProduct(pos, high);
    }
}

void G_PointOBB(obb_t *out, const vec3_t point) {
    memset(out, 0, sizeof(*out));
    _VectorCopy(out->origin, point);
    memcpy(out->axis, identitymatrix3x3, sizeof(out->axis));
    MatrixCopy3x3(out->axisT, identitymatrix3x3);
}

void G_WorldRayTrace(gameTrace_t *out, const vec3_t start, const vec3_t end) {
    obb_t from, to;
    G_PointOBB(&from, start);
    G_PointOBB(&to, end);
    *out = g_emptyTrace;
    Trap_Trace(&out->trace, &from, &to);
}
