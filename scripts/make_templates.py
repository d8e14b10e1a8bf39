#!/usr/bin/env python3
"""Writes the built-in templates and the images they use.

Templates are files of the attribute-only XML project format, one per template folder:

    Templates/<category>/<name>/<name>.tpl

The chooser shows each template by the JPEG previews in its folder ("Preview.jpg" for one page, "Page 01.jpg",
"Page 02.jpg", ... for several); those are rendered by the application's own page output, not by this script:
run the template test with KX_WRITE_TEMPLATE_PREVIEWS=1 after this script (see tests/document).

The images the templates name are drawn here and looked up by file name when a template is opened:

    Background/Stretch/<name>.jpg   page backgrounds stretched over the page (gradients, soft light)
    Background/Tile/<name>.jpg      small patterns tiled over the page
    Clipart/Decorations/<name>.png  drawings with transparency (hearts, stars, balloons, snowflakes, flowers)

Photo frames of templates stay empty until the user fills them; their masks and picture frames are the
application's own (resources/Mask, resources/Frame).

Deterministic: no randomness without a fixed seed, no dates; each run writes the same bytes. Standard library only.
Usage: make_templates.py [resources folder]   (default: ../resources beside this script)
"""
import math
import os
import sys
from xml.sax.saxutils import quoteattr

from make_frames_raster import clamp, coverage, sd_box, sd_ellipse, sd_polygon, write_jpeg
from png_writer import write_png

YEAR = 2027          # the year the calendars show
FORMAT_VERSION = 7   # masks, frames and clip-art are read from version 7 on
RGBA = 6             # PNG colour type


# ---------------------------------------------------------------------------------------------------------------
# Colours of the format.

def rgb(r, g, b):
    """A plain colour attribute: red in the low byte, then green, then blue."""
    return r | (g << 8) | (b << 16)


def rgba(r, g, b, a=255):
    """A calendar colour: blue in the top byte, then green, red and alpha."""
    return (b << 24) | (g << 16) | (r << 8) | a


