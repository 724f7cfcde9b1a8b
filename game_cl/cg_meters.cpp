// The performance meters and panel: a frame-time graph of the last 150 frames, a
// lagometer of where the simulation time lies between the two snapshots and what
// each snapshot cost, and text panels of the renderer's, the network's and the
// memory's figures.  Each graph goes to the client as one batch of rectangles.
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_cl/cg_cvars.h"
#include "game_cl/cg_draw2d.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_screen.h"
#include "game_cl/cg_utils.h"

constexpr int METER_SAMPLES = 150;
constexpr float METER_MAX_MS = 100.0f;
constexpr float LAG_SCALE = 20.0f;         // units per frame of interpolation past the newer snapshot
constexpr float LAG_CENTER = 65.0f;        // the lag bars' centre line above the base
constexpr float SNAP_SCALE = 1.0f / 80.0f; // units per unit of a snapshot's plotted value
constexpr int32_t SNAP_CATCH_UP = 10;      // further behind, the next sample jumps to the current number
constexpr int FPS_QUADS = 2 + METER_SAMPLES * 4;
constexpr int LAG_QUADS = 1 + METER_SAMPLES * 2;
constexpr int STAT_WORDS = 19;             // what the client's statistics hand over
constexpr float LABEL_X = 440.0f;

cgFrameTimes_t cg_frameTimes;

struct snapTick_t {
    int32_t number;
    float value;  // negative when snapshots were lost before it
};
static float fps_ticks[METER_SAMPLES][4];
static uint32_t fps_seq;
static float lag_ticks[METER_SAMPLES];
static uint32_t lag_seq;
static snapTick_t snap_ticks[METER_SAMPLES];
static uint32_t snap_seq;

void CG_ClearMeters() {
    memset(fps_ticks, 0, sizeof fps_ticks);
    memset(lag_ticks, 0, sizeof lag_ticks);
    memset(snap_ticks, 0, sizeof snap_ticks);
    fps_seq = lag_seq = snap_seq = 0;
}

static float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

void CG_UpdateFpsMeter(const cgFrameTimes_t *times) {
    fps_seq++;
    float *t = fps_ticks[fps_seq % METER_SAMPLES];
    t[0] = Clamp(times->first, 0, METER_MAX_MS);
    t[1] = Clamp(times->second, 0, METER_MAX_MS);
    t[3] = Clamp(times->caller, 0, METER_MAX_MS);
    t[2] = Clamp(times->total - times->first - times->second - times->caller, 0, METER_MAX_MS);
}

