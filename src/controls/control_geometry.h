// Pure geometry of the shared controls: segment widths, the hover arrow of a pop-pane button and where a
// popover or balloon goes on screen. No widgets here, so every rule is testable as a table of numbers.
//
// Screen and widget rectangles are Qt's: y grows downwards.
#pragma once

#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>

#include <vector>

namespace kx::controls {

// Every segment but the last is this much wider than its own width: the room its divider takes.
inline constexpr double kSegmentSpacing = 3.0;

// The frames of a segmented control's segments, one after the other from `frame`'s left edge. `setWidths`
// holds each segment's set width; a width of 0 takes an equal share: (frame width - 3 (n - 1)) / n.
// `widths` are the segments' own widths, `drawRects` the frames they are drawn in and hit in (all but the
// last 3 points wider than their own width), so that equal shares fill the frame exactly.
struct SegmentLayout {
    std::vector<double> widths;
    std::vector<QRectF> drawRects;
};
SegmentLayout layoutSegments(const std::vector<double>& setWidths, const QRectF& frame);

// The divider drawn after segment `index` (none after the last): 2 points wide, from
// (round(x + width - 1) - 1, y + 1) of the segment's drawn rectangle, 2 points less high than it.
QRectF segmentDividerRect(const SegmentLayout& layout, std::size_t index);

// The index of the segment whose drawn frame holds x, or -1 outside every segment.
int segmentAt(const SegmentLayout& layout, double x);

// Where a pop-pane button draws its hover arrow: the button's image fitted into `bounds` (kept in
// proportion, centred) and the arrow, at its own size, 3 points in from the right edge and the bottom
// edge of that fitted area.
QRectF fittedImageRect(const QRectF& bounds, const QSizeF& imageSize);
QRectF clickArrowRect(const QRectF& bounds, const QSizeF& imageSize, const QSizeF& arrowSize);

// Which side of its anchor a popover opens on: hanging below (its top edge at the anchor's bottom, arrow at
// its top) or standing above (its bottom edge at the anchor's top, arrow at its bottom).
enum class PopoverEdge { Below, Above };

struct PopoverPlacement {
    QPoint origin;          // the window's top-left corner in screen coordinates
    PopoverEdge edge;       // the side actually used (the preferred one unless it did not fit)
    int arrowX = 0;         // where the arrow's tip is, in the window's own x
};

// Places a window of `size` centred on `anchor` (a screen rectangle; a point is an empty rectangle) on the
// preferred side, inside `available` (the available geometry of the screen holding the anchor):
// - it moves to the other side when it does not fit on the preferred one but does on the other;
// - it slides sideways to stay inside the screen, and its arrow slides the other way so that it keeps
//   pointing at the anchor (never closer than `arrowMargin` to the window's sides);
// - a window larger than the screen keeps its top-left corner on the screen.
PopoverPlacement placePopover(const QRect& anchor, const QSize& size, PopoverEdge preferred, const QRect& available,
                              int arrowMargin = 20);

// The middle of an anchor rectangle; an empty rectangle (a point) is its own corner. (QRect::center() of an
// empty rectangle lies a pixel up and left, which at a screen's edge is on the neighbouring screen.)
QPoint popoverAnchorPoint(const QRect& anchor);

// The available geometry that a popover anchored at `point` must keep to: that of the screen containing
// the point, or else of the screen nearest to it. An empty list gives an empty rectangle.
struct ScreenArea {
    QRect geometry;
    QRect available;
};
QRect availableAreaForPoint(const QPoint& point, const std::vector<ScreenArea>& screens);

// The same over the application's screens.
QRect availableAreaForPoint(const QPoint& point);

}  // namespace kx::controls
