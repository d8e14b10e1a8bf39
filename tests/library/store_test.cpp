// The content store against a loopback catalogue server: caching, version checks, pack image folders,
// news notices, image fetches, retries, the failed state and the download rows.
#include "controls/hover_table_view.h"
#include "controls/table_cell_view.h"
#include "graphics/file_utilities.h"
#include "library/store_controller.h"
#include "library/template_alerts.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/user_defaults.h"
#include "platform/foundation/user_notifications.h"
#include "support/http_test_server.h"
#include "support/qt_message_check.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGraphicsOpacityEffect>
#include <QImage>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using kx::Value;
using kx::ValueArray;
using kx::ValueDictionary;
using kxtest::HttpTestServer;
using kxtest::Response;

namespace {

class FakeNotifications : public KXUserNotifications {
public:
    void scheduleNotification(const KXUserNotification& notification) override { delivered.push_back(notification); }
    std::vector<KXUserNotification> delivered;
};

class FakePackFetcher : public KXPackFetcher {
public:
    void start(const QString& identifier, const QUrl& url, Callbacks callbacks) override {
        started.push_back(identifier);
        urls.push_back(url);
        running[identifier] = std::move(callbacks);
    }
    void cancel(const QString& identifier) override { running.erase(identifier); }
    std::vector<QString> started;
    std::vector<QUrl> urls;
    std::map<QString, Callbacks> running;
};

QByteArray pngBytes(QColor color) {
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

Response plist(const ValueDictionary& dictionary, kx::PropertyListFormat format = kx::PropertyListFormat::Xml) {
    return {200, kx::writePropertyList(Value(dictionary), format), "application/x-plist", {}, {}};
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.isListening());
        dataFolder = root.path() + "/Data";
        boxesFolder = root.path() + "/Boxes";
        QDir().mkpath(dataFolder);
        QDir().mkpath(boxesFolder);
        defaults = std::make_unique<kx::UserDefaults>(root.path() + "/settings.conf");
        clock = QDateTime(QDate(2026, 6, 1), QTime(12, 0), Qt::UTC);
        server.setRoute("/logo/summer/logo.png", Response{200, pngBytes(Qt::red), "image/png", {}, {}});
        server.setRoute("/logo/winter/logo.png", Response{200, pngBytes(Qt::blue), "image/png", {}, {}});
        server.setRoute("/logo/summer/preview.png", Response{200, pngBytes(Qt::green), "image/png", {}, {}});
        kx::templates::setAlertRunner([this](QWidget*, const QString& message, const QString& informative,
                                             const QStringList&) {
            alerts.push_back(message + " | " + informative);
            return 0;
        });
    }
    void TearDown() override { kx::templates::setAlertRunner({}); }

