// Atoms: routing of the client game's input, placement, focus, and the picture,
// text and button kinds.
#include "tests/game_ui/ui_fixture.h"

namespace {

using namespace uitest;

std::string journal;  // "<atom text><message letter> " per message received

void Record(uiAtom_t *atom, uint32_t message, int32_t a, int32_t) {
    static const char letters[] = "IDdUCMLGA";
    journal += atom->text;
    journal += message < sizeof letters - 1 ? letters[message] : '?';
    if (message == UIM_KEYDOWN || message == UIM_KEYUP || message == UIM_CHAR) journal += std::to_string(a);
    journal += ' ';
}

uiAtom_t *Recorder(const char *name, int32_t x, int32_t y, int32_t w, int32_t h) {
    uiAtom_t *atom = UI_CreatePic(nullptr, x, y, w, h, 1, nullptr, 0);
    UI_SetText(atom, name);
    UI_SetCustomMessageProc(atom, Record);
    UI_SetVisible(atom, 1);
    return atom;
}

class Atoms : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        journal.clear();
    }
};

TEST_F(Atoms, InputReachesVisibleAtomsNewestFirstUnderTheModalAndConsoleRules) {
    enum event_t { MOVE, MOUSE1, KEY, CHAR };
    struct routeCase_t {
        const char *name;
        event_t event;
        int32_t modal;
        float consoleDrop;
        int32_t pointerY;  // virtual
        bool focusOld, hideNew;
        std::string expected;
    };
    // "old" is a plain atom; "new", created after it, belongs to the modal window.
    const routeCase_t cases[] = {
        {"move reaches all, newest first", MOVE, 0, 0, 300, false, false, "newM oldM "},
        {"move under a modal window", MOVE, 1, 0, 300, false, false, "newM "},
        {"move skips hidden atoms", MOVE, 0, 0, 300, false, true, "oldM "},
        {"click reaches unfocused atoms", MOUSE1, 0, 0, 300, false, false, "newd200 oldd200 "},
        {"click under a modal window", MOUSE1, 1, 0, 300, false, false, "newd200 "},
        {"click under the lowered console", MOUSE1, 0, 0.5f, 200, false, false, ""},
        {"click below the lowered console", MOUSE1, 0, 0.5f, 300, false, false, "newd200 oldd200 "},
        {"click below the console, modal open", MOUSE1, 1, 0.5f, 300, false, false, "newd200 oldd200 "},
        {"key to the focused atom only", KEY, 0, 0, 300, true, false, "oldd30 "},
        {"key under a modal window", KEY, 1, 0, 300, true, false, ""},
        {"key under a modal window, console down", KEY, 1, 0.5f, 300, true, false, "oldd30 "},
        {"a console 0.005 down counts as up", KEY, 1, 0.005f, 300, true, false, ""},
        {"key with no focus", KEY, 0, 0, 300, false, false, ""},
        {"char to the focused atom", CHAR, 0, 0, 300, true, false, "oldC97 "},
        {"char under a modal window", CHAR, 1, 0, 300, true, false, ""},
        {"char under a modal window, console down", CHAR, 1, 0.5f, 300, true, false, "oldC97 "},
    };
    uiAtom_t *old = Recorder("old", 0, 0, 640, 480);
    uiAtom_t *fresh = Recorder("new", 0, 0, 640, 480);
    UI_SetMessageBox(fresh, 1);
    for (const routeCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        ui.modal = c.modal;
        qc.dropFraction = 0;
        MoveTo(10, c.pointerY);
        qc.dropFraction = c.consoleDrop;
        old->focus = c.focusOld;
        fresh->visible = !c.hideNew;
        journal.clear();
        switch (c.event) {
        case MOVE: MoveTo(20, c.pointerY); break;
        case MOUSE1: UI_Key(UI_KEY_MOUSE1, 1); break;
        case KEY: UI_Key(30, 1); break;
        case CHAR: UI_Char('a'); break;
        }
        EXPECT_EQ(journal, c.expected);
        fresh->visible = 1;
    }
}

TEST_F(Atoms, KeysAndCharactersOutsideAByteAreIgnored) {
    uiAtom_t *atom = Recorder("a", 0, 0, 640, 480);
    atom->focus = 1;
    for (int32_t v : {-1, 256, 100000, INT32_MIN}) {
        UI_Key(v, 1);
        UI_Key(v, 0);
        UI_Char(v);
    }
    EXPECT_EQ(journal, "");
    UI_Key(255, 0);
    UI_Char(255);
    EXPECT_EQ(journal, "aU255 aC255 ");
}

