// The options hub and the settings screens.  A setting whose variable does not exist
// (the renderer's and the sound system's live outside this engine) is neither
// loaded nor written: its atom keeps what it showed.
#include "game_ui/ui_options.h"

#include <cmath>
#include <cstring>
#include <iterator>

#include "common/com_keys.h"
#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_cl/cg_local.h"
#include "game_ui/ui_local.h"
#include "game_ui/ui_menus.h"

uiAtom_t *ui_options[UI_OPTIONS_ATOMS];
uiAtom_t *ui_game[UI_GAME_ATOMS];
uiAtom_t *ui_controls[UI_CONTROLS_ATOMS];
uiAtom_t *ui_forge[UI_FORGE_ATOMS];
uiAtom_t *ui_system[UI_SYSTEM_ATOMS];

static uint32_t game_lastDraw, controls_lastDraw, forge_lastDraw, system_lastDraw;

// The key each key box showed when its screen was entered: the key bound to the
// action now, which Apply must free whatever the player captured in between.
static int32_t controls_enteredKeys[UI_CONTROL_ACTIONS];
static int32_t forge_enteredKeys[UI_FORGE_ACTIONS];

constexpr float UI_FOV_MIN = 70.0f, UI_FOV_RANGE = 70.0f;
constexpr float UI_HANDICAP_MIN = 10.0f, UI_HANDICAP_RANGE = 90.0f;
constexpr float UI_HANDICAP_NONE = 0.99f;  // a bar further right than this is no handicap
constexpr float UI_SENSITIVITY_MIN = 1.0f, UI_SENSITIVITY_RANGE = 29.0f;
constexpr float UI_GLOW_POINTS = 17.0f;
constexpr float UI_GAMMA_BRIGHTEST = 0.8f, UI_GAMMA_RANGE = 0.49999994f;
constexpr float UI_GAMMA_STEP = 0.1f;   // smaller changes of brightness are not written
constexpr float UI_VOLUME_STEP = 0.05f;  // nor of the volumes

// ---- shared pieces ----

static uiAtom_t *Label(uiAtom_t *parent, int32_t x, int32_t y, const char *text) {
    return UI_CreateText(parent, x, y, text, color_white, uiMedia[UIMEDIA_NORMAL_FONT], 0);
}

static uiAtom_t *Title(uiAtom_t *parent, const char *text) {
    return UI_CreateText(parent, 320, 38, text, color_white, uiMedia[UIMEDIA_BIG_FONT], UI_ALIGN_CENTER);
}

static uiAtom_t *Slider(uiAtom_t *parent, int32_t x, int32_t y) {
    return UI_CreateHorizontalScroll(parent, x, y, 150, 20, uiMedia[UIMEDIA_HSCROLL_BG],
                                     uiMedia[UIMEDIA_HSCROLL_CARET], 0);
}

static void BackToHub(uiAtom_t *) { cg.menu = CG_MENU_OPTIONS; }

// Window, title, Apply and Cancel: the frame of every settings screen, which is
// entered afresh the first time it is drawn.  Returns the window.
static uiAtom_t *CreateFrame(uiAtom_t **atoms, uint32_t *lastDraw, int32_t window, int32_t title, int32_t apply,
                             int32_t cancel, const char *titleText, uiAtomCallback_t applyAction) {
    *lastDraw = 0;
    atoms[window] = UI_CreateScreenWindow();
    atoms[title] = Title(atoms[window], titleText);
    atoms[apply] = UI_CreateMenuButton(atoms[window], 380, 345, 150, 40, "Apply", applyAction);
    atoms[cancel] = UI_CreateMenuButton(atoms[window], 540, 345, 150, 40, "Cancel", BackToHub);
    return atoms[window];
}


// A variable set by name when it exists.
static void SetVar(const char *name, const char *value) {
    if (cmdVar_t *v = Trap_GetCVar(name)) Trap_SetCVar(v, value);
}

// ---- options hub ----

