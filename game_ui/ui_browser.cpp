// The server browser: lists, polls, answers, filtering and sorting, the rows of the
// list atom, the info panel, connecting, and the favourites in the configuration.
#include "game_ui/ui_browser.h"

#include <cstring>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_cl/cg_local.h"
#include "game_ui/ui_atom.h"
#include "game_ui/ui_local.h"

uiServer_t ui_publicList[UI_MAX_SERVERS], ui_lanList[UI_MAX_SERVERS], ui_favoriteList[UI_MAX_SERVERS];
int32_t ui_numPublicList, ui_numLanList, ui_numFavoriteList;
int32_t ui_publicIndex[UI_MAX_SERVERS], ui_lanIndex[UI_MAX_SERVERS], ui_favoriteIndex[UI_MAX_SERVERS];

// Opening the public list the first time asks the master; showing the LAN list the
// first time searches the local network.
static uint8_t first_public = 1, first_lan = 1;

// What an operation on "list number n" works on.
struct uiServerSet_t {
    uiServer_t *records;
    int32_t *count;
    int32_t *index;
    int32_t pollBase;
};

// The list a number names; null, after a bug report, for any other number.
static const uiServerSet_t *ServerSet(int32_t list) {
    static const uiServerSet_t sets[] = {
        {ui_publicList, &ui_numPublicList, ui_publicIndex, UI_POLL_PUBLIC},
        {ui_lanList, &ui_numLanList, ui_lanIndex, UI_POLL_LAN},
        {ui_favoriteList, &ui_numFavoriteList, ui_favoriteIndex, UI_POLL_FAVORITES},
    };
    if (list < 0 || list > static_cast<int32_t>(UI_LIST_FAVORITES)) {
        Com_AssertFailed(__FILE__, __LINE__);
        return nullptr;
    }
    return &sets[list];
}

// ---- lists ----

static void PollServer(const uiServerSet_t &set, const uiServer_t *record, int32_t index, bool broadcast) {
    const uint32_t now = qgame.time;
    if (!broadcast) {
        Trap_SendOutOfBandPrint(1, &record->address, va("poll %d %d", set.pollBase + index, static_cast<int32_t>(now)));
        return;
    }
    // 0.0.0.0 would reach only this host: the limited broadcast reaches the segment,
    // this host included.
    netadr_t to{};
    to.type = NA_IP_ALT;
    memset(to.ip, 255, sizeof to.ip);
    for (int32_t i = 0; i < UI_LAN_PORTS; i++) {
        to.port = static_cast<uint16_t>(UI_LAN_FIRST_PORT + i);
        Trap_SendOutOfBandPrint(1, &to, va("poll %d %d", set.pollBase, static_cast<int32_t>(now)));
    }
}

// The port written after the last colon of an address text; fallback without one.
static uint16_t PortOfText(const char *text, uint16_t fallback) {
    const char *colon = strrchr(text, ':');
    if (!colon || !colon[1]) return fallback;
    uint32_t port = 0;
    for (const char *p = colon + 1; *p; p++) {
        if (*p < '0' || *p > '9' || p - colon > 6) return fallback;
        port = port * 10 + static_cast<uint32_t>(*p - '0');
    }
    return static_cast<uint16_t>(port % 65536);
}

int32_t UI_AddIp(int32_t list, const char *text) {
    const uiServerSet_t *set = ServerSet(list);
    if (!set || *set->count >= UI_MAX_SERVERS || !text || !text[0]) return -1;
    netadr_t address;
    if (!Trap_LookupDNS(&address, text)) return -1;
    if (address.type == NA_LOCAL) {
        // The engine's look-up turns 127.0.0.1 into its in-process loop-back, which has
        // no port and is written "LOCAL", a name no look-up resolves.  A listed server
        // is another process: it is kept as the loop-back IPv4 address with its port,
        // which polls reach and the configuration writes back as an address.
        const uint16_t port = address.port;
        address = netadr_t{};
        address.type = NA_IP;
        address.ip[0] = 127;
        address.ip[3] = 1;
        address.port = PortOfText(text, port ? port : UI_LAN_FIRST_PORT);
    }
    if (address.type != NA_IP || !(address.ip[0] | address.ip[1] | address.ip[2] | address.ip[3])) return -1;
    for (int32_t i = 0; i < *set->count; i++) {
        if (!Com_adrcmp(&address, &set->records[i].address)) continue;
        if (list != UI_LIST_LAN) PollServer(*set, &set->records[i], i, false);
        return i;
    }
    const int32_t i = (*set->count)++;
    set->records[i] = uiServer_t{};
    set->records[i].address = address;
    if (list != UI_LIST_LAN) PollServer(*set, &set->records[i], i, false);
    return i;
}

