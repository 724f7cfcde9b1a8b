// The server browser: three lists of game servers (the master's public list, the
// local network, the player's favourites), the polls that ask each server for its
// state, the answers that fill the records, and the CONNECT screen that shows one
// list filtered and sorted and connects to the marked server.
#pragma once

#include <cstdint>
#include <cstdio>

#include "common/com_msg.h"
#include "game_ui/ui_main.h"

constexpr int32_t UI_MAX_SERVERS = 1024;         // records per list
constexpr int32_t UI_MAX_SERVER_ROWS = UI_MAX_SERVERS - 1;  // the last index entry always ends the rows
constexpr int32_t UI_SERVER_TEXT = 18;           // name, map, game, version with the zero byte
constexpr int32_t UI_SERVER_RULES = 3;           // rules tag with the zero byte
constexpr int32_t UI_SERVER_ROW_TEXT = 96;       // one row of the list with its line break and zero byte
constexpr int32_t UI_POLL_FAVORITES = 1000;      // poll identifier bases: base + record index
constexpr int32_t UI_POLL_PUBLIC = 2000;
constexpr int32_t UI_POLL_LAN = 3000;
constexpr int32_t UI_POLL_END = 4000;            // identifiers from here on are no poll of ours
constexpr uint16_t UI_LAN_FIRST_PORT = 14666;    // the broadcast goes to this port and the next nine
constexpr int32_t UI_LAN_PORTS = 10;
constexpr int32_t UI_POLL_BURST = 10;            // a refresh pauses after every tenth poll ...
constexpr int32_t UI_POLL_PAUSE_MSEC = 2;        // ... for this long
constexpr int32_t UI_CONNECT_TEXT = 256;         // the connect command with a password, zero byte included

constexpr uint32_t UI_SERVER_PASSWORD = 1;  // uiServer_t.flags: the server wants a password

enum uiServerOs_t : uint32_t {
    UI_OS_WINDOWS = 1,
    UI_OS_FREEBSD = 2,
    UI_OS_LINUX = 3,
};

// One listed server.  Texts never hold a byte below 32: every answer is cleaned
// when it is stored, so one server cannot add rows to the list.
struct uiServer_t {
    char name[UI_SERVER_TEXT];  // empty: no answer since the last refresh
    netadr_t address;
    int32_t players;
    int32_t maxPlayers;
    uint32_t flags;             // UI_SERVER_PASSWORD
    uint32_t os;                // uiServerOs_t
    char rules[UI_SERVER_RULES];  // "DM", "CR", "CC" or "F"
    char map[UI_SERVER_TEXT];
    char game[UI_SERVER_TEXT];
    char version[UI_SERVER_TEXT];
    int32_t ping;               // ms, of the last answer
};

// The lists: records packed from 0, the count in use, and per row of the list atom
// the record shown there (the first -1 ends the rows).
extern uiServer_t ui_publicList[UI_MAX_SERVERS], ui_lanList[UI_MAX_SERVERS], ui_favoriteList[UI_MAX_SERVERS];
extern int32_t ui_numPublicList, ui_numLanList, ui_numFavoriteList;
extern int32_t ui_publicIndex[UI_MAX_SERVERS], ui_lanIndex[UI_MAX_SERVERS], ui_favoriteIndex[UI_MAX_SERVERS];

// Handlers of "addPublic", "addLan", "addFavorite" (one address each) and
// "getLanServers" (empties the LAN list and broadcasts a poll).
void UI_AddPublic_f();
void UI_AddLan_f();
void UI_AddFavorite_f();
void UI_GetLanServers_f();
// UI_ServerInfo (an answer) and UI_DumpServers (the configuration lines) are entry
// points, declared in ui_main.h.
// Adds the server written in text to the list, or finds it there; polls it unless the
// list is the LAN list.  The record's index, or -1 (full list, empty text, no address).
int32_t UI_AddIp(int32_t list, const char *text);
// Removes one record; the ones behind it move up.  Nothing for an index out of range.
void UI_RemoveIp(int32_t list, int32_t index);
// Empties the list.
void UI_ClearServers(int32_t list);
// Sends "connect <server> "<password>"" for the server that asked for a password.
// False, with a message, when the password holds a quote or a control byte or the
// command would not fit.
bool UI_ConnectWithPassword(const char *password);
// The order of the rows: answered servers first, among them the smaller ping first.
// A strict weak ordering: equal pings, and two unanswered servers, compare equal.
int UI_ServerSort(const uiServer_t *a, const uiServer_t *b);
// "Windows", "FreeBSD", "Linux", or empty for any other number.
const char *UI_OsName(uint32_t os);
// The screen: built once with the menus, drawn every frame the menu shows it.
void UI_Connect_Init();
void UI_Connect_Draw();
