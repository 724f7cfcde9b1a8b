// Console variables, functions and aliases: the tables, creation, setting,
// completion, configuration lines and the commands that list and change them.
#include "base/cmd.h"

#include <cstring>

#include "base/base.h"
#include "base/files.h"
#include "base/sys.h"
#include "common/com_string.h"
#include "common/common.h"

qcmd_t qcmd;

static cmdVar_t cmd_showflipflop;

// Bytes of the segments that already ran in the flush under way.  A segment leaves
// the buffer before it runs, but it still counts against the buffer's size until the
// outermost flush ends: so text that keeps queueing itself (an alias naming itself)
// meets a full buffer and stops, as it would if nothing had left.
static int32_t cmd_spent;
static int cmd_flushDepth;

// A script that `exec` queued.  Its text never enters the buffer: it runs from its own
// block, one segment at a time, at the place in the buffer's order where it was
// queued, so that a file of any size runs whole and in order.
struct cmdScript_t {
    char *text;          // the file's bytes, line ends turned into ';' (a block of FS_ReadFile)
    int32_t length;      // characters of text
    int32_t position;    // first character not yet run
    int32_t at;          // bytes of the buffer queued before the script: they run first
    int32_t depth;       // 1 when queued by a console line, one more for each script around it
    uint32_t serial;     // tells scripts apart, also one freed from the next at its address
    char name[CMD_MAX_ARG_LEN];
    cmdScript_t *next;   // queued after this one
};
static cmdScript_t *cmd_scripts;  // in the order they were queued
static int32_t cmd_scriptDepth;   // depth of the script whose segment is running; 0 for the buffer
static uint32_t cmd_scriptSerial;  // the last script's serial; 0 stands for the buffer

// Releases every queued script.
static void DropScripts() {
    while (cmdScript_t *s = cmd_scripts) {
        cmd_scripts = s->next;
        FS_FreeFile(s->text);
        Com_free(s);
    }
    cmd_scriptDepth = 0;
}

// ---- tables ----

// Bucket of a name, the same for every spelling in upper or lower case.
static uint32_t HashName(const char *name) {
    uint32_t h = 0;
    uint32_t n = 0;
    for (; name[n]; n++) h ^= static_cast<uint32_t>(Com_toupper(static_cast<byte>(name[n])));
    h = h ^ (n << 6) ^ (n << 3) ^ n;
    return h % CMD_HASH_SIZE;
}

// The three kinds share their table shape: a name-order list and hash chains.
// A name is looked up as it would be stored: cut to CMD_MAX_NAME - 1 characters.
template <typename T> static T *FindSymbol(T *const (&hash)[CMD_HASH_SIZE], const char *name) {
    char key[CMD_MAX_NAME];
    Com_strncpyz(key, name, sizeof key);
    for (T *s = hash[HashName(key)]; s; s = s->hashNext)
        if (!Com_strcmpUpper(s->name, key)) return s;
    return nullptr;
}

template <typename T> static void LinkSymbol(T *&list, T *(&hash)[CMD_HASH_SIZE], T *s) {
    T **at = &list;
    while (*at && Com_strcmp((*at)->name, s->name) <= 0) at = &(*at)->next;
    s->next = *at;
    *at = s;
    const uint32_t b = HashName(s->name);
    s->hashNext = hash[b];
    hash[b] = s;
}

static cmdFunction_t *FindFunction(const char *name) { return FindSymbol(qcmd.functionHash, name); }
static cmdAlias_t *FindAlias(const char *name) { return FindSymbol(qcmd.aliasHash, name); }
cmdVar_t *Cmd_GetCVar(const char *name) { return name ? FindSymbol(qcmd.varHash, name) : nullptr; }

static bool SymbolExists(const char *name) { return Cmd_GetCVar(name) || FindFunction(name) || FindAlias(name); }

// ---- life cycle ----

void Cmd_Startup() {
    DropScripts();
    memset(&qcmd, 0, sizeof qcmd);
    cmd_spent = 0;
    cmd_flushDepth = 0;
    qcmd.allowCheats = 1;
}

static void Cmd_Wait_f();
static void Cmd_Delete_f();
static void Cmd_Exec_f();
static void Cmd_Alias_f();
static void Cmd_ListVariables_f();
static void Cmd_ListFunctions_f();
static void Cmd_ListAlias_f();
static void Cmd_FlipFlop_f();
static void Cmd_Add_f();
static void Cmd_ResetDefaults_f();
static void Cmd_Sleep_f();

