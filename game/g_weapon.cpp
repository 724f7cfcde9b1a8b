// The weapon classes' data rows.
#include "game/g_weapon.h"

#include <cstring>

weaponClass_t g_weaponClass[WEAPON_COUNT];

namespace {
struct weaponRow_t {
    const char *name, *shortName, *tag;
    uint8_t (*fire)(sgClient_t *, uint8_t);
    void (*reload)(sgClient_t *);
    weaponMuzzleFlash_t muzzleFlash;
    weaponDrawFrame_t drawFrame;
    void (*clientFrame)();
    float crosshair[4];
    int32_t refireMs, reloadMs;
    float heatPerShot, coolingPerSecond;
    int32_t clipSize, maxReserve, spawnClip, spawnReserve;
};
constexpr weaponRow_t WEAPON_ROWS[WEAPON_COUNT] = {
    {"Weapon Meelgun", "Meelgun", "meel", Meelgun_Fire, Meelgun_Reload, Meelgun_DrawMuzzleFlash, Meelgun_DrawFrame, Meelgun_ClientFrame, {0.5f, 0.5f, 1.0f, 1.0f}, 50, 0, 0.6f, 2.0f, 0, 0, 0, 0},
    {"Weapon Minigun", "Minigun", "mini", Minigun_Fire, Minigun_Reload, Minigun_DrawMuzzleFlash, Minigun_DrawFrame, Minigun_ClientFrame, {0.5f, 0.5f, 1.0f, 1.0f}, 90, 1500, 0.3f, 2.1f, 40, 240, 40, 200},
    {"Weapon Shotgun", "Shotgun", "shot", Shotgun_Fire, Shotgun_Reload, Shotgun_DrawMuzzleFlash, Shotgun_DrawFrame, nullptr, {1.0f, 1.0f, 0.5f, 1.0f}, 700, 2000, 0.8f, 1.5f, 10, 50, 10, 20},
    {"Weapon Grengun", "Grengun", "gren", Grengun_Fire, Grengun_Reload, Grengun_DrawMuzzleFlash, nullptr, nullptr, {0.5f, 1.0f, 0.5f, 1.0f}, 800, 1900, 0.5f, 1.0f, 8, 48, 8, 8},
    {"Weapon Railgun", "Railgun", "rail", Railgun_Fire, Railgun_Reload, Railgun_DrawMuzzleFlash, nullptr, Railgun_ClientFrame, {1.0f, 0.5f, 0.5f, 1.0f}, 1400, 2500, 1.0f, 1.4f, 6, 40, 6, 20},
    {"Weapon Dirtgun", "Dirtgun", "dirt", Dirtgun_Fire, Dirtgun_Reload, nullptr, Dirtgun_DrawFrame, nullptr, {1.0f, 1.0f, 1.0f, 1.0f}, 100, 2000, 0.0f, 1.0f, 50, 0, 15, 0},
    {"Weapon Nonegun", nullptr, "none", nullptr, nullptr, nullptr, nullptr, nullptr, {1.0f, 1.0f, 1.0f, 1.0f}, 0, 0, 0.0f, 0.0f, 0, 0, 0, 0},
};
}  // namespace

void G_DefineWeapons() {
    for (int i = 0; i < WEAPON_COUNT; i++) {
        const weaponRow_t &row = WEAPON_ROWS[i];
        weaponClass_t &wc = g_weaponClass[i];
        memset(&wc, 0, sizeof(wc));
        wc.defined = 1;
        wc.number = i;
        wc.name = row.name;
        wc.shortName = row.shortName;
        wc.tag = row.tag;
        wc.fire = row.fire;
        wc.reload = row.reload;
        wc.drawMuzzleFlash = row.muzzleFlash;
        wc.drawFrame = row.drawFrame;
        wc.clientFrame = row.clientFrame;
        memcpy(wc.crosshairColor, row.crosshair, sizeof(wc.crosshairColor));
        wc.refireMs = row.refireMs;
        wc.reloadMs = row.reloadMs;
        wc.heatPerShot = row.heatPerShot;
        wc.coolingPerSecond = row.coolingPerSecond;
        wc.clipSize = row.clipSize;
        wc.maxReserve = row.maxReserve;
        wc.spawnClip = row.spawnClip;
        wc.spawnReserve = row.spawnReserve;
    }
}

const weaponClass_t *G_WeaponClass(int32_t weapon) {
    return weapon >= 0 && weapon < WEAPON_COUNT ? &g_weaponClass[weapon] : nullptr;
}
