// Info strings: a small text dictionary that travels as one string.
//
// Entries stand back to back, each `key "value";` (key, a space, the value in
// double quotes, a semicolon).  Keys and values never hold '"' or ';'.  The
// operations work in place on a caller's buffer of MAX_INFO_STRING bytes; a key is
// only ever matched at the start of an entry, never inside a value or another key.
#pragma once

constexpr int MAX_INFO_STRING = 1350;    // the whole info string with its terminator
constexpr int INFO_ENTRY_OVERHEAD = 4;   // the space, two quotes and the ';' of an entry
// Largest length of the text plus a new entry's key and value: the entry's
// overhead and the terminator then fit with a byte to spare.
constexpr int MAX_INFO_CONTENT = 1344;
static_assert(MAX_INFO_CONTENT + INFO_ENTRY_OVERHEAD + 1 < MAX_INFO_STRING);
constexpr int INFO_RESULT_BUFFERS = 8;   // a looked-up text stays valid for seven more look-ups

// Makes the info string empty.
void Com_IS_ClearAllKeys(char *is);
// Adds key with value at the end (a present key is set instead): 1 added, 0
// refused ('"' or ';' in key or value, a space in key, or no room: then a
// warning, text unchanged).
int Com_IS_AddKey(char *is, const char *key, const char *value);
// Moves key's entry to the end with the new value: 1 set, 0 refused (key absent,
// '"' or ';' in the value, or no room: then a warning); a refusal changes nothing.
int Com_IS_SetValue(char *is, const char *key, const char *value);
// 1 when key's entry was removed, 0 when it is not present.
int Com_IS_RemoveKey(char *is, const char *key);
// The value of key in a result buffer ("" for an empty value); null when is is null or key is absent.
const char *Com_IS_GetValue(const char *is, const char *key);
// The key after key's entry in a result buffer; the first key for a null or empty
// key; null when key is absent, nothing follows, or the info string is empty.
// A walk hands out each key once, in order, and always ends: the empty key,
// repeated keys and unreadable entries of a foreign string are passed over.
const char *Com_IS_GetNextKey(const char *is, const char *key);