void Cmd_Imp() {
    Cmd_CreateCVar(&cmd_showflipflop, "cmd_showflipflop", "0", 0);
    Cmd_CreateFunction("wait", Cmd_Wait_f, 0);
    Cmd_CreateFunction("delete", Cmd_Delete_f, 0);
    Cmd_CreateFunction("exec", Cmd_Exec_f, 0);
    Cmd_CreateFunction("alias", Cmd_Alias_f, 0);
    Cmd_CreateFunction("listVariables", Cmd_ListVariables_f, 0);
    Cmd_CreateFunction("listFunctions", Cmd_ListFunctions_f, 0);
    Cmd_CreateFunction("listAlias", Cmd_ListAlias_f, 0);
    Cmd_CreateFunction("flipflop", Cmd_FlipFlop_f, 0);
    Cmd_CreateFunction("add", Cmd_Add_f, 0);
    Cmd_CreateFunction("resetDefaults", Cmd_ResetDefaults_f, 0);
    Cmd_CreateFunction("sleep", Cmd_Sleep_f, 0);
}

void Cmd_Init() {}
void Cmd_Shutdown() { DropScripts(); }

// ---- creation ----

static void ReadNumbers(cmdVar_t *v) {
    v->value = Com_atof(v->string);
    v->integer = Com_atoi(v->string);
    v->boolean = v->integer != 0;
}

void Cmd_CreateCVarEx(cmdVar_t *var, const char *name, const char *defaultText, uint32_t flags,
                      cmdCallback_t callback) {
    if (!var || !name || !defaultText) return;
    if (Cmd_GetCVar(name)) {
        Com_Error(ER_FATAL, "Cmd_CreateCVarEx: Variable \"%s\" already exist", name);
        return;
    }
    if (flags & CMD_READONLY) flags |= CMD_NOSAVE;
    memset(var, 0, sizeof *var);
    Com_strncpyz(var->name, name, sizeof var->name);
    Com_strncpyz(var->string, defaultText, sizeof var->string);
    Com_strncpyz(var->defaultString, defaultText, sizeof var->defaultString);
    ReadNumbers(var);
    var->previousValue = var->value;
    var->previousInteger = var->integer;
    var->previousBoolean = var->boolean;
    var->callback = callback;
    var->flags = flags;
    LinkSymbol(qcmd.vars, qcmd.varHash, var);
    if ((flags & CMD_INITCALL) && callback) callback();
}

void Cmd_CreateCVar(cmdVar_t *var, const char *name, const char *defaultText, uint32_t flags) {
    Cmd_CreateCVarEx(var, name, defaultText, flags, nullptr);
}

void Cmd_CreateFunction(const char *name, cmdCallback_t handler, uint32_t flags) {
    if (!name) return;
    if (SymbolExists(name)) {
        Com_Error(ER_FATAL, "Cmd_CreateFunction: Function \"%s\" already exist", name);
        return;
    }
    auto *f = static_cast<cmdFunction_t *>(Com_malloc(sizeof(cmdFunction_t)));
    if (!f) return;
    memset(f, 0, sizeof *f);
    Com_strncpyz(f->name, name, sizeof f->name);
    f->flags = flags;
    f->handler = handler;
    LinkSymbol(qcmd.functions, qcmd.functionHash, f);
    if ((flags & CMD_INITCALL) && handler) handler();
}

void Cmd_CreateAlias(const char *name, const char *text, uint32_t flags) {
    if (!name || !text) return;
    if (SymbolExists(name)) {
        Com_Error(ER_ERROR, "Symbol \"%s\" already exist", name);
        return;
    }
    auto *a = static_cast<cmdAlias_t *>(Com_malloc(sizeof(cmdAlias_t)));
    if (!a) return;
    memset(a, 0, sizeof *a);
    Com_strncpyz(a->name, name, sizeof a->name);
    Com_strncpyz(a->text, text, sizeof a->text);
    a->flags = flags;
    LinkSymbol(qcmd.aliases, qcmd.aliasHash, a);
}

// ---- setting ----

