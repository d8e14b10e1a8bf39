#include "canvas/canvas_layer.h"
#include "canvas/shape_layer.h"
#include "model/background.h"
#include "model/frame.h"
#include "platform/foundation/bundle.h"
#include "model/photo.h"
#include "model/shape.h"
#include "model/shape_text.h"
#include "model/stroke.h"
#include "platform/layers/layer_host.h"
#include "platform/layers/layer_renderer.h"
#include "support/pixel_probe.h"

#include "model/page_test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using kxtest::Rgba;

namespace {

// An oval outline (the parametric shapes build theirs the same way, through shapePathWithRect).
class OvalShape : public KXShape {
public:
    kx::BezierPath shapePathWithRect(const kx::Rect& rect) const override {
        return kx::BezierPath::withOvalInRect(rect);
    }
};

class ShapeLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        layer = KXCanvasLayer::create();
        page()->background()->setColor1(kx::Color::srgb(1, 1, 1, 1));
        layer->setFrame({0, 0, 800, 600});
        ASSERT_EQ(page()->previewSize(), kx::Size(800, 600));
    }
    KXCanvas* page() { return layer->canvas(); }

    template <class S = KXShape>
    std::shared_ptr<S> shapeAt(const kx::Rect& frame, bool keepPhoto) {
        auto shape = std::make_shared<S>();
        shape->setText(nullptr);
        if (!keepPhoto)
            shape->setPhoto(nullptr);
        page()->addGraph(shape);
        const kx::Size preview = page()->previewSize();
        shape->setRelativeRect({frame.origin.x / preview.width, frame.origin.y / preview.height,
                                frame.size.width / preview.width, frame.size.height / preview.height});
        return shape;
    }
    static KXShapeLayer* layerOf(const KXGraph& graph) { return dynamic_cast<KXShapeLayer*>(graph.render()); }
    QImage render() { return kx::renderLayerTree(*layer).qimage(); }

    QString writeImage(const QString& name, const QImage& image) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path));
        return path;
    }

    QTemporaryDir dir;
    std::shared_ptr<KXCanvasLayer> layer;
};

TEST_F(ShapeLayerTest, ShapesPhotosAndTextBoxesGetShapeLayersWithAContentLayer) {
    auto plain = shapeAt({10, 10, 100, 50}, false);
    auto photo = shapeAt({10, 10, 100, 50}, true);
    auto text = std::make_shared<KXShape>();
    text->setPhoto(nullptr);
    text->setText(std::make_shared<KXShapeText>());
    page()->addGraph(text);
    for (KXGraph* graph : {static_cast<KXGraph*>(plain.get()), static_cast<KXGraph*>(photo.get()),
                           static_cast<KXGraph*>(text.get())}) {
        KXShapeLayer* shapeLayer = layerOf(*graph);
        ASSERT_TRUE(shapeLayer) << graph->graphType();
        ASSERT_EQ(shapeLayer->sublayers().size(), 1u);
        EXPECT_EQ(shapeLayer->sublayers()[0].get(), shapeLayer->contentLayer());
        EXPECT_EQ(shapeLayer->contentLayer()->owner(), shapeLayer);
        EXPECT_FALSE(shapeLayer->masksToBounds());
    }
}

TEST_F(ShapeLayerTest, ExpandSizeFromThePreview) {
    auto shape = shapeAt({10, 10, 100, 50}, false);
    KXShapeLayer* shapeLayer = layerOf(*shape);
    struct Case {
        kx::Size preview;
        double expand;
    } cases[] = {{{800, 600}, 220}, {{1000, 800}, 260}, {{400, 300}, 100}, {{5000, 500}, 100}, {{1005, 1005}, 301}};
    for (const Case& c : cases) {
        page()->setPreviewSize(c.preview);
        EXPECT_EQ(shapeLayer->getExpandSize(), c.expand) << c.preview.width;
    }
    page()->setPreviewSize({1000, 800});
    shapeLayer->updateContentLayerFrame();
    const kx::Rect content = shapeLayer->contentLayer()->frame();
    EXPECT_EQ(content.size.width - shapeLayer->bounds().size.width, 520);
    EXPECT_EQ(content.size.height - shapeLayer->bounds().size.height, 520);
    EXPECT_EQ(content.origin, kx::Point(-260, -260));
}

TEST_F(ShapeLayerTest, OpacityFadesTheContentLayerOnly) {
    auto shape = shapeAt({10, 10, 100, 50}, false);
    shape->setFillEnabled(true);
    shape->setOpacity(0.5);
    KXShapeLayer* shapeLayer = layerOf(*shape);
    EXPECT_EQ(shapeLayer->opacity(), 1);
    EXPECT_EQ(shapeLayer->contentLayer()->opacity(), 0.5);
    // Painted at full strength and faded once.
    const QImage image = render();
    const Rgba inside = kxtest::pixelAtYUp(image, 60, 35);
    EXPECT_NEAR(inside.r, (255 + 55) / 2, 3);
    EXPECT_EQ(shape->opacity(), 0.5);
}

