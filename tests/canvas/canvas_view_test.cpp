#include "canvas/backdrop_layers.h"
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "model/background.h"
#include "model/page_size.h"
#include "model/shadow.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/undo_manager.h"
#include "support/pixel_probe.h"
#include "view_events.h"

#include "model/page_test_support.h"

#include <QScrollBar>

#include <gtest/gtest.h>

#include <cmath>

using kxtest::Counter;
using kxtest::Rgba;
using kxtest::ViewRig;

namespace {

std::shared_ptr<KXCanvasLayer> makePage(double width, double height, std::int64_t unit = KXSizeUnitPixel,
                                        std::int64_t dpi = 72, const kx::Color& color = kx::Color::srgb(1, 1, 1, 1)) {
    kxtest::registerPageClasses();
    auto layer = KXCanvasLayer::create();
    const KXSize size(width, height, unit, dpi);
    layer->canvas()->setPageSize(&size);
    layer->canvas()->background()->setColor1(color);
    return layer;
}

// The pixel of a texture that a tiling from the top-left corner puts at (x, y) of the tiled area.
Rgba tilePixel(const kx::Image& texture, int x, int y) {
    return kxtest::pixelAt(texture.qimage(), x % texture.width(), y % texture.height());
}

// The two textures of the canvas, from the application's resources.
struct Textures {
    Textures() {
        kx::Bundle::setMainResourcePath(QStringLiteral(KX_SOURCE_DIR "/resources"));
        workspace = KXPreviewLayer::texture();
        sheet = KXShadowLayer::texture();
        kx::Bundle::setMainResourcePath({});
    }
    kx::Image workspace, sheet;
};

kx::Rect near(const kx::Rect& r) {
    return {std::round(r.origin.x * 100) / 100, std::round(r.origin.y * 100) / 100,
            std::round(r.size.width * 100) / 100, std::round(r.size.height * 100) / 100};
}

TEST(CanvasViewTest, ZoomControlHoldsItsEntriesAndStartsAtFitPage) {
    ViewRig rig({600, 400});
    ASSERT_EQ(rig.zoom->count(), 13);
    EXPECT_EQ(rig.zoom->itemText(0), QString());
    EXPECT_EQ(rig.zoom->itemText(1), QStringLiteral("Fit Page"));
    EXPECT_EQ(rig.zoom->itemText(2), QStringLiteral("Fit Width"));
    const QStringList levels{"25%", "50%", "75%", "100%", "125%", "150%", "200%", "300%", "400%"};
    for (int i = 0; i < levels.size(); ++i)
        EXPECT_EQ(rig.zoom->itemText(4 + i), levels[i]);
    EXPECT_EQ(rig.zoom->currentIndex(), KXZoomEntryFitPage);
    for (int i = 0; i < rig.zoom->count(); ++i)
        EXPECT_EQ(rig.zoom->isEntryMarked(i), i == KXZoomEntryFitPage) << i;
}

// The level of each rounded percentage, with the units that turn zoom values into display zooms.
TEST(CanvasViewTest, ZoomLevelsFollowThePercentageInEveryUnit) {
    struct Case {
        std::int64_t unit, dpi;
        double zoomValue;
        int percent, level;
        bool canIn, canOut;
    };
    const Case cases[] = {
        {KXSizeUnitPixel, 72, 0.25, 25, 0, true, false},   {KXSizeUnitPixel, 72, 0.26, 26, 1, true, true},
        {KXSizeUnitPixel, 72, 0.50, 50, 1, true, true},    {KXSizeUnitPixel, 72, 0.63, 63, 2, true, true},
        {KXSizeUnitPixel, 72, 0.75, 75, 2, true, true},    {KXSizeUnitPixel, 72, 1.00, 100, 3, true, true},
        {KXSizeUnitPixel, 72, 1.01, 101, 4, true, true},   {KXSizeUnitPixel, 72, 1.5, 150, 5, true, true},
        {KXSizeUnitPixel, 72, 2.0, 200, 6, true, true},    {KXSizeUnitPixel, 72, 2.5, 250, 7, true, true},
        {KXSizeUnitPixel, 72, 4.0, 400, 8, false, true},   {KXSizeUnitPixel, 72, 0.2, 20, 0, true, false},
        {KXSizeUnitPixel, 72, 5.0, 500, 0, true, false},   {KXSizeUnitMillimeter, 300, 0.24, 100, 3, true, true},
        {KXSizeUnitInch, 300, 0.12, 50, 1, true, true},    {KXSizeUnitCentimeter, 144, 2.0, 400, 8, false, true},
        {KXSizeUnitMillimeter, 150, 0.06, 13, 0, true, false},
    };
    ViewRig rig({600, 400});
    for (const Case& c : cases) {
        auto page = makePage(100, 100, c.unit, c.dpi);
        rig.view->switchToCanvasLayer(page);
        page->canvas()->setZoomValue(c.zoomValue);
        EXPECT_EQ(rig.view->zoomPercentage(), c.percent) << c.zoomValue << " unit " << c.unit;
        EXPECT_EQ(rig.view->currentLevelForZoom(), c.level) << c.zoomValue << " unit " << c.unit;
        EXPECT_EQ(rig.view->canZoomIn(), c.canIn) << c.zoomValue;
        EXPECT_EQ(rig.view->canZoomOut(), c.canOut) << c.zoomValue;
        EXPECT_EQ(rig.view->validateMenuItem(KXMenuTagZoomIn), c.canIn);
        EXPECT_EQ(rig.view->validateMenuItem(KXMenuTagZoomOut), c.canOut);
        EXPECT_TRUE(rig.view->validateMenuItem(7));
    }
}

// Fixed entries lay the page out at their display zoom; pages in physical units take dpi / 72 into account.
TEST(CanvasViewTest, FixedEntriesLayThePageOutAtTheirZoom) {
    struct Case {
        std::int64_t unit, dpi;
        double width, height;
        int entry;
        kx::Size expectedPage;  // in view points
        double zoomValue;
    };
    const Case cases[] = {
        {KXSizeUnitPixel, 72, 1000, 800, KXZoomEntryActualSize, {1000, 800}, 1.0},
        {KXSizeUnitPixel, 72, 1000, 800, 4, {250, 200}, 0.25},
        {KXSizeUnitPixel, 72, 1000, 800, 12, {4000, 3200}, 4.0},
        // 100 x 50 mm at 300 dpi: 1181 x 590.5 pixels, shown at 72 / 300.
        {KXSizeUnitMillimeter, 300, 100, 50, KXZoomEntryActualSize, {283.46, 141.73}, 0.24},
        {KXSizeUnitInch, 150, 4, 2, 5, {144, 72}, 0.24},
    };
    ViewRig rig({600, 400});
    for (const Case& c : cases) {
        auto page = makePage(c.width, c.height, c.unit, c.dpi);
        rig.view->switchToCanvasLayer(page);
        rig.choose(c.entry);
        const kx::Rect frame = near(page->frame());
        EXPECT_NEAR(frame.size.width, c.expectedPage.width, 0.02) << c.entry;
        EXPECT_NEAR(frame.size.height, c.expectedPage.height, 0.02) << c.entry;
        EXPECT_NEAR(page->canvas()->zoomValue(), c.zoomValue, 1e-3) << c.entry;
        const int percent = int(std::lround(c.entry == 4 ? 25 : c.entry == 12 ? 400 : c.entry == 5 ? 50 : 100));
        EXPECT_EQ(rig.zoom->title(), QStringLiteral("%1%").arg(percent));
        // Scrollers exactly when the page is larger than the visible area; a smaller page is centred.
        const QSize visible = rig.view->visibleDocumentSize();
        EXPECT_EQ(rig.view->hasHorizontalScroller(), c.expectedPage.width > 600 - 0.5) << c.entry;
        EXPECT_EQ(rig.view->hasVerticalScroller(), c.expectedPage.height > 400 - 0.5 || rig.view->hasVerticalScroller());
        if (frame.size.width < visible.width())
            EXPECT_NEAR(frame.origin.x, (visible.width() - frame.size.width) / 2, 0.01);
        else
            EXPECT_EQ(frame.origin.x, 0);
        EXPECT_GE(rig.view->width(), int(std::floor(frame.size.width)));
        EXPECT_GE(rig.view->height(), int(std::floor(frame.size.height)));
    }
}

// Fit page: the whole page in the scroll area, no scrollers, centred, for wide, tall and equal viewports.
TEST(CanvasViewTest, FitPageFitsWideTallAndEqualViewports) {
    struct Case {
        QSize viewport;
        double width, height;
        kx::Rect expected;
    };
    const Case cases[] = {
        {{800, 600}, 1000, 500, {0, 100, 800, 400}},     // wide page, wide view: full width
        {{800, 600}, 500, 1000, {250, 0, 300, 600}},     // tall page: full height
        {{400, 800}, 1000, 500, {0, 300, 400, 200}},     // tall view
        {{600, 600}, 1000, 1000, {0, 0, 600, 600}},      // equal proportions
        {{600, 600}, 300, 300, {0, 0, 600, 600}},        // small page grows
    };
    for (const Case& c : cases) {
        ViewRig rig(c.viewport);
        auto page = makePage(c.width, c.height);
        rig.view->switchToCanvasLayer(page);
        EXPECT_EQ(near(page->frame()), c.expected) << c.viewport.width() << "x" << c.viewport.height();
        EXPECT_FALSE(rig.view->hasHorizontalScroller());
        EXPECT_FALSE(rig.view->hasVerticalScroller());
        EXPECT_EQ(rig.view->size(), c.viewport);
        EXPECT_EQ(rig.zoom->title(), QStringLiteral("%1%").arg(rig.view->zoomPercentage()));
        EXPECT_EQ(rig.view->zoomPercentage(), int(std::lround(c.expected.size.width / c.width * 100)));
        // The backdrop lies under the page.
        ASSERT_NE(rig.view->shadowLayer(), nullptr);
        EXPECT_EQ(rig.view->shadowLayer()->frame(), page->frame());
        EXPECT_EQ(rig.view->rootLayer()->indexOfSublayer(rig.view->shadowLayer()), 0);
    }
}

// Fit width: the page's width fills the view; a page taller than the view brings the vertical scroller.
TEST(CanvasViewTest, FitWidthForShortAndTallPages) {
    ViewRig rig({800, 600});
    const int scroller = rig.scroll->verticalScrollBar()->sizeHint().width();
    auto shortPage = makePage(1000, 500);
    rig.view->switchToCanvasLayer(shortPage);
    rig.choose(KXZoomEntryFitWidth);
    EXPECT_FALSE(rig.view->hasVerticalScroller());
    EXPECT_FALSE(rig.view->hasHorizontalScroller());
    EXPECT_EQ(near(shortPage->frame()), (kx::Rect{0, 100, 800, 400}));
    EXPECT_EQ(rig.view->size(), QSize(800, 600));

    auto tallPage = makePage(500, 1000);
    rig.view->switchToCanvasLayer(tallPage);
    EXPECT_EQ(rig.zoom->currentIndex(), KXZoomEntryFitWidth);
    EXPECT_TRUE(rig.view->hasVerticalScroller());
    EXPECT_FALSE(rig.view->hasHorizontalScroller());
    const double w = 800 - scroller;
    EXPECT_EQ(near(tallPage->frame()), near(kx::Rect{0, 0, w, 2 * w}));
    EXPECT_EQ(rig.view->height(), int(std::ceil(2 * w - 1e-6)));

    // A page exactly as tall as the view.
    auto equalPage = makePage(800, 600);
    rig.view->switchToCanvasLayer(equalPage);
    EXPECT_FALSE(rig.view->hasVerticalScroller());
    EXPECT_EQ(near(equalPage->frame()), (kx::Rect{0, 0, 800, 600}));
}

// Choosing an entry keeps the point at the centre of the visible area where it was on the page.
TEST(CanvasViewTest, ChoosingAnEntryKeepsTheVisibleCentre) {
    ViewRig rig({600, 400});
    auto page = makePage(1000, 800);
    rig.view->switchToCanvasLayer(page);
    rig.choose(KXZoomEntryActualSize);
    ASSERT_TRUE(rig.view->hasHorizontalScroller());
    rig.scroll->horizontalScrollBar()->setValue(300);
    rig.scroll->verticalScrollBar()->setValue(100);
    const auto relativeCentre = [&] {
        const kx::Rect visible = rig.view->visibleRootRect();
        const kx::Rect frame = page->frame();
        return kx::Point{(visible.midX() - frame.origin.x) / frame.size.width,
                         (visible.midY() - frame.origin.y) / frame.size.height};
    };
    const kx::Point before = relativeCentre();
    rig.choose(KXZoomEntryFirstLevel + 6);  // 200 %
    EXPECT_EQ(rig.view->zoomPercentage(), 200);
    const kx::Point after = relativeCentre();
    EXPECT_NEAR(after.x, before.x, 0.002);
    EXPECT_NEAR(after.y, before.y, 0.002);
}

TEST(CanvasViewTest, ZoomInAndOutStepThroughTheFixedLevels) {
    struct Case {
        double fixed;   // free zoom to start from
        int in, out;    // percentages after zoom in, after zoom out (each from the start)
    };
    const Case cases[] = {{0.63, 100, 50}, {0.75, 100, 50}, {1.0, 125, 75}, {0.25, 50, 25}, {4.0, 400, 300},
                          {0.1, 50, 10},   {6.0, 50, 600}};
    ViewRig rig({600, 400});
    auto page = makePage(400, 300);
    rig.view->switchToCanvasLayer(page);
    for (const Case& c : cases) {
        rig.view->setFixedZoomValue(c.fixed);
        rig.choose(KXZoomEntryFree);
        rig.view->zoomInAction();
        EXPECT_EQ(rig.view->zoomPercentage(), c.in) << c.fixed;
        rig.view->setFixedZoomValue(c.fixed);
        rig.choose(KXZoomEntryFree);
        rig.view->zoomOutAction();
        EXPECT_EQ(rig.view->zoomPercentage(), c.out) << c.fixed;
    }
    rig.view->actualSizeAction();
    EXPECT_EQ(rig.zoom->currentIndex(), KXZoomEntryActualSize);
    EXPECT_TRUE(rig.zoom->isEntryMarked(KXZoomEntryActualSize));
    EXPECT_FALSE(rig.zoom->isEntryMarked(KXZoomEntryFitPage));
    rig.view->fitPageSizeAction();
    EXPECT_EQ(rig.zoom->currentIndex(), KXZoomEntryFitPage);
    const double fitWidth = 400 * 4 / 3.0;
    EXPECT_NEAR(page->frame().origin.x, (600 - fitWidth) / 2, 1e-6);
    EXPECT_NEAR(page->frame().size.width, fitWidth, 1e-6);
    EXPECT_NEAR(page->frame().size.height, 400, 1e-6);
}

TEST(CanvasViewTest, CtrlWheelZoomsAndThePlainWheelDoesNot) {
    ViewRig rig({600, 400});
    auto page = makePage(400, 300);
    rig.view->switchToCanvasLayer(page);
    rig.view->actualSizeAction();
    kxtest::sendWheelAtPagePoint(*rig.view, {100, 100}, 1, Qt::ControlModifier);
    EXPECT_EQ(rig.view->zoomPercentage(), 125);
    kxtest::sendWheelAtPagePoint(*rig.view, {100, 100}, -1, Qt::ControlModifier);
    kxtest::sendWheelAtPagePoint(*rig.view, {100, 100}, -1, Qt::ControlModifier);
    EXPECT_EQ(rig.view->zoomPercentage(), 75);
    kxtest::sendWheelAtPagePoint(*rig.view, {100, 100}, 1);
    EXPECT_EQ(rig.view->zoomPercentage(), 75);
}

// Page points and widget points convert both ways; a mouse event sent at a page point arrives there.
TEST(CanvasViewTest, MouseEventsArriveAtTheirPagePoints) {
    ViewRig rig({600, 400});
    auto page = makePage(400, 300);
    rig.view->switchToCanvasLayer(page);
    rig.view->actualSizeAction();
    // The page is centred: 100 points of workspace at each side, 50 above and below.
    EXPECT_EQ(near(page->frame()), (kx::Rect{100, 50, 400, 300}));
    struct Recorder : QObject {
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::MouseButtonPress)
                point = static_cast<QMouseEvent*>(event)->position();
            return false;
        }
        QPointF point;
    } recorder;
    rig.view->installEventFilter(&recorder);
    const kx::Point pagePoint{30, 40};  // y up from the page's bottom edge
    kxtest::sendMouseAtPagePoint(*rig.view, QEvent::MouseButtonPress, pagePoint);
    EXPECT_EQ(recorder.point, QPointF(130, 400 - 50 - 40));
    const kx::Point back = rig.view->pagePointForViewPoint(recorder.point);
    EXPECT_NEAR(back.x, pagePoint.x, 1e-9);
    EXPECT_NEAR(back.y, pagePoint.y, 1e-9);
    rig.view->removeEventFilter(&recorder);
}