void UI_RemoveIp(int32_t list, int32_t index) {
    const uiServerSet_t *set = ServerSet(list);
    if (!set || index < 0 || index >= *set->count) return;
    memmove(&set->records[index], &set->records[index + 1],
            sizeof(uiServer_t) * static_cast<size_t>(*set->count - index - 1));
    (*set->count)--;
}

void UI_ClearServers(int32_t list) {
    const uiServerSet_t *set = ServerSet(list);
    if (!set) return;
    *set->count = 0;
    for (int32_t i = 0; i < UI_MAX_SERVERS; i++) set->index[i] = -1;
}

void UI_AddPublic_f() {
    if (G_Argc() == 2) UI_AddIp(UI_LIST_PUBLIC, G_Argv(1));
}
void UI_AddLan_f() {
    if (G_Argc() == 2) UI_AddIp(UI_LIST_LAN, G_Argv(1));
}
void UI_AddFavorite_f() {
    if (G_Argc() == 2) UI_AddIp(UI_LIST_FAVORITES, G_Argv(1));
}
void UI_GetLanServers_f() {
    UI_ClearServers(UI_LIST_LAN);
    PollServer(*ServerSet(UI_LIST_LAN), nullptr, 0, true);
}

// ---- answers ----

constexpr int32_t UI_PING_MOST = 9999;  // the longest ping a row shows

// A text of the answer into a record's field: bounded, and every byte below 32
// becomes a blank, so a line break cannot split the server's row in two.
static void StoreText(char *dst, const char *src, int32_t size) {
    Com_strncpyz(dst, src ? src : "", size);
    for (char *c = dst; *c; c++)
        if (static_cast<uint8_t>(*c) < ' ') *c = ' ';
}

void UI_ServerInfo(const netadr_t *from, int32_t id, int32_t time, uint8_t password, const char *name,
                   const char *map, const char *rules, int32_t players, int32_t maxPlayers, const char *game,
                   int32_t version, int32_t flags, int32_t os, const char *versionText) {
    (void)password;  // the flags word says the same
    if (id < UI_POLL_FAVORITES || id >= UI_POLL_END) return;
    uiServer_t *record = nullptr;
    if (id >= UI_POLL_LAN) {
        const int32_t i = UI_AddIp(UI_LIST_LAN, Com_adrstr(from));
        if (i < 0 || i >= ui_numLanList) return;
        record = &ui_lanList[i];
    } else if (id >= UI_POLL_PUBLIC) {
        if (id - UI_POLL_PUBLIC >= ui_numPublicList) return;
        record = &ui_publicList[id - UI_POLL_PUBLIC];
    } else {
        if (id - UI_POLL_FAVORITES >= ui_numFavoriteList) return;
        record = &ui_favoriteList[id - UI_POLL_FAVORITES];
    }
    StoreText(record->name, name, sizeof record->name);
    StoreText(record->map, map, sizeof record->map);
    StoreText(record->rules, rules, sizeof record->rules);
    record->players = players;
    record->maxPlayers = maxPlayers;
    StoreText(record->game, game, sizeof record->game);
    if (versionText) {
        StoreText(record->version, versionText, sizeof record->version);
    } else {
        Com_sprintf(record->version, sizeof record->version, "%d.%2d", version / 100, version % 100);
    }
    record->flags = static_cast<uint32_t>(flags);
    record->os = static_cast<uint32_t>(os);
    // The time is our own poll's, echoed: one from the future is no measurement (a
    // forged one would sort its sender ahead of every honest server), so it counts
    // as the slowest.
    const int32_t ping = static_cast<int32_t>(qgame.time - static_cast<uint32_t>(time));
    record->ping = ping < 0 ? UI_PING_MOST : ping;
}

