// The drop-down console: the text ring every print lands in, the panel with its
// scroll-back and prompt, the notify rows, the typed-command history and the dump.
#include <cmath>
#include <cstring>
#include <string>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"
#include "game_cl/cg_draw2d.h"
#include "game_cl/cg_local.h"
#include "game_ui/ui_atom.h"
#include "game_ui/ui_local.h"

uiConsole_t qc;

static cmdVar_t con_verticalspeed, con_echo, con_notifytime, con_skipNotify, con_skipConsole;

constexpr float CON_MIN_SPEED = 0.01f, CON_MAX_SPEED = 9999.9f;  // screen heights per second
constexpr float CON_MIN_TARGET = 0.05f, CON_MAX_TARGET = 1.0f;
constexpr float CON_DEFAULT_TARGET = 0.5f;
constexpr int32_t CON_INPUT_CHARS = 55;     // visible characters of the input line
constexpr int32_t CON_INFO_COLUMN = 57;     // the information line's first column
constexpr int32_t CON_INFO_MSEC = 250;      // the information line is refreshed at most this often
constexpr int CON_PAGE_LINES = 25;          // lines Page Up and Page Down move with Control held
constexpr int CON_COLOR_WHITE = 2;
constexpr uint16_t CON_BLANK = ' ';         // colour 0, a blank
constexpr uint32_t CON_RING_MASK = CON_TEXT_SIZE - 1;
static_assert((CON_TEXT_SIZE & CON_RING_MASK) == 0, "the ring index wraps by masking");
// Completion writes up to this many characters past the start of the word it completes.
constexpr int CON_COMPLETE_ROOM = 258;
constexpr const char *CON_SCROLL_MARKER = "^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^ ^";
static_assert(std::char_traits<char>::length(CON_SCROLL_MARKER) == 63);

enum conAtom_t { CON_PANEL, CON_BORDER, CON_PROMPT, CON_INPUT, CON_INFO, CON_ATOMS };
static uiAtom_t *con_atoms[CON_ATOMS];
static char con_info[CON_INFO_TEXT];
static uint32_t con_infoTime;  // game time of the last refresh
static uint8_t con_infoBuilt;

static uint16_t &Cell(uint32_t index) { return qc.text[index & CON_RING_MASK]; }
static int CellChar(uint16_t cell) { return cell & 0xFF; }
static uint32_t NewestLineEnd() { return qc.writeIndex - 1; }

// ---- printing ----

static void Store(uint16_t cell) {
    Cell(qc.writeIndex) = cell;
    qc.writeIndex++;
}

void UI_ConsolePrint(const char *text) {
    if (!qc.mayPrint || !text || !text[0]) return;
    const bool following = qc.displayIndex == NewestLineEnd();
    const size_t length = strlen(text);
    uint32_t stored = 0;
    int colour = 0;
    for (size_t i = 0; i < length; i++) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == COLOR_KEY && i + 2 < length) {
            const int value = (text[i + 1] - '0') * 10 + (text[i + 2] - '0');
            colour = value < 0 ? 0 : (value > TEXT_COLORS - 1 ? TEXT_COLORS - 1 : value);
            i += 2;
            continue;
        }
        if (c == '\n') {
            Store(CON_CELL_NEWLINE);
            colour = 0;
        } else {
            Store(static_cast<uint16_t>(colour << 8 | c));
        }
        stored++;
    }
    Store(CON_CELL_NEWLINE);
    Cell(qc.writeIndex) = 0;  // the end of the text, overwritten by the next print
    if (following) qc.displayIndex = NewestLineEnd();
    qc.notifyIndex = NewestLineEnd();
    if (qc.notify.columns < 1) return;
    // Only the last CON_NOTIFY_TIMES stamps are ever looked at.
    const uint32_t rows = stored / static_cast<uint32_t>(qc.notify.columns) + 1;
    for (uint32_t r = 0; r < rows && r < CON_NOTIFY_TIMES; r++)
        qc.notifyTimes[qc.notifyCount++ % CON_NOTIFY_TIMES] = qgame.time;
}

