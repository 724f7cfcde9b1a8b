// The heads-up display, the radar and the scoreboard.  Every number that comes
// from the server and picks a table entry (weapon, rules, radar kind) is checked
// against the table first.
#include <cmath>
#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_materials.h"
#include "game/g_move.h"
#include "game/g_traps.h"
#include "game/g_weapon.h"
#include "game_cl/cg_draw2d.h"
#include "game_cl/cg_local.h"
#include "game_cl/cg_screen.h"
#include "game_cl/cg_utils.h"

constexpr float HUD_BOUNCE_SPEED = 120.0f;  // units per second the icon grows and shrinks
constexpr float HUD_BOUNCE_MAX = 15.0f;
constexpr float WEAPON_SLOT_SPACING = 72.0f;
constexpr float WEAPON_ICON_SELECTED = 100.0f;
constexpr float WEAPON_ICON_OTHER = 45.0f;
constexpr float WEAPON_GREY = 0.65f;
constexpr float KEY_NUMBER_SCALE = 5.0f;
constexpr float KEY_NUMBER_ALPHA = 0.27f;
constexpr float CROSSHAIR_SPREAD = 20.0f;   // distance of the bars at a full weapon timer
constexpr float CROSSHAIR_BAR = 10.0f;      // length and thickness of each bar
constexpr float CROSSHAIR_THICKNESS = 2.0f;
constexpr float RADAR_X = 540.0f, RADAR_Y = 10.0f, RADAR_SIZE = 100.0f;
constexpr float RADAR_BORDER = 5.0f, RADAR_FIELD = 90.0f;
constexpr int RADAR_SLOTS = 8;
constexpr int SCORE_NAME_CHARS = 16;
constexpr float SCORE_LEFT = 92.5f;
constexpr float SCORE_BAR_WIDTH = 452.0f;
constexpr float TWO_PI = 6.2831853f;

static const char *const COLOR_RESET = "\xA4" "00";
static const char *const COLOR_WARN = "\xA4" "03";    // an empty clip or reserve
static const char *const COLOR_BLUE = "\xA4" "05";
static const char *const COLOR_RED = "\xA4" "06";

static int32_t Now() { return static_cast<int32_t>(qgame.time); }
static bool TeamRules(int32_t rules) { return rules == RULES_CRYSTAL_ROUNDS || rules == RULES_CAPTURE_CRYSTAL; }
// A size that swells and shrinks by amount with the period (ms) of the game clock.
static float Pulse(float amount, int32_t period) {
    const float phase = static_cast<float>(static_cast<uint32_t>(Now()) % static_cast<uint32_t>(period)) / period;
    return amount + amount * sinf(TWO_PI * phase);
}

static void Pic(float x, float y, float w, float h, const float *colour, cgMediaSlot_t material, uint8_t flags) {
    CG_DrawStretchPic(0, x, y, w, h, colour, CG_ScreenMedia(material), flags);
}
static void Text(float x, float y, float scale, const char *text, const float *colour, cgMediaSlot_t font,
                 int32_t flags) {
    CG_DrawString(0, x, y, scale, text, colour, CG_ScreenMedia(font), flags);
}

// An icon that swells when its value jumps by more than one.
struct hudBounce_t {
    int32_t last;
    int32_t direction;  // 1 growing, -1 shrinking, 0 at rest
    float offset;
};
static hudBounce_t cg_lifeBounce, cg_armorBounce;

static float Bounce(hudBounce_t &b, int32_t value) {
    if (value - b.last > 1 || b.last - value > 1) b.direction = 1;
    b.last = value;
    const float step = HUD_BOUNCE_SPEED * qgame.frameSeconds;
    if (b.direction > 0) {
        b.offset += step;
        if (b.offset >= HUD_BOUNCE_MAX) {
            b.offset = HUD_BOUNCE_MAX;
            b.direction = -1;
        }
    } else if (b.direction < 0) {
        b.offset -= step;
        if (b.offset <= 0.0f) {
            b.offset = 0.0f;
            b.direction = 0;
        }
    }
    return b.offset;
}

