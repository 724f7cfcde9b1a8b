#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <string>
#include <vector>

#include "common/common.h"
#include "tests/support/capture.h"

namespace {

using hm_test::captured;

// Each test starts on an empty, initialised list with capturing sinks.
class MemTest : public ::testing::Test {
protected:
    void SetUp() override {
        hm_test::StartCapture();
        Com_ShutdownMem();
        Com_InitMem();
        captured.prints.clear();
        captured.errors.clear();
    }
    void TearDown() override {
        Com_FlushMem();
        Com_SetupError(nullptr);
        Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    }
    static memblock_t *Header(void *p) { return static_cast<memblock_t *>(p) - 1; }
};

TEST_F(MemTest, WholeSizeRoundsHeaderFenceAndRequestTo64) {
    const uint32_t room = 64 - MEM_OVERHEAD;  // largest request that fits one 64-byte block
    struct { uint32_t request, whole; } cases[] = {
        {0, 64}, {1, 64}, {room, 64}, {room + 1, 128}, {room + 64, 128}, {room + 65, 192},
    };
    for (const auto &c : cases) {
        void *p = Com_malloc(c.request);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(Header(p)->size, c.whole) << "request " << c.request;
        memset(p, 0x5a, c.request);  // the whole user area is usable
        Com_free(p);
    }
    EXPECT_EQ(Com_GetMemUsed(), 0);
    EXPECT_EQ(Com_GetMemBlocks(), 0);
}

// On this host the header is two pointers and three words, padded to 32 bytes, so
// a block's overhead is 36 bytes instead of 24 and every quoted size shifts by 12.
TEST_F(MemTest, WholeSizesOnThisHost) {
    static_assert(sizeof(void *) != 8 || sizeof(memblock_t) == 32);
    if (sizeof(memblock_t) != 32) GTEST_SKIP() << "another header size";
    struct { uint32_t request, whole; } cases[] = {{0, 64}, {28, 64}, {29, 128}, {40, 128}, {92, 128}, {93, 192}};
    for (const auto &c : cases) EXPECT_EQ(Com_MemBlockSize(c.request), c.whole) << c.request;
}

TEST_F(MemTest, ZeroByteRequestTakesOne64ByteBlock) {
    void *p = Com_malloc(0);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Com_GetMemUsed(), 64);
    EXPECT_EQ(Com_GetMemBlocks(), 1);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
}

TEST_F(MemTest, ListShowsOldestFirstAndTagsKeepCountingAcrossInit) {
    void *a = Com_malloc(10);
    void *b = Com_malloc(10);
    EXPECT_EQ(Header(b)->tag, Header(a)->tag + 1);
    Com_MemList();
    ASSERT_EQ(captured.prints.size(), 2u);
    char addr[32];
    snprintf(addr, sizeof addr, "%p", a);
    EXPECT_NE(captured.prints[0].find(addr), std::string::npos);
    EXPECT_EQ(captured.prints[0].rfind("    \xA4" "08", 0), 0u);
    const uint32_t tagB = Header(b)->tag;
    Com_FlushMem();
    Com_ShutdownMem();
    Com_InitMem();
    void *c = Com_malloc(1);
    EXPECT_EQ(Header(c)->tag, tagB + 1);
}

TEST_F(MemTest, FenceOverwriteIsCaughtButSlackIsNot) {
    void *p = Com_malloc(1);
    byte *block = reinterpret_cast<byte *>(Header(p));
    block[sizeof(memblock_t) + 5] = 0xEE;  // slack between the user byte and the fence
    Com_CheckMem();
    EXPECT_TRUE(captured.errors.empty());
    ASSERT_EQ(captured.prints.size(), 1u);
    EXPECT_EQ(captured.prints[0], "Com_CheckMem: mem ok");

    block[Header(p)->size - 4] ^= 0xFF;
    Com_CheckMem();
    ASSERT_EQ(captured.errors.size(), 1u);
    EXPECT_EQ(captured.errors[0].level, ER_FATAL);
    EXPECT_EQ(captured.errors[0].text, "Com_CheckMem: Bad fence");
    Com_free(p);
    ASSERT_EQ(captured.errors.size(), 2u);
    EXPECT_EQ(captured.errors[1].text, "Mem_Free: Bad fence");
    block[Header(p)->size - 4] ^= 0xFF;  // repair so the fixture can release it
}

