// The scale of a view's drawing units relative to its window. Kept apart from any widget: the canvas
// view owns one, tells it the scale of its container and applies transform() to its painter.
#pragma once

#include "platform/foundation/geometry.h"

#include <functional>

class ViewScaling {
public:
    // `needsDisplay` is called whenever setScale changes what the view shows.
    explicit ViewScaling(std::function<void()> needsDisplay = {});

    // Window units per unit of the view's container (the enclosing views' scales combined).
    void setContainerScale(kx::Size containerScale);
    kx::Size containerScale() const { return m_containerScale; }

    // The size of one unit square of the view in window coordinates.
    kx::Size scale() const;
    // Resets the scaling, scales the view's unit square to `size` in window coordinates and asks for
    // a redraw. Applying the same size again gives the same result.
    void setScale(kx::Size size);
    // Scales the view's unit square so that one unit of the view is one unit of the window again.
    // A container with a zero scale cannot be undone and leaves the scaling as it is.
    void resetScaling();

    // The view's own scaling of its unit square, from view units to container units.
    kx::AffineTransform transform() const;

private:
    std::function<void()> m_needsDisplay;
    kx::Size m_containerScale{1, 1};
    kx::Size m_unitScale{1, 1};
};
