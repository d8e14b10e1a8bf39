// The promotion: the decision to show it, the description's schedule, the buttons and their analytics,
// and the web view on a loopback page.
#include "app_services/ga_object.h"
#include "library/promotion.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/user_defaults.h"
#include "support/http_test_server.h"
#include "support/qt_message_check.h"

#include <QNetworkAccessManager>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using kx::Value;
using kx::ValueDictionary;
using kxtest::HttpTestServer;
using kxtest::Response;

namespace {

const QDateTime kNow(QDate(2026, 6, 1), QTime(12, 0), Qt::UTC);

KXEvent eventOf(std::int64_t version, std::int64_t id, QDateTime begin, QDateTime end) {
    KXEvent event;
    event.version = version;
    event.eventID = id;
    event.beginTime = begin;
    event.endTime = end;
    return event;
}

struct DecisionCase {
    const char* name;
    KXEvent event;
    std::int64_t lastShown;
    bool shown;
};

TEST(PromotionDecision, Table) {
    const QDateTime before = kNow.addDays(-1), after = kNow.addDays(1);
    const DecisionCase cases[] = {
        {"due", eventOf(2, 5, before, after), 4, true},
        {"newer format", eventOf(3, 5, before, after), 4, true},
        {"older format", eventOf(1, 5, before, after), 4, false},
        {"same id as last shown", eventOf(2, 4, before, after), 4, false},
        {"older id", eventOf(2, 3, before, after), 4, false},
        {"ended", eventOf(2, 5, kNow.addDays(-3), before), 4, false},
        {"ends now", eventOf(2, 5, before, kNow), 4, false},
        {"not begun", eventOf(2, 5, after, kNow.addDays(3)), 4, false},
        {"begins now", eventOf(2, 5, kNow, after), 4, false},
        {"no end time", eventOf(2, 5, before, QDateTime()), 4, false},
        {"no begin time", eventOf(2, 5, QDateTime(), after), 4, false},
    };
    for (const DecisionCase& c : cases)
        EXPECT_EQ(KXShouldShowEvent(c.event, 2, c.lastShown, kNow), c.shown) << c.name;
}

TEST(PromotionDecision, DescriptionFields) {
    const ValueDictionary description{{"Version", 2},
                                      {"Event ID", 7},
                                      {"Event Type", 1},
                                      {"Event Title", "Summer"},
                                      {"Width", Value(640.5f)},
                                      {"Height", Value(480.0)},
                                      {"Event Begin Time", Value(kNow)},
                                      {"Event End Time", Value(kNow.addDays(2))},
                                      {"Event Content URL", "http://127.0.0.1/page.html"},
                                      {"Event Link", "https://example.org/"},
                                      {"Interval Date", 3}};
    const KXEvent event = KXEvent::fromDescription(description);
    EXPECT_EQ(event.version, 2);
    EXPECT_EQ(event.eventID, 7);
    EXPECT_EQ(event.eventType, 1u);
    EXPECT_EQ(event.title, "Summer");
    EXPECT_DOUBLE_EQ(event.pageWidth, 640.5);
    EXPECT_DOUBLE_EQ(event.pageHeight, 480.0);
    EXPECT_EQ(event.beginTime, kNow);
    EXPECT_EQ(event.endTime, kNow.addDays(2));
    EXPECT_EQ(event.contentURL, "http://127.0.0.1/page.html");
    EXPECT_EQ(event.intervalDate, 3);
}

class PromotionTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The web view's renderer runs as a separate process; test machines run as root under Xvfb or the
        // offscreen platform, where its sandbox cannot start.
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
        ASSERT_TRUE(server.isListening());
        defaults = std::make_unique<kx::UserDefaults>(root.path() + "/settings.conf");
        analytics = std::make_unique<GAObject>(*defaults);
        server.setRoute("/page.html", Response{200, "<html><body><h1>Summer packs</h1>"
                                                    "<a id='l' href='/redirect'>more</a></body></html>",
                                               "text/html", {}, {}});
        KXEventWindowController::resetSharedController();
    }
    void TearDown() override { KXEventWindowController::resetSharedController(); }

    ValueDictionary description(int id, int type, int intervalDays = 2) {
        return {{"Version", 1},
                {"Event ID", id},
                {"Event Type", type},
                {"Event Title", "Summer"},
                {"Width", 320},
                {"Height", 200},
                {"Event Begin Time", Value(kNow.addDays(-1))},
                {"Event End Time", Value(kNow.addDays(1))},
                {"Event Content URL", server.baseAddress() + "/page.html"},
                {"Event Link", "https://example.org/summer"},
                {"Interval Date", intervalDays}};
    }
    void serve(const ValueDictionary& d) {
        server.setRoute("/event.plist", Response{200, kx::writePropertyList(Value(d), kx::PropertyListFormat::Xml),
                                                 "application/x-plist", {}, {}});
    }
    KXEventSettings settings() {
        KXEventSettings s;
        s.network = &network;
        s.defaults = defaults.get();
        s.now = [] { return kNow; };
        s.eventVersion = 1;
        s.analytics = analytics.get();
        s.openURL = [this](const QUrl& url) { opened.push_back(url); };
        s.attempts = 2;
        s.firstPause = 10ms;
        return s;
    }
    KXEventWindowController* begin() {
        return KXEventWindowController::initializeEventWithURL(server.baseAddress() + "/event.plist", settings());
    }
    // Waits for the decision; true when the promotion is to be shown.
    bool decide(KXEventWindowController* controller) {
        std::optional<bool> shown;
        QObject::connect(controller, &KXEventWindowController::decided, [&](bool s) { shown = s; });
        EXPECT_TRUE(kxtest::waitFor([&] { return shown.has_value(); }));
        return shown.value_or(false);
    }

    // The web engine remarks, once per process, that it runs without a sandbox and without a GPU on the test
    // platform; those notes are not faults of the promotion.
    kxtest::ExpectedQtWarning engineNotes{
        QStringLiteral("^(No suitable graphics backend found|Sandboxing disabled by user\\.?|.*QtWebEngine.*|.*Qt WebEngine.*)\\s*$"), 0};
    QTemporaryDir root;
    HttpTestServer server;
    QNetworkAccessManager network;
    std::unique_ptr<kx::UserDefaults> defaults;
    std::unique_ptr<GAObject> analytics;
    std::vector<QUrl> opened;
};

