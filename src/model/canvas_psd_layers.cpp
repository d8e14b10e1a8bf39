#include "model/canvas_psd_layers.h"

#include "graphics/geometry_utilities.h"
#include "graphics/image_loading.h"
#include "model/canvas.h"
#include "model/graph.h"
#include "model/shadow.h"
#include "platform/gfx/bitmap_context.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace {

void rotateAbout(kx::BitmapContext& context, const kx::Point& centre, double angle) {
    context.translate(centre.x, centre.y);
    context.rotate(angle);
    context.translate(-centre.x, -centre.y);
}

// The four corners of a rectangle by number: 0 (minX, minY), 1 (maxX, minY), 2 (minX, maxY), 3 (maxX, maxY).
std::array<kx::Point, 4> cornersOf(const kx::Rect& r) {
    return {kx::Point(r.minX(), r.minY()), kx::Point(r.maxX(), r.minY()), kx::Point(r.minX(), r.maxY()),
            kx::Point(r.maxX(), r.maxY())};
}

kx::Point turnedCorner(const kx::Rect& r, int corner, double angle) {
    return transformPointAboutCenter(cornersOf(r)[std::size_t(corner)], r.center(), angle, 1, 1);
}

// Puts an output copy back into the preview state it had before the layers were rendered, however the
// rendering ended.
class OutputState {
public:
    OutputState(KXCanvas& page, const kx::Size& size)
        : m_page(page), m_previewSize(page.previewSize()), m_zoom(page.zoomValue()) {
        m_page.zoomToFitOutputSize(size);
        m_page.setRenderIntent(KXRenderIntentOutput);
    }
    ~OutputState() {
        m_page.zoomToFitOutputSize(m_previewSize);
        // A page that was never fitted (no preview size) fits back to nothing and would keep the output zoom.
        m_page.setPreviewSize(m_previewSize);
        m_page.setZoomValue(m_zoom);
        m_page.setRenderIntent(KXRenderIntentPreview);
    }
    OutputState(const OutputState&) = delete;
    OutputState& operator=(const OutputState&) = delete;

private:
    KXCanvas& m_page;
    kx::Size m_previewSize;
    double m_zoom;
};

bool addLayers(KXCanvas& page, const kx::Size& size, KXLayeredImageWriter& writer) {
    const OutputState state(page, size);
    const kx::Size documentSize = page.previewSize();
    if (!writer.initWithDocumentSize(documentSize))
        return false;
    {
        const kx::Image background = backgroundLayerWithPreviewSize(page, documentSize);
        if (background.isNull() || !writer.addLayerWithCGImage(background, KXBackgroundLayerName, 1, {0, 0}))
            return false;
    }
    // Walks a copy of the list, so that nothing done while drawing can disturb the walk.
    const KXCanvas::GraphList graphs = page.graphs();
    for (const auto& graph : graphs) {
        const kx::Image layer = graphLayer(page, graph.get(), documentSize);
        if (layer.isNull() || !writer.addLayerWithCGImage(layer, KXGraphLayerName, 1, {0, 0}))
            return false;
    }
    return true;
}

}  // namespace

bool addLayersOfCanvas(const KXCanvas& page, const kx::Size& size, KXLayeredImageWriter& writer) {
    if (!page.canRenderOutputSize(size))
        return false;
    if (page.isOutputCopy())
        return addLayers(const_cast<KXCanvas&>(page), size, writer);
    const std::shared_ptr<KXCanvas> copy = page.outputCopy();
    return copy && addLayers(*copy, size, writer);
}

kx::Image backgroundLayerWithPreviewSize(KXCanvas& page, const kx::Size& size) {
    kx::BitmapContext bitmap(int(size.width), int(size.height));
    if (!bitmap.isValid())
        return {};
    bitmap.setInterpolationQuality(kx::InterpolationQuality::High);
    page.drawInContext(bitmap);
    return bitmap.makeImage();
}

