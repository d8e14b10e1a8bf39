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
    if (!std::isfinite(angle))
        return 90;
    // Stored angles outside one turn (a template may hold 315, shown as 405) come back into the control's
    // range, where 360 is 0.
    const int control = int(std::fmod(std::trunc(angle + 90), 360.0));
    return control < 0 ? control + 360 : control;
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

namespace kx::inspectors {

int fillMenuIndex(bool fillEnabled, int fillType, int colorType) {
    if (!fillEnabled)
        return FillNone;
    if (fillType == 2)
        return FillImage;
    if (fillType != 0)
        return FillPattern;
    switch (colorType) {
    case 0: return FillSolid;
    case 1: return FillGradient;
    case 2: return FillAdvancedGradient;
    default: return FillNone;
    }
}

int fillAngleSlider(int angle) {
    return ((angle + 90) % 360 + 360) % 360;
}

int fillAngleFromSlider(int slider) {
    return fillAngleFromStepper(slider - 90);
}

int fillAngleFromStepper(int value) {
    if (value < 0)
        value += 360;
    return ((value % 360) + 360) % 360;
}

int typedFillAngle(int typed) {
    return std::clamp(typed, 0, 360);
}

int fillAngleControl(double angle) {
    const int truncated = int(std::trunc(angle));
    return truncated >= 360 ? truncated % 360 : truncated;
}

}  // namespace kx::inspectors
