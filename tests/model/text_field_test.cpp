// The text field: defaults, observed keys, archive, whole-text undo, links, the re-posting of storage
// edits, the column layout with vertical alignment and the drawing of a plain text field.
#include "archive_probe.h"
#include "observer_recorder.h"
#include "page_test_support.h"
#include "text_test_support.h"

#include "graphics/color_utilities.h"
#include "model/column_info.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/foundation/notification_center.h"
#include "support/emoji_font.h"
#include "support/pixel_probe.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <vector>

using namespace kxtest;

namespace {

class TextFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerPageClasses();
        page = textPage(600, 400);
    }
    std::shared_ptr<OutlineShape> plainText(const kx::Rect& frame, const QString& string, double size = 20,
                                            OutlineShape::Kind kind = OutlineShape::Kind::Rectangle) {
        return textShape(*page, frame, string, dejaVu(size), kind, true);
    }
    // A plain field without a border whose text has a blue outline 10% of the font size wide.
    std::shared_ptr<OutlineShape> outlinedText(const kx::Rect& frame, const QString& string, double size) {
        auto shape = plainText(frame, string, size);
        shape->setStrokeEnabled(false);
        KXText& text = textOf(*shape);
        text.setOutlineEnabled(true);
        text.setOutlineWidth(10);
        text.setOutlineColorValue(makeRGBA(0, 0, 255, 255));
        return shape;
    }
    std::shared_ptr<KXCanvas> page;
};

std::shared_ptr<KXText> decodedText(const QByteArray& data) {
    kx::KeyedUnarchiver reader(data);
    return reader.decodeObjectOfClass<KXText>(QStringLiteral("root"));
}

}  // namespace

TEST_F(TextFieldTest, NewFieldHasTheDefaults) {
    auto text = KXText::initWithOwner(nullptr, QStringLiteral("Hello"));
    EXPECT_EQ(text->columnCount(), 1);
    ASSERT_EQ(text->columnInfos().size(), 1u);
    EXPECT_EQ(text->columnInfos()[0]->width(), 1);
    EXPECT_EQ(text->columnInfos()[0]->gutter(), 0);
    EXPECT_EQ(text->verticalAlignment(), KXTextVerticalAlignmentTop);
    EXPECT_TRUE(text->isTextMarginEnabled());
    EXPECT_EQ(text->textMargin(), 5);
    EXPECT_FALSE(text->isOutlineEnabled());
    EXPECT_EQ(text->outlineWidth(), 30);
    EXPECT_FALSE(text->isGlowEnabled());
    EXPECT_EQ(text->glowBlur(), 10);
    EXPECT_EQ(text->glowRadius(), 50);
    // Blue 255 puts the outline colour's sign bit on; the glow colour stays positive.
    EXPECT_EQ(text->outlineColorValue(), std::int64_t(makeRGBA(113, 185, 255, 255)));
    EXPECT_LT(text->outlineColorValue(), 0);
    EXPECT_EQ(text->glowColorValue(), std::int64_t(makeRGBA(255, 206, 101, 255)));
    EXPECT_GT(text->glowColorValue(), 0);
    ASSERT_EQ(text->textContainers().size(), 1u);
    EXPECT_EQ(text->textContainers()[0]->size(), kx::Size(1000000, 1000000));
    const kx::TextAttributes a = text->currentAttributes();
    EXPECT_EQ(a.font->family(), QStringLiteral("Lucida Grande"));
    EXPECT_EQ(a.font->pointSize(), 72);
    EXPECT_EQ(a.paragraphStyle->alignment, kx::TextAlignment::Left);
}

TEST_F(TextFieldTest, SelectedRangeAndCurrentAttributesOfEmptyAndFilledTexts) {
    auto empty = KXText::initWithOwner(nullptr);
    EXPECT_TRUE(empty->isEmpty());
    EXPECT_EQ(empty->selectedRange(), (kx::TextRange{KXTextNotFound, 0}));
    kx::TextAttributes typing = dejaVu(33);
    empty->textViews()[0]->setTypingAttributes(typing);
    EXPECT_EQ(empty->currentAttributes(), typing);
    auto filled = KXText::initWithOwner(nullptr, QStringLiteral("abc"));
    filled->textStorage().setAttributes({0, 1}, dejaVu(9));
    EXPECT_EQ(filled->selectedRange(), (kx::TextRange{0, 3}));
    EXPECT_EQ(filled->currentAttributes(), dejaVu(9));
}

