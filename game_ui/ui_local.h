// The interface's shared state: the record that the toolkit, the console and the
// screens read and write, the media handles they draw with, and the console's drop.
#pragma once

#include <cstdint>

struct uiAtom_t;

constexpr float UI_CONSOLE_UP_FRACTION = 0.01f;  // a console dropped no further than this counts as up

// Numbers of the modal windows; only one is open at a time.
enum uiModal_t : uint32_t {
    UI_MODAL_NONE = 0,
    UI_MODAL_QUIT = 1,
    UI_MODAL_LEAVE = 2,
    UI_MODAL_MAP_ERROR = 3,
    UI_MODAL_CONNECT_ERROR = 4,
    UI_MODAL_NEW_VERSION = 5,
    UI_MODAL_SERVER_PASSWORD = 6,
    UI_MODAL_CONNECTING = 7,
    UI_MODAL_DISCONNECTED = 8,
};

struct uiState_t {
    uint8_t initialised;
    int32_t caretBlink;         // positive: carets and the key box's prompt are shown; edits set it to 1
    int32_t mouseX, mouseY;     // pointer in virtual 640 x 480 units
    uint8_t ctrlHeld, shiftHeld;  // modifiers as the edit boxes saw them
    uint32_t modal;             // uiModal_t
    uint32_t serverList;        // 0 public, 1 LAN, 2 favourites
    int32_t chatLineY;          // virtual y just below the notify lines
    uint32_t fadeState;         // 0 none, 2 fading up
    float fadeAlpha;            // 1 black overlay, 0 none
    uint8_t spectatorMenu;
    uint8_t aimMode;
    uiAtom_t *waitingKeyBox;    // the key box capturing a key; null when none
    uint8_t versionShown;
    uint8_t passwordServer[12];  // netadr_t of the server that asked for a password, byte for byte
    uint8_t logoReplaced;
};
extern uiState_t ui;

// Slots of uiMedia that the toolkit draws and sounds with; the table's order is fixed.
enum uiMediaIndex_t : int32_t {
    UIMEDIA_NORMAL_FONT = 0,
    UIMEDIA_WHITE = 6,
    UIMEDIA_CLICK_SOUND = 48,
    UIMEDIA_COUNT = 49,
};
extern int32_t uiMedia[UIMEDIA_COUNT];  // 0: not registered

// The console as the input routing sees it.
struct uiConsole_t {
    float dropFraction;  // how far the panel is down: 0 up, 1 the whole screen
};
extern uiConsole_t qc;

// The console's drop fraction, or 0 when it is UI_CONSOLE_UP_FRACTION or less (up).
float UI_ConsoleIsDown();
