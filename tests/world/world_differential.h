// The world checked against brute force: a seeded random world is changed by random
// edits and re-tessellated incrementally after each, as the server does, and then
//  - every cell's products must equal those of the same voxels tessellated afresh;
//  - every ray must stop at the nearest crossing over every collision triangle;
//  - every box, rotated or skewed as sweeps sample it, must overlap exactly when some
//    collision triangle overlaps it.
// The suite runs a few seeds; the fuzz target drives the same checks from its input.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "common/com_geometry.h"
#include "tests/world/world_build.h"
#include "world/wo_local.h"

namespace worlddiff {

using namespace worldbuild;

// A small fast generator (splitmix64): the same seed gives the same world everywhere.
struct Rng {
    uint64_t s;
    uint32_t Next() {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
    }
    int Int(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<uint32_t>(hi - lo + 1)); }
    float Uniform(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(Next() >> 8) / 16777216.0f; }
    bool Chance(int percent) { return Int(0, 99) < percent; }
};

// The region of voxels a world and its edits occupy, so that a check stays quick.
struct Region {
    int lo[3], hi[3];
    bool Inside(int x, int y, int z) const {
        return x >= lo[0] && x <= hi[0] && y >= lo[1] && y <= hi[1] && z >= lo[2] && z <= hi[2];
    }
};

// Densities that sit on or beside the surface level, and the extremes.
inline int SpecialDensity(Rng &rng) {
    static const int special[] = {0, 127, 128, 128, 129, 255};
    return special[rng.Int(0, 5)];
}
inline int RandomMatter(Rng &rng) {
    static const int matters[] = {0, 0, 1, 2, 5};
    return matters[rng.Int(0, 4)];
}

// A few overlapping balls in the region with a jitter, some voxels on the surface level
// exactly; the region sometimes reaches the world's closed outer layers.
inline Region RandomWorld(Rng &rng) {
    Region r;
    for (int a = 0; a < 3; a++) {
        const int size = rng.Int(8, 22);
        const int where = rng.Int(0, 9);
        r.lo[a] = where == 0 ? 1 : where == 1 ? 125 - size : rng.Int(2, 124 - size);
        r.hi[a] = r.lo[a] + size;
    }
    struct Ball {
        float c[3], radius;
        int matter;
    } balls[3];
    const int numBalls = rng.Int(1, 3);
    for (int b = 0; b < numBalls; b++) {
        for (int a = 0; a < 3; a++)
            balls[b].c[a] = rng.Uniform(static_cast<float>(r.lo[a]), static_cast<float>(r.hi[a]));
        balls[b].radius = rng.Uniform(1.5f, 9.0f);
        balls[b].matter = RandomMatter(rng);
    }
    const int jitter = rng.Int(0, 40), specials = rng.Int(0, 15);
    const int slope = rng.Int(20, 120);
    const uint64_t noise = rng.Next();
    Build([&](int x, int y, int z) -> voxel_t {
        if (!r.Inside(x, y, z))
            return wo_emptyVoxel;
        Rng local{noise ^ (static_cast<uint64_t>(x) << 40 | static_cast<uint64_t>(y) << 20 | static_cast<uint64_t>(z))};
        float best = -1e9f;
        int matter = 0;
        for (int b = 0; b < numBalls; b++) {
            const float dx = x - balls[b].c[0], dy = y - balls[b].c[1], dz = z - balls[b].c[2];
            const float v = balls[b].radius - std::sqrt(dx * dx + dy * dy + dz * dz);
            if (v > best)
                best = v, matter = balls[b].matter;
        }
        int density = static_cast<int>(std::lround(128 + slope * best)) + local.Int(-jitter, jitter);
        if (local.Int(0, 99) < specials)
            density = SpecialDensity(local);
        density = density < 0 ? 0 : density > 255 ? 255 : density;
        return static_cast<voxel_t>((density >= WO_SURFACE_DENSITY ? matter : 0) << 8 | density);
    });
    TessAll();
    return r;
}