// How far snapshot number a lies ahead of b; numbers wrap like the clocks.
static int32_t NumberAhead(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

void CG_UpdateLagometer() {
    const snapshot_t *older = cg.older, *newer = cg.newer;
    if (!older || !newer) return;
    // Two snapshots of one server moment say nothing of where the simulation lies
    // between them (the fraction would divide by zero): no lag sample then.
    if (NumberAhead(newer->serverTime, older->serverTime) > 0) {
        lag_ticks[lag_seq % METER_SAMPLES] = Snapshot_Fraction(older, newer, cg.simTime);
        lag_seq++;
    }
    snapTick_t last = snap_seq ? snap_ticks[(snap_seq - 1) % METER_SAMPLES] : snapTick_t{0, 0};
    // A new connection numbers its snapshots from the start again: the meter follows
    // it instead of waiting for the old numbers to be passed.
    if (NumberAhead(newer->number, last.number) < 0) last.number = newer->number - 1;
    const int32_t ahead = NumberAhead(newer->number, last.number);
    if (ahead <= 0) return;
    snapTick_t &s = snap_ticks[snap_seq % METER_SAMPLES];
    const float value = static_cast<float>(newer->packageSize);
    s.value = ahead > 1 ? -value : value;
    s.number = ahead - 1 > SNAP_CATCH_UP ? newer->number : last.number + 1;
    snap_seq++;
}

// A batch of rectangles in the virtual screen, drawn with the white material at once.
struct meterBatch_t {
    drawVert_t verts[FPS_QUADS * 4];
    int32_t indexes[FPS_QUADS * 6];
    int32_t vertCount = 0, indexCount = 0;
    int32_t white = 0;
    void Rect(float x, float y, float w, float h, const float *colour) {
        if (vertCount + 4 > FPS_QUADS * 4) return;
        CG_DrawStretchPicBuf(verts, indexes, &vertCount, &indexCount, 0, x, y, w, h, colour, white, 0);
    }
    void Draw() { Trap_CL_DrawTrisPic(0, verts, indexes, vertCount, indexCount, white, 0); }
};
static_assert(LAG_QUADS <= FPS_QUADS);

void CG_DrawFpsMeter(float x, float y, float width, float height) {
    static meterBatch_t batch;
    batch.vertCount = batch.indexCount = 0;
    batch.white = CG_ScreenMedia(CGM_WHITE);
    batch.Rect(x - 1, y + height - 15, width + 2, 1, color_white);
    batch.Rect(x - 1, y + height - 32, width + 2, 1, color_white);
    const float column = width / METER_SAMPLES;
    static constexpr const float *colours[4] = {color_green, color_yellow, color_red, color_blue};
    static constexpr int order[4] = {3, 2, 1, 0};  // caller's time at the bottom, the first time on top
    for (int i = 0; i < METER_SAMPLES; i++) {
        const float *t = fps_ticks[(fps_seq + 1 + i) % METER_SAMPLES];
        float base = y + height;
        for (int part : order) {
            base -= t[part];
            batch.Rect(x + i * column, base, column, t[part], colours[part]);
        }
    }
    batch.Draw();
}

void CG_DrawLagometer(float x, float y, float width, float height) {
    static meterBatch_t batch;
    batch.vertCount = batch.indexCount = 0;
    batch.white = CG_ScreenMedia(CGM_WHITE);
    const float base = y + height;
    batch.Rect(x - 1, base, width + 2, 1, color_white);
    const float column = width / METER_SAMPLES;
    for (int i = 0; i < METER_SAMPLES; i++) {
        const float cx = x + i * column;
        const float v = (lag_ticks[(lag_seq + i) % METER_SAMPLES] - 1.0f) * LAG_SCALE;
        if (v >= 0)
            batch.Rect(cx, base - LAG_CENTER - v, column, v, color_yellow);
        else
            batch.Rect(cx, base - LAG_CENTER, column, -v, color_blue);
        const float s = snap_ticks[(snap_seq + i) % METER_SAMPLES].value;
        const float h = (s < 0 ? -s : s) * SNAP_SCALE;
        batch.Rect(cx, base - h, column, h, s >= 0 ? color_green : color_red);
    }
    batch.Draw();
}

// One panel line: the label in the plain colour, each value highlighted.
static void PanelLine(float y, const char *text, float x = LABEL_X) {
    CG_DrawString(0, x, y, 1.0f, text, color_white, CG_ScreenMedia(CGM_SMALL_FONT), 0);
}

static void Backing(float x, float y, float w, float h) {
    const vec4_t black = {0, 0, 0, 0.5f};
    CG_DrawStretchPic(0, x, y, w, h, black, CG_ScreenMedia(CGM_WHITE), 0);
}

void CG_DrawPerformance() {
    int32_t stats[STAT_WORDS] = {};
    Trap_CL_GetStats(stats);
    // The engine's pacing wait is the caller's part; its whole pass the frame's total.
    cg_frameTimes.caller = static_cast<float>(stats[15]);
    cg_frameTimes.total = static_cast<float>(stats[16]);
    CG_UpdateFpsMeter(&cg_frameTimes);
    CG_UpdateLagometer();

    const int32_t small = CG_ScreenMedia(CGM_SMALL_FONT);
    const float line = static_cast<float>(Trap_CL_GetFontCharHeight(small)) + 2;
    char text[128];
    switch (cg_drawPerformance.integer) {
    case 1: {
        Backing(435, 245, 210, 192);
        CG_DrawFpsMeter(440, 220, 195, 100);
        const cgFrameStats_t &f = cg_frameStats;
        float y = 330;
        PanelLine(y, "           GPU       CPU");
        struct pair_t {
            const char *label;
            const int32_t *counts;
        } const pairs[] = {{"Draws", f.drawCalls}, {"Buffers", f.buffers}, {"Tris", f.triangles}};
        for (const pair_t &p : pairs) {
            Com_sprintf(text, sizeof text, "\xA4" "00%-9s\xA4" "08%5d     %5d", p.label, p.counts[0], p.counts[1]);
            PanelLine(y += line, text);
        }
        Com_sprintf(text, sizeof text, "\xA4" "00Surfaces \xA4" "08%5d", f.surfaces);
        PanelLine(y += line, text);
        Com_sprintf(text, sizeof text, "\xA4" "00Lights   \xA4" "08%5d", f.lights);
        PanelLine(y += line, text);
        Com_sprintf(text, sizeof text, "\xA4" "00Tex MB   \xA4" "08%5d", f.textureMegabytes);
        PanelLine(y += line, text);
        break;
    }
    case 2: Backing(472, 235, 200, 170); break;
    case 3: {
        Backing(435, 230, 210, 200);
        CG_DrawLagometer(440, 235, 195, 100);
        PanelLine(340, "         Down   Up");
        // Words 5 to 9: the last second's packages up, bytes up, packages down, lost, bytes down.
        const int32_t packagesUp = stats[5], bytesUp = stats[6], packagesDown = stats[7], lost = stats[8],
                      bytesDown = stats[9];
        float y = 340;
        Com_sprintf(text, sizeof text, "\xA4" "00KB/s    \xA4" "08%5.1f %5.1f", bytesDown / 1024.0f, bytesUp / 1024.0f);
        PanelLine(y += line, text);
        Com_sprintf(text, sizeof text, "\xA4" "00Pkg/s   \xA4" "08%5d %5d", packagesDown, packagesUp);
        PanelLine(y += line, text);
        const float percent = packagesDown + lost > 0 ? 100.0f * lost / (packagesDown + lost) : 0.0f;
        Com_sprintf(text, sizeof text, "\xA4" "00Lost/s  \xA4" "08%5d \xA4" "00(\xA4" "08%.0f%%\xA4" "00)", lost,
                    percent);
        PanelLine(y += line, text);
        break;
    }
    case 4: {
        Backing(472, 330, 170, 3 * line);
        Com_sprintf(text, sizeof text, "\xA4" "00Blocks   \xA4" "08%d", stats[17]);
        PanelLine(335, text, 477);
        Com_sprintf(text, sizeof text, "\xA4" "00KB used  \xA4" "08%d", stats[18] / 1024);
        PanelLine(335 + line, text, 477);
        break;
    }
    default: break;
    }
}
