// The server game's records and operations.
//
// All state lives in two globals: `sg` (the match, the world script's data and the
// 512 entities) and `sgs` (the running flag, the movement parameters and the 16
// clients).  Three pieces of that memory are read in place by the engine's snapshot
// builder: the 16 client records (each headed by a clientState_t), the 512 entity
// records (each headed by an entityState_t and its entityShared_t) and the first 20
// bytes of `sg`.  The heads' layouts are fixed in game/g_public.h; the records here
// hold pointers, so their size is the host's and the engine is always handed
// sizeof(record) as the stride.
#pragma once

#include <cstdarg>

#include <cstddef>
#include <cstdint>

#include "common/com_geometry.h"
#include "common/com_info.h"
#include "common/com_msg.h"
#include "common/com_vector.h"
#include "game/g_entity.h"
#include "game/g_main.h"
#include "game/g_materials.h"
#include "game/g_move.h"
#include "game/g_public.h"
#include "game/g_weapon.h"
#include "game_sv/sg_public.h"

// ---- limits ----

constexpr int SG_MAX_ENTITIES = 512;
constexpr int SG_FIRST_FREE_ENTITY = 16;  // slots 0-15 are the clients' player entities
constexpr int SG_CLIENTS = 16;
constexpr int SG_NAME_SIZE = 24;          // a player name of at most 23 characters
constexpr int SG_MAX_NAME = SG_NAME_SIZE - 1;
constexpr int SG_TEXT_SIZE = 1024;        // formatted texts and server commands
constexpr int SG_PATH_SIZE = 256;
constexpr int SG_WORLD_NAME_SIZE = 64;
constexpr int SG_MAX_WORLD_TAGS = 1024;
constexpr int SG_TAG_NAME_SIZE = 64;      // a tag name of at most 63 characters
constexpr int SG_WORLD_WEAPONS = 6;       // weapon blocks meelgun .. dirtgun
constexpr int SG_GAME_DATA_SIZE = 20;     // bytes of `sg` that every snapshot carries
constexpr int SG_EVENT_LIFETIME = 150;    // ms an event entity lives
constexpr float SG_ENTITY_RANGE = 10000.0f;  // an entity at this distance from the centre is lost
constexpr const char *SG_DEFAULT_NAME = "Player";  // a name that fails the name check
constexpr const char *SG_DEFAULT_BOT_NAME = "Mirel";
// A client's commands may use the time the server's clock gives it and no more:
// every frame pays its milliseconds into the client's bank, which keeps at most
// this much, so that a burst after a stall of up to a second still plays in full.
constexpr int32_t SG_TIME_BANK_MSEC = 1000;
constexpr int32_t SG_TIME_BANK_REFILL_DIVISOR = 16;  // the bank is paid 1/16 over real time
// Texts one client can make the server send to others: after a burst of
// SG_TEXT_BURST, one per SG_TEXT_MSEC.  The allowance is counted in ms, one per ms.
constexpr int32_t SG_TEXT_MSEC = 1000;
constexpr int32_t SG_TEXT_BURST = 5;

// ---- enumerations ----

// clientState_t::moveType as the server game names it.
enum clientStateNum_t : uint8_t {
    CS_PLAYING = 0,
    CS_DEAD = 1,
    CS_SPECTATOR = 2,
    CS_INTERMISSION = 3,
};

// Bits of the snapshot game data's flags word.
enum sgFlags_t : uint32_t {
    SGF_NOCLIP = 0x1,       // free flight for all players
    SGF_BLUE_CRYSTAL = 0x4, // crystal rounds: a blue client carries the crystal
    SGF_RED_CRYSTAL = 0x8,  // crystal rounds: a red client carries the crystal
    SGF_NO_RADAR = 0x10,
    SGF_SOLIDARITY = 0x20,  // the solidarity count-down runs
};

// Client state flags the server game sets beside the movement's (g_move.h).
enum sgClientFlag_t : uint32_t {
    CSF_EMPTY_CLICK = 0x1000,
    CSF_CRYSTAL = 0x10000,  // carries a crystal
};

// entityState_t::eFlags
enum entityFlag_t : uint32_t { EF_CRYSTAL = 0x2 };

enum team_t : int32_t { TEAM_BLUE = 0, TEAM_RED = 1, TEAM_ALL = -1 };

// SG_Printf modes.
enum sgPrintMode_t : int32_t { PRINT_ALL = 0, PRINT_CENTER = 1, PRINT_CONSOLE = 2 };

