// The repair of number-valued text attributes. A text may carry values that were set by a caller or read from a
// damaged file; repairing them where every attributed string keeps its runs means that one bad value can neither
// poison the layout nor be saved in a form that can no longer be read.
#include "platform/text/text_attributes.h"

#include <algorithm>
#include <cmath>

namespace kx {

namespace {

constexpr double kLimit = kLargestTextAttributeValue;

// A value that may be negative: cut to the limits, or `fallback` when it is not a finite number.
double repairedSigned(double value, double fallback) {
    return std::isfinite(value) ? std::clamp(value, -kLimit, kLimit) : fallback;
}

// A value that cannot be negative: below zero it is zero.
double repairedNonNegative(double value, double fallback) {
    return std::isfinite(value) ? std::clamp(value, 0.0, kLimit) : fallback;
}

void repairParagraphStyle(ParagraphStyle& style) {
    const ParagraphStyle defaults;
    for (double ParagraphStyle::*field :
         {&ParagraphStyle::lineSpacing, &ParagraphStyle::paragraphSpacing, &ParagraphStyle::paragraphSpacingBefore,
          &ParagraphStyle::lineHeightMultiple, &ParagraphStyle::minimumLineHeight, &ParagraphStyle::maximumLineHeight})
        style.*field = repairedNonNegative(style.*field, defaults.*field);
    for (double ParagraphStyle::*field :
         {&ParagraphStyle::firstLineHeadIndent, &ParagraphStyle::headIndent, &ParagraphStyle::tailIndent})
        style.*field = repairedSigned(style.*field, defaults.*field);
}

void repairShadow(TextShadow& shadow) {
    shadow.offsetX = repairedSigned(shadow.offsetX, 0);
    shadow.offsetY = repairedSigned(shadow.offsetY, 0);
    shadow.blurRadius = repairedNonNegative(shadow.blurRadius, 0);
}

}  // namespace

void repairTextAttributes(TextAttributes& attributes) {
    if (attributes.font)
        attributes.font = attributes.font->withSize(attributes.font->pointSize());
    if (attributes.paragraphStyle)
        repairParagraphStyle(*attributes.paragraphStyle);
    if (attributes.shadow)
        repairShadow(*attributes.shadow);
    for (std::optional<double> TextAttributes::*field :
         {&TextAttributes::kern, &TextAttributes::baselineOffset, &TextAttributes::strokeWidth,
          &TextAttributes::obliqueness, &TextAttributes::expansion}) {
        std::optional<double>& value = attributes.*field;
        if (value)
            value = std::isfinite(*value) ? std::optional(std::clamp(*value, -kLimit, kLimit)) : std::nullopt;
    }
}

}  // namespace kx
