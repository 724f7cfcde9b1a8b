// Client world logic.  No world of this build rains meteors or turns its sky, so the
// world's frame has nothing to do; its materials can be listed and reloaded.
#include "game_cl/cg_world.h"

#include "common/common.h"
#include "game/g_traps.h"

void CG_InitWorld() {}

void CG_WorldThink() {}

void CG_ListWorldMaterials(const worldMaterial_t materials[WORLD_MATERIALS]) {
    // The last slot is never listed: it stands for no matter.
    for (int i = 0; i < WORLD_MATERIALS - 1; i++)
        if (materials[i].name[0])
            Com_Printf("\xA4" "08%3d\xA4" "00: \"\xA4" "08%s\xA4" "00\"", i, materials[i].name);
}

void CG_ReloadWorldMaterial(worldMaterial_t materials[WORLD_MATERIALS], int32_t index) {
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