TEST_F(TextFieldTest, ObserversHearTheSettingsAndAnUnchangedAlignmentDoesNothing) {
    auto shape = plainText({10, 10, 300, 200}, QStringLiteral("Observed"));
    KXText& text = textOf(*shape);
    ObserverRecorder recorder;
    text.addObserver(&recorder);
    text.addObserver(nullptr);
    text.setVerticalAlignment(KXTextVerticalAlignmentTop);  // unchanged: silent
    EXPECT_TRUE(recorder.changes.empty());
    text.setVerticalAlignment(KXTextVerticalAlignmentBottom);
    text.setTextMargin(7);
    text.setTextMarginEnabled(false);
    text.setOutlineEnabled(true);
    text.setOutlineWidth(12);
    text.setOutlineColorValue(5);
    text.setGlowEnabled(true);
    text.setGlowBlur(3);
    text.setGlowRadius(4);
    text.setGlowColorValue(6);
    EXPECT_EQ(recorder.keys(), QStringList({"verticalAlignment", "textMargin", "textMarginEnabled", "outlineEnabled",
                                            "outlineWidth", "outlineColorValue", "glowEnabled", "glowBlur",
                                            "glowRadius", "glowColorValue"}));
    EXPECT_EQ(recorder.changes[0].oldValue.toInteger(), 0);
    EXPECT_EQ(recorder.changes[0].newValue.toInteger(), 2);
    text.removeObserver(&recorder);
    text.setGlowRadius(9);
    EXPECT_EQ(recorder.changes.size(), 10u);
    // Key-value coding puts values back by key, as the page's undo does.
    EXPECT_TRUE(text.setValueForKey(QStringLiteral("verticalAlignment"), kx::Value(std::int64_t(1))));
    EXPECT_EQ(text.verticalAlignment(), KXTextVerticalAlignmentMiddle);
}

TEST_F(TextFieldTest, ArchiveKeysAsPlistlibReadsThemAndRoundTrip) {
    auto text = KXText::initWithOwner(nullptr, QStringLiteral("Stored text"));
    text->setGlowBlur(10.7);
    text->setGlowRadius(49.9);
    text->setOutlineWidth(30.1);
    text->setVerticalAlignment(KXTextVerticalAlignmentMiddle);
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(text));
    ASSERT_FALSE(data.isEmpty());
    if (hasPython()) {
        const QJsonObject keys = rootKeysSeenByPlistlib(data);
        const std::pair<const char*, const char*> expected[] = {
            {"textContainers", "object"}, {"textString", "object"},  {"columnCount", "int"},
            {"columnInfos", "object"},    {"verticalAlignment", "int"}, {"equalColumnWidth", "bool"},
            {"outlineEnabled", "bool"},   {"outlineWidth", "real"},  {"outlineColorValue", "int"},
            {"glowEnabled", "bool"},      {"glowBlur", "int"},       {"glowRadius", "int"},
            {"glowColorValue", "int"},    {"textMarginEnabled", "bool"}, {"textMargin", "real"}};
        for (const auto& [key, kind] : expected)
            EXPECT_EQ(keys.value(QLatin1String(key)).toArray().at(0).toString(), QLatin1String(kind)) << key;
        EXPECT_EQ(keys.value(QStringLiteral("glowBlur")).toArray().at(1).toInt(), 10);
        EXPECT_EQ(keys.value(QStringLiteral("outlineColorValue")).toArray().at(1).toDouble(),
                  double(text->outlineColorValue()));
        EXPECT_EQ(keys.value(QStringLiteral("$class")).toArray().at(2).toArray().at(1).toString(),
                  QStringLiteral("KXShapeField"));
    }
    auto back = decodedText(data);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->glowBlur(), 10);
    EXPECT_EQ(back->glowRadius(), 49);
    EXPECT_EQ(back->outlineWidth(), double(30.1f));
    EXPECT_EQ(back->verticalAlignment(), KXTextVerticalAlignmentMiddle);
    EXPECT_EQ(back->textStorage().attributedString(), text->textStorage().attributedString());
    EXPECT_EQ(back->textViews().size(), 1u);
    EXPECT_EQ(back->outlineColorValue(), text->outlineColorValue());
    // The second round trip writes the same bytes.
    const QByteArray again = kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(back));
    EXPECT_EQ(kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(decodedText(again))), again);
}