void Cmd_SetCVar(cmdVar_t *var, const char *text, uint8_t force) {
    if (!var || !text) return;
    if (!force && !qcmd.allowCheats && (var->flags & CMD_CHEAT)) {
        Com_Error(ER_ERROR, "\"%s\" is cheat protected", var->name);
        return;
    }
    if ((var->flags & CMD_RESTART) && qbase.rendererRunning)
        Com_Printf("Restart the renderer for this to take effect (r_restart)");
    var->previousValue = var->value;
    var->previousInteger = var->integer;
    var->previousBoolean = var->boolean;
    // The text may be one of the record's own fields (a reset to the default).
    char copy[CMD_MAX_NAME];
    Com_strncpyz(copy, text, sizeof copy);
    Com_strncpyz(var->string, copy, sizeof var->string);
    ReadNumbers(var);
    if (force) {
        var->forced = 1;
        Com_strncpyz(var->forcedString, copy, sizeof var->forcedString);
    }
    const bool gated = ((var->flags & CMD_SERVER) && !qbase.serverRunning) ||
                       ((var->flags & CMD_CLIENT) && !qbase.clientRunning) ||
                       ((var->flags & CMD_RENDERER) && !qbase.rendererRunning);
    if (var->callback && !qcmd.noVarFunctions && !gated) var->callback();
    var->modificationCount++;
}

void Cmd_SetAllowCheat(uint8_t allow) {
    if (!allow && qcmd.allowCheats) {
        for (cmdVar_t *v = qcmd.vars; v; v = v->next) {
            if (!(v->flags & CMD_CHEAT)) continue;
            const char *target = v->forced ? v->forcedString : v->defaultString;
            if (Com_strcmp(v->string, target)) Cmd_SetCVar(v, target, 1);
        }
    }
    qcmd.allowCheats = allow;
}

void Cmd_NoVarFunctions(uint8_t on) { qcmd.noVarFunctions = on; }

int32_t Cmd_Argc() { return qcmd.argc; }

const char *Cmd_Argv(int32_t n) { return (n >= 0 && n < qcmd.argc) ? qcmd.argv[n] : ""; }

// ---- display, completion, configuration lines ----

static void Cmd_PrintVar(const cmdVar_t *v) {
    if (v->flags & CMD_SECRET)
        Com_Printf("    %s is a secret", v->name);
    else if (v->flags & CMD_READONLY)
        Com_Printf("    %s = \"\xA4" "08%s\xA4" "00\"", v->name, v->string);
    else
        Com_Printf("    %s = \"\xA4" "08%s\xA4" "00\" default is \"%s\"", v->name, v->string, v->defaultString);
}

// Walks every symbol whose name begins with word: variables, functions, then aliases.
template <typename Visit> static int ForEachMatch(const char *word, int n, Visit visit) {
    int count = 0;
    for (cmdVar_t *v = qcmd.vars; v; v = v->next)
        if (!Com_strncmpUpper(v->name, word, n)) visit(v->name, [v] { Cmd_PrintVar(v); }), count++;
    for (cmdFunction_t *f = qcmd.functions; f; f = f->next)
        if (!Com_strncmpUpper(f->name, word, n)) visit(f->name, [f] { Com_Printf("    %s", f->name); }), count++;
    for (cmdAlias_t *a = qcmd.aliases; a; a = a->next)
        if (!Com_strncmpUpper(a->name, word, n))
            visit(a->name, [a] { Com_Printf("    %s \xA4" "08=\xA4" "00 \"%s\" (alias)", a->name, a->text); }),
                count++;
    return count;
}

uint8_t Cmd_CompleteCmd(char *line) {
    if (!line) return 0;
    int start = static_cast<int>(strlen(line));
    while (start > 0 && Com_IsLetterOrDigit(static_cast<byte>(line[start - 1]))) start--;
    char word[CMD_MAX_COMPLETE + 1];
    Com_strncpyz(word, line + start, sizeof word);
    const int n = static_cast<int>(strlen(word));
    char *out = line + start;

    const int count = ForEachMatch(word, n, [](const char *, auto) {});
    if (!count) return 0;
    if (count == 1) {
        ForEachMatch(word, n, [out](const char *name, auto) {
            Com_strncpyz(out, name, CMD_MAX_COMPLETE + 1);
            strcat(out, " ");
        });
        return 1;
    }
    Com_Printf("List of: \"%s\"", word);
    bool first = true;
    ForEachMatch(word, n, [out, &first](const char *name, auto print) {
        if (first) {
            Com_strncpyz(out, name, CMD_MAX_COMPLETE + 1);
            first = false;
        } else {
            // Names differ only past the typed word, whatever their case: comparing
            // case-insensitively keeps the common prefix from ever cutting into it.
            int i = 0;
            while (out[i] && Com_toupper(static_cast<byte>(out[i])) == Com_toupper(static_cast<byte>(name[i]))) i++;
            out[i] = 0;
        }
        print();
    });
    return 1;
}

