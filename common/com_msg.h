// Bit-level message buffer and network addresses.
//
// Every package of the network protocol is built and read through one msg_t:
// values are appended least significant bit first, so fields of any width pack
// without gaps.  One buffer is the current write buffer and one the current read
// buffer; the typed operations work on them implicitly.
//
// Writers never overrun and readers never read past curBits: a write or read that
// does not fit sets the sticky `overflowed` flag, touches nothing and returns 0
// (the typed readers return the "past the end" values below).  Callers test the
// flag once per message.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/com_print.h"

constexpr int MAX_MSGLEN = 14000;              // bytes of one message
constexpr int MAX_MSGBITS = MAX_MSGLEN * 8;    // 112,000 bits
constexpr int MAX_MSG_ARGS = 1024;             // arguments of Msg_ReadTokenize
constexpr int MAX_ADRSTR = 64;                 // size of an address text buffer
constexpr int MSG_VEC3_BITS = 96;              // three floats

// What a failed typed read yields.
constexpr int16_t MSG_BAD_SHORT = -666;
constexpr int32_t MSG_BAD_LONG = -666;
constexpr float MSG_BAD_FLOAT = -666.0f;

struct msg_t {
    int32_t curBits;   // bits written so far: the message's length in bits
    int32_t readBits;  // bits consumed by reading
    uint8_t overflowed;  // a write or read did not fit; sticky until the next Begin
    byte data[MAX_MSGLEN];
};

// ---- buffer selection and position ----

// Resets curBits and the overflow flag and makes msg the write buffer.
msg_t *Msg_WriteBegin(msg_t *msg);
// Makes msg the write buffer without resetting it.
void Msg_ContinueWrite(msg_t *msg);
// The write buffer (to come back to it after writing another message).
msg_t *Msg_WriteCurrent();
// curBits of the write buffer.
int Msg_WriteGetBits();
// Moves the write position (to rewind, or to come back and fill a field); clamped to the buffer.
void Msg_WriteSetBits(int bits);
// True when bits more bits fit into the write buffer.
bool Msg_WriteIsRoom(int bits);
// Resets readBits and the overflow flag and makes msg the read buffer.
msg_t *Msg_ReadBegin(msg_t *msg);
// The read buffer (to test its overflow flag after a run of reads).
msg_t *Msg_ReadCurrent();
// readBits of the read buffer.
int Msg_GetReadBits();
// True when fewer than 8 unread bits remain.
bool Msg_IsEOF();

// ---- bits ----

// Appends n bits of source's little-endian image (source holds (n + 7) / 8 bytes).
// n < 1 writes nothing and returns 1; no room: overflow, nothing written, 0.
int Msg_WriteBits(const void *source, int n);
// Reads n bits into dest's image; dest bits beyond n keep their value.
// n < 1 reads nothing and returns 1; too few bits: overflow, dest unchanged, 0.
int Msg_ReadBits(void *dest, int n);
// Non-zero when bit (i mod 8) of byte i / 8 is set.
int Com_GetBit(const byte *bytes, int i);
// Sets (value non-zero) or clears bit (i mod 8) of byte i / 8.
void Com_PutBit(byte *bytes, int value, int i);

// ---- typed writers: each returns what Msg_WriteBits returned ----

int Msg_WriteByte(uint8_t v);
int Msg_WriteChar(int8_t v);
int Msg_WriteShort(int16_t v);
int Msg_WriteLong(int32_t v);
int Msg_WriteFloat(float v);
int Msg_WriteVec3(const float v[3]);
int Msg_WriteBytes(const void *data, int n);
int Msg_WriteFixedString(const char *data, int n);
// Length as 16 bits, then the bytes without terminator; a text longer than a
// message can hold overflows the buffer.
int Msg_WriteString(const char *text);
// The formatted text (cut at 13,999 characters) and one 0 byte.
int Msg_WriteSPrintf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// ---- typed readers: on failure the value after "->" and the overflow flag ----

uint8_t Msg_ReadByte();    // -> 0
int8_t Msg_ReadChar();     // -> 0
int16_t Msg_ReadShort();   // -> -666
int32_t Msg_ReadLong();    // -> -666
float Msg_ReadFloat();     // -> -666.0
int Msg_ReadVec3(float dest[3]);                // -> 0, dest unchanged
int Msg_ReadBytes(void *dest, int n);           // -> 0, dest unchanged
int Msg_ReadFixedString(char *dest, int n);     // -> 0, dest unchanged
// Reads a 16-bit length and that many bytes, and stores at most destSize - 1 of
// them, always terminated.  A negative length yields "".  A length beyond the
// message's end yields the bytes that are there and sets the overflow flag.
// Returns the number of bytes stored.
int Msg_ReadString(char *dest, int destSize);

// ---- text arguments of a message ----

// Rounds readBits up to a whole byte and splits the text from there to the first
// 0 byte or the end of the bytes that arrived, whichever comes first, by the
// rules of the command-line tokenizer.  readBits stays at the start of the text.
void Msg_ReadTokenize();
int Msg_Argc();
// Argument i, "" when i is out of range.
const char *Msg_Argv(int i);

// ---- network addresses ----

enum netadrtype_t : uint32_t {
    NA_BAD = 0,
    NA_LOCAL = 1,  // the in-process loop-back
    NA_IP = 2,     // IPv4
    NA_IP_ALT = 3, // passed to the socket like NA_IP
};

struct netadr_t {
    uint32_t type;   // netadrtype_t
    uint8_t ip[4];   // network order: ip[0] is the first number of the dotted form
    uint16_t port;   // host order
    uint16_t qport;  // the sender's connection number; 0 is unset and matches any
};
static_assert(sizeof(netadr_t) == 12, "netadr_t travels inside packages as 12 bytes");
static_assert(offsetof(netadr_t, ip) == 4 && offsetof(netadr_t, port) == 8 && offsetof(netadr_t, qport) == 10);

// NA_LOCAL matches exactly NA_LOCAL; otherwise type, ip and port, and qport when both are set.
bool Com_adrcmp(const netadr_t *a, const netadr_t *b);
// The four ip bytes only.
bool Com_adrcmpip(const netadr_t *a, const netadr_t *b);
// True when either qport is 0 or both are equal.
bool Com_adrcmpqport(const netadr_t *a, const netadr_t *b);
void Com_adrcpy(netadr_t *dst, const netadr_t *src);
void Com_adrcpyip(netadr_t *dst, const netadr_t *src);
// "LOCAL", "BAD" or "a.b.c.d:port"; static buffer, overwritten by the next call.
const char *Com_adrstr(const netadr_t *a);
// "Local", "Bad" or "a.b.c.d"; its own static buffer.
const char *Com_adrstrip(const netadr_t *a);
// True for the loop-back and the private, link-local and loopback IPv4 ranges.
bool Com_IsLAN(const netadr_t *a);
