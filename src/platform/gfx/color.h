// A colour value with its colour space: the drawing colour that contexts fill and stroke with,
// and the interface colour that colour wells show. A default-constructed colour is the null
// colour ("no colour"), which drawing code treats as nothing to draw.
#pragma once

#include <QColor>

#include <array>
#include <initializer_list>

namespace kx {

enum class ColorSpace {
    SRGB,           // the space of every colour the program creates
    CalibratedRGB,  // the space interface colours are packed in; same primaries as sRGB here
    Gray,           // one component plus alpha
    Pattern,        // an image pattern; has no components and converts to nothing
};

class Color {
public:
    Color() = default;
    // Components in the order of the space, alpha last (RGB: 4, Gray: 2, Pattern: 0).
    // Extra components are ignored; missing ones are 0.
    Color(ColorSpace space, std::initializer_list<double> components);

    static Color srgb(double r, double g, double b, double a = 1.0) { return Color(ColorSpace::SRGB, {r, g, b, a}); }
    static Color gray(double white, double a = 1.0) { return Color(ColorSpace::Gray, {white, a}); }
    static Color pattern() { return Color(ColorSpace::Pattern, {}); }

    bool isNull() const { return m_null; }
    ColorSpace colorSpace() const { return m_space; }
    // Number of components including alpha; 0 for null and pattern colours.
    int componentCount() const { return m_count; }
    // Component i, or 0 when the colour has no such component.
    double component(int i) const { return i >= 0 && i < m_count ? m_components[i] : 0.0; }

    // The colour in another space; null when it cannot be converted (null or pattern colours).
    // Calibrated RGB and sRGB share their primaries here, so converting between them keeps the numbers.
    Color convertedTo(ColorSpace space) const;

    // Red, green, blue and alpha of the colour read in sRGB (0 for colours that cannot be converted).
    double red() const;
    double green() const;
    double blue() const;
    double alpha() const;

    // For painting with Qt; components are clamped to 0..1. An invalid QColor for null and pattern colours.
    QColor toQColor() const;
    static Color fromQColor(const QColor& c);

    friend bool operator==(const Color&, const Color&) = default;

private:
    bool m_null = true;
    ColorSpace m_space = ColorSpace::SRGB;
    int m_count = 0;
    std::array<double, 4> m_components{};
};

}  // namespace kx
