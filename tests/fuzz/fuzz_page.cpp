// libFuzzer target for a received world page: the input is a page's compact form as
// it arrives (two 32-bit little-endian stream sizes, then the streams), installed
// into a page between stored neighbours and tessellated when it decodes, with the page
// below whose window reads it, as the server redoes them after a change.  Afterwards
// every pool vertex still live must be referenced by a page.  Run by scripts/fuzz.sh.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/common.h"
#include "world/wo_local.h"

static int IgnoreError(int, const char *) { return 0; }

static page_t *Spawned(int x, int y, int z, voxel_t fill) {
    page_t *p = WO_SpawnPage(x, y, z);
    if (!p)
        abort();
    for (voxel_t &v : p->voxels)
        v = fill;
    return p;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    Com_SetupError(IgnoreError);
    WO_InitPages();
    WO_InitPool();
    WO_ClearAllPages();
    wm_min = 0;
    wm_max = 255;
    // The fuzzed page at (5, 5, 5) with a solid page above it and an empty one below.
    Spawned(5, 5, 5, wo_emptyVoxel);
    Spawned(5, 6, 5, 0x0300 | 200);
    Spawned(5, 4, 5, wo_emptyVoxel);
    // The page above reads nothing of the fuzzed one: tessellated once, its vertexes
    // on the shared layer are found by every input's pages.
    WO_TessPageStage1(WO_CellPage(WO_CellIndex(5, 6, 5)));
    WO_TessPageStageFinal();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    page_t *page = WO_CellPage(WO_CellIndex(5, 5, 5));
    if (size < 8)
        return 0;
    int32_t sizes[2];
    for (int k = 0; k < 2; k++)
        sizes[k] = static_cast<int32_t>(data[4 * k] | data[4 * k + 1] << 8 | data[4 * k + 2] << 16 |
                                        static_cast<uint32_t>(data[4 * k + 3]) << 24);
    page->compressedMatterSize = sizes[0];
    page->compressedDensitySize = sizes[1];
    memset(page->compressed, 0, sizeof(page->compressed));
    const size_t n = size - 8 < sizeof(page->compressed) ? size - 8 : sizeof(page->compressed);
    memcpy(page->compressed, data + 8, n);
    if (!WO_UncompressPage(page))
        return 0;

    // A page that decodes encodes back to the same voxels.
    voxel_t voxels[WO_PAGE_SIZE];
    memcpy(voxels, page->voxels, sizeof(voxels));
    WO_CompressPage(page);
    if (!WO_UncompressPage(page) || memcmp(voxels, page->voxels, sizeof(voxels)) != 0)
        abort();

    for (int y = 4; y <= 5; y++)
        WO_TessPageStage0(WO_CellPage(WO_CellIndex(5, y, 5)));
    for (int y = 4; y <= 5; y++)
        WO_TessPageStage1(WO_CellPage(WO_CellIndex(5, y, 5)));
    WO_TessPageStageFinal();
    const page_t *p = WO_CellPage(WO_CellIndex(5, 5, 5));
    if (p->numIndexes > WO_PAGE_INDEXES_MAX || p->numBatchIndexes > WO_PAGE_BATCH_INDEXES_MAX ||
        p->numShadowIndexes > WO_PAGE_SHADOW_INDEXES_MAX || p->numFaces > WO_PAGES_FACES_MAX)
        abort();
    // Every live vertex is referenced; the active bits are read a word at a time, an
    // input touches only a few hundred vertexes.
    for (int w = 0; w < WO_POOL_SIZE / 64; w++) {
        uint64_t bits;
        memcpy(&bits, wo_pool.active + 8 * w, sizeof(bits));
        for (int k = 0; k < 64; k++)
            if ((bits >> k & 1) && wo_pool.references[64 * w + k] <= 0)
                abort();
    }
    return 0;
}
