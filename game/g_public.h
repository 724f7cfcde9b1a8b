// The records that cross between the engine and the game module.
//
// Both deliverables include this header and nothing else of each other.  The two
// interface records hold a function pointer, so their size is the host's; the
// records at the end (read in place by the other side) hold pointers too; every
// other record here holds no pointer, and its layout is fixed byte for byte
// because the engine reads it in place or copies it into snapshots.
//
// Arguments travel as an array of pointer-sized words: a pointer as itself, any
// other value as the address of the caller's copy (a byte as the address of a
// one-byte copy).  The callee reads the value through that address.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

constexpr uint32_t GAME_API_MAGIC = 0x2C7AFD05;
constexpr uint32_t GAME_API_VERSION = 11;
constexpr uint32_t GAME_PROTOCOL = 110;  // sent when connecting, compared by the server
constexpr int GAME_MAX_ARGS = 16;        // words in every argument array
constexpr int GAME_NAME_SIZE = 64;       // name and version texts of the export record

typedef intptr_t gameArg_t;  // one argument word

// The engine's trap dispatcher: a trap number and its argument words.  Several
// traps hand back a pointer, so the result is a whole word.
typedef intptr_t (*gameTrap_t)(int number, gameArg_t *args);
// The module's call dispatcher: a call number and its argument words.
typedef int32_t (*gameCall_t)(int number, gameArg_t *args);

// Engine to module, passed by value to GetGameAPI.
struct gameImport_t {
    uint32_t magic;       // GAME_API_MAGIC
    uint32_t apiVersion;  // GAME_API_VERSION
    uint32_t size;        // sizeof(gameImport_t)
    gameTrap_t trap;
};

// Module to engine, returned by value from GetGameAPI.
struct gameExport_t {
    uint32_t magic;                 // GAME_API_MAGIC
    char name[GAME_NAME_SIZE];      // zero-terminated
    char version[GAME_NAME_SIZE];   // zero-terminated
    uint32_t protocol;              // GAME_PROTOCOL
    uint32_t apiVersion;            // GAME_API_VERSION
    uint32_t size;                  // sizeof(gameExport_t)
    gameCall_t call;
};

// The module's only exported symbol, looked up by this name.
#define GAME_API_SYMBOL "GetGameAPI"
typedef gameExport_t (*getGameAPI_t)(gameImport_t import);

// ---- argument words, the same on both sides ----

// An argument array of the given words, each a pointer: a pointer argument
// itself, or the address of the caller's copy of a scalar.  Unused words are zero.
template <typename... T>
inline void Arg_Pack(gameArg_t (&args)[GAME_MAX_ARGS], T... words) {
    static_assert(sizeof...(T) <= GAME_MAX_ARGS);
    int i = 0;
    ((args[i++] = reinterpret_cast<gameArg_t>(words)), ...);
    for (; i < GAME_MAX_ARGS; i++) args[i] = 0;
}
// Word n as a pointer.
template <typename T>
inline T *Arg_Ptr(const gameArg_t *args, int n) {
    return reinterpret_cast<T *>(args[n]);
}
// The 32-bit integer at the address in word n.
inline int32_t Arg_Int(const gameArg_t *args, int n) {
    int32_t v;
    __builtin_memcpy(&v, Arg_Ptr<const void>(args, n), sizeof(v));
    return v;
}
// The float at the address in word n.
inline float Arg_Float(const gameArg_t *args, int n) {
    float v;
    __builtin_memcpy(&v, Arg_Ptr<const void>(args, n), sizeof(v));
    return v;
}
// The one byte at the address in word n.
inline uint8_t Arg_Byte(const gameArg_t *args, int n) { return *Arg_Ptr<const uint8_t>(args, n); }

#if INTPTR_MAX == INT32_MAX
// The sizes a 32-bit build of either side expects.
static_assert(sizeof(gameImport_t) == 16, "gameImport_t is 16 bytes on a 32-bit host");
static_assert(sizeof(gameExport_t) == 148, "gameExport_t is 148 bytes on a 32-bit host");
#endif

