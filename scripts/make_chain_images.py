#!/usr/bin/env python3
"""Writes the two images of the arrange inspector's width/height chain button into resources/:

- chain: two links of a chain hooked into each other (width and height change together);
- unchain: the same two links pulled apart (they change on their own).

Each link is a ring around a short vertical segment (a stadium outline). 16 x 16 pixel 8-bit RGBA PNGs in
dark grey, drawn with 4 x 4 supersampling.
"""
import math
import os
import sys

from png_writer import RGBA, write_png

SIZE = 16
SUPERSAMPLE = 4
COLOUR = (70, 74, 80)
RADIUS, THICKNESS = 3.2, 1.5


def link(cx, top, bottom):
    """The ring around the vertical segment from (cx, top) to (cx, bottom)."""
    def inside(x, y):
        ny = min(max(y, top), bottom)
        d = math.hypot(x - cx, y - ny)
        return RADIUS - THICKNESS / 2 <= d <= RADIUS + THICKNESS / 2
    return inside


IMAGES = {
    "chain": [link(8, 3.5, 6.5), link(8, 9.5, 12.5)],
    "unchain": [link(8, 2.5, 3.5), link(8, 12.5, 13.5)],
}


def rows(shapes):
    for py in range(SIZE):
        row = bytearray()
        for px in range(SIZE):
            hits = 0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x, y = px + (sx + 0.5) / SUPERSAMPLE, py + (sy + 0.5) / SUPERSAMPLE
                    if any(inside(x, y) for inside in shapes):
                        hits += 1
            row += bytes(COLOUR) + bytes([round(255 * hits / SUPERSAMPLE ** 2)])
        yield row


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources")
    for name, shapes in IMAGES.items():
        write_png(os.path.join(out_dir, name + ".png"), SIZE, SIZE, RGBA, rows(shapes))


if __name__ == "__main__":
    main()
