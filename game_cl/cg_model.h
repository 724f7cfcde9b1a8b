// The client game's models and skeletal animations.
//
// A model is read from a text definition (.model) naming one skeleton (BO2 binary
// or BO3 text), its renderer levels of detail, materials and named animations
// (AM2 binary).  Handles are table slots: model slot 0 is the placeholder "DUMMY"
// and a handle out of range resolves to it; no animation has handle 0.  Both
// tables are released down to a mark: everything loaded after it goes, earlier
// handles stay valid.
#pragma once

#include <cstdint>

#include "common/com_vector.h"

constexpr int MODELS_MAX = 64;
constexpr int ANIMATIONS_MAX = 1024;

constexpr int MODEL_PATH_SIZE = 256;
constexpr int MODEL_LODS_MAX = 16;
constexpr int MODEL_MATERIALS_MAX = 8;
constexpr int MODEL_ANIMATIONS_MAX = 128;
constexpr int MODEL_FRAME_ACTIONS_MAX = 64;
constexpr int MODEL_ANIM_NAME_SIZE = 16;   // names of at most 15 characters
constexpr int MODEL_TAG_NAME_SIZE = 64;    // of which at most 31 characters are used
constexpr int MODEL_SYNC_FRAMES = 256;     // one sync bit per frame
constexpr int BO2_BONES_MAX = 128;
constexpr int BO2_TAGS_MAX = 32;
constexpr int AM2_FRAMES_MAX = 256;
// The bone matrices every animated drawer holds; a skeleton with more bones is
// refused for animated drawing although the file formats allow BO2_BONES_MAX.
constexpr int CG_ANIM_BONES_MAX = 40;

// What an animation does when it reaches its end.
enum endAction_t : int32_t {
    EA_CLAMP = 0,   // holds the last frame
    EA_REPEAT = 1,  // starts again, the last frame blending into the first
    EA_MIRROR = 2,  // runs back and forth
    EA_GOTO = 3,    // hands over to the animation named by its goto name
};

struct bone_t {
    int32_t index;      // its own position in the skeleton (0 from a BO3 skeleton)
    int32_t parent;     // -1 for the root
    vec3_t restLocal;   // rest position relative to the parent
    matrix3x4_t rest;   // rest pose in model space
};

struct tag_t {
    char name[MODEL_TAG_NAME_SIZE];
    int32_t bone;       // -1: not bound to a bone
    vec3_t origin;
    matrix3x3_t axis;   // rows right, up, forward
};

struct frameAction_t {
    float frame;
    char *action;       // an action-script command line, owned
};

// One named animation of a model with its playback rules.
struct modelAnim_t {
    char name[MODEL_ANIM_NAME_SIZE];
    int32_t qam;                              // animation handle
    int32_t endAction;                        // endAction_t
    char gotoName[MODEL_ANIM_NAME_SIZE];      // what follows EA_GOTO
    float speed;                              // animation lengths per second; negative plays backwards
    uint8_t sync[MODEL_SYNC_FRAMES / 8];      // bit n (byte n / 8, bit n % 8) for frame n
    int32_t numFrameActions;
    frameAction_t frameActions[MODEL_FRAME_ACTIONS_MAX];
};

struct model_t {
    char path[MODEL_PATH_SIZE];
    uint8_t dummy;          // 1 only for the placeholder in slot 0
    int32_t rootBone;       // the bone whose parent is -1; -1 when none
    int32_t numMaterials;
    int32_t numBones;
    int32_t numTags;
    int32_t numLods;        // 1..16 for a loaded model, 0 for the placeholder
    int32_t numAnimations;
    int32_t materials[MODEL_MATERIALS_MAX];
    bone_t *bones;          // numBones, owned
    tag_t *tags;            // numTags, owned
    float lodLevels[MODEL_LODS_MAX];
    int32_t lods[MODEL_LODS_MAX];  // renderer model handles
    modelAnim_t animations[MODEL_ANIMATIONS_MAX];
};

// One bone in one frame of an animation.
struct bonePose_t {
    uint8_t present;        // 0: the frame leaves this bone alone
    matrix3x4_t matrix;     // local transform relative to the rest position
};

struct animation_t {
    char path[MODEL_PATH_SIZE];
    int32_t numBones;
    int32_t numFrames;      // 0..256
    bonePose_t **frames;    // numFrames arrays of numBones poses, owned
};

// ---- models ----

// A model's handle: the slot of a path already loaded, else the next slot loaded
// from the file; 0 while loading is blocked, when the table is full or the load
// fails (the failed slot stays taken but is never found by its path again).
int32_t CG_LoadModel(const char *path);
// Loads path into slot; false (the slot cleared and released) on any failure.
bool CG_LoadModel_(int32_t slot, const char *path);
// Takes the next slot as a placeholder; its handle.
int32_t CG_LoadDummyModel();
// Loads the placeholder as slot 0 of an empty table (renderer start).
void CG_LoadDefaultModel();
// The model of a handle; slot 0 for a handle out of range.
model_t *CG_GetModel(int32_t qmod);
int32_t CG_GetNumModels();
// The path of a model handle; the placeholder's for a handle out of range.
const char *CG_GetModelPath(int32_t qmod);
// Releases the models from slot first on (nothing while loading is blocked).
void CG_UnloadModel(int32_t first);
// Loads slot 1..count-1 again from its path and reloads its materials.
void CG_ReloadModel(int32_t slot);
// The model's animation of that name; null when none or no model.
modelAnim_t *CG_GetModelAnimByName(model_t *model, const char *name);
// The end action of the model's named animation (fatal when absent).
int32_t CG_GetEndAction(int32_t qmod, const char *name);
// The first frame in first..last with its sync bit set; -1 when none.
int32_t CG_GetFirstSync(int32_t qmod, const char *name, int32_t first, int32_t last);
// The renderer handle of the level of detail to draw at distance from the view.
int32_t CG_GetLOD(const model_t *model, float distance);
// False, reported once per loaded model, when the skeleton has more bones than
// the drawers' CG_ANIM_BONES_MAX matrices.
bool CG_CheckAnimBones(const model_t *model);

// Console commands.
void CG_ModelList_f();
void CG_ModelInfo_f();
void CG_ModelReload_f();

// ---- animations ----

// An animation's handle for model qmod (0: no model, no bone-count check and no
// rest correction); 0 on failure.  A path already loaded returns its handle.
int32_t CG_LoadAnimation(int32_t qmod, const char *path);
// The record of a handle (fatal outside the table).
animation_t *CG_GetAnimation(int32_t qam);
// The animation behind the model's animation of that name; null when none.
animation_t *CG_GetAnimationByName(model_t *model, const char *name);
// Releases the animations from handle first on.
void CG_UnloadAnimation(int32_t first);
int32_t CG_GetNumAnimations();
void CG_LoadDefaultAnimation();

// The frame number (float, 0..frames) of time (a fraction of the animation's
// length) under an end action.
float CG_GetFrame(int32_t endAction, float time, int32_t numFrames);
// Blends frame floor(frame) toward the next one (wrapping) by the fraction into
// the first numLocals local matrices; a bone absent from both frames is left as
// it was.  Never reads past the animation's own bones.  False when frame is out
// of the animation.
bool CG_SampleAnimation(matrix3x4_t *locals, int32_t numLocals, const animation_t *anim, float frame);

// ---- other media kinds ----

