// The weapon classes: one row of data per weapon number, filled once at module
// start and read by movement (timers), the server game and the client game.
#pragma once

#include <cstdint>

struct sgClient_t;

enum weaponNum_t : int32_t {
    WP_MEELGUN = 0,
    WP_MINIGUN = 1,
    WP_SHOTGUN = 2,
    WP_GRENGUN = 3,
    WP_RAILGUN = 4,
    WP_DIRTGUN = 5,
    WP_NONEGUN = 6,
    WEAPON_COUNT = 7
};

// One weapon.  A row not yet defined is all zero.
struct weaponClass_t {
    uint8_t defined;          // 1 once filled
    int32_t number;           // the row's weapon number
    const char *name;         // "Weapon Meelgun"
    const char *shortName;    // "Meelgun"; null for the Nonegun
    const char *tag;          // four letters naming the weapon's action scripts and animations
    float crosshairColor[4];  // red, green, blue, alpha
    uint8_t (*fire)(sgClient_t *client, uint8_t secondary);  // server side; null: cannot fire
    void (*reload)(sgClient_t *client);
    void (*drawMuzzleFlash)();  // client side
    void (*drawFrame)();
    void (*spare)();
    void (*clientFrame)();
    void (*heldFrame)();
    int32_t refireMs;         // between shots
    int32_t reloadMs;         // one reload
    float heatPerShot;        // barrel heat added per shot
    float coolingPerSecond;   // barrel heat that movement takes off per second
    int32_t clipSize;         // rounds of a full clip
    int32_t maxReserve;       // most spare rounds carried
    int32_t spawnClip;        // rounds in the clip at spawn
    int32_t spawnReserve;     // spare rounds at spawn
};

extern weaponClass_t g_weaponClass[WEAPON_COUNT];

// Fills the seven rows in weapon number order.
void G_DefineWeapons();
// The row of a weapon number, or null for a number outside 0-6.
const weaponClass_t *G_WeaponClass(int32_t weapon);
