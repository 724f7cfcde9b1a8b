// Particle classes: the table, the `.particle` reader and the class tools.
#include "game_cl/cg_particle_class.h"

#include <cmath>
#include <cstring>

#include "common/common.h"
#include "game/g_traps.h"
#include "game/g_main.h"

particleClass_t g_particleClasses[PARTICLE_CLASSES_MAX];
int32_t g_numParticleClasses;

static constexpr const char *PARTICLE_DUMMY = "DUMMY";

// The defaults a class has before its file is read (its name is kept).
static void SetDefaults(particleClass_t *c) {
    c->spawnPosType = PSP_RECT;
    c->spawnMinRadius = c->spawnMaxRadius = 1.0f;
    c->spawnDirType = PSD_CONE;
    c->spawnConeAngle = 10.0f;
    c->spawnMinSpeed = c->spawnMaxSpeed = 1.0f;
    c->spawnMinSize = c->spawnMaxSize = 1.0f;
    c->spawnMinAspectRatio = c->spawnMaxAspectRatio = 1.0f;
    for (float &v : c->spawnColor) v = 1.0f;
    c->pathType = PPT_STANDARD;
    c->maxTime = 30.0f;
    c->beginFade = 0.0f;
    c->endFade = 1.0f;
}

// Reads count numbers from the rest of the key's line.  A missing one, and one
// that is no finite number ("nan", "1e999"), reads 0: an infinite size or time
// would otherwise reach the geometry and the byte colours.
static void ParseFloats(const char **p, float *out, int count) {
    for (int i = 0; i < count; i++) {
        const float v = Com_atof(Com_Parse(p, false));
        out[i] = std::isfinite(v) ? v : 0.0f;
    }
}

namespace {

struct floatKey_t {
    const char *key;
    size_t offset;  // of the first float in particleClass_t
    int count;
};

constexpr floatKey_t FLOAT_KEYS[] = {
    {"spawnBias", offsetof(particleClass_t, spawnBias), 3},
    {"spawnRect", offsetof(particleClass_t, spawnRect), 3},
    {"spawnColor", offsetof(particleClass_t, spawnColor), 4},
    {"fadeColor", offsetof(particleClass_t, fadeColor), 4},
    {"spawnMinRadius", offsetof(particleClass_t, spawnMinRadius), 1},
    {"spawnMaxRadius", offsetof(particleClass_t, spawnMaxRadius), 1},
    {"spawnConeAngle", offsetof(particleClass_t, spawnConeAngle), 1},
    {"spawnMinSpeed", offsetof(particleClass_t, spawnMinSpeed), 1},
    {"spawnMaxSpeed", offsetof(particleClass_t, spawnMaxSpeed), 1},
    {"spawnMinRotation", offsetof(particleClass_t, spawnMinRotation), 1},
    {"spawnMaxRotation", offsetof(particleClass_t, spawnMaxRotation), 1},
    {"spawnMinSize", offsetof(particleClass_t, spawnMinSize), 1},
    {"spawnMaxSize", offsetof(particleClass_t, spawnMaxSize), 1},
    {"spawnMinAspectRatio", offsetof(particleClass_t, spawnMinAspectRatio), 1},
    {"spawnMaxAspectRatio", offsetof(particleClass_t, spawnMaxAspectRatio), 1},
    {"gravityFactor", offsetof(particleClass_t, gravityFactor), 1},
    {"windFactor", offsetof(particleClass_t, windFactor), 1},
    {"maxTime", offsetof(particleClass_t, maxTime), 1},
    {"beginFade", offsetof(particleClass_t, beginFade), 1},
    {"endFade", offsetof(particleClass_t, endFade), 1},
    {"minRotationSpeed", offsetof(particleClass_t, minRotationSpeed), 1},
    {"maxRotationSpeed", offsetof(particleClass_t, maxRotationSpeed), 1},
};

// A key whose one value names one of two choices (value 0 and value 1).
struct enumKey_t {
    const char *key;
    size_t offset;  // of the int32_t field
    const char *names[2];
};

constexpr enumKey_t ENUM_KEYS[] = {
    {"spawnPosType", offsetof(particleClass_t, spawnPosType), {"RECT", "SPHERE"}},
    {"spawnDirType", offsetof(particleClass_t, spawnDirType), {"PYRAMID", "CONE"}},
    {"pathType", offsetof(particleClass_t, pathType), {"STANDARD", "ORBIT"}},
};

}  // namespace

