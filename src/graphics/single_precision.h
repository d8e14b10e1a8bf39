// Reals kept as 4-byte floats in archives and filter parameters.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

// A value as single precision: clamped into its range (a plain conversion of a larger value is undefined),
// NaN stays NaN.
inline float singlePrecision(double value) {
    constexpr double largest = std::numeric_limits<float>::max();
    return std::isnan(value) ? std::numeric_limits<float>::quiet_NaN() : float(std::clamp(value, -largest, largest));
}
