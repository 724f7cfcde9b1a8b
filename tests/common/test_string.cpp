#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/com_mem.h"
#include "common/com_string.h"
#include "tests/support/capture.h"

namespace {

// Routes Com_Printf into the shared capture for the test's lifetime.
struct PrintCapture {
    PrintCapture() { hm_test::StartCapture(); }
    ~PrintCapture() { hm_test::StopCapture(); }
};

std::vector<std::string> Args() {
    std::vector<std::string> v;
    for (int i = 0; i < Com_Argc(); i++) v.emplace_back(Com_Argv(i));
    return v;
}

using Strings = std::vector<std::string>;

TEST(Tokenizer, SplitsOnSpacesAndKeepsQuotedWordsTogether) {
    const struct {
        const char *line;
        Strings args;
    } cases[] = {
        {"set name \"two words\"", {"set", "name", "two words"}},
        {"a  ", {"a", ""}},  // two trailing spaces add one empty argument
        {"a ", {"a"}},
        {"a   ", {"a", ""}},
        {"x\ty z", {"x\ty", "z"}},  // only the space separates
        {"ab\"cd ef\"", {"ab", "cd ef"}},
        {"say \"unterminated quote", {"say", "unterminated quote"}},
        {"", {}},
    };
    for (const auto &c : cases) {
        Com_TokenizeString(c.line);
        EXPECT_EQ(Args(), c.args) << c.line;
    }
}

TEST(Tokenizer, ArgvOutOfRangeIsEmptyAndGetParamSkipsArgumentZero) {
    Com_TokenizeString("map -x map -y");
    EXPECT_STREQ(Com_Argv(-1), "");
    EXPECT_STREQ(Com_Argv(4), "");
    EXPECT_EQ(Com_GetParam("map"), 2);
    EXPECT_EQ(Com_GetParam("-y"), 3);
    EXPECT_EQ(Com_GetParam("-X"), 0);
}

TEST(Tokenizer, CutsAtLineAndArgumentLimits) {
    const std::string longLine(MAX_STRING_CHARS + 500, 'q');
    Com_TokenizeString(longLine.c_str());
    ASSERT_EQ(Com_Argc(), 1);
    EXPECT_EQ(strlen(Com_Argv(0)), size_t(MAX_STRING_CHARS - 1));

    std::string many;
    for (int i = 0; i < MAX_STRING_TOKENS + 10; i++) many += "a ";
    Com_TokenizeString(many.c_str());
    EXPECT_EQ(Com_Argc(), MAX_STRING_TOKENS);
}

TEST(Tokenizer, TokenizeString2JoinsArguments) {
    const char *argv[] = {"engine", "+set", "dedicated", "1"};
    Com_TokenizeString2(4, argv);
    EXPECT_EQ(Args(), (Strings{"engine", "+set", "dedicated", "1"}));
}

TEST(Parser, LineBreaksAndCommentsFollowTheLineBreakFlag) {
    const char *text = "first // comment\nsecond";
    const char *p = text;
    EXPECT_STREQ(Com_Parse(&p, true), "first");
    EXPECT_STREQ(Com_Parse(&p, false), "");
    EXPECT_STREQ(Com_Parse(&p, true), "second");
    EXPECT_STREQ(Com_Parse(&p, true), "");
    EXPECT_EQ(*p, 0);

    p = text;
    Com_Parse(&p, true);
    EXPECT_STREQ(Com_Parse(&p, true), "second");
}

TEST(Parser, TokensOfEachMode) {
    const struct {
        const char *text;
        int mode;  // 0 plain, 1 curly, 2 semi, 3 breaker ':'
        Strings tokens;
    } cases[] = {
        {"x{y}", 1, {"x", "{", "y", "}"}},
        {"x{y}", 0, {"x{y}"}},
        {"a;b ; c", 2, {"a", "b", "c"}},
        {"key:value", 3, {"key", ":", "value"}},
        {"'single q' \"dbl {;} q\"", 1, {"single q", "dbl {;} q"}},
        {"/* block\n comment */ w /* unterminated", 0, {"w"}},
        {"path/to/file //c", 0, {"path/to/file"}},
        {"\xE4\xF6x \xA4" "08y", 0, {"\xE4\xF6x", "\xA4" "08y"}},
    };
    for (const auto &c : cases) {
        const char *p = c.text;
        Strings got;
        for (;;) {
            const char *t = c.mode == 1   ? Com_ParseCurly(&p, true)
                            : c.mode == 2 ? Com_ParseSemi(&p, true)
                            : c.mode == 3 ? Com_ParseWithBreaker(&p, ":", true)
                                          : Com_Parse(&p, true);
            if (!*t) break;
            got.emplace_back(t);
        }
        EXPECT_EQ(got, c.tokens) << c.text;
    }
}

TEST(Parser, SemicolonIsALineBreakInSemiMode) {
    const char *p = "a;b";
    EXPECT_STREQ(Com_ParseSemi(&p, false), "a");
    EXPECT_STREQ(Com_ParseSemi(&p, false), "");
    EXPECT_EQ(*p, ';');
    EXPECT_STREQ(Com_ParseSemi(&p, true), "b");
}

TEST(Parser, NullStringTellsEmptyQuotesFromTheEnd) {
    const char *p = "\"\"";
    const char *t = Com_ParseSemiNullString(&p, true);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t, "");
    EXPECT_TRUE(com_isNullString);
    EXPECT_EQ(Com_ParseSemiNullString(&p, true), nullptr);
    EXPECT_FALSE(com_isNullString);
}

