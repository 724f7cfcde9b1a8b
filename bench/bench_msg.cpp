// The message buffer on the paths every package takes: byte-aligned fields (the
// usual case, copied as bytes) against fields that start inside a byte, and the
// joining of a package cut into fragments.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "base/net.h"
#include "common/com_msg.h"

namespace {

// One snapshot-like package: longs, shorts, floats and a block of bytes, written
// and read back, starting at bit offset `state.range(0)`.
void BM_MsgFieldsRoundTrip(benchmark::State &state) {
    auto msg = std::make_unique<msg_t>();
    const int pad = static_cast<int>(state.range(0));
    static byte block[256];
    for (auto _ : state) {
        Msg_WriteBegin(msg.get());
        const uint32_t zero = 0;
        Msg_WriteBits(&zero, pad);
        for (int i = 0; i < 64; i++) {
            Msg_WriteLong(i);
            Msg_WriteShort(static_cast<int16_t>(i));
            Msg_WriteFloat(static_cast<float>(i));
        }
        Msg_WriteBytes(block, sizeof block);
        Msg_ReadBegin(msg.get());
        uint32_t skip;
        Msg_ReadBits(&skip, pad);
        int32_t sum = 0;
        for (int i = 0; i < 64; i++) {
            sum += Msg_ReadLong();
            sum += Msg_ReadShort();
            sum += static_cast<int32_t>(Msg_ReadFloat());
        }
        Msg_ReadBytes(block, sizeof block);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * (64 * 10 + 256));
}
BENCHMARK(BM_MsgFieldsRoundTrip)->Arg(0)->Arg(3);

// A full 14,000-byte package joined from its eleven fragments.
void BM_JoinFullPackage(benchmark::State &state) {
    auto pipe = std::make_unique<netPipe_t>();
    static byte payload[NET_MAX_PAYLOAD];
    for (auto _ : state) {
        memset(pipe.get(), 0, sizeof(netPipe_t));
        pipe->incomingSequence = -1;
        pipe->joinedSequence = -1;
        int ready = 0;
        uint32_t lost;
        int left = MAX_MSGBITS;
        for (int32_t seq = 0; left > 0; seq++) {
            const int bits = left < NET_FRAGMENT_BITS ? left : NET_FRAGMENT_BITS;
            const uint8_t kind = seq == 0 ? NF_FIRST : (bits == left ? NF_LAST : NF_MIDDLE);
            const netHeader_t h{NET_MAGIC_VERSION, 1, kind, seq, 0, bits};
            NET_JoinDatagram(pipe.get(), &h, payload, &ready, &lost);
            left -= bits;
        }
        benchmark::DoNotOptimize(ready);
    }
    state.SetBytesProcessed(state.iterations() * MAX_MSGLEN);
}
BENCHMARK(BM_JoinFullPackage);

}  // namespace
