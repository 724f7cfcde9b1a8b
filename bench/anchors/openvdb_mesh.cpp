#include "openvdb_mesh.h"

#include <openvdb/openvdb.h>
#include <openvdb/tools/Prune.h>
#include <openvdb/tools/VolumeToMesh.h>
#include <tbb/global_control.h>

#include <memory>

namespace anchor {

namespace {

constexpr int N = 128;
// The grid holds 127.5 - density: negative, the library's inside, exactly where the
// density is 128 or more, and zero on no voxel.
constexpr float SURFACE = 127.5f;

openvdb::FloatGrid::Ptr grid;

}  // namespace

void OpenVdbLoad(const std::vector<uint8_t> &field) {
    openvdb::initialize();
    grid = openvdb::FloatGrid::create(SURFACE);
    openvdb::FloatGrid::Accessor acc = grid->getAccessor();
    for (int z = 0; z < N; z++)
        for (int y = 0; y < N; y++)
            for (int x = 0; x < N; x++) {
                const uint8_t d = field[(static_cast<size_t>(z) * N + y) * N + x];
                if (d != 0)
                    acc.setValue(openvdb::Coord(x, y, z), SURFACE - d);
            }
    openvdb::tools::prune(grid->tree());
}

size_t OpenVdbMesh() {
    // The engine tessellates on one thread; so does the anchor.
    tbb::global_control one(tbb::global_control::max_allowed_parallelism, 1);
    std::vector<openvdb::Vec3s> points;
    std::vector<openvdb::Vec3I> triangles;
    std::vector<openvdb::Vec4I> quads;
    openvdb::tools::volumeToMesh(*grid, points, triangles, quads, 0.0, 0.0);
    return triangles.size() + 2 * quads.size();
}

}  // namespace anchor
