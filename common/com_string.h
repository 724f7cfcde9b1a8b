// Strings, the command-line tokenizer and the text parser.
//
// The text toolkit of both deliverables.  Every result that is not written into a
// caller's buffer lives in a static buffer with a stated reuse rule; every function
// that writes into a caller's buffer takes that buffer's size and never writes past it.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "common/com_print.h"

// Colour key of display text: followed by two decimal digits, three invisible bytes.
constexpr unsigned char COLOR_KEY = 0xA4;
constexpr int COLOR_KEY_LEN = 3;
constexpr int TEXT_COLORS = 10;  // entries of text_colors; an escape's number is clamped to 0..9
// The colours a colour key selects (RGBA); 0 green, 2 white, 8 the highlight blue.
inline constexpr float text_colors[TEXT_COLORS][4] = {
    {0.0f, 1.0f, 0.0f, 1.0f},    {0.0f, 0.0f, 0.0f, 1.0f}, {1.0f, 1.0f, 1.0f, 1.0f},
    {1.0f, 0.0f, 0.0f, 1.0f},    {0.0f, 1.0f, 0.0f, 1.0f}, {0.19f, 0.32f, 0.73f, 1.0f},
    {0.69f, 0.31f, 0.31f, 1.0f}, {0.0f, 0.5f, 0.0f, 1.0f}, {0.0f, 0.45f, 0.85f, 1.0f},
    {0.6274f, 0.0f, 0.6274f, 1.0f},
};

constexpr int MAX_OSPATH = 256;           // path buffers; the log file's name
constexpr int MAX_TOKEN_CHARS = 1024;     // a parser token buffer (1,023 characters)
constexpr int COM_TOKEN_BUFFERS = 8;      // a token stays valid for seven more parser calls
constexpr int MAX_STRING_CHARS = 10000;   // the tokenized line (9,999 characters)
constexpr int MAX_STRING_TOKENS = 1024;   // arguments of one tokenized line
constexpr int MAX_TOKENIZE2_CHARS = 16384;  // joined arguments of Com_TokenizeString2
constexpr int VA_BUFFERS = 2;             // a va result stays valid until the second next call
constexpr int VA_CHARS = 1024;
constexpr int MAX_EXTENSION_PATH = 255;   // longest name or extension Com_IsExtension compares
constexpr int MAX_LOG_LINE = 1024;        // one Com_Log text

// ---- character classes (each takes one byte, unsigned) ----

bool Com_IsDigit(int c);                       // '0'-'9'
bool Com_IsNumber(int c);                      // digits, '.', '-'
bool Com_IsAlpha(int c);                       // 'A'-'Z', 'a'-'z'
bool Com_IsLetter(int c);                      // letters and '_'
bool Com_IsLetterOrDigit(int c);               // letters, '_', digits
bool Com_IsInternationalLetterOrDigit(int c);  // the same and 192-255 except 215 and 247
bool Com_IsOneCharOp(int c);                   // '+', '-', '*', '/', '^'
bool Com_IsFuckedChar(int c);                  // refused by an edit line: <32, 127-144, 147-159

// ---- thin operations over the runtime library ----

// Bounded copy: at most size - 1 characters, always terminated; returns dst.
char *Com_strcpy(char *dst, size_t size, const char *src);
// Bounded append: dst keeps fitting size bytes and stays terminated; returns dst.
char *Com_strcat(char *dst, size_t size, const char *src);
size_t Com_strlen(const char *s);
int Com_strncmp(const char *a, const char *b, size_t n);
const char *Com_strstr(const char *text, const char *find);
int32_t Com_strtol(const char *text, char **end, int base);
// Formats into dst (at most size - 1 characters, always terminated); returns what
// the full text's length would be, as snprintf.
int Com_sprintf(char *dst, size_t size, const char *fmt, ...) __attribute__((format(printf, 3, 4)));
int Com_vsprintf(char *dst, size_t size, const char *fmt, va_list ap);
int Com_vsnprintf(char *dst, size_t size, const char *fmt, va_list ap);
void Com_memset(void *dst, int c, size_t n);
void Com_qsort(void *base, size_t count, size_t size, int (*cmp)(const void *, const void *));
int Com_rand();               // the runtime's rand
void Com_seedrand(unsigned seed);  // the runtime's srand
FILE *Com_fopen(const char *name, const char *mode);
int Com_fclose(FILE *f);