TEST_F(TextFieldTest, PageArchiveKeepsWrapObjectsSharedWithThePageGraphs) {
    auto shape = plainText({10, 10, 400, 300}, QStringLiteral("Wraps around the graph in front of it"));
    auto front = std::make_shared<SolidGraph>();
    page->addGraph(front);
    front->setRelativeRect({0.2, 0.2, 0.2, 0.2});
    front->setTextWrapEnabled(true);
    textOf(*shape).updateWrapRect();
    ASSERT_EQ(textOf(*shape).wrapGraphs(), std::vector<KXGraph*>{front.get()});
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(page));
    kx::KeyedUnarchiver reader(data);
    auto back = reader.decodeObjectOfClass<KXCanvas>(QStringLiteral("root"));
    ASSERT_TRUE(back) << reader.error().toStdString();
    ASSERT_EQ(back->graphs().size(), 2u);
    auto* backShape = dynamic_cast<KXShape*>(back->graphs()[0].get());
    ASSERT_TRUE(backShape);
    auto* backText = dynamic_cast<KXText*>(backShape->text());
    ASSERT_TRUE(backText);
    EXPECT_EQ(backText->wrapGraphs(), std::vector<KXGraph*>{back->graphs()[1].get()});
}

TEST_F(TextFieldTest, WholeTextUndoIsOneStepAndRestoresTextAndAttributes) {
    auto shape = plainText({10, 10, 300, 200}, QStringLiteral("Before"));
    KXText& text = textOf(*shape);
    text.textStorage().setAttributes({0, 3}, dejaVu(31));
    const kx::AttributedString before = text.textStorage().attributedString();
    kx::AttributedString after(QStringLiteral("After the edit"), dejaVu(12));
    after.setAttributes({0, 5}, dejaVu(40));
    text.textStorage().setAttributedString(after);
    kx::UndoManager& undo = page->undoManager();
    // What the text inspector does after its edit: one registration of the whole-text replacement.
    undo.beginUndoGrouping();
    undo.registerUndo(&text, [&text, before, after] { text.undoString(before, after); });
    undo.endUndoGrouping();
    ASSERT_TRUE(undo.canUndo());
    undo.undo();
    EXPECT_EQ(text.textStorage().attributedString(), before);
    EXPECT_FALSE(undo.canUndo());
    undo.redo();
    EXPECT_EQ(text.textStorage().attributedString(), after);
    undo.undo();
    EXPECT_EQ(text.textStorage().attributedString(), before);
}

TEST_F(TextFieldTest, StorageEditsArePostedByTheFieldExceptWhileItDraws) {
    auto shape = plainText({10, 10, 300, 200}, QStringLiteral("Posted"));
    KXText& text = textOf(*shape);
    int fromField = 0;
    auto token = kx::NotificationCenter::defaultCenter().addObserver(
        kx::kTextStorageDidProcessEditingNotification, &text, [&](const kx::Notification&) { ++fromField; });
    text.textStorage().replaceCharacters({0, 0}, QStringLiteral("Re"));
    EXPECT_EQ(fromField, 1);
    // The outline pass of the drawing edits the storage: nothing is posted.
    text.setOutlineEnabled(true);
    kx::BitmapContext context(300, 200);
    text.drawInContext(context, {0, 0, 300, 200});
    EXPECT_EQ(fromField, 1);
}

TEST_F(TextFieldTest, LinkUnderAPoint) {
    auto shape = plainText({0, 0, 600, 200}, QStringLiteral("link"), 40);
    shape->setStrokeEnabled(false);
    KXText& text = textOf(*shape);
    kx::BitmapContext context(600, 200);
    struct Case {
        QString link;
        std::optional<QString> expected;
    } cases[] = {
        {QStringLiteral("example.com/page"), QStringLiteral("http://example.com/page")},
        {QStringLiteral("http://example.org"), QStringLiteral("http://example.org")},
        {QStringLiteral("https://example.net/x"), QStringLiteral("https://example.net/x")},
        {QString(), std::nullopt},
        {QStringLiteral("http://[::1"), std::nullopt},
        {QStringLiteral("%%%:::"), std::nullopt},
    };
    for (const Case& c : cases) {
        kx::TextAttributes a = dejaVu(40);
        a.link = c.link;
        text.textStorage().setAttributes({0, 4}, a);
        text.drawInContext(context, {0, 0, 600, 200});
        const kx::Point origin = text.textDrawPoint();
        const kx::Rect column = text.textViews()[0]->frame();
        // A point on the first glyph, in zoomed page coordinates (y measured as the field measures it).
        const double z = page->zoomValue();
        const std::optional<QUrl> url =
            text.linkStringAtPoint({(column.origin.x + 12) * z, (origin.y + 20) * z});
        if (c.expected) {
            ASSERT_TRUE(url.has_value()) << c.link.toStdString();
            EXPECT_EQ(url->toString(), *c.expected);
        } else {
            EXPECT_FALSE(url.has_value()) << c.link.toStdString();
        }
    }
    // Far outside the text there is no link.
    EXPECT_FALSE(text.linkStringAtPoint({5000, 5000}).has_value());
    // Without an owner nothing is found.
    auto orphan = KXText::initWithOwner(nullptr, QStringLiteral("x"));
    EXPECT_FALSE(orphan->linkStringAtPoint({1, 1}).has_value());
}