// Pinch zoom scales the page snapshot and stops exactly at 25 % and 400 %.
TEST(CanvasViewTest, PinchIsClampedAndEndsWithTheLivePage) {
    ViewRig rig({600, 400});
    auto page = makePage(400, 300);
    rig.view->switchToCanvasLayer(page);
    rig.view->actualSizeAction();
    Counter floating(KXFloatingNeedUpdate, rig.view);
    kxtest::sendPinch(*rig.view, Qt::BeginNativeGesture, 0, {200, 150});
    kxtest::sendPinch(*rig.view, Qt::ZoomNativeGesture, 0.5, {200, 150});
    EXPECT_TRUE(rig.view->isPinching());
    EXPECT_TRUE(page->isHidden());
    EXPECT_TRUE(page->isDisplayLocked());
    EXPECT_EQ(rig.zoom->currentIndex(), -1);
    EXPECT_EQ(rig.view->zoomPercentage(), 150);
    EXPECT_EQ(rig.zoom->title(), QStringLiteral("150%"));
    for (int i = 0; i < 5; ++i)
        kxtest::sendPinch(*rig.view, Qt::ZoomNativeGesture, 1.0, {200, 150});
    EXPECT_EQ(rig.view->zoomPercentage(), 400);
    EXPECT_NEAR(rig.view->fixedZoomValue(), 4.0, 1e-9);
    EXPECT_NEAR(rig.view->thumbLayer()->frame().size.width, 1600, 1e-6);
    EXPECT_EQ(floating.count, 0);
    kxtest::sendPinch(*rig.view, Qt::EndNativeGesture, 0, {200, 150});
    EXPECT_EQ(floating.count, 1);
    EXPECT_FALSE(rig.view->isPinching());
    EXPECT_FALSE(page->isHidden());
    EXPECT_FALSE(page->isDisplayLocked());
    EXPECT_EQ(rig.view->rootLayer()->indexOfSublayer(rig.view->shadowLayer()), 0);

    kxtest::sendPinch(*rig.view, Qt::ZoomNativeGesture, -0.9, {200, 150});
    kxtest::sendPinch(*rig.view, Qt::ZoomNativeGesture, -0.9, {200, 150});
    EXPECT_EQ(rig.view->zoomPercentage(), 25);
    kxtest::sendPinch(*rig.view, Qt::EndNativeGesture, 0, {200, 150});
    EXPECT_EQ(floating.count, 2);
    EXPECT_NEAR(page->frame().size.width, 100, 1e-6);
    // The free entry keeps the pinched zoom through a later zoom pass.
    rig.view->updateZoom();
    EXPECT_EQ(rig.view->zoomPercentage(), 25);
}

