#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "common/com_msg.h"

namespace {

// msg_t is 14 KB: keep them off the stack.
std::unique_ptr<msg_t> NewMsg() {
    auto m = std::make_unique<msg_t>();
    memset(m.get(), 0, sizeof(msg_t));
    return m;
}

// Writes `pad` bits of a marker, then every value kind, and reads them back from
// the same offset: the stream must not depend on where a value starts.
TEST(Msg, EveryValueKindRoundTripsAtEveryBitOffset) {
    auto m = NewMsg();
    const float vec[3] = {1.5f, -0.0f, 3.0e-38f};
    const byte raw[5] = {0x00, 0xFF, 0x81, 0x7E, 0x55};
    for (int pad = 0; pad < 8; pad++) {
        SCOPED_TRACE(pad);
        memset(m->data, 0xCC, sizeof m->data);  // stale bytes must not leak into reads
        Msg_WriteBegin(m.get());
        const uint32_t marker = 0x5A;
        ASSERT_EQ(Msg_WriteBits(&marker, pad), 1);
        Msg_WriteByte(0xF1);
        Msg_WriteChar(-7);
        Msg_WriteShort(-32768);
        Msg_WriteLong(INT32_MIN + 3);
        Msg_WriteFloat(-1.25f);
        Msg_WriteVec3(vec);
        Msg_WriteBytes(raw, 5);
        Msg_WriteFixedString("abc", 3);
        Msg_WriteString("hello world");
        Msg_WriteSPrintf("n=%d", 42);
        const uint32_t odd = 0x1ABCD;  // 17 bits
        Msg_WriteBits(&odd, 17);
        ASSERT_FALSE(m->overflowed);

        Msg_ReadBegin(m.get());
        uint32_t back = 0;
        ASSERT_EQ(Msg_ReadBits(&back, pad), 1);
        EXPECT_EQ(back, marker & ((1u << pad) - 1));
        EXPECT_EQ(Msg_ReadByte(), 0xF1);
        EXPECT_EQ(Msg_ReadChar(), -7);
        EXPECT_EQ(Msg_ReadShort(), -32768);
        EXPECT_EQ(Msg_ReadLong(), INT32_MIN + 3);
        EXPECT_EQ(Msg_ReadFloat(), -1.25f);
        float v[3];
        ASSERT_EQ(Msg_ReadVec3(v), 1);
        EXPECT_EQ(memcmp(v, vec, sizeof v), 0);
        byte r[5];
        ASSERT_EQ(Msg_ReadBytes(r, 5), 1);
        EXPECT_EQ(memcmp(r, raw, 5), 0);
        char fs[3];
        ASSERT_EQ(Msg_ReadFixedString(fs, 3), 1);
        EXPECT_EQ(std::string(fs, 3), "abc");
        char s[64];
        EXPECT_EQ(Msg_ReadString(s, sizeof s), 11);
        EXPECT_STREQ(s, "hello world");
        char p[5];
        ASSERT_EQ(Msg_ReadBytes(p, 5), 1);
        EXPECT_STREQ(p, "n=42");
        uint32_t o = 0xFFFFFFFFu;
        ASSERT_EQ(Msg_ReadBits(&o, 17), 1);
        EXPECT_EQ(o, 0xFFFE0000u | odd);  // bits beyond 17 keep their value
        EXPECT_EQ(Msg_GetReadBits(), m->curBits);
        EXPECT_TRUE(Msg_IsEOF());
        EXPECT_FALSE(m->overflowed);
    }
}

TEST(Msg, BitsPackLeastSignificantFirst) {
    auto m = NewMsg();
    Msg_WriteBegin(m.get());
    const byte five = 5;
    Msg_WriteBits(&five, 3);
    Msg_WriteByte(0xFF);
    EXPECT_EQ(m->curBits, 11);
    EXPECT_EQ(m->data[0], 0xFD);
    EXPECT_EQ(m->data[1], 0x07);
    Msg_WriteBegin(m.get());
    Msg_WriteLong(0x11223344);
    EXPECT_EQ(memcmp(m->data, "\x44\x33\x22\x11", 4), 0);
}

TEST(Msg, WritingPastTheEndOverflowsAndKeepsTheLength) {
    auto m = NewMsg();
    Msg_WriteBegin(m.get());
    static byte big[MAX_MSGLEN];
    EXPECT_EQ(Msg_WriteBits(big, MAX_MSGBITS), 1);
    EXPECT_FALSE(m->overflowed);
    EXPECT_FALSE(Msg_WriteIsRoom(1));
    const byte one = 1;
    EXPECT_EQ(Msg_WriteBits(&one, 1), 0);
    EXPECT_TRUE(m->overflowed);
    EXPECT_EQ(m->curBits, MAX_MSGBITS);
    EXPECT_EQ(Msg_WriteLong(1), 0);
    EXPECT_EQ(Msg_WriteString("x"), 0);
    EXPECT_EQ(m->curBits, MAX_MSGBITS);
    Msg_WriteBegin(m.get());
    EXPECT_FALSE(m->overflowed);  // only a new Begin clears the flag
    EXPECT_EQ(Msg_WriteBits(&one, 0), 1);
    EXPECT_EQ(Msg_WriteBits(&one, -5), 1);
    EXPECT_EQ(m->curBits, 0);
}

TEST(Msg, WriteSPrintfCutsAtTheLastByteOfAMessage) {
    auto m = NewMsg();
    Msg_WriteBegin(m.get());
    const std::string huge(20000, 'q');
    EXPECT_EQ(Msg_WriteSPrintf("%s", huge.c_str()), 1);
    EXPECT_EQ(m->curBits, MAX_MSGBITS);
    EXPECT_EQ(m->data[MAX_MSGLEN - 1], 0);
    EXPECT_EQ(m->data[MAX_MSGLEN - 2], 'q');
}

// Each reader on a message that ends one bit too early: failure value, overflow,
// position unchanged, destination unchanged.
TEST(Msg, ReadsPastTheEndYieldThePastTheEndValues) {
    auto m = NewMsg();
    struct Case {
        const char *name;
        int needBits;
        std::function<bool()> readFails;
    };
    const Case cases[] = {
        {"byte", 8, [] { return Msg_ReadByte() == 0; }},
        {"char", 8, [] { return Msg_ReadChar() == 0; }},
        {"short", 16, [] { return Msg_ReadShort() == -666; }},
        {"long", 32, [] { return Msg_ReadLong() == -666; }},
        {"float", 32, [] { return Msg_ReadFloat() == -666.0f; }},
        {"vec3", 96, [] {
             float v[3] = {9, 9, 9};
             return Msg_ReadVec3(v) == 0 && v[0] == 9 && v[1] == 9 && v[2] == 9;
         }},
        {"bytes", 40, [] {
             byte b[5] = {1, 2, 3, 4, 5};
             return Msg_ReadBytes(b, 5) == 0 && b[0] == 1 && b[4] == 5;
         }},
        {"fixed", 24, [] {
             char b[3] = {'x', 'y', 'z'};
             return Msg_ReadFixedString(b, 3) == 0 && b[0] == 'x';
         }},
        {"bits", 20, [] {
             uint32_t v = 0xDEADBEEF;
             return Msg_ReadBits(&v, 20) == 0 && v == 0xDEADBEEF;
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        memset(m->data, 0xFF, sizeof m->data);
        m->curBits = 3 + c.needBits - 1;
        Msg_ReadBegin(m.get());
        byte skip;
        Msg_ReadBits(&skip, 3);
        EXPECT_TRUE(c.readFails());
        EXPECT_TRUE(m->overflowed);
        EXPECT_EQ(Msg_GetReadBits(), 3);
    }
}

TEST(Msg, ReadStringIsBoundedByTheMessageAndTheDestination) {
    auto m = NewMsg();
    char dest[32];

    // Length field 500 with 10 bytes behind it: those 10 bytes, and the message is
    // marked as read past its end.
    Msg_WriteBegin(m.get());
    Msg_WriteShort(500);
    Msg_WriteBytes("0123456789", 10);
    Msg_ReadBegin(m.get());
    EXPECT_EQ(Msg_ReadString(dest, sizeof dest), 10);
    EXPECT_STREQ(dest, "0123456789");
    EXPECT_TRUE(m->overflowed);

    // A negative length yields an empty text.
    Msg_WriteBegin(m.get());
    Msg_WriteShort(-2);
    Msg_WriteByte('z');
    Msg_ReadBegin(m.get());
    strcpy(dest, "old");
    EXPECT_EQ(Msg_ReadString(dest, sizeof dest), 0);
    EXPECT_STREQ(dest, "");
    EXPECT_EQ(Msg_ReadByte(), 'z');

    // The length itself missing: empty text, overflow.
    Msg_WriteBegin(m.get());
    Msg_WriteByte(3);
    Msg_ReadBegin(m.get());
    EXPECT_EQ(Msg_ReadString(dest, sizeof dest), 0);
    EXPECT_STREQ(dest, "");
    EXPECT_TRUE(m->overflowed);

    // Longer than the destination: cut and terminated, and the next field is read
    // from where it was written.
    Msg_WriteBegin(m.get());
    Msg_WriteString("abcdefghij");
    Msg_WriteLong(77);
    Msg_ReadBegin(m.get());
    char small[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(Msg_ReadString(small, sizeof small), 3);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(Msg_ReadLong(), 77);
    EXPECT_FALSE(m->overflowed);
}

TEST(Msg, WriteSetBitsComesBackToFillAField) {
    auto m = NewMsg();
    Msg_WriteBegin(m.get());
    Msg_WriteByte(1);
    const int at = Msg_WriteGetBits();
    Msg_WriteShort(0);
    Msg_WriteLong(99);
    const int end = Msg_WriteGetBits();
    Msg_WriteSetBits(at);
    Msg_WriteShort(1234);
    Msg_WriteSetBits(end);
    Msg_ReadBegin(m.get());
    EXPECT_EQ(Msg_ReadByte(), 1);
    EXPECT_EQ(Msg_ReadShort(), 1234);
    EXPECT_EQ(Msg_ReadLong(), 99);
}

std::string Args() {
    std::string s;
    for (int i = 0; i < Msg_Argc(); i++) s += std::string("[") + Msg_Argv(i) + "]";
    return s;
}

void TokenizeBytes(msg_t *m, const void *bytes, int n, int readBits = 0) {
    Msg_WriteBegin(m);
    Msg_WriteBytes(bytes, n);
    Msg_ReadBegin(m);
    m->readBits = readBits;
    Msg_ReadTokenize();
}

TEST(Msg, TokenizeSplitsTheTextLikeTheCommandLine) {
    auto m = NewMsg();
    struct Case {
        const char *text;
        const char *args;
    } const cases[] = {
        {"set name \"two words\"", "[set][name][two words]"},
        {"a  ", "[a][]"},
        {"a ", "[a]"},
        {"   ", "[]"},
        {"rcon 0123 \"status\"", "[rcon][0123][status]"},
        {"tab\there x", "[tab\there][x]"},
        {"a\"b c\"", "[a][b c]"},
        {"", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        TokenizeBytes(m.get(), c.text, static_cast<int>(strlen(c.text)) + 1);
        EXPECT_EQ(Args(), c.args);
        EXPECT_EQ(Msg_Argv(-1), std::string());
        EXPECT_EQ(Msg_Argv(Msg_Argc()), std::string());
    }
}

TEST(Msg, TokenizeReadsOnlyTheBytesThatArrived) {
    auto m = NewMsg();
    // A long text first leaves its bytes behind in the buffers.
    TokenizeBytes(m.get(), "stale words that must not come back", 36);
    // Then a text without a terminating 0 byte, shorter than the first.
    TokenizeBytes(m.get(), "poll", 4);
    EXPECT_EQ(Args(), "[poll]");

    // A full message of letters without any 0 byte.
    static char full[MAX_MSGLEN];
    memset(full, 'x', sizeof full);
    TokenizeBytes(m.get(), full, MAX_MSGLEN);
    ASSERT_EQ(Msg_Argc(), 1);
    EXPECT_EQ(strlen(Msg_Argv(0)), static_cast<size_t>(MAX_MSGLEN));

    // The read position is rounded up to a byte and stays at the start of the text.
    byte bytes[] = {0x01, 'h', 'i', 0};
    TokenizeBytes(m.get(), bytes, 4, 3);
    EXPECT_EQ(Args(), "[hi]");
    EXPECT_EQ(Msg_GetReadBits(), 8);

    // A read position past the end yields no arguments.
    TokenizeBytes(m.get(), "ab", 2, 17);
    EXPECT_EQ(Msg_Argc(), 0);
}

TEST(Msg, TokenizeStopsAtTheArgumentLimit) {
    auto m = NewMsg();
    std::string text;
    for (int i = 0; i < 1500; i++) text += "a ";
    TokenizeBytes(m.get(), text.c_str(), static_cast<int>(text.size()) + 1);
    EXPECT_EQ(Msg_Argc(), MAX_MSG_ARGS);
}

netadr_t Ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint16_t port = 0, uint16_t qport = 0) {
    return netadr_t{NA_IP, {a, b, c, d}, port, qport};
}

TEST(Address, CompareHonoursTypeAndUnsetQport) {
    const netadr_t a = Ip(10, 0, 0, 1, 14666, 0);
    const netadr_t b = Ip(10, 0, 0, 1, 14666, 77);
    const netadr_t c = Ip(10, 0, 0, 1, 14666, 78);
    EXPECT_TRUE(Com_adrcmp(&a, &b));
    EXPECT_FALSE(Com_adrcmp(&b, &c));
    const netadr_t d = Ip(10, 0, 0, 1, 14667);
    EXPECT_FALSE(Com_adrcmp(&a, &d));
    EXPECT_TRUE(Com_adrcmpip(&a, &d));
    const netadr_t local1{NA_LOCAL, {1, 2, 3, 4}, 5, 6};
    const netadr_t local2{NA_LOCAL, {0, 0, 0, 0}, 0, 0};
    EXPECT_TRUE(Com_adrcmp(&local1, &local2));
    EXPECT_FALSE(Com_adrcmp(&local1, &a));
    EXPECT_FALSE(Com_adrcmp(&a, &local1));
    netadr_t e{};
    Com_adrcpy(&e, &c);
    EXPECT_EQ(memcmp(&e, &c, sizeof e), 0);
    netadr_t f = Ip(1, 2, 3, 4, 9, 9);
    Com_adrcpyip(&f, &a);
    EXPECT_EQ(std::string(Com_adrstr(&f)), "10.0.0.1:9");
    EXPECT_EQ(f.qport, 9);
}

TEST(Address, TextForms) {
    const netadr_t a = Ip(192, 168, 0, 10, 27000);
    EXPECT_STREQ(Com_adrstr(&a), "192.168.0.10:27000");
    EXPECT_STREQ(Com_adrstrip(&a), "192.168.0.10");
    const netadr_t local{NA_LOCAL, {}, 0, 0};
    EXPECT_STREQ(Com_adrstr(&local), "LOCAL");
    EXPECT_STREQ(Com_adrstrip(&local), "Local");
    const netadr_t bad{0, {}, 0, 0};
    EXPECT_STREQ(Com_adrstr(&bad), "BAD");
    EXPECT_STREQ(Com_adrstrip(&bad), "Bad");
}

TEST(Address, PrivateRanges) {
    struct Case {
        netadr_t a;
        bool lan;
    } const cases[] = {
        {Ip(172, 20, 1, 1), true},    {Ip(172, 31, 255, 255), true}, {Ip(172, 32, 0, 1), false},
        {Ip(172, 15, 0, 1), false},   {Ip(10, 9, 8, 7), true},       {Ip(192, 168, 3, 4), true},
        {Ip(192, 169, 0, 1), false},  {Ip(169, 254, 1, 1), true},    {Ip(127, 0, 0, 2), true},
        {Ip(8, 8, 8, 8), false},      {{NA_LOCAL, {}, 0, 0}, true},  {{0, {10, 0, 0, 1}, 0, 0}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(Com_adrstr(&c.a));
        EXPECT_EQ(Com_IsLAN(&c.a), c.lan);
    }
}

}  // namespace
