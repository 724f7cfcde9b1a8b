// The console: printing into the ring, the panel's rows and scroll-back, the notify
// rows, the prompt with its history, the toggle and the dump.
#include "tests/game_ui/ui_core_fixture.h"

namespace {

using namespace uitest;

using Console = UiCore;

constexpr int32_t NOTIFY_FLAGS = UI_TEXT_RAW | 4;  // raw, with a drop shadow
constexpr float PANEL_BOTTOM_ROW_Y = 480 - 2 * CH;  // a full-height panel's newest row

// Cells stored from the print, as colour:character pairs, line breaks as "|".
std::string Cells(uint32_t from) {
    std::string out;
    for (uint32_t i = from; i != qc.writeIndex; i++) {
        const uint16_t cell = qc.text[i % CON_TEXT_SIZE];
        if (cell == 10) {
            out += "|";
        } else {
            out += std::to_string(cell >> 8) + ":" + static_cast<char>(cell & 0xFF) + " ";
        }
    }
    return out;
}

TEST_F(Console, PrintingStoresColouredCellsAndEndsEveryTextOnALineOfItsOwn) {
    const struct {
        std::string text, cells;
    } cases[] = {
        {"ab", "0:a 0:b |"},
        {"a\nb", "0:a |0:b |"},
        {"\xA4" "15x\xA4" "00y", "9:x 0:y |"},     // 15 is held to 9, 00 resets
        {"\xA4" "02a\nb", "2:a |0:b |"},            // a line break resets the colour
        {"x\xA4" "1", "0:x 0:\xA4 0:1 |"},         // too near the end: a character
        {"x\xA4", "0:x 0:\xA4 |"},
    };
    for (const auto &c : cases) {
        const uint32_t from = qc.writeIndex;
        UI_ConsolePrint(c.text.c_str());
        EXPECT_EQ(Cells(from), c.cells) << c.text;
        EXPECT_EQ(qc.text[qc.writeIndex % CON_TEXT_SIZE], 0) << "the end marker follows";
    }
    const uint32_t before = qc.writeIndex;
    UI_ConsolePrint("");
    UI_ConsolePrint(nullptr);
    EXPECT_EQ(qc.writeIndex, before);
}

TEST_F(Console, PrintsBeforeRegistrationAreDropped) {
    qc.mayPrint = 0;
    const uint32_t before = qc.writeIndex;
    UI_ConsolePrint("early");
    EXPECT_EQ(qc.writeIndex, before);
}

TEST_F(Console, ALongLineWrapsWithItsLastPieceOnTheBottomRowAndColoursDrawAsRuns) {
    UI_ConsolePrint("older");
    UI_ConsolePrint((std::string(170, 'x') + "\xA4" "08" "blue").c_str());
    DropConsole();
    const auto rows = DrawnWith(CONSOLE_FONT);
    // 80 columns: 174 characters are 14 on the bottom row, then two full rows, then the older line.
    std::vector<std::string> texts;
    for (const auto &s : rows) texts.push_back(s.text + "@" + std::to_string(int(s.y)) + "," + std::to_string(int(s.x)));
    const std::vector<std::string> want = {
        std::string(10, 'x') + "@448,0", "blue@448,80",
        std::string(80, 'x') + "@432,0", std::string(80, 'x') + "@416,0", "older@400,0",
    };
    EXPECT_EQ(texts, want);
    for (const auto &s : rows) {
        if (s.text == "blue") {
            EXPECT_EQ(Colour(s), std::vector<float>(text_colors[8], text_colors[8] + 4));
        }
    }
}

TEST_F(Console, ScrollingBackHoldsTheViewUntilControlEndReturns) {
    for (int i = 0; i < 40; i++) UI_ConsolePrint(("line " + std::to_string(i)).c_str());
    DropConsole();
    Press(UI_KEY_PGUP);
    DrawConsole();
    auto rows = DrawnWith(CONSOLE_FONT);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].text.substr(0, 4), "^ ^ ");
    EXPECT_EQ(rows[0].text.size(), 63u);
    EXPECT_EQ(rows[0].y, PANEL_BOTTOM_ROW_Y);
    EXPECT_EQ(rows[1].text, "line 38");
    EXPECT_EQ(rows[1].y, PANEL_BOTTOM_ROW_Y - CH);

    UI_ConsolePrint("line 40");  // does not move the view
    DrawConsole();
    EXPECT_EQ(DrawnWith(CONSOLE_FONT)[1].text, "line 38");

    With(UI_KEY_CONTROL, UI_KEY_END);
    DrawConsole();
    rows = DrawnWith(CONSOLE_FONT);
    EXPECT_EQ(rows[0].text, "line 40");
    EXPECT_EQ(rows[0].y, PANEL_BOTTOM_ROW_Y);

    // Control with Page Up moves 25 lines; Control+Home shows the oldest line at the bottom.
    cg.controlHeld = 1;  // Page Up reads the client game's Control
    Press(UI_KEY_PGUP);
    cg.controlHeld = 0;
    DrawConsole();
    EXPECT_EQ(DrawnWith(CONSOLE_FONT)[1].text, "line 15");
    With(UI_KEY_CONTROL, UI_KEY_HOME);
    DrawConsole();
    EXPECT_EQ(DrawnWith(CONSOLE_FONT)[1].text, "line 0");
    Press(UI_KEY_PGDN);
    DrawConsole();
    EXPECT_EQ(DrawnWith(CONSOLE_FONT)[1].text, "line 1");

    // Closing the console drops the scroll-back.
    Run("con_toggle 1 fast");
    Frame(10);
    EXPECT_EQ(qc.displayIndex, qc.writeIndex - 1);
}

