// Registration wrappers, the common media of every world and the preload list.
#include "game_cl/cg_media.h"

#include <cstdio>
#include <cstring>

#include "common/common.h"
#include "game/g_traps.h"
#include "game_cl/cg_actions.h"
#include "game_cl/cg_model.h"
#include "game_cl/cg_particle_class.h"
#include "game_cl/cg_screen.h"

cgMedia_t cgMedia;

// ---- registration wrappers ----

// A 0 handle is reported at ER_DROP with the wrapper's own text.
static int32_t Checked(int32_t handle, const char *format, const char *path) {
    if (!handle) Com_Error(ER_DROP, format, path);
    return handle;
}

int32_t CG_RegisterMaterial(const char *path) {
    return Checked(Trap_RegisterMaterial(path), "CG_RegisterMaterial: Could not register material \"%s\"", path);
}

int32_t CG_RegisterTexture(const char *path) {
    return Checked(Trap_RegisterTexture(path), "CG_RegisterTexture: Could not register texture \"%s\"", path);
}

int32_t CG_RegisterTextureNoMip(const char *path) {
    return Checked(Trap_RegisterTextureNoMip(path), "CG_RegisterTextureNoMip: Could not register texture \"%s\"",
                   path);
}

int32_t CG_RegisterTextureCube(const char *path) {
    return Checked(Trap_RegisterTextureCube(path),
                   "CG_RegisterTextureCube: Could not register texture cube \"%s\"", path);
}

int32_t CG_RegisterSafeTexture(const char *path) { return Trap_RegisterTexture(path); }

int32_t CG_RegisterLOD(const char *path) {
    return Checked(Trap_RegisterLOD(path, 1), "CG_RegisterLOD: Could not register LOD \"%s\"", path);
}

int32_t CG_RegisterFont(const char *path) {
    return Checked(Trap_RegisterFont(path), "CG_RegisterFont: Could not register font \"%s\"", path);
}

int32_t CG_RegisterSound(const char *path) { return Trap_RegisterSound(path); }

int32_t CG_RegisterModel(const char *path) {
    const int32_t handle = CG_LoadModel(path);
    if (!handle) {
        Com_Error(ER_SHOWSAVEOFF, "%s", "");  // shows the collected model-file messages
        Com_Error(ER_DROP, "CG_RegisterModel: Could not register model \"%s\"", path);
    }
    return handle;
}

int32_t CG_RegisterAnimation(int32_t model, const char *path) {
    return Checked(CG_LoadAnimation(model, path), "CG_RegisterAnimation: Could not register animation \"%s\"", path);
}

int32_t CG_RegisterParticle(const char *path) {
    return Checked(CG_LoadParticle(path), "CG_RegisterParticle: Could not register particle \"%s\"", path);
}

int32_t CG_RegisterActionScript(const char *path) { return CG_LoadActionScript(path); }

void CG_MediaLoadingStep(const char *title, int32_t step, int32_t total) {
    CG_UpdateLoadingScreen(0, title, step, total);
}

// ---- common media ----

