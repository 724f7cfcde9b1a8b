// World materials and rules names.
//
// Each of the 256 matters of the voxel world is drawn and dug by a world
// material, parsed from a material keyword file; the drawing part of all 256 is
// handed to the engine as one packed block.  Material files come from outside:
// unknown keys are reported and skipped, nothing is read past the text.
//
// Material keys (whitespace-separated, values on the key's line; any token that
// does not begin with "wm_" skips the rest of its line):
//   wm_name <token>   wm_stScale <s> <t>   wm_baseColor <r> <g> <b>
//   wm_colorNoiseScale <r> <g> <b>   wm_subStrenght <strength>
#pragma once

#include <cstdint>

constexpr int WORLD_MATERIALS = 256;  // one per matter value
constexpr int WM_NAME_SIZE = 256;     // name and file, with the terminator
constexpr float WM_DEFAULT_ST_SCALE = 1.0f;
constexpr float WM_DEFAULT_COLOR = 255.0f;  // also the brightest a colour channel may be
constexpr float WM_DEFAULT_SUB_STRENGTH = 1.0f;

// The module's world material, filled by G_ParseWorldMaterial.
struct worldMaterial_t {
    char name[WM_NAME_SIZE];     // display name; the file name unless wm_name gives one
    char file[WM_NAME_SIZE];     // the material file
    int32_t material;            // renderer material handle
    float stScale[2];            // texture scale s, t
    float colorNoiseScale[3];
    float baseColor[3];          // 0..255 per channel
    float subStrenght;           // strength with which digging removes this matter
};
static_assert(sizeof(worldMaterial_t) == 552);

// The packed per-matter record the engine keeps (trap 40), fields back to back.
struct worldMatter_t {
    int32_t material;
    float stScale[2];
    float colorNoiseScale[3];
    float baseColor[3];
};
static_assert(sizeof(worldMatter_t) == 36);
constexpr int WORLD_MATTERS_BLOCK_SIZE = WORLD_MATERIALS * static_cast<int>(sizeof(worldMatter_t));  // 9,216

// Rules numbers, the same everywhere (snapshots, votes, the server game).
enum gameRules_t : int32_t {
    RULES_DEATH_MATCH = 0,
    RULES_CRYSTAL_ROUNDS = 1,
    RULES_FORGE = 2,
    RULES_CAPTURE_CRYSTAL = 3,
};

// Zeroes the record, then texture scale 1 1, base colour 255 255 255, strength 1; names empty.
void G_SetWorldMaterialDefaults(worldMaterial_t *wm);
// Defaults, then the keys of text; name and file become file (255 characters kept).
// A value that is no finite number keeps its default; colours are held to 0..255.
// A "wm_" key outside the table is reported at ER_SAVEOFF with file and line and
// skipped.  Unless noRegister, the file is registered as the renderer material.
// Returns 1.
int G_ParseWorldMaterial(worldMaterial_t *wm, const char *text, const char *file, uint8_t noRegister);
// Moves p past the words of its line, up to the line break (script readers).
void G_SkipRestOfLine(const char **p);
// Packs the drawing fields of the 256 materials in order and hands them to the engine.
void G_UploadWorldMaterials(const worldMaterial_t wm[WORLD_MATERIALS]);
// The rules number of a long or short rules name, any letter case; death match,
// with an error, for a name outside the list.
int32_t G_GetRules(const char *name);
