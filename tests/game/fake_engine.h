// A stand-in engine for the game module's tests: memory blocks, whole-file reads
// from a table of files, console variables and commands with a command buffer, a
// clock that starts where the engine's does, seeded random numbers, an analytic
// world for traces, and a record of what the module printed, reported and handed
// to the engine's server.  Shared by the unit tests and the fuzz targets (no test
// framework).
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "tests/support/capture.h"

namespace fake {

using error_t = hm_test::errorRecord_t;

// A server command queued for one client.
struct command_t {
    int32_t client;
    std::string text;
};

// An engine client slot the module registered.
struct slot_t {
    bool inUse = false;
    bool bot = false;
    std::string info;           // the client's info string
    int32_t ping = 0;
    std::deque<cc_t> commands;  // handed out once each, oldest first
    cc_t current{};             // the record of the last hand-out
};

constexpr uint32_t ENGINE_CLOCK_START = 65535;  // engine time (trap 1) at start
constexpr uint32_t GAME_TIME_START = COM_TIME_START;  // game time at start: 393,215 ms

inline std::map<std::string, std::string> files;  // path -> contents
inline std::vector<std::string> &prints = hm_test::captured.prints;  // the module's prints, through trap or sink
inline std::vector<error_t> &errors = hm_test::captured.errors;
inline std::vector<std::string> registered;      // material names
inline std::vector<uint8_t> uploaded;            // the last trap-40 block
inline uint8_t pvsAnswer = 1;
inline std::vector<std::vector<uint8_t>> surfaces;  // each added surface, copied byte for byte
inline uint8_t surfaceStore[256];
inline int32_t materialHandle = 7;
// Particles and marks: every box the decal clipper was given, and the layout of
// every surface asked for (trap 83).
struct decalCall_t {
    float origin[3], axis[9], size[3];
    int32_t maxVerts, maxIndexes;
};
inline std::vector<decalCall_t> decalCalls;
inline std::vector<int32_t> allocLayouts;
// With registerFromFiles set, every registration trap (fonts, textures, materials,
// sounds, levels of detail) answers as a renderer would: the path's 1-based index in
// its kind's list when the path is in `files`, 0 when it is not.  Each request is
// kept in `registrations` as "kind path".
inline bool registerFromFiles = false;
inline std::map<std::string, std::vector<std::string>> registeredByKind;
inline std::vector<std::string> registrations;
inline int32_t RegisterFromFiles(const char *kind, const char *path) {
    registrations.push_back(std::string(kind) + " " + path);
    if (!files.count(path)) return 0;
    std::vector<std::string> &names = registeredByKind[kind];
    for (size_t i = 0; i < names.size(); i++)
        if (names[i] == path) return static_cast<int32_t>(i + 1);
    names.emplace_back(path);
    return static_cast<int32_t>(names.size());
}
// 2D drawing: every destination is this size, and each drawn triangle list or text is kept.
constexpr int32_t FAKE_DEST_WIDTH = 1280, FAKE_DEST_HEIGHT = 960;
struct trisPic_t {
    int32_t destination;
    std::vector<drawVert_t> verts;
    std::vector<int32_t> indexes;
    int32_t material;
    uint8_t option;
};
inline std::vector<trisPic_t> trisPics;
struct drawnString_t {
    std::string text;
    float x, y, scale;
    int32_t font, flags;
    float colour[4];  // white when the module passed none
};
inline std::vector<drawnString_t> drawnStrings;
// Materials with a handle of their own (others get materialHandle); fonts' character sizes.
inline std::map<std::string, int32_t> materialHandles;
constexpr int32_t FAKE_FONT_CHAR_WIDTH = 8, FAKE_FONT_CHAR_HEIGHT = 16;
// Fonts with a character cell of their own (others answer the size above).
struct fontCell_t {
    int32_t width, height;
};
inline std::map<int32_t, fontCell_t> fontCells;
inline rendererConfig_t rendererConfig;  // what trap 75 fills
inline std::string clipboard;
inline int32_t beganFrames = 0, endedFrames = 0;
inline std::vector<int32_t> localSounds;         // sound handles played locally, in order
// Action scripts and effects: sounds played at a place, in order.
struct pointSound_t {
    int32_t handle;
    float origin[3];
};
inline std::vector<pointSound_t> pointSounds;
// The engine client's server-command queue: each text with the 12 address bytes it came from.
struct serverCommand_t {
    std::string text;
    uint8_t from[12];
};
inline std::deque<serverCommand_t> serverCommands;
inline std::vector<std::string> serverArgs;      // words of the server command last taken
// Lights: records handed out by trap 86 (zeroed, at most FAKE_LIGHTS), and each light added, byte for byte.
constexpr int FAKE_LIGHTS = 16, FAKE_LIGHT_BYTES = 128;
alignas(16) inline uint8_t lightStore[FAKE_LIGHTS][FAKE_LIGHT_BYTES];
inline int lightsAllocated = 0;
inline std::vector<std::vector<uint8_t>> lights;

// The client game's scene (cgscene): view sets, scenes, model instances, bones, decals.
inline uint8_t viewPVS[4];                      // trap 51 hands out its address
struct viewPVSRequest_t {
    float eye[3], axis[9], fovX, fovY;
};
inline std::vector<viewPVSRequest_t> viewPVSRequests;
inline uint8_t boundsPVSAnswer = 1;             // trap 53
inline std::vector<int32_t> sceneClears;        // trap 77 arguments
struct renderedScene_t {
    const void *refdef, *view;
    std::vector<uint8_t> refdefCopy, viewCopy;  // sceneRecordBytes[0] and [1] bytes of each
};
inline size_t sceneRecordBytes[2] = {0, 0};      // a test that reads the records sets their sizes
inline std::vector<renderedScene_t> renderedScenes;
// A copied record read back as its type (the test set the copy's size to sizeof(T)).
template <typename T>
T Record(const std::vector<uint8_t> &bytes) {
    T record{};
    memcpy(&record, bytes.data(), bytes.size() < sizeof record ? bytes.size() : sizeof record);
    return record;
}
// Model instances: each added one is copied with surfaceEntityBytes bytes (a test
// that reads them sets the record's size; 0 only counts them).
inline size_t surfaceEntityBytes = 0;
inline std::vector<std::vector<uint8_t>> surfaceEntities;
inline int surfaceEntitySetups = 0;             // trap 85 calls
// Bones (trap 84): records of 48 bytes from a frame store; with refuseBones set, or a
// store too small, the trap answers null as a renderer out of frame memory would.
constexpr int FAKE_BONES = 2048;
constexpr int FAKE_BONE_BYTES = 48;
alignas(16) inline uint8_t boneStore[FAKE_BONES * FAKE_BONE_BYTES];
inline int bonesAllocated = 0;
inline bool refuseBones = false;
inline bool refuseSurfaces = false;             // trap 83 answers null
// Decal clipping (trap 39): the counts it answers, opaque white records filled only
// up to the caller's maxima (a count beyond them is answered as it is, as a faulty
// clipper would).
inline int32_t decalVertexes = 0, decalIndexes = 0;
inline int decalClips = 0;

// Console: variables by lower-case name, functions, the words of the running command.
inline std::map<std::string, cmdVar_t *> vars;
inline std::deque<cmdVar_t> engineVars;         // variables the engine itself owns
inline std::map<std::string, cmdCallback_t> functions;
inline std::vector<std::string> args;           // words of the command being run
inline std::vector<std::string> added;          // the command buffer (trap 16), not yet run

// Clock and chance.
inline qgame_t qg;
inline uint32_t engineTime = ENGINE_CLOCK_START;
inline uint32_t randState = 1;
inline float floatResult;

// The world: a ball of this radius around the origin, or, when flat, the plane y = floorY.
inline bool flatWorld = false;
inline float worldRadius = 50.0f;
inline float floorY = 0.0f;
inline int traces = 0;

// The engine client as the client game sees it.
inline std::string clientWorldInfo;              // what trap 110 hands out
inline int keepAlives = 0;                       // trap 107 calls
inline ecl_t *ecl = nullptr;                     // the record the client game registered
inline const snapshot_t *olderSnapshot = nullptr, *newerSnapshot = nullptr;
inline int32_t simTime = 0;
inline std::vector<std::string> infoStrings;     // every client info string handed over
inline std::vector<std::string> clientCalls;     // "music path volume", "endmusic", "stopsounds",
                                                 // "unregister kind first", "listener"

// What the module handed to the engine's server.
inline std::vector<std::string> calls;           // "start path", "shutdown 0", "loadvo2 path", ...
inline std::vector<command_t> commands;          // server commands in order
inline slot_t slots[16];
inline std::vector<std::string> worldInfo;       // every uploaded world info string
inline bool linked[512];
inline void *clientBase = nullptr, *entityBase = nullptr, *gameData = nullptr;
inline int32_t clientStride = 0, entityStride = 0, gameDataSize = 0;
inline bool loadVO2Answer = true;
inline std::string lastVO2;
inline std::vector<uint8_t> usedMatters;         // the table handed with the last world load
inline float altitudes[2];                       // core, space
inline uint8_t linearGravity = 0;
inline std::vector<std::string> written;         // text written through FWriteString
inline std::vector<std::string> deforms;         // the deformation traps (42-49) in order, as text
inline uint8_t soupConnect = 1;                  // the answer of trap 44
// What the module handed to the engine's client.
inline std::vector<cc_t> sentCommands;           // every client command, in order
inline bool dnsAnswer = true;                    // whether an address look-up succeeds
// Interface menus: the key bindings the engine reports (trap 105), the file searches
// (trap 36, answered from `files`) and the cursor centrings (trap 104).
inline std::map<std::string, int32_t> keyBindings;  // command -> key
inline std::vector<std::pair<std::string, int32_t>> fileSearches;  // (pattern, room) per search
inline int centeredCursors = 0;
// ---- interface ----
inline std::vector<std::string> pointerModes;    // "aim" (trap 103) and "cursor" (trap 102), in order
inline int cinematicEnds = 0;                    // trap 112 calls
inline std::string completion;                   // what trap 23 writes over the line; empty: no match
inline bool fopenFails = false;                  // trap 30 answers no file
inline std::vector<std::string> opened;          // "path mode" of every trap 30
inline int closed = 0;                           // trap 31 calls
// Server browser: what went out of band, the pauses, and texts that resolve to an
// address of their own instead of the loop-back.
struct outOfBand_t {
    netadr_t to;
    int32_t side;
    std::string text;
};
inline std::vector<outOfBand_t> outOfBand;       // trap 13, in order
inline std::vector<int32_t> sleeps;              // trap 12, the milliseconds asked
inline std::map<std::string, netadr_t> dnsAddresses;

// A pointer as deforms writes it.
inline std::string PointerText(const void *p) {
    char text[32];
    snprintf(text, sizeof text, "%p", p);
    return text;
}
inline std::string Num(float f) {
    char text[32];
    snprintf(text, sizeof text, "%g", static_cast<double>(f));
    return text;
}

inline std::string Lower(std::string s) {
    for (char &c : s) c = static_cast<char>(Com_tolower(static_cast<unsigned char>(c)));
    return s;
}

// Sets a variable's text and readings, then runs its callback.
inline void SetVarRecord(cmdVar_t *v, const char *text) {
    v->previousValue = v->value;
    v->previousInteger = v->integer;
    v->previousBoolean = v->boolean;
    Com_strncpyz(v->string, text, sizeof v->string);
    v->value = Com_atof(v->string);
    v->integer = Com_atoi(v->string);
    v->boolean = v->integer != 0;
    v->modificationCount++;
    if (v->callback) v->callback();
}

// A variable by name, or null.
inline cmdVar_t *Var(const std::string &name) {
    const auto v = vars.find(Lower(name));
    return v == vars.end() ? nullptr : v->second;
}

// Sets a variable by name; one the module did not create becomes an engine variable.
inline cmdVar_t *Set(const std::string &name, const std::string &text) {
    cmdVar_t *v = Var(name);
    if (!v) {
        v = &engineVars.emplace_back();
        memset(v, 0, sizeof *v);
        Com_strncpyz(v->name, name.c_str(), sizeof v->name);
        vars[Lower(name)] = v;
    }
    SetVarRecord(v, text.c_str());
    return v;
}

inline void CreateVar(cmdVar_t *v, const char *name, const char *def, uint32_t flags, cmdCallback_t cb) {
    if (cmdVar_t *old = Var(name); old && old != v) {
        // Created again by another record (as after a module reload): keep the value.
        memcpy(v, old, sizeof *v);
    } else if (old != v) {
        memset(v, 0, sizeof *v);
        Com_strncpyz(v->name, name, sizeof v->name);
        Com_strncpyz(v->defaultString, def, sizeof v->defaultString);
        SetVarRecord(v, def);
        v->modificationCount = 0;
    }
    v->flags = flags;
    v->callback = cb;
    vars[Lower(name)] = v;
}

// Splits a command line into words: blanks separate, and a word that opens with a
// double or a single quote runs to the same quote, as the engine's parser reads it.
inline std::vector<std::string> Words(const std::string &line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) i++;
        if (i >= line.size()) break;
        std::string w;
        if (line[i] == '"' || line[i] == '\'') {
            const char quote = line[i++];
            while (i < line.size() && line[i] != quote) w += line[i++];
            i++;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') w += line[i++];
        }
        out.push_back(w.substr(0, CMD_MAX_WORD));  // as much of a word as the engine keeps
    }
    return out;
}

