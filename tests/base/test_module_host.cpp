// The engine's side of the module boundary: loading and refusing modules, the
// Call wrappers, and the trap dispatcher.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/base.h"
#include "base/cmd.h"
#include "base/files.h"
#include "base/input.h"
#include "base/module.h"
#include "base/net.h"
#include "base/renderer.h"
#include "common/common.h"
#include "tests/base/testmod/testmod.h"
#include "tests/support/capture.h"

namespace {

using hm_test::captured;
std::vector<std::string> &prints = captured.prints;
std::vector<std::string> &devPrints = captured.devPrints;
std::vector<hm_test::errorRecord_t> &errors = captured.errors;
int &errorAnswer = captured.errorAnswer;

bool Printed(const std::string &text) {
    for (const std::string &p : prints) {
        if (p == text) return true;
    }
    return false;
}

bool GeIsClear() {
    static const gameExport_t zero = {};
    return memcmp(&ge, &zero, sizeof(ge)) == 0;
}

// Runs in the build directory, where the modules are, with recording sinks.
struct HostFixture : testing::Test {
    std::filesystem::path previous;
    void *testMod = nullptr;
    testModState_t *mod = nullptr;

    void SetUp() override {
        previous = std::filesystem::current_path();
        std::filesystem::current_path(HM_BUILD_DIR);
        prints.clear();
        devPrints.clear();
        errors.clear();
        errorAnswer = 0;
        Com_SetupPrintf(PRF_SINKS, hm_test::CapturePrint, hm_test::CaptureDevPrint);
        Com_SetupError(hm_test::CaptureError);
        // The test's own reference keeps the stand-in's state alive across the
        // engine's loading and unloading.
        testMod = dlopen("./hm_testmod_linux.so", RTLD_LOCAL | RTLD_NOW);
        ASSERT_NE(testMod, nullptr) << dlerror();
        mod = reinterpret_cast<testModState_t *(*)()>(dlsym(testMod, "TestMod_State"))();
        *mod = testModState_t{GAME_API_MAGIC, GAME_API_VERSION, sizeof(gameExport_t), 0, {}, "", 0, -1, {}, 0};
    }
    void TearDown() override {
        Base_CloseGame();
        if (testMod) dlclose(testMod);
        Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
        Com_SetupError(nullptr);
        std::filesystem::current_path(previous);
    }
};

// ---- loading ----

TEST_F(HostFixture, GoodModuleIsLoadedAndUnloaded) {
    Base_LoadGame("hm_testmod");
    ASSERT_TRUE(errors.empty()) << errors[0].text;
    EXPECT_TRUE(Printed("Loading Game Module: \"\xA4" "08hm_testmod\xA4" "00\"..."));
    EXPECT_TRUE(Printed("\xA4" "08Loaded GAME \"TestMod\" version: 0.1"));
    EXPECT_TRUE(Base_GameLoaded());
    EXPECT_EQ(mod->import.magic, GAME_API_MAGIC);
    EXPECT_EQ(mod->import.apiVersion, 11u);
    EXPECT_EQ(mod->import.size, sizeof(gameImport_t));
    EXPECT_EQ(mod->import.trap, &Gi_Trap);

    Base_LoadGame("hm_testmod");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].level, ER_ERROR);
    EXPECT_EQ(errors[0].text, "Game dll is all ready loaded");

    Base_UnloadGame();
    EXPECT_EQ(mod->calls, 1);
    EXPECT_EQ(mod->number, GCALL_MAIN_SHUTDOWN);
    EXPECT_TRUE(Printed("\xA4" "08Unloaded game DLL"));
    EXPECT_FALSE(Base_GameLoaded());
    EXPECT_TRUE(GeIsClear());
    prints.clear();
    Base_UnloadGame();
    EXPECT_TRUE(prints.empty());
    EXPECT_EQ(mod->calls, 1);
}

