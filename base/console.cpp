// The print path, the error levels, the console ring and the error dump.
#include "base/console.h"

#include <cstdarg>
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "base/renderer.h"
#include "base/sys.h"
#include "common/com_string.h"

conRing_t con_ring;
int er_recursive;
char er_lasterror[ER_TEXT_SIZE];
char er_saveoff[ER_SAVEOFF_SIZE];
conHooks_t con_hooks;

static constexpr char ER_ERROR_PREFIX[] = "\xA4" "03ERROR: \xA4" "00";  // before every error printed

// ---- console ring ----

static void RingAppend(const char *text, size_t n) {
    for (size_t i = 0; i < n; i++) con_ring.ring[con_ring.count++ % CON_RING_SIZE] = static_cast<byte>(text[i]);
}

static void RingAppendLine(const char *text) {
    RingAppend(text, strlen(text));
    RingAppend("\n", 1);
    con_ring.ring[con_ring.count % CON_RING_SIZE] = 0;
}

void Base_ShortCon(const char *text) {
    if (text) RingAppendLine(text);
}

// Writes the ring's text from its oldest byte, colour keys left out.
static void WriteConsoleText(FILE *f) {
    uint32_t at = con_ring.count % CON_RING_SIZE;
    int visited = 0;
    while (visited < CON_RING_SIZE && !con_ring.ring[at]) at = (at + 1) % CON_RING_SIZE, visited++;
    for (; visited < CON_RING_SIZE; visited++, at = (at + 1) % CON_RING_SIZE) {
        const byte c = con_ring.ring[at];
        if (!c) break;
        if (c == COLOR_KEY && CON_RING_SIZE - visited > 2) {
            at = (at + 2) % CON_RING_SIZE;
            visited += 2;
            continue;
        }
        fputc(c, f);
    }
}

// ---- print path ----

void Base_Print(const char *text) {
    if (!text || strlen(text) > CON_MAX_PRINT) return;
    char line[CON_MAX_PRINT + 32];
    if (base_timeStamp.integer) {
        sysTime_t t;
        Sys_GetLocalTime(&t);
        snprintf(line, sizeof line, "%.2d %.2d:%.2d %s", t.day, t.hour, t.minute, text);
    } else {
        Com_strncpyz(line, text, sizeof line);
    }
    if (con_hooks.rconEcho) con_hooks.rconEcho(text);
    if (base_log.integer) Sys_Log(line);
    RingAppendLine(line);
    Sys_ConsolePrint(line);
    if (con_hooks.moduleConsole) con_hooks.moduleConsole(line);
}

void Base_DPrint(const char *text) {
    if (!qbase.developer || !text) return;
    char line[ER_TEXT_SIZE + 16];
    snprintf(line, sizeof line, "\xA4" "08(dev)\xA4" "00 %s", text);
    Base_Print(line);
}

// ---- error dump ----

constexpr int DUMP_RULE = 35;           // hyphens of the dump's rules
constexpr int DUMP_CONSOLE_RULE = 27;   // equals signs on each side of " CONSOLE "
constexpr int DUMP_END_RULE = 25;       // equals signs on each side of " CONSOLE END "

// count of c, the middle text, and count of c again when there is a middle text.
static void WriteLine(FILE *f, char c, int count, const char *middle) {
    for (int i = 0; i < count; i++) fputc(c, f);
    fputs(middle, f);
    for (int i = 0; middle[0] && i < count; i++) fputc(c, f);
    fputc('\n', f);
}

void Base_DumpErrorLog(const char *text) {
    char name[64];
    snprintf(name, sizeof name, "errorlog%d.txt", con_hooks.boundPort ? con_hooks.boundPort() : 0);
    FILE *f = fopen(name, "wt");
    if (!f) return;
    sysTime_t t;
    Sys_GetLocalTime(&t);
    fputc('\n', f);
    WriteLine(f, '-', DUMP_RULE, "");
    fputs(" --------- HM ERROR DUMP --------- \n", f);
    WriteLine(f, '-', DUMP_RULE, "");
    fprintf(f, "Error time: %d-%.2d-%.2d  %.2d:%.2d:%.2d\n", t.year, t.month, t.day, t.hour, t.minute, t.second);
    fprintf(f, "Error Msg: %s\n\n", text ? text : "");
    fprintf(f, "Engine Version: %s\n\n", BASE_VERSION);
    fputs("OpenGL Extensions:\n\n", f);
    R_DumpExtensions(f);
    WriteLine(f, '-', DUMP_RULE, "");
    fputc('\n', f);
    WriteLine(f, '=', DUMP_CONSOLE_RULE, " CONSOLE ");
    WriteConsoleText(f);
    WriteLine(f, '=', DUMP_END_RULE, " CONSOLE END ");
    fputc('\n', f);
    fclose(f);
}

