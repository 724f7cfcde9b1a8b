// libFuzzer target for the compression helpers.  The first input byte picks the
// output room and the rest is the stream: every decoder must stay inside that room
// whatever the stream says.  The same bytes are then coded and decoded again by
// the run-length and Huffman codecs, which must give them back exactly.  Built and
// run by scripts/fuzz.sh (HM_FUZZ=ON, clang).
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

    // Round trips, each through buffers of exactly the size they need.
    std::unique_ptr<byte[]> back(new byte[static_cast<size_t>(length) + 1]);
    const int bound = Com_RunLengthBound(length);
    std::unique_ptr<byte[]> code(new byte[static_cast<size_t>(bound) + 1]);
    const int coded = Com_RunLengthEncode(code.get(), bound, in, length);
    if (coded < 0 || coded > bound) abort();
    if (Com_RunLengthDecode(back.get(), length, code.get(), coded) != length) abort();
    if (memcmp(back.get(), in, static_cast<size_t>(length)) != 0) abort();

    // Codes of the traffic table are at most 16 bits: two bytes per input byte.
    const int huffRoom = 2 * length + 1;
    std::unique_ptr<byte[]> bits(new byte[static_cast<size_t>(huffRoom)]);
    const int nbits = Com_HuffEncode(bits.get(), huffRoom, in, length, tree);
    if (nbits < 0) abort();
    if (Com_HuffDecode(back.get(), length, bits.get(), nbits, tree) != length) abort();
    if (memcmp(back.get(), in, static_cast<size_t>(length)) != 0) abort();
    return 0;
}
