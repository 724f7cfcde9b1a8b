// Particles: creation, the per-frame update and the drawing of the pool.
#include "game_cl/cg_particles.h"

#include <cmath>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_surface.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"

particle_t g_particles[MAX_PARTICLES];
particle_t g_activeDummy, g_freeDummy;
particle_t g_qmatDummies[PARTICLE_MATERIALS];
int32_t g_numActiveParticles;
int32_t g_numDrawnParticles;

namespace {

constexpr float PI = 3.14159265358979f;
constexpr float WORLD_CENTRE_RADIUS_SQUARED = 1.0f;  // particles this close to the centre die

drawVert_t particleVerts[MAX_PARTICLES * PARTICLE_QUAD_VERTS];
int32_t particleIndexes[MAX_PARTICLES * PARTICLE_QUAD_INDEXES];
uint32_t spawnCounter;

// A colour channel 0..1 as a byte; values outside (or no number) are clamped, as a
// float outside the byte's range has no defined conversion.
uint8_t ColorByte(float c) {
    const float v = c * 255.0f;
    if (!(v > 0.0f)) return 0;
    if (v >= 255.0f) return 255;
    return static_cast<uint8_t>(v);
}

// The pool's lists are circular through their heads; each list has its own pair of
// links in the entry, named by the template arguments.
template <particle_t *particle_t::*Next, particle_t *particle_t::*Prev>
void LinkEmpty(particle_t *head) {
    head->*Next = head->*Prev = head;
}
template <particle_t *particle_t::*Next, particle_t *particle_t::*Prev>
void Unlink(particle_t *p) {
    (p->*Prev)->*Next = p->*Next;
    (p->*Next)->*Prev = p->*Prev;
}
template <particle_t *particle_t::*Next, particle_t *particle_t::*Prev>
void LinkAfter(particle_t *head, particle_t *p) {
    p->*Next = head->*Next;
    p->*Prev = head;
    (head->*Next)->*Prev = p;
    head->*Next = p;
}
constexpr auto LinkEmptyActive = LinkEmpty<&particle_t::next, &particle_t::prev>;
constexpr auto UnlinkActive = Unlink<&particle_t::next, &particle_t::prev>;
constexpr auto LinkActiveAfter = LinkAfter<&particle_t::next, &particle_t::prev>;
constexpr auto LinkEmptyMaterial = LinkEmpty<&particle_t::matNext, &particle_t::matPrev>;
constexpr auto UnlinkMaterial = Unlink<&particle_t::matNext, &particle_t::matPrev>;
constexpr auto LinkMaterialAfter = LinkAfter<&particle_t::matNext, &particle_t::matPrev>;

void PlaceParticle(particle_t *p, const particleClass_t &c, const vec3_t origin, const float axis[9]) {
    if (c.spawnPosType == PSP_SPHERE) {
        const float radius = Lerp(c.spawnMinRadius, c.spawnMaxRadius, Trap_frand());
        const float a = Trap_crand() * PI;
        const float b = 2.0f * PI * Trap_frand();
        p->position[0] = origin[0] + radius * sinf(b) * cosf(a);
        p->position[1] = origin[1] + radius * cosf(b);
        p->position[2] = origin[2] + radius * sinf(b) * sinf(a);
        return;
    }
    vec3_t local;
    for (int j = 0; j < 3; j++) local[j] = c.spawnBias[j] + Trap_crand() * c.spawnRect[j];
    for (int i = 0; i < 3; i++)
        p->position[i] = origin[i] + axis[3 * i] * local[0] + axis[3 * i + 1] * local[1] + axis[3 * i + 2] * local[2];
}

// The emission direction in the axis's frame, scaled to the speed; the axis's
// second row is the centre of the emission.
void EmissionDirection(vec3_t local, const particleClass_t &c) {
    const float angle = c.spawnConeAngle * DEG2RAD;
    if (c.spawnDirType == PSD_PYRAMID) {
        // A square pyramid: tilted independently toward rows 0 and 2, each by up
        // to the cone angle, so the directions fill a square about row 1.
        const float ax = Trap_crand() * angle;
        const float az = Trap_crand() * angle;
        const float speed = Lerp(c.spawnMinSpeed, c.spawnMaxSpeed, Trap_frand());
        local[0] = speed * sinf(ax) * cosf(az);
        local[1] = speed * cosf(ax) * cosf(az);
        local[2] = speed * sinf(az);
        return;
    }
    const float a = Trap_crand() * PI;
    const float tilt = Trap_frand() * angle;
    const float speed = Lerp(c.spawnMinSpeed, c.spawnMaxSpeed, Trap_frand());
    local[0] = speed * sinf(tilt) * cosf(a);
    local[1] = speed * cosf(tilt);
    local[2] = speed * sinf(tilt) * sinf(a);
}

// The colour between spawn and fade colour for this age.
void Fade(particle_t *p, const particleClass_t &c) {
    const float span = c.endFade - c.beginFade;
    if (!(span > 0.0f)) return;
    const float f = p->age / c.maxTime;
    if (!(f >= c.beginFade)) return;
    float k = (f - c.beginFade) / span;
    k = k < 0.0f ? 0.0f : k > 1.0f ? 1.0f : k;
    for (int i = 0; i < 4; i++) p->color[i] = ColorByte(c.spawnColor[i] * (1.0f - k) + c.fadeColor[i] * k);
}

void Move(particle_t *p, const particleClass_t &c, float t) {
    _VectorAddMultiple(p->position, p->position, p->velocity, t);
    p->rotation += p->rotationSpeed * t;
    if (c.pathType == PPT_ORBIT) {
        // A circle about the world's z axis at constant speed.
        vec3_t around = {-p->position[1], p->position[0], 0.0f};
        VectorNormalize(around);
        _VectorScale(p->velocity, c.spawnMinSpeed, around);
    } else {
        _VectorSubMultiple(p->velocity, p->velocity, p->localUp, c.gravityFactor * t);
    }
}

// A surface of layout 25 for a material, its vertexes from the next free one; null
// when the renderer has no surface left.
surface_t *BeginSurface(int32_t material, int32_t firstVert) {
    return AllocLayoutSurface(SURFACE_LAYOUT_COLOR, "particles", &particleVerts[firstVert], 0, particleIndexes, 0,
                              material);
}

void EndSurface(surface_t *s) {
    if (s && s->numIndexes > 0) Trap_R_AddSurfaces(s, SURFACE_ADD_PROCEDURAL);
}

// The four corners of a particle's quad at particleVerts[v].
void WriteQuad(const particle_t &p, const float *viewAxis, int32_t v) {
    vec3_t right, up;
    _CrossProduct(right, p.normal, viewAxis + 3);
    _CrossProduct(up, right, p.normal);
    VectorNormalize(right);
    VectorNormalize(up);
    _VectorScale(right, 0.5f * p.width, right);
    _VectorScale(up, 0.5f * p.height, up);
    if (p.rotation != 0.0f) {
        vec3_t turned;
        RotatePointAroundVector(turned, p.normal, right, p.rotation);
        _VectorCopy(right, turned);
        _CrossProduct(up, right, p.normal);
        VectorNormalize(up);
        _VectorScale(up, 0.5f * p.height, up);
    }
    constexpr float SIGNS[PARTICLE_QUAD_VERTS][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int k = 0; k < PARTICLE_QUAD_VERTS; k++) {
        drawVert_t &d = particleVerts[v + k];
        for (int i = 0; i < 3; i++) d.xyz[i] = p.position[i] + SIGNS[k][0] * right[i] + SIGNS[k][1] * up[i];
        memcpy(d.rgba, p.color, sizeof d.rgba);
    }
}

}  // namespace

