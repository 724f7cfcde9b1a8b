#include "common/com_keys.h"

namespace {

struct keyName_t {
    int code;
    const char *name;
};

constexpr keyName_t named_keys[] = {
    {1, "Esc"}, {2, "1"}, {3, "2"}, {4, "3"}, {5, "4"}, {6, "5"}, {7, "6"}, {8, "7"}, {9, "8"}, {10, "9"},
    {11, "0"}, {12, "-"}, {13, "="}, {14, "Backspace"}, {15, "Tab"},
    {16, "Q"}, {17, "W"}, {18, "E"}, {19, "R"}, {20, "T"}, {21, "Y"}, {22, "U"}, {23, "I"}, {24, "O"},
    {25, "P"}, {26, "["}, {27, "]"}, {28, "Enter"}, {29, "Ctrl"},
    {30, "A"}, {31, "S"}, {32, "D"}, {33, "F"}, {34, "G"}, {35, "H"}, {36, "J"}, {37, "K"}, {38, "L"},
    {39, "Semicolon"}, {40, "'"}, {41, "`"}, {42, "Left Shift"}, {43, "\\"},
    {44, "Z"}, {45, "X"}, {46, "C"}, {47, "V"}, {48, "B"}, {49, "N"}, {50, "M"},
    {51, ","}, {52, "."}, {53, "/"}, {54, "Right Shift"}, {55, "*"}, {56, "Alt"}, {57, "Space"},
    {58, "Caps Lock"},
    {59, "F1"}, {60, "F2"}, {61, "F3"}, {62, "F4"}, {63, "F5"}, {64, "F6"}, {65, "F7"}, {66, "F8"},
    {67, "F9"}, {68, "F10"},
    {69, "Pause"}, {70, "Scroll Lock"}, {71, "Home"}, {72, "Up"}, {73, "Page Up"}, {74, "Num -"},
    {75, "Left"}, {76, "Num 5"}, {77, "Right"}, {78, "+"}, {79, "End"}, {80, "Down"}, {81, "Page Down"},
    {82, "Insert"}, {83, "Del"},
    {85, "Sys Req"}, {86, "Backslash"}, {87, "F11"}, {88, "F12"},
    {124, "F13"}, {125, "F14"}, {126, "F15"}, {127, "F16"}, {128, "F17"}, {129, "F18"},
    {130, "F19"}, {131, "F20"}, {132, "F21"}, {133, "F22"}, {134, "F23"}, {135, "F24"},
    {200, "Mouse1"}, {201, "Mouse2"}, {202, "Mouse3"}, {203, "Wheel Up"}, {204, "Wheel Down"},
};

constexpr keyNames_t MakeKeyNames() {
    keyNames_t table{};
    for (const keyName_t &k : named_keys) {
        for (int i = 0; k.name[i]; i++) {
            // A name that does not fit its entry stops the build here.
            if (i >= KEY_NAME_SIZE - 1) throw "key name longer than 15 characters";
            table.name[k.code][i] = k.name[i];
        }
    }
    return table;
}

}  // namespace

constexpr keyNames_t key_names = MakeKeyNames();
