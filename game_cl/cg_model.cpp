// Model definitions and the table of loaded models.
//
// A .model text names at most one skeleton, up to 16 levels of detail, up to 8
// materials, a scale and up to 128 animations with their playback rules:
//   include <path>            the file's text is read in at this place
//   model <skeleton .bo2|.bo3>
//   lod <distance level> <LO2 path>
//   material <name> <material path>
//   scale <number>
//   animation <name> <AM2 path> [{ speed n | endAction CLAMP|REPEAT|MIRROR|GOTO |
//                                  goto <name> | sync <frame> | frame <frame> <action line> }]
#include "game_cl/cg_model.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_skeleton.h"
#include "game_cl/cg_view.h"

namespace {

constexpr const char *DUMMY = "DUMMY";

}  // namespace

// ---- the definition text ----

namespace {

constexpr int DEF_NAME_SIZE = 64;            // animation names and AM2 paths in the definition
constexpr int INCLUDE_MAX_BYTES = 10000;     // one included file
constexpr int DEF_SPARE_BYTES = 25000;       // zero bytes behind the text; all includes must fit
constexpr int FRAME_ACTION_LINE_MAX = 254;   // characters of one frame action line
constexpr int SYNC_FRAME_MAX = MODEL_SYNC_FRAMES - 1;
constexpr float LOD_BEST_START = 1e8f;
constexpr float LOD_FOV_REFERENCE = 90.0f;   // degrees at which a distance counts as itself

constexpr const char *END_ACTION_NAMES[] = {"CLAMP", "REPEAT", "MIRROR", "GOTO"};

struct animDef_t {
    char name[DEF_NAME_SIZE];
    char path[DEF_NAME_SIZE];
    int32_t endAction;
    char gotoName[DEF_NAME_SIZE];
    float speed;
    uint8_t sync[MODEL_SYNC_FRAMES / 8];
    int32_t numFrameActions;
    float frames[MODEL_FRAME_ACTIONS_MAX];
    char actions[MODEL_FRAME_ACTIONS_MAX][MODEL_PATH_SIZE];
};

struct modelDef_t {
    int32_t numSkeletons;
    char skeleton[MODEL_PATH_SIZE];
    float scale;
    int32_t numLods;
    float lodLevels[MODEL_LODS_MAX];
    char lodPaths[MODEL_LODS_MAX][MODEL_PATH_SIZE];
    int32_t numMaterials;
    char materialNames[MODEL_MATERIALS_MAX][MODEL_PATH_SIZE];
    char materialPaths[MODEL_MATERIALS_MAX][MODEL_PATH_SIZE];
    int32_t materials[MODEL_MATERIALS_MAX];
    int32_t numAnims;
    animDef_t anims[MODEL_ANIMATIONS_MAX];
};

// One record reused by every load: it is large.
modelDef_t modelDef;

// The text being parsed: its start for line numbers, the end of the text and the
// end of the room that includes may fill.
struct defText_t {
    const char *path;
    char *start;
    int32_t length;
    int32_t capacity;
};

void DefError(const defText_t &text, const char *p, const char *fmt, ...) __attribute__((format(printf, 3, 4)));
void DefError(const defText_t &text, const char *p, const char *fmt, ...) {
    char message[MAX_PRINT_TEXT];
    va_list args;
    va_start(args, fmt);
    vsnprintf(message, sizeof message, fmt, args);
    va_end(args);
    Com_Error(ER_SAVEOFF, "%s(%d): %s", text.path, Com_GetLineNumber(text.start, p), message);
}

// Copies a token into a definition field; a token that does not fit is refused
// rather than cut, so that a path never names another file.
bool CopyToken(const defText_t &text, const char *p, char *dst, int size, const char *token) {
    if (static_cast<int>(strlen(token)) >= size) {
        DefError(text, p, "%s: \"%s\" is longer than %d characters", text.path, token, size - 1);
        return false;
    }
    Com_strncpyz(dst, token, size);
    return true;
}

// Writes the included file's text and a line break at *p, ahead of the rest.
bool Include(defText_t &text, const char **p) {
    const char *token = Com_Parse(p, false);
    char path[MODEL_PATH_SIZE];
    Com_strncpyz(path, token, sizeof path);
    void *buffer = nullptr;
    const int32_t size = path[0] ? Trap_ReadFile(path, &buffer) : -1;
    if (size < 0 || !buffer) {
        DefError(text, *p, "%s: Could not open file \"%s\"", text.path, path);
        return false;
    }
    bool ok = true;
    if (size > INCLUDE_MAX_BYTES) {
        DefError(text, *p, "%s: Max include file size is %d bytes", text.path, INCLUDE_MAX_BYTES);
        ok = false;
    } else if (text.length + size + 1 > text.capacity) {
        DefError(text, *p, "%s: Included text is more than %d bytes in all", text.path, DEF_SPARE_BYTES);
        ok = false;
    } else {
        char *at = text.start + (*p - text.start);
        const int32_t rest = text.length - static_cast<int32_t>(at - text.start);
        memmove(at + size + 1, at, static_cast<size_t>(rest));
        memcpy(at, buffer, static_cast<size_t>(size));
        // A zero byte inside the included text would end the whole text early.
        for (int32_t i = 0; i < size; i++)
            if (!at[i]) at[i] = ' ';
        at[size] = '\n';
        text.length += size + 1;
        text.start[text.length] = 0;
    }
    Trap_FreeFile(buffer);
    return ok;
}

// The block after an animation line, its "{" read; false fails the load.  A 65th
// frame action ends the block there.
bool ParseAnimBlock(const defText_t &text, const char **p, animDef_t *anim) {
    for (;;) {
        const char *token = Com_Parse(p, true);
        if (!token[0]) {
            DefError(text, *p, "%s: Animation must end with }", text.path);
            return false;
        }
        if (!strcmp(token, "}")) return true;
        if (!strcmp(token, "speed")) {
            anim->speed = Com_atof(Com_Parse(p, false));
        } else if (!strcmp(token, "endAction")) {
            const char *word = Com_Parse(p, false);
            anim->endAction = EA_CLAMP;
            if (!word[0]) {
                DefError(text, *p, "%s: endAction <end action>", text.path);
                continue;
            }
            int32_t found = -1;
            for (int32_t i = 0; i < 4; i++)
                if (!strcmp(word, END_ACTION_NAMES[i])) found = i;
            if (found < 0)
                DefError(text, *p, "%s: Unknown endAction \"%s\"", text.path, word);
            else
                anim->endAction = found;
        } else if (!strcmp(token, "goto")) {
            anim->endAction = EA_GOTO;
            if (!CopyToken(text, *p, anim->gotoName, sizeof anim->gotoName, Com_Parse(p, false))) return false;
        } else if (!strcmp(token, "sync")) {
            int32_t frame = Com_atoi(Com_Parse(p, false));
            frame = frame < 0 ? 0 : frame > SYNC_FRAME_MAX ? SYNC_FRAME_MAX : frame;
            anim->sync[frame >> 3] |= static_cast<uint8_t>(1u << (frame & 7));
        } else if (!strcmp(token, "frame")) {
            if (anim->numFrameActions >= MODEL_FRAME_ACTIONS_MAX) {
                DefError(text, *p, "%s: Max frame action is %d", text.path, MODEL_FRAME_ACTIONS_MAX);
                CG_SkipRestOfLine(p);  // the refused action's own words are not keywords
                return true;
            }
            const int32_t n = anim->numFrameActions++;
            anim->frames[n] = Com_atof(Com_Parse(p, false));
            char *line = anim->actions[n];
            int32_t length = 0;
            line[0] = 0;
            for (;;) {
                const char *before = *p;
                const char *word = Com_Parse(p, false);
                if (!word[0]) break;
                const int32_t wordLength = static_cast<int32_t>(strlen(word));
                if (length + wordLength + 1 > FRAME_ACTION_LINE_MAX) {
                    DefError(text, *p, "%s: frame action line too long", text.path);
                    *p = before;  // the rest of the line is read as keywords of the block
                    break;
                }
                memcpy(line + length, word, static_cast<size_t>(wordLength));
                length += wordLength;
                line[length++] = ' ';
                line[length] = 0;
            }
        }
        // Any other word of the block is skipped.
    }
}

bool ParseModelDef(defText_t &text) {
    memset(&modelDef, 0, sizeof modelDef);
    modelDef.scale = 1.0f;
    const char *p = text.start;
    for (;;) {
        const char *token = Com_Parse(&p, true);
        if (!token[0]) break;
        char keyword[DEF_NAME_SIZE];
        Com_strncpyz(keyword, token, sizeof keyword);
        if (!strcmp(keyword, "include")) {
            if (!Include(text, &p)) return false;
        } else if (!strcmp(keyword, "model")) {
            const char *path = Com_Parse(&p, false);
            if (modelDef.numSkeletons >= 1) {
                DefError(text, p, "%s: We only support max 1 BO2 file", text.path);
                return false;
            }
            if (!path[0]) {
                DefError(text, p, "%s: model <BO2 path>", text.path);
                return false;
            }
            if (!CopyToken(text, p, modelDef.skeleton, MODEL_PATH_SIZE, path)) return false;
            modelDef.numSkeletons = 1;
        } else if (!strcmp(keyword, "lod")) {
            const char *level = Com_Parse(&p, false);
            const float distance = Com_atof(level);
            const bool haveLevel = level[0] != 0;
            const char *path = Com_Parse(&p, false);
            if (modelDef.numLods >= MODEL_LODS_MAX) {
                DefError(text, p, "%s: We only support max %d LODs", text.path, MODEL_LODS_MAX);
                return false;
            }
            if (!haveLevel || !path[0]) {
                DefError(text, p, "%s: lod <lod level> <LO2 path>", text.path);
                return false;
            }
            if (!CopyToken(text, p, modelDef.lodPaths[modelDef.numLods], MODEL_PATH_SIZE, path)) return false;
            modelDef.lodLevels[modelDef.numLods++] = distance;
        } else if (!strcmp(keyword, "material")) {
            if (modelDef.numMaterials >= MODEL_MATERIALS_MAX) {
                DefError(text, p, "%s: We only support max %d Materials", text.path, MODEL_MATERIALS_MAX);
                return false;
            }
            const int32_t n = modelDef.numMaterials;
            if (!CopyToken(text, p, modelDef.materialNames[n], MODEL_PATH_SIZE, Com_Parse(&p, false))) return false;
            if (!CopyToken(text, p, modelDef.materialPaths[n], MODEL_PATH_SIZE, Com_Parse(&p, false))) return false;
            if (!modelDef.materialNames[n][0] || !modelDef.materialPaths[n][0]) {
                DefError(text, p, "%s: material <name> <material path>", text.path);
                return false;
            }
            modelDef.materials[n] = Trap_RegisterMaterial(modelDef.materialPaths[n]);
            if (!modelDef.materials[n]) return false;
            modelDef.numMaterials++;
        } else if (!strcmp(keyword, "scale")) {
            modelDef.scale = Com_atof(Com_Parse(&p, false));
        } else if (!strcmp(keyword, "animation")) {
            if (modelDef.numAnims >= MODEL_ANIMATIONS_MAX) {
                DefError(text, p, "%s: We only support max %d animations", text.path, MODEL_ANIMATIONS_MAX);
                return false;
            }
            animDef_t *anim = &modelDef.anims[modelDef.numAnims];
            memset(anim, 0, sizeof *anim);
            anim->speed = 1.0f;
            const char *name = Com_Parse(&p, false);
            if (!name[0]) {
                DefError(text, p, "%s: animatoin <name> <am2 path> [{...}]", text.path);
                return false;
            }
            // The model's own record keeps 15 characters; a longer name could never be found.
            if (!CopyToken(text, p, anim->name, MODEL_ANIM_NAME_SIZE, name)) return false;
            const char *path = Com_Parse(&p, false);
            if (!path[0]) {
                DefError(text, p, "%s: animatoin <name> <am2 path> [{...}]", text.path);
                return false;
            }
            if (!CopyToken(text, p, anim->path, DEF_NAME_SIZE, path)) return false;
            modelDef.numAnims++;
            const char *before = p;
            if (!strcmp(Com_Parse(&p, true), "{")) {
                if (!ParseAnimBlock(text, &p, anim)) return false;
            } else {
                p = before;
            }
        } else {
            DefError(text, p, "%s: Unknown token \"%s\"", text.path, keyword);
            return false;
        }
    }
    if (modelDef.numLods == 0) {
        DefError(text, p, "%s: Found no LODs", text.path);
        return false;
    }
    return true;
}

// ---- the table ----

model_t models[MODELS_MAX];
int32_t numModels;
uint8_t bonesReported[MODELS_MAX];  // the too-many-bones report was made for the slot's model

// Releases what the slot owns and clears it.
void CleanUpModel(model_t *model) {
    CG_FreeSkeleton(model);
    for (int32_t a = 0; a < MODEL_ANIMATIONS_MAX; a++) {
        modelAnim_t &anim = model->animations[a];
        for (int32_t f = 0; f < anim.numFrameActions && f < MODEL_FRAME_ACTIONS_MAX; f++)
            if (anim.frameActions[f].action) G_Free(anim.frameActions[f].action);
    }
    memset(model, 0, sizeof *model);
    model->rootBone = -1;
    bonesReported[model - models] = 0;
}

char *CopyText(const char *text) {
    const size_t size = strlen(text) + 1;
    auto *copy = static_cast<char *>(G_Alloc(static_cast<uint32_t>(size)));
    if (copy) memcpy(copy, text, size);
    return copy;
}

// Fills the slot from modelDef; false leaves the caller to clean it up.
bool BuildModel(int32_t slot, model_t *model, const char *path) {
    Com_strncpyz(model->path, path, MODEL_PATH_SIZE);
    model->dummy = 0;
    model->rootBone = -1;
    if (modelDef.numSkeletons) {
        const char *skeleton = modelDef.skeleton;
        if (Com_IsExtension(skeleton, ".BO2")) {
            if (!CG_LoadBO2(model, skeleton, path)) return false;
        } else if (Com_IsExtension(skeleton, ".BO3")) {
            if (!CG_LoadBO3(model, skeleton)) return false;
        } else {
            Com_Error(ER_SAVEOFF, "CG_RegisterModel \"%s\": We only support .BO2 or .BO3 files", path);
        }
    }
    model->numMaterials = modelDef.numMaterials;
    memcpy(model->materials, modelDef.materials, sizeof model->materials);
    model->numLods = modelDef.numLods;
    for (int32_t l = 0; l < modelDef.numLods; l++) {
        model->lodLevels[l] = modelDef.lodLevels[l];
        model->lods[l] = Trap_RegisterLOD(modelDef.lodPaths[l], static_cast<int32_t>(modelDef.scale));
    }
    for (int32_t a = 0; a < modelDef.numAnims; a++) {
        const animDef_t &def = modelDef.anims[a];
        modelAnim_t &anim = model->animations[a];
        Com_strncpyz(anim.name, def.name, MODEL_ANIM_NAME_SIZE);
        // Loaded directly, not through the registration wrapper, so that a bad file
        // fails this model instead of dropping the game half-way through it.
        anim.qam = CG_LoadAnimation(slot, def.path);
        if (!anim.qam) {
            Com_Error(ER_SAVEOFF, "CG_RegisterModel \"%s\": Could not load file \"%s\"", path, def.path);
            return false;
        }
        model->numAnimations = a + 1;
        anim.endAction = def.endAction;
        anim.speed = def.speed;
        Com_strncpyz(anim.gotoName, def.gotoName, MODEL_ANIM_NAME_SIZE);
        memcpy(anim.sync, def.sync, sizeof anim.sync);
        for (int32_t f = 0; f < def.numFrameActions; f++) {
            anim.frameActions[f].frame = def.frames[f];
            anim.frameActions[f].action = CopyText(def.actions[f]);
            if (!anim.frameActions[f].action) return false;
            anim.numFrameActions = f + 1;
        }
    }
    return true;
}

void PrintModelLine(int32_t slot) {
    const model_t &m = models[slot];
    Com_Printf("%2d \"%s\" lods: %d bones: %d tags: %d anims: %d", slot, m.path, m.numLods, m.numBones, m.numTags,
               m.numAnimations);
}

}  // namespace

