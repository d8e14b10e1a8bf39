#!/usr/bin/env python3
"""Writes resources/reflectionMask.png: the mask that reflections of page objects are drawn through.

An 8-bit grey PNG, 16 x 256 pixels, stretched over the reflection when it is drawn. Its top row lies next to
the object and is the densest (white); the ramp fades along a curve that drops quickly at first, so the
reflection reads as a soft fade, and reaches black (fully transparent) at the bottom row.
"""
import os
import sys

from png_writer import GREY, write_png

WIDTH, HEIGHT = 16, 256


def mask_rows():
    for y in range(HEIGHT):
        t = y / (HEIGHT - 1)  # 0 next to the object, 1 at the far end
        value = round(255 * (1 - t) ** 2)
        yield bytes([value]) * WIDTH


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources",
                                                             "reflectionMask.png")
    write_png(out, WIDTH, HEIGHT, GREY, mask_rows())


if __name__ == "__main__":
    main()
