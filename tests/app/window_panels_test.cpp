// The document window's floating panels: which one the selection gets, where it goes, and how the panels
// follow the window's events and the crop mode.
#include "app/app_delegate.h"
#include "app/main_window.h"
#include "app/window_panels.h"
#include "canvas/canvas_view.h"
#include "document/document.h"
#include "inspectors/inspector_support.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/photo.h"
#include "model/shape.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/user_defaults.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMoveEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

namespace {

class WindowPanelsTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        registerDocumentClasses();
        kx::UserDefaults::standard().setValue(KXShowFloatingPanel, true);
        window.initWindowWidthDocument(document.get());
        window.resize(1280, 860);
        window.show();
        settle();
    }
    void TearDown() override { kx::UserDefaults::standard().removeValue(KXShowFloatingPanel); }

    KXCanvas& page() { return *window.project()->currentCanvas(); }
    KXWindowPanels& panels() { return *window.windowPanels(); }
    KXFloatingWindowController& toolbar() { return *panels().normalFloatingPanel(); }
    KXCropWindowController& crop() { return *panels().cropFloatingPanel(); }
    KXLockFloatingWindowController& badge() { return *panels().lockFloatingPanel(); }

    // Runs the event loop until a resize of the window has settled.
    void settle() {
        QElapsedTimer clock;
        clock.start();
        do {
            QCoreApplication::processEvents();
            QThread::msleep(5);
        } while (panels().isInLiveResize() && clock.elapsed() < 10000);
        ASSERT_FALSE(panels().isInLiveResize());
    }

    std::shared_ptr<KXShape> shapeAt(const kx::Rect& relative, bool photo, bool text) {
        auto shape = std::make_shared<KXShape>();
        if (!photo)
            shape->setPhoto(nullptr);
        if (!text)
            shape->setText(nullptr);
        page().addGraph(shape);
        shape->setRelativeRect(relative);
        return shape;
    }
    std::shared_ptr<KXShape> picture(const kx::Rect& relative) {
        auto shape = shapeAt(relative, true, false);
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString path = dir.filePath(QStringLiteral("picture.png"));
        EXPECT_TRUE(image.save(path));
        shape->photo()->setImagePath(path);
        return shape;
    }
    void select(const KXCanvas::GraphList& graphs) {
        window.preview()->setSelectedGraphs(graphs);
        panels().updateFloatingPanel();
    }
    // The graph's rectangle in the canvas viewport, worked out from the canvas view's own conversion.
    QRectF viewportRect(KXGraph& graph) {
        const kx::Rect g = graph.graphRect();
        KXPreview* view = window.preview();
        QWidget* viewport = window.scrollArea()->viewport();
        const QPointF a = view->mapTo(viewport, view->viewPointForPagePoint(g.origin));
        const QPointF b = view->mapTo(
            viewport, view->viewPointForPagePoint({g.origin.x + g.size.width, g.origin.y + g.size.height}));
        return QRectF(a, b).normalized();
    }
    int shownPanels() { return int(toolbar().isVisible()) + int(crop().isVisible()) + int(badge().isVisible()); }

    QTemporaryDir dir;
    std::shared_ptr<KXDocument> document = std::make_shared<KXDocument>();
    KXMainWindow window;
};

TEST_F(WindowPanelsTest, OnePhotoGetsTheToolbarWithCropUnderItAndAnEmptyFrameGetsItWithout) {
    struct Case {
        const char* name;
        bool photo, image, text;
        double width;
    } cases[] = {{"photo", true, true, false, KXFloatingWindowController::kWidthWithCrop},
                 {"empty frame", true, false, false, KXFloatingWindowController::kWidthWithoutCrop},
                 {"text", false, false, true, KXFloatingWindowController::kWidthWithoutCrop},
                 {"plain shape", false, false, false, KXFloatingWindowController::kWidthWithoutCrop}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.preview()->setSelectedGraphs({});
        while (!page().graphs().empty())
            page().removeGraphAtIndex(0);
        auto graph = c.image ? picture({0.2, 0.3, 0.3, 0.25}) : shapeAt({0.2, 0.3, 0.3, 0.25}, c.photo, c.text);
        select({graph});
        ASSERT_TRUE(toolbar().isVisible());
        EXPECT_FALSE(crop().isVisible());
        EXPECT_FALSE(badge().isVisible());
        EXPECT_EQ(toolbar().canCrop(), c.image);
        const QRectF object = viewportRect(*graph);
        EXPECT_DOUBLE_EQ(toolbar().frame().width(), c.width);
        EXPECT_DOUBLE_EQ(toolbar().frame().center().x(), object.center().x());
        EXPECT_DOUBLE_EQ(toolbar().frame().top(), object.bottom() + KXWindowPanels::kToolbarGap);
    }
}

