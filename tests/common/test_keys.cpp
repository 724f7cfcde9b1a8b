#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "common/com_keys.h"

namespace {

TEST(KeyNames, NamedAndEmptyCodes) {
    const struct {
        int code;
        const char *name;
    } cases[] = {
        {0, ""},          {84, ""},       {255, ""},           {1, "Esc"},           {43, "\\"},
        {86, "Backslash"}, {78, "+"},     {74, "Num -"},       {55, "*"},            {39, "Semicolon"},
        {54, "Right Shift"}, {70, "Scroll Lock"}, {81, "Page Down"}, {135, "F24"}, {204, "Wheel Down"},
        {-1, ""},         {256, ""},
    };
    for (const auto &c : cases) EXPECT_STREQ(key_names[c.code], c.name) << c.code;
}

TEST(KeyNames, ExactlyTheListedCodesAreNamedAndEveryEntryIsZeroPadded) {
    std::set<int> empty = {0, 84};
    for (int k = 89; k <= 123; k++) empty.insert(k);
    for (int k = 136; k <= 199; k++) empty.insert(k);
    for (int k = 205; k <= 255; k++) empty.insert(k);
    int named = 0;
    for (int k = 0; k < MAX_KEYS; k++) {
        const char *name = key_names[k];
        EXPECT_EQ(name[0] == 0, empty.count(k) == 1) << k;
        named += name[0] != 0;
        const size_t len = strlen(name);
        ASSERT_LT(len, size_t(KEY_NAME_SIZE)) << k;
        for (size_t i = len; i < KEY_NAME_SIZE; i++) EXPECT_EQ(name[i], 0) << k;
    }
    EXPECT_EQ(named, 104);
}

}  // namespace
