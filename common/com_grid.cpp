// Grid walks.
#include "common/com_grid.h"

#include <cmath>
#include <cstdint>

#include "common/com_noise.h"

int Com_Bresenham3D(const int start[3], const int end[3], gridCallback_t callback) {
    // 64-bit differences and error terms: ends anywhere in the int range neither
    // overflow nor change the walk.
    int64_t a[3];
    int step[3];
    for (int i = 0; i < 3; i++) {
        const int64_t d = int64_t(end[i]) - int64_t(start[i]);
        step[i] = d < 0 ? -1 : 1;
        a[i] = d < 0 ? -d : d;
    }
    int drive, u, w;
    if (a[0] >= a[1] && a[0] >= a[2]) {
        drive = 0, u = 1, w = 2;
    } else if (a[1] >= a[0] && a[1] >= a[2]) {
        drive = 1, u = 0, w = 2;
    } else {
        drive = 2, u = 0, w = 1;
    }
    const int64_t m = a[drive];
    int64_t eu = -m, ew = -m;
    int cell[3] = {start[0], start[1], start[2]};
    for (int64_t k = 0; k < m; k++) {
        eu += 2 * a[u];
        ew += 2 * a[w];
        if (!callback(cell)) return 0;
        if (eu > 0) {
            cell[u] += step[u];
            eu -= 2 * m;
        }
        if (ew > 0) {
            cell[w] += step[w];
            ew -= 2 * m;
        }
        cell[drive] += step[drive];
    }
    return callback(cell);
}

static void PointCell(int cell[3], const vec3_t p, const int offset[3]) {
    for (int i = 0; i < 3; i++) cell[i] = Com_ClampToInt(float(offset[i]) + p[i]);
}

void Com_VarekLine3D(const vec3_t start, const vec3_t end, const int offset[3],
                     gridCallback_t callback) {
    vec3_t d, ad, p;
    for (int i = 0; i < 3; i++) {
        d[i] = end[i] - start[i];
        ad[i] = Com_fabs(d[i]);
        p[i] = start[i];
    }
    int prev[3];
    PointCell(prev, p, offset);
    if (!callback(prev)) return;

    float t = 0;
    for (int iter = 0; iter < GRID_WALK_MAX_STEPS && t < 1; iter++) {
        // Fraction of the whole segment to the next face on each axis.
        float tf[3];
        for (int i = 0; i < 3; i++) {
            const float toFace = d[i] < 0 ? Fract(p[i]) : 1.0f - Fract(p[i]);
            tf[i] = ad[i] == 0 ? INFINITY : toFace / ad[i];
        }
        // The nearest face.  On an exact tie the nearest is still taken: a segment
        // through a cell edge must not leap past the cells beyond it.
        const float step = _Min(tf[0], _Min(tf[1], tf[2]));
        t = _Min(t + step + GRID_WALK_PUSH, 1.0f);
        int cell[3];
        for (int i = 0; i < 3; i++) p[i] = start[i] + d[i] * t;
        PointCell(cell, p, offset);
        if (cell[0] != prev[0] || cell[1] != prev[1] || cell[2] != prev[2]) {
            if (!callback(cell)) return;
            prev[0] = cell[0], prev[1] = cell[1], prev[2] = cell[2];
        }
    }
}
