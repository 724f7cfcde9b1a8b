// A renderer and sound system for tests: they draw and play nothing, but behave as a
// working pair would towards their callers.  Registrations return increasing non-zero
// handles for files that exist (0 for missing ones), allocations hand out real frame
// memory, the configuration and render destinations have one fixed size, and every
// frame's requests are counted and its surfaces recorded for tests to read.
//
// Only test programs and the engine_headless test build link it; the shipped engine
// keeps the null tables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/renderer.h"

constexpr int32_t RE_HEADLESS_WIDTH = 1280;   // configuration and every render destination
constexpr int32_t RE_HEADLESS_HEIGHT = 960;
constexpr int32_t RE_HEADLESS_IMAGE_SIZE = 256;  // width and height of every material's image
constexpr int RE_HEADLESS_SURFACES = 1024;      // surfaces a frame may allocate
constexpr int RE_HEADLESS_LIGHTS = 256;         // lights a frame may allocate
constexpr int RE_HEADLESS_LIGHT_BYTES = 256;    // room of one light record
constexpr int RE_HEADLESS_FRAME_BYTES = 4 << 20;  // RE_Alloc's frame memory
constexpr size_t RE_HEADLESS_RECORDED = 4096;   // surfaces kept for reading
constexpr int32_t RE_HEADLESS_TGA_MAX = 65535;  // widest and tallest image a TGA head can name

// What a frame asked for.
struct reHeadlessCounts_t {
    int32_t frames;     // RE_BeginFrame calls
    int32_t surfaces;   // surfaces added
    int32_t vertexes;   // their vertexes
    int32_t indexes;    // their indexes
    int32_t instances;  // model instances added
    int32_t lights;     // lights added
    int32_t scenes;     // scenes rendered
    int32_t raws;       // raw images drawn
    // Particles and marks: added surfaces of vertex layout 25 and 31.
    int32_t colorSurfaces;
    int32_t decalSurfaces;
};

// One added surface as it stood when it was added.
struct reHeadlessSurface_t {
    int32_t layout;
    uint32_t flags;
    int32_t material;
    int32_t destination;
    std::vector<drawVert_t> verts;  // layout SURFACE_LAYOUT_COLOR only
    std::vector<int32_t> indexes;
};

// One added model instance: the drawer's name and the level of detail it draws.
struct reHeadlessInstance_t {
    std::string drawer;
    rhandle_t lod;
    int32_t numBones;
    uint32_t flags;
};

struct reHeadless_t {
    reHeadlessCounts_t frame;  // since the last RE_BeginFrame
    reHeadlessCounts_t total;  // since the test renderer was installed or reset
    std::vector<reHeadlessSurface_t> surfaces;  // added since the last RE_BeginFrame, the first RE_HEADLESS_RECORDED
    std::vector<reHeadlessInstance_t> instances;  // the same for model instances
    std::vector<std::string> materials, textures, models, sounds;  // names by handle - 1
    std::vector<byte> lastRaw;  // pixels of the last raw image drawn
    int32_t lastRawWidth, lastRawHeight;
    int32_t playedSounds;
    // Vertex lists: the handles loaded and not unloaded since the renderer last
    // started (a shutdown takes them all), and the direct updates sent to a live
    // list and to a handle that names none.
    std::vector<rhandle_t> vertexLists;
    int32_t vertexListsLoaded;
    int32_t vertexUploads, strayVertexUploads;
};

extern reHeadless_t re_headless;

// Empties the records and counts and makes the test tables the ones in use.
void RE_InstallHeadless();
// A TGA image of RGB pixels as the test renderer writes it (24 bits, top row first);
// sizes up to RE_HEADLESS_TGA_MAX.
std::string RE_HeadlessTGA(int32_t width, int32_t height, const byte *rgb);
// A mono 16-bit PCM WAV file of the samples.
std::string SND_HeadlessWAV(const std::vector<int16_t> &samples);
