#include "canvas/auxiliary_layer.h"
#include "canvas/canvas_layer.h"
#include "canvas/contact_shadow_layer.h"
#include "canvas/graph_layer.h"
#include "canvas/group_layer.h"
#include "canvas/reflection_layer.h"
#include "canvas/shape_layer.h"
#include "model/background.h"
#include "model/group.h"
#include "model/photo.h"
#include "model/shape.h"
#include "model/stroke.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/undo_manager.h"
#include "platform/layers/layer_host.h"
#include "model/shadow.h"
#include "platform/layers/layer_renderer.h"
#include "support/pixel_probe.h"

#include "model/page_test_support.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

class PageLayerPartsTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        layer = KXCanvasLayer::create();
        page()->background()->setColor1(kx::Color::srgb(1, 1, 1, 1));
        layer->setFrame({0, 0, 800, 600});
    }
    KXCanvas* page() { return layer->canvas(); }

    std::shared_ptr<KXShape> shape(const std::string& name, const kx::Rect& frame, bool photo = false) {
        auto s = std::make_shared<KXShape>();
        s->setText(nullptr);
        if (!photo)
            s->setPhoto(nullptr);
        page()->addGraph(s);
        s->setRelativeRect({frame.origin.x / 800, frame.origin.y / 600, frame.size.width / 800,
                            frame.size.height / 600});
        names[s.get()] = name;
        return s;
    }
    // The page layer's sublayers back to front: graph names, "r(x)" for x's reflection, "c(x)" for its
    // contact shadow, "?" for anything else.
    std::string order() {
        std::string out;
        for (const auto& sublayer : layer->sublayers()) {
            std::string item = "?";
            if (auto* g = dynamic_cast<KXGraphLayer*>(sublayer.get()))
                item = names[g->graph()];
            else if (auto* r = dynamic_cast<KXReflectionLayer*>(sublayer.get()))
                item = "r(" + names[r->graph().get()] + ")";
            else if (auto* c = dynamic_cast<KXContactShadowLayer*>(sublayer.get()))
                item = "c(" + names[c->graph().get()] + ")";
            out += (out.empty() ? "" : " ") + item;
        }
        return out;
    }

    std::shared_ptr<KXCanvasLayer> layer;
    std::map<const KXGraph*, std::string> names;
};

TEST_F(PageLayerPartsTest, CompanionsStayDirectlyBeneathTheirGraphThroughInsertsRemovalsAndRestacking) {
    auto a = shape("A", {10, 10, 100, 100});
    a->setReflectionEnabled(true);
    auto b = shape("B", {200, 10, 100, 100});
    b->setContactShadowEnabled(true);
    b->setReflectionEnabled(true);  // made later: it lies next to the graph layer
    auto c = shape("C", {400, 10, 100, 100});
    EXPECT_EQ(order(), "r(A) A c(B) r(B) B C");

    auto n = std::make_shared<KXShape>();
    n->setText(nullptr);
    n->setPhoto(nullptr);
    n->setReflectionEnabled(true);
    names[n.get()] = "N";
    page()->insertGraph(n, 1);
    EXPECT_EQ(order(), "r(A) A r(N) N c(B) r(B) B C");

    auto bottom = std::make_shared<KXShape>();
    names[bottom.get()] = "Z";
    page()->insertGraph(bottom, 0);
    EXPECT_EQ(order(), "Z r(A) A r(N) N c(B) r(B) B C");

    // Restacking: B to the front, A one step forward.
    page()->setAllGrpahsSelection(false);
    b->setSelected(true);
    page()->selectedGraphsGoFront();
    EXPECT_EQ(order(), "Z r(A) A r(N) N C c(B) r(B) B");
    b->setSelected(false);
    a->setSelected(true);
    page()->selectedGraphsGoForward();
    EXPECT_EQ(order(), "Z r(N) N r(A) A C c(B) r(B) B");

    // Removal takes the companions too; a graph added again gets both, beneath it.
    page()->removeGraph(b.get());
    EXPECT_EQ(order(), "Z r(N) N r(A) A C");
    page()->addGraph(b);
    EXPECT_EQ(order(), "Z r(N) N r(A) A C r(B) c(B) B");
    // Flags off remove each companion.
    b->setContactShadowEnabled(false);
    n->setReflectionEnabled(false);
    EXPECT_EQ(order(), "Z N r(A) A C r(B) B");
}