    ValueDictionary product(const QString& identifier, const QString& name, const QString& logoFolder, int version = 1) {
        return {{"Name", name},
                {"Description", "About " + name},
                {"Identifier", identifier},
                {"Content URL", server.baseAddress() + "/packs/" + name + ".zip"},
                {"Logo URL", server.baseAddress() + "/logo/" + logoFolder + "/logo.png"},
                {"Preview URL", server.baseAddress() + "/logo/" + logoFolder + "/preview.png"},
                {"Version", version}};
    }
    ValueDictionary productList(ValueArray products, const QString& news = {}) {
        ValueDictionary list{{"Products", Value(std::move(products))}};
        if (!news.isEmpty())
            list["IAPNewsIdentifier"] = news;
        return list;
    }
    void serveCatalogue(int version, const ValueDictionary& list, int interval = 3600) {
        server.setRoute("/version.plist",
                        plist({{"Version", version}, {"URL", server.baseAddress() + "/list/products.plist"},
                               {"Interval", interval}}));
        server.setRoute("/list/products.plist", plist(list, kx::PropertyListFormat::Binary));
    }
    KXStoreSettings settings() {
        KXStoreSettings s;
        s.catalogue.network = &network;
        s.catalogue.defaults = defaults.get();
        s.catalogue.notifications = &notices;
        s.catalogue.now = [this] { return clock; };
        s.catalogue.dataFolder = dataFolder;
        s.catalogue.versionURL = server.url("/version.plist");
        s.catalogue.retry = {3, 20ms};
        s.boxesFolder = boxesFolder;
        s.packFetcher = &fetcher;
        return s;
    }
    std::unique_ptr<KXStoreController> openStore() {
        auto store = std::make_unique<KXStoreController>(settings());
        store->showWindow();
        return store;
    }
    bool waitShown(KXStoreController& store) {
        return kxtest::waitFor([&] { return !store.tableContents().empty(); });
    }
    bool waitFailed(KXStoreController& store) {
        return kxtest::waitFor([&] { return store.retryButton() != nullptr; });
    }
    // Puts a cached list on disk as a previous run would have left it.
    void cacheList(const ValueDictionary& list, int version, QDateTime updateTime) {
        defaults->setValue(KXProductsListURL, server.baseAddress() + "/list/products.plist");
        defaults->setValue(KXProductsListVersion, version);
        defaults->setValue(KXProductsListUpdateTime, Value(updateTime));
        QFile file(dataFolder + "/products.plist");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kx::writePropertyList(Value(list), kx::PropertyListFormat::Xml));
    }
    std::vector<QByteArray> requestPaths() const {
        std::vector<QByteArray> paths;
        for (const auto& request : server.requests())
            paths.push_back(request.path);
        return paths;
    }

    // The offscreen test platform cannot bring a window to the front and says so; Qt 6.4 words that notice
    // as one about reparenting.
    kxtest::ExpectedQtWarning frontNotice{QStringLiteral("^This plugin does not support setParent!$"), 0};
    QTemporaryDir root;
    HttpTestServer server;
    QNetworkAccessManager network;
    QString dataFolder, boxesFolder;
    std::unique_ptr<kx::UserDefaults> defaults;
    QDateTime clock;
    FakeNotifications notices;
    FakePackFetcher fetcher;
    std::vector<QString> alerts;
};

TEST_F(StoreTest, FreshInstallFetchesVersionThenListAndWritesCache) {
    const ValueDictionary list = productList({product("p1", "Summer", "summer"), product("p2", "Winter", "winter")});
    serveCatalogue(3, list);
    auto store = openStore();
    EXPECT_NE(store->loadingView(), nullptr);
    EXPECT_FALSE(store->downloadAllItem()->isEnabled());
    ASSERT_TRUE(waitShown(*store));
    ASSERT_GE(server.requests().size(), 2u);
    EXPECT_EQ(server.requests()[0].path, "/version.plist");
    EXPECT_EQ(server.requests()[1].path, "/list/products.plist");
    QFile cached(dataFolder + "/products.plist");
    ASSERT_TRUE(cached.open(QIODevice::ReadOnly));
    EXPECT_EQ(cached.readAll(), kx::writePropertyList(Value(list), kx::PropertyListFormat::Binary));
    EXPECT_EQ(defaults->integerValue(KXProductsListVersion), 3);
    EXPECT_EQ(defaults->value(KXProductsListUpdateTime).toDate(), clock.addSecs(3600));
    EXPECT_EQ(store->loadingView(), nullptr);
    EXPECT_TRUE(store->downloadAllItem()->isEnabled());
    ASSERT_EQ(store->tableContents().size(), 2u);
    EXPECT_EQ(store->cellForRow(1)->titleTextField()->text(), "Winter");
    EXPECT_EQ(store->cellForRow(1)->descriptionTextField()->text(), "About Winter");
    // The logos arrive, are shown and cached in each pack's folder.
    ASSERT_TRUE(kxtest::waitFor([&] { return !store->tableContents()[1]->logoImage().isNull(); }));
    EXPECT_TRUE(QFile::exists(dataFolder + "/winter/logo.png"));
    EXPECT_FALSE(store->cellForRow(1)->imageView()->pixmap().isNull());
    // It fades in.
    auto* fade = qobject_cast<QGraphicsOpacityEffect*>(store->cellForRow(1)->imageView()->graphicsEffect());
    ASSERT_NE(fade, nullptr);
    EXPECT_TRUE(kxtest::waitFor([&] { return fade->opacity() == 1.0; }));
}

