#include "canvas/auxiliary_layer.h"
#include "canvas/canvas_layer.h"
#include "canvas/graph_layer.h"
#include "canvas/shape_layer.h"
#include "model/background.h"
#include "model/photo.h"
#include "model/shape.h"
#include "model/tracker.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/user_defaults.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer_host.h"
#include "shapes/symbol_shape.h"
#include "support/pixel_probe.h"

#include "model/page_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

using kxtest::Rgba;

namespace {

// A pen-drawn path shape of a given number of straight segments, built for any frame.
class PathShape : public KXShape {
public:
    explicit PathShape(int segments) : m_segments(segments) { setShapeType(0); }
    kx::BezierPath shapePathWithRect(const kx::Rect& rect) const override {
        kx::BezierPath path;
        path.moveTo({rect.origin.x + 10, rect.origin.y + 10});
        for (int i = 1; i <= m_segments; ++i)
            path.lineTo({rect.origin.x + 10 + 25.0 * i, rect.origin.y + 10 + (i % 2 ? 20 : 0)});
        return path;
    }

private:
    int m_segments;
};

class CountingHost : public kx::LayerHost {
public:
    void layerNeedsRepaint(const kx::Rect&) override { ++reports; }
    int reports = 0;
};

// The page (800 x 600 pixels) shown at half size at (50, 40) of a 500 x 400 root; the overlay covers the root.
class AuxiliaryLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        root = std::make_shared<kx::Layer>();
        root->setFrame({0, 0, 500, 400});
        page = KXCanvasLayer::create();
        overlay = std::make_shared<KXAuxiliaryLayer>();
        root->addSublayer(page);
        root->addSublayer(overlay);
        page->setFrame({50, 40, 400, 300});
        overlay->setFrame({0, 0, 500, 400});
        page->setAuxiliaryLayer(overlay.get());
        overlay->setCanvasLayer(page.get());
        ASSERT_EQ(canvas()->previewSize(), kx::Size(400, 300));
    }
    void TearDown() override { kx::UserDefaults::standard().setValue(KXShowMarginBox, false); }
    KXCanvas* canvas() { return page->canvas(); }

    template <class G>
    std::shared_ptr<G> add(std::shared_ptr<G> graph, const kx::Rect& previewFrame) {
        canvas()->addGraph(graph);
        graph->setRelativeRect({previewFrame.origin.x / 400, previewFrame.origin.y / 300,
                                previewFrame.size.width / 400, previewFrame.size.height / 300});
        return graph;
    }
    std::shared_ptr<KXShape> plainShape(const kx::Rect& frame) {
        auto shape = std::make_shared<KXShape>();
        shape->setText(nullptr);
        shape->setPhoto(nullptr);
        return add(shape, frame);
    }
    QImage paint() {
        kx::BitmapContext context(500, 400);
        overlay->paint(context);
        return context.makeImage().qimage();
    }
    static Rgba at(const QImage& image, double x, double y) {
        return kxtest::pixelAtYUp(image, int(std::floor(x)), int(std::floor(y)));
    }
    static bool isYellow(const Rgba& c) { return c.a > 60 && c.r > 200 && c.g > 200 && c.b < 60; }
    static bool isClear(const Rgba& c) { return c.a == 0; }

    std::shared_ptr<kx::Layer> root;
    std::shared_ptr<KXCanvasLayer> page;
    std::shared_ptr<KXAuxiliaryLayer> overlay;
};

TEST_F(AuxiliaryLayerTest, StartsInNormalModeWithNoDraggedNodeAndTheHandleColours) {
    EXPECT_EQ(overlay->draggingNode(), KXTrackerNodeNone);
    EXPECT_EQ(overlay->drawMode(), KXAuxiliaryDrawModeNormal);
    EXPECT_EQ(overlay->draggingGraph(), nullptr);
    EXPECT_FALSE(overlay->hasLine());
    EXPECT_TRUE(overlay->selectionFrame().isEmpty());
    EXPECT_FALSE(overlay->cropTracker1().hasRotateNode());
    const kx::Color sel = overlay->selFillColor();
    EXPECT_NEAR(sel.red() * 255, 24, 0.01);
    EXPECT_NEAR(sel.green() * 255, 231, 0.01);
    EXPECT_NEAR(sel.blue() * 255, 161, 0.01);
    // No bitmap is cached for the overlay: it is painted directly.
    overlay->displayIfNeeded();
    EXPECT_TRUE(overlay->contents().isNull());
    EXPECT_FALSE(overlay->needsDisplay());
}