TEST_F(Console, TheRingWrapsKeepingTheNewestTextAndTheDumpStartsAtTheOldestWholeCell) {
    const std::string line(99, 'z');
    for (int i = 0; i < 1000; i++) UI_ConsolePrint((line + std::to_string(i % 10)).c_str());
    ASSERT_GT(qc.writeIndex, CON_TEXT_SIZE);
    DropConsole();
    const auto rows = DrawnWith(CONSOLE_FONT);
    // 100 characters: 20 on the bottom row, 80 above it.
    EXPECT_EQ(rows[0].text, std::string(19, 'z') + "9");
    EXPECT_EQ(rows[1].text, std::string(80, 'z'));
    EXPECT_EQ(rows[2].text, std::string(19, 'z') + "8");

    Run("con_dump out");
    ASSERT_EQ(fake::opened, std::vector<std::string>{"out.txt w"});
    ASSERT_EQ(fake::written.size(), 1u);
    const std::string &dump = fake::written[0];
    EXPECT_EQ(dump.size(), CON_TEXT_SIZE - 1 + 1);  // every cell but the end marker, after a line break
    EXPECT_EQ(dump.substr(dump.size() - 101), line + "9\n");
    const auto breaks = std::count(dump.begin(), dump.end(), '\n');
    EXPECT_EQ(fake::closed, 1);
    EXPECT_EQ(fake::prints.back(),
              "Wrote \xA4" "08" + std::to_string(breaks + 1) + "\xA4" "00 lines to \"\xA4" "08out.txt\xA4" "00\"");
}

TEST_F(Console, DumpArgumentsAndUnwritableFiles) {
    UI_ConsolePrint("hello");
    Run("con_dump");
    EXPECT_EQ(fake::prints.back(), "con_dump <file name>");
    Run("con_dump a b");
    EXPECT_EQ(fake::prints.back(), "con_dump <file name>");
    EXPECT_TRUE(fake::opened.empty());
    Run("con_dump logs/keep.log");
    EXPECT_EQ(fake::opened.back(), "logs/keep.log w");
    EXPECT_EQ(fake::written.back(), "\nhello\n");
    fake::fopenFails = true;
    Run("con_dump dir.d/name");
    EXPECT_EQ(fake::opened.back(), "dir.d/name.txt w");
    EXPECT_EQ(fake::prints.back(), "Could not open file \"dir.d/name.txt\"");
}

TEST_F(Console, NotifyRowsLastTenSecondsAndWrappedLinesStampOncePerRow) {
    UI_DrawNotifyConsole();  // learns the notify columns (80 of 8 units)
    UI_ConsolePrint("first");
    Frame(5000);
    UI_ConsolePrint(std::string(170, 'w').c_str());  // three rows
    fake::drawnStrings.clear();
    UI_DrawNotifyConsole();
    auto rows = DrawnWith(NOTIFY_FONT, NOTIFY_FLAGS);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].text, std::string(10, 'w'));
    EXPECT_EQ(rows[0].y, 3 * CH);
    EXPECT_EQ(rows[3].text, "first");
    EXPECT_EQ(rows[3].y, 0);
    EXPECT_EQ(rows[0].flags, UI_TEXT_RAW | 4);
    EXPECT_EQ(ui.chatLineY, 4 * CH);

    Frame(5000);  // "first" is exactly 10,000 ms old: still shown
    fake::drawnStrings.clear();
    UI_DrawNotifyConsole();
    EXPECT_EQ(DrawnWith(NOTIFY_FONT, NOTIFY_FLAGS).size(), 4u);
    Frame(1);
    fake::drawnStrings.clear();
    UI_DrawNotifyConsole();
    EXPECT_EQ(DrawnWith(NOTIFY_FONT, NOTIFY_FLAGS).size(), 3u);
    EXPECT_EQ(ui.chatLineY, 3 * CH);

    Frame(5000);
    fake::drawnStrings.clear();
    UI_DrawNotifyConsole();
    EXPECT_TRUE(DrawnWith(NOTIFY_FONT, NOTIFY_FLAGS).empty());
    EXPECT_EQ(ui.chatLineY, 0);

    // A menu, con_skipNotify and a cleared notify list show none.
    UI_ConsolePrint("again");
    for (int c = 0; c < 3; c++) {
        cg.menu = c == 0 ? CG_MENU_LOBBY : CG_MENU_NONE;
        Run(c == 1 ? "con_skipNotify 1" : "con_skipNotify 0");
        if (c == 2) UI_ConsoleClearNotify();
        fake::drawnStrings.clear();
        UI_DrawNotifyConsole();
        EXPECT_TRUE(DrawnWith(NOTIFY_FONT, NOTIFY_FLAGS).empty()) << c;
    }
}

