#include "inspectors/style_values.h"

#include <algorithm>
#include <cmath>

namespace kx::inspectors {

int strokeMenuIndex(bool enabled, unsigned style) {
    return enabled ? int(style) + 1 : 0;
}

std::optional<double> typedStrokeWidthControl(double typed) {
    if (!(typed >= 1))
        return std::nullopt;
    return std::min(typed, 100.0);
}

int wrappedShadowAngleControl(int value) {
    if (value >= 360)
        return 0;
    if (value < 0)
        return 359;
    return value;
}

double shadowAngleFromControl(int value) {
    return wrappedShadowAngleControl(value) - 90;
}

int shadowAngleControl(double angle) {
    return int(std::trunc(angle + 90));
}

int clampedControlValue(int typed, int minimum, int maximum) {
    return std::clamp(typed, minimum, maximum);
}

int shadowAlphaControl(double alpha) {
    return int(std::lround(alpha * 100));
}

int shadowAlphaControlTruncated(double alpha) {
    return int(std::trunc(alpha * 100));
}

}  // namespace kx::inspectors