int32_t CG_LoadModel(const char *path) {
    if (cg.loadingBlocked || !path || !path[0]) return 0;
    if (numModels == 0) CG_LoadDefaultModel();
    for (int32_t i = 0; i < numModels; i++)
        if (!strcmp(models[i].path, path)) return i;
    if (numModels >= MODELS_MAX) {
        Com_Error(ER_SAVEOFF, "CG_RegisterModel: MODELS_MAX");
        return 0;
    }
    // The slot stays taken when the load fails; its path is cleared so it is never found.
    const int32_t slot = numModels++;
    return CG_LoadModel_(slot, path) ? slot : 0;
}

bool CG_LoadModel_(int32_t slot, const char *path) {
    if (slot < 0 || slot >= MODELS_MAX) return false;
    const int32_t start = Trap_GetTime();
    model_t *model = &models[slot];
    CleanUpModel(model);
    void *buffer = nullptr;
    const int32_t length = Trap_ReadFile25K(path, &buffer);
    if (length < 0 || !buffer) {
        Com_Error(ER_SAVEOFF, "CG_RegisterModel: Couldn't open file \"%s\"", path);
        return false;
    }
    defText_t text = {path, static_cast<char *>(buffer), length, length + DEF_SPARE_BYTES};
    const bool ok = ParseModelDef(text) && BuildModel(slot, model, path);
    Trap_FreeFile(buffer);
    if (!ok) {
        CleanUpModel(model);
        return false;
    }
    Com_Error(ER_SHOWSAVEOFF, "%s", "");
    Com_Printf("Model: \"%s\" (%d msec)", path, Trap_GetTime() - start);
    return true;
}

