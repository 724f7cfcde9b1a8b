// libFuzzer target for the .dxv film reader: every input is read as a film from memory,
// frame after frame, as the player and cin_decode read it: each frame decodes to one
// block or ends the film, and nothing is read or written past a buffer.  Built by
// scripts/fuzz.sh with the other targets.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "client/cl_cin.h"
#include "common/common.h"

namespace {

struct memory_t {
    const uint8_t *data;
    size_t size, pos;
};

int32_t ReadMemory(void *destination, int32_t count, void *source) {
    auto *m = static_cast<memory_t *>(source);
    const size_t take = std::min(static_cast<size_t>(count), m->size - m->pos);
    memcpy(destination, m->data + m->pos, take);
    m->pos += take;
    return static_cast<int32_t>(take);
}

byte image[CIN_IMAGE_SIZE];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    memory_t film{data, size, 0};
    uint32_t head = 0;
    if (ReadMemory(&head, 4, &film) != 4) return 0;
    uint32_t sound = 0;
    for (uint32_t f = 0; f < head && CIN_ReadFrame(ReadMemory, &film, image, &sound); f++) {
    }
    return 0;
}
