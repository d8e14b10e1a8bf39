#!/usr/bin/env python3
"""Writes the thumbnails of the shape picker under resources/Shape/<NN>_<name>.png.

The picker lists the files sorted by name and reports a picked thumbnail by its place in that order; the
number in front of each name is that place, and the program maps it to the shape inserted:

    00 line, 01 curve, 02 arrow line, 03 rectangle, 04 rounded rectangle, 05 equilateral triangle,
    06 right triangle, 07 single arrow, 08 double arrow, 09 oval, 10 speech bubble, 11 lozenge,
    12 polygon (hexagon), 13 star

Each is a 96 x 96 RGBA PNG: a blue filled outline with a dark stroke (lines: the stroke alone), on a
transparent ground. Deterministic; standard library only.
Usage: make_shapes.py [resources folder]   (default: ../resources beside this script)
"""
import math
import os
import sys

from make_cliparts import box, circle, ellipse, polygon, segment, star, union
from png_writer import RGBA, write_png

SIZE = 96
FILL = (120, 170, 235)
STROKE = (40, 70, 120)
M = SIZE / 2


def stroke_only(shape, width=3.0):
    return lambda x, y: abs(shape(x, y)) - width / 2


def curve():
    points = [(12 + t * 72 / 40, M + 22 * math.sin(t / 40 * 2 * math.pi)) for t in range(41)]
    return union(*[segment(*points[i], *points[i + 1], 4) for i in range(40)])


def arrow_line():
    return union(segment(12, 84, 76, 20, 4), polygon([(84, 12), (80, 36), (60, 16)]))


def arrow(double):
    body = [(12 if not double else 28, 38), (60, 38), (60, 22), (86, M), (60, 74), (60, 58), (12 if not double else 28, 58)]
    if double:
        body = body + [(28, 74), (10, M), (28, 22)]
    return polygon(body)


def speech_bubble():
    return union(ellipse(M, 40, 38, 26), polygon([(30, 56), (46, 62), (20, 86)]))


def hexagon():
    return polygon([(M + 38 * math.cos(a * math.pi / 3), M + 38 * math.sin(a * math.pi / 3)) for a in range(6)])


SHAPES = [
    ("00_line", segment(14, 82, 82, 14, 4), True),
    ("01_curve", curve(), True),
    ("02_arrow_line", arrow_line(), True),
    ("03_rectangle", box(M, M, 38, 28), False),
    ("04_rounded_rectangle", box(M, M, 38, 28, 10), False),
    ("05_triangle", polygon([(M, 12), (86, 80), (10, 80)]), False),
    ("06_right_triangle", polygon([(12, 12), (84, 82), (12, 82)]), False),
    ("07_arrow", arrow(False), False),
    ("08_double_arrow", arrow(True), False),
    ("09_oval", ellipse(M, M, 40, 28), False),
    ("10_speech_bubble", speech_bubble(), False),
    ("11_lozenge", polygon([(M, 10), (84, M), (M, 86), (12, M)]), False),
    ("12_polygon", hexagon(), False),
    ("13_star", star(M, 50, 40, 17), False),
]


def render(shape, line):
    from make_frames_raster import coverage
    pixels = bytearray()
    for y in range(SIZE):
        for x in range(SIZE):
            d = shape(x + 0.5, y + 0.5)
            if line:
                a = coverage(d)
                r, g, b = STROKE
            else:
                a = coverage(d - 1.5)
                inner = coverage(d + 1.5)
                r, g, b = (int(f * inner + s * (1 - inner) + 0.5) for f, s in zip(FILL, STROKE))
            pixels += bytes((r, g, b, int(a * 255 + 0.5)))
    return [pixels[y * SIZE * 4:(y + 1) * SIZE * 4] for y in range(SIZE)]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    resources = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources")
    folder = os.path.join(resources, "Shape")
    os.makedirs(folder, exist_ok=True)
    for name, shape, line in SHAPES:
        write_png(os.path.join(folder, name + ".png"), SIZE, SIZE, RGBA, render(shape, line))


if __name__ == "__main__":
    main()
