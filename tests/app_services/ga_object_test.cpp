#include "app_services/ga_object.h"

#include "collect_server.h"
#include "platform/foundation/user_defaults.h"
#include "support/outside_tools.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QProcess>
#include <QSysInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

using namespace std::chrono_literals;
using kxtest::CollectServer;
using kxtest::Request;
using kxtest::Settings;
using kxtest::waitFor;

const QString knownClientID = QStringLiteral("0123456789abcdef0123456789abcdef");

std::unique_ptr<GAObject> clientWithKnownID(Settings& settings, const QString& trackerID = "UA-TEST-1",
                                            const QUrl& url = {}) {
    settings.defaults.setValue(GAObject::clientIDDefaultsKey, kx::Value(knownClientID));
    auto client = std::make_unique<GAObject>(settings.defaults);
    client->setTrackerID(trackerID);
    client->setCollectURL(url);
    return client;
}

TEST(GAObject, ClientIdIsRandomAndKeptInTheSettings) {
    Settings a, b;
    const QString first = GAObject(a.defaults).GetHardwareUUID();
    EXPECT_TRUE(QRegularExpression("^[0-9a-f]{32}$").match(first).hasMatch()) << first.toStdString();
    EXPECT_EQ(a.defaults.stringValue(GAObject::clientIDDefaultsKey), first);
    // The same settings give the same id (also after reading the file again); other settings another id.
    EXPECT_EQ(GAObject(a.defaults).GetHardwareUUID(), first);
    kx::UserDefaults reread(a.defaults.filePath());
    EXPECT_EQ(GAObject(reread).GetHardwareUUID(), first);
    EXPECT_NE(GAObject(b.defaults).GetHardwareUUID(), first);
    // A malformed stored id is replaced by a new random one.
    for (const char* bad : {"", "not an id", "01234567-89ab-cdef-0123-456789abcdef", "0123456789ABCDEF0123456789ABCDEF"}) {
        Settings c;
        c.defaults.setValue(GAObject::clientIDDefaultsKey, kx::Value(QString::fromLatin1(bad)));
        const QString id = GAObject(c.defaults).GetHardwareUUID();
        EXPECT_TRUE(QRegularExpression("^[0-9a-f]{32}$").match(id).hasMatch()) << bad;
        EXPECT_EQ(c.defaults.stringValue(GAObject::clientIDDefaultsKey), id) << bad;
    }
}

const QByteArray prefix = "v=1&tid=UA-TEST-1&cid=0123456789abcdef0123456789abcdef&t=event";

TEST(GAObject, EventSequencesHaveTheExactHits) {
    Settings settings;
    auto client = clientWithKnownID(settings);
    struct Case {
        const char* sender;
        std::function<void(GAObject&)> send;
        QList<QByteArray> hits;
    } cases[] = {
        {"template chosen",
         [](GAObject& c) { KXGoogleAnalytics::trackTemplate(c, "Template", "/data/Templates/Birthday Cards/Balloons.tpl"); },
         {prefix + "&ec=Template&ea=Template%20Category&el=Birthday%20Cards&ev=1",
          prefix + "&ec=Template&ea=Template%20Name&el=Balloons&ev=1"}},
        {"favourite template, folder path with a separator at the end",
         [](GAObject& c) { KXGoogleAnalytics::trackTemplate(c, "Template Favorite", "/t/Kids & Co/Card=1.v2.tpl/"); },
         {prefix + "&ec=Template%20Favorite&ea=Template%20Category&el=Kids%20%26%20Co&ev=1",
          prefix + "&ec=Template%20Favorite&ea=Template%20Name&el=Card%3D1.v2&ev=1"}},
        {"print run",
         [](GAObject& c) {
             c.clearEvent();
             c.trackEventType("Export", "Print", "Print", 1);
         },
         {prefix + "&ec=Export&ea=Print&el=Print&ev=1"}},
        {"welcome window",
         [](GAObject& c) {
             c.clearEvent();
             c.trackEventType("Welcome", "Close", "", 1);
             c.trackEventType("Welcome", "Play", "", 1);
             c.trackEventType("Welcome", "Learn more", "", 1);
             c.trackEventType("Welcome", "Store", "", 1);
         },
         {prefix + "&ec=Welcome&ea=Close&el=&ev=1", prefix + "&ec=Welcome&ea=Play&el=&ev=1",
          prefix + "&ec=Welcome&ea=Learn%20more&el=&ev=1", prefix + "&ec=Welcome&ea=Store&el=&ev=1"}},
        {"negative value", [](GAObject& c) {
             c.clearEvent();
             c.trackEventType("a", "b", "c", -3);
         },
         {prefix + "&ec=a&ea=b&el=c&ev=-3"}},
    };
    for (const Case& c : cases) {
        c.send(*client);
        EXPECT_EQ(client->eventQueue(), c.hits) << c.sender;
    }
    // postEvent keeps the queue; clearEvent empties it.
    client->postEvent();
    EXPECT_EQ(client->eventQueue().size(), 1);
    client->clearEvent();
    EXPECT_TRUE(client->eventQueue().isEmpty());

    EXPECT_EQ(client->pageViewHit("Kollage"),
              "v=1&tid=UA-TEST-1&cid=0123456789abcdef0123456789abcdef&t=pageview&dh=http://Kollage/&dp=/home"
              "&dt=homepage&fl=" +
                  QUrl::toPercentEncoding(QSysInfo::productVersion()));
}

