// The word-art text: font scale, natural size and the sizing of the owner, the bitmap margins of outline
// and glow, the glow and outline passes seen by pixel probes, fills seen through the glyphs, and its
// archive and observed keys.
#include "archive_probe.h"
#include "observer_recorder.h"
#include "page_test_support.h"
#include "text_test_support.h"

#include "graphics/color_utilities.h"
#include "model/background.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/gfx/jpng.h"
#include "support/emoji_font.h"
#include "support/pixel_probe.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kxtest;

namespace {

class AdvancedTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerPageClasses();
        kx::setMainScreenBackingScaleOverride(1);
        page = textPage(600, 400);
    }
    void TearDown() override { kx::setMainScreenBackingScaleOverride(0); }
    std::shared_ptr<OutlineShape> wordArt(const kx::Rect& frame, const QString& string, double size = 40) {
        auto shape = textShape(*page, frame, string, dejaVu(size));
        shape->setStrokeEnabled(false);
        return shape;
    }
    static KXAdvancedText& art(KXShape& shape) { return *static_cast<KXAdvancedText*>(shape.text()); }
    // Pixels whose colour is close to the colour (opaque enough).
    static int countNear(const QImage& image, Rgba colour, int tolerance = 40) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const Rgba p = pixelAt(image, x, y);
                if (p.a > 100 && std::abs(p.r - colour.r) <= tolerance && std::abs(p.g - colour.g) <= tolerance &&
                    std::abs(p.b - colour.b) <= tolerance)
                    ++n;
            }
        return n;
    }
    std::shared_ptr<KXCanvas> page;
};

}  // namespace

TEST_F(AdvancedTextTest, NewShapesHoldWordArtWithTheDefaultFill) {
    auto shape = std::make_shared<KXShape>();
    auto* text = dynamic_cast<KXAdvancedText*>(shape->text());
    ASSERT_TRUE(text);
    EXPECT_EQ(text->owner(), shape.get());
    EXPECT_EQ(text->fontScale(), 1);
    ASSERT_TRUE(text->background());
    EXPECT_EQ(text->background()->fillType(), KXFillTypeColor);
    EXPECT_EQ(text->background()->colorType(), KXColorTypeSolid);
    ASSERT_EQ(text->background()->gradientColorArray().size(), 2u);
    EXPECT_EQ(rgbaFromCGColor(text->background()->gradientColorArray()[1]), makeRGBA(0, 125, 204, 255));
    auto box = KXShape::initTextShapeWithString(QStringLiteral("Hi"), {0.1, 0.1, 0.2, 0.2});
    EXPECT_EQ(static_cast<KXText*>(box->text())->textStorage().string(), QStringLiteral("Hi"));
}

TEST_F(AdvancedTextTest, FontScaleRefusesScalesThatWouldHideOrBreakTheText) {
    auto text = KXAdvancedText::initWithOwner(nullptr, QStringLiteral("x"));
    ObserverRecorder recorder;
    text->addObserver(&recorder);
    for (double bad : {0.0, -2.0, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()})
        text->setFontScale(bad);
    EXPECT_EQ(text->fontScale(), 1);
    EXPECT_TRUE(recorder.changes.empty());
    text->setFontScale(2.5);
    EXPECT_EQ(recorder.keys(), QStringList{QStringLiteral("fontScale")});
    // The fill's own keys are observed through the text.
    text->background()->setFillType(KXFillTypeImage);
    EXPECT_EQ(recorder.changes.size(), 2u);
    text->removeObserver(&recorder);
    text->background()->setFillType(KXFillTypeColor);
    EXPECT_EQ(recorder.changes.size(), 2u);
}

TEST_F(AdvancedTextTest, FontScaleFitsTheOwnerAndTheOwnerFitsTheText) {
    auto shape = wordArt({50, 60, 100, 80}, QStringLiteral("Natural"));
    KXAdvancedText& text = art(*shape);
    const kx::Size natural = text.naturalSize();
    ASSERT_GT(natural.width, 0);
    // An owner twice the natural width gives a scale of 2.
    const kx::Size pixels = page->pixelSize();
    shape->setRelativeRect({50 / pixels.width, 60 / pixels.height, 2 * natural.width / pixels.width, 80 / pixels.height});
    text.updateFontScale();
    EXPECT_NEAR(text.fontScale(), 2, 1e-9);
    const kx::Rect before = shape->actualRect();
    text.updateRelativeRect();
    const kx::Rect after = shape->actualRect();
    EXPECT_NEAR(after.size.width, natural.width * 2 + 1, 1e-6);
    EXPECT_NEAR(after.size.height, natural.height * 2 + 1, 1e-6);
    EXPECT_NEAR(after.minX(), before.minX(), 1e-6);
    EXPECT_NEAR(after.maxY(), before.maxY(), 1e-6);
    // A text without width leaves the scale alone.
    text.setString(QString());
    text.updateFontScale();
    EXPECT_NEAR(text.fontScale(), 2, 1e-9);
}

