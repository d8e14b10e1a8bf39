// Small helpers for tests that look at pixels of rendered images.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <gtest/gtest.h>

namespace kxtest {

// An un-premultiplied RGBA sample.
struct Rgba {
    int r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

std::ostream& operator<<(std::ostream& os, const Rgba& c);

// The pixel at (x, y) with y counted from the top row of memory (row 0), un-premultiplied.
Rgba pixelAt(const QImage& image, int x, int y);

// The pixel at (x, y) with y counted from the bottom row, as in a y-up drawing space.
Rgba pixelAtYUp(const QImage& image, int x, int y);

// Passes when every channel of `actual` is within `tolerance` of `expected`.
::testing::AssertionResult colorNear(const Rgba& actual, const Rgba& expected, int tolerance = 2);

// Largest per-channel difference between two images of one size; -1 when the sizes differ.
int maxChannelDifference(const QImage& a, const QImage& b);

// Fraction of pixels whose channels differ by more than `tolerance`.
double fractionDiffering(const QImage& a, const QImage& b, int tolerance);

}  // namespace kxtest

#define EXPECT_COLOR_NEAR(actual, expected, tol) EXPECT_TRUE(::kxtest::colorNear((actual), (expected), (tol)))
