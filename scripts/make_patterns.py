#!/usr/bin/env python3
"""Writes the pattern images of the fill section into resources/Pattern/.

Each is a small seamless tile (the fill repeats it across an object): polka dots, stripes, checks, a grid,
diagonal hatching, waves, small hearts and stars, and a houndstooth-like weave, each in two or three soft
colours. Shapes are drawn with 4 x 4 supersampling, and every shape that crosses an edge is drawn again
on the other side, so the tiles join without seams. The same run always writes the same bytes.
"""
import math
import os
import sys

from png_writer import RGB, write_png

SUPERSAMPLE = 4


def render(size, background, layers):
    """An RGB tile: each layer is (colour, inside(x, y)) painted over the background by coverage."""
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            colour = list(background)
            for layer_colour, inside in layers:
                hits = 0
                for sy in range(SUPERSAMPLE):
                    for sx in range(SUPERSAMPLE):
                        if inside(px + (sx + 0.5) / SUPERSAMPLE, py + (sy + 0.5) / SUPERSAMPLE):
                            hits += 1
                t = hits / SUPERSAMPLE ** 2
                colour = [round(c + (l - c) * t) for c, l in zip(colour, layer_colour)]
            row += bytes(colour)
        rows.append(row)
    return rows


def wrapped(size, inside):
    """The shape and its copies one tile away in every direction, so that it wraps at the edges."""
    def test(x, y):
        return any(inside(x + dx * size, y + dy * size) for dx in (-1, 0, 1) for dy in (-1, 0, 1))
    return test


def dots(size, radius, centres):
    return wrapped(size, lambda x, y: any((x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 for cx, cy in centres))


def heart(cx, cy, s):
    def inside(x, y):
        u, v = (x - cx) / s, (cy - y) / s + 0.25
        return (u * u + v * v - 1) ** 3 - u * u * v ** 3 <= 0
    return inside


def star(cx, cy, outer, inner):
    def inside(x, y):
        a = math.atan2(y - cy, x - cx) + math.pi / 2
        r = math.hypot(x - cx, y - cy)
        sector = (a % (2 * math.pi / 5)) / (2 * math.pi / 5)
        limit = inner + (outer - inner) * abs(1 - 2 * sector)
        return r <= limit
    return inside


PATTERNS = {
    "Dots Blue": (32, (232, 242, 250), [((70, 140, 205), dots(32, 5, [(8, 8), (24, 24)]))]),
    "Dots Red": (32, (252, 236, 232), [((210, 70, 70), dots(32, 3.5, [(8, 8), (24, 24)]))]),
    "Stripes Green": (32, (236, 246, 228), [((110, 170, 80), lambda x, y: (x % 16) < 6)]),
    "Stripes Diagonal": (32, (250, 244, 226), [((230, 170, 60), lambda x, y: ((x + y) % 16) < 6)]),
    "Checks Grey": (32, (245, 245, 245), [((200, 200, 204), lambda x, y: (int(x // 16) + int(y // 16)) % 2 == 0)]),
    "Gingham Pink": (32, (255, 246, 248), [
        ((248, 200, 212), lambda x, y: (x % 16) < 8),
        ((240, 170, 190), lambda x, y: (y % 16) < 8 and (x % 16) < 8),
        ((248, 200, 212), lambda x, y: (y % 16) < 8 and (x % 16) >= 8),
    ]),
    "Grid Blue": (32, (255, 255, 255), [((150, 190, 230), lambda x, y: (x % 16) < 1 or (y % 16) < 1)]),
    "Waves Teal": (64, (230, 246, 246), [
        ((60, 160, 170), lambda x, y: abs(((y + 4 * math.sin(x / 64 * 2 * math.pi)) % 16) - 8) < 1.6),
    ]),
    "Hearts": (32, (255, 240, 244), [((220, 60, 100), wrapped(32, heart(16, 16, 7)))]),
    "Stars": (32, (28, 40, 80), [((250, 220, 110), wrapped(32, star(16, 16, 9, 4)))]),
    "Weave Brown": (32, (236, 222, 200), [
        ((170, 120, 80), lambda x, y: (x % 8) < 4 and (y % 16) < 8),
        ((150, 100, 64), lambda x, y: (y % 8) < 4 and (x % 16) >= 8),
    ]),
}


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources",
                                                                 "Pattern")
    os.makedirs(out_dir, exist_ok=True)
    for name, (size, background, layers) in PATTERNS.items():
        write_png(os.path.join(out_dir, name + ".png"), size, size, RGB, render(size, background, layers))


if __name__ == "__main__":
    main()
