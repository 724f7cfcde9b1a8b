#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "common/com_grid.h"

namespace {

typedef std::array<int, 3> Cell;

std::vector<Cell> g_cells;
size_t g_stopAfter;  // the callback returns 0 once this many cells were seen

int Record(const int cell[3]) {
    g_cells.push_back({cell[0], cell[1], cell[2]});
    return g_cells.size() < g_stopAfter;
}

std::vector<Cell> Bresenham(Cell s, Cell e, int *result = nullptr, size_t stopAfter = SIZE_MAX) {
    g_cells.clear();
    g_stopAfter = stopAfter;
    const int r = Com_Bresenham3D(s.data(), e.data(), Record);
    if (result) *result = r;
    return g_cells;
}

std::vector<Cell> Varek(const vec3_t s, const vec3_t e, Cell offset = {0, 0, 0},
                        size_t stopAfter = SIZE_MAX) {
    g_cells.clear();
    g_stopAfter = stopAfter;
    Com_VarekLine3D(s, e, offset.data(), Record);
    return g_cells;
}

TEST(GridWalk, BresenhamTable) {
    int r = -1;
    EXPECT_EQ(Bresenham({0, 0, 0}, {3, 1, 0}, &r),
              (std::vector<Cell>{{0, 0, 0}, {1, 0, 0}, {2, 1, 0}, {3, 1, 0}}));
    EXPECT_EQ(r, 1);
    // |dx| = |dy|: x drives, y follows at every step.
    EXPECT_EQ(Bresenham({0, 0, 0}, {-2, 2, 0}),
              (std::vector<Cell>{{0, 0, 0}, {-1, 1, 0}, {-2, 2, 0}}));
    EXPECT_EQ(Bresenham({0, 0, 0}, {0, 0, -3}),
              (std::vector<Cell>{{0, 0, 0}, {0, 0, -1}, {0, 0, -2}, {0, 0, -3}}));
    EXPECT_EQ(Bresenham({4, 5, 6}, {4, 5, 6}, &r), (std::vector<Cell>{{4, 5, 6}}));
    EXPECT_EQ(r, 1);
    EXPECT_EQ(Bresenham({4, 5, 6}, {4, 5, 6}, &r, 1).size(), 1u);
    EXPECT_EQ(r, 0);  // the only call said stop
    EXPECT_EQ(Bresenham({0, 0, 0}, {9, 9, 9}, &r, 1).size(), 1u);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(Bresenham({0, 0, 0}, {9, 3, 1}, &r, 4).size(), 4u);
    EXPECT_EQ(r, 0);
}

TEST(GridWalk, BresenhamStepsAlongTheLineOnRandomEnds) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> c(-40, 40);
    for (int k = 0; k < 300; k++) {
        const Cell s = {c(rng), c(rng), c(rng)}, e = {c(rng), c(rng), c(rng)};
        const auto cells = Bresenham(s, e);
        int m = 0;
        for (int i = 0; i < 3; i++) m = std::max(m, std::abs(e[i] - s[i]));
        ASSERT_EQ(cells.size(), size_t(m) + 1);
        EXPECT_EQ(cells.front(), s);
        EXPECT_EQ(cells.back(), e);
        for (size_t n = 0; n < cells.size(); n++) {
            // Each cell lies within one cell of the ideal line at the same step.
            const float f = m ? float(n) / float(m) : 0;
            for (int i = 0; i < 3; i++) {
                EXPECT_LE(std::fabs(s[i] + (e[i] - s[i]) * f - cells[n][i]), 1.0f);
                if (n) {
                    EXPECT_LE(std::abs(cells[n][i] - cells[n - 1][i]), 1);
                }
            }
        }
    }
}

TEST(GridWalk, BresenhamHandlesTheWholeIntRange) {
    int r;
    const auto cells = Bresenham({2147483647, 0, 0}, {2147483645, 0, 0}, &r);
    EXPECT_EQ(cells.size(), 3u);
    // A walk across the whole range is stopped by its callback at once.
    EXPECT_EQ(Bresenham({-2147483647 - 1, 0, 0}, {2147483647, 0, 0}, &r, 2).size(), 2u);
    EXPECT_EQ(r, 0);
}