void UI_ConsoleNoPrint() {}

// ---- layout ----

// Columns and rows of a font's cells on the virtual screen; false (nothing to lay
// out) for a font without a cell.  The rows are capped so that the grid fits its cells.
static bool GridSize(int32_t font, int32_t *columns, int32_t *rows, int32_t *cw, int32_t *ch) {
    *cw = Trap_CL_GetFontCharWidth(font);
    *ch = Trap_CL_GetFontCharHeight(font);
    if (*cw <= 0 || *ch <= 0) return false;
    *columns = UI_SCREEN_WIDTH / *cw;
    *rows = UI_SCREEN_HEIGHT / *ch;
    if (*columns < 1 || *rows < 1) return false;
    const int32_t most = static_cast<int32_t>(CON_TEXT_SIZE) / *columns;
    if (*rows > most) *rows = most;
    return true;
}

// Fills the grid's rows, newest first, from the line ending at index backwards.
static void LayOut(conGrid_t &g, uint32_t index) {
    const int32_t columns = g.columns, rows = g.rows;
    for (int32_t i = 0; i < columns * rows; i++) g.cells[i] = CON_BLANK;
    g.builtColumns = static_cast<uint32_t>(columns);
    g.builtRows = static_cast<uint32_t>(rows);
    g.builtIndex = index;
    int32_t row = 0;
    uint32_t end = index;  // the line's end cell
    uint32_t walked = 0;
    while (row < rows && walked < CON_TEXT_SIZE) {
        uint32_t n = 0;  // characters of the line
        while (walked + n < CON_TEXT_SIZE) {
            const int c = CellChar(Cell(end - 1 - n));
            if (c == 0 || c == CON_CELL_NEWLINE) break;
            n++;
        }
        const uint32_t start = end - n;
        // The last partial piece goes lowest, then full-width pieces, newest first.
        uint32_t left = n;
        uint32_t piece = n % static_cast<uint32_t>(columns);
        if (piece == 0) piece = static_cast<uint32_t>(columns);
        while (left > 0 && row < rows) {
            uint16_t *out = g.cells + row * columns;
            for (uint32_t k = 0; k < piece; k++) out[k] = Cell(start + left - piece + k);
            left -= piece;
            piece = static_cast<uint32_t>(columns);
            row++;
        }
        walked += n + 1;
        if (CellChar(Cell(start - 1)) == 0) break;  // the oldest text
        end = start - 1;
    }
}

// Draws one grid row at y: each run of one colour as one raw string.
static void DrawRow(const uint16_t *cells, int32_t columns, float y, int32_t cw, int32_t font, int32_t flags) {
    int32_t used = columns;
    while (used > 0 && cells[used - 1] == CON_BLANK) used--;
    char run[UI_SCREEN_WIDTH + 1];
    for (int32_t first = 0; first < used;) {
        const int colour = cells[first] >> 8;
        int32_t n = 0;
        while (first + n < used && (cells[first + n] >> 8) == colour) {
            run[n] = static_cast<char>(CellChar(cells[first + n]));
            n++;
        }
        run[n] = 0;
        const int index = colour < TEXT_COLORS ? colour : TEXT_COLORS - 1;
        Trap_CL_DrawString(0, static_cast<float>(first * cw), y, 1.0f, run, n, text_colors[index], font, flags);
        first += n;
    }
}

// ---- drawing ----

static void RefreshInfo(bool force) {
    if (!force && con_infoBuilt && G_TimeAge(con_infoTime) < CON_INFO_MSEC) return;
    con_infoTime = qgame.time;
    con_infoBuilt = 1;
    Com_sprintf(con_info, sizeof con_info, "%s %5s @ %3d fps", "HM", "1.10b", static_cast<int>(qgame.fps));
    if (con_atoms[CON_INFO]) UI_SetText(con_atoms[CON_INFO], con_info);
}

