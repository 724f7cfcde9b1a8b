// The toolkit's test bench: the stand-in engine with fonts of known cells, an empty
// atom list, and what the atoms drew read back in virtual 640 x 480 units.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "game/g_main.h"
#include "game_ui/ui_atom.h"
#include "game_ui/ui_local.h"
#include "tests/game/fake_engine.h"

namespace uitest {

constexpr int32_t FONT = 3;  // the normal font
constexpr int32_t CW = fake::FAKE_FONT_CHAR_WIDTH, CH = fake::FAKE_FONT_CHAR_HEIGHT;
constexpr int32_t NO_CELL_FONT = 99;  // answers a character cell of 0 by 0
constexpr int32_t WHITE_MATERIAL = 40;
constexpr int32_t CLICK_SOUND = 77;

// A picture as the screen shows it, in virtual units.
struct pic_t {
    float x, y, w, h;
    int32_t material;
    std::vector<int> rgba;
};

inline std::vector<pic_t> Pics() {
    std::vector<pic_t> out;
    for (const fake::trisPic_t &p : fake::trisPics) {
        float x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f;
        for (const drawVert_t &v : p.verts) {
            x0 = std::min(x0, v.xyz[0]);
            x1 = std::max(x1, v.xyz[0]);
            y0 = std::min(y0, v.xyz[1]);
            y1 = std::max(y1, v.xyz[1]);
        }
        const float sx = 640.0f / fake::FAKE_DEST_WIDTH, sy = 480.0f / fake::FAKE_DEST_HEIGHT;
        out.push_back({x0 * sx, (fake::FAKE_DEST_HEIGHT - y1) * sy, (x1 - x0) * sx, (y1 - y0) * sy, p.material,
                       std::vector<int>(p.verts[0].rgba, p.verts[0].rgba + 4)});
    }
    return out;
}

inline std::vector<std::string> Texts() {
    std::vector<std::string> out;
    for (const fake::drawnString_t &s : fake::drawnStrings) out.push_back(s.text);
    return out;
}

inline std::vector<float> Colour(const fake::drawnString_t &s) { return {s.colour, s.colour + 4}; }

inline void Draw(uiAtom_t *atom) {
    fake::trisPics.clear();
    fake::drawnStrings.clear();
    UI_Message(atom, UIM_DRAW, 0, 0);
}

// The pointer at a virtual position (the stand-in screen is twice as large).
inline void MoveTo(int32_t x, int32_t y) { UI_Mouse(x * 2, y * 2); }
inline void Click(int32_t key, int32_t down) { UI_Key(key, down); }

class UiTest : public testing::Test {
protected:
    void SetUp() override {
        fake::Install();
        fake::fontCells[NO_CELL_FONT] = {0, 0};
        ui = ui_t{};
        qc = uiConsole_t{};
        qgame = fake::qg;
        for (int32_t &m : uiMedia) m = 0;
        uiMedia[UIMEDIA_NORMAL_FONT] = FONT;
        uiMedia[UIMEDIA_WHITE] = WHITE_MATERIAL;
        uiMedia[UIMEDIA_CLICK_SOUND] = CLICK_SOUND;
        UI_InitAtoms();
    }
    void TearDown() override {
        UI_SetFocus(nullptr);
        UI_ShutdownAtoms();
        fake::Uninstall();
    }
};

}  // namespace uitest