TEST_F(Atoms, ThePointerIsScaledToVirtualUnitsAndIgnoredWithoutAScreenSize) {
    Recorder("a", 0, 0, 640, 480);
    fake::rendererConfig = {0, 800, 600};
    UI_Mouse(400, 150);
    EXPECT_EQ(ui.mouseX, 320);
    EXPECT_EQ(ui.mouseY, 120);
    EXPECT_EQ(journal, "aM ");
    for (const rendererConfig_t &broken : {rendererConfig_t{0, 0, 600}, rendererConfig_t{0, 800, 0}}) {
        fake::rendererConfig = broken;
        journal.clear();
        UI_Mouse(7, 9);
        EXPECT_EQ(ui.mouseX, 320);
        EXPECT_EQ(ui.mouseY, 120);
        EXPECT_EQ(journal, "");
    }
}

TEST_F(Atoms, AlignmentAppliesToTheAtomAndParentsAddOnlyTheirPositions) {
    struct originCase_t {
        uint32_t align;
        int32_t x, y;
    };
    const originCase_t cases[] = {
        {0, 110, 70},
        {UI_ALIGN_CENTER, 110 - 15, 70 - 5},
        {UI_ALIGN_RIGHT, 110 - 30, 70},
        {UI_ALIGN_CENTER | UI_ALIGN_RIGHT, 110 - 15, 70 - 5},
    };
    uiAtom_t *parent = UI_CreatePic(nullptr, 100, 50, 400, 300, 1, nullptr, UI_ALIGN_CENTER);
    for (const originCase_t &c : cases) {
        uiAtom_t *atom = UI_CreatePic(parent, 10, 20, 30, 11, 1, nullptr, c.align);
        int32_t x = 0, y = 0;
        UI_GetScreenOrigin(atom, &x, &y, 30, 11);
        EXPECT_EQ(x, c.x) << c.align;
        EXPECT_EQ(y, c.y) << c.align;
    }
}

TEST_F(Atoms, AParentChainOfAThousandWorksAndOneMoreIsALoop) {
    uiAtom_t *atom = UI_CreatePic(nullptr, 1, 2, 0, 0, 1, nullptr, 0);
    for (int i = 0; i < UI_MAX_ANCESTORS; i++) atom = UI_CreatePic(atom, 1, 2, 0, 0, 1, nullptr, 0);
    int32_t x = 0, y = 0;
    UI_GetScreenOrigin(atom, &x, &y, 0, 0);
    EXPECT_EQ(x, 1001);
    EXPECT_EQ(y, 2002);
    EXPECT_TRUE(fake::errors.empty());
    atom = UI_CreatePic(atom, 1, 2, 0, 0, 1, nullptr, 0);
    UI_GetScreenOrigin(atom, &x, &y, 0, 0);
    EXPECT_TRUE(fake::Reported(ER_FATAL, "UI_GetScreenOrigin: Stuck in loop"));
}

uiAtom_t *reentryTarget;
void SetFocusOnLoss(uiAtom_t *atom, uint32_t message, int32_t a, int32_t b) {
    Record(atom, message, a, b);
    if (message == UIM_FOCUSLOST) UI_SetFocus(reentryTarget);
}

TEST_F(Atoms, FocusMovesWithLostAndGainedMessages) {
    uiAtom_t *a = Recorder("a", 0, 0, 10, 10);
    uiAtom_t *b = Recorder("b", 0, 0, 10, 10);
    UI_SetFocus(a);
    EXPECT_EQ(journal, "aG ");
    journal.clear();
    UI_SetFocus(b);
    EXPECT_EQ(journal, "aL bG ");
    EXPECT_FALSE(a->focus);
    EXPECT_TRUE(b->focus);
    journal.clear();
    UI_SetVisible(b, 0);
    UI_SetFocus(b);  // again, and while hidden
    EXPECT_EQ(journal, "bG ");
    journal.clear();
    UI_SetFocus(nullptr);
    EXPECT_EQ(journal, "bL ");
    EXPECT_FALSE(b->focus);
    // Setting the focus from inside a focus message is refused.
    UI_SetFocus(a);
    reentryTarget = b;
    UI_SetCustomMessageProc(a, SetFocusOnLoss);
    UI_SetFocus(b);
    EXPECT_TRUE(fake::Reported(ER_FATAL, "UI_SetFocus: Recursive call"));
    UI_SetCustomMessageProc(a, Record);
    fake::errors.clear();
    UI_SetFocus(a);  // the guard is released again
    EXPECT_TRUE(fake::errors.empty());
    EXPECT_TRUE(a->focus);
}

