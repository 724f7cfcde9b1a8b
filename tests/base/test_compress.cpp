#include <gtest/gtest.h>

#include <zlib.h>

#include <memory>
#include <random>
#include <vector>

#include "base/compress.h"

namespace {

using Bytes = std::vector<byte>;

Bytes Encode(const Bytes &in) {
    Bytes out(static_cast<size_t>(Com_RunLengthBound(static_cast<int>(in.size()))) + 1);
    const int n = Com_RunLengthEncode(out.data(), static_cast<int>(out.size()), in.data(),
                                      static_cast<int>(in.size()));
    EXPECT_GE(n, 0);
    out.resize(static_cast<size_t>(n < 0 ? 0 : n));
    return out;
}

Bytes Distinct(int n) {
    Bytes b(static_cast<size_t>(n));
    for (int i = 0; i < n; i++) b[static_cast<size_t>(i)] = static_cast<byte>(i);
    return b;
}

TEST(RunLength, EncodesGroupsAsDocumented) {
    EXPECT_EQ(Encode({0x41, 0x41, 0x41, 0x42, 0x43, 0x43}),
              (Bytes{131, 0x41, 1, 0x42, 130, 0x43}));
    EXPECT_EQ(Encode(Bytes(200, 7)), (Bytes{255, 7, 201, 7}));
    const Bytes lit = Encode(Distinct(130));
    ASSERT_EQ(lit.size(), 132u);
    EXPECT_EQ(lit[0], 127);
    EXPECT_EQ(lit[128], 3);
    EXPECT_EQ(Encode({}), Bytes{});
}

TEST(RunLength, RoundTripsRandomDataAtTheWorstCaseBound) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; round++) {
        Bytes in(rng() % 700);
        // Few values so that runs and literal groups alternate.
        for (byte &b : in) b = static_cast<byte>(rng() % (round % 5 + 1));
        const Bytes code = Encode(in);
        ASSERT_LE(code.size(), static_cast<size_t>(Com_RunLengthBound(static_cast<int>(in.size()))));
        Bytes back(in.size());
        EXPECT_EQ(Com_RunLengthDecode(back.data(), static_cast<int>(back.size()), code.data(),
                                      static_cast<int>(code.size())),
                  static_cast<int>(in.size()));
        EXPECT_EQ(back, in);
    }
    // A lone byte before each pair costs four bytes for three: the bound is reached.
    Bytes worst(301);
    for (size_t i = 0; i < worst.size(); i++) worst[i] = static_cast<byte>(i % 3 ? i / 3 % 2 : 9);
    Bytes out(static_cast<size_t>(Com_RunLengthBound(301)));
    EXPECT_EQ(Com_RunLengthEncode(out.data(), static_cast<int>(out.size()), worst.data(), 301),
              Com_RunLengthBound(301));
}

TEST(RunLength, EncoderRefusesTooSmallOutput) {
    const Bytes in = Distinct(10);
    Bytes out(10);
    EXPECT_EQ(Com_RunLengthEncode(out.data(), 10, in.data(), 10), -1);
    EXPECT_EQ(Com_RunLengthEncode(out.data(), 1, Bytes(5, 1).data(), 5), -1);
}

TEST(RunLength, DecoderNeverWritesPastItsOutput) {
    struct Case {
        Bytes stream;
        int outSize;
        int want;
    } cases[] = {
        {{255, 9}, 126, -1},             // a run longer than the room
        {{255, 9}, 127, 127},
        {{3, 1, 2, 3, 130, 4}, 4, -1},   // a literal group fits, the run behind it does not
        {{5, 1, 2}, 1, -1},              // a cut literal group still bigger than the room
        {{5, 1, 2}, 2, 2},               // a cut literal group yields what is there
        {{0, 128, 7, 2, 1, 2}, 2, 2},    // empty groups take their bytes and write nothing
        {{1, 1, 200}, 8, 1},             // a run control byte in the last place writes nothing
    };
    for (const Case &c : cases) {
        // Exactly outSize bytes on the heap, so the sanitizer sees any overrun.
        std::unique_ptr<byte[]> out(new byte[static_cast<size_t>(c.outSize ? c.outSize : 1)]);
        EXPECT_EQ(Com_RunLengthDecode(out.get(), c.outSize, c.stream.data(),
                                      static_cast<int>(c.stream.size())),
                  c.want)
            << "stream of " << c.stream.size() << " bytes into " << c.outSize;
    }
}

TEST(Huffman, DistributionCountsEveryByte) {
    int32_t counts[HUFF_SYMBOLS];
    const byte data[] = {0, 0, 5, 255, 0};
    Com_HuffDistribution(counts, data, 5);
    EXPECT_EQ(counts[0], 3);
    EXPECT_EQ(counts[5], 1);
    EXPECT_EQ(counts[255], 1);
    EXPECT_EQ(counts[1], 0);
}

TEST(Huffman, EqualCountsGiveEveryByteAnEightBitCode) {
    int32_t counts[HUFF_SYMBOLS];
    for (int32_t &c : counts) c = 10;
    auto tree = std::make_unique<huffTree_t>();
    Com_HuffTree(tree.get(), counts);
    EXPECT_EQ(tree->nodeCount, 511);
    for (int b = 0; b < HUFF_SYMBOLS; b++) EXPECT_EQ(tree->codes[b].length, 8) << b;
}

