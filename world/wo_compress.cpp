// A page's compact form (two run-length streams) and the whole world's matter checksum.
#include <cstring>
#include <initializer_list>

#include "base/compress.h"
#include "world/wo_local.h"

// Starts set, so that the first checksum is computed rather than the placeholder.
byte wo_recalcChecksum = 1;
static uint32_t wo_matterChecksum = 666;

int WO_CompressPage(page_t *page) {
    byte matter[WO_PAGE_SIZE], density[WO_PAGE_SIZE];
    for (int i = 0; i < WO_PAGE_SIZE; i++) {
        matter[i] = static_cast<byte>(WO_Matter(page->voxels[i]));
        density[i] = static_cast<byte>(WO_Density(page->voxels[i]));
    }
    // Both streams always fit the room, whatever the voxels.
    static_assert(2 * Com_RunLengthBound(WO_PAGE_SIZE) <= WO_PAGE_COMPRESSED_MAX);
    page->compressedMatterSize = Com_RunLengthEncode(page->compressed, WO_PAGE_COMPRESSED_MAX, matter, WO_PAGE_SIZE);
    page->compressedDensitySize =
        Com_RunLengthEncode(page->compressed + page->compressedMatterSize,
                            WO_PAGE_COMPRESSED_MAX - page->compressedMatterSize, density, WO_PAGE_SIZE);
    return page->compressedDensitySize;
}

int WO_UncompressPage(page_t *page) {
    const int32_t ms = page->compressedMatterSize, ds = page->compressedDensitySize;
    if (ms < 0 || ds < 0 || ms > WO_PAGE_COMPRESSED_MAX || ds > WO_PAGE_COMPRESSED_MAX - ms) {
        Com_Error(ER_WARNING, "WO_UncompressPage: Bad stream sizes: %d + %d > %d", ms, ds,
                  WO_PAGE_COMPRESSED_MAX);
        return 0;
    }
    byte matter[WO_PAGE_SIZE], density[WO_PAGE_SIZE];
    const int mc = Com_RunLengthDecode(matter, WO_PAGE_SIZE, page->compressed, ms);
    const int dc = Com_RunLengthDecode(density, WO_PAGE_SIZE, page->compressed + ms, ds);
    bool ok = true;
    for (int count : {mc, dc}) {
        if (count < 0)  // the decoder stopped where the stream would overrun
            Com_Error(ER_WARNING, "WO_UncompressPage: Bad page size: more than %d", WO_PAGE_SIZE);
        else if (count != WO_PAGE_SIZE)
            Com_Error(ER_WARNING, "WO_UncompressPage: Bad page size: %d != %d", count, WO_PAGE_SIZE);
        ok = ok && count == WO_PAGE_SIZE;
    }
    // A damaged page is refused whole: half-decoded voxels would be a world nobody sent.
    if (!ok)
        return 0;
    for (int i = 0; i < WO_PAGE_SIZE; i++)
        page->voxels[i] = static_cast<voxel_t>(matter[i] << 8 | density[i]);
    return 1;
}

uint32_t WO_GetMatterChecksum() {
    if (!wo_recalcChecksum)
        return wo_matterChecksum;
    uint32_t sum = 0;
    for (uint32_t z = 0; z < WO_GRID_PAGES; z++)
        for (uint32_t y = 0; y < WO_GRID_PAGES; y++)
            for (uint32_t x = 0; x < WO_GRID_PAGES; x++) {
                const int32_t cell = wo_pageGrid[WO_CellIndex(x, y, z)];
                if (cell >= WO_CELL_PAGE)
                    sum ^= wo_pages[cell - WO_CELL_PAGE].voxelCrc;
                else if (cell == WO_CELL_SOLID)
                    sum ^= (z << 16) ^ (y << 8) ^ x ^ 0x67A20109u;
                else  // empty: the coordinates in another order than for solid
                    sum ^= (x << 16) ^ (z << 8) ^ y ^ 0x90F5F712u;
            }
    wo_recalcChecksum = 0;
    wo_matterChecksum = sum;
    return sum;
}