void Cmd_DumpCmds(FILE *file) {
    if (!file) return;
    fprintf(file, "\n// variables (only dumped non defaults)\n");
    for (const cmdVar_t *v = qcmd.vars; v; v = v->next) {
        if (v->flags & CMD_NOSAVE) continue;
        if (!Com_strcmp(v->string, v->defaultString) && !(v->flags & CMD_ALWAYSSAVE)) continue;
        char value[Com_ConfigWordsSize(CMD_MAX_NAME - 1, CMD_MAX_WORD)];
        Com_ConfigWords(value, sizeof value, v->string, CMD_MAX_WORD);
        fprintf(file, "%s %s\n", v->name, value);
    }
    fprintf(file, "\n");
}

// ---- console commands ----

static void Cmd_ListVariables_f() {
    for (const cmdVar_t *v = qcmd.vars; v; v = v->next) Com_Printf("%s \xA4" "08=\xA4" "00 \"%s\"", v->name, v->string);
}

static void Cmd_ListFunctions_f() {
    for (const cmdFunction_t *f = qcmd.functions; f; f = f->next) Com_Printf("%s", f->name);
}

static void Cmd_ListAlias_f() {
    for (const cmdAlias_t *a = qcmd.aliases; a; a = a->next) Com_Printf("%s \xA4" "08=\xA4" "00 \"%s\"", a->name, a->text);
}

// The variable named by the first word, when the console may change it.
static cmdVar_t *WritableVar(const char *name) {
    cmdVar_t *v = Cmd_GetCVar(name);
    if (v && (v->flags & CMD_READONLY)) {
        Com_Printf("\"%s\" is a read only variable", v->name);
        return nullptr;
    }
    return v;
}

static void Cmd_FlipFlop_f() {
    if (Cmd_Argc() != 2) {
        Com_Printf("USAGE: flipflop <cmd var>");
        return;
    }
    cmdVar_t *v = WritableVar(Cmd_Argv(1));
    if (!v) return;
    const char *to = v->value == 0.0f ? "1" : "0";
    Cmd_SetCVar(v, to, 0);
    if (cmd_showflipflop.integer) Com_Printf("Flipflop \"%s\" to %s", v->name, to);
}

static void Cmd_Add_f() {
    if (Cmd_Argc() != 3) {
        Com_Printf("USAGE: add <cmd var> <add value>");
        return;
    }
    cmdVar_t *v = WritableVar(Cmd_Argv(1));
    if (!v) return;
    char text[64];
    snprintf(text, sizeof text, "%f", static_cast<double>(Com_atof(Cmd_Argv(2)) + v->value));
    Cmd_SetCVar(v, text, 0);
}

static void Cmd_ResetDefaults_f() {
    for (cmdVar_t *v = qcmd.vars; v; v = v->next) Cmd_SetCVar(v, v->defaultString, 0);
    Com_Printf("Reset all cmd defaults");
}

// ---- command buffer ----

// Appends text and its ';' to the buffer, or drops it whole when it does not fit.
static void AppendText(const char *text) {
    const size_t n = strlen(text);
    if (n > CMD_BUFFER_SIZE) {
        Com_Error(ER_ERROR, "Cmd_Add: String too long");
        return;
    }
    if (cmd_spent + qcmd.length + n + 1 >= CMD_BUFFER_SIZE) {
        Com_Error(ER_WARNING, "Cmd_Add: Dropping cmds");
        return;
    }
    memcpy(qcmd.buffer + qcmd.length, text, n);
    qcmd.buffer[qcmd.length + n] = ';';
    qcmd.buffer[qcmd.length + n + 1] = 0;
    qcmd.length += static_cast<int32_t>(n + 1);
}

void Cmd_Add(const char *text) {
    if (text) AppendText(text);
}

