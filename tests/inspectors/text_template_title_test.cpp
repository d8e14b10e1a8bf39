// A text of a shipped template keeps showing when the inspector makes it bold or bigger: the template's
// word-art frames are sized tightly to their text; the frame grows to the wider or taller words, and the
// edit and the growth are one undo step.
#include "controls/segmented_control.h"
#include "document/xml_conversion.h"
#include "inspectors/text_view_controller.h"
#include "model/canvas.h"
#include "model/shape.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/undo_manager.h"
#include "text/advanced_text.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cmath>

namespace {

const QString kResources = QStringLiteral(KX_SOURCE_DIR "/resources");
const QString kMosaic = QStringLiteral("Collages/Summer Mosaic");
const QString kTitle = QStringLiteral("Our Summer");

struct TemplateTitle {
    std::shared_ptr<KXCanvas> page;
    std::shared_ptr<KXShape> shape;
    KXAdvancedText* text() const { return static_cast<KXAdvancedText*>(shape->text()); }
    // The page is rendered at half its size, which is plenty for these probes.
    static constexpr double kScale = 0.5;
    // The frame in the rendered image, rows counted from the top.
    QRect area() const {
        const kx::Rect frame = shape->actualRect();
        return QRect(int(frame.minX() * kScale), int((page->pixelSize().height - frame.maxY()) * kScale),
                     int(frame.size.width * kScale), int(frame.size.height * kScale));
    }
    QImage render() const {
        const kx::Size pixels = page->pixelSize();
        return page->renderOutputImage({std::round(pixels.width * kScale), std::round(pixels.height * kScale)}).qimage();
    }
};

TemplateTitle loadTitle(const QString& folder, const QString& words) {
    TemplateTitle title;
    KXXMLConversion result;
    QString error;
    const QString file = xmlTemplateFileInFolder(kResources + QStringLiteral("/Templates/") + folder);
    EXPECT_TRUE(loadXMLTemplateWithPath(file, &result, &error)) << error.toStdString();
    if (result.pages.empty())
        return title;
    title.page = result.pages.front();
    for (const auto& graph : title.page->graphs()) {
        auto shape = std::dynamic_pointer_cast<KXShape>(graph);
        auto* text = shape ? dynamic_cast<KXAdvancedText*>(shape->text()) : nullptr;
        if (text && text->textStorage().attributedString().string() == words)
            title.shape = shape;
    }
    return title;
}

// Pixels that differ clearly from the page rendered without the text, and the rectangle around them.
struct TitleInk {
    int count = 0;
    QRect bounds;
};

TitleInk inkOf(const QImage& page, const QImage& bare) {
    TitleInk ink;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor a = page.pixelColor(x, y), b = bare.pixelColor(x, y);
            if (std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) > 90) {
                ++ink.count;
                ink.bounds |= QRect(x, y, 1, 1);
            }
        }
    return ink;
}

class TemplateTitleTest : public ::testing::Test {
protected:
    void SetUp() override {
        kx::Bundle::setMainResourcePath(kResources);
        title = loadTitle(kMosaic, kTitle);
        ASSERT_TRUE(title.page);
        ASSERT_TRUE(title.shape);
        // The same page without its title: a second copy of the template with the title taken off.
        TemplateTitle other = loadTitle(kMosaic, kTitle);
        ASSERT_TRUE(other.shape);
        other.page->removeGraph(other.shape.get());
        bare = other.render();
        plain = inkOf(title.render(), bare);
        ASSERT_GT(plain.count, 200);
        inspector.updateUIWithGraph(title.shape);
        title.page->undoManager().removeAllActions();
    }
    void TearDown() override { kx::Bundle::setMainResourcePath({}); }

    TemplateTitle title;
    QImage bare;
    TitleInk plain;
    KXTextViewController inspector;
};

TEST_F(TemplateTitleTest, BoldKeepsATightlyFramedTitleWholeOnThePage) {
    const kx::Rect frame = title.shape->actualRect();
    const kx::AttributedString before = title.text()->textStorage().attributedString();
    ASSERT_TRUE(inspector.segmentFontStyle()->isSegmentEnabled(KXTextViewController::StyleBold));
    inspector.setStyle(KXTextViewController::TagStyleBold, true);
    ASSERT_TRUE(title.text()->textStorage().attributedString().attributesAt(0).font->isBold());

    // The heavier, wider face is drawn whole and at its size: more ink, reaching further out than before,
    // on one line; the frame grew around its middle (the title is centred) and keeps its top edge.
    const TitleInk bold = inkOf(title.render(), bare);
    EXPECT_GT(bold.count, plain.count);
    EXPECT_GT(bold.bounds.width(), plain.bounds.width());
    EXPECT_NEAR(bold.bounds.height(), plain.bounds.height(), plain.bounds.height() * 0.1);
    const kx::Rect grown = title.shape->actualRect();
    EXPECT_GT(grown.size.width, frame.size.width);
    EXPECT_NEAR(grown.midX(), frame.midX(), 1);
    EXPECT_NEAR(grown.maxY(), frame.maxY(), 1e-6);
    EXPECT_TRUE(title.area().contains(bold.bounds.adjusted(2, 2, -2, -2)));

    // One undo takes the face and the frame back together.
    kx::UndoManager& undo = title.page->undoManager();
    undo.undo();
    EXPECT_EQ(title.text()->textStorage().attributedString(), before);
    EXPECT_EQ(title.shape->actualRect(), frame);
    EXPECT_FALSE(undo.canUndo());
}

TEST_F(TemplateTitleTest, BiggerMakesTheTitleLookBigger) {
    const kx::Rect frame = title.shape->actualRect();
    inspector.modifyFont(KXTextViewController::TagBigger);
    inspector.modifyFont(KXTextViewController::TagBigger);
    const TitleInk bigger = inkOf(title.render(), bare);
    EXPECT_GT(bigger.bounds.width(), plain.bounds.width() * 105 / 100);
    EXPECT_GT(bigger.bounds.height(), plain.bounds.height() * 105 / 100);
    EXPECT_GT(title.shape->actualRect().size.height, frame.size.height);
    // Smaller never shrinks the frame; the words just fit it again.
    inspector.modifyFont(KXTextViewController::TagSmaller);
    inspector.modifyFont(KXTextViewController::TagSmaller);
    EXPECT_GE(title.shape->actualRect().size.height, frame.size.height);
    EXPECT_NEAR(inkOf(title.render(), bare).bounds.width(), plain.bounds.width(), 2);
}

TEST_F(TemplateTitleTest, ALockedTitleKeepsItsFrameAndStillShowsWhole) {
    title.shape->setLocked(true);
    const kx::Rect frame = title.shape->actualRect();
    // The inspector's toggles still reach a locked object's text (the menu does not).
    inspector.setStyle(KXTextViewController::TagStyleBold, true);
    EXPECT_EQ(title.shape->actualRect(), frame);
    const TitleInk bold = inkOf(title.render(), bare);
    EXPECT_GT(bold.count, plain.count * 9 / 10);
    EXPECT_TRUE(title.area().adjusted(-2, -2, 2, 2).contains(bold.bounds));
}

}  // namespace
