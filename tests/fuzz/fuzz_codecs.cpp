// libFuzzer target for the decoders of the compression helpers: the first input
// byte picks the output room, the rest is the stream.  Not part of the default
// build.  With build-fuzz configured as in fuzz_pack.cpp:
//
//   cmake --build build-fuzz --target engine_core
//   clang++ -std=c++20 -g -fsanitize=fuzzer,address,undefined -I. tests/fuzz/fuzz_codecs.cpp \
//       build-fuzz/libengine_core.a build-fuzz/libcommon_engine.a -lz -ldl -o build-fuzz/fuzz_codecs
//   build-fuzz/fuzz_codecs -max_total_time=60
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "base/compress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static huffTree_t *tree = [] {
        auto *t = new huffTree_t;
        Com_HuffTree(t, net_dist);
        return t;
    }();
    if (size < 1 || size > 1 << 16) return 0;
    // Exactly the room announced, on the heap, so that any overrun is caught.
    const int room = data[0] * 4;
    std::unique_ptr<byte[]> out(new byte[static_cast<size_t>(room) + 1]);
    const byte *in = data + 1;
    const int length = static_cast<int>(size - 1);

    if (Com_RunLengthDecode(out.get(), room, in, length) > room) abort();
    if (Com_HuffDecode(out.get(), room, in, length * 8, tree) > room) abort();
    if (Com_Unzip(out.get(), room, in, length) > room) abort();
    return 0;
}
