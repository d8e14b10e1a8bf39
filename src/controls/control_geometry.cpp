#include "controls/control_geometry.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kx::controls {

SegmentLayout layoutSegments(const std::vector<double>& setWidths, const QRectF& frame) {
    SegmentLayout layout;
    const auto n = setWidths.size();
    if (n == 0)
        return layout;
    const double share = (frame.width() - kSegmentSpacing * double(n - 1)) / double(n);
    double x = frame.left();
    for (std::size_t i = 0; i < n; ++i) {
        const double width = setWidths[i] > 0 ? setWidths[i] : share;
        const double drawn = i + 1 < n ? width + kSegmentSpacing : width;
        layout.widths.push_back(width);
        layout.drawRects.emplace_back(x, frame.top(), drawn, frame.height());
        x += drawn;
    }
    return layout;
}

QRectF segmentDividerRect(const SegmentLayout& layout, std::size_t index) {
    if (index + 1 >= layout.drawRects.size())
        return {};
    const QRectF& r = layout.drawRects[index];
    return {std::round(r.x() + r.width() - 1) - 1, r.y() + 1, 2, r.height() - 2};
}

int segmentAt(const SegmentLayout& layout, double x) {
    for (std::size_t i = 0; i < layout.drawRects.size(); ++i) {
        const QRectF& r = layout.drawRects[i];
        if (x >= r.left() && x < r.left() + r.width())
            return int(i);
    }
    return -1;
}

QRectF fittedImageRect(const QRectF& bounds, const QSizeF& imageSize) {
    if (imageSize.isEmpty() || bounds.isEmpty())
        return {bounds.center(), QSizeF(0, 0)};
    const QSizeF fitted = imageSize.scaled(bounds.size(), Qt::KeepAspectRatio);
    return {bounds.left() + (bounds.width() - fitted.width()) / 2,
            bounds.top() + (bounds.height() - fitted.height()) / 2, fitted.width(), fitted.height()};
}

QRectF clickArrowRect(const QRectF& bounds, const QSizeF& imageSize, const QSizeF& arrowSize) {
    constexpr double inset = 3;
    const QRectF area = fittedImageRect(bounds, imageSize);
    return {area.right() - inset - arrowSize.width(), area.bottom() - inset - arrowSize.height(), arrowSize.width(),
            arrowSize.height()};
}

namespace {

// Keeps [start, start + length) inside [low, high) where it can; a span longer than the room starts at low.
int clampSpan(int start, int length, int low, int high) {
    if (start + length > high)
        start = high - length;
    return std::max(start, low);
}

}  // namespace

PopoverPlacement placePopover(const QRect& anchor, const QSize& size, PopoverEdge preferred, const QRect& available,
                              int arrowMargin) {
    // QRect's right() and bottom() are one short of the edges; work with the edges themselves.
    const int anchorTop = anchor.y();
    const int anchorBottom = anchor.y() + std::max(anchor.height(), 0);
    const int screenTop = available.y();
    const int screenBottom = available.y() + available.height();
    const int anchorCentreX = popoverAnchorPoint(anchor).x();

    const int belowY = anchorBottom;
    const int aboveY = anchorTop - size.height();
    const bool fitsBelow = belowY + size.height() <= screenBottom;
    const bool fitsAbove = aboveY >= screenTop;

    PopoverEdge edge = preferred;
    if (preferred == PopoverEdge::Below && !fitsBelow && fitsAbove)
        edge = PopoverEdge::Above;
    else if (preferred == PopoverEdge::Above && !fitsAbove && fitsBelow)
        edge = PopoverEdge::Below;
    else if (!fitsBelow && !fitsAbove)
        // Neither side has room: take the roomier side and let the clamp below keep it on screen.
        edge = (screenBottom - anchorBottom) >= (anchorTop - screenTop) ? PopoverEdge::Below : PopoverEdge::Above;

    int y = edge == PopoverEdge::Below ? belowY : aboveY;
    y = clampSpan(y, size.height(), screenTop, screenBottom);

    int x = anchorCentreX - size.width() / 2;
    x = clampSpan(x, size.width(), available.x(), available.x() + available.width());

    PopoverPlacement placement;
    placement.origin = QPoint(x, y);
    placement.edge = edge;
    const int margin = std::min(arrowMargin, size.width() / 2);
    placement.arrowX = std::clamp(anchorCentreX - x, margin, size.width() - margin);
    return placement;
}

QPoint popoverAnchorPoint(const QRect& anchor) {
    return {anchor.x() + std::max(anchor.width(), 0) / 2, anchor.y() + std::max(anchor.height(), 0) / 2};
}

QRect availableAreaForPoint(const QPoint& point, const std::vector<ScreenArea>& screens) {
    const ScreenArea* nearest = nullptr;
    double nearestDistance = std::numeric_limits<double>::infinity();
    for (const ScreenArea& screen : screens) {
        if (screen.geometry.contains(point))
            return screen.available;
        // Distance from the point to the screen's rectangle (0 inside).
        const QRect& g = screen.geometry;
        const double dx = std::max({g.left() - point.x(), 0, point.x() - g.right()});
        const double dy = std::max({g.top() - point.y(), 0, point.y() - g.bottom()});
        const double distance = std::hypot(dx, dy);
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = &screen;
        }
    }
    return nearest ? nearest->available : QRect();
}

QRect availableAreaForPoint(const QPoint& point) {
    std::vector<ScreenArea> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.push_back({screen->geometry(), screen->availableGeometry()});
    return availableAreaForPoint(point, screens);
}

}  // namespace kx::controls