def hex_colour(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


# ---------------------------------------------------------------------------------------------------------------
# Images.

def mix(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


class Lcg:
    """A small fixed-seed generator, so patterns come out the same on every run."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        self.state = (1664525 * self.state + 1013904223) & 0xFFFFFFFF
        return self.state / 2 ** 32


def gradient_background(width, height, stops, glow=None, dots=None):
    """A vertical gradient through `stops` [(t, colour)], optionally a soft round glow (cx, cy, r, colour, strength)
    and scattered soft dots (count, colour, seed) in relative units."""
    pixels = bytearray(width * height * 3)
    spots = []
    if dots:
        count, colour, seed = dots
        g = Lcg(seed)
        spots = [(g.next() * width, g.next() * height, 1.5 + g.next() * 4.5) for _ in range(count)]
    for y in range(height):
        t = y / (height - 1)
        for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
            if t0 <= t <= t1:
                row = mix(c0, c1, (t - t0) / (t1 - t0) if t1 > t0 else 0)
                break
        for x in range(width):
            c = row
            if glow:
                cx, cy, r, colour, strength = glow
                d = math.hypot(x / width - cx, (y / height - cy) * height / width) / r
                if d < 1:
                    c = mix(c, colour, strength * (1 - d) ** 2)
            i = (y * width + x) * 3
            pixels[i:i + 3] = bytes(c)
    if spots:
        for sx, sy, sr in spots:
            for y in range(max(0, int(sy - sr - 1)), min(height, int(sy + sr + 2))):
                for x in range(max(0, int(sx - sr - 1)), min(width, int(sx + sr + 2))):
                    a = coverage(math.hypot(x + 0.5 - sx, y + 0.5 - sy) - sr, 1.0) * 0.85
                    if a > 0:
                        i = (y * width + x) * 3
                        pixels[i:i + 3] = bytes(mix(tuple(pixels[i:i + 3]), dots[1], a))
    return pixels


def pattern_tile(size, fn):
    """A square tile; fn(x, y) gives the colour at a pixel centre."""
    pixels = bytearray(size * size * 3)
    for y in range(size):
        for x in range(size):
            i = (y * size + x) * 3
            pixels[i:i + 3] = bytes(fn(x + 0.5, y + 0.5))
    return pixels


def polka(size, paper, dot):
    r = size * 0.16

    def fn(x, y):
        d = min(math.hypot(x - cx, y - cy) for cx, cy in ((size / 4, size / 4), (3 * size / 4, 3 * size / 4)))
        return mix(paper, dot, coverage(d - r, 0.8))
    return pattern_tile(size, fn)


def gingham(size, paper, ink):
    def fn(x, y):
        band_x = 1 if (x // (size / 2)) % 2 == 0 else 0
        band_y = 1 if (y // (size / 2)) % 2 == 0 else 0
        return mix(paper, ink, 0.22 * band_x + 0.22 * band_y)
    return pattern_tile(size, fn)


def diagonal(size, paper, ink):
    def fn(x, y):
        d = ((x + y) % (size / 2)) - size / 4
        return mix(paper, ink, 0.35 * coverage(abs(d) - size / 14, 0.8))
    return pattern_tile(size, fn)


def rgba_picture(size, layers):
    """Draws shapes over transparency. layers: [(distance function (x, y) -> signed distance, colour)], back to
    front; 2 x 2 supersampling is left to the antialiased coverage."""
    rows = []
    for y in range(size):
        row = bytearray(size * 4)
        for x in range(size):
            r = g = b = a = 0.0
            for sd, colour in layers:
                c = coverage(sd(x + 0.5, y + 0.5), 0.75)
                if c <= 0:
                    continue
                alpha = c * (colour[3] / 255 if len(colour) > 3 else 1)
                r = colour[0] * alpha + r * (1 - alpha)
                g = colour[1] * alpha + g * (1 - alpha)
                b = colour[2] * alpha + b * (1 - alpha)
                a = alpha + a * (1 - alpha)
            if a > 0:
                row[x * 4:x * 4 + 4] = bytes((int(round(r / a)), int(round(g / a)), int(round(b / a)),
                                              int(round(a * 255))))
        rows.append(row)
    return rows


def heart_points(cx, cy, s, n=120):
    pts = []
    for i in range(n):
        t = 2 * math.pi * i / n
        x = 16 * math.sin(t) ** 3
        y = 13 * math.cos(t) - 5 * math.cos(2 * t) - 2 * math.cos(3 * t) - math.cos(4 * t)
        pts.append((cx + x * s, cy - y * s))
    return pts


def star_points(cx, cy, outer, inner, n=5, turn=-math.pi / 2):
    pts = []
    for i in range(2 * n):
        r = outer if i % 2 == 0 else inner
        t = turn + math.pi * i / n
        pts.append((cx + r * math.cos(t), cy + r * math.sin(t)))
    return pts


def clipart(size=256):
    """The clip-art drawings by file name."""
    s = size
    heart = heart_points(s / 2, s * 0.47, s / 38)
    heart_in = heart_points(s / 2, s * 0.47, s / 48)
    star = star_points(s / 2, s * 0.53, s * 0.46, s * 0.19)
    pictures = {
        "heart_red.png": [(lambda x, y: sd_polygon(x, y, heart), (200, 30, 60)),
                          (lambda x, y: sd_polygon(x, y, heart_in), (235, 70, 95))],
        "star_gold.png": [(lambda x, y: sd_polygon(x, y, star), (220, 160, 20)),
                          (lambda x, y: sd_polygon(x, y, star_points(s / 2, s * 0.53, s * 0.34, s * 0.14)),
                           (250, 205, 60))],
    }

    def balloon(cx, cy, rx, ry):
        return lambda x, y: sd_ellipse(x, y, cx, cy, rx, ry)

    def string(x0, y0, x1, y1, w=1.6):
        def sd(x, y):
            ex, ey = x1 - x0, y1 - y0
            t = clamp(((x - x0) * ex + (y - y0) * ey) / (ex * ex + ey * ey))
            wobble = 3 * math.sin(t * 9)
            return math.hypot(x - (x0 + ex * t + wobble), y - (y0 + ey * t)) - w
        return sd
    pictures["balloons.png"] = [
        (string(s * 0.30, s * 0.50, s * 0.48, s * 0.97), (90, 90, 90)),
        (string(s * 0.68, s * 0.44, s * 0.50, s * 0.97), (90, 90, 90)),
        (string(s * 0.50, s * 0.38, s * 0.49, s * 0.97), (90, 90, 90)),
        (balloon(s * 0.30, s * 0.33, s * 0.17, s * 0.20), (230, 60, 70)),
        (balloon(s * 0.68, s * 0.28, s * 0.16, s * 0.19), (60, 140, 230)),
        (balloon(s * 0.50, s * 0.21, s * 0.17, s * 0.20), (250, 190, 40)),
        (balloon(s * 0.26, s * 0.27, s * 0.04, s * 0.05), (255, 255, 255, 140)),
        (balloon(s * 0.64, s * 0.22, s * 0.04, s * 0.05), (255, 255, 255, 140)),
        (balloon(s * 0.46, s * 0.15, s * 0.04, s * 0.05), (255, 255, 255, 140)),
    ]

    def snowflake(x, y):
        dx, dy = x - s / 2, y - s / 2
        r = math.hypot(dx, dy)
        a = math.atan2(dy, dx) % (math.pi / 3)
        a = min(a, math.pi / 3 - a)
        px, py = r * math.cos(a), r * math.sin(a)
        arm = max(py - s * 0.025, px - s * 0.45, -px)
        branch = float("inf")
        for k in (0.22, 0.34):
            bx, by = px - s * k, py
            u = (bx + by) / math.sqrt(2)
            v = (by - bx) / math.sqrt(2)
            branch = min(branch, max(abs(v) - s * 0.02, u - s * 0.10, -u))
        hub = r - s * 0.07
        return min(arm, branch, hub)
    pictures["snowflake.png"] = [(snowflake, (235, 245, 255)),
                                 (lambda x, y: math.hypot(x - s / 2, y - s / 2) - s * 0.035, (170, 210, 240))]

    petals = []
    for i in range(6):
        t = i * math.pi / 3
        petals.append((balloon(s / 2 + math.cos(t) * s * 0.22, s / 2 + math.sin(t) * s * 0.22, s * 0.16, s * 0.16),
                       (240, 130, 170)))
    pictures["flower_pink.png"] = petals + [
        (lambda x, y: math.hypot(x - s / 2, y - s / 2) - s * 0.13, (250, 200, 60)),
        (lambda x, y: math.hypot(x - s / 2, y - s / 2) - s * 0.08, (235, 160, 40)),
    ]

    def leaf(x, y):
        # Two arcs meeting at the tips: a leaf pointing up and to the right.
        u = ((x - s * 0.2) + (s * 0.8 - y)) / math.sqrt(2) - s * 0.42
        v = ((x - s * 0.2) - (s * 0.8 - y)) / math.sqrt(2)
        return max(abs(v) - (s * 0.17) * max(0.0, 1 - (u / (s * 0.42)) ** 2), abs(u) - s * 0.42)
    pictures["leaf_green.png"] = [(leaf, (80, 160, 80)),
                                  (lambda x, y: abs(((x - s * 0.2) - (s * 0.8 - y)) / math.sqrt(2)) - 1.5
                                   if abs(((x - s * 0.2) + (s * 0.8 - y)) / math.sqrt(2) - s * 0.42) < s * 0.40
                                   else float("inf"), (50, 110, 55))]
    return pictures


def write_images(resources):
    stretch = os.path.join(resources, "Background", "Stretch")
    tile = os.path.join(resources, "Background", "Tile")
    art = os.path.join(resources, "Clipart", "Decorations")
    for folder in (stretch, tile, art):
        os.makedirs(folder, exist_ok=True)
    w, h = 480, 360
    backgrounds = {
        "sunset_glow.jpg": gradient_background(w, h, [(0, hex_colour("#f6d365")), (0.55, hex_colour("#fda085")),
                                                      (1, hex_colour("#a1477a"))],
                                               glow=(0.7, 0.35, 0.5, (255, 245, 210), 0.6)),
        "morning_sky.jpg": gradient_background(w, h, [(0, hex_colour("#a1c4fd")), (1, hex_colour("#e8f3ff"))],
                                               glow=(0.2, 0.2, 0.6, (255, 255, 255), 0.5)),
        "winter_night.jpg": gradient_background(w, h, [(0, hex_colour("#0b1d3a")), (1, hex_colour("#2f5b8c"))],
                                                dots=(260, (240, 248, 255), 7)),
        "soft_linen.jpg": gradient_background(w, h, [(0, hex_colour("#fbf7ef")), (1, hex_colour("#efe6d4"))],
                                              glow=(0.5, 0.4, 0.7, (255, 255, 255), 0.5)),
        "mint_fresh.jpg": gradient_background(w, h, [(0, hex_colour("#d4fc79")), (1, hex_colour("#96e6a1"))]),
        "blush_rose.jpg": gradient_background(w, h, [(0, hex_colour("#fdeff2")), (1, hex_colour("#f3c6d3"))],
                                              glow=(0.5, 0.0, 0.8, (255, 255, 255), 0.6)),
    }
    for name, pixels in backgrounds.items():
        write_jpeg(os.path.join(stretch, name), w, h, 3, pixels, 90)
    tiles = {
        "polka_dots.jpg": polka(48, hex_colour("#fff8e7"), hex_colour("#f2b5c4")),
        "blue_gingham.jpg": gingham(48, hex_colour("#ffffff"), hex_colour("#3b6fb6")),
        "candy_stripes.jpg": diagonal(48, hex_colour("#fffdf8"), hex_colour("#e9a23b")),
    }
    for name, pixels in tiles.items():
        write_jpeg(os.path.join(tile, name), 48, 48, 3, pixels, 92)
    for name, rows in clipart().items():
        write_png(os.path.join(art, name), 256, 256, RGBA, rgba_picture(256, rows))


# ---------------------------------------------------------------------------------------------------------------
# Templates.

def attribute_text(attributes):
    return " ".join("%s=%s" % (k, quoteattr(str(v))) for k, v in attributes.items())


def element(name, attributes):
    return "<%s %s/>" % (name, attribute_text(attributes))


class Page:
    """One page ("scenegraph") of a template in page pixels, top-left origin."""

    def __init__(self, width, height, dpi=300):
        self.width, self.height, self.dpi = width, height, dpi
        self.attributes = {"ImageSizeX": width, "ImageSizeY": height, "BackDPI": dpi, "BackUnitType": 0,
                           "Landscape": 1 if width >= height else 0}
        self.objects = []

    def colour(self, first, second=None, direction=0):
        """Colour background: solid, or a two-colour gradient across (1) or down the page (2)."""
        self.attributes.update({"Type": 0, "FillColor": rgb(*first), "FillColor2": rgb(*(second or first)),
                                "ColorFillType": direction if second else 0})
        return self

    def image(self, name, tiled=False):
        """A resource background: stretched, or tiled when `tiled`."""
        self.attributes.update({"Type": 1, "Image": name, "ImageType": 0 if tiled else 1})
        return self

    @staticmethod
    def box(x, y, w, h, angle=0, transparent=1.0):
        return {"Version": 4, "BoundingBoxLeft": round(x, 1), "BoundingBoxTop": round(y, 1),
                "BoundingBoxRight": round(x + w, 1), "BoundingBoxBottom": round(y + h, 1), "Angle": angle,
                "Transparent": transparent, "Visible": 1}

    def photo(self, x, y, w, h, angle=0, mask=None, frame=None, border=None, round_width=0, shadow=True):
        a = {"Type": 0, **self.box(x, y, w, h, angle), "EffectName": "Original", "RoundWidth": round_width,
             "EnableMask": 1 if mask else 0, "EnableFrame": 1 if (frame or border) else 0,
             "EnableShadow": 1 if shadow else 0, "ShadowColor": rgb(0, 0, 0), "ShadowAlpha": 45,
             "ShadowSmooth": 8, "ShadowAngle": 315, "ShadowOffsetX": 8}
        if mask:
            a["MaskName"] = mask
        if frame:
            a.update({"BorderType": 1, "FrameName": frame})
        elif border:
            colour, width = border
            a.update({"BorderType": 0, "ColorBorderColor": rgb(*colour), "ColorBorderWidth": width})
        self.objects.append(a)
        return self

    def text(self, string, x, y, w, font="DejaVu Sans", colour=(40, 40, 40), bold=False, italic=False,
             align=1, angle=0, colour2=None, gradient=None, outline=None, glow=None, shadow=False):
        """A text whose width is `w` page pixels, its top at y. A text object is scaled to cover its box and
        then sized to the text, its top kept: the box is made wider in proportion than any text of these
        characters can be, so the text takes the box's width exactly and its own height downwards."""
        lines = string.split("\n")
        widest = max(len(line) for line in lines)
        h = w * len(lines) * 1.17 / (0.75 * widest)
        a = {"Type": 1, **self.box(x, y, w, h, angle), "TextString": string.replace("\n", "\\r\\n"),
             "lfFaceName": font, "b_bold": int(bold), "lfItalic": int(italic), "lfUnderline": 0,
             "fcolor": rgb(*colour), "align": align, "EnableShadow": int(shadow), "ShadowColor": rgb(0, 0, 0),
             "ShadowAlpha": 40, "ShadowSmooth": 6, "ShadowAngle": 315, "ShadowOffsetX": 4}
        if colour2 is not None:
            a.update({"IsGradient": 1, "TextColor2": rgb(*colour2), "GradientDirection": gradient or 1})
        if outline:
            a.update({"IsStrokeEnable": 1, "EffectStrokeColor": rgb(*outline[0]), "StrokeWidth": outline[1]})
        if glow:
            a.update({"IsGlowEnable": 1, "GlowColor": rgb(*glow[0]), "GlowPower": glow[1], "GlowRadius": glow[2]})
        self.objects.append(a)
        return self

    def clipart(self, name, x, y, w, h, transparent=1.0):
        self.objects.append({"Type": 2, **self.box(x, y, w, h, 0, transparent), "Image": name})
        return self

    def calendar(self, x, y, w, h, first_month, month_count, accent, font="DejaVu Sans", show_year=True,
                 background=None):
        a = {"Type": 3, **self.box(x, y, w, h), "year": YEAR, "firstMonth": first_month, "monthCount": month_count,
             "firstWeekday": 1, "fontName": font, "isShowYear": int(show_year),
             "hasBackground": 1 if background else 0,
             "backgroundColor": rgba(*(background or (255, 255, 255))),
             "yearColor": rgba(*accent, 220), "yearAlignment": 2, "monthGap": 20 if month_count > 1 else 10,
             "monthAlignment": 2, "monthColor": rgba(*accent), "dayGap": 14,
             "dayColor": rgba(50, 50, 50), "dayBKColor": rgba(255, 255, 255, 0),
             "weekendColor": rgba(*accent), "weekendBKColor": rgba(*accent, 24),
             "hasWeekday": 1, "weekdayColor": rgba(90, 90, 90), "weekdayBKColor": rgba(*accent, 30),
             "hasAdjacentDay": 1, "adjDayColor": rgba(170, 170, 170), "adjDayBKColor": rgba(0, 0, 0, 0)}
        for i, name in enumerate(["Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"]):
            a["weekday_%d" % i] = name
        for i, name in enumerate(["January", "February", "March", "April", "May", "June", "July", "August",
                                  "September", "October", "November", "December"]):
            a["month_%d" % i] = name
        self.objects.append(a)
        return self

    def xml(self):
        lines = ["  <scenegraph %s>" % attribute_text(self.attributes)]
        lines += ["    " + element("sceneobject", o) for o in self.objects]
        lines.append("  </scenegraph>")
        return "\n".join(lines)


def template_xml(pages):
    first = pages[0]
    head = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        "<root>",
        "  " + element("info", {"Version": FORMAT_VERSION, "Product": "Kollage", "Company": "Kollage"}),
        "  " + element("vrtpropage", {"Version": 4, "ImageSizeX": first.width, "ImageSizeY": first.height,
                                      "BackDPI": first.dpi, "BackUnitType": 0, "PageCount": len(pages)}),
    ]
    return "\n".join(head + [p.xml() for p in pages] + ["</root>", ""])


# Page sizes in pixels at 300 dpi; each is an entry of the page-size catalogue.
PHOTO_8X6 = (2400, 1800)
SCRAPBOOK = (3600, 3600)
A4 = (2480, 3508)
POSTCARD = (1772, 1181)
GREETING = (2551, 3295)

WHITE = (255, 255, 255)


def grid(page, columns, rows, margin, gap, **photo):
    w = (page.width - 2 * margin - (columns - 1) * gap) / columns
    h = (page.height - 2 * margin - (rows - 1) * gap) / rows
    for r in range(rows):
        for c in range(columns):
            page.photo(margin + c * (w + gap), margin + r * (h + gap), w, h, **photo)
    return page


def collages():
    t = {}
    t["Classic Grid"] = [grid(Page(*PHOTO_8X6).colour(WHITE), 2, 2, 90, 50, shadow=False)]

    t["Nine Squares"] = [grid(Page(*SCRAPBOOK).image("blue_gingham.jpg", tiled=True), 3, 3, 180, 90,
                              border=(WHITE, 8), round_width=0)]

    p = Page(*PHOTO_8X6).image("soft_linen.jpg")
    p.photo(90, 90, 1440, 1620, border=(WHITE, 10))
    for i in range(3):
        p.photo(1620, 90 + i * 560, 690, 500, border=(WHITE, 10))
    t["Feature and Three"] = [p]

    p = Page(*PHOTO_8X6).image("polka_dots.jpg", tiled=True)
    for x, y, angle in ((160, 180, 8), (880, 120, -5), (1560, 220, 6), (420, 900, -7), (1180, 960, 4)):
        p.photo(x, y, 640, 720, angle=angle, frame="polaroid_001.png")
    t["Scattered Snapshots"] = [p]

    p = Page(*SCRAPBOOK).image("mint_fresh.jpg")
    centres = [(1800, 1800, 1300)] + [(1800 + 1180 * math.cos(a), 1800 + 1180 * math.sin(a), 820)
                                       for a in (math.radians(d) for d in (45, 135, 225, 315))]
    for cx, cy, d in centres:
        p.photo(cx - d / 2, cy - d / 2, d, d, mask="circle_001.jpg")
    t["Circles"] = [p]

    p = Page(*A4).colour((250, 250, 248), (228, 233, 240), 2)
    p.text("Our Summer", 590, 170, 1300, font="DejaVu Serif", colour=(60, 80, 110), italic=True)
    for i, (x, y, w, h) in enumerate(((200, 560, 1290, 1200), (1560, 560, 720, 1200), (200, 1840, 720, 1450),
                                       (990, 1840, 1290, 700), (990, 2610, 1290, 680))):
        p.photo(x, y, w, h, round_width=8, shadow=True)
    t["Summer Mosaic"] = [p]
    return t


def cards():
    t = {}
    p = Page(*POSTCARD).image("sunset_glow.jpg")
    p.photo(90, 150, 800, 880, border=(WHITE, 12), angle=-4)
    p.text("Happy\nBirthday!", 990, 200, 700, font="DejaVu Sans", bold=True, colour=(255, 255, 255),
           colour2=(255, 230, 120), gradient=1, outline=((160, 50, 90), 20), shadow=True)
    p.clipart("balloons.png", 1280, 720, 400, 400)
    p.clipart("star_gold.png", 1000, 820, 160, 160)
    t["Birthday Balloons"] = [p]

    p = Page(*POSTCARD).image("blush_rose.jpg")
    p.photo(110, 110, 760, 960, mask="rounded_001.jpg")
    p.text("Thank You", 960, 330, 700, font="DejaVu Serif", italic=True, colour=(150, 60, 90))
    p.text("for being part of our day", 970, 600, 680, colour=(120, 90, 100))
    p.clipart("flower_pink.png", 1500, 860, 220, 220)
    p.clipart("leaf_green.png", 1360, 900, 160, 160)
    t["Thank You Flowers"] = [p]

    p = Page(*GREETING).image("winter_night.jpg")
    p.photo(475, 1250, 1600, 1400, frame="classic_001.png")
    p.text("Season's Greetings", 275, 330, 2000, font="DejaVu Serif", colour=(255, 255, 255),
           glow=((150, 200, 255), 8, 20))
    p.text("and a happy new year", 625, 700, 1300, font="DejaVu Serif", italic=True, colour=(210, 230, 250))
    for x, y, s in ((180, 1000, 260), (2100, 1050, 300), (260, 2800, 220), (2120, 2750, 240)):
        p.clipart("snowflake.png", x, y, s, s, transparent=0.9)
    t["Winter Greetings"] = [p]

    p = Page(*GREETING).image("candy_stripes.jpg", tiled=True)
    p.photo(300, 300, 1951, 1500, border=(WHITE, 14))
    p.text("You're Invited!", 425, 1950, 1700, bold=True, colour=(210, 110, 30), colour2=(180, 60, 40),
           gradient=2)
    p.text("Saturday at four\nin the garden", 675, 2300, 1200, font="DejaVu Serif", colour=(90, 70, 50))
    p.clipart("heart_red.png", 2050, 2850, 260, 260)
    t["Party Invitation"] = [p]
    return t


# Light pages: the calendar's day cells are translucent and read against the page.
MONTH_BACKGROUNDS = ["morning_sky.jpg", "blush_rose.jpg", "mint_fresh.jpg", "morning_sky.jpg", "soft_linen.jpg",
                     "blush_rose.jpg", "morning_sky.jpg", "mint_fresh.jpg", "soft_linen.jpg", "soft_linen.jpg",
                     "blush_rose.jpg", "morning_sky.jpg"]
MONTH_ACCENTS = [(40, 80, 140), (180, 60, 100), (60, 130, 70), (50, 110, 180), (150, 110, 60), (200, 90, 40),
                 (40, 120, 170), (70, 140, 80), (140, 100, 50), (190, 80, 40), (170, 60, 100), (40, 80, 140)]


def month_page(month):
    p = Page(*A4).image(MONTH_BACKGROUNDS[month - 1])
    p.photo(170, 170, 2140, 1900, border=(WHITE, 14))
    p.calendar(170, 2180, 2140, 1180, month, 1, MONTH_ACCENTS[month - 1], background=(255, 255, 255))
    return p


def calendars():
    t = {}
    p = Page(*A4).colour((255, 255, 255), (236, 242, 248), 2)
    p.photo(200, 200, 2080, 1700, round_width=6)
    p.calendar(200, 2020, 2080, 1320, 1, 1, (40, 90, 150))
    t["Month Calendar"] = [p]
    t["Twelve Month Calendar"] = [month_page(m) for m in range(1, 13)]
    p = Page(*A4).image("soft_linen.jpg")
    p.text(str(YEAR), 890, 130, 700, font="DejaVu Serif", bold=True, colour=(90, 70, 50))
    p.photo(200, 520, 2080, 900, round_width=12)
    p.calendar(160, 1500, 2160, 1900, 1, 12, (120, 80, 50), show_year=False)
    t["Year at a Glance"] = [p]
    return t


def posters():
    t = {}
    p = Page(*A4).image("morning_sky.jpg")
    p.text("Adventure\nAwaits", 390, 200, 1700, bold=True, colour=(255, 255, 255), colour2=(200, 230, 255),
           gradient=1, outline=((30, 70, 120), 16), shadow=True)
    p.photo(180, 1180, 2120, 1500, border=(WHITE, 16), angle=2)
    p.text("Pack light. Go far.", 490, 2850, 1500, font="DejaVu Serif", italic=True, colour=(40, 70, 110))
    p.clipart("star_gold.png", 2050, 2620, 280, 280)
    t["Travel Poster"] = [p]
    return t


CATEGORIES = [("Collages", collages), ("Cards", cards), ("Calendars", calendars), ("Posters", posters)]


def write_templates(resources):
    root = os.path.join(resources, "Templates")
    for category, make in CATEGORIES:
        for name, pages in make().items():
            folder = os.path.join(root, category, name)
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, name + ".tpl"), "w", encoding="utf-8", newline="\n") as f:
                f.write(template_xml(pages))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    resources = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources")
    write_images(resources)
    write_templates(resources)


if __name__ == "__main__":
    main()