TEST(Parser, LongWordsAndQuotesAreCutAndContinued) {
    const std::string word(2000, 'w');
    const char *p = word.c_str();
    EXPECT_EQ(strlen(Com_Parse(&p, true)), size_t(MAX_TOKEN_CHARS - 1));
    EXPECT_EQ(strlen(Com_Parse(&p, true)), 2000u - (MAX_TOKEN_CHARS - 1));

    // Exactly the limit, then its closing quote: the quote is consumed.
    const std::string quoted = "\"" + std::string(MAX_TOKEN_CHARS - 1, 'q') + "\" next";
    p = quoted.c_str();
    EXPECT_EQ(strlen(Com_Parse(&p, true)), size_t(MAX_TOKEN_CHARS - 1));
    EXPECT_STREQ(Com_Parse(&p, true), "next");
}

TEST(ConfigWords, QuotesThatTheReaderGivesBackAndPiecesThatFit) {
    const struct {
        const char *text;
        const char *words;
    } rows[] = {
        {"", "\"\""},
        {"a;/*", "\"a;/*\""},
        {"\"a;\"", "'\"a;\"'"},        // a ';' between paired quotes
        {"\"a b", "\"'a b\""},        // an unpaired quote
        {"a;\"\"", "\"a;''\""},        // a ';' the buffer would cut at
        {"'\"\"", "\"'''\""},          // a single quote beside them
        {"a\nb\r", "\"a;b;\""},
        {"\"\n\"", "'\";\"'"},
        {"xxxxxxxxx", "\"xxxx\" \"\" \"xxxx\" \"\" \"x\""},
        {"\"xxxx\"", "'\"xxx' \"\" 'x\"'"},  // the pieces share the pairs
    };
    for (const auto &r : rows) {
        char out[64];
        EXPECT_TRUE(Com_ConfigWords(out, sizeof out, r.text, 4));
        EXPECT_STREQ(out, r.words) << r.text;
    }
    // The size the header promises is exactly enough, at the worst.
    for (const int n : {1, 4, 5, 8, 9}) {
        const std::string text(static_cast<size_t>(n), 'y');
        std::vector<char> out(static_cast<size_t>(Com_ConfigWordsSize(n, 4)));
        EXPECT_TRUE(Com_ConfigWords(out.data(), out.size(), text.c_str(), 4)) << n;
        EXPECT_EQ(strlen(out.data()) + 1, out.size()) << n;
        EXPECT_FALSE(Com_ConfigWords(out.data(), out.size() - 1, text.c_str(), 4)) << n;
        EXPECT_STREQ(out.data(), "\"\"") << n;
    }
}