TEST(CanvasViewTest, SwitchingPagesShowsTheNewLayerAndEmptiesTheSelection) {
    ViewRig rig({600, 400});
    auto first = makePage(400, 300);
    auto second = makePage(300, 400);
    auto graph = kxtest::graphAt({0.1, 0.1, 0.3, 0.3});
    first->canvas()->addGraph(graph);
    rig.view->switchToCanvasLayer(first);
    rig.view->setSelectedGraphs({graph});
    EXPECT_EQ(first->auxiliaryLayer(), rig.view->auxiliaryLayer());
    Counter changes(KXGraphSelectionChange, rig.view);
    rig.view->switchToCanvasLayer(second);
    EXPECT_EQ(changes.count, 1);
    EXPECT_FALSE(graph->isSelected());
    EXPECT_EQ(rig.view->canvasLayer(), second.get());
    EXPECT_EQ(rig.view->canvas(), second->canvas());
    EXPECT_EQ(first->superlayer(), nullptr);
    EXPECT_EQ(first->auxiliaryLayer(), nullptr);
    EXPECT_EQ(second->auxiliaryLayer(), rig.view->auxiliaryLayer());
    // The page sits directly below the overlay, above the backdrop.
    const kx::Layer* root = rig.view->rootLayer();
    EXPECT_EQ(root->indexOfSublayer(second.get()) + 1, root->indexOfSublayer(rig.view->auxiliaryLayer()));
    EXPECT_LT(root->indexOfSublayer(rig.view->shadowLayer()), root->indexOfSublayer(second.get()));
    EXPECT_EQ(root->sublayers().size(), 3u);
}