// Call numbers: engine to module.
enum gameCallNum_t : int {
    GCALL_MAIN_IMP = 0,
    GCALL_MAIN_INIT = 1,
    GCALL_MAIN_SHUTDOWN = 2,
    GCALL_MAIN_FRAME = 3,
    GCALL_SG_IMP = 4,
    GCALL_SG_CLIENT_CONNECT = 5,
    GCALL_SG_CLIENT_DROP = 6,
    GCALL_SG_FRAME = 7,
    GCALL_SG_SHUTDOWN = 8,
    GCALL_SG_GET_SERVER_INFO = 9,
    GCALL_CG_IMP = 10,
    GCALL_CG_INIT = 11,
    GCALL_CG_SHUTDOWN = 12,
    GCALL_CG_CONNECTED_TO_SERVER = 13,
    GCALL_CG_MAP_CHANGE = 14,
    GCALL_CG_RESTART_RENDERER = 15,
    GCALL_CG_CC_FRAME = 16,
    GCALL_CG_FRAME = 17,
    GCALL_CG_PRINT = 18,
    GCALL_CG_ALLOW_BIND = 19,
    GCALL_CG_WORLD_DEFORM = 20,
    GCALL_CG_DUMP_SERVERS = 21,
    GCALL_UI_IMP = 22,
    GCALL_UI_INIT = 23,
    GCALL_UI_SHUTDOWN = 24,
    GCALL_WRITE_STANDARD_CONFIG = 25,
    GCALL_DISCONNECT = 26,
    GCALL_DISCONNECT_SCREEN = 27,
    GCALL_COUNT = 28
};

