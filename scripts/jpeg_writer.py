"""A minimal baseline JPEG writer (standard library only) for the scripts that draw our resource images.

Baseline sequential DCT, 8-bit YCbCr without chroma subsampling, the example quantisation tables of the JPEG
standard scaled to a quality, and its example Huffman tables. Output depends only on the pixels and the
quality, so the images the scripts make are the same on every run.
"""
import math
import struct

_ZIGZAG = [
    0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6, 7, 14,
    21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53,
    60, 61, 54, 47, 55, 62, 63]

_LUMA_Q = [
    16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55, 14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22,
    29, 51, 87, 80, 62, 18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92, 49, 64, 78, 87, 103,
    121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
_CHROMA_Q = [
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99,
    99, 99, 99, 99, 99] + [99] * 32

# Huffman tables of the standard's annex K: code counts per length 1..16, then the symbols.
_DC_LUMA = ([0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0], list(range(12)))
_DC_CHROMA = ([0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0], list(range(12)))
_AC_LUMA = ([0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d], bytes.fromhex(
    "01020300041105122131410613516107227114328191a1082342b1c11552d1f02433627282090a161718191a25262728292a3435"
    "363738393a434445464748494a535455565758595a636465666768696a737475767778797a838485868788898a92939495969798"
    "999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4"
    "f5f6f7f8f9fa"))
_AC_CHROMA = ([0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77], bytes.fromhex(
    "000102031104052131061241510761711322328108144291a1b1c109233352f0156272d10a162434e125f11718191a262728292a"
    "35363738393a434445464748494a535455565758595a636465666768696a737475767778797a82838485868788898a9293949596"
    "9798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae2e3e4e5e6e7e8e9eaf2f3f4"
    "f5f6f7f8f9fa"))


def _codes(table):
    counts, symbols = table
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(counts[length - 1]):
            codes[symbols[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


def _scaled(table, quality):
    scale = 5000 // quality if quality < 50 else 200 - 2 * quality
    return [min(255, max(1, (q * scale + 50) // 100)) for q in table]


_COS = [[math.cos((2 * x + 1) * u * math.pi / 16) for x in range(8)] for u in range(8)]
_C = [1 / math.sqrt(2)] + [1.0] * 7


def _fdct(block):
    rows = [[sum(block[y * 8 + x] * _COS[u][x] for x in range(8)) for u in range(8)] for y in range(8)]
    out = [0.0] * 64
    for v in range(8):
        for u in range(8):
            out[v * 8 + u] = 0.25 * _C[u] * _C[v] * sum(rows[y][u] * _COS[v][y] for y in range(8))
    return out


class _Bits:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def put(self, code, length):
        self.acc = (self.acc << length) | code
        self.n += length
        while self.n >= 8:
            self.n -= 8
            byte = (self.acc >> self.n) & 0xFF
            self.out.append(byte)
            if byte == 0xFF:
                self.out.append(0)
        self.acc &= (1 << self.n) - 1

    def flush(self):
        if self.n:
            self.put((1 << (8 - self.n)) - 1, 8 - self.n)


def _magnitude(value):
    size = abs(value).bit_length()
    bits = value if value >= 0 else value + (1 << size) - 1
    return size, bits


def _encode_block(bits, coeffs, previous_dc, dc_codes, ac_codes):
    diff = coeffs[0] - previous_dc
    size, value = _magnitude(diff)
    bits.put(*dc_codes[size])
    if size:
        bits.put(value, size)
    run = 0
    for k in range(1, 64):
        c = coeffs[_ZIGZAG[k]]
        if c == 0:
            run += 1
            continue
        while run > 15:
            bits.put(*ac_codes[0xF0])
            run -= 16
        size, value = _magnitude(c)
        bits.put(*ac_codes[(run << 4) | size])
        bits.put(value, size)
        run = 0
    if run:
        bits.put(*ac_codes[0x00])
    return coeffs[0]


def _segment(marker, payload):
    return struct.pack(">BBH", 0xFF, marker, len(payload) + 2) + payload


def _dht(table_class, table_id, table):
    counts, symbols = table
    return bytes([(table_class << 4) | table_id]) + bytes(counts) + bytes(symbols)


def jpeg_bytes(width, height, pixels, quality=92):
    """Encodes RGB pixels (a list of rows, each a list of (r, g, b) tuples) as a baseline JPEG."""
    lq, cq = _scaled(_LUMA_Q, quality), _scaled(_CHROMA_Q, quality)
    tables = [(_codes(_DC_LUMA), _codes(_AC_LUMA), lq), (_codes(_DC_CHROMA), _codes(_AC_CHROMA), cq),
              (_codes(_DC_CHROMA), _codes(_AC_CHROMA), cq)]
    planes = [[[0.0] * width for _ in range(height)] for _ in range(3)]
    for y in range(height):
        for x in range(width):
            r, g, b = pixels[y][x]
            planes[0][y][x] = 0.299 * r + 0.587 * g + 0.114 * b - 128
            planes[1][y][x] = -0.168736 * r - 0.331264 * g + 0.5 * b
            planes[2][y][x] = 0.5 * r - 0.418688 * g - 0.081312 * b
    bits = _Bits()
    previous = [0, 0, 0]
    for by in range(0, height, 8):
        for bx in range(0, width, 8):
            for c in range(3):
                block = [planes[c][min(by + y, height - 1)][min(bx + x, width - 1)]
                         for y in range(8) for x in range(8)]
                quant = tables[c][2]
                coeffs = [int(round(v / q)) for v, q in zip(_fdct(block), quant)]
                previous[c] = _encode_block(bits, coeffs, previous[c], tables[c][0], tables[c][1])
    bits.flush()

    out = bytearray(b"\xff\xd8")
    out += _segment(0xE0, b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00")
    out += _segment(0xDB, bytes([0]) + bytes(lq[i] for i in _ZIGZAG) + bytes([1]) + bytes(cq[i] for i in _ZIGZAG))
    out += _segment(0xC0, struct.pack(">BHHB", 8, height, width, 3) + bytes([1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1]))
    out += _segment(0xC4, _dht(0, 0, _DC_LUMA) + _dht(1, 0, _AC_LUMA) + _dht(0, 1, _DC_CHROMA) +
                    _dht(1, 1, _AC_CHROMA))
    out += _segment(0xDA, bytes([3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0]))
    out += bits.out
    out += b"\xff\xd9"
    return bytes(out)


def write_jpeg(path, width, height, pixels, quality=92):
    with open(path, "wb") as f:
        f.write(jpeg_bytes(width, height, pixels, quality))
