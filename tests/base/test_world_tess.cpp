#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/wo_tables.h"
#include "base/world.h"
#include "tests/base/world_build.h"

namespace {

using namespace worldbuild;

struct Vec {
    double x, y, z;
};
Vec Pos(int i) {
    const float *p = WO_GetVertexPosRefByIndex(i);
    return {p[0], p[1], p[2]};
}
Vec Sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The welded surface of every live page, three pool indexes per triangle.
std::vector<std::array<int, 3>> WeldedSurface() {
    std::vector<std::array<int, 3>> tris;
    for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
        for (int k = 0; k < p->numIndexes; k += 3)
            tris.push_back({p->indexes[k], p->indexes[k + 1], p->indexes[k + 2]});
    return tris;
}

TEST(WorldTess, TriangleTableHasThePublishedRowsAndCutsExactlyTheChangingEdges) {
    const std::vector<std::vector<int>> samples = {
        {1, 0, 8, 3}, {3, 1, 8, 3, 9, 8, 1}, {128, 7, 6, 11}};
    for (const auto &s : samples)
        for (size_t k = 1; k < s.size(); k++)
            EXPECT_EQ(wo_triTable[s[0]][k - 1], s[k]) << "row " << s[0];
    for (int c = 0; c < 256; c++) {
        std::set<int> used, changing;
        int k = 0;
        for (; k < 16 && wo_triTable[c][k] >= 0; k++)
            used.insert(wo_triTable[c][k]);
        EXPECT_EQ(k % 3, 0) << "row " << c;
        for (; k < 16; k++)
            EXPECT_EQ(wo_triTable[c][k], -1) << "row " << c;
        for (int e = 0; e < 12; e++) {
            const bool a = (c >> wo_cubeEdges[e].first) & 1, b = (c >> wo_cubeEdges[e].second) & 1;
            if (a != b)
                changing.insert(e);
        }
        EXPECT_EQ(used, changing) << "row " << c;
    }
}

TEST(WorldTess, BallsAreWatertightOutwardWithTrueAreaAndVolume) {
    ErrorLog log;
    for (float radius : {10.0f, 20.0f, 40.0f}) {
        SCOPED_TRACE(radius);
        Build(Ball(radius));
        TessAll();
        const auto tris = WeldedSurface();
        ASSERT_GT(tris.size(), 100u);

        // Each directed edge once and its reverse once: closed and consistently wound.
        std::map<std::pair<int, int>, int> directed;
        for (const auto &t : tris)
            for (int k = 0; k < 3; k++)
                directed[{t[k], t[(k + 1) % 3]}]++;
        int bad = 0;
        for (const auto &[e, n] : directed)
            if (n != 1 || directed.count({e.second, e.first}) != 1 || directed.at({e.second, e.first}) != 1)
                bad++;
        EXPECT_EQ(bad, 0);

        double area = 0, volume = 0;
        int inward = 0;
        for (const auto &t : tris) {
            const Vec a = Pos(t[0]), b = Pos(t[1]), c = Pos(t[2]);
            const Vec n = Cross(Sub(b, a), Sub(c, a));
            area += std::sqrt(Dot(n, n)) / 2;
            volume += Dot(a, Cross(b, c)) / 6;
            const Vec centroid = {(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
            inward += Dot(n, centroid) <= 0;
        }
        EXPECT_EQ(inward, 0);
        int inwardPlanes = 0;
        for (const page_t *p = wo_pageDummy.next; p != &wo_pageDummy; p = p->next)
            for (int s = 0; s < p->numSurfs; s++) {
                const woSurf_t &surf = p->surfs[s];
                // The origin lies inside the ball: behind every outward plane.
                inwardPlanes += !(surf.plane[3] < 0);
                EXPECT_NEAR(surf.plane[0] * surf.plane[0] + surf.plane[1] * surf.plane[1] +
                                surf.plane[2] * surf.plane[2], 1.0, 1e-5);
            }
        EXPECT_EQ(inwardPlanes, 0);

        const double r = radius;
        const double trueArea = 4 * M_PI * r * r, trueVolume = 4 * M_PI * r * r * r / 3;
        if (radius >= 20) {
            EXPECT_NEAR(area / trueArea, 1.0, 0.005);
            EXPECT_NEAR(volume / trueVolume, 1.0, 0.005);
        } else {
            EXPECT_NEAR(volume / trueVolume, 1.0, 0.02);
        }
    }
    EXPECT_TRUE(log.entries.empty()) << log.entries.front().second;
}

}  // namespace
