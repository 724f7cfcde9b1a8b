#include "base/base.h"

#include <cstdlib>
#include <cstring>
#include <iterator>

#include "base/cmd.h"
#include "base/console.h"
#include "base/files.h"
#include "base/meter.h"
#include "base/module.h"
#include "base/net.h"
#include "base/remote.h"
#include "base/renderer.h"
#include "base/sys.h"
#include "client/client.h"
#include "common/com_eval.h"
#include "common/com_hash.h"
#include "common/com_string.h"
#include "common/common.h"
#include "server/server.h"
#include "world/world.h"

qbase_t qbase;

static char base_line[BASE_CMDLINE_SIZE];  // the split command line
static char *base_argv[BASE_MAX_ARGS];     // slot 0 is never used
static int base_argc = 1;
char base_startTime_string[BASE_STRING_SIZE];
char base_cmdline_string[BASE_STRING_SIZE];

// The main loop's receive buffer: one datagram and its sender.
static byte net_data[BASE_NET_DATA_SIZE];
static_assert(BASE_NET_DATA_SIZE == NET_MAX_DATAGRAM, "one whole datagram");
static netadr_t net_adr;

cmdVar_t base_client, base_updateConfig, base_stressCpu, base_rcon, base_rconPassword, base_log,
    base_timeStamp, base_skipWarning, base_master, base_skipMaster, base_startTime, base_cmdLine,
    base_maxFps, base_pid, m_look, m_invert, m_sensitivity, m_filter, m_yaw, m_pitch, m_accel;

// ======================================================================
// Command line
// ======================================================================

static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

void Base_ParseCommandLine(char *line) {
    base_argc = 1;
    bool quoted = false;
    char *p = line;
    while (*p) {
        while (IsBlank(*p)) p++;
        if (*p == '"') {
            p++;
            quoted = !quoted;
        }
        // Stored even when empty: blanks at the end give one empty last argument.
        base_argv[base_argc++] = p;
        while (*p) {
            if (*p == '"') {
                *p++ = 0;
                quoted = !quoted;
                break;
            }
            if (IsBlank(*p) && !quoted) {
                *p++ = 0;
                break;
            }
            p++;
        }
        if (base_argc >= BASE_MAX_ARGS) break;
    }
}

void Base_JoinArguments(int argc, char **argv, int first, char *out, int size) {
    if (size < 1) return;
    int pos = 0;
    out[0] = 0;
    for (int i = first; i < argc; i++) {
        const char *arg = argv[i];
        const int n = static_cast<int>(strlen(arg));
        // An argument with a blank (or an empty one) is quoted so that it splits back whole.
        bool quote = n == 0;
        for (int k = 0; k < n && !quote; k++) quote = IsBlank(arg[k]);
        const int need = n + (quote ? 2 : 0) + 1;  // the argument and its blank
        if (need > size - 1 - pos) break;           // it would not fit whole: leave it and the rest off
        if (quote) out[pos++] = '"';
        memcpy(out + pos, arg, static_cast<size_t>(n));
        pos += n;
        if (quote) out[pos++] = '"';
        out[pos++] = ' ';
        out[pos] = 0;
    }
}

// Copies src into out (size bytes with the zero).  A longer text is cut at the end
// of an argument, a blank outside double quotes, so that no argument is cut in
// the middle.
static void CopyWholeArguments(const char *src, char *out, int size) {
    const int n = static_cast<int>(strlen(src));
    int keep = n;
    if (n > size - 1) {
        bool quoted = false;
        keep = 0;
        for (int i = 0; i < size - 1; i++) {
            if (src[i] == '"')
                quoted = !quoted;
            else if (IsBlank(src[i]) && !quoted)
                keep = i + 1;
        }
    }
    memcpy(out, src, static_cast<size_t>(keep));
    out[keep] = 0;
}

// Joins argv[1..] into a 4,096-byte line, the last blank removed.
const char *Base_GetCommandLine(int argc, char **argv) {
    static char line[SYS_CMDLINE_SIZE];
    Base_JoinArguments(argc, argv, 1, line, sizeof(line));
    const size_t n = strlen(line);
    if (n && line[n - 1] == ' ') line[n - 1] = 0;
    return line;
}

void Base_ParseCommandLineArg(int argc, char **argv) {
    CopyWholeArguments(Base_GetCommandLine(argc, argv), base_line, sizeof(base_line));
    Base_ParseCommandLine(base_line);
}

