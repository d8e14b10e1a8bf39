#include "platform/text/text_container.h"

#include <algorithm>

namespace kx {

Rect TextContainer::lineFragmentRect(const Rect& proposed, Rect* /*remaining*/) const {
    if (proposed.origin.y < 0 || proposed.origin.y + proposed.size.height > m_size.height)
        return Rect();
    const double minX = std::max(0.0, proposed.origin.x);
    const double maxX = std::min(m_size.width, proposed.origin.x + proposed.size.width);
    if (maxX <= minX)
        return Rect(minX, proposed.origin.y, 0, proposed.size.height);
    return Rect(minX, proposed.origin.y, maxX - minX, proposed.size.height);
}

}  // namespace kx
