#!/usr/bin/env python3
"""Writes the picture frames under resources/Frame/.

Two kinds of frame live there.

Single-image frames: one picture with a transparent opening, stretched over the photo's rectangle and drawn over
the photo. Each lies in a category folder, Frame/<category>/<name>.png (or .jpng), with one companion file
beside it that says where the photo shows:
  - <name>.jpg: a grey JPEG mask of the same pixel size (white shows the photo, black hides it), stretched over the
    rectangle like the frame; used for openings that are not rectangles;
  - <name>.frm: an XML file whose element carries the attributes MarginLeft, MarginRight, MarginTop and
    MarginBottom, integers in pixels of the frame picture: the photo is clipped to the rectangle inside them.
    Each margin lies a pixel or two inside the drawn opening, so the photo runs under the frame's inner edge.
A frame has a mask or margins, never both (a mask beside a frame wins over margins).

    Classic/classic_001.png  + .jpg  walnut moulding, white mat with a bevelled oval opening
    Classic/classic_002.png  + .frm  gilded moulding with a linen liner and a gold fillet
    Classic/classic_003.jpng + .jpg  ornate gold with a bead row, green velvet mat, rounded opening (JPNG:
                                     JPEG colour + grey PNG opacity + footer; the frame chosen by default)
    Simple/mat_001.png       + .frm  thin satin-black frame, wide white gallery mat with a bevelled cut
    Simple/polaroid_001.png  + .frm  instant-photo card, wide bottom border
    Fun/film_001.png         + .frm  35 mm film strip with sprocket holes
    Fun/stamp_001.png        + .jpg  postage stamp with perforated edges and a printed border

Expandable frames: a folder Frame/<Name>/ holding
  - <Name>.xml: an XML property list (dictionary) with "type" (string: the moulding's material), "width" (the
    corner size, in points at zoom 1 and frame scale 1) and "expansion" (how far the frame reaches outside the
    photo's rectangle, same units); the part of each piece beyond the expansion lies over the photo's edge;
  - Material/lb.png, lt.png, rt.png, rb.png: the four corners (left-bottom, left-top, right-top, right-bottom), each
    a square; Material/bottom.png, top.png, left.png, right.png: the four edges, stretched along their length
    (top and bottom are wide, left and right are tall). Every piece is drawn upright, as it appears on the page;
    a moulding's cross-section is the same all along an edge, so stretching it does not distort it;
  - <Name>.png: the same frame drawn whole around a transparent opening; it is what the frame list shows and
    what an archived frame folder is found by.

    Oak/   light oak with a rounded profile   ("type" "wood")
    Gilt/  gold with a bead row               ("type" "gold")
    Ebony/ black lacquer with a silver lip    ("type" "lacquer")

All pixels are computed from signed distances (antialiased edges) and fixed-seed noise, so each run writes the
same bytes. Standard library only.
Usage: make_frames.py [resources folder]   (default: ../resources beside this script)
"""
import math
import os
import plistlib
import sys

from make_frames_raster import (RGBA, ValueNoise, clamp, coverage, sd_box, sd_ellipse, smoothstep,
                                write_jpeg, write_jpng)
from png_writer import write_png

# ---------------------------------------------------------------------------------------------------------------
# Colour and light.

def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def ramp(stops, t):
    t = clamp(t)
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return mix(c0, c1, (t - t0) / (t1 - t0) if t1 > t0 else 0.0)
    return stops[-1][1]


def lambert(grad_along, grad_in, inward_sign):
    """Brightness 0..1 of a surface with the given height slopes, lit from the top left.

    Coordinates are local to a frame side: `along` runs along the edge, `in` from the outer edge towards the
    photo. inward_sign is -1 on the top and left sides (the light comes from outside) and +1 on the bottom and
    right sides. A flat surface gives about 0.72.
    """
    nx, ny, nz = -grad_along, -grad_in, 1.0
    lx, ly, lz = -0.45, 0.55 * inward_sign, 0.70
    n = math.sqrt(nx * nx + ny * ny + nz * nz)
    l_len = math.sqrt(lx * lx + ly * ly + lz * lz)
    return clamp((nx * lx + ny * ly + nz * lz) / (n * l_len))