int Base_Argc() { return base_argc; }

const char *Base_Argv(int n) {
    if (n < 1 || n >= base_argc) return "";
    return base_argv[n];
}

int Base_GetParam(const char *text) {
    for (int i = 1; i < base_argc; i++)
        if (!strcmp(base_argv[i], text)) return i;
    return 0;
}

// A port given in a set group of the command line is the first one the socket
// tries: the engine never takes the default port (another server's, perhaps) on
// its way to the port it was asked for.  The set group itself still runs later.
static void ApplyCommandLinePort() {
    cmdVar_t *port = Cmd_GetCVar("net_port");
    for (const char *marker : {"-set", "+set"})
        for (int i = 1; i + 2 < base_argc; i++)
            if (!strcmp(base_argv[i], marker) && !Com_strcmpUpper(base_argv[i + 1], "net_port"))
                Cmd_SetCVar(port, base_argv[i + 2], 0);
}

void Base_ExecuteSetParams(uint8_t firstPass) {
    const char *marker = firstPass ? "-set" : "+set";
    for (int i = 1; i < base_argc - 1; i++) {
        if (strcmp(base_argv[i], marker)) continue;
        int j = i + 1;
        while (j < base_argc && base_argv[j][0] != '-' && base_argv[j][0] != '+') j++;
        // Quoted where needed, so that "two words" stays one word of the console line.
        char line[BASE_CMDLINE_SIZE * 2];
        Base_JoinArguments(j, base_argv, i + 1, line, sizeof(line));
        Cmd_Add(line);
        i = j - 1;  // the scan resumes at the argument that stopped the group
    }
}

// ======================================================================
// Clock and frame
// ======================================================================

uint32_t Base_Time() {
    return static_cast<uint32_t>(Sys_Milliseconds()) - qbase.timeBase + BASE_CLOCK_START;
}

uint32_t base_testClockAhead, base_testTimeAhead;

// The time base at start: 0, or what puts a test build's clock ahead.
static uint32_t StartTimeBase() { return 0u - base_testClockAhead; }

void Base_RestartClock() {
    const uint32_t from = Base_Time();
    qbase.wrapCount++;
    qbase.wrapLength = BASE_CLOCK_WRAP;
    qbase.timeBase = static_cast<uint32_t>(Sys_Milliseconds());
    qbase.clockRestart = comRestart_t{qbase.clockRestart.count + 1, from, BASE_CLOCK_START};
}

void Base_RestartGameTime() {
    qbase.timeRestart = comRestart_t{qbase.timeRestart.count + 1, qbase.time, BASE_TIME_START};
    qbase.time = qbase.previousTime = BASE_TIME_START;
}

int32_t Base_ClockAge(uint32_t stamp) { return Com_AgeOn(qbase.clockRestart, Base_Time(), stamp); }

int32_t Base_TimeAge(uint32_t stamp) { return Com_AgeOn(qbase.timeRestart, qbase.time, stamp); }

// Draws of Base_UnpredictableRandom since the last seeding.
static uint32_t unpredictableDraws;

void Base_SeedRandom(uint32_t seed) {
    qbase.randomSeed = seed;
    Com_seedrand(seed);
    unpredictableDraws = 0;
}

uint32_t Base_UnpredictableRandom() {
    if (qbase.in.journal == JOURNAL_OFF) {
        uint32_t n = 0;
        Sys_RandomBytes(&n, sizeof n);
        return n;
    }
    const uint32_t input[2] = {qbase.randomSeed, unpredictableDraws++};
    const byte *digest = Com_GetMD5(nullptr, input, sizeof input);
    return static_cast<uint32_t>(Com_GrabLittleLong(&digest));
}

uint32_t Base_FrameCapSleep(int maxFps, uint32_t elapsed) {
    if (maxFps < 1 || maxFps > BASE_MAX_FPS_CAP) return 0;
    const uint32_t target = 1000u / static_cast<uint32_t>(maxFps);
    if (elapsed >= target) return 0;
    const uint32_t rest = target - elapsed;
    return rest > BASE_MAX_CAP_SLEEP ? BASE_MAX_CAP_SLEEP : rest;
}

void Base_OfferPackages(int side) {
    netPackage_t package;
    while (NET_GetPackage(side, &package)) {
        Msg_ReadBegin(&package.msg);
        Msg_ReadTokenize();
        Base_HandlePackage(&package);
    }
}