void CallEveryWrapper() {
    char text[256] = {};
    int32_t word = 0;
    const float v[3] = {};
    Call_Main_Imp();
    Call_Main_Init();
    Call_Main_Shutdown();
    Call_Main_Frame();
    Call_SG_Imp(1);
    Call_SG_ClientConnect(nullptr, text, -1, 0);
    Call_SG_ClientDrop(3, "kicked");
    Call_SG_Frame();
    Call_SG_Shutdown();
    Call_SG_GetServerInfo(text, text, &word, text);
    Call_CG_Imp();
    Call_CG_Init();
    Call_CG_Shutdown();
    EXPECT_EQ(Call_CG_ConnectedToServer(), 0);
    EXPECT_EQ(Call_CG_MapChange(text), 0);
    Call_CG_RestartRenderer();
    Call_CG_CCFrame();
    Call_CG_Frame();
    Call_CG_Print(text);
    EXPECT_EQ(Call_CG_AllowBind(), 0);
    Call_CG_WorldDeform(v, v);
    Call_CG_DumpServers(stdout);
    Call_UI_Imp(text);
    Call_UI_Init();
    Call_UI_Shutdown();
    Call_WriteStandardConfig();
    Call_Disconnect();
    Call_DisconnectScreen2(text);
}

TEST_F(HostFixture, RefusedModulesLeaveNothingLoadedAndAreNeverCalled) {
    struct {
        const char *name;
        uint32_t magic, apiVersion, size;
        uint8_t noCall;
        int level;
        const char *text;
    } const cases[] = {
        {"hm_testmod", 0x2C7AFD06, 11, sizeof(gameExport_t), 0, ER_FATAL,
         "Game API magic mismatch! (game dll corrupt)"},
        {"hm_testmod", GAME_API_MAGIC, 9, sizeof(gameExport_t), 0, ER_FATAL,
         "Game API mismatch (engine API: 11 game API: 9)"},
        {"hm_testmod", GAME_API_MAGIC, 11, sizeof(gameExport_t) - 4, 0, ER_FATAL, "Game API mismatch"},
        {"hm_testmod", GAME_API_MAGIC, 11, sizeof(gameExport_t), 1, ER_FATAL, "Game API mismatch (no Call)"},
        {"hm_noapi", GAME_API_MAGIC, 11, sizeof(gameExport_t), 0, ER_FATAL,
         "Could not load game module (no GetGameAPI)"},
        {"hm_missing", GAME_API_MAGIC, 11, sizeof(gameExport_t), 0, ER_ERROR, "Could not load game module"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        errors.clear();
        mod->magic = c.magic;
        mod->apiVersion = c.apiVersion;
        mod->size = c.size;
        mod->noCall = c.noCall;
        mod->calls = 0;
        mod->result = 0x101;  // would show through any wrapper with a result
        Base_LoadGame(c.name);
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.back().level, c.level);
        EXPECT_EQ(errors.back().text, c.text);
        EXPECT_FALSE(Base_GameLoaded());
        EXPECT_TRUE(GeIsClear());
        CallEveryWrapper();
        EXPECT_EQ(mod->calls, 0);
    }
}

TEST_F(HostFixture, MissingModuleReportsTheFileAndTheSystemReason) {
    Base_LoadGame("hm_missing");
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].text.rfind("Sys_LoadGameModule: Could not dlopen from \"", 0), 0u) << errors[0].text;
    EXPECT_NE(errors[0].text.find("hm_missing_linux.so"), std::string::npos) << errors[0].text;
    EXPECT_TRUE(Printed("Trying dlopen( \"./hm_missing_linux.so\", RTLD_LOCAL | RTLD_LAZY )"));
}

// ---- Call wrappers ----

struct callCase_t {
    gameCallNum_t number;
    const char *kinds;
    std::vector<int64_t> values;  // what the module must decode from each word
    void (*invoke)();
};

char text1[8], text2[8], text3[8], text4[8];
netadr_t address;
int32_t outWord;
const float mins[3] = {}, maxs[3] = {};
int64_t P(const void *p) { return reinterpret_cast<intptr_t>(p); }

