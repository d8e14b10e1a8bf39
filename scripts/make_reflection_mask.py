#!/usr/bin/env python3
"""Writes resources/reflectionMask.png: the mask that reflections of page objects are drawn through.

An 8-bit grey PNG, 16 x 256 pixels, stretched over the reflection when it is drawn. Its top row lies next to
the object and is the densest (white); the ramp fades along a curve that drops quickly at first, so the
reflection reads as a soft fade, and reaches black (fully transparent) at the bottom row.
"""
import os
import struct
import sys
import zlib

WIDTH, HEIGHT = 16, 256


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def mask_rows():
    for y in range(HEIGHT):
        t = y / (HEIGHT - 1)  # 0 next to the object, 1 at the far end
        value = round(255 * (1 - t) ** 2)
        yield bytes([0]) + bytes([value]) * WIDTH  # filter type 0, then the row


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources",
                                                             "reflectionMask.png")
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 0, 0, 0, 0)  # 8-bit greyscale
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + \
        chunk(b"IDAT", zlib.compress(b"".join(mask_rows()), 9)) + chunk(b"IEND", b"")
    with open(out, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main()
