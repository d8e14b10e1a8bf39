"""A minimal 8-bit PNG writer (standard library only) for the scripts that draw our resource images."""
import struct
import zlib

GREY, RGB, RGBA = 0, 2, 6  # PNG colour types


def _chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png_bytes(width, height, colour_type, rows):
    """Encodes an 8-bit PNG in memory; `rows` yields each row's raw samples (without the filter byte)."""
    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    data = b"".join(b"\x00" + bytes(row) for row in rows)  # filter type 0 on every row
    return b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header) + _chunk(b"IDAT", zlib.compress(data, 9)) + \
        _chunk(b"IEND", b"")


def write_png(path, width, height, colour_type, rows):
    """Writes an 8-bit PNG; `rows` yields each row's raw samples (without the filter byte)."""
    with open(path, "wb") as f:
        f.write(png_bytes(width, height, colour_type, rows))