TEST_F(MemTest, DamagedMagicIsReportedAndTheBlockKept) {
    void *p = Com_malloc(8);
    Header(p)->magic ^= 1;
    Com_CheckMem();
    Com_free(p);
    ASSERT_EQ(captured.errors.size(), 2u);
    EXPECT_EQ(captured.errors[0], (hm_test::errorRecord_t{ER_FATAL, "Com_CheckMem: Bad magic"}));
    EXPECT_EQ(captured.errors[1], (hm_test::errorRecord_t{ER_FATAL, "Mem_Free: Bad magic"}));
    EXPECT_EQ(Com_GetMemBlocks(), 1);  // the sink returned: nothing was released
    Header(p)->magic ^= 1;  // repair so the fixture can release it
}

TEST_F(MemTest, FreeNullChangesNothing) {
    void *keep = Com_malloc(100);
    const int used = Com_GetMemUsed();
    Com_free(nullptr);
    EXPECT_EQ(Com_GetMemUsed(), used);
    EXPECT_TRUE(captured.errors.empty());
    (void)keep;
}

TEST_F(MemTest, EmptyListChecksOkAndStatsPrintZeroes) {
    Com_CheckMem();
    ASSERT_EQ(captured.prints.size(), 1u);
    EXPECT_EQ(captured.prints[0], "Com_CheckMem: mem ok");
    Com_MemStats();
    ASSERT_EQ(captured.prints.size(), 2u);
    EXPECT_EQ(captured.prints[1], "Used: \xA4" "080\xA4" "00 KB in \xA4" "080\xA4" "00 blocks with Hi/Lo \xA4" "080x0\xA4"
                          "00/\xA4" "080xffffffffffffffff");
    void *a = Com_malloc(2000);
    void *b = Com_malloc(10);
    Com_MemStats();
    const uintptr_t lo = std::min(uintptr_t(Header(a)), uintptr_t(Header(b)));
    const uintptr_t hi = std::max(uintptr_t(Header(a)), uintptr_t(Header(b)));
    char tail[80];
    snprintf(tail, sizeof tail, " blocks with Hi/Lo \xA4" "080x%" PRIxPTR "\xA4" "00/\xA4" "080x%" PRIxPTR, hi, lo);
    EXPECT_EQ(captured.prints[2], std::string("Used: \xA4" "082\xA4" "00 KB in \xA4" "082\xA4" "00") + tail);
}

// Blocks from before a shutdown and a new start are off the new list: releasing
// them later must leave the new list and its counters as they are.
TEST_F(MemTest, BlocksFromAnEarlierListAreReleasedWithoutHarmingTheNewOne) {
    void *a = Com_malloc(10);
    void *b = Com_malloc(20);
    void *c = Com_malloc(30);
    Com_ShutdownMem();
    void *d = Com_malloc(40);  // starts a new list
    EXPECT_EQ(Com_GetMemBlocks(), 1);
    Com_free(b);  // the middle of the old list first, then its ends
    Com_free(a);
    Com_free(c);
    EXPECT_EQ(Com_GetMemBlocks(), 1);
    EXPECT_EQ(Com_GetMemUsed(), static_cast<int>(Com_MemBlockSize(40)));
    captured.prints.clear();
    Com_MemList();
    ASSERT_EQ(captured.prints.size(), 1u);
    char addr[32];
    snprintf(addr, sizeof addr, "%p", d);
    EXPECT_NE(captured.prints[0].find(addr), std::string::npos);
    Com_CheckMem();
    EXPECT_TRUE(captured.errors.empty());
    Com_free(d);
    EXPECT_EQ(Com_GetMemBlocks(), 0);
    EXPECT_EQ(Com_GetMemUsed(), 0);
}

TEST_F(MemTest, SecondInitIsAnError) {
    Com_InitMem();
    ASSERT_EQ(captured.errors.size(), 1u);
    EXPECT_EQ(captured.errors[0].text, "Com_InitMem: Memory already initialized");
}

TEST_F(MemTest, ImpossibleRequestFailsWithoutLinkingABlock) {
    EXPECT_EQ(Com_malloc(0xFFFFFFFFu), nullptr);
    ASSERT_FALSE(captured.errors.empty());
    EXPECT_EQ(captured.errors.back().level, ER_FATAL);
    EXPECT_EQ(captured.errors.back().text.rfind("Mem_Alloc: malloc returned NULL", 0), 0u);
    EXPECT_EQ(Com_GetMemBlocks(), 0);
}

}  // namespace
