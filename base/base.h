// The engine base: its state record, the start-up order, the command line, the
// main loop, the engine frame and clock, the base console commands and the
// configuration dump.
//
// The engine is one process with one thread.  Base_Main brings the subsystems up
// in a fixed order, runs the main loop (sleep, pace, gather console, datagram and
// frame events, issue them) and never returns: the process ends through the
// orderly shutdown (quit) or the panic shutdown (a fatal error).
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/input.h"
#include "common/com_msg.h"
#include "common/com_time.h"

constexpr const char *BASE_PRODUCT = "Hollowmere";
constexpr const char *BASE_VERSION = "1.10b";
constexpr int BASE_CMDLINE_SIZE = 1024;       // Base_Main's copy of the line, with its zero
constexpr int BASE_MAX_ARGS = 256;            // argument slots; slot 0 is never used
constexpr int BASE_STRING_SIZE = 512;         // startTime and cmdLine defaults
constexpr int BASE_NET_DATA_SIZE = 1400;      // one received datagram
constexpr uint32_t BASE_CLOCK_START = 65535;      // Base_Time right after start and after a wrap
constexpr uint32_t BASE_CLOCK_WRAP = 0x7FFFFFFF;  // Base_Time at which the clock wraps
constexpr uint32_t BASE_TIME_START = COM_TIME_START;  // game time at start and after its wrap
constexpr int BASE_MIN_FRAME_MSEC = 1;
constexpr int BASE_MAX_FRAME_MSEC = 200;
constexpr int BASE_STALL_MSEC = 1000;         // a longer pass releases all keys
constexpr int BASE_MAX_FPS_CAP = 999;         // base_maxFps values 1..999 cap the loop
constexpr uint32_t BASE_MAX_CAP_SLEEP = 1000; // longest frame-cap sleep, ms
// Main-loop sleeps, ms: the less the engine has to show, the longer it sleeps.
constexpr int BASE_SLEEP_NO_CLIENT = 5;       // dedicated: no client runs
constexpr int BASE_SLEEP_INACTIVE = 15;       // the client's window is inactive
constexpr int BASE_SLEEP_NOT_CONNECTED = 7;   // the client runs but has no server
constexpr int BASE_SLEEP_CLOCK_WRAP = 5;      // each of the two sleeps around a clock wrap

// Local date and time of the start.
struct baseStartTime_t {
    uint16_t year;
    uint8_t month, day, hour, minute, second;
    uint16_t zero;
};

// The engine base state: one global, cleared at start.
struct qbase_t {
    uint8_t initialised;     // set at the end of Base_Init
    uint8_t shuttingDown;    // set by the first of the two shutdowns
    uint8_t quietConsole;    // daemon mode: the system console prints nothing
    uint8_t developer;       // "-developer" on the command line
    uint8_t windowInactive;  // window-focus special events
    uint8_t newerVersion;    // the master server knows a newer release
    uint8_t clientRunning;
    uint8_t serverRunning;
    uint8_t rendererRunning;
    baseStartTime_t startTime;
    uint32_t timeBase;       // subtracted by the clock
    uint32_t wrapCount;      // clock wraps so far
    uint32_t wrapLength;     // BASE_CLOCK_WRAP once a wrap happened
    uint32_t instanceNumber; // random number of this process
    uint8_t rconEcho;        // remote-console echo is on
    uint32_t rconEchoStart;  // when the echo was turned on
    netadr_t rconEchoAddress;
    netadr_t rconTarget;     // address of the last remote-console line sent
    uint32_t pacingTime;     // ms the last pass spent before its work
    uint32_t passTime;       // ms of the whole last pass
    uint32_t randomSeed;     // seed of the common random generator; journals record it
    uint32_t frameCount;     // 1 at start, +1 after every frame
    uint32_t startClock;     // clock at the import phase; journals record it
    uint32_t time;           // game time in ms
    uint32_t previousTime;   // game time of the frame before
    uint32_t frameMsec;      // 1..200
    float frameSeconds;      // frameMsec / 1000
    uint32_t fps;            // 1000 / frameMsec
    void *module;            // the loaded game module, null when none
    uint32_t packChecksum;
    inState_t in;            // input events and journal
    uint32_t beginClock;     // remembered by beginTime
    uint32_t beginFrame;
    uint32_t localMaster;    // last byte of the LAN master address, 0 when none
    netadr_t masterAddress;
    uint32_t masterChallenge; // 0 until the master server answered
    comRestart_t clockRestart;   // of Base_Time
    comRestart_t timeRestart;    // of the game time
};