// One batch of edits, re-tessellated incrementally: single voxels (densities often on
// the surface level, matters mixed) or a crater.
inline void RandomEdits(Rng &rng, const Region &r) {
    const auto coord = [&](int a) {
        const int v = rng.Int(r.lo[a] - 2, r.hi[a] + 2);
        return v < 1 ? 1 : v > 125 ? 125 : v;
    };
    if (rng.Chance(25)) {
        for (const VoxelChange &c : Crater(coord(0), coord(1), coord(2), rng.Uniform(1, 4)))
            if (c.x >= 1 && c.x <= 125 && c.y >= 1 && c.y <= 125 && c.z >= 1 && c.z <= 125)
                SetVoxel(c.x, c.y, c.z, c.after);
    } else {
        const int n = rng.Int(1, 12);
        for (int k = 0; k < n; k++) {
            const int density = rng.Chance(50) ? SpecialDensity(rng) : rng.Int(0, 255);
            const int matter = density >= WO_SURFACE_DENSITY ? RandomMatter(rng) : 0;
            SetVoxel(coord(0), coord(1), coord(2), static_cast<voxel_t>(matter << 8 | density));
        }
    }
    TessDirty();
}

// ---- products of tessellation, cell by cell ----

// What a cell shows: whether it blocks sight, and every product by value (pool indexes
// replaced by what they index, so that two pools may number their vertexes apart).
struct CellProducts {
    bool opaque = false;
    std::vector<float> surfs, surface, batches, shadow, normals;
    bool Empty() const { return surfs.empty() && surface.empty() && batches.empty() && shadow.empty(); }
};

inline void AddVertex(std::vector<float> &out, int i) {
    if (i == WO_SHADOW_VERTEX) {
        out.insert(out.end(), {0, 0, 0, -1});
        return;
    }
    out.insert(out.end(), wo_pool.position[i], wo_pool.position[i] + 3);
    out.push_back(static_cast<float>(WO_TestBit(wo_pool.active, i)));
}

inline std::vector<CellProducts> Products() {
    std::vector<CellProducts> cells(WO_GRID_CELLS);
    for (int cell = 0; cell < WO_GRID_CELLS; cell++) {
        CellProducts &c = cells[cell];
        const page_t *p = WO_CellPage(cell);
        if (!p) {
            c.opaque = wo_pageGrid[cell] == WO_CELL_SOLID;
            continue;
        }
        c.opaque = p->pvsOptimized;
        for (int cube = 0; cube < WO_PAGE_SIZE; cube++) {
            const woRun_t run = p->cubeSurfs[cube];
            for (int s = run.first; s < run.first + run.count; s++) {
                c.surfs.push_back(static_cast<float>(cube));
                c.surfs.insert(c.surfs.end(), p->surfs[s].plane, p->surfs[s].plane + 4);
                c.surfs.insert(c.surfs.end(), &p->surfs[s].points[0][0], &p->surfs[s].points[0][0] + 9);
            }
        }
        for (int k = 0; k < p->numIndexes; k++)
            AddVertex(c.surface, p->indexes[k]);
        for (int k = 0; k < p->numShadowIndexes; k++)
            AddVertex(c.shadow, p->shadowIndexes[k]);
        for (int m = 0; m < WO_MATTERS; m++) {
            const woRun_t run = p->batches[m];
            for (int k = run.first; k < run.first + run.count; k++) {
                const int i = p->batchIndexes[k];
                c.batches.push_back(static_cast<float>(m));
                AddVertex(c.batches, i);
                c.batches.push_back(static_cast<float>(wo_pool.matter[i]));
                for (int ch = 0; ch < 4; ch++)
                    c.batches.push_back(wo_pool.rgba[i][ch]);
                c.normals.insert(c.normals.end(), wo_pool.normal[i], wo_pool.normal[i] + 3);
            }
        }
    }
    return cells;
}

// The first difference between the incremental world's products and a fresh build's,
// or "" when they agree.  Normals are sums in an order that follows the pool's history,
// so they agree to rounding.
inline std::string CompareProducts(const std::vector<CellProducts> &incremental, const std::vector<CellProducts> &fresh) {
    for (int cell = 0; cell < WO_GRID_CELLS; cell++) {
        const CellProducts &a = incremental[cell], &b = fresh[cell];
        std::ostringstream where;
        where << "cell " << cell % 32 << " " << cell / 32 % 32 << " " << cell / 1024 << ": ";
        if (a.opaque != b.opaque)
            return where.str() + "blocks sight in one world only";
        if (a.surfs != b.surfs)
            return where.str() + "collision triangles differ";
        if (a.surface != b.surface)
            return where.str() + "welded surface differs";
        if (a.batches != b.batches)
            return where.str() + "render batches differ";
        if (a.shadow != b.shadow)
            return where.str() + "shadow triangles differ";
        for (size_t k = 0; k < a.normals.size(); k++)
            if (std::fabs(a.normals[k] - b.normals[k]) > 1e-3f)
                return where.str() + "vertex normals differ";
    }
    return "";
}