// Trap numbers: module to engine.  125 is taken and must never get a meaning.
enum gameTrapNum_t : int {
    GTRAP_GET_QGAME = 0,
    GTRAP_GET_TIME = 1,
    GTRAP_RAND = 2,
    GTRAP_CRAND = 3,
    GTRAP_FRAND = 4,
    GTRAP_VECTOR_ADD_NOISE = 5,
    GTRAP_CLIPBOARD_GET_STRING_LENGTH = 6,
    GTRAP_CLIPBOARD_GET_STRING = 7,
    GTRAP_CLIPBOARD_SET_STRING = 8,
    GTRAP_PRINT = 9,
    GTRAP_ERROR = 10,
    GTRAP_RUN_SOMETHING = 11,
    GTRAP_SLEEP = 12,
    GTRAP_SEND_OUT_OF_BAND_PRINT = 13,
    GTRAP_ARGC = 14,
    GTRAP_ARGV = 15,
    GTRAP_ADD = 16,
    GTRAP_FLUSH = 17,
    GTRAP_CREATE_CVAR = 18,
    GTRAP_CREATE_CVAR_EX = 19,
    GTRAP_CREATE_FUNCTION = 20,
    GTRAP_SET_CVAR = 21,
    GTRAP_GET_CVAR = 22,
    GTRAP_COMPLETE_CMD = 23,
    GTRAP_MEM_ALLOC = 24,
    GTRAP_MEM_FREE = 25,
    GTRAP_READ_FILE = 26,
    GTRAP_READ_FILE_25K = 27,
    GTRAP_WRITE_FILE = 28,
    GTRAP_FREE_FILE = 29,
    GTRAP_FOPEN = 30,
    GTRAP_FCLOSE = 31,
    GTRAP_FREAD = 32,
    GTRAP_FWRITE = 33,
    GTRAP_FWRITE_STRING = 34,
    GTRAP_LOAD_MPK = 35,
    GTRAP_FIND_FILES = 36,
    GTRAP_GET_FILE_MD5 = 37,
    GTRAP_TRACE = 38,
    GTRAP_CLIP_DECAL = 39,
    GTRAP_UPLOAD_WORLD_MATERIALS = 40,
    GTRAP_SET_WORLD_ALTITUDES = 41,
    GTRAP_UNDO_SNAPSHOT = 42,
    GTRAP_SETUP_SOUP = 43,
    GTRAP_CHECK_SOUP_CONNECT = 44,
    GTRAP_SUB_SOUP = 45,
    GTRAP_ADD_SOUP = 46,
    GTRAP_PAINT_SOUP = 47,
    GTRAP_BLUR_SOUP = 48,
    GTRAP_DAMAGE_MATTER = 49,
    GTRAP_SV_UPLOAD_WORLD_INFO_STRING = 50,
    GTRAP_GET_VIEW_PVS = 51,
    GTRAP_WO_CHECK_POINT_PVS = 52,
    GTRAP_WO_CHECK_BOUNDS_PVS = 53,
    GTRAP_REGISTER_FONT = 54,
    GTRAP_REGISTER_TEXTURE = 55,
    GTRAP_REGISTER_TEXTURE_NO_MIP = 56,
    GTRAP_REGISTER_TEXTURE_CUBE = 57,
    GTRAP_REGISTER_MATERIAL = 58,
    GTRAP_RELOAD_MATERIAL = 59,
    GTRAP_REGISTER_SOUND = 60,
    GTRAP_REGISTER_LOD = 61,
    GTRAP_GET_LOD_INFO = 62,
    GTRAP_UNREGISTER_FONT = 63,
    GTRAP_UNREGISTER_TEXTURE = 64,
    GTRAP_UNREGISTER_MATERIAL = 65,
    GTRAP_UNREGISTER_LOD = 66,
    GTRAP_UNREGISTER_SOUND = 67,
    GTRAP_S_SET_LISTENER = 68,
    GTRAP_S_STOP_PLAY_CHANNEL = 69,
    GTRAP_S_BEGIN_MUSIC = 70,
    GTRAP_S_END_MUSIC = 71,
    GTRAP_S_PLAY_LOCAL_SOUND = 72,
    GTRAP_S_PLAY_POINT_SOUND = 73,
    GTRAP_S_CLEAR_DMA = 74,
    GTRAP_R_GET_RENDERER_CONFIG = 75,
    GTRAP_R_BEGIN_FRAME = 76,
    GTRAP_R_CLEAR_SCENE = 77,
    GTRAP_R_ADD_SURFACES = 78,
    GTRAP_R_ADD_SURFACE_ENTITY = 79,
    GTRAP_R_ADD_LIGHT = 80,
    GTRAP_R_RENDER_SCENE = 81,
    GTRAP_R_END_FRAME = 82,
    GTRAP_R_ALLOC_SURFACES = 83,
    GTRAP_R_ALLOC_BONES = 84,
    GTRAP_R_SETUP_SURFACE_ENTITY = 85,
    GTRAP_R_ALLOC_LIGHT = 86,
    GTRAP_R_GET_RENDER_DEST_WIDTH = 87,
    GTRAP_R_GET_RENDER_DEST_HEIGHT = 88,
    GTRAP_CL_GET_FONT_CHAR_WIDTH = 89,
    GTRAP_CL_GET_FONT_CHAR_HEIGHT = 90,
    GTRAP_CL_DRAW_STRING = 91,
    GTRAP_CL_DRAW_TRIS_PIC = 92,
    GTRAP_LOOKUP_DNS = 93,
    GTRAP_CL_UPLOAD_ECL = 94,
    GTRAP_CL_CONNECT_TO_SERVER = 95,
    GTRAP_CL_DISCONNECT_FROM_SERVER = 96,
    GTRAP_CL_GET_SNAPSHOT = 97,
    GTRAP_CL_SEND_CLIENT_COMMAND = 98,
    GTRAP_CL_GET_NEXT_SERVER_COMMAND = 99,
    GTRAP_CL_SERVER_COMMAND_ARGC = 100,
    GTRAP_CL_SERVER_COMMAND_ARGV = 101,
    GTRAP_SET_CURSOR_MODE = 102,
    GTRAP_SET_AIM_MODE = 103,
    GTRAP_CENTER_CURSOR = 104,
    GTRAP_GET_BINDING = 105,
    GTRAP_CLEAR_KEY_BINDING = 106,
    GTRAP_CL_SEND_KEEP_ALIVE = 107,
    GTRAP_CL_GET_STATS = 108,
    GTRAP_CL_UPDATE_INFO_STRING = 109,
    GTRAP_CL_GET_WORLD_INFO_STRING = 110,
    GTRAP_CIN_BEGIN_CINEMATIC = 111,
    GTRAP_CIN_END_CINEMATIC = 112,
    GTRAP_CIN_DRAW_CINEMATIC = 113,
    GTRAP_SV_START_SERVER = 114,
    GTRAP_SV_LOAD_VO2 = 115,
    GTRAP_SV_SHUTDOWN_SERVER = 116,
    GTRAP_SV_UPLOAD_CLIENT_STATE_REFERENCE = 117,
    GTRAP_SV_UPLOAD_ENTITY_STATE_REFERENCE = 118,
    GTRAP_SV_UPLOAD_SNAPSHOT_GAME_DATA_REFERENCE = 119,
    GTRAP_SV_GET_CLIENT_COMMAND = 120,
    GTRAP_SV_GET_CLIENT_INFO = 121,
    GTRAP_SV_ADD_CLIENT = 122,
    GTRAP_SV_DELETE_CLIENT = 123,
    GTRAP_SV_GET_CLIENT_PING = 124,
    GTRAP_RESERVED_125 = 125,
    GTRAP_SV_SEND_SERVER_COMMAND = 126,
    GTRAP_SV_LINK_ENTITY = 127,
    GTRAP_SV_UNLINK_ENTITY = 128,
    GTRAP_COUNT = 129
};

// ---- quantisation shared by every writer and reader of the wire ----
// A value v travels as the integer n = v * UNITS / RANGE (truncated unless the
// writer says otherwise) and comes back as n * RANGE / UNITS; both sides compute
// in exactly this order so they agree.

constexpr float WIRE_ANGLE_UNITS = 65536.0f;  // 16-bit angle steps per ...
constexpr float WIRE_ANGLE_RANGE = 360.0f;    // ... full turn in degrees
constexpr float WIRE_DELTA_UNITS = 32000.0f;  // short steps per unit: small moves and the up row of a frame
constexpr float WIRE_AIM_UNITS = 120.0f;      // signed-byte steps per unit of a command's aim vector
constexpr float WIRE_HEAT_UNITS = 255.0f;     // byte steps of the barrel heat 0..1

