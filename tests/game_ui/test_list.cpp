// The list atom: records from text, marks that survive rebuilding, clicks and drawing.
#include "tests/game_ui/ui_fixture.h"

namespace {

using namespace uitest;

std::vector<std::string> Records(const uiAtom_t *list) {
    std::vector<std::string> out;
    for (int32_t r = 0; r < UI_GetNumRecords(list); r++) out.emplace_back(list->list.records[r].text);
    return out;
}

int activations;
void CountActivation(uiAtom_t *atom, uint32_t message, int32_t a, int32_t b) {
    if (message == UIM_ACTIVATE) activations++;
    UI_DefaultMessageProc(atom, message, a, b);
}

class List : public UiTest {
protected:
    uiAtom_t *list = nullptr;
    void SetUp() override {
        UiTest::SetUp();
        list = UI_CreateList(nullptr, 100, 50, 300, 10 * CH, 21, 22, 0);
        UI_SetVisible(list, 1);
        activations = 0;
    }
    // Mouse1 pressed on row i (0 the first record row) at column x, at a game time.
    void PressRow(int32_t i, uint32_t time, int32_t x = 120) {
        qgame.time = time;
        MoveTo(x, 50 + UI_LIST_MARGIN + CH * (i + 1) + 2);
        UI_Key(UI_KEY_MOUSE1, 1);
    }
};

TEST_F(List, RecordsAreTheLinesEndedByALineBreak) {
    struct recordCase_t {
        const char *text;
        std::vector<std::string> records;
    };
    const recordCase_t cases[] = {
        {"alpha\nbeta\n", {"alpha", "beta"}},
        {"alpha\nbeta", {"alpha"}},
        {"\n\n", {"", ""}},
        {"", {}},
        {"tail only", {}},
    };
    for (const recordCase_t &c : cases) {
        UI_SetListRecords(list, c.text);
        EXPECT_EQ(Records(list), c.records) << c.text;
        EXPECT_EQ(UI_GetMarkedRecord(list), -1);
    }
}

TEST_F(List, AnUnchangedTextKeepsTheMarkAndAChangedOneRemarksTheWantedNoun) {
    UI_SetListRecords(list, "a\nb\nc\n");
    UI_SetNoun(list, 2, 7);
    PressRow(2, 1000);
    EXPECT_EQ(UI_GetMarkedRecord(list), 2);
    UI_SetListRecords(list, "a\nb\nc\n");
    EXPECT_EQ(UI_GetMarkedRecord(list), 2);
    EXPECT_EQ(UI_GetNoun(list, 2), 7u);
    // The record moves from row 2 to row 5; once the screen gives the nouns it is marked again.
    UI_SetListRecords(list, "x\ny\na\nb\nd\nc\n");
    EXPECT_EQ(UI_GetMarkedRecord(list), -1);
    UI_SetNoun(list, 5, 7);
    UI_Message(list, UIM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(UI_GetMarkedRecord(list), 5);
}

TEST_F(List, ALineOfMoreThan255CharactersIsRefusedAndTheOldRecordsStay) {
    UI_SetListRecords(list, (std::string(255, 'a') + "\n").c_str());
    EXPECT_TRUE(fake::errors.empty());
    EXPECT_EQ(Records(list), std::vector<std::string>{std::string(255, 'a')});
    UI_SetListRecords(list, ("ok\n" + std::string(256, 'b') + "\n").c_str());
    EXPECT_TRUE(fake::Reported(ER_FATAL, "UI_SetList: Records too long!"));
    EXPECT_EQ(Records(list), std::vector<std::string>{std::string(255, 'a')});
}

TEST_F(List, RecordSettersClampTheIndexAndIgnoreNegativesAndEmptyLists) {
    UI_SetNoun(list, 0, 5);
    EXPECT_EQ(UI_GetNoun(list, 0), 0u);
    EXPECT_EQ(UI_FindNoun(list, 5), -1);
    UI_SetListRecords(list, "a\nb\n");
    UI_SetNoun(list, 9, 5);  // past the last: the last
    UI_SetNoun(list, -1, 6);
    EXPECT_EQ(UI_GetNoun(list, 1), 5u);
    EXPECT_EQ(UI_GetNoun(list, 0), 0u);
    EXPECT_EQ(UI_GetNoun(list, -1), 0u);
    EXPECT_EQ(UI_FindNoun(list, 5), 1);
    UI_SetNumIcons(list, 0, 9);
    UI_SetNumIcons(list, 1, -4);
    EXPECT_EQ(list->list.records[0].iconCount, UI_LIST_MAX_ICONS);
    EXPECT_EQ(list->list.records[1].iconCount, 0);
    UI_SetIcon(list, 0, 7, 31);
    UI_SetIcon(list, 0, -2, 30);
    EXPECT_EQ(list->list.records[0].icons[3], 31);
    EXPECT_EQ(list->list.records[0].icons[0], 30);
}

TEST_F(List, ClicksMarkRowsAndClearOnTheHeaderOrBelowTheRecords) {
    UI_SetListRecords(list, "a\nb\nc\n");
    for (int32_t r = 0; r < 3; r++) UI_SetNoun(list, r, 10 + static_cast<uint32_t>(r));
    struct clickCase_t {
        int32_t y;  // virtual
        int32_t firstVisible;
        int32_t marked;
        uint32_t wanted;
    };
    const clickCase_t cases[] = {
        {50 + 5 + CH, 0, 0, 10},           // the first row's top edge
        {50 + 5 + CH + CH - 1, 0, 0, 10},  // its last line
        {50 + 5 + 2 * CH, 0, 1, 11},
        {50 + 5 + CH, 1, 1, 11},           // scrolled by one
        {50 + 5 + CH - 1, 0, -1, 0},       // the header line
        {50 + 5 + 4 * CH, 0, -1, 0},       // below the last record
        {50 + 5 + CH, -2, -1, 0},          // a first row set above the list
    };
    for (const clickCase_t &c : cases) {
        SCOPED_TRACE(c.y);
        UI_SetMarkedRecord(list, 2);
        list->list.wantedNoun = 12;
        UI_SetVisRecord(list, c.firstVisible);
        MoveTo(120, c.y);
        UI_Key(UI_KEY_MOUSE1, 1);
        EXPECT_EQ(UI_GetMarkedRecord(list), c.marked);
        EXPECT_EQ(list->list.wantedNoun, c.wanted);
        EXPECT_TRUE(list->focus);
    }
    // A click outside the box leaves the list alone.
    UI_SetVisRecord(list, 0);
    UI_SetMarkedRecord(list, 1);
    MoveTo(99, 60);
    UI_Key(UI_KEY_MOUSE1, 1);
    EXPECT_EQ(UI_GetMarkedRecord(list), 1);
}

TEST_F(List, ADoubleClickOnTheSameRecordAndSpotActivates) {
    UI_SetListRecords(list, "a\nb\n");
    UI_SetCustomMessageProc(list, CountActivation);
    struct doubleCase_t {
        const char *name;
        uint32_t gap;
        int32_t secondRow, secondX;
        int expected;
    };
    const doubleCase_t cases[] = {
        {"499 ms apart", 499, 0, 120, 1},
        {"500 ms apart", 500, 0, 120, 0},
        {"moved by one unit", 100, 0, 121, 0},
        {"another record", 100, 1, 120, 0},
    };
    uint32_t time = 100000;
    for (const doubleCase_t &c : cases) {
        SCOPED_TRACE(c.name);
        UI_SetMarkedRecord(list, -1);
        activations = 0;
        PressRow(0, time);
        EXPECT_EQ(activations, 0);  // the first press on a record never activates
        PressRow(c.secondRow, time + c.gap, c.secondX);
        EXPECT_EQ(activations, c.expected);
        time += 10000;
    }
    // Without a custom procedure nothing is activated, and the game clock may wrap.
    UI_SetCustomMessageProc(list, nullptr);
    PressRow(0, 0xFFFFFFF0u);
    PressRow(0, 0x10u);
    EXPECT_EQ(activations, 0);
}

TEST_F(List, DrawingShowsTheHeaderTheRowsThatFitAndTheMarkBar) {
    const float yellow[4] = {1, 1, 0, 1};
    UI_SetColor(list, yellow);
    UI_SetText(list, "Servers");
    std::string text;
    for (int i = 0; i < 12; i++) text += "row" + std::to_string(i) + "\n";
    UI_SetListRecords(list, text.c_str());
    UI_SetVisRecord(list, 2);
    UI_SetListRecords(list, text.c_str());
    memcpy(list->list.records[3].text, "\xA4" "08ab", 6);  // the colour escape takes no cell
    UI_SetNumIcons(list, 3, 2);
    UI_SetIcon(list, 3, 0, 41);
    UI_SetIcon(list, 3, 1, 42);
    UI_SetMarkedRecord(list, 3);
    Draw(list);
    // The header in green, then 10 x 16 / 16 - 2 = 8 rows from record 2.
    const std::vector<std::string> texts = Texts();
    ASSERT_EQ(texts.size(), 9u);
    EXPECT_EQ(texts[0], "Servers");
    EXPECT_EQ(fake::drawnStrings[0].x, 105);
    EXPECT_EQ(fake::drawnStrings[0].y, 55);
    EXPECT_EQ(Colour(fake::drawnStrings[0]), (std::vector<float>{0, 1, 0, 1}));
    EXPECT_EQ(texts[1], "row2");
    EXPECT_EQ(texts[8], "row9");
    EXPECT_EQ(fake::drawnStrings[1].y, 50 + CH + 5);
    EXPECT_EQ(fake::drawnStrings[8].y, 50 + CH * 8 + 5);
    EXPECT_EQ(fake::drawnStrings[2].x, 105 + 2 * CW);  // behind the two icons
    EXPECT_EQ(Colour(fake::drawnStrings[2]), (std::vector<float>{1, 1, 0, 1}));
    // Face, mark bar, two icons.
    const std::vector<pic_t> pics = Pics();
    ASSERT_EQ(pics.size(), 4u);
    EXPECT_EQ(pics[0].material, 21);
    EXPECT_FLOAT_EQ(pics[0].w, 300);
    EXPECT_EQ(pics[1].material, 22);
    EXPECT_FLOAT_EQ(pics[1].x, 105);
    EXPECT_FLOAT_EQ(pics[1].y, 50 + 2 * CH + 5);
    EXPECT_FLOAT_EQ(pics[1].w, (2 + 2) * CW);  // visible "ab" and two icons
    EXPECT_FLOAT_EQ(pics[1].h, CH + 1);
    EXPECT_EQ(pics[1].rgba, (std::vector<int>{255, 255, 0, 255}));
    EXPECT_EQ(pics[2].material, 41);
    EXPECT_EQ(pics[3].material, 42);
    EXPECT_FLOAT_EQ(pics[3].x, 105 + CW);
    EXPECT_FLOAT_EQ(pics[3].w, CW);
    EXPECT_FLOAT_EQ(pics[3].h, CH);
    EXPECT_EQ(pics[3].rgba, (std::vector<int>{255, 255, 255, 255}));
}

TEST_F(List, AFontWithoutHeightShowsNoRowsAndClicksMarkNothing) {
    UI_SetListRecords(list, "a\nb\n");
    UI_SetFont(list, NO_CELL_FONT);
    Draw(list);
    EXPECT_TRUE(Texts().empty());
    MoveTo(120, 100);
    UI_Key(UI_KEY_MOUSE1, 1);
    EXPECT_EQ(UI_GetMarkedRecord(list), -1);
}

TEST_F(List, RowsAboveTheFirstRecordStayEmpty) {
    UI_SetListRecords(list, "a\nb\n");
    UI_SetVisRecord(list, -1);
    Draw(list);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(fake::drawnStrings[0].y, 50 + 2 * CH + 5);
}

}  // namespace
