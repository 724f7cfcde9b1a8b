#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/com_info.h"
#include "common/com_print.h"
#include "tests/support/capture.h"

namespace {

using hm_test::captured;

class InfoString : public testing::Test {
protected:
    void SetUp() override {
        Com_IS_ClearAllKeys(is);
        captured = {};
        Com_SetupError(hm_test::CaptureError);
    }
    void TearDown() override { Com_SetupError(nullptr); }
    void Set(const std::string &text) {
        ASSERT_LT(text.size(), sizeof is);
        strcpy(is, text.c_str());
    }
    std::vector<std::string> Keys() const {
        std::vector<std::string> keys;
        for (const char *k = Com_IS_GetNextKey(is, nullptr); k; k = Com_IS_GetNextKey(is, k)) keys.emplace_back(k);
        return keys;
    }
    char is[MAX_INFO_STRING];
};

TEST_F(InfoString, AddingAKeyTwiceKeepsOneEntryAtTheEnd) {
    EXPECT_EQ(Com_IS_AddKey(is, "name", "Ann"), 1);
    EXPECT_EQ(Com_IS_AddKey(is, "team", "red"), 1);
    EXPECT_EQ(Com_IS_AddKey(is, "name", "Bob"), 1);
    EXPECT_STREQ(is, "team \"red\";name \"Bob\";");
    EXPECT_STREQ(Com_IS_GetValue(is, "name"), "Bob");
}

TEST_F(InfoString, ForbiddenCharactersAreRefusedWithoutChange) {
    Com_IS_AddKey(is, "a", "1");
    for (auto [key, value] : {std::pair{"b", "x;y"}, {"b", "x\"y"}, {"b;", "x"}, {"b c", "x"}}) {
        EXPECT_EQ(Com_IS_AddKey(is, key, value), 0) << key << " " << value;
    }
    EXPECT_EQ(Com_IS_SetValue(is, "a", "2;"), 0);
    EXPECT_STREQ(is, "a \"1\";");
    EXPECT_TRUE(captured.errors.empty());  // refusals of content stay silent
}

TEST_F(InfoString, SizeLimitCountsTextKeyAndValue) {
    Set(std::string(1336, 'x') + " \"\";");  // 1,340 characters
    ASSERT_EQ(strlen(is), 1340u);
    EXPECT_EQ(Com_IS_AddKey(is, "ab", "cde"), 0);  // 1,345 > 1,344
    EXPECT_EQ(strlen(is), 1340u);
    ASSERT_EQ(captured.errors.size(), 1u);
    EXPECT_EQ(captured.errors[0].level, ER_WARNING);
    EXPECT_EQ(Com_IS_AddKey(is, "ab", "cd"), 1);
    EXPECT_EQ(strlen(is), 1348u);
    EXPECT_STREQ(Com_IS_GetValue(is, "ab"), "cd");
}

TEST_F(InfoString, OversizeSetWarnsAndKeepsTheOldEntry) {
    Com_IS_AddKey(is, "k", "old");
    Com_IS_AddKey(is, "pad", std::string(1300, 'p').c_str());
    const std::string before = is;
    EXPECT_EQ(Com_IS_SetValue(is, "k", std::string(60, 'n').c_str()), 0);
    EXPECT_EQ(is, before);
    EXPECT_STREQ(Com_IS_GetValue(is, "k"), "old");
    ASSERT_EQ(captured.errors.size(), 1u);
    EXPECT_EQ(captured.errors[0].level, ER_WARNING);
    // The old entry's room counts: a value as long as fits after removing it is taken.
    EXPECT_EQ(Com_IS_SetValue(is, "k", std::string(1344 - strlen(is) + 8 - 1, 'n').c_str()), 1);
}

TEST_F(InfoString, KeysMatchOnlyAtAnEntrysStart) {
    Com_IS_AddKey(is, "motd", "see map now");  // "map " inside a value
    Com_IS_AddKey(is, "sizemap", "4");         // "map" at the tail of a longer key
    Com_IS_AddKey(is, "map", "dust");
    EXPECT_STREQ(Com_IS_GetValue(is, "map"), "dust");
    EXPECT_EQ(Com_IS_SetValue(is, "map", "rock"), 1);
    EXPECT_STREQ(Com_IS_GetValue(is, "motd"), "see map now");
    EXPECT_STREQ(Com_IS_GetValue(is, "sizemap"), "4");
    EXPECT_EQ(Com_IS_RemoveKey(is, "map"), 1);
    EXPECT_EQ(Com_IS_RemoveKey(is, "map"), 0);
    EXPECT_EQ(Com_IS_GetValue(is, "map"), nullptr);
    EXPECT_STREQ(is, "motd \"see map now\";sizemap \"4\";");

    Set("aab \"1\";ab \"2\";");
    EXPECT_STREQ(Com_IS_GetValue(is, "ab"), "2");
}

TEST_F(InfoString, LookupsOfAbsentAndEmpty) {
    EXPECT_EQ(Com_IS_GetValue(nullptr, "a"), nullptr);
    EXPECT_EQ(Com_IS_GetNextKey(is, nullptr), nullptr);  // empty info string
    EXPECT_EQ(Com_IS_SetValue(is, "a", "1"), 0);
    EXPECT_STREQ(is, "");
    Com_IS_AddKey(is, "e", "");
    const char *v = Com_IS_GetValue(is, "e");
    ASSERT_NE(v, nullptr);
    EXPECT_STREQ(v, "");
    EXPECT_EQ(Com_IS_GetValue(is, "x"), nullptr);
    EXPECT_EQ(Com_IS_GetNextKey(is, "x"), nullptr);
}

TEST_F(InfoString, NextKeyWalksEveryKeyInOrder) {
    Com_IS_AddKey(is, "one", "1");
    Com_IS_AddKey(is, "two", "2 2");
    Com_IS_AddKey(is, "three", "3");
    EXPECT_EQ(Keys(), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_STREQ(Com_IS_GetNextKey(is, ""), "one");
}

TEST_F(InfoString, EmptyKeyIsStoredButNeverEndlesslyWalked) {
    Com_IS_AddKey(is, "a", "1");
    EXPECT_EQ(Com_IS_AddKey(is, "", "blank"), 1);
    Com_IS_AddKey(is, "b", "2");
    EXPECT_STREQ(Com_IS_GetValue(is, ""), "blank");
    EXPECT_STREQ(Com_IS_GetValue(is, "a"), "1");
    EXPECT_EQ(Keys(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(InfoString, WalkOverAForeignStringWithRepeatedKeysEnds) {
    Set("a \"1\";b \"2\";a \"3\";broken;c \"4\";");
    EXPECT_EQ(Keys(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_STREQ(Com_IS_GetValue(is, "a"), "1");
}

TEST_F(InfoString, ForeignSpacingBetweenEntriesIsRead) {
    Set("a \"1\";  b \"2\"; c \"3\";");
    EXPECT_STREQ(Com_IS_GetValue(is, "b"), "2");
    EXPECT_EQ(Keys(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(Com_IS_RemoveKey(is, "a"), 1);
    EXPECT_STREQ(is, "b \"2\"; c \"3\";");
}

TEST_F(InfoString, ResultsStayValidForSevenMoreLookups) {
    Com_IS_AddKey(is, "a", "first");
    const char *first = Com_IS_GetValue(is, "a");
    for (int i = 0; i < INFO_RESULT_BUFFERS - 1; i++) Com_IS_GetValue(is, "missing");
    EXPECT_STREQ(first, "first");
}

// Info strings arrive from other machines: whatever the text, look-ups stay in
// their buffers, walks end, and sets never grow the string past its size.
TEST_F(InfoString, HostileTextsStayWithinBounds) {
    uint32_t seed = 777;
    auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    const char alphabet[] = "ab \";";
    for (int round = 0; round < 300; round++) {
        std::string text(next() % (MAX_INFO_STRING - 1), 'a');
        for (char &c : text) c = alphabet[next() % (sizeof alphabet - 1)];
        Set(text);
        int walked = 0;
        for (const char *k = Com_IS_GetNextKey(is, nullptr); k && walked < MAX_INFO_STRING; k = Com_IS_GetNextKey(is, k))
            walked++;
        ASSERT_LT(walked, MAX_INFO_STRING);
        for (const char *key : {"a", "b", "ab", ""}) {
            const char *v = Com_IS_GetValue(is, key);
            if (v) {
                ASSERT_LT(strlen(v), size_t(MAX_INFO_STRING));
            }
            Com_IS_SetValue(is, key, "value");
            ASSERT_LT(strlen(is), size_t(MAX_INFO_STRING));
            Com_IS_AddKey(is, key, std::string(next() % 64, 'v').c_str());
            ASSERT_LT(strlen(is), size_t(MAX_INFO_STRING));
            Com_IS_RemoveKey(is, key);
        }
    }
}

}  // namespace
