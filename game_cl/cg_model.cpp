// Path tables of the client game's own media kinds.  The file formats are read by
// their own loaders; these tables give each path its stable handle and refuse
// files that are not there, so that a missing file is found at registration.
#include "game_cl/cg_model.h"

#include <cstring>

#include "common/common.h"
#include "game/g_traps.h"

namespace {

constexpr int PATH_SIZE = 256;
constexpr const char *DUMMY = "DUMMY";

template <int N>
struct pathTable_t {
    char paths[N][PATH_SIZE];
    int32_t count;
};

pathTable_t<PARTICLE_CLASSES_MAX> particles;
pathTable_t<ACTION_SCRIPTS_MAX> scripts;

template <int N>
int32_t Find(const pathTable_t<N> &t, const char *path) {
    for (int32_t i = 0; i < t.count; i++)
        if (!strcmp(t.paths[i], path)) return i;
    return -1;
}

// The slot of a path, appended when new and its file is there; -1 when the table
// is full (nothing reported), -2 when the file is missing.
template <int N>
int32_t Add(pathTable_t<N> &t, const char *path) {
    const int32_t found = Find(t, path);
    if (found >= 0) return found;
    if (t.count >= N) return -1;
    if (!path[0] || Trap_ReadFile(path, nullptr) <= 0) return -2;
    Com_strncpyz(t.paths[t.count], path, PATH_SIZE);
    return t.count++;
}

template <int N>
void Truncate(pathTable_t<N> &t, int32_t first) {
    if (first >= 0 && first < t.count) t.count = first;
}

// Slot 0 of a table whose handle 0 means "none".
template <int N>
void Reserve(pathTable_t<N> &t) {
    t.count = 0;
    Com_strncpyz(t.paths[0], DUMMY, PATH_SIZE);
    t.count = 1;
}

}  // namespace

// ---- models and animations: placeholders until their readers land ----

static model_t models[MODELS_MAX];
static int32_t numModels;
static animation_t animations[ANIMATIONS_MAX];
static int32_t numAnimations;

int32_t CG_LoadModel(const char *path) {
    if (numModels == 0) CG_LoadDefaultModel();
    for (int32_t i = 0; i < numModels; i++)
        if (!strcmp(models[i].path, path)) return i;
    if (numModels >= MODELS_MAX) {
        Com_Error(ER_SAVEOFF, "CG_RegisterModel: MODELS_MAX");
        return 0;
    }
    if (!CG_LoadModel_(numModels, path)) return 0;
    return numModels++;
}

bool CG_LoadModel_(int32_t slot, const char *path) {
    if (!path[0] || Trap_ReadFile(path, nullptr) <= 0) return false;
    memset(&models[slot], 0, sizeof models[slot]);
    Com_strncpyz(models[slot].path, path, MODEL_PATH_SIZE);
    models[slot].rootBone = -1;
    return true;
}

int32_t CG_LoadDummyModel() {
    model_t &m = models[numModels];
    memset(&m, 0, sizeof m);
    Com_strncpyz(m.path, DUMMY, MODEL_PATH_SIZE);
    m.dummy = 1;
    m.rootBone = -1;
    return numModels++;
}

void CG_LoadDefaultModel() {
    numModels = 0;
    CG_LoadDummyModel();
}

model_t *CG_GetModel(int32_t qmod) { return &models[qmod > 0 && qmod < numModels ? qmod : 0]; }
int32_t CG_GetNumModels() { return numModels; }
const char *CG_GetModelPath(int32_t qmod) { return qmod > 0 && qmod < numModels ? models[qmod].path : DUMMY; }

void CG_UnloadModel(int32_t first) {
    if (first >= 0 && first < numModels) numModels = first;
}

void CG_ReloadModel(int32_t) {}
modelAnim_t *CG_GetModelAnimByName(model_t *, const char *) { return nullptr; }
int32_t CG_GetEndAction(int32_t, const char *) { return EA_CLAMP; }
int32_t CG_GetFirstSync(int32_t, const char *, int32_t, int32_t) { return -1; }
int32_t CG_GetLOD(const model_t *model, float) { return model && model->numLods > 0 ? model->lods[0] : 0; }
bool CG_CheckAnimBones(const model_t *model) { return model && model->numBones <= CG_ANIM_BONES_MAX; }
void CG_ModelList_f() {}
void CG_ModelInfo_f() {}
void CG_ModelReload_f() {}

int32_t CG_LoadAnimation(int32_t, const char *path) {
    if (numAnimations == 0) numAnimations = 1;  // no animation has handle 0
    for (int32_t i = 1; i < numAnimations; i++)
        if (!strcmp(animations[i].path, path)) return i;
    if (numAnimations >= ANIMATIONS_MAX || !path[0] || Trap_ReadFile(path, nullptr) <= 0) return 0;
    memset(&animations[numAnimations], 0, sizeof animations[numAnimations]);
    Com_strncpyz(animations[numAnimations].path, path, MODEL_PATH_SIZE);
    return numAnimations++;
}

animation_t *CG_GetAnimation(int32_t qam) { return &animations[qam > 0 && qam < numAnimations ? qam : 0]; }
animation_t *CG_GetAnimationByName(model_t *, const char *) { return nullptr; }

void CG_UnloadAnimation(int32_t first) {
    if (first >= 0 && first < numAnimations) numAnimations = first;
}

int32_t CG_GetNumAnimations() { return numAnimations; }
void CG_LoadDefaultAnimation() {}
float CG_GetFrame(int32_t, float, int32_t) { return 0.0f; }
bool CG_SampleAnimation(matrix3x4_t *, int32_t, const animation_t *, float) { return false; }

int32_t CG_LoadParticle(const char *path) {
    if (particles.count == 0) Reserve(particles);
    const int32_t slot = Add(particles, path);
    if (slot == -1) Com_Error(ER_FATAL, "CG_RegisterParticle: Max particle classes is %d", PARTICLE_CLASSES_MAX);
    return slot < 0 ? 0 : slot;
}

void CG_LoadDefaultParticle() { Reserve(particles); }
void CG_UnloadParticle(int32_t first) { Truncate(particles, first); }
int32_t CG_GetNumParticles() { return particles.count; }

int32_t CG_LoadActionScript(const char *path) {
    const int32_t slot = Add(scripts, path);
    if (slot == -1) Com_Error(ER_FATAL, "RegisterActionScript: MAX_ACTION_SCRIPTS");
    if (slot == -2) Com_Error(ER_ERROR, "RegisterActionScript: Could not open file \"%s\"", path);
    return slot < 0 ? 0 : slot + 1;
}

void CG_ShutdownActionScripts() { scripts.count = 0; }
