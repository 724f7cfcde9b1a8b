// Console variables, functions, aliases and the command buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/cmd.h"
#include "base/files.h"
#include "base/base.h"
#include "base/input.h"
#include "common/common.h"
#include "tests/base/scratch_dir.h"
#include "tests/support/capture.h"

namespace {

using hm_test::captured;

std::vector<std::string> g_ran;  // words of every statement the recorder ran, joined by '|'
int g_callbacks;

void Callback() { g_callbacks++; }
void CmdTest_SetRunning(bool server, bool client, bool renderer) {
    qbase.serverRunning = server;
    qbase.clientRunning = client;
    qbase.rendererRunning = renderer;
}
void Record() {
    std::string s;
    for (int i = 0; i < Cmd_Argc(); i++) s += (i ? "|" : "") + std::string(Cmd_Argv(i));
    g_ran.push_back(s);
}

// A fresh command system with its own commands, sinks that record what would be
// printed and raised, and the engine state flags cleared.
class Cmd : public testing::Test {
protected:
    void SetUp() override {
        Cmd_Startup();
        CmdTest_SetRunning(false, false, false);
        g_ran.clear();
        g_callbacks = 0;
        hm_test::StartCapture();
        Cmd_Imp();
    }
    void TearDown() override {
        CmdTest_SetRunning(false, false, false);
        hm_test::StopCapture();
    }
    static void Run(const char *text) {
        Cmd_Add(text);
        Cmd_Flush();
    }
    static bool Printed(const std::string &line) {
        for (const auto &p : captured.prints)
            if (p == line) return true;
        return false;
    }
};

// ---- variables ----

TEST_F(Cmd, NamesAreFoundInAnyCaseAndShareOneNameSpace) {
    static cmdVar_t v;
    Cmd_CreateCVar(&v, "sv_Hostname", "x", 0);
    EXPECT_EQ(Cmd_GetCVar("SV_HOSTNAME"), &v);
    EXPECT_EQ(Cmd_GetCVar("sv_hostname"), &v);
    EXPECT_EQ(Cmd_GetCVar("sv_hostnam"), nullptr);

    Cmd_CreateFunction("SV_HOSTNAME", Record, 0);
    ASSERT_EQ(captured.errors.size(), 1u);
    EXPECT_EQ(captured.errors[0].level, ER_FATAL);
    EXPECT_EQ(captured.errors[0].text, "Cmd_CreateFunction: Function \"SV_HOSTNAME\" already exist");

    static cmdVar_t again;
    Cmd_CreateCVar(&again, "SV_hostname", "y", 0);
    EXPECT_EQ(captured.errors.back(), (hm_test::errorRecord_t{ER_FATAL, "Cmd_CreateCVarEx: Variable \"SV_hostname\" already exist"}));

    // Only variables are searched when a variable is made.
    Cmd_CreateFunction("both", Record, 0);
    static cmdVar_t both;
    Cmd_CreateCVar(&both, "both", "1", 0);
    EXPECT_EQ(Cmd_GetCVar("both"), &both);

    Cmd_CreateAlias("Both", "x", 0);
    EXPECT_EQ(captured.errors.back(), (hm_test::errorRecord_t{ER_ERROR, "Symbol \"Both\" already exist"}));
}

TEST_F(Cmd, CreationReadsTheDefaultAndCallsBackOnlyWhenAsked) {
    static cmdVar_t a, b, c;
    Cmd_CreateCVarEx(&a, "a", "2.5", 0, Callback);
    EXPECT_EQ(g_callbacks, 0);
    EXPECT_FLOAT_EQ(a.value, 2.5f);
    EXPECT_EQ(a.integer, 2);
    EXPECT_EQ(a.boolean, 1u);
    EXPECT_FLOAT_EQ(a.previousValue, 2.5f);
    EXPECT_EQ(a.modificationCount, 0);
    EXPECT_STREQ(a.defaultString, "2.5");
    Cmd_CreateCVarEx(&b, "b", "0.5", CMD_INITCALL, Callback);
    EXPECT_EQ(g_callbacks, 1);
    EXPECT_EQ(b.boolean, 0u);  // the integer reading decides
    Cmd_CreateCVar(&c, "c", "x", CMD_READONLY);
    EXPECT_EQ(c.flags, uint32_t(CMD_READONLY | CMD_NOSAVE));

    // A function's handler is called at creation likewise, with no words.
    Cmd_CreateFunction("quiet", Record, 0);
    EXPECT_TRUE(g_ran.empty());
    Cmd_CreateFunction("loud", Record, CMD_INITCALL);
    EXPECT_EQ(g_ran, (std::vector<std::string>{""}));
}

TEST_F(Cmd, SettingTheSameTextStillCountsAndCallsBack) {
    static cmdVar_t v;
    Cmd_CreateCVarEx(&v, "v", "1", 0, Callback);
    Cmd_SetCVar(&v, "1", 0);
    Cmd_SetCVar(&v, "1", 0);
    EXPECT_EQ(v.modificationCount, 2);
    EXPECT_EQ(g_callbacks, 2);
    Cmd_SetCVar(&v, "7", 0);
    EXPECT_EQ(v.integer, 7);
    EXPECT_EQ(v.previousInteger, 1);
    Cmd_SetCVar(&v, nullptr, 0);
    Cmd_SetCVar(nullptr, "1", 0);
    EXPECT_EQ(v.modificationCount, 3);
}

TEST_F(Cmd, CallbacksWaitForTheSubsystemTheyNeed) {
    struct Case {
        uint32_t flag;
        bool server, client, renderer;
        bool called;
    } cases[] = {
        {CMD_CLIENT, false, false, false, false}, {CMD_CLIENT, false, true, false, true},
        {CMD_SERVER, false, true, true, false},   {CMD_SERVER, true, false, false, true},
        {CMD_RENDERER, false, true, false, false}, {CMD_RENDERER, false, false, true, true},
    };
    for (const Case &c : cases) {
        Cmd_Startup();
        static cmdVar_t v;
        Cmd_CreateCVarEx(&v, "v", "0", c.flag, Callback);
        CmdTest_SetRunning(c.server, c.client, c.renderer);
        g_callbacks = 0;
        Cmd_SetCVar(&v, "5", 0);
        EXPECT_STREQ(v.string, "5");
        EXPECT_EQ(v.modificationCount, 1);
        EXPECT_EQ(g_callbacks, c.called ? 1 : 0) << "flag " << c.flag;
    }
    Cmd_Startup();
    static cmdVar_t v;
    Cmd_CreateCVarEx(&v, "v", "0", 0, Callback);
    g_callbacks = 0;
    Cmd_NoVarFunctions(1);
    Cmd_SetCVar(&v, "1", 0);
    Cmd_NoVarFunctions(0);
    EXPECT_EQ(g_callbacks, 0);
}

TEST_F(Cmd, RendererRestartIsAnnouncedOnlyWhileTheRendererRuns) {
    static cmdVar_t v;
    Cmd_CreateCVar(&v, "r_mode", "0", CMD_RESTART);
    Cmd_SetCVar(&v, "1", 0);
    EXPECT_TRUE(captured.prints.empty());
    CmdTest_SetRunning(false, true, true);
    Cmd_SetCVar(&v, "1", 0);
    EXPECT_TRUE(Printed("Restart the renderer for this to take effect (r_restart)"));
}

TEST_F(Cmd, CheatProtectionRefusesUnforcedSetsAndResetsOnDisallow) {
    static cmdVar_t forced, plain, free;
    Cmd_CreateCVar(&forced, "g_speed", "320", CMD_CHEAT);
    Cmd_CreateCVar(&plain, "g_gravity", "800", CMD_CHEAT);
    Cmd_CreateCVar(&free, "name", "player", 0);
    Cmd_SetCVar(&forced, "400", 1);  // as the module sets it
    Cmd_SetCVar(&forced, "500", 0);
    Cmd_SetCVar(&plain, "100", 0);
    Cmd_SetCVar(&free, "other", 0);

    Cmd_SetAllowCheat(0);
    EXPECT_STREQ(forced.string, "400");
    EXPECT_STREQ(plain.string, "800");
    EXPECT_STREQ(free.string, "other");
    EXPECT_TRUE(captured.errors.empty());

    Cmd_SetCVar(&plain, "1", 0);
    EXPECT_STREQ(plain.string, "800");
    ASSERT_EQ(captured.errors.size(), 1u);
    EXPECT_EQ(captured.errors[0], (hm_test::errorRecord_t{ER_ERROR, "\"g_gravity\" is cheat protected"}));
    Cmd_SetCVar(&plain, "1", 1);
    EXPECT_STREQ(plain.string, "1");
}

TEST_F(Cmd, ConfigurationLinesHoldChangedAndAlwaysSavedVariables) {
    static cmdVar_t changed, same, always, readOnly, noSave;
    Cmd_CreateCVar(&changed, "b_changed", "1", 0);
    Cmd_CreateCVar(&same, "b_same", "1", 0);
    Cmd_CreateCVar(&always, "a_always", "1", CMD_ALWAYSSAVE);
    Cmd_CreateCVar(&readOnly, "c_readonly", "1", CMD_READONLY);
    Cmd_CreateCVar(&noSave, "d_nosave", "1", CMD_NOSAVE);
    for (cmdVar_t *v : {&changed, &readOnly, &noSave}) Cmd_SetCVar(v, "two words", 0);
    Cmd_SetCVar(&same, "1", 0);

    char *text = nullptr;
    size_t size = 0;
    FILE *f = open_memstream(&text, &size);
    Cmd_DumpCmds(f);
    fclose(f);
    EXPECT_EQ(std::string(text, size),
              "\n// variables (only dumped non defaults)\n"
              "a_always \"1\"\n"
              "b_changed \"two words\"\n"
              "\n");
    free(text);
}

TEST_F(Cmd, ListingsComeInByteOrderOfTheNames) {
    static cmdVar_t b, a, upper;
    Cmd_CreateCVar(&b, "b", "1", 0);
    Cmd_CreateCVar(&a, "a", "2", 0);
    Cmd_CreateCVar(&upper, "Z", "3", CMD_SECRET);
    Run("listVariables");
    ASSERT_GE(captured.prints.size(), 4u);
    EXPECT_EQ(captured.prints[0], "Z \xA4" "08=\xA4" "00 \"3\"");  // secrets are listed with their value
    EXPECT_EQ(captured.prints[1], "a \xA4" "08=\xA4" "00 \"2\"");
    EXPECT_EQ(captured.prints[2], "b \xA4" "08=\xA4" "00 \"1\"");
    EXPECT_EQ(captured.prints[3], "cmd_showflipflop \xA4" "08=\xA4" "00 \"0\"");

    captured.prints.clear();
    Run("listFunctions");
    const std::vector<std::string> functions = {"add", "alias", "delete", "exec", "flipflop", "listAlias",
                                                "listFunctions", "listVariables", "resetDefaults", "sleep",
                                                "wait"};
    EXPECT_EQ(captured.prints, functions);

    captured.prints.clear();
    Run("alias zz \"a 1\"; alias yy b");
    Run("listAlias");
    EXPECT_EQ(captured.prints, (std::vector<std::string>{"yy \xA4" "08=\xA4" "00 \"b\"", "zz \xA4" "08=\xA4" "00 \"a 1\""}));
}

TEST_F(Cmd, CompletionExtendsToTheCommonPrefixAndListsEveryMatch) {
    static cmdVar_t a, b;
    Cmd_CreateCVar(&a, "net_portAlpha", "1", 0);
    Cmd_CreateCVar(&b, "net_portBeta", "2", CMD_SECRET);
    Cmd_CreateAlias("net_portal", "x", 0);

    char line[512] = "set NET_P";
    EXPECT_EQ(Cmd_CompleteCmd(line), 1);
    EXPECT_STREQ(line, "set net_port");
    EXPECT_EQ(captured.prints, (std::vector<std::string>{
                             "List of: \"NET_P\"",
                             "    net_portAlpha = \"\xA4" "08" "1\xA4" "00\" default is \"1\"",
                             "    net_portBeta is a secret",
                             "    net_portal \xA4" "08=\xA4" "00 \"x\" (alias)",
                         }));

    captured.prints.clear();
    char one[512] = "x;listf";
    EXPECT_EQ(Cmd_CompleteCmd(one), 1);
    EXPECT_STREQ(one, "x;listFunctions ");
    EXPECT_TRUE(captured.prints.empty());

    char none[512] = "nothing";
    EXPECT_EQ(Cmd_CompleteCmd(none), 0);
    EXPECT_STREQ(none, "nothing");

    // Matches whose names differ in case within the typed word keep the word: the
    // line takes the first match's spelling of the common prefix.
    static cmdVar_t upper, lower;
    Cmd_CreateCVar(&upper, "SV_hostname", "x", 0);
    Cmd_CreateCVar(&lower, "sv_maxClients", "8", 0);
    char mixed[512] = "sv_";
    EXPECT_EQ(Cmd_CompleteCmd(mixed), 1);
    EXPECT_STREQ(mixed, "SV_");
}

TEST_F(Cmd, FlipflopAndAddChangeWritableVariables) {
    static cmdVar_t half, text, ro;
    Cmd_CreateCVar(&half, "half", "0.5", 0);
    Cmd_CreateCVar(&text, "text", "abc", 0);
    Cmd_CreateCVar(&ro, "ro", "0", CMD_READONLY);
    Run("flipflop half; flipflop text; flipflop ro; flipflop; flipflop nothing");
    EXPECT_STREQ(half.string, "0");
    EXPECT_STREQ(text.string, "1");
    EXPECT_STREQ(ro.string, "0");
    EXPECT_EQ(captured.prints, (std::vector<std::string>{"\"ro\" is a read only variable", "USAGE: flipflop <cmd var>"}));

    captured.prints.clear();
    Run("cmd_showflipflop 1; flipflop half");
    EXPECT_EQ(captured.prints, (std::vector<std::string>{"Flipflop \"half\" to 1"}));

    captured.prints.clear();
    Run("add half 2.25; add ro 1; add half");
    EXPECT_STREQ(half.string, "3.250000");
    EXPECT_EQ(captured.prints, (std::vector<std::string>{"\"ro\" is a read only variable", "USAGE: add <cmd var> <add value>"}));
}

TEST_F(Cmd, ResetDefaultsPutsEveryVariableBack) {
    static cmdVar_t a, ro, cheat;
    Cmd_CreateCVar(&a, "a", "1", 0);
    Cmd_CreateCVar(&ro, "ro", "2", CMD_READONLY);
    Cmd_CreateCVar(&cheat, "cheat", "3", CMD_CHEAT);
    for (cmdVar_t *v : {&a, &ro, &cheat}) Cmd_SetCVar(v, "9", 0);
    Cmd_SetAllowCheat(0);
    Cmd_SetCVar(&cheat, "9", 1);
    Run("resetDefaults");
    EXPECT_STREQ(a.string, "1");
    EXPECT_STREQ(ro.string, "2");
    EXPECT_STREQ(cheat.string, "9");  // refused while cheats are off
    EXPECT_EQ(captured.errors.size(), 1u);
    EXPECT_TRUE(Printed("Reset all cmd defaults"));
}

TEST_F(Cmd, LongNamesAndTextsAreCut) {
    static cmdVar_t v;
    const std::string longName(300, 'n'), longText(300, 't');
    Cmd_CreateCVar(&v, longName.c_str(), longText.c_str(), 0);
    EXPECT_EQ(std::string(v.name), longName.substr(0, 127));
    EXPECT_EQ(std::string(v.string), longText.substr(0, 127));
    Cmd_SetCVar(&v, longText.c_str(), 1);
    EXPECT_EQ(std::string(v.forcedString), longText.substr(0, 127));
    // The long name finds what it made, and cannot make it twice.
    EXPECT_EQ(Cmd_GetCVar(longName.c_str()), &v);
    Cmd_CreateFunction(longName.c_str(), Record, 0);
    EXPECT_EQ(captured.errors.size(), 1u);
}

// ---- command buffer ----

TEST_F(Cmd, StatementsSplitOnSemicolonsOutsideDoubleQuotes) {
    Cmd_CreateFunction("rec", Record, 0);
    Run("rec \"a;b\" c; rec 'x;y'");
    // A ';' between single quotes ends the segment.
    EXPECT_EQ(g_ran, (std::vector<std::string>{"rec|a;b|c", "rec|x"}));
    EXPECT_EQ(captured.prints, (std::vector<std::string>{"Unknown command \"y'\""}));

    g_ran.clear();
    Run("rec \"open; rec still; rec quoted");
    EXPECT_EQ(g_ran, (std::vector<std::string>{"rec|open; rec still; rec quoted;"}));
}

TEST_F(Cmd, LineBreaksEndStatementsAndCommentsAreSkipped) {
    Cmd_CreateFunction("rec", Record, 0);
    Run("rec a // the rest\nrec b /* c */ d\n\"\" e");
    EXPECT_EQ(g_ran, (std::vector<std::string>{"rec|a", "rec|b|d"}));

    g_ran.clear();
    Run("rec x\x01 y; rec z");  // a control byte ends its segment, not the flush
    EXPECT_EQ(g_ran, (std::vector<std::string>{"rec|x", "rec|z"}));
}

TEST_F(Cmd, WaitDefersTheRestToTheNextFlush) {
    Cmd_CreateFunction("rec", Record, 0);
    Run("rec 1;wait;rec 2");
    EXPECT_EQ(g_ran, (std::vector<std::string>{"rec|1"}));
    EXPECT_STREQ(qcmd.buffer, "rec 2;");
    EXPECT_EQ(qcmd.length, 6);
    Cmd_Flush();
    EXPECT_EQ(g_ran, (std::vector<std::string>{"rec|1", "rec|2"}));
    EXPECT_EQ(qcmd.length, 0);
}

TEST_F(Cmd, AVariableLinePrintsOrSetsIt) {
    static cmdVar_t v, ro, secret;
    Cmd_CreateCVar(&v, "name", "player", 0);
    Cmd_CreateCVar(&ro, "version", "1.10b", CMD_READONLY);
    Cmd_CreateCVar(&secret, "password", "x", CMD_SECRET);
    Run("name; version; password");
    EXPECT_EQ(captured.prints, (std::vector<std::string>{
                             "    name = \"\xA4" "08player\xA4" "00\" default is \"player\"",
                             "    version = \"\xA4" "08" "1.10b\xA4" "00\"",
                             "    password is a secret",
                         }));
    EXPECT_EQ(v.modificationCount, 0);

    captured.prints.clear();
    Run("NAME \"new one\" ignored; version 2\nname third");
    EXPECT_STREQ(v.string, "new one");
    EXPECT_STREQ(ro.string, "1.10b");
    // A read-only refusal ends its segment: the next line of it does not run.
    EXPECT_EQ(captured.prints, (std::vector<std::string>{"\"version\" is a read only variable"}));
}

TEST_F(Cmd, UnknownWordsAndRefusedFunctionsPrintOneLineEach) {
    Cmd_CreateFunction("sv_kick", Record, CMD_SERVER);
    Cmd_CreateFunction("cl_say", Record, CMD_CLIENT);
    Cmd_CreateFunction("r_shot", Record, CMD_RENDERER);
    Cmd_CreateFunction("god", Record, CMD_CHEAT);
    Cmd_SetAllowCheat(0);
    Run("nosuch 1; sv_kick; cl_say; r_shot; god");
    EXPECT_TRUE(g_ran.empty());
    EXPECT_EQ(captured.prints, (std::vector<std::string>{
                             "Unknown command \"nosuch\"",
                             "You must be server to use \"sv_kick\"",
                             "Client must be initialized to use \"cl_say\"",
                             "Renderer must be initialized to use \"r_shot\"",
                         }));
    EXPECT_EQ(captured.errors, (std::vector<hm_test::errorRecord_t>{{ER_ERROR, "\"god\" is cheat protected"}}));

    CmdTest_SetRunning(true, true, false);
    Cmd_SetAllowCheat(1);
    Run("sv_kick; cl_say; r_shot; god");
    EXPECT_EQ(g_ran.size(), 4u);  // functions that need the renderer wait only for the client
}

TEST_F(Cmd, AppendedTextMustLeaveRoomForItsSemicolonAndZero) {
    const std::string fits(8190, 'x'), dropped(8191, 'x'), tooLong(8193, 'x');
    Cmd_Add(dropped.c_str());
    EXPECT_EQ(qcmd.length, 0);
    EXPECT_EQ(captured.errors.back(), (hm_test::errorRecord_t{ER_WARNING, "Cmd_Add: Dropping cmds"}));
    Cmd_Add(tooLong.c_str());
    EXPECT_EQ(captured.errors.back(), (hm_test::errorRecord_t{ER_ERROR, "Cmd_Add: String too long"}));
    Cmd_Add(fits.c_str());
    EXPECT_EQ(qcmd.length, 8191);
    EXPECT_EQ(qcmd.buffer[8190], ';');
    EXPECT_EQ(qcmd.buffer[8191], 0);
}

TEST_F(Cmd, WordsBeyondTheSlotTableAreDroppedWithTheirStatement) {
    Cmd_CreateFunction("rec", Record, 0);
    std::string line = "rec";
    for (int i = 1; i < 40; i++) line += " w" + std::to_string(i);
    line += " rec";  // never runs as a command of its own
    Run(line.c_str());
    ASSERT_EQ(g_ran.size(), 1u);
    EXPECT_EQ(Cmd_Argc(), CMD_MAX_ARGS);
    EXPECT_STREQ(Cmd_Argv(31), "w31");
    EXPECT_STREQ(Cmd_Argv(32), "");
    EXPECT_STREQ(Cmd_Argv(-1), "");
    EXPECT_STREQ(Cmd_Argv(1000), "");

    const std::string word(400, 'w');
    Run(("rec " + word).c_str());
    EXPECT_EQ(std::string(Cmd_Argv(1)), word.substr(0, 255));
}

TEST_F(Cmd, AliasesRunAfterWhatIsQueuedAndSelfReferenceStopsAtTheFullBuffer) {
    Cmd_CreateFunction("rec", Record, 0);
    Run("alias two \"rec a; rec b\"; two; rec c");
    EXPECT_EQ(g_ran, (std::vector<std::string>{"rec|c", "rec|a", "rec|b"}));

    captured.prints.clear();
    Run("alias two x; alias; alias rec y; alias exec z");
    EXPECT_EQ(captured.prints, (std::vector<std::string>{"Symbol \"two\" already exist", "USAGE: alias <name> <cmds>",
                                                   "Symbol \"rec\" already exist", "Symbol \"exec\" already exist"}));

    captured.errors.clear();
    Run("alias loop loop; loop");
    EXPECT_EQ(qcmd.length, 0);
    ASSERT_FALSE(captured.errors.empty());
    EXPECT_EQ(captured.errors.back(), (hm_test::errorRecord_t{ER_WARNING, "Cmd_Add: Dropping cmds"}));
}

// A handler that queues and flushes from inside a flush, as the client game does.
void NestedFlush() {
    Record();
    Cmd_Add("rec inner");
    Cmd_Flush();
}

TEST_F(Cmd, NestedFlushRunsEverythingExactlyOnce) {
    Cmd_CreateFunction("rec", Record, 0);
    Cmd_CreateFunction("nest", NestedFlush, 0);
    Run("rec 1; nest; rec 2; rec 3");
    EXPECT_EQ(g_ran, (std::vector<std::string>{"rec|1", "nest", "rec|2", "rec|3", "rec|inner"}));
    EXPECT_EQ(qcmd.length, 0);
}

void FlushAgain() {
    Record();
    Cmd_Flush();
}

TEST_F(Cmd, FlushesNestedDeepLeaveTheirTextToTheFlushAround) {
    Cmd_CreateFunction("again", FlushAgain, 0);
    std::string text;
    for (int i = 0; i < 1000; i++) text += "again;";
    Run(text.c_str());
    EXPECT_EQ(g_ran.size(), 1000u);
    EXPECT_EQ(qcmd.length, 0);
}

// Scripts are read through the file system, based in a directory of the test's own.
class CmdExec : public Cmd {
protected:
    ScratchDir dir{true};
    void SetUp() override {
        Cmd::SetUp();
        FS_StartUp(nullptr);
        captured.prints.clear();
    }
    void TearDown() override {
        dir.Leave();
        FS_StartUp(nullptr);  // no later test may find the file system in a removed directory
        Cmd::TearDown();
    }
};

TEST_F(CmdExec, AFileWithWindowsLineEndsRunsEveryLine) {
    Cmd_CreateFunction("rec", Record, 0);
    static cmdVar_t v;
    Cmd_CreateCVar(&v, "name", "player", 0);
    dir.Write("config.cfg", "rec 1\r\n// comment\r\nname \"two words\"\r\n\r\nrec \"a;b\"\r\n");
    Run("exec config.cfg");
    EXPECT_EQ(g_ran, (std::vector<std::string>{"rec|1", "rec|a;b"}));
    EXPECT_STREQ(v.string, "two words");
    EXPECT_TRUE(captured.prints.empty());
}

TEST_F(CmdExec, ConfigurationLinesRunAgainToTheSameValues) {
    static cmdVar_t quoted, after;
    Cmd_CreateCVar(&quoted, "a_name", "player", 0);
    Cmd_CreateCVar(&after, "b_fov", "90", 0);
    Cmd_SetCVar(&quoted, "Mr \"X; the one", 0);  // as the module may set it
    Run("b_fov 110");
    FILE *f = fopen("config.cfg", "w");
    Cmd_DumpCmds(f);
    fclose(f);

    Cmd_SetCVar(&quoted, "player", 0);
    Cmd_SetCVar(&after, "90", 0);
    Run("exec config.cfg");
    EXPECT_STREQ(quoted.string, "Mr 'X; the one");
    EXPECT_STREQ(after.string, "110");
}

// What a player set at the console is written at quit and read back by the next start:
// each binding and value comes back as it was, or, where the reader has no way to hold
// it, as the nearest text that cannot spoil the lines after it.
TEST_F(CmdExec, BindingsAndValuesReadBackAsTheConsoleSetThem) {
    Cmd_CreateFunction("bind", IN_Bind_f, 0);
    Cmd_CreateFunction("unbindall", IN_UnbindAll_f, 0);
    IN_SetAmericanKeyNames();
    static cmdVar_t said, apostrophe;
    Cmd_CreateCVar(&said, "a_said", "x", 0);
    Cmd_CreateCVar(&apostrophe, "b_apostrophe", "x", 0);
    const std::string longest(CMD_MAX_WORD, 'l');
    const struct {
        int key;
        std::string line;      // the console line that sets the binding
        std::string readBack;  // its command after quit and start
    } rows[] = {
        {16, "bind q down 'say \"gg\"'", "say \"gg\""},
        {17, "bind w down 'echo \"a;b\" // c'", "echo \"a;b\" // c"},
        {18, "bind e down 'say \"hi'", "say 'hi"},  // an unpaired quote cannot be kept
        {19, "bind r down \"a;b\"", "a;b"},
        {20, "bind t down \"say\nit's\"", "say;it's"},  // a script's line end reads as ';'
        {21, "bind y pressed +attack", "+attack"},
        {22, "bind u down \"" + longest + "tail\"", longest},
        {23, "bind i up \"\"", ""},
    };
    for (const auto &r : rows) Run(r.line.c_str());
    Run("a_said 'say \"hi\" // there'");
    Run("b_apostrophe \"it's\"");
    ASSERT_TRUE(captured.prints.empty()) << captured.prints.front();
    ASSERT_TRUE(captured.errors.empty()) << hm_test::AllErrors();

    FILE *f = fopen("config.cfg", "w");
    Cmd_DumpCmds(f);
    IN_DumpKeyBindings(f);
    fclose(f);
    IN_UnbindAll_f();
    Cmd_SetCVar(&said, "x", 0);
    Cmd_SetCVar(&apostrophe, "x", 0);
    Run("exec config.cfg");

    for (const auto &r : rows)
        EXPECT_EQ(keys[r.key].command ? keys[r.key].command : "(unbound)", r.readBack) << r.line;
    EXPECT_EQ(keys[21].bindMode, BIND_PRESSED);
    EXPECT_STREQ(said.string, "say \"hi\" // there");
    EXPECT_STREQ(apostrophe.string, "it's");
    EXPECT_TRUE(captured.prints.empty()) << captured.prints.front();
    EXPECT_TRUE(captured.errors.empty()) << hm_test::AllErrors();
    IN_UnbindAll_f();
}

TEST_F(CmdExec, MissingFileAndWrongWordCountAreReported) {
    Run("exec missing.cfg; exec; exec a b");
    EXPECT_EQ(captured.prints, (std::vector<std::string>{"Couldn't find file \"missing.cfg\"", "USAGE: exec <filename>",
                                                   "USAGE: exec <filename>"}));
}

TEST_F(CmdExec, AFileManyTimesTheBufferRunsWholeInOrderAsTheBufferDrains) {
    Cmd_CreateFunction("rec", Record, 0);
    std::string text;
    std::vector<std::string> expected = {"rec|before", "rec|after"};
    for (int i = 0; i < 4000; i++) {  // about 40 KB
        text += "rec " + std::to_string(i) + (i == 2500 ? "\nwait\n" : "\n");
        expected.push_back("rec|" + std::to_string(i));
    }
    dir.Write("big.cfg", text);
    // The script runs after what was queued before it; a wait in it holds the rest
    // for the next flush, and what is queued meanwhile waits behind the script.
    Run("rec before; exec big.cfg; rec after");
    EXPECT_EQ(g_ran, std::vector<std::string>(expected.begin(), expected.begin() + 2503));
    Cmd_Add("rec later");
    Cmd_Flush();
    expected.push_back("rec|later");
    EXPECT_EQ(g_ran, expected);
    EXPECT_TRUE(captured.errors.empty()) << captured.errors.front().text;
    EXPECT_EQ(qcmd.length, 0);
}

TEST_F(CmdExec, ScriptsAliasesAndNestedFlushesKeepTheOrderOfTheQueue) {
    Cmd_CreateFunction("rec", Record, 0);
    Cmd_CreateFunction("nest", NestedFlush, 0);
    std::string pad;
    for (int i = 0; i < 1000; i++) pad += "// keeps the script longer than the buffer\n";
    dir.Write("a.cfg", pad + "rec a1\nexec b.cfg\nalias al \"rec al\"\nal\nnest\nrec a2\nrec \"unbalanced;x");
    dir.Write("b.cfg", "rec \"b;1\"\nrec b2");
    Run("exec a.cfg; rec queued");
    // Everything runs after what was queued before it: a.cfg after "rec queued", and
    // what a.cfg queued (b.cfg, the alias's text, the nested handler's line) after the
    // rest of a.cfg, in its order.  An unbalanced quote does not reach past its script.
    EXPECT_EQ(g_ran, (std::vector<std::string>{"rec|queued", "rec|a1", "nest", "rec|a2", "rec|unbalanced;x",
                                               "rec|b;1", "rec|b2", "rec|al", "rec|inner"}));
    EXPECT_EQ(qcmd.length, 0);
}

TEST_F(CmdExec, WhatAScriptCannotRunIsReported) {
    Cmd_CreateFunction("rec", Record, 0);
    dir.Write("long.cfg", "rec 1\nrec " + std::string(9000, 'x') + "\nrec 2\n");
    Run("exec long.cfg");
    EXPECT_EQ(g_ran, (std::vector<std::string>{"rec|1", "rec|2"}));
    ASSERT_EQ(captured.errors.size(), 1u);
    EXPECT_EQ(captured.errors[0], (hm_test::errorRecord_t{
                                      ER_ERROR, "exec \"long.cfg\": a command of 9004 characters is longer than the "
                                                "command buffer; not run"}));

    // A script that runs itself stops at the depth limit, and says so.
    g_ran.clear();
    captured.errors.clear();
    dir.Write("self.cfg", "rec self\nexec self.cfg\n");
    Run("exec self.cfg");
    EXPECT_EQ(g_ran.size(), size_t(CMD_MAX_SCRIPT_DEPTH));
    ASSERT_EQ(captured.errors.size(), 1u);
    EXPECT_EQ(captured.errors[0].text, "exec \"self.cfg\": scripts run from scripts more than 16 deep; not run");

    // A script that runs itself twice would double at every level: the queue's limit
    // bounds it, and every script refused is reported.
    g_ran.clear();
    captured.errors.clear();
    dir.Write("fan.cfg", "rec fan\nexec fan.cfg\nexec fan.cfg\n");
    Run("exec fan.cfg");
    EXPECT_GT(g_ran.size(), size_t(CMD_MAX_QUEUED_SCRIPTS));
    EXPECT_LE(g_ran.size(), size_t(CMD_MAX_QUEUED_SCRIPTS * CMD_MAX_SCRIPT_DEPTH));
    EXPECT_FALSE(captured.errors.empty());
    EXPECT_EQ(captured.errors.back().text.find("exec \"fan.cfg\": "), 0u);

    // A zero byte ends the text: what follows it is reported, not silently dropped.
    g_ran.clear();
    captured.errors.clear();
    dir.Write("zero.cfg", std::string("rec 1\n\0rec 2\n", 13));
    Run("exec zero.cfg");
    EXPECT_EQ(g_ran, (std::vector<std::string>{"rec|1"}));
    ASSERT_EQ(captured.errors.size(), 1u);
    EXPECT_EQ(captured.errors[0], (hm_test::errorRecord_t{ER_WARNING, "exec \"zero.cfg\": a zero byte at 6 ends the "
                                                                      "script; the 7 bytes from there on are not run"}));
}

TEST_F(Cmd, SleepAndDeleteCheckTheirWords) {
    Run("sleep; sleep -5; delete anything; sleep 1");
    EXPECT_EQ(captured.prints, (std::vector<std::string>{"USAGE: sleep <ms>"}));
}

}  // namespace