void UI_DrawConsole() {
    if (!qc.atomsReady || qc.dropFraction <= 0.0f) return;
    const int32_t font = uiMedia[UIMEDIA_CONSOLE_FONT];
    int32_t columns, rows, cw, ch;
    if (!GridSize(font, &columns, &rows, &cw, &ch)) return;
    RefreshInfo(false);
    UI_SetFocus(con_atoms[CON_INPUT]);
    for (uiAtom_t *atom : con_atoms) {
        UI_SetVisible(atom, 1);
        UI_Message(atom, UIM_DRAW, 0, 0);
    }
    float y = std::floor(UI_SCREEN_HEIGHT * qc.dropFraction - 2.0f * ch);
    if (qc.displayIndex != NewestLineEnd()) {
        Trap_CL_DrawString(0, 0, y, 1.0f, CON_SCROLL_MARKER, 63, text_colors[CON_COLOR_WHITE], font, UI_TEXT_RAW);
        y -= ch;
    }
    conGrid_t &g = qc.console;
    if (columns != g.columns || rows != g.rows) qc.displayIndex = NewestLineEnd();
    g.columns = columns;
    g.rows = rows;
    if (g.builtColumns != static_cast<uint32_t>(columns) || g.builtRows != static_cast<uint32_t>(rows) ||
        g.builtIndex != qc.displayIndex)
        LayOut(g, qc.displayIndex);
    for (int32_t r = 0; r < rows && y > -ch; r++, y -= ch) DrawRow(g.cells + r * columns, columns, y, cw, font, UI_TEXT_RAW);
}

void UI_DrawNotifyConsole() {
    if (!qc.atomsReady || cg.menu != CG_MENU_NONE || con_skipNotify.integer) return;
    const int32_t font = uiMedia[UIMEDIA_NOTIFY_FONT];
    int32_t columns, rows, cw, ch;
    if (!GridSize(font, &columns, &rows, &cw, &ch)) return;
    conGrid_t &g = qc.notify;
    g.columns = columns;
    g.rows = rows;
    int32_t young = 0;
    while (young < CON_NOTIFY_TIMES && static_cast<uint32_t>(young) < qc.notifyCount) {
        const uint32_t stamp = qc.notifyTimes[(qc.notifyCount - 1 - young) % CON_NOTIFY_TIMES];
        if (G_TimeAge(stamp) > CON_NOTIFY_MSEC) break;
        young++;
    }
    if (young > rows) young = rows;
    ui.chatLineY = young * ch;
    if (g.builtColumns != static_cast<uint32_t>(columns) || g.builtRows != static_cast<uint32_t>(rows) ||
        g.builtIndex != qc.notifyIndex)
        LayOut(g, qc.notifyIndex);
    for (int32_t r = 0; r < young; r++)
        DrawRow(g.cells + r * columns, columns, static_cast<float>((young - 1 - r) * ch), cw, font,
                UI_TEXT_RAW | CG_DRAW_SHADOW);
}

// ---- input line and history ----

void UI_Console_SaveToHistory(const char *text, uint8_t push) {
    if (!push) {
        Com_strncpyz(qc.history[0], text, UI_HISTORY_LINE);
        return;
    }
    if (!strcmp(text, qc.history[1])) return;
    memmove(qc.history[2], qc.history[1], sizeof qc.history[0] * (CON_HISTORY - 2));
    Com_strncpyz(qc.history[1], text, UI_HISTORY_LINE);
}

// Moves the display index by up to lines lines (dir -1 back, +1 forward), each at most
// one row of cells; false when the end of the text stopped it.
static bool Scroll(int lines, int dir) {
    const int32_t columns = qc.console.columns > 0 ? qc.console.columns : 1;
    for (int l = 0; l < lines; l++) {
        for (int32_t k = 0; k < columns; k++) {
            const uint32_t next = qc.displayIndex + static_cast<uint32_t>(dir);
            const int c = CellChar(Cell(next));
            if (c == 0) return false;
            qc.displayIndex = next;
            if (c == CON_CELL_NEWLINE) break;
        }
    }
    return true;
}

