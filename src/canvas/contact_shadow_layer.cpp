#include "canvas/contact_shadow_layer.h"

#include "canvas/graph_layer.h"
#include "graphics/geometry_utilities.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/gfx/filters.h"
#include "platform/layers/layer_transaction.h"
#include "platform/layers/screen_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::uint8_t clampByte(double value) {
    return std::uint8_t(std::clamp(std::lround(value), 0L, 255L));
}

}  // namespace

KXContactShadowLayer::KXContactShadowLayer() {
    if (kx::mainScreenBackingScaleFactor() != 1.0)
        setContentsScale(2.0);
}

KXContactShadowLayer::KXContactShadowLayer(std::shared_ptr<KXGraph> graph) : KXContactShadowLayer() {
    m_graph = std::move(graph);
    updateFrame();
    updateContactShadowContents();
}

void KXContactShadowLayer::setFrame(const kx::Rect& frame) {
    kx::LayerTransaction transaction;
    kx::Layer::setFrame(frame);
}

void KXContactShadowLayer::setContents(const kx::Image& contents) {
    kx::LayerTransaction transaction;
    kx::Layer::setContents(contents);
}

KXGraphLayer* KXContactShadowLayer::graphLayer() const {
    KXGraphRender* render = m_graph ? m_graph->render() : nullptr;
    return render ? dynamic_cast<KXGraphLayer*>(render->graphLayer()) : nullptr;
}

kx::Rect KXContactShadowLayer::roundedGraphRect() const {
    if (!m_graph)
        return {};
    kx::Rect r = m_graph->graphRect();
    if (const KXGraph* group = m_graph->group()) {
        const kx::Point origin = group->frameRect().origin;
        r = r.offsetBy(-origin.x, -origin.y);
    }
    return {std::round(r.origin.x), std::round(r.origin.y), std::round(r.size.width), std::round(r.size.height)};
}

void KXContactShadowLayer::updateFrame() {
    if (!m_graph)
        return;
    const kx::Rect r = roundedGraphRect();
    const kx::Rect b = transformRectAboutCenter(r.center(), m_graph->angle(), 1, 1, r);
    setFrame({b.origin.x - kSideMargin, b.origin.y - kBandHeight - kDrop, b.size.width + 2 * kSideMargin,
              double(kBandHeight)});
}

std::vector<int> KXContactShadowLayer::columnGaps(const kx::Image& silhouette) {
    const QImage& image = silhouette.qimage();
    const int w = image.width();
    const int h = image.height();
    std::vector<int> gaps(std::size_t(std::max(w, 0)), kEmptyColumn);
    if (image.isNull() || image.format() != QImage::Format_Alpha8)
        return gaps;
    for (int x = 0; x < w; ++x) {
        for (int count = 0; count < h; ++count) {
            if (image.constScanLine(h - 1 - count)[x] != 0) {
                gaps[std::size_t(x)] = count;
                break;
            }
        }
    }
    return gaps;
}

kx::Image KXContactShadowLayer::bandImage(const std::vector<int>& gaps, int width, int height) {
    kx::BitmapContext band(width, height);
    if (!band.isValid())
        return {};
    const int w = int(gaps.size());
    const int mid = height / 2;
    uchar* data = band.data();
    const int stride = band.bytesPerRow();
    auto put = [&](int row, int column, std::uint8_t grey, std::uint8_t alpha) {
        if (row < 0 || row >= height)
            return;
        uchar* p = data + std::ptrdiff_t(row) * stride + std::ptrdiff_t(column) * 4;
        // Premultiplied: no component above the coverage.
        const std::uint8_t g = std::min(grey, alpha);
        p[0] = p[1] = p[2] = g;
        p[3] = alpha;
    };
    for (int i = 0; i < width; ++i) {
        const int x = i - kSideMargin;
        double a = 0;
        double g = 0;
        if (i >= kSideMargin && x < w && gaps[std::size_t(x)] <= kReach) {
            const double gap = gaps[std::size_t(x)];
            a = std::round(255 * (1 - gap / kReach));
            g = std::round(255 * gap / kReach);
        }
        const std::uint8_t alpha = clampByte(a);
        const bool endColumn = i < 15 || x > w - 11;
        if (!endColumn) {
            for (int row = mid - 2; row <= mid + 2; ++row)
                put(row, i, clampByte(g), alpha);
            continue;
        }
        const int k = i <= 14 ? x : w - 1 - x;
        for (int row = mid - 1; row <= mid + 1; ++row) {
            if (std::abs(row - mid) > k)
                continue;
            // Each row's grey follows from the one above it; kept within a byte rather than wrapped.
            g = std::clamp(std::round((128 - g) * (1 - k / 10.0)), 0.0, 255.0);
            put(row, i, clampByte(g), alpha);
        }
    }
    return band.makeImage();
}

void KXContactShadowLayer::updateContactShadowContents() {
    updateFrame();
    KXGraphLayer* layer = graphLayer();
    if (!m_graph || !layer)
        return;
    const kx::Rect r = roundedGraphRect();
    const kx::Size lf = layer->frame().size;
    const int W = int(lf.width);
    const int H = int(lf.height);
    const int W2 = int(bounds().size.width);
    const int H2 = int(bounds().size.height);

    std::vector<int> gaps;
    if (W > 0 && H > 0) {
        kx::BitmapContext silhouette(W, H, kx::BitmapContext::Kind::AlphaOnly);
        if (silhouette.isValid()) {
            silhouette.translate(W / 2.0, H / 2.0);
            silhouette.rotate(m_graph->angle());
            silhouette.translate(-W / 2.0, -H / 2.0);
            silhouette.translate((lf.width - r.size.width) / 2, (lf.height - r.size.height) / 2);
            layer->renderInContext(silhouette);
            gaps = columnGaps(silhouette.makeImage());
        }
    }
    // A silhouette of no size paints nothing: every column counts as empty.
    if (gaps.empty())
        gaps.assign(std::size_t(std::max(W, 0)), kEmptyColumn);

    if (W2 <= 0 || H2 <= 0 || double(W2) * H2 > double(kx::Image::maximumPixelCount)) {
        std::fputs("Memory not allocated!\n", stderr);
        return;
    }
    const kx::Image band = bandImage(gaps, W2, H2);
    if (band.isNull()) {
        std::fputs("Context not created!\n", stderr);
        return;
    }
    setContents(band);
    const kx::FilterPtr blur = kx::Filter::filterWithName(QStringLiteral("CIGaussianBlur"));
    if (!blur)
        return;
    blur->setInputValue(QStringLiteral("inputRadius"), kx::Value(3.0));
    const kx::FilterImage blurred = blur->apply(kx::FilterImage(band));
    kx::BitmapContext result(W2, H2);
    if (!result.isValid() || blurred.isNull()) {
        std::fputs("Context not created!\n", stderr);
        return;
    }
    // Placed where the blur put it, so the band stays centred and spreads into its margins.
    result.drawImage(kx::Rect(blurred.origin, kx::Size(blurred.image.width(), blurred.image.height())),
                     blurred.image);
    setContents(result.makeImage());
}