static void OpenGameOptions(uiAtom_t *) { cg.menu = CG_MENU_GAME_OPTIONS; }
static void OpenControls(uiAtom_t *) { cg.menu = CG_MENU_CONTROLS; }
static void OpenForgeControls(uiAtom_t *) { cg.menu = CG_MENU_FORGE_CONTROLS; }
static void OpenSystem(uiAtom_t *) { cg.menu = CG_MENU_SYSTEM; }

void UI_Options_Init() {
    ui_options[0] = UI_CreateMenuButton(nullptr, 320, 165, 190, 40, "Game Options", OpenGameOptions);
    ui_options[1] = UI_CreateMenuButton(nullptr, 320, 225, 190, 40, "Controls", OpenControls);
    ui_options[2] = UI_CreateMenuButton(nullptr, 320, 285, 190, 40, "Forge Controls", OpenForgeControls);
    ui_options[3] = UI_CreateMenuButton(nullptr, 320, 345, 190, 40, "System", OpenSystem);
}

void UI_Options_Draw() { UI_DrawAtoms(ui_options, UI_OPTIONS_ATOMS); }

// ---- game options ----

static float FovDegrees() { return UI_GetScrollPosition(ui_game[GOPT_FOV]) * UI_FOV_RANGE + UI_FOV_MIN; }
static float Handicap() {
    return UI_GetScrollPosition(ui_game[GOPT_HANDICAP]) * UI_HANDICAP_RANGE + UI_HANDICAP_MIN;
}

// Which check boxes mirror which switches; inverted ones show the opposite of the variable.
struct uiSwitch_t {
    int32_t atom;
    const char *var;
    bool inverted;  // marked while the variable is 0
};
static constexpr uiSwitch_t game_switches[] = {
    {GOPT_AUTO_CHANGE, "cg_autoChangeWeapon", false},
    {GOPT_AUTO_RELOAD, "cg_autoReload", false},
    {GOPT_SHOW_GUN, "cg_skipGun", true},
};

static void LoadGame() {
    if (const cmdVar_t *v = Trap_GetCVar("name")) {
        uiAtom_t *box = ui_game[GOPT_NAME];
        UI_SetText(box, v->string);
        UI_SetEditCaret(box, box->edit.length, box->edit.length);
    }
    if (const cmdVar_t *v = Trap_GetCVar("cg_fov"))
        UI_SetScrollPosition(ui_game[GOPT_FOV], (v->value - UI_FOV_MIN) / UI_FOV_RANGE);
    if (const cmdVar_t *v = Trap_GetCVar("cg_handicap"))
        UI_SetScrollPosition(ui_game[GOPT_HANDICAP], (v->value - UI_HANDICAP_MIN) / UI_HANDICAP_RANGE);
    for (const uiSwitch_t &s : game_switches) {
        if (const cmdVar_t *v = Trap_GetCVar(s.var))
            UI_SetCheckBoxMarked(ui_game[s.atom], (v->integer != 0) != s.inverted);
    }
}

static void ApplyGame(uiAtom_t *) {
    char text[UI_ATOM_TEXT];
    UI_GetText(ui_game[GOPT_NAME], text);
    if (cmdVar_t *v = Trap_GetCVar("name"); v && strcmp(v->string, text) != 0) Trap_SetCVar(v, text);
    Trap_Add(va("cg_fov %.0f", FovDegrees()));
    Trap_Add(va("cg_handicap %.0f", Handicap()));
    for (const uiSwitch_t &s : game_switches) {
        cmdVar_t *v = Trap_GetCVar(s.var);
        const bool marked = UI_GetCheckBoxMarked(ui_game[s.atom]) != 0;
        if (v && marked != ((v->integer != 0) != s.inverted)) Trap_SetCVar(v, marked != s.inverted ? "1" : "0");
    }
    cg.menu = CG_MENU_OPTIONS;
}

