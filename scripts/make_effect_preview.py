#!/usr/bin/env python3
"""Writes resources/Original.png: the picture the photo inspector shows every effect on.

A small synthetic landscape (sky, sun, hills, a lake, a house and flowers) with saturated primaries, skin-like
and neutral tones, so that colour, tone and blur effects all read clearly in a 100-pixel preview. An 8-bit RGB
PNG of 240 x 160 pixels, written with the standard library only.
"""
import math
import os
import sys

from png_writer import RGB, write_png

WIDTH, HEIGHT = 240, 160


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def inside_circle(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def pixel(x, y):
    """The colour at (x, y), y = 0 at the top."""
    horizon = 92
    hill = 78 + 10 * math.sin(x / 23.0) + 6 * math.sin(x / 9.0 + 1.3)
    # Sun with a soft halo.
    sun_distance = math.hypot(x - 186, y - 34)
    if sun_distance <= 16:
        return (255, 214, 64)
    # House: red wall, dark roof, window.
    if 38 <= x <= 78 and 74 <= y <= 104:
        if 52 <= x <= 64 and 82 <= y <= 94:
            return (250, 236, 180)
        return (196, 52, 40)
    if 32 <= x <= 84 and 58 <= y < 74 and abs(x - 58) <= (y - 58) * 26 / 16:
        return (70, 54, 60)
    if y < hill:
        sky = mix((40, 92, 190), (170, 210, 245), y / hill)
        if sun_distance < 34:
            sky = mix((255, 236, 170), sky, (sun_distance - 16) / 18)
        return sky
    # Lake on the right, darker towards the bottom.
    if x > 120 and y > horizon + 14 and (x - 180) ** 2 / 3600.0 + (y - 132) ** 2 / 500.0 <= 1:
        return mix((60, 150, 210), (20, 70, 140), (y - horizon) / (HEIGHT - horizon))
    # Flowers in the meadow.
    for cx, cy, colour in ((20, 128, (230, 30, 60)), (36, 146, (250, 140, 20)), (96, 136, (200, 40, 200)),
                           (110, 150, (250, 230, 40)), (60, 124, (255, 255, 255)), (84, 152, (40, 60, 220))):
        if inside_circle(x, y, cx, cy, 5):
            return colour if not inside_circle(x, y, cx, cy, 1.6) else (250, 200, 40)
    # Hills: lighter at the top, darker in the foreground, with a few stripes of texture.
    grass = mix((120, 190, 70), (30, 100, 40), (y - hill) / (HEIGHT - hill))
    if (x + 2 * y) % 11 == 0:
        grass = mix(grass, (20, 60, 20), 0.3)
    return grass


def rows():
    for y in range(HEIGHT):
        row = bytearray()
        for x in range(WIDTH):
            row += bytes(max(0, min(255, round(c))) for c in pixel(x, y))
        yield bytes(row)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources",
                                                             "Original.png")
    write_png(out, WIDTH, HEIGHT, RGB, rows())


if __name__ == "__main__":
    main()
