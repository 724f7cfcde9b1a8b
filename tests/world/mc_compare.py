#!/usr/bin/python3
"""Checks the world's tessellation against scikit-image's marching cubes.

usage: mc_compare.py FIELD VERTEXES
  FIELD     128^3 density bytes of the world as tessellation reads it, x slowest
            (index (x * 128 + y) * 128 + z)
  VERTEXES  float32 triples: the world positions of the tessellated surface's vertexes

Runs skimage.measure.marching_cubes with method "lorensen" at level 128, maps its
voxel coordinates v to world positions 0.8 * (v - 64), and requires that both vertex
sets agree: every vertex of one lies within 1e-4 world units of a vertex of the other.
Exit status 0 when they agree, 1 when not, 2 on bad input.
"""
import sys

import numpy as np
from scipy.spatial import cKDTree
from skimage.measure import marching_cubes

TOLERANCE = 1e-4


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    field = np.fromfile(sys.argv[1], dtype=np.uint8)
    if field.size != 128 ** 3:
        print("field holds %d bytes, not 128^3" % field.size)
        return 2
    ours = np.fromfile(sys.argv[2], dtype=np.float32).astype(np.float64)
    if ours.size == 0 or ours.size % 3:
        print("vertex file holds %d floats" % ours.size)
        return 2
    ours = ours.reshape(-1, 3)

    volume = field.reshape(128, 128, 128).astype(np.float32)
    verts, _, _, _ = marching_cubes(volume, level=128.0, method="lorensen")
    theirs = 0.8 * (verts.astype(np.float64) - 64.0)
    theirs = np.unique(np.round(theirs, 6), axis=0)

    d_ours, _ = cKDTree(theirs).query(ours)
    d_theirs, _ = cKDTree(ours).query(theirs)
    print("ours %d vertexes, scikit-image %d; largest distances %.3g and %.3g"
          % (len(ours), len(theirs), d_ours.max(), d_theirs.max()))
    return 0 if d_ours.max() <= TOLERANCE and d_theirs.max() <= TOLERANCE else 1


if __name__ == "__main__":
    sys.exit(main())
