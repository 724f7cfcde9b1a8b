// The plain algorithms the world's tessellation and rays are measured against, written
// straight from their published forms: marching cubes visiting every cube of a
// density field with the 256-case triangle table and writing unjoined triangles, and
// the Amanatides-Woo voxel walk stopping at the first cell at or above the surface.
// The benchmarks of bench/ include it from here.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "world/wo_tables.h"
#include "world/world.h"

namespace benchref {

constexpr int N = WO_WORLD_VOXELS;

// The world's densities as the tessellation reads them, index (z * N + y) * N + x.
inline std::vector<uint8_t> DensityField() {
    std::vector<uint8_t> field(static_cast<size_t>(N) * N * N);
    for (int z = 0; z < N; z++)
        for (int y = 0; y < N; y++)
            for (int x = 0; x < N; x++)
                field[(static_cast<size_t>(z) * N + y) * N + x] = static_cast<uint8_t>(WO_Density(WO_GetVoxel(x, y, z)));
    return field;
}

// Every cube of the field; each triangle's three corners go to out as nine floats in
// world units.  Returns the number of triangles.
inline size_t MarchingCubes(const std::vector<uint8_t> &field, std::vector<float> &out) {
    out.clear();
    const uint8_t *f = field.data();
    for (int z = 0; z + 1 < N; z++)
        for (int y = 0; y + 1 < N; y++)
            for (int x = 0; x + 1 < N; x++) {
                int d[8];
                int cubeCase = 0;
                for (int c = 0; c < 8; c++) {
                    const int8_t *o = wo_cornerOffsets[c];
                    d[c] = f[((static_cast<size_t>(z) + o[2]) * N + y + o[1]) * N + x + o[0]];
                    if (d[c] < WO_SURFACE_DENSITY)
                        cubeCase |= 1 << c;
                }
                const int8_t *tris = wo_triTable[cubeCase];
                for (int t = 0; tris[t] >= 0; t++) {
                    const woCubeEdge_t &e = wo_cubeEdges[tris[t]];
                    const int8_t *a = wo_cornerOffsets[e.first], *b = wo_cornerOffsets[e.second];
                    const float s = static_cast<float>(WO_SURFACE_DENSITY - d[e.first]) /
                                    static_cast<float>(d[e.second] - d[e.first]);
                    const int base[3] = {x, y, z};
                    for (int k = 0; k < 3; k++)
                        out.push_back(WO_VOXEL_SIZE * (base[k] + a[k] + s * (b[k] - a[k]) - WO_VOXEL_ORIGIN));
                }
            }
    return out.size() / 9;
}

// The walk from start to end (world units) through the voxel cells (cell v spans
// v - 0.5 .. v + 0.5 in voxel units); the fraction at which the first cell at or above
// the surface density is entered, or 1.
inline float VoxelWalk(const std::vector<uint8_t> &field, const float start[3], const float end[3]) {
    float p[3], dir[3], tMax[3], tDelta[3];
    int cell[3], step[3];
    for (int k = 0; k < 3; k++) {
        p[k] = start[k] / WO_VOXEL_SIZE + WO_VOXEL_ORIGIN + 0.5f;
        dir[k] = (end[k] - start[k]) / WO_VOXEL_SIZE;
        cell[k] = static_cast<int>(std::floor(p[k]));
        step[k] = dir[k] > 0 ? 1 : -1;
        if (dir[k] == 0) {
            tMax[k] = tDelta[k] = INFINITY;
        } else {
            tDelta[k] = std::fabs(1 / dir[k]);
            const float boundary = dir[k] > 0 ? cell[k] + 1 - p[k] : p[k] - cell[k];
            tMax[k] = boundary * tDelta[k];
        }
    }
    float t = 0;
    while (t <= 1) {
        if (cell[0] >= 0 && cell[0] < N && cell[1] >= 0 && cell[1] < N && cell[2] >= 0 && cell[2] < N &&
            field[(static_cast<size_t>(cell[2]) * N + cell[1]) * N + cell[0]] >= WO_SURFACE_DENSITY)
            return t;
        const int k = tMax[0] < tMax[1] ? (tMax[0] < tMax[2] ? 0 : 2) : (tMax[1] < tMax[2] ? 1 : 2);
        t = tMax[k];
        tMax[k] += tDelta[k];
        cell[k] += step[k];
    }
    return 1;
}

}  // namespace benchref
