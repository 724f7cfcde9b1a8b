// The menu's test bench: every screen and window built as the interface builds them,
// frames run the way the interface runs them, and clicks at virtual positions.
#pragma once

#include <cstring>
#include <map>
#include <string>

#include "common/com_keys.h"
#include "game_cl/cg_local.h"
#include "game_ui/ui_menus.h"
#include "tests/game_ui/ui_fixture.h"

namespace uitest {

constexpr int32_t MEDIA_BASE = 500;  // uiMedia[i] is MEDIA_BASE + i, apart from the toolkit's own slots

class MenuTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        for (int32_t i = 0; i < UIMEDIA_COUNT; i++)
            if (uiMedia[i] == 0) uiMedia[i] = MEDIA_BASE + i;
        memset(&cg, 0, sizeof cg);
        Prepare();
        UI_InitMenu();
    }
    void TearDown() override {
        UI_ShutdownMenu();
        UiTest::TearDown();
    }
    // What the engine holds before the menu is built.
    virtual void Prepare() {}

    // One interface frame: every atom hidden, then the menu drawn and recorded anew.
    static void Frame() {
        qgame.frameCount++;
        UI_SetAllAtomsNonVisible();
        fake::trisPics.clear();
        fake::drawnStrings.clear();
        UI_DrawMenu();
    }

    // Opens a screen as a player would meet it: not shown in the frame before.
    static void Enter(int32_t menu) {
        cg.menu = CG_MENU_NONE;
        cg.ecl.state = ECL_CONNECTED;
        Frame();
        cg.ecl.state = ECL_DISCONNECTED;
        cg.menu = menu;
        Frame();
    }

    static void ClickAt(int32_t x, int32_t y) {
        MoveTo(x, y);
        UI_Key(UI_KEY_MOUSE1, 1);
        UI_Key(UI_KEY_MOUSE1, 0);
    }

    static bool Drawn(const std::string &text) {
        for (const std::string &t : Texts())
            if (t == text) return true;
        return false;
    }

    static bool PicDrawn(int32_t material) {
        for (const pic_t &p : Pics())
            if (p.material == material) return true;
        return false;
    }

    static std::string Text(const uiAtom_t *atom) {
        char text[UI_ATOM_TEXT];
        UI_GetText(atom, text);
        return text;
    }

    // Runs the bind and unbind commands added so far on a key -> command table.
    static std::map<std::string, std::string> RunBindings(std::map<std::string, std::string> keys) {
        for (const std::string &line : fake::added) {
            const std::vector<std::string> w = fake::Words(line);
            if (w.size() == 2 && w[0] == "unbind") keys.erase(w[1]);
            if (w.size() == 4 && w[0] == "bind") keys[w[1]] = w[3];
        }
        return keys;
    }
};

}  // namespace uitest