TEST_F(HostFixture, EveryCallWrapperPacksItsArgumentsForItsNumber) {
    Base_LoadGame("hm_testmod");
    ASSERT_TRUE(Base_GameLoaded());
    const callCase_t cases[] = {
        {GCALL_MAIN_IMP, "", {}, [] { Call_Main_Imp(); }},
        {GCALL_MAIN_INIT, "", {}, [] { Call_Main_Init(); }},
        {GCALL_MAIN_SHUTDOWN, "", {}, [] { Call_Main_Shutdown(); }},
        {GCALL_MAIN_FRAME, "", {}, [] { Call_Main_Frame(); }},
        {GCALL_SG_IMP, "B", {1}, [] { Call_SG_Imp(1); }},
        {GCALL_SG_CLIENT_CONNECT, "PPWW", {P(&address), P(text2), -1, 77},
         [] { Call_SG_ClientConnect(&address, text2, -1, 77); }},
        {GCALL_SG_CLIENT_DROP, "WP", {3, P(text1)}, [] { Call_SG_ClientDrop(3, text1); }},
        {GCALL_SG_FRAME, "", {}, [] { Call_SG_Frame(); }},
        {GCALL_SG_SHUTDOWN, "", {}, [] { Call_SG_Shutdown(); }},
        {GCALL_SG_GET_SERVER_INFO, "PPPP", {P(text1), P(text2), P(&outWord), P(text4)},
         [] { Call_SG_GetServerInfo(text1, text2, &outWord, text4); }},
        {GCALL_CG_IMP, "", {}, [] { Call_CG_Imp(); }},
        {GCALL_CG_INIT, "", {}, [] { Call_CG_Init(); }},
        {GCALL_CG_SHUTDOWN, "", {}, [] { Call_CG_Shutdown(); }},
        {GCALL_CG_CONNECTED_TO_SERVER, "", {}, [] { Call_CG_ConnectedToServer(); }},
        {GCALL_CG_MAP_CHANGE, "P", {P(text1)}, [] { Call_CG_MapChange(text1); }},
        {GCALL_CG_RESTART_RENDERER, "", {}, [] { Call_CG_RestartRenderer(); }},
        {GCALL_CG_CC_FRAME, "", {}, [] { Call_CG_CCFrame(); }},
        {GCALL_CG_FRAME, "", {}, [] { Call_CG_Frame(); }},
        {GCALL_CG_PRINT, "P", {P(text1)}, [] { Call_CG_Print(text1); }},
        {GCALL_CG_ALLOW_BIND, "", {}, [] { Call_CG_AllowBind(); }},
        {GCALL_CG_WORLD_DEFORM, "PP", {P(mins), P(maxs)}, [] { Call_CG_WorldDeform(mins, maxs); }},
        {GCALL_CG_DUMP_SERVERS, "P", {P(stdout)}, [] { Call_CG_DumpServers(stdout); }},
        {GCALL_UI_IMP, "P", {P(text3)}, [] { Call_UI_Imp(text3); }},
        {GCALL_UI_INIT, "", {}, [] { Call_UI_Init(); }},
        {GCALL_UI_SHUTDOWN, "", {}, [] { Call_UI_Shutdown(); }},
        {GCALL_WRITE_STANDARD_CONFIG, "", {}, [] { Call_WriteStandardConfig(); }},
        {GCALL_DISCONNECT, "", {}, [] { Call_Disconnect(); }},
        {GCALL_DISCONNECT_SCREEN, "P", {P(text2)}, [] { Call_DisconnectScreen2(text2); }},
    };
    static_assert(std::size(cases) == GCALL_COUNT);
    for (const callCase_t &c : cases) {
        SCOPED_TRACE(testing::Message() << "call " << c.number);
        mod->kinds = c.kinds;
        mod->calls = 0;
        c.invoke();
        EXPECT_EQ(mod->calls, 1);
        EXPECT_EQ(mod->number, c.number);
        for (size_t i = 0; i < c.values.size(); i++) EXPECT_EQ(mod->values[i], c.values[i]) << "word " << i;
    }
}

TEST_F(HostFixture, ByteResultsAreTheLowByteOfTheCall) {
    Base_LoadGame("hm_testmod");
    ASSERT_TRUE(Base_GameLoaded());
    for (const int32_t result : {0x101, 0x100, 1, 0}) {
        mod->result = result;
        const uint8_t expected = result & 0xFF;
        EXPECT_EQ(Call_CG_ConnectedToServer(), expected);
        EXPECT_EQ(Call_CG_MapChange("w"), expected);
        EXPECT_EQ(Call_CG_AllowBind(), expected);
    }
}

