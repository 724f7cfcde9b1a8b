// One frame of the client game's screen, stacked in a fixed order: scene, tints,
// hit marks, centre texts, HUD, notify lines and chat, scoreboard, the interface,
// development overlays and the console.  Also the loading screen and the centre texts.
#include "game_cl/cg_screen.h"
#include "game_cl/cg_utils.h"

#include <cstring>

#include "common/common.h"
#include "game/g_entity.h"
#include "game/g_main.h"
#include "game/g_move.h"
#include "game/g_player.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_cl/cg_draw2d.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_services.h"
#include "game_cl/cg_view.h"
#include "game_cl/cg_weapon_view.h"
#include "game_ui/ui_main.h"

constexpr float SCREEN_W = 640.0f, SCREEN_H = 480.0f;
constexpr float TINT_ALPHA = 0.15f;           // crystal and berserk tints
constexpr float PAIN_ALPHA = 0.27f;           // at full pain
constexpr float DEAD_ALPHA = 0.5f;            // the dead player's darkening and red
constexpr int32_t BERSERK_FLASH_MS = 1000;    // the tint's fade over the last seconds
constexpr int32_t BERSERK_FLASH_SECONDS = 3;  // from here on the tint fades out
constexpr float HIT_SIZE = 230.0f;
constexpr int32_t HIT_DIRECTIONS = 6;         // 1 right, 2 left, 3, 5, 6 front, 4 back
constexpr int32_t FPS_REFRESH_MS = 250;
constexpr float GUIDE_WIDTH = 2.0f;

cgFrameStats_t cg_frameStats;
static int32_t cg_berserkFlash;  // ms of the berserk tint's fade left

// The rest of the frame is the console; then the frame ends.
static void EndScreen() {
    UI_DrawConsole();
    Trap_R_EndFrame(&cg_frameStats);
}

static void FullScreen(cgMediaSlot_t material, const float *colour) {
    CG_DrawStretchPic(0, 0, 0, SCREEN_W, SCREEN_H, colour, CG_ScreenMedia(material), 0);
}

static void FullScreenAlpha(cgMediaSlot_t material, float r, float g, float b, float alpha) {
    const vec4_t colour = {r, g, b, alpha};
    FullScreen(material, colour);
}

// The dead player's eye inside the terrain sees nothing of the world.
static void DrawSolidBlack() {
    const clientState_t &ps = cg.predicted;
    if ((cg.gameData.flags & GDF_FREE_FLIGHT) && !CG_VarInteger("cg_noclipSolidBlack", 0)) return;  // free flight for all
    vec3_t eye;
    G_GetPlayerEye(cg.flatGravity, eye, ps.origin, ps.eyeHeight);
    gameTrace_t tr;
    CG_RayTrace(&tr, eye, eye, nullptr, CONTENTS_WORLD);
    if (tr.trace.fraction <= 0.0f) FullScreen(CGM_WHITE, color_black);
}

static void DrawTints(bool dead) {
    const clientState_t &ps = cg.predicted;
    const bool firstPerson = !CG_VarInteger("cg_thirdPerson", 0);
    if (!dead && firstPerson && (ps.flags & CSF_CARRIES_CRYSTAL)) FullScreenAlpha(CGM_CRYSTAL, 1, 1, 1, TINT_ALPHA);
    if (ps.berserk && !dead && firstPerson) {
        float alpha = 0.0f;
        if (ps.berserk >= BERSERK_FLASH_SECONDS) {
            cg_berserkFlash = BERSERK_FLASH_MS;
            alpha = TINT_ALPHA;
        } else if (cg_berserkFlash > 0) {
            alpha = static_cast<float>(cg_berserkFlash) * TINT_ALPHA / BERSERK_FLASH_MS;
        }
        if (alpha > 0.0f) FullScreenAlpha(CGM_BERSERK, 1, 1, 1, alpha);
        cg_berserkFlash -= static_cast<int32_t>(qgame.frameMsec);
    }
    if (!dead) {
        if (ps.moveType == MT_NORMAL && cg.pain > 0.0f) FullScreenAlpha(CGM_PAIN, 1, 1, 1, cg.pain * PAIN_ALPHA);
    } else {
        FullScreenAlpha(CGM_WHITE, 0, 0, 0, DEAD_ALPHA);
        FullScreenAlpha(CGM_PAIN, 1, 1, 1, DEAD_ALPHA);
    }
}

static void DrawHit() {
    const int32_t dir = cg.predicted.hitDir;
    if (dir == 0) return;
    if (dir > HIT_DIRECTIONS) {
        Com_Error(ER_DEVWARNING, "CG_DrawHit: Unknown HITDIR %d", dir);
        return;
    }
    struct hitMark_t {
        cgMediaSlot_t material;
        float x, y;
    };
    static constexpr hitMark_t right = {CGM_HIT_RIGHT, 565, 240}, left = {CGM_HIT_LEFT, 75, 240},
                               front = {CGM_HIT_FRONT, 320, 75}, back = {CGM_HIT_BACK, 320, 370};
    static constexpr const hitMark_t *marks[HIT_DIRECTIONS + 1] = {nullptr, &right, &left, &front, &back,
                                                                    &front, &front};
    const hitMark_t &m = *marks[dir];
    const vec4_t colour = {1, 1, 1, cg.predicted.hitFlash};
    CG_DrawStretchPic(0, m.x, m.y, HIT_SIZE, HIT_SIZE, colour, CG_ScreenMedia(m.material), CG_PIC_CENTER);
}