TEST_F(StoreTest, WithinTheIntervalNoRequestIsMade) {
    cacheList(productList({product("p1", "Summer", "summer")}), 3, clock.addSecs(60));
    QDir().mkpath(dataFolder + "/summer");
    QFile logo(dataFolder + "/summer/logo.png");
    ASSERT_TRUE(logo.open(QIODevice::WriteOnly));
    logo.write(pngBytes(Qt::red));
    logo.close();
    defaults->setValue(KXStoreSettingsKey("p1"), 1);
    auto store = openStore();
    ASSERT_TRUE(waitShown(*store));
    kxtest::serveEvents(100ms);
    EXPECT_TRUE(server.requests().empty()) << server.requests().front().path.toStdString();
    EXPECT_FALSE(store->tableContents()[0]->logoImage().isNull());
}

struct VersionCase {
    const char* name;
    int storedVersion;
    int publishedVersion;
    bool listFetched;
};

class StoreVersionTest : public StoreTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(StoreVersionTest, IntervalPassedChecksTheVersion) {
    const VersionCase& c = GetParam();
    const ValueDictionary oldList = productList({product("p1", "Summer", "summer")});
    const ValueDictionary newList = productList({product("p1", "Summer", "summer"), product("p2", "Winter", "winter")});
    cacheList(oldList, c.storedVersion, clock.addSecs(-1));
    serveCatalogue(c.publishedVersion, newList, 7200);
    auto store = openStore();
    ASSERT_TRUE(waitShown(*store));
    EXPECT_EQ(server.requestCount("/version.plist"), 1);
    EXPECT_EQ(server.requestCount("/list/products.plist"), c.listFetched ? 1 : 0);
    EXPECT_EQ(store->tableContents().size(), c.listFetched ? 2u : 1u);
    EXPECT_EQ(defaults->integerValue(KXProductsListVersion), c.publishedVersion);
    EXPECT_EQ(defaults->value(KXProductsListUpdateTime).toDate(), clock.addSecs(7200));
    QFile cached(dataFolder + "/products.plist");
    ASSERT_TRUE(cached.open(QIODevice::ReadOnly));
    const auto onDisk = kx::readPropertyList(cached.readAll());
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(*onDisk, Value(c.listFetched ? newList : oldList));
}

