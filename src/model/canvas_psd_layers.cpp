#include "model/canvas_psd_layers.h"

#include "model/canvas.h"
#include "platform/gfx/bitmap_context.h"

#include <memory>

namespace {

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
    // Exactly what the page render draws for the graph (its reflection beneath, its shadow, a group's
    // children with their own effects, the opacity blended once), so that the layers stacked give the
    // rendered page pixel for pixel and a reflection starts on the same row as on the page.
    if (graph)
        page.drawGraph(graph, bitmap);
    return bitmap.makeImage();
}
