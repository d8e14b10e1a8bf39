#include "graphics/svg_styled_bezier_path.h"

#include "platform/gfx/bitmap_context.h"

#include <algorithm>

namespace {

kx::LineCap lineCapFrom(kx::BezierPath::LineCapStyle style) {
    switch (style) {
    case kx::BezierPath::LineCapStyle::Round: return kx::LineCap::Round;
    case kx::BezierPath::LineCapStyle::Square: return kx::LineCap::Square;
    case kx::BezierPath::LineCapStyle::Butt: break;
    }
    return kx::LineCap::Butt;
}

kx::LineJoin lineJoinFrom(kx::BezierPath::LineJoinStyle style) {
    switch (style) {
    case kx::BezierPath::LineJoinStyle::Round: return kx::LineJoin::Round;
    case kx::BezierPath::LineJoinStyle::Bevel: return kx::LineJoin::Bevel;
    case kx::BezierPath::LineJoinStyle::Miter: break;
    }
    return kx::LineJoin::Miter;
}

// The stops as a drawable gradient. Stops without a colour are left out, and locations are kept
// inside 0..1 and never below an earlier stop's, so that any list of stops a file gives draws.
kx::Gradient gradientFromStops(const KXSVGGradient& gradient) {
    kx::Gradient result;
    double previous = 0;
    for (const auto& stop : gradient.colorStops()) {
        if (!stop || stop->color().isNull())
            continue;
        const double location = std::max(previous, std::clamp(stop->position(), 0.0, 1.0));
        result.colors.push_back(stop->color());
        result.locations.push_back(location);
        previous = location;
    }
    return result;
}

QString describe(const kx::Color& color) {
    if (color.isNull())
        return QStringLiteral("(null)");
    return QStringLiteral("sRGB(%1, %2, %3, %4)").arg(color.red()).arg(color.green()).arg(color.blue()).arg(color.alpha());
}

}  // namespace

void KXStyledBezierPath::drawStyledPath(kx::BitmapContext& context) const {
    if (!context.isValid() || !m_path)
        return;
    const bool saved = m_transform.has_value() || m_opacity.has_value();
    if (saved)
        context.saveGState();
    if (m_transform)
        context.concat(*m_transform);
    if (m_opacity)
        context.setAlpha(std::clamp(double(float(*m_opacity)), 0.0, 1.0));

    const kx::Path outline = m_path->toPath();
    if (!m_fillColor.isNull()) {
        context.setFillColor(m_fillColor);
        context.beginPath();
        context.addPath(outline);
        context.fillPath(m_path->windingRule());
    }
    if (m_gradient)
        fillWithGradient(context);
    if (!m_strokeColor.isNull() && m_path->lineWidth() > 0) {
        context.setStrokeColor(m_strokeColor);
        context.setLineWidth(m_path->lineWidth());
        context.setLineCap(lineCapFrom(m_path->lineCapStyle()));
        context.setLineJoin(lineJoinFrom(m_path->lineJoinStyle()));
        context.setMiterLimit(m_path->miterLimit());
        context.setLineDash(m_path->lineDashPhase(), m_path->lineDash());
        context.beginPath();
        context.addPath(outline);
        context.strokePath();
    }
    if (saved)
        context.restoreGState();
}

void KXStyledBezierPath::fillWithGradient(kx::BitmapContext& context) const {
    if (!m_gradient || !m_path)
        return;
    const kx::Gradient colors = gradientFromStops(*m_gradient);
    if (!colors.isValid())
        return;
    const unsigned extend = kx::GradientDrawsBeforeStart | kx::GradientDrawsAfterEnd;
    context.saveGState();
    context.beginPath();
    context.addPath(m_path->toPath());
    context.clip(m_path->windingRule());
    if (m_gradient->gradientTransform())
        context.concat(*m_gradient->gradientTransform());
    if (const auto* radial = dynamic_cast<const KXSVGRadialGradient*>(m_gradient.get()))
        context.drawRadialGradient(colors, radial->position(), 0, radial->position(), radial->radius(), extend);
    else if (const auto* linear = dynamic_cast<const KXSVGLinearGradient*>(m_gradient.get()))
        context.drawLinearGradient(colors, linear->startPosition(), linear->endPosition(), extend);
    context.restoreGState();
}

QString KXStyledBezierPath::description() const {
    return QStringLiteral("path: %1, fill: %2, stroke: %3, gradient: %4")
        .arg(m_path ? m_path->description() : QStringLiteral("(null)"), describe(m_fillColor), describe(m_strokeColor),
             m_gradient ? m_gradient->description() : QStringLiteral("(null)"));
}