// The voxels of the whole world as the world reads them.
inline std::vector<voxel_t> Voxels() {
    std::vector<voxel_t> all(WO_WORLD_VOXELS * WO_WORLD_VOXELS * WO_WORLD_VOXELS);
    for (int z = 0; z < WO_WORLD_VOXELS; z++)
        for (int y = 0; y < WO_WORLD_VOXELS; y++)
            for (int x = 0; x < WO_WORLD_VOXELS; x++)
                all[(z * WO_WORLD_VOXELS + y) * WO_WORLD_VOXELS + x] = WO_GetVoxel(x, y, z);
    return all;
}

// Rebuilds the world from its voxels afresh and compares the products.
inline std::string CompareWithFreshBuild() {
    const std::vector<CellProducts> incremental = Products();
    const std::vector<voxel_t> voxels = Voxels();
    const int matters = wm_max;
    Build([&](int x, int y, int z) { return voxels[(z * WO_WORLD_VOXELS + y) * WO_WORLD_VOXELS + x]; });
    wm_max = matters > wm_max ? matters : wm_max;
    TessAll();
    return CompareProducts(incremental, Products());
}

// ---- rays and boxes against every triangle ----

inline std::vector<const woSurf_t *> AllSurfs() {
    std::vector<const woSurf_t *> all;
    for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        for (int i = 0; i < p->numSurfs; i++)
            all.push_back(&p->surfs[i]);
    return all;
}

// "" when the ray stops at the nearest crossing of any triangle (a crossing counts
// within the rays' edge tolerance) with that triangle's plane, or meets nothing when
// no triangle is crossed.
inline std::string CheckRay(const std::vector<const woSurf_t *> &surfs, const vec3_t a, const vec3_t b) {
    float best = 1;
    for (const woSurf_t *s : surfs) {
        float f = best;
        vec3_t hit;
        if (CM_LineSegmentToPlane(a, b, s->plane, &f, hit) && WO_PointOnSurf(s, hit))
            best = f;
    }
    trace_t tr;
    WO_RayTrace(&tr, a, b);
    std::ostringstream why;
    why.precision(9);
    why << "ray (" << a[0] << " " << a[1] << " " << a[2] << ") -> (" << b[0] << " " << b[1] << " " << b[2]
        << "): fraction " << tr.fraction << ", nearest " << best;
    if (tr.fraction != best)
        return why.str();
    if (best == 1)
        return "";
    // Several triangles may meet the ray at the same point: the plane is one of theirs.
    for (const woSurf_t *s : surfs) {
        float f = 1;
        vec3_t hit;
        if (CM_LineSegmentToPlane(a, b, s->plane, &f, hit) && f == best && WO_PointOnSurf(s, hit) &&
            memcmp(s->plane, tr.plane, sizeof(tr.plane)) == 0)
            return "";
    }
    return why.str() + ": the plane is of no triangle met there";
}

// A point of the region in world units; often on a voxel's grid plane exactly.
inline float RegionPoint(Rng &rng, const Region &r, int a) {
    const int v = rng.Int(r.lo[a] - 3, r.hi[a] + 3);
    if (rng.Chance(30))
        return WO_VoxelToWorld(v);
    return WO_VoxelToWorld(v) + rng.Uniform(-0.4f, 0.4f);
}

