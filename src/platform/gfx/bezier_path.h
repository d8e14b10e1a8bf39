// An editable outline of move, line, cubic curve and close elements together with the pen it is
// drawn with (line width, cap, join, miter limit, dash pattern) and the rule it is filled with.
// This is the path type that shape builders and the SVG reader hand around; bitmap contexts draw
// its outline through toPath().
//
// Defaults are the drawing defaults of the whole program: width 1, butt cap, miter join, miter
// limit 10, no dash, non-zero winding, flatness 0.6.
//
// A path never needs a current point to accept a drawing element: on an empty path the current
// point is (0, 0), and a line or curve added there first moves to (0, 0); after a close the current
// point is the start of the closed subpath, and the next line or curve first moves back to it.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/path.h"

#include <QString>

#include <vector>

namespace kx {

class BezierPath {
public:
    enum class ElementType { MoveTo, LineTo, CurveTo, ClosePath };
    enum class LineCapStyle { Butt = 0, Round = 1, Square = 2 };
    enum class LineJoinStyle { Miter = 0, Round = 1, Bevel = 2 };

    // MoveTo and LineTo use points[0]; CurveTo the first control point, the second control point
    // and the end point, in that order; ClosePath none.
    struct Element {
        ElementType type = ElementType::MoveTo;
        Point points[3];
        int pointCount() const;
        friend bool operator==(const Element&, const Element&) = default;
    };

    static constexpr double defaultLineWidth = 1.0;
    static constexpr double defaultMiterLimit = 10.0;
    static constexpr double defaultFlatness = 0.6;

    BezierPath() = default;
    static BezierPath withRect(const Rect& rect);
    static BezierPath withOvalInRect(const Rect& rect);
    static BezierPath withRoundedRect(const Rect& rect, double xRadius, double yRadius);

    // ---- construction ----
    void moveTo(const Point& p);
    void lineTo(const Point& p);
    void curveTo(const Point& end, const Point& control1, const Point& control2);
    // Closes the open subpath; does nothing when there is none.
    void closePath();
    void removeAllPoints();

    // Appends the elements of `other` (its pen settings are not taken).
    void appendBezierPath(const BezierPath& other);
    // A closed subpath (minX, minY), (maxX, minY), (maxX, maxY), (minX, maxY).
    void appendBezierPathWithRect(const Rect& rect);
    // A closed subpath of four cubic quarter arcs starting at (maxX, midY), counter-clockwise in y-up space.
    void appendBezierPathWithOvalInRect(const Rect& rect);
    // A rectangle with elliptical corners; the radii are clamped to half the width and half the height,
    // and a zero radius gives a plain rectangle.
    void appendBezierPathWithRoundedRect(const Rect& rect, double xRadius, double yRadius);

    // ---- elements ----
    bool isEmpty() const { return m_elements.empty(); }
    int elementCount() const { return int(m_elements.size()); }
    // The element at `index`; a default MoveTo element at (0, 0) for an index out of range.
    Element elementAtIndex(int index) const;
    const std::vector<Element>& elements() const { return m_elements; }
    // The end point of the last element, the subpath's start after a close, (0, 0) for an empty path.
    Point currentPoint() const;

    // ---- geometry ----
    // The smallest rectangle holding the drawn outline (curves at their extremes); (0, 0, 0, 0) when empty.
    Rect bounds() const;
    // The smallest rectangle holding every point including control points; (0, 0, 0, 0) when empty.
    Rect controlPointBounds() const;
    // Every point mapped through `transform`; the pen settings are left alone.
    void transform(const AffineTransform& transform);
    // Whether `p` lies inside the filled outline under windingRule(); open subpaths count as closed.
    bool containsPoint(const Point& p) const;
    // The same outline with every curve replaced by lines that stay within flatness() of it.
    BezierPath flattened() const;

    // ---- pen and fill ----
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width) { m_lineWidth = width; }
    LineCapStyle lineCapStyle() const { return m_lineCap; }
    void setLineCapStyle(LineCapStyle style) { m_lineCap = style; }
    LineJoinStyle lineJoinStyle() const { return m_lineJoin; }
    void setLineJoinStyle(LineJoinStyle style) { m_lineJoin = style; }
    double miterLimit() const { return m_miterLimit; }
    void setMiterLimit(double limit) { m_miterLimit = limit; }
    double flatness() const { return m_flatness; }
    void setFlatness(double flatness) { m_flatness = flatness; }
    FillRule windingRule() const { return m_windingRule; }
    void setWindingRule(FillRule rule) { m_windingRule = rule; }
    // Dash lengths in user-space units, alternating on and off, starting `phase` units into the pattern.
    // An empty pattern draws solid lines.
    void setLineDash(const std::vector<double>& pattern, double phase);
    const std::vector<double>& lineDash() const { return m_dashPattern; }
    double lineDashPhase() const { return m_dashPhase; }

    // The outline as a graphics path (pen settings are not part of it).
    Path toPath() const;

    // A short readable form for logs: the element count and the bounds.
    QString description() const;

    friend bool operator==(const BezierPath&, const BezierPath&) = default;

private:
    void ensureSubpathForDrawing();
    bool hasOpenSubpath() const;

    std::vector<Element> m_elements;
    Point m_subpathStart;
    double m_lineWidth = defaultLineWidth;
    LineCapStyle m_lineCap = LineCapStyle::Butt;
    LineJoinStyle m_lineJoin = LineJoinStyle::Miter;
    double m_miterLimit = defaultMiterLimit;
    double m_flatness = defaultFlatness;
    FillRule m_windingRule = FillRule::Winding;
    std::vector<double> m_dashPattern;
    double m_dashPhase = 0;
};

}  // namespace kx