// ---- trap dispatcher ----

// Words that every trap can read: each points at zeroed scratch space.
struct scratchArgs_t {
    alignas(16) uint8_t scratch[GAME_MAX_ARGS][64] = {};
    gameArg_t args[GAME_MAX_ARGS];
    scratchArgs_t() {
        for (int i = 0; i < GAME_MAX_ARGS; i++) args[i] = reinterpret_cast<gameArg_t>(scratch[i]);
    }
};

TEST_F(HostFixture, BadTrapNumbersAreFatalAndYieldZero) {
    scratchArgs_t a;
    EXPECT_EQ(Gi_Trap(GTRAP_COUNT, a.args), 0);
    EXPECT_EQ(Gi_Trap(-1, a.args), 0);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].level, ER_FATAL);
    EXPECT_EQ(errors[0].text, "Trap: Bad trap 129");
    EXPECT_EQ(errors[1].text, "Trap: Bad trap -1");
}

TEST_F(HostFixture, TrapZeroReportsTheEngineStateAtTheMomentOfTheCall) {
    const qbase_t saved = qbase;
    const netadr_t savedAddress = qnet.localAddress;
    const uint16_t savedQport = qnet.myQport;
    qbase.initialised = 0;
    qbase.developer = 1;
    qbase.newerVersion = 1;
    qbase.startClock = 70000;
    qbase.frameCount = 1;
    qbase.time = qbase.previousTime = BASE_TIME_START;
    qbase.instanceNumber = 0xDEADBEEF;
    qnet.localAddress.port = 14666;
    qnet.myQport = 321;

    qgame_t out;
    memset(&out, 0xEE, sizeof(out));
    gameArg_t args[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(&out)};
    EXPECT_EQ(Gi_Trap(GTRAP_GET_QGAME, args), 0);
    // Before the first frame: frame count 1 and the game time's start.
    EXPECT_EQ(out.frameCount, 1u);
    EXPECT_EQ(out.time, 393215u);
    EXPECT_EQ(out.previousTime, 393215u);
    EXPECT_EQ(out.developer, 1);
    EXPECT_EQ(out.newerVersion, 1);
    EXPECT_EQ(out.startTime, 70000u);
    EXPECT_EQ(out.instance, 0xDEADBEEFu);
    EXPECT_EQ(out.qport, 321);
    EXPECT_EQ(memcmp(out.localAddress, &qnet.localAddress, sizeof(out.localAddress)), 0);
    EXPECT_EQ(out.reserved3, 0xEE) << "padding is not written";
    EXPECT_EQ(out.reserved46, 0xEEEE) << "padding is not written";

    // No refresh step in between: what changed is what the next trap reports.
    qbase.initialised = 1;
    qbase.time = BASE_TIME_START + 50;
    qbase.frameMsec = 50;
    qbase.frameSeconds = 0.05f;
    qbase.fps = 20;
    qbase.frameCount = 2;
    EXPECT_EQ(Gi_Trap(GTRAP_GET_QGAME, args), 0);
    EXPECT_EQ(out.initialized, 1);
    EXPECT_EQ(out.time, 393265u);
    EXPECT_EQ(out.frameMsec, 50u);
    EXPECT_EQ(out.frameSeconds, 0.05f);
    EXPECT_EQ(out.fps, 20u);
    EXPECT_EQ(out.frameCount, 2u);

    // The direct filler leaves the newer-version byte to its caller.
    memset(&out, 0xEE, sizeof(out));
    Gi_GetQGame(&out);
    EXPECT_EQ(out.newerVersion, 0xEE);
    EXPECT_EQ(out.time, 393265u);

    gameArg_t none[GAME_MAX_ARGS] = {};
    EXPECT_EQ(Gi_Trap(GTRAP_GET_QGAME, none), 0);  // a null record is left alone
    qbase = saved;
    qnet.localAddress = savedAddress;
    qnet.myQport = savedQport;
}