// A command's angle, already reduced to 0..360 by AngleMod, as the signed short of
// its steps (nearest, ties to even): 0..180 stay, the rest come back as negatives.
inline int16_t CC_AngleToWire(float reduced) {
    const float steps = nearbyintf(reduced * WIRE_ANGLE_UNITS / WIRE_ANGLE_RANGE);
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<int32_t>(steps) & 0xFFFF));
}
inline float CC_AngleFromWire(int16_t steps) { return static_cast<float>(steps) * WIRE_ANGLE_RANGE / WIRE_ANGLE_UNITS; }
// A component of a command's aim as the low 8 bits of its nearest 120th (ties to even).
inline int8_t CC_AimToWire(float component) {
    const float steps = nearbyintf(component * WIRE_AIM_UNITS);
    return static_cast<int8_t>(static_cast<uint8_t>(static_cast<int32_t>(steps) & 0xFF));
}
inline float CC_AimFromWire(int8_t steps) { return static_cast<float>(steps) / WIRE_AIM_UNITS; }

// ---- records read in place or copied byte for byte ----

typedef float gvec3_t[3];

// The engine's state as the module sees it (trap 0).  The engine keeps its copy
// current before every call into the module.
struct qgame_t {
    uint8_t initialized;    // the engine finished its init phase
    uint8_t developer;      // developer mode
    uint8_t newerVersion;   // the master server knows a newer version
    uint8_t reserved3;
    uint32_t startTime;     // clock (ms) at the import phase
    uint32_t time;          // game time (ms)
    uint32_t previousTime;  // game time of the frame before
    uint32_t frameMsec;     // duration of the current frame, 1..200
    float frameSeconds;     // frameMsec / 1000
    uint32_t frameCount;    // frames run so far, counting from 1
    uint32_t fps;           // 1000 / frameMsec
    uint8_t localAddress[12];  // the transport's own netadr_t, byte for byte
    uint16_t qport;         // the transport's qport
    uint16_t reserved46;
    uint32_t instance;      // random number drawn at start and sent to the master server
};
static_assert(sizeof(qgame_t) == 52);
static_assert(offsetof(qgame_t, startTime) == 4);
static_assert(offsetof(qgame_t, frameSeconds) == 20);
static_assert(offsetof(qgame_t, localAddress) == 32);
static_assert(offsetof(qgame_t, qport) == 44);
static_assert(offsetof(qgame_t, instance) == 48);

// One client command.
//
// Its aim is the heading the command is made with, not where a shot went: the first
// row of the sender's body frame (clientState_t::viewAxis[0], the row across the
// local up that the view angles turn from); the client game sends its predicted
// row.  The server makes it row 0 of the body frame before it moves the player, and
// the prediction does the same.  All zero: no heading yet; the movement then builds
// the frame at the player's position (G_CreateEllipticAxis).
//
// On the way the angles are reduced by AngleMod and go as CC_AngleToWire, the aim
// as CC_AimToWire; the server moves with what CC_AngleFromWire and CC_AimFromWire
// give back.  The client game keeps its commands as they arrive there, so that the
// prediction replays exactly what the server runs.
constexpr int CC_TEXT_SIZE = 128;  // with its terminator: at most 127 characters
struct cc_t {
    uint32_t number;      // sequence number; consecutive commands differ by 1
    uint32_t time;        // game time (ms) when the command was made
    gvec3_t angles;       // view angles in degrees: roll, pitch, yaw
    gvec3_t aim;          // heading: row 0 of the sender's body frame (above), a unit vector or zero
    uint8_t weapon;       // weapon number 0-6
    uint8_t deformMode;   // dirt-gun mode 0-4
    uint8_t reserved[2];  // always zero
    uint32_t buttons;     // button bits
    uint32_t textLength;  // characters in text
    char text[CC_TEXT_SIZE];
};
static_assert(sizeof(cc_t) == 172);
static_assert(offsetof(cc_t, weapon) == 32);
static_assert(offsetof(cc_t, buttons) == 36);
static_assert(offsetof(cc_t, text) == 44);

enum clientSnapshotFlag_t : uint32_t {
    CSS_SNAPSHOT_NOW = 0x1,  // the server game asks for a snapshot now; the engine clears it
};

