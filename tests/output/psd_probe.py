# Reads a PSD file with psd-tools and prints what the tests compare, as JSON:
# the document size, every layer (name, opacity, bounds, visibility, probe pixels) and probe pixels of the
# merged image and of psd-tools' own composite of the layers.
# Usage: psd_probe.py FILE '[[x, y], ...]'
import json
import sys

from psd_tools import PSDImage

path, probes = sys.argv[1], json.loads(sys.argv[2])
psd = PSDImage.open(path)


def sample(image, x, y):
    value = image.getpixel((x, y))
    if isinstance(value, int):
        value = (value,)
    return list(value)


merged = psd.topil()
composite = psd.composite(force=True).convert("RGBA")
result = {
    "width": psd.width,
    "height": psd.height,
    "channels": psd.channels,
    "layers": [],
    "merged": [sample(merged.convert("RGB"), x, y) for x, y in probes],
    "composite": [sample(composite, x, y) for x, y in probes],
}
for layer in psd:
    image = layer.topil().convert("RGBA")
    result["layers"].append({
        "name": layer.name,
        "opacity": layer.opacity,
        "bbox": list(layer.bbox),
        "size": list(layer.size),
        "visible": layer.visible,
        "pixels": [sample(image, x - layer.left, y - layer.top) for x, y in probes],
    })
print(json.dumps(result))
