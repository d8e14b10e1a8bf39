#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "controls/tab_bar.h"
#include "controls/tab_view.h"
#include "inspectors/page_view_controller.h"
#include "inspectors/property_view_controller.h"
#include "inspectors/setting_view_controller.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/shape.h"

#include <QApplication>
#include <QScrollArea>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A canvas view showing one page, as a window has it.
struct ShownPage {
    ShownPage() {
        scroll = std::make_unique<QScrollArea>();
        zoom = std::make_unique<KXZoomPopUp>();
        view = new KXPreview;
        view->setScrollArea(scroll.get());
        view->setPubZoom(zoom.get());
        view->awakeFromNib();
        scroll->resize(400, 300);
        layer = KXCanvasLayer::create();
        view->switchToCanvasLayer(layer);
    }
    ~ShownPage() {
        view->switchToCanvasLayer(nullptr);
        scroll.reset();
    }
    KXCanvas* page() const { return layer->canvas(); }
    // An object on the page, which the view then selects.
    std::shared_ptr<KXGraph> addSelected() {
        auto shape = std::make_shared<KXShape>();
        page()->addGraph(shape);
        view->setSelectedGraphs({shape});
        return shape;
    }

    std::unique_ptr<QScrollArea> scroll;
    std::unique_ptr<KXZoomPopUp> zoom;
    KXPreview* view = nullptr;  // owned by the scroll area
    std::shared_ptr<KXCanvasLayer> layer;
};

// One step that undoes and redoes itself, recorded on the undo manager.
void recordStep(kx::UndoManager& undo) {
    struct Step {
        static void record(kx::UndoManager& manager) {
            manager.registerUndo(&manager, [&manager] { record(manager); });
        }
    };
    undo.beginUndoGrouping();
    Step::record(undo);
    undo.endUndoGrouping();
}

class SettingViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        shown = std::make_unique<ShownPage>();
        other = std::make_unique<ShownPage>();
        hub = std::make_unique<KXSettingViewController>(shown->page());
        hub->view()->resize(220, 500);
        QObject::connect(hub->propertyVC(), &KXPropertyViewController::uiUpdated, [this] {
            ++refreshes;
            registrationDuringRefresh = hub->canvas()->undoManager().isUndoRegistrationEnabled();
        });
    }
    void TearDown() override {
        hub.reset();
        other.reset();
        shown.reset();
    }

    std::unique_ptr<ShownPage> shown;
    std::unique_ptr<ShownPage> other;
    std::unique_ptr<KXSettingViewController> hub;
    int refreshes = 0;
    bool registrationDuringRefresh = true;
};

TEST_F(SettingViewControllerTest, TheTabsHaveTheirTagsAndSwapWithoutAnimation) {
    QWidget* property = hub->propertyVC()->view();
    QWidget* page = hub->pageVC()->view();
    EXPECT_EQ(hub->viewWithTag(KXSettingTagProperty), property);
    EXPECT_EQ(hub->viewWithTag(KXSettingTagPage), page);
    for (std::int64_t tag : {std::int64_t(2), std::int64_t(-1), KXTabNotFound})
        EXPECT_EQ(hub->viewWithTag(tag), nullptr) << tag;
    EXPECT_EQ(hub->tagOfView(property), KXSettingTagProperty);
    EXPECT_EQ(hub->tagOfView(page), KXSettingTagPage);
    EXPECT_EQ(hub->tagOfView(hub->view()), KXTabNotFound);
    EXPECT_EQ(hub->tagOfView(nullptr), KXTabNotFound);
    EXPECT_EQ(hub->nextResponder(), hub->propertyVC());
    EXPECT_EQ(property->objectName(), QStringLiteral("PropertyView"));
    EXPECT_EQ(page->objectName(), QStringLiteral("PageView"));

    hub->showViewWithTag(KXSettingTagPage);
    EXPECT_EQ(hub->tabView()->currentView(), page);
    hub->showViewWithTag(KXSettingTagProperty);
    EXPECT_EQ(hub->tabView()->currentView(), property);
    EXPECT_FALSE(hub->tabView()->isSliding());
    EXPECT_EQ(page->parentWidget(), nullptr);
    // The tag shown, no tag and an unknown tag change nothing.
    for (std::int64_t tag : {std::int64_t(KXSettingTagProperty), KXTabNotFound, std::int64_t(5)}) {
        hub->showViewWithTag(tag);
        EXPECT_EQ(hub->tabView()->currentView(), property) << tag;
        EXPECT_EQ(property->parentWidget(), hub->tabView()) << tag;
    }
}

