// The Linux system layer.
#include "base/sys.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/random.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "base/base.h"
#include "base/files.h"
#include "base/cmd.h"
#include "common/com_string.h"
#include "common/common.h"

uint8_t Sys_IsDedicatedOnly() { return 1; }
void Sys_Imp() {}
void Sys_Init() {}
void Sys_Frame() {}
void Sys_Shutdown() {}

// ---- clock ----

int32_t Sys_Milliseconds() {
    static bool started;
    static time_t baseSecond;
    timeval tv;
    gettimeofday(&tv, nullptr);
    if (!started) {
        baseSecond = tv.tv_sec;
        started = true;
    }
    // The clock is meant to wrap (the engine guards it); count in unsigned.
    const uint32_t ms = static_cast<uint32_t>(tv.tv_sec - baseSecond) * 1000u + static_cast<uint32_t>(tv.tv_usec / 1000);
    return static_cast<int32_t>(ms);
}

void Sys_Sleep(int32_t msec) {
    if (msec > 0) usleep(static_cast<useconds_t>(msec) * 1000u);
}

static bool sys_exitFailure;

void Sys_SetExitFailure() { sys_exitFailure = true; }

void Sys_Exit(int32_t code) {
    fflush(stdout);
    exit(sys_exitFailure ? SYS_EXIT_ERROR : code);
}

// ---- boxes ----

static void PrintStars() {
    char stars[SYS_BOX_STARS + 1];
    memset(stars, '*', SYS_BOX_STARS);
    stars[SYS_BOX_STARS] = 0;
    printf("%s\n", stars);
}

void Sys_MessageBox(const char *text, const char *title) {
    PrintStars();
    printf("%s: %s\n", title ? title : "", text ? text : "");
    PrintStars();
    fflush(stdout);
}

int32_t Sys_MessageBoxARI(const char *text, const char *title) {
    Sys_MessageBox(text, title);
    return SYS_BOX_ABORT;
}

uint8_t Sys_CreateBox(const char *) { return 0; }
void Sys_DestroyBox() {}

// ---- time, directories, host ----

void Sys_RandomBytes(void *out, size_t size) {
    byte *at = static_cast<byte *>(out);
    while (size > 0) {
        const ssize_t got = getrandom(at, size, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            Com_Error(ER_FATAL, "Sys_RandomBytes: %s", strerror(errno));
            return;
        }
        at += got;
        size -= static_cast<size_t>(got);
    }
}

void Sys_GetLocalTime(sysTime_t *t) {
    if (!t) return;
    const time_t now = time(nullptr);
    tm local;
    localtime_r(&now, &local);
    t->year = static_cast<uint16_t>(local.tm_year + 1900);
    t->month = static_cast<uint8_t>(local.tm_mon + 1);
    t->day = static_cast<uint8_t>(local.tm_mday);
    t->hour = static_cast<uint8_t>(local.tm_hour);
    t->minute = static_cast<uint8_t>(local.tm_min);
    t->second = static_cast<uint8_t>(local.tm_sec);
    t->milliseconds = 0;
}

char *Sys_getdcwd(char *buffer, int32_t size) {
    if (!buffer || size < 1) return nullptr;
    return getcwd(buffer, static_cast<size_t>(size));
}

int32_t Sys_chdir(const char *path) { return (path && chdir(path) == 0) ? 0 : -1; }

// Directories are made readable by everyone and writable by the owner (less the umask).
int32_t Sys_mkdir(const char *path) { return path ? mkdir(path, 0755) : -1; }

int32_t Sys_GetSIMDSupport() { return 0; }

const char *Sys_GetSystemString() {
    static char text[4 * sizeof(utsname{}.nodename) + 16];
    utsname u;
    if (uname(&u) != 0) return "Bad uname() call";
    snprintf(text, sizeof text, "%s @ %s %s %s", u.nodename, u.sysname, u.release, u.machine);
    return text;
}

// ---- console ----

void Sys_ShutdownConsole() {}

void Sys_ConsolePrint(const char *text) {
    if (!text || qbase.quietConsole) return;
    if (strlen(text) > SYS_MAX_CONSOLE_PRINT) return;
    char plain[SYS_MAX_CONSOLE_PRINT + 1];
    Com_StripColorKeys(plain, sizeof plain, text);
    // A supervisor reading a pipe sees every line as soon as it is printed.
    printf("%s\n", plain);
    fflush(stdout);
}

void Sys_SafePrint(const char *text) {
    printf("%s\n", text ? text : "");
    fflush(stdout);
}

// Standard input, read without stdio so that polling and reading agree on what
// has arrived.  Bytes wait here until their line is complete.
static struct {
    char pending[SYS_CONSOLE_INPUT];
    int length;
    bool closed;      // end of input or a read error: nothing more will come
    bool skipping;    // the rest of an overlong line is being thrown away
} sys_in;

void Sys_ClearConsoleInput() { memset(&sys_in, 0, sizeof sys_in); }