void CG_InitParticles() {
    LinkEmptyActive(&g_activeDummy);
    LinkEmptyActive(&g_freeDummy);
    for (particle_t &head : g_qmatDummies) LinkEmptyMaterial(&head);
    for (int i = MAX_PARTICLES - 1; i >= 0; i--) {
        memset(&g_particles[i], 0, sizeof g_particles[i]);
        LinkActiveAfter(&g_freeDummy, &g_particles[i]);
    }
    g_numActiveParticles = g_numDrawnParticles = 0;
    constexpr float ST[PARTICLE_QUAD_VERTS][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    constexpr int32_t CORNERS[PARTICLE_QUAD_INDEXES] = {0, 2, 1, 0, 3, 2};
    for (int q = 0; q < MAX_PARTICLES; q++) {
        for (int k = 0; k < PARTICLE_QUAD_VERTS; k++) {
            drawVert_t &d = particleVerts[PARTICLE_QUAD_VERTS * q + k];
            memset(&d, 0, sizeof d);
            d.st[0] = ST[k][0];
            d.st[1] = ST[k][1];
        }
        for (int k = 0; k < PARTICLE_QUAD_INDEXES; k++)
            particleIndexes[PARTICLE_QUAD_INDEXES * q + k] = PARTICLE_QUAD_VERTS * q + CORNERS[k];
    }
}

void CG_DeleteParticle(particle_t *p) {
    if (!p || !p->pclass) return;
    UnlinkActive(p);
    UnlinkMaterial(p);
    p->pclass = nullptr;
    LinkActiveAfter(&g_freeDummy, p);
    g_numActiveParticles--;
}

void CG_ClearParticles() {
    while (g_activeDummy.next && g_activeDummy.next != &g_activeDummy) CG_DeleteParticle(g_activeDummy.next);
}

void CG_CreateParticle(int32_t classHandle, const vec3_t origin, const float axis[9]) {
    if (classHandle == 0 || cg_skipParticleCreate.integer || !origin || !axis) return;
    const particleClass_t *c = CG_GetParticleClass(classHandle);
    // The reader keeps every material inside the lists; a class zeroed in place has 0.
    if (c->material < 0 || c->material >= PARTICLE_MATERIALS) return;
    particle_t *p = g_freeDummy.next;
    if (!p || p == &g_freeDummy) {
        Com_DPrintf("CG_CreateParticle: Particle list full");
        return;
    }
    UnlinkActive(p);
    memset(p, 0, sizeof *p);
    p->pclass = c;
    LinkActiveAfter(&g_activeDummy, p);
    LinkMaterialAfter(&g_qmatDummies[c->material], p);
    p->spawnNumber = spawnCounter++;
    g_numActiveParticles++;

    if (cg_printParticle.integer)
        Com_Printf("\xA4" "08%s %.2f %.2f %.2f\xA4" "00 time: \xA4" "08%u", c->name, static_cast<double>(origin[0]),
                   static_cast<double>(origin[1]), static_cast<double>(origin[2]), qgame.time);

    PlaceParticle(p, *c, origin, axis);
    vec3_t local;
    EmissionDirection(local, *c);
    for (int i = 0; i < 3; i++) p->velocity[i] = local[0] * axis[i] + local[1] * axis[3 + i] + local[2] * axis[6 + i];

    p->rotation = Lerp(c->spawnMinRotation, c->spawnMaxRotation, Trap_frand());
    p->rotationSpeed = Lerp(c->minRotationSpeed, c->maxRotationSpeed, Trap_frand());
    const float aspect = Lerp(c->spawnMinAspectRatio, c->spawnMaxAspectRatio, Trap_frand());
    const float size = Lerp(c->spawnMinSize, c->spawnMaxSize, Trap_frand());
    p->width = size * aspect;
    p->height = size;
    for (int i = 0; i < 4; i++) p->color[i] = ColorByte(c->spawnColor[i]);
    _VectorCopy(p->localUp, G_GetUpVector(cg.flatGravity, p->position));
}

void CG_UpdateParticles() {
    if (cg_skipParticleUpdate.integer) return;
    const float t = qgame.frameSeconds;
    const uint32_t upPhase = qgame.frameCount % UP_REFRESH_FRAMES;
    for (particle_t *p = g_activeDummy.next, *next; p && p != &g_activeDummy; p = next) {
        next = p->next;
        const particleClass_t &c = *p->pclass;
        p->age += t;
        if (p->age >= c.maxTime || _DotProduct(p->position, p->position) < WORLD_CENTRE_RADIUS_SQUARED) {
            CG_DeleteParticle(p);
            continue;
        }
        if (p->spawnNumber % UP_REFRESH_FRAMES == upPhase)
            _VectorCopy(p->localUp, G_GetUpVector(cg.flatGravity, p->position));
        Fade(p, c);
        Move(p, c, t);
    }
}

void CG_AddParticlesToSceneFrom(const particleView_t &view) {
    g_numDrawnParticles = 0;
    if (cg_skipParticleDraw.integer) return;
    const uint32_t frame = qgame.frameCount;
    const float fovFactor = (180.0f - view.fovX) / 90.0f;
    int32_t numVerts = 0;
    for (int32_t material = 0; material < PARTICLE_MATERIALS; material++) {
        particle_t *head = &g_qmatDummies[material];
        surface_t *s = nullptr;
        for (particle_t *p = head->matNext; p && p != head; p = p->matNext) {
            const particleClass_t &c = *p->pclass;
            vec3_t toView;
            _VectorSub(toView, view.origin, p->position);
            if (_DotProduct(toView, toView) > cg_particleCutOff.value * c.drawDistanceSquared * fovFactor) continue;
            if (!Trap_WO_CheckPointPVS(view.pvs, p->position, 0.0f)) continue;
            // A surface only for a material with something to draw: the renderer's
            // frame store is shared with every other drawer.
            if (!s && !(s = BeginSurface(material, numVerts))) break;
            const bool seenLately = p->lastDrawnFrame != 0 && frame - p->lastDrawnFrame <= 1;
            if (!seenLately || p->spawnNumber % FACING_REFRESH_FRAMES == frame % FACING_REFRESH_FRAMES) {
                _VectorCopy(p->normal, toView);
                VectorNormalize(p->normal);
            }
            WriteQuad(*p, view.axis, numVerts);
            numVerts += PARTICLE_QUAD_VERTS;
            s->numVerts += PARTICLE_QUAD_VERTS;
            s->numIndexes += PARTICLE_QUAD_INDEXES;
            g_numDrawnParticles++;
            if (c.useTime) {
                s->effect = c.maxTime > 0.0f ? p->age / c.maxTime : 1.0f;
                s->flags |= SURFACE_FLAG_TIME;
            }
            p->lastDrawnFrame = frame;
            if (c.useOneSurface) {
                EndSurface(s);
                s = nullptr;  // the next particle of the material begins its own
            }
        }
        EndSurface(s);
    }
}

void CG_AddParticlesToScene() {
    CG_AddParticlesToSceneFrom({cg.view.origin, cg.view.axis, cg.view.fovX, cg.view.pvs});
}

void CG_ParticleStats_f() {
    Com_Printf("    \xA4" "08%8d\xA4" "00 active particles", g_numActiveParticles);
    Com_Printf("    \xA4" "08%8d\xA4" "00 drawn particles", g_numDrawnParticles);
}