// ---- configuration ----

// The engine has the configuration file open: blank lines set the interface's lines
// apart from the variables and bindings before them.  Executing the file at the next
// start replays the favourites through addFavorite (command names ignore case).
void UI_DumpServers(FILE *config) {
    Trap_FWriteString("\n\n", config);
    for (int32_t i = 0; i < ui_numFavoriteList; i++)
        Trap_FWriteString(va("addfavorite %s\n", Com_adrstr(&ui_favoriteList[i].address)), config);
    Trap_FWriteString("\n", config);
    UI_Console_DumpHistory(config);
    Trap_FWriteString("\n", config);
    UI_Chat_DumpHistory(config);
    Trap_FWriteString("\n", config);
}

// ---- the screen ----

constexpr int32_t UI_INFO_LINES = 7;
constexpr int32_t UI_FILTERS = 3;  // hide full, hide empty, hide password servers
constexpr int32_t UI_ADDRESS_CHARS = 22;

// The longest row: colour prefix, 16 name characters, colour suffix, rules, map, two
// counts of at most 11 characters each, a 4-digit ping, blanks and the line break.
constexpr int32_t UI_SERVER_ROW_LONGEST = 3 + 16 + 3 + 1 + (UI_SERVER_RULES - 1) + 1 + (UI_SERVER_TEXT - 1) + 1 + 11 +
                                          1 + 11 + 1 + 4 + 1;
static_assert(UI_SERVER_ROW_LONGEST < UI_SERVER_ROW_TEXT, "a row never gets cut");
static_assert(UI_SERVER_ROW_TEXT <= UI_LIST_LINE, "a row fits a list record");

struct uiConnectScreen_t {
    uiAtom_t *window;
    uiAtom_t *tabs[3];  // by list number
    uiAtom_t *title;
    uiAtom_t *list;
    uiAtom_t *scroll;
    uiAtom_t *panel, *panelTitle, *info[UI_INFO_LINES];
    uiAtom_t *address, *addIp;
    uiAtom_t *update, *refresh, *connect;
    uiAtom_t *filters[UI_FILTERS], *filterTexts[UI_FILTERS];
};
static uiConnectScreen_t uc;

// Every row of the list on show, joined: room for all of them.
static char ui_rowsText[UI_MAX_SERVER_ROWS * UI_SERVER_ROW_TEXT + 1];

static const uiServerSet_t &ShownSet() {
    const uiServerSet_t *set = ServerSet(static_cast<int32_t>(ui.serverList));
    return set ? *set : *ServerSet(UI_LIST_PUBLIC);
}

int UI_ServerSort(const uiServer_t *a, const uiServer_t *b) {
    const bool aAnswered = a->name[0] != 0, bAnswered = b->name[0] != 0;
    if (aAnswered != bAnswered) return aAnswered ? -1 : 1;
    if (!aAnswered) return 0;
    return (a->ping > b->ping) - (a->ping < b->ping);
}

static const uiServer_t *ui_sortRecords;  // the records the index entries being sorted name

static int CompareIndexes(const void *a, const void *b) {
    return UI_ServerSort(&ui_sortRecords[*static_cast<const int32_t *>(a)],
                         &ui_sortRecords[*static_cast<const int32_t *>(b)]);
}

