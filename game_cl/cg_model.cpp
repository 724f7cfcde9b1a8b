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

pathTable_t<MODELS_MAX> models;
pathTable_t<ANIMATIONS_MAX> animations;

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

int32_t CG_LoadModel(const char *path) {
    if (models.count == 0) Reserve(models);
    const int32_t slot = Add(models, path);
    if (slot == -1) Com_Error(ER_SAVEOFF, "CG_RegisterModel: MODELS_MAX");
    if (slot < 0) return 0;
    return slot;
}

void CG_LoadDefaultModel() { Reserve(models); }
void CG_UnloadModel(int32_t first) { Truncate(models, first); }
int32_t CG_GetNumModels() { return models.count; }

const char *CG_GetModelPath(int32_t model) {
    return model > 0 && model < models.count ? models.paths[model] : DUMMY;
}

int32_t CG_LoadAnimation(int32_t model, const char *path) {
    (void)model;
    if (animations.count == 0) animations.count = 1;  // no animation has handle 0
    const int32_t slot = Add(animations, path);
    return slot < 0 ? 0 : slot;
}

void CG_UnloadAnimation(int32_t first) { Truncate(animations, first); }
int32_t CG_GetNumAnimations() { return animations.count; }

