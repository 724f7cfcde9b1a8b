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

// Fills the seven rows in weapon number order, with their server callbacks.
void G_DefineWeapons();
// Loads the dirt gun's shapes (files of the engine's file system); after G_DefineWeapons.
// A shape file that is missing leaves its mode without a shape (it fires nothing).
void G_LoadDirtgunShapes();
// The row of a weapon number, or null for a number outside 0-6.
const weaponClass_t *G_WeaponClass(int32_t weapon);

// ---- server side of the weapons ----

// Event entity kinds that shots raise.
constexpr int32_t WPE_MEELGUN_IMPACT = 23;  // impacts on the world (dirt)
constexpr int32_t WPE_MINIGUN_IMPACT = 27;
constexpr int32_t WPE_SHOTGUN_IMPACT = 31;
constexpr int32_t WPE_RAILGUN_IMPACT = 39;
constexpr int32_t WPE_DIRT_ADD = 52;
constexpr int32_t WPE_DIRT_SUB = 53;

constexpr int RAILGUN_MAX_PIERCED = 6;  // entities one rail shot damages at most

// A shot: 1 when it was made (the caller takes the round and raises the fire events).
uint8_t Meelgun_Fire(sgClient_t *client, uint8_t secondary);
uint8_t Minigun_Fire(sgClient_t *client, uint8_t secondary);
uint8_t Shotgun_Fire(sgClient_t *client, uint8_t secondary);
uint8_t Grengun_Fire(sgClient_t *client, uint8_t secondary);
uint8_t Railgun_Fire(sgClient_t *client, uint8_t secondary);
// Builds (secondary 0) or digs; in the forge also paints and blurs.  0 when the
// shape touches no terrain or the mode is unknown.
uint8_t Dirtgun_Fire(sgClient_t *client, uint8_t secondary);
// A reload starts: nothing for any weapon (movement moves the rounds).
void Meelgun_Reload(sgClient_t *client);
void Minigun_Reload(sgClient_t *client);
void Shotgun_Reload(sgClient_t *client);
void Grengun_Reload(sgClient_t *client);
void Railgun_Reload(sgClient_t *client);
void Dirtgun_Reload(sgClient_t *client);

// The client's view frame (rows right, up, forward) and the same without pitch,
// which the dirt gun's wall and platform follow: built from the state's body frame
// and view angles as movement builds them.
void SG_ClientViewAxes(const sgClient_t *client, float view[9], float level[9]);

// ---- the dirt gun ----

enum dirtMode_t : uint8_t { DIRT_BUILD = 0, DIRT_WALL = 1, DIRT_PLATFORM = 2, DIRT_PAINT = 3, DIRT_BLUR = 4 };
// Each mode's shape is g_dirtDeformSoups[mode] (game/g_soup.h), null when it did not load.

// Where the shape of a mode goes for an eye and its view frame (rows right, up,
// forward) and level frame: the first surface within 12 units ahead, or the point
// 12 units ahead; wall and platform follow the level frame, the rest the view.
// Returns the probe's fraction.  Both game sides place the shape with it.
float CalcDirtHologram(uint8_t flatGravity, float origin[3], float axis[9], const float eye[3],
                       const float viewAxes[9], const float hologramAxes[9], int32_t mode);
// Smoothing passes after digging matter of the given strength outside the forge:
// (1 - strength) x 50, held to 6..50.
int32_t G_DirtDigBlurSize(float strength);
