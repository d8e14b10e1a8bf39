#include "inspectors/property_view_controller.h"

#include "arrange_page.h"
#include "canvas/canvas_view.h"
#include "controls/segmented_control.h"
#include "controls/tab_bar.h"
#include "inspectors/arrangement.h"
#include "inspectors/inspector_support.h"
#include "model/photo.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using namespace kx::inspectors;
using kxtest::Posts;

class PropertyTabTest : public ::testing::Test, public kxtest::ArrangePage {
protected:
    void SetUp() override { tab.view()->resize(240, 600); }
    bool styleShown() { return tab.tabView()->currentView() == tab.viewWithTag(0); }
    bool arrangeShown() { return tab.tabView()->currentView() == tab.viewWithTag(1); }

    KXPropertyViewController tab;
};

TEST_F(PropertyTabTest, NoSelectionShowsOnlyTheHeaderAndTheNoSelectionTexts) {
    auto s = shape({0.1, 0.1, 0.2, 0.2});
    tab.updateUIWithSelectedGraphs({s});
    tab.updateUIWithSelectedGraphs({});
    KXMultiSelectionViewController& m = *tab.selectionVC();
    EXPECT_FALSE(tab.selectionView()->isHidden());
    EXPECT_TRUE(tab.propertyView()->isHidden());
    EXPECT_FALSE(m.btMultSelection()->isHidden());
    EXPECT_TRUE(m.btMultSelection()->state());
    EXPECT_FALSE(m.btMultSelection()->isSelectable());
    EXPECT_FALSE(m.tfNoSelectedTitle()->isHidden());
    EXPECT_FALSE(m.tfNoSelectedTitle1()->isHidden());
    for (QWidget* w : std::initializer_list<QWidget*>{m.alignmentView(), m.tfAlignment(), m.tfSameSize(),
                                                      m.segLineAlign(), m.segCenterAlign(), m.segSizeAlign(),
                                                      m.btGroup(), m.btUngroup(), m.btLock(), m.btUnlock(),
                                                      m.lineBox()})
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    // Both inspectors are emptied.
    EXPECT_EQ(tab.graphVC()->graph(), nullptr);
    EXPECT_EQ(tab.arrangeVC()->graph(), nullptr);
}

TEST_F(PropertyTabTest, SeveralObjectsShowTheAlignmentControlsAndTheButtonsTheyAllow) {
    auto a = shape({0.1, 0.1, 0.2, 0.2});
    auto b = shape({0.4, 0.4, 0.2, 0.2});
    auto g = group({shape({0.7, 0.1, 0.1, 0.1}), shape({0.8, 0.2, 0.1, 0.1})});
    ASSERT_NE(g, nullptr);
    KXMultiSelectionViewController& m = *tab.selectionVC();
    struct Case {
        const char* name;
        KXCanvas::GraphList graphs;
        std::vector<bool> locked;
        bool group, ungroup, lock, unlock;
    };
    const Case cases[] = {
        {"two unlocked", {a, b}, {false, false}, true, false, true, false},
        {"one locked", {a, b}, {true, false}, false, false, true, true},
        {"both locked", {a, b}, {true, true}, false, false, false, true},
        {"with a group", {a, g}, {false, false}, true, true, true, false},
        {"with a locked group", {a, g}, {false, true}, false, false, true, true},
    };
    for (const Case& test : cases) {
        for (std::size_t i = 0; i < test.graphs.size(); ++i)
            test.graphs[i]->setLocked(test.locked[i]);
        tab.updateUIWithSelectedGraphs(test.graphs);
        EXPECT_TRUE(tab.propertyView()->isHidden()) << test.name;
        EXPECT_TRUE(m.tfNoSelectedTitle()->isHidden()) << test.name;
        EXPECT_FALSE(m.segLineAlign()->isHidden()) << test.name;
        EXPECT_EQ(m.btGroup()->isEnabled(), test.group) << test.name;
        EXPECT_EQ(m.btUngroup()->isEnabled(), test.ungroup) << test.name;
        EXPECT_EQ(m.btLock()->isEnabled(), test.lock) << test.name;
        EXPECT_EQ(m.btUnlock()->isEnabled(), test.unlock) << test.name;
    }
}

