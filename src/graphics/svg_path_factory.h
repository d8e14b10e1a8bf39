// Turns the elements of one SVG document into styled paths, keeping the state the document shares:
// its gradients, the opacity of the group being read and the last control point of a smooth curve.
//
// Supported: circle, ellipse, rect, line, polyline, polygon and path (without arcs), solid colours in
// the #RRGGBB form, linear and radial gradients defined before use, element and group opacity, and
// transforms in the matrix form. Path data reads one set of arguments per command letter and draws a
// quadratic segment as a cubic with both controls at the quadratic's control point.
#pragma once

#include "graphics/svg_attributes.h"
#include "graphics/svg_gradient.h"
#include "graphics/svg_styled_bezier_path.h"
#include "platform/gfx/bezier_path.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class SVGScanner;

class KXStyledBezierPathFactory {
public:
    // The styled path of a shape element, or null for any other element (gradient definitions are
    // recorded on the way).
    std::shared_ptr<KXStyledBezierPath> styledPathFromElementName(const QString& elementName,
                                                                  const SVGAttributes& attributes);
    // A colour stop on the last gradient read; dropped when no gradient came before.
    void addGradientStopWithAttributes(const SVGAttributes& attributes);
    void addGroupOpacityValueWithAttributes(const SVGAttributes& attributes);
    void removeGroupOpacityValue();
    // The "viewBox" numbers x, y, width, height; the zero rectangle when missing, when fewer than four
    // numbers can be read, or when a side is negative.
    kx::Rect getViewboxFromAttributes(const SVGAttributes& attributes) const;

    const std::vector<std::shared_ptr<KXSVGGradient>>& gradients() const { return m_gradients; }
    const std::optional<float>& groupOpacityValue() const { return m_groupOpacityValue; }
    kx::Point previousControlPoint() const { return m_previousControlPoint; }

    // Shapes.
    std::shared_ptr<KXStyledBezierPath> circleWithAttributes(const SVGAttributes& attributes);
    std::shared_ptr<KXStyledBezierPath> ellipseWithAttributes(const SVGAttributes& attributes);
    std::shared_ptr<KXStyledBezierPath> rectWithAttributes(const SVGAttributes& attributes);
    std::shared_ptr<KXStyledBezierPath> lineWithAttributes(const SVGAttributes& attributes);
    std::shared_ptr<KXStyledBezierPath> polylineWithAttributes(const SVGAttributes& attributes);
    std::shared_ptr<KXStyledBezierPath> polygonWithAttributes(const SVGAttributes& attributes);
    std::shared_ptr<KXStyledBezierPath> pathWithAttributes(const SVGAttributes& attributes);
    void saveLinearGradient(const SVGAttributes& attributes);
    void saveRadialGradient(const SVGAttributes& attributes);

    // Styles the path from the element's presentation attributes.
    std::shared_ptr<KXStyledBezierPath> createStyledPath(std::shared_ptr<kx::BezierPath> path,
                                                         const SVGAttributes& attributes);
    static std::shared_ptr<KXStyledBezierPath> styledPathWithBezierPath(
        std::shared_ptr<kx::BezierPath> path, const std::optional<float>& opacity, const kx::Color& fillColor,
        const kx::Color& strokeColor, float strokeWeight, const std::optional<std::vector<float>>& dashArray,
        float miterLimit, kx::BezierPath::LineCapStyle lineCapStyle, kx::BezierPath::LineJoinStyle lineJoinStyle,
        std::shared_ptr<KXSVGGradient> gradient, const std::optional<kx::AffineTransform>& transform);
    // The last gradient whose identifier is the one in "url(#identifier)"; null when none.
    std::shared_ptr<KXSVGGradient> gradientForFillURL(const std::optional<QString>& fillText) const;
    // The colour of "stop-color:#RRGGBB" at the start of a stop's style, with the alpha of a later
    // "stop-opacity:"; a null colour when the style does not start with "stop-color:".
    static kx::Color parseStyleColor(const std::optional<QString>& style);

    // Path data.
    static QStringList commandListForCommandString(const QString& commandString);
    static QStringList commandListForPolylineString(const QString& pointsString);
    std::shared_ptr<kx::BezierPath> bezierPathFromCommandList(const QStringList& commands);
    void addMoveToPointFromCommandScanner(SVGScanner& scanner, kx::BezierPath& path);
    void addLineToPointFromCommandScanner(SVGScanner& scanner, kx::BezierPath& path);
    void addHorizontalLineToPointFromCommandScanner(SVGScanner& scanner, kx::BezierPath& path);
    void addVerticalLineToPointFromCommandScanner(SVGScanner& scanner, kx::BezierPath& path);
    void addCurveToPointFromCommandScanner(SVGScanner& scanner, kx::BezierPath& path);
    void addSmoothCurveToPointFromCommandScanner(SVGScanner& scanner, kx::BezierPath& path);
    void addQuadCurveToPointFromCommandScanner(SVGScanner& scanner, kx::BezierPath& path);

private:
    std::vector<std::shared_ptr<KXSVGGradient>> m_gradients;
    std::optional<float> m_groupOpacityValue;
    kx::Point m_previousControlPoint;
};
