// libFuzzer target: the client game's BO3 skeleton reader, fed with hostile bytes.
//
// The input is the skeleton of a model with one animation; a model that loads must
// have every parent and tag bone in range, a root and no bone its own ancestor.
//
// Built and run by scripts/fuzz.sh.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_g_model_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_model::Begin();
    fake::files["f.bo3"] = std::string(reinterpret_cast<const char *>(data), size);
    fake::files["f.model"] = "model f.bo3\nlod 0 f.lo2\nanimation a a.am2\n";
    fake::files["g.model"] = "model f.bo3\nlod 0 f.lo2\n";
    fuzz_model::Check(CG_LoadModel("f.model"));
    fuzz_model::Check(CG_LoadModel("g.model"));
    fuzz_model::End();
    return 0;
}