// Runs one console line: a function, or a variable followed by its new text.
// False when the name is unknown.
inline bool Run(const std::string &line) {
    const std::vector<std::string> words = Words(line);
    if (words.empty()) return true;
    const auto f = functions.find(Lower(words[0]));
    if (f != functions.end()) {
        const std::vector<std::string> saved = args;
        args = words;
        f->second();
        args = saved;
        return true;
    }
    if (cmdVar_t *v = Var(words[0])) {
        if (words.size() > 1) SetVarRecord(v, words[1].c_str());
        return true;
    }
    return false;
}

// Runs the command buffer until it is empty (lines added while running run too).
inline void Flush() {
    for (size_t n = 0; !added.empty() && n < 1000; n++) {
        const std::string line = added.front();
        added.erase(added.begin());
        Run(line);
    }
}

// The clock moves on by ms: game time, previous time, frame length and count.
inline void Advance(uint32_t ms) {
    qg.previousTime = qg.time;
    qg.time += ms;
    qg.frameMsec = ms;
    qg.frameSeconds = static_cast<float>(ms) / 1000.0f;
    qg.frameCount++;
    qg.fps = ms ? 1000 / ms : 0;
    engineTime += ms;
}

// The engine's game-time restart before 2^31 ms: the time begins again at its
// start; the module sees it at its next refresh.
inline void RestartGameTime() { qg.time = qg.previousTime = GAME_TIME_START; }

