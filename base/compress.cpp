// Run-length, Huffman and zlib helpers.
#include "base/compress.h"

#include <zlib.h>

#include <cstring>

// ---- run-length codec ----
//
// Groups: a control byte c of 1 to 127 is followed by c literal bytes; c of 130 to
// 255 by one byte standing for c - 128 copies of itself.  The encoder never writes
// 0, 128 or 129; the decoder takes 0 as an empty literal group and 128 as an empty
// run.

constexpr int RLE_RUN_BASE = 128;

int Com_RunLengthEncode(byte *out, int outSize, const byte *in, int length) {
    int written = 0;
    int literal = -1;  // index of the open literal group's control byte, or -1
    int i = 0;
    while (i < length) {
        int run = 1;
        while (run < RLE_MAX_GROUP && i + run < length && in[i + run] == in[i]) run++;
        if (run >= 2) {
            if (written + 2 > outSize) return -1;
            out[written++] = static_cast<byte>(RLE_RUN_BASE + run);
            out[written++] = in[i];
            literal = -1;
            i += run;
            continue;
        }
        if (literal < 0) {
            if (written + 1 > outSize) return -1;
            literal = written;
            out[written++] = 0;
        }
        if (written + 1 > outSize) return -1;
        out[literal]++;
        out[written++] = in[i];
        if (out[literal] == RLE_MAX_GROUP) literal = -1;
        i++;
    }
    return written;
}

int Com_RunLengthDecode(byte *out, int outSize, const byte *in, int length) {
    int written = 0;
    int i = 0;
    while (i < length) {
        const int c = in[i];
        if (c < RLE_RUN_BASE) {
            // A literal group cut short by the stream's end yields what is there.
            const int avail = length - i - 1;
            const int n = c < avail ? c : avail;
            if (n > outSize - written) return -1;
            memcpy(out + written, in + i + 1, static_cast<size_t>(n));
            written += n;
            i += 1 + c;
        } else {
            // A run control byte in the last position has no byte to repeat.
            if (i + 1 >= length) break;
            const int n = c - RLE_RUN_BASE;
            if (n > outSize - written) return -1;
            memset(out + written, in[i + 1], static_cast<size_t>(n));
            written += n;
            i += 2;
        }
    }
    return written;
}

// ---- Huffman code ----

// The table is data gathered from live traffic (sum 3,312,915); every code it gives
// is at most 16 bits long.
const int32_t net_dist[HUFF_SYMBOLS] = {
    752595, 87947, 10555, 286369,
    317269, 21724, 12873, 13522,
    11127, 18408, 11141, 21742,
    16259, 14116, 20193, 19146,
    5031, 6520, 5877, 3534,
    3795, 3476, 5729, 6890,
    4511, 3024, 6253, 4902,
    3659, 3756, 3705, 6594,
    31609, 9803, 9524, 7449,
    7202, 14183, 11232, 13205,
    6238, 8763, 5556, 8905,
    6378, 5871, 13000, 7125,
    10558, 8451, 8468, 9161,
    11490, 11879, 11776, 12957,
    11206, 10731, 8676, 9121,
    6154, 9735, 8072, 8477,
    10806, 12739, 13724, 7481,
    9546, 12759, 7528, 12765,
    5646, 7219, 8036, 5729,
    10506, 13815, 10640, 12389,
    12766, 7339, 12860, 5865,
    11906, 8079, 11624, 14253,
    14054, 6003, 10812, 14081,
    14250, 10119, 13824, 8573,
    14310, 7811, 12444, 13329,
    6834, 13399, 6072, 12461,
    5726, 8755, 10692, 9625,
    7730, 6559, 13832, 5637,
    7150, 7267, 10124, 6465,
    12330, 8895, 11240, 10805,
    11894, 9059, 8124, 5865,
    6066, 6431, 13800, 8453,
    3586, 5943, 3784, 6661,
    3006, 5635, 4548, 3057,
    4122, 6575, 3712, 4989,
    5494, 3579, 5244, 6729,
    3698, 5159, 6680, 4469,
    6094, 4243, 6068, 5953,
    3850, 3519, 6704, 3181,
    4614, 6763, 6252, 4025,
    4834, 3799, 3688, 4325,
    4286, 3619, 3012, 6321,
    3290, 4623, 5888, 5693,
    6230, 3675, 2972, 6825,
    4562, 3623, 5496, 4565,
    6222, 4659, 4628, 3393,
    3210, 5503, 5840, 3917,
    5894, 5419, 3212, 6905,
    6658, 6839, 5000, 5349,
    6238, 4067, 6244, 3377,
    1968, 5583, 6208, 6141,
    4950, 5915, 6780, 3497,
    6354, 5415, 4792, 5621,
    5614, 3539, 5812, 5825,
    3018, 6815, 4016, 3789,
    4134, 6027, 3084, 6713,
    6178, 5559, 3112, 3237,
    4062, 5315, 3747, 6000,
    6009, 6638, 5503, 5564,
    6357, 3578, 5211, 4264,
    4497, 4678, 4983, 4628,
    3565, 4306, 4531, 5600,
    5481, 5406, 6319, 4044,
    5957, 4074, 5643, 13306,
};

void Com_HuffDistribution(int32_t counts[HUFF_SYMBOLS], const byte *data, int length) {
    memset(counts, 0, sizeof(int32_t) * HUFF_SYMBOLS);
    for (int i = 0; i < length; i++) counts[data[i]]++;
}

