// Shared set-up of the window tests.
#pragma once

#include "model/canvas.h"
#include "platform/gfx/image.h"

#include <QImage>

#include <algorithm>

namespace kxtest {

// A page rendering for the project's preview files that costs nothing: a flat grey image of the size asked.
inline kx::Image greyPageRendering(KXCanvas&, const kx::Size& size) {
    QImage image(std::max(1, int(size.width)), std::max(1, int(size.height)), QImage::Format_RGBA8888);
    image.fill(Qt::gray);
    return kx::Image(image);
}

}  // namespace kxtest
