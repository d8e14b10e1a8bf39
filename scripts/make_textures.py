#!/usr/bin/env python3
"""Writes the two tiling textures of the canvas view into resources/:

- canvasBK.jpg, the sheet under the page: a light, faintly grained paper, 128 x 128 pixels;
- previewBK.jpg, the workspace around the page: a dark grey woven linen, 128 x 128 pixels.

Both tile without seams: their grain is periodic value noise whose lattice wraps at the image's edges, and
the linen's threads repeat a whole number of times across the tile. A fixed seed makes every run identical.
"""
import math
import os
import sys

from jpeg_writer import write_jpeg

SIZE = 128


class Lcg:
    """A small deterministic generator (numbers of the C library's classic LCG)."""

    def __init__(self, seed):
        self.state = seed & 0x7FFFFFFF

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state / 0x7FFFFFFF


def periodic_noise(size, cells, seed):
    """Smooth value noise in 0..1 over a size x size tile with `cells` lattice cells each way, wrapping."""
    rng = Lcg(seed)
    lattice = [[rng.next() for _ in range(cells)] for _ in range(cells)]
    step = size / cells

    def smooth(t):
        return t * t * (3 - 2 * t)

    out = []
    for y in range(size):
        gy, fy = divmod(y / step, 1)
        gy = int(gy)
        row = []
        for x in range(size):
            gx, fx = divmod(x / step, 1)
            gx = int(gx)
            a = lattice[gy % cells][gx % cells]
            b = lattice[gy % cells][(gx + 1) % cells]
            c = lattice[(gy + 1) % cells][gx % cells]
            d = lattice[(gy + 1) % cells][(gx + 1) % cells]
            sx, sy = smooth(fx), smooth(fy)
            row.append((a * (1 - sx) + b * sx) * (1 - sy) + (c * (1 - sx) + d * sx) * sy)
        out.append(row)
    return out


def clamp(v):
    return max(0, min(255, int(round(v))))


def paper():
    coarse = periodic_noise(SIZE, 8, 1)
    fine = periodic_noise(SIZE, 32, 2)
    grain = Lcg(3)
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            v = 238 + 8 * (coarse[y][x] - 0.5) + 6 * (fine[y][x] - 0.5) + 4 * (grain.next() - 0.5)
            row.append((clamp(v), clamp(v - 1), clamp(v - 4)))
        rows.append(row)
    return rows


def linen():
    variation = periodic_noise(SIZE, 16, 4)
    grain = Lcg(5)
    threads = 32  # threads across the tile each way
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            warp = math.sin(2 * math.pi * threads * x / SIZE)
            weft = math.sin(2 * math.pi * threads * y / SIZE)
            v = 70 + 6 * warp + 6 * weft + 10 * (variation[y][x] - 0.5) + 6 * (grain.next() - 0.5)
            row.append((clamp(v), clamp(v + 1), clamp(v + 4)))
        rows.append(row)
    return rows


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources")
    write_jpeg(os.path.join(folder, "canvasBK.jpg"), SIZE, SIZE, paper())
    write_jpeg(os.path.join(folder, "previewBK.jpg"), SIZE, SIZE, linen())


if __name__ == "__main__":
    main()