GOLD = [(0.0, (62, 40, 10)), (0.35, (140, 98, 30)), (0.62, (205, 160, 62)), (0.8, (240, 206, 112)),
        (1.0, (255, 246, 205))]
SILVER = [(0.0, (50, 52, 56)), (0.4, (130, 134, 140)), (0.7, (200, 203, 208)), (1.0, (252, 252, 255))]

# ---------------------------------------------------------------------------------------------------------------
# Mouldings: a height profile across the band plus a surface colour. `shade(u, d, band, sign)` gives RGBA for a
# point at `d` pixels in from the outer edge and `u` pixels along it.


class Moulding:
    """A moulding of `band` pixels; from `lip_at` (fraction of the band) an inner lip, from `shadow_from` the
    soft shadow that the moulding casts on the photo (its colour is black, its alpha fades to 0 at the band's end).
    """

    def __init__(self, band, lip_at, shadow_from):
        self.band = band
        self.lip_at, self.shadow_from = lip_at, shadow_from

    def height(self, u, d):
        raise NotImplementedError

    def colour(self, u, d, light):
        raise NotImplementedError

    def shade(self, u, d, sign):
        s = d / self.band
        if s >= self.shadow_from:
            return (0, 0, 0, 0.42 * (1 - smoothstep(self.shadow_from, 1.0, s)))
        gu = self.height(u + 0.5, d) - self.height(u - 0.5, d)
        gd = self.height(u, d + 0.5) - self.height(u, d - 0.5)
        light = lambert(gu, gd, sign)
        return self.colour(u, d, light) + (1.0,)


def bump(s, centre, half_width):
    """A rounded ridge across the band: height 0..1 at relative position s."""
    t = (s - centre) / half_width
    return math.sqrt(1 - t * t) if -1 < t < 1 else 0.0


class Wood(Moulding):
    """A wooden moulding: an outer bead, a broad rounded face, a small step down to an inner lip."""

    def __init__(self, band, light_wood, dark_wood, seed, lip_at=0.80, shadow_from=0.90):
        super().__init__(band, lip_at, shadow_from)
        self.light_wood, self.dark_wood = light_wood, dark_wood
        self.noise = ValueNoise(seed)

    def height(self, u, d):
        s = d / self.band
        h = 0.10 * bump(s, 0.06, 0.06) + 0.42 * bump(s, 0.40, 0.34) + 0.08 * bump(s, self.lip_at + 0.03, 0.05)
        return h * self.band * 0.9

    def colour(self, u, d, light):
        # Straight grain along the edge: the stripes depend only on the distance across the band, so pieces that
        # are stretched along an edge still meet their neighbours; fine fibres vary along it.
        g = self.noise.fractal(1.7, d / 18.0, 4)
        rings = 0.5 + 0.5 * math.sin(2 * math.pi * (d / 11.0 + 3.0 * g))
        fine = self.noise.at(u / 3.0, d / 0.9)
        wood = mix(self.dark_wood, self.light_wood, clamp(0.35 + 0.5 * rings * (0.6 + 0.4 * fine)))
        k = 0.28 + 1.05 * light
        gloss = max(0.0, light - 0.86) * 3.0
        return tuple(clamp(c * k / 255 + gloss) * 255 for c in wood)


class Gold(Moulding):
    """Gilded moulding: outer bead, a cove, a row of beads, an inner ridge."""

    def __init__(self, band, beads=True, metal=GOLD, lip_at=0.80, shadow_from=0.90, seed=77):
        super().__init__(band, lip_at, shadow_from)
        self.beads, self.metal = beads, metal
        self.noise = ValueNoise(seed)

    def height(self, u, d):
        s = d / self.band
        h = 0.14 * bump(s, 0.07, 0.07) + 0.25 * (1 - bump(s, 0.30, 0.16)) * (0.14 < s < 0.46) \
            + 0.30 * bump(s, 0.62, 0.16) + 0.12 * bump(s, self.lip_at + 0.03, 0.05)
        if self.beads and 0.50 < s < 0.74:
            period = self.band * 0.16
            cu = (math.floor(u / period) + 0.5) * period
            r = period * 0.42
            dist = math.hypot(u - cu, d - 0.62 * self.band)
            if dist < r:
                h += 0.18 * math.sqrt(1 - (dist / r) ** 2)
        return h * self.band * 0.9

    def colour(self, u, d, light):
        wear = self.noise.fractal(u / 25.0, d / 25.0, 3)
        return ramp(self.metal, light * 1.05 - 0.08 + 0.12 * (wear - 0.5))