void UI_Game_Init() {
    uiAtom_t **a = ui_game;
    uiAtom_t *w = CreateFrame(a, &game_lastDraw, GOPT_WINDOW, GOPT_TITLE, GOPT_APPLY, GOPT_CANCEL, "Game Options", ApplyGame);
    a[GOPT_NAME_LABEL] = Label(w, 130, 100, "Name:");
    a[GOPT_NAME] = UI_CreateEditBox(w, 201, 100, 25, "", uiMedia[UIMEDIA_EDIT512], 0);
    UI_SetEditMaxText(a[GOPT_NAME], 25);  // 24 characters and the zero byte
    a[GOPT_FOV_LABEL] = Label(w, 142, 130, "FOV:");
    a[GOPT_FOV] = Slider(w, 200, 130);
    a[GOPT_FOV_TEXT] = Label(w, 355, 130, "");
    a[GOPT_HANDICAP_LABEL] = Label(w, 82, 160, "Handicap:");
    a[GOPT_HANDICAP] = Slider(w, 200, 160);
    a[GOPT_HANDICAP_TEXT] = Label(w, 355, 160, "");
    a[GOPT_AUTO_CHANGE] = UI_CreateMenuCheckBox(w, 200, 190, 0);
    a[GOPT_AUTO_CHANGE_LABEL] = Label(w, 220, 190, "Auto Change Weapon");
    a[GOPT_AUTO_RELOAD] = UI_CreateMenuCheckBox(w, 200, 220, 0);
    a[GOPT_AUTO_RELOAD_LABEL] = Label(w, 220, 220, "Auto Reload");
    a[GOPT_SHOW_GUN] = UI_CreateMenuCheckBox(w, 200, 250, 0);
    a[GOPT_SHOW_GUN_LABEL] = Label(w, 220, 250, "Show Gun Model");
}

void UI_Game_Draw() {
    if (UI_EnteringScreen(&game_lastDraw)) LoadGame();
    UI_SetText(ui_game[GOPT_FOV_TEXT], va("%.0f Degrees", FovDegrees()));
    if (UI_GetScrollPosition(ui_game[GOPT_HANDICAP]) <= UI_HANDICAP_NONE) {
        UI_SetText(ui_game[GOPT_HANDICAP_TEXT], va("%.0f%% Max Health/Armor", Handicap()));
    } else {
        UI_SetText(ui_game[GOPT_HANDICAP_TEXT], "No Handicap");
    }
    UI_DrawAtoms(ui_game, UI_GAME_ATOMS);
}

// ---- key bindings (controls and forge controls) ----

struct uiBinding_t {
    const char *label;
    const char *command;
    const char *kind;  // "down": issued every frame while held; "pressed": once
};

static constexpr uiBinding_t controls_bindings[UI_CONTROL_ACTIONS] = {
    {"Forward", "cc_forward", "down"},
    {"Backward", "cc_backward", "down"},
    {"Left", "cc_left", "down"},
    {"Right", "cc_right", "down"},
    {"Jump", "cc_jump", "down"},
    {"Crouch", "cc_crouch", "down"},
    {"Fire", "cc_fire", "down"},
    {"Sec. Fire", "cc_fire2", "down"},
    {"Reload", "cc_reload", "down"},
    {"Drop", "cc_drop", "pressed"},
    {"Say", "cc_say", "pressed"},
    {"Say Team", "cc_sayteam", "pressed"},
    {"Scoreboard", "cc_scoreboard", "down"},
    {"Screenshot", "cc_screenshot", "pressed"},
    {"Last Used Weapon", "cc_lastusedweapon", "pressed"},
    {"Prev Weapon", "cc_prevWeapon", "pressed"},
    {"Next Weapon", "cc_nextWeapon", "pressed"},
    {"Melee", "cc_weapon1", "down"},
    {"Minigun", "cc_weapon2", "down"},
    {"Shotgun", "cc_weapon3", "down"},
    {"Grengun", "cc_weapon4", "down"},
    {"Railgun", "cc_weapon5", "down"},
    {"Dirtgun", "cc_weapon6", "down"},
};
constexpr int UI_CONTROLS_LEFT_ROWS = 14;  // the rest stand in the right column