static void OldestLine() {
    uint32_t oldest = NewestLineEnd();
    for (uint32_t k = 0; k < CON_TEXT_SIZE; k++) {
        const uint32_t at = NewestLineEnd() - k;
        const int c = CellChar(Cell(at));
        if (c == 0) break;
        if (c == CON_CELL_NEWLINE) oldest = at;
    }
    qc.displayIndex = oldest;
}

static void ShowHistoryEntry(uiAtom_t *atom) {
    UI_SetText(atom, qc.history[qc.historyPosition]);
    UI_SetEditCaret(atom, atom->edit.length, atom->edit.length);
}

static void BrowseHistory(uiAtom_t *atom, int dir) {
    ui.caretBlink = 1;
    if (dir > 0) {
        if (qc.historyPosition + 1 < CON_HISTORY && qc.history[qc.historyPosition + 1][0]) qc.historyPosition++;
        ShowHistoryEntry(atom);
        return;
    }
    if (--qc.historyPosition < 0) {
        qc.historyPosition = 0;
        UI_SetText(atom, "");
        return;
    }
    ShowHistoryEntry(atom);
}

static void EnterLine(uiAtom_t *atom) {
    if (atom->text[0]) {
        char stripped[UI_ATOM_TEXT];
        Com_StripColorKeys(stripped, sizeof stripped, atom->text);
        if (con_echo.integer) Com_Printf("]\xA4" "02%s", stripped);
        Trap_Add(stripped);
        UI_Console_SaveToHistory(atom->text, 1);
        UI_SetText(atom, "");
    }
    qc.historyPosition = 0;
}

static void CompleteLine(uiAtom_t *atom) {
    if (atom->text[0]) {
        char line[UI_ATOM_TEXT + CON_COMPLETE_ROOM];
        Com_strncpyz(line, atom->text, sizeof line);
        Trap_CompleteCmd(line);
        UI_SetText(atom, line);
        UI_SetEditCaret(atom, atom->edit.length, atom->edit.length);
    }
    qc.historyPosition = 0;
}

// The input line's own message procedure: scroll-back, history and the command line.
static void UI_ConsoleInputProc(uiAtom_t *atom, uint32_t message, int32_t a, int32_t b) {
    if (message == UIM_KEYDOWN) {
        switch (a) {
        case UI_KEY_PGUP:
        case UI_KEY_PGDN:
            if (!Scroll(cg.controlHeld ? CON_PAGE_LINES : 1, a == UI_KEY_PGUP ? -1 : 1)) return;
            break;
        case UI_KEY_UP: BrowseHistory(atom, 1); break;
        case UI_KEY_DOWN: BrowseHistory(atom, -1); break;
        case UI_KEY_HOME:
            if (!ui.ctrlHeld) break;
            OldestLine();
            return;
        case UI_KEY_END:
            if (!ui.ctrlHeld) break;
            qc.displayIndex = NewestLineEnd();
            return;
        case UI_KEY_ENTER: return;
        default: break;
        }
    } else if (message == UIM_CHAR) {
        if (a == UI_CHAR_ENTER) EnterLine(atom);
        if (a == '\t') CompleteLine(atom);
    }
    UI_DefaultMessageProc(atom, message, a, b);
    if (qc.historyPosition == 0) UI_Console_SaveToHistory(atom->text, 0);
}

// Writes one history line as a configuration line of quoted words: a ';' in it cannot
// start a command of its own when the file runs again, and a line longer than the
// engine keeps of a word is written in pieces that the replay joins.
void UI_WriteHistoryLine(FILE *file, const char *command, const char *text) {
    char body[UI_HISTORY_LINE];
    Com_strncpyz(body, text, sizeof body);
    char words[Com_ConfigWordsSize(UI_HISTORY_LINE - 1, CMD_MAX_WORD)];
    Com_ConfigWords(words, sizeof words, body, CMD_MAX_WORD);
    char line[CMD_MAX_NAME + sizeof words + 2];
    Com_sprintf(line, sizeof line, "%s %s\n", command, words);
    Trap_FWriteString(line, file);
}