// Reads what standard input holds into the pending bytes; waits for it when told.
static void FillInput(bool wait) {
    if (sys_in.closed || sys_in.length >= SYS_CONSOLE_INPUT - 1) return;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(STDIN_FILENO, &set);
    timeval zero = {0, 0};
    const int ready = select(STDIN_FILENO + 1, &set, nullptr, nullptr, wait ? nullptr : &zero);
    if (ready < 0) {
        if (errno != EINTR) sys_in.closed = true;
        return;
    }
    if (ready == 0) return;
    const ssize_t got = read(STDIN_FILENO, sys_in.pending + sys_in.length,
                             static_cast<size_t>(SYS_CONSOLE_INPUT - 1 - sys_in.length));
    if (got <= 0) {
        if (got == 0 || errno != EINTR) sys_in.closed = true;
        return;
    }
    sys_in.length += static_cast<int>(got);
}

static void DropPending(int count) {
    memmove(sys_in.pending, sys_in.pending + count, static_cast<size_t>(sys_in.length - count));
    sys_in.length -= count;
}

// Takes the next line (without its line end) into out; false when none is complete.
// A line longer than the pending buffer is taken cut and the rest of it thrown away,
// so that no part of one line runs as a command of its own; at the end of input the
// last bytes count as a line.
static bool TakeLine(char (&out)[SYS_CONSOLE_INPUT]) {
    const char *nl = static_cast<const char *>(memchr(sys_in.pending, '\n', static_cast<size_t>(sys_in.length)));
    if (sys_in.skipping) {
        if (!nl) {
            DropPending(sys_in.length);
            return false;
        }
        DropPending(static_cast<int>(nl - sys_in.pending) + 1);
        sys_in.skipping = false;
        nl = static_cast<const char *>(memchr(sys_in.pending, '\n', static_cast<size_t>(sys_in.length)));
    }
    int lineLength;
    int used;
    if (nl) {
        lineLength = static_cast<int>(nl - sys_in.pending);
        used = lineLength + 1;
    } else if (sys_in.length >= SYS_CONSOLE_INPUT - 1) {
        lineLength = used = sys_in.length;
        sys_in.skipping = true;
    } else if (sys_in.closed && sys_in.length > 0) {
        lineLength = used = sys_in.length;
    } else {
        return false;
    }
    memcpy(out, sys_in.pending, static_cast<size_t>(lineLength));
    if (lineLength > 0 && out[lineLength - 1] == '\r') lineLength--;
    out[lineLength] = 0;
    DropPending(used);
    return true;
}

// Started with standard input closed, the next file the engine opens (its socket)
// would take the number 0 and be read as the console: /dev/null holds the number.
uint8_t Sys_InitConsole() {
    if (fcntl(STDIN_FILENO, F_GETFD) == -1 && errno == EBADF) {
        const int fd = open("/dev/null", O_RDONLY);
        if (fd > STDIN_FILENO) close(fd);
        sys_in.closed = true;
    }
    return 1;
}

void Sys_GetMessages() {
    FillInput(false);
    char line[SYS_CONSOLE_INPUT];
    while (TakeLine(line)) Cmd_Add(line);
}

// Blocks for one line of standard input and keeps its first word (cut to fit);
// "" when input has ended.
static void ReadWord(char (&word)[SYS_CONSOLE_INPUT]) {
    char line[SYS_CONSOLE_INPUT];
    word[0] = 0;
    for (;;) {
        if (TakeLine(line)) break;
        if (sys_in.closed) return;
        FillInput(true);
    }
    const char *p = line;
    while (*p == ' ' || *p == '\t') p++;
    int n = 0;
    while (p[n] && p[n] != ' ' && p[n] != '\t' && n < SYS_CONSOLE_INPUT - 1) {
        word[n] = p[n];
        n++;
    }
    word[n] = 0;
}

void Sys_Daemon() {
    if (!Base_GetParam("-D") || Base_GetParam("-deamon") || Base_GetParam("-daemon")) return;

    if (!base_rcon.integer || !Com_strcmp(base_rconPassword.string, base_rconPassword.defaultString)) {
        Com_Printf("Please set rcon password: ");
        char word[SYS_CONSOLE_INPUT];
        ReadWord(word);
        if (!word[0]) {
            Com_Printf("Skipping rcon...");
        } else {
            Cmd_SetCVar(&base_rcon, "1", 1);
            Cmd_SetCVar(&base_rconPassword, word, 1);
            Com_Printf("New rcon password \"%s\" set\n", word);
        }
    }
    if (!qbase.serverRunning) {
        Com_Printf("Please enter map: ");
        char word[SYS_CONSOLE_INPUT];
        ReadWord(word);
        if (word[0]) {
            char line[SYS_CONSOLE_INPUT + 8];
            snprintf(line, sizeof line, "map %s", word);
            Cmd_Add(line);
            Cmd_Flush();
        }
    }
    // Nothing buffered so far may be written twice by the two processes: not the
    // printed lines, nor what waits in any open file (a journal being recorded).
    fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        Com_Error(ER_FATAL, "fork() returned %d", static_cast<int>(pid));
        return;
    }
    // base_pid names the daemon in the process that goes on, not only in the parent
    // that ends here.
    char text[32];
    snprintf(text, sizeof text, "%d", static_cast<int>(pid > 0 ? pid : getpid()));
    Cmd_SetCVar(&base_pid, text, 1);
    if (pid > 0) {
        Com_Printf("Daemon up and running at PID %d", static_cast<int>(pid));
        Sys_Exit(SYS_EXIT_OK);
    }
    // A session of its own: the terminal's hang-up when its user logs out does not
    // reach the daemon.  A terminal on standard input is left to the shell (read in
    // the background it would stop the daemon, or take the user's lines); a pipe or a
    // file that a supervisor feeds stays the console.
    setsid();
    if (isatty(STDIN_FILENO)) sys_in.closed = true;
    qbase.quietConsole = 1;
}