TEST(CanvasViewTest, SelectionChangesArePostedOnce) {
    ViewRig rig({600, 400});
    auto page = makePage(400, 300);
    auto a = kxtest::graphAt({0.1, 0.1, 0.2, 0.2});
    auto b = kxtest::graphAt({0.5, 0.5, 0.2, 0.2});
    auto locked = kxtest::graphAt({0.3, 0.6, 0.2, 0.2});
    page->canvas()->addGraph(a);
    page->canvas()->addGraph(b);
    page->canvas()->addGraph(locked);
    locked->setLocked(true);
    page->canvas()->setAllGrpahsSelection(false);
    rig.view->switchToCanvasLayer(page);
    Counter changes(KXGraphSelectionChange, rig.view);
    Counter hides(KXHideAllFloatingPanel, rig.view);

    rig.view->setSelectedGraphs({a, b});
    EXPECT_EQ(changes.count, 1);
    EXPECT_TRUE(a->isSelected());
    EXPECT_TRUE(b->isSelected());
    rig.view->setSelectedGraphs({a, b});  // the same list: nothing
    EXPECT_EQ(changes.count, 1);
    rig.view->setSelectedGraphs({b});
    EXPECT_EQ(changes.count, 2);
    EXPECT_FALSE(a->isSelected());
    EXPECT_EQ(rig.view->selectedGraphs(), (KXCanvas::GraphList{b}));
    rig.view->deselectAllGraphs();
    EXPECT_EQ(changes.count, 3);
    rig.view->deselectAllGraphs();  // already empty: nothing
    EXPECT_EQ(changes.count, 3);
    EXPECT_FALSE(b->isSelected());

    rig.view->setSelectedGraphs({a, locked});
    EXPECT_EQ(changes.count, 4);
    rig.view->removeSelectedGrpahs();
    EXPECT_EQ(changes.count, 5);
    EXPECT_EQ(hides.count, 1);
    EXPECT_EQ(page->canvas()->indexOfGraph(a.get()), -1);
    EXPECT_NE(page->canvas()->indexOfGraph(locked.get()), -1);
    EXPECT_FALSE(locked->isSelected());
    EXPECT_TRUE(rig.view->selectedGraphs().empty());
    rig.view->removeSelectedGrpahs();  // nothing selected: nothing posted
    EXPECT_EQ(changes.count, 5);
    EXPECT_EQ(hides.count, 1);
}

