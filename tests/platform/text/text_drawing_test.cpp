#include "platform/gfx/bitmap_context.h"
#include "platform/text/text_layout_manager.h"

#include <QFontMetricsF>

#include "support/emoji_font.h"
#include "support/pixel_probe.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace kx;
using kxtest::pixelAt;
using kxtest::Rgba;

namespace {

const Rgba kClear{0, 0, 0, 0};
const Rgba kRed{255, 0, 0, 255};
const Rgba kBlue{0, 0, 255, 255};
const Rgba kGreen{0, 255, 0, 255};

// A 100-point "l" of DejaVu Sans: a vertical stem about 13 points wide, left of x = 5 + 9..22.
TextAttributes bigL() {
    TextAttributes a;
    a.font = Font::withFamily(QStringLiteral("DejaVu Sans"), QStringLiteral("Book"), 100);
    a.foregroundColor = Color::srgb(1, 0, 0);
    a.strokeColor = Color::srgb(0, 0, 1);
    return a;
}

// Draws the text of one container into a y-up context that is flipped for the text, as callers do.
QImage drawText(const AttributedString& text, Size containerSize, int width, int height, int drawContainer = 0,
                std::vector<std::shared_ptr<TextContainer>> more = {}, LineJoin join = LineJoin::Miter) {
    auto storage = std::make_shared<TextStorage>(text);
    TextLayoutManager manager(storage);
    manager.addTextContainer(std::make_shared<TextContainer>(containerSize));
    for (auto& c : more)
        manager.addTextContainer(c);
    BitmapContext context(width, height);
    context.translate(0, height);
    context.scale(1, -1);
    context.setLineJoin(join);
    manager.drawBackground(context, drawContainer, Point(0, 0));
    manager.drawGlyphs(context, drawContainer, Point(0, 0));
    return context.makeImage().qimage();
}

// The stem of the "l" on the row half way down the glyph: its left and right edge columns.
std::pair<int, int> stemEdges(const QImage& image, int row) {
    int left = -1, right = -1;
    for (int x = 0; x < image.width(); ++x) {
        if (pixelAt(image, x, row).a > 0) {
            if (left < 0)
                left = x;
            right = x;
        }
    }
    return {left, right};
}

}  // namespace

TEST(TextDrawing, TheStrokeWidthRuleFillsStrokesOrBoth) {
    struct Case {
        const char* name;
        std::optional<double> strokeWidth;
        Rgba centre;  // the middle of the stem
        Rgba edge;    // the outer edge of the stem
    };
    const Case cases[] = {
        {"no stroke width: filled", std::nullopt, kRed, kRed},
        {"zero: filled", 0.0, kRed, kRed},
        {"positive: stroked only", 3.0, kClear, kBlue},
        {"negative: filled and stroked", -3.0, kRed, kBlue},
    };
    const int row = 60;  // well inside the stem's height (baseline near 93)
    const QImage plain = drawText(AttributedString(QStringLiteral("l"), bigL()), Size(200, 200), 60, 130);
    const auto [left, right] = stemEdges(plain, row);
    ASSERT_GT(right - left, 8);
    for (const auto& c : cases) {
        TextAttributes a = bigL();
        a.strokeWidth = c.strokeWidth;
        const QImage image = drawText(AttributedString(QStringLiteral("l"), a), Size(200, 200), 60, 130);
        const auto [l, r] = stemEdges(image, row);
        EXPECT_COLOR_NEAR(pixelAt(image, (l + r) / 2, row), c.centre, 3) << c.name;
        EXPECT_COLOR_NEAR(pixelAt(image, l + 1, row), c.edge, 3) << c.name;
        if (c.strokeWidth && *c.strokeWidth != 0)  // the stroke (3 points) reaches outside the fill
            EXPECT_LT(l, left) << c.name;
    }
}

TEST(TextDrawing, TheCallersLineJoinShapesTheStroke) {
    TextAttributes a = bigL();
    a.font = Font::withFamily(QStringLiteral("DejaVu Sans"), QStringLiteral("Bold"), 100);
    a.strokeWidth = 20;  // 20 points wide: corners differ clearly between miter and round joins
    const AttributedString text(QStringLiteral("l"), a);
    const QImage miter = drawText(text, Size(200, 200), 80, 150, 0, {}, LineJoin::Miter);
    const QImage round = drawText(text, Size(200, 200), 80, 150, 0, {}, LineJoin::Round);
    EXPECT_GT(kxtest::fractionDiffering(miter, round, 10), 0.001);
}