TEST_F(Console, FontsWithoutACellDrawNothingAndTinyFontsStayInsideTheGrid) {
    UI_ConsolePrint(std::string(3000, 'q').c_str());
    for (const fake::fontCell_t cell : {fake::fontCell_t{0, 16}, fake::fontCell_t{8, 0}}) {
        fake::fontCells[CONSOLE_FONT] = fake::fontCells[NOTIFY_FONT] = cell;
        DropConsole();
        UI_DrawNotifyConsole();
        EXPECT_TRUE(DrawnWith(CONSOLE_FONT).empty());
        EXPECT_TRUE(DrawnWith(NOTIFY_FONT, NOTIFY_FLAGS).empty());
    }
    // One-unit cells: 640 columns by 480 rows would be far more cells than a grid has.
    fake::fontCells[CONSOLE_FONT] = fake::fontCells[NOTIFY_FONT] = {1, 1};
    for (int i = 0; i < 40; i++) UI_ConsolePrint(std::string(3000, 'r').c_str());
    DropConsole();
    UI_DrawNotifyConsole();
    const auto rows = DrawnWith(CONSOLE_FONT);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back().text.size(), 640u);
    EXPECT_EQ(qc.console.rows, static_cast<int32_t>(CON_TEXT_SIZE) / 640);
}

TEST_F(Console, EnterEchoesRunsAndRemembersTheLine) {
    DropConsole();
    Type("\xA4" "03say %s%n;x");
    Type("\r");
    EXPECT_EQ(fake::added, std::vector<std::string>{"say %s%n;x"});
    EXPECT_EQ(fake::prints.back(), "]\xA4" "02say %s%n;x");
    EXPECT_STREQ(qc.history[1], "\xA4" "03say %s%n;x");  // the history keeps the colours
    EXPECT_STREQ(qc.history[0], "");

    Run("con_echo 0");
    DrawConsole();
    fake::prints.clear();
    Type("quiet\r");
    EXPECT_EQ(fake::added.back(), "quiet");
    EXPECT_TRUE(fake::prints.empty());

    DrawConsole();
    Type("\r");  // an empty line runs nothing
    EXPECT_EQ(fake::added.size(), 2u);
}

TEST_F(Console, TabCompletesTheLineWithTheCaretAtItsEnd) {
    DropConsole();
    fake::completion = "con_toggle ";
    Type("con_t\t");
    uiAtom_t *input = nullptr;
    for (uiAtom_t *a = UI_FirstAtom(); a; a = UI_NextAtom(a))
        if (a->kind == UIA_EDITBOX && a->focus) input = a;
    ASSERT_NE(input, nullptr);
    EXPECT_STREQ(input->text, "con_toggle ");
    EXPECT_EQ(input->edit.caret, 11);
    EXPECT_EQ(input->edit.anchor, 11);
    EXPECT_STREQ(qc.history[0], "con_toggle ");
}

TEST_F(Console, HistoryKeepsOneCopyOfARepeatAndDropsTheOldestOf32) {
    DropConsole();
    for (const char *line : {"a", "a", "b"}) {
        Type(line);
        Type("\r");
        DrawConsole();
    }
    EXPECT_STREQ(qc.history[1], "b");
    EXPECT_STREQ(qc.history[2], "a");
    EXPECT_STREQ(qc.history[3], "");

    Type("draft");
    Press(UI_KEY_UP);
    Press(UI_KEY_UP);
    Press(UI_KEY_UP);  // entry 3 is empty: stays on "a"
    EXPECT_EQ(qc.historyPosition, 2);
    Press(UI_KEY_DOWN);
    Press(UI_KEY_DOWN);
    EXPECT_EQ(qc.historyPosition, 0);
    EXPECT_STREQ(qc.history[0], "draft");  // the edited line is back
    Press(UI_KEY_DOWN);
    EXPECT_STREQ(qc.history[0], "");

    for (int i = 0; i < 31; i++) UI_Console_SaveToHistory(("cmd" + std::to_string(i)).c_str(), 1);
    EXPECT_STREQ(qc.history[1], "cmd30");
    EXPECT_STREQ(qc.history[31], "cmd0");  // "a" and "b" fell off the end
}

