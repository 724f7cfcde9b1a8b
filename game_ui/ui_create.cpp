// The create-server screen.  The world list is read again in every frame the screen
// shows, so worlds added to the folders appear at once.
#include "game_ui/ui_create.h"

#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_materials.h"
#include "game/g_traps.h"
#include "game/g_utils.h"
#include "game_cl/cg_local.h"
#include "game_ui/ui_local.h"
#include "game_ui/ui_menus.h"

worldScriptHeader_t q_worlds[UI_MAX_WORLDS];
int32_t q_numWorlds;
uiAtom_t *ui_create[UI_CREATE_ATOMS];

static uint32_t last_draw;
static int32_t old_vis = -1;  // the marked row whose rules and size were proposed last

static char create_paths[UI_MAX_WORLD_FILES][WS_PATH_SIZE];
static char create_rows[UI_MAX_WORLD_FILES * (WS_NAME_SIZE + 1) + 1];

static constexpr const char *create_folders[] = {"*.world", "maps/*.world", "game/c_maps/*.world"};

// The four rules boxes and the tag each puts into the map command.
struct uiRulesBox_t {
    int32_t atom;
    int32_t rules;
    const char *tag;
};
static constexpr uiRulesBox_t create_rulesBoxes[] = {
    {CREATE_DEATH_MATCH, RULES_DEATH_MATCH, "DM"},
    {CREATE_CRYSTAL_ROUNDS, RULES_CRYSTAL_ROUNDS, "CR"},
    {CREATE_CAPTURE, RULES_CAPTURE_CRYSTAL, "CC"},
    {CREATE_FORGE, RULES_FORGE, "F"},
};

// A marked row that names a listed world.
static bool ValidRow(int32_t row) { return row >= 0 && row < q_numWorlds; }

// The rules box that is marked; null when none is.
static const uiRulesBox_t *MarkedRules() {
    for (const uiRulesBox_t &box : create_rulesBoxes)
        if (UI_GetCheckBoxMarked(ui_create[box.atom])) return &box;
    return nullptr;
}

static const char *VarText(const char *name, const char *fallback) {
    const cmdVar_t *v = Trap_GetCVar(name);
    return v ? va("%d", v->integer) : fallback;
}

// The limit box follows the rules: rounds for crystal rounds, time otherwise, and a
// forge game has no time limit at all.
static void ApplyLimitRule() {
    const uiRulesBox_t *marked = MarkedRules();
    if (!marked) {
        UI_SetRules(RULES_DEATH_MATCH);
        return;
    }
    uiAtom_t *limit = ui_create[CREATE_LIMIT];
    char value[UI_ATOM_TEXT];
    UI_GetText(limit, value);
    const bool rounds = marked->rules == RULES_CRYSTAL_ROUNDS;
    UI_SetText(ui_create[CREATE_LIMIT_LABEL], rounds ? "Round Limit" : "Time Limit");
    if (marked->rules == RULES_FORGE) {
        UI_SetText(limit, "0");
    } else {
        UI_SetText(limit, VarText(rounds ? "sg_roundLimit" : "sg_timeLimit", value));
    }
}

void UI_SetRules(int32_t rules) {
    if (rules < RULES_DEATH_MATCH || rules > RULES_CAPTURE_CRYSTAL) rules = RULES_DEATH_MATCH;
    for (const uiRulesBox_t &box : create_rulesBoxes) UI_SetCheckBoxMarked(ui_create[box.atom], box.rules == rules);
    ApplyLimitRule();
}

static void SetVar(const char *name, const char *value) {
    if (cmdVar_t *v = Trap_GetCVar(name)) Trap_SetCVar(v, value);
}

