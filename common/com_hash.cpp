#include "common/com_hash.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---- MD5 (RFC 1321) ----

// Sine-derived additive constants, one per step.
static constexpr uint32_t md5_t[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Left rotations of each round's four steps.
static constexpr int md5_shift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

static inline uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

static inline uint32_t ReadLE32(const byte *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

static inline void WriteLE32(byte *p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = static_cast<byte>(v >> (8 * i));
}

void md5_init(md5_state_t *state) {
    state->count[0] = state->count[1] = 0;
    state->abcd[0] = 0x67452301;
    state->abcd[1] = 0xEFCDAB89;
    state->abcd[2] = 0x98BADCFE;
    state->abcd[3] = 0x10325476;
}

void md5_process(md5_state_t *state, const byte block[MD5_BLOCK_SIZE]) {
    uint32_t x[16];
    for (int i = 0; i < 16; i++) x[i] = ReadLE32(block + 4 * i);
    uint32_t a = state->abcd[0], b = state->abcd[1], c = state->abcd[2], d = state->abcd[3];
    for (int i = 0; i < 64; i++) {
        const int round = i / 16;
        uint32_t f;
        int k;
        switch (round) {
        case 0: f = (b & c) | (~b & d); k = i; break;
        case 1: f = (b & d) | (c & ~d); k = (5 * i + 1) & 15; break;
        case 2: f = b ^ c ^ d; k = (3 * i + 5) & 15; break;
        default: f = c ^ (b | ~d); k = (7 * i) & 15; break;
        }
        const uint32_t rotated = Rotl(a + f + md5_t[i] + x[k], md5_shift[round][i & 3]);
        a = d;
        d = c;
        c = b;
        b += rotated;
    }
    state->abcd[0] += a;
    state->abcd[1] += b;
    state->abcd[2] += c;
    state->abcd[3] += d;
}

void md5_append(md5_state_t *state, const byte *data, int length) {
    if (length <= 0) return;
    const uint32_t used = (state->count[0] >> 3) & (MD5_BLOCK_SIZE - 1);
    const uint32_t bits = static_cast<uint32_t>(length) << 3;
    state->count[1] += static_cast<uint32_t>(length) >> 29;
    state->count[0] += bits;
    if (state->count[0] < bits) state->count[1]++;

    size_t left = static_cast<size_t>(length);
    if (used) {
        const size_t take = left < MD5_BLOCK_SIZE - used ? left : MD5_BLOCK_SIZE - used;
        memcpy(state->buf + used, data, take);
        data += take;
        left -= take;
        if (used + take < MD5_BLOCK_SIZE) return;
        md5_process(state, state->buf);
    }
    for (; left >= MD5_BLOCK_SIZE; left -= MD5_BLOCK_SIZE, data += MD5_BLOCK_SIZE) md5_process(state, data);
    if (left) memcpy(state->buf, data, left);
}

void md5_finish(md5_state_t *state, byte digest[MD5_DIGEST_SIZE]) {
    // The length is taken before the padding changes it.
    byte length[8];
    WriteLE32(length, state->count[0]);
    WriteLE32(length + 4, state->count[1]);
    static constexpr byte pad[MD5_BLOCK_SIZE] = {0x80};
    const uint32_t used = (state->count[0] >> 3) & (MD5_BLOCK_SIZE - 1);
    const uint32_t padLen = used < 56 ? 56 - used : 120 - used;
    md5_append(state, pad, static_cast<int>(padLen));
    md5_append(state, length, 8);
    for (int i = 0; i < 4; i++) WriteLE32(digest + 4 * i, state->abcd[i]);
}

byte *Com_GetMD5(byte *out, const void *data, int length) {
    static byte digests[MD5_RESULT_BUFFERS][MD5_DIGEST_SIZE];
    static int index;
    if (!out) {
        index = (index + 1) % MD5_RESULT_BUFFERS;
        out = digests[index];
    }
    md5_state_t state;
    md5_init(&state);
    md5_append(&state, static_cast<const byte *>(data), length);
    md5_finish(&state, out);
    return out;
}

const char *Com_MD52String(const byte *digest) {
    static char text[MD5_TEXT_SIZE];
    for (int i = 0; i < MD5_DIGEST_SIZE; i++) snprintf(text + 2 * i, sizeof text - 2 * i, "%.2x", digest[i]);
    return text;
}

const byte *Com_String2MD5(const char *text) {
    static byte digest[MD5_DIGEST_SIZE];
    for (int i = 0; i < MD5_DIGEST_SIZE && text[0] && text[1]; i++, text += 2) {
        const char pair[3] = {text[0], text[1], 0};
        digest[i] = static_cast<byte>(strtol(pair, nullptr, 16));
    }
    return digest;
}

bool Com_CmpMD5(const byte *a, const byte *b) { return !memcmp(a, b, MD5_DIGEST_SIZE); }

uint32_t Com_GetStrippedMD5(const char *text) {
    byte digest[MD5_DIGEST_SIZE];
    Com_GetMD5(digest, text, static_cast<int>(strlen(text)));
    return ReadLE32(digest);
}

// ---- table CRC ----

static constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; i++) {
        uint32_t c = i;
        for (int k = 0; k < 8; k++) c = (c & 1) ? (c >> 1) ^ CRC_POLYNOMIAL : c >> 1;
        table[i] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> crc_table = MakeCrcTable();
static_assert(crc_table[1] == 0x4328D156);

uint32_t Com_GetCRC(const void *data, int length) {
    if (length < 1) return 0;
    const byte *p = static_cast<const byte *>(data);
    uint32_t crc = 0xFFFFFFFF;
    for (int i = 0; i < length; i++) crc = (crc >> 8) ^ crc_table[(crc ^ p[i]) & 0xFF];
    return ~crc;
}

void Com_DumpCRCTable() {
    const std::array<uint32_t, 256> table = MakeCrcTable();
    FILE *f = fopen("crc.txt", "w+");
    if (!f) {
        Com_Printf("Com_DumpCRCTable: can't write crc.txt\n");
        return;
    }
    for (int line = 0; line < 32; line++) {
        for (int i = 0; i < 8; i++) fprintf(f, "0x%08X, ", table[line * 8 + i]);
        fputs("\n", f);
    }
    fclose(f);
}

// ---- string hash ----

uint32_t Com_GetNoobHash(const char *text) {
    uint32_t h = NOOB_HASH_SEED;
    for (int i = 0; text[i]; i++) {
        // Signed bytes: 128-255 carry set high bits into the word.
        const uint32_t c = static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(text[i])));
        h ^= c << (8 * (i % 4));
        h ^= (h & 0xFF) << 16;  // folded per character: the empty text keeps the seed
    }
    return h;
}