class Lacquer(Moulding):
    """Black lacquer with a glossy rounded face and a thin silver inner lip."""

    def __init__(self, band, lip_at=0.76, shadow_from=0.90):
        super().__init__(band, lip_at, shadow_from)

    def height(self, u, d):
        s = d / self.band
        return (0.5 * bump(s, 0.38, 0.38) + 0.10 * bump(s, self.lip_at + 0.06, 0.06)) * self.band * 0.9

    def colour(self, u, d, light):
        if d / self.band >= self.lip_at:
            return ramp(SILVER, light * 1.1 - 0.05)
        base = 14 + 40 * light
        gloss = 255 * smoothstep(0.86, 0.97, light)
        return (base + gloss * 0.8, base + gloss * 0.8, base + 4 + gloss * 0.82)


def band_side(x, y, w, h):
    """Which side of a w x h rectangle (x, y) belongs to, split along the mitres: (distance in, along, sign)."""
    left, top, right, bottom = x, y, w - x, h - y
    d = min(left, top, right, bottom)
    if d == top:
        return top, x, -1
    if d == left:
        return left, y, -1
    if d == bottom:
        return bottom, x, 1
    return right, y, 1


# ---------------------------------------------------------------------------------------------------------------
# Rendering and writing.


def render(width, height, pixel):
    """pixel(x, y) -> (r, g, b, alpha 0..1) at the pixel centre; returns RGBA bytes, not premultiplied."""
    out = bytearray(width * height * 4)
    i = 0
    for y in range(height):
        for x in range(width):
            r, g, b, a = pixel(x + 0.5, y + 0.5)
            out[i] = int(round(clamp(r, 0, 255)))
            out[i + 1] = int(round(clamp(g, 0, 255)))
            out[i + 2] = int(round(clamp(b, 0, 255)))
            out[i + 3] = int(round(255 * clamp(a)))
            i += 4
    return out


def write_rgba_png(path, width, height, rgba):
    write_png(path, width, height, RGBA, (rgba[y * width * 4:(y + 1) * width * 4] for y in range(height)))


def write_mask(path, width, height, inside):
    """inside(x, y) -> 0..1 at the pixel centre; a grey JPEG (white shows the photo)."""
    grey = bytes(int(round(255 * clamp(inside(x + 0.5, y + 0.5)))) for y in range(height) for x in range(width))
    write_jpeg(path, width, height, 1, grey, 95)


