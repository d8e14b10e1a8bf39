#include "canvas/backdrop_layers.h"
#include "canvas/canvas_layer.h"
#include "canvas/crop_layer.h"
#include "canvas/custom_layer.h"
#include "model/photo.h"
#include "model/shape.h"
#include "platform/foundation/bundle.h"
#include "platform/gfx/bezier_path_coding.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer_renderer.h"
#include "support/pixel_probe.h"

#include "model/page_test_support.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using kxtest::Rgba;

namespace {

using ElementType = kx::BezierPath::ElementType;

class Recorder : public kx::KeyObserver {
public:
    void observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                      const kx::Value&) override {
        keys.push_back(key);
        lastObject = object;
        lastOld = oldValue;
    }
    std::vector<QString> keys;
    kx::Observable* lastObject = nullptr;
    kx::Value lastOld;
};

kx::BezierPath startedPath() {
    kx::BezierPath path;
    path.moveTo({20, 20});
    path.lineTo({100, 40});
    return path;
}

TEST(PenToolLayer, ShortDragLeavesTheSegmentStraight) {
    KXCustomLayer layer(startedPath());
    layer.mouseDraggingWithPoint({95, 43});
    EXPECT_EQ(layer.customPath()->elementAtIndex(1).type, ElementType::LineTo);
    // With only one element nothing ever changes.
    kx::BezierPath single;
    single.moveTo({5, 5});
    KXCustomLayer lone(single);
    lone.mouseDraggingWithPoint({80, 80});
    EXPECT_EQ(lone.customPath()->elementCount(), 1);
}

TEST(PenToolLayer, DragMirrorsTheIncomingHandleThroughTheNode) {
    KXCustomLayer layer(startedPath());
    layer.mouseDraggingWithPoint({80, 40});  // 20 points left of the new node
    const kx::BezierPath::Element last = layer.customPath()->elementAtIndex(1);
    ASSERT_EQ(last.type, ElementType::CurveTo);
    EXPECT_EQ(last.points[2], kx::Point(100, 40));
    EXPECT_EQ(last.points[1], kx::Point(120, 40));  // 20 points to the right
    EXPECT_EQ(last.points[0], kx::Point(20, 20));   // after a straight element: its end point
    // A next curve after a curved node keeps the first control point it was given.
    layer.curveToPoint({160, 60}, {80, 40}, {160, 60});
    layer.mouseDraggingWithPoint({160, 90});
    const kx::BezierPath::Element next = layer.customPath()->elementAtIndex(2);
    EXPECT_EQ(next.points[0], kx::Point(80, 40));
    EXPECT_EQ(next.points[1], kx::Point(160, 30));
}

TEST(PenToolLayer, PathChangesAreAnnouncedAndUndoneByKey) {
    KXCustomLayer layer(startedPath());
    Recorder recorder;
    layer.addObserver(&recorder);
    kx::BezierPath longer = startedPath();
    longer.lineTo({150, 10});
    layer.setCustomPath(longer);
    ASSERT_EQ(recorder.keys.size(), 1u);
    EXPECT_EQ(recorder.keys[0], QStringLiteral("customPath"));
    EXPECT_EQ(recorder.lastObject, &layer.observable());
    const auto old = recorder.lastOld.objectAs<kx::CodableBezierPath>();
    ASSERT_TRUE(old);
    EXPECT_EQ(old->path.elementCount(), 2);
    // Undo sets the old value back by key.
    EXPECT_TRUE(layer.observable().setValueForKey(QStringLiteral("customPath"), recorder.lastOld));
    EXPECT_EQ(layer.customPath()->elementCount(), 2);
    layer.removeObserver(&recorder);
    layer.setCustomPath(std::nullopt);
    EXPECT_EQ(recorder.keys.size(), 2u);
}

TEST(PenToolLayer, DrawsThePathItsNodesAndTheMirroredHandles) {
    auto layer = std::make_shared<KXCustomLayer>(startedPath());
    layer->setFrame({0, 0, 200, 100});
    layer->mouseDraggingWithPoint({80, 40});
    const QImage image = kx::renderLayerTree(*layer).qimage();
    // Node circles: white inside, blue-outlined.
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 20, 20), (Rgba{255, 255, 255, 255}), 0);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 99, 41), (Rgba{255, 255, 255, 255}), 0);
    const Rgba rim = kxtest::pixelAtYUp(image, 102, 40);
    EXPECT_LT(rim.r, rim.b);
    // The handle line in violet-blue between the node and both knobs; the knobs white.
    const Rgba handle = kxtest::pixelAtYUp(image, 110, 40);
    EXPECT_GT(handle.a, 0);
    EXPECT_GT(handle.b, handle.g);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 120, 40), (Rgba{255, 255, 255, 255}), 0);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 80, 40), (Rgba{255, 255, 255, 255}), 0);
    // An empty layer draws nothing.
    auto empty = std::make_shared<KXCustomLayer>();
    empty->setFrame({0, 0, 20, 20});
    EXPECT_EQ(kxtest::pixelAtYUp(kx::renderLayerTree(*empty).qimage(), 10, 10).a, 0);
}

class CropGhostTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        page = KXCanvasLayer::create();
        page->setFrame({0, 0, 400, 300});
        shape = std::make_shared<KXShape>();
        shape->setText(nullptr);
        page->canvas()->addGraph(shape);
        shape->setRelativeRect({0.25, 0.25, 0.25, 0.25});  // (100, 75, 100, 75)
        QImage picture(200, 100, QImage::Format_RGB32);
        picture.fill(QColor(0, 0, 255));
        const QString path = dir.filePath(QStringLiteral("p.png"));
        ASSERT_TRUE(picture.save(path));
        shape->photo()->setImagePath(path);
        ghost = std::make_shared<KXCropLayer>(shape->photoPtr());
        ghost->setFrame(page->bounds());
        page->insertSublayerBelow(ghost, dynamic_cast<kx::Layer*>(shape->render()));
    }
    QTemporaryDir dir;
    std::shared_ptr<KXCanvasLayer> page;
    std::shared_ptr<KXShape> shape;
    std::shared_ptr<KXCropLayer> ghost;
};

TEST_F(CropGhostTest, ShowsTheWholeImageFaintlyAndRedrawsWithTheCropAndTheFrame) {
    const kx::Rect full = shape->photo()->fullImageRectForDrawing(shape->frameRect());
    ASSERT_GT(full.size.width, shape->frameRect().size.width);  // the wide image overhangs its frame
    kx::renderLayerTree(*page);  // the photo makes its picture for its size
    const QImage image = kx::renderLayerTree(*ghost).qimage();
    const Rgba outside = kxtest::pixelAtYUp(image, int(full.origin.x) + 2, int(full.midY()));
    EXPECT_COLOR_NEAR(outside, (Rgba{0, 0, 255, 77}), 2);
    EXPECT_EQ(kxtest::pixelAtYUp(image, 5, 5).a, 0);
    const kx::Rect crop = shape->photo()->cropRect();
    shape->photo()->setCropRect({crop.origin.x / 2, crop.origin.y, crop.size.width, crop.size.height});
    EXPECT_TRUE(ghost->needsDisplay());
    ghost->displayIfNeeded();
    shape->setRelativeRect({0.3, 0.25, 0.25, 0.25});
    EXPECT_TRUE(ghost->needsDisplay());
    // Drawing stores nothing in the photo.
    const kx::Rect before = shape->photo()->cropRect();
    kx::renderLayerTree(*ghost);
    EXPECT_EQ(shape->photo()->cropRect(), before);
}

TEST(BackdropLayers, TexturesTileFromTheTopAndTheBackdropKeepsAOnePointEdge) {
    kx::Bundle::setMainResourcePath(QStringLiteral(KX_SOURCE_DIR "/resources"));
    const kx::Image sheet = KXShadowLayer::texture();
    const kx::Image workspace = KXPreviewLayer::texture();
    kx::Bundle::setMainResourcePath({});
    ASSERT_FALSE(sheet.isNull());
    ASSERT_FALSE(workspace.isNull());
    EXPECT_EQ(sheet.width(), 128);
    EXPECT_EQ(workspace.height(), 128);

    auto backdrop = std::make_shared<KXShadowLayer>();
    backdrop->setFrame({0, 0, 300, 200});
    const QImage b = kx::renderLayerTree(*backdrop).qimage();
    EXPECT_EQ(kxtest::pixelAt(b, 0, 0).a, 0);      // the one-point edge stays clear
    EXPECT_EQ(kxtest::pixelAt(b, 299, 199).a, 0);
    // Memory row 1 of the layer is row 1 of the texture; it repeats every 128 pixels.
    const QImage tex = sheet.qimage();
    EXPECT_COLOR_NEAR(kxtest::pixelAt(b, 5, 1), kxtest::pixelAt(tex, 5, 1), 1);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(b, 133, 129), kxtest::pixelAt(tex, 5, 1), 1);

    auto root = std::make_shared<KXPreviewLayer>();
    root->setFrame({0, 0, 300, 200});
    const QImage r = kx::renderLayerTree(*root).qimage();
    EXPECT_COLOR_NEAR(kxtest::pixelAt(r, 0, 0), kxtest::pixelAt(workspace.qimage(), 0, 0), 1);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(r, 130, 3), kxtest::pixelAt(workspace.qimage(), 2, 3), 1);
}

TEST(TemplateHeaderLayer, RuleStopsTwentyPointsShortOfTheRightEdge) {
    auto header = std::make_shared<KXTemplateHeaderLayer>();
    header->setFrame({0, 0, 300, 30});
    header->setString(QStringLiteral("Cards"));
    header->setFontSize(14);
    const QImage image = kx::renderLayerTree(*header).qimage();
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 0, 0), (Rgba{255, 255, 255, 255}), 0);
    EXPECT_COLOR_NEAR(kxtest::pixelAtYUp(image, 279, 0), (Rgba{255, 255, 255, 255}), 0);
    EXPECT_EQ(kxtest::pixelAtYUp(image, 280, 0).a, 0);
    EXPECT_EQ(kxtest::pixelAtYUp(image, 150, 1).a, 0);
    // The text stands at the top-left.
    int inked = 0;
    for (int y = 14; y < 30; ++y)
        for (int x = 0; x < 60; ++x)
            inked += kxtest::pixelAtYUp(image, x, y).a > 0;
    EXPECT_GT(inked, 20);
}

}  // namespace
