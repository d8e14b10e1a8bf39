#!/usr/bin/env python3
"""Writes the photo masks under resources/Mask/<category>/<name>.jpg.

A mask is stretched over a photo's rectangle and clips the photo: white shows the photo, black hides it, greys
between fade it. Every mask is an 8-bit grey baseline JPEG of 512 x 512 pixels (projects name masks with the
extension "jpg", and the default mask is Circle/circle_001.jpg). Edges are antialiased; the soft masks fade over a
wide band. Categories are the folders the mask list shows:

    Circle/circle_001.jpg   ellipse filling the rectangle, crisp edge (the default mask)
    Circle/circle_002.jpg   ellipse vignette, fading out over the outer third
    Rounded/rounded_001.jpg rounded rectangle
    Rounded/rounded_002.jpg soft-edged rectangle vignette
    Shape/star_001.jpg      five-pointed star
    Shape/heart_001.jpg     heart
    Shape/diamond_001.jpg   diamond (rhombus)
    Shape/scallop_001.jpg   scalloped flower outline with twelve lobes
    Artistic/brush_001.jpg  horizontal brush stroke with ragged, streaky ends
    Artistic/torn_001.jpg   paper torn on all four sides

Deterministic: noise comes from fixed seeds, so each run writes the same bytes. Standard library only.
Usage: make_masks.py [resources folder]   (default: ../resources beside this script)
"""
import math
import os
import sys

from make_frames_raster import (ValueNoise, clamp, coverage, polygon_coverage, sd_box, sd_ellipse, smoothstep,
                                write_jpeg)

SIZE = 512
QUALITY = 95


def field(fn):
    """Evaluates fn(x, y) -> 0..1 at every pixel centre."""
    return [fn(x + 0.5, y + 0.5) for y in range(SIZE) for x in range(SIZE)]


def circle_hard():
    c = SIZE / 2
    return field(lambda x, y: coverage(sd_ellipse(x, y, c, c, c - 6, c - 6)))


def circle_soft():
    c = SIZE / 2
    return field(lambda x, y: 1 - smoothstep(0.66, 1.0, math.hypot(x - c, y - c) / c))


def rounded_hard():
    c = SIZE / 2
    return field(lambda x, y: coverage(sd_box(x, y, c, c, c - 10, c - 10, SIZE * 0.16)))


def rect_soft():
    c = SIZE / 2

    def value(x, y):
        inside = -sd_box(x, y, c, c, c - 4, c - 4, SIZE * 0.08)  # distance in from the edge
        return smoothstep(0.0, SIZE * 0.16, inside)
    return field(value)


def star():
    c = SIZE / 2
    outer, inner = c - 6, (c - 6) * 0.40
    points = []
    for i in range(10):
        angle = -math.pi / 2 + i * math.pi / 5
        r = outer if i % 2 == 0 else inner
        points.append((c + r * math.cos(angle), c + 14 + r * math.sin(angle)))  # lowered: the star's box is low
    return polygon_coverage(SIZE, SIZE, points)


def heart():
    points = []
    for i in range(720):
        t = 2 * math.pi * i / 720
        hx = 16 * math.sin(t) ** 3
        hy = 13 * math.cos(t) - 5 * math.cos(2 * t) - 2 * math.cos(3 * t) - math.cos(4 * t)
        points.append((SIZE / 2 + hx * 15.2, SIZE / 2 + 20 - hy * 15.2))  # the curve spans x +-16, y -17..12
    return polygon_coverage(SIZE, SIZE, points)


def diamond():
    c, r = SIZE / 2, SIZE / 2 - 6
    return polygon_coverage(SIZE, SIZE, [(c, c - r), (c + r, c), (c, c + r), (c - r, c)])


def scallop():
    c = SIZE / 2
    points = []
    for i in range(1440):
        t = 2 * math.pi * i / 1440
        r = (c - 6) * (0.90 + 0.10 * abs(math.cos(6 * t)) ** 0.6)
        points.append((c + r * math.cos(t), c + r * math.sin(t)))
    return polygon_coverage(SIZE, SIZE, points)


def brush():
    noise = ValueNoise(9127)

    def value(x, y):
        # Ragged ends: each row ends at its own place (bristles), with slow waves over the rows.
        ends = noise.fractal(3.0, y / 40.0, 3) - 0.5
        streak = noise.at(11.0, y / 2.3) - 0.5
        left = 40 + 70 * ends + 60 * streak
        right = SIZE - 40 - 70 * (noise.fractal(23.0, y / 40.0, 3) - 0.5) - 60 * (noise.at(41.0, y / 2.3) - 0.5)
        top = 46 + 22 * (noise.fractal(x / 60.0, 7.0, 4) - 0.5)
        bottom = SIZE - 46 - 22 * (noise.fractal(x / 60.0, 31.0, 4) - 0.5)
        body = coverage(left - x, 1.5) * coverage(x - right, 1.5) * coverage(top - y, 1.0) * coverage(y - bottom,
                                                                                                       1.0)
        # Dry brush: the paint thins towards the ends of each stroke.
        run = min(x - left, right - x)
        dryness = 1 - 0.55 * (1 - smoothstep(0, 90, run)) * noise.at(x / 5.0, y / 1.6)
        return body * clamp(dryness)
    return field(value)


def torn():
    noise = ValueNoise(5531)

    def value(x, y):
        def edge(t, key):
            return 30 + 26 * (noise.fractal(t / 50.0, key, 5) - 0.5)
        d = min(x - edge(y, 3.0), SIZE - x - edge(y, 13.0), y - edge(x, 23.0), SIZE - y - edge(x, 33.0))
        return coverage(-d, 0.7)
    return field(value)


MASKS = [
    ("Circle", "circle_001", circle_hard),
    ("Circle", "circle_002", circle_soft),
    ("Rounded", "rounded_001", rounded_hard),
    ("Rounded", "rounded_002", rect_soft),
    ("Shape", "star_001", star),
    ("Shape", "heart_001", heart),
    ("Shape", "diamond_001", diamond),
    ("Shape", "scallop_001", scallop),
    ("Artistic", "brush_001", brush),
    ("Artistic", "torn_001", torn),
]


def main():
    resources = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources")
    for category, name, make in MASKS:
        folder = os.path.join(resources, "Mask", category)
        os.makedirs(folder, exist_ok=True)
        grey = bytes(int(round(255 * clamp(v))) for v in make())
        write_jpeg(os.path.join(folder, name + ".jpg"), SIZE, SIZE, 1, grey, QUALITY)


if __name__ == "__main__":
    main()
