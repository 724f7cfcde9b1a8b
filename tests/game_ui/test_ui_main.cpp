// The interface's life cycle and frame: key bindings, the caret blink, the spectator
// menu and pointer mode, the intro logo, the loading screen, the history replay, the
// media table and a clean restart.
#include "tests/game_ui/ui_core_fixture.h"

namespace {

using namespace uitest;

using Interface = UiCore;

TEST_F(Interface, BindingsRunOnlyWithTheConsoleUpAndNoMenuOrChat) {
    const struct {
        float fraction;
        int32_t menu;
        uint8_t chat, allowed;
    } cases[] = {
        {0.0f, 0, 0, 1}, {0.005f, 0, 0, 1}, {0.01f, 0, 0, 1}, {0.5f, 0, 0, 0},
        {0.0f, CG_MENU_LOBBY, 0, 0}, {0.0f, 0, 1, 0},
    };
    for (const auto &c : cases) {
        qc.dropFraction = c.fraction;
        cg.menu = c.menu;
        cg.chatMode = c.chat;
        EXPECT_EQ(UI_AllowBinds(), c.allowed) << c.fraction << " " << c.menu << " " << int(c.chat);
    }
}

TEST_F(Interface, TheCaretShowsForAbout400MsAndHidesAsLong) {
    ui.caretBlink = 1;
    int shown = 0, hidden = 0;
    for (int i = 0; i < 160; i++) {
        Frame(10);
        (ui.caretBlink > 0 ? shown : hidden)++;
    }
    EXPECT_NEAR(shown, 80, 2);
    EXPECT_NEAR(hidden, 80, 2);
    EXPECT_GE(ui.caretBlink, -400);
    EXPECT_LE(ui.caretBlink, 400);
}

TEST_F(Interface, ASpectatorGetsTheMenuWithTheCursorAndAimModeGivesThePointerBack) {
    Frame(10);
    EXPECT_EQ(cg.cursorMode, 0);
    EXPECT_EQ(fake::pointerModes.back(), "aim");

    cg.ecl.state = ECL_CONNECTED;
    cg.predicted.moveType = MT_SPECTATOR;
    ui.aimMode = 1;  // left over from an earlier spell
    Frame(10);
    EXPECT_EQ(ui.spectatorMenu, 1);
    EXPECT_EQ(ui.aimMode, 0);
    EXPECT_EQ(cg.cursorMode, 1);
    EXPECT_EQ(fake::pointerModes.back(), "cursor");

    ui.aimMode = 1;  // toggled by the spectator bar
    Frame(10);
    EXPECT_EQ(ui.aimMode, 1);
    EXPECT_EQ(UI_IsSpectatorAimMode(), 1);
    EXPECT_EQ(cg.cursorMode, 0);
    EXPECT_EQ(fake::pointerModes.back(), "aim");

    qc.dropFraction = 0.5f;  // a lowered console always takes the pointer
    Frame(10);
    EXPECT_EQ(cg.cursorMode, 1);
    qc.dropFraction = 0.0f;

    cg.predicted.moveType = 0;
    Frame(10);
    EXPECT_EQ(ui.spectatorMenu, 0);
}

TEST_F(Interface, TheNewVersionWindowOpensOnceAndConnectingClosesWithTheConnection) {
    fake::qg.newerVersion = 1;
    Frame(10);
    EXPECT_EQ(ui.modal, MODAL_NEW_VERSION);
    ui.modal = MODAL_NONE;
    Frame(10);
    EXPECT_EQ(ui.modal, MODAL_NONE);

    ui.modal = MODAL_CONNECTING;
    cg.ecl.state = ECL_CONNECTING;
    Frame(10);
    EXPECT_EQ(ui.modal, MODAL_CONNECTING);
    cg.ecl.state = ECL_DISCONNECTED;
    Frame(10);
    EXPECT_EQ(ui.modal, MODAL_NONE);
}

TEST_F(Interface, TheIntroFadesInHoldsFadesOutAndEndsOnTheTitleScreen) {
    uiMedia[UIMEDIA_LOGO] = 55;
    UI_BeginCinematic(nullptr);
    EXPECT_EQ(cg.menu, CG_MENU_INTRO);
    const struct {
        float time, brightness;
    } cases[] = {{0.0f, 0.0f}, {0.075f, 0.5f}, {0.5f, 1.0f}, {0.925f, 0.5f}};
    for (const auto &c : cases) {
        cg.cinematicTime = c.time;
        fake::trisPics.clear();
        UI_DrawCinematic();
        const auto pics = Pics();
        ASSERT_EQ(pics.size(), 1u);
        EXPECT_EQ(pics[0].material, 55);
        EXPECT_FLOAT_EQ(pics[0].w, 640);
        EXPECT_FLOAT_EQ(pics[0].h, 480);
        EXPECT_NEAR(pics[0].rgba[0], int(c.brightness * 255), 1) << c.time;
        EXPECT_EQ(pics[0].rgba[3], 255);
        EXPECT_FLOAT_EQ(cg.cinematicTime, c.time + 0.25f * fake::qg.frameSeconds);
    }
    cg.cinematicTime = 1.01f;
    fake::trisPics.clear();
    UI_DrawCinematic();
    EXPECT_TRUE(fake::trisPics.empty());
    EXPECT_EQ(cg.menu, CG_MENU_LOBBY);
    EXPECT_EQ(fake::cinematicEnds, 1);
    EXPECT_EQ(ui.fadeAlpha, 1.0f);
    Frame(500);
    EXPECT_FLOAT_EQ(ui.fadeAlpha, 0.5f);
    Frame(501);
    EXPECT_EQ(ui.fadeAlpha, 0.0f);
    EXPECT_EQ(ui.fadeState, UI_FADE_NONE);
}

TEST_F(Interface, TheLoadingScreenShowsTheMapAndOneDotPerStep) {
    cgw.loadingImage = 0;
    Com_strncpyz(cgw.name, "hills", sizeof cgw.name);
    const netadr_t server{NA_IP, {10, 0, 0, 7}, 14666, 0};
    memcpy(cg.ecl.serverAddress, &server, sizeof server);
    const struct {
        int32_t downloading, current, count;
        std::vector<std::string> texts;
    } cases[] = {
        {0, 2, 5, {"Map hills @ 10.0.0.7:14666", "LOADING MEDIA... models", "..\xA4" "08..."}},
        {0, 0, 0, {"Map hills @ 10.0.0.7:14666", "LOADING MEDIA... models"}},
        {0, 0, -1, {"Map hills @ 10.0.0.7:14666", "LOADING MEDIA... models", ""}},
        // While downloading, the download window with its button shows over the screen.
        {1, 0, 5, {"Map hills @ 10.0.0.7:14666", "DOWNLOADING MAP...", "CANCEL"}},
    };
    for (const auto &c : cases) {
        fake::drawnStrings.clear();
        fake::trisPics.clear();
        UI_DrawLoadingMap(c.downloading, "models", c.current, c.count);
        std::vector<std::string> texts;
        for (const fake::drawnString_t &s : fake::drawnStrings) {
            texts.push_back(s.text);
            if (s.text != "CANCEL") {
                EXPECT_EQ(s.x, 320);
            }
        }
        EXPECT_EQ(texts, c.texts) << c.count;
        ASSERT_FALSE(Pics().empty());
        EXPECT_EQ(Pics()[0].rgba, (std::vector<int>{0, 0, 0, 255}));  // black without a loading picture
    }
    cgw.loadingImage = 9;
    fake::trisPics.clear();
    UI_DrawLoadingMap(0, "", 0, 0);
    EXPECT_EQ(Pics()[0].material, -9);
    cgw.loadingImage = 0;
}

TEST_F(Interface, HistoryCommandsJoinTheirWordsWithSingleBlanks) {
    Run("addConsoleHistory");
    EXPECT_STREQ(qc.history[1], "");
    Run("addConsoleHistory two   words");
    EXPECT_STREQ(qc.history[1], "two words");
    Run("addChatHistory \"gg;quit\"");
    UI_Chat_DumpHistory(reinterpret_cast<FILE *>(1));
    EXPECT_EQ(fake::written, std::vector<std::string>{"addChatHistory \"gg;quit\"\n"});
}

TEST_F(Interface, HistoryLinesLongerThanAWordComeBackWholeFromTheConfigurationLines) {
    // Runs of blanks, a run longer than a word without any, ';' and colour escapes; a
    // double quote comes back as a single quote, as it always did.
    std::string line = "say \xA4" "03red;  two  blanks \"q\" ";
    line += std::string(600, 'x') + " ";
    while (line.size() < UI_HISTORY_LINE - 1) line += "word ";
    line.resize(UI_HISTORY_LINE - 1);
    line.back() = 'z';
    std::string back = line;
    for (char &c : back)
        if (c == '"') c = '\'';
    UI_Console_SaveToHistory(line.c_str(), 1);
    UI_Chat_SaveToHistory(line.c_str(), 1);
    for (const std::string &cut : {line.substr(0, 255), line.substr(0, 256), line.substr(0, 510)}) {
        UI_Console_SaveToHistory(cut.c_str(), 1);
        UI_Chat_SaveToHistory(cut.c_str(), 1);
    }
    UI_Console_DumpHistory(reinterpret_cast<FILE *>(1));
    UI_Chat_DumpHistory(reinterpret_cast<FILE *>(1));
    const std::vector<std::string> written = fake::written;
    ASSERT_EQ(written.size(), 8u);
    UI_ImpConsole("");
    UI_ClearChatHistory();
    for (const std::string &w : written) Run(w.substr(0, w.size() - 1));
    EXPECT_EQ(qc.history[4], back);
    EXPECT_EQ(qc.history[3], back.substr(0, 255));
    EXPECT_EQ(qc.history[2], back.substr(0, 256));
    EXPECT_EQ(qc.history[1], back.substr(0, 510));
    EXPECT_EQ(written[1], "addConsoleHistory \"" + back.substr(0, 255) + "\"\n") << "a line of one word stays as it was";
    // The chat's lines, replayed by the same command, are written back the same.
    fake::written.clear();
    UI_Chat_DumpHistory(reinterpret_cast<FILE *>(1));
    EXPECT_EQ(fake::written, std::vector<std::string>(written.begin() + 4, written.end()));
}

TEST_F(Interface, TheEarlyConsoleTextIsKeptWholeAndNotPrintedAgain) {
    UI_Shutdown();
    const std::string early = std::string(3000, 'e') + "\nlast";
    fake::prints.clear();
    UI_Imp(early.c_str());
    EXPECT_TRUE(fake::prints.empty());
    EXPECT_EQ(RingText(0), early + "\n");
    UI_Init();
}

TEST_F(Interface, ShutdownLeavesNothingPointingAtFreedAtomsAndTheInterfaceStartsAgain) {
    DropConsole();
    uiAtom_t *box = UI_CreateKeyBox(nullptr, 0, 0, 0, nullptr, 0);
    ui.waitingKeyBox = box;
    UI_Shutdown();
    EXPECT_EQ(ui.waitingKeyBox, nullptr);
    EXPECT_EQ(ui.initialised, 0);
    DrawConsole();  // the console's atoms are gone: nothing is drawn
    EXPECT_TRUE(fake::drawnStrings.empty());
    cg.chatMode = 1;
    UI_DrawChat();
    UI_Chat_ClearBuffer();
    UI_Frame();
    UI_Shutdown();  // a second shutdown does nothing

    UI_Init();
    UI_ConsolePrint("back");
    DrawConsole();
    EXPECT_FALSE(DrawnWith(CONSOLE_FONT).empty());
}

}  // namespace
