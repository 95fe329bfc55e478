#!/usr/bin/env python3
"""Writes the pictures of the bundled example production (demo/data/*.png).

Plain PNG writing with the standard library, so the pictures can be made
again on any machine: python3 tools/make_demo_images.py demo/data
"""
import math
import struct
import sys
import zlib
from pathlib import Path


def png(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b, a); row 0 is the top of the picture."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(bytes(max(0, min(255, int(c))) for c in pixel(x, y)))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    data += chunk(b"IEND", b"")
    Path(path).write_bytes(data)


def logo(x, y):
    """A ring with a V through it; the top band is warm, the bottom cool."""
    u, v = (x + 0.5) / 64 - 1, (y + 0.5) / 64 - 1
    r = math.hypot(u, v)
    ring = 1 - min(1, abs(r - 0.75) / 0.12)
    vee = 1 - min(1, abs(abs(u) * 1.6 - (0.65 - v)) / 0.18) if -0.7 < v < 0.6 else 0
    shade = max(ring, vee)
    top = 1 - (y / 127)
    return (255 * shade * (0.6 + 0.4 * top), 180 * shade, 255 * shade * (1 - 0.6 * top), 255 * shade)


def star(x, y):
    """A soft five-pointed glow, for additive blending."""
    u, v = (x + 0.5) / 32 - 1, (y + 0.5) / 32 - 1
    r = math.hypot(u, v)
    a = math.atan2(v, u)
    arms = 0.55 + 0.45 * math.cos(5 * a)
    glow = max(0.0, 1 - r / (0.35 + 0.6 * arms)) ** 1.5
    return (255 * glow, 230 * glow, 140 * glow, 255 * glow)


# The direction each texel of a cube face looks along, in the order the
# faces are given (+x, -x, +y, -y, +z, -z); s runs along a row, t down the
# picture from its top row.
CUBE_FACES = [
    lambda s, t: (1, -t, -s),
    lambda s, t: (-1, -t, s),
    lambda s, t: (s, 1, t),
    lambda s, t: (s, -1, -t),
    lambda s, t: (s, -t, 1),
    lambda s, t: (-s, -t, -1),
]


def sky(x, y, z):
    """A dusk sky: a warm horizon, a deep zenith, a sun and a grid of faint lines."""
    n = math.sqrt(x * x + y * y + z * z)
    x, y, z = x / n, y / n, z / n
    h = max(-1.0, min(1.0, y))
    if h >= 0:
        k = h ** 0.5
        base = (255 * (1 - k) + 20 * k, 140 * (1 - k) + 30 * k, 90 * (1 - k) + 110 * k)
    else:
        k = min(1.0, -h * 3)
        base = (60 * (1 - k) + 15 * k, 40 * (1 - k) + 25 * k, 50 * (1 - k) + 20 * k)
    # Lines of equal height and of equal bearing, so a turning camera shows.
    lat = math.degrees(math.asin(h))
    lon = math.degrees(math.atan2(x, z))
    line = max(0.0, 1 - abs((lat + 7.5) % 15 - 7.5) / 0.8, 1 - abs((lon + 15) % 30 - 15) / 1.0)
    sun = max(0.0, x * 0.6 + y * 0.3 + z * 0.74) ** 400
    return tuple(min(255, b + 90 * line + 255 * sun) for b in base) + (255,)


def ribbon(x, y):
    """Across a ribbon: bright in the middle, fading to nothing at both edges."""
    u = (x + 0.5) / 64
    glow = math.sin(math.pi * u) ** 3
    return (255 * glow, 255 * glow, 255 * glow, 255 * glow)


def picture(x, y):
    """A warm sun low over cool bands, ringed, with a diagonal weave; for
    the tiles, the cells and the warp."""
    u, v = (x + 0.5) / 128 - 1, (y + 0.5) / 128 - 1
    r = math.hypot(u, v + 0.25)
    sun = max(0.0, 1 - r / 0.45)
    rings = 0.5 + 0.5 * math.cos(r * 28)
    weave = 0.5 + 0.5 * math.sin((u + v) * 14) * math.sin((u - v) * 14)
    sky = (40 + 120 * (1 - (v + 1) / 2), 30 + 60 * weave, 110 + 100 * (v + 1) / 2)
    warm = (255, 170 + 60 * rings, 60 + 80 * rings)
    k = min(1.0, sun * 2.2)
    return tuple(sky[i] * (1 - k) + warm[i] * k + 40 * rings * (1 - k) * (i == 0)
                 for i in range(3)) + (255,)