// ---- game module ----

// The directory of the engine program, with its final '/'; "" when unknown.
static void ProgramDirectory(char *out, size_t size) {
    out[0] = 0;
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return;
    path[n] = 0;
    char *slash = strrchr(path, '/');
    if (!slash) return;
    slash[1] = 0;
    Com_strncpyz(out, path, static_cast<int>(size));
}

// The failure names the module's file; the loader's own text says where it looked.
static void *OpenModule(const char *path, const char *file) {
    Com_Printf("Trying dlopen( \"%s\", RTLD_LOCAL | RTLD_LAZY )", path);
    void *h = dlopen(path, RTLD_LOCAL | RTLD_LAZY);
    if (!h) {
        const char *why = dlerror();
        Com_Error(ER_ERROR, "Sys_LoadGameModule: Could not dlopen from \"%s\" (%s)", file, why ? why : "");
    }
    return h;
}

void *Sys_LoadGameModule(void **handle, const char *name) {
    if (handle) *handle = nullptr;
    if (!name) return nullptr;
    char file[256];
    snprintf(file, sizeof file, "%s%s", name, SYS_MODULE_SUFFIX);
    char path[4096 + 256];
    snprintf(path, sizeof path, "./%s", file);
    // An installed engine finds its module beside the program.
    if (access(path, F_OK) != 0) {
        char dir[4096];
        ProgramDirectory(dir, sizeof dir);
        char beside[sizeof path];
        snprintf(beside, sizeof beside, "%s%s", dir, file);
        if (dir[0] && access(beside, F_OK) == 0) Com_strncpyz(path, beside, sizeof path);
    }
    void *h = OpenModule(path, file);
    if (handle) *handle = h;
    return h;
}

void *Sys_GetGameAPI(void *handle) { return handle ? dlsym(handle, "GetGameAPI") : nullptr; }

void Sys_UnloadGameModule(void *handle) {
    if (handle) dlclose(handle);
}

// ---- socket addresses ----

void addr2sockaddr(sockaddr_in *out, const netadr_t *address) {
    memset(out, 0, sizeof *out);
    out->sin_family = AF_INET;
    memcpy(&out->sin_addr.s_addr, address->ip, sizeof address->ip);
    out->sin_port = htons(address->port);
}

void sockaddr2addr(netadr_t *out, const sockaddr_in *address) {
    memset(out, 0, sizeof *out);
    out->type = NA_IP;
    memcpy(out->ip, &address->sin_addr.s_addr, sizeof out->ip);
    out->port = ntohs(address->sin_port);
}

// ---- log ----

void Sys_ClearLog() {
    FILE *f = FS_fopen(SYS_LOG_FILE, "wt");
    if (!f) return;
    fputs("\n", f);
    FS_fclose(f);
}

void Sys_Log(const char *text) {
    if (!text || strlen(text) > SYS_MAX_LOG_TEXT) return;
    FILE *f = FS_fopen(SYS_LOG_FILE, "at");
    if (!f) return;
    char plain[SYS_MAX_LOG_TEXT + 1];
    Com_StripColorKeys(plain, sizeof plain, text);
    fprintf(f, "%s\n", plain);
    FS_fclose(f);
}

// ---- stubs ----

void *Sys_GLXGetProcAddress(const char *) { return nullptr; }
void *Sys_GLGetProcAddress(const char *) { return nullptr; }
int32_t Sys_Clipboard_GetStringLength() { return 0; }
uint8_t Sys_Clipboard_GetString(int32_t, char *) { return 0; }
void Sys_Clipboard_SetString(const char *) {}
uint8_t Sys_InitOpenGL() { return 1; }
void Sys_ShutdownOpenGL() {}
void Sys_SwapOpenGLBuffers() {}
void Sys_AltTabOpenGL(uint8_t) {}
uint8_t Sys_InitSound() { return 1; }
void Sys_ShutdownSound() {}
void Sys_BeginSoundPainting() {}
void Sys_EndSoundPainting() {}
int32_t Sys_FindFiles(char *, const char *, int32_t, int32_t) { return 0; }
void Sys_ShowCursor(uint8_t) {}
void Sys_SetCursorPos(int32_t, int32_t) {}
void Sys_GetCursorPos(int32_t *, int32_t *) {}
void Sys_SetConsoleCaption(const char *) {}
int32_t Sys_GetScreenWidth() { return 0; }
int32_t Sys_GetScreenHeight() { return 0; }
