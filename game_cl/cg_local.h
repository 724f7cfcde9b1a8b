// The client game's one global record `cg` and its view of the current world `cgw`.
//
// `cg` begins with the engine client's connection record: the client game hands
// the address of `cg` over (trap 94) and the engine writes the head in place.
// Everything else belongs to the client game.  Both records are cleared at
// module start; `cgw` is cleared and refilled at every map change.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/com_info.h"
#include "common/com_vector.h"
#include "game/g_materials.h"
#include "game/g_move.h"
#include "game/g_public.h"
#include "game/g_utils.h"
#include "game_cl/cg_channels.h"
#include "game_cl/cg_model.h"
#include "game_cl/cg_view.h"

constexpr int CG_CC_RING = 64;             // client commands kept; command n in slot n & 63
constexpr int CG_ENTITIES = 512;           // snapshot entities, and again cEntities
constexpr int CG_ACTION_FLAGS = 23;        // one-frame bytes: button bits 0-21 and last-used weapon
constexpr int CG_PENDING_TEXT = 128;       // the text command of the next client command, with its zero
constexpr int CG_NAME_SIZE = 24;           // player names and the server's texts, with their zero
constexpr int CG_NEXT_MAP_SIZE = 64;
constexpr int CG_PATH_SIZE = 256;          // paths and names of the world, with their zero
constexpr int CG_SCOREBOARD_ROWS = 25;     // player rows, and again spectator rows
constexpr int CG_CENTER_SLOTS = 2;
constexpr int CG_CENTER_TEXT_SIZE = 64;
constexpr int CG_TEST_MODELS = 4;
constexpr int CG_TAG_NAME_SIZE = 16;
constexpr int CG_ENTITY_CHANNELS = 8;      // animation channels of one entity
constexpr int CG_BODY_CHANNELS = 7;        // channels of one body set
constexpr int CG_GAME_DATA_COPY = 20;      // bytes of the snapshot game data the client game keeps
constexpr int CG_TRAIL_POINTS = 16;        // positions a smooth trail remembers

// The menu screen on show (cg.menu).
enum cgMenu_t : int32_t {
    CG_MENU_NONE = 0,
    CG_MENU_INTRO = 1,          // the intro logo
    CG_MENU_LOBBY = 2,          // lobby or title screen
    CG_MENU_SERVER_INFO = 3,
    CG_MENU_BROWSER = 4,
    CG_MENU_CREATE_SERVER = 5,
    CG_MENU_OPTIONS = 6,        // the options hub
    CG_MENU_GAME_OPTIONS = 7,
    CG_MENU_CONTROLS = 8,
    CG_MENU_FORGE_CONTROLS = 9,
    CG_MENU_SYSTEM = 10,
    CG_MENU_CREDITS = 11,
};

// The kind's media record of an entity (client think, drawing type, models).
struct entityMedia_t;

// The client game's entity: a snapshot entity (slot i mirrors server slot i) or a
// client-only effect entity (cEntity).
struct centity_t {
    entityState_t s;              // the entity's state, interpolated for this frame
    const entityMedia_t *media;   // the record of the kind s.type
    // Interpolation history.
    int32_t newestSnapshot;       // number of the newest snapshot seen
    float moved;                  // distance moved between the two snapshots of that pair
    float previousMoved;          // the same for the pair before
    float lerpError;              // distance from last frame's origin to this frame's
    float previousLerpError;
    uint8_t smoothed;             // last frame's origin was pulled back half way
    vec3_t lastOrigin;            // origin drawn in the frame before
    entityAxes_t axes;            // drawing axis from the elliptic axis and the angles
    // Drawer fields.
    float weaponTagAxis[9];       // the held weapon's tag on the body
    uint8_t hiddenPlayer;
    // Events.
    uint8_t played;               // an event entity's impact has been presented
    int32_t eventsIssued;         // entries of s.events presented so far
    int32_t spawnEffectTime;      // game time (ms) of the last player-spawn event
    int32_t lastFireWeapon;
    uint32_t lastFireFrame;       // qgame frame count of the shot
    int32_t lastFireTime;         // game time (ms) of the shot: its muzzle flash fades from there
    float lastFireRoll;           // degrees, -15..15
    float spinAngle;              // degrees 0..360, about spinAxis
    vec3_t spinAxis;
    float lifeFraction;           // 0..1
    int32_t modelIndex;           // into the kind's model list
    // cEntity fields.
    vec3_t velocity;
    float axis[9];                // rows of the drawing frame, also handed to trail scripts
    vec3_t lastTrailPoint;
    float spinSpeed;              // degrees per second
    int32_t spawnTime;            // game time (ms)
    uint32_t spawnFrame;          // qgame frame count
    uint8_t keepAxis;             // 1: the frame leaves axis as it is
    int32_t subKind;              // flower number
    uint8_t color[3];             // a spark's red, green, blue
    vec3_t meteorHead;
    vec3_t meteorTail;
    float meteorSpeed;
    float meteorClock;
    // Client thinks of the entity kinds (media).
    channel_t channels[CG_ENTITY_CHANNELS];  // the body's animations; the drawers sample them
    float legsYaw;                // degrees: where the legs face, following the view
    float legsTurnStart;          // legs yaw when the running turn began
    float legsTurnTime;           // 0..1 through the running turn
    uint8_t legsTurn;             // 0 none, 4 turning right, 5 turning left
    int32_t lastThinkTime;        // game time (ms) a kind's periodic effect last ran
    // Drawers: a smooth trail's recent positions, the newest first.
    vec3_t trailPoints[CG_TRAIL_POINTS];
    int32_t numTrailPoints;
};

