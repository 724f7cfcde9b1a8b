// The client halves of the weapon classes: muzzle flashes, the shotgun's smoke,
// the spinning parts of the view weapons and the dirt gun's beam and hologram.
#include <cmath>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_player.h"
#include "game/g_soup.h"
#include "game/g_surface.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_cl/cg_actions.h"
#include "game_cl/cg_channels.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"
#include "game_cl/cg_weapon_view.h"

namespace {

// A client variable's reading, or the fallback when it does not exist.
float VarValue(const char *name, float fallback) {
    const cmdVar_t *v = Trap_GetCVar(name);
    return v ? v->value : fallback;
}
int32_t VarInteger(const char *name, int32_t fallback) {
    const cmdVar_t *v = Trap_GetCVar(name);
    return v ? v->integer : fallback;
}

constexpr float MUZZLE_YELLOW[3] = {1.0f, 1.0f, 0.0f};
constexpr float MUZZLE_LIGHT_BLUE[3] = {0.5f, 0.5f, 1.0f};

// One muzzle flash at a tag: its light, then the flower and flame of the weapon's
// materials, fading out over fadeMs after the shot.
struct muzzle_t {
    int32_t weapon;
    const char *tag;
    const char *missing;  // the report when the model lacks the tag
    float lightRadius;
    const float *lightColor;  // null: no light at this tag
    bool halfFade;
};

void DrawMuzzle(const muzzle_t &m, const tagState_t *tags, int32_t numTags, int32_t fireTime, float angle,
                uint8_t firstPerson) {
    int32_t fade = VarInteger("cg_muzzleFadeTime", 0);
    if (fade < 0) fade = 0;
    if (m.halfFade) fade /= 2;
    const int32_t remaining = fade - G_TimeAge(static_cast<uint32_t>(fireTime));
    if (remaining <= 0) return;
    const tagState_t *tag = CG_GetTagState(numTags, tags, m.tag);
    if (!tag) {
        Com_Error(ER_DEVWARNING, "%s", m.missing);
        return;
    }
    float axis[9];
    MatrixCopy3x3(axis, tag->axis);
    MatrixTranspose3x3(axis);
    const float fraction = static_cast<float>(remaining) / static_cast<float>(fade);
    if (m.lightColor) CG_DrawMuzzleLight(tag->origin, m.lightRadius, fraction, m.lightColor);
    const weaponMedia_t &media = g_weaponMedia[m.weapon];
    const float s = VarValue("cg_muzzleScale", 1.0f);
    const int32_t flower = firstPerson ? media.flowerViewMaterial : media.flowerMaterial;
    const int32_t stick = firstPerson ? media.stickViewMaterial : media.stickMaterial;
    CG_DrawMuzzleFlash(tag->origin, axis, 0.4f * s, 1.5f * s, 0.3f * s, flower, stick, fraction, angle);
}

}  // namespace

void Meelgun_DrawMuzzleFlash(int32_t, const tagState_t *, int32_t, int32_t, float, uint8_t) {}

void Minigun_DrawMuzzleFlash(int32_t, const tagState_t *tags, int32_t numTags, int32_t fireTime, float angle,
                             uint8_t firstPerson) {
    static constexpr muzzle_t M = {WP_MINIGUN, "TAG_muzzle", "Minigun_DrawMuzzleFlash: No TAG_muzzle", 3.0f,
                                   MUZZLE_YELLOW, true};
    DrawMuzzle(M, tags, numTags, fireTime, angle, firstPerson);
}

void Shotgun_DrawMuzzleFlash(int32_t, const tagState_t *tags, int32_t numTags, int32_t fireTime, float angle,
                             uint8_t firstPerson) {
    static constexpr muzzle_t M1 = {WP_SHOTGUN, "TAG_muzzle1", "Shotgun_DrawMuzzleFlash: No TAG_muzzle1", 3.0f,
                                    MUZZLE_YELLOW, false};
    static constexpr muzzle_t M2 = {WP_SHOTGUN, "TAG_muzzle2", "Shotgun_DrawMuzzleFlash: No TAG_muzzle2", 3.0f,
                                    nullptr, false};
    DrawMuzzle(M1, tags, numTags, fireTime, angle, firstPerson);
    DrawMuzzle(M2, tags, numTags, fireTime, angle, firstPerson);
}

void Grengun_DrawMuzzleFlash(int32_t, const tagState_t *tags, int32_t numTags, int32_t fireTime, float angle,
                             uint8_t firstPerson) {
    static constexpr muzzle_t M = {WP_GRENGUN, "TAG_muzzle", "Grengun_DrawMuzzleFlash: No TAG_muzzle", 4.0f,
                                   MUZZLE_YELLOW, false};
    DrawMuzzle(M, tags, numTags, fireTime, angle, firstPerson);
}