void CG_CenterText(const char *text, int32_t slot, int32_t ms) {
    cgCenterText_t &c = cg.centerText[slot > 0 ? 1 : 0];
    Com_strncpyz(c.text, text ? text : "", sizeof c.text);
    c.startTime = qgame.time;
    c.lifeMs = ms;
}

static void DrawCenterTexts() {
    static constexpr float ys[CG_CENTER_SLOTS] = {150, 360};
    for (int slot = 0; slot < CG_CENTER_SLOTS; slot++) {
        const cgCenterText_t &c = cg.centerText[slot];
        const int32_t left = c.lifeMs - G_TimeAge(c.startTime);
        if (left <= 0 || !c.text[0]) continue;
        const float alpha = left < CG_CENTER_FADE_MS ? static_cast<float>(left) / CG_CENTER_FADE_MS : 1.0f;
        const vec4_t colour = {1, 1, 1, alpha};
        CG_DrawString(0, 320, ys[slot], 1.0f, c.text, colour, CG_ScreenMedia(CGM_CENTER_FONT), CG_TEXT_CENTER);
    }
}

void CG_UpdateLoadingScreen(int32_t mode, const char *text, int32_t done, int32_t total) {
    Trap_R_BeginFrame();
    UI_DrawLoadingMap(mode, text, done, total);
    Trap_R_EndFrame(&cg_frameStats);
}

// The development overlays: guide lines, frame rate, position and the performance panel.
static void DrawOverlays() {
    const int32_t small = CG_ScreenMedia(CGM_SMALL_FONT);
    if (CG_VarInteger("cg_guides", 0)) {
        const int32_t white = CG_ScreenMedia(CGM_WHITE);
        CG_DrawStretchPic(0, 319, 0, GUIDE_WIDTH, SCREEN_H, color_white, white, 0);
        CG_DrawStretchPic(0, 0, 239, SCREEN_W, GUIDE_WIDTH, color_white, white, 0);
    }
    if (CG_VarInteger("cg_drawFps", 0)) {
        static uint32_t lastTime;
        static int32_t lastFrame, fps;
        const int32_t since = G_TimeAge(lastTime);
        if (since >= FPS_REFRESH_MS) {
            const int32_t frames = static_cast<int32_t>(qgame.frameCount) - lastFrame;
            fps = since > 0 ? frames * 1000 / since : 0;
            lastTime = qgame.time;
            lastFrame = static_cast<int32_t>(qgame.frameCount);
        }
        char text[32];
        Com_sprintf(text, sizeof text, "fps:%3d", fps);
        CG_DrawString(0, 558, 0, 1.0f, text, color_white, small, 0);
    }
    if (CG_VarInteger("cg_drawCoords", 0)) {
        const float *o = cg.predicted.origin;
        const float *a = cg.predicted.viewAngles;
        char text[128];
        Com_sprintf(text, sizeof text, "xyz: %.1f %.1f %.1f (%.2f)", o[0], o[1], o[2], VectorLength(o));
        CG_DrawString(0, 250, 8, 1.0f, text, color_white, small, 0);
        Com_sprintf(text, sizeof text, "rpy: %.0f %.0f %.0f", a[0], a[1], a[2]);
        CG_DrawString(0, 250, 30, 1.0f, text, color_white, small, 0);
    }
    CG_DrawPerformance();
}

void CG_UpdateScreen() {
    Trap_R_BeginFrame();
    const bool connected = cg.ecl.state == ECL_CONNECTED;
    if (cg.skipScreen) return EndScreen();
    if (connected && cg.ecl.worldIncomplete) {
        UI_DrawLoadingMap(1, "", 0, 0);
        return EndScreen();
    }
    if (UI_ConsoleIsDown() >= 1.0f) return EndScreen();

    const int32_t sceneStart = Trap_GetTime();
    CG_DrawScene();
    const int32_t sceneEnd = Trap_GetTime();
    cg_frameTimes.first = static_cast<float>(sceneEnd - sceneStart);
    const clientState_t &ps = cg.predicted;
    const bool dead = ps.moveType == MT_DEAD;
    if (dead) DrawSolidBlack();
    DrawTints(dead);
    if (connected && ps.weapon == WP_RAILGUN && ps.zoom > 0) CG_DrawGunCam(0, ps.zoom, 1);
    if (cg.menu == CG_MENU_NONE) DrawHit();
    if (!CG_VarInteger("cg_skipCenterPrint", 0) && connected && cg.menu == CG_MENU_NONE) DrawCenterTexts();
    if (connected && cg.menu == CG_MENU_NONE && !CG_VarInteger("cg_skipHud", 0) && ps.moveType != CS_INTERMISSION) CG_DrawHud();
    UI_DrawNotifyConsole();
    UI_DrawChat();
    if (cg.menu == CG_MENU_NONE && (cg.scoreboardRequested || ps.moveType == CS_INTERMISSION) &&
        G_TimeAge(static_cast<uint32_t>(cg.scoreTime)) <= CG_SCOREBOARD_STALE_MS)
        CG_DrawScoreboard(ps.moveType == CS_INTERMISSION ? 105.0f : 45.0f);
    cg.scoreboardRequested = 0;
    UI_DrawCinematic();
    UI_DrawMenu();
    if (!connected) return EndScreen();
    cg_frameTimes.second = static_cast<float>(Trap_GetTime() - sceneEnd);
    DrawOverlays();
    EndScreen();
}
