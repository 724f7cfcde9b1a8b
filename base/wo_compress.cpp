// A page's compact form (two run-length streams) and the whole world's matter checksum.
#include <cstring>
#include <initializer_list>

#include "base/world.h"

// Starts set, so that the first checksum is computed rather than the placeholder.
byte wo_recalcChecksum = 1;
static uint32_t wo_matterChecksum = 666;

// Run-length groups: control 1..127 opens that many literal bytes; 130..255 repeats the
// next byte (control - 128) times.  The encoder writes runs of 2 or more as runs.
static int RunLengthEncode(byte *out, const byte *in, int n) {
    int written = 0;
    int literal = -1;  // position of the open literal group's control byte
    for (int i = 0; i < n;) {
        int run = 1;
        while (i + run < n && run < 127 && in[i + run] == in[i])
            run++;
        if (run >= 2) {
            out[written++] = static_cast<byte>(128 + run);
            out[written++] = in[i];
            literal = -1;
            i += run;
            continue;
        }
        if (literal < 0) {
            literal = written;
            out[written++] = 0;
        }
        out[literal]++;
        out[written++] = in[i];
        if (out[literal] == 127)
            literal = -1;
        i++;
    }
    return written;
}

// Decodes n bytes into at most outSize bytes.  Returns how many bytes the stream
// stands for (even past outSize, which is never written); a run control in the last
// position is a damaged stream and gives -1.
static int RunLengthDecode(byte *out, int outSize, const byte *in, int n) {
    int count = 0;
    for (int i = 0; i < n;) {
        const int c = in[i];
        if (c < 128) {
            const int avail = n - (i + 1);
            const int take = c < avail ? c : avail;
            for (int k = 0; k < take; k++, count++)
                if (count < outSize)
                    out[count] = in[i + 1 + k];
            i += 1 + c;
        } else {
            if (i + 1 >= n)
                return -1;
            for (int k = 0; k < c - 128; k++, count++)
                if (count < outSize)
                    out[count] = in[i + 1];
            i += 2;
        }
    }
    return count;
}

int WO_CompressPage(page_t *page) {
    byte matter[WO_PAGE_SIZE], density[WO_PAGE_SIZE];
    for (int i = 0; i < WO_PAGE_SIZE; i++) {
        matter[i] = static_cast<byte>(WO_Matter(page->voxels[i]));
        density[i] = static_cast<byte>(WO_Density(page->voxels[i]));
    }
    // 64 bytes encode to at most 65, so both streams always fit the 328-byte room.
    static_assert(2 * (WO_PAGE_SIZE + 1) <= WO_PAGE_COMPRESSED_MAX);
    page->compressedMatterSize = RunLengthEncode(page->compressed, matter, WO_PAGE_SIZE);
    page->compressedDensitySize =
        RunLengthEncode(page->compressed + page->compressedMatterSize, density, WO_PAGE_SIZE);
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
    const int mc = RunLengthDecode(matter, WO_PAGE_SIZE, page->compressed, ms);
    const int dc = RunLengthDecode(density, WO_PAGE_SIZE, page->compressed + ms, ds);
    bool ok = true;
    for (int count : {mc, dc})
        if (count != WO_PAGE_SIZE) {
            Com_Error(ER_WARNING, "WO_UncompressPage: Bad page size: %d != %d", count, WO_PAGE_SIZE);
            ok = false;
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
