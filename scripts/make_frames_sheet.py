#!/usr/bin/env python3
"""Draws a contact sheet of every picture frame and photo mask over a test photo, to check them by eye.

Usage: make_frames_sheet.py OUTPUT.png [resources folder] [test photo]
(defaults: ../resources beside this script, and its Original.png as the photo)

Needs ImageMagick (convert, montage, identify); the generators themselves do not. Each tile shows what the
application draws:
  - a single-image frame: the photo filling the frame picture's size, clipped to the grey mask beside it
    (<name>.jpg, stretched) or to the rectangle inside the margins (<name>.frm), the frame picture over it;
    a JPNG frame is first split into its JPEG colour and PNG opacity streams (checking the footer);
  - an expandable frame: a 400 x 300 photo at zoom 2.5 with the eight pieces of Material/ laid around it:
    corners width x scale x zoom square at the corners of the photo's rectangle grown by the expansion, edges
    between them overlapping each corner by one unit, every rectangle rounded to whole pixels;
  - a mask: the photo clipped to the mask stretched over it.
The page behind is a light warm grey, so that transparent parts of a frame show as such.
"""
import glob
import os
import plistlib
import re
import struct
import subprocess
import sys
import tempfile

PAGE = "#d9d4c8"


def run(*args):
    subprocess.run(args, check=True)


def pixel_size(path):
    return tuple(int(v) for v in subprocess.check_output(["identify", "-format", "%w %h", path]).split())


def photo(source, width, height, out):
    run("convert", source, "-resize", "%dx%d^" % (width, height), "-gravity", "center", "-extent",
        "%dx%d" % (width, height), out)


def split_jpng(path, work):
    """Checks a JPNG file's footer and writes its picture with transparency as a PNG; returns that path."""
    data = open(path, "rb").read()
    jpeg_length, png_length, footer, major, _minor, tag = struct.unpack("<IIHBBI", data[-16:])
    if tag != 0x4A504E47 or footer != 16 or major != 1 or jpeg_length + png_length + 16 != len(data):
        raise SystemExit("%s: not a JPNG file this application reads" % path)
    colour, opacity = os.path.join(work, "colour.jpg"), os.path.join(work, "opacity.png")
    open(colour, "wb").write(data[:jpeg_length])
    open(opacity, "wb").write(data[jpeg_length:jpeg_length + png_length])
    out = os.path.join(work, os.path.basename(path) + ".png")
    run("convert", colour, opacity, "-alpha", "off", "-compose", "CopyOpacity", "-composite", out)
    return out


def single_image_tile(frame, source, work, index):
    base, ext = os.path.splitext(frame)
    picture = split_jpng(frame, work) if ext.lower() == ".jpng" else frame
    width, height = pixel_size(picture)
    clip = os.path.join(work, "clip.png")
    if os.path.exists(base + ".jpg"):
        run("convert", base + ".jpg", "-resize", "%dx%d!" % (width, height), clip)
        kind = "mask"
    elif os.path.exists(base + ".frm"):
        margins = {k: int(v) for k, v in re.findall(r'(Margin\w+)="(-?\d+)"', open(base + ".frm").read())}
        left, right = margins.get("MarginLeft", 0), margins.get("MarginRight", 0)
        top, bottom = margins.get("MarginTop", 0), margins.get("MarginBottom", 0)
        run("convert", "-size", "%dx%d" % (width, height), "xc:black", "-fill", "white", "-draw",
            "rectangle %d,%d %d,%d" % (left, top, width - right - 1, height - bottom - 1), clip)
        kind = "margins L%d R%d T%d B%d" % (left, right, top, bottom)
    else:
        run("convert", "-size", "%dx%d" % (width, height), "xc:white", clip)
        kind = "no mask, no margins"
    shot = os.path.join(work, "photo.png")
    photo(source, width, height, shot)
    out = os.path.join(work, "tile%02d.png" % index)
    run("convert", "-size", "%dx%d" % (width, height), "xc:" + PAGE,
        "(", shot, clip, "-alpha", "off", "-compose", "CopyOpacity", "-composite", ")", "-compose", "over",
        "-composite", picture, "-compose", "over", "-composite", out)
    return out, "%s (%s)" % (os.path.relpath(frame, os.path.dirname(os.path.dirname(frame))), kind)


