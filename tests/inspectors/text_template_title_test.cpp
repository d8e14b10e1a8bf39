// A text of a shipped template keeps showing when the inspector makes it bold: the template's word-art frames
// are sized tightly to their text, and a wider or taller face must still be drawn.
#include "controls/segmented_control.h"
#include "document/xml_conversion.h"
#include "inspectors/text_view_controller.h"
#include "model/canvas.h"
#include "model/shape.h"
#include "platform/foundation/bundle.h"
#include "text/advanced_text.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

const QString kResources = QStringLiteral(KX_SOURCE_DIR "/resources");

struct TemplateTitle {
    std::shared_ptr<KXCanvas> page;
    std::shared_ptr<KXShape> shape;
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

// Pixels inside `area` of the page that differ clearly from the page rendered without the text.
int inkInside(const QImage& page, const QImage& bare, const QRect& area) {
    int count = 0;
    const QRect r = area & page.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor a = page.pixelColor(x, y), b = bare.pixelColor(x, y);
            count += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) > 90;
        }
    return count;
}

class TemplateTitleTest : public ::testing::Test {
protected:
    void SetUp() override { kx::Bundle::setMainResourcePath(kResources); }
    void TearDown() override { kx::Bundle::setMainResourcePath({}); }
};

TEST_F(TemplateTitleTest, BoldKeepsATightlyFramedTitleOnThePage) {
    TemplateTitle title = loadTitle(QStringLiteral("Collages/Summer Mosaic"), QStringLiteral("Our Summer"));
    ASSERT_TRUE(title.page);
    ASSERT_TRUE(title.shape);
    const kx::Size pixels = title.page->pixelSize();
    const kx::Rect frame = title.shape->actualRect();
    // The frame in image rows counted from the top.
    const QRect area(int(frame.minX()), int(pixels.height - frame.maxY()), int(frame.size.width), int(frame.size.height));
    const QImage plain = title.page->renderOutputImage(pixels).qimage();
    // The same page without its title: a second copy of the template with the title taken off.
    TemplateTitle other = loadTitle(QStringLiteral("Collages/Summer Mosaic"), QStringLiteral("Our Summer"));
    ASSERT_TRUE(other.shape);
    other.page->removeGraph(other.shape.get());
    const QImage bare = other.page->renderOutputImage(pixels).qimage();
    const int plainInk = inkInside(plain, bare, area);
    ASSERT_GT(plainInk, 500);

    KXTextViewController inspector;
    inspector.updateUIWithGraph(title.shape);
    ASSERT_TRUE(inspector.segmentFontStyle()->isSegmentEnabled(KXTextViewController::StyleBold));
    inspector.setStyle(KXTextViewController::TagStyleBold, true);
    ASSERT_TRUE(static_cast<KXAdvancedText*>(title.shape->text())->textStorage().attributedString().attributesAt(0).font->isBold());
    const QImage bold = title.page->renderOutputImage(pixels).qimage();
    // Bold strokes are heavier: the title shows with more ink, not less, and still both words.
    EXPECT_GT(inkInside(bold, bare, area), plainInk);
    const QRect rightHalf(area.center().x(), area.top(), area.width() / 2, area.height());
    EXPECT_GT(inkInside(bold, bare, rightHalf), inkInside(plain, bare, rightHalf) * 9 / 10);
}

}  // namespace