TEST(Parser, ControlByteStopsWithoutAdvancing) {
    const char *p = "a \x01 b";
    EXPECT_STREQ(Com_Parse(&p, true), "a");
    EXPECT_STREQ(Com_Parse(&p, true), "");
    EXPECT_EQ(*p, '\x01');
}

TEST(Parser, TokenStaysValidForSevenMoreCalls) {
    const char *p = "t0 t1 t2 t3 t4 t5 t6 t7 t8";
    const char *first = Com_Parse(&p, true);
    for (int i = 0; i < COM_TOKEN_BUFFERS - 1; i++) Com_Parse(&p, true);
    EXPECT_STREQ(first, "t0");
    Com_Parse(&p, true);
    EXPECT_STREQ(first, "t8");
}

TEST(Parser, NullDataGivesEmptyToken) {
    EXPECT_STREQ(Com_Parse(nullptr, true), "");
    const char *p = nullptr;
    EXPECT_STREQ(Com_Parse(&p, true), "");
    EXPECT_EQ(Com_ParseSemiNullString(&p, true), nullptr);
}

TEST(Strings, ComparisonsFollowTheirOwnOrder) {
    EXPECT_LT(Com_strcmp("a\x80", "a\x01"), 0);  // signed bytes
    EXPECT_EQ(Com_memcmp("a\x80", "a\x01", 2), 1);  // unsigned bytes
    EXPECT_EQ(Com_memcmp("abc", "abd", 3), -1);
    EXPECT_EQ(Com_strcmpUpper("Hello", "hELLO"), 0);
    EXPECT_EQ(Com_strcmpUpper("abc", "ABD"), -1);
    EXPECT_EQ(Com_strcmpUpper("abcd", "ABC"), 1);
    EXPECT_EQ(Com_strncmpUpper("abcX", "ABCy", 3), 0);
    EXPECT_EQ(Com_strncmpUpper("a", "b", 0), 0);
    EXPECT_EQ(Com_strswcmp(" a b c ", "abc"), 0);
    EXPECT_EQ(Com_strswcmp("ab", "a c"), -1);
    EXPECT_EQ(Com_strswcmp("a\x80", "a"), -1);
}

TEST(Strings, WildcardMatchHasNoBacktracking) {
    const struct {
        const char *pattern, *text;
        int result;
    } cases[] = {
        {"*.pk3", "data.pk3", 0}, {"*", "anything", 0},  {"a**c", "abc", 0},
        {"*ab", "aab", 1},        {"ab", "abc", 1},       {"abc", "ab", 1},
        {"m*/*.vo2", "maps/x.vo2", 0}, {"", "", 0},       {"*x", "abc", 1},
    };
    for (const auto &c : cases) EXPECT_EQ(Com_strcmpwc(c.pattern, c.text), c.result) << c.pattern << " " << c.text;
}

TEST(Strings, BoundedCopiesNeverOverrun) {
    char buf[8];
    memset(buf, 'z', sizeof buf);
    Com_strncpyz(buf, "0123456789", 4);
    EXPECT_STREQ(buf, "012");
    EXPECT_EQ(buf[4], 'z');
    Com_strncpyz(buf, "abc", 0);
    EXPECT_STREQ(buf, "012");

    Com_strcat(buf, sizeof buf, "45678");
    EXPECT_STREQ(buf, "0124567");
    EXPECT_EQ(Com_sprintf(buf, sizeof buf, "%s", "0123456789"), 10);
    EXPECT_STREQ(buf, "0123456");

    const char *a = va("%s", std::string(3000, 'v').c_str());
    EXPECT_EQ(strlen(a), size_t(VA_CHARS - 1));
    const char *b = va("%d", 2);
    EXPECT_STREQ(va("%d", 3), "3");
    EXPECT_STREQ(b, "2");  // two buffers: still valid
}