TEST_F(HostFixture, FloatTrapsLeaveTheAddressOfTheirResultInWordZero) {
    for (int i = 0; i < 200; i++) {
        gameArg_t args[GAME_MAX_ARGS] = {};
        EXPECT_EQ(Gi_Trap(GTRAP_CRAND, args), 0);
        ASSERT_NE(args[0], 0);
        const float c = *reinterpret_cast<const float *>(args[0]);
        EXPECT_TRUE(c >= -1.0f && c <= 1.0f) << c;
        args[0] = 0;
        EXPECT_EQ(Gi_Trap(GTRAP_FRAND, args), 0);
        ASSERT_NE(args[0], 0);
        const float f = *reinterpret_cast<const float *>(args[0]);
        EXPECT_TRUE(f >= 0.0f && f <= 1.0f) << f;
    }
}

TEST_F(HostFixture, ClockRandomAndNoiseTraps) {
    gameArg_t none[GAME_MAX_ARGS] = {};
    const intptr_t t0 = Gi_Trap(GTRAP_GET_TIME, none);
    EXPECT_GE(Gi_Trap(GTRAP_GET_TIME, none) - t0, 0);
    const intptr_t r = Gi_Trap(GTRAP_RAND, none);
    EXPECT_TRUE(r >= 0 && r <= RAND_MAX) << r;

    float v[3] = {1, 2, 3};
    float amount = 0.0f;
    gameArg_t args[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(v), reinterpret_cast<gameArg_t>(&amount)};
    Gi_Trap(GTRAP_VECTOR_ADD_NOISE, args);
    EXPECT_EQ(v[0], 1.0f);
    EXPECT_EQ(v[2], 3.0f);
    amount = 0.5f;
    Gi_Trap(GTRAP_VECTOR_ADD_NOISE, args);
    EXPECT_NEAR(v[0], 1.0f, 0.5f);
    EXPECT_NEAR(v[1], 2.0f, 0.5f);
    EXPECT_NEAR(v[2], 3.0f, 0.5f);
    EXPECT_TRUE(errors.empty());
}

TEST_F(HostFixture, PrintTrapChoosesTheSinkByItsDeveloperByte) {
    uint8_t developer[4] = {0, 0xFF, 0xFF, 0xFF};  // only the first byte is the flag
    gameArg_t args[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>("100%d"), reinterpret_cast<gameArg_t>(developer)};
    Gi_Trap(GTRAP_PRINT, args);
    developer[0] = 1;
    Gi_Trap(GTRAP_PRINT, args);
    EXPECT_EQ(prints, std::vector<std::string>{"100%d"});
    EXPECT_EQ(devPrints, std::vector<std::string>{"100%d"});
}

TEST_F(HostFixture, ErrorTrapPassesLevelAndTextAndReturnsTheSinksAnswer) {
    int32_t level = ER_BUG;
    gameArg_t args[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(&level), reinterpret_cast<gameArg_t>("50%s")};
    errorAnswer = 2;
    EXPECT_EQ(Gi_Trap(GTRAP_ERROR, args), 2);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].level, ER_BUG);
    EXPECT_EQ(errors[0].text, "50%s");
}

TEST_F(HostFixture, EmptyTrapsDoNothing) {
    for (const int number : {GTRAP_RUN_SOMETHING, GTRAP_LOAD_MPK, GTRAP_RESERVED_125}) {
        gameArg_t args[GAME_MAX_ARGS] = {};
        EXPECT_EQ(Gi_Trap(number, args), 0);
    }
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(prints.empty());
}

TEST_F(HostFixture, MemoryTrapsAllocateAndFreeEngineBlocks) {
    const int blocks = Com_GetMemBlocks();
    int32_t size = 100;
    gameArg_t args[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(&size)};
    void *block = reinterpret_cast<void *>(Gi_Trap(GTRAP_MEM_ALLOC, args));
    ASSERT_NE(block, nullptr);
    memset(block, 0xAB, 100);
    EXPECT_EQ(Com_GetMemBlocks(), blocks + 1);
    args[0] = reinterpret_cast<gameArg_t>(block);
    Gi_Trap(GTRAP_MEM_FREE, args);
    EXPECT_EQ(Com_GetMemBlocks(), blocks);
}