TEST_F(TextFieldTest, ThreeColumnsFillInOrder) {
    const QString words = QStringLiteral("one two three four five six seven eight nine ten ").repeated(30);
    auto shape = plainText({0, 0, 600, 200}, words, 14);
    KXText& text = textOf(*shape);
    text.setColumnInfos({KXColumnInfo::columnInfoWithWidth(0.3, 0.05), KXColumnInfo::columnInfoWithWidth(0.3, 0.05),
                         KXColumnInfo::columnInfoWithWidth(0.3, 0)});
    ASSERT_EQ(text.columnCount(), 3);
    kx::BitmapContext context(600, 200);
    text.drawInContext(context, {0, 0, 600, 200});
    kx::TextLayoutManager& manager = *text.layoutManter();
    qsizetype next = 0;
    double lastX = -1;
    for (int i = 0; i < 3; ++i) {
        const kx::TextRange range = manager.characterRange(i);
        EXPECT_EQ(range.location, next) << i;
        EXPECT_GT(range.length, 0) << i;
        next = range.end();
        const kx::Rect frame = text.textViews()[std::size_t(i)]->frame();
        EXPECT_GT(frame.origin.x, lastX);
        lastX = frame.maxX();
        EXPECT_NEAR(frame.size.width, 0.3 * text.textViews()[0]->frame().size.width / 0.3, 1.5);
    }
    // Each column's lines stay inside its own width.
    for (const kx::LineFragment& f : manager.lineFragments())
        EXPECT_LE(f.rect.maxX(), text.textContainers()[std::size_t(f.container)]->size().width + 0.01);
}

TEST_F(TextFieldTest, BottomAndMiddleAlignmentPlaceTheText) {
    for (std::uint64_t alignment : {KXTextVerticalAlignmentTop, KXTextVerticalAlignmentMiddle,
                                    KXTextVerticalAlignmentBottom}) {
        auto shape = plainText({0, 0, 400, 300}, QStringLiteral("Short line"), 20);
        KXText& text = textOf(*shape);
        text.setTextMarginEnabled(false);
        text.setVerticalAlignment(alignment);
        kx::BitmapContext context(400, 300);
        text.drawInContext(context, {0, 0, 400, 300});
        const kx::Rect frame = text.textViews()[0]->frame();
        kx::TextLayoutManager& manager = *text.layoutManter();
        const kx::Rect used = manager.boundingRect(manager.characterRange(0), 0);
        ASSERT_GT(used.size.height, 0);
        // The area spans the frame less the border: the text's bottom in area coordinates.
        const double area = frame.size.height;
        const double textTop = frame.origin.y + used.minY();
        const double textBottom = frame.origin.y + used.maxY();
        if (alignment == KXTextVerticalAlignmentTop)
            EXPECT_LT(textTop, 5);
        if (alignment == KXTextVerticalAlignmentBottom)
            EXPECT_NEAR(textBottom, area, 3) << "last line at the bottom";
        if (alignment == KXTextVerticalAlignmentMiddle)
            EXPECT_NEAR((textTop + textBottom) / 2, area / 2, 3) << "text centred";
        // The outline was raised by the distance the column came down: the lines still fit inside.
        expectFragmentsInside(manager.lineFragments(), *text.textContainers()[0]->path(), frame.size.height, 0, 1);
        page->removeGraph(shape.get());
    }
}

