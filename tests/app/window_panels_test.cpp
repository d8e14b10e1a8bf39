// The document window's floating panels: which one the selection gets, where it goes, and how the panels
// follow the window's events and the crop mode.
#include "app/app_delegate.h"
#include "app/main_window.h"
#include "app/window_panels.h"
#include "app/crop_commands.h"
#include "app_test_support.h"
#include "app/page_commands.h"
#include "document/template_chooser.h"
#include "graphics/app_info.h"
#include "inspectors/background_editor_view_controller.h"
#include "inspectors/page_strip_view_controller.h"
#include "library/shape_palette.h"
#include "output/export_view_controller.h"
#include "platform/foundation/undo_manager.h"
#include "support/event_wait.h"
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
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

namespace {

using kxtest::expectRectNear;

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

// ---------------------------------------------------------------------------------------------------------
// The crop commands on the window's selection

class CropCommandsTest : public WindowPanelsTest {
protected:
    KXCropCommands& commands() { return *panels().cropCommands(); }
    // Closes the undo group of the current event, so that the next command is a step of its own.
    static void nextEvent() { QCoreApplication::processEvents(); }
    // A selected photo cropped to the rectangle, in crop mode with its crop panel up.
    std::shared_ptr<KXShape> croppedPhoto(const kx::Rect& cropRect) {
        auto graph = picture({0.3, 0.3, 0.2, 0.2});
        graph->photo()->setCropRect(cropRect);
        select({graph});
        commands().beginCrop();
        EXPECT_TRUE(window.preview()->isCroppingPhoto());
        EXPECT_TRUE(crop().isVisible());
        nextEvent();
        return graph;
    }
};

TEST_F(CropCommandsTest, EnteringCropModeFillsTheSliderAndMovingItZoomsAroundTheCentre) {
    auto graph = croppedPhoto({0.25, 0.25, 0.5, 0.5});
    EXPECT_NEAR(crop().minCropValue(), 0.0, 1e-3);
    EXPECT_NEAR(crop().cropValue(), 0.5, 1e-3);

    crop().slCropImage()->setValue(750);
    expectRectNear(graph->photo()->cropRect(), {0.375, 0.375, 0.25, 0.25}, 1e-6);

    crop().btMaxCrop()->click();
    EXPECT_NEAR(crop().cropValue(), 0.9, 1e-3);
    expectRectNear(graph->photo()->cropRect(), {0.45, 0.45, 0.1, 0.1}, 1e-6);

    crop().btMinCrop()->click();
    EXPECT_NEAR(crop().cropValue(), 0.0, 1e-3);
    expectRectNear(graph->photo()->cropRect(), {0, 0, 1, 1}, 1e-6);
}

TEST_F(CropCommandsTest, ADragOfTheSliderIsOneUndoStep) {
    auto graph = croppedPhoto({0.25, 0.25, 0.5, 0.5});
    QSlider* slider = crop().slCropImage();
    slider->setSliderDown(true);
    for (int value : {550, 600, 650, 700}) {
        slider->setValue(value);
        nextEvent();
    }
    slider->setSliderDown(false);
    nextEvent();
    expectRectNear(graph->photo()->cropRect(), {0.35, 0.35, 0.3, 0.3}, 1e-6);
    page().undoManager().undo();
    EXPECT_EQ(graph->photo()->cropRect(), kx::Rect(0.25, 0.25, 0.5, 0.5));
}

TEST_F(CropCommandsTest, ResettingACentredCropDoublesTheGraphAroundWhatWasVisibleAsOneStep) {
    auto graph = croppedPhoto({0.25, 0.25, 0.5, 0.5});
    const kx::Rect before = graph->frameRect();
    crop().btResetCrop()->click();
    EXPECT_EQ(graph->photo()->cropRect(), kx::Rect(0, 0, 1, 1));
    const kx::Rect after = graph->frameRect();
    EXPECT_NEAR(after.size.width, 2 * before.size.width, 1e-6);
    EXPECT_NEAR(after.size.height, 2 * before.size.height, 1e-6);
    EXPECT_NEAR(after.origin.x + after.size.width / 2, before.origin.x + before.size.width / 2, 1e-6);
    EXPECT_NEAR(after.origin.y + after.size.height / 2, before.origin.y + before.size.height / 2, 1e-6);
    EXPECT_NEAR(graph->aspectRatio(), after.size.width / after.size.height, 1e-6);
    // Crop mode is over and the toolbar is back.
    EXPECT_FALSE(window.preview()->isCroppingPhoto());
    EXPECT_TRUE(toolbar().isVisible());
    EXPECT_FALSE(crop().isVisible());

    nextEvent();
    page().undoManager().undo();
    EXPECT_EQ(graph->photo()->cropRect(), kx::Rect(0.25, 0.25, 0.5, 0.5));
    expectRectNear(graph->frameRect(), before, 1e-6);
}

TEST_F(CropCommandsTest, AMirroredGraphGrowsOnTheSideTheHiddenPartIsShownOn) {
    auto graph = picture({0.3, 0.3, 0.2, 0.2});
    graph->setFlipX(-1);
    graph->photo()->setCropRect({0.1, 0.25, 0.5, 0.5});
    select({graph});
    nextEvent();
    const kx::Rect before = graph->frameRect();
    commands().resetCrop();
    const kx::Rect after = graph->frameRect();
    const double imageWidth = before.size.width / 0.5;
    // Mirrored, the hidden 0.4 of the image lies on the left of what is seen and 0.1 on its right (the
    // graph's frame keeps to whole page pixels).
    EXPECT_NEAR(after.origin.x, before.origin.x - 0.4 * imageWidth, 1.0);
    EXPECT_NEAR(after.origin.x + after.size.width, before.origin.x + before.size.width + 0.1 * imageWidth, 1.0);
    EXPECT_EQ(graph->photo()->cropRect(), kx::Rect(0, 0, 1, 1));
}

TEST_F(CropCommandsTest, ACropWithoutHeightOrAWrongSelectionChangesNothing) {
    auto graph = croppedPhoto({0.25, 0.25, 0.5, 0.5});
    graph->photo()->setCropRect({0.25, 0.25, 0.5, 0});
    nextEvent();
    const kx::Rect frame = graph->frameRect();
    const bool couldUndo = page().undoManager().canUndo();
    crop().slCropImage()->setValue(800);
    commands().maxCropRect();
    commands().resetCrop();
    EXPECT_EQ(graph->photo()->cropRect(), kx::Rect(0.25, 0.25, 0.5, 0));
    EXPECT_EQ(graph->frameRect(), frame);
    nextEvent();
    EXPECT_EQ(page().undoManager().canUndo(), couldUndo);

    // Two selected objects: the slider and the reset leave the photo alone.
    graph->photo()->setCropRect({0.25, 0.25, 0.5, 0.5});
    auto other = shapeAt({0.6, 0.6, 0.1, 0.1}, false, true);
    window.preview()->setSelectedGraphs({graph, other});
    commands().maxCropRect();
    commands().resetCrop();
    EXPECT_EQ(graph->photo()->cropRect(), kx::Rect(0.25, 0.25, 0.5, 0.5));
    EXPECT_EQ(graph->frameRect(), frame);
}

TEST_F(CropCommandsTest, TheCropMenuItemCropsOneUnlockedPhotoThatShowsAnImage) {
    QAction* item = window.findChild<QAction*>(QStringLiteral("CropAction"));
    ASSERT_NE(item, nullptr);
    auto* edit = window.menuBar()->findChild<QMenu*>(QStringLiteral("EditMenu"));
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->actions().contains(item));

