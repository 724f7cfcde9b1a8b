#include "common/com_msg.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/com_string.h"

static msg_t *wm;  // current write buffer
static msg_t *rm;  // current read buffer

// Copy of the message text that Msg_ReadTokenize splits; one byte more than a
// message so that a text without its own 0 byte is still terminated.
static char msg_arg_backup[MAX_MSGLEN + 1];
static int msg_argc;
static char *msg_argv[MAX_MSG_ARGS];

// ---- buffer selection and position ----

msg_t *Msg_WriteBegin(msg_t *msg) {
    msg->curBits = 0;
    msg->overflowed = 0;
    wm = msg;
    return msg;
}

void Msg_ContinueWrite(msg_t *msg) { wm = msg; }

msg_t *Msg_WriteCurrent() { return wm; }

int Msg_WriteGetBits() { return wm->curBits; }

void Msg_WriteSetBits(int bits) {
    wm->curBits = bits < 0 ? 0 : (bits > MAX_MSGBITS ? MAX_MSGBITS : bits);
}

bool Msg_WriteIsRoom(int bits) {
    return bits <= MAX_MSGBITS - wm->curBits;
}

msg_t *Msg_ReadBegin(msg_t *msg) {
    msg->readBits = 0;
    msg->overflowed = 0;
    rm = msg;
    return msg;
}

msg_t *Msg_ReadCurrent() { return rm; }

int Msg_GetReadBits() { return rm->readBits; }

bool Msg_IsEOF() { return rm->curBits - rm->readBits < 8; }

// ---- bits ----

int Com_GetBit(const byte *bytes, int i) { return bytes[i >> 3] & (1 << (i & 7)); }

void Com_PutBit(byte *bytes, int value, int i) {
    const byte mask = static_cast<byte>(1 << (i & 7));
    if (value) {
        bytes[i >> 3] |= mask;
    } else {
        bytes[i >> 3] &= static_cast<byte>(~mask);
    }
}

// Copies n bits from src (starting at bit srcBit) to dst (starting at bit dstBit).
// One of the two offsets is byte-aligned in every use below, so a whole byte of
// the other side moves per step; the few remaining bits go one at a time.
static void CopyBits(byte *dst, int dstBit, const byte *src, int srcBit, int n) {
    if (((dstBit | srcBit | n) & 7) == 0) {
        memcpy(dst + (dstBit >> 3), src + (srcBit >> 3), static_cast<size_t>(n >> 3));
        return;
    }
    // Bring the destination to a byte boundary first.
    while (n > 0 && (dstBit & 7) != 0) {
        Com_PutBit(dst, Com_GetBit(src, srcBit), dstBit);
        dstBit++;
        srcBit++;
        n--;
    }
    const int shift = srcBit & 7;
    const byte *s = src + (srcBit >> 3);
    byte *d = dst + (dstBit >> 3);
    for (; n >= 8; n -= 8, srcBit += 8, dstBit += 8) {
        // The second source byte is needed only when the source is unaligned.
        const unsigned lo = s[0];
        const unsigned hi = shift ? s[1] : 0u;
        *d++ = static_cast<byte>(((lo | (hi << 8)) >> shift) & 0xff);
        s++;
    }
    while (n-- > 0) {
        Com_PutBit(dst, Com_GetBit(src, srcBit), dstBit);
        dstBit++;
        srcBit++;
    }
}

int Msg_WriteBits(const void *source, int n) {
    if (n < 1) return 1;
    if (n > MAX_MSGBITS - wm->curBits) {
        wm->overflowed = 1;
        return 0;
    }
    // Only the n bits of the value change: a field filled in later, at any bit
    // offset, leaves the bits written after it as they were.
    CopyBits(wm->data, wm->curBits, static_cast<const byte *>(source), 0, n);
    wm->curBits += n;
    return 1;
}

// Unread bits of the read buffer; -1 when the read position is not inside the
// message.  A length set beyond the buffer counts only the bits the buffer holds.
static int ReadBitsLeft() {
    const int end = rm->curBits < MAX_MSGBITS ? rm->curBits : MAX_MSGBITS;
    return (rm->readBits < 0 || rm->readBits > end) ? -1 : end - rm->readBits;
}