TEST(Huffman, TrafficTableMatchesItsKnownRowsAndStaysWithin16Bits) {
    int64_t sum = 0;
    int32_t smallest = INT32_MAX;
    for (int32_t c : net_dist) {
        sum += c;
        smallest = std::min(smallest, c);
    }
    EXPECT_EQ(sum, 3312915);
    EXPECT_EQ(smallest, 1968);
    EXPECT_EQ(net_dist[0], 752595);
    EXPECT_EQ(net_dist[1], 87947);
    EXPECT_EQ(net_dist[3], 286369);
    EXPECT_EQ(net_dist[4], 317269);
    EXPECT_EQ(net_dist[32], 31609);
    EXPECT_EQ(net_dist[255], 13306);
    auto tree = std::make_unique<huffTree_t>();
    Com_HuffTree(tree.get(), net_dist);
    for (int b = 0; b < HUFF_SYMBOLS; b++) {
        EXPECT_GE(tree->codes[b].length, 1);
        EXPECT_LE(tree->codes[b].length, 16);
    }
    EXPECT_LT(tree->codes[0].length, tree->codes[255].length);
}

TEST(Huffman, RoundTripsAndHandlesCodesLongerThan16Bits) {
    // Fibonacci-like counts build the deepest possible tree: codes up to 255 bits.
    int32_t skewed[HUFF_SYMBOLS];
    for (int b = 0; b < HUFF_SYMBOLS; b++) skewed[b] = b < 30 ? (1 << b) : (1 << 30);
    std::mt19937 rng(3);
    for (const int32_t *counts : {net_dist, static_cast<const int32_t *>(skewed)}) {
        auto tree = std::make_unique<huffTree_t>();
        Com_HuffTree(tree.get(), counts);
        Bytes in(3000);
        for (byte &b : in) b = static_cast<byte>(rng());
        Bytes code(in.size() * HUFF_MAX_CODE / 8 + 1);
        const int bits = Com_HuffEncode(code.data(), static_cast<int>(code.size()), in.data(),
                                        static_cast<int>(in.size()), tree.get());
        ASSERT_GT(bits, 0);
        Bytes back(in.size());
        EXPECT_EQ(Com_HuffDecode(back.data(), static_cast<int>(back.size()), code.data(), bits,
                                 tree.get()),
                  static_cast<int>(in.size()));
        EXPECT_EQ(back, in);
        // One byte less of room is refused on both sides.
        EXPECT_EQ(Com_HuffDecode(back.data(), static_cast<int>(back.size()) - 1, code.data(), bits,
                                 tree.get()),
                  -1);
        EXPECT_EQ(Com_HuffEncode(code.data(), (bits - 1) / 8, in.data(),
                                 static_cast<int>(in.size()), tree.get()),
                  -1);
    }
}

TEST(Huffman, DecoderRefusesHostileStreams) {
    auto tree = std::make_unique<huffTree_t>();
    const int32_t *counts = net_dist;
    Com_HuffTree(tree.get(), counts);
    std::mt19937 rng(11);
    for (int round = 0; round < 300; round++) {
        Bytes in(1 + rng() % 64);
        for (byte &b : in) b = static_cast<byte>(rng());
        const int bits = static_cast<int>(in.size() * 8 - rng() % 8);
        const int outSize = static_cast<int>(rng() % 100);
        std::unique_ptr<byte[]> out(new byte[static_cast<size_t>(outSize) + 1]);
        const int n = Com_HuffDecode(out.get(), outSize, in.data(), bits, tree.get());
        EXPECT_LE(n, outSize);
    }
    // A stream that stops inside a code: the byte 0 has a short code, cut it by one bit.
    const byte zero = 0;
    byte code[4] = {};
    const int bits = Com_HuffEncode(code, sizeof code, &zero, 1, tree.get());
    ASSERT_GT(bits, 1);
    byte out[4];
    EXPECT_EQ(Com_HuffDecode(out, sizeof out, code, bits - 1, tree.get()), -1);
    // A tree that was never built decodes nothing.
    auto empty = std::make_unique<huffTree_t>();
    *empty = huffTree_t{};
    EXPECT_EQ(Com_HuffDecode(out, sizeof out, code, bits, empty.get()), -1);
}

TEST(Zlib, RoundTripsAndRefusesTooLittleRoom) {
    Bytes in(5000);
    for (size_t i = 0; i < in.size(); i++) in[i] = static_cast<byte>((i * 7) % 13);
    Bytes zipped(compressBound(static_cast<uLong>(in.size())));
    const int z = Com_Zip(zipped.data(), static_cast<int>(zipped.size()), in.data(), 9,
                          static_cast<int>(in.size()));
    ASSERT_GT(z, 0);
    EXPECT_EQ(Com_Zip(zipped.data(), z - 1, in.data(), 9, static_cast<int>(in.size())), -1);
    EXPECT_EQ(Com_Zip(zipped.data(), static_cast<int>(zipped.size()), in.data(), 42,
                      static_cast<int>(in.size())),
              -1);

    Bytes back(in.size());
    EXPECT_EQ(Com_Unzip(back.data(), static_cast<int>(back.size()), zipped.data(), z),
              static_cast<int>(in.size()));
    EXPECT_EQ(back, in);
    std::unique_ptr<byte[]> small(new byte[in.size() - 1]);
    EXPECT_EQ(Com_Unzip(small.get(), static_cast<int>(in.size()) - 1, zipped.data(), z), -1);
    EXPECT_EQ(Com_Unzip(back.data(), static_cast<int>(back.size()), zipped.data(), z - 3), -1);
    zipped[z / 2] ^= 0x55;  // a damaged stream fails its checks
    EXPECT_EQ(Com_Unzip(back.data(), static_cast<int>(back.size()), zipped.data(), z), -1);
}

}  // namespace
