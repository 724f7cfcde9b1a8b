// What the parts of the interface share beside its record: the media handles they
// draw with, the console and the chat.
#pragma once

#include <cstdint>
#include <cstdio>

#include "game_ui/ui_main.h"

constexpr float UI_CONSOLE_UP_FRACTION = 0.01f;  // a console dropped no further than this counts as up
constexpr int32_t UI_SCREEN_WIDTH = 640;         // the virtual screen every layout uses
constexpr int32_t UI_SCREEN_HEIGHT = 480;
constexpr int UI_HISTORY_LINE = 1024;            // a history entry with its zero byte

// Slots of uiMedia, registered in this order at every renderer start.
enum uiMediaIndex_t : int32_t {
    UIMEDIA_NORMAL_FONT = 0,
    UIMEDIA_CONSOLE_FONT = 1,
    UIMEDIA_NOTIFY_FONT = 2,
    UIMEDIA_CHAT_FONT = 3,
    UIMEDIA_SMALL_FONT = 4,
    UIMEDIA_BIG_FONT = 5,
    UIMEDIA_WHITE = 6,
    UIMEDIA_BLACK = 7,
    UIMEDIA_CONSOLE = 8,
    UIMEDIA_CONSOLE_BORDER = 9,
    UIMEDIA_CODE_BLACK = 10,
    UIMEDIA_CODE_GRAY = 11,
    UIMEDIA_LOGO = 12,
    UIMEDIA_USER_MAP = 13,  // a texture: drawn through its negated handle
    UIMEDIA_WINDOW = 14,
    UIMEDIA_BUTTON = 15,
    UIMEDIA_BUTTON_OVER = 16,
    UIMEDIA_BUTTON_DOWN = 17,
    UIMEDIA_BUTTON_HIGHLIGHT = 18,
    UIMEDIA_LIST = 19,
    UIMEDIA_VSCROLL_BG = 20,
    UIMEDIA_VSCROLL_CARET = 21,
    UIMEDIA_HSCROLL_BG = 22,
    UIMEDIA_HSCROLL_CARET = 23,
    UIMEDIA_FILLED = 24,
    UIMEDIA_CHECK = 25,
    UIMEDIA_CHECK_MARKED = 26,
    UIMEDIA_CHECK_DOWN = 27,
    UIMEDIA_EDIT128 = 28,
    UIMEDIA_EDIT256 = 29,
    UIMEDIA_EDIT512 = 30,
    UIMEDIA_PORTRAIT_FIRST = 31,  // eight portraits of the credits screen, 31..38
    UIMEDIA_PORTRAITS = 8,
    UIMEDIA_TRANSPARENT = 39,
    UIMEDIA_OS_WIN = 40,
    UIMEDIA_OS_FREEBSD = 41,
    UIMEDIA_OS_LINUX = 42,
    UIMEDIA_PASSWORD = 43,
    UIMEDIA_RESERVED = 44,
    UIMEDIA_LOBBY_LOGO = 45,  // a model
    UIMEDIA_WINDOW_JOIN = 46,
    UIMEDIA_QUIT_WINDOW = 47,
    UIMEDIA_CLICK_SOUND = 48,
    UIMEDIA_COUNT = 49,
};
extern int32_t uiMedia[UIMEDIA_COUNT];  // 0: not registered

struct cmdVar_t;
extern cmdVar_t ui_skipUi;           // not 0: the menus are not drawn
extern cmdVar_t ui_skipHistoryDump;  // not 0: no history goes into the configuration file

// ---- console ----
constexpr uint32_t CON_TEXT_SIZE = 65536;        // cells of the text ring; also of each laid-out grid
constexpr int CON_NOTIFY_TIMES = 8;              // notify rows shown at most
constexpr int32_t CON_NOTIFY_MSEC = 10000;       // how long a printed row stays a notify row
constexpr int CON_HISTORY = 32;                  // entry 0 is the line being edited
constexpr int CON_CELL_NEWLINE = 10;             // a cell that ends a line
constexpr int CON_INFO_TEXT = 256;               // the information line with its zero byte

// One laid-out grid of text cells, rows newest first, and the values it was built for.
struct conGrid_t {
    uint16_t cells[CON_TEXT_SIZE];
    int32_t columns, rows;                       // from the font's cell
    uint32_t builtColumns, builtRows, builtIndex;
};

struct uiConsole_t {
    uint8_t mayPrint;         // registration done; until then prints are dropped
    uint8_t atomsReady;       // the atoms exist; until then nothing is drawn
    float dropFraction;       // how far the panel is down: 0 up, 1 the whole screen
    float target;             // the fraction a dropping panel stops at
    float speed;              // +1 dropping, -1 rising, 0 still
    uint16_t text[CON_TEXT_SIZE];  // colour index << 8 | character; 10 ends a line, 0 ends the text
    uint32_t writeIndex;      // cells ever written; the cell is the index modulo CON_TEXT_SIZE
    uint32_t notifyTimes[CON_NOTIFY_TIMES];  // game times of the last notify rows, a ring
    uint32_t notifyCount;     // notify rows ever stamped
    conGrid_t console;        // the panel's rows
    uint32_t displayIndex;    // ring index of the line end at the panel's bottom
    conGrid_t notify;         // the notify rows
    uint32_t notifyIndex;     // ring index of the newest line end
    char history[CON_HISTORY][UI_HISTORY_LINE];
    int32_t historyPosition;  // 0 the edited line, 1..31 browsing
};
extern uiConsole_t qc;

void UI_ImpConsole(const char *text);   // clears the console, registers its commands and variables, prints text
void UI_InitConsole();                  // the console's atoms
void UI_ShutdownConsole();              // nothing to release: the atoms go with the atom list
void UI_ConsoleFrame();                 // moves the panel
// Without push entry 0 becomes text; with push text becomes entry 1 unless it already is.
void UI_Console_SaveToHistory(const char *text, uint8_t push);
void UI_Console_DumpHistory(FILE *file);  // "addConsoleHistory" lines, oldest first
// Writes `command "text"` as one configuration line that replays text as one line.
void UI_WriteHistoryLine(FILE *file, const char *command, const char *text);

// ---- chat ----
constexpr int CHAT_HISTORY = 16;  // entry 0 is the line being edited

void UI_InitChat();       // the label and the input line
void UI_ShutdownChat();   // nothing to release
void UI_ClearChatHistory();
void UI_Chat_SaveToHistory(const char *text, uint8_t push);
void UI_Chat_DumpHistory(FILE *file);  // "addChatHistory" lines, oldest first