// Client events the server game raises (announcer sounds and state changes).
enum sgClientEvent_t : uint32_t {
    CE_SPAWN_1 = 1,
    CE_RESTART_3 = 3,
    CE_RESTART_4 = 4,
    CE_RESTART_5 = 5,
    CE_SPAWN_6 = 6,
    CE_SPAWN_8 = 8,
    CE_BLUE_LEADS = 38,
    CE_RED_LEADS = 39,
    CE_BLUE_WINS = 40,
    CE_RED_WINS = 41,
    CE_FIVE_MINUTES = 44,
    CE_ONE_MINUTE = 45,
    CE_OBJECTIVE = 46,
};

// Entity events the server game raises itself.
enum sgEntityEvent_t : uint8_t { EE_SPAWN = 1 };

// ---- entity record ----

struct sgClient_t;
struct sgEntity_t;
struct worldTag_t;

typedef void (*sgThink_t)(sgEntity_t *self);
typedef void (*sgThinkHit_t)(sgEntity_t *self, sgEntity_t *attacker, float damage);
typedef void (*sgThinkTouch_t)(sgEntity_t *other, sgEntity_t *self);  // other touches self

struct sgEntity_t {
    entityState_t s;           // read by the engine for snapshots
    entityShared_t r;          // read by the engine for visibility and resting
    // ---- server only ----
    const char *className;     // "Player", "Item", ...
    int32_t reserved0;
    int32_t number;            // slot 0-511
    int32_t createTime;        // game time of creation
    int32_t createFrame;       // engine frame count at creation
    uint8_t isEvent;           // 1: an event entity, ignored by traces
    sgThink_t thinkSG;         // every frame while in use
    sgThinkHit_t thinkHit;     // damage
    sgThinkTouch_t thinkTouch; // touched by another entity
    float axis[9];             // from ellipticAxis and angles
    sgClient_t *client;        // the owning client for slots 0-15; null otherwise
    int32_t lifetime;          // ms; 0 unlimited
    vec3_t velocity;
    int32_t health;
    // collision
    uint32_t contents;         // contents_t bits
    uint8_t hasHitBox;         // the entity can be hit
    int32_t kind;              // entity kind stored by its creator
    int32_t hitBoxFrame;       // engine frame of the last box update
    uint8_t boxFlag;           // the creator set a box
    float boxOffset;           // vertical offset of the box along the local up
    vec3_t hitOffset;          // hit box centre in the entity's local frame
    vec3_t hitHalfSize;
    mplane_t boundPlanes[6];
    mplane_t hitPlanes[6];
    obb_t hitBox;
    int32_t impactSurface;     // impactSurface_t
    // per kind
    uint8_t randomSpawned;     // made by a random spawner
    uint8_t modelByte;
    uint32_t flagWord;         // bit 0 marks team 1 for crystals
    int32_t itemKind;          // itemKind_t of an item
    int32_t itemAmount;
    int32_t team;              // a drone's or crystal's team
    uint8_t atHome;            // a crystal lying at its spawn point
    float verticalSpeed;       // a drone's
    int32_t words[4];          // further per-kind integers
    float floats[4];           // further per-kind floats
    sgEntity_t **crystalLink;  // the reference that names this entity as a crystal; cleared on delete
    int32_t crystalTeam;       // team of a capture-the-crystal crystal
    uint8_t kindByte;          // a grenade's: 1 when thrown in berserk
    worldTag_t *spawner;       // the world tag an item lies on; linked both ways
    uint8_t railPass;          // set while a rail shot passes through: traces go through the entity
};
static_assert(offsetof(sgEntity_t, r) == sizeof(entityState_t), "the shared part lies right behind the head");
static_assert(offsetof(sgEntity_t, s) == 0);

// ---- client record ----

// Match statistics; cleared together.
struct sgStats_t {
    int32_t scoreboardTime;    // last scoreboard sent to this client
    int32_t kills;             // frags
    int32_t deaths;
    int32_t suicides;
    int32_t captures;
    int32_t playTime;          // ms
    int32_t damageGiven;
    int32_t damageTaken;
    int32_t pickupLife;
    int32_t pickupArmor;
    int32_t pickupBerserk;
    int32_t shots[MEANS_COUNT];
    int32_t hits[MEANS_COUNT];
    int32_t meansKills[MEANS_COUNT];
    int32_t meansDeaths[MEANS_COUNT];
    int32_t pickups[MEANS_COUNT];
};

// Berserk and the tick stamps of life, armour and ammunition.
struct sgBerserk_t {
    int32_t berserkStart;           // game time berserk began; 0 none
    int32_t tickTime;               // last life and armour tick
    int32_t ammoTick[WEAPON_COUNT]; // last ammunition tick per weapon
};

