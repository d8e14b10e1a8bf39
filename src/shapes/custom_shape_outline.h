// Element helpers shared by the pen shape's node operations and its editing: a pen outline as a list of
// elements (a move, then curves with first control, second control and end point).
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/bezier_path.h"

#include <vector>

namespace kx::pen {

using Element = BezierPath::Element;
using Elements = std::vector<Element>;

inline bool isCurve(const Element& e) {
    return e.type == BezierPath::ElementType::CurveTo;
}

// The end point of a curve, else the element's first point.
inline Point onPathPoint(const Element& e) {
    return isCurve(e) ? e.points[2] : e.points[0];
}

// A curve whose two controls equal its end exactly.
inline bool isStraight(const Element& e) {
    return isCurve(e) && e.points[0] == e.points[2] && e.points[1] == e.points[2];
}

inline Element moveElement(const Point& p) {
    Element e;
    e.type = BezierPath::ElementType::MoveTo;
    e.points[0] = p;
    return e;
}

inline Element curveElement(const Point& c1, const Point& c2, const Point& end) {
    Element e;
    e.type = BezierPath::ElementType::CurveTo;
    e.points[0] = c1;
    e.points[1] = c2;
    e.points[2] = end;
    return e;
}

inline Point mid(const Point& a, const Point& b) {
    return {(a.x + b.x) / 2, (a.y + b.y) / 2};
}

inline Point plus(const Point& a, const Point& b) {
    return {a.x + b.x, a.y + b.y};
}

BezierPath pathOf(const Elements& elements);
// Moves the points an element really has (one for a move, three for a curve).
void translate(Elements& elements, double dx, double dy);
bool isFinite(const Elements& elements);
// The drawn bounds of the curve from `start` through the element.
Rect segmentBounds(const Point& start, const Element& e);
// Those bounds grown to at least 4 points each way (by 2 on each side along a thinner axis): the area in
// which the mouse is near the segment, for its insertion handle.
inline Rect segmentHoverBounds(const Point& start, const Element& e) {
    Rect bounds = segmentBounds(start, e);
    if (bounds.size.width < 4) {
        bounds.size.width += 4;
        bounds.origin.x -= 2;
    }
    if (bounds.size.height < 4) {
        bounds.size.height += 4;
        bounds.origin.y -= 2;
    }
    return bounds;
}
// The square of the side centred on the point, as the point-in-rectangle test reads it.
inline bool inSquare(const Point& centre, double side, const Point& p) {
    return Rect(centre.x - side / 2, centre.y - side / 2, side, side).contains(p);
}

}  // namespace kx::pen