static void DrawLifeAndArmor() {
    const clientState_t &ps = cg.predicted;
    const int32_t big = CG_ScreenMedia(CGM_BIG_FONT);
    const float cw = static_cast<float>(Trap_CL_GetFontCharWidth(big));
    const float ch = static_cast<float>(Trap_CL_GetFontCharHeight(big));
    const float y = 479.0f - ch;
    char text[16];

    const float lifeOffset = Bounce(cg_lifeBounce, ps.health);
    Pic(1 + cw, y, 2 * cw + lifeOffset, 2 * ch + lifeOffset, color_white, CGM_ICON_HEALTH, CG_PIC_CENTER);
    const float fade = ps.health < 50 ? ps.health / 50.0f : 1.0f;
    const vec4_t lifeColour = {1, fade, fade, 1};
    Com_sprintf(text, sizeof text, "%3d", ps.health);
    CG_DrawString(0, 1 + 2 * cw, y, 1.0f, text, lifeColour, big, 0);

    const float armorOffset = Bounce(cg_armorBounce, ps.armor);
    Pic(7 * cw - 9, y, 2 * cw + armorOffset, 2 * ch + armorOffset, color_white, CGM_ICON_ARMOR, CG_PIC_CENTER);
    Com_sprintf(text, sizeof text, "%3d", ps.armor);
    CG_DrawString(0, 8 * cw - 9, y, 1.0f, text, color_white, big, 0);
}

static void DrawWeapons() {
    const clientState_t &ps = cg.predicted;
    const int32_t selected = (cg.selectedWeapon < WEAPON_COUNT && (ps.ownedWeapons & (1u << cg.selectedWeapon)))
                                 ? static_cast<int32_t>(cg.selectedWeapon)
                                 : ps.weapon;
    const bool classic = CG_VarInteger("cg_hudStyle", 1) == 1;
    for (int32_t w = WP_MINIGUN; w <= WP_DIRTGUN; w++) {
        const weaponClass_t &wc = g_weaponClass[w];
        const float x = 320.0f + (w - WP_GRENGUN) * WEAPON_SLOT_SPACING;
        const bool isSelected = w == selected;
        const float width = isSelected ? WEAPON_ICON_SELECTED : WEAPON_ICON_OTHER;
        const float y = isSelected ? 443.0f : 461.33f;
        const int32_t clip = ps.clip[w], reserve = ps.reserve[w];
        const bool hasReserve = wc.maxReserve > 0;
        const bool owned = (ps.ownedWeapons & (1u << w)) != 0;
        const bool black = w != WP_DIRTGUN && (!owned || (clip <= 0 && (!hasReserve || reserve <= 0)));
        const float grey = isSelected ? 1.0f : WEAPON_GREY;
        const vec4_t iconColour = {black ? 0.0f : grey, black ? 0.0f : grey, black ? 0.0f : grey, 1};
        const vec4_t textColour = {grey, grey, grey, 1};
        Pic(x, y, width, width / 2, iconColour, static_cast<cgMediaSlot_t>(CGM_ICON_WEAPON + w - WP_MINIGUN),
            CG_PIC_CENTER);
        if (classic && !isSelected) {
            char key[8];
            Com_sprintf(key, sizeof key, "%d", w + 1);
            const vec4_t keyColour = {1, 1, 1, KEY_NUMBER_ALPHA};
            Text(x, y, KEY_NUMBER_SCALE, key, keyColour, CGM_SMALL_FONT, CG_TEXT_CENTER);
        }
        char ammo[64];
        const bool clipWarn = clip <= 0 && (w == WP_DIRTGUN || (hasReserve && reserve > 0));
        if (hasReserve) {
            const bool reserveWarn = reserve <= 0 && clip > 0;
            Com_sprintf(ammo, sizeof ammo, "%s%3d%s|%s%-3d%s", clipWarn ? COLOR_WARN : COLOR_RESET, clip,
                        COLOR_RESET, reserveWarn ? COLOR_WARN : COLOR_RESET, reserve, COLOR_RESET);
        } else {
            Com_sprintf(ammo, sizeof ammo, "%s%3d%s", clipWarn ? COLOR_WARN : COLOR_RESET, clip, COLOR_RESET);
        }
        const float textX = x - (classic && w == WP_MINIGUN ? 10.0f : 0.0f);
        Text(textX, y + width / 4, 1.0f, ammo, textColour, isSelected ? CGM_PRETTY_BIG_FONT : CGM_SMALL_FONT,
             CG_TEXT_CENTER);
    }
}

