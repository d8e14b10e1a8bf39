"""Raster helpers and image writers shared by make_frames.py and make_masks.py (standard library only).

- write_jpeg: a baseline JPEG writer (8-bit grey or YCbCr without chroma subsampling, the standard quantisation
  tables scaled to a quality and the standard Huffman tables). Deterministic: same pixels, same bytes.
- write_jpng: a JPNG file, that is a JPEG stream of the colour, a grey PNG stream of the opacity and a 16-byte
  footer (JPEG length, PNG length, footer size 16, version 1.0, tag "GNPJ" at the end of the file).
- coverage and shape helpers: signed distances in pixels, turned into antialiased coverage, so edges are smooth
  without supersampling.
- value noise with a fixed seed, for wood grain, brush strokes and paper.
"""
import math
import struct

from png_writer import GREY, RGB, png_bytes  # noqa: F401  (re-exported for the generators)

RGBA = 6  # PNG colour type of 8-bit RGB with alpha

# ---------------------------------------------------------------------------------------------------------------
# PNG in memory (the JPNG opacity stream) comes from the shared writer.


# ---------------------------------------------------------------------------------------------------------------
# Baseline JPEG.

_ZIGZAG = [
    0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6, 7, 14,
    21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60,
    61, 54, 47, 55, 62, 63]

