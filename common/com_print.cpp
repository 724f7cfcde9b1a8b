#include "common/com_print.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

int prf_output = PRF_SILENT;
printSink_t prf_normal_callback = nullptr;
printSink_t prf_d_callback = nullptr;
errorSink_t er_callback = nullptr;

void Com_SetupPrintf(int mode, printSink_t printSink, printSink_t devPrintSink) {
    prf_output = mode;
    prf_normal_callback = printSink;
    prf_d_callback = devPrintSink;
}

void Com_SetupError(errorSink_t errorSink) { er_callback = errorSink; }

// Formats into a buffer of MAX_PRINT_TEXT bytes; a longer text (or an encoding
// failure) is terminated at the last byte.
static void FormatText(char (&text)[MAX_PRINT_TEXT], const char *fmt, va_list ap) {
    const int n = vsnprintf(text, MAX_PRINT_TEXT, fmt, ap);
    text[(n >= 0 && n < MAX_PRINT_TEXT - 1) ? n : MAX_PRINT_TEXT - 1] = 0;
}

static void Dispatch(const char *text, printSink_t sink) {
    switch (prf_output) {
    case PRF_STDOUT: printf("%s", text); break;
    case PRF_STDOUT_LF: printf("%s\n", text); break;
    case PRF_SINKS:
        if (sink) sink(text);
        break;
    default: break;
    }
}

void Com_Printf(const char *fmt, ...) {
    char text[MAX_PRINT_TEXT];
    va_list ap;
    va_start(ap, fmt);
    FormatText(text, fmt, ap);
    va_end(ap);
    Dispatch(text, prf_normal_callback);
}

void Com_DPrintf(const char *fmt, ...) {
    char text[MAX_PRINT_TEXT];
    va_list ap;
    va_start(ap, fmt);
    FormatText(text, fmt, ap);
    va_end(ap);
    Dispatch(text, prf_d_callback);
}

int Com_Error(int level, const char *fmt, ...) {
    char text[MAX_PRINT_TEXT];
    va_list ap;
    va_start(ap, fmt);
    FormatText(text, fmt, ap);
    va_end(ap);
    return er_callback ? er_callback(level, text) : 0;
}

int Com_AssertFailed(const char *file, int line) {
    return Com_Error(ER_BUG, "%s %s @ %s @ %d", __DATE__, __TIME__, file, line);
}

// ---- byte order ----

int16_t ShortSwap(int16_t v) {
    const uint16_t u = static_cast<uint16_t>(v);
    return static_cast<int16_t>(static_cast<uint16_t>((u >> 8) | (u << 8)));
}
int16_t ShortNoSwap(int16_t v) { return v; }

int32_t LongSwap(int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    return static_cast<int32_t>((u >> 24) | ((u >> 8) & 0xff00u) | ((u << 8) & 0xff0000u) | (u << 24));
}
int32_t LongNoSwap(int32_t v) { return v; }

float FloatSwap(float v) {
    int32_t bits;
    memcpy(&bits, &v, 4);
    bits = LongSwap(bits);
    float out;
    memcpy(&out, &bits, 4);
    return out;
}
float FloatNoSwap(float v) { return v; }

static const int16_t com_byte_order = 1;

int16_t (*BEShort)(int16_t) = ShortSwap;
int16_t (*LEShort)(int16_t) = ShortNoSwap;
int32_t (*BELong)(int32_t) = LongSwap;
int32_t (*LELong)(int32_t) = LongNoSwap;
float (*BEFloat)(float) = FloatSwap;
float (*LEFloat)(float) = FloatNoSwap;

void Com_InitByteOrder() {
    byte first;
    memcpy(&first, &com_byte_order, 1);
    const bool little = first == 1;
    BEShort = little ? ShortSwap : ShortNoSwap;
    LEShort = little ? ShortNoSwap : ShortSwap;
    BELong = little ? LongSwap : LongNoSwap;
    LELong = little ? LongNoSwap : LongSwap;
    BEFloat = little ? FloatSwap : FloatNoSwap;
    LEFloat = little ? FloatNoSwap : FloatSwap;
}

int32_t Com_GrabLittleLong(const byte **c) {
    const byte *p = *c;
    *c += 4;
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

int32_t Com_GrabBigLong(const byte **c) {
    const byte *p = *c;
    *c += 4;
    return static_cast<int32_t>(uint32_t(p[3]) | uint32_t(p[2]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[0]) << 24);
}

int16_t Com_GrabLittleShort(const byte **c) {
    const byte *p = *c;
    *c += 2;
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
}

int16_t Com_GrabBigShort(const byte **c) {
    const byte *p = *c;
    *c += 2;
    return static_cast<int16_t>(static_cast<uint16_t>(p[1] | p[0] << 8));
}

int32_t Com_GrabLong(const byte **c) {
    int32_t v;
    memcpy(&v, *c, 4);
    *c += 4;
    return v;
}

int16_t Com_GrabShort(const byte **c) {
    int16_t v;
    memcpy(&v, *c, 2);
    *c += 2;
    return v;
}

int32_t Com_GrabByte(const byte **c) { return *(*c)++; }

void Com_ByteSwap(uint8_t *a, uint8_t *b) {
    const uint8_t t = *a;
    *a = *b;
    *b = t;
}
void Com_ShortSwap(int16_t *a, int16_t *b) {
    const int16_t t = *a;
    *a = *b;
    *b = t;
}
void Com_LongSwap(int32_t *a, int32_t *b) {
    const int32_t t = *a;
    *a = *b;
    *b = t;
}