struct sgClient_t {
    clientState_t cs;          // read by the engine for the client's snapshots
    // ---- server only ----
    int32_t infoTime;          // last "serverinfo2"; 0 forces a send
    int32_t reserved0;
    sgStats_t stats;
    sgBerserk_t berserk;
    uint8_t inUse;
    netadr_t address;
    int32_t number;            // slot 0-15
    uint8_t isBot;
    int32_t connectTime;       // engine time
    char name[SG_NAME_SIZE];
    int32_t handicap;          // percent, 10-100
    cc_t lastCC;               // the last executed command
    int32_t votesCalled;
    vec3_t aimDir;
    float viewAxis[9];         // rows forward, up (the local up), side
    float bodyAxis[9];         // the view axis without pitch
    sgEntity_t *entity;        // the player's entity
    int32_t deathAnim;         // 0-8
    int32_t objectiveTime;     // ms
    int32_t spawnCount;
    int32_t deathTime;
    int32_t aimTime;           // last aim text
    int32_t reserved1;
    sgClient_t *aimedClient;
    int32_t aimCount;
    uint8_t voted;
    uint8_t deformMode;        // the dirt gun's mode 0-4 (0-1 outside forge)
    int32_t meelgunWorldHits;  // meelgun hits on the world; every seventh digs
    cc_t botCC;                // the bot's command of this frame
    int32_t timeBank;          // ms of command time the client may still use
    int32_t textAllowance;     // ms; each text to others costs SG_TEXT_MSEC
    int32_t floodNoticeWait;   // ms until the client is told again that its texts wait
};
static_assert(offsetof(sgClient_t, cs) == 0);

// ---- world script data ----

struct worldTag_t {
    char name[SG_TAG_NAME_SIZE];
    uint32_t hash;             // Com_GetNoobHash of the name
    vec3_t pos;
    float ellipticAxis[9];     // the local frame at pos
    float params[6];           // numbers a-f
    int32_t lastSpawn;         // time of the tag's last spawn
    uint8_t spawned;           // an item was spawned on it on this map
    sgEntity_t *item;          // the item lying on it
};

struct sgWeaponSettings_t {
    uint8_t present;           // the block closed: the weapon is enabled
    uint8_t spawnWeapon;
    uint8_t skipItem;
    uint8_t spawnAmmoMagGiven;
    uint8_t spawnAmmoTotalGiven;
    uint8_t itemAmmoGiven;
    int32_t spawnAmmoMag;
    int32_t spawnAmmoTotal;
    int32_t itemAmmo;
    int32_t tickMax;
    int32_t tickRate;          // ms
};

struct sgWorld_t {
    char path[SG_PATH_SIZE];   // the script's path
    char matter[SG_PATH_SIZE]; // the world file
    char name[SG_WORLD_NAME_SIZE];
    char skyBox[SG_PATH_SIZE];
    char loadingImage[SG_PATH_SIZE];
    char fogLod[SG_PATH_SIZE];
    char musicPath[SG_PATH_SIZE];
    int32_t rules;             // default rule set
    int32_t maxPlayers;
    float spaceAltitude;
    float coreAltitude;
    vec3_t spaceBox;
    vec3_t spectatorPos;
    vec3_t spectatorAngles;
    int32_t maxItems;
    int32_t itemSpawnTime;
    int32_t numMushrooms, numStones, numCandyCanes, numFoamMushes, numProbes, numBarrels;
    vec3_t skyAnglesSpeed;
    int32_t blueTeamWM, redTeamWM;
    vec3_t spawnBluePos, spawnRedPos;
    float spawnBlueRadius, spawnRedRadius;
    float ccSpawnRadius;
    vec3_t zoneBluePos, zoneRedPos;
    float zoneBlueRadius, zoneRedRadius;
    vec4_t fogColor;
    float fogRadius, fogSight;
    float musicVolume;
    int32_t itemLifeAmount;
    int32_t itemArmorAmount;
    int32_t itemBerserkAmount; // ms
    int32_t sparkRainInterval;
    uint8_t deathFloor;
    float deathFloorHeight;
    uint8_t linearGravity;
    uint8_t itemSkipLife, itemSkipArmor, itemSkipBerserk;
    int32_t itemBerserkMax;
    worldMaterial_t materials[WORLD_MATERIALS];
    sgWeaponSettings_t weapons[SG_WORLD_WEAPONS];
    int32_t numTags;
    worldTag_t tags[SG_MAX_WORLD_TAGS];
    char infoString[MAX_INFO_STRING];
};