void UI_Console_DumpHistory(FILE *file) {
    if (ui_skipHistoryDump.integer) return;
    for (int i = CON_HISTORY - 1; i >= 1; i--) {
        const char *line = qc.history[i];
        if (!line[0] || !Com_strncmp(line, "quit", 4)) continue;
        UI_WriteHistoryLine(file, "addConsoleHistory", line);
    }
}

// ---- commands ----

void UI_ConsoleForceUp() {
    qc.dropFraction = qc.target = qc.speed = 0.0f;
}

void UI_ConsoleForceDown() {
    qc.dropFraction = qc.target = CON_DEFAULT_TARGET;
    qc.speed = 0.0f;
}

static float Clamp(float v, float lo, float hi) { return !(v >= lo) ? lo : (v > hi ? hi : v); }

static void UI_ConsoleToggle_f() {
    if (con_skipConsole.integer) {
        UI_ConsoleForceUp();
        return;
    }
    qc.target = G_Argc() < 2 ? CON_DEFAULT_TARGET : Clamp(Com_atof(G_Argv(1)), CON_MIN_TARGET, CON_MAX_TARGET);
    if (G_Argc() >= 3 && !Com_strcmpUpper(G_Argv(2), "fast")) {
        qc.speed = 0.0f;
        qc.dropFraction = qc.dropFraction <= 0.0f ? qc.target : 0.0f;
        return;
    }
    if (qc.dropFraction <= 0.0f) {
        qc.speed = 1.0f;
    } else if (qc.dropFraction == qc.target || qc.speed >= 0.0f) {
        qc.speed = -1.0f;
    } else {
        qc.speed = 1.0f;
    }
}

static void UI_ConsoleDump_f() {
    if (G_Argc() != 2) {
        Com_Printf("con_dump <file name>");
        return;
    }
    char name[MAX_OSPATH];
    Com_strncpyz(name, G_Argv(1), sizeof name);
    const char *base = strrchr(name, '/') ? strrchr(name, '/') + 1 : name;
    if (!strchr(base, '.')) Com_strcat(name, sizeof name, ".txt");
    FILE *file = Trap_FOpen(name, "w");
    if (!file) {
        Com_Printf("Could not open file \"%s\"", name);
        return;
    }
    uint32_t at = qc.writeIndex;
    for (uint32_t k = 0; k < CON_TEXT_SIZE && Cell(at) == 0; k++) at++;
    // The text goes out in pieces small enough for the write trap's string.
    static char out[CON_TEXT_SIZE + 2];
    int n = 0;
    out[n++] = '\n';
    int lines = 2;
    for (uint32_t k = 0; k < CON_TEXT_SIZE; k++, at++) {
        const int c = CellChar(Cell(at));
        if (c == 0) break;
        out[n++] = static_cast<char>(c);
        if (c == CON_CELL_NEWLINE) lines++;
    }
    out[n] = 0;
    Trap_FWriteString(out, file);
    Trap_FClose(file);
    Com_Printf("Wrote \xA4" "08%d\xA4" "00 lines to \"\xA4" "08%s\xA4" "00\"", lines, name);
}

// ---- life cycle ----

