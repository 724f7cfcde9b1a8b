// libFuzzer target for world files: the input is a .vo2 file as it arrives from outside,
// read by the server's loader.  A refused file must leave the world as it was; an
// accepted one must leave every stored page consistent with its checksum.  Run by
// scripts/fuzz.sh.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/common.h"
#include "server/sv_world.h"
#include "world/world.h"

static int IgnoreError(int, const char *) { return 0; }

static page_t *marker;

// A marker page that only a successful load may remove.
static void PlaceMarker() {
    WO_ClearAllPages();
    marker = WO_SpawnPage(3, 3, 3);
    if (!marker)
        abort();
    for (voxel_t &v : marker->voxels)
        v = 0x0590;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    Com_SetupError(IgnoreError);
    SV_InitWorld();
    PlaceMarker();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!SV_LoadVO2FromMemory(data, size, "fuzz.vo2", nullptr)) {
        if (WO_CellPage(WO_CellIndex(3, 3, 3)) != marker || marker->voxels[17] != 0x0590)
            abort();
        return 0;
    }
    for (page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        if (p->voxelDirty || p->voxelCrc != Com_GetCRC(p->voxels, sizeof(p->voxels)))
            abort();
    PlaceMarker();
    return 0;
}
