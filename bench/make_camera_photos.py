#!/usr/bin/python3
"""Writes JPEG files that decode like camera photos, for the benchmarks.

A flat or merely gradient picture compresses to little and decodes several times faster than a photo: the
decoder's cost follows the number of non-zero coefficients. These pictures have what camera photos have at
every scale: a lit scene (sky and ground gradients with a horizon), shapes with hard edges, texture at
several octaves (foliage, grass, fabric) and sensor noise, with colours correlated like real light. Encoded
at quality 92 with 4:2:0 chroma, as cameras write them.

Usage: make_camera_photos.py OUTPUT_FOLDER COUNT WIDTH HEIGHT
Writes OUTPUT_FOLDER/camera_00.jpg ... and OUTPUT_FOLDER/stamp once all are written.
"""
import os
import sys

import numpy as np
from PIL import Image, ImageDraw


def octave_noise(rng, width, height, cell):
    """Smooth noise of about one feature per `cell` pixels, in [-1, 1]."""
    small = rng.standard_normal((max(2, height // cell + 2), max(2, width // cell + 2))).astype(np.float32)
    img = Image.fromarray(small, mode="F").resize((width, height), Image.BICUBIC)
    a = np.asarray(img, dtype=np.float32)
    return a / (np.abs(a).max() + 1e-6)


def camera_photo(seed, width, height):
    rng = np.random.default_rng(seed)
    y = np.linspace(0.0, 1.0, height, dtype=np.float32)[:, None]
    x = np.linspace(0.0, 1.0, width, dtype=np.float32)[None, :]
    horizon = 0.35 + 0.2 * rng.random() + 0.05 * octave_noise(rng, width, 1, 400)[0][None, :]

    sky_top = rng.uniform([40, 90, 170], [110, 150, 230])
    sky_low = rng.uniform([170, 190, 210], [230, 230, 250])
    ground_a = rng.uniform([40, 60, 20], [110, 130, 60])
    ground_b = rng.uniform([90, 80, 40], [160, 140, 90])

    t_sky = np.clip(y / horizon, 0, 1)[..., None]
    sky = sky_top * (1 - t_sky) + sky_low * t_sky
    sky = sky + 18 * octave_noise(rng, width, height, 300)[..., None]  # clouds

    # Ground: two materials mixed by low-frequency noise, textured at several octaves.
    mix = np.clip(0.5 + 0.8 * octave_noise(rng, width, height, 250), 0, 1)[..., None]
    ground = ground_a * mix + ground_b * (1 - mix)
    texture = (0.45 * octave_noise(rng, width, height, 60) + 0.3 * octave_noise(rng, width, height, 14) +
               0.25 * octave_noise(rng, width, height, 4))
    ground = ground * (1 + 0.35 * texture[..., None])
    shade = 0.75 + 0.35 * (y - horizon) / (1 - horizon + 1e-6)  # nearer ground brighter
    ground = ground * np.clip(shade, 0.5, 1.2)[..., None]

    below = (y > horizon)[..., None]
    picture = np.where(below, ground, sky).astype(np.float32)

    # Objects with hard edges and their own texture (buildings, trees, people).
    img = Image.fromarray(np.clip(picture, 0, 255).astype(np.uint8), mode="RGB")
    draw = ImageDraw.Draw(img)
    for _ in range(int(rng.integers(25, 45))):
        cx, cy = rng.random() * width, (0.3 + 0.7 * rng.random()) * height
        w, h = rng.uniform(0.02, 0.15) * width, rng.uniform(0.03, 0.25) * height
        colour = tuple(int(c) for c in rng.uniform(20, 235, 3))
        if rng.random() < 0.5:
            draw.rectangle([cx - w / 2, cy - h, cx + w / 2, cy], fill=colour)
        else:
            draw.ellipse([cx - w / 2, cy - h, cx + w / 2, cy], fill=colour)
    picture = np.asarray(img, dtype=np.float32)
    picture = picture * (1 + 0.12 * octave_noise(rng, width, height, 8)[..., None])

    # Vignetting and sensor noise (luminance and some chroma).
    r2 = (x - 0.5) ** 2 + (y - 0.5) ** 2
    picture = picture * (1 - 0.35 * r2)[..., None]
    luma_noise = rng.normal(0, 3.0, (height, width, 1)).astype(np.float32)
    chroma_noise = rng.normal(0, 1.5, (height, width, 3)).astype(np.float32)
    picture = picture + luma_noise + chroma_noise
    return Image.fromarray(np.clip(picture, 0, 255).astype(np.uint8), mode="RGB")


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    folder, count, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
    os.makedirs(folder, exist_ok=True)
    for i in range(count):
        path = os.path.join(folder, "camera_%02d.jpg" % i)
        camera_photo(1000 + i, width, height).save(path, "JPEG", quality=92, subsampling="4:2:0")
    with open(os.path.join(folder, "stamp"), "w") as stamp:
        stamp.write("%d %d %d\n" % (count, width, height))


if __name__ == "__main__":
    main()