// ---- error levels ----

static void BoxText(char (&box)[ER_TEXT_SIZE], const char *fmt, ...) __attribute__((format(printf, 2, 3)));
static void BoxText(char (&box)[ER_TEXT_SIZE], const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(box, sizeof box, fmt, ap);
    va_end(ap);
}

// Ends the process after an error.  The panic shutdown returns only when a shutdown
// already runs; the process ends then all the same, and never with success.
[[noreturn]] static void EndWithError() {
    Base_PanicShutdown();
    Sys_Exit(SYS_EXIT_ERROR);
}

// ER_FATAL and ER_BUG: box, dump, and the end unless a developer chose to go on.
static int FatalOrBug(const char *text, const char *title, bool returnAnswer) {
    char box[ER_TEXT_SIZE];
    BoxText(box, "%s", text);
    Base_DumpErrorLog(box);
    if (!qbase.developer) {
        Sys_MessageBox(box, title);
        EndWithError();
    }
    BoxText(box, "%s\n\nPress Retry to debug", text);
    const int answer = Sys_MessageBoxARI(box, title);
    if (answer != SYS_BOX_RETRY && answer != SYS_BOX_IGNORE) EndWithError();
    return returnAnswer ? answer : 0;
}

// Without a box to show them in, the saved-off texts are printed as errors, one a line,
// and the store is emptied so that it collects the next ones.
static void PrintSavedOff() {
    static char saved[ER_SAVEOFF_SIZE];
    Com_strncpyz(saved, er_saveoff, sizeof saved);
    er_saveoff[0] = 0;
    // The print path drops a text too long for it whole: a long line is cut instead.
    constexpr int MAX_LINE = CON_MAX_PRINT - static_cast<int>(sizeof ER_ERROR_PREFIX - 1);
    for (const char *line = saved; *line;) {
        const char *end = strchr(line, '\n');
        const int n = end ? static_cast<int>(end - line) : static_cast<int>(strlen(line));
        Com_Printf("%s%.*s", ER_ERROR_PREFIX, n < MAX_LINE ? n : MAX_LINE, line);
        line += end ? n + 1 : n;
    }
}

int Base_Error(int level, const char *text) {
    if (!text) text = "";
    if (er_recursive++ > 0) {
        char box[ER_TEXT_SIZE];
        BoxText(box, "%s\n\nPress Retry to debug", text);
        Sys_MessageBoxARI(box, "Hollowmere Recursive Error");
        Sys_Exit(SYS_EXIT_ERROR);
    }
    Com_strncpyz(er_lasterror, text, sizeof er_lasterror);
    char box[ER_TEXT_SIZE];
    int result = 0;
    switch (static_cast<unsigned>(level)) {
    case ER_FATAL: result = FatalOrBug(text, "Hollowmere FATAL ERROR", false); break;
    case ER_BUG: result = FatalOrBug(text, "Hollowmere BUG", true); break;
    case ER_DROP:
        BoxText(box, "%s \n\nYou will not be able to run Hollowmere", text);
        Sys_MessageBox(box, "Hollowmere Drop");
        EndWithError();
    case ER_RENDERER:
        BoxText(box, "%s \n\nYou will not be able to run Hollowmere in client mode", text);
        Sys_MessageBox(box, "Hollowmere Renderer Error");
        Base_DumpErrorLog(box);
        // The orderly shutdown saves the configuration; the status still tells of the error.
        Sys_SetExitFailure();
        Base_Shutdown();
        break;
    case ER_NOTIFY: Sys_MessageBox(text, "Hollowmere Notify"); break;
    case ER_SAVEOFF: {
        const size_t used = strlen(er_saveoff);
        if (used <= ER_SAVEOFF_LIMIT) snprintf(er_saveoff + used, sizeof er_saveoff - used, "%s\n", text);
        break;
    }
    case ER_SHOWSAVEOFF:
        if (er_saveoff[0] && !Sys_CreateBox(er_saveoff)) PrintSavedOff();
        break;
    case ER_WARNING:
        if (!base_skipWarning.integer) Com_Printf("\xA4" "03WARNING: \xA4" "00%s", text);
        break;
    case ER_DEVWARNING:
        if (qbase.developer && !base_skipWarning.integer) Com_Printf("\xA4" "03DEV WARNING: \xA4" "00%s", text);
        break;
    default: Com_Printf("%s%s", ER_ERROR_PREFIX, text); break;
    }
    er_recursive--;
    return result;
}
