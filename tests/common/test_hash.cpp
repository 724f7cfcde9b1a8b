#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "common/com_hash.h"

namespace {

const char *Md5Text(const std::string &data) {
    return Com_MD52String(Com_GetMD5(nullptr, data.data(), static_cast<int>(data.size())));
}

TEST(Md5, Rfc1321TestSuite) {
    const struct {
        const char *message, *digest;
    } suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto &c : suite) EXPECT_STREQ(Md5Text(c.message), c.digest) << '"' << c.message << '"';
}

TEST(Md5, PiecewiseAppendEqualsOneAppendAtEveryPadBoundary) {
    // Lengths around the 56-byte padding edge and the block size, fed in odd pieces.
    for (int len : {55, 56, 57, 63, 64, 65, 119, 120, 200}) {
        std::string data;
        for (int i = 0; i < len; i++) data += static_cast<char>(i * 7 + 1);
        byte whole[MD5_DIGEST_SIZE], pieces[MD5_DIGEST_SIZE];
        Com_GetMD5(whole, data.data(), len);
        md5_state_t s;
        md5_init(&s);
        for (int at = 0; at < len; at += 13) {
            md5_append(&s, reinterpret_cast<const byte *>(data.data()) + at, std::min(13, len - at));
            md5_append(&s, reinterpret_cast<const byte *>(data.data()), 0);
            md5_append(&s, reinterpret_cast<const byte *>(data.data()), -5);
        }
        md5_finish(&s, pieces);
        EXPECT_TRUE(Com_CmpMD5(whole, pieces)) << len;
    }
}

TEST(Md5, TwoStaticResultsRotate) {
    const byte *a = Com_GetMD5(nullptr, "a", 1);
    const byte *b = Com_GetMD5(nullptr, "b", 1);
    EXPECT_NE(a, b);
    EXPECT_STREQ(Com_MD52String(a), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Com_GetMD5(nullptr, "c", 1), a);
}

TEST(Md5, TextFormRoundTrips) {
    const byte *digest = Com_GetMD5(nullptr, "\xff\x00", 2);
    const std::string text = Com_MD52String(digest);
    EXPECT_EQ(text.size(), 32u);
    EXPECT_EQ(text.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_TRUE(Com_CmpMD5(Com_String2MD5(text.c_str()), digest));
}

TEST(Md5, StringToDigestKeepsUnreachedBytes) {
    Com_String2MD5("00112233445566778899aabbccddeeff");
    const byte *d = Com_String2MD5("FFzz7");  // "zz" is no hex number; the odd "7" is ignored
    EXPECT_EQ(d[0], 0xFF);
    EXPECT_EQ(d[1], 0x00);
    EXPECT_EQ(d[2], 0x22);  // not reached: the previous call's byte
    EXPECT_EQ(d[15], 0xFF);
    d = Com_String2MD5("3g");  // the valid prefix "3"
    EXPECT_EQ(d[0], 3);
}

TEST(Md5, StrippedIsTheDigestsFirstWordLittleEndian) {
    const byte *d = Com_GetMD5(nullptr, "hello", 5);
    const uint32_t expected = d[0] | d[1] << 8 | d[2] << 16 | uint32_t(d[3]) << 24;
    EXPECT_EQ(Com_GetStrippedMD5("hello"), expected);
    EXPECT_EQ(Com_GetStrippedMD5("hello"), 0x2a40415du);
}

TEST(Crc, TableAndKnownValues) {
    EXPECT_EQ(crc_table[0], 0u);
    EXPECT_EQ(crc_table[1], 0x4328D156u);
    EXPECT_EQ(Com_GetCRC("abc", 3), 0xE621D3F4u);
    EXPECT_EQ(Com_GetCRC("abc", 0), 0u);
    EXPECT_EQ(Com_GetCRC("abc", -1), 0u);
    EXPECT_NE(Com_GetCRC("\x80", 1), Com_GetCRC("\x00", 1));
}

TEST(Crc, DumpWritesTheTable) {
    char dir[] = "/tmp/hm_crc_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir), 0);
    Com_DumpCRCTable();
    FILE *f = fopen("crc.txt", "r");
    ASSERT_NE(f, nullptr);
    char line[256];
    int lines = 0;
    std::string first;
    while (fgets(line, sizeof line, f)) {
        if (!lines) first = line;
        lines++;
    }
    fclose(f);
    EXPECT_EQ(lines, 32);
    EXPECT_EQ(first.rfind("0x00000000, 0x4328D156, ", 0), 0u);
    EXPECT_EQ(first.substr(first.size() - 3), ", \n");
    unlink("crc.txt");
    ASSERT_EQ(chdir(cwd), 0);
    rmdir(dir);
}

TEST(NoobHash, FollowsTheWorkedExamples) {
    const struct {
        const char *text;
        uint32_t hash;
    } cases[] = {
        {"", 0x6704F702},
        {"abc", 0x67049563},
        {"\xE4" "b", 0x98FB6AE6},          // a high byte carries set high bits
        {"maps/dust.vo2", 0x0871DC06},  // longer than a word: shifts wrap every four
    };
    for (const auto &c : cases) EXPECT_EQ(Com_GetNoobHash(c.text), c.hash) << c.text;
}

}  // namespace