TEST_F(PromotionTest, AnAlreadyShownPromotionStaysHiddenAndTheNextReadMovesOn) {
    defaults->setValue(KXEventID, 5);
    serve(description(5, 0, 4));
    QPointer<KXEventWindowController> controller = begin();
    ASSERT_NE(controller, nullptr);
    EXPECT_FALSE(decide(controller));
    EXPECT_FALSE(controller->isVisible());
    EXPECT_EQ(controller->webView(), nullptr);  // the web engine is not even loaded
    ASSERT_NE(controller->currentEvent(), nullptr);
    EXPECT_EQ(controller->currentEvent()->eventID, 5);
    EXPECT_EQ(defaults->value(KXRequestEventDate).toDate(), kNow.addDays(4));
    // A second start in the same launch does nothing; neither does a later launch before the date.
    EXPECT_EQ(begin(), nullptr);
    KXEventWindowController::resetSharedController();
    EXPECT_EQ(begin(), nullptr);
    EXPECT_EQ(server.requestCount("/event.plist"), 1);
    EXPECT_EQ(controller, nullptr);  // gone with the reset
}

TEST_F(PromotionTest, NoWebAddressNoPromotion) {
    for (const QString& address : {QString(), QString("file:///etc/passwd"), QString("not an address")}) {
        EXPECT_EQ(KXEventWindowController::initializeEventWithURL(address, settings()), nullptr);
        EXPECT_EQ(KXEventWindowController::sharedController(), nullptr);
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(PromotionTest, ZeroIntervalReadsAgainAtTheNextLaunch) {
    defaults->setValue(KXEventID, 5);
    serve(description(5, 0, 0));
    ASSERT_TRUE(begin());
    EXPECT_FALSE(decide(KXEventWindowController::sharedController()));
    KXEventWindowController::resetSharedController();
    ASSERT_TRUE(begin());
}

TEST_F(PromotionTest, UnreachableDescriptionIsRetriedBoundedAndNeverShown) {
    server.setRoute("/event.plist", Response{500, "", "text/plain", {}, {}});
    KXEventWindowController* controller = begin();
    EXPECT_FALSE(decide(controller));
    EXPECT_EQ(server.requestCount("/event.plist"), 2);
    EXPECT_FALSE(controller->isVisible());
    EXPECT_FALSE(defaults->hasStoredValue(KXRequestEventDate));
}

TEST_F(PromotionTest, ButtonsOpenTheLinkOrTheStoreRecordTheIdAndCount) {
    struct Case {
        int type;
        QString link;
        bool opensBrowser;
        bool postsStore;
    };
    const Case cases[] = {{0, "https://example.org/summer", true, false},
                          {0, "file:///etc/passwd", false, false},
                          {0, "javascript:alert(1)", false, false},
                          {1, "https://example.org/summer", false, true},
                          {7, "https://example.org/summer", false, false}};
    int id = 10;
    for (const Case& c : cases) {
        KXEventWindowController::resetSharedController();
        defaults->removeValue(KXRequestEventDate);
        opened.clear();
        ValueDictionary d = description(++id, c.type);
        d["Event Link"] = c.link;
        serve(d);
        int storeRequests = 0;
        kx::NotificationToken token = kx::NotificationCenter::defaultCenter().addObserver(
            KXCheckIAPEventNotification, nullptr, [&](const kx::Notification&) { ++storeRequests; });
        KXEventWindowController* controller = begin();
        ASSERT_TRUE(decide(controller));
        controller->openButton()->click();
        EXPECT_EQ(opened.size(), c.opensBrowser ? 1u : 0u) << c.link.toStdString();
        EXPECT_EQ(storeRequests, c.postsStore ? 1 : 0);
        EXPECT_EQ(defaults->integerValue(KXEventID), id);
        ASSERT_EQ(analytics->eventQueue().size(), 1);
        EXPECT_EQ(analytics->eventQueue()[0], analytics->eventHit("Event", "Summer", "Check It Now", 1));
    }
    KXEventWindowController::resetSharedController();
    defaults->removeValue(KXRequestEventDate);
    serve(description(++id, 0));
    KXEventWindowController* controller = begin();
    ASSERT_TRUE(decide(controller));
    controller->closeButton()->click();
    EXPECT_EQ(defaults->integerValue(KXEventID), id);
    EXPECT_EQ(analytics->eventQueue()[0], analytics->eventHit("Event", "Summer", "Close", 1));
}

TEST_F(PromotionTest, TheWindowShowsTheLoopbackPageOnceLoaded) {
    serve(description(3, 0));
    KXEventWindowController* controller = begin();
    ASSERT_TRUE(decide(controller));
    EXPECT_TRUE(controller->isPresenting());
    bool shown = false;
    QObject::connect(controller, &KXEventWindowController::pageShown, [&] { shown = true; });
    ASSERT_TRUE(kxtest::waitFor([&] { return shown; }, 60s));
    EXPECT_TRUE(controller->isVisible());
    EXPECT_EQ(controller->windowTitle(), "Summer");
    EXPECT_EQ(controller->webView()->size(), QSize(320, 200));
    EXPECT_EQ(controller->webView()->url(), server.url("/page.html"));
    QString title;
    bool read = false;
    controller->webView()->page()->runJavaScript("document.querySelector('h1').textContent", [&](const QVariant& v) {
        title = v.toString();
        read = true;
    });
    ASSERT_TRUE(kxtest::waitFor([&] { return read; }, 20s));
    EXPECT_EQ(title, "Summer packs");
    // A link whose answer redirects: the redirect's address goes to the browser and is counted, and the
    // page stays.
    const QByteArray target = server.baseAddress().toUtf8() + "/elsewhere";
    server.setRoute("/redirect", Response{0, {}, {}, {}, "HTTP/1.1 302 Found\r\nLocation: " + target +
                                                          "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"});
    analytics->clearEvent();
    controller->webView()->page()->runJavaScript("document.getElementById('l').click()");
    ASSERT_TRUE(kxtest::waitFor([&] { return !opened.empty(); }, 20s));
    EXPECT_EQ(opened, std::vector<QUrl>{QUrl(QString::fromUtf8(target))});
    EXPECT_EQ(server.requestCount("/elsewhere"), 0);
    ASSERT_EQ(analytics->eventQueue().size(), 1);
    EXPECT_EQ(analytics->eventQueue()[0], analytics->eventHit("Event", "Summer", QString::fromUtf8(target), 1));
    kxtest::serveEvents(200ms);
    EXPECT_EQ(controller->webView()->url(), server.url("/page.html"));
}

}  // namespace