int32_t CG_LoadDummyModel() {
    if (numModels >= MODELS_MAX) {
        Com_Error(ER_FATAL, "CG_RegisterDummyModel: MODELS_MAX");
        return 0;
    }
    model_t *model = &models[numModels];
    CleanUpModel(model);
    Com_strncpyz(model->path, DUMMY, MODEL_PATH_SIZE);
    model->dummy = 1;
    return numModels++;
}

void CG_LoadDefaultModel() {
    if (numModels != 0) {
        Com_Error(ER_FATAL, "CG_RegisterDefaultModel: numModels != 0");
        return;
    }
    CG_LoadDummyModel();
}

model_t *CG_GetModel(int32_t qmod) { return &models[qmod > 0 && qmod < numModels ? qmod : 0]; }
int32_t CG_GetNumModels() { return numModels; }
const char *CG_GetModelPath(int32_t qmod) { return CG_GetModel(qmod)->path; }

void CG_UnloadModel(int32_t first) {
    if (cg.loadingBlocked || first < 0 || first >= numModels) return;
    for (int32_t i = first; i < numModels; i++) CleanUpModel(&models[i]);
    numModels = first;
}

void CG_ReloadModel(int32_t slot) {
    if (cg.loadingBlocked || slot < 1 || slot >= numModels) return;
    const int32_t start = Trap_GetTime();
    char path[MODEL_PATH_SIZE];
    Com_strncpyz(path, models[slot].path, sizeof path);
    if (!path[0]) return;  // a slot whose load failed has nothing to reload
    if (!CG_LoadModel_(slot, path)) return;
    for (int32_t m = 0; m < models[slot].numMaterials; m++) Trap_ReloadMaterial(models[slot].materials[m]);
    Com_Printf("CG_ReloadModel: Reloaded \"%s\" in %d msec", path, Trap_GetTime() - start);
}

