// Particle classes: what one kind of particle looks like and how it moves, read
// from `.particle` text files into a table of 64.  A class's handle is its index;
// index 0 is the placeholder "DUMMY", so handle 0 means no class.
#pragma once

#include <cstdint>

#include "common/com_vector.h"

constexpr int PARTICLE_CLASSES_MAX = 64;
constexpr int PARTICLE_CLASS_NAME_SIZE = 256;
// Material handles index the per-material particle lists, so a class's material
// must stay below this.
constexpr int32_t PARTICLE_MATERIALS = 1024;
constexpr float PARTICLE_DRAW_DISTANCE_SIZES = 75.0f;  // draw distance in maximum sizes

enum particleSpawnPos_t : int32_t { PSP_RECT = 0, PSP_SPHERE = 1 };
// PYRAMID spreads directions over a square pyramid about the axis's second row;
// CONE over a circular cone.
enum particleSpawnDir_t : int32_t { PSD_PYRAMID = 0, PSD_CONE = 1 };
enum particlePath_t : int32_t { PPT_STANDARD = 0, PPT_ORBIT = 1 };

struct particleClass_t {
    char name[PARTICLE_CLASS_NAME_SIZE];  // the file path
    int32_t material;                     // 0..PARTICLE_MATERIALS-1
    float drawDistanceSquared;            // (75 × maximum size)²
    int32_t spawnPosType;                 // particleSpawnPos_t
    vec3_t spawnBias;                     // RECT: centre offset in the spawn axis
    vec3_t spawnRect;                     // RECT: half sizes in the spawn axis
    float spawnMinRadius, spawnMaxRadius; // SPHERE
    int32_t spawnDirType;                 // particleSpawnDir_t
    float spawnConeAngle;                 // degrees
    float spawnMinSpeed, spawnMaxSpeed;   // units per second
    float spawnMinRotation, spawnMaxRotation;  // degrees
    float spawnMinSize, spawnMaxSize;
    float spawnMinAspectRatio, spawnMaxAspectRatio;
    vec4_t spawnColor;                    // RGBA 0..1
    int32_t pathType;                     // particlePath_t
    float gravityFactor;
    float windFactor;                     // kept; nothing moves particles by it
    float maxTime;                        // seconds
    float beginFade, endFade;             // fractions of the life
    float minRotationSpeed, maxRotationSpeed;  // degrees per second
    vec4_t fadeColor;
    uint8_t useTime;                      // the surface carries the life fraction
    uint8_t useOneSurface;                // one renderer surface per particle
};

extern particleClass_t g_particleClasses[PARTICLE_CLASSES_MAX];
extern int32_t g_numParticleClasses;

// Empties the table and puts the placeholder "DUMMY" in entry 0 (renderer start).
void CG_LoadDefaultParticle();
// Forgets every class from index first on.
void CG_UnloadParticle(int32_t first);
int32_t CG_GetNumParticles();
// The handle of the class read from path (read once; a file that cannot be read
// keeps its entry under that name and gives 0).  A full table is a fatal report.
int32_t CG_LoadParticle(const char *path);
// The class of a handle; class 0, reported, for a handle out of range.
const particleClass_t *CG_GetParticleClass(int32_t handle);
// Reads the file path into entry index; false when it cannot be opened.
bool CG_ReloadParticle(int32_t index, const char *path);
// Reads a class from text (the file's contents) into c, which must hold the
// defaults' name already; parse messages name the class and line.
void CG_ParseParticleClass(particleClass_t *c, const char *text);

void CG_ParticleList_f();    // particleList: every class with its material
void CG_ParticleReload_f();  // particleReload n: rereads class n in place
