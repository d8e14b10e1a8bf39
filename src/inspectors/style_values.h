// How the style inspector's controls stand for the model's values, as plain functions so that every
// mapping is a table in the tests. Controls show whole numbers: the stroke width in tenths of a point,
// the shadow direction turned by 90 degrees (0 points up), opacities in percent.
#pragma once

#include <optional>

namespace kx::inspectors {

// The stroke menu: 0 is "No Stroke", i >= 1 the line style i - 1.
int strokeMenuIndex(bool enabled, unsigned style);

// A typed stroke width (tenths of a point): below 1 it is ignored; above 100 it is held at 100.
std::optional<double> typedStrokeWidthControl(double typed);
inline double strokeWidthFromControl(double value) { return value / 10; }
inline double strokeWidthControl(double width) { return width * 10; }

// The shadow angle control runs 0 to 360 and wraps: 360 is 0 and -1 is 359. The stored angle is the
// control's value less 90 degrees; the control shows the stored angle plus 90, truncated and brought into
// 0 ..< 360.
int wrappedShadowAngleControl(int value);
double shadowAngleFromControl(int value);
int shadowAngleControl(double angle);

// A typed whole number held to its control's range.
int clampedControlValue(int typed, int minimum, int maximum);

// The shadow opacity control: percent of the shadow colour's alpha, rounded (after a colour well change,
// truncated).
int shadowAlphaControl(double alpha);
int shadowAlphaControlTruncated(double alpha);

inline double opacityFromControl(double value) { return value / 100; }
inline double opacityControl(double opacity) { return opacity * 100; }

}  // namespace kx::inspectors

namespace kx::inspectors {

// The fill menu: 0 no fill, 1 solid, 2 two-colour gradient, 3 multi-stop gradient, 4 own image,
// 5 pattern. Read from a fill's flag and kinds; a colour kind out of range shows "no fill".
enum FillMenuItem { FillNone = 0, FillSolid, FillGradient, FillAdvancedGradient, FillImage, FillPattern };
int fillMenuIndex(bool fillEnabled, int fillType, int colorType);

// Gradient angles: steppers and fields show the angle, sliders (angle + 90) mod 360.
int fillAngleSlider(int angle);
int fillAngleFromSlider(int slider);
// A stepper's value as an angle: -1 is 359, 360 is 0.
int fillAngleFromStepper(int value);
// A typed angle: held to 0..360, and 360 is kept.
int typedFillAngle(int typed);
// The stored angle as the controls show it: truncated, and reduced modulo 360 from 360 on.
int fillAngleControl(double angle);

}  // namespace kx::inspectors