TEST_F(AuxiliaryLayerTest, LockedGraphShowsAYellowOutlineWithoutNodes) {
    // Frame (100, 100, 100, 50) on the page: (150, 140, 100, 50) in the overlay; its top middle node is at
    // (200, 190).
    struct Case {
        bool locked;
        bool yellowEdge;
        bool whiteNode;
    } cases[] = {{true, true, false}, {false, false, true}};
    for (const Case& c : cases) {
        auto shape = plainShape({100, 100, 100, 50});
        shape->setLocked(c.locked);
        canvas()->setAllGrpahsSelection(false);
        shape->setSelected(true);
        const QImage image = paint();
        SCOPED_TRACE(c.locked ? "locked" : "unlocked");
        EXPECT_EQ(isYellow(at(image, 175, 190)), c.yellowEdge) << at(image, 175, 190);
        const Rgba node = at(image, 200, 192);
        EXPECT_EQ(node.a == 255 && node.r == 255 && node.g == 255 && node.b == 255, c.whiteNode) << node;
        canvas()->removeGraph(shape.get());
    }
}

TEST_F(AuxiliaryLayerTest, PathNodesShowWithoutASelectionRectangleUntilThePathHasMoreThanTwoElements) {
    // The frame's bottom-left corner node would be at (150, 140); path nodes sit at (160, 150) and
    // (185, 170).
    for (int segments : {1, 2}) {
        auto path = add(std::make_shared<PathShape>(segments), {100, 100, 100, 50});
        path->setText(nullptr);
        path->setPhoto(nullptr);
        canvas()->setAllGrpahsSelection(false);
        path->setSelected(true);
        ASSERT_EQ(path->path().elementCount(), segments + 1);
        const QImage image = paint();
        SCOPED_TRACE(segments);
        EXPECT_COLOR_NEAR(at(image, 160, 150), (Rgba{255, 255, 255, 255}), 0);
        EXPECT_COLOR_NEAR(at(image, 185, 170), (Rgba{255, 255, 255, 255}), 0);
        const Rgba corner = at(image, 150, 140);
        if (segments == 1)
            EXPECT_TRUE(isClear(corner)) << corner;
        else
            EXPECT_EQ(corner.a, 255) << corner;
        canvas()->removeGraph(path.get());
    }
}

TEST_F(AuxiliaryLayerTest, LinesShowOnlyTheirEndHandlesTheActiveOneInTheActiveColour) {
    auto line = KXSymbolShape::symbolShapeWithType(KXShapeTypeLine, {0.1, 0.1, 0.2, 0.2});
    line->setText(nullptr);
    line->setPhoto(nullptr);
    add(line, {100, 100, 100, 50});
    canvas()->setAllGrpahsSelection(false);
    line->setSelected(true);
    line->setPointElement(1);
    const kx::Rect f = line->frameRect();
    ASSERT_GE(line->path().elementCount(), 2);
    const kx::Point start = line->path().elementAtIndex(0).points[0];
    const kx::Point end = line->path().elementAtIndex(1).points[0];
    const QImage image = paint();
    const Rgba first = at(image, 50 + f.origin.x + start.x, 40 + f.origin.y + start.y);
    const Rgba second = at(image, 50 + f.origin.x + end.x, 40 + f.origin.y + end.y);
    EXPECT_COLOR_NEAR(first, (Rgba{255, 255, 255, 255}), 0);
    EXPECT_COLOR_NEAR(second, (Rgba{24, 231, 161, 255}), 1);
    // No selection rectangle: the middle of the frame's edges is clear.
    EXPECT_TRUE(isClear(at(image, 200, 190)));
    EXPECT_TRUE(isClear(at(image, 150, 165)));
}

