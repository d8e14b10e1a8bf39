// Builders of every shape outline inside a rectangle, and the conversion of an outline into a drawing
// path. The builders keep no state and read nothing but their arguments; points are placed relative to
// the rectangle's origin in a y-up space, so the maxY edge is the top of a shape. None of them adds a
// close element unless its description says so.
#pragma once

#include "model/path_point.h"
#include "platform/foundation/geometry.h"
#include "platform/foundation/value.h"
#include "platform/gfx/bezier_path.h"
#include "platform/gfx/path.h"

#include <optional>

// Side and point counts above this are built with this many; beyond it an outline looks the same.
inline constexpr long kMaxShapeSides = 1000;

// The drawing path of a bezier path, nullopt for a path without elements. With `close` the last
// subpath is closed when it is still open; earlier open subpaths stay open.
std::optional<kx::Path> quartzPathWhileClose(const kx::BezierPath& path, bool close);

// Apex at the middle of the maxY edge, base along the minY edge; closed.
kx::BezierPath equilTriangle(const kx::Rect& rect);
// Right angle at (minX, minY); closed.
kx::BezierPath rightTriangle(const kx::Rect& rect);
// A rounded rectangle with the given corner radii.
kx::BezierPath circular(const kx::Rect& rect, double radiusX, double radiusY);
// An arrow pointing along x: "rightDirection" (boolean), "width" (shaft inset as a fraction of the
// height) and "arrow" (head length as a fraction of the width). Closed.
kx::BezierPath singleArrow(const kx::Rect& rect, const kx::ValueDictionary& dic);
// An arrow with a head at each end: "widthScale" (distance between the heads' bases as a fraction of
// the width) and "breadthScale" (shaft inset as a fraction of the height). Closed.
kx::BezierPath doubleArrowInRect(const kx::Rect& rect, const kx::ValueDictionary& dic);
// Through the four edge midpoints; closed.
kx::BezierPath lozengeInRect(const kx::Rect& rect);
// A regular polygon on the ellipse inscribed in the rectangle, its first vertex on the middle of the
// maxY edge, running toward +x. Empty for no sides. Not closed.
kx::BezierPath polygonInRect(const kx::Rect& rect, long sides);
// A star of `points` outer vertices on the inscribed ellipse and inner ones `radiusScale` times as far
// from the centre. Empty for no points. Not closed.
kx::BezierPath starInRect(const kx::Rect& rect, long points, float radiusScale);
// A rounded body rectangle whose outline leaves it toward `arrowPoint` and comes back, the two sides of
// the tail leaving the body `arrowRadius` degrees either side of the tail point as seen from the body's
// centre. A tail point inside the body gives the plain rounded rectangle. `precision` is how close a
// curve must come to a break point. The first rectangle is not read. Closed.
kx::BezierPath bubble(const kx::Rect& rect, const kx::Rect& bubbleRect, double bubbleRadius, double arrowRadius,
                      const kx::Point& arrowPoint, double precision);
// The pen path: a move to the first entry's point1, then per further entry a curve to its point3 with
// point1 and point2 as controls; relative points mapped into the rectangle (sides below 1 read as 1).
kx::BezierPath customPathWithPoints(const KXPathPointArray& points, const kx::Rect& rect);
// The first entry's point1 to its point2 (sides of 0 or less read as 1).
kx::BezierPath linePathWithPoints(const KXPathPointArray& points, const kx::Rect& rect);
// From the first entry's point1 to its point2, passing through its point3 at the handle parameter.
kx::BezierPath curvePathWithPoints(const KXPathPointArray& points, const kx::Rect& rect);
// A stem from point1 to point2 with a triangular head at point2 whose sides are `markRadius` long at
// 20 degrees either side of the stem. Closed.
kx::BezierPath markShapeWithPoint(const KXPathPointArray& points, const kx::Rect& rect, double markRadius);
// The same head from a tail and a tip given in the rectangle's own points: move to the tail, lines to the
// head's base crossing X, the left corner, the tip, the right corner and X, closed. X is in whole numbers;
// a stem or head without length puts X on the head's base point.
kx::BezierPath markPathWithStartPoint(const kx::Point& tail, const kx::Point& tip, double markRadius);
