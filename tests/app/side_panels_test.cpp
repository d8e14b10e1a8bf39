// The side panels of the document window: their tab bars and the settings panel bound to the page shown.
#include "app/main_window.h"
#include "canvas/canvas_view.h"
#include "controls/tab_bar.h"
#include "controls/tab_view.h"
#include "document/document.h"
#include "document/version_info.h"
#include "inspectors/page_view_controller.h"
#include "inspectors/property_view_controller.h"
#include "inspectors/setting_view_controller.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/shape.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A window set up for a document of one empty page, with its settings panel's refreshes counted.
struct CountedWindow {
    CountedWindow() {
        window.initWindowWidthDocument(document.get());
        QObject::connect(window.settingVC()->propertyVC(), &KXPropertyViewController::uiUpdated,
                         [this] { ++refreshes; });
    }
    KXCanvas& page() { return *window.project()->currentCanvas(); }
    // One step on the page's undo manager that undoes into one redo step.
    void recordStep() {
        kx::UndoManager& undo = page().undoManager();
        undo.removeAllActions();
        undo.beginUndoGrouping();
        undo.registerUndo(&undo, [&undo] { undo.registerUndo(&undo, [] {}); });
        undo.endUndoGrouping();
    }

    std::shared_ptr<KXDocument> document = std::make_shared<KXDocument>();
    KXMainWindow window;
    int refreshes = 0;
};

class SidePanelsTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        registerDocumentClasses();
    }
};

TEST_F(SidePanelsTest, ANewWindowShowsBothTabBarsAndOpensOnThePageTab) {
    CountedWindow w;
    KXMainWindow& window = w.window;
    ASSERT_NE(window.tbResource(), nullptr);
    ASSERT_NE(window.tbSetting(), nullptr);
    EXPECT_EQ(window.tbResource()->tabButtons().size(), 4u);
    EXPECT_EQ(window.tbSetting()->tabButtons().size(), 2u);
    EXPECT_EQ(window.tbResource()->selectType(), 0);
    EXPECT_EQ(window.tbSetting()->selectType(), 0);
    EXPECT_EQ(window.tbResource()->indexOfSelectedTabButton(), 0);
    EXPECT_EQ(window.tbSetting()->indexOfSelectedTabButton(), KXSettingTagPage);
    EXPECT_EQ(window.settingTabIndex(), 1);

    KXSettingViewController* hub = window.settingVC();
    ASSERT_NE(hub, nullptr);
    EXPECT_EQ(hub->view()->parentWidget(), window.settingView());
    EXPECT_EQ(hub->tabView()->currentView(), hub->pageVC()->view());
    EXPECT_EQ(hub->canvas(), &w.page());
    // The tab bars sit right above their containers.
    EXPECT_EQ(window.tbSetting()->parentWidget(), window.settingView()->parentWidget());
    EXPECT_EQ(window.tbResource()->parentWidget(), window.resourceView()->parentWidget());
}

TEST_F(SidePanelsTest, TheSettingTabBarSwitchesTheSettingsPanel) {
    CountedWindow w;
    KXSettingViewController* hub = w.window.settingVC();
    w.window.tbSetting()->selectTabButtonAtIndex(KXSettingTagProperty);
    EXPECT_EQ(hub->tabView()->currentView(), hub->propertyVC()->view());
    // A click on the selected tab of a type-0 bar shows the same view again, which changes nothing.
    w.window.tbSetting()->selectTabButton(w.window.tbSetting()->tabButtons().at(0));
    EXPECT_EQ(hub->tabView()->currentView(), hub->propertyVC()->view());
    w.window.tbSetting()->selectTabButtonAtIndex(KXSettingTagPage);
    EXPECT_EQ(hub->tabView()->currentView(), hub->pageVC()->view());
    // The resource tabs leave the settings panel alone.
    w.window.tbResource()->selectTabButtonAtIndex(3);
    EXPECT_EQ(w.window.resourceTabIndex(), 3);
    EXPECT_EQ(hub->tabView()->currentView(), hub->pageVC()->view());
}