void UI_ImpConsole(const char *text) {
    memset(&qc, 0, sizeof qc);
    qc.displayIndex = qc.notifyIndex = NewestLineEnd();
    con_infoBuilt = 0;
    RefreshInfo(true);
    Trap_CreateCVar(&con_verticalspeed, "con_verticalspeed", "5", CMD_CLIENT);
    Trap_CreateCVar(&con_echo, "con_echo", "1", CMD_CLIENT);
    Trap_CreateCVar(&con_notifytime, "con_notifytime", "12000", CMD_CLIENT);
    Trap_CreateCVar(&con_skipNotify, "con_skipNotify", "0", 0);
    Trap_CreateCVar(&con_skipConsole, "con_skipConsole", "0", 0);
    Trap_CreateFunction("con_toggle", UI_ConsoleToggle_f, CMD_CLIENT);
    Trap_CreateFunction("con_dump", UI_ConsoleDump_f, 0);
    qc.mayPrint = 1;
    // The console's own print: the engine's would hand the text back here and cut it.
    UI_ConsolePrint(text);
}

void UI_InitConsole() {
    const int32_t font = uiMedia[UIMEDIA_CONSOLE_FONT];
    const int32_t cw = Trap_CL_GetFontCharWidth(font);
    const int32_t ch = Trap_CL_GetFontCharHeight(font);
    uiAtom_t *panel = UI_CreatePic(nullptr, 0, -UI_SCREEN_HEIGHT, UI_SCREEN_WIDTH, UI_SCREEN_HEIGHT + 3,
                                   uiMedia[UIMEDIA_CONSOLE], color_white, 0);
    con_atoms[CON_PANEL] = panel;
    con_atoms[CON_BORDER] =
        UI_CreatePic(panel, 0, UI_SCREEN_HEIGHT, UI_SCREEN_WIDTH, 6, uiMedia[UIMEDIA_CONSOLE_BORDER], color_white, 0);
    con_atoms[CON_PROMPT] = UI_CreateText(panel, 0, UI_SCREEN_HEIGHT - ch, "]", text_colors[0], font, 0);
    UI_Message(con_atoms[CON_PROMPT], UIM_INIT, 0, 0);
    uiAtom_t *input = UI_CreateEditBox(panel, cw, UI_SCREEN_HEIGHT - ch, CON_INPUT_CHARS, "", 0, 0);
    UI_SetFont(input, font);
    UI_SetCustomMessageProc(input, UI_ConsoleInputProc);
    con_atoms[CON_INPUT] = input;
    con_atoms[CON_INFO] = UI_CreateText(panel, CON_INFO_COLUMN * cw, UI_SCREEN_HEIGHT - ch, con_info, text_colors[0], font, 0);
    qc.atomsReady = 1;
}

void UI_ShutdownConsole() {
    // The atoms go with the atom list; nothing may draw or type into them after.
    qc.atomsReady = 0;
    for (uiAtom_t *&atom : con_atoms) atom = nullptr;
}

void UI_ConsoleFrame() {
    const float s = Clamp(con_verticalspeed.value, CON_MIN_SPEED, CON_MAX_SPEED);
    qc.dropFraction += s * qc.speed * qgame.frameSeconds;
    if (qc.dropFraction >= 0.0f) {
        if (qc.dropFraction >= qc.target) {
            qc.dropFraction = qc.target;
            qc.speed = 0.0f;
        }
    } else {
        if (con_atoms[CON_INPUT]) UI_SetText(con_atoms[CON_INPUT], "");
        qc.dropFraction = qc.speed = 0.0f;
    }
    if (qc.dropFraction == 0.0f) qc.displayIndex = NewestLineEnd();
    if (con_atoms[CON_PANEL])
        UI_SetPosition(con_atoms[CON_PANEL], 0,
                       static_cast<int32_t>(UI_SCREEN_HEIGHT * qc.dropFraction) - UI_SCREEN_HEIGHT);
    RefreshInfo(false);
}

float UI_ConsoleIsDown() { return qc.dropFraction <= UI_CONSOLE_UP_FRACTION ? 0.0f : qc.dropFraction; }
uint8_t UI_ConsoleIsFullscreen() { return qc.dropFraction == 1.0f; }

void UI_ConsoleClearNotify() {
    memset(qc.notifyTimes, 0, sizeof qc.notifyTimes);
    qc.notifyCount = 0;  // a zero time is no stamp, even in the first seconds of the game clock
}