TEST_F(TextFieldTest, AlignmentSearchesEndInAnOvalAndAStar) {
    const QString words = QStringLiteral("several words to fill some lines of the shape ").repeated(4);
    for (auto kind : {OutlineShape::Kind::Oval, OutlineShape::Kind::Star}) {
        for (std::uint64_t alignment : {KXTextVerticalAlignmentMiddle, KXTextVerticalAlignmentBottom}) {
            auto shape = plainText({0, 0, 300, 300}, words, 16, kind);
            KXText& text = textOf(*shape);
            text.setVerticalAlignment(alignment);
            kx::BitmapContext context(300, 300);
            text.drawInContext(context, {0, 0, 300, 300});
            text.relayoutText();
            const kx::Rect frame = text.textViews()[0]->frame();
            expectFragmentsInside(text.layoutManter()->lineFragments(), *text.textContainers()[0]->path(),
                                  frame.size.height);
            page->removeGraph(shape.get());
        }
    }
}

TEST_F(TextFieldTest, PlainDrawingWithOutlineShowsTheOutlineAndRestoresTheAttributes) {
    auto shape = outlinedText({0, 0, 300, 120}, QStringLiteral("WM"), 80);
    KXText& text = textOf(*shape);
    const kx::AttributedString before = text.textStorage().attributedString();
    kx::BitmapContext context(300, 120);
    text.drawInContext(context, {0, 0, 300, 120});
    EXPECT_EQ(text.textStorage().attributedString(), before);
    const QImage image = context.makeImage().qimage();
    int blue = 0, black = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const Rgba p = pixelAt(image, x, y);
            if (p.a > 200 && p.b > 200 && p.r < 60)
                ++blue;
            if (p.a > 200 && p.r < 40 && p.g < 40 && p.b < 40)
                ++black;
        }
    EXPECT_GT(blue, 50) << "outline";
    EXPECT_GT(black, 200) << "glyphs over it";
    // Empty text or a too small rectangle draws nothing.
    kx::BitmapContext blank(300, 120);
    text.drawInContext(blank, {0, 0, 0.5, 120});
    text.textStorage().setAttributedString(kx::AttributedString());
    text.drawInContext(blank, {0, 0, 300, 120});
    EXPECT_EQ(blank.makeImage().qimage().pixelColor(150, 60).alpha(), 0);
}

TEST_F(TextFieldTest, StoredColumnCountBeyondItsContainersGetsNewColumnsUpToALimit) {
    auto text = KXText::initWithOwner(nullptr, QStringLiteral("Columns"));
    for (const auto& [stored, expected] : {std::pair<std::int64_t, std::size_t>{3, 3}, {1000000000, 64}}) {
        text->setColumnCount(stored);
        const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(text));
        auto back = decodedText(data);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->textContainers().size(), expected);
        EXPECT_EQ(back->textViews().size(), expected);
        EXPECT_EQ(back->layoutManter()->textContainers().size(), expected);
    }
}

TEST_F(TextFieldTest, StoredColumnsWiderThanTheFieldAreFittedIntoItOnReading) {
    constexpr float huge = std::numeric_limits<float>::infinity();  // stored as the largest float
    struct Case {
        const char* name;
        std::vector<std::pair<float, float>> stored;  // width, gutter
        std::vector<std::pair<double, double>> read;
    };
    const Case cases[] = {
        {"one full column", {{1, 0}}, {{1, 0}}},
        {"thirds with rounding",
         {{1 / 3.0f, 0}, {1 / 3.0f, 0}, {1 / 3.0f, 0}},
         {{1 / 3.0, 0}, {1 / 3.0, 0}, {1 / 3.0, 0}}},
        {"widths and gutters above 1", {{0.5f, 0.25f}, {0.5f, 0.25f}}, {{1 / 3.0, 1 / 6.0}, {1 / 3.0, 1 / 6.0}}},
        {"one column of 3", {{3, 0}}, {{1, 0}}},
        {"negative width", {{-0.5f, 0}, {0.5f, 0}}, {{0, 0}, {0.5, 0}}},
        {"negative gutter", {{0.5f, -1}, {0.5f, 0}}, {{0.5, 0}, {0.5, 0}}},
        {"huge width", {{huge, 0}, {0.5f, 0}}, {{1, 0}, {0, 0}}},
    };
    for (const Case& c : cases) {
        auto text = KXText::initWithOwner(nullptr, QStringLiteral("Columns"));
        std::vector<std::shared_ptr<KXColumnInfo>> infos;
        for (const auto& [width, gutter] : c.stored)
            infos.push_back(KXColumnInfo::columnInfoWithWidth(width, gutter));
        text->setColumnInfos(infos);
        auto back = decodedText(kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(text)));
        ASSERT_TRUE(back) << c.name;
        ASSERT_EQ(back->columnInfos().size(), c.read.size()) << c.name;
        for (std::size_t i = 0; i < c.read.size(); ++i) {
            EXPECT_NEAR(back->columnInfos()[i]->width(), c.read[i].first, 1e-6) << c.name << " column " << i;
            EXPECT_NEAR(back->columnInfos()[i]->gutter(), c.read[i].second, 1e-6) << c.name << " column " << i;
        }
    }
}