// ---- the two globals ----

struct sgGame_t {
    // The snapshot game data block: the engine copies these 20 bytes.
    uint32_t flags;            // sgFlags_t
    int32_t rules;             // gameRules_t
    int32_t timeLeft;          // seconds
    int32_t roundLimit;
    int16_t blueScore;
    int16_t redScore;
    // Match state: cleared by every restart, from here up to `world`.
    int32_t intermission;
    int32_t matchStart;
    uint8_t noSolidarity;
    int32_t lastCrystalCheck;
    sgEntity_t *crystal;              // crystal rounds
    sgClient_t *crystalCarrier;
    sgEntity_t *teamCrystal[2];       // capture the crystal, per team
    sgClient_t *teamCrystalCarrier[2];
    int32_t tipTime;
    int32_t tipIndex;
    char voteCommand[SG_TEXT_SIZE];
    int32_t voteStart;                // 0: no vote runs
    int32_t voteYes;
    int32_t voteNo;
    int32_t printTime[2];             // last console and centre print
    uint32_t printKey[2];
    int32_t announceTime;
    int32_t pendingAnnounce;          // 0 none
    int32_t pendingAnnounceTeam;      // 0 blue, 1 red, -1 everybody
    int32_t lastTeamAnnounce;
    int32_t lastRandomItem;           // spawning
    uint8_t crystalTagWarned[3];      // no crystal tag: told once (crystal rounds, blue, red)
    // World script data.
    sgWorld_t world;
    sgEntity_t entities[SG_MAX_ENTITIES];
    // Match control.
    uint8_t restartPending;
    int32_t restartTime;
    uint8_t nextMapPending;
    int32_t nextMapTime;
    int32_t lastAutoVote;
    uint8_t hadClients;
    int32_t lastClientTime;
    uint8_t flatGravity;
};
static_assert(offsetof(sgGame_t, flags) == 0);
static_assert(offsetof(sgGame_t, rules) == 4);
static_assert(offsetof(sgGame_t, timeLeft) == 8);
static_assert(offsetof(sgGame_t, roundLimit) == 12);
static_assert(offsetof(sgGame_t, blueScore) == 16);
static_assert(offsetof(sgGame_t, redScore) == 18);
static_assert(offsetof(sgGame_t, intermission) == SG_GAME_DATA_SIZE);

struct sgState_t {
    uint8_t running;
    int32_t startFrame;              // engine frame count at server start
    cmoveParams_t cmoveParams;
    cmoveParams_t sentCMoveParams;
    uint32_t entitySerial;           // the next entity serial; 1 at server start
    sgClient_t clients[SG_CLIENTS];
};

extern sgGame_t sg;
extern sgState_t sgs;

// ---- variables (sg_cvars.cpp) ----

extern cmdVar_t sg_skipReload, sg_printProcessCc, sg_printTrace, sg_printCmove, sg_friendlyFire, sg_skipPhys,
    sg_skipTrace, sg_printPhys, sg_debugCr, sg_skipServer, sg_subGive, sg_dirtgunAutoFire, sg_skipRadar,
    sg_printExplosion, sg_skipTips, sg_skipRespawnOnRuleChange, sg_skipRandomItems, sg_skipStaticItems,
    sg_debugSpawnItmes, sg_skipAutoCallVote, sg_fallDamage, sg_skipPlayerDropItem, sg_skipSmallRailBox,
    sg_voteDisableCreateball, sg_voteDisableBlur, sg_voteDisableNoclip, sg_voteDisableMap, sg_voteDisableRules,
    sg_voteDisableNextmap, sg_voteDisableRestartmap, sg_voteDisableKick;
extern cmdVar_t sg_knockBack, sg_banListPath, sg_worldDamage, sg_recoil, sg_bobDepth, sg_selfDamage,
    sg_dirtFireTime, sg_timeLimit, sg_roundLimit, sg_berserkFactor, sg_rules, sg_autoNextMap, sg_allowVote,
    sg_mapCycle, sg_maxDeformSize, sg_solidarity, sg_deathTime, sg_autoRestartCR, sg_autoRestartF;
constexpr int SG_MOVE_VARS = 19;
extern cmdVar_t sg_moveVars[SG_MOVE_VARS];  // c_gravity .. c_crouchAcceleration, in cmoveParams_t order