TEST_F(PageLayerPartsTest, GroupedGraphsKeepTheirCompanionsInsideTheGroupLayer) {
    auto a = shape("A", {10, 10, 100, 100});
    auto b = shape("B", {200, 10, 100, 100});
    a->setReflectionEnabled(true);
    page()->groupGraphs({a, b});
    auto* groupLayer = dynamic_cast<KXGroupLayer*>(a->group()->render());
    ASSERT_TRUE(groupLayer);
    a->setContactShadowEnabled(true);
    // The contact band is placed in the space its frame is computed in (the group's), beneath its graph.
    const auto& subs = groupLayer->sublayers();
    const int at = groupLayer->indexOfSublayer(dynamic_cast<kx::Layer*>(a->render()));
    ASSERT_GE(at, 2);
    // The one made later lies next to the graph layer.
    EXPECT_TRUE(dynamic_cast<KXContactShadowLayer*>(subs[std::size_t(at - 1)].get()));
    EXPECT_TRUE(dynamic_cast<KXReflectionLayer*>(subs[std::size_t(at - 2)].get()));
    for (const auto& sublayer : layer->sublayers())
        EXPECT_FALSE(dynamic_cast<KXContactShadowLayer*>(sublayer.get()));
}

TEST_F(PageLayerPartsTest, RemovingAPhotoLeavesCropEditingAndReportsAnEmptyOne) {
    auto overlay = std::make_shared<KXAuxiliaryLayer>();
    layer->setAuxiliaryLayer(overlay.get());
    overlay->setCanvasLayer(layer.get());
    int reported = 0;
    auto token = kx::NotificationCenter::defaultCenter().addObserver(
        KXRemoveEmptyPhoto, layer.get(), [&](const kx::Notification&) { ++reported; });
    auto empty = shape("E", {10, 10, 100, 100}, true);
    auto plain = shape("P", {300, 10, 100, 100});
    ASSERT_EQ(empty->graphType(), KXGraphTypePhoto);
    empty->photo()->setRenderMode(1);
    overlay->setCroppingPhoto(empty->photo());
    overlay->setDraggingGraph(plain.get());
    page()->removeGraph(plain.get());
    EXPECT_EQ(reported, 0);
    EXPECT_EQ(overlay->croppingPhoto(), nullptr);
    EXPECT_EQ(overlay->draggingGraph(), nullptr);
    page()->removeGraph(empty.get());
    EXPECT_EQ(reported, 1);
    EXPECT_EQ(empty->photo()->renderMode(), 0);
    layer->setAuxiliaryLayer(nullptr);
}

TEST_F(PageLayerPartsTest, DropTargetIsTheTopmostFreePhotoUnderThePoint) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("Clipart")));
    QImage picture(40, 40, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 255));
    const QString photoPath = dir.filePath(QStringLiteral("p.png"));
    const QString clipartPath = dir.filePath(QStringLiteral("Clipart/c.png"));
    ASSERT_TRUE(picture.save(photoPath));
    ASSERT_TRUE(picture.save(clipartPath));
    kx::Bundle::setMainResourcePath(dir.path());

    auto low = shape("low", {100, 100, 200, 200}, true);
    low->photo()->setImagePath(photoPath);
    auto high = shape("high", {150, 150, 200, 200}, true);
    high->photo()->setImagePath(photoPath);
    auto text = shape("text", {120, 120, 300, 300});  // a plain shape above both
    struct Case {
        kx::Point point;
        const KXGraph* expected;
    } cases[] = {{{200, 200}, high.get()}, {{120, 120}, low.get()}, {{500, 500}, nullptr}};
    for (const Case& c : cases) {
        KXShapeLayer* found = layer->draggingLayerAtPoint(c.point);
        EXPECT_EQ(found ? found->graph() : nullptr, c.expected) << c.point.x;
    }
    high->setLocked(true);
    EXPECT_EQ(layer->draggingLayerAtPoint({200, 200})->graph(), low.get());
    low->photo()->setImagePath(clipartPath);
    ASSERT_TRUE(low->photo()->isClipart());
    EXPECT_EQ(layer->draggingLayerAtPoint({200, 200}), nullptr);
    kx::Bundle::setMainResourcePath({});
}

class KeyCounter : public kx::KeyObserver {
public:
    void observeValue(const QString&, kx::Observable*, const kx::Value&, const kx::Value&) override { ++changes; }
    int changes = 0;
};

