// The edit box: typing, caret and selection keys, clipboard, scrolling and drawing.
#include "game_cl/cg_local.h"
#include "tests/game_ui/ui_fixture.h"

namespace {

using namespace uitest;

class Edit : public UiTest {
protected:
    uiAtom_t *box = nullptr;
    void SetUp() override {
        UiTest::SetUp();
        cg.controlHeld = 0;
        box = Make(10, "", 0);
    }
    void TearDown() override {
        cg.controlHeld = 0;
        UiTest::TearDown();
    }
    uiAtom_t *Make(int32_t width, const char *text, uint32_t align) {
        uiAtom_t *atom = UI_CreateEditBox(nullptr, 100, 200, width, text, 28, align);
        UI_SetVisible(atom, 1);
        UI_SetFocus(atom);
        return atom;
    }
    static void Type(const std::string &text) {
        for (unsigned char c : text) UI_Char(c);
    }
    static void Press(int32_t key, int times = 1) {
        for (int i = 0; i < times; i++) {
            UI_Key(key, 1);
            UI_Key(key, 0);
        }
    }
    // Presses key while modifier is held.
    static void With(int32_t modifier, int32_t key, int times = 1) {
        UI_Key(modifier, 1);
        Press(key, times);
        UI_Key(modifier, 0);
    }
    const uiEditTail_t &e() const { return box->edit; }
    std::string Text() const { return box->text; }
};

TEST_F(Edit, AMaxTextOf30Accepts29Characters) {
    UI_SetEditMaxText(box, 30);
    Type(std::string(30, 'x'));
    EXPECT_EQ(Text(), std::string(29, 'x'));
    EXPECT_EQ(e().length, 29);
    EXPECT_EQ(e().caret, 29);
}

TEST_F(Edit, ACapacityBeyondTheTextFieldIsHeldToIt) {
    UI_SetEditMaxText(box, 5000);
    Type(std::string(1100, 'y'));
    EXPECT_EQ(e().length, UI_ATOM_TEXT - 1);
    EXPECT_EQ(Text(), std::string(UI_ATOM_TEXT - 1, 'y'));
}

TEST_F(Edit, RefusedCharactersAreNotTyped) {
    for (int32_t c : {1, 9, 31, 127, 144, 147, 159, 3, 22, 24}) UI_Char(c);  // the last three are the clipboard keys
    EXPECT_EQ(Text(), "");
    for (int32_t c : {32, 97, 126, 145, 146, 160, 255}) UI_Char(c);
    EXPECT_EQ(Text(), " a~\x91\x92\xA0\xFF");
}

TEST_F(Edit, TheViewFollowsTheCaretInStepsOf8) {
    Type("abcdefghij");
    EXPECT_EQ(e().scroll, 0);
    Type("k");
    EXPECT_EQ(e().scroll, 8);
    Press(UI_KEY_HOME);
    EXPECT_EQ(e().scroll, 0);
    Press(UI_KEY_END);
    EXPECT_EQ(e().scroll, 8);
    Press(UI_KEY_LEFT, 3);
    EXPECT_EQ(e().caret, 8);
    EXPECT_EQ(e().scroll, 8);
    Press(UI_KEY_LEFT);
    EXPECT_EQ(e().scroll, 0);
}

TEST_F(Edit, TextLongerThanTheCapacityIsReachedWithoutHanging) {
    struct longCase_t {
        int32_t width, maxText;
    };
    const longCase_t cases[] = {{10, 30}, {0, 30}, {-5, 30}, {10, 0}, {3, 1024}};
    for (const longCase_t &c : cases) {
        SCOPED_TRACE(c.width);
        uiAtom_t *atom = Make(c.width, "", 0);
        UI_SetEditMaxText(atom, c.maxText);
        UI_SetText(atom, std::string(100, 'z').c_str());
        Press(UI_KEY_END);
        EXPECT_EQ(atom->edit.caret, 100);
        EXPECT_GE(atom->edit.scroll, 0);
        EXPECT_LE(atom->edit.scroll, 100);
        if (c.width >= 0) {
            EXPECT_LE(atom->edit.caret - atom->edit.scroll, c.width);
        }
        Press(UI_KEY_HOME);
        EXPECT_EQ(atom->edit.scroll, 0);
    }
}

TEST_F(Edit, ShiftExtendsTheSelectionAndTypingReplacesIt) {
    Type("hello world");
    With(UI_KEY_LSHIFT, UI_KEY_LEFT, 3);
    EXPECT_EQ(e().caret, 8);
    EXPECT_EQ(e().anchor, 11);
    Type("!");
    EXPECT_EQ(Text(), "hello wo!");
    EXPECT_EQ(e().caret, 9);
    EXPECT_EQ(e().anchor, 9);
    With(UI_KEY_RSHIFT, UI_KEY_HOME);
    Press(UI_KEY_DELETE);
    EXPECT_EQ(Text(), "");
}

TEST_F(Edit, CaretAndDeletionKeys) {
    struct keyCase_t {
        const char *name;
        int32_t caret;  // before
        int32_t modifier;  // 0 none
        int32_t key;
        std::string text;
        int32_t caretAfter;
    };
    const keyCase_t cases[] = {
        {"backspace", 5, 0, UI_KEY_BACKSPACE, "ab c_ ef", 4},
        {"backspace at the start", 0, 0, UI_KEY_BACKSPACE, "ab cd_ ef", 0},
        {"control backspace takes the word, not the blank", 6, UI_KEY_CONTROL, UI_KEY_BACKSPACE, "ab  ef", 3},
        {"delete", 3, 0, UI_KEY_DELETE, "ab d_ ef", 3},
        {"delete at the end", 9, 0, UI_KEY_DELETE, "ab cd_ ef", 9},
        {"control delete takes the word and its blank", 3, UI_KEY_CONTROL, UI_KEY_DELETE, "ab ef", 3},
        {"control left", 9, UI_KEY_CONTROL, UI_KEY_LEFT, "ab cd_ ef", 7},
        {"control left from a blank", 7, UI_KEY_CONTROL, UI_KEY_LEFT, "ab cd_ ef", 3},
        {"control right", 0, UI_KEY_CONTROL, UI_KEY_RIGHT, "ab cd_ ef", 3},
        {"right at the end", 9, 0, UI_KEY_RIGHT, "ab cd_ ef", 9},
        {"left at the start", 0, 0, UI_KEY_LEFT, "ab cd_ ef", 0},
        {"end", 2, 0, UI_KEY_END, "ab cd_ ef", 9},
        {"an unused key", 2, 0, UI_KEY_UP, "ab cd_ ef", 2},
    };
    for (const keyCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        UI_SetText(box, "ab cd_ ef");
        UI_SetEditCaret(box, c.caret, c.caret);
        if (c.modifier) {
            With(c.modifier, c.key);
        } else {
            Press(c.key);
        }
        EXPECT_EQ(Text(), c.text);
        EXPECT_EQ(e().length, static_cast<int32_t>(c.text.size()));
        EXPECT_EQ(e().caret, c.caretAfter);
        EXPECT_EQ(e().anchor, c.caretAfter);
    }
}

TEST_F(Edit, PasteInsertsTheClipboardsFirstLineAtTheCaret) {
    struct pasteCase_t {
        const char *clipboard;
        std::string text;
        int32_t caret;
    };
    const pasteCase_t cases[] = {
        {"one\ntwo", "abonecd", 5},
        {"one\r\ntwo", "abonecd", 5},
        {"\nfirst line empty", "abcd", 2},
        {"", "abcd", 2},
    };
    cg.controlHeld = 1;
    for (const pasteCase_t &c : cases) {
        SCOPED_TRACE(c.clipboard);
        UI_SetText(box, "abcd");
        UI_SetEditCaret(box, 2, 2);
        fake::clipboard = c.clipboard;
        UI_Char(UI_CHAR_PASTE);
        EXPECT_EQ(Text(), c.text);
        EXPECT_EQ(e().caret, c.caret);
        EXPECT_EQ(e().anchor, c.caret);
    }
    // A paste that would not fit does nothing; one that fits replaces the selection.
    UI_SetText(box, std::string(1000, 'a').c_str());
    fake::clipboard = std::string(23, 'b');
    UI_Char(UI_CHAR_PASTE);
    EXPECT_EQ(e().length, 1000);
    UI_SetText(box, "abcd");
    UI_SetEditCaret(box, 1, 3);
    fake::clipboard = "XY";
    UI_Char(UI_CHAR_PASTE);
    EXPECT_EQ(Text(), "aXYd");
    // The result keeps to the box's capacity.
    UI_SetEditMaxText(box, 6);
    UI_SetText(box, "abcd");
    UI_SetEditCaret(box, 4, 4);
    fake::clipboard = "12345";
    UI_Char(UI_CHAR_PASTE);
    EXPECT_EQ(Text(), "abcd1");
    EXPECT_EQ(e().caret, 5);
}

TEST_F(Edit, CopyAndCutNeedTheClientGamesControl) {
    UI_SetText(box, "hello");
    UI_SetEditCaret(box, 1, 4);
    fake::clipboard = "old";
    for (int32_t c : {UI_CHAR_COPY, UI_CHAR_CUT, UI_CHAR_PASTE}) UI_Char(c);  // without Control: refused characters
    EXPECT_EQ(fake::clipboard, "old");
    EXPECT_EQ(Text(), "hello");
    cg.controlHeld = 1;
    UI_Char(UI_CHAR_COPY);
    EXPECT_EQ(fake::clipboard, "ell");
    EXPECT_EQ(Text(), "hello");
    UI_SetEditCaret(box, 5, 3);
    UI_Char(UI_CHAR_CUT);
    EXPECT_EQ(fake::clipboard, "lo");
    EXPECT_EQ(Text(), "hel");
    EXPECT_EQ(e().caret, 3);
    UI_Char(UI_CHAR_CUT);  // nothing selected: nothing copied or removed
    EXPECT_EQ(fake::clipboard, "lo");
    EXPECT_EQ(Text(), "hel");
}

TEST_F(Edit, EnterGivesUpTheFocusAndMouse1TakesItWithTheCaretAtTheEnd) {
    Type("abc");
    UI_SetEditCaret(box, 1, 1);
    UI_Char(UI_CHAR_ENTER);
    EXPECT_FALSE(box->focus);
    EXPECT_EQ(Text(), "abc");
    MoveTo(100 + 10 * CW + 1, 200);  // right of the box
    UI_Key(UI_KEY_MOUSE1, 1);
    EXPECT_FALSE(box->focus);
    MoveTo(100 + 10 * CW, 200 + CH);  // its corner
    UI_Key(UI_KEY_MOUSE1, 1);
    EXPECT_TRUE(box->focus);
    EXPECT_EQ(e().caret, 3);
    EXPECT_EQ(e().anchor, 3);
    UI_SetEditCaret(box, 1, 1);
    UI_Key(UI_KEY_MOUSE1, 1);  // already focused: the caret stays
    EXPECT_EQ(e().caret, 1);
}

TEST_F(Edit, DrawingShowsFaceSelectionRawTextAndCaret) {
    uiAtom_t *password = Make(10, "abc", UI_ALIGN_PASSWORD);
    UI_SetText(box, "\xA4" "05red text here");
    struct drawCase_t {
        uiAtom_t *atom;
        int32_t caret, anchor, scroll;
        int32_t blink;
        std::string shown;
        int32_t selectionLeft, selectionWidth;  // width 0: none
        bool caretShown;
    };
    const drawCase_t cases[] = {
        {password, 3, 1, 0, 1, "***", 100 + CW, 2 * CW, true},
        {box, 2, 2, 0, 1, "\xA4" "05red tex", 0, 0, false},  // not focused
        {box, 16, 0, 8, 1, "ext here", 100, 8 * CW, false},  // the selection is held to the box
    };
    for (const drawCase_t &c : cases) {
        SCOPED_TRACE(c.shown);
        UI_SetFocus(c.atom == password ? password : nullptr);
        UI_SetEditCaret(c.atom, c.caret, c.anchor);
        c.atom->edit.scroll = c.scroll;
        ui.caretBlink = c.blink;
        Draw(c.atom);
        ASSERT_EQ(fake::drawnStrings.size(), 1u);
        EXPECT_EQ(fake::drawnStrings[0].text, c.shown);
        EXPECT_EQ(fake::drawnStrings[0].x, 100);
        EXPECT_EQ(fake::drawnStrings[0].y, 200);
        EXPECT_EQ(fake::drawnStrings[0].flags & UI_TEXT_RAW, UI_TEXT_RAW);
        const std::vector<pic_t> pics = Pics();
        ASSERT_GE(pics.size(), 1u);
        EXPECT_EQ(pics[0].material, 28);
        EXPECT_FLOAT_EQ(pics[0].x, 97);
        EXPECT_FLOAT_EQ(pics[0].y, 198);
        EXPECT_FLOAT_EQ(pics[0].w, 10 * CW + 6);
        EXPECT_FLOAT_EQ(pics[0].h, CH + 4);
        size_t next = 1;
        if (c.selectionWidth) {
            ASSERT_GT(pics.size(), next);
            EXPECT_EQ(pics[next].material, WHITE_MATERIAL);
            EXPECT_FLOAT_EQ(pics[next].x, c.selectionLeft);
            EXPECT_FLOAT_EQ(pics[next].w, c.selectionWidth);
            EXPECT_FLOAT_EQ(pics[next].h, CH);
            EXPECT_EQ(pics[next].rgba, (std::vector<int>{0, 0, 204, 255}));
            next++;
        }
        if (c.caretShown) {
            ASSERT_GT(pics.size(), next);
            EXPECT_FLOAT_EQ(pics[next].x, 100 + CW * (c.caret - c.atom->edit.scroll));
            EXPECT_FLOAT_EQ(pics[next].y, 201);
            EXPECT_FLOAT_EQ(pics[next].w, 1);
            EXPECT_FLOAT_EQ(pics[next].h, CH - 2);
            next++;
        }
        EXPECT_EQ(pics.size(), next);
    }
}

}  // namespace