// The index array of the list: the records that pass the filters, sorted.
static void FilterServers(const uiServerSet_t &set, int32_t list) {
    for (int32_t i = 0; i < UI_MAX_SERVERS; i++) set.index[i] = -1;
    if (*set.count <= 0) return;
    const bool hideFull = UI_GetCheckBoxMarked(uc.filters[0]), hideEmpty = UI_GetCheckBoxMarked(uc.filters[1]),
               hidePassword = UI_GetCheckBoxMarked(uc.filters[2]);
    int32_t n = 0;
    for (int32_t i = 0; i < *set.count; i++) {
        const uiServer_t &s = set.records[i];
        if (!s.name[0]) {
            if (list != UI_LIST_FAVORITES) continue;  // favourites show as "Offline"
        } else if ((hideEmpty && s.players < 1) || (hideFull && s.players >= s.maxPlayers) ||
                   (hidePassword && (s.flags & UI_SERVER_PASSWORD))) {
            continue;
        }
        set.index[n++] = i;
    }
    if (n > 1) {
        ui_sortRecords = set.records;
        Com_qsort(set.index, static_cast<size_t>(n), sizeof set.index[0], CompareIndexes);
    }
    set.index[UI_MAX_SERVERS - 1] = -1;
}

// The list's noun of a server: its address bytes read big-endian, exclusive-or the
// port in both halves.
static uint32_t ServerNoun(const netadr_t &a) {
    const uint32_t ip = static_cast<uint32_t>(a.ip[0]) << 24 | static_cast<uint32_t>(a.ip[1]) << 16 |
                        static_cast<uint32_t>(a.ip[2]) << 8 | a.ip[3];
    return ip ^ (static_cast<uint32_t>(a.port) | static_cast<uint32_t>(a.port) << 16);
}

static int32_t OsIcon(uint32_t os) {
    switch (os) {
    case UI_OS_WINDOWS: return uiMedia[UIMEDIA_OS_WIN];
    case UI_OS_FREEBSD: return uiMedia[UIMEDIA_OS_FREEBSD];
    case UI_OS_LINUX: return uiMedia[UIMEDIA_OS_LINUX];
    default: return uiMedia[UIMEDIA_TRANSPARENT];
    }
}

// An unanswered favourite's row is grey.
static constexpr char OFFLINE_PREFIX[] = {static_cast<char>(COLOR_KEY), '0', '3', 0};
static constexpr char OFFLINE_SUFFIX[] = {static_cast<char>(COLOR_KEY), '0', '0', 0};

// Filters and sorts the list, then hands its rows, icons and nouns to the list atom.
static void BuildRows(int32_t list) {
    const uiServerSet_t *set = ServerSet(list);
    if (!set) return;
    FilterServers(*set, list);
    size_t used = 0;
    int32_t rows = 0;
    for (; rows < UI_MAX_SERVER_ROWS && set->index[rows] >= 0; rows++) {
        const uiServer_t &s = set->records[set->index[rows]];
        const bool answered = s.name[0] != 0;
        const int32_t ping = s.ping < 0 ? 0 : (s.ping > UI_PING_MOST ? UI_PING_MOST : s.ping);
        char row[UI_SERVER_ROW_TEXT];
        const int length = Com_sprintf(row, sizeof row, "%s%-16.16s%s %-2s %-12s %2d/%-2d %4d\n",
                                       answered ? "" : OFFLINE_PREFIX, answered ? s.name : "Offline",
                                       answered ? "" : OFFLINE_SUFFIX, s.rules, s.map, s.players, s.maxPlayers, ping);
        memcpy(ui_rowsText + used, row, static_cast<size_t>(length));
        used += static_cast<size_t>(length);
    }
    ui_rowsText[used] = 0;
    UI_SetListRecords(uc.list, ui_rowsText);
    for (int32_t r = 0; r < rows; r++) {
        const uiServer_t &s = set->records[set->index[r]];
        UI_SetNumIcons(uc.list, r, UI_LIST_MAX_ICONS);
        UI_SetIcon(uc.list, r, 0, OsIcon(s.os));
        UI_SetIcon(uc.list, r, 1, uiMedia[UIMEDIA_TRANSPARENT]);
        UI_SetIcon(uc.list, r, 2,
                   (s.flags & UI_SERVER_PASSWORD) ? uiMedia[UIMEDIA_PASSWORD] : uiMedia[UIMEDIA_TRANSPARENT]);
        UI_SetNoun(uc.list, r, ServerNoun(s.address));
    }
}