TEST_F(SidePanelsTest, ASelectionShowsTheObjectTabAndRefreshesTheSettingsPanel) {
    CountedWindow w;
    KXSettingViewController* hub = w.window.settingVC();
    auto shape = std::make_shared<KXShape>();
    // A new object is selected, and the view takes the page's selection.
    w.refreshes = 0;
    w.page().addGraph(shape);
    w.window.preview()->setSelectedGraphs({shape});
    EXPECT_EQ(w.window.settingTabIndex(), 0);
    EXPECT_EQ(hub->tabView()->currentView(), hub->propertyVC()->view());
    EXPECT_GE(w.refreshes, 1);
    EXPECT_EQ(hub->propertyVC()->graphs(), KXCanvas::GraphList{shape});
    w.window.preview()->deselectAllGraphs();
    EXPECT_EQ(w.window.settingTabIndex(), 1);
    EXPECT_TRUE(hub->propertyVC()->graphs().empty());
}

TEST_F(SidePanelsTest, APageSwitchBindsTheSettingsPanelToTheNewPage) {
    CountedWindow w;
    auto second = std::make_shared<KXCanvas>();
    const KXSize size(1000, 800, KXSizeUnitPixel, 72);
    second->setPageSize(&size);
    second->setMarginRect({50, 40, 900, 700});
    w.window.project()->createNewLayerWithCanvas(second);
    ASSERT_TRUE(w.window.switchCanvasToIndex(1));
    KXSettingViewController* hub = w.window.settingVC();
    EXPECT_EQ(hub->canvas(), second.get());
    EXPECT_DOUBLE_EQ(hub->pageVC()->marginTop(), 60);
    EXPECT_DOUBLE_EQ(hub->pageVC()->marginBottom(), 40);
    EXPECT_DOUBLE_EQ(hub->pageVC()->marginLeft(), 50);
    EXPECT_DOUBLE_EQ(hub->pageVC()->marginRight(), 50);

    // An undo on the page no longer shown leaves the panel alone; one on the shown page refreshes it.
    ASSERT_TRUE(w.window.switchCanvasToIndex(0));
    w.recordStep();
    ASSERT_TRUE(w.window.switchCanvasToIndex(1));
    w.refreshes = 0;
    w.window.project()->canvasAtIndex(0)->undoManager().undo();
    EXPECT_EQ(w.refreshes, 0);
    w.recordStep();
    w.page().undoManager().undo();
    EXPECT_EQ(w.refreshes, 1);
}

TEST_F(SidePanelsTest, AnotherWindowsUndoOrSelectionNeverRefreshesThisPanel) {
    CountedWindow mine;
    CountedWindow theirs;
    mine.recordStep();
    theirs.recordStep();
    mine.refreshes = 0;
    theirs.refreshes = 0;

    theirs.page().undoManager().undo();
    theirs.page().undoManager().redo();
    EXPECT_EQ(mine.refreshes, 0);
    EXPECT_EQ(theirs.refreshes, 2);

    auto shape = std::make_shared<KXShape>();
    theirs.page().addGraph(shape);
    theirs.window.preview()->setSelectedGraphs({shape});
    EXPECT_EQ(mine.refreshes, 0);
    EXPECT_EQ(mine.window.settingTabIndex(), 1);

    mine.page().undoManager().undo();
    EXPECT_EQ(mine.refreshes, 1);
    EXPECT_TRUE(mine.page().undoManager().isUndoRegistrationEnabled());
}

TEST_F(SidePanelsTest, AHiddenSettingsPanelIsNotRefreshed) {
    CountedWindow w;
    w.recordStep();
    w.refreshes = 0;
    w.window.settingView()->hide();
    w.page().undoManager().undo();
    EXPECT_EQ(w.refreshes, 0);
    w.window.settingView()->show();
    w.window.settingVC()->updateSettingUI();
    EXPECT_EQ(w.refreshes, 1);
}

}  // namespace
