#include "common/com_info.h"

#include <cstdio>
#include <cstring>

#include "common/com_print.h"

static char is_output[INFO_RESULT_BUFFERS][MAX_INFO_STRING];
static int is_pp;

static char *NextResultBuffer() {
    is_pp = (is_pp + 1) % INFO_RESULT_BUFFERS;
    return is_output[is_pp];
}

static bool IsCleanValue(const char *text) { return !strpbrk(text, "\";"); }
// A key is matched up to the space after it, so it may not hold one itself.
static bool IsCleanKey(const char *text) { return !strpbrk(text, "\"; "); }

// Skips the spaces that may pad an entry's start.  An entry that then begins with
// its value's quote has the empty key: the space before the quote is its separator.
static const char *EntryKey(const char *entry) {
    while (*entry == ' ') entry++;
    return entry;
}

// The entry after the one at entry: past its ';', or the end of the text.
static const char *NextEntry(const char *entry) {
    const char *semi = strchr(entry, ';');
    return semi ? semi + 1 : entry + strlen(entry);
}

// The entry whose key is key, or null.  Only entry starts are compared, so a key
// is never found inside a value or at the tail of a longer key.
static const char *FindEntry(const char *is, const char *key) {
    if (!IsCleanValue(key)) return nullptr;  // such a key is never stored
    const size_t klen = strlen(key);
    for (const char *entry = is; *entry; entry = NextEntry(entry)) {
        const char *k = EntryKey(entry);
        const bool hit = klen ? (!strncmp(k, key, klen) && k[klen] == ' ') : *k == '"';
        if (hit) return entry;
    }
    return nullptr;
}

// Length of the entry at entry: through its ';' and the spaces after it.
static size_t EntryLength(const char *entry) {
    const char *end = NextEntry(entry);
    while (*end == ' ') end++;
    return static_cast<size_t>(end - entry);
}

static void CutEntry(char *entry) {
    const size_t len = EntryLength(entry);
    memmove(entry, entry + len, strlen(entry + len) + 1);
}

// Whether an entry of key and value fits after textLen characters; warns when not.
static bool Fits(size_t textLen, const char *key, const char *value) {
    if (textLen + strlen(key) + strlen(value) <= static_cast<size_t>(MAX_INFO_CONTENT)) return true;
    Com_Error(ER_WARNING, "Info string: no room for the key \"%s\" (%d bytes at most)", key, MAX_INFO_STRING);
    return false;
}

static void AppendEntry(char *is, const char *key, const char *value) {
    const size_t len = strlen(is);
    snprintf(is + len, MAX_INFO_STRING - len, "%s \"%s\";", key, value);
}

void Com_IS_ClearAllKeys(char *is) {
    if (is) is[0] = 0;
}

int Com_IS_AddKey(char *is, const char *key, const char *value) {
    if (!is || !key || !value || !IsCleanKey(key) || !IsCleanValue(value)) return 0;
    if (FindEntry(is, key)) return Com_IS_SetValue(is, key, value);
    if (!Fits(strlen(is), key, value)) return 0;
    AppendEntry(is, key, value);
    return 1;
}

int Com_IS_SetValue(char *is, const char *key, const char *value) {
    if (!is || !key || !value || !IsCleanKey(key) || !IsCleanValue(value)) return 0;
    char *entry = const_cast<char *>(FindEntry(is, key));
    if (!entry) return 0;
    // Decide before changing anything, so a refusal keeps the old entry.
    if (!Fits(strlen(is) - EntryLength(entry), key, value)) return 0;
    CutEntry(entry);
    AppendEntry(is, key, value);
    return 1;
}

int Com_IS_RemoveKey(char *is, const char *key) {
    if (!is || !key) return 0;
    char *entry = const_cast<char *>(FindEntry(is, key));
    if (!entry) return 0;
    CutEntry(entry);
    return 1;
}

const char *Com_IS_GetValue(const char *is, const char *key) {
    char *out = NextResultBuffer();
    if (!is || !key) return nullptr;
    const char *entry = FindEntry(is, key);
    if (!entry) return nullptr;
    const char *p = EntryKey(entry) + strlen(key);
    while (*p == ' ') p++;
    if (*p == '"') p++;
    int n = 0;
    while (*p && *p != '"' && *p != ';' && n < MAX_INFO_STRING - 1) out[n++] = *p++;
    out[n] = 0;
    return out;
}

const char *Com_IS_GetNextKey(const char *is, const char *key) {
    char *out = NextResultBuffer();
    if (!is) return nullptr;
    const char *next = is;
    if (key && *key) {
        const char *entry = FindEntry(is, key);
        if (!entry) return nullptr;
        next = NextEntry(entry);
    }
    // Each step hands out a key whose first entry lies further on, so every walk
    // ends: the empty key (given back, it would start the walk over), a repeated
    // key and an entry that no look-up could find are passed over.
    for (const char *entry = next; *EntryKey(entry); entry = NextEntry(entry)) {
        const char *k = EntryKey(entry);
        if (*k == '"') continue;
        int n = 0;
        while (*k && !strchr(" \";", *k) && n < MAX_INFO_STRING - 1) out[n++] = *k++;
        out[n] = 0;
        if (FindEntry(is, out) == entry) return out;
    }
    return nullptr;
}
