// Key boxes, check boxes and scroll bars, and the magic check of every kind.
#include "common/com_keys.h"
#include "tests/game_ui/ui_fixture.h"

namespace {

using namespace uitest;

std::vector<std::pair<int32_t, int32_t>> binds;  // (old key, key) per bind callback
void OnBind(uiAtom_t *atom) { binds.emplace_back(UI_GetOldKey(atom), UI_GetKey(atom)); }

std::vector<float> reported;
void OnScroll(uiAtom_t *, float position) { reported.push_back(position); }

class Controls : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        binds.clear();
        reported.clear();
    }
    static uiAtom_t *KeyBox(int32_t x, int32_t y) {
        uiAtom_t *box = UI_CreateKeyBox(nullptr, x, y, 33, OnBind, 0);
        UI_SetVisible(box, 1);
        return box;
    }
    static void ClickAt(int32_t x, int32_t y) {
        MoveTo(x, y);
        UI_Key(UI_KEY_MOUSE1, 1);
        UI_Key(UI_KEY_MOUSE1, 0);
    }
};

TEST_F(Controls, AKeyBoxCapturesTheNextKeyIncludingMouse1) {
    struct captureCase_t {
        const char *name;
        int32_t key;  // pressed during the capture
        int32_t bound;
        std::vector<std::pair<int32_t, int32_t>> binds;
    };
    const captureCase_t cases[] = {
        {"Mouse1", UI_KEY_MOUSE1, UI_KEY_MOUSE1, {{17, UI_KEY_MOUSE1}}},
        {"a letter", 30, 30, {{17, 30}}},
        {"Escape cancels", UI_KEY_ESCAPE, 17, {}},
    };
    for (const captureCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        uiAtom_t *box = KeyBox(100, 100);
        UI_SetKey(box, 17);
        binds.clear();
        ClickAt(100 + 10 * CW, 100 + CH);  // the far corner: inside
        EXPECT_TRUE(box->focus);
        EXPECT_EQ(ui.waitingKeyBox, box);
        ui.caretBlink = 1;
        UI_Key(c.key, 1);
        EXPECT_EQ(UI_GetKey(box), c.bound);
        EXPECT_EQ(binds, c.binds);
        EXPECT_FALSE(box->focus);
        EXPECT_EQ(ui.waitingKeyBox, nullptr);
        UI_SetVisible(box, 0);
    }
}

TEST_F(Controls, BindingAKeyTakesItFromOtherVisibleKeyBoxes) {
    uiAtom_t *first = KeyBox(100, 100);
    uiAtom_t *hidden = KeyBox(100, 300);
    uiAtom_t *second = KeyBox(100, 200);
    UI_SetKey(first, 30);
    UI_SetKey(hidden, 30);
    UI_SetVisible(hidden, 0);
    ClickAt(110, 205);
    ClickAt(300, 300);  // Mouse1 anywhere binds itself
    EXPECT_EQ(UI_GetKey(second), UI_KEY_MOUSE1);
    ClickAt(110, 205);
    UI_Key(30, 1);
    EXPECT_EQ(UI_GetKey(second), 30);
    EXPECT_EQ(UI_GetOldKey(second), UI_KEY_MOUSE1);
    EXPECT_EQ(UI_GetKey(first), 0);
    EXPECT_EQ(UI_GetKey(hidden), 30);
}

TEST_F(Controls, AKeyBoxClickOutsideStartsNoCapture) {
    uiAtom_t *box = KeyBox(100, 100);
    ClickAt(100 + 10 * CW + 1, 100);
    ClickAt(100, 100 + CH + 1);
    EXPECT_FALSE(box->focus);
    UI_Key(30, 1);
    EXPECT_EQ(UI_GetKey(box), 0);
    EXPECT_TRUE(binds.empty());
}

TEST_F(Controls, AKeyBoxDrawsItsKeyNameOrTheBlinkingPrompt) {
    struct keyDrawCase_t {
        int32_t key;
        bool focus;
        int32_t blink;
        std::string text;  // empty: none
        std::vector<float> colour;
    };
    const keyDrawCase_t cases[] = {
        {0, false, 1, "", {}},
        {30, false, 1, key_names[30], {1, 1, 1, 1}},
        {30, true, 1, "Input", {0, 1, 0, 1}},
        {30, true, -3, "", {}},
    };
    uiAtom_t *box = KeyBox(100, 100);
    for (const keyDrawCase_t &c : cases) {
        SCOPED_TRACE(c.text);
        UI_SetKey(box, c.key);
        box->focus = c.focus;
        ui.caretBlink = c.blink;
        Draw(box);
        const std::vector<pic_t> pics = Pics();
        ASSERT_EQ(pics.size(), 1u);
        EXPECT_EQ(pics[0].material, 33);
        EXPECT_FLOAT_EQ(pics[0].w, 10 * CW);
        EXPECT_FLOAT_EQ(pics[0].h, CH);
        if (c.text.empty()) {
            EXPECT_TRUE(fake::drawnStrings.empty());
            continue;
        }
        ASSERT_EQ(fake::drawnStrings.size(), 1u);
        EXPECT_EQ(fake::drawnStrings[0].text, c.text);
        EXPECT_EQ(fake::drawnStrings[0].x, 100 + 5 * CW);
        EXPECT_EQ(fake::drawnStrings[0].y, 100 + CH / 2);
        EXPECT_EQ(fake::drawnStrings[0].flags & UI_TEXT_CENTER, UI_TEXT_CENTER);
        EXPECT_EQ(Colour(fake::drawnStrings[0]), c.colour);
    }
    box->focus = 0;
}

