#!/usr/bin/env python3
"""Writes the images of the shared controls into resources/:

- SeqLeft, SeqCenter, SeqRight (and their "_down" forms for a selected segment): the backgrounds of a
  segmented control's first, middle and last segments, 24 pixels high. The control keeps the left and right
  five columns at their size and stretches the middle column, so the rounded ends of the first and last
  segment stay round at any width. Unselected segments are slate grey, selected ones blue; both carry white
  labels.
- SegmentDivider: the 2-pixel line between two segments: a dark groove with a light edge.
- ClickArrow: the small arrow a pop-pane button shows in its corner while the pointer is over it: a white
  downward triangle on a dark disc.
- ColorPane: the picture on a colour well's square button, which opens the colour dialog: a small colour
  wheel (hue around the centre, white at the centre) in a thin dark ring.
- Stroke1 to Stroke4: the stroke menu's pictures of the four line styles (solid, dashes one, two and three
  line widths long with gaps as long), a dark line 3 pixels thick.

All are 8-bit RGBA PNGs drawn here with 4 x 4 supersampling for smooth edges.
"""
import os
import sys

from png_writer import RGBA, write_png

SEGMENT_WIDTH, SEGMENT_HEIGHT = 11, 24
CORNER_RADIUS = 4.5
SUPERSAMPLE = 4

# Top and bottom colours of the body, and the border colour.
LOOKS = {
    "": ((128, 134, 142), (86, 91, 98), (58, 62, 68)),
    "_down": ((101, 155, 223), (62, 108, 172), (40, 74, 124)),
}


def inside_rounded(x, y, width, height, radius, round_left, round_right):
    """Whether the point lies inside the rectangle whose chosen sides have rounded corners."""
    if not (0 <= x <= width and 0 <= y <= height):
        return False
    cx = None
    if round_left and x < radius:
        cx = radius
    elif round_right and x > width - radius:
        cx = width - radius
    if cx is None:
        return True
    cy = radius if y < radius else (height - radius if y > height - radius else None)
    if cy is None:
        return True
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def coverage(px, py, test):
    """The fraction of pixel (px, py) for which test(x, y) holds."""
    hits = 0
    for sy in range(SUPERSAMPLE):
        for sx in range(SUPERSAMPLE):
            if test(px + (sx + 0.5) / SUPERSAMPLE, py + (sy + 0.5) / SUPERSAMPLE):
                hits += 1
    return hits / SUPERSAMPLE ** 2


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def segment_rows(round_left, round_right, look):
    top, bottom, border = look
    w, h = SEGMENT_WIDTH, SEGMENT_HEIGHT

    def outer(x, y):
        return inside_rounded(x, y, w, h, CORNER_RADIUS, round_left, round_right)

    def inner(x, y):
        # The body inside a 1-pixel border; a middle segment has no border on its open sides.
        left = 1 if round_left else 0
        right = 1 if round_right else 0
        return inside_rounded(x - left, y - 1, w - left - right, h - 2, CORNER_RADIUS - 1, round_left, round_right)

    for y in range(h):
        body = mix(top, bottom, y / (h - 1))
        row = bytearray()
        for x in range(w):
            a_outer = coverage(x, y, outer)
            a_inner = coverage(x, y, inner)
            colour = mix(border, body, a_inner / a_outer) if a_outer > 0 else border
            row += bytes(colour) + bytes([round(255 * a_outer)])
        yield row


def divider_rows():
    for _ in range(SEGMENT_HEIGHT):
        yield bytes([40, 44, 50, 210, 255, 255, 255, 70])


ARROW_SIZE = 11


