// Client world logic.
#include "game_cl/cg_world.h"

#include <cmath>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_cl/cg_centities.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_media.h"

constexpr int32_t METEOR_INTERVAL_MS = 150;
constexpr float METEOR_START = 3000;       // from the world centre, against the flight
constexpr float METEOR_MIN_OFFSET = 75;    // beside the flight line, above the space altitude
constexpr float METEOR_OFFSET_SPREAD = 1000;
constexpr float METEOR_LENGTH = 120;       // head to tail
constexpr float FULL_TURN = 360;

void CG_InitWorld() {}

// One meteor beside the line through the world centre along the world's direction.
static void RainMeteor(const vec3_t direction) {
    vec3_t d, n, base, side, q, head, tail;
    _VectorCopy(d, direction);
    if (VectorNormalize(d) == 0) return;  // no direction to fly along
    _VectorScale(n, -1, d);
    _VectorScale(base, METEOR_START, n);
    PerpendicularVector(side, n);
    RotatePointAroundVector(q, n, side, FULL_TURN * Trap_frand());
    const float distance = METEOR_MIN_OFFSET + cgw.spaceAlt + METEOR_OFFSET_SPREAD * Trap_frand();
    _VectorAddMultiple(head, base, q, distance);
    _VectorAddMultiple(tail, head, d, METEOR_LENGTH);
    CG_CreateMeteor(head, tail);
}

void CG_WorldThink() {
    if (G_TimeAge(cg.lastMeteorTime) >= METEOR_INTERVAL_MS) {
        cg.lastMeteorTime = qgame.time;
        const char *dir = cg.worldInfo ? Com_IS_GetValue(cg.worldInfo, "meteor_dir") : nullptr;
        if (dir && dir[0]) RainMeteor(Com_GetVec(dir));
    }
    for (int i = 0; i < 3; i++) {
        float a = fmodf(cg.skyAngles[i] + cgw.skySpeed[i] * qgame.frameSeconds, FULL_TURN);
        if (a < 0) a += FULL_TURN;
        // A speed that is no number would stop the sky for good: it stands still instead.
        cg.skyAngles[i] = std::isfinite(a) && a < FULL_TURN ? a : 0;
    }
}

// ---- quick world script header ----

bool CG_TurboParseWorldScript(worldScriptHeader_t *header, const char *path) {
    memset(header, 0, sizeof *header);
    Com_strncpyz(header->path, path, sizeof header->path);
    header->rules = WS_DEFAULT_RULES;
    header->maxPlayers = WS_DEFAULT_MAX_PLAYERS;
    void *buffer = nullptr;
    if (Trap_ReadFile(path, &buffer) < 0 || !buffer) {
        Com_Error(ER_ERROR, "G_TurboParseWorldScript: Could not open file \"%s\"", path);
        return false;
    }
    const char *p = static_cast<const char *>(buffer);
    bool ok = true;
    for (;;) {
        const char *word = Com_ParseCurly(&p, true);
        if (!word[0] && !com_isNullString) break;  // end of text
        if (!strcmp(word, "name")) {
            Com_strncpyz(header->name, Com_ParseCurly(&p, false), sizeof header->name);
        } else if (!strcmp(word, "description")) {
            Com_strncpyz(header->description, Com_ParseCurly(&p, false), sizeof header->description);
        } else if (!strcmp(word, "rules")) {
            header->rules = G_GetRules(Com_ParseCurly(&p, false));
        } else if (!strcmp(word, "maxPlayers")) {
            header->maxPlayers = Com_atoi(Com_ParseCurly(&p, false));
        } else if (!strcmp(word, "loadingMiniImage")) {
            const char *image = Com_ParseCurly(&p, false);
            if (image[0]) header->loadingMiniImage = CG_RegisterSafeTexture(image);
        } else if (!strcmp(word, "{")) {
            // Blocks do not nest in this reading: the first "}" ends the block.
            for (;;) {
                const char *inner = Com_ParseCurly(&p, true);
                if (!strcmp(inner, "}") || (!inner[0] && !com_isNullString)) break;
            }
            continue;
        } else if (!strcmp(word, "}")) {
            ok = false;
            break;
        }
        G_SkipRestOfLine(&p);
    }
    Trap_FreeFile(buffer);
    return ok;
}

// ---- world materials ----

void CG_ListWorldMaterials(const worldMaterial_t materials[WORLD_MATERIALS]) {
    // The last slot is never listed: it stands for no matter.
    for (int i = 0; i < WORLD_MATERIALS - 1; i++)
        if (materials[i].name[0])
            Com_Printf("\xA4" "08%3d\xA4" "00: \"\xA4" "08%s\xA4" "00\"", i, materials[i].name);
}

void CG_ReloadWorldMaterial(worldMaterial_t materials[WORLD_MATERIALS], int32_t index) {
    // The index is what the user typed: only a slot of the table names a material.
    if (index < 0 || index >= WORLD_MATERIALS) {
        Com_Printf("wmreload: no world material %d (0 to %d)", index, WORLD_MATERIALS - 1);
        return;
    }
    worldMaterial_t *wm = &materials[index];
    char path[WM_NAME_SIZE];
    Com_strncpyz(path, wm->file, sizeof path);
    void *text = nullptr;
    if (Trap_ReadFile(path, &text) < 0 || !text) {
        Com_Error(ER_ERROR, "Could not open file \"%s\"", path);
        return;
    }
    const int parsed = G_ParseWorldMaterial(wm, static_cast<const char *>(text), path, 0);
    Trap_FreeFile(text);
    if (!parsed) return;
    G_UploadWorldMaterials(materials);
    Trap_Add(va("matreload %d", wm->material));
    Trap_Add("wo_retess");
    Trap_Flush();
}
