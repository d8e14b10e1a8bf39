// One line of text laid out without wrapping, measured and drawn in points at 72 dpi: design metrics, no
// hinting, ligatures off (kerning stays). A font family that is not installed falls back through
// fontconfig. The calendar draws its year, month names, weekday names and day numbers this way.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/color.h"

#include <QString>

#include <memory>

class QTextLayout;

namespace kx {
class BitmapContext;
}

class SingleLineText {
public:
    // A size that is not a positive finite number, or a process without a graphical application, lays out
    // nothing.
    SingleLineText(const QString& text, const QString& fontFamily, double pointSize);
    ~SingleLineText();
    SingleLineText(const SingleLineText&) = delete;
    SingleLineText& operator=(const SingleLineText&) = delete;

    // Whether the line has glyphs to draw.
    bool hasGlyphs() const { return m_glyphCount > 0; }
    // The typographic width of the line (trailing spaces included).
    double width() const { return m_width; }
    // Ascent and descent of the line's last glyph run (its font, at the size), 0 without glyphs.
    double ascent() const { return m_ascent; }
    double descent() const { return m_descent; }
    // Height of the line as laid out: ascent plus descent of its tallest font.
    double lineHeight() const { return m_lineHeight; }

    // Draws the glyphs with the baseline's left end at `origin` in the context's y-up user space, upright.
    // Nothing without glyphs or for a null colour.
    void draw(kx::BitmapContext& context, const kx::Point& origin, const kx::Color& color) const;

private:
    std::unique_ptr<QTextLayout> m_layout;
    int m_glyphCount = 0;
    double m_width = 0;
    double m_ascent = 0;
    double m_descent = 0;
    double m_lineHeight = 0;
    double m_lineAscent = 0;  // at the reference size
    double m_scale = 1;       // from the reference size to the size asked for
};
