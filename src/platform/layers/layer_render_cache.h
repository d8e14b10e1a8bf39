// The picture of a layer drawn as one piece (a layer with a shadow, or a group of parts at an opacity below 1),
// kept with everything it was made from, so that a layer that was only moved is composited again without
// drawing its subtree or blurring its shadow anew.
//
// The picture covers the layer's whole visual extent in device pixels. It stays valid while the subtree looks
// the same (the state of every layer in it that drawing reads, contents by image identity), the transform's
// linear part is the same and the layer moved by whole device pixels: a move by a fraction of a pixel lands
// antialiased edges and resampled images differently, so it makes a new picture.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/color.h"
#include "platform/gfx/image.h"
#include "platform/gfx/path.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kx {

class Layer;

// What drawing reads of one layer of a subtree. The root's placement in its superlayer and its opacity are
// left out: the picture is placed by the transform and composited with the opacity.
struct LayerDrawingState {
    AffineTransform placement;
    Rect bounds;
    double opacity = 1;
    bool hidden = false;
    bool masksToBounds = false;
    Color background;
    bool contentsFromDisplay = false;
    std::int64_t contentsKey = 0;
    Rect contentsArea;
    Color shadowColor;
    double shadowOpacity = 0;
    Size shadowOffset;
    double shadowRadius = 0;
    std::optional<Path> shadowPath;
    std::size_t sublayerCount = 0;

    friend bool operator==(const LayerDrawingState&, const LayerDrawingState&) = default;
};

// The states of a layer and its subtree, depth first.
std::vector<LayerDrawingState> subtreeDrawingState(const Layer& layer);

struct LayerRenderCache {
    LayerRenderCache(std::vector<LayerDrawingState> subtree, const AffineTransform& ctm, const Rect& box,
                     Image picture);
    ~LayerRenderCache();
    LayerRenderCache(const LayerRenderCache&) = delete;
    LayerRenderCache& operator=(const LayerRenderCache&) = delete;

    // Where the picture lies for a layer of this subtree drawn with `ctm`; nothing when it must be made anew.
    std::optional<Rect> placedBox(const std::vector<LayerDrawingState>& subtree, const AffineTransform& ctm) const;

    // Whether a picture of `pixels` device pixels may be kept: one layer's picture is bounded, and so is the
    // memory of all kept pictures together.
    static bool mayKeep(double pixels);
    // Bytes held by all kept pictures.
    static std::int64_t keptBytes();

    std::vector<LayerDrawingState> subtree;
    AffineTransform ctm;
    Rect box;  // device pixels, y up
    Image picture;
};

}  // namespace kx