// Call 4: clears `sg` and `sgs`; with registerVars creates the variables and commands.
void SG_Imp(uint8_t registerVars);
// A value above 999 is set back to "999", below 0 to "0".
void SG_TimeLimit_v();
void SG_RoundLimit_v();
// Console commands.
void SG_Map_f();
void SG_PrintCrystal_f();
void SG_CaptureCrystal_f();
void SG_ClientList_f();
void SG_Kill_f();
void SG_NoClip_f();
void SG_RestartMap_f();
void SG_NextMap_f();
void SG_EntityList_f();
void SG_SpawnBot_f();
void SG_ShutdownServer_f();
void SG_Give_f();
void SG_Say_f();
void SG_CenterSay_f();

// ---- start, restart, shutdown (sg_main.cpp) ----

// Starts a server on a world script; rules and maxPlayers -1 take the script's.
void SG_StartServer(const char *path, int32_t rules, int32_t maxPlayers);
// Restarts the match; with reload the world file is loaded again.  False when it could not be.
bool SG_RestartServer(uint8_t reload);
// Call 9: fills the rules text, game name, protocol and version text.
void SG_GetServerInfo(char *rules, char *gameName, int32_t *protocol, char *version);
// Formats (at most 1,023 characters) and queues a server command for one client; bots get nothing.
// The same with its arguments as a list; bots and free slots get nothing.
void SG_VSendServerCommand(const sgClient_t *client, const char *format, va_list ap);
void SG_SendServerCommand(const sgClient_t *client, const char *format, ...) __attribute__((format(printf, 2, 3)));
// Copies the movement variables; a change makes every client get a new "serverinfo2".
void SG_UpdateCMoveParams();
// "DM", "CR", "F" or "CC" by rules number (death match for another number).
const char *SG_RulesName(int32_t rules);
// Clears the match state: everything of `sg` between the snapshot block and the world data.
void SG_ClearMatchState();

// ---- game time ----

// Game time stamps are the clock's bits in an int32_t.  The clock wraps after
// about 24.8 days of uptime (as signed) and 49.7 (as unsigned), so ages are the
// difference of the two as unsigned, read back as signed: right across a wrap.
inline int32_t SG_Now() { return static_cast<int32_t>(qgame.time); }
// Milliseconds from a game time stamp to now.
inline int32_t SG_Since(int32_t stamp) { return static_cast<int32_t>(qgame.time - static_cast<uint32_t>(stamp)); }
// The game time ms from now.
inline int32_t SG_Later(int32_t ms) { return static_cast<int32_t>(qgame.time + static_cast<uint32_t>(ms)); }

// ---- frame (sg_frame.cpp) ----

// Call 7.
void SG_Frame();
void SG_HandleRespawn(sgClient_t *client);
void SG_Objective(sgClient_t *client);
void SG_Solidarity();
void SG_TickLifeAndArmor(sgClient_t *client);
void SG_TickAmmo(sgClient_t *client);
void SG_ClientInfo(sgClient_t *client);
void SG_PrintClientAim(sgClient_t *client);
void SG_SetupRadar(sgClient_t *client);
// Sends "serverinfo2" with the world's altitudes, the tuning variables, the next map and movement.
void SG_SendServerInfo2(sgClient_t *client);
// Life and armour limits by handicap.
int32_t SG_MaxLife(const sgClient_t *client);
int32_t SG_MaxArmor(const sgClient_t *client);
int32_t SG_MaxNonTickLife(const sgClient_t *client);
int32_t SG_MaxNonTickArmor(const sgClient_t *client);
// A byte or 16-bit field computed in int and stored clamped to 0..max.
uint8_t SG_ClampByte(int32_t value);
int16_t SG_ClampShort(int32_t value);

// ---- rules and match flow (sg_rules.cpp) ----

void SG_InitDM();
void SG_InitCR();
void SG_InitF();
void SG_InitCC();
void SG_RulesThink();
bool CheckTime();
int32_t SG_TeamLead();
void SG_NewCrystalRound();
void SG_DropCrystal(sgClient_t *client);
void SG_SetIntermissionState();
void SG_SendScoreboard(sgClient_t *client);
int PlayerSort(const void *a, const void *b);
// True when the client carries a crystal.
bool SG_HasCrystal(const sgClient_t *client);

// ---- entities (sg_entity.cpp) ----

sgEntity_t *SG_CreateEntity(int32_t type);
sgEntity_t *SG_CreateEntityClient(int32_t n);
sgEntity_t *SG_CreateEventEntity(int32_t type, const vec3_t position, const vec3_t direction);
void SG_DeleteEntity(sgEntity_t *entity);
void SG_DeleteEntitiesByType(int32_t type);
// Deletes every entity in use and clears every client's entity link.
void SG_DeleteAllEntities();
// False (and the entity deleted) when it lies 10,000 or more from the centre.
bool SG_CheckEntity(sgEntity_t *entity);
void SG_FinishEntity(sgEntity_t *entity);
// The entity record of a slot 0-511, or null.
sgEntity_t *SG_EntityNum(int32_t number);

