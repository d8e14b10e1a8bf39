#!/usr/bin/env python3
"""Writes the image cursors of the canvas view into resources/, 24 x 24 RGBA PNGs, white shapes with a black
outline so they show on light photos and on the dark workspace alike:

- PenCursor: a pen nib whose tip is the top-left pixel (the cursor's hot spot).
- DragCursor: an arrow pointer with its tip at the top-left pixel and a small handle beside it, shown over a
  shape's own handles.
- RotateCursor: three quarters of a circle ending in an arrow head, centred, shown over the rotate handle.
- tr2bl and tl2br: diagonal double arrows, centred, shown over resize handles whose direction is diagonal
  (top right to bottom left, and top left to bottom right).

Shapes are drawn as polygons and thick strokes with 4 x 4 supersampling; the outline is the shape grown by
one pixel in black, then the shape in white on top.
"""
import math
import os
import sys

from png_writer import RGBA, write_png

SIZE = 24
SUPERSAMPLE = 4


def inside_polygon(x, y, points):
    """Even-odd test of a point against a closed polygon."""
    inside = False
    n = len(points)
    for i in range(n):
        x1, y1 = points[i]
        x2, y2 = points[(i + 1) % n]
        if (y1 > y) != (y2 > y):
            t = (y - y1) / (y2 - y1)
            if x < x1 + t * (x2 - x1):
                inside = not inside
    return inside


def distance_to_segment(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    length = dx * dx + dy * dy
    t = 0.0 if length == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length))
    px, py = ax + t * dx, ay + t * dy
    return math.hypot(x - px, y - py)


def distance_to_polygon_edge(x, y, points):
    n = len(points)
    return min(distance_to_segment(x, y, points[i], points[(i + 1) % n]) for i in range(n))


class Shape:
    """Polygons (filled) and polylines (stroked with a half width) that make one cursor."""

    def __init__(self):
        self.polygons = []
        self.strokes = []  # (points, half width)
        self.discs = []  # (centre, radius)

    def covers(self, x, y, grow):
        for points in self.polygons:
            if inside_polygon(x, y, points) or (grow > 0 and distance_to_polygon_edge(x, y, points) <= grow):
                return True
        for points, half in self.strokes:
            for i in range(len(points) - 1):
                if distance_to_segment(x, y, points[i], points[i + 1]) <= half + grow:
                    return True
        for (cx, cy), radius in self.discs:
            if math.hypot(x - cx, y - cy) <= radius + grow:
                return True
        return False


def render(shape):
    rows = []
    samples = SUPERSAMPLE * SUPERSAMPLE
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            white = black = 0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x = px + (sx + 0.5) / SUPERSAMPLE
                    y = py + (sy + 0.5) / SUPERSAMPLE
                    if shape.covers(x, y, 0):
                        white += 1
                    elif shape.covers(x, y, 1.0):
                        black += 1
            alpha = (white + black) / samples
            grey = 255 * white / (white + black) if white + black else 0
            row += [round(grey), round(grey), round(grey), round(255 * alpha)]
        rows.append(row)
    return rows


def arrow_head(tip, direction, length, half_width):
    """A triangle with its point at `tip`, pointing along `direction` (a unit vector)."""
    dx, dy = direction
    bx, by = tip[0] - dx * length, tip[1] - dy * length
    nx, ny = -dy, dx
    return [tip, (bx + nx * half_width, by + ny * half_width), (bx - nx * half_width, by - ny * half_width)]


def pen_cursor():
    s = Shape()
    # The nib: its point at the top-left pixel, the body along the diagonal to the bottom right.
    s.polygons.append([(1.0, 1.0), (8.5, 4.5), (19.5, 15.5), (15.5, 19.5), (4.5, 8.5)])
    s.strokes.append(([(17.5, 17.5), (21.5, 21.5)], 2.2))
    return s


def drag_cursor():
    s = Shape()
    s.polygons.append([(1.0, 1.0), (1.0, 16.0), (4.8, 12.4), (7.6, 18.5), (10.0, 17.4), (7.3, 11.4), (12.5, 11.4)])
    s.discs.append(((17.5, 17.5), 3.5))
    return s


def rotate_cursor():
    s = Shape()
    c, r = 12.0, 7.0
    start, end = math.radians(-60), math.radians(200)
    arc = [(c + r * math.cos(start + (end - start) * i / 40), c + r * math.sin(start + (end - start) * i / 40))
           for i in range(41)]
    s.strokes.append((arc, 1.2))
    # The head at the arc's end, pointing along the circle.
    ex, ey = arc[-1]
    tangent = (-math.sin(end), math.cos(end))
    s.polygons.append(arrow_head((ex + tangent[0] * 3.5, ey + tangent[1] * 3.5), tangent, 6.5, 4.0))
    return s


def diagonal_cursor(from_point, to_point):
    s = Shape()
    (x1, y1), (x2, y2) = from_point, to_point
    length = math.hypot(x2 - x1, y2 - y1)
    d = ((x2 - x1) / length, (y2 - y1) / length)
    s.strokes.append(([(x1 + d[0] * 4, y1 + d[1] * 4), (x2 - d[0] * 4, y2 - d[1] * 4)], 1.2))
    s.polygons.append(arrow_head(to_point, d, 7.0, 4.0))
    s.polygons.append(arrow_head(from_point, (-d[0], -d[1]), 7.0, 4.0))
    return s


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources")
    cursors = {
        "PenCursor": pen_cursor(),
        "DragCursor": drag_cursor(),
        "RotateCursor": rotate_cursor(),
        # Image rows run from the top: top right is (large x, small y).
        "tr2bl": diagonal_cursor((20.0, 4.0), (4.0, 20.0)),
        "tl2br": diagonal_cursor((4.0, 4.0), (20.0, 20.0)),
    }
    for name, shape in cursors.items():
        write_png(os.path.join(out, name + ".png"), SIZE, SIZE, RGBA, render(shape))


if __name__ == "__main__":
    main()