TEST(Strings, SearchAndCount) {
    EXPECT_STREQ(Com_strnstr("hello world", "world", 11), "world");
    EXPECT_EQ(Com_strnstr("hello world", "world", 10), nullptr);
    EXPECT_EQ(Com_strnstr("abc", "", 3), nullptr);
    EXPECT_EQ(Com_strnstr("", "a", 3), nullptr);
    EXPECT_EQ(Com_strnstr("ab", "abc", 100), nullptr);
    EXPECT_EQ(Com_CountCharInString('a', "banana"), 3);
    const int32_t arr[] = {5, -7, 9, -7};
    EXPECT_EQ(Com_LongCmp(arr, 4, -7), 1);
    EXPECT_EQ(Com_LongCmp(arr, 4, 8), -1);
    EXPECT_EQ(Com_LongCmp(arr, 0, 5), -1);

    const char *text = "a\nb\nfind\nc";
    const char *pos = nullptr;
    int lines = -1;
    EXPECT_EQ(Com_FindStringAndCountLines(text, "find", &pos, &lines), 0);
    EXPECT_EQ(pos, text + 4);
    EXPECT_EQ(lines, 2);
    Com_FindStringAndCountLines(text, "none", &pos, &lines);
    EXPECT_EQ(*pos, 0);
    EXPECT_EQ(lines, 3);
    EXPECT_EQ(Com_GetLineNumber(text, text + 4), 3);
}

TEST(Strings, NumbersAndCase) {
    EXPECT_EQ(Com_atoi(nullptr), 0);
    EXPECT_EQ(Com_atoi("0x10"), 0);  // decimal only
    EXPECT_EQ(Com_atoi("-42z"), -42);
    EXPECT_FLOAT_EQ(Com_atof("2.5"), 2.5f);
    EXPECT_EQ(Com_atof(nullptr), 0.0f);
    EXPECT_EQ(Com_atof("1e300"), HUGE_VALF);  // past the float range: infinity, never undefined
    EXPECT_EQ(Com_atof("-1e300"), -HUGE_VALF);
    EXPECT_EQ(Com_tolower('Q'), 'q');
    EXPECT_EQ(Com_toupper(-92), -92);
    EXPECT_EQ(Com_toupper(300), 300);
    EXPECT_STREQ(Com_PutLong(-7), "-7");
    EXPECT_STREQ(Com_PutFloat(0.5f), "0.5000");
    const float v[3] = {1, -2.25f, 0};
    EXPECT_STREQ(Com_PutVec(v), "1.0000 -2.2500 0.0000");
    const float *g = Com_GetVec("1.5 -2 3\n4");
    EXPECT_EQ(g[0], 1.5f);
    EXPECT_EQ(g[1], -2.0f);
    EXPECT_EQ(g[2], 3.0f);
    g = Com_GetVec(nullptr);
    EXPECT_EQ(g[0] + g[1] + g[2], 0.0f);
}

TEST(CharClasses, BoundariesOfEachClass) {
    EXPECT_TRUE(Com_IsNumber('-') && Com_IsNumber('.') && !Com_IsNumber('+'));
    EXPECT_TRUE(Com_IsLetter('_') && !Com_IsAlpha('_'));
    EXPECT_TRUE(Com_IsInternationalLetterOrDigit(192) && Com_IsInternationalLetterOrDigit(255));
    EXPECT_FALSE(Com_IsInternationalLetterOrDigit(215) || Com_IsInternationalLetterOrDigit(247) ||
                 Com_IsInternationalLetterOrDigit(191));
    EXPECT_TRUE(Com_IsInternationalLetterOrDigit(static_cast<char>(0xE4)));  // a signed char is taken as its byte
    EXPECT_TRUE(Com_IsOneCharOp('^') && !Com_IsOneCharOp('%') && !Com_IsOneCharOp(0));
    for (int c : {0, 31, 127, 144, 147, 159}) EXPECT_TRUE(Com_IsFuckedChar(c)) << c;
    for (int c : {32, 126, 145, 146, 160, 0xA4}) EXPECT_FALSE(Com_IsFuckedChar(c)) << c;
}

