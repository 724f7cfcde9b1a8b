// libFuzzer target for the pack loader: every input is written as a pack file,
// loaded, and every entry it yields is read back whole.  Built and run by
// scripts/fuzz.sh (HM_FUZZ=ON, clang), starting from tests/fuzz/corpus/fuzz_pack,
// a small archive written in stored mode.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
            // A name the pack holds twice answers with its later entry, which comes
            // first on the list: only that one is read back by its name.
            bool shadowed = false;
            for (const fsPackFile_t *e = fs.packs->entries; e != entry && !shadowed; e = e->next)
                shadowed = strcmp(e->name, entry->name) == 0;
            if (shadowed) continue;
            void *buffer = nullptr;
            const int32_t n = FS_ReadFile2(entry->name, &buffer, 0, FS_PACKS);
            if (n >= 0 && static_cast<uint32_t>(n) != entry->size) abort();
            FS_FreeFile(buffer);
        }
    }
    FS_Shutdown();
    return 0;
}
