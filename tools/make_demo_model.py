#!/usr/bin/env python3
"""Writes the example production's model: a trefoil knot drawn as a tube, as an
OBJ file with normals and texture coordinates.

The knot is our own: the (2, 3) torus knot, a tube of fixed radius swept
along it with a twist-free frame. The example's demo/data/knot.r3d is this
model converted by vexa-mesh:

    python3 tools/make_demo_model.py /tmp/knot.obj
    build/release/src/vexa-mesh --binary --flip-v /tmp/knot.obj demo/data/knot.r3d

Faces wind counter-clockwise seen from outside the tube. Texture u runs along
the knot (the picture repeats eight times around it), v around the tube.
"""
import math
import sys

SEGMENTS = 192  # rings along the knot
SIDES = 12  # corners of each ring
TUBE = 0.28  # tube radius
REPEATS = 8  # texture repeats along the knot


def knot(t):
    """The (2, 3) torus knot, about 3.2 units across."""
    r = 1.0 + 0.45 * math.cos(3 * t)
    return (r * math.cos(2 * t), r * math.sin(2 * t), 0.45 * math.sin(3 * t))


def sub(a, b):
    return tuple(x - y for x, y in zip(a, b))


def dot(a, b):
    return sum(x * y for x, y in zip(a, b))


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def unit(a):
    length = math.sqrt(dot(a, a))
    return tuple(x / length for x in a)


def rotate(v, axis, angle):
    """Rodrigues' rotation of v about a unit axis."""
    c, s = math.cos(angle), math.sin(angle)
    k = cross(axis, v)
    d = dot(axis, v) * (1 - c)
    return tuple(v[i] * c + k[i] * s + axis[i] * d for i in range(3))


def frames():
    """Centre, tangent and normal of each ring. The normal is carried along
    by parallel transport; the small turn it has gathered when the knot
    closes is spread over all rings so that the last ring meets the first."""
    ts = [2 * math.pi * i / SEGMENTS for i in range(SEGMENTS + 1)]
    centres = [knot(t) for t in ts]
    tangents = [unit(sub(knot(t + 1e-4), knot(t - 1e-4))) for t in ts]
    normal = unit(cross(tangents[0], (0.0, 0.0, 1.0)))
    normals = [normal]
    for i in range(1, SEGMENTS + 1):
        normal = sub(normal, tuple(tangents[i][k] * dot(normal, tangents[i]) for k in range(3)))
        normal = unit(normal)
        normals.append(normal)
    closing = math.atan2(dot(cross(normals[-1], normals[0]), tangents[0]),
                         dot(normals[-1], normals[0]))
    for i in range(SEGMENTS + 1):
        normals[i] = rotate(normals[i], tangents[i], closing * i / SEGMENTS)
    return centres, tangents, normals


def write(path):
    centres, tangents, normals = frames()
    lines = ["# trefoil knot tube, made by tools/make_demo_model.py", "o TrefoilKnot"]
    positions, directions, uvs = [], [], []
    for i in range(SEGMENTS + 1):
        binormal = cross(tangents[i], normals[i])
        for j in range(SIDES + 1):
            a = 2 * math.pi * j / SIDES
            d = tuple(math.cos(a) * normals[i][k] + math.sin(a) * binormal[k] for k in range(3))
            positions.append(tuple(centres[i][k] + TUBE * d[k] for k in range(3)))
            directions.append(d)
            uvs.append((REPEATS * i / SEGMENTS, j / SIDES))
    lines += ["v %.5f %.5f %.5f" % p for p in positions]
    lines += ["vt %.5f %.5f" % uv for uv in uvs]
    lines += ["vn %.5f %.5f %.5f" % n for n in directions]
    for i in range(SEGMENTS):
        for j in range(SIDES):
            a = i * (SIDES + 1) + j + 1  # OBJ counts from 1
            b, c, d = a + SIDES + 1, a + SIDES + 2, a + 1
            lines.append("f " + " ".join("%d/%d/%d" % (k, k, k) for k in (a, d, c, b)))
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make_demo_model.py OUTPUT.obj")
    write(sys.argv[1])