static void CreateServer(uiAtom_t *) {
    const int32_t row = UI_GetMarkedRecord(ui_create[CREATE_LIST]);
    if (!ValidRow(row)) {
        ui.modal = MODAL_MAP_ERROR;
        return;
    }
    if (UI_GetCheckBoxMarked(ui_create[CREATE_DEDICATED])) Trap_Add("client 0");
    SetVar("sv_lanServer", va("%d", UI_GetCheckBoxMarked(ui_create[CREATE_LAN_ONLY])));
    SetVar("sv_pure", va("%d", UI_GetCheckBoxMarked(ui_create[CREATE_PURE])));
    char text[UI_ATOM_TEXT];
    const char *tag = "";
    if (Trap_GetCVar("sg_rules")) {
        if (!MarkedRules()) UI_SetRules(RULES_DEATH_MATCH);
        const uiRulesBox_t *marked = MarkedRules();
        UI_GetText(ui_create[CREATE_LIMIT], text);
        if (marked->rules == RULES_CRYSTAL_ROUNDS) {
            SetVar("sg_roundLimit", text);
        } else {
            SetVar("sg_timeLimit", marked->rules == RULES_FORGE ? "0" : text);
        }
        tag = marked->tag;
    }
    UI_GetText(ui_create[CREATE_PASSWORD], text);
    SetVar("sv_password", text);
    UI_GetText(ui_create[CREATE_SERVER_NAME], text);
    SetVar("sv_name", text);
    UI_GetText(ui_create[CREATE_MAX_PLAYERS], text);
    // Quoted, so that a world path with blanks stays one word; paths holding a quote are never listed.
    Trap_Add(va("map \"%s\" %s %d", q_worlds[row].path, tag, Com_atoi(text)));
    cg.menu = CG_MENU_NONE;
}

// Marking a world proposes its own rules and size, once; later edits stay until
// another world is marked.  A double click or Enter on a world creates at once.
static void MessageWorldList(uiAtom_t *atom, uint32_t message, int32_t a, int32_t b) {
    if (message == UIM_ACTIVATE) {
        CreateServer(atom);
        return;
    }
    UI_DefaultMessageProc(atom, message, a, b);
    const int32_t row = UI_GetMarkedRecord(atom);
    if (!ValidRow(row) || row == old_vis) return;
    const worldScriptHeader_t &world = q_worlds[row];
    if (world.rules >= RULES_DEATH_MATCH && world.rules <= RULES_CAPTURE_CRYSTAL) UI_SetRules(world.rules);
    if (world.maxPlayers > 0) {
        const int32_t players = world.maxPlayers < 2 ? 2 : (world.maxPlayers > 16 ? 16 : world.maxPlayers);
        UI_SetText(ui_create[CREATE_MAX_PLAYERS], va("%d", players));
    }
    old_vis = row;
}

// The four rules boxes act as one choice: a click on the marked one keeps it marked.
static void MessageRulesBox(uiAtom_t *atom, uint32_t message, int32_t a, int32_t b) {
    const uint8_t before = UI_GetCheckBoxMarked(atom);
    UI_DefaultMessageProc(atom, message, a, b);
    if (UI_GetCheckBoxMarked(atom) == before) return;
    for (const uiRulesBox_t &box : create_rulesBoxes)
        if (ui_create[box.atom] == atom) UI_SetRules(box.rules);
}

static void ScrollWorlds(uiAtom_t *, float position) {
    uiAtom_t *list = ui_create[CREATE_LIST];
    UI_SetVisRecord(list, static_cast<int32_t>(static_cast<float>(UI_GetNumRecords(list)) * position));
}

static uiAtom_t *Text(uiAtom_t *parent, int32_t x, int32_t y, const char *text) {
    return UI_CreateText(parent, x, y, text, color_white, uiMedia[UIMEDIA_SMALL_FONT], 0);
}

static uiAtom_t *Edit(uiAtom_t *parent, int32_t y, int32_t width, int32_t maxChars, const char *text,
                      int32_t material) {
    uiAtom_t *box = UI_CreateEditBox(parent, 355, y, width, text, material, 0);
    UI_SetEditMaxText(box, maxChars + 1);
    return box;
}