TEST_F(WindowPanelsTest, AnObjectBelowTheVisibleAreaHangsItsToolbarFromTheAreasBottom) {
    auto graph = shapeAt({0.1, -0.5, 0.3, 0.2}, false, true);
    select({graph});
    ASSERT_TRUE(toolbar().isVisible());
    const double bottom = window.scrollArea()->viewport()->height();
    ASSERT_GT(viewportRect(*graph).bottom(), bottom);
    EXPECT_DOUBLE_EQ(toolbar().frame().top(), bottom + KXWindowPanels::kToolbarGap);
}

TEST_F(WindowPanelsTest, TwoSelectedOrTheSettingOffHideEveryPanel) {
    auto first = shapeAt({0.1, 0.1, 0.2, 0.2}, false, true);
    auto second = shapeAt({0.5, 0.5, 0.2, 0.2}, false, true);
    select({first});
    ASSERT_EQ(shownPanels(), 1);
    select({first, second});
    EXPECT_EQ(shownPanels(), 0);
    select({first});
    ASSERT_TRUE(toolbar().isVisible());
    panels().showHideFloatingPanel();
    EXPECT_FALSE(kx::UserDefaults::standard().boolValue(KXShowFloatingPanel));
    EXPECT_EQ(shownPanels(), 0);
    panels().showHideFloatingPanel();
    EXPECT_TRUE(toolbar().isVisible());
}

TEST_F(WindowPanelsTest, ALockedObjectShowsOnlyTheBadgeAndUnlockingSwapsItForTheToolbar) {
    auto graph = picture({0.2, 0.2, 0.4, 0.3});
    select({graph});
    page().lockSelectedGraphs();
    kx::NotificationCenter::defaultCenter().post(KXFloatingNeedUpdate, nullptr);
    EXPECT_TRUE(badge().isVisible());
    EXPECT_FALSE(toolbar().isVisible());
    EXPECT_FALSE(crop().isVisible());
    const QRectF object = viewportRect(*graph);
    EXPECT_DOUBLE_EQ(badge().frame().center().x(), object.center().x());
    EXPECT_DOUBLE_EQ(badge().frame().top(), object.bottom());

    page().unlockSelectedGraphs();
    kx::NotificationCenter::defaultCenter().post(KXFloatingNeedUpdate, nullptr);
    EXPECT_FALSE(badge().isVisible());
    EXPECT_TRUE(toolbar().isVisible());
}

TEST_F(WindowPanelsTest, StackingButtonsFollowThePageEvenAfterTheSettingWasOff) {
    auto bottom = shapeAt({0.1, 0.1, 0.2, 0.2}, false, true);
    auto top = shapeAt({0.5, 0.5, 0.2, 0.2}, false, true);
    select({bottom});
    EXPECT_TRUE(toolbar().canForward());
    EXPECT_FALSE(toolbar().canBackward());
    // The order changes while the panels are off; showing them again reads the page afresh.
    panels().showHideFloatingPanel();
    page().selectedGraphsGoForward();
    panels().showHideFloatingPanel();
    EXPECT_FALSE(toolbar().canForward());
    EXPECT_TRUE(toolbar().canBackward());
    // The toolbar's own button moves the object and updates both buttons.
    toolbar().btMoveObjectBackward()->click();
    EXPECT_EQ(page().graphs().front(), bottom);
    EXPECT_TRUE(toolbar().canForward());
    EXPECT_FALSE(toolbar().canBackward());
}

TEST_F(WindowPanelsTest, CropModeSwapsTheToolbarForTheCropPanelAndLeavingItSwapsBack) {
    auto graph = picture({0.2, 0.2, 0.4, 0.3});
    select({graph});
    ASSERT_TRUE(toolbar().canCrop());
    toolbar().btCrop()->click();
    ASSERT_TRUE(window.preview()->isCroppingPhoto());
    EXPECT_TRUE(crop().isVisible());
    EXPECT_FALSE(toolbar().isVisible());
    EXPECT_EQ(crop().cropMode(), graph->photo()->renderMode() == 2 ? 1 : 0);
    const QRectF object = viewportRect(*graph);
    EXPECT_DOUBLE_EQ(crop().frame().center().x(), object.center().x());

    kx::NotificationCenter::defaultCenter().post(KXExitObjectMode, nullptr);
    EXPECT_FALSE(window.preview()->isCroppingPhoto());
    EXPECT_FALSE(crop().isVisible());
    EXPECT_TRUE(toolbar().isVisible());
}

