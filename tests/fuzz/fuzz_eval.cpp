// libFuzzer target for the expression evaluator: console text (also reachable by
// remote console) is parsed and evaluated in a fresh context each time, with a
// user variable and the whole built-in table in reach.  AddressSanitizer reports
// any access outside the work buffers or to a released tree.  Not part of the
// default build.  Build and run (clang, from the source root):
//
//   mkdir -p build-fuzz && clang++ -std=c++20 -O1 -g \
//       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I. \
//       tests/fuzz/fuzz_eval.cpp common/com_eval.cpp common/com_noise.cpp \
//       common/com_vector.cpp common/com_mem.cpp common/com_print.cpp \
//       -o build-fuzz/fuzz_eval
//   build-fuzz/fuzz_eval -max_total_time=60 -max_len=600 -timeout=10
#include <cstdint>
#include <cstring>

#include "common/com_eval.h"
#include "common/com_mem.h"
#include "common/com_print.h"

static int IgnoreError(int, const char *) { return 0; }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    Com_SetupError(IgnoreError);
    Com_InitMem();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char text[E_WORK_SIZE];
    const size_t n = size < sizeof text - 1 ? size : sizeof text - 1;
    memcpy(text, data, n);
    text[n] = 0;
    exp_t *ctx = E_Create();
    E_Bind(ctx);
    E_AddVariable("i");
    E_Parse(text);
    E_Evaluate();
    E_Parse(text);  // parsing again releases the first tree
    E_Evaluate();
    E_Delete(ctx);
    if (Com_GetMemBlocks() != 0) __builtin_trap();  // every node was released
    return 0;
}
