// Skeleton files: BO2 (binary, little-endian, read field by field) and BO3 (text).
#include "game_cl/cg_skeleton.h"

#include <cstring>

#include "game/g_main.h"
#include "game/g_traps.h"

namespace {

constexpr int BO2_HEAD_BYTES = 20;
constexpr int BO2_BONE_BYTES = 64;
constexpr int BO2_TAG_BYTES = 84;
constexpr int BO2_TAG_NAME_BYTES = 32;
constexpr int32_t BO2_VERSION = 1;
constexpr byte BO2_MAGIC[4] = {'.', 'B', 'O', '2'};
constexpr int TAG_NAME_USED = 32;  // 31 characters and the terminator

// Zeroed arrays for the counts; false when either allocation fails.
bool AllocSkeleton(model_t *model, int32_t numBones, int32_t numTags) {
    CG_FreeSkeleton(model);
    if (numBones > 0) {
        model->bones = static_cast<bone_t *>(G_Alloc(static_cast<uint32_t>(sizeof(bone_t) * numBones)));
        if (!model->bones) return false;
        memset(model->bones, 0, sizeof(bone_t) * numBones);
    }
    model->numBones = numBones;
    if (numTags > 0) {
        model->tags = static_cast<tag_t *>(G_Alloc(static_cast<uint32_t>(sizeof(tag_t) * numTags)));
        if (!model->tags) {
            CG_FreeSkeleton(model);
            return false;
        }
        memset(model->tags, 0, sizeof(tag_t) * numTags);
    }
    model->numTags = numTags;
    return true;
}

// The checks both formats share once their records are in: every parent and tag
// bone in -1..bones-1, no bone its own ancestor, a root when there are bones (the
// last bone without a parent).  Reports at level with prefix ("LoadBO2 \"path\"").
bool CheckSkeleton(model_t *model, const char *prefix, int level, const char *rootPath, const char *rootPrefix) {
    const int32_t n = model->numBones;
    for (int32_t b = 0; b < n; b++) {
        const int32_t parent = model->bones[b].parent;
        if (parent < -1 || parent >= n) {
            Com_Error(level, "%s: Bone %d has parent %d outside -1..%d", prefix, b, parent, n - 1);
            return false;
        }
    }
    model->rootBone = -1;
    for (int32_t b = 0; b < n; b++)
        if (model->bones[b].parent == -1) model->rootBone = b;
    if (n > 0 && model->rootBone < 0) {
        // A skeleton can come in a server's pack: refusing the model is enough, the
        // client goes on.
        Com_Error(level, "%s \"%s\": Found no mother bone", rootPrefix, rootPath);
        return false;
    }
    // A chain of parents longer than the bone count must have come back to a bone.
    for (int32_t b = 0; b < n; b++) {
        int32_t steps = 0;
        for (int32_t p = model->bones[b].parent; p != -1; p = model->bones[p].parent) {
            if (++steps > n) {
                Com_Error(level, "%s: Bone %d is its own ancestor", prefix, b);
                return false;
            }
        }
    }
    for (int32_t t = 0; t < model->numTags; t++) {
        const int32_t bone = model->tags[t].bone;
        if (bone < -1 || bone >= n) {
            Com_Error(level, "%s: Tag %d is on bone %d outside -1..%d", prefix, t, bone, n - 1);
            return false;
        }
    }
    return true;
}

void GrabFloats(float *out, int count, const byte **cursor) {
    for (int i = 0; i < count; i++) out[i] = CG_GrabLittleFloat(cursor);
}

bool ReadBO2(model_t *model, const byte *data, int32_t size, const char *path, const char *modelPath) {
    char prefix[MAX_PRINT_TEXT];
    snprintf(prefix, sizeof prefix, "LoadBO2 \"%s\"", path);
    if (size < BO2_HEAD_BYTES) {
        Com_Error(ER_SAVEOFF, "%s: File is %d bytes, shorter than its head", prefix, size);
        return false;
    }
    const byte *p = data;
    if (memcmp(p, BO2_MAGIC, sizeof BO2_MAGIC) != 0) {
        Com_Error(ER_SAVEOFF, "%s: Bad magic", prefix);
        return false;
    }
    p += sizeof BO2_MAGIC;
    const int32_t version = Com_GrabLittleLong(&p);
    if (version != BO2_VERSION) {
        Com_Error(ER_SAVEOFF, "%s: Bad version, %d should be %d", prefix, version, BO2_VERSION);
        return false;
    }
    Com_GrabLittleLong(&p);  // unused word
    const int32_t numBones = Com_GrabLittleLong(&p);
    const int32_t numTags = Com_GrabLittleLong(&p);
    if (numBones < 0 || numBones > BO2_BONES_MAX) {
        Com_Error(ER_SAVEOFF, "%s: BO2_BONES_MAX: %d", prefix, BO2_BONES_MAX);
        return false;
    }
    if (numTags < 0 || numTags > BO2_TAGS_MAX) {
        Com_Error(ER_SAVEOFF, "%s: BO2_TAGS_MAX: %d", prefix, BO2_TAGS_MAX);
        return false;
    }
    const int32_t needed = BO2_HEAD_BYTES + numBones * BO2_BONE_BYTES + numTags * BO2_TAG_BYTES;
    if (size < needed) {
        Com_Error(ER_SAVEOFF, "%s: File is %d bytes, its head announces %d", prefix, size, needed);
        return false;
    }
    if (!AllocSkeleton(model, numBones, numTags)) {
        Com_Error(ER_SAVEOFF, "%s: Out of memory", prefix);
        return false;
    }
    for (int32_t b = 0; b < numBones; b++) {
        bone_t &bone = model->bones[b];
        bone.index = b;
        bone.parent = Com_GrabLittleLong(&p);
        GrabFloats(bone.restLocal, 3, &p);
        GrabFloats(bone.rest, 12, &p);
    }
    for (int32_t t = 0; t < numTags; t++) {
        tag_t &tag = model->tags[t];
        char name[BO2_TAG_NAME_BYTES + 1] = {};
        memcpy(name, p, BO2_TAG_NAME_BYTES);
        p += BO2_TAG_NAME_BYTES;
        Com_strncpyz(tag.name, name, TAG_NAME_USED);
        tag.bone = Com_GrabLittleLong(&p);
        GrabFloats(tag.origin, 3, &p);
        GrabFloats(tag.axis, 9, &p);
    }
    if (!CheckSkeleton(model, prefix, ER_SAVEOFF, modelPath, "RegBO2")) {
        CG_FreeSkeleton(model);
        return false;
    }
    return true;
}

// ---- BO3 ----

enum bo3Target_t { BO3_BONE, BO3_TAG };

struct bo3Keyword_t {
    const char *name;
    bo3Target_t target;
    int floats;   // numbers after the index
    int field;    // which field they fill (below)
};

enum bo3Field_t { F_PARENT, F_REST_XYZ, F_REST_M0, F_REST_M1, F_REST_M2, F_NAME, F_TAG_BONE, F_TAG_XYZ, F_TAG_M0, F_TAG_M1, F_TAG_M2 };

constexpr bo3Keyword_t BO3_KEYWORDS[] = {
    {"bone_parent", BO3_BONE, 1, F_PARENT},     {"bone_rest_local_xyz", BO3_BONE, 3, F_REST_XYZ},
    {"bone_rest_m0", BO3_BONE, 4, F_REST_M0},   {"bone_rest_m1", BO3_BONE, 4, F_REST_M1},
    {"bone_rest_m2", BO3_BONE, 4, F_REST_M2},   {"tag_name", BO3_TAG, 0, F_NAME},
    {"tag_bone", BO3_TAG, 1, F_TAG_BONE},       {"tag_xyz", BO3_TAG, 3, F_TAG_XYZ},
    {"tag_m0", BO3_TAG, 3, F_TAG_M0},           {"tag_m1", BO3_TAG, 3, F_TAG_M1},
    {"tag_m2", BO3_TAG, 3, F_TAG_M2},
};

// A count of num_bones or num_tags: 0..max.
bool ParseCount(const char **p, const char *prefix, const char *keyword, int32_t max, int32_t *out) {
    const char *token = Com_Parse(p, false);
    const int32_t n = Com_atoi(token);
    if (!token[0] || n < 0 || n > max) {
        Com_Error(ER_ERROR, "%s: %s %s outside 0..%d", prefix, keyword, token, max);
        return false;
    }
    *out = n;
    return true;
}

bool ReadBO3(model_t *model, const char *text, const char *path) {
    char prefix[MAX_PRINT_TEXT];
    snprintf(prefix, sizeof prefix, "RegBO3 \"%s\"", path);
    const char *p = text;
    if (strcmp(Com_Parse(&p, true), "bo3_magic") != 0) {
        Com_Error(ER_ERROR, "%s: Expected bo3_magic first in file", prefix);
        return false;
    }
    if (strcmp(Com_Parse(&p, false), "BO3M") != 0) {
        Com_Error(ER_ERROR, "%s: Bad magic", prefix);
        return false;
    }
    if (strcmp(Com_Parse(&p, true), "bo3_version") != 0) {
        Com_Error(ER_ERROR, "%s: Expected bo3_version after lo3_magic", prefix);
        return false;
    }
    const char *version = Com_Parse(&p, false);
    if (strcmp(version, "1") != 0) {
        Com_Error(ER_ERROR, "%s: Bad version number (%d should be 1)", prefix, Com_atoi(version));
        return false;
    }
    bool haveBones = false, haveTags = false;
    for (;;) {
        const char *keyword = Com_Parse(&p, true);
        if (!keyword[0]) break;
        char word[32];
        Com_strncpyz(word, keyword, sizeof word);
        if (!strcmp(word, "num_bones") || !strcmp(word, "num_tags")) {
            const bool bones = word[4] == 'b';
            int32_t n;
            if (!ParseCount(&p, prefix, word, bones ? BO2_BONES_MAX : BO2_TAGS_MAX, &n)) return false;
            // A second count replaces the records of its kind with cleared ones.
            const size_t bytes = bones ? sizeof(bone_t) * n : sizeof(tag_t) * n;
            void *block = n > 0 ? G_Alloc(static_cast<uint32_t>(bytes)) : nullptr;
            if (n > 0 && !block) {
                Com_Error(ER_ERROR, "%s: Out of memory", prefix);
                return false;
            }
            if (block) memset(block, 0, bytes);
            if (bones) {
                if (model->bones) G_Free(model->bones);
                model->bones = static_cast<bone_t *>(block);
                model->numBones = n;
                haveBones = true;
            } else {
                if (model->tags) G_Free(model->tags);
                model->tags = static_cast<tag_t *>(block);
                model->numTags = n;
                haveTags = true;
            }
            CG_SkipRestOfLine(&p);
            continue;
        }
        const bo3Keyword_t *k = nullptr;
        for (const bo3Keyword_t &candidate : BO3_KEYWORDS)
            if (!strcmp(candidate.name, word)) k = &candidate;
        if (!k) {
            CG_SkipRestOfLine(&p);
            continue;
        }
        const bool bone = k->target == BO3_BONE;
        if (bone ? !haveBones : !haveTags) {
            Com_Error(ER_ERROR, "%s: Using %s command before %s", prefix, word, bone ? "num_bones" : "num_tags");
            return false;
        }
        const char *indexText = Com_Parse(&p, false);
        const int32_t index = Com_atoi(indexText);
        const int32_t count = bone ? model->numBones : model->numTags;
        if (!indexText[0] || index < 0 || index >= count) {
            Com_Error(ER_ERROR, "%s: %s index %s outside 0..%d", prefix, word, indexText, count - 1);
            return false;
        }
        if (k->field == F_NAME) {
            Com_strncpyz(model->tags[index].name, Com_Parse(&p, false), TAG_NAME_USED);
            CG_SkipRestOfLine(&p);
            continue;
        }
        // Bone numbers stay whole numbers; the rest are floats.
        if (k->field == F_PARENT || k->field == F_TAG_BONE) {
            const int32_t value = Com_atoi(Com_Parse(&p, false));
            CG_SkipRestOfLine(&p);
            if (k->field == F_PARENT)
                model->bones[index].parent = value;
            else
                model->tags[index].bone = value;
            continue;
        }
        float v[4] = {};
        for (int i = 0; i < k->floats; i++) v[i] = Com_atof(Com_Parse(&p, false));
        CG_SkipRestOfLine(&p);
        bone_t *b = bone ? &model->bones[index] : nullptr;
        tag_t *t = bone ? nullptr : &model->tags[index];
        switch (k->field) {
        case F_REST_XYZ: memcpy(b->restLocal, v, sizeof b->restLocal); break;
        case F_REST_M0:
        case F_REST_M1:
        case F_REST_M2: memcpy(b->rest + 4 * (k->field - F_REST_M0), v, 4 * sizeof(float)); break;
        case F_TAG_XYZ: memcpy(t->origin, v, sizeof t->origin); break;
        case F_TAG_M0:
        case F_TAG_M1:
        case F_TAG_M2: memcpy(t->axis + 3 * (k->field - F_TAG_M0), v, 3 * sizeof(float)); break;
        default: break;
        }
    }
    return CheckSkeleton(model, prefix, ER_ERROR, path, "RegBO3");
}

}  // namespace

