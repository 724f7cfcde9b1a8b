// Key name table: the display name of every key code.
//
// Key codes are the PC keyboard's set-1 scan codes, with the mouse buttons and
// wheel at 200-204.  Codes without a key have the empty name.
#pragma once

constexpr int MAX_KEYS = 256;
constexpr int KEY_NAME_SIZE = 16;  // a name of at most 15 characters and its zero bytes

struct keyNames_t {
    char name[MAX_KEYS][KEY_NAME_SIZE];
    // The name of key code k; "" for a code without a key or outside 0-255.
    constexpr const char *operator[](int k) const { return (k >= 0 && k < MAX_KEYS) ? name[k] : ""; }
};
static_assert(sizeof(keyNames_t) == MAX_KEYS * KEY_NAME_SIZE);

extern const keyNames_t key_names;