TEST(Paths, SplittingAndExtensions) {
    char out[MAX_OSPATH];
    Com_GetPath(out, sizeof out, "maps/sub/x.vo2");
    EXPECT_STREQ(out, "maps/sub/");
    Com_GetPath(out, sizeof out, "x.vo2");
    EXPECT_STREQ(out, "");
    Com_StripPath(out, sizeof out, "maps/x.vo2");
    EXPECT_STREQ(out, "x.vo2");
    Com_StripPath(out, sizeof out, "maps/");
    EXPECT_STREQ(out, "");
    Com_StripPathAndExtension(out, sizeof out, "maps/x.vo2");
    EXPECT_STREQ(out, "x");

    char name[] = "dir.d/file";
    EXPECT_STREQ(Com_StripExtension(name), "dir");  // the directory's '.' counts
    char hidden[] = ".rc";
    EXPECT_STREQ(Com_StripExtension(hidden), ".rc");
    EXPECT_TRUE(Com_CheckExtension("a.b/c"));
    EXPECT_FALSE(Com_CheckExtension(".cfg"));

    char back[] = "a\\b\\c";
    EXPECT_STREQ(Com_ConvertPath(back), "a/b/c");
    EXPECT_EQ(Com_ConvertPath(nullptr), nullptr);

    EXPECT_TRUE(Com_IsExtension("x.CFG", ".cfg"));
    EXPECT_TRUE(Com_IsExtension("x.cfg", "cfg"));
    EXPECT_FALSE(Com_IsExtension("cfg", ".cfg"));
    EXPECT_FALSE(Com_IsExtension(std::string(256, 'a').c_str(), "a"));

    char small[4];
    Com_GetPath(small, sizeof small, "abcdef/g");
    EXPECT_STREQ(small, "abc");
}

TEST(Paths, AddExtensionRefusesWhatDoesNotFit) {
    char out[MAX_OSPATH];
    EXPECT_STREQ(Com_AddExtension(out, sizeof out, "x", "cfg"), "x.cfg");
    const std::string name(200, 'n');
    const std::string ext(60, 'e');
    const char *r = Com_AddExtension(out, sizeof out, name.c_str(), ext.c_str());
    EXPECT_EQ(r, name.c_str());
    char tiny[5];
    EXPECT_STREQ(Com_AddExtension(tiny, sizeof tiny, "ab", "cd"), "ab");  // "ab.cd" needs 6

    char file[16] = "autoexec";
    EXPECT_TRUE(Com_AddFileExtIfNeeded(file, sizeof file, ".cfg"));
    EXPECT_STREQ(file, "autoexec.cfg");
    EXPECT_TRUE(Com_AddFileExtIfNeeded(file, sizeof file, ".cfg"));
    EXPECT_STREQ(file, "autoexec.cfg");
    EXPECT_FALSE(Com_AddFileExtIfNeeded(file, sizeof file, ".backup"));
    EXPECT_STREQ(file, "autoexec.cfg");

    EXPECT_STREQ(Com_AddFileExtAndDirIfNeeded(out, sizeof out, "x", ".vo2", "maps/"), "maps/x.vo2");
    EXPECT_STREQ(Com_AddFileExtAndDirIfNeeded(out, sizeof out, "maps/x.vo2", ".vo2", "maps/"), "maps/x.vo2");
    EXPECT_STREQ(Com_AddFileExtAndDirIfNeeded(out, sizeof out, "x", "", ""), "x");
    char inplace[32] = "w";
    EXPECT_STREQ(Com_AddFileExtAndDirIfNeeded(inplace, sizeof inplace, inplace, ".vo2", "maps/"), "maps/w.vo2");
    char cut[8];
    EXPECT_STREQ(Com_AddFileExtAndDirIfNeeded(cut, sizeof cut, "x", ".vo2", "maps/"), "");
}