TEST_F(HostFixture, BoneCountsThatWouldWrapAreRefused) {
    for (int32_t count : {-1, INT32_MAX / 48 + 1, INT32_MAX}) {
        errors.clear();
        gameArg_t args[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(&count)};
        EXPECT_EQ(Gi_Trap(GTRAP_R_ALLOC_BONES, args), 0);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].level, ER_WARNING);
        EXPECT_EQ(errors[0].text, "Trap: Bad bone count " + std::to_string(count));
    }
}

// ---- traps of the engine's services, with their arguments ----

std::vector<std::string> handlerRuns;
void TrapHandler() {
    // A module's handler reads its words through traps 14 and 15.
    gameArg_t none[GAME_MAX_ARGS] = {};
    std::string words;
    const intptr_t argc = Gi_Trap(GTRAP_ARGC, none);
    for (int32_t i = 0; i < argc; i++) {
        gameArg_t args[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(&i)};
        words += (i ? "|" : "") + std::string(reinterpret_cast<const char *>(Gi_Trap(GTRAP_ARGV, args)));
    }
    handlerRuns.push_back(words);
}
int callbacks;
void TrapCallback() { callbacks++; }

TEST_F(HostFixture, ConsoleTrapsCreateFindSetAndRun) {
    Cmd_Startup();
    handlerRuns.clear();
    callbacks = 0;
    static cmdVar_t plain, withCallback;
    uint32_t flags = CMD_NOSAVE;
    gameArg_t create[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(&plain), reinterpret_cast<gameArg_t>("hm_trapvar"),
                                       reinterpret_cast<gameArg_t>("5"), reinterpret_cast<gameArg_t>(&flags)};
    Gi_Trap(GTRAP_CREATE_CVAR, create);
    EXPECT_EQ(plain.integer, 5);
    EXPECT_EQ(plain.flags & CMD_NOSAVE, uint32_t(CMD_NOSAVE));

    gameArg_t find[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>("HM_TRAPVAR")};
    EXPECT_EQ(Gi_Trap(GTRAP_GET_CVAR, find), reinterpret_cast<intptr_t>(&plain));

    flags = 0;
    gameArg_t createEx[GAME_MAX_ARGS] = {
        reinterpret_cast<gameArg_t>(&withCallback), reinterpret_cast<gameArg_t>("hm_trapcb"),
        reinterpret_cast<gameArg_t>("1"), reinterpret_cast<gameArg_t>(&flags),
        reinterpret_cast<gameArg_t>(&TrapCallback)};
    Gi_Trap(GTRAP_CREATE_CVAR_EX, createEx);
    // Trap 21 always forces: a cheat-protected variable takes the value anyway.
    withCallback.flags |= CMD_CHEAT;
    gameArg_t set[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(&withCallback), reinterpret_cast<gameArg_t>("9")};
    Gi_Trap(GTRAP_SET_CVAR, set);
    EXPECT_EQ(withCallback.integer, 9);
    EXPECT_EQ(callbacks, 1);

    gameArg_t function[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>("hm_trapcmd"),
                                         reinterpret_cast<gameArg_t>(&TrapHandler), reinterpret_cast<gameArg_t>(&flags)};
    Gi_Trap(GTRAP_CREATE_FUNCTION, function);
    gameArg_t add[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>("hm_trapcmd one two")};
    Gi_Trap(GTRAP_ADD, add);
    EXPECT_TRUE(handlerRuns.empty());  // queued, not run
    gameArg_t none[GAME_MAX_ARGS] = {};
    Gi_Trap(GTRAP_FLUSH, none);
    EXPECT_EQ(handlerRuns, std::vector<std::string>{"hm_trapcmd|one|two"});

    char line[512] = "hm_trapc";
    gameArg_t complete[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(line)};
    EXPECT_EQ(Gi_Trap(GTRAP_COMPLETE_CMD, complete), 1);
    EXPECT_EQ(std::string(line).rfind("hm_trap", 0), 0u) << line;
    Cmd_Startup();
}