// ---- clients (sg_client.cpp) ----

void SG_ClientConnect(const netadr_t *address, const char *name, int32_t a, int32_t b);
sgClient_t *SG_BotConnect(const char *name);
void SG_DropClient(sgClient_t *client, const char *reason);
sgClient_t *SG_CreateClient(int32_t slot, const netadr_t *address, uint8_t isBot);
int32_t SG_FindFreeClient();
int32_t SG_GetNumClients();
// The client record of a slot 0-15; null outside.
sgClient_t *SG_ClientRecord(int32_t number);
// The connected client of a slot 0-15; null when the number is outside or the slot is free.
sgClient_t *SG_ConnectedClient(int32_t number);
void SG_SpawnClientAsPlayer(sgClient_t *client, int32_t team, const vec3_t position);
void SG_SpawnClientAsDead(sgClient_t *client, int32_t team);
void SG_SpawnClientAsSpectator(sgClient_t *client, uint8_t toStart);
void SG_UpdateClientOrientation(sgClient_t *client);
cc_t *SG_GetBotCC(int32_t slot);
// The name if it passes the name check, else the default name; into out (SG_NAME_SIZE bytes).
void SG_CleanName(char *out, const char *name, const char *fallback);
// Clears a client state except its event counters.
void SG_ClearClientState(sgClient_t *client);

// ---- world script (sg_world.cpp) ----

bool SG_ParseWorldScript(const char *path);
const worldTag_t *SG_GetWorldTag(const char *name);
void SG_WorldThink();
void SG_InitWorld();
// Builds the world info string into buffer (MAX_INFO_STRING) and hands it to the engine.
void SG_UpdateWorldInfoString(char *buffer, const sgWorld_t *world);

// ---- messages and announcements (sg_print.cpp) ----

void SG_Printf(int32_t mode, const char *format, ...) __attribute__((format(printf, 2, 3)));
void SG_ClientPrintf(const sgClient_t *client, const char *format, ...) __attribute__((format(printf, 2, 3)));
const char *SG_ClientColorName(const sgClient_t *client);
void SG_AnnounceAll(int32_t event);
void SG_AnnounceTeam(int32_t team, int32_t event);
void SG_PendingAnnounce();
void SG_AddEntityEvent(sgEntity_t *entity, uint8_t event);
void SG_AddClientEvent(sgClient_t *client, uint32_t event);
void SG_PlayEntitySound(sgEntity_t *entity, int32_t sound);
void SG_PlayClientSound(sgClient_t *client, int32_t sound);
const char *SG_GetNextMap(const char *currentMap, uint8_t complain);

// ---- client commands, votes, combat, spawning, physics, entity kinds ----

// Fills a bot's command of this frame.
void Bot_Frame(cc_t *cc, int32_t slot);
// Calls thinkTouch of every entity whose hit box overlaps the entity's.
void SG_TouchAllTriggers(sgEntity_t *entity, uint32_t mask);
void SG_UpdateEntityBoundingBox(sgEntity_t *entity);
void SG_UpdateEntityHitBox(sgEntity_t *entity);
// Physics of a loose entity falling onto the ground; 1 when it is stuck.
uint8_t SG_EntityPhys(sgEntity_t *entity, float radius, float gravity);
// Entities in use whose kind is `kind`; with randomOnly only randomly spawned ones.
int32_t SG_CountEntityType(int32_t kind, uint8_t randomOnly);
// Deforms the world at center: carve, then blur, once per world material in use.
void SG_DamageMatter(const vec3_t center, float radius, float strength);

// ---- combat (sg_combat.cpp) ----

// Damage to any entity: players through their client record, every kind through
// its hit callback; raises the impact event entity of the means on its surface.
// A means outside 0-5 is reported and does nothing.
void SG_DamageEntity(sgEntity_t *entity, sgClient_t *attacker, int32_t means, const vec3_t hitPosition,
                     const vec3_t direction, float damage, float knockBack, uint8_t makeEvent);