TEST_F(Atoms, NullAtomsAreAccepted) {
    UI_Message(nullptr, UIM_DRAW, 0, 0);
    UI_DefaultMessageProc(nullptr, UIM_DRAW, 0, 0);
    UI_SetVisible(nullptr, 1);
    EXPECT_TRUE(fake::trisPics.empty());
    EXPECT_TRUE(fake::errors.empty());
}

TEST_F(Atoms, HidingAllKeepsTheFocusButStopsInput) {
    uiAtom_t *a = Recorder("a", 0, 0, 10, 10);
    UI_SetFocus(a);
    journal.clear();
    UI_SetAllAtomsNonVisible();
    EXPECT_FALSE(a->visible);
    EXPECT_TRUE(a->focus);
    UI_Key(30, 1);
    UI_Char('x');
    EXPECT_EQ(journal, "");
}

TEST_F(Atoms, APicDrawsItsMaterialOverItsBoxInItsColour) {
    const float red[4] = {1, 0, 0, 1};
    uiAtom_t *parent = UI_CreatePic(nullptr, 100, 50, 0, 0, 1, nullptr, 0);
    uiAtom_t *pic = UI_CreatePic(parent, 20, 10, 64, 32, 9, red, UI_ALIGN_CENTER);
    Draw(pic);
    const std::vector<pic_t> pics = Pics();
    ASSERT_EQ(pics.size(), 1u);
    EXPECT_FLOAT_EQ(pics[0].x, 88);
    EXPECT_FLOAT_EQ(pics[0].y, 44);
    EXPECT_FLOAT_EQ(pics[0].w, 64);
    EXPECT_FLOAT_EQ(pics[0].h, 32);
    EXPECT_EQ(pics[0].material, 9);
    EXPECT_EQ(pics[0].rgba, (std::vector<int>{255, 0, 0, 255}));
    for (uint32_t message : {UIM_INIT, UIM_KEYDOWN, UIM_CHAR, UIM_MOUSEMOVE}) UI_Message(pic, message, 200, 0);
    EXPECT_EQ(fake::trisPics.size(), 1u);
}

TEST_F(Atoms, TextWrapsAtTheLineWidthAndSkipsBlanksAtTheCut) {
    struct wrapCase_t {
        const char *text;
        int32_t lineWidth;
        std::vector<std::string> lines;
    };
    const wrapCase_t cases[] = {
        {"short", 0, {"short"}},
        {"abcdefghijklmnopqrstuvwxyz", 100, {"abcdefghijkl", "mnopqrstuvwx", "yz"}},
        {"abcdefghijkl   mnop", 100, {"abcdefghijkl", "mnop"}},
        {"abcdefghijkl   ", 100, {"abcdefghijkl"}},
        {"abc", 5, {"a", "b", "c"}},  // narrower than a character: one per line
    };
    for (const wrapCase_t &c : cases) {
        SCOPED_TRACE(c.text);
        uiAtom_t *text = UI_CreateText(nullptr, 30, 40, c.text, nullptr, FONT, 0);
        UI_SetLineWidht(text, c.lineWidth);
        Draw(text);
        EXPECT_EQ(Texts(), c.lines);
        for (size_t i = 0; i < fake::drawnStrings.size(); i++) {
            EXPECT_EQ(fake::drawnStrings[i].x, 30);
            EXPECT_EQ(fake::drawnStrings[i].y, 40 + static_cast<float>(i) * (CH + 1));
            EXPECT_EQ(fake::drawnStrings[i].flags & (UI_TEXT_CENTER | UI_TEXT_RAW), 0);
        }
    }
}

TEST_F(Atoms, ACentredTextIsPlacedByItsLengthInCharacters) {
    uiAtom_t *text = UI_CreateText(nullptr, 320, 240, "abcd", nullptr, FONT, UI_ALIGN_CENTER);
    Draw(text);
    ASSERT_EQ(fake::drawnStrings.size(), 1u);
    EXPECT_EQ(fake::drawnStrings[0].x, 320 - 16);
    EXPECT_EQ(fake::drawnStrings[0].y, 240 - 8);
}

TEST_F(Atoms, WrappingWithAFontWithoutACellDrawsNothing) {
    uiAtom_t *text = UI_CreateText(nullptr, 0, 0, "some text to wrap", nullptr, NO_CELL_FONT, 0);
    UI_SetLineWidht(text, 100);
    Draw(text);
    EXPECT_TRUE(fake::drawnStrings.empty());
}

