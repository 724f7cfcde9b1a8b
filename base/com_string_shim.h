// Stand-ins for the common library's string helpers and semicolon tokenizer, used by
// the console until the common library provides them; removed then.
#pragma once

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "common/common.h"

static constexpr byte COLOR_KEY = 0xA4;

static inline int Com_toupper(int c) { return (c >= -128 && c <= 255) ? toupper(static_cast<unsigned char>(c)) : c; }
static inline bool Com_IsLetterOrDigit(int c) { return isalnum(static_cast<unsigned char>(c)) || c == '_'; }
static inline int Com_strncmpUpper(const char *a, const char *b, int n) {
    for (int i = 0; i < n; i++) {
        const int ca = Com_toupper(static_cast<unsigned char>(a[i]));
        const int cb = Com_toupper(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (!ca) return 0;
    }
    return 0;
}
static inline int Com_strcmpUpper(const char *a, const char *b) { return Com_strncmpUpper(a, b, 0x7fffffff); }
static inline int Com_strcmp(const char *a, const char *b) {
    while (*a && *a == *b) a++, b++;
    return static_cast<signed char>(*a) - static_cast<signed char>(*b);
}
static inline void Com_strncpyz(char *dst, const char *src, int size) {
    if (size < 1) return;
    int i = 0;
    for (; i < size - 1 && src[i]; i++) dst[i] = src[i];
    dst[i] = 0;
}
static inline int Com_atoi(const char *s) { return s ? static_cast<int>(strtol(s, nullptr, 10)) : 0; }
static inline float Com_atof(const char *s) { return s ? static_cast<float>(strtod(s, nullptr)) : 0.0f; }
static inline char *Com_StripColorKeys(char *out, const char *in) {
    const size_t n = strlen(in);
    size_t o = 0;
    for (size_t i = 0; i < n;) {
        if (static_cast<byte>(in[i]) == COLOR_KEY && i + 2 < n) {
            i += 3;
            continue;
        }
        out[o++] = in[i++];
    }
    out[o] = 0;
    return out;
}

// Semicolon-mode parser: ';' acts as a line break and ends words.
static inline bool &Com_ShimNullString() {
    static bool isNull;
    return isNull;
}
static inline char *Com_ShimParse(const char **data, bool lineBreaks) {
    static char tokens[8][1024];
    static int pingpong;
    pingpong = (pingpong + 1) & 7;
    char *tok = tokens[pingpong];
    tok[0] = 0;
    Com_ShimNullString() = false;
    const char *p = *data;
    if (!p) return tok;
    for (;;) {
        const char c = *p;
        if (c == ' ' || c == '\t' || c == '\r') {
            p++;
        } else if (c == '\n' || c == ';') {
            if (!lineBreaks) { *data = p; return tok; }
            p++;
        } else if (c == '/' && p[1] == '/') {
            while (*p && *p != '\n') p++;
        } else if (c == '/' && p[1] == '*') {
            p += 2;
            while (*p && !(p[0] == '*' && p[1] == '/')) p++;
            if (*p) p += 2;
        } else {
            break;
        }
    }
    if (!*p) { *data = p; return tok; }
    if (*p == '"' || *p == '\'') {
        const char q = *p++;
        int n = 0;
        while (*p && *p != q && n < 1023) tok[n++] = *p++;
        tok[n] = 0;
        if (*p == q && n < 1023) p++;
        if (!n) Com_ShimNullString() = true;
        *data = p;
        return tok;
    }
    if (static_cast<byte>(*p) < 33) { *data = p; return tok; }
    int n = 0;
    while (static_cast<byte>(*p) >= 33 && *p != ';' && n < 1023) tok[n++] = *p++;
    tok[n] = 0;
    *data = p;
    return tok;
}
static inline char *Com_ParseSemi(const char **data, bool lineBreaks) { return Com_ShimParse(data, lineBreaks); }
static inline char *Com_ParseSemiNullString(const char **data, bool lineBreaks) {
    char *t = Com_ShimParse(data, lineBreaks);
    return (t[0] || Com_ShimNullString()) ? t : nullptr;
}