extern qbase_t qbase;
extern char base_startTime_string[BASE_STRING_SIZE];
extern char base_cmdline_string[BASE_STRING_SIZE];

// The base variables; the print path, the remote console and the daemon read them.
struct cmdVar_t;
extern cmdVar_t base_client, base_updateConfig, base_stressCpu, base_rcon, base_rconPassword,
    base_log, base_timeStamp, base_skipWarning, base_master, base_skipMaster, base_startTime,
    base_cmdLine, base_maxFps, base_pid, m_look, m_invert, m_sensitivity, m_filter, m_yaw,
    m_pitch, m_accel;

// ---- command line ----

// Splits line in place into base_argv: blanks separate arguments, double quotes
// group and separate; at most BASE_MAX_ARGS - 1 arguments.
void Base_ParseCommandLine(char *line);
// Joins argv[first..argc-1] into out, each argument followed by one blank.  An
// argument that holds a blank is written between double quotes so that it splits
// back into one argument; arguments that no longer fit whole are left off.
void Base_JoinArguments(int argc, char **argv, int first, char *out, int size);
// Joins argv[1..] into one line for other process entries (the last blank removed),
// and the same split into the argument table.
const char *Base_GetCommandLine(int argc, char **argv);
void Base_ParseCommandLineArg(int argc, char **argv);
int Base_Argc();                     // argument slots in use (1 when the line is empty)
const char *Base_Argv(int n);        // slot n, "" outside 1..Base_Argc()-1
int Base_GetParam(const char *text); // first index (>= 1) equal to text, 0 when none
// Queues the "-set" groups (firstPass 1) or the "+set" groups (firstPass 0).
void Base_ExecuteSetParams(uint8_t firstPass);

// ---- life cycle ----

// Starts the engine with the whole command line (program path first); never returns.
[[noreturn]] void Base_Main(const char *commandLine);
// Import phase: every subsystem registers its commands and variables, the network
// opens, the packs and the game module load and the module's parts import.
void Base_Imp();
// Init phase: the set groups and configuration files run, the subsystems and the
// module initialise, the master server is asked; then the engine is initialised.
void Base_Init();
// Orderly end: saves the configuration, shuts down in order, exits with 0.
void Base_Shutdown();
// End after a fatal error: no module call, no configuration saved.
void Base_PanicShutdown();

// Seeds the common random generator (and remembers the seed for journals); the
// numbers Base_UnpredictableRandom draws while a journal runs restart from it too.
void Base_SeedRandom(uint32_t seed);
// A number nobody outside can predict, for what ties answers to this process: the
// instance number, the server's connect challenges, the qport.  It comes from the
// system's random source; while a journal records or plays it comes from a digest
// of the seed and a draw counter instead, so that a replay draws the same numbers
// (and they are then only as hard to guess as the 32-bit seed).
uint32_t Base_UnpredictableRandom();

// ---- clock and frame ----

uint32_t Base_Time();                 // ms: Sys_Milliseconds() - time base + 65,535
void Base_Frame(int msec);            // one engine frame
// The main loop's clock restart: Base_Time begins again at 65,535, and the reading
// it restarted at is kept for Base_ClockAge.
void Base_RestartClock();
// Base_Frame's game-time restart: the game time begins again at 0x5FFFF, and the
// time it restarted at is kept for Base_TimeAge.
void Base_RestartGameTime();
// ms since a stamp of Base_Time, and of the game time, across their restarts: every
// age the engine measures goes through one of these, never through now - stamp.
int32_t Base_ClockAge(uint32_t stamp);
int32_t Base_TimeAge(uint32_t stamp);
// Test builds only: the engine clock and the game time start this many ms ahead of
// their usual start, to bring their restarts within a test's reach.  0 otherwise.
extern uint32_t base_testClockAhead, base_testTimeAhead;
// Offers every package waiting in that side's loop-back ring, then every one from
// the network, to the out-of-band handling (remote console, master server); what
// it does not handle is dropped.
void Base_OfferPackages(int side);
// Main-loop frame cap: ms still to sleep after a pass that took elapsed ms.
uint32_t Base_FrameCapSleep(int maxFps, uint32_t elapsed);
// The frame work of upTime: days and the time of day from the clock and the wraps.
void Base_UpTime(uint32_t clock, uint32_t wrapCount, uint32_t wrapLength, uint32_t *days,
                 uint32_t *hours, uint32_t *minutes, uint32_t *seconds);

// ---- base console ----

void Base_DumpConfig(const char *path);  // writes the configuration file
void Base_Client_v();                    // change callback of the variable client
