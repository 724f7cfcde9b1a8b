#include "common/com_string.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "common/com_mem.h"

// ---- character classes ----

static inline unsigned char Byte(int c) { return static_cast<unsigned char>(c); }

bool Com_IsDigit(int c) { return Byte(c) >= '0' && Byte(c) <= '9'; }
bool Com_IsNumber(int c) { return Com_IsDigit(c) || Byte(c) == '.' || Byte(c) == '-'; }
bool Com_IsAlpha(int c) { return (Byte(c) >= 'A' && Byte(c) <= 'Z') || (Byte(c) >= 'a' && Byte(c) <= 'z'); }
bool Com_IsLetter(int c) { return Com_IsAlpha(c) || Byte(c) == '_'; }
bool Com_IsLetterOrDigit(int c) { return Com_IsLetter(c) || Com_IsDigit(c); }
bool Com_IsInternationalLetterOrDigit(int c) {
    const unsigned char b = Byte(c);
    return Com_IsLetterOrDigit(b) || (b >= 192 && b != 215 && b != 247);
}
bool Com_IsOneCharOp(int c) { return Byte(c) && strchr("+-*/^", Byte(c)) != nullptr; }
bool Com_IsFuckedChar(int c) {
    const unsigned char b = Byte(c);
    return b < 32 || (b >= 127 && b <= 144) || (b >= 147 && b <= 159);
}

// ---- thin operations over the runtime library ----

char *Com_strcpy(char *dst, size_t size, const char *src) {
    Com_strncpyz(dst, src, static_cast<int>(size > INT_MAX ? INT_MAX : size));
    return dst;
}

char *Com_strcat(char *dst, size_t size, const char *src) {
    const size_t have = strnlen(dst, size);
    if (have < size) Com_strcpy(dst + have, size - have, src);
    return dst;
}

size_t Com_strlen(const char *s) { return strlen(s); }
int Com_strncmp(const char *a, const char *b, size_t n) { return strncmp(a, b, n); }
const char *Com_strstr(const char *text, const char *find) { return strstr(text, find); }
int32_t Com_strtol(const char *text, char **end, int base) {
    return static_cast<int32_t>(strtol(text, end, base));
}

int Com_vsnprintf(char *dst, size_t size, const char *fmt, va_list ap) {
    if (size < 1) return 0;
    const int n = vsnprintf(dst, size, fmt, ap);
    if (n < 0) dst[0] = 0;  // an encoding failure leaves no half text behind
    return n;
}
int Com_vsprintf(char *dst, size_t size, const char *fmt, va_list ap) {
    return Com_vsnprintf(dst, size, fmt, ap);
}
int Com_sprintf(char *dst, size_t size, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int n = Com_vsnprintf(dst, size, fmt, ap);
    va_end(ap);
    return n;
}

void Com_memset(void *dst, int c, size_t n) {
    if (n) memset(dst, c, n);
}
void Com_qsort(void *base, size_t count, size_t size, int (*cmp)(const void *, const void *)) {
    if (count > 1) qsort(base, count, size, cmp);
}
int Com_rand() { return rand(); }
void Com_seedrand(unsigned seed) { srand(seed); }
FILE *Com_fopen(const char *name, const char *mode) { return fopen(name, mode); }
int Com_fclose(FILE *f) { return fclose(f); }

int Com_strcmp(const char *a, const char *b) {
    while (*a && *a == *b) {
        a++;
        b++;
    }
    return static_cast<signed char>(*a) - static_cast<signed char>(*b);
}