TEST_F(Controls, ACheckBoxFlipsOnAPressAndReleaseInside) {
    struct checkCase_t {
        const char *name;
        int32_t pressX, releaseX;
        uint8_t marked;
    };
    const checkCase_t cases[] = {
        {"inside", 110, 110, 1},
        {"edges", 100, 120, 1},
        {"press inside, release outside", 110, 130, 0},
        {"press outside, release inside", 130, 110, 0},
    };
    for (const checkCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        uiAtom_t *check = UI_CreateCheckBox(nullptr, 100, 100, 20, 20, 51, 52, 53, 0);
        UI_SetVisible(check, 1);
        MoveTo(c.pressX, 110);
        UI_Key(UI_KEY_MOUSE1, 1);
        MoveTo(c.releaseX, 110);
        UI_Key(UI_KEY_MOUSE1, 0);
        EXPECT_EQ(UI_GetCheckBoxMarked(check), c.marked);
        EXPECT_EQ(check->checkBox.pressed, 0);
        UI_SetVisible(check, 0);
    }
}

TEST_F(Controls, ACheckBoxDrawsPressedFaceAndMarkInWhite) {
    uiAtom_t *check = UI_CreateCheckBox(nullptr, 100, 100, 20, 20, 51, 52, 53, 0);
    Draw(check);
    ASSERT_EQ(Pics().size(), 1u);
    EXPECT_EQ(Pics()[0].material, 51);
    EXPECT_EQ(Pics()[0].rgba, (std::vector<int>{255, 255, 255, 255}));
    check->checkBox.pressed = 1;
    UI_SetCheckBoxMarked(check, 1);
    Draw(check);
    const std::vector<pic_t> pics = Pics();
    ASSERT_EQ(pics.size(), 3u);
    EXPECT_EQ(pics[0].material, 53);
    EXPECT_EQ(pics[1].material, 51);
    EXPECT_EQ(pics[2].material, 52);
    for (const pic_t &p : pics) EXPECT_EQ(p.rgba, (std::vector<int>{255, 255, 255, 255}));
}

TEST_F(Controls, ScrollPositionsAreHeldTo0To1) {
    uiAtom_t *bar = UI_CreateVerticalScroll(nullptr, 0, 0, 10, 100, 1, 2, 0);
    UI_SetScrollUpdatePosition(bar, OnScroll);
    const std::pair<float, float> cases[] = {{1.5f, 1}, {-0.2f, 0}, {0.25f, 0.25f}, {NAN, 0}};
    for (const auto &[given, stored] : cases) {
        UI_SetScrollPosition(bar, given);
        EXPECT_EQ(UI_GetScrollPosition(bar), stored);
    }
    EXPECT_TRUE(reported.empty());
}

TEST_F(Controls, ScrollBarsDrawTheirThumbAFifthLongAtTheirPosition) {
    uiAtom_t *vertical = UI_CreateVerticalScroll(nullptr, 300, 50, 10, 100, 61, 62, 0);
    uiAtom_t *horizontal = UI_CreateHorizontalScroll(nullptr, 300, 50, 100, 10, 63, 64, 0);
    UI_SetScrollPosition(vertical, 0.5f);
    UI_SetScrollPosition(horizontal, 1);
    Draw(vertical);
    std::vector<pic_t> pics = Pics();
    ASSERT_EQ(pics.size(), 2u);
    EXPECT_EQ(pics[0].material, 61);
    EXPECT_FLOAT_EQ(pics[0].h, 100);
    EXPECT_EQ(pics[1].material, 62);
    EXPECT_FLOAT_EQ(pics[1].x, 300);
    EXPECT_FLOAT_EQ(pics[1].y, 90);
    EXPECT_FLOAT_EQ(pics[1].w, 10);
    EXPECT_FLOAT_EQ(pics[1].h, 20);
    Draw(horizontal);
    pics = Pics();
    ASSERT_EQ(pics.size(), 2u);
    EXPECT_FLOAT_EQ(pics[1].x, 380);
    EXPECT_FLOAT_EQ(pics[1].y, 50);
    EXPECT_FLOAT_EQ(pics[1].w, 20);
    EXPECT_FLOAT_EQ(pics[1].h, 10);
}