// One player row of the scoreboard.
struct cgScoreRow_t {
    char name[CG_NAME_SIZE];
    uint8_t dead, red, carrier, self;
    int32_t frags, deaths, damage, captures;
    int32_t playTime;  // ms
    int32_t ping;      // ms
};

// One spectator row of the scoreboard.
struct cgSpectatorRow_t {
    char name[CG_NAME_SIZE];
    int32_t ping;        // ms
    uint8_t loading;     // still loading the world
};

// A centre text shown for lifeMs from startTime.
struct cgCenterText_t {
    char text[CG_CENTER_TEXT_SIZE];
    uint32_t startTime;  // game time, ms
    int32_t lifeMs;
};

// The seven media handles registered right after the defaults: everything above
// them belongs to the current world and goes at a map change or a disconnect.
struct cgWatermarks_t {
    int32_t material, texture, model, lod, sound, particle, animation;
};

// Where spent shells leave the view weapon; fresh for one frame after it is set.
struct cgShellEject_t {
    uint32_t frame;  // qgame frame count of the last update
    vec3_t origin;
    vec3_t direction;
    float axis[9];
};

struct cg_t {
    ecl_t ecl;  // written by the engine client

    uint8_t initialized;
    uint8_t loadingBlocked;   // 1 until CG_Init: models and animations refuse to load
    uint8_t skipScreen;       // the screen shows only the console
    uint8_t consoleKeyHeld;
    uint8_t escapeHeld;
    uint8_t shiftHeld;
    uint8_t controlHeld;

    // The connected server, from "serverinfo".
    char serverName[CG_NAME_SIZE];
    char serverMap[CG_NAME_SIZE];
    uint8_t serverIp[4];      // for display; a loop-back connection shows 127.0.0.1
    int32_t serverPort;
    char serverGame[CG_NAME_SIZE];
    char serverVersion[CG_NAME_SIZE];
    char serverRules[CG_NAME_SIZE];
    int32_t serverOs;         // 1 Windows, 2 FreeBSD, 3 Linux
    // From "serverinfo2".
    float serverCoreAlt, serverSpaceAlt;
    float serverKnockback, serverSkipReload, serverWorldDamage, serverRecoil;
    float serverSelfDamage, serverFriendlyFire, serverCheats, serverPure;
    char nextMap[CG_NEXT_MAP_SIZE];
    cmoveParams_t moveParams;  // drive prediction; the server replaces the defaults

    // The scoreboard as last received.
    int32_t scorePlayers, scoreSpectators;
    int32_t scoreMinutes;      // since the match started
    int32_t scoreTime;         // game time (ms) of receipt
    cgScoreRow_t scoreRows[CG_SCOREBOARD_ROWS];
    cgSpectatorRow_t spectatorRows[CG_SCOREBOARD_ROWS];
    cgCenterText_t centerText[CG_CENTER_SLOTS];

    char mapPath[CG_PATH_SIZE];  // of the last successful map change
    const char *worldInfo;       // the engine's world info string

    char playerName[CG_NAME_SIZE];
    uint32_t team;               // nothing sets it: always 0
    uint8_t zoomToggle;

    uint32_t ccNumber;           // newest command; 0 at connection
    cc_t ccRing[CG_CC_RING];

    const snapshot_t *older;     // the pair around the simulation time; null when none
    const snapshot_t *newer;
    int32_t simTime;             // ms
    uint32_t issuedEvents;       // server event ring entries presented
    uint32_t issuedMoveEvents;   // movement event ring entries presented

    centity_t entities[CG_ENTITIES];
    centity_t cEntities[CG_ENTITIES];

