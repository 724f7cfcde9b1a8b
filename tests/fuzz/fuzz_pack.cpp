// libFuzzer target for the pack loader: every input is written as a pack file,
// loaded, and every entry it yields is read back whole.  Not part of the default
// build.  Build and run (clang, from the source root):
//
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DHM_TESTS=OFF \
//       -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined"
//   cmake --build build-fuzz --target engine_core
//   clang++ -std=c++20 -g -fsanitize=fuzzer,address,undefined -I. tests/fuzz/fuzz_pack.cpp \
//       build-fuzz/libengine_core.a build-fuzz/libcommon_engine.a -lz -ldl -o build-fuzz/fuzz_pack
//   build-fuzz/fuzz_pack -max_total_time=60 -max_len=4096
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/files.h"
#include "common/common.h"

static int IgnoreError(int, const char *) { return 0; }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    Com_SetupError(IgnoreError);
    char dir[] = "/tmp/hm_fuzz_pack_XXXXXX";
    if (!mkdtemp(dir)) abort();
    FS_StartUp(dir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FILE *f = fopen("fuzz.pack", "wb");
    if (!f) abort();
    fwrite(data, 1, size, f);
    fclose(f);

    FS_LoadPackBatch("fuzz");
    if (fs.packs) {
        for (const fsPackFile_t *entry = fs.packs->entries; entry; entry = entry->next) {
            void *buffer = nullptr;
            const int32_t n = FS_ReadFile2(entry->name, &buffer, 0, FS_PACKS);
            if (n >= 0 && static_cast<uint32_t>(n) != entry->size) abort();
            FS_FreeFile(buffer);
        }
    }
    FS_Shutdown();
    return 0;
}
