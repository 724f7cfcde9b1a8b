// libFuzzer target for the font description parser and the text layout behind it:
// every input is parsed as a description, then half of it is drawn with the font on a
// renderer whose material image size comes from the input too (zero included).  Built
// by scripts/fuzz.sh with the other targets.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/renderer.h"
#include "client/cl_font.h"
#include "common/common.h"

static int IgnoreError(int, const char *) { return 0; }

static int32_t imageSize;
static surface_t surface;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    Com_InitMem();
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    Com_SetupError(IgnoreError);
    re.RegisterMaterial = [](const char *) -> rhandle_t { return 1; };
    re.GetMaterialWidth = [](rhandle_t) -> int32_t { return imageSize; };
    re.GetMaterialHeight = [](rhandle_t) -> int32_t { return imageSize; };
    re.GetRenderDestWidth = [](int32_t) -> int32_t { return 1280; };
    re.GetRenderDestHeight = [](int32_t) -> int32_t { return 960; };
    re.AllocSurfaces = [](int32_t, uint8_t) -> surface_t * { return &surface; };
    re.AddSurfaces = [](surface_t *s, uint8_t) {
        // Every index names a vertex of the surface and every vertex is finite or
        // follows from the font's own numbers.
        for (int32_t i = 0; i < s->numIndexes; i++)
            if (s->indexes[i] < 0 || s->indexes[i] >= s->numVerts) abort();
    };
    CL_UnregisterFont(0);
    CL_RegisterDummyFont();
    CL_RegisterDummyFont();  // slot 1 is rewritten by every input
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    imageSize = data[0] % 4 == 0 ? 0 : data[0];
    const int32_t flags = data[1] & 0x1F;
    const std::string all(reinterpret_cast<const char *>(data + 2), size - 2);
    const std::string text = all.substr(0, all.size() / 2), description = all.substr(all.size() / 2);
    font_t *f = const_cast<font_t *>(CL_GetFont(1));
    memset(f, 0, sizeof(*f));
    CL_ParseFont(f, "fuzz.font", description.c_str());
    const float colour[4] = {0.5f, 2.0f, -1.0f, 0.5f};
    CL_DrawString(0, 1.5f, 2.5f, 1.0f, text.data(), static_cast<int32_t>(text.size()), colour, 1, flags);
    return 0;
}