TEST_F(AuxiliaryLayerTest, MarginClipMasksThePageOutsideTheMarginInWhite) {
    canvas()->setMarginRect({100, 100, 600, 400});  // (100, 90, 300, 200) in the overlay
    canvas()->setClipMargin(true);
    QImage image = paint();
    EXPECT_COLOR_NEAR(at(image, 60, 60), (Rgba{255, 255, 255, 255}), 0);
    EXPECT_COLOR_NEAR(at(image, 440, 330), (Rgba{255, 255, 255, 255}), 0);
    EXPECT_TRUE(isClear(at(image, 200, 150)));
    EXPECT_TRUE(isClear(at(image, 20, 20)));  // outside the page
    // The margin box shows only with the setting on, in blue.
    EXPECT_TRUE(isClear(at(image, 100.2, 150)));
    kx::UserDefaults::standard().setValue(KXShowMarginBox, true);
    canvas()->setClipMargin(false);
    image = paint();
    const Rgba edge = at(image, 99.9, 150);
    EXPECT_GT(edge.a, 0);
    EXPECT_EQ(edge.r, 0);
    EXPECT_GT(edge.b, 200);
    EXPECT_TRUE(isClear(at(image, 60, 60)));
}

TEST_F(AuxiliaryLayerTest, MarqueeIsStrokedGreyAndFilledFaintly) {
    overlay->setSelectionFrame({300.5, 250.5, 80, 50});
    const QImage image = paint();
    EXPECT_COLOR_NEAR(at(image, 340, 275), (Rgba{170, 182, 189, 51}), 2);
    EXPECT_COLOR_NEAR(at(image, 340, 250), (Rgba{191, 191, 191, 255}), 3);
    EXPECT_TRUE(isClear(at(image, 290, 275)));
}

TEST_F(AuxiliaryLayerTest, GuideLinesStayUntilClearedNotUntilDrawn) {
    overlay->addLine(KXLine(20, 10.5, 480, 10.5));
    for (int paints = 0; paints < 2; ++paints)
        EXPECT_TRUE(isYellow(at(paint(), 240, 10))) << paints;
    EXPECT_TRUE(overlay->hasLine());
    overlay->clearLine();
    EXPECT_TRUE(isClear(at(paint(), 240, 10)));
}

// A repaint of part of the view draws the guides there exactly as a paint of the whole overlay does.
TEST_F(AuxiliaryLayerTest, GuideLinesDrawTheSameInAPartOfTheOverlay) {
    overlay->addLine(KXLine(20, 10.5, 480, 10.5));
    overlay->addLine(KXLine(250.5, 395, 250.5, 5));
    overlay->addLine(KXLine(30, 30, 300, 200));
    const QImage whole = paint();
    // The vertical guide is stroked in pieces: it shows the same on every row, with no seam between them
    // (rows 220-245 are where the slanted guide crosses it).
    for (int y = 20; y <= 380; ++y) {
        if (y >= 220 && y <= 245)
            continue;
        ASSERT_EQ(whole.pixel(249, y), whole.pixel(249, 200)) << y;
        ASSERT_EQ(whole.pixel(250, y), whole.pixel(250, 200)) << y;
    }
    const kx::Rect parts[] = {{100, 0, 80, 60}, {230, 150, 50, 50}, {0, 300, 40, 40}, {245, 380, 30, 20}};
    for (const kx::Rect& part : parts) {
        kx::BitmapContext context(500, 400);
        context.clipToRect(part);
        overlay->paint(context);
        const QRect rows(int(part.minX()), 400 - int(part.maxY()), int(part.width()), int(part.height()));
        EXPECT_EQ(context.makeImage().qimage().copy(rows), whole.copy(rows))
            << part.minX() << ", " << part.minY();
    }
}