TEST_F(AdvancedTextTest, BitmapMarginsFollowGlowAndOutline) {
    auto shape = wordArt({0, 0, 200, 100}, QStringLiteral("Margins"), 40);
    KXAdvancedText& text = art(*shape);
    const double h = std::trunc(text.sampleLineHeight());
    struct Case {
        bool outline, glow;
        double margin;
    } cases[] = {
        {false, false, 0},
        {true, false, std::round(h * 0.18)},
        {false, true, std::round(h * 0.3 + h)},
        {true, true, std::round(std::max(h * 0.3 + h, h * 0.18))},
    };
    for (const Case& c : cases) {
        text.setOutlineEnabled(c.outline);
        text.setGlowEnabled(c.glow);
        const kx::Image image = text.image();
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), 200 + 2 * c.margin) << c.outline << c.glow;
        EXPECT_EQ(image.height(), 100 + 2 * c.margin) << c.outline << c.glow;
    }
    // With a line height of 100 the table of margins is 130 for the glow and 18 for the outline alone.
    EXPECT_EQ(std::round(std::max(100 * (50.0 / 100 * 0.6) + 100, 0.0)), 130);
    EXPECT_EQ(std::round(100 * (30.0 / 100 * 0.6)), 18);
    // At a backing scale of 2 the bitmap has twice the pixels.
    kx::setMainScreenBackingScaleOverride(2);
    text.setOutlineEnabled(false);
    text.setGlowEnabled(false);
    EXPECT_EQ(text.image().width(), 400);
}

TEST_F(AdvancedTextTest, GlowAndOutlineShowAroundTheGlyphs) {
    auto shape = wordArt({0, 0, 300, 120}, QStringLiteral("IIII"), 60);
    KXAdvancedText& text = art(*shape);
    text.setGlowColorValue(makeRGBA(255, 0, 0, 255));
    text.setOutlineColorValue(makeRGBA(0, 0, 255, 255));
    const QImage plain = text.image().qimage();
    EXPECT_EQ(countNear(plain, {255, 0, 0, 255}), 0);
    EXPECT_EQ(countNear(plain, {0, 0, 255, 255}), 0);
    EXPECT_GT(countNear(plain, {0, 0, 0, 255}), 100);

    text.setOutlineEnabled(true);
    const QImage outlined = text.image().qimage();
    EXPECT_GT(countNear(outlined, {0, 0, 255, 255}), 50) << "outline";
    EXPECT_GT(countNear(outlined, {0, 0, 0, 255}), 100) << "fill over the outline";

    text.setOutlineEnabled(false);
    text.setGlowEnabled(true);
    const QImage glowing = text.image().qimage();
    EXPECT_GT(countNear(glowing, {255, 0, 0, 255}, 120), 100) << "glow";
    // The glow is blurred: its alpha falls off gradually away from the glyphs.
    int partial = 0;
    for (int y = 0; y < glowing.height(); ++y)
        for (int x = 0; x < glowing.width(); ++x) {
            const Rgba p = pixelAt(glowing, x, y);
            if (p.a > 10 && p.a < 200 && p.r > p.b)
                ++partial;
        }
    EXPECT_GT(partial, 100);
}

TEST_F(AdvancedTextTest, AFillOtherThanTheTextsColoursPaintsThroughTheGlyphs) {
    auto shape = wordArt({0, 0, 300, 120}, QStringLiteral("MMMM"), 60);
    KXAdvancedText& text = art(*shape);
    text.background()->setColor1(kx::Color::srgb(0, 1, 0, 1));
    text.background()->setFillType(KXFillTypeColor);
    text.background()->setColorType(KXColorTypeGradient);
    text.background()->setColor2(kx::Color::srgb(0, 1, 0, 1));
    text.background()->setAdGradientColorArray({kx::Color::srgb(0, 1, 0, 1), kx::Color::srgb(0, 1, 0, 1)});
    const QImage image = text.image().qimage();
    EXPECT_GT(countNear(image, {0, 255, 0, 255}), 100) << "the fill shows";
    EXPECT_EQ(countNear(image, {0, 0, 0, 255}, 20), 0) << "the text's own colour does not";
    // Outside the glyphs nothing is painted.
    EXPECT_EQ(pixelAt(image, 2, 2).a, 0);
}