void Railgun_DrawMuzzleFlash(int32_t, const tagState_t *tags, int32_t numTags, int32_t fireTime, float angle,
                             uint8_t firstPerson) {
    static constexpr muzzle_t M = {WP_RAILGUN, "TAG_muzzle", "Railgun_DrawMuzzleFlash: No TAG_muzzle", 3.0f,
                                   MUZZLE_LIGHT_BLUE, false};
    DrawMuzzle(M, tags, numTags, fireTime, angle, firstPerson);
}

// ---- draw frames ----

void Meelgun_DrawFrame(const weaponFrame_t *) {}
void Minigun_DrawFrame(const weaponFrame_t *) {}

void Shotgun_DrawFrame(const weaponFrame_t *frame) {
    // Smoke from the barrel in the frame right after the shot.
    if (qgame.frameCount != frame->lastShotFrame + 1) return;
    const tagState_t *tag = CG_GetTagState(frame->numTags, frame->tags, "TAG_muzzle1");
    if (!tag) return;
    float axis[9];
    MatrixCopy3x3(axis, tag->axis);
    MatrixTranspose3x3(axis);
    CG_RunActionScript("game/c_actions/barrel_smoke.action", tag->origin, axis, 0.0f, 4.0f);
}

// ---- spinning parts of the view weapons ----

namespace {

// A part that a shot spins up and that runs down by itself.
struct spin_t {
    float speed;  // animation lengths per second
    float phase;  // 0..1
};

struct spinRule_t {
    float impulse, cap, decay;
    const char *animation;
    int set;  // which of the weapon's two gun channels (the sets after the view channel)
};

spin_t meelSaw, meelDrill, miniRot, railRot;

bool FiredThisFrame(int32_t weapon) {
    return cg.predicted.weapon == weapon && cg.lastShotFrame == qgame.frameCount;
}

void Spin(spin_t &s, const spinRule_t &r, int32_t weapon, bool fired) {
    const float dt = qgame.frameSeconds;
    if (fired) s.speed += r.impulse;
    if (s.speed > r.cap) s.speed = r.cap;
    s.speed -= r.decay * dt;
    if (s.speed < 0.0f) s.speed = 0.0f;
    s.phase += s.speed * dt;
    s.phase -= floorf(s.phase);
    CG_PutFractionToChannel(&cg.bodyChannels[r.set][weapon], r.animation, nullptr, s.phase);
}

}  // namespace

void Meelgun_ClientFrame() {
    static constexpr spinRule_t SAW = {3.0f, 6.0f, 0.6f, "saw", 0}, DRILL = {0.5f, 3.0f, 0.4f, "drill", 1};
    const bool fired = FiredThisFrame(WP_MEELGUN);
    Spin(meelSaw, SAW, WP_MEELGUN, fired);
    Spin(meelDrill, DRILL, WP_MEELGUN, fired);
}

void Minigun_ClientFrame() {
    static constexpr spinRule_t ROT = {1.0f, 3.0f, 0.7f, "rot", 0};
    Spin(miniRot, ROT, WP_MINIGUN, FiredThisFrame(WP_MINIGUN));
}

void Railgun_ClientFrame() {
    static constexpr spinRule_t ROT = {2.0f, 3.0f, 0.7f, "rot", 0};
    Spin(railRot, ROT, WP_RAILGUN, FiredThisFrame(WP_RAILGUN));
}

// ---- the dirt gun's beam and hologram ----

