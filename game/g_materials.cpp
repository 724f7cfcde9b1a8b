// World materials: the keyword parser, the packed upload, rules names.
#include "game/g_materials.h"

#include <cmath>
#include <cstring>

#include "common/common.h"
#include "game/g_traps.h"

void G_SetWorldMaterialDefaults(worldMaterial_t *wm) {
    *wm = worldMaterial_t{};
    wm->stScale[0] = wm->stScale[1] = WM_DEFAULT_ST_SCALE;
    wm->baseColor[0] = wm->baseColor[1] = wm->baseColor[2] = WM_DEFAULT_COLOR;
    wm->subStrenght = WM_DEFAULT_SUB_STRENGTH;
}

// Reads count numbers from the rest of the key's line; a missing one reads 0.  A
// value that is no finite number ("nan", "inf", "1e999") keeps the key's default:
// the engine turns these values into colours and texture coordinates.
static void ParseValues(const char **p, float *out, int count, float defaultValue) {
    for (int i = 0; i < count; i++) {
        const float v = Com_atof(Com_Parse(p, false));
        out[i] = std::isfinite(v) ? v : defaultValue;
    }
}

// Moves past the rest of the current line, through the parser so that quotes and
// comments are honoured; stops at the line feed.
void G_SkipRestOfLine(const char **p) {
    while (**p && **p != '\n') {
        const char *before = *p;
        Com_Parse(p, false);
        if (*p == before)
            (*p)++;  // a control byte: the parser does not move past it
    }
}

int G_ParseWorldMaterial(worldMaterial_t *wm, const char *text, const char *file, uint8_t noRegister) {
    if (!file)
        file = "";
    G_SetWorldMaterialDefaults(wm);
    Com_strncpyz(wm->file, file, sizeof wm->file);
    Com_strncpyz(wm->name, file, sizeof wm->name);

    const char *p = text ? text : "";
    while (*p) {
        const char *token = Com_Parse(&p, true);
        if (strncmp(token, "wm_", 3) != 0) {
            G_SkipRestOfLine(&p);
            continue;
        }
        if (!strcmp(token, "wm_name")) {
            Com_strncpyz(wm->name, Com_Parse(&p, false), sizeof wm->name);
        } else if (!strcmp(token, "wm_stScale")) {
            ParseValues(&p, wm->stScale, 2, WM_DEFAULT_ST_SCALE);
        } else if (!strcmp(token, "wm_baseColor")) {
            ParseValues(&p, wm->baseColor, 3, WM_DEFAULT_COLOR);
            for (float &c : wm->baseColor) c = c < 0.0f ? 0.0f : c > WM_DEFAULT_COLOR ? WM_DEFAULT_COLOR : c;
        } else if (!strcmp(token, "wm_colorNoiseScale")) {
            ParseValues(&p, wm->colorNoiseScale, 3, 0.0f);
        } else if (!strcmp(token, "wm_subStrenght")) {
            ParseValues(&p, &wm->subStrenght, 1, WM_DEFAULT_SUB_STRENGTH);
        } else {
            // The parser stops right behind the token, still on its line.
            Com_Error(ER_SAVEOFF, "%s(%d): Unknown token \"%s\"", file, Com_GetLineNumber(text, p), token);
        }
    }

    if (!noRegister)
        wm->material = Trap_RegisterMaterial(file);
    return 1;
}

void G_UploadWorldMaterials(const worldMaterial_t wm[WORLD_MATERIALS]) {
    static byte block[WORLD_MATTERS_BLOCK_SIZE];
    byte *out = block;
    for (int i = 0; i < WORLD_MATERIALS; i++) {
        worldMatter_t matter;
        matter.material = wm[i].material;
        memcpy(matter.stScale, wm[i].stScale, sizeof matter.stScale);
        memcpy(matter.colorNoiseScale, wm[i].colorNoiseScale, sizeof matter.colorNoiseScale);
        memcpy(matter.baseColor, wm[i].baseColor, sizeof matter.baseColor);
        memcpy(out, &matter, sizeof matter);
        out += sizeof matter;
    }
    Trap_UploadWorldMaterials(block);
}

int32_t G_GetRules(const char *name) {
    static const struct {
        const char *name;
        gameRules_t rules;
    } names[] = {
        {"DEATH_MATCH", RULES_DEATH_MATCH},      {"DM", RULES_DEATH_MATCH},
        {"CRYSTAL_ROUNDS", RULES_CRYSTAL_ROUNDS}, {"CR", RULES_CRYSTAL_ROUNDS},
        {"CAPTURE_CRYSTAL", RULES_CAPTURE_CRYSTAL}, {"CC", RULES_CAPTURE_CRYSTAL},
        {"FORGE", RULES_FORGE},                  {"F", RULES_FORGE},
    };
    for (const auto &n : names) {
        if (name && !Com_strcmpUpper(name, n.name))
            return n.rules;
    }
    Com_Error(ER_ERROR, "Unknown rules, using Death Match");
    return RULES_DEATH_MATCH;
}