// Runs the statement whose words stand in the argument slots.  False when the rest
// of its segment must not run (a read-only variable was given a value).
static bool ExecuteStatement() {
    const char *word = qcmd.argv[0];
    if (const cmdFunction_t *f = FindFunction(word)) {
        if (!qcmd.allowCheats && (f->flags & CMD_CHEAT))
            Com_Error(ER_ERROR, "\"%s\" is cheat protected", f->name);
        else if (!qbase.serverRunning && (f->flags & CMD_SERVER))
            Com_Printf("You must be server to use \"%s\"", f->name);
        else if (!qbase.clientRunning && (f->flags & CMD_CLIENT))
            Com_Printf("Client must be initialized to use \"%s\"", f->name);
        else if (!qbase.clientRunning && (f->flags & CMD_RENDERER))
            Com_Printf("Renderer must be initialized to use \"%s\"", f->name);
        else if (f->handler)
            f->handler();
        return true;
    }
    if (cmdVar_t *v = Cmd_GetCVar(word)) {
        if (qcmd.argc == 1) {
            Cmd_PrintVar(v);
        } else if (v->flags & CMD_READONLY) {
            Com_Printf("\"%s\" is a read only variable", v->name);
            return false;
        } else {
            Cmd_SetCVar(v, qcmd.argv[1], 0);
        }
        return true;
    }
    if (const cmdAlias_t *a = FindAlias(word)) {
        // Runs later in this same flush, after everything already queued.
        AppendText(a->text);
        return true;
    }
    Com_Printf("Unknown command \"%s\"", word);
    return true;
}

// Splits one segment into statements (a statement ends at a line break) and runs each.
static void ExecuteSegment(const char *segment) {
    const char *p = segment;
    for (;;) {
        const char *first = Com_ParseSemi(&p, true);
        if (!first[0]) return;
        qcmd.argc = 0;
        Com_strncpyz(qcmd.argv[qcmd.argc++], first, CMD_MAX_ARG_LEN);
        // Words past the slot table are dropped with the rest of their statement, so
        // that none of them can run as a command of its own.
        while (const char *w = Com_ParseSemiNullString(&p, false))
            if (qcmd.argc < CMD_MAX_ARGS) Com_strncpyz(qcmd.argv[qcmd.argc++], w, CMD_MAX_ARG_LEN);
        if (!ExecuteStatement()) return;
    }
}

// Where the segment of text that starts at from ends: at the first ';' outside double
// quotes, or at limit.  quoted carries the quote state from segment to segment.
static int32_t SegmentEnd(const char *text, int32_t from, int32_t limit, bool &quoted) {
    int32_t end = from;
    for (; end < limit; end++) {
        if (text[end] == '"')
            quoted = !quoted;
        else if (text[end] == ';' && !quoted)
            break;
    }
    return end;
}

// Takes the next segment of the buffer's first limit bytes into segment: up to the first
// ';' outside double quotes, or up to the limit.  It leaves the buffer before it runs.
static void TakeFromBuffer(char (&segment)[CMD_BUFFER_SIZE], int32_t limit, bool &quoted) {
    const int32_t end = SegmentEnd(qcmd.buffer, 0, limit, quoted);
    memcpy(segment, qcmd.buffer, static_cast<size_t>(end));
    segment[end] = 0;
    const int32_t used = end < limit ? end + 1 : end;
    memmove(qcmd.buffer, qcmd.buffer + used, static_cast<size_t>(qcmd.length - used + 1));
    qcmd.length -= used;
    cmd_spent += used;
    for (cmdScript_t *s = cmd_scripts; s; s = s->next) s->at = s->at > used ? s->at - used : 0;
}

// Takes the script's next segment into segment; false when the script has run out.
// A segment too long for the buffer cannot run: it is reported and passed over.
static bool TakeFromScript(cmdScript_t *s, char (&segment)[CMD_BUFFER_SIZE], bool &quoted) {
    while (s->position < s->length) {
        const int32_t end = SegmentEnd(s->text, s->position, s->length, quoted);
        const int32_t n = end - s->position;
        const int32_t from = s->position;
        s->position = end < s->length ? end + 1 : end;
        if (n < CMD_BUFFER_SIZE) {
            memcpy(segment, s->text + from, static_cast<size_t>(n));
            segment[n] = 0;
            return true;
        }
        Com_Error(ER_ERROR, "exec \"%s\": a command of %d characters is longer than the command buffer; not run",
                  s->name, static_cast<int>(n));
    }
    return false;
}