TEST_F(HostFixture, FileTrapsWriteReadDigestAndFind) {
    char pattern[] = "/tmp/hm_host_files_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    FS_StartUp(pattern);
    int32_t size = 3;
    gameArg_t write[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>("a.txt"), reinterpret_cast<gameArg_t>(&size),
                                      reinterpret_cast<gameArg_t>("abc")};
    EXPECT_EQ(Gi_Trap(GTRAP_WRITE_FILE, write), 3);

    void *buffer = nullptr;
    gameArg_t read[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>("a.txt"), reinterpret_cast<gameArg_t>(&buffer)};
    EXPECT_EQ(Gi_Trap(GTRAP_READ_FILE, read), 3);
    ASSERT_NE(buffer, nullptr);
    EXPECT_STREQ(static_cast<const char *>(buffer), "abc");
    gameArg_t release[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(buffer)};
    Gi_Trap(GTRAP_FREE_FILE, release);

    uint8_t digest[16] = {};
    gameArg_t md5[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(digest), reinterpret_cast<gameArg_t>("a.txt")};
    EXPECT_EQ(Gi_Trap(GTRAP_GET_FILE_MD5, md5), 1);
    const uint8_t abc[16] = {0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0,
                             0xd6, 0x96, 0x3f, 0x7d, 0x28, 0xe1, 0x7f, 0x72};
    EXPECT_EQ(memcmp(digest, abc, 16), 0);
    errors.clear();
    gameArg_t missing[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(digest), reinterpret_cast<gameArg_t>("none.txt")};
    EXPECT_EQ(Gi_Trap(GTRAP_GET_FILE_MD5, missing), 0);

    gameArg_t open[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>("b.txt"), reinterpret_cast<gameArg_t>("wb")};
    FILE *f = reinterpret_cast<FILE *>(Gi_Trap(GTRAP_FOPEN, open));
    ASSERT_NE(f, nullptr);
    size = 2;
    gameArg_t fwrite[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>("xyz"), reinterpret_cast<gameArg_t>(&size),
                                       reinterpret_cast<gameArg_t>(f)};
    Gi_Trap(GTRAP_FWRITE, fwrite);
    gameArg_t fstring[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>("-end"), reinterpret_cast<gameArg_t>(f)};
    Gi_Trap(GTRAP_FWRITE_STRING, fstring);
    gameArg_t close[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(f)};
    Gi_Trap(GTRAP_FCLOSE, close);

    open[1] = reinterpret_cast<gameArg_t>("rb");
    f = reinterpret_cast<FILE *>(Gi_Trap(GTRAP_FOPEN, open));
    ASSERT_NE(f, nullptr);
    char got[16] = {};
    size = 15;
    gameArg_t fread[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(got), reinterpret_cast<gameArg_t>(&size),
                                      reinterpret_cast<gameArg_t>(f)};
    EXPECT_EQ(Gi_Trap(GTRAP_FREAD, fread), 6);
    EXPECT_STREQ(got, "xy-end");
    close[0] = reinterpret_cast<gameArg_t>(f);
    Gi_Trap(GTRAP_FCLOSE, close);

    char names[4][64] = {};
    int32_t stride = 64, max = 4;
    gameArg_t find[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(names), reinterpret_cast<gameArg_t>("*.txt"),
                                     reinterpret_cast<gameArg_t>(&stride), reinterpret_cast<gameArg_t>(&max)};
    // Only pack entries are found, and this directory holds no pack.
    EXPECT_EQ(Gi_Trap(GTRAP_FIND_FILES, find), 0);

    FS_Shutdown();
    std::filesystem::current_path(HM_BUILD_DIR);
    std::filesystem::remove_all(pattern);
}

