// libFuzzer target: the module's SOUP shape loader, fed with hostile files.
//
// Every input is loaded as a shape; a shape that loads must hold only indexes
// that name its vertices and finite positions, and must draw without reading
// outside its arrays.  AddressSanitizer reports any read past the file.
//
// Built and run by scripts/fuzz.sh.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "game/g_soup.h"
#include "tests/game/fake_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fake::Install();
    const soup_t *soup = G_LoadSOUPFromMemory(data, size, "fuzz.soup", 2.0f);
    if (soup) {
        for (int32_t i = 0; i < soup->numIndexes; i++) {
            if (soup->indexes[i] < 0 || soup->indexes[i] >= soup->numVerts) abort();
        }
        for (int32_t v = 0; v < soup->numVerts; v++) {
            for (int k = 0; k < 3; k++) {
                if (!std::isfinite(soup->verts[SOUP_VERT_FLOATS * v + k])) abort();
            }
        }
        static int viewSet;
        g_soupViewPVS = &viewSet;
        const float origin[3] = {1, 2, 3};
        const float axis[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        G_DrawSOUP(soup, 1, origin, axis, 128, 1.5f);
        g_soupViewPVS = nullptr;
    } else if (g_numSoups != 0) {
        abort();  // a refused file takes no slot
    }
    G_FreeAllSOUPS();
    if (Com_GetMemBlocks() != 0) abort();
    fake::Uninstall();
    return 0;
}