def tile_map(x, y):
    """The colour of each tunnel tile: 256 tiles along a side, one row of
    texels per side. Mostly dark blues with runs of warm and bright tiles;
    dark enough that two of them added stay below white."""
    h = (x * 374761393 + y * 668265263) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    pick = (h >> 8) % 100
    band = 0.5 + 0.5 * math.sin(x * 0.19 + y * 1.7)
    if pick < 8:
        return (150, 140, 110, 255)
    if pick < 30 * band:
        return (150, 50 + 40 * band, 20, 255)
    shade = 20 + (h >> 20) % 40
    return (shade * 0.4, shade * 0.7, shade * 1.6 + 30, 255)


def knot_skin(x, y):
    """The knot's skin, repeated along it: a bright band and a thin one
    across the tube on a warm metal, darker on one side of the tube."""
    u, v = (x + 0.5) / 64, (y + 0.5) / 32
    band = max(0.0, 1 - abs(u - 0.3) / 0.12) + 0.6 * max(0.0, 1 - abs(u - 0.75) / 0.04)
    side = 0.75 + 0.25 * math.cos(2 * math.pi * v)
    base = (200, 120, 70)
    lit = tuple(min(255, (b + 150 * band) * side) for b in base)
    return lit + (255,)


# Letters of the title, five by seven cells each; '#' is ink.
GLYPHS = {
    "V": ["#...#", "#...#", "#...#", "#...#", ".#.#.", ".#.#.", "..#.."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
}


def title(text, width, height):
    """The text in block letters with soft edges and a glow, white on
    transparent, centred; each letter cell is a rounded square."""
    cell = min(width / (6 * len(text)), height / 9)
    left = (width - cell * (6 * len(text) - 1)) / 2
    top = (height - cell * 7) / 2
    ink = set()
    for n, letter in enumerate(text):
        for row, line in enumerate(GLYPHS[letter]):
            for col, mark in enumerate(line):
                if mark == "#":
                    ink.add((6 * n + col, row))

    def pixel(x, y):
        u, v = (x + 0.5 - left) / cell, (y + 0.5 - top) / cell
        near = 9.0
        for cu in range(int(math.floor(u)) - 2, int(math.floor(u)) + 3):
            for cv in range(int(math.floor(v)) - 2, int(math.floor(v)) + 3):
                if (cu, cv) in ink:
                    dx = max(abs(u - cu - 0.5) - 0.46, 0.0)
                    dy = max(abs(v - cv - 0.5) - 0.46, 0.0)
                    near = min(near, math.hypot(dx, dy))
        body = max(0.0, min(1.0, (0.12 - near) * cell / 1.5 + 0.5))
        glow = 0.45 * max(0.0, 1 - near / 1.6) ** 2
        a = max(body, glow)
        warm = body + (1 - body) * 0.5
        return (255 * warm, 255 * (0.75 + 0.25 * body), 255, 255 * a)
    return pixel


def cube_face(index, size):
    direction = CUBE_FACES[index]

    def pixel(x, y):
        s = 2 * (x + 0.5) / size - 1
        t = 2 * (y + 0.5) / size - 1
        return sky(*direction(s, t))
    return pixel


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else "demo/data")
    out.mkdir(parents=True, exist_ok=True)
    png(out / "logo.png", 128, 128, logo)
    png(out / "star.png", 64, 64, star)
    png(out / "white.png", 4, 4, lambda x, y: (255, 255, 255, 255))
    png(out / "title.png", 256, 64, title("VEXA", 256, 64))
    png(out / "ribbon.png", 64, 2, ribbon)
    png(out / "picture.png", 256, 256, picture)
    png(out / "tilemap.png", 256, 8, tile_map)
    png(out / "knot.png", 64, 32, knot_skin)
    for index, name in enumerate(["px", "nx", "py", "ny", "pz", "nz"]):
        png(out / f"sky_{name}.png", 128, 128, cube_face(index, 128))


if __name__ == "__main__":
    main()
