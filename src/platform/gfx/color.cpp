#include "platform/gfx/color.h"

#include <algorithm>
#include <cmath>

namespace kx {

static int componentsOf(ColorSpace space) {
    switch (space) {
    case ColorSpace::SRGB:
    case ColorSpace::CalibratedRGB: return 4;
    case ColorSpace::Gray: return 2;
    case ColorSpace::Pattern: return 0;
    }
    return 0;
}

Color::Color(ColorSpace space, std::initializer_list<double> components)
    : m_null(false), m_space(space), m_count(componentsOf(space)) {
    int i = 0;
    for (double c : components) {
        if (i >= m_count)
            break;
        m_components[i++] = c;
    }
}

Color Color::convertedTo(ColorSpace space) const {
    if (m_null || m_space == ColorSpace::Pattern || space == ColorSpace::Pattern)
        return Color();
    if (space == m_space)
        return *this;
    const bool fromGray = m_space == ColorSpace::Gray;
    if (space == ColorSpace::Gray) {
        // Rec. 709 luma, the weights of sRGB's primaries.
        const double y = 0.2126 * m_components[0] + 0.7152 * m_components[1] + 0.0722 * m_components[2];
        return Color(space, {y, m_components[3]});
    }
    if (fromGray)
        return Color(space, {m_components[0], m_components[0], m_components[0], m_components[1]});
    return Color(space, {m_components[0], m_components[1], m_components[2], m_components[3]});
}

double Color::red() const { return convertedTo(ColorSpace::SRGB).component(0); }
double Color::green() const { return convertedTo(ColorSpace::SRGB).component(1); }
double Color::blue() const { return convertedTo(ColorSpace::SRGB).component(2); }
double Color::alpha() const { return convertedTo(ColorSpace::SRGB).component(3); }

static double unit(double v) {
    return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0);
}

QColor Color::toQColor() const {
    const Color c = convertedTo(ColorSpace::SRGB);
    if (c.isNull())
        return QColor();
    return QColor::fromRgbF(float(unit(c.m_components[0])), float(unit(c.m_components[1])),
                            float(unit(c.m_components[2])), float(unit(c.m_components[3])));
}

Color Color::fromQColor(const QColor& q) {
    if (!q.isValid())
        return Color();
    const QColor rgb = q.toRgb();
    return srgb(rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
}

}  // namespace kx
