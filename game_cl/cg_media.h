// The client game's media: the registration wrappers that every part of the client
// game and the interface use, the common handles registered for every world, the
// weapons' media and the entity kinds' media.  A handle is 32 bits; 0 means not
// registered.  Everything here is registered again at each world change.
#pragma once

#include <cstdint>

#include "game/g_entity.h"
#include "game/g_soup.h"
#include "game/g_weapon.h"

struct centity_t;

constexpr int MAX_MEDIA_PATH = 256;  // longest media path with its zero

// One step of the loading screen between registration groups (mode 0).
void CG_MediaLoadingStep(const char *title, int32_t step, int32_t total);

// ---- registration wrappers ----
// Each asks the engine (or the client game's own loader) for the path's handle.  The
// checking ones report a 0 handle at ER_DROP with their own text and return 0.

int32_t CG_RegisterMaterial(const char *path);
int32_t CG_RegisterTexture(const char *path);        // with mipmaps
int32_t CG_RegisterTextureNoMip(const char *path);
int32_t CG_RegisterTextureCube(const char *path);    // sky cubes
int32_t CG_RegisterSafeTexture(const char *path);    // 0 quietly: pictures that may be missing
int32_t CG_RegisterLOD(const char *path);
int32_t CG_RegisterFont(const char *path);
int32_t CG_RegisterSound(const char *path);          // 0 quietly: a missing sound is never played
// Shows the collected model-file messages, then reports a failure.
int32_t CG_RegisterModel(const char *path);
// An animation file for a model; a failure is reported naming the path.
int32_t CG_RegisterAnimation(int32_t model, const char *path);
int32_t CG_RegisterParticle(const char *path);
// The action-script table reports its own failures.
int32_t CG_RegisterActionScript(const char *path);

// ---- common media ----

// Slots of the 85 handles registered for every world; the slots without a name stay 0.
enum cgMediaSlot_t : int32_t {
    CGM_SMALL_FONT = 0,
    CGM_NORMAL_FONT = 1,
    CGM_BIG_FONT = 2,
    CGM_HUGE_FONT = 3,
    CGM_PRETTY_BIG_FONT = 4,
    CGM_CENTER_FONT = 5,
    CGM_WHITE = 6,
    CGM_RAIL_RAILGUN_RED = 7,
    CGM_RAIL_RAILGUN_BLUE = 8,
    CGM_RAIL_SHOTGUN = 9,
    CGM_RAIL_MINIGUN = 10,
    CGM_RAIL_BERSERK = 11,
    CGM_BLOOD_STAIN = 12,  // 8 of them
    CGM_SLIME_STAIN = 20,  // 3 of them
    CGM_METEOR = 23,
    CGM_PLAYER_CRYSTAL = 24,
    CGM_BEACON_RED = 25,
    CGM_BEACON_BLUE = 26,
    CGM_BEACON_GREEN = 27,
    CGM_AIM = 28,
    CGM_TEAM_LOGO_BLUE = 29,
    CGM_TEAM_LOGO_RED = 30,
    CGM_PLAYER_SPAWN = 31,
    CGM_BERSERK_SUIT = 32,
    CGM_BERSERK_SHADOW = 33,
    CGM_CRYSTAL_SHADOW = 34,
    CGM_IMPACT_FLOWER = 35,
    CGM_ICON_CRYSTAL = 36,
    CGM_HUD_LOGO_BLUE = 37,
    CGM_HUD_LOGO_RED = 38,
    CGM_ICON_ARMOR = 39,
    CGM_ICON_BERSERKER = 40,
    CGM_ICON_HEALTH = 41,
    CGM_ICON_WEAPON = 43,  // Minigun to Dirtgun: CGM_ICON_WEAPON + weapon number - 1
    CGM_CLOCK = 49,
    CGM_ROUNDS = 50,
    CGM_SCOREBOARD = 51,
    CGM_HIT_LEFT = 52,
    CGM_HIT_RIGHT = 53,
    CGM_HIT_FRONT = 54,
    CGM_HIT_BACK = 55,
    CGM_RADAR = 56,
    CGM_RADAR_SPOT_BLUE = 57,
    CGM_RADAR_SPOT_RED = 58,
    CGM_RADAR_CRYSTAL = 59,
    CGM_RADAR_CRYSTAL_BLUE = 60,
    CGM_RADAR_CRYSTAL_RED = 61,
    CGM_RADAR_BASE_BLUE = 62,
    CGM_RADAR_BASE_RED = 63,
    CGM_RADAR_DEAD = 64,
    CGM_PAIN = 65,
    CGM_BERSERK = 66,
    CGM_CRYSTAL = 67,
    CGM_BOTTOM_HUD = 68,
    CGM_FLASH_COOKIE = 69,     // textures
    CGM_DRONE_SPOT_BLUE = 70,
    CGM_DRONE_SPOT_RED = 71,
    // Announcer sounds: blue leads, red leads, blue wins, red wins, capture, enemy has
    // the crystal, five minutes, one minute, objective, team has the crystal.
    CGM_ANNOUNCER = 74,
    CGM_NOT_ALONE = 84,
    CG_MEDIA_SLOTS = 85
};
constexpr int CG_BLOOD_STAINS = 8;
constexpr int CG_SLIME_STAINS = 3;
constexpr int CG_ANNOUNCER_SOUNDS = 10;

struct cgMedia_t {
    int32_t handles[CG_MEDIA_SLOTS];  // by cgMediaSlot_t
};

extern cgMedia_t cgMedia;

