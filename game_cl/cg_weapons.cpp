// The weapons' client media.
#include <cstring>

#include "common/common.h"
#include "game/g_traps.h"
#include "game_cl/cg_media.h"

weaponMedia_t g_weaponMedia[WEAPON_COUNT];
int32_t g_dirtMat, g_beamMat;
const char *g_dirtDeformNames[DIRT_DEFORM_MODES];

const weaponMedia_t *CG_WeaponMedia(int32_t weapon) {
    return weapon >= 0 && weapon < WEAPON_COUNT ? &g_weaponMedia[weapon] : nullptr;
}

void CG_RegisterBulletMark(weaponMedia_t *media, const char *path, float size) {
    if (media->numBulletMarks >= MAX_BULLET_MARKS) {
        Com_Error(ER_FATAL, "G_RegisterBulletMark: MAX_BULLET_MARKS");
        return;
    }
    bulletMark_t &mark = media->bulletMarks[media->numBulletMarks++];
    mark.material = CG_RegisterMaterial(path);
    mark.size = size;
}

namespace {

// The paths of one weapon's media; null where it has none.
struct weaponPaths_t {
    const char *model, *ammo, *projectile, *mini, *miniAmmo;
    const char *flowerView, *stickView, *flower, *stick;
    const char *camera[2];
    const char *bulletMark;
    float bulletMarkSize;
};

constexpr weaponPaths_t WEAPON_PATHS[WEAPON_COUNT] = {
    {"game/w_meelgun/meelgun.model", nullptr, nullptr, "game/w_meelgun/meelgun_mini.model", nullptr, nullptr,
     nullptr, nullptr, nullptr, {nullptr, nullptr}, nullptr, 0.0f},
    {"game/w_minigun/minigun.model", "game/w_minigun/ammo.model", nullptr, "game/w_minigun/minigun_mini.model",
     "game/w_minigun/ammo_mini.model", "game/w_minigun/muzzle_flower_view.material",
     "game/w_minigun/muzzle_stick_view.material", "game/w_minigun/muzzle_flower.material",
     "game/w_minigun/muzzle_stick.material", {nullptr, nullptr}, "game/w_minigun/bulletmark.material", 0.15f},
    {"game/w_shotgun/shotgun.model", "game/w_shotgun/ammo.model", nullptr, "game/w_shotgun/shotgun_mini.model",
     "game/w_shotgun/ammo_mini.model", "game/w_shotgun/muzzle_flower_view.material",
     "game/w_shotgun/muzzle_stick_view.material", "game/w_shotgun/muzzle_flower.material",
     "game/w_shotgun/muzzle_stick.material", {nullptr, nullptr}, "game/w_shotgun/bulletmark.material", 0.15f},
    {"game/w_grengun/grengun.model", "game/w_grengun/ammo.model", "game/w_grengun/grenade.model",
     "game/w_grengun/grengun_mini.model", "game/w_grengun/ammo_mini.model",
     "game/w_grengun/muzzle_flower_view.material", "game/w_grengun/muzzle_stick_view.material",
     "game/w_grengun/muzzle_flower.material", "game/w_grengun/muzzle_stick.material", {nullptr, nullptr},
     "game/w_grengun/bulletmark.material", 1.2f},
    {"game/w_railgun/railgun.model", "game/w_railgun/ammo.model", nullptr, "game/w_railgun/railgun_mini.model",
     "game/w_railgun/ammo_mini.model", "game/w_railgun/muzzle_flower_view.material", nullptr,
     "game/w_railgun/muzzle_flower.material", nullptr,
     {"game/w_railgun/cam_entity.material", "game/w_railgun/cam_view.material"},
     "game/w_railgun/rail_bulletmark.material", 0.5f},
    {"game/w_dirtgun/dirtgun.model", nullptr, nullptr, "game/w_dirtgun/dirtgun_mini.model", nullptr, nullptr,
     nullptr, nullptr, nullptr, {nullptr, nullptr}, nullptr, 0.0f},
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {nullptr, nullptr}, nullptr,
     0.0f},
};

int32_t Model(const char *path) { return path ? CG_RegisterModel(path) : 0; }
int32_t Material(const char *path) { return path ? CG_RegisterMaterial(path) : 0; }

// Clears a weapon's record and registers what it has.
void RegisterWeapon(int32_t weapon) {
    const weaponPaths_t &p = WEAPON_PATHS[weapon];
    weaponMedia_t &m = g_weaponMedia[weapon];
    memset(&m, 0, sizeof m);
    m.model = Model(p.model);
    m.ammoModel = Model(p.ammo);
    m.projectileModel = Model(p.projectile);
    m.miniModel = Model(p.mini);
    m.miniAmmoModel = Model(p.miniAmmo);
    m.flowerViewMaterial = Material(p.flowerView);
    m.stickViewMaterial = Material(p.stickView);
    m.flowerMaterial = Material(p.flower);
    m.stickMaterial = Material(p.stick);
    for (int i = 0; i < 2; i++) m.cameraMaterials[i] = Material(p.camera[i]);
    m.gunCamera = p.camera[0] ? 1 : 0;
    if (p.bulletMark) CG_RegisterBulletMark(&m, p.bulletMark, p.bulletMarkSize);
}

}  // namespace

void CG_RegisterMeelgun() { RegisterWeapon(WP_MEELGUN); }
void CG_RegisterMinigun() { RegisterWeapon(WP_MINIGUN); }
void CG_RegisterShotgun() { RegisterWeapon(WP_SHOTGUN); }
void CG_RegisterGrengun() { RegisterWeapon(WP_GRENGUN); }
void CG_RegisterRailgun() { RegisterWeapon(WP_RAILGUN); }
void CG_RegisterNonegun() { RegisterWeapon(WP_NONEGUN); }

void CG_RegisterDirtgun() {
    RegisterWeapon(WP_DIRTGUN);
    g_dirtMat = CG_RegisterMaterial("game/c_materials/dirt_hologram.material");
    g_beamMat = CG_RegisterMaterial("game/c_materials/dirt_beam.material");
    static constexpr const char *NAMES[DIRT_DEFORM_MODES] = {"BUILD", "BUILD WALL", "BUILD PLATFORM", "PAINT",
                                                              "BLUR"};
    for (int i = 0; i < DIRT_DEFORM_MODES; i++) g_dirtDeformNames[i] = NAMES[i];
}

void CG_RegisterWeapons() {
    static void (*const REGISTER[WEAPON_COUNT])() = {CG_RegisterMeelgun, CG_RegisterMinigun, CG_RegisterShotgun,
                                                    CG_RegisterGrengun, CG_RegisterRailgun, CG_RegisterDirtgun,
                                                    CG_RegisterNonegun};
    for (int i = 0; i < WEAPON_COUNT; i++) {
        CG_MediaLoadingStep("Weapons", i, WEAPON_COUNT - 1);
        REGISTER[i]();
    }
}
