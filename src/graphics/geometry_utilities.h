// Free functions of plane geometry shared by the page model, the shapes, the text layout, the
// image routines and the canvas: rotation and scaling about a centre, fitting sizes, intersecting
// lines, rounding rectangles and evaluating the cubic curves of shapes. No state, no allocation
// (but for the point strings of `splitCubicBezier`). Angles are radians unless a name says otherwise.
#pragma once

#include "platform/foundation/geometry.h"

#include <QStringList>

inline constexpr double kPi = 3.141592653589793;

// degrees × π ÷ 180, multiplied first.
double degreesToRadians(double degrees);
// radians × 180 ÷ π.
double radiansToDegrees(double radians);

// The transform about a centre: subtract the centre, rotate by the angle, scale along the page
// axes, add the centre (then, for makeTransformAboutCenter, apply `base`). Rotation comes before
// scaling, so unequal scales stretch a rotated point along the page axes.
kx::Point transformPointAboutCenter(kx::Point point, kx::Point center, double angle, double scaleX, double scaleY);
kx::AffineTransform makeTransformAboutCenter(kx::Point center, double angle, double scaleX, double scaleY,
                                         const kx::AffineTransform& base);
// The bounding box of the rectangle mapped by the transform about the centre.
kx::Rect transformRectAboutCenter(kx::Point center, double angle, double scaleX, double scaleY, kx::Rect rect);

// `size` scaled to fit inside `bound`, keeping its aspect ratio (it may scale up). A (0, 0) size
// or bound gives (0, 0); a side that cannot be computed (a zero side on both) comes out 0.
kx::Size aspectFitSize(kx::Size size, kx::Size bound);
// `size` scaled to cover `bound`, keeping its aspect ratio; degenerate inputs as aspectFitSize.
kx::Size aspectFillSize(kx::Size size, kx::Size bound);
// 1 when the size is wider or taller than the bound, -1 otherwise.
int compareSizeToSize(kx::Size size, kx::Size bound);
// A rectangle of `rect`'s aspect ratio, as large as fits, centred in `bound`. A `rect` without
// area gives an empty rectangle at the bound's centre.
kx::Rect aspectFitRect(kx::Rect rect, kx::Rect bound);
// Each component converted to single precision and rounded to the nearest whole number, halves to
// the even neighbour.
kx::Rect roundRectComponents(kx::Rect rect);
// The rectangle spanning the two points, grown by 1 on every side.
kx::Rect rectForPointsWithMargin(double x1, double y1, double x2, double y2);

// The intersection of the infinite lines P1-P2 and P3-P4 in whole numbers. Parallel lines have no
// intersection: each coordinate whose quotient is infinite saturates to the 32-bit range, and one
// that is undefined (coincident lines) is 0.
kx::Point lineIntersectionPoint(kx::Point p1, kx::Point p2, kx::Point p3, kx::Point p4);
// Whether segment P1-P2 meets segment P3-P4; collinear segments always do, and an end point on
// the other line counts as lying on its positive side.
bool segmentsIntersect(kx::Point p1, kx::Point p2, kx::Point p3, kx::Point p4);
// The point moved along the ray from the rectangle's centre to one unit beyond the edge the ray
// crosses; a point the rectangle does not contain is returned unchanged. A point on the centre's
// vertical line goes to a horizontal edge and one on its horizontal line to a vertical edge; the
// centre itself goes to the top edge.
kx::Point projectPointToRectEdge(kx::Point point, kx::Rect rect);

// The cubic Bezier of one coordinate at t. Note the argument order: the end comes second.
double cubicBezierValue(double start, double end, double control1, double control2, double t);
// The curve from start to end with first control = start and second control = handle, evaluated
// at its handle parameter t = 0.68.
double curvePointAtHandleParam(double start, double end, double handle);
// The handle with which that curve passes through `through` at t = 0.68.
double curveHandleThroughPoint(double start, double end, double through);
// The control points of the two halves of the curve split at t, as four point strings
// "{x, y}": Q0, R0, R1, Q2 (the split point itself is not included).
QStringList splitCubicBezier(kx::Point start, kx::Point end, kx::Point control1, kx::Point control2, double t);
