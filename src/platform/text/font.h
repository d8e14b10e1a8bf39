// Fonts of the text system: a font as stored with a text (PostScript name, family, style, point size)
// and its resolution to an installed face for measuring and drawing.
//
// Text units are points at 72 dpi whatever the screen: a 12-point font is 12 units high. A stored font
// keeps its names even when no such face is installed, so texts round-trip; measuring and drawing then
// fall back through fontconfig to the nearest installed face. Metrics are design metrics without hinting.
#pragma once

#include "platform/foundation/geometry.h"

#include <QFont>
#include <QString>

#include <optional>

class QPaintDevice;

namespace kx {

// Largest point size a font keeps; a larger one is cut down to it.
inline constexpr double kLargestFontSize = 16384.0;

// The size a font keeps for `pointSize`: a negative size or one that is not a finite number becomes the
// 12 points it would be drawn at anyway, a huge one the largest size. Zero stays: it asks for the default
// size. So no font ever holds a size that cannot be saved and read back.
double repairedFontSize(double pointSize);

// A font as a text stores it. Plain value; equal when all four fields are equal.
class Font {
public:
    Font() = default;
    Font(QString postScriptName, QString family, QString style, double pointSize)
        : m_name(std::move(postScriptName)),
          m_family(std::move(family)),
          m_style(std::move(style)),
          m_size(repairedFontSize(pointSize)) {}

    // The font of a family and style ("Book", "Bold", "Oblique", ...); the PostScript name is derived
    // from the installed face when there is one, else made up from the two names.
    static Font withFamily(const QString& family, const QString& style, double pointSize);
    // The default font of the text system at the given size (DejaVu Sans).
    static Font defaultFont(double pointSize);
    // The installed face with this PostScript name, else the regular face of the family of this name;
    // nullopt when neither is installed.
    static std::optional<Font> named(const QString& name, double pointSize);

    QString postScriptName() const { return m_name; }
    QString family() const { return m_family; }
    QString style() const { return m_style; }
    double pointSize() const { return m_size; }
    Font withSize(double pointSize) const { return Font(m_name, m_family, m_style, pointSize); }
    // The face of the same family with or without bold and italic: the installed style that has them
    // (the plainest such style), or for a family that is not installed one named after them.
    Font withTraits(bool bold, bool italic) const;
    bool isBold() const;
    bool isItalic() const;

    // Whether a face of this family and style, or of this PostScript name, is installed.
    bool isInstalled() const;

    // The Qt font to measure and draw with, set up for the 72-dpi device below (see textPaintDevice):
    // the installed face by family and style, else by PostScript name, else fontconfig's fallback for
    // the family name. No hinting, kerning on.
    QFont qfont() const;

    // Metrics of the resolved face, in points.
    double ascent() const;
    double descent() const;  // positive, below the baseline
    double leading() const;  // never negative
    // Ascent + descent + leading: the default height of a line set in this font.
    double lineHeight() const;
    // Natural width of a string on one line.
    double widthOfString(const QString& text) const;

    friend bool operator==(const Font&, const Font&) = default;

private:
    QString m_name;
    QString m_family;
    QString m_style;
    double m_size = 0;
};

// The 72-dpi device that fonts are resolved against, so that a point is one text unit.
const QPaintDevice* textPaintDevice();

}  // namespace kx