modelAnim_t *CG_GetModelAnimByName(model_t *model, const char *name) {
    if (!model || !name) return nullptr;
    for (int32_t a = 0; a < model->numAnimations && a < MODEL_ANIMATIONS_MAX; a++)
        if (!strcmp(model->animations[a].name, name)) return &model->animations[a];
    return nullptr;
}

int32_t CG_GetEndAction(int32_t qmod, const char *name) {
    const modelAnim_t *anim = CG_GetModelAnimByName(CG_GetModel(qmod), name);
    if (!anim) {
        Com_Error(ER_FATAL, "CL_GetEndAction: CL_GetModelAnimByName returned NULL");
        return EA_CLAMP;
    }
    return anim->endAction;
}

int32_t CG_GetFirstSync(int32_t qmod, const char *name, int32_t first, int32_t last) {
    const modelAnim_t *anim = CG_GetModelAnimByName(CG_GetModel(qmod), name);
    if (!anim) {
        Com_Error(ER_FATAL, "CL_GetFirstSync: CL_GetModelAnimByName returned NULL");
        return -1;
    }
    if (first < 0) first = 0;
    if (last > MODEL_SYNC_FRAMES - 1) last = MODEL_SYNC_FRAMES - 1;
    for (int32_t f = first; f <= last; f++)
        if (anim->sync[f >> 3] & (1u << (f & 7))) return f;
    return -1;
}

