#include "controls/tab_geometry.h"
#include "controls/tab_view.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Three views owned by the test (as controllers own theirs) and a 200 x 300 tab view.
class TabViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        tabView = std::make_unique<KXTabView>();
        tabView->resize(200, 300);
        for (auto& view : views)
            view = std::make_unique<QWidget>();
    }
    void TearDown() override {
        tabView.reset();
        for (auto& view : views)
            view.reset();
    }
    QWidget* view(int i) { return views[i].get(); }
    bool inTabView(int i) { return view(i)->parentWidget() == tabView.get(); }

    std::unique_ptr<KXTabView> tabView;
    std::unique_ptr<QWidget> views[3];
};

TEST_F(TabViewTest, TheFirstViewFillsTheTabViewWhateverTheStyle) {
    EXPECT_EQ(tabView->currentView(), nullptr);
    tabView->showView(view(0), KXTabViewSlideFromRight);
    EXPECT_EQ(tabView->currentView(), view(0));
    EXPECT_TRUE(inTabView(0));
    EXPECT_EQ(view(0)->geometry(), QRect(0, 0, 200, 300));
    EXPECT_FALSE(tabView->isSliding());
    // It keeps filling the tab view as that changes size.
    tabView->show();
    tabView->resize(250, 320);
    EXPECT_EQ(view(0)->geometry(), QRect(0, 0, 250, 320));
    tabView->hide();
}

TEST_F(TabViewTest, TheImmediateSwapRemovesThePreviousViewAtOnce) {
    tabView->showView(view(0), KXTabViewNoAnimation);
    tabView->showView(view(1), KXTabViewNoAnimation);
    EXPECT_EQ(tabView->currentView(), view(1));
    EXPECT_TRUE(inTabView(1));
    EXPECT_EQ(view(1)->geometry(), QRect(0, 0, 200, 300));
    EXPECT_FALSE(inTabView(0));
    EXPECT_TRUE(view(0)->isHidden());
    EXPECT_FALSE(tabView->isSliding());
    // Any style other than the four slides swaps at once.
    tabView->showView(view(0), 17);
    EXPECT_EQ(tabView->currentView(), view(0));
    EXPECT_FALSE(inTabView(1));
}

TEST_F(TabViewTest, TheCurrentViewIsIgnoredWhateverTheStyle) {
    tabView->showView(view(0), KXTabViewNoAnimation);
    for (int style : {0, 1, 2, 3, 4, -1}) {
        tabView->showView(view(0), style);
        EXPECT_EQ(tabView->currentView(), view(0)) << style;
        EXPECT_TRUE(inTabView(0)) << style;
        EXPECT_FALSE(tabView->isSliding()) << style;
        EXPECT_EQ(view(0)->geometry(), QRect(0, 0, 200, 300)) << style;
    }
    tabView->showView(nullptr, KXTabViewNoAnimation);
    EXPECT_EQ(tabView->currentView(), view(0));
}

TEST_F(TabViewTest, ASlideInterruptedByANewRequestEndsAtOnce) {
    tabView->showView(view(0), KXTabViewNoAnimation);
    tabView->showView(view(1), KXTabViewSlideFromRight);
    ASSERT_TRUE(tabView->isSliding());
    EXPECT_EQ(tabView->currentView(), view(1));
    // Nothing has moved yet: the new view waits one width to the right.
    EXPECT_EQ(view(1)->geometry(), QRect(200, 0, 200, 300));
    EXPECT_TRUE(inTabView(0));

    tabView->showView(view(2), KXTabViewNoAnimation);
    EXPECT_FALSE(tabView->isSliding());
    EXPECT_FALSE(inTabView(0));
    EXPECT_FALSE(inTabView(1));
    EXPECT_EQ(tabView->currentView(), view(2));
    EXPECT_EQ(view(2)->geometry(), QRect(0, 0, 200, 300));
}

TEST_F(TabViewTest, AFinishedSlideLeavesTheNewViewInPlace) {
    tabView->showView(view(0), KXTabViewNoAnimation);
    tabView->showView(view(1), KXTabViewSlideFromAbove);
    tabView->finishSlide();
    EXPECT_FALSE(tabView->isSliding());
    EXPECT_EQ(view(1)->geometry(), QRect(0, 0, 200, 300));
    EXPECT_FALSE(inTabView(0));
}

TEST_F(TabViewTest, TheBoxShowsOnlyItsSideLines) {
    tabView->showBox();
    const QImage box = tabView->grab().toImage();
    EXPECT_EQ(QColor(box.pixel(100, 150)), QColor(237, 237, 237));
    EXPECT_EQ(QColor(box.pixel(0, 150)), QColor(132, 132, 132));
    EXPECT_EQ(QColor(box.pixel(199, 150)), QColor(132, 132, 132));
    EXPECT_EQ(QColor(box.pixel(100, 0)), QColor(237, 237, 237));
    EXPECT_EQ(QColor(box.pixel(100, 299)), QColor(237, 237, 237));
}

TEST_F(TabViewTest, ATabViewLetsGoOfItsViewsWhenItGoes) {
    tabView->showView(view(0), KXTabViewNoAnimation);
    tabView->showView(view(1), KXTabViewSlideFromLeft);
    tabView.reset();
    // The views are still there for their owners, outside any tab view.
    EXPECT_EQ(view(0)->parentWidget(), nullptr);
    EXPECT_EQ(view(1)->parentWidget(), nullptr);
}

}  // namespace