    clientState_t previousState;  // predicted, the frame before
    clientState_t predicted;
    float predictedAxis[9];       // forward, right, up
    snapshotGameData_t gameData;  // only the first CG_GAME_DATA_COPY bytes are kept

    vec3_t viewOrigin;            // also where the sound listener is
    float viewAxis[9];
    vec3_t inputAngles;           // roll, pitch, yaw
    vec3_t commandAngles;
    uint32_t selectedWeapon;
    uint32_t selectedDeformMode;
    uint8_t actionFlags[CG_ACTION_FLAGS];  // cleared with pendingText after each command
    char pendingText[CG_PENDING_TEXT];

    char infoString[MAX_INFO_STRING];  // sent to the server when it changes

    int32_t tmModels[CG_TEST_MODELS];
    vec3_t tmPositions[CG_TEST_MODELS];
    int32_t tmTagSlots[CG_TEST_MODELS];
    char tmTagNames[CG_TEST_MODELS][CG_TAG_NAME_SIZE];
    float tmTime;                 // seconds
    channel_t weaponChannel;      // the first-person weapon
    channel_t bodyChannels[2][CG_BODY_CHANNELS];   // two gun channels per weapon: [set][weapon]
    channel_t magazineChannels[CG_BODY_CHANNELS];  // the view weapon's magazine, per weapon
    float pain;                   // 0..1
    uint8_t scoreboardRequested;
    uint8_t musicPlaying;
    uint8_t cursorMode;           // 1 while the interface owns the mouse
    uint8_t fire2Latch;
    uint8_t flatGravity;          // 1 on a world with linear gravity

    cgWatermarks_t watermarks;
    int32_t menu;                 // the menu screen on show, 0 none
    uint8_t chatMode;             // 0 closed, 1 all, 2 team
    float cinematicTime;          // the intro logo's progress, 0..1
    uint32_t lastUsedWeapon;

    // Prediction and client events.
    entityAxes_t playerAxes;      // the predicted body frame, view axis and level view axis (Ts: rows)
    channel_t drumChannel;        // the grenade gun's drum on the view weapon
    float drumFraction;           // turns of the drum, an eighth per shot
    cgShellEject_t shellEject;    // where the view weapon last placed its ejection port
    uint8_t weaponFrameFlag;      // one-frame byte of the view weapon, kept only while reloading
    uint32_t lastAnnouncement;    // client event of the last announcer sound
    int32_t lastAnnouncementTime; // game time (ms) it played

    // The weapons' client halves (media): the viewer's last shot, which the fire
    // events record and the spinning gun parts and muzzle flashes read.
    int32_t lastShotWeapon;
    uint32_t lastShotFrame;       // qgame frame count
    int32_t lastShotTime;         // game time (ms)
    float lastShotRoll;           // degrees, -15..15

    // Action scripts: the action words tagAmmoHand and tagAmmoGun move the view
    // weapon's magazine to the left hand and back into the gun.
    uint8_t magazineInHand;

    // View and scene: the camera of the frame and what the last render was given.
    rendererConfig_t rendererConfig;
    refdef_t refdef;
    viewParams_t view;
    vec3_t lockedOrigin;          // the last rendered camera, held with cg_lockCam
    float lockedAxis[9];

    // World logic and the view weapon (cgmisc).
    vec3_t skyAngles;             // degrees 0..360; the view turns the sky by them
    uint32_t lastMeteorTime;      // game time (ms) of the last meteor of the world's rain

    // Entity drawing: the absolute bone matrices of the last animated model drawn,
    // which its caller places the model's tags by.
    matrix3x4_t lastBones[CG_ANIM_BONES_MAX];
    int32_t numLastBones;
};
static_assert(offsetof(cg_t, ecl) == 0, "the engine client writes the head of cg in place");

extern cg_t cg;

// The client's view of the current world, filled by the map change.
struct cgWorld_t {
    char name[CG_PATH_SIZE];
    float coreAlt;
    float spaceAlt;
    vec3_t spaceBox;
    uint8_t linearGravity;       // 1: flat world, gravity along one axis
    char musicPath[CG_PATH_SIZE];
    float musicVolume;
    int32_t sky;                 // sky material; 0 none
    vec3_t skySpeed;
    vec3_t fogColor;
    float fogSight;
    float fogRadius;             // 0: no fog
    int32_t fogLod;
    int32_t loadingImage;        // texture
    int32_t sparkRain;           // ms between rain sparks; 0 none
    worldMaterial_t materials[WORLD_MATERIALS];
};

extern cgWorld_t cgw;