TEST_F(Controls, DraggingTheThumbMovesThePositionAlongEitherAxis) {
    for (const bool vertical : {true, false}) {
        SCOPED_TRACE(vertical ? "vertical" : "horizontal");
        uiAtom_t *bar = vertical ? UI_CreateVerticalScroll(nullptr, 300, 50, 10, 100, 1, 2, 0)
                                 : UI_CreateHorizontalScroll(nullptr, 300, 50, 100, 10, 1, 2, 0);
        UI_SetScrollUpdatePosition(bar, OnScroll);
        UI_SetVisible(bar, 1);
        // Along the bar: 300 + offset across, 50 + offset down.
        const auto at = [&](int32_t along) {
            if (vertical) {
                MoveTo(305, 50 + along);
            } else {
                MoveTo(300 + along, 55);
            }
        };
        reported.clear();
        at(60);  // on the track, not the thumb
        UI_Key(UI_KEY_MOUSE1, 1);
        EXPECT_EQ(bar->scroll.dragging, 0);
        at(10);
        UI_Key(UI_KEY_MOUSE1, 1);
        EXPECT_EQ(bar->scroll.dragging, 1);
        EXPECT_TRUE(bar->focus);
        at(18);
        ASSERT_EQ(reported.size(), 1u);
        EXPECT_FLOAT_EQ(UI_GetScrollPosition(bar), 0.1f);
        EXPECT_FLOAT_EQ(reported[0], 0.1f);
        UI_Key(UI_KEY_MOUSE1, 0);
        EXPECT_EQ(bar->scroll.dragging, 0);
        at(19);  // a move without dragging reports nothing
        EXPECT_EQ(reported.size(), 1u);
        // A drag that outruns the thumb ends at the nearer end and stops.
        UI_Key(UI_KEY_MOUSE1, 1);
        at(95);
        EXPECT_EQ(UI_GetScrollPosition(bar), 1.0f);
        EXPECT_EQ(reported.back(), 1.0f);
        EXPECT_EQ(bar->scroll.dragging, 0);
        UI_SetVisible(bar, 0);
    }
}

TEST_F(Controls, ABarWithoutTravelDoesNotMove) {
    uiAtom_t *bar = UI_CreateVerticalScroll(nullptr, 300, 50, 10, 0, 1, 2, 0);
    UI_SetScrollUpdatePosition(bar, OnScroll);
    UI_SetVisible(bar, 1);
    MoveTo(305, 50);
    UI_Key(UI_KEY_MOUSE1, 1);
    MoveTo(305, 50);
    EXPECT_EQ(UI_GetScrollPosition(bar), 0.0f);
    EXPECT_TRUE(reported.empty());
}

TEST_F(Controls, EveryKindStopsOnARecordWithoutItsMagic) {
    const std::pair<uiAtom_t *, const char *> cases[] = {
        {UI_CreatePic(nullptr, 0, 0, 1, 1, 1, nullptr, 0), "MessagePic: Bad Magic"},
        {UI_CreateText(nullptr, 0, 0, "t", nullptr, FONT, 0), "MessageText: Bad Magic"},
        {UI_CreateButton(nullptr, 0, 0, 1, 1, 1, 1, 1, 1, "b", 0), "MessageButton: Bad Magic"},
        {UI_CreateList(nullptr, 0, 0, 1, 1, 1, 1, 0), "MessageList: Bad Magic"},
        {UI_CreateEditBox(nullptr, 0, 0, 1, "e", 1, 0), "MessageEditBox: Bad Magic"},
        {UI_CreateKeyBox(nullptr, 0, 0, 1, nullptr, 0), "MessageKeyBox: Bad Magic"},
        {UI_CreateCheckBox(nullptr, 0, 0, 1, 1, 1, 1, 1, 0), "MessageCheckBox: Bad Magic"},
        {UI_CreateHorizontalScroll(nullptr, 0, 0, 1, 1, 1, 1, 0), "MessageScroll: Bad Magic"},
        {UI_CreateVerticalScroll(nullptr, 0, 0, 1, 1, 1, 1, 0), "MessageScroll: Bad Magic"},
    };
    for (const auto &[atom, message] : cases) {
        fake::errors.clear();
        atom->magic = 0xDEADBEEF;
        Draw(atom);
        EXPECT_EQ(fake::errors, (std::vector<fake::error_t>{{ER_FATAL, message}}));
        EXPECT_TRUE(fake::trisPics.empty());
        EXPECT_TRUE(fake::drawnStrings.empty());
        atom->magic = UI_ATOM_MAGIC;
    }
}

}  // namespace