// Difference of the first differing bytes, taken as signed chars.
int Com_strcmp(const char *a, const char *b);
// -1, 0 or 1 by unsigned bytes.
int Com_memcmp(const void *a, const void *b, size_t n);
// n = 0 does nothing (null pointers allowed then).
void Com_memcpy(void *dst, const void *src, size_t n);
// Decimal strtol; a null text gives 0.
int Com_atoi(const char *text);
// strtod narrowed to float; a null text gives 0.
float Com_atof(const char *text);
// Runtime case tables for -128..255; any other value comes back unchanged.
int Com_tolower(int c);
int Com_toupper(int c);
// Length by seeking to the end and back; 0 for a null file.
int64_t Com_FileSize(FILE *f);

// ---- own string operations ----

// Copies at most size - 1 characters and always terminates; size < 1 copies nothing.
void Com_strncpyz(char *dst, const char *src, int size);
// Case-insensitive: 0 equal, -1 when a sorts first, 1 otherwise.
int Com_strcmpUpper(const char *a, const char *b);
// The same over at most n characters; 0 for n < 1.
int Com_strncmpUpper(const char *a, const char *b, int n);
void Com_StringToLower(char *text);  // in place
void Com_StringToUpper(char *text);  // in place
// Compares ignoring every space: -1, 0 or 1 by signed bytes.
int Com_strswcmp(const char *a, const char *b);
// 0 when text matches pattern ('*' runs to the next pattern character's first
// occurrence, or to the end when last; no backtracking), 1 when not.
int Com_strcmpwc(const char *pattern, const char *text);
// First occurrence of find wholly within the first n bytes; null when none, n is 0, or either text is empty.
const char *Com_strnstr(const char *text, const char *find, size_t n);
// Number of bytes equal to c.
int Com_CountCharInString(char c, const char *text);
// Index of the first element equal to value; -1 when none or count < 1.
int Com_LongCmp(const int32_t *array, int count, int32_t value);
// *pos := first place in text where find begins (or its terminator); *lines := line feeds passed. Returns 0.
int Com_FindStringAndCountLines(const char *text, const char *find, const char **pos, int *lines);
// 1 + the line feeds in [start, pos).
int Com_GetLineNumber(const char *start, const char *pos);
// Formats (at most 1,023 characters) into the next of the two va buffers.
char *va(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
const char *Com_PutLong(int32_t i);       // "%d" in a static buffer
const char *Com_PutFloat(float f);        // "%.4f" in a static buffer
const char *Com_PutVec(const float *v);   // "%.4f %.4f %.4f" of three floats in a static buffer
// Three floats parsed from text into a static vector; a null text gives the zero vector.
const float *Com_GetVec(const char *text);

// ---- paths and extensions ('/' is the only separator after conversion) ----

// Replaces every '\' by '/' in place; null stays null.
char *Com_ConvertPath(char *path);
// out := path up to and including its last '/' ("" without one).
void Com_GetPath(char *out, int size, const char *path);
// out := what follows the last '/' (the whole path without one).
void Com_StripPath(char *out, int size, const char *path);
// True when a '.' stands after the name's first character (directory parts count).
bool Com_CheckExtension(const char *name);
// Cuts the name at its last '.' when that lies after the first character; returns name.
char *Com_StripExtension(char *name);
// Com_StripPath then Com_StripExtension.
void Com_StripPathAndExtension(char *out, int size, const char *path);
// Case-insensitive: name ends with ext; false when either is over 255 characters or ext is longer.
bool Com_IsExtension(const char *name, const char *ext);
// out := name "." ext and returns out; writes nothing and returns name when
// name and ext together exceed 254 characters or the result does not fit size.
const char *Com_AddExtension(char *out, int size, const char *name, const char *ext);
// Appends ext in place unless name already ends with it (case-sensitive); false
// (name unchanged) when the result would not fit size.
bool Com_AddFileExtIfNeeded(char *name, int size, const char *ext);
// out := name when it begins with dir (or dir is empty), else dir then name; then
// the extension as above.  Returns out, which is "" when the result does not fit.
char *Com_AddFileExtAndDirIfNeeded(char *out, int size, const char *name, const char *ext,
                                   const char *dir);

// ---- colour keys ----

// Visible length: a colour key and the two bytes after it count 0.
int Com_strncklen(const char *text);
// Copies without colour keys; a key in the last two bytes is copied as it is.  out may be in.
void Com_StripColorKeys(char *out, int size, const char *in);
// Removes in place every control byte (below 32, and 127): what a player typed may
// then be printed on a terminal or sent to others.  Colour keys stay.
void Com_StripControlBytes(char *text);

// ---- names and edit lines ----

enum validateNameFlags_t : int {
    VN_PRINT = 1,       // print the reason
    VN_EMPTY_OK = 2,    // an empty name is valid
};
// 1 when name is valid (not empty, shorter than maxlen, no '"' or ';', printable); else 0.
int Com_ValidateName(const char *name, int maxlen, const char *label, int flags);
// New cursor position: direction 0 to the next word's start, any other to this word's start.
int Com_WordMove(const char *text, int pos, int direction);

// ---- command-line tokenizer ----

extern int com_argc;

// Splits text in place into at most maxArgs pointers into it: spaces separate, a
// double quote toggles grouping and ends a word and is dropped, and two or more
// spaces ending the text leave one empty argument.  Returns the count.
int Com_SplitArgs(char *text, char **argv, int maxArgs);
// Splits line into the global argument vector.
void Com_TokenizeString(const char *line);
// Joins the arguments, each followed by one space, and tokenizes the result.
void Com_TokenizeString2(int argc, const char *const *argv);
int Com_Argc();
// Argument i; "" when i is out of range.
const char *Com_Argv(int i);
// Index (>= 1) of the first argument after argument 0 equal to name; 0 when none.
int Com_GetParam(const char *name);

// ---- text parser ----
// data is the caller's text pointer, which the call advances; lineBreaks says
// whether the token may stand on a later line.  At a line break that may not be
// crossed, or at the end of the text, the token is empty and the position stays there.

extern bool com_isNullString;  // the last token was an explicitly empty quoted string

// The next token (valid for the next seven parser calls); breaker's first
// character, '{' '}' (curly) and ';' (semi) are one-character tokens or breaks.
const char *Com_ParseExt(const char **data, const char *breaker, bool curly, bool lineBreaks, bool semi);
const char *Com_Parse(const char **data, bool lineBreaks);
const char *Com_ParseCurly(const char **data, bool lineBreaks);
const char *Com_ParseSemi(const char **data, bool lineBreaks);
const char *Com_ParseWithBreaker(const char **data, const char *breaker, bool lineBreaks);
// As Com_ParseSemi, but null when there is no token; "" only for an explicit empty quoted string.
const char *Com_ParseSemiNullString(const char **data, bool lineBreaks);

// Bytes Com_ConfigWords may need for a text of textChars characters, with the zero.
constexpr int Com_ConfigWordsSize(int textChars, int wordChars) {
    const int pieces = textChars > wordChars ? (textChars + wordChars - 1) / wordChars : 1;
    return textChars + pieces * 2 + (pieces - 1) * 4 + 1;  // quotes, and ' "" ' between pieces
}
// Writes text into out as the quoted words of a configuration line, which the command
// buffer reads back as text: pieces of at most wordChars characters with an empty word
// between each two (the reader joins them).  A line end is written as ';', what a
// script's line end reads as; a double quote that the reader could not give back
// becomes a single quote.  False (out holds an empty word) when size is too small.
bool Com_ConfigWords(char *out, size_t size, const char *text, int wordChars);

// ---- files and log ----

// Reads a whole file into a Com_malloc buffer with a 0 byte after the data; the
// size, or -1 (*buffer null) when buffer is null or the file can't be opened or read.
int Com_ReadFile(const char *name, void **buffer);
// Bytes written, -1 when the file can't be opened.
int Com_WriteFile(const char *name, int size, const void *data);
// Remembers name (at most 255 characters) as the log file and empties it; "" stops logging.
void Com_InitLog(const char *name);
// Appends the formatted text (at most 1,023 characters) to the log file, if one is set.
void Com_Log(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
