// A mutable vector path in a y-up user space: the outline type that shapes build and that bitmap
// contexts fill, stroke and clip with. Elements are kept as written (quadratic segments stay
// quadratic), so callers that walk a path see what they added; arcs and ellipses are stored as
// cubic segments.
#pragma once

#include "platform/foundation/geometry.h"

#include <QPainterPath>

#include <functional>
#include <vector>

namespace kx {

enum class FillRule {
    Winding,  // non-zero winding, the default fill rule
    EvenOdd,
};

class Path {
public:
    enum class ElementType { MoveTo, LineTo, QuadTo, CurveTo, Close };

    // One element with its points: MoveTo and LineTo use points[0]; QuadTo the control point
    // and the end point; CurveTo two control points and the end point; Close none.
    struct Element {
        ElementType type = ElementType::MoveTo;
        Point points[3];
        int pointCount() const;
        friend bool operator==(const Element&, const Element&) = default;
    };

    Path() = default;

    bool isEmpty() const { return m_elements.empty(); }
    const std::vector<Element>& elements() const { return m_elements; }
    // Calls `visit` with every element in order.
    void forEachElement(const std::function<void(const Element&)>& visit) const;

    void moveTo(const Point& p);
    // Without a current point, the line, curve and arc functions start a new subpath at their first point.
    void lineTo(const Point& p);
    void quadTo(const Point& control, const Point& end);
    void curveTo(const Point& control1, const Point& control2, const Point& end);
    // A circular arc around `center` from `startAngle` to `endAngle` (radians, counter-clockwise from the
    // positive x axis in the y-up space). `clockwise` chooses the direction of travel. With a current point a
    // line joins it to the arc's start; without one the arc starts a new subpath. A sweep of a full turn or
    // more draws the whole circle once.
    void addArc(const Point& center, double radius, double startAngle, double endAngle, bool clockwise);
    // A closed subpath: (minX, minY), (maxX, minY), (maxX, maxY), (minX, maxY).
    void addRect(const Rect& rect);
    // A closed subpath of four cubic segments starting at (maxX, midY), counter-clockwise in the y-up space.
    void addEllipseInRect(const Rect& rect);
    // Appends every element of `other`, each point transformed.
    void addPath(const Path& other, const AffineTransform& transform = AffineTransform());
    void closeSubpath();

    // The end point of the last element (the subpath's start after Close); (0, 0) for an empty path.
    Point currentPoint() const;
    bool hasCurrentPoint() const { return !m_elements.empty(); }

    // The smallest rectangle holding every point of the path, control points excepted; null when empty.
    Rect boundingBox() const;
    // The bounding box including the control points; null when empty.
    Rect controlPointBoundingBox() const;
    bool contains(const Point& p, FillRule rule = FillRule::Winding) const;

    // Each point mapped through the transform.
    Path transformed(const AffineTransform& transform) const;

    // The same outline as a Qt path in the same (y-up) coordinates; quadratic segments become cubic.
    QPainterPath toQPainterPath(FillRule rule = FillRule::Winding) const;
    static Path fromQPainterPath(const QPainterPath& path);

    friend bool operator==(const Path&, const Path&) = default;

private:
    std::vector<Element> m_elements;
    Point m_subpathStart;
};

}  // namespace kx