namespace {

constexpr int BEAM_SECTIONS = 9;  // every 45 degrees, the last repeating the first
constexpr int BEAM_RINGS = 3;     // at the gun, near the hologram, at the hologram
constexpr int BEAM_VERTS = BEAM_SECTIONS * BEAM_RINGS;
constexpr int BEAM_INDEXES = (BEAM_SECTIONS - 1) * (BEAM_RINGS - 1) * 6;
constexpr int BEAMS_PER_FRAME = 32;  // every player's and the view's
constexpr float BEAM_RADIUS[BEAM_RINGS] = {0.02f, 0.15f, 0.7f};
constexpr float BEAM_T[BEAM_RINGS] = {0.0f, 0.5f, 1.0f};
constexpr uint32_t DIRT_BLINK_FLAG = 0x40;

drawVert_t beamVerts[BEAMS_PER_FRAME][BEAM_VERTS];
int32_t beamIndexes[BEAM_INDEXES];
int32_t beamsUsed;
uint32_t beamFrame = ~0u;

// Two strips of quads joining consecutive sections.
void BuildBeamIndexes() {
    int32_t *out = beamIndexes;
    for (int i = 0; i < BEAM_SECTIONS - 1; i++) {
        for (int k = 0; k < BEAM_RINGS - 1; k++) {
            const int32_t a = BEAM_RINGS * i + k, b = BEAM_RINGS * (i + 1) + k;
            const int32_t quad[6] = {a, b, b + 1, a, b + 1, a + 1};
            memcpy(out, quad, sizeof quad);
            out += 6;
        }
    }
}

void DrawBeam(const vec3_t eye, const vec3_t origin, const float view[9], uint8_t alpha) {
    if (beamFrame != qgame.frameCount) {
        beamFrame = qgame.frameCount;
        beamsUsed = 0;
        if (!beamIndexes[1]) BuildBeamIndexes();
    }
    if (beamsUsed >= BEAMS_PER_FRAME) return;
    const float *right = view, *up = view + 3, *forward = view + 6;
    vec3_t gun, end, toHologram;
    _VectorAddMultiple(gun, eye, right, 0.18f);
    _VectorAddMultiple(gun, gun, up, -0.23f);
    _VectorAddMultiple(gun, gun, forward, 0.6f);
    _VectorSub(toHologram, origin, eye);
    const float d = VectorLength(toHologram);
    const float f = d >= 1.0f ? 1.0f - 1.5f / d : -0.5f;
    _VectorSub(toHologram, origin, gun);
    _VectorAddMultiple(end, gun, toHologram, f);
    const float *centres[BEAM_RINGS] = {gun, end, origin};

    drawVert_t *verts = beamVerts[beamsUsed];
    for (int i = 0; i < BEAM_SECTIONS; i++) {
        const float a = DEG2RAD * 45.0f * static_cast<float>(i);
        const float c = cosf(a), s = sinf(a);
        for (int k = 0; k < BEAM_RINGS; k++) {
            drawVert_t &v = verts[BEAM_RINGS * i + k];
            for (int j = 0; j < 3; j++) v.xyz[j] = centres[k][j] + BEAM_RADIUS[k] * (c * right[j] + s * up[j]);
            v.unused = 0.0f;
            v.st[0] = 0.125f * static_cast<float>(i);
            v.st[1] = BEAM_T[k];
            v.rgba[0] = v.rgba[1] = v.rgba[2] = 255;
            v.rgba[3] = k < BEAM_RINGS - 1 ? alpha : 0;
        }
    }
    // The slot is the beam's only once the renderer took the surface.
    if (AddLayoutSurface(SURFACE_LAYOUT_COLOR, "Dirtgun beam", verts, BEAM_VERTS, beamIndexes, BEAM_INDEXES, g_beamMat))
        beamsUsed++;
}

}  // namespace

void Dirtgun_DrawFrame(const weaponFrame_t *frame) {
    const float *view = frame->viewAxes;
    vec3_t eye;
    uint8_t alpha = 255;
    if (frame->firstPerson) {
        G_GetPlayerSmoothEye(cg.flatGravity, eye, &cg.predicted, view + 6);
        if (cg.predicted.flags & DIRT_BLINK_FLAG) {
            const float w = cg.predicted.weaponTime;
            const float t = w < 0.0f ? 0.0f : w > 1.0f ? 1.0f : w;
            alpha = static_cast<uint8_t>(t >= 0.5f ? static_cast<int32_t>((t - 0.5f) * 2.0f * 255.0f)
                                                   : static_cast<int32_t>(255.0f - 2.0f * t * 255.0f));
        }
    } else {
        G_GetPlayerEye(cg.flatGravity, eye, frame->origin, frame->eyeHeight);
    }
    vec3_t origin;
    float axis[9];
    CalcDirtHologram(cg.flatGravity, origin, axis, eye, view, frame->hologramAxes, frame->mode);
    // The mode comes from the server: it indexes the shapes only once it is known.
    if (frame->mode < 0 || frame->mode >= DIRT_DEFORM_MODES) {
        Com_Error(ER_DEVWARNING, "Dirtgun_DrawFrame: Unknown deform num %d", frame->mode);
        return;
    }
    DrawBeam(eye, origin, view, alpha);
    G_DrawSOUP(g_dirtDeformSoups[frame->mode], g_dirtMat, origin, axis, alpha,
               static_cast<float>(frame->size) / 10.0f);
}