void Base_Frame(int msec) {
    qbase.frameMsec = static_cast<uint32_t>(
        msec < BASE_MIN_FRAME_MSEC ? BASE_MIN_FRAME_MSEC : (msec > BASE_MAX_FRAME_MSEC ? BASE_MAX_FRAME_MSEC : msec));

    const uint32_t newTime = qbase.time + qbase.frameMsec;
    if (static_cast<int32_t>(newTime) < 0) {
        // The game time passed 2^31 - 1 ms: it restarts, and this frame runs nothing.
        Base_RestartGameTime();
        if (qbase.serverRunning) {
            // The server starts again on the same map, with fresh state on both sides.
            Com_Printf("! ! ! Restarting server due to time wrapping ! ! !");
            char path[SV_MAP_PATH_SIZE];
            Com_strncpyz(path, SV_GetMapPath(), sizeof path);
            Call_SG_Shutdown();
            SV_Imp(0);
            Call_SG_Imp(0);
            Cmd_Add(va("map %s", path));
            Cmd_Flush();
        } else {
            Com_Printf("! ! ! Time wrapping ! ! !");
        }
        return;
    }

    qbase.previousTime = qbase.time;
    qbase.time = newTime;
    qbase.fps = 1000u / qbase.frameMsec;
    qbase.frameSeconds = static_cast<float>(qbase.frameMsec) / 1000.0f;

    if (base_stressCpu.integer) {
        // Busy wait: every frame takes at least that many more milliseconds.
        const uint32_t until = Base_Time() + static_cast<uint32_t>(base_stressCpu.integer);
        while (static_cast<int32_t>(until - Base_Time()) > 0) {
        }
    }

    Base_RemoteFrame(qbase.frameMsec);
    Sys_Frame();
    Cmd_Flush();  // console lines run before the module and the server see the frame
    if (!qbase.serverRunning) Sys_SetConsoleCaption(nullptr);
    Call_Main_Frame();
    CL_CCFrame();
    WO_TessDebug(0);
    if (!qbase.serverRunning && !qbase.clientRunning) {
        // Neither drains the transport: the engine takes every package itself.
        Base_OfferPackages(NS_CLIENT);
        Base_OfferPackages(NS_SERVER);
    }
    SV_Frame();
    CL_Frame();
    WO_TessDebug(0);
    Meter_Frame();
    NET_Frame();
    qbase.frameCount++;
}

void Base_UpTime(uint32_t clock, uint32_t wrapCount, uint32_t wrapLength, uint32_t *days,
                 uint32_t *hours, uint32_t *minutes, uint32_t *seconds) {
    const uint32_t s = wrapLength / 1000u;
    const uint32_t w = wrapCount;
    uint32_t d = (s / 86400u) * w + ((s % 86400u) * w) / 86400u;
    const uint32_t carry = ((s % 86400u) * w) % 86400u;
    const uint32_t total = carry + (clock - BASE_CLOCK_START) / 1000u;
    d += total / 86400u;
    const uint32_t r = total % 86400u;
    *days = d;
    *hours = r / 3600u;
    *minutes = (r / 60u) % 60u;
    *seconds = r % 60u;
}

// ======================================================================
// Base console commands
// ======================================================================

static void Base_Quit_f() { Base_Shutdown(); }

static void Base_DumpConfig_f() {
    if (Cmd_Argc() != 2) {
        Com_Printf("USAGE: dumpconfig <filename>");
        return;
    }
    Base_DumpConfig(Cmd_Argv(1));
}

static void Base_Crash_f() {
    if (Cmd_Argc() != 2) {
        Com_Printf("USAGE: crash <yes>");
        return;
    }
    if (!strcmp(Cmd_Argv(1), "yes")) Com_Error(ER_FATAL, "Crashed on purpose");
}

static void Base_Interrupt_f() {
    // No debugger interrupt in this build; only the usage is checked.
    if (Cmd_Argc() != 2) Com_Printf("USAGE: crash <yes>");
}

static void Base_EvaluateError(int, const char *text) { Com_Printf("ERROR: %s", text); }

static void Base_Evaluate_f() {
    if (Cmd_Argc() != 2) {
        Com_Printf("USAGE: evaluate <expression>");
        return;
    }
    exp_t *context = E_Create();
    if (!context) return;
    E_Bind(context);
    E_ErrorCallback(Base_EvaluateError);
    E_Parse(Cmd_Argv(1));
    Com_Printf("    %f", static_cast<double>(E_Evaluate()));
    E_Delete(context);
}