void UI_Create_Init() {
    last_draw = 0;
    uiAtom_t **a = ui_create;
    uiAtom_t *w = a[CREATE_WINDOW] = UI_CreateScreenWindow();
    a[CREATE_LIST] = UI_CreateList(w, 30, 35, 200, 180, uiMedia[UIMEDIA_LIST], uiMedia[UIMEDIA_FILLED], 0);
    UI_SetFont(a[CREATE_LIST], uiMedia[UIMEDIA_SMALL_FONT]);
    UI_SetText(a[CREATE_LIST], "Map Name");
    UI_SetCustomMessageProc(a[CREATE_LIST], MessageWorldList);
    a[CREATE_SCROLL] = UI_CreateVerticalScroll(w, 240, 35, 30, 180, uiMedia[UIMEDIA_VSCROLL_BG],
                                               uiMedia[UIMEDIA_VSCROLL_CARET], 0);
    UI_SetScrollUpdatePosition(a[CREATE_SCROLL], ScrollWorlds);
    a[CREATE_BUTTON] = UI_CreateMenuButton(w, 540, 345, 150, 40, "CREATE", CreateServer);
    a[CREATE_PANEL] = UI_CreatePic(w, 300, 30, 313, 195, uiMedia[UIMEDIA_WINDOW], color_white, 0);
    a[CREATE_NAME] = UI_CreateText(w, 310, 45, "", color_white, uiMedia[UIMEDIA_NORMAL_FONT], 0);
    a[CREATE_DESCRIPTION] = Text(w, 310, 70, "");
    UI_SetLineWidht(a[CREATE_DESCRIPTION], 120);
    a[CREATE_PICTURE] = UI_CreatePic(w, 500, 45, 100, 100, uiMedia[UIMEDIA_BLACK], color_white, 0);
    a[CREATE_LAN_ADDRESS] = Text(w, 310, 220, "");
    const cmdVar_t *pure = Trap_GetCVar("sv_pure");
    struct switch_t {
        int32_t atom;
        int32_t y;
        const char *text;
        uint8_t marked;
    };
    const switch_t switches[] = {
        {CREATE_DEDICATED, 220, "Dedicated Server", 0},
        {CREATE_LAN_ONLY, 240, "Only LAN Clients", 1},
        {CREATE_PURE, 260, "Pure Server", static_cast<uint8_t>(!pure || strcmp(pure->string, "0") != 0)},
    };
    for (const switch_t &s : switches) {
        a[s.atom] = UI_CreateMenuCheckBox(w, 35, s.y, s.marked);
        a[s.atom + 1] = Text(w, 55, s.y, s.text);
    }
    a[CREATE_RULES_LABEL] = UI_CreateText(w, 35, 280, "Rules", color_green, uiMedia[UIMEDIA_SMALL_FONT], 0);
    const switch_t rules[] = {
        {CREATE_DEATH_MATCH, 293, "Death Match", 0},
        {CREATE_CRYSTAL_ROUNDS, 311, "Crystal Rounds", 1},
        {CREATE_CAPTURE, 329, "Capture the Crystal", 0},
        {CREATE_FORGE, 347, "Forge", 0},
    };
    for (const switch_t &s : rules) {
        a[s.atom] = UI_CreateMenuCheckBox(w, 35, s.y, s.marked);
        UI_SetCustomMessageProc(a[s.atom], MessageRulesBox);
        a[s.atom + 1] = Text(w, 55, s.y, s.text);
    }
    const cmdVar_t *name = Trap_GetCVar("sv_name");
    a[CREATE_SERVER_NAME_LABEL] = Text(w, 315, 245, "Name");
    a[CREATE_SERVER_NAME] = Edit(w, 245, 16, 64, name ? name->string : "", uiMedia[UIMEDIA_EDIT512]);
    a[CREATE_PASSWORD_LABEL] = Text(w, 275, 268, "Password");
    a[CREATE_PASSWORD] = Edit(w, 268, 16, 64, "", uiMedia[UIMEDIA_EDIT512]);
    a[CREATE_MAX_PLAYERS_LABEL] = Text(w, 250, 291, "Max Players");
    a[CREATE_MAX_PLAYERS] = Edit(w, 291, 4, 4, VarText("sv_maxPlayers", "10"), uiMedia[UIMEDIA_EDIT128]);
    a[CREATE_LIMIT_LABEL] = Text(w, 255, 314, "");
    a[CREATE_LIMIT] = Edit(w, 314, 4, 4, "", uiMedia[UIMEDIA_EDIT128]);
    old_vis = -1;
    ApplyLimitRule();
}