inline void Seed(uint32_t seed) { randState = seed ? seed : 1; }
// A non-negative 31-bit number from a fixed sequence.
inline int32_t Rand() {
    randState = randState * 1103515245u + 12345u;
    return static_cast<int32_t>((randState >> 1) & 0x7FFFFFFF);
}

// The analytic world: the first point where a box of the start's largest half size,
// moving from start to end, meets the ball or the floor.
inline void Trace(trace_t *out, const obb_t *start, const obb_t *end) {
    traces++;
    memset(out, 0, sizeof *out);
    out->fraction = 1.0f;
    memcpy(out->endpos, end->origin, sizeof out->endpos);
    memcpy(out->endAxes, end->axis, sizeof out->endAxes);  // as the engine's: the box's axes, hit or not
    const float r = std::fmax(start->halfSize[0], std::fmax(start->halfSize[1], start->halfSize[2]));
    const float *a = start->origin, *b = end->origin;
    const float d[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    float t = -1.0f;
    float normal[3] = {0, 0, 0};
    if (flatWorld) {
        const float ha = a[1] - floorY - r, hb = b[1] - floorY - r;
        if (ha >= 0 && hb < 0) {
            t = ha / (ha - hb);
            normal[1] = 1.0f;
        } else if (ha < 0) {
            t = 0;
            normal[1] = 1.0f;
        }
    } else {
        const float R = worldRadius + r;
        const float A = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        const float B = 2 * (a[0] * d[0] + a[1] * d[1] + a[2] * d[2]);
        const float C = a[0] * a[0] + a[1] * a[1] + a[2] * a[2] - R * R;
        if (C <= 0) {
            t = 0;
        } else if (A > 0) {
            const float disc = B * B - 4 * A * C;
            if (disc >= 0) {
                const float t0 = (-B - std::sqrt(disc)) / (2 * A);
                if (t0 >= 0 && t0 <= 1) t = t0;
            }
        }
        if (t >= 0) {
            const float p[3] = {a[0] + d[0] * t, a[1] + d[1] * t, a[2] + d[2] * t};
            const float len = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
            for (int i = 0; i < 3 && len > 0; i++) normal[i] = p[i] / len;
        }
    }
    if (t < 0) return;
    out->fraction = t;
    for (int i = 0; i < 3; i++) {
        out->endpos[i] = a[i] + d[i] * t;
        out->plane[i] = normal[i];
    }
    out->plane[3] = -(normal[0] * out->endpos[0] + normal[1] * out->endpos[1] + normal[2] * out->endpos[2]);
}

inline const char *Kept(const std::string &s) {
    static std::deque<std::string> keep;  // texts handed back stay valid
    if (keep.size() > 64) keep.pop_front();
    return keep.emplace_back(s).c_str();
}

// Trap 36 on the stand-in disk: the paths of `files` directly in the pattern's folder
// that end as the pattern does ("maps/*.world"), in name order, at most max.
inline int32_t FindFiles(char *out, const std::string &pattern, int32_t stride, int32_t max) {
    fileSearches.emplace_back(pattern, max);
    const size_t star = pattern.find('*');
    const std::string dir = pattern.substr(0, star), ext = pattern.substr(star + 1);
    int32_t n = 0;
    for (const auto &entry : files) {
        const std::string &path = entry.first;
        if (n >= max) break;
        if (path.size() < dir.size() + ext.size() || path.compare(0, dir.size(), dir) != 0) continue;
        if (path.find('/', dir.size()) != std::string::npos) continue;
        if (path.compare(path.size() - ext.size(), ext.size(), ext) != 0) continue;
        Com_strncpyz(out + static_cast<size_t>(n) * static_cast<size_t>(stride), path.c_str(), stride);
        n++;
    }
    return n;
}

inline intptr_t Trap(int number, gameArg_t *a) {
    switch (number) {
    case GTRAP_GET_QGAME: memcpy(Arg_Ptr<qgame_t>(a, 0), &qg, sizeof qg); return 0;
    case GTRAP_GET_TIME: return static_cast<int32_t>(engineTime);
    case GTRAP_RAND: return Rand();
    case GTRAP_FRAND:
        floatResult = static_cast<float>(Rand() & 0x7FFF) / 32767.0f;
        a[0] = reinterpret_cast<gameArg_t>(&floatResult);
        return 0;
    case GTRAP_CRAND:
        floatResult = 2.0f * (static_cast<float>(Rand() & 0x7FFF) / 32767.0f - 0.5f);
        a[0] = reinterpret_cast<gameArg_t>(&floatResult);
        return 0;
    case GTRAP_VECTOR_ADD_NOISE: {
        float *v = Arg_Ptr<float>(a, 0);
        const float amount = Arg_Float(a, 1);
        for (int i = 0; i < 3; i++) v[i] += 2.0f * (static_cast<float>(Rand() & 0x7FFF) / 32767.0f - 0.5f) * amount;
        return 0;
    }
    case GTRAP_PRINT: prints.emplace_back(Arg_Ptr<const char>(a, 0)); return 0;
    case GTRAP_ERROR: return hm_test::CaptureError(Arg_Int(a, 0), Arg_Ptr<const char>(a, 1));
    case GTRAP_ARGC: return static_cast<intptr_t>(args.size());
    case GTRAP_ARGV: {
        const int32_t n = Arg_Int(a, 0);
        return reinterpret_cast<intptr_t>(n >= 0 && n < static_cast<int32_t>(args.size()) ? Kept(args[n]) : "");
    }
    case GTRAP_ADD: added.emplace_back(Arg_Ptr<const char>(a, 0)); return 0;
    case GTRAP_SLEEP: sleeps.push_back(Arg_Int(a, 0)); return 0;
    case GTRAP_SEND_OUT_OF_BAND_PRINT:
        outOfBand.push_back({*Arg_Ptr<const netadr_t>(a, 1), Arg_Int(a, 0), Arg_Ptr<const char>(a, 2)});
        return 1;
    case GTRAP_FLUSH: Flush(); return 0;
    case GTRAP_CREATE_CVAR:
        CreateVar(Arg_Ptr<cmdVar_t>(a, 0), Arg_Ptr<const char>(a, 1), Arg_Ptr<const char>(a, 2),
                  static_cast<uint32_t>(Arg_Int(a, 3)), nullptr);
        return 0;
    case GTRAP_CREATE_CVAR_EX:
        CreateVar(Arg_Ptr<cmdVar_t>(a, 0), Arg_Ptr<const char>(a, 1), Arg_Ptr<const char>(a, 2),
                  static_cast<uint32_t>(Arg_Int(a, 3)), reinterpret_cast<cmdCallback_t>(a[4]));
        return 0;
    case GTRAP_CREATE_FUNCTION:
        functions[Lower(Arg_Ptr<const char>(a, 0))] = reinterpret_cast<cmdCallback_t>(a[1]);
        return 0;
    case GTRAP_SET_CVAR: SetVarRecord(Arg_Ptr<cmdVar_t>(a, 0), Arg_Ptr<const char>(a, 1)); return 0;
    case GTRAP_GET_CVAR: return reinterpret_cast<intptr_t>(Var(Arg_Ptr<const char>(a, 0)));
    case GTRAP_MEM_ALLOC: return reinterpret_cast<intptr_t>(Com_malloc(static_cast<uint32_t>(Arg_Int(a, 0))));
    case GTRAP_MEM_FREE: Com_free(Arg_Ptr<void>(a, 0)); return 0;
    case GTRAP_READ_FILE: {
        void **out = Arg_Ptr<void *>(a, 1);
        const auto f = files.find(Arg_Ptr<const char>(a, 0));
        if (!out) return f == files.end() ? 0 : 1;  // only asks whether the file exists
        *out = nullptr;
        if (f == files.end()) return -1;
        auto *data = static_cast<char *>(Com_malloc(static_cast<uint32_t>(f->second.size() + 1)));
        memcpy(data, f->second.data(), f->second.size());
        data[f->second.size()] = 0;
        *out = data;
        return static_cast<intptr_t>(f->second.size());
    }
    // Client game models: the file with 25,000 zero bytes behind it, as the engine reads it.
    case GTRAP_READ_FILE_25K: {
        void **out = Arg_Ptr<void *>(a, 1);
        *out = nullptr;
        const auto f = files.find(Arg_Ptr<const char>(a, 0));
        if (f == files.end()) return -1;
        const size_t size = f->second.size() + 25000 + 1;
        auto *data = static_cast<char *>(Com_malloc(static_cast<uint32_t>(size)));
        memset(data, 0, size);
        memcpy(data, f->second.data(), f->second.size());
        *out = data;
        return static_cast<intptr_t>(f->second.size());
    }
    case GTRAP_FREE_FILE: Com_free(Arg_Ptr<void>(a, 0)); return 0;
    case GTRAP_FOPEN:  // a handle that FWriteString records into `written`
        opened.push_back(std::string(Arg_Ptr<const char>(a, 0)) + " " + Arg_Ptr<const char>(a, 1));
        return fopenFails ? 0 : 1;
    case GTRAP_FCLOSE: closed++; return 0;
    case GTRAP_SET_AIM_MODE: pointerModes.emplace_back("aim"); return 0;
    case GTRAP_SET_CURSOR_MODE: pointerModes.emplace_back("cursor"); return 0;
    case GTRAP_CIN_END_CINEMATIC: cinematicEnds++; return 0;
    case GTRAP_COMPLETE_CMD:
        if (completion.empty()) return 0;
        strcpy(Arg_Ptr<char>(a, 0), completion.c_str());
        return 1;
    case GTRAP_FWRITE_STRING: written.emplace_back(Arg_Ptr<const char>(a, 0)); return 1;
    case GTRAP_TRACE: Trace(Arg_Ptr<trace_t>(a, 0), Arg_Ptr<const obb_t>(a, 1), Arg_Ptr<const obb_t>(a, 2)); return 0;
    case GTRAP_REGISTER_MATERIAL: {
        registered.emplace_back(Arg_Ptr<const char>(a, 0));
        if (registerFromFiles) return RegisterFromFiles("material", Arg_Ptr<const char>(a, 0));
        const auto own = materialHandles.find(registered.back());
        return own == materialHandles.end() ? materialHandle : own->second;
    }
    case GTRAP_CL_GET_FONT_CHAR_WIDTH: {
        const auto f = fontCells.find(Arg_Int(a, 0));
        return f == fontCells.end() ? FAKE_FONT_CHAR_WIDTH : f->second.width;
    }
    case GTRAP_CL_GET_FONT_CHAR_HEIGHT: {
        const auto f = fontCells.find(Arg_Int(a, 0));
        return f == fontCells.end() ? FAKE_FONT_CHAR_HEIGHT : f->second.height;
    }
    case GTRAP_R_BEGIN_FRAME:
        beganFrames++;
        bonesAllocated = 0;  // bones are frame memory
        return 0;
    case GTRAP_R_END_FRAME: endedFrames++; return 0;
    case GTRAP_S_PLAY_LOCAL_SOUND: localSounds.push_back(Arg_Int(a, 0)); return 0;
    case GTRAP_S_PLAY_POINT_SOUND: {
        pointSound_t p{Arg_Int(a, 0), {0, 0, 0}};
        if (const float *o = Arg_Ptr<const float>(a, 1)) memcpy(p.origin, o, sizeof p.origin);
        pointSounds.push_back(p);
        return 0;
    }
    case GTRAP_CL_GET_NEXT_SERVER_COMMAND: {
        serverArgs.clear();
        if (serverCommands.empty()) return 0;
        serverArgs = Words(serverCommands.front().text);
        if (uint8_t *from = Arg_Ptr<uint8_t>(a, 0)) memcpy(from, serverCommands.front().from, 12);
        serverCommands.pop_front();
        return 0;
    }
    case GTRAP_CL_SERVER_COMMAND_ARGC: return static_cast<intptr_t>(serverArgs.size());
    case GTRAP_CL_SERVER_COMMAND_ARGV: {
        const int32_t n = Arg_Int(a, 0);
        return reinterpret_cast<intptr_t>(n >= 0 && n < static_cast<int32_t>(serverArgs.size()) ? Kept(serverArgs[n])
                                                                                                 : "");
    }
    case GTRAP_REGISTER_FONT:
    case GTRAP_REGISTER_TEXTURE:
    case GTRAP_REGISTER_TEXTURE_NO_MIP:
    case GTRAP_REGISTER_TEXTURE_CUBE:
    case GTRAP_REGISTER_SOUND:
    case GTRAP_REGISTER_LOD: {
        if (!registerFromFiles) return 0;
        static const std::map<int, const char *> KINDS = {
            {GTRAP_REGISTER_FONT, "font"},       {GTRAP_REGISTER_TEXTURE, "texture"},
            {GTRAP_REGISTER_TEXTURE_NO_MIP, "texture"}, {GTRAP_REGISTER_TEXTURE_CUBE, "cube"},
            {GTRAP_REGISTER_SOUND, "sound"},     {GTRAP_REGISTER_LOD, "lod"}};
        return RegisterFromFiles(KINDS.at(number), Arg_Ptr<const char>(a, 0));
    }
    case GTRAP_UPLOAD_WORLD_MATERIALS: {
        const auto *block = Arg_Ptr<const uint8_t>(a, 0);
        uploaded.assign(block, block + 256 * 36);
        calls.emplace_back("materials");
        return 0;
    }
    case GTRAP_SET_WORLD_ALTITUDES:
        altitudes[0] = Arg_Float(a, 0);
        altitudes[1] = Arg_Float(a, 1);
        linearGravity = Arg_Byte(a, 3);
        calls.emplace_back("altitudes");
        return 0;
    case GTRAP_UNDO_SNAPSHOT: deforms.emplace_back("undo"); return 0;
    case GTRAP_SETUP_SOUP:
        deforms.push_back("setup " + PointerText(Arg_Ptr<const void>(a, 0)) + " " + Num(Arg_Float(a, 4)));
        return 0;
    case GTRAP_CHECK_SOUP_CONNECT: deforms.emplace_back("connect"); return soupConnect;
    case GTRAP_SUB_SOUP:
        deforms.push_back("sub " + std::to_string(Arg_Int(a, 0)) + " " + Num(Arg_Float(a, 1)));
        return 0;
    case GTRAP_ADD_SOUP:
        deforms.push_back("add " + std::to_string(Arg_Int(a, 0)) + " " + std::to_string(Arg_Int(a, 1)));
        return 0;
    case GTRAP_PAINT_SOUP:
        deforms.push_back("paint " + std::to_string(Arg_Int(a, 0)) + " " + std::to_string(Arg_Int(a, 1)));
        return 0;
    case GTRAP_BLUR_SOUP:
        deforms.push_back("blur " + std::to_string(Arg_Int(a, 0)) + " " + std::to_string(Arg_Int(a, 1)) + " " +
                          std::to_string(Arg_Int(a, 2)));
        return 0;
    case GTRAP_WO_CHECK_POINT_PVS: return pvsAnswer;
    case GTRAP_CLIP_DECAL: {
        decalCall_t call;
        memcpy(call.origin, Arg_Ptr<const float>(a, 4), sizeof call.origin);
        memcpy(call.axis, Arg_Ptr<const float>(a, 5), sizeof call.axis);
        memcpy(call.size, Arg_Ptr<const float>(a, 6), sizeof call.size);
        call.maxVerts = Arg_Int(a, 7);
        call.maxIndexes = Arg_Int(a, 8);
        decalCalls.push_back(call);
        decalClips++;
        auto *verts = Arg_Ptr<uint8_t>(a, 2);
        auto *indexes = Arg_Ptr<int32_t>(a, 3);
        for (int32_t i = 0; i < decalVertexes && i < call.maxVerts; i++) {
            float position[3] = {call.origin[0] + static_cast<float>(i), call.origin[1], call.origin[2]};
            memset(verts + 60 * i, 0, 60);
            memcpy(verts + 60 * i, position, sizeof position);
            memset(verts + 60 * i + 48, 0xFF, 4);
        }
        for (int32_t i = 0; i < decalIndexes && i < call.maxIndexes; i++)
            indexes[i] = decalVertexes > 0 ? i % decalVertexes : 0;
        *Arg_Ptr<int32_t>(a, 0) = decalVertexes;
        *Arg_Ptr<int32_t>(a, 1) = decalIndexes;
        return 0;
    }
    case GTRAP_CL_GET_WORLD_INFO_STRING: return reinterpret_cast<intptr_t>(clientWorldInfo.c_str());
    case GTRAP_CL_SEND_KEEP_ALIVE: keepAlives++; return 0;
    case GTRAP_CL_UPLOAD_ECL: ecl = Arg_Ptr<ecl_t>(a, 0); return 0;
    case GTRAP_CL_GET_SNAPSHOT:
        *Arg_Ptr<const snapshot_t *>(a, 0) = olderSnapshot;
        *Arg_Ptr<const snapshot_t *>(a, 1) = newerSnapshot;
        *Arg_Ptr<int32_t>(a, 2) = simTime;
        return 0;
    case GTRAP_CL_UPDATE_INFO_STRING: infoStrings.emplace_back(Arg_Ptr<const char>(a, 0)); return 0;
    case GTRAP_S_BEGIN_MUSIC:
        clientCalls.push_back(std::string("music ") + Arg_Ptr<const char>(a, 0) + " " + std::to_string(Arg_Int(a, 1)));
        return 0;
    case GTRAP_S_END_MUSIC: clientCalls.emplace_back("endmusic"); return 0;
    case GTRAP_S_CLEAR_DMA: clientCalls.emplace_back("stopsounds"); return 0;
    case GTRAP_S_SET_LISTENER: clientCalls.emplace_back("listener"); return 0;
    case GTRAP_UNREGISTER_MATERIAL:
    case GTRAP_UNREGISTER_TEXTURE:
    case GTRAP_UNREGISTER_LOD:
    case GTRAP_UNREGISTER_SOUND: {
        static const std::map<int, const char *> KINDS = {{GTRAP_UNREGISTER_MATERIAL, "material"},
                                                          {GTRAP_UNREGISTER_TEXTURE, "texture"},
                                                          {GTRAP_UNREGISTER_LOD, "lod"},
                                                          {GTRAP_UNREGISTER_SOUND, "sound"}};
        clientCalls.push_back(std::string("unregister ") + KINDS.at(number) + " " + std::to_string(Arg_Int(a, 0)));
        return 0;
    }
    case GTRAP_GET_VIEW_PVS: {
        viewPVSRequest_t r{};
        memcpy(r.eye, Arg_Ptr<const float>(a, 0), sizeof r.eye);
        memcpy(r.axis, Arg_Ptr<const float>(a, 1), sizeof r.axis);
        r.fovX = Arg_Float(a, 2);
        r.fovY = Arg_Float(a, 3);
        viewPVSRequests.push_back(r);
        return reinterpret_cast<intptr_t>(viewPVS);
    }
    case GTRAP_WO_CHECK_BOUNDS_PVS: return boundsPVSAnswer;
    case GTRAP_R_CLEAR_SCENE: sceneClears.push_back(Arg_Int(a, 0)); return 0;
    case GTRAP_R_RENDER_SCENE: {
        const auto *r = Arg_Ptr<const uint8_t>(a, 0), *v = Arg_Ptr<const uint8_t>(a, 1);
        renderedScenes.push_back({r, v, std::vector<uint8_t>(r, r + sceneRecordBytes[0]),
                                  std::vector<uint8_t>(v, v + sceneRecordBytes[1])});
        return 0;
    }
    case GTRAP_R_SETUP_SURFACE_ENTITY: surfaceEntitySetups++; return 0;
    case GTRAP_R_ADD_SURFACE_ENTITY: {
        const auto *e = Arg_Ptr<const uint8_t>(a, 0);
        surfaceEntities.emplace_back(e, e + surfaceEntityBytes);
        return 0;
    }
    case GTRAP_R_ALLOC_BONES: {
        const int32_t n = Arg_Int(a, 0);
        if (refuseBones || n <= 0 || n > FAKE_BONES - bonesAllocated) return 0;
        uint8_t *p = boneStore + static_cast<size_t>(bonesAllocated) * FAKE_BONE_BYTES;
        bonesAllocated += n;
        memset(p, 0xEE, static_cast<size_t>(n) * FAKE_BONE_BYTES);
        return reinterpret_cast<intptr_t>(p);
    }
    case GTRAP_R_ALLOC_SURFACES:
        allocLayouts.push_back(Arg_Int(a, 0));
        if (refuseSurfaces) return 0;
        memset(surfaceStore, 0xEE, sizeof surfaceStore);
        return reinterpret_cast<intptr_t>(surfaceStore);
    case GTRAP_R_ADD_SURFACES: {
        const auto *s = Arg_Ptr<const uint8_t>(a, 0);
        surfaces.emplace_back(s, s + sizeof surfaceStore);
        return 0;
    }
    case GTRAP_R_ALLOC_LIGHT:
        if (lightsAllocated >= FAKE_LIGHTS) return 0;
        memset(lightStore[lightsAllocated], 0, FAKE_LIGHT_BYTES);
        return reinterpret_cast<intptr_t>(lightStore[lightsAllocated++]);
    case GTRAP_R_ADD_LIGHT: {
        const auto *l = Arg_Ptr<const uint8_t>(a, 0);
        lights.emplace_back(l, l + FAKE_LIGHT_BYTES);
        return 0;
    }
    case GTRAP_R_GET_RENDER_DEST_WIDTH: return FAKE_DEST_WIDTH;
    case GTRAP_R_GET_RENDER_DEST_HEIGHT: return FAKE_DEST_HEIGHT;
    case GTRAP_CL_DRAW_TRIS_PIC: {
        const auto *v = Arg_Ptr<const drawVert_t>(a, 1);
        const auto *i = Arg_Ptr<const int32_t>(a, 2);
        trisPics.push_back({Arg_Int(a, 0), std::vector<drawVert_t>(v, v + Arg_Int(a, 3)),
                            std::vector<int32_t>(i, i + Arg_Int(a, 4)), Arg_Int(a, 5), Arg_Byte(a, 6)});
        return 0;
    }
    case GTRAP_CL_DRAW_STRING: {
        drawnStrings.push_back({std::string(Arg_Ptr<const char>(a, 4), static_cast<size_t>(Arg_Int(a, 5))),
                                Arg_Float(a, 1), Arg_Float(a, 2), Arg_Float(a, 3), Arg_Int(a, 7), Arg_Int(a, 8),
                                {1, 1, 1, 1}});
        if (const float *c = Arg_Ptr<const float>(a, 6)) memcpy(drawnStrings.back().colour, c, 4 * sizeof(float));
        return 0;
    }
    case GTRAP_R_GET_RENDERER_CONFIG: memcpy(Arg_Ptr<void>(a, 0), &rendererConfig, sizeof rendererConfig); return 0;
    case GTRAP_CLIPBOARD_GET_STRING_LENGTH: return clipboard.empty() ? 0 : static_cast<intptr_t>(clipboard.size() + 1);
    case GTRAP_CLIPBOARD_GET_STRING: {
        const int32_t size = Arg_Int(a, 0);
        if (size < 1) return 0;
        Com_strncpyz(Arg_Ptr<char>(a, 1), clipboard.c_str(), size);
        return 1;
    }
    case GTRAP_CLIPBOARD_SET_STRING: clipboard = Arg_Ptr<const char>(a, 0); return 0;
    case GTRAP_SV_UPLOAD_WORLD_INFO_STRING: {
        const char *text = Arg_Ptr<const char>(a, 0);
        if (worldInfo.empty() || worldInfo.back() != text) worldInfo.emplace_back(text);
        return 0;
    }
    case GTRAP_CL_SEND_CLIENT_COMMAND: sentCommands.push_back(*Arg_Ptr<const cc_t>(a, 0)); return 0;
    case GTRAP_LOOKUP_DNS: {
        // Any text resolves to the loop-back address when the look-up succeeds.
        auto *out = Arg_Ptr<netadr_t>(a, 0);
        memset(out, 0, sizeof *out);
        calls.push_back(std::string("lookup ") + Arg_Ptr<const char>(a, 1));
        if (const auto own = dnsAddresses.find(Arg_Ptr<const char>(a, 1)); own != dnsAddresses.end()) {
            *out = own->second;
            return 1;
        }
        if (dnsAnswer) out->type = NA_LOCAL;
        return dnsAnswer;
    }
    case GTRAP_CL_CONNECT_TO_SERVER:
        calls.push_back(std::string("connectto ") + Arg_Ptr<const char>(a, 0) + " " + Arg_Ptr<const char>(a, 1) + " " +
                        Arg_Ptr<const char>(a, 2));
        return 0;
    case GTRAP_SV_START_SERVER: calls.push_back(std::string("start ") + Arg_Ptr<const char>(a, 0)); return 0;
    case GTRAP_SV_LOAD_VO2: {
        lastVO2 = Arg_Ptr<const char>(a, 0);
        const auto *used = Arg_Ptr<const uint8_t>(a, 1);
        usedMatters.assign(used, used + 256);
        calls.push_back("loadvo2 " + lastVO2);
        return loadVO2Answer;
    }
    case GTRAP_SV_SHUTDOWN_SERVER: {
        calls.push_back("shutdown " + std::to_string(Arg_Byte(a, 0)));
        if (!Arg_Byte(a, 0))
            for (slot_t &s : slots) s = slot_t{};
        for (bool &l : linked) l = false;
        clientBase = entityBase = gameData = nullptr;
        return 0;
    }
    case GTRAP_SV_UPLOAD_CLIENT_STATE_REFERENCE:
        clientBase = Arg_Ptr<void>(a, 0);
        clientStride = Arg_Int(a, 1);
        return 0;
    case GTRAP_SV_UPLOAD_ENTITY_STATE_REFERENCE:
        entityBase = Arg_Ptr<void>(a, 0);
        entityStride = Arg_Int(a, 1);
        return 0;
    case GTRAP_SV_UPLOAD_SNAPSHOT_GAME_DATA_REFERENCE:
        gameData = Arg_Ptr<void>(a, 0);
        gameDataSize = Arg_Int(a, 1);
        return 0;
    case GTRAP_SV_GET_CLIENT_COMMAND: {
        const int32_t n = Arg_Int(a, 0);
        if (n < 0 || n >= 16 || slots[n].commands.empty()) return 0;
        slots[n].current = slots[n].commands.front();
        slots[n].commands.pop_front();
        return reinterpret_cast<intptr_t>(&slots[n].current);
    }
    case GTRAP_SV_GET_CLIENT_INFO: {
        const int32_t n = Arg_Int(a, 0);
        return reinterpret_cast<intptr_t>(n >= 0 && n < 16 ? slots[n].info.c_str() : "");
    }
    case GTRAP_SV_GET_CLIENT_PING: {
        const int32_t n = Arg_Int(a, 0);
        return n >= 0 && n < 16 ? slots[n].ping : 0;
    }
    case GTRAP_SV_ADD_CLIENT: {
        const int32_t n = Arg_Int(a, 0);
        calls.push_back("addclient " + std::to_string(n));
        if (n >= 0 && n < 16) {
            slots[n] = slot_t{};
            slots[n].inUse = true;
            slots[n].bot = Arg_Ptr<const void>(a, 1) == nullptr;
        }
        return 0;
    }
    case GTRAP_SV_DELETE_CLIENT: {
        const int32_t n = Arg_Int(a, 0);
        calls.push_back("deleteclient " + std::to_string(n));
        if (n >= 0 && n < 16) slots[n] = slot_t{};
        return 0;
    }
    case GTRAP_SV_SEND_SERVER_COMMAND:
        commands.push_back({Arg_Int(a, 0), Arg_Ptr<const char>(a, 1)});
        return 0;
    case GTRAP_SV_LINK_ENTITY: {
        const int32_t n = Arg_Int(a, 0);
        if (n >= 0 && n < 512) linked[n] = true;
        return 0;
    }
    case GTRAP_SV_UNLINK_ENTITY: {
        const int32_t n = Arg_Int(a, 0);
        if (n >= 0 && n < 512) linked[n] = false;
        return 0;
    }
    case GTRAP_FIND_FILES: return FindFiles(Arg_Ptr<char>(a, 0), Arg_Ptr<const char>(a, 1), Arg_Int(a, 2), Arg_Int(a, 3));
    case GTRAP_GET_BINDING: {
        const auto b = keyBindings.find(Arg_Ptr<const char>(a, 0));
        return b == keyBindings.end() ? 0 : b->second;
    }
    case GTRAP_CENTER_CURSOR: centeredCursors++; return 0;
    default: return 0;
    }
}

// The texts of the server commands sent to one client.
inline std::vector<std::string> CommandsTo(int32_t client) {
    std::vector<std::string> out;
    for (const command_t &c : commands)
        if (c.client == client) out.push_back(c.text);
    return out;
}

using hm_test::Printed;
using hm_test::Reported;

// Installs the stand-in and clears every record; the clock starts where the engine's does.
inline void Install() {
    files.clear();
    prints.clear();
    errors.clear();
    registered.clear();
    registerFromFiles = false;
    registeredByKind.clear();
    registrations.clear();
    uploaded.clear();
    surfaces.clear();
    decalCalls.clear();
    allocLayouts.clear();
    trisPics.clear();
    drawnStrings.clear();
    materialHandles.clear();
    fontCells.clear();
    rendererConfig = rendererConfig_t{0, FAKE_DEST_WIDTH, FAKE_DEST_HEIGHT};
    clipboard.clear();
    beganFrames = endedFrames = 0;
    localSounds.clear();
    pointSounds.clear();
    serverCommands.clear();
    serverArgs.clear();
    lightsAllocated = 0;
    lights.clear();
    pvsAnswer = 1;
    viewPVSRequests.clear();
    boundsPVSAnswer = 1;
    sceneClears.clear();
    renderedScenes.clear();
    sceneRecordBytes[0] = sceneRecordBytes[1] = 0;
    surfaceEntityBytes = 0;
    surfaceEntities.clear();
    surfaceEntitySetups = 0;
    bonesAllocated = 0;
    refuseBones = refuseSurfaces = false;
    decalVertexes = decalIndexes = 0;
    decalClips = 0;
    vars.clear();
    engineVars.clear();
    functions.clear();
    args.clear();
    added.clear();
    memset(&qg, 0, sizeof qg);
    qg.initialized = 1;
    qg.time = qg.previousTime = qg.startTime = GAME_TIME_START;
    qg.frameMsec = 50;
    qg.frameSeconds = 0.05f;
    qg.frameCount = 1;
    qg.fps = 20;
    // A restart seen in one test is not the next one's: the module's copy of the state
    // starts where the engine's does, so its first refresh sees no fall either.
    qgame = qg;
    g_timeRestart = comRestart_t{};
    engineTime = ENGINE_CLOCK_START;
    Seed(1);
    flatWorld = false;
    worldRadius = 50.0f;
    floorY = 0.0f;
    traces = 0;
    clientWorldInfo.clear();
    keepAlives = 0;
    ecl = nullptr;
    olderSnapshot = newerSnapshot = nullptr;
    simTime = 0;
    infoStrings.clear();
    clientCalls.clear();
    calls.clear();
    commands.clear();
    for (slot_t &s : slots) s = slot_t{};
    worldInfo.clear();
    for (bool &l : linked) l = false;
    clientBase = entityBase = gameData = nullptr;
    clientStride = entityStride = gameDataSize = 0;
    loadVO2Answer = true;
    lastVO2.clear();
    usedMatters.clear();
    written.clear();
    deforms.clear();
    soupConnect = 1;
    sentCommands.clear();
    dnsAnswer = true;
    keyBindings.clear();
    fileSearches.clear();
    centeredCursors = 0;
    pointerModes.clear();
    cinematicEnds = 0;
    completion.clear();
    fopenFails = false;
    opened.clear();
    closed = 0;
    outOfBand.clear();
    sleeps.clear();
    dnsAddresses.clear();
    linearGravity = 0;
    gi = gameImport_t{GAME_API_MAGIC, GAME_API_VERSION, sizeof(gameImport_t), Trap};
    Com_SetupPrintf(PRF_SINKS, hm_test::CapturePrint, hm_test::CapturePrint);
    Com_SetupError(hm_test::CaptureError);
}

inline void Uninstall() {
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    Com_SetupError(nullptr);
}

// A SOUP file of the given positions (three floats each) and indexes, little-endian.
inline std::string SoupBytes(const std::vector<float> &positions, const std::vector<int32_t> &indexes) {
    std::string out;
    auto put = [&out](uint32_t w) {
        for (int i = 0; i < 4; i++) out.push_back(static_cast<char>(w >> (8 * i)));
    };
    put(0xABCD9876);
    put(1);
    put(static_cast<uint32_t>(positions.size() / 3));
    put(static_cast<uint32_t>(indexes.size()));
    for (float f : positions) {
        uint32_t w;
        memcpy(&w, &f, 4);
        put(w);
    }
    for (int32_t i : indexes) put(static_cast<uint32_t>(i));
    return out;
}

// Overwrites the little-endian word at a byte offset.
inline void PatchWord(std::string &bytes, size_t offset, uint32_t w) {
    for (int i = 0; i < 4; i++) bytes[offset + i] = static_cast<char>(w >> (8 * i));
}

}  // namespace fake