static constexpr const char *base_grumbles[] = {
    "The terrain remembers every shovel.",
    "Dig where they least expect it.",
    "A wall is just a hill that has not met a grenade.",
    "Never trust a floor you did not build.",
    "Mud is temporary. Craters are forever.",
    "The crystal does not care who carries it.",
    "Every hole is a tunnel with ambition.",
    "Ping is a state of mind.",
    "If you can see the sky, so can the drone.",
    "Patience fills more pits than dirt.",
    "The map was flat when we started.",
    "Aim low: the ground is always there.",
    "Who moved my hill?",
    "Build a bridge, get a sniper.",
    "Voxels do not forgive.",
    "The deepest pit was dug one scoop at a time.",
    "Respawn is not a strategy.",
};
static_assert(std::size(base_grumbles) == 17, "grumble draws one of 17 quotations");

static void Base_Grumble_f() {
    Com_Printf("\"%s\"", base_grumbles[static_cast<size_t>(Com_rand()) % std::size(base_grumbles)]);
}

static void Base_PrintFps_f() { Com_Printf("FPS: \xA4" "08%d\xA4" "00", static_cast<int>(qbase.fps)); }

static void Base_Poll_f() {
    if (Cmd_Argc() != 2) {
        Com_Printf("USAGE: poll <server ip>");
        return;
    }
    netadr_t address;
    Sys_LookupDNS(&address, Cmd_Argv(1));  // a failed lookup leaves a cleared address
    NET_SendOutOfBandPrintf(NS_CLIENT, &address, "poll");
}

static void Base_MemStats_f() { Com_MemStats(); }
static void Base_MemList_f() { Com_MemList(); }
static void Base_MemCheck_f() { Com_CheckMem(); }

static void Base_BeginTime_f() {
    qbase.beginFrame = qbase.frameCount;
    qbase.beginClock = Base_Time();
    Com_Printf("*** Begin Time ***");
}

static void Base_EndTime_f() {
    const int frames = static_cast<int>(qbase.frameCount - qbase.beginFrame);
    const int ms = static_cast<int>(Base_Time() - qbase.beginClock);
    const double rate = ms > 0 ? frames * 1000.0 / ms : 0.0;
    Com_Printf("*** End Time *** \xA4" "08%d\xA4" "00 frames in \xA4" "08%d\xA4" "00 msec is \xA4" "08%.4f\xA4" "00 fps",
               frames, ms, rate);
}

static void Base_Nop_f() {}

static void Base_StopJournal_f() {
    IN_StopRecordJournal();
    IN_StopPlayJournal();
}

static void Base_UpTime_f() {
    uint32_t days, hours, minutes, seconds;
    Base_UpTime(Base_Time(), qbase.wrapCount, qbase.wrapLength, &days, &hours, &minutes, &seconds);
    Com_Printf("Up \xA4" "08%d\xA4" "00 days \xA4" "08%.2d:%.2d:%.2d", static_cast<int>(days),
               static_cast<int>(hours), static_cast<int>(minutes), static_cast<int>(seconds));
}

static void Base_MD5_f() {
    if (Cmd_Argc() != 2) {
        Com_Printf("USAGE: md5 <string>");
        return;
    }
    const char *text = Cmd_Argv(1);
    byte digest[MD5_DIGEST_SIZE];
    Com_GetMD5(digest, text, static_cast<int>(strlen(text)));
    Com_Printf("%s", Com_MD52String(digest));
}