TEST_F(AdvancedTextTest, ZeroSizeOrEmptyTextGivesNoImage) {
    auto shape = wordArt({0, 0, 200, 100}, QStringLiteral("Gone"));
    KXAdvancedText& text = art(*shape);
    text.setGlowEnabled(true);
    shape->setRelativeRect({0, 0, 0, 0});
    EXPECT_TRUE(text.image().isNull());
    shape->setRelativeRect({0, 0, 0.3, 0.3});
    text.setString(QString());
    EXPECT_TRUE(text.image().isNull());
    kx::BitmapContext context(50, 50);
    text.drawInContext(context, {0, 0, 50, 50});
    text.drawInContext(context, {0, 0, 0, 0});
    EXPECT_EQ(pixelAt(context.makeImage().qimage(), 25, 25).a, 0);
    auto orphan = KXAdvancedText::initWithOwner(nullptr, QStringLiteral("x"));
    EXPECT_TRUE(orphan->image().isNull());
    EXPECT_EQ(orphan->textSize(), kx::Size());
}

TEST_F(AdvancedTextTest, DrawingCentresTheImageOnTheRectangle) {
    auto shape = wordArt({0, 0, 200, 100}, QStringLiteral("Centred"), 30);
    KXAdvancedText& text = art(*shape);
    kx::BitmapContext context(400, 300);
    text.drawInContext(context, {100, 100, 200, 100});
    const QImage drawn = context.makeImage().qimage();
    // Nothing left of or below the rectangle (y up: rows near the bottom of the image are low y).
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(pixelAt(drawn, x, y).a, 0);
    EXPECT_GT(countNear(drawn, {0, 0, 0, 255}), 50);
}

TEST_F(AdvancedTextTest, ArchiveAddsFontScaleAndFillAndRoundTrips) {
    auto text = KXAdvancedText::initWithOwner(nullptr, QStringLiteral("Stored"));
    text->setFontScale(1.75);
    text->background()->setFillType(KXFillTypeImage);
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(text));
    if (hasPython()) {
        const QJsonObject keys = rootKeysSeenByPlistlib(data);
        EXPECT_EQ(keys.value(QStringLiteral("fontScale")).toArray().at(0).toString(), QStringLiteral("real"));
        EXPECT_EQ(keys.value(QStringLiteral("background")).toArray().at(1).toString(), QStringLiteral("KXBackground"));
        EXPECT_TRUE(keys.contains(QStringLiteral("textContainers")));
        const QJsonArray chain = keys.value(QStringLiteral("$class")).toArray().at(2).toArray();
        EXPECT_EQ(chain.at(1).toString(), QStringLiteral("KXText"));
        EXPECT_EQ(chain.at(2).toString(), QStringLiteral("KXShapeField"));
    }
    kx::KeyedUnarchiver reader(data);
    auto back = reader.decodeObjectOfClass<KXAdvancedText>(QStringLiteral("root"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->fontScale(), 1.75);
    ASSERT_TRUE(back->background());
    EXPECT_EQ(back->background()->fillType(), KXFillTypeImage);
    EXPECT_EQ(kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(back)), data);
}

// Emoji of a colour font show in their colours in word-art, alone and among letters, with and without an
// outline.
TEST_F(AdvancedTextTest, ColourEmojiShowInTheirColours) {
    KX_REQUIRE_EMOJI_FONT();
    for (const QString& string : {kGrinningFace, QStringLiteral("I") + kGrinningFace + QStringLiteral("I")}) {
        for (const bool outline : {false, true}) {
            auto shape = wordArt({0, 0, 300, 120}, string, 60);
            KXAdvancedText& text = art(*shape);
            kx::AttributedString withEmoji = text.textStorage().attributedString();
            setEmojiFont(withEmoji, 60);
            text.textStorage().setAttributedString(withEmoji);
            text.setOutlineEnabled(outline);
            const QImage image = text.image().qimage();
            ASSERT_FALSE(image.isNull());
            EXPECT_GT(colouredPixels(image, image.rect()), 300) << string.size() << " characters, outline " << outline;
            page->removeGraph(shape.get());
        }
    }
}