// Inserts node before the first node of the list that is heavier, so that equal
// weights keep their order of insertion.
static void Huff_Insert(huffNode_t *list, huffNode_t *node) {
    huffNode_t *at = list->next;
    while (at != list && at->weight <= node->weight) at = at->next;
    node->next = at;
    node->prev = at->prev;
    at->prev->next = node;
    at->prev = node;
}

// Takes the lighter front of the two lists, the leaf list on equal weight; null when
// both are empty.
static huffNode_t *Huff_TakeLightest(huffTree_t *tree) {
    huffNode_t *leaf = tree->leaves.next != &tree->leaves ? tree->leaves.next : nullptr;
    huffNode_t *inner = tree->inner.next != &tree->inner ? tree->inner.next : nullptr;
    huffNode_t *node = leaf;
    if (!leaf || (inner && inner->weight < leaf->weight)) node = inner;
    if (node) {
        node->prev->next = node->next;
        node->next->prev = node->prev;
        node->next = node->prev = nullptr;
    }
    return node;
}

static bool Huff_ListsEmpty(const huffTree_t *tree) {
    return tree->leaves.next == &tree->leaves && tree->inner.next == &tree->inner;
}

void Com_HuffTree(huffTree_t *tree, const int32_t counts[HUFF_SYMBOLS]) {
    memset(tree, 0, sizeof(*tree));
    tree->leaves.next = tree->leaves.prev = &tree->leaves;
    tree->inner.next = tree->inner.prev = &tree->inner;

    for (int b = 0; b < HUFF_SYMBOLS; b++) {
        huffNode_t *leaf = &tree->nodes[tree->nodeCount++];
        leaf->value = static_cast<byte>(b);
        leaf->weight = counts[b];
        tree->codes[b].frequency = counts[b];
        Huff_Insert(&tree->leaves, leaf);
    }

    for (;;) {
        huffNode_t *first = Huff_TakeLightest(tree);
        if (Huff_ListsEmpty(tree)) {
            tree->root = first;
            break;
        }
        huffNode_t *second = Huff_TakeLightest(tree);
        huffNode_t *node = &tree->nodes[tree->nodeCount++];
        node->weight = first->weight + second->weight;
        node->child0 = first;
        node->child1 = second;
        first->parent = second->parent = node;
        Huff_Insert(&tree->inner, node);
    }

    // A leaf's code is its path from the root; walking up gives it in reverse.
    for (int b = 0; b < HUFF_SYMBOLS; b++) {
        huffCode_t *code = &tree->codes[b];
        byte reversed[HUFF_MAX_CODE];
        for (const huffNode_t *n = &tree->nodes[b]; n->parent; n = n->parent)
            reversed[code->length++] = n == n->parent->child1 ? 1 : 0;
        for (int k = 0; k < code->length; k++) code->bits[k] = reversed[code->length - 1 - k];
    }
}

int Com_HuffEncode(byte *out, int outSize, const byte *in, int length, const huffTree_t *tree) {
    const int64_t room = static_cast<int64_t>(outSize) * 8;
    int64_t bit = 0;
    for (int i = 0; i < length; i++) {
        const huffCode_t *code = &tree->codes[in[i]];
        if (bit + code->length > room || bit + code->length > INT32_MAX) return -1;
        for (int k = 0; k < code->length; k++, bit++) {
            const byte mask = static_cast<byte>(1u << (bit & 7));
            if (code->bits[k])
                out[bit >> 3] |= mask;
            else
                out[bit >> 3] &= static_cast<byte>(~mask);
        }
    }
    return static_cast<int>(bit);
}

int Com_HuffDecode(byte *out, int outSize, const byte *in, int bits, const huffTree_t *tree) {
    if (!tree->root) return -1;
    int written = 0;
    int bit = 0;
    while (bit < bits) {
        if (written >= outSize) return -1;
        const huffNode_t *node = tree->root;
        while (node->child0) {
            if (bit >= bits) return -1;  // the stream ends inside a code
            const int set = (in[bit >> 3] >> (bit & 7)) & 1;
            bit++;
            node = set ? node->child1 : node->child0;
        }
        out[written++] = node->value;
    }
    return written;
}

// ---- zlib streams ----

int Com_Zip(byte *out, int outSize, const byte *in, int level, int length) {
    if (outSize < 0 || length < 0) return -1;
    z_stream s{};
    if (deflateInit(&s, level) != Z_OK) return -1;
    s.next_in = const_cast<Bytef *>(in);
    s.avail_in = static_cast<uInt>(length);
    s.next_out = out;
    s.avail_out = static_cast<uInt>(outSize);
    const int ret = deflate(&s, Z_FINISH);
    const int size = static_cast<int>(s.total_out);
    deflateEnd(&s);
    return ret == Z_STREAM_END ? size : -1;
}

int Com_Unzip(byte *out, int outSize, const byte *in, int length) {
    if (outSize < 0 || length < 0) return -1;
    z_stream s{};
    if (inflateInit(&s) != Z_OK) return -1;
    s.next_in = const_cast<Bytef *>(in);
    s.avail_in = static_cast<uInt>(length);
    s.next_out = out;
    s.avail_out = static_cast<uInt>(outSize);
    // All input and all output room are offered at once: anything short of the
    // stream's end is an error, a cut stream or too little room.
    const int ret = inflate(&s, Z_FINISH);
    const int size = static_cast<int>(s.total_out);
    inflateEnd(&s);
    return ret == Z_STREAM_END ? size : -1;
}