static void DrawDirtgun() {
    const clientState_t &ps = cg.predicted;
    if (cg.gameData.rules != RULES_FORGE) return;
    uint32_t mode = cg.selectedDeformMode;
    if (mode >= DIRT_DEFORM_MODES) mode = DIRT_DEFORM_MODES - 1;
    const worldMaterial_t &wm = cgw.materials[ps.deformMaterial];  // a byte: always one of the 256
    char text[64];
    const char *modeName = g_dirtDeformNames[mode] ? g_dirtDeformNames[mode] : "";
    Text(320, 355, 1.0f, modeName, color_white, CGM_NORMAL_FONT, CG_TEXT_CENTER);
    Text(320, 375, 1.0f, wm.name, color_white, CGM_NORMAL_FONT, CG_TEXT_CENTER);
    Com_sprintf(text, sizeof text, "Sub Strength: %.0f%%", wm.subStrenght * 100.0f);
    Text(320, 395, 1.0f, text, color_white, CGM_NORMAL_FONT, CG_TEXT_CENTER);
}

static void DrawBerserk() {
    const int32_t seconds = cg.predicted.berserk;
    if (seconds <= 0) return;
    const float size = 60.0f + Pulse(4.0f, 500);
    Pic(290, 340, size, size, color_white, CGM_ICON_BERSERKER, CG_PIC_CENTER);
    char text[16];
    Com_sprintf(text, sizeof text, "%d", seconds);
    Text(350, 340, 1.0f, text, color_white, CGM_BIG_FONT, 0);
}

static void DrawHelp() {
    if (CG_VarInteger("cg_skipSecondaryHelp", 0) || CG_VarInteger("cg_hudStyle", 1) > 1) return;
    const char *primary = nullptr, *secondary = nullptr;
    if (cg.predicted.weapon == WP_RAILGUN) {
        primary = "Primary:   Fire";
        secondary = "Secondary: Zoom";
    } else if (cg.predicted.weapon == WP_DIRTGUN) {
        primary = "Primary:   Build";
        secondary = "Secondary: Dig";
    }
    if (!primary) return;
    Text(495, 378, 1.0f, primary, color_white, CGM_SMALL_FONT, 0);
    Text(495, 392, 1.0f, secondary, color_white, CGM_SMALL_FONT, 0);
}

static void DrawCrosshair() {
    if (CG_VarInteger("cg_thirdPerson", 0) || CG_VarInteger("cg_skipCrosshair", 0)) return;
    const weaponClass_t *wc = G_WeaponClass(cg.predicted.weapon);
    const float *colour = wc ? wc->crosshairColor : color_white;
    const float cx = 320.0f + CG_VarValue("cg_crosshairX", 0), cy = 240.0f + CG_VarValue("cg_crosshairY", 0);
    const float d = CROSSHAIR_SPREAD * cg.predicted.weaponTime + CROSSHAIR_BAR / 2;
    Pic(cx - d, cy, CROSSHAIR_BAR, CROSSHAIR_THICKNESS, colour, CGM_AIM, CG_PIC_CENTER);
    Pic(cx + d, cy, CROSSHAIR_BAR, CROSSHAIR_THICKNESS, colour, CGM_AIM, CG_PIC_CENTER);
    Pic(cx, cy - d, CROSSHAIR_THICKNESS, CROSSHAIR_BAR, colour, CGM_AIM, CG_PIC_CENTER);
    Pic(cx, cy + d, CROSSHAIR_THICKNESS, CROSSHAIR_BAR, colour, CGM_AIM, CG_PIC_CENTER);
}

// A team's logo, swelling while the team holds the crystal, and its score on it.
static void DrawTeamLogo(cgMediaSlot_t logo, float x, float y, float size, bool holder, int32_t score) {
    const float s = size + (holder ? Pulse(4.0f, 750) : 0.0f);
    Pic(x, y, s, s, color_white, logo, CG_PIC_CENTER);
    char text[16];
    Com_sprintf(text, sizeof text, "%d", score);
    Text(x + 2, y, 1.0f, text, color_white, CGM_NORMAL_FONT, CG_TEXT_CENTER);
}

static void DrawTeams() {
    const snapshotGameData_t &gd = cg.gameData;
    if (!TeamRules(gd.rules)) return;
    DrawTeamLogo(CGM_HUD_LOGO_BLUE, 50, 250, 40, (gd.flags & GDF_BLUE_CRYSTAL) != 0, gd.blueScore);
    DrawTeamLogo(CGM_HUD_LOGO_RED, 50, 300, 40, (gd.flags & GDF_RED_CRYSTAL) != 0, gd.redScore);
}