// The record of the marked row of the list on show, or -1.  A row past the shown
// rows has the index -1 and counts as none.
static int32_t MarkedServer() {
    const uiServerSet_t &set = ShownSet();
    int32_t r = UI_GetMarkedRecord(uc.list);
    if (r == -1 || *set.count < 1 || r >= *set.count) return -1;
    if (r < 0) r = 0;
    const int32_t record = set.index[r];
    return record >= 0 && record < *set.count ? record : -1;
}

static void ConnectMarked() {
    const int32_t record = MarkedServer();
    if (record < 0) {
        ui.modal = MODAL_SERVER_ERROR;
        return;
    }
    const uiServer_t &s = ShownSet().records[record];
    if (s.flags & UI_SERVER_PASSWORD) {
        ui.passwordServer = s.address;
        ui.modal = MODAL_SERVER_PASSWORD;
        return;
    }
    Trap_Add(va("connect %s", Com_adrstr(&s.address)));
    cg.menu = CG_MENU_NONE;
}

bool UI_ConnectWithPassword(const char *password) {
    for (const char *c = password; *c; c++) {
        if (*c == '"' || static_cast<uint8_t>(*c) < ' ') {
            Com_Printf("UI_ConnectWithPassword: A password cannot hold a quote or a control character");
            return false;
        }
    }
    char command[UI_CONNECT_TEXT];
    const int length =
        Com_sprintf(command, sizeof command, "connect %s \"%s\"", Com_adrstr(&ui.passwordServer), password);
    if (length < 0 || length >= static_cast<int>(sizeof command)) {
        Com_Printf("UI_ConnectWithPassword: The password is too long");
        return false;
    }
    Trap_Add(command);
    return true;
}

static void Refresh() {
    const int32_t list = static_cast<int32_t>(ui.serverList);
    const uiServerSet_t *set = ServerSet(list);
    if (!set) return;
    if (list == UI_LIST_LAN) {
        Trap_Add("getLanServers");
    } else {
        for (int32_t i = 0; i < *set->count; i++) {
            PollServer(*set, &set->records[i], i, false);
            if (i >= UI_POLL_BURST && i % UI_POLL_BURST == 0) Trap_Sleep(UI_POLL_PAUSE_MSEC);
        }
    }
    for (int32_t i = 0; i < *set->count; i++) {
        uiServer_t &s = set->records[i];
        s.name[0] = s.rules[0] = s.map[0] = 0;
        s.players = s.maxPlayers = 0;
    }
}

static void AddIpFromBox() {
    ui.serverList = UI_LIST_FAVORITES;
    BuildRows(UI_LIST_FAVORITES);
    if (ui_numFavoriteList >= UI_MAX_SERVERS) return;
    char text[UI_ATOM_TEXT];
    UI_GetText(uc.address, text);
    UI_SetText(uc.address, "");
    UI_AddIp(UI_LIST_FAVORITES, text);
    Refresh();
}

static void ShowPublic(uiAtom_t *) { ui.serverList = UI_LIST_PUBLIC; }
static void ShowLan(uiAtom_t *) { ui.serverList = UI_LIST_LAN; }
static void ShowFavorites(uiAtom_t *) {
    ui.serverList = UI_LIST_FAVORITES;
    Refresh();
}
static void Update(uiAtom_t *) {
    ui.serverList = UI_LIST_PUBLIC;
    UI_ClearServers(UI_LIST_PUBLIC);
    Trap_Add("getGlobalServers");
}
static void RefreshPressed(uiAtom_t *) { Refresh(); }
static void ConnectPressed(uiAtom_t *) { ConnectMarked(); }
static void AddIpPressed(uiAtom_t *) { AddIpFromBox(); }

static void ListProc(uiAtom_t *atom, uint32_t message, int32_t a, int32_t b) {
    if (message == UIM_KEYDOWN && a == UI_KEY_ENTER) {
        ConnectMarked();
    } else if (message == UIM_KEYDOWN && a == UI_KEY_DELETE) {
        const int32_t record = MarkedServer();
        if (record >= 0) UI_RemoveIp(static_cast<int32_t>(ui.serverList), record);
    } else if (message == UIM_ACTIVATE) {
        ConnectMarked();
    }
    UI_DefaultMessageProc(atom, message, a, b);
}