TEST_F(TextFieldTest, UndoStepOfADestroyedTextDoesNothing) {
    auto shape = plainText({10, 10, 300, 200}, QStringLiteral("Short-lived"));
    std::weak_ptr<kx::Object> weak;
    {
        auto text = KXText::initWithOwner(shape.get(), QStringLiteral("Field"));
        weak = text;
        shape->setText(text);
        page->undoManager().beginUndoGrouping();
        text->undoString(kx::AttributedString(QStringLiteral("A")), kx::AttributedString(QStringLiteral("B")));
        page->undoManager().endUndoGrouping();
        shape->setText(KXText::initWithOwner(shape.get()));
    }
    EXPECT_TRUE(weak.expired());
    ASSERT_TRUE(page->undoManager().canUndo());
    page->undoManager().undo();  // no crash, no effect
}

// Centring a shape's text puts it in the middle of its columns and centres every paragraph, typing included;
// a code that is no alignment changes nothing.
TEST_F(TextFieldTest, CentringSetsTheMiddleAndCentresEveryParagraph) {
    auto text = KXText::initWithOwner(nullptr, QStringLiteral("First\nSecond"));
    KXShapeText& field = *text;
    field.setVerticalAlignment(KXTextVerticalAlignmentMiddle);
    field.setParagraphAlignment(2);
    EXPECT_EQ(text->verticalAlignment(), KXTextVerticalAlignmentMiddle);
    for (const qsizetype index : {qsizetype(0), qsizetype(7)})
        EXPECT_EQ(text->textStorage().attributedString().attributesAt(index).paragraphStyle->alignment, kx::TextAlignment::Center);
    ASSERT_FALSE(text->textViews().empty());
    for (const auto& view : text->textViews())
        EXPECT_EQ(view->typingAttributes().paragraphStyle->alignment, kx::TextAlignment::Center);
    field.setParagraphAlignment(7);
    EXPECT_EQ(text->textStorage().attributedString().attributesAt(0).paragraphStyle->alignment, kx::TextAlignment::Center);
    EXPECT_FALSE(field.isEmpty());
    EXPECT_TRUE(KXText::initWithOwner(nullptr)->isEmpty());
}

// Drawn for output, the text takes its area from the shape's own frame at the page's zoom, centred on the
// rectangle it is given; drawn for the screen, from the rectangle itself.
TEST_F(TextFieldTest, OutputDrawingTakesTheAreaFromTheShapesFrame) {
    auto shape = plainText({0, 0, 200, 100}, QStringLiteral("Words that need the whole width"), 20);
    shape->setStrokeEnabled(false);
    KXText& text = textOf(*shape);
    text.setTextMarginEnabled(false);
    auto leftmostInk = [&](std::int32_t intent) {
        page->setRenderIntent(intent);
        kx::BitmapContext context(400, 100);
        text.drawInContext(context, {100, 0, 100, 100});  // half the frame's width
        page->setRenderIntent(KXRenderIntentPreview);
        const QImage image = context.makeImage().qimage();
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                if (pixelAt(image, x, y).a > 128)
                    return x;
        return -1;
    };
    const int preview = leftmostInk(KXRenderIntentPreview);
    const int output = leftmostInk(KXRenderIntentOutput);
    ASSERT_GE(preview, 0);
    ASSERT_GE(output, 0);
    EXPECT_GE(preview, 100) << "inside the rectangle given";
    // 200 wide about the rectangle's centre (150): from x 50.
    EXPECT_GE(output, 50);
    EXPECT_LT(output, 60);
}

