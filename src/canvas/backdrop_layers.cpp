#include "canvas/backdrop_layers.h"

#include "graphics/image_loading.h"
#include "platform/foundation/bundle.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer_transaction.h"

#include <QFont>
#include <QFontMetricsF>
#include <QMutex>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

// Loaded once and kept; a missing resource is looked for again next time.
kx::Image keptTexture(const QString& name) {
    static QMutex lock;
    static std::map<QString, kx::Image> kept;
    QMutexLocker locker(&lock);
    kx::Image& image = kept[name];
    if (image.isNull()) {
        const QString path = kx::Bundle::main().pathForResource(name, QStringLiteral("jpg"));
        if (!path.isEmpty())
            image = loadImageFromFile(path);
    }
    return image;
}

// Tiles of the image's pixel size laid from the top-left corner of the bounds, rightwards and down, each
// upright, over whatever of the bounds the clip lets show.
void tileFromTop(kx::BitmapContext& context, const kx::Rect& bounds, const kx::Image& image) {
    if (image.isNull() || bounds.isEmpty())
        return;
    const double w = image.width(), h = image.height();
    const kx::Rect area = bounds.intersected(context.clipBoundingBox());
    if (area.isEmpty())
        return;
    const auto first = [](double from, double start, double step) { return std::floor((from - start) / step); };
    const double firstColumn = first(area.minX(), bounds.minX(), w);
    const double firstRow = first(bounds.maxY() - area.maxY(), 0, h);
    for (double row = firstRow; bounds.maxY() - row * h > area.minY(); ++row) {
        for (double column = firstColumn; bounds.minX() + column * w < area.maxX(); ++column)
            context.drawImage({bounds.minX() + column * w, bounds.maxY() - (row + 1) * h, w, h}, image);
    }
}

}  // namespace

KXShadowLayer::KXShadowLayer() {
    setNeedsDisplayOnBoundsChange(true);
    setNeedsDisplay();
}

kx::Image KXShadowLayer::texture() {
    return keptTexture(QStringLiteral("canvasBK"));
}

void KXShadowLayer::drawInContext(kx::BitmapContext& context) {
    kx::LayerTransaction transaction;
    context.saveGState();
    context.clipToRect(bounds().insetBy(1, 1));
    tileFromTop(context, bounds(), texture());
    context.restoreGState();
}

KXPreviewLayer::KXPreviewLayer() {
    setNeedsDisplayOnBoundsChange(true);
    setNeedsDisplay();
}

kx::Image KXPreviewLayer::texture() {
    return keptTexture(QStringLiteral("previewBK"));
}

void KXPreviewLayer::drawInContext(kx::BitmapContext& context) {
    kx::LayerTransaction transaction;
    context.saveGState();
    tileFromTop(context, bounds(), texture());
    context.restoreGState();
}

KXTextLayer::KXTextLayer() : m_foregroundColor(kx::Color::srgb(1, 1, 1, 1)) {
    setNeedsDisplayOnBoundsChange(true);
}

void KXTextLayer::setString(const QString& string) {
    m_string = string;
    setNeedsDisplay();
}

void KXTextLayer::setFontName(const QString& name) {
    m_fontName = name;
    setNeedsDisplay();
}

void KXTextLayer::setFontSize(double size) {
    m_fontSize = size;
    setNeedsDisplay();
}

void KXTextLayer::setForegroundColor(const kx::Color& color) {
    m_foregroundColor = color;
    setNeedsDisplay();
}

void KXTextLayer::drawInContext(kx::BitmapContext& context) {
    if (m_string.isEmpty() || !(m_fontSize > 0))
        return;
    const kx::Rect b = bounds();
    QFont font(m_fontName.isEmpty() ? QStringLiteral("DejaVu Sans") : m_fontName);
    font.setPixelSize(std::max(1, int(std::lround(m_fontSize))));
    const kx::Color color = m_foregroundColor.convertedTo(kx::ColorSpace::SRGB);
    context.drawWithPainter([&](QPainter& painter) {
        // The painter's space is y up: mirror about the top edge so that the text stands upright.
        painter.translate(b.origin.x, b.maxY());
        painter.scale(1, -1);
        painter.setFont(font);
        painter.setPen(QColor::fromRgbF(float(color.red()), float(color.green()), float(color.blue()),
                                        float(color.alpha())));
        const QFontMetricsF metrics(font);
        painter.drawText(QPointF(0, metrics.ascent()), m_string);
    });
}

void KXTemplateHeaderLayer::drawInContext(kx::BitmapContext& context) {
    const kx::Rect b = bounds();
    context.saveGState();
    context.setFillColor(kx::Color::srgb(1, 1, 1, 1));
    context.fillRect({b.origin.x, b.origin.y, b.size.width - 20, 1});
    context.restoreGState();
    KXTextLayer::drawInContext(context);
}