// Undo on the shown page brings the page's selection into the list; undo on another page does nothing.
TEST(CanvasViewTest, UndoOfTheShownPageOnlyRefreshesTheSelection) {
    ViewRig rig({600, 400});
    auto shown = makePage(400, 300);
    auto other = makePage(400, 300);
    auto graph = kxtest::graphAt({0.1, 0.1, 0.2, 0.2});
    shown->canvas()->addGraph(graph);
    graph->setSelected(false);
    rig.view->switchToCanvasLayer(shown);
    Counter changes(KXGraphSelectionChange, rig.view);
    graph->setSelected(true);  // the page's selection now differs from the view's list
    kx::NotificationCenter::defaultCenter().post(kx::UndoManagerDidUndoChangeNotification, &other->canvas()->undoManager());
    EXPECT_EQ(changes.count, 0);
    EXPECT_TRUE(rig.view->selectedGraphs().empty());
    kx::NotificationCenter::defaultCenter().post(kx::UndoManagerDidRedoChangeNotification, &shown->canvas()->undoManager());
    EXPECT_EQ(changes.count, 1);
    EXPECT_EQ(rig.view->selectedGraphs(), (KXCanvas::GraphList{graph}));
}

// A new size of the scroll area refits a page shown at fit page.
TEST(CanvasViewTest, ResizingTheScrollAreaRefitsThePage) {
    ViewRig rig({800, 600});
    auto page = makePage(1000, 500);
    rig.view->switchToCanvasLayer(page);
    EXPECT_EQ(near(page->frame()), (kx::Rect{0, 100, 800, 400}));
    rig.scroll->resize(400, 600);
    QApplication::processEvents();
    EXPECT_EQ(near(page->frame()), (kx::Rect{0, 200, 400, 200}));
    EXPECT_EQ(rig.view->size(), QSize(400, 600));
}