// Splits damage between armour and health; kills when health runs out.  Attacker null for none.
void SG_DamageClient(sgClient_t *victim, int32_t means, float damage, sgClient_t *attacker, const vec3_t hitPosition);
// The single way a player dies: drops what it carries, bleeds, scores and tells everybody.
void SG_KillClient(sgClient_t *victim, sgClient_t *attacker, int32_t means, int32_t deathAnim);
// Radius damage (means 3) to every entity of the mask but the spared client's body.
void SG_SplatterDamage(const vec3_t center, float damage, sgClient_t *attacker, sgClient_t *sparedClient,
                       uint32_t contentsMask, uint8_t makeEvent);
// The death animation 0-8 for a means, the side hit (1-4) and the damage.
int32_t SG_DeathAnimation(int32_t means, uint8_t hitDir, int32_t damage);
void SG_KnockBackClient(sgClient_t *client, const vec3_t direction, float amount);
void SG_AddPlayerWalkSlow(sgClient_t *client, float factor);
void SG_AddPlayerBobDepth(sgClient_t *client, float amount);
void SG_AddPlayerBarrelHeat(sgClient_t *client, float amount);
void SG_AddPlayerRecoil(sgClient_t *client, float pitchAmount, float yawAmount);
void SG_PlayerBloodSplat(sgClient_t *client, int32_t count);
void SG_GibExplosion(sgClient_t *client, uint8_t large);

// ---- spawning (sg_spawn.cpp) ----

// The ground below a point (along the local down), raised by height; the result is
// up · the ground's normal (1 level, near 0 a wall), 0 when no ground was found.
float SG_GetGroundPosition(vec3_t out, const vec3_t point, float height);
// A random place on the ground at least minFlatness flat, near center (null or a zero
// center with radius 0: anywhere); the flattest of the tries when none is flat enough.
void SG_RandomNoneSteepSurfaceSpawn(vec3_t out, float height, float minFlatness, const float *center, float radius);
// The same, the one of four places farthest from entities of the mask.
void SG_RandomNoneSteepFarEntitySurfaceSpawn(vec3_t out, float height, float minFlatness, uint32_t contentsMask,
                                             const float *center, float radius);
// A start point for a player of the team under the running rules.
void SG_GetPlayerSpawnPoint(vec3_t out, int32_t team);
// Where the crystal (crystal rounds) or the team's crystal (capture the crystal) starts;
// out is untouched under other rules or when no point exists, and the answer is false.
bool SG_GetCrystalSpawnPoint(vec3_t out, int32_t team, uint8_t warn);
// The random item kind for a draw r in 0..1.
int32_t SG_RandomItemKind(float r);
void SG_SpawnRandomItem();
void SG_SpawnMushroom();
void SG_SpawnStone();
void SG_SpawnCandyCane();
void SG_SpawnFoamMush();
void SG_SpawnBarrel();
void SG_SpawnProbe();
void SG_SpawnDrone();
void SG_SpawnStaticItem();
void SG_SpawnSlime();

// ---- entity kinds (game/g_player.cpp, g_items.cpp, g_decor.cpp) ----

// The player's entity in the client's own slot.
sgEntity_t *SG_CreatePlayer(sgClient_t *client);
sgEntity_t *SG_CreateGrenade(const vec3_t origin, const vec3_t direction, float speed, sgClient_t *owner);
// The grenade's blast: event, splash damage to players, and a dent in the world.
void SG_Explode(sgEntity_t *grenade, const vec3_t direction, int32_t surface);
// Forgets a leaving client as the owner of its grenades, so no kill is credited to
// whoever takes the slot next.
void SG_ClearEntityOwner(const sgClient_t *client);
sgEntity_t *SG_CreateDrone(const vec3_t position, int32_t team);
// An item of kind 0-7 (other kinds, and ammunition of a weapon the world does not
// enable, are refused: null); amount 0 takes the kind's default.
sgEntity_t *SG_CreateItem(const vec3_t position, const vec3_t velocity, int32_t kind, int32_t amount,
                          worldTag_t *spawner, uint8_t randomSpawned);
// Berserk from an item of amount seconds (0: the world's full time).
void SG_GiveBerserk(sgClient_t *client, int32_t amount);
// A crystal; a velocity longer than 10 is reported.
sgEntity_t *SG_CreateCrystal(const vec3_t position, const vec3_t velocity, int32_t team, uint8_t atHome);
sgEntity_t *SG_CreateMushroom(const vec3_t position, uint8_t randomSpawned);
sgEntity_t *SG_CreateStone(const vec3_t position, int32_t type, uint8_t randomSpawned);
sgEntity_t *SG_CreateCandyCane(const vec3_t position, int32_t type, uint8_t randomSpawned);
sgEntity_t *SG_CreateFoamMush(const vec3_t position, int32_t type, uint8_t randomSpawned);
sgEntity_t *SG_CreateBarrel(const vec3_t position, uint8_t randomSpawned);
sgEntity_t *SG_CreateProbe(const vec3_t position, uint8_t randomSpawned);
// A trail of kind 8-11 from start to end, sent to everybody for a second.
sgEntity_t *SG_CreateBulletTrail(const vec3_t start, const vec3_t end, int32_t kind);