namespace {

enum mediaKind_t : uint8_t { MK_FONT, MK_MATERIAL, MK_TEXTURE, MK_SOUND };

struct mediaEntry_t {
    int32_t slot;
    mediaKind_t kind;
    const char *path;
};

// In registration order; the loading screen advances before the first entry of
// each group.  The stains are numbered paths and come in their own loop.
constexpr mediaEntry_t MEDIA_FONTS[] = {
    {CGM_SMALL_FONT, MK_FONT, "game/base/small.font"},
    {CGM_NORMAL_FONT, MK_FONT, "game/base/normal.font"},
    {CGM_BIG_FONT, MK_FONT, "game/base/big.font"},
    {CGM_HUGE_FONT, MK_FONT, "game/base/huge.font"},
    {CGM_PRETTY_BIG_FONT, MK_FONT, "game/base/pretty_big.font"},
    {CGM_CENTER_FONT, MK_FONT, "game/base/center.font"},
};
constexpr mediaEntry_t MEDIA_FIRST_MATERIALS[] = {
    {CGM_WHITE, MK_MATERIAL, "game/c_materials/white.material"},
    {CGM_RAIL_RAILGUN_RED, MK_MATERIAL, "game/c_materials/rail_railgun_red.material"},
    {CGM_RAIL_RAILGUN_BLUE, MK_MATERIAL, "game/c_materials/rail_railgun_blue.material"},
    {CGM_RAIL_SHOTGUN, MK_MATERIAL, "game/c_materials/rail_shotgun.material"},
    {CGM_RAIL_MINIGUN, MK_MATERIAL, "game/c_materials/rail_minigun.material"},
    {CGM_RAIL_BERSERK, MK_MATERIAL, "game/c_materials/rail_berserk.material"},
};
constexpr mediaEntry_t MEDIA_HUD_MATERIALS[] = {
    {CGM_METEOR, MK_MATERIAL, "game/c_materials/meteor.material"},
    {CGM_PLAYER_CRYSTAL, MK_MATERIAL, "game/c_materials/player_crystal.material"},
    {CGM_BEACON_RED, MK_MATERIAL, "game/c_materials/beacon_red.material"},
    {CGM_BEACON_BLUE, MK_MATERIAL, "game/c_materials/beacon_blue.material"},
    {CGM_BEACON_GREEN, MK_MATERIAL, "game/c_materials/beacon_green.material"},
    {CGM_AIM, MK_MATERIAL, "game/c_materials/aim.material"},
    {CGM_TEAM_LOGO_BLUE, MK_MATERIAL, "game/hud/logo_blue.material"},
    {CGM_TEAM_LOGO_RED, MK_MATERIAL, "game/hud/logo_red.material"},
    {CGM_PLAYER_SPAWN, MK_MATERIAL, "game/c_materials/player_spawn.material"},
    {CGM_BERSERK_SUIT, MK_MATERIAL, "game/c_materials/berserk_suit.material"},
    {CGM_BERSERK_SHADOW, MK_MATERIAL, "game/c_materials/berserk_shadow.material"},
    {CGM_CRYSTAL_SHADOW, MK_MATERIAL, "game/c_materials/crystal_shadow.material"},
    {CGM_IMPACT_FLOWER, MK_MATERIAL, "game/c_materials/railgun_impact_flower.material"},
    {CGM_ICON_CRYSTAL, MK_MATERIAL, "game/hud/icon_crystal.material"},
    {CGM_HUD_LOGO_BLUE, MK_MATERIAL, "game/hud/logo_blue.material"},
    {CGM_HUD_LOGO_RED, MK_MATERIAL, "game/hud/logo_red.material"},
    {CGM_ICON_ARMOR, MK_MATERIAL, "game/hud/icon_armor.material"},
    {CGM_ICON_BERSERKER, MK_MATERIAL, "game/hud/icon_berserker.material"},
    {CGM_ICON_HEALTH, MK_MATERIAL, "game/hud/icon_health.material"},
    {CGM_ICON_WEAPON + 0, MK_MATERIAL, "game/hud/icon_mini.material"},
    {CGM_ICON_WEAPON + 1, MK_MATERIAL, "game/hud/icon_shot.material"},
    {CGM_ICON_WEAPON + 2, MK_MATERIAL, "game/hud/icon_gren.material"},
    {CGM_ICON_WEAPON + 3, MK_MATERIAL, "game/hud/icon_rail.material"},
    {CGM_ICON_WEAPON + 4, MK_MATERIAL, "game/hud/icon_dirt.material"},
    {CGM_CLOCK, MK_MATERIAL, "game/hud/clock.material"},
    {CGM_ROUNDS, MK_MATERIAL, "game/hud/rounds.material"},
};
constexpr mediaEntry_t MEDIA_SCREEN_MATERIALS[] = {
    {CGM_SCOREBOARD, MK_MATERIAL, "game/c_materials/scoreboard.material"},
    {CGM_HIT_LEFT, MK_MATERIAL, "game/c_materials/hit_left.material"},
    {CGM_HIT_RIGHT, MK_MATERIAL, "game/c_materials/hit_right.material"},
    {CGM_HIT_FRONT, MK_MATERIAL, "game/c_materials/hit_front.material"},
    {CGM_HIT_BACK, MK_MATERIAL, "game/c_materials/hit_back.material"},
    {CGM_RADAR, MK_MATERIAL, "game/hud/radar.material"},
    {CGM_RADAR_SPOT_BLUE, MK_MATERIAL, "game/hud/radar_spot_blue.material"},
    {CGM_RADAR_SPOT_RED, MK_MATERIAL, "game/hud/radar_spot_red.material"},
    {CGM_RADAR_CRYSTAL, MK_MATERIAL, "game/hud/radar_crystal.material"},
    {CGM_RADAR_CRYSTAL_BLUE, MK_MATERIAL, "game/hud/radar_crystal_blue.material"},
    {CGM_RADAR_CRYSTAL_RED, MK_MATERIAL, "game/hud/radar_crystal_red.material"},
    {CGM_RADAR_BASE_BLUE, MK_MATERIAL, "game/hud/radar_base_blue.material"},
    {CGM_RADAR_BASE_RED, MK_MATERIAL, "game/hud/radar_base_red.material"},
    {CGM_RADAR_DEAD, MK_MATERIAL, "game/hud/radar_dead.material"},
};
constexpr mediaEntry_t MEDIA_LAST_MATERIALS[] = {
    {CGM_PAIN, MK_MATERIAL, "game/c_materials/pain.material"},
    {CGM_BERSERK, MK_MATERIAL, "game/c_materials/berserk.material"},
    {CGM_CRYSTAL, MK_MATERIAL, "game/c_materials/crystal.material"},
    {CGM_BOTTOM_HUD, MK_MATERIAL, "game/hud/bottom_hud.material"},
    {CGM_FLASH_COOKIE, MK_TEXTURE, "game/c_textures/flash_cookie.tga"},
    {CGM_DRONE_SPOT_BLUE, MK_TEXTURE, "game/e_drone/spot_team_blue.tga"},
    {CGM_DRONE_SPOT_RED, MK_TEXTURE, "game/e_drone/spot_team_red.tga"},
};
constexpr mediaEntry_t MEDIA_SOUNDS[] = {
    {CGM_ANNOUNCER + 0, MK_SOUND, "game/c_sounds/announcer/blue_lead.sound"},
    {CGM_ANNOUNCER + 1, MK_SOUND, "game/c_sounds/announcer/red_lead.sound"},
    {CGM_ANNOUNCER + 2, MK_SOUND, "game/c_sounds/announcer/blue_win.sound"},
    {CGM_ANNOUNCER + 3, MK_SOUND, "game/c_sounds/announcer/red_win.sound"},
    {CGM_ANNOUNCER + 4, MK_SOUND, "game/c_sounds/announcer/capture.sound"},
    {CGM_ANNOUNCER + 5, MK_SOUND, "game/c_sounds/announcer/enemy_crystal.sound"},
    {CGM_ANNOUNCER + 6, MK_SOUND, "game/c_sounds/announcer/five_min.sound"},
    {CGM_ANNOUNCER + 7, MK_SOUND, "game/c_sounds/announcer/one_min.sound"},
    {CGM_ANNOUNCER + 8, MK_SOUND, "game/c_sounds/announcer/objective.sound"},
    {CGM_ANNOUNCER + 9, MK_SOUND, "game/c_sounds/announcer/team_crystal.sound"},
    {CGM_NOT_ALONE, MK_SOUND, "game/c_sounds/not_alone.sound"},
};

constexpr int MEDIA_STEPS = 7;

void RegisterEntry(int32_t slot, mediaKind_t kind, const char *path) {
    int32_t handle = 0;
    switch (kind) {
    case MK_FONT: handle = CG_RegisterFont(path); break;
    case MK_MATERIAL: handle = CG_RegisterMaterial(path); break;
    case MK_TEXTURE: handle = CG_RegisterTexture(path); break;
    case MK_SOUND: handle = CG_RegisterSound(path); break;
    }
    cgMedia.handles[slot] = handle;
}

template <size_t N>
void RegisterGroup(int step, const mediaEntry_t (&group)[N]) {
    if (step >= 0) CG_MediaLoadingStep("Media", step, MEDIA_STEPS);
    for (const mediaEntry_t &e : group) RegisterEntry(e.slot, e.kind, e.path);
}

void RegisterNumbered(int32_t firstSlot, int count, const char *format) {
    char path[MAX_MEDIA_PATH];
    for (int i = 0; i < count; i++) {
        snprintf(path, sizeof path, format, i);
        RegisterEntry(firstSlot + i, MK_MATERIAL, path);
    }
}

}  // namespace