// The view paints the page inside its frame and the workspace around it; after a change only the changed
// area is painted again.
TEST(CanvasViewTest, PaintsThePageAndRepaintsOnlyWhatChanged) {
    ViewRig rig({600, 400});
    auto page = makePage(400, 300, KXSizeUnitPixel, 72, kx::Color::srgb(0, 0.5, 1, 1));
    auto graph = kxtest::graphAt({0.1, 0.1, 0.1, 0.1});
    graph->color = kx::Color::srgb(1, 0, 0, 1);
    page->canvas()->addGraph(graph);
    graph->setSelected(false);
    rig.view->switchToCanvasLayer(page);
    rig.view->actualSizeAction();
    QApplication::processEvents();
    const QImage shot = rig.view->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(600, 400));
    // Beside the page: the workspace texture, tiled from the view's top-left corner.
    const Textures textures;
    ASSERT_FALSE(textures.workspace.isNull());
    EXPECT_COLOR_NEAR(kxtest::pixelAt(shot, 40, 200), tilePixel(textures.workspace, 40, 200), 2);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(shot, 560, 30), tilePixel(textures.workspace, 560, 30), 2);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(shot, 300, 200), (Rgba{0, 128, 255, 255}), 2);  // the page's fill
    // The graph: 40 x 30 at (40, 30) from the page's bottom-left corner.
    EXPECT_COLOR_NEAR(kxtest::pixelAt(shot, 100 + 60, 350 - 45), (Rgba{255, 0, 0, 255}), 2);

    rig.view->resetPaintedPixelCount();
    graph->setRelativeRect({0.12, 0.1, 0.1, 0.1});
    QApplication::processEvents();
    const std::int64_t painted = rig.view->paintedPixelCount();
    EXPECT_GT(painted, 0);
    EXPECT_LT(painted, 600 * 400 / 20);
    const QImage after = rig.view->grab().toImage();
    EXPECT_COLOR_NEAR(kxtest::pixelAt(after, 100 + 44, 350 - 45), (Rgba{0, 128, 255, 255}), 2);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(after, 100 + 70, 350 - 45), (Rgba{255, 0, 0, 255}), 2);
}