TEST_F(PropertyTabTest, OneObjectShowsBothTabsAGroupOrALockedObjectOnlyTheArrangeTab) {
    auto s = shape({0.1, 0.1, 0.2, 0.2});
    auto p = photo({0.4, 0.4, 0.2, 0.2});
    auto g = group({shape({0.7, 0.1, 0.1, 0.1}), shape({0.8, 0.2, 0.1, 0.1})});
    ASSERT_NE(g, nullptr);
    const int width = tab.view()->width();

    tab.updateUIWithSelectedGraphs({s});
    EXPECT_FALSE(tab.propertyView()->isHidden());
    EXPECT_TRUE(tab.selectionView()->isHidden());
    EXPECT_TRUE(styleShown());
    EXPECT_FALSE(tab.btObject()->isHidden());
    EXPECT_EQ(tab.btObject()->text(), QStringLiteral("Shape"));
    EXPECT_EQ(tab.btObject()->x(), 0);
    EXPECT_EQ(tab.btArrange()->x(), width / 2);
    EXPECT_EQ(tab.btArrange()->width(), width - width / 2);
    EXPECT_TRUE(tab.btObject()->state());
    EXPECT_FALSE(tab.btArrange()->state());
    EXPECT_EQ(tab.graphVC()->graph(), s);
    EXPECT_EQ(tab.arrangeVC()->graph(), s);
    EXPECT_FALSE(tab.graphVC()->isHidden());

    // The tab buttons switch the tabs.
    tab.btArrange()->click();
    EXPECT_TRUE(arrangeShown());
    EXPECT_TRUE(tab.btArrange()->state());
    EXPECT_FALSE(tab.btObject()->state());
    tab.btObject()->click();
    EXPECT_TRUE(styleShown());

    // A group or a locked object: only the arrange button, over the whole row, and the arrange inspector
    // even though the style tab was shown.
    for (const std::shared_ptr<KXGraph>& only : std::initializer_list<std::shared_ptr<KXGraph>>{g, p}) {
        tab.showViewWithTag(0);
        if (only == p)
            p->setLocked(true);
        tab.updateUIWithSelectedGraphs({only});
        EXPECT_TRUE(tab.btObject()->isHidden());
        EXPECT_TRUE(tab.btArrange()->state());
        EXPECT_FALSE(tab.btArrange()->isSelectable());
        EXPECT_EQ(tab.btArrange()->x(), 0);
        EXPECT_EQ(tab.btArrange()->width(), width);
        EXPECT_TRUE(arrangeShown());
        EXPECT_EQ(tab.arrangeVC()->graph(), only);
        EXPECT_TRUE(tab.graphVC()->isHidden());
    }

    // Back to a plain object: the arrange tab stays, and the object button is back with its title.
    p->setLocked(false);
    tab.updateUIWithSelectedGraphs({p});
    EXPECT_FALSE(tab.btObject()->isHidden());
    EXPECT_EQ(tab.btObject()->text(), QStringLiteral("Photo"));
    EXPECT_TRUE(tab.btArrange()->isSelectable());
    EXPECT_TRUE(arrangeShown());
    EXPECT_TRUE(tab.btArrange()->state());
}

TEST(PropertyTabTitles, ByGraphType) {
    kxtest::ArrangePage page;
    auto s = page.shape({0.1, 0.1, 0.1, 0.1});
    auto p = page.photo({0.1, 0.1, 0.1, 0.1});
    auto l = page.line({0.1, 0.1, 0.1, 0.1});
    auto text = std::make_shared<KXShape>();
    text->setPhoto(nullptr);
    EXPECT_EQ(KXPropertyViewController::titleOfGraph(s.get()), QStringLiteral("Shape"));
    EXPECT_EQ(KXPropertyViewController::titleOfGraph(p.get()), QStringLiteral("Photo"));
    EXPECT_EQ(KXPropertyViewController::titleOfGraph(l.get()), QStringLiteral("Line"));
    EXPECT_EQ(KXPropertyViewController::titleOfGraph(text.get()), QStringLiteral("Text"));
    KXGroup group;
    EXPECT_EQ(KXPropertyViewController::titleOfGraph(&group), QString());
    EXPECT_EQ(KXPropertyViewController::titleOfGraph(nullptr), QString());
}

TEST_F(PropertyTabTest, AlignmentControlsAlignToTheFirstObjectInOneStep) {
    auto a = shape({0.1, 0.2, 0.3, 0.2});
    auto b = shape({0.5, 0.6, 0.2, 0.1});
    auto c = shape({0.6, 0.1, 0.1, 0.3});
    tab.updateUIWithSelectedGraphs({a, b, c});
    clearUndo();
    Posts exits(KXExitObjectMode, &tab);
    emit tab.selectionVC()->segLineAlign()->activated(2);  // top edges
    EXPECT_DOUBLE_EQ(b->relativeRect().origin.y + b->relativeRect().size.height, 0.4);
    EXPECT_DOUBLE_EQ(c->relativeRect().origin.y + c->relativeRect().size.height, 0.4);
    EXPECT_EQ(exits.count, 1);
    undoOneStep();
    EXPECT_DOUBLE_EQ(b->relativeRect().origin.y, 0.6);
    EXPECT_DOUBLE_EQ(c->relativeRect().origin.y, 0.1);
    emit tab.selectionVC()->segCenterAlign()->activated(1);  // centres on one vertical line
    EXPECT_DOUBLE_EQ(b->relativeRect().origin.x, 0.15);
    emit tab.selectionVC()->segSizeAlign()->activated(2);  // same size
    EXPECT_DOUBLE_EQ(c->relativeRect().size.width, 0.3);
    EXPECT_DOUBLE_EQ(c->relativeRect().size.height, 0.2);
    // Any other sender does nothing but leave the object modes.
    const kx::Rect before = c->relativeRect();
    tab.alignmentActions(nullptr, 0);
    EXPECT_EQ(c->relativeRect(), before);
    EXPECT_EQ(exits.count, 4);
}