TEST(TextDrawing, BackgroundsAndUnderlinesUseTheirColours) {
    TextAttributes a;
    a.font = Font::withFamily(QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Book"), 20);
    a.foregroundColor = Color::srgb(1, 0, 0);
    a.backgroundColor = Color::srgb(0, 1, 0);
    a.underline = kUnderlineThick;
    a.underlineColor = Color::srgb(0, 0, 1);
    const QImage image = drawText(AttributedString(QStringLiteral("__  __"), a), Size(300, 100), 120, 40);
    const double baseline = a.font->ascent();
    // Between the words (two spaces): background colour above the underline, underline colour on it.
    const int x = 5 + int(2.5 * a.font->widthOfString(QStringLiteral("_")));
    EXPECT_COLOR_NEAR(pixelAt(image, x, 3), kGreen, 3);
    const QFontMetricsF metrics(a.font->qfont(), textPaintDevice());
    EXPECT_COLOR_NEAR(pixelAt(image, x, int(baseline + metrics.underlinePos())), kBlue, 3);
    // Beyond the text: nothing.
    EXPECT_EQ(pixelAt(image, 115, 3), kClear);
}

TEST(TextDrawing, TextPastTheLastContainerIsNotDrawnAndEachContainerDrawsItsOwn) {
    TextAttributes a = bigL();
    a.font = a.font->withSize(20);
    const double line = a.font->lineHeight();
    // "llll" fits one line of the first container; "mmmm" would go to a second line that does not exist.
    const AttributedString text(QStringLiteral("llll mmmm"), a);
    const QImage one = drawText(text, Size(60, line + 1), 200, 100);
    int inked = 0;
    for (int y = int(line) + 2; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            inked += pixelAt(one, x, y).a > 0;
    EXPECT_EQ(inked, 0);
    // With a second container, it draws "mmmm" in its own coordinates: at its top, not below the first line.
    const QImage second =
        drawText(text, Size(60, line + 1), 200, 100, 1, {std::make_shared<TextContainer>(Size(100, 100))});
    int top = 0;
    for (int y = 0; y < int(line); ++y)
        for (int x = 0; x < 200; ++x)
            top += pixelAt(second, x, y).a > 0;
    EXPECT_GT(top, 50);
}

TEST(TextDrawing, AnEmptyStorageDrawsNothing) {
    const QImage image = drawText(AttributedString(), Size(100, 100), 20, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(pixelAt(image, x, y), kClear);
}

namespace {

// Draws one container's text into a context of the kind given, flipped for the text and scaled, with the
// container's origin at `origin`.
QImage drawScaled(const AttributedString& text, double scale, Point origin, int width, int height,
                  BitmapContext::Kind kind = BitmapContext::Kind::RGBA) {
    auto storage = std::make_shared<TextStorage>(text);
    TextLayoutManager manager(storage);
    manager.addTextContainer(std::make_shared<TextContainer>(Size(1000, 1000)));
    BitmapContext context(width, height, kind);
    context.translate(0, height);
    context.scale(scale, -scale);
    manager.drawGlyphs(context, 0, origin);
    return context.makeImage().qimage();
}

// The smallest rectangle holding every pixel with some ink (alpha, or grey for a grey image).
QRect inkBox(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const bool grey = image.format() == QImage::Format_Grayscale8;
    QRect box;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            const QColor c = argb.pixelColor(x, y);
            if ((grey ? c.red() : c.alpha()) > 40)
                box = box.united(QRect(x, y, 1, 1));
        }
    return box;
}

}  // namespace

// Filled glyphs are drawn as glyphs and stroked ones as outline paths: both must come out upright and in
// the same place, at any scale and origin. A hairline stroke traces the outlines.
TEST(TextDrawing, FilledGlyphsLieWhereTheirOutlinesAre) {
    TextAttributes a = bigL();
    a.font = a.font->withSize(40);
    const QString string = QStringLiteral("Pg lj");
    for (const auto& [name, scale, origin] : {std::tuple{"unscaled", 1.0, Point(0, 0)},
                                              std::tuple{"zoomed in, moved by fractions", 3.0, Point(7.3, 11.6)},
                                              std::tuple{"zoomed out", 0.5, Point(2, 3)}}) {
        const int width = int(300 * scale) + 40, height = int(80 * scale) + 40;
        const QImage filled = drawScaled(AttributedString(string, a), scale, origin, width, height);
        TextAttributes hairline = a;
        hairline.strokeWidth = 2.5 / scale;  // one pixel wide
        const QImage traced = drawScaled(AttributedString(string, hairline), scale, origin, width, height);
        const QRect f = inkBox(filled), t = inkBox(traced);
        ASSERT_FALSE(f.isEmpty()) << name;
        ASSERT_FALSE(t.isEmpty()) << name;
        EXPECT_NEAR(f.left(), t.left(), 1) << name;
        EXPECT_NEAR(f.right(), t.right(), 1) << name;
        EXPECT_NEAR(f.top(), t.top(), 1) << name;
        EXPECT_NEAR(f.bottom(), t.bottom(), 1) << name;
    }
}

TEST(TextDrawing, GlyphsReachGreyAndCoverageContexts) {
    TextAttributes a = bigL();
    a.font = a.font->withSize(40);
    a.foregroundColor = Color::srgb(1, 1, 1);
    for (const auto kind : {BitmapContext::Kind::Gray, BitmapContext::Kind::AlphaOnly}) {
        const QImage image = drawScaled(AttributedString(QStringLiteral("Pg"), a), 1, {0, 0}, 100, 60, kind);
        const QRect box = inkBox(image);
        EXPECT_GT(box.width(), 30) << int(kind);
        EXPECT_GT(box.height(), 25) << int(kind);
    }
}

// Colour emoji have no outlines: drawn as glyphs, they show in their own colours, alone or among letters,
// and the letters beside them keep their colour.
TEST(TextDrawing, ColourEmojiAreDrawnInTheirColours) {
    KX_REQUIRE_EMOJI_FONT();
    TextAttributes a;
    a.font = Font::withFamily(QStringLiteral("DejaVu Sans"), QStringLiteral("Book"), 40);
    a.foregroundColor = Color::srgb(0, 0, 0);
    const QString face = kxtest::kGrinningFace;
    struct Case {
        const char* name;
        QString text;
        double scale;
    };
    const Case cases[] = {
        {"emoji alone", face, 1},
        {"emoji between letters", QStringLiteral("l") + face + QStringLiteral("l"), 1},
        {"emoji zoomed", face + face, 2.5},
    };
    for (const Case& c : cases) {
        AttributedString text(c.text, a);
        kxtest::setEmojiFont(text, 40);
        const QImage image = drawScaled(text, c.scale, {0, 0}, int(400 * c.scale), int(80 * c.scale));
        const QRect box = inkBox(image);
        ASSERT_FALSE(box.isEmpty()) << c.name;
        // At least a fifth of the ink's box is coloured (the face is round and mostly yellow).
        EXPECT_GT(kxtest::colouredPixels(image, box), box.width() * box.height() / 5) << c.name;
    }
}

// Outlines are made only for fonts that have them: stroking text that holds colour emoji leaves the emoji
// font as it was, and the same text filled afterwards is set and drawn as before.
TEST(TextDrawing, StrokingColourEmojiLeavesTheirLaterDrawingAlone) {
    KX_REQUIRE_EMOJI_FONT();
    TextAttributes a;
    a.font = Font::withFamily(QStringLiteral("DejaVu Sans"), QStringLiteral("Book"), 60);
    a.foregroundColor = Color::srgb(0, 0, 0);
    AttributedString text(QStringLiteral("I") + kxtest::kGrinningFace + QStringLiteral("I"), a);
    kxtest::setEmojiFont(text, 60);
    const QImage before = drawScaled(text, 1, {0, 0}, 300, 100);
    AttributedString stroked = text;
    TextAttributes stroke;
    stroke.strokeWidth = -5;
    stroked.addAttributes({0, stroked.length()}, stroke);
    drawScaled(stroked, 1, {0, 0}, 300, 100);
    const QImage after = drawScaled(text, 1, {0, 0}, 300, 100);
    EXPECT_GT(kxtest::colouredPixels(after, after.rect()), 1000);
    EXPECT_EQ(kxtest::maxChannelDifference(before, after), 0);
}