// A small repaint is painted in bands of rows; it must give exactly the pixels a whole repaint gives, also
// where a blurred shadow, a turned graph and the page's edge cross the bands' seams.
TEST(CanvasViewTest, ASmallRepaintMatchesTheWholeRepaint) {
    ViewRig rig({600, 400});
    auto page = makePage(400, 300, KXSizeUnitPixel, 72, kx::Color::srgb(0, 0.5, 1, 1));
    auto graph = kxtest::graphAt({0.1, 0.1, 0.4, 0.6});
    graph->color = kx::Color::srgb(1, 0, 0, 1);
    graph->setAngle(20);
    graph->shadow()->setColor(kx::Color::srgb(0, 0, 0, 0.8));
    graph->setShadowEnabled(true);
    page->canvas()->addGraph(graph);
    graph->setSelected(false);
    rig.view->switchToCanvasLayer(page);
    rig.view->actualSizeAction();
    QApplication::processEvents();
    const QImage whole = rig.view->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // Across the page's left edge and the graph with its shadow: 230 rows, painted as several bands.
    const QRect part(60, 60, 220, 230);
    QImage partial(part.size(), QImage::Format_ARGB32_Premultiplied);
    partial.fill(Qt::transparent);
    rig.view->render(&partial, QPoint(), QRegion(part));
    EXPECT_EQ(kxtest::maxChannelDifference(partial, whole.copy(part)), 0);
}