// The unbind commands go out with Reload's right after Jump's.
static constexpr int32_t controls_unbindOrder[UI_CONTROL_ACTIONS] = {0,  1,  2,  3,  4,  8,  5,  6,
                                                                     7,  9,  10, 11, 12, 13, 14, 15,
                                                                     16, 17, 18, 19, 20, 21, 22};

static constexpr uiBinding_t forge_bindings[UI_FORGE_ACTIONS] = {
    {"Wall", "cc_weapon7", "pressed"},
    {"Platform", "cc_weapon8", "pressed"},
    {"Blur", "cc_weapon9", "pressed"},
    {"Paint", "cc_weapon10", "pressed"},
    {"Next Material", "cc_nextdeformmat", "pressed"},
    {"Prev Material", "cc_prevdeformmat", "pressed"},
    {"Next Size", "cc_nextdeformsize", "pressed"},
    {"Prev Size", "cc_prevdeformsize", "pressed"},
};
static constexpr int32_t forge_unbindOrder[UI_FORGE_ACTIONS] = {0, 1, 2, 3, 4, 5, 6, 7};

// The key box of binding row i.
static uiAtom_t *KeyBoxOf(uiAtom_t **atoms, int32_t firstRow, int32_t i) { return atoms[firstRow + 2 * i + 1]; }

static void LoadBindings(const uiBinding_t *bindings, int32_t count, uiAtom_t **atoms, int32_t firstRow,
                         int32_t *entered) {
    for (int32_t i = 0; i < count; i++) {
        entered[i] = Trap_GetBinding(bindings[i].command);
        UI_SetKey(KeyBoxOf(atoms, firstRow, i), entered[i]);
    }
}

// Every unbind goes before every bind, so a key moved from one action to another
// ends up bound to the new action only.  What is unbound is the key each action had
// when the screen was entered, however often its box captured since.
static void ApplyBindings(const uiBinding_t *bindings, const int32_t *unbindOrder, int32_t count, uiAtom_t **atoms,
                          int32_t firstRow, const int32_t *entered) {
    for (int32_t n = 0; n < count; n++) Trap_Add(va("unbind \"%s\"", key_names[entered[unbindOrder[n]]]));
    for (int32_t i = 0; i < count; i++) {
        const int32_t key = UI_GetKey(KeyBoxOf(atoms, firstRow, i));
        Trap_Add(va("bind \"%s\" %s %s", key_names[key], bindings[i].kind, bindings[i].command));
    }
}

// ---- controls ----

static float Sensitivity() {
    return UI_GetScrollPosition(ui_controls[CONTROLS_SENSITIVITY]) * UI_SENSITIVITY_RANGE + UI_SENSITIVITY_MIN;
}

static void ApplyControls(uiAtom_t *) {
    ApplyBindings(controls_bindings, controls_unbindOrder, UI_CONTROL_ACTIONS, ui_controls, CONTROLS_FIRST_ROW,
                  controls_enteredKeys);
    Trap_Add(va("m_sensitivity %.1f", Sensitivity()));
    Trap_Add(va("m_invert %d", UI_GetCheckBoxMarked(ui_controls[CONTROLS_INVERT])));
    cg.menu = CG_MENU_OPTIONS;
}

void UI_Controls_Init() {
    uiAtom_t **a = ui_controls;
    uiAtom_t *w = CreateFrame(a, &controls_lastDraw, CONTROLS_WINDOW, CONTROLS_TITLE, CONTROLS_APPLY, CONTROLS_CANCEL, "Controls", ApplyControls);
    for (int32_t i = 0; i < UI_CONTROL_ACTIONS; i++) {
        const bool left = i < UI_CONTROLS_LEFT_ROWS;
        const int32_t y = left ? 65 + 20 * i : 145 + 20 * (i - UI_CONTROLS_LEFT_ROWS);
        a[CONTROLS_FIRST_ROW + 2 * i] = Label(w, left ? 30 : 295, y, controls_bindings[i].label);
        a[CONTROLS_FIRST_ROW + 2 * i + 1] = UI_CreateKeyBox(w, left ? 150 : 490, y, uiMedia[UIMEDIA_EDIT256], nullptr, 0);
    }
    a[CONTROLS_SENSITIVITY_LABEL] = Label(w, 295, 65, "Mouse Sensitivity");
    a[CONTROLS_SENSITIVITY] = Slider(w, 295, 85);
    a[CONTROLS_SENSITIVITY_TEXT] = Label(w, 450, 85, "");
    a[CONTROLS_INVERT] = UI_CreateMenuCheckBox(w, 295, 115, 0);
    a[CONTROLS_INVERT_LABEL] = Label(w, 315, 115, "Invert Mouse");
}