int Com_memcmp(const void *a, const void *b, size_t n) {
    if (!n) return 0;
    const int r = memcmp(a, b, n);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

void Com_memcpy(void *dst, const void *src, size_t n) {
    if (n) memcpy(dst, src, n);
}

int Com_atoi(const char *text) { return text ? static_cast<int>(strtol(text, nullptr, 10)) : 0; }
// strtof gives the nearest float, and infinity past the float range, where converting
// a huge double would be undefined.
float Com_atof(const char *text) { return text ? strtof(text, nullptr) : 0.0f; }

// The runtime tables are defined for unsigned chars; a negative char value is
// looked up as its byte and keeps its own value when the table leaves it alone.
static int CaseMap(int c, int (*map)(int)) {
    if (c < -128 || c > 255) return c;
    const int b = c & 0xFF;
    const int r = map(b);
    return r == b ? c : r;
}
int Com_tolower(int c) { return CaseMap(c, tolower); }
int Com_toupper(int c) { return CaseMap(c, toupper); }

int64_t Com_FileSize(FILE *f) {
    if (!f) return 0;
    const long here = ftell(f);
    fseek(f, 0, SEEK_END);
    const long size = ftell(f);
    fseek(f, here, SEEK_SET);
    return size < 0 ? 0 : size;
}

// ---- own string operations ----

void Com_strncpyz(char *dst, const char *src, int size) {
    if (size < 1) return;
    const size_t n = strnlen(src, static_cast<size_t>(size) - 1);
    memmove(dst, src, n);
    dst[n] = 0;
}

int Com_strncmpUpper(const char *a, const char *b, int n) {
    for (int i = 0; i < n; i++) {
        const int ca = toupper(Byte(a[i]));
        const int cb = toupper(Byte(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (!ca) break;
    }
    return 0;
}
int Com_strcmpUpper(const char *a, const char *b) { return Com_strncmpUpper(a, b, INT_MAX); }

void Com_StringToLower(char *text) {
    for (; *text; text++) *text = static_cast<char>(tolower(Byte(*text)));
}
void Com_StringToUpper(char *text) {
    for (; *text; text++) *text = static_cast<char>(toupper(Byte(*text)));
}

int Com_strswcmp(const char *a, const char *b) {
    for (;;) {
        while (*a == ' ') a++;
        while (*b == ' ') b++;
        if (*a != *b) return static_cast<signed char>(*a) < static_cast<signed char>(*b) ? -1 : 1;
        if (!*a) return 0;
        a++;
        b++;
    }
}

int Com_strcmpwc(const char *pattern, const char *text) {
    while (*pattern) {
        if (*pattern == '*') {
            while (*pattern == '*') pattern++;
            if (!*pattern) return 0;
            text = strchr(text, *pattern);
            if (!text) return 1;
        }
        if (*pattern != *text) return 1;
        pattern++;
        text++;
    }
    return *text ? 1 : 0;
}

const char *Com_strnstr(const char *text, const char *find, size_t n) {
    if (!n || !*text || !*find) return nullptr;
    const size_t flen = strlen(find);
    for (size_t i = 0; i + flen <= n && text[i]; i++) {
        if (!strncmp(text + i, find, flen)) return text + i;
    }
    return nullptr;
}

int Com_CountCharInString(char c, const char *text) {
    int n = 0;
    for (; *text; text++) n += *text == c;
    return n;
}

int Com_LongCmp(const int32_t *array, int count, int32_t value) {
    for (int i = 0; i < count; i++) {
        if (array[i] == value) return i;
    }
    return -1;
}

int Com_FindStringAndCountLines(const char *text, const char *find, const char **pos, int *lines) {
    const size_t flen = strlen(find);
    int n = 0;
    const char *p = text;
    for (; *p && strncmp(p, find, flen); p++) n += *p == '\n';
    *pos = p;
    *lines = n;
    return 0;
}

int Com_GetLineNumber(const char *start, const char *pos) {
    int n = 1;
    for (const char *p = start; p < pos && *p; p++) n += *p == '\n';
    return n;
}

char *va(const char *fmt, ...) {
    static char buffers[VA_BUFFERS][VA_CHARS];
    static int index;
    char *buf = buffers[index];
    index = (index + 1) % VA_BUFFERS;
    va_list ap;
    va_start(ap, fmt);
    Com_vsnprintf(buf, VA_CHARS, fmt, ap);
    va_end(ap);
    return buf;
}

const char *Com_PutLong(int32_t i) {
    static char text[40];
    snprintf(text, sizeof text, "%d", i);
    return text;
}

const char *Com_PutFloat(float f) {
    static char text[40];
    snprintf(text, sizeof text, "%.4f", static_cast<double>(f));
    return text;
}

const char *Com_PutVec(const float *v) {
    static char text[128];
    snprintf(text, sizeof text, "%.4f %.4f %.4f", static_cast<double>(v[0]), static_cast<double>(v[1]),
             static_cast<double>(v[2]));
    return text;
}

const float *Com_GetVec(const char *text) {
    static float v[3];
    const char *p = text;
    for (float &x : v) x = p ? Com_atof(Com_Parse(&p, false)) : 0.0f;
    return v;
}

// ---- paths and extensions ----

char *Com_ConvertPath(char *path) {
    if (!path) return nullptr;
    for (char *p = path; *p; p++) {
        if (*p == '\\') *p = '/';
    }
    return path;
}

void Com_GetPath(char *out, int size, const char *path) {
    const char *slash = strrchr(path, '/');
    const int len = slash ? static_cast<int>(slash - path) + 1 : 0;
    Com_strncpyz(out, path, len + 1 < size ? len + 1 : size);
}

void Com_StripPath(char *out, int size, const char *path) {
    const char *slash = strrchr(path, '/');
    Com_strncpyz(out, slash ? slash + 1 : path, size);
}

bool Com_CheckExtension(const char *name) {
    const char *dot = strrchr(name, '.');
    return dot && dot > name;
}

char *Com_StripExtension(char *name) {
    char *dot = strrchr(name, '.');
    if (dot && dot > name) *dot = 0;
    return name;
}

void Com_StripPathAndExtension(char *out, int size, const char *path) {
    Com_StripPath(out, size, path);
    if (size > 0) Com_StripExtension(out);
}

bool Com_IsExtension(const char *name, const char *ext) {
    const size_t nlen = strlen(name);
    const size_t elen = strlen(ext);
    if (nlen > MAX_EXTENSION_PATH || elen > MAX_EXTENSION_PATH || elen > nlen) return false;
    return Com_strcmpUpper(name + nlen - elen, ext) == 0;
}

const char *Com_AddExtension(char *out, int size, const char *name, const char *ext) {
    const size_t len = strlen(name) + strlen(ext);
    if (len > MAX_OSPATH - 2 || static_cast<int>(len) + 2 > size) return name;
    snprintf(out, static_cast<size_t>(size), "%s.%s", name, ext);
    return out;
}

bool Com_AddFileExtIfNeeded(char *name, int size, const char *ext) {
    const size_t nlen = strlen(name);
    const size_t elen = strlen(ext);
    if (elen <= nlen && !strcmp(name + nlen - elen, ext)) return true;
    if (static_cast<int>(nlen + elen) >= size) return false;
    memcpy(name + nlen, ext, elen + 1);
    return true;
}

char *Com_AddFileExtAndDirIfNeeded(char *out, int size, const char *name, const char *ext,
                                   const char *dir) {
    if (size < 1) return out;
    const size_t dlen = strlen(dir);
    const size_t nlen = strlen(name);
    const size_t plen = (!dlen || !strncmp(name, dir, dlen)) ? 0 : dlen;
    // A cut path would name another file: hand back nothing rather than that.
    if (plen + nlen >= static_cast<size_t>(size)) {
        out[0] = 0;
        return out;
    }
    memmove(out + plen, name, nlen + 1);  // out may be name
    memcpy(out, dir, plen);
    if (!Com_AddFileExtIfNeeded(out, size, ext)) out[0] = 0;
    return out;
}

// ---- colour keys ----

// A colour key takes effect only with its two bytes present.
static bool IsColorKey(const char *p) {
    return Byte(*p) == COLOR_KEY && p[1] && p[2];
}

int Com_strncklen(const char *text) {
    int n = 0;
    while (*text) {
        if (IsColorKey(text)) {
            text += COLOR_KEY_LEN;
        } else {
            text++;
            n++;
        }
    }
    return n;
}

void Com_StripColorKeys(char *out, int size, const char *in) {
    if (size < 1) return;
    int o = 0;
    while (*in && o < size - 1) {
        if (IsColorKey(in)) {
            in += COLOR_KEY_LEN;
        } else {
            out[o++] = *in++;
        }
    }
    out[o] = 0;
}

// ---- names and edit lines ----

int Com_ValidateName(const char *name, int maxlen, const char *label, int flags) {
    const bool print = flags & VN_PRINT;
    if (!*name && !(flags & VN_EMPTY_OK)) {
        if (print) Com_Printf("%s must be at lest 1 char", label);
        return 0;
    }
    if (static_cast<int64_t>(strlen(name)) >= maxlen) {
        if (print) Com_Printf("%s must can max be %d cars", label, maxlen - 1);
        return 0;
    }
    for (const char *p = name; *p; p++) {
        const unsigned char b = Byte(*p);
        const bool printable = b >= 32 && b <= 126;
        if (b == '"' || b == ';' || !(printable || Com_IsInternationalLetterOrDigit(b))) {
            if (print) Com_Printf("Character '%c' is not allowed in %s", *p, label);
            return 0;
        }
    }
    return 1;
}

void Com_StripControlBytes(char *text) {
    char *out = text;
    for (const char *p = text; *p; p++) {
        const unsigned char b = Byte(*p);
        if (b >= 32 && b != 127) *out++ = *p;
    }
    *out = 0;
}

static bool IsWordByte(char c) { return Com_IsLetterOrDigit(c) || Byte(c) > 191; }

int Com_WordMove(const char *text, int pos, int direction) {
    const int len = static_cast<int>(strlen(text));
    if (direction == 0) {
        if (pos < 0) pos = 0;
        if (pos > len) pos = len;
        while (pos < len && IsWordByte(text[pos])) pos++;
        while (pos < len && !IsWordByte(text[pos])) pos++;
        return pos;
    }
    if (pos < 0) return pos + 1;
    if (pos > len) pos = len;
    while (pos >= 0 && !IsWordByte(text[pos])) pos--;
    while (pos >= 0 && IsWordByte(text[pos])) pos--;
    return pos + 1;
}

// ---- command-line tokenizer ----

int com_argc;
static char com_string[MAX_STRING_CHARS];
static char *com_argv[MAX_STRING_TOKENS];

int Com_SplitArgs(char *text, char **argv, int maxArgs) {
    int argc = 0;
    bool quoting = false;
    char *p = text;
    while (argc < maxArgs && *p) {
        while (*p == ' ') p++;
        if (*p == '"') {
            p++;
            quoting = !quoting;
        }
        argv[argc++] = p;
        // A space ends the argument unless quoted; a quote ends it and toggles quoting.
        while (*p && (*p != ' ' || quoting) && *p != '"') p++;
        if (*p == '"') quoting = !quoting;
        if (*p) *p++ = 0;
    }
    return argc;
}

void Com_TokenizeString(const char *line) {
    Com_strncpyz(com_string, line ? line : "", sizeof com_string);
    com_argc = Com_SplitArgs(com_string, com_argv, MAX_STRING_TOKENS);
}

void Com_TokenizeString2(int argc, const char *const *argv) {
    static char joined[MAX_TOKENIZE2_CHARS];
    memset(joined, 0, sizeof joined);
    for (int i = 0; i < argc; i++) {
        Com_strcat(joined, sizeof joined, argv[i] ? argv[i] : "");
        Com_strcat(joined, sizeof joined, " ");
    }
    Com_TokenizeString(joined);
}

int Com_Argc() { return com_argc; }

const char *Com_Argv(int i) { return (i < 0 || i >= com_argc) ? "" : com_argv[i]; }

int Com_GetParam(const char *name) {
    for (int i = 1; i < com_argc; i++) {
        if (!strcmp(com_argv[i], name)) return i;
    }
    return 0;
}

// ---- text parser ----

bool com_isNullString;
static char com_token[COM_TOKEN_BUFFERS][MAX_TOKEN_CHARS];
static int com_pingpong;

// Skips white space and comments up to the token.  False when the token may not
// be taken: the end of the text, or a line break that lineBreaks forbids crossing
// (p is left on the line feed or the ';').
static bool SkipToToken(const char *&p, bool lineBreaks, bool semi) {
    for (;;) {
        const char c = *p;
        if (c == ' ' || c == '\t' || c == '\r') {
            p++;
        } else if (c == '\n' || (semi && c == ';')) {
            if (!lineBreaks) return false;
            p++;
        } else if (c == '/' && p[1] == '/') {
            while (*p && *p != '\n') p++;
        } else if (c == '/' && p[1] == '*') {
            p += 2;
            while (*p && !(*p == '*' && p[1] == '/')) p++;
            if (*p) p += 2;
        } else {
            return c != 0;
        }
    }
}

const char *Com_ParseExt(const char **data, const char *breaker, bool curly, bool lineBreaks, bool semi) {
    com_pingpong = (com_pingpong + 1) % COM_TOKEN_BUFFERS;
    char *token = com_token[com_pingpong];
    token[0] = 0;
    com_isNullString = false;
    if (!data || !*data) return token;

    const char *p = *data;
    const char brk = (breaker && *breaker) ? *breaker : 0;
    if (!SkipToToken(p, lineBreaks, semi)) {
        *data = p;
        return token;
    }

    int n = 0;
    const char c = *p;
    if (c == '"' || c == '\'') {
        p++;
        while (*p && *p != c && n < MAX_TOKEN_CHARS - 1) token[n++] = *p++;
        if (*p == c) p++;  // a token cut at its limit keeps the rest for the next call
        com_isNullString = n == 0;
    } else if ((curly && (c == '{' || c == '}')) || (brk && c == brk)) {
        token[n++] = *p++;
    } else if (Byte(c) < 33) {
        // A control byte: no token, and the position stays on it.
    } else {
        while (Byte(*p) >= 33 && n < MAX_TOKEN_CHARS - 1) {
            if ((curly && (*p == '{' || *p == '}')) || (semi && *p == ';') || (brk && *p == brk)) break;
            token[n++] = *p++;
        }
    }
    token[n] = 0;
    *data = p;
    return token;
}

const char *Com_Parse(const char **data, bool lineBreaks) {
    return Com_ParseExt(data, nullptr, false, lineBreaks, false);
}
const char *Com_ParseCurly(const char **data, bool lineBreaks) {
    return Com_ParseExt(data, nullptr, true, lineBreaks, false);
}
const char *Com_ParseSemi(const char **data, bool lineBreaks) {
    return Com_ParseExt(data, nullptr, false, lineBreaks, true);
}
const char *Com_ParseWithBreaker(const char **data, const char *breaker, bool lineBreaks) {
    return Com_ParseExt(data, breaker, false, lineBreaks, false);
}
const char *Com_ParseSemiNullString(const char **data, bool lineBreaks) {
    const char *token = Com_ParseSemi(data, lineBreaks);
    return (*token || com_isNullString) ? token : nullptr;
}

// ---- configuration words ----

// True when text can stand between single quotes and come back whole: it holds no
// single quote, and the command buffer, which honours only double quotes when it cuts
// statements at ';', meets every ';' (and line end) inside a pair of them.
static bool FitsSingleQuotes(const char *text) {
    bool paired = false;
    for (const char *c = text; *c; c++) {
        if (*c == '\'')
            return false;
        if (*c == '"')
            paired = !paired;
        else if ((*c == ';' || *c == '\n' || *c == '\r') && !paired)
            return false;
    }
    return !paired;
}

bool Com_ConfigWords(char *out, size_t size, const char *text, int wordChars) {
    if (!out || !size) return false;
    if (!text) text = "";
    if (wordChars < 1) wordChars = 1;
    const bool single = strchr(text, '"') && FitsSingleQuotes(text);
    const char quote = single ? '\'' : '"';
    const size_t length = strlen(text);
    size_t used = 0;
    auto put = [&](char c) {
        if (used + 1 < size) out[used] = c;
        used++;
    };
    size_t at = 0;
    do {
        if (at)
            for (const char *c = " \"\" "; *c; c++) put(*c);
        put(quote);
        for (size_t i = at; i < length && i < at + static_cast<size_t>(wordChars); i++) {
            char c = text[i];
            if (c == '\n' || c == '\r')
                c = ';';
            else if (c == '"' && !single)
                c = '\'';
            put(c);
        }
        put(quote);
        at += static_cast<size_t>(wordChars);
    } while (at < length);
    if (used >= size) {
        Com_strncpyz(out, "\"\"", static_cast<int>(size < 3 ? size : 3));
        return false;
    }
    out[used] = 0;
    return true;
}

// ---- files and log ----

int Com_ReadFile(const char *name, void **buffer) {
    if (!buffer) return -1;
    *buffer = nullptr;
    FILE *f = fopen(name, "rb");
    if (!f) return -1;
    const int64_t size = Com_FileSize(f);
    // The buffer holds the data and its terminator in one block.
    if (size >= static_cast<int64_t>(MEM_MAX_REQUEST) || size >= INT_MAX) {
        fclose(f);
        Com_Printf("Com_ReadFile: %s is too large", name);
        return -1;
    }
    byte *data = static_cast<byte *>(Com_malloc(static_cast<uint32_t>(size) + 1));
    if (!data) {
        fclose(f);
        return -1;
    }
    const size_t got = fread(data, 1, static_cast<size_t>(size), f);
    const bool failed = ferror(f) != 0;
    fclose(f);
    if (failed) {
        Com_free(data);
        return -1;
    }
    data[got] = 0;
    *buffer = data;
    return static_cast<int>(got);
}

int Com_WriteFile(const char *name, int size, const void *data) {
    FILE *f = fopen(name, "wb");
    if (!f) return -1;
    const size_t put = size > 0 ? fwrite(data, 1, static_cast<size_t>(size), f) : 0;
    if (fclose(f) != 0) return -1;  // the data may not have reached the file
    return static_cast<int>(put);
}

static char log_filename[MAX_OSPATH];

void Com_InitLog(const char *name) {
    Com_strncpyz(log_filename, name ? name : "", sizeof log_filename);
    if (!log_filename[0]) return;
    FILE *f = fopen(log_filename, "wt");
    if (f) fclose(f);
}

void Com_Log(const char *fmt, ...) {
    if (!log_filename[0]) return;
    char text[MAX_LOG_LINE];
    va_list ap;
    va_start(ap, fmt);
    Com_vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    FILE *f = fopen(log_filename, "at");
    if (!f) return;
    fputs(text, f);
    fclose(f);
}
