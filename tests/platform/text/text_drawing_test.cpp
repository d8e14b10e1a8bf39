#include "platform/gfx/bitmap_context.h"
#include "platform/text/text_layout_manager.h"

#include <QFontMetricsF>

#include "support/pixel_probe.h"

#include <gtest/gtest.h>

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