static void Base_Time_f() {
    sysTime_t t;
    Sys_GetLocalTime(&t);
    Com_Printf("%d-%.2d-%.2d %.2d:%.2d:%.2d", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

void Base_Client_v() {
    if (base_client.integer && !qbase.clientRunning)
        CL_Init();
    else if (!base_client.integer && qbase.clientRunning)
        CL_Shutdown();
}

void Base_DumpConfig(const char *path) {
    FILE *f = FS_fopen(path, "wt");
    if (!f) {
        Com_Error(ER_ERROR, "Couldn't open file \"%s\"", path);
        return;
    }
    fprintf(f, "\n");
    fprintf(f, "// hollowmere config file\n");
    fprintf(f, "// engine version %s\n", BASE_VERSION);
    fprintf(f, "// config created %s\n", base_startTime_string);
    Cmd_DumpCmds(f);
    IN_DumpKeyBindings(f);
    Call_CG_DumpServers(f);
    // A full disk shows only when the buffered text is written out: a cut file
    // must not be reported as dumped.
    const bool failed = fflush(f) != 0 || ferror(f);
    FS_fclose(f);
    if (failed) {
        Com_Error(ER_ERROR, "Couldn't write file \"%s\"", path);
        return;
    }
    Com_Printf("Dumped cmds and bindings to \"%s\"", path);
}

// Registers the base variables and commands, in this order.
static void RegisterBaseSymbols() {
    Cmd_CreateCVarEx(&base_client, "client", "0", CMD_NOSAVE, Base_Client_v);
    Cmd_CreateCVar(&base_updateConfig, "base_updateConfig", "1", 0);
    Cmd_CreateCVar(&base_stressCpu, "base_stressCpu", "0", CMD_NOSAVE);
    Cmd_CreateCVar(&base_rcon, "base_rcon", "0", CMD_NOSAVE);
    Cmd_CreateCVar(&base_rconPassword, "base_rconPassword", "tidewell", CMD_SECRET | CMD_NOSAVE);
    Cmd_CreateCVar(&base_log, "base_log", "0", 0);
    Cmd_CreateCVar(&base_timeStamp, "base_timeStamp", "0", 0);
    Cmd_CreateCVar(&base_skipWarning, "base_skipWarning", "0", CMD_NOSAVE);
    Cmd_CreateCVar(&base_master, "master", "", CMD_READONLY);
    Cmd_CreateCVar(&base_skipMaster, "base_skipMaster", "0", 0);
    Cmd_CreateCVar(&base_startTime, "startTime", base_startTime_string, CMD_READONLY);
    Cmd_CreateCVar(&base_cmdLine, "cmdLine", base_cmdline_string, CMD_READONLY);
    Cmd_CreateCVar(&base_maxFps, "base_maxFps", "0", 0);
    Cmd_CreateCVar(&base_pid, "base_pid", "0", CMD_READONLY);
    Cmd_CreateCVar(&m_look, "m_look", "1", CMD_CLIENT);
    Cmd_CreateCVar(&m_invert, "m_invert", "0", CMD_CLIENT);
    Cmd_CreateCVar(&m_sensitivity, "m_sensitivity", "6", CMD_CLIENT);
    Cmd_CreateCVar(&m_filter, "m_filter", "1", CMD_CLIENT);
    Cmd_CreateCVar(&m_yaw, "m_yaw", "0.01", CMD_CLIENT);
    Cmd_CreateCVar(&m_pitch, "m_pitch", "0.01", CMD_CLIENT);
    Cmd_CreateCVar(&m_accel, "m_accel", "0", CMD_CLIENT);

    Cmd_CreateFunction("quit", Base_Quit_f, 0);
    Cmd_CreateFunction("dumpConfig", Base_DumpConfig_f, 0);
    Cmd_CreateFunction("crash", Base_Crash_f, 0);
    Cmd_CreateFunction("interrupt", Base_Interrupt_f, 0);
    Cmd_CreateFunction("evaluate", Base_Evaluate_f, 0);
    Cmd_CreateFunction("grumble", Base_Grumble_f, 0);
    Cmd_CreateFunction("printFps", Base_PrintFps_f, 0);
    Cmd_CreateFunction("poll", Base_Poll_f, 0);
    Cmd_CreateFunction("mapLink", Base_MapLink_f, 0);
    Cmd_CreateFunction("memStats", Base_MemStats_f, 0);
    Cmd_CreateFunction("memList", Base_MemList_f, 0);
    Cmd_CreateFunction("memCheck", Base_MemCheck_f, 0);
    Base_RemoteImp();  // rcon, rconIp and the master server's address
    Cmd_CreateFunction("listKeys", IN_ListKeys_f, 0);
    Cmd_CreateFunction("listBindings", IN_ListBindings_f, 0);
    Cmd_CreateFunction("bind", IN_Bind_f, 0);
    Cmd_CreateFunction("unbind", IN_Unbind_f, 0);
    Cmd_CreateFunction("unbindAll", IN_UnbindAll_f, 0);
    Cmd_CreateFunction("beginTime", Base_BeginTime_f, 0);
    Cmd_CreateFunction("endTime", Base_EndTime_f, 0);
    Cmd_CreateFunction("nop", Base_Nop_f, 0);
    Cmd_CreateFunction("stopJournal", Base_StopJournal_f, 0);
    Cmd_CreateFunction("upTime", Base_UpTime_f, 0);
    Cmd_CreateFunction("md5", Base_MD5_f, 0);
    Cmd_CreateFunction("time", Base_Time_f, 0);
}

// ======================================================================
// Start-up
// ======================================================================

// Queues text as one console line and runs the buffer.
static void RunLine(const char *text) {
    Cmd_Add(text);
    Cmd_Flush();
}

void Base_Imp() {
    Com_Printf("........... Base_Imp ...........");
    RegisterBaseSymbols();

    // From the system's random source: the seed keys the numbers a journal replays
    // in place of those (Base_UnpredictableRandom), so it must not be guessable.
    uint32_t seed = 0;
    Sys_RandomBytes(&seed, sizeof seed);
    Base_SeedRandom(seed);

    Cmd_Imp();
    Sys_Imp();
    FS_Imp();
    NET_Imp();
    SV_Imp(1);
    CL_Imp();
    Meter_Imp();
    WO_Imp();
    ApplyCommandLinePort();
    NET_Init();
    IN_SetAmericanKeyNames();

    qbase.time = qbase.previousTime = BASE_TIME_START + base_testTimeAhead;
    qbase.startClock = Base_Time();

    if (Base_GetParam("-record")) IN_StartRecordJournal();
    if (const int i = Base_GetParam("-play")) IN_StartPlayJournal(Base_Argv(i + 1));

    if (const int i = Base_GetParam("-local_master"); i && i + 1 < Base_Argc()) {
        qbase.localMaster = static_cast<uint32_t>(atoi(Base_Argv(i + 1)));
        Com_Printf("Using local master %d", static_cast<int>(qbase.localMaster));
    }

    qbase.instanceNumber = Base_UnpredictableRandom();

    Com_Printf("Loading pack files...");
    FS_LoadPackBatch("game");
    if (const int i = Base_GetParam("-mod")) {
        FS_LoadPackBatch(Base_Argv(i + 1));
        Base_LoadGame(Base_Argv(i + 1));
    } else {
        Base_LoadGame("game");
    }
    if (!Base_GameLoaded()) Com_Error(ER_DROP, "Could not load a game DLL");

    // The user interface's console starts with what was printed so far, unless
    // the ring has already wrapped.
    static char consoleText[CON_RING_SIZE];
    consoleText[0] = 0;
    if (con_ring.count < static_cast<uint32_t>(CON_RING_SIZE)) {
        memcpy(consoleText, con_ring.ring, con_ring.count);
        consoleText[con_ring.count] = 0;
    }
    Call_Main_Imp();
    Call_SG_Imp(1);
    Call_CG_Imp();
    Call_UI_Imp(consoleText);
    Com_Printf("........... Base_Imp Done ...........");
}

// Asks the master server for a challenge and checks the version.  A master that
// could not be resolved is not asked (its address is cleared).
static void AskMaster(uint8_t force) {
    Base_UpdateMaster(force);
    if (qbase.masterAddress.type != NA_BAD)
        NET_SendOutOfBandPrintf(NS_CLIENT, &qbase.masterAddress, "master_version_check %d",
                                static_cast<int>(qbase.instanceNumber));
}

void Base_Init() {
    const uint32_t start = Base_Time();
    Com_Printf("........... Base_Init ...........");

    // The socket opened in the import phase, before any configuration ran: a port
    // that the configuration files change reopens it at the end.
    const cmdVar_t *port = Cmd_GetCVar("net_port");
    const int32_t portAtOpen = port ? port->integer : 0;

    Base_ExecuteSetParams(1);

    if (!FS_ReadFile("config.cfg", nullptr)) Call_WriteStandardConfig();
    if (!FS_ReadFile("autoexec.cfg", nullptr)) {
        FILE *f = FS_fopen("autoexec.cfg", "wt");
        if (f)
            FS_fclose(f);
        else
            Com_Error(ER_ERROR, "Base_Init: Could not create autoexec.cfg");
    }
    if (!Base_GetParam("-safe")) RunLine("exec config.cfg");
    RunLine("exec autoexec.cfg");
    if (qbase.developer) RunLine("exec developer.cfg");
    if (base_log.integer) Sys_ClearLog();

    // Whatever an earlier flush left waiting (after a wait) runs without callbacks.
    Cmd_NoVarFunctions(1);
    Cmd_Flush();
    Cmd_NoVarFunctions(0);

    Cmd_Init();
    Sys_Init();
    FS_Init();
    Meter_Init();
    Call_Main_Init();

    if (qbase.developer) {
        Com_Printf("HM will run in \xA4" "09Developer Mode");
        Com_Printf("sizeof( page_t ) == %d", static_cast<int>(sizeof(page_t)));
    }

    AskMaster(0);

    Com_Printf("........... Base_Init Done (%d msec) ...........", static_cast<int>(Base_Time() - start));
    qbase.initialised = 1;

    if (!Base_GetParam("-dedicated") && !Sys_IsDedicatedOnly()) {
        Base_ExecuteSetParams(0);
        Cmd_SetCVar(&base_client, "1", 1);
        Base_ExecuteSetParams(0);
        Cmd_Flush();
    } else {
        Cmd_SetCVar(&sv_lanServer, "0", 1);
        Base_ExecuteSetParams(0);
        Cmd_Flush();
    }
    // The master's answers go to the socket that asked: after a reopen, ask again.
    if (port && port->integer != portAtOpen) {
        NET_Init();
        AskMaster(1);
    }
}

// Sleep of step 1 of a pass: the less the engine has to show, the longer it sleeps.
static int PassSleep() {
    if (!qbase.clientRunning) return BASE_SLEEP_NO_CLIENT;
    if (qbase.windowInactive) return BASE_SLEEP_INACTIVE;
    return CL_IsConnected(nullptr) ? 0 : BASE_SLEEP_NOT_CONNECTED;
}

[[noreturn]] static void MainLoop() {
    uint32_t last = Base_Time();
    uint32_t now = last;
    uint32_t passStart = Base_Time();
    uint32_t pacingMark = Base_Time();
    for (;;) {
        if (const int ms = PassSleep()) Sys_Sleep(ms);
        now = Base_Time();
        if (const uint32_t ms = Base_FrameCapSleep(base_maxFps.integer, now - last)) Sys_Sleep(static_cast<int>(ms));
        // A frame counts at least a millisecond, so a pass that found nothing to
        // sleep for (a connected client without a frame cap) waits for the clock to
        // move: otherwise game time would run ahead of real time.
        while (Base_Time() - last < static_cast<uint32_t>(BASE_MIN_FRAME_MSEC)) Sys_Sleep(1);

        now = Base_Time();
        if (now >= BASE_CLOCK_WRAP) {
            Base_RestartClock();
            Sys_Sleep(BASE_SLEEP_CLOCK_WRAP);
            last = Base_Time();
            Sys_Sleep(BASE_SLEEP_CLOCK_WRAP);
        } else {
            qbase.pacingTime = Base_Time() - pacingMark;
            const uint32_t msec = now - last;
            if (msec > static_cast<uint32_t>(BASE_STALL_MSEC)) IN_ReleaseAllKeys();

            Sys_GetMessages();
            // A datagram is read only while a whole one still fits beside the
            // pass's own mouse and frame records: under a flood the rest waits in
            // the socket, and the frame still runs.
            constexpr int passRoom = IN_DATAGRAM_HEADER_SIZE + BASE_NET_DATA_SIZE + IN_MOUSE_SIZE + IN_FRAME_SIZE;
            for (int n; IN_HasRoom(passRoom) && (n = Sys_GetNetData(&net_adr, BASE_NET_DATA_SIZE, net_data)) > 0;)
                IN_NetEvent(&net_adr, net_data, n);

            IN_FrameEvent(msec);
            IN_IssueCommandBuffer();
            qbase.passTime = Base_Time() - passStart;
            last = now;
        }
        passStart = Base_Time();
        pacingMark = Base_Time();
    }
}

// The error dump is named after the port this process holds.
static int BoundPort() { return qnet.localAddress.port; }

void Base_Main(const char *commandLine) {
    memset(&qbase, 0, sizeof(qbase));
    qbase.timeBase = StartTimeBase();
    memset(&ge, 0, sizeof(ge));
    qbase.frameCount = 1;

    Com_InitByteOrder();
    Com_InitMem();

    CopyWholeArguments(commandLine ? commandLine : "", base_line, sizeof(base_line));
    // The banner shows the line as given (cut the same way); the split works on a copy.
    char shown[BASE_CMDLINE_SIZE];
    snprintf(shown, sizeof(shown), "%s", base_line);
    Base_ParseCommandLine(base_line);
    if (Base_GetParam("-developer")) qbase.developer = 1;

    Com_SetupPrintf(PRF_SINKS, Base_Print, Base_DPrint);
    Com_SetupError(Base_Error);
    con_hooks.boundPort = BoundPort;
    con_hooks.rconEcho = Base_RConEcho;
    con_hooks.moduleConsole = Call_CG_Print;

    Sys_InitConsole();

    sysTime_t t;
    Sys_GetLocalTime(&t);
    qbase.startTime = baseStartTime_t{t.year, t.month, t.day, t.hour, t.minute, t.second, 0};
    snprintf(base_startTime_string, sizeof(base_startTime_string), "%d-%.2d-%.2d %.2d:%.2d:%.2d", t.year,
             t.month, t.day, t.hour, t.minute, t.second);
    snprintf(base_cmdline_string, sizeof(base_cmdline_string), "%.511s", shown);

    Com_Printf("\xA4" "08-------- %s v%s --------", BASE_PRODUCT, BASE_VERSION);
    Com_Printf("Build: \xA4" "08%s-%s%s %s %s", SYS_NAME, SYS_CPU, "-RELEASE", __DATE__, __TIME__);
    Com_Printf("Starting %s at: \xA4" "08%s", BASE_PRODUCT, base_startTime_string);
    Com_Printf("Command line: \"\xA4" "08%s\xA4" "00\"", shown);
    Com_Printf("Get system info...");
    Com_Printf("%s", Sys_GetSystemString());

    Cmd_Startup();
    Com_Printf("Startup File System...");
    if (const int i = Base_GetParam("-basedir"))
        FS_StartUp(Base_Argv(i + 1));
    else
        FS_StartUp(nullptr);

    Base_Imp();
    Base_Init();
    Sys_Daemon();

    while (qbase.in.journal == JOURNAL_PLAYING) {
        Sys_GetMessages();
        if (qbase.in.journal != JOURNAL_PLAYING) break;
        if (IN_ReadJournalNext())
            IN_IssueCommandBuffer();
        else
            IN_StopPlayJournal();
    }

    IN_ReleaseAllKeys();
    qbase.timeBase = StartTimeBase();
    MainLoop();
}

// ======================================================================
// Shutdown
// ======================================================================

void Base_Shutdown() {
    if (qbase.shuttingDown) return;
    qbase.shuttingDown = 1;
    const uint32_t start = Base_Time();
    Com_Printf("Base_Shutdown: shutting down...");

    snd.ClearDMA();
    IN_StopRecordJournal();
    if (base_updateConfig.integer && !Base_GetParam("-safe")) Base_DumpConfig("config.cfg");
    if (qbase.clientRunning) {
        Com_Printf("Shutting down Client...");
        CL_Shutdown();
    }
    Call_Main_Shutdown();
    Base_UnloadGame();

    IN_SetCursorMode();
    IN_StopRecordJournal();
    IN_StopPlayJournal();

    Com_Printf("Shutting down Base modules...");
    Meter_Shutdown();
    NET_Shutdown();
    FS_Shutdown();
    Sys_Shutdown();
    Cmd_Shutdown();
    Sys_ShutdownConsole();
    Sys_DestroyBox();

    const uint32_t end = Base_Time();
    IN_UnbindAll_f();  // key commands are heap blocks: released before the check
    Com_CheckMem();
    Com_ShutdownMem();

    Com_Printf("Base_Shutdown: Shut downed all subsystems in %d msec", static_cast<int>(end - start));
    sysTime_t t;
    Sys_GetLocalTime(&t);
    Com_Printf("-------- Quit %s at %d-%.2d-%.2d %.2d:%.2d --------", BASE_PRODUCT, t.year, t.month, t.day,
               t.hour, t.minute);
    Sys_Exit(SYS_EXIT_OK);
}

void Base_PanicShutdown() {
    if (qbase.shuttingDown) return;
    Sys_SafePrint("Begin Panic Shutdown...");
    qbase.shuttingDown = 1;
    Base_CloseGame();
    IN_SetCursorMode();
    IN_StopRecordJournal();
    IN_StopPlayJournal();
    if (qbase.rendererRunning) re.Shutdown();
    FS_Shutdown();
    Sys_Shutdown();
    Sys_ShutdownConsole();
    Com_ShutdownMem();
    Sys_SafePrint("Panic Shutdown done. Calling exit( 0 )");
    // A fatal error is never reported as success to whoever started the engine.
    Sys_Exit(SYS_EXIT_ERROR);
}