def expandable_tile(description, source, work, index, zoom=2.5, scale=1.0):
    folder = os.path.dirname(description)
    info = plistlib.load(open(description, "rb"))
    w, h = 400, 300
    c = info["width"] * scale * zoom
    e = info["expansion"] * scale * zoom
    pad = int(e) + 20
    cw, ch = w + 2 * pad, h + 2 * pad
    ox, oy, ow, oh = pad - e, pad - e, w + 2 * e, h + 2 * e  # y grows upward from the bottom edge

    def rnd(x, y, rw, rh):
        return tuple(int(round(v)) for v in (x, y, rw, rh))
    lb, lt = rnd(ox, oy, c, c), rnd(ox, oy + oh - c, c, c)
    rt, rb = rnd(ox + ow - c, oy + oh - c, c, c), rnd(ox + ow - c, oy, c, c)
    left = rnd(lb[0], lb[1] + lb[3] - 1, lb[2], lt[1] - (lb[1] + lb[3]) + 2)
    top = rnd(lt[0] + lt[2] - 1, lt[1], rt[0] - (lt[0] + lt[2]) + 2, lt[3])
    right = rnd(rb[0], rb[1] + rb[3] - 1, rb[2], rt[1] - (rb[1] + rb[3]) + 2)
    bottom = rnd(lb[0] + lb[2] - 1, oy, rb[0] - (lb[0] + lb[2]) + 2, lb[3])
    shot = os.path.join(work, "photo.png")
    photo(source, w, h, shot)
    args = ["convert", "-size", "%dx%d" % (cw, ch), "xc:" + PAGE, shot, "-geometry", "+%d+%d" % (pad, pad),
            "-composite"]
    for piece, (x, y, pw, ph) in [("lb", lb), ("lt", lt), ("rt", rt), ("rb", rb), ("left", left), ("top", top),
                                  ("right", right), ("bottom", bottom)]:
        args += ["-draw", "image over %d,%d %d,%d '%s'" % (x, ch - (y + ph), pw, ph,
                                                           os.path.join(folder, "Material", piece + ".png"))]
    out = os.path.join(work, "tile%02d.png" % index)
    run(*args, out)
    return out, "%s: expandable, %s, width %g, expansion %g" % (os.path.basename(folder), info["type"],
                                                                 info["width"], info["expansion"])


def mask_tile(mask, source, work, index):
    shot = os.path.join(work, "photo.png")
    photo(source, 400, 300, shot)
    out = os.path.join(work, "tile%02d.png" % index)
    run("convert", "-size", "400x300", "xc:" + PAGE, "(", shot, "(", mask, "-resize", "400x300!", ")", "-alpha",
        "off", "-compose", "CopyOpacity", "-composite", ")", "-compose", "over", "-composite", out)
    return out, os.path.relpath(mask, os.path.dirname(os.path.dirname(os.path.dirname(mask))))


def main():
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1]
    resources = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "resources")
    source = sys.argv[3] if len(sys.argv) > 3 else os.path.join(resources, "Original.png")
    tiles = []
    with tempfile.TemporaryDirectory() as work:
        frames = sorted(glob.glob(os.path.join(resources, "Frame", "*", "*.png")) +
                        glob.glob(os.path.join(resources, "Frame", "*", "*.jpng")))
        for frame in frames:
            tiles.append(single_image_tile(frame, source, work, len(tiles)))
        for description in sorted(glob.glob(os.path.join(resources, "Frame", "*", "*.xml"))):
            tiles.append(expandable_tile(description, source, work, len(tiles)))
        for mask in sorted(glob.glob(os.path.join(resources, "Mask", "*", "*.jpg"))):
            tiles.append(mask_tile(mask, source, work, len(tiles)))
        args = ["montage"]
        for path, label in tiles:
            args += ["-label", label, path]
        run(*args, "-tile", "5x", "-geometry", "320x260+6+6", "-pointsize", "11", "-background", "#777777", output)


if __name__ == "__main__":
    main()
