#!/usr/bin/env python3
"""Writes the tiles of the example production's tunnel as ASCII R3D meshes:

    python3 tools/make_demo_tunnel.py demo/data

- tilerow.r3d: one row of twelve tiles along x from 0 to 12, in the plane
  z = -1.2071 (one side of an octagon of unit sides around the x axis),
  facing the axis;
- tiletube.r3d: the same row turned to all eight sides, the whole tube.

Every tile is a quad of its own, a little smaller than its unit cell, and
all four of its corners carry the same texture coordinates (k / 256, 0) in
sets 0 and 1 for the k-th tile along x: a tile shows one texel of the tile
map, and the tunnel scrolls the map under the tiles by whole texels.
Faces wind clockwise seen from the axis, in right-handed coordinates.
"""
import math
import sys
from pathlib import Path

TILES = 12
APOTHEM = 1.2071
GAP = 0.06  # between neighbouring tiles, of the unit cell


def row(turn):
    """Corners and texture u of each tile of one side turned by `turn` about x."""
    c, s = math.cos(turn), math.sin(turn)

    def place(x, y, z):
        return (x, c * y - s * z, s * y + c * z)

    tiles = []
    lo, hi = GAP / 2, 1 - GAP / 2
    for k in range(TILES):
        # Seen from the axis (looking towards -z, y up, x to the right)
        # these corners turn clockwise.
        corners = [place(k + lo, y - 0.5, -APOTHEM) for y in (lo, hi)]
        corners += [place(k + hi, y - 0.5, -APOTHEM) for y in (hi, lo)]
        tiles.append((corners, k / 256))
    return tiles


def write(path, tiles):
    lines = ["element vertices %d" % (4 * len(tiles))]
    lines += ["property real location%s" % axis for axis in "xyz"]
    lines += ["property real %s" % name for name in ("u0", "v0", "u1", "v1")]
    lines += ["element quads %d" % len(tiles)]
    lines += ["property int index%d" % i for i in range(4)]
    lines.append("data")
    for corners, u in tiles:
        for p in corners:
            lines.append("%.5f %.5f %.5f %.6f 0 %.6f 0" % (p + (u, u)))
    for n in range(len(tiles)):
        lines.append("%d %d %d %d" % (4 * n, 4 * n + 1, 4 * n + 2, 4 * n + 3))
    Path(path).write_text("\n".join(lines) + "\n")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_demo_tunnel.py FOLDER")
    out = Path(sys.argv[1])
    write(out / "tilerow.r3d", row(0))
    write(out / "tiletube.r3d", [t for side in range(8) for t in row(side * math.pi / 4)])


if __name__ == "__main__":
    main()