std::string calls;
void Leave(uiAtom_t *) { calls += "leave "; }
void Enter(uiAtom_t *) { calls += "enter "; }
void Press(uiAtom_t *) { calls += "press "; }
void Release(uiAtom_t *) { calls += "release "; }

TEST_F(Atoms, ButtonCallbacksFollowThePointerAndMouse1) {
    struct step_t {
        char action;  // m move, d press, u release, k other key
        int32_t x, y;
    };
    struct buttonCase_t {
        const char *name;
        std::vector<step_t> steps;
        std::string calls;
        int32_t material;  // the face afterwards
    };
    const buttonCase_t cases[] = {
        {"moves inside call enter each time", {{'m', 110, 60}, {'m', 111, 61}}, "enter enter ", 2},
        {"press and release inside", {{'m', 110, 60}, {'d', 0, 0}, {'u', 0, 0}}, "enter press release ", 2},
        {"edges count as inside", {{'m', 150, 70}, {'d', 0, 0}}, "enter press ", 3},
        {"press, move out, release out",
         {{'m', 110, 60}, {'d', 0, 0}, {'m', 200, 60}, {'u', 0, 0}},
         "enter press leave ",
         1},
        {"a move inside while pressed changes nothing",
         {{'m', 110, 60}, {'d', 0, 0}, {'m', 112, 60}},
         "enter press ",
         3},
        {"press outside", {{'m', 10, 10}, {'d', 0, 0}, {'u', 0, 0}}, "leave ", 1},
        {"other keys", {{'m', 110, 60}, {'k', 0, 0}}, "enter ", 2},
    };
    for (const buttonCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        uiAtom_t *button = UI_CreateButton(nullptr, 100, 50, 50, 20, 1, 2, 3, 4, "Go", 0);
        UI_SetButtonFunctions(button, Leave, Enter, Press, Release);
        UI_SetVisible(button, 1);
        calls.clear();
        fake::localSounds.clear();
        for (const step_t &s : c.steps) {
            switch (s.action) {
            case 'm': MoveTo(s.x, s.y); break;
            case 'd': UI_Key(UI_KEY_MOUSE1, 1); break;
            case 'u': UI_Key(UI_KEY_MOUSE1, 0); break;
            case 'k': UI_Key(UI_KEY_MOUSE2, 1); break;
            }
        }
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(button->material, c.material);
        const bool pressed = c.calls.find("press") != std::string::npos;
        EXPECT_EQ(fake::localSounds, pressed ? std::vector<int32_t>{CLICK_SOUND} : std::vector<int32_t>{});
        if (pressed) {
            EXPECT_TRUE(button->focus);
        }
        UI_SetVisible(button, 0);
    }
}

TEST_F(Atoms, AButtonDrawsHighlightFaceAndCentredCaption) {
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1};
    uiAtom_t *button = UI_CreateButton(nullptr, 100, 50, 60, 20, 11, 12, 13, 14, "Play", 0);
    UI_SetBGColor(button, grey);
    Draw(button);
    std::vector<pic_t> pics = Pics();
    ASSERT_EQ(pics.size(), 1u);
    EXPECT_EQ(pics[0].material, 11);
    EXPECT_EQ(pics[0].rgba, (std::vector<int>{127, 127, 127, 255}));
    ASSERT_EQ(fake::drawnStrings.size(), 1u);
    EXPECT_EQ(fake::drawnStrings[0].text, "Play");
    EXPECT_EQ(fake::drawnStrings[0].x, 130);
    EXPECT_EQ(fake::drawnStrings[0].y, 60);
    EXPECT_EQ(fake::drawnStrings[0].font, FONT);
    EXPECT_EQ(fake::drawnStrings[0].flags & UI_TEXT_CENTER, UI_TEXT_CENTER);
    UI_SetHighLight(button, 1);
    Draw(button);
    pics = Pics();
    ASSERT_EQ(pics.size(), 2u);
    EXPECT_EQ(pics[0].material, 14);
    EXPECT_EQ(pics[0].rgba, (std::vector<int>{255, 255, 255, 255}));
    EXPECT_EQ(pics[1].material, 11);
    EXPECT_FLOAT_EQ(pics[1].x, 100);
    EXPECT_FLOAT_EQ(pics[1].y, 50);
    EXPECT_FLOAT_EQ(pics[1].w, 60);
    EXPECT_FLOAT_EQ(pics[1].h, 20);
}

}  // namespace