// Random rays through the region: between random points, from points on the surface,
// along grid lines, and far longer than the world.
inline std::string CheckRays(Rng &rng, const Region &r, int count) {
    const std::vector<const woSurf_t *> surfs = AllSurfs();
    for (int n = 0; n < count; n++) {
        vec3_t a, b;
        for (int k = 0; k < 3; k++)
            a[k] = RegionPoint(rng, r, k), b[k] = RegionPoint(rng, r, k);
        const int kind = rng.Int(0, 9);
        if (kind == 0 && !surfs.empty()) {
            // From a corner or the middle of an edge of a triangle.
            const woSurf_t *s = surfs[rng.Int(0, static_cast<int>(surfs.size()) - 1)];
            const int c = rng.Int(0, 2);
            for (int k = 0; k < 3; k++)
                a[k] = rng.Chance(50) ? s->points[c][k] : 0.5f * (s->points[c][k] + s->points[(c + 1) % 3][k]);
        } else if (kind == 1) {
            // Along a grid line: two coordinates shared with the start.
            const int keep = rng.Int(0, 2);
            for (int k = 0; k < 3; k++)
                if (k != keep)
                    b[k] = a[k];
        } else if (kind == 2) {
            for (int k = 0; k < 3; k++)
                b[k] = a[k] + (b[k] - a[k]) * 100;
        }
        if (a[0] == b[0] && a[1] == b[1] && a[2] == b[2])
            continue;
        const std::string why = CheckRay(surfs, a, b);
        if (!why.empty())
            return why;
    }
    return "";
}

inline void RandomAxes(Rng &rng, vec3_t axis[3]) {
    vec3_t q = {rng.Uniform(-1, 1), rng.Uniform(-1, 1), rng.Uniform(-1, 1)};
    const float w = rng.Uniform(-1, 1);
    const float len = std::sqrt(w * w + _DotProduct(q, q));
    const float qw = w / len, qx = q[0] / len, qy = q[1] / len, qz = q[2] / len;
    const float m[3][3] = {{1 - 2 * (qy * qy + qz * qz), 2 * (qx * qy + qw * qz), 2 * (qx * qz - qw * qy)},
                           {2 * (qx * qy - qw * qz), 1 - 2 * (qx * qx + qz * qz), 2 * (qy * qz + qw * qx)},
                           {2 * (qx * qz + qw * qy), 2 * (qy * qz - qw * qx), 1 - 2 * (qx * qx + qy * qy)}};
    for (int i = 0; i < 3; i++)
        _VectorCopy(axis[i], m[i]);
}

// Random boxes in the region, upright, rotated, and blended between two rotations as
// a rotating sweep samples them (their axes are then no longer orthogonal).
inline std::string CheckBoxes(Rng &rng, const Region &r, int count) {
    const std::vector<const woSurf_t *> surfs = AllSurfs();
    for (int n = 0; n < count; n++) {
        obb_t a = {}, b = {};
        for (obb_t *box : {&a, &b}) {
            for (int k = 0; k < 3; k++) {
                box->origin[k] = RegionPoint(rng, r, k);
                box->halfSize[k] = rng.Uniform(0.02f, 2.5f);
            }
            RandomAxes(rng, box->axis);
        }
        obb_t box;
        const int kind = rng.Int(0, 2);
        if (kind == 0) {
            box = a;
            memset(box.axis, 0, sizeof(box.axis));
            box.axis[0][0] = box.axis[1][1] = box.axis[2][2] = 1;
        } else {
            CM_LerpOBB(&box, &a, &b, kind == 1 ? 0 : rng.Uniform(0.05f, 0.95f));
        }
        _AxisCopy(box.axisT, box.axis[0]);
        MatrixTranspose3x3(box.axisT);
        bool overlaps = false;
        for (const woSurf_t *s : surfs)
            if (CM_TriangleToOBB(s->points[0], s->points[1], s->points[2], &box)) {
                overlaps = true;
                break;
            }
        if (WO_ClipObbToWorld(&box, nullptr) != overlaps) {
            std::ostringstream why;
            why.precision(9);
            why << "box at (" << box.origin[0] << " " << box.origin[1] << " " << box.origin[2] << ") half ("
                << box.halfSize[0] << " " << box.halfSize[1] << " " << box.halfSize[2] << ") axes";
            for (int i = 0; i < 3; i++)
                why << " (" << box.axis[i][0] << " " << box.axis[i][1] << " " << box.axis[i][2] << ")";
            why << (overlaps ? ": a triangle overlaps it, the world says none" : ": the world says a triangle overlaps it");
            return why.str();
        }
    }
    return "";
}

}  // namespace worlddiff