// The renderer in use records what it is asked.
int32_t textureMode, allocBytes;
TEST_F(HostFixture, RendererTrapsPassTheirModesAndSizes) {
    re = re_null;
    re.RegisterTexture = [](const char *, int32_t mode) -> rhandle_t {
        textureMode = mode;
        return 7;
    };
    re.Alloc = [](int32_t bytes) -> void * {
        allocBytes = bytes;
        return nullptr;
    };
    const struct {
        int number;
        int32_t mode;
    } textures[] = {{GTRAP_REGISTER_TEXTURE, 5}, {GTRAP_REGISTER_TEXTURE_NO_MIP, 0}, {GTRAP_REGISTER_TEXTURE_CUBE, 32}};
    for (const auto &t : textures) {
        gameArg_t args[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>("tex")};
        textureMode = -1;
        EXPECT_EQ(Gi_Trap(t.number, args), 7);
        EXPECT_EQ(textureMode, t.mode);
    }
    int32_t count = 10;
    gameArg_t bones[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(&count)};
    Gi_Trap(GTRAP_R_ALLOC_BONES, bones);
    EXPECT_EQ(allocBytes, 480);
    re = re_null;
}

TEST_F(HostFixture, OutOfBandTrapSendsTheTextUnformatted) {
    Cmd_Startup();
    NET_Imp();  // empty loop-back rings; the loop-back needs no socket
    int32_t side = NS_SERVER;
    const netadr_t local{NA_LOCAL, {}, 0, 0};
    gameArg_t args[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(&side), reinterpret_cast<gameArg_t>(&local),
                                     reinterpret_cast<gameArg_t>("poll %d %s")};
    EXPECT_EQ(Gi_Trap(GTRAP_SEND_OUT_OF_BAND_PRINT, args), 1);
    auto package = std::make_unique<netPackage_t>();
    ASSERT_EQ(NET_GetPackage(NS_SERVER, package.get()), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(package->msg.data)), "poll %d %s");
    Cmd_Startup();
}

TEST_F(HostFixture, LookupTrapFillsTheCallersAddress) {
    netadr_t address = {};
    gameArg_t args[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(&address), reinterpret_cast<gameArg_t>("10.1.2.3:99")};
    EXPECT_EQ(Gi_Trap(GTRAP_LOOKUP_DNS, args), 1);
    EXPECT_EQ(address.ip[0], 10);
    EXPECT_EQ(address.ip[3], 3);
    EXPECT_EQ(address.port, 99);
}

TEST_F(HostFixture, KeyBindingTrapsFindAndClearByCommandAndKey) {
    IN_SetAmericanKeyNames();
    keys[57].command = static_cast<char *>(Com_malloc(8));
    strcpy(keys[57].command, "cc_jump");
    gameArg_t find[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>("cc_jump")};
    EXPECT_EQ(Gi_Trap(GTRAP_GET_BINDING, find), 57);
    int32_t key = 57;
    gameArg_t clear[GAME_MAX_ARGS] = {reinterpret_cast<gameArg_t>(&key)};
    Gi_Trap(GTRAP_CLEAR_KEY_BINDING, clear);
    EXPECT_EQ(keys[57].command, nullptr);
    EXPECT_EQ(Gi_Trap(GTRAP_GET_BINDING, find), 0);
}

// ---- the real module ----

TEST_F(HostFixture, RealModuleLoadsGreetsAndWritesItsKeyScript) {
    Base_LoadGame("game");
    ASSERT_TRUE(Base_GameLoaded()) << (errors.empty() ? "" : errors[0].text);
    EXPECT_TRUE(Printed("\xA4" "08Loaded GAME \"Hollowmere\" version: 1.10b"));
    Call_Main_Imp();
    Call_Main_Init();
    // The module's own print path crosses back through trap 9.
    EXPECT_TRUE(Printed("\xA4" "09Game Module says HELLO!"));

    char pattern[] = "/tmp/hm_host_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path dir = pattern;
    FS_StartUp(pattern);  // whatever base path an earlier test left
    Call_WriteStandardConfig();
    std::filesystem::current_path(HM_BUILD_DIR);
    EXPECT_EQ(std::filesystem::file_size(dir / "config.cfg"), 1100u);
    EXPECT_TRUE(Printed("Wrote standard config to config.cfg"));
    std::filesystem::remove_all(dir);

    Base_UnloadGame();
    EXPECT_FALSE(Base_GameLoaded());
}

}  // namespace