// Head of each server-game client record; the engine copies it into the owning
// client's snapshot and codes it by the byte offsets asserted below.  Each field
// has one name, used by the movement and by the server game alike; where the two
// read a field differently, or where one of them once knew it by another name,
// the comment gives both readings (the names in parentheses are those others).
struct clientState_t {
    uint32_t snapshotFlags;    // clientSnapshotFlag_t bits
    uint8_t worldIncomplete;   // written by the engine from the client's commands
    uint8_t reserved5[3];
    int32_t ccNumber;          // number of the last executed command
    uint8_t moveType;          // the client's state (state): 0 playing, 1 dead, 2 spectator, 3 intermission;
                               // movement moves a body only in 0 and a spectator in 2
    uint8_t reserved13[3];
    uint32_t flags;            // movement's bits (clientStateFlag_t, low 16) and the server game's (0x10000 crystal, 0x20000 angles set)
    gvec3_t origin;            // position of the feet
    gvec3_t velocity;          // units per second
    gvec3_t fireDir;           // aim direction of the last firing step
    float weaponTime;          // progress 0..1 of the running refire, reload or switch (weaponTimer)
    float zoom;                // 0..1
    float hitFlash;            // damage sets 1.0; movement runs it down at 2 per second while hitDir is set (countdown)
    float slowdown;            // ground-speed penalty after landing, 0..1 (the server game's walkSlow)
    uint8_t hitDir;            // side 1-4 the last damage came from, 0 none; movement reads not 0 as "hitFlash
                               // runs down" and clears it at the end (countdownActive)
    uint8_t reserved73[3];
    float crouch;              // 0 standing .. 1 crouched
    float eyeHeight;
    float height;              // body height
    gvec3_t kickAngles;        // view kick spring: position ...
    gvec3_t kickVelocity;      // ... and velocity; the server game's recoil adds pitch and yaw to it (angleOffset)
    float bobPhase;            // 0..1 walking cycle
    float dip;                 // landing view dip spring
    float jolt;                // second view spring
    float dipVelocity;
    float joltVelocity;        // the server game's bob depth pushes it down (bobDepth)
    float stepPhase;           // 0..1 footstep cycle
    gvec3_t smoothOffset;      // view smoothing after a push-out
    uint8_t moveAnim;          // movement state = legs animation number (anim1)
    uint8_t weaponState;       // 0 idle, 1 firing, 2 switching, 3 reloading = arms animation (anim2)
    uint8_t reserved150[2];
    float weaponTimeShown;     // copy of weaponTime, the arms animation's time (animTime1)
    float animTime2;
    uint32_t eventCount;       // server-raised client events: slot = count & 15
    uint8_t events[16];
    uint32_t moveEventCount;   // movement events: slot = count & 15
    uint8_t moveEvents[16];
    int32_t entitySerial;      // serial of the player's entity
    int32_t weapon;            // current weapon
    int32_t pendingWeapon;     // requested by a weapon change; movement switches to it (newWeapon)
    float barrelHeat;          // 0..1: shots heat it, movement cools it (heat)
    uint8_t ownedWeapons;      // bit n: weapon n
    uint8_t spawnByte;         // set to 0 at spawn
    uint8_t deformMaterial;
    uint8_t team;              // 0 blue, 1 red
    uint8_t health;
    uint8_t armor;
    uint8_t berserk;           // whole seconds left
    uint8_t deformSize;        // tenths
    int32_t counters[3];       // per-client counters
    uint8_t clip[7];           // rounds in the clip of weapons 0-6
    uint8_t reserved243[3];
    int16_t reserve[7];        // spare rounds of weapons 0-6
    uint32_t lastCcTime;       // game time (ms) of the last command moved; travels with the spare rounds
    uint8_t reserved264[2];
    uint8_t group266[10];
    uint8_t radarKinds[8];     // 0 empty
    uint8_t radarBlips[8][2];  // two position bytes per blip
    gvec3_t viewAngles;        // of the newest command
    float viewAxis[3][3];      // movement's body frame (ellipticAxis): rows right, up (the local up), forward;
                               // only row 0 travels, and it alone carries the heading: a command's aim
};
static_assert(sizeof(clientState_t) == 348);
static_assert(offsetof(clientState_t, worldIncomplete) == 4);
static_assert(offsetof(clientState_t, ccNumber) == 8);
static_assert(offsetof(clientState_t, moveType) == 12);
static_assert(offsetof(clientState_t, flags) == 16);
static_assert(offsetof(clientState_t, origin) == 20);
static_assert(offsetof(clientState_t, velocity) == 32);
static_assert(offsetof(clientState_t, fireDir) == 44);
static_assert(offsetof(clientState_t, weaponTime) == 56);
static_assert(offsetof(clientState_t, zoom) == 60);
static_assert(offsetof(clientState_t, hitFlash) == 64);
static_assert(offsetof(clientState_t, slowdown) == 68);
static_assert(offsetof(clientState_t, hitDir) == 72);
static_assert(offsetof(clientState_t, crouch) == 76);
static_assert(offsetof(clientState_t, height) == 84);
static_assert(offsetof(clientState_t, kickAngles) == 88);
static_assert(offsetof(clientState_t, kickVelocity) == 100);
static_assert(offsetof(clientState_t, bobPhase) == 112);
static_assert(offsetof(clientState_t, joltVelocity) == 128);
static_assert(offsetof(clientState_t, stepPhase) == 132);
static_assert(offsetof(clientState_t, smoothOffset) == 136);
static_assert(offsetof(clientState_t, moveAnim) == 148);
static_assert(offsetof(clientState_t, weaponTimeShown) == 152);
static_assert(offsetof(clientState_t, eventCount) == 160);
static_assert(offsetof(clientState_t, events) == 164);
static_assert(offsetof(clientState_t, moveEventCount) == 180);
static_assert(offsetof(clientState_t, moveEvents) == 184);
static_assert(offsetof(clientState_t, entitySerial) == 200);
static_assert(offsetof(clientState_t, weapon) == 204);
static_assert(offsetof(clientState_t, pendingWeapon) == 208);
static_assert(offsetof(clientState_t, barrelHeat) == 212);
static_assert(offsetof(clientState_t, ownedWeapons) == 216);
static_assert(offsetof(clientState_t, counters) == 224);
static_assert(offsetof(clientState_t, clip) == 236);
static_assert(offsetof(clientState_t, reserve) == 246);
static_assert(offsetof(clientState_t, lastCcTime) == 260);
static_assert(offsetof(clientState_t, reserved264) == 264);
static_assert(offsetof(clientState_t, group266) == 266);
static_assert(offsetof(clientState_t, radarKinds) == 276);
static_assert(offsetof(clientState_t, radarBlips) == 284);
static_assert(offsetof(clientState_t, viewAngles) == 300);
static_assert(offsetof(clientState_t, viewAxis) == 312);

