// PDF and AI files: a page (the first unless asked otherwise) rendered by poppler on a transparent background.
#include "graphics/image_loading.h"

#include "graphics/bitmap_contexts.h"
#include "graphics/geometry_utilities.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMutex>
#include <QVariant>

#include <poppler-qt6.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// A page that takes longer than this to draw is given up (a hostile or pathological file).
constexpr qint64 kPDFRenderTimeLimitMs = 30000;

struct OpenPage {
    std::unique_ptr<Poppler::Document> document;
    std::unique_ptr<Poppler::Page> page;
    kx::Size size;  // points, rotation applied
};

OpenPage openPageOf(std::unique_ptr<Poppler::Document> document, int index) {
    OpenPage open;
    open.document = std::move(document);
    if (!open.document || open.document->isLocked() || index < 0 || index >= open.document->numPages())
        return {};
    open.page = open.document->page(index);
    if (!open.page)
        return {};
    const QSizeF size = open.page->pageSizeF();
    if (!(size.width() > 0) || !(size.height() > 0) || !std::isfinite(size.width()) || !std::isfinite(size.height()))
        return {};
    open.size = kx::Size(size.width(), size.height());
    return open;
}

OpenPage openFirstPageOf(std::unique_ptr<Poppler::Document> document) { return openPageOf(std::move(document), 0); }

std::unique_ptr<Poppler::Document> openDocument(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return {};
    return Poppler::Document::load(path);
}

OpenPage openFirstPage(const QString& path) { return openFirstPageOf(openDocument(path)); }

bool deadlinePassed(const QVariant& deadline) {
    return QDeadlineTimer(deadline.toLongLong()).hasExpired();
}

// Renders the page into exactly `pixels` (whole numbers), stretched; null when that is beyond the limits.
kx::Image renderPage(OpenPage& open, const QSize& pixels) {
    if (pixels.isEmpty() || pixels.width() > kMaximumPDFPixelSide || pixels.height() > kMaximumPDFPixelSide ||
        qint64(pixels.width()) * pixels.height() > kMaximumPDFPixelCount)
        return {};
    open.document->setPaperColor(Qt::transparent);
    open.document->setRenderHint(Poppler::Document::Antialiasing, true);
    open.document->setRenderHint(Poppler::Document::TextAntialiasing, true);
    open.document->setRenderHint(Poppler::Document::IgnorePaperColor, true);
    const double xres = 72.0 * pixels.width() / open.size.width;
    const double yres = 72.0 * pixels.height() / open.size.height;
    const qint64 deadline = QDeadlineTimer(kPDFRenderTimeLimitMs).deadline();
    // Poppler sets up its shared colour profiles lazily, unguarded, when it first draws; two pages drawn at once
    // on worker threads (thumbnails) would race there, so pages are drawn one at a time.
    static QMutex renderLock;
    const QMutexLocker locked(&renderLock);
    const QImage rendered = open.page->renderToImage(xres, yres, -1, -1, -1, -1, Poppler::Page::Rotate0, nullptr,
                                                     nullptr, deadlinePassed, QVariant(deadline));
    if (rendered.isNull() || QDeadlineTimer(deadline).hasExpired())
        return {};
    if (rendered.size() == pixels)
        return kx::Image(rendered);
    // Poppler rounds the page to whole pixels its own way; stretch what it drew over the whole image.
    BitmapContextRef context = createBitmapContext(pixels.width(), pixels.height());
    if (!context)
        return {};
    context->drawImage(kx::Rect(0, 0, pixels.width(), pixels.height()), kx::Image(rendered));
    kx::Image image = context->makeImage();
    releaseBitmapContext(context);
    return image;
}

// The page's pixel size at one pixel per point (rounded up), scaled down to the PDF limits when larger.
QSize boundedPagePixels(const kx::Size& points) {
    double scale = 1;
    const double longer = std::max(points.width, points.height);
    if (longer > kMaximumPDFPixelSide)
        scale = kMaximumPDFPixelSide / longer;
    const double area = points.width * points.height * scale * scale;
    if (area > double(kMaximumPDFPixelCount))
        scale *= std::sqrt(double(kMaximumPDFPixelCount) / area);
    // Rounded up, but never past the limits that the scale was chosen to respect.
    const int w = std::clamp(int(std::ceil(points.width * scale - 1e-6)), 1, kMaximumPDFPixelSide);
    const int h = std::clamp(int(std::ceil(points.height * scale - 1e-6)), 1, kMaximumPDFPixelSide);
    return {w, h};
}

// A requested size in whole pixels (rounded up); empty when it is not positive or beyond the PDF limits.
QSize requestedPixels(const kx::Size& size) {
    if (!(size.width > 0) || !(size.height > 0) || size.width > kMaximumPDFPixelSide ||
        size.height > kMaximumPDFPixelSide)
        return {};
    return {int(std::ceil(size.width)), int(std::ceil(size.height))};
}

// The first page fitted into the size, as drawings are.
kx::Image renderFitted(OpenPage open, double maxWidth, double maxHeight) {
    if (!open.page)
        return {};
    const QSize pixels = requestedPixels(aspectFitSize(open.size, kx::Size(maxWidth, maxHeight)));
    if (pixels.isEmpty())
        return {};
    return renderPage(open, pixels);
}

}  // namespace

kx::Size pdfFirstPageSize(const QString& path) { return openFirstPage(path).size; }

kx::Image rasterizePDFFile(const QString& path) {
    OpenPage open = openFirstPage(path);
    if (!open.page)
        return {};
    return renderPage(open, boundedPagePixels(open.size));
}

kx::Image rasterizePDFFileToSize(const QString& path, const kx::Size& size) {
    const QSize pixels = requestedPixels(size);
    if (pixels.isEmpty())
        return {};
    OpenPage open = openFirstPage(path);
    if (!open.page)
        return {};
    return renderPage(open, pixels);
}

kx::Image rasterizeAIFile(const QString& path, double maxWidth, double maxHeight) {
    return renderFitted(openFirstPage(path), maxWidth, maxHeight);
}

int pdfPageCount(const QString& path) {
    const std::unique_ptr<Poppler::Document> document = openDocument(path);
    return document && !document->isLocked() ? document->numPages() : 0;
}

kx::Image rasterizePDFPage(const QString& path, int index, double maxWidth, double maxHeight) {
    return renderFitted(openPageOf(openDocument(path), index), maxWidth, maxHeight);
}

kx::Image rasterizePDFData(const QByteArray& data, double maxWidth, double maxHeight) {
    if (data.isEmpty())
        return {};
    return renderFitted(openFirstPageOf(Poppler::Document::loadFromData(data)), maxWidth, maxHeight);
}
