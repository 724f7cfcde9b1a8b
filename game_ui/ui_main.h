// The user interface as the module's call dispatcher and the client game reach it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "common/com_msg.h"

struct uiAtom_t;

// The modal window on show (ui.modal).
enum uiModal_t : int32_t {
    MODAL_NONE = 0,
    MODAL_QUIT = 1,
    MODAL_LEAVE = 2,
    MODAL_MAP_ERROR = 3,
    MODAL_SERVER_ERROR = 4,
    MODAL_NEW_VERSION = 5,
    MODAL_SERVER_PASSWORD = 6,
    MODAL_CONNECTING = 7,
    MODAL_DISCONNECTED = 8,
};

// The server list the browser shows (ui.serverList).
enum uiServerList_t : uint32_t {
    UI_LIST_PUBLIC = 0,
    UI_LIST_LAN = 1,
    UI_LIST_FAVORITES = 2,
};

// The menu fade (ui.fadeState).
enum uiFade_t : uint32_t {
    UI_FADE_NONE = 0,
    UI_FADE_UP = 2,
};

// The interface's record; UI_Imp clears it.
struct ui_t {
    uint8_t initialised;        // between UI_Init and UI_Shutdown
    int32_t caretBlink;         // positive: carets and the key box's prompt show; edits set it to 1
    int32_t mouseX, mouseY;     // pointer in virtual 640 x 480 units
    uint8_t ctrlHeld, shiftHeld;  // modifiers as the edit boxes saw them
    int32_t modal;              // uiModal_t
    uint32_t serverList;        // uiServerList_t
    int32_t chatLineY;          // virtual y just below the notify lines
    uint32_t fadeState;         // uiFade_t
    float fadeAlpha;            // 1 a black overlay, 0 none
    uint8_t spectatorMenu;      // the spectator menu is on screen
    uint8_t aimMode;            // a spectator aims with the mouse instead of using the cursor
    uiAtom_t *waitingKeyBox;    // the key box waiting for a key; null none
    uint8_t versionShown;       // the new-version window has been opened once
    netadr_t passwordServer;    // the server that asked for a password
    uint8_t logoReplaced;       // the title screen shows the still picture
};
extern ui_t ui;

void UI_ConsolePrint(const char *text);          // call 18: appends to the interface's console
uint8_t UI_AllowBinds();                         // call 19: 1 when no part of the interface holds the keyboard
void UI_DumpServers(FILE *config);               // call 21: favourites and histories into the configuration being written
void UI_Imp(const char *consoleText);            // call 22: the console text printed before the module loaded
void UI_Init();                                  // call 23
void UI_Shutdown();                              // call 24
void UI_ShowDisconnectWindow(const char *text);  // call 27

// ---- what the client game calls ----
void UI_Frame();                     // once per client frame, before the screen is drawn
void UI_RegisterMedia();             // at every renderer start
int32_t UI_GetUserMapImage();        // the default loading picture; 0 none
void UI_BeginCinematic(const char *path);  // the intro logo (the path is not played)
void UI_EndCinematic();              // the title screen fades up
uint8_t UI_IsSpectatorAimMode();     // 1: a spectator aims instead of using the cursor
void UI_MenuFadeUp();                // the menu comes up out of black over one second
void UI_SetFocus(uiAtom_t *atom);    // null: nothing has the focus
// Input.
void UI_Key(int32_t key, uint8_t down);
void UI_Char(int32_t code);
void UI_Mouse(int32_t x, int32_t y);
// Console and chat.
float UI_ConsoleIsDown();            // the console's drop fraction; 0 up (0.01 or less)
uint8_t UI_ConsoleIsFullscreen();    // 1 when the console covers the whole screen
void UI_ConsoleForceUp();            // closes the console at once
void UI_ConsoleForceDown();          // the console at half height at once
void UI_ConsoleClearNotify();        // forgets the notify lines
void UI_ConsoleNoPrint();            // does nothing
void UI_Chat_ClearBuffer();          // empties the chat input line
// Drawing layers of the screen.
void UI_DrawCinematic();
void UI_DrawMenu();
void UI_DrawNotifyConsole();
void UI_DrawChat();
void UI_DrawConsole();
// The loading picture: a map download (1) or media loading (0) with its step text;
// stepCount 0 no dots, negative an empty row, else stepCount dots up to currentStep.
void UI_DrawLoadingMap(int32_t downloading, const char *stepText, int32_t currentStep, int32_t stepCount);
// Server browser: a server's answer to a poll, and an address from the master's list.
void UI_ServerInfo(const netadr_t *from, int32_t id, int32_t time, uint8_t password, const char *name,
                   const char *map, const char *rules, int32_t players, int32_t maxPlayers, const char *game,
                   int32_t version, int32_t flags, int32_t os, const char *versionText);
int32_t UI_AddIp(int32_t list, const char *address);