static void DrawClock() {
    const snapshotGameData_t &gd = cg.gameData;
    if (gd.timeLeft <= 0) return;
    char text[32];
    Pic(0, 352, 20, 20, color_white, CGM_CLOCK, 0);
    Com_sprintf(text, sizeof text, "%.2d:%.2d", gd.timeLeft / 60, gd.timeLeft % 60);
    Text(22, 352, 1.0f, text, color_white, CGM_NORMAL_FONT, 0);
    if (gd.roundLimit > 0) {
        Pic(0, 374, 20, 20, color_white, CGM_ROUNDS, 0);
        Com_sprintf(text, sizeof text, "%d", gd.roundLimit);
        Text(22, 374, 1.0f, text, color_white, CGM_NORMAL_FONT, 0);
    }
}

void CG_DrawHud() {
    const clientState_t &ps = cg.predicted;
    const bool playing = ps.moveType == MT_NORMAL;
    if (!CG_VarInteger("cg_skipBottomHud", 0) && CG_VarInteger("cg_hudStyle", 1) <= 1 && playing)
        Pic(0, 400, 640, 80, color_white, CGM_BOTTOM_HUD, 0);
    if (playing) {
        DrawLifeAndArmor();
        DrawWeapons();
        if (ps.flags & CSF_CARRIES_CRYSTAL) Pic(70, 280, 50, 50, color_white, CGM_ICON_CRYSTAL, CG_PIC_CENTER);
        if (ps.weapon == WP_DIRTGUN) DrawDirtgun();
        DrawBerserk();
        DrawHelp();
        CG_DrawRadar();
    }
    DrawCrosshair();
    DrawTeams();
    DrawClock();
}

void CG_DrawRadar() {
    const snapshotGameData_t &gd = cg.gameData;
    if (CG_VarInteger("cg_skipRadar", 0) || !TeamRules(gd.rules) || (gd.flags & GDF_RADAR_OFF)) return;
    Pic(RADAR_X, RADAR_Y, RADAR_SIZE, RADAR_SIZE, color_white, CGM_RADAR, 0);
    const clientState_t &ps = cg.predicted;
    const int32_t white = CG_ScreenMedia(CGM_WHITE);
    for (int i = 0; i < RADAR_SLOTS; i++) {
        const uint8_t kind = ps.radarKinds[i];
        if (kind == 0) continue;
        const float x = RADAR_X + RADAR_BORDER + ps.radarBlips[i][0] / 255.0f * RADAR_FIELD;
        const float y = RADAR_Y + RADAR_BORDER + ps.radarBlips[i][1] / 255.0f * RADAR_FIELD;
        static constexpr cgMediaSlot_t spots[] = {CGM_RADAR_CRYSTAL,      CGM_RADAR_DEAD,
                                                    CGM_RADAR_CRYSTAL_RED,  CGM_RADAR_CRYSTAL_BLUE,
                                                    CGM_RADAR_BASE_BLUE,    CGM_RADAR_BASE_RED};
        int32_t material = white;  // a kind this client does not know: a plain spot
        float size = 10.0f;
        if (kind == 1)
            material = CG_ScreenMedia(ps.team == 1 ? CGM_RADAR_SPOT_RED : CGM_RADAR_SPOT_BLUE);
        else if (kind <= 7)
            material = CG_ScreenMedia(spots[kind - 2]);
        if (kind == 6 || kind == 7) size = 14.0f;
        CG_DrawStretchPic(0, x, y, size, size, color_white, material, CG_PIC_CENTER);
    }
}

// ---- scoreboard ----

struct scoreLayout_t {
    const char *title;
    const char *header;
    uint8_t fifthColumn;  // captures or rounds
    uint8_t noNumbers;    // forge: only time and ping
};

static const scoreLayout_t &ScoreLayout(int32_t rules) {
    static constexpr scoreLayout_t layouts[] = {
        {"Death Match", " Name                 Frags Deaths Damage      Time Ping", 0, 0},
        {"Crystal Rounds", " Name                 Frags Deaths Damage Rnds Time Ping", 1, 0},
        {"Forge", " Name                                          Time Ping", 0, 1},
        {"Capture the Crystal", " Name                 Frags Deaths Damage Caps Time Ping", 1, 0},
    };
    // Rules outside the table come from a confused server: show the plainest layout.
    return rules >= 0 && rules < 4 ? layouts[rules] : layouts[RULES_DEATH_MATCH];
}

