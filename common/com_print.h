// Output and error sinks, byte order.
//
// The common library never decides where text goes or what an error does: each
// deliverable installs its sinks once at start.  The engine installs its console;
// the game module installs functions that forward to the engine through traps.
#pragma once

#include <cstdint>

typedef uint8_t byte;

// Longest formatted text; longer texts are cut, never rejected.
constexpr int MAX_PRINT_TEXT = 1024;

// Error levels; what each does is the installed sink's decision.
enum errorLevel_t : int {
    ER_FATAL = 0,       // never returns
    ER_BUG = 1,
    ER_DROP = 2,
    ER_RENDERER = 3,
    ER_NOTIFY = 4,
    ER_SAVEOFF = 5,
    ER_SHOWSAVEOFF = 6,
    ER_ERROR = 7,       // also any level outside 0 to 9
    ER_WARNING = 8,
    ER_DEVWARNING = 9,
};

// Output modes of prf_output.
enum printMode_t : int {
    PRF_SILENT = 0,
    PRF_STDOUT = 1,     // printf("%s", text)
    PRF_STDOUT_LF = 2,  // the same, then a line feed
    PRF_SINKS = 3,      // the installed print sinks
};

typedef void (*printSink_t)(const char *text);
typedef int (*errorSink_t)(int level, const char *text);

extern int prf_output;
extern printSink_t prf_normal_callback;
extern printSink_t prf_d_callback;
extern errorSink_t er_callback;

// Stores the output mode and the two print sinks.
void Com_SetupPrintf(int mode, printSink_t printSink, printSink_t devPrintSink);
// Stores the error sink.
void Com_SetupError(errorSink_t errorSink);

// Formats (cut to 1,023 characters) and prints by the output mode.
void Com_Printf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
// The same with the developer sink; the sink decides whether it shows.
void Com_DPrintf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
// Formats and returns what the error sink returns; 0 with no sink installed.
int Com_Error(int level, const char *fmt, ...) __attribute__((format(printf, 2, 3)));

// Reports a failed assertion at ER_BUG: "%s %s @ %s @ %d" (build date, time, file, line).
int Com_AssertFailed(const char *file, int line);
#define Com_Assert(cond) ((cond) ? 0 : Com_AssertFailed(__FILE__, __LINE__))

// Guard macros: report the failing expression at ER_WARNING and return a fallback.
#define COM_FAIL_COND_V(cond, ret)                                                   \
    do {                                                                            \
        if (cond) {                                                                 \
            Com_Error(ER_WARNING, "%s:%d: condition \"%s\" is true", __FILE__,      \
                      __LINE__, #cond);                                             \
            return ret;                                                             \
        }                                                                           \
    } while (0)

// ---- byte order ----

extern int16_t (*BEShort)(int16_t v);
extern int16_t (*LEShort)(int16_t v);
extern int32_t (*BELong)(int32_t v);
extern int32_t (*LELong)(int32_t v);
extern float (*BEFloat)(float v);
extern float (*LEFloat)(float v);

// Points the six byte-order functions at the swapping or identity versions for this host.
void Com_InitByteOrder();

int16_t ShortSwap(int16_t v);    // exchanges the two bytes
int16_t ShortNoSwap(int16_t v);
int32_t LongSwap(int32_t v);     // reverses the four bytes
int32_t LongNoSwap(int32_t v);
float FloatSwap(float v);        // reverses the four bytes of the bit pattern
float FloatNoSwap(float v);

// Cursor readers: read unaligned bytes at *cursor and advance it past them.
int32_t Com_GrabLittleLong(const byte **cursor);
int32_t Com_GrabBigLong(const byte **cursor);
int16_t Com_GrabLittleShort(const byte **cursor);
int16_t Com_GrabBigShort(const byte **cursor);
int32_t Com_GrabLong(const byte **cursor);   // host order
int16_t Com_GrabShort(const byte **cursor);  // host order
int32_t Com_GrabByte(const byte **cursor);   // zero-extended

// Exchange two values in place.
void Com_ByteSwap(uint8_t *a, uint8_t *b);
void Com_ShortSwap(int16_t *a, int16_t *b);
void Com_LongSwap(int32_t *a, int32_t *b);