namespace {

// The drawing of a shape's text field into a bitmap the size of the page at the zoom, the field drawn
// into its frame (which the page gives at its zoom).
QImage drawnField(KXShape& shape, kx::Size page, double zoom = 1) {
    kx::BitmapContext context(int(page.width * zoom), int(page.height * zoom));
    textOf(shape).drawInContext(context, shape.frameRect());
    return context.makeImage().qimage();
}

// An image a whole number of times smaller, each pixel the average of its block (premultiplied).
QImage shrunk(const QImage& image, int factor) {
    const QImage source = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    QImage small(source.width() / factor, source.height() / factor, QImage::Format_RGBA8888_Premultiplied);
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x) {
            int sum[4] = {};
            for (int dy = 0; dy < factor; ++dy) {
                const uchar* row = source.constScanLine(y * factor + dy) + 4 * x * factor;
                for (int i = 0; i < 4 * factor; ++i)
                    sum[i % 4] += row[i];
            }
            uchar* out = small.scanLine(y) + 4 * x;
            for (int c = 0; c < 4; ++c)
                out[c] = uchar(sum[c] / (factor * factor));
        }
    return small;
}

// Coverage in pixels: of all ink (alpha), and of the blue outline (the blue channel where red stays low).
struct Coverage {
    double ink = 0;
    double blue = 0;
};

Coverage coverage(const QImage& image) {
    const QImage p = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    Coverage c;
    for (int y = 0; y < p.height(); ++y) {
        const uchar* row = p.constScanLine(y);
        for (int x = 0; x < p.width(); ++x) {
            c.ink += row[4 * x + 3] / 255.0;
            c.blue += std::max(0, row[4 * x + 2] - row[4 * x]) / 255.0;
        }
    }
    return c;
}

}  // namespace

// The outline of a plain field is a share of the font size: drawn at four times the size and brought back
// down, the outlined text covers what it covers at the normal size.
TEST_F(TextFieldTest, TheOutlineLooksTheSameAtEveryOutputSize) {
    page = textPage(300, 120);
    auto shape = outlinedText({0, 0, 300, 120}, QStringLiteral("WM ok"), 60);
    const kx::Size pixels = page->pixelSize();
    const Coverage one = coverage(drawnField(*shape, pixels));
    for (const int zoom : {2, 4}) {
        page->zoomToFitSize({pixels.width * zoom, pixels.height * zoom});
        const Coverage large = coverage(shrunk(drawnField(*shape, pixels, zoom), zoom));
        page->zoomToFitSize(pixels);
        ASSERT_GT(one.blue, 100);
        EXPECT_NEAR(large.blue / one.blue, 1, 0.1) << "outline at zoom " << zoom;
        EXPECT_NEAR(large.ink / one.ink, 1, 0.1) << "all ink at zoom " << zoom;
    }
}

namespace {

// Pixels of glyph ink in `drawing` well inside the object (the pixel and its diagonal neighbours covered
// by the object drawn by itself into the same space); `covered` counts those pixels.
int inkUnderObject(KXGraph& object, const QImage& drawing, int* covered) {
    kx::BitmapContext objectOnly(drawing.width(), drawing.height());
    object.drawInContext(objectOnly, object.frameRect());
    const QImage area = objectOnly.makeImage().qimage();
    int inked = 0;
    *covered = 0;
    for (int y = 1; y < area.height() - 1; ++y)
        for (int x = 1; x < area.width() - 1; ++x) {
            const bool inside =
                pixelAt(area, x, y).a > 0 && pixelAt(area, x - 1, y - 1).a > 0 && pixelAt(area, x + 1, y + 1).a > 0;
            *covered += inside;
            inked += inside && pixelAt(drawing, x, y).a > 0;
        }
    return inked;
}

const kx::Size kWrapPage(400, 300);

}  // namespace

// A field on a page of its own size, with an object it flows around in front of its left half, level with
// its middle (or where `objectRect` puts it, relative to the page).
std::pair<std::shared_ptr<OutlineShape>, std::shared_ptr<SolidGraph>> fieldBesideObject(
    std::shared_ptr<KXCanvas>& page, const QString& string, std::uint64_t alignment,
    const kx::Rect& objectRect = {0, 0.4, 0.45, 0.2}) {
    page = textPage(kWrapPage.width, kWrapPage.height);
    auto shape = textShape(*page, {0, 0, kWrapPage.width, kWrapPage.height}, string, dejaVu(16),
                           OutlineShape::Kind::Rectangle, true);
    shape->setStrokeEnabled(false);
    auto object = std::make_shared<SolidGraph>();
    page->addGraph(object);
    object->setRelativeRect(objectRect);
    object->setTextWrapEnabled(true);
    KXText& text = textOf(*shape);
    text.updateWrapRect();
    text.setVerticalAlignment(alignment);
    return {shape, object};
}

