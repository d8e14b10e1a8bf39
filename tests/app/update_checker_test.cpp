#include "app/update_checker.h"

#include "app/app_delegate.h"
#include "app_services/collect_server.h"
#include "graphics/app_info.h"
#include "graphics/test_bundle.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/user_defaults.h"
#include "support/event_wait.h"

#include <QLabel>
#include <QTextBrowser>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <optional>

namespace {

using kxtest::CollectServer;

QByteArray feed(const QString& productVersion, const QString& extra = {}) {
    return ("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
            "<key>Version</key><integer>3</integer>"
            "<key>Product Version</key><integer>" + productVersion + "</integer>"
            "<key>Interval</key><real>7</real>"
            "<key>Title</key><string>Kollage 2 is out</string>"
            "<key>Description</key><string>You have %@; this one is better.</string>"
            "<key>Notes</key><string>Faster.\nSafer.</string>"
            "<key>URL</key><string>https://download.example.org/</string>" + extra +
            "</dict></plist>").toUtf8();
}

QByteArray answer(const QByteArray& body, int status = 200) {
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

struct Alert {
    QString message, informative;
};

class UpdateCheckerTest : public ::testing::Test {
protected:
    void SetUp() override {
        kx::UserDefaults::setStandardFilePath(m_dir.filePath(QStringLiteral("settings.conf")));
        AppDelegate::initialize();
        // A bundle without string tables: alerts show their keys.
        m_bundle.emplace("<key>CFBundleName</key><string>Kollage</string>");
        KXUpdateWindowController::setAlertPresenter(
            [this](const QString& message, const QString& informative) { m_alerts.push_back({message, informative}); });
        setURLOpener([this](const QUrl& url) {
            m_opened << url.toString();
            return true;
        });
        setOpenURLAlertPresenter([this](const QString&, const QString&) { ++m_openAlerts; });
    }
    void TearDown() override {
        KXUpdateWindowController::setAlertPresenter({});
        setURLOpener({});
        setOpenURLAlertPresenter({});
        m_bundle.reset();
        kx::UserDefaults::setStandardFilePath(QString());
    }
    // A checker of the server's feed at build 120, version "1.2", whose clock reads `m_now`.
    std::unique_ptr<KXUpdateWindowController> checker(const CollectServer& server) {
        auto made = std::make_unique<KXUpdateWindowController>(server.url("/feed.plist"), [this] { return m_now; });
        made->setInstalledVersion(120, QStringLiteral("1.2"));
        return made;
    }
    static bool finish(KXUpdateWindowController& c) {
        int finished = 0;
        // The connection ends with this call: a later check must not count into a counter that is gone.
        QObject context;
        QObject::connect(&c, &KXUpdateWindowController::checkFinished, &context, [&] { ++finished; });
        // Processes events directly: a nested event loop would return at once once an earlier test of the
        // program has asked the application to quit.
        return kxtest::processEventsUntil([&] { return finished > 0; });
    }

    QTemporaryDir m_dir;
    std::optional<TestBundle> m_bundle;
    QDateTime m_now = QDateTime(QDate(2026, 12, 11), QTime(12, 0), Qt::UTC);
    std::vector<Alert> m_alerts;
    QStringList m_opened;
    int m_openAlerts = 0;
};

TEST(UpdateFeed, ReadsTheAnnouncementAndRefusesWhatIsNoDictionary) {
    const std::optional<KXUpdateInfo> info = KXUpdateInfo::fromFeed(feed("121"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->version, 3);
    EXPECT_EQ(info->productVersion, 121);
    EXPECT_DOUBLE_EQ(info->interval, 7);
    EXPECT_EQ(info->title, "Kollage 2 is out");
    EXPECT_EQ(info->notes, "Faster.\nSafer.");
    EXPECT_EQ(info->productURL, "https://download.example.org/");
    // The same in a binary property list, with the numbers written as strings.
    kx::ValueDictionary dictionary{{"Product Version", kx::Value(QStringLiteral("122"))},
                                   {"Interval", kx::Value(QStringLiteral("2.5"))}};
    const std::optional<KXUpdateInfo> binary =
        KXUpdateInfo::fromFeed(kx::writePropertyList(kx::Value(dictionary), kx::PropertyListFormat::Binary));
    ASSERT_TRUE(binary);
    EXPECT_EQ(binary->productVersion, 122);
    EXPECT_DOUBLE_EQ(binary->interval, 2.5);
    EXPECT_EQ(binary->version, 0);  // missing keys read as 0 or empty
    EXPECT_TRUE(binary->title.isEmpty());
    EXPECT_FALSE(updateIsAvailable(KXUpdateInfo{}, 0));  // no "Product Version": never an update

    EXPECT_FALSE(KXUpdateInfo::fromFeed("<html>not a feed</html>"));
    EXPECT_FALSE(KXUpdateInfo::fromFeed("<plist version=\"1.0\"><array/></plist>"));
    EXPECT_FALSE(KXUpdateInfo::fromFeed(feed("121", "<key>Pad</key><string>" +
                                                    QString(KXUpdateWindowController::kMaximumFeedBytes, u'x') +
                                                    "</string>")));
}

TEST(UpdateFeed, TheDescriptionFillsOnlyItsFirstPlaceholderLiterally) {
    EXPECT_EQ(updateDescription("%@%@%n", "1.2"), "1.2%@%n");
    EXPECT_EQ(updateDescription("Version %@ is old", "%@ 9"), "Version %@ 9 is old");
    EXPECT_EQ(updateDescription("no placeholder %s %d", "1.2"), "no placeholder %s %d");
}

TEST_F(UpdateCheckerTest, ASilentCheckShowsTheWindowOnlyForANewerBuild) {
    for (const char* announced : {"121", "120"}) {
        SCOPED_TRACE(announced);
        CollectServer server(answer(feed(announced)));
        auto c = checker(server);
        c->startAutomaticCheckIfDue();
        ASSERT_TRUE(finish(*c));
        ASSERT_EQ(server.requests().size(), 1u);
        EXPECT_EQ(server.requests()[0].method, "GET");
        EXPECT_EQ(server.requests()[0].path, "/feed.plist");
        const bool newer = QByteArray(announced) == "121";
        EXPECT_EQ(c->isVisible(), newer);
        EXPECT_FALSE(c->checkWindow()->isVisible());
        EXPECT_TRUE(m_alerts.empty());  // silent checks report nothing else
        if (newer) {
            EXPECT_EQ(c->titleField()->text(), "Kollage 2 is out");
            EXPECT_EQ(c->contentField()->text(), "You have 1.2; this one is better.");
            EXPECT_EQ(c->notesView()->toPlainText(), "Faster.\nSafer.");
        }
    }
}

TEST_F(UpdateCheckerTest, AManualCheckWhenUpToDateShowsItsWindowThenTheAlertAndFetchesOnce) {
    CollectServer server(answer(feed("120")));
    auto c = checker(server);
    c->checkUpdates(true);
    EXPECT_TRUE(c->checkWindow()->isVisible());
    EXPECT_TRUE(c->checking());
    ASSERT_TRUE(finish(*c));
    EXPECT_FALSE(c->checking());
    EXPECT_FALSE(c->checkWindow()->isVisible());
    ASSERT_EQ(m_alerts.size(), 1u);
    EXPECT_EQ(m_alerts[0].message, "You're up to date!");
    EXPECT_EQ(m_alerts[0].informative, "You already have the newest version of 1.2.");
    // A second manual check answers from the feed already read.
    c->checkUpdates(true);
    EXPECT_EQ(m_alerts.size(), 2u);
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(UpdateCheckerTest, SkippingWaitsTheFeedsIntervalBeforeTheNextAutomaticCheck) {
    CollectServer server(answer(feed("121")));
    {
        auto c = checker(server);
        c->startAutomaticCheckIfDue();
        ASSERT_TRUE(finish(*c));
        c->skipAction();
        EXPECT_FALSE(c->isVisible());
    }
    EXPECT_EQ(kx::UserDefaults::standard().value(KXCheckUpdateDate).toDate(), m_now.addDays(7));
    m_now = m_now.addDays(6);
    auto early = checker(server);
    early->startAutomaticCheckIfDue();
    EXPECT_FALSE(early->checking());  // within the interval: nothing fetched
    m_now = m_now.addDays(1);
    auto due = checker(server);
    due->startAutomaticCheckIfDue();
    ASSERT_TRUE(finish(*due));
    EXPECT_EQ(server.requests().size(), 2u);
    // With automatic checks off nothing is fetched, due or not.
    kx::UserDefaults::standard().setValue(KXCheckUpdateAutomaticlly, false);
    auto off = checker(server);
    off->startAutomaticCheckIfDue();
    EXPECT_FALSE(off->checking());
}

TEST_F(UpdateCheckerTest, UpdateOpensOnlyAWebDownloadPageAndPostponesTheNextCheck) {
    for (const char* address : {"https://download.example.org/", "file:///etc/passwd"}) {
        SCOPED_TRACE(address);
        m_opened.clear();
        m_openAlerts = 0;
        CollectServer server(answer(feed("121", QStringLiteral("<key>URL</key><string>%1</string>").arg(address))));
        auto c = checker(server);
        c->checkUpdates(false);
        ASSERT_TRUE(finish(*c));
        c->updateAction();
        const bool web = QByteArray(address).startsWith("https");
        EXPECT_EQ(m_opened, web ? QStringList{address} : QStringList{});
        EXPECT_EQ(m_openAlerts, web ? 0 : 1);
        EXPECT_FALSE(c->isVisible());
        EXPECT_EQ(kx::UserDefaults::standard().value(KXCheckUpdateDate).toDate(), m_now.addDays(7));
    }
}

TEST_F(UpdateCheckerTest, AFailedFetchIsReportedToAManualCheckAndTriedAgainLater) {
    CollectServer server(answer("<html>error</html>", 500));
    auto c = checker(server);
    c->checkUpdates(false);
    ASSERT_TRUE(finish(*c));
    EXPECT_TRUE(m_alerts.empty());  // silent: quiet
    c->checkUpdates(true);
    ASSERT_TRUE(finish(*c));
    EXPECT_EQ(server.requests().size(), 2u);  // fetched again
    ASSERT_EQ(m_alerts.size(), 1u);
    EXPECT_EQ(m_alerts[0].message, "UpdateFailed");
    EXPECT_EQ(m_alerts[0].informative, "UpdateFailedTip");
    EXPECT_FALSE(c->checkWindow()->isVisible());
}

TEST_F(UpdateCheckerTest, AManualCheckDuringASilentOneIsAnsweredWhenTheFetchEnds) {
    CollectServer server(answer(feed("120")));
    auto c = checker(server);
    c->checkUpdates(false);
    c->checkUpdates(true);  // while the silent fetch runs
    ASSERT_TRUE(finish(*c));
    EXPECT_EQ(server.requests().size(), 1u);
    ASSERT_EQ(m_alerts.size(), 1u);
    EXPECT_EQ(m_alerts[0].message, "You're up to date!");
    EXPECT_FALSE(c->checkWindow()->isVisible());
}

TEST_F(UpdateCheckerTest, OnlyAWebFeedAddressIsFetched) {
    for (const QUrl& feedURL : {QUrl(), QUrl(QStringLiteral("file:///etc/hostname"))}) {
        KXUpdateWindowController c(feedURL, [this] { return m_now; });
        c.checkUpdates(true);
        ASSERT_TRUE(finish(c));
    }
    ASSERT_EQ(m_alerts.size(), 2u);
    EXPECT_EQ(m_alerts[1].message, "UpdateFailed");
}

TEST_F(UpdateCheckerTest, AnOversizedAnswerIsAFailedCheck) {
    const QByteArray big(KXUpdateWindowController::kMaximumFeedBytes + 10, 'x');
    CollectServer server(answer(big));
    auto c = checker(server);
    c->checkUpdates(true);
    ASSERT_TRUE(finish(*c));
    ASSERT_EQ(m_alerts.size(), 1u);
    EXPECT_EQ(m_alerts[0].message, "UpdateFailed");
}

}  // namespace