TEST(ColorKeys, LengthAndStripAgree) {
    const struct {
        const char *in, *stripped;
    } cases[] = {
        {"\xA4" "08abc", "abc"},
        {"\xA4" "01\xA4" "02x\xA4" "00", "x"},
        {"ab\xA4", "ab\xA4"},         // a key without its digits stays
        {"ab\xA4" "1", "ab\xA4" "1"},
        {"plain", "plain"},
    };
    for (const auto &c : cases) {
        char out[32];
        Com_StripColorKeys(out, sizeof out, c.in);
        EXPECT_STREQ(out, c.stripped);
        EXPECT_EQ(Com_strncklen(c.in), static_cast<int>(strlen(c.stripped)));
    }
    char same[] = "\xA4" "05hi\xA4" "00!";
    Com_StripColorKeys(same, sizeof same, same);
    EXPECT_STREQ(same, "hi!");
    char tiny[3];
    Com_StripColorKeys(tiny, sizeof tiny, "\xA4" "05hello");
    EXPECT_STREQ(tiny, "he");
}

TEST(ValidateName, ReasonsAndFlags) {
    PrintCapture capture;
    EXPECT_EQ(Com_ValidateName("", 16, "Name", VN_PRINT), 0);
    EXPECT_EQ(hm_test::PrintedText(), "Name must be at lest 1 char");
    EXPECT_EQ(Com_ValidateName("", 16, "Name", VN_PRINT | VN_EMPTY_OK), 1);
    hm_test::captured.prints.clear();
    EXPECT_EQ(Com_ValidateName("0123456789abcdef", 16, "Name", VN_PRINT), 0);
    EXPECT_EQ(hm_test::PrintedText(), "Name must can max be 15 cars");
    hm_test::captured.prints.clear();
    EXPECT_EQ(Com_ValidateName("a;b", 16, "Name", VN_PRINT), 0);
    EXPECT_EQ(hm_test::PrintedText(), "Character ';' is not allowed in Name");
    hm_test::captured.prints.clear();
    EXPECT_EQ(Com_ValidateName("a\tb", 16, "Name", 0), 0);
    EXPECT_EQ(Com_ValidateName("a\"b", 16, "Name", 0), 0);
    EXPECT_EQ(Com_ValidateName("a\xD7", 16, "Name", 0), 0);
    EXPECT_EQ(hm_test::PrintedText(), "");  // flag 0: silent
    EXPECT_EQ(Com_ValidateName("J\xF6rg {x}", 16, "Name", 0), 1);
}

TEST(WordMove, RightToNextWordLeftToWordStart) {
    const char *t = "ab  cd.ef";
    const struct {
        int pos, dir, want;
    } cases[] = {
        {0, 0, 4}, {1, 0, 4}, {2, 0, 4}, {4, 0, 7}, {7, 0, 9}, {9, 0, 9}, {50, 0, 9},
        {5, 1, 4}, {3, 1, 0}, {4, 1, 4}, {8, -1, 7}, {0, 1, 0}, {-1, 1, 0}, {-3, 1, -2}, {50, 1, 7},
    };
    for (const auto &c : cases) EXPECT_EQ(Com_WordMove(t, c.pos, c.dir), c.want) << c.pos << " " << c.dir;
}

