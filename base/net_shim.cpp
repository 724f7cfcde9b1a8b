// Weak, so that the real definitions take their place when they are linked.
#include "base/net_shim.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

__attribute__((weak)) uint32_t Base_Time() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(ts.tv_sec * 1000 + ts.tv_nsec / 1000000) + 65535u;
}

__attribute__((weak)) float Com_frand() { return static_cast<float>(rand() & 0x7FFF) * 3.051851e-5f; }

__attribute__((weak)) int32_t FS_WriteFile(const char *path, int32_t size, const void *data) {
    FILE *f = fopen(path, "wb");
    if (!f) return -1;
    const size_t n = fwrite(data, 1, static_cast<size_t>(size), f);
    fclose(f);
    return static_cast<int32_t>(n);
}