// ---- client commands (sg_cmds.cpp) ----

// Runs the client's queued commands (a bot's command of this frame); an idle
// client repeats its last command without its text and its one-press buttons.
void SG_IssueClientCommands(sgClient_t *client);
// One command: view and movement, its text, its buttons (a repeat only its held
// buttons: no view, no move, no text); kept as lastCC.
void SG_IssueCC(sgClient_t *client, const cc_t *cc, uint8_t repeat);
// Puts the client into the team of the command's join bit.
void SG_JoinTeam(sgClient_t *client, const cc_t *cc);
// Takes count texts to others from the client's allowance (bots have no limit).
// False when it has too few left: the client is told, at most once a second.
bool SG_TakeTextAllowance(sgClient_t *client, int32_t count);
// Starts a switch to an owned weapon 0-6; any other number is ignored.
void SG_WeaponChange(sgClient_t *client, int32_t weapon);

// ---- votes (sg_vote.cpp) ----

// Starts a vote of a kind (lower case) with its argument; caller null for the
// server's own vote.  Refusals go to the caller.
void SG_CallVote(sgClient_t *caller, int32_t argc, const char *kind, const char *argument);
// The server's next-map vote once a match ran 90 minutes, at most every 20 minutes.
void SG_AutoCallVote();
// Ends a running vote once every playing client answered or 30 seconds passed.
void SG_CheckVote();
// A client leaves its slot: a running vote to kick that slot will kick nobody.
void SG_VoteClientLeft(int32_t slot);

// ---- traces and entity physics (sg_phys.cpp) ----

// Filter bits of SG_SeekRadius and SG_SeekClosest; kinds they do not name always pass.
enum seekFilter_t : uint32_t { SEEK_PLAYERS = 0x1, SEEK_MUSHROOMS = 0x8 };

// A moving point or box against the world (mask bit 1) and the entities whose
// contents share a bit with mask; the nearest hit wins, the world and then the
// lowest slot on equal fractions.  Also movement's trace on the server.
void SG_Trace(gameTrace_t *result, const obb_t *start, const obb_t *end, void *skipEntity, int32_t mask,
              int32_t useHitPlanes);
// A ray against one entity's hit planes (or bound planes); true when it lowered the result.
uint8_t SG_RayToEntity(gameTrace_t *result, sgEntity_t *entity, const vec3_t start, const vec3_t end,
                       uint8_t useHitPlanes);
// A moving box against one entity's hit box; true when it lowered the result.
uint8_t SG_VolumeToEntity(gameTrace_t *result, sgEntity_t *entity, const obb_t *start, const obb_t *end);
// True when entity is not skipEntity and its contents share a bit with mask.
uint8_t SG_CheckClipMask(const sgEntity_t *entity, const void *skipEntity, uint32_t mask);
// Calls thinkTouch(other, entity) of every entity of mask whose hit box overlaps the entity's.
void SG_TouchAllTriggers(sgEntity_t *entity, uint32_t mask);
// The visibility box: the visibility radius around origin + up x offset.
void SG_UpdateEntityBoundingBox(sgEntity_t *entity);
// The hit box and both plane sets, at most once per engine frame.
void SG_UpdateEntityHitBox(sgEntity_t *entity);
// A loose entity falls and lands on the world; 1 only when it is stuck in matter.
uint8_t SG_EntityPhys(sgEntity_t *entity, float radius, float gravity);
// A prop falls onto the ground found below it.
void SG_EntityFall(sgEntity_t *entity, float height, float gravity);
// The first slot from startSlot holding an admitted entity within radius (0: any distance), or -1.
int32_t SG_SeekRadius(int32_t startSlot, const sgEntity_t *skipEntity, uint32_t filter, const vec3_t point,
                      float radius);
// The admitted entity nearest the point within radius, the lowest slot on ties, or -1.
int32_t SG_SeekClosest(const sgEntity_t *skipEntity, uint32_t filter, const vec3_t point, float radius);
// Entities in use of a kind; with randomOnly only those a random spawner made.
int32_t SG_CountEntityType(int32_t kind, uint8_t randomOnly);
// Carves and smooths the world at a point, per named world material by its dig strength.
void SG_DamageMatter(const vec3_t center, float radius, float strength);