TEST(Files, ReadWriteAndLog) {
    char dir[] = "/tmp/hm_string_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string file = std::string(dir) + "/f.bin";
    const char data[] = "ab\0cd";
    EXPECT_EQ(Com_WriteFile(file.c_str(), 5, data), 5);
    void *buf = nullptr;
    ASSERT_EQ(Com_ReadFile(file.c_str(), &buf), 5);
    EXPECT_EQ(memcmp(buf, data, 5), 0);
    EXPECT_EQ(static_cast<char *>(buf)[5], 0);
    Com_FreeFile(buf);
    EXPECT_EQ(Com_ReadFile(file.c_str(), nullptr), -1);
    EXPECT_EQ(Com_ReadFile((std::string(dir) + "/none").c_str(), &buf), -1);
    EXPECT_EQ(buf, nullptr);
    EXPECT_EQ(Com_WriteFile((std::string(dir) + "/no/such").c_str(), 1, "x"), -1);
    {
        PrintCapture quiet;
        EXPECT_EQ(Com_ReadFile(dir, &buf), -1);  // a directory is no file
        EXPECT_EQ(buf, nullptr);
    }

    const std::string log = std::string(dir) + "/log.txt";
    Com_WriteFile(log.c_str(), 3, "old");
    Com_InitLog(log.c_str());
    Com_Log("line %d\n", 1);
    Com_Log("%s", "two\n");
    Com_InitLog("");
    Com_Log("not written\n");
    ASSERT_EQ(Com_ReadFile(log.c_str(), &buf), 11);
    EXPECT_STREQ(static_cast<char *>(buf), "line 1\ntwo\n");
    Com_FreeFile(buf);

    FILE *f = fopen(log.c_str(), "rb");
    EXPECT_EQ(Com_FileSize(f), 11);
    EXPECT_EQ(ftell(f), 0);
    fclose(f);
    EXPECT_EQ(Com_FileSize(nullptr), 0);
    unlink(file.c_str());
    unlink(log.c_str());
    rmdir(dir);
}

// A file too large for one block (sparse, so it costs no disk) is refused by name
// instead of wrapping the size.
TEST(Files, FileTooLargeForABlockIsRefused) {
    char dir[] = "/tmp/hm_big_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string file = std::string(dir) + "/big.bin";
    FILE *f = fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const bool sparse = ftruncate(fileno(f), 0x80000000LL) == 0;
    fclose(f);
    if (sparse) {
        PrintCapture capture;
        void *buf = reinterpret_cast<void *>(1);
        EXPECT_EQ(Com_ReadFile(file.c_str(), &buf), -1);
        EXPECT_EQ(buf, nullptr);
        EXPECT_EQ(hm_test::PrintedText(), "Com_ReadFile: " + file + " is too large");
    }
    unlink(file.c_str());
    rmdir(dir);
    if (!sparse) GTEST_SKIP() << "no sparse files here";
}

// Random bytes stand for a hostile configuration file or command line: every
// token must end within its buffer and the parser must reach the text's end.
TEST(Parser, HostileBytesNeverOverrunOrStall) {
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    const char alphabet[] = "ab{};\"'/*\n\r\t \x01\xA4\xFF";
    for (int round = 0; round < 300; round++) {
        std::string text(next() % 3000, ' ');
        for (char &c : text) c = (next() >> 8) % 4 ? alphabet[(next() >> 8) % (sizeof alphabet - 1)] : 'w';
        for (int mode = 0; mode < 3; mode++) {
            const char *p = text.c_str();
            for (int calls = 0; *p && calls < 10000; calls++) {
                const char *before = p;
                const char *t = mode == 0   ? Com_ParseCurly(&p, true)
                                : mode == 1 ? Com_ParseSemi(&p, calls % 2)
                                            : Com_ParseWithBreaker(&p, ";", true);
                ASSERT_LT(strlen(t), size_t(MAX_TOKEN_CHARS));
                ASSERT_GE(p, text.c_str());
                ASSERT_LE(p, text.c_str() + text.size());
                if (p == before) p++;  // a control byte or a line break held back: step over it
            }
            EXPECT_EQ(*p, 0);
        }
        Com_TokenizeString(text.c_str());
        for (int i = 0; i < Com_Argc(); i++) ASSERT_LT(strlen(Com_Argv(i)), size_t(MAX_STRING_CHARS));
    }
}

}  // namespace
