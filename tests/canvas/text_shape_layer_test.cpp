// Text boxes on the page layer: their word-art text is painted through the shape layer.
#include "canvas/canvas_layer.h"
#include "canvas/shape_layer.h"
#include "model/background.h"
#include "model/shape.h"
#include "platform/layers/layer_renderer.h"
#include "support/pixel_probe.h"
#include "text/advanced_text.h"

#include "model/page_test_support.h"

#include <gtest/gtest.h>

namespace {

int darkPixelsIn(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const kxtest::Rgba p = kxtest::pixelAt(image, x, y);
            if (p.r < 80 && p.g < 80 && p.b < 80)
                ++n;
        }
    return n;
}

}  // namespace

TEST(TextShapeLayer, TextBoxShowsItsTextOnThePage) {
    kxtest::registerPageClasses();
    auto layer = KXCanvasLayer::create();
    KXCanvas* page = layer->canvas();
    page->background()->setColor1(kx::Color::srgb(1, 1, 1, 1));
    layer->setFrame({0, 0, 800, 600});
    auto shape = std::make_shared<KXShape>();
    shape->setPhoto(nullptr);
    page->addGraph(shape);
    ASSERT_EQ(shape->graphType(), KXGraphTypeText);
    shape->setStrokeEnabled(false);
    const kx::Size preview = page->previewSize();
    shape->setRelativeRect({100 / preview.width, 100 / preview.height, 400 / preview.width, 200 / preview.height});
    auto* text = dynamic_cast<KXAdvancedText*>(shape->text());
    ASSERT_TRUE(text);
    kx::TextAttributes a = KXText::defaultAttributes();
    a.font = kx::Font::withFamily(QStringLiteral("DejaVu Sans"), QStringLiteral("Bold"), 60);
    text->textStorage().setAttributedString(kx::AttributedString(QStringLiteral("HELLO"), a));
    text->setFontScale(1 / page->zoomValue());
    QImage image = kx::renderLayerTree(*layer).qimage();
    // The frame spans x 100..500 and (y up) 100..300: in image rows 300..500.
    const QRect frame(100, 600 - 300, 400, 200);
    EXPECT_GT(darkPixelsIn(image, frame), 500);
    EXPECT_EQ(darkPixelsIn(image, QRect(0, 0, 800, 280)), 0) << "nothing above the box";
    // An emptied text leaves the box blank.
    text->setString(QString());
    image = kx::renderLayerTree(*layer).qimage();
    EXPECT_EQ(darkPixelsIn(image, frame), 0);
}
