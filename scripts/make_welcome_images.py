#!/usr/bin/env python3
"""Writes the welcome window's play button into resources/: "clickPlay normal@2x.png" and
"clickPlay down@2x.png", 160 x 160 pixels (shown at 80 x 80 points): a white play triangle on a blue disc
with a light rim, darker while pressed. 8-bit RGBA, drawn with 4 x 4 supersampling for smooth edges."""
import math
import os
import sys

from png_writer import RGBA, write_png

SIZE = 160
SUPERSAMPLE = 4
# Disc colours (top, bottom) and rim colour, per state.
LOOKS = {
    "normal": ((92, 156, 236), (44, 100, 186), (235, 242, 252)),
    "down": ((58, 112, 190), (28, 68, 138), (200, 214, 236)),
}


def inside_triangle(x, y):
    # A rounded-looking play triangle pointing right, centred a little right of the disc's centre so that
    # it looks centred.
    ax, ay = SIZE * 0.40, SIZE * 0.30
    bx, by = SIZE * 0.40, SIZE * 0.70
    cx, cy = SIZE * 0.72, SIZE * 0.50

    def side(px, py, qx, qy, rx, ry):
        return (qx - px) * (ry - py) - (qy - py) * (rx - px)

    s1, s2, s3 = side(ax, ay, bx, by, x, y), side(bx, by, cx, cy, x, y), side(cx, cy, ax, ay, x, y)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def pixel(px, py, look):
    top, bottom, rim = look
    centre, radius, rim_width = SIZE / 2, SIZE / 2 - 2, 5
    samples = []
    for sy in range(SUPERSAMPLE):
        for sx in range(SUPERSAMPLE):
            x, y = px + (sx + 0.5) / SUPERSAMPLE, py + (sy + 0.5) / SUPERSAMPLE
            d = math.hypot(x - centre, y - centre)
            if d > radius:
                samples.append(None)
            elif d > radius - rim_width or inside_triangle(x, y):
                samples.append((255, 255, 255) if d <= radius - rim_width else rim)
            else:
                t = y / SIZE
                samples.append(tuple(round(top[i] + (bottom[i] - top[i]) * t) for i in range(3)))
    solid = [s for s in samples if s is not None]
    if not solid:
        return (0, 0, 0, 0)
    colour = tuple(round(sum(s[i] for s in solid) / len(solid)) for i in range(3))
    return colour + (round(255 * len(solid) / len(samples)),)


def rows(look):
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            row.extend(pixel(px, py, look))
        yield row


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources")
    for state, look in LOOKS.items():
        write_png(os.path.join(out_dir, "clickPlay %s@2x.png" % state), SIZE, SIZE, RGBA, rows(look))


if __name__ == "__main__":
    main()