static void ScoreRowText(char *text, size_t size, const cgScoreRow_t &row, const scoreLayout_t &layout,
                         const char *colour) {
    char name[SCORE_NAME_CHARS + 1];
    Com_strncpyz(name, row.name, sizeof name);
    const char *dead = row.dead ? "DEAD" : "    ";
    const int32_t minutes = row.playTime / 60000;
    if (layout.noNumbers)
        Com_sprintf(text, size, "%s%-17s%4s                         %4d %4d", colour, name, dead, minutes, row.ping);
    else if (layout.fifthColumn)
        Com_sprintf(text, size, "%s%-17s%4s  %3d    %3d %6d %4d %4d %4d", colour, name, dead, row.frags, row.deaths,
                    row.damage, row.captures, minutes, row.ping);
    else
        Com_sprintf(text, size, "%s%-17s%4s  %3d    %3d %6d      %4d %4d", colour, name, dead, row.frags,
                    row.deaths, row.damage, minutes, row.ping);
}

void CG_DrawScoreboard(float top) {
    const snapshotGameData_t &gd = cg.gameData;
    const scoreLayout_t &layout = ScoreLayout(gd.rules);
    const bool teams = TeamRules(gd.rules);
    const int32_t small = CG_ScreenMedia(CGM_SMALL_FONT);
    const float cw = static_cast<float>(Trap_CL_GetFontCharWidth(small));
    const float ch = static_cast<float>(Trap_CL_GetFontCharHeight(small));
    const float line = ch + 2;

    Pic(82.5f, top, 475, 330, color_white, CGM_SCOREBOARD, 0);
    float y = top + 10;
    Text(320, y, 2.0f, layout.title, color_white, CGM_NORMAL_FONT, CG_TEXT_CENTER);
    if (teams) {
        DrawTeamLogo(CGM_HUD_LOGO_BLUE, 140, y, 30, false, gd.blueScore);
        DrawTeamLogo(CGM_HUD_LOGO_RED, 500, y, 30, false, gd.redScore);
    }
    y += 3 * line;
    Text(SCORE_LEFT, y, 1.0f, layout.header, color_white, CGM_SMALL_FONT, 0);
    y += line;
    char dashes[57];
    memset(dashes, '-', 56);
    dashes[56] = 0;
    Text(SCORE_LEFT, y, 1.0f, dashes, color_white, CGM_SMALL_FONT, 0);
    y += line;

    const int32_t players = cg.scorePlayers < CG_SCOREBOARD_ROWS ? cg.scorePlayers : CG_SCOREBOARD_ROWS;
    char text[256];
    for (int32_t i = 0; i < players; i++) {
        const cgScoreRow_t &row = cg.scoreRows[i];
        if (teams && i > 0 && row.red != cg.scoreRows[i - 1].red) y += line;
        if (row.self) {
            const vec4_t bar = {1, 1, 1, 0.25f};
            CG_DrawStretchPic(0, 91.5f, y, SCORE_BAR_WIDTH, ch, bar, CG_ScreenMedia(CGM_WHITE), 0);
        }
        float x = SCORE_LEFT;
        if (row.carrier) {
            Pic(x, y, cw, ch, color_white, CGM_ICON_CRYSTAL, 0);
            x += cw;
        }
        ScoreRowText(text, sizeof text, row, layout, teams ? (row.red ? COLOR_RED : COLOR_BLUE) : COLOR_RESET);
        CG_DrawString(0, x, y, 1.0f, text, color_white, small, 0);
        y += line;
    }
    const int32_t spectators = cg.scoreSpectators < CG_SCOREBOARD_ROWS ? cg.scoreSpectators : CG_SCOREBOARD_ROWS;
    for (int32_t i = 0; i < spectators; i++) {
        const cgSpectatorRow_t &row = cg.spectatorRows[i];
        Com_sprintf(text, sizeof text, "%-17s               %s %4d %4d", row.name,
                    row.loading ? "WORLD-LOADING" : "             ", 0, row.ping);
        CG_DrawString(0, SCORE_LEFT, y, 1.0f, text, color_white, small, 0);
        y += line;
    }
}