TEST_F(AuxiliaryLayerTest, DraggedNodeAloneIsDrawnWhileDragging) {
    auto shape = plainShape({100, 100, 100, 50});
    shape->setSelected(true);
    overlay->addLine(KXLine(20, 10.5, 480, 10.5));
    overlay->setDraggingGraph(shape.get());
    // The body: no handle at all; guide lines still show.
    overlay->setDraggingNode(KXTrackerNodeNone);
    QImage image = paint();
    EXPECT_TRUE(isClear(at(image, 250, 190)));
    EXPECT_TRUE(isClear(at(image, 200, 192)));
    EXPECT_TRUE(isYellow(at(image, 240, 10)));
    // The top-right corner (node 2): that node only.
    overlay->setDraggingNode(2);
    image = paint();
    EXPECT_COLOR_NEAR(at(image, 249, 189), (Rgba{255, 255, 255, 255}), 0);
    EXPECT_TRUE(isClear(at(image, 200, 192)));
    EXPECT_TRUE(isClear(at(image, 150, 140)));
}

TEST_F(AuxiliaryLayerTest, CropHandlesOnlyInCropRenderMode) {
    auto shape = std::make_shared<KXShape>();
    shape->setText(nullptr);
    add(shape, {100, 100, 100, 50});
    ASSERT_TRUE(shape->photo());
    KXPhoto* photo = shape->photo();
    overlay->setCroppingPhoto(photo);
    ASSERT_EQ(overlay->croppingPhoto(), photo);
    const kx::Rect image = photo->fullImageRectForDrawing(shape->frameRect());
    const kx::Point corner(50 + image.origin.x, 40 + image.maxY());  // node 0, top-left
    photo->setRenderMode(0);
    EXPECT_TRUE(isClear(at(paint(), corner.x + 1, corner.y - 1)));
    EXPECT_EQ(overlay->cropTrackNodeAtPoint({image.origin.x, image.maxY()}), KXTrackerNodeNone);
    EXPECT_EQ(overlay->angleOfCropTrackNode(0), 0);
    photo->setRenderMode(1);
    const Rgba node = at(paint(), corner.x + 1, corner.y - 1);
    EXPECT_COLOR_NEAR(node, (Rgba{255, 255, 0, 255}), 0);
    EXPECT_EQ(overlay->cropTrackNodeAtPoint({image.origin.x, image.maxY()}), 0u);
    EXPECT_EQ(overlay->cropTrackNodeAtPoint({image.maxX(), image.origin.y}), 4u);
    const kx::Rect before = photo->cropRect();
    paint();
    EXPECT_EQ(photo->cropRect(), before);
    // Removing any graph ends the crop display.
    auto other = plainShape({10, 10, 10, 10});
    canvas()->removeGraph(other.get());
    EXPECT_EQ(overlay->croppingPhoto(), nullptr);
}

TEST_F(AuxiliaryLayerTest, RedrawsAreIgnoredWhileLocked) {
    plainShape({100, 100, 100, 50})->setSelected(true);
    CountingHost host;
    root->setHost(&host);
    overlay->displayIfNeeded();
    overlay->lockDisplay();
    overlay->setNeedsDisplay();
    page->setNeedsDisplay();
    EXPECT_FALSE(overlay->needsDisplay());
    const int reports = host.reports;
    overlay->setNeedsDisplay();
    EXPECT_EQ(host.reports, reports);
    overlay->unlockDisplay();
    overlay->setNeedsDisplay();
    EXPECT_TRUE(overlay->needsDisplay());
    EXPECT_GT(host.reports, reports);
    root->setHost(nullptr);
}

TEST_F(AuxiliaryLayerTest, MarginBoxSettingChangeRedraws) {
    canvas()->setMarginRect({100, 100, 600, 400});
    overlay->displayIfNeeded();
    kx::UserDefaults::standard().setValue(KXShowMarginBox, true);
    kx::NotificationCenter::defaultCenter().post(KXShowMarginBoxChanged, nullptr);
    EXPECT_TRUE(overlay->needsDisplay());
    // Turning it off again repaints where the box was painted.
    paint();
    overlay->displayIfNeeded();
    kx::UserDefaults::standard().setValue(KXShowMarginBox, false);
    kx::NotificationCenter::defaultCenter().post(KXShowMarginBoxChanged, nullptr);
    EXPECT_TRUE(overlay->needsDisplay());
}

