#include "platform/layers/layer_render_cache.h"

#include "platform/layers/layer.h"

#include <atomic>
#include <cmath>

namespace kx {

namespace {

// One picture at most this many pixels (a layer larger than that on screen is drawn where it shows), and all
// pictures together at most this many bytes (further layers are then drawn anew each time).
constexpr double kMaxPicturePixels = 4.0 * 1024 * 1024;
constexpr std::int64_t kMaxKeptBytes = std::int64_t(128) * 1024 * 1024;

std::atomic<std::int64_t> g_keptBytes{0};

std::int64_t pictureBytes(const Image& picture) {
    return std::int64_t(picture.qimage().sizeInBytes());
}

std::int64_t imageKey(const Image& image) {
    return image.isNull() ? 0 : image.qimage().cacheKey();
}

// Whether two numbers differ by a whole number, up to the rounding of the sums that placed them.
bool wholeApart(double a, double b) {
    const double d = a - b;
    return std::isfinite(d) && std::fabs(d - std::round(d)) < 1e-7;
}

}  // namespace

void appendDrawingState(const Layer& layer, bool root, std::vector<LayerDrawingState>& states);

void appendDrawingState(const Layer& layer, bool root, std::vector<LayerDrawingState>& states) {
    LayerDrawingState state;
    if (!root) {
        state.placement = layer.transformToSuperlayer();
        state.opacity = layer.m_opacity;
        state.hidden = layer.m_hidden || layer.m_opacity <= 0;
    }
    state.bounds = layer.m_bounds;
    if (!state.hidden) {
        state.masksToBounds = layer.m_masksToBounds;
        state.background = layer.m_backgroundColor;
        state.contentsFromDisplay = layer.m_contentsFromDisplay;
        state.contentsKey = imageKey(layer.m_contentsFromDisplay ? layer.m_paintedContents : layer.m_contents);
        state.contentsArea = layer.m_contentsFromDisplay ? layer.paintedArea() : layer.m_bounds;
        state.shadowColor = layer.m_shadowColor;
        state.shadowOpacity = layer.m_shadowOpacity;
        state.shadowOffset = layer.m_shadowOffset;
        state.shadowRadius = layer.m_shadowRadius;
        state.shadowPath = layer.m_shadowPath;
        state.sublayerCount = layer.m_sublayers.size();
    }
    states.push_back(std::move(state));
    if (states.back().hidden)
        return;
    for (const std::shared_ptr<Layer>& sublayer : layer.m_sublayers)
        appendDrawingState(*sublayer, false, states);
}

std::vector<LayerDrawingState> subtreeDrawingState(const Layer& layer) {
    std::vector<LayerDrawingState> states;
    appendDrawingState(layer, true, states);
    return states;
}

LayerRenderCache::LayerRenderCache(std::vector<LayerDrawingState> s, const AffineTransform& t, const Rect& b,
                                   Image p)
    : subtree(std::move(s)), ctm(t), box(b), picture(std::move(p)) {
    g_keptBytes += pictureBytes(picture);
}

LayerRenderCache::~LayerRenderCache() {
    g_keptBytes -= pictureBytes(picture);
}

std::optional<Rect> LayerRenderCache::placedBox(const std::vector<LayerDrawingState>& s,
                                                const AffineTransform& t) const {
    if (t.a != ctm.a || t.b != ctm.b || t.c != ctm.c || t.d != ctm.d || !wholeApart(t.tx, ctm.tx) ||
        !wholeApart(t.ty, ctm.ty) || s != subtree)
        return std::nullopt;
    return box.offsetBy(std::round(t.tx - ctm.tx), std::round(t.ty - ctm.ty));
}

bool LayerRenderCache::mayKeep(double pixels) {
    return pixels <= kMaxPicturePixels && g_keptBytes.load() + std::int64_t(pixels * 4) <= kMaxKeptBytes;
}

std::int64_t LayerRenderCache::keptBytes() {
    return g_keptBytes.load();
}

}  // namespace kx
