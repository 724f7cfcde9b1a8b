// The client game's tables of its own media kinds: models and skeletal
// animations.  Each keeps the paths it loaded; a handle is the path's slot, a path
// is loaded once, and slot 0 of models is the placeholder "DUMMY" that handle 0
// stands for.  A file that is not there loads nothing and gives 0.
#pragma once

#include <cstdint>

constexpr int MODELS_MAX = 64;
constexpr int ANIMATIONS_MAX = 1024;

// A model's handle; 0 when the file is missing or the table is full.
int32_t CG_LoadModel(const char *path);
// Empties the model table and puts the placeholder in slot 0 (renderer start).
void CG_LoadDefaultModel();
// Forgets the models from slot first on (the media of the world above a mark).
void CG_UnloadModel(int32_t first);
int32_t CG_GetNumModels();
// The path of a model handle; the placeholder's for a handle out of range.
const char *CG_GetModelPath(int32_t model);

// An animation's handle for a model; 0 when the file is missing or the table is full.
int32_t CG_LoadAnimation(int32_t model, const char *path);
void CG_UnloadAnimation(int32_t first);
int32_t CG_GetNumAnimations();

