#include "controls/tab_geometry.h"

KXTabButtonSideRects tabButtonSideRects(const QRectF& button) {
    const double x = button.x();
    const double y = button.y();
    const double w = button.width();
    const double h = button.height();
    return {QRectF(x - h / 2, y, h / 2, h), QRectF(x + w, y, h / 2, h)};
}

std::optional<KXTabViewSlideFrames> tabViewSlideFrames(const QRectF& bounds, int style) {
    const double w = bounds.width();
    const double h = bounds.height();
    switch (style) {
    case KXTabViewSlideFromRight:
        return KXTabViewSlideFrames{bounds.translated(w, 0), bounds, bounds.translated(-w, 0)};
    case KXTabViewSlideFromLeft:
        return KXTabViewSlideFrames{bounds.translated(-w, 0), bounds, bounds.translated(w, 0)};
    case KXTabViewSlideFromAbove:
        return KXTabViewSlideFrames{bounds.translated(0, -h), bounds, bounds.translated(0, h)};
    case KXTabViewSlideFromBelow:
        return KXTabViewSlideFrames{bounds.translated(0, h), bounds, bounds.translated(0, -h)};
    default:
        return std::nullopt;
    }
}