void UI_Controls_Draw() {
    if (UI_EnteringScreen(&controls_lastDraw)) {
        LoadBindings(controls_bindings, UI_CONTROL_ACTIONS, ui_controls, CONTROLS_FIRST_ROW, controls_enteredKeys);
        if (const cmdVar_t *v = Trap_GetCVar("m_sensitivity"))
            UI_SetScrollPosition(ui_controls[CONTROLS_SENSITIVITY],
                                 (v->value - UI_SENSITIVITY_MIN) / UI_SENSITIVITY_RANGE);
        if (const cmdVar_t *v = Trap_GetCVar("m_invert")) UI_SetCheckBoxMarked(ui_controls[CONTROLS_INVERT], v->integer != 0);
    }
    UI_SetText(ui_controls[CONTROLS_SENSITIVITY_TEXT], va("%.1f", Sensitivity()));
    UI_DrawAtoms(ui_controls, UI_CONTROLS_ATOMS);
}

// ---- forge controls ----

static void ApplyForge(uiAtom_t *) {
    ApplyBindings(forge_bindings, forge_unbindOrder, UI_FORGE_ACTIONS, ui_forge, FORGE_FIRST_ROW, forge_enteredKeys);
    cg.menu = CG_MENU_OPTIONS;
}

void UI_Forge_Init() {
    uiAtom_t **a = ui_forge;
    uiAtom_t *w = CreateFrame(a, &forge_lastDraw, FORGE_WINDOW, FORGE_TITLE, FORGE_APPLY, FORGE_CANCEL, "Forge Controls", ApplyForge);
    a[FORGE_SUBTITLE] = UI_CreateText(w, 320, 58, "Controls only used in Forge mode (create map)", color_white,
                                      uiMedia[UIMEDIA_SMALL_FONT], UI_ALIGN_CENTER);
    for (int32_t i = 0; i < UI_FORGE_ACTIONS; i++) {
        a[FORGE_FIRST_ROW + 2 * i] = Label(w, 30, 80 + 20 * i, forge_bindings[i].label);
        a[FORGE_FIRST_ROW + 2 * i + 1] = UI_CreateKeyBox(w, 200, 80 + 20 * i, uiMedia[UIMEDIA_EDIT256], nullptr, 0);
    }
}

void UI_Forge_Draw() {
    if (UI_EnteringScreen(&forge_lastDraw))
        LoadBindings(forge_bindings, UI_FORGE_ACTIONS, ui_forge, FORGE_FIRST_ROW, forge_enteredKeys);
    UI_DrawAtoms(ui_forge, UI_FORGE_ATOMS);
}

// ---- system ----

struct uiResolution_t {
    const char *text;
    int32_t width, height;
    const char *aspect;  // cg_aspectRatio: 0 4:3, 1 16:9, 2 16:10
};
static constexpr uiResolution_t system_resolutions[UI_RESOLUTIONS] = {
    {"640x480    4:3", 640, 480, "0"},     {"800x600    4:3", 800, 600, "0"},
    {"1024x768   4:3", 1024, 768, "0"},    {"1280x1024  4:3", 1280, 1024, "0"},
    {"1600x1200  4:3", 1600, 1200, "0"},   {"640x400    16:10", 640, 400, "2"},
    {"960x600    16:10", 960, 600, "2"},   {"1680x1050  16:10", 1680, 1050, "2"},
    {"854x480    16:9", 854, 480, "1"},    {"1280x720   16:9", 1280, 720, "1"},
    {"1920x1080  16:9", 1920, 1080, "1"},
};