TEST_F(PropertyTabTest, TheArrangeMenuActsOnTheObjectsShown) {
    auto a = shape({0.3, 0.3, 0.2, 0.1});
    auto b = shape({0.1, 0.5, 0.2, 0.1});
    tab.updateUIWithSelectedGraphs({a, b});
    EXPECT_TRUE(tab.validateMenuItem(KXAlignPageLeft));
    EXPECT_FALSE(tab.validateMenuItem(KXArrangeMenuUnlock));
    EXPECT_TRUE(tab.validateMenuItem(999));
    Posts exits(KXExitObjectMode, &tab);
    tab.alignPage(KXAlignPageHorizontalCenter);
    EXPECT_DOUBLE_EQ(a->relativeRect().origin.x, 0.4);
    EXPECT_DOUBLE_EQ(b->relativeRect().origin.x, 0.4);
    EXPECT_EQ(exits.count, 1);
    tab.flipGraphs(KXFlipHorizontal);
    EXPECT_EQ(a->flipX(), -1);
    EXPECT_EQ(b->flipX(), -1);
    EXPECT_EQ(exits.count, 1);

    // Flipping stops at a photo being cropped, which is asked to leave crop mode.
    auto cropping = photo({0.6, 0.6, 0.1, 0.1});
    cropping->photo()->setRenderMode(1);
    tab.updateUIWithSelectedGraphs({a, cropping, b});
    tab.flipGraphs(KXFlipVertical);
    EXPECT_EQ(a->flipY(), -1);
    EXPECT_EQ(cropping->flipY(), 1);
    EXPECT_EQ(b->flipY(), 1);
    EXPECT_EQ(exits.count, 2);
}

TEST_F(PropertyTabTest, LockingRefreshesTheTabAndTellsTheWindow) {
    auto a = shape({0.1, 0.1, 0.2, 0.2});
    auto b = shape({0.4, 0.4, 0.2, 0.2});
    tab.updateUIWithSelectedGraphs({a, b});
    Posts floating(KXFloatingNeedUpdate, &tab);
    Posts exits(KXExitObjectMode, &tab);
    int refreshes = 0;
    QObject::connect(&tab, &KXPropertyViewController::uiUpdated, [&] { ++refreshes; });
    clearUndo();
    tab.selectionVC()->btLock()->click();
    EXPECT_TRUE(a->isLocked() && b->isLocked());
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(floating.count, 1);
    EXPECT_EQ(exits.count, 1);
    EXPECT_FALSE(tab.selectionVC()->btLock()->isEnabled());
    EXPECT_TRUE(tab.selectionVC()->btUnlock()->isEnabled());
    undoOneStep();
    EXPECT_FALSE(a->isLocked() || b->isLocked());
    tab.selectionVC()->btLock()->click();
    tab.selectionVC()->btUnlock()->click();
    EXPECT_FALSE(a->isLocked() || b->isLocked());

    // Locking through the arrange inspector of one object refreshes the tab: only the arrange tab remains.
    page->setAllGrpahsSelection(false);
    a->setSelected(true);
    tab.updateUIWithSelectedGraphs({a});
    ASSERT_FALSE(tab.btObject()->isHidden());
    tab.arrangeVC()->btLock()->click();
    EXPECT_TRUE(a->isLocked());
    EXPECT_TRUE(tab.btObject()->isHidden());
    EXPECT_TRUE(arrangeShown());
}

TEST_F(PropertyTabTest, GroupAndUngroup) {
    auto a = shape({0.1, 0.1, 0.2, 0.2});
    auto b = shape({0.4, 0.4, 0.2, 0.2});
    auto c = shape({0.7, 0.7, 0.1, 0.1});
    tab.updateUIWithSelectedGraphs({a, b, c});
    c->setLocked(true);
    clearUndo();
    tab.selectionVC()->btGroup()->click();
    ASSERT_NE(a->group(), nullptr);
    EXPECT_EQ(a->group(), b->group());
    EXPECT_EQ(c->group(), nullptr);
    const auto g1 = page->graphs().back();
    ASSERT_EQ(g1.get(), a->group());
    undoOneStep();
    EXPECT_EQ(a->group(), nullptr);

    // Several listed: only the unlocked groups are ungrouped, in one step.
    auto first = group({a, b});
    auto d = shape({0.1, 0.7, 0.1, 0.1});
    auto e = shape({0.3, 0.7, 0.1, 0.1});
    auto second = group({d, e});
    ASSERT_TRUE(first && second);
    second->setLocked(true);
    tab.updateUIWithSelectedGraphs({first, second, c});
    clearUndo();
    tab.selectionVC()->btUngroup()->click();
    EXPECT_EQ(page->indexOfGraph(first.get()), -1);
    EXPECT_GE(page->indexOfGraph(second.get()), 0);
    undoOneStep();
    EXPECT_GE(page->indexOfGraph(first.get()), 0);

    // One listed group: the arrange inspector ungroups it.
    tab.updateUIWithSelectedGraphs({first});
    tab.ungroupAction();
    EXPECT_EQ(page->indexOfGraph(first.get()), -1);
    EXPECT_GE(page->indexOfGraph(a.get()), 0);
}

}  // namespace
