#include "canvas/canvas_layer.h"
#include "controls/image_browser_view.h"
#include "controls/popup_window.h"
#include "document/project.h"
#include "inspectors/page_strip_view_controller.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

#include <memory>

namespace {

class RecordingStripDelegate : public KXMultiPageViewControllerDelegate {
public:
    void multiPageViewControllerSelectPageAtIndex(std::int64_t index) override { selected.push_back(index); }
    void adjustCanvasAtIndex(std::int64_t from, std::int64_t to) override { moves.push_back({from, to}); }
    std::vector<std::int64_t> selected;
    std::vector<std::pair<std::int64_t, std::int64_t>> moves;
};

class PageStripTest : public ::testing::Test {
protected:
    void SetUp() override { registerModelClasses(); }

    // A project of `pages` small pages.
    static std::unique_ptr<KXProject> projectOf(int pages) {
        auto project = std::make_unique<KXProject>();
        project->removeAllCanvasLayers();
        const KXSize size(200, 100, KXSizeUnitPixel, 72);
        for (int i = 0; i < pages; ++i) {
            auto page = std::make_shared<KXCanvas>();
            page->setPageSize(&size);
            page->setMarginRect({0, 0, 200, 100});
            project->createNewLayerWithCanvas(page);
        }
        return project;
    }
    static std::vector<int> names(const KXMultiPageViewController& strip) {
        std::vector<int> result;
        for (const KXPageItem& item : strip.pageItems())
            result.push_back(item.name);
        return result;
    }
    static std::vector<std::uint64_t> versions(const KXMultiPageViewController& strip) {
        std::vector<std::uint64_t> result;
        for (const KXPageItem& item : strip.pageItems())
            result.push_back(item.version);
        return result;
    }
};

TEST_F(PageStripTest, ItemsAreNamedAndVersionedAsTheyAreRendered) {
    auto project = projectOf(3);
    KXMultiPageViewController strip(project.get());
    EXPECT_EQ(names(strip), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(versions(strip), (std::vector<std::uint64_t>{100, 100, 100}));
    EXPECT_EQ(strip.pageItems()[1].imageTitle(), QStringLiteral("2"));
    for (int i = 0; i < 3; ++i) {
        const KXPageItem* item = strip.imageBrowserItemAtIndex(i);
        ASSERT_NE(item, nullptr);
        EXPECT_FALSE(item->image.isNull());
        EXPECT_LE(std::max(item->image.width(), item->image.height()), 100);
    }
    EXPECT_EQ(versions(strip), (std::vector<std::uint64_t>{101, 102, 103}));
    EXPECT_EQ(strip.versionIdx(), 103);
    // A rendered item is given as it is; one dropped is rendered again.
    strip.imageBrowserItemAtIndex(1);
    EXPECT_EQ(strip.versionIdx(), 103);
    strip.updateAllItems();
    strip.imageBrowserItemAtIndex(1);
    EXPECT_EQ(strip.pageItems()[1].version, 104u);
    EXPECT_EQ(strip.imageBrowserItemAtIndex(3), nullptr);
}

TEST_F(PageStripTest, DraggingAPageToTheEndMovesItAndTellsTheDelegate) {
    auto project = projectOf(3);
    KXMultiPageViewController strip(project.get());
    RecordingStripDelegate delegate;
    strip.setDelegate(&delegate);
    strip.view();
    strip.setVersionIdx(110);
    EXPECT_TRUE(strip.moveItemsAtIndexes({0}, 3));
    EXPECT_EQ(names(strip), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(versions(strip), (std::vector<std::uint64_t>{111, 111, 111}));
    ASSERT_EQ(delegate.moves.size(), 1u);
    EXPECT_EQ(delegate.moves[0], (std::pair<std::int64_t, std::int64_t>{0, 2}));

    // A drop on its own place, right behind itself, or with nothing dragged changes nothing.
    EXPECT_TRUE(strip.moveItemsAtIndexes({1}, 1));
    EXPECT_TRUE(strip.moveItemsAtIndexes({1}, 2));
    EXPECT_FALSE(strip.moveItemsAtIndexes({}, 0));
    EXPECT_FALSE(strip.moveItemsAtIndexes({7}, 0));
    EXPECT_EQ(delegate.moves.size(), 1u);
    EXPECT_EQ(strip.versionIdx(), 111);
}

TEST_F(PageStripTest, ADragWithTheMouseReordersAndAClickChoosesAPage) {
    auto project = projectOf(3);
    KXMultiPageViewController strip(project.get());
    RecordingStripDelegate delegate;
    strip.setDelegate(&delegate);
    QWidget* view = strip.view();
    view->resize(600, 170);
    view->show();
    QApplication::processEvents();
    kx::ImageBrowserView* browser = strip.imageBrowser();
    const QRect first = browser->cellRect(0);
    const QRect last = browser->cellRect(2);
    ASSERT_FALSE(first.isEmpty());
    QWidget* viewport = browser->viewport();
    const auto send = [&](QEvent::Type type, const QPoint& at) {
        QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    };
    send(QEvent::MouseButtonPress, first.center());
    delegate.selected.clear();
    // Passing over the other pages chooses none of them.
    for (int item : {1, 2})
        send(QEvent::MouseMove, browser->cellRect(item).center());
    send(QEvent::MouseButtonRelease, QPoint(last.right() - 2, last.center().y()));
    EXPECT_TRUE(delegate.selected.empty());
    ASSERT_EQ(delegate.moves.size(), 1u);
    EXPECT_EQ(delegate.moves[0], (std::pair<std::int64_t, std::int64_t>{0, 2}));

    // A click selects: the delegate is told the index.
    delegate.selected.clear();
    send(QEvent::MouseButtonPress, browser->cellRect(1).center());
    send(QEvent::MouseButtonRelease, browser->cellRect(1).center());
    EXPECT_EQ(delegate.selected, (std::vector<std::int64_t>{1}));
    view->hide();
}

TEST_F(PageStripTest, RemovingRenamesTheItemsAndSelectsTheNeighbour) {
    auto project = projectOf(4);
    KXMultiPageViewController strip(project.get());
    strip.view();
    strip.selectItemAtIndex(3);
    project->removeCanvasLayer(project->canvasLayerAtIndex(3).get());
    strip.removeSelectedItem();
    EXPECT_EQ(names(strip), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(strip.indexOfSelected(), 2);

    auto four = projectOf(4);
    strip.setProject(four.get());
    strip.selectItemAtIndex(1);
    four->removeCanvasLayer(four->canvasLayerAtIndex(1).get());
    strip.removeSelectedItem();
    EXPECT_EQ(names(strip), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(versions(strip), (std::vector<std::uint64_t>{101, 101, 101}));
    EXPECT_EQ(strip.indexOfSelected(), 1);
    EXPECT_TRUE(strip.btRemovePage()->isEnabled());

    auto one = projectOf(1);
    strip.setProject(one.get());
    EXPECT_FALSE(strip.btRemovePage()->isEnabled());
}

TEST_F(PageStripTest, ShowingTheStripTwiceHidesIt) {
    auto project = projectOf(2);
    KXMultiPageViewController strip(project.get());
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    strip.popupAtPosition(centre);
    ASSERT_TRUE(strip.isWindowVisible());
    // The shown strip has its thumbnails.
    EXPECT_FALSE(strip.pageItems()[0].image.isNull());
    EXPECT_FALSE(strip.pageItems()[1].image.isNull());
    // While it is on screen the selected thumbnail is kept.
    strip.selectItemAtIndex(0);
    strip.updateSelectedItem();
    EXPECT_FALSE(strip.pageItems()[0].image.isNull());
    strip.popupAtPosition(centre);
    EXPECT_FALSE(strip.isWindowVisible());
    strip.updateSelectedItem();
    EXPECT_TRUE(strip.pageItems()[0].image.isNull());
}

}  // namespace
