#include "graphics/view_scaling.h"

ViewScaling::ViewScaling(std::function<void()> needsDisplay) : m_needsDisplay(std::move(needsDisplay)) {}

void ViewScaling::setContainerScale(kx::Size containerScale) {
    m_containerScale = containerScale;
}

kx::Size ViewScaling::scale() const {
    return {m_containerScale.width * m_unitScale.width, m_containerScale.height * m_unitScale.height};
}

void ViewScaling::resetScaling() {
    // Scaling the unit square by the size of one window unit in view units makes the view's scale 1.
    // That product is 1 / container scale; computed directly, a view scaled to zero can be reset too.
    if (m_containerScale.width == 0 || m_containerScale.height == 0)
        return;
    m_unitScale = {1 / m_containerScale.width, 1 / m_containerScale.height};
}

void ViewScaling::setScale(kx::Size size) {
    resetScaling();
    m_unitScale = {m_unitScale.width * size.width, m_unitScale.height * size.height};
    if (m_needsDisplay)
        m_needsDisplay();
}

kx::AffineTransform ViewScaling::transform() const {
    return kx::AffineTransform::makeScale(m_unitScale.width, m_unitScale.height);
}
