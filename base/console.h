// The engine's print path and error levels: the sinks the engine installs in the
// common library, the 64 KB console ring every printed line is kept in, the log,
// and the error dump written on fatal errors.
#pragma once

#include <cstdint>
#include <cstdio>

#include "common/com_print.h"

constexpr int CON_RING_SIZE = 65536;       // console ring bytes
constexpr int CON_MAX_PRINT = 992;         // longer texts are dropped by Base_Print
constexpr int ER_TEXT_SIZE = 1024;         // box texts and the last error, with their zero
constexpr int ER_SAVEOFF_SIZE = 10000;     // saved-off error texts, with their zero
constexpr int ER_SAVEOFF_LIMIT = 9000;     // no further text is saved off past this length
constexpr const char *CON_ENGINE_VERSION = "1.10b";  // named in the error dump

// The console ring: byte i of everything printed lies at ring[i % CON_RING_SIZE];
// a zero byte stands after the newest text (not counted).
struct conRing_t {
    uint32_t count;  // bytes ever written
    byte ring[CON_RING_SIZE];
};
extern conRing_t con_ring;

extern int er_recursive;                   // nesting depth of Base_Error
extern char er_lasterror[ER_TEXT_SIZE];    // the last error text
extern char er_saveoff[ER_SAVEOFF_SIZE];   // saved-off error texts, one a line

// Where printed text goes beyond the log, the ring and standard output; each is
// installed by its owner and may stay null.
struct conHooks_t {
    void (*rconEcho)(const char *text);       // remote-console echo; sends only while echo is on
    void (*moduleConsole)(const char *text);  // the user interface's console (module call 18)
    int (*boundPort)();                       // the transport's own port: names the error dump
};
extern conHooks_t con_hooks;

// Print sink: time stamp, remote-console echo, log, ring, standard output, module.
// Texts longer than CON_MAX_PRINT characters are dropped whole.
void Base_Print(const char *text);
// Developer print sink: prints "(dev) text" in developer mode only.
void Base_DPrint(const char *text);
// Error sink: does what the level says; 0, or the box's answer at ER_BUG.  Every
// level that ends the process ends it with a non-zero status.
int Base_Error(int level, const char *text);
// Writes "errorlog<port>.txt": the error, the engine version and the console text.
void Base_DumpErrorLog(const char *text);
// Appends text and a line feed to the console ring only.
void Base_ShortCon(const char *text);
