// Hashes: MD5 digests and their text form, the table CRC, and the string hash.
//
// All three are fixed functions of their input: digests travel between client and
// server and the hashes key stored tables, so their values never change.
#pragma once

#include <array>
#include <cstdint>

#include "common/com_print.h"

constexpr int MD5_DIGEST_SIZE = 16;
constexpr int MD5_BLOCK_SIZE = 64;
constexpr int MD5_TEXT_SIZE = 64;        // buffer of the 32-character text form
constexpr int MD5_RESULT_BUFFERS = 2;    // a Com_GetMD5 result stays valid for one more call
constexpr uint32_t CRC_POLYNOMIAL = 0x4D81FA71;  // reflected; this is not the common CRC-32
constexpr uint32_t NOOB_HASH_SEED = 0x6704F702;

struct md5_state_t {
    uint32_t count[2];             // message length in bits, low word first
    uint32_t abcd[4];              // chaining words
    byte buf[MD5_BLOCK_SIZE];      // the block being filled
};

// The 256 entries of the table CRC, least-significant bit first.
extern const std::array<uint32_t, 256> crc_table;

// Starts a digest with the initial chaining words.
void md5_init(md5_state_t *state);
// Adds length bytes; a length <= 0 adds nothing.
void md5_append(md5_state_t *state, const byte *data, int length);
// Pads, appends the bit count and writes the 16-byte digest.
void md5_finish(md5_state_t *state, byte digest[MD5_DIGEST_SIZE]);
// The block transform: folds one 64-byte block into the chaining words.
void md5_process(md5_state_t *state, const byte block[MD5_BLOCK_SIZE]);

// Digest of length bytes into out, or (out null) into the next of two static buffers; returns it.
byte *Com_GetMD5(byte *out, const void *data, int length);
// The digest as 32 lower-case hexadecimal characters, in a static buffer.
const char *Com_MD52String(const byte *digest);
// Digest from its text form, pair by pair, in a static buffer; bytes the text
// does not reach keep the previous call's values.
const byte *Com_String2MD5(const char *text);
// True when all 16 bytes are equal.
bool Com_CmpMD5(const byte *a, const byte *b);
// The first four digest bytes of text's characters, as a little-endian number.
uint32_t Com_GetStrippedMD5(const char *text);
// The table CRC of length bytes; 0 for length < 1.
uint32_t Com_GetCRC(const void *data, int length);
// Fast string hash for look-up keys; "" gives NOOB_HASH_SEED.
uint32_t Com_GetNoobHash(const char *text);
// Writes the regenerated CRC table to "crc.txt" as 32 lines of eight entries.
void Com_DumpCRCTable();