static void AddressProc(uiAtom_t *atom, uint32_t message, int32_t a, int32_t b) {
    if (message == UIM_CHAR && a == UI_CHAR_ENTER) AddIpFromBox();
    UI_DefaultMessageProc(atom, message, a, b);
}

static void ScrollList(uiAtom_t *, float position) {
    UI_SetVisRecord(uc.list, static_cast<int32_t>(static_cast<float>(UI_GetNumRecords(uc.list)) * position));
}

static uiAtom_t *Button(int32_t x, int32_t y, int32_t w, int32_t h, const char *text, uint32_t align,
                        uiAtomCallback_t action) {
    uiAtom_t *b = UI_CreateButton(uc.window, x, y, w, h, uiMedia[UIMEDIA_BUTTON], uiMedia[UIMEDIA_BUTTON_OVER],
                                  uiMedia[UIMEDIA_BUTTON_DOWN], uiMedia[UIMEDIA_BUTTON_HIGHLIGHT], text, align);
    UI_SetButtonFunctions(b, nullptr, nullptr, nullptr, action);
    return b;
}

void UI_Connect_Init() {
    first_public = first_lan = 1;
    for (int32_t i = 0; i < UI_MAX_SERVERS; i++) ui_publicIndex[i] = ui_favoriteIndex[i] = -1;
    const int32_t normal = uiMedia[UIMEDIA_NORMAL_FONT], small = uiMedia[UIMEDIA_SMALL_FONT];
    uc = uiConnectScreen_t{};
    uc.window = UI_CreatePic(nullptr, 0, 80, 640, 400, uiMedia[UIMEDIA_WINDOW], color_white, 0);
    uc.tabs[UI_LIST_PUBLIC] = Button(25, 30, 150, 40, "Public", 0, ShowPublic);
    uc.tabs[UI_LIST_LAN] = Button(195, 30, 150, 40, "LAN", 0, ShowLan);
    uc.tabs[UI_LIST_FAVORITES] = Button(365, 30, 150, 40, "Favorites", 0, ShowFavorites);
    uc.title = UI_CreateText(uc.window, 25, 74, "", color_white, normal, 0);
    uc.list = UI_CreateList(uc.window, 25, 90, 378, 170, uiMedia[UIMEDIA_LIST], uiMedia[UIMEDIA_FILLED], 0);
    UI_SetFont(uc.list, small);
    UI_SetText(uc.list, "   Name          Rules Map        Players Ping");
    UI_SetCustomMessageProc(uc.list, ListProc);
    uc.scroll = UI_CreateVerticalScroll(uc.window, 406, 90, 24, 170, uiMedia[UIMEDIA_VSCROLL_BG],
                                        uiMedia[UIMEDIA_VSCROLL_CARET], 0);
    UI_SetScrollUpdatePosition(uc.scroll, ScrollList);
    uc.panel = UI_CreatePic(uc.window, 430, 87, 190, 160, uiMedia[UIMEDIA_WINDOW], color_white, 0);
    uc.panelTitle = UI_CreateText(uc.window, 460, 95, "Server Info", color_green, normal, 0);
    for (int32_t i = 0; i < UI_INFO_LINES; i++)
        uc.info[i] = UI_CreateText(uc.window, 438, 115 + 15 * i, "", color_white, small, 0);
    uc.address = UI_CreateEditBox(uc.window, 30, 265, 21, "", uiMedia[UIMEDIA_EDIT512], 0);
    UI_SetEditMaxText(uc.address, UI_ADDRESS_CHARS + 1);
    UI_SetCustomMessageProc(uc.address, AddressProc);
    uc.addIp = Button(33 + 21 * Trap_CL_GetFontCharWidth(normal), 263, 100, 21, "Add IP", 0, AddIpPressed);
    UI_SetFont(uc.addIp, small);
    uc.update = Button(540, 265, 162, 40, "UPDATE", UI_ALIGN_CENTER, Update);
    uc.refresh = Button(540, 305, 162, 40, "REFRESH", UI_ALIGN_CENTER, RefreshPressed);
    uc.connect = Button(540, 345, 162, 40, "CONNECT", UI_ALIGN_CENTER, ConnectPressed);
    static const char *const filterTexts[UI_FILTERS] = {"Hide Full Servers", "Hide Empty Servers",
                                                        "Hide Password Servers"};
    for (int32_t i = 0; i < UI_FILTERS; i++) {
        uc.filters[i] = UI_CreateCheckBox(uc.window, 30, 292 + 20 * i, 15, 15, uiMedia[UIMEDIA_CHECK],
                                          uiMedia[UIMEDIA_CHECK_MARKED], uiMedia[UIMEDIA_CHECK_DOWN], 0);
        uc.filterTexts[i] = UI_CreateText(uc.window, 50, 294 + 20 * i, filterTexts[i], color_white, small, 0);
    }
}