// The preload list every world registers after the common media.
constexpr const char *CG_PRELOAD_LIST = "game/reg/reg.txt";

// Clears and fills cgMedia, then registers the preload list (world change).
void CG_RegisterMedia();
// Registers every "particle", "material", "actionScript" and "sound" entry of a
// preload list; an unknown word is reported and skipped, a missing list is only a
// developer warning.
void CG_RegisterRegTXT(const char *path);

// ---- weapon media ----

constexpr int MAX_BULLET_MARKS = 32;

struct bulletMark_t {
    int32_t material;
    float size;
};

// One weapon's client media; a weapon without some of them leaves those 0.
struct weaponMedia_t {
    uint8_t gunCamera;        // the weapon draws its own screen (the railgun's zoom)
    int32_t model;            // first- and third-person gun
    int32_t ammoModel;        // magazine
    int32_t projectileModel;  // the grenade
    int32_t miniModel;        // the small gun and magazine on pick-up items
    int32_t miniAmmoModel;
    int32_t flowerViewMaterial, stickViewMaterial;  // muzzle flash seen in first person
    int32_t flowerMaterial, stickMaterial;          // ... and by others
    int32_t cameraMaterials[2];                     // the gun camera's entity and view
    int32_t numBulletMarks;
    bulletMark_t bulletMarks[MAX_BULLET_MARKS];
};

extern weaponMedia_t g_weaponMedia[WEAPON_COUNT];

// The media of a weapon number, or null outside 0-6 (numbers come from the server).
const weaponMedia_t *CG_WeaponMedia(int32_t weapon);
// Appends a bullet-mark material of a size; a full table is reported and unchanged.
void CG_RegisterBulletMark(weaponMedia_t *media, const char *path, float size);
// The seven weapons' media in weapon order, behind the "Weapons" loading steps.
void CG_RegisterWeapons();
void CG_RegisterMeelgun();
void CG_RegisterMinigun();
void CG_RegisterShotgun();
void CG_RegisterGrengun();
void CG_RegisterRailgun();
void CG_RegisterDirtgun();
void CG_RegisterNonegun();

// The dirt gun's hologram and beam materials, and its mode names for the display.
extern int32_t g_dirtMat, g_beamMat;
extern const char *g_dirtDeformNames[DIRT_DEFORM_MODES];

// ---- entity media ----

// How an entity kind is drawn.
enum drawingType_t : int32_t {
    DT_NONE = 0,
    DT_LIGHT = 1,      // no model: a light only
    DT_ITEM = 2,
    DT_GENERIC = 3,
    DT_PLAYER = 5,
    DT_TRAIL = 6,      // bullet trail
    DT_METEOR = 7,
    DT_FLAG = 8,
    DT_CRYSTAL = 9,    // generic model with a beacon and a drop shadow
    DT_SMOOTH_TRAIL = 10,
    DT_FLOWER = 11,
    DT_STATIC = 12,
    DT_DRONE = 13,
};

constexpr int ENTITY_MEDIA_MODELS = 8;

typedef void (*cgThink_t)(centity_t *entity);

// One entity kind's client media, indexed by entity type.
struct entityMedia_t {
    cgThink_t think;       // the kind's client think, called every frame; null: none
    int32_t drawingType;   // drawingType_t
    int32_t flags;
    float offset[3];       // the generic drawer's model offset along the entity's frame
    uint8_t secondAxis;    // the generic drawer uses the entity's second axis
    int32_t model;         // the generic model (the drone's body)
    int32_t models[ENTITY_MEDIA_MODELS];  // further slots: item kinds, drone flags, gibs, player bodies
    int32_t numModels;
    int32_t trailMaterial;  // smooth trails
    float trailSize;
};

extern entityMedia_t g_entityMedia[ET_COUNT];

// The media of an entity type, or null outside 0-61 (types come from the server).
const entityMedia_t *CG_EntityMedia(int32_t type);

// Every entity kind's media, behind the "Entities" loading steps.
void CG_RegisterEntities();
void CG_RegisterPlayer();
void CG_RegisterGrenade();
void CG_RegisterDrone();
void CG_RegisterItem();
void CG_RegisterCrystal();
void CG_RegisterBulletTrails();
void CG_RegisterMushroom();
void CG_RegisterStones();
void CG_RegisterCandyCanes();
void CG_RegisterFoamMushrooms();
void CG_RegisterBarrel();
void CG_RegisterProbe();
// The client-only effect kinds.
void CG_RegisterMeteor();
void CG_RegisterShell();
void CG_RegisterGrenadeFlash();
void CG_RegisterDirt();
void CG_RegisterGib();
void CG_RegisterSpark();
void CG_RegisterRainSpark();
void CG_RegisterImpactFlower();

// ---- client thinks ----
// Each runs every frame for an entity of its kind; numbers from the server (model,
// weapon, animation) that name nothing leave the entity's animations as they were.

// The player's body: head pitch, legs that turn after the view, arms and legs
// animations from the entity's animation numbers.
void CG_PlayerThink(centity_t *entity);
// A flying grenade's trail, every 0.25 units it moves, in its owner's team colour.
void CG_GrenadeThink(centity_t *entity);
// A mushroom's spores every 250 ms.
void CG_MushroomThink(centity_t *entity);

// The full-body model of a team (0 or 1) and its first-person arms, registered on
// first use; another number is reported and gives 0.
int32_t CG_GetPlayerQModel(int32_t team);
int32_t CG_GetArmQModel(int32_t team);