void CG_ParseParticleClass(particleClass_t *c, const char *text) {
    SetDefaults(c);
    const char *p = text ? text : "";
    bool fadeGiven = false;
    // Lines are counted on from the last token: counting from the start each time
    // would make a long file take time growing with its square.
    int line = 1;
    const char *counted = p;
    for (;;) {
        const char *token = Com_Parse(&p, true);
        if (!token[0]) break;
        line += Com_GetLineNumber(counted, p) - 1;
        counted = p;
        if (!strcmp(token, "material")) {
            const char *path = Com_Parse(&p, false);
            const int32_t material = Trap_RegisterMaterial(path);
            if (material < 0 || material >= PARTICLE_MATERIALS) {
                // It would index past the per-material particle lists.
                Com_Error(ER_SAVEOFF, "%s(%d): Material \"%s\" has handle %d, outside 0 to %d", c->name, line, path,
                          material, PARTICLE_MATERIALS - 1);
                c->material = 0;
            } else {
                c->material = material;
            }
            continue;
        }
        if (!strcmp(token, "useTime")) {
            c->useTime = c->useOneSurface = 1;
            continue;
        }
        bool known = false;
        for (const floatKey_t &k : FLOAT_KEYS) {
            if (strcmp(token, k.key) != 0) continue;
            ParseFloats(&p, reinterpret_cast<float *>(reinterpret_cast<char *>(c) + k.offset), k.count);
            if (k.offset == offsetof(particleClass_t, fadeColor)) fadeGiven = true;
            known = true;
            break;
        }
        for (const enumKey_t &k : ENUM_KEYS) {
            if (known || strcmp(token, k.key) != 0) continue;
            known = true;
            auto *field = reinterpret_cast<int32_t *>(reinterpret_cast<char *>(c) + k.offset);
            const char *value = Com_Parse(&p, false);
            *field = 0;
            if (!value[0])
                Com_Error(ER_SAVEOFF, "%s(%d): %s <%s or %s>", c->name, line, k.key, k.names[0], k.names[1]);
            else if (!strcmp(value, k.names[1]))
                *field = 1;
            else if (strcmp(value, k.names[0]) != 0)
                Com_Error(ER_SAVEOFF, "%s(%d): Unknown %s \"%s\"", c->name, line, k.key, value);
        }
        if (!known) Com_Error(ER_SAVEOFF, "%s(%d): Unknown token \"%s\"", c->name, line, token);
    }
    if (!fadeGiven) {
        _VectorCopy(c->fadeColor, c->spawnColor);
        c->fadeColor[3] = 0.0f;
    }
    const float reach = PARTICLE_DRAW_DISTANCE_SIZES * c->spawnMaxSize;
    c->drawDistanceSquared = reach * reach;
}

bool CG_ReloadParticle(int32_t index, const char *path) {
    if (index < 0 || index >= PARTICLE_CLASSES_MAX) return false;
    particleClass_t *c = &g_particleClasses[index];
    memset(c, 0, sizeof *c);
    Com_strncpyz(c->name, path ? path : "", sizeof c->name);
    void *buffer = nullptr;
    if (Trap_ReadFile(c->name, &buffer) < 0 || !buffer) {
        Com_Error(ER_ERROR, "CG_ReloadParticle: Could not open file \"%s\"", c->name);
        return false;
    }
    CG_ParseParticleClass(c, static_cast<const char *>(buffer));
    Com_DPrintf("Loaded \"%s\"", c->name);
    Com_Error(ER_SHOWSAVEOFF, "%s", "");
    Trap_FreeFile(buffer);
    return true;
}

void CG_LoadDefaultParticle() {
    memset(&g_particleClasses[0], 0, sizeof g_particleClasses[0]);
    Com_strncpyz(g_particleClasses[0].name, PARTICLE_DUMMY, sizeof g_particleClasses[0].name);
    g_numParticleClasses = 1;
}

void CG_UnloadParticle(int32_t first) {
    if (first >= 0 && first < g_numParticleClasses) g_numParticleClasses = first;
}

int32_t CG_GetNumParticles() { return g_numParticleClasses; }

int32_t CG_LoadParticle(const char *path) {
    if (!path) path = "";
    // Handle 0 stays the placeholder even when nothing put it there yet.
    if (g_numParticleClasses == 0) CG_LoadDefaultParticle();
    for (int32_t i = 0; i < g_numParticleClasses; i++)
        if (!strcmp(g_particleClasses[i].name, path)) return i;
    // A path the entry cannot hold whole would never be found again: every load
    // would take a new entry until the table is full.
    if (strlen(path) >= sizeof g_particleClasses[0].name) {
        Com_Error(ER_ERROR, "CG_ReloadParticle: Could not open file \"%s\"", path);
        return 0;
    }
    if (g_numParticleClasses >= PARTICLE_CLASSES_MAX) {
        Com_Error(ER_FATAL, "CG_RegisterParticle: Max particle classes is %d", PARTICLE_CLASSES_MAX);
        return 0;
    }
    const int32_t index = g_numParticleClasses++;
    return CG_ReloadParticle(index, path) ? index : 0;
}

const particleClass_t *CG_GetParticleClass(int32_t handle) {
    if (handle < 0 || handle >= g_numParticleClasses) {
        Com_Error(ER_DEVWARNING, "CG_GetParticle: qp out range");
        return &g_particleClasses[0];
    }
    return &g_particleClasses[handle];
}

void CG_ParticleList_f() {
    Com_Printf("-----------");
    for (int32_t i = 0; i < g_numParticleClasses; i++)
        Com_Printf("%2d: \xA4" "08\"%s\"\xA4" "00 QMat: \xA4" "08%d", i, g_particleClasses[i].name,
                   g_particleClasses[i].material);
    Com_Printf("%d particles", g_numParticleClasses);
    Com_Printf("-----------");
}

void CG_ParticleReload_f() {
    if (G_Argc() != 2) {
        Com_Printf("USAGE: particlereload <particle number>");
        return;
    }
    const int32_t n = Com_atoi(G_Argv(1));
    if (n < 0 || n >= g_numParticleClasses) return;
    char path[PARTICLE_CLASS_NAME_SIZE];
    Com_strncpyz(path, g_particleClasses[n].name, sizeof path);
    CG_ReloadParticle(n, path);
}