TEST_F(Console, TheHistoryIsWrittenOldestFirstQuotedAndWithoutQuit) {
    for (const char *line : {"first", "quit", "gg;quit", "say \"hi\"", "say \"it's\"", "quitter"})
        UI_Console_SaveToHistory(line, 1);
    UI_Console_DumpHistory(reinterpret_cast<FILE *>(1));
    // Double quotes stand between single ones; with a single quote beside them they
    // cannot, and become single quotes.
    EXPECT_EQ(fake::written, (std::vector<std::string>{"addConsoleHistory \"first\"\n",
                                                        "addConsoleHistory \"gg;quit\"\n",
                                                        "addConsoleHistory 'say \"hi\"'\n",
                                                        "addConsoleHistory \"say 'it's'\"\n"}));
    // Replaying the file's lines rebuilds the same order.
    const std::vector<std::string> lines = fake::written;
    UI_ImpConsole("");
    for (std::string line : lines) Run(line.substr(0, line.size() - 1));
    EXPECT_STREQ(qc.history[1], "say 'it's'");
    EXPECT_STREQ(qc.history[2], "say \"hi\"");
    EXPECT_STREQ(qc.history[3], "gg;quit");
    EXPECT_STREQ(qc.history[4], "first");

    fake::written.clear();
    Run("ui_skipHistoryDump 1");
    UI_Console_DumpHistory(reinterpret_cast<FILE *>(1));
    EXPECT_TRUE(fake::written.empty());
}

TEST_F(Console, ToggleTargetsFastJumpsAndTheSkipVariable) {
    const struct {
        const char *line;
        float fraction, speed;
    } steps[] = {
        {"con_toggle 2 fast", 1.0f, 0.0f},       // the target is held to 1
        {"con_toggle 2 fast", 0.0f, 0.0f},       // and the same again closes it
        {"con_toggle 0.5 fast", 0.5f, 0.0f},
        {"con_toggle", 0.5f, -1.0f},             // standing at the target: rises
        {"con_toggle 0.8", 0.5f, 1.0f},          // rising, away from the target: drops again
        {"con_toggle 0.01 fast", 0.0f, 0.0f},    // a console that is down closes
        {"con_toggle 0.01 fast", 0.05f, 0.0f},   // the target is at least 0.05
        {"con_toggle nan fast", 0.0f, 0.0f},
        {"con_toggle nan fast", 0.05f, 0.0f},    // a target that is no number is the least
    };
    for (const auto &s : steps) {
        Run(s.line);
        EXPECT_FLOAT_EQ(qc.dropFraction, s.fraction) << s.line;
        EXPECT_FLOAT_EQ(qc.speed, s.speed) << s.line;
    }
    Run("con_skipConsole 1");
    Run("con_toggle 1 fast");
    EXPECT_EQ(qc.dropFraction, 0.0f);
}

TEST_F(Console, ThePanelMovesAtItsSpeedStopsAtTheTargetAndEmptiesTheLineWhenClosed) {
    Run("con_toggle");  // speed 5 screens a second: 0.25 each 50 ms frame
    Frame(50);
    EXPECT_FLOAT_EQ(qc.dropFraction, 0.25f);
    EXPECT_FLOAT_EQ(UI_ConsoleIsDown(), 0.25f);
    Frame(50);
    Frame(50);
    EXPECT_FLOAT_EQ(qc.dropFraction, 0.5f);
    EXPECT_EQ(qc.speed, 0.0f);
    DrawConsole();
    Type("half typed");
    Run("con_toggle");
    Frame(50);
    Frame(50);
    Frame(50);
    EXPECT_EQ(qc.dropFraction, 0.0f);
    EXPECT_STREQ(qc.history[0], "half typed");
    Run("con_toggle 1 fast");
    DrawConsole();
    uiAtom_t *input = nullptr;
    for (uiAtom_t *a = UI_FirstAtom(); a; a = UI_NextAtom(a))
        if (a->kind == UIA_EDITBOX && a->focus) input = a;
    ASSERT_NE(input, nullptr);
    EXPECT_STREQ(input->text, "");
    EXPECT_EQ(UI_ConsoleIsFullscreen(), 1);
    UI_ConsoleForceDown();
    EXPECT_FLOAT_EQ(qc.dropFraction, 0.5f);
    UI_ConsoleForceUp();
    EXPECT_EQ(UI_ConsoleIsDown(), 0.0f);
}

}  // namespace