TEST_F(AuxiliaryLayerTest, RedisplayReportsAroundTheMarksNotTheWholeView) {
    class Areas : public kx::LayerHost {
    public:
        void layerNeedsRepaint(const kx::Rect& rect) override { area = area.isNull() ? rect : area.united(rect); }
        kx::Rect area = kx::Rect::null();
    } host;
    auto shape = plainShape({100, 100, 100, 50});  // (150, 140, 100, 50) in the overlay
    shape->setSelected(true);
    paint();
    overlay->setHost(&host);  // what the overlay itself reports
    host.area = kx::Rect::null();
    // Moving a selected graph (as an inspector or a nudge does) redraws its handles by itself.
    shape->setRelativeRect({110 / 400.0, 106 / 300.0, 100 / 400.0, 50 / 300.0});  // (160, 146, 100, 50)
    // Both the old and the new place of the handles, with the rotate node above; not the whole overlay.
    EXPECT_TRUE(host.area.contains(kx::Rect(143, 133, 114, 88)));
    EXPECT_TRUE(host.area.contains(kx::Rect(153, 139, 114, 88)));
    EXPECT_LT(host.area.size.width * host.area.size.height, 0.25 * 500 * 400);
    EXPECT_FALSE(host.area.contains(kx::Point(20, 380)));
    overlay->setHost(nullptr);
}

TEST_F(AuxiliaryLayerTest, ReplacingHighlightRedrawsOnChangeAndFillsTheOutline) {
    auto shape = plainShape({100, 100, 100, 50});
    auto* target = dynamic_cast<KXShapeLayer*>(shape->render());
    ASSERT_TRUE(target);
    overlay->displayIfNeeded();
    overlay->setReplacingLayer(target);
    EXPECT_TRUE(overlay->needsDisplay());
    overlay->displayIfNeeded();
    overlay->setReplacingLayer(target);
    EXPECT_FALSE(overlay->needsDisplay());
    EXPECT_COLOR_NEAR(at(paint(), 200, 165), (Rgba{255, 255, 255, 102}), 2);
}

TEST_F(AuxiliaryLayerTest, LinksToGraphsPhotosAndLayersAreWeak) {
    auto shape = plainShape({100, 100, 100, 50});
    auto photoShape = std::make_shared<KXShape>();
    photoShape->setText(nullptr);
    add(photoShape, {200, 100, 50, 50});
    overlay->setReplacingLayer(dynamic_cast<KXShapeLayer*>(photoShape->render()));
    ASSERT_NE(overlay->replacingLayer(), nullptr);
    // The photo's layer goes with its graph's removal.
    canvas()->removeGraph(photoShape.get());
    EXPECT_EQ(overlay->replacingLayer(), nullptr);
    // Graphs and photos released elsewhere are no longer linked.
    auto loose = std::make_shared<KXShape>();
    overlay->setDraggingGraph(loose.get());
    overlay->setDraggingNode(2);
    overlay->setCroppingPhoto(loose->photo());
    loose->photo()->setRenderMode(1);
    ASSERT_EQ(overlay->draggingGraph(), loose.get());
    ASSERT_EQ(overlay->croppingPhoto(), loose->photo());
    loose.reset();
    EXPECT_EQ(overlay->draggingGraph(), nullptr);
    EXPECT_EQ(overlay->croppingPhoto(), nullptr);
    paint();
    // So is the page layer, and the page layer's link to the overlay.
    page->removeFromSuperlayer();
    std::weak_ptr<KXCanvasLayer> weakPage = page;
    page.reset();
    EXPECT_TRUE(weakPage.expired());
    EXPECT_EQ(overlay->canvasLayer(), nullptr);
    paint();
    auto other = KXCanvasLayer::create();
    other->setAuxiliaryLayer(overlay.get());
    overlay->removeFromSuperlayer();
    overlay.reset();
    EXPECT_EQ(other->auxiliaryLayer(), nullptr);
    other->setNeedsDisplay();
}

}  // namespace