TEST(GAObject, FormDecodingRecoversExactlyTheFields) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    Settings settings;
    auto client = clientWithKnownID(settings, "UA-1&x=y");
    const QStringList hostile = {"a&ev=999", "x=y", "100% + more", QString::fromUtf8("ünï cödé"), "#frag?q=1",
                                 "", "semi;colon", "line\nbreak", "plus+sign"};
    for (const QString& text : hostile)
        client->trackEventType(text, "action " + text, text, 7);
    QList<QByteArray> bodies = client->eventQueue();
    bodies.append(client->pageViewHit("host&dp=/evil"));

    QJsonArray input;
    for (const QByteArray& body : bodies)
        input.append(QString::fromUtf8(body));
    QProcess python;
    python.start("/usr/bin/python3",
                 {"-c",
                  "import json, sys, urllib.parse\n"
                  "hits = json.loads(sys.stdin.read())\n"
                  "print(json.dumps([urllib.parse.parse_qs(h, keep_blank_values=True, strict_parsing=True) for h in hits]))\n"});
    python.write(QJsonDocument(input).toJson());
    python.closeWriteChannel();
    ASSERT_TRUE(python.waitForFinished(30000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().constData();
    const QJsonArray parsed = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    ASSERT_EQ(parsed.size(), bodies.size());

    auto expectFields = [](const QJsonObject& fields, const std::map<QString, QString>& expected, const QString& what) {
        EXPECT_EQ(size_t(fields.size()), expected.size()) << what.toStdString();
        for (const auto& [key, value] : expected)
            EXPECT_EQ(fields[key].toArray(), QJsonArray{value}) << what.toStdString() << " " << key.toStdString();
    };
    for (qsizetype i = 0; i < hostile.size(); ++i)
        expectFields(parsed[i].toObject(),
                     {{"v", "1"}, {"tid", "UA-1&x=y"}, {"cid", knownClientID}, {"t", "event"}, {"ec", hostile[i]},
                      {"ea", "action " + hostile[i]}, {"el", hostile[i]}, {"ev", "7"}},
                     hostile[i]);
    expectFields(parsed.last().toObject(),
                 {{"v", "1"}, {"tid", "UA-1&x=y"}, {"cid", knownClientID}, {"t", "pageview"},
                  {"dh", "http://host&dp=/evil/"}, {"dp", "/home"}, {"dt", "homepage"},
                  {"fl", QSysInfo::productVersion()}},
                 "page view");
}

TEST(GAObject, PostsEachQueuedHitAsItsOwnFormRequest) {
    CollectServer server;
    ASSERT_TRUE(server.isListening());
    Settings settings;
    auto client = clientWithKnownID(settings, "UA-TEST-1", server.url());
    client->postEvent();  // empty queue: nothing
    client->trackEventType("Welcome", "Learn more", "", 1);
    client->trackEventType("Template", "Template Category", "Birthday & Party", 1);
    client->postEvent();
    ASSERT_TRUE(waitFor([&] { return server.requests().size() >= 2; }));
    client->startTrackPage("Kollage");
    ASSERT_TRUE(waitFor([&] { return server.requests().size() >= 3; }));

    QList<QByteArray> bodies;
    for (const Request& r : server.requests()) {
        EXPECT_EQ(r.method, "POST");
        EXPECT_EQ(r.path, "/collect");
        EXPECT_EQ(r.headers.at("content-type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(r.headers.at("content-length"), QByteArray::number(r.body.size()));
        bodies.append(r.body);
    }
    // Each hit is its own request; connections may deliver them in any order.
    std::sort(bodies.begin(), bodies.begin() + 2);
    QList<QByteArray> expected = client->eventQueue();
    std::sort(expected.begin(), expected.end());
    expected.append(client->pageViewHit("Kollage"));
    EXPECT_EQ(bodies, expected);
}

TEST(GAObject, SendsNothingWithoutATrackingIdOrAnAddress) {
    CollectServer server;
    ASSERT_TRUE(server.isListening());
    Settings settings;
    std::vector<std::unique_ptr<GAObject>> silent;
    silent.push_back(clientWithKnownID(settings, "", server.url()));
    silent.push_back(clientWithKnownID(settings, "UA-TEST-1", QUrl()));
    silent.push_back(clientWithKnownID(settings, "UA-TEST-1", QUrl("ftp://127.0.0.1/collect")));
    silent.push_back(clientWithKnownID(settings, "UA-TEST-1", QUrl("/collect")));
    silent.push_back(std::make_unique<GAObject>(settings.defaults));  // as created: no id, no address
    for (auto& client : silent) {
        EXPECT_FALSE(client->isEnabled());
        client->startTrackPage("Kollage");
        client->trackEventType("Export", "Print", "Print", 1);
        client->postEvent();
        EXPECT_EQ(kxtest::requestsUnderWay(*client), 0);  // nothing sent
    }
    auto configured = clientWithKnownID(settings, "UA-TEST-1", server.url());
    EXPECT_TRUE(configured->isEnabled());
    configured->trackEventType("Export", "Print", "marker", 1);
    configured->postEvent();
    ASSERT_TRUE(waitFor([&] { return !server.requests().empty() && kxtest::requestsUnderWay(*configured) == 0; }));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(server.requests()[0].body.endsWith("&el=marker&ev=1"));
}

TEST(GAObject, RedirectsAreNotFollowed) {
    CollectServer elsewhere;
    CollectServer redirecting("HTTP/1.1 307 Temporary Redirect\r\nLocation: " +
                              elsewhere.url().toEncoded() + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    ASSERT_TRUE(elsewhere.isListening() && redirecting.isListening());
    Settings settings;
    auto client = clientWithKnownID(settings, "UA-TEST-1", redirecting.url());
    client->trackEventType("Export", "Print", "Print", 1);
    client->postEvent();
    // The request has ended: a followed redirect would have reached the other server before that.
    ASSERT_TRUE(waitFor([&] { return !redirecting.requests().empty() && kxtest::requestsUnderWay(*client) == 0; }));
    EXPECT_TRUE(elsewhere.requests().empty());
}

TEST(GAObject, GivesUpOnASilentServerAtTheTimeLimit) {
    CollectServer server;
    server.setSilent(true);
    Settings settings;
    auto client = clientWithKnownID(settings, "UA-TEST-1", server.url());
    client->setTimeout(200ms);
    client->trackEventType("Export", "Print", "Print", 1);
    client->postEvent();
    ASSERT_TRUE(waitFor([&] { return !server.requests().empty(); }));
    // The client drops the request and closes its connection instead of waiting forever.
    EXPECT_TRUE(waitFor([&] { return server.closedConnections() > 0; }));
}

TEST(GAObject, SharedClientIsCreatedOnceAndServesTheTemplateEvents) {
    QTemporaryDir dir;
    kx::UserDefaults::setStandardFilePath(dir.filePath("standard.conf"));
    // Before set-up there is no client, and the template events do nothing.
    EXPECT_EQ(GAObject::defaultObject(), nullptr);
    KXGoogleAnalytics::trackTemplateWithPath("/t/Folder/Name.tpl");

    GAObject::initializeGATrackerWithID("UA-FIRST");
    GAObject* shared = GAObject::defaultObject();
    ASSERT_NE(shared, nullptr);
    GAObject::initializeGATrackerWithID("UA-SECOND", QUrl("http://127.0.0.1:1/collect"));
    EXPECT_EQ(GAObject::defaultObject(), shared);
    EXPECT_EQ(shared->trackerID(), "UA-FIRST");
    EXPECT_FALSE(shared->isEnabled());  // no address was configured
    EXPECT_EQ(kx::UserDefaults::standard().stringValue(GAObject::clientIDDefaultsKey), shared->GetHardwareUUID());

    shared->trackEventType("stale", "stale", "stale", 1);
    KXGoogleAnalytics::trackFavoriteTemplateWithPath("/t/Folder/Name.tpl");
    ASSERT_EQ(shared->eventQueue().size(), 2);
    EXPECT_TRUE(shared->eventQueue()[0].endsWith("&ec=Template%20Favorite&ea=Template%20Category&el=Folder&ev=1"));
    KXGoogleAnalytics::trackTemplateWithPath("/t/Folder/Name.tpl");
    ASSERT_EQ(shared->eventQueue().size(), 2);
    EXPECT_TRUE(shared->eventQueue()[1].endsWith("&ec=Template&ea=Template%20Name&el=Name&ev=1"));
    kx::UserDefaults::setStandardFilePath({});
}

}  // namespace