// Texture detail: the bar's position, r_picmip and the words shown, best detail last.
struct uiDetail_t {
    float upTo;  // positions up to this one
    int32_t picmip;
    float position;  // where r_picmip puts the bar
    const char *text;
};
static constexpr uiDetail_t system_details[] = {
    {0.2f, 4, 0.0f, "Total Crap"}, {0.4f, 3, 0.25f, "Super Low"}, {0.6f, 2, 0.45f, "Low"},
    {0.8f, 1, 0.65f, "Medium"},    {2.0f, 0, 1.0f, "High"},
};

static const uiDetail_t &DetailAt(float position) {
    for (const uiDetail_t &d : system_details)
        if (position <= d.upTo) return d;
    return system_details[std::size(system_details) - 1];
}

// The switches shown lit while their r_skip variable is 0.
static constexpr uiSwitch_t system_skips[] = {
    {SYSTEM_LIGHTS, "r_skipDynamicLights", true},
    {SYSTEM_SHADOWS, "r_skipDynamicShadows", true},
    {SYSTEM_FOG, "r_skipFog", true},
};

// The volumes: bar position equals the variable.
struct uiVolume_t {
    int32_t atom;
    const char *var;
};
static constexpr uiVolume_t system_volumes[] = {{SYSTEM_VOLUME, "volume"}, {SYSTEM_MUSIC, "snd_music"}};

static void LoadSystem() {
    uiAtom_t **a = ui_system;
    const cmdVar_t *width = Trap_GetCVar("r_width"), *height = Trap_GetCVar("r_height");
    for (int32_t r = 0; width && height && r < UI_RESOLUTIONS; r++) {
        if (system_resolutions[r].width == width->integer && system_resolutions[r].height == height->integer)
            UI_SetMarkedRecord(a[SYSTEM_RESOLUTION], r);
    }
    if (const cmdVar_t *v = Trap_GetCVar("r_fullscreen")) UI_SetCheckBoxMarked(a[SYSTEM_FULLSCREEN], v->value != 0.0f);
    for (const uiSwitch_t &s : system_skips) {
        if (const cmdVar_t *v = Trap_GetCVar(s.var)) UI_SetCheckBoxMarked(a[s.atom], v->integer == 0);
    }
    if (const cmdVar_t *v = Trap_GetCVar("r_picmip")) {
        for (const uiDetail_t &d : system_details)
            if (d.picmip == v->integer) UI_SetScrollPosition(a[SYSTEM_DETAIL], d.position);
    }
    const cmdVar_t *points = Trap_GetCVar("r_blurPoints"), *skipGlow = Trap_GetCVar("r_skipGlow");
    if (points && skipGlow)
        UI_SetScrollPosition(a[SYSTEM_GLOW], skipGlow->integer == 0 ? points->value / UI_GLOW_POINTS : 0.0f);
    if (const cmdVar_t *v = Trap_GetCVar("r_gamma"))
        UI_SetScrollPosition(a[SYSTEM_BRIGHTNESS], (v->value - UI_GAMMA_BRIGHTEST) / -UI_GAMMA_RANGE + 1.0f);
    if (const cmdVar_t *v = Trap_GetCVar("snd_reverseStereo"))
        UI_SetCheckBoxMarked(a[SYSTEM_REVERSE_STEREO], v->value != 0.0f);
    for (const uiVolume_t &s : system_volumes) {
        if (const cmdVar_t *v = Trap_GetCVar(s.var)) UI_SetScrollPosition(a[s.atom], v->value);
    }
    if (const cmdVar_t *v = Trap_GetCVar("cl_rate")) UI_SetText(a[SYSTEM_RATE], va("%d", v->integer));
}

// A switch variable written as "0"/"1" when it disagrees with its box.
static bool ApplySwitch(const char *name, bool marked) {
    cmdVar_t *v = Trap_GetCVar(name);
    if (!v || (v->value != 0.0f) == marked) return false;
    Trap_SetCVar(v, marked ? "1" : "0");
    return true;
}

