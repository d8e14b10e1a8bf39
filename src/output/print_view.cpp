#include "output/print_view.h"

#include "graphics/geometry_utilities.h"
#include "model/canvas.h"
#include "output/print_view_controller.h"
#include "platform/gfx/image.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPrinter>

#include <cmath>

namespace {

// The most pixels a printed page's bitmap gets: 64 megapixels (256 MB) is more than a full sheet at the
// usual printer resolutions, and keeps a large page at a large scale from asking for gigabytes.
constexpr double kMaxPrintPixels = double(kx::Image::maximumPixelCount) / 4;

// A y-up rectangle of the view in Qt's y-down space of the same height.
QRectF yDown(const kx::Rect& r, double viewHeight) {
    return {r.origin.x, viewHeight - r.origin.y - r.size.height, r.size.width, r.size.height};
}

kx::Size rounded(const kx::Size& s) {
    return {std::round(s.width), std::round(s.height)};
}

// The image's shape fitted into the rectangle and centred in it: a page of another shape than the current
// one is not stretched.
kx::Rect fittedImageRect(const kx::Rect& rect, const kx::Image& image) {
    const kx::Size fitted = aspectFitSize(image.pixelSize(), rect.size);
    return {rect.origin.x + (rect.size.width - fitted.width) / 2, rect.origin.y + (rect.size.height - fitted.height) / 2,
            fitted.width, fitted.height};
}

// `size` made smaller, keeping its shape, until it is no larger than `limit` either way.
kx::Size shrunkInto(const kx::Size& size, const kx::Size& limit) {
    const double k = std::min({1.0, limit.width / size.width, limit.height / size.height});
    return {std::max(1.0, std::floor(size.width * k)), std::max(1.0, std::floor(size.height * k))};
}

}  // namespace

KXPrintView::KXPrintView(const kx::Rect& frame) : m_frame(frame) {}

void KXPrintView::addCanvas(std::shared_ptr<KXCanvas> canvas) {
    m_canvases.push_back(std::move(canvas));
}

bool KXPrintView::knowsPageRange(int* first, int* last) {
    KXPrintInfo* info = m_printData ? m_printData->representedObject() : nullptr;
    m_frame.size = info ? info->imageableSize() : kx::Size();
    *first = 1;
    *last = m_maxPage;
    return true;
}

kx::Rect KXPrintView::rectForPage(int page) {
    m_currentPage = page;
    return bounds();
}

kx::Rect KXPrintView::sheetRect() const {
    if (!m_printData)
        return {};
    const double scale = m_printData->scale();
    const kx::Size page = m_printData->pageSize();
    kx::Rect sheet({0, 0}, rounded({page.width * scale, page.height * scale}));
    const kx::Size view = m_frame.size;
    if (view.width > sheet.size.width)
        sheet.origin.x = (view.width - sheet.size.width) / 2;
    if (view.height > sheet.size.height)
        sheet.origin.y = (view.height - sheet.size.height) / 2;
    return sheet;
}

kx::Size KXPrintView::bitmapSize(const KXCanvas& page, KXPrintTarget target, double deviceDpi) const {
    const kx::Size sheet = sheetRect().size;
    if (target == KXPrintTarget::Preview || !m_printData)
        return sheet;
    const double scale = m_printData->scale();
    const kx::Size pixels = page.pixelSize();
    kx::Size size = rounded({pixels.width * scale, pixels.height * scale});
    if (!(size.width >= 1) || !(size.height >= 1))
        return size;
    // Finer than the printer prints is lost on paper, and only costs memory.
    if (deviceDpi > 0)
        size = shrunkInto(size, {std::ceil(sheet.width * deviceDpi / 72), std::ceil(sheet.height * deviceDpi / 72)});
    if (size.width * size.height > kMaxPrintPixels) {
        const double k = std::sqrt(kMaxPrintPixels / (size.width * size.height));
        size = shrunkInto(size, {size.width * k, size.height * k});
    }
    return size;
}

void KXPrintView::drawRect(QPainter& painter, KXPrintTarget target, double deviceDpi) {
    const int index = m_currentPage - 1;
    if (index < 0 || index >= int(m_canvases.size()) || !m_canvases[size_t(index)] || !m_printData)
        return;
    KXCanvas& page = *m_canvases[size_t(index)];
    const kx::Rect sheet = sheetRect();
    // A sheet rectangle under a point draws nothing (and would take endless tiles).
    if (!(sheet.size.width >= 1) || !(sheet.size.height >= 1))
        return;
    const kx::Size pixels = bitmapSize(page, target, deviceDpi);
    const kx::Image image = page.renderOutputImage(pixels);
    if (image.isNull())
        return;
    const double height = m_frame.size.height;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipRect(QRectF(0, 0, m_frame.size.width, height));
    if (m_printData->tileEnabled()) {
        const kx::Size tile = sheet.size;
        for (double y = 0; y < height; y += tile.height) {
            for (double x = 0; x < m_frame.size.width; x += tile.width)
                painter.drawImage(yDown(fittedImageRect({x, y, tile.width, tile.height}, image), height), image.qimage());
        }
    } else {
        painter.drawImage(yDown(fittedImageRect(sheet, image), height), image.qimage());
    }
    painter.restore();
}

bool KXPrintView::print(QPrinter& printer, KXPrintTarget target) {
    int first = 1, last = 1;
    knowsPageRange(&first, &last);
    last = std::min(last, int(m_canvases.size()));
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = std::max(first, printer.fromPage());
        if (printer.toPage() > 0)
            last = std::min(last, printer.toPage());
    }
    if (first > last)
        return false;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const double dpi = printer.resolution();
    const double pointsToDevice = dpi / 72;
    bool complete = true;
    for (int sheet = first; sheet <= last && complete; ++sheet) {
        if (sheet > first && !printer.newPage()) {
            complete = false;
            break;
        }
        rectForPage(sheet);
        painter.save();
        painter.scale(pointsToDevice, pointsToDevice);
        drawRect(painter, target, dpi);
        painter.restore();
    }
    return painter.end() && complete;
}