def click_arrow_rows():
    r = ARROW_SIZE / 2

    def disc(x, y):
        return (x - r) ** 2 + (y - r) ** 2 <= r ** 2

    def triangle(x, y):
        # A downward triangle: base from (3, 4) to (8, 4), tip at (5.5, 7.5).
        if y < 4 or y > 7.5:
            return False
        half = 2.5 * (7.5 - y) / 3.5
        return abs(x - 5.5) <= half

    for y in range(ARROW_SIZE):
        row = bytearray()
        for x in range(ARROW_SIZE):
            a_disc = coverage(x, y, disc)
            a_tri = coverage(x, y, triangle)
            colour = mix((50, 50, 50), (255, 255, 255), a_tri)
            row += bytes(colour) + bytes([round(255 * max(a_disc * 0.85, a_tri))])
        yield row


COLOR_PANE_SIZE = 12


def hue_colour(angle):
    """The fully saturated colour of a hue angle in turns (0 red, 1/3 green, 2/3 blue)."""
    h = (angle % 1.0) * 6
    x = 1 - abs(h % 2 - 1)
    r, g, b = [(1, x, 0), (x, 1, 0), (0, 1, x), (0, x, 1), (x, 0, 1), (1, 0, x)][int(h) % 6]
    return r * 255, g * 255, b * 255


def color_pane_rows():
    import math
    c = COLOR_PANE_SIZE / 2
    outer = c - 0.5

    def disc(x, y):
        return (x - c) ** 2 + (y - c) ** 2 <= outer ** 2

    def wheel(x, y):
        return (x - c) ** 2 + (y - c) ** 2 <= (outer - 1) ** 2

    for y in range(COLOR_PANE_SIZE):
        row = bytearray()
        for x in range(COLOR_PANE_SIZE):
            a_disc = coverage(x, y, disc)
            a_wheel = coverage(x, y, wheel)
            dx, dy = x + 0.5 - c, c - (y + 0.5)
            hue = hue_colour(math.atan2(dy, dx) / (2 * math.pi))
            saturation = min(1.0, math.hypot(dx, dy) / (outer - 1))
            colour = tuple(255 + (v - 255) * saturation for v in hue)
            ring = (70, 70, 70)
            shown = mix(ring, colour, a_wheel / a_disc) if a_disc > 0 else ring
            row += bytes(shown) + bytes([round(255 * a_disc)])
        yield row


STROKE_WIDTH, STROKE_HEIGHT, STROKE_LINE = 60, 9, 3


def stroke_rows(dash):
    """A line across the image; `dash` is the length of each dash and of each gap (0: solid)."""
    top = (STROKE_HEIGHT - STROKE_LINE) // 2
    for y in range(STROKE_HEIGHT):
        row = bytearray()
        for x in range(STROKE_WIDTH):
            on = top <= y < top + STROKE_LINE and (dash == 0 or (x // dash) % 2 == 0)
            row += bytes([40, 40, 40, 255 if on else 0])
        yield row


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources")
    for suffix, look in LOOKS.items():
        for name, round_left, round_right in (("SeqLeft", True, False), ("SeqCenter", False, False),
                                              ("SeqRight", False, True)):
            write_png(os.path.join(out_dir, name + suffix + ".png"), SEGMENT_WIDTH, SEGMENT_HEIGHT, RGBA,
                      segment_rows(round_left, round_right, look))
    write_png(os.path.join(out_dir, "SegmentDivider.png"), 2, SEGMENT_HEIGHT, RGBA, divider_rows())
    write_png(os.path.join(out_dir, "ClickArrow.png"), ARROW_SIZE, ARROW_SIZE, RGBA, click_arrow_rows())
    write_png(os.path.join(out_dir, "ColorPane.png"), COLOR_PANE_SIZE, COLOR_PANE_SIZE, RGBA, color_pane_rows())
    for number, dash in enumerate((0, STROKE_LINE, 2 * STROKE_LINE, 3 * STROKE_LINE), start=1):
        write_png(os.path.join(out_dir, "Stroke%d.png" % number), STROKE_WIDTH, STROKE_HEIGHT, RGBA,
                  stroke_rows(dash))


if __name__ == "__main__":
    main()
