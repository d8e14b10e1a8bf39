// Line breaking of text fields does not depend on the zoom: a plain text field and a word-art text set the
// same characters on the same lines at every zoom of the page, also when the text only just fits its frame
// (the case in which the view's whole pixels used to move a word to the next line or drop the last line).
#include "page_test_support.h"
#include "text_test_support.h"

#include "support/drawn_lines.h"

#include "platform/text/text_layout_manager.h"

#include <gtest/gtest.h>


using namespace kxtest;

namespace {

const double kZooms[] = {0.25, 0.5, 0.75, 0.93, 1, 1.5, 2, 4};
// Steps of the frame's width or height about the size at which the text just fits, in page pixels.
const double kSlack[] = {-1.5, -1, -0.6, -0.3, -0.1, 0.1, 0.3, 0.6, 1, 1.5};
constexpr double kFontSize = 24;
// The line-fragment padding at both ends of a line.
constexpr double kPadding = 2 * kx::TextContainer::kDefaultLineFragmentPadding;

enum class Field { Plain, WordArt };

struct Case {
    Field field;
    QString string;
    bool varyHeight;  // else the width varies
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << (c.field == Field::Plain ? "plain \"" : "word-art \"") << c.string.toStdString() << '"';
}

class TextZoomTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        registerPageClasses();
        page = textPage(600, 400);
    }

    // The lines of the shape's text as the drawing sets them with the page at the zoom.
    std::vector<KXText::DrawnLine> linesAtZoom(KXShape& shape, double zoom) {
        page->zoomToFitSize({page->pixelSize().width * zoom, page->pixelSize().height * zoom});
        const kx::Size frame = shape.frameRect().size;
        kx::BitmapContext target(1, 1);
        shape.drawInContext(target, {0, 0, frame.width, frame.height});
        return textOf(shape).drawnLines();
    }

    std::shared_ptr<KXCanvas> page;
};

TEST_P(TextZoomTest, LinesAreTheSameAtEveryZoomWhenTheTextOnlyJustFits) {
    const Case& c = GetParam();
    const kx::TextAttributes attributes = dejaVu(kFontSize);
    const kx::Size natural = kx::measureString(c.string, attributes);
    ASSERT_GT(natural.width, 0);
    // The text area is the frame less the padding, and for a plain field less its margin (5 points in all)
    // and the whole pixels its outline test loses (about one and a half).
    const double inset = kPadding + (c.field == Field::Plain ? 6.5 : 0);
    const double heightInset = c.field == Field::Plain ? 5 : 0;
    int fullyLaidOut = 0, cut = 0;
    for (double slack : kSlack) {
        const double width = c.varyHeight ? natural.width + inset + 40 : natural.width + inset + slack;
        const double height = c.varyHeight ? natural.height + heightInset + slack : natural.height + heightInset + 40;
        auto shape = textShape(*page, {20.37, 30.61, width, height}, c.string, attributes,
                               OutlineShape::Kind::Rectangle, c.field == Field::Plain);
        shape->setStrokeEnabled(false);
        const std::vector<KXText::DrawnLine> reference = linesAtZoom(*shape, 1);
        qsizetype laidOut = 0;
        for (const KXText::DrawnLine& line : reference)
            laidOut += line.characters.length;
        (laidOut == c.string.size() && reference.size() == std::size_t(c.string.count(u'\n') + 1) ? fullyLaidOut
                                                                                                   : cut)++;
        for (double zoom : kZooms) {
            const std::vector<KXText::DrawnLine> lines = linesAtZoom(*shape, zoom);
            EXPECT_EQ(lines, reference) << "slack " << slack << " zoom " << zoom << ": "
                                        << describeLines(lines, c.string) << "instead of "
                                        << describeLines(reference, c.string);
        }
        page->removeGraph(shape.get());
    }
    // The steps straddle the size at which the text fits: some frames hold it whole, some do not. Word art
    // in a frame too low for its lines is drawn whole, scaled down into the frame, instead of losing lines.
    EXPECT_GT(fullyLaidOut, 0);
    if (c.field == Field::WordArt && c.varyHeight)
        EXPECT_EQ(cut, 0);
    else
        EXPECT_GT(cut, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, TextZoomTest,
    ::testing::Values(Case{Field::Plain, QStringLiteral("Adventure Awaits"), false},
                      Case{Field::Plain, QStringLiteral("Adventure\nAwaits"), true},
                      Case{Field::WordArt, QStringLiteral("Adventure Awaits"), false},
                      Case{Field::WordArt, QStringLiteral("Adventure\nAwaits"), true}),
    [](const ::testing::TestParamInfo<Case>& info) {
        return std::string(info.param.field == Field::Plain ? "Plain" : "WordArt") +
               (info.param.varyHeight ? "Height" : "Width");
    });

}  // namespace

namespace {

// A word-art text whose frame is exactly its natural size at its font scale (as pasting a text makes it) keeps
// every line in the page output too, although the output draws a copy of the page that keeps the font scale
// in single precision.
TEST(TextFitTest, WordArtFittedExactlyToItsFrameKeepsEveryLineInTheOutput) {
    registerPageClasses();
    const std::shared_ptr<KXCanvas> page = textPage(1000, 800);
    const QString string = QStringLiteral("Adventure\nAwaits");
    const double widths[] = {301, 333.3, 377.7, 413, 487.1, 555.5, 640.9, 777.7};
    int checked = 0;
    for (double width : widths) {
        auto shape = textShape(*page, {13.7, 21.3, width, 50}, string, dejaVu(kFontSize));
        shape->setStrokeEnabled(false);
        auto& art = *static_cast<KXAdvancedText*>(shape->text());
        art.updateFontScale();
        const kx::Size natural = art.naturalSize();
        const kx::Rect actual = shape->actualRect();
        const kx::Size pixels = page->pixelSize();
        shape->setRelativeRect({actual.origin.x / pixels.width, actual.origin.y / pixels.height,
                                width / pixels.width, natural.height * art.fontScale() / pixels.height});

        kx::BitmapContext target(1, 1);
        const kx::Size frame = shape->frameRect().size;
        shape->drawInContext(target, {0, 0, frame.width, frame.height});
        const std::vector<KXText::DrawnLine> onScreen = art.drawnLines();
        ASSERT_EQ(onScreen.size(), 2u) << "width " << width << ": " << describeLines(onScreen, string);

        const std::shared_ptr<KXCanvas> copy = page->outputCopy();
        ASSERT_TRUE(copy);
        ASSERT_FALSE(copy->outputImageWithSize({500, 400}).isNull());
        const auto* copied = dynamic_cast<KXShape*>(copy->graphs().back().get());
        ASSERT_TRUE(copied);
        const std::vector<KXText::DrawnLine> inOutput = textOf(*const_cast<KXShape*>(copied)).drawnLines();
        EXPECT_EQ(inOutput, onScreen) << "width " << width << ": " << describeLines(inOutput, string);
        page->removeGraph(shape.get());
        ++checked;
    }
    EXPECT_EQ(checked, 8);
}

}  // namespace