_LUMA_Q = [
    16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55, 14, 13, 16, 24, 40, 57, 69, 56,
    14, 17, 22, 29, 51, 87, 80, 62, 18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
_CHROMA_Q = [
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99, 99, 99,
    47, 66, 99, 99, 99, 99, 99, 99] + [99] * 32


def _run(first, last):
    return list(range(first, last + 1))


# The standard luminance Huffman tables (code-length counts and symbols in code order).
_DC_BITS = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
_DC_VALS = list(range(12))
_AC_BITS = [0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D]
_AC_VALS = [
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
    0x14, 0x32, 0x81, 0x91, 0xA1, 0x08, 0x23, 0x42, 0xB1, 0xC1, 0x15, 0x52, 0xD1, 0xF0, 0x24, 0x33, 0x62, 0x72,
    0x82, 0x09, 0x0A, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x34, 0x35, 0x36, 0x37,
    0x38, 0x39, 0x3A] + _run(0x43, 0x4A) + _run(0x53, 0x5A) + _run(0x63, 0x6A) + _run(0x73, 0x7A) + \
    _run(0x83, 0x8A) + _run(0x92, 0x9A) + _run(0xA2, 0xAA) + _run(0xB2, 0xBA) + _run(0xC2, 0xCA) + \
    _run(0xD2, 0xDA) + _run(0xE1, 0xEA) + _run(0xF1, 0xFA)

assert sum(_AC_BITS) == len(_AC_VALS) == 162
assert set(_AC_VALS) == {0x00, 0xF0} | {run << 4 | size for run in range(16) for size in range(1, 11)}


def _codes(bits, vals):
    """Canonical Huffman codes: symbol -> (code, length)."""
    table, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            table[vals[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return table


_DC_CODES = _codes(_DC_BITS, _DC_VALS)
_AC_CODES = _codes(_AC_BITS, _AC_VALS)

# Orthonormal 8-point DCT-II as a matrix: C[u][x].
_DCT = [[(math.sqrt(0.125) if u == 0 else 0.5) * math.cos((2 * x + 1) * u * math.pi / 16) for x in range(8)]
        for u in range(8)]


def _scaled_table(base, quality):
    scale = 5000 // quality if quality < 50 else 200 - 2 * quality
    return [min(255, max(1, (q * scale + 50) // 100)) for q in base]


class _BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.count = 0

    def put(self, value, length):
        self.acc = (self.acc << length) | (value & ((1 << length) - 1))
        self.count += length
        while self.count >= 8:
            self.count -= 8
            byte = (self.acc >> self.count) & 0xFF
            self.out.append(byte)
            if byte == 0xFF:
                self.out.append(0)  # byte stuffing
        self.acc &= (1 << self.count) - 1

    def flush(self):
        if self.count:
            self.put((1 << (8 - self.count)) - 1, 8 - self.count)  # pad with one-bits


def _magnitude(v):
    size = abs(v).bit_length()
    return size, (v if v >= 0 else v + (1 << size) - 1)


def _encode_block(writer, block, quant, previous_dc):
    """block: 64 samples (level-shifted) in row order; returns the block's DC for the next prediction."""
    rows = [[sum(_DCT[u][x] * block[y * 8 + x] for x in range(8)) for u in range(8)] for y in range(8)]
    coefficients = [0] * 64
    for v in range(8):
        cv = _DCT[v]
        for u in range(8):
            value = sum(cv[y] * rows[y][u] for y in range(8))
            coefficients[v * 8 + u] = int(round(value / quant[v * 8 + u]))
    dc = coefficients[0]
    size, bits = _magnitude(dc - previous_dc)
    writer.put(*_DC_CODES[size])
    if size:
        writer.put(bits, size)
    run = 0
    for k in range(1, 64):
        value = coefficients[_ZIGZAG[k]]
        if value == 0:
            run += 1
            continue
        while run > 15:
            writer.put(*_AC_CODES[0xF0])
            run -= 16
        size, bits = _magnitude(value)
        writer.put(*_AC_CODES[run << 4 | size])
        writer.put(bits, size)
        run = 0
    if run:
        writer.put(*_AC_CODES[0x00])
    return dc


def _segment(marker, payload):
    return struct.pack(">BBH", 0xFF, marker, len(payload) + 2) + payload


def jpeg_bytes(width, height, channels, pixels, quality=92):
    """pixels: a bytes-like of width x height x channels samples (1 grey, 3 RGB), row 0 at the top."""
    luma_q = _scaled_table(_LUMA_Q, quality)
    chroma_q = _scaled_table(_CHROMA_Q, quality)
    if channels == 1:
        planes = [[v - 128.0 for v in pixels]]
        tables = [0]
    else:
        y_plane, cb_plane, cr_plane = [], [], []
        for i in range(0, width * height * 3, 3):
            r, g, b = pixels[i], pixels[i + 1], pixels[i + 2]
            y_plane.append(0.299 * r + 0.587 * g + 0.114 * b - 128.0)
            cb_plane.append(-0.168736 * r - 0.331264 * g + 0.5 * b)
            cr_plane.append(0.5 * r - 0.418688 * g - 0.081312 * b)
        planes = [y_plane, cb_plane, cr_plane]
        tables = [0, 1, 1]
    writer = _BitWriter()
    previous = [0] * len(planes)
    for by in range(0, height, 8):
        for bx in range(0, width, 8):
            for c, plane in enumerate(planes):
                block = []
                for y in range(by, by + 8):
                    row = min(y, height - 1) * width  # edge blocks repeat the last row and column
                    block.extend(plane[row + min(x, width - 1)] for x in range(bx, bx + 8))
                quant = luma_q if tables[c] == 0 else chroma_q
                previous[c] = _encode_block(writer, block, quant, previous[c])
    writer.flush()

    out = bytearray(b"\xFF\xD8")
    out += _segment(0xE0, b"JFIF\x00\x01\x01\x00\x00\x48\x00\x48\x00\x00")
    out += _segment(0xDB, b"\x00" + bytes(luma_q[z] for z in _ZIGZAG))
    if channels == 3:
        out += _segment(0xDB, b"\x01" + bytes(chroma_q[z] for z in _ZIGZAG))
    frame = struct.pack(">BHHB", 8, height, width, channels)
    for c in range(channels):
        frame += struct.pack(">BBB", c + 1, 0x11, tables[c])
    out += _segment(0xC0, frame)
    out += _segment(0xC4, b"\x00" + bytes(_DC_BITS) + bytes(_DC_VALS))
    out += _segment(0xC4, b"\x10" + bytes(_AC_BITS) + bytes(_AC_VALS))
    scan = struct.pack(">B", channels)
    for c in range(channels):
        scan += struct.pack(">BB", c + 1, 0x00)  # every component uses Huffman tables 0
    out += _segment(0xDA, scan + b"\x00\x3F\x00")
    out += writer.out + b"\xFF\xD9"
    return bytes(out)


def write_jpeg(path, width, height, channels, pixels, quality=92):
    with open(path, "wb") as f:
        f.write(jpeg_bytes(width, height, channels, pixels, quality))


def write_jpng(path, width, height, rgba, quality=92):
    """rgba: width x height x 4 samples, not premultiplied. The colour under fully transparent pixels is kept."""
    n = width * height
    rgb = bytearray(n * 3)
    alpha = bytearray(n)
    for i in range(n):
        rgb[i * 3:i * 3 + 3] = rgba[i * 4:i * 4 + 3]
        alpha[i] = rgba[i * 4 + 3]
    jpeg = jpeg_bytes(width, height, 3, rgb, quality)
    png = png_bytes(width, height, GREY, (alpha[y * width:(y + 1) * width] for y in range(height)))
    footer = struct.pack("<IIHBBI", len(jpeg), len(png), 16, 1, 0, 0x4A504E47)
    with open(path, "wb") as f:
        f.write(jpeg + png + footer)


# ---------------------------------------------------------------------------------------------------------------
# Shapes, coverage and noise.


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def coverage(distance, feather=0.5):
    """Antialiased coverage of a signed distance in pixels (negative inside): 1 inside, 0 outside."""
    return clamp(0.5 - distance / (2 * feather)) if feather > 0 else (1.0 if distance <= 0 else 0.0)


def smoothstep(e0, e1, x):
    t = clamp((x - e0) / (e1 - e0))
    return t * t * (3 - 2 * t)


def sd_box(px, py, cx, cy, hw, hh, radius=0.0):
    """Signed distance to a rectangle centred at (cx, cy) with half sizes hw, hh and rounded corners."""
    qx = abs(px - cx) - hw + radius
    qy = abs(py - cy) - hh + radius
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def sd_ellipse(px, py, cx, cy, rx, ry):
    """Approximate signed distance to an ellipse, good near its edge (enough for antialiasing)."""
    dx, dy = (px - cx) / rx, (py - cy) / ry
    k = math.hypot(dx, dy)
    if k == 0:
        return -min(rx, ry)
    gradient = math.hypot(dx / rx, dy / ry)
    return (k - 1) * k / gradient if gradient else 0.0


def sd_polygon(px, py, points):
    """Signed distance to a simple polygon (even-odd inside test)."""
    best = float("inf")
    inside = False
    n = len(points)
    for i in range(n):
        ax, ay = points[i]
        bx, by = points[(i + 1) % n]
        ex, ey = bx - ax, by - ay
        wx, wy = px - ax, py - ay
        t = clamp((wx * ex + wy * ey) / (ex * ex + ey * ey))
        dx, dy = wx - ex * t, wy - ey * t
        best = min(best, dx * dx + dy * dy)
        if (ay > py) != (by > py) and px < ax + (py - ay) * ex / ey:
            inside = not inside
    d = math.sqrt(best)
    return -d if inside else d


class ValueNoise:
    """Smooth 2-D value noise on an integer lattice, from a fixed seed (same numbers on every run)."""

    def __init__(self, seed, size=256):
        state = seed & 0xFFFFFFFF or 1
        self.values = []
        for _ in range(size * size):
            state ^= (state << 13) & 0xFFFFFFFF
            state ^= state >> 17
            state ^= (state << 5) & 0xFFFFFFFF
            self.values.append(state / 0xFFFFFFFF)
        self.size = size

    def at(self, x, y):
        x0, y0 = math.floor(x), math.floor(y)
        fx, fy = x - x0, y - y0
        fx, fy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
        s, v = self.size, self.values
        a = v[(y0 % s) * s + x0 % s]
        b = v[(y0 % s) * s + (x0 + 1) % s]
        c = v[((y0 + 1) % s) * s + x0 % s]
        d = v[((y0 + 1) % s) * s + (x0 + 1) % s]
        return a + (b - a) * fx + (c - a) * fy + (a - b - c + d) * fx * fy

    def fractal(self, x, y, octaves=4):
        total, amplitude, norm = 0.0, 1.0, 0.0
        for _ in range(octaves):
            total += amplitude * self.at(x, y)
            norm += amplitude
            amplitude *= 0.5
            x, y = x * 2.0 + 17.3, y * 2.0 + 5.1
        return total / norm


def polygon_coverage(width, height, points, subsamples=4):
    """Antialiased coverage (floats, row 0 at the top) of a polygon under the non-zero rule.

    Each pixel row is sampled on `subsamples` scanlines; along a scanline the covered spans count exactly, partial
    pixels included, so the result is smooth at any slope.
    """
    cover = [0.0] * (width * height)
    edges = []
    n = len(points)
    for i in range(n):
        (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
        if y0 != y1:
            edges.append((x0, y0, x1, y1, 1 if y1 > y0 else -1))
    weight = 1.0 / subsamples
    for row in range(height):
        base = row * width
        for s in range(subsamples):
            sy = row + (s + 0.5) / subsamples
            crossings = []
            for x0, y0, x1, y1, direction in edges:
                if (y0 <= sy < y1) or (y1 <= sy < y0):
                    crossings.append((x0 + (sy - y0) * (x1 - x0) / (y1 - y0), direction))
            crossings.sort()
            winding, span_start = 0, 0.0
            for x, direction in crossings:
                if winding == 0:
                    span_start = x
                winding += direction
                if winding == 0:
                    _add_span(cover, base, width, span_start, x, weight)
    return cover


def _add_span(cover, base, width, a, b, weight):
    a, b = max(a, 0.0), min(b, float(width))
    if b <= a:
        return
    ia, ib = int(a), int(b)
    if ia == ib:
        cover[base + ia] += (b - a) * weight
        return
    cover[base + ia] += (ia + 1 - a) * weight
    for x in range(ia + 1, min(ib, width)):
        cover[base + x] += weight
    if ib < width:
        cover[base + ib] += (b - ib) * weight