// Head of each server-game entity record; copied into snapshots and coded by the
// byte offsets asserted below.  The engine sends and links only entities in use.
struct entityState_t {
    uint8_t inUse;
    uint8_t reserved1[3];
    int32_t type;              // entityType_t
    int32_t owner;             // client number 0-15, -1 for none
    int32_t serial;
    int32_t spawnTime;         // server time of creation
    gvec3_t origin;
    gvec3_t origin2;           // second point, e.g. the end of a bullet trail
    gvec3_t dir;               // unit direction of an impact or a shot
    gvec3_t angles;            // degrees
    gvec3_t angles2;           // degrees
    float ellipticAxis[3][3];  // local frame; first row the up vector
    float param;               // per-kind float
    uint8_t anim1;
    uint8_t anim2;
    uint8_t reserved122[2];
    float animTime1;
    float animTime2;
    int32_t team;              // players: 0 blue, 1 red
    int32_t weapon;
    int32_t packed;            // two client bytes: high byte and low byte
    int32_t berserk;           // whole seconds left
    uint32_t eFlags;           // 2: carries the crystal
    uint32_t eventCount;       // slot = count & 31
    uint8_t events[32];
    int32_t words[4];          // per-kind integers
};
static_assert(sizeof(entityState_t) == 204);
static_assert(offsetof(entityState_t, type) == 4);
static_assert(offsetof(entityState_t, owner) == 8);
static_assert(offsetof(entityState_t, serial) == 12);
static_assert(offsetof(entityState_t, spawnTime) == 16);
static_assert(offsetof(entityState_t, origin) == 20);
static_assert(offsetof(entityState_t, origin2) == 32);
static_assert(offsetof(entityState_t, dir) == 44);
static_assert(offsetof(entityState_t, angles) == 56);
static_assert(offsetof(entityState_t, angles2) == 68);
static_assert(offsetof(entityState_t, ellipticAxis) == 80);
static_assert(offsetof(entityState_t, param) == 116);
static_assert(offsetof(entityState_t, anim1) == 120);
static_assert(offsetof(entityState_t, anim2) == 121);
static_assert(offsetof(entityState_t, animTime1) == 124);
static_assert(offsetof(entityState_t, animTime2) == 128);
static_assert(offsetof(entityState_t, team) == 132);
static_assert(offsetof(entityState_t, eFlags) == 148);
static_assert(offsetof(entityState_t, eventCount) == 152);
static_assert(offsetof(entityState_t, events) == 156);
static_assert(offsetof(entityState_t, words) == 188);

// The bytes right behind each entityState_t that the engine reads for visibility
// and for the world's resting test; it never writes them except to clear resting.
struct entityShared_t {
    int32_t svFlags;   // bit 0: send to every client
    float visOffset;   // the visibility point is origin + normalised origin x visOffset
    float visRadius;   // visibility radius; the engine adds 1.0
    gvec3_t mins;      // the entity's world box
    gvec3_t maxs;
    uint8_t resting;   // 1 while a loose entity lies still; the engine clears it when the world changes there
    uint8_t reserved37[3];
};
static_assert(sizeof(entityShared_t) == 40);
static_assert(offsetof(entityShared_t, visOffset) == 4);
static_assert(offsetof(entityShared_t, visRadius) == 8);
static_assert(offsetof(entityShared_t, mins) == 12);
static_assert(offsetof(entityShared_t, maxs) == 24);
static_assert(offsetof(entityShared_t, resting) == 36);
constexpr int32_t SVF_ALWAYS_SEND = 0x1;
// It follows the state with no padding between them.
static_assert(sizeof(entityState_t) % alignof(entityShared_t) == 0);

