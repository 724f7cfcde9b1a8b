// The weapon classes: one row of data per weapon number, filled once at module
// start and read by movement (timers), the server game and the client game.
#pragma once

#include <cstdint>

struct sgClient_t;
struct tagState_t;

// What a weapon's client-side per-frame drawing is given for one drawn gun.
struct weaponFrame_t {
    uint8_t firstPerson;          // the viewer's own gun: the view's eye and materials
    int32_t model;                // the gun model
    const tagState_t *tags;       // the gun's tags, placed in the world
    int32_t numTags;
    const float *origin;          // the holder's position
    float eyeHeight;              // of a holder seen from outside
    const float *viewAxes;        // rows right, up, forward
    const float *hologramAxes;    // the same without pitch
    int32_t mode, size;           // the dirt gun's mode and size (tenths), from the server
    uint32_t lastShotFrame;       // frame count of the holder's last shot
};

// Client side: the muzzle flash of a gun whose holder fired at fireTime (ms), turned
// about the barrel by angle degrees; firstPerson picks the view's materials.
typedef void (*weaponMuzzleFlash_t)(int32_t model, const tagState_t *tags, int32_t numTags, int32_t fireTime,
                                    float angle, uint8_t firstPerson);
typedef void (*weaponDrawFrame_t)(const weaponFrame_t *frame);

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
    weaponMuzzleFlash_t drawMuzzleFlash;  // client side
    weaponDrawFrame_t drawFrame;
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

// ---- client side of the weapons ----

void Meelgun_DrawMuzzleFlash(int32_t model, const tagState_t *tags, int32_t numTags, int32_t fireTime, float angle,
                             uint8_t firstPerson);
void Minigun_DrawMuzzleFlash(int32_t model, const tagState_t *tags, int32_t numTags, int32_t fireTime, float angle,
                             uint8_t firstPerson);
void Shotgun_DrawMuzzleFlash(int32_t model, const tagState_t *tags, int32_t numTags, int32_t fireTime, float angle,
                             uint8_t firstPerson);
void Grengun_DrawMuzzleFlash(int32_t model, const tagState_t *tags, int32_t numTags, int32_t fireTime, float angle,
                             uint8_t firstPerson);
void Railgun_DrawMuzzleFlash(int32_t model, const tagState_t *tags, int32_t numTags, int32_t fireTime, float angle,
                             uint8_t firstPerson);
void Meelgun_DrawFrame(const weaponFrame_t *frame);
void Minigun_DrawFrame(const weaponFrame_t *frame);
// Barrel smoke in the frame right after the shot.
void Shotgun_DrawFrame(const weaponFrame_t *frame);
// The beam from the gun to the hologram of the shape where the matter would go.
void Dirtgun_DrawFrame(const weaponFrame_t *frame);
// The spinning parts of the view weapons, every frame, held or not.
void Meelgun_ClientFrame();
void Minigun_ClientFrame();
void Railgun_ClientFrame();

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