    auto photo = picture({0.2, 0.2, 0.3, 0.3});
    auto empty = shapeAt({0.6, 0.2, 0.2, 0.2}, true, false);
    struct Case {
        const char* name;
        KXCanvas::GraphList selection;
        bool locked;
        bool enabled;
    } cases[] = {{"one photo", {photo}, false, true},
                 {"an empty frame", {empty}, false, false},
                 {"a locked photo", {photo}, true, false},
                 {"two objects", {photo, empty}, false, false},
                 {"nothing", {}, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        photo->setLocked(c.locked);
        select(c.selection);
        // A change of selection validates the item at once, as for every item, so its shortcut obeys too.
        if (!c.locked)
            EXPECT_EQ(item->isEnabled(), c.enabled) << "before any menu opened";
        commands().validateCropAction();
        EXPECT_EQ(item->isEnabled(), c.enabled);
        item->trigger();
        EXPECT_EQ(window.preview()->isCroppingPhoto(), c.enabled);
        if (c.enabled) {
            EXPECT_TRUE(crop().isVisible());
            crop().btQuitCrop()->click();
            EXPECT_FALSE(window.preview()->isCroppingPhoto());
            EXPECT_TRUE(toolbar().isVisible());
        }
    }
}

// ---------------------------------------------------------------------------------------------------------
// The window's own events beyond the floating panels

TEST_F(WindowPanelsTest, ATemplateChooserAskedForDuringTheChangeIntoFullScreenShowsWhenItEnds) {
    struct Log {
        int shownAsWindow = 0;
    } log;
    class Chooser : public KXTemplateChooser {
    public:
        explicit Chooser(Log& log) : m_log(log) {}
        void setDelegate(KXTemplateWindowControllerDelegate*) override {}
        void setCanOpenProject(bool) override {}
        void showWindow() override { ++m_log.shownAsWindow; }
        void beginSheet(QWidget*) override {}

    private:
        Log& m_log;
    };
    KXTemplateChooser::setFactory([&log] { return std::make_unique<Chooser>(log); });
    window.setWindowState(window.windowState() | Qt::WindowFullScreen);
    EXPECT_TRUE(window.openTemplateAfterfullScreen());
    window.showTemplates(true);
    EXPECT_EQ(log.shownAsWindow, 0);
    EXPECT_TRUE(window.canOpenProject());
    settle();
    EXPECT_FALSE(window.openTemplateAfterfullScreen());
    EXPECT_EQ(log.shownAsWindow, 1);
    EXPECT_FALSE(window.canOpenProject());
    // Leaving full screen shows nothing.
    window.setWindowState(window.windowState() & ~Qt::WindowFullScreen);
    EXPECT_FALSE(window.openTemplateAfterfullScreen());
    settle();
    EXPECT_EQ(log.shownAsWindow, 1);
    KXTemplateChooser::setFactory({});
}

TEST_F(WindowPanelsTest, MinimisingHidesThePopoversAndClosingHidesTheShapePicker) {
    auto graph = shapeAt({0.2, 0.2, 0.4, 0.3}, false, true);
    select({graph});
    QWidget* picker = window.shapeWindowController()->window();
    const auto popoversShown = [&] {
        return int(picker->isVisible()) + int(window.pageCommands()->backgroundVC()->isWindowVisible()) +
               int(window.pageCommands()->multiPageVC()->isWindowVisible());
    };
    const auto showPopovers = [&] {
        window.shapeAction();
        window.pageCommands()->backgroundAction();
        window.pageCommands()->multiPageVC()->popupAtPosition(QPoint(300, 300));
    };
    showPopovers();
    ASSERT_EQ(popoversShown(), 3);
    window.setWindowState(window.windowState() | Qt::WindowMinimized);
    QCoreApplication::processEvents();
    EXPECT_EQ(popoversShown(), 0);
    EXPECT_EQ(shownPanels(), 0);

    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    settle();
    window.shapeAction();
    ASSERT_TRUE(picker->isVisible());
    // A window whose document is closed closes without asking.
    document->close();
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(picker->isVisible());
}

TEST_F(WindowPanelsTest, BecomingActiveAgainRemakesAPreviewThatIsOutOfDate) {
    QStringList opened;
    setURLOpener([&](const QUrl& url) {
        opened << url.toLocalFile();
        return true;
    });
    window.exportViewController()->setPreviewFolder(dir.filePath(QStringLiteral("QuickPreview")));
    QWidget other;
    other.show();
    const auto activate = [&](QWidget* which) {
        QApplication::setActiveWindow(which);
        QCoreApplication::processEvents();
    };
    // No preview was opened from this window: activation makes none.
    activate(&other);
    activate(&window);
    EXPECT_TRUE(window.previewChanged());
    EXPECT_TRUE(window.exportViewController()->previewPath().isEmpty());

    window.quickLookAction();
    ASSERT_TRUE(kxtest::processEventsUntil([&] { return opened.size() == 1; }));
    activate(&other);
    activate(&window);
    // Nothing changed since: the preview is left as it is.
    EXPECT_EQ(opened.size(), 1);

    window.setPreviewChanged(true);
    activate(&other);
    activate(&window);
    EXPECT_FALSE(window.previewChanged());
    EXPECT_TRUE(kxtest::processEventsUntil([&] { return opened.size() == 2; }));
    setURLOpener({});
}

TEST_F(WindowPanelsTest, LeavingTheEditingModesEndsThePenToolAndCropModeOnlyForTheCurrentWindow) {
    auto graph = picture({0.2, 0.2, 0.4, 0.3});
    select({graph});
    for (bool current : {false, true}) {
        SCOPED_TRACE(current ? "current window" : "another window is current");
        panels().setCurrentWindowTest([current] { return current; });
        if (!window.preview()->isDrawMode())
            window.preview()->enterDrawMode();
        // Starting crop mode again would end it.
        if (!window.preview()->isCroppingPhoto())
            window.preview()->beginCropPhoto(graph->photo());
        ASSERT_TRUE(window.preview()->isCroppingPhoto());
        ASSERT_TRUE(window.preview()->isDrawMode());
        panels().exitCropAndTextEditMode();
        EXPECT_EQ(window.preview()->isCroppingPhoto(), !current);
        EXPECT_EQ(window.preview()->isDrawMode(), !current);
    }
}

}  // namespace
