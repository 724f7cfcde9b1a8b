// The chat line: placement under the notify rows, sending, the history and its dump.
#include "tests/game_ui/ui_core_fixture.h"

namespace {

using namespace uitest;

class Chat : public UiCore {
protected:
    // The chat's input line (the focused edit box after a draw).
    static uiAtom_t *Input() {
        for (uiAtom_t *a = UI_FirstAtom(); a; a = UI_NextAtom(a))
            if (a->kind == UIA_EDITBOX && a->focus) return a;
        return nullptr;
    }
    static void Open(uint8_t mode) {
        cg.chatMode = mode;
        Draw();
    }
    static void Draw() {
        fake::drawnStrings.clear();
        UI_DrawChat();
    }
};

TEST_F(Chat, ThePromptStandsBelowTheNotifyRowsAndTheInputAfterIt) {
    fake::fontCells[NOTIFY_FONT] = {8, 8};
    fake::fontCells[CHAT_FONT] = {6, 12};
    UI_DrawNotifyConsole();
    for (const char *line : {"one", "two", "three"}) UI_ConsolePrint(line);
    UI_DrawNotifyConsole();
    ASSERT_EQ(ui.chatLineY, 24);
    const struct {
        uint8_t mode;
        const char *label;
        int32_t inputX;
    } cases[] = {{1, "Say:", 4 * 6}, {2, "SayTeam:", 8 * 6}};
    for (const auto &c : cases) {
        Open(c.mode);
        Type("hi");
        Draw();
        std::vector<std::string> texts;
        for (const fake::drawnString_t &s : fake::drawnStrings)
            texts.push_back(s.text + "@" + std::to_string(int(s.x)) + "," + std::to_string(int(s.y)));
        EXPECT_EQ(texts, (std::vector<std::string>{std::string(c.label) + "@0,34",
                                                    "hi@" + std::to_string(c.inputX) + ",34"}))
            << c.label;
        UI_Chat_ClearBuffer();
    }
}

TEST_F(Chat, EnterSendsTheLineWithQuotesReplacedAndClosesTheChat) {
    const struct {
        uint8_t mode;
        const char *typed, *command;
    } cases[] = {
        {1, "say \"hi\";quit", "say \"say \xA3hi\xA3;quit\""},
        {2, "%s%n", "sayteam \"%s%n\""},
    };
    for (const auto &c : cases) {
        Open(c.mode);
        Type(c.typed);
        Type("\r");
        EXPECT_EQ(fake::added.back(), c.command);
        EXPECT_EQ(cg.chatMode, 0);
        Open(c.mode);
        EXPECT_STREQ(Input()->text, "");
    }
    // The history keeps the line as typed.
    Press(UI_KEY_UP);
    Press(UI_KEY_UP);
    EXPECT_STREQ(Input()->text, "say \"hi\";quit");
    fake::added.clear();
    UI_Chat_ClearBuffer();
    Type("\r");  // an empty line sends nothing
    EXPECT_TRUE(fake::added.empty());
    EXPECT_EQ(cg.chatMode, 0);
}

TEST_F(Chat, HistoryBrowsingKeepsTheEditedLine) {
    Open(1);
    Press(UI_KEY_UP);  // nothing earlier: unchanged
    EXPECT_STREQ(Input()->text, "");
    for (const char *line : {"a", "a", "b"}) {
        Open(1);
        Type(line);
        Type("\r");
    }
    Open(1);
    Type("draft");
    Press(UI_KEY_UP);
    EXPECT_STREQ(Input()->text, "b");
    EXPECT_EQ(Input()->edit.caret, 1);
    Press(UI_KEY_UP);
    EXPECT_STREQ(Input()->text, "a");
    Press(UI_KEY_UP);  // "a" was sent twice but kept once
    EXPECT_STREQ(Input()->text, "a");
    Press(UI_KEY_DOWN);
    Press(UI_KEY_DOWN);
    EXPECT_STREQ(Input()->text, "draft");
    Press(UI_KEY_DOWN);
    EXPECT_STREQ(Input()->text, "");
}

TEST_F(Chat, AMenuHidesTheChatAndKeepsItsText) {
    Open(1);
    Type("wait");
    cg.menu = CG_MENU_OPTIONS;
    UI_SetAllAtomsNonVisible();
    Draw();
    EXPECT_TRUE(fake::drawnStrings.empty());
    Type("ing");  // hidden atoms take no characters
    cg.menu = CG_MENU_NONE;
    Draw();
    EXPECT_STREQ(Input()->text, "wait");
}

TEST_F(Chat, TheHistoryHoldsFifteenLinesAndIsWrittenOldestFirst) {
    for (int i = 0; i < 16; i++) UI_Chat_SaveToHistory(("line" + std::to_string(i)).c_str(), 1);
    UI_Chat_SaveToHistory("say \"x\";quit", 1);
    UI_Chat_DumpHistory(reinterpret_cast<FILE *>(1));
    ASSERT_EQ(fake::written.size(), 15u);
    EXPECT_EQ(fake::written.front(), "addChatHistory \"line2\"\n");  // line0 and line1 fell off
    EXPECT_EQ(fake::written.back(), "addChatHistory \"say 'x';quit\"\n");
    UI_ClearChatHistory();
    for (const std::string &line : std::vector<std::string>(fake::written)) Run(line.substr(0, line.size() - 1));
    fake::written.clear();
    UI_Chat_DumpHistory(reinterpret_cast<FILE *>(1));
    ASSERT_EQ(fake::written.size(), 15u);
    EXPECT_EQ(fake::written.front(), "addChatHistory \"line2\"\n");

    fake::written.clear();
    Run("ui_skipHistoryDump 1");
    UI_Chat_DumpHistory(reinterpret_cast<FILE *>(1));
    EXPECT_TRUE(fake::written.empty());
}

}  // namespace
