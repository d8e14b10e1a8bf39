// The page as layers for a layered image file: first the page background, then one full-page image per
// top-level graph in stacking order, each holding only that graph (with its shadow and reflection) on a
// transparent ground, so that the layers stacked in order give the page.
//
// The model knows nothing of the file format: it hands its layers to a KXLayeredImageWriter, which the
// output side implements with its PSD writer. Like the page output, the layers are rendered on an output
// copy of the page, so the page being shown or edited never changes.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/image.h"

#include <QString>

class KXCanvas;
class KXGraph;

// Names the page gives its layers.
inline const QString KXBackgroundLayerName = QStringLiteral("Background Layer");
inline const QString KXGraphLayerName = QStringLiteral("Graph Layer");

// Takes the layers of one page, bottom first. Each call copies what it needs: the page drops every layer
// image as soon as the call returns.
class KXLayeredImageWriter {
public:
    virtual ~KXLayeredImageWriter() = default;
    // Starts a document of that size in pixels; false when it cannot.
    virtual bool initWithDocumentSize(const kx::Size& size) = 0;
    // Appends a layer above the ones added before; false when it was refused.
    virtual bool addLayerWithCGImage(const kx::Image& image, const QString& name, float opacity,
                                     const kx::Point& offset) = 0;
};

// Fits the page into `size` (aspect kept, rounded, as the page output does), starts the writer with the
// fitted size and adds the background layer, then one layer per top-level graph from the back, all at
// offset (0, 0) with opacity 1. A page that is not an output copy is copied first. Returns false when the
// size cannot be rendered, the page cannot be copied, a layer image cannot be made or the writer refuses;
// the page is back in its preview size, zoom and render intent either way.
bool addLayersOfCanvas(const KXCanvas& page, const kx::Size& size, KXLayeredImageWriter& writer);

// The following work on a page that is already in output state (fitted to the output size, render intent
// output); each returns a new image of `size`, no image when no bitmap of that size can be made.
//
// The page background alone; white outside the margin rectangle when the page clips to its margin.
kx::Image backgroundLayerWithPreviewSize(KXCanvas& page, const kx::Size& size);
// One graph alone, with its shadow and reflection, on a transparent page-sized image, drawn as the page
// output draws it. Its opacity is in the pixels. Graph layers are not clipped to the margin rectangle.
kx::Image graphLayer(KXCanvas& page, KXGraph* graph, const kx::Size& size);

