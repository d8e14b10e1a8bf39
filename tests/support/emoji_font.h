// Tests that draw emoji need a colour emoji font (scripts/setup installs one). Like a missing outside
// program, a missing font skips the test on a developer's machine and fails it in CI.
#pragma once

#include "platform/text/text_attributes.h"
#include "support/outside_tools.h"

#include <QFontDatabase>
#include <QImage>
#include <QString>

#include <algorithm>

namespace kxtest {

inline const QString kEmojiFontFamily = QStringLiteral("Noto Color Emoji");
// A grinning face: drawn in yellows and browns by a colour emoji font.
inline const QString kGrinningFace = QString::fromUtf8("\xF0\x9F\x98\x80");

// Sets every grinning face of the text in the colour emoji font at the size given. (The DejaVu fonts
// have monochrome faces of their own, which font fallback would pick.)
inline void setEmojiFont(kx::AttributedString& text, double size) {
    kx::TextAttributes emoji;
    emoji.font = kx::Font::withFamily(kEmojiFontFamily, QStringLiteral("Regular"), size);
    for (qsizetype at = text.string().indexOf(kGrinningFace); at >= 0;
         at = text.string().indexOf(kGrinningFace, at + kGrinningFace.size()))
        text.addAttributes({at, kGrinningFace.size()}, emoji);
}

// Pixels that are clearly coloured (not black, white or grey) and mostly opaque inside a rectangle of the
// image (rows from the top).
inline int colouredPixels(const QImage& image, const QRect& area) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    const QRect inside = area.intersected(argb.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor c = argb.pixelColor(x, y);
            const int spread = std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()});
            count += c.alpha() > 160 && spread > 80;
        }
    return count;
}

}  // namespace kxtest

#define KX_REQUIRE_EMOJI_FONT()                                                                           \
    do {                                                                                                  \
        if (!QFontDatabase::families().contains(::kxtest::kEmojiFontFamily)) {                            \
            if (::kxtest::outsideToolsRequired())                                                         \
                GTEST_FAIL() << "font missing: " << ::kxtest::kEmojiFontFamily.toStdString()             \
                             << " (scripts/setup installs it)";                                          \
            else                                                                                          \
                GTEST_SKIP() << "font missing: " << ::kxtest::kEmojiFontFamily.toStdString();            \
        }                                                                                                 \
    } while (false)
