// The engine base's own logic: command line, set groups, clock and frame, pacing,
// up time, the event buffer, key states and bindings, journal chunks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/base.h"
#include "base/cmd.h"
#include "base/sys.h"
#include "common/common.h"

namespace {

std::vector<std::string> g_printed;
std::vector<std::string> g_ran;
void PrintSink(const char *text) { g_printed.emplace_back(text); }
int ErrorSink(int, const char *text) {
    g_printed.emplace_back(text);
    return 0;
}
void Record() {
    std::string s;
    for (int i = 0; i < Cmd_Argc(); i++) s += (i ? " " : "") + std::string(Cmd_Argv(i));
    g_ran.push_back(s);
}

// The command registry lives for the whole program: symbols are never freed.
class Spine : public testing::Test {
protected:
    static void SetUpTestSuite() {
        Cmd_Startup();
        for (const char *name : {"in_key_down", "in_key_up", "in_char", "in_mouse", "fire"})
            Cmd_CreateFunction(name, Record, 0);
    }
    void SetUp() override {
        g_printed.clear();
        g_ran.clear();
        Com_SetupPrintf(PRF_SINKS, PrintSink, PrintSink);
        Com_SetupError(ErrorSink);
        qcmd.length = 0;
        qcmd.buffer[0] = 0;
        qbase.in.length = 0;
        qbase.in.journal = JOURNAL_OFF;
        qbase.clientRunning = 0;
        qbase.serverRunning = 0;
        qbase.time = qbase.previousTime = BASE_TIME_START;
        qbase.frameCount = 1;
        IN_SetAmericanKeyNames();
    }
    void TearDown() override {
        IN_UnbindAll_f();
        Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
        Com_SetupError(nullptr);
    }
};

std::vector<std::string> Split(const char *line) {
    static char buffer[BASE_CMDLINE_SIZE];
    snprintf(buffer, sizeof(buffer), "%s", line);
    Base_ParseCommandLine(buffer);
    std::vector<std::string> args;
    for (int i = 1; i < Base_Argc(); i++) args.emplace_back(Base_Argv(i));
    return args;
}

TEST_F(Spine, CommandLineSplitsOnBlanksAndQuotes) {
    struct Case {
        const char *line;
        std::vector<std::string> args;
    } cases[] = {
        {"", {}},
        {"a b", {"a", "b"}},
        {"\"a b\" c", {"a b", "c"}},
        {"\"ab\"cd", {"ab", "cd"}},
        {"a  ", {"a", ""}},
        {"x \"\" y", {"x", "", "y"}},
    };
    for (const Case &c : cases) EXPECT_EQ(Split(c.line), c.args) << c.line;
    EXPECT_EQ(Base_Argv(0), std::string());
    EXPECT_EQ(Base_Argv(-1), std::string());
    EXPECT_EQ(Base_Argv(99), std::string());
}

TEST_F(Spine, CommandLineKeepsAtMost255Arguments) {
    std::string line;
    for (int i = 0; i < 300; i++) line += "a ";
    static char buffer[SYS_CMDLINE_SIZE];
    snprintf(buffer, sizeof(buffer), "%s", line.c_str());
    Base_ParseCommandLine(buffer);
    EXPECT_EQ(Base_Argc(), 256);
}

TEST_F(Spine, GetParamFindsTheFirstExactMatch) {
    Split("engine -dedicated -Dedicated -play x -play y");
    EXPECT_EQ(Base_GetParam("-dedicated"), 2);
    EXPECT_EQ(Base_GetParam("-play"), 4);
    EXPECT_EQ(Base_Argv(Base_GetParam("-play") + 1), std::string("x"));
    EXPECT_EQ(Base_GetParam("-safe"), 0);
}

TEST_F(Spine, SetGroupsQueueTheirPassesLines) {
    Split("engine +set a 1 -set b 2 ");
    Base_ExecuteSetParams(1);
    EXPECT_STREQ(qcmd.buffer, "b 2 ;");
    qcmd.length = 0;
    qcmd.buffer[0] = 0;
    Base_ExecuteSetParams(0);
    EXPECT_STREQ(qcmd.buffer, "a 1 ;");
}

TEST_F(Spine, SetGroupKeepsAQuotedArgumentWhole) {
    Split("engine +set sv_hostname \"my server\" -dedicated");
    Base_ExecuteSetParams(0);
    EXPECT_STREQ(qcmd.buffer, "sv_hostname \"my server\" ;");
}

TEST_F(Spine, JoinLeavesOffArgumentsThatDoNotFitWhole) {
    char *argv[] = {const_cast<char *>("engine"), const_cast<char *>("two words"), const_cast<char *>("longer")};
    char out[20];
    Base_JoinArguments(3, argv, 0, out, sizeof(out));
    EXPECT_STREQ(out, "engine \"two words\" ");
    char small[8];
    Base_JoinArguments(3, argv, 0, small, sizeof(small));
    EXPECT_STREQ(small, "engine ");
}

TEST_F(Spine, OtherEntriesJoinTheArgumentsAfterTheProgramAndSplitThemBack) {
    char *argv[] = {const_cast<char *>("engine"), const_cast<char *>("-set"), const_cast<char *>("a b"),
                    const_cast<char *>("")};
    EXPECT_STREQ(Base_GetCommandLine(4, argv), "-set \"a b\" \"\"");
    Base_ParseCommandLineArg(4, argv);
    ASSERT_EQ(Base_Argc(), 4);
    EXPECT_STREQ(Base_Argv(1), "-set");
    EXPECT_STREQ(Base_Argv(2), "a b");
    EXPECT_STREQ(Base_Argv(3), "");
    EXPECT_STREQ(Base_GetCommandLine(1, argv), "");
}

TEST_F(Spine, FrameClampsItsDurationAndAdvancesTheGameTime) {
    struct Case {
        int msec;
        uint32_t advance, fps;
        float seconds;
    } cases[] = {{0, 1, 1000, 0.001f}, {-5, 1, 1000, 0.001f}, {16, 16, 62, 0.016f}, {500, 200, 5, 0.2f}};
    for (const Case &c : cases) {
        const uint32_t before = qbase.time, frames = qbase.frameCount;
        Base_Frame(c.msec);
        EXPECT_EQ(qbase.time - before, c.advance) << c.msec;
        EXPECT_EQ(qbase.previousTime, before);
        EXPECT_EQ(qbase.fps, c.fps);
        EXPECT_FLOAT_EQ(qbase.frameSeconds, c.seconds);
        EXPECT_EQ(qbase.frameCount, frames + 1);
    }
}

TEST_F(Spine, GameTimeWrapRestartsTheTimeWithoutAFrame) {
    qbase.time = 2147483600u;
    Base_Frame(100);
    EXPECT_EQ(qbase.time, BASE_TIME_START);
    EXPECT_EQ(qbase.previousTime, BASE_TIME_START);
    EXPECT_EQ(qbase.frameCount, 1u);
    ASSERT_FALSE(g_printed.empty());
    EXPECT_EQ(g_printed.back(), "! ! ! Time wrapping ! ! !");
}

// The restarts themselves, the engine clock's (main loop) and the game time's
// (frame): a stamp from before each keeps its age across it.
TEST_F(Spine, BothRestartsKeepTheAgesOfEarlierStamps) {
    qbase.timeBase = static_cast<uint32_t>(Sys_Milliseconds()) + BASE_CLOCK_START - (BASE_CLOCK_WRAP - 300);
    const uint32_t clockStamp = Base_Time();
    Base_RestartClock();
    EXPECT_LT(Base_Time(), BASE_CLOCK_START + 1000);
    EXPECT_GE(Base_ClockAge(clockStamp), 0);
    EXPECT_LT(Base_ClockAge(clockStamp), 1000);
    EXPECT_EQ(qbase.wrapCount, 1u);

    qbase.time = 2147483600u;
    const uint32_t timeStamp = qbase.time - 2000;
    Base_Frame(100);
    Base_Frame(30);
    EXPECT_EQ(Base_TimeAge(timeStamp), 2030);
    qbase.timeBase = 0;
    qbase.wrapCount = qbase.wrapLength = 0;
    qbase.clockRestart = qbase.timeRestart = comRestart_t{};
}

TEST_F(Spine, FrameRunsTheQueuedConsoleLines) {
    Cmd_Add("fire now");
    Base_Frame(10);
    EXPECT_EQ(g_ran, std::vector<std::string>{"fire now"});
}

TEST_F(Spine, MaxFpsCapsTheLoop) {
    struct Case {
        int maxFps;
        uint32_t elapsed, sleep;
    } cases[] = {
        {0, 0, 0},      {1000, 0, 0},   {-3, 0, 0},   {1, 200, 800},
        {60, 0, 16},    {60, 10, 6},    {60, 16, 0},  {60, 400, 0},
        {999, 0, 1},
    };
    for (const Case &c : cases) EXPECT_EQ(Base_FrameCapSleep(c.maxFps, c.elapsed), c.sleep) << c.maxFps << " " << c.elapsed;
}

TEST_F(Spine, UpTimeCountsDaysAcrossClockWraps) {
    uint32_t d, h, m, s;
    Base_UpTime(BASE_CLOCK_START + 90061000u, 0, 0, &d, &h, &m, &s);
    EXPECT_EQ(std::vector<uint32_t>({d, h, m, s}), std::vector<uint32_t>({1, 1, 1, 1}));
    // One wrap is 2,147,483 whole seconds: 24 days 20:31:23.
    Base_UpTime(BASE_CLOCK_START, 1, BASE_CLOCK_WRAP, &d, &h, &m, &s);
    EXPECT_EQ(std::vector<uint32_t>({d, h, m, s}), std::vector<uint32_t>({24, 20, 31, 23}));
    Base_UpTime(BASE_CLOCK_START + 1000u, 2, BASE_CLOCK_WRAP, &d, &h, &m, &s);
    EXPECT_EQ(std::vector<uint32_t>({d, h, m, s}), std::vector<uint32_t>({49, 17, 2, 47}));
}

TEST_F(Spine, EventBufferRefusesARecordWithoutRoomForTheEnd) {
    const netadr_t from{};
    static byte data[IN_BUFFER_SIZE];
    IN_NetEvent(&from, data, IN_BUFFER_SIZE - IN_DATAGRAM_HEADER_SIZE - IN_END_SIZE);  // 99,976 bytes
    EXPECT_EQ(qbase.in.length, 0);
    ASSERT_FALSE(g_printed.empty());
    EXPECT_EQ(g_printed.back(), "IN_GetCmdBuffer: Cmd buffer overflow. Dropping commands");
    IN_NetEvent(&from, data, IN_BUFFER_SIZE - IN_DATAGRAM_HEADER_SIZE - IN_END_SIZE - 1);
    EXPECT_EQ(qbase.in.length, IN_BUFFER_SIZE - IN_END_SIZE - 1);
    // One byte is left beside the end record's room: no further record fits.
    EXPECT_FALSE(IN_HasRoom(1));
    EXPECT_TRUE(IN_HasRoom(0));
    // What was appended is issued: the transport refuses the oversized datagram
    // itself, and the buffer is not taken for damaged.
    g_printed.clear();
    IN_IssueCommandBuffer();
    EXPECT_EQ(qbase.in.length, 0);
    for (const std::string &line : g_printed) EXPECT_EQ(line.find("IN_IssueCommandBuffer"), std::string::npos) << line;
}

TEST_F(Spine, KeyTappedWithinOneFrameFiresDownPressedAndReleased) {
    const std::pair<const char *, bindMode_t> modes[] = {
        {"down", BIND_DOWN}, {"pressed", BIND_PRESSED}, {"released", BIND_RELEASED}, {"up", BIND_UP}};
    for (int i = 0; i < 4; i++) {
        keyState_t &key = keys[30 + i];
        key.command = static_cast<char *>(Com_malloc(32));
        snprintf(key.command, 32, "fire %s", modes[i].first);
        key.bindMode = modes[i].second;
    }
    for (int key : {30, 31, 32}) {
        IN_KeyEvent(static_cast<byte>(key), 1);
        IN_KeyEvent(static_cast<byte>(key), 0);
    }
    IN_IssueCommandBuffer();  // key records only: the frame has not come yet
    for (int key : {30, 31, 32})
        EXPECT_EQ(keys[key].state, KEY_DOWN | KEY_PRESSED | KEY_RELEASED | KEY_CHANGED | KEY_TAPPED) << key;
    for (int key = 30; key < 34; key++) IN_ProcessBindKey(&keys[key]);
    Cmd_Flush();
    EXPECT_EQ(g_ran, (std::vector<std::string>{"in_key_down 30", "in_key_up 30", "in_key_down 31", "in_key_up 31",
                                               "in_key_down 32", "in_key_up 32", "fire down", "fire pressed",
                                               "fire released", "fire up"}));
    // The frame ends the tap: the key is up afterwards.  The running client's frame
    // reads the cursor; without a user interface (no module loaded) no binding fires.
    qbase.clientRunning = 1;
    g_ran.clear();
    IN_FrameEvent(10);
    IN_IssueCommandBuffer();
    for (int key : {30, 31, 32}) EXPECT_EQ(keys[key].state, 0u) << key;
    EXPECT_EQ(g_ran, std::vector<std::string>{"in_mouse 0 0"});
    // An unheld key bound with mode up fires in every frame it is asked.
    g_ran.clear();
    IN_ProcessBindKey(&keys[33]);
    IN_ProcessBindKey(&keys[30]);
    Cmd_Flush();
    EXPECT_EQ(g_ran, std::vector<std::string>{"fire up"});
}

TEST_F(Spine, MouseLookTurnsTheOffsetIntoYawAndPitch) {
    Cmd_CreateFunction("in_yaw", Record, 0);
    Cmd_CreateFunction("in_pitch", Record, 0);
    qbase.in.cursorMode = CURSOR_AIM;
    m_look.integer = 1;
    m_filter.integer = 0;
    m_invert.integer = 1;
    m_accel.value = 0;
    m_sensitivity.value = 6;
    m_yaw.value = m_pitch.value = 0.01f;
    // A window would report the cursor 10 left of and 5 below the centre.
    qbase.clientRunning = 0;
    IN_MouseEvent(-10, 5);
    IN_FrameEvent(10);
    qbase.clientRunning = 1;
    IN_IssueCommandBuffer();
    EXPECT_EQ(g_ran, (std::vector<std::string>{"in_mouse -10 5", "in_yaw -0.600000", "in_pitch -0.300000"}));
    qbase.in.cursorMode = CURSOR_NONE;
    m_look.integer = 0;
}

void StopPlayback() { IN_StopPlayJournal(); }

TEST_F(Spine, PlaybackStoppedByAFramesConsoleLineFinishesItsChunk) {
    Cmd_CreateFunction("stopPlayback", StopPlayback, 0);
    // A played chunk of two frames; the first frame's console lines stop playback.
    byte *b = qbase.in.buffer;
    const uint32_t words[] = {IE_FRAME, 16, IE_FRAME, 16, IE_END};
    memcpy(b, words, sizeof(words));
    qbase.in.length = sizeof(words);
    qbase.in.playStream = nullptr;
    qbase.in.journal = JOURNAL_PLAYING;
    Cmd_Add("stopPlayback");
    IN_IssueCommandBuffer();
    EXPECT_EQ(qbase.in.journal, JOURNAL_OFF);
    EXPECT_EQ(qbase.in.length, 0);
    EXPECT_EQ(qbase.time, BASE_TIME_START + 32) << "both recorded frames ran";
    for (const std::string &line : g_printed) EXPECT_EQ(line.find("IN_IssueCommandBuffer"), std::string::npos) << line;
}

TEST_F(Spine, DuringPlaybackLiveInputIsIgnoredButEscStopsIt) {
    qbase.in.playStream = nullptr;
    qbase.in.journal = JOURNAL_PLAYING;
    const netadr_t from{};
    const byte data[4] = {};
    IN_CharEvent('a');
    IN_KeyEvent(30, 1);
    IN_MouseEvent(3, 4);
    IN_NetEvent(&from, data, sizeof(data));
    IN_SpecialEvent(IS_QUIT, 0, 0);
    IN_FrameEvent(10);
    EXPECT_EQ(qbase.in.length, 0);
    EXPECT_EQ(qbase.in.journal, JOURNAL_PLAYING);
    IN_KeyEvent(KEY_ESCAPE, 1);
    EXPECT_EQ(qbase.in.journal, JOURNAL_OFF);
    EXPECT_EQ(qbase.in.length, 0) << "the Esc that stops playback is not appended";
    EXPECT_EQ(keys[30].state, 0u);
}

// Numbers that tie answers to this process come from the system, not from the
// common generator; a journal's seed replays them exactly.
TEST_F(Spine, UnpredictableNumbersRepeatOnlyUnderAJournalsSeed) {
    auto draw = [](uint32_t seed) {
        Base_SeedRandom(seed);
        return std::vector<uint32_t>{Base_UnpredictableRandom(), Base_UnpredictableRandom(),
                                     Base_UnpredictableRandom()};
    };
    EXPECT_NE(draw(42), draw(42)) << "live numbers must not follow the common generator's seed";
    qbase.in.journal = JOURNAL_RECORDING;
    const std::vector<uint32_t> recorded = draw(42);
    EXPECT_NE(recorded[0], recorded[1]);
    qbase.in.journal = JOURNAL_PLAYING;
    EXPECT_EQ(draw(42), recorded);
    EXPECT_NE(draw(43), recorded);
    qbase.in.journal = JOURNAL_OFF;
}

TEST_F(Spine, CentringTheCursorSavesTheWindowCentre) {
    // Without a window its centre is the origin; the saved position follows it,
    // so cursor mode later shows the cursor there.
    qbase.in.savedCursor[0] = 5;
    qbase.in.savedCursor[1] = 7;
    IN_CenterCursor();
    EXPECT_EQ(qbase.in.savedCursor[0], 0);
    EXPECT_EQ(qbase.in.savedCursor[1], 0);
}

TEST_F(Spine, BindingsAreFoundByLowerCaseNameAndByCommand) {
    EXPECT_STREQ(keys[1].lowerName, "esc");
    EXPECT_STREQ(keys[84].name, "Sys Req");
    EXPECT_STREQ(keys[85].name, "No name key");
    keys[0].command = static_cast<char *>(Com_malloc(8));
    strcpy(keys[0].command, "zero");
    keys[57].command = static_cast<char *>(Com_malloc(8));
    strcpy(keys[57].command, "+jump");
    EXPECT_EQ(IN_GetBinding("+jump"), 57);
    EXPECT_EQ(IN_GetBinding("zero"), 0);
    EXPECT_EQ(IN_GetBinding("none"), 0);
}

TEST_F(Spine, JournalChunkChecksRefuseDamage) {
    auto u32 = [](std::vector<byte> &v, uint32_t x) {
        for (int i = 0; i < 4; i++) v.push_back(static_cast<byte>(x >> (8 * i)));
    };
    std::vector<byte> good;
    u32(good, IE_FRAME), u32(good, 16), u32(good, IE_END);
    const char *why = nullptr;
    EXPECT_TRUE(IN_CheckChunk(good.data(), static_cast<int>(good.size()), &why));

    std::vector<byte> datagram;
    u32(datagram, IE_DATAGRAM);
    datagram.resize(datagram.size() + IN_ADDRESS_SIZE);
    u32(datagram, 5000);  // longer than the chunk and than any datagram
    u32(datagram, IE_END);
    std::vector<byte> special;
    u32(special, IE_SPECIAL), u32(special, 9), u32(special, 0), u32(special, 0), u32(special, IE_END);
    std::vector<byte> unknown;
    u32(unknown, 77), u32(unknown, IE_END);
    std::vector<byte> trailing = good;
    u32(trailing, IE_END);
    std::vector<byte> cut(good.begin(), good.end() - 2);
    std::vector<byte> noEnd(good.begin(), good.end() - 4);
    for (const std::vector<byte> *bad : {&datagram, &special, &unknown, &trailing, &cut, &noEnd}) {
        why = nullptr;
        EXPECT_FALSE(IN_CheckChunk(bad->data(), static_cast<int>(bad->size()), &why));
        EXPECT_NE(why, nullptr);
    }
}

}  // namespace