int Msg_ReadBits(void *dest, int n) {
    if (n < 1) return 1;
    if (n > ReadBitsLeft()) {
        rm->overflowed = 1;
        return 0;
    }
    CopyBits(static_cast<byte *>(dest), 0, rm->data, rm->readBits, n);
    rm->readBits += n;
    return 1;
}

// ---- typed writers ----

// Little-endian image of an unsigned value of `bytes` bytes.
static int WriteLE(uint32_t v, int bytes) {
    byte image[4];
    for (int i = 0; i < bytes; i++) image[i] = static_cast<byte>(v >> (8 * i));
    return Msg_WriteBits(image, bytes * 8);
}

static bool ReadLE(uint32_t *v, int bytes) {
    byte image[4];
    if (!Msg_ReadBits(image, bytes * 8)) return false;
    uint32_t r = 0;
    for (int i = 0; i < bytes; i++) r |= static_cast<uint32_t>(image[i]) << (8 * i);
    *v = r;
    return true;
}

int Msg_WriteByte(uint8_t v) { return WriteLE(v, 1); }
int Msg_WriteChar(int8_t v) { return WriteLE(static_cast<uint8_t>(v), 1); }
int Msg_WriteShort(int16_t v) { return WriteLE(static_cast<uint16_t>(v), 2); }
int Msg_WriteLong(int32_t v) { return WriteLE(static_cast<uint32_t>(v), 4); }

int Msg_WriteFloat(float v) {
    uint32_t u;
    memcpy(&u, &v, sizeof u);
    return WriteLE(u, 4);
}

int Msg_WriteVec3(const float v[3]) {
    if (!Msg_WriteIsRoom(MSG_VEC3_BITS)) {
        wm->overflowed = 1;
        return 0;
    }
    return Msg_WriteFloat(v[0]) & Msg_WriteFloat(v[1]) & Msg_WriteFloat(v[2]);
}

int Msg_WriteBytes(const void *data, int n) {
    if (n < 1) return 1;
    if (n > MAX_MSGLEN) {
        wm->overflowed = 1;
        return 0;
    }
    return Msg_WriteBits(data, n * 8);
}

int Msg_WriteFixedString(const char *data, int n) { return Msg_WriteBytes(data, n); }

int Msg_WriteString(const char *text) {
    const size_t len = strlen(text);
    if (len > static_cast<size_t>(MAX_MSGLEN) || !Msg_WriteIsRoom(16 + 8 * static_cast<int>(len))) {
        wm->overflowed = 1;
        return 0;
    }
    return Msg_WriteShort(static_cast<int16_t>(len)) & Msg_WriteBytes(text, static_cast<int>(len));
}

int Msg_WriteSPrintf(const char *fmt, ...) {
    char text[MAX_MSGLEN];
    va_list ap;
    va_start(ap, fmt);
    int len = vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    if (len < 0 || len > MAX_MSGLEN - 1) len = MAX_MSGLEN - 1;
    text[len] = 0;
    if (!Msg_WriteIsRoom(8 * (len + 1))) {
        wm->overflowed = 1;
        return 0;
    }
    return Msg_WriteBytes(text, len + 1);
}

// ---- typed readers ----

uint8_t Msg_ReadByte() {
    uint32_t v;
    return ReadLE(&v, 1) ? static_cast<uint8_t>(v) : 0;
}

int8_t Msg_ReadChar() {
    uint32_t v;
    return ReadLE(&v, 1) ? static_cast<int8_t>(static_cast<uint8_t>(v)) : 0;
}

int16_t Msg_ReadShort() {
    uint32_t v;
    return ReadLE(&v, 2) ? static_cast<int16_t>(static_cast<uint16_t>(v)) : MSG_BAD_SHORT;
}

int32_t Msg_ReadLong() {
    uint32_t v;
    return ReadLE(&v, 4) ? static_cast<int32_t>(v) : MSG_BAD_LONG;
}

float Msg_ReadFloat() {
    uint32_t v;
    if (!ReadLE(&v, 4)) return MSG_BAD_FLOAT;
    float f;
    memcpy(&f, &v, sizeof f);
    return f;
}

int Msg_ReadVec3(float dest[3]) {
    // All three or none: dest stays as it was when the message ends early.
    float v[3];
    if (MSG_VEC3_BITS > ReadBitsLeft()) {
        rm->overflowed = 1;
        return 0;
    }
    v[0] = Msg_ReadFloat();
    v[1] = Msg_ReadFloat();
    v[2] = Msg_ReadFloat();
    dest[0] = v[0];
    dest[1] = v[1];
    dest[2] = v[2];
    return 1;
}