int32_t CG_GetLOD(const model_t *model, float distance) {
    if (!model || model->numLods < 1) return 0;
    if (model->numLods < 2) return model->lods[0];
    float d = CG_GetZoomFov() / LOD_FOV_REFERENCE * distance + cg_lodBias.value;
    if (d < 0.0f) d = 0.0f;
    int32_t best = 0;
    float bestDifference = LOD_BEST_START;
    for (int32_t l = 0; l < model->numLods && l < MODEL_LODS_MAX; l++) {
        const float difference = fabsf(model->lodLevels[l] - d);
        if (difference < bestDifference) {
            bestDifference = difference;
            best = l;
        }
    }
    if (cg_printLod.integer) Com_Printf("LOD %d dist: %.4f", best, static_cast<double>(distance));
    return model->lods[best];
}

bool CG_CheckAnimBones(const model_t *model) {
    if (!model) return false;
    if (model->numBones <= CG_ANIM_BONES_MAX) return true;
    const ptrdiff_t slot = model - models;
    const bool inTable = slot >= 0 && slot < MODELS_MAX;
    if (!inTable || !bonesReported[slot]) {
        Com_Error(ER_WARNING, "\"%s\": %d bones, animated drawing holds at most %d", model->path, model->numBones,
                  CG_ANIM_BONES_MAX);
        if (inTable) bonesReported[slot] = 1;
    }
    return false;
}

