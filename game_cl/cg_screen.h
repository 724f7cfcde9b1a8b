// The screen of the client game: the server's commands to it, the frame it draws
// (scene, tints, HUD, centre texts, scoreboard, overlays, console), the loading
// screen and the performance panel.  All 2D work is in the virtual 640 x 480 screen.
#pragma once

#include <cstdint>

#include "game_cl/cg_media.h"

constexpr int32_t CG_CENTER_TEXT_MS = 3500;        // "cg_print_center" and "cg_print_center2"
constexpr int32_t CG_CENTER_SHORT_MS = 1500;       // "cg_print_center_short"
constexpr int32_t CG_CENTER_FADE_MS = 500;         // a centre text fades out over its last half second
constexpr int32_t CG_SCOREBOARD_STALE_MS = 5000;   // an older scoreboard is not shown
constexpr int32_t CG_SERVERINFO2_ARGS = 31;        // the command word, ten floats, the next map, 19 movement values

// The client state's kind beyond movement's own (moveType_t: playing, dead, spectator).
constexpr uint8_t CS_INTERMISSION = 3;
// Bits of the client state's flags that the server game sets.
constexpr uint32_t CSF_CARRIES_CRYSTAL = 0x10000;
// Bits of the snapshot game data's flags.
enum cgGameDataFlag_t : uint32_t {
    GDF_FREE_FLIGHT = 0x1,   // every player flies through the world
    GDF_BLUE_CRYSTAL = 0x4,  // the blue team holds the crystal
    GDF_RED_CRYSTAL = 0x8,
    GDF_RADAR_OFF = 0x10,
    GDF_SOLIDARITY = 0x20,   // the solidarity count-down runs: nobody may join
};

// The renderer's statistics of one frame, filled when the frame ends: draw calls,
// buffers and triangles counted on the graphics card and on the processor.
struct cgFrameStats_t {
    int32_t drawCalls[2];
    int32_t buffers[2];
    int32_t triangles[2];
    int32_t surfaces;
    int32_t lights;
    int32_t textureMegabytes;
};
extern cgFrameStats_t cg_frameStats;  // of the frame ended last

// One frame's times (ms) for the frame-time meter: the client game's scene and its
// 2D drawing, the engine's pacing wait, and the whole pass.
struct cgFrameTimes_t {
    float first, second, caller, total;
};
extern cgFrameTimes_t cg_frameTimes;
// One frame-time sample.
void CG_UpdateFpsMeter(const cgFrameTimes_t *times);
// One lag sample, and a snapshot sample when a newer snapshot arrived.
void CG_UpdateLagometer();
void CG_DrawFpsMeter(float x, float y, float width, float height);
void CG_DrawLagometer(float x, float y, float width, float height);
// Forgets every frame-time, lag and snapshot sample (for tests: nothing else clears them).
void CG_ClearMeters();

// Takes every queued server command and runs it, oldest first (start of each frame).
void CG_RunServerCommands();

// Draws one whole frame and ends it.
void CG_UpdateScreen();
// One frame of the loading picture: step text and progress done of total (mode 0 while
// registering, 1 while the world's pages are still incomplete).
void CG_UpdateLoadingScreen(int32_t mode, const char *text, int32_t done, int32_t total);
// Shows text in slot 0 (slot below 1) or 1 (above 0) for ms milliseconds from now.
void CG_CenterText(const char *text, int32_t slot, int32_t ms);
// The radar in the top-right corner, under the team rules only.
void CG_DrawRadar();
// The network and frame-time meters always; the panel chosen by cg_drawPerformance.
void CG_DrawPerformance();

// ---- shared by the screen's files ----

// The heads-up display of a playing, dead or spectating client (items 1 to 11).
void CG_DrawHud();
// The scoreboard as last received, top at y.
void CG_DrawScoreboard(float top);

// The handle of one of the client media; 0 when it is not registered.
inline int32_t CG_ScreenMedia(cgMediaSlot_t slot) { return cgMedia.handles[slot]; }