static const char *RulesName(const char *tag) {
    static constexpr struct {
        const char *tag, *name;
    } names[] = {{"DM", "Death Match"}, {"CR", "Crystal Rounds"}, {"CC", "Capture Crystal"}, {"F", "Forge"}};
    for (const auto &n : names)
        if (!strcmp(tag, n.tag)) return n.name;
    return "";
}

const char *UI_OsName(uint32_t os) {
    switch (os) {
    case UI_OS_WINDOWS: return "Windows";
    case UI_OS_FREEBSD: return "FreeBSD";
    case UI_OS_LINUX: return "Linux";
    default: return "";
    }
}

static void InfoLine(int32_t line, const char *label, const char *value) {
    UI_SetText(uc.info[line], va("%c04%s%c00 %s", COLOR_KEY, label, COLOR_KEY, value));
}

static void DrawInfoPanel() {
    const int32_t record = MarkedServer();
    if (record < 0) {
        for (uiAtom_t *line : uc.info) UI_SetText(line, "");
        return;
    }
    const uiServer_t &s = ShownSet().records[record];
    InfoLine(0, "Name:", va("%.16s", s.name));
    InfoLine(1, "IP:", va("%d.%d.%d.%d", s.address.ip[0], s.address.ip[1], s.address.ip[2], s.address.ip[3]));
    InfoLine(2, "Port:", va("%d", s.address.port));
    InfoLine(3, "Game:", s.game);
    InfoLine(4, "Version:", s.version);
    InfoLine(5, "Rules:", RulesName(s.rules));
    InfoLine(6, "OS:", UI_OsName(s.os));
}

void UI_Connect_Draw() {
    if (!uc.window) return;
    for (uiAtom_t *tab : uc.tabs) UI_SetHighLight(tab, 0);
    const int32_t list = static_cast<int32_t>(ui.serverList);
    static const char *const titles[] = {"Public Servers", "LAN Servers", "Favorite Servers"};
    if (ServerSet(list)) {
        UI_SetText(uc.title, titles[list]);
        BuildRows(list);
        if (list == UI_LIST_PUBLIC && first_public) {
            first_public = 0;
            Trap_Add("getGlobalServers");
        } else if (list == UI_LIST_LAN && first_lan) {
            first_lan = 0;
            Trap_Add("getLanServers");
        }
        UI_SetHighLight(uc.tabs[list], 1);
    }
    DrawInfoPanel();
    uiAtom_t *const atoms[] = {uc.window,  uc.tabs[0],     uc.tabs[1],     uc.tabs[2],     uc.title,
                               uc.list,    uc.scroll,      uc.panel,       uc.panelTitle,  uc.info[0],
                               uc.info[1], uc.info[2],     uc.info[3],     uc.info[4],     uc.info[5],
                               uc.info[6], uc.address,     uc.addIp,       uc.update,      uc.refresh,
                               uc.connect, uc.filters[0],  uc.filters[1],  uc.filters[2],  uc.filterTexts[0],
                               uc.filterTexts[1], uc.filterTexts[2]};
    for (uiAtom_t *atom : atoms) {
        UI_SetVisible(atom, 1);
        UI_Message(atom, UIM_DRAW, 0, 0);
    }
}