static void ApplySystem(uiAtom_t *) {
    uiAtom_t **a = ui_system;
    bool restart = false;
    cmdVar_t *width = Trap_GetCVar("r_width"), *height = Trap_GetCVar("r_height");
    const int32_t row = UI_GetMarkedRecord(a[SYSTEM_RESOLUTION]);
    if (width && height && row >= 0 && row < UI_RESOLUTIONS) {
        const uiResolution_t &r = system_resolutions[row];
        if (r.width != width->integer || r.height != height->integer) {
            Trap_SetCVar(width, va("%d", r.width));
            Trap_SetCVar(height, va("%d", r.height));
            SetVar("cg_aspectRatio", r.aspect);
            restart = true;
        }
    }
    restart |= ApplySwitch("r_fullscreen", UI_GetCheckBoxMarked(a[SYSTEM_FULLSCREEN]) != 0);
    for (const uiSwitch_t &s : system_skips) {
        cmdVar_t *v = Trap_GetCVar(s.var);
        const bool marked = UI_GetCheckBoxMarked(a[s.atom]) != 0;
        if (v && marked == (v->integer != 0)) Trap_SetCVar(v, marked ? "0" : "1");
    }
    if (cmdVar_t *v = Trap_GetCVar("r_picmip")) {
        const int32_t picmip = DetailAt(UI_GetScrollPosition(a[SYSTEM_DETAIL])).picmip;
        if (picmip != v->integer) {
            Trap_SetCVar(v, va("%d", picmip));
            restart = true;
        }
    }
    cmdVar_t *points = Trap_GetCVar("r_blurPoints"), *skipGlow = Trap_GetCVar("r_skipGlow");
    if (points && skipGlow) {
        const int32_t n = static_cast<int32_t>(UI_GetScrollPosition(a[SYSTEM_GLOW]) * UI_GLOW_POINTS);
        if (n != points->integer) {
            Trap_SetCVar(skipGlow, n < 1 ? "1" : "0");
            Trap_SetCVar(points, va("%d", n < 1 ? 0 : n));
            restart = true;
        }
    }
    if (cmdVar_t *v = Trap_GetCVar("r_gamma")) {
        const float g = (1.0f - UI_GetScrollPosition(a[SYSTEM_BRIGHTNESS])) * UI_GAMMA_RANGE + UI_GAMMA_BRIGHTEST;
        if (std::fabs(g - v->value) > UI_GAMMA_STEP) Trap_SetCVar(v, va("%.1f", g));
    }
    ApplySwitch("snd_reverseStereo", UI_GetCheckBoxMarked(a[SYSTEM_REVERSE_STEREO]) != 0);
    for (const uiVolume_t &s : system_volumes) {
        cmdVar_t *v = Trap_GetCVar(s.var);
        const float position = UI_GetScrollPosition(a[s.atom]);
        if (v && std::fabs(position - v->value) > UI_VOLUME_STEP) Trap_SetCVar(v, va("%.1f", position));
    }
    char rate[UI_ATOM_TEXT];
    UI_GetText(a[SYSTEM_RATE], rate);
    SetVar("cl_rate", va("%d", Com_atoi(rate)));
    if (restart) Trap_Add("r_restart");
    cg.menu = CG_MENU_OPTIONS;
}

static void ScrollResolutions(uiAtom_t *, float position) {
    uiAtom_t *list = ui_system[SYSTEM_RESOLUTION];
    UI_SetVisRecord(list, static_cast<int32_t>(static_cast<float>(UI_GetNumRecords(list)) * position));
}

static uiAtom_t *Switch(uiAtom_t **a, int32_t atom, int32_t y, const char *text) {
    a[atom] = UI_CreateMenuCheckBox(a[SYSTEM_WINDOW], 30, y, 0);
    return Label(a[SYSTEM_WINDOW], 50, y, text);
}

