// The system layer: everything the engine asks of the operating system (the UDP
// socket functions excepted).  This is Linux's, for a dedicated-only host: a
// millisecond clock, sleeping, the standard-input console, the log, message boxes
// on standard output, directories, loading the game module, the daemon mode, and
// stubs for what a windowed client would need.
#pragma once

#include <cstddef>
#include <cstdint>

struct netadr_t;
struct sockaddr_in;

constexpr const char *SYS_NAME = "Linux";           // the process banner's system name
constexpr const char *SYS_CPU = "x86-64";            // the build banner's processor name
constexpr const char *SYS_MODULE_SUFFIX = "_linux.so";
constexpr const char *SYS_LOG_FILE = "log.txt";
constexpr int SYS_CMDLINE_SIZE = 4096;     // the process entry's joined command line, with its zero
constexpr int SYS_CONSOLE_INPUT = 1024;    // one standard-input line, with its zero
constexpr int SYS_MAX_CONSOLE_PRINT = 4000;  // longer texts are not printed
constexpr int SYS_MAX_LOG_TEXT = 1023;       // longer texts are not logged
constexpr int SYS_BOX_STARS = 44;            // width of a message box's frame
constexpr int SYS_EXIT_OK = 0;               // quit and the daemon's parent
constexpr int SYS_EXIT_ERROR = 1;            // every error path

// Local date and time.
struct sysTime_t {
    uint16_t year;         // full year
    uint8_t month;         // 1..12
    uint8_t day;           // 1..31
    uint8_t hour;          // 0..23
    uint8_t minute;        // 0..59
    uint8_t second;        // 0..60
    uint16_t milliseconds; // always 0
};

uint8_t Sys_IsDedicatedOnly();       // 1: this host can only be a dedicated server
// Nothing to declare, open, run or close on this host.
void Sys_Imp();
void Sys_Init();
void Sys_Frame();
void Sys_Shutdown();

// Milliseconds since the first call, counted from the start of that call's second.
int32_t Sys_Milliseconds();
void Sys_Sleep(int32_t msec);  // blocks the whole process; 0 or less returns at once
// Ends the process with the code (SYS_EXIT_ERROR after Sys_SetExitFailure);
// standard output is flushed.
[[noreturn]] void Sys_Exit(int32_t code);
// An error is ending the process: even an orderly shutdown must not report success.
void Sys_SetExitFailure();
// Detaches from the terminal when "-D" is given without "-daemon" / "-deamon":
// asks for a remote-console password and a map when needed, forks, and the parent
// ends with 0; the child goes on with a quiet console, in a session of its own, and
// reads standard input only when it is no terminal.
void Sys_Daemon();

// Both boxes are written on standard output between two lines of asterisks.
void Sys_MessageBox(const char *text, const char *title);
// The answers of an abort / retry / ignore box.
enum sysBoxAnswer_t : int32_t { SYS_BOX_ABORT = 0, SYS_BOX_RETRY = 1, SYS_BOX_IGNORE = 2 };
int32_t Sys_MessageBoxARI(const char *text, const char *title);  // a sysBoxAnswer_t; here always abort
uint8_t Sys_CreateBox(const char *text);  // a non-modal box; 1 when shown: never on this host
void Sys_DestroyBox();                 // nothing on this host

void Sys_GetLocalTime(sysTime_t *t);            // now, in local time
// Fills out with bytes from the system's random source, which nobody outside can
// predict; a host without one ends the process.
void Sys_RandomBytes(void *out, size_t size);
char *Sys_getdcwd(char *buffer, int32_t size);  // the working directory, or null
int32_t Sys_chdir(const char *path);            // -1 on failure
int32_t Sys_mkdir(const char *path);            // 0 on success
int32_t Sys_GetSIMDSupport();                   // 0: none reported
// "host @ system release machine", or "Bad uname() call".
const char *Sys_GetSystemString();

// 1.  With standard input closed, holds its descriptor with /dev/null so that no
// later file (the socket) is read as the console.
uint8_t Sys_InitConsole();
void Sys_ShutdownConsole();  // nothing to close
// Writes text without colour keys and a line feed on standard output, unless quiet.
void Sys_ConsolePrint(const char *text);
// Writes text and a line feed on standard output, bypassing the console (panic path).
void Sys_SafePrint(const char *text);
// Queues every complete line waiting on standard input as a console line.  End of
// input or a read error is no input; a last line without a line end is queued then.
void Sys_GetMessages();
// Forgets pending standard-input bytes and a seen end of input (for tests: in the
// engine standard input is read by one process from start to end).
void Sys_ClearConsoleInput();

// Opens "<name>_linux.so" from the working directory, else from the engine
// program's directory; *handle (when given) receives the result; null on failure.
void *Sys_LoadGameModule(void **handle, const char *name);
void *Sys_GetGameAPI(void *handle);      // "GetGameAPI" of the module, or null
void Sys_UnloadGameModule(void *handle);

// A zeroed IPv4 socket address: the port in network byte order, the four bytes as they are.
void addr2sockaddr(sockaddr_in *out, const netadr_t *address);
// An IPv4 address (NA_IP, qport 0) from a socket address; the port in host byte order.
void sockaddr2addr(netadr_t *out, const sockaddr_in *address);

void Sys_ClearLog();                     // log.txt becomes one line feed
void Sys_Log(const char *text);          // appends text without colour keys and a line feed

// Stubs: no window, no OpenGL, no sound device on this host.
void *Sys_GLXGetProcAddress(const char *name);
void *Sys_GLGetProcAddress(const char *name);
int32_t Sys_Clipboard_GetStringLength();
uint8_t Sys_Clipboard_GetString(int32_t size, char *buffer);
void Sys_Clipboard_SetString(const char *text);
uint8_t Sys_InitOpenGL();
void Sys_ShutdownOpenGL();
void Sys_SwapOpenGLBuffers();
void Sys_AltTabOpenGL(uint8_t activated);
uint8_t Sys_InitSound();
void Sys_ShutdownSound();
void Sys_BeginSoundPainting();
void Sys_EndSoundPainting();
int32_t Sys_FindFiles(char *out, const char *pattern, int32_t stride, int32_t max);
void Sys_ShowCursor(uint8_t show);
void Sys_SetCursorPos(int32_t x, int32_t y);
void Sys_GetCursorPos(int32_t *x, int32_t *y);
void Sys_SetConsoleCaption(const char *text);
int32_t Sys_GetScreenWidth();
int32_t Sys_GetScreenHeight();
