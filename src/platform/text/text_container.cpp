#include "platform/text/text_container.h"

#include "platform/text/text_layout_manager.h"

#include <algorithm>

namespace kx {

namespace {
// Line heights and container sizes come out of divisions by scales (and scales out of single-precision
// archives), so a line that fits exactly may reach a rounding error past the bottom edge. Lines are set to a
// 64th of a point (the precision of QTextLayout's own positions); reaching past by less than that still fits.
constexpr double kBottomTolerance = 1.0 / 64;
}  // namespace

void TextContainer::setSize(Size size) {
    if (size == m_size)
        return;
    m_size = size;
    geometryChanged();
}

void TextContainer::setLineFragmentPadding(double padding) {
    if (padding == m_padding)
        return;
    m_padding = padding;
    geometryChanged();
}

void TextContainer::geometryChanged() {
    for (TextLayoutManager* manager : m_layoutManagers)
        manager->textContainerChangedGeometry(this);
}

Rect TextContainer::lineFragmentRect(const Rect& proposed, Rect* /*remaining*/) const {
    if (proposed.origin.y < 0 || proposed.origin.y + proposed.size.height > m_size.height + kBottomTolerance)
        return Rect();
    const double minX = std::max(0.0, proposed.origin.x);
    const double maxX = std::min(m_size.width, proposed.origin.x + proposed.size.width);
    if (maxX <= minX)
        return Rect(minX, proposed.origin.y, 0, proposed.size.height);
    return Rect(minX, proposed.origin.y, maxX - minX, proposed.size.height);
}

}  // namespace kx
