// Console variables, functions and aliases; the command buffer that runs console text.
//
// One name space holds three kinds of symbol: variables (records owned by the
// subsystem that declares them, linked in here and never freed), functions (a name
// bound to a handler) and aliases (a name bound to command text).  Names are
// case-insensitive everywhere; listings come in byte order of the names.
//
// All console text, whatever its source, is appended to one command buffer and runs
// from it: once per engine frame, and at a few fixed points of start-up.
#pragma once

#include <cstdint>
#include <cstdio>

#include "game/g_public.h"  // cmdVar_t, its flags and CMD_MAX_NAME: read in place by both sides

constexpr int CMD_HASH_SIZE = 541;      // buckets of each symbol kind
constexpr int CMD_BUFFER_SIZE = 8192;   // the command buffer, with its zero
constexpr int CMD_MAX_ARGS = 32;        // words stored of one statement
constexpr int CMD_MAX_ARG_LEN = CMD_MAX_WORD + 1;  // one stored word, with its zero
constexpr int CMD_MAX_COMPLETE = 255;   // name characters completion writes into a line
constexpr int CMD_MAX_SLEEP = 5000;     // longest `sleep`, in milliseconds
constexpr int CMD_MAX_FLUSH_DEPTH = 8;  // flushes running inside one another
constexpr int CMD_MAX_SCRIPT_DEPTH = 16;  // scripts run by `exec` from inside scripts
constexpr int CMD_MAX_QUEUED_SCRIPTS = 64;  // scripts waiting in the queue at once

// A console function: a name bound to a handler that reads its words with Cmd_Argv.
struct cmdFunction_t {
    char name[CMD_MAX_NAME];
    uint32_t flags;
    cmdCallback_t handler;
    cmdFunction_t *next;
    cmdFunction_t *hashNext;
};

// A name that runs command text.
struct cmdAlias_t {
    char name[CMD_MAX_NAME];
    char text[CMD_MAX_NAME];
    uint32_t flags;
    cmdAlias_t *next;
    cmdAlias_t *hashNext;
};

// The command system's state.
struct qcmd_t {
    uint8_t allowCheats;
    cmdVar_t *vars;                     // name order
    cmdVar_t *varHash[CMD_HASH_SIZE];
    cmdFunction_t *functions;
    cmdFunction_t *functionHash[CMD_HASH_SIZE];
    cmdAlias_t *aliases;
    cmdAlias_t *aliasHash[CMD_HASH_SIZE];
    int32_t length;                     // bytes used in the buffer
    char buffer[CMD_BUFFER_SIZE];       // always zero-terminated
    int32_t argc;                       // words of the statement being executed
    char argv[CMD_MAX_ARGS][CMD_MAX_ARG_LEN];
    uint8_t wait;                       // set by `wait`: the flush stops
    uint8_t noVarFunctions;             // variable callbacks withheld
};

extern qcmd_t qcmd;

// ---- variables and functions ----

// Clears the whole state; cheats are allowed.
void Cmd_Startup();
// Declares the console symbols of the command system.
void Cmd_Imp();
void Cmd_Init();      // nothing to do: the state is ready after Cmd_Startup
void Cmd_Shutdown();  // nothing to do: symbols live as long as the process

// Links a caller-owned record in; a duplicate variable name is fatal.
void Cmd_CreateCVarEx(cmdVar_t *var, const char *name, const char *defaultText, uint32_t flags,
                      cmdCallback_t callback);
// Cmd_CreateCVarEx without a callback.
void Cmd_CreateCVar(cmdVar_t *var, const char *name, const char *defaultText, uint32_t flags);
// Registers a handler; a name used by any symbol is fatal.
void Cmd_CreateFunction(const char *name, cmdCallback_t handler, uint32_t flags);
// Registers command text under a name; a name used by any symbol is an error, nothing is made.
void Cmd_CreateAlias(const char *name, const char *text, uint32_t flags);
// The variable of that name (any case), or null.
cmdVar_t *Cmd_GetCVar(const char *name);
// Sets the text and its readings and calls the callback; force bypasses cheat protection.
void Cmd_SetCVar(cmdVar_t *var, const char *text, uint8_t force);
// Disallowing puts every cheat-protected variable back to its forced or default text.
void Cmd_SetAllowCheat(uint8_t allow);
// While on, variable callbacks are not called.
void Cmd_NoVarFunctions(uint8_t on);

// Words of the statement being executed; Cmd_Argv outside 0..Cmd_Argc()-1 gives "".
int32_t Cmd_Argc();               // 0..CMD_MAX_ARGS
const char *Cmd_Argv(int32_t n);  // word n, cut to CMD_MAX_ARG_LEN - 1 characters

// Completes the last word of line in place; 1 when any symbol matched.  line needs room
// for CMD_MAX_COMPLETE characters, a blank and a zero from the word's start.
uint8_t Cmd_CompleteCmd(char *line);
// Writes the configuration lines of the variables that differ from their defaults.
void Cmd_DumpCmds(FILE *file);

// ---- command buffer ----

// Appends text and a ';'; a text that does not fit is dropped whole.
void Cmd_Add(const char *text);
// Runs the buffer, and the scripts `exec` queued at their places in it, until both
// are empty or a `wait` ran; may be called from a handler (a flush nested too deep
// returns at once, and the flush around it runs the text).
void Cmd_Flush();