// The workspace is the tiled workspace texture; under the page lies the backdrop, a textured sheet on the
// backdrop colour with a soft shadow that shows just outside the page's edges.
TEST(CanvasViewTest, TheWorkspaceAndTheBackdropAreTextured) {
    const Textures textures;
    ASSERT_FALSE(textures.workspace.isNull());
    ASSERT_FALSE(textures.sheet.isNull());
    ViewRig rig({600, 400});
    EXPECT_NE(dynamic_cast<KXPreviewLayer*>(rig.view->rootLayer()), nullptr);
    // A page that lets what lies under it show through.
    auto page = makePage(400, 300, KXSizeUnitPixel, 72, kx::Color::srgb(0, 0, 0, 0));
    rig.view->switchToCanvasLayer(page);
    rig.view->actualSizeAction();
    QApplication::processEvents();

    const auto* backdrop = dynamic_cast<KXShadowLayer*>(rig.view->shadowLayer());
    ASSERT_NE(backdrop, nullptr);
    EXPECT_EQ(backdrop->frame(), page->frame());
    EXPECT_EQ(rig.view->rootLayer()->indexOfSublayer(backdrop), 0);
    EXPECT_EQ(backdrop->backgroundColor(), KXPreview::backdropColor());
    EXPECT_DOUBLE_EQ(backdrop->shadowOpacity(), 0.5);
    EXPECT_DOUBLE_EQ(backdrop->shadowRadius(), 2);
    EXPECT_EQ(backdrop->shadowOffset(), (kx::Size{0, 0}));
    ASSERT_TRUE(backdrop->shadowPath().has_value());
    EXPECT_EQ(backdrop->shadowPath()->boundingBox(), backdrop->bounds());

    // The page (400 x 300 at 100 %) lies at (100, 50) - (500, 350) of the 600 x 400 view.
    const QImage shot = rig.view->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(600, 400));
    // Inside the page: the sheet's texture, tiled from the page's top-left corner.
    EXPECT_COLOR_NEAR(kxtest::pixelAt(shot, 100 + 10, 50 + 20), tilePixel(textures.sheet, 10, 20), 2);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(shot, 100 + 200, 50 + 140), tilePixel(textures.sheet, 200, 140), 2);
    // Its one-point edge shows the backdrop colour.
    const QColor edge = KXPreview::backdropColor().toQColor();
    EXPECT_COLOR_NEAR(kxtest::pixelAt(shot, 100 + 200, 50), (Rgba{edge.red(), edge.green(), edge.blue(), 255}), 2);
    // Just outside the page the shadow darkens the workspace; further away the workspace is untouched.
    const Rgba outside = kxtest::pixelAt(shot, 99, 200);
    const Rgba plain = tilePixel(textures.workspace, 99, 200);
    EXPECT_LT(outside.r + outside.g + outside.b, plain.r + plain.g + plain.b - 15) << outside << " " << plain;
    EXPECT_COLOR_NEAR(kxtest::pixelAt(shot, 80, 200), tilePixel(textures.workspace, 80, 200), 2);
}

}  // namespace

namespace {

// A view far taller than its scroll area keeps only the part of the workspace and of the page backdrop
// around what can be seen drawn, and both textures are there wherever the view is scrolled to.
TEST(CanvasViewTest, TheWorkspaceIsDrawnWhereverTheViewIsScrolled) {
    const Textures textures;
    ASSERT_FALSE(textures.workspace.isNull());
    kx::Bundle::setMainResourcePath(QStringLiteral(KX_SOURCE_DIR "/resources"));
    ViewRig rig({600, 400});
    // A page about 200 wide, centred on whole pixels beside the vertical scroller, that shows the backdrop.
    const int visibleWidth = 600 - rig.scroll->verticalScrollBar()->sizeHint().width();
    auto page = makePage(200 + visibleWidth % 2, 4000, KXSizeUnitPixel, 72, kx::Color::srgb(0, 0, 0, 0));
    rig.view->switchToCanvasLayer(page);
    rig.view->actualSizeAction();
    QApplication::processEvents();
    ASSERT_TRUE(rig.view->hasVerticalScroller());
    ASSERT_GT(rig.view->height(), 3900);
    QScrollBar* bar = rig.scroll->verticalScrollBar();
    const int pageLeft = int(rig.view->viewRectForRootRect(page->frame()).left());
    ASSERT_EQ(pageLeft, (visibleWidth - int(page->frame().size.width)) / 2);
    for (const int position : {0, bar->maximum() / 2, bar->maximum()}) {
        bar->setValue(position);
        QApplication::processEvents();
        const kx::Rect visible = rig.view->visibleRootRect();
        const kx::Rect drawn = rig.view->rootLayer()->displayArea();
        EXPECT_TRUE(drawn.contains(visible)) << position;
        EXPECT_LT(drawn.size.height, 2000) << position;
        const kx::Layer* backdrop = rig.view->shadowLayer();
        ASSERT_NE(backdrop, nullptr);
        EXPECT_TRUE(backdrop->displayArea().contains(
            backdrop->convertRectFromLayer(visible, rig.view->rootLayer()).intersected(backdrop->bounds())));
        EXPECT_LT(backdrop->displayArea().size.height, 2000) << position;
        const QImage shot = rig.scroll->viewport()->grab().toImage();
        for (const int y : {5, 200, 390}) {
            const int viewY = y + bar->value();
            EXPECT_COLOR_NEAR(kxtest::pixelAt(shot, 20, y), tilePixel(textures.workspace, 20, viewY), 2)
                << position << " " << y;
            // The page (200 wide, centred) lets the sheet texture show, tiled from the page's top-left corner.
            EXPECT_COLOR_NEAR(kxtest::pixelAt(shot, 300, y), tilePixel(textures.sheet, 300 - pageLeft, viewY), 2)
                << position << " " << y;
        }
    }
    kx::Bundle::setMainResourcePath({});
}

}  // namespace