void CG_RegisterMedia() {
    const int32_t start = Trap_GetTime();
    Com_Printf("\xA4" "08Register media...");
    memset(&cgMedia, 0, sizeof cgMedia);
    RegisterGroup(0, MEDIA_FONTS);
    RegisterGroup(1, MEDIA_FIRST_MATERIALS);
    CG_MediaLoadingStep("Media", 2, MEDIA_STEPS);
    RegisterNumbered(CGM_BLOOD_STAIN, CG_BLOOD_STAINS, "game/c_materials/blood_stain_%d.material");
    RegisterNumbered(CGM_SLIME_STAIN, CG_SLIME_STAINS, "game/c_materials/slime_stain_%d.material");
    RegisterGroup(-1, MEDIA_HUD_MATERIALS);
    RegisterGroup(3, MEDIA_SCREEN_MATERIALS);
    RegisterGroup(4, MEDIA_LAST_MATERIALS);
    RegisterGroup(5, MEDIA_SOUNDS);
    CG_MediaLoadingStep("Media", 6, MEDIA_STEPS);
    CG_RegisterRegTXT(CG_PRELOAD_LIST);
    const float seconds = static_cast<float>(Trap_GetTime() - start) / 1000.0f;
    Com_Printf("\xA4" "08Register all media in %.1f seconds", static_cast<double>(seconds));
}

// ---- preload list ----

void CG_RegisterRegTXT(const char *path) {
    void *buffer = nullptr;
    if (Trap_ReadFile(path, &buffer) < 0 || !buffer) {
        Com_Error(ER_DEVWARNING, "G_RegisterRegTXT: Could not open \"%s\"", path);
        return;
    }
    const char *p = static_cast<const char *>(buffer);
    for (;;) {
        const char *word = Com_Parse(&p, true);
        if (!word[0]) break;
        int32_t (*reg)(const char *) = nullptr;
        if (!strcmp(word, "particle"))
            reg = CG_RegisterParticle;
        else if (!strcmp(word, "material"))
            reg = CG_RegisterMaterial;
        else if (!strcmp(word, "actionScript"))
            reg = CG_RegisterActionScript;
        else if (!strcmp(word, "sound"))
            reg = CG_RegisterSound;
        if (!reg) {
            Com_Error(ER_ERROR, "\"%s\": Unknown token \"%s\"", path, word);
            continue;
        }
        char entry[MAX_MEDIA_PATH];
        Com_strncpyz(entry, Com_Parse(&p, false), sizeof entry);
        reg(entry);
    }
    Trap_FreeFile(buffer);
}