TEST_F(SettingViewControllerTest, SwitchingPagesShowsTheNewPagesMarginsFromItsEdges) {
    KXCanvas* page = other->page();
    const KXSize size(1000, 800, KXSizeUnitPixel, 72);
    page->setPageSize(&size);
    page->setMarginRect({50, 40, 900, 700});
    page->setClipMargin(true);
    hub->switchToCanvas(page);
    EXPECT_EQ(hub->canvas(), page);
    const KXPageViewController& setup = *hub->pageVC();
    EXPECT_DOUBLE_EQ(setup.marginTop(), 60);
    EXPECT_DOUBLE_EQ(setup.marginBottom(), 40);
    EXPECT_DOUBLE_EQ(setup.marginLeft(), 50);
    EXPECT_DOUBLE_EQ(setup.marginRight(), 50);
    EXPECT_TRUE(setup.clipMargin());
    ASSERT_NE(setup.pageSize(), nullptr);
    EXPECT_EQ(setup.pageSize()->pixelSize(), kx::Size(1000, 800));
    EXPECT_NE(setup.pageSize(), page->pageSize());
    // The property tab is left as it was.
    EXPECT_EQ(refreshes, 0);
}

TEST_F(SettingViewControllerTest, UndoAndRedoRefreshOnlyForTheBoundPage) {
    const auto graph = shown->addSelected();
    shown->page()->setAllGrpahsSelection(false);
    graph->setSelected(true);
    refreshes = 0;
    kx::UndoManager& mine = shown->page()->undoManager();
    kx::UndoManager& theirs = other->page()->undoManager();
    mine.removeAllActions();
    recordStep(mine);
    recordStep(theirs);

    theirs.undo();
    theirs.redo();
    EXPECT_EQ(refreshes, 0);

    mine.undo();
    EXPECT_EQ(refreshes, 1);
    EXPECT_FALSE(registrationDuringRefresh);
    EXPECT_TRUE(mine.isUndoRegistrationEnabled());
    EXPECT_EQ(hub->propertyVC()->graphs(), KXCanvas::GraphList{graph});
    mine.redo();
    EXPECT_EQ(refreshes, 2);
    EXPECT_TRUE(mine.isUndoRegistrationEnabled());

    // Bound to the other page, the panel follows that page only.
    hub->switchToCanvas(other->page());
    mine.undo();
    EXPECT_EQ(refreshes, 2);
    theirs.undo();
    EXPECT_EQ(refreshes, 3);
}

TEST_F(SettingViewControllerTest, SelectionChangesRefreshOnlyFromAViewOfTheBoundPage) {
    const auto graph = shown->addSelected();
    EXPECT_GE(refreshes, 1);
    EXPECT_EQ(hub->propertyVC()->graphs(), KXCanvas::GraphList{graph});
    EXPECT_FALSE(registrationDuringRefresh);

    refreshes = 0;
    other->addSelected();
    other->view->deselectAllGraphs();
    EXPECT_EQ(refreshes, 0);
    EXPECT_EQ(hub->propertyVC()->graphs(), KXCanvas::GraphList{graph});

    shown->view->deselectAllGraphs();
    EXPECT_EQ(refreshes, 1);
    EXPECT_TRUE(hub->propertyVC()->graphs().empty());
}

TEST_F(SettingViewControllerTest, AHiddenPanelIsLeftAloneUntilItIsShownAgain) {
    // The panel sits in a container of a window, as in the document window.
    QWidget window;
    auto* container = new QWidget(&window);
    hub->view()->setParent(container);
    container->hide();
    const auto graph = shown->addSelected();
    graph->setSelected(true);
    kx::UndoManager& undo = shown->page()->undoManager();
    // Only the test's own step is undone, not the object's insertion.
    undo.removeAllActions();
    recordStep(undo);
    undo.undo();
    EXPECT_EQ(refreshes, 0);
    EXPECT_TRUE(hub->propertyVC()->graphs().empty());

    container->show();
    hub->updateSettingUI();
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(hub->propertyVC()->graphs(), KXCanvas::GraphList{graph});
    EXPECT_TRUE(undo.isUndoRegistrationEnabled());
    hub->view()->setParent(nullptr);
}

TEST_F(SettingViewControllerTest, APanelWithoutPageRefreshesWithNothing) {
    KXSettingViewController empty(nullptr);
    int emptyRefreshes = 0;
    QObject::connect(empty.propertyVC(), &KXPropertyViewController::uiUpdated, [&] { ++emptyRefreshes; });
    shown->addSelected();
    EXPECT_EQ(emptyRefreshes, 0);
    empty.updateSettingUI();
    EXPECT_EQ(emptyRefreshes, 1);
    EXPECT_TRUE(empty.propertyVC()->graphs().empty());
}

}  // namespace
