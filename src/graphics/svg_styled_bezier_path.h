// One drawable element of an SVG picture: a bezier path in SVG user space (carrying its pen) with
// a fill colour, a stroke colour, a gradient fill, a transform and an opacity. Every field is
// optional; the objects are shared, not copied.
#pragma once

#include "graphics/svg_gradient.h"
#include "platform/gfx/bezier_path.h"
#include "platform/gfx/color.h"

#include <QString>

#include <memory>
#include <optional>

namespace kx {
class BitmapContext;
}

class KXStyledBezierPath {
public:
    const std::shared_ptr<kx::BezierPath>& path() const { return m_path; }
    void setPath(std::shared_ptr<kx::BezierPath> path) { m_path = std::move(path); }
    // A null colour when not set.
    const kx::Color& fillColor() const { return m_fillColor; }
    void setFillColor(const kx::Color& color) { m_fillColor = color; }
    const kx::Color& strokeColor() const { return m_strokeColor; }
    void setStrokeColor(const kx::Color& color) { m_strokeColor = color; }
    const std::shared_ptr<KXSVGGradient>& gradient() const { return m_gradient; }
    void setGradient(std::shared_ptr<KXSVGGradient> gradient) { m_gradient = std::move(gradient); }
    const std::optional<kx::AffineTransform>& transform() const { return m_transform; }
    void setTransform(const std::optional<kx::AffineTransform>& transform) { m_transform = transform; }
    // The element's opacity, already combined with its group's.
    const std::optional<double>& opacity() const { return m_opacity; }
    void setOpacity(const std::optional<double>& opacity) { m_opacity = opacity; }

    // Draws the element into `context`: the fill colour, then the gradient, then the stroke (only when
    // the path's line width is above 0), under the element's transform and opacity.
    void drawStyledPath(kx::BitmapContext& context) const;
    // Fills the path with the gradient: clipped to the path, under the gradient's own transform, both
    // ends extended with their colours.
    void fillWithGradient(kx::BitmapContext& context) const;

    // "path: …, fill: …, stroke: …, gradient: …" with "(null)" for fields that are not set.
    QString description() const;

private:
    std::shared_ptr<kx::BezierPath> m_path;
    kx::Color m_fillColor;
    kx::Color m_strokeColor;
    std::shared_ptr<KXSVGGradient> m_gradient;
    std::optional<kx::AffineTransform> m_transform;
    std::optional<double> m_opacity;
};