INSTANTIATE_TEST_SUITE_P(Versions, StoreVersionTest,
                         ::testing::Values(VersionCase{"Equal", 3, 3, false}, VersionCase{"Rise", 2, 3, true},
                                           VersionCase{"StoredHigher", 5, 3, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreTest, UnreachableVersionDocumentUsesTheCache) {
    cacheList(productList({product("p1", "Summer", "summer")}), 3, clock.addSecs(-1));
    server.setRoute("/version.plist", Response{500, "no", "text/plain", {}, {}});
    auto store = openStore();
    ASSERT_TRUE(waitShown(*store));
    EXPECT_EQ(store->tableContents().size(), 1u);
}

TEST_F(StoreTest, APackVersionRiseRemovesOnlyItsImageFolder) {
    for (const char* folder : {"summer", "winter"}) {
        QDir().mkpath(dataFolder + "/" + folder);
        QFile file(dataFolder + "/" + folder + "/old.png");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    defaults->setValue(KXStoreSettingsKey("p1"), 1);
    defaults->setValue(KXStoreSettingsKey("p2"), 1);
    serveCatalogue(1, productList({product("p1", "Summer", "summer", 2), product("p2", "Winter", "winter", 1)}));
    server.setSilent(false);
    auto store = openStore();
    ASSERT_TRUE(waitShown(*store));
    EXPECT_FALSE(QFile::exists(dataFolder + "/summer/old.png"));
    EXPECT_TRUE(QFile::exists(dataFolder + "/winter/old.png"));
    EXPECT_TRUE(QFile::exists(dataFolder + "/products.plist"));
    EXPECT_EQ(defaults->integerValue(KXStoreSettingsKey("p1")), 2);
    EXPECT_EQ(defaults->integerValue(KXStoreSettingsKey("p2")), 1);
}

TEST_F(StoreTest, HostileLogoAddressesDeleteNothingOutsideTheDataFolder) {
    // A folder beside the data folder, and a link inside it that points at that folder.
    const QString outside = root.path() + "/victim";
    QDir().mkpath(outside);
    QFile precious(outside + "/precious.txt");
    ASSERT_TRUE(precious.open(QIODevice::WriteOnly));
    precious.close();
    ASSERT_TRUE(QFile::link(outside, dataFolder + "/linked"));
    const QString base = server.baseAddress();
    const std::vector<QString> logos = {
        base + "/../victim/logo.png", base + "/%2E%2E/logo.png",    base + "/a/..%2Fvictim/logo.png",
        base + "/logo.png",            base + "/.hidden/logo.png",  "file:///" + root.path() + "/victim/logo.png",
        base + "/linked/logo.png",     base + "/a%5C..%5Cvictim/logo.png", base + "/a%00b/logo.png"};
    for (const QString& logo : logos) {
        KXProductResourceEntity entry(dataFolder, defaults.get());
        entry.productIdentifier = "hostile";
        entry.setLogoURL(logo);
        defaults->setValue(KXStoreSettingsKey("hostile"), 0);
        entry.checkVersion(5);
        EXPECT_TRUE(QFile::exists(outside + "/precious.txt")) << logo.toStdString();
        EXPECT_TRUE(QFileInfo(root.path()).isDir());
    }
    // The link itself went; what it pointed at stayed.
    EXPECT_FALSE(QFileInfo(dataFolder + "/linked").isSymLink());
    EXPECT_TRUE(QFile::exists(outside + "/precious.txt"));
    EXPECT_TRUE(QFileInfo(dataFolder).isDir());
}

TEST_F(StoreTest, NamesFromAddressesAreRefused) {
    for (const QString& name : {QString(""), QString("."), QString(".."), QString("a/b"), QString("a\\b"),
                                QString("a") + QChar(0) + "b", QString(".hidden")})
        EXPECT_FALSE(isPlainFileName(name)) << name.toStdString();
    EXPECT_TRUE(isPlainFileName("Summer Pack"));
    const QString base = "http://127.0.0.1/";
    EXPECT_EQ(KXStoreFileNameForURL(base + "list/products.plist"), "products.plist");
    EXPECT_EQ(KXStoreFileNameForURL(base + "list/"), "");
    EXPECT_EQ(KXStoreFileNameForURL(base + "list/.."), "");
    EXPECT_EQ(KXStoreFileNameForURL(base + "list/%2E%2E"), "");
    EXPECT_EQ(KXStoreFileNameForURL(base + "list/a%5Cb"), "");
    EXPECT_EQ(KXStoreFileNameForURL("ftp://127.0.0.1/products.plist"), "");
    EXPECT_EQ(KXStoreParentFolderNameForURL(base + "packs/summer/logo.png"), "summer");
    EXPECT_EQ(KXStoreParentFolderNameForURL(base + "logo.png"), "");
    EXPECT_EQ(KXStoreParentFolderNameForURL(base + "packs/%2E/logo.png"), "");
}

TEST_F(StoreTest, HostileListAddressWritesNothingOutside) {
    server.setRoute("/version.plist",
                    plist({{"Version", 1}, {"URL", server.baseAddress() + "/list/%2E%2E"}, {"Interval", 60}}));
    auto store = openStore();
    ASSERT_TRUE(waitFailed(*store));
    EXPECT_EQ(server.requestCount("/list/%2E%2E"), 0);
    EXPECT_TRUE(defaults->stringValue(KXProductsListURL).isEmpty());
}

TEST_F(StoreTest, RemoteIdentifiersAreEscapedUnderOneGroup) {
    defaults->setValue(KXProductsListURL, "kept");
    const QStringList identifiers = {KXProductsListURL, "../x", "a/b", "KXStoreRemoteKeys/other", "a%2Fb", "=[]"};
    for (const QString& identifier : identifiers) {
        const QString key = KXStoreSettingsKey(identifier);
        EXPECT_TRUE(key.startsWith(KXStoreRemoteKeysGroup + "/")) << key.toStdString();
        EXPECT_EQ(key.count('/'), 1) << key.toStdString();
    }
    QSet<QString> keys;
    for (const QString& identifier : identifiers)
        keys.insert(KXStoreSettingsKey(identifier));
    EXPECT_EQ(keys.size(), identifiers.size());
    for (int i = 0; i < identifiers.size(); ++i)
        defaults->setValue(KXStoreSettingsKey(identifiers[i]), i + 10);
    EXPECT_EQ(defaults->stringValue(KXProductsListURL), "kept");
    for (int i = 0; i < identifiers.size(); ++i)
        EXPECT_EQ(defaults->integerValue(KXStoreSettingsKey(identifiers[i])), i + 10);
}

TEST_F(StoreTest, TheNewsNoticeComesOncePerIdentifier) {
    serveCatalogue(1, productList({product("p1", "Summer", "summer")}, "news/1"));
    {
        auto store = openStore();
        ASSERT_TRUE(waitShown(*store));
    }
    ASSERT_EQ(notices.delivered.size(), 1u);
    EXPECT_EQ(notices.delivered[0].identifier, "news/1");
    EXPECT_EQ(notices.delivered[0].deliveryDelay, 30000ms);
    EXPECT_EQ(notices.delivered[0].title, kx::templates::localized("NewIAP"));
    EXPECT_FALSE(notices.delivered[0].actionButtonTitle.isEmpty());
    EXPECT_TRUE(defaults->boolValue(KXStoreSettingsKey("news/1")));
    // The same announcement in a newer list: no second notice; a new one: one more.
    for (const auto& [version, news, expected] : {std::tuple{2, "news/1", 1u}, std::tuple{3, "news/2", 2u}}) {
        serveCatalogue(version, productList({product("p1", "Summer", "summer")}, news));
        clock = clock.addDays(1);
        auto store = openStore();
        ASSERT_TRUE(waitShown(*store));
        EXPECT_EQ(notices.delivered.size(), expected) << news;
    }
    // Activating a notice brings the store to the front.
    auto store = openStore();
    ASSERT_TRUE(waitShown(*store));
    store->hide();
    emit notices.notificationActivated("news/2");
    EXPECT_TRUE(store->isVisible());
}

TEST_F(StoreTest, TwoRowsWithTheSameLogoMakeOneRequest) {
    server.setRoute("/logo/summer/logo.png", Response{200, pngBytes(Qt::red), "image/png", 150ms, {}});
    serveCatalogue(1, productList({product("p1", "Summer", "summer"), product("p2", "Summer 2", "summer")}));
    auto store = openStore();
    ASSERT_TRUE(waitShown(*store));
    ASSERT_TRUE(kxtest::waitFor([&] {
        return !store->tableContents()[0]->logoImage().isNull() && !store->tableContents()[1]->logoImage().isNull();
    }));
    EXPECT_EQ(server.requestCount("/logo/summer/logo.png"), 1);
}

TEST_F(StoreTest, AtMostEightFetchesRunAtOnce) {
    KXStoreFetchQueue queue(&network, {1, 10ms});
    int done = 0;
    for (int i = 0; i < 12; ++i) {
        const QByteArray path = "/slow/" + QByteArray::number(i);
        server.setRoute(path, Response{200, "x", "text/plain", 100ms, {}});
        queue.fetch(server.url(QString::fromLatin1(path)), 100, [&](bool ok, const QByteArray&) { done += ok; });
    }
    EXPECT_EQ(queue.waitingCount(), 4);
    ASSERT_TRUE(kxtest::waitFor([&] { return done == 12; }));
    EXPECT_EQ(queue.highestConcurrency(), KXStoreFetchQueue::kMaxConcurrent);
}

TEST_F(StoreTest, FailedFetchesAreRetriedABoundedNumberOfTimesWithPauses) {
    server.setRoute("/flaky", Response{503, "", "text/plain", {}, {}});
    KXStoreFetchQueue queue(&network, {3, 60ms});
    QElapsedTimer timer;
    timer.start();
    bool finished = false, result = true;
    queue.fetch(server.url("/flaky"), 100, [&](bool ok, const QByteArray&) { finished = true, result = ok; });
    ASSERT_TRUE(kxtest::waitFor([&] { return finished; }));
    EXPECT_FALSE(result);
    EXPECT_EQ(server.requestCount("/flaky"), 3);
    EXPECT_GE(timer.elapsed(), 60 + 120);  // pauses of 60 then 120 ms
    // A body over the limit is not fetched again.
    server.setRoute("/large", Response{200, QByteArray(500, 'x'), "text/plain", {}, {}});
    finished = false;
    queue.fetch(server.url("/large"), 100, [&](bool ok, const QByteArray&) { finished = true, result = ok; });
    ASSERT_TRUE(kxtest::waitFor([&] { return finished; }));
    EXPECT_FALSE(result);
    EXPECT_EQ(server.requestCount("/large"), 1);
}

TEST_F(StoreTest, AFailedCatalogueShowsRetryThatLoadsIt) {
    server.setRoute("/version.plist",
                    plist({{"Version", 1}, {"URL", server.baseAddress() + "/list/products.plist"}, {"Interval", 60}}));
    server.setRoute("/list/products.plist", Response{500, "", "text/plain", {}, {}});
    auto store = openStore();
    ASSERT_TRUE(waitFailed(*store));
    EXPECT_EQ(server.requestCount("/list/products.plist"), 3);
    EXPECT_NE(store->loadingView(), nullptr);
    EXPECT_FALSE(store->downloadAllItem()->isEnabled());
    // The version was not recorded for a list that never arrived.
    EXPECT_EQ(defaults->integerValue(KXProductsListVersion), 0);
    serveCatalogue(1, productList({product("p1", "Summer", "summer")}));
    store->retryButton()->click();
    ASSERT_TRUE(waitShown(*store));
    EXPECT_EQ(store->loadingView(), nullptr);
    EXPECT_EQ(store->retryButton(), nullptr);
}

TEST_F(StoreTest, UnreachableStoreWithoutCacheShowsTheFailedState) {
    auto store = openStore();  // no routes: every answer is 404
    ASSERT_TRUE(waitFailed(*store));
    EXPECT_EQ(server.requestCount("/version.plist"), 1);
    EXPECT_TRUE(store->tableContents().empty());
}

TEST_F(StoreTest, PreviewFollowsTheSelection) {
    server.setRoute("/logo/winter/preview.png", Response{200, pngBytes(Qt::blue), "image/png", 300ms, {}});
    serveCatalogue(1, productList({product("p1", "Summer", "summer"), product("p2", "Winter", "winter")}));
    auto store = openStore();
    ASSERT_TRUE(waitShown(*store));
    store->tvProducts()->selectRow(1);
    EXPECT_TRUE(store->piPreview()->isVisibleTo(store->ivPreview()));
    store->tvProducts()->selectRow(0);
    ASSERT_TRUE(kxtest::waitFor([&] { return !store->tableContents()[0]->previewImage().isNull(); }));
    ASSERT_TRUE(kxtest::waitFor([&] { return !store->tableContents()[1]->previewImage().isNull(); }));
    // The late winter preview did not replace summer's.
    const QImage shown = store->ivPreview()->pixmap().toImage();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(QColor(shown.pixel(shown.width() / 2, shown.height() / 2)), QColor(Qt::green));
    EXPECT_FALSE(store->piPreview()->isVisibleTo(store->ivPreview()));
    EXPECT_TRUE(QFile::exists(dataFolder + "/summer/preview.png"));
}

TEST_F(StoreTest, DownloadRowsShowProgressAndOutcome) {
    QDir().mkpath(boxesFolder + "/Winter");
    serveCatalogue(1, productList({product("p1", "Summer", "summer"), product("p2", "Winter", "winter")}));
    auto store = openStore();
    ASSERT_TRUE(waitShown(*store));
    KXTableCellView* summer = store->cellForRow(0);
    EXPECT_EQ(summer->downloadButton()->text(), kx::templates::localized("load"));
    EXPECT_EQ(store->cellForRow(1)->downloadButton()->text(), kx::templates::localized("Restore"));

    summer->downloadButton()->click();
    summer->downloadButton()->click();  // ignored while the first runs
    ASSERT_EQ(fetcher.started.size(), 1u);
    EXPECT_EQ(fetcher.urls[0], QUrl(server.baseAddress() + "/packs/Summer.zip"));
    EXPECT_FALSE(summer->downloadButton()->isEnabled());
    QProgressBar* bar = summer->downloadProgressIndicator();
    EXPECT_TRUE(bar->isVisibleTo(summer));
    EXPECT_EQ(bar->maximum(), 0);  // busy until a length is known
    fetcher.running["p1"].progress(10, -1);
    EXPECT_EQ(bar->maximum(), 0);
    fetcher.running["p1"].progress(250, 1000);
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum() / 4);
    EXPECT_EQ(store->tableContents()[0]->expectedLength, 1000);

    // "Download All" starts the others and leaves the running one alone.
    store->downloadAllItem()->trigger();
    EXPECT_EQ(fetcher.started, (std::vector<QString>{"p1", "p2"}));

    QDir().mkpath(boxesFolder + "/Summer");
    KXPackFetchResult ok{KXPackFetchResult::Status::Installed, {}, "Summer"};
    fetcher.running["p1"].finished(ok);
    EXPECT_FALSE(store->isDownloadingIdentifier("p1"));
    EXPECT_TRUE(summer->downloadButton()->isEnabled());
    EXPECT_EQ(summer->downloadButton()->text(), kx::templates::localized("Restore"));
    EXPECT_FALSE(bar->isVisibleTo(summer));
    ASSERT_EQ(notices.delivered.size(), 1u);
    EXPECT_EQ(notices.delivered[0].title, kx::templates::localized("DownloadSuccessful").arg("Summer"));
    EXPECT_TRUE(alerts.empty());

    KXPackFetchResult failed{KXPackFetchResult::Status::DownloadFailed, "Connection refused", "Winter"};
    fetcher.running["p2"].finished(failed);
    ASSERT_TRUE(kxtest::waitFor([&] { return !alerts.empty(); }));
    EXPECT_EQ(alerts[0], kx::templates::localized("DownloadFailed").arg("Winter") + " | Error: Connection refused");
    EXPECT_EQ(notices.delivered.size(), 1u);
    EXPECT_TRUE(store->downloadingIdentifiers().isEmpty());
}

TEST_F(StoreTest, APackWithoutADownloaderOrWebAddressFailsWithAnAlert) {
    ValueDictionary local = product("p1", "Summer", "summer");
    local["Content URL"] = "file:///etc/passwd";
    serveCatalogue(1, productList({local}));
    auto store = openStore();
    ASSERT_TRUE(waitShown(*store));
    store->provideContent("p1");
    EXPECT_TRUE(fetcher.started.empty());
    ASSERT_TRUE(kxtest::waitFor([&] { return !alerts.empty(); }));
    EXPECT_TRUE(alerts[0].startsWith(kx::templates::localized("DownloadFailed").arg("Summer"))) << alerts[0].toStdString();
    EXPECT_FALSE(store->isDownloadingIdentifier("p1"));
    EXPECT_TRUE(store->cellForRow(0)->downloadButton()->isEnabled());
}

TEST_F(StoreTest, LookupsByIdentifierAndContentAddress) {
    serveCatalogue(1, productList({product("p1", "Summer", "summer"), product("p2", "Winter", "winter")}));
    auto store = openStore();
    ASSERT_TRUE(waitShown(*store));
    EXPECT_EQ(store->rowOfProductWithIdentifier("p2"), 1);
    EXPECT_EQ(store->rowOfProductWithIdentifier("none"), -1);
    EXPECT_EQ(store->productIdentifierWithContentURL("/packs/Winter.zip"), "p2");
    EXPECT_TRUE(store->dictionaryWithIdentifier(QString()).empty());
    EXPECT_FALSE(store->isInstalledOfIdentifier("none"));
}

}  // namespace

namespace {

TEST_F(StoreTest, AStoreDestroyedMidFetchStopsItsRequests) {
    server.setSilent(true);
    auto store = openStore();
    ASSERT_TRUE(kxtest::waitFor([&] { return server.requests().size() == 1; }));
    store.reset();
    ASSERT_TRUE(kxtest::waitFor([&] { return server.closedConnections() >= 1; }));
}

}  // namespace