TEST(GridWalk, VarekTable) {
    const vec3_t a = {0.5f, 0.5f, 0.5f}, b = {2.5f, 0.5f, 0.5f};
    EXPECT_EQ(Varek(a, b), (std::vector<Cell>{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}));
    EXPECT_EQ(Varek(a, a), (std::vector<Cell>{{0, 0, 0}}));
    EXPECT_EQ(Varek(a, b, {0, 0, 0}, 1).size(), 1u);
    // The offset shifts the indices, not the geometry.
    EXPECT_EQ(Varek(a, b, {64, 64, 64}), (std::vector<Cell>{{64, 64, 64}, {65, 64, 64}, {66, 64, 64}}));
    // Truncation toward zero: −0.5 lies in cell 0, like 0.5.
    const vec3_t n0 = {-0.5f, 0.5f, 0.5f}, n1 = {0.5f, 0.5f, 0.5f};
    EXPECT_EQ(Varek(n0, n1), (std::vector<Cell>{{0, 0, 0}}));
    const vec3_t back0 = {2.5f, 0.5f, 0.5f}, back1 = {-1.5f, 0.5f, 0.5f};
    EXPECT_EQ(Varek(back0, back1), (std::vector<Cell>{{2, 0, 0}, {1, 0, 0}, {0, 0, 0}, {-1, 0, 0}}));
}

TEST(GridWalk, VarekThroughACellEdgeVisitsTheDiagonal) {
    // The segment meets the x and y faces at the same fraction at every step.
    const vec3_t a = {0.5f, 0.5f, 0.5f}, b = {5.5f, 5.5f, 0.5f};
    const auto cells = Varek(a, b);
    for (int i = 0; i <= 5; i++)
        EXPECT_NE(std::find(cells.begin(), cells.end(), Cell{i, i, 0}), cells.end()) << i;
    EXPECT_EQ(cells.back(), (Cell{5, 5, 0}));
}

TEST(GridWalk, VarekNeverReportsMoreThanItsLimit) {
    // Very long segments: the push past each face bounds the steps.
    const vec3_t a = {0.5f, 0.5f, 0.5f}, b = {4000000.5f, 0.5f, 0.5f};
    const auto cells = Varek(a, b);
    EXPECT_LE(cells.size(), size_t(GRID_WALK_MAX_STEPS) + 1);
    const vec3_t huge0 = {-1e30f, 0, 0}, huge1 = {1e30f, 0, 0};
    EXPECT_LE(Varek(huge0, huge1).size(), size_t(GRID_WALK_MAX_STEPS) + 1);
}

// The cells a segment passes through, found by dense sampling, with the fraction
// interval spent in each.
struct Visit {
    Cell cell;
    double tin, tout;
};

std::vector<Visit> BruteWalk(const vec3_t s, const vec3_t e) {
    std::vector<Visit> visits;
    const int samples = 40000;
    for (int k = 0; k <= samples; k++) {
        const double t = double(k) / samples;
        Cell c;
        for (int i = 0; i < 3; i++) c[i] = int(double(s[i]) + (double(e[i]) - s[i]) * t);
        if (visits.empty() || visits.back().cell != c)
            visits.push_back({c, t, t});
        else
            visits.back().tout = t;
    }
    return visits;
}

TEST(GridWalk, VarekMatchesABruteForceWalkOnRandomRays) {
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> pos(0.0f, 12.0f);
    for (int k = 0; k < 100; k++) {
        const vec3_t s = {pos(rng), pos(rng), pos(rng)}, e = {pos(rng), pos(rng), pos(rng)};
        const auto walk = Varek(s, e);
        const auto brute = BruteWalk(s, e);
        // Every reported cell is one the segment passes, in the segment's order.
        size_t at = 0;
        for (const Cell &c : walk) {
            while (at < brute.size() && brute[at].cell != c) at++;
            ASSERT_LT(at, brute.size()) << "ray " << k << " reported a cell off its path";
        }
        // Every cell the segment stays in for longer than the walk's push is reported.
        for (const Visit &v : brute) {
            if (v.tout - v.tin > 0.0015) {
                EXPECT_NE(std::find(walk.begin(), walk.end(), v.cell), walk.end())
                    << "ray " << k << " missed " << v.cell[0] << "," << v.cell[1] << "," << v.cell[2];
            }
        }
        EXPECT_EQ(walk.front(), brute.front().cell);
        EXPECT_EQ(walk.back(), brute.back().cell);
    }
}

}  // namespace