// Middle- and bottom-aligned text beside an object it flows around, edited (and laid out again or not), is
// drawn right by the next drawing: no glyph touches the object, and the drawing is that of a new field
// holding the edited text.
TEST_F(TextFieldTest, AlignedTextBesideAWrapObjectIsDrawnRightAfterAnEdit) {
    const QString before = QStringLiteral("words that flow around the object ").repeated(2);
    const QString after = before + QStringLiteral("and more words that make the text taller ").repeated(6);
    for (const auto& [alignment, relayout] : {std::pair{KXTextVerticalAlignmentMiddle, false},
                                              std::pair{KXTextVerticalAlignmentMiddle, true},
                                              std::pair{KXTextVerticalAlignmentBottom, false},
                                              std::pair{KXTextVerticalAlignmentBottom, true}}) {
        SCOPED_TRACE(testing::Message() << "alignment " << alignment << (relayout ? ", laid out again" : ", typed"));
        auto [shape, object] = fieldBesideObject(page, before, alignment);
        KXText& text = textOf(*shape);
        drawnField(*shape, kWrapPage);
        text.textStorage().replaceCharacters({0, before.size()}, after);
        if (relayout)
            text.relayoutText();
        const QImage edited = drawnField(*shape, kWrapPage);
        int covered = 0;
        EXPECT_EQ(inkUnderObject(*object, edited, &covered), 0) << "glyph ink under the object";
        ASSERT_GT(covered, 1000);

        auto [fresh, freshObject] = fieldBesideObject(page, after, alignment);
        EXPECT_EQ(maxChannelDifference(edited, drawnField(*fresh, kWrapPage)), 0);
        EXPECT_EQ(textOf(*fresh).drawnLines(), text.drawnLines());
    }
}

// Drawings keep the layout of the text they can keep; what changes the places of lines is always seen by
// the next drawing: an object moved, the field resized, a column added.
TEST_F(TextFieldTest, EveryChangeOfTheColumnsGeometryReachesTheNextDrawing) {
    const QString string = QStringLiteral("words that flow around the object in front of them ").repeated(6);
    // Each change, applied to a field drawn before or to a new one.
    const std::pair<const char*, std::function<void(KXShape&, KXGraph&)>> changes[] = {
        {"object moved", [](KXShape&, KXGraph& object) { object.setRelativeRect({0.3, 0.1, 0.4, 0.25}); }},
        {"field narrowed", [](KXShape& shape, KXGraph&) { shape.setRelativeRect({0, 0, 0.8, 1}); }},
        {"second column",
         [](KXShape& shape, KXGraph&) {
             textOf(shape).setColumnInfos({KXColumnInfo::columnInfoWithWidth(0.45, 0.1),
                                           KXColumnInfo::columnInfoWithWidth(0.45, 0)});
         }},
    };
    for (const auto& [name, apply] : changes) {
        SCOPED_TRACE(name);
        auto [shape, object] = fieldBesideObject(page, string, KXTextVerticalAlignmentTop);
        drawnField(*shape, kWrapPage);
        apply(*shape, *object);
        const QImage changed = drawnField(*shape, kWrapPage);
        int covered = 0;
        EXPECT_EQ(inkUnderObject(*object, changed, &covered), 0) << "glyph ink under the object";
        ASSERT_GT(covered, 1000);

        auto [fresh, freshObject] = fieldBesideObject(page, string, KXTextVerticalAlignmentTop);
        apply(*fresh, *freshObject);
        EXPECT_EQ(maxChannelDifference(changed, drawnField(*fresh, kWrapPage)), 0);
        EXPECT_EQ(textOf(*fresh).drawnLines(), textOf(*shape).drawnLines());
    }
}

// A colour emoji in a plain field shows in its colours.
TEST_F(TextFieldTest, ColourEmojiShowInTheirColours) {
    KX_REQUIRE_EMOJI_FONT();
    auto shape = plainText({0, 0, 300, 120}, kGrinningFace + QStringLiteral(" ") + kGrinningFace, 40);
    shape->setStrokeEnabled(false);
    kx::AttributedString withEmoji = textOf(*shape).textStorage().attributedString();
    setEmojiFont(withEmoji, 40);
    textOf(*shape).textStorage().setAttributedString(withEmoji);
    const QImage image = drawnField(*shape, page->pixelSize());
    EXPECT_GT(colouredPixels(image, image.rect()), 500);
}
