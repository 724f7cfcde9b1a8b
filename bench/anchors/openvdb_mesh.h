// OpenVDB's mesher over the world's density field, the anchor the tessellation is
// measured against.  Built into bench_tess only where the library is found; the
// engine never links it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace anchor {

// Makes OpenVDB's grid of a 128^3 density field (index (z * 128 + y) * 128 + x) and
// holds it for OpenVdbMesh: the world's matter rule, density 128 and above inside, with
// the uniform regions as tiles, the sparse form the library is made for.
void OpenVdbLoad(const std::vector<uint8_t> &field);
// volumeToMesh of the loaded grid at adaptivity 0 on one thread; the number of
// triangles it made, a quad counting two.
size_t OpenVdbMesh();

}  // namespace anchor
