// The lobby (the title screen while not connected), the connected server's
// information and the scrolling credits.
#pragma once

#include <cstdint>

constexpr int32_t UI_LOBBY_BUTTONS = 5;
constexpr int32_t UI_SERVERINFO_ROWS = 19;
constexpr int32_t UI_CREDITS = 14;           // entries of the credits
constexpr float UI_LOGO_DEGREES_PER_SECOND = 5.0f;
constexpr float UI_CREDITS_SPEED = 20.0f;    // virtual units per second
constexpr float UI_CREDITS_START = 300.0f;   // scroll offset at start
constexpr float UI_CREDITS_WRAP_BELOW = -850.0f;
constexpr float UI_CREDITS_WRAP = 1250.0f;   // added when the offset falls below UI_CREDITS_WRAP_BELOW

// One credits entry: where it stands in the scroll, and what it shows.
struct uiCredit_t {
    float position;      // 0..870, ascending
    const char *name;    // null: no name line
    const char *role;    // null: no role line
    int32_t portrait;    // index of uiMedia, 0 no picture
};

void UI_Lobby_Init();
void UI_Lobby_Draw();
void UI_ServerInfo_Init();
void UI_ServerInfo_Draw();
void UI_Credits_Draw();
// The alpha of a credits entry whose top is at y: it fades in over 50 units from
// y 70, is opaque from 120 to 330, and fades out over the next 50.
float UI_CreditAlpha(float y);