void UI_System_Init() {
    uiAtom_t **a = ui_system;
    uiAtom_t *w = CreateFrame(a, &system_lastDraw, SYSTEM_WINDOW, SYSTEM_TITLE, SYSTEM_APPLY, SYSTEM_CANCEL, "System", ApplySystem);
    a[SYSTEM_RESOLUTION] = UI_CreateList(w, 30, 57, 200, 77, uiMedia[UIMEDIA_LIST], uiMedia[UIMEDIA_FILLED], 0);
    UI_SetFont(a[SYSTEM_RESOLUTION], uiMedia[UIMEDIA_SMALL_FONT]);
    UI_SetText(a[SYSTEM_RESOLUTION], "Resolution");
    char rows[UI_RESOLUTIONS * UI_LIST_LINE] = "";
    for (const uiResolution_t &r : system_resolutions) Com_strcat(rows, sizeof rows, va("%s\n", r.text));
    UI_SetListRecords(a[SYSTEM_RESOLUTION], rows);
    a[SYSTEM_RESOLUTION_SCROLL] = UI_CreateVerticalScroll(w, 235, 57, 20, 77, uiMedia[UIMEDIA_VSCROLL_BG],
                                                          uiMedia[UIMEDIA_VSCROLL_CARET], 0);
    UI_SetScrollUpdatePosition(a[SYSTEM_RESOLUTION_SCROLL], ScrollResolutions);
    a[SYSTEM_FULLSCREEN_LABEL] = Switch(a, SYSTEM_FULLSCREEN, 138, "Full Screen");
    a[SYSTEM_LIGHTS_LABEL] = Switch(a, SYSTEM_LIGHTS, 157, "Dynamic Lights");
    a[SYSTEM_SHADOWS_LABEL] = Switch(a, SYSTEM_SHADOWS, 176, "Dynamic Shadows (CPU pig)");
    a[SYSTEM_FOG_LABEL] = Switch(a, SYSTEM_FOG, 195, "Atmospheric Fog");
    a[SYSTEM_DETAIL_LABEL] = Label(w, 30, 219, "Texture Detail");
    a[SYSTEM_DETAIL] = Slider(w, 30, 239);
    a[SYSTEM_DETAIL_TEXT] = Label(w, 185, 239, "");
    a[SYSTEM_GLOW_LABEL] = Label(w, 30, 272, "Glow Detail (GPU pig)");
    a[SYSTEM_GLOW] = Slider(w, 30, 292);
    a[SYSTEM_GLOW_TEXT] = Label(w, 185, 292, "");
    a[SYSTEM_BRIGHTNESS_LABEL] = Label(w, 30, 320, "Brightness");
    a[SYSTEM_BRIGHTNESS] = Slider(w, 30, 340);
    a[SYSTEM_REVERSE_STEREO] = UI_CreateMenuCheckBox(w, 390, 65, 0);
    a[SYSTEM_REVERSE_STEREO_LABEL] = Label(w, 410, 65, "Reverse Stereo");
    a[SYSTEM_VOLUME_LABEL] = Label(w, 390, 90, "Volume");
    a[SYSTEM_VOLUME] = Slider(w, 390, 110);
    a[SYSTEM_MUSIC_LABEL] = Label(w, 390, 140, "Music Volume");
    a[SYSTEM_MUSIC] = Slider(w, 390, 160);
    a[SYSTEM_RATE_LABEL] = Label(w, 390, 210, "Net Rate");
    a[SYSTEM_RATE] = UI_CreateEditBox(w, 494, 210, 6, "", uiMedia[UIMEDIA_EDIT128], 0);
    a[SYSTEM_RATE_UNIT] = Label(w, 573, 210, "B/s");
}

void UI_System_Draw() {
    if (UI_EnteringScreen(&system_lastDraw)) LoadSystem();
    UI_SetText(ui_system[SYSTEM_DETAIL_TEXT], DetailAt(UI_GetScrollPosition(ui_system[SYSTEM_DETAIL])).text);
    UI_DrawAtoms(ui_system, UI_SYSTEM_ATOMS);
}
