// libFuzzer target: the datagram header parser, the joining of fragments and the
// splitting of out-of-band texts, fed with a series of hostile datagrams.
//
// The input is a series of records: a 16-bit little-endian length, then that many
// bytes of one datagram.  Every datagram goes through NET_ReadHeader; accepted
// ones are joined into one pipe (or, out of band, split into words) as the
// transport does.  AddressSanitizer reports any read or write outside a buffer.
//
// Built and run by scripts/fuzz.sh with the seeds of tests/fuzz/corpus/fuzz_datagram.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/net.h"
#include "common/com_msg.h"

namespace {

netPipe_t g_pipe;
msg_t g_msg;

// A fresh heap copy of exactly the datagram's bytes, so that reading one byte past
// it is caught.
void Datagram(const uint8_t *data, int length) {
    std::unique_ptr<byte[]> copy(new byte[length > 0 ? length : 1]);
    memcpy(copy.get(), data, static_cast<size_t>(length));
    netHeader_t header;
    if (NET_ReadHeader(copy.get(), length, &header) != NP_OK) return;
    const byte *payload = copy.get() + NET_HEADER_SIZE;
    int bits = 0;
    if (header.sequence == NET_OOB_SEQUENCE) {
        bits = header.bits;
    } else {
        uint32_t lost;
        const netParse_t joined = NET_JoinDatagram(&g_pipe, &header, payload, &bits, &lost);
        // The buffer sits inside the pipe, where the sanitizer cannot see an overrun:
        // the field behind it must keep its value, and the count must fit the buffer.
        if (g_pipe.outgoingSequence != 0 || g_pipe.fragBits < 0 || g_pipe.fragBits > MAX_MSGBITS) abort();
        if (joined != NP_OK || bits == 0) return;
        if (bits < 0 || bits > MAX_MSGBITS) abort();
        payload = g_pipe.buffer;
    }
    // What a handler does with a package: read it as a message and split its text.
    Msg_WriteBegin(&g_msg);
    Msg_WriteBits(payload, bits);
    Msg_ReadBegin(&g_msg);
    Msg_ReadTokenize();
    for (int i = 0; i < Msg_Argc(); i++) {
        if (strlen(Msg_Argv(i)) > static_cast<size_t>(MAX_MSGLEN)) abort();
    }
    char text[64];
    Msg_ReadBegin(&g_msg);
    Msg_ReadString(text, sizeof text);
    Msg_ReadLong();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // A new connection for every input (NET_SetupPipe without the clock).
    memset(&g_pipe, 0, sizeof g_pipe);
    g_pipe.incomingSequence = -1;
    g_pipe.joinedSequence = -1;
    size_t at = 0;
    while (at + 2 <= size) {
        const size_t length = data[at] | static_cast<size_t>(data[at + 1]) << 8;
        at += 2;
        const size_t take = length < size - at ? length : size - at;
        Datagram(data + at, static_cast<int>(take));
        at += take;
    }
    return 0;
}
