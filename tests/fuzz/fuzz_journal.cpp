// libFuzzer target for the journal reader: every input is written as a journal
// file and played: the header is checked, then every chunk is read and checked
// as playback reads it.  Not part of the default build.  Build and run (clang,
// from the source root):
//
//   mkdir -p build-fuzz && clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. \
//       tests/fuzz/fuzz_journal.cpp $(ls base/*.cpp client/*.cpp common/*.cpp | grep -v base/main.cpp) \
//       -lz -ldl -o build-fuzz/fuzz_journal
//   build-fuzz/fuzz_journal -max_total_time=60 -max_len=300000
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/base.h"
#include "base/files.h"
#include "common/common.h"

// Fatal header faults return here instead of ending the process.
static int IgnoreError(int, const char *) { return 0; }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    Com_InitMem();
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    Com_SetupError(IgnoreError);
    char dir[] = "/tmp/hm_fuzz_journal_XXXXXX";
    if (!mkdtemp(dir)) abort();
    FS_StartUp(dir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FILE *f = fopen("fuzz.jr2", "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    IN_StartPlayJournal("fuzz.jr2");
    while (IN_ReadJournalNext()) {
        const char *why = nullptr;
        if (!IN_CheckChunk(qbase.in.buffer, qbase.in.length, &why)) abort();  // a loaded chunk is whole
    }
    IN_StopPlayJournal();
    return 0;
}
