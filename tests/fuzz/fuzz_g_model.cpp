// libFuzzer target: the client game's model definition reader, fed with hostile text.
//
// The input is the definition and also a file it may include (itself, so includes
// nest until the spare room is full).  A loaded model must be sound, and releasing
// the table must leave nothing behind.
//
// Built and run by scripts/fuzz.sh.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_g_model_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_model::Begin();
    const std::string text(reinterpret_cast<const char *>(data), size);
    fake::files["f.model"] = text;
    fake::files["i.model"] = text;
    fuzz_model::Check(CG_LoadModel("f.model"));
    fuzz_model::End();
    return 0;
}
