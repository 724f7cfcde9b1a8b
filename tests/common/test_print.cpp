#include <gtest/gtest.h>

#include <string>

#include "common/common.h"

namespace {

std::string g_last;
int g_calls;
void Sink(const char *text) {
    g_last = text;
    g_calls++;
}

TEST(Print, LongTextIsCutTo1023Characters) {
    Com_SetupPrintf(PRF_SINKS, Sink, Sink);
    const std::string big(5000, 'x');
    Com_Printf("%s", big.c_str());
    EXPECT_EQ(g_last.size(), 1023u);
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
}

TEST(Print, ModesChooseWhereTextGoes) {
    testing::internal::CaptureStdout();
    Com_SetupPrintf(PRF_STDOUT_LF, nullptr, nullptr);
    Com_Printf("abc");
    Com_SetupPrintf(PRF_STDOUT, nullptr, nullptr);
    Com_Printf("def");
    Com_SetupPrintf(PRF_SINKS, nullptr, nullptr);  // no sink: nothing
    Com_Printf("ghi");
    Com_SetupPrintf(7, Sink, Sink);  // unknown mode: nothing
    g_calls = 0;
    Com_Printf("jkl");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "abc\ndef");
    EXPECT_EQ(g_calls, 0);
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
}

std::string g_dev;
void DevSink(const char *text) { g_dev = text; }

TEST(Print, DeveloperTextGoesToTheDeveloperSink) {
    Com_SetupPrintf(PRF_SINKS, Sink, DevSink);
    g_last.clear();
    Com_DPrintf("dev %d", 1);
    Com_Printf("normal %d", 2);
    EXPECT_EQ(g_dev, "dev 1");
    EXPECT_EQ(g_last, "normal 2");
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
}

int g_level = -1;
int ErrorSink(int level, const char *text) {
    g_level = level;
    g_last = text;
    return 7;
}

TEST(Print, ErrorHandsLevelAndTextToTheSinkAndReturnsItsAnswer) {
    Com_SetupError(ErrorSink);
    EXPECT_EQ(Com_Error(ER_WARNING, "w %s", "x"), 7);
    EXPECT_EQ(g_level, ER_WARNING);
    EXPECT_EQ(g_last, "w x");
    Com_SetupError(nullptr);
}

TEST(Print, ErrorWithoutSinkReturnsZero) {
    Com_SetupError(nullptr);
    EXPECT_EQ(Com_Error(ER_FATAL, "x %d", 1), 0);
}

TEST(ByteOrder, LittleEndianHostSwapsOnlyBigEndianReads) {
    Com_InitByteOrder();
    EXPECT_EQ(LELong(0x11223344), 0x11223344);
    EXPECT_EQ(BELong(0x11223344), 0x44332211);
    int16_t v;
    const byte bytes[2] = {0x80, 0x00};
    memcpy(&v, bytes, 2);
    EXPECT_EQ(BEShort(v), -32768);
    EXPECT_EQ(FloatSwap(FloatSwap(1.5f)), 1.5f);
}

TEST(ByteOrder, CursorReadersAdvanceAndSignExtend) {
    const byte data[] = {0xFF, 0xFE, 0x01, 0x02, 0x03, 0x04, 0x80};
    const byte *c = data;
    EXPECT_EQ(Com_GrabBigShort(&c), -2);
    EXPECT_EQ(c, data + 2);
    EXPECT_EQ(Com_GrabLittleLong(&c), 0x04030201);
    EXPECT_EQ(Com_GrabByte(&c), 0x80);
    c = data + 2;
    EXPECT_EQ(Com_GrabBigLong(&c), 0x01020304);
    c = data;
    EXPECT_EQ(Com_GrabLittleShort(&c), -257);
}

}  // namespace