// ---- console commands ----

void CG_ModelList_f() {
    Com_Printf("-----------");
    for (int32_t i = 0; i < numModels; i++) PrintModelLine(i);
    Com_Printf("%d models", numModels);
    Com_Printf("-----------");
}

void CG_ModelInfo_f() {
    if (G_Argc() != 2) {
        Com_Printf("USAGE: modelinfo <qmod>");
        return;
    }
    const int32_t qmod = Com_atoi(G_Argv(1));
    if (qmod < 0 || qmod >= numModels) {
        Com_Error(ER_ERROR, "qmod out of range");
        return;
    }
    PrintModelLine(qmod);
    const model_t &m = models[qmod];
    for (int32_t l = 0; l < m.numLods; l++) {
        int32_t verts = 0, indexes = 0;
        Trap_GetLODInfo(m.lods[l], &verts, &indexes);
        Com_Printf("LOD \xA4" "08%d\xA4" "00 verts: \xA4" "08%d\xA4" "00 tris: \xA4" "08%d\xA4" "00", l, verts,
                   indexes / 3);
    }
    for (int32_t t = 0; t < m.numTags; t++) {
        const tag_t &tag = m.tags[t];
        const float *a = tag.axis;
        Com_Printf("%d \"%s\" %d (%.4f %.4f %.4f) (%.2f %.2f %.2f) (%.2f %.2f %.2f) (%.2f %.2f %.2f)", t, tag.name,
                   tag.bone, tag.origin[0], tag.origin[1], tag.origin[2], a[0], a[1], a[2], a[3], a[4], a[5], a[6],
                   a[7], a[8]);
    }
    for (int32_t a = 0; a < m.numAnimations; a++) {
        const animation_t *anim = CG_GetAnimation(m.animations[a].qam);
        Com_Printf("ANIM \xA4" "08%d\xA4" "00 \xA4" "08\"%s\"\xA4" "00 frames: \xA4" "08%d\xA4" "00", a,
                   m.animations[a].name, anim ? anim->numFrames : 0);
    }
}

void CG_ModelReload_f() {
    if (G_Argc() != 2) {
        Com_Printf("USAGE: modelreload <model number>");
        return;
    }
    CG_ReloadModel(Com_atoi(G_Argv(1)));
}