// Each segment leaves the buffer (or its script) before it runs: a handler that
// flushes again (or appends) then meets only what has not run yet.
void Cmd_Flush() {
    if ((!qcmd.length && !cmd_scripts) || cmd_flushDepth >= CMD_MAX_FLUSH_DEPTH) return;
    qcmd.wait = 0;
    bool quoted = false;
    uint32_t source = 0;  // serial of the script the last segment came from; 0: the buffer
    static_assert(CMD_BUFFER_SIZE <= 16384, "a segment is copied onto the stack");
    char segment[CMD_BUFFER_SIZE];
    cmd_flushDepth++;
    for (;;) {
        cmdScript_t *s = cmd_scripts;
        const int32_t limit = s && s->at < qcmd.length ? s->at : qcmd.length;
        // An unbalanced quote stays inside the script (or the stretch of buffer) it is in.
        const cmdScript_t *from = limit > 0 ? nullptr : s;
        if ((from ? from->serial : 0) != source) quoted = false;
        source = from ? from->serial : 0;
        if (limit > 0) {
            TakeFromBuffer(segment, limit, quoted);
        } else if (!s) {
            break;
        } else if (!TakeFromScript(s, segment, quoted)) {
            cmd_scripts = s->next;
            FS_FreeFile(s->text);
            Com_free(s);
            quoted = false;
            source = 0;
            continue;
        }
        const int32_t outer = cmd_scriptDepth;
        cmd_scriptDepth = from ? from->depth : 0;
        ExecuteSegment(segment);
        cmd_scriptDepth = outer;
        if (qcmd.wait) break;
    }
    if (--cmd_flushDepth == 0) cmd_spent = 0;
}

// ---- commands of the buffer ----

static void Cmd_Wait_f() { qcmd.wait = 1; }

static void Cmd_Delete_f() {}

// Whole text of a script file (disk or packs), zero-terminated, or null; its size.
static char *ReadScript(const char *name, int32_t *size) {
    void *text = nullptr;
    *size = FS_ReadFile(name, &text);
    return *size < 0 ? nullptr : static_cast<char *>(text);
}

// Queues the file behind everything queued so far; it runs as the buffer drains.
static void Cmd_Exec_f() {
    if (Cmd_Argc() != 2) {
        Com_Printf("USAGE: exec <filename>");
        return;
    }
    const char *name = Cmd_Argv(1);
    // Scripts that run each other would otherwise queue for ever.
    if (cmd_scriptDepth >= CMD_MAX_SCRIPT_DEPTH) {
        Com_Error(ER_ERROR, "exec \"%s\": scripts run from scripts more than %d deep; not run", name,
                  CMD_MAX_SCRIPT_DEPTH);
        return;
    }
    // Scripts that each run several others would otherwise multiply without bound.
    int queued = 0;
    for (const cmdScript_t *q = cmd_scripts; q; q = q->next) queued++;
    if (queued >= CMD_MAX_QUEUED_SCRIPTS) {
        Com_Error(ER_ERROR, "exec \"%s\": %d scripts are already waiting to run; not run", name, queued);
        return;
    }
    int32_t size = 0;
    char *text = ReadScript(name, &size);
    if (!text) {
        Com_Printf("Couldn't find file \"%s\"", name);
        return;
    }
    size_t length = 0;
    for (char *c = text; *c; c++, length++)
        if (*c == '\r' || *c == '\n') *c = ';';
    if (length != static_cast<size_t>(size))
        Com_Error(ER_WARNING, "exec \"%s\": a zero byte at %zu ends the script; the %d bytes from there on are not run", name,
                  length, size - static_cast<int32_t>(length));
    cmdScript_t *s = length ? static_cast<cmdScript_t *>(Com_malloc(sizeof(cmdScript_t))) : nullptr;
    if (!s) {
        FS_FreeFile(text);
        return;
    }
    *s = cmdScript_t{};
    s->text = text;
    s->length = static_cast<int32_t>(length);  // a file's size fits: FS_ReadFile refuses larger
    s->at = qcmd.length;
    s->depth = cmd_scriptDepth + 1;
    s->serial = ++cmd_scriptSerial ? cmd_scriptSerial : ++cmd_scriptSerial;
    Com_strncpyz(s->name, name, sizeof s->name);
    cmdScript_t **tail = &cmd_scripts;
    while (*tail) tail = &(*tail)->next;
    *tail = s;
}

static void Cmd_Alias_f() {
    if (Cmd_Argc() != 3) {
        Com_Printf("USAGE: alias <name> <cmds>");
        return;
    }
    if (SymbolExists(Cmd_Argv(1))) {
        Com_Printf("Symbol \"%s\" already exist", Cmd_Argv(1));
        return;
    }
    Cmd_CreateAlias(Cmd_Argv(1), Cmd_Argv(2), CMD_USERALIAS);
}

static void Cmd_Sleep_f() {
    if (Cmd_Argc() != 2) {
        Com_Printf("USAGE: sleep <ms>");
        return;
    }
    int ms = Com_atoi(Cmd_Argv(1));
    if (ms < 0) ms = 0;
    if (ms > CMD_MAX_SLEEP) ms = CMD_MAX_SLEEP;
    Sys_Sleep(ms);
}