float CG_GrabLittleFloat(const byte **cursor) {
    const int32_t bits = Com_GrabLittleLong(cursor);
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
}

void CG_SkipRestOfLine(const char **p) {
    while (Com_Parse(p, false)[0]) {
    }
}

void CG_FreeSkeleton(model_t *model) {
    if (model->bones) G_Free(model->bones);
    if (model->tags) G_Free(model->tags);
    model->bones = nullptr;
    model->tags = nullptr;
    model->numBones = model->numTags = 0;
    model->rootBone = -1;
}

bool CG_LoadBO2(model_t *model, const char *path, const char *modelPath) {
    void *buffer = nullptr;
    const int32_t size = Trap_ReadFile(path, &buffer);
    if (size < 0 || !buffer) {
        Com_Error(ER_SAVEOFF, "LoadBO2\"%s\": Could not open file", path);
        return false;
    }
    const bool ok = ReadBO2(model, static_cast<const byte *>(buffer), size, path, modelPath);
    Trap_FreeFile(buffer);
    return ok;
}

bool CG_LoadBO3(model_t *model, const char *path) {
    void *buffer = nullptr;
    const int32_t size = Trap_ReadFile(path, &buffer);
    if (size < 0 || !buffer) {
        Com_Error(ER_ERROR, "RegBO3 \"%s\": Could not open file", path);
        return false;
    }
    CG_FreeSkeleton(model);
    const bool ok = ReadBO3(model, static_cast<const char *>(buffer), path);
    if (!ok) CG_FreeSkeleton(model);
    Trap_FreeFile(buffer);
    return ok;
}
