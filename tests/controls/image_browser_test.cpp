#include "browser_test_support.h"
#include "controls/image_browser_view.h"
#include "mouse_events.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <future>

namespace {

using kxtest::colourItem;
using kxtest::waitUntil;

std::vector<kx::ImageBrowserItem> colourItems(int count) {
    std::vector<kx::ImageBrowserItem> items;
    for (int i = 0; i < count; ++i)
        items.push_back(colourItem(QString("item %1").arg(i), 1, QColor::fromHsv(i * 7 % 360, 200, 200)));
    return items;
}

struct ShownBrowser {
    kx::ImageBrowserView view;
    ShownBrowser() {
        view.resize(640, 480);
        view.show();
        QApplication::processEvents();
    }
    void settle() {
        QCoreApplication::processEvents();
        view.viewport()->repaint();
    }
    QPoint centreOf(int item) { return view.cellRect(item).center(); }
};

TEST(ImageBrowserCellSide, FollowsTheZoomWithinItsRange) {
    const std::pair<double, int> cases[] = {{0, 32}, {1, 320}, {0.5, 176}, {-1, 32}, {2, 320}, {NAN, 176}};
    for (const auto& [zoom, side] : cases)
        EXPECT_EQ(kx::imageBrowserCellSide(zoom), side) << zoom;
}

// A folder of 500 photos: the first screen shows at once with placeholders and every thumbnail follows.
TEST(ImageBrowser, AFolderOfFiveHundredPhotosShowsPlaceholdersFirstThenEveryThumbnail) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString first = dir.filePath("photo 0.jpg");
    ASSERT_TRUE(kxtest::solidImage(800, 600, QColor(200, 120, 40)).qimage().save(first, "JPG", 90));
    std::vector<kx::ImageBrowserItem> items;
    for (int i = 0; i < 500; ++i) {
        const QString path = dir.filePath(QString("photo %1.jpg").arg(i));
        if (i > 0)
            ASSERT_TRUE(QFile::copy(first, path));
        kx::ImageBrowserItem item;
        item.uid = path;
        item.path = path;
        item.title = QFileInfo(path).fileName();
        items.push_back(item);
    }
    ShownBrowser browser;
    browser.view.setItems(items);
    // Thumbnails arrive through the event loop, never while the list is set.
    for (int i = 0; i < 500; ++i)
        ASSERT_FALSE(browser.view.browserModel().hasThumbnail(i));
    browser.settle();
    // The first screen is there with placeholders: no thumbnail was made while the list was set.
    int shown = 0;
    for (int i = 0; i < 500; ++i)
        if (browser.view.cellRect(i).intersects(browser.view.viewport()->rect()))
            ++shown;
    EXPECT_GT(shown, 4);
    EXPECT_LT(browser.view.browserModel().queue().pendingCount(), 501);

    // Every thumbnail follows through the event loop. (That they are made off the main thread is checked with
    // counting renderers below; how long the main thread is kept is a matter for bench_image_browser.)
    ASSERT_TRUE(waitUntil([&] {
        for (int i = 0; i < 500; ++i)
            if (!browser.view.browserModel().hasThumbnail(i))
                return false;
        return true;
    }));
    const QImage thumbnail = browser.view.browserModel().thumbnail(499);
    EXPECT_EQ(thumbnail.width(), kx::imageBrowserCellSide(0.5));
    EXPECT_EQ(thumbnail.height(), kx::imageBrowserCellSide(0.5) * 3 / 4);
}

TEST(ImageBrowser, CellsOnScreenAreMadeOffTheMainThread) {
    kxtest::rendersOnMainThread() = 0;
    ShownBrowser browser;
    browser.view.setItems(colourItems(60));
    browser.settle();
    ASSERT_TRUE(waitUntil([&] { return browser.view.browserModel().hasThumbnail(59); }));
    EXPECT_EQ(kxtest::rendersOnMainThread(), 0);
}

// An item removed or changed while its thumbnail is made never shows that thumbnail, on itself or on the
// item that took its place.
TEST(ImageBrowser, ThumbnailsOfReplacedItemsAreNeverShown) {
    struct Case {
        const char* name;
        bool sameUidNewVersion;
    };
    for (const Case c : {Case{"item replaced by another", false}, Case{"item given a new version", true}}) {
        SCOPED_TRACE(c.name);
        ShownBrowser browser;
        std::promise<void> release;
        std::shared_future<void> gate = release.get_future().share();
        browser.view.setItems({colourItem("old", 1, Qt::red, gate)});
        browser.settle();
        if (c.sameUidNewVersion)
            browser.view.browserModel().setItem(0, colourItem("old", 2, Qt::green));
        else
            browser.view.setItems({colourItem("new", 1, Qt::green)});
        browser.view.browserModel().requestThumbnail(0, true);
        ASSERT_TRUE(waitUntil([&] { return browser.view.browserModel().hasThumbnail(0); }));
        // Now let the old thumbnail finish and be handed over.
        release.set_value();
        browser.view.browserModel().queue().waitForDone();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        EXPECT_EQ(browser.view.browserModel().thumbnail(0).pixelColor(0, 0), QColor(Qt::green));
    }
}

