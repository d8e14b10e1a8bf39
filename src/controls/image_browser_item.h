// One cell of an image browser: what it is called, and where its thumbnail comes from.
#pragma once

#include "platform/gfx/image.h"

#include <QString>

#include <functional>
#include <memory>

namespace kx {

// A thumbnail made on a worker thread: given the longest side wanted in pixels, returns the picture (null when
// there is none). It must touch nothing that the main thread changes.
using ThumbnailRenderer = std::function<Image(int maximumPixelSize)>;

struct ImageBrowserItem {
    // Identifies the item among those shown; a thumbnail belongs to one uid and version.
    QString uid;
    // Raised by the owner whenever the picture changes, so that the thumbnail is made again.
    quint64 version = 0;
    QString title;
    QString subtitle;
    // Shown when the pointer rests on the cell; the title when empty.
    QString toolTip;
    // Where the thumbnail comes from, the first that is set: an image already made, a function run on a
    // worker thread, an image file of any kind the application reads (bitmap, JPNG, PDF, AI, EPS, SVG).
    Image image;
    ThumbnailRenderer renderer;
    QString path;
    // The page shown of a PDF file, counted from 0.
    int pdfPage = 0;
};

// A run of items under one header.
struct ImageBrowserGroup {
    QString title;
    int first = 0;
    int count = 0;
};

}  // namespace kx
