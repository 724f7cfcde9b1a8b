// The datagram header and the joining of fragments: pure functions over bytes
// and a pipe, shared by the transport, the stand-in master server and the fuzzer.
#include <cstring>

#include "base/net.h"

static void PutLE32(byte *out, uint32_t v) {
    for (int i = 0; i < 4; i++) out[i] = static_cast<byte>(v >> (8 * i));
}

static uint32_t GetLE32(const byte *in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
           static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

void NET_WriteHeader(byte out[NET_HEADER_SIZE], const netHeader_t *header) {
    out[0] = header->magicVersion;
    out[1] = static_cast<byte>(header->qport);
    out[2] = static_cast<byte>(header->qport >> 8);
    out[3] = header->flags;
    PutLE32(out + 4, static_cast<uint32_t>(header->sequence));
    PutLE32(out + 8, static_cast<uint32_t>(header->ack));
    PutLE32(out + 12, static_cast<uint32_t>(header->bits));
}

netParse_t NET_ReadHeader(const byte *datagram, int length, netHeader_t *header) {
    if (length < NET_HEADER_SIZE) return NP_UNDERSIZED;
    if (length > NET_MAX_DATAGRAM) return NP_OVERSIZED;
    header->magicVersion = datagram[0];
    header->qport = static_cast<uint16_t>(datagram[1] | datagram[2] << 8);
    header->flags = datagram[3];
    header->sequence = static_cast<int32_t>(GetLE32(datagram + 4));
    header->ack = static_cast<int32_t>(GetLE32(datagram + 8));
    header->bits = static_cast<int32_t>(GetLE32(datagram + 12));
    if ((header->magicVersion & 0x0F) != (NET_MAGIC_VERSION & 0x0F)) return NP_BAD_MAGIC;
    if ((header->magicVersion & 0xF0) != (NET_MAGIC_VERSION & 0xF0)) return NP_BAD_VERSION;
    // The payload must be exactly the bytes that arrived: no negative count, and
    // no count whose rounding up could wrap.
    const int64_t payloadBytes = (static_cast<int64_t>(header->bits) + 7) / 8;
    if (header->bits < 0 || NET_HEADER_SIZE + payloadBytes != length) return NP_BAD_SIZE;
    return NP_OK;
}

netParse_t NET_JoinDatagram(netPipe_t *pipe, const netHeader_t *header, const byte *payload,
                            int *readyBits, uint32_t *lost) {
    *readyBits = 0;
    *lost = 0;
    const int kind = header->flags & NET_FLAG_KIND_MASK;
    const int64_t sequence = header->sequence;
    if (sequence <= pipe->incomingSequence) return NP_STALE;
    // A part of a series comes after the part before it.  A first or whole part
    // is measured against accepted packages only: one that was joined but refused
    // by the owner (a forgery far ahead) must not make the peer's own look stale.
    const bool part = kind == NF_MIDDLE || kind == NF_LAST;
    if (part && sequence <= pipe->joinedSequence) return NP_STALE;
    const int64_t previous = pipe->joinedSequence > pipe->incomingSequence ? pipe->joinedSequence
                                                                           : pipe->incomingSequence;
    if (sequence > previous + 1) {
        pipe->inFragment = 0;
        *lost = static_cast<uint32_t>(sequence - previous - 1);
    }

    if (kind == NF_WHOLE || kind == NF_FIRST) {
        pipe->inFragment = kind == NF_FIRST;
        pipe->fragBits = 0;
    } else if (!pipe->inFragment) {
        return NP_NO_FIRST;
    }
    // Senders cut fragments at whole bytes; a first or middle part that ends inside
    // a byte would leave the next part misplaced, so the series is given up.
    if ((kind == NF_FIRST || kind == NF_MIDDLE) && (header->bits & 7) != 0) {
        pipe->inFragment = 0;
        return NP_BAD_FRAGMENT;
    }
    if (header->bits > MAX_MSGBITS - pipe->fragBits) {
        pipe->inFragment = 0;
        return NP_OVERFRAGMENTED;
    }
    // fragBits is a whole number of bytes here (only a last or whole part may end
    // inside a byte), so offset and size stay within the buffer.
    const int offset = pipe->fragBits / 8;
    const int bytes = (header->bits + 7) / 8;
    if (offset + bytes > MAX_MSGLEN) {
        pipe->inFragment = 0;
        return NP_OVERFRAGMENTED;
    }
    memcpy(pipe->buffer + offset, payload, static_cast<size_t>(bytes));
    pipe->fragBits += header->bits;
    pipe->complete = kind == NF_WHOLE || kind == NF_LAST;
    pipe->joinedSequence = header->sequence;
    if (pipe->complete) {
        *readyBits = pipe->fragBits;
        pipe->fragBits = 0;
        pipe->complete = 0;
        pipe->inFragment = 0;
    }
    return NP_OK;
}
