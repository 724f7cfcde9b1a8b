// The interface started as the client game starts it: registered, its atoms built,
// fonts of known cells, and helpers that type, press and read the console back.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "game_cl/cg_local.h"
#include "tests/game_ui/ui_fixture.h"

namespace uitest {

constexpr int32_t CONSOLE_FONT = 11, NOTIFY_FONT = 12, CHAT_FONT = 13;

class UiCore : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        uiMedia[UIMEDIA_CONSOLE_FONT] = CONSOLE_FONT;
        uiMedia[UIMEDIA_NOTIFY_FONT] = NOTIFY_FONT;
        uiMedia[UIMEDIA_CHAT_FONT] = CHAT_FONT;
        cg.menu = CG_MENU_NONE;
        cg.chatMode = 0;
        cg.controlHeld = 0;
        cg.cursorMode = 0;
        cg.ecl = ecl_t{};
        cg.predicted.moveType = 0;
        UI_Imp("");
        UI_Init();
    }
    void TearDown() override {
        UI_Shutdown();
        UI_ClearChatHistory();  // other suites of this program write the histories too
        UiTest::TearDown();
    }
    static void Type(const std::string &text) {
        for (unsigned char c : text) UI_Char(c);
    }
    static void Press(int32_t key) {
        UI_Key(key, 1);
        UI_Key(key, 0);
    }
    // Key pressed while modifier is held.
    static void With(int32_t modifier, int32_t key) {
        UI_Key(modifier, 1);
        Press(key);
        UI_Key(modifier, 0);
    }
    static void Frame(uint32_t ms) {
        fake::Advance(ms);
        qgame = fake::qg;
        UI_Frame();
    }
    static void Run(const std::string &line) { fake::Run(line); }
    // The console at full height, drawn once so that its input line has the focus.
    static void DropConsole() {
        if (qc.dropFraction <= 0.0f) Run("con_toggle 1 fast");
        DrawConsole();
    }
    static void DrawConsole() {
        fake::drawnStrings.clear();
        fake::trisPics.clear();
        UI_DrawConsole();
    }
    // The texts drawn with a font and exactly these flags, in order (the console's rows
    // are raw without a shadow, the notify rows raw with one).
    static std::vector<fake::drawnString_t> DrawnWith(int32_t font, int32_t flags = UI_TEXT_RAW) {
        std::vector<fake::drawnString_t> out;
        for (const fake::drawnString_t &s : fake::drawnStrings)
            if (s.font == font && s.flags == flags) out.push_back(s);
        return out;
    }
    // The ring's text from cell `from` up to the end marker, colour dropped.
    static std::string RingText(uint32_t from) {
        std::string out;
        for (uint32_t i = from; i != qc.writeIndex; i++) out += static_cast<char>(qc.text[i % CON_TEXT_SIZE] & 0xFF);
        return out;
    }
};

}  // namespace uitest
