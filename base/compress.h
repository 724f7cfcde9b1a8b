// Compression helpers: a byte-oriented run-length codec, a Huffman code over a
// fixed table of byte frequencies, and one-shot helpers over zlib's streams.
//
// Every decoder takes the size of its output and never writes past it: a stream
// that would overflow is refused with -1 and the output's contents are undefined.
#pragma once

#include <cstdint>

#include "common/common.h"

constexpr int HUFF_SYMBOLS = 256;   // byte values
constexpr int HUFF_MAX_NODES = 768; // node room; a full tree uses 2 * 256 - 1
constexpr int HUFF_MAX_CODE = 255;  // deepest leaf of a 256-leaf tree, whatever the counts
constexpr int RLE_MAX_GROUP = 127;  // bytes of one literal group or one run

// Output room the run-length encoder needs at most for n input bytes.  The worst
// input alternates one lone byte with a pair: every three bytes cost four.
constexpr int Com_RunLengthBound(int n) { return n + (n + 2) / 3; }

// One node of the Huffman tree; a node with no child0 is a leaf.
struct huffNode_t {
    huffNode_t *next;    // weight-ordered list links
    huffNode_t *prev;
    huffNode_t *parent;
    huffNode_t *child0;  // taken on a clear bit
    huffNode_t *child1;  // taken on a set bit
    byte value;          // byte of a leaf
    int64_t weight;      // sum of the leaf counts below; wide enough for any 256 counts
};

// Code of one byte value: its bits one byte each (0 or 1), root first.
struct huffCode_t {
    int32_t length;
    byte bits[HUFF_MAX_CODE];
    int32_t frequency;
};

// A built Huffman code.  It points into itself: build it in place, never copy it.
struct huffTree_t {
    huffCode_t codes[HUFF_SYMBOLS];
    huffNode_t leaves;  // sentinel of the leaf list, lightest first
    huffNode_t inner;   // sentinel of the internal-node list, lightest first
    int32_t nodeCount;
    huffNode_t *root;   // null until built
    huffNode_t nodes[HUFF_MAX_NODES];  // node k < 256 is the leaf of byte k
};

// Byte frequencies of live traffic from which the transport builds its tree.
extern const int32_t net_dist[HUFF_SYMBOLS];

// Run-length codes length bytes; -1 when the code would not fit outSize bytes
// (Com_RunLengthBound(length) always fits).
int Com_RunLengthEncode(byte *out, int outSize, const byte *in, int length);
// Decodes length stream bytes; bytes written, -1 when they would exceed outSize.
int Com_RunLengthDecode(byte *out, int outSize, const byte *in, int length);

// counts := occurrences of each byte value in the data.
void Com_HuffDistribution(int32_t counts[HUFF_SYMBOLS], const byte *data, int length);
// Builds the tree and every byte value's code from the counts.
void Com_HuffTree(huffTree_t *tree, const int32_t counts[HUFF_SYMBOLS]);
// Writes the codes of the input back to back (stream bit i is bit i % 8 of out[i / 8]);
// bits written, -1 when they would exceed outSize bytes.
int Com_HuffEncode(byte *out, int outSize, const byte *in, int length, const huffTree_t *tree);
// Decodes a stream of bits bits; bytes written, -1 when they would exceed outSize,
// when the stream ends inside a code, or when the tree was never built.
int Com_HuffDecode(byte *out, int outSize, const byte *in, int bits, const huffTree_t *tree);

// One zlib stream at the level (0 to 9, or -1 for zlib's default); its size, -1 when
// deflate cannot start or the stream does not fit outSize bytes.
int Com_Zip(byte *out, int outSize, const byte *in, int level, int length);
// Inflates one zlib stream; its size, -1 on a zlib error, a stream cut short, or
// one that does not fit outSize bytes.  Bytes after the stream's end are ignored.
int Com_Unzip(byte *out, int outSize, const byte *in, int length);
