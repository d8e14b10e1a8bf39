// Geometry of the tab bar's selected look and of the tab view's slides, kept apart from the widgets so that
// it can be checked without any. Rectangles are in the widget's own coordinates (y downwards).
#pragma once

#include <QRectF>

#include <optional>

// The two ellipses drawn beside a selected tab button, each half the button's height wide and as high as
// it: one just left of the button, one just right of it. Only their shadows and the inner edges of their
// frames fall inside the button.
struct KXTabButtonSideRects {
    QRectF left;
    QRectF right;
};
KXTabButtonSideRects tabButtonSideRects(const QRectF& button);

// Slide styles of KXTabView::showView. Any other value swaps the views at once.
enum KXTabViewSlideStyle : int {
    KXTabViewSlideFromRight = 0,  // the new view comes in from the right, the old one leaves to the left
    KXTabViewSlideFromLeft = 1,
    KXTabViewSlideFromAbove = 2,  // the new view comes down from above, the old one leaves downwards
    KXTabViewSlideFromBelow = 3,
    KXTabViewNoAnimation = 4,
};

// Where the views of a slide start and end; the old view starts at the bounds and the new one ends there.
struct KXTabViewSlideFrames {
    QRectF newStart;
    QRectF newEnd;
    QRectF oldEnd;
};
// The frames of a slide of the style inside the bounds; none for a style that does not slide.
std::optional<KXTabViewSlideFrames> tabViewSlideFrames(const QRectF& bounds, int style);
