#!/usr/bin/env python3
"""Writes the clip-art of the resource panel under resources/Clipart/<category>/<name>.png.

Each picture is a 160 x 160 RGBA PNG drawn from a few flat, antialiased shapes with a darker outline, on a
transparent ground. Four categories of eleven pictures each (Decorations, written by make_templates.py, is
left alone because templates use it):

    Celebration  balloons, gifts, party hats, candles, confetti, bunting
    Nature       flowers, leaves, sun, moon, cloud, raindrop, tree, mushroom
    Symbols      hearts, stars, check mark, arrows, badges, a speech bubble, music notes
    Seasons      snowflakes, snowman, umbrella, pumpkin, tulip, beach ball, bolt

Deterministic: no randomness, each run writes the same bytes. Standard library only.
Usage: make_cliparts.py [resources folder]   (default: ../resources beside this script)
"""
import math
import os
import sys

from make_frames_raster import clamp, coverage, sd_box, sd_ellipse, sd_polygon
from png_writer import RGBA, write_png

SIZE = 160
OUTLINE = 2.5


def hex_colour(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def darker(colour, factor=0.6):
    return tuple(int(c * factor) for c in colour)


# ---------------------------------------------------------------------------------------------------------------
# Shapes: each is a signed distance function of a pixel centre (negative inside).

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ellipse(cx, cy, rx, ry):
    return lambda x, y: sd_ellipse(x, y, cx, cy, rx, ry)


def box(cx, cy, hw, hh, radius=0.0):
    return lambda x, y: sd_box(x, y, cx, cy, hw, hh, radius)


def polygon(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    left, right, top, bottom = min(xs) - 4, max(xs) + 4, min(ys) - 4, max(ys) + 4

    def sd(x, y):
        # Far from the bounding box the exact distance does not matter, only its sign.
        if x < left or x > right or y < top or y > bottom:
            return 8.0
        return sd_polygon(x, y, points)
    return sd


def star_points(cx, cy, outer, inner, count, turn=-math.pi / 2):
    points = []
    for i in range(count * 2):
        r = outer if i % 2 == 0 else inner
        a = turn + i * math.pi / count
        points.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return points


def star(cx, cy, outer, inner, count=5):
    return polygon(star_points(cx, cy, outer, inner, count))


def heart(cx, cy, size):
    points = []
    for i in range(72):
        t = i / 72 * 2 * math.pi
        hx = 16 * math.sin(t) ** 3
        hy = 13 * math.cos(t) - 5 * math.cos(2 * t) - 2 * math.cos(3 * t) - math.cos(4 * t)
        points.append((cx + hx * size / 17, cy - hy * size / 17))
    return polygon(points)


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def subtract(shape, hole):
    return lambda x, y: max(shape(x, y), -hole(x, y))


def segment(ax, ay, bx, by, width):
    ex, ey = bx - ax, by - ay
    length2 = ex * ex + ey * ey

    def sd(x, y):
        t = clamp(((x - ax) * ex + (y - ay) * ey) / length2)
        return math.hypot(x - ax - ex * t, y - ay - ey * t) - width / 2
    return sd


def petals(cx, cy, count, length, width, turn=0.0):
    shapes = []
    for i in range(count):
        a = turn + i * 2 * math.pi / count
        px, py = cx + math.cos(a) * length * 0.55, cy + math.sin(a) * length * 0.55
        shapes.append(rotated(ellipse(0, 0, length * 0.5, width * 0.5), px, py, a))
    return union(*shapes)


def rotated(shape, cx, cy, angle):
    c, s = math.cos(-angle), math.sin(-angle)
    return lambda x, y: shape((x - cx) * c - (y - cy) * s, (x - cx) * s + (y - cy) * c)


# ---------------------------------------------------------------------------------------------------------------
# Painting: layers of (shape, colour), each with an outline in a darker tone, composited over transparency.

def paint(layers, outline=OUTLINE):
    pixels = bytearray(SIZE * SIZE * 4)
    for y in range(SIZE):
        for x in range(SIZE):
            px, py = x + 0.5, y + 0.5
            r = g = b = a = 0.0
            for shape, colour in layers:
                d = shape(px, py)
                if d > outline + 1:
                    continue
                cover = coverage(d - outline)
                if cover <= 0:
                    continue
                inner = coverage(d)
                line = darker(colour) if outline > 0 else colour
                cr = colour[0] * inner + line[0] * (1 - inner)
                cg = colour[1] * inner + line[1] * (1 - inner)
                cb = colour[2] * inner + line[2] * (1 - inner)
                # "over" with straight alpha
                na = cover + a * (1 - cover)
                if na > 0:
                    r = (cr * cover + r * a * (1 - cover)) / na
                    g = (cg * cover + g * a * (1 - cover)) / na
                    b = (cb * cover + b * a * (1 - cover)) / na
                a = na
            i = (y * SIZE + x) * 4
            pixels[i:i + 4] = bytes((int(r + 0.5), int(g + 0.5), int(b + 0.5), int(a * 255 + 0.5)))
    return pixels


def rows(pixels):
    return (pixels[y * SIZE * 4:(y + 1) * SIZE * 4] for y in range(SIZE))


# ---------------------------------------------------------------------------------------------------------------
# The pictures.

C = SIZE / 2


def balloon(colour):
    return [(segment(C, 118, C + 6, 152, 2), (90, 90, 90)),
            (polygon([(C - 6, 124), (C + 6, 124), (C, 114)]), colour),
            (ellipse(C, 66, 40, 50), colour),
            (ellipse(C - 14, 46, 7, 12), tuple(min(255, c + 90) for c in colour))]


def gift(box_colour, ribbon):
    return [(box(C, 100, 52, 40, 4), box_colour), (box(C, 58, 58, 12, 3), box_colour),
            (box(C, 92, 8, 48), ribbon), (ellipse(C - 18, 40, 18, 10), ribbon), (ellipse(C + 18, 40, 18, 10), ribbon),
            (circle(C, 42, 8), ribbon)]


def party_hat(colour, dots):
    return [(polygon([(C, 18), (C + 44, 140), (C - 44, 140)]), colour)] + \
           [(circle(C + dx, dy, 6), dots) for dx, dy in ((-8, 70), (12, 100), (-20, 120), (4, 50))] + \
           [(circle(C, 18, 12), dots)]


def candle(colour):
    return [(box(C, 104, 16, 44, 3), colour), (segment(C, 56, C, 46, 3), (60, 60, 60)),
            (ellipse(C, 34, 10, 16), (255, 190, 40)), (ellipse(C, 38, 5, 9), (255, 240, 160))]


def confetti():
    colours = [hex_colour(h) for h in ("#e94f64", "#f7b32b", "#3fa7d6", "#59cd90", "#8e6fd8")]
    layers = []
    for i in range(14):
        a = i * 2.399963
        r = 18 + (i * 37 % 50)
        x, y = C + r * math.cos(a), C + r * math.sin(a)
        shape = rotated(box(0, 0, 9, 4, 1), x, y, a * 1.7) if i % 2 else circle(x, y, 6)
        layers.append((shape, colours[i % len(colours)]))
    return layers


def bunting():
    colours = [hex_colour(h) for h in ("#e94f64", "#f7b32b", "#3fa7d6", "#59cd90")]
    layers = [(segment(8, 40, 152, 40, 3), (110, 80, 60))]
    for i in range(4):
        x = 24 + i * 37
        layers.append((polygon([(x - 16, 42), (x + 16, 42), (x, 96 + (i % 2) * 14)]), colours[i]))
    return layers


def flower(petal_colour, centre_colour, count):
    return [(segment(C, 90, C, 156, 6), (70, 150, 60)),
            (rotated(ellipse(0, 0, 16, 7), C + 16, 128, -0.5), (90, 170, 70)),
            (petals(C, 70, count, 56, 24), petal_colour), (circle(C, 70, 14), centre_colour)]


def leaf(colour, angle):
    blade = rotated(ellipse(0, 0, 56, 26), C, C, angle)
    return [(blade, colour), (rotated(segment(-60, 0, 50, 0, 3), C, C, angle), darker(colour, 0.8))]


def sun():
    rays = [(rotated(polygon([(34, -8), (64, 0), (34, 8)]), C, C, i * math.pi / 6), (250, 170, 30)) for i in range(12)]
    return rays + [(circle(C, C, 32), (255, 205, 50))]


def moon():
    return [(subtract(circle(C, C, 54), circle(C + 30, C - 14, 46)), (245, 225, 120)),
            (star(C + 34, 52, 12, 5), (255, 240, 170))]


def cloud(colour=(236, 244, 252)):
    return [(union(circle(C - 32, 96, 26), circle(C, 78, 36), circle(C + 34, 94, 28), box(C, 108, 56, 14, 12)),
             colour)]


def raindrop():
    return [(union(circle(C, 100, 38), polygon([(C, 20), (C + 33, 82), (C - 33, 82)])), (80, 160, 230)),
            (ellipse(C - 14, 96, 6, 12), (200, 230, 255))]


def tree():
    green = (60, 150, 80)
    return [(box(C, 136, 10, 18, 2), (130, 90, 50)),
            (polygon([(C, 60), (C + 52, 126), (C - 52, 126)]), green),
            (polygon([(C, 36), (C + 42, 92), (C - 42, 92)]), green),
            (polygon([(C, 14), (C + 30, 58), (C - 30, 58)]), green)]


def mushroom():
    return [(box(C, 112, 16, 32, 8), (245, 236, 215)),
            (subtract(ellipse(C, 80, 62, 50), box(C, 120, 80, 40)), (215, 50, 50)),
            (circle(C - 26, 56, 8), (255, 255, 255)), (circle(C + 18, 46, 7), (255, 255, 255)),
            (circle(C + 36, 68, 6), (255, 255, 255))]


def hearts_pair():
    return [(heart(C - 18, 70, 40), (235, 90, 120)), (heart(C + 22, 96, 36), (250, 160, 180))]


def check_mark():
    return [(circle(C, C, 62), (80, 180, 100)),
            (union(segment(48, 84, 70, 108, 14), segment(70, 108, 114, 56, 14)), (255, 255, 255))]


def arrow(colour, angle):
    shape = union(box(-14, 0, 36, 12), polygon([(16, -34), (60, 0), (16, 34)]))
    return [(rotated(shape, C, C, angle), colour)]


def badge(colour):
    return [(polygon([(C - 30, 96), (C - 46, 152), (C - 20, 138), (C - 8, 156), (C, 100)]), (220, 60, 70)),
            (polygon([(C + 30, 96), (C + 46, 152), (C + 20, 138), (C + 8, 156), (C, 100)]), (220, 60, 70)),
            (star(C, 66, 58, 46, 16), colour), (circle(C, 66, 34), tuple(min(255, c + 40) for c in colour))]


def speech_bubble():
    return [(union(box(C, 66, 64, 44, 20), polygon([(44, 100), (70, 100), (34, 140)])), (250, 250, 250)),
            (circle(C - 26, 66, 7), (120, 120, 120)), (circle(C, 66, 7), (120, 120, 120)),
            (circle(C + 26, 66, 7), (120, 120, 120))]


def music_notes():
    ink = (50, 50, 80)
    return [(rotated(ellipse(0, 0, 16, 11), 52, 124, -0.4), ink), (rotated(ellipse(0, 0, 16, 11), 116, 108, -0.4), ink),
            (box(66, 78, 3, 46), ink), (box(130, 62, 3, 46), ink),
            (polygon([(63, 30), (133, 14), (133, 32), (63, 48)]), ink)]


def snowflake(colour, turn):
    arms = []
    for i in range(6):
        a = turn + i * math.pi / 3
        ex, ey = C + 64 * math.cos(a), C + 64 * math.sin(a)
        arms.append(segment(C, C, ex, ey, 7))
        for f in (0.5, 0.75):
            bx, by = C + 64 * f * math.cos(a), C + 64 * f * math.sin(a)
            for side in (-1, 1):
                b = a + side * math.pi / 4
                arms.append(segment(bx, by, bx + 18 * math.cos(b), by + 18 * math.sin(b), 5))
    return [(union(*arms), colour)]


def snowman():
    white = (248, 250, 255)
    return [(circle(C, 118, 36), white), (circle(C, 62, 26), white),
            (box(C, 32, 22, 4), (40, 40, 40)), (box(C, 20, 14, 12, 2), (40, 40, 40)),
            (polygon([(C, 62), (C + 26, 67), (C, 71)]), (245, 130, 40)),
            (circle(C - 9, 54, 3), (30, 30, 30)), (circle(C + 9, 54, 3), (30, 30, 30)),
            (circle(C, 104, 4), (30, 30, 30)), (circle(C, 124, 4), (30, 30, 30))]


def umbrella():
    canopy = subtract(circle(C, 80, 64), box(C, 120, 80, 40))
    return [(segment(C, 80, C, 140, 5), (90, 70, 60)),
            (subtract(circle(C - 10, 140, 12), circle(C - 10, 140, 6)), (90, 70, 60)),
            (canopy, (70, 120, 220)), (subtract(circle(C, 80, 64), union(box(C, 120, 80, 40),
                                                                          box(C - 40, 60, 20, 50),
                                                                          box(C + 40, 60, 20, 50))), (240, 90, 90))]


def pumpkin():
    orange = (245, 140, 40)
    return [(box(C, 32, 6, 14, 2), (100, 140, 60)),
            (ellipse(C - 30, 92, 34, 48), orange), (ellipse(C + 30, 92, 34, 48), orange),
            (ellipse(C, 92, 34, 52), (250, 160, 60))]


def tulip(colour):
    return [(segment(C, 80, C, 156, 6), (70, 150, 60)),
            (rotated(ellipse(0, 0, 30, 10), C - 20, 130, 1.0), (90, 170, 70)),
            (union(ellipse(C, 64, 30, 36), polygon([(C - 30, 50), (C - 18, 20), (C - 6, 44), (C, 18), (C + 6, 44),
                                                   (C + 18, 20), (C + 30, 50)])), colour)]


def beach_ball():
    colours = [(235, 70, 70), (250, 250, 250), (60, 130, 230), (250, 250, 250), (250, 200, 40), (250, 250, 250)]
    layers = [(circle(C, C, 62), (250, 250, 250))]
    for i, colour in enumerate(colours):
        a0, a1 = i * math.pi / 3, (i + 1) * math.pi / 3
        wedge = polygon([(C, C), (C + 80 * math.cos(a0), C + 80 * math.sin(a0)),
                         (C + 80 * math.cos(a1), C + 80 * math.sin(a1))])
        layers.append((lambda x, y, w=wedge: max(w(x, y), circle(C, C, 62)(x, y)), colour))
    layers.append((circle(C, C, 12), (250, 250, 250)))
    return layers


def bolt():
    return [(polygon([(92, 8), (40, 92), (76, 92), (60, 152), (122, 62), (84, 62), (106, 8)]), (255, 210, 40))]


CATEGORIES = {
    "Celebration": {
        "balloon_red": balloon(hex_colour("#e94f64")), "balloon_blue": balloon(hex_colour("#3fa7d6")),
        "balloon_yellow": balloon(hex_colour("#f7c32b")), "gift_green": gift((80, 170, 110), (240, 70, 80)),
        "gift_purple": gift((140, 100, 210), (250, 200, 50)), "party_hat_blue": party_hat((70, 130, 220), (250, 220, 60)),
        "party_hat_pink": party_hat((240, 110, 160), (255, 255, 255)), "candle_pink": candle((240, 150, 180)),
        "candle_blue": candle((120, 170, 240)), "confetti": confetti(), "bunting": bunting(),
    },
    "Nature": {
        "daisy": flower((255, 255, 255), (250, 200, 40), 12), "flower_pink": flower((245, 140, 180), (250, 230, 90), 6),
        "flower_violet": flower((160, 110, 220), (255, 220, 80), 8), "leaf_green": leaf((100, 180, 70), -0.6),
        "leaf_autumn": leaf((225, 120, 40), 0.5), "sun": sun(), "moon": moon(), "cloud": cloud(),
        "raindrop": raindrop(), "tree": tree(), "mushroom": mushroom(),
    },
    "Symbols": {
        "heart": [(heart(C, 84, 62), (230, 60, 90))], "hearts": hearts_pair(),
        "star_gold": [(star(C, 86, 70, 28), (250, 200, 40))], "star_blue": [(star(C, C, 68, 34, 6), (80, 150, 240))],
        "check_mark": check_mark(), "arrow_right": arrow((60, 160, 220), 0.0), "arrow_up": arrow((240, 120, 60), -math.pi / 2),
        "badge_gold": badge((240, 190, 50)), "badge_silver": badge((180, 185, 195)), "speech_bubble": speech_bubble(),
        "music_notes": music_notes(),
    },
    "Seasons": {
        "snowflake_blue": snowflake((120, 180, 240), 0.0), "snowflake_white": snowflake((240, 248, 255), math.pi / 6),
        "snowman": snowman(), "umbrella": umbrella(), "pumpkin": pumpkin(), "tulip_red": tulip((230, 60, 70)),
        "tulip_yellow": tulip((250, 200, 50)), "beach_ball": beach_ball(), "bolt": bolt(),
        "storm_cloud": cloud((150, 160, 180)) + [(polygon([(86, 100), (70, 140), (84, 140), (76, 160), (100, 126),
                                                            (88, 126), (98, 100)]), (255, 210, 40))],
        "sun_cloud": sun() + cloud(),
    },
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    resources = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources")
    for category, pictures in CATEGORIES.items():
        folder = os.path.join(resources, "Clipart", category)
        os.makedirs(folder, exist_ok=True)
        for name, layers in pictures.items():
            write_png(os.path.join(folder, name + ".png"), SIZE, SIZE, RGBA, rows(paint(layers)))


if __name__ == "__main__":
    main()