// The server game's data of every snapshot: 32 words, delta-coded word by word.
constexpr int SNAPSHOT_GAME_WORDS = 32;
struct snapshotGameData_t {
    uint32_t flags;      // 1 free flight, 4 blue / 8 red holds the crystal, 16 radar off, 32 solidarity count-down
    int32_t rules;       // 0 death match, 1 crystal rounds, 2 forge, 3 capture the crystal
    int32_t timeLeft;    // seconds
    int32_t roundLimit;
    int16_t blueScore;
    int16_t redScore;
    uint32_t unused[SNAPSHOT_GAME_WORDS - 5];
};
static_assert(sizeof(snapshotGameData_t) == 128);
static_assert(offsetof(snapshotGameData_t, blueScore) == 16);
static_assert(offsetof(snapshotGameData_t, redScore) == 18);

// The engine's result of a world trace.
struct trace_t {
    float fraction;       // 1 when nothing was hit, else how far along the move it stops
    gvec3_t endpos;       // centre where the move stops, or a ray's hit point
    float endAxes[3][3];  // the box's axes at the stop
    float plane[4];       // unit normal and distance of the plane hit; zero when none
};
static_assert(sizeof(trace_t) == 68);
static_assert(offsetof(trace_t, endpos) == 4);
static_assert(offsetof(trace_t, endAxes) == 16);
static_assert(offsetof(trace_t, plane) == 52);

// ---- renderer records both sides fill or read ----

// Vertex layouts of RE_AllocSurfaces (trap 83).
enum surfaceLayout_t : int32_t {
    SURFACE_LAYOUT_COLOR = 25,  // drawVert_t
    SURFACE_LAYOUT_DECAL = 31,  // 60-byte clipped decal vertexes (the world's vertex record)
};

// Bits of surface_t::flags.
enum surfaceFlags_t : uint32_t {
    SURFACE_FLAG_OPTION = 0x80,  // a 2D triangle list drawn with its option byte set
    SURFACE_FLAG_2D = 0x100,     // drawn flat into destination, not into the scene
};

// A vertex of layout SURFACE_LAYOUT_COLOR: 28 bytes.
struct drawVert_t {
    float xyz[3];
    float unused;    // left 0
    float st[2];     // texture coordinates
    uint8_t rgba[4];
};
static_assert(sizeof(drawVert_t) == 28);

// One procedural surface, allocated by the renderer for one frame and filled by the
// drawer; pointer-holding, so its size is the host's.  The arrays it points at belong
// to the drawer and stay valid until the frame is rendered.
struct surface_t {
    const char *name;       // for the renderer's debugging
    uint32_t flags;         // surfaceFlags_t
    float effect;
    int32_t numIndexes;
    int32_t numVerts;
    const int32_t *indexes;
    const void *verts;      // of the layout the surface was allocated with
    int32_t material;
    int32_t destination;    // render destination of a SURFACE_FLAG_2D surface
    float mins[3];          // the box around the vertexes, for a drawer that sets it
    float maxs[3];
};

// What RE_GetRendererConfig fills (trap 75): the render size in pixels in words 1 and 2.
struct rendererConfig_t {
    int32_t reserved;
    int32_t width;
    int32_t height;
};
static_assert(offsetof(rendererConfig_t, width) == 4 && offsetof(rendererConfig_t, height) == 8);

// The client game's view of the engine client's connection.  The client game owns
// it at the head of its record and hands its address over (trap 94); the engine
// writes it in place after every change of the connection and in every frame.
enum eclState_t : int32_t {
    ECL_DISCONNECTED = 0,
    ECL_CONNECTING = 1,
    ECL_CONNECTED = 2,
};
struct ecl_t {
    int32_t state;              // eclState_t
    uint8_t worldIncomplete;    // 1 until the world's pages match the server's
    uint8_t stalled;            // 1 while the server has been silent for a while
    uint8_t reserved[2];
    uint8_t serverAddress[12];  // the server's netadr_t, byte for byte
};
static_assert(sizeof(ecl_t) == 20);
static_assert(offsetof(ecl_t, worldIncomplete) == 4);
static_assert(offsetof(ecl_t, stalled) == 5);
static_assert(offsetof(ecl_t, serverAddress) == 8);