int Msg_ReadBytes(void *dest, int n) {
    if (n < 1) return 1;
    if (n > MAX_MSGLEN) {
        rm->overflowed = 1;
        return 0;
    }
    return Msg_ReadBits(dest, n * 8);
}

int Msg_ReadFixedString(char *dest, int n) { return Msg_ReadBytes(dest, n); }

int Msg_ReadString(char *dest, int destSize) {
    if (destSize > 0) dest[0] = 0;
    const int len = Msg_ReadShort();
    if (len <= 0) return 0;
    const int left = ReadBitsLeft() / 8;
    int n = len;
    if (n > left) {
        n = left;
        rm->overflowed = 1;
    }
    // With no room at all the text is still stepped over, so the fields after it
    // are read from where they were written.
    const int room = destSize > 0 ? destSize - 1 : 0;
    const int keep = n < room ? n : room;
    // Read what is kept straight into dest, then step over the rest of the text
    // so the next field is read from where the writer put it.
    byte *const out = reinterpret_cast<byte *>(dest);
    if (keep > 0 && Msg_ReadBits(out, keep * 8)) {
        out[keep] = 0;
    }
    rm->readBits += (n - keep) * 8;
    return keep;
}

// ---- text arguments ----

void Msg_ReadTokenize() {
    if (rm->readBits < 0) rm->readBits = 0;
    rm->readBits = (rm->readBits + 7) & ~7;
    const int start = rm->readBits / 8;
    const int arrived = (rm->curBits + 7) / 8;
    int len = 0;
    if (start < arrived && arrived <= MAX_MSGLEN) {
        len = arrived - start;
        memcpy(msg_arg_backup, rm->data + start, static_cast<size_t>(len));
    }
    msg_arg_backup[len] = 0;
    msg_argc = Com_SplitArgs(msg_arg_backup, msg_argv, MAX_MSG_ARGS);
}

int Msg_Argc() { return msg_argc; }

const char *Msg_Argv(int i) { return (i < 0 || i >= msg_argc) ? "" : msg_argv[i]; }

// ---- addresses ----

bool Com_adrcmp(const netadr_t *a, const netadr_t *b) {
    if (a->type == NA_LOCAL) return b->type == NA_LOCAL;
    return a->type == b->type && Com_adrcmpip(a, b) && a->port == b->port && Com_adrcmpqport(a, b);
}

bool Com_adrcmpip(const netadr_t *a, const netadr_t *b) { return memcmp(a->ip, b->ip, 4) == 0; }

bool Com_adrcmpqport(const netadr_t *a, const netadr_t *b) {
    return a->qport == 0 || b->qport == 0 || a->qport == b->qport;
}

void Com_adrcpy(netadr_t *dst, const netadr_t *src) { memcpy(dst, src, sizeof *dst); }

void Com_adrcpyip(netadr_t *dst, const netadr_t *src) { memcpy(dst->ip, src->ip, 4); }

const char *Com_adrstr(const netadr_t *a) {
    static char text[MAX_ADRSTR];
    if (a->type == NA_LOCAL) return "LOCAL";
    if (a->type != NA_IP) return "BAD";
    snprintf(text, sizeof text, "%d.%d.%d.%d:%d", a->ip[0], a->ip[1], a->ip[2], a->ip[3], a->port);
    return text;
}

const char *Com_adrstrip(const netadr_t *a) {
    static char text[MAX_ADRSTR];
    if (a->type == NA_LOCAL) return "Local";
    if (a->type != NA_IP) return "Bad";
    snprintf(text, sizeof text, "%d.%d.%d.%d", a->ip[0], a->ip[1], a->ip[2], a->ip[3]);
    return text;
}

bool Com_IsLAN(const netadr_t *a) {
    if (a->type == NA_LOCAL) return true;
    if (a->type != NA_IP) return false;
    const uint8_t *ip = a->ip;
    return ip[0] == 127 || ip[0] == 10 || (ip[0] == 172 && ip[1] >= 16 && ip[1] <= 31) ||
           (ip[0] == 192 && ip[1] == 168) || (ip[0] == 169 && ip[1] == 254);
}