def write_margins(path, left, right, top, bottom):
    with open(path, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n')
        f.write('<Frame MarginLeft="%d" MarginRight="%d" MarginTop="%d" MarginBottom="%d"/>\n'
                % (left, right, top, bottom))


def over(top, bottom):
    """Source-over of two (r, g, b, a) colours."""
    ta, ba = top[3], bottom[3]
    a = ta + ba * (1 - ta)
    if a <= 0:
        return (top[0], top[1], top[2], 0.0)
    return tuple((top[i] * ta + bottom[i] * ba * (1 - ta)) / a for i in range(3)) + (a,)


def paper(noise, x, y, base, amount=6.0):
    n = noise.fractal(x / 7.0, y / 7.0, 3) - 0.5
    return tuple(c + amount * n for c in base)


# ---------------------------------------------------------------------------------------------------------------
# Single-image frames.


def bevel_colour(nx, ny, base):
    """A mat's 45-degree bevel, facing the opening; (nx, ny) points from the opening's centre outwards."""
    light = 0.62 + 0.38 * (nx * 0.6 + ny * 0.8)  # the bevel's normal is -(nx, ny); the light comes from the top left
    return tuple(clamp(c * (0.78 + 0.26 * light) / 255) * 255 for c in base)


def classic_001(folder):
    """Walnut moulding, white mat, bevelled oval opening; the mask is the oval."""
    w, h, band = 640, 480, 46
    wood = Wood(band, (128, 82, 50), (58, 32, 18), seed=311, lip_at=0.86, shadow_from=2.0)
    noise = ValueNoise(12)
    cx, cy, rx, ry = w / 2, h / 2, w / 2 - band - 46, h / 2 - band - 40
    bevel = 7.0
    mat = (244, 241, 233)

    def pixel(x, y):
        d, u, sign = band_side(x, y, w, h)
        if d < band:
            return wood.shade(u, d, sign)
        e = sd_ellipse(x, y, cx, cy, rx, ry)
        colour = paper(noise, x, y, mat)
        shadow = 0.22 * (1 - smoothstep(0, 10, d - band)) if sign < 0 else 0.10 * (1 - smoothstep(0, 5, d - band))
        colour = tuple(c * (1 - shadow) for c in colour)
        if e < 0:
            nx, ny = (x - cx) / rx, (y - cy) / ry
            k = math.hypot(nx, ny) or 1.0
            colour = mix(colour, bevel_colour(nx / k, ny / k, (252, 250, 244)), coverage(-e - bevel))
        return colour + (coverage(-e),)

    write_rgba_png(os.path.join(folder, "classic_001.png"), w, h, render(w, h, pixel))
    write_mask(os.path.join(folder, "classic_001.jpg"), w, h,
               lambda x, y: coverage(sd_ellipse(x, y, cx, cy, rx - bevel + 2, ry - bevel + 2)))


def classic_002(folder):
    """Gilded moulding, linen liner, gold fillet; rectangular opening given by margins."""
    w, h, band, liner, fillet = 640, 480, 54, 26, 5
    gold = Gold(band, beads=False, lip_at=0.88, shadow_from=2.0)
    fillet_gold = Gold(fillet * 4, beads=False, shadow_from=2.0)
    noise = ValueNoise(41)
    inset = band + liner + fillet

    def pixel(x, y):
        d, u, sign = band_side(x, y, w, h)
        if d < band:
            return gold.shade(u, d, sign)
        if d < band + liner:
            weave = 0.5 + 0.25 * math.sin(x * 2.2) * math.sin(y * 2.2) + 0.25 * (noise.at(x / 2.0, y / 2.0) - 0.5)
            colour = tuple(c * (0.9 + 0.12 * weave) for c in (222, 210, 184))
            shadow = 0.28 * (1 - smoothstep(0, 9, d - band)) if sign < 0 else 0.08 * (1 - smoothstep(0, 4, d - band))
            return tuple(c * (1 - shadow) for c in colour) + (1.0,)
        if d < inset:
            return fillet_gold.shade(u, (d - band - liner) * 2 + 4, sign)
        return fillet_gold.shade(u, 14, sign)[:3] + (0.0,)

    write_rgba_png(os.path.join(folder, "classic_002.png"), w, h, render(w, h, pixel))
    m = inset - 2
    write_margins(os.path.join(folder, "classic_002.frm"), m, m, m, m)


def classic_003(folder):
    """Ornate gold with beads, green velvet mat, rounded opening with a gold rim; JPNG with a grey mask."""
    w, h, band, mat_width, radius, rim = 640, 480, 58, 30, 44, 6.0
    gold = Gold(band, beads=True, lip_at=0.86, shadow_from=2.0, seed=5)
    noise = ValueNoise(77)
    inset = band + mat_width
    ow, oh = w / 2 - inset, h / 2 - inset

    def pixel(x, y):
        d, u, sign = band_side(x, y, w, h)
        if d < band:
            return gold.shade(u, d, sign)
        e = sd_box(x, y, w / 2, h / 2, ow, oh, radius)
        velvet = tuple(c * (0.85 + 0.3 * noise.fractal(x / 3.0, y / 3.0, 2)) for c in (28, 74, 52))
        shadow = 0.45 * (1 - smoothstep(0, 12, d - band)) if sign < 0 else 0.15 * (1 - smoothstep(0, 5, d - band))
        colour = tuple(c * (1 - shadow) for c in velvet)
        if e < rim:  # a rounded gold bead around the opening; under the opening it keeps the bead's colour
            gx = sd_box(x + 0.5, y, w / 2, h / 2, ow, oh, radius) - sd_box(x - 0.5, y, w / 2, h / 2, ow, oh, radius)
            gy = sd_box(x, y + 0.5, w / 2, h / 2, ow, oh, radius) - sd_box(x, y - 0.5, w / 2, h / 2, ow, oh, radius)
            t = clamp(e / rim)
            light = clamp(0.6 + 0.5 * (2 * t - 1) * (-0.6 * gx - 0.8 * gy))
            colour = mix(colour, ramp(GOLD, light), coverage(e - rim))
        return colour + (coverage(-e),)

    write_jpng(os.path.join(folder, "classic_003.jpng"), w, h, render(w, h, pixel))
    write_mask(os.path.join(folder, "classic_003.jpg"), w, h,
               lambda x, y: coverage(sd_box(x, y, w / 2, h / 2, ow - 2, oh - 2, radius - 2)))


def mat_001(folder):
    """Thin satin-black frame and a wide white gallery mat, bottom-weighted, bevelled cut; margins."""
    w, h, band = 640, 480, 16
    top_mat, side_mat, bottom_mat, bevel = 62, 62, 76, 6
    noise = ValueNoise(3)
    left, right, top, bottom = band + side_mat, band + side_mat, band + top_mat, band + bottom_mat

    def pixel(x, y):
        d, u, sign = band_side(x, y, w, h)
        if d < band:
            s = d / band
            light = 0.5 + 0.5 * math.cos(math.pi * s) * (-sign)  # rounded face: lit edge towards the light
            v = 22 + 38 * light + 60 * smoothstep(0.9, 1.0, light)
            return (v, v, v + 3, 1.0)
        colour = paper(noise, x, y, (247, 246, 242), 4.0)
        shadow = 0.25 * (1 - smoothstep(0, 8, d - band)) if sign < 0 else 0.08 * (1 - smoothstep(0, 4, d - band))
        colour = tuple(c * (1 - shadow) for c in colour)
        # opening and its bevel
        dl, dr, dt, db = x - left, (w - right) - x, y - top, (h - bottom) - y
        inner = min(dl, dr, dt, db)
        if inner > -bevel:
            which = min((dl, (1, 0)), (dr, (-1, 0)), (dt, (0, 1)), (db, (0, -1)))[1]
            light = 0.5 + 0.5 * (which[0] * -0.6 + which[1] * -0.8)  # bottom and right cuts face the light
            core = tuple(c * (0.86 + 0.2 * light) for c in (252, 251, 248))
            colour = mix(colour, core, coverage(-(inner + bevel)))
        return colour + (coverage(inner),)

    write_rgba_png(os.path.join(folder, "mat_001.png"), w, h, render(w, h, pixel))
    write_margins(os.path.join(folder, "mat_001.frm"), left - 1, right - 1, top - 1, bottom - 1)


def polaroid_001(folder):
    """Instant-photo card: even borders on three sides, a wide one at the bottom; margins."""
    w, h = 520, 620
    side, top, bottom = 30, 30, 132
    noise = ValueNoise(19)

    def pixel(x, y):
        card = coverage(sd_box(x, y, w / 2, h / 2, w / 2 - 1, h / 2 - 1, 7))
        colour = paper(noise, x, y, (250, 249, 243), 5.0)
        ox = min(x - side, w - side - x, y - top, h - bottom - y)
        if ox > 0:
            return colour + (0.0,)
        # a faint dark line where the picture's emulsion meets the card, and a soft sheen at the bottom
        edge = 0.18 * (1 - smoothstep(0, 2.5, -ox))
        sheen = 0.03 * smoothstep(h - bottom, h, y)
        colour = tuple(c * (1 - edge - sheen) for c in colour)
        return colour + (card,)

    write_rgba_png(os.path.join(folder, "polaroid_001.png"), w, h, render(w, h, pixel))
    write_margins(os.path.join(folder, "polaroid_001.frm"), side, side, top, bottom)


def film_001(folder):
    """A frame of 35 mm film: dark base, sprocket holes above and below, a rounded picture window; margins."""
    w, h = 800, 560
    strip, side = 86, 36
    hole_w, hole_h, pitch = 26, 34, 50
    noise = ValueNoise(8)

    def pixel(x, y):
        base = (26 + 6 * noise.fractal(x / 30.0, y / 30.0, 2), 22, 20)
        alpha = 1.0
        # sprocket holes (transparent) in the two strips
        for cy in (strip / 2, h - strip / 2):
            if abs(y - cy) < hole_h:
                k = round((x - pitch / 2) / pitch)
                cx = pitch / 2 + k * pitch
                alpha *= 1 - coverage(sd_box(x, y, cx, cy, hole_w / 2, hole_h / 2, 4))
        # frame number marks printed on the film edge
        if abs(y - (strip - 12)) < 4 and (x % 200) < 14:
            base = (214, 150, 52)
        window = sd_box(x, y, w / 2, h / 2, w / 2 - side, h / 2 - strip, 6)
        return base + (alpha * coverage(-window),)

    write_rgba_png(os.path.join(folder, "film_001.png"), w, h, render(w, h, pixel))
    write_margins(os.path.join(folder, "film_001.frm"), side + 1, side + 1, strip + 1, strip + 1)


def stamp_001(folder):
    """Postage stamp: perforated paper edge, a printed coloured border, the picture inside; grey mask."""
    w, h = 480, 600
    edge, hole_r, pitch = 10, 9, 28
    border, opening = 34, 44
    noise = ValueNoise(23)
    paper_w, paper_h = w / 2 - edge, h / 2 - edge
    count_x = round(2 * paper_w / pitch)
    count_y = round(2 * paper_h / pitch)
    step_x, step_y = 2 * paper_w / count_x, 2 * paper_h / count_y

    def hole(x, y):
        best = 1e9
        for cy in (edge, h - edge):
            k = round((x - edge) / step_x)
            best = min(best, math.hypot(x - (edge + k * step_x), y - cy))
        for cx in (edge, w - edge):
            k = round((y - edge) / step_y)
            best = min(best, math.hypot(x - cx, y - (edge + k * step_y)))
        return best - hole_r

    def pixel(x, y):
        sheet = coverage(sd_box(x, y, w / 2, h / 2, paper_w, paper_h))
        alpha = sheet * coverage(-hole(x, y))
        colour = paper(noise, x, y, (250, 247, 238), 5.0)
        ring = sd_box(x, y, w / 2, h / 2, w / 2 - border, h / 2 - border)
        inner = sd_box(x, y, w / 2, h / 2, w / 2 - opening, h / 2 - opening)
        printed = coverage(ring) * coverage(-inner)
        ink = (164, 38, 46)
        colour = mix(colour, ink, printed * (0.9 + 0.1 * noise.at(x / 2.0, y / 2.0)))
        # a fine line just outside the printed band
        line = 1 - smoothstep(0.0, 1.2, abs(ring - 5))
        colour = mix(colour, ink, 0.8 * line)
        return colour + (alpha * coverage(-inner),)

    write_rgba_png(os.path.join(folder, "stamp_001.png"), w, h, render(w, h, pixel))
    write_mask(os.path.join(folder, "stamp_001.jpg"), w, h,
               lambda x, y: coverage(sd_box(x, y, w / 2, h / 2, w / 2 - opening + 2, h / 2 - opening + 2)))


# ---------------------------------------------------------------------------------------------------------------
# Expandable frames.

PIECE = 128        # pixel size of a corner, and the thickness of an edge piece
EDGE_LENGTH = 512  # pixel length of an edge piece


def expandable(resources, name, material_type, width, expansion, make_moulding):
    folder = os.path.join(resources, "Frame", name)
    material = os.path.join(folder, "Material")
    os.makedirs(material, exist_ok=True)
    # The band of a piece spans `width`; the photo's edge lies `expansion` in from the outer edge.
    moulding = make_moulding(PIECE, expansion / width)
    c, n = PIECE, EDGE_LENGTH
    pieces = {
        "lt": (c, c, lambda x, y: band_side(x, y, 2 * c, 2 * c)),
        "rt": (c, c, lambda x, y: band_side(x + c, y, 2 * c, 2 * c)),
        "lb": (c, c, lambda x, y: band_side(x, y + c, 2 * c, 2 * c)),
        "rb": (c, c, lambda x, y: band_side(x + c, y + c, 2 * c, 2 * c)),
        "top": (n, c, lambda x, y: (y, x, -1)),
        "bottom": (n, c, lambda x, y: (c - y, x, 1)),
        "left": (c, n, lambda x, y: (x, y, -1)),
        "right": (c, n, lambda x, y: (c - x, y, 1)),
    }
    for piece, (pw, ph, locate) in pieces.items():
        def pixel(x, y, locate=locate):
            d, u, sign = locate(x, y)
            return moulding.shade(u, d, sign)
        write_rgba_png(os.path.join(material, piece + ".png"), pw, ph, render(pw, ph, pixel))

    # An XML property list; the document-type line is left out, as in our Info.plist (readers do not need it).
    text = plistlib.dumps({"type": material_type, "width": float(width), "expansion": float(expansion)},
                          sort_keys=True)
    text = b"".join(line for line in text.splitlines(keepends=True) if not line.startswith(b"<!DOCTYPE"))
    with open(os.path.join(folder, name + ".xml"), "wb") as f:
        f.write(text)

    # The preview: the whole frame around a 4:3 photo, drawn at 2 pixels per point.
    scale = 2.0
    band = width * scale
    photo_w, photo_h = 400, 300
    out = expansion * scale
    pw, ph = int(photo_w + 2 * out), int(photo_h + 2 * out)
    preview = make_moulding(band, expansion / width)

    def preview_pixel(x, y):
        d, u, sign = band_side(x, y, pw, ph)
        if d >= band:
            return (0, 0, 0, 0.0)
        return preview.shade(u, d, sign)
    write_rgba_png(os.path.join(folder, name + ".png"), pw, ph, render(pw, ph, preview_pixel))


def lip_and_shadow(photo_edge):
    """Where a piece's inner lip and its shadow on the photo begin, given the photo edge (fraction of the band)."""
    return photo_edge + (1 - photo_edge) * 0.35, photo_edge + (1 - photo_edge) * 0.60


def oak(band, photo_edge):
    lip, shadow = lip_and_shadow(photo_edge)
    return Wood(band, (214, 170, 112), (150, 104, 58), seed=4242, lip_at=lip, shadow_from=shadow)


def gilt(band, photo_edge):
    lip, shadow = lip_and_shadow(photo_edge)
    return Gold(band, beads=True, lip_at=lip, shadow_from=shadow, seed=99)


def ebony(band, photo_edge):
    lip, shadow = lip_and_shadow(photo_edge)
    return Lacquer(band, lip_at=lip - 0.06, shadow_from=shadow)


def main():
    resources = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources")
    only = set(sys.argv[2:])
    singles = [("Classic", classic_001), ("Classic", classic_002), ("Classic", classic_003), ("Simple", mat_001),
               ("Simple", polaroid_001), ("Fun", film_001), ("Fun", stamp_001)]
    for category, make in singles:
        if only and make.__name__ not in only:
            continue
        folder = os.path.join(resources, "Frame", category)
        os.makedirs(folder, exist_ok=True)
        make(folder)
    for name, kind, width, expansion, make in [("Oak", "wood", 28, 20, oak), ("Gilt", "gold", 30, 22, gilt),
                                               ("Ebony", "lacquer", 22, 15, ebony)]:
        if only and name not in only:
            continue
        expandable(resources, name, kind, width, expansion, make)


if __name__ == "__main__":
    main()
