// PDF and AI files: a page (the first unless asked otherwise) rendered by poppler (in the "kollage_pdf"
// module, loaded on first use) on a transparent background.
#include "graphics/image_loading.h"

#include "graphics/bitmap_contexts.h"
#include "graphics/geometry_utilities.h"
#include "graphics/pdf_pages.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QMutex>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// A page that takes longer than this to draw is given up (a hostile or pathological file).
constexpr qint64 kPDFRenderTimeLimitMs = 30000;

// Where the module may be: in the installed layout, beside the program's folder; and, for a program that
// still runs inside the build tree it was built in, where the build made it. An installed or moved program
// never loads code from a build folder that happens to exist.
QStringList pdfModuleCandidates() {
    // The running program's folder, read from the system: the first PDF may be read on any thread.
    const QString exeDir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    QStringList candidates{exeDir + QStringLiteral("/../" KX_PDF_MODULE_INSTALLED)};
    const QString buildDir = QDir(QStringLiteral(KX_BUILD_TREE)).canonicalPath();
    if (!exeDir.isEmpty() && !buildDir.isEmpty() && (exeDir == buildDir || exeDir.startsWith(buildDir + u'/')))
        candidates << QStringLiteral(KX_PDF_MODULE_BUILT);
    return candidates;
}

const KXPdfPages* loadPdfPages() {
    for (const QString& path : pdfModuleCandidates()) {
        if (!QFileInfo(path).isFile())
            continue;
        // The library stays loaded for the life of the process (QLibrary does not unload on destruction).
        QLibrary module(path);
        const auto entry = reinterpret_cast<KXPdfPagesEntry>(module.resolve(kPdfPagesSymbol));
        const KXPdfPages* pages = entry ? entry() : nullptr;
        if (pages && pages->version == KXPdfPages::kVersion)
            return pages;
        qWarning("PDF: %s is not a usable PDF module (%s)", qPrintable(path), qPrintable(module.errorString()));
    }
    qWarning("PDF: the PDF module was not found; PDF files give no image");
    return nullptr;
}

struct PageCloser {
    void operator()(void* page) const {
        if (page)
            pdfPages()->closePage(page);
    }
};

struct OpenPage {
    std::unique_ptr<void, PageCloser> page;
    kx::Size size;  // points, rotation applied
};

OpenPage withSize(void* handle) {
    OpenPage open;
    open.page.reset(handle);
    if (!open.page)
        return {};
    const QSizeF size = pdfPages()->pageSize(handle);
    if (!(size.width() > 0) || !(size.height() > 0) || !std::isfinite(size.width()) || !std::isfinite(size.height()))
        return {};
    open.size = kx::Size(size.width(), size.height());
    return open;
}

OpenPage openPage(const QString& path, int index) {
    if (path.isEmpty() || !QFileInfo(path).isFile() || !pdfPages())
        return {};
    return withSize(pdfPages()->openPageOfFile(path, index));
}

OpenPage openFirstPage(const QString& path) { return openPage(path, 0); }

OpenPage openFirstPageOfData(const QByteArray& data) {
    if (!pdfPages())
        return {};
    return withSize(pdfPages()->openFirstPageOfData(data));
}

// Renders the page into exactly `pixels` (whole numbers), stretched; null when that is beyond the limits.
kx::Image renderPage(OpenPage& open, const QSize& pixels) {
    if (pixels.isEmpty() || pixels.width() > kMaximumPDFPixelSide || pixels.height() > kMaximumPDFPixelSide ||
        qint64(pixels.width()) * pixels.height() > kMaximumPDFPixelCount)
        return {};
    const double xres = 72.0 * pixels.width() / open.size.width;
    const double yres = 72.0 * pixels.height() / open.size.height;
    const qint64 deadline = QDeadlineTimer(kPDFRenderTimeLimitMs).deadline();
    // Poppler sets up its shared colour profiles lazily, unguarded, when it first draws; two pages drawn at once
    // on worker threads (thumbnails) would race there, so pages are drawn one at a time.
    static QMutex renderLock;
    const QMutexLocker locked(&renderLock);
    const QImage rendered = pdfPages()->renderPage(open.page.get(), xres, yres, deadline);
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

// The page fitted into the size, as drawings are.
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
    if (path.isEmpty() || !QFileInfo(path).isFile() || !pdfPages())
        return 0;
    return pdfPages()->pageCountOfFile(path);
}

kx::Image rasterizePDFPage(const QString& path, int index, double maxWidth, double maxHeight) {
    return renderFitted(openPage(path, index), maxWidth, maxHeight);
}

kx::Image rasterizePDFData(const QByteArray& data, double maxWidth, double maxHeight) {
    if (data.isEmpty())
        return {};
    return renderFitted(openFirstPageOfData(data), maxWidth, maxHeight);
}

const KXPdfPages* pdfPages() {
    static const KXPdfPages* const pages = loadPdfPages();
    return pages;
}