// Words that no longer fit their frame (a larger size in a frame sized tightly to the text, more words than
// the frame holds) are drawn whole, scaled down into it, in the arrangement that shows them the largest.
TEST_F(AdvancedTextTest, WordsThatOutgrowTheirFrameAreDrawnWholeInsideIt) {
    struct Case {
        const char* name;
        QString words;
        double width;      // of the frame, in page pixels; the frame is first fitted to the words
        double grownSize;  // the font size the words then take
        bool wrapped;      // whether the frame holds the words on several lines
    };
    const Case cases[] = {
        {"a title one line high", QStringLiteral("Our Summer"), 300, 44, false},
        {"a long text wrapped in its frame", QStringLiteral("one two three four five six seven eight nine ten"), 160,
         60, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto shape = wordArt({40, 40, c.width, 100}, c.words);
        KXAdvancedText& text = art(*shape);
        text.updateFontScale();
        text.updateRelativeRect();
        if (c.wrapped) {
            // A frame half the words' width holds them on several lines.
            const kx::Rect r = shape->actualRect();
            const kx::Size pixels = page->pixelSize();
            shape->setRelativeRect({r.minX() / pixels.width, (r.maxY() - 4 * r.size.height) / pixels.height,
                                    r.size.width / 2 / pixels.width, 4 * r.size.height / pixels.height});
        }
        const kx::Rect frame = shape->actualRect();
        text.textStorage().setAttributedString(kx::AttributedString(c.words, dejaVu(c.grownSize)));
        // Laid out in the frame alone, the grown words would lose lines.
        {
            kx::TextLayoutManager plain(text.textStoragePtr());
            plain.addTextContainer(std::make_shared<kx::TextContainer>(
                kx::Size{frame.size.width / text.fontScale(), frame.size.height / text.fontScale()}));
            EXPECT_LT(plain.firstUnlaidCharacterIndex(), c.words.size());
        }
        const QImage image = text.image().qimage();
        ASSERT_FALSE(image.isNull());
        // Every character is drawn: the title on its one line, the long text wrapped (scaled onto one line
        // it would be far smaller).
        const std::vector<KXText::DrawnLine> lines = text.drawnLines();
        ASSERT_FALSE(lines.empty());
        if (c.wrapped)
            EXPECT_GT(lines.size(), 2u);
        else
            EXPECT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines.back().characters.location + lines.back().characters.length, c.words.size());
        // The drawing stays inside the frame and fills at least half of its height.
        const kx::Size drawn = text.textSize();
        EXPECT_LE(drawn.width * text.fontScale(), frame.size.width + 0.5);
        EXPECT_LE(drawn.height * text.fontScale(), frame.size.height + 0.5);
        EXPECT_GT(drawn.height * text.fontScale(), frame.size.height * 0.5);
        int left = 0, right = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                (x < image.width() / 2 ? left : right) += pixelAt(image, x, y).a > 128;
        EXPECT_GT(left, 50);
        if (!c.wrapped)
            EXPECT_GT(right, 50) << "the title's second word";

        // Fitted to its words, the frame grows (in height alone for the wrapped text, whose width holds its
        // lines; in both directions for the title) from its top-left corner (the words are aligned left),
        // and then holds them at their size.
        ASSERT_TRUE(text.fitOwnerToText());
        const kx::Rect fitted = shape->actualRect();
        EXPECT_NEAR(fitted.minX(), frame.minX(), 1e-6);
        EXPECT_NEAR(fitted.maxY(), frame.maxY(), 1e-6);
        EXPECT_GT(fitted.size.height, frame.size.height);
        if (c.wrapped)
            EXPECT_EQ(fitted.size.width, frame.size.width);
        else
            EXPECT_GT(fitted.size.width, frame.size.width);
        EXPECT_FALSE(text.fitOwnerToText());
        text.image();
        const std::vector<KXText::DrawnLine> fittedLines = text.drawnLines();
        EXPECT_EQ(fittedLines.size(), lines.size());
        const kx::Size natural = text.textSize();
        EXPECT_GT(natural.height * text.fontScale(), drawn.height * text.fontScale() * 1.05);
        EXPECT_LE(natural.height * text.fontScale(), fitted.size.height + 0.5);
    }
}