kx::Image graphLayer(KXCanvas& page, KXGraph* graph, const kx::Size& size) {
    kx::BitmapContext bitmap(int(size.width), int(size.height));
    if (!bitmap.isValid())
        return {};
    bitmap.setInterpolationQuality(kx::InterpolationQuality::High);
    if (!graph)
        return bitmap.makeImage();

    const double zoom = page.zoomValue();
    const bool shadowed = graph->isShadowEnabled() && graph->shadow();
    const bool reflected = graph->isReflectionEnabled();
    // A group, and a graph with neither shadow nor reflection, is drawn exactly as the page output draws it:
    // a half-opaque graph blended once as a whole, a group's children each with their own effects and the
    // group's rotation, flips and opacity. So the layers stacked give the rendered page.
    kx::Image image;
    if (graph->graphType() != KXGraphTypeGroup && (shadowed || reflected)) {
        // A graph far larger than the output (mostly off the page) would need an image of gigabytes for a
        // few visible pixels: it is drawn directly as the page output does.
        const kx::Size fs = page.frameRectOfGraph(graph).size;
        if (fs.width * fs.height <= 4 * size.width * size.height + 4e6) {
            kx::UndoDisabler noUndo(page.undoManager());
            image = graph->graphImageWithZoom(zoom);
        }
    }
    if (image.isNull()) {
        page.drawGraph(graph, bitmap);
        return bitmap.makeImage();
    }

    const kx::Rect r = page.graphRectOfGraph(graph);
    const kx::Point c = r.center();
    const double angle = graph->angle();
    const double iw = image.width();
    const double ih = image.height();
    const kx::Rect d0 = roundRectComponents({c.x - iw / 2, c.y - ih / 2, iw, ih});

    bitmap.saveGState();
    rotateAbout(bitmap, c, angle);
    if (shadowed) {
        KXShadow* shadow = graph->shadow();
        bitmap.saveGState();
        const float reference = float(std::min(size.width, size.height)) / 10.0f;
        const kx::Point offset = shadow->offsetWithReference(reference, -angle);
        bitmap.setShadow({offset.x, offset.y}, std::sqrt(zoom) * shadow->blur(), shadow->color());
        bitmap.drawImage(d0, image);
        bitmap.restoreGState();
    } else {
        bitmap.drawImage(d0, image);
    }
    bitmap.restoreGState();

    if (reflected) {
        // The image turned about the centre, and the image's rectangle moved so that its top meets the
        // bottom of that box.
        const kx::Rect bb = transformRectAboutCenter(c, angle, 1, 1, d0);
        const kx::Rect d = roundRectComponents({d0.origin.x, bb.origin.y - ih, iw, ih});
        const double m = 0.35 * bb.size.height;
        // The band below the graph, a gap of 1 away.
        const kx::Rect mask = roundRectComponents({bb.origin.x, d.maxY() - m - 1, bb.size.width, m});
        if (mask.size.width > 0 && mask.size.height > 0) {
            bitmap.saveGState();
            // Without its mask resource the band still shows the reflection, unfaded.
            const kx::Image maskImage = reflectionMaskImage();
            if (maskImage.isNull())
                bitmap.clipToRect(mask);
            else
                bitmap.clipToMask(mask, maskImage);
            // The image already carries the graph's opacity.
            bitmap.setAlpha(graph->reflectionAlpha());
            bitmap.translate(0, d.maxY());
            bitmap.scale(1, -1);
            bitmap.translate(0, d.size.height - d.maxY() + 1);
            const kx::Point offset = offsetOfGraph(page, graph, mask);
            bitmap.translate(offset.x, offset.y);
            rotateAbout(bitmap, d.center(), angle);
            bitmap.drawImage(d, image);
            bitmap.restoreGState();
        }
    }
    return bitmap.makeImage();
}

kx::Point anchorPointOfRotation(const KXCanvas& page, int* corner, const KXGraph* graph, const kx::Rect& maskFrame) {
    const kx::Rect r = page.graphRectOfGraph(graph);
    const double angle = graph->angle();
    int best = 0;
    kx::Point lowest = turnedCorner(r, 0, angle);
    for (int k = 1; k < 4; ++k) {
        const kx::Point p = turnedCorner(r, k, angle);
        if (p.y < lowest.y) {
            best = k;
            lowest = p;
        }
    }
    if (corner)
        *corner = best;
    return {lowest.x - maskFrame.origin.x, maskFrame.size.height - (lowest.y - 2 - maskFrame.origin.y)};
}

kx::Point offsetOfGraph(const KXCanvas& page, const KXGraph* graph, const kx::Rect& maskFrame) {
    int corner = 0;
    const kx::Point anchor = anchorPointOfRotation(page, &corner, graph, maskFrame);
    const kx::Rect r = page.graphRectOfGraph(graph);
    const kx::Rect placed((maskFrame.size.width - r.size.width) / 2, 0, r.size.width, r.size.height);
    const kx::Point p = turnedCorner(placed, corner, graph->angle());
    return {anchor.x - p.x, anchor.y - p.y};
}