TEST(ImageBrowser, GroupsStartOnTheirOwnRowUnderAHeader) {
    ShownBrowser browser;
    browser.view.setItems(colourItems(5), {{"First", 0, 3}, {"Second", 3, 2}});
    browser.settle();
    kx::ImageBrowserModel& model = browser.view.browserModel();
    ASSERT_EQ(model.rowCount(), 7);
    EXPECT_EQ(model.itemForRow(0), -1);
    EXPECT_EQ(model.itemForRow(4), -1);
    EXPECT_EQ(model.rowForItem(3), 5);
    EXPECT_EQ(model.index(4).data().toString(), "Second");
    EXPECT_FALSE(model.flags(model.index(0)) & Qt::ItemIsSelectable);
    // Three cells fit on a row of 640: the second group still starts a new row, at the left, below the first.
    EXPECT_EQ(browser.view.cellRect(3).left(), browser.view.cellRect(0).left());
    EXPECT_GT(browser.view.cellRect(3).top(), browser.view.cellRect(2).bottom());
    EXPECT_EQ(browser.view.cellRect(1).top(), browser.view.cellRect(0).top());
}

TEST(ImageBrowser, ItemsWithFilesDragOutAsFileUrlsInListOrder) {
    ShownBrowser browser;
    auto items = colourItems(4);
    items[1].path = "/pictures/b.png";
    items[3].path = "/pictures/d.png";
    browser.view.setItems(items);
    kx::ImageBrowserModel& model = browser.view.browserModel();
    std::unique_ptr<QMimeData> data(model.mimeData({model.index(3), model.index(0), model.index(1)}));
    ASSERT_TRUE(data);
    EXPECT_EQ(model.mimeTypes(), QStringList{"text/uri-list"});
    EXPECT_EQ(data->urls(), (QList<QUrl>{QUrl::fromLocalFile("/pictures/b.png"), QUrl::fromLocalFile("/pictures/d.png")}));
    EXPECT_EQ(model.mimeData({model.index(0)}), nullptr);
}

TEST(ImageBrowser, ClicksAreAnnouncedAndOverlaysHaveTheirOwnHits) {
    ShownBrowser browser;
    browser.view.setItems(colourItems(6));
    browser.view.setAllowsEmptySelection(false);
    // A badge in each cell's top-left corner.
    browser.view.setOverlayProvider([](int, const QSize&) {
        return std::vector<kx::CellOverlay>{{7, QRect(0, 0, 20, 20), kxtest::solidImage(20, 20, Qt::yellow).qimage()}};
    });
    browser.settle();
    std::vector<int> doubles, rights;
    std::vector<std::pair<int, int>> overlays;
    QObject::connect(&browser.view, &kx::ImageBrowserView::cellWasDoubleClicked, [&](int item) { doubles.push_back(item); });
    QObject::connect(&browser.view, &kx::ImageBrowserView::cellWasRightClicked,
                     [&](int item, const QPoint&) { rights.push_back(item); });
    QObject::connect(&browser.view, &kx::ImageBrowserView::overlayClicked,
                     [&](int item, int overlay) { overlays.emplace_back(item, overlay); });
    QWidget* viewport = browser.view.viewport();

    kxtest::click(viewport, browser.centreOf(2));
    EXPECT_EQ(browser.view.selectedItems(), std::vector<int>{2});
    kxtest::doubleClick(viewport, browser.centreOf(2));
    EXPECT_EQ(doubles, std::vector<int>{2});

    kxtest::click(viewport, browser.centreOf(4), Qt::RightButton);
    EXPECT_EQ(rights, std::vector<int>{4});
    EXPECT_EQ(browser.view.selectedItems(), std::vector<int>{2});

    const QPoint badge = browser.view.cellRect(1).topLeft() + QPoint(5, 5);
    kxtest::click(viewport, badge);
    EXPECT_EQ(overlays, (std::vector<std::pair<int, int>>{{1, 7}}));
    EXPECT_EQ(browser.view.selectedItems(), std::vector<int>{2});

    // Beside every cell: the selection stays when it may not be empty.
    kxtest::click(viewport, QPoint(630, 470));
    EXPECT_EQ(browser.view.selectedItems(), std::vector<int>{2});
    EXPECT_EQ(browser.view.itemAt(QPoint(630, 470)), -1);
}

TEST(ImageBrowser, ZoomChangesTheCellsAndRemakesThumbnailsAtTheNewSize) {
    ShownBrowser browser;
    browser.view.setItems(colourItems(3));
    browser.settle();
    ASSERT_TRUE(waitUntil([&] { return browser.view.browserModel().hasThumbnail(2); }));
    browser.view.setZoomValue(1);
    browser.settle();
    EXPECT_EQ(browser.view.cellRect(0).width(), browser.view.cellSize().width());
    EXPECT_GE(browser.view.cellSize().width(), 320);
    ASSERT_TRUE(waitUntil([&] { return browser.view.browserModel().thumbnail(2).width() == 320; }));
}

TEST(ImageBrowser, ToolTipsFallBackToTheTitle) {
    kx::ImageBrowserModel model;
    auto items = colourItems(2);
    items[1].toolTip = "A longer description";
    model.setItems(items);
    EXPECT_EQ(model.index(0).data(Qt::ToolTipRole).toString(), "item 0");
    EXPECT_EQ(model.index(1).data(Qt::ToolTipRole).toString(), "A longer description");
}

}  // namespace
