// libFuzzer target: the module's world material parser, fed with hostile text.
//
// Every input is parsed as a material keyword file; the parse must end, keep both
// names terminated inside their fields and read nothing past the text.
//
// Built and run by scripts/fuzz.sh.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "game/g_materials.h"
#include "tests/game/fake_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fake::Install();
    // The engine's whole-file reads end with a zero byte; so does this copy.
    const std::string text(reinterpret_cast<const char *>(data), size);
    static worldMaterial_t wm;
    G_ParseWorldMaterial(&wm, text.c_str(), "fuzz.material", 0);
    if (!memchr(wm.name, 0, sizeof wm.name) || !memchr(wm.file, 0, sizeof wm.file)) abort();
    fake::Uninstall();
    return 0;
}