// One snapshot as the engine's client decoded it.  The client game reads the
// client's ring of them in place (trap 97); a slot stays valid until the ring
// wraps onto it.
constexpr int SNAPSHOT_MAX_ENTITIES = 512;
struct snapshot_t {
    int32_t receiveTime;     // game time (ms) when the client decoded it
    int32_t packageSize;     // bytes of the whole package that carried it
    int32_t number;          // equals the slot's expected number only while the slot is valid
    int32_t lastCommand;     // sequence number of the last command the server executed
    int32_t serverTime;      // the server's game time of the snapshot (ms)
    snapshotGameData_t gameData;
    int32_t matterChecksum;  // the server world's matter checksum
    int32_t infoAck;         // the newest client info-string version the server holds
    clientState_t client;
    // Indexed by entity number; a slot's first word is 1 when the entity is in
    // this snapshot, 0 otherwise.
    entityState_t entities[SNAPSHOT_MAX_ENTITIES];
};
static_assert(sizeof(snapshot_t) == 104952);
static_assert(offsetof(snapshot_t, gameData) == 20);
static_assert(offsetof(snapshot_t, matterChecksum) == 148);
static_assert(offsetof(snapshot_t, client) == 156);
static_assert(offsetof(snapshot_t, entities) == 504);

// Where time lies between two snapshots, 0 at older's server time and 1 at newer's.
// Two snapshots of one server moment give 1 (the newer stands), never a division by zero.
inline float Snapshot_Fraction(const snapshot_t *older, const snapshot_t *newer, int32_t time) {
    // Server times wrap: only their differences count.
    const auto since = [](int32_t a, int32_t b) {
        return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
    };
    const int32_t span = since(newer->serverTime, older->serverTime);
    if (span <= 0) return 1.0f;
    return static_cast<float>(since(time, older->serverTime)) / static_cast<float>(span);
}

// ---- records each side reads in place in the other's memory ----
//
// These hold pointers of the process both deliverables share, so their size is the host's.

constexpr int CMD_MAX_NAME = 128;  // names and texts of symbols, with their zero
constexpr int CMD_MAX_WORD = 255;  // characters the engine keeps of one word of a statement

// The one flag word of variables, functions and aliases.
enum cmdFlags_t : uint32_t {
    CMD_USERALIAS = 0x1,     // made by the `alias` command; nothing tests it
    CMD_READONLY = 0x2,      // the console refuses to set it; creation adds CMD_NOSAVE
    CMD_CHEAT = 0x4,         // unforced sets refused while cheats are not allowed
    CMD_NOSAVE = 0x8,        // never written by the configuration dump
    CMD_RESTART = 0x100,     // takes effect after a renderer restart
    CMD_INITCALL = 0x200,    // callback or handler called once at creation
    CMD_SERVER = 0x400,      // needs a running server
    CMD_CLIENT = 0x800,      // needs a running client
    CMD_RENDERER = 0x1000,   // needs the renderer (functions: the client)
    CMD_SECRET = 0x2000,     // the console never shows the value
    CMD_ALWAYSSAVE = 0x4000, // written by the configuration dump even at its default
};

typedef void (*cmdCallback_t)();

// A console variable.  The record belongs to its declarer; both deliverables read it
// in place, so its field order is fixed.
struct cmdVar_t {
    char name[CMD_MAX_NAME];
    char string[CMD_MAX_NAME];         // current value as text
    char defaultString[CMD_MAX_NAME];  // value given at creation
    uint8_t forced;                    // 1 once a forced set has happened
    char forcedString[CMD_MAX_NAME];   // text of the last forced set
    uint32_t flags;                    // cmdFlags_t
    int32_t modificationCount;         // +1 on every set, 0 after creation
    float value;                       // Com_atof of the text
    int32_t integer;                   // Com_atoi of the text
    uint32_t boolean;                  // integer != 0
    float previousValue;               // readings before the last set
    int32_t previousInteger;
    uint32_t previousBoolean;
    cmdCallback_t callback;            // called after a set, or null
    cmdVar_t *next;                    // name order
    cmdVar_t *hashNext;                // same bucket
};

// No coordinate of a shape lies farther out than this, neither a loaded position
// (times its scale) nor a placed corner in the world: far beyond the world's size,
// and small enough that the products of a face's plane cannot overflow.
constexpr float SOUP_MAX_COORD = 4096.0f;
constexpr int SOUP_VERT_FLOATS = 7;  // floats per shape vertex: x y z, unused, s t, unused

// One loaded shape.  The engine reads it in place (trap 43): keep the field order.
struct soup_t {
    uint8_t convex;      // 1: no vertex lies in front of any face's plane
    int32_t numIndexes;  // three per triangle
    int32_t numVerts;
    int32_t *indexes;    // numIndexes, each 0..numVerts-1 (G_Alloc)
    float *verts;        // SOUP_VERT_FLOATS per vertex: the scaled position first (G_Alloc)
};
