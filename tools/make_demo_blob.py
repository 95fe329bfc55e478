#!/usr/bin/env python3
"""Writes the example production's morphing blob (demo/data/blob.r3d): a
sphere of radius 1 as an ASCII R3D mesh with two morph targets in its vertex
rows, "cube" (the sphere pushed out to a rounded cube) and "star" (the
sphere grown into spikes).

    python3 tools/make_demo_blob.py demo/data/blob.r3d

The sphere shares its vertices everywhere (one vertex at each pole, no seam),
so normals calculated over the faces are smooth all round. Faces wind
counter-clockwise seen from outside in right-handed coordinates, like the
example's knot.
"""
import math
import sys

RINGS = 24  # rings between the poles
SEGMENTS = 48  # vertices around each ring


def cube(p):
    """The point of a rounded cube (|x|^6 + |y|^6 + |z|^6 = 1) on p's ray."""
    x, y, z = p
    scale = (abs(x) ** 6 + abs(y) ** 6 + abs(z) ** 6) ** (-1 / 6)
    return (x * scale, y * scale, z * scale)


def star(p):
    """Twelve soft spikes, along the directions of an icosahedron's corners."""
    g = (1 + math.sqrt(5)) / 2
    corners = []
    for a, b in ((1, g), (-1, g), (1, -g), (-1, -g)):
        corners += [(0, a, b), (a, b, 0), (b, 0, a)]
    reach = max(sum(c[i] * p[i] for i in range(3)) / math.sqrt(1 + g * g) for c in corners)
    tip = max(0.0, reach - 0.93) / 0.07
    r = 0.85 + 0.8 * tip * tip
    return tuple(r * c for c in p)


def sphere():
    """Unit vectors of the rows (north pole, rings, south pole) and the faces."""
    points = [(0.0, 1.0, 0.0)]
    for ring in range(1, RINGS):
        theta = math.pi * ring / RINGS
        for s in range(SEGMENTS):
            phi = 2 * math.pi * s / SEGMENTS
            points.append((math.sin(theta) * math.cos(phi), math.cos(theta),
                           math.sin(theta) * math.sin(phi)))
    points.append((0.0, -1.0, 0.0))
    south = len(points) - 1

    def at(ring, s):
        return 1 + (ring - 1) * SEGMENTS + s % SEGMENTS

    faces = []
    for s in range(SEGMENTS):
        faces.append((0, at(1, s + 1), at(1, s)))
        for ring in range(1, RINGS - 1):
            a, b = at(ring, s), at(ring, s + 1)
            c, d = at(ring + 1, s + 1), at(ring + 1, s)
            faces += [(a, b, c), (a, c, d)]
        faces.append((south, at(RINGS - 1, s), at(RINGS - 1, s + 1)))
    return points, faces


def write(path):
    points, faces = sphere()
    lines = ["element vertices %d" % len(points)]
    for name in ("location", "cube", "star"):
        lines += ["property real %s%s" % (name, axis) for axis in "xyz"]
    lines += ["element triangles %d" % len(faces)]
    lines += ["property int index%d" % i for i in range(3)]
    lines.append("data")
    for p in points:
        row = p + cube(p) + star(p)
        lines.append(" ".join("%.5f" % v for v in row))
    lines += ["%d %d %d" % f for f in faces]
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make_demo_blob.py OUTPUT.r3d")
    write(sys.argv[1])