TEST_F(ShapeLayerTest, PageRendersABorderBeyondTheFrameAndTheOutlineFollowsTheFrame) {
    auto shape = shapeAt({100, 100, 200, 100}, false);
    shape->setFillEnabled(true);
    shape->background()->setColorType(KXColorTypeSolid);
    shape->background()->setColor1(kx::Color::srgb(1, 0, 0, 1));
    QImage image = render();
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 200, 150), (Rgba{255, 0, 0, 255}), 2);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 99, 150), (Rgba{255, 255, 255, 255}), 2);

    QCoreApplication::processEvents();
    page()->undoManager().removeAllActions();
    shape->setRelativeRect({0.125, 0.25, 0.5, 0.25});  // 400 x 150 at (100, 150)
    QCoreApplication::processEvents();
    EXPECT_EQ(shape->path().bounds(), kx::Rect(0, 0, 400, 150));
    image = render();
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 450, 200), (Rgba{255, 0, 0, 255}), 2);
    // One step: the rectangle; the outline rebuilt by the layer adds none.
    ASSERT_TRUE(page()->undoManager().canUndo());
    page()->undoManager().undo();
    EXPECT_FALSE(page()->undoManager().canUndo());
    EXPECT_EQ(shape->path().bounds(), kx::Rect(0, 0, 200, 100));
}

class DirtyArea : public kx::LayerHost {
public:
    void layerNeedsRepaint(const kx::Rect& rect) override { area = area.isNull() ? rect : area.united(rect); }
    kx::Rect area = kx::Rect::null();
};

TEST_F(ShapeLayerTest, AMovedShapeRepaintsAroundWhatItPaintsNotItsWholeContentLayer) {
    auto shape = shapeAt({100, 100, 100, 80}, false);
    shape->setFillEnabled(true);
    render();
    DirtyArea dirty;
    layer->setHost(&dirty);
    shape->setRelativeRect({110 / 800.0, 100 / 600.0, 100 / 800.0, 80 / 600.0});
    layer->setHost(nullptr);
    // The content layer reaches 220 beyond the frame on every side; the repaint covers the old and the new
    // place of the painted rectangle only.
    EXPECT_EQ(layerOf(*shape)->contentLayer()->frame().size.width, 540);
    EXPECT_EQ(dirty.area, kx::Rect(100, 100, 110, 80));
    const QImage image = render();
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 205, 140), (Rgba{55, 159, 216, 255}), 2);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 105, 140), (Rgba{255, 255, 255, 255}), 2);
}

TEST_F(ShapeLayerTest, ContentLayerPaintsOnlyWhereTheShapeCanReachAndAllOfIt) {
    // An expandable frame of expansion 8 and corner 20: red corners, green edges.
    const QString res = dir.filePath(QStringLiteral("Resources"));
    const QString wood = res + QStringLiteral("/Frame/Wood");
    ASSERT_TRUE(QDir().mkpath(wood + QStringLiteral("/Material")));
    QFile description(wood + QStringLiteral("/Wood.xml"));
    ASSERT_TRUE(description.open(QIODevice::WriteOnly));
    description.write(R"(<plist version="1.0"><dict><key>expansion</key><real>8</real>)"
                      R"(<key>width</key><real>20</real></dict></plist>)");
    description.close();
    for (const char* piece : {"lb", "lt", "rt", "rb", "bottom", "top", "left", "right"}) {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(QString::fromLatin1(piece).size() == 2 ? QColor(255, 0, 0) : QColor(0, 255, 0));
        writeImage(QStringLiteral("Resources/Frame/Wood/Material/%1.png").arg(QLatin1String(piece)), image);
    }
    kx::Bundle::setMainResourcePath(res);
    QImage picture(100, 100, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 255));
    auto photo = shapeAt({200, 200, 100, 100}, true);
    photo->photo()->setImagePath(writeImage(QStringLiteral("p.png"), picture));
    photo->photo()->setFrame(KXFrame::frameWithName(QStringLiteral("Wood"), 1));
    const QImage image = render();
    kx::Bundle::setMainResourcePath({});
    KXShapeLayer* shapeLayer = layerOf(*photo);
    ASSERT_TRUE(shapeLayer->drawingReach());
    EXPECT_LT(shapeLayer->contentLayer()->contents().width(), 140);  // not the 540 of its bounds
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 193, 193), (Rgba{255, 0, 0, 255}), 2);  // outer corner
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 250, 194), (Rgba{0, 255, 0, 255}), 2);  // bottom edge
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 306, 306), (Rgba{255, 0, 0, 255}), 2);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 250, 250), (Rgba{0, 0, 255, 255}), 2);  // the photo
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 190, 250), (Rgba{255, 255, 255, 255}), 2);

    // A text box may paint anywhere in the margin.
    auto text = shapeAt({500, 100, 100, 100}, false);
    text->setText(std::make_shared<KXShapeText>());
    EXPECT_FALSE(layerOf(*text)->drawingReach());
    EXPECT_EQ(layerOf(*text)->contentLayer()->displayArea(), layerOf(*text)->contentLayer()->bounds());
}

