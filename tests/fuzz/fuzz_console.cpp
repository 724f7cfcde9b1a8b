// libFuzzer target: console text, as it arrives on standard input, in scripts and in
// remote-console packages, run through the command buffer.
//
// The input is queued line by line and flushed until nothing waits (a bounded number
// of flushes: aliases may queue each other for ever, one `wait` at a time).  The
// commands met are the command system's own, except three replaced by stand-ins:
// `sleep` would block, `exec` would read files and `alias` would make records that are
// never freed, so the aliases are made once here.  Variables carry every flag; one
// callback flushes from inside a flush, another queues.  The first byte chooses which
// subsystems run and whether cheats are allowed.  The last line is also completed.
// AddressSanitizer reports any access outside a buffer; a buffer left inconsistent,
// or a word longer than its slot, aborts.
//
// Built and run by scripts/fuzz.sh.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/base.h"
#include "base/cmd.h"
#include "common/common.h"

namespace {

int IgnoreError(int, const char *) { return 0; }

void CheckWords() {
    if (Cmd_Argc() < 0 || Cmd_Argc() > CMD_MAX_ARGS) abort();
    for (int i = 0; i <= Cmd_Argc(); i++)
        if (strlen(Cmd_Argv(i)) >= size_t(CMD_MAX_ARG_LEN)) abort();
}

void Nest() {
    CheckWords();
    Cmd_Add("rec inner \"a;b\"");
    Cmd_Flush();
}

void Nothing() {}

cmdVar_t fz_plain, fz_readOnly, fz_cheat, fz_secret, fz_server, fz_flush, fz_queue;

void FlushCallback() { Cmd_Flush(); }
void QueueCallback() { Cmd_Add("fz_plain queued; wait"); }

void Start() {
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    Com_SetupError(IgnoreError);
    Cmd_Startup();
    Cmd_Imp();
    for (cmdFunction_t *f = qcmd.functions; f; f = f->next)
        if (!strcmp(f->name, "sleep") || !strcmp(f->name, "exec") || !strcmp(f->name, "alias")) f->handler = Nothing;
    Cmd_CreateFunction("rec", CheckWords, 0);
    Cmd_CreateFunction("nest", Nest, 0);
    Cmd_CreateFunction("sv_only", CheckWords, CMD_SERVER);
    Cmd_CreateFunction("god", CheckWords, CMD_CHEAT);
    Cmd_CreateCVar(&fz_plain, "fz_plain", "0", 0);
    Cmd_CreateCVar(&fz_readOnly, "fz_readOnly", "1", CMD_READONLY);
    Cmd_CreateCVar(&fz_cheat, "fz_cheat", "2", CMD_CHEAT);
    Cmd_CreateCVar(&fz_secret, "fz_secret", "pw", CMD_SECRET | CMD_NOSAVE);
    Cmd_CreateCVarEx(&fz_server, "fz_server", "3", CMD_SERVER | CMD_ALWAYSSAVE, QueueCallback);
    Cmd_CreateCVarEx(&fz_flush, "fz_flush", "0", CMD_RESTART, FlushCallback);
    Cmd_CreateCVarEx(&fz_queue, "fz_queue", "0", CMD_INITCALL, QueueCallback);
    Cmd_CreateAlias("loopA", "loopB; wait", CMD_USERALIAS);
    Cmd_CreateAlias("loopB", "loopA", CMD_USERALIAS);
    Cmd_CreateAlias("self", "self", CMD_USERALIAS);
    Cmd_CreateAlias("two", "rec \"x;y\" 'q'; nest", CMD_USERALIAS);
    qcmd.length = 0;
    qcmd.buffer[0] = 0;
}

void CheckBuffer() {
    if (qcmd.length < 0 || qcmd.length >= CMD_BUFFER_SIZE || qcmd.buffer[qcmd.length]) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool started = (Start(), true);
    (void)started;
    if (size < 1) return 0;
    const uint8_t mode = data[0];
    qbase.serverRunning = mode & 1;
    qbase.clientRunning = (mode >> 1) & 1;
    qbase.rendererRunning = (mode >> 2) & 1;
    Cmd_NoVarFunctions((mode >> 3) & 1);
    Cmd_SetAllowCheat(((mode >> 4) & 1) == 0);

    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    size_t from = 0;
    std::string last;
    while (from <= text.size()) {
        size_t to = text.find('\n', from);
        if (to == std::string::npos) to = text.size();
        last = text.substr(from, to - from);
        Cmd_Add(last.c_str());  // stops at a zero byte, as a C text does
        CheckBuffer();
        from = to + 1;
    }
    for (int flushes = 0; flushes < 64 && qcmd.length; flushes++) {
        Cmd_Flush();
        CheckBuffer();
    }
    qcmd.length = 0;
    qcmd.buffer[0] = 0;

    char line[CMD_MAX_COMPLETE + 2 + 256];
    Com_strncpyz(line, last.c_str(), 256);
    Cmd_CompleteCmd(line);
    if (strlen(line) >= sizeof line) abort();
    return 0;
}
