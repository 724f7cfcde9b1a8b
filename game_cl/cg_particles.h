// Particles: the fixed pool of live particles of the particle classes, moved and
// faded once per client frame and drawn as camera-facing quads, one renderer
// surface per material.  Nothing is allocated while the game runs.
#pragma once

#include <cstdint>

#include "common/com_vector.h"
#include "game/g_public.h"
#include "game_cl/cg_particle_class.h"

constexpr int MAX_PARTICLES = 10000;
constexpr int PARTICLE_QUAD_VERTS = 4, PARTICLE_QUAD_INDEXES = 6;
constexpr int UP_REFRESH_FRAMES = 64;      // a particle's local up is refreshed this seldom
constexpr int FACING_REFRESH_FRAMES = 16;  // and a particle in view its facing normal
constexpr uint32_t SURFACE_FLAG_TIME = 64; // surface_t::effect holds the life fraction

struct particle_t {
    particle_t *next, *prev;        // in the active or the free list
    particle_t *matNext, *matPrev;  // in its material's list (active only)
    const particleClass_t *pclass;  // null while free
    uint32_t spawnNumber;
    uint32_t lastDrawnFrame;        // qgame frame count; 0 never drawn
    vec3_t position, velocity;
    vec3_t localUp;                 // the world's up here, refreshed now and then
    vec3_t normal;                  // toward the viewer, refreshed now and then
    float rotation, rotationSpeed;  // degrees, degrees per second
    float width, height;
    uint8_t color[4];
    float age;                      // seconds
};

// The pool and its circular lists; the heads are entries of the same layout.
extern particle_t g_particles[MAX_PARTICLES];
extern particle_t g_activeDummy, g_freeDummy;
extern particle_t g_qmatDummies[PARTICLE_MATERIALS];
extern int32_t g_numActiveParticles;  // in the active list
extern int32_t g_numDrawnParticles;   // by the last CG_AddParticlesToScene

// The camera the particles are drawn for.
struct particleView_t {
    const float *origin;  // vec3_t
    const float *axis;    // rows right, up, forward
    float fovX;           // degrees
    const void *pvs;      // the engine's visible set; null sees everything
};

void CG_InitParticles();   // every particle free, geometry prepared (renderer start)
void CG_ClearParticles();  // every active particle deleted (world change, client events)
// One particle of a class at origin, emitted about axis (rows); nothing for handle 0,
// with cg_skipParticleCreate set, or when the pool is full.
void CG_CreateParticle(int32_t classHandle, const vec3_t origin, const float axis[9]);
void CG_DeleteParticle(particle_t *p);
void CG_UpdateParticles();  // ages, fades and moves every particle by this frame
// Hands every visible particle to the renderer, one surface per material.
void CG_AddParticlesToScene();
// The same for a given camera (CG_AddParticlesToScene uses the client game's view).
void CG_AddParticlesToSceneFrom(const particleView_t &view);
void CG_ParticleStats_f();  // particleStats: active and drawn counts
