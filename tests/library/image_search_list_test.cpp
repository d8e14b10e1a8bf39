// The clip-art list's internet search mode against a loopback server: the keyword sheet, the results in the
// browser, thumbnails loaded with retries and stopped when the results are left, what a drag carries, and
// the list without a configured service.
#include "canvas/canvas_drop.h"
#include "graphics/image_search_record.h"
#include "library/image_search_loader.h"
#include "library/image_search_windows.h"
#include "library/resource_view_controller.h"
#include "resource_fixture.h"
#include "support/http_test_server.h"

#include <QBuffer>
#include <QCheckBox>
#include <QLabel>
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QApplication>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <memory>

using kxtest::HttpTestServer;
using kxtest::Response;
using kxtest::ResourceWorld;
using kxtest::waitFor;

namespace {

QByteArray pngOfSize(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::green);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class ImageSearchList : public ::testing::Test {
protected:
    void SetUp() override {
        ResourceWorld::image(world.resources() + "/Clipart/Animals/cat.png");
        ResourceWorld::image(world.resources() + "/Mask/Circle/circle.png");
        ASSERT_TRUE(server.isListening());
        panel = std::make_unique<KXResourceViewController>();
        list = panel->controllerWithTag(KXResourceTagClipart);
        ASSERT_EQ(list->searchType(), 1);
        list->imageSearcher().setServiceAddress(server.baseAddress());
        KXThumbnailLoadLimits limits;
        limits.firstRetryDelay = std::chrono::milliseconds(20);
        list->thumbnailLoader().setLimits(limits);
    }
    void TearDown() override { KXResourceListViewController::setSheetRunner({}); }

    // An answer of `count` results whose thumbnails are /t/<n>.png.
    QByteArray answer(int count) const {
        QByteArrayList entries;
        for (int n = 0; n < count; ++n)
            entries.append("{\"title\":\"r" + QByteArray::number(n) + "\",\"original\":\"" +
                           server.url(QStringLiteral("/o/%1.png").arg(n)).toEncoded() + "\",\"thumbnail\":\"" +
                           server.url(QStringLiteral("/t/%1.png").arg(n)).toEncoded() + "\"}");
        return "{\"images_results\":[" + entries.join(',') + "]}";
    }
    void searchFromTheSheet(const QString& keywords) {
        KXResourceListViewController::setSheetRunner([&](KXSearchImageWindowController& sheet) {
            sheet.tfKeywords()->setText(keywords);
            sheet.searchAction();
        });
        list->searchOnInternet();
    }

    ResourceWorld world;
    HttpTestServer server;
    std::unique_ptr<KXResourceViewController> panel;
    KXResourceListViewController* list = nullptr;
};

TEST_F(ImageSearchList, KeywordsFromTheSheetShowResultsAndTheirThumbnailsWithRetries) {
    server.setRoute("/search", Response::json(answer(3)));
    server.setRoute("/t/0.png", std::vector<Response>{Response{404, "", "text/plain", {}, {}},
                                                      Response{200, pngOfSize(40, 30), "image/png", {}, {}}});
    server.setRoute("/t/1.png", Response{200, pngOfSize(20, 50), "image/png", {}, {}});
    server.setRoute("/t/2.png", Response{500, "", "text/plain", {}, {}});

    searchFromTheSheet(QStringLiteral("red-roses & tulips"));
    EXPECT_TRUE(list->searchField()->isVisibleTo(list));
    EXPECT_EQ(list->pubResource()->currentText(), QStringLiteral("Search results"));
    EXPECT_EQ(list->searchField()->text(), QStringLiteral("red-roses & tulips"));
    ASSERT_TRUE(waitFor([&] { return list->imageSearcher().imageList().size() == 3; }));
    ASSERT_FALSE(server.requests().empty());
    EXPECT_EQ(server.requests()[0].path, "/search?tbm=isch&q=red+roses+++tulips&&ijn=0");
    EXPECT_EQ(list->resources().size(), 100u);
    EXPECT_EQ(list->resources()[1].title(), QStringLiteral("r1"));

    ASSERT_TRUE(waitFor([&] { return !list->thumbnailLoader().isRunning(); }));
    EXPECT_FALSE(list->resources()[0].image().isNull());
    EXPECT_FALSE(list->resources()[1].image().isNull());
    EXPECT_TRUE(list->resources()[2].image().isNull());
    // The 404 was tried again; the failing thumbnail a bounded number of times.
    EXPECT_EQ(server.requestCount("/t/0.png"), 2);
    EXPECT_EQ(server.requestCount("/t/2.png"), list->thumbnailLoader().limits().attempts);
    // Each record now tells its thumbnail's size.
    EXPECT_EQ(list->imageSearcher().imageAtIndex(0)->width(), QStringLiteral("40"));
    EXPECT_EQ(list->imageSearcher().imageAtIndex(1)->height(), QStringLiteral("50"));

    // Only results whose thumbnail arrived are dragged, as archived records under the private type alone.
    std::unique_ptr<QMimeData> data(list->mimeDataForItems({0, 1, 2}));
    ASSERT_TRUE(data);
    EXPECT_FALSE(data->hasUrls());
    const KXDropContents contents = decodeDropMimeData(*data);
    ASSERT_EQ(contents.googleImages.size(), 2u);
    EXPECT_EQ(googleImageFromArchive(contents.googleImages[1])->title(), QStringLiteral("r1"));
    EXPECT_EQ(contents.thumbnails.size(), 2);
    EXPECT_EQ(std::unique_ptr<QMimeData>(list->mimeDataForItems({2, 50})), nullptr);
}

TEST_F(ImageSearchList, LeavingTheResultsStopsTheThumbnails) {
    server.setRoute("/search", Response::json(answer(5)));
    server.setDefaultResponse(Response{404, "", "text/plain", {}, {}});
    KXThumbnailLoadLimits limits;
    limits.firstRetryDelay = std::chrono::milliseconds(100);
    limits.attempts = 50;
    list->thumbnailLoader().setLimits(limits);
    searchFromTheSheet(QStringLiteral("cats"));
    ASSERT_TRUE(waitFor([&] { return server.requestCount("/t/0.png") >= 1; }));
    ASSERT_TRUE(list->thumbnailLoader().isRunning());

    list->pubResource()->setCurrentText(QStringLiteral("Animals"));
    list->categoryChanged();
    EXPECT_FALSE(list->thumbnailLoader().isRunning());
    EXPECT_FALSE(list->isShowingSearchResults());
    ASSERT_EQ(list->resources().size(), 1u);
    EXPECT_TRUE(list->resources()[0].path().endsWith(QLatin1String("cat.png")));
    // A request already on the wire may still reach the server; after that, no retry follows.
    kxtest::serveEvents(std::chrono::milliseconds(50));
    const size_t sent = server.requests().size();
    kxtest::serveEvents(std::chrono::milliseconds(600));
    EXPECT_EQ(server.requests().size(), sent);

    // Dragging clip-art again carries its files and the list it comes from.
    std::unique_ptr<QMimeData> data(list->mimeDataForItems({0}));
    ASSERT_TRUE(data);
    const KXDropContents contents = decodeDropMimeData(*data);
    EXPECT_EQ(contents.filePaths.size(), 1);
    EXPECT_EQ(contents.resourceType, KXResourceTypePhoto);
    EXPECT_EQ(contents.sourceClass, QStringLiteral("KXImageBrowserView"));
    std::unique_ptr<QMimeData> mask(panel->controllerWithTag(KXResourceTagMask)->mimeDataForItems({0}));
    ASSERT_TRUE(mask);
    EXPECT_EQ(decodeDropMimeData(*mask).resourceType, KXResourceTypeMask);
}

TEST_F(ImageSearchList, ANewSearchStopsTheThumbnailsOfTheOldOne) {
    Response slow{200, pngOfSize(10, 10), "image/png", std::chrono::milliseconds(400), {}};
    server.setRoute("/search", Response::json(answer(2)));
    server.setDefaultResponse(slow);
    searchFromTheSheet(QStringLiteral("one"));
    ASSERT_TRUE(waitFor([&] { return server.requestCount("/t/0.png") == 1; }));
    searchFromTheSheet(QStringLiteral("two"));
    // The second search's results replace the first's; thumbnails only arrive for them.
    ASSERT_TRUE(waitFor([&] { return list->imageSearcher().searchesUnderWay() == 0; }));
    ASSERT_TRUE(waitFor([&] { return !list->thumbnailLoader().isRunning(); }));
    EXPECT_EQ(list->imageSearcher().searchGeneration(), 2u);
    EXPECT_FALSE(list->resources()[0].image().isNull());
}

TEST(ImageSearchListWithoutService, TheFieldSaysSearchIsNotAvailableAndNothingIsSent) {
    ResourceWorld world;
    ResourceWorld::image(world.resources() + "/Clipart/Animals/cat.png");
    KXResourceViewController panel;
    KXResourceListViewController* list = panel.controllerWithTag(KXResourceTagClipart);
    EXPECT_FALSE(list->imageSearcher().isAvailable());
    EXPECT_EQ(list->searchField()->placeholderText(),
              kx::Bundle::main().localizedString(QStringLiteral("SearchNotAvailable")));
    list->searchAction();
    list->searchField()->setText(QStringLiteral("cats"));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(list->searchField(), &press);
    EXPECT_EQ(list->searchString(), QStringLiteral("cats"));
    EXPECT_EQ(list->imageSearcher().searchGeneration(), 0u);
}

TEST(SearchImageAlertWindow, TheSourceAddressIsALinkOnlyForWebAddresses) {
    ResourceWorld world;
    KXSearchImageAlertWindowController notice;
    notice.setSourceURL(QStringLiteral("https://e.org/a.png?x=1&y=2"));
    EXPECT_TRUE(notice.tfSourceURL()->text().contains(QLatin1String("<a href=\"https://e.org/a.png?x=1&amp;y=2\"")));
    notice.setSourceURL(QStringLiteral("https://e.org/a\"><b>x"));
    EXPECT_FALSE(notice.tfSourceURL()->text().contains(QLatin1String("<b>")));
    notice.setSourceURL(QStringLiteral("javascript:alert(1)"));
    EXPECT_FALSE(notice.tfSourceURL()->text().contains(QLatin1String("<a ")));
    notice.btNotShow()->setChecked(true);
    EXPECT_TRUE(kx::UserDefaults::standard().boolValue(QStringLiteral("KXNotShowSearchImageAlert")));
}

}  // namespace
