#include "model/stroke.h"

#include "graphics/color_utilities.h"
#include "platform/foundation/archive_copy.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"

#include <cmath>

namespace {
const QString kStyleKey = QStringLiteral("style");
const QString kWidthKey = QStringLiteral("width");
const QString kColorKey = QStringLiteral("t_color");
const QString kTypeKey = QStringLiteral("type");
constexpr double kDefaultWidth = 0.5;
}  // namespace

KXStroke::KXStroke() {
    m_color = createSRGBColor(0, 0, 0, 1);
    m_tColor = rgbaFromCGColor(m_color);
}

QStringList KXStroke::announcedKeys() const {
    return {kStyleKey, kWidthKey, kColorKey};
}

const kx::PropertyTable& KXStroke::propertyTable() const {
    static const kx::PropertyTable table = [] {
        kx::PropertyTable t;
        t.add(kStyleKey, &KXStroke::style, &KXStroke::setStyle);
        t.add(kWidthKey, &KXStroke::width, &KXStroke::setWidth);
        t.add(kColorKey, &KXStroke::t_color, &KXStroke::setT_color);
        t.add(kTypeKey, &KXStroke::type, &KXStroke::setType);
        return t;
    }();
    return table;
}

void KXStroke::setColor(const kx::Color& color) {
    setT_color(rgbaFromCGColor(color));
}

void KXStroke::setT_color(std::int64_t packed) {
    const std::int64_t normalized = KXPackedRGBA(std::uint32_t(packed));
    m_color = cgColorFromRGBA(KXPackedRGBA(normalized));
    setProperty(kColorKey, m_tColor, normalized);
}

void KXStroke::setStyle(unsigned style) {
    setProperty(kStyleKey, m_style, style);
}

void KXStroke::setWidth(double width) {
    setProperty(kWidthKey, m_width, width);
}

void KXStroke::setStroke(const KXStroke* other) {
    if (!other)
        return;
    setStyle(other->style());
    setWidth(other->width());
    setT_color(other->t_color());
}

double KXStroke::borderWidthWithReference(double reference, double factor) const {
    return m_width / 100.0 * factor * reference;
}

void KXStroke::configContext(kx::BitmapContext& context, double zoom) const {
    const double w = m_width * zoom;
    context.setLineWidth(w);
    context.setStrokeColor(m_color);
    switch (m_style) {
    case KXStrokeStyleDash: context.setLineDash(0, {w, w}); break;
    case KXStrokeStyleLongDash: context.setLineDash(0, {2 * w, 2 * w}); break;
    case KXStrokeStyleLongerDash: context.setLineDash(0, {3 * w, 3 * w}); break;
    case KXStrokeStyleDot: {
        // Dots are dashes of no length with round caps, one every 3w.
        context.setLineDash(0, {0, 3 * w});
        context.setLineCap(kx::LineCap::Round);
        break;
    }
    default: break;  // solid, and any unknown style
    }
}

void KXStroke::drawInContext(kx::BitmapContext& context, const kx::Path& path, double zoom) const {
    context.saveGState();
    configContext(context, zoom);
    context.beginPath();
    context.addPath(path);
    context.strokePath();
    context.restoreGState();
}

void KXStroke::drawInContext(kx::BitmapContext& context, const kx::Rect& rect, double zoom) const {
    context.saveGState();
    configContext(context, zoom);
    context.strokeRect(rect);
    context.restoreGState();
}

std::shared_ptr<KXStroke> KXStroke::copy() const {
    return kx::archiveCopy(*this);
}

void KXStroke::encodeWithCoder(kx::KeyedArchiver& coder) const {
    coder.encodeInteger(m_type, kTypeKey);
    coder.encodeInteger(m_style, kStyleKey);
    coder.encodeFloat(float(m_width), kWidthKey);
    coder.encodeInt64(m_tColor, kColorKey);
}

void KXStroke::initWithCoder(kx::KeyedUnarchiver& coder) {
    setType(unsigned(coder.decodeInteger(kTypeKey)));
    setStyle(unsigned(coder.decodeInteger(kStyleKey)));
    // A width that is not a number would poison every extent computed from it.
    const double width = coder.decodeFloat(kWidthKey);
    setWidth(std::isfinite(width) ? width : kDefaultWidth);
    setT_color(coder.decodeInt64(kColorKey));
}
