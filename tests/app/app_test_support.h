// Shared set-up of the window tests.
#pragma once

#include "model/canvas.h"
#include "platform/gfx/image.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>

namespace kxtest {

// A page rendering for the project's preview files that costs nothing: a flat grey image of the size asked.
inline kx::Image greyPageRendering(KXCanvas&, const kx::Size& size) {
    QImage image(std::max(1, int(size.width)), std::max(1, int(size.height)), QImage::Format_RGBA8888);
    image.fill(Qt::gray);
    return kx::Image(image);
}

// Each component of the rectangle within `tolerance` of the expected one.
inline void expectRectNear(const kx::Rect& actual, const kx::Rect& expected, double tolerance) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, tolerance);
    EXPECT_NEAR(actual.origin.y, expected.origin.y, tolerance);
    EXPECT_NEAR(actual.size.width, expected.size.width, tolerance);
    EXPECT_NEAR(actual.size.height, expected.size.height, tolerance);
}

}  // namespace kxtest