TEST_F(PageLayerPartsTest, PaintingNeverChangesTheModel) {
    auto faded = shape("F", {100, 100, 200, 150});
    faded->setFillEnabled(true);
    faded->setOpacity(0.5);
    faded->setReflectionEnabled(true);
    faded->shadow()->setColor(kx::Color::srgb(0, 0, 0, 0.5));
    faded->setShadowEnabled(true);
    page()->undoManager().removeAllActions();
    auto* shapeLayer = dynamic_cast<KXShapeLayer*>(faded->render());
    const kx::Color shadow = shapeLayer->shadowColor();
    KeyCounter counter;
    faded->addObserver(&counter);
    class Reports : public kx::LayerHost {
    public:
        void layerNeedsRepaint(const kx::Rect&) override { ++count; }
        int count = 0;
    } host;
    kx::renderLayerTree(*layer);  // content made once; the reflection then draws the finished graph layer
    layer->setHost(&host);
    shapeLayer->reflectionLayer()->setNeedsDisplay();
    host.count = 0;
    const QImage image = kx::renderLayerTree(*layer).qimage();
    layer->setHost(nullptr);
    faded->removeObserver(&counter);
    // Nothing announced, no undo step, registration untouched, no repaint asked for by drawing itself.
    EXPECT_EQ(counter.changes, 0);
    EXPECT_FALSE(page()->undoManager().canUndo());
    EXPECT_TRUE(page()->undoManager().isUndoRegistrationEnabled());
    EXPECT_EQ(host.count, 0);
    EXPECT_DOUBLE_EQ(faded->opacity(), 0.5);
    EXPECT_EQ(shapeLayer->shadowColor(), shadow);
    // The graph painted at full strength and its content layer faded it once.
    EXPECT_DOUBLE_EQ(shapeLayer->contentLayer()->opacity(), 0.5);
    EXPECT_DOUBLE_EQ(shapeLayer->opacity(), 1.0);
}

TEST_F(PageLayerPartsTest, LockedDisplayPaintsNothingAndFrameChangesDoNotRedraw) {
    shape("S", {100, 100, 100, 100})->setFillEnabled(true);
    layer->displayIfNeeded();
    layer->lockDisplay();
    layer->setNeedsDisplay();
    layer->display();
    EXPECT_TRUE(layer->contents().isNull() ||
                kxtest::pixelAt(layer->contents().qimage(), 10, 10).a == 0);
    layer->displayIfNeeded();
    layer->setFrame({0, 0, 400, 300});
    EXPECT_FALSE(layer->needsDisplay());
    EXPECT_EQ(page()->previewSize(), kx::Size(400, 300));
    layer->unlockDisplay();
    layer->setNeedsDisplay();
    layer->display();
    EXPECT_EQ(kxtest::pixelAt(layer->contents().qimage(), 10, 10), (kxtest::Rgba{255, 255, 255, 255}));
}

TEST_F(PageLayerPartsTest, ObservedChangesAnnounceAndReact) {
    auto s = shape("S", {100, 100, 100, 100}, true);
    int announced = 0;
    auto token = kx::NotificationCenter::defaultCenter().addObserver(
        KXGrapPropertyChanged, s.get(), [&](const kx::Notification&) { ++announced; });
    int turned = 0;
    auto* graphLayer = dynamic_cast<KXGraphLayer*>(s->render());
    auto turnToken = kx::NotificationCenter::defaultCenter().addObserver(
        KXGraphLayerRotationCHanged, graphLayer, [&](const kx::Notification&) { ++turned; });
    s->setStrokeEnabled(true);
    EXPECT_EQ(announced, 1);
    s->stroke()->setWidth(3);
    EXPECT_EQ(announced, 2);
    s->setOpacity(0.3);
    EXPECT_EQ(announced, 2);
    s->setReflectionAlpha(0.2);
    EXPECT_EQ(announced, 3);
    s->setAngle(0.25);
    EXPECT_EQ(announced, 4);
    EXPECT_EQ(turned, 1);
    // Editing toggles only on a change.
    s->setReflectionEnabled(true);
    graphLayer->setEditing(true);
    EXPECT_TRUE(graphLayer->reflectionLayer()->isHidden());
    graphLayer->setEditing(true);
    graphLayer->setEditing(false);
    EXPECT_FALSE(graphLayer->reflectionLayer()->isHidden());
}

}  // namespace