static int CompareNames(const void *a, const void *b) {
    return Com_strcmp(static_cast<const worldScriptHeader_t *>(a)->name,
                      static_cast<const worldScriptHeader_t *>(b)->name);
}

// The world files of the three folders, the root first; each search fills only what
// the earlier ones left.
static int32_t FindWorldFiles() {
    int32_t count = 0;
    for (const char *pattern : create_folders) {
        const int32_t room = UI_MAX_WORLD_FILES - count;
        if (room <= 0) break;
        const int32_t found = Trap_FindFiles(create_paths[count], pattern, WS_PATH_SIZE, room);
        count += found < 0 ? 0 : (found > room ? room : found);
    }
    return count;
}

static void ReadWorlds() {
    const int32_t files = FindWorldFiles();
    q_numWorlds = 0;
    for (int32_t i = 0; i < files && q_numWorlds < UI_MAX_WORLDS; i++) {
        create_paths[i][WS_PATH_SIZE - 1] = 0;
        // The map command quotes the path: a path that holds a quote could not be passed on whole.
        if (strchr(create_paths[i], '"')) continue;
        if (CG_TurboParseWorldScript(&q_worlds[q_numWorlds], create_paths[i])) q_numWorlds++;
    }
    Com_qsort(q_worlds, static_cast<size_t>(q_numWorlds), sizeof q_worlds[0], CompareNames);
    create_rows[0] = 0;
    for (int32_t i = 0; i < q_numWorlds; i++) {
        // A line break inside a name would split its row and shift every row after it.
        char name[WS_NAME_SIZE];
        Com_strncpyz(name, q_worlds[i].name, sizeof name);
        for (char *c = name; *c; c++)
            if (*c == '\n') *c = ' ';
        Com_strcat(create_rows, sizeof create_rows, va("%s\n", name));
    }
    UI_SetListRecords(ui_create[CREATE_LIST], create_rows);
}

void UI_Create_Draw() {
    uiAtom_t **a = ui_create;
    if (UI_EnteringScreen(&last_draw)) {
        if (const cmdVar_t *pure = Trap_GetCVar("sv_pure"); pure && pure->integer != 0)
            UI_SetCheckBoxMarked(a[CREATE_PURE], 1);
    }
    ReadWorlds();
    const uint8_t *ip = qgame.localAddress + offsetof(netadr_t, ip);
    UI_SetText(a[CREATE_LAN_ADDRESS], va("My LAN IP: %d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]));
    const int32_t row = UI_GetMarkedRecord(a[CREATE_LIST]);
    if (ValidRow(row)) {
        UI_SetText(a[CREATE_NAME], q_worlds[row].name);
        UI_SetText(a[CREATE_DESCRIPTION], q_worlds[row].description);
        // Textures are drawn through their negated handles.
        UI_SetQMat(a[CREATE_PICTURE],
                   q_worlds[row].loadingMiniImage ? -q_worlds[row].loadingMiniImage : uiMedia[UIMEDIA_BLACK]);
    } else {
        UI_SetText(a[CREATE_NAME], "");
        UI_SetText(a[CREATE_DESCRIPTION], "");
        UI_SetQMat(a[CREATE_PICTURE], uiMedia[UIMEDIA_BLACK]);
    }
    UI_DrawAtoms(ui_create, UI_CREATE_ATOMS);
}