TEST_F(ShapeLayerTest, RotatedOvalCornerIsMissedItsInsideHit) {
    auto oval = shapeAt<OvalShape>({200, 200, 200, 100}, false);
    oval->setFillEnabled(true);
    oval->setAngle(std::numbers::pi / 6);
    oval->setSelected(false);
    // Points given in the unturned frame, turned onto the page as the user sees them.
    auto onPage = [&](double x, double y) {
        const kx::Point c = oval->frameRect().center();
        const double a = oval->angle();
        const double dx = x - c.x, dy = y - c.y;
        return kx::Point{c.x + dx * std::cos(a) - dy * std::sin(a), c.y + dx * std::sin(a) + dy * std::cos(a)};
    };
    EXPECT_FALSE(oval->containsPoint(onPage(205, 205)));  // the frame's empty corner
    EXPECT_FALSE(oval->containsPoint(onPage(395, 295)));
    EXPECT_TRUE(oval->containsPoint(onPage(300, 250)));   // the middle
    EXPECT_TRUE(oval->containsPoint(onPage(210, 250)));   // near the left end
    EXPECT_FALSE(oval->containsPoint(onPage(420, 250)));  // outside the frame
    KXShapeLayer* shapeLayer = layerOf(*oval);
    EXPECT_FALSE(shapeLayer->containsPoint(onPage(205, 205)));
    EXPECT_TRUE(shapeLayer->containsPoint(onPage(300, 250)));
    EXPECT_EQ(page()->selectGraphAtPoint(onPage(205, 205)), nullptr);
    EXPECT_EQ(page()->selectGraphAtPoint(onPage(300, 250)).get(), oval.get());
    // Selected, it is hit anywhere in its frame.
    oval->setSelected(true);
    EXPECT_TRUE(oval->containsPoint(onPage(205, 205)));
}

TEST_F(ShapeLayerTest, PhotoIsHitWhereItPaintsMoreThanFaintly) {
    QImage mask(20, 20, QImage::Format_Grayscale8);
    mask.fill(0);
    for (int y = 0; y < 20; ++y)
        for (int x = 10; x < 20; ++x)
            mask.setPixel(x, y, qRgb(255, 255, 255));
    for (int y = 0; y < 20; ++y)  // a faint column: 8/255
        mask.setPixel(5, y, qRgb(8, 8, 8));
    QImage picture(100, 100, QImage::Format_RGB32);
    picture.fill(QColor(0, 200, 0));
    auto photo = shapeAt({100, 100, 100, 100}, true);
    photo->photo()->setImagePath(writeImage(QStringLiteral("p.png"), picture));
    photo->photo()->setMaskName(writeImage(QStringLiteral("m.png"), mask));
    photo->setSelected(false);
    KXShapeLayer* shapeLayer = layerOf(*photo);
    EXPECT_FALSE(shapeLayer->_containsPoint({20, 50}));   // black half of the mask
    EXPECT_FALSE(shapeLayer->_containsPoint({27, 50}));   // faint
    EXPECT_TRUE(shapeLayer->_containsPoint({80, 50}));
    EXPECT_FALSE(photo->containsPoint({120, 150}));
    EXPECT_TRUE(photo->containsPoint({180, 150}));
    // A text box is hit anywhere in its frame, nowhere outside.
    auto text = shapeAt({400, 100, 100, 100}, false);
    text->setText(std::make_shared<KXShapeText>());
    text->setSelected(false);
    EXPECT_TRUE(text->containsPoint({401, 101}));
    EXPECT_FALSE(text->containsPoint({399, 101}));
}

// A photo whose image file is gone shows the grey placeholder on the page and is hit where it shows it.
TEST_F(ShapeLayerTest, PhotoWithAMissingImageShowsThePlaceholderAndIsHit) {
    auto photo = shapeAt({100, 100, 100, 100}, true);
    photo->photo()->setImagePath(dir.filePath(QStringLiteral("gone.png")));
    photo->setSelected(false);
    const QImage image = render();
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 150, 150), (Rgba{233, 233, 233, 255}), 2);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 150, 199), (Rgba{236, 236, 236, 255}), 2);
    EXPECT_TRUE(photo->containsPoint({150, 150}));
    EXPECT_FALSE(photo->containsPoint({250, 150}));
}

TEST_F(ShapeLayerTest, PaintingRecordsNoUndoStepAndLeavesTheOpacity) {
    auto photo = shapeAt({100, 100, 100, 100}, true);
    photo->setOpacity(0.4);
    QCoreApplication::processEvents();
    page()->undoManager().removeAllActions();
    render();
    layerOf(*photo)->_containsPoint({50, 50});
    QCoreApplication::processEvents();
    EXPECT_FALSE(page()->undoManager().canUndo());
    EXPECT_EQ(photo->opacity(), 0.4);
    EXPECT_EQ(layerOf(*photo)->contentLayer()->opacity(), 0.4);
}

}  // namespace
