#!/usr/bin/env python3
"""Writes the deformation shapes the dirt gun loads: data/game/c_soups/*.soup.

Each shape is a closed convex mesh around its origin, wound so that every
triangle's normal (b - a) x (c - a) points outwards, in shape units (the dirt
gun scales them).  Axes: +x right, +y up, +z forward.  Run from anywhere; the
output is the same byte for byte every time.
"""
import math
import os
import struct

MAGIC = 0xABCD9876
VERSION = 1


def outward(verts, tri):
    """The triangle wound so that its normal points away from the origin."""
    a, b, c = (verts[i] for i in tri)
    u = [b[k] - a[k] for k in range(3)]
    v = [c[k] - a[k] for k in range(3)]
    n = [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]
    centre = [(a[k] + b[k] + c[k]) / 3 for k in range(3)]
    return tri if sum(n[k] * centre[k] for k in range(3)) > 0 else (tri[0], tri[2], tri[1])


def box(hx, hy, hz):
    verts = [((x * 2 - 1) * hx, (y * 2 - 1) * hy, (z * 2 - 1) * hz)
             for x in (0, 1) for y in (0, 1) for z in (0, 1)]
    index = lambda x, y, z: x * 4 + y * 2 + z
    tris = []
    for axis in range(3):
        for side in (0, 1):
            quad = []
            for a, b in ((0, 0), (1, 0), (1, 1), (0, 1)):
                c = [0, 0, 0]
                c[axis] = side
                c[(axis + 1) % 3] = a
                c[(axis + 2) % 3] = b
                quad.append(index(*c))
            tris += [outward(verts, (quad[0], quad[1], quad[2])), outward(verts, (quad[0], quad[2], quad[3]))]
    return verts, tris


def sphere(radius, subdivisions):
    t = (1 + math.sqrt(5)) / 2
    verts = [(-1, t, 0), (1, t, 0), (-1, -t, 0), (1, -t, 0), (0, -1, t), (0, 1, t), (0, -1, -t), (0, 1, -t),
             (t, 0, -1), (t, 0, 1), (-t, 0, -1), (-t, 0, 1)]
    verts = [tuple(c / math.sqrt(1 + t * t) for c in v) for v in verts]
    tris = [(0, 11, 5), (0, 5, 1), (0, 1, 7), (0, 7, 10), (0, 10, 11), (1, 5, 9), (5, 11, 4), (11, 10, 2),
            (10, 7, 6), (7, 1, 8), (3, 9, 4), (3, 4, 2), (3, 2, 6), (3, 6, 8), (3, 8, 9), (4, 9, 5),
            (2, 4, 11), (6, 2, 10), (8, 6, 7), (9, 8, 1)]
    for _ in range(subdivisions):
        middles = {}

        def middle(i, j):
            key = (min(i, j), max(i, j))
            if key not in middles:
                m = [(verts[i][k] + verts[j][k]) / 2 for k in range(3)]
                length = math.sqrt(sum(c * c for c in m))
                verts.append(tuple(c / length for c in m))
                middles[key] = len(verts) - 1
            return middles[key]

        finer = []
        for a, b, c in tris:
            ab, bc, ca = middle(a, b), middle(b, c), middle(c, a)
            finer += [(a, ab, ca), (b, bc, ab), (c, ca, bc), (ab, bc, ca)]
        tris = finer
    verts = [tuple(c * radius for c in v) for v in verts]
    return verts, [outward(verts, tri) for tri in tris]


def write(path, shape):
    verts, tris = shape
    with open(path, "wb") as f:
        f.write(struct.pack("<IIii", MAGIC, VERSION, len(verts), 3 * len(tris)))
        for v in verts:
            f.write(struct.pack("<3f", *v))
        for tri in tris:
            f.write(struct.pack("<3i", *tri))


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "game", "c_soups")
    os.makedirs(out, exist_ok=True)
    write(os.path.join(out, "sphere.soup"), sphere(1.0, 2))        # 162 vertices, 320 triangles
    write(os.path.join(out, "wall.soup"), box(1.0, 1.0, 0.2))       # upright, facing the shooter
    write(os.path.join(out, "platform.soup"), box(1.0, 0.2, 1.0))   # flat, to stand on


if __name__ == "__main__":
    main()