TEST_F(WindowPanelsTest, AWindowThatIsNotCurrentIgnoresTheNotifications) {
    auto graph = shapeAt({0.2, 0.2, 0.4, 0.3}, false, true);
    window.preview()->setSelectedGraphs({});
    ASSERT_EQ(shownPanels(), 0);
    panels().setCurrentWindowTest([] { return false; });
    window.preview()->setSelectedGraphs({graph});
    EXPECT_EQ(shownPanels(), 0);
    kx::NotificationCenter::defaultCenter().post(KXFloatingNeedUpdate, nullptr);
    EXPECT_EQ(shownPanels(), 0);
    window.preview()->setSelectedGraphs({});
    panels().setCurrentWindowTest([] { return true; });
    kx::NotificationCenter::defaultCenter().post(KXFloatingNeedUpdate, nullptr);
    EXPECT_EQ(shownPanels(), 0);
    window.preview()->setSelectedGraphs({graph});
    kx::NotificationCenter::defaultCenter().post(KXFloatingNeedUpdate, nullptr);
    EXPECT_EQ(shownPanels(), 1);
}

TEST_F(WindowPanelsTest, MovingDeactivatingAndResizingHideThePanelsUntilTheWindowSettles) {
    auto graph = shapeAt({0.2, 0.2, 0.4, 0.3}, false, true);
    select({graph});
    ASSERT_TRUE(toolbar().isVisible());

    QMoveEvent move(QPoint(10, 10), QPoint(0, 0));
    QCoreApplication::sendEvent(&window, &move);
    EXPECT_EQ(shownPanels(), 0);

    panels().updateFloatingPanel();
    ASSERT_TRUE(toolbar().isVisible());
    // Another window becomes the active one, and then this one again.
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QCoreApplication::processEvents();
    ASSERT_FALSE(window.isActiveWindow());
    EXPECT_EQ(shownPanels(), 0);
    QApplication::setActiveWindow(&window);
    QCoreApplication::processEvents();
    ASSERT_TRUE(window.isActiveWindow());
    EXPECT_TRUE(toolbar().isVisible());

    window.resize(1100, 800);
    EXPECT_TRUE(panels().isInLiveResize());
    EXPECT_EQ(shownPanels(), 0);
    settle();
    EXPECT_TRUE(toolbar().isVisible());
    const QRectF object = viewportRect(*graph);
    EXPECT_DOUBLE_EQ(toolbar().frame().center().x(), object.center().x());
}

TEST_F(WindowPanelsTest, GoingFullScreenLeavesCropModeAndPlacesTheToolbar) {
    auto graph = picture({0.2, 0.2, 0.4, 0.3});
    select({graph});
    window.preview()->beginCropPhoto(graph->photo());
    ASSERT_TRUE(window.preview()->isCroppingPhoto());
    window.setWindowState(window.windowState() | Qt::WindowFullScreen);
    settle();
    EXPECT_FALSE(window.preview()->isCroppingPhoto());
    EXPECT_TRUE(toolbar().isVisible());
}

TEST_F(WindowPanelsTest, HidingAndShowingASidePanelGivesTheCanvasItsRoomAndThenItsExactGeometry) {
    struct Case {
        const char* name;
        void (KXMainWindow::*toggle)();
        QWidget* container;
        bool left;
    } cases[] = {{"resources", &KXMainWindow::showHideResourcePanel, window.resourceView(), true},
                 {"settings", &KXMainWindow::showHideSettingPanel, window.settingView(), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QRect canvas = window.scrollArea()->geometry();
        const QRect bar = window.bottomMidView()->geometry();
        const int room = c.container->parentWidget()->width();
        ASSERT_GT(room, 0);
        (window.*c.toggle)();
        EXPECT_TRUE(c.container->isHidden() || !c.container->isVisibleTo(&window));
        const QRect wider = window.scrollArea()->geometry();
        EXPECT_EQ(wider.width(), canvas.width() + room);
        EXPECT_EQ(window.bottomMidView()->geometry().width(), bar.width() + room);
        EXPECT_EQ(window.bottomMidView()->geometry().height(), bar.height());
        (window.*c.toggle)();
        EXPECT_TRUE(c.container->isVisibleTo(&window));
        EXPECT_EQ(window.scrollArea()->geometry(), canvas);
        EXPECT_EQ(window.bottomMidView()->geometry(), bar);
    }
}

TEST_F(WindowPanelsTest, TheViewMenuTogglesTheFloatingToolbarSetting) {
    auto graph = shapeAt({0.2, 0.2, 0.4, 0.3}, false, true);
    select({graph});
    ASSERT_TRUE(toolbar().isVisible());
    auto* item = window.findChild<QAction*>(QStringLiteral("ShowHideFloatingPanel"));
    ASSERT_NE(item, nullptr);
    item->trigger();
    EXPECT_FALSE(kx::UserDefaults::standard().boolValue(KXShowFloatingPanel));
    EXPECT_EQ(shownPanels(), 0);
    item->trigger();
    EXPECT_TRUE(toolbar().isVisible());
}

}  // namespace
